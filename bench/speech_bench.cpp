// Speed of the RT24 speech codec on one core over the committed 8000 Hz speech fixture: encode and decode realtime
// factors (seconds of speech per CPU second), the achieved bit rate, the speech measures of the round trip, and the
// memory one encoder and one decoder hold.
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "codecs/sound/speech/rt24/rt24_decoder.h"
#include "codecs/sound/speech/rt24/rt24_encoder.h"
#include "codecs/sound/speech/rt24/rt24_format.h"
#include "codecs/sound/speech/rt24/rt24_stream.h"
#include "codecs/sound/wave_frame_stream.h"
#include "testsupport/sound/speech_fixture.h"
#include "testsupport/sound/speech_metrics.h"

namespace {

const std::vector<int16_t>& Speech()
{
    static const std::vector<int16_t> samples = soundtest::SpeechFixture8k();
    return samples;
}

constexpr uint32_t kRt24Scheme = sound::SchemeIdOf("7491");

// The fixture's samples as the bytes the encode loop reads.
const std::vector<uint8_t>& SpeechBytes()
{
    static const std::vector<uint8_t> bytes = sound::SampleBytes(Speech());
    return bytes;
}

std::vector<uint8_t> EncodeSpeech()
{
    sound::MemoryFrameSource source(SpeechBytes());
    sound::VectorFrameSink sink;
    sound::Rt24EncodeStream(kRt24Scheme, source, sink);
    return std::move(sink.bytes);
}

double Seconds()
{
    return static_cast<double>(Speech().size()) / sound::kRt24SampleRate;
}

void BM_Rt24Encode(benchmark::State& state)
{
    if (Speech().empty()) {
        state.SkipWithError("speech fixture missing");
        return;
    }
    std::vector<uint8_t> encoded;
    for (auto _ : state) {
        encoded = EncodeSpeech();
        benchmark::DoNotOptimize(encoded.data());
    }
    state.counters["realtime_x"] =
        benchmark::Counter(Seconds() * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["bit/s"] = static_cast<double>(encoded.size()) * 8.0 / Seconds();
    // One encoder: its state, its quantiser, the 401-sample history and the three Kaiser half windows.
    state.counters["encoder_bytes"] = static_cast<double>(sizeof(sound::Rt24Encoder) + sizeof(sound::Rt24Quantiser) +
                                                          401 * sizeof(float) + (111 + 121 + 131) * sizeof(float));
}

void BM_Rt24Decode(benchmark::State& state)
{
    if (Speech().empty()) {
        state.SkipWithError("speech fixture missing");
        return;
    }
    const std::vector<uint8_t> encoded = EncodeSpeech();
    sound::Rt24DecodeOptions options;
    options.timeScale = static_cast<float>(state.range(0)) / 100.0f;
    sound::VectorFrameSink decoded;
    for (auto _ : state) {
        decoded.bytes.clear();
        sound::MemoryFrameSource source(encoded);
        sound::Rt24DecodeStream(kRt24Scheme, source, decoded, options);
        benchmark::DoNotOptimize(decoded.bytes.data());
    }
    state.counters["realtime_x"] =
        benchmark::Counter(Seconds() * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["decoder_bytes"] = static_cast<double>(sizeof(sound::Rt24Decoder) + sizeof(sound::Rt24Quantiser));
    if (state.range(0) == 100) {
        const soundtest::SpeechComparison result = soundtest::CompareSpeech(Speech(), decoded.Samples(), 8000, 4000);
        state.counters["LSD_voiced_dB"] = result.voicedLogSpectralDistanceDb;
        state.counters["F0_err_pct"] = result.f0RmsErrorPercent;
        state.counters["energy_err_dB"] = result.meanEnergyErrorDb;
    }
}

} // namespace

BENCHMARK(BM_Rt24Encode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rt24Decode)->Arg(100)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
