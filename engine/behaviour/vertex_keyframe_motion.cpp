#include "engine/behaviour/vertex_keyframe_motion.h"

#include <algorithm>
#include <span>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/behaviour/motion_record_loop.h"
#include "engine/core/animation_data.h"
#include "engine/core/bbox.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/object_node.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/resources/mesh.h"

namespace {

constexpr uint32_t kTagOwn = MakeTag("7443");

SWmotion* CreatePlay(SWworld* world)
{
    return new SWvertexkeyframemotion(world, SWvertexkeyframemotion::kPlay);
}

SWmotion* CreateJump(SWworld* world)
{
    return new SWvertexkeyframemotion(world, SWvertexkeyframemotion::kJump);
}

const bool kRegistered = RegisterMotionCreator(50, CreatePlay) && RegisterMotionCreator(51, CreateJump);

float UsableTime(double ms)
{
    return ms >= 0.0 ? static_cast<float>(ms) : 0.0f;
}

SWmesh* MeshOf(const SWobjectnode* node)
{
    return node != nullptr ? dynamic_cast<SWmesh*>(node->GetGeometry()) : nullptr;
}

bool Inside(const std::array<float, 6>& e, const float* v)
{
    return v[0] >= e[0] && v[0] <= e[1] && v[1] >= e[2] && v[1] <= e[3] && v[2] >= e[4] && v[2] <= e[5];
}

// Locks the table for the scope; the loader fills it under the same lock.
class TableLock {
public:
    explicit TableLock(VertexFrameTable& table) : m_table(table) { m_table.TryLock(); }
    ~TableLock() { m_table.Unlock(); }
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;

private:
    VertexFrameTable& m_table;
};

} // namespace

SWvertexkeyframemotion::SWvertexkeyframemotion(SWworld* world, uint32_t mode) : SWmeshnodemotion(world, kPlay)
{
    SetMode(mode);
    Recompute();
}

SWvertexkeyframemotion::SWvertexkeyframemotion(const SWvertexkeyframemotion& other)
    : SWmeshnodemotion(other), m_offsetMs(other.m_offsetMs), m_startFrame(other.m_startFrame),
      m_endFrame(other.m_endFrame), m_explicitMs(other.m_explicitMs), m_useExplicit(other.m_useExplicit),
      m_option(other.m_option), m_optionValue(other.m_optionValue)
{
    other.CopyTo(*this);
}

SWvertexkeyframemotion::~SWvertexkeyframemotion() = default;

bool SWvertexkeyframemotion::SetMode(uint32_t mode)
{
    if (mode != kPlay && mode != kJump)
        return false;
    SetType(mode);
    if (mode == kJump)
        m_offsetMs = kJumpOffsetMs;
    Recompute();
    return true;
}

void SWvertexkeyframemotion::Recompute()
{
    m_durationMs = GetType() == kJump
                       ? m_offsetMs
                       : KeyFrameRangeMs(m_startFrame, m_endFrame, m_useExplicit != 0, m_explicitMs) + m_offsetMs;
}

void SWvertexkeyframemotion::SetTimeOffset(float ms)
{
    m_offsetMs = ms;
    Recompute();
}

void SWvertexkeyframemotion::SetStartFrame(int32_t frame)
{
    m_startFrame = frame;
    Recompute();
}

void SWvertexkeyframemotion::SetEndFrame(int32_t frame)
{
    m_endFrame = frame;
    Recompute();
}

void SWvertexkeyframemotion::SetExplicitDuration(float ms)
{
    m_explicitMs = ms;
    Recompute();
}

void SWvertexkeyframemotion::SetUseExplicitDuration(bool on)
{
    m_useExplicit = on ? 1 : 0;
    Recompute();
}

VertexFrameTable* SWvertexkeyframemotion::GetVertexFrameTable() const
{
    const SWobjectnode* node = GetTargetObject();
    return node != nullptr ? node->GetVertexFrameTable() : nullptr;
}

bool SWvertexkeyframemotion::Bind(SWobjectnode& node)
{
    if (!node.HasKind(SWnode::kKindMesh) || node.GetVertexFrameTable() == nullptr)
        return false;
    SetTargetObject(&node);
    BindNode(node.GetId());
    if (m_endFrame == -1)
        SetEndFrame(EndFrameOfCount(node.GetVertexFrameTable()->GetFrameCount()));
    return true;
}

