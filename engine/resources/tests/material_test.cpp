#include "engine/resources/material.h"

#include <gtest/gtest.h>

#include "engine/resources/image24.h"

namespace {

TEST(MaterialSetters, StoreTheirValuesAndMarkStaleOnlyWhereTheyShould)
{
    SWmaterial material("steel");
    EXPECT_EQ(material.GetName(), "steel");
    struct Step {
        const char* name;
        void (*apply)(SWmaterial&);
        bool marksStale;
    };
    const Step steps[] = {
        {"render mode", [](SWmaterial& m) { m.SetRenderMode(3); }, true},
        {"transparency", [](SWmaterial& m) { m.SetTransparency(0.5f); }, true},
        {"bump amount changed", [](SWmaterial& m) { m.SetBumpAmount(0.25f); }, true},
        {"bump amount equal", [](SWmaterial& m) { m.SetBumpAmount(0.25f); }, false},
        {"smoothness", [](SWmaterial& m) { m.SetSmoothness(0.7f); }, false},
        {"texture opacity", [](SWmaterial& m) { m.SetTextureOpacity(0.3f); }, false},
        {"reflectivity", [](SWmaterial& m) { m.SetReflectivity(0.1f); }, false},
        {"ambient", [](SWmaterial& m) { m.SetAmbientColour(1, 0.1f, 0.2f, 0.3f); }, false},
        {"diffuse", [](SWmaterial& m) { m.SetDiffuseColour(0.5f, 1, 0, 0); }, false},
        {"specular", [](SWmaterial& m) { m.SetSpecularColour(0.25f, 0, 1, 0); }, false},
        {"texture null", [](SWmaterial& m) { m.SetTexture(nullptr); }, true},
        {"reflection texture null", [](SWmaterial& m) { m.SetReflectionTexture(nullptr); }, true},
        {"bump texture null", [](SWmaterial& m) { m.SetBumpTexture(nullptr); }, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        material.MarkCurrent();
        step.apply(material);
        EXPECT_EQ(material.IsCurrent(), !step.marksStale);
    }
    EXPECT_EQ(material.GetRenderMode(), 3u);
    EXPECT_EQ(material.GetTransparency(), 0.5f);
    EXPECT_EQ(material.GetBumpAmount(), 0.25f);
    EXPECT_EQ(material.GetSmoothness(), 0.7f);
    EXPECT_EQ(material.GetTextureOpacity(), 0.3f);
    EXPECT_EQ(material.GetReflectivity(), 0.1f);
    EXPECT_EQ(material.GetAmbientColour(), (SWmaterialcolour{1, 0.1f, 0.2f, 0.3f}));
    EXPECT_EQ(material.GetDiffuseColour(), (SWmaterialcolour{0.5f, 1, 0, 0}));
    EXPECT_EQ(material.GetSpecularColour(), (SWmaterialcolour{0.25f, 0, 1, 0}));
    material.MarkCurrent();
    material.Invalidate();
    EXPECT_FALSE(material.IsCurrent());
}

TEST(MaterialRenderMode, SetterClampsAndStoredValueIsKept)
{
    SWmaterial material;
    const uint32_t cases[][2] = {{0, 2}, {1, 2}, {2, 2}, {5, 5}, {6, 5}, {0xFFFFFFFF, 5}};
    for (const auto& c : cases) {
        material.SetRenderMode(c[0]);
        EXPECT_EQ(material.GetRenderMode(), c[1]) << c[0];
    }
    material.SetStoredRenderMode(9);
    EXPECT_EQ(material.GetRenderMode(), 9u);
}

TEST(MaterialLayers, MaskFollowsTexturesReflectivityAndBump)
{
    SWimage24 diffuse("wood", 1, 1, nullptr), mirror("sky", 1, 1, nullptr), bumps("grain", 1, 1, nullptr);
    SWmaterial material;
    material.SetTexture(&diffuse);
    EXPECT_EQ(material.GetLayerMask(), SWmaterial::kLayerDiffuse);
    EXPECT_EQ(material.GetTextureName(), "wood");
    material.SetReflectionTexture(&mirror);
    EXPECT_EQ(material.GetLayerMask(), SWmaterial::kLayerDiffuse) << "reflectivity is 0";
    material.SetReflectivity(0.5f);
    EXPECT_EQ(material.GetLayerMask(), SWmaterial::kLayerDiffuse | SWmaterial::kLayerReflection);
    material.SetBumpTexture(&bumps);
    EXPECT_EQ(material.GetLayerMask() & SWmaterial::kLayerBump, 0u) << "bump amount is 0";
    material.SetBumpAmount(-0.5f);
    EXPECT_EQ(material.GetLayerMask(), 7u);
    material.SetReflectivity(0.0f);
    material.SetTexture(nullptr);
    EXPECT_EQ(material.GetLayerMask(), SWmaterial::kLayerBump);
    EXPECT_EQ(material.GetTextureName(), "");
    EXPECT_EQ(material.GetBumpTextureName(), "grain");
    EXPECT_EQ(material.GetBumpTexture(), &bumps);
}

TEST(MaterialAlphaKind, FromFlagBits32And64)
{
    SWmaterial material;
    const uint32_t cases[][2] = {{0, 0}, {32, 2}, {64, 1}, {96, 0}, {32 | 8 | 1, 2}};
    for (const auto& c : cases) {
        material.SetMaterialFlags(c[0]);
        EXPECT_EQ(material.GetTextureAlphaKind(), static_cast<int>(c[1])) << c[0];
    }
}

} // namespace
