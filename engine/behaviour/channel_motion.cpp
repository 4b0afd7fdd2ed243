#include "engine/behaviour/channel_motion.h"

#include <cmath>

#include "engine/core/camera_node.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"

namespace {

constexpr float kDurationMs = 1000.0f;
constexpr float kTinyUnderRoot = 1.1754944e-38f;

SWobjectnode* NearestTransformAncestor(const SWnode& node)
{
    for (SWnode* n = node.GetParentNode(); n != nullptr; n = n->GetParentNode())
        if (auto* object = dynamic_cast<SWobjectnode*>(n); object != nullptr && object->IsTransformNode())
            return object;
    return nullptr;
}

} // namespace

SWchannelmotion::SWchannelmotion(SWworld* world, uint32_t type) : SWnodemotion(world, type)
{
    SetDuration(kDurationMs);
    SetLoop(true);
    SetFreeRunning(true);
    SetOptionFlags(kFrameLocal);
    for (SWcontrolchannel& c : m_channels)
        c.SetOwner(this);
}

SWchannelmotion::SWchannelmotion(const SWchannelmotion& other)
    : SWnodemotion(other), m_order(other.m_order), m_held(0), m_driven(other.m_driven), m_parent(other.m_parent)
{
    for (size_t i = 0; i < m_channels.size(); ++i) {
        other.m_channels[i].CopyTo(m_channels[i]);
        m_channels[i].SetOwner(this);
    }
}

void SWchannelmotion::GetReferenceMatrix(SWobjectnode& node, SWtimedactionentry& entry) const
{
    SWnodemotion::GetReferenceMatrix(node, entry);
    // The bind slot is const for the node motions that only capture a frame; binding is this motion's own state.
    const_cast<SWchannelmotion*>(this)->SetTarget(&node);
}

void SWchannelmotion::SetTarget(SWnode* node)
{
    m_driven.Reset();
    m_parent.Reset();
    if (node == nullptr || GetWorld() == nullptr)
        return;
    m_driven = NodeRef(*GetWorld(), node);
    m_parent = NodeRef(*GetWorld(), NearestTransformAncestor(*node));
}

SWobjectnode* SWchannelmotion::GetDrivenNode() const
{
    return dynamic_cast<SWobjectnode*>(m_driven.Get(GetWorld()));
}

SWobjectnode* SWchannelmotion::GetParentTransform() const
{
    return dynamic_cast<SWobjectnode*>(m_parent.Get(GetWorld()));
}

void SWchannelmotion::SortChannels()
{
    static constexpr uint8_t kGroups[] = {0, 1, 2, 4, 5, 6, 11, 10};
    size_t next = 0;
    for (const uint8_t code : kGroups)
        for (uint32_t i = 0; i < m_channels.size(); ++i)
            if (m_channels[i].GetInputCode() == code && next < m_order.size())
                m_order[next++] = i;
}

void SWchannelmotion::Apply()
{
    m_changed = 0;
    SetIncrement(SWmatrix());
}

void SWchannelmotion::Reset(bool onPassBoundary)
{
    SWnodemotion::Reset(onPassBoundary);
    for (SWcontrolchannel& c : m_channels)
        c.Reset(onPassBoundary);
    if (!onPassBoundary)
        m_held = 0;
}

void SWchannelmotion::MouseDown(int32_t, int32_t, uint8_t) {}
void SWchannelmotion::MouseUp(int32_t, int32_t, uint8_t) {}
void SWchannelmotion::MouseMove(SWworld*, int32_t, int32_t, uint8_t) {}

SWmatrix SWchannelmotion::ChannelFrame(const SWcontrolchannel& channel, const SWmatrix& parent, const SWmatrix& t,
                                       SWmatrix& c) const
{
    uint8_t bits = channel.GetFrameBits();
    if ((bits & kFrameLocal) != 0)
        bits &= ~kFramePivot;
    SWmatrix f;
    if (GetFixedFrame()) {
        const SWobjectnode* node = GetDrivenNode();
        if (const SWtimedactionentry* entry = node != nullptr ? node->FindTimedActionEntry(this) : nullptr)
            f = entry->frame;
    } else if ((bits & kFrameWorld) != 0) {
        // world axes
    } else if (const auto* target = dynamic_cast<const SWobjectnode*>(GetTargetNode())) {
        f = target->GetWorldMatrix();
    } else if ((bits & kFrameParent) != 0) {
        f = parent;
    } else if ((bits & kFrameTarget) != 0) {
        // world axes without a target
    } else if ((bits & kFrameCamera) != 0) {
        const SWcameranode* camera = GetWorld() != nullptr ? GetWorld()->GetCurrentViewCamera() : nullptr;
        if (camera != nullptr) {
            f = camera->GetWorldMatrix();
            const SWcameraobject* object = camera->GetCameraObject();
            if (object != nullptr && object->GetProjectionKind() == 4 &&
                channel.GetInputCode() == SWcontrolchannel::kTranslateZ) {
                const SWvector d = object->GetDirection();
                const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z + kTinyUnderRoot);
                const float z = c[11];
                c[11] = 0.0f;
                c[3] += z * d.x / length;
                c[7] += z * d.y / length;
                c[11] += z * d.z / length;
            }
        }
    }
    if ((bits & kFramePivot) != 0)
        f.CopyTranslation(t);
    return f;
}
