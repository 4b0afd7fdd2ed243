#include "engine/core/scene_import.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "engine/behaviour/event.h"
#include "engine/behaviour/properties.h"
#include "engine/core/buffer.h"
#include "engine/core/camera_node.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/hotspot.h"
#include "engine/core/java_class_node.h"
#include "engine/core/mesh_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/sub_world_loader.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"
#include "engine/core/world_sections.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/sound.h"
#include "engine/resources/texture.h"

namespace {

// The names of one kind in the target, for making merged names unique: name, or name_1, name_2, ... the first not
// taken. Names only join (nothing is renamed or removed while a merge runs), so a suffix found taken stays taken
// and the next search for that name starts where the last one stopped: every name costs a look-up or two instead
// of a walk of the target for every suffix tried.
class UniqueNames {
public:
    void Take(const std::string& name) { m_taken.insert(name); }
    bool IsTaken(const std::string& name) const { return m_taken.contains(name); }
    // Not taken by this: the caller takes it once the object joins the target.
    std::string Unique(const std::string& name)
    {
        if (!IsTaken(name))
            return name;
        int& suffix = m_nextSuffix.try_emplace(name, 1).first->second;
        for (;; ++suffix) {
            std::string candidate = name + "_" + std::to_string(suffix);
            if (!IsTaken(candidate))
                return candidate; // the suffix stays: the candidate is not taken until its object joins
        }
    }

private:
    std::unordered_set<std::string> m_taken;
    std::unordered_map<std::string, int> m_nextSuffix; // per name: every lower suffix is taken
};

// The nodes of root's tree by id, the first in pre-order for an id held twice (as FindById answers).
std::unordered_map<uint32_t, SWnode*> NodesById(SWnode* root)
{
    std::unordered_map<uint32_t, SWnode*> byId;
    for (SWnode* n = root; n != nullptr; n = n->NextInTree(root))
        byId.emplace(n->GetId(), n);
    return byId;
}

std::set<const CVTN_Container*> BoundNodes(SWworld& world)
{
    std::set<const CVTN_Container*> bones;
    SWnode* root = world.GetRootNode();
    std::unordered_map<uint32_t, SWnode*> byId; // made at the first vertex binding
    for (SWnode* n = root; n != nullptr; n = n->NextInTree(root)) {
        auto* mesh = dynamic_cast<SWmeshnode*>(n);
        SWmeshobject* object = mesh ? mesh->GetMeshObject() : nullptr;
        for (size_t b = 0; object != nullptr && b < object->GetVertexBuckets().size(); ++b) {
            if (byId.empty())
                byId = NodesById(root);
            if (const auto bone = byId.find(object->GetVertexBuckets()[b].nodeId); bone != byId.end())
                bones.insert(bone->second);
        }
    }
    return bones;
}

// The import-flag bit that decides whether node is merged.
uint32_t KindBitOf(const SWnode& node, const std::set<const CVTN_Container*>& bones)
{
    if (node.HasKind(SWnode::kKindCamera))
        return kMergeCameras;
    if (node.HasKind(SWnode::kKindMesh))
        return kMergeMeshes;
    if (node.GetGeometry() != nullptr && node.GetGeometry()->IsKindOf(MakeTag("PSYS"))) // the particle node's tag
        return kMergeParticles;
    if (bones.count(&node) != 0)
        return kMergeBones;
    return kMergeDummies;
}

// Nodes of the kinds left out leave the import's tree; their children join their parent first.
void DissolveLeftOutNodes(SWworld& import, uint32_t kinds)
{
    const std::set<const CVTN_Container*> bones = BoundNodes(import);
    std::vector<SWnode*> leftOut;
    SWnode* root = import.GetRootNode();
    for (SWnode* n = root->GetFirstChildNode() ? root->NextInTree(root) : nullptr; n != nullptr;
         n = n->NextInTree(root)) {
        if ((KindBitOf(*n, bones) & kinds) == 0)
            leftOut.push_back(n);
    }
    for (auto it = leftOut.rbegin(); it != leftOut.rend(); ++it) {
        SWnode* node = *it;
        SWnode* parent = node->GetParentNode();
        std::vector<SWnode*> children;
        for (SWnode* c = node->GetFirstChildNode(); c != nullptr; c = c->GetNextSiblingNode())
            children.push_back(c);
        for (SWnode* child : children) {
            child->Detach();
            if (!import.AddNode(child, parent))
                delete child;
        }
        import.DeleteNode(node);
    }
}

// Moves a root-object child (texture, material, geometry) from the import's list to the target's.
template <typename T, typename Add> T* MoveListed(T* object, Add add)
{
    object->Detach();
    return add(std::unique_ptr<T>(object));
}

void MergeNodes(SWworld& target, SWworld& import, const MergeOptions& options, MergeRecord& record)
{
    DissolveLeftOutNodes(import, options.kinds);
    SWnode* targetRoot = target.GetRootNode();
    SWnode* under = options.parent != nullptr ? options.parent : targetRoot;
    std::vector<SWnode*> tops;
    for (SWnode* child = import.GetRootNode()->GetFirstChildNode(); child; child = child->GetNextSiblingNode())
        tops.push_back(child);
    std::set<SWgeometry*> geometry;
    UniqueNames names;
    if (options.uniqueNames) {
        for (SWnode* n = targetRoot; n != nullptr; n = n->NextInTree(targetRoot)) {
            if (n->GetName())
                names.Take(*n->GetName());
        }
    }
    for (SWnode* top : tops) {
        // Names are made unique before the subtree joins the target, so that it cannot clash with itself: two
        // nodes of one name within a subtree keep sharing it, as they did in the file.
        for (SWnode* node = top; node != nullptr; node = node->NextInTree(top)) {
            const std::string inFile = node->GetName().value_or("");
            if (options.uniqueNames && node->GetName())
                node->SetName(names.Unique(inFile));
            if (node->GetGeometry() != nullptr)
                geometry.insert(node->GetGeometry());
            auto* mesh = dynamic_cast<SWmeshnode*>(node);
            if (mesh != nullptr && mesh->GetMeshObject() != nullptr && (options.kinds & kMergeSkinData) == 0)
                mesh->GetMeshObject()->ClearVertexBuckets();
            record.entries.push_back({MergedKind::kNode, node->GetId(), node->GetName().value_or(""), inFile});
        }
        top->Detach();
        if (!target.AddNode(top, under)) {
            delete top; // cannot happen for a parent of the target's tree; never leak the subtree
            continue;
        }
        for (SWnode* node = top; options.uniqueNames && node != nullptr; node = node->NextInTree(top)) {
            if (node->GetName())
                names.Take(*node->GetName());
        }
    }
    for (SWlistnode* e = import.GetCameraList().Head(); e != nullptr; e = e->Next()) {
        SWcameranode* camera = static_cast<SWcameraentry*>(e)->node;
        if (camera->IsInSubtreeOf(*targetRoot))
            target.AddCamera(camera);
    }
    // The geometry the moved nodes draw goes with them, in the import's list order.
    SWobjectlist* list = import.GetRootObject()->GetList(SWobjectlist::Kind::kGeometry);
    std::vector<SWgeometry*> moving;
    for (CVTN_Container* c = list ? list->GetFirstChild() : nullptr; c != nullptr; c = c->GetNextSibling()) {
        auto* g = dynamic_cast<SWgeometry*>(c);
        if (g != nullptr && geometry.count(g) != 0)
            moving.push_back(g);
    }
    for (SWgeometry* g : moving) {
        MoveListed(g, [&](std::unique_ptr<SWgeometry> owned) {
            return target.GetRootObject()->AddGeometry(std::move(owned));
        });
        record.entries.push_back({MergedKind::kGeometry, 0, g->GetName(), g->GetName()});
    }
}

// Every material a mesh of world's polygons uses. Polygons come in runs of one material: a set insertion per polygon
// cost more than what it serves.
std::unordered_set<const SWmaterial*> MaterialsInUse(SWworld& world)
{
    std::unordered_set<const SWmaterial*> used;
    for (SWgeometry* g = world.GetRootObject()->GetFirstGeometry(); g != nullptr;
         g = dynamic_cast<SWgeometry*>(g->GetNextSibling())) {
        const auto* mesh = dynamic_cast<const SWmesh*>(g);
        const SWmaterial* last = nullptr;
        for (uint32_t p = 0; mesh != nullptr && p < mesh->GetPolygonCount(); ++p)
            if (const SWmaterial* material = mesh->GetPolygons()[p].material; p == 0 || material != last)
                used.insert(last = material);
    }
    return used;
}

// The materials and textures that merged objects use (every one with the resources bit).
void MergeResources(SWworld& target, SWworld& import, const MergeOptions& options, MergeRecord& record)
{
    const bool all = (options.kinds & kMergeResources) != 0;
    const std::unordered_set<const SWmaterial*> usedMaterials = MaterialsInUse(target);
    std::vector<SWmaterial*> materials;
    for (SWmaterial* m = import.GetRootObject()->GetFirstMaterial(); m; m = SWrootobject::GetNextMaterial(m)) {
        if (all || usedMaterials.count(m) != 0)
            materials.push_back(m);
    }
    std::set<const SWtexture*> usedTextures;
    for (SWmaterial* m : materials) {
        for (const SWtexture* t : {m->GetTexture(), m->GetReflectionTexture(), m->GetBumpTexture()})
            usedTextures.insert(t);
    }
    std::vector<SWhotspot*> hotspots; // merged ones: their textures are the import's, by name
    const std::unordered_map<uint32_t, SWnode*> byId = NodesById(target.GetRootNode());
    for (const MergeEntry& entry : record.entries) {
        if (entry.kind != MergedKind::kNode)
            continue;
        const auto found = byId.find(entry.id);
        if (auto* hotspot = found == byId.end() ? nullptr : dynamic_cast<SWhotspot*>(found->second)) {
            hotspots.push_back(hotspot);
            if (hotspot->GetTextureName())
                usedTextures.insert(import.FindTextureByName(*hotspot->GetTextureName()));
        }
    }
    std::vector<SWtexture*> textures;
    for (SWtexture* t = import.GetRootObject()->GetFirstTexture(); t; t = SWrootobject::GetNextTexture(t)) {
        if (all || usedTextures.count(t) != 0)
            textures.push_back(t);
    }
    UniqueNames textureNames;
    for (SWtexture* t = target.GetRootObject()->GetFirstTexture(); t; t = SWrootobject::GetNextTexture(t))
        textureNames.Take(t->GetName());
    for (SWtexture* t : textures) {
        const std::string inFile = t->GetName();
        if (options.uniqueNames)
            t->SetName(textureNames.Unique(inFile));
        textureNames.Take(t->GetName());
        for (SWhotspot* hotspot : hotspots) {
            if (hotspot->GetTextureName() == inFile) {
                hotspot->SetTextureName(t->GetName());
                hotspot->ForgetTexture();
            }
        }
        MoveListed(t, [&](std::unique_ptr<SWtexture> owned) {
            SWtexture* placed = owned.get();
            target.GetRootObject()->AddTexture(std::move(owned));
            return placed;
        });
        record.entries.push_back({MergedKind::kTexture, 0, t->GetName(), inFile, t});
    }
    UniqueNames materialNames;
    for (SWmaterial* m = target.GetRootObject()->GetFirstMaterial(); m; m = SWrootobject::GetNextMaterial(m))
        materialNames.Take(m->GetName());
    for (SWmaterial* m : materials) {
        const std::string inFile = m->GetName();
        if (options.uniqueNames)
            m->SetName(materialNames.Unique(inFile));
        materialNames.Take(m->GetName());
        // Renamed textures: the material's names follow its pointers again.
        m->SetTexture(m->GetTexture());
        m->SetReflectionTexture(m->GetReflectionTexture());
        m->SetBumpTexture(m->GetBumpTexture());
        MoveListed(m, [&](std::unique_ptr<SWmaterial> owned) {
            SWmaterial* placed = owned.get();
            target.GetRootObject()->AddMaterial(std::move(owned));
            return placed;
        });
        record.entries.push_back({MergedKind::kMaterial, 0, m->GetName(), inFile, m});
    }
}

// A list of variables copied through their stored form: ids stay as read, references within them still agree.
void CopyVariables(const SWproperties2& from, SWproperties2& to)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        from.WriteVariables(out);
    }
    SWchunkstream in(buffer, SWchunkstream::kRead);
    to.ReadVariables(in);
}

