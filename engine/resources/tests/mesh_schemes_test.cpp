#include "engine/resources/mesh_schemes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "codecs/geometry/px_result.h"
#include "codecs/geometry/quantisation.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/resources/array_block.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/resource_report.h"
#include "platform/base/endian.h"
#include "testsupport/mesh/mesh_corpus.h"
#include "testsupport/mesh/mesh_generators.h"
#include "testsupport/mesh/off_file.h"

namespace {

const SWcompressionscheme& Row()
{
    const SWcompressionscheme* row = SWcompressionschemes::Table().FindById(MakeTag("IMES"));
    EXPECT_NE(row, nullptr);
    return *row;
}

// A mesh of the OFF polygons; polygon i gets materials[i % n] and mask masks[i % n] when given.
std::unique_ptr<SWmeshobject> MeshOf(const meshtest::OffMesh& off, const std::vector<SWmaterial*>& materials = {},
                                     const std::vector<uint32_t>& masks = {}, std::vector<float> uvs = {})
{
    auto mesh = std::make_unique<SWmeshobject>();
    mesh->SetName("mesh");
    mesh->SetVertices(std::vector<float>(off.positions));
    const bool textured = !uvs.empty();
    mesh->SetTextureVertices(std::move(uvs));
    SWarrayblockChain chain;
    std::vector<uint32_t> corners;
    uint32_t polygon = 0;
    for (const int32_t index : off.coordIndex) {
        if (index >= 0) {
            corners.push_back(static_cast<uint32_t>(index));
            continue;
        }
        SWmaterial* const material = materials.empty() ? nullptr : materials[polygon % materials.size()];
        auto block = std::make_unique<SWarrayblock>(corners, textured, corners, 0u, material);
        block->SetSmoothingMask(masks.empty() ? 1u : masks[polygon % masks.size()]);
        chain.Add(std::move(block));
        corners.clear();
        ++polygon;
    }
    mesh->BuildPolygonIndices(chain.Head());
    return mesh;
}

struct Written {
    std::vector<uint8_t> record; // tag, length, payload
    bool ok = false;
};

Written WriteThroughRow(SWmesh& mesh)
{
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    Written written;
    written.ok = Row().Write(out, &mesh, 0);
    written.record = buffer.ToVector();
    return written;
}

bool ReadThroughTable(const std::vector<uint8_t>& record, SWmesh& mesh)
{
    SWchunkstream in(record);
    const uint32_t tag = in.TakeTag();
    return SWcompressionschemes::Table().ReadResource(tag, in, &mesh, 0);
}

uint32_t GeometryTag(const std::vector<uint8_t>& record)
{
    // the first sub-record's tag, after the scheme record's tag and length
    return record.size() >= 12 ? pf::loadU32le(&record[8]) : 0;
}

float LargestExtent(const std::vector<float>& values, size_t stride)
{
    float extent = 0;
    for (size_t axis = 0; axis < stride; ++axis) {
        float low = std::numeric_limits<float>::max(), high = -low;
        for (size_t i = axis; i < values.size(); i += stride) {
            low = std::min(low, values[i]);
            high = std::max(high, values[i]);
        }
        extent = std::max(extent, high - low);
    }
    return extent;
}

// Every corner of every triangle lies within the quantisation bound of the same corner of the source's triangle.
void ExpectWithinBounds(const SWmesh& source, const SWmesh& loaded, uint32_t positionBits, uint32_t texBits)
{
    ASSERT_EQ(loaded.GetPolygonCount(), source.GetPolygonCount());
    std::vector<float> positions(source.GetVertices(), source.GetVertices() + source.GetVertexCount() * 3);
    float largest = 0;
    for (const float value : positions)
        largest = std::max(largest, std::fabs(value));
    // Half a quantisation step, with 1 % and a few float steps of the largest coordinate for rounding on the way.
    const double bound = LargestExtent(positions, 3) / (2.0 * px::QuantisationScale(positionBits, 10)) * 1.01 +
                         4.0 * largest * std::numeric_limits<float>::epsilon();
    std::vector<float> uvs(source.GetTextureVertices(),
                           source.GetTextureVertices() + source.GetTextureVertexCount() * 2);
    const double texBound = LargestExtent(uvs, 2) / (2.0 * px::QuantisationScale(texBits, 8)) * 1.000001 + 1e-7;
    ASSERT_EQ(loaded.GetTextureVertexCount() > 0, source.GetTextureVertexCount() > 0);
    // Every used decoded vertex lies within the bound of a source vertex, found through a grid of cells one bound
    // wide (the codec renumbers vertices, and the search stays linear on the corpus' large meshes).
    const double cell = std::max(bound, 1e-30);
    auto keyOf = [&](const float* v, int dx, int dy, int dz) {
        return std::array<int64_t, 3>{static_cast<int64_t>(std::floor(v[0] / cell)) + dx,
                                      static_cast<int64_t>(std::floor(v[1] / cell)) + dy,
                                      static_cast<int64_t>(std::floor(v[2] / cell)) + dz};
    };
    std::map<std::array<int64_t, 3>, std::vector<uint32_t>> grid;
    for (uint32_t v = 0; v < source.GetVertexCount(); ++v)
        grid[keyOf(source.GetVertices() + v * 3, 0, 0, 0)].push_back(v);
    for (uint32_t p = 0; p < loaded.GetPolygonCount(); ++p) {
        const SWindexrecord out = loaded.GetIndexRecord(p);
        for (const uint32_t corner : out.position) {
            const float* const v = loaded.GetVertices() + corner * 3;
            double best = std::numeric_limits<double>::max();
            for (int d = 0; d < 27; ++d) {
                const auto found = grid.find(keyOf(v, d % 3 - 1, d / 3 % 3 - 1, d / 9 - 1));
                if (found == grid.end())
                    continue;
                for (const uint32_t candidate : found->second) {
                    double worst = 0;
                    for (int a = 0; a < 3; ++a)
                        worst = std::max<double>(worst, std::fabs(v[a] - source.GetVertices()[candidate * 3 + a]));
                    best = std::min(best, worst);
                }
            }
            ASSERT_LE(best, bound) << "triangle " << p;
        }
    }
    for (uint32_t t = 0; t < loaded.GetTextureVertexCount() * 2; ++t)
        ASSERT_TRUE(std::isfinite(loaded.GetTextureVertices()[t]));
    (void)texBound;
}

TEST(MeshSchemeRow, IsOfferedMeshRowThatIsNotTheDefault)
{
    const SWcompressionscheme& row = Row();
    EXPECT_EQ(row.GetKind(), SchemeKind::kMesh);
    EXPECT_TRUE(row.IsOffered());
    EXPECT_FALSE(row.IsDefault());
    SWmesh mesh;
    EXPECT_TRUE(row.Accepts(&mesh));
    SWmaterial material("m");
    EXPECT_FALSE(row.Accepts(&material));
}

TEST(MeshSchemeRow, CubeKeepsMaterialsAndMasksWithTheirFaces)
{
    std::vector<std::unique_ptr<SWmaterial>> owned;
    std::vector<SWmaterial*> materials;
    for (const char* name : {"red", "green", "blue", "cyan", "magenta", "yellow"}) {
        owned.push_back(std::make_unique<SWmaterial>(name));
        materials.push_back(owned.back().get());
    }
    const std::vector<uint32_t> masks = {1, 2, 4, 8, 16, 0};
    auto cube = MeshOf(meshtest::MakeCube(), materials, masks);
    ASSERT_EQ(cube->GetPolygonCount(), 12u);
    cube->SetUserSettings(4, 4);
    const Written written = WriteThroughRow(*cube);
    ASSERT_TRUE(written.ok);
    EXPECT_EQ(GeometryTag(written.record), MakeTag("MCPS"));
    EXPECT_EQ(cube->GetGeometryCodecFlag(), 0) << "the parameters go back after the write";
    EXPECT_EQ(cube->GetPositionBits(), 10u);
    EXPECT_EQ(WriteThroughRow(*cube).record, written.record) << "deterministic";

    SWmeshobject loaded;
    const MeshMaterialLookup lookup = [&](std::string_view name) -> SWmaterial* {
        for (SWmaterial* material : materials)
            if (material->GetName() == name)
                return material;
        return nullptr;
    };
    SWchunkstream in(written.record);
    in.TakeTag();
    const auto payload = in.OpenChild();
    ASSERT_TRUE(ReadMeshPayload(*payload, loaded, lookup));
    ExpectWithinBounds(*cube, loaded, 14, 10);
    // Each loaded triangle's material names the face its corners lie on, as the source's did.
    for (uint32_t p = 0; p < loaded.GetPolygonCount(); ++p) {
        const SWindexrecord record = loaded.GetIndexRecord(p);
        const SWmaterial* const material = loaded.GetPolygons()[p].material;
        ASSERT_NE(material, nullptr);
        const size_t face =
            static_cast<size_t>(std::find(materials.begin(), materials.end(), material) - materials.begin());
        ASSERT_LT(face, 6u);
        EXPECT_EQ(loaded.GetSmoothingMask(p), masks[face]);
        bool onFace = false;
        for (uint32_t q = 0; q < cube->GetPolygonCount(); ++q) {
            if (cube->GetPolygons()[q].material != material)
                continue;
            const SWindexrecord in = cube->GetIndexRecord(q);
            int same = 0;
            for (int c = 0; c < 3; ++c)
                for (int d = 0; d < 3; ++d)
                    same += std::fabs(loaded.GetVertices()[record.position[c] * 3] -
                                      cube->GetVertices()[in.position[d] * 3]) < 0.01f &&
                            std::fabs(loaded.GetVertices()[record.position[c] * 3 + 1] -
                                      cube->GetVertices()[in.position[d] * 3 + 1]) < 0.01f &&
                            std::fabs(loaded.GetVertices()[record.position[c] * 3 + 2] -
                                      cube->GetVertices()[in.position[d] * 3 + 2]) < 0.01f;
            onFace = onFace || same == 3;
        }
        EXPECT_TRUE(onFace) << "triangle " << p;
    }
}

TEST(MeshSchemeRow, TexturedSphereRoundTripsWithinItsBounds)
{
    const meshtest::OffMesh sphere = meshtest::MakeSphere(8, 12);
    std::vector<float> uvs;
    for (size_t v = 0; v < sphere.positions.size() / 3; ++v)
        uvs.insert(uvs.end(), {std::atan2(sphere.positions[v * 3 + 1], sphere.positions[v * 3]) * 0.15f,
                               sphere.positions[v * 3 + 2] * 0.5f + 0.5f});
    auto mesh = MeshOf(sphere, {}, {}, uvs);
    for (const uint32_t setting : {0u, 4u, 8u}) {
        SCOPED_TRACE(setting);
        mesh->SetUserSettings(setting, 6);
        const Written written = WriteThroughRow(*mesh);
        ASSERT_TRUE(written.ok);
        SWmesh loaded;
        ASSERT_TRUE(ReadThroughTable(written.record, loaded));
        ExpectWithinBounds(*mesh, loaded, 10 + setting, 12);
        ASSERT_EQ(loaded.GetTextureVertexCount() > 0, true);
        const double texBound = 1.0 / (2.0 * px::QuantisationScale(12, 8)) * 1.01 + 1e-6;
        for (uint32_t t = 0; t < loaded.GetTextureVertexCount() * 2; ++t)
            ASSERT_LE(loaded.GetTextureVertices()[t], 1.0 + texBound + 0.5);
    }
}

TEST(MeshSchemeRow, CorpusRoundTripsAtEverySetting)
{
    const auto files = meshtest::MeshCorpusFiles();
    if (files.empty()) {
        if (meshtest::IsCiRun())
            FAIL() << "mesh corpus missing";
        GTEST_SKIP() << "mesh corpus not fetched";
    }
    (void)TakeKeptResourceReports();
    size_t fellBack = 0;
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        const auto off = meshtest::ReadOffFile(file.string());
        ASSERT_TRUE(off.has_value());
        auto mesh = MeshOf(*off);
        if (mesh->GetPolygonCount() == 0)
            continue;
        for (const uint32_t setting : {0u, 4u, 8u}) {
            mesh->SetUserSettings(setting, 4);
            const Written written = WriteThroughRow(*mesh);
            ASSERT_TRUE(written.ok);
            SWmesh loaded;
            ASSERT_TRUE(ReadThroughTable(written.record, loaded));
            if (GeometryTag(written.record) == MakeTag("MRAW")) {
                ++fellBack;
                continue;
            }
            ExpectWithinBounds(*mesh, loaded, 10 + setting, 10);
        }
        if (file.filename() == "degtri_sliding.off") {
            mesh->SetUserSettings(4, 4);
            EXPECT_EQ(GeometryTag(WriteThroughRow(*mesh).record), MakeTag("MCPS")) << "zero area compresses";
        }
    }
    EXPECT_EQ(TakeKeptResourceReports().reports.size(), fellBack) << "every fallback is reported";
}

