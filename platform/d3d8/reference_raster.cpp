#include "platform/d3d8/reference_raster.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

namespace pf {

namespace {

constexpr int64_t kSubpixel = 256;
// Positions beyond this many pixels from the origin are not drawn: they cannot touch a real target, and the
// fixed-point edge products stay far inside 64 bits.
constexpr float kMaxCoordinate = 1 << 20;

struct Colour {
    float a = 1, r = 1, g = 1, b = 1; // 0..1
};

Colour unpack(uint32_t argb)
{
    return {static_cast<float>(argb >> 24) / 255.0f, static_cast<float>((argb >> 16) & 0xFF) / 255.0f,
            static_cast<float>((argb >> 8) & 0xFF) / 255.0f, static_cast<float>(argb & 0xFF) / 255.0f};
}

uint32_t toByte(float v)
{
    if (!(v > 0.0f))
        return 0;
    if (v >= 1.0f)
        return 255;
    return static_cast<uint32_t>(std::lround(v * 255.0f));
}

uint32_t pack(const Colour& c)
{
    return (toByte(c.a) << 24) | (toByte(c.r) << 16) | (toByte(c.g) << 8) | toByte(c.b);
}

uint32_t expand(uint32_t raw, uint32_t mask, uint32_t absent)
{
    if (mask == 0)
        return absent;
    const int shift = std::countr_zero(mask);
    const uint32_t max = mask >> shift;
    return (((raw & mask) >> shift) * 255 + max / 2) / max;
}

uint32_t narrow(uint32_t channel, uint32_t mask)
{
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const uint32_t max = mask >> shift;
    return (((channel * max + 127) / 255) << shift) & mask;
}

struct ScreenVertex {
    float x = 0, y = 0, z = 0, rhw = 1;
    uint32_t diffuse = 0, specular = 0;
    std::array<std::array<float, 2>, kD3DStages> uv{};
};

struct ClipVertex {
    std::array<float, 4> clip{}; // homogeneous, before the divide
    InputVertex source;
};

std::array<float, 4> transform(const std::array<float, 4>& p, const D3DMATRIX& m)
{
    std::array<float, 4> out{};
    for (int c = 0; c < 4; ++c)
        out[c] = p[0] * m.m[0][c] + p[1] * m.m[1][c] + p[2] * m.m[2][c] + p[3] * m.m[3][c];
    return out;
}

D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
    return r;
}

uint32_t lerpColour(uint32_t a, uint32_t b, float t)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const float ca = static_cast<float>((a >> shift) & 0xFF);
        const float cb = static_cast<float>((b >> shift) & 0xFF);
        out |= static_cast<uint32_t>(std::lround(ca + (cb - ca) * t)) << shift;
    }
    return out;
}

ClipVertex lerpClip(const ClipVertex& a, const ClipVertex& b, float t)
{
    ClipVertex r;
    for (int i = 0; i < 4; ++i)
        r.clip[i] = a.clip[i] + (b.clip[i] - a.clip[i]) * t;
    r.source.diffuse = lerpColour(a.source.diffuse, b.source.diffuse, t);
    r.source.specular = lerpColour(a.source.specular, b.source.specular, t);
    for (uint32_t s = 0; s < kD3DStages; ++s)
        for (int k = 0; k < 2; ++k)
            r.source.uv[s][k] = a.source.uv[s][k] + (b.source.uv[s][k] - a.source.uv[s][k]) * t;
    return r;
}

float wrapOrClamp(float coordinate, uint32_t size, uint32_t address, int32_t& index0, int32_t& index1)
{
    // Texel centres at (i + 0.5) / size: the sample position in texels, less half a texel. In double, so that no
    // finite float coordinate overflows on its way to an index.
    const double texel = std::isfinite(coordinate) ? double{coordinate} * size - 0.5 : 0.0;
    const double base = std::floor(texel);
    const auto fraction = static_cast<float>(texel - base);
    const auto place = [&](double i) {
        const auto n = static_cast<int64_t>(size);
        if (address == D3DTADDRESS_CLAMP)
            return static_cast<int32_t>(std::clamp<double>(i, 0.0, static_cast<double>(n - 1)));
        const auto wrapped = static_cast<int64_t>(std::fmod(i, static_cast<double>(n)));
        return static_cast<int32_t>(wrapped < 0 ? wrapped + n : wrapped);
    };
    index0 = place(base);
    index1 = place(base + 1.0);
    return fraction;
}

