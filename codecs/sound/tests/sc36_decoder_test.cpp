#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/codec_handle.h"
#include "codecs/sound/speech/sc36/sc36_codec.h"
#include "codecs/sound/speech/sc36/sc36_decoder.h"
#include "codecs/sound/speech/sc36/sc36_stream.h"
#include "codecs/sound/tests/frame_loop_test_support.h"
#include "codecs/sound/tests/speech_test_signals.h"

using namespace sound;
using namespace looptest;
using speechtest::Vowel;

namespace {

// What one decode call did.
struct Call {
    bool frameNeeded = false; // before the call
    uint16_t samples = 0;
};

// A decoder fed call by call from a coded stream through a small ring, as the wave-file loops feed it; a callback
// may act on the handle before each call.
template <Sc36Variant V> class StepDecoder {
public:
    explicit StepDecoder(std::span<const uint8_t> frames) : m_frames(frames)
    {
        EXPECT_EQ(Sc36DecoderOpen<V>(&m_handle), kCodecOk);
        m_io.samples = m_pcm;
        m_io.coded = m_ring;
        m_io.codedSize = sizeof m_ring;
    }
    ~StepDecoder()
    {
        if (m_handle)
            Sc36DecoderClose<V>(&m_handle);
    }
    StepDecoder(const StepDecoder&) = delete;
    StepDecoder& operator=(const StepDecoder&) = delete;

    CodecHandle* Handle() { return m_handle.get(); }
    Sc36Decoder& State() { return *dynamic_cast<Sc36Decoder*>(m_handle->state.get()); }

    // Runs calls until a frame is needed and none is left; each call's output is appended to samples.
    std::vector<Call> Run(const std::function<void(size_t call)>& beforeCall = {})
    {
        std::vector<Call> calls;
        for (;;) {
            Refill();
            uint8_t needed = 0;
            EXPECT_EQ(Sc36IsFrameNeeded(m_handle.get(), &needed), kCodecOk);
            if (needed != 0) {
                uint16_t end = 0;
                uint8_t flag = 0;
                if (Sc36FindFrames(m_handle.get(), &m_io, 1, &end, &flag) != kCodecOk)
                    return calls;
            }
            if (beforeCall)
                beforeCall(calls.size());
            const CodecResult result = Sc36Decode<V>(m_handle.get(), &m_io);
            EXPECT_EQ(result, kCodecOk);
            if (result != kCodecOk)
                return calls;
            EXPECT_LE(m_io.sampleCount, kSc36FrameSamples);
            calls.push_back({needed != 0, m_io.sampleCount});
            samples.insert(samples.end(), m_pcm, m_pcm + m_io.sampleCount);
        }
    }

    std::vector<int16_t> samples;

private:
    void Refill()
    {
        for (;;) {
            const auto after = static_cast<uint16_t>((m_io.endByte + 1) % m_io.codedSize);
            if (after == m_io.startByte || m_next >= m_frames.size())
                return;
            m_ring[m_io.endByte] = m_frames[m_next++];
            m_io.endByte = after;
        }
    }

    std::span<const uint8_t> m_frames;
    size_t m_next = 0;
    std::unique_ptr<CodecHandle> m_handle;
    uint8_t m_ring[64] = {};
    int16_t m_pcm[kSc36FrameSamples] = {};
    CodecIO m_io;
};

std::vector<uint8_t> EncodedVowel(Sc36StreamVariant variant, double f0 = 140.0, double seconds = 0.5)
{
    const Sc36Encoded encoded = Sc36EncodeSamples(Vowel(f0, seconds), variant);
    EXPECT_EQ(encoded.result, kCodecOk);
    return encoded.frames;
}

TEST(Sc36DecoderTiming, FirstCallIsSilentThenEveryCallGivesAFrame)
{
    const std::vector<uint8_t> frames = EncodedVowel(Sc36StreamVariant::k3200);
    StepDecoder<Sc36Variant::k3200> decoder(frames);
    const std::vector<Call> calls = decoder.Run();
    ASSERT_EQ(calls.size(), frames.size() / 8);
    EXPECT_EQ(calls[0].samples, 0);
    for (size_t i = 1; i < calls.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(calls[i].frameNeeded);
        EXPECT_EQ(calls[i].samples, kSc36FrameSamples);
    }
}

TEST(Sc36DecoderTiming, FactorTwoPlaysEachFrameOverFourBlocks)
{
    const std::vector<uint8_t> frames = EncodedVowel(Sc36StreamVariant::k6400);
    StepDecoder<Sc36Variant::k6400> decoder(frames);
    ASSERT_EQ(Sc36SetTimeScale(decoder.Handle(), 2.0f), kCodecOk);
    const std::vector<Call> calls = decoder.Run();
    const size_t frameCount = frames.size() / 16;
    ASSERT_GE(calls.size(), 2 * frameCount - 1);
    for (size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[i].frameNeeded, i % 2 == 0);
        // The first frame starts half a block in and plays three blocks: two in the first call, which make 160
        // samples, and one in the second, which leaves 80 waiting.
        EXPECT_EQ(calls[i].samples, i == 1 ? 0 : kSc36FrameSamples);
    }
    EXPECT_EQ(decoder.samples.size(), (calls.size() - 1) * kSc36FrameSamples);
}

