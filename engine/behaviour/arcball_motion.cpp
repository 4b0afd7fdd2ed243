#include "engine/behaviour/arcball_motion.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <span>
#include <vector>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/channel_increment.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/object_node.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"

namespace {

constexpr uint32_t kTagSettings = MakeTag("7491");
constexpr uint32_t kTagChannel = MakeTag("7492");
constexpr uint32_t kTagExclusive = MakeTag("7472");
constexpr uint32_t kTagOlder = MakeTag("7443");
constexpr float kOlderSpeedFactor = 0.01f;

struct PresetHalf {
    uint8_t code;
    uint8_t invert;
    uint8_t sphere;
};

struct Preset {
    PresetHalf x;
    PresetHalf y;
};

constexpr uint8_t kNone = SWcontrolchannel::kNone;
constexpr PresetHalf kOff{kNone, 0, 0};

// Per preset: what the button's x and y channels drive.
constexpr Preset kPresets[SWarcballmotion::kPresetCount] = {
    {kOff, {0, 0, 0}},      {{1, 0, 0}, kOff}, {{2, 0, 0}, kOff},      {{1, 1, 1}, {0, 1, 1}}, {{4, 1, 0}, kOff},
    {kOff, {5, 0, 0}},      {kOff, {6, 1, 0}}, {{4, 1, 0}, {5, 0, 0}}, {{4, 1, 0}, {6, 1, 0}}, {{5, 0, 0}, {6, 1, 0}},
    {kOff, kOff},           {kOff, {0, 1, 0}}, {{1, 1, 0}, kOff},      {{2, 1, 0}, kOff},      {{1, 0, 1}, {0, 0, 1}},
    {{4, 0, 0}, kOff},      {kOff, {5, 1, 0}}, {kOff, {6, 0, 0}},      {{4, 0, 0}, {5, 1, 0}}, {{4, 0, 0}, {6, 0, 0}},
    {{5, 1, 0}, {6, 0, 0}},
};

// A stored duration that a float cannot hold, or none at all, keeps the default.
float StoredMs(double ms, float fallback)
{
    return std::isfinite(ms) && std::fabs(ms) <= FLT_MAX ? static_cast<float>(ms) : fallback;
}

void ApplyHalf(SWcontrolchannel& c, const PresetHalf& half, const std::array<float, 3>& speeds, bool momentum,
               float momentumTimeMs)
{
    c.SetInputCode(half.code);
    if (half.code == kNone)
        return;
    c.SetInvert(half.invert != 0);
    if (SWcontrolchannel::IsRotationCode(half.code)) {
        c.SetSphereMode(half.sphere != 0);
        c.SetMomentum(momentum);
        c.SetMomentumTime(momentumTimeMs);
    } else {
        c.SetScale(speeds[static_cast<size_t>(half.code - SWcontrolchannel::kTranslateX)]);
    }
}

} // namespace

SWarcballmotion::SWarcballmotion(SWworld* world) : SWchannelmotion(world, kType)
{
    struct Default {
        uint8_t code, invert, momentum;
    };
    static constexpr Default kDefaults[kChannelCount] = {{1, 1, 1}, {0, 1, 1},     {4, 1, 0},
                                                         {5, 0, 0}, {kNone, 0, 0}, {6, 1, 0}};
    for (int i = 0; i < kChannelCount; ++i) {
        SWcontrolchannel& c = GetChannel(i);
        c.SetInputCode(kDefaults[i].code);
        c.SetInvert(kDefaults[i].invert != 0);
        c.SetMomentum(kDefaults[i].momentum != 0);
    }
    SortChannels();
}

SWmotion* SWarcballmotion::Clone() const
{
    auto* copy = new SWarcballmotion(*this);
    copy->m_exclusive = 0;
    copy->m_dragX = copy->m_dragY = 0;
    return copy;
}

int SWarcballmotion::FirstChannelOf(uint8_t button)
{
    switch (button) {
    case kButtonLeft:
        return 0;
    case kButtonMiddle:
        return 2;
    case kButtonRight:
        return 4;
    default:
        return -1;
    }
}

void SWarcballmotion::ForEachChannelOf(uint8_t buttons, void (*action)(SWcontrolchannel&, void*), void* context)
{
    for (const uint8_t button : {kButtonLeft, kButtonMiddle, kButtonRight}) {
        if ((buttons & button) == 0)
            continue;
        const int first = FirstChannelOf(button);
        for (int i = first; i < first + 2; ++i)
            if (GetChannel(i).GetInputCode() != SWcontrolchannel::kNone)
                action(GetChannel(i), context);
    }
}

