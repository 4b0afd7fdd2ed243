// CompressModel and DecompressModel end to end: as the mesh object drives them (triangles, a texture-coordinate
// index list of three entries and -1 per triangle, slots 0, 1, 4 and 5 kept), with error bounds checked through
// the reorder maps, the shape stream, the refusals, and damaged stream sets.
#include "codecs/geometry/geometry_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

#include "codecs/geometry/position_coder.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/quantisation.h"
#include "codecs/geometry/topology_coder.h"
#include "testsupport/mesh/connectivity_check.h"
#include "testsupport/mesh/face_set.h"
#include "testsupport/mesh/mesh_generators.h"
#include "testsupport/mesh/polygon_list.h"

namespace {

using meshtest::OffMesh;

// Polygons split into fans, as the mesh object holds them.
OffMesh Triangulated(const OffMesh& mesh)
{
    OffMesh out;
    out.positions = mesh.positions;
    for (const std::vector<int32_t>& polygon : meshtest::PolygonsOf(mesh.coordIndex))
        for (size_t k = 2; k < polygon.size(); ++k)
            out.coordIndex.insert(out.coordIndex.end(), {polygon[0], polygon[k - 1], polygon[k], -1});
    return out;
}

// Every `every`-th polygon turned over, so that neighbours disagree in winding along its edges and the encoder
// must split the vertices around it.
OffMesh WithTurnedFaces(const OffMesh& mesh, size_t every)
{
    OffMesh out;
    out.positions = mesh.positions;
    size_t face = 0;
    for (std::vector<int32_t> polygon : meshtest::PolygonsOf(mesh.coordIndex)) {
        if (face++ % every == 0)
            std::reverse(polygon.begin(), polygon.end());
        out.coordIndex.insert(out.coordIndex.end(), polygon.begin(), polygon.end());
        out.coordIndex.push_back(-1);
    }
    return out;
}

// The face set the mesh object builds: texture vertices of its own, three indices and -1 per triangle.
px::PXIndexedFaceSet MeshFaceSet(const OffMesh& mesh, bool perCornerUv)
{
    px::PXIndexedFaceSet set = meshtest::FaceSetOf(mesh);
    uint32_t corner = 0;
    for (const int32_t index : mesh.coordIndex) {
        if (index < 0) {
            set.texCoordIndex.push_back(-1);
            continue;
        }
        const float* p = &mesh.positions[3 * static_cast<size_t>(index)];
        const float u = 0.25f * p[0] + 0.1f * p[2] + (perCornerUv ? 0.01f * static_cast<float>(corner % 3) : 0.0f);
        const float v = 0.25f * p[1] - 0.05f * p[2];
        set.texCoordIndex.push_back(static_cast<int32_t>(set.texCoord.size() / 2));
        set.texCoord.insert(set.texCoord.end(), {u, v});
        ++corner;
    }
    return set;
}

struct Trip {
    int compress = -1;
    int decompress = -1;
    px::PXIndexedFaceSet decoded;
    px::PXReorderMaps maps;
    px::PXStreamSet streams;
};

// Compresses, keeps only the slots the mesh stores, and decompresses them.
Trip MeshRoundTrip(const px::PXIndexedFaceSet& set, uint32_t positionBits, uint32_t texBits)
{
    Trip trip;
    px::PXModel model;
    EXPECT_EQ(model.SetLists({set}), px::PX_OK);
    model.SetParam(px::kParamPositionBits, positionBits);
    model.SetParam(px::kParamTexCoordBits, texBits);
    trip.compress = px::CompressModel(model, trip.streams, &trip.maps);
    if (trip.compress != px::PX_OK)
        return trip;
    px::PXStreamSet stored;
    for (const uint32_t slot : {0u, 1u, 4u, 5u}) {
        if (const px::PXStream* stream = trip.streams.GetSlot(slot)) {
            px::PXStream copy;
            EXPECT_EQ(copy.Attach(std::vector<uint8_t>(stream->Bytes().begin(), stream->Bytes().end())), px::PX_OK);
            stored.SetSlot(slot, copy);
        }
    }
    px::PXModel decoded;
    trip.decompress = px::DecompressModel(stored, decoded);
    if (trip.decompress == px::PX_OK && decoded.Count() == 1) {
        trip.decoded = decoded.Lists()[0];
        EXPECT_EQ(decoded.Params(0).words, (std::array<uint32_t, 10>{10, 0, 8, 0, 8, 0, 6, 0, 0, 0}));
    }
    return trip;
}

float LargestExtent(std::span<const float> values, uint32_t dims, std::span<const int32_t> used)
{
    float extent = 0;
    for (uint32_t axis = 0; axis < dims; ++axis) {
        float lo = INFINITY, hi = -INFINITY;
        for (const int32_t index : used) {
            if (index < 0)
                continue;
            lo = std::min(lo, values[dims * static_cast<size_t>(index) + axis]);
            hi = std::max(hi, values[dims * static_cast<size_t>(index) + axis]);
        }
        extent = std::max(extent, hi - lo);
    }
    return extent;
}

// Connectivity exact, positions and texture coordinates at every corner within half a quantisation step.
void ExpectWithinBounds(const px::PXIndexedFaceSet& input, const Trip& trip, uint32_t positionBits, uint32_t texBits)
{
    ASSERT_EQ(trip.compress, px::PX_OK);
    ASSERT_EQ(trip.decompress, px::PX_OK);
    const px::ObjectMaps& maps = trip.maps.objects.at(0);
    const px::PXIndexedFaceSet& out = trip.decoded;
    ASSERT_EQ(meshtest::CheckConnectivity(input.coordIndex, out.coordIndex, out.PositionCount(),
                                          {maps.vertexMap, maps.faceMap, maps.cornerMap}),
              "");
    const float e = LargestExtent(input.coord, 3, input.coordIndex);
    const double positionBound = e / (2.0 * static_cast<double>(px::QuantisationScale(positionBits, 10))) + 1e-6 * e;
    for (uint32_t v = 0; v < out.PositionCount(); ++v)
        for (int axis = 0; axis < 3; ++axis)
            ASSERT_LE(std::fabs(out.coord[3 * v + axis] - input.coord[3 * maps.vertexMap[v] + axis]), positionBound)
                << "vertex " << v;
    if (input.texCoord.empty())
        return;
    ASSERT_EQ(out.texCoordIndex.size(), out.coordIndex.size());
    const float te = LargestExtent(input.texCoord, 2, input.texCoordIndex);
    const double texBound = te / (2.0 * static_cast<double>(px::QuantisationScale(texBits, 8))) + 1e-6 * te + 1e-7;
    for (size_t k = 0; k < out.coordIndex.size(); ++k) {
        if (out.coordIndex[k] < 0)
            continue;
        const size_t inputCorner = static_cast<size_t>(maps.cornerMap[k]);
        const int32_t decodedIndex = out.texCoordIndex[k];
        const int32_t inputIndex = input.texCoordIndex[inputCorner];
        ASSERT_GE(decodedIndex, 0);
        for (int axis = 0; axis < 2; ++axis)
            ASSERT_LE(std::fabs(out.texCoord[2 * static_cast<size_t>(decodedIndex) + axis] -
                                input.texCoord[2 * static_cast<size_t>(inputIndex) + axis]),
                      texBound)
                << "corner " << k;
    }
}

TEST(GeometryCodecMeshDriven, SettingsRangeRoundTripsWithinBounds)
{
    const OffMesh meshes[] = {
        Triangulated(meshtest::MakeSphere(10, 14)), Triangulated(meshtest::MakeTorus(9, 7, true)),
        Triangulated(meshtest::MakeGrid(8, 5, true)),
        Triangulated(meshtest::Concatenate(meshtest::MakeBowtie(), meshtest::MakeDoubleCone(), 4)),
        WithTurnedFaces(Triangulated(meshtest::MakeTorus(9, 7, true)), 3)};
    for (const OffMesh& mesh : meshes) {
        for (uint32_t setting = 0; setting <= 8; setting += 2) {
            const uint32_t positionBits = 10 + setting;
            const uint32_t texBits = 6 + std::min<uint32_t>(setting, 6);
            SCOPED_TRACE(positionBits);
            const px::PXIndexedFaceSet set = MeshFaceSet(mesh, setting % 4 == 2);
            ExpectWithinBounds(set, MeshRoundTrip(set, positionBits, texBits), positionBits, texBits);
        }
    }
}

TEST(GeometryCodecMeshDriven, CubeWithItsOwnUvsPerFace)
{
    OffMesh cube = Triangulated(meshtest::MakeCube());
    px::PXIndexedFaceSet set = meshtest::FaceSetOf(cube);
    const float quad[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (size_t t = 0; t < cube.coordIndex.size() / 4; ++t) {
        const int corners[2][3] = {{0, 1, 2}, {0, 2, 3}};
        for (const int c : corners[t % 2]) {
            set.texCoordIndex.push_back(static_cast<int32_t>(set.texCoord.size() / 2));
            set.texCoord.insert(set.texCoord.end(), {quad[c][0] + static_cast<float>(t / 2), quad[c][1]});
        }
        set.texCoordIndex.push_back(-1);
    }
    ExpectWithinBounds(set, MeshRoundTrip(set, 12, 10), 12, 10);
}

TEST(GeometryCodecMeshDriven, AllUvsAtTheOriginStayThere)
{
    px::PXIndexedFaceSet set = MeshFaceSet(Triangulated(meshtest::MakeTorus(6, 5, true)), false);
    std::fill(set.texCoord.begin(), set.texCoord.end(), 0.0f);
    const Trip trip = MeshRoundTrip(set, 10, 8);
    ExpectWithinBounds(set, trip, 10, 8);
    for (const float value : trip.decoded.texCoord)
        EXPECT_EQ(value, 0.0f);
}

TEST(GeometryCodecMeshDriven, ObjectFarFromTheOriginKeepsItsPrecision)
{
    OffMesh mesh = Triangulated(meshtest::MakeSphere(6, 8));
    for (size_t i = 0; i < mesh.positions.size(); i += 3)
        mesh.positions[i] = 40000.0f + 0.5f * mesh.positions[i];
    const px::PXIndexedFaceSet set = MeshFaceSet(mesh, false);
    ExpectWithinBounds(set, MeshRoundTrip(set, 10, 8), 10, 8); // the box spans 1 unit, not 40000
}

TEST(GeometryCodecMeshDriven, EncodingTwiceGivesTheSameStreams)
{
    const px::PXIndexedFaceSet set = MeshFaceSet(Triangulated(meshtest::MakeTorus(7, 6, true)), true);
    const Trip first = MeshRoundTrip(set, 14, 10);
    const Trip second = MeshRoundTrip(set, 14, 10);
    for (uint32_t slot = 0; slot < 9; ++slot) {
        const px::PXStream* a = first.streams.GetSlot(slot);
        const px::PXStream* b = second.streams.GetSlot(slot);
        ASSERT_EQ(a == nullptr, b == nullptr);
        if (a) {
            EXPECT_TRUE(std::equal(a->Bytes().begin(), a->Bytes().end(), b->Bytes().begin(), b->Bytes().end()));
        }
    }
}

TEST(GeometryCodecMeshDriven, SubdividedIcosahedronIsClosedOnTheSphereAndRoundTrips)
{
    for (const uint32_t levels : {0u, 1u, 3u}) {
        SCOPED_TRACE(levels);
        const OffMesh mesh = meshtest::MakeSubdividedIcosahedron(levels);
        ASSERT_EQ(mesh.FaceCount(), 20u << (2 * levels));
        ASSERT_EQ(mesh.VertexCount(), (10u << (2 * levels)) + 2);
        for (size_t v = 0; v < mesh.positions.size(); v += 3)
            EXPECT_NEAR(std::hypot(mesh.positions[v], mesh.positions[v + 1], mesh.positions[v + 2]), 1.0, 1e-6);
        // A closed surface wound one way holds every directed edge once and its reverse once.
        std::map<std::pair<int32_t, int32_t>, int> edges;
        for (const std::vector<int32_t>& face : meshtest::PolygonsOf(mesh.coordIndex))
            for (size_t k = 0; k < face.size(); ++k)
                ++edges[{face[k], face[(k + 1) % face.size()]}];
        for (const auto& [edge, count] : edges)
            ASSERT_TRUE(count == 1 && edges.count({edge.second, edge.first}) == 1);
        const Trip trip = MeshRoundTrip(meshtest::FaceSetOf(mesh), 12, 10);
        ASSERT_EQ(trip.decompress, px::PX_OK);
        EXPECT_EQ(meshtest::CheckConnectivity(
                      mesh.coordIndex, trip.decoded.coordIndex, trip.decoded.PositionCount(),
                      {trip.maps.objects[0].vertexMap, trip.maps.objects[0].faceMap, trip.maps.objects[0].cornerMap}),
                  "");
    }
}

TEST(GeometryCodecShape, FlagsExactAndCreaseAngleInEightBits)
{
    px::PXIndexedFaceSet set = MeshFaceSet(Triangulated(meshtest::MakeTetrahedron()), false);
    const float angles[] = {3.141592653f, 0.0f, 4.712389f, -1.0f, 1.0f};
    const float expected[] = {3.141592653f, 0.0f, 3.141592653f, 0.0f, static_cast<float>(81 / 255.0 * 3.141592653)};
    for (size_t i = 0; i < std::size(angles); ++i) {
        set.creaseAngle = angles[i];
        set.shapeFlags = {static_cast<uint8_t>(i % 2), 7, 0};
        px::PXModel model;
        ASSERT_EQ(model.SetLists({set}), px::PX_OK);
        px::PXStreamSet streams;
        ASSERT_EQ(px::CompressModel(model, streams, nullptr), px::PX_OK);
        px::PXModel decoded;
        ASSERT_EQ(px::DecompressModel(streams, decoded), px::PX_OK);
        EXPECT_FLOAT_EQ(decoded.Lists()[0].creaseAngle, expected[i]) << angles[i];
        EXPECT_EQ(decoded.Lists()[0].shapeFlags, (std::array<uint8_t, 3>{static_cast<uint8_t>(i % 2), 1, 0}));
    }
}

TEST(GeometryCodecRefusals, InvalidGeometryLeavesTheStreamSetUntouched)
{
    const px::PXIndexedFaceSet good = MeshFaceSet(Triangulated(meshtest::MakeTetrahedron()), false);
    std::vector<std::pair<const char*, px::PXIndexedFaceSet>> cases;
    auto add = [&](const char* name, auto change) {
        px::PXIndexedFaceSet set = good;
        change(set);
        cases.emplace_back(name, set);
    };
    add("repeated vertex", [](auto& s) { s.coordIndex[1] = s.coordIndex[0]; });
    add("polygon of two", [](auto& s) {
        s.coordIndex = {0, 1, -1, 1, 2, 3};
        s.texCoordIndex.clear();
        s.texCoord.clear();
    });
    add("index out of range", [](auto& s) { s.coordIndex[2] = 4; });
    add("attribute index out of range", [](auto& s) { s.texCoordIndex[0] = static_cast<int32_t>(s.texCoord.size()); });
    add("negative attribute index", [](auto& s) { s.texCoordIndex[0] = -3; });
    add("short index list", [](auto& s) {
        s.texCoordIndex.pop_back();
        s.texCoordIndex.pop_back();
    });
    add("texture count differs without an index list", [](auto& s) { s.texCoordIndex.clear(); });
    add("fewer than three positions", [](auto& s) { s.coord.resize(6); });
    for (const auto& [name, set] : cases) {
        SCOPED_TRACE(name);
        px::PXModel model;
        ASSERT_EQ(model.SetLists({set}), px::PX_OK);
        px::PXStreamSet streams;
        px::PXStream marker;
        ASSERT_EQ(marker.Attach({'P', 'X', 'B', 'i', 'n', 13, 3, 0}), px::PX_OK);
        streams.SetSlot(2, marker);
        EXPECT_EQ(px::CompressModel(model, streams, nullptr), px::PXERR_INVALIDGEOMETRY);
        EXPECT_EQ(streams.GetSlot(0), nullptr);
        EXPECT_EQ(streams.GetSlot(1), nullptr);
        ASSERT_NE(streams.GetSlot(2), nullptr);
    }
}

TEST(GeometryCodecRefusals, CountsParametersAndMissingSlots)
{
    px::PXModel empty;
    px::PXStreamSet streams;
    EXPECT_EQ(px::CompressModel(empty, streams, nullptr), px::PX_EMPTYLIST);
    px::PXModel model;
    ASSERT_EQ(model.SetLists({MeshFaceSet(Triangulated(meshtest::MakeTetrahedron()), false)}), px::PX_OK);
    for (const auto& [word, value] : {std::pair{0u, 0u}, {0u, 25u}, {4u, 0u}, {4u, 16u}, {6u, 13u}}) {
        px::PXModel bad = model;
        bad.SetParam(word, value);
        EXPECT_EQ(px::CompressModel(bad, streams, nullptr), px::PXERR_INVALIDPARAMETER) << word << " " << value;
    }
    ASSERT_EQ(px::CompressModel(model, streams, nullptr), px::PX_OK);
    px::PXStreamSet noTopology = streams;
    noTopology.ClearSlot(1);
    px::PXModel decoded;
    EXPECT_EQ(px::DecompressModel(noTopology, decoded), px::PX_EMPTYBITSTREAM);
    px::PXStreamSet swapped;
    swapped.SetSlot(0, *streams.GetSlot(1));
    swapped.SetSlot(1, *streams.GetSlot(0));
    EXPECT_EQ(px::DecompressModel(swapped, decoded), px::PX_ERR);
    EXPECT_EQ(decoded.Count(), 0u);
    std::vector<uint8_t> otherVersion(streams.GetSlot(0)->Bytes().begin(), streams.GetSlot(0)->Bytes().end());
    otherVersion[5] = 12;
    px::PXStream older;
    ASSERT_EQ(older.Attach(otherVersion), px::PX_OK);
    px::PXStreamSet oldSet = streams;
    oldSet.SetSlot(0, older);
    EXPECT_EQ(px::DecompressModel(oldSet, decoded), px::PXERR_VERSIONMISMATCH);
}

// A damaged set gives a code, or success with index lists that name existing values.
void ExpectUsable(const px::PXStreamSet& streams)
{
    px::PXModel model;
    const int result = px::DecompressModel(streams, model);
    if (result != px::PX_OK)
        return;
    for (const px::PXIndexedFaceSet& set : model.Lists()) {
        for (const int32_t index : set.coordIndex)
            ASSERT_TRUE(index == -1 || (index >= 0 && static_cast<uint32_t>(index) < set.PositionCount()));
        for (const int32_t index : set.texCoordIndex)
            ASSERT_TRUE(index == -1 || (index >= 0 && static_cast<size_t>(index) < set.texCoord.size() / 2));
        if (!set.texCoordIndex.empty()) {
            ASSERT_EQ(set.texCoordIndex.size(), set.coordIndex.size());
        }
    }
}

TEST(GeometryCodecDamaged, TruncationsAndBitFlipsOfEverySlot)
{
    const px::PXIndexedFaceSet set = MeshFaceSet(Triangulated(meshtest::MakeTorus(5, 4, true)), true);
    Trip trip = MeshRoundTrip(set, 12, 8);
    ASSERT_EQ(trip.compress, px::PX_OK);
    for (const uint32_t slot : {0u, 1u, 4u, 5u, 8u}) {
        const std::vector<uint8_t> valid(trip.streams.GetSlot(slot)->Bytes().begin(),
                                         trip.streams.GetSlot(slot)->Bytes().end());
        for (size_t length = 0; length < valid.size(); ++length) {
            px::PXStreamSet damaged = trip.streams;
            px::PXStream cut;
            cut.Attach(std::vector<uint8_t>(valid.begin(), valid.begin() + static_cast<long>(length)));
            damaged.SetSlot(slot, cut);
            ExpectUsable(damaged);
        }
        for (size_t bit = 64; bit < std::min<size_t>(valid.size(), 512) * 8; ++bit) {
            std::vector<uint8_t> flipped = valid;
            flipped[bit / 8] ^= static_cast<uint8_t>(0x80 >> (bit % 8));
            px::PXStreamSet damaged = trip.streams;
            px::PXStream stream;
            ASSERT_EQ(stream.Attach(flipped), px::PX_OK);
            damaged.SetSlot(slot, stream);
            ExpectUsable(damaged);
        }
    }
}

TEST(GeometryCodecDamaged, PositionStreamTooShortForTheTopologyIsRefused)
{
    // MaxPositionsIn never promises less room than a real position stream has; cut to its first 40 bytes, the
    // stream has room for 85 positions, so the torus's 22,500 vertices are refused before any graph is built.
    px::PXModel model;
    ASSERT_EQ(model.SetLists({meshtest::FaceSetOf(meshtest::MakeTorus(150, 150, true))}), px::PX_OK);
    px::PXStreamSet streams;
    ASSERT_EQ(px::CompressModel(model, streams, nullptr), px::PX_OK);
    const std::span<const uint8_t> positions = streams.GetSlot(0)->Bytes();
    EXPECT_GE(px::MaxPositionsIn(positions), 22500u);
    std::vector<px::DecodedTopology> topology;
    EXPECT_EQ(px::DecodeTopology(streams.GetSlot(1)->Bytes(), px::MaxPositionsIn(positions), topology), px::PX_OK);
    EXPECT_EQ(px::DecodeTopology(streams.GetSlot(1)->Bytes(), px::MaxPositionsIn(positions.first(40)), topology),
              px::PX_ERR);
    EXPECT_TRUE(topology.empty());

    px::PXStream cut;
    ASSERT_EQ(cut.Attach({positions.begin(), positions.begin() + 40}), px::PX_OK);
    streams.SetSlot(0, std::move(cut));
    px::PXModel decoded;
    EXPECT_EQ(px::DecompressModel(streams, decoded), px::PX_ERR);
    EXPECT_EQ(decoded.Count(), 0u);
}

} // namespace
