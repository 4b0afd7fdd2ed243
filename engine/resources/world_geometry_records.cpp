// The geometry list of a world's file ("GMLS"): meshes ("MMES") and camera objects ("CMRA"), and the registry of
// the geometry kinds other files add.
#include <array>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/core/camera_node.h"
#include "engine/core/mesh_node.h"
#include "engine/core/node.h"
#include "engine/core/root_object.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"
#include "engine/core/world_sections.h"
#include "engine/resources/compression_scheme.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/mesh_schemes.h"
#include "engine/resources/world_records.h"
#include "engine/resources/world_records_internal.h"

namespace {

using namespace worldrecords;

constexpr uint32_t kTagGeometryHeader = MakeTag("GHDR");
constexpr uint32_t kTagMesh = MakeTag("MMES");
constexpr uint32_t kTagMeshSettings = MakeTag("MSET");
constexpr uint32_t kTagMorphTargets = MakeTag("MORF");
constexpr uint32_t kTagVertexBinding = MakeTag("VBND");
constexpr uint32_t kTagCamera = MakeTag("CMRA");
constexpr uint32_t kTagCameraSettings = MakeTag("CAMR");
constexpr size_t kMaxGeometryKinds = 16;

struct KindTable {
    std::mutex lock;
    std::array<const SWgeometryrecordkind*, kMaxGeometryKinds> kinds{};
    size_t count = 0;
};

KindTable& Kinds()
{
    static KindTable table;
    return table;
}

} // namespace

bool WriteGeometryHeader(const SWgeometry& geometry, SWchunkstream& out)
{
    ObjectReference reference;
    if (const auto* mesh = dynamic_cast<const SWmeshobject*>(&geometry))
        reference = mesh->GetObjectReference();
    return Nested(out, kTagGeometryHeader, [&](SWchunkstream& s) {
        s.WriteString(geometry.GetName());
        s.WriteU8(geometry.IsVisible() ? 1 : 0);
        s.WriteU8(geometry.IsHidden() ? 1 : 0);
        for (int i = 0; i < 16; ++i)
            s.WriteF32(geometry.GetMatrix()[i]);
        s.WriteI32(reference.id);
        return s.WriteU32(reference.value);
    });
}

bool ReadGeometryHeader(SWchunkstream& in, SWgeometry& geometry)
{
    std::string name;
    in.ReadString(name);
    const uint8_t visible = in.ReadU8();
    const uint8_t hidden = in.ReadU8();
    std::array<float, 16> elements = {};
    for (float& e : elements)
        e = in.ReadF32();
    ObjectReference reference;
    reference.id = in.ReadI32();
    reference.value = in.ReadU32();
    if (!Good(in))
        return false;
    geometry.SetName(std::move(name));
    geometry.SetHidden(hidden != 0, false);
    geometry.SetVisible(visible != 0);
    geometry.SetMatrix(SWmatrix(elements));
    if (auto* mesh = dynamic_cast<SWmeshobject*>(&geometry))
        mesh->GetObjectReference() = reference;
    return true;
}

SWgeometryrecordregistration::SWgeometryrecordregistration(const SWgeometryrecordkind* kind) : registered(false)
{
    if (kind == nullptr || kind->tag == 0 || kind->matches == nullptr)
        return;
    KindTable& table = Kinds();
    const std::lock_guard<std::mutex> hold(table.lock);
    for (size_t i = 0; i < table.count; ++i) {
        if (table.kinds[i]->tag == kind->tag)
            return;
    }
    if (table.count == kMaxGeometryKinds)
        return;
    table.kinds[table.count++] = kind;
    registered = true;
}

const SWgeometryrecordkind* FindGeometryRecordKind(uint32_t tag)
{
    KindTable& table = Kinds();
    const std::lock_guard<std::mutex> hold(table.lock);
    for (size_t i = 0; i < table.count; ++i) {
        if (table.kinds[i]->tag == tag)
            return table.kinds[i];
    }
    return nullptr;
}

const SWgeometryrecordkind* FindGeometryRecordKindOf(const SWgeometry& geometry)
{
    KindTable& table = Kinds();
    const std::lock_guard<std::mutex> hold(table.lock);
    for (size_t i = 0; i < table.count; ++i) {
        if (table.kinds[i]->matches(geometry))
            return table.kinds[i];
    }
    return nullptr;
}

