#include "engine/resources/background.h"

#include <gtest/gtest.h>

#include "engine/resources/image24.h"
#include "engine/resources/image32.h"

namespace {

TEST(BackgroundConstruction, FromColourAndFromTexture)
{
    const SWbackground plain(0xFF123456u);
    EXPECT_EQ(plain.GetColour(), 0x00123456u);
    EXPECT_EQ(plain.GetTexture(), nullptr);
    EXPECT_EQ(plain.GetVersion(), 1u);

    auto image = std::make_unique<SWimage24>("sky", 4, 2, nullptr);
    SWtexture* const texture = image.get();
    const auto stretched = SWbackground::SWbackgroundFromTexture(std::move(image), SWbackground::kModeStretch);
    EXPECT_EQ(stretched->GetTexture(), texture);
    EXPECT_EQ(texture->GetParent(), stretched.get()) << "an owned child";
    EXPECT_EQ(stretched->GetVersion(), 1u);
    EXPECT_NE(stretched->GetSerial(), plain.GetSerial());
}

TEST(BackgroundMode, TileAndStretchThroughBothGetters)
{
    SWbackground tiled(std::make_unique<SWimage32>("a", 1, 1, nullptr), 0);
    EXPECT_EQ(tiled.GetMode(), 0u);
    EXPECT_EQ(tiled.GetStretch(), 0u);
    SWbackground stretched(std::make_unique<SWimage32>("b", 1, 1, nullptr), 7);
    EXPECT_EQ(stretched.GetMode(), 1u);
    EXPECT_EQ(stretched.GetStretch(), 1u);
}

TEST(BackgroundVersion, CheckVersionAnswersOncePerChange)
{
    SWbackground background(std::make_unique<SWimage24>("sky", 2, 2, nullptr), 0);
    uint32_t cached = 0;
    EXPECT_TRUE(SWbackground::CheckVersion(background, cached)) << "nothing built yet";
    EXPECT_FALSE(SWbackground::CheckVersion(background, cached));
    background.SetColour(0x00FF0000u);
    EXPECT_TRUE(SWbackground::CheckVersion(background, cached));
    background.SetColour(0x00FF0000u);
    EXPECT_FALSE(SWbackground::CheckVersion(background, cached)) << "the same colour is no change";
    background.SetMode(1);
    EXPECT_TRUE(SWbackground::CheckVersion(background, cached));
    background.GetTexture()->Touch();
    EXPECT_TRUE(SWbackground::CheckVersion(background, cached)) << "an edit through the texture";
    EXPECT_FALSE(SWbackground::CheckVersion(background, cached));
}

TEST(BackgroundVersion, OtherTexturesDoNotCount)
{
    SWbackground background(std::make_unique<SWimage24>("mine", 2, 2, nullptr), 0);
    SWimage24 other("other", 2, 2, nullptr);
    uint32_t cached = background.GetVersion();
    other.Touch();
    EXPECT_FALSE(SWbackground::CheckVersion(background, cached));
}

TEST(BackgroundTexture, ReplacingDeletesTheOldAndRaisesTheVersion)
{
    SWbackground background(std::make_unique<SWimage24>("old", 2, 2, nullptr), 0);
    uint32_t cached = background.GetVersion();
    background.SetTexture(std::make_unique<SWimage24>("new", 1, 1, nullptr));
    EXPECT_EQ(background.GetTexture()->GetName(), "new");
    EXPECT_EQ(background.CountChildren(), 1u);
    EXPECT_TRUE(SWbackground::CheckVersion(background, cached));
    background.SetTexture(nullptr);
    EXPECT_EQ(background.GetTexture(), nullptr);
    EXPECT_EQ(background.CountChildren(), 0u);
}

TEST(BackgroundReferences, CountNeverGoesBelowZero)
{
    SWbackground background(0);
    EXPECT_EQ(background.AddReference(), 1u);
    EXPECT_EQ(background.ReleaseReference(), 0u);
    EXPECT_EQ(background.ReleaseReference(), 0u);
}

} // namespace
