#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "codecs/sound/Tonalwave/tonalwave_codec.h"
#include "codecs/sound/Tonalwave/tonalwave_stream.h"
#include "codecs/sound/speech/rt24/rt24_stream.h"
#include "codecs/sound/speech/sc36/sc36_stream.h"
#include "engine/resources/sound_schemes/tests/sound_scheme_test_support.h"
#include "testsupport/sound/sound_metrics.h"

namespace {

using namespace soundschemetest;
using namespace sound;

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> out(n);
    for (uint8_t& b : out)
        b = static_cast<uint8_t>(random());
    return out;
}

// The byte length of every SC36 frame of a stream: 8 per layer while a layer's continuation bit is set.
std::vector<size_t> Sc36FrameSizes(const std::vector<uint8_t>& stream)
{
    std::vector<size_t> sizes;
    size_t at = 0;
    while (at + 8 <= stream.size()) {
        size_t size = 8;
        while ((stream[at + size - 1] & 0x80) != 0 && at + size + 8 <= stream.size())
            size += 8;
        sizes.push_back(size);
        at += size;
    }
    return sizes;
}

FrameLoopResult EncodeSc36(std::span<const int16_t> samples, uint8_t variant, std::vector<uint8_t>& out)
{
    MemorySource source(SampleBytes(samples));
    MemorySink sink;
    const FrameLoopResult result = Sc36EncodeStream(MakeTag("7490"), source, sink, variant);
    out = sink.bytes;
    return result;
}

FrameLoopResult DecodeSc36(std::vector<uint8_t> stream, uint8_t variant, MemorySink& sink)
{
    MemorySource source(std::move(stream));
    return Sc36DecodeStream(MakeTag("7490"), source, sink, variant);
}

TEST(TonalwaveLoop, ShortSoundIsFlushedWholeWithZeroSlotTails)
{
    const std::vector<int16_t> input = Tone(1, 8000, 1000, 300.0);
    MemorySource source(SampleBytes(input));
    MemorySink coded;
    const FrameLoopResult encoded = TonalwaveEncodeStream(MakeTag("7492"), source, coded);
    ASSERT_TRUE(encoded.done);
    ASSERT_EQ(coded.bytes.size(), 4 * kTonalwaveStoredSlotBytes); // 512 + 488 samples, then two frames of zeros

    sound::CodecInfo info;
    sound::DescriptorOf(sound::TonalwaveModel::kAc8).getInfo(&info);
    const size_t frameBytes = (info.bitsPerFrame[2] + 7) / 8;
    for (size_t slot = 0; slot < 4; ++slot) {
        const auto tail =
            std::span(coded.bytes)
                .subspan(slot * kTonalwaveStoredSlotBytes + frameBytes, kTonalwaveStoredSlotBytes - frameBytes);
        EXPECT_TRUE(std::all_of(tail.begin(), tail.end(), [](uint8_t b) { return b == 0; })) << "slot " << slot;
    }

    MemorySource stored(coded.bytes);
    MemorySink decoded;
    const FrameLoopResult result = TonalwaveDecodeStream(MakeTag("7492"), stored, decoded);
    EXPECT_TRUE(result.done && result.endedCleanly);
    const std::vector<int16_t> output = decoded.Samples();
    ASSERT_EQ(output.size(), 2048u);
    EXPECT_EQ(soundtest::FindLag(input, output, 1, 1500), 1024); // the codec's two frames of delay
}

