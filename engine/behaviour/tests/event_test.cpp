// Events: type names, type changes and their data, references by name, moving action trees, re-arming.
#include <gtest/gtest.h>

#include <cfloat>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/events.h"
#include "engine/behaviour/key_table.h"
#include "engine/core/data_node.h"
#include "engine/core/type_tag.h"

namespace {

SWactionnode* AddAction(SWevents& world, SWevent& event, int32_t kind, const char* argument = nullptr)
{
    auto* action = new SWactionnode(kind);
    action->SetActionId(world.NextActionId());
    if (argument != nullptr)
        action->AddArgument(argument, SWdatanode::kString, true);
    event.AppendAction(action);
    return action;
}

const char* FirstArgument(const SWactionnode& action)
{
    const auto* first = static_cast<const SWdatanode*>(action.GetArguments().Head());
    return first != nullptr ? first->GetText() : nullptr;
}

class TimedEvents : public SWevents {
public:
    float GetCurrentWorldTime() const override { return now; }
    float now = 0.0f;
};

} // namespace

TEST(EventTypes, NamesOfVisibleTypesOnly)
{
    SWevents world;
    EXPECT_STREQ(world.GetEventTypeName(3), "Custom event");
    EXPECT_EQ(world.GetEventTypeName(8), nullptr);
    EXPECT_EQ(world.GetEventTypeName(18), nullptr);
    EXPECT_EQ(world.GetEventTypeName(22), nullptr);
    for (uint32_t type : {0u, 1u, 2u, 4u, 5u, 6u, 7u, 16u, 17u, 19u, 20u})
        EXPECT_NE(world.GetEventTypeName(type), nullptr) << type;
}

TEST(EventTypes, ObjectListSurvivesAChangeBetweenObjectTypesOnly)
{
    SWevents world;
    SWevent* event = world.AddEventOfType(5);
    event->AddObjectName(std::string("box"));
    event->SetSequenceMode(1);
    EXPECT_EQ(event->GetTimeLineLength(), SWevent::kTimeLineAtConstruction);
    event->SetType(7);
    ASSERT_NE(event->GetObjectList(), nullptr);
    EXPECT_EQ(event->GetObjectList()->Count(), 1u);
    EXPECT_EQ(event->GetSequenceMode(), 1);
    EXPECT_EQ(event->GetTimeLineLength(), SWevent::kTimeLineAfterTypeChange);
    event->SetType(17);
    EXPECT_EQ(event->GetObjectList(), nullptr);
    ASSERT_NE(event->GetSoundList(), nullptr);
    EXPECT_EQ(event->GetSoundList()->Count(), 0u);
    event->SetType(5);
    EXPECT_EQ(event->GetObjectList(), nullptr);
    EXPECT_EQ(event->GetSequenceMode(), 0);
}

TEST(EventTypes, OtherTypesIgnoreTypeOperations)
{
    SWevents world;
    SWevent* event = world.AddEventOfType(2);
    event->SetTimerInterval(5.0f);
    EXPECT_EQ(event->GetTimerInterval(), FLT_MAX);
    EXPECT_EQ(event->GetTimerLastTime(), FLT_MAX);
    event->AddObjectName(std::string("x"));
    EXPECT_EQ(event->GetObjectList(), nullptr);
    SWkeytable keys;
    event->AddKey(keys.FindKeyByCode('a'));
    EXPECT_EQ(event->GetKeyEntry(), nullptr);
    SWevent* timer = world.AddEventOfType(4);
    EXPECT_EQ(timer->GetTimerInterval(), 1000.0f);
}

TEST(EventLists, AnEmptiedObjectOrKeyListIsNoList)
{
    SWevents world;
    SWevent* click = world.AddEventOfType(6);
    click->AddObjectName(std::string("a"));
    auto* entry = static_cast<SWobjectnameentry*>(click->GetObjectList()->Head());
    EXPECT_TRUE(click->RemoveObjectEntry(entry));
    EXPECT_EQ(click->GetObjectList(), nullptr);
    click->AddObjectName(std::nullopt);
    click->ClearObjectList();
    EXPECT_EQ(click->GetObjectList(), nullptr);

    SWkeytable keys;
    SWevent* press = world.AddEventOfType(19);
    press->AddKey(keys.FindKeyByCode('a'));
    press->AddKey(keys.FindKeyByCode('b'));
    EXPECT_EQ(press->GetFirstKeyAdded(), keys.FindKeyByCode('a'));
    EXPECT_TRUE(press->RemoveKey(keys.FindKeyByCode('a')));
    EXPECT_EQ(press->GetFirstKeyAdded(), keys.FindKeyByCode('b'));
    EXPECT_TRUE(press->RemoveKey(keys.FindKeyByCode('b')));
    EXPECT_EQ(press->GetKeyEntry(), nullptr);
    press->AddKey(keys.FindKeyByCode('c'));
    press->ClearKeyList();
    EXPECT_EQ(press->GetKeyEntry(), nullptr);
}

