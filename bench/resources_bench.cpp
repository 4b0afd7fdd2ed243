// Scene resources: the block filters' speed (MB/s of uncompressed bytes) and ratio (compressed / uncompressed) on
// four kinds of data a world stores, beside zlib at levels 1, 6 and 9 and, when their libraries are installed, lz4
// and zstd (loaded at run time, so their columns are simply absent without them); and the mesh's normal
// computation on public meshes (scripts/fetch-test-data), in milliseconds and triangles per second; and a published
// scene of meshes, pictures, key-frame tracks and vertex frames written with each scheme: the bytes of each kind's
// records, the file with and without the container's compression, and the time to publish and to load it. Run from
// the release build.
#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/core/document_file.h"
#include "engine/core/mesh_node.h"
#include "engine/core/object_node.h"
#include "engine/core/read_context.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "engine/resources/animation_schemes.h"
#include "engine/resources/array_block.h"
#include "engine/resources/block_filter.h"
#include "engine/resources/compression_scheme.h"
#include "engine/resources/image32.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/palette_image.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/wavelet_image.h"
#include "engine/resources/world_records.h"
#include "platform/base/color.h"
#include "testsupport/image/png_image.h"
#include "testsupport/mesh/mesh_corpus.h"
#include "testsupport/mesh/mesh_generators.h"
#include "testsupport/mesh/off_file.h"
#include "testsupport/mesh/polygon_chain.h"

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
    const std::unique_ptr<SWarrayblock> head = meshtest::PolygonChainOf(off);
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

// -- A published scene

std::filesystem::path ImageCorpusFolder()
{
    return meshtest::MeshCorpusFolder().parent_path() / "image";
}

struct SceneConfig {
    const char* label;
    const char* mesh;    // row id
    uint32_t setting;    // first mesh setting
    const char* blocks;  // "RAW", "LZS" or "DEF": the key-frame and vertex-stream rows K... and V...
    const char* texture; // "CI32", "WAVL" or "CIMG"
    int quality;
};

constexpr SceneConfig kSceneConfigs[] = {
    {"plain", "RMES", 4, "RAW", "CI32", 0},       {"IMES 2", "IMES", 2, "RAW", "CI32", 0},
    {"IMES 4", "IMES", 4, "RAW", "CI32", 0},      {"IMES 6", "IMES", 6, "RAW", "CI32", 0},
    {"blocks LZSS", "RMES", 4, "LZS", "CI32", 0}, {"blocks DEFLATE", "RMES", 4, "DEF", "CI32", 0},
    {"WAVL 30", "RMES", 4, "RAW", "WAVL", 30},    {"WAVL 50", "RMES", 4, "RAW", "WAVL", 50},
    {"WAVL 70", "RMES", 4, "RAW", "WAVL", 70},    {"WAVL 90", "RMES", 4, "RAW", "WAVL", 90},
    {"CIMG", "RMES", 4, "RAW", "CIMG", 0},        {"all compressed", "IMES", 4, "DEF", "WAVL", 70},
};

uint32_t RowId(const char* text)
{
    return static_cast<uint32_t>(text[0]) | static_cast<uint32_t>(text[1]) << 8 | static_cast<uint32_t>(text[2]) << 16 |
           static_cast<uint32_t>(text[3]) << 24;
}

uint32_t BlockRow(char kind, const char* filter)
{
    const char id[5] = {kind, filter[0], filter[1], filter[2], 0};
    return RowId(id);
}

std::vector<std::vector<uint32_t>> ScenePictures(std::vector<std::string>& names, std::vector<int>& sides)
{
    std::vector<std::vector<uint32_t>> pictures;
    for (const char* name : {"astronaut.png", "chelsea.png", "coffee.png", "brick.png"}) {
        std::string error;
        const auto png = testsupport::ReadPng((ImageCorpusFolder() / name).string(), error);
        if (!png)
            continue;
        std::vector<uint32_t> words(size_t(png->width) * png->height);
        for (size_t i = 0; i < words.size(); ++i)
            words[i] = pf::makePixel(png->pixels[i * 3 + 2], png->pixels[i * 3 + 1], png->pixels[i * 3], 255);
        pictures.push_back(std::move(words));
        names.push_back(name);
        sides.push_back(png->width);
        sides.push_back(png->height);
    }
    return pictures;
}

