// World files: save and load of the sample scene in MB/s of file, with payloads stored, LZSS-filtered and
// DEFLATE-filtered; the counter "file_bytes" is the document's size, so a change of speed can be told from a change
// of what was written. The scene takes the test-data cache's meshes and pictures when present, else built-in ones.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/camera_node.h"
#include "engine/core/document_file.h"
#include "engine/core/matrix.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/read_context.h"
#include "engine/core/sub_world_loader.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "testsupport/world/sample_world.h"

namespace {

std::string TestDataFolder(const char* name)
{
    const char* root = std::getenv("VORTAN_TEST_DATA");
    return root != nullptr && *root != '\0' ? (std::filesystem::path(root) / name).string() : std::string();
}

// The sample scene (a record of every kind), with the cache's meshes and pictures when the fetch script filled it.
std::unique_ptr<SWworld> MakeScene()
{
    worldtest::SampleWorldOptions options;
    options.meshFolder = TestDataFolder("mesh");
    options.pictureFolder = TestDataFolder("image");
    options.sphereRings = 64;
    return worldtest::MakeSampleWorld(options);
}

SWworld& Scene()
{
    static const std::unique_ptr<SWworld> scene = MakeScene();
    return *scene;
}

std::vector<uint8_t> SaveScene(DocumentCompression kind)
{
    DocumentWriteOptions options;
    options.compression = kind;
    SWdocumentwriter writer(options);
    std::vector<uint8_t> bytes;
    if (!WriteWorldRecords(Scene(), writer, kDocumentNoParent) || writer.Finish(bytes) != DocumentStatus::kOk)
        bytes.clear();
    return bytes;
}

void BM_Save(benchmark::State& state)
{
    const auto kind = static_cast<DocumentCompression>(state.range(0));
    size_t size = 0;
    for (auto _ : state) {
        const std::vector<uint8_t> bytes = SaveScene(kind);
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    if (size == 0)
        state.SkipWithError("the scene was not written");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
    state.counters["file_bytes"] = static_cast<double>(size);
}

void BM_Load(benchmark::State& state)
{
    const std::vector<uint8_t> bytes = SaveScene(static_cast<DocumentCompression>(state.range(0)));
    for (auto _ : state) {
        SWdocumentfile file;
        if (SWdocumentfile::Parse(bytes, file) != DocumentStatus::kOk) {
            state.SkipWithError("the scene does not read");
            break;
        }
        SWreadcontext context(SWreadcontext::IdMode::kKeep);
        const WorldLoadResult loaded = ReadWorldFile(file, context);
        benchmark::DoNotOptimize(loaded.world.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
}

// How long CompletePendingLoads holds the world's lock to merge a loadable world of a 100,000-triangle mesh (the
// frame it stalls): the loader thread reads and parses off every lock; only the merging call is timed.
void BM_CompletePendingLoads(benchmark::State& state)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vortan_bench_sub_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    worldtest::SampleWorldOptions options;
    options.sphereRings = 158; // 4 x 158 x 158 = 99,856 triangles
    if (SaveWorldFile(*worldtest::MakeSampleWorld(options), WorldFileMode::kScene, (folder / "big.vtn").string()) !=
        DocumentStatus::kOk) {
        state.SkipWithError("the sub-world was not written");
        return;
    }
    SWworld world;
    CVTN_SubWorld* entry = world.GetSubWorlds().Add("big");
    entry->SetFileName("big.vtn");
    CVTN_SubWorldLoader& loader = CVTN_SubWorldLoader::Of(world);
    loader.SetBaseFolder(folder.string());
    for (auto _ : state) {
        CVTN_SubWorldInstance* instance = loader.LoadFile(*entry, {}, true);
        double held = 0.0;
        while (instance != nullptr && !instance->loaded && !instance->failed) {
            const auto start = std::chrono::steady_clock::now();
            const size_t merged = loader.CompletePendingLoads();
            const auto stop = std::chrono::steady_clock::now();
            if (merged != 0)
                held = std::chrono::duration<double>(stop - start).count();
            else
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (instance == nullptr || instance->failed) {
            state.SkipWithError("the sub-world did not load");
            break;
        }
        state.SetIterationTime(held);
        loader.UnloadSubWorld(*entry, instance, false);
    }
    std::filesystem::remove_all(folder);
}

BENCHMARK(BM_Save)->Arg(0)->Arg(1)->Arg(2)->ArgName("compression")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load)->Arg(0)->Arg(1)->Arg(2)->ArgName("compression")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompletePendingLoads)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
