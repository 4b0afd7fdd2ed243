#include "engine/behaviour/motion_controller.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/input_queue.h"
#include "engine/core/animation_data.h"
#include "engine/core/camera_node.h"
#include "engine/core/object_node.h"
#include "engine/core/window.h"
#include "engine/core/world.h"
#include "engine/resources/mesh.h"

namespace {

constexpr double kMsPerFrame = 100.0 / 3.0;

// Frames and pass counts come from doubles that stored files and long pauses can drive far out of range.
int32_t ToFrame(double value)
{
    if (!(value == value))
        return 0;
    return static_cast<int32_t>(std::clamp(std::trunc(value), -1.0e9, 1.0e9));
}

// A frame plus a clip's base, both as stored files give them, never overflowing.
int32_t FrameSum(int64_t a, int64_t b)
{
    return static_cast<int32_t>(std::clamp<int64_t>(a + b, INT32_MIN, INT32_MAX));
}

SWmatrix QuaternionMatrix(const CVTN_Quaternion& q)
{
    SWmatrix m;
    q.ToMatrix(m);
    return m;
}

SWmatrix SlerpMatrix(const CVTN_Quaternion& from, const CVTN_Quaternion& to, float f)
{
    return QuaternionMatrix(from.Slerp(to, f));
}

// m to the power n by squaring, so a long pause costs a few products, not one per turn.
SWmatrix Power(SWmatrix m, uint64_t n)
{
    SWmatrix result;
    while (n > 0) {
        if ((n & 1) != 0)
            result.PostMultiply(m);
        m.Multiply(m, m);
        n >>= 1;
    }
    return result;
}

void ClearLockedTranslation(SWmatrix& m, uint8_t axisLock)
{
    if ((axisLock & 1) != 0)
        m[3] = 0.0f;
    if ((axisLock & 2) != 0)
        m[7] = 0.0f;
    if ((axisLock & 4) != 0)
        m[11] = 0.0f;
}

bool HasUsableVertexFrames(const SWobjectnode& node)
{
    const VertexFrameTable* table = node.GetVertexFrameTable();
    return node.HasKind(SWobjectnode::kFlagVertexAnimated) && table != nullptr && table->GetFrameCount() > 0 &&
           table->IsReady();
}

bool HasKeyFrames(const SWobjectnode& node)
{
    return node.GetHasKeyFrameMatrices() != 0 && node.GetAnimationTracks().GetFrameCount() > 0;
}

void MarkEntryFinished(SWactionnode* action)
{
    if (action != nullptr)
        if (SWactionqueueentry* entry = action->GetCurrentSequenceEntry())
            entry->SetFinished();
}

} // namespace

SWmotioncontroller::SWmotioncontroller(SWworld* world) : SWnodemotion(world, kType)
{
    SetFreeRunning(true);
}

SWmotioncontroller::~SWmotioncontroller() = default;

SWmotion* SWmotioncontroller::Clone() const
{
    auto* copy = new SWmotioncontroller(GetWorld());
    CopyTo(*copy);
    copy->SetOptionFlags(GetOptionFlags());
    copy->SetActionId(GetActionId());
    return copy;
}

void SWmotioncontroller::SetNode(SWobjectnode* node)
{
    m_detachedNode = nullptr;
    m_node.Reset();
    if (node == nullptr)
        return;
    if (GetWorld() != nullptr && node->GetWorld() == GetWorld())
        m_node = NodeRef(*GetWorld(), node);
    else
        m_detachedNode = node;
}

SWobjectnode* SWmotioncontroller::GetNode() const
{
    if (m_detachedNode != nullptr)
        return m_detachedNode;
    return dynamic_cast<SWobjectnode*>(m_node.Get(GetWorld()));
}

// -- Slots

