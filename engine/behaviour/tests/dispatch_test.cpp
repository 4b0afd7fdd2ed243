// Matching records against events, executing actions, delays on a virtual clock, sequences and their holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/behaviour_observer.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/events.h"
#include "engine/behaviour/key_table.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/property.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/typed_value_data.h"
#include "engine/core/world.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "platform/time/clock.h"
#include "platform/time/virtual_clock.h"
#include "testsupport/behaviour/frame_driver.h"
#include "testsupport/behaviour/test_motion.h"
#include "testsupport/behaviour/trace_observer.h"

namespace {

struct Driver : FrameDriver {
    RecordingObserver recorder;
    void Observe() { FrameDriver::Observe(recorder); }
};

} // namespace

TEST(DispatchWorldFlags, OnlyTheFirstStartEventFiresAndEveryStopEvent)
{
    Driver d;
    d.Event(0, "start1");
    d.Event(0, "start2");
    d.Event(1, "stop1");
    d.Event(1, "stop2");
    d.Observe();
    d.world.SetStartFlag(1);
    d.world.GetDispatchQueue().Push(new SWinputrecord(InputKind::kWorldStart, 0));
    d.world.SetStopFlag(1);
    d.world.GetDispatchQueue().Push(new SWinputrecord(InputKind::kWorldStop, 0));
    d.world.ProcessEvents();
    EXPECT_EQ(d.recorder.fired, (std::vector<std::string>{"start1", "stop1", "stop2"}));
}

TEST(DispatchClicks, InOrderListFiresOnlyOnTheExactSequence)
{
    Driver d;
    SWnode* a = d.Node("a");
    SWnode* b = d.Node("b");
    SWevent* event = d.Event(5, "order");
    event->AddObjectName("a");
    event->AddObjectName("b");
    event->SetSequenceMode(1);
    d.Observe();
    for (SWnode* node : {a, b, a, a, b})
        d.Post(d.Click(node));
    d.Post(d.Click(nullptr)); // no node: no change
    d.Frame();
    EXPECT_EQ(d.recorder.fired.size(), 1u);
}

TEST(DispatchClicks, MissingNamesNeverMatchAndTheMaskChoosesTheButton)
{
    Driver d;
    SWnode* unnamed = new SWobjectnode();
    d.world.AddNode(unnamed, nullptr);
    SWevent* listed = d.Event(5, "listed");
    listed->AddObjectName(std::nullopt);
    d.Event(6, "right");
    d.Observe();
    d.Post(d.Click(unnamed, 2));
    d.Post(d.Click(unnamed, 1));
    d.Frame();
    EXPECT_EQ(d.recorder.fired, (std::vector<std::string>{"right"}));
}

TEST(DispatchKeys, ListsAndTheCombinationByte)
{
    Driver d;
    const SWkeyentry* a = d.world.GetKeyTable().GetLetter('A');
    const SWkeyentry* b = d.world.GetKeyTable().GetLetter('B');
    ASSERT_TRUE(a != nullptr && b != nullptr);
    d.Event(19, "any");
    d.Event(19, "onlyA")->AddKey(a);
    d.Event(19, "combo")->SetAllKeysFlag(1);
    d.Event(20, "released");
    d.Observe();
    d.Post(SWinputrecord::SWinputrecordKey(*b, true, 0));
    d.Post(SWinputrecord::SWinputrecordKey(*a, true, 0));
    d.Frame();
    EXPECT_EQ(d.recorder.fired, (std::vector<std::string>{"any", "any", "onlyA"}));
}

TEST(DispatchNamedTriggers, UnknownNameWaitsForItsEventAndCaseIsIgnored)
{
    Driver d;
    d.Observe();
    d.world.PostNamedTrigger(nullptr, std::string("data"), std::string("Later"));
    d.world.PostNamedTrigger(nullptr, std::nullopt, std::nullopt); // neither: dropped
    d.Frame();
    d.Frame();
    EXPECT_TRUE(d.recorder.fired.empty());
    EXPECT_EQ(d.world.GetPostedQueue().Count(), 1u);
    SWevent* later = d.Event(3, "later");
    later->SetActive(false); // a named trigger fires it anyway
    d.Frame();
    EXPECT_EQ(d.recorder.fired, (std::vector<std::string>{"later"}));
    EXPECT_EQ(d.world.GetPostedQueue().Count(), 0u);
}

