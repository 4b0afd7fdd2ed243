#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/speech/rt24/rt24_format.h"
#include "codecs/sound/speech/rt24/rt24_stream.h"
#include "codecs/sound/tests/frame_loop_test_support.h"
#include "codecs/sound/tests/speech_test_signals.h"
#include "platform/base/endian.h"
#include "testsupport/sound/speech_fixture.h"
#include "testsupport/sound/speech_metrics.h"

using namespace sound;
using namespace looptest;

namespace {

using speechtest::Vowel;

std::vector<int16_t> RoundTrip(std::span<const int16_t> samples, const Rt24DecodeOptions& options = {})
{
    const Rt24Encoded encoded = Rt24EncodeSamples(samples);
    EXPECT_EQ(encoded.result, kCodecOk);
    const Rt24Decoded decoded = Rt24DecodeFrames(encoded.frames, options);
    EXPECT_EQ(decoded.result, kCodecOk);
    return decoded.samples;
}

} // namespace

TEST(Rt24Speech, VowelsComeBackVoicedAtTheirPitch)
{
    for (const double f0 : {100.0, 150.0, 220.0}) {
        SCOPED_TRACE(f0);
        const std::vector<int16_t> vowel = Vowel(f0, 1.0);
        const std::vector<int16_t> decoded = RoundTrip(vowel);
        const soundtest::SpeechComparison result = soundtest::CompareSpeech(vowel, decoded, 8000, 4000);
        ASSERT_TRUE(result.error.empty()) << result.error;
        EXPECT_GT(result.voicedFrames, 80u);
        EXPECT_LE(result.f0RmsErrorPercent, 3.0);
        EXPECT_LE(result.voicingDisagreement, 0.05);
        EXPECT_LE(result.meanEnergyErrorDb, 3.5);
    }
}

TEST(Rt24Speech, FixtureKeepsItsSpectrumAndEnergy)
{
    const std::vector<int16_t> speech = soundtest::SpeechFixture8k();
    ASSERT_FALSE(speech.empty());
    const std::vector<int16_t> decoded = RoundTrip(speech);
    const soundtest::SpeechComparison result = soundtest::CompareSpeech(speech, decoded, 8000, 4000);
    ASSERT_TRUE(result.error.empty()) << result.error;
    // Locked at the first measurement plus 1 dB: 10.5 dB and 4.4 dB; delay 272 samples.
    EXPECT_LE(result.voicedLogSpectralDistanceDb, 11.5);
    EXPECT_LE(result.meanEnergyErrorDb, 5.4);
    EXPECT_GE(result.energyCorrelation, 0.9);
    EXPECT_NEAR(result.lagSamples, 272, 40);
}

TEST(Rt24Speech, TimeScaleStretchesTheLength)
{
    const std::vector<int16_t> speech = soundtest::SpeechFixture8k();
    ASSERT_FALSE(speech.empty());
    const Rt24Encoded encoded = Rt24EncodeSamples(speech);
    const size_t normal = Rt24DecodeFrames(encoded.frames, {}).samples.size();
    EXPECT_EQ(normal, encoded.frameCount * kRt24FrameSamples);
    for (const float scale : {0.5f, 2.0f}) {
        SCOPED_TRACE(scale);
        Rt24DecodeOptions options;
        options.timeScale = scale;
        const Rt24Decoded decoded = Rt24DecodeFrames(encoded.frames, options);
        EXPECT_EQ(decoded.result, kCodecOk);
        EXPECT_EQ(decoded.frameCount, encoded.frameCount);
        EXPECT_NEAR(static_cast<double>(decoded.samples.size()), normal * scale, 2.0 * kRt24FrameSamples);
    }
    Rt24DecodeOptions refused;
    refused.timeScale = 6.0f;
    EXPECT_EQ(Rt24DecodeFrames(encoded.frames, refused).result, kCodecBadTimeScale);
}

TEST(Rt24Speech, SameInputSameBytes)
{
    const std::vector<int16_t> speech = soundtest::SpeechFixture8k();
    ASSERT_FALSE(speech.empty());
    const Rt24Encoded first = Rt24EncodeSamples(speech);
    const Rt24Encoded second = Rt24EncodeSamples(speech);
    EXPECT_EQ(first.frames, second.frames);
    // Whole frames plus one short or silent frame and three of zeros; the last byte padded.
    const size_t frames = speech.size() / kRt24FrameSamples + 1 + kRt24TrailingFrames;
    EXPECT_EQ(first.frameCount, frames);
    EXPECT_EQ(first.frames.size(), (frames * kRt24FrameBits + 7) / 8);
    EXPECT_EQ(RoundTrip(speech), RoundTrip(speech));
}

