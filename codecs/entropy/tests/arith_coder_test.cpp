#include "codecs/entropy/arith_coder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

std::vector<int8_t> RandomSigned(size_t count, int lo, int hi, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> dist(lo, hi);
    std::vector<int8_t> values(count);
    for (int8_t& v : values)
        v = static_cast<int8_t>(dist(rng));
    return values;
}

// Mostly zeros with a few small values, as quantised wavelet bands are.
std::vector<int8_t> SkewedSigned(size_t count, int limit, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::geometric_distribution<int> magnitude(0.6);
    std::bernoulli_distribution negative(0.5);
    std::vector<int8_t> values(count);
    for (int8_t& v : values) {
        const int m = std::min(magnitude(rng), limit);
        v = static_cast<int8_t>(negative(rng) ? -m : m);
    }
    return values;
}

template <typename Value>
void ExpectSignedRoundTrip(ArithRun (ArithCoder::*encode)(std::vector<uint8_t>&, std::span<const Value>, uint32_t),
                           ArithRun (ArithCoder::*decode)(std::span<const uint8_t>, std::span<Value>, uint32_t),
                           const std::vector<Value>& values, uint32_t n)
{
    ArithCoder coder;
    std::vector<uint8_t> stream;
    const ArithRun written = (coder.*encode)(stream, values, n);
    ASSERT_TRUE(written.Ok());
    ASSERT_EQ(written.bytes, stream.size());
    std::vector<Value> decoded(values.size()); // exact capacity and no slack after the stream
    const ArithRun read = (coder.*decode)(stream, decoded, n);
    ASSERT_EQ(read.status, ArithStatus::kOk);
    EXPECT_EQ(read.values, values.size());
    EXPECT_LE(read.bytes, stream.size() + 2);
    EXPECT_EQ(decoded, values);
}

TEST(ArithCoderPacking, EmptyRunIsEndSymbolAndFlushLeastSignificantBitFirst)
{
    // n = 1: end symbol has half the total, so it codes as bit 0; the flush adds 0 then 1: bits 0,0,1 -> 0x04.
    ArithCoder coder;
    std::vector<uint8_t> stream;
    ASSERT_TRUE(coder.EncodeBytes(stream, {}, 1).Ok());
    EXPECT_EQ(stream, std::vector<uint8_t>({0x04}));
}

TEST(ArithCoderPacking, OneValueThenEndGivesKnownByte)
{
    // Value 0 (n = 1) codes as bit 1; its count rises to 11 of 12, so the end symbol costs three 0 bits; the
    // flush adds 0 and 1. Bits 1,0,0,0,0,1 in order from bit 0: 0x21.
    ArithCoder coder;
    std::vector<uint8_t> stream;
    const std::vector<uint8_t> one = {0};
    ASSERT_TRUE(coder.EncodeBytes(stream, one, 1).Ok());
    EXPECT_EQ(stream, std::vector<uint8_t>({0x21}));
}

TEST(ArithCoderPacking, RunsAppendAfterExistingBytes)
{
    ArithCoder coder;
    std::vector<uint8_t> stream = {0xAA, 0xBB};
    const ArithRun run = coder.EncodeBytes(stream, {}, 1);
    ASSERT_TRUE(run.Ok());
    EXPECT_EQ(run.bytes, 1u);
    EXPECT_EQ(stream, std::vector<uint8_t>({0xAA, 0xBB, 0x04}));
}

TEST(ArithCoderRuns, SignedBytesRandomAndSkewed)
{
    ExpectSignedRoundTrip(&ArithCoder::EncodeSignedBytes, &ArithCoder::DecodeSignedBytes,
                          RandomSigned(5000, -100, 100, 1), 201);
    ExpectSignedRoundTrip(&ArithCoder::EncodeSignedBytes, &ArithCoder::DecodeSignedBytes, SkewedSigned(20000, 30, 2),
                          62);
    ExpectSignedRoundTrip(&ArithCoder::EncodeSignedBytes, &ArithCoder::DecodeSignedBytes,
                          RandomSigned(3000, -128, 127, 3), 257);
}

