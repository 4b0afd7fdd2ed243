#include "engine/behaviour/track_target_motion.h"

#include <cmath>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/motion_record_loop.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"

namespace {

constexpr uint32_t kTagOwn = MakeTag("7443");

SWmotion* CreateTrackTarget(SWworld* world)
{
    return new SWtracktargetmotion(world);
}

const bool kRegistered = RegisterMotionCreator(42, CreateTrackTarget);

// Columns of a 4x4 matrix given top to bottom, as SWmatrix::SetColumn takes them (one-based).
void Column(SWmatrix& m, int column, float a, float b, float c)
{
    m.SetColumn(column, a, b, c, 0.0f);
}

} // namespace

SWtracktargetmotion::SWtracktargetmotion(SWworld* world) : SWnodemotion(world, kType)
{
    m_durationMs = 1000.0f;
    SetLoopForever(true);
}

SWtracktargetmotion::SWtracktargetmotion(const SWtracktargetmotion& other)
    : SWnodemotion(other), m_aim(other.m_aim), m_aimAxis(other.m_aimAxis), m_targetName(other.m_targetName),
      m_target(other.m_target), m_ownNode(other.m_ownNode), m_aimAway(other.m_aimAway), m_option2(other.m_option2),
      m_option3(other.m_option3), m_values(other.m_values), m_runningCopy(1)
{
    other.CopyTo(*this);
}

SWtracktargetmotion::~SWtracktargetmotion() = default;

void SWtracktargetmotion::SetTargetName(std::optional<std::string> name)
{
    m_targetName = std::move(name);
    m_target.Reset();
}

void SWtracktargetmotion::SetTarget(SWnode* node)
{
    m_target = m_world != nullptr ? NodeRef(*m_world, node) : NodeRef();
}

void SWtracktargetmotion::ResolveTarget()
{
    if (GetTarget() != nullptr || !m_targetName || m_world == nullptr || m_world->GetRootNode() == nullptr)
        return;
    SWnode* const found = m_world->GetRootNode()->FindByName(*m_targetName);
    if (SWobjectnode::FromNode(found) != nullptr)
        SetTarget(found);
}

void SWtracktargetmotion::SetOwnNode(SWnode* node)
{
    m_ownNode = m_world != nullptr ? NodeRef(*m_world, node) : NodeRef();
}

void SWtracktargetmotion::SetOption(int i, uint8_t value)
{
    if (i == 2)
        m_option2 = value;
    else if (i == 3)
        m_option3 = value;
}

void SWtracktargetmotion::SetValue(int i, float value)
{
    if (i >= 1 && i <= 6)
        m_values[static_cast<size_t>(i - 1)] = value;
}

void SWtracktargetmotion::Reset(bool onPassBoundary)
{
    SWnodemotion::Reset(onPassBoundary);
    if (!onPassBoundary)
        m_aim.SetIdentity();
}

