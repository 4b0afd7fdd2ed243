#include "render/mesh/vertex_shading.h"

#include <bit>
#include <cmath>

#include "render/render_camera.h"
#include "render/render_drivers.h"
#include "render/render_target.h"

namespace {

constexpr float kTiny = 1.1754944e-38f;

float Dot(const SWvector& a, const SWvector& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

float Dot(const float* a, const SWvector& b)
{
    return a[0] * b.x + a[1] * b.y + a[2] * b.z;
}

SWvector Cross(const SWvector& a, const SWvector& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

SWvector Minus(const SWvector& a, const SWvector& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

uint32_t MagnitudeBits(float value)
{
    return std::bit_cast<uint32_t>(value) & 0x7FFFFFFFu;
}

void PutFloat(uint32_t* vertex, int word, float value)
{
    vertex[word] = std::bit_cast<uint32_t>(value);
}

} // namespace

SWvector NormaliseTiny(const SWvector& v)
{
    const float scale = 1.0f / std::sqrt(Dot(v, v) + kTiny);
    return {v.x * scale, v.y * scale, v.z * scale};
}

void SetUpFrameLighting(const SWmatrix& view, const SWmatrix& render, const SWrendercamera& camera,
                        SWframelighting& out)
{
    view.Multiply(out.combined, render);
    out.combined.Invert(out.objectFromView);
    render.Invert(out.objectFromWorld);
    out.eye = out.objectFromView.TransformPoint({0.0f, 0.0f, 0.0f});
    out.viewX = NormaliseTiny(Minus(out.objectFromView.TransformPoint({-1.0f, 0.0f, 0.0f}), out.eye));
    out.viewY = NormaliseTiny(Minus(out.objectFromView.TransformPoint({0.0f, -1.0f, 0.0f}), out.eye));
    const SWvector& p = camera.GetPosition();
    const SWvector& f = camera.GetDirection();
    const SWvector& up = camera.GetUp();
    const float s = camera.GetScale().z;
    const SWvector world = {p.x + s * (600.0f * up.x + 3000.0f * f.x), p.y + s * (600.0f * up.y + 3000.0f * f.y),
                            p.z + s * (600.0f * up.z + 3000.0f * f.z)};
    out.light = out.objectFromWorld.TransformPoint(world);
    out.lightUnit = NormaliseTiny(out.light);
    const SWvector upObject = out.objectFromWorld.TransformPoint(up);
    out.b1 = NormaliseTiny(Cross(upObject, out.light));
    out.b2 = NormaliseTiny(Cross(out.b1, out.light));
}

uint32_t ShadeIndex(const float* normal, const SWvector& lightUnit)
{
    const float c = Dot(normal, lightUnit);
    // A normal a little longer than one would index past the table; NaN has no index at all.
    if (!(c > 0.0f))
        return 0;
    const float scaled = c * 16383.0f;
    if (!(scaled < 16383.0f))
        return kAngleTableSize - 1;
    return static_cast<uint32_t>(scaled);
}

uint8_t ShadeOf(uint32_t index)
{
    return static_cast<uint8_t>(SWrenderdrivers::AngleTable()[index < kAngleTableSize ? index : 0] >> 8);
}

uint8_t VertexOutcode(float x, float y, float z, float nearValue)
{
    uint8_t code = 64;
    const uint32_t magnitudeZ = MagnitudeBits(z);
    if (MagnitudeBits(x) > magnitudeZ)
        code = x >= 0.0f ? 2 : 1;
    if (MagnitudeBits(y) > magnitudeZ)
        code = static_cast<uint8_t>((code & ~64) | (y < 0.0f ? 4 : 8));
    if (z > nearValue)
        code = static_cast<uint8_t>((code & ~64) | 16);
    else if (z < -1.0f)
        code = static_cast<uint8_t>((code & ~64) | 32);
    return code;
}

void HighlightPair(const float* normal, float c, const SWframelighting& lighting, float k, float o, float& u, float& v)
{
    const float a = Dot(normal, lighting.b2);
    const float b = Dot(normal, lighting.b1);
    if (c >= 0.0f) {
        u = a * k + o;
        v = b * k + o;
        return;
    }
    const float r = std::sqrt(a * a + b * b + 1e-9f);
    const float f = (2.0f - r) / r;
    u = f * a * k + o;
    v = f * b * k + o;
}

void ReflectionPair(const float* position, const float* normal, const SWframelighting& lighting, float& u, float& v)
{
    const SWvector view =
        NormaliseTiny({position[0] - lighting.eye.x, position[1] - lighting.eye.y, position[2] - lighting.eye.z});
    const SWvector r = {view.x + normal[0], view.y + normal[1], view.z + normal[2]};
    u = Dot(r, lighting.viewX) * 0.375f + 0.5f;
    v = Dot(r, lighting.viewY) * 0.375f + 0.5f;
}

uint32_t Dot3Colour(const SWtangentframe& frame, const SWvector& lightUnit)
{
    const SWvector& l = lightUnit;
    const SWvector t = NormaliseTiny({l.x * frame[0] + l.y * frame[1] + l.z * frame[2],
                                      l.x * frame[3] + l.y * frame[4] + l.z * frame[5],
                                      l.x * frame[6] + l.y * frame[7] + l.z * frame[8]});
    // Each term lies in 0..254 for a unit t; a frame of NaN gives 0 rather than an undefined conversion.
    const auto channel = [](float value, float scale) -> uint32_t {
        const float scaled = (1.0f - value) * scale;
        return scaled >= 0.0f && scaled < 4294967040.0f ? static_cast<uint32_t>(scaled) : 0u;
    };
    return (channel(t.z, 8323072.0f) & 0xFF0000u) | (channel(t.y, 32512.0f) & 0xFF00u) | (channel(t.x, 127.0f) & 0xFFu);
}

void ShadeVertices(const SWvertexstage& stage, uint32_t* out, uint8_t* outcodes)
{
    const SWdrawgroup& group = *stage.group;
    const SWframelighting& lighting = *stage.lighting;
    const SWshadedata& shade = *stage.shade;
    const SWmatrix& m = lighting.combined;
    const uint32_t count = group.VertexCount();
    const uint32_t stride = stage.stride;
    const SWvertexlayout& layout = group.layout;
    const bool hasCoordinates = !group.coordinates.empty();
    const uint32_t flags = group.drawFlags;
    const uint32_t* constants = layout.textureWord >= 0 ? shade.textured : shade.untextured;
    if (stride < 6 || out == nullptr || (stage.viewport == nullptr && outcodes == nullptr))
        return;
    // The layout was made for the group's own stride; a pair that would not fit this one is left out.
    const auto fits = [stride](int word) { return word >= 0 && static_cast<uint32_t>(word) + 2 <= stride; };
    for (uint32_t i = 0; i < count; ++i) {
        if (i / 32 >= stage.visible.size() || (stage.visible[i / 32] & (1u << (i % 32))) == 0)
            continue;
        const float* record = &group.vertices[size_t{i} * 6];
        const float* normal = record + 3;
        uint32_t* vertex = out + size_t{i} * stride;
        const float x = m[0] * record[0] + m[1] * record[1] + m[2] * record[2] + m[3];
        const float y = m[4] * record[0] + m[5] * record[1] + m[6] * record[2] + m[7];
        const float z = m[8] * record[0] + m[9] * record[1] + m[10] * record[2] + m[11];
        if (stage.viewport != nullptr) {
            const SWviewport& f = *stage.viewport;
            const float q = 1.0f / z;
            PutFloat(vertex, 0, x * q * f.xScale + f.xOffset);
            PutFloat(vertex, 1, y * q * f.yScale + f.yOffset);
            PutFloat(vertex, 2, z * f.depthScale + f.depthOffset);
            PutFloat(vertex, 3, std::fabs(q));
        } else {
            PutFloat(vertex, 0, x);
            PutFloat(vertex, 1, y);
            PutFloat(vertex, 2, z);
            PutFloat(vertex, 3, 0.0f);
            outcodes[i] = VertexOutcode(x, y, z, stage.nearValue);
        }
        const float c = Dot(normal, lighting.lightUnit);
        const uint32_t index = ShadeIndex(normal, lighting.lightUnit);
        const uint8_t level = ShadeOf(index);
        const auto ramps = [&](uint8_t at) {
            vertex[4] = shade.ramp1 != nullptr ? shade.ramp1[at] : 0;
            vertex[5] = shade.ramp2 != nullptr ? shade.ramp2[at] : 0;
        };
        vertex[4] = 0;
        vertex[5] = 0;
        if ((flags & kDrawShaded) != 0)
            ramps(level);
        if ((flags & kDrawContinuous) != 0) {
            vertex[4] = constants[0];
            vertex[5] = constants[1];
        }
        if (fits(layout.highlightWord)) {
            ramps(c >= 0.0f ? level : 0);
            float u = 0.0f;
            float v = 0.0f;
            HighlightPair(normal, c, lighting, shade.highlightScale, shade.highlightOffset, u, v);
            PutFloat(vertex, layout.highlightWord, u);
            PutFloat(vertex, layout.highlightWord + 1, v);
        }
        if (fits(layout.textureWord)) {
            const float u = hasCoordinates ? group.coordinates[size_t{i} * 2] : 0.0f;
            const float v = hasCoordinates ? group.coordinates[size_t{i} * 2 + 1] : 0.0f;
            PutFloat(vertex, layout.textureWord, u);
            PutFloat(vertex, layout.textureWord + 1, v);
        }
        if (fits(layout.reflectionWord)) {
            float u = 0.0f;
            float v = 0.0f;
            ReflectionPair(record, normal, lighting, u, v);
            PutFloat(vertex, layout.reflectionWord, u);
            PutFloat(vertex, layout.reflectionWord + 1, v);
        }
    }
}
