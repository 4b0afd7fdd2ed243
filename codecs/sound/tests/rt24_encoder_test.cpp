#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/speech/probe_registry.h"
#include "codecs/sound/speech/rt24/rt24_codec.h"
#include "codecs/sound/speech/rt24/rt24_encoder.h"
#include "codecs/sound/speech/rt24/rt24_format.h"
#include "testsupport/sound/speech_fixture.h"

using namespace sound;

namespace {

struct Encoder {
    std::unique_ptr<CodecHandle> handle;
    int16_t pcm[kRt24FrameSamples] = {};
    uint8_t coded[9] = {};
    CodecIO io;
    Encoder()
    {
        EXPECT_EQ(Rt24EncoderOpen(&handle), kCodecOk);
        io.samples = pcm;
        io.coded = coded;
        io.codedSize = sizeof coded;
    }
    ~Encoder() { Rt24EncoderClose(&handle); }

    const Rt24Encoder& State() const { return *dynamic_cast<const Rt24Encoder*>(handle->state.get()); }
    const Rt24Quantiser& Quantiser() const { return *dynamic_cast<const Rt24Quantiser*>(handle->secondState.get()); }
    // Encodes samples[at .. at + 180) (zeros past the end).
    void Encode(const std::vector<int16_t>& samples, size_t at)
    {
        for (size_t i = 0; i < kRt24FrameSamples; ++i)
            pcm[i] = at + i < samples.size() ? samples[at + i] : 0;
        io.endByte = 0;
        io.endBit = 0;
        ASSERT_EQ(Rt24Encode(handle.get(), &io), kCodecOk);
    }
};

// A periodic signal of the given period with twenty harmonics falling off as 1/k.
std::vector<int16_t> HarmonicTone(double period, size_t count, double amplitude = 1500.0)
{
    std::vector<int16_t> samples(count);
    for (size_t n = 0; n < count; ++n) {
        double v = 0.0;
        for (int k = 1; k <= 20; ++k)
            v += amplitude / k * std::sin(2.0 * std::numbers::pi * k * static_cast<double>(n) / period + k);
        samples[n] = static_cast<int16_t>(v);
    }
    return samples;
}

std::vector<int16_t> Sine(double period, size_t count)
{
    std::vector<int16_t> samples(count);
    for (size_t n = 0; n < count; ++n)
        samples[n] = static_cast<int16_t>(8000.0 * std::sin(2.0 * std::numbers::pi * static_cast<double>(n) / period));
    return samples;
}

} // namespace

TEST(Rt24EncoderAnalysis, DigitalSilenceIsUnvoicedAtTheLongestPeriod)
{
    Encoder e;
    const std::vector<int16_t> silence(180 * 20, 0);
    for (size_t at = 0; at < silence.size(); at += 180) {
        e.Encode(silence, at);
        EXPECT_EQ(e.State().params.pv, 0.0f);
        EXPECT_EQ(e.State().params.pitch, 125.0f);
        EXPECT_EQ(e.Quantiser().indices.pitch, 0);
        EXPECT_EQ(e.Quantiser().indices.pv, 0);
        EXPECT_EQ(e.Quantiser().indices.energy, 0);
    }
}

TEST(Rt24EncoderAnalysis, PeriodicToneOfPeriod50IsVoicedNear50WithTheMiddleWindow)
{
    Encoder e;
    const std::vector<int16_t> tone = HarmonicTone(50.0, 180 * 30);
    for (size_t at = 0; at < tone.size(); at += 180) {
        e.Encode(tone, at);
        if (at < 180 * 6)
            continue; // the detector and the analysis window need a few frames
        EXPECT_NEAR(e.State().params.pitch, 50.0f, 1.0f) << at / 180;
        EXPECT_GE(e.State().params.pv, 0.8f) << at / 180;
        EXPECT_EQ(e.State().windowLength, 241) << at / 180;
    }
}

