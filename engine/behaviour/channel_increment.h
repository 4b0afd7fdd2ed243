#pragma once
// The one walk of an interactive motion's channels each frame: every active channel, in the motion's order, turns
// its matrix into a step that moves the driven node's local matrix and is composed into the frame's increment.
// The motions differ only in the frame a step acts in, which reframe chooses; the order of the products is the
// same for all of them, and recorded traces depend on it.
#include <cstdint>

#include "engine/behaviour/channel_motion.h"
#include "engine/behaviour/control_channel.h"
#include "engine/core/matrix.h"
#include "engine/core/object_node.h"

// Re-expresses the step c in the frame x: c becomes the inverse of x, times c, times x.
inline void ExpressStepInFrame(const SWmatrix& x, SWmatrix& c)
{
    SWmatrix inverse;
    x.Invert(inverse);
    inverse.PostMultiply(c);
    c = inverse.PostMultiply(x);
}

// reframe(index, channel, parent, local, c) may re-express the channel's matrix c in another frame before it is
// applied; parent is the parent transform's world matrix (identity without one) and local the node's local matrix
// with the steps before this one applied. A motion without a driven node gets the identity increment. Answers
// whether any channel was active.
template <typename Reframe> bool ApplyChannelIncrements(SWchannelmotion& motion, Reframe&& reframe)
{
    const SWobjectnode* const node = motion.GetDrivenNode();
    if (node == nullptr) {
        motion.SetIncrement(SWmatrix());
        return false;
    }
    const SWobjectnode* const parentNode = motion.GetParentTransform();
    const SWmatrix parent = parentNode != nullptr ? parentNode->GetWorldMatrix() : SWmatrix();
    SWmatrix local = node->GetLocalMatrix();
    SWmatrix increment;
    bool changed = false;
    for (const uint32_t index : motion.GetOrder()) {
        SWcontrolchannel& channel = motion.GetChannel(static_cast<int>(index));
        if (channel.GetInputCode() == SWcontrolchannel::kNone || (!channel.IsActive() && !channel.IsMomentumActive()))
            continue;
        changed = true;
        SWmatrix c = channel.BuildMatrix();
        reframe(index, channel, parent, static_cast<const SWmatrix&>(local), c);
        local.PostMultiply(c);
        increment.PostMultiply(c);
    }
    motion.SetIncrement(increment);
    return changed;
}
