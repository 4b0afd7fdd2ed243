// What only a real X server can show: a window closed from the window manager, double clicks timed as a person
// makes them, a modal dialog nested in another with both loops answering real input, and a popup menu chosen by
// a click through X.
#include "platform/live/tests/live_environment.h"

#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/live/x_window.h"
#include "platform/testing/message_spy.h"
#include "platform/ui/core/menu.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/providers/live_providers.h"

#include <gtest/gtest-spi.h>

#include <SDL.h>
#include <SDL_syswm.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>
#include <utility>

namespace pf {
namespace {

constexpr Rect kTopRect{100, 100, 500, 400};

Point centreOf(const Rect& r)
{
    return {(r.l + r.r) / 2, (r.t + r.b) / 2};
}

class LiveWindow : public LiveFixture {
protected:
    void SetUpLive() override
    {
        top = createTopLevel(kTopRect, WS_POPUP);
        ASSERT_NE(top, nullptr);
        ASSERT_TRUE(runUntil([&] { return backend().presentedFrameCount() > 0; }));
        settle();
    }
    unsigned long xWindowOf(Hwnd hwnd)
    {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        SDL_Window* window = backend().sdlWindowOf(hwnd);
        if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11)
            return 0;
        return info.info.x11.window;
    }
    // Clicks at `p` and runs the loop until the click's press has been dispatched.
    void clickAndWait(Point p, MessageSpy& spy, size_t pressesBefore)
    {
        liveServer().click(p);
        ASSERT_TRUE(runUntil([&] { return spy.count(WM_LBUTTONDOWN) + spy.count(WM_LBUTTONDBLCLK) > pressesBefore; }));
    }
    void runFor(std::chrono::milliseconds span, std::chrono::steady_clock::time_point from)
    {
        runUntil([&] { return std::chrono::steady_clock::now() >= from + span; }, 5000);
    }