TEST(TonalwaveLoop, ReadsWholeFramesAndDropsAHalfSample)
{
    const std::vector<int16_t> input = Tone(2, 22050, 1500);
    MemorySource source(SampleBytes(input));
    MemorySink coded;
    ASSERT_TRUE(TonalwaveEncodeStream(MakeTag("7496"), source, coded).done);
    ASSERT_FALSE(source.asks.empty());
    EXPECT_EQ(source.asks.front().n, 4096u); // ACS48: 1024 stereo samples of 2 bytes
    EXPECT_FALSE(source.asks.front().widen);

    std::vector<uint8_t> odd = SampleBytes(input);
    odd.push_back(0x7F); // the source ends inside a sample
    MemorySource oddSource(odd);
    MemorySink oddCoded;
    ASSERT_TRUE(TonalwaveEncodeStream(MakeTag("7496"), oddSource, oddCoded).done);
    EXPECT_EQ(oddCoded.bytes, coded.bytes);

    MemorySink none;
    MemorySource other(SampleBytes(input));
    EXPECT_FALSE(TonalwaveEncodeStream(MakeTag("7491"), other, none).done);
    EXPECT_TRUE(none.bytes.empty());
}

TEST(TonalwaveLoop, SlotCutShortIsDecodedAndFlagged)
{
    MemorySource source(SampleBytes(Tone(1, 11025, 2000)));
    MemorySink coded;
    ASSERT_TRUE(TonalwaveEncodeStream(MakeTag("7493"), source, coded).done);
    coded.bytes.resize(coded.bytes.size() - 100);
    MemorySource stored(coded.bytes);
    MemorySink decoded;
    const FrameLoopResult result = TonalwaveDecodeStream(MakeTag("7493"), stored, decoded);
    EXPECT_TRUE(result.done);
    EXPECT_FALSE(result.endedCleanly);
    EXPECT_EQ(result.frames, coded.bytes.size() / kTonalwaveStoredSlotBytes + 1);
}

// A reference packer: every bit in order, least significant first.
std::vector<uint8_t> PackReference(const std::vector<int>& bits)
{
    std::vector<uint8_t> out((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); ++i)
        out[i / 8] = static_cast<uint8_t>(out[i / 8] | (bits[i] << (i % 8)));
    return out;
}

TEST(Rt24PackBits, MatchesBitOrderAtEveryPendingCount)
{
    for (uint32_t pending = 0; pending <= 8; ++pending)
        for (const bool flush : {false, true}) {
            SCOPED_TRACE(testing::Message() << pending << " pending, flush " << flush);
            std::vector<uint8_t> first = RandomBytes(1, pending);
            first[0] = static_cast<uint8_t>(pending == 8 ? first[0] : first[0] & ((1u << pending) - 1));
            std::vector<uint8_t> frame = RandomBytes(9, 100 + pending);
            frame[6] &= 0x3F; // bits above 54 are zero, as the loop leaves them
            frame[7] = frame[8] = 0;
            MemorySink sink;
            Rt24BitPacker packer;
            ASSERT_TRUE(Rt24PackBits(first, sink, pending, false, packer));
            EXPECT_EQ(packer.pendingBits, pending);
            ASSERT_TRUE(Rt24PackBits(frame, sink, 54, flush, packer));

            std::vector<int> bits;
            for (uint32_t i = 0; i < pending; ++i)
                bits.push_back((first[0] >> i) & 1);
            for (uint32_t i = 0; i < 54; ++i)
                bits.push_back((frame[i / 8] >> (i % 8)) & 1);
            std::vector<uint8_t> packed = sink.bytes;
            if (!flush && packer.pendingBits > 0)
                packed.push_back(packer.accumulator);
            EXPECT_EQ(packed, PackReference(bits));
            EXPECT_EQ(sink.bytes.size(), flush ? (bits.size() + 7) / 8 : (bits.size() - 1) / 8);
        }
}

