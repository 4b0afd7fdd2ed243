#include "designer/editors/motion_list.h"

#include <algorithm>
#include <limits>

#include "engine/core/animation_data.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"

CVTND_MotionListNode* CVTND_MotionList::FindByName(const std::optional<std::string>& name) const
{
    return name ? FindByName(std::string_view(*name)) : nullptr;
}

CVTND_MotionListNode* CVTND_MotionList::FindByName(std::string_view name) const
{
    for (SWlistnode* n = Head(); n != nullptr; n = n->Next())
        if (static_cast<CVTND_MotionListNode*>(n)->name == name)
            return static_cast<CVTND_MotionListNode*>(n);
    return nullptr;
}

CVTND_MotionListNode* CVTND_MotionList::AddAnimation(const AnimationTrack* animation)
{
    if (animation == nullptr || !animation->GetName())
        return nullptr;
    // A key count past the signed range reads as the largest one rather than as a negative count.
    const size_t keys = animation->GetKeyCount();
    const int32_t keyCount = static_cast<int32_t>(std::min<size_t>(keys, std::numeric_limits<int32_t>::max()));
    const uint32_t frameCount = animation->GetFrameCount();
    if (CVTND_MotionListNode* known = FindByName(std::string_view(*animation->GetName()))) {
        known->keyCount = std::max(known->keyCount, keyCount);
        known->frameCount = std::max(known->frameCount, frameCount);
        return nullptr;
    }
    auto* entry = new CVTND_MotionListNode(*animation->GetName(), keyCount, frameCount);
    AddTail(entry);
    return entry;
}

void CVTND_MotionList::AddNodeAnimations(SWnode* node, bool withSubtree)
{
    for (SWnode* n = node; n != nullptr; n = withSubtree ? n->NextInTree(node) : nullptr) {
        const SWobjectnode* object = SWobjectnode::FromNode(n);
        if (object == nullptr)
            continue;
        const AnimationTrackSet& tracks = object->GetAnimationTracks();
        for (size_t i = 0; i < tracks.GetTrackCount(); ++i)
            AddAnimation(&tracks.GetTrack(i));
    }
}