    Window* top = nullptr;
};

TEST_F(LiveWindow, DeleteWindowFromTheWindowManagerGivesCloseUnlessDisabled)
{
    const Hwnd hwnd = top->hwnd();
    const unsigned long xWindow = xWindowOf(hwnd);
    ASSERT_NE(xWindow, 0u);
    MessageSpy spy;
    spy.onlyWindows({hwnd}).onlyMessages({WM_CLOSE, WM_DESTROY});

    top->enable(false); // a window waiting for its modal dialog cannot be closed
    liveServer().askToClose(xWindow);
    settle(300);
    EXPECT_EQ(spy.count(WM_CLOSE), 0u);

    top->enable(true);
    liveServer().askToClose(xWindow);
    ASSERT_TRUE(runUntil([&] { return spy.count(WM_DESTROY) > 0; }));
    EXPECT_EQ(spy.messages(), (std::vector<uint32_t>{WM_CLOSE, WM_DESTROY}));
    EXPECT_EQ(ui().window(hwnd), nullptr);
    EXPECT_EQ(backend().sdlWindowOf(hwnd), nullptr);
}

// The designer names its project in the frame's title after the frame is shown; the window manager kept the first.
TEST_F(LiveWindow, ATitleSetAfterShowingReachesTheWindowManager)
{
    top->setText("Vortan - sample.vtp");
    settle();
    SDL_Window* window = backend().sdlWindowOf(top->hwnd());
    ASSERT_NE(window, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(window), "Vortan - sample.vtp");
}

// Only a window with a sizing border is offered for sizing: a window manager otherwise draws its grips as a strip of
// lines along the bottom edge of every message box and fixed dialog.
TEST_F(LiveWindow, OnlyAWindowWithASizingBorderIsResizable)
{
    Window* fixed = createTopLevel({150, 150, 400, 300}, WS_POPUP | WS_CAPTION);
    Window* sizable = createTopLevel({200, 200, 500, 400}, WS_POPUP | WS_CAPTION | WS_THICKFRAME);
    ASSERT_TRUE(fixed != nullptr && sizable != nullptr);
    settle();
    ASSERT_TRUE(backend().sdlWindowOf(fixed->hwnd()) != nullptr && backend().sdlWindowOf(sizable->hwnd()) != nullptr);
    EXPECT_EQ(SDL_GetWindowFlags(backend().sdlWindowOf(fixed->hwnd())) & SDL_WINDOW_RESIZABLE, 0u);
    EXPECT_NE(SDL_GetWindowFlags(backend().sdlWindowOf(sizable->hwnd())) & SDL_WINDOW_RESIZABLE, 0u);
}

// SDL turns the signal into its quit event, which used to be dropped: the program ran on until killed.
TEST_F(LiveWindow, TerminationSignalAsksEveryEnabledWindowToClose)
{
    Window* waiting = createTopLevel(Rect::fromXywh(520, 100, 200, 150), WS_POPUP);
    ASSERT_NE(waiting, nullptr);
    ASSERT_TRUE(runUntil([&] { return backend().sdlWindowOf(waiting->hwnd()) != nullptr; }));
    waiting->enable(false); // as behind a modal dialog: the dialog is asked, not the window it blocks
    const Hwnd enabled = top->hwnd();
    const Hwnd disabled = waiting->hwnd();
    MessageSpy spy;
    spy.onlyWindows({enabled, disabled}).onlyMessages({WM_CLOSE});

    ASSERT_EQ(std::raise(SIGTERM), 0);
    ASSERT_TRUE(runUntil([&] { return spy.count(WM_CLOSE) > 0; }));
    settle();
    EXPECT_EQ(spy.count(WM_CLOSE), 1u);
    EXPECT_EQ(ui().window(enabled), nullptr); // the default answer to WM_CLOSE destroys the window
    EXPECT_NE(ui().window(disabled), nullptr);
}

// An idle loop waits up to its ceiling for input; a signal that came before or during that wait was only seen when it
// ran out, which made ending by SIGTERM take as long as the wait had left. It ends the wait at once, on a quiet server
// where nothing else would.
TEST_F(LiveWindow, ATerminationSignalEndsTheLoopsWaitAtOnce)
{
    catchTerminationSignals();
    MessageSpy spy;
    spy.onlyWindows({top->hwnd()}).onlyMessages({WM_CLOSE});
    settle();
    constexpr int kLongWaitMs = 4000;
    for (const bool duringTheWait : {false, true}) {
        SCOPED_TRACE(duringTheWait ? "signal during the wait" : "signal before the wait");
        const size_t closesBefore = spy.count(WM_CLOSE);
        const auto from = std::chrono::steady_clock::now();
        std::thread sender;
        if (duringTheWait)
            sender = std::thread([] {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                kill(getpid(), SIGTERM);
            });
        else
            ASSERT_EQ(std::raise(SIGTERM), 0);
        while (spy.count(WM_CLOSE) == closesBefore &&
               std::chrono::steady_clock::now() - from < std::chrono::milliseconds(3 * kLongWaitMs)) {
            backend().waitForInput(ui(), kLongWaitMs);
            ui().pump();
        }
        const auto took = std::chrono::steady_clock::now() - from;
        if (sender.joinable())
            sender.join();
        EXPECT_EQ(spy.count(WM_CLOSE), closesBefore + 1);
        EXPECT_LT(took, std::chrono::milliseconds(kLongWaitMs / 2));
        // The default answer destroyed the window; the next round asks a fresh one.
        top = createTopLevel(kTopRect, WS_POPUP);
        ASSERT_NE(top, nullptr);
        spy.onlyWindows({top->hwnd()});
        settle();
    }
}

size_t closesOf(const MessageSpy& spy, Hwnd hwnd)
{
    return static_cast<size_t>(std::count_if(spy.log().begin(), spy.log().end(), [&](const SpiedMessage& m) {
        return m.hwnd == hwnd && m.message == WM_CLOSE;
    }));
}

// A signal that comes before any window shows, and then finds the main window waiting for its first question, closes
// the question and, once the main window takes input again, the main window: it used to end with the question.
TEST_F(LiveFixture, ATerminationSignalHoldsUntilItReachesTheMainWindow)
{
    catchTerminationSignals();
    ASSERT_EQ(std::raise(SIGTERM), 0);
    settle(); // nothing shown yet to hand it to

    Window* main = createTopLevel(kTopRect, WS_POPUP | WS_CAPTION);
    ASSERT_NE(main, nullptr);
    main->enable(false); // as behind a modal question
    Window* question =
        ui().createWindow({"window", "question", WS_POPUP | WS_CAPTION, 0, {150, 150, 350, 250}, main->hwnd()});
    ASSERT_NE(question, nullptr);
    question->show(SW_SHOW);
    MessageSpy spy;
    spy.onlyMessages({WM_CLOSE});
    const Hwnd asked = question->hwnd();
    ASSERT_TRUE(runUntil([&] { return closesOf(spy, asked) > 0; }));
    EXPECT_EQ(ui().window(asked), nullptr); // the default answer to WM_CLOSE destroys the window
    settle();
    const Hwnd mainWindow = main->hwnd();
    EXPECT_EQ(closesOf(spy, mainWindow), 0u) << "a disabled window is not asked";

    main->enable(true);
    ASSERT_TRUE(runUntil([&] { return closesOf(spy, mainWindow) > 0; }));
    settle();
    EXPECT_EQ(spy.count(WM_CLOSE), 2u) << "each window once";
}

// Another program destroys our windows on the server (xdotool windowclose): the requests SDL and we still make on them
// fail there without ending the program; a dialog is closed as by its close box, and the loss of the main window ends
// every loop with its own code and never shows it again.
TEST_F(LiveWindow, WindowsDestroyedByAnotherProgramAreClosedAndTheMainOneEndsTheLoops)
{
    Window* dialog =
        ui().createWindow({"window", "dialog", WS_POPUP | WS_CAPTION, 0, {150, 150, 350, 250}, top->hwnd()});
    ASSERT_NE(dialog, nullptr);
    dialog->show(SW_SHOW);
    const Hwnd owned = dialog->hwnd();
    ASSERT_TRUE(runUntil([&] { return xWindowOf(owned) != 0; }));
    MessageSpy spy;
    spy.onlyMessages({WM_CLOSE});
    liveServer().destroyWindow(xWindowOf(owned));
    ASSERT_TRUE(runUntil([&] { return ui().window(owned) == nullptr; }));
    EXPECT_EQ(closesOf(spy, owned), 1u);
    EXPECT_FALSE(backend().lostApplicationWindow());

    const unsigned long mainWindow = xWindowOf(top->hwnd());
    top->invalidate(true);
    liveServer().destroyWindow(mainWindow);
    ASSERT_TRUE(runUntil([&] { return ui().quitCode().has_value(); }));
    EXPECT_EQ(ui().quitCode(), kQuitWindowLost);
    EXPECT_TRUE(backend().lostApplicationWindow());
    ui().clearQuit();
    top->setText("still here"); // a change the backend is told of: the lost window is not made again
    top->invalidate(true);
    settle();
    EXPECT_EQ(backend().sdlWindowOf(top->hwnd()), nullptr);
    EXPECT_EQ(closesOf(spy, top->hwnd()), 0u);
}

TEST_F(LiveWindow, SetCursorPosMovesThePointerAndTheScreenKeepsTheDisplaysWorkArea)
{
    ui().setCursorPos({321, 234});
    settle();
    EXPECT_EQ(liveServer().pointer(), (Point{321, 234}));
    EXPECT_EQ(screen().workArea(), screen().bounds()); // Xvfb has no panels
}

TEST_F(LiveWindow, ClicksWithinTheDoubleClickTimeMakeADoubleClickAndSlowerOnesDoNot)
{
    Window* list = ui().createWindow({"listbox", "", WS_CHILD | WS_VISIBLE, 0, {20, 20, 220, 220}, top->hwnd(), 5});
    ASSERT_NE(list, nullptr);
    settle();
    // An idle loop waits up to a quarter of a second for input; a fast timer keeps its waits short, so the clicks
    // land at the spacing asked.
    ui().setTimer(top->hwnd(), 7, 10);
    MessageSpy spy;
    spy.onlyWindows({list->hwnd()}).onlyMessages({WM_LBUTTONDOWN, WM_LBUTTONDBLCLK});
    const Point p{kTopRect.l + 100, kTopRect.t + 100};

    // The spacing counts from the first press's dispatch, which is what the double-click time is measured from: a
    // busy machine's delay in delivering that press neither shortens nor stretches the gap. The close pair leaves
    // most of the double-click time for the second press's own delivery.
    clickAndWait(p, spy, 0);
    runFor(std::chrono::milliseconds(100), std::chrono::steady_clock::now());
    clickAndWait(p, spy, 1);
    EXPECT_EQ(spy.messages(), (std::vector<uint32_t>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}));