TEST(Rt24Loop, FramesPackBackToBackWithFlushFrames)
{
    MemorySource source(SampleBytes(Tone(1, 8000, 360, 200.0)));
    MemorySink coded;
    const FrameLoopResult encoded = Rt24EncodeStream(MakeTag("7491"), source, coded);
    ASSERT_TRUE(encoded.done);
    EXPECT_EQ(encoded.frames, 6u);      // two frames, the silent one, three of zeros
    ASSERT_EQ(coded.bytes.size(), 41u); // 324 bits
    EXPECT_EQ(coded.bytes.back() >> 4, 0);

    MemorySource stored(coded.bytes);
    MemorySink decoded;
    const FrameLoopResult result = Rt24DecodeStream(MakeTag("7491"), stored, decoded);
    EXPECT_TRUE(result.done && result.endedCleanly);
    EXPECT_EQ(result.frames, 6u);
    EXPECT_LE(decoded.bytes.size(), 6u * 360);

    MemorySource other(SampleBytes(Tone(1, 8000, 360)));
    MemorySink none;
    EXPECT_FALSE(Rt24EncodeStream(MakeTag("7490"), other, none).done);
}

// Any stream of whole frames decodes to exactly its frames, however the last byte falls in the ring.
TEST(Rt24Loop, EveryStreamLengthDecodesItsFramesOnly)
{
    for (uint32_t frames = 1; frames <= 40; ++frames) {
        SCOPED_TRACE(frames);
        MemorySink packed;
        Rt24BitPacker packer;
        for (uint32_t f = 0; f < frames; ++f) {
            std::vector<uint8_t> frame = RandomBytes(9, frames * 64 + f);
            frame[6] &= 0x3F;
            frame[7] = frame[8] = 0;
            ASSERT_TRUE(Rt24PackBits(frame, packed, 54, f + 1 == frames, packer));
        }
        EXPECT_EQ(packed.bytes.size(), (frames * 54 + 7) / 8);
        MemorySource stored(packed.bytes);
        MemorySink decoded;
        const FrameLoopResult result = Rt24DecodeStream(MakeTag("7491"), stored, decoded);
        EXPECT_EQ(result.frames, frames);
        EXPECT_TRUE(result.endedCleanly);
        EXPECT_LE(decoded.bytes.size(), frames * 360u);
    }
}

TEST(Sc36Loop, VariantsSetTheFrameSizes)
{
    const std::vector<int16_t> input = Tone(1, 8000, 45 * 160, 180.0);
    std::vector<uint8_t> switched, low, full, unknown;
    EXPECT_EQ(EncodeSc36(input, 2, switched).frames, 48u); // 45, the silent one, two of zeros
    EncodeSc36(input, 0, low);
    EncodeSc36(input, 1, full);
    EncodeSc36(input, 7, unknown);

    const std::vector<size_t> sizes = Sc36FrameSizes(switched);
    ASSERT_EQ(sizes.size(), 48u);
    for (size_t i = 0; i < sizes.size(); ++i)
        EXPECT_EQ(sizes[i], (i / 20) % 2 == 0 ? 16u : 8u) << "frame " << i;
    EXPECT_EQ(Sc36FrameSizes(low), std::vector<size_t>(48, 8));
    EXPECT_EQ(Sc36FrameSizes(full), std::vector<size_t>(48, 16));
    EXPECT_EQ(unknown, switched);
}

TEST(Sc36Loop, EveryWholeFrameDecodesAndCutFramesDoNot)
{
    const std::vector<int16_t> input = Tone(1, 8000, 21 * 160 + 37, 150.0);
    for (const uint8_t variant : {0, 1, 2}) {
        SCOPED_TRACE(static_cast<int>(variant));
        std::vector<uint8_t> stream;
        const uint32_t frames = EncodeSc36(input, variant, stream).frames;
        MemorySink decoded;
        const FrameLoopResult result = DecodeSc36(stream, variant, decoded);
        EXPECT_TRUE(result.done && result.endedCleanly);
        EXPECT_EQ(result.frames, frames);
        EXPECT_EQ(result.damagedFrames, 0u);
        EXPECT_EQ(decoded.bytes.size(), (frames - 1) * 320u); // the first call outputs nothing

        const std::vector<size_t> sizes = Sc36FrameSizes(stream);
        const size_t whole = sizes[0] + sizes[1] + sizes[2];
        stream.resize(whole + 5); // three frames and the start of a fourth
        MemorySink cut;
        const FrameLoopResult partial = DecodeSc36(stream, variant, cut);
        EXPECT_EQ(partial.frames, 3u);
        EXPECT_FALSE(partial.endedCleanly);
        EXPECT_EQ(cut.bytes.size(), 2 * 320u);
    }
}