void MergeSounds(SWworld& target, SWworld& import, const MergeOptions& options, MergeRecord& record)
{
    // Restored sound files live as long as the world that plays them: the import lets go of them, or deleting it
    // would delete the files the merged sounds play.
    const std::vector<std::string> paths = import.GetFileReferences().Paths();
    for (const std::string& path : paths) {
        target.AddFileReference(path);
        import.GetFileReferences().Release(path);
    }
    SWsoundlist& sounds = import.GetSoundList();
    UniqueNames names;
    for (SWsound* s = target.GetSoundList().GetFirst(); s != nullptr; s = target.GetSoundList().GetNext(s))
        names.Take(s->GetName());
    while (SWsound* sound = sounds.GetFirst()) {
        const std::string inFile = sound->GetName();
        std::unique_ptr<SWsound> owned = sounds.Remove(sound);
        if (options.uniqueNames)
            sound->SetName(names.Unique(inFile));
        names.Take(sound->GetName());
        sound->SetWorld(&target);
        SWsound* placed = target.GetSoundList().Add(std::move(owned));
        if (const SWproperties2* variables = import.FindSoundVariables(*sound))
            CopyVariables(*variables, target.GetSoundVariables(*placed));
        record.entries.push_back({MergedKind::kSound, 0, placed->GetName(), inFile, placed});
    }
}

