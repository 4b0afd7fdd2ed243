// The world's index of events follows every change of its list, and records fire events in the list's order, as a
// walk of the whole list would: each step below changes the list one way, and the events that fire are compared with
// the ones a walk of the list picks.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/behaviour/behaviour_observer.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/events.h"
#include "engine/behaviour/key_table.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/node.h"
#include "engine/core/scene_import.h"
#include "engine/core/world.h"
#include "testsupport/behaviour/frame_driver.h"

namespace {

class FiringObserver : public BehaviourObserver {
public:
    void EventFired(const SWevent& event, const SWinputrecord&) override
    {
        fired.push_back(event.GetName().value_or("?"));
        if (onFired)
            onFired(event);
    }
    void ActivationChanged(const SWevent& event, bool) override { changed.push_back(event.GetName().value_or("?")); }

    std::vector<std::string> fired;
    std::vector<std::string> changed;
    std::function<void(const SWevent&)> onFired;
};

struct IndexedWorld : FrameDriver {
    FiringObserver observer;
    SWnode* node = nullptr;
    const SWkeyentry* key = nullptr;
    const SWkeyentry* otherKey = nullptr;

    IndexedWorld()
    {
        world.SetObserver(&observer);
        node = Node("picked");
        Node("other");
        key = world.GetKeyTable().GetLetter('K');
        otherKey = world.GetKeyTable().GetLetter('L');
        static const uint32_t kTypes[] = {2, 5, 3, 19, 2, 6, 4, 7, 2, 20, 5, 18, 16, 19, 16, 6};
        for (size_t i = 0; i < std::size(kTypes); ++i)
            Event(kTypes[i], std::string("e").append(std::to_string(i)).c_str());
        Named("e1")->AddObjectName(std::string("picked"));
        Named("e5")->AddObjectName(std::string("other"));
        Named("e10")->AddObjectName(std::string("other"));
        Named("e10")->AddObjectName(std::string("picked"));
        Named("e15")->AddObjectName(std::string("picked"));
        Named("e15")->SetSequenceMode(1); // one name in order: fires on that name alone
        Named("e12")->AddObjectName(std::string("picked"));
        Named("e14")->AddObjectName(std::string("other"));
        Named("e3")->AddKey(key);
        Named("e13")->AddKey(otherKey);
        Named("e9")->AddKey(otherKey);
        Named("e9")->AddKey(key);
    }

    SWevent* Named(const char* name) const
    {
        for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
            if (e->GetName() == std::optional<std::string>(name))
                return e;
        return nullptr;
    }

    static bool Lists(const SWlist* list, const std::optional<std::string>& name)
    {
        for (const SWlistnode* n = list != nullptr ? list->Head() : nullptr; n != nullptr; n = n->Next())
            if (name && static_cast<const SWobjectnameentry*>(n)->name == name)
                return true;
        return false;
    }

    bool KeyFires(const SWevent& e) const
    {
        const SWlist* const keys = e.GetKeyEntry();
        if (e.GetAllKeysFlag() != 0)
            return false;
        bool listed = keys == nullptr || keys->Count() == 0;
        for (const SWlistnode* n = keys != nullptr ? keys->Head() : nullptr; n != nullptr; n = n->Next())
            listed = listed || static_cast<const SWkeyreference*>(n)->key == key;
        return listed;
    }

    // What a walk of the whole list fires for a step, a click of every button on the node, the node's motion
    // finished, and the key pressed and released, by the rules of each type.
    std::vector<std::string> ByWalk() const
    {
        std::vector<std::string> expected;
        const auto walk = [&](auto fires) {
            for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
                if (fires(*e))
                    expected.push_back(e->GetName().value_or("?"));
        };
        walk([](const SWevent& e) { return e.GetType() == 2; });
        walk([&](const SWevent& e) {
            const SWlist* const list = e.GetObjectList();
            return e.GetType() >= 5 && e.GetType() <= 7 &&
                   (list == nullptr || list->Count() == 0 || Lists(list, node->GetName()));
        });
        walk([&](const SWevent& e) { return e.GetType() == 16 && Lists(e.GetObjectList(), node->GetName()); });
        walk([&](const SWevent& e) { return e.GetType() == 19 && KeyFires(e); });
        walk([&](const SWevent& e) { return e.GetType() == 20 && KeyFires(e); });
        return expected;
    }

