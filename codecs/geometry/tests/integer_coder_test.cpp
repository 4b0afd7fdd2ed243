// The integer data coder: golden block, property round trips, the format's edge cases and damaged tables.
#include "codecs/geometry/integer_coder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "codecs/geometry/bit_reader.h"
#include "codecs/geometry/bit_width.h"
#include "codecs/geometry/bit_writer.h"
#include "codecs/geometry/integer_coder_stats.h"
#include "codecs/geometry/px_result.h"

namespace {

using px::DataItem;
using Bytes = std::vector<uint8_t>;

// In place of a percentage: the table of fewest bits, as every stream is written.
constexpr uint32_t kLeastBits = UINT32_MAX;

Bytes Encode(const std::vector<DataItem>& items, uint32_t percent, int* outResult = nullptr)
{
    px::BitWriter writer(1);
    const int result = percent == kLeastBits ? px::EncodeIntegerData(writer, items)
                                             : px::EncodeIntegerDataByPercentage(writer, items, percent);
    if (outResult)
        *outResult = result;
    return writer.Finish();
}

// Decodes into items preset like the originals; the values are scrambled first so nothing leaks through.
int Decode(const Bytes& stream, std::vector<DataItem>& items)
{
    for (DataItem& item : items)
        item.value = 0x55AA55AA;
    px::BitReader reader;
    if (!reader.Open(stream))
        return -1;
    return px::DecodeIntegerData(reader, items);
}

// The same block read as a caller that reads its absolute values itself does: skipped, then the deltas alone.
int DecodeDeltasOnly(const Bytes& stream, const std::vector<DataItem>& items, std::vector<int32_t>& outValues)
{
    outValues.assign(3, 0x55AA55AA);
    px::BitReader reader;
    if (!reader.Open(stream))
        return -1;
    uint64_t deltaCount = 0;
    for (const DataItem& item : items) {
        if (item.mode == px::kModeAbsolute)
            reader.SkipBits(item.width);
        else
            ++deltaCount;
    }
    return px::DecodeDeltaData(reader, deltaCount, outValues);
}

std::vector<DataItem> Deltas(std::initializer_list<int32_t> values)
{
    std::vector<DataItem> items;
    for (const int32_t value : values)
        items.push_back({value, px::kModeDelta, 0});
    return items;
}

TEST(BitWidthRule, SmallValuesAndTheFormatQuirk)
{
    EXPECT_EQ(px::BitWidth(0), 0u);
    EXPECT_EQ(px::BitWidth(1), 0u);
    EXPECT_EQ(px::BitWidth(2), 1u);
    EXPECT_EQ(px::BitWidth(4), 2u);
    EXPECT_EQ(px::BitWidth(5), 3u);
    EXPECT_EQ(px::BitWidth(1024), 10u);
    EXPECT_EQ(px::BitWidth(1025), 11u);
    // Just above a large power of two the rule falls one short of the exact width; streams rely on it.
    EXPECT_EQ(px::BitWidth((uint64_t{1} << 30) + 1), 30u);
}

TEST(IntegerCoderGolden, AllEqualValuesGiveTwoCodesOfLengthOne)
{
    const Bytes stream = Encode(Deltas({7, 7, 7}), 98);
    const Bytes body(stream.begin() + 8, stream.end());
    EXPECT_EQ(body, (Bytes{
                        0x00, 0x00, 0x00, 0x07, // min
                        0x00, 0x00, 0x00, 0x07, // max
                        0x01,                   // L: longest code length
                        0x00, 0x00, 0x00, 0x02, // K: the value and the escape
                        0x00, 0x00, 0x00, 0x01, // E: the escape is second
                        0x70,                   // table 0,1 and 1,1 (B = 1, L = 1), then N's top bits
                        0x00, 0x00, 0x00,
                        0x30, // N = 3, then three codes 0, then padding
                    }));
}

TEST(IntegerCoderGolden, NoDeltaItemsWriteOnlyAbsolutesAndTheEmptyPair)
{
    const std::vector<DataItem> items = {{5, px::kModeAbsolute, 3}, {1, px::kModeAbsolute, 1}};
    const Bytes stream = Encode(items, 98);
    EXPECT_EQ(Bytes(stream.begin() + 8, stream.end()),
              (Bytes{0xB0, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00})); // 101 1, min 1, max 0
    std::vector<DataItem> decoded = items;
    ASSERT_EQ(Decode(stream, decoded), px::PX_OK);
    EXPECT_EQ(decoded[0].value, 5);
    EXPECT_EQ(decoded[1].value, 1);
}

TEST(IntegerCoderRoundTrip, RandomMixedListsComeBackExactly)
{
    std::mt19937 random(1234);
    for (int list = 0; list < 3000; ++list) {
        SCOPED_TRACE(list);
        const uint32_t count = random() % 60;
        const int32_t spread = static_cast<int32_t>(1u << (random() % 20));
        const int32_t centre = static_cast<int32_t>(random() % 2001) - 1000;
        std::vector<DataItem> items;
        for (uint32_t i = 0; i < count; ++i) {
            if (random() % 4 == 0) {
                const uint8_t width = static_cast<uint8_t>(random() % 33);
                const uint32_t value = width == 0 ? 0 : static_cast<uint32_t>(random()) >> (32 - width);
                items.push_back({static_cast<int32_t>(value), px::kModeAbsolute, width});
            } else {
                // Skewed values so that the 98 percent selection leaves some escapes.
                const int32_t offset = static_cast<int32_t>(random() % static_cast<uint32_t>(spread)) -
                                       (random() % 3 == 0 ? 0 : spread / 2);
                items.push_back({centre + (random() % 2 ? offset : offset / 8), px::kModeDelta, 0});
            }
        }
        const uint32_t percent = list % 3 == 0 ? 98 : list % 3 == 1 ? 100 : kLeastBits;
        int result = -1;
        const Bytes stream = Encode(items, percent, &result);
        ASSERT_EQ(result, px::PX_OK);
        std::vector<DataItem> decoded = items;
        ASSERT_EQ(Decode(stream, decoded), px::PX_OK);
        for (size_t i = 0; i < items.size(); ++i)
            ASSERT_EQ(decoded[i].value, items[i].value) << "item " << i;
        std::vector<int32_t> deltas;
        ASSERT_EQ(DecodeDeltasOnly(stream, items, deltas), px::PX_OK);
        std::vector<int32_t> expected;
        for (const DataItem& item : items)
            if (item.mode == px::kModeDelta)
                expected.push_back(item.value);
        ASSERT_EQ(deltas, expected);
    }
}

TEST(IntegerCoderRoundTrip, ExtremeValuesAndSingleDeltas)
{
    const std::vector<std::vector<DataItem>> lists = {
        Deltas({42}),                          // one value at 98 %: the threshold is 0, one value is taken
        Deltas({INT32_MIN, INT32_MAX - 1, 0}), // the widest range that still fits 32-bit offsets
        Deltas({-5, -5, -5, -5, 3}),
        Deltas({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}), // all counts equal: ties broken by offset
    };
    for (const auto& items : lists) {
        for (const uint32_t percent : {98u, 100u, 0u, kLeastBits}) {
            int result = -1;
            const Bytes stream = Encode(items, percent, &result);
            ASSERT_EQ(result, px::PX_OK);
            std::vector<DataItem> decoded = items;
            ASSERT_EQ(Decode(stream, decoded), px::PX_OK);
            for (size_t i = 0; i < items.size(); ++i)
                EXPECT_EQ(decoded[i].value, items[i].value);
        }
    }
}

TEST(IntegerCoderEncode, ItemsItCannotCarryAreRefused)
{
    int result = 0;
    Encode({{1, 2, 0}}, 98, &result);
    EXPECT_EQ(result, px::PXERR_INVALIDGEOMETRY); // unknown mode
    Encode({{8, px::kModeAbsolute, 3}}, 98, &result);
    EXPECT_EQ(result, px::PXERR_INVALIDGEOMETRY); // 8 needs 4 bits
}

TEST(IntegerCoderRoundTrip, FullSignedSpanFitsBecauseOfTheWidthRule)
{
    // 2^32 offsets would need 33 bits, but BitWidth(2^32 + 1) is 32 and the largest offset 2^32 - 1 fits.
    const std::vector<DataItem> items = Deltas({INT32_MIN, INT32_MAX, 5, 5});
    int result = -1;
    const Bytes stream = Encode(items, 98, &result);
    ASSERT_EQ(result, px::PX_OK);
    std::vector<DataItem> decoded = items;
    ASSERT_EQ(Decode(stream, decoded), px::PX_OK);
    EXPECT_EQ(decoded[0].value, INT32_MIN);
    EXPECT_EQ(decoded[1].value, INT32_MAX);
}

TEST(IntegerCoderEncode, EncodingTwiceGivesTheSameBytes)
{
    std::vector<DataItem> items;
    for (int i = 0; i < 500; ++i)
        items.push_back({(i * 7919) % 37 - 18, px::kModeDelta, 0});
    EXPECT_EQ(Encode(items, 98), Encode(items, 98));
}

// Damaged blocks, each made from one valid block by one named change. Offsets are body bits.
struct Damage {
    const char* name;
    size_t bitOffset;
    uint32_t width;
    uint32_t value;
};

Bytes Patch(Bytes stream, size_t bitOffset, uint32_t width, uint32_t value)
{
    for (uint32_t i = 0; i < width; ++i) {
        const size_t bit = 64 + bitOffset + i;
        const uint8_t mask = static_cast<uint8_t>(0x80 >> (bit % 8));
        if ((value >> (width - 1 - i)) & 1)
            stream[bit / 8] |= mask;
        else
            stream[bit / 8] &= static_cast<uint8_t>(~mask);
    }
    return stream;
}

TEST(IntegerCoderDamaged, EveryInconsistencyIsAnError)
{
    // Deltas {7, 7, 7}: min@0, max@32, L@64 (8), K@72, E@104, table@136: (0,1) (1,1), N@140, codes@172.
    const Bytes valid = Encode(Deltas({7, 7, 7}), 98);
    const Damage damages[] = {
        {"min above max", 0, 32, 9},
        {"length field zero", 64, 8, 0},
        {"longest length beyond 62", 64, 8, 63},
        {"more entries than the range allows", 72, 32, 3},
        {"more entries than the stream holds", 72, 32, 0x7FFFFFFF},
        {"escape index beyond the table", 104, 32, 2},
        {"entry length 0", 137, 1, 0},
        {"symbol beyond the range", 136, 1, 1}, // offset 1 with range 1
        {"count differs from the caller's", 140, 32, 2},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        std::vector<DataItem> items = Deltas({7, 7, 7});
        EXPECT_EQ(Decode(Patch(valid, damage.bitOffset, damage.width, damage.value), items), px::PX_ERR);
    }
}

// A block written by hand: min 0, max 2 (B = 2), the given code lengths (escape last), one value coded "0".
Bytes HandMadeBlock(uint32_t longest, std::initializer_list<uint32_t> lengths)
{
    px::BitWriter writer(1);
    writer.Put32(0);
    writer.Put32(2);
    writer.PutBits(longest, 8);
    writer.Put32(static_cast<uint32_t>(lengths.size()));
    writer.Put32(static_cast<uint32_t>(lengths.size() - 1));
    uint32_t symbol = 0;
    for (const uint32_t length : lengths) {
        writer.PutBits(symbol++ == lengths.size() - 1 ? 3u : symbol - 1, 2);
        writer.PutBits(length, longest);
    }
    writer.Put32(1);
    writer.PutBits(0, 8);
    return writer.Finish();
}

TEST(IntegerCoderDamaged, TablesThatAreNotCompletePrefixCodesAreRejected)
{
    std::vector<DataItem> items = Deltas({0});
    ASSERT_EQ(Decode(HandMadeBlock(2, {1, 2, 2}), items), px::PX_OK);
    EXPECT_EQ(items[0].value, 0);
    const struct {
        const char* name;
        Bytes block;
    } damaged[] = {
        {"overfull depth", HandMadeBlock(1, {1, 1, 1})},  {"incomplete tree", HandMadeBlock(2, {1, 2})},
        {"lengths falling", HandMadeBlock(2, {2, 2, 1})}, {"length above L", HandMadeBlock(2, {1, 2, 3})},
        {"length 0", HandMadeBlock(2, {0, 1, 1})},
    };
    for (const auto& [name, block] : damaged) {
        SCOPED_TRACE(name);
        items = Deltas({0});
        EXPECT_EQ(Decode(block, items), px::PX_ERR);
    }
}

// A complete code of lengths 1, 2, ..., longest - 1, longest, longest over offsets 0..longest, no escape used, and
// the given offsets coded with it: each offset k < longest has the code of k ones and a zero.
Bytes DeepCodeBlock(uint32_t longest, const std::vector<uint32_t>& offsets)
{
    const uint32_t entries = longest + 1;
    const uint32_t offsetBits = px::BitWidth(uint64_t{entries} + 1);
    px::BitWriter writer(1);
    writer.Put32(0);
    writer.Put32(entries - 1);
    writer.PutBits(longest, 8);
    writer.Put32(entries);
    writer.Put32(entries - 1); // the escape last, with the longest code of all ones
    for (uint32_t k = 0; k < entries; ++k) {
        writer.PutBits(k + 1 == entries ? (1u << offsetBits) - 1 : k, offsetBits);
        writer.PutBits64(std::min(k + 1, longest), longest);
    }
    writer.Put32(static_cast<uint32_t>(offsets.size()));
    for (const uint32_t offset : offsets) {
        for (uint32_t i = 0; i < offset; ++i)
            writer.PutBit(1);
        if (offset < longest)
            writer.PutBit(0);
    }
    return writer.Finish();
}

TEST(IntegerCoderDecode, CodesPastTheLookUpAndPastOneWindowDecode)
{
    // Lengths around the decoder's look-up (10 bits) and its 57-bit window, up to the format's 62.
    for (const uint32_t longest : {9u, 10u, 11u, 30u, 57u, 58u, 62u}) {
        SCOPED_TRACE(longest);
        std::vector<uint32_t> offsets;
        for (uint32_t k = 0; k < longest; ++k)
            offsets.insert(offsets.end(), {k, longest - 1 - k, 0});
        std::vector<DataItem> items(offsets.size());
        ASSERT_EQ(Decode(DeepCodeBlock(longest, offsets), items), px::PX_OK);
        for (size_t i = 0; i < offsets.size(); ++i)
            ASSERT_EQ(items[i].value, static_cast<int32_t>(offsets[i])) << "item " << i;
        // The last value cut off inside its code: the block is short, whichever way the code is found.
        const uint64_t offsetBits = px::BitWidth(uint64_t{longest} + 2);
        const uint64_t codeStart = 64 + 8 + 64 + (longest + 1) * (offsetBits + longest) + 32;
        Bytes cut = DeepCodeBlock(longest, {longest - 1});
        cut.resize(8 + (codeStart + longest - 1) / 8); // at least one bit of the code kept, at least one lost
        items.assign(1, DataItem{});
        EXPECT_EQ(Decode(cut, items), px::PX_ERR);
    }
}

TEST(IntegerCoderDamaged, EveryTruncationFailsCleanly)
{
    std::vector<DataItem> items;
    for (int i = 0; i < 40; ++i)
        items.push_back({(i * 31) % 11, i % 5 == 0 ? px::kModeAbsolute : px::kModeDelta, 4});
    const Bytes valid = Encode(items, 98);
    for (size_t length = 8; length < valid.size(); ++length) {
        SCOPED_TRACE(length);
        const Bytes cut(valid.begin(), valid.begin() + static_cast<long>(length));
        std::vector<DataItem> decoded = items;
        EXPECT_EQ(Decode(cut, decoded), px::PX_ERR);
        std::vector<int32_t> deltas;
        EXPECT_EQ(DecodeDeltasOnly(cut, items, deltas), px::PX_ERR);
        EXPECT_TRUE(deltas.empty());
    }
}

TEST(IntegerCoderStats, FieldsAccountForEveryBitOfTheBlockUnderItsStreamKind)
{
    std::vector<DataItem> items;
    for (int i = 0; i < 300; ++i) // skewed, so that the table leaves some values to escapes
        items.push_back({i % 7 == 0 ? i : (i * i) % 5, i % 50 == 0 ? px::kModeAbsolute : px::kModeDelta, 9});
    px::IntegerCoderStats stats;
    px::BitWriter writer(7);
    {
        const px::IntegerCoderStatsRecording recording(stats);
        ASSERT_EQ(px::EncodeIntegerData(writer, items), px::PX_OK);
    }
    const px::IntegerBlockBits& bits = stats[7];
    EXPECT_EQ(bits.blocks, 1u);
    EXPECT_EQ(bits.TotalBits(), writer.BitCount());
    EXPECT_EQ(bits.absoluteBits, 6u * 9u);
    EXPECT_EQ(bits.deltaValues, 294u);
    EXPECT_GT(bits.escapedValues, 0u);
    EXPECT_GT(bits.escapeBits, bits.escapedValues * px::BitWidth(300 + 1));
    // Nothing is recorded once the recording has ended, nor under another kind.
    px::BitWriter later(7);
    ASSERT_EQ(px::EncodeIntegerData(later, items), px::PX_OK);
    EXPECT_EQ(stats[7].blocks, 1u);
    for (size_t kind = 0; kind < stats.size(); ++kind)
        EXPECT_EQ(stats[kind].blocks, kind == 7 ? 1u : 0u);
}

// The body bits of one block of delta items, and a check that it decodes to them.
uint64_t BlockBits(const std::vector<DataItem>& items, uint32_t percent)
{
    px::BitWriter writer(1);
    const int result = percent == kLeastBits ? px::EncodeIntegerData(writer, items)
                                             : px::EncodeIntegerDataByPercentage(writer, items, percent);
    EXPECT_EQ(result, px::PX_OK);
    const uint64_t bits = writer.BitCount();
    const Bytes stream = writer.Finish();
    std::vector<DataItem> decoded = items;
    EXPECT_EQ(Decode(stream, decoded), px::PX_OK);
    for (size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(decoded[i].value, items[i].value) << "item " << i;
    return bits;
}

struct NamedList {
    const char* name;
    std::vector<DataItem> items;
};

std::vector<DataItem> DeltasOf(const std::vector<int32_t>& values)
{
    std::vector<DataItem> items;
    for (const int32_t value : values)
        items.push_back({value, px::kModeDelta, 0});
    return items;
}

// Lists built to defeat a table: nothing repeats, one value repeats among unique ones, a wide flat spread, two
// values, one value, and the residuals of a coarse mesh (a few common values and a long unique tail).
std::vector<NamedList> AdversarialLists()
{
    std::mt19937 random(77);
    std::vector<int32_t> distinct(3000);
    for (size_t i = 0; i < distinct.size(); ++i)
        distinct[i] = static_cast<int32_t>(i * 3) - 4000;
    std::shuffle(distinct.begin(), distinct.end(), random);
    std::vector<int32_t> oneRepeated = distinct;
    oneRepeated.insert(oneRepeated.end(), 1500, 17);
    std::vector<int32_t> flat(5000);
    for (int32_t& value : flat)
        value = static_cast<int32_t>(random() % (1u << 20)) - (1 << 19);
    std::vector<int32_t> twoValued(4000);
    for (int32_t& value : twoValued)
        value = random() % 7 == 0 ? -3 : 9;
    std::vector<int32_t> coarse(2400);
    for (size_t i = 0; i < coarse.size(); ++i)
        coarse[i] = i % 3 == 0 ? static_cast<int32_t>(random() % 5) - 2 : static_cast<int32_t>(random() % 4001) - 2000;
    return {
        {"all distinct", DeltasOf(distinct)},
        {"one repeated, the rest distinct", DeltasOf(oneRepeated)},
        {"wide flat spread", DeltasOf(flat)},
        {"two values", DeltasOf(twoValued)},
        {"a single value", DeltasOf({123456})},
        {"coarse residuals", DeltasOf(coarse)},
        {"a single value repeated", DeltasOf(std::vector<int32_t>(900, -5))},
    };
}

TEST(IntegerCoderLeastBits, NoListCostsMoreThanItsOffsetsRawPlusOneBitEach)
{
    for (const NamedList& list : AdversarialLists()) {
        SCOPED_TRACE(list.name);
        const auto [lo, hi] =
            std::minmax_element(list.items.begin(), list.items.end(),
                                [](const DataItem& a, const DataItem& b) { return a.value < b.value; });
        const uint64_t offsetBits = px::BitWidth(static_cast<uint64_t>(int64_t{hi->value} - lo->value + 1) + 1);
        const uint64_t fixed = 64 + 8 + 32 + 32 + 32 + 2 * (offsetBits + 1); // a table of one value and the escape
        EXPECT_LE(BlockBits(list.items, kLeastBits), fixed + list.items.size() * (offsetBits + 1));
    }
}

TEST(IntegerCoderLeastBits, NeverLargerThanEitherFixedPercentage)
{
    std::vector<NamedList> lists = AdversarialLists();
    std::mt19937 random(5);
    for (int i = 0; i < 60; ++i) { // two-sided geometric residuals of every scale, short and long lists
        std::vector<int32_t> values(10 + random() % 3000);
        const double spread = std::ldexp(1.0, static_cast<int>(random() % 14));
        std::geometric_distribution<int32_t> magnitude(1.0 / (1.0 + spread));
        for (int32_t& value : values)
            value = random() % 2 ? magnitude(random) : -magnitude(random);
        lists.push_back({"geometric", DeltasOf(values)});
    }
    for (const NamedList& list : lists) {
        SCOPED_TRACE(list.name);
        const uint64_t least = BlockBits(list.items, kLeastBits);
        EXPECT_LE(least, BlockBits(list.items, 98));
        EXPECT_LE(least, BlockBits(list.items, 100));
    }
}

TEST(IntegerCoderLeastBits, SpreadListsCostFarLessThanAFullTable)
{
    // Every value once: the fixed walk gives each its own table entry of B + L bits, which the escape avoids.
    const std::vector<NamedList> lists = AdversarialLists();
    EXPECT_LT(BlockBits(lists[0].items, kLeastBits) * 3, BlockBits(lists[0].items, 98) * 2);
    EXPECT_LT(BlockBits(lists[2].items, kLeastBits) * 3, BlockBits(lists[2].items, 98) * 2);
}

TEST(IntegerCoderLeastBits, DeepCodesAreCutShortWhereWideEntriesCostMore)
{
    // Counts rising like Fibonacci numbers give a Huffman code as deep as the list is long, and every table entry
    // carries its length in L bits: a code of at most a few bits more than pays for its longer codes.
    std::vector<int32_t> values;
    uint32_t a = 1;
    uint32_t b = 1;
    for (int32_t symbol = 0; symbol < 16; ++symbol) {
        values.insert(values.end(), a, symbol * 37);
        b = std::exchange(a, a + b);
    }
    const std::vector<DataItem> items = DeltasOf(values);
    const Bytes least = Encode(items, kLeastBits);
    const Bytes full = Encode(items, 100);
    const size_t longestAt = 8 + 8; // stream header, then min and max before L
    EXPECT_GE(full[longestAt], 15u);
    EXPECT_LE(least[longestAt], 8u);
    EXPECT_GE(least[longestAt], 5u); // 16 values and the escape need 5 bits at least
    EXPECT_LT(BlockBits(items, kLeastBits), BlockBits(items, 100));
}

TEST(IntegerCoderLeastBits, AbsoluteItemsAroundTheDeltasComeBackInPlace)
{
    std::mt19937 random(9);
    std::vector<DataItem> items;
    for (int i = 0; i < 2000; ++i)
        items.push_back(i % 97 == 0 ? DataItem{static_cast<int32_t>(random() % 1024), px::kModeAbsolute, 10}
                                    : DataItem{static_cast<int32_t>(random() % 600) - 300, px::kModeDelta, 0});
    BlockBits(items, kLeastBits);
}

} // namespace