void SWtracktargetmotion::Apply()
{
    const auto* target = dynamic_cast<const SWobjectnode*>(m_target.Get(m_world));
    const auto* own = dynamic_cast<const SWobjectnode*>(m_ownNode.Get(m_world));
    if (target == nullptr || own == nullptr) {
        SetIncrement(SWmatrix());
        return;
    }
    m_changed = 1;
    SWmatrix inverseOwn;
    own->GetWorldMatrix().Invert(inverseOwn);
    const SWvector p = inverseOwn.TransformPoint(target->GetWorldMatrix().GetTranslation());
    if (p.x * p.x + p.y * p.y + p.z * p.z < kOnTheNode * kOnTheNode) {
        // A target on the node gives no way to aim: turning would flatten the node onto one axis for good.
        SetIncrement(SWmatrix());
        return;
    }
    const float length = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z + 1.1754944e-38f);
    float x = p.x / length, y = p.y / length, z = p.z / length;
    if (((own->GetKindFlags() & SWnode::kKindCamera) != 0 && m_aimAxis == 2) || m_aimAway != 0) {
        x = -x;
        y = -y;
        z = -z;
    }
    SWmatrix m1, m2, result;
    switch (m_aimAxis) {
    case 0: {
        if (x == 1.0f)
            break;
        if (x == -1.0f) {
            result = SWmatrix::Scaling(-1.0f, 1.0f, -1.0f);
            break;
        }
        const float h = std::sqrt(z * z + x * x);
        const float c = h < kSmallestLength ? 1.0f : x / h;
        const float s = h < kSmallestLength ? 0.0f : z / h;
        Column(m1, 1, c, 0.0f, s);
        Column(m1, 3, -s, 0.0f, c);
        Column(m2, 1, h, y, 0.0f);
        Column(m2, 2, -y, h, 0.0f);
        m1.Multiply(result, m2);
        break;
    }
    case 1: {
        if (y == 1.0f)
            break;
        if (y == -1.0f) {
            result = SWmatrix::Scaling(1.0f, -1.0f, -1.0f);
            break;
        }
        const float h = std::sqrt(z * z + y * y);
        const float c = h < kSmallestLength ? 1.0f : y / h;
        const float s = h < kSmallestLength ? 0.0f : z / h;
        Column(m1, 2, 0.0f, c, s);
        Column(m1, 3, 0.0f, -s, c);
        Column(m2, 1, h, -x, 0.0f);
        Column(m2, 2, x, h, 0.0f);
        m1.Multiply(result, m2);
        break;
    }
    case 2: {
        if (z == 1.0f)
            break;
        if (z == -1.0f) {
            result = SWmatrix::Scaling(-1.0f, 1.0f, -1.0f);
            break;
        }
        const float h = std::sqrt(y * y + z * z);
        const float c = h < kSmallestLength ? 1.0f : z / h;
        const float s = h < kSmallestLength ? 0.0f : y / h;
        Column(m1, 2, 0.0f, c, -s);
        Column(m1, 3, 0.0f, s, c);
        Column(m2, 1, h, 0.0f, -x);
        Column(m2, 3, x, 0.0f, h);
        m1.Multiply(result, m2);
        break;
    }
    default:
        break;
    }
    SetIncrement(result);
}

bool SWtracktargetmotion::Save(SWchunkstream& out) const
{
    SWrecordbuilder own(out, kTagOwn);
    SWchunkstream& s = own.Stream();
    s.WriteF64(m_durationMs);
    s.WriteU16(m_aimAxis);
    s.WriteString(m_targetName);
    s.WriteU8(m_aimAway);
    s.WriteU8(m_option2);
    s.WriteU8(m_option3);
    for (size_t i = 0; i < 4; ++i)
        s.WriteF32(m_values[i]);
    if (!own.Finish())
        return false;
    return SaveNodeRecords(out);
}

bool SWtracktargetmotion::Load(SWchunkstream& in)
{
    return ReadMotionRecords(in, [this](uint32_t tag, SWchunkstream& body) {
        bool good = true;
        if (tag == kTagOwn) {
            const double duration = body.ReadF64();
            const uint16_t axis = body.ReadU16();
            std::optional<std::string> name;
            body.ReadString(name);
            const uint8_t away = body.ReadU8();
            const uint8_t option2 = body.ReadU8();
            const uint8_t option3 = body.ReadU8();
            std::array<float, 4> values{};
            for (float& v : values)
                v = body.ReadF32();
            good = body.Status() == SWchunkstream::kStatusGood;
            if (good) {
                m_durationMs = duration >= 0.0 ? static_cast<float>(duration) : 0.0f;
                SetAimOption(axis);
                SetTargetName(std::move(name));
                m_aimAway = away;
                m_option2 = option2;
                m_option3 = option3;
                for (size_t i = 0; i < 4; ++i)
                    m_values[i] = values[i];
            }
        } else {
            good = LoadNodeRecord(tag, body);
        }
        return good;
    });
}