class Pipeline {
public:
    Pipeline(const RasterTarget& target, const D3DDeviceState& state, const BoundTextures& textures)
        : m_target(target), m_state(state), m_textures(textures), m_format(pixelFormatInfo(target.colour.format))
    {
        const D3DVIEWPORT8& vp = state.viewport;
        m_clipL = static_cast<int64_t>(vp.X);
        m_clipT = static_cast<int64_t>(vp.Y);
        m_clipR = std::min<int64_t>(int64_t{vp.X} + vp.Width, target.colour.width);
        m_clipB = std::min<int64_t>(int64_t{vp.Y} + vp.Height, target.colour.height);
    }

    void triangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c)
    {
        const ScreenVertex* v[3] = {&a, &b, &c};
        int64_t x[3], y[3];
        for (int i = 0; i < 3; ++i) {
            if (!(std::fabs(v[i]->x) < kMaxCoordinate && std::fabs(v[i]->y) < kMaxCoordinate))
                return;
            x[i] = std::llround(v[i]->x * kSubpixel);
            y[i] = std::llround(v[i]->y * kSubpixel);
        }
        int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
        if (area == 0)
            return;
        // On a screen whose y grows downwards a positive area is clockwise.
        const uint32_t cull = m_state.renderStates[D3DRS_CULLMODE];
        if ((cull == D3DCULL_CW && area > 0) || (cull == D3DCULL_CCW && area < 0))
            return;
        if (area < 0) {
            std::swap(v[1], v[2]);
            std::swap(x[1], x[2]);
            std::swap(y[1], y[2]);
            area = -area;
        }
        const int64_t minX = std::max(m_clipL, ceilDiv(std::min({x[0], x[1], x[2]})));
        const int64_t maxX = std::min(m_clipR - 1, floorDiv(std::max({x[0], x[1], x[2]})));
        const int64_t minY = std::max(m_clipT, ceilDiv(std::min({y[0], y[1], y[2]})));
        const int64_t maxY = std::min(m_clipB - 1, floorDiv(std::max({y[0], y[1], y[2]})));
        if (minX > maxX || minY > maxY)
            return;
        bool topLeft[3];
        for (int e = 0; e < 3; ++e) {
            const int n = (e + 1) % 3;
            const int64_t dx = x[n] - x[e];
            const int64_t dy = y[n] - y[e];
            topLeft[e] = dy < 0 || (dy == 0 && dx > 0);
        }
        const double invArea = 1.0 / static_cast<double>(area);
        for (int64_t py = minY; py <= maxY; ++py) {
            for (int64_t px = minX; px <= maxX; ++px) {
                const int64_t sx = px * kSubpixel;
                const int64_t sy = py * kSubpixel;
                int64_t edge[3];
                bool inside = true;
                for (int e = 0; e < 3 && inside; ++e) {
                    const int n = (e + 1) % 3;
                    edge[e] = (x[n] - x[e]) * (sy - y[e]) - (y[n] - y[e]) * (sx - x[e]);
                    inside = edge[e] > 0 || (edge[e] == 0 && topLeft[e]);
                }
                if (!inside)
                    continue;
                // Edge e is opposite the corner after its far end: corner (e + 2) % 3.
                const double w[3] = {static_cast<double>(edge[1]) * invArea, static_cast<double>(edge[2]) * invArea,
                                     static_cast<double>(edge[0]) * invArea};
                shade(static_cast<uint32_t>(px), static_cast<uint32_t>(py), v, w);
            }
        }
    }

