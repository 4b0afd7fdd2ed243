// Keys a person without a mouse relies on: Alt with an arrow on a drop-down, Space on a list view that shows the focus
// on an item it has not selected.
#include "platform/ui/controls/tests/control_fixture.h"

namespace pf {
namespace {

using namespace test;

class ControlKeys : public Controls {};

// Alt+Down opens the list and leaves the choice where it was; Alt+Up closes it. The arrows alone still step.
TEST_F(ControlKeys, AltWithAnArrowOpensAndClosesADropDownWithoutChoosing)
{
    ComboBox& combo = control<ComboBox>(kCombo);
    for (const char* t : {"zero", "one", "two"})
        combo.addString(t);
    combo.setCurSel(1);
    ui().setFocus(combo.hwnd());
    sim().keyChord(VK_MENU, VK_DOWN);
    EXPECT_TRUE(combo.isDroppedDown());
    EXPECT_EQ(combo.getCurSel(), 1);
    sim().keyChord(VK_MENU, VK_UP);
    EXPECT_FALSE(combo.isDroppedDown());
    EXPECT_EQ(combo.getCurSel(), 1);
    sim().keyPress(VK_DOWN);
    EXPECT_FALSE(combo.isDroppedDown());
    EXPECT_EQ(combo.getCurSel(), 2);
}

// With the keyboard and nothing selected a list view shows the focus on its first item, or on the item that holds it:
// Space selects that item.
TEST_F(ControlKeys, SpaceOnAListViewWithNothingSelectedSelectsTheItemShowingTheFocus)
{
    ListView& view = control<ListView>(kListView);
    view.insertColumn(0, "Name", 120);
    for (const char* t : {"zero", "one", "two"})
        view.insertItem(view.getItemCount(), t);
    ui().setFocus(view.hwnd());
    watch();
    sim().keyPress(VK_SPACE);
    EXPECT_EQ(view.getNextSelected(), 0);
    view.setItemState(0, 0, LVIS_SELECTED | LVIS_FOCUSED);
    view.setItemState(2, LVIS_FOCUSED, LVIS_FOCUSED);
    ASSERT_EQ(view.getNextSelected(), -1);
    sim().keyPress(VK_SPACE);
    EXPECT_EQ(view.getNextSelected(), 2);
    EXPECT_TRUE(host.isVisible());
}

} // namespace
} // namespace pf
