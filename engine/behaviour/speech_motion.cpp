#include "engine/behaviour/speech_motion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "engine/behaviour/action_kind.h"
#include "engine/core/bbox.h"
#include "engine/core/object_node.h"
#include "engine/core/record_builder.h"
#include "engine/core/root_object.h"
#include "engine/core/type_tag.h"
#include "engine/core/vector.h"
#include "engine/core/world.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/speech_data.h"

namespace {

constexpr uint32_t kTagOwn = MakeTag("7443");
constexpr uint32_t kCodeAngleX = 19;
constexpr uint32_t kCodeAngleZ = 20;
constexpr uint32_t kCodeAngleY = 21;

// The morph target a channel code drives; null for the angle codes and the codes that drive nothing.
const char* MorphTargetOf(uint32_t code)
{
    switch (code) {
    case 0:
        return "Phoneme_Eat";
    case 1:
        return "Phoneme_Earth";
    case 3:
        return "Phoneme_Ox";
    case 6:
        return "Phoneme_Size";
    case 11:
        return "Phoneme_Bump";
    case 15:
        return "Viseme_EB_Up_L";
    case 16:
        return "Viseme_EB_Up_R";
    case 17:
        return "Viseme_Blink_L";
    case 18:
        return "Viseme_Blink_R";
    case 26:
        return "Viseme_EB_Up";
    case 27:
        return "Viseme_Nostrils_Flare";
    default:
        return nullptr;
    }
}

SWmotion* CreateSpeech(SWworld* world)
{
    return new SWspeechmotion(world);
}

const bool kRegistered = RegisterMotionCreator(SWspeechmotion::kKind, CreateSpeech);

bool Inside(const std::array<float, 6>& e, const float* v)
{
    return v[0] >= e[0] && v[0] <= e[1] && v[1] >= e[2] && v[1] <= e[3] && v[2] >= e[4] && v[2] <= e[5];
}

} // namespace

SWspeechmotion::SWspeechmotion(SWworld* world) : SWmeshnodemotion(world, kType) {}

SWspeechmotion::SWspeechmotion(const SWspeechmotion& other)
    : SWmeshnodemotion(other), m_speechName(other.m_speechName), m_speech(other.m_speech), m_head(other.m_head)
{
    SetTargetObject(other.GetTargetObject());
}

SWspeechmotion::~SWspeechmotion() = default;

void SWspeechmotion::SetHeadNode(SWobjectnode* node)
{
    m_head = m_world != nullptr && node != nullptr ? NodeRef(*m_world, node) : NodeRef();
}

SWobjectnode* SWspeechmotion::GetHeadNode() const
{
    return dynamic_cast<SWobjectnode*>(m_head.Get(m_world));
}

void SWspeechmotion::Reset(bool onPassBoundary)
{
    SWmeshnodemotion::Reset(onPassBoundary);
    m_headMatrix.SetIdentity();
}

void SWspeechmotion::Apply()
{
    SWobjectnode* const meshNode = GetTargetObject();
    auto* const mesh = meshNode != nullptr ? dynamic_cast<SWmeshobject*>(meshNode->GetGeometry()) : nullptr;
    if (mesh == nullptr)
        return;
    m_changed = 1;
    const float* const base = mesh->GetBaseVertices();
    float* const working = mesh->GetVertices();
    const uint32_t count = mesh->GetVertexCount();
    if (base == nullptr || working == nullptr)
        return;
    std::copy_n(base, static_cast<size_t>(count) * 3, working);
    const float local = std::max(GetLocalTime(), 0.0f);
    const auto frame = static_cast<uint32_t>(std::min(local * kFramesPerMs, 4.0e9f));

    float angles[3] = {};
    bool turns = false;
    const uint32_t channels = m_speech != nullptr ? m_speech->GetChannelCount() : 0;
    for (uint32_t c = 0; c < channels; ++c) {
        const SWspeechchannel* const channel = m_speech->GetChannel(c);
        const uint32_t code = channel->GetCode();
        if (code == kCodeAngleX || code == kCodeAngleZ || code == kCodeAngleY) {
            angles[code - kCodeAngleX] = channel->GetValue(frame);
            turns = true;
            continue;
        }
        const char* const name = MorphTargetOf(code);
        const SWmorphtarget* const target = name != nullptr ? mesh->GetMorphTargets().FindByName(name) : nullptr;
        const float w = channel->GetValue(frame);
        if (target == nullptr || w == 0.0f)
            continue;
        for (uint32_t r = 0; r < target->records.Count(); ++r) {
            const float* const record = target->records.GetAt(r);
            // The index comes from the file: one that names no vertex of this mesh is left out.
            if (!(record[0] >= 0.0f && record[0] < static_cast<float>(count)))
                continue;
            const auto v = static_cast<size_t>(record[0]) * 3;
            for (size_t k = 0; k < 3; ++k)
                working[v + k] += (record[1 + k] - base[v + k]) * w;
        }
    }
    if (turns && GetHeadNode() != nullptr && !mesh->GetVertexBuckets().empty())
        TurnHead(angles);
    CarryBoundVertices(*meshNode, *mesh);

    const std::array<float, 6>& extents = mesh->GetComputedBoundingBox().Extents();
    for (uint32_t i = 0; i < count; ++i)
        if (!Inside(extents, working + static_cast<size_t>(i) * 3)) {
            mesh->ComputeBoundingBox();
            break;
        }
    mesh->ComputeNormals();
}

