#include "engine/resources/mesh_schemes.h"

#include <algorithm>
#include <map>
#include <memory>
#include <new>
#include <span>
#include <type_traits>
#include <utility>

#include "codecs/geometry/geometry_codec.h"
#include "codecs/geometry/px_model.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/px_stream.h"
#include "engine/core/child_records.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/resources/array_block.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/resource_report.h"
#include "platform/base/large_pages.h"

namespace {
constexpr uint32_t kTagRaw = MakeTag("MRAW");
constexpr uint32_t kTagCompressed = MakeTag("MCPS");
constexpr uint32_t kTagMaterials = MakeTag("MMAT");
constexpr uint32_t kTagSmoothing = MakeTag("MSMO");
constexpr uint16_t kNoMaterial = 0xFFFF;
constexpr uint32_t kStoredSlots[4] = {0, 1, 4, 5};

const CompressionSchemeRegistration kPlainRegistration(std::make_unique<SWplainmeshscheme>());
const CompressionSchemeRegistration kRegistration(std::make_unique<SWgeometrycodecscheme>());

thread_local const MeshMaterialLookup* tCurrentLookup = nullptr;

const MeshMaterialLookup& CurrentLookup()
{
    static const MeshMaterialLookup kNone;
    return tCurrentLookup != nullptr ? *tCurrentLookup : kNone;
}

constexpr size_t kIndicesPerTriangle = 6;   // three position indices, then three texture-vertex indices
constexpr size_t kWriteRunTriangles = 4096; // triangles gathered per block write
constexpr size_t kReadRunTriangles = 8192;  // triangles read per block read

// A payload as read, before anything of the mesh changes.
struct StoredMesh {
    std::vector<float> positions;
    std::vector<float> uvs;
    std::vector<uint32_t> cornerPositions; // three per triangle
    std::vector<uint32_t> cornerTextures;  // three per triangle; empty while they equal the positions'
    bool hasGeometry = false;
    std::vector<std::string> materialNames;
    std::vector<uint16_t> materials;
    bool hasMaterials = false;
    std::vector<uint32_t> masks;
    bool hasMasks = false;
};

const float* SourceVertices(const SWmesh& mesh)
{
    // A mesh object's working positions may be mid-motion; the rest shape is what is stored.
    if (const auto* object = dynamic_cast<const SWmeshobject*>(&mesh); object != nullptr)
        return object->GetBaseVertices();
    return mesh.GetVertices();
}

size_t TriangleCount(const StoredMesh& stored)
{
    return stored.cornerPositions.size() / 3;
}

// A triangle's texture indices: kept apart only from the first that differs from its position indices, as most
// meshes store a texture vertex per position.
void AddTextureCorners(StoredMesh& stored, std::span<const uint32_t> uv, size_t reserve)
{
    const size_t before = stored.cornerPositions.size() - 3;
    if (stored.cornerTextures.empty() && std::equal(uv.begin(), uv.end(), stored.cornerPositions.begin() + before))
        return;
    if (stored.cornerTextures.empty()) {
        pf::reserveWithLargePages(stored.cornerTextures, reserve);
        stored.cornerTextures.assign(stored.cornerPositions.begin(), stored.cornerPositions.begin() + before);
    }
    stored.cornerTextures.insert(stored.cornerTextures.end(), uv.begin(), uv.end());
}

// A u32 count of items of perItem values each, then the values: reserved only once the record is known to hold them.
template <typename T> bool ReadCountedArray(SWchunkstream& in, size_t perItem, std::vector<T>& out)
{
    const uint32_t count = in.ReadU32();
    if (in.Status() != 0 || count > in.Remaining() / (sizeof(T) * perItem))
        return false;
    out.clear();
    pf::reserveWithLargePages(out, size_t{count} * perItem);
    out.resize(size_t{count} * perItem);
    if constexpr (std::is_same_v<T, float>)
        return in.ReadF32s(out);
    else if constexpr (std::is_same_v<T, uint16_t>)
        return in.ReadU16s(out);
    else
        return in.ReadU32s(out);
}

// The triangles, read a run at a time and parted into their position and texture indices as they come.
bool ReadTriangles(SWchunkstream& in, StoredMesh& stored)
{
    const uint32_t count = in.ReadU32();
    if (in.Status() != 0 || count > in.Remaining() / (sizeof(uint32_t) * kIndicesPerTriangle))
        return false;
    const size_t corners = size_t{count} * 3;
    pf::reserveWithLargePages(stored.cornerPositions, corners);
    std::vector<uint32_t> run(std::min<size_t>(count, kReadRunTriangles) * kIndicesPerTriangle);
    for (size_t first = 0; first < count; first += kReadRunTriangles) {
        const size_t triangles = std::min<size_t>(count - first, kReadRunTriangles);
        const std::span<uint32_t> values = std::span<uint32_t>(run).first(triangles * kIndicesPerTriangle);
        if (!in.ReadU32s(values))
            return false;
        for (size_t t = 0; t < triangles; ++t) {
            const std::span<const uint32_t> triangle = values.subspan(t * kIndicesPerTriangle, kIndicesPerTriangle);
            stored.cornerPositions.insert(stored.cornerPositions.end(), triangle.begin(), triangle.begin() + 3);
            if (!stored.uvs.empty()) // without texture vertices a mesh reads every texture index as 0
                AddTextureCorners(stored, triangle.last(3), corners);
        }
    }
    return true;
}

bool ReadRaw(SWchunkstream& in, StoredMesh& stored)
{
    return ReadCountedArray(in, 3, stored.positions) && ReadCountedArray(in, 2, stored.uvs) &&
           ReadTriangles(in, stored);
}

bool ReadSlots(SWchunkstream& in, px::PXStreamSet& out)
{
    for (size_t i = 0; i < 4; ++i) {
        const uint32_t length = in.ReadU32();
        if (in.Status() != 0 || length > in.Remaining())
            return false;
        std::vector<uint8_t> bytes(length);
        in.ReadBytes(bytes);
        if (length != 0) {
            px::PXStream stream;
            if (stream.Attach(std::move(bytes)) != px::PX_OK)
                return false; // a bad stream header
            out.SetSlot(kStoredSlots[i], std::move(stream));
        }
        if (i < 2 && length == 0)
            break; // slot 1 follows only a non-empty slot 0, slots 4 and 5 only a non-empty slot 1
    }
    return in.Status() == 0;
}

// Triangles from the decoded runs of coordIndex: longer runs are fanned as polygons are everywhere else.
bool TrianglesOfFaceSet(const px::PXIndexedFaceSet& set, bool withTexture, StoredMesh& stored)
{
    // Counted first, so that the arrays the mesh takes over are of their size and no more.
    size_t cornerCount = 0, run = 0;
    for (const int32_t index : set.coordIndex) {
        run = index >= 0 ? run + 1 : 0;
        cornerCount += index >= 0 && run >= 3 ? 3 : 0;
    }
    stored.cornerPositions.reserve(cornerCount);
    size_t start = 0;
    for (size_t k = 0; k <= set.coordIndex.size(); ++k) {
        if (k < set.coordIndex.size() && set.coordIndex[k] >= 0)
            continue;
        if (k - start >= 3) {
            for (size_t i = start + 1; i + 1 < k; ++i) {
                const size_t corners[3] = {start, i, i + 1};
                uint32_t uvs[3] = {};
                for (size_t c = 0; c < 3; ++c) {
                    stored.cornerPositions.push_back(static_cast<uint32_t>(set.coordIndex[corners[c]]));
                    const int32_t uv = withTexture ? set.texCoordIndex[corners[c]] : 0;
                    uvs[c] = uv >= 0 ? static_cast<uint32_t>(uv) : 0;
                }
                AddTextureCorners(stored, uvs, cornerCount);
            }
        } else if (k > start) {
            return false; // the codec gives back polygons of three corners or more
        }
        start = k + 1;
    }
    return !stored.cornerPositions.empty();
}

bool ReadCompressed(SWchunkstream& in, StoredMesh& stored)
{
    px::PXStreamSet streams;
    if (!ReadSlots(in, streams))
        return false;
    px::PXModel model;
    if (px::DecompressModel(streams, model) != px::PX_OK || model.Count() != 1)
        return false; // a damaged record never builds a mesh from nothing or from the wrong set
    std::vector<px::PXIndexedFaceSet> lists = model.TakeLists();
    px::PXIndexedFaceSet& set = lists[0];
    const bool withTexture = !set.texCoord.empty() && set.texCoordIndex.size() == set.coordIndex.size();
    stored.positions = std::move(set.coord);
    if (withTexture)
        stored.uvs = std::move(set.texCoord);
    return TrianglesOfFaceSet(set, withTexture, stored);
}

bool ReadMaterials(SWchunkstream& in, StoredMesh& stored)
{
    const uint32_t names = in.ReadU32();
    if (in.Status() != 0 || names > in.Remaining() / 4 || names > kNoMaterial)
        return false;
    stored.materialNames.resize(names);
    for (std::string& name : stored.materialNames)
        in.ReadString(name);
    if (!ReadCountedArray(in, 1, stored.materials))
        return false;
    for (uint16_t& index : stored.materials) {
        if (index != kNoMaterial && index >= names)
            index = kNoMaterial; // a name that does not exist: no material, as an unknown name is
    }
    return stored.hasMaterials = in.Status() == 0;
}

bool ReadMasks(SWchunkstream& in, StoredMesh& stored)
{
    return stored.hasMasks = ReadCountedArray(in, 1, stored.masks);
}

bool ReadSubRecord(uint32_t tag, SWchunkstream& in, StoredMesh& stored)
{
    if (tag == kTagRaw || tag == kTagCompressed) {
        if (stored.hasGeometry)
            return false;
        stored.hasGeometry = true;
        return tag == kTagRaw ? ReadRaw(in, stored) : ReadCompressed(in, stored);
    }
    if (tag == kTagMaterials)
        return ReadMaterials(in, stored);
    if (tag == kTagSmoothing)
        return ReadMasks(in, stored);
    return true; // a later sub-record: skipped
}

void ApplyStoredMesh(StoredMesh& stored, SWmesh& mesh, const MeshMaterialLookup& lookup)
{
    std::vector<SWmaterial*> materials(stored.materialNames.size(), nullptr);
    for (size_t i = 0; lookup && i < materials.size(); ++i)
        materials[i] = lookup(stored.materialNames[i]);
    const bool withTexture = !stored.uvs.empty();
    const auto positions = static_cast<uint32_t>(stored.positions.size() / 3);
    const auto uvs = static_cast<uint32_t>(stored.uvs.size() / 2);
    // A name without a material is kept so that saving writes it back; dropped triangles take no polygon number.
    // Found before the build, which takes the triangles over.
    std::vector<std::pair<uint32_t, uint16_t>> unresolved;
    const std::span<const uint32_t> cornerTextures =
        stored.cornerTextures.empty() ? stored.cornerPositions : stored.cornerTextures;
    uint32_t polygon = 0;
    for (size_t t = 0; t < TriangleCount(stored); ++t) {
        const auto fits = [t](std::span<const uint32_t> indices, uint32_t count) {
            return std::all_of(indices.begin() + t * 3, indices.begin() + t * 3 + 3,
                               [count](uint32_t i) { return i < count; });
        };
        if (!fits(stored.cornerPositions, positions) || (withTexture && !fits(cornerTextures, uvs)))
            continue;
        const uint16_t index = stored.materials[t];
        if (index != kNoMaterial && materials[index] == nullptr)
            unresolved.emplace_back(polygon, index);
        ++polygon;
    }
    mesh.SetVertices(std::move(stored.positions));
    mesh.SetTextureVertices(std::move(stored.uvs));
    // Drops what names nothing, as every loaded polygon; kNoMaterial lies past the table of names.
    mesh.BuildTriangleIndices({std::move(stored.cornerPositions),
                               withTexture ? std::move(stored.cornerTextures) : std::vector<uint32_t>(), stored.masks,
                               stored.materials, materials});
    for (const auto& [at, index] : unresolved)
        mesh.SetUnresolvedMaterialName(at, stored.materialNames[index]);
}

// Calls write with runs of at most kWriteRunTriangles triangles' values, gathered by fill(triangle, out), so that
// a large table goes out in few writes without a copy of it all.
template <typename T, size_t PerTriangle, typename Fill, typename Write>
bool WriteGathered(uint32_t count, Fill&& fill, Write&& write)
{
    std::vector<T> run;
    run.reserve(std::min<size_t>(count, kWriteRunTriangles) * PerTriangle);
    for (uint32_t first = 0; first < count; first += static_cast<uint32_t>(kWriteRunTriangles)) {
        run.clear();
        const uint32_t last = static_cast<uint32_t>(std::min<size_t>(count, first + kWriteRunTriangles));
        for (uint32_t i = first; i < last; ++i)
            fill(i, run);
        if (!write(std::span<const T>(run)))
            return false;
    }
    return true;
}
} // namespace