TEST(DispatchActivation, ActivateTakesEffectAfterTheStepToggleAtOnce)
{
    Driver d;
    SWevent* target = d.Event(2, "target");
    target->SetActive(false);
    SWevent* other = d.Event(2, "other");
    SWevent* driver = d.Event(3, "driver");
    d.Action(driver, 13, "target");
    d.Action(driver, 15, "other");
    d.world.GetDispatchQueue().Push(SWinputrecord::SWinputrecordTrigger(driver, std::nullopt, 0));
    d.world.ProcessEvents();
    EXPECT_TRUE(target->IsActive());
    EXPECT_FALSE(other->IsActive());
    EXPECT_EQ(target->GetPendingRequest(), SWevent::kRequestNone);
}

TEST(ActionExecution, KeyTriggerIsNoNameAndArgumentsAreTyped)
{
    Driver d;
    SWevent* keys = d.Event(19, "keys");
    SWactionnode* byTrigger = d.Action(keys, 14);
    byTrigger->SetTargetIsTrigger(1);
    SWactionnode* typed = d.Action(keys, 0);
    const uint8_t byte = 7;
    typed->AddArgument("name", SWdatanode::kString, true);
    typed->AddArgument(&byte, SWdatanode::kByte, true);
    d.Observe();
    d.Post(SWinputrecord::SWinputrecordKey(*d.world.GetKeyTable().GetLetter('A'), true, 0));
    d.Frame();
    EXPECT_EQ(d.recorder.texts, (std::vector<std::string>{"-", "name", "-"}));
}

TEST(ActionExecution, HostCallbackGetsItsTextsAndTheDataText)
{
    struct HostWorld : SWworld {
        void JavaCallback(SWevent*, const char* a, const char* b, const char* data) override
        {
            calls.push_back(std::string(a) + "/" + b + "/" + (data != nullptr ? data : "-"));
        }
        std::vector<std::string> calls;
    } world;
    SWevent* event = world.NewEvent();
    event->SetType(3);
    event->CreateHostCallbackAction("Cls", "method");
    world.GetDispatchQueue().Push(SWinputrecord::SWinputrecordTrigger(event, std::string("payload"), 0));
    world.ProcessEvents();
    EXPECT_EQ(world.calls, (std::vector<std::string>{"Cls/method/payload"}));
}

TEST(ActionExecution, ConditionRunsThenOrElseAndStartsClearEachTime)
{
    Driver d;
    SWproperty& x = *d.world.GetVariables().AddVariable(std::make_unique<SWproperty>(kTypeFloat));
    SWevent* event = d.Event(3, "test");
    auto* test = static_cast<SWconditionaction*>(d.Action(event, 25));
    test->SetOperand1(&x);
    test->settings.constant = 5.0f;
    test->settings.mask = 4; // greater
    SWactionnode* then = d.Action(event, 0);
    then->SetThenLink(test->GetActionId());
    SWactionnode* otherwise = d.Action(event, 0);
    otherwise->SetElseLink(test->GetActionId());
    d.Observe();
    for (const float value : {6.0f, 4.0f}) {
        x.SetFloatAll(value);
        d.world.GetDispatchQueue().Push(SWinputrecord::SWinputrecordTrigger(event, std::nullopt, 0));
        d.world.ProcessEvents();
    }
    EXPECT_EQ(d.recorder.executed, (std::vector<uint32_t>{test->GetActionId(), then->GetActionId(), test->GetActionId(),
                                                          otherwise->GetActionId()}));
}

TEST(ActionExecution, LinkCyclesAreCutAndDeepChainsBounded)
{
    Driver d;
    SWevent* event = d.Event(3, "cycle");
    auto* first = static_cast<SWconditionaction*>(d.Action(event, 25));
    auto* second = static_cast<SWconditionaction*>(d.Action(event, 25));
    second->SetElseLink(first->GetActionId());
    first->SetElseLink(second->GetActionId());
    d.Observe();
    d.world.ExecuteAction(event, first, {}, std::nullopt, true);
    EXPECT_EQ(d.recorder.skipped, 1);
    EXPECT_EQ(d.recorder.executed, (std::vector<uint32_t>{first->GetActionId(), second->GetActionId()}));
    SWevent* deep = d.Event(3, "deep");
    SWactionnode* previous = d.Action(deep, 25);
    SWactionnode* head = previous;
    for (int i = 0; i < 200; ++i) {
        SWactionnode* next = d.Action(deep, 25);
        next->SetElseLink(previous->GetActionId());
        previous = next;
    }
    d.world.ExecuteAction(deep, head, {}, std::nullopt, true);
    EXPECT_EQ(d.recorder.skipped, 2);
}

