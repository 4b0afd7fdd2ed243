// The material's compositing: the render data the mesh renderer reads (see material.h for the contract).
#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>
#include <vector>

#include "engine/resources/image32.h"
#include "engine/resources/material.h"
#include "engine/resources/pixel_image.h"

namespace {

// The lighting texture is an ordinary 32-bit image that also declares its falloff table, which is how the
// rasteriser recognises a lighting layer.
class SWlightingimage final : public SWimage32 {
public:
    SWlightingimage() : SWimage32("lighting", SWmaterial::kLightingSide, SWmaterial::kLightingSide, nullptr) {}
    std::span<const uint8_t> GetFalloff() const override { return m_falloff; }
    std::array<uint8_t, SWmaterial::kFalloffSize>& Falloff() { return m_falloff; }

private:
    std::array<uint8_t, SWmaterial::kFalloffSize> m_falloff{};
};

uint32_t ByteOf(float value)
{
    // NaN fails both comparisons and lands on 0.
    if (!(value > 0.0f))
        return 0;
    if (!(value < 255.0f))
        return 255;
    return static_cast<uint32_t>(value);
}

struct Bytes {
    float r = 0, g = 0, b = 0;
};

Bytes BytesOf(const SWmaterialcolour& colour)
{
    return {static_cast<float>(ByteOf(colour.intensity * colour.red * 255.0f)),
            static_cast<float>(ByteOf(colour.intensity * colour.green * 255.0f)),
            static_cast<float>(ByteOf(colour.intensity * colour.blue * 255.0f))};
}

uint32_t Pack(float alpha, float r, float g, float b)
{
    return ByteOf(alpha) << 24 | ByteOf(r) << 16 | ByteOf(g) << 8 | ByteOf(b);
}

uint32_t Pack(const Bytes& c)
{
    return Pack(0.0f, c.r, c.g, c.b);
}

float OpacityOf(float transparency)
{
    if (!(transparency >= 0.0f)) // NaN and negative: opaque, as the renderer's alpha byte reads it
        return 1.0f;
    return 1.0f - std::min(transparency, 1.0f);
}

float ExponentOf(float smoothness)
{
    return smoothness > 1.0f ? smoothness : 1.0f; // NaN: 1
}

// Falloff entry j of the squared radius j/2 - 1 texels.
uint8_t FalloffEntry(double r2, float p)
{
    if (r2 < 0.0)
        return 255;
    if (r2 >= 256.0)
        return 0;
    const double c = std::sqrt(1.0 - r2 / 256.0);
    return static_cast<uint8_t>(std::min(255.0, 255.0 * std::pow(c, static_cast<double>(p))));
}

uint32_t Channel(uint32_t pixel, int shift)
{
    return (pixel >> shift) & 0xFFu;
}

// An image of the given size, reused when it already has it.
SWimage32* SizedImage(std::unique_ptr<SWtexture>& slot, const char* name, int32_t width, int32_t height)
{
    if (slot == nullptr || slot->GetWidth() != width || slot->GetHeight() != height || !slot->IsValid())
        slot = SWimage32::SWimage32FromPixels(name, width, height, nullptr);
    return static_cast<SWimage32*>(slot.get());
}

} // namespace

void SWmaterial::BuildTexture()
{
    const Bytes ambient = BytesOf(m_ambient);
    const Bytes diffuse = BytesOf(m_diffuse);
    const Bytes specular = BytesOf(m_specular);
    const float opacity = OpacityOf(m_transparency);
    const float alpha = opacity * 255.0f;
    const float p = ExponentOf(m_smoothness);
    const bool rampHighlight = m_renderMode == kModeFlat || m_renderMode == kModeGouraud;

    for (int i = 0; i < kRampSize; ++i) {
        const float s = static_cast<float>(std::sin(std::numbers::pi / 2.0 * i / 255.0));
        m_ramp1[i] = Pack(alpha, (ambient.r + diffuse.r * s) * opacity, (ambient.g + diffuse.g * s) * opacity,
                          (ambient.b + diffuse.b * s) * opacity);
        if (rampHighlight) {
            const float h = std::pow(s, p);
            m_ramp2[i] = Pack(0.0f, specular.r * h, specular.g * h, specular.b * h);
        } else {
            m_ramp2[i] = 0;
        }
    }

    if (m_composited == nullptr)
        m_composited = std::make_unique<SWlightingimage>();
    auto& lighting = static_cast<SWlightingimage&>(*m_composited);
    auto& falloff = lighting.Falloff();
    for (size_t j = 0; j < falloff.size(); ++j)
        falloff[j] = FalloffEntry(static_cast<double>(j) / 2.0 - 1.0, p);
    uint32_t* texels = lighting.GetPixelBuffer();
    if (texels != nullptr) {
        for (int y = 0; y < kLightingSide; ++y) {
            for (int x = 0; x < kLightingSide; ++x) {
                const int r2 = (x - 15) * (x - 15) + (y - 15) * (y - 15);
                const float f = static_cast<float>(FalloffEntry(r2, p)) / 255.0f;
                texels[y * kLightingSide + x] = Pack(0.0f, specular.r * f, specular.g * f, specular.b * f);
            }
        }
    }
    lighting.Touch();

    const float textureOpacity = std::clamp(std::isnan(m_textureOpacity) ? 0.0f : m_textureOpacity, 0.0f, 1.0f);
    m_untextured = {Pack(alpha, diffuse.r * opacity, diffuse.g * opacity, diffuse.b * opacity), Pack(ambient)};
    const auto whiter = [&](float c) { return (c + (255.0f - c) * textureOpacity) * opacity; };
    m_textured = {Pack(alpha, whiter(diffuse.r), whiter(diffuse.g), whiter(diffuse.b)), Pack(ambient)};
    m_packedColours = {Pack(ambient), Pack(diffuse), Pack(specular)};
    const uint32_t reflect = ByteOf(m_reflectivity * 255.0f);
    m_reflectionParameter = reflect << 16 | reflect << 8 | reflect;
    m_texturePresent = m_diffuseTexture;
    m_built = 1;
    MarkCurrent();
}