private:
    static int64_t ceilDiv(int64_t v) { return v >= 0 ? (v + kSubpixel - 1) / kSubpixel : -((-v) / kSubpixel); }
    static int64_t floorDiv(int64_t v) { return v >= 0 ? v / kSubpixel : -((-v + kSubpixel - 1) / kSubpixel); }

    void shade(uint32_t px, uint32_t py, const ScreenVertex* const v[3], const double w[3])
    {
        const double z = w[0] * v[0]->z + w[1] * v[1]->z + w[2] * v[2]->z;
        if (!depthTest(px, py, static_cast<float>(z)))
            return;
        // Attributes are perspective-correct: interpolated over rhw, then divided by the interpolated rhw.
        double pw[3];
        double rhwSum = 0;
        for (int i = 0; i < 3; ++i) {
            pw[i] = w[i] * static_cast<double>(v[i]->rhw);
            rhwSum += pw[i];
        }
        if (std::isfinite(rhwSum) && std::fabs(rhwSum) > 1e-30) {
            for (double& p : pw)
                p /= rhwSum;
        } else {
            for (int i = 0; i < 3; ++i)
                pw[i] = w[i];
        }
        Colour diffuse, specular;
        interpolateColour(v, pw, &ScreenVertex::diffuse, diffuse);
        interpolateColour(v, pw, &ScreenVertex::specular, specular);
        std::array<std::array<float, 2>, kD3DStages> uv{};
        for (uint32_t s = 0; s < kD3DStages; ++s)
            for (int k = 0; k < 2; ++k)
                uv[s][k] = static_cast<float>(pw[0] * v[0]->uv[s][k] + pw[1] * v[1]->uv[s][k] + pw[2] * v[2]->uv[s][k]);
        Colour out = stages(diffuse, specular, uv);
        if (m_state.renderStates[D3DRS_SPECULARENABLE] != 0) {
            out.r = std::min(1.0f, out.r + specular.r);
            out.g = std::min(1.0f, out.g + specular.g);
            out.b = std::min(1.0f, out.b + specular.b);
        }
        uint8_t* pixel = m_target.colour.bits + uint64_t{py} * m_target.colour.pitch + uint64_t{px} * m_format.bytes;
        if (m_state.renderStates[D3DRS_ALPHABLENDENABLE] != 0)
            out = blend(out, unpack(readArgb(m_format, pixel)));
        writeArgb(m_format, pixel, pack(out));
    }

    bool depthTest(uint32_t px, uint32_t py, float z)
    {
        if (m_target.depth == nullptr || m_state.renderStates[D3DRS_ZENABLE] == D3DZB_FALSE)
            return true;
        uint32_t& stored = m_target.depth[uint64_t{py} * m_target.colour.width + px];
        const uint32_t incoming = quantiseDepth(m_target.depthFormat, z);
        bool pass = false;
        switch (m_state.renderStates[D3DRS_ZFUNC]) {
        case D3DCMP_NEVER:
            pass = false;
            break;
        case D3DCMP_LESS:
            pass = incoming < stored;
            break;
        case D3DCMP_EQUAL:
            pass = incoming == stored;
            break;
        case D3DCMP_LESSEQUAL:
            pass = incoming <= stored;
            break;
        case D3DCMP_GREATER:
            pass = incoming > stored;
            break;
        case D3DCMP_NOTEQUAL:
            pass = incoming != stored;
            break;
        case D3DCMP_GREATEREQUAL:
            pass = incoming >= stored;
            break;
        default:
            pass = true;
            break;
        }
        if (pass && m_state.renderStates[D3DRS_ZWRITEENABLE] != 0)
            stored = incoming;
        return pass;
    }

    static void interpolateColour(const ScreenVertex* const v[3], const double w[3], uint32_t ScreenVertex::*field,
                                  Colour& out)
    {
        float channel[4];
        for (int k = 0; k < 4; ++k) {
            const int shift = 24 - 8 * k;
            double sum = 0;
            for (int i = 0; i < 3; ++i)
                sum += w[i] * static_cast<double>(((v[i]->*field) >> shift) & 0xFF);
            channel[k] = static_cast<float>(sum / 255.0);
        }
        out = {channel[0], channel[1], channel[2], channel[3]};
    }

    Colour sample(uint32_t stage, const std::array<std::array<float, 2>, kD3DStages>& uv) const
    {
        const RasterImage* image = m_textures[stage];
        // A stage without a texture reads opaque white, so an untextured draw shows its vertex colours.
        if (image == nullptr || image->width == 0 || image->height == 0)
            return {};
        const auto& ss = m_state.stageStates[stage];
        const uint32_t set = ss[D3DTSS_TEXCOORDINDEX] & 7;
        const PixelFormatInfo info = pixelFormatInfo(image->format);
        if (info.bytes == 0)
            return {};
        const auto texel = [&](int32_t tx, int32_t ty) {
            return unpack(readArgb(info, image->bits + static_cast<uint64_t>(ty) * image->pitch +
                                             static_cast<uint64_t>(tx) * info.bytes));
        };
        const float u = std::isfinite(uv[set][0]) ? uv[set][0] : 0.0f;
        const float v = std::isfinite(uv[set][1]) ? uv[set][1] : 0.0f;
        int32_t x0 = 0, x1 = 0, y0 = 0, y1 = 0;
        const float fx = wrapOrClamp(u, image->width, ss[D3DTSS_ADDRESSU], x0, x1);
        const float fy = wrapOrClamp(v, image->height, ss[D3DTSS_ADDRESSV], y0, y1);
        if (ss[D3DTSS_MAGFILTER] != D3DTEXF_LINEAR) {
            // Point sampling takes the texel whose centre is nearest.
            return texel(fx < 0.5f ? x0 : x1, fy < 0.5f ? y0 : y1);
        }
        const Colour c00 = texel(x0, y0), c10 = texel(x1, y0), c01 = texel(x0, y1), c11 = texel(x1, y1);
        const auto mix = [&](float a, float b, float c, float d) {
            return (a * (1 - fx) + b * fx) * (1 - fy) + (c * (1 - fx) + d * fx) * fy;
        };
        return {mix(c00.a, c10.a, c01.a, c11.a), mix(c00.r, c10.r, c01.r, c11.r), mix(c00.g, c10.g, c01.g, c11.g),
                mix(c00.b, c10.b, c01.b, c11.b)};
    }

    Colour argument(uint32_t arg, const Colour& current, const Colour& diffuse, const Colour& specular,
                    const Colour& texture) const
    {
        Colour c;
        switch (arg & D3DTA_SELECTMASK) {
        case D3DTA_DIFFUSE:
            c = diffuse;
            break;
        case D3DTA_CURRENT:
            c = current;
            break;
        case D3DTA_TEXTURE:
            c = texture;
            break;
        case D3DTA_TFACTOR:
            c = unpack(m_state.renderStates[D3DRS_TEXTUREFACTOR]);
            break;
        case D3DTA_SPECULAR:
            c = specular;
            break;
        default:
            c = current;
            break;
        }
        if ((arg & D3DTA_COMPLEMENT) != 0)
            c = {1 - c.a, 1 - c.r, 1 - c.g, 1 - c.b};
        if ((arg & D3DTA_ALPHAREPLICATE) != 0)
            c = {c.a, c.a, c.a, c.a};
        return c;
    }

    // MODULATE rounds as (a * b + 127) / 255 on bytes, so that white leaves a value unchanged.
    static float modulate(float a, float b) { return static_cast<float>((toByte(a) * toByte(b) + 127) / 255) / 255.0f; }

    static float operate(uint32_t op, float a, float b, float dot)
    {
        switch (op) {
        case D3DTOP_SELECTARG1:
            return a;
        case D3DTOP_SELECTARG2:
            return b;
        case D3DTOP_MODULATE:
            return modulate(a, b);
        case D3DTOP_ADD:
            return std::min(1.0f, a + b);
        case D3DTOP_DOTPRODUCT3:
            return dot;
        default:
            return a;
        }
    }

    static float dot3(const Colour& a, const Colour& b)
    {
        const float d =
            4.0f * ((a.r - 0.5f) * (b.r - 0.5f) + (a.g - 0.5f) * (b.g - 0.5f) + (a.b - 0.5f) * (b.b - 0.5f));
        return std::clamp(d, 0.0f, 1.0f);
    }

    Colour stages(const Colour& diffuse, const Colour& specular, const std::array<std::array<float, 2>, kD3DStages>& uv)
    {
        Colour current = diffuse;
        for (uint32_t s = 0; s < kD3DStages; ++s) {
            const auto& ss = m_state.stageStates[s];
            const uint32_t colourOp = ss[D3DTSS_COLOROP];
            if (colourOp == D3DTOP_DISABLE)
                break; // a disabled colour operation ends the cascade
            const bool usesTexture = (ss[D3DTSS_COLORARG1] & D3DTA_SELECTMASK) == D3DTA_TEXTURE ||
                                     (ss[D3DTSS_COLORARG2] & D3DTA_SELECTMASK) == D3DTA_TEXTURE ||
                                     (ss[D3DTSS_ALPHAARG1] & D3DTA_SELECTMASK) == D3DTA_TEXTURE ||
                                     (ss[D3DTSS_ALPHAARG2] & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
            const Colour texture = usesTexture ? sample(s, uv) : Colour{};
            const Colour c1 = argument(ss[D3DTSS_COLORARG1], current, diffuse, specular, texture);
            const Colour c2 = argument(ss[D3DTSS_COLORARG2], current, diffuse, specular, texture);
            const float dot = colourOp == D3DTOP_DOTPRODUCT3 ? dot3(c1, c2) : 0.0f;
            Colour next = current;
            next.r = operate(colourOp, c1.r, c2.r, dot);
            next.g = operate(colourOp, c1.g, c2.g, dot);
            next.b = operate(colourOp, c1.b, c2.b, dot);
            const uint32_t alphaOp = ss[D3DTSS_ALPHAOP];
            if (colourOp == D3DTOP_DOTPRODUCT3) {
                next.a = dot; // the dot product goes to every channel
            } else if (alphaOp != D3DTOP_DISABLE) {
                const Colour a1 = argument(ss[D3DTSS_ALPHAARG1], current, diffuse, specular, texture);
                const Colour a2 = argument(ss[D3DTSS_ALPHAARG2], current, diffuse, specular, texture);
                next.a = operate(alphaOp, a1.a, a2.a, dot3(a1, a2));
            }
            current = next;
        }
        return current;
    }

    // Factors outside the recipes' four count as ONE.
    static float factor(uint32_t blend, const Colour& source)
    {
        switch (blend) {
        case D3DBLEND_ZERO:
            return 0.0f;
        case D3DBLEND_SRCALPHA:
            return source.a;
        case D3DBLEND_INVSRCALPHA:
            return 1.0f - source.a;
        default:
            return 1.0f;
        }
    }

    Colour blend(const Colour& src, const Colour& dst) const
    {
        const uint32_t sb = m_state.renderStates[D3DRS_SRCBLEND];
        const uint32_t db = m_state.renderStates[D3DRS_DESTBLEND];
        const auto mix = [&](float s, float d) { return std::min(1.0f, s * factor(sb, src) + d * factor(db, src)); };
        return {mix(src.a, dst.a), mix(src.r, dst.r), mix(src.g, dst.g), mix(src.b, dst.b)};
    }

    const RasterTarget& m_target;
    const D3DDeviceState& m_state;
    const BoundTextures& m_textures;
    PixelFormatInfo m_format;
    int64_t m_clipL = 0, m_clipT = 0, m_clipR = 0, m_clipB = 0;
};