SWactionnode* SWmotioncontroller::GetTranslation() const
{
    return m_translation.Get(GetWorld());
}
SWactionnode* SWmotioncontroller::GetRotation() const
{
    return m_rotation.Get(GetWorld());
}
SWactionnode* SWmotioncontroller::GetPlay() const
{
    return m_play.Get(GetWorld());
}
SWactionnode* SWmotioncontroller::GetJump() const
{
    return m_jump.Get(GetWorld());
}
SWoldanimationaction* SWmotioncontroller::PlayAction() const
{
    return dynamic_cast<SWoldanimationaction*>(GetPlay());
}
SWoldjumpaction* SWmotioncontroller::JumpAction() const
{
    return dynamic_cast<SWoldjumpaction*>(GetJump());
}

void SWmotioncontroller::Take(SWactionnode* action)
{
    if (SWactionqueueentry* entry = action->GetCurrentSequenceEntry())
        entry->AddWait();
}

void SWmotioncontroller::Drop(ActionRef& slot)
{
    if (SWactionnode* action = slot.Get(GetWorld()))
        if (SWactionqueueentry* entry = action->GetCurrentSequenceEntry())
            entry->DecreaseClamped(1);
    slot.Reset();
}

void SWmotioncontroller::Supersede(ActionRef& slot)
{
    MarkEntryFinished(slot.Get(GetWorld()));
    slot.Reset();
}

void SWmotioncontroller::Translate(SWoldtranslationaction* action)
{
    if (action == nullptr)
        return;
    Supersede(m_translation);
    m_translationStart = GetElapsed();
    m_translation = ActionRef(GetWorld(), action);
    m_translationUndo = SWvector();
    Take(action);
}

void SWmotioncontroller::StopTranslation()
{
    Drop(m_translation);
}

void SWmotioncontroller::Rotate(SWoldrotationaction* action)
{
    if (action == nullptr)
        return;
    Supersede(m_rotation);
    m_rotationStart = GetElapsed();
    m_rotation = ActionRef(GetWorld(), action);
    m_rotationUndo.SetIdentity();
    Take(action);
}

void SWmotioncontroller::StopRotation()
{
    Drop(m_rotation);
}

void SWmotioncontroller::Play(SWoldanimationaction* action)
{
    if (action == nullptr)
        return;
    Supersede(m_play);
    Supersede(m_jump);
    SWobjectnode* const node = GetNode();
    if (node == nullptr)
        return;
    SWoldanimationaction::Settings& s = action->settings;
    const uint32_t base = ClipBase(s.clipId);
    if (HasKeyFrames(*node)) {
        if (s.fromCurrentFrame != 0)
            s.startFrame = FrameSum(m_currentFrame, -int64_t{base});
        if (s.endFrame < 0)
            s.endFrame = static_cast<int32_t>(node->GetAnimationTracks().GetFrameCount());
    } else if (HasUsableVertexFrames(*node)) {
        if (s.fromCurrentFrame != 0)
            s.startFrame = m_currentFrame;
        if (s.endFrame < 0)
            s.endFrame = static_cast<int32_t>(node->GetVertexFrameTable()->GetFrameCount());
    } else {
        return; // nothing to play: the slot stays empty and nothing is posted
    }
    m_playStart = GetElapsed();
    m_play = ActionRef(GetWorld(), action);
    m_remainingPasses = s.passCount;
    m_forward = 1;
    CaptureTransition(s.transitionSeconds, s.axisLock, FrameSum(s.startFrame, base), s.clipId);
    const double span = std::abs(static_cast<double>(s.endFrame) - s.startFrame);
    const double passMs =
        s.useDuration != 0 && s.durationSeconds > 0.0 ? s.durationSeconds * 1000.0 : span * kMsPerFrame;
    m_playPeriodMs = static_cast<float>(passMs + s.transitionSeconds * 1000.0);
    Take(action);
}

void SWmotioncontroller::StopPlay()
{
    Drop(m_play);
}

