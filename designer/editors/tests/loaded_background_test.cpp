// The loaded-background notices: the colour or the picture shown, black warning text on white, and the answer as
// the project's offer hears it, which installs the background on Yes.
#include <functional>

#include "designer/app/project.h"
#include "designer/app/registry.h"
#include "designer/editors/loaded_background_dlg.h"
#include "designer/editors/tests/editors_fixture.h"
#include "designer/workspace/color_button.h"
#include "designer/workspace/texture_viewer.h"
#include "engine/resources/background.h"
#include "engine/resources/image32.h"
#include "platform/testing/image_check.h"

namespace editorstest {
namespace {

class LoadedBackground : public EditorsFixture {
protected:
    int32_t Ask(ModalTool tool, int32_t idd, const SWbackground& background, std::function<void(pf::Dialog&)> script)
    {
        sim().onModal(idd, std::move(script));
        CVTND_ModalRequest request;
        request.background = &background;
        return CVTND_Registry::FindModalTool(tool)(*app, request);
    }
};

TEST_F(LoadedBackground, AColourShowsAsAPureSwatchAndAPictureInThePreview)
{
    EXPECT_EQ(PackedRgbToBytes(0x00FF8001u), (std::array<uint8_t, 3>{0xFF, 0x80, 0x01}));
    const SWbackground red(0x00FF0000u);
    const int32_t answer = Ask(ModalTool::kLoadedBackground, CVTND_LoadedBackgroundDlg::kIdd, red, [&](pf::Dialog& d) {
        EXPECT_FALSE(d.child(1003)->isVisible());
        auto* swatch = d.item<CVTND_ColorButton>(1165);
        ASSERT_TRUE(swatch->isVisible());
        EXPECT_EQ(swatch->GetColorRef(), pf::rgb(255, 0, 0));
        d.endDialog(pf::IDCANCEL);
    });
    EXPECT_EQ(answer, pf::IDNO);

    const std::vector<uint32_t> pixels(16 * 16, 0xFF00FF00u);
    const SWbackground pictured(SWimage32::SWimage32FromPixels("sky", 16, 16, pixels.data()), SWbackground::kModeTile);
    Ask(ModalTool::kLoadedBackgroundWarning, CVTND_LoadedBackgroundWarningDlg::kIdd, pictured, [&](pf::Dialog& d) {
        EXPECT_EQ(d.item<CVTND_TextureViewer>(1003)->GetMemberAt40(), pictured.GetTexture());
        EXPECT_FALSE(d.child(1165)->isVisible());
        // The warning reads black on white whatever the scheme's colours.
        sim().pump();
        const pf::Window* warning = d.child(CVTND_LoadedBackgroundWarningDlg::kIdWarning);
        const auto shot = pf::captureScreen(warning->screenRect());
        size_t white = 0, black = 0;
        for (int32_t y = 2; y < shot->height() - 2; ++y)
            for (int32_t x = 2; x < shot->width() - 2; ++x) {
                const uint32_t p = shot->pixel(x, y) & 0xFFFFFF;
                white += p == 0xFFFFFF ? 1 : 0;
                black += p == 0x000000 ? 1 : 0;
            }
        EXPECT_GT(white, black);
        EXPECT_GT(black, 0u);
        d.endDialog(pf::IDOK);
    });
}

TEST_F(LoadedBackground, YesThroughTheProjectsOfferInstallsTheBackground)
{
    SWworld import;
    import.GetRootObject()->SetBackground(std::make_unique<SWbackground>(0x00336699u));
    sim().onModal(CVTND_LoadedBackgroundDlg::kIdd, [](pf::Dialog& d) { d.endDialog(pf::IDOK); });
    EXPECT_TRUE(app->GetProject()->OfferLoadedBackground(import, false));
    ASSERT_NE(World().GetRootObject()->GetBackground(), nullptr);
    EXPECT_EQ(World().GetRootObject()->GetBackground()->GetColour(), 0x00336699u);

    import.GetRootObject()->SetBackground(std::make_unique<SWbackground>(0x00112233u));
    sim().onModal(CVTND_LoadedBackgroundDlg::kIdd, [](pf::Dialog& d) { d.endDialog(pf::IDCANCEL); });
    EXPECT_FALSE(app->GetProject()->OfferLoadedBackground(import, false));
    EXPECT_EQ(World().GetRootObject()->GetBackground()->GetColour(), 0x00336699u);

    // N and Y answer as No and Yes do, the warning's too.
    sim().onModal(CVTND_LoadedBackgroundDlg::kIdd, [&](pf::Dialog&) { sim().keyPress('N'); });
    EXPECT_FALSE(app->GetProject()->OfferLoadedBackground(import, false));
    EXPECT_EQ(World().GetRootObject()->GetBackground()->GetColour(), 0x00336699u);
    sim().onModal(CVTND_LoadedBackgroundDlg::kIdd, [&](pf::Dialog&) { sim().keyPress('Y'); });
    EXPECT_TRUE(app->GetProject()->OfferLoadedBackground(import, false));
    EXPECT_EQ(World().GetRootObject()->GetBackground()->GetColour(), 0x00112233u);
    const SWbackground green(0x0000FF00u);
    EXPECT_EQ(Ask(ModalTool::kLoadedBackgroundWarning, CVTND_LoadedBackgroundWarningDlg::kIdd, green,
                  [&](pf::Dialog&) { sim().keyPress('N'); }),
              pf::IDNO);
}

} // namespace
} // namespace editorstest