ScreenVertex pretransformed(const InputVertex& in)
{
    ScreenVertex s;
    s.x = in.position[0];
    s.y = in.position[1];
    s.z = in.position[2];
    s.rhw = in.position[3];
    s.diffuse = in.diffuse;
    s.specular = in.specular;
    s.uv = in.uv;
    return s;
}

ScreenVertex project(const ClipVertex& c, const D3DVIEWPORT8& vp)
{
    ScreenVertex s;
    const float rhw = 1.0f / c.clip[3];
    // Pixel centres at whole coordinates: the viewport's left edge is at X - 0.5.
    s.x = static_cast<float>(vp.X) - 0.5f + (c.clip[0] * rhw + 1.0f) * 0.5f * static_cast<float>(vp.Width);
    s.y = static_cast<float>(vp.Y) - 0.5f + (1.0f - c.clip[1] * rhw) * 0.5f * static_cast<float>(vp.Height);
    s.z = vp.MinZ + c.clip[2] * rhw * (vp.MaxZ - vp.MinZ);
    s.rhw = rhw;
    s.diffuse = c.source.diffuse;
    s.specular = c.source.specular;
    s.uv = c.source.uv;
    return s;
}

} // namespace

PixelFormatInfo pixelFormatInfo(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_R8G8B8:
        return {3, 0, 0xFF0000, 0xFF00, 0xFF};
    case D3DFMT_A8R8G8B8:
        return {4, 0xFF000000, 0xFF0000, 0xFF00, 0xFF};
    case D3DFMT_X8R8G8B8:
        return {4, 0, 0xFF0000, 0xFF00, 0xFF};
    case D3DFMT_R5G6B5:
        return {2, 0, 0xF800, 0x07E0, 0x001F};
    case D3DFMT_X1R5G5B5:
        return {2, 0, 0x7C00, 0x03E0, 0x001F};
    case D3DFMT_A1R5G5B5:
        return {2, 0x8000, 0x7C00, 0x03E0, 0x001F};
    case D3DFMT_A4R4G4B4:
        return {2, 0xF000, 0x0F00, 0x00F0, 0x000F};
    default:
        return {};
    }
}