void SWvertexkeyframemotion::Reset(bool onPassBoundary)
{
    SWmeshnodemotion::Reset(onPassBoundary);
    SWmesh* mesh = MeshOf(GetTargetObject());
    VertexFrameTable* table = GetVertexFrameTable();
    if (mesh == nullptr || mesh->GetVertexCount() == 0 || !(m_offsetMs > 0.0f) || table == nullptr)
        return;
    TableLock lock(*table);
    const size_t count = std::min(mesh->GetVertexCount(), table->GetVertexCount());
    const std::span<float> start =
        table->IsReady() && m_startFrame >= 0 && static_cast<uint32_t>(m_startFrame) < table->GetFrameCount()
            ? table->GetFrameVertices(static_cast<uint32_t>(m_startFrame))
            : std::span<float>();
    const float* working = mesh->GetVertices();
    m_first.assign(working, working + count * 3);
    m_second.assign(count * 3, 0.0f);
    if (start.size() >= count * 3)
        for (size_t i = 0; i < count * 3; ++i)
            m_second[i] = start[i] - m_first[i];
}

void SWvertexkeyframemotion::Apply()
{
    SWobjectnode* node = GetTargetObject();
    SWmesh* mesh = MeshOf(node);
    VertexFrameTable* table = GetVertexFrameTable();
    if (table == nullptr || mesh == nullptr || mesh->GetVertices() == nullptr)
        return;
    m_changed = 1;
    const float t = m_localMs;
    float* vertices = mesh->GetVertices();
    size_t written = 0;
    if (GetType() == kPlay && t >= m_offsetMs) {
        const int32_t frame = KeyFrameAt(t, m_offsetMs, m_startFrame, m_endFrame, m_useExplicit != 0, m_explicitMs);
        TableLock lock(*table);
        if (!table->IsReady() || static_cast<uint32_t>(frame) >= table->GetFrameCount())
            return; // a missing frame leaves the vertices as they are
        const std::span<const float> positions = table->GetFrameVertices(static_cast<uint32_t>(frame));
        written = std::min<size_t>({mesh->GetVertexCount(), table->GetVertexCount(), positions.size() / 3});
        std::copy_n(positions.begin(), written * 3, vertices);
        m_frame = frame;
    } else {
        const float s = m_offsetMs > 0.0f ? t / m_offsetMs : 1.0f;
        written = std::min<size_t>(mesh->GetVertexCount(), m_first.size() / 3);
        for (size_t i = 0; i < written * 3; ++i)
            vertices[i] = m_first[i] + s * m_second[i];
    }
    if (written == 0)
        return;
    // The bounds only ever have to grow to hold what moved out of them.
    const std::array<float, 6>& extents = mesh->GetComputedBoundingBox().Extents();
    for (size_t i = 0; i < written; ++i)
        if (!Inside(extents, vertices + i * 3)) {
            mesh->ComputeBoundingBox();
            break;
        }
    mesh->ComputeNormals();
}

bool SWvertexkeyframemotion::Save(SWchunkstream& out) const
{
    SWrecordbuilder own(out, kTagOwn);
    SWchunkstream& s = own.Stream();
    s.WriteF64(m_offsetMs);
    s.WriteU8(m_option);
    s.WriteU32(static_cast<uint32_t>(m_startFrame));
    s.WriteU32(static_cast<uint32_t>(m_endFrame));
    s.WriteU8(m_useExplicit);
    s.WriteF64(m_explicitMs);
    s.WriteU32(m_optionValue);
    if (!own.Finish())
        return false;
    return SaveNodeRecords(out);
}

bool SWvertexkeyframemotion::Load(SWchunkstream& in)
{
    return ReadMotionRecords(in, [this](uint32_t tag, SWchunkstream& body) {
        bool good = true;
        if (tag == kTagOwn) {
            const double offset = body.ReadF64();
            const uint8_t option = body.ReadU8();
            const uint32_t start = body.ReadU32();
            const uint32_t end = body.ReadU32();
            const uint8_t useExplicit = body.ReadU8();
            const double explicitMs = body.ReadF64();
            const uint32_t optionValue = body.ReadU32();
            good = body.Status() == SWchunkstream::kStatusGood;
            if (good) {
                m_option = option;
                m_startFrame = static_cast<int32_t>(start);
                m_endFrame = static_cast<int32_t>(end);
                m_useExplicit = useExplicit;
                m_explicitMs = UsableTime(explicitMs);
                m_optionValue = optionValue;
                SetTimeOffset(UsableTime(offset));
            }
        } else {
            good = LoadNodeRecord(tag, body);
        }
        return good;
    });
}
