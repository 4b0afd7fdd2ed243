#include "engine/behaviour/navigation_motion.h"

#include <cmath>
#include <memory>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/channel_increment.h"
#include "engine/behaviour/key_table.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/object_node.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"
#include "engine/resources/geometry.h"

namespace {

constexpr uint32_t kTagOwn = MakeTag("7443");
constexpr uint32_t kTagWalk = MakeTag("GNHM");
constexpr uint32_t kNoKey = 0xFFFFFFFFu;
constexpr float kTinyUnderRoot = 1.1754944e-38f;
constexpr float kTiltLimit = 1.55f;
constexpr float kChannelScale = 0.001f;

// Key bits.
constexpr uint16_t kForward = 1, kBack = 2, kLeftward = 4, kRightward = 8, kTurnLeft = 16, kTurnRight = 32;
constexpr uint16_t kTiltUp = 128, kTiltDown = 256, kRun = 0x200, kSlotTwelve = 0x1000, kSlow = 0x2000;

constexpr int32_t kDefaultKeys[SWnavigationmotion::kSlotCount] = {258, 259, 'w', 's', 'a', 'd', 261, 260,
                                                                  ' ', 257, 256, 'z', 'c', 'x', -1};
constexpr int kTestOrder[] = {0, 2, 1, 3, 6, 7, 9, 10, 4, 5, 11, 13, 12, 14};

// The channel, the bit a press sets and the bit it clears, per movement slot; -1: not a movement slot.
struct Movement {
    int channel;
    uint16_t set;
    uint16_t clear;
};

Movement MovementOf(int slot)
{
    switch (slot) {
    case 0:
    case 2:
        return {1, kForward, kBack};
    case 1:
    case 3:
        return {1, kBack, kForward};
    case 4:
        return {4, kLeftward, kRightward};
    case 5:
        return {4, kRightward, kLeftward};
    case 6:
        return {0, kTurnLeft, kTurnRight};
    case 7:
        return {0, kTurnRight, kTurnLeft};
    case 9:
        return {5, kTiltUp, kTiltDown};
    case 10:
        return {5, kTiltDown, kTiltUp};
    default:
        return {-1, 0, 0};
    }
}

} // namespace

SWnavigationmotion::SWnavigationmotion(SWworld* world) : SWchannelmotion(world, kType)
{
    struct Default {
        uint8_t code, invert, frameBits;
        float scale;
    };
    static constexpr Default kDefaults[kChannelCount] = {
        {SWcontrolchannel::kRotateZ, 0, 1, kChannelScale},    {SWcontrolchannel::kTranslateZ, 1, 1, kChannelScale},
        {SWcontrolchannel::kRotateX, 0, 136, 1.0f},           {SWcontrolchannel::kRotateX, 0, 136, 1.0f},
        {SWcontrolchannel::kTranslateX, 1, 1, kChannelScale}, {SWcontrolchannel::kRotateX, 0, 1, kChannelScale},
    };
    for (int i = 0; i < kChannelCount; ++i) {
        SWcontrolchannel& c = GetChannel(i);
        c.SetInputCode(kDefaults[i].code);
        c.SetInvert(kDefaults[i].invert != 0);
        c.SetFrameBits(kDefaults[i].frameBits);
        c.SetScale(kDefaults[i].scale);
    }
    GetChannel(5).SetMinimum(-kTiltLimit);
    GetChannel(5).SetMaximum(kTiltLimit);
    GetChannel(5).SetClamp(true);
    SortChannels();
    for (int slot = 0; slot < kSlotCount; ++slot)
        m_slots[static_cast<size_t>(slot)] = world != nullptr && kDefaultKeys[slot] >= 0
                                                 ? world->GetKeyTable().FindKeyByCode(kDefaultKeys[slot])
                                                 : nullptr;
}

