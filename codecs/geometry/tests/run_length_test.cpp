// Zero runs, integer arrays, flag runs and value runs: exact tokens where the format fixes them, property round
// trips, and counts that reach past what the caller can take.
#include "codecs/geometry/run_length.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codecs/geometry/bit_reader.h"
#include "codecs/geometry/bit_writer.h"
#include "codecs/geometry/px_result.h"

namespace {

using px::DataItem;
using Bytes = std::vector<uint8_t>;

px::BitReader OpenReader(const Bytes& stream)
{
    px::BitReader reader;
    EXPECT_TRUE(reader.Open(stream));
    return reader;
}

std::vector<DataItem> WithZeroRun(size_t zeros)
{
    std::vector<DataItem> items = {{4, px::kModeDelta, 0}};
    items.insert(items.end(), zeros, DataItem{0, px::kModeDelta, 0});
    items.push_back({-3, px::kModeDelta, 0});
    return items;
}

TEST(ZeroRuns, RunOfTheMinimumLengthCollapsesOneShorterStays)
{
    for (const size_t zeros : {16u, 15u}) {
        SCOPED_TRACE(zeros);
        std::vector<DataItem> items = WithZeroRun(zeros);
        const std::vector<DataItem> original = items;
        px::BitWriter writer(3);
        ASSERT_EQ(px::EncodeZeroRuns(writer, items, 16), px::PX_OK);
        EXPECT_EQ(items.size(), zeros == 16 ? 3u : original.size());
        if (zeros == 16) {
            EXPECT_EQ(items[1].value, -4); // the escape: the smallest value less one
        }
        const Bytes stream = writer.Finish();
        std::vector<DataItem> decoded(original.size());
        px::BitReader reader = OpenReader(stream);
        ASSERT_EQ(px::DecodeZeroRuns(reader, decoded), px::PX_OK);
        for (size_t i = 0; i < original.size(); ++i)
            EXPECT_EQ(decoded[i].value, original[i].value);
    }
}

TEST(ZeroRuns, NoDeltaItemsUseTheFixedEscape)
{
    std::vector<DataItem> items;
    px::BitWriter writer(3);
    ASSERT_EQ(px::EncodeZeroRuns(writer, items, 16), px::PX_OK);
    const Bytes stream = writer.Finish();
    EXPECT_EQ(Bytes(stream.begin() + 12, stream.begin() + 16), (Bytes{0x7F, 0xFF, 0xFF, 0xFE}));
}

TEST(ZeroRuns, AllZeroColourDeltasBecomeOneEscapeItem)
{
    // A single delta item at 98 percent: the integer coder must still select a value.
    std::vector<DataItem> items(40, DataItem{0, px::kModeDelta, 0});
    px::BitWriter writer(3);
    ASSERT_EQ(px::EncodeZeroRuns(writer, items, 16), px::PX_OK);
    ASSERT_EQ(items.size(), 1u);
    const Bytes stream = writer.Finish();
    std::vector<DataItem> decoded(40, DataItem{7, px::kModeDelta, 0});
    px::BitReader reader = OpenReader(stream);
    ASSERT_EQ(px::DecodeZeroRuns(reader, decoded), px::PX_OK);
    for (const DataItem& item : decoded)
        EXPECT_EQ(item.value, 0);
}

TEST(ZeroRuns, ExpansionBeyondTheExpectedCountIsDamage)
{
    std::vector<DataItem> items = WithZeroRun(20);
    px::BitWriter writer(3);
    ASSERT_EQ(px::EncodeZeroRuns(writer, items, 16), px::PX_OK);
    const Bytes stream = writer.Finish();
    for (const size_t expected : {21u, 23u, 2u}) {
        std::vector<DataItem> decoded(expected);
        px::BitReader reader = OpenReader(stream);
        EXPECT_EQ(px::DecodeZeroRuns(reader, decoded), px::PX_ERR) << expected;
    }
}

TEST(IntArray, WidthFromTheLargestValueAndBoundedCount)
{
    const std::vector<uint32_t> values = {3, 0, 7, 1};
    px::BitWriter writer(4);
    px::WriteIntArray(writer, values);
    const Bytes stream = writer.Finish();
    // w = 3 (5 bits), count 4 (32 bits), 011 000 111 001
    EXPECT_EQ(Bytes(stream.begin() + 8, stream.end()), (Bytes{0x18, 0x00, 0x00, 0x00, 0x23, 0x1C, 0x80}));
    std::vector<uint32_t> read;
    px::BitReader reader = OpenReader(stream);
    ASSERT_EQ(px::ReadIntArray(reader, 4, read), px::PX_OK);
    EXPECT_EQ(read, values);
    px::BitReader tooMany = OpenReader(stream);
    EXPECT_EQ(px::ReadIntArray(tooMany, 3, read), px::PX_ERR);
    EXPECT_TRUE(read.empty());
}

TEST(IntArray, ZeroWidthCountsAreBoundedByTheCaller)
{
    px::BitWriter writer(4);
    writer.PutBits(0, 5);
    writer.Put32(0xFFFFFFF0); // a zero-width array "holding" four billion zeros
    const Bytes stream = writer.Finish();
    std::vector<uint32_t> read;
    px::BitReader reader = OpenReader(stream);
    EXPECT_EQ(px::ReadIntArray(reader, 1000, read), px::PX_ERR);
}

TEST(FlagRuns, TheFormatsExampleIsThreeTokens)
{
    const std::vector<uint8_t> flags = {0, 0, 1, 0, 0};
    px::BitWriter writer(2);
    px::EncodeFlagRuns(writer, flags);
    const Bytes stream = writer.Finish();
    // count 5; 00010 00001 00000 (w0 = 2, w1 = 1, wL = 0); tokens 0 0 01, 0 1 0, 0 0 01
    EXPECT_EQ(Bytes(stream.begin() + 8, stream.end()), (Bytes{0x00, 0x00, 0x00, 0x05, 0x10, 0x40, 0x28, 0x40}));
    std::vector<uint8_t> read;
    px::BitReader reader = OpenReader(stream);
    ASSERT_EQ(px::DecodeFlagRuns(reader, 5, read), px::PX_OK);
    EXPECT_EQ(read, flags);
}

TEST(FlagRuns, RandomListsRoundTrip)
{
    std::mt19937 random(99);
    for (int list = 0; list < 2000; ++list) {
        const size_t count = random() % 80;
        const uint32_t stickiness = random() % 10;
        std::vector<uint8_t> flags;
        for (size_t i = 0; i < count; ++i)
            flags.push_back(static_cast<uint8_t>(i > 0 && random() % 10 < stickiness ? flags.back() : random() % 2));
        px::BitWriter writer(2);
        px::EncodeFlagRuns(writer, flags);
        const Bytes stream = writer.Finish();
        std::vector<uint8_t> read;
        px::BitReader reader = OpenReader(stream);
        ASSERT_EQ(px::DecodeFlagRuns(reader, count, read), px::PX_OK) << list;
        ASSERT_EQ(read, flags) << list;
    }
}

TEST(FlagRuns, CountsAndRunsBeyondTheLimitAreDamage)
{
    px::BitWriter writer(2);
    px::EncodeFlagRuns(writer, std::vector<uint8_t>(100, 1));
    const Bytes stream = writer.Finish();
    std::vector<uint8_t> read;
    px::BitReader reader = OpenReader(stream);
    EXPECT_EQ(px::DecodeFlagRuns(reader, 99, read), px::PX_ERR);
    // A run token longer than the count: count 3, widths 0, 7, 0, then a run of 100 ones.
    px::BitWriter bad(2);
    bad.Put32(3);
    bad.PutBits(0, 5);
    bad.PutBits(7, 5);
    bad.PutBits(0, 5);
    bad.PutBits(1, 2);
    bad.PutBits(99, 7);
    const Bytes badStream = bad.Finish();
    px::BitReader badReader = OpenReader(badStream);
    EXPECT_EQ(px::DecodeFlagRuns(badReader, 1000, read), px::PX_ERR);
}

TEST(ValueRuns, AllEqualIsOneTokenAndRandomListsRoundTrip)
{
    {
        const std::vector<uint32_t> values(9, 6);
        px::BitWriter writer(6);
        ASSERT_EQ(px::EncodeValueRuns(writer, values), px::PX_OK);
        const Bytes stream = writer.Finish();
        // count 9, M 6, wR = 4, wX = 0; then value 6 in b = 3 bits and length 8 in 4 bits
        EXPECT_EQ(stream.size(), 8u + 11u);
        std::vector<uint32_t> read;
        px::BitReader reader = OpenReader(stream);
        ASSERT_EQ(px::DecodeValueRuns(reader, 9, read), px::PX_OK);
        EXPECT_EQ(read, values);
    }
    std::mt19937 random(7);
    for (int list = 0; list < 2000; ++list) {
        const size_t count = random() % 70;
        const uint32_t largest = 1 + random() % 300;
        std::vector<uint32_t> values;
        for (size_t i = 0; i < count; ++i)
            values.push_back(i > 0 && random() % 3 ? values.back() : random() % (largest + 1));
        px::BitWriter writer(6);
        ASSERT_EQ(px::EncodeValueRuns(writer, values), px::PX_OK);
        const Bytes stream = writer.Finish();
        std::vector<uint32_t> read;
        px::BitReader reader = OpenReader(stream);
        ASSERT_EQ(px::DecodeValueRuns(reader, count, read), px::PX_OK) << list;
        ASSERT_EQ(read, values) << list;
    }
}

TEST(ValueRuns, ValuesWithoutRoomForTheMarkerAreRefused)
{
    px::BitWriter writer(6);
    EXPECT_EQ(px::EncodeValueRuns(writer, std::vector<uint32_t>{0xFFFFFFFE}), px::PXERR_INVALIDGEOMETRY);
}

} // namespace