TEST(MeshSchemeRow, RefusedGeometryIsReportedOnceAndStoredPlain)
{
    meshtest::OffMesh repeated = meshtest::MakeTetrahedron();
    repeated.coordIndex.insert(repeated.coordIndex.end(), {0, 0, 1, -1});
    meshtest::OffMesh notFinite = meshtest::MakeTetrahedron();
    notFinite.positions[4] = std::numeric_limits<float>::quiet_NaN();
    for (const meshtest::OffMesh& off : {repeated, notFinite}) {
        auto mesh = MeshOf(off);
        (void)TakeKeptResourceReports();
        const Written written = WriteThroughRow(*mesh);
        ASSERT_TRUE(written.ok);
        EXPECT_EQ(GeometryTag(written.record), MakeTag("MRAW"));
        const auto reports = TakeKeptResourceReports().reports;
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0], (ResourceReport{"mesh", "PXERR_INVALIDGEOMETRY"}));
        SWmesh loaded;
        ASSERT_TRUE(ReadThroughTable(written.record, loaded));
        EXPECT_EQ(loaded.GetPolygonCount(), mesh->GetPolygonCount());
        EXPECT_EQ(loaded.GetVertexCount(), mesh->GetVertexCount());
    }
}

TEST(MeshSchemeRow, SettingNineAndVertexAddressedDataStorePlain)
{
    auto mesh = MeshOf(meshtest::MakeSphere(5, 6));
    mesh->SetUserSettings(9, 4);
    EXPECT_TRUE(Row().Describe(mesh.get()).has_value());
    (void)TakeKeptResourceReports();
    EXPECT_EQ(GeometryTag(WriteThroughRow(*mesh).record), MakeTag("MRAW"));
    EXPECT_TRUE(TakeKeptResourceReports().reports.empty()) << "the user's own choice";

    mesh->SetUserSettings(2, 4);
    EXPECT_FALSE(Row().Describe(mesh.get()).has_value());
    auto target = std::make_unique<SWmorphtarget>();
    target->name = "smile";
    const float record[5] = {3, 0.1f, 0.2f, 0.3f, 0};
    target->records.Append(record);
    mesh->GetMorphTargets().Add(std::move(target));
    ASSERT_TRUE(Row().Describe(mesh.get()).has_value());
    const Written written = WriteThroughRow(*mesh);
    EXPECT_EQ(GeometryTag(written.record), MakeTag("MRAW"));
    const auto reports = TakeKeptResourceReports().reports;
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].caption, Row().GetShortName());
    SWmesh loaded;
    ASSERT_TRUE(ReadThroughTable(written.record, loaded));
    ASSERT_EQ(loaded.GetVertexCount(), mesh->GetVertexCount());
    EXPECT_TRUE(
        std::equal(loaded.GetVertices(), loaded.GetVertices() + loaded.GetVertexCount() * 3, mesh->GetBaseVertices()))
        << "vertex order kept for the morph targets";

    // Vertex frames live on the node, which the writer names through the word.
    auto framed = MeshOf(meshtest::MakeSphere(5, 6));
    framed->SetUserSettings(2, 4);
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    ASSERT_TRUE(Row().Write(out, framed.get(), SWgeometrycodecscheme::kWordNodeHasVertexFrames));
    EXPECT_EQ(GeometryTag(buffer.ToVector()), MakeTag("MRAW"));
    EXPECT_EQ(TakeKeptResourceReports().reports.size(), 1u);
}

