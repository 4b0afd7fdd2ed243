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
#include "platform/time/clock.h"
#include "platform/time/virtual_clock.h"

namespace {

struct Recorder : BehaviourObserver {
    void EventFired(const SWevent& event, const SWinputrecord&) override
    {
        fired.push_back(event.GetName().value_or("?"));
    }
    void ActionExecuted(const SWactionnode& action, const ActionTarget& target, const ActionSubject&) override
    {
        executed.push_back(action.GetActionId());
        texts.push_back(target.GetText() != nullptr ? target.GetText() : "-");
    }
    void ActionSkipped(const SWactionnode&) override { ++skipped; }
    std::vector<std::string> fired;
    std::vector<uint32_t> executed;
    std::vector<std::string> texts;
    int skipped = 0;
};

// A motion that ends a fixed time after its start on the world's clock.
class TestMotion : public SWnodemotion {
public:
    TestMotion(SWworld* world, uint32_t type, float durationMs) : SWnodemotion(world, type)
    {
        m_durationMs = durationMs;
    }
    SWmotion* Clone() const override { return new TestMotion(*this); }
    void Start() override
    {
        SWnodemotion::Start();
        m_startedAt = m_world->GetCurrentWorldTime();
    }
    bool Step(float nowMs) override
    {
        if (IsDone() || !IsRunning())
            return false;
        if (nowMs - m_startedAt >= m_durationMs) {
            Stop();
            Finish();
        }
        return !IsDone();
    }

private:
    float m_startedAt = 0.0f;
};

// Starts the subject's motion as the motion handlers will, bound to node 1.
void StartMotion(SWevent*, SWevents*, const ActionTarget&, const ActionSubject& subject)
{
    if (auto* motion = dynamic_cast<SWnodemotion*>(subject.motion)) {
        motion->BindNode(1);
        if (!motion->IsRunning())
            motion->Start();
    }
}

class Driver {
public:
    Driver() { pf::setClock(&clock); }
    ~Driver() { pf::setClock(nullptr); }

    void Frame(uint32_t dtMs = 33)
    {
        SWworldlock lock(world);
        world.GetPostedQueue().MoveAll(world.GetDispatchQueue());
        world.GetDispatchQueue().Push(new SWinputrecord(InputKind::kWorldStep, world.GetFrameTimeMs()));
        world.ProcessEvents();
        if (auto* table = dynamic_cast<TimedActionTable*>(world.GetPart(WorldPart::kTimedActions))) {
            for (uint32_t type = 0; type < 20; ++type)
                if (auto* list = table->GetTypeList(type))
                    for (auto& motion : *list)
                        motion->Step(world.GetCurrentWorldTime());
            table->PurgeDone();
        }
        clock.advance(dtMs);
        world.SetCurrentWorldTime(world.GetCurrentWorldTime() + static_cast<float>(dtMs));
    }
    void Post(SWinputrecord* record) { world.GetPostedQueue().Push(record); }
    SWinputrecord* Click(SWnode* node, uint32_t mask = 2)
    {
        auto* record = new SWinputrecord(InputKind::kObjectClick, 0, node);
        record->SetSecondWord(mask);
        return record;
    }
    SWevent* Event(uint32_t type, const char* name)
    {
        SWevent* event = world.AddEventOfType(type);
        event->SetName(std::string(name));
        return event;
    }
    SWactionnode* Action(SWevent* event, int32_t kind, const char* argument = nullptr)
    {
        SWactionnode* action = event->CreateAction(world.GetActionCategories().FindKind(kind));
        if (action == nullptr)
            action = event->CreateAction(&plain);
        if (argument != nullptr)
            action->AddArgument(argument, SWdatanode::kString, true);
        return action;
    }
    SWnode* Node(const char* name)
    {
        auto* node = new SWobjectnode();
        node->SetName(std::string(name));
        world.AddNode(node, nullptr);
        return node;
    }

    pf::VirtualClock clock{1000};
    SWworld world;
    Recorder recorder;
    SWactionkind plain; // kind 0, no handler: records each call only

    void Observe() { world.SetObserver(&recorder); }
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
        auto* moving = new SWmotionaction(41);
        motionKind.SetKindId(41);
        motionKind.SetHandler(StartMotion);
        moving->SetKind(&motionKind);
        moving->SetMotion(std::make_unique<TestMotion>(&d.world, 2, 200.0f));
        moving->SetQueueLink(queue->GetActionId());
        moving->SetWait(1);
        event->InsertActionAfter(moving, members[0]);
        moving->SetActionId(d.world.NextActionId());
        members[1] = moving;
    }
    SWevent* event;
    SWqueueaction* queue;
    SWactionnode* members[3];
    SWactionkind motionKind;
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
