// Speed of the adaptive arithmetic coder in MB/s of input values, per run kind, on the value shapes its callers feed
// it: quantised wavelet bands (mostly zeros and tree roots), the own wave codec's byte streams (coarse: one byte per
// value, wide only for the low coefficients; fine: two bytes per value, a small high byte and a nearly uniform low
// byte), uniform bytes of the raw and palette types, and 17-bit band values over large alphabets. The counter
// "bits" is the coded size per value, so a change of speed can be told from a change of what was coded.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "codecs/entropy/arith_coder.h"

namespace {

enum class Shape { kBand, kWaveCoarse, kWaveFine, kUniform };

constexpr size_t kValues = 1 << 18;

const char* ShapeName(Shape shape)
{
    switch (shape) {
    case Shape::kBand:
        return "band";
    case Shape::kWaveCoarse:
        return "wave-coarse";
    case Shape::kWaveFine:
        return "wave-fine";
    case Shape::kUniform:
        return "uniform";
    }
    return "?";
}

// Laplacian-like magnitudes of a given mean, signed.
int32_t Laplacian(std::mt19937& rng, double mean)
{
    std::geometric_distribution<int32_t> magnitude(1.0 / (1.0 + mean));
    const int32_t m = magnitude(rng);
    return (rng() & 1) != 0 ? -m : m;
}

// Values of the shape, centred on 0, within -limit..limit; `roots` adds the band coder's tree-root value limit + 1.
// Byte runs take the fine shape as two bytes per value, word runs as one value.
std::vector<int32_t> MakeValues(Shape shape, size_t count, int32_t limit, bool roots, bool words)
{
    std::mt19937 rng(7);
    std::vector<int32_t> values;
    values.reserve(count + 1);
    auto push = [&](int32_t v) { values.push_back(std::clamp(v, -limit, limit)); };
    bool busy = false;
    while (values.size() < count) {
        const size_t i = values.size();
        switch (shape) {
        case Shape::kBand:
            if (i % 64 == 0)
                busy = rng() % 10 < 3;
            if (busy)
                push(Laplacian(rng, 3.0));
            else if (roots && rng() % 100 < 8)
                values.push_back(limit + 1);
            else
                push(rng() % 100 < 94 ? 0 : Laplacian(rng, 0.3));
            break;
        case Shape::kWaveCoarse:
            push(Laplacian(rng, 40.0 / (1.0 + double((i / 256) % 64))));
            break;
        case Shape::kWaveFine: {
            const int32_t v = Laplacian(rng, 300.0);
            if (words) {
                push(v);
            } else {
                push(static_cast<int8_t>(v >> 8));
                push(static_cast<int8_t>(v & 0xFF));
            }
            break;
        }
        case Shape::kUniform:
            push(static_cast<int32_t>(rng() % (2 * limit + 1)) - limit);
            break;
        }
    }
    values.resize(count);
    return values;
}

template <typename Value> std::vector<Value> Narrow(const std::vector<int32_t>& values)
{
    return std::vector<Value>(values.begin(), values.end());
}

struct RunKind {
    const char* name;
    uint32_t n;
    Shape shape;
    bool words;
};

// The alphabets the callers use: the wave codec's 257 signed bytes, band kinds 2L + 2 with roots, 17-bit bands.
const RunKind kRunKinds[] = {
    {"signed-bytes n=257", 257, Shape::kWaveCoarse, false}, {"signed-bytes n=257", 257, Shape::kWaveFine, false},
    {"signed-bytes n=257", 257, Shape::kUniform, false},    {"signed-bytes n=32", 32, Shape::kBand, false},
    {"signed-bytes n=252", 252, Shape::kBand, false},       {"words n=514", 514, Shape::kBand, true},
    {"words n=10002", 10002, Shape::kBand, true},           {"words n=2001", 2001, Shape::kWaveFine, true},
};

// The kind's values: within the signed alphabet (and a byte), with tree roots when n is even.
std::vector<int32_t> ValuesOf(const RunKind& kind)
{
    const int32_t offset = ArithCoder::SignedOffset(kind.n);
    const int32_t limit = kind.words ? offset : std::min(offset, 127);
    return MakeValues(kind.shape, kValues, limit, kind.n % 2 == 0, kind.words);
}

void SetCounters(benchmark::State& state, const RunKind& kind, size_t valueBytes, size_t streamBytes)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kValues * valueBytes));
    state.counters["bits"] = 8.0 * double(streamBytes) / double(kValues);
    state.SetLabel(std::string(kind.name) + " " + ShapeName(kind.shape));
}

