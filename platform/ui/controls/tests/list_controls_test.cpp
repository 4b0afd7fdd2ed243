// The notification contracts of combo boxes, list boxes, list views and tree views.
#include "platform/ui/controls/tests/control_fixture.h"
#include "platform/ui/controls/tip_window.h"

#include "platform/gfx/memory_dc.h"
#include "platform/testing/image_check.h"
#include "platform/ui/core/paint_dc.h"

namespace pf {
namespace {

using namespace test;

class ListControls : public Controls {};

TEST_F(ListControls, ComboSetCurSelIsSilentAndAUserChoiceNotifiesAroundTheOpenList)
{
    ComboBox& combo = control<ComboBox>(kCombo);
    for (const char* t : {"zero", "one", "two"})
        combo.addString(t);
    watch([&](const Msg&) { return std::to_string(combo.getCurSel()); });
    EXPECT_EQ(combo.setCurSel(1), 1);
    EXPECT_EQ(spy->count(WM_COMMAND), 0u);
    ASSERT_TRUE(sim().chooseCombo(combo, 2));
    EXPECT_EQ(spy->codes(WM_COMMAND), (std::vector<int32_t>{CBN_DROPDOWN, CBN_SELCHANGE, CBN_CLOSEUP}));
    EXPECT_EQ(notes(), (std::vector<std::string>{"1", "2", "2"}));
    spy->clear();
    sim().chooseCombo(combo, 2);
    EXPECT_EQ(spy->codes(WM_COMMAND), (std::vector<int32_t>{CBN_DROPDOWN, CBN_CLOSEUP})) << "the same index: no change";
    EXPECT_EQ(combo.setCurSel(7), CB_ERR);
    EXPECT_EQ(combo.getCurSel(), -1);
}

TEST_F(ListControls, ComboClickOutsideTheOpenListClosesItUnchosen)
{
    ComboBox& combo = control<ComboBox>(kCombo);
    combo.addString("a");
    watch();
    sim().click(combo);
    EXPECT_TRUE(combo.isDroppedDown());
    sim().click({1000, 900});
    EXPECT_FALSE(combo.isDroppedDown());
    EXPECT_EQ(spy->codes(WM_COMMAND), (std::vector<int32_t>{CBN_DROPDOWN, CBN_CLOSEUP}));
}

TEST_F(ListControls, ComboOpenListTakesArrowsAndEnterOrEscCloseItWithoutReachingTheDialog)
{
    ComboBox& combo = control<ComboBox>(kCombo);
    for (const char* t : {"zero", "one", "two"})
        combo.addString(t);
    combo.setCurSel(0);
    ui().setFocus(combo.hwnd());
    watch();
    for (const uint8_t closer : {VK_RETURN, VK_ESCAPE}) {
        SCOPED_TRACE(closer);
        spy->clear();
        sim().keyPress(VK_F4);
        ASSERT_TRUE(combo.isDroppedDown());
        sim().keyPress(VK_DOWN);
        sim().keyPress(closer);
        EXPECT_FALSE(combo.isDroppedDown());
        EXPECT_EQ(spy->codes(WM_COMMAND), (std::vector<int32_t>{CBN_DROPDOWN, CBN_SELCHANGE, CBN_CLOSEUP}));
        EXPECT_TRUE(host.isVisible()); // neither key pressed the dialog's OK or Cancel
    }
    EXPECT_EQ(combo.getCurSel(), 2);
}

// The tabs turn from the keyboard as by a click: Left and Right on the focused tabs, Ctrl+Tab and Ctrl+Shift+Tab from
// anywhere in the dialog, round the ends; a refusal keeps the page.
TEST_F(ListControls, TabsTurnByArrowsOnTheTabsAndCtrlTabAnywhere)
{
    auto& tabs = control<TabControl>(kTab);
    for (const char* name : {"One", "Two", "Three"})
        tabs.insertItem(-1, name);
    bool refuse = false;
    host.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_NOTIFY && notifyRecord<NMHDR>(m.lParam)->code == TCN_SELCHANGING)
            return refuse ? 1 : 0;
        return std::nullopt;
    };
    watch();
    ui().setFocus(tabs.hwnd());
    sim().keyPress(VK_RIGHT);
    EXPECT_EQ(tabs.getCurSel(), 1);
    EXPECT_EQ(spy->codes(WM_NOTIFY), (std::vector<int32_t>{TCN_SELCHANGING, TCN_SELCHANGE}));
    sim().keyPress(VK_LEFT);
    sim().keyPress(VK_LEFT);
    EXPECT_EQ(tabs.getCurSel(), 0);

    ui().setFocus(control<Edit>(kEdit).hwnd());
    sim().keyChord(VK_CONTROL, VK_TAB);
    EXPECT_EQ(tabs.getCurSel(), 1);
    sim().keyDown(VK_CONTROL);
    sim().keyDown(VK_SHIFT);
    sim().keyPress(VK_TAB);
    sim().keyPress(VK_TAB);
    sim().keyUp(VK_SHIFT);
    sim().keyUp(VK_CONTROL);
    EXPECT_EQ(tabs.getCurSel(), 2) << "back round the first page";
    EXPECT_EQ(ui().focus(), control<Edit>(kEdit).hwnd()) << "the focus stays where it was shown";
    refuse = true;
    sim().keyChord(VK_CONTROL, VK_TAB);
    EXPECT_EQ(tabs.getCurSel(), 2);
}