int WriteMeshCompressed(SWchunkstream& out, const SWmesh& mesh, std::vector<uint32_t>& outFaceOrder)
{
    outFaceOrder.clear();
    try {
        px::PXIndexedFaceSet set;
        const float* const vertices = SourceVertices(mesh);
        if (vertices != nullptr)
            set.coord.assign(vertices, vertices + size_t{mesh.GetVertexCount()} * 3);
        const bool withTexture = mesh.GetTextureVertexCount() > 0;
        if (withTexture)
            set.texCoord.assign(mesh.GetTextureVertices(),
                                mesh.GetTextureVertices() + size_t{mesh.GetTextureVertexCount()} * 2);
        for (uint32_t p = 0; p < mesh.GetPolygonCount(); ++p) {
            const SWindexrecord record = mesh.GetIndexRecord(p);
            for (int c = 0; c < 3; ++c) {
                set.coordIndex.push_back(static_cast<int32_t>(record.position[c]));
                if (withTexture)
                    set.texCoordIndex.push_back(static_cast<int32_t>(record.texture[c]));
            }
            set.coordIndex.push_back(-1);
            if (withTexture)
                set.texCoordIndex.push_back(-1);
        }
        px::PXModel model;
        if (const int result = model.SetLists({std::move(set)}); result != px::PX_OK)
            return result;
        model.SetParam(px::kParamPositionBits, mesh.GetPositionBits());
        model.SetParam(px::kParamTexCoordBits, mesh.GetTextureCoordinateBits());
        px::PXStreamSet streams;
        px::PXReorderMaps maps;
        if (const int result = px::CompressModel(model, streams, &maps); result != px::PX_OK)
            return result;
        if (maps.objects.size() != 1 || maps.objects[0].faceMap.size() != mesh.GetPolygonCount())
            return px::PXERR_INVALIDGEOMETRY;
        SWrecordbuilder record(out, kTagCompressed);
        for (const uint32_t slot : kStoredSlots) {
            const std::span<const uint8_t> bytes = streams.SlotBytes(slot).value_or(std::span<const uint8_t>());
            record.Stream().WriteU32(static_cast<uint32_t>(bytes.size()));
            record.Stream().WriteBytes(bytes);
        }
        if (!record.Finish())
            return px::PXERR_OUTOFMEMORY;
        outFaceOrder = std::move(maps.objects[0].faceMap);
        return px::PX_OK;
    } catch (const std::bad_alloc&) {
        return px::PXERR_OUTOFMEMORY;
    }
}