TEST(DelayedActions, RunOnceAtExpiryWithTheirTriggerAndDataText)
{
    Driver d;
    SWevent* event = d.Event(3, "delayed");
    SWactionnode* later = d.Action(event, 0);
    later->SetDelay(500.0);
    later->SetTargetIsTrigger(1);
    d.Observe();
    d.world.GetDispatchQueue().Push(SWinputrecord::SWinputrecordTrigger(event, std::string("data"), 0));
    d.world.ProcessEvents();
    event->SetActive(false);
    for (int i = 0; i < 14; ++i)
        d.Frame(); // 462 ms
    EXPECT_TRUE(d.recorder.executed.empty());
    d.Frame();
    d.Frame();
    d.Frame();
    EXPECT_EQ(d.recorder.executed.size(), 1u);
}

TEST(DelayedActions, ExpireAcrossTheClockWrap)
{
    Driver d;
    d.clock.set(0xFFFFFE00u); // 512 ms before the wrap
    SWevent* event = d.Event(3, "delayed");
    SWactionnode* later = d.Action(event, 0);
    later->SetDelay(1000.0);
    d.Observe();
    d.world.ScheduleDelayedAction(later, {}, std::nullopt, 0);
    d.clock.advance(999);
    d.world.RunDueDelayedActions();
    EXPECT_TRUE(d.recorder.executed.empty());
    d.clock.advance(1);
    d.world.RunDueDelayedActions();
    EXPECT_EQ(d.recorder.executed.size(), 1u);
}

TEST(DelayedActions, EveryPendingEntryGoesWithItsActionOrEvent)
{
    Driver d;
    SWevent* event = d.Event(2, "step");
    SWactionnode* later = d.Action(event, 0);
    later->SetDelay(1000.0);
    SWevent* second = d.Event(2, "step2");
    d.Action(second, 0)->SetDelay(1000.0);
    for (int i = 0; i < 5; ++i)
        d.Frame();
    EXPECT_EQ(d.world.GetDelayedActions().Count(), 10u);
    EXPECT_TRUE(event->RemoveAction(later));
    EXPECT_EQ(d.world.GetDelayedActions().Count(), 5u);
    EXPECT_TRUE(d.world.DeleteEvent(second));
    EXPECT_EQ(d.world.GetDelayedActions().Count(), 0u);
    for (int i = 0; i < 40; ++i)
        d.Frame(); // nothing left runs against the deleted actions
}

TEST(DelayedActions, FindActionByIdAcrossEvents)
{
    Driver d;
    d.Action(d.Event(3, "one"), 0);
    SWactionnode* wanted = d.Action(d.Event(3, "two"), 0);
    EXPECT_EQ(d.world.FindActionById(wanted->GetActionId()), wanted);
    EXPECT_EQ(d.world.FindActionById(999), nullptr);
}

namespace {

struct Sequence {
    explicit Sequence(Driver& d, uint8_t loop = 0)
    {
        event = d.Event(3, "sequence");
        queue = static_cast<SWqueueaction*>(d.Action(event, 30));
        queue->SetLoop(loop);
        for (int i : {0, 2}) {
            members[i] = d.Action(event, 0);
            members[i]->SetQueueLink(queue->GetActionId());
        }
        SWmotionaction* moving = d.MotionAction(event, 2, 200.0f, members[0]);
        moving->SetQueueLink(queue->GetActionId());
        moving->SetWait(1);
        members[1] = moving;
    }
    SWevent* event;
    SWqueueaction* queue;
    SWactionnode* members[3];
};

} // namespace

TEST(ActionSequences, TheWaitingMemberHoldsTheRestUntilItsMotionEnds)
{
    Driver d;
    Sequence s(d);
    d.Observe();
    d.Post(SWinputrecord::SWinputrecordTrigger(s.event, std::nullopt, 0));
    d.Frame();
    EXPECT_EQ(d.recorder.executed, (std::vector<uint32_t>{s.queue->GetActionId(), s.members[0]->GetActionId(),
                                                          s.members[1]->GetActionId()}));
    for (int i = 0; i < 7; ++i)
        d.Frame(); // the motion ends in the step of the frame at 231 ms
    EXPECT_EQ(d.recorder.executed.size(), 3u);
    d.Frame();
    EXPECT_EQ(d.recorder.executed.back(), s.members[2]->GetActionId());
    d.Frame();
    EXPECT_EQ(d.world.GetActionQueues().Count(), 0u);
}

TEST(ActionSequences, StoppedWhileItsMotionStillHoldsIt)
{
    Driver d;
    Sequence s(d);
    d.Post(SWinputrecord::SWinputrecordTrigger(s.event, std::nullopt, 0));
    d.Frame();
    ASSERT_EQ(d.world.GetActionQueues().Count(), 1u);
    EXPECT_TRUE(d.world.StopQueue(s.queue->GetActionId()));
    d.Frame();
    EXPECT_EQ(d.world.GetActionQueues().Count(), 0u);
    for (int i = 0; i < 10; ++i)
        d.Frame(); // the motion ends and lets go of an entry no longer listed
    EXPECT_TRUE(s.event->RemoveAction(s.members[1]));
}