// A clone keeps free mode: only clones run, so a saved free mode would otherwise never act.
SWmotion* SWnavigationmotion::Clone() const
{
    auto* copy = new SWnavigationmotion(*this);
    copy->m_keyBits = 0;
    copy->m_mouseLook = 0;
    return copy;
}

const SWkeyentry* SWnavigationmotion::GetKeySlot(int slot) const
{
    return slot >= 0 && slot < kSlotCount ? m_slots[static_cast<size_t>(slot)] : nullptr;
}

void SWnavigationmotion::SetKeySlot(int slot, const SWkeyentry* key)
{
    if (slot >= 0 && slot < kSlotCount)
        m_slots[static_cast<size_t>(slot)] = key;
}

int SWnavigationmotion::MatchSlot(const SWkeyentry* key) const
{
    if (key == nullptr)
        return -1;
    for (const int slot : kTestOrder) {
        const SWkeyentry* entry = m_slots[static_cast<size_t>(slot)];
        if (entry != nullptr && (entry == key || entry->GetUppercaseEntry() == key))
            return slot;
    }
    return -1;
}

void SWnavigationmotion::SetRunState(uint8_t state)
{
    SWobjectnode* const node = GetDrivenNode();
    if (node == nullptr)
        return;
    node->RunKeyState() = state;
    // Leaving run (its release or the slow key) also clears the two values of the node's geometry.
    if (state == 0 && node->GetGeometry() != nullptr)
        node->GetGeometry()->ClearKeyStateValues();
}

void SWnavigationmotion::BeginMouseLook()
{
    if (m_freeMode != 0 || m_mouseLook != 0 || GetWorld() == nullptr)
        return;
    if (GetWorld()->BeginMouseLook()) {
        m_mouseLook = 1;
        GetWorld()->SetNavigationChanged();
    }
}

void SWnavigationmotion::StopMouseLook()
{
    if (m_freeMode != 0 || m_mouseLook == 0 || GetWorld() == nullptr)
        return;
    GetWorld()->EndMouseLook();
    GetWorld()->SetNavigationChanged();
    m_mouseLook = 0;
}

void SWnavigationmotion::KeyDown(const SWkeyentry* key)
{
    const int slot = MatchSlot(key);
    const Movement move = MovementOf(slot);
    if (move.channel >= 0) {
        m_keyBits = static_cast<uint16_t>((m_keyBits | move.set) & ~move.clear);
        GetChannel(move.channel).BeginDrag();
        return;
    }
    SWobjectnode* const node = GetDrivenNode();
    switch (slot) {
    case 11:
        m_keyBits = static_cast<uint16_t>((m_keyBits | kRun) & ~kSlow);
        SetRunState(1);
        break;
    case 12:
        m_keyBits |= kSlotTwelve;
        if (node != nullptr)
            node->SlotTwelveKeyState() = 1;
        if (GetWorld() != nullptr)
            GetWorld()->Invalidate(false);
        break;
    case 13:
        m_keyBits = static_cast<uint16_t>((m_keyBits | kSlow) & ~kRun);
        SetRunState(0);
        break;
    case 14:
        BeginMouseLook();
        break;
    default:
        break;
    }
}

void SWnavigationmotion::KeyUp(const SWkeyentry* key)
{
    const int slot = MatchSlot(key);
    const Movement move = MovementOf(slot);
    if (move.channel >= 0) {
        m_keyBits = static_cast<uint16_t>(m_keyBits & ~move.set);
        GetChannel(move.channel).EndDrag();
        return;
    }
    SWobjectnode* const node = GetDrivenNode();
    switch (slot) {
    case 11:
        m_keyBits = static_cast<uint16_t>(m_keyBits & ~kRun);
        SetRunState(0);
        break;
    case 12:
        m_keyBits = static_cast<uint16_t>(m_keyBits & ~kSlotTwelve);
        if (node != nullptr)
            node->SlotTwelveKeyState() = 0;
        if (GetWorld() != nullptr)
            GetWorld()->Invalidate(false);
        break;
    case 13:
        m_keyBits = static_cast<uint16_t>(m_keyBits & ~kSlow);
        break;
    case 14:
        StopMouseLook();
        break;
    default:
        break;
    }
}