void MergeEntries(SWworld& target, SWworld& import, const MergeOptions& options, MergeRecord& record)
{
    if ((options.kinds & kMergeCursors) != 0) {
        UniqueNames names;
        for (SWcursor* c = target.GetCursorList().GetFirst(); c != nullptr; c = CursorList::GetNext(c))
            names.Take(c->name);
        for (SWcursor* c = import.GetCursorList().GetFirst(); c != nullptr; c = CursorList::GetNext(c)) {
            std::string name = c->name;
            if (options.uniqueNames)
                name = names.Unique(name);
            names.Take(name);
            SWcursor* added = target.GetCursorList().Add(name, c->id);
            added->imageFile = c->imageFile;
            added->hotSpotX = c->hotSpotX;
            added->hotSpotY = c->hotSpotY;
            record.entries.push_back({MergedKind::kCursor, c->id, name, c->name});
        }
    }
    if ((options.kinds & kMergeJavaActions) != 0) {
        while (auto* entry = static_cast<SWjavaclassnode*>(import.GetJavaClasses().Head())) {
            std::unique_ptr<SWjavaclassnode> owned = import.RemoveJavaClass(entry);
            const std::string name = entry->GetName().value_or("");
            target.AddJavaClass(std::move(owned));
            record.entries.push_back({MergedKind::kJavaEntry, 0, name, name, entry});
        }
    }
    CVTN_SubWorlds& entries = target.GetSubWorlds();
    UniqueNames names;
    for (CVTN_SubWorld* w = entries.GetFirst(); w != nullptr; w = CVTN_SubWorlds::GetNext(w)) {
        if (w->GetName())
            names.Take(*w->GetName());
    }
    for (CVTN_SubWorld* w = import.GetSubWorlds().GetFirst(); w != nullptr; w = CVTN_SubWorlds::GetNext(w)) {
        const std::string inFile = w->GetName().value_or("");
        std::optional<std::string> name = w->GetName();
        if (options.uniqueNames && name)
            name = names.Unique(*name);
        if (name)
            names.Take(*name);
        CVTN_SubWorld* added = entries.Add(name);
        added->SetDownloadUrl(w->GetDownloadUrl());
        added->SetFileName(w->GetFileName());
        added->SetFolder(w->GetFolder());
        added->SetReferenceLimitFlag(w->GetReferenceLimitFlag());
        added->SetReferenceLimit(w->GetReferenceLimit());
        for (int option = 0; option < 9; ++option)
            added->SetOption(option, w->GetOption(option));
        record.entries.push_back({MergedKind::kSubWorld, 0, name.value_or(""), inFile});
    }
}

