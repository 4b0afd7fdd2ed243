// Our windows among a desktop's: what the window manager is told of owners and kinds and does with it, windows
// kept inside the work area, and, where no window manager runs, the caption the layer draws itself. What is checked
// is what the X server shows (properties, stacking, geometry), with input made through XTest.
#include "platform/live/tests/live_environment.h"

#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/live/x_window.h"
#include "platform/testing/image_check.h"
#include "platform/testing/message_spy.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/frame/frame_window.h"
#include "platform/ui/providers/live_providers.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>

namespace pf {
namespace {

constexpr uint32_t kFramedStyle = WS_CAPTION | WS_THICKFRAME;

class LiveDesktop : public LiveFixture {
protected:
    unsigned long xOf(Hwnd hwnd) { return xWindowOf(backend().sdlWindowOf(hwnd)).window; }
    // Runs the loop until the window is on the server and, under a window manager, framed by it, and the tree has
    // learnt where the window manager put it: a point taken from the tree then lands where it should. (Windows
    // without a menu bar: their client area is the server's window.)
    unsigned long shownOnServer(Hwnd hwnd)
    {
        EXPECT_TRUE(runUntil([&] {
            const unsigned long x = xOf(hwnd);
            if (x == 0 || !withWindowManager)
                return x != 0;
            const std::vector<unsigned long> frame = liveServer().property(x, "_NET_FRAME_EXTENTS");
            const Rect outer = liveServer().outerRect(x);
            return frame.size() == 4 &&
                   ui().window(hwnd)->clientToScreen({0, 0}) ==
                       Point{outer.l + static_cast<int32_t>(frame[0]), outer.t + static_cast<int32_t>(frame[2])};
        }));
        return xOf(hwnd);
    }
    bool isAbove(unsigned long upper, unsigned long lower)
    {
        const std::vector<unsigned long> order = liveServer().stacking();
        const auto u = std::find(order.begin(), order.end(), upper);
        const auto l = std::find(order.begin(), order.end(), lower);
        return u != order.end() && l != order.end() && u > l;
    }
    // A frame's menus used as a person in a hurry uses them: pressed on the title, dragged onto an item and let go
    // there, twenty times each menu, the items taken in turn. The drag and the release are made once the menu shows.
    void chooseEveryMenuByDragging();
    // Counts in `opened` each showing of the menu of the frame's first title, and closes it again with Escape.
    void countFileMenus(MessageSpy& spy, FrameWindow& frame, int& opened)
    {
        spy.onlyMessages({WM_PAINT}).probe([this, f = &frame, n = &opened](const Msg& msg) {
            const Window* w = ui().window(msg.hwnd);
            if (w != nullptr && w->className() == "popupmenu" && xOf(msg.hwnd) != 0 && f->menuBarHot() == 0) {
                ++*n;
                liveServer().tap(XK_Escape);
                liveServer().tap(XK_Escape);
            }
            return std::string();
        });
    }
    void f10FromAnEditorReachesTheFrame();
    Window* framed(const Rect& rect, Hwnd owner = kNoWindow, const char* title = "framed")
    {
        Window* w = ui().createWindow({"window", title, kFramedStyle, 0, rect, owner});
        if (w != nullptr)
            w->show(SW_SHOW);
        return w;
    }
};

class LiveUnderWindowManager : public LiveDesktop {
protected:
    LiveUnderWindowManager()
    {
        withWindowManager = true;
        screenSize = {1024, 768};
    }
};

// A question asked over a disabled owner: the owner maximised and clicked by the user keeps it in front, takes none
// of the clicks, and hands the keyboard back to the question; once answered, the owner takes clicks again.
TEST_F(LiveUnderWindowManager, AnOwnedDialogStaysAboveItsModalOwnerThroughMaximiseAndClicks)
{
    Window* owner = framed({60, 60, 660, 500});
    ASSERT_NE(owner, nullptr);
    const unsigned long ownerX = shownOnServer(owner->hwnd());
    Window* question = framed({200, 160, 460, 300}, owner->hwnd(), "question");
    ASSERT_NE(question, nullptr);
    owner->enable(false);
    const unsigned long questionX = shownOnServer(question->hwnd());
    EXPECT_EQ(liveServer().property(questionX, "WM_TRANSIENT_FOR"), std::vector<unsigned long>{ownerX});
    const std::vector<unsigned long> type = liveServer().property(questionX, "_NET_WM_WINDOW_TYPE");
    ASSERT_EQ(type.size(), 1u);
    EXPECT_EQ(liveServer().atomName(type[0]), "_NET_WM_WINDOW_TYPE_DIALOG");
    EXPECT_TRUE(liveServer().property(ownerX, "WM_TRANSIENT_FOR").empty());

    MessageSpy spy;
    spy.onlyWindows({owner->hwnd()}).onlyMessages({WM_LBUTTONDOWN});
    const Rect before = owner->screenRect();
    liveServer().maximize(ownerX);
    ASSERT_TRUE(runUntil([&] { return owner->screenRect().width() > before.width(); }));
    const Point away = owner->clientToScreen({20, static_cast<int32_t>(owner->clientRect().b) - 20});
    liveServer().click(away);
    EXPECT_TRUE(runUntil([&] {
        return isAbove(questionX, ownerX) &&
               liveServer().property(0, "_NET_ACTIVE_WINDOW") == std::vector<unsigned long>{questionX};
    }));
    EXPECT_EQ(spy.count(WM_LBUTTONDOWN), 0u);
    EXPECT_EQ(ui().activeWindow(), question->hwnd());

    owner->enable(true); // answered
    question->destroy();
    liveServer().click(away);
    EXPECT_TRUE(runUntil([&] { return spy.count(WM_LBUTTONDOWN) == 1; }));
}

// A box opened while a progress box shows comes in front of it, both in front of the window they belong to.
TEST_F(LiveUnderWindowManager, ANewBoxComesAboveTheProgressBox)
{
    Window* owner = framed({60, 60, 660, 500});
    ASSERT_NE(owner, nullptr);
    const unsigned long ownerX = shownOnServer(owner->hwnd());
    Window* progress = framed({150, 150, 450, 250}, owner->hwnd(), "progress");
    const unsigned long progressX = shownOnServer(progress->hwnd());
    owner->enable(false);
    // The user's last action was on the progress box; the box comes later, from the work it watches.
    MessageSpy spy;
    spy.onlyWindows({progress->hwnd()}).onlyMessages({WM_LBUTTONDOWN});
    liveServer().click(progress->clientToScreen({20, 20}));
    ASSERT_TRUE(runUntil([&] { return spy.count(WM_LBUTTONDOWN) == 1; }));
    Window* box = framed({180, 170, 420, 290}, owner->hwnd(), "warning");
    const unsigned long boxX = shownOnServer(box->hwnd());
    EXPECT_TRUE(runUntil([&] { return isAbove(boxX, progressX) && isAbove(progressX, ownerX); }));
    liveServer().click(owner->clientToScreen({10, 10}));
    EXPECT_TRUE(runUntil([&] { return isAbove(boxX, progressX) && isAbove(progressX, ownerX); }));
}

// A modal box keeps the keyboard from a floating panel the modal run leaves enabled: given to the panel while "Save
// changes?" is up, the keyboard comes back to the box, whose N answers it. Answered, the box hands the keyboard to
// the window it was asked for, not to the panel that window keeps above itself.
TEST_F(LiveUnderWindowManager, AModalBoxKeepsTheKeyboardFromAFloatingPanel)
{
    Window* owner = framed({40, 40, 640, 500});
    ASSERT_NE(owner, nullptr);
    const unsigned long ownerX = shownOnServer(owner->hwnd());
    Window* panel = ui().createWindow({"window", "panel", WS_POPUP | WS_BORDER, 0, {700, 60, 900, 400}, owner->hwnd()});
    ASSERT_NE(panel, nullptr);
    panel->show(SW_SHOW);
    const unsigned long panelX = shownOnServer(panel->hwnd());
    const Point onPanel = panel->clientToScreen({40, 40});
    liveServer().click(onPanel);
    ASSERT_TRUE(runUntil([&] { return liveServer().focus() == panelX; }));

    struct ClickingDriver final : ModalDriver {
        std::function<void(Dialog&)> scene;
        LoopModalDriver loop;
        void run(Dialog& d) override
        {
            scene(d);
            loop.run(d);
        }
    } driver;
    driver.scene = [&](Dialog& box) {
        const unsigned long boxX = shownOnServer(box.hwnd());
        EXPECT_TRUE(runUntil([&] { return liveServer().focus() == boxX; }));
        // The window manager hands the keyboard to the panel, as it may when the box maps while the panel has it.
        Display* other = XOpenDisplay(liveServer().display().c_str());
        ASSERT_NE(other, nullptr);
        XSetInputFocus(other, panelX, RevertToNone, CurrentTime);
        XSync(other, False);
        XCloseDisplay(other);
        settle(300);
        EXPECT_TRUE(runUntil([&] { return liveServer().focus() == boxX && ui().activeWindow() == box.hwnd(); }, 3000));
        liveServer().tap(XK_n);
        runUntil([&] { return box.hasEnded(); }, 3000);
        if (!box.hasEnded())
            box.endDialog(IDCANCEL); // the key went elsewhere
    };
    LiveProviders providers;
    providers.install();
    ui().providers().install(&driver);
    EXPECT_EQ(messageBox(owner->hwnd(), "Save changes?", "Project", MB_YESNOCANCEL | MB_ICONQUESTION), IDNO);
    ui().providers().install(static_cast<ModalDriver*>(nullptr));
    EXPECT_TRUE(runUntil([&] { return liveServer().focus() == ownerX && ui().activeWindow() == owner->hwnd(); }));
}

// The main window asked larger than the screen, and the editor asked below its bottom: each fits in the work area
// with the frame the window manager draws, and the tree holds where the server put it.
TEST_F(LiveUnderWindowManager, WindowsOpenInsideTheWorkAreaWithTheirFrames)
{
    Window* main = framed({0, 0, 1100, 900});
    ASSERT_NE(main, nullptr);
    const unsigned long mainX = shownOnServer(main->hwnd());
    Window* editor = framed({300, 500, 700, 900}, main->hwnd(), "editor");
    const unsigned long editorX = shownOnServer(editor->hwnd());
    const Rect screenArea{0, 0, 1024, 768};
    for (const auto& [w, x] : {std::pair{main, mainX}, std::pair{editor, editorX}}) {
        SCOPED_TRACE(w->text());
        EXPECT_TRUE(runUntil([&, w = w, x = x] {
            const Rect outer = liveServer().outerRect(x);
            const std::vector<unsigned long> frame = liveServer().property(x, "_NET_FRAME_EXTENTS");
            const Point client = w->clientToScreen({0, 0});
            return frame.size() == 4 && !outer.isEmpty() && screenArea.containsRect(outer) &&
                   client == Point{outer.l + static_cast<int32_t>(frame[0]), outer.t + static_cast<int32_t>(frame[2])};
        }));
    }
}

// A window manager that answers late, as on a loaded machine, holds up no window shown meanwhile, and still frames
// the window inside the work area once it answers: the place is fitted again when the frame becomes known.
TEST_F(LiveUnderWindowManager, AWindowShownBeforeItsFrameIsKnownIsFittedWhenItIs)
{
    liveServer().holdWindowManager(30000); // let go below, or by then should the show wait for it
    Window* main = framed({0, 0, 1100, 900});
    EXPECT_TRUE(liveServer().letWindowManagerGo()) << "the show waited for the window manager";
    ASSERT_NE(main, nullptr);
    const unsigned long mainX = shownOnServer(main->hwnd());
    EXPECT_TRUE(runUntil([&] {
        const Rect outer = liveServer().outerRect(mainX);
        return !outer.isEmpty() && Rect{0, 0, 1024, 768}.containsRect(outer);
    })) << "outer "
        << liveServer().outerRect(mainX).width() << "x" << liveServer().outerRect(mainX).height();
}

Point centreOf(const Rect& r)
{
    return {(r.l + r.r) / 2, (r.t + r.b) / 2};
}

// A frame's child windows under the mouse and the keys: a new one in front, moved by its caption and sized by its
// corner, maximised over the client area and restored by its button, Ctrl+Tab and Ctrl+F4, and its close box.
TEST_F(LiveUnderWindowManager, ChildWindowsAreArrangedByTheMouseAndTheKeys)
{
    FrameWindow frame;
    ASSERT_TRUE(frame.createFrame("frame", {0, 0, 900, 700}, 0, WS_THICKFRAME));
    frame.show(SW_SHOW);
    shownOnServer(frame.hwnd());
    MdiChild a, b;
    ASSERT_TRUE(a.createChild(frame, "A", {10, 10, 310, 210}));
    ASSERT_TRUE(b.createChild(frame, "B", {200, 150, 500, 400}));
    EXPECT_TRUE(b.isActive());
    const auto press = [&](Point at) {
        liveServer().moveTo(at);
        liveServer().button(1, true);
    };
    const auto release = [&] { liveServer().button(1, false); };

    // A's caption, left of where B covers it, carries A forward and along.
    const Point grip = a.clientToScreen({40, -8});
    press(grip);
    EXPECT_TRUE(runUntil([&] { return a.isActive() && ui().capture() == a.hwnd(); }));
    liveServer().moveTo({grip.x + 100, grip.y + 50});
    EXPECT_TRUE(runUntil([&] { return a.windowRect() == Rect{110, 60, 410, 260}; }));
    release();
    EXPECT_TRUE(runUntil([&] { return ui().capture() == kNoWindow; }));

    // B's bottom-right corner sizes it both ways.
    const Point corner{b.screenRect().r - 2, b.screenRect().b - 2};
    press(corner);
    EXPECT_TRUE(runUntil([&] { return ui().capture() == b.hwnd(); }));
    liveServer().moveTo({corner.x + 60, corner.y + 40});
    EXPECT_TRUE(runUntil([&] { return b.windowRect() == Rect{200, 150, 560, 440}; }));
    release();
    EXPECT_TRUE(runUntil([&] { return ui().capture() == kNoWindow; }));

    // Maximised, B fills the client area, and the server shows what the layer composed there.
    const Rect maxBox = b.captionButtonRect(MdiChild::kMaximizeButton);
    liveServer().click(centreOf(maxBox.offsetBy(b.screenRect().l, b.screenRect().t)));
    EXPECT_TRUE(runUntil([&] { return b.isMaximized() && b.windowRect() == frame.mdiClient()->clientRect(); }));
    const Point origin = frame.mdiClient()->clientToScreen({0, 0});
    const Rect area = Rect::fromXywh(origin.x, origin.y, 400, 300);
    EXPECT_TRUE(
        runUntil([&] { return compareSurfaces(*liveServer().grab(area), *captureScreen(area), 12).differing == 0; }));
    liveServer().click(
        centreOf(b.captionButtonRect(MdiChild::kMaximizeButton).offsetBy(b.screenRect().l, b.screenRect().t)));
    EXPECT_TRUE(runUntil([&] { return !b.isMaximized() && b.windowRect() == Rect{200, 150, 560, 440}; }));

    // Ctrl+Tab brings the one at the back forward; Ctrl+F4 closes the active one, the close box the other.
    const Hwnd aHwnd = a.hwnd(), bHwnd = b.hwnd();
    ASSERT_TRUE(b.isActive());
    liveServer().key(XK_Control_L, true);
    liveServer().tap(XK_Tab);
    liveServer().key(XK_Control_L, false);
    EXPECT_TRUE(runUntil([&] { return a.isActive(); }));
    liveServer().key(XK_Control_L, true);
    liveServer().tap(XK_F4);
    liveServer().key(XK_Control_L, false);
    EXPECT_TRUE(runUntil([&] { return ui().window(aHwnd) == nullptr && b.isActive(); }));
    liveServer().click(
        centreOf(b.captionButtonRect(MdiChild::kCloseButton).offsetBy(b.screenRect().l, b.screenRect().t)));
    EXPECT_TRUE(runUntil([&] { return ui().window(bHwnd) == nullptr; }));
    frame.destroy();
}

class LiveWithoutWindowManager : public LiveDesktop {};

// The layer's own caption stands in for the window manager's: it shows with a close box, drags the window, and its
// close box closes it; Alt+F4 and Escape close a modeless window that has no Cancel button.
TEST_F(LiveWithoutWindowManager, OurCaptionMovesAndClosesTheWindow)
{
    ASSERT_FALSE(backend().windowManagerRuns());
    Window* w = framed({100, 100, 400, 300});
    ASSERT_NE(w, nullptr);
    const unsigned long x = shownOnServer(w->hwnd());
    EXPECT_TRUE(runUntil([&] { return liveServer().outerRect(x) == w->screenRect(); }));
    // The caption band the tree composed shows on the server, its title's pixels included.
    const Rect caption = Rect::fromXywh(w->screenRect().l + 4, w->screenRect().t + 4, 120, 14);
    const std::unique_ptr<Surface32> composed = captureScreen(caption);
    EXPECT_TRUE(runUntil([&] { return compareSurfaces(*liveServer().grab(caption), *composed, 12).differing == 0; }));

    const Point grip{w->screenRect().l + 60, w->screenRect().t + 10};
    liveServer().moveTo(grip);
    liveServer().button(1, true);
    liveServer().moveTo({grip.x + 80, grip.y + 60});
    EXPECT_TRUE(runUntil([&] { return w->screenRect().topLeft() == Point{180, 160}; }));
    liveServer().button(1, false);
    EXPECT_TRUE(runUntil([&] { return liveServer().outerRect(x) == w->screenRect(); }));

    const Hwnd hwnd = w->hwnd();
    liveServer().click({w->screenRect().r - 10, w->screenRect().t + 10});
    EXPECT_TRUE(runUntil([&] { return ui().window(hwnd) == nullptr; }));
}

// A click on a window of ours gives it the keyboard, even where another of ours stays on top; a focused window that
// closes while another of ours stays on top hands the keyboard to its owner; a keyboard lost to no window at all
// comes back with a click.
TEST_F(LiveWithoutWindowManager, AClickGivesTheKeyboardAndAClosingWindowHandsItOn)
{
    Window* main = framed({40, 40, 640, 480});
    ASSERT_NE(main, nullptr);
    const unsigned long mainX = shownOnServer(main->hwnd());
    Window* editor = framed({100, 100, 400, 300}, main->hwnd(), "editor");
    ASSERT_NE(editor, nullptr);
    const unsigned long editorX = shownOnServer(editor->hwnd());
    // A window of the editor's shown above it without being activated, as a picker or a panel is.
    Window* panel =
        ui().createWindow({"window", "panel", WS_POPUP | WS_BORDER, 0, {450, 100, 620, 300}, editor->hwnd()});
    ASSERT_NE(panel, nullptr);
    panel->show(SW_SHOWNOACTIVATE);
    shownOnServer(panel->hwnd());
    ASSERT_EQ(ui().topLevels().front(), panel->hwnd());

    liveServer().click(editor->clientToScreen({30, 30}));
    EXPECT_TRUE(runUntil([&] { return liveServer().focus() == editorX; }, 3000));
    EXPECT_EQ(ui().topLevels().front(), panel->hwnd());

    editor->show(SW_HIDE); // closed as an editor closes, its panel still up
    EXPECT_TRUE(runUntil([&] { return liveServer().focus() == mainX; }, 3000)) << liveServer().focus();
    ASSERT_EQ(ui().topLevels().front(), panel->hwnd());

    Display* other = XOpenDisplay(liveServer().display().c_str()); // another program takes the keyboard away
    ASSERT_NE(other, nullptr);
    XSetInputFocus(other, None, RevertToNone, CurrentTime);
    XSync(other, False);
    XCloseDisplay(other);
    ASSERT_TRUE(runUntil([&] { return liveServer().focus() == 0; }));
    liveServer().click(main->clientToScreen({30, 30}));
    EXPECT_TRUE(runUntil([&] { return liveServer().focus() == mainX; }, 3000));
    EXPECT_EQ(ui().topLevels().front(), panel->hwnd());
}

constexpr int32_t kNoCancelIdd = 0x7E11;

// An editor that closes only through its close box, as the designer's texture editor does: Cancel does nothing.
class CloseBoxEditor final : public Dialog {
protected:
    void onCancel() override {}
    LResult handle(const Msg& msg) override
    {
        if (msg.message == WM_CLOSE) {
            show(SW_HIDE);
            return 0;
        }
        return Dialog::handle(msg);
    }
};

TEST_F(LiveWithoutWindowManager, EscapeAndAltF4CloseModelessWindows)
{
    resources().addDialog({kNoCancelIdd,
                           "Editor",
                           {200, 100},
                           WS_POPUP | WS_CAPTION | WS_VISIBLE,
                           {{"edit", 1001, {10, 10, 150, 30}, WS_TABSTOP | WS_BORDER, ""}}});
    Window* main = framed({20, 20, 700, 500});
    ASSERT_NE(main, nullptr);
    for (const bool byEscape : {true, false}) {
        SCOPED_TRACE(byEscape ? "Escape" : "Alt+F4");
        CloseBoxEditor editor;
        ASSERT_TRUE(editor.create(kNoCancelIdd, main));
        const Hwnd hwnd = editor.hwnd();
        shownOnServer(hwnd);
        ASSERT_TRUE(runUntil([&] { return ui().activeWindow() == hwnd; }));
        MessageSpy spy;
        spy.onlyWindows({hwnd}).onlyMessages({WM_CLOSE});
        if (byEscape) {
            liveServer().tap(XK_Escape);
        } else {
            liveServer().key(XK_Alt_L, true);
            liveServer().tap(XK_F4);
            liveServer().key(XK_Alt_L, false);
        }
        EXPECT_TRUE(runUntil([&] { return spy.count(WM_CLOSE) == 1 && !editor.isVisible(); }));
    }
    EXPECT_NE(ui().window(main->hwnd()), nullptr);

    // A letter with the left Alt is a command, not text: the edit with the focus keeps its text.
    CloseBoxEditor editor;
    ASSERT_TRUE(editor.create(kNoCancelIdd, main));
    shownOnServer(editor.hwnd());
    ASSERT_TRUE(runUntil([&] { return ui().activeWindow() == editor.hwnd(); }));
    Window* edit = editor.item<Window>(1001);
    ASSERT_NE(edit, nullptr);
    ui().setFocus(edit->hwnd());
    liveServer().tap(XK_a);
    liveServer().key(XK_Alt_L, true);
    liveServer().tap(XK_c);
    liveServer().key(XK_Alt_L, false);
    liveServer().tap(XK_b);
    EXPECT_TRUE(runUntil([&] { return edit->getText() == "ab"; })) << edit->getText();
}

// The wheel turns what is under the pointer: a list by its own bar, and a window by its scroll-bar control when what
// is under the pointer has none; a press on a control's track pages; a list view's header divider drags its column
// and a double click on it fits the column.
TEST_F(LiveWithoutWindowManager, TheWheelTheTrackAndTheHeaderDivider)
{
    Window* top = framed({50, 50, 650, 450});
    ASSERT_NE(top, nullptr);
    auto* list = dynamic_cast<ListBox*>(ui().createWindow(
        {"listbox", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_BORDER, 0, {10, 10, 200, 150}, top->hwnd(), 1}));
    auto* bar = dynamic_cast<ScrollBar*>(
        ui().createWindow({"scrollbar", "", WS_CHILD | WS_VISIBLE | SBS_VERT, 0, {570, 0, 586, 300}, top->hwnd(), 2}));
    auto* view = dynamic_cast<ListView*>(ui().createWindow(
        {"listview", "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, {220, 10, 560, 200}, top->hwnd(), 3}));
    ASSERT_TRUE(list != nullptr && bar != nullptr && view != nullptr);
    for (int i = 0; i < 40; ++i)
        list->addString("line " + std::to_string(i));
    bar->setRange(0, 100);
    std::vector<int32_t> barCodes;
    ui().addObserver(this, [&](const Msg& msg) {
        if (msg.hwnd == top->hwnd() && msg.message == WM_VSCROLL && static_cast<Hwnd>(msg.lParam) == bar->hwnd())
            barCodes.push_back(loWord(msg.wParam));
    });
    view->insertColumn(0, "Name", 40);
    view->insertColumn(1, "Kind", 60);
    view->insertItem(0, "a rather longer name than the column holds");
    shownOnServer(top->hwnd());

    liveServer().moveTo(list->clientToScreen({50, 50}));
    liveServer().button(5, true);
    liveServer().button(5, false);
    EXPECT_TRUE(runUntil([&] { return list->getTopIndex() == 3; })) << "three lines a notch";
    liveServer().moveTo(top->clientToScreen({400, 350})); // no bar of its own there: the window's control turns
    liveServer().button(5, true);
    liveServer().button(5, false);
    EXPECT_TRUE(runUntil([&] { return barCodes.size() >= 4; }));
    EXPECT_EQ(barCodes, (std::vector<int32_t>{SB_LINEDOWN, SB_LINEDOWN, SB_LINEDOWN, SB_ENDSCROLL}));
    barCodes.clear();
    liveServer().click(bar->clientToScreen({8, 250}));
    EXPECT_TRUE(runUntil([&] { return !barCodes.empty(); }));
    EXPECT_EQ(barCodes.front(), SB_PAGEDOWN);

    const Point divider = view->clientToScreen({40, 5});
    liveServer().moveTo(divider);
    liveServer().button(1, true);
    EXPECT_TRUE(runUntil([&] { return ui().capture() == view->hwnd(); }));
    liveServer().moveTo({divider.x + 30, divider.y});
    EXPECT_TRUE(runUntil([&] { return view->columnWidth(0) == 70; }));
    liveServer().button(1, false);
    const Point moved{divider.x + 30, divider.y};
    liveServer().click(moved);
    liveServer().click(moved);
    EXPECT_TRUE(runUntil([&] { return view->columnWidth(0) > 150; })) << "fitted to the long name";
    ui().removeObserver(this);
}

// A window manager started while windows show takes them over: our caption gives way to its frame, and what opens
// after it is drawn.
TEST_F(LiveWithoutWindowManager, AWindowManagerStartedLaterTakesTheWindowsOver)
{
    Window* w = framed({100, 100, 500, 400});
    ASSERT_NE(w, nullptr);
    const unsigned long x = shownOnServer(w->hwnd());
    std::string error;
    ASSERT_TRUE(liveServer().startWindowManager(error)) << error;
    EXPECT_TRUE(runUntil([&] {
        const Point client = w->clientToScreen({0, 0});
        const Rect outer = liveServer().outerRect(x);
        return liveServer().property(x, "_NET_FRAME_EXTENTS").size() == 4 &&
               outer.l == client.x - static_cast<int32_t>(liveServer().property(x, "_NET_FRAME_EXTENTS")[0]);
    }));
    EXPECT_TRUE(backend().windowManagerRuns());
    Window* later = framed({150, 150, 350, 300}, w->hwnd(), "later");
    ASSERT_NE(later, nullptr);
    shownOnServer(later->hwnd());
    const Rect client =
        Rect::fromXywh(later->clientToScreen({0, 0}).x, later->clientToScreen({0, 0}).y,
                       static_cast<int32_t>(later->clientRect().r), static_cast<int32_t>(later->clientRect().b));
    EXPECT_TRUE(runUntil([&] {
        const std::unique_ptr<Surface32> composed = captureScreen(client);
        return compareSurfaces(*liveServer().grab(client), *composed, 12).differing == 0;
    }));
}

// The menu bar from the keys where no window manager runs: Alt+F opens File, and F10 pressed in a floating panel of
// the frame selects the frame's bar, whose Down then opens File.
TEST_F(LiveWithoutWindowManager, AltFAndF10FromAFloatingPanelReachTheMenuBar)
{
    constexpr uint32_t kMenuId = 0x7E21;
    resources().addMenu(kMenuId, {{0, "&File", 0, {{200, "New", 0, {}}}}, {0, "&Edit", 0, {{210, "Cut", 0, {}}}}});
    LiveProviders providers;
    providers.install();
    FrameWindow frame;
    ASSERT_TRUE(frame.createFrame("Menus", {60, 60, 660, 460}, kMenuId, kFramedStyle | WS_VISIBLE));
    const unsigned long frameX = shownOnServer(frame.hwnd());
    int opened = 0; // File's menu shown, each time closed again by Escape
    MessageSpy menuShown;
    countFileMenus(menuShown, frame, opened);
    ASSERT_TRUE(runUntil([&] { return liveServer().focus() == frameX; }));
    liveServer().key(XK_Alt_L, true);
    liveServer().tap(XK_f);
    liveServer().key(XK_Alt_L, false);
    EXPECT_TRUE(runUntil([&] { return opened == 1; }, 5000));
    settle(200);

    Window* panel = ui().createWindow({"window", "panel", WS_POPUP | WS_BORDER, 0, {700, 100, 900, 400}, frame.hwnd()});
    ASSERT_NE(panel, nullptr);
    panel->show(SW_SHOW);
    const unsigned long panelX = shownOnServer(panel->hwnd());
    liveServer().click(panel->clientToScreen({30, 30}));
    ASSERT_TRUE(runUntil([&] { return liveServer().focus() == panelX && ui().activeWindow() == panel->hwnd(); }));
    liveServer().tap(XK_F10);
    EXPECT_TRUE(runUntil([&] { return frame.menuBarHot() == 0; }, 3000));
    liveServer().tap(XK_Down);
    EXPECT_TRUE(runUntil([&] { return opened == 2; }, 5000));
    settle(200);
    frame.destroy();
}

// F10 pressed in the second of two editors the frame owns: the frame takes the keyboard and the active caption with
// its bar selected, the editors staying above it, and Down then opens File. F6 there takes the keys, and the caption,
// to the frame's child window. Before, the editors were raised one by one on the server on the way, each asked to
// take the keyboard, and the window manager left the caption on one editor, the keyboard on the other and the bar
// unlit.
void LiveDesktop::f10FromAnEditorReachesTheFrame()
{
    constexpr uint32_t kMenuId = 0x7E22;
    resources().addMenu(kMenuId, {{0, "&File", 0, {{200, "New", 0, {}}}}, {0, "&Edit", 0, {{210, "Cut", 0, {}}}}});
    LiveProviders providers;
    providers.install();
    FrameWindow frame;
    ASSERT_TRUE(frame.createFrame("Menus", {20, 40, 620, 460}, kMenuId, kFramedStyle | WS_VISIBLE));
    unsigned long frameX = 0;
    ASSERT_TRUE(runUntil([&] {
        frameX = xOf(frame.hwnd());
        return frameX != 0 && (!withWindowManager || liveServer().property(frameX, "_NET_FRAME_EXTENTS").size() == 4);
    }));
    Window* first = framed({560, 80, 860, 380}, frame.hwnd(), "first editor");
    ASSERT_NE(first, nullptr);
    const unsigned long firstX = shownOnServer(first->hwnd());
    Window* second = framed({480, 260, 780, 560}, frame.hwnd(), "second editor");
    ASSERT_NE(second, nullptr);
    const unsigned long secondX = shownOnServer(second->hwnd());
    MdiChild child;
    ASSERT_TRUE(child.createChild(frame, "child", {10, 10, 210, 160}));
    // The click whole, not only the focus it brings: the window manager hands the press on after it has moved the
    // focus, and a press that came after the key would rightly make the editor active again.
    MessageSpy clicks;
    clicks.onlyWindows({second->hwnd()}).onlyMessages({WM_LBUTTONUP});
    const auto clickTheSecondEditor = [&] {
        clicks.clear();
        liveServer().click(second->clientToScreen({40, 200}));
        return runUntil([&] {
            return clicks.count(WM_LBUTTONUP) == 1 && liveServer().focus() == secondX &&
                   ui().activeWindow() == second->hwnd();
        });
    };
    ASSERT_TRUE(clickTheSecondEditor());
    int opened = 0; // File's menu shown, each time closed again by Escape
    MessageSpy menuShown;
    countFileMenus(menuShown, frame, opened);
    liveServer().tap(XK_F10);
    const auto frameHasTheKeys = [&] {
        return frame.menuBarHot() == 0 && liveServer().focus() == frameX && ui().activeWindow() == frame.hwnd() &&
               (!withWindowManager ||
                liveServer().property(0, "_NET_ACTIVE_WINDOW") == std::vector<unsigned long>{frameX});
    };
    EXPECT_TRUE(runUntil(frameHasTheKeys, 3000));
    settle(400); // nothing takes them back later
    EXPECT_TRUE(frameHasTheKeys());
    if (withWindowManager) { // without one, the layer's own frames are what the server stacks
        EXPECT_TRUE(isAbove(secondX, frameX) && isAbove(firstX, frameX));
    }
    liveServer().tap(XK_Down);
    EXPECT_TRUE(runUntil([&] { return opened == 1; }, 5000));
    settle(200);

    ASSERT_TRUE(clickTheSecondEditor());
    liveServer().tap(XK_F6);
    EXPECT_TRUE(runUntil(
        [&] {
            const Window* focus = ui().window(ui().focus());
            return focus != nullptr && (focus == &child || focus->isDescendantOf(&child)) &&
                   liveServer().focus() == frameX && ui().activeWindow() == frame.hwnd() &&
                   (!withWindowManager ||
                    liveServer().property(0, "_NET_ACTIVE_WINDOW") == std::vector<unsigned long>{frameX});
        },
        3000));
    frame.destroy();
}

TEST_F(LiveUnderWindowManager, F10FromAnEditorGivesTheFrameTheKeyboardAndTheCaption)
{
    f10FromAnEditorReachesTheFrame();
}

TEST_F(LiveWithoutWindowManager, F10FromAnEditorGivesTheFrameTheKeyboard)
{
    f10FromAnEditorReachesTheFrame();
}

void LiveDesktop::chooseEveryMenuByDragging()
{
    constexpr uint32_t kMenuId = 0x7E20;
    const std::vector<MenuItem> menus = {
        {0, "File", 0, {{200, "New", 0, {}}, {201, "Open", 0, {}}, {0, "", MF_SEPARATOR, {}}, {202, "Exit", 0, {}}}},
        {0, "Edit", 0, {{210, "Cut", 0, {}}, {211, "Copy", 0, {}}, {212, "Paste", 0, {}}, {213, "Delete", 0, {}}}},
        {0, "View", 0, {{220, "Grid", 0, {}}, {221, "Zoom", 0, {}}}}};
    resources().addMenu(kMenuId, menus);
    LiveProviders providers;
    providers.install();
    FrameWindow frame;
    ASSERT_TRUE(frame.createFrame("Menus", {60, 60, 660, 460}, kMenuId, kFramedStyle | WS_VISIBLE));
    ASSERT_TRUE(runUntil([&] {
        const unsigned long x = xOf(frame.hwnd());
        return x != 0 && (!withWindowManager || liveServer().property(x, "_NET_FRAME_EXTENTS").size() == 4);
    }));
    settle(300);
    MessageSpy commands;
    commands.onlyWindows({frame.hwnd()}).onlyMessages({WM_COMMAND});
    Point title;
    uint32_t want = 0;
    bool dragged = false;
    MessageSpy menuShown;
    menuShown.onlyMessages({WM_PAINT}).probe([&](const Msg& msg) {
        const Window* w = ui().window(msg.hwnd);
        if (dragged || w == nullptr || w->className() != "popupmenu" || xOf(msg.hwnd) == 0)
            return std::string();
        dragged = true;
        const auto& items = frame.menu().subMenu(frame.menuBarHot()).items();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].id == want) {
                const Point to = w->clientToScreen(centreOf(menuItemRects(items, w->clientRect().r)[i]));
                for (int step = 1; step <= 3; ++step)
                    liveServer().moveTo({title.x + (to.x - title.x) * step / 3, title.y + (to.y - title.y) * step / 3});
                liveServer().button(1, false);
                // A release that chose nothing leaves the menu open, its loop holding the test's: these close it,
                // and reach the frame, doing nothing, after a choice.
                liveServer().tap(XK_Escape);
                liveServer().tap(XK_Escape);
            }
        return std::string();
    });
    for (int32_t m = 0; m < static_cast<int32_t>(menus.size()); ++m) {
        std::vector<uint32_t> ids;
        for (const MenuItem& item : menus[static_cast<size_t>(m)].popup)
            if (item.isChoosable())
                ids.push_back(item.id);
        const Rect r = frame.menuItemRect(m);
        title = {frame.windowRect().l + (r.l + r.r) / 2, frame.windowRect().t + (r.t + r.b) / 2};
        int chosen = 0;
        for (int trial = 0; trial < 20; ++trial) {
            want = ids[static_cast<size_t>(trial) % ids.size()];
            dragged = false;
            commands.clear();
            liveServer().moveTo(title);
            settle(50);
            liveServer().button(1, true);
            EXPECT_TRUE(runUntil([&] {
                if (!dragged || frame.menuBarHot() >= 0)
                    return false;
                for (const Hwnd h : ui().topLevels())
                    if (ui().window(h)->className() == "popupmenu")
                        return false;
                return true;
            }));
            settle(50);
            chosen += commands.count(WM_COMMAND) == 1 && loWord(commands.log()[0].wParam) == want ? 1 : 0;
        }
        EXPECT_EQ(chosen, 20) << menus[static_cast<size_t>(m)].text;
    }
    frame.destroy();
}

TEST_F(LiveUnderWindowManager, EveryMenuChoosesByPressDragAndRelease)
{
    chooseEveryMenuByDragging();
}

TEST_F(LiveWithoutWindowManager, EveryMenuChoosesByPressDragAndRelease)
{
    chooseEveryMenuByDragging();
}

} // namespace
} // namespace pf
