// Input routing: hit testing, capture, double clicks, cursors, focus and the keyboard.
#include "platform/ui/core/tests/test_windows.h"

#include "platform/testing/ui_fixture.h"
#include "platform/ui/core/display_backend.h"
#include "platform/ui/core/keyboard.h"

namespace pf {
namespace {

using test::TestWindow;

class Input : public UiFixture {};

CreateParams control(const Window& parent, const char* cls, const Rect& r, uint32_t style, int32_t id)
{
    return {cls, "", WS_CHILD | WS_VISIBLE | style, 0, r, parent.hwnd(), id};
}

TEST_F(Input, WindowFromPointTable)
{
    TestWindow top;
    top.create(test::topLevel({0, 0, 400, 400})); // no frame: client = window
    Window* plainStatic = ui().createWindow(control(top, "static", {0, 0, 50, 50}, 0, 1));
    Window* notifyStatic = ui().createWindow(control(top, "static", {100, 0, 150, 50}, SS_NOTIFY, 2));
    Window* group = ui().createWindow(control(top, "button", {200, 0, 300, 100}, BS_GROUPBOX, 3));
    Window* inGroup = ui().createWindow(control(top, "button", {210, 20, 260, 40}, BS_PUSHBUTTON, 4));
    Window* hidden = ui().createWindow({"button", "", WS_CHILD, 0, {0, 100, 50, 150}, top.hwnd(), 5});
    Window* disabled = ui().createWindow(control(top, "button", {100, 100, 150, 150}, WS_DISABLED, 6));
    Window* lower = ui().createWindow(control(top, "button", {0, 200, 100, 300}, 0, 7));
    Window* upper = ui().createWindow(control(top, "button", {50, 250, 150, 350}, 0, 8));
    ASSERT_NE(upper, nullptr);
    // The group box was made before the button inside it, so the button is on top; put the box on top to show
    // that it is transparent anyway.
    group->setPos(HWND_TOP, {}, SWP_NOMOVE | SWP_NOSIZE);
    const struct {
        Point p;
        Hwnd expected;
        const char* why;
    } cases[] = {
        {{10, 10}, top.hwnd(), "a plain static is transparent"},
        {{110, 10}, notifyStatic->hwnd(), "SS_NOTIFY makes a static a target"},
        {{280, 80}, top.hwnd(), "a group box is transparent"},
        {{220, 30}, inGroup->hwnd(), "under a transparent group box, the next sibling below"},
        {{10, 110}, top.hwnd(), "hidden windows are skipped"},
        {{110, 110}, top.hwnd(), "disabled children are skipped"},
        {{60, 260}, upper->hwnd(), "the topmost of overlapping siblings"},
        {{10, 210}, lower->hwnd(), "the lower sibling where only it lies"},
        {{390, 390}, top.hwnd(), "no child: the window itself"},
        {{500, 500}, kNoWindow, "outside every window"},
    };
    (void)plainStatic;
    (void)hidden;
    (void)disabled;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(ui().windowFromPoint(c.p), c.expected);
    }
    ui().setCapture(lower->hwnd());
    EXPECT_EQ(ui().windowFromPoint({60, 260}), upper->hwnd()) << "capture is ignored";
    ui().releaseCapture();
}

TEST_F(Input, MouseGoesToCaptureWithClientCoordinatesOutsideTheClient)
{
    TestWindow top, a, b;
    top.create(test::topLevel({0, 0, 400, 400}));
    a.create(test::childOf(top, {0, 0, 100, 100}, 1));
    b.create(test::childOf(top, {200, 200, 300, 300}, 2));
    ui().setCapture(a.hwnd());
    Point got{};
    a.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_MOUSEMOVE)
            got = pointFromLParam(m.lParam);
        return std::nullopt;
    };
    b.seen.clear();
    sim().mouseMove({250, 250});
    EXPECT_EQ(got, (Point{250, 250}));
    EXPECT_EQ(b.count(WM_MOUSEMOVE), 0u);
    a.move({300, 300, 350, 350});
    sim().mouseMove({10, 20});
    EXPECT_EQ(got, (Point{-290, -280}));
}