bool WriteMeshRaw(SWchunkstream& out, const SWmesh& mesh)
{
    SWrecordbuilder record(out, kTagRaw);
    SWchunkstream& body = record.Stream();
    const float* const vertices = SourceVertices(mesh);
    body.WriteU32(mesh.GetVertexCount());
    body.WriteF32s(std::span<const float>(vertices, vertices == nullptr ? 0 : size_t{mesh.GetVertexCount()} * 3));
    body.WriteU32(mesh.GetTextureVertexCount());
    body.WriteF32s(std::span<const float>(mesh.GetTextureVertices(), size_t{mesh.GetTextureVertexCount()} * 2));
    body.WriteU32(mesh.GetPolygonCount());
    const auto fill = [&mesh](uint32_t p, std::vector<uint32_t>& out) {
        const SWindexrecord index = mesh.GetIndexRecord(p);
        out.insert(out.end(), std::begin(index.position), std::end(index.position));
        out.insert(out.end(), std::begin(index.texture), std::end(index.texture));
    };
    return WriteGathered<uint32_t, kIndicesPerTriangle>(
               mesh.GetPolygonCount(), fill, [&body](std::span<const uint32_t> run) { return body.WriteU32s(run); }) &&
           record.Finish();
}

bool WriteMeshFaces(SWchunkstream& out, const SWmesh& mesh, std::span<const uint32_t> faceOrder)
{
    const uint32_t count = mesh.GetPolygonCount();
    auto source = [&](uint32_t i) { return faceOrder.empty() ? i : faceOrder[i]; };
    const std::map<uint32_t, std::string>& unresolved = mesh.GetUnresolvedMaterialNames();
    std::vector<std::string_view> names;
    // A material by itself (two of one name stay apart); a name that found none by the name.
    std::map<const SWmaterial*, uint16_t> indexOfMaterial;
    std::map<std::string_view, uint16_t> indexOfName;
    std::vector<uint16_t> indices(count, kNoMaterial);
    const auto indexOf = [&](auto& table, auto key, std::string_view name) {
        auto [at, added] = table.emplace(key, static_cast<uint16_t>(names.size()));
        if (added && names.size() == kNoMaterial) {
            table.erase(at); // more names than an index can tell apart: the rest go without
            return kNoMaterial;
        }
        if (added)
            names.push_back(name);
        return at->second;
    };
    for (uint32_t i = 0; i < count; ++i) {
        const SWmaterial* const material = mesh.GetPolygons()[source(i)].material;
        if (material != nullptr) {
            indices[i] = indexOf(indexOfMaterial, material, material->GetName());
        } else if (const auto kept = unresolved.find(source(i)); kept != unresolved.end()) {
            indices[i] = indexOf(indexOfName, std::string_view(kept->second), kept->second);
        }
    }
    SWrecordbuilder materials(out, kTagMaterials);
    materials.Stream().WriteU32(static_cast<uint32_t>(names.size()));
    for (const std::string_view name : names)
        materials.Stream().WriteString(name);
    materials.Stream().WriteU32(count);
    materials.Stream().WriteU16s(indices);
    if (!materials.Finish())
        return false;
    SWrecordbuilder masks(out, kTagSmoothing);
    masks.Stream().WriteU32(count);
    const auto fill = [&](uint32_t i, std::vector<uint32_t>& run) { run.push_back(mesh.GetSmoothingMask(source(i))); };
    return WriteGathered<uint32_t, 1>(
               count, fill, [&masks](std::span<const uint32_t> run) { return masks.Stream().WriteU32s(run); }) &&
           masks.Finish();
}

