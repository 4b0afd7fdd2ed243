#include "engine/behaviour/motion.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"

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
    other.m_durationMs = m_durationMs;
    other.m_soundLengthMs = m_soundLengthMs;
    other.m_freeRunning = m_freeRunning;
    other.m_passesLeft = m_loopCount;
    other.m_direction = 1.0f;
    other.m_lastStepMs = -1.0f;
    other.m_elapsedMs = 0.0f;
    other.m_localMs = 0.0f;
    other.m_stepDeltaMs = 0.0f;
    other.m_sound = m_sound;
    other.m_soundName = m_sound != nullptr ? std::optional<std::string>(m_sound->GetName()) : m_soundName;
}

namespace {

// A pass length the clock can work with: not a number and negative lengths are no length.
float UsableDuration(float ms)
{
    return ms >= 0.0f ? ms : 0.0f;
}

} // namespace

bool SWmotion::Step(float nowMs)
{
    if (m_done != 0)
        return false;
    if (m_running == 0)
        return true;
    if (m_freeRunning != 0) {
        if (m_lastStepMs < 0.0f)
            m_lastStepMs = nowMs;
        else if (nowMs == m_lastStepMs)
            return true;
        m_stepDeltaMs = nowMs - m_lastStepMs;
        m_lastStepMs = nowMs;
        m_elapsedMs += m_stepDeltaMs;
        m_localMs = m_elapsedMs;
        Apply();
        return true;
    }
    float duration = 0.0f;
    if (m_sound != nullptr) {
        if (!m_sound->IsPlaying()) {
            Stop();
            Finish();
            return false;
        }
        nowMs = static_cast<float>(m_sound->GetPlayPosition());
        duration = UsableDuration(m_soundLengthMs);
        m_localMs = nowMs;
    } else {
        duration = UsableDuration(GetDuration());
    }
    if (m_lastStepMs < 0.0f)
        m_lastStepMs = nowMs;
    else if (nowMs == m_lastStepMs)
        return true;
    m_stepDeltaMs = nowMs - m_lastStepMs;
    m_lastStepMs = nowMs;
    m_elapsedMs += m_stepDeltaMs;

    const bool passesToSpare = m_loopForever != 0 || m_passesLeft >= 2;
    if (duration == 0.0f) {
        m_localMs = 0.0f;
        Apply();
        if (!passesToSpare) {
            Finish();
            return false;
        }
        Reset(true);
        if (m_loopForever == 0)
            --m_passesLeft;
        if (m_pingPong != 0)
            Flip();
        return true;
    }
    if (m_sound == nullptr)
        m_localMs += m_direction * m_stepDeltaMs;
    if (m_localMs >= 0.0f && m_localMs <= duration) {
        Apply();
        return true;
    }
    if (!passesToSpare) {
        m_localMs = m_direction > 0.0f ? duration : 0.0f;
        Apply();
        Finish();
        return false;
    }
    Wrap(duration);
    return true;
}

void SWmotion::Wrap(float durationMs)
{
    const double d = durationMs;
    for (int wraps = 0; !(m_localMs >= 0.0f && m_localMs <= durationMs); ++wraps) {
        double overshoot = m_localMs > durationMs ? m_localMs - d : -static_cast<double>(m_localMs);
        if (!(overshoot == overshoot)) { // a local time that is not a number starts the pass again
            m_localMs = m_direction > 0.0f ? 0.0f : durationMs;
            Apply();
            return;
        }
        double crossings = 1.0;
        if (wraps == kMaxWrapsPerStep) {
            // The passes a huge step crosses are counted, not walked: k crossings leave overshoot - (k-1)D.
            crossings = std::max(1.0, std::ceil(overshoot / d));
            overshoot -= (crossings - 1.0) * d;
            if (overshoot > d || overshoot < 0.0) // rounding at the edge of double
                overshoot = std::clamp(overshoot, 0.0, d);
        }
        Reset(true);
        if (m_loopForever == 0) {
            const double left = static_cast<double>(m_passesLeft) - crossings;
            m_passesLeft = static_cast<int32_t>(std::max(left, static_cast<double>(INT32_MIN)));
        }
        if (m_pingPong != 0 && std::fmod(crossings, 2.0) == 1.0)
            Flip();
        // An intermediate wrap may apply outside [0, D]; the loop then wraps again.
        m_localMs = static_cast<float>(m_direction > 0.0f ? overshoot : d - overshoot);
        if (crossings > 1.0)
            m_localMs = std::clamp(m_localMs, 0.0f, durationMs);
        Apply();
        if (crossings > 1.0)
            return;
    }
}

void SWmotion::SetTime(float ms)
{
    m_stepDeltaMs = ms;
    m_elapsedMs = ms;
    m_localMs = ms;
    const float duration = UsableDuration(GetDuration());
    if (duration == 0.0f) {
        m_localMs = 0.0f;
        Apply();
        if (m_loopForever != 0) {
            Reset(true);
        } else if (m_passesLeft > 1) {
            Reset(true);
            --m_passesLeft;
        }
        return;
    }
    if (ms >= 0.0f && ms <= duration) {
        Apply();
        return;
    }
    if (!(m_loopForever != 0 || m_passesLeft >= 2)) {
        m_localMs = m_direction > 0.0f ? duration : 0.0f;
        Apply();
        return;
    }
    Wrap(duration);
}

void SWmotion::Start()
{
    if (m_paused != 0) {
        m_paused = 0; // resumed: the last step time stays, so the next step measures the whole pause
    } else {
        m_soundLengthMs = 0.0f;
        if (m_sound != nullptr)
            m_soundLengthMs = static_cast<float>(m_sound->GetLength());
        Reset(false);
    }
    m_running = 1;
    if (m_sound != nullptr) {
        m_sound->SetStartedByMotion(1);
        m_sound->SetLoop(m_loopForever);
        m_sound->SetRepeatCount(m_loopCount > 0 ? static_cast<uint32_t>(m_loopCount) : 1u);
        if (m_world != nullptr)
            m_world->GetSoundList().Play(m_sound);
    }
}

void SWmotion::Stop()
{
    m_running = 0;
    m_paused = 0;
    if (m_sound != nullptr && m_sound->IsPlaying() && m_world != nullptr)
        m_world->GetSoundList().Stop(m_sound);
    Reset(false);
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