TEST(ActionSequences, LoopingSequenceStartsAgain)
{
    Driver d;
    Sequence s(d, 1);
    d.Observe();
    d.Post(SWinputrecord::SWinputrecordTrigger(s.event, std::nullopt, 0));
    for (int i = 0; i < 20; ++i)
        d.Frame();
    EXPECT_GE(std::count(d.recorder.executed.begin(), d.recorder.executed.end(), s.members[2]->GetActionId()), 2);
    EXPECT_EQ(d.world.GetActionQueues().Count(), 1u);
}

TEST(MotionHolds, NoHoldObjectChangesNothingAndReleaseClamps)
{
    TestMotion free(nullptr, 2, 10.0f);
    free.AddHold();
    EXPECT_EQ(free.GetOwnHolds(), 0u);
    auto* entry = new SWactionqueueentry(nullptr, {}, std::nullopt);
    {
        QueueEntryRef keep(entry);
        TestMotion held(nullptr, 2, 10.0f);
        held.SetHoldObject(entry);
        held.AddHold();
        held.AddHold();
        EXPECT_EQ(entry->GetWaitCount(), 2u);
        entry->DecreaseClamped(5);
        held.ReleaseHolds();
        EXPECT_EQ(entry->GetWaitCount(), 0u);
    }
}

TEST(MotionPreStep, UnboundClonesArePurgedAndTheTemplateStays)
{
    Driver d;
    SWevent* event = d.Event(3, "clone");
    auto* moving = new SWmotionaction(41);
    SWactionkind kind; // no handler binds the clone
    kind.SetKindId(41);
    moving->SetKind(&kind);
    moving->SetMotion(std::make_unique<TestMotion>(&d.world, 2, 10000.0f));
    event->AppendAction(moving);
    d.Post(SWinputrecord::SWinputrecordTrigger(event, std::nullopt, 0));
    d.Frame();
    EXPECT_EQ(TimedActionTable::Of(d.world).Count(), 0u);
    EXPECT_FALSE(moving->GetMotion()->IsRunning());
}

TEST(DispatchThreads, PostedRecordsFireOnceEachInOrder)
{
    Driver d;
    const SWkeyentry* a = d.world.GetKeyTable().GetLetter('A');
    d.Event(19, "keys");
    d.Observe();
    constexpr int kRecords = 2000;
    std::thread poster([&] {
        for (int i = 0; i < kRecords; ++i)
            d.world.PostKeyDown(*a);
    });
    for (int frame = 0; frame < 200; ++frame)
        d.Frame(1);
    poster.join();
    d.Frame(1);
    EXPECT_EQ(d.recorder.fired.size(), static_cast<size_t>(kRecords));
}

TEST(DispatchActivation, ReArmZeroStaysBlockedUntilActivatedAfterTheStep)
{
    Driver d;
    SWevent* once = d.world.AddEvent(0, static_cast<uint32_t>(EventType::kWorldStep));
    once->SetName(std::string("once"));
    SWevent* rearm = d.Event(3, "rearm");
    d.Action(rearm, 12, "once");
    SWevent* activate = d.Event(3, "activate");
    d.Action(activate, 13, "once");
    d.Observe();
    d.Frame();
    d.Frame();
    EXPECT_EQ(d.recorder.fired, (std::vector<std::string>{"once"}));
    EXPECT_TRUE(once->IsBlocked());
    d.Post(SWinputrecord::SWinputrecordTrigger(rearm, std::nullopt, 0));
    d.Frame();
    EXPECT_TRUE(once->IsBlocked()); // a re-arm never unblocks a flag-0 event
    d.recorder.fired.clear();
    d.Post(SWinputrecord::SWinputrecordTrigger(activate, std::nullopt, 0));
    d.Frame(); // the step record was dispatched before the request took effect
    EXPECT_EQ(d.recorder.fired, (std::vector<std::string>{"activate"}));
    EXPECT_FALSE(once->IsBlocked());
    d.Frame();
    EXPECT_EQ(d.recorder.fired, (std::vector<std::string>{"activate", "once"}));
}

