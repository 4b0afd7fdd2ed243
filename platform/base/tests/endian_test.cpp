#include "platform/base/endian.h"

#include <gtest/gtest.h>

TEST(Endian, LittleEndianRoundTripKeepsByteOrder)
{
    uint8_t bytes[8] = {};
    pf::storeU32le(bytes, 0x44434241u);
    EXPECT_EQ(bytes[0], 'A');
    EXPECT_EQ(bytes[3], 'D');
    EXPECT_EQ(pf::loadU32le(bytes), 0x44434241u);
    pf::storeU64le(bytes, 0x0123456789ABCDEFull);
    EXPECT_EQ(bytes[0], 0xEF);
    EXPECT_EQ(pf::loadU64le(bytes), 0x0123456789ABCDEFull);
    pf::storeU16le(bytes, 0xBEEF);
    EXPECT_EQ(pf::loadU16le(bytes), 0xBEEF);
}

TEST(Endian, BigEndianAndNetworkOrderAgree)
{
    uint8_t bytes[4] = {};
    pf::storeU32be(bytes, 0x01020304u);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(pf::loadU32be(bytes), 0x01020304u);
    EXPECT_EQ(pf::hostToNet32(0x01020304u), pf::loadU32le(bytes));
    EXPECT_EQ(pf::netToHost16(pf::hostToNet16(0x1234)), 0x1234);
}
