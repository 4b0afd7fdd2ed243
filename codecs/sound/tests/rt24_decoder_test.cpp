#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/speech/bit_ring.h"
#include "codecs/sound/speech/harmonic_tools.h"
#include "codecs/sound/speech/rt24/rt24_codec.h"
#include "codecs/sound/speech/rt24/rt24_decoder.h"
#include "codecs/sound/speech/rt24/rt24_format.h"

using namespace sound;

namespace {

// A voiced frame of the given pitch index, or an unvoiced one for pv index 0.
Rt24Indices FrameOf(uint8_t pv, uint8_t pitch, uint8_t energy = 40)
{
    Rt24Indices indices;
    indices.pv = pv;
    indices.pitch = pitch;
    indices.energy = energy;
    const uint8_t lsf[kRt24LsfCount] = {2, 5, 6, 5, 5, 5, 3, 3, 3, 3};
    std::copy(lsf, lsf + kRt24LsfCount, indices.lsf);
    return indices;
}

// A decoder fed from a ring that holds the queued frames.
struct Decoder {
    std::unique_ptr<CodecHandle> handle;
    std::vector<uint8_t> ring = std::vector<uint8_t>(4096, 0);
    int16_t pcm[kRt24FrameSamples] = {};
    CodecIO io;

    explicit Decoder(float scale = 1.0f)
    {
        EXPECT_EQ(Rt24DecoderOpen(&handle), kCodecOk);
        EXPECT_EQ(Rt24SetTimeScale(handle.get(), scale), kCodecOk);
        io.samples = pcm;
        io.coded = ring.data();
        io.codedSize = static_cast<uint16_t>(ring.size());
    }
    ~Decoder() { Rt24DecoderClose(&handle); }

    void Queue(const Rt24Indices& frame, int count = 1)
    {
        BitRing writer = WriteRingOf(io);
        for (int i = 0; i < count; ++i)
            PackRt24Frame(frame, writer);
    }
    uint32_t ReadBits() const { return uint32_t{io.startByte} * 8 + io.startBit; }
    uint16_t Decode()
    {
        EXPECT_EQ(Rt24Decode(handle.get(), &io), kCodecOk);
        return io.sampleCount;
    }
    uint8_t NeedFrame()
    {
        uint8_t flag = 0;
        Rt24GetNeedFrame(handle.get(), &flag);
        return flag;
    }
    Rt24Decoder& State() { return *dynamic_cast<Rt24Decoder*>(handle->state.get()); }
};

} // namespace

TEST(Rt24DecoderTimeScale, UnitScaleTakesAFrameAndGives180Samples)
{
    Decoder d;
    d.Queue(FrameOf(12, 100), 10);
    for (int call = 0; call < 10; ++call) {
        EXPECT_EQ(d.Decode(), 180);
        EXPECT_EQ(d.ReadBits(), static_cast<uint32_t>(54 * (call + 1)));
        EXPECT_EQ(d.NeedFrame(), 1);
    }
}

TEST(Rt24DecoderTimeScale, DoubleScaleGivesTwoCallsPerFrame)
{
    Decoder d(2.0f);
    d.Queue(FrameOf(12, 100), 6);
    for (int call = 0; call < 12; ++call) {
        EXPECT_EQ(d.Decode(), 180) << call;
        EXPECT_EQ(d.NeedFrame(), call % 2 == 1 ? 1 : 0) << call;
        EXPECT_EQ(d.ReadBits(), static_cast<uint32_t>(54 * (call / 2 + 1))) << call;
    }
}

TEST(Rt24DecoderTimeScale, HalfScaleConsumesEverySecondFrameUnsynthesised)
{
    Decoder d(0.5f);
    d.Queue(FrameOf(12, 100), 8);
    for (int call = 0; call < 8; ++call) {
        EXPECT_EQ(d.Decode(), call % 2 == 0 ? 180 : 0) << call;
        EXPECT_EQ(d.ReadBits(), static_cast<uint32_t>(54 * (call + 1))) << call;
    }
}