TEST(ArithCoderRuns, StaticRandomAndSkewed)
{
    ExpectSignedRoundTrip(&ArithCoder::EncodeStatic, &ArithCoder::DecodeStatic, RandomSigned(5000, -60, 60, 4), 121);
    ExpectSignedRoundTrip(&ArithCoder::EncodeStatic, &ArithCoder::DecodeStatic, SkewedSigned(20000, 20, 5), 41);
}

TEST(ArithCoderRuns, WordsRandomAndSkewedUpToLargeAlphabets)
{
    std::mt19937 rng(6);
    std::uniform_int_distribution<int> wide(-5000, 5001);
    std::vector<int16_t> values(20000);
    for (int16_t& v : values)
        v = static_cast<int16_t>(wide(rng));
    ExpectSignedRoundTrip(&ArithCoder::EncodeWords, &ArithCoder::DecodeWords, values, 10002);

    const std::vector<int8_t> skewed = SkewedSigned(20000, 100, 7);
    const std::vector<int16_t> skewedWords(skewed.begin(), skewed.end());
    ExpectSignedRoundTrip(&ArithCoder::EncodeWords, &ArithCoder::DecodeWords, skewedWords, 201);
}

TEST(ArithCoderRuns, UnsignedBytesRandomAndSkewed)
{
    std::mt19937 rng(8);
    std::vector<uint8_t> values(30000);
    for (uint8_t& v : values)
        v = static_cast<uint8_t>(rng());
    ArithCoder coder;
    std::vector<uint8_t> stream;
    ASSERT_TRUE(coder.EncodeBytes(stream, values, 257).Ok());
    std::vector<uint8_t> decoded(values.size());
    const ArithRun read = coder.DecodeBytes(stream, decoded, 257);
    ASSERT_TRUE(read.Ok());
    EXPECT_EQ(decoded, values);

    std::vector<uint8_t> runs(30000);
    for (size_t i = 0; i < runs.size(); ++i)
        runs[i] = static_cast<uint8_t>((i / 700) % 3); // long runs of three values
    stream.clear();
    ASSERT_TRUE(coder.EncodeBytes(stream, runs, 257).Ok());
    EXPECT_LT(stream.size(), runs.size() / 4); // under 2 bits for one of three values
    std::vector<uint8_t> decodedRuns(runs.size());
    ASSERT_TRUE(coder.DecodeBytes(stream, decodedRuns, 257).Ok());
    EXPECT_EQ(decodedRuns, runs);
}

TEST(ArithCoderRuns, CrossesTheHalvingPointOfTheModel)
{
    // 16-bit runs halve their counts at a total of 8192: 820 increments of 10 reach it.
    std::vector<int8_t> values(2500);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<int8_t>(i < 1200 ? 3 : (i % 7) - 3);
    ExpectSignedRoundTrip(&ArithCoder::EncodeSignedBytes, &ArithCoder::DecodeSignedBytes, values, 9);
    const std::vector<int16_t> words(values.begin(), values.end());
    ExpectSignedRoundTrip(&ArithCoder::EncodeWords, &ArithCoder::DecodeWords, words, 9);
}

TEST(ArithCoderRuns, StaticCountSaturatesAndStillRestores)
{
    std::vector<int8_t> values(70000, 5);
    values[100] = -2;
    ExpectSignedRoundTrip(&ArithCoder::EncodeStatic, &ArithCoder::DecodeStatic, values, 21);
}

TEST(ArithCoderRuns, EmptyInputOfEveryKindDecodesToNothing)
{
    ArithCoder coder;
    std::vector<uint8_t> stream;
    ASSERT_TRUE(coder.EncodeSignedBytes(stream, {}, 257).Ok());
    EXPECT_LE(stream.size(), 3u);
    std::vector<int8_t> out(4, 9);
    ArithRun read = coder.DecodeSignedBytes(stream, out, 257);
    EXPECT_TRUE(read.Ok());
    EXPECT_EQ(read.values, 0u);
    EXPECT_EQ(out[0], 9);

    stream.clear();
    ASSERT_TRUE(coder.EncodeStatic(stream, {}, 5).Ok());
    EXPECT_EQ(stream.size(), 12u + 1u); // six counts of 1, then the end symbol and the flush in one byte
    read = coder.DecodeStatic(stream, out, 5);
    EXPECT_TRUE(read.Ok());
    EXPECT_EQ(read.values, 0u);

    stream.clear();
    ASSERT_TRUE(coder.EncodeWords(stream, {}, 3).Ok());
    std::vector<int16_t> words(2);
    read = coder.DecodeWords(stream, words, 3);
    EXPECT_TRUE(read.Ok());
    EXPECT_EQ(read.values, 0u);
}

