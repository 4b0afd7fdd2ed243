// The keyboard after a window opened from an editor closes: it goes back to the editor, without a window manager and
// under openbox, and the main window behind takes none of the editor's keys; an error box of a window opened from an
// editor hands the keyboard back once, with no focus fight; the keys lead out of a focused editor; and a close asked
// for while a context menu runs its loop ends the menu first, so that its question takes the mouse.
#include <SDL.h>
#include <X11/keysym.h>
#include <time.h>

#include <csignal>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "apps/vortan/tests/designer_desktop.h"
#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/eventedit/event_edit_dlg.h"
#include "designer/workspace/panel_dlg.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/events.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "platform/live/tests/live_environment.h"
#include "platform/settings/settings_backend.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/tree_view.h"
#include "platform/ui/frame/frame_window.h"
#include "platform/ui/providers/live_providers.h"

namespace pf {
namespace {

constexpr int32_t kRepeatEdit = 1173; // Rotate XYZ Details' Repeat

Point centreOf(const Rect& r)
{
    return {(r.l + r.r) / 2, (r.t + r.b) / 2};
}

Window* descendantWithId(Window& parent, int32_t id)
{
    for (const Hwnd h : parent.children()) {
        Window* w = ui().window(h);
        if (w == nullptr)
            continue;
        if (w->id() == id)
            return w;
        if (Window* deeper = descendantWithId(*w, id))
            return deeper;
    }
    return nullptr;
}

class ModalKeyboardLive : public designertest::SampleDesignerLive {
protected:
    void SetUpLive() override
    {
        providers.install();
        StartInFolder("vortan-modal-keyboard");
        // Should a question come up where none is meant to (a main window taking the editor's Ctrl+N), it is cancelled
        // and counted, so that a failure never waits for ever on it.
        ui().addObserver(this, [this](const Msg&) {
            if (!cancelQuestions)
                return;
            for (const Hwnd h : ui().topLevels())
                if (Window* w = ui().window(h); w != nullptr && w->isVisible() && w->child(IDNO) != nullptr) {
                    ++questions;
                    w->post(WM_COMMAND, makeWParam(IDCANCEL, BN_CLICKED), 0);
                }
        });
    }
    void TearDown() override
    {
        if (!IsSkipped())
            ui().removeObserver(this);
        designertest::SampleDesignerLive::TearDown();
    }
    unsigned long xOf(Hwnd hwnd) { return designertest::XWindowOf(backend(), hwnd); }
    FrameWindow& Frame() { return *dynamic_cast<FrameWindow*>(designer.GetApp()->GetMainFrame()); }
    // The window is the active one, the server's keyboard is on it and, under a window manager, so is its idea of the
    // active window.
    bool HasKeyboard(Hwnd hwnd)
    {
        const unsigned long x = xOf(hwnd);
        return x != 0 && ui().activeWindow() == hwnd && liveServer().focus() == x &&
               (!withWindowManager || liveServer().property(0, "_NET_ACTIVE_WINDOW") == std::vector<unsigned long>{x});
    }
    bool AwaitKeyboard(Hwnd hwnd)
    {
        return runUntil([&] { return HasKeyboard(hwnd); });
    }
    // Once `when` holds as the loop dispatches (a modal run holds the test's own loop meanwhile), `act` runs once.
    void Once(const std::function<bool()>& when, const std::function<void()>& act)
    {
        auto done = std::make_shared<bool>(false);
        ui().addObserver(done.get(), [done, when, act](const Msg&) {
            if (*done || !when())
                return;
            *done = true;
            act();
        });
        onceKeys.push_back(done);
    }
    void DropOnces()
    {
        for (const auto& key : onceKeys)
            ui().removeObserver(key.get());
        onceKeys.clear();
    }
    void Chord(unsigned long modifier, unsigned long key)
    {
        liveServer().key(modifier, true);
        liveServer().tap(key);
        liveServer().key(modifier, false);
    }
    SWevent* TurnTheCube() { return designer.GetWorld()->GetFirstEvent(); }
    // Edit Event for the sample's first event, with the keyboard, its action selected by a click.
    Dialog* OpenEditEvent()
    {
        auto* editor = dynamic_cast<Dialog*>(designer.GetApp()->EditObject(CVTND_Object(TurnTheCube()), false));
        EXPECT_NE(editor, nullptr);
        if (editor == nullptr || !AwaitKeyboard(editor->hwnd()))
            return nullptr;
        auto* actions = editor->item<ListView>(CVTND_EventEditDlg::kIdActions);
        liveServer().click(actions->clientToScreen(centreOf(actions->getItemRect(0, LVIR_LABEL))));
        EXPECT_TRUE(runUntil([&] { return editor->child(CVTND_EventEditDlg::kIdDetails)->isEnabled(); }));
        return editor;
    }
    Window* OpenDetails(Dialog& editor)
    {
        liveServer().click(centreOf(editor.child(CVTND_EventEditDlg::kIdDetails)->screenRect()));
        Window* details = nullptr;
        EXPECT_TRUE(runUntil([&] {
            details = ui().window(ui().activeWindow());
            return details != nullptr && details != &editor && details->text() == "Rotate XYZ Details" &&
                   HasKeyboard(details->hwnd());
        }));
        return details;
    }
    // The editor keeps the keyboard; Alt+F, Ctrl+N and at last Alt+F4 leave the main window as it was: the project
    // open, no menu, the designer running. Alt+F4 closes the editor.
    void ExpectTheMainWindowTakesNoneOfTheEditorsKeys(Hwnd editor)
    {
        const std::string project = designer.GetProjectPath();
        const CVTND_ExtendedWorld* world = designer.GetWorld();
        Chord(XK_Alt_L, XK_f);
        Chord(XK_Control_L, XK_n);
        settle(300);
        EXPECT_TRUE(HasKeyboard(editor));
        EXPECT_LT(Frame().menuBarHot(), 0);
        for (const Hwnd h : ui().topLevels())
            EXPECT_NE(ui().window(h)->className(), "popupmenu");
        Chord(XK_Alt_L, XK_F4);
        EXPECT_TRUE(runUntil([&] { return ui().window(editor) == nullptr; }));
        settle(300);
        EXPECT_EQ(questions, 0);
        EXPECT_EQ(designer.GetWorld(), world);
        EXPECT_EQ(designer.GetProjectPath(), project);
        EXPECT_TRUE(Frame().isVisible());
        EXPECT_FALSE(ui().quitCode().has_value());
    }