TEST_F(ListControls, SortedInsertIsCaseInsensitiveAfterEqualItems)
{
    ComboBox& combo = control<ComboBox>(kSortedCombo);
    combo.addString("beta");
    combo.addString("Alpha");
    const int32_t second = combo.addString("BETA");
    combo.addString("alpha");
    EXPECT_EQ(second, 2);
    std::vector<std::string> texts;
    for (int32_t i = 0; i < combo.getCount(); ++i)
        texts.push_back(combo.getLBText(i));
    EXPECT_EQ(texts, (std::vector<std::string>{"Alpha", "alpha", "beta", "BETA"}));
    EXPECT_EQ(combo.findStringExact(-1, "ALPHA"), 0);
    EXPECT_EQ(combo.findExact("alpha"), 1);
    EXPECT_EQ(combo.findExact("ALPHA"), -1);
}

TEST_F(ListControls, ListBoxNotifiesOnlyWithLbsNotifyAndOnChange)
{
    ListBox& plain = control<ListBox>(kList);
    ListBox& notify = control<ListBox>(kNotifyList);
    for (const char* t : {"a", "b", "c"}) {
        plain.addString(t);
        notify.addString(t);
    }
    watch([&](const Msg&) { return std::to_string(notify.getCurSel()); });
    sim().selectListItem(plain, 1);
    EXPECT_EQ(plain.getCurSel(), 1);
    EXPECT_EQ(spy->count(WM_COMMAND), 0u);
    notify.setCurSel(0);
    EXPECT_EQ(spy->count(WM_COMMAND), 0u);
    sim().selectListItem(notify, 2);
    EXPECT_EQ(spy->codes(WM_COMMAND), (std::vector<int32_t>{LBN_SELCHANGE}));
    EXPECT_EQ(notes(), (std::vector<std::string>{"2"}));
}

TEST_F(ListControls, MultipleSelectionToggles)
{
    ListBox& list = control<ListBox>(kMultiList);
    for (const char* t : {"a", "b", "c"})
        list.addString(t);
    sim().selectListItem(list, 0);
    sim().selectListItem(list, 2);
    EXPECT_EQ(list.getSelItems(), (std::vector<int32_t>{0, 2}));
    EXPECT_EQ(list.getSelCount(), 2);
    sim().selectListItem(list, 0);
    EXPECT_EQ(list.getSelItems(), (std::vector<int32_t>{2}));
    list.setSel(-1, true);
    EXPECT_EQ(list.getSelCount(), 3);
}

class ListViews : public ListControls {
protected:
    void fill(ListView& view)
    {
        view.insertColumn(0, "Name", 120);
        for (const char* t : {"zero", "one", "two"})
            view.insertItem(view.getItemCount(), t);
    }
};

std::string itemChangeNote(const Msg& m)
{
    if (m.message != WM_NOTIFY)
        return {};
    const auto* nm = notifyRecord<NMLISTVIEW>(m.lParam);
    return std::to_string(nm->hdr.code) + ":" + std::to_string(nm->iItem) + ":" + std::to_string(nm->uOldState) + ">" +
           std::to_string(nm->uNewState);
}

TEST_F(ListViews, ProgrammaticStateChangesNotifyAndTheOldSelectionGoesFirst)
{
    ListView& view = control<ListView>(kListView);
    fill(view);
    watch(itemChangeNote);
    view.setItemState(0, LVIS_SELECTED, LVIS_SELECTED);
    view.setItemState(2, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(notes(), (std::vector<std::string>{"-100:0:0>2", "-101:0:0>2", "-100:0:2>0", "-101:0:2>0", "-100:2:0>2",
                                                 "-101:2:0>2"}));
    EXPECT_EQ(spy->log().size(), 6u);
    spy->clear();
    view.setItemState(2, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_TRUE(spy->log().empty()) << "no change, no notification";
}

TEST_F(ListViews, ChangingAnsweredNonZeroRefusesTheChange)
{
    ListView& view = control<ListView>(kListView);
    fill(view);
    host.hook = [](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_NOTIFY && notifyRecord<NMHDR>(m.lParam)->code == LVN_ITEMCHANGING)
            return 1;
        return std::nullopt;
    };
    view.setItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(view.getItemState(1, LVIS_SELECTED), 0u);
}

TEST_F(ListViews, DeleteAllSendsOnlyDeleteAllItems)
{
    ListView& view = control<ListView>(kListView);
    fill(view);
    view.setItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    watch();
    view.deleteAllItems();
    EXPECT_EQ(spy->codes(WM_NOTIFY), (std::vector<int32_t>{LVN_DELETEALLITEMS}));
    EXPECT_EQ(view.getItemCount(), 0);
}

TEST_F(ListViews, ClickSelectsAndNotifiesThenBeginDragOnceWithoutCapture)
{
    ListView& view = control<ListView>(kListView);
    fill(view);
    watch(itemChangeNote);
    sim().selectListViewItem(view, 1);
    EXPECT_EQ(view.getNextSelected(), 1);
    std::vector<int32_t> codes = spy->codes(WM_NOTIFY);
    EXPECT_EQ(codes.back(), NM_CLICK);
    spy->clear();
    const Point far = view.clientToScreen({200, 100});
    ASSERT_TRUE(sim().beginListDrag(view, 2, far));
    sim().mouseMove({far.x + 10, far.y});
    codes = spy->codes(WM_NOTIFY);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), LVN_BEGINDRAG), 1);
    EXPECT_EQ(ui().capture(), kNoWindow);
    sim().mouseUp(far);
}