void SWmotioncontroller::JumpTo(SWoldjumpaction* action)
{
    if (action == nullptr)
        return;
    Supersede(m_play);
    Supersede(m_jump);
    m_jumpStart = GetElapsed();
    m_jump = ActionRef(GetWorld(), action);
    const SWoldjumpaction::Settings& s = action->settings;
    CaptureTransition(s.transitionSeconds, s.axisLock, FrameSum(s.frame, ClipBase(s.clipId)), s.clipId);
    Take(action);
}

void SWmotioncontroller::StopJump()
{
    Drop(m_jump);
}

// -- Frames and transitions

uint32_t SWmotioncontroller::ClipBase(int32_t clipId) const
{
    const SWobjectnode* node = GetNode();
    if (node == nullptr)
        return 0;
    const NodeMotionClip* clip = node->GetAnimationTracks().GetClips().FindById(static_cast<uint32_t>(clipId));
    return clip != nullptr ? clip->baseFrame : 0;
}

int32_t SWmotioncontroller::FrameAt(const SWoldanimationaction& play, float t) const
{
    const SWoldanimationaction::Settings& s = play.settings;
    const double x = t - s.transitionSeconds * 1000.0 + 0.5;
    const double d = std::abs(static_cast<double>(s.endFrame) - s.startFrame);
    const bool reverse = s.startFrame > s.endFrame;
    // A stored duration of 0 would divide by zero: it counts frames at 30 a second instead.
    const int32_t q = s.useDuration != 0 && s.durationSeconds > 0.0 ? ToFrame(d * x / (s.durationSeconds * 1000.0))
                                                                    : ToFrame(0.03 * x);
    int64_t frame = 0;
    if (m_forward != 0)
        frame = reverse ? int64_t{s.startFrame} - q - 1 : int64_t{s.startFrame} + q;
    else
        frame = reverse ? int64_t{s.endFrame} + q : int64_t{s.endFrame} - q;
    frame = std::max<int64_t>(frame, 0);
    frame = std::min<int64_t>(frame, reverse ? s.startFrame : s.endFrame);
    return FrameSum(std::max<int64_t>(frame, 0), ClipBase(s.clipId));
}

void SWmotioncontroller::CaptureTransition(double transitionSeconds, uint8_t actionAxisLock, int32_t targetFrame,
                                           int32_t clipId)
{
    SWobjectnode* const node = GetNode();
    if (!(transitionSeconds > 0.0) || node == nullptr)
        return;
    const AnimationTrackSet& tracks = node->GetAnimationTracks();
    SWmatrix from = tracks.GetTrackValue(static_cast<uint32_t>(std::max(m_currentFrame, 0)), 1);
    // An uncaptured transition holds the current pose for its time instead of blending from stale fields.
    SWmatrix to = from;
    const bool captured = tracks.GetTrackCount() > 0 && tracks.GetClips().FindById(clipId) != nullptr;
    if (captured)
        to = tracks.GetTrackValue(static_cast<uint32_t>(std::max(targetFrame, 0)), 1);
    ClearLockedTranslation(from, node->GetAxisLock());
    ClearLockedTranslation(to, captured ? actionAxisLock : node->GetAxisLock());
    m_transition.startRotation.FromMatrix(from);
    m_transition.targetRotation.FromMatrix(to);
    m_transition.startTranslation = from.GetTranslation();
    m_transition.translationDelta = to.GetTranslation() - from.GetTranslation();
    m_transition.vertexStart.clear();
    m_transition.vertexDelta.clear();
    auto* const mesh = dynamic_cast<SWmesh*>(node->GetGeometry());
    if (!captured || mesh == nullptr || !HasUsableVertexFrames(*node))
        return;
    VertexFrameTable& table = *node->GetVertexFrameTable();
    table.Lock();
    // A frame table may hold fewer vertices than the mesh: only the vertices both have are blended.
    const uint32_t count = std::min(mesh->GetVertexCount(), table.GetVertexCount());
    const std::span<float> target = table.GetFrameVertices(static_cast<uint32_t>(std::max(targetFrame, 0)));
    const float* current = mesh->GetVertices();
    if (current != nullptr && target.size() >= size_t{count} * 3) {
        m_transition.vertexStart.assign(current, current + size_t{count} * 3);
        m_transition.vertexDelta.resize(size_t{count} * 3);
        for (size_t i = 0; i < m_transition.vertexDelta.size(); ++i)
            m_transition.vertexDelta[i] = target[i] - m_transition.vertexStart[i];
    }
    table.Unlock();
}