TEST(Rt24DecoderTimeScale, OddScalesStillDeliverWholeBlocks)
{
    for (const float scale : {0.2f, 0.37f, 0.7f, 1.3f, 2.5f, 5.0f}) {
        SCOPED_TRACE(scale);
        Decoder d(scale);
        d.Queue(FrameOf(12, 100), 60);
        size_t samples = 0;
        while (d.ReadBits() < 54 * 60)
            samples += d.Decode();
        EXPECT_EQ(samples % 180, 0u);
        EXPECT_NEAR(static_cast<double>(samples), 60.0 * 180.0 * scale, 180.0 * 2.0 + 60.0 * 180.0 * scale * 0.1);
    }
}

TEST(Rt24DecoderVoicing, AnOffsetSwitchesHalfwayInsteadOfInterpolating)
{
    Decoder d(2.0f);
    d.Queue(FrameOf(12, 100), 3);
    d.Queue(FrameOf(0, 100));
    for (int call = 0; call < 6; ++call)
        d.Decode();
    const float voicedPitch = DequantisePitch(100);
    d.Decode();
    EXPECT_EQ(d.State().synth.current.pitch, voicedPitch); // first sub-frame: all previous
    EXPECT_GT(d.State().synth.current.pv, 0.0f);
    d.Decode();
    EXPECT_EQ(d.State().synth.current.pitch, DequantisePitch(100)); // the unvoiced frame keeps its pitch index
    EXPECT_EQ(d.State().synth.current.pv, 0.0f);

    // Two voiced frames of different pitch interpolate: half-way, then the new pitch.
    Decoder v(2.0f);
    v.Queue(FrameOf(12, 100), 2);
    v.Queue(FrameOf(12, 200));
    for (int call = 0; call < 4; ++call)
        v.Decode();
    v.Decode();
    EXPECT_FLOAT_EQ(v.State().synth.current.pitch, (DequantisePitch(100) + DequantisePitch(200)) / 2.0f);
    v.Decode();
    EXPECT_FLOAT_EQ(v.State().synth.current.pitch, DequantisePitch(200));
}

TEST(Rt24DecoderLoss, LostFrameIsComfortNoiseAndGoodFramesFadeIn)
{
    Decoder d;
    d.Queue(FrameOf(0, 0, 20), 4); // quiet unvoiced frames set the background
    for (int call = 0; call < 4; ++call)
        d.Decode();
    const float background = d.State().loss.backgroundEnergy;
    // Taken down to the first quiet frame, then creeping up by 1 % a frame.
    EXPECT_GE(background, DequantiseEnergy(20));
    EXPECT_LE(background, DequantiseEnergy(20) * 1.0304f);

    ASSERT_EQ(Rt24MarkFrameLost(d.handle.get()), kCodecOk);
    const uint32_t before = d.ReadBits();
    EXPECT_EQ(d.Decode(), 180);
    EXPECT_EQ(d.ReadBits(), before); // nothing was read for the lost frame
    EXPECT_EQ(d.State().params.resEnergy, background);
    EXPECT_EQ(d.State().params.pitch, 125.0f);
    EXPECT_EQ(d.State().params.pv, 0.0f);
    const float comfort = std::sqrt(2.0f * background / 62.0f);
    EXPECT_FLOAT_EQ(d.State().params.amplitudes[0], comfort);
    EXPECT_EQ(d.State().params.amplitudes[62], 0.0f);
    for (int k = 1; k < kRt24LsfCount; ++k)
        EXPECT_GE(d.State().params.lsf[k] - d.State().params.lsf[k - 1], 45.0f - 1e-3f);

    d.Queue(FrameOf(12, 100, 45), 4);
    const float full = std::sqrt(2.0f * DequantiseEnergy(45) / static_cast<float>(HarmonicCount(DequantisePitch(100))));
    for (const float gain : {1.0f / 3.0f, 2.0f / 3.0f, 1.0f, 1.0f}) {
        d.Decode();
        EXPECT_NEAR(d.State().params.amplitudes[0], full * gain, full * 1e-5f) << gain;
    }
}