TEST_F(Input, CaptureHandoverTellsTheLoserWhoWon)
{
    TestWindow top, canvas, frameLike;
    top.create(test::topLevel({0, 0, 400, 400}));
    canvas.create(test::childOf(top, {0, 0, 100, 100}, 1));
    frameLike.create(test::childOf(top, {100, 0, 200, 100}, 2));
    LParam toldNew = -1;
    canvas.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_CAPTURECHANGED)
            toldNew = m.lParam;
        return std::nullopt;
    };
    EXPECT_EQ(ui().setCapture(canvas.hwnd()), kNoWindow);
    EXPECT_EQ(ui().setCapture(frameLike.hwnd()), canvas.hwnd());
    EXPECT_EQ(toldNew, static_cast<LParam>(frameLike.hwnd()));
    EXPECT_EQ(ui().capture(), frameLike.hwnd());
    frameLike.seen.clear();
    ui().releaseCapture();
    EXPECT_EQ(frameLike.count(WM_CAPTURECHANGED), 1u);
    EXPECT_EQ(ui().capture(), kNoWindow);
}

TEST_F(Input, DestroyingTheCaptureWindowReleasesIt)
{
    TestWindow top, child;
    top.create(test::topLevel({0, 0, 400, 400}));
    child.create(test::childOf(top, {0, 0, 100, 100}));
    ui().setCapture(child.hwnd());
    child.destroy();
    EXPECT_EQ(ui().capture(), kNoWindow);
    EXPECT_EQ(child.count(WM_CAPTURECHANGED), 1u);
    sim().click({50, 50}); // goes to the parent now, and nothing touches the dead child
    EXPECT_GE(top.count(WM_LBUTTONDOWN), 1u);
}

// Records what the layer asks of a live screen about the pointer.
class PointerBackend final : public DisplayBackend {
public:
    std::vector<bool> relative;
    std::string name() const override { return "pointer"; }
    bool isLive() const override { return false; }
    void syncTopLevels(const std::vector<TopLevelState>&) override {}
    void surfaceChanged(const Surface32*, const Rect&) override {}
    void present() override {}
    void waitForInput(Ui&, int32_t) override {}
    void wake() override {}
    void setRelativePointer(bool on) override { relative.push_back(on); }
};

TEST_F(Input, ALockedPointerMovesItsWindowFromTheCentreAndEndsWithTheCaptureOrTheWindow)
{
    PointerBackend backend;
    ui().setBackend(&backend);
    TestWindow top, view, other;
    top.create(test::topLevel({0, 0, 400, 400}));
    view.create(test::childOf(top, {100, 100, 300, 200}, 1));
    other.create(test::childOf(top, {0, 300, 100, 400}, 2));
    std::vector<Point> moves;
    view.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_MOUSEMOVE)
            moves.push_back(pointFromLParam(m.lParam));
        return std::nullopt;
    };
    ui().injectLockedMotion(5, 5); // not locked: nothing
    EXPECT_TRUE(moves.empty());
    ASSERT_TRUE(ui().lockPointer(view.hwnd()));
    EXPECT_EQ(ui().capture(), view.hwnd());
    ui().injectLockedMotion(7, -3);
    ui().injectLockedMotion(-400, 0); // far outside the window: still the window's, by the capture
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0], (Point{107, 47}));
    EXPECT_EQ(moves[1], (Point{-293, 47}));
    ui().setCapture(other.hwnd()); // the capture goes, and the lock with it
    EXPECT_EQ(ui().pointerLock(), kNoWindow);
    ASSERT_TRUE(ui().lockPointer(view.hwnd()));
    view.destroy();
    EXPECT_EQ(ui().pointerLock(), kNoWindow);
    EXPECT_EQ(backend.relative, (std::vector<bool>{true, false, true, false}));
    EXPECT_FALSE(ui().lockPointer(view.hwnd()));
    ui().setBackend(nullptr);
}

class DoubleClickWindow : public TestWindow {};