    runFor(std::chrono::milliseconds(700), std::chrono::steady_clock::now()); // the pair is over
    spy.clear();
    clickAndWait(p, spy, 0);
    runFor(std::chrono::milliseconds(600), std::chrono::steady_clock::now());
    clickAndWait(p, spy, 1);
    EXPECT_EQ(spy.messages(), (std::vector<uint32_t>{WM_LBUTTONDOWN, WM_LBUTTONDOWN}));
}

constexpr int32_t kOuterIdd = 0x7E01;
constexpr int32_t kAskId = 0x7E02;

// A dialog whose button asks a question in a message box of its own, nested inside its modal loop.
class AskingDialog final : public Dialog {
public:
    int32_t answer = 0;
    bool outerStillRan = false; // the outer loop dispatched input after the inner one ended

protected:
    LResult handle(const Msg& msg) override
    {
        if (msg.message == WM_COMMAND && loWord(msg.wParam) == kAskId && hiWord(msg.wParam) == BN_CLICKED) {
            answer = messageBox(hwnd(), "Replace the sound?", "Nested", MB_YESNO | MB_ICONQUESTION);
            return 0;
        }
        if (msg.message == WM_COMMAND && loWord(msg.wParam) == IDOK && answer != 0)
            outerStillRan = true;
        return Dialog::handle(msg);
    }
};