    // Edit Event > Details > Escape, and Edit Event > Parameters (a timer's) > OK.
    void WindowsOpenedFromAnEditorHandTheKeyboardBack()
    {
        {
            SCOPED_TRACE("Details, Escape");
            Dialog* editor = OpenEditEvent();
            ASSERT_NE(editor, nullptr);
            const Hwnd editorHwnd = editor->hwnd();
            Window* details = OpenDetails(*editor);
            ASSERT_NE(details, nullptr);
            const Hwnd detailsHwnd = details->hwnd();
            liveServer().tap(XK_Escape);
            ASSERT_TRUE(runUntil([&] { return ui().window(detailsHwnd) == nullptr; }));
            EXPECT_TRUE(AwaitKeyboard(editorHwnd)) << "the keyboard is on " << liveServer().focus();
            ExpectTheMainWindowTakesNoneOfTheEditorsKeys(editorHwnd);
        }
        {
            SCOPED_TRACE("Parameters, OK");
            {
                const SWworldlock hold(*designer.GetWorld());
                TurnTheCube()->SetType(static_cast<uint32_t>(EventType::kTimerEvent));
            }
            Dialog* editor = OpenEditEvent();
            ASSERT_NE(editor, nullptr);
            const Hwnd editorHwnd = editor->hwnd();
            bool answered = false;
            Once(
                [&] {
                    Window* timer = ui().window(ui().activeWindow());
                    return timer != nullptr && timer != editor && timer->owner() == editor &&
                           HasKeyboard(timer->hwnd());
                },
                [&] {
                    answered = true;
                    liveServer().tap(XK_Return);
                });
            liveServer().click(centreOf(editor->child(CVTND_EventEditDlg::kIdEventParameters)->screenRect()));
            EXPECT_TRUE(runUntil([&] { return answered && ui().modalDepth() == 0; }));
            DropOnces();
            EXPECT_TRUE(AwaitKeyboard(editorHwnd)) << "the keyboard is on " << liveServer().focus();
            ExpectTheMainWindowTakesNoneOfTheEditorsKeys(editorHwnd);
        }
    }

