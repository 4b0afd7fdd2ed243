// The own wave codec's stream, byte for byte where the format fixes it.
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/entropy/arith_coder.h"
#include "codecs/sound/tests/wave_codec_test_support.h"
#include "codecs/sound/wave_codec/byte_stream_coder.h"
#include "codecs/sound/wave_codec/wave_block_coder.h"
#include "platform/base/endian.h"
#include "testsupport/sound/sound_metrics.h"

using namespace sound;
using wavetest::DecodeStream;
using wavetest::EncodeStream;

namespace {

constexpr uint32_t kMode70 = kWaveSystemMode | 70;

uint32_t U32At(std::span<const uint8_t> bytes, size_t offset)
{
    return pf::loadU32le(bytes.data() + offset);
}

} // namespace

TEST(WaveEncoderFormat, FinishWithNothingFedIsOneEndBlock)
{
    WaveEncoder encoder;
    ASSERT_EQ(encoder.Init(kWaveSystemMode, 70), kWaveOk);
    EXPECT_EQ(encoder.Finish(), kWaveFinished);
    const std::vector<uint8_t> want = {
        12,   0,    0, 0, // block length: the header alone
        0,    0,    0, 0, // count 0: the end block
        0x46, 0x98, 0, 0, // mode 0x9800 with quality 70
    };
    EXPECT_EQ(std::vector<uint8_t>(encoder.Output().begin(), encoder.Output().end()), want);
    EXPECT_EQ(encoder.Feed(std::vector<int16_t>(5, 1)), kWaveFinished);
    EXPECT_EQ(encoder.Finish(), kWaveFinished);
}

TEST(WaveEncoderFormat, FullBlockComesOutAtOnceAndFinishAddsOnlyTheEndBlock)
{
    WaveEncoder encoder;
    ASSERT_EQ(encoder.Init(kWaveSystemMode, 70), kWaveOk);
    const std::vector<int16_t> samples = wavetest::Tone(kWaveBlockSamples, 440, 22050, 8000);
    ASSERT_EQ(encoder.Feed(std::span<const int16_t>(samples).first(1000)), kWaveOk);
    EXPECT_TRUE(encoder.Output().empty());
    ASSERT_EQ(encoder.Feed(std::span<const int16_t>(samples).subspan(1000)), kWaveOk);
    const std::vector<uint8_t> block(encoder.Output().begin(), encoder.Output().end());
    ASSERT_GE(block.size(), 33u);
    EXPECT_EQ(U32At(block, 0), block.size());
    EXPECT_EQ(U32At(block, 4), kWaveBlockSamples);
    EXPECT_EQ(U32At(block, 8), kMode70);
    EXPECT_EQ(U32At(block, 12), 1u);                // block flag
    EXPECT_EQ(U32At(block, 16), 64u);               // transform size
    EXPECT_EQ(block[20], 0);                        // no window
    EXPECT_EQ(U32At(block, 21) + 21, block.size()); // the byte stream fills the rest
    ASSERT_EQ(encoder.Finish(), kWaveFinished);
    EXPECT_EQ(encoder.Output().size(), 12u);
    EXPECT_EQ(encoder.TotalSamples(), kWaveBlockSamples);
    EXPECT_EQ(encoder.TotalBytes(), block.size() + 12);
}

TEST(WaveEncoderFormat, QualityIsClampedBeforeItEntersTheMode)
{
    WaveEncoder encoder;
    ASSERT_EQ(encoder.Init(kWaveSystemMode | 0x55, 1000), kWaveOk); // 1000 would spill into the method bits
    EXPECT_EQ(encoder.Mode(), kWaveSystemMode | 100);
    ASSERT_EQ(encoder.Init(kWaveSystemMode, 256), kWaveOk); // 256 would read as quality 0
    EXPECT_EQ(encoder.Mode(), kWaveSystemMode | 100);
}

TEST(WaveEncoderFormat, ModesItCannotWriteAreRefused)
{
    for (uint32_t mode : {0x4000u | kWaveModeSmallest, 0x6800u, kWaveModeTransform, kWaveModeDelta | 0x1000u}) {
        SCOPED_TRACE(mode);
        WaveEncoder encoder;
        EXPECT_EQ(encoder.Init(mode, 50), kWaveFailed);
        EXPECT_EQ(encoder.Failure(), WaveFailure::kBadArgument);
        EXPECT_EQ(encoder.Feed(std::vector<int16_t>(3, 0)), kWaveFailed);
        EXPECT_EQ(encoder.Finish(), kWaveFailed);
    }
    WaveEncoder notInitialised;
    EXPECT_EQ(notInitialised.Feed(std::vector<int16_t>(3, 0)), kWaveFailed);
    EXPECT_EQ(notInitialised.Failure(), WaveFailure::kBadArgument);
}

TEST(WaveEncoderFormat, ConstantSubBlockIsCodedByItsFirstCoefficient)
{
    // Transform with plain copy: the shift bytes and run-length code lie open in the stream.
    const std::vector<int16_t> samples(64, 1000);
    const std::vector<uint8_t> stream = EncodeStream(samples, kWaveModeTransform | kWaveModeCopy, 100);
    ASSERT_GE(stream.size(), 33u + 64u);
    EXPECT_EQ(U32At(stream, 21 + 8), (kWaveModeCopy | 100u)); // the byte stream keeps the caller's mode word
    const size_t payload = 33;
    for (size_t k = 0; k < 64; ++k)
        EXPECT_EQ(stream[payload + k], 0) << "shift " << k;
    // X[0] = 4 sqrt(2) 1000 = 5656.85 -> 5657, a large run of one; then 63 zeros as one small run.
    const size_t code = payload + 64;
    EXPECT_EQ(stream[code], 0x80);
    EXPECT_EQ(pf::loadU16le(&stream[code + 1]), 5657);
    EXPECT_EQ(stream[code + 3], 62);
    EXPECT_EQ(stream[code + 4], 128);
    EXPECT_EQ(DecodeStream(stream).samples, samples);
}

