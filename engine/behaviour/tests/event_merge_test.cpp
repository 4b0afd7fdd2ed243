// Merging a world's events into another: fresh action ids with every link kept, and the events section's bytes
// kept by a world file while the events handler only merges.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/data_node.h"
#include "engine/core/document_file.h"
#include "engine/core/mesh_node.h"
#include "engine/core/read_context.h"
#include "engine/core/root_object.h"
#include "engine/core/scene_import.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "engine/core/world_sections.h"
#include "engine/resources/mesh_object.h"
#include "testsupport/world/sample_world.h"

namespace {

// A queue (30) with a member, a condition (25) with a then-link, a stop-queue (31) naming the queue; the actions
// numbered from the world's counter, so two worlds built alike number alike.
SWevent* AddLinkedEvent(SWworld& world, const char* name)
{
    SWevent* event = world.NewEvent();
    event->SetName(std::string(name));
    const SWactioncategories& kinds = world.GetActionCategories();
    SWactionnode* queue = event->CreateAction(kinds.FindKind(30));
    event->CreateAction(kinds.FindKind(11))->SetQueueLink(queue->GetActionId());
    SWactionnode* test = event->CreateAction(kinds.FindKind(25));
    event->CreateAction(kinds.FindKind(11))->SetThenLink(test->GetActionId());
    auto* stop = dynamic_cast<SWstopsequencenode*>(event->CreateAction(kinds.FindKind(31)));
    stop->AddId(queue->GetActionId());
    return event;
}

std::vector<SWactionnode*> ActionsOf(const SWworld& world)
{
    std::vector<SWactionnode*> actions;
    for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e)) {
        for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
            actions.push_back(a);
    }
    return actions;
}

// The actions that action's links and id list name in world (null for an unset link).
std::vector<const SWactionnode*> Named(const SWworld& world, const SWactionnode& action)
{
    std::vector<uint32_t> ids = {action.GetThenLink(), action.GetElseLink(), action.GetQueueLink()};
    if (const auto* stop = dynamic_cast<const SWstopsequencenode*>(&action))
        ids.insert(ids.end(), stop->GetIds().begin(), stop->GetIds().end());
    std::vector<const SWactionnode*> named;
    for (const uint32_t id : ids)
        named.push_back(id == SWactionnode::kUnset ? nullptr : world.FindActionById(id));
    return named;
}

TEST(EventMerge, MergedActionsTakeFreshIdsAndTheirLinksFollowThem)
{
    SWworld target;
    AddLinkedEvent(target, "mine");
    SWworld import;
    SWevent* theirs = AddLinkedEvent(import, "theirs");
    // Kind 46 in another event, naming an action of the first: the renumbering spans the merged events.
    SWevent* stopper = import.NewEvent();
    auto* stopMotions =
        dynamic_cast<SWstopmotionsaction*>(stopper->CreateAction(import.GetActionCategories().FindKind(46)));
    ASSERT_NE(stopMotions, nullptr);
    stopMotions->AddTarget(SWevent::GetNextAction(theirs->GetFirstAction())->GetActionId());

    const std::vector<SWactionnode*> merged = ActionsOf(import);
    std::vector<std::vector<const SWactionnode*>> before;
    for (const SWactionnode* a : merged)
        before.push_back(Named(import, *a));

    MergeOptions options;
    options.kinds = kMergeEvents;
    const MergeRecord record = MergeWorld(target, import, options, "theirs.vtn");

    EXPECT_EQ(import.CountEvents(), 0u);
    EXPECT_EQ(target.CountEvents(), 3u);
    size_t events = 0;
    for (const MergeEntry& entry : record.entries)
        events += entry.kind == MergedKind::kEvent ? 1 : 0;
    EXPECT_EQ(events, 2u);
    std::set<uint32_t> ids;
    for (const SWactionnode* a : ActionsOf(target))
        EXPECT_TRUE(ids.insert(a->GetActionId()).second) << "action id " << a->GetActionId() << " twice";
    for (size_t i = 0; i < merged.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(target.FindActionById(merged[i]->GetActionId()), merged[i]);
        EXPECT_EQ(Named(target, *merged[i]), before[i]);
    }
    // Later actions of the target do not repeat a merged id.
    const SWactionnode* later = target.NewEvent()->CreateAction(target.GetActionCategories().FindKind(11));
    EXPECT_FALSE(ids.contains(later->GetActionId()));
}

// The import world goes, and its catalogue of kinds with it: merged actions must hold the target's records, or the
// first frame that runs one reads freed memory. A host callback's own record moves with its action.
TEST(EventMerge, MergedActionsHoldTheTargetsKindsOnceTheImportIsGone)
{
    SWworld target;
    auto import = std::make_unique<SWworld>();
    SWevent* event = import->NewEvent();
    event->CreateAction(import->GetActionCategories().FindKind(11));
    event->CreateHostCallbackAction("page", "text");
    MergeOptions options;
    options.kinds = kMergeEvents;
    MergeWorld(target, *import, options, "theirs.vtn");
    import.reset();

    const SWactionnode* merged = target.GetFirstEvent()->GetFirstAction();
    ASSERT_NE(merged, nullptr);
    EXPECT_EQ(merged->GetKind(), target.GetActionCategories().FindKind(11));
    EXPECT_EQ(merged->GetKind()->GetKindId(), 11);
    const SWactionnode* callback = SWevent::GetNextAction(merged);
    ASSERT_NE(callback, nullptr);
    ASSERT_NE(callback->GetKind(), nullptr);
    EXPECT_EQ(callback->GetKind()->GetKindId(), callback->GetKindId());
}

