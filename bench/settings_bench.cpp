// Parsing a settings file as large as the store will read (just under its 16 MiB limit): 500,000 keys of one value
// each, and one key of 500,000 values. Both shapes once took time that grew with the square of the count, so a
// slow-down here is the first sign of a look-up gone linear again. Writing the many-key tree back is measured too.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "platform/settings/file_backend.h"
#include "platform/settings/settings_file.h"

namespace {

constexpr int kCount = 500000;

std::string Hex8(int value)
{
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(value));
    return digits;
}

std::string ManyKeys()
{
    std::string text;
    for (int i = 0; i < kCount; ++i) {
        char key[32];
        std::snprintf(key, sizeof key, "[key\\k%06d]\n", i);
        text += key;
        text += "\"v\"=dword:" + Hex8(i) + "\n";
    }
    return text;
}

std::string ManyValues()
{
    std::string text = "[Software\\Brenix\\Vortan\\Editor]\n";
    for (int i = 0; i < kCount; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\"value%06d\"", i);
        text += name;
        text += "=dword:" + Hex8(i) + "\n";
    }
    return text;
}

void RunParse(benchmark::State& state, const std::string& text)
{
    if (text.size() > pf::FileBackend::kMaxFileBytes) {
        state.SkipWithError("the sample is larger than the store reads");
        return;
    }
    size_t keys = 0;
    for (auto _ : state) {
        const pf::SettingsParse parsed = pf::parseSettingsFile(text);
        keys = parsed.tree.keys.size();
        benchmark::DoNotOptimize(keys);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
    state.counters["keys"] = static_cast<double>(keys);
}

void BM_ParseManyKeys(benchmark::State& state)
{
    RunParse(state, ManyKeys());
}

void BM_ParseManyValuesInOneKey(benchmark::State& state)
{
    RunParse(state, ManyValues());
}

void BM_FormatManyKeys(benchmark::State& state)
{
    const pf::SettingsParse parsed = pf::parseSettingsFile(ManyKeys());
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = pf::formatSettingsFile(parsed.tree).size();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

} // namespace

BENCHMARK(BM_ParseManyKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseManyValuesInOneKey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormatManyKeys)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