// Events move as they are unless the behaviour's merge handler takes them (it renumbers their actions from the
// target's action counter); their ids were made fresh when the file was read.
void MergeEvents(SWworld& target, SWworld& import, const MergeOptions& options, MergeRecord& record)
{
    if ((options.kinds & kMergeEvents) == 0)
        return;
    while (SWevent* event = import.GetFirstEvent()) {
        import.UnlinkEvent(event);
        target.AppendEvent(event);
        const std::string name = event->GetName().value_or("");
        record.entries.push_back({MergedKind::kEvent, event->GetId(), name, name});
    }
}

// The flag a section's merge needs, beyond the merge taking entries at all.
uint32_t SectionMergeBit(WorldSection section)
{
    switch (section) {
    case WorldSection::kTooltips:
        return kMergeTooltips;
    case WorldSection::kExpressions:
        return kMergeExpressions;
    case WorldSection::kEvents:
        return kMergeEvents;
    default:
        return 0;
    }
}

void MergeSections(SWworld& target, SWworld& import, const MergeOptions& options, MergeRecord& record)
{
    for (size_t i = 0; i < static_cast<size_t>(WorldSection::kCount); ++i) {
        const auto section = static_cast<WorldSection>(i);
        const uint32_t bit = SectionMergeBit(section);
        if (bit != 0 && (options.kinds & bit) == 0)
            continue;
        const SWworldsectionhandler* handler = FindWorldSectionHandler(section);
        if (handler != nullptr && handler->merge != nullptr)
            handler->merge(target, import, options.kinds, record);
        else if (section == WorldSection::kEvents)
            MergeEvents(target, import, options, record);
    }
}

