// Speed of the SC36 speech codec on one core over the committed 8000 Hz speech fixture: encode and decode realtime
// factors (seconds of speech per CPU second) for each variant, and the heap bytes one open encoder and one open
// decoder hold, counted by this program's own operator new.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/support/counting_allocator.h"
#include "codecs/sound/speech/sc36/sc36_codec.h"
#include "codecs/sound/speech/sc36/sc36_stream.h"
#include "codecs/sound/wave_frame_stream.h"
#include "testsupport/sound/speech_fixture.h"

namespace {

const std::vector<int16_t>& Speech()
{
    static const std::vector<int16_t> samples = soundtest::SpeechFixture8k();
    return samples;
}

double Seconds()
{
    return static_cast<double>(Speech().size()) / sound::kSc36SampleRate;
}

sound::Sc36StreamVariant VariantOf(const benchmark::State& state)
{
    return static_cast<sound::Sc36StreamVariant>(state.range(0));
}

constexpr uint32_t kSc36Scheme = sound::SchemeIdOf("7490");

// The fixture through the encode loop of the variant.
std::vector<uint8_t> EncodeSpeech(sound::Sc36StreamVariant variant)
{
    static const std::vector<uint8_t> bytes = sound::SampleBytes(Speech());
    sound::MemoryFrameSource source(bytes);
    sound::VectorFrameSink sink;
    sound::Sc36EncodeStream(kSc36Scheme, source, sink, static_cast<uint8_t>(variant));
    return std::move(sink.bytes);
}

// Heap bytes an open handle of this kind and variant holds, its transform tables excluded (they are shared).
template <sound::Sc36Variant V> int64_t BytesOfOpen(bool encoder)
{
    std::unique_ptr<sound::CodecHandle> warm;
    // A first open builds the shared transform tables, so the counted one holds only its own state.
    encoder ? sound::Sc36EncoderOpen<V>(&warm) : sound::Sc36DecoderOpen<V>(&warm);
    const int64_t before = bench_support::CountedBytes();
    std::unique_ptr<sound::CodecHandle> handle;
    encoder ? sound::Sc36EncoderOpen<V>(&handle) : sound::Sc36DecoderOpen<V>(&handle);
    const int64_t bytes = bench_support::CountedBytes() - before;
    encoder ? sound::Sc36EncoderClose<V>(&handle) : sound::Sc36DecoderClose<V>(&handle);
    encoder ? sound::Sc36EncoderClose<V>(&warm) : sound::Sc36DecoderClose<V>(&warm);
    return bytes;
}

void BM_Sc36Encode(benchmark::State& state)
{
    if (Speech().empty()) {
        state.SkipWithError("speech fixture missing");
        return;
    }
    std::vector<uint8_t> encoded;
    for (auto _ : state) {
        encoded = EncodeSpeech(VariantOf(state));
        benchmark::DoNotOptimize(encoded.data());
    }
    state.counters["realtime_x"] =
        benchmark::Counter(Seconds() * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["bit/s"] = static_cast<double>(encoded.size()) * 8.0 / Seconds();
    state.counters["encoder_bytes"] = static_cast<double>(VariantOf(state) == sound::Sc36StreamVariant::k3200
                                                              ? BytesOfOpen<sound::Sc36Variant::k3200>(true)
                                                              : BytesOfOpen<sound::Sc36Variant::k6400>(true));
}

void BM_Sc36Decode(benchmark::State& state)
{
    if (Speech().empty()) {
        state.SkipWithError("speech fixture missing");
        return;
    }
    const std::vector<uint8_t> encoded = EncodeSpeech(VariantOf(state));
    sound::Sc36DecodeOptions options;
    options.timeScale = static_cast<float>(state.range(1)) / 100.0f;
    sound::VectorFrameSink decoded;
    for (auto _ : state) {
        decoded.bytes.clear();
        sound::MemoryFrameSource source(encoded);
        sound::Sc36DecodeStream(kSc36Scheme, source, decoded, static_cast<uint8_t>(VariantOf(state)), options);
        benchmark::DoNotOptimize(decoded.bytes.data());
    }
    // Seconds of coded speech per CPU second, whatever the time scale stretches it to.
    state.counters["realtime_x"] =
        benchmark::Counter(Seconds() * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["decoder_bytes"] = static_cast<double>(VariantOf(state) == sound::Sc36StreamVariant::k3200
                                                              ? BytesOfOpen<sound::Sc36Variant::k3200>(false)
                                                              : BytesOfOpen<sound::Sc36Variant::k6400>(false));
}

// Variants 0 (3200 bit/s), 1 (6400 bit/s), 2 (switched every 20 frames).
BENCHMARK(BM_Sc36Encode)->ArgName("variant")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sc36Decode)
    ->ArgNames({"variant", "scale_pct"})
    ->ArgsProduct({{0, 1, 2}, {100}})
    ->Args({1, 50})
    ->Args({1, 200})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
