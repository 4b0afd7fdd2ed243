// Damaged own-codec streams: each case is a valid stream with one named change, and each must fail at once with
// the decoder's damage code, never hang, read out of bounds or allocate what the stream merely claims.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/tests/wave_codec_test_support.h"
#include "platform/base/endian.h"

using namespace sound;
using wavetest::DecodeStream;
using wavetest::EncodeStream;

namespace {

// Offsets in a stream whose first block is a transform block.
constexpr size_t kFlag = 12;
constexpr size_t kSize = 16;
constexpr size_t kWindow = 20;
constexpr size_t kInner = 21;     // the inner byte-stream block's header
constexpr size_t kInnerBody = 33; // its coded bytes; with the copy method, the 64 shift bytes come first

struct Stream {
    std::vector<uint8_t> bytes;

    uint32_t U32(size_t at) const { return pf::loadU32le(&bytes[at]); }
    void SetU32(size_t at, uint32_t value) { pf::storeU32le(&bytes[at], value); }
    // Removes count bytes at `at`, and shortens each length field that contains them.
    void Cut(size_t at, size_t count, std::initializer_list<size_t> lengthFields)
    {
        bytes.erase(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + count));
        for (size_t field : lengthFields)
            SetU32(field, U32(field) - static_cast<uint32_t>(count));
    }
};

Stream Encoded(uint32_t mode, size_t samples = 1000)
{
    return {EncodeStream(wavetest::Tone(samples, 440, 22050, 10000), mode, 70)};
}

struct DamageCase {
    std::string name;
    uint32_t mode;
    std::function<void(Stream&)> damage;
};

