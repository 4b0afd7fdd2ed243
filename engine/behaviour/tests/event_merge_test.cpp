// Merging a world's events into another: fresh action ids with every link kept, and the events section's bytes
// kept by a world file while the events handler only merges.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/document_file.h"
#include "engine/core/read_context.h"
#include "engine/core/scene_import.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "engine/core/world_sections.h"

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

} // namespace
