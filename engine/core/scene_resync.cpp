// Resynchronise: what a merge brought, brought up to date with its file read again. The import is deleted as soon as
// this returns, so whatever of it the target keeps (geometry moved over, the materials and textures that geometry
// draws with, the nodes its vertex bindings name) is made the target's own before it returns.
#include <algorithm>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/scene_import.h"
#include "engine/core/world.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/texture.h"

namespace {

// The import's node of a recorded name in the file (an import's names are its file's).
SWnode* InFile(SWworld& import, const std::string& name)
{
    return name.empty() ? nullptr : import.GetRootNode()->FindByName(name);
}

SWmaterial* MaterialNamed(SWworld& world, const std::string& name)
{
    for (SWmaterial* m = world.GetRootObject()->GetFirstMaterial(); m; m = SWrootobject::GetNextMaterial(m)) {
        if (m->GetName() == name)
            return m;
    }
    return nullptr;
}

// The target's name of each texture the record brought, by its name in the file: a merge may have renamed it, and
// the target may hold another texture of the file's name.
std::map<std::string, std::string> RecordedTextureNames(const MergeRecord& record)
{
    std::map<std::string, std::string> names;
    for (const MergeEntry& entry : record.entries) {
        if (entry.kind == MergedKind::kTexture)
            names.emplace(entry.nameInFile, entry.name);
    }
    return names;
}

// Only a texture the record brought: one of the file's name that another file brought would be taken from under
// this file's materials when that file goes.
SWtexture* TargetTexture(SWworld& target, const std::map<std::string, std::string>& recorded,
                         const std::string& nameInFile)
{
    const auto found = recorded.find(nameInFile);
    return found != recorded.end() ? target.FindTextureByName(found->second) : nullptr;
}

// The file's pictures that the record does not know, copied in under names free in the target and recorded, so
// that the materials taking them find them.
size_t AddNewTextures(SWworld& target, SWworld& import, MergeRecord& record,
                      std::map<std::string, std::string>& recorded)
{
    size_t added = 0;
    for (SWtexture* t = import.GetRootObject()->GetFirstTexture(); t != nullptr; t = SWrootobject::GetNextTexture(t)) {
        const std::string inFile = t->GetName();
        std::unique_ptr<SWtexture> copy = recorded.count(inFile) == 0 ? CloneTextureObject(t) : nullptr;
        if (!copy)
            continue;
        std::string name = inFile;
        for (int suffix = 1; target.FindTextureByName(name) != nullptr; ++suffix)
            name = inFile + "_" + std::to_string(suffix);
        copy->SetName(name);
        SWtexture* placed = copy.get();
        target.GetRootObject()->AddTexture(std::move(copy));
        record.entries.push_back({MergedKind::kTexture, 0, name, inFile, placed});
        recorded.emplace(inFile, name);
        ++added;
    }
    return added;
}

void CopyMaterialFields(SWworld& target, const std::map<std::string, std::string>& textures, const SWmaterial& from,
                        SWmaterial& to)
{
    to.SetStoredRenderMode(from.GetRenderMode());
    to.SetMaterialFlags(from.GetMaterialFlags());
    const auto& a = from.GetAmbientColour();
    const auto& d = from.GetDiffuseColour();
    const auto& s = from.GetSpecularColour();
    to.SetAmbientColour(a.intensity, a.red, a.green, a.blue);
    to.SetDiffuseColour(d.intensity, d.red, d.green, d.blue);
    to.SetSpecularColour(s.intensity, s.red, s.green, s.blue);
    to.SetSmoothness(from.GetSmoothness());
    to.SetTransparency(from.GetTransparency());
    to.SetTextureOpacity(from.GetTextureOpacity());
    to.SetBumpAmount(from.GetBumpAmount());
    to.SetReflectivity(from.GetReflectivity());
    // Textures by the file's names; one the target lacks leaves the slot as it is.
    if (SWtexture* t = TargetTexture(target, textures, from.GetTextureName()))
        to.SetTexture(t);
    if (SWtexture* t = TargetTexture(target, textures, from.GetReflectionTextureName()))
        to.SetReflectionTexture(t);
    if (SWtexture* t = TargetTexture(target, textures, from.GetBumpTextureName()))
        to.SetBumpTexture(t);
}

std::unique_ptr<VertexFrameTable> CopyFrames(VertexFrameTable& from)
{
    auto table = std::make_unique<VertexFrameTable>();
    from.Lock();
    const bool made = table->Allocate(from.GetFrameCount(), from.GetVertexCount());
    for (uint32_t f = 0; made && f < from.GetFrameCount(); ++f) {
        const std::span<const float> source = from.GetFrameVertices(f);
        table->Lock();
        const std::span<float> frame = table->GetFrameVertices(f);
        std::copy(source.begin(), source.end(), frame.begin());
        table->Unlock();
    }
    from.Unlock();
    if (!made)
        return nullptr;
    table->SetReady(true);
    return table;
}

// The target's material for each of the import's that the record brought before, by its name in the file.
std::unordered_map<const SWmaterial*, SWmaterial*> RecordedMaterials(SWworld& target, SWworld& import,
                                                                     const MergeRecord& record)
{
    const MergedResourceLookup merged(target);
    std::map<std::string, SWmaterial*> byFileName;
    for (const MergeEntry& entry : record.entries) {
        if (entry.kind != MergedKind::kMaterial)
            continue;
        if (SWmaterial* m = merged.Material(entry))
            byFileName.emplace(entry.nameInFile, m);
    }
    std::unordered_map<const SWmaterial*, SWmaterial*> recorded;
    for (SWmaterial* m = import.GetRootObject()->GetFirstMaterial(); m; m = SWrootobject::GetNextMaterial(m)) {
        if (const auto found = byFileName.find(m->GetName()); found != byFileName.end())
            recorded.emplace(m, found->second);
    }
    return recorded;
}

// Geometry of the file that joins the target draws with the materials the record brought before, where it knows
// them; the file's other materials stay the import's until the merge that follows moves them over.
void DrawWithRecordedMaterials(SWgeometry* geometry, const std::unordered_map<const SWmaterial*, SWmaterial*>& recorded)
{
    auto* mesh = dynamic_cast<SWmesh*>(geometry);
    for (uint32_t p = 0; mesh != nullptr && p < mesh->GetPolygonCount(); ++p) {
        if (const auto found = recorded.find(mesh->GetPolygons()[p].material); found != recorded.end())
            mesh->SetPolygonMaterial(p, found->second);
    }
}

// Vertex bindings of a mesh that replaces a recorded node's name the file's nodes by the ids the import gave them:
// they bind the target's nodes of the same names instead, and a binding to a node the target lacks goes.
void BindTargetNodes(SWgeometry* geometry, SWworld& import, const std::map<std::string, SWnode*>& byFileName)
{
    auto* mesh = dynamic_cast<SWmeshobject*>(geometry);
    if (mesh == nullptr || mesh->GetVertexBuckets().empty())
        return;
    std::unordered_map<uint32_t, const SWnode*> imported;
    for (SWnode* n = import.GetRootNode(); n != nullptr; n = n->NextInTree(import.GetRootNode()))
        imported.emplace(n->GetId(), n);
    std::vector<SWvertexbucket> buckets = mesh->GetVertexBuckets();
    mesh->ClearVertexBuckets();
    for (SWvertexbucket& bucket : buckets) {
        const auto bone = imported.find(bucket.nodeId);
        const auto found =
            bone != imported.end() ? byFileName.find(bone->second->GetName().value_or("")) : byFileName.end();
        if (found != byFileName.end())
            mesh->AddVertexBucket(found->second->GetId(), std::move(bucket.vertices));
    }
}

} // namespace

