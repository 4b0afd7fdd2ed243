// The nine sound rows as a world stores and restores its sounds, on one core: Write of a committed fixture into a
// memory record (encode) and Read of that record into a fresh world, wave file included (decode). Realtime factor =
// seconds of audio per second; the stored bit rate counts the whole record.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"
#include "engine/resources/compression_scheme.h"
#include "engine/resources/sound.h"
#include "platform/base/endian.h"

namespace {

struct Row {
    const char* id;
    const char* fixture;
    double seconds; // of the fixture
};

const Row kRows[] = {
    {"7499", "speech_8000_mono.wav", 5.0},   {"7498", "music_22050_stereo.wav", 5.0},
    {"7496", "music_22050_stereo.wav", 5.0}, {"7495", "speech_22050_mono.wav", 5.0},
    {"7494", "music_11025_stereo.wav", 5.0}, {"7493", "speech_11025_mono.wav", 5.0},
    {"7492", "speech_8000_mono.wav", 5.0},   {"7491", "speech_8000_mono.wav", 5.0},
    {"7490", "speech_8000_mono.wav", 5.0},
};

std::string FixturePath(const char* name)
{
    const char* root = std::getenv("VORTAN_SOURCE_DIR");
    const std::filesystem::path base =
        root != nullptr ? std::filesystem::path(root) : std::filesystem::path(__FILE__).parent_path().parent_path();
    return (base / "codecs/sound/tests/data" / name).string();
}

uint32_t IdTag(const char* id)
{
    return pf::loadU32le(reinterpret_cast<const uint8_t*>(id));
}

// The record of the fixture through row; empty when it could not be written.
std::vector<uint8_t> Store(const Row& row, uint8_t variant)
{
    SWworld world;
    auto owned = std::make_unique<SWsound>("bench");
    owned->SetWorld(&world);
    owned->SetFileName(FixturePath(row.fixture));
    owned->SetSc36Variant(variant);
    SWsound* const sound = world.GetSoundList().Add(std::move(owned));
    const SWcompressionscheme* const scheme = SWcompressionschemes::Table().FindById(IdTag(row.id));
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        if (scheme == nullptr || !scheme->Write(out, sound, 0))
            return {};
    }
    return buffer.ToVector();
}

bool Restore(const std::vector<uint8_t>& record)
{
    SWworld world; // its temporary file goes with it
    auto owned = std::make_unique<SWsound>("bench");
    owned->SetWorld(&world);
    SWsound* const sound = world.GetSoundList().Add(std::move(owned));
    SWchunkstream in(record);
    return SWcompressionschemes::Table().ReadResource(in.PeekTag(), in, sound, 0);
}

void BM_SoundRowEncode(benchmark::State& state)
{
    const Row& row = kRows[state.range(0)];
    const auto variant = static_cast<uint8_t>(state.range(1));
    size_t bytes = 0;
    for (auto _ : state) {
        const std::vector<uint8_t> record = Store(row, variant);
        if (record.empty()) {
            state.SkipWithError("the row did not write the fixture");
            return;
        }
        bytes = record.size();
        benchmark::DoNotOptimize(record.data());
    }
    state.SetLabel(std::string(row.id) + " " + row.fixture);
    state.counters["realtime"] = benchmark::Counter(row.seconds, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["stored_bps"] = static_cast<double>(bytes) * 8.0 / row.seconds;
}

void BM_SoundRowDecode(benchmark::State& state)
{
    const Row& row = kRows[state.range(0)];
    const std::vector<uint8_t> record = Store(row, static_cast<uint8_t>(state.range(1)));
    if (record.empty()) {
        state.SkipWithError("the row did not write the fixture");
        return;
    }
    for (auto _ : state)
        if (!Restore(record)) {
            state.SkipWithError("the record did not read back");
            return;
        }
    state.SetLabel(std::string(row.id) + " " + row.fixture);
    state.counters["realtime"] = benchmark::Counter(row.seconds, benchmark::Counter::kIsIterationInvariantRate);
}

// Every row at variant 0; SC36 ("7490", the last row) also at variants 1 and 2.
void Rows(benchmark::internal::Benchmark* b)
{
    for (int64_t i = 0; i < static_cast<int64_t>(std::size(kRows)); ++i)
        b->Args({i, 0});
    b->Args({8, 1});
    b->Args({8, 2});
}

BENCHMARK(BM_SoundRowEncode)->Apply(Rows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SoundRowDecode)->Apply(Rows)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