void SWarcballmotion::Apply()
{
    m_changed = 0;
    SWworld* const world = GetWorld();
    if (m_centred != 0)
        for (const uint8_t button : {kButtonLeft, kButtonMiddle, kButtonRight}) {
            if ((m_held & button) == 0)
                continue;
            m_changed = 1;
            const int first = FirstChannelOf(button);
            if (GetChannel(first).GetInputCode() != SWcontrolchannel::kNone)
                GetChannel(first).Feed(world, m_dragX);
            if (GetChannel(first + 1).GetInputCode() != SWcontrolchannel::kNone)
                GetChannel(first + 1).Feed(world, m_dragY);
        }
    const auto reframe = [this](uint32_t, const SWcontrolchannel& channel, const SWmatrix& parent,
                                const SWmatrix& local, SWmatrix& c) {
        uint8_t bits = channel.GetFrameBits();
        if ((bits & kFrameLocal) != 0)
            bits &= static_cast<uint8_t>(~kFramePivot);
        if (channel.GetInputCode() != SWcontrolchannel::kScale && bits != kFrameLocal) {
            SWmatrix t;
            parent.Multiply(t, local);
            const SWmatrix f = ChannelFrame(channel, parent, t, c);
            SWmatrix x;
            f.Invert(x);
            x.PostMultiply(t);
            ExpressStepInFrame(x, c);
        }
    };
    if (ApplyChannelIncrements(*this, reframe))
        m_changed = 1;
}

namespace {

void BeginDragOf(SWcontrolchannel& c, void*)
{
    c.BeginDrag();
}

void EndDragOf(SWcontrolchannel& c, void*)
{
    c.EndDrag();
}

} // namespace

void SWarcballmotion::MouseDown(int32_t x, int32_t y, uint8_t buttons)
{
    constexpr uint8_t kSides = kButtonLeft | kButtonRight;
    if (m_twoButtonMiddle != 0 && (buttons & kSides) != 0 && (m_held & kSides) != 0) {
        m_held = 0;
        buttons = kButtonMiddle;
    }
    m_held |= buttons;
    if (m_centred != 0) {
        uint32_t width = 0, height = 0;
        if (GetWorld() != nullptr)
            GetWorld()->GetCurrentViewSize(width, height);
        m_dragX = static_cast<int32_t>(width / 2) - x;
        m_dragY = static_cast<int32_t>(height / 2) - y;
    }
    ForEachChannelOf(buttons, BeginDragOf, nullptr);
}

void SWarcballmotion::MouseUp(int32_t, int32_t, uint8_t buttons)
{
    constexpr uint8_t kSides = kButtonLeft | kButtonRight;
    if (m_twoButtonMiddle != 0 && (m_held & kButtonMiddle) != 0 && (buttons & kSides) != 0)
        buttons = static_cast<uint8_t>((buttons & ~kSides) | kButtonMiddle);
    m_held &= static_cast<uint8_t>(~buttons);
    ForEachChannelOf(buttons, EndDragOf, nullptr);
}

void SWarcballmotion::MouseMove(SWworld* world, int32_t dx, int32_t dy, uint8_t buttons)
{
    if (m_centred != 0) {
        m_dragX += dx;
        m_dragY += dy;
        return;
    }
    constexpr uint8_t kSides = kButtonLeft | kButtonRight;
    if (m_twoButtonMiddle != 0 && (m_held & kButtonMiddle) != 0 && (buttons & kSides) != 0)
        buttons = static_cast<uint8_t>((buttons & ~kSides) | kButtonMiddle);
    for (const uint8_t button : {kButtonLeft, kButtonMiddle, kButtonRight}) {
        if ((buttons & button) == 0)
            continue;
        const int first = FirstChannelOf(button);
        for (int i = 0; i < 2; ++i)
            if (GetChannel(first + i).GetInputCode() != SWcontrolchannel::kNone)
                GetChannel(first + i).Feed(world, i == 0 ? dx : dy);
    }
}

void SWarcballmotion::SetButtonPreset(uint8_t button, uint8_t preset, float speedX, float speedY, float speedZ,
                                      bool momentum, float momentumTimeMs)
{
    const int first = FirstChannelOf(button);
    if (preset >= kPresetCount || first < 0)
        return;
    const std::array<float, 3> speeds{speedX, speedY, speedZ};
    ApplyHalf(GetChannel(first), kPresets[preset].x, speeds, momentum, momentumTimeMs);
    ApplyHalf(GetChannel(first + 1), kPresets[preset].y, speeds, momentum, momentumTimeMs);
}

// -- Records

bool SWarcballmotion::Save(SWchunkstream& out) const
{
    SWrecordbuilder settings(out, kTagSettings);
    settings.Stream().WriteBool(m_exclusive == 1);
    settings.Stream().WriteBool(m_centred == 1);
    settings.Stream().WriteBool(m_twoButtonMiddle == 1);
    if (!settings.Finish())
        return false;
    for (const SWcontrolchannel& c : m_channels)
        if (!c.Write(out))
            return false;
    return SaveNodeRecords(out);
}

