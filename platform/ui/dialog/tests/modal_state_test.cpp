// The modal state: one signal at the start of the outermost modal run and one at its end, however the runs nest.
#include "platform/testing/ui_fixture.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/providers/providers.h"

#include <vector>

namespace pf {
namespace {

constexpr int32_t kIddOuter = 9101;
constexpr int32_t kIddInner = 9102;

class ModalState : public UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        for (const int32_t idd : {kIddOuter, kIddInner})
            registerTemplate(
                {idd, "Modal", {120, 60}, WS_POPUP | WS_CAPTION, {{"button", IDOK, {10, 10, 90, 30}, 0, "OK"}}});
        owner.create({"window", "owner", WS_VISIBLE | WS_CAPTION, 0, {0, 0, 400, 300}, kNoWindow, 0});
        // Each signal records the depth it came at.
        ui().setModalStateHandler([this](bool modal) { signals.push_back({modal, ui().modalDepth()}); });
    }
    void TearDown() override
    {
        ui().setModalStateHandler({});
        owner.destroy();
        UiFixture::TearDown();
    }

    struct Signal {
        bool modal;
        int32_t depth;
    };
    Window owner;
    std::vector<Signal> signals;
};

TEST_F(ModalState, NestedRunsSignalOnceAtTheOutermostBeginAndEnd)
{
    Dialog outer;
    Dialog inner;
    sim().onModal(kIddOuter, [&](Dialog& d) {
        EXPECT_EQ(signals.size(), 1u); // true came before the run
        EXPECT_EQ(inner.doModal(kIddInner, &d), IDOK);
        sim().expectMessageBox(IDOK);
        EXPECT_EQ(messageBox(d.hwnd(), "text", "caption", MB_OK), IDOK);
        EXPECT_EQ(ui().modalDepth(), 1);
        d.endDialog(IDOK);
    });
    sim().onModal(kIddInner, [this](Dialog& d) {
        EXPECT_EQ(ui().modalDepth(), 2);
        d.endDialog(IDOK);
    });
    EXPECT_EQ(outer.doModal(kIddOuter, &owner), IDOK);
    ASSERT_EQ(signals.size(), 2u);
    EXPECT_TRUE(signals[0].modal);
    EXPECT_EQ(signals[0].depth, 1);
    EXPECT_FALSE(signals[1].modal);
    EXPECT_EQ(signals[1].depth, 0);
}

TEST_F(ModalState, ServicesAloneSignalAndAnUnknownTemplateDoesNot)
{
    Dialog unknown;
    EXPECT_EQ(unknown.doModal(4242, &owner), -1);
    EXPECT_TRUE(signals.empty());
    sim().expectMessageBox(IDYES);
    messageBox(owner.hwnd(), "question", "caption", MB_YESNO);
    ScriptedColorDialog& colors = ui().providers().scriptedColor();
    colors.expect(std::nullopt);
    chooseColor({});
    ASSERT_EQ(signals.size(), 4u);
    EXPECT_TRUE(signals[2].modal);
    EXPECT_FALSE(signals[3].modal);
    EXPECT_EQ(ui().modalDepth(), 0);
}

TEST_F(ModalState, OwnerDestroyedDuringTheRunEndsTheStateAtDepthZero)
{
    Window* ownerWindow = ui().createWindow({"window", "doomed", WS_VISIBLE | WS_CAPTION, 0, {0, 0, 200, 100}});
    ASSERT_NE(ownerWindow, nullptr);
    Dialog modal;
    sim().onModal(kIddOuter, [&](Dialog&) { ownerWindow->destroy(); }); // takes the dialog it owns along
    EXPECT_EQ(modal.doModal(kIddOuter, ownerWindow), -1);
    EXPECT_EQ(ui().modalDepth(), 0);
    ASSERT_EQ(signals.size(), 2u);
    EXPECT_FALSE(signals[1].modal);
}

} // namespace
} // namespace pf