TEST_F(LiveWindow, NestedModalDialogsEachAnswerRealInput)
{
    LiveProviders providers;
    providers.install();
    resources().addDialog({kOuterIdd,
                           "Outer",
                           {260, 120},
                           WS_POPUP | WS_CAPTION,
                           {{"button", kAskId, {20, 20, 120, 46}, WS_TABSTOP, "Ask"},
                            {"button", IDOK, {140, 20, 240, 46}, WS_TABSTOP | BS_DEFPUSHBUTTON, "OK"}}});
    AskingDialog outer;
    int step = 0;
    // Each timer tick looks at the screen and plays the next part through X, as a person would.
    ui().addObserver(this, [&](const Msg& msg) {
        if (msg.message != WM_TIMER)
            return;
        Window* active = ui().window(ui().activeWindow());
        if (active == nullptr)
            return;
        if (step == 0 && active == &outer && outer.child(kAskId) != nullptr) {
            liveServer().click(centreOf(outer.child(kAskId)->screenRect()));
            step = 1;
        } else if (step == 1 && active != &outer && active->child(IDYES) != nullptr) {
            EXPECT_FALSE(outer.isEnabled()); // the inner box owns the input now
            liveServer().click(centreOf(active->child(IDYES)->screenRect()));
            step = 2;
        } else if (step == 2 && active == &outer && outer.answer != 0) {
            EXPECT_TRUE(outer.isEnabled());
            liveServer().click(centreOf(outer.child(IDOK)->screenRect()));
            step = 3;
        }
    });
    ui().setTimer(top->hwnd(), 1, 250);
    ui().setTimer(top->hwnd(), 2, 15000); // should a step never come, the quit below ends every loop
    ui().addObserver(&step, [&](const Msg& msg) {
        if (msg.message == WM_TIMER && msg.wParam == 2)
            ui().postQuit(9);
    });
    const int32_t result = outer.doModal(kOuterIdd, top);
    ui().removeObserver(this);
    ui().removeObserver(&step);
    EXPECT_FALSE(ui().quitCode().has_value());
    EXPECT_EQ(step, 3);
    EXPECT_EQ(outer.answer, IDYES);
    EXPECT_TRUE(outer.outerStillRan);
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(top->isEnabled());
}