    LiveProviders providers;
    bool cancelQuestions = true;
    int questions = 0;
    std::vector<std::shared_ptr<bool>> onceKeys;
};

class ModalKeyboardUnderWindowManager : public ModalKeyboardLive {
protected:
    ModalKeyboardUnderWindowManager() { withWindowManager = true; }
};

TEST_F(ModalKeyboardLive, WindowsOpenedFromAnEditorHandTheKeyboardBackWithoutAWindowManager)
{
    WindowsOpenedFromAnEditorHandTheKeyboardBack();
}

TEST_F(ModalKeyboardUnderWindowManager, WindowsOpenedFromAnEditorHandTheKeyboardBack)
{
    WindowsOpenedFromAnEditorHandTheKeyboardBack();
}

// Without a window manager nothing but the keys leads out of a focused editor: F6 and Shift+F6 take the keys to the
// main window's panes, and F10 to its menu bar.
TEST_F(ModalKeyboardLive, TheMainWindowsPaneAndBarKeysLeadOutOfAFocusedEditor)
{
    SWmaterial* material = designer.GetWorld()->GetRootObject()->GetFirstMaterial();
    ASSERT_NE(material, nullptr);
    Window* editor = designer.GetApp()->EditObject(CVTND_Object(material), false);
    ASSERT_NE(editor, nullptr);
    const Hwnd editorHwnd = editor->hwnd();
    const Hwnd frame = Frame().hwnd();
    const auto focusIn = [&](Hwnd top) {
        Window* focus = ui().window(ui().focus());
        return focus != nullptr && focus->topLevel()->hwnd() == top && ui().activeWindow() == top;
    };
    for (const bool back : {false, true}) {
        SCOPED_TRACE(back ? "Shift+F6" : "F6");
        ui().activate(editorHwnd);
        ASSERT_TRUE(runUntil([&] { return HasKeyboard(editorHwnd) && focusIn(editorHwnd); }));
        if (back)
            Chord(XK_Shift_L, XK_F6);
        else
            liveServer().tap(XK_F6);
        EXPECT_TRUE(runUntil([&] { return focusIn(frame); }, 5000));
    }
    ui().activate(editorHwnd);
    ASSERT_TRUE(runUntil([&] { return HasKeyboard(editorHwnd) && focusIn(editorHwnd); }));
    liveServer().tap(XK_F10);
    EXPECT_TRUE(runUntil([&] { return Frame().menuBarHot() == 0; }, 5000));
    liveServer().tap(XK_Escape);
    EXPECT_TRUE(runUntil([&] { return Frame().menuBarHot() < 0; }, 5000));
    EXPECT_NE(ui().window(editorHwnd), nullptr);
}

// Without a window manager an editor dragged by its caption 300 pixels up in one quick motion follows the pointer
// until the button is let go, and one let go at once after a quick move still lands under the pointer: it stayed
// behind as soon as the pointer left its caption.
TEST_F(ModalKeyboardLive, AnEditorsCaptionDraggedUpInOneMotionFollowsThePointer)
{
    Window* editor = designer.GetApp()->EditObject(CVTND_Object(TurnTheCube()), false);
    ASSERT_NE(editor, nullptr);
    const Hwnd hwnd = editor->hwnd();
    const Rect start = Rect::fromXywh(300, 420, static_cast<int32_t>(editor->screenRect().width()),
                                      static_cast<int32_t>(editor->screenRect().height()));
    editor->move(start);
    ASSERT_TRUE(runUntil([&] { return HasKeyboard(hwnd) && liveServer().outerRect(xOf(hwnd)) == start; }));
    const auto press = [this](Point grip) {
        liveServer().moveTo(grip);
        liveServer().button(1, true);
        // The press taken first, as a person's comes well before the move.
        return runUntil([] { return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) != 0; });
    };
    const Point grip{start.l + 60, start.t + 10};
    ASSERT_TRUE(press(grip));
    for (int step = 1; step <= 10; ++step) // quicker than the loop: the moves wait for it together
        liveServer().moveTo({grip.x, grip.y - 30 * step});
    const Rect up = start.offsetBy(0, -300);
    EXPECT_TRUE(runUntil([&] { return editor->screenRect() == up; }, 5000))
        << editor->screenRect().l << "," << editor->screenRect().t;
    liveServer().button(1, false);
    ASSERT_TRUE(runUntil([] { return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) == 0; }));
    EXPECT_TRUE(runUntil([&] { return liveServer().outerRect(xOf(hwnd)) == up; }))
        << liveServer().outerRect(xOf(hwnd)).t;
    liveServer().moveTo({grip.x, grip.y + 200});
    settle(200);
    EXPECT_EQ(editor->screenRect(), up) << "let go, it stays";

    ASSERT_TRUE(press({grip.x, up.t + 10}));
    liveServer().moveTo({grip.x, up.t + 160});
    liveServer().button(1, false);
    EXPECT_TRUE(runUntil([&] { return liveServer().outerRect(xOf(hwnd)) == up.offsetBy(0, 150); }, 5000))
        << "let go at once, it lands under the pointer: " << liveServer().outerRect(xOf(hwnd)).t;
}

int64_t CpuTicksOf(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t afterName = text.rfind(')');
    if (afterName == std::string::npos)
        return -1;
    std::vector<std::string> fields;
    std::string field;
    for (size_t i = afterName + 2; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == ' ') {
            fields.push_back(field);
            field.clear();
        } else {
            field += text[i];
        }
    }
    // The third field after the name is the state; user and system time are the 12th and 13th.
    return fields.size() > 12 ? std::stoll(fields[11]) + std::stoll(fields[12]) : -1;
}