TEST(ArithCoderRuns, SignedAlphabetEdges)
{
    EXPECT_EQ(ArithCoder::SignedOffset(255), 127);
    EXPECT_EQ(ArithCoder::SignedOffset(256), 127);
    EXPECT_EQ(ArithCoder::SignedOffset(257), 128);
    ExpectSignedRoundTrip(&ArithCoder::EncodeSignedBytes, &ArithCoder::DecodeSignedBytes,
                          std::vector<int8_t>({-127, 127, 0, -127, 127}), 255);
    ExpectSignedRoundTrip(&ArithCoder::EncodeSignedBytes, &ArithCoder::DecodeSignedBytes,
                          std::vector<int8_t>({-128, 127, 0, -1, -128}), 257);
    const std::vector<int16_t> words = {-127, 128, 0, 128};
    ExpectSignedRoundTrip(&ArithCoder::EncodeWords, &ArithCoder::DecodeWords, words, 256);

    ArithCoder coder;
    std::vector<uint8_t> stream;
    EXPECT_EQ(coder.EncodeSignedBytes(stream, std::vector<int8_t>({-128}), 255).status, ArithStatus::kValueOutOfRange);
    EXPECT_EQ(coder.EncodeSignedBytes(stream, std::vector<int8_t>({-128}), 256).status, ArithStatus::kValueOutOfRange);
    EXPECT_EQ(coder.EncodeBytes(stream, std::vector<uint8_t>({5}), 5).status, ArithStatus::kValueOutOfRange);
    EXPECT_TRUE(stream.empty());
}

TEST(ArithCoderRuns, OneCoderServesRunsOfDifferentKindsInTurn)
{
    ArithCoder coder;
    const std::vector<int8_t> a = SkewedSigned(3000, 10, 9);
    const std::vector<int8_t> b = RandomSigned(2000, -50, 50, 10);
    std::vector<uint8_t> sa;
    std::vector<uint8_t> sb;
    ASSERT_TRUE(coder.EncodeSignedBytes(sa, a, 21).Ok());
    ASSERT_TRUE(coder.EncodeStatic(sb, b, 101).Ok());
    std::vector<int8_t> da(a.size());
    std::vector<int8_t> db(b.size());
    ASSERT_TRUE(coder.DecodeStatic(sb, db, 101).Ok());
    ASSERT_TRUE(coder.DecodeSignedBytes(sa, da, 21).Ok());
    EXPECT_EQ(da, a);
    EXPECT_EQ(db, b);
}

TEST(ArithCoderBounds, OutputCapacityIsNeverExceeded)
{
    const std::vector<int8_t> values = RandomSigned(1000, -20, 20, 11);
    ArithCoder coder;
    std::vector<uint8_t> stream;
    ASSERT_TRUE(coder.EncodeSignedBytes(stream, values, 41).Ok());
    std::vector<int8_t> out(values.size() + 1, 0);
    const ArithRun read = coder.DecodeSignedBytes(stream, std::span<int8_t>(out).first(999), 41);
    EXPECT_EQ(read.status, ArithStatus::kOutputFull);
    EXPECT_EQ(read.values, 999u);
    EXPECT_EQ(out[999], 0);
}