// The output buffer holds up to 159 waiting samples and two new blocks; the decoder's own assert and the sanitizer
// build guard it while the factor jumps across its whole range.
TEST(Sc36DecoderTiming, ChangingFactorsNeverOverflowTheOutput)
{
    const std::vector<uint8_t> frames = EncodedVowel(Sc36StreamVariant::k6400, 180.0, 1.0);
    const float factors[] = {5.0f, 0.5f, 1.0f, 3.7f, 0.5f, 5.0f, 0.77f, 2.0f, 0.5f};
    StepDecoder<Sc36Variant::k6400> decoder(frames);
    size_t produced = 0;
    const std::vector<Call> calls = decoder.Run([&](size_t call) {
        ASSERT_EQ(Sc36SetTimeScale(decoder.Handle(), factors[call % std::size(factors)]), kCodecOk);
    });
    for (const Call& call : calls) {
        EXPECT_TRUE(call.samples == 0 || call.samples == kSc36FrameSamples);
        produced += call.samples;
    }
    EXPECT_GT(produced, frames.size() / 16 * kSc36FrameSamples / 2);
}

TEST(Sc36DecoderTiming, FactorFiveGivesFiveTimesTheSamples)
{
    const std::vector<uint8_t> frames = EncodedVowel(Sc36StreamVariant::k3200);
    Sc36DecodeOptions options;
    options.timeScale = 5.0f;
    const Sc36Decoded slow = Sc36DecodeFrames(frames, Sc36StreamVariant::k3200, options);
    ASSERT_EQ(slow.result, kCodecOk);
    const size_t frameCount = frames.size() / 8;
    EXPECT_EQ(slow.frameCount, frameCount);
    // Each frame plays 800 samples; the last frame may stop part way and the first call says nothing.
    EXPECT_GE(slow.samples.size(), (frameCount - 1) * 800 - kSc36FrameSamples);
    EXPECT_LE(slow.samples.size(), frameCount * 800);
}

// Only lost frames from the start: the decoder plays an unvoiced sound at pitch 125 with its initial envelope and
// the background gain, exactly what it plays for such a frame when it is present.
TEST(Sc36DecoderLoss, AllFramesLostPlayTheInitialEnvelopeUnvoiced)
{
    for (const bool enhanced : {false, true}) {
        SCOPED_TRACE(enhanced);
        const std::unique_ptr<Sc36Decoder> lost = Sc36Decoder::Create(enhanced);
        const std::unique_ptr<Sc36Decoder> present = Sc36Decoder::Create(false);
        ASSERT_NE(lost, nullptr);
        ASSERT_NE(present, nullptr);
        Sc36FrameParams frame;
        frame.pitchMid = frame.pitchEnd = 125.0f;
        frame.voicingMid = frame.voicingEnd = 0.0f;
        frame.gain = 0.0f;
        frame.envelope = Sc36CodingTables().initialEnvelope;
        double energy = 0.0;
        for (int call = 0; call < 20; ++call) {
            SCOPED_TRACE(call);
            lost->Loss().present = 0;
            int16_t fromLost[kSc36FrameSamples] = {};
            int16_t fromPresent[kSc36FrameSamples] = {};
            const uint16_t count = lost->DecodeCall(nullptr, fromLost);
            EXPECT_EQ(present->DecodeCall(&frame, fromPresent), count);
            EXPECT_EQ(count, call == 0 ? 0 : kSc36FrameSamples);
            EXPECT_TRUE(std::equal(fromLost, fromLost + count, fromPresent));
            EXPECT_EQ(lost->LastAmplitudeSum(), present->LastAmplitudeSum());
            EXPECT_TRUE(lost->IsFrameNeeded());
            EXPECT_EQ(lost->EffectiveLayers(), 1);
            for (int i = 0; i < count; ++i)
                energy += static_cast<double>(fromLost[i]) * fromLost[i];
        }
        EXPECT_GT(energy, 0.0) << "a steady noise, not silence";
    }
}

