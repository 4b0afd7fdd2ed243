// Scene resources: the block filters' speed (MB/s of uncompressed bytes) and ratio (compressed / uncompressed) on
// four kinds of data a world stores, beside zlib at levels 1, 6 and 9 and, when their libraries are installed, lz4
// and zstd (loaded at run time, so their columns are simply absent without them); and the mesh's normal
// computation on public meshes (scripts/fetch-test-data), in milliseconds and triangles per second. Run from the
// release build.
#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/resources/array_block.h"
#include "engine/resources/block_filter.h"
#include "engine/resources/mesh_object.h"
#include "testsupport/mesh/mesh_corpus.h"
#include "testsupport/mesh/mesh_generators.h"
#include "testsupport/mesh/off_file.h"

namespace {

// -- The data

std::vector<uint8_t> BytesOfFloats(const std::vector<float>& floats)
{
    std::vector<uint8_t> bytes(floats.size() * 4);
    std::memcpy(bytes.data(), floats.data(), bytes.size());
    return bytes;
}

meshtest::OffMesh BenchMesh(const char* name)
{
    if (auto mesh = meshtest::ReadOffFile((meshtest::MeshCorpusFolder() / name).string()))
        return *mesh;
    return meshtest::MakeTorus(200, 100, true);
}

// 300 frames of 50 nodes, a 4 x 4 matrix each, moving smoothly: what key-frame blocks hold.
std::vector<uint8_t> KeyFrames()
{
    std::vector<float> floats;
    for (int frame = 0; frame < 300; ++frame)
        for (int node = 0; node < 50; ++node) {
            const float a = 0.02f * static_cast<float>(frame) + 0.3f * static_cast<float>(node);
            const float c = std::cos(a), s = std::sin(a);
            const float m[16] = {c,  0, s, 10.0f * std::sin(0.01f * frame + node),
                                 0,  1, 0, 0.5f * node,
                                 -s, 0, c, std::cos(0.013f * frame),
                                 0,  0, 0, 1};
            floats.insert(floats.end(), m, m + 16);
        }
    return BytesOfFloats(floats);
}

// 60 frames of a public mesh's positions moved by a sine: what vertex-stream blocks hold.
std::vector<uint8_t> VertexFrames()
{
    const meshtest::OffMesh mesh = BenchMesh("bunny00.off");
    std::vector<float> floats;
    for (int frame = 0; frame < 60; ++frame)
        for (size_t i = 0; i < mesh.positions.size(); i += 3) {
            const float wave = 0.01f * std::sin(0.2f * static_cast<float>(frame) + 8.0f * mesh.positions[i + 1]);
            floats.push_back(mesh.positions[i] + wave);
            floats.push_back(mesh.positions[i + 1]);
            floats.push_back(mesh.positions[i + 2] + wave);
        }
    return BytesOfFloats(floats);
}

// A mesh's stored arrays: positions, then three u32 indices per triangle.
std::vector<uint8_t> MeshArrays()
{
    const meshtest::OffMesh mesh = BenchMesh("armadillo.off");
    std::vector<uint8_t> bytes = BytesOfFloats(mesh.positions);
    for (const int32_t index : mesh.coordIndex)
        if (index >= 0)
            for (int b = 0; b < 4; ++b)
                bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(index) >> (8 * b)));
    return bytes;
}

