// The panels by the keyboard alone: Enter and Space on a list before anything is selected, and the caption that shows
// which panel has the keys.
#include <vector>

#include <gtest/gtest.h>

#include "designer/app/registry.h"
#include "designer/workspace/list_panels.h"
#include "designer/workspace/tests/panels_fixture.h"
#include "platform/base/color.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/testing/image_check.h"

namespace panels_test {
namespace {

std::vector<void*> g_opened;
pf::Window* RecordOpened(const CVTND_EditorRequest& request)
{
    g_opened.push_back(request.object);
    return nullptr;
}

class PanelKeys : public PanelsFixture {};

// The Events list given the keyboard shows the focus on its first item: Space selects it, and Enter opens its editor,
// each though nothing was selected.
TEST_F(PanelKeys, EnterAndSpaceOnTheEventsListTakeTheItemShowingTheFocus)
{
    pf::ListView& events = *Panel<CVTND_EventsDlg>(PanelRole::kEvents).GetList();
    ASSERT_GE(events.getItemCount(), 2);
    ASSERT_EQ(events.getNextSelected(), -1);
    ui().setFocus(events.hwnd());
    sim().keyPress(pf::VK_SPACE);
    EXPECT_EQ(events.getNextSelected(), 0);

    events.setItemState(0, 0, pf::LVIS_SELECTED);
    ASSERT_EQ(events.getNextSelected(), -1);
    const auto displaced =
        CVTND_Registry::ReplaceEditor(static_cast<uint16_t>(ObjectType::kEvent), kAnyActionKind, &RecordOpened);
    g_opened.clear();
    sim().keyPress(pf::VK_RETURN);
    CVTND_Registry::ReplaceEditor(static_cast<uint16_t>(ObjectType::kEvent), kAnyActionKind, displaced);
    EXPECT_EQ(g_opened, std::vector<void*>{reinterpret_cast<void*>(events.getItemData(0))});
}

// F6 moves the keys from panel to panel: the caption of the one they reach is drawn active, the one they left
// inactive again.
TEST_F(PanelKeys, F6DrawsTheCaptionOfThePanelWithTheKeysActiveAndNoOther)
{
    std::vector<CVTND_SizingBar*> shown;
    for (size_t i = 0; i < CVTND_Panels::kCount; ++i)
        if (panels->Bar(i).Content().isVisible())
            shown.push_back(&panels->Bar(i));
    ASSERT_GE(shown.size(), 2u);
    const auto captionPixel = [](const CVTND_SizingBar& bar) {
        const pf::Rect caption = bar.CaptionRect();
        return pf::screenPixel(bar.clientToScreen({caption.l + 2, (caption.t + caption.b) / 2}));
    };
    const uint32_t active = pf::pixelFromColorRef(pf::getSysColor(pf::COLOR_ACTIVECAPTION));
    const uint32_t inactive = pf::pixelFromColorRef(pf::getSysColor(pf::COLOR_INACTIVECAPTION));
    constexpr uint8_t kF6 = pf::VK_F1 + 5;
    ui().setFocus(frame.hwnd());
    for (size_t step = 0; step < shown.size(); ++step) {
        SCOPED_TRACE(shown[step]->GetTitle());
        sim().keyPress(kF6);
        sim().pump();
        EXPECT_EQ(captionPixel(*shown[step]), active);
        if (step > 0) {
            EXPECT_EQ(captionPixel(*shown[step - 1]), inactive);
        }
    }
}

} // namespace
} // namespace panels_test