bool SWarcballmotion::ReadOlderRecord(SWchunkstream& body)
{
    const double duration = body.ReadF64();
    const double momentumTime = body.ReadF64();
    const uint8_t left = body.ReadU8();
    const uint8_t right = body.ReadU8();
    const uint8_t middle = body.ReadU8();
    std::array<float, 3> speeds{};
    for (float& s : speeds)
        s = body.ReadF32() * kOlderSpeedFactor;
    for (int i = 0; i < 3; ++i)
        body.ReadF32();
    const uint8_t momentum = body.ReadU8();
    body.ReadU8();
    if (body.Status() != SWchunkstream::kStatusGood)
        return false;
    SetDuration(StoredMs(duration, GetDuration()));
    const float momentumMs = StoredMs(momentumTime, 2000.0f);
    for (SWcontrolchannel& c : m_channels) {
        c.SetMomentum(false);
        c.SetInvert(false);
        c.SetInputCode(SWcontrolchannel::kNone);
    }
    SetButtonPreset(kButtonLeft, left, speeds[0], speeds[1], speeds[2], momentum != 0, momentumMs);
    SetButtonPreset(kButtonMiddle, middle, speeds[0], speeds[1], speeds[2], momentum != 0, momentumMs);
    SetButtonPreset(kButtonRight, right, speeds[0], speeds[1], speeds[2], momentum != 0, momentumMs);
    m_axisSpeeds = speeds;
    return true;
}

// The option setter drops bit 128 beside bit 1, but an older record's channels read both, so the byte is kept as
// it was stored before the shared reader sees it.
bool SWarcballmotion::ReadNodeRecord(uint32_t tag, SWchunkstream& body)
{
    if (tag != MakeTag("7444"))
        return LoadNodeRecord(tag, body);
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min<uint64_t>(body.Remaining(), 1u << 20)));
    if (body.ReadBytes(bytes.data(), bytes.size()) != bytes.size() || body.Remaining() != 0)
        return false;
    constexpr size_t kOptionOffset = 6; // after the loop byte, the ping-pong byte and the pass count
    if (bytes.size() > kOptionOffset)
        m_storedOptions = bytes[kOptionOffset];
    SWchunkstream copy{std::span<const uint8_t>(bytes.data(), bytes.size())};
    return LoadNodeRecord(tag, copy) && copy.Status() == SWchunkstream::kStatusGood;
}

void SWarcballmotion::TakeNodeMotionFrames()
{
    const uint32_t flags = m_storedOptions;
    const bool ownAndPivot = (flags & kFrameLocal) != 0 && (flags & kFramePivot) != 0;
    const uint8_t bits = static_cast<uint8_t>(ownAndPivot ? (flags & 0xFEu) | kFrameWorld : flags);
    for (SWcontrolchannel& c : m_channels) {
        c.SetTargetName(GetTargetNodeName());
        if (GetTargetNode() != nullptr)
            c.SetTargetObject(GetTargetNode());
        c.SetFrameBits(bits);
        c.SetFixedMatrix(GetFixedMatrix());
        c.SetUseFixedMatrix((flags & kFrameFixed) != 0);
    }
    SetOptionFlags(kFrameLocal);
}

bool SWarcballmotion::Load(SWchunkstream& in)
{
    size_t channelsRead = 0;
    bool older = false;
    bool good = true;
    while (good && in.PeekTag() != kTagEnd) {
        const uint32_t tag = in.TakeTag();
        std::unique_ptr<SWchunkstream> body = in.OpenChild();
        if (body->Status() != SWchunkstream::kStatusGood) {
            good = false;
        } else if (tag == kTagChannel) {
            // A seventh or later channel record has no channel to go into: skipped whole.
            if (channelsRead < m_channels.size()) {
                SWcontrolchannel& c = m_channels[channelsRead++];
                good = c.Read(*body);
                if (good && SWcontrolchannel::IsTranslationCode(c.GetInputCode()))
                    m_axisSpeeds[static_cast<size_t>(c.GetInputCode() - SWcontrolchannel::kTranslateX)] = c.GetScale();
            }
        } else if (tag == kTagSettings) {
            const bool exclusive = body->ReadBool();
            const bool centred = body->ReadBool();
            const bool twoButton = body->ReadBool();
            good = body->Status() == SWchunkstream::kStatusGood;
            if (good) {
                m_exclusive = exclusive ? 1 : 0;
                m_centred = centred ? 1 : 0;
                m_twoButtonMiddle = twoButton ? 1 : 0;
            }
        } else if (tag == kTagExclusive) {
            const bool exclusive = body->ReadBool();
            good = body->Status() == SWchunkstream::kStatusGood;
            if (good)
                m_exclusive = exclusive ? 1 : 0;
        } else if (tag == kTagOlder) {
            good = ReadOlderRecord(*body);
            older = older || good;
        } else {
            good = ReadNodeRecord(tag, *body);
        }
    }
    SortChannels();
    // The older record's channels take the frames of the node-motion options, which may come after it.
    if (older)
        TakeNodeMotionFrames();
    if (!good)
        in.Fail(SWchunkstream::kStatusShortRead);
    return good && in.Status() == SWchunkstream::kStatusGood;
}

namespace {

SWmotion* CreateArcball(SWworld* world)
{
    return new SWarcballmotion(world);
}

const bool kRegistered = RegisterMotionCreator(45, CreateArcball) && RegisterMotionCreator(62, CreateArcball) &&
                         RegisterMotionCreator(63, CreateArcball);

} // namespace