void SWnavigationmotion::MouseDown(int32_t, int32_t, uint8_t buttons)
{
    m_held |= buttons;
    if ((buttons & m_mouseLookButtons) != 0)
        BeginMouseLook();
}

void SWnavigationmotion::MouseUp(int32_t, int32_t, uint8_t buttons)
{
    m_held &= static_cast<uint8_t>(~buttons);
    if ((buttons & m_mouseLookButtons) != 0)
        StopMouseLook();
}

void SWnavigationmotion::MouseMove(SWworld* world, int32_t dx, int32_t dy, uint8_t)
{
    if (m_freeMode != 0 || m_mouseLook == 0 || world == nullptr)
        return;
    GetChannel(0).FeedValue(world->GetPixelWidth() * static_cast<float>(dx) * kMouseLookFactor);
    GetChannel(5).FeedValue(world->GetPixelHeight() * world->GetVerticalFactor() * static_cast<float>(dy) *
                            kMouseLookFactor);
}

void SWnavigationmotion::EndMouseLook()
{
    m_mouseLook = 0;
    if (GetWorld() != nullptr)
        GetWorld()->SetNavigationChanged();
}

void SWnavigationmotion::ReloadState()
{
    m_keyBits = 0;
    Reset(false);
}

void SWnavigationmotion::FeedHeldKeys(float now)
{
    const float speed = (m_keyBits & kRun) != 0 ? m_runSpeed : (m_keyBits & kSlow) != 0 ? m_slowSpeed : m_walkSpeed;
    const float vertical = GetWorld() != nullptr ? GetWorld()->GetVerticalFactor() : 1.0f;
    struct Feed {
        int channel;
        uint16_t positive, negative;
        float rate;
    };
    const Feed feeds[] = {{1, kForward, kBack, speed},
                          {4, kLeftward, kRightward, speed},
                          {0, kTurnLeft, kTurnRight, m_turnRate},
                          {5, kTiltUp, kTiltDown, vertical * m_turnRate}};
    for (const Feed& f : feeds) {
        SWcontrolchannel& c = GetChannel(f.channel);
        const float elapsed = now - c.GetLastTime(true);
        if ((m_keyBits & f.positive) != 0)
            c.FeedValue(elapsed * f.rate);
        else if ((m_keyBits & f.negative) != 0)
            c.FeedValue(-elapsed * f.rate);
    }
}

void SWnavigationmotion::Apply()
{
    m_changed = 0;
    FeedHeldKeys(GetElapsed());
    const auto reframe = [this](uint32_t index, const SWcontrolchannel&, const SWmatrix& parent, const SWmatrix& local,
                                SWmatrix& c) {
        if (m_freeMode == 0 && (index == 1 || index == 0)) {
            SWmatrix t;
            parent.Multiply(t, local);
            SWmatrix x = t; // channel 1: the world frame of the node; channel 0: the node about its position
            if (index == 1) {
                // Forward is the node's Z axis laid flat; looking straight down it is no direction at all.
                const float dx = t[2], dy = t[6];
                const float length = std::sqrt(dx * dx + dy * dy + kTinyUnderRoot);
                const float travel = c[11];
                c.SetTranslation(dx / length * travel, dy / length * travel, 0.0f);
            } else {
                SWmatrix f = SWmatrix::Translation(t[3], t[7], t[11]);
                f.Invert(f);
                f.Multiply(x, t);
            }
            ExpressStepInFrame(x, c);
        }
    };
    if (ApplyChannelIncrements(*this, reframe))
        m_changed = 1;
}

// -- Records