TEST_F(ListViews, CallbackTextsAreAskedForWhenNeeded)
{
    ListView& view = control<ListView>(kListView);
    view.insertColumn(0, "Name", 120);
    view.insertCallbackItem(0, -1, 42);
    int asked = 0;
    host.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_NOTIFY && notifyRecord<NMHDR>(m.lParam)->code == LVN_GETDISPINFO) {
            auto* info = notifyRecord<NMLVDISPINFO>(m.lParam);
            ++asked;
            std::snprintf(info->item.pszText, static_cast<size_t>(info->item.cchTextMax), "item %d/%d",
                          static_cast<int>(info->item.lParam), static_cast<int>(info->item.iSubItem));
            return 0;
        }
        return std::nullopt;
    };
    EXPECT_EQ(view.getItemText(0, 0), "item 42/0");
    EXPECT_EQ(asked, 1);
    view.invalidate();
    sim().pump();
    EXPECT_EQ(asked, 2) << "painting needs the text too";
    EXPECT_EQ(view.getItemText(0, 1), "item 42/1") << "a sub-item never set is asked for";
    view.setItemText(0, 1, "fixed");
    asked = 0;
    EXPECT_EQ(view.getItemText(0, 1), "fixed");
    EXPECT_EQ(asked, 0);
}

TEST_F(ListViews, ItemRectanglesAndHitTest)
{
    ListView& view = control<ListView>(kListView);
    fill(view);
    const Rect bounds = view.getItemRect(1, LVIR_BOUNDS);
    const Rect label = view.getItemRect(1, LVIR_LABEL);
    EXPECT_TRUE(bounds.containsRect(label));
    EXPECT_EQ(view.hitTest({label.l + 2, label.t + 2}), 1);
    EXPECT_EQ(view.hitTest({5, 115}), -1);
    EXPECT_TRUE(view.getItemRect(7, LVIR_BOUNDS).isEmpty());
}

// An icon view's label wraps at spaces onto a second line, and what two lines cannot hold ends with "...", so a
// long name is never cut at both ends.
TEST_F(ListViews, IconLabelsWrapOntoTwoLinesAndEndWithAnEllipsis)
{
    ListView& view = control<ListView>(kListView);
    WindowDc dc(view);
    const auto width = [&](std::string_view text) { return static_cast<int32_t>(dc.getTextExtent(text).cx); };
    EXPECT_EQ(iconLabelLines(dc, "World start", width("World start")), (std::vector<std::string>{"World start"}));
    EXPECT_EQ(iconLabelLines(dc, "Left click on object", width("Left click on")),
              (std::vector<std::string>{"Left click on", "object"}));
    const std::vector<std::string> cut = iconLabelLines(dc, "Left click on an object", width("Left click"));
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[0], "Left click");
    EXPECT_EQ(cut[1].substr(cut[1].size() - 3), "...");
    EXPECT_LE(width(cut[1]), width("Left click"));
    EXPECT_EQ(cut[1].rfind("on", 0), 0u);
    const std::vector<std::string> word =
        iconLabelLines(dc, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", width("\xC3\xA9\xC3\xA9"));
    ASSERT_EQ(word.size(), 1u);
    EXPECT_EQ(word[0].substr(word[0].size() - 3), "...") << "a word too wide for a line is cut whole letters at a time";
    EXPECT_EQ(word[0].size() % 2, 1u);
}

// A report cell too narrow for its text ends it with "..." and, while the pointer rests on it, the tip shows it
// whole; a text that fits offers none, and leaving the view takes the tip away. Fitted, each column is as wide as
// its widest entry where the view has room, and the wide ones share what is left where it has not.
TEST_F(ListViews, ACutCellShowsWholeInATipAndColumnsFitTheirWidestEntry)
{
    ListView& view = control<ListView>(kListView); // 280 pixels wide
    const std::string note = "Uncompressed copy of the sound";
    view.insertColumn(0, "Name", 60);
    view.insertColumn(1, "Note", 60);
    view.insertItem(0, "cube");
    view.setItemText(0, 1, note);
    sim().pump();
    const Rect row = view.getItemRect(0, LVIR_BOUNDS);
    const auto at = [&](int32_t x) { return view.clientToScreen({x, (row.t + row.b) / 2}); };
    sim().mouseMove(at(90));
    EXPECT_EQ(TipWindow::shownText(), note);
    ASSERT_TRUE(TipWindow::shownRect().has_value());
    EXPECT_GE(TipWindow::shownRect()->t, at(90).y) << "below the text, off the pointer";
    sim().mouseMove(at(20));
    EXPECT_EQ(TipWindow::shownText(), std::nullopt);
    sim().mouseMove(at(90));
    sim().mouseMove(view.clientToScreen({-20, -20}));
    EXPECT_EQ(TipWindow::shownText(), std::nullopt);

    WindowDc dc(view);
    const int32_t noteWidth = static_cast<int32_t>(dc.getTextExtent(note).cx);
    EXPECT_EQ(fitWithEllipsis(dc, note, noteWidth), note);
    const std::string cut = fitWithEllipsis(dc, note, noteWidth / 2);
    EXPECT_EQ(cut.substr(cut.size() - 3), "...");
    EXPECT_LE(static_cast<int32_t>(dc.getTextExtent(cut).cx), noteWidth / 2);
    view.fitColumnsToContent();
    EXPECT_GE(view.columnWidth(1), noteWidth);
    EXPECT_LT(view.columnWidth(0), 60) << "a short column gives its room away";
    sim().mouseMove(at(view.columnWidth(0) + 20));
    EXPECT_EQ(TipWindow::shownText(), std::nullopt);
    view.setItemText(0, 1, note + note + note);
    view.fitColumnsToContent();
    EXPECT_LE(view.columnWidth(0) + view.columnWidth(1), static_cast<int32_t>(view.clientRect().width()));
    EXPECT_GE(view.columnWidth(0), static_cast<int32_t>(dc.getTextExtent("cube").cx));
    // A name wider than its heading, fitted, shows whole: it ended in "..." with room to spare beside it.
    view.setItemText(0, 0, "object_12");
    view.fitColumnsToContent();
    sim().mouseMove(at(view.columnWidth(0) + 20));
    sim().mouseMove(at(view.columnWidth(0) / 2));
    EXPECT_EQ(TipWindow::shownText(), std::nullopt) << "the fitted name is cut";
}

