// `vortan-world load-sub WORLD NAME [--threaded]`: loads an instance of the loadable world NAME of WORLD (its file
// beside WORLD), directly or through the loader thread and CompletePendingLoads, prints what it added, unloads it
// and prints what remains.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <thread>

#include "apps/vortan-world/command_table.h"
#include "engine/core/node.h"
#include "engine/core/sub_world_loader.h"
#include "engine/core/sub_worlds.h"
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

size_t CountNodes(const SWworld& world)
{
    size_t count = 0;
    for (SWnode* n = world.GetRootNode(); n != nullptr; n = n->NextInTree(world.GetRootNode()))
        ++count;
    return count;
}

bool WaitForLoads(CVTN_SubWorldLoader& loader)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (loader.PendingCount() != 0 && std::chrono::steady_clock::now() < deadline) {
        loader.CompletePendingLoads();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return loader.PendingCount() == 0;
}

int LoadSub(std::span<char* const> args)
{
    const bool threaded = args.size() == 3 && std::strcmp(args[2], "--threaded") == 0;
    if (args.size() != 2 && !threaded) {
        std::fprintf(stderr, "usage: vortan-world load-sub WORLD NAME [--threaded]\n");
        return kWorldToolUsage;
    }
    const WorldLoadResult loaded = LoadWorldFile(args[0], SWreadcontext::IdMode::kKeep);
    if (loaded.status != DocumentStatus::kOk)
        return Refuse(std::string(args[0]) + ": " + DocumentStatusText(loaded.status));
    SWworld& world = *loaded.world;
    CVTN_SubWorld* entry = world.GetSubWorlds().FindByName(args[1]);
    if (entry == nullptr)
        return Refuse(std::string("no loadable world named ") + args[1]);
    CVTN_SubWorldLoader& loader = CVTN_SubWorldLoader::Of(world);
    loader.SetBaseFolder(std::filesystem::path(args[0]).parent_path().string());
    const size_t nodesBefore = CountNodes(world);
    CVTN_SubWorldInstance* instance = loader.LoadFile(*entry, {}, threaded);
    if (instance == nullptr || (threaded && !WaitForLoads(loader)) || !instance->loaded)
        return Refuse(std::string("cannot load ") + entry->GetFileName().value_or("(no file)"));
    std::printf("loaded %s %s: %zu objects, nodes %zu -> %zu\n", args[1], threaded ? "threaded" : "direct",
                instance->record.entries.size(), nodesBefore, CountNodes(world));
    for (const MergeEntry& added : instance->record.entries)
        std::printf("  id=%u name=%s\n", added.id, added.name.c_str());
    loader.UnloadSubWorld(*entry, instance, false);
    const size_t nodesAfter = CountNodes(world);
    std::printf("unloaded: nodes %zu instances %zu entries %zu\n", nodesAfter, loader.Instances(*entry).size(),
                world.GetSubWorlds().Count());
    return nodesAfter == nodesBefore ? kWorldToolDone : kExitFailed;
}

const bool kRegistered = RegisterWorldToolCommand({"load-sub", "WORLD NAME [--threaded]", &LoadSub});

} // namespace
