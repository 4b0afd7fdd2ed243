#include "engine/behaviour/control_channel.h"

#include <algorithm>
#include <cmath>

#include "engine/behaviour/channel_motion.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/node.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"

namespace {

constexpr uint32_t kTagChannel = MakeTag("7492");
constexpr float kSceneUnitsPerPixel = 0.002f;
constexpr double kSphereRadiusPixels = 1024.0;
constexpr float kSmallestScaleStep = 0.01f;

} // namespace

bool IsRotationInputCode(uint8_t code)
{
    return SWcontrolchannel::IsRotationCode(code);
}

uint8_t SWcontrolchannel::UsableCode(uint8_t code)
{
    return code <= kRotateZ || IsTranslationCode(code) || code == kScale ? code : kNone;
}

bool SWcontrolchannel::SetInputCode(uint8_t code)
{
    code = UsableCode(code);
    if (code == m_code)
        return false;
    if (IsRotationCode(code)) {
        m_minimum = -kPi;
        m_maximum = kPi;
    } else if (!(IsTranslationCode(code) && IsTranslationCode(m_code))) {
        m_minimum = -FLT_MAX;
        m_maximum = FLT_MAX;
    }
    m_code = code;
    if (m_owner != nullptr)
        m_owner->SortChannels();
    return true;
}

void SWcontrolchannel::SetTargetObject(SWnode* node)
{
    const SWworld* world = OwnerWorld();
    if (world == nullptr && node != nullptr)
        world = node->GetWorld();
    m_target = world != nullptr ? NodeRef(*world, node) : NodeRef();
    m_targetName = node != nullptr ? node->GetName() : std::nullopt;
}

SWnode* SWcontrolchannel::GetTargetObject() const
{
    return m_target.Get(OwnerWorld());
}

void SWcontrolchannel::CopyTo(SWcontrolchannel& other) const
{
    other.m_targetName = m_targetName;
    other.m_target = m_target;
    other.m_code = m_code;
    other.m_minimum = m_minimum;
    other.m_maximum = m_maximum;
    other.m_scale = m_scale;
    other.m_momentum = m_momentum;
    other.m_momentumTimeMs = m_momentumTimeMs;
    other.m_clamp = m_clamp;
    other.m_frameBits = m_frameBits;
    other.m_fixedMatrix = m_fixedMatrix;
    other.m_useFixed = m_useFixed;
    other.m_invert = m_invert;
    other.m_sphere = m_sphere;
}

float SWcontrolchannel::OwnerTime() const
{
    return m_owner != nullptr ? m_owner->GetElapsed() : 0.0f;
}

SWworld* SWcontrolchannel::OwnerWorld() const
{
    return m_owner != nullptr ? m_owner->GetWorld() : nullptr;
}

void SWcontrolchannel::Accumulate(float delta)
{
    const float old = m_value;
    m_value += delta;
    if (m_clamp != 0)
        m_value = std::clamp(m_value, m_minimum, m_maximum);
    m_change += m_value - old;
}

void SWcontrolchannel::Feed(SWworld* world, int32_t pixels)
{
    m_lastAmount = pixels;
    if (pixels == 0)
        return;
    m_active = 1;
    const double amount = m_invert != 0 ? -static_cast<double>(pixels) : static_cast<double>(pixels);
    if (IsTranslationCode(m_code) || m_code == kScale) {
        const float sceneSize = world != nullptr ? world->GetSceneSize() : 1.0f;
        Accumulate(static_cast<float>(sceneSize * m_scale * amount * kSceneUnitsPerPixel));
    } else if (m_sphere == 0) {
        Accumulate(static_cast<float>(amount * m_scale * kRadiansPerPixel));
    } else {
        const float turn = static_cast<float>(4.0 * std::atan(std::fabs(amount) / kSphereRadiusPixels));
        Accumulate(amount > 0.0 ? turn : -turn);
    }
}

void SWcontrolchannel::FeedValue(float amount)
{
    m_lastAmount = 0;
    if (amount == 0.0f)
        return;
    m_active = 1;
    Accumulate((m_invert != 0 ? -amount : amount) * m_scale);
}

void SWcontrolchannel::BeginDrag()
{
    m_momentumActive = 0;
    m_lastAmount = 0;
    m_pressed = 1;
    m_lastTimeMs = OwnerTime();
}

void SWcontrolchannel::EndDrag()
{
    if (m_momentum != 0 && m_lastAmount != 0) {
        m_momentumActive = 1;
        m_momentumStartMs = OwnerTime();
    }
}

