#include "engine/resources/particle_node.h"

#include <algorithm>
#include <cmath>

#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"
#include "engine/core/root_object.h"
#include "engine/core/tag_registry.h"
#include "engine/core/type_tag.h"
#include "engine/core/world_sections.h"
#include "engine/resources/mesh.h"
#include "engine/resources/world_records.h"
#include "render/format_record.h"
#include "render/render_batch.h"
#include "render/render_target.h"

namespace {

constexpr uint32_t kTag = MakeTag("PSYS");
constexpr uint32_t kTagHeader = MakeTag("GHDR");
constexpr uint32_t kTagParameters = MakeTag("PPAR");
constexpr uint32_t kTagColours = MakeTag("PCOL");
constexpr uint32_t kTagSlot = MakeTag("PGSL");
constexpr uint8_t kStride = 6;
constexpr uint8_t kCombinePlain = 3;
constexpr uint8_t kFlagDepthTest = 1;

const CVTN_TagRegistration kRegistration(kTag, &CreateContainer<SWparticlenode>);
const SWparametergeneratorcodec* g_codec = nullptr;

bool IsParticleNode(const SWgeometry& geometry)
{
    return dynamic_cast<const SWparticlenode*>(&geometry) != nullptr;
}

bool WriteParticleRecord(SWworldwriting&, SWgeometry& geometry, SWchunkstream& payload)
{
    return WriteGeometryHeader(geometry, payload) && static_cast<const SWparticlenode&>(geometry).WriteBody(payload);
}

std::unique_ptr<SWgeometry> ReadParticleRecord(SWworldreading&, SWchunkstream& payload)
{
    auto node = std::make_unique<SWparticlenode>();
    bool hasHeader = false;
    if (payload.PeekTag() == kTagHeader) {
        payload.TakeTag();
        const std::unique_ptr<SWchunkstream> header = payload.OpenChild();
        hasHeader = ReadGeometryHeader(*header, *node) && header->Status() == 0;
    }
    if (!hasHeader || !node->ReadBody(payload))
        return nullptr;
    return node;
}

constexpr SWgeometryrecordkind kRecordKind = {kTag, &IsParticleNode, &WriteParticleRecord, &ReadParticleRecord};
const SWgeometryrecordregistration kRecordRegistration(&kRecordKind);

uint32_t Scaled(uint32_t colour, float opacity)
{
    const auto channel = [&](int shift) {
        return static_cast<uint32_t>(static_cast<float>((colour >> shift) & 0xFFu) * opacity) << shift;
    };
    return static_cast<uint32_t>(opacity * 255.0f) << 24 | channel(16) | channel(8) | channel(0);
}

} // namespace

void SetParameterGeneratorCodec(const SWparametergeneratorcodec* codec)
{
    g_codec = codec;
}

const SWparametergeneratorcodec* GetParameterGeneratorCodec()
{
    return g_codec;
}

SWparticlenode::SWparticlenode()
{
    AddTypeTag(kTag);
    m_emitterBox.AddPoint(SWvector(0.0f, 0.0f, 0.0f));
}

SWparticlenode::~SWparticlenode() = default;

SWparametergenerator* SWparticlenode::GetGenerator(int slot) const
{
    return slot >= 0 && slot < kSlotCount ? m_slots[slot].generator.get() : nullptr;
}

void SWparticlenode::SetGenerator(int slot, std::unique_ptr<SWparametergenerator> generator)
{
    if (slot < 0 || slot >= kSlotCount)
        return;
    m_slots[slot].generator = std::move(generator);
    m_slots[slot].kept.reset();
}

const std::vector<uint8_t>* SWparticlenode::GetKeptSlot(int slot) const
{
    return slot >= 0 && slot < kSlotCount && m_slots[slot].kept ? &*m_slots[slot].kept : nullptr;
}

void SWparticlenode::MarkParametersChanged()
{
    for (Slot& slot : m_slots)
        if (slot.generator != nullptr)
            slot.generator->MarkChanged();
}

