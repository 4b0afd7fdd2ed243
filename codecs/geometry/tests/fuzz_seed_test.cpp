// The seeds of the geometry codec's fuzz targets are valid streams of today's format. This test makes them; with
// VORTAN_WRITE_FUZZ_SEEDS=DIR it writes them to DIR/<target>/, and it checks the committed seeds are the same.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "codecs/geometry/bit_writer.h"
#include "codecs/geometry/connectivity_codec.h"
#include "codecs/geometry/geometry_codec.h"
#include "codecs/geometry/integer_coder.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/run_length.h"
#include "testsupport/mesh/face_set.h"
#include "testsupport/mesh/mesh_corpus.h"
#include "testsupport/mesh/mesh_generators.h"

namespace {

using Bytes = std::vector<uint8_t>;
using SeedSet = std::map<std::string, Bytes>; // "<target>/<name>" -> bytes

Bytes TopologyStream(const meshtest::OffMesh& mesh)
{
    const px::ConnectivityInput input{mesh.coordIndex, mesh.VertexCount()};
    Bytes stream;
    std::vector<px::ObjectMaps> maps;
    EXPECT_EQ(px::EncodeConnectivity({&input, 1}, stream, maps), px::PX_OK);
    return stream;
}

// Stage seeds: stage byte, size byte, then the body of a stream (the fuzz target supplies the header).
Bytes StageSeed(uint8_t stage, uint8_t shape, Bytes stream)
{
    Bytes seed(stream.begin() + 6, stream.end()); // the two bytes before the body make room for stage and shape
    seed[0] = stage;
    seed[1] = shape;
    return seed;
}

Bytes IntegerDataBody(uint8_t shape)
{
    // The items the fuzz target presets for this shape byte, with values that fit them.
    std::vector<px::DataItem> items(shape % 48);
    for (size_t i = 0; i < items.size(); ++i) {
        const bool absolute = (shape >> 6) != 0 && i % (shape >> 6) == 0;
        const uint8_t width = static_cast<uint8_t>((i * 7) % 33);
        items[i] = absolute ? px::DataItem{width == 0 ? 0 : 1, px::kModeAbsolute, width}
                            : px::DataItem{static_cast<int32_t>(i % 5) - 2, px::kModeDelta, 0};
    }
    px::BitWriter writer(1);
    EXPECT_EQ(px::EncodeIntegerData(writer, items), px::PX_OK);
    return writer.Finish();
}

// An 'MCPS' payload: u32 length and bytes of slots 0, 1, 4 and 5.
Bytes McpsPayload(const meshtest::OffMesh& mesh, bool uvs)
{
    px::PXIndexedFaceSet set = meshtest::FaceSetOf(mesh);
    if (uvs) {
        for (size_t v = 0; v < mesh.positions.size() / 3; ++v)
            set.texCoord.insert(set.texCoord.end(), {mesh.positions[3 * v], mesh.positions[3 * v + 1]});
        set.texCoordIndex = mesh.coordIndex;
    }
    px::PXModel model;
    EXPECT_EQ(model.SetLists({set}), px::PX_OK);
    px::PXStreamSet streams;
    EXPECT_EQ(px::CompressModel(model, streams, nullptr), px::PX_OK);
    Bytes payload;
    for (const uint32_t slot : {0u, 1u, 4u, 5u}) {
        const px::PXStream* stream = streams.GetSlot(slot);
        const uint32_t length = stream ? stream->GetLength() : 0;
        for (int shift = 0; shift < 32; shift += 8)
            payload.push_back(static_cast<uint8_t>(length >> shift));
        if (stream)
            payload.insert(payload.end(), stream->Bytes().begin(), stream->Bytes().end());
    }
    return payload;
}

// A payload whose position stream is cut to its first bytes: the topology claims far more vertices than the
// positions can hold, a claim the decoder must refuse before it builds them.
Bytes CutPositionsPayload(const meshtest::OffMesh& mesh, uint32_t keptBytes)
{
    Bytes payload = McpsPayload(mesh, false);
    const uint32_t length = payload[0] | payload[1] << 8 | payload[2] << 16 | static_cast<uint32_t>(payload[3]) << 24;
    EXPECT_GT(length, keptBytes);
    payload.erase(payload.begin() + 4 + keptBytes, payload.begin() + 4 + length);
    for (int shift = 0; shift < 32; shift += 8)
        payload[static_cast<size_t>(shift / 8)] = static_cast<uint8_t>(keptBytes >> shift);
    return payload;
}

SeedSet MakeSeeds()
{
    using namespace meshtest;
    SeedSet seeds;
    seeds["mesh_topology/tetrahedron"] = TopologyStream(MakeTetrahedron());
    seeds["mesh_topology/open_cube_quads"] = TopologyStream(MakeOpenCube());
    seeds["mesh_topology/bowtie"] = TopologyStream(MakeBowtie());
    seeds["mesh_topology/double_cone"] = TopologyStream(MakeDoubleCone());
    seeds["mesh_topology/torus_pieces"] = TopologyStream(Concatenate(MakeTorus(4, 3, true), MakePolygon(7), 5));
    seeds["mesh_stage/topology"] = StageSeed(0, 0, TopologyStream(MakeGrid(3, 2, false)));
    seeds["mesh_stage/integer_data"] = StageSeed(1, 0x53, IntegerDataBody(0x53));
    {
        std::vector<px::DataItem> items(40, px::DataItem{0, px::kModeDelta, 0});
        items[3].value = 5;
        px::BitWriter writer(3);
        EXPECT_EQ(px::EncodeZeroRuns(writer, items, 16), px::PX_OK);
        seeds["mesh_stage/zero_runs"] = StageSeed(2, 40, writer.Finish());
    }
    {
        px::BitWriter writer(2);
        px::EncodeFlagRuns(writer, std::vector<uint8_t>{0, 0, 1, 0, 0, 1, 1, 1, 1, 0, 1, 0});
        seeds["mesh_stage/flag_runs"] = StageSeed(3, 1, writer.Finish());
    }
    {
        px::BitWriter writer(6);
        EXPECT_EQ(px::EncodeValueRuns(writer, std::vector<uint32_t>{0, 0, 0, 0, 3, 1, 2, 2, 2, 2, 2, 9}), px::PX_OK);
        seeds["mesh_stage/value_runs"] = StageSeed(4, 1, writer.Finish());
    }
    {
        px::BitWriter writer(4);
        px::WriteIntArray(writer, std::vector<uint32_t>{16, 20, 3});
        seeds["mesh_stage/int_array"] = StageSeed(5, 1, writer.Finish());
    }
    seeds["mesh_mcps/tetrahedron_uv"] = McpsPayload(MakeTetrahedron(), true);
    seeds["mesh_mcps/open_cube"] = McpsPayload(MakeOpenCube(), false);
    seeds["mesh_mcps/bowtie_uv"] = McpsPayload(MakeBowtie(), true);
    seeds["mesh_mcps/torus_positions_cut"] = CutPositionsPayload(MakeTorus(60, 60, true), 40);
    seeds["mesh_topology/torus_regular"] = TopologyStream(MakeTorus(100, 100, true));
    // Encode seeds: vertex count, flags, three bytes per vertex, then index entries (255 ends a polygon).
    seeds["mesh_encode/quad_pair_uv"] = {4, 0x27, 0, 0, 0, 16, 0, 0, 16, 16, 0, 0, 16, 0, 0, 1, 2, 255, 0, 2, 3, 255};
    seeds["mesh_encode/bowtie"] = {5, 0x28, 0, 0, 0, 16, 8, 0, 16, 0, 0, 0, 8, 0, 0, 0, 0, 0, 2, 1, 255, 0, 3, 4};
    seeds["mesh_encode/invalid"] = {3, 0x01, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 255, 255, 2};
    seeds["mesh_encode/tetra_colours_normals"] = {4, 0xE3, 0,   0, 0, 16, 0,   0, 0, 16, 0,   0, 0, 16, 0,
                                                  2, 1,    255, 0, 1, 3,  255, 1, 2, 3,  255, 2, 0, 3};
    return seeds;
}

Bytes ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(FuzzSeeds, CommittedSeedsAreTodaysStreams)
{
    const SeedSet seeds = MakeSeeds();
    if (const char* target = std::getenv("VORTAN_WRITE_FUZZ_SEEDS")) {
        for (const auto& [name, bytes] : seeds) {
            const std::filesystem::path path = std::filesystem::path(target) / name;
            std::filesystem::create_directories(path.parent_path());
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        }
    }
    const char* source = std::getenv("VORTAN_SOURCE_DIR");
    if (!source) {
        if (meshtest::IsCiRun())
            FAIL() << "VORTAN_SOURCE_DIR not set in a CI run: the committed seeds went unchecked";
        GTEST_SKIP() << "VORTAN_SOURCE_DIR not set";
    }
    const std::filesystem::path corpus = std::filesystem::path(source) / "fuzz/codecs/corpus";
    for (const auto& [name, bytes] : seeds) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadFile(corpus / name), bytes);
    }
}

} // namespace