    std::vector<std::string> Fire()
    {
        observer.fired.clear();
        SWinputqueue& queue = world.GetDispatchQueue();
        queue.Push(new SWinputrecord(InputKind::kWorldStep, 0));
        queue.Push(Click(node, 7));
        queue.Push(new SWinputrecord(InputKind::kMotionFinished, 0, node));
        queue.Push(SWinputrecord::SWinputrecordKey(*key, true, 0));
        queue.Push(SWinputrecord::SWinputrecordKey(*key, false, 0));
        world.ProcessEvents();
        return observer.fired;
    }

    void ExpectInStep(const char* change)
    {
        SCOPED_TRACE(change);
        EXPECT_TRUE(world.CheckEventIndex());
        EXPECT_EQ(Fire(), ByWalk());
    }
};

std::vector<uint8_t> SavedEvents(const SWworld& world)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        out.SetFormatVersion(SWworld::kDefaultFileVersion);
        EXPECT_TRUE(world.SaveEvents(out));
    }
    return buffer.ToVector();
}

} // namespace

TEST(EventIndex, FollowsEveryChangeOfTheListAndFiresInListOrder)
{
    IndexedWorld d;
    d.ExpectInStep("built");

    d.Event(2, "added");
    d.Event(6, "addedClick");
    d.ExpectInStep("added");

    d.Named("e1")->SetType(2); // a click event becomes a step event between older step events
    d.Named("e4")->SetType(3);
    d.Named("e11")->SetType(19);
    d.ExpectInStep("types changed");

    SWevent* moved = d.Named("e0");
    ASSERT_TRUE(d.world.UnlinkEvent(moved));
    d.ExpectInStep("unlinked");
    d.world.AppendEvent(moved); // the first step event is now the last
    d.ExpectInStep("reordered");

    EXPECT_TRUE(d.world.DeleteEvent(d.Named("e8")));
    delete d.Named("e5"); // deleted while listed, not through the world
    d.ExpectInStep("deleted");

    SWworld source;
    source.AddEventOfType(2)->SetName(std::string("loaded"));
    source.AddEventOfType(7)->SetName(std::string("loadedClick"));
    const std::vector<uint8_t> bytes = SavedEvents(source);
    SWchunkstream in(std::span<const uint8_t>(bytes.data(), bytes.size()));
    in.SetFormatVersion(SWworld::kDefaultFileVersion);
    ASSERT_TRUE(d.world.LoadEvents(in));
    d.ExpectInStep("loaded");

    SWworld import;
    import.AddEventOfType(19)->SetName(std::string("mergedKey"));
    import.AddEventOfType(2)->SetName(std::string("mergedStep"));
    MergeOptions options;
    options.kinds = kMergeEvents;
    MergeWorld(d.world, import, options, "merged.vtn");
    EXPECT_TRUE(import.CheckEventIndex());
    EXPECT_EQ(import.CountEvents(), 0u);
    d.ExpectInStep("merged");

    SWevent* e10 = d.Named("e10");
    e10->RemoveObjectEntry(static_cast<SWobjectnameentry*>(e10->GetObjectList()->Tail())); // "picked" goes
    d.Named("addedClick")->AddObjectName(std::string("picked"));
    d.Named("e12")->ClearObjectList(); // a motion event without names fires for none
    d.Named("e14")->AddObjectName(std::string("picked"));
    d.Named("e15")->SetSequenceMode(0);
    d.ExpectInStep("object lists changed");

    d.Named("e13")->AddKey(d.key);
    d.Named("e9")->RemoveKey(d.key);
    d.Named("e3")->ClearKeyList();
    d.Named("loaded")->SetType(20);
    d.Named("mergedKey")->SetAllKeysFlag(1);
    d.ExpectInStep("key lists changed");

    d.Named("e3")->SetName(std::string("renamed"));
    EXPECT_TRUE(d.world.DeleteNode(d.node));
    d.node = d.Node("picked again");
    d.ExpectInStep("renamed, node deleted");
}

