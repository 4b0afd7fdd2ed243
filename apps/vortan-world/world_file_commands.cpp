// `vortan-world make-sample OUT.vtn`: a sample scene of what the world file writes so far (nodes of each kind,
// cameras, a group, the arcball, cursors, a loadable-world entry, the header). `vortan-world roundtrip IN OUT`:
// load and save, and say whether OUT equals IN byte for byte. `vortan-world import BASE IN OUT`: merge IN into BASE,
// print the merge record, write OUT, then remove the merge and say whether BASE came back byte for byte.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "apps/vortan-world/command_table.h"
#include "engine/core/camera_node.h"
#include "engine/core/header.h"
#include "engine/core/matrix.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/scene_import.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitRefused = 3;

int Refuse(const std::string& message)
{
    std::fprintf(stderr, "vortan-world: %s\n", message.c_str());
    return kExitRefused;
}

void AddSampleNodes(SWworld& world)
{
    for (int i = 0; i < 3; ++i) {
        auto* object = new SWobjectnode; // the tree owns it from AddNode on
        object->SetName("object" + std::to_string(i));
        object->SetInitialMatrix(SWmatrix::Translation(static_cast<float>(i), 0.5f, -2.0f));
        world.AddNode(object, nullptr);
        auto* part = new SWobjectnode;
        part->SetName("part" + std::to_string(i));
        part->SetAxisLock(static_cast<uint8_t>(i));
        world.AddNode(part, object);
    }
    for (const char* name : {"front", "side"}) {
        auto* camera = new SWcameranode;
        camera->SetName(name);
        world.AddNode(camera, nullptr);
        world.AddCamera(camera);
    }
    auto* group = new SWnode(SWnode::kKindGroup);
    group->SetName("objects");
    world.AddNode(group, nullptr);
    for (const char* name : {"object0", "object2"})
        group->AddGroupMember(world.GetRootNode()->FindByName(name));
    world.SetArcballNode(static_cast<SWobjectnode*>(world.GetRootNode()->FindByName("object1")));
    world.SetArcballFlag(1);
}

int MakeSample(std::span<char* const> args)
{
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: vortan-world make-sample OUT.vtn\n");
        return kWorldToolUsage;
    }
    SWworld world;
    world.SetSceneSize(20.0f);
    world.SetPixelSize(800, 600);
    SWheader& header = world.GetRootObject()->GetHeader();
    header.SetObjectName("sample scene");
    header.SetAuthor("vortan-world");
    world.GetRootNode()->SetName("scene");
    AddSampleNodes(world);
    SWcursor* cursor = world.GetCursorList().Add("hand", 1);
    cursor->imageFile = "hand.cur";
    cursor->hotSpotX = 4;
    world.GetCursorList().Add("wait", 2);
    CVTN_SubWorld* entry = world.GetSubWorlds().Add("level2");
    entry->SetFileName("level2.vtn");
    entry->SetReferenceLimitFlag(1);
    entry->SetReferenceLimit(2);
    std::string why;
    const DocumentStatus status = SaveWorldFile(world, WorldFileMode::kScene, args[0], &why);
    if (status != DocumentStatus::kOk)
        return Refuse(why.empty() ? DocumentStatusText(status) : why);
    std::printf("wrote %s\n", args[0]);
    return kWorldToolDone;
}

std::vector<uint8_t> FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int Roundtrip(std::span<char* const> args)
{
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: vortan-world roundtrip IN OUT\n");
        return kWorldToolUsage;
    }
    const WorldLoadResult loaded = LoadWorldFile(args[0], SWreadcontext::IdMode::kKeep);
    if (loaded.status != DocumentStatus::kOk)
        return Refuse(std::string(args[0]) + ": " + DocumentStatusText(loaded.status));
    for (const SkippedRecord& skipped : loaded.skipped)
        std::printf("skipped #%u %s: %s\n", skipped.index, TagText(skipped.tag).c_str(), skipped.reason.c_str());
    std::string why;
    const DocumentStatus saved = SaveWorldFile(*loaded.world, WorldFileMode::kScene, args[1], &why);
    if (saved != DocumentStatus::kOk)
        return Refuse(why.empty() ? DocumentStatusText(saved) : why);
    const bool same = FileBytes(args[0]) == FileBytes(args[1]);
    std::printf("version=%u newer=%s skipped=%zu identical=%s\n", loaded.version, loaded.newer ? "yes" : "no",
                loaded.skipped.size(), same ? "yes" : "no");
    return same ? kWorldToolDone : kExitFailed;
}

const char* KindName(MergedKind kind)
{
    static const char* const kNames[] = {"node",   "texture",  "material", "sound", "cursor",  "event",
                                         "speech", "geometry", "java",     "block", "subworld"};
    const auto index = static_cast<size_t>(kind);
    return index < std::size(kNames) ? kNames[index] : "?";
}

int Import(std::span<char* const> args)
{
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: vortan-world import BASE IN OUT\n");
        return kWorldToolUsage;
    }
    const WorldLoadResult base = LoadWorldFile(args[0], SWreadcontext::IdMode::kKeep);
    if (base.status != DocumentStatus::kOk)
        return Refuse(std::string(args[0]) + ": " + DocumentStatusText(base.status));
    const WorldLoadResult import = ImportWorld(args[1]);
    if (import.status != DocumentStatus::kOk)
        return Refuse(std::string(args[1]) + ": " + DocumentStatusText(import.status));
    const MergeRecord record = MergeWorld(*base.world, *import.world, {}, args[1]);
    std::printf("merged %s: %zu objects\n", record.fileName.c_str(), record.entries.size());
    for (const MergeEntry& entry : record.entries)
        std::printf("  %s id=%u name=%s file-name=%s\n", KindName(entry.kind), entry.id, entry.name.c_str(),
                    entry.nameInFile.c_str());
    std::string why;
    const DocumentStatus saved = SaveWorldFile(*base.world, WorldFileMode::kScene, args[2], &why);
    if (saved != DocumentStatus::kOk)
        return Refuse(why.empty() ? DocumentStatusText(saved) : why);
    const size_t removed = RemoveMerged(*base.world, record);
    std::vector<uint8_t> after;
    const bool restored =
        WriteWorldFile(*base.world, WorldFileMode::kScene, after) == DocumentStatus::kOk && after == FileBytes(args[0]);
    std::printf("removed=%zu restored=%s\n", removed, restored ? "yes" : "no");
    return restored ? kWorldToolDone : kExitFailed;
}

const bool kRegistered = RegisterWorldToolCommand({"make-sample", "OUT.vtn", &MakeSample}) &&
                         RegisterWorldToolCommand({"roundtrip", "IN OUT", &Roundtrip}) &&
                         RegisterWorldToolCommand({"import", "BASE IN OUT", &Import});

} // namespace