void SWmotioncontroller::WriteVertices(const float* positions, uint32_t count)
{
    SWobjectnode* const node = GetNode();
    auto* const mesh = node != nullptr ? dynamic_cast<SWmesh*>(node->GetGeometry()) : nullptr;
    if (mesh == nullptr)
        return;
    if (mesh->IsPending() && !mesh->IsLoaded()) {
        mesh->Refresh();
        mesh->SetPending(false);
    }
    float* const vertices = mesh->GetVertices();
    if (vertices == nullptr)
        return;
    std::copy(positions, positions + size_t{std::min(count, mesh->GetVertexCount())} * 3, vertices);
    mesh->ComputeBoundingBox();
    mesh->ComputeNormals();
}

void SWmotioncontroller::ShowFrame(int32_t frame)
{
    SWobjectnode* const node = GetNode();
    m_currentFrame = frame;
    if (node->GetHasKeyFrameMatrices() != 0)
        m_animation = node->GetAnimationTracks().GetTrackValue(static_cast<uint32_t>(std::max(frame, 0)), 1);
    if (!HasUsableVertexFrames(*node))
        return;
    VertexFrameTable& table = *node->GetVertexFrameTable();
    if (!table.TryLock())
        return;
    const std::span<float> positions = table.GetFrameVertices(static_cast<uint32_t>(std::max(frame, 0)));
    WriteVertices(positions.data(), static_cast<uint32_t>(std::min<size_t>(positions.size() / 3, UINT32_MAX)));
    table.Unlock();
}

void SWmotioncontroller::Blend(float f)
{
    SWobjectnode* const node = GetNode();
    m_animation = SlerpMatrix(m_transition.startRotation, m_transition.targetRotation, f);
    const SWvector t = m_transition.startTranslation + m_transition.translationDelta * f;
    m_animation.SetTranslation(t.x, t.y, t.z);
    if (m_transition.vertexStart.empty() || !HasUsableVertexFrames(*node))
        return;
    VertexFrameTable& table = *node->GetVertexFrameTable();
    if (!table.TryLock())
        return;
    std::vector<float> blended(m_transition.vertexStart.size());
    for (size_t i = 0; i < blended.size(); ++i)
        blended[i] = m_transition.vertexStart[i] + f * m_transition.vertexDelta[i];
    WriteVertices(blended.data(), static_cast<uint32_t>(blended.size() / 3));
    table.Unlock();
}

// -- The step

void SWmotioncontroller::ApplyRotation(float now, SWmatrix& m)
{
    auto* const action = dynamic_cast<SWoldrotationaction*>(GetRotation());
    if (action == nullptr)
        return;
    const CVTN_Quaternion& rotation = action->settings.rotation;
    const CVTN_Quaternion identity;
    const float stored = static_cast<float>(action->settings.durationMs);
    const float d = stored > 0.0f ? stored : kZeroRotationMs;
    float e = now - m_rotationStart;
    SWmatrix p;
    bool done = true;
    if (e <= d) {
        p = SlerpMatrix(identity, rotation, e / d);
        done = false;
    } else if (action->settings.continuous == 0) {
        p = QuaternionMatrix(rotation);
        StopRotation();
    } else {
        const double turns = std::floor(static_cast<double>(e) / d);
        p = Power(QuaternionMatrix(rotation), static_cast<uint64_t>(std::min(turns, 1.0e15)));
        e = static_cast<float>(static_cast<double>(e) - turns * d);
        if (e > 0.0f)
            p.PostMultiply(SlerpMatrix(identity, rotation, e / d));
        m_rotationStart = now;
    }
    m_rotationUndo.Multiply(m, p);
    if (done)
        m_rotationUndo.SetIdentity();
    else
        p.Invert(m_rotationUndo);
}

