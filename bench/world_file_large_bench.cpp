// World files on disk at scale: a generated world of at least 80 MB and the 2.2 MB sample, saved through the atomic
// writer (its fsync included) and loaded from the file, in MB/s of file, payloads stored, LZSS- and DEFLATE-filtered.
// A load also reports its peak resident memory above what the process held before it, as a multiple of the file
// ("peak_over_file"), read from the kernel's high-water mark after resetting it, and the loaded world's own
// resident size ("kept_over_file").
//   world 0: the sample scene (the test-data cache's meshes and pictures when present); world 1: the large world,
//   whose sphere is stored plain because its node's vertex frames address its vertices by index.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/document_file.h"
#include "engine/core/read_context.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "testsupport/world/sample_world.h"

namespace {

constexpr unsigned kLargeSphereRings = 600; // about 2 x 600^2 vertices and 4 x 600^2 triangles: 80 MB and more

std::string TestDataFolder(const char* name)
{
    const char* root = std::getenv("VORTAN_TEST_DATA");
    return root != nullptr && *root != '\0' ? (std::filesystem::path(root) / name).string() : std::string();
}

std::unique_ptr<SWworld> MakeWorld(int which)
{
    worldtest::SampleWorldOptions options;
    if (which == 0) {
        options.meshFolder = TestDataFolder("mesh");
        options.pictureFolder = TestDataFolder("image");
        options.sphereRings = 64;
    } else {
        options.sphereRings = kLargeSphereRings;
    }
    return worldtest::MakeSampleWorld(options);
}

SWworld& World(int which)
{
    static std::map<int, std::unique_ptr<SWworld>> worlds;
    std::unique_ptr<SWworld>& world = worlds[which];
    if (world == nullptr)
        world = MakeWorld(which);
    return *world;
}

std::filesystem::path Folder()
{
    static const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vortan_bench_world_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    return folder;
}

std::string PathOf(int which, int compression)
{
    std::string name = "w";
    name.append(std::to_string(which)).append("c").append(std::to_string(compression)).append(".vtn");
    return (Folder() / name).string();
}

// One save as the designer makes it: the records, the finished document, the atomic write with its fsync.
bool Save(int which, int compression, const std::string& path, size_t& outBytes)
{
    DocumentWriteOptions options;
    options.compression = static_cast<DocumentCompression>(compression);
    SWdocumentwriter writer(options);
    std::vector<uint8_t> bytes;
    if (!WriteWorldRecords(World(which), writer, kDocumentNoParent) || writer.Finish(bytes) != DocumentStatus::kOk)
        return false;
    outBytes = bytes.size();
    return SaveDocumentFile(path, bytes) == DocumentStatus::kOk;
}

// One load as the designer makes it: the checked reader, then the world's records, the file let go as it is read.
std::unique_ptr<SWworld> Load(const std::string& path)
{
    return LoadWorldFile(path, SWreadcontext::IdMode::kKeep).world;
}

// kB of a "Vm...:" line of /proc/self/status; 0 when absent.
double StatusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::strtod(line.c_str() + std::string(field).size(), nullptr);
    }
    return 0.0;
}

// The resident peak of one load above the resident size before it, and what stays resident with the loaded world
// (the part of the peak no reading order can save); negative when the kernel cannot reset the mark.
double PeakLoadBytes(const std::string& path, double& outKeptBytes)
{
    ::malloc_trim(0); // what earlier loads freed goes back first, or a load reusing it would look free
    std::ofstream reset("/proc/self/clear_refs");
    reset << "5";
    reset.close();
    if (!reset)
        return -1.0;
    const double before = StatusKb("VmRSS:");
    const std::unique_ptr<SWworld> world = Load(path);
    const double peak = StatusKb("VmHWM:");
    outKeptBytes = world == nullptr ? -1.0 : (StatusKb("VmRSS:") - before) * 1024.0;
    return world == nullptr ? -1.0 : (peak - before) * 1024.0;
}

void BM_SaveFile(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    const int compression = static_cast<int>(state.range(1));
    World(which);
    const std::string path = PathOf(which, compression);
    size_t size = 0;
    for (auto _ : state) {
        if (!Save(which, compression, path, size)) {
            state.SkipWithError("the world was not saved");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
    state.counters["file_bytes"] = static_cast<double>(size);
}

void BM_LoadFile(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    const int compression = static_cast<int>(state.range(1));
    const std::string path = PathOf(which, compression);
    size_t size = 0;
    if (!Save(which, compression, path, size)) {
        state.SkipWithError("the world was not saved");
        return;
    }
    for (auto _ : state) {
        std::unique_ptr<SWworld> world = Load(path);
        if (world == nullptr) {
            state.SkipWithError("the world does not load");
            break;
        }
        state.PauseTiming();
        world.reset(); // letting go of a world is not part of loading it
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
    state.counters["file_bytes"] = static_cast<double>(size);
    double kept = 0.0;
    state.counters["peak_over_file"] = PeakLoadBytes(path, kept) / static_cast<double>(size);
    state.counters["kept_over_file"] = kept / static_cast<double>(size);
}

void Cases(benchmark::internal::Benchmark* bench)
{
    bench->ArgNames({"world", "compression"});
    for (const int which : {0, 1})
        for (const int compression : {0, 1, 2})
            bench->Args({which, compression});
    bench->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime(); // MB/s of wall time, fsync included
}

BENCHMARK(BM_SaveFile)->Apply(Cases);
BENCHMARK(BM_LoadFile)->Apply(Cases);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(Folder());
    return 0;
}
