// Bit order, header bytes and growth of the geometry codec's streams.
#include "codecs/geometry/bit_reader.h"
#include "codecs/geometry/bit_writer.h"
#include "codecs/geometry/mem_stream.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/stream_header.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kHeaderKind1 = {'P', 'X', 'B', 'i', 'n', 0x0D, 0x01, 0x00};

Bytes BodyOf(const Bytes& stream)
{
    return Bytes(stream.begin() + 8, stream.end());
}

TEST(BitWriterGolden, FinishedAtOnceIsTheHeaderAlone)
{
    px::BitWriter writer(1);
    EXPECT_EQ(writer.Finish(), kHeaderKind1);
}

TEST(BitWriterGolden, BitsFillFromTheTop)
{
    px::BitWriter writer(1);
    writer.PutBit(1);
    writer.PutBit(0);
    writer.PutBit(1);
    EXPECT_EQ(BodyOf(writer.Finish()), Bytes{0xA0});
}

TEST(BitWriterGolden, FieldsGoMostSignificantBitFirst)
{
    px::BitWriter writer(9);
    writer.PutBits(5, 3);
    writer.PutBits(1, 5);
    EXPECT_EQ(writer.BitCount(), 8u);
    const Bytes stream = writer.Finish();
    EXPECT_EQ(stream[6], 9);
    EXPECT_EQ(BodyOf(stream), Bytes{0xA1}); // the full byte went out before Finish, which adds nothing
}

TEST(BitWriterGolden, WideFieldsAndFloats)
{
    px::BitWriter writer(2);
    writer.Put32(0x12345678);
    writer.PutFloat(1.0f);
    writer.PutBits64(0x1FFFFFFFFull, 33);
    EXPECT_EQ(BodyOf(writer.Finish()),
              (Bytes{0x12, 0x34, 0x56, 0x78, 0x3F, 0x80, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x80}));
}

TEST(BitReaderRead, RoundTripOfMixedWidths)
{
    px::BitWriter writer(5);
    for (uint32_t width = 0; width <= 32; ++width)
        writer.PutBits(width == 32 ? 0xDEADBEEF : (0x5A5A5A5Au & ((1u << width) - 1)), width);
    writer.PutFloat(-2.5f);
    const Bytes stream = writer.Finish();
    px::BitReader reader;
    ASSERT_TRUE(reader.Open(stream));
    EXPECT_EQ(reader.Kind(), 5);
    EXPECT_EQ(reader.Version(), 13);
    for (uint32_t width = 0; width <= 32; ++width)
        EXPECT_EQ(reader.GetBits(width), width == 32 ? 0xDEADBEEF : (0x5A5A5A5Au & ((1u << width) - 1)));
    EXPECT_EQ(reader.GetFloat(), -2.5f);
    EXPECT_FALSE(reader.Overrun());
}

TEST(BitReaderRead, PastTheEndReadsZeroAndMarksOverrun)
{
    const Bytes stream = {'P', 'X', 'B', 'i', 'n', 13, 2, 0, 0xFF};
    px::BitReader reader;
    ASSERT_TRUE(reader.Open(stream));
    EXPECT_EQ(reader.GetBits(8), 0xFFu);
    EXPECT_FALSE(reader.Overrun());
    EXPECT_EQ(reader.RemainingBits(), 0u);
    EXPECT_EQ(reader.GetBits(32), 0u);
    EXPECT_TRUE(reader.Overrun());
}

TEST(BitReaderRead, FieldAcrossTheEndKeepsItsRealBitsThenZeros)
{
    // Three body bytes; a 20-bit field from bit 5 has 19 real bits and one past the end.
    const Bytes stream = {'P', 'X', 'B', 'i', 'n', 13, 2, 0, 0xA5, 0x3C, 0xF0};
    px::BitReader reader;
    ASSERT_TRUE(reader.Open(stream));
    EXPECT_EQ(reader.GetBits(5), 0x14u);
    EXPECT_EQ(reader.PeekWindow() >> 45, 0x53CF0u); // the 19 real bits 101 0011 1100 1111 0000
    EXPECT_EQ(reader.PeekWindow() << 19, 0u);       // then zeros
    EXPECT_EQ(reader.GetBits(20), 0x53CF0u << 1);
    EXPECT_TRUE(reader.Overrun());
    EXPECT_EQ(reader.RemainingBits(), 0u);
}

TEST(BitReaderRead, WindowAndSkipAgreeWithSingleBitsEverywhere)
{
    // Windows read from every position of bodies shorter and longer than one 64-bit load.
    for (const size_t bytes : {1u, 7u, 8u, 9u, 23u}) {
        Bytes stream = {'P', 'X', 'B', 'i', 'n', 13, 2, 0};
        for (size_t i = 0; i < bytes; ++i)
            stream.push_back(static_cast<uint8_t>(0x9D * (i + 1)));
        for (uint64_t start = 0; start <= 8 * bytes; ++start) {
            SCOPED_TRACE(testing::Message() << bytes << " bytes from bit " << start);
            px::BitReader window;
            px::BitReader single;
            ASSERT_TRUE(window.Open(stream) && single.Open(stream));
            window.SkipBits(start);
            for (uint64_t i = 0; i < start; ++i)
                single.GetBit();
            uint64_t expected = 0;
            for (uint32_t i = 0; i < px::BitReader::kWindowBits; ++i)
                expected = expected << 1 | single.GetBit();
            EXPECT_EQ(window.PeekWindow() >> (64 - px::BitReader::kWindowBits), expected);
            EXPECT_FALSE(window.Overrun());
        }
        px::BitReader reader;
        ASSERT_TRUE(reader.Open(stream));
        reader.SkipBits(8 * bytes + 1);
        EXPECT_TRUE(reader.Overrun());
        EXPECT_EQ(reader.RemainingBits(), 0u);
    }
}

TEST(StreamHeaderRead, ShortOrWrongMagicIsNotAHeader)
{
    const Bytes good = kHeaderKind1;
    EXPECT_EQ(px::StreamKindOf(good), 1);
    for (size_t length = 0; length < 8; ++length) {
        SCOPED_TRACE(length);
        EXPECT_EQ(px::StreamKindOf(Bytes(good.begin(), good.begin() + static_cast<long>(length))), px::PX_ERR);
    }
    Bytes fifthDiffers = good;
    fifthDiffers[4] = 'N';
    EXPECT_EQ(px::StreamKindOf(fifthDiffers), px::PX_ERR);
    px::BitReader reader;
    EXPECT_FALSE(reader.Open(fifthDiffers));
    EXPECT_EQ(reader.RemainingBits(), 0u);
}

TEST(MemStreamGrowth, CapacityGrowsInWholeBlocks)
{
    px::PXMemStream nine;
    nine.Write(Bytes(9, 1));
    EXPECT_EQ(nine.Capacity(), 16384u);
    px::PXMemStream large;
    large.Write(Bytes(16384, 1));
    EXPECT_EQ(large.Capacity(), 32768u); // need / 16384 + 1 blocks: a need of exactly one block takes two
    px::PXMemStream bytewise;
    for (int i = 0; i < 16385; ++i)
        bytewise.WriteByte(static_cast<uint8_t>(i));
    EXPECT_EQ(bytewise.Capacity(), 32768u);
    EXPECT_EQ(bytewise.Size(), 16385u);
    uint8_t out[4] = {};
    bytewise.Rewind();
    EXPECT_EQ(bytewise.Read(out), 4u);
    EXPECT_EQ(out[3], 3);
}

} // namespace