TEST_F(ListViews, DestroyedViewLeavesItsSharedImageListDrawable)
{
    ImageListRef list = ImageList::create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 0);
    list->addIcon(*generatedIcon(7, 16));
    ListView& view = control<ListView>(kListView);
    view.setImageList(list, LVSIL_SMALL);
    std::weak_ptr<ImageList> watchList = list;
    list.reset(); // the caller lets go; the view still holds it
    ASSERT_FALSE(watchList.expired());
    ImageListRef elsewhere = watchList.lock();
    view.destroy(); // never destroys the list
    MemoryDc dc;
    dc.select(DibSection::create(16, 16));
    EXPECT_TRUE(elsewhere->draw(dc, 0, {0, 0}, ILD_NORMAL));
}

// Handles are never reused, whether the tree was emptied at once, item by item, or keeps a few items between
// removals: a removed item is gone, the others keep their texts, data, parents and children.
TEST_F(ListControls, TreeHandlesStayUniqueThroughRemovalsAndRefills)
{
    TreeView& tree = control<TreeView>(kTree);
    std::vector<TreeItem> gone;
    for (int round = 0; round < 3; ++round) {
        const TreeItem root = tree.insertItem(TVI_ROOT, TVI_LAST, "root");
        const TreeItem a = tree.insertItem(root, TVI_LAST, "a", -1, -1, 10 + round);
        const TreeItem b = tree.insertItem(root, TVI_LAST, "b");
        const TreeItem c = tree.insertItem(b, TVI_LAST, "c", 3);
        for (const TreeItem old : gone)
            EXPECT_FALSE(tree.exists(old)) << round;
        EXPECT_TRUE(tree.deleteItem(a));
        EXPECT_FALSE(tree.exists(a));
        EXPECT_EQ(tree.getItemData(a), 0);
        EXPECT_EQ(tree.getChildItem(root), b);
        EXPECT_EQ(tree.getParentItem(c), b);
        EXPECT_EQ(tree.getItemText(c), "c");
        EXPECT_EQ(tree.getItemImage(c), 3);
        EXPECT_EQ(tree.getCount(), 3);
        gone.insert(gone.end(), {root, a, b, c});
        if (round == 0) {
            tree.deleteAllItems();
        } else {
            EXPECT_TRUE(tree.deleteItem(c));
            EXPECT_TRUE(tree.deleteItem(root));
        }
        EXPECT_EQ(tree.getCount(), 0);
    }
    const TreeItem kept = tree.insertItem(TVI_ROOT, TVI_LAST, "kept", -1, -1, 7);
    const TreeItem later = tree.insertItem(TVI_ROOT, TVI_LAST, "later");
    EXPECT_TRUE(tree.deleteItem(later));
    EXPECT_EQ(tree.getItemData(tree.insertItem(TVI_ROOT, TVI_LAST, "last", -1, -1, 9)), 9);
    EXPECT_EQ(tree.getItemData(kept), 7);
    EXPECT_FALSE(tree.exists(later));
}

TEST_F(ListControls, TreeSelectionNotifiesWithItsCause)
{
    TreeView& tree = control<TreeView>(kTree);
    const TreeItem root = tree.insertItem(TVI_ROOT, TVI_LAST, "root");
    const TreeItem a = tree.insertItem(root, TVI_LAST, "a");
    const TreeItem b = tree.insertItem(root, TVI_LAST, "b");
    tree.expand(root, TVE_EXPAND);
    watch([](const Msg& m) {
        if (m.message != WM_NOTIFY)
            return std::string();
        const int32_t code = notifyRecord<NMHDR>(m.lParam)->code;
        if (code != TVN_SELCHANGING && code != TVN_SELCHANGED)
            return std::to_string(code); // NM_CLICK carries a bare header
        const auto* nm = notifyRecord<NMTREEVIEW>(m.lParam);
        return std::to_string(nm->hdr.code) + ":" + std::to_string(nm->action);
    });
    tree.selectItem(a);
    EXPECT_EQ(notes(), (std::vector<std::string>{"-401:0", "-402:0"}));
    spy->clear();
    sim().clickTreeItem(tree, b);
    EXPECT_EQ(tree.getSelectedItem(), b);
    ASSERT_GE(notes().size(), 2u);
    EXPECT_EQ(notes()[0], "-401:1");
    EXPECT_EQ(notes()[1], "-402:1");
}

