// Speed of the sound codecs on one core: the own wave codec on the committed speech and music fixtures at
// qualities 40, 70 and 100 (realtime factor = seconds of audio per CPU second, with the stored bit rate and SNR
// beside it), and the transform layer's FFTs.
#include <sys/resource.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "codecs/sound/fft.h"
#include "codecs/sound/wave_codec/wave_decoder.h"
#include "codecs/sound/wave_codec/wave_encoder.h"
#include "platform/base/endian.h"
#include "platform/media/riff_wave_reader.h"
#include "testsupport/sound/sound_metrics.h"

namespace {

struct Clip {
    std::vector<int16_t> samples;
    int channels = 0;
    int rate = 0;
    double Seconds() const { return static_cast<double>(samples.size()) / channels / rate; }
};

std::string FixturePath(const char* name)
{
    const char* root = std::getenv("VORTAN_SOURCE_DIR");
    const std::filesystem::path base =
        root != nullptr ? std::filesystem::path(root) : std::filesystem::path(__FILE__).parent_path().parent_path();
    return (base / "codecs/sound/tests/data" / name).string();
}

Clip LoadClip(const char* name)
{
    Clip clip;
    pf::WaveError error = pf::WaveError::kNone;
    const auto reader = pf::RiffWaveReader::open(FixturePath(name), &error);
    if (!reader || reader->format().bits != 16)
        return clip;
    std::vector<uint8_t> bytes(reader->dataBytes());
    bytes.resize(reader->read(bytes));
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        clip.samples.push_back(static_cast<int16_t>(pf::loadU16le(&bytes[i])));
    clip.channels = reader->format().channels;
    clip.rate = static_cast<int>(reader->format().rate);
    return clip;
}

const char* const kClips[] = {"speech_8000_mono.wav", "speech_22050_mono.wav", "music_11025_stereo.wav",
                              "music_22050_stereo.wav"};

const Clip& ClipOf(int64_t index)
{
    static const std::vector<Clip> clips = [] {
        std::vector<Clip> loaded;
        for (const char* name : kClips)
            loaded.push_back(LoadClip(name));
        return loaded;
    }();
    return clips[static_cast<size_t>(index)];
}

std::vector<uint8_t> Encode(const Clip& clip, uint32_t quality)
{
    sound::WaveEncoder encoder;
    std::vector<uint8_t> stream;
    encoder.Init(sound::kWaveSystemMode, quality);
    // Pieces of 8192 bytes, as the wave-file glue reads them.
    for (size_t at = 0; at < clip.samples.size(); at += 4096) {
        const size_t take = std::min<size_t>(4096, clip.samples.size() - at);
        encoder.Feed(std::span<const int16_t>(clip.samples).subspan(at, take));
        stream.insert(stream.end(), encoder.Output().begin(), encoder.Output().end());
    }
    encoder.Finish();
    stream.insert(stream.end(), encoder.Output().begin(), encoder.Output().end());
    return stream;
}

std::vector<int16_t> Decode(std::span<const uint8_t> stream)
{
    sound::WaveDecoder decoder;
    std::vector<int16_t> samples;
    for (size_t at = 0; at < stream.size(); at += 8192) {
        decoder.Feed(stream.subspan(at, std::min<size_t>(8192, stream.size() - at)));
        samples.insert(samples.end(), decoder.Output().begin(), decoder.Output().end());
    }
    return samples;
}

void ReportPeakMemory(benchmark::State& state)
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_kB"] = static_cast<double>(usage.ru_maxrss);
}

void SetQualityCounters(benchmark::State& state, const Clip& clip, const std::vector<uint8_t>& stream)
{
    const std::vector<int16_t> decoded = Decode(stream);
    state.counters["bit/s"] = static_cast<double>(stream.size()) * 8.0 / clip.Seconds();
    state.counters["SNR_dB"] = soundtest::Snr(clip.samples, decoded);
    state.counters["segSNR_dB"] = soundtest::SegmentalSnr(clip.samples, decoded, clip.channels, clip.rate);
}

// The clip a codec benchmark runs on, named in its label; none, and the benchmark skipped, when the fixture is missing.
const Clip* LabelledClip(benchmark::State& state)
{
    const Clip& clip = ClipOf(state.range(0));
    if (clip.samples.empty()) {
        state.SkipWithError("fixture missing; set VORTAN_SOURCE_DIR");
        return nullptr;
    }
    state.SetLabel(kClips[state.range(0)]);
    return &clip;
}

// Seconds of audio per second of run time.
void ReportRealtime(benchmark::State& state, const Clip& clip)
{
    state.counters["realtime_x"] =
        benchmark::Counter(clip.Seconds() * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_WaveEncode(benchmark::State& state)
{
    const Clip* const clip = LabelledClip(state);
    if (clip == nullptr)
        return;
    const auto quality = static_cast<uint32_t>(state.range(1));
    std::vector<uint8_t> stream;
    for (auto _ : state) {
        stream = Encode(*clip, quality);
        benchmark::DoNotOptimize(stream.data());
    }
    ReportRealtime(state, *clip);
    SetQualityCounters(state, *clip, stream);
    ReportPeakMemory(state);
}

void BM_WaveDecode(benchmark::State& state)
{
    const Clip* const clip = LabelledClip(state);
    if (clip == nullptr)
        return;
    const auto quality = static_cast<uint32_t>(state.range(1));
    const std::vector<uint8_t> stream = Encode(*clip, quality);
    for (auto _ : state) {
        std::vector<int16_t> samples = Decode(stream);
        benchmark::DoNotOptimize(samples.data());
    }
    ReportRealtime(state, *clip);
    ReportPeakMemory(state);
}

void CodecArguments(benchmark::internal::Benchmark* bench)
{
    for (int64_t clip = 0; clip < 4; ++clip) {
        for (int64_t quality : {40, 70, 100})
            bench->Args({clip, quality});
    }
}

BENCHMARK(BM_WaveEncode)->Apply(CodecArguments)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WaveDecode)->Apply(CodecArguments)->Unit(benchmark::kMillisecond);

std::vector<float> RandomFloats(size_t count)
{
    std::mt19937 generator(1);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> values(count);
    for (float& v : values)
        v = uniform(generator);
    return values;
}

void BM_ComplexFFT(benchmark::State& state)
{
    const int order = static_cast<int>(state.range(0));
    const std::vector<float> input = RandomFloats(size_t{2} << order);
    std::vector<float> data = input;
    for (auto _ : state) {
        sound::ComplexFFT(data, order, sound::FFT_FORWARD);
        benchmark::DoNotOptimize(data.data());
    }
    state.SetItemsProcessed(state.iterations() * (int64_t{1} << order));
}
BENCHMARK(BM_ComplexFFT)->DenseRange(6, 12, 1);

void BM_RealFFTRoundTrip(benchmark::State& state)
{
    const int order = static_cast<int>(state.range(0));
    std::vector<float> data = RandomFloats((size_t{1} << order) + 2);
    for (auto _ : state) {
        sound::RealFFT(data, order, sound::FFT_FORWARD);
        sound::RealInverseFFT(data, order, sound::FFT_SCALE);
        benchmark::DoNotOptimize(data.data());
    }
    state.SetItemsProcessed(state.iterations() * (int64_t{1} << order));
}
BENCHMARK(BM_RealFFTRoundTrip)->Arg(7)->Arg(9)->Arg(11);

} // namespace

BENCHMARK_MAIN();
