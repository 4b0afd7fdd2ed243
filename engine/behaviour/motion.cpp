#include "engine/behaviour/motion.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "engine/core/camera_node.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
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

void SWmotion::SetSound(SWsound* sound)
{
    m_sound = sound;
    m_soundStamp = m_world != nullptr ? m_world->GetStructureGeneration() : 0;
}

SWsound* SWmotion::GetSound() const
{
    if (m_sound == nullptr || m_world == nullptr)
        return m_sound;
    const uint64_t generation = m_world->GetStructureGeneration();
    if (m_soundStamp != generation) {
        const SWsoundlist& list = m_world->GetSoundList();
        bool listed = false;
        for (const SWsound* s = list.GetFirst(); s != nullptr && !listed; s = list.GetNext(s))
            listed = s == m_sound;
        if (!listed)
            m_sound = nullptr;
        m_soundStamp = generation;
    }
    return m_sound;
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
    SWsound* const sound = GetSound();
    other.SetSound(sound);
    other.m_soundName = sound != nullptr ? std::optional<std::string>(sound->GetName()) : m_soundName;
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
    SWsound* const sound = GetSound();
    if (sound != nullptr) {
        if (!sound->IsPlaying()) {
            Stop();
            Finish();
            return false;
        }
        nowMs = static_cast<float>(sound->GetPlayPosition());
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
    if (sound == nullptr)
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
    SWsound* const sound = GetSound();
    if (m_paused != 0) {
        m_paused = 0; // resumed: the last step time stays, so the next step measures the whole pause
    } else {
        m_soundLengthMs = 0.0f;
        if (sound != nullptr)
            m_soundLengthMs = static_cast<float>(sound->GetLength());
        Reset(false);
    }
    m_running = 1;
    if (sound != nullptr) {
        sound->SetStartedByMotion(1);
        SWsoundplay play = sound->GetPlay(); // the motion's passes, not the sound's own
        play.loop = m_loopForever;
        play.repeatCount = m_loopCount > 0 ? static_cast<uint32_t>(m_loopCount) : 1u;
        sound->SetPlay(play);
        if (m_world != nullptr)
            m_world->GetSoundList().Play(sound);
    }
}

void SWmotion::Stop()
{
    m_running = 0;
    m_paused = 0;
    if (SWsound* const sound = GetSound(); sound != nullptr && sound->IsPlaying() && m_world != nullptr)
        m_world->GetSoundList().Stop(sound);
    Reset(false);
}

// A copy starts unbound: its nodes and holds are its own.
SWnodemotion::SWnodemotion(const SWnodemotion& other)
    : SWmotion(other), m_type(other.m_type), m_actionId(other.m_actionId), m_startDelayMs(other.m_startDelayMs),
      m_optionFlags(other.m_optionFlags), m_matrix(other.m_matrix), m_folded(other.m_folded),
      m_fixedMatrix(other.m_fixedMatrix), m_fixedFrame(other.m_fixedFrame), m_targetName(other.m_targetName)
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

void SWnodemotion::BindNode(uint32_t nodeId)
{
    if (std::find(m_boundNodes.begin(), m_boundNodes.end(), nodeId) == m_boundNodes.end())
        m_boundNodes.push_back(nodeId);
}

void SWnodemotion::Stop()
{
    SWmotion::Stop();
    ReleaseHolds();
}

void SWnodemotion::SetOptionFlags(uint32_t flags)
{
    m_optionFlags = flags & 0xFF;
    if ((m_optionFlags & kFrameFixed) != 0)
        m_fixedFrame = 1;
    else if ((m_optionFlags & kFrameLocal) != 0)
        m_optionFlags &= ~kFramePivot;
}

// An unstepped clock has no increment. One left behind (by an editor's pose, or by a run that ended) would be folded
// into the node once more in the frame that starts the motion, before its first step computes its own.
void SWnodemotion::Reset(bool onPassBoundary)
{
    if (!onPassBoundary) {
        m_matrix.SetIdentity();
        m_folded.SetIdentity();
    }
    SWmotion::Reset(onPassBoundary);
}

void SWnodemotion::Rewind()
{
    m_matrix.SetIdentity();
    m_folded.SetIdentity();
    SWmotion::Rewind();
}

namespace {

SWmatrix WorldMatrixOf(const SWnode* node)
{
    if (const auto* object = dynamic_cast<const SWobjectnode*>(node))
        return object->GetWorldMatrix();
    return SWmatrix();
}

// The world matrix of the nearest ancestor that is a transform node; the identity when none.
SWmatrix ParentFrame(const SWnode& node)
{
    for (const SWnode* n = node.GetParentNode(); n != nullptr; n = n->GetParentNode())
        if (n->IsTransformNode())
            return WorldMatrixOf(n);
    return SWmatrix();
}

} // namespace

void SWnodemotion::ApplyToNode(SWobjectnode& node)
{
    SWmatrix local = node.GetLocalMatrix();
    if (m_optionFlags == kFrameLocal) {
        node.SetLocalMatrix(local.PostMultiply(m_folded));
        return;
    }
    const SWmatrix world = node.GetWorldMatrix();
    SWmatrix reference;
    if (m_fixedFrame != 0) {
        if (const SWtimedactionentry* entry = node.FindTimedActionEntry(this))
            reference = entry->frame;
    } else if ((m_optionFlags & kFrameWorld) != 0) {
        // world axes: the identity
    } else if (const SWnode* target = GetTargetNode()) {
        reference = WorldMatrixOf(target);
    } else if ((m_optionFlags & kFrameParent) != 0) {
        reference = ParentFrame(node);
    } else if ((m_optionFlags & kFrameTarget) != 0) {
        // a target frame without a target: the identity
    } else if ((m_optionFlags & kFrameCamera) != 0) {
        const SWcameranode* const camera = m_world != nullptr ? m_world->GetCurrentViewCamera() : nullptr;
        if (camera != nullptr) {
            reference = camera->GetWorldMatrix();
            const SWcameraobject* const object = camera->GetCameraObject();
            if (object != nullptr && object->GetProjectionKind() == 4) {
                // Such a camera moves along where it looks: the increment's z travel follows its direction.
                const SWvector d = object->GetDirection();
                const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z + 1.1754944e-38f);
                const float z = m_folded[11];
                m_folded[11] = 0.0f;
                m_folded[3] += z * d.x / length;
                m_folded[7] += z * d.y / length;
                m_folded[11] += z * d.z / length;
            }
        }
    }
    if ((m_optionFlags & kFramePivot) != 0)
        reference.CopyTranslation(world);
    SWmatrix inverseReference;
    reference.Invert(inverseReference);
    SWmatrix inNode; // L = R^-1 . W
    inverseReference.Multiply(inNode, world);
    SWmatrix inverseInNode;
    inNode.Invert(inverseInNode);
    SWmatrix folded; // L^-1 . B . L
    inverseInNode.Multiply(folded, m_folded);
    folded.PostMultiply(inNode);
    m_folded = folded;
    node.SetLocalMatrix(local.PostMultiply(m_folded));
}