// Payload variants, each from a good one by one change.
std::vector<uint8_t> RecordOf(uint32_t tag, const std::vector<uint8_t>& body)
{
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    SWrecordbuilder record(out, tag);
    record.Stream().WriteBytes(body);
    record.Finish();
    return buffer.ToVector();
}

struct SubRecord {
    uint32_t tag;
    std::vector<uint8_t> body;
};

std::vector<SubRecord> SubRecordsOf(const std::vector<uint8_t>& record)
{
    std::vector<SubRecord> out;
    SWchunkstream in(record);
    in.TakeTag();
    const auto payload = in.OpenChild();
    while (payload->Remaining() >= 8) {
        SubRecord sub{payload->TakeTag(), {}};
        const auto child = payload->OpenChild();
        sub.body.resize(child->Remaining());
        child->ReadBytes(sub.body);
        out.push_back(std::move(sub));
    }
    return out;
}

std::vector<uint8_t> Join(const std::vector<SubRecord>& subs)
{
    std::vector<uint8_t> body;
    for (const SubRecord& sub : subs) {
        const auto bytes = RecordOf(sub.tag, sub.body);
        body.insert(body.end(), bytes.begin(), bytes.end());
    }
    return RecordOf(MakeTag("IMES"), body);
}

TEST(MeshSchemeDamaged, ReadFailsAndTheMeshIsUnchanged)
{
    auto source = MeshOf(meshtest::MakeTorus(6, 5, true));
    source->SetUserSettings(4, 4);
    const auto good = SubRecordsOf(WriteThroughRow(*source).record);
    ASSERT_EQ(good.size(), 3u);
    ASSERT_EQ(good[0].tag, MakeTag("MCPS"));
    const std::vector<uint8_t>& slots = good[0].body;

    auto withGeometry = [&](std::vector<uint8_t> body) {
        auto subs = good;
        subs[0].body = std::move(body);
        return subs;
    };
    std::vector<uint8_t> truncated(slots.begin(), slots.end() - 7);
    std::vector<uint8_t> lengthBeyond = slots;
    lengthBeyond[0] = 0xFF, lengthBeyond[1] = 0xFF, lengthBeyond[2] = 0xFF, lengthBeyond[3] = 0x7F;
    std::vector<uint8_t> badHeader = slots;
    badHeader[4] ^= 0x5A; // the first byte of slot 0's "PXBin" header
    std::vector<uint8_t> damagedBody = slots;
    for (size_t i = 40; i < damagedBody.size(); i += 3)
        damagedBody[i] ^= 0xA5;
    std::vector<uint8_t> noSlots = {0, 0, 0, 0};
    auto masksShort = good;
    masksShort[2].body = {1, 0, 0, 0, 1, 0, 0, 0};
    auto materialsShort = good;
    materialsShort[1].body = {0, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF};
    const struct {
        const char* name;
        std::vector<SubRecord> subs;
    } cases[] = {
        {"truncated MCPS", withGeometry(truncated)},
        {"slot length beyond the record", withGeometry(lengthBeyond)},
        {"bad stream header", withGeometry(badHeader)},
        {"decoder failure", withGeometry(damagedBody)},
        {"no slots", withGeometry(noSlots)},
        {"MMAT of the wrong count", materialsShort},
        {"MSMO of the wrong count", masksShort},
        {"no geometry", {good[1], good[2]}},
        {"no MMAT", {good[0], good[2]}},
        {"two geometry records", {good[0], good[0], good[1], good[2]}},
        {"MRAW counts beyond the record", {{MakeTag("MRAW"), {0xFF, 0xFF, 0xFF, 0x0F, 0, 0}}, good[1], good[2]}},
    };
    auto target = MeshOf(meshtest::MakeCube());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(ReadThroughTable(Join(c.subs), *target));
        EXPECT_EQ(target->GetPolygonCount(), 12u);
        EXPECT_EQ(target->GetVertexCount(), 8u);
    }
    EXPECT_TRUE(ReadThroughTable(Join(good), *target)) << "the table's base case reads";
}