TEST_F(Input, DoubleClickNeedsTheClassTimeDistanceAndWindow)
{
    ui().registerClass({"dbl", nullptr, CS_DBLCLKS, loadCursor(IDC_ARROW), -1});
    TestWindow top, a, b, plain;
    top.create(test::topLevel({0, 0, 400, 400}));
    a.create({"dbl", "", WS_CHILD | WS_VISIBLE, 0, {0, 0, 100, 100}, top.hwnd(), 1});
    b.create({"dbl", "", WS_CHILD | WS_VISIBLE, 0, {100, 0, 200, 100}, top.hwnd(), 2});
    plain.create(test::childOf(top, {200, 0, 300, 100}, 3));
    const auto doubles = [&](TestWindow& w) { return w.count(WM_LBUTTONDBLCLK); };

    const auto apart = [&] { virtualClock().advance(2 * kDoubleClickTimeMs); };
    sim().click({10, 10});
    sim().click({12, 12});
    EXPECT_EQ(doubles(a), 1u) << "within 500 ms and 4 x 4";

    apart();
    sim().click({10, 10});
    virtualClock().advance(kDoubleClickTimeMs + 1);
    sim().click({10, 10});
    EXPECT_EQ(doubles(a), 1u) << "too late";

    apart();
    sim().click({10, 10});
    sim().click({13, 10});
    EXPECT_EQ(doubles(a), 1u) << "too far";

    apart();
    sim().click({99, 10});
    sim().click({100, 10});
    EXPECT_EQ(doubles(a) + doubles(b), 1u) << "another window";

    apart();
    sim().click({250, 10});
    sim().click({250, 10});
    EXPECT_EQ(doubles(plain), 0u) << "a class without CS_DBLCLKS";
}

TEST_F(Input, SetCursorAsksTheParentFirstAndAHandlerKeepsItsCursor)
{
    ui().registerClass({"beam", nullptr, 0, loadCursor(IDC_IBEAM), -1});
    TestWindow top, child;
    top.create(test::topLevel({0, 0, 400, 400}));
    child.create({"beam", "", WS_CHILD | WS_VISIBLE, 0, {0, 0, 100, 100}, top.hwnd(), 1});
    std::vector<Hwnd> asked;
    const auto note = [&](TestWindow& w) {
        return [&asked, &w](const Msg& m) -> std::optional<LResult> {
            if (m.message == WM_SETCURSOR)
                asked.push_back(w.hwnd());
            return std::nullopt;
        };
    };
    top.hook = note(top);
    child.hook = note(child);
    sim().mouseMove({10, 10});
    EXPECT_EQ(asked, (std::vector<Hwnd>{child.hwnd(), top.hwnd()}));
    EXPECT_EQ(ui().currentCursor(), loadCursor(IDC_IBEAM));

    // A parent answering TRUE wins.
    top.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_SETCURSOR) {
            ui().setCursor(loadCursor(IDC_CROSS));
            return 1;
        }
        return std::nullopt;
    };
    sim().mouseMove({11, 10});
    EXPECT_EQ(ui().currentCursor(), loadCursor(IDC_CROSS));

    // A handler that sets its own cursor and answers 0 without the default keeps it.
    top.hook = nullptr;
    child.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_SETCURSOR) {
            ui().setCursor(loadCursor(IDC_HAND));
            return 0;
        }
        return std::nullopt;
    };
    sim().mouseMove({12, 10});
    EXPECT_EQ(ui().currentCursor(), loadCursor(IDC_HAND));
}

TEST_F(Input, SetCursorPrecedesEveryMouseMessageOnlyWithoutCapture)
{
    TestWindow top;
    top.create(test::topLevel({0, 0, 400, 400}));
    top.seen.clear();
    sim().click({10, 10});
    std::vector<uint32_t> mouse;
    for (const uint32_t m : top.seen)
        if (m == WM_SETCURSOR || m == WM_MOUSEMOVE || m == WM_LBUTTONDOWN || m == WM_LBUTTONUP)
            mouse.push_back(m);
    EXPECT_EQ(mouse, (std::vector<uint32_t>{WM_SETCURSOR, WM_MOUSEMOVE, WM_SETCURSOR, WM_LBUTTONDOWN, WM_SETCURSOR,
                                            WM_LBUTTONUP}));
    ui().setCapture(top.hwnd());
    top.seen.clear();
    sim().mouseMove({20, 20});
    EXPECT_EQ(top.count(WM_SETCURSOR), 0u);
}

