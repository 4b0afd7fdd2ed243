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
#include "testsupport/tools/tool_world.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitRefused = 3;
constexpr int kLoadWaitSeconds = 10; // a threaded load that takes longer is given up

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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kLoadWaitSeconds);
    while (loader.PendingCount() != 0 && std::chrono::steady_clock::now() < deadline) {
        loader.CompletePendingLoads();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return loader.PendingCount() == 0;
}

// Why the load of entry gave no loaded instance, with the file's name.
std::string WhyNotLoaded(const CVTN_SubWorldLoader& loader, const CVTN_SubWorld& entry,
                         const CVTN_SubWorldInstance* instance, bool timedOut)
{
    const std::string name = entry.GetFileName().value_or(entry.GetName().value_or("the loadable world"));
    if (timedOut)
        return "cannot load " + name + ": it did not load within " + std::to_string(kLoadWaitSeconds) + " s";
    const std::string& message = instance != nullptr ? instance->message : loader.LastError();
    if (!message.empty())
        return "cannot load " + message;
    return "cannot load " + name + ": the entry's limit of instances is reached";
}

int LoadSub(std::span<char* const> args)
{
    const bool threaded = args.size() == 3 && std::strcmp(args[2], "--threaded") == 0;
    if (args.size() != 2 && !threaded) {
        std::fprintf(stderr, "usage: vortan-world load-sub WORLD NAME [--threaded]\n");
        return kWorldToolUsage;
    }
    std::string error;
    const WorldLoadResult loaded = tooltest::LoadToolWorld(args[0], SWreadcontext::IdMode::kKeep, error);
    if (loaded.status != DocumentStatus::kOk)
        return Refuse(error);
    SWworld& world = *loaded.world;
    CVTN_SubWorld* entry = world.GetSubWorlds().FindByName(args[1]);
    if (entry == nullptr)
        return Refuse(std::string("no loadable world named ") + args[1]);
    CVTN_SubWorldLoader& loader = CVTN_SubWorldLoader::Of(world);
    loader.SetBaseFolder(std::filesystem::path(args[0]).parent_path().string());
    const size_t nodesBefore = CountNodes(world);
    loader.SetReadLimits(tooltest::ToolReadLimits());
    CVTN_SubWorldInstance* instance = loader.LoadFile(*entry, {}, threaded);
    const bool timedOut = instance != nullptr && threaded && !WaitForLoads(loader);
    if (instance == nullptr || timedOut || !instance->loaded)
        return Refuse(WhyNotLoaded(loader, *entry, instance, timedOut));
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