uint32_t readArgb(const PixelFormatInfo& info, const uint8_t* pixel)
{
    uint32_t raw = 0;
    for (uint32_t i = 0; i < info.bytes; ++i)
        raw |= uint32_t{pixel[i]} << (8 * i);
    return (expand(raw, info.alphaMask, 255) << 24) | (expand(raw, info.redMask, 0) << 16) |
           (expand(raw, info.greenMask, 0) << 8) | expand(raw, info.blueMask, 0);
}

void writeArgb(const PixelFormatInfo& info, uint8_t* pixel, uint32_t argb)
{
    const uint32_t raw = narrow(argb >> 24, info.alphaMask) | narrow((argb >> 16) & 0xFF, info.redMask) |
                         narrow((argb >> 8) & 0xFF, info.greenMask) | narrow(argb & 0xFF, info.blueMask);
    for (uint32_t i = 0; i < info.bytes; ++i)
        pixel[i] = static_cast<uint8_t>(raw >> (8 * i));
}

uint32_t quantiseDepth(D3DFORMAT depthFormat, float z)
{
    const float clamped = std::isfinite(z) ? std::clamp(z, 0.0f, 1.0f) : 1.0f;
    const double max = depthFormat == D3DFMT_D16 ? 65535.0 : 16777215.0;
    return static_cast<uint32_t>(std::lround(clamped * max));
}

