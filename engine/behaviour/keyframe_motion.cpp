#include "engine/behaviour/keyframe_motion.h"

#include <cmath>
#include <limits>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/input_queue.h"
#include "engine/behaviour/motion_record_loop.h"
#include "engine/core/animation_data.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/data_node.h"
#include "engine/core/node_names.h"
#include "engine/core/object_node.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"

namespace {

constexpr uint32_t kTagOwn = MakeTag("7443");
constexpr uint32_t kTagBlock = MakeTag("7469");

// The record naming the key-frame block both key-frame motions play from.
bool SaveBlockRecord(SWchunkstream& out, const KeyFrameBlockRef& block)
{
    SWrecordbuilder record(out, kTagBlock);
    record.Stream().WriteString(block.GetName());
    return record.Finish();
}

bool LoadBlockRecord(SWchunkstream& body, KeyFrameBlockRef& block)
{
    std::optional<std::string> name;
    if (!body.ReadString(name))
        return false;
    block.SetName(std::move(name));
    return true;
}

SWmotion* CreatePlay(SWworld* world)
{
    return new SWkeyframemotion(world);
}

SWmotion* CreateJump(SWworld* world)
{
    return new SWkeyframejumpmotion(world);
}

const bool kRegistered = RegisterMotionCreator(44, CreatePlay) && RegisterMotionCreator(47, CreateJump);

// A time read from a record: not a number and negative times are none; an infinite one stays (it never ends).
float UsableTime(double ms)
{
    return ms >= 0.0 ? static_cast<float>(ms) : 0.0f;
}

int32_t ToFrame(double value)
{
    if (!(value == value))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (value <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(std::trunc(value));
}

// The rigid transform part of m: its rotation (scale divided out) and translation.
void TakeTransform(const SWmatrix& m, CVTN_Quaternion& rotation, SWvector& translation)
{
    rotation.FromMatrix(m);
    translation = m.GetTranslation();
}

// The transform a share s of the way from the identity to (rotation, translation).
SWmatrix PartWay(const CVTN_Quaternion& rotation, const SWvector& translation, float s)
{
    SWmatrix m;
    CVTN_Quaternion().Slerp(rotation, s).ToMatrix(m);
    m.SetTranslation(s * translation.x, s * translation.y, s * translation.z);
    return m;
}

} // namespace

int32_t KeyFrameAt(float ms, float offsetMs, int32_t start, int32_t end, bool useExplicit, float explicitMs)
{
    double f = (static_cast<double>(ms) - offsetMs) + 0.5;
    if (!(f == f))
        f = 0.0;
    const double span = std::fabs(static_cast<double>(end) - start);
    const double k =
        useExplicit && explicitMs > 0.0f ? std::trunc(span * f / explicitMs) : std::trunc(kKeyFramesPerMs * f);
    const double frame = start <= end ? start + k : start - k - 1.0;
    const int32_t result = ToFrame(frame);
    return result < 0 ? 0 : result;
}

float KeyFrameRangeMs(int32_t start, int32_t end, bool useExplicit, float explicitMs)
{
    if (useExplicit && explicitMs > 0.0f)
        return explicitMs;
    return static_cast<float>(std::fabs(static_cast<double>(end) - start) * kKeyFrameMs);
}

int32_t EndFrameOfCount(uint32_t frameCount)
{
    return frameCount > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max()
                                                                                   : static_cast<int32_t>(frameCount);
}

// ---- KeyFrameBlockRef

bool KeyFrameBlockRef::IsDefault() const
{
    return !m_name || m_name->empty() || *m_name == kDefaultAnimationName;
}

bool KeyFrameBlockRef::Bind(SWworld* world, SWobjectnode* node)
{
    m_node.Reset();
    if (world == nullptr || node == nullptr)
        return false;
    const AnimationTrackSet& tracks = node->GetAnimationTracks();
    const bool found = IsDefault() ? tracks.GetFrameCount() > 0 : tracks.FindByName(*m_name) != nullptr;
    if (found)
        m_node = NodeRef(*world, node);
    return found;
}

SWobjectnode* KeyFrameBlockRef::GetNode(const SWworld* world) const
{
    return dynamic_cast<SWobjectnode*>(m_node.Get(world));
}

uint32_t KeyFrameBlockRef::GetFrameCount(const SWworld* world) const
{
    const SWobjectnode* node = GetNode(world);
    return node != nullptr ? FrameCountOn(*node) : 0;
}

uint32_t KeyFrameBlockRef::FrameCountOn(const SWobjectnode& node) const
{
    const AnimationTrackSet& tracks = node.GetAnimationTracks();
    if (IsDefault())
        return tracks.GetFrameCount();
    const AnimationTrack* track = tracks.FindByName(*m_name);
    return track != nullptr ? track->GetFrameCount() : 0;
}

const SWmatrix* KeyFrameBlockRef::GetMatrix(const SWworld* world, int32_t frame) const
{
    const SWobjectnode* node = GetNode(world);
    if (node == nullptr)
        return nullptr;
    const AnimationTrackSet& tracks = node->GetAnimationTracks();
    const auto at = static_cast<uint32_t>(frame < 0 ? 0 : frame);
    if (IsDefault())
        return &tracks.GetTrackValue(at, 1);
    const AnimationTrack* track = tracks.FindByName(*m_name);
    if (track == nullptr)
        return nullptr;
    const SWmatrix* key = track->FindKey(at);
    return key != nullptr ? key : &tracks.GetDefaultSlot();
}

// ---- SWkeyframemotion

SWkeyframemotion::SWkeyframemotion(SWworld* world) : SWnodemotion(world, kType)
{
    m_block.SetName(std::string(kDefaultAnimationName));
    Recompute();
}

SWkeyframemotion::SWkeyframemotion(const SWkeyframemotion& other)
    : SWnodemotion(other), m_blendMs(other.m_blendMs), m_blendRotation(other.m_blendRotation),
      m_blendTranslation(other.m_blendTranslation), m_startFrame(other.m_startFrame), m_endFrame(other.m_endFrame),
      m_explicitMs(other.m_explicitMs), m_useExplicit(other.m_useExplicit), m_options(other.m_options),
      m_optionValue(other.m_optionValue)
{
    m_block.SetName(other.m_block.GetName());
    other.CopyTo(*this);
}

SWkeyframemotion::~SWkeyframemotion() = default;

void SWkeyframemotion::Recompute()
{
    m_durationMs = KeyFrameRangeMs(m_startFrame, m_endFrame, m_useExplicit != 0, m_explicitMs) + m_blendMs;
}

void SWkeyframemotion::SetBlendTime(float ms)
{
    m_blendMs = ms;
    Recompute();
}

void SWkeyframemotion::SetStartFrame(int32_t frame)
{
    m_startFrame = frame;
    Recompute();
}

void SWkeyframemotion::SetEndFrame(int32_t frame)
{
    m_endFrame = frame;
    Recompute();
}

void SWkeyframemotion::SetExplicitDuration(float ms)
{
    m_explicitMs = ms;
    Recompute();
}

void SWkeyframemotion::SetUseExplicitDuration(bool on)
{
    m_useExplicit = on ? 1 : 0;
    Recompute();
}

uint8_t SWkeyframemotion::GetOption(int i) const
{
    return i >= 1 && i <= 5 ? m_options[static_cast<size_t>(i - 1)] : 0;
}

void SWkeyframemotion::SetOption(int i, uint8_t value)
{
    if (i >= 1 && i <= 5)
        m_options[static_cast<size_t>(i - 1)] = value;
}

bool SWkeyframemotion::Bind(SWobjectnode& node)
{
    if (!m_block.Bind(m_world, &node))
        return false;
    BindNode(node.GetId());
    if (m_endFrame == -1)
        SetEndFrame(EndFrameOfCount(m_block.GetFrameCount(m_world)));
    return true;
}

bool SWkeyframemotion::SettleFrames(const SWobjectnode& node)
{
    const uint32_t count = m_block.FrameCountOn(node);
    if (count == 0)
        return false;
    if (m_endFrame == -1)
        SetEndFrame(EndFrameOfCount(count));
    return true;
}

void SWkeyframemotion::Reset(bool onPassBoundary)
{
    SWnodemotion::Reset(onPassBoundary);
    if (onPassBoundary && m_options[3] != 0 && m_options[4] != 0)
        return;
    m_appliedInverse.SetIdentity();
    const SWobjectnode* node = m_block.GetNode(m_world);
    if (node == nullptr || node->GetTransformVariable() == nullptr)
        return;
    const SWmatrix* first = m_block.GetMatrix(m_world, m_startFrame);
    if (first != nullptr && m_blendMs > 0.0f)
        TakeTransform(*first, m_blendRotation, m_blendTranslation);
}

void SWkeyframemotion::Apply()
{
    const float t = m_localMs;
    SWmatrix m;
    if (t < m_blendMs) {
        if (!m_block.IsBound() || m_block.GetNode(m_world) == nullptr) {
            SetIncrement(SWmatrix());
            return;
        }
        m = PartWay(m_blendRotation, m_blendTranslation, t / m_blendMs);
        m_frame = -1;
    } else {
        const int32_t frame = KeyFrameAt(t, m_blendMs, m_startFrame, m_endFrame, m_useExplicit != 0, m_explicitMs);
        const SWmatrix* key = m_block.GetMatrix(m_world, frame);
        if (key == nullptr) {
            SetIncrement(SWmatrix());
            return;
        }
        m = *key;
        m_frame = frame;
    }
    m_changed = 1;
    SWmatrix folded;
    m_appliedInverse.Multiply(folded, m);
    m.Invert(m_appliedInverse);
    SetIncrements(m, folded);
}

void SWkeyframemotion::Finish()
{
    if (IsDone())
        return;
    SWnodemotion::Finish();
    if (m_world == nullptr)
        return;
    SWnode* node = m_block.GetNode(m_world);
    m_world->PostInputEvent(InputKind::kMotionFinished, node != nullptr ? SWinputtarget(node) : SWinputtarget());
}

bool SWkeyframemotion::Save(SWchunkstream& out) const
{
    {
        SWrecordbuilder own(out, kTagOwn);
        SWchunkstream& s = own.Stream();
        s.WriteF64(m_blendMs);
        s.WriteU8(m_options[0]);
        s.WriteU8(m_options[1]);
        s.WriteU8(m_options[2]);
        s.WriteU32(static_cast<uint32_t>(m_startFrame));
        s.WriteU32(static_cast<uint32_t>(m_endFrame));
        s.WriteU8(m_useExplicit);
        s.WriteF64(m_explicitMs);
        s.WriteU32(static_cast<uint32_t>(m_optionValue));
        s.WriteU8(m_options[3]);
        s.WriteU8(m_options[4]);
        if (!own.Finish())
            return false;
    }
    return SaveBlockRecord(out, m_block) && SaveNodeRecords(out);
}

bool SWkeyframemotion::Load(SWchunkstream& in)
{
    return ReadMotionRecords(in, [this](uint32_t tag, SWchunkstream& body) {
        bool good = true;
        if (tag == kTagOwn) {
            const double blend = body.ReadF64();
            std::array<uint8_t, 5> options{};
            options[0] = body.ReadU8();
            options[1] = body.ReadU8();
            options[2] = body.ReadU8();
            const uint32_t start = body.ReadU32();
            const uint32_t end = body.ReadU32();
            const uint8_t useExplicit = body.ReadU8();
            const double explicitMs = body.ReadF64();
            const uint32_t optionValue = body.ReadU32();
            options[3] = body.ReadU8();
            options[4] = body.ReadU8();
            good = body.Status() == SWchunkstream::kStatusGood;
            if (good) {
                m_options = options;
                m_startFrame = static_cast<int32_t>(start);
                m_endFrame = static_cast<int32_t>(end);
                m_useExplicit = useExplicit;
                m_explicitMs = UsableTime(explicitMs);
                m_optionValue = static_cast<int32_t>(optionValue);
                SetBlendTime(UsableTime(blend));
            }
        } else if (tag == kTagBlock) {
            good = LoadBlockRecord(body, m_block);
        } else {
            good = LoadNodeRecord(tag, body);
        }
        return good;
    });
}

// ---- SWkeyframejumpmotion

SWkeyframejumpmotion::SWkeyframejumpmotion(SWworld* world) : SWnodemotion(world, kType)
{
    m_block.SetName(std::string(kDefaultAnimationName));
    m_durationMs = 1000.0f; // a new jump's transition; a stored jump reads its own
}

SWkeyframejumpmotion::SWkeyframejumpmotion(const SWkeyframejumpmotion& other)
    : SWnodemotion(other), m_frame(other.m_frame), m_rotation(other.m_rotation), m_translation(other.m_translation),
      m_options(other.m_options), m_optionValue(other.m_optionValue)
{
    m_block.SetName(other.m_block.GetName());
    other.CopyTo(*this);
}

SWkeyframejumpmotion::~SWkeyframejumpmotion() = default;

uint8_t SWkeyframejumpmotion::GetOption(int i) const
{
    return i >= 1 && i <= 2 ? m_options[static_cast<size_t>(i - 1)] : 0;
}

void SWkeyframejumpmotion::SetOption(int i, uint8_t value)
{
    if (i >= 1 && i <= 2)
        m_options[static_cast<size_t>(i - 1)] = value;
}

bool SWkeyframejumpmotion::Bind(SWobjectnode& node)
{
    if (!m_block.Bind(m_world, &node))
        return false;
    BindNode(node.GetId());
    UpdateTargetTransform(m_durationMs);
    return true;
}

bool SWkeyframejumpmotion::SettleFrames(const SWobjectnode& node)
{
    if (m_block.FrameCountOn(node) == 0)
        return false;
    if (m_frame == -1)
        m_frame = 0;
    return true;
}

void SWkeyframejumpmotion::UpdateTargetTransform(float ms)
{
    m_durationMs = ms;
    if (const SWmatrix* key = m_block.GetMatrix(m_world, m_frame))
        TakeTransform(*key, m_rotation, m_translation);
}

void SWkeyframejumpmotion::Reset(bool onPassBoundary)
{
    SWnodemotion::Reset(onPassBoundary);
    m_appliedInverse.SetIdentity();
}

void SWkeyframejumpmotion::Apply()
{
    if (m_block.GetNode(m_world) == nullptr) {
        SetIncrement(SWmatrix());
        return;
    }
    m_changed = 1;
    const float t = m_localMs;
    const SWmatrix m = PartWay(m_rotation, m_translation, t < m_durationMs ? t / m_durationMs : 1.0f);
    SWmatrix folded;
    m_appliedInverse.Multiply(folded, m);
    m.Invert(m_appliedInverse);
    SetIncrements(m, folded);
}

bool SWkeyframejumpmotion::Save(SWchunkstream& out) const
{
    {
        SWrecordbuilder own(out, kTagOwn);
        SWchunkstream& s = own.Stream();
        s.WriteF64(m_durationMs);
        s.WriteU8(m_options[0]);
        s.WriteU8(m_options[1]);
        s.WriteU32(static_cast<uint32_t>(m_frame));
        s.WriteU32(static_cast<uint32_t>(m_optionValue));
        if (!own.Finish())
            return false;
    }
    return SaveBlockRecord(out, m_block) && SaveNodeRecords(out);
}

bool SWkeyframejumpmotion::Load(SWchunkstream& in)
{
    return ReadMotionRecords(in, [this](uint32_t tag, SWchunkstream& body) {
        bool good = true;
        if (tag == kTagOwn) {
            const double transition = body.ReadF64();
            const uint8_t option1 = body.ReadU8();
            const uint8_t option2 = body.ReadU8();
            const uint32_t frame = body.ReadU32();
            const uint32_t optionValue = body.ReadU32();
            good = body.Status() == SWchunkstream::kStatusGood;
            if (good) {
                m_options = {option1, option2};
                m_frame = static_cast<int32_t>(frame);
                m_optionValue = static_cast<int32_t>(optionValue);
                UpdateTargetTransform(UsableTime(transition));
            }
        } else if (tag == kTagBlock) {
            good = LoadBlockRecord(body, m_block);
        } else {
            good = LoadNodeRecord(tag, body);
        }
        return good;
    });
}

void SettleNewKeyFrames(SWactionnode& action)
{
    SWmotion* const motion = action.GetMotion();
    SWworld* const world = action.GetWorld();
    if (motion == nullptr || world == nullptr || world->GetRootNode() == nullptr)
        return;
    auto* const play = dynamic_cast<SWkeyframemotion*>(motion);
    auto* const jump = dynamic_cast<SWkeyframejumpmotion*>(motion);
    if (play == nullptr && jump == nullptr)
        return;
    for (const SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next()) {
        const char* const name = static_cast<const SWdatanode*>(n)->GetText();
        const auto* const node =
            name != nullptr ? dynamic_cast<const SWobjectnode*>(world->GetRootNode()->FindByName(name)) : nullptr;
        if (node != nullptr && (play != nullptr ? play->SettleFrames(*node) : jump->SettleFrames(*node)))
            return;
    }
}
