#pragma once
// A motion for tests and traces until the real motions exist: it ends a fixed time after its start on the world's
// clock, and a handler that binds and starts an action's motion as the motion handlers will.
#include <cstdint>

#include "engine/behaviour/action_target.h"
#include "engine/behaviour/motion.h"

class SWevent;
class SWevents;

class TestMotion : public SWnodemotion {
public:
    TestMotion(SWworld* world, uint32_t type, float durationMs);
    SWmotion* Clone() const override { return new TestMotion(*this); }
    void Start() override;
    bool Step(float nowMs) override; // false once ended

private:
    float m_startedAt = 0.0f;
};

// An action handler: the subject's motion bound to node 1 and started.
void StartTestMotion(SWevent* event, SWevents* world, const ActionTarget& target, const ActionSubject& subject);