TEST_F(LiveWindow, PopupMenuChosenByAClickThroughX)
{
    LiveProviders providers;
    providers.install();
    const Menu menu({{41, "First", 0, {}}, {42, "Second", 0, {}}});
    bool clicked = false;
    ui().addObserver(this, [&](const Msg& msg) {
        if (msg.message != WM_TIMER || clicked)
            return;
        for (const Hwnd h : ui().topLevels())
            if (Window* w = ui().window(h);
                w != nullptr && w->className() == "popupmenu" && backend().sdlWindowOf(h) != nullptr) {
                const Rect second = menuItemRects(menu.items(), w->clientRect().r)[1];
                clicked = true;
                liveServer().click(w->clientToScreen(centreOf(second)));
            }
    });
    ui().setTimer(top->hwnd(), 1, 250);
    ui().setTimer(top->hwnd(), 2, 15000); // should the click never land, the quit ends the menu's loop
    ui().addObserver(&clicked, [&](const Msg& msg) {
        if (msg.message == WM_TIMER && msg.wParam == 2)
            ui().postQuit(9);
    });
    const uint32_t chosen = menu.trackPopup(TPM_RETURNCMD, {kTopRect.l + 50, kTopRect.t + 50}, *top);
    ui().removeObserver(this);
    ui().removeObserver(&clicked);
    EXPECT_FALSE(ui().quitCode().has_value());
    EXPECT_TRUE(clicked);
    EXPECT_EQ(chosen, 42u);
}

} // namespace
} // namespace pf