// The action ids the merge took go back to the target's counter when it has not moved since and every merged event
// (whose actions alone took them) is gone, so that a merge taken out leaves the world as it was.
void GiveBackActionIds(SWworld& target, const MergeRecord& record, bool everyEventRemoved)
{
    if (everyEventRemoved && record.actionIdsTo > record.actionIdsFrom &&
        target.PeekNextActionId() == record.actionIdsTo)
        target.SetNextActionId(record.actionIdsFrom);
}

// The node after node's subtree in a pre-order walk of root's tree.
SWnode* AfterSubtree(SWnode* node, const SWnode* root)
{
    for (SWnode* n = node; n != nullptr && n != root; n = n->GetParentNode()) {
        if (SWnode* next = n->GetNextSiblingNode())
            return next;
    }
    return nullptr;
}

// Deletes every listed node of target (with what lies below it) in one deletion: the world's deletion walks the
// whole world to drop its references, so deleting each merged node alone would cost the world once per node.
// Answers how many listed nodes were in the tree.
size_t RemoveMergedNodes(SWworld& target, const MergeRecord& record)
{
    SWnode* root = target.GetRootNode();
    std::unordered_set<uint32_t> listedIds;
    for (const MergeEntry& entry : record.entries) {
        if (entry.kind == MergedKind::kNode)
            listedIds.insert(entry.id);
    }
    if (listedIds.empty())
        return 0;
    std::unordered_set<const SWnode*> listed; // the first node of each listed id, as FindById finds it
    for (const auto& [id, node] : NodesById(root)) {
        if (node != root && listedIds.contains(id))
            listed.insert(node);
    }
    std::vector<SWnode*> tops; // listed nodes without a listed ancestor
    for (SWnode* n = root->NextInTree(root); n != nullptr;) {
        if (listed.contains(n)) {
            tops.push_back(n);
            n = AfterSubtree(n, root);
        } else {
            n = n->NextInTree(root);
        }
    }
    if (tops.empty())
        return 0;
    auto* holder = new SWnode(0); // the tree owns it from AddNode on
    if (!target.AddNode(holder, nullptr)) {
        delete holder;
        return 0;
    }
    for (SWnode* top : tops) {
        top->Detach();
        holder->AddChildNode(top);
    }
    target.DeleteNode(holder);
    return listed.size();
}

