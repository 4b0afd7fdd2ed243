// The checked reading of voice bytes: every bad format and range is refused before a byte is read, and good
// voices come out as signed 16-bit frames.
#include "platform/media/voice_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace pf {
namespace {

PcmView voiceOf(WaveFormat format, std::vector<uint8_t> bytes)
{
    return {format, std::make_shared<const std::vector<uint8_t>>(std::move(bytes))};
}

TEST(VoiceReaderRead, EightBitSamplesAreRecentred)
{
    auto reader = VoiceReader::open(voiceOf(WaveFormat::pcm(1, 22050, 8), {0, 128, 255, 64}), 0, 4);
    ASSERT_TRUE(reader.has_value());
    int16_t out[4] = {};
    EXPECT_EQ(reader->read(out, 4), 4u);
    EXPECT_EQ(out[0], -32768);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 32512);
    EXPECT_EQ(out[3], -16384);
    EXPECT_TRUE(reader->isFinished());
}

TEST(VoiceReaderRead, SixteenBitStereoReadsTheRangeOnly)
{
    // Three stereo frames, little-endian: (1, -1), (0x1234, -32768), (32767, 2).
    auto reader = VoiceReader::open(
        voiceOf(WaveFormat::pcm(2, 44100, 16), {1, 0, 0xFF, 0xFF, 0x34, 0x12, 0, 0x80, 0xFF, 0x7F, 2, 0}), 1, 3);
    ASSERT_TRUE(reader.has_value());
    EXPECT_EQ(reader->framesLeft(), 2u);
    int16_t out[8] = {};
    EXPECT_EQ(reader->read(out, 1), 1u);
    EXPECT_EQ(out[0], 0x1234);
    EXPECT_EQ(out[1], -32768);
    EXPECT_EQ(reader->read(out, 8), 1u); // only what the range holds
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[1], 2);
    EXPECT_EQ(reader->read(out, 8), 0u);
}

TEST(VoiceReaderRefusal, EachBadFormatAndRangeOfOneGoodVoiceIsRefused)
{
    const PcmView good = voiceOf(WaveFormat::pcm(2, 22050, 16), std::vector<uint8_t>(400, 0)); // 100 frames
    ASSERT_TRUE(VoiceReader::open(good, 0, 100).has_value());
    struct Change {
        const char* name;
        std::function<void(PcmView&, uint64_t&, uint64_t&)> apply;
    };
    const Change changes[] = {
        {"no bytes", [](PcmView& v, uint64_t&, uint64_t&) { v.bytes = nullptr; }},
        {"tag 3", [](PcmView& v, uint64_t&, uint64_t&) { v.format.tag = 3; }},
        {"extensible tag", [](PcmView& v, uint64_t&, uint64_t&) { v.format.tag = WAVE_FORMAT_EXTENSIBLE; }},
        {"24 bits", [](PcmView& v, uint64_t&, uint64_t&) { v.format = WaveFormat::pcm(2, 22050, 24); }},
        {"0 bits", [](PcmView& v, uint64_t&, uint64_t&) { v.format.bits = 0; }},
        {"0 channels", [](PcmView& v, uint64_t&, uint64_t&) { v.format.channels = 0; }},
        {"9 channels", [](PcmView& v, uint64_t&, uint64_t&) { v.format = WaveFormat::pcm(9, 22050, 8); }},
        {"rate 0", [](PcmView& v, uint64_t&, uint64_t&) { v.format.rate = 0; }},
        {"rate 384001", [](PcmView& v, uint64_t&, uint64_t&) { v.format.rate = kMaxVoiceRate + 1; }},
        {"alignment 3", [](PcmView& v, uint64_t&, uint64_t&) { v.format.blockAlign = 3; }},
        {"alignment 0", [](PcmView& v, uint64_t&, uint64_t&) { v.format.blockAlign = 0; }},
        {"end past the bytes", [](PcmView&, uint64_t&, uint64_t& to) { to = 101; }},
        {"start after end", [](PcmView&, uint64_t& from, uint64_t& to) { from = 60, to = 50; }},
        {"end that wraps in 64 bits",
         [](PcmView&, uint64_t&, uint64_t& to) { to = std::numeric_limits<uint64_t>::max() / 2 + 1; }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.name);
        PcmView voice = good;
        uint64_t from = 0;
        uint64_t to = 100;
        change.apply(voice, from, to);
        EXPECT_FALSE(VoiceReader::open(voice, from, to).has_value());
    }
}

TEST(VoiceReaderRange, EmptyRangeAtTheEndIsFinishedAtOnce)
{
    auto reader = VoiceReader::open(voiceOf(WaveFormat::pcm(1, 8000, 16), {1, 2, 3, 4}), 2, 2);
    ASSERT_TRUE(reader.has_value());
    EXPECT_TRUE(reader->isFinished());
}

} // namespace
} // namespace pf
