// The colour and font buttons: colours through the colour dialog and back, and the font sample.
#include "designer/workspace/color_button.h"
#include "designer/workspace/font_button.h"
#include "designer/workspace/tests/workspace_fixture.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/providers/providers.h"

namespace {

using namespace workspace_test;

using ButtonControls = Controls;

TEST(ColorButtonBytes, EveryByteSurvivesByteToFloatToByte)
{
    for (int byte = 0; byte <= 255; ++byte) {
        const auto b = static_cast<uint8_t>(byte);
        EXPECT_EQ(CVTND_ColorButton::ChannelToByte(CVTND_ColorButton::ByteToChannel(b)), b);
    }
    EXPECT_EQ(CVTND_ColorButton::ChannelToByte(1.7f), 255); // out of range clamps, never wraps
    EXPECT_EQ(CVTND_ColorButton::ChannelToByte(-0.2f), 0);
    EXPECT_EQ(CVTND_ColorButton::ChannelToByte(0.5f), 128);
}

TEST_F(ButtonControls, ChooseColorOpensFullAtTheCurrentColourAndStoresTheChoice)
{
    auto& button = Control<CVTND_ColorButton>(kColour);
    button.SetColor(1.0f, 0.5f, 0.0f, 0.25f);
    sim().expectColor(pf::rgb(10, 20, 30));
    EXPECT_TRUE(button.ChooseColor(&host));
    const auto& calls = ui().providers().scriptedColor().calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].initial, pf::rgb(255, 128, 0));
    EXPECT_EQ(calls[0].flags, pf::CC_RGBINIT | pf::CC_FULLOPEN);
    EXPECT_EQ(calls[0].owner, host.hwnd());
    EXPECT_EQ(button.GetColorRef(), pf::rgb(10, 20, 30));
    EXPECT_FLOAT_EQ(button.GetColor()[2], 30.0f / 255.0f);
    EXPECT_FLOAT_EQ(button.GetFourth(), 0.25f);

    sim().expectColor(std::nullopt); // cancel changes nothing
    EXPECT_FALSE(button.ChooseColor(&host));
    EXPECT_EQ(button.GetColorRef(), pf::rgb(10, 20, 30));
}

TEST_F(ButtonControls, ColorButtonShowsItsColourAndStillClicks)
{
    auto& button = Control<CVTND_ColorButton>(kColour);
    button.SetColor(0.0f, 1.0f, 0.0f);
    sim().pump();
    EXPECT_EQ(pf::screenPixel(ScreenOf(button, {30, 12})), 0x00FF00u);
    bool clicked = false;
    ui().addObserver(this, [&](const pf::Msg& m) {
        clicked = clicked || (m.hwnd == host.hwnd() && m.message == pf::WM_COMMAND && pf::loWord(m.wParam) == kColour &&
                              pf::hiWord(m.wParam) == pf::BN_CLICKED);
    });
    sim().click(button);
    ui().removeObserver(this);
    EXPECT_TRUE(clicked);
}

TEST_F(ButtonControls, FontSampleIsCappedToTheButton)
{
    auto& button = Control<CVTND_FontButton>(kFont);
    pf::LogFont font;
    font.height = -72;
    std::snprintf(font.face, sizeof font.face, "DejaVu Serif");
    button.SetLogFont(font);
    EXPECT_EQ(button.GetLogFont().height, -72);
    EXPECT_EQ(button.ShownLogFont().height, -24); // 30 pixels high, less the edge and a pixel of air
    font.height = 9;
    button.SetLogFont(font);
    EXPECT_EQ(button.ShownLogFont().height, 9);
    sim().pump();
    // The face name is drawn: some pixel of the face is text-coloured.
    const std::unique_ptr<pf::Surface32> shot = pf::captureScreen(button.screenRect().inflatedBy(-3, -3));
    bool inked = false;
    for (int32_t y = 0; y < shot->height() && !inked; ++y)
        for (int32_t x = 0; x < shot->width() && !inked; ++x)
            inked = (shot->pixel(x, y) & 0xFFFFFFu) == 0;
    EXPECT_TRUE(inked);
}

} // namespace