TEST(DispatchMatches, VariablesMotionsAndSoundsFireOnlyTheirOwnEvents)
{
    Driver d;
    SWproperty* watched = d.world.GetVariables().AddVariable(std::make_unique<SWproperty>(kTypeFloat));
    SWproperty* other = d.world.GetVariables().AddVariable(std::make_unique<SWproperty>(kTypeFloat));
    d.Event(18, "changed")->SetWatchedVariable(watched);
    d.Event(18, "unresolved")->SetWatchedVariableName(std::string("nowhere"));
    SWnode* first = d.Node("twin");
    SWnode* second = d.Node("twin"); // a name matches only the first node that bears it
    SWnode* unnamed = new SWobjectnode();
    d.world.AddNode(unnamed, nullptr);
    SWevent* moved = d.Event(16, "moved");
    moved->AddObjectName("twin");
    moved->AddObjectName(std::nullopt);
    d.Event(16, "nolist"); // a motion-finished event without a list fires for nothing
    SWsound* bell = d.world.GetSoundList().Add(std::make_unique<SWsound>("bell"));
    SWsound* horn = d.world.GetSoundList().Add(std::make_unique<SWsound>("horn"));
    SWevent* rang = d.Event(17, "rang");
    rang->AddSoundName("bell");
    rang->AddSoundName(std::nullopt);
    d.Observe();
    struct Case {
        InputKind kind;
        SWinputtarget target;
        std::vector<std::string> fires;
    };
    const std::vector<Case> cases = {
        {InputKind::kPropertyChanged, watched, {"changed"}},
        {InputKind::kPropertyChanged, other, {}},
        {InputKind::kPropertyChanged, SWinputtarget{}, {}},
        {InputKind::kMotionFinished, first, {"moved"}},
        {InputKind::kMotionFinished, second, {}},
        {InputKind::kMotionFinished, unnamed, {}},
        {InputKind::kMotionFinished, SWinputtarget{}, {}},
        {InputKind::kSoundFinished, bell, {"rang"}},
        {InputKind::kSoundFinished, horn, {}},
        {InputKind::kWorldStep, bell, {}}, // the right target on the wrong kind
    };
    for (const Case& c : cases) {
        d.recorder.fired.clear();
        d.world.GetDispatchQueue().Push(new SWinputrecord(c.kind, 0, c.target));
        d.world.ProcessEvents();
        EXPECT_EQ(d.recorder.fired, c.fires) << "record kind " << static_cast<uint32_t>(c.kind);
    }
}

TEST(DispatchNamedTriggers, ANamedTriggerClearsTheLastKeyAndNode)
{
    Driver d;
    const SWkeyentry* a = d.world.GetKeyTable().GetLetter('A');
    SWevent* pressed = d.Event(19, "pressed");
    SWevent* released = d.Event(20, "released");
    SWevent* clicked = d.Event(5, "clicked");
    SWnode* node = d.Node("n");
    d.Post(SWinputrecord::SWinputrecordKey(*a, true, 0));
    d.Post(SWinputrecord::SWinputrecordKey(*a, false, 0));
    d.Post(d.Click(node));
    d.Frame();
    ASSERT_EQ(pressed->GetLastPressedKey(), a);
    ASSERT_EQ(released->GetLastReleasedKey(), a);
    ASSERT_EQ(clicked->GetLastMatchedNode(), node);
    for (SWevent* event : {pressed, released, clicked})
        d.world.PostNamedTrigger(nullptr, std::nullopt, event->GetName());
    d.Frame();
    EXPECT_EQ(pressed->GetLastPressedKey(), nullptr);
    EXPECT_EQ(released->GetLastReleasedKey(), nullptr);
    EXPECT_EQ(clicked->GetLastMatchedNode(), nullptr);
}

TEST(WorldTeardown, TemplateMotionsGoWhileTheTreeStillStands)
{
    // A motion's destructor takes its entries off the nodes it moved, so it must never run after the tree is gone.
    struct ProbeMotion : TestMotion {
        ProbeMotion(SWworld* world, uint32_t nodeId, int* sawNode)
            : TestMotion(world, 5, 100.0f), nodeId(nodeId), sawNode(sawNode)
        {
        }
        ~ProbeMotion() override
        {
            SWnode* root = GetWorld()->GetRootNode();
            *sawNode = root != nullptr && root->FindById(nodeId) != nullptr ? 1 : 0;
        }
        uint32_t nodeId;
        int* sawNode;
    };
    int sawNode = -1;
    {
        auto world = std::make_unique<SWworld>();
        auto* node = new SWobjectnode();
        world->AddNode(node, nullptr);
        auto* moving = new SWmotionaction(41);
        moving->SetMotion(std::make_unique<ProbeMotion>(world.get(), node->GetId(), &sawNode));
        world->NewEvent()->AppendAction(moving);
    }
    EXPECT_EQ(sawNode, 1);
}
