#include "engine/core/scene_import.h"

#include <string_view>
#include <utility>

#include "engine/core/camera_node.h"
#include "engine/core/node.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/world.h"

namespace {

// name, or name_1, name_2, ...: the first that taken() does not claim.
template <typename Taken> std::string UniqueName(const std::string& name, Taken taken)
{
    if (!taken(name))
        return name;
    for (int suffix = 1;; ++suffix) {
        std::string candidate = name + "_" + std::to_string(suffix);
        if (!taken(candidate))
            return candidate;
    }
}

void MergeNodes(SWworld& target, SWworld& import, const MergeOptions& options, MergeRecord& record)
{
    SWnode* targetRoot = target.GetRootNode();
    SWnode* under = options.parent != nullptr ? options.parent : targetRoot;
    std::vector<SWnode*> tops;
    for (SWnode* child = import.GetRootNode()->GetFirstChildNode(); child; child = child->GetNextSiblingNode())
        tops.push_back(child);
    for (SWnode* top : tops) {
        // Names are made unique before the subtree joins the target, so that it cannot clash with itself.
        for (SWnode* node = top; node != nullptr; node = node->NextInTree(top)) {
            const std::string inFile = node->GetName().value_or("");
            if (options.uniqueNames && node->GetName()) {
                node->SetName(UniqueName(inFile, [&](const std::string& candidate) {
                    return targetRoot->FindByName(candidate) != nullptr;
                }));
            }
            record.entries.push_back({MergedKind::kNode, node->GetId(), node->GetName().value_or(""), inFile});
        }
        top->Detach();
        if (!target.AddNode(top, under))
            delete top; // cannot happen for a parent of the target's tree; never leak the subtree
    }
    for (SWlistnode* e = import.GetCameraList().Head(); e != nullptr; e = e->Next()) {
        SWcameranode* camera = static_cast<SWcameraentry*>(e)->node;
        if (camera->IsInSubtreeOf(*targetRoot))
            target.AddCamera(camera);
    }
}

void MergeSubWorlds(SWworld& target, SWworld& import, const MergeOptions& options, MergeRecord& record)
{
    CVTN_SubWorlds& entries = target.GetSubWorlds();
    for (CVTN_SubWorld* w = import.GetSubWorlds().GetFirst(); w != nullptr; w = CVTN_SubWorlds::GetNext(w)) {
        const std::string inFile = w->GetName().value_or("");
        std::optional<std::string> name = w->GetName();
        if (options.uniqueNames && name)
            name = UniqueName(*name, [&](const std::string& c) { return entries.FindByName(c) != nullptr; });
        CVTN_SubWorld* added = entries.Add(name);
        added->SetDownloadUrl(w->GetDownloadUrl());
        added->SetFileName(w->GetFileName());
        added->SetReferenceLimitFlag(w->GetReferenceLimitFlag());
        added->SetReferenceLimit(w->GetReferenceLimit());
        for (int option = 0; option < 9; ++option)
            added->SetOption(option, w->GetOption(option));
        record.entries.push_back({MergedKind::kSubWorld, 0, name.value_or(""), inFile});
    }
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

} // namespace

WorldLoadResult ImportWorld(const std::string& path)
{
    return LoadWorldFile(path, SWreadcontext::IdMode::kFresh);
}

MergeRecord MergeWorld(SWworld& target, SWworld& import, const MergeOptions& options, std::string fileName)
{
    MergeRecord record;
    record.fileName = std::move(fileName);
    SWworldlock lock(target);
    SWworldlock importLock(import);
    if (options.parent != nullptr && options.parent->GetRoot() != target.GetRootNode())
        return record; // a parent of another world: nothing is merged
    MergeNodes(target, import, options, record);
    MergeSubWorlds(target, import, options, record);
    return record;
}

size_t RemoveMerged(SWworld& target, const MergeRecord& record)
{
    SWworldlock lock(target);
    size_t removed = 0;
    for (auto entry = record.entries.rbegin(); entry != record.entries.rend(); ++entry) {
        if (entry->kind == MergedKind::kNode) {
            // Deepest first: a node already gone with its parent is simply not found.
            SWnode* node = target.GetRootNode()->FindById(entry->id);
            if (node != nullptr && target.DeleteNode(node))
                ++removed;
        } else if (entry->kind == MergedKind::kSubWorld) {
            CVTN_SubWorld* found = LastNamed(target.GetSubWorlds(), entry->name);
            if (found != nullptr && target.GetSubWorlds().Remove(found))
                ++removed;
        }
    }
    return removed;
}