// The scene of one configuration: three corpus meshes (generated ones without the cache), the pictures, 50 object
// nodes with a track of 300 smoothly moving keys, and a mesh node with 30 vertex frames.
std::unique_ptr<SWworld> MakePublishScene(const SceneConfig& config)
{
    auto world = std::make_unique<SWworld>();
    const SWcompressionschemes& table = SWcompressionschemes::Table();
    std::vector<meshtest::OffMesh> offs;
    for (const char* name : {"bunny00.off", "armadillo.off", "ChineseDragon-10kv.off"})
        if (auto off = meshtest::ReadOffFile((meshtest::MeshCorpusFolder() / name).string()))
            offs.push_back(*off);
    if (offs.empty()) {
        offs.push_back(meshtest::MakeTorus(200, 100, true));
        offs.push_back(meshtest::MakeSphere(100, 200));
    }
    for (size_t i = 0; i < offs.size(); ++i) {
        std::unique_ptr<SWmeshobject> mesh = MeshObjectOf(offs[i]);
        mesh->SetName("mesh" + std::to_string(i));
        mesh->SetScheme(table.FindById(RowId(config.mesh)));
        mesh->SetUserSettings(config.setting, 4);
        mesh->Prepare();
        auto* added = static_cast<SWmeshobject*>(world->GetRootObject()->AddGeometry(std::move(mesh)));
        auto* node = new SWmeshnode(added); // the tree owns it from AddNode on
        node->SetName("meshnode" + std::to_string(i));
        node->SetGeometry(added);
        world->AddNode(node, nullptr);
        if (i == 0) {
            auto table30 = std::make_unique<VertexFrameTable>();
            const uint32_t vertices = added->GetVertexCount();
            if (table30->Allocate(30, vertices)) {
                for (uint32_t f = 0; f < 30; ++f) {
                    const std::span<float> frame = table30->GetFrameVertices(f);
                    for (uint32_t v = 0; v < vertices * 3; ++v)
                        frame[v] = added->GetBaseVertices()[v] * (1.0f + 0.01f * static_cast<float>(f));
                }
                table30->SetReady(true);
                node->SetVertexFrameTable(std::move(table30));
                node->SetVertexSchemeId(BlockRow('V', config.blocks));
            }
        }
    }
    for (int n = 0; n < 50; ++n) {
        auto* node = new SWobjectnode;
        node->SetName("animated" + std::to_string(n));
        AnimationTrack& track = node->GetAnimationTracks().AddTrack(std::string("Animation"));
        for (uint32_t frame = 0; frame < 300; ++frame) {
            const float a = 0.02f * static_cast<float>(frame) + 0.3f * static_cast<float>(n);
            SWmatrix m = SWmatrix::Rotation(a, 1);
            m.SetTranslation(10.0f * std::sin(0.01f * static_cast<float>(frame) + static_cast<float>(n)), 0.5f * n,
                             std::cos(0.013f * static_cast<float>(frame)));
            track.SetKey(frame, m);
        }
        node->SetKeyFrameSchemeId(BlockRow('K', config.blocks));
        world->AddNode(node, nullptr);
    }
    std::vector<std::string> names;
    std::vector<int> sides;
    const std::vector<std::vector<uint32_t>> pictures = ScenePictures(names, sides);
    for (size_t i = 0; i < pictures.size(); ++i) {
        const int w = sides[i * 2], h = sides[i * 2 + 1];
        std::unique_ptr<SWtexture> texture;
        if (std::string(config.texture) == "WAVL")
            texture = std::make_unique<SWwaveletimage>(names[i], w, h, pictures[i].data(), config.quality);
        else if (std::string(config.texture) == "CIMG")
            texture = std::make_unique<SWimage>(names[i], w, h, pictures[i].data());
        else
            texture = std::make_unique<SWimage32>(names[i], w, h, pictures[i].data());
        world->GetRootObject()->AddTexture(std::move(texture));
    }
    return world;
}

struct PublishedScene {
    std::unique_ptr<SWworld> world;
    std::vector<uint8_t> file; // published, payloads deflated where worth it
    size_t plainBytes = 0;     // the same records with no payload compressed
    size_t meshBytes = 0, textureBytes = 0, keyBytes = 0, vertexBytes = 0;
};

size_t RecordBytes(int kind, CVTN_Container* object)
{
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    return SWcompressionschemes::Table().WriteResource(kind, out, object, 0) ? buffer.Size() : 0;
}