void drawTriangles(const RasterTarget& target, const D3DDeviceState& state, const BoundTextures& textures, uint32_t fvf,
                   std::span<const InputVertex> vertices, std::span<const uint32_t> corners)
{
    if (pixelFormatInfo(target.colour.format).bytes == 0 || target.colour.bits == nullptr)
        return;
    Pipeline pipeline(target, state, textures);
    const bool transformed = (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
    const D3DMATRIX all = multiply(multiply(state.world, state.view), state.projection);
    const bool clipping = state.renderStates[D3DRS_CLIPPING] != 0;
    for (size_t t = 0; t + 2 < corners.size(); t += 3) {
        const uint32_t i0 = corners[t], i1 = corners[t + 1], i2 = corners[t + 2];
        if (i0 >= vertices.size() || i1 >= vertices.size() || i2 >= vertices.size())
            continue;
        if (transformed) {
            pipeline.triangle(pretransformed(vertices[i0]), pretransformed(vertices[i1]), pretransformed(vertices[i2]));
            continue;
        }
        std::vector<ClipVertex> polygon;
        for (const uint32_t i : {i0, i1, i2}) {
            ClipVertex c;
            std::array<float, 4> p = vertices[i].position;
            p[3] = 1.0f;
            c.clip = transform(p, all);
            c.source = vertices[i];
            polygon.push_back(c);
        }
        if (clipping) {
            // The near plane z >= 0, cut before the divide so that points behind the eye never reach it.
            std::vector<ClipVertex> cut;
            for (size_t k = 0; k < polygon.size(); ++k) {
                const ClipVertex& a = polygon[k];
                const ClipVertex& b = polygon[(k + 1) % polygon.size()];
                const bool aIn = a.clip[2] >= 0, bIn = b.clip[2] >= 0;
                if (aIn)
                    cut.push_back(a);
                if (aIn != bIn)
                    cut.push_back(lerpClip(a, b, a.clip[2] / (a.clip[2] - b.clip[2])));
            }
            polygon = std::move(cut);
        }
        if (polygon.size() < 3)
            continue;
        bool drawable = true;
        for (const ClipVertex& c : polygon)
            drawable = drawable && c.clip[3] > 0 && std::isfinite(c.clip[3]);
        if (!drawable)
            continue;
        const ScreenVertex first = project(polygon[0], state.viewport);
        for (size_t k = 1; k + 1 < polygon.size(); ++k)
            pipeline.triangle(first, project(polygon[k], state.viewport), project(polygon[k + 1], state.viewport));
    }
}

void clearTarget(const RasterTarget& target, const D3DVIEWPORT8& viewport, std::span<const D3DRECT> rects,
                 uint32_t flags, uint32_t argb, float z)
{
    const PixelFormatInfo info = pixelFormatInfo(target.colour.format);
    const int64_t vl = viewport.X, vt = viewport.Y;
    const int64_t vr = std::min<int64_t>(vl + viewport.Width, target.colour.width);
    const int64_t vb = std::min<int64_t>(vt + viewport.Height, target.colour.height);
    const D3DRECT whole{static_cast<int32_t>(std::min<int64_t>(vl, INT32_MAX)),
                        static_cast<int32_t>(std::min<int64_t>(vt, INT32_MAX)), static_cast<int32_t>(vr),
                        static_cast<int32_t>(vb)};
    const std::span<const D3DRECT> list = rects.empty() ? std::span<const D3DRECT>(&whole, 1) : rects;
    const uint32_t depth = quantiseDepth(target.depthFormat, z);
    for (const D3DRECT& r : list) {
        const int64_t l = std::max<int64_t>(r.x1, vl), t = std::max<int64_t>(r.y1, vt);
        const int64_t rr = std::min<int64_t>(r.x2, vr), b = std::min<int64_t>(r.y2, vb);
        for (int64_t y = t; y < b; ++y)
            for (int64_t x = l; x < rr; ++x) {
                if ((flags & D3DCLEAR_TARGET) != 0 && info.bytes != 0)
                    writeArgb(info,
                              target.colour.bits + static_cast<uint64_t>(y) * target.colour.pitch +
                                  static_cast<uint64_t>(x) * info.bytes,
                              argb);
                if ((flags & D3DCLEAR_ZBUFFER) != 0 && target.depth != nullptr)
                    target.depth[static_cast<uint64_t>(y) * target.colour.width + static_cast<uint64_t>(x)] = depth;
            }
    }
}

} // namespace pf