bool ReadMeshPayload(SWchunkstream& in, SWmesh& mesh, const MeshMaterialLookup& lookup)
{
    StoredMesh stored;
    try {
        const auto readChild = [&stored](uint32_t tag, SWchunkstream& child) {
            return ReadSubRecord(tag, child, stored);
        };
        if (!ReadChildRecords(in, readChild))
            return false;
        // A mesh of vertices without polygons (a shape still being built, a bounding box) is written so, and reads
        // back so: refusing it would drop it from every world that holds one.
        const size_t triangles = TriangleCount(stored);
        if (in.Status() != 0 || !stored.hasGeometry || !stored.hasMaterials || !stored.hasMasks ||
            stored.materials.size() != triangles || stored.masks.size() != triangles)
            return false;
        ApplyStoredMesh(stored, mesh, lookup);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

MeshMaterialLookupScope::MeshMaterialLookupScope(MeshMaterialLookup lookup)
    : m_lookup(std::move(lookup)), m_outer(tCurrentLookup)
{
    tCurrentLookup = &m_lookup;
}

MeshMaterialLookupScope::~MeshMaterialLookupScope()
{
    tCurrentLookup = m_outer;
}

SWplainmeshscheme::SWplainmeshscheme()
    : SWcompressionscheme({MakeTag("RMES"), SchemeKind::kMesh, true, true, "Plain", "Meshes, plain", {100, 100}})
{
}

bool SWplainmeshscheme::Read(SWchunkstream& in, CVTN_Container* object, uint32_t /*word*/) const
{
    auto* const mesh = dynamic_cast<SWmesh*>(object);
    return mesh != nullptr && ReadMeshPayload(in, *mesh, CurrentLookup());
}

bool SWplainmeshscheme::Write(SWchunkstream& out, CVTN_Container* object, uint32_t /*word*/) const
{
    const auto* const mesh = dynamic_cast<const SWmesh*>(object);
    if (mesh == nullptr)
        return false;
    SWrecordbuilder record(out, GetId());
    return WriteMeshRaw(record.Stream(), *mesh) && WriteMeshFaces(record.Stream(), *mesh, {}) && record.Finish();
}

bool SWplainmeshscheme::Accepts(const CVTN_Container* object) const
{
    return dynamic_cast<const SWmesh*>(object) != nullptr;
}

SWgeometrycodecscheme::SWgeometrycodecscheme()
    : SWcompressionscheme(
          {MakeTag("IMES"), SchemeKind::kMesh, true, false, "Geometry codec", "Meshes, geometry codec", {4, 4}})
{
}

bool SWgeometrycodecscheme::Read(SWchunkstream& in, CVTN_Container* object, uint32_t /*word*/) const
{
    auto* const mesh = dynamic_cast<SWmesh*>(object);
    return mesh != nullptr && ReadMeshPayload(in, *mesh, CurrentLookup());
}

bool SWgeometrycodecscheme::Write(SWchunkstream& out, CVTN_Container* object, uint32_t word) const
{
    auto* const mesh = dynamic_cast<SWmesh*>(object);
    if (mesh == nullptr)
        return false;
    const uint32_t first = mesh->GetUserPositionSetting(), second = mesh->GetUserTextureSetting();
    const bool frames = (word & kWordNodeHasVertexFrames) != 0;
    const bool compress = first < kFirstUncompressedSetting && !HasVertexAddressedData(*mesh) && !frames;
    const std::optional<std::string> why = DescribeStored(mesh, word);
    if (why && first < kFirstUncompressedSetting)
        ReportResource({mesh->GetName() + ": " + *why, GetShortName()});
    SWrecordbuilder record(out, GetId());
    std::vector<uint32_t> order;
    bool written = false;
    if (compress) {
        mesh->SetGeometryCodecParameters(1, first, second);
        const int result = WriteMeshCompressed(record.Stream(), *mesh, order);
        if (result != px::PX_OK) {
            // The mesh is stored plain rather than without geometry; the user hears why.
            ReportResource({mesh->GetName(), px::PXResultName(result)});
            order.clear();
        } else {
            written = true;
        }
    } else {
        mesh->SetGeometryCodecParameters(0, 0, 0);
    }
    if (!written)
        written = WriteMeshRaw(record.Stream(), *mesh);
    written = written && WriteMeshFaces(record.Stream(), *mesh, order) && record.Finish();
    mesh->SetGeometryCodecParameters(0, 0, 0);
    return written;
}

bool SWgeometrycodecscheme::Accepts(const CVTN_Container* object) const
{
    return dynamic_cast<const SWmesh*>(object) != nullptr;
}

std::optional<std::string> SWgeometrycodecscheme::Describe(const CVTN_Container* object) const
{
    const auto* const mesh = dynamic_cast<const SWmesh*>(object);
    if (mesh == nullptr)
        return std::nullopt;
    if (mesh->GetUserPositionSetting() >= kFirstUncompressedSetting)
        return "stored uncompressed: the first setting is 9 or more";
    if (HasVertexAddressedData(*mesh))
        return "stored uncompressed: its morph targets or vertex bindings address vertices by index";
    return std::nullopt;
}

std::optional<std::string> SWgeometrycodecscheme::DescribeStored(const CVTN_Container* object, uint32_t word) const
{
    std::optional<std::string> why = Describe(object);
    if (!why && dynamic_cast<const SWmesh*>(object) != nullptr && (word & kWordNodeHasVertexFrames) != 0)
        why = "stored uncompressed: the vertex frames of its node address vertices by index";
    return why;
}

bool SWgeometrycodecscheme::HasVertexAddressedData(const SWmesh& mesh)
{
    const auto* const object = dynamic_cast<const SWmeshobject*>(&mesh);
    return object != nullptr && (object->GetMorphTargets().Count() > 0 || !object->GetVertexBuckets().empty());
}
