#include "render/mesh/clipper.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/format_record.h"
#include "render/render_batch.h"
#include "render/render_target.h"

namespace {

constexpr uint8_t kPlaneBits = 63;
constexpr uint8_t kNearFar = 16 | 32;
constexpr uint8_t kPairY = 4 | 8;
constexpr uint8_t kPairX = 1 | 2;
constexpr float kSideNudge = 1.1920929e-7f; // 2^-23: the new vertex lands a hair inside, never back outside

float Word(const uint32_t* vertex, int word)
{
    float value;
    std::memcpy(&value, vertex + word, sizeof value);
    return value;
}

void SetWord(uint32_t* vertex, int word, float value)
{
    std::memcpy(vertex + word, &value, sizeof value);
}

// 8-bit channels mixed with weight w of 256 toward b.
uint32_t BlendColour(uint32_t a, uint32_t b, uint32_t w)
{
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t ca = (a >> shift) & 0xFF;
        const uint32_t cb = (b >> shift) & 0xFF;
        result |= ((ca * (256 - w) + cb * w) >> 8) << shift;
    }
    return result;
}

uint8_t SideCode(float x, float y, float z, bool withY)
{
    uint8_t code = 0;
    if (x < z)
        code |= 1;
    if (x > -z)
        code |= 2;
    if (withY) {
        if (y < z)
            code |= 4;
        if (y > -z)
            code |= 8;
    }
    return code;
}

} // namespace

bool SWclipper::SetTarget(const SWrendertarget* target)
{
    m_target = target;
    return true;
}

SWprimitivenode* SWclipper::ClipQueuedTriangle(SWprimitivenode* primitive, const uint8_t* outcodes,
                                               SWrenderbatch& batch)
{
    const uint8_t orCode = (outcodes[0] | outcodes[1] | outcodes[2]) & kPlaneBits;
    if (orCode == 0)
        return primitive;
    if (!ClipPolygon(primitive, outcodes, orCode, batch))
        batch.Unlink(primitive);
    return primitive;
}

bool SWclipper::ClipPolygon(SWprimitivenode* primitive, const uint8_t* outcodes, uint8_t orCode, SWrenderbatch& batch)
{
    const SWtexturestages* format = primitive->format;
    if (format == nullptr || format->vertexStride < 4 || primitive->vertices == nullptr)
        return false;
    m_stride = format->vertexStride;
    m_lead = format->firstFloatWord < 4 ? 4 : (format->firstFloatWord > m_stride ? m_stride : format->firstFloatWord);

    std::memcpy(m_a.words, primitive->vertices, sizeof(uint32_t) * 3 * m_stride);
    for (int i = 0; i < 3; ++i)
        m_a.codes[i] = outcodes[i] & kPlaneBits;

    Work* in = &m_a;
    Work* out = &m_b;
    int count = 3;
    uint8_t running = orCode & kPlaneBits;
    for (const uint8_t pair : {kNearFar, kPairY, kPairX}) {
        if ((running & pair) == 0)
            continue;
        count = ClipPass(*in, count, *out, pair, running);
        if (count < 3)
            return false; // includes a pass that would have overflowed the work buffers
        Work* const swap = in;
        in = out;
        out = swap;
    }
    EmitFan(primitive, *in, count, batch);
    return true;
}

int SWclipper::ClipPass(const Work& in, int count, Work& out, uint8_t pairBits, uint8_t& outRunningCode) const
{
    int written = 0;
    int prev = count - 1;
    for (int cur = 0; cur < count; prev = cur++) {
        const uint8_t prevCode = in.codes[prev] & pairBits;
        const uint8_t curCode = in.codes[cur] & pairBits;
        if ((prevCode | curCode) == 0) {
            if (written >= kMostVertices)
                return -1;
            std::memcpy(out.words + written * m_stride, in.words + cur * m_stride, sizeof(uint32_t) * m_stride);
            out.codes[written++] = in.codes[cur];
            continue;
        }
        if ((prevCode & curCode) != 0)
            continue;
        const uint8_t lowBit = pairBits & static_cast<uint8_t>(-pairBits); // 16, 4 or 1
        if (prevCode != 0 &&
            !WriteIntersection(in, prev, cur, (prevCode & lowBit) ? lowBit : pairBits & ~lowBit, out, written))
            return -1;
        if (curCode == 0) {
            if (written >= kMostVertices)
                return -1;
            std::memcpy(out.words + written * m_stride, in.words + cur * m_stride, sizeof(uint32_t) * m_stride);
            out.codes[written++] = in.codes[cur];
        } else if (!WriteIntersection(in, prev, cur, (curCode & lowBit) ? lowBit : pairBits & ~lowBit, out, written)) {
            return -1;
        }
    }
    outRunningCode = 0;
    for (int i = 0; i < written; ++i)
        outRunningCode |= out.codes[i];
    return written;
}