void SWmotioncontroller::ApplyTranslation(float now, SWmatrix& m)
{
    auto* const action = dynamic_cast<SWoldtranslationaction*>(GetTranslation());
    if (action == nullptr)
        return;
    const SWvector full(action->settings.x, action->settings.y, action->settings.z);
    const float d = static_cast<float>(action->settings.durationMs);
    const bool loop = action->settings.continuous != 0;
    const float e = now - m_translationStart;
    SWvector offset;
    bool done = true;
    if (d <= 0.0f && loop) {
        offset = full * e; // a rate per millisecond, as converted old files mean it
        m_translationStart = now;
    } else if (d <= 0.0f || (e > d && !loop)) {
        offset = full;
        StopTranslation();
    } else if (e <= d) {
        offset = full * (e / d);
        done = false;
    } else {
        const double whole = std::floor(static_cast<double>(e) / d);
        const float rest = static_cast<float>(static_cast<double>(e) - whole * d);
        offset = full * static_cast<float>(whole);
        if (rest > 0.0f)
            offset = offset + full * (rest / d);
        m_translationStart = now;
    }
    const SWvector t = offset + m_translationUndo;
    m.SetTranslation(t.x + m[3], t.y + m[7], t.z + m[11]);
    m_translationUndo = done ? SWvector() : SWvector() - offset;
}

void SWmotioncontroller::ApplyPlay(float now)
{
    SWoldanimationaction* const action = PlayAction();
    const SWoldanimationaction::Settings& s = action->settings;
    const float tau = static_cast<float>(s.transitionSeconds * 1000.0);
    const uint32_t base = ClipBase(s.clipId);
    float e = now - m_playStart;
    if (e < tau) {
        Blend(tau > 0.0f ? e / tau : 1.0f);
        return;
    }
    for (int round = 0; round < 2; ++round) {
        if (m_playPeriodMs > 0.0f && e <= m_playPeriodMs) {
            ShowFrame(FrameAt(*action, e));
            return;
        }
        if (s.loopForever == 0 && m_remainingPasses < 2) {
            ShowFrame(FrameSum(m_forward != 0 ? s.endFrame : s.startFrame, base));
            if (SWworld* world = GetWorld())
                world->PostInputEvent(InputKind::kMotionFinished, static_cast<SWnode*>(GetNode()));
            StopPlay();
            return;
        }
        // Whole passes are counted at once; a period that is not above 0 counts one pass per step.
        double passes = 1.0;
        if (m_playPeriodMs > 0.0f)
            passes = std::floor(static_cast<double>(e) / m_playPeriodMs);
        if (s.loopForever == 0)
            passes = std::min(passes, static_cast<double>(m_remainingPasses) - 1.0);
        if (m_playPeriodMs > 0.0f)
            e = static_cast<float>(static_cast<double>(e) - passes * m_playPeriodMs);
        if (s.loopForever == 0)
            m_remainingPasses -= static_cast<int32_t>(passes);
        if (s.pingPong != 0 && std::fmod(passes, 2.0) != 0.0)
            m_forward = m_forward != 0 ? 0 : 1;
        CaptureTransition(s.transitionSeconds, s.axisLock, FrameSum(m_forward != 0 ? s.startFrame : s.endFrame, base),
                          s.clipId);
        m_playStart = now;
        if (m_playPeriodMs <= 0.0f) {
            ShowFrame(FrameAt(*action, 0.0f));
            return;
        }
        if (e < tau) {
            Blend(tau > 0.0f ? e / tau : 1.0f);
            return;
        }
    }
}