void SWnodemotion::GetReferenceMatrix(SWobjectnode& node, SWtimedactionentry& entry) const
{
    if ((m_optionFlags & kFrameFixed) != 0) {
        entry.frame = m_fixedMatrix;
        return;
    }
    if ((m_optionFlags & kFrameCapture) == 0)
        return;
    if ((m_optionFlags & kFrameLocal) != 0) {
        entry.frame = node.GetLocalMatrix();
    } else if ((m_optionFlags & kFrameParent) != 0) {
        entry.frame = ParentFrame(node);
    } else if ((m_optionFlags & kFrameCamera) != 0) {
        const SWcameranode* const camera = m_world != nullptr ? m_world->GetCurrentViewCamera() : nullptr;
        entry.frame = camera != nullptr ? camera->GetWorldMatrix() : SWmatrix();
    } else if ((m_optionFlags & kFrameTarget) != 0) {
        entry.frame = WorldMatrixOf(GetTargetNode());
    }
}

void SWnodemotion::SetTargetNode(SWnode* node)
{
    m_targetNode = m_world != nullptr ? NodeRef(*m_world, node) : NodeRef();
}

bool SWnodemotion::SaveNodeRecords(SWchunkstream& out) const
{
    SWrecordbuilder shared(out, MakeTag("7444"));
    SWchunkstream& s = shared.Stream();
    s.WriteU8(m_loopForever);
    s.WriteU8(m_pingPong);
    s.WriteU32(static_cast<uint32_t>(m_loopCount));
    s.WriteU8(static_cast<uint8_t>(m_optionFlags));
    m_fixedMatrix.Save(s);
    // A bound target is written by its current name, so a renamed target is found again.
    if (const SWnode* target = GetTargetNode(); target != nullptr && target->GetName())
        s.WriteString(target->GetName());
    else
        s.WriteString(m_targetName);
    if (!shared.Finish())
        return false;
    if (!m_soundName)
        return true;
    SWrecordbuilder sound(out, MakeTag("7486"));
    sound.Stream().WriteString(m_soundName);
    return sound.Finish();
}

bool SWnodemotion::LoadNodeRecord(uint32_t tag, SWchunkstream& body)
{
    if (tag == MakeTag("7486")) {
        std::optional<std::string> name;
        if (!body.ReadString(name))
            return false;
        m_soundName = std::move(name);
        return true;
    }
    if (tag != MakeTag("7444"))
        return true;
    const uint8_t forever = body.ReadU8();
    const uint8_t pingPong = body.ReadU8();
    const uint32_t count = body.ReadU32();
    const uint8_t flags = body.ReadU8();
    SWmatrix fixed;
    const bool matrixRead = fixed.Load(body);
    std::optional<std::string> target;
    body.ReadString(target);
    if (!matrixRead || body.Status() != SWchunkstream::kStatusGood)
        return false;
    SetLoopForever(forever != 0);
    SetLoopCount(static_cast<int32_t>(count));
    SetPingPong(pingPong != 0);
    if ((flags & kFrameFixed) == 0)
        m_fixedFrame = 0; // the setter never clears it
    SetOptionFlags(flags);
    m_fixedMatrix = fixed;
    m_targetName = std::move(target);
    m_targetNode.Reset();
    return true;
}
