// The particle colour gradient: its defaults, the table it computes, key editing, and fields copied in.
#include <cmath>

#include "designer/workspace/gradient.h"
#include "designer/workspace/tests/workspace_fixture.h"

namespace {

using namespace workspace_test;
using namespace workspace_messages;

using GradientControl = Controls;

CVTND_GradientFields TwoKeys(int32_t margin)
{
    CVTND_GradientFields f;
    f.keyCount = 2;
    f.keyPositions[0] = margin;
    f.keyPositions[1] = margin + 255;
    f.keyColours[0] = 0x000000;
    f.keyColours[1] = 0xFFFFFF;
    f.leftMargin = margin;
    return f;
}

TEST_F(GradientControl, StartsWithFiveKeysEvenlyOnTheCentredBand)
{
    auto& gradient = Control<CVTND_Gradient>(kGradient);
    const CVTND_GradientFields& f = gradient.GetFields();
    EXPECT_EQ(f.leftMargin, (280 - 256) / 2);
    ASSERT_EQ(f.keyCount, 5u);
    for (uint32_t i = 0; i < 5; ++i)
        EXPECT_EQ(f.keyPositions[i], f.leftMargin + static_cast<int32_t>(i * 255 / 4)) << i;
    EXPECT_EQ(f.curvePointCount, 4u);
    EXPECT_EQ(f.curveValues[0], 0.5f);
    EXPECT_EQ(f.selectedKey, -1);
    EXPECT_EQ(f.selectedCurvePoint, -1);
    EXPECT_FALSE(gradient.HasSelectedKey());
    EXPECT_EQ(gradient.GetGradientData()[0], f.keyColours[0]);
    EXPECT_EQ(gradient.GetGradientData()[63], f.keyColours[4]);
    EXPECT_TRUE(f.IsValid());
}

TEST_F(GradientControl, TwoKeysGiveTheLinearTable)
{
    CVTND_GradientFields f = TwoKeys(3);
    const std::array<uint32_t, 64> table = CVTND_Gradient::ComputeTable(f);
    for (uint32_t i = 0; i < 64; ++i) {
        const auto level = static_cast<uint32_t>(std::lround(i * 255.0 / 63.0));
        EXPECT_EQ(table[i], level * 0x010101u) << i;
    }
    // Keys out of order on the band read in band order.
    std::swap(f.keyPositions[0], f.keyPositions[1]);
    std::swap(f.keyColours[0], f.keyColours[1]);
    EXPECT_EQ(CVTND_Gradient::ComputeTable(f), table);
}

TEST_F(GradientControl, KeyClickSelectsAndDragChangesTheGradient)
{
    auto& gradient = Control<CVTND_Gradient>(kGradient);
    const int32_t x = gradient.GetFields().keyPositions[2];
    const int32_t y = gradient.BandRect().b + 4;
    sim().click(ScreenOf(gradient, {x, y}));
    EXPECT_EQ(host.Messages(), (std::vector<uint32_t>{kGradientKeySelected}));
    EXPECT_EQ(gradient.GetFields().selectedKey, 2);
    host.received.clear();
    const std::array<uint32_t, 64> before = gradient.GetGradientData();
    sim().drag(ScreenOf(gradient, {x, y}), ScreenOf(gradient, {x + 40, y}), 4);
    EXPECT_EQ(host.Count(kGradientChanged), 4u);
    EXPECT_EQ(host.Count(kGradientKeySelected), 0u); // the same key again
    EXPECT_EQ(gradient.GetFields().keyPositions[2], x + 40);
    EXPECT_NE(gradient.GetGradientData(), before);
    for (const Received& r : host.received)
        EXPECT_EQ(r.wParam, static_cast<pf::WParam>(kGradient));
}

TEST_F(GradientControl, KeyChannelSettersChangeOnlyTheSelectedKey)
{
    auto& gradient = Control<CVTND_Gradient>(kGradient);
    const CVTND_GradientFields before = gradient.GetFields();
    gradient.SetKeyRed(10); // nothing is selected
    EXPECT_EQ(gradient.GetFields().keyColours, before.keyColours);
    sim().click(ScreenOf(gradient, {before.keyPositions[1], gradient.BandRect().b + 4}));
    gradient.SetKeyRed(300);
    gradient.SetKeyBlue(-4);
    CVTND_GradientFields after = gradient.GetFields();
    EXPECT_EQ(after.keyColours[1], 0xFF0000u | (before.keyColours[1] & 0x00FF00u));
    after.keyColours[1] = before.keyColours[1];
    EXPECT_EQ(after.keyColours, before.keyColours);
    EXPECT_EQ(gradient.GetKeyRGB(), (std::array<uint8_t, 3>{255, static_cast<uint8_t>(before.keyColours[1] >> 8), 0}));
    gradient.SetKeyColor(0.0f, 1.0f, 0.5f);
    EXPECT_EQ(gradient.GetFields().keyColours[1], 0x00FF80u);
    EXPECT_NE(gradient.GetGradientData(), before.colourTable);
}

TEST_F(GradientControl, DamagedFieldsLeaveTheDefaults)
{
    auto& gradient = Control<CVTND_Gradient>(kGradient);
    const CVTND_GradientFields defaults = gradient.GetFields();
    ASSERT_TRUE(gradient.SetFields(TwoKeys(12)));
    EXPECT_EQ(gradient.GetFields().keyCount, 2u);
    const struct {
        const char* change;
        void (*apply)(CVTND_GradientFields&);
    } cases[] = {
        {"200 keys", [](CVTND_GradientFields& f) { f.keyCount = 200; }},
        {"no keys", [](CVTND_GradientFields& f) { f.keyCount = 0; }},
        {"33 curve points", [](CVTND_GradientFields& f) { f.curvePointCount = 33; }},
        {"selected key past the count", [](CVTND_GradientFields& f) { f.selectedKey = 2; }},
        {"selected curve point below -1", [](CVTND_GradientFields& f) { f.selectedCurvePoint = -2; }},
        {"key left of the band", [](CVTND_GradientFields& f) { f.keyPositions[0] = f.leftMargin - 1; }},
        {"key right of the band", [](CVTND_GradientFields& f) { f.keyPositions[1] = f.leftMargin + 256; }},
        {"negative margin", [](CVTND_GradientFields& f) { f.leftMargin = -5; }},
        {"curve value not a number",
         [](CVTND_GradientFields& f) {
             f.curvePointCount = 1;
             f.curvePointPositions[0] = f.leftMargin;
             f.curveValues[0] = std::nanf("");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.change);
        CVTND_GradientFields damaged = TwoKeys(12);
        c.apply(damaged);
        EXPECT_FALSE(gradient.SetFields(damaged));
        EXPECT_EQ(gradient.GetFields().keyCount, 5u);
        EXPECT_EQ(gradient.GetFields().keyPositions, defaults.keyPositions);
        EXPECT_EQ(gradient.GetGradientData(), defaults.colourTable);
        ASSERT_TRUE(gradient.SetFields(TwoKeys(12)));
    }
}

} // namespace