TEST(Sc36DecoderLoss, MarkedLossesThroughTheHandleKeepTheStreamInStep)
{
    const std::vector<uint8_t> frames = EncodedVowel(Sc36StreamVariant::k6400);
    Sc36DecodeOptions options;
    options.lostFrames = {3, 4, 5, 10};
    const Sc36Decoded clean = Sc36DecodeFrames(frames, Sc36StreamVariant::k6400, {});
    const Sc36Decoded damaged = Sc36DecodeFrames(frames, Sc36StreamVariant::k6400, options);
    ASSERT_EQ(damaged.result, kCodecOk);
    EXPECT_EQ(damaged.frameCount, clean.frameCount);
    EXPECT_EQ(damaged.samples.size(), clean.samples.size());
    EXPECT_NE(damaged.samples, clean.samples);
}

// Amplitudes far past the 16-bit range: the block's components are scaled to sum to 32767 at most.
TEST(Sc36DecoderSynthesis, ComponentAmplitudesNeverSumPast32767)
{
    const std::unique_ptr<Sc36Decoder> decoder = Sc36Decoder::Create(false);
    ASSERT_NE(decoder, nullptr);
    for (const float pitch : {20.0f, 64.0f, 125.0f, 160.0f}) {
        for (const float voicing : {0.0f, 0.5f, 1.0f}) {
            SCOPED_TRACE(pitch);
            SCOPED_TRACE(voicing);
            Sc36FrameParams frame;
            frame.pitchMid = frame.pitchEnd = pitch;
            frame.voicingMid = frame.voicingEnd = voicing;
            frame.gain = 40.0f;
            frame.envelope.fill(0.9f);
            int16_t out[kSc36FrameSamples] = {};
            decoder->DecodeCall(&frame, out);
            EXPECT_LE(decoder->LastAmplitudeSum(), 32767.0f);
            EXPECT_GT(decoder->LastAmplitudeSum(), 30000.0f) << "scaled down, not cut to nothing";
        }
    }
}

// A 3200 bit/s decoder skips every enhancement layer: it plays a 6400 bit/s stream exactly as its base layers.
TEST(Sc36DecoderLayers, BaseDecoderOnAnEnhancedStreamPlaysTheBaseLayers)
{
    const std::vector<uint8_t> enhanced = EncodedVowel(Sc36StreamVariant::k6400);
    std::vector<uint8_t> base;
    for (size_t f = 0; f + 16 <= enhanced.size(); f += 16) {
        base.insert(base.end(), enhanced.begin() + static_cast<ptrdiff_t>(f),
                    enhanced.begin() + static_cast<ptrdiff_t>(f + 8));
        base.back() &= 0x7F;
    }
    StepDecoder<Sc36Variant::k3200> onEnhanced(enhanced);
    int highestLayer = 0;
    const std::vector<Call> calls =
        onEnhanced.Run([&](size_t) { highestLayer = std::max(highestLayer, onEnhanced.State().EffectiveLayers()); });
    highestLayer = std::max(highestLayer, onEnhanced.State().EffectiveLayers());
    EXPECT_EQ(calls.size(), enhanced.size() / 16);
    EXPECT_EQ(highestLayer, 1);
    StepDecoder<Sc36Variant::k3200> onBase(base);
    onBase.Run();
    EXPECT_EQ(onEnhanced.samples, onBase.samples);
    // And the 6400 bit/s decoder plays a 3200 bit/s stream as the 3200 bit/s decoder does.
    StepDecoder<Sc36Variant::k6400> enhancedOnBase(base);
    enhancedOnBase.Run();
    EXPECT_EQ(enhancedOnBase.samples, onBase.samples);
}