TEST(Sc36Loop, BrokenLayerChainsEndAndAreCounted)
{
    std::vector<uint8_t> stream;
    EncodeSc36(Tone(1, 8000, 10 * 160), 1, stream);
    for (size_t i = 7; i < stream.size(); i += 8)
        stream[i] |= 0x80; // every layer claims another after it
    for (const uint8_t variant : {0, 1}) {
        MemorySink decoded;
        const FrameLoopResult result = DecodeSc36(stream, variant, decoded);
        EXPECT_TRUE(result.done);
        EXPECT_GT(result.damagedFrames, 0u);
        EXPECT_LE(result.frames, stream.size() / 8);
    }
    for (uint32_t seed = 0; seed < 20; ++seed) {
        const std::vector<uint8_t> random = RandomBytes(997, seed);
        MemorySink decoded;
        const FrameLoopResult result = DecodeSc36(random, static_cast<uint8_t>(seed % 3), decoded);
        EXPECT_LE(result.frames, random.size() / 8);
        EXPECT_LE(decoded.bytes.size(), result.frames * 320u);
    }
}

TEST(Sc36Loop, RateIsTheCallsOwnOnTwoThreads)
{
    const std::vector<int16_t> input = Tone(1, 8000, 50 * 160, 210.0);
    std::vector<uint8_t> alone, beside, low;
    EncodeSc36(input, 2, alone);
    std::thread other([&] {
        for (int i = 0; i < 3; ++i)
            EncodeSc36(input, 0, low);
    });
    for (int i = 0; i < 3; ++i) {
        EncodeSc36(input, 9, beside);
        EXPECT_EQ(beside, alone);
    }
    other.join();
    EXPECT_EQ(Sc36FrameSizes(low), std::vector<size_t>(Sc36FrameSizes(low).size(), 8));
}

// 8-bit sources reach every codec widened: 128 -> 128, 0 -> -32768, 255 -> 32767.
TEST(FrameLoops, EightBitSourcesAreWidened)
{
    std::vector<uint8_t> bytes(2000, 128);
    bytes[0] = 128;
    bytes[1] = 0;
    bytes[2] = 255;
    const auto check = [](const MemorySource& source) {
        ASSERT_GE(source.delivered.size(), 6u);
        EXPECT_EQ(static_cast<int16_t>(pf::loadU16le(&source.delivered[0])), 128);
        EXPECT_EQ(static_cast<int16_t>(pf::loadU16le(&source.delivered[2])), -32768);
        EXPECT_EQ(static_cast<int16_t>(pf::loadU16le(&source.delivered[4])), 32767);
        EXPECT_TRUE(std::all_of(source.asks.begin(), source.asks.end(), [](auto ask) { return ask.widen; }));
    };
    MemorySink sink;
    MemorySource tonalwave(bytes, true);
    ASSERT_TRUE(TonalwaveEncodeStream(MakeTag("7492"), tonalwave, sink).done);
    check(tonalwave);
    EXPECT_EQ(sink.bytes.size(), 6 * kTonalwaveStoredSlotBytes); // 2000 samples: four frames and two of zeros
    MemorySource rt24(bytes, true);
    ASSERT_TRUE(Rt24EncodeStream(MakeTag("7491"), rt24, sink).done);
    check(rt24);
    MemorySource sc36(bytes, true);
    ASSERT_TRUE(Sc36EncodeStream(MakeTag("7490"), sc36, sink, 0).done);
    check(sc36);
}

} // namespace
