// The dial, the point picker and the channel slider: what a person's drag and typing send, and what they store.
#include <cmath>
#include <limits>
#include <numbers>

#include "designer/workspace/angular_input.h"
#include "designer/workspace/in_position_input.h"
#include "designer/workspace/number_text.h"
#include "designer/workspace/rgb_channel_scroll.h"
#include "designer/workspace/tests/workspace_fixture.h"
#include "platform/ui/controls/edit.h"

namespace {

using namespace workspace_test;
using namespace workspace_messages;
constexpr float kTwoPi = static_cast<float>(2.0 * std::numbers::pi);

using PointerControls = Controls;

TEST_F(PointerControls, DialSendsAngleOnPressAndEachMoveThenReleaseOnce)
{
    auto& dial = Control<CVTND_AngularInput>(kDial);
    const pf::Point centre = ScreenOf(dial, {40, 40});
    // Right of the centre, then up, then left, then below: 0, pi/2, pi, 3 pi/2 counter-clockwise.
    sim().mouseDown({centre.x + 30, centre.y});
    sim().mouseMove({centre.x, centre.y - 30});
    sim().mouseMove({centre.x - 30, centre.y});
    sim().mouseMove({centre.x, centre.y + 30});
    sim().mouseUp({centre.x, centre.y + 30});
    ASSERT_EQ(host.Messages(),
              (std::vector<uint32_t>{kAngleDragging, kAngleDragging, kAngleDragging, kAngleDragging, kAngleReleased}));
    const float expected[] = {0.0f, kTwoPi / 4, kTwoPi / 2, kTwoPi * 3 / 4, kTwoPi * 3 / 4};
    for (size_t i = 0; i < host.received.size(); ++i) {
        EXPECT_NEAR(host.received[i].values[0], expected[i], 0.05f) << i;
        EXPECT_GE(host.received[i].values[0], 0.0f);
        EXPECT_LT(host.received[i].values[0], kTwoPi);
        EXPECT_EQ(host.received[i].wParam, static_cast<pf::WParam>(kDial));
    }
    EXPECT_FALSE(dial.IsDragging());
}

TEST_F(PointerControls, DialAngleIsNormalisedIntoOneTurn)
{
    auto& dial = Control<CVTND_AngularInput>(kDial);
    const struct {
        float in;
        float out;
    } cases[] = {
        {-kTwoPi / 4, kTwoPi * 3 / 4},
        {kTwoPi * 2 + 0.5f, 0.5f},
        {-1e-9f, 0.0f}, // rounds to 2 pi in single precision, which is outside the range
        {std::numeric_limits<float>::quiet_NaN(), 0.0f},
        {std::numeric_limits<float>::infinity(), 0.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        dial.SetAngle(&c.in);
        EXPECT_NEAR(dial.GetAngle(), c.out, 1e-5f);
        EXPECT_GE(dial.GetAngle(), 0.0f);
        EXPECT_LT(dial.GetAngle(), kTwoPi);
    }
    EXPECT_TRUE(host.received.empty()); // setting is not a person's change
}

TEST_F(PointerControls, PointPickerClampsFractionsAtTheEdges)
{
    auto& picker = Control<CVTND_InPositionInput>(kPoint);
    const pf::Rect area = picker.AreaRect();
    sim().drag(ScreenOf(picker, {area.l + 10, area.t + 10}), ScreenOf(picker, {area.r + 40, area.t - 30}), 3);
    ASSERT_EQ(host.Messages(),
              (std::vector<uint32_t>{kPointDragging, kPointDragging, kPointDragging, kPointDragging, kPointReleased}));
    EXPECT_GT(host.received[0].values[0], 0.0f);
    EXPECT_LT(host.received[0].values[0], 0.2f);
    EXPECT_EQ(host.received.back().values, (std::array<float, 2>{1.0f, 0.0f}));
    EXPECT_EQ(picker.GetPoint(), (std::array<float, 2>{1.0f, 0.0f}));
    picker.SetPoint(-3.0f, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(picker.GetPoint(), (std::array<float, 2>{0.0f, 0.0f}));
}

TEST_F(PointerControls, ChannelShowsBytesOrIntensityWithoutNotifying)
{
    auto& channel = Control<CVTND_RGBChannelScroll>(kChannel);
    ASSERT_NE(channel.GetEdit(), nullptr);
    channel.SetValue(0.5f, 1);
    EXPECT_EQ(channel.GetEdit()->text(), "127");
    channel.SetValue(1.0f, 2);
    EXPECT_EQ(channel.GetEdit()->text(), "255");
    channel.SetValue(1.25f, 3);
    EXPECT_EQ(channel.GetEdit()->text(), "1.25");
    EXPECT_TRUE(host.received.empty());
}

TEST_F(PointerControls, ChannelDragSendsWhileDraggingThenChangedWithItsId)
{
    auto& channel = Control<CVTND_RGBChannelScroll>(kChannel);
    channel.SetValue(0.0f, 0);
    const pf::Rect track = channel.TrackRect();
    sim().drag(ScreenOf(channel, {track.l + 20, 10}), ScreenOf(channel, {track.r + 50, 10}), 2);
    ASSERT_EQ(host.Messages(),
              (std::vector<uint32_t>{kChannelDragging, kChannelDragging, kChannelDragging, kChannelChanged}));
    for (const Received& r : host.received)
        EXPECT_EQ(r.wParam, static_cast<pf::WParam>(kChannel));
    EXPECT_FLOAT_EQ(host.received.back().values[0], 1.0f);
    EXPECT_EQ(channel.GetEdit()->text(), "255");
}

// Typed 300 used to become 300/255, which its receivers turned back into byte 44 (300.5 wrapped); then it was
// clamped while the box kept "300", then it kept the 30 typed on the way. What a channel cannot keep is refused at
// the keystroke that makes it so: the channel keeps its value from before the typing, the box shows it once left,
// and every value sent is the one kept.
TEST_F(PointerControls, TypedChannelValuesOutOfRangeAreRefusedAndTheBoxShowsTheValue)
{
    auto& channel = Control<CVTND_RGBChannelScroll>(kChannel);
    pf::Edit& edit = *channel.GetEdit();
    const struct {
        int32_t mode;
        const char* text;
    } cases[] = {{0, "300"}, {1, "-20"}, {0, "abc"}, {1, "12.5"}, {3, "inf"}, {3, "nan"}, {3, "1e40"}, {3, "-1"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        channel.SetValue(0.5f, c.mode);
        host.received.clear();
        sim().replaceText(edit, c.text);
        const float kept = channel.GetValue();
        EXPECT_EQ(kept, 0.5f);
        ui().setFocus(pf::kNoWindow);
        EXPECT_EQ(edit.text(), c.mode <= 2 ? FormatNumberInt(kept * 255.0) : FormatNumberG(kept));
        for (const Received& r : host.received)
            EXPECT_EQ(r.message, kChannelChanged);
        if (!host.received.empty()) {
            EXPECT_EQ(host.received.back().values[0], kept);
        }
    }
    channel.SetValue(0.5f, 2);
    sim().replaceText(edit, "51");
    EXPECT_FLOAT_EQ(channel.GetValue(), 0.2f);
    ui().setFocus(pf::kNoWindow);   // the typing of 51 ends: the next keeps that
    sim().replaceText(edit, "2.5"); // the fraction refused at once, and the 2 before it with it
    EXPECT_FLOAT_EQ(channel.GetValue(), 0.2f);
    ui().setFocus(pf::kNoWindow);
    EXPECT_EQ(edit.text(), "51");
}

} // namespace
