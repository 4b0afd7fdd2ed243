#pragma once
// CVTND_MotionList: the named key-frame animations a controller's target nodes carry, one entry per distinct name
// (byte for byte), each with the largest key count and frame count found under that name. The key-frame pages of
// the controller editor offer these entries as the animations a motion can play.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/list.h"

class AnimationTrack;
class SWnode;

class CVTND_MotionListNode : public SWlistnode {
public:
    CVTND_MotionListNode(std::string name, int32_t keyCount, uint32_t frameCount)
        : name(std::move(name)), keyCount(keyCount), frameCount(frameCount)
    {
    }

    std::string name;
    int32_t keyCount;    // the largest, compared signed
    uint32_t frameCount; // last key's frame + 1, the largest, compared unsigned
};

class CVTND_MotionList : public SWlist {
public:
    // The first entry of exactly that name; null for no name or none.
    CVTND_MotionListNode* FindByName(const std::optional<std::string>& name) const;
    CVTND_MotionListNode* FindByName(std::string_view name) const;
    // A new entry for a new name (null when the name was listed: its counts grow instead, or for no animation).
    CVTND_MotionListNode* AddAnimation(const AnimationTrack* animation);
    // Every animation of node, or of node and its descendants depth-first; nodes that are not object nodes add none.
    void AddNodeAnimations(SWnode* node, bool withSubtree);
    void Clear() { DeleteAll(); }
    CVTND_MotionListNode* First() const { return static_cast<CVTND_MotionListNode*>(Head()); }
};