TEST(EventIndex, FindEventIgnoresCaseAndAnswersTheFirstInListOrder)
{
    IndexedWorld d;
    SWevent* lower = d.Event(3, "twin");
    SWevent* upper = d.Event(3, "TWIN");
    EXPECT_EQ(d.world.FindEvent("Twin"), lower);
    d.world.UnlinkEvent(lower);
    d.world.AppendEvent(lower);
    EXPECT_EQ(d.world.FindEvent("twin"), upper);
    upper->SetName(std::string("single"));
    EXPECT_EQ(d.world.FindEvent("TWIN"), lower);
    EXPECT_EQ(d.world.FindEvent("SINGLE"), upper);
    upper->SetName(std::nullopt);
    EXPECT_EQ(d.world.FindEvent("single"), nullptr);
    EXPECT_TRUE(d.world.DeleteEvent(lower));
    EXPECT_EQ(d.world.FindEvent("twin"), nullptr);
    EXPECT_TRUE(d.world.CheckEventIndex());
}

TEST(EventIndex, RecordsNamingAnEventFireItOnlyWhileItIsListed)
{
    IndexedWorld d;
    SWevent* timer = d.Named("e6");
    SWevent* custom = d.Named("e2");
    ASSERT_TRUE(d.world.UnlinkEvent(custom));
    d.world.GetDispatchQueue().Push(new SWinputrecord(InputKind::kTimer, 0, timer));
    d.world.GetDispatchQueue().Push(SWinputrecord::SWinputrecordTrigger(custom, std::nullopt, 0));
    d.world.GetDispatchQueue().Push(new SWinputrecord(InputKind::kTimer, 0, d.Named("e0"))); // not a timer
    d.world.ProcessEvents();
    EXPECT_EQ(d.observer.fired, (std::vector<std::string>{"e6"}));
    delete custom;
    EXPECT_TRUE(d.world.CheckEventIndex());
}

TEST(EventIndex, ActivationRequestsApplyInListOrderAfterTheStep)
{
    IndexedWorld d;
    d.Named("e9")->RequestActivation(false);
    d.Named("e3")->RequestActivation(false);
    d.Named("e3")->RequestActivation(true); // the last request counts, once
    SWevent* gone = d.Named("e7");
    gone->RequestActivation(false);
    d.world.DeleteEvent(gone);
    SWevent* away = d.Named("e1");
    d.world.UnlinkEvent(away);
    away->RequestActivation(false); // waits until it is listed again
    d.world.ProcessEvents();
    EXPECT_EQ(d.observer.changed, (std::vector<std::string>{"e3", "e9"}));
    d.world.AppendEvent(away);
    d.world.ProcessEvents();
    EXPECT_EQ(d.observer.changed, (std::vector<std::string>{"e3", "e9", "e1"}));
    EXPECT_FALSE(away->IsActive());
}

TEST(EventIndex, ChangesMadeWhileAnEventFiresKeepTheWalkOfTheList)
{
    IndexedWorld d;
    // The first step event appends a step event and deletes the step event after it: the walk goes on past the
    // deleted one to the rest and the newcomer, as it would through the list.
    d.observer.onFired = [&](const SWevent& event) {
        if (event.GetName() != std::optional<std::string>("e0"))
            return;
        d.observer.onFired = nullptr;
        d.Event(2, "appended");
        d.world.DeleteEvent(d.Named("e4"));
    };
    d.world.GetDispatchQueue().Push(new SWinputrecord(InputKind::kWorldStep, 0));
    d.world.ProcessEvents();
    EXPECT_EQ(d.observer.fired, (std::vector<std::string>{"e0", "e8", "appended"}));

    // The last event of the list appending one: the walk had ended there, so the newcomer waits for the next record.
    d.observer.fired.clear();
    SWevent* last = d.Event(2, "last");
    d.observer.onFired = [&](const SWevent& event) {
        if (&event != last)
            return;
        d.observer.onFired = nullptr;
        d.Event(2, "late");
    };
    d.world.GetDispatchQueue().Push(new SWinputrecord(InputKind::kWorldStep, 0));
    d.world.ProcessEvents();
    EXPECT_EQ(d.observer.fired, (std::vector<std::string>{"e0", "e8", "appended", "last"}));
    EXPECT_TRUE(d.world.CheckEventIndex());
}