TEST(ArithCoderBounds, StreamWithoutEndSymbolStopsAtCapacityOrInputEnd)
{
    std::mt19937 rng(12);
    ArithCoder coder;
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<uint8_t> noise(1 + rng() % 64);
        for (uint8_t& b : noise)
            b = static_cast<uint8_t>(rng());
        std::vector<int8_t> out(1 << 16);
        const ArithRun read = coder.DecodeSignedBytes(noise, out, 257);
        EXPECT_LE(read.values, out.size());
        EXPECT_LE(read.bytes, noise.size() + 8);
        if (!read.Ok()) {
            EXPECT_TRUE(read.status == ArithStatus::kTruncated || read.status == ArithStatus::kOutputFull);
        }
    }
    // A cut stream must not decode to the full run.
    const std::vector<int8_t> values = RandomSigned(4000, -100, 100, 13);
    std::vector<uint8_t> stream;
    ASSERT_TRUE(coder.EncodeSignedBytes(stream, values, 201).Ok());
    std::vector<int8_t> out(values.size() * 4);
    const ArithRun cut = coder.DecodeSignedBytes(std::span<const uint8_t>(stream).first(stream.size() / 2), out, 201);
    EXPECT_EQ(cut.status, ArithStatus::kTruncated);
    EXPECT_LT(cut.values, values.size());
}

TEST(ArithCoderBounds, AlphabetsBeyondTheModelAreRefused)
{
    ArithCoder coder;
    std::vector<uint8_t> stream;
    EXPECT_EQ(coder.EncodeBytes(stream, {}, 0).status, ArithStatus::kBadAlphabet);
    EXPECT_EQ(coder.EncodeSignedBytes(stream, {}, ArithCoder::kMaxByteAlphabet + 1).status, ArithStatus::kBadAlphabet);
    EXPECT_EQ(coder.EncodeStatic(stream, {}, ArithCoder::kMaxByteAlphabet + 1).status, ArithStatus::kBadAlphabet);
    EXPECT_EQ(coder.EncodeWords(stream, {}, ArithCoder::kMaxWordAlphabet + 1).status, ArithStatus::kBadAlphabet);
    EXPECT_TRUE(stream.empty());

    const std::vector<uint8_t> input(16, 0x55);
    std::vector<int8_t> out(16);
    std::vector<int16_t> words(16);
    EXPECT_EQ(coder.DecodeSignedBytes(input, out, 40000).status, ArithStatus::kBadAlphabet);
    EXPECT_EQ(coder.DecodeWords(input, words, 16383).status, ArithStatus::kBadAlphabet);
    EXPECT_EQ(coder.DecodeStatic(input, out, 0).status, ArithStatus::kBadAlphabet);

    // The largest alphabets still work: every count stays at least 1 and the total under its bound.
    const std::vector<int16_t> edge = {-8148, 8149, 0};
    ExpectSignedRoundTrip(&ArithCoder::EncodeWords, &ArithCoder::DecodeWords, edge, ArithCoder::kMaxWordAlphabet);
    std::vector<uint8_t> bytes(3000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7);
    stream.clear();
    ASSERT_TRUE(coder.EncodeBytes(stream, bytes, ArithCoder::kMaxByteAlphabet).Ok());
    std::vector<uint8_t> back(bytes.size());
    ASSERT_TRUE(coder.DecodeBytes(stream, back, ArithCoder::kMaxByteAlphabet).Ok());
    EXPECT_EQ(back, bytes);
}

TEST(ArithCoderBounds, StaticModelWithUnusableCountsIsRefused)
{
    ArithCoder coder;
    std::vector<int8_t> out(8);
    const std::vector<uint8_t> zeroCounts(4 * 2 + 4, 0); // n = 3: four zero counts, then coded bytes
    EXPECT_EQ(coder.DecodeStatic(zeroCounts, out, 3).status, ArithStatus::kBadModel);

    std::vector<uint8_t> hugeCounts = {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x01, 0x00, 0, 0, 0};
    EXPECT_EQ(coder.DecodeStatic(hugeCounts, out, 3).status, ArithStatus::kBadModel);

    const std::vector<uint8_t> shortCounts = {0x01, 0x00, 0x01};
    EXPECT_EQ(coder.DecodeStatic(shortCounts, out, 3).status, ArithStatus::kBadModel);

    // A model that gives some symbols no count still decodes without dividing by zero.
    const std::vector<uint8_t> sparse = {0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x01, 0x00, 0x37, 0x92, 0x10};
    const ArithRun read = coder.DecodeStatic(sparse, out, 3);
    EXPECT_LE(read.values, out.size());
}

} // namespace