PublishedScene& Published(size_t index)
{
    static std::vector<std::unique_ptr<PublishedScene>> scenes(std::size(kSceneConfigs));
    std::unique_ptr<PublishedScene>& scene = scenes[index];
    if (scene != nullptr)
        return *scene;
    scene = std::make_unique<PublishedScene>();
    scene->world = MakePublishScene(kSceneConfigs[index]);
    SWworld& world = *scene->world;
    if (WriteWorldFile(world, WorldFileMode::kPublished, scene->file) != DocumentStatus::kOk)
        scene->file.clear();
    DocumentWriteOptions options;
    options.compression = DocumentCompression::kNone;
    SWdocumentwriter writer(options);
    std::vector<uint8_t> plain;
    if (WriteWorldRecords(world, writer, kDocumentNoParent, WorldFileMode::kPublished) &&
        writer.Finish(plain) == DocumentStatus::kOk)
        scene->plainBytes = plain.size();
    for (SWtexture* t = world.GetRootObject()->GetFirstTexture(); t != nullptr; t = SWrootobject::GetNextTexture(t)) {
        SWbuffer buffer;
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        scene->textureBytes += WriteImagePayload(*t, out) ? buffer.Size() : 0;
    }
    SWnode* root = world.GetRootNode();
    for (SWnode* node = root; node != nullptr; node = node->NextInTree(root)) {
        auto* object = dynamic_cast<SWobjectnode*>(node);
        if (object == nullptr)
            continue;
        if (auto* meshNode = dynamic_cast<SWmeshnode*>(node); meshNode != nullptr) {
            scene->meshBytes += RecordBytes(4, meshNode->GetMeshObject());
            if (meshNode->GetVertexFrameTable() != nullptr) {
                SWvertexstreamblock block;
                block.CopyFrom(*meshNode->GetVertexFrameTable());
                block.SetScheme(SWcompressionschemes::Table().FindById(object->GetVertexSchemeId()));
                scene->vertexBytes += RecordBytes(3, &block);
            }
        }
        if (object->GetAnimationTracks().GetTrackCount() > 0) {
            SWkeyframeblock block;
            block.SetTracks(object->GetAnimationTracks());
            block.SetScheme(SWcompressionschemes::Table().FindById(object->GetKeyFrameSchemeId()));
            scene->keyBytes += RecordBytes(2, &block);
        }
    }
    (void)TakeKeptResourceReports();
    return *scene;
}

void SceneCounters(benchmark::State& state, const PublishedScene& scene)
{
    state.SetLabel(kSceneConfigs[static_cast<size_t>(state.range(0))].label);
    state.counters["file"] = static_cast<double>(scene.file.size());
    state.counters["uncompressed"] = static_cast<double>(scene.plainBytes);
    state.counters["meshes"] = static_cast<double>(scene.meshBytes);
    state.counters["textures"] = static_cast<double>(scene.textureBytes);
    state.counters["keyframes"] = static_cast<double>(scene.keyBytes);
    state.counters["vertices"] = static_cast<double>(scene.vertexBytes);
}

void BM_PublishScene(benchmark::State& state)
{
    PublishedScene& scene = Published(static_cast<size_t>(state.range(0)));
    if (scene.file.empty()) {
        state.SkipWithError("the scene was not published");
        return;
    }
    for (auto _ : state) {
        std::vector<uint8_t> bytes;
        benchmark::DoNotOptimize(WriteWorldFile(*scene.world, WorldFileMode::kPublished, bytes));
        benchmark::DoNotOptimize(bytes.data());
    }
    SceneCounters(state, scene);
}

void BM_LoadPublishedScene(benchmark::State& state)
{
    PublishedScene& scene = Published(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        SWdocumentfile file;
        if (SWdocumentfile::Parse(scene.file, file) != DocumentStatus::kOk) {
            state.SkipWithError("the scene does not read");
            break;
        }
        SWreadcontext context(SWreadcontext::IdMode::kKeep);
        const WorldLoadResult loaded = ReadWorldFile(file, context);
        if (loaded.status != DocumentStatus::kOk) {
            state.SkipWithError("the scene does not load");
            break;
        }
        benchmark::DoNotOptimize(loaded.world.get());
    }
    (void)TakeKeptResourceReports();
    SceneCounters(state, scene);
}

void SceneArguments(benchmark::internal::Benchmark* bench)
{
    for (size_t i = 0; i < std::size(kSceneConfigs); ++i)
        bench->Arg(static_cast<int64_t>(i));
}

BENCHMARK(BM_PublishScene)->Apply(SceneArguments)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadPublishedScene)->Apply(SceneArguments)->Unit(benchmark::kMillisecond)->Iterations(3);

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