std::vector<DamageCase> DamageCases()
{
    const uint32_t transformCopy = kWaveModeTransform | kWaveModeCopy;
    const uint32_t transformDeflate = kWaveModeTransform | kWaveModeDeflate;
    const uint32_t transformArith = kWaveModeTransform | kWaveModeArithmetic;
    const uint32_t deltaTransformCopy = kWaveModeDelta | transformCopy;
    const uint32_t planesCopy = kWaveModeBytePlanes | kWaveModeCopy;
    return {
        {"block length 0", transformCopy, [](Stream& s) { s.SetU32(0, 0); }},
        {"block length 5", transformCopy, [](Stream& s) { s.SetU32(0, 5); }},
        {"block length huge", transformCopy, [](Stream& s) { s.SetU32(0, 0xFFFFFFF0); }},
        {"block length one short", transformCopy, [](Stream& s) { s.SetU32(0, s.U32(0) - 1); }},
        {"count above a block", transformCopy, [](Stream& s) { s.SetU32(4, kWaveBlockSamples + 1); }},
        {"count overflowing 32 bits", transformCopy, [](Stream& s) { s.SetU32(4, 0xFFFFFFFF); }},
        {"count of another block size", transformCopy, [](Stream& s) { s.SetU32(4, 2000); }},
        {"pyramid block", transformCopy, [](Stream& s) { s.SetU32(8, kWaveModePyramid | kWaveModeCopy); }},
        {"transform size 0", transformCopy, [](Stream& s) { s.SetU32(kSize, 0); }},
        {"transform size 2^20", transformCopy, [](Stream& s) { s.SetU32(kSize, 1u << 20); }},
        {"transform size 63", transformCopy, [](Stream& s) { s.SetU32(kSize, 63); }},
        {"body shorter than its header", transformCopy,
         [](Stream& s) {
             s.bytes.resize(kWindow); // flag and size only, then the end block
             s.SetU32(0, kWindow);
             s.bytes.insert(s.bytes.end(), {12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
         }},
        {"window byte 100", transformCopy, [](Stream& s) { s.bytes[kWindow] = 100; }},
        {"window byte -100", transformCopy, [](Stream& s) { s.bytes[kWindow] = static_cast<uint8_t>(-100); }},
        {"shift 200", transformCopy, [](Stream& s) { s.bytes[kInnerBody] = 200; }},
        {"shift summing to 16", transformCopy, [](Stream& s) { s.bytes[kInnerBody + 5] = 16; }},
        {"run-length code cut short", transformCopy,
         [](Stream& s) {
             s.Cut(s.U32(0) - 3, 3, {0, kInner});
             s.SetU32(kInner + 4, s.U32(kInner + 4) - 3);
         }},
        {"inner block longer than the body", transformCopy, [](Stream& s) { s.SetU32(kInner, s.U32(kInner) + 1); }},
        {"copy count beyond its bytes", transformCopy, [](Stream& s) { s.SetU32(kInner + 4, s.U32(kInner + 4) + 1); }},
        {"byte count above three per value", transformCopy, [](Stream& s) { s.SetU32(kInner + 4, 100000); }},
        {"byte stream without a method", transformCopy, [](Stream& s) { s.SetU32(kInner + 8, 0x1000); }},
        {"corrupt zlib data", transformDeflate,
         [](Stream& s) {
             for (size_t i = kInnerBody + 4; i < s.U32(0) - 6; i += 3)
                 s.bytes[i] ^= 0x5A;
         }},
        {"zlib stream cut", transformDeflate,
         [](Stream& s) {
             s.Cut(s.U32(0) - 8, 8, {0, kInner});
         }},
        {"zlib holding more than the count", transformDeflate,
         [](Stream& s) { s.SetU32(kInner + 4, s.U32(kInner + 4) - 1); }},
        {"arithmetic data without its end symbol", transformArith,
         [](Stream& s) {
             const size_t half = (s.U32(0) - kInnerBody) / 2;
             s.Cut(s.U32(0) - half, half, {0, kInner});
         }},
        {"arithmetic data holding more than the count", transformArith,
         [](Stream& s) { s.SetU32(kInner + 4, s.U32(kInner + 4) - 10); }},
        {"nested delta", deltaTransformCopy, [](Stream& s) { s.SetU32(12 + 8, s.U32(12 + 8) | kWaveModeDelta); }},
        {"delta inner count differs", deltaTransformCopy, [](Stream& s) { s.SetU32(12 + 4, 999); }},
        {"delta inner length differs", deltaTransformCopy, [](Stream& s) { s.SetU32(12, s.U32(12) - 1); }},
        {"plane counts differ", planesCopy,
         [](Stream& s) {
             const size_t low = 12 + s.U32(12);
             s.Cut(low + 12, 1, {0, low});
             s.SetU32(low + 4, 999);
         }},
        {"second plane missing", planesCopy, [](Stream& s) { s.Cut(12 + s.U32(12), s.U32(12 + s.U32(12)), {0}); }},
    };
}

} // namespace

TEST(WaveDecoderDamage, EveryDamagedBlockFailsAtOnce)
{
    for (const DamageCase& c : DamageCases()) {
        SCOPED_TRACE(c.name);
        Stream stream = Encoded(c.mode);
        ASSERT_EQ(DecodeStream(stream.bytes).lastResult, kWaveFinished) << "the undamaged stream must decode";
        c.damage(stream);
        WaveDecoder decoder;
        EXPECT_EQ(decoder.Feed(stream.bytes), kWaveFailed);
        EXPECT_EQ(decoder.Failure(), WaveFailure::kDamagedStream);
        EXPECT_TRUE(decoder.Output().empty());
        EXPECT_EQ(decoder.Feed(Encoded(c.mode).bytes), kWaveFailed) << "a failed decoder stays failed";
    }
}

TEST(WaveDecoderDamage, FedByteByByteTheDamageIsFoundAtTheSameBlock)
{
    for (const DamageCase& c : DamageCases()) {
        SCOPED_TRACE(c.name);
        Stream stream = Encoded(c.mode);
        c.damage(stream);
        const wavetest::Decoded decoded = DecodeStream(stream.bytes, 1);
        EXPECT_EQ(decoded.lastResult, kWaveFailed);
        EXPECT_TRUE(decoded.samples.empty());
    }
}

TEST(WaveDecoderDamage, BlocksBeforeTheDamageAreDelivered)
{
    Stream stream = Encoded(kWaveSystemMode, 40000); // a full block, a block of 7232, the end block
    const size_t second = stream.U32(0);
    stream.SetU32(second + 16, 0); // the second block's transform size
    WaveDecoder decoder;
    EXPECT_EQ(decoder.Feed(stream.bytes), kWaveFailed);
    EXPECT_EQ(decoder.Output().size(), kWaveBlockSamples);
    EXPECT_EQ(decoder.TotalSamples(), kWaveBlockSamples);
}

TEST(WaveDecoderDamage, HeaderDamageAfterGoodBlocksStillDeliversThem)
{
    Stream stream = Encoded(kWaveSystemMode, 40000);
    const size_t second = stream.U32(0);
    stream.SetU32(second, 3); // the second block's length
    WaveDecoder decoder;
    EXPECT_EQ(decoder.Feed(stream.bytes), kWaveFailed);
    EXPECT_EQ(decoder.Output().size(), kWaveBlockSamples);
}

// A transform block whose flag is clear is silence of its length, and the stream goes on.
TEST(WaveDecoderDamage, ClearedBlockFlagDecodesAsSilenceAndContinues)
{
    Stream stream = Encoded(kWaveSystemMode, 40000);
    stream.SetU32(kFlag, 0);
    WaveDecoder decoder;
    EXPECT_EQ(decoder.Feed(stream.bytes), kWaveFinished);
    ASSERT_EQ(decoder.Output().size(), 40000u);
    EXPECT_TRUE(std::all_of(decoder.Output().begin(), decoder.Output().begin() + kWaveBlockSamples,
                            [](int16_t v) { return v == 0; }));
    EXPECT_NE(decoder.Output()[kWaveBlockSamples + 5], 0);
    EXPECT_EQ(decoder.SilencedBlocks(), 1u);
}

TEST(WaveDecoderDamage, StreamWithoutEndBlockWaitsAndBytesAfterTheEndAreIgnored)
{
    Stream stream = Encoded(kWaveSystemMode, 1000);
    const std::vector<uint8_t> whole = stream.bytes;
    stream.bytes.resize(stream.bytes.size() - 12);
    WaveDecoder waiting;
    EXPECT_EQ(waiting.Feed(stream.bytes), kWaveOk);
    EXPECT_EQ(waiting.Output().size(), 1000u);
    EXPECT_FALSE(waiting.IsFinished());

    std::vector<uint8_t> trailing = whole;
    trailing.insert(trailing.end(), {0xDE, 0xAD, 0, 0});
    WaveDecoder decoder;
    EXPECT_EQ(decoder.Feed(trailing), kWaveFinished);
    EXPECT_EQ(decoder.Feed(trailing), kWaveFinished);
    EXPECT_TRUE(decoder.Output().empty());
}