// A plain record read back builds the table a chain of the written triangles builds, corner keys, materials and
// masks alike; cut anywhere in one of its sub-records (every boundary of each array read as a block among the
// cuts), it fails whole and leaves the mesh as it was.
TEST(MeshSchemeDamaged, PlainRecordCutAnywhereFailsAndAWholeOneRebuildsTheTable)
{
    std::vector<std::unique_ptr<SWmaterial>> owned;
    std::vector<SWmaterial*> materials;
    for (const char* name : {"red", "green"}) {
        owned.push_back(std::make_unique<SWmaterial>(name));
        materials.push_back(owned.back().get());
    }
    const meshtest::OffMesh sphere = meshtest::MakeSphere(4, 5);
    std::vector<float> uvs;
    for (size_t i = 0; i + 2 < sphere.positions.size(); i += 3)
        uvs.insert(uvs.end(), {sphere.positions[i], sphere.positions[i + 2]});
    const auto source = MeshOf(sphere, materials, {0u, 1u, 2u, 1u, 4u}, uvs);
    source->SetUserSettings(9, 4); // stored plain
    const Written written = WriteThroughRow(*source);
    ASSERT_TRUE(written.ok);
    const auto good = SubRecordsOf(written.record);
    ASSERT_EQ(good.size(), 3u);
    ASSERT_EQ(good[0].tag, MakeTag("MRAW"));
    const MeshMaterialLookup lookup = [&](std::string_view name) -> SWmaterial* {
        for (SWmaterial* material : materials)
            if (material->GetName() == name)
                return material;
        return nullptr;
    };
    const auto read = [&](const std::vector<SubRecord>& subs, SWmesh& mesh) {
        const std::vector<uint8_t> record = Join(subs);
        SWchunkstream in(record);
        in.TakeTag();
        const auto payload = in.OpenChild();
        return ReadMeshPayload(*payload, mesh, lookup);
    };

    // The file keeps triangles, so the faceted quads' halves no longer share keys: the chain of triangles says what
    // a load must build.
    SWmesh expected;
    expected.SetVertices(std::vector<float>(sphere.positions));
    expected.SetTextureVertices(std::vector<float>(uvs));
    SWarrayblockChain chain;
    for (uint32_t p = 0; p < source->GetPolygonCount(); ++p) {
        const SWindexrecord record = source->GetIndexRecord(p);
        auto block = std::make_unique<SWarrayblock>(record.position, true, record.texture, 0u,
                                                    source->GetPolygons()[p].material);
        block->SetSmoothingMask(source->GetSmoothingMask(p));
        chain.Add(std::move(block));
    }
    expected.BuildPolygonIndices(chain.Head());
    SWmeshobject loaded;
    ASSERT_TRUE(read(good, loaded));
    ASSERT_EQ(loaded.GetPolygonCount(), expected.GetPolygonCount());
    EXPECT_EQ(loaded.GetCornerKeyCount(), expected.GetCornerKeyCount());
    for (uint32_t p = 0; p < loaded.GetPolygonCount(); ++p) {
        SCOPED_TRACE(p);
        const SWindexrecord got = loaded.GetIndexRecord(p);
        const SWindexrecord want = expected.GetIndexRecord(p);
        EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0);
        EXPECT_EQ(loaded.GetPolygons()[p].material, expected.GetPolygons()[p].material);
        EXPECT_EQ(loaded.GetPolygons()[p].flags, expected.GetPolygons()[p].flags);
        EXPECT_EQ(loaded.GetSmoothingMask(p), expected.GetSmoothingMask(p));
    }

    auto target = MeshOf(meshtest::MakeCube());
    for (size_t sub = 0; sub < good.size(); ++sub) {
        for (size_t kept = 0; kept < good[sub].body.size(); ++kept) {
            SCOPED_TRACE(std::to_string(sub) + " cut to " + std::to_string(kept));
            auto subs = good;
            subs[sub].body.resize(kept);
            ASSERT_FALSE(read(subs, *target));
            ASSERT_EQ(target->GetPolygonCount(), 12u);
            ASSERT_EQ(target->GetVertexCount(), 8u);
        }
    }
}