// The error box of Rotate XYZ Details, opened from Edit Event, closed by Return: the details window takes the
// keyboard once and keeps it. Edit Event and the details window took it in turn for as long as no key came, openbox
// busy all the while.
TEST_F(ModalKeyboardUnderWindowManager, AnErrorBoxOfAWindowOpenedFromAnEditorHandsTheKeyboardBackOnce)
{
    Dialog* editor = OpenEditEvent();
    ASSERT_NE(editor, nullptr);
    Window* details = OpenDetails(*editor);
    ASSERT_NE(details, nullptr);
    const Hwnd detailsHwnd = details->hwnd();
    Window* repeat = descendantWithId(*details, kRepeatEdit);
    ASSERT_NE(repeat, nullptr);
    liveServer().click(centreOf(repeat->screenRect()));
    ASSERT_TRUE(runUntil([&] { return ui().focus() == repeat->hwnd(); }));
    bool answered = false;
    Once(
        [&] {
            Window* box = ui().window(ui().activeWindow());
            return box != nullptr && box->owner() == details && box->child(IDOK) != nullptr && HasKeyboard(box->hwnd());
        },
        [&] {
            answered = true;
            liveServer().tap(XK_Return);
        });
    liveServer().tap(XK_End);
    liveServer().tap(XK_n);
    ASSERT_TRUE(runUntil([&] { return answered && ui().modalDepth() == 0; }));
    DropOnces();

    const pid_t openbox = liveServer().windowManagerPid();
    const int64_t ticksBefore = CpuTicksOf(openbox);
    std::vector<unsigned long> active = liveServer().property(0, "_NET_ACTIVE_WINDOW");
    int changes = 0;
    const auto from = std::chrono::steady_clock::now();
    runUntil(
        [&] {
            const std::vector<unsigned long> now = liveServer().property(0, "_NET_ACTIVE_WINDOW");
            if (now != active) {
                ++changes;
                active = now;
            }
            return std::chrono::steady_clock::now() - from > std::chrono::seconds(5);
        },
        10000);
    const int64_t ticks = CpuTicksOf(openbox) - ticksBefore;
    EXPECT_LT(ticks * 1000 / sysconf(_SC_CLK_TCK), 500) << "openbox's processor time in ms";
    EXPECT_LE(changes, 2) << "changes of the active window";
    EXPECT_TRUE(AwaitKeyboard(detailsHwnd));
    liveServer().tap(XK_Escape);
    EXPECT_TRUE(runUntil([&] { return ui().window(detailsHwnd) == nullptr; }));
    EXPECT_NE(ui().window(editor->hwnd()), nullptr);
}

// SIGTERM while the Scene graph's context menu is open, the project modified: the menu ends, the save question comes
// and No, clicked, ends the designer. The question came under the still-open menu, whose loop kept the clicks.
TEST_F(ModalKeyboardLive, ASigtermWithAContextMenuOpenAsksAndNoByTheMouseEndsTheDesigner)
{
    cancelQuestions = false;
    catchTerminationSignals();
    designer.GetApp()->SetModified();
    auto* graph = dynamic_cast<CVTND_TreePanelDlg*>(designer.GetApp()->GetPanel(PanelRole::kSceneGraph));
    ASSERT_NE(graph, nullptr);
    TreeView& tree = *graph->GetTree();
    const TreeItem cube = tree.getChildItem(tree.getChildItem(TVI_ROOT));
    Rect label;
    ASSERT_TRUE(tree.getItemRect(cube, label, true));
    bool signalled = false;
    bool answered = false;
    Once(
        [&] {
            for (const Hwnd h : ui().topLevels())
                if (ui().window(h)->className() == "popupmenu" && xOf(h) != 0)
                    return true;
            return false;
        },
        [&] {
            signalled = true;
            std::raise(SIGTERM);
        });
    Once(
        [&] {
            Window* box = ui().window(ui().activeWindow());
            return box != nullptr && box->child(IDNO) != nullptr && HasKeyboard(box->hwnd());
        },
        [&] {
            answered = true;
            liveServer().click(centreOf(ui().window(ui().activeWindow())->child(IDNO)->screenRect()));
        });
    // Should the question never take the click, the quit ends every loop, the question's too.
    const auto from = std::chrono::steady_clock::now();
    Once([&] { return std::chrono::steady_clock::now() - from > std::chrono::seconds(40); }, [&] { ui().postQuit(9); });
    liveServer().click(tree.clientToScreen(centreOf(label)), 3);
    EXPECT_TRUE(runUntil([&] { return ui().quitCode().has_value(); }, 60000));
    DropOnces();
    EXPECT_TRUE(signalled);
    EXPECT_TRUE(answered);
    EXPECT_EQ(ui().quitCode(), 0) << "the designer ended as No ends it";
    ui().clearQuit();
}

} // namespace
} // namespace pf
