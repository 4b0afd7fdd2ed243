#include "testsupport/behaviour/frame_driver.h"

#include <vector>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/object_node.h"
#include "engine/core/typed_value_data.h"
#include "platform/time/clock.h"
#include "testsupport/behaviour/test_motion.h"
#include "testsupport/behaviour/trace_observer.h"

FrameDriver::FrameDriver(uint32_t clockStartMs) : clock(clockStartMs)
{
    pf::setClock(&clock);
    motionKind.SetKindId(41);
    motionKind.SetHandler(StartTestMotion);
}

FrameDriver::~FrameDriver()
{
    world.SetObserver(nullptr);
    pf::setClock(nullptr);
}

void FrameDriver::Observe(TraceObserver& observer)
{
    m_observer = &observer;
    world.SetObserver(&observer);
    SetObserverFrame();
}

void FrameDriver::SetObserverFrame()
{
    if (m_observer != nullptr)
        m_observer->SetFrame(m_frames);
}

void FrameDriver::Start()
{
    world.Start();
    SWworldlock lock(world);
    world.SetStartFlag(1);
    world.GetDispatchQueue().Push(new SWinputrecord(InputKind::kWorldStart, world.GetFrameTimeMs()));
}

void FrameDriver::Stop()
{
    ++m_frames;
    SetObserverFrame();
    SWworldlock lock(world);
    world.SetStopFlag(1);
    world.GetDispatchQueue().Push(new SWinputrecord(InputKind::kWorldStop, world.GetFrameTimeMs()));
    world.ProcessEvents();
    world.SetStopFlag(0);
    world.SetRunningFlag(false);
}

void FrameDriver::Frame(uint32_t dtMs)
{
    ++m_frames;
    SetObserverFrame();
    {
        SWworldlock lock(world);
        const float now = world.GetCurrentWorldTime();
        world.GetPostedQueue().MoveAll(world.GetDispatchQueue());
        world.GetDispatchQueue().Push(new SWinputrecord(InputKind::kWorldStep, world.GetFrameTimeMs()));
        for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e)) {
            if (e->GetType() != static_cast<uint32_t>(EventType::kTimerEvent) ||
                now - e->GetTimerLastTime() < e->GetTimerInterval())
                continue;
            e->SetTimerLastTime(now); // restarted at once, so a timer is never queued twice before it fires
            world.GetDispatchQueue().Push(new SWinputrecord(InputKind::kTimer, world.GetFrameTimeMs(), e));
        }
        world.ProcessEvents();
        StepMotions(now);
    }
    clock.advance(dtMs);
    world.SetCurrentWorldTime(world.GetCurrentWorldTime() + static_cast<float>(dtMs));
}

void FrameDriver::StepMotions(float now)
{
    TimedActionTable& table = TimedActionTable::Of(world);
    std::vector<SWnodemotion*> motions;
    for (uint32_t type = 0; type < kTimedActionTypes; ++type)
        if (auto* list = table.GetTypeList(type))
            for (auto& motion : *list)
                motions.push_back(motion.get());
    for (SWnodemotion* motion : motions)
        motion->Step(now);
    SWnode* const root = world.GetRootNode();
    for (SWnodemotion* motion : motions) {
        // The last step of a motion applies and finishes it: what it applied is still folded in.
        if (motion->IsRunning() && root != nullptr)
            for (const uint32_t id : motion->GetBoundNodes())
                if (auto* node = dynamic_cast<SWobjectnode*>(root->FindById(id))) {
                    motion->ApplyToNode(*node);
                    world.UpdateNodeTransforms(node, 0);
                }
        if (motion->IsDone()) {
            motion->ReleaseHolds();
            motion->SetHoldObject(nullptr);
        }
    }
    table.PurgeDone();
}

SWinputrecord* FrameDriver::Click(SWnode* node, uint32_t mask)
{
    auto* record = new SWinputrecord(InputKind::kObjectClick, 0, node);
    record->SetSecondWord(mask);
    return record;
}

SWevent* FrameDriver::Event(uint32_t type, const char* name)
{
    SWevent* event = world.AddEventOfType(type);
    event->SetName(std::string(name));
    return event;
}

SWactionnode* FrameDriver::Action(SWevent* event, int32_t kind, const char* argument)
{
    SWactionnode* action = event->CreateAction(world.GetActionCategories().FindKind(kind));
    if (action == nullptr)
        action = event->CreateAction(&plain);
    if (argument != nullptr)
        action->AddArgument(argument, SWdatanode::kString, true);
    return action;
}

SWmotionaction* FrameDriver::MotionAction(SWevent* event, uint32_t type, float durationMs, SWactionnode* after)
{
    auto* moving = new SWmotionaction(41);
    moving->SetKind(&motionKind);
    moving->SetMotion(std::make_unique<TestMotion>(&world, type, durationMs));
    if (after != nullptr)
        event->InsertActionAfter(moving, after);
    else
        event->AppendAction(moving);
    moving->SetActionId(world.NextActionId());
    return moving;
}

SWnode* FrameDriver::Node(const char* name)
{
    auto* node = new SWobjectnode();
    node->SetName(std::string(name));
    world.AddNode(node, nullptr);
    return node;
}