TEST(EventNames, RenamingAndDeletingReachOnlyEventNamingKinds)
{
    SWevents world;
    SWevent* target = world.NewEvent();
    target->SetName(std::string("Door"));
    SWevent* other = world.NewEvent();
    SWactionnode* trigger = AddAction(world, *other, 11, "Door");
    SWactionnode* swap = AddAction(world, *other, 38, "Door");
    SWactionnode* sound = AddAction(world, *other, 7, "Door");
    target->SetName(std::string("Gate"));
    EXPECT_STREQ(FirstArgument(*trigger), "Gate");
    EXPECT_STREQ(FirstArgument(*swap), "Gate");
    EXPECT_STREQ(FirstArgument(*sound), "Door");
    const uint64_t generation = world.GetStructureGeneration();
    EXPECT_TRUE(world.DeleteEvent(target));
    EXPECT_GT(world.GetStructureGeneration(), generation);
    EXPECT_EQ(trigger->GetArguments().Count(), 0u);
    EXPECT_EQ(swap->GetArguments().Count(), 0u);
    EXPECT_EQ(sound->GetArguments().Count(), 1u);
    EXPECT_EQ(world.CountEvents(), 1u);
}

TEST(EventNames, FindEventIgnoresAsciiCaseAndTakesTheFirst)
{
    SWevents world;
    SWevent* first = world.NewEvent();
    first->SetName(std::string("Open"));
    world.NewEvent()->SetName(std::string("OPEN"));
    world.NewEvent(); // unnamed
    EXPECT_EQ(world.FindEvent("open"), first);
    EXPECT_EQ(world.FindEvent("opened"), nullptr);
    EXPECT_EQ(world.FindEvent(""), nullptr);
}

TEST(EventActions, MovingATreeBringsItsDependantsAndUnsetsEveryStaleLink)
{
    SWevents world;
    SWevent* from = world.NewEvent();
    SWevent* to = world.NewEvent();
    SWactionnode* condition = AddAction(world, *from, 25);
    SWactionnode* then = AddAction(world, *from, 7);
    then->SetThenLink(condition->GetActionId());
    SWactionnode* nested = AddAction(world, *from, 7);
    nested->SetElseLink(then->GetActionId());
    SWactionnode* stays = AddAction(world, *from, 7);
    SWactionnode* anchor = AddAction(world, *to, 7);
    // A stale else-link behind a valid then-link: only testing the first set link would leave it.
    SWactionnode* mixed = AddAction(world, *to, 7);
    mixed->SetThenLink(anchor->GetActionId());
    mixed->SetElseLink(stays->GetActionId());

    to->MoveActionTree(condition, anchor);
    EXPECT_EQ(from->CountActions(), 1u);
    EXPECT_EQ(from->GetFirstAction(), stays);
    EXPECT_EQ(to->CountActions(), 5u);
    EXPECT_EQ(SWevent::GetNextAction(anchor), condition);
    EXPECT_EQ(then->GetEvent(), to);
    EXPECT_EQ(then->GetThenLink(), condition->GetActionId());
    EXPECT_EQ(nested->GetElseLink(), then->GetActionId());
    EXPECT_EQ(mixed->GetThenLink(), anchor->GetActionId());
    EXPECT_EQ(mixed->GetElseLink(), SWactionnode::kUnset);
    EXPECT_EQ(world.FindActionById(nested->GetActionId()), nested);
}

TEST(EventState, RearmFollowsTheFlagAndResetRestartsTimersAtTheWorldTime)
{
    TimedEvents world;
    SWevent* once = world.AddEvent(0, 3);
    SWevent* again = world.AddEvent(1, 3);
    SWevent* start = world.AddEvent(1, 0);
    for (SWevent* e : {once, again, start})
        e->Block();
    once->Rearm(false);
    again->Rearm(false);
    start->Rearm(false);
    EXPECT_TRUE(once->IsBlocked());
    EXPECT_FALSE(again->IsBlocked());
    EXPECT_TRUE(start->IsBlocked());
    start->Rearm(true);
    EXPECT_FALSE(start->IsBlocked());
    once->SetActive(true);
    EXPECT_FALSE(once->IsBlocked());

    SWevent* timer = world.AddEventOfType(4);
    world.now = 1234.0f;
    timer->SetEnabled(false);
    once->Block();
    world.ResetEvents();
    EXPECT_EQ(timer->GetTimerLastTime(), 1234.0f);
    EXPECT_FALSE(timer->IsActive());
    EXPECT_FALSE(once->IsBlocked());
}

TEST(EventState, TaggedNamesEmptyOnANewTag)
{
    SWevents world;
    SWevent* loaded = world.AddEventOfType(21);
    ASSERT_NE(loaded->GetTaggedNameList(), nullptr);
    loaded->GetTaggedNameList()->AddName(std::string("a"));
    loaded->GetTaggedNameList()->SetTag(MakeTag("TXTB"));
    EXPECT_EQ(loaded->GetTaggedNameList()->Count(), 1u);
    loaded->GetTaggedNameList()->SetTag(MakeTag("ABCD"));
    EXPECT_EQ(loaded->GetTaggedNameList()->Count(), 0u);
}
