#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/resources/image32.h"
#include "engine/resources/material.h"

namespace {

uint32_t Red(uint32_t c)
{
    return (c >> 16) & 0xFF;
}
uint32_t Green(uint32_t c)
{
    return (c >> 8) & 0xFF;
}
uint32_t Blue(uint32_t c)
{
    return c & 0xFF;
}
uint32_t Alpha(uint32_t c)
{
    return c >> 24;
}

std::unique_ptr<SWmaterial> Composited(uint32_t mode, float transparency = 0.0f)
{
    auto owned = std::make_unique<SWmaterial>("m");
    SWmaterial& material = *owned;
    material.SetRenderMode(mode);
    material.SetAmbientColour(1.0f, 0.2f, 0.1f, 0.0f);  // 51, 25, 0
    material.SetDiffuseColour(0.5f, 1.0f, 0.6f, 0.2f);  // 127, 76, 25
    material.SetSpecularColour(1.0f, 1.0f, 1.0f, 0.5f); // 255, 255, 127
    material.SetSmoothness(8.0f);
    material.SetTransparency(transparency);
    material.SetReflectivity(0.5f);
    material.BuildTexture();
    return owned;
}

TEST(MaterialCompositing, RampsRunFromAmbientToAmbientPlusDiffusePremultiplied)
{
    const auto owned = Composited(SWmaterial::kModeGouraud);
    const SWmaterial& opaque = *owned;
    EXPECT_TRUE(opaque.IsCurrent());
    EXPECT_EQ(opaque.IsBuilt(), 1);
    EXPECT_EQ(opaque.GetRamp1()[0], 0xFF331900u);
    EXPECT_EQ(opaque.GetRamp1()[255], (0xFFu << 24 | (51 + 127) << 16 | (25 + 76) << 8 | 25u));
    EXPECT_EQ(opaque.GetRamp2()[0], 0u);
    EXPECT_EQ(opaque.GetRamp2()[255], 0x00FFFF7Fu);
    for (int i = 1; i < 256; ++i) {
        for (uint32_t (*channel)(uint32_t) : {Red, Green, Blue}) {
            EXPECT_GE(channel(opaque.GetRamp1()[i]), channel(opaque.GetRamp1()[i - 1])) << i;
            EXPECT_GE(channel(opaque.GetRamp2()[i]), channel(opaque.GetRamp2()[i - 1])) << i;
        }
    }

    const auto half = Composited(SWmaterial::kModeFlat, 0.5f);
    EXPECT_EQ(Alpha(half->GetRamp1()[255]), 127u);
    EXPECT_EQ(Red(half->GetRamp1()[255]), 89u); // (51 + 127) / 2
    EXPECT_EQ(Red(half->GetRamp1()[0]), 25u);

    for (uint32_t mode : {SWmaterial::kModeContinuous, SWmaterial::kModePhong}) {
        const auto m = Composited(mode);
        for (uint32_t word : m->GetRamp2())
            ASSERT_EQ(word, 0u) << mode;
    }
}

TEST(MaterialCompositing, LightingTextureAndConstants)
{
    const auto owned = Composited(SWmaterial::kModePhong, 0.5f);
    const SWmaterial& m = *owned;
    const SWtexture* lighting = m.GetCompositedTexture();
    ASSERT_NE(lighting, nullptr);
    EXPECT_EQ(lighting->GetWidth(), 32);
    EXPECT_EQ(lighting->GetHeight(), 32);
    const auto falloff = lighting->GetFalloff();
    ASSERT_EQ(falloff.size(), 512u);
    EXPECT_EQ(falloff[0], 255);
    EXPECT_EQ(falloff[2], 255);
    EXPECT_EQ(falloff[511], 0); // r^2 = 254.5, c^8 well below 1/255
    for (size_t j = 1; j < falloff.size(); ++j)
        ASSERT_LE(falloff[j], falloff[j - 1]) << j;
    EXPECT_GT(falloff[100], 0);
    EXPECT_LT(falloff[100], 255);
    EXPECT_EQ(lighting->GetPixels()[15 * 32 + 15], 0x00FFFF7Fu);
    EXPECT_EQ(lighting->GetPixels()[0], 0u); // r^2 = 450, beyond the disc
    // A texel off centre is the specular colour times its entry.
    const uint32_t entry = falloff[2 * (25 + 1)]; // (x, y) = (20, 15)
    EXPECT_EQ(Red(lighting->GetPixels()[15 * 32 + 20]), 255u * entry / 255u);
    EXPECT_EQ(m.GetHighlightScale(), 0.5f);
    EXPECT_EQ(m.GetHighlightOffset(), 0.484375f);

    EXPECT_EQ(m.GetPackedColours()[0], 0x00331900u);
    EXPECT_EQ(m.GetPackedColours()[1], 0x007F4C19u);
    EXPECT_EQ(m.GetPackedColours()[2], 0x00FFFF7Fu);
    EXPECT_EQ(m.GetReflectionParameter(), 0x007F7F7Fu);
    EXPECT_EQ(m.GetUntexturedColours()[0], 0x7F3F260Cu); // diffuse x 0.5, alpha 127
    EXPECT_EQ(m.GetUntexturedColours()[1], 0x00331900u);
    EXPECT_EQ(m.GetTexturedColours()[0], 0x7F7F7F7Fu); // texture opacity 1: white, halved
    EXPECT_EQ(m.GetTexturedColours()[1], 0x00331900u);
    EXPECT_EQ(m.GetTexturePresent(), nullptr);
}

TEST(MaterialCompositing, HostileFactorsStayInRange)
{
    SWmaterial m;
    m.SetAmbientColour(1e30f, -5.0f, std::nanf(""), 2.0f);
    m.SetDiffuseColour(HUGE_VALF, 1.0f, 1.0f, 1.0f);
    m.SetTransparency(std::nanf(""));
    m.SetSmoothness(std::nanf(""));
    m.SetReflectivity(-3.0f);
    m.BuildTexture();
    EXPECT_EQ(m.GetPackedColours()[0], 0x000000FFu);
    EXPECT_EQ(m.GetPackedColours()[1], 0x00FFFFFFu);
    EXPECT_EQ(Alpha(m.GetRamp1()[0]), 255u);
    EXPECT_EQ(m.GetReflectionParameter(), 0u);
}

// The Dot3 stage: each channel's (2c - 255) products summed, as the rasteriser does.
int Dot3Sum(uint32_t light, uint32_t texel)
{
    int sum = 0;
    for (uint32_t (*channel)(uint32_t) : {Red, Green, Blue})
        sum += (2 * static_cast<int>(channel(light)) - 255) * (2 * static_cast<int>(channel(texel)) - 255);
    return sum;
}

TEST(MaterialDot3, NormalMapFromFlatAndSlopedBumps)
{
    SWmaterial m;
    std::vector<uint32_t> flat(16 * 8, 0xFF808080u);
    const auto bump = SWimage32::SWimage32FromPixels("bump", 16, 8, flat.data());
    m.SetBumpTexture(bump.get());
    m.SetBumpAmount(1.0f);
    m.BuildDot3NormalMap();
    ASSERT_NE(m.GetDot3NormalMap(), nullptr);
    EXPECT_EQ(m.GetDot3NormalMap()->GetWidth(), 16);
    for (int i = 0; i < 16 * 8; ++i)
        ASSERT_EQ(m.GetDot3NormalMap()->GetPixels()[i], 0xFF007F7Fu) << i;
    EXPECT_EQ(m.GetDot3NormalStamp(), bump->GetStamp());
    EXPECT_EQ(m.GetCachedBumpAmount(), 1.0f);
    // The light along the normal, encoded as the renderer encodes it: red for z, green for y, blue for x.
    EXPECT_GT(Dot3Sum(0x00007F7Fu, m.GetDot3NormalMap()->GetPixels()[0]), 16000);

    // Height rising to the right: the normal leans to -x, so blue (1 - n.x) rises above 127.
    std::vector<uint32_t> ramp(16 * 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint32_t g = static_cast<uint32_t>(x * 16);
            ramp[y * 16 + x] = 0xFF000000u | g << 16 | g << 8 | g;
        }
    const auto slope = SWimage32::SWimage32FromPixels("slope", 16, 8, ramp.data());
    const SWtexture* before = m.GetDot3NormalMap();
    m.SetBumpTexture(slope.get());
    m.BuildDot3NormalMap();
    EXPECT_EQ(m.GetDot3NormalMap(), before); // same size: no new image
    const uint32_t texel = m.GetDot3NormalMap()->GetPixels()[3 * 16 + 5];
    EXPECT_GT(Blue(texel), 127u);
    EXPECT_EQ(Green(texel), 127u);
    EXPECT_GT(Red(texel), 0u);
    m.SetBumpAmount(-1.0f); // inverted relief
    m.BuildDot3NormalMap();
    EXPECT_LT(Blue(m.GetDot3NormalMap()->GetPixels()[3 * 16 + 5]), 127u);

    m.SetBumpTexture(nullptr);
    m.BuildDot3NormalMap();
    EXPECT_EQ(m.GetDot3NormalMap(), nullptr);
}

TEST(MaterialDot3, DiffuseMapAddsAmbientAndSaturates)
{
    SWmaterial m;
    m.SetAmbientColour(1.0f, 0.0f, 0.2f, 1.0f); // 0, 51, 255
    m.SetDiffuseColour(1.0f, 1.0f, 0.5f, 1.0f); // 255, 127, 255
    const uint32_t pixels[3] = {0x80000000u, 0x40808080u, 0xFFFFFFFFu};
    const auto texture = SWimage32::SWimage32FromPixels("t", 3, 1, pixels);
    m.SetTexture(texture.get());
    m.BuildTexture();
    EXPECT_EQ(m.GetTexturePresent(), texture.get());
    m.BuildDot3DiffuseMap();
    ASSERT_NE(m.GetDot3DiffuseMap(), nullptr);
    const uint32_t* out = m.GetDot3DiffuseMap()->GetPixels();
    EXPECT_EQ(out[0], 0x800033FFu);
    EXPECT_EQ(out[1], 0x407F72FFu); // 128 x 255 >> 8 = 127; 128 x 127 >> 8 = 63, + 51 = 114
    EXPECT_EQ(out[2], 0xFFFEB1FFu); // 255 x 255 >> 8 = 254; 255 x 127 >> 8 = 126, + 51 = 177
    EXPECT_EQ(m.GetDot3DiffuseStamp(), texture->GetStamp());
}

} // namespace