TEST_F(Input, MouseFlagsAndMessagePos)
{
    TestWindow top;
    top.create(test::topLevel({0, 0, 400, 400}));
    WParam flags = 0;
    top.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_LBUTTONDOWN)
            flags = m.wParam;
        return std::nullopt;
    };
    sim().keyDown(VK_SHIFT);
    sim().keyDown(VK_CONTROL);
    sim().mouseDown({30, 40});
    EXPECT_EQ(flags, MK_LBUTTON | MK_SHIFT | MK_CONTROL);
    EXPECT_LT(ui().getKeyState(VK_LBUTTON), 0);
    sim().mouseUp({30, 40});
    EXPECT_GE(ui().getKeyState(VK_LBUTTON), 0);
    EXPECT_EQ(ui().messagePos(), (Point{30, 40}));
}

TEST_F(Input, DisabledTopLevelTakesNoMouse)
{
    TestWindow top;
    top.create(test::topLevel({0, 0, 400, 400}));
    top.enable(false);
    top.seen.clear();
    sim().click({10, 10});
    EXPECT_EQ(top.count(WM_LBUTTONDOWN), 0u);
    EXPECT_EQ(top.count(WM_SETCURSOR), 0u);
}

TEST_F(Input, FocusMovesWithKillThenSetAndMayRestOnAHiddenWindow)
{
    test::EventLog log;
    TestWindow top(&log), a(&log), hiddenSink(&log);
    top.create(test::topLevel({0, 0, 400, 400}));
    a.create(test::childOf(top, {0, 0, 100, 100}, 1));
    hiddenSink.create({"window", "", WS_CHILD, 0, {0, 0, 1, 1}, top.hwnd(), 1035});
    ui().setFocus(a.hwnd());
    log.clear();
    EXPECT_EQ(ui().setFocus(hiddenSink.hwnd()), a.hwnd());
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0].hwnd, a.hwnd());
    EXPECT_EQ(log[0].message, WM_KILLFOCUS);
    EXPECT_EQ(log[0].wParam, hiddenSink.hwnd());
    EXPECT_EQ(log[1].hwnd, hiddenSink.hwnd());
    EXPECT_EQ(log[1].message, WM_SETFOCUS);
    EXPECT_EQ(log[1].wParam, a.hwnd());
    sim().keyPress(VK_LEFT);
    EXPECT_EQ(hiddenSink.count(WM_KEYDOWN), 1u);
    EXPECT_EQ(hiddenSink.count(WM_KEYUP), 1u);
}

TEST_F(Input, DestroyingTheFocusMovesItToTheNearestSurvivingAncestor)
{
    TestWindow top, mid, leaf;
    top.create(test::topLevel({0, 0, 400, 400}));
    mid.create(test::childOf(top, {0, 0, 200, 200}, 1));
    leaf.create(test::childOf(mid, {0, 0, 100, 100}, 2));
    ui().setFocus(leaf.hwnd());
    mid.destroy();
    EXPECT_EQ(ui().focus(), top.hwnd());
}

TEST_F(Input, KeyMessagesCarryScanCodeAndTransitionBits)
{
    TestWindow top;
    top.create(test::topLevel({0, 0, 100, 100}));
    ui().setFocus(top.hwnd());
    std::vector<std::pair<uint32_t, uint32_t>> keys;
    int16_t stateSeen = 0;
    top.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_KEYDOWN || m.message == WM_KEYUP) {
            keys.emplace_back(m.message, static_cast<uint32_t>(m.lParam));
            stateSeen = ui().getKeyState(static_cast<uint8_t>(m.wParam));
        }
        return std::nullopt;
    };
    sim().keyDown('A');
    EXPECT_LT(stateSeen, 0) << "the table is updated before the message";
    sim().keyDown('A'); // auto-repeat: previous state 1
    sim().keyUp('A');
    sim().keyDown(VK_DELETE);
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[0].second, 1u | (0x1Eu << 16));
    EXPECT_EQ(keys[1].second, 1u | (0x1Eu << 16) | (1u << 30));
    EXPECT_EQ(keys[2].second, 1u | (0x1Eu << 16) | (1u << 30) | (1u << 31));
    EXPECT_EQ(keys[3].second, 1u | (0x53u << 16) | (1u << 24));
}

