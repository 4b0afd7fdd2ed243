// The notification contracts of statics, buttons and edits.
#include "platform/ui/controls/tests/control_fixture.h"

#include "platform/testing/image_check.h"

namespace pf {
namespace {

using namespace test;

class TextControls : public Controls {};

TEST_F(TextControls, SetTextSendsOneEnChangeAfterTheChange)
{
    Edit& edit = control<Edit>(kEdit);
    watch([&](const Msg&) { return edit.text(); });
    edit.setText("abc");
    edit.setText("abc"); // no comparison: the same text notifies again
    EXPECT_EQ(spy->codes(WM_COMMAND), (std::vector<int32_t>{EN_CHANGE, EN_CHANGE}));
    EXPECT_EQ(notes(), (std::vector<std::string>{"abc", "abc"}));
}

TEST_F(TextControls, MultiLineSetTextIsSilentButUserEditsNotify)
{
    Edit& edit = control<Edit>(kMultiEdit);
    watch();
    edit.setText("line one\r\nline two");
    EXPECT_EQ(spy->count(WM_COMMAND), 0u);
    EXPECT_EQ(edit.text(), "line one\r\nline two");
    sim().typeText(edit, "x");
    EXPECT_EQ(spy->codes(WM_COMMAND), (std::vector<int32_t>{EN_CHANGE}));
}

TEST_F(TextControls, EachUserEditSendsExactlyOneEnChange)
{
    Edit& edit = control<Edit>(kEdit);
    watch([&](const Msg&) { return edit.text(); });
    sim().click(edit);
    sim().typeChars("ab");
    sim().keyPress(VK_BACK);
    edit.replaceSel("Z");
    EXPECT_EQ(spy->count(WM_COMMAND), 4u);
    EXPECT_EQ(notes(), (std::vector<std::string>{"starta", "startab", "starta", "startaZ"}));
    sim().keyPress(VK_HOME);
    sim().keyPress(VK_BACK); // nothing before the caret: no change, no notification
    EXPECT_EQ(spy->count(WM_COMMAND), 4u);
}

// Tab into a field selects its text and shows it selected; Shift with the caret keys moves one end of the selection,
// the Ctrl keys copy, cut, paste and select all, and a line longer than the field scrolls to keep the caret in view.
TEST_F(TextControls, ASelectionIsShownMovedByShiftAndCutCopiedAndPasted)
{
    Edit& edit = control<Edit>(kEdit);
    const auto highlighted = [&] {
        sim().pump();
        int64_t n = 0;
        const Rect r = edit.clientRect();
        for (int32_t y = r.t; y < r.b; ++y)
            for (int32_t x = r.l; x < r.r; ++x)
                n += screenPixel(edit.clientToScreen({x, y})) == pixelFromColorRef(getSysColor(COLOR_HIGHLIGHT));
        return n;
    };
    sim().click(control<Edit>(kMultiEdit));
    sim().keyDown(VK_SHIFT);
    sim().keyPress(VK_TAB);
    EXPECT_EQ(ui().focus(), edit.hwnd());
    EXPECT_EQ(edit.getSel(), (std::pair<int32_t, int32_t>{0, 5}));
    EXPECT_GT(highlighted(), 50) << "the selection Tab made is seen";
    sim().keyPress(VK_LEFT);
    sim().keyUp(VK_SHIFT);
    EXPECT_EQ(edit.getSel(), (std::pair<int32_t, int32_t>{0, 4})) << "Shift+Left takes the caret back from the end";
    sim().keyPress(VK_END);
    sim().keyDown(VK_SHIFT);
    sim().keyPress(VK_HOME);
    EXPECT_EQ(edit.getSel(), (std::pair<int32_t, int32_t>{0, 5}));
    sim().keyPress(VK_RIGHT);
    sim().keyUp(VK_SHIFT);
    EXPECT_EQ(edit.getSel(), (std::pair<int32_t, int32_t>{1, 5}));
    sim().keyChord(VK_CONTROL, 'X');
    EXPECT_EQ(edit.text(), "s");
    EXPECT_EQ(highlighted(), 0);
    sim().keyPress(VK_HOME);
    sim().keyChord(VK_CONTROL, 'V');
    EXPECT_EQ(edit.text(), "tarts");
    sim().keyDown(VK_SHIFT);
    sim().keyPress(VK_END);
    sim().keyUp(VK_SHIFT);
    sim().keyChord(VK_CONTROL, 'C');
    sim().keyChord(VK_CONTROL, 'A');
    sim().keyChord(VK_CONTROL, 'V');
    EXPECT_EQ(edit.text(), "s");

    // The field is 140 pixels wide: what is typed at its end stays in view, and Home brings the start back.
    edit.setText("");
    sim().typeChars("a" + std::string(60, ' ') + "WWW");
    sim().pump();
    const uint32_t ink = pixelFromColorRef(getSysColor(COLOR_WINDOWTEXT));
    const auto inkAt = [&](int32_t from, int32_t to) {
        int64_t n = 0;
        for (int32_t y = 2; y < 18; ++y)
            for (int32_t x = from; x < to; ++x)
                n += screenPixel(edit.clientToScreen({x, y})) == ink;
        return n;
    };
    EXPECT_GT(inkAt(90, 136), 20) << "the end of the text, where the caret is";
    EXPECT_GT(edit.horizontalScroll(), 0);
    sim().keyPress(VK_HOME);
    sim().pump();
    EXPECT_EQ(edit.horizontalScroll(), 0);
    EXPECT_EQ(inkAt(90, 136), 0) << "the spaces in the middle";

    // A long line of a multi-line field scrolls to its caret too.
    Edit& multi = control<Edit>(kMultiEdit);
    sim().click(multi);
    sim().typeChars("a" + std::string(60, ' ') + "WWW");
    sim().pump();
    EXPECT_GT(multi.horizontalScroll(), 0);
    int64_t seen = 0;
    for (int32_t y = 2; y < 18; ++y)
        for (int32_t x = 90; x < 136; ++x)
            seen += screenPixel(multi.clientToScreen({x, y})) == ink;
    EXPECT_GT(seen, 20) << "the end of the line, where the caret is";
}

TEST_F(TextControls, LimitTextLimitsTheUserOnlyInBytes)
{
    Edit& edit = control<Edit>(kEdit);
    edit.setText("");
    edit.limitText(3);
    sim().typeText(edit, "\xC3\xA9xyz"); // é is two bytes: é and x fit, y does not
    EXPECT_EQ(edit.text(), "\xC3\xA9x");
    edit.setText("longer than three");
    EXPECT_EQ(edit.text(), "longer than three");
}

TEST_F(TextControls, CreationWithTextSendsNothing)
{
    watch();
    Window* made = ui().createWindow({"edit", "preset", WS_CHILD | WS_VISIBLE, 0, {0, 0, 50, 20}, host.hwnd(), 555});
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(spy->count(WM_COMMAND), 0u);
    EXPECT_EQ(made->text(), "preset");
}

TEST_F(TextControls, RichEditNotifiesOnlyAsItsMaskAsksAndUndoesReplaceSel)
{
    auto& rich = control<RichEdit>(kRich);
    watch();
    rich.setText("one");
    sim().typeText(rich, "x");
    EXPECT_EQ(spy->count(WM_COMMAND), 0u);
    rich.setEventMask(ENM_CHANGE);
    rich.setSel(0, -1);
    rich.replaceSel("two");
    EXPECT_EQ(spy->codes(WM_COMMAND), (std::vector<int32_t>{EN_CHANGE}));
    EXPECT_EQ(rich.text(), "two");
    EXPECT_TRUE(rich.undo());
    EXPECT_EQ(rich.text(), "onex");
}

TEST_F(TextControls, ButtonClickNeedsPressAndReleaseInside)
{
    Button& push = control<Button>(kPush);
    watch();
    sim().click(push);
    EXPECT_EQ(spy->codes(WM_COMMAND), (std::vector<int32_t>{BN_CLICKED}));
    const Point inside = push.clientToScreen({5, 5});
    sim().drag(inside, {inside.x + 200, inside.y}, 3); // released outside
    EXPECT_EQ(spy->count(WM_COMMAND), 1u);
    push.enable(false);
    sim().click(push);
    EXPECT_EQ(spy->count(WM_COMMAND), 1u) << "disabled buttons ignore input";
}

TEST_F(TextControls, AutoCheckBoxTogglesBeforeItsNotification)
{
    Button& check = control<Button>(kCheck);
    watch([&](const Msg&) { return std::to_string(check.getCheck()); });
    sim().toggleCheck(check);
    sim().toggleCheck(check);
    EXPECT_EQ(notes(), (std::vector<std::string>{"1", "0"}));
    check.setCheck(BST_CHECKED);
    EXPECT_EQ(spy->count(WM_COMMAND), 2u) << "setCheck never notifies";
}

TEST_F(TextControls, AutoRadioChecksItsGroupOnlyAndNotifiesWhenAlreadyChecked)
{
    Button& one = control<Button>(kRadio1);
    Button& two = control<Button>(kRadio2);
    Button& other = control<Button>(kRadio3);
    other.setCheck(BST_CHECKED);
    one.setCheck(BST_CHECKED);
    watch([&](const Msg&) { return std::to_string(one.getCheck()) + std::to_string(two.getCheck()); });
    sim().click(two);
    sim().click(two);
    EXPECT_EQ(notes(), (std::vector<std::string>{"01", "01"}));
    EXPECT_EQ(other.getCheck(), BST_CHECKED) << "WS_GROUP ends the group";
}

TEST_F(TextControls, StaticNotifiesOnlyWithSsNotify)
{
    watch();
    sim().click(control<StaticControl>(kNotifyStatic));
    EXPECT_EQ(spy->codes(WM_COMMAND), (std::vector<int32_t>{STN_CLICKED}));
    EXPECT_EQ(ui().windowFromPoint(control<StaticControl>(kPlainStatic).clientToScreen({2, 2})), host.hwnd());
}

TEST_F(TextControls, CtlColorStaticBrushFillsTheBackground)
{
    StaticControl& label = control<StaticControl>(kPlainStatic);
    label.setText("");
    host.answerStaticBrush = true;
    label.invalidate();
    sim().pump();
    EXPECT_EQ(screenPixel(label.clientToScreen({50, 8})), pixelFromColorRef(rgb(0, 128, 0)));
    host.staticBrush = Brush{BS_NULL, 0}; // hollow: what is under it shows
    label.invalidate();
    host.invalidate();
    sim().pump();
    EXPECT_EQ(screenPixel(label.clientToScreen({50, 8})), pixelFromColorRef(getSysColor(COLOR_BTNFACE)));
}

// A text too long for a static two lines high goes on in its second line, broken at a space; one line high, the
// static shows its first line as ever.
TEST_F(TextControls, ATwoLineStaticBreaksALongTextAtItsSpaces)
{
    StaticControl& label = control<StaticControl>(kPlainStatic);
    label.setText("mmmmmm mmmmmm mmmmmm mmmmmm mmmmmm");
    const uint32_t face = pixelFromColorRef(getSysColor(COLOR_BTNFACE));
    const auto inkIn = [&](int32_t top, int32_t bottom) {
        sim().pump();
        int64_t n = 0;
        for (int32_t y = top; y < bottom; ++y)
            for (int32_t x = 0; x < 90; ++x)
                n += screenPixel(label.clientToScreen({x, y})) != face;
        return n;
    };
    const int64_t oneLine = inkIn(0, 16);
    EXPECT_GT(oneLine, 0);
    label.move(Rect{10, 400, 100, 436});
    EXPECT_GT(inkIn(16, 36), 0) << "no second line";
    EXPECT_LT(inkIn(0, 16), oneLine) << "the first line ends at a space";
}

TEST_F(TextControls, ButtonsOwnCodeStopsWhenItDiesInItsNotification)
{
    Button& push = control<Button>(kPush);
    const Hwnd pushHwnd = push.hwnd();
    host.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_COMMAND && loWord(m.wParam) == kPush) {
            if (Window* w = ui().window(pushHwnd))
                w->destroy();
            return 0;
        }
        return std::nullopt;
    };
    sim().click(push); // ASan: the button's repaint after BN_CLICKED must not run
    EXPECT_FALSE(ui().isWindow(pushHwnd));
}

} // namespace
} // namespace pf
