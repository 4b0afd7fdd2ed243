// Colours and normals through the whole codec: per vertex and per corner (wedges), values within their
// quantisation cells, and the degenerate cases that once broke the format (one value in total, all black, zero
// normals).
#include "codecs/geometry/geometry_codec.h"

#include <gtest/gtest.h>

#include <cmath>

#include "codecs/geometry/bit_writer.h"
#include "codecs/geometry/colour_coder.h"
#include "codecs/geometry/integer_coder.h"
#include "codecs/geometry/normal_coder.h"
#include "codecs/geometry/position_coder.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/stream_header.h"
#include "testsupport/mesh/face_set.h"
#include "testsupport/mesh/mesh_generators.h"

namespace {

struct Decoded {
    px::PXIndexedFaceSet set;
    px::ObjectMaps maps;
    px::PXStreamSet streams;
};

Decoded RoundTrip(const px::PXIndexedFaceSet& input, uint32_t normalBits = 6, uint32_t colourPrecision = 8)
{
    px::PXModel model;
    EXPECT_EQ(model.SetLists({input}), px::PX_OK);
    model.SetParam(px::kParamNormalBits, normalBits);
    model.SetParam(px::kParamColourPrecision, colourPrecision);
    Decoded out;
    px::PXReorderMaps maps;
    EXPECT_EQ(px::CompressModel(model, out.streams, &maps), px::PX_OK);
    px::PXModel decoded;
    EXPECT_EQ(px::DecompressModel(out.streams, decoded), px::PX_OK);
    if (decoded.Count() == 1 && maps.objects.size() == 1) {
        out.set = decoded.Lists()[0];
        out.maps = maps.objects[0];
    }
    return out;
}

// The value an attribute has at decoded corner k, and the input's value at the same corner.
template <size_t N>
std::array<float, N> ValueAt(const std::vector<float>& values, const std::vector<int32_t>& index,
                             const std::vector<int32_t>& coordIndex, size_t k)
{
    const size_t i = static_cast<size_t>(index.empty() ? coordIndex[k] : index[k]);
    std::array<float, N> out{};
    for (size_t d = 0; d < N; ++d)
        out[d] = values[N * i + d];
    return out;
}

double Angle(const std::array<float, 3>& a, const std::array<float, 3>& b)
{
    const double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    const double la = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    const double lb = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
    return std::acos(std::clamp(dot / (la * lb), -1.0, 1.0));
}

// Every decoded corner's colour is the input's within half a quantisation step of each YIQ component.
void ExpectColoursAtCorners(const px::PXIndexedFaceSet& input, const Decoded& out, uint32_t bits)
{
    ASSERT_FALSE(out.set.colour.empty());
    const double step = 1.0 / ((1u << bits) - 1);
    const double bound = 0.5 * step * (0.9999 + 0.9562 * 1.1918 + 0.621 * 1.0453) + 1e-5;
    for (size_t k = 0; k < out.set.coordIndex.size(); ++k) {
        if (out.set.coordIndex[k] < 0)
            continue;
        const size_t inputCorner = static_cast<size_t>(out.maps.cornerMap[k]);
        const auto decoded = ValueAt<3>(out.set.colour, out.set.colourIndex, out.set.coordIndex, k);
        const auto original = ValueAt<3>(input.colour, input.colourIndex, input.coordIndex, inputCorner);
        for (int c = 0; c < 3; ++c)
            ASSERT_LE(std::fabs(decoded[c] - std::clamp(original[c], 0.0f, 1.0f)), bound) << "corner " << k;
    }
}

TEST(ColourCoder, PerVertexColoursWithinTheirCells)
{
    px::PXIndexedFaceSet set = meshtest::FaceSetOf(meshtest::MakeSphere(8, 10));
    for (size_t v = 0; v < set.coord.size(); v += 3)
        set.colour.insert(set.colour.end(), {0.5f + 0.5f * set.coord[v], 0.3f, 0.5f - 0.4f * set.coord[v + 2]});
    const Decoded out = RoundTrip(set);
    EXPECT_TRUE(out.set.colourIndex.empty());
    EXPECT_EQ(out.streams.GetSlot(3), nullptr);
    ExpectColoursAtCorners(set, out, 7); // precision 8 gives 8 bits for Y, I and Q; 7 is the looser bound
}

TEST(ColourCoder, SharedColourIndicesPerCorner)
{
    px::PXIndexedFaceSet set = meshtest::FaceSetOf(meshtest::MakeTorus(6, 5, false));
    const float palette[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
    for (const auto& colour : palette)
        set.colour.insert(set.colour.end(), colour, colour + 3);
    int face = 0;
    for (const int32_t index : set.coordIndex) {
        set.colourIndex.push_back(index < 0 ? -1 : face % 4);
        face += index < 0 ? 1 : 0;
    }
    const Decoded out = RoundTrip(set);
    ASSERT_NE(out.streams.GetSlot(3), nullptr);
    EXPECT_EQ(out.set.colourIndex.size(), out.set.coordIndex.size());
    ExpectColoursAtCorners(set, out, 7);
}

TEST(ColourCoder, AllBlackMeshCollapsesToZeroRuns)
{
    px::PXIndexedFaceSet set = meshtest::FaceSetOf(meshtest::MakeGrid(5, 4, true));
    set.colour.assign(set.coord.size(), 0.0f);
    const Decoded out = RoundTrip(set, 6, 5); // widths 6, 5, 5: black itself lies between two I levels
    ASSERT_EQ(out.set.colour.size(), out.set.coord.size());
    ExpectColoursAtCorners(set, out, 5);
}

TEST(ColourCoder, PerVertexOffSkipsColoursAndCountsMustMatch)
{
    px::PXIndexedFaceSet set = meshtest::FaceSetOf(meshtest::MakeCube());
    set.colour.assign(set.coord.size(), 0.5f);
    set.colourPerVertex = false;
    EXPECT_EQ(RoundTrip(set).streams.GetSlot(2), nullptr);
    set.colourPerVertex = true;
    set.colour.resize(set.colour.size() - 3);
    px::PXModel model;
    ASSERT_EQ(model.SetLists({set}), px::PX_OK);
    px::PXStreamSet streams;
    EXPECT_EQ(px::CompressModel(model, streams, nullptr), px::PXERR_INVALIDGEOMETRY);
}

TEST(ColourCoder, ConversionBackClampsToTheUnitRange)
{
    const float over[3] = {1.2f, 0.0f, 0.0f};
    EXPECT_EQ(px::YiqToRgb(over)[0], 1.0f);
    const float exact[3] = {1.0f, 0.0f, 0.0f};
    EXPECT_EQ(px::YiqToRgb(exact)[0], 1.0f);
    const float under[3] = {-0.1f, 0.0f, 0.0f};
    EXPECT_EQ(px::YiqToRgb(under)[1], 0.0f);
    const float zero[3] = {0.0f, 0.0f, 0.0f};
    EXPECT_EQ(px::YiqToRgb(zero)[2], 0.0f);
    EXPECT_EQ(px::ColourBitsOf(5), (px::ColourBits{6, 5, 5}));
    EXPECT_EQ(px::ColourBitsOf(3), (px::ColourBits{7, 6, 6}));
}

TEST(NormalCodebookLayout, SmallestCodebookAndTheFirstIndex)
{
    const px::NormalCodebook one(1);
    EXPECT_EQ(one.Size(), 2u); // two rows, theta 0 and pi, one point each
    EXPECT_EQ(one.IndexOf(0.0f, 0.3f), 0u);
    EXPECT_NEAR(one.Point(1)[2], -1.0f, 1e-6);
    const px::NormalCodebook six(6);
    EXPECT_EQ(six.IndexOf(0.0f, 2.0f), 0u); // a normal equal to its prediction
    for (uint32_t index = 0; index < six.Size(); index += 37) {
        const auto p = six.Point(index);
        const float polar = std::acos(std::clamp(p[2], -1.0f, 1.0f));
        EXPECT_EQ(six.IndexOf(polar, std::atan2(p[1], p[0])), index);
    }
}

void ExpectNormalsWithin(const px::PXIndexedFaceSet& input, const Decoded& out, uint32_t bits)
{
    ASSERT_FALSE(out.set.normal.empty());
    const double rowSpacing = 3.141592653 / ((1u << bits) / 2);
    for (size_t k = 0; k < out.set.coordIndex.size(); ++k) {
        if (out.set.coordIndex[k] < 0)
            continue;
        const auto decoded = ValueAt<3>(out.set.normal, out.set.normalIndex, out.set.coordIndex, k);
        const auto original =
            ValueAt<3>(input.normal, input.normalIndex, input.coordIndex, static_cast<size_t>(out.maps.cornerMap[k]));
        ASSERT_LE(Angle(decoded, original), rowSpacing) << "corner " << k;
    }
}

TEST(NormalCoder, SmoothNormalsPerVertex)
{
    px::PXIndexedFaceSet set = meshtest::FaceSetOf(meshtest::MakeSphere(10, 12));
    set.normal = set.coord; // a unit sphere: the normal is the position
    for (const uint32_t bits : {4u, 6u, 10u}) {
        SCOPED_TRACE(bits);
        ExpectNormalsWithin(set, RoundTrip(set, bits), bits);
    }
}

TEST(NormalCoder, FlatFaceNormalsOfACubeByCorner)
{
    px::PXIndexedFaceSet set = meshtest::FaceSetOf(meshtest::MakeCube());
    const float normals[6][3] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {-1, 0, 0}, {1, 0, 0}};
    for (const auto& n : normals)
        set.normal.insert(set.normal.end(), n, n + 3);
    int face = 0;
    for (const int32_t index : set.coordIndex) {
        set.normalIndex.push_back(index < 0 ? -1 : face);
        face += index < 0 ? 1 : 0;
    }
    const Decoded out = RoundTrip(set, 6);
    ASSERT_NE(out.streams.GetSlot(7), nullptr);
    ExpectNormalsWithin(set, out, 6);
}

TEST(NormalCoder, OneSharedNormalAndZeroNormals)
{
    px::PXIndexedFaceSet set = meshtest::FaceSetOf(meshtest::MakeGrid(4, 3, true));
    set.normal = {0, 0, 1};
    for (const int32_t index : set.coordIndex)
        set.normalIndex.push_back(index < 0 ? -1 : 0);
    ExpectNormalsWithin(set, RoundTrip(set, 6), 6);
    px::PXIndexedFaceSet zeros = meshtest::FaceSetOf(meshtest::MakeSphere(5, 6));
    zeros.normal.assign(zeros.coord.size(), 0.0f);
    const Decoded out = RoundTrip(zeros, 6);
    ASSERT_EQ(out.set.normal.size(), out.set.coord.size());
    for (size_t v = 0; v < out.set.normal.size(); v += 3) {
        const double length = std::hypot(out.set.normal[v], out.set.normal[v + 1], out.set.normal[v + 2]);
        EXPECT_NEAR(length, 1.0, 1e-5); // the prediction's own direction, a unit vector
    }
}

TEST(AttributeStreams, AllAttributesTogetherAndEncodingTwiceIsIdentical)
{
    px::PXIndexedFaceSet set = meshtest::FaceSetOf(meshtest::MakeTorus(7, 5, false));
    set.normal = set.coord;
    for (size_t v = 0; v < set.coord.size(); v += 3) {
        set.colour.insert(set.colour.end(), {0.2f, 0.4f, 0.6f});
        set.texCoord.insert(set.texCoord.end(), {set.coord[v], set.coord[v + 1]});
    }
    set.texCoordIndex = set.coordIndex;
    const Decoded first = RoundTrip(set);
    const Decoded second = RoundTrip(set);
    for (uint32_t slot = 0; slot < 9; ++slot) {
        SCOPED_TRACE(slot);
        ASSERT_EQ(first.streams.GetSlot(slot) == nullptr, slot == 3 || slot == 7); // no colour or normal index lists
        if (const px::PXStream* a = first.streams.GetSlot(slot)) {
            const px::PXStream* b = second.streams.GetSlot(slot);
            EXPECT_TRUE(std::equal(a->Bytes().begin(), a->Bytes().end(), b->Bytes().begin(), b->Bytes().end()));
        }
    }
    EXPECT_EQ(first.set.texCoordIndex.size(), first.set.coordIndex.size());
}

TEST(AttributeStreams, ObjectWithoutAnAttributeBesideOneWithIt)
{
    // The first object has each attribute per vertex or through an index list; the second has none. The second
    // comes back without values or index lists, the first with all of its values.
    enum Attribute { kTexCoords, kColours, kNormals };
    for (const Attribute attribute : {kTexCoords, kColours, kNormals}) {
        for (const bool indexed : {false, true}) {
            SCOPED_TRACE(testing::Message() << "attribute " << attribute << (indexed ? ", indexed" : ", per vertex"));
            px::PXIndexedFaceSet with = meshtest::FaceSetOf(meshtest::MakeSphere(5, 6));
            const px::PXIndexedFaceSet without = meshtest::FaceSetOf(meshtest::MakeTorus(6, 5, true));
            const size_t vertices = with.PositionCount();
            std::vector<float>& values = attribute == kTexCoords ? with.texCoord
                                         : attribute == kColours ? with.colour
                                                                 : with.normal;
            const size_t dims = attribute == kTexCoords ? 2 : 3;
            for (size_t v = 0; v < vertices; ++v)
                for (size_t d = 0; d < dims; ++d)
                    values.push_back(attribute == kNormals ? with.coord[3 * v + d] : 0.1f * static_cast<float>(d + 1));
            if (indexed)
                (attribute == kTexCoords ? with.texCoordIndex
                 : attribute == kColours ? with.colourIndex
                                         : with.normalIndex) = with.coordIndex;
            px::PXModel model;
            ASSERT_EQ(model.SetLists({with, without}), px::PX_OK);
            px::PXStreamSet streams;
            ASSERT_EQ(px::CompressModel(model, streams, nullptr), px::PX_OK);
            px::PXModel decoded;
            ASSERT_EQ(px::DecompressModel(streams, decoded), px::PX_OK);
            ASSERT_EQ(decoded.Count(), 2u);
            const px::PXIndexedFaceSet& first = decoded.Lists()[0];
            const px::PXIndexedFaceSet& second = decoded.Lists()[1];
            const std::vector<float>& got = attribute == kTexCoords ? first.texCoord
                                            : attribute == kColours ? first.colour
                                                                    : first.normal;
            EXPECT_EQ(got.size(), values.size());
            EXPECT_TRUE(second.texCoord.empty() && second.colour.empty() && second.normal.empty());
            EXPECT_TRUE(second.texCoordIndex.empty() && second.colourIndex.empty() && second.normalIndex.empty());
        }
    }
}

// A ring that names a neighbour twice: the parallelogram at v over (a, b) takes c after the first slot of a in b's
// ring, as the encoder of every pinned stream did, in a short ring and in one long enough to be searched. The
// stream is written by hand, so a walk that took another slot would decode v elsewhere.
TEST(PositionCoder, RepeatedNeighbourTakesItsFirstSlot)
{
    enum : uint32_t { kA, kB, kC1, kC2, kV };
    for (const uint32_t padding : {0u, 20u}) {
        SCOPED_TRACE(padding);
        // Each node's position is its index and traversal order is node order.
        std::vector<std::vector<int32_t>> rings = {{kV}, {kA, kC1, kA, kC2}, {kV}, {kV}, {kA, kB}};
        rings[kB].insert(rings[kB].end(), padding, kV);
        px::MeshGraph graph;
        for (uint32_t n = 0; n < rings.size(); ++n) {
            px::VertexNode node;
            node.position = static_cast<int32_t>(n);
            node.order = static_cast<int32_t>(n);
            node.valence = static_cast<uint32_t>(rings[n].size());
            node.ringStart = static_cast<uint32_t>(graph.neighbours.size());
            graph.nodes.push_back(node);
            graph.neighbours.insert(graph.neighbours.end(), rings[n].begin(), rings[n].end());
            graph.traversal.push_back(n);
        }
        graph.corners.assign(graph.neighbours.size(), -1);
        graph.flags.assign(graph.neighbours.size(), 1);
        graph.nodesInUse = static_cast<uint32_t>(rings.size());
        // a, c1 and c2 have no coded neighbour when walked: raw. b has only a (twice): the average, a. v has the
        // one parallelogram b + a - c1 = 25; with c2 it would be 0.
        const int32_t a = 10, b = 20, c1 = 5, c2 = 30, v = 40;
        std::vector<px::DataItem> items;
        for (const auto& [value, predicted] :
             {std::pair{a, false}, {b - a, true}, {c1, false}, {c2, false}, {v - (b + a - c1), true}})
            items.insert(items.end(), 3,
                         predicted ? px::DataItem{value, px::kModeDelta, 0}
                                   : px::DataItem{value, px::kModeAbsolute, 8});
        px::BitWriter writer(static_cast<uint8_t>(px::StreamKind::kPositions));
        writer.PutBits(1, 16);
        for (const float bound : {0.0f, 0.0f, 0.0f, 1.0f})
            writer.PutFloat(bound);
        writer.PutBits(8, 5);
        ASSERT_EQ(px::EncodeIntegerData(writer, items), px::PX_OK);
        const std::vector<uint8_t> stream = writer.Finish();

        const px::MeshGraph* graphs[] = {&graph};
        const uint32_t counts[] = {static_cast<uint32_t>(rings.size())};
        std::vector<std::vector<float>> positions;
        std::vector<px::QuantisedPositions> quantised;
        ASSERT_EQ(px::DecodePositions(stream, graphs, counts, positions, quantised), px::PX_OK);
        ASSERT_EQ(quantised.size(), 1u);
        const px::QuantisedPositions expected = {{a, a, a}, {b, b, b}, {c1, c1, c1}, {c2, c2, c2}, {v, v, v}};
        EXPECT_EQ(quantised[0], expected);
    }
}

} // namespace
