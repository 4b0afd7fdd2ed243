#include "engine/resources/block_filter.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint64_t kNoBound = UINT64_MAX;

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(n);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(random());
    return bytes;
}

std::vector<uint8_t> TextBytes(size_t n)
{
    static const std::string kText = "A world is made of resources: pictures used as textures, the background behind "
                                     "the scene, the materials that colour meshes, the meshes themselves, and sounds. ";
    std::vector<uint8_t> bytes;
    for (size_t i = 0; bytes.size() < n; ++i)
        bytes.push_back(static_cast<uint8_t>(kText[(i * 7 + i / kText.size()) % kText.size()]));
    return bytes;
}

std::vector<uint8_t> FloatMatrices(size_t n)
{
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i + 4 <= n; i += 4) {
        const size_t frame = i / 64, element = (i / 4) % 16;
        const float value = element % 5 == 0 ? 1.0f : std::sin(static_cast<float>(frame) * 0.01f + element);
        std::memcpy(&bytes[i], &value, 4);
    }
    return bytes;
}

struct Sample {
    const char* name;
    std::vector<uint8_t> bytes;
};

std::vector<Sample> Samples()
{
    return {
        {"empty", {}},
        {"one byte", {0x5A}},
        {"zeros", std::vector<uint8_t>(100000, 0)},
        {"random", RandomBytes(70000, 1)},
        {"text", TextBytes(300000)},
        {"float matrices 4 MiB", FloatMatrices(4u << 20)},
        {"window edge", TextBytes(4096 + 18 + 3)},
    };
}

class BlockFilterRoundTrip : public ::testing::TestWithParam<BlockFilter> {};

TEST_P(BlockFilterRoundTrip, EveryKindOfDataComesBackExactly)
{
    for (const Sample& sample : Samples()) {
        SCOPED_TRACE(sample.name);
        const std::optional<std::vector<uint8_t>> encoded = EncodeBlock(GetParam(), sample.bytes);
        ASSERT_TRUE(encoded.has_value());
        std::vector<uint8_t> decoded = {1, 2, 3};
        ASSERT_EQ(DecodeBlock(GetParam(), *encoded, sample.bytes.size(), kNoBound, decoded), BlockFilterStatus::kOk);
        EXPECT_EQ(decoded, sample.bytes);
    }
}

TEST_P(BlockFilterRoundTrip, AnotherExpectedSizeFailsWithEmptyOutput)
{
    const std::vector<uint8_t> text = TextBytes(5000);
    const std::vector<uint8_t> encoded = *EncodeBlock(GetParam(), text);
    for (const uint64_t expected : {uint64_t{0}, uint64_t{4999}, uint64_t{5001}}) {
        SCOPED_TRACE(expected);
        std::vector<uint8_t> decoded = {9};
        EXPECT_EQ(DecodeBlock(GetParam(), encoded, expected, kNoBound, decoded), BlockFilterStatus::kDamaged);
        EXPECT_TRUE(decoded.empty());
    }
}

TEST_P(BlockFilterRoundTrip, EveryTruncationFailsCleanly)
{
    const std::vector<uint8_t> text = TextBytes(600);
    const std::vector<uint8_t> encoded = *EncodeBlock(GetParam(), text);
    for (size_t keep = 0; keep < encoded.size(); ++keep) {
        SCOPED_TRACE(keep);
        std::vector<uint8_t> decoded;
        const std::span<const uint8_t> cut(encoded.data(), keep);
        EXPECT_NE(DecodeBlock(GetParam(), cut, text.size(), kNoBound, decoded), BlockFilterStatus::kOk);
        EXPECT_TRUE(decoded.empty());
    }
}

TEST_P(BlockFilterRoundTrip, RandomCorruptionNeverReadsOutOfBounds)
{
    const std::vector<uint8_t> text = TextBytes(3000);
    const std::vector<uint8_t> encoded = *EncodeBlock(GetParam(), text);
    std::mt19937 random(7);
    int damaged = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        std::vector<uint8_t> bad = encoded;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i)
            bad[random() % bad.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
        std::vector<uint8_t> decoded;
        const BlockFilterStatus status = DecodeBlock(GetParam(), bad, text.size(), kNoBound, decoded);
        if (status == BlockFilterStatus::kOk)
            EXPECT_EQ(decoded.size(), text.size()); // LZSS has no checksum: some flips decode, to the right size
        else
            ++damaged;
    }
    EXPECT_GT(damaged, 0);
}