size_t Resynchronise(SWworld& target, SWworld& import, MergeRecord& record, const ResyncOptions& options,
                     SWnode* parent)
{
    SWworldlock lock(target);
    SWworldlock importLock(import);
    size_t changed = 0;
    SWnode* root = target.GetRootNode();
    std::map<std::string, SWnode*> byFileName; // recorded nodes of the target by their name in the file
    for (const MergeEntry& entry : record.entries) {
        if (entry.kind == MergedKind::kNode) {
            if (SWnode* node = root->FindById(entry.id))
                byFileName[entry.nameInFile] = node;
        }
    }
    std::map<std::string, std::string> textureNames = RecordedTextureNames(record);
    const std::unordered_map<const SWmaterial*, SWmaterial*> materials = RecordedMaterials(target, import, record);
    const size_t recordedBefore = record.entries.size();
    if (options.textures)
        changed += AddNewTextures(target, import, record, textureNames);
    MergedResourceLookup merged(target);
    for (size_t e = 0; e < recordedBefore; ++e) {
        MergeEntry& entry = record.entries[e];
        if (entry.kind == MergedKind::kTexture && options.textures) {
            SWtexture* old = merged.Texture(entry);
            SWtexture* source = import.FindTextureByName(entry.nameInFile);
            std::unique_ptr<SWtexture> copy = source ? CloneTextureObject(source) : nullptr;
            if (old == nullptr || !copy)
                continue;
            copy->SetName(entry.name);
            SWtexture* placed = copy.get();
            target.GetRootObject()->AddTexture(std::move(copy));
            merged.Forget(old);
            target.ReplaceTextureReferences(old, placed, false);
            if (entry.object != nullptr)
                entry.object = placed; // the old one is gone: its address may come back as another object
            ++changed;
        } else if (entry.kind == MergedKind::kMaterial && options.materials) {
            SWmaterial* to = MaterialNamed(target, entry.name);
            const SWmaterial* from = MaterialNamed(import, entry.nameInFile);
            if (to != nullptr && from != nullptr) {
                CopyMaterialFields(target, textureNames, *from, *to);
                ++changed;
            }
        } else if (entry.kind == MergedKind::kNode) {
            SWnode* node = root->FindById(entry.id);
            SWnode* source = InFile(import, entry.nameInFile);
            auto* object = dynamic_cast<SWobjectnode*>(node);
            auto* sourceObject = dynamic_cast<SWobjectnode*>(source);
            if (node == nullptr || source == nullptr)
                continue;
            if (options.hierarchy && object != nullptr) {
                SWnode* fileParent = source->GetParentNode();
                const auto found = fileParent ? byFileName.find(fileParent->GetName().value_or("")) : byFileName.end();
                SWnode* wanted = found != byFileName.end() ? found->second : (parent ? parent : root);
                if (wanted != node->GetParentNode() && !wanted->IsInSubtreeOf(*node) &&
                    target.Reparent(object, wanted, false, 1))
                    ++changed;
            }
            if (options.transforms && object != nullptr && sourceObject != nullptr) {
                object->SetInitialMatrix(sourceObject->GetLocalMatrix());
                ++changed;
            }
            if (options.motion && object != nullptr && sourceObject != nullptr) {
                object->GetAnimationTracks() = sourceObject->GetAnimationTracks();
                VertexFrameTable* frames = sourceObject->GetVertexFrameTable();
                object->SetVertexFrameTable(frames ? CopyFrames(*frames) : nullptr);
                ++changed;
            }
            if (options.objects && source->GetGeometry() != nullptr && node->GetGeometry() != nullptr) {
                // The file's geometry replaces the recorded one, which goes once no node draws it.
                SWgeometry* old = node->GetGeometry();
                SWgeometry* fresh = source->GetGeometry();
                fresh->Detach();
                target.GetRootObject()->AddGeometry(std::unique_ptr<SWgeometry>(fresh));
                for (SWnode* n = import.GetRootNode(); n != nullptr; n = n->NextInTree(import.GetRootNode())) {
                    if (n->GetGeometry() == fresh)
                        n->SetGeometry(nullptr);
                }
                DrawWithRecordedMaterials(fresh, materials);
                BindTargetNodes(fresh, import, byFileName);
                node->SetGeometry(fresh);
                bool used = false;
                for (SWnode* n = root; n != nullptr && !used; n = n->NextInTree(root))
                    used = n->GetGeometry() == old;
                if (!used) {
                    old->Detach();
                    delete old;
                    target.RaiseStructureGeneration();
                }
                ++changed;
            }
        }
    }
    if (!options.keepRemoved) {
        // Recorded nodes the file no longer has go, deepest first.
        for (auto entry = record.entries.rbegin(); entry != record.entries.rend(); ++entry) {
            if (entry->kind != MergedKind::kNode || InFile(import, entry->nameInFile) != nullptr)
                continue;
            if (SWnode* node = root->FindById(entry->id); node != nullptr && target.DeleteNode(node))
                ++changed;
        }
        std::erase_if(record.entries, [&](const MergeEntry& e) {
            return e.kind == MergedKind::kNode && root->FindById(e.id) == nullptr;
        });
    }
    if (options.objects) {
        // What is new in the file: its top-level nodes whose names the record does not know, with their subtrees.
        // The import keeps only them; the merge then brings them with their geometry, and the materials and
        // textures that they and the replaced geometry use which the record does not hold yet, nothing else of the
        // file a second time. It runs with no new node too: replaced geometry may draw with a material new in the
        // file, which must not go with the import.
        std::vector<SWnode*> known;
        for (SWnode* n = import.GetRootNode()->GetFirstChildNode(); n != nullptr; n = n->GetNextSiblingNode()) {
            if (byFileName.count(n->GetName().value_or("")) != 0) {
                known.push_back(n);
                continue;
            }
            for (SWnode* d = n; d != nullptr; d = d->NextInTree(n))
                DrawWithRecordedMaterials(d->GetGeometry(), materials);
        }
        for (SWnode* n : known)
            import.DeleteNode(n);
        MergeOptions merge;
        merge.parent = parent;
        merge.kinds = kMergeMeshes | kMergeBones | kMergeDummies | kMergeParticles | kMergeCameras | kMergeSkinData;
        merge.entries = false;
        MergeRecord added = MergeWorld(target, import, merge, record.fileName);
        changed += added.entries.size();
        record.entries.insert(record.entries.end(), added.entries.begin(), added.entries.end());
    }
    return changed;
}