TEST_F(Input, ToAsciiOnTheUsTable)
{
    std::array<uint8_t, 256> keys{};
    uint16_t c = 0;
    EXPECT_EQ(toAscii('A', 0, keys, c), 1);
    EXPECT_EQ(c, 'a');
    keys[VK_SHIFT] = 0x80;
    EXPECT_EQ(toAscii('A', 0, keys, c), 1);
    EXPECT_EQ(c, 'A');
    EXPECT_EQ(toAscii('1', 0, keys, c), 1);
    EXPECT_EQ(c, '!');
    keys[VK_SHIFT] = 0;
    EXPECT_EQ(toAscii(VK_OEM_COMMA, 0, keys, c), 1);
    EXPECT_EQ(c, 44);
    keys[VK_CAPITAL] = 1;
    EXPECT_EQ(toAscii('Q', 0, keys, c), 1);
    EXPECT_EQ(c, 'Q');
    keys[VK_CAPITAL] = 0;
    keys[VK_CONTROL] = 0x80;
    EXPECT_EQ(toAscii('C', 0, keys, c), 1);
    EXPECT_EQ(c, 3);
    keys[VK_CONTROL] = 0;
    EXPECT_EQ(toAscii(VK_NUMPAD0 + 7, 0, keys, c), 0) << "Num Lock off";
    keys[VK_NUMLOCK] = 1;
    EXPECT_EQ(toAscii(VK_NUMPAD0 + 7, 0, keys, c), 1);
    EXPECT_EQ(c, '7');
    EXPECT_EQ(toAscii(VK_F1, 0, keys, c), 0);
    EXPECT_EQ(c, 0);
}

TEST_F(Input, ToggleBitFlipsOnEachPress)
{
    TestWindow top;
    top.create(test::topLevel({0, 0, 100, 100}));
    sim().keyPress(VK_CAPITAL);
    EXPECT_EQ(ui().getKeyState(VK_CAPITAL) & 1, 1);
    sim().keyPress(VK_CAPITAL);
    EXPECT_EQ(ui().getKeyState(VK_CAPITAL) & 1, 0);
}

TEST_F(Input, WaitCursorRestoresThePreviousCursor)
{
    ui().setCursor(loadCursor(IDC_CROSS));
    {
        const WaitCursor wait;
        EXPECT_EQ(ui().currentCursor(), loadCursor(IDC_WAIT));
    }
    EXPECT_EQ(ui().currentCursor(), loadCursor(IDC_CROSS));
    const Cursor icon = cursorFromIcon(generatedIcon(313, 32));
    EXPECT_EQ(ui().setCursor(icon), loadCursor(IDC_CROSS));
    EXPECT_EQ(ui().currentCursor().icon, icon.icon);
}

TEST_F(Input, DroppedFilesGoToTheWindowUnderThePoint)
{
    TestWindow top, target;
    top.create(test::topLevel({0, 0, 400, 400}));
    target.create(test::childOf(top, {100, 100, 200, 200}, 1));
    std::vector<std::string> got;
    target.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == kMsgDropFiles)
            got = *reinterpret_cast<const std::vector<std::string>*>(m.lParam);
        return std::nullopt;
    };
    EXPECT_TRUE(ui().dropFiles({150, 150}, {"/tmp/a.vtn", "/tmp/b.vtn"}));
    EXPECT_EQ(got, (std::vector<std::string>{"/tmp/a.vtn", "/tmp/b.vtn"}));
}

} // namespace
} // namespace pf