void BM_Encode(benchmark::State& state)
{
    const RunKind& kind = kRunKinds[state.range(0)];
    const bool wordsRun = kind.words;
    const std::vector<int32_t> values = ValuesOf(kind);
    ArithCoder coder;
    std::vector<uint8_t> out;
    const std::vector<int8_t> bytes = Narrow<int8_t>(values);
    const std::vector<int16_t> words = Narrow<int16_t>(values);
    for (auto _ : state) {
        out.clear();
        const ArithRun run =
            wordsRun ? coder.EncodeWords(out, words, kind.n) : coder.EncodeSignedBytes(out, bytes, kind.n);
        if (!run.Ok())
            state.SkipWithError("encoder refused the input");
        benchmark::DoNotOptimize(out.data());
    }
    SetCounters(state, kind, wordsRun ? 2 : 1, out.size());
}

void BM_Decode(benchmark::State& state)
{
    const RunKind& kind = kRunKinds[state.range(0)];
    const bool wordsRun = kind.words;
    const std::vector<int32_t> values = ValuesOf(kind);
    ArithCoder coder;
    std::vector<uint8_t> stream;
    const std::vector<int8_t> bytes = Narrow<int8_t>(values);
    const std::vector<int16_t> words = Narrow<int16_t>(values);
    if (wordsRun)
        coder.EncodeWords(stream, words, kind.n);
    else
        coder.EncodeSignedBytes(stream, bytes, kind.n);
    std::vector<int8_t> backBytes(kValues);
    std::vector<int16_t> backWords(kValues);
    for (auto _ : state) {
        const ArithRun run = wordsRun ? coder.DecodeWords(stream, backWords, kind.n)
                                      : coder.DecodeSignedBytes(stream, backBytes, kind.n);
        if (!run.Ok() || run.values != kValues)
            state.SkipWithError("decoder did not restore the run");
        benchmark::DoNotOptimize(backBytes.data());
        benchmark::DoNotOptimize(backWords.data());
    }
    if (wordsRun ? backWords != words : backBytes != bytes)
        state.SkipWithError("decoded values differ");
    SetCounters(state, kind, wordsRun ? 2 : 1, stream.size());
}

// The raw and palette types: unsigned bytes of a 257-symbol alphabet, nearly uniform.
void BM_EncodeUnsignedBytes(benchmark::State& state)
{
    std::mt19937 rng(3);
    std::vector<uint8_t> values(kValues);
    for (uint8_t& v : values)
        v = static_cast<uint8_t>(rng());
    ArithCoder coder;
    std::vector<uint8_t> out;
    for (auto _ : state) {
        out.clear();
        coder.EncodeBytes(out, values, 257);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kValues));
}

void BM_EncodeStatic(benchmark::State& state)
{
    const std::vector<int8_t> values = Narrow<int8_t>(MakeValues(Shape::kBand, kValues, 15, true, false));
    ArithCoder coder;
    std::vector<uint8_t> out;
    for (auto _ : state) {
        out.clear();
        coder.EncodeStatic(out, values, 32);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kValues));
}

void RunKindArguments(benchmark::internal::Benchmark* bench)
{
    for (int64_t i = 0; i < int64_t(std::size(kRunKinds)); ++i)
        bench->Arg(i);
}

BENCHMARK(BM_Encode)->Apply(RunKindArguments)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->Apply(RunKindArguments)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeUnsignedBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeStatic)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