bool SWparticlenode::Draw(SWrendertarget& target, SWrenderbatch*, SWrenderbatch* transparent, const SWmatrix& view)
{
    m_queued = 0;
    SWmatrix emitter;
    GetRenderMatrix(emitter);
    m_particles.AdvanceTo(m_worldTimeMs, emitter);
    const uint32_t live = m_particles.GetLiveCount();
    if (transparent == nullptr || live == 0)
        return true;

    SWtexturestages* format = transparent->TakeFormatRecord();
    if (format == nullptr)
        return false;
    format->vertexStride = kStride;
    format->firstFloatWord = 6;
    format->colourCount = 2;
    format->combineMode = kCombinePlain;
    format->vertexAlpha = 255;
    format->flags = kFlagDepthTest;
    format->layerCount = 0;

    // The camera's right and up directions in the world, from the view matrix's first two rows.
    const auto unit = [](SWvector v) {
        const float length = v.Length();
        return length > 0.0f ? v * (1.0f / length) : v;
    };
    const SWvector right = unit(SWvector(view[0], view[1], view[2]));
    const SWvector up = unit(SWvector(view[4], view[5], view[6]));
    const SWviewport& port = target.Viewport();
    const float nearValue = target.NearValue();
    const float opacity = std::clamp(std::isfinite(m_particles.GetParameter(SWparticles::kOpacity))
                                         ? m_particles.GetParameter(SWparticles::kOpacity)
                                         : 0.0f,
                                     0.0f, 1.0f);
    const float half = 0.5f * m_particles.GetParameter(SWparticles::kSize);

    for (const SWparticles::Particle& p : m_particles.GetParticles()) {
        const float angle = m_particles.AngleOf(p);
        const SWvector r = (right * std::cos(angle) + up * std::sin(angle)) * half;
        const SWvector u = (up * std::cos(angle) - right * std::sin(angle)) * half;
        const SWvector centre = m_particles.CentreOf(p);
        const SWvector corners[4] = {centre - r + u, centre + r + u, centre + r - u, centre - r - u};
        float screen[4][4];
        bool inside = true;
        for (int c = 0; c < 4 && inside; ++c) {
            const SWvector q = view.TransformPoint(corners[c]);
            if (SWmesh::OutcodeOf(q.x, q.y, q.z, nearValue) != 0 || !std::isfinite(q.x + q.y + q.z)) {
                inside = false;
                break;
            }
            const float w = 1.0f / q.z;
            screen[c][0] = q.x * w * port.xScale + port.xOffset;
            screen[c][1] = q.y * w * port.yScale + port.yOffset;
            screen[c][2] = q.z * port.depthScale + port.depthOffset;
            screen[c][3] = std::fabs(w);
        }
        if (!inside)
            continue;
        uint32_t* words = transparent->TakeWords(6 * kStride);
        SWprimitivenode* chain = transparent->AllocPrimitives(2);
        if (words == nullptr || chain == nullptr)
            break;
        const float life = p.life > 0.0f ? p.age / p.life : 1.0f;
        const uint32_t colour = Scaled(m_particles.ColourOfAge(life), opacity);
        // Whichever way the camera mirrors, each triangle goes over clockwise on the screen (y down).
        const auto clockwise = [&](int a, int b, int c) {
            const float area = (screen[c][1] - screen[a][1]) * (screen[b][0] - screen[a][0]) -
                               (screen[c][0] - screen[a][0]) * (screen[b][1] - screen[a][1]);
            return area > 0.0f;
        };
        const int order[2][3] = {{0, 1, 2}, {0, 2, 3}};
        for (int t = 0; t < 2; ++t) {
            int tri[3] = {order[t][0], order[t][1], order[t][2]};
            if (!clockwise(tri[0], tri[1], tri[2]))
                std::swap(tri[1], tri[2]);
            for (int k = 0; k < 3; ++k) {
                uint32_t* v = words + (t * 3 + k) * kStride;
                for (int i = 0; i < 4; ++i)
                    v[i] = FloatWord(screen[tri[k]][i]);
                v[4] = colour;
                v[5] = 0;
            }
        }
        chain->format = format;
        chain->vertices = words;
        chain->next->format = format;
        chain->next->vertices = words + 3 * kStride;
        transparent->AppendPrimitives(chain);
        m_queued += 2;
    }
    return true;
}