bool RemoveBySection(SWworld& target, const MergeEntry& entry)
{
    for (size_t i = 0; i < static_cast<size_t>(WorldSection::kCount); ++i) {
        const SWworldsectionhandler* handler = FindWorldSectionHandler(static_cast<WorldSection>(i));
        if (handler != nullptr && handler->removeMerged != nullptr && handler->removeMerged(target, entry))
            return true;
    }
    return false;
}

// Merged entries were appended, and an instance keeps its names: the last of a name is the one merged last.
CVTN_SubWorld* LastNamed(const CVTN_SubWorlds& entries, const std::string& name)
{
    CVTN_SubWorld* last = nullptr;
    for (CVTN_SubWorld* w = entries.GetFirst(); w != nullptr; w = CVTN_SubWorlds::GetNext(w)) {
        if (w->GetName().value_or("") == name)
            last = w;
    }
    return last;
}

SWmaterial* FindMaterial(SWworld& world, std::string_view name)
{
    for (SWmaterial* m = world.GetRootObject()->GetFirstMaterial(); m; m = SWrootobject::GetNextMaterial(m)) {
        if (m->GetName() == name)
            return m;
    }
    return nullptr;
}

} // namespace

MergedResourceLookup::MergedResourceLookup(SWworld& target) : m_target(target)
{
    for (SWtexture* t = target.GetRootObject()->GetFirstTexture(); t; t = SWrootobject::GetNextTexture(t))
        m_textures.insert(t);
    for (SWmaterial* m = target.GetRootObject()->GetFirstMaterial(); m; m = SWrootobject::GetNextMaterial(m))
        m_materials.insert(m);
}

namespace {

// The very object the entry recorded, while listed is still holding it under the recorded name.
template <typename T> T* StillListed(const std::unordered_set<const void*>& listed, const MergeEntry& entry)
{
    auto* object = const_cast<T*>(static_cast<const T*>(entry.object));
    return listed.contains(entry.object) && object->GetName() == entry.name ? object : nullptr;
}

} // namespace

SWtexture* MergedResourceLookup::Texture(const MergeEntry& entry) const
{
    return entry.object == nullptr ? m_target.FindTextureByName(entry.name) : StillListed<SWtexture>(m_textures, entry);
}

SWmaterial* MergedResourceLookup::Material(const MergeEntry& entry) const
{
    return entry.object == nullptr ? FindMaterial(m_target, entry.name) : StillListed<SWmaterial>(m_materials, entry);
}

void MergedResourceLookup::Forget(const void* resource)
{
    m_textures.erase(resource);
    m_materials.erase(resource);
}

SWsound* MergedSound(SWworld& target, const MergeEntry& entry)
{
    const SWsoundlist& sounds = target.GetSoundList();
    if (entry.object == nullptr)
        return sounds.FindByName(entry.name);
    for (SWsound* s = sounds.GetFirst(); s != nullptr; s = sounds.GetNext(s)) {
        if (s == entry.object)
            return s->GetName() == entry.name ? s : nullptr;
    }
    return nullptr;
}

SWjavaclassnode* MergedJavaEntry(SWworld& target, const MergeEntry& entry)
{
    for (SWlistnode* j = target.GetJavaClasses().Tail(); j != nullptr; j = j->Prev()) {
        auto* java = static_cast<SWjavaclassnode*>(j);
        if (java->GetName().value_or("") == entry.name && (entry.object == nullptr || entry.object == java))
            return java;
    }
    return nullptr;
}

WorldLoadResult ImportWorld(const std::string& path, const SWreadlimits& limits)
{
    WorldLoadResult result = LoadWorldFile(path, SWreadcontext::IdMode::kFresh, limits);
    if (result.world) {
        for (SWgeometry* g = result.world->GetRootObject()->GetFirstGeometry(); g != nullptr;
             g = dynamic_cast<SWgeometry*>(g->GetNextSibling())) {
            if (auto* mesh = dynamic_cast<SWmesh*>(g))
                mesh->Prepare();
        }
    }
    return result;
}

