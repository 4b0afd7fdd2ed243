// The traversal's commands, the topology stream's packing, several objects in one stream, and the decoder
// against damaged streams: every truncation, single-bit flips, random tails. A damaged stream gives a code, or
// success with a structurally valid result; it never crashes or hangs.
#include "codecs/geometry/topology_stream.h"

#include <gtest/gtest.h>

#include <random>

#include "codecs/geometry/active_list.h"
#include "codecs/geometry/bit_writer.h"
#include "codecs/geometry/connectivity_codec.h"
#include "codecs/geometry/face_set_conversion.h"
#include "codecs/geometry/fan_split.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/vertex_graph.h"
#include "testsupport/mesh/connectivity_check.h"
#include "testsupport/mesh/mesh_generators.h"

namespace {

using Bytes = std::vector<uint8_t>;
using meshtest::OffMesh;

Bytes EncodeMesh(const OffMesh& mesh, std::vector<px::ObjectMaps>* outMaps = nullptr)
{
    const px::ConnectivityInput input{mesh.coordIndex, mesh.VertexCount()};
    Bytes stream;
    std::vector<px::ObjectMaps> maps;
    EXPECT_EQ(px::EncodeConnectivity({&input, 1}, stream, maps), px::PX_OK);
    if (outMaps)
        *outMaps = maps;
    return stream;
}

std::vector<px::TopologyCommand> CommandsOf(const OffMesh& mesh)
{
    px::TriangleMap map;
    EXPECT_EQ(px::TriangulateFaces(mesh.coordIndex, map), px::PX_OK);
    std::vector<std::array<uint32_t, 3>> triangles;
    for (const auto& t : px::MapTriangleCorners(map, mesh.coordIndex))
        triangles.push_back({static_cast<uint32_t>(t[0]), static_cast<uint32_t>(t[1]), static_cast<uint32_t>(t[2])});
    std::vector<px::FanRecord> fans;
    EXPECT_EQ(px::SplitNonManifoldVertices(triangles, map.polygons, fans), px::PX_OK);
    px::MeshGraph graph;
    EXPECT_EQ(px::BuildVertexGraph(fans, map.edgeFlags, graph), px::PX_OK);
    std::vector<px::TopologyCommand> commands;
    EXPECT_EQ(px::TraverseComponents(graph, commands), px::PX_OK);
    return commands;
}

TEST(TraverseComponents, TetrahedronIsAStartTriangleAndOneAdd)
{
    const auto commands = CommandsOf(meshtest::MakeTetrahedron());
    ASSERT_EQ(commands.size(), 4u);
    for (const auto& command : commands) {
        EXPECT_EQ(command.kind, px::CommandKind::kAdd);
        EXPECT_EQ(command.valence, 3u);
    }
}

TEST(TraverseComponents, SingleTriangleHasOneDummyOfValenceThree)
{
    const auto commands = CommandsOf(meshtest::MakeTriangle());
    int dummies = 0;
    for (const auto& command : commands)
        if (command.kind == px::CommandKind::kAddDummy) {
            ++dummies;
            EXPECT_EQ(command.valence, 3u);
        }
    EXPECT_EQ(dummies, 1);
    EXPECT_EQ(commands.size(), 4u);
}

TEST(TraverseComponents, TwoPiecesGiveTwoStartTriangles)
{
    const auto single = CommandsOf(meshtest::MakeTetrahedron());
    const auto both = CommandsOf(meshtest::Concatenate(meshtest::MakeTetrahedron(), meshtest::MakeTetrahedron(), 3));
    EXPECT_EQ(both.size(), 2 * single.size());
}

uint32_t FirstItemCount(const Bytes& stream)
{
    return (uint32_t{stream[10]} << 24) | (uint32_t{stream[11]} << 16) | (uint32_t{stream[12]} << 8) | stream[13];
}

TEST(PackTopology, RunOfFiveIsOneItemRunOfFourIsFour)
{
    for (const uint32_t run : {5u, 4u}) {
        px::ComponentRecord record;
        record.commands.assign(run, {px::CommandKind::kAdd, 4, 0, 0});
        record.commands.push_back({px::CommandKind::kAddDummy, 3, 0, 0});
        record.faceEdgeCounts = {3, 3, 2, 1};
        record.residualFlags = {1, 0};
        record.identification = {3, 1};
        Bytes stream;
        ASSERT_EQ(px::PackTopology(std::span(&record, 1), stream), px::PX_OK);
        EXPECT_EQ(FirstItemCount(stream), run == 5 ? 2u : 5u);
        std::vector<px::ComponentRecord> read;
        ASSERT_EQ(px::ReadTopology(stream, px::kAnyPositionCount, read), px::PX_OK);
        ASSERT_EQ(read.size(), 1u);
        ASSERT_EQ(read[0].commands.size(), record.commands.size());
        EXPECT_EQ(read[0].commands[run - 1].valence, 4u);
        EXPECT_EQ(read[0].commands[run].kind, px::CommandKind::kAddDummy);
        EXPECT_EQ(read[0].faceEdgeCounts, record.faceEdgeCounts);
        EXPECT_EQ(read[0].residualFlags, record.residualFlags);
        EXPECT_EQ(read[0].identification, record.identification);
    }
}

TEST(ReadTopology, ZeroObjectsAndWrongHeadersAreDamage)
{
    px::BitWriter writer(2);
    writer.PutBits(0, 16);
    const Bytes noObjects = writer.Finish();
    std::vector<px::ComponentRecord> read;
    EXPECT_EQ(px::ReadTopology(noObjects, px::kAnyPositionCount, read), px::PX_ERR);
    Bytes stream = EncodeMesh(meshtest::MakeCube());
    stream[2] = 'b';
    EXPECT_EQ(px::ReadTopology(stream, px::kAnyPositionCount, read), px::PX_ERR);
}

TEST(ReadTopologyLimits, RingEntriesNoClosedSurfaceCanHaveAreRefused)
{
    // Three vertices of valence 1000 claim 3000 ring entries; a closed surface of three vertices has 6 or fewer.
    // The bound is checked before the entries are allocated. A tetrahedron's valences stay within it.
    for (const uint32_t valence : {1000u, 3u}) {
        SCOPED_TRACE(valence);
        px::ComponentRecord record;
        record.commands.assign(3, {px::CommandKind::kAdd, valence, 0, 0});
        record.commands.push_back({px::CommandKind::kAdd, 3, 0, 0});
        Bytes stream;
        ASSERT_EQ(px::PackTopology(std::span(&record, 1), stream), px::PX_OK);
        std::vector<px::ComponentRecord> read;
        EXPECT_EQ(px::ReadTopology(stream, px::kAnyPositionCount, read), valence == 3 ? px::PX_OK : px::PX_ERR);
        EXPECT_EQ(read.empty(), valence != 3);
    }
}

TEST(ReadTopologyLimits, VerticesBeyondThePositionsAndTwinsAreRefused)
{
    // A regular torus packs its 40,000 vertices into runs of a few bytes. Each vertex needs a position record of
    // three bits or more, or an identification pair of two bits or more in this stream; fewer positions than
    // the vertices less what the stream's bits could name as twins is damage.
    const Bytes stream = EncodeMesh(meshtest::MakeTorus(200, 200, true));
    const uint64_t twinAllowance = (stream.size() - 8) * 8 / 2;
    ASSERT_LT(twinAllowance, 40000u);
    std::vector<px::ComponentRecord> read;
    EXPECT_EQ(px::ReadTopology(stream, 40000, read), px::PX_OK);
    EXPECT_EQ(read[0].VertexCount(), 40000u);
    EXPECT_EQ(px::ReadTopology(stream, 40000 - twinAllowance, read), px::PX_OK);
    EXPECT_EQ(px::ReadTopology(stream, 40000 - twinAllowance - 1, read), px::PX_ERR);
    EXPECT_TRUE(read.empty());
}

TEST(EncodeConnectivity, SeveralObjectsShareOneStream)
{
    const OffMesh a = meshtest::MakeSphere(6, 8);
    const OffMesh b = meshtest::MakeBowtie();
    const OffMesh c = meshtest::MakeGrid(3, 2, false);
    const px::ConnectivityInput inputs[] = {
        {a.coordIndex, a.VertexCount()}, {b.coordIndex, b.VertexCount()}, {c.coordIndex, c.VertexCount()}};
    Bytes stream;
    std::vector<px::ObjectMaps> maps;
    ASSERT_EQ(px::EncodeConnectivity(inputs, stream, maps), px::PX_OK);
    std::vector<px::DecodedConnectivity> decoded;
    ASSERT_EQ(px::DecodeConnectivity(stream, decoded), px::PX_OK);
    ASSERT_EQ(decoded.size(), 3u);
    const OffMesh* meshes[] = {&a, &b, &c};
    for (size_t o = 0; o < 3; ++o)
        EXPECT_EQ(meshtest::CheckConnectivity(meshes[o]->coordIndex, decoded[o].coordIndex, decoded[o].vertexCount,
                                              {maps[o].vertexMap, maps[o].faceMap, maps[o].cornerMap}),
                  "");
}

TEST(EncodeConnectivity, RefusalsLeaveTheOutputsEmpty)
{
    const OffMesh cube = meshtest::MakeCube();
    Bytes stream = {1, 2, 3};
    std::vector<px::ObjectMaps> maps(2);
    EXPECT_EQ(px::EncodeConnectivity({}, stream, maps), px::PX_EMPTYLIST);
    EXPECT_TRUE(stream.empty() && maps.empty());
    const std::vector<int32_t> outOfRange = {0, 1, 8, -1};
    const std::vector<int32_t> negative = {0, 1, -2, -1};
    const std::vector<int32_t> repeated = {0, 1, 1, -1};
    for (const auto* list : {&outOfRange, &negative, &repeated}) {
        const px::ConnectivityInput input{*list, cube.VertexCount()};
        EXPECT_EQ(px::EncodeConnectivity({&input, 1}, stream, maps), px::PXERR_INVALIDGEOMETRY);
        EXPECT_TRUE(stream.empty() && maps.empty());
    }
    const px::ConnectivityInput twoPositions{cube.coordIndex, 2};
    EXPECT_EQ(px::EncodeConnectivity({&twoPositions, 1}, stream, maps), px::PXERR_INVALIDGEOMETRY);
    const OffMesh triangle = meshtest::MakeTriangle();
    const std::vector<px::ConnectivityInput> tooMany(65536, {triangle.coordIndex, 3});
    EXPECT_EQ(px::EncodeConnectivity(tooMany, stream, maps), px::PXERR_INVALIDPARAMETER);
}

TEST(EncodeConnectivity, EncodingTwiceGivesTheSameBytes)
{
    const OffMesh mesh = meshtest::Concatenate(meshtest::MakeTorus(7, 5, false), meshtest::MakeDoubleCone(), 5);
    EXPECT_EQ(EncodeMesh(mesh), EncodeMesh(mesh));
}

// A decoded result that claims success must at least be usable: every index names a decoded vertex.
void ExpectStructurallyValid(const Bytes& stream)
{
    std::vector<px::DecodedConnectivity> decoded;
    const int result = px::DecodeConnectivity(stream, decoded);
    if (result != px::PX_OK) {
        EXPECT_EQ(result, px::PX_ERR);
        EXPECT_TRUE(decoded.empty());
        return;
    }
    for (const auto& object : decoded)
        for (const int32_t index : object.coordIndex)
            ASSERT_TRUE(index == -1 || (index >= 0 && static_cast<uint32_t>(index) < object.vertexCount));
}

std::vector<Bytes> ValidStreams()
{
    using namespace meshtest;
    return {EncodeMesh(MakeTetrahedron()),     EncodeMesh(MakeCube()),       EncodeMesh(MakeBowtie()),
            EncodeMesh(MakeGrid(4, 3, false)), EncodeMesh(MakeDoubleCone()), EncodeMesh(MakeTorus(5, 4, true)),
            EncodeMesh(MakePolygon(9))};
}

TEST(DecodeConnectivityDamaged, EveryTruncationIsRefused)
{
    for (const Bytes& valid : ValidStreams()) {
        for (size_t length = 0; length < valid.size(); ++length) {
            std::vector<px::DecodedConnectivity> decoded;
            EXPECT_EQ(px::DecodeConnectivity(Bytes(valid.begin(), valid.begin() + static_cast<long>(length)), decoded),
                      px::PX_ERR)
                << length;
        }
    }
}

TEST(DecodeConnectivityDamaged, SingleBitFlipsNeverBreakTheDecoder)
{
    for (const Bytes& valid : ValidStreams()) {
        for (size_t bit = 0; bit < std::min<size_t>(valid.size(), 512) * 8; ++bit) {
            Bytes damaged = valid;
            damaged[bit / 8] ^= static_cast<uint8_t>(0x80 >> (bit % 8));
            ExpectStructurallyValid(damaged);
        }
    }
}

TEST(DecodeConnectivityDamaged, RandomTailsAfterAValidHeader)
{
    std::mt19937 random(2024);
    for (int trial = 0; trial < 3000; ++trial) {
        Bytes stream = {'P', 'X', 'B', 'i', 'n', 13, 2, 0};
        const size_t length = random() % 64;
        for (size_t i = 0; i < length; ++i)
            stream.push_back(static_cast<uint8_t>(random()));
        ExpectStructurallyValid(stream);
    }
}

TEST(DecodeConnectivityDamaged, MutatedValidStreams)
{
    std::mt19937 random(77);
    const std::vector<Bytes> valid = ValidStreams();
    for (int trial = 0; trial < 3000; ++trial) {
        Bytes stream = valid[random() % valid.size()];
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int c = 0; c < changes; ++c) {
            const size_t at = 8 + random() % (stream.size() - 8);
            stream[at] = static_cast<uint8_t>(random());
        }
        ExpectStructurallyValid(stream);
    }
}

} // namespace