bool SWparticlenode::WriteBody(SWchunkstream& out) const
{
    {
        SWrecordbuilder parameters(out, kTagParameters);
        for (int i = 0; i < SWparticles::kParameterCount; ++i)
            parameters.Stream().WriteF32(m_particles.GetParameter(i));
        if (!parameters.Finish())
            return false;
    }
    {
        SWrecordbuilder colours(out, kTagColours);
        for (uint32_t colour : m_particles.GetColourTable())
            colours.Stream().WriteU32(colour);
        if (!colours.Finish())
            return false;
    }
    for (int i = 0; i < kSlotCount; ++i) {
        const Slot& slot = m_slots[i];
        if (slot.generator == nullptr && !slot.kept)
            continue;
        SWrecordbuilder record(out, kTagSlot);
        record.Stream().WriteU8(static_cast<uint8_t>(i));
        if (slot.kept)
            record.Stream().WriteBytes(*slot.kept);
        else if (g_codec == nullptr || g_codec->write == nullptr || !g_codec->write(*slot.generator, record.Stream()))
            continue; // a generator nobody can write is left out, not half written
        if (!record.Finish())
            return false;
    }
    return out.Status() == SWchunkstream::kStatusGood;
}

bool SWparticlenode::ReadBody(SWchunkstream& in)
{
    std::array<float, SWparticles::kParameterCount> parameters{};
    std::array<uint32_t, SWparticles::kColourCount> colours{};
    bool hasParameters = false;
    bool hasColours = false;
    std::array<Slot, kSlotCount> slots;
    while (in.Status() == 0 && in.Remaining() >= 8) {
        const uint32_t tag = in.TakeTag();
        const std::unique_ptr<SWchunkstream> child = in.OpenChild();
        if (tag == kTagParameters) {
            for (float& value : parameters)
                child->ReadF32(value);
            hasParameters = true;
        } else if (tag == kTagColours) {
            for (uint32_t& colour : colours)
                child->ReadU32(colour);
            hasColours = true;
        } else if (tag == kTagSlot) {
            const uint8_t index = child->ReadU8();
            if (child->Status() != 0 || index >= kSlotCount)
                return false;
            Slot& slot = slots[index];
            if (g_codec != nullptr && g_codec->read != nullptr &&
                (g_codec->knows == nullptr || g_codec->knows(child->PeekTag()))) {
                slot.generator = g_codec->read(*child);
                if (slot.generator == nullptr || child->Remaining() != 0)
                    return false; // damaged, or more after the generator than a slot holds
            } else {
                std::vector<uint8_t> bytes(static_cast<size_t>(child->Remaining()));
                child->ReadBytes(bytes);
                slot.kept = std::move(bytes);
            }
        }
        if (child->Status() != 0)
            return false;
    }
    if (in.Status() != 0 || !hasParameters || !hasColours)
        return false;
    for (int i = 0; i < SWparticles::kParameterCount; ++i)
        m_particles.SetParameter(i, parameters[i]);
    m_particles.SetColourTable(colours.data());
    m_slots = std::move(slots);
    return true;
}

void SetParticleWorldTime(SWworld& world)
{
    const float now = world.GetCurrentWorldTime();
    for (SWgeometry* g = world.GetRootObject()->GetFirstGeometry(); g != nullptr;
         g = dynamic_cast<SWgeometry*>(g->GetNextSibling()))
        if (auto* node = dynamic_cast<SWparticlenode*>(g)) {
            node->SetWorldTime(now);
            // Particles move every frame whatever their motion reports, so the view is never still while
            // any live: a still view would be refined from frames that no longer show them.
            if (node->GetParticles().IsRunning() || node->GetParticles().GetLiveCount() != 0)
                world.SetNothingAnimated(0);
        }
}