TEST(Rt24Speech, LostFramesKeepTheLengthAndStayQuiet)
{
    const std::vector<int16_t> speech = soundtest::SpeechFixture8k();
    ASSERT_FALSE(speech.empty());
    const Rt24Encoded encoded = Rt24EncodeSamples(speech);
    Rt24DecodeOptions options;
    options.lostFrames = {10, 11, 40, 100, 101, 102};
    const Rt24Decoded lost = Rt24DecodeFrames(encoded.frames, options);
    const Rt24Decoded whole = Rt24DecodeFrames(encoded.frames, {});
    EXPECT_EQ(lost.samples.size(), whole.samples.size());
    EXPECT_EQ(lost.frameCount, whole.frameCount);
    EXPECT_NE(lost.samples, whole.samples);
    // Before the first lost frame nothing differs.
    EXPECT_TRUE(std::equal(whole.samples.begin(), whole.samples.begin() + 9 * kRt24FrameSamples, lost.samples.begin()));
}

TEST(Rt24Speech, ShortAndExactLengths)
{
    for (const size_t count : {size_t{0}, size_t{1}, size_t{179}, size_t{180}, size_t{360}}) {
        SCOPED_TRACE(count);
        const std::vector<int16_t> samples(count, 1000);
        const Rt24Encoded encoded = Rt24EncodeSamples(samples);
        EXPECT_EQ(encoded.frameCount, count / kRt24FrameSamples + 1 + kRt24TrailingFrames);
        const Rt24Decoded decoded = Rt24DecodeFrames(encoded.frames, {});
        EXPECT_EQ(decoded.frameCount, encoded.frameCount);
        EXPECT_EQ(decoded.samples.size(), encoded.frameCount * kRt24FrameSamples);
    }
    // A stream cut inside its first frame gives nothing, and no frame is read from padding.
    const std::vector<uint8_t> cut(6, 0xFF);
    const Rt24Decoded none = Rt24DecodeFrames(cut, {});
    EXPECT_EQ(none.result, kCodecOk);
    EXPECT_EQ(none.frameCount, 0u);
    EXPECT_TRUE(none.samples.empty());
}

TEST(Rt24Speech, StoredDataHeader)
{
    const std::vector<uint8_t> frames = {1, 2, 3};
    const std::vector<uint8_t> stored = Rt24StoredData(frames);
    ASSERT_EQ(stored.size(), 11u);
    EXPECT_EQ(pf::loadU16le(&stored[0]), 16);
    EXPECT_EQ(pf::loadU16le(&stored[2]), 1);
    EXPECT_EQ(pf::loadU32le(&stored[4]), 8000u);
    std::span<const uint8_t> back;
    std::string error;
    ASSERT_TRUE(SplitRt24StoredData(stored, back, error));
    EXPECT_TRUE(std::equal(back.begin(), back.end(), frames.begin(), frames.end()));
    std::vector<uint8_t> stereo = stored;
    stereo[2] = 2;
    EXPECT_FALSE(SplitRt24StoredData(stereo, back, error));
    EXPECT_NE(error.find("2 channels"), std::string::npos);
    EXPECT_FALSE(SplitRt24StoredData(std::span<const uint8_t>(stored).first(7), back, error));
    EXPECT_TRUE(back.empty());
}

TEST(Rt24Speech, EncoderAndDecoderRunOnTwoThreadsAtOnce)
{
    const std::vector<int16_t> speech = soundtest::SpeechFixture8k();
    ASSERT_FALSE(speech.empty());
    const Rt24Encoded reference = Rt24EncodeSamples(speech);
    const std::vector<int16_t> expected = Rt24DecodeFrames(reference.frames, {}).samples;
    Rt24Encoded encoded;
    Rt24Decoded decoded;
    std::thread encoder([&] {
        for (int i = 0; i < 3; ++i)
            encoded = Rt24EncodeSamples(speech);
    });
    std::thread decoder([&] {
        for (int i = 0; i < 3; ++i)
            decoded = Rt24DecodeFrames(reference.frames, {});
    });
    encoder.join();
    decoder.join();
    EXPECT_EQ(encoded.frames, reference.frames);
    EXPECT_EQ(decoded.samples, expected);
}