TEST_F(ListControls, TreePressAndMoveBeginsDragOnceWithoutCapture)
{
    TreeView& tree = control<TreeView>(kTree);
    const TreeItem root = tree.insertItem(TVI_ROOT, TVI_LAST, "root");
    const TreeItem leaf = tree.insertItem(root, TVI_LAST, "leaf", -1, -1, 77);
    tree.expand(root, TVE_EXPAND);
    TreeItem dragged = 0;
    LParam data = 0;
    watch([&](const Msg& m) {
        if (m.message != WM_NOTIFY)
            return std::string();
        const int32_t code = notifyRecord<NMHDR>(m.lParam)->code;
        if (code == TVN_BEGINDRAG) {
            dragged = notifyRecord<NMTREEVIEW>(m.lParam)->itemNew.hItem;
            data = notifyRecord<NMTREEVIEW>(m.lParam)->itemNew.lParam;
        }
        return std::to_string(code);
    });
    const Point far = tree.clientToScreen({150, 120});
    ASSERT_TRUE(sim().beginTreeDrag(tree, leaf, far));
    sim().mouseMove({far.x + 10, far.y + 5});
    const std::vector<std::string> seen = notes();
    EXPECT_EQ(std::count(seen.begin(), seen.end(), std::to_string(TVN_BEGINDRAG)), 1);
    EXPECT_EQ(dragged, leaf);
    EXPECT_EQ(data, 77);
    EXPECT_EQ(tree.getSelectedItem(), leaf);
    EXPECT_EQ(ui().capture(), kNoWindow);
    sim().mouseUp(far);
    spy->clear();
    sim().click(tree, {4, 200}); // a press on no item never drags
    sim().mouseMove(tree.clientToScreen({60, 200}));
    const std::vector<std::string> after = notes();
    EXPECT_EQ(std::count(after.begin(), after.end(), std::to_string(TVN_BEGINDRAG)), 0);
}

TEST_F(ListControls, TreeCheckBoxesToggleOnTheStateIcon)
{
    TreeView& tree = control<TreeView>(kTree);
    const TreeItem item = tree.insertItem(TVI_ROOT, TVI_LAST, "check me");
    EXPECT_EQ(tree.getItemState(item, 0xF000), 1u << 12) << "new items start unchecked";
    watch();
    ASSERT_TRUE(sim().clickTreeCheck(tree, item));
    EXPECT_TRUE(tree.getCheck(item));
    EXPECT_EQ(tree.getItemState(item, 0xF000), 2u << 12);
    EXPECT_EQ(spy->codes(WM_NOTIFY), (std::vector<int32_t>{NM_CLICK}));
    Rect label;
    tree.getItemRect(item, label, true);
    TVHITTESTINFO info;
    info.pt = {label.l - 8, label.t + 8};
    EXPECT_EQ(tree.hitTest(info), item);
    EXPECT_EQ(info.flags, TVHT_ONITEMSTATEICON);
    info.pt = {label.l + 2, label.t + 8};
    tree.hitTest(info);
    EXPECT_EQ(info.flags, TVHT_ONITEMLABEL);

    // Space toggles the check of the row with the focus: the top one before anything is selected.
    const TreeItem second = tree.insertItem(TVI_ROOT, TVI_LAST, "and me");
    ui().setFocus(tree.hwnd());
    sim().keyPress(VK_SPACE);
    EXPECT_FALSE(tree.getCheck(item));
    sim().keyPress(VK_DOWN);
    sim().keyPress(VK_DOWN);
    sim().keyPress(VK_SPACE);
    EXPECT_TRUE(tree.getCheck(second));
    EXPECT_FALSE(tree.getCheck(item));
}

TEST_F(ListControls, TreeButtonExpandsWithItemExpanded)
{
    TreeView& tree = control<TreeView>(kTree);
    const TreeItem root = tree.insertItem(TVI_ROOT, TVI_LAST, "root");
    tree.insertItem(root, TVI_LAST, "child");
    EXPECT_EQ(tree.visibleItems().size(), 1u);
    watch();
    sim().click(tree, {10, 8}); // the button, left of the root's label
    EXPECT_TRUE(tree.isExpanded(root));
    EXPECT_EQ(tree.visibleItems().size(), 2u);
    EXPECT_EQ(spy->codes(WM_NOTIFY), (std::vector<int32_t>{TVN_ITEMEXPANDED}));
}