void SWnavigationmotion::WriteKey(SWchunkstream& out, int slot) const
{
    const SWkeyentry* key = m_slots[static_cast<size_t>(slot)];
    out.WriteU32(key != nullptr ? static_cast<uint32_t>(key->GetCode()) : kNoKey);
}

const SWkeyentry* SWnavigationmotion::ReadKey(SWchunkstream& in) const
{
    const uint32_t code = in.ReadU32();
    if (code == kNoKey || GetWorld() == nullptr || code > INT32_MAX)
        return nullptr;
    return GetWorld()->GetKeyTable().FindKeyByCode(static_cast<int32_t>(code));
}

bool SWnavigationmotion::Save(SWchunkstream& out) const
{
    SWrecordbuilder own(out, kTagOwn);
    SWchunkstream& s = own.Stream();
    s.WriteU8(m_freeMode);
    for (const int slot : {0, 1, 2, 3, 6, 7})
        WriteKey(s, slot);
    s.WriteF32(m_walkSpeed);
    s.WriteF32(m_turnRate);
    if (!own.Finish())
        return false;
    if (m_freeMode != 0)
        return true;
    SWrecordbuilder walk(out, kTagWalk);
    SWchunkstream& w = walk.Stream();
    for (const int slot : {4, 5, 8, 9, 10, 12, 11, 13, 14})
        WriteKey(w, slot);
    w.WriteU8(m_mouseLookButtons);
    w.WriteF32(m_spareValue);
    w.WriteF32(m_runSpeed);
    w.WriteF32(m_slowSpeed);
    w.WriteBool(m_spareFlag == 1);
    return walk.Finish();
}

bool SWnavigationmotion::Load(SWchunkstream& in)
{
    while (in.PeekTag() != kTagEnd) {
        const uint32_t tag = in.TakeTag();
        std::unique_ptr<SWchunkstream> body = in.OpenChild();
        if (body->Status() != SWchunkstream::kStatusGood)
            return false;
        std::array<const SWkeyentry*, kSlotCount> keys = m_slots;
        if (tag == kTagOwn) {
            const uint8_t freeMode = body->ReadU8();
            for (const int slot : {0, 1, 2, 3, 6, 7})
                keys[static_cast<size_t>(slot)] = ReadKey(*body);
            const float walk = body->ReadF32();
            const float turn = body->ReadF32();
            if (body->Status() != SWchunkstream::kStatusGood)
                return false;
            m_freeMode = freeMode;
            m_slots = keys;
            m_walkSpeed = walk;
            m_turnRate = turn;
        } else if (tag == kTagWalk) {
            for (const int slot : {4, 5, 8, 9, 10, 12, 11, 13, 14})
                keys[static_cast<size_t>(slot)] = ReadKey(*body);
            const uint8_t buttons = body->ReadU8();
            const float spare = body->ReadF32();
            const float run = body->ReadF32();
            const float slow = body->ReadF32();
            const bool flag = body->ReadBool();
            if (body->Status() != SWchunkstream::kStatusGood)
                return false;
            m_slots = keys;
            m_mouseLookButtons = buttons;
            m_spareValue = spare;
            m_runSpeed = run;
            m_slowSpeed = slow;
            m_spareFlag = flag ? 1 : 0;
        }
    }
    return in.Status() == SWchunkstream::kStatusGood;
}

void SWworld::EndAllMouseLook()
{
    const auto* list = TimedActionTable::Of(*this).GetTypeList(SWnavigationmotion::kType);
    if (list == nullptr)
        return;
    for (const std::unique_ptr<SWnodemotion>& motion : *list)
        if (auto* navigation = dynamic_cast<SWnavigationmotion*>(motion.get()); navigation && navigation->IsRunning())
            navigation->EndMouseLook();
}

namespace {

SWmotion* CreateNavigation(SWworld* world)
{
    return new SWnavigationmotion(world);
}

const bool kRegistered = RegisterMotionCreator(64, CreateNavigation);

} // namespace