TEST(Rt24EncoderAnalysis, PureSineIsTrackedAtItsPeriod)
{
    // One sinusoid has a single harmonic, so its spectral voicing stays low; its period is still found.
    Encoder e;
    const std::vector<int16_t> sine = Sine(50.0, 180 * 20);
    for (size_t at = 0; at < sine.size(); at += 180)
        e.Encode(sine, at);
    EXPECT_NEAR(e.State().params.pitch, 50.0f, 1.0f);
    EXPECT_EQ(e.State().windowLength, 241);
}

TEST(Rt24EncoderAnalysis, WindowFollowsThePeriod)
{
    for (const auto& [period, window] : {std::pair{36.0, 221}, std::pair{50.0, 241}, std::pair{80.0, 261}}) {
        SCOPED_TRACE(period);
        Encoder e;
        const std::vector<int16_t> tone = HarmonicTone(period, 180 * 12);
        for (size_t at = 0; at < tone.size(); at += 180)
            e.Encode(tone, at);
        EXPECT_EQ(e.State().windowLength, window);
        EXPECT_NEAR(e.State().params.pitch, period, period * 0.03);
    }
}

TEST(Rt24EncoderAnalysis, FirstFrameAnalysesTheZeroFilledHistory)
{
    Encoder e;
    const std::vector<int16_t> loud = HarmonicTone(80.0, 180 * 4, 3000.0);
    // The window is centred 270 samples back: at first it reaches only its last few samples into the input.
    e.Encode(loud, 0);
    const float first = e.State().autocorrelation[0];
    const int firstIndex = e.Quantiser().indices.energy;
    e.Encode(loud, 180);
    e.Encode(loud, 360);
    e.Encode(loud, 540);
    const float settled = e.State().autocorrelation[0];
    EXPECT_LT(first, settled / 20.0f);
    EXPECT_LT(firstIndex, e.Quantiser().indices.energy);
}

TEST(Rt24EncoderAnalysis, MinutesOfSilenceThenSpeechStayFiniteAndDetectSpeechAgain)
{
    const std::vector<int16_t> speech = soundtest::SpeechFixture8k();
    ASSERT_FALSE(speech.empty());
    Encoder e;
    const std::vector<int16_t> silence(kRt24FrameSamples, 0);
    for (int frame = 0; frame < 2 * 60 * 8000 / kRt24FrameSamples; ++frame)
        e.Encode(silence, 0);
    int firstVoiced = -1;
    for (size_t at = 0; at < speech.size(); at += kRt24FrameSamples) {
        e.Encode(speech, at);
        const HarmonicParams& p = e.State().params;
        ASSERT_TRUE(std::isfinite(p.pv) && std::isfinite(p.pitch) && std::isfinite(p.resEnergy));
        for (const float a : p.lpcPoly)
            ASSERT_TRUE(std::isfinite(a));
        if (firstVoiced < 0 && p.pv > 0.0f)
            firstVoiced = static_cast<int>(at / kRt24FrameSamples);
    }
    EXPECT_GE(firstVoiced, 0);
    EXPECT_LE(firstVoiced, 6);
}

TEST(Rt24EncoderAnalysis, RegistersItsNamesAndFiresPostEncode)
{
    Encoder e;
    auto& registry = *static_cast<ProbeRegistry*>(e.handle->probeRegistry.get());
    for (const char* name : {"rate", "max harmonics", "frame length", "energy", "pv", "pitch", "resEnergy", "lpc",
                             "amplitudes", "lpc order", "max pitch", "min pitch"})
        EXPECT_NE(FindParameter(registry, name), nullptr) << name;
    EXPECT_NE(FindProbe(registry, "post calc res amps rt"), nullptr);
    static int fired = 0;
    fired = 0;
    RegistryNode* const hook = RegisterHook(
        registry, "count", [](uintptr_t, RegistryNode*) { ++fired; }, nullptr, 0);
    AttachHook(FindProbe(registry, "post encode"), hook, 1);
    AttachHook(FindProbe(registry, "post quan"), hook, 1);
    const std::vector<int16_t> silence(kRt24FrameSamples, 0);
    e.Encode(silence, 0);
    EXPECT_EQ(fired, 2);
}