// The 16-bit speech fixtures, headers and all.
std::vector<uint8_t> Speech()
{
    const char* root = std::getenv("VORTAN_SOURCE_DIR"); // else run from the source folder, as `make bench` does
    std::vector<uint8_t> bytes;
    for (const char* name : {"speech_8000_mono.wav", "speech_22050_mono.wav"}) {
        std::ifstream in(std::string(root != nullptr ? root : ".") + "/codecs/sound/tests/data/" + name,
                         std::ios::binary);
        bytes.insert(bytes.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return bytes;
}

struct DataKind {
    const char* name;
    std::vector<uint8_t> bytes;
};

const std::vector<DataKind>& Kinds()
{
    static const std::vector<DataKind> kinds = {
        {"key_frames", KeyFrames()},
        {"vertex_frames", VertexFrames()},
        {"mesh_arrays", MeshArrays()},
        {"speech16", Speech()},
    };
    return kinds;
}

// -- The peers, loaded when present

struct Lz4 {
    int (*compress)(const char*, char*, int, int) = nullptr;
    int (*decompress)(const char*, char*, int, int) = nullptr;
    int (*bound)(int) = nullptr;
    const char* (*version)() = nullptr;
};

struct Zstd {
    size_t (*compress)(void*, size_t, const void*, size_t, int) = nullptr;
    size_t (*decompress)(void*, size_t, const void*, size_t) = nullptr;
    size_t (*bound)(size_t) = nullptr;
    unsigned (*isError)(size_t) = nullptr;
    const char* (*version)() = nullptr;
};

template <typename F> void Bind(void* library, const char* name, F& out)
{
    out = reinterpret_cast<F>(dlsym(library, name));
}

const Lz4* Lz4Library()
{
    static const Lz4 lz4 = [] {
        Lz4 found;
        if (void* library = dlopen("liblz4.so.1", RTLD_NOW)) {
            Bind(library, "LZ4_compress_default", found.compress);
            Bind(library, "LZ4_decompress_safe", found.decompress);
            Bind(library, "LZ4_compressBound", found.bound);
            Bind(library, "LZ4_versionString", found.version);
        }
        return found;
    }();
    return lz4.compress && lz4.decompress && lz4.bound && lz4.version ? &lz4 : nullptr;
}

const Zstd* ZstdLibrary()
{
    static const Zstd zstd = [] {
        Zstd found;
        if (void* library = dlopen("libzstd.so.1", RTLD_NOW)) {
            Bind(library, "ZSTD_compress", found.compress);
            Bind(library, "ZSTD_decompress", found.decompress);
            Bind(library, "ZSTD_compressBound", found.bound);
            Bind(library, "ZSTD_isError", found.isError);
            Bind(library, "ZSTD_versionString", found.version);
        }
        return found;
    }();
    return zstd.compress && zstd.decompress && zstd.bound && zstd.isError && zstd.version ? &zstd : nullptr;
}

// -- One codec: encode and decode of a whole block

struct Codec {
    const char* name;
    bool (*encode)(const std::vector<uint8_t>& in, std::vector<uint8_t>& out);
    bool (*decode)(const std::vector<uint8_t>& in, size_t size, std::vector<uint8_t>& out);
    bool (*present)();
};

template <int Level> bool ZlibEncode(const std::vector<uint8_t>& in, std::vector<uint8_t>& out)
{
    uLongf size = compressBound(static_cast<uLong>(in.size()));
    out.resize(size);
    const bool done = compress2(out.data(), &size, in.data(), static_cast<uLong>(in.size()), Level) == Z_OK;
    out.resize(size);
    return done;
}

bool ZlibDecode(const std::vector<uint8_t>& in, size_t size, std::vector<uint8_t>& out)
{
    out.resize(size);
    uLongf outSize = static_cast<uLongf>(size);
    return uncompress(out.data(), &outSize, in.data(), static_cast<uLong>(in.size())) == Z_OK && outSize == size;
}

const Codec kCodecs[] = {
    {"lzss",
     [](const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
         auto block = EncodeBlock(BlockFilter::kLzss, in);
         if (block)
             out = std::move(*block);
         return block.has_value();
     },
     [](const std::vector<uint8_t>& in, size_t size, std::vector<uint8_t>& out) {
         return DecodeBlock(BlockFilter::kLzss, in, size, UINT64_MAX, out) == BlockFilterStatus::kOk;
     },
     [] { return true; }},
    {"deflate9_ours",
     [](const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
         auto block = EncodeBlock(BlockFilter::kDeflate, in);
         if (block)
             out = std::move(*block);
         return block.has_value();
     },
     [](const std::vector<uint8_t>& in, size_t size, std::vector<uint8_t>& out) {
         return DecodeBlock(BlockFilter::kDeflate, in, size, UINT64_MAX, out) == BlockFilterStatus::kOk;
     },
     [] { return true; }},
    {"zlib1", ZlibEncode<1>, ZlibDecode, [] { return true; }},
    {"zlib6", ZlibEncode<6>, ZlibDecode, [] { return true; }},
    {"zlib9", ZlibEncode<9>, ZlibDecode, [] { return true; }},
    {"lz4",
     [](const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
         const Lz4* lz4 = Lz4Library();
         out.resize(static_cast<size_t>(lz4->bound(static_cast<int>(in.size()))));
         const int size = lz4->compress(reinterpret_cast<const char*>(in.data()), reinterpret_cast<char*>(out.data()),
                                        static_cast<int>(in.size()), static_cast<int>(out.size()));
         out.resize(size > 0 ? static_cast<size_t>(size) : 0);
         return size > 0 || in.empty();
     },
     [](const std::vector<uint8_t>& in, size_t size, std::vector<uint8_t>& out) {
         out.resize(size);
         return Lz4Library()->decompress(reinterpret_cast<const char*>(in.data()), reinterpret_cast<char*>(out.data()),
                                         static_cast<int>(in.size()), static_cast<int>(size)) == static_cast<int>(size);
     },
     [] { return Lz4Library() != nullptr; }},
    {"zstd3",
     [](const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
         const Zstd* zstd = ZstdLibrary();
         out.resize(zstd->bound(in.size()));
         const size_t size = zstd->compress(out.data(), out.size(), in.data(), in.size(), 3);
         out.resize(zstd->isError(size) ? 0 : size);
         return zstd->isError(size) == 0;
     },
     [](const std::vector<uint8_t>& in, size_t size, std::vector<uint8_t>& out) {
         out.resize(size);
         return ZstdLibrary()->decompress(out.data(), size, in.data(), in.size()) == size;
     },
     [] { return ZstdLibrary() != nullptr; }},
};

void BM_FilterEncode(benchmark::State& state)
{
    const DataKind& kind = Kinds()[static_cast<size_t>(state.range(0))];
    const Codec& codec = kCodecs[state.range(1)];
    state.SetLabel(std::string(codec.name) + " " + kind.name);
    std::vector<uint8_t> out;
    for (auto _ : state)
        if (!codec.encode(kind.bytes, out))
            state.SkipWithError("encode failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kind.bytes.size()));
    state.counters["ratio"] = static_cast<double>(out.size()) / static_cast<double>(kind.bytes.size());
    state.counters["input_bytes"] = static_cast<double>(kind.bytes.size());
}

void BM_FilterDecode(benchmark::State& state)
{
    const DataKind& kind = Kinds()[static_cast<size_t>(state.range(0))];
    const Codec& codec = kCodecs[state.range(1)];
    state.SetLabel(std::string(codec.name) + " " + kind.name);
    std::vector<uint8_t> encoded, out;
    codec.encode(kind.bytes, encoded);
    for (auto _ : state)
        if (!codec.decode(encoded, kind.bytes.size(), out))
            state.SkipWithError("decode failed");
    if (out != kind.bytes)
        state.SkipWithError("decoded bytes differ");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kind.bytes.size()));
}

void FilterArguments(benchmark::internal::Benchmark* bench)
{
    for (int kind = 0; kind < 4; ++kind)
        for (int codec = 0; codec < static_cast<int>(std::size(kCodecs)); ++codec)
            if (kCodecs[codec].present())
                bench->Args({kind, codec});
}

BENCHMARK(BM_FilterEncode)->Apply(FilterArguments)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterDecode)->Apply(FilterArguments)->Unit(benchmark::kMillisecond);

