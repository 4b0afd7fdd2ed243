// Geometry codec speed and size, single-threaded: encode and decode in input triangles and vertices per second,
// and the compressed sizes (connectivity bits per triangle, position bits per vertex, texture-coordinate bits per
// corner, total against raw). Meshes come from the public corpus when it has been fetched
// (scripts/fetch-test-data), else from generated tori and spheres; a 1.3 M-triangle subdivided icosahedron, made
// here and coded without texture coordinates, measures the decoder on one large mesh. Run from the release build.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "codecs/geometry/geometry_codec.h"
#include "codecs/geometry/px_result.h"
#include "testsupport/mesh/face_set.h"
#include "testsupport/mesh/mesh_corpus.h"
#include "testsupport/mesh/mesh_generators.h"
#include "testsupport/mesh/off_file.h"

namespace {

struct BenchMesh {
    std::string name;
    meshtest::OffMesh mesh;
    uint64_t triangles = 0;
    bool uvs = true; // texture coordinates per corner, as the mesh object gives them
};

constexpr uint32_t kIcosahedronLevels = 8;

uint64_t TriangleCount(const meshtest::OffMesh& mesh)
{
    uint64_t triangles = 0, sides = 0;
    for (const int32_t index : mesh.coordIndex) {
        if (index >= 0) {
            ++sides;
        } else {
            triangles += sides >= 3 ? sides - 2 : 0;
            sides = 0;
        }
    }
    return triangles + (sides >= 3 ? sides - 2 : 0);
}

std::vector<BenchMesh>& Meshes()
{
    static std::vector<BenchMesh> meshes = [] {
        std::vector<BenchMesh> list;
        for (const char* name : {"bunny00", "armadillo", "fandisk", "camel", "elephant", "ChineseDragon-10kv",
                                 "polygon_mesh", "blobby_3cc", "mech-holes-shark", "dino"}) {
            if (auto mesh =
                    meshtest::ReadOffFile((meshtest::MeshCorpusFolder() / (std::string(name) + ".off")).string()))
                list.push_back({name, std::move(*mesh), 0});
        }
        if (list.empty()) {
            list.push_back({"torus_200x100", meshtest::MakeTorus(200, 100, true), 0});
            list.push_back({"sphere_150x200", meshtest::MakeSphere(150, 200), 0});
        }
        list.push_back({"icosahedron_l8", meshtest::MakeSubdividedIcosahedron(kIcosahedronLevels), 0, false});
        for (BenchMesh& mesh : list)
            mesh.triangles = TriangleCount(mesh.mesh);
        return list;
    }();
    return meshes;
}

// The face set as the mesh object builds it: texture coordinates per corner through an index list, if any.
px::PXModel ModelOf(const BenchMesh& bench, uint32_t positionBits)
{
    const meshtest::OffMesh& mesh = bench.mesh;
    px::PXIndexedFaceSet set = meshtest::FaceSetOf(mesh);
    const std::span<const int32_t> corners =
        bench.uvs ? std::span<const int32_t>(mesh.coordIndex) : std::span<const int32_t>();
    for (const int32_t index : corners) {
        if (index < 0) {
            set.texCoordIndex.push_back(-1);
            continue;
        }
        set.texCoordIndex.push_back(static_cast<int32_t>(set.texCoord.size() / 2));
        set.texCoord.push_back(mesh.positions[3 * static_cast<size_t>(index)]);
        set.texCoord.push_back(mesh.positions[3 * static_cast<size_t>(index) + 1]);
    }
    px::PXModel model;
    model.SetLists({set});
    model.SetParam(px::kParamPositionBits, positionBits);
    model.SetParam(px::kParamTexCoordBits, 10);
    return model;
}

uint32_t SlotBytes(const px::PXStreamSet& streams, uint32_t slot)
{
    const px::PXStream* stream = streams.GetSlot(slot);
    return stream ? stream->GetLength() : 0;
}

void SetSizeCounters(benchmark::State& state, const BenchMesh& mesh, const px::PXStreamSet& streams)
{
    const double vertices = mesh.mesh.VertexCount();
    const double corners = static_cast<double>(mesh.mesh.coordIndex.size() - mesh.mesh.FaceCount());
    const double total = SlotBytes(streams, 0) + SlotBytes(streams, 1) + SlotBytes(streams, 4) + SlotBytes(streams, 5);
    const double raw = 12.0 * vertices + 12.0 * static_cast<double>(mesh.triangles) + 8.0 * corners;
    state.counters["conn_bits_per_tri"] = 8.0 * SlotBytes(streams, 1) / static_cast<double>(mesh.triangles);
    state.counters["pos_bits_per_vertex"] = 8.0 * SlotBytes(streams, 0) / vertices;
    state.counters["uv_bits_per_corner"] = 8.0 * (SlotBytes(streams, 4) + SlotBytes(streams, 5)) / corners;
    state.counters["ratio_to_raw"] = total / raw;
}

void BM_Encode(benchmark::State& state)
{
    const BenchMesh& mesh = Meshes()[static_cast<size_t>(state.range(0))];
    const px::PXModel model = ModelOf(mesh, static_cast<uint32_t>(state.range(1)));
    state.SetLabel(mesh.name);
    px::PXStreamSet streams;
    for (auto _ : state) {
        px::PXReorderMaps maps;
        if (px::CompressModel(model, streams, &maps) != px::PX_OK)
            state.SkipWithError("CompressModel failed");
        benchmark::DoNotOptimize(maps);
    }
    state.counters["triangles_per_s"] =
        benchmark::Counter(static_cast<double>(mesh.triangles), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["vertices_per_s"] =
        benchmark::Counter(mesh.mesh.VertexCount(), benchmark::Counter::kIsIterationInvariantRate);
    SetSizeCounters(state, mesh, streams);
}

void BM_Decode(benchmark::State& state)
{
    const BenchMesh& mesh = Meshes()[static_cast<size_t>(state.range(0))];
    const px::PXModel model = ModelOf(mesh, static_cast<uint32_t>(state.range(1)));
    state.SetLabel(mesh.name);
    px::PXStreamSet streams;
    if (px::CompressModel(model, streams, nullptr) != px::PX_OK) {
        state.SkipWithError("CompressModel failed");
        return;
    }
    for (auto _ : state) {
        px::PXModel decoded;
        if (px::DecompressModel(streams, decoded) != px::PX_OK)
            state.SkipWithError("DecompressModel failed");
        benchmark::DoNotOptimize(decoded);
    }
    state.counters["triangles_per_s"] =
        benchmark::Counter(static_cast<double>(mesh.triangles), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["vertices_per_s"] =
        benchmark::Counter(mesh.mesh.VertexCount(), benchmark::Counter::kIsIterationInvariantRate);
}

void MeshArguments(benchmark::internal::Benchmark* bench)
{
    for (int64_t i = 0; i < static_cast<int64_t>(Meshes().size()); ++i)
        for (const int64_t bits : {10, 12, 14, 18})
            bench->Args({i, bits});
}

BENCHMARK(BM_Encode)->Apply(MeshArguments)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->Apply(MeshArguments)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