// A person on the keyboard: each move selects as a click does (TVC_BYKEYBOARD in place of TVC_BYMOUSE) and scrolls
// the item into view; Right and Left open and close as the button does, then step to the child or the parent.
TEST_F(ListControls, TreeKeysWalkTheShownRowsOpenAndCloseAsTheMouseDoes)
{
    TreeView& tree = control<TreeView>(kTree);
    const TreeItem r0 = tree.insertItem(TVI_ROOT, TVI_LAST, "r0");
    tree.insertItem(r0, TVI_LAST, "a");
    const TreeItem b = tree.insertItem(r0, TVI_LAST, "b");
    const TreeItem c = tree.insertItem(b, TVI_LAST, "c");
    for (int i = 1; i < 30; ++i)
        tree.insertItem(TVI_ROOT, TVI_LAST, std::string("r").append(std::to_string(i)));
    ASSERT_TRUE(sim().clickTreeItem(tree, r0));
    watch([&](const Msg& m) {
        const int32_t code = m.message == WM_NOTIFY ? notifyRecord<NMHDR>(m.lParam)->code : 0;
        if (code != TVN_SELCHANGED && code != TVN_ITEMEXPANDED)
            return std::string();
        const auto* nm = notifyRecord<NMTREEVIEW>(m.lParam);
        return std::string(code == TVN_SELCHANGED ? "select" : "expand") + ":" + std::to_string(nm->action) + ":" +
               tree.getItemText(nm->itemNew.hItem);
    });
    const auto press = [&](uint8_t key, const std::string& selected) {
        sim().keyPress(key);
        sim().pump();
        EXPECT_EQ(tree.getItemText(tree.getSelectedItem()), selected) << "key " << int{key};
    };
    press(VK_RIGHT, "r0");
    press(VK_RIGHT, "a");
    press(VK_DOWN, "b");
    press(VK_RIGHT, "b");
    press(VK_RIGHT, "c");
    press(VK_RIGHT, "c"); // a leaf: nothing
    press(VK_LEFT, "b");
    press(VK_LEFT, "b");
    press(VK_DOWN, "r1");
    press(VK_UP, "b");
    press(VK_LEFT, "r0");
    press(VK_UP, "r0"); // the first row: nothing
    press(VK_SUBTRACT, "r0");
    EXPECT_FALSE(tree.isExpanded(r0));
    press(VK_ADD, "r0");
    const std::vector<std::string> expected{"expand:2:r0", "select:2:a",  "select:2:b",  "expand:2:b",
                                            "select:2:c",  "select:2:b",  "expand:1:b",  "select:2:r1",
                                            "select:2:b",  "select:2:r0", "expand:1:r0", "expand:2:r0"};
    std::vector<std::string> seen = notes();
    seen.erase(std::remove(seen.begin(), seen.end(), std::string()), seen.end());
    EXPECT_EQ(seen, expected);

    // Rows shown: r0, a, b, r1...r29. End, Home and the pages keep the selection in view.
    const int32_t shown = static_cast<int32_t>(tree.clientRect().height()) / tree.getItemHeight();
    ASSERT_GT(shown, 3);
    const auto rowText = [&](int32_t row) { return tree.getItemText(tree.visibleItems()[static_cast<size_t>(row)]); };
    press(VK_END, "r29");
    EXPECT_EQ(tree.topRow(), 32 - shown);
    press(VK_HOME, "r0");
    EXPECT_EQ(tree.topRow(), 0);
    press(VK_NEXT, rowText(shown - 1));
    EXPECT_EQ(tree.topRow(), 0);
    press(VK_NEXT, rowText(2 * (shown - 1)));
    Rect row;
    EXPECT_TRUE(tree.getItemRect(tree.getSelectedItem(), row, false));
    EXPECT_EQ(row.b, shown * tree.getItemHeight()) << "scrolled to the last full row";
    press(VK_PRIOR, rowText(shown - 1));
    press(VK_PRIOR, "r0");
    EXPECT_EQ(tree.topRow(), 0);

    // A selection hidden under a closed item moves from that item, where a person sees it.
    tree.selectItem(c);
    tree.expand(r0, TVE_COLLAPSE);
    press(VK_DOWN, "r1");
    tree.selectItem(c);
    tree.expand(b, TVE_COLLAPSE);
    press(VK_LEFT, "r0");
}

TEST_F(ListControls, TreeLineScrollingMovesTheFirstVisibleItem)
{
    TreeView& tree = control<TreeView>(kTree);
    std::vector<TreeItem> items;
    for (int i = 0; i < 20; ++i)
        items.push_back(tree.insertItem(TVI_ROOT, TVI_LAST, "item " + std::to_string(i)));
    EXPECT_EQ(tree.getFirstVisibleItem(), items[0]);
    tree.send(WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(tree.getFirstVisibleItem(), items[1]);
    // Selected by the program (a node picked in a 3D view), an item out of sight is scrolled to, as by a key.
    tree.selectItem(items[19]);
    Rect row;
    EXPECT_TRUE(tree.getItemRect(items[19], row, false));
    EXPECT_LE(row.b, static_cast<int32_t>(tree.clientRect().height()));
    EXPECT_NE(tree.getFirstVisibleItem(), items[1]);
    tree.deleteItem(items[1]);
    EXPECT_FALSE(tree.exists(items[1]));
    EXPECT_EQ(tree.insertItem(items[1], TVI_LAST, "orphan"), 0u) << "a deleted parent is unknown";
}

} // namespace
} // namespace pf