namespace pf {
namespace {

// A wait whose step opens a modal run that nothing ends (a menu where none was meant to open) fails, naming it,
// instead of holding the test until it is killed.
TEST_F(LiveWindow, AWaitHeldByAMenuNobodyClosesFailsNamingIt)
{
    LiveProviders providers;
    providers.install();
    const Menu menu({{41, "First", 0, {}}});
    bool opened = false;
    ui().addObserver(this, [&](const Msg& msg) {
        if (msg.message == WM_TIMER && !std::exchange(opened, true))
            menu.trackPopup(TPM_RETURNCMD, {kTopRect.l + 50, kTopRect.t + 50}, *top);
    });
    ui().setTimer(top->hwnd(), 1, 10);
    EXPECT_NONFATAL_FAILURE(EXPECT_FALSE(runUntil([] { return false; }, 500)), "(popupmenu)");
    ui().removeObserver(this);
    EXPECT_TRUE(opened);
    EXPECT_FALSE(ui().quitCode().has_value()) << "the quit that ended the menu stays with the wait";
}

// A person quicker than the program: the click on an item and a click elsewhere reach SDL before the loop runs.
// The choice stands, and the second click goes to the window under it once the menu has closed.
TEST_F(LiveWindow, ClicksQueuedBehindAMenuChoiceNeitherUndoItNorVanish)
{
    LiveProviders providers;
    providers.install();
    MessageSpy spy;
    spy.onlyWindows({top->hwnd()}).onlyMessages({WM_LBUTTONDOWN});
    const Menu menu({{41, "First", 0, {}}, {42, "Second", 0, {}}});
    const Point elsewhere{kTopRect.r - 30, kTopRect.b - 30};
    bool clicked = false;
    ui().addObserver(this, [&](const Msg& msg) {
        if (msg.message != WM_TIMER || clicked)
            return;
        for (const Hwnd h : ui().topLevels())
            if (Window* w = ui().window(h);
                w != nullptr && w->className() == "popupmenu" && backend().sdlWindowOf(h) != nullptr) {
                const Rect second = menuItemRects(menu.items(), w->clientRect().r)[1];
                clicked = true;
                liveServer().click(w->clientToScreen(centreOf(second)));
                liveServer().click(elsewhere);
                SDL_Delay(100);   // both clicks are in X's queue before SDL reads it
                SDL_PumpEvents(); // and in SDL's before the menu sees the first
            }
    });
    ui().setTimer(top->hwnd(), 1, 250);
    const uint32_t chosen = menu.trackPopup(TPM_RETURNCMD, {kTopRect.l + 50, kTopRect.t + 50}, *top);
    ui().removeObserver(this);
    EXPECT_TRUE(clicked);
    EXPECT_EQ(chosen, 42u);
    EXPECT_TRUE(runUntil([&] { return spy.count(WM_LBUTTONDOWN) > 0; }));
}

// A window that asks before it closes, as a program with unsaved work does; No closes it.
class AskingWindow final : public Window {
public:
    int32_t answer = 0;

protected:
    LResult handle(const Msg& msg) override
    {
        if (msg.message != WM_CLOSE)
            return Window::handle(msg);
        answer = messageBox(hwnd(), "Save the changes?", "Live", MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDNO)
            destroy();
        return 0;
    }
};

// A termination signal while a context menu is open: the menu ends with nothing chosen before the window is asked,
// and the question takes a click. It came under the menu, whose loop kept the clicks, and Escape ended both.
TEST_F(LiveWindow, ATerminationSignalEndsAnOpenMenuBeforeTheQuestionTakesClicks)
{
    catchTerminationSignals();
    LiveProviders providers;
    providers.install();
    AskingWindow asking;
    ASSERT_TRUE(asking.create({"window", "asking", WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, {150, 150, 550, 450}}));
    const Hwnd askingHwnd = asking.hwnd();
    ASSERT_TRUE(runUntil([&] { return backend().sdlWindowOf(askingHwnd) != nullptr; }));
    const Menu menu({{41, "First", 0, {}}, {42, "Second", 0, {}}});
    bool signalled = false;
    bool clicked = false;
    ui().addObserver(this, [&](const Msg& msg) {
        if (msg.message != WM_TIMER || msg.wParam != 1 || clicked)
            return;
        for (const Hwnd h : ui().topLevels()) {
            Window* w = ui().window(h);
            if (w == nullptr || backend().sdlWindowOf(h) == nullptr)
                continue;
            if (!signalled && w->className() == "popupmenu") {
                signalled = true;
                ASSERT_EQ(std::raise(SIGTERM), 0);
            } else if (Window* no = w->child(IDNO); no != nullptr && ui().activeWindow() == h) {
                clicked = true;
                liveServer().click(centreOf(no->screenRect()));
            }
        }
    });
    ui().setTimer(askingHwnd, 1, 250);
    ui().setTimer(askingHwnd, 2, 15000); // should the question never take the click, the quit ends every loop
    ui().addObserver(&clicked, [&](const Msg& msg) {
        if (msg.message == WM_TIMER && msg.wParam == 2)
            ui().postQuit(9);
    });
    const uint32_t chosen = menu.trackPopup(TPM_RETURNCMD, {200, 200}, asking);
    EXPECT_TRUE(signalled);
    EXPECT_EQ(chosen, 0u);
    EXPECT_TRUE(runUntil([&] { return ui().window(askingHwnd) == nullptr || ui().quitCode().has_value(); }));
    ui().removeObserver(this);
    ui().removeObserver(&clicked);
    EXPECT_FALSE(ui().quitCode().has_value());
    EXPECT_TRUE(clicked);
    EXPECT_EQ(asking.answer, IDNO);
    EXPECT_EQ(ui().window(askingHwnd), nullptr);
}

// SDL wakes the loop from the render thread by an X message to its newest window; that window closing at the
// same moment must not end the program with X's BadWindow.
TEST_F(LiveWindow, AnXMessageToAClosedWindowDoesNotEndTheProgram)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_EQ(SDL_GetWindowWMInfo(backend().sdlWindowOf(top->hwnd()), &info), SDL_TRUE);
    ASSERT_EQ(info.subsystem, SDL_SYSWM_X11);
    Display* display = info.info.x11.display;
    const ::Window closed = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 8, 8, 0, 0, 0);
    XDestroyWindow(display, closed);
    XEvent wake{};
    wake.xclient.type = ClientMessage;
    wake.xclient.window = closed;
    wake.xclient.format = 32;
    XSendEvent(display, closed, False, NoEventMask, &wake);
    XSync(display, False);
    // Restacking and naming a window that closed in between: the requests fail on the server, the program goes on.
    restack(display, {closed});
    setOwner({display, closed}, 0, true);
    XSync(display, False);
    settle();
    EXPECT_NE(ui().window(top->hwnd()), nullptr);
}

} // namespace
} // namespace pf