void SWspeechmotion::TurnHead(const float angles[3])
{
    SWobjectnode* const head = GetHeadNode();
    // angles: about X (code 19), about Z (code 20, applied negated), about Y (code 21)
    SWmatrix r = SWmatrix::Rotation(-angles[1], 2);
    r.PostMultiply(SWmatrix::Rotation(angles[0], 0));
    r.PostMultiply(SWmatrix::Rotation(angles[2], 1));
    // The last turn is undone before the new one is applied, both on the same side of the local matrix, so the
    // head stands at its rest pose turned by this frame's angles alone: with the new turn first, turns about two
    // axes would not cancel and the head would drift away frame by frame.
    SWmatrix b;
    r.Multiply(b, m_headMatrix);
    r.Invert(m_headMatrix);
    SWmatrix local;
    b.Multiply(local, head->GetLocalMatrix());
    head->SetLocalMatrix(local);
    head->SetWorldMatrix(ComputeNodeToWorldMatrix(*head));
}

void SWspeechmotion::CarryBoundVertices(SWobjectnode& meshNode, SWmeshobject& mesh)
{
    const std::vector<SWvertexbucket>& buckets = mesh.GetVertexBuckets();
    if (buckets.empty() || m_world == nullptr)
        return;
    if (m_boundStamp != m_world->GetStructureGeneration() || m_bound.size() != buckets.size()) {
        m_bound.assign(buckets.size(), nullptr);
        for (size_t i = 0; i < buckets.size(); ++i)
            if (m_world->GetRootNode() != nullptr)
                m_bound[i] = dynamic_cast<SWobjectnode*>(m_world->GetRootNode()->FindById(buckets[i].nodeId));
        m_boundStamp = m_world->GetStructureGeneration();
    }
    SWmatrix meshWorldInverse;
    meshNode.GetWorldMatrix().Invert(meshWorldInverse);
    const SWmatrix meshRest = meshNode.GetInitialMatrix();
    float* const working = mesh.GetVertices();
    const uint32_t count = mesh.GetVertexCount();
    for (size_t i = 0; i < buckets.size(); ++i) {
        const SWobjectnode* const bound = m_bound[i];
        if (bound == nullptr)
            continue;
        // One matrix per bound node and frame: from the mesh's rest frame to where the bound node now is.
        SWmatrix boundRestInverse;
        bound->GetInitialMatrix().Invert(boundRestInverse);
        SWmatrix m;
        meshWorldInverse.Multiply(m, bound->GetWorldMatrix());
        m.PostMultiply(boundRestInverse);
        m.PostMultiply(meshRest);
        for (const uint32_t v : buckets[i].vertices) {
            if (v >= count)
                continue;
            float* const p = working + static_cast<size_t>(v) * 3;
            const SWvector moved = m.TransformPoint(SWvector(p[0], p[1], p[2]));
            p[0] = moved.x;
            p[1] = moved.y;
            p[2] = moved.z;
        }
    }
}

void SWspeechmotion::GetReferenceMatrix(SWobjectnode& node, SWtimedactionentry& entry) const
{
    SWmeshnodemotion::GetReferenceMatrix(node, entry);
    // The start binds the running copy, which the per-node start hands here with its node.
    const_cast<SWspeechmotion*>(this)->Bind(node);
}

void SWspeechmotion::Bind(SWobjectnode& node)
{
    if (m_world == nullptr)
        return;
    if (m_speech == nullptr && m_speechName && m_world->GetRootObject() != nullptr)
        m_speech = FindSpeechDataByName(m_world->GetRootObject(), *m_speechName);
    if (m_speech != nullptr && m_world->GetRootNode() != nullptr)
        SetTargetObject(dynamic_cast<SWobjectnode*>(m_world->GetRootNode()->FindByName(m_speech->GetString(1))));
    SetHeadNode(node.IsTransformNode() ? &node : nullptr);
}

bool SWspeechmotion::Save(SWchunkstream& out) const
{
    SWrecordbuilder own(out, kTagOwn);
    if (m_speech != nullptr)
        own.Stream().WriteString(m_speech->GetName());
    else
        own.Stream().WriteString(m_speechName.value_or(std::string()));
    if (!own.Finish())
        return false;
    return SaveNodeRecords(out);
}

bool SWspeechmotion::Load(SWchunkstream& in)
{
    while (in.PeekTag() != kTagEnd) {
        const uint32_t tag = in.PeekTag();
        in.TakeTag();
        std::unique_ptr<SWchunkstream> body = in.OpenChild();
        bool good = true;
        if (tag == kTagOwn) {
            std::optional<std::string> name;
            good = body->ReadString(name);
            if (good)
                m_speechName = std::move(name);
        } else {
            good = LoadNodeRecord(tag, *body);
        }
        if (!good || body->Status() != SWchunkstream::kStatusGood) {
            in.Fail(SWchunkstream::kStatusShortRead);
            return false;
        }
    }
    return in.Status() == SWchunkstream::kStatusGood;
}