namespace {

// -- Meshes

bool WriteMorphTargets(const SWmeshobject& mesh, SWchunkstream& out)
{
    const MorphTargetList& targets = mesh.GetMorphTargets();
    out.WriteU32(static_cast<uint32_t>(targets.Count()));
    for (size_t i = 0; i < targets.Count(); ++i) {
        const SWmorphtarget& target = *targets.GetAt(i);
        out.WriteString(target.name);
        out.WriteU32(target.records.Count());
        for (uint32_t r = 0; r < target.records.Count(); ++r) {
            const float* record = target.records.GetAt(r);
            for (uint32_t f = 0; f < FloatRecordArray::kFloatsPerRecord; ++f)
                out.WriteF32(record[f]);
        }
    }
    return Good(out);
}

bool WriteVertexBinding(const SWmeshobject& mesh, SWchunkstream& out)
{
    out.WriteU32(static_cast<uint32_t>(mesh.GetVertexBuckets().size()));
    for (const SWvertexbucket& bucket : mesh.GetVertexBuckets()) {
        out.WriteU32(bucket.nodeId);
        out.WriteU32(static_cast<uint32_t>(bucket.vertices.size()));
        out.WriteU32s(bucket.vertices);
    }
    return Good(out);
}

// Vertex frames address the mesh's vertices by index, which the geometry codec renumbers: its row must learn of
// them to store such a mesh plain.
// The meshes that some mesh node with vertex frames draws, found in one walk of the tree for the whole list.
std::unordered_set<const SWgeometry*> DrawnByNodesWithVertexFrames(SWworld& world)
{
    std::unordered_set<const SWgeometry*> drawn;
    SWnode* root = world.GetRootNode();
    for (SWnode* node = root; node != nullptr; node = node->NextInTree(root)) {
        const auto* drawer = dynamic_cast<const SWmeshnode*>(node);
        if (drawer != nullptr && drawer->GetGeometry() != nullptr && drawer->GetVertexFrameTable() != nullptr)
            drawn.insert(drawer->GetGeometry());
    }
    return drawn;
}

bool WriteMesh(SWworldwriting& out, SWmeshobject& mesh, bool vertexFrames, SWchunkstream& s)
{
    const SWcompressionscheme* chosen = mesh.GetScheme();
    const uint32_t word = vertexFrames ? SWgeometrycodecscheme::kWordNodeHasVertexFrames : 0;
    return WriteGeometryHeader(mesh, s) &&
           Nested(s, kTagMeshSettings,
                  [&](SWchunkstream& m) {
                      m.WriteU32(chosen ? chosen->GetId() : 0);
                      m.WriteU32(mesh.GetUserPositionSetting());
                      return m.WriteU32(mesh.GetUserTextureSetting());
                  }) &&
           WriteSchemeRecord(out, SchemeKind::kMesh, s, &mesh, mesh, word) &&
           Nested(s, kTagMorphTargets, [&](SWchunkstream& m) { return WriteMorphTargets(mesh, m); }) &&
           Nested(s, kTagVertexBinding, [&](SWchunkstream& m) { return WriteVertexBinding(mesh, m); });
}

bool ReadMorphTargets(SWchunkstream& in, SWmeshobject& mesh)
{
    constexpr uint64_t kRecordBytes = FloatRecordArray::kFloatsPerRecord * 4;
    uint32_t count = 0;
    if (!in.ReadU32(count) || count > in.Remaining() / 8) // a target takes at least its name length and count
        return false;
    std::vector<std::unique_ptr<SWmorphtarget>> targets;
    for (uint32_t t = 0; t < count; ++t) {
        auto target = std::make_unique<SWmorphtarget>();
        uint32_t records = 0;
        if (!in.ReadString(target->name) || !in.ReadU32(records) || records > in.Remaining() / kRecordBytes)
            return false;
        for (uint32_t r = 0; r < records; ++r) {
            std::array<float, FloatRecordArray::kFloatsPerRecord> record = {};
            for (float& f : record)
                f = in.ReadF32();
            target->records.Append(record);
        }
        targets.push_back(std::move(target));
    }
    if (!Good(in))
        return false;
    for (std::unique_ptr<SWmorphtarget>& target : targets)
        mesh.GetMorphTargets().Add(std::move(target));
    return true;
}

bool ReadVertexBinding(SWchunkstream& in, SWmeshobject& mesh)
{
    uint32_t count = 0;
    if (!in.ReadU32(count) || count > in.Remaining() / 8)
        return false;
    for (uint32_t b = 0; b < count; ++b) {
        const uint32_t node = ReadReferencedId(in);
        uint32_t n = 0;
        if (!in.ReadU32(n) || n > in.Remaining() / 4)
            return false;
        std::vector<uint32_t> vertices(n);
        if (!in.ReadU32s(vertices) || !Good(in))
            return false;
        mesh.AddVertexBucket(node, std::move(vertices)); // a bucket naming what does not exist is left out
    }
    return true;
}

SWmaterial* FindMaterial(SWworld& world, std::string_view name)
{
    for (SWmaterial* m = world.GetRootObject()->GetFirstMaterial(); m != nullptr;
         m = SWrootobject::GetNextMaterial(m)) {
        if (m->GetName() == name)
            return m;
    }
    return nullptr;
}

std::unique_ptr<SWgeometry> ReadMesh(SWworldreading& in, SWchunkstream& s)
{
    auto mesh = std::make_unique<SWmeshobject>();
    const MeshMaterialLookupScope materials(
        [&world = in.World()](std::string_view name) { return FindMaterial(world, name); });
    bool header = false;
    bool geometry = false;
    bool damaged = false;
    ForEachNested(s, [&](uint32_t tag, SWchunkstream& sub) {
        if (damaged)
            return;
        if (tag == kTagGeometryHeader) {
            header = ReadGeometryHeader(sub, *mesh);
            damaged = !header;
        } else if (tag == kTagMeshSettings) {
            const uint32_t chosen = sub.ReadU32();
            const uint32_t first = sub.ReadU32();
            const uint32_t second = sub.ReadU32();
            if (!Good(sub))
                return;
            mesh->SetScheme(RowOf(chosen, SchemeKind::kMesh));
            mesh->SetUserSettings(first, second);
        } else if (tag == kTagMorphTargets) {
            damaged = !ReadMorphTargets(sub, *mesh);
        } else if (tag == kTagVertexBinding) {
            damaged = !ReadVertexBinding(sub, *mesh);
        } else if (const SWcompressionscheme* row = RowOf(tag, SchemeKind::kMesh); row && !geometry) {
            geometry = row->Read(sub, mesh.get(), 0) && Good(sub);
            damaged = !geometry;
        }
    });
    // Every mesh is written with its geometry while a row of the kind exists; one without is damaged (and would
    // not load again once saved, its geometry then written empty).
    if (!header || damaged || (!geometry && SWcompressionschemes::Table().DefaultOf(SchemeKind::kMesh) != nullptr))
        return nullptr;
    return mesh;
}

// -- Cameras

bool WriteCamera(SWcameraobject& camera, SWchunkstream& s)
{
    return WriteGeometryHeader(camera, s) && Nested(s, kTagCameraSettings, [&](SWchunkstream& c) {
               c.WriteF32(camera.GetFieldOfView());
               c.WriteU8(camera.GetSubType());
               c.WriteU8(camera.GetProjectionKind());
               c.WriteF32(camera.GetDirection().x);
               c.WriteF32(camera.GetDirection().y);
               c.WriteF32(camera.GetDirection().z);
               c.WriteF32(camera.GetDepthCentre());
               c.WriteF32(camera.GetDepthRange());
               c.WriteF32(camera.GetFirstStereoValue());
               c.WriteF32(camera.GetEyeSeparation());
               return c.WriteF32(camera.GetStereoValue());
           });
}

std::unique_ptr<SWgeometry> ReadCamera(SWchunkstream& s)
{
    auto camera = std::make_unique<SWcameraobject>();
    bool header = false;
    bool damaged = false;
    ForEachNested(s, [&](uint32_t tag, SWchunkstream& sub) {
        if (tag == kTagGeometryHeader) {
            header = ReadGeometryHeader(sub, *camera);
            damaged = damaged || !header;
        } else if (tag == kTagCameraSettings) {
            const float fov = sub.ReadF32();
            const uint8_t subType = sub.ReadU8();
            const uint8_t projection = sub.ReadU8();
            SWvector direction;
            direction.x = sub.ReadF32();
            direction.y = sub.ReadF32();
            direction.z = sub.ReadF32();
            const float centre = sub.ReadF32();
            const float range = sub.ReadF32();
            const float firstStereo = sub.ReadF32();
            sub.ReadF32(); // the eye separation follows from the first stereo value
            const float secondStereo = sub.ReadF32();
            if (!Good(sub)) {
                damaged = true;
                return;
            }
            camera->SetFieldOfView(fov);
            camera->SetSubType(subType);
            camera->SetProjectionKind(projection);
            camera->SetDirection(direction);
            camera->SetDepthCentre(centre);
            camera->SetDepthRange(range);
            camera->SetFirstStereoValue(firstStereo);
            camera->SetStereoValue(secondStereo);
        }
    });
    if (!header || damaged)
        return nullptr;
    return camera;
}

// -- The list

bool WriteGeometryList(SWworldwriting& out, uint32_t rootIndex)
{
    const std::optional<uint32_t> list = out.AddRecord(WorldSectionTag(WorldSection::kGeometry), rootIndex, nullptr);
    if (!list)
        return false;
    const std::unordered_set<const SWgeometry*> withVertexFrames = DrawnByNodesWithVertexFrames(out.World());
    for (SWgeometry* g = out.World().GetRootObject()->GetFirstGeometry(); g != nullptr;
         g = dynamic_cast<SWgeometry*>(g->GetNextSibling())) {
        std::optional<uint32_t> index;
        if (auto* mesh = dynamic_cast<SWmeshobject*>(g)) {
            const bool vertexFrames = withVertexFrames.count(mesh) != 0;
            index = out.AddRecord(kTagMesh, *list,
                                  [&](SWchunkstream& s) { return WriteMesh(out, *mesh, vertexFrames, s); });
        } else if (auto* camera = dynamic_cast<SWcameraobject*>(g)) {
            index = out.AddRecord(kTagCamera, *list, [&](SWchunkstream& s) { return WriteCamera(*camera, s); });
        } else if (const SWgeometryrecordkind* kind = FindGeometryRecordKindOf(*g); kind && kind->write) {
            index = out.AddRecord(kind->tag, *list, [&](SWchunkstream& s) { return kind->write(out, *g, s); });
        } else {
            continue; // a kind nobody stores
        }
        if (!index)
            return false;
        out.NoteRecord(g, *index);
    }
    return true;
}

bool ReadGeometryList(SWworldreading& in, uint32_t index)
{
    SWrootobject* root = in.World().GetRootObject();
    for (const uint32_t child : in.Children(index)) {
        const uint32_t tag = in.Tag(child);
        const SWgeometryrecordkind* kind = FindGeometryRecordKind(tag);
        if (tag != kTagMesh && tag != kTagCamera && (kind == nullptr || kind->read == nullptr)) {
            in.Skip(child, "not a geometry object");
            continue;
        }
        SWworldreading::Payload payload;
        if (!in.Open(child, payload))
            continue;
        std::unique_ptr<SWgeometry> geometry = tag == kTagMesh     ? ReadMesh(in, *payload.stream)
                                               : tag == kTagCamera ? ReadCamera(*payload.stream)
                                                                   : kind->read(in, *payload.stream);
        if (!geometry) {
            in.Skip(child, "geometry object does not read");
            ReportDamaged("geometry object", TagText(tag));
            continue;
        }
        in.SetRecordObject(child, root->AddGeometry(std::move(geometry)));
    }
    return true;
}

// After the nodes exist: vertex bindings find their nodes, kept material names their materials, and meshes are made
// ready to draw.
void LinkGeometry(SWworldreading& in)
{
    SWnode* rootNode = in.World().GetRootNode();
    for (SWgeometry* g = in.World().GetRootObject()->GetFirstGeometry(); g != nullptr;
         g = dynamic_cast<SWgeometry*>(g->GetNextSibling())) {
        auto* mesh = dynamic_cast<SWmeshobject*>(g);
        if (mesh == nullptr)
            continue;
        for (size_t b = 0; b < mesh->GetVertexBuckets().size(); ++b)
            mesh->SetCachedNode(b, rootNode->FindById(mesh->GetVertexBuckets()[b].nodeId));
        const std::map<uint32_t, std::string> unresolved = mesh->GetUnresolvedMaterialNames(); // binding erases
        for (const auto& [polygon, name] : unresolved) {
            if (SWmaterial* material = FindMaterial(in.World(), name))
                mesh->SetPolygonMaterial(polygon, material);
        }
        mesh->Prepare();
    }
}

constexpr SWworldsectionhandler kGeometrySection = {
    .write = &WriteGeometryList, .read = &ReadGeometryList, .link = &LinkGeometry};
const SWworldsectionregistration kGeometryRegistered(WorldSection::kGeometry, &kGeometrySection);

} // namespace