// 6155 and 6185 consume nothing and leave the frame needed, so that a caller can skip the damaged frame itself.
TEST(Sc36DecoderLayers, ShortAndBrokenFramesConsumeNothing)
{
    std::unique_ptr<CodecHandle> handle;
    ASSERT_EQ(Sc36DecoderOpen<Sc36Variant::k6400>(&handle), kCodecOk);
    uint8_t ring[64] = {};
    int16_t pcm[kSc36FrameSamples] = {};
    CodecIO io;
    io.samples = pcm;
    io.coded = ring;
    io.codedSize = sizeof ring;
    struct Case {
        const char* what;
        uint16_t start;
        uint16_t end;
        bool continues;
        CodecResult expected;
    };
    const Case cases[] = {
        {"half a base layer", 10, 14, false, kCodecBufferTooSmall},
        {"a continued base layer alone", 20, 28, true, kCodecBufferTooSmall},
        {"empty", 30, 30, false, kCodecBufferTooSmall},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::fill(std::begin(ring), std::end(ring), 0);
        if (c.end - c.start >= 8)
            ring[c.start + 7] = c.continues ? 0x80 : 0x00;
        io.startByte = c.start;
        io.endByte = c.end;
        EXPECT_EQ(Sc36Decode<Sc36Variant::k6400>(handle.get(), &io), c.expected);
        EXPECT_EQ(io.startByte, c.start);
        uint8_t needed = 0;
        EXPECT_EQ(Sc36IsFrameNeeded(handle.get(), &needed), kCodecOk);
        EXPECT_EQ(needed, 1);
    }
    // Three continued layers: the default table has two, so the chain is broken.
    std::fill(std::begin(ring), std::end(ring), 0);
    ring[7] = ring[15] = ring[23] = 0x80;
    io.startByte = 0;
    io.endByte = 32;
    EXPECT_EQ(Sc36Decode<Sc36Variant::k6400>(handle.get(), &io), kCodecBadFrame);
    EXPECT_EQ(io.startByte, 0);
    EXPECT_EQ(Sc36DecoderClose<Sc36Variant::k6400>(&handle), kCodecOk);
}

// A request made part way through a frame changes nothing until the next frame starts.
TEST(Sc36DecoderRequests, DiscontinuityAndRepeatWaitForTheNextFrame)
{
    const std::vector<uint8_t> frames = EncodedVowel(Sc36StreamVariant::k6400, 125.0);
    StepDecoder<Sc36Variant::k6400> reference(frames);
    ASSERT_EQ(Sc36SetTimeScale(reference.Handle(), 2.0f), kCodecOk);
    const std::vector<Call> calls = reference.Run();
    ASSERT_GT(calls.size(), 20u);
    // Call 11 plays the second half of a frame (factor 2: a frame every two calls); the next frame starts at 12.
    ASSERT_FALSE(calls[11].frameNeeded);
    ASSERT_TRUE(calls[12].frameNeeded);
    // Calls 1 to 11 give a frame of samples each (the first call outputs nothing).
    const size_t untouched = 11 * kSc36FrameSamples;
    const std::function<CodecResult(CodecHandle*)> requests[] = {
        [](CodecHandle* h) { return Sc36SetDiscontinuity(h, 1); },
        [](CodecHandle* h) { return Sc36RequestRepeat(h); },
    };
    for (size_t r = 0; r < std::size(requests); ++r) {
        SCOPED_TRACE(r == 0 ? "discontinuity" : "repeat");
        StepDecoder<Sc36Variant::k6400> requested(frames);
        ASSERT_EQ(Sc36SetTimeScale(requested.Handle(), 2.0f), kCodecOk);
        requested.Run([&](size_t call) {
            if (call == 11) {
                EXPECT_EQ(requests[r](requested.Handle()), kCodecOk);
            }
        });
        ASSERT_EQ(requested.samples.size(), reference.samples.size());
        EXPECT_TRUE(std::equal(reference.samples.begin(), reference.samples.begin() + static_cast<ptrdiff_t>(untouched),
                               requested.samples.begin()))
            << "the call that was asked and the rest of its frame play as before";
        EXPECT_NE(reference.samples, requested.samples) << "the next frame starts with the request";
    }
    EXPECT_EQ(Sc36SetDiscontinuity(nullptr, 1), kCodecBadHandle);
    EXPECT_EQ(Sc36RequestRepeat(nullptr), kCodecBadHandle);
}

} // namespace