namespace pf {
namespace {

// A window's own vertical scroll bar: presses send their codes to the window itself, and views of 500 rows follow.
class OwnScrollBars : public test::Controls {
protected:
    template <typename T> T& make(const char* cls, uint32_t style)
    {
        auto* view = dynamic_cast<T*>(ui().createWindow({cls,
                                                         "",
                                                         WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | style,
                                                         0,
                                                         {300, 20, 500, 220},
                                                         host.hwnd(),
                                                         700}));
        EXPECT_NE(view, nullptr);
        ui().addObserver(this, [this, view](const Msg& m) {
            if (m.message == WM_VSCROLL && m.hwnd == view->hwnd())
                codes.push_back({loWord(m.wParam), hiWord(m.wParam)});
        });
        return *view;
    }
    void TearDown() override
    {
        ui().removeObserver(this);
        test::Controls::TearDown();
    }
    Point onBar(const Window& w, Point inBar) const
    {
        const Rect bar = w.ownScrollBarRect(SB_VERT);
        return {w.screenRect().l + bar.l + inBar.x, w.screenRect().t + bar.t + inBar.y};
    }
    // The down arrow once, the track below the thumb once, then the thumb dragged to the bottom.
    void scrollThrough(Window& w)
    {
        const Rect bar = w.ownScrollBarRect(SB_VERT);
        ASSERT_FALSE(bar.isEmpty());
        sim().click(onBar(w, {static_cast<int32_t>(bar.width() / 2), static_cast<int32_t>(bar.height()) - 4}));
        sim().click(onBar(w, {static_cast<int32_t>(bar.width() / 2), static_cast<int32_t>(bar.height()) - 24}));
        sim().pump();
        const Rect thumb = w.ownScrollThumbRect(SB_VERT);
        ASSERT_FALSE(thumb.isEmpty());
        const Point grab{w.screenRect().l + thumb.l + 4, w.screenRect().t + thumb.t + 3};
        sim().drag(grab, {grab.x, grab.y + 400}, 5);
        sim().pump();
    }
    std::vector<std::pair<int32_t, int32_t>> codes; // (code, position)
};

TEST_F(OwnScrollBars, PressesSendLinePageAndThumbCodesAndAListOf500Follows)
{
    ListView& list = make<ListView>("listview", LVS_REPORT);
    list.insertColumn(0, "Name", 150);
    for (int i = 0; i < 500; ++i)
        list.insertItem(i, "item " + std::to_string(i));
    // In step before the first paint: the frame, bar included, is painted before the client.
    const ScrollInfo info = list.getScrollInfo(SB_VERT);
    EXPECT_EQ(info.nMax, 499);
    sim().pump();
    const int32_t shown = static_cast<int32_t>(info.nPage);
    ASSERT_GT(shown, 3);
    scrollThrough(list);
    ASSERT_GE(codes.size(), 6u);
    EXPECT_EQ(codes[0].first, SB_LINEDOWN);
    EXPECT_EQ(codes[1].first, SB_ENDSCROLL);
    EXPECT_EQ(codes[2].first, SB_PAGEDOWN);
    EXPECT_EQ(codes[3].first, SB_ENDSCROLL);
    EXPECT_EQ(codes[4].first, SB_THUMBTRACK);
    EXPECT_EQ(codes[codes.size() - 2].first, SB_THUMBPOSITION);
    EXPECT_EQ(codes.back().first, SB_ENDSCROLL);
    EXPECT_EQ(codes[codes.size() - 2].second, 500 - shown) << "dragged to the end";
    EXPECT_EQ(list.topIndex(), 500 - shown);
    EXPECT_EQ(list.getScrollInfo(SB_VERT).nPos, 500 - shown) << "the bar follows the view";
    EXPECT_EQ(list.hitTest({20, 22}), 500 - shown) << "the first row shown is the one a click reaches";
}

TEST_F(OwnScrollBars, ATreeOf500FollowsItsBar)
{
    TreeView& tree = make<TreeView>("treeview", TVS_HASBUTTONS);
    for (int i = 0; i < 500; ++i)
        tree.insertItem(TVI_ROOT, TVI_LAST, "node " + std::to_string(i));
    tree.move({300, 20, 500, 320});
    EXPECT_EQ(tree.getScrollInfo(SB_VERT).nMax, 499) << "in step before the first paint";
    sim().pump();
    scrollThrough(tree);
    const int32_t shown = static_cast<int32_t>(tree.getScrollInfo(SB_VERT).nPage);
    EXPECT_EQ(tree.topRow(), 500 - shown);
    EXPECT_EQ(tree.getFirstVisibleItem(), tree.visibleItems()[static_cast<size_t>(500 - shown)]);
    codes.clear();
    const Rect bar = tree.ownScrollBarRect(SB_VERT);
    sim().click(onBar(tree, {static_cast<int32_t>(bar.width() / 2), 4})); // the up arrow
    EXPECT_EQ(tree.topRow(), 500 - shown - 1);
    EXPECT_EQ(codes, (std::vector<std::pair<int32_t, int32_t>>{{SB_LINEUP, 0}, {SB_ENDSCROLL, 0}}));
}

TEST_F(OwnScrollBars, AListViewOf500MovesByPagesHomeAndEndAsByArrowsWithItsBarInStep)
{
    ListView& list = make<ListView>("listview", LVS_REPORT | LVS_SINGLESEL);
    list.insertColumn(0, "Name", 150);
    for (int i = 0; i < 500; ++i)
        list.insertItem(i, "item " + std::to_string(i));
    sim().pump();
    const int32_t shown = static_cast<int32_t>(list.getScrollInfo(SB_VERT).nPage);
    ASSERT_GT(shown, 3);
    ASSERT_TRUE(sim().selectListViewItem(list, 0));
    watch(itemChangeNote);
    const auto keyTo = [&](uint8_t key, int32_t selected, int32_t top) {
        sim().keyPress(key);
        sim().pump();
        EXPECT_EQ(list.getNextSelected(), selected) << "key " << int{key};
        EXPECT_EQ(list.getSelectedCount(), 1) << "key " << int{key};
        EXPECT_EQ(list.topIndex(), top) << "key " << int{key};
        EXPECT_EQ(list.getScrollInfo(SB_VERT).nPos, top) << "the bar follows the key " << int{key};
    };
    keyTo(VK_NEXT, shown - 1, 0);
    keyTo(VK_NEXT, 2 * (shown - 1), shown - 1);
    keyTo(VK_END, 499, 500 - shown);
    keyTo(VK_DOWN, 499, 500 - shown);
    keyTo(VK_PRIOR, 499 - (shown - 1), 499 - (shown - 1));
    keyTo(VK_HOME, 0, 0);
    keyTo(VK_UP, 0, 0);
    // Each move that went somewhere tells of the old row's deselection, then the new row's selection, as Down does.
    const auto selected = [](int32_t item) {
        return std::to_string(LVN_ITEMCHANGED) + ":" + std::to_string(item) + ":0>" +
               std::to_string(LVIS_SELECTED | LVIS_FOCUSED);
    };
    std::vector<std::string> selections;
    for (const std::string& n : notes())
        if (n.starts_with(std::to_string(LVN_ITEMCHANGED)) && n.ends_with(selected(0).substr(selected(0).rfind(':'))))
            selections.push_back(n);
    EXPECT_EQ(selections, (std::vector<std::string>{selected(shown - 1), selected(2 * (shown - 1)), selected(499),
                                                    selected(499 - (shown - 1)), selected(0)}));
}

TEST_F(OwnScrollBars, AListBoxOf200ScrollsByKeysAndItsThumbWithTheSelectionInView)
{
    ListBox& list = make<ListBox>("listbox", LBS_NOTIFY);
    for (int i = 0; i < 200; ++i)
        list.addString("name " + std::to_string(i));
    sim().pump();
    const int32_t shown = list.shownRows();
    ASSERT_GT(shown, 3);
    EXPECT_EQ(list.getScrollInfo(SB_VERT).nMax, 199);
    EXPECT_EQ(list.getScrollInfo(SB_VERT).nPage, static_cast<uint32_t>(shown));
    sim().selectListItem(list, 0);
    watch();
    const auto keyTo = [&](uint8_t key, int32_t selected, int32_t top) {
        sim().keyPress(key);
        sim().pump();
        EXPECT_EQ(list.getCurSel(), selected) << "key " << int{key};
        EXPECT_EQ(list.getTopIndex(), top) << "key " << int{key};
        EXPECT_EQ(list.getScrollInfo(SB_VERT).nPos, top) << "the bar follows the key " << int{key};
    };
    keyTo(VK_NEXT, shown - 1, 0);
    keyTo(VK_NEXT, 2 * (shown - 1), shown - 1);
    keyTo(VK_UP, 2 * (shown - 1) - 1, shown - 1);
    keyTo(VK_END, 199, 200 - shown);
    keyTo(VK_DOWN, 199, 200 - shown);
    keyTo(VK_HOME, 0, 0);
    keyTo(VK_PRIOR, 0, 0);
    EXPECT_EQ(spy->codes(WM_COMMAND), std::vector<int32_t>(5, LBN_SELCHANGE)) << "one for each key that moved it";
    scrollThrough(list);
    EXPECT_EQ(list.getTopIndex(), 200 - shown) << "the thumb dragged to the end";
    EXPECT_EQ(list.getCurSel(), 0) << "scrolling leaves the selection";
    sim().click(list.clientToScreen({10, 4}));
    EXPECT_EQ(list.getCurSel(), 200 - shown) << "a click reaches the first row shown";
    list.resetContent();
    list.addString("only");
    sim().pump();
    EXPECT_EQ(list.getTopIndex(), 0);
    EXPECT_EQ(list.getScrollInfo(SB_VERT).nPos, 0);
    // One item: the thumb fills the track, as the screen shows it (two neighbours of plain face, no dither).
    const Rect thumb = list.ownScrollThumbRect(SB_VERT);
    const Point middle{list.screenRect().l + (thumb.l + thumb.r) / 2, list.screenRect().t + (thumb.t + thumb.b) / 2};
    EXPECT_EQ(screenPixel(middle), pixelFromColorRef(getSysColor(COLOR_BTNFACE)) & kPixelRgbMask);
    EXPECT_EQ(screenPixel({middle.x + 1, middle.y}), pixelFromColorRef(getSysColor(COLOR_BTNFACE)) & kPixelRgbMask);
}

TEST_F(OwnScrollBars, KeysMoveTheCaretOfAnExtendedListBoxAndSelectItAlone)
{
    ListBox& list = make<ListBox>("listbox", LBS_EXTENDEDSEL);
    for (int i = 0; i < 50; ++i)
        list.addString("name " + std::to_string(i));
    sim().pump();
    sim().selectListItem(list, 1);
    sim().keyDown(VK_CONTROL);
    sim().selectListItem(list, 3);
    sim().keyUp(VK_CONTROL);
    sim().keyPress(VK_END);
    EXPECT_EQ(list.getCurSel(), 49);
    EXPECT_EQ(list.getSelItems(), (std::vector<int32_t>{49}));
    EXPECT_EQ(list.getTopIndex(), 50 - list.shownRows());
}

} // namespace
} // namespace pf