void SWmotioncontroller::ApplyJump(float now)
{
    SWoldjumpaction* const action = JumpAction();
    const float tau = static_cast<float>(action->settings.transitionSeconds * 1000.0);
    const float e = now - m_jumpStart;
    if (e >= tau) {
        ShowFrame(FrameSum(action->settings.frame, ClipBase(action->settings.clipId)));
        StopJump();
    } else {
        Blend(e / tau);
    }
}

void SWmotioncontroller::FoldIntoNode(SWmatrix& m)
{
    SWobjectnode* const node = GetNode();
    ClearLockedTranslation(m_animation, node->GetAxisLock());
    SWmatrix c;
    SWmatrix::CombineSeparate(m, m_animation, c);
    SWmatrix inverse;
    m_animation.Invert(inverse);
    SWmatrix change;
    c.Multiply(change, inverse);
    SWmatrix local = node->GetLocalMatrix();
    local.PostMultiply(change);
    if (node->PendingRelativeByte() != 0) {
        node->PendingRelativeByte() = 0;
        const SWmatrix& relative = node->PendingRelativeMatrix();
        SWmatrix d;
        if (node->HasKind(SWobjectnode::kFlagRelativeInOwnFrame)) {
            m_animation.Multiply(d, relative);
            d.PostMultiply(inverse);
        } else {
            SWmatrix q;
            node->GetBaseWorldMatrix().Invert(q);
            if (const SWcameranode* camera = GetWorld() != nullptr ? GetWorld()->GetCurrentViewCamera() : nullptr)
                q.PostMultiply(camera->GetBaseWorldMatrix());
            SWmatrix::CombineSeparate(SWmatrix::ReexpressInFrame(relative, q), m_animation, d);
            d.PostMultiply(inverse);
        }
        local.PostMultiply(d);
        node->PendingRelativeMatrix().SetIdentity();
    }
    node->SetLocalMatrix(local);
    node->SetAnimationMatrix(m_animation);
}

void SWmotioncontroller::Apply()
{
    SWobjectnode* const node = GetNode();
    if (node == nullptr) {
        // The node went with an editor's deletion: nothing more to drive, and the purge takes the controller.
        if (m_node.IsSet())
            MarkDone();
        return;
    }
    const float now = GetElapsed();
    SWmatrix m;
    m_changed = GetTranslation() != nullptr || GetRotation() != nullptr ? 1 : 0;
    ApplyRotation(now, m);
    ApplyTranslation(now, m);
    m_animation.SetIdentity();
    if (PlayAction() != nullptr) {
        m_changed = 1;
        ApplyPlay(now);
    } else if (node->GetHasKeyFrameMatrices() != 0) {
        m_animation = node->GetAnimationTracks().GetTrackValue(static_cast<uint32_t>(std::max(m_currentFrame, 0)), 1);
        if (m_currentFrame != m_previousFrame)
            m_changed = 1;
    }
    if (JumpAction() != nullptr) {
        m_changed = 1;
        ApplyJump(now);
    }
    m_previousFrame = m_currentFrame;
    if (node->PendingRelativeByte() != 0)
        m_changed = 1;
    if (m_changed != 0)
        FoldIntoNode(m);
}

void SWmotioncontroller::UpdateNodeMatrices()
{
    if (SWobjectnode* node = GetNode()) {
        node->SetAnimationMatrix(m_animation);
        node->UpdateMatrices(node->GetParentNode());
    }
}

void SWmotioncontroller::ResetForStart()
{
    if (SWobjectnode* node = GetNode()) {
        node->PendingRelativeByte() = 0;
        node->PendingRelativeMatrix().SetIdentity();
    }
    Drop(m_translation);
    Drop(m_rotation);
    Drop(m_play);
    Drop(m_jump);
    m_rotationUndo.SetIdentity();
    m_translationUndo = SWvector();
    m_remainingPasses = 0;
    m_forward = 1;
    Reset(false);
}