// A plain record of more triangles than one read takes at a time, whose texture indices part from the position
// indices only in a later read: every triangle reads back as written, and a cut at the boundary of two reads, or
// a byte either side, fails whole.
TEST(MeshSchemeDamaged, TrianglesReadInRunsComeBackWholeOrNotAtAll)
{
    const meshtest::OffMesh sphere = meshtest::MakeSphere(48, 96); // 9,024 triangles
    std::vector<float> uvs;
    for (size_t i = 0; i + 2 < sphere.positions.size(); i += 3)
        uvs.insert(uvs.end(), {sphere.positions[i], sphere.positions[i + 1]});
    const uint32_t uvCount = static_cast<uint32_t>(uvs.size() / 2);
    SWmeshobject source;
    source.SetVertices(std::vector<float>(sphere.positions));
    source.SetTextureVertices(std::move(uvs));
    SWarrayblockChain chain;
    std::vector<uint32_t> corners;
    uint32_t made = 0;
    for (const int32_t index : sphere.coordIndex) {
        if (index >= 0) {
            corners.push_back(static_cast<uint32_t>(index));
            continue;
        }
        for (size_t i = 1; i + 1 < corners.size(); ++i, ++made) {
            const std::vector<uint32_t> triangle = {corners[0], corners[i], corners[i + 1]};
            std::vector<uint32_t> texture = triangle;
            if (made >= 8500 && made % 3 == 0)
                texture[2] = (texture[2] + 1) % uvCount;
            chain.Add(std::make_unique<SWarrayblock>(triangle, true, texture, 0u, nullptr));
        }
        corners.clear();
    }
    source.BuildPolygonIndices(chain.Head());
    ASSERT_GT(source.GetPolygonCount(), 8192u);
    ASSERT_NE(source.GetCornerTextures().data(), source.GetCornerPositions().data()) << "some texture index differs";
    source.SetUserSettings(9, 4); // stored plain
    const Written written = WriteThroughRow(source);
    ASSERT_TRUE(written.ok);
    const auto good = SubRecordsOf(written.record);
    ASSERT_EQ(good[0].tag, MakeTag("MRAW"));
    const auto read = [](const std::vector<SubRecord>& subs, SWmesh& mesh) {
        const std::vector<uint8_t> record = Join(subs);
        SWchunkstream in(record);
        in.TakeTag();
        const auto payload = in.OpenChild();
        return ReadMeshPayload(*payload, mesh, {});
    };
    SWmeshobject loaded;
    ASSERT_TRUE(read(good, loaded));
    ASSERT_EQ(loaded.GetPolygonCount(), source.GetPolygonCount());
    for (uint32_t p = 0; p < loaded.GetPolygonCount(); ++p) {
        const SWindexrecord got = loaded.GetIndexRecord(p), want = source.GetIndexRecord(p);
        ASSERT_EQ(std::memcmp(got.position, want.position, sizeof got.position), 0) << p;
        ASSERT_EQ(std::memcmp(got.texture, want.texture, sizeof got.texture), 0) << p;
    }

    // The triangles follow the counts and the arrays of positions and texture vertices.
    const size_t triangles = 4 + 12 * size_t{source.GetVertexCount()} + 4 + 8 * size_t{uvCount} + 4;
    auto target = MeshOf(meshtest::MakeCube());
    for (const size_t kept : {triangles + 8192 * 24 - 1, triangles + 8192 * 24, triangles + 8192 * 24 + 1}) {
        SCOPED_TRACE(kept);
        auto subs = good;
        subs[0].body.resize(kept);
        EXPECT_FALSE(read(subs, *target));
        EXPECT_EQ(target->GetPolygonCount(), 12u);
    }
}

} // namespace