void SWmaterial::BuildDot3NormalMap()
{
    const SWtexture* bump = m_bumpTexture;
    const uint32_t* source = bump != nullptr ? bump->GetPixels() : nullptr;
    if (source == nullptr) {
        m_dot3NormalMap.reset();
        return;
    }
    const int32_t width = bump->GetWidth();
    const int32_t height = bump->GetHeight();
    SWimage32* map = SizedImage(m_dot3NormalMap, "dot3 normals", width, height);
    if (map == nullptr)
        return;
    const float a = 8.0f * m_bumpAmount;
    // The heights once per texel, not four times; the scratch grows only with the largest bump map seen.
    thread_local std::vector<float> heights;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (heights.size() < count)
        heights.resize(count);
    for (size_t i = 0; i < count; ++i)
        heights[i] = SWpixelimage::GreyOf(source[i]) / 255.0f;
    const auto h = [&](int32_t x, int32_t y) { return heights[static_cast<size_t>(y) * width + x]; };
    uint32_t* out = map->GetPixelBuffer();
    for (int32_t y = 0; y < height; ++y) {
        const int32_t up = y == 0 ? height - 1 : y - 1;
        const int32_t down = y == height - 1 ? 0 : y + 1;
        for (int32_t x = 0; x < width; ++x) {
            const int32_t left = x == 0 ? width - 1 : x - 1;
            const int32_t right = x == width - 1 ? 0 : x + 1;
            float nx = -a * (h(right, y) - h(left, y));
            float ny = -a * (h(x, down) - h(x, up));
            float nz = 1.0f;
            const float length = std::sqrt(nx * nx + ny * ny + nz * nz);
            if (std::isfinite(length) && length > 0.0f) {
                nx /= length;
                ny /= length;
                nz /= length;
            } else { // an infinite amount: no relief we can encode
                nx = ny = 0.0f;
                nz = 1.0f;
            }
            const auto encode = [](float t) { return static_cast<uint32_t>(127.0f * (1.0f - t)); };
            out[static_cast<size_t>(y) * width + x] = 0xFF000000u | encode(nz) << 16 | encode(ny) << 8 | encode(nx);
        }
    }
    map->Touch();
    m_dot3NormalStamp = bump->GetStamp();
    m_dot3NormalSource = bump;
    m_cachedBumpAmount = m_bumpAmount;
}

bool SWmaterial::IsDot3NormalMapCurrent() const
{
    return m_dot3NormalMap != nullptr && m_bumpTexture != nullptr && m_bumpTexture == m_dot3NormalSource &&
           m_bumpTexture->GetStamp() == m_dot3NormalStamp && m_bumpAmount == m_cachedBumpAmount;
}

void SWmaterial::BuildDot3DiffuseMap()
{
    const SWtexture* texture = m_diffuseTexture;
    const uint32_t* source = texture != nullptr ? texture->GetPixels() : nullptr;
    if (source == nullptr) {
        m_dot3DiffuseMap.reset();
        return;
    }
    SWimage32* map = SizedImage(m_dot3DiffuseMap, "dot3 diffuse", texture->GetWidth(), texture->GetHeight());
    if (map == nullptr)
        return;
    const uint32_t k1 = m_packedColours[0];
    const uint32_t k2 = m_packedColours[1];
    uint32_t* out = map->GetPixelBuffer();
    const size_t count = static_cast<size_t>(texture->GetWidth32()) * texture->GetHeight32();
    for (size_t i = 0; i < count; ++i) {
        const uint32_t texel = source[i];
        uint32_t pixel = texel & 0xFF000000u;
        for (int shift = 0; shift <= 16; shift += 8) {
            const uint32_t c = std::min(255u, ((Channel(texel, shift) * Channel(k2, shift)) >> 8) + Channel(k1, shift));
            pixel |= c << shift;
        }
        out[i] = pixel;
    }
    map->Touch();
    m_dot3DiffuseStamp = texture->GetStamp();
    m_dot3DiffuseSource = texture;
    m_dot3DiffuseColours = {k1, k2};
}

bool SWmaterial::IsDot3DiffuseMapCurrent() const
{
    return m_dot3DiffuseMap != nullptr && m_diffuseTexture != nullptr && m_diffuseTexture == m_dot3DiffuseSource &&
           m_diffuseTexture->GetStamp() == m_dot3DiffuseStamp && m_dot3DiffuseColours[0] == m_packedColours[0] &&
           m_dot3DiffuseColours[1] == m_packedColours[1];
}