TEST_P(BlockFilterRoundTrip, SizesBeyondReachOrBoundAreRefusedBeforeAllocating)
{
    const std::vector<uint8_t> encoded = *EncodeBlock(GetParam(), TextBytes(100));
    const uint64_t reach =
        GetParam() == BlockFilter::kLzss ? LzssReachBytes(encoded.size()) : DeflateReachBytes(encoded.size());
    std::vector<uint8_t> decoded;
    EXPECT_EQ(DecodeBlock(GetParam(), encoded, reach + 1, kNoBound, decoded), BlockFilterStatus::kSizeBeyondReach);
    EXPECT_EQ(DecodeBlock(GetParam(), encoded, UINT64_MAX, kNoBound, decoded), BlockFilterStatus::kSizeBeyondReach);
    EXPECT_EQ(DecodeBlock(GetParam(), encoded, 100, 99, decoded), BlockFilterStatus::kSizeBeyondReach);
    EXPECT_EQ(DecodeBlock(GetParam(), encoded, 100, 100, decoded), BlockFilterStatus::kOk);
}

TEST_P(BlockFilterRoundTrip, EightThreadsAtOnceAgree)
{
    const std::vector<uint8_t> text = TextBytes(200000);
    const std::vector<uint8_t> expected = *EncodeBlock(GetParam(), text);
    std::vector<int> agreed(8, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round) {
                const std::optional<std::vector<uint8_t>> encoded = EncodeBlock(GetParam(), text);
                std::vector<uint8_t> decoded;
                if (encoded == expected &&
                    DecodeBlock(GetParam(), *encoded, text.size(), kNoBound, decoded) == BlockFilterStatus::kOk &&
                    decoded == text)
                    ++agreed[t];
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    for (const int count : agreed)
        EXPECT_EQ(count, 3);
}

INSTANTIATE_TEST_SUITE_P(BothFilters, BlockFilterRoundTrip,
                         ::testing::Values(BlockFilter::kLzss, BlockFilter::kDeflate),
                         [](const auto& info) { return info.param == BlockFilter::kLzss ? "Lzss" : "Deflate"; });

TEST(LzssFormat, LayoutIsFlagByteThenLiteralsAndMatchWords)
{
    // "abcabcabc": three literals, then one match of 6 bytes at distance 3.
    const std::vector<uint8_t> input = {'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c'};
    const std::vector<uint8_t> expected = {
        0x07,            // flags: items 0-2 literal, item 3 a match
        'a',  'b',  'c', // literals
        0x02, 0x30,      // distance 3 - 1 = 2, length 6 - 3 = 3 in bits 12-15
    };
    EXPECT_EQ(LzssEncode(input), expected);
}

// Files written hold the encoder's choice of matches: a faster search must choose the same ones. Few symbols make
// long hash chains with many candidates of equal promise; the size and checksum are those of the files written so far.
TEST(LzssFormat, EncoderChoosesTheMatchesItAlwaysHas)
{
    std::vector<uint8_t> input(200000);
    uint32_t state = 12345;
    for (size_t i = 0; i < input.size(); ++i) {
        state = state * 1103515245u + 12345u;
        input[i] = static_cast<uint8_t>((state >> 16) % 7 + (i / 64) % 3 * 7);
    }
    const std::vector<uint8_t> encoded = LzssEncode(input);
    EXPECT_EQ(encoded.size(), 123599u);
    EXPECT_EQ(crc32(0L, encoded.data(), static_cast<uInt>(encoded.size())), 0x51bbadf1u);
}

TEST(LzssFormat, DamagedStreamsAreRefused)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        uint64_t expected;
    };
    const Case cases[] = {
        {"match before any output", {0x00, 0x00, 0x00}, 3},
        {"match reaching before the start", {0x01, 'a', 0x01, 0x00}, 4},
        {"match longer than the rest", {0x01, 'a', 0x00, 0xF0}, 5},
        {"flag byte with nothing after", {0x01}, 1},
        {"half a match word", {0x02, 'a', 0x00}, 4},
        {"bytes after the expected size", {0x03, 'a', 'b', 'c'}, 2},
        {"something for an empty block", {0x00}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> out;
        EXPECT_EQ(LzssDecode(c.bytes, c.expected, kNoBound, out), BlockFilterStatus::kDamaged);
        EXPECT_TRUE(out.empty());
    }
}

