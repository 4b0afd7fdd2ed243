// World files: save and load of a generated scene in MB/s of file, with payloads stored, LZSS-filtered and
// DEFLATE-filtered; the counter "file_bytes" is the document's size, so a change of speed can be told from a change
// of what was written. The scene is made here (nodes with names, matrices and groups, cameras, cursors), so no
// test-data cache is needed.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/camera_node.h"
#include "engine/core/document_file.h"
#include "engine/core/matrix.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/read_context.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"

namespace {

constexpr int kObjects = 20000;

std::unique_ptr<SWworld> MakeScene()
{
    auto world = std::make_unique<SWworld>();
    SWnode* parent = nullptr;
    for (int i = 0; i < kObjects; ++i) {
        auto* node = new SWobjectnode; // the tree owns it from AddNode on
        node->SetName("object" + std::to_string(i));
        node->SetInitialMatrix(SWmatrix::Translation(static_cast<float>(i % 97), static_cast<float>(i % 13), 1.5f));
        world->AddNode(node, i % 10 == 0 ? nullptr : parent);
        if (i % 10 == 0)
            parent = node;
    }
    for (int i = 0; i < 8; ++i) {
        auto* camera = new SWcameranode;
        camera->SetName("camera" + std::to_string(i));
        world->AddNode(camera, nullptr);
        world->AddCamera(camera);
    }
    for (int i = 0; i < 64; ++i)
        world->GetCursorList().Add("cursor" + std::to_string(i), static_cast<uint32_t>(i + 1));
    return world;
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

BENCHMARK(BM_Save)->Arg(0)->Arg(1)->Arg(2)->ArgName("compression")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load)->Arg(0)->Arg(1)->Arg(2)->ArgName("compression")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