TEST(EventMerge, TheEventsSectionStaysBytesWhileItsHandlerOnlyMerges)
{
    const SWworldsectionhandler* registered = FindWorldSectionHandler(WorldSection::kEvents);
    ASSERT_NE(registered, nullptr);
    ASSERT_NE(registered->merge, nullptr);

    static constexpr SWworldsectionhandler kWritingEvents = {
        .writeStream =
            [](SWworldwriting&, SWchunkstream& out) {
                const uint8_t bytes[] = {'e', 'v', 0, 1, 2};
                return out.WriteBytes(bytes, sizeof bytes);
            },
    };
    std::vector<uint8_t> written;
    {
        const SWworldsectionhandler* real = ReplaceWorldSectionHandler(WorldSection::kEvents, &kWritingEvents);
        SWworld world;
        EXPECT_EQ(WriteWorldFile(world, WorldFileMode::kScene, written), DocumentStatus::kOk);
        ReplaceWorldSectionHandler(WorldSection::kEvents, real);
    }
    SWdocumentfile file;
    ASSERT_EQ(SWdocumentfile::Parse(written, file), DocumentStatus::kOk);
    // A handler that only merges, as a build without the events reader has.
    static SWworldsectionhandler kMergeOnly;
    kMergeOnly.merge = registered->merge;
    const SWworldsectionhandler* real = ReplaceWorldSectionHandler(WorldSection::kEvents, &kMergeOnly);
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    WorldLoadResult loaded = ReadWorldFile(file, context);
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    SWkeptsections* kept = SWkeptsections::Find(*loaded.world);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->Payload(WorldSection::kEvents), (std::vector<uint8_t>{'e', 'v', 0, 1, 2}));
    std::vector<uint8_t> again;
    EXPECT_EQ(WriteWorldFile(*loaded.world, WorldFileMode::kScene, again), DocumentStatus::kOk);
    ReplaceWorldSectionHandler(WorldSection::kEvents, real);
    EXPECT_EQ(again, written);
}

// A world as the trace tool's demo holds it: a mesh of vertices without polygons, and a timer whose action triggers
// an event by its name, which an import of the same world brings a second time.
std::unique_ptr<SWworld> DemoLikeWorld()
{
    auto world = std::make_unique<SWworld>();
    auto* mesh = static_cast<SWmeshobject*>(world->GetRootObject()->AddGeometry(std::make_unique<SWmeshobject>()));
    mesh->SetName("box");
    mesh->SetVertices({-1, -1, -1, 1, -1, -1, 1, 1, -1, -1, 1, -1});
    mesh->ComputeBoundingBox();
    auto* box = new SWmeshnode(mesh);
    box->SetName(std::string("box"));
    world->AddNode(box, nullptr);
    SWevent* timer = world->AddEventOfType(static_cast<uint32_t>(EventType::kTimerEvent));
    timer->SetName(std::string("timer"));
    SWactionnode* trigger = timer->CreateAction(world->GetActionCategories().FindKind(11));
    trigger->AddArgument("poke", SWdatanode::kString, true);
    world->AddEventOfType(static_cast<uint32_t>(EventType::kCustomEvent))->SetName(std::string("poke"));
    return world;
}

std::vector<uint8_t> Bytes(SWworld& world, WorldFileMode mode = WorldFileMode::kScene)
{
    std::vector<uint8_t> bytes;
    EXPECT_EQ(WriteWorldFile(world, mode, bytes), DocumentStatus::kOk);
    return bytes;
}

// Importing a world and taking the merge out again leaves the base as it was, for every pair of the sample, the
// demo and the published sample: the demo's meshes once did not read back, its merged "poke" took the base's
// trigger argument with it, and the action ids the merge took stayed taken.
TEST(EventMerge, EveryPairOfWorldsComesOutOfAnImportAsItWas)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vortan_pairs_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    struct File {
        std::string path;
        std::vector<uint8_t> bytes;
    };
    std::vector<File> files;
    const std::unique_ptr<SWworld> sample = worldtest::MakeSampleWorld();
    const std::unique_ptr<SWworld> demo = DemoLikeWorld();
    for (const auto& [name, world, mode] : {std::tuple{"sample.vtn", sample.get(), WorldFileMode::kScene},
                                            std::tuple{"demo.vtn", demo.get(), WorldFileMode::kScene},
                                            std::tuple{"sample.vto", sample.get(), WorldFileMode::kPublished}}) {
        File file{(folder / name).string(), Bytes(*world, mode)};
        ASSERT_EQ(SaveDocumentFile(file.path, file.bytes), DocumentStatus::kOk);
        files.push_back(std::move(file));
    }
    for (const File& base : files) {
        for (const File& in : files) {
            SCOPED_TRACE(base.path + " <- " + in.path);
            WorldLoadResult target = LoadWorldFile(base.path, SWreadcontext::IdMode::kKeep);
            ASSERT_EQ(target.status, DocumentStatus::kOk);
            EXPECT_TRUE(target.skipped.empty());
            const std::vector<uint8_t> before = Bytes(*target.world);
            WorldLoadResult import = ImportWorld(in.path);
            ASSERT_EQ(import.status, DocumentStatus::kOk);
            const MergeRecord record = MergeWorld(*target.world, *import.world, {}, in.path);
            EXPECT_GT(RemoveMerged(*target.world, record), 0u);
            EXPECT_EQ(Bytes(*target.world), before);
        }
    }
    std::filesystem::remove_all(folder);
}

} // namespace