TEST(LzssFormat, OverlappingMatchMakesARun)
{
    const std::vector<uint8_t> stream = {0x01, 'z', 0x00, 0xF0}; // 'z', then 18 bytes at distance 1
    std::vector<uint8_t> out;
    ASSERT_EQ(LzssDecode(stream, 19, kNoBound, out), BlockFilterStatus::kOk);
    EXPECT_EQ(out, std::vector<uint8_t>(19, 'z'));
}

TEST(DeflateFormat, IsZlibWithHeaderAndChecksum)
{
    const std::vector<uint8_t> encoded = *DeflateEncode(TextBytes(1000));
    ASSERT_GE(encoded.size(), 6u);
    EXPECT_EQ(encoded[0], 0x78);                        // deflate, 32 KiB window
    EXPECT_EQ((encoded[0] * 256 + encoded[1]) % 31, 0); // the header check
    std::vector<uint8_t> bad = encoded;
    bad.back() ^= 1; // the Adler-32 checksum
    std::vector<uint8_t> out;
    EXPECT_EQ(DeflateDecode(bad, 1000, kNoBound, out), BlockFilterStatus::kDamaged);
}

// The process's resident memory, from the kernel's count of its pages.
uint64_t ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    uint64_t resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

// A block that states far more than it holds costs what it holds: the stated size is only address space until the
// stream fills it, so a lie about the size is found before the memory it names was ever touched. One that would
// inflate past its size stops there, and the stream must also end where the input does.
TEST(DeflateFormat, AStatedSizeCostsNothingBeforeTheStreamFillsIt)
{
    std::mt19937 random(7);
    std::vector<uint8_t> noise(60000);
    for (uint8_t& b : noise)
        b = static_cast<uint8_t>(random());
    const std::vector<uint8_t> encoded = *DeflateEncode(noise);
    const uint64_t stated = DeflateReachBytes(encoded.size()) - 1; // about 60 MB, within reach
    std::vector<uint8_t> out;
    const uint64_t before = ResidentBytes();
    EXPECT_EQ(DeflateDecode(encoded, stated, kNoBound, out), BlockFilterStatus::kDamaged);
    // What the block holds was touched, not what it states.
    EXPECT_LT(static_cast<int64_t>(ResidentBytes() - before), static_cast<int64_t>(stated / 4));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(DeflateDecode(encoded, noise.size() - 1, kNoBound, out), BlockFilterStatus::kDamaged);
    std::vector<uint8_t> trailing = encoded;
    trailing.push_back(0);
    EXPECT_EQ(DeflateDecode(trailing, noise.size(), kNoBound, out), BlockFilterStatus::kDamaged);
    ASSERT_EQ(DeflateDecode(encoded, noise.size(), kNoBound, out), BlockFilterStatus::kOk);
    EXPECT_EQ(out, noise);
    const std::vector<uint8_t> zeros(3u << 20); // inflates past the first output size: it grows on the way
    ASSERT_EQ(DeflateDecode(*DeflateEncode(zeros), zeros.size(), kNoBound, out), BlockFilterStatus::kOk);
    EXPECT_EQ(out, zeros);
    ASSERT_EQ(DeflateDecode(*DeflateEncode({}), 0, kNoBound, out), BlockFilterStatus::kOk);
    EXPECT_TRUE(out.empty());
}

TEST(BlockFilterKinds, StoredBlockMustMatchItsSizeAndUnknownKindIsABadArgument)
{
    const std::vector<uint8_t> bytes = {1, 2, 3};
    std::vector<uint8_t> out;
    EXPECT_EQ(DecodeBlock(BlockFilter::kNone, bytes, 3, kNoBound, out), BlockFilterStatus::kOk);
    EXPECT_EQ(out, bytes);
    EXPECT_EQ(DecodeBlock(BlockFilter::kNone, bytes, 4, kNoBound, out), BlockFilterStatus::kDamaged);
    EXPECT_EQ(DecodeBlock(static_cast<BlockFilter>(7), bytes, 3, kNoBound, out), BlockFilterStatus::kBadArgument);
    EXPECT_FALSE(EncodeBlock(static_cast<BlockFilter>(7), bytes).has_value());
}

} // namespace
