#include "engine/behaviour/motion.h"

#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"

void SWmotion::Reset(bool onPassBoundary)
{
    if (onPassBoundary)
        return;
    m_lastStepMs = -1.0f;
    m_elapsedMs = 0.0f;
    m_localMs = 0.0f;
    m_stepDeltaMs = 0.0f;
    m_done = 0;
}

void SWmotion::Rewind()
{
    m_running = 0;
    m_paused = 0;
    m_direction = 1.0f;
    m_lastStepMs = -1.0f;
    m_elapsedMs = 0.0f;
    m_localMs = 0.0f;
    m_stepDeltaMs = 0.0f;
    m_passesLeft = m_loopCount;
    m_done = 0;
}

void SWmotion::CopyTo(SWmotion& other) const
{
    other.m_loopForever = m_loopForever;
    other.m_pingPong = m_pingPong;
    other.m_loopCount = m_loopCount;
    other.m_direction = m_direction;
    other.m_durationMs = m_durationMs;
    other.m_freeRunning = m_freeRunning;
    other.m_sound = m_sound;
    other.m_soundName = m_soundName;
}

// A copy starts unbound: its nodes and holds are its own.
SWnodemotion::SWnodemotion(const SWnodemotion& other)
    : SWmotion(other), m_type(other.m_type), m_actionId(other.m_actionId), m_startDelayMs(other.m_startDelayMs),
      m_optionFlags(other.m_optionFlags), m_matrix(other.m_matrix), m_targetName(other.m_targetName)
{
    m_done = 0;
    m_running = 0;
}

SWnodemotion::~SWnodemotion()
{
    ReleaseHolds();
    // The nodes keep an entry naming this motion; those still in the tree lose it, deleted ones took theirs along.
    if (m_boundNodes.empty() || m_world == nullptr || m_world->GetRootNode() == nullptr)
        return;
    for (const uint32_t id : m_boundNodes) {
        auto* node = dynamic_cast<SWobjectnode*>(m_world->GetRootNode()->FindById(id));
        if (node == nullptr)
            continue;
        if (SWtimedactionentry* entry = node->FindTimedActionEntry(this))
            node->DeleteTimedAction(entry);
    }
}

void SWnodemotion::AddHold()
{
    if (!m_holdObject)
        return;
    m_holdObject->AddWait();
    ++m_ownHolds;
}

void SWnodemotion::ReleaseHolds()
{
    if (m_holdObject && m_ownHolds > 0)
        m_holdObject->DecreaseClamped(m_ownHolds);
    m_ownHolds = 0;
}

void SWnodemotion::Start()
{
    SWmotion::Start();
    AddHold();
}

void SWnodemotion::Stop()
{
    SWmotion::Stop();
    ReleaseHolds();
}
