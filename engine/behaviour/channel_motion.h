#pragma once
// SWchannelmotion: the base of the interactive motions. It owns six control channels, applies them in its channel
// order (rotations about X, Y, Z first, then translations, scale, and the channels that drive nothing), and drives
// one node, bound by the start handler. The node and its parent transform are held by handle, so a node an editor
// deletes leaves the motion idle until the frame step ends it.
//
// Input arrives through the virtual mouse and key slots; the base ignores them.
#include <array>
#include <cstdint>

#include "engine/behaviour/control_channel.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/refs.h"

class SWkeyentry;

class SWchannelmotion : public SWnodemotion {
public:
    static constexpr int kChannelCount = 6;
    static constexpr uint8_t kButtonRight = 1, kButtonLeft = 2, kButtonMiddle = 4;

    SWchannelmotion(SWworld* world, uint32_t type); // 1000 ms, for ever, free-running, option flags 1
    SWchannelmotion(const SWchannelmotion& other);  // channels, order, node and parent transform; clock from 0

    // The bind slot of the start handler: the node to drive and its nearest transform ancestor.
    void GetReferenceMatrix(SWobjectnode& node, SWtimedactionentry& entry) const override;
    void SetTarget(SWnode* node);
    SWobjectnode* GetDrivenNode() const;
    SWobjectnode* GetParentTransform() const;
    void SortChannels(); // codes 0, 1, 2, 4, 5, 6, 11, 10, each group in channel index order
    const std::array<uint32_t, kChannelCount>& GetOrder() const { return m_order; }
    SWcontrolchannel& GetChannel(int index) { return m_channels[static_cast<size_t>(index)]; }
    const SWcontrolchannel& GetChannel(int index) const { return m_channels[static_cast<size_t>(index)]; }
    uint8_t GetHeldButtons() const { return m_held; }

    void Apply() override;                    // the base: nothing changed, both increments the identity
    void Reset(bool onPassBoundary) override; // the clock, every channel and (unless on a boundary) the buttons

    virtual void MouseDown(int32_t x, int32_t y, uint8_t buttons);
    virtual void MouseUp(int32_t x, int32_t y, uint8_t buttons);
    virtual void MouseMove(SWworld* world, int32_t dx, int32_t dy, uint8_t buttons);
    virtual void KeyDown(const SWkeyentry*) {}
    virtual void KeyUp(const SWkeyentry*) {}

protected:
    // The frame in which a channel's matrix acts, chosen by its frame bits as the node motions choose theirs; t is
    // the node's world transform now. May re-aim c's z translation for a camera of projection kind 4.
    SWmatrix ChannelFrame(const SWcontrolchannel& channel, const SWmatrix& parent, const SWmatrix& t,
                          SWmatrix& c) const;

    std::array<uint32_t, kChannelCount> m_order{0, 1, 2, 3, 4, 5};
    std::array<SWcontrolchannel, kChannelCount> m_channels;
    uint8_t m_held = 0;

private:
    NodeRef m_driven;
    NodeRef m_parent;
};
