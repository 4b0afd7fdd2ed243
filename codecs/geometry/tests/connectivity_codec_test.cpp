// Connectivity through the topology stream and back, checked polygon by polygon through the reorder maps.
#include "codecs/geometry/connectivity_codec.h"

#include <gtest/gtest.h>

#include <future>
#include <string>

#include "codecs/geometry/px_result.h"
#include "codecs/geometry/stream_header.h"
#include "testsupport/mesh/connectivity_check.h"
#include "testsupport/mesh/mesh_generators.h"

namespace {

using meshtest::OffMesh;

struct RoundTrip {
    int encodeResult = -1;
    int decodeResult = -1;
    std::string problem; // empty when the connectivity came back exactly
    size_t streamBytes = 0;
};

RoundTrip RunRoundTrip(const OffMesh& mesh)
{
    RoundTrip trip;
    const px::ConnectivityInput input{mesh.coordIndex, mesh.VertexCount()};
    std::vector<uint8_t> stream;
    std::vector<px::ObjectMaps> maps;
    trip.encodeResult = px::EncodeConnectivity({&input, 1}, stream, maps);
    if (trip.encodeResult != px::PX_OK)
        return trip;
    trip.streamBytes = stream.size();
    std::vector<px::DecodedConnectivity> decoded;
    trip.decodeResult = px::DecodeConnectivity(stream, decoded);
    if (trip.decodeResult != px::PX_OK || decoded.size() != 1) {
        trip.problem = "decoding failed";
        return trip;
    }
    trip.problem = meshtest::CheckConnectivity(mesh.coordIndex, decoded[0].coordIndex, decoded[0].vertexCount,
                                               {maps[0].vertexMap, maps[0].faceMap, maps[0].cornerMap});
    return trip;
}

// Non-manifold inputs must end: each case runs on its own thread with a deadline.
RoundTrip RunWithDeadline(const OffMesh& mesh)
{
    auto future = std::async(std::launch::async, [mesh] { return RunRoundTrip(mesh); });
    if (future.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << "round trip did not end within 60 s";
        std::abort(); // a hung encoder cannot be stopped from outside; end the test run
    }
    return future.get();
}

struct NamedMesh {
    const char* name;
    OffMesh mesh;
};

class ConnectivityRoundTrip : public testing::TestWithParam<int> {};

std::vector<NamedMesh> SyntheticCases()
{
    using namespace meshtest;
    return {
        {"single triangle", MakeTriangle()},
        {"tetrahedron", MakeTetrahedron()},
        {"quad", MakeQuad()},
        {"pentagon", MakePolygon(5)},
        {"two pieces", Concatenate(MakeTetrahedron(), MakeCube(), 3)},
        {"open cube", MakeOpenCube()},
        {"cube of quads", MakeCube()},
        {"bowtie", MakeBowtie()},
        {"double-cone apex", MakeDoubleCone()},
        {"double-sided pair", MakeDoubleSidedPair()},
        {"inconsistent winding", MakeInconsistentWinding()},
        {"duplicated triangle", MakeDuplicatedTriangle()},
        {"non-manifold edge of 3 sheets", MakeNonManifoldEdge(3)},
        {"non-manifold edge of 8 sheets", MakeNonManifoldEdge(8)},
        {"isolated vertices", MakeWithIsolatedVertices()},
        {"degenerate faces", MakeDegenerateFaces()},
        {"polygon of 200 sides", MakePolygon(200)},
        {"open fan", MakeFan(12, false)},
        {"closed fan", MakeFan(12, true)},
        {"triangle grid", MakeGrid(9, 7, true)},
        {"quad grid", MakeGrid(9, 7, false)},
        {"sphere", MakeSphere(9, 12)},
        {"torus of quads", MakeTorus(10, 7, false)},
        {"torus of triangles", MakeTorus(8, 6, true)},
        {"three tori",
         Concatenate(Concatenate(MakeTorus(5, 4, true), MakeTorus(6, 5, false), 8), MakeSphere(5, 6), 16)},
    };
}

TEST_P(ConnectivityRoundTrip, EveryPolygonComesBackThroughTheMaps)
{
    const NamedMesh named = SyntheticCases()[static_cast<size_t>(GetParam())];
    SCOPED_TRACE(named.name);
    const RoundTrip trip = RunWithDeadline(named.mesh);
    ASSERT_EQ(trip.encodeResult, px::PX_OK);
    ASSERT_EQ(trip.decodeResult, px::PX_OK);
    EXPECT_EQ(trip.problem, "");
}

INSTANTIATE_TEST_SUITE_P(Synthetic, ConnectivityRoundTrip,
                         testing::Range(0, static_cast<int>(SyntheticCases().size())));

} // namespace