TEST(Rt24DecoderLoss, ALostFrameStaysLostOverItsSubFrames)
{
    Decoder d(3.0f);
    d.Queue(FrameOf(12, 100), 2);
    for (int call = 0; call < 3; ++call)
        d.Decode();
    Rt24MarkFrameLost(d.handle.get());
    const uint32_t before = d.ReadBits();
    for (int call = 0; call < 3; ++call) {
        d.Decode();
        EXPECT_EQ(d.State().params.pitch, 125.0f) << call;
    }
    EXPECT_EQ(d.ReadBits(), before);
    d.Decode();
    EXPECT_EQ(d.State().params.pitch, DequantisePitch(100));
}

TEST(Rt24DecoderSmoothing, ElevenUnvoicedSubFramesFollowTheSmoothedLsfs)
{
    Decoder d;
    d.Queue(FrameOf(12, 100), 2);
    Rt24Indices unvoiced = FrameOf(0, 0);
    d.Queue(unvoiced, 12);
    d.Decode();
    d.Decode();
    for (int call = 0; call < 10; ++call) {
        d.Decode();
        EXPECT_GT(d.State().synth.unvoicedRun, -1);
    }
    EXPECT_EQ(d.State().synth.unvoicedRun, 0);
    d.Decode(); // the eleventh
    EXPECT_EQ(d.State().synth.unvoicedRun, 0);
    const SynthFrame& synth = d.State().synth;
    for (int k = 0; k < kRt24LsfCount; ++k)
        EXPECT_EQ(synth.current.lsf[k], synth.smoothedLsf[k]) << k;
}

TEST(Rt24DecoderOutput, NeverBeyond32000)
{
    std::mt19937 random(4);
    for (const float scale : {1.0f, 0.5f, 2.0f}) {
        Decoder d(scale);
        for (int f = 0; f < 70; ++f) {
            Rt24Indices frame;
            frame.pv = static_cast<uint8_t>(random() % 16);
            frame.pitch = static_cast<uint8_t>(random() % 256);
            frame.energy = static_cast<uint8_t>(56 + random() % 8);
            for (int k = 0; k < kRt24LsfCount; ++k)
                frame.lsf[k] = static_cast<uint8_t>(random() % static_cast<uint32_t>(kRt24LsfCodebookSizes[k]));
            d.Queue(frame);
        }
        int loudest = 0;
        while (d.ReadBits() < 54 * 70) {
            const uint16_t count = d.Decode();
            for (int i = 0; i < count; ++i)
                loudest = std::max(loudest, std::abs(static_cast<int>(d.pcm[i])));
        }
        EXPECT_LE(loudest, 32000);
        EXPECT_GT(loudest, 3000); // loud frames do come out loud
    }
}

TEST(Rt24DecoderOutput, PeriodResamplerReadsOnePeriodPerPeriod)
{
    // A period of one cosine cycle read at rate 256 / 64 gives a cosine of period 64, its phase carried over.
    float period[kRt24PeriodPoints];
    for (int i = 0; i < kRt24PeriodPoints; ++i)
        period[i] = std::cos(2.0f * 3.14159265f * static_cast<float>(i) / kRt24PeriodPoints);
    float out[128];
    const float end = ResamplePeriod(period, 128, 4.0f, 0.25f, out);
    EXPECT_NEAR(end, 0.25f, 1e-6f); // two whole periods later
    // The spline smooths: the amplitude is a little below 1, the phase exact.
    EXPECT_NEAR(out[0], 0.0f, 0.02f);
    EXPECT_NEAR(out[16], -0.99f, 0.02f);
    EXPECT_NEAR(out[48], 0.99f, 0.02f);
}