MergeRecord MergeWorld(SWworld& target, SWworld& import, const MergeOptions& options, std::string fileName)
{
    MergeRecord record;
    record.fileName = std::move(fileName);
    SWworldlock lock(target);
    SWworldlock importLock(import);
    if (options.parent != nullptr && options.parent->GetRoot() != target.GetRootNode())
        return record; // a parent of another world: nothing is merged
    record.actionIdsFrom = target.PeekNextActionId();
    MergeNodes(target, import, options, record);
    MergeResources(target, import, options, record);
    if ((options.kinds & kMergeSounds) != 0)
        MergeSounds(target, import, options, record);
    if (options.entries) {
        MergeEntries(target, import, options, record);
        MergeSections(target, import, options, record);
    }
    record.actionIdsTo = target.PeekNextActionId();
    return record;
}

size_t RemoveMerged(SWworld& target, const MergeRecord& record, bool resources)
{
    SWworldlock lock(target);
    size_t removed = 0;
    // Resources last, once the nodes and events that used them are gone.
    std::vector<const MergeEntry*> order;
    for (auto entry = record.entries.rbegin(); entry != record.entries.rend(); ++entry) {
        if (!IsMergedResource(entry->kind))
            order.push_back(&*entry);
    }
    for (auto entry = record.entries.rbegin(); entry != record.entries.rend(); ++entry) {
        if (IsMergedResource(entry->kind) && resources)
            order.push_back(&*entry);
    }
    bool nodesRemoved = false;
    size_t eventsListed = 0;
    size_t eventsRemoved = 0;
    MergedResourceLookup merged(target);
    std::optional<std::unordered_set<const SWmaterial*>> inUse;
    for (const MergeEntry* entry : order) {
        switch (entry->kind) {
        case MergedKind::kNode: // all at once, where the deepest would have gone first
            if (!nodesRemoved)
                removed += RemoveMergedNodes(target, record);
            nodesRemoved = true;
            break;
        case MergedKind::kSubWorld:
            if (CVTN_SubWorld* found = LastNamed(target.GetSubWorlds(), entry->name); found != nullptr) {
                if (auto* loader = dynamic_cast<CVTN_SubWorldLoader*>(target.GetPart(WorldPart::kLoaderQueue)))
                    loader->ForgetEntry(found);
                removed += target.GetSubWorlds().Remove(found) ? 1 : 0;
            }
            break;
        case MergedKind::kCursor:
            removed += target.GetCursorList().Remove(target.GetCursorList().FindById(entry->id)) ? 1 : 0;
            break;
        case MergedKind::kEvent:
            ++eventsListed;
            if (target.DeleteEvent(target.FindEventById(entry->id))) {
                ++eventsRemoved;
                ++removed;
            }
            break;
        case MergedKind::kJavaEntry:
            if (SWjavaclassnode* java = MergedJavaEntry(target, *entry))
                removed += target.RemoveJavaClass(java) ? 1 : 0;
            break;
        case MergedKind::kTexture:
            // Every holder (materials, hot spots, the background, registered holders) lets go first.
            if (SWtexture* texture = merged.Texture(*entry); texture != nullptr) {
                merged.Forget(texture);
                target.ReplaceTextureReferences(texture, nullptr, false);
                ++removed;
            }
            break;
        case MergedKind::kMaterial:
            // The polygons left are those of the nodes that stay: what they use is gathered once, when first asked.
            if (!inUse)
                inUse = MaterialsInUse(target);
            if (SWmaterial* m = merged.Material(*entry); m != nullptr && !inUse->contains(m)) {
                merged.Forget(m);
                m->Detach();
                delete m;
                ++removed;
            }
            break;
        case MergedKind::kSound:
            if (SWsound* sound = MergedSound(target, *entry); sound != nullptr)
                removed += target.RemoveSound(sound) ? 1 : 0;
            break;
        case MergedKind::kGeometry: // deleted with the last node that drew it
            break;
        case MergedKind::kSpeechData:
        case MergedKind::kBlock:
        case MergedKind::kExpression:
        case MergedKind::kTooltip:
            removed += RemoveBySection(target, *entry) ? 1 : 0;
            break;
        }
    }
    GiveBackActionIds(target, record, eventsRemoved == eventsListed);
    return removed;
}