// -- Normals

struct LoadedMesh {
    std::string name;
    std::unique_ptr<SWmeshobject> mesh;
};

std::unique_ptr<SWmeshobject> MeshObjectOf(const meshtest::OffMesh& off)
{
    auto mesh = std::make_unique<SWmeshobject>();
    mesh->SetVertices(std::vector<float>(off.positions));
    std::unique_ptr<SWarrayblock> head;
    SWarrayblock* last = nullptr;
    std::vector<uint32_t> corners;
    for (const int32_t index : off.coordIndex) {
        if (index >= 0) {
            corners.push_back(static_cast<uint32_t>(index));
            continue;
        }
        auto block = std::make_unique<SWarrayblock>(std::move(corners), false, std::vector<uint32_t>{}, 0, nullptr);
        corners = {};
        SWarrayblock* const added = block.get();
        if (last == nullptr)
            head = std::move(block);
        else
            last->Append(std::move(block));
        last = added;
    }
    mesh->BuildPolygonIndices(head.get());
    return mesh;
}

const std::vector<LoadedMesh>& NormalMeshes()
{
    static const std::vector<LoadedMesh> meshes = [] {
        std::vector<LoadedMesh> list;
        for (const char* name : {"bunny00.off", "armadillo.off", "ChineseDragon-10kv.off"})
            if (auto off = meshtest::ReadOffFile((meshtest::MeshCorpusFolder() / name).string()))
                list.push_back({name, MeshObjectOf(*off)});
        if (list.empty())
            list.push_back({"torus_400x250", MeshObjectOf(meshtest::MakeTorus(400, 250, true))});
        return list;
    }();
    return meshes;
}

void BM_ComputeNormals(benchmark::State& state)
{
    const LoadedMesh& loaded = NormalMeshes()[static_cast<size_t>(state.range(0))];
    SWmeshobject& mesh = *loaded.mesh;
    state.SetLabel(loaded.name);
    for (auto _ : state) {
        mesh.ComputeNormals();
        benchmark::DoNotOptimize(mesh.GetNormals());
    }
    state.counters["triangles"] = mesh.GetPolygonCount();
    state.counters["triangles_per_s"] =
        benchmark::Counter(mesh.GetPolygonCount(), benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_ComputeNormals)
    ->Apply([](benchmark::internal::Benchmark* bench) {
        for (size_t i = 0; i < NormalMeshes().size(); ++i)
            bench->Arg(static_cast<int64_t>(i));
    })
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    std::printf("zlib %s", zlibVersion());
    if (const Lz4* lz4 = Lz4Library())
        std::printf(", lz4 %s", lz4->version());
    if (const Zstd* zstd = ZstdLibrary())
        std::printf(", zstd %s", zstd->version());
    std::printf("\n");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
