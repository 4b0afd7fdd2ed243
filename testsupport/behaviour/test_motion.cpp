#include "testsupport/behaviour/test_motion.h"

#include "engine/core/world.h"

TestMotion::TestMotion(SWworld* world, uint32_t type, float durationMs) : SWnodemotion(world, type)
{
    m_durationMs = durationMs;
}

void TestMotion::Start()
{
    SWnodemotion::Start();
    m_startedAt = m_world != nullptr ? m_world->GetCurrentWorldTime() : 0.0f;
}

bool TestMotion::Step(float nowMs)
{
    if (IsDone() || !IsRunning())
        return false;
    if (nowMs - m_startedAt >= m_durationMs) {
        Stop();
        Finish();
    }
    return !IsDone();
}

void StartTestMotion(SWevent*, SWevents*, const ActionTarget&, const ActionSubject& subject)
{
    if (auto* motion = dynamic_cast<SWnodemotion*>(subject.motion)) {
        motion->BindNode(1);
        motion->AddHold(); // one per node, as the start handlers place them
        if (!motion->IsRunning())
            motion->Start();
    }
}