bool SWclipper::WriteIntersection(const Work& in, int prev, int cur, uint8_t planeBit, Work& out, int& count) const
{
    if (count >= kMostVertices)
        return false;
    const uint32_t* const p = in.words + prev * m_stride;
    const uint32_t* const c = in.words + cur * m_stride;
    const float px = Word(p, 0), py = Word(p, 1), pz = Word(p, 2);
    const float dx = Word(c, 0) - px, dy = Word(c, 1) - py, dz = Word(c, 2) - pz;

    float t = 0.0f;
    bool prevInside = false;
    const bool isDepthPlane = planeBit >= 16;
    const float planeZ = planeBit == 16 ? m_near : -1.0f;
    switch (planeBit) {
    case 16:
    case 32:
        t = (planeZ - pz) / dz;
        break;
    case 4:
        t = (py - pz) / (dz - dy);
        prevInside = py > pz;
        break;
    case 8:
        t = (py + pz) / (-dz - dy);
        prevInside = py < -pz;
        break;
    case 1:
        t = (px - pz) / (dz - dx);
        prevInside = px > pz;
        break;
    default:
        t = (px + pz) / (-dz - dx);
        prevInside = px < -pz;
        break;
    }
    // The nudge goes toward the end that is inside. A prev lying exactly on the plane is inside by its outcode,
    // though not strictly: nudging toward cur would then step outside by 2^-23 of the edge.
    if (!isDepthPlane)
        t += (prevInside || (in.codes[prev] & planeBit) == 0) ? -kSideNudge : kSideNudge;
    // Rounding and non-finite input may leave t outside the edge; the colour weight must stay in 0..256.
    if (!(t >= 0.0f))
        t = 0.0f;
    if (t > 1.0f)
        t = 1.0f;

    uint32_t* const v = out.words + count * m_stride;
    float x = px + t * dx;
    float y = py + t * dy;
    // Both ends lie within the depth range once near and far are cut, and so does every point between them;
    // rounding of pz + t dz may not (t = 1 from z = -0.5 to a near value of -1e-10 gives 0), and a z of 0 or
    // above would project to infinity.
    float z = isDepthPlane ? planeZ : pz + t * dz;
    if (!isDepthPlane && (in.codes[prev] & 48) == 0 && (in.codes[cur] & 48) == 0)
        z = std::min(std::max(z, -1.0f), m_near);
    // The nudge is a step on t, so on a long edge it moves the point by far more than the pair's planes lie apart
    // next to the eye (2e-10 at a near value of -1e-10): the cut coordinate stays between its two planes.
    if (planeBit == 1 || planeBit == 2)
        x = std::min(std::max(x, z), -z);
    else if (planeBit == 4 || planeBit == 8)
        y = std::min(std::max(y, z), -z);
    SetWord(v, 0, x);
    SetWord(v, 1, y);
    SetWord(v, 2, z);
    v[3] = 0;
    const uint32_t w = static_cast<uint32_t>(256.0f * t);
    for (int word = 4; word < m_lead; ++word)
        v[word] = BlendColour(p[word], c[word], w);
    for (int word = m_lead; word < m_stride; ++word)
        SetWord(v, word, Word(p, word) + (Word(c, word) - Word(p, word)) * t);

    if (isDepthPlane)
        out.codes[count] = SideCode(x, y, z, true);
    else if (planeBit == 4 || planeBit == 8)
        out.codes[count] = SideCode(x, y, z, false);
    else
        out.codes[count] = 0;
    ++count;
    return true;
}

void SWclipper::EmitFan(SWprimitivenode* primitive, const Work& polygon, int count, SWrenderbatch& batch)
{
    const size_t triangleWords = static_cast<size_t>(3) * m_stride;
    // The producer's vertex words are its own or the batch's: the node only lends them as const.
    std::memcpy(const_cast<uint32_t*>(primitive->vertices), polygon.words, sizeof(uint32_t) * triangleWords);
    for (int k = 2; k <= count - 2; ++k) {
        SWprimitivenode* const node = batch.AllocPrimitives(1);
        uint32_t* const words = node != nullptr ? batch.TakeWords(static_cast<uint32_t>(triangleWords)) : nullptr;
        if (words == nullptr)
            return; // no memory: the rest of the fan is dropped and the frame goes on
        std::memcpy(words, polygon.words, sizeof(uint32_t) * m_stride);
        std::memcpy(words + m_stride, polygon.words + k * m_stride, sizeof(uint32_t) * 2 * m_stride);
        for (int i = 0; i < 3; ++i)
            Project(words + i * m_stride);
        node->format = primitive->format;
        node->vertices = words;
        batch.AppendPrimitives(node);
        ++m_fanTriangles;
    }
}

void SWclipper::Project(uint32_t* vertex) const
{
    const SWviewport viewport = m_target != nullptr ? m_target->Viewport() : SWviewport{};
    const float z = Word(vertex, 2);
    const float r = 1.0f / z;
    SetWord(vertex, 0, Word(vertex, 0) * r * viewport.xScale + viewport.xOffset);
    SetWord(vertex, 1, Word(vertex, 1) * r * viewport.yScale + viewport.yOffset);
    SetWord(vertex, 2, z * viewport.depthScale + viewport.depthOffset);
    SetWord(vertex, 3, std::fabs(r));
}