TEST(WaveEncoderFormat, HundredSamplesMakeTwoSubBlocksAndDecodeToHundred)
{
    const std::vector<int16_t> samples = wavetest::Tone(100, 1000, 8000, 12000);
    const std::vector<uint8_t> stream = EncodeStream(samples, kWaveModeTransform | kWaveModeCopy, 100);
    ASSERT_GE(stream.size(), 33u);
    EXPECT_EQ(U32At(stream, 4), 100u);
    const wavetest::Decoded decoded = DecodeStream(stream);
    EXPECT_EQ(decoded.lastResult, kWaveFinished);
    ASSERT_EQ(decoded.samples.size(), 100u);
    for (size_t i = 0; i < samples.size(); ++i)
        EXPECT_NEAR(decoded.samples[i], samples[i], 1) << i;
}

TEST(ByteStreamFormat, IncompressibleBytesAreCopied)
{
    std::mt19937 generator(5);
    std::vector<uint8_t> bytes(3000);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(generator());
    ArithCoder arith;
    std::vector<uint8_t> block;
    EncodeByteStream(bytes, kWaveModeSmallest | 0x1000 | 42, arith, block);
    ASSERT_EQ(block.size(), 12u + bytes.size());
    EXPECT_EQ(U32At(block, 0), block.size());
    EXPECT_EQ(U32At(block, 4), bytes.size());
    EXPECT_EQ(U32At(block, 8), kWaveModeCopy);
    std::vector<uint8_t> decoded;
    ASSERT_TRUE(DecodeByteStream(block, bytes.size(), arith, decoded));
    EXPECT_EQ(decoded, bytes);
}

TEST(ByteStreamFormat, SmallestCodingIsChosenAndNamed)
{
    ArithCoder arith;
    // Long repeats: DEFLATE wins. A skewed memoryless source: the adaptive coder wins.
    std::vector<uint8_t> repeats;
    for (int i = 0; i < 4000; ++i)
        repeats.push_back(static_cast<uint8_t>("abcdefgh"[i % 8]));
    std::mt19937 generator(9);
    std::vector<uint8_t> skewed(4000);
    for (uint8_t& b : skewed)
        b = static_cast<uint8_t>(generator() % 100 < 90 ? 0 : 1 + generator() % 3);
    struct Case {
        const std::vector<uint8_t>* bytes;
        uint32_t method;
    };
    for (const Case& c : {Case{&repeats, kWaveModeDeflate}, Case{&skewed, kWaveModeArithmetic}}) {
        SCOPED_TRACE(c.method);
        std::vector<uint8_t> block;
        EncodeByteStream(*c.bytes, kWaveModeSmallest, arith, block);
        EXPECT_EQ(U32At(block, 8), c.method);
        EXPECT_LT(block.size(), c.bytes->size());
        std::vector<uint8_t> decoded;
        ASSERT_TRUE(DecodeByteStream(block, c.bytes->size(), arith, decoded));
        EXPECT_EQ(decoded, *c.bytes);
    }
}

// Every way of writing a block that the mode bits allow, decoded back; those without a transform are lossless.
TEST(WaveBlockModes, LosslessModesRoundTripExactly)
{
    std::vector<int16_t> samples = wavetest::Tone(40000, 300, 22050, 20000);
    const std::vector<int16_t> noise = wavetest::Noise(40000, 300, 3);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(samples[i] + noise[i]);
    samples[100] = -32768;
    samples[101] = 32767;
    for (uint32_t mode : {0x1100u, 0x1200u, 0x1400u, 0x1800u, 0x3800u, 0x3200u}) {
        SCOPED_TRACE(mode);
        const std::vector<uint8_t> stream = EncodeStream(samples, mode, 50);
        ASSERT_FALSE(stream.empty());
        const wavetest::Decoded decoded = DecodeStream(stream);
        EXPECT_EQ(decoded.lastResult, kWaveFinished);
        EXPECT_EQ(decoded.samples, samples);
    }
}

TEST(WaveBlockModes, DeltaOfTransformAndSampleBytesDecode)
{
    const std::vector<int16_t> samples = wavetest::Tone(5000, 200, 22050, 9000);
    const wavetest::Decoded deltaTransform = DecodeStream(EncodeStream(samples, 0xA800, 100));
    EXPECT_EQ(deltaTransform.lastResult, kWaveFinished);
    ASSERT_EQ(deltaTransform.samples.size(), samples.size());
    // The transform rounds the differences, so their running sum drifts a little even at quality 100.
    EXPECT_GT(soundtest::Snr(samples, deltaTransform.samples), 30.0);

    // A block of neither kind holds the first count bytes of the buffer: the first half of the samples.
    const wavetest::Decoded bytes = DecodeStream(EncodeStream(samples, kWaveModeSmallest, 0));
    EXPECT_EQ(bytes.lastResult, kWaveFinished);
    ASSERT_EQ(bytes.samples.size(), samples.size());
    EXPECT_TRUE(std::equal(samples.begin(), samples.begin() + 2500, bytes.samples.begin()));
    EXPECT_TRUE(std::all_of(bytes.samples.begin() + 2500, bytes.samples.end(), [](int16_t v) { return v == 0; }));
}