float SWcontrolchannel::GetLastTime(bool update)
{
    const float last = m_lastTimeMs;
    if (update)
        m_lastTimeMs = OwnerTime();
    return last;
}

SWmatrix SWcontrolchannel::BuildMatrix()
{
    SWmatrix m;
    SWworld* const world = m_owner != nullptr ? m_owner->GetWorld() : nullptr;
    if (m_momentumActive != 0) {
        const float dt = OwnerTime() - m_momentumStartMs;
        if (m_momentumTimeMs == 0.0f) {
            Feed(world, m_lastAmount); // a spin that never fades
        } else if (m_momentumTimeMs > 0.0f && dt < m_momentumTimeMs) {
            const double fading = (static_cast<double>(m_momentumTimeMs) - dt) * m_lastAmount / m_momentumTimeMs;
            // An endless momentum time makes the share not a number: that fades nothing more.
            Feed(world, fading == fading ? static_cast<int32_t>(std::clamp(std::trunc(fading), -2.0e9, 2.0e9)) : 0);
        } else {
            m_momentumActive = 0;
        }
    }
    if (m_change != 0.0f) {
        if (IsRotationCode(m_code)) {
            m.SetRotation(m_change, m_code);
        } else if (IsTranslationCode(m_code)) {
            const int axis = m_code - kTranslateX;
            m.SetTranslation(axis == 0 ? m_change : 0.0f, axis == 1 ? m_change : 0.0f, axis == 2 ? m_change : 0.0f);
        } else if (m_code == kScale) {
            // The previous scale moves only with a step that is applied, and a previous scale that is not above 0
            // refuses the step: a refused step never leaves a jump or a division by zero for the next one.
            const float next = m_value + 1.0f;
            const float s = m_previousScale > 0.0f ? next / m_previousScale : 0.0f;
            if (s > kSmallestScaleStep) {
                m[0] = m[5] = m[10] = s;
                m_previousScale = next;
            }
        }
        m_change = 0.0f;
    }
    m_active = 0;
    return m;
}

void SWcontrolchannel::Reset(bool onLoop)
{
    if (onLoop)
        return;
    m_value = 0.0f;
    m_change = 0.0f;
    m_previousScale = 1.0f;
    m_momentumActive = 0;
    m_lastAmount = 0;
    m_active = 0;
}

// The last byte, the sphere mode, is ours: records written before it end at the invert byte and read as off.
bool SWcontrolchannel::Write(SWchunkstream& out) const
{
    SWrecordbuilder record(out, kTagChannel);
    SWchunkstream& s = record.Stream();
    s.WriteString(m_targetName);
    s.WriteU8(m_code);
    s.WriteF32(m_minimum);
    s.WriteF32(m_maximum);
    s.WriteF32(m_scale);
    s.WriteBool(m_momentum == 1);
    s.WriteF32(m_momentumTimeMs);
    s.WriteBool(m_clamp == 1);
    s.WriteU8(m_frameBits);
    m_fixedMatrix.Save(s);
    s.WriteBool(m_useFixed == 1);
    s.WriteBool(m_invert == 1);
    s.WriteBool(m_sphere == 1);
    return record.Finish();
}

bool SWcontrolchannel::Read(SWchunkstream& body)
{
    std::optional<std::string> name;
    body.ReadString(name);
    const uint8_t code = body.ReadU8();
    const float minimum = body.ReadF32();
    const float maximum = body.ReadF32();
    const float scale = body.ReadF32();
    const bool momentum = body.ReadBool();
    const float momentumTime = body.ReadF32();
    const bool clamp = body.ReadBool();
    const uint8_t frameBits = body.ReadU8();
    SWmatrix fixed;
    const bool matrixRead = fixed.Load(body);
    const bool useFixed = body.ReadBool();
    const bool invert = body.ReadBool();
    if (!matrixRead || body.Status() != SWchunkstream::kStatusGood)
        return false;
    const bool sphere = body.Remaining() > 0 ? body.ReadBool() : false;
    m_targetName = std::move(name);
    m_target.Reset();
    m_code = UsableCode(code);
    m_minimum = minimum;
    m_maximum = maximum;
    m_scale = scale;
    m_momentum = momentum ? 1 : 0;
    m_momentumTimeMs = momentumTime;
    m_clamp = clamp ? 1 : 0;
    m_frameBits = frameBits;
    m_fixedMatrix = fixed;
    m_useFixed = useFixed ? 1 : 0;
    m_invert = invert ? 1 : 0;
    m_sphere = sphere ? 1 : 0;
    return true;
}
