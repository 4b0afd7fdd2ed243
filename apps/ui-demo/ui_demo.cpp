// vortan-ui-demo [--trace] [--live [--xvfb] [--exit-after MS]] <output folder>
// Writes controls.png (a dialog with one control of every kind, in normal, focused, checked and disabled states),
// states.png (every kind of control in each state it has: normal, focused, pressed, checked, disabled), frame.png
// (a frame with two MDI children, a tool bar with a checked, a disabled and a hot button, a status bar, an open
// popup menu and a modal message box over it) and drag-NN.png (an exclusive-or outline dragged across two windows,
// frame by frame, then erased). With --trace it prints what a click on every control sends: window, message, code
// and the state read in the handler.
//
// --live runs the same scripts in real windows, then opens a window from which a person opens every live service
// (message box, file, colour and font dialogs, a popup menu on a right click) and the dialog of every control;
// closing it ends the run. A close request while the scripts run (SIGINT and SIGTERM arrive as one) ends it too,
// at once and with exit 0. --xvfb runs on a private X server instead of $DISPLAY and also writes
// live-controls.png, the controls dialog as the X server shows it, which must equal its part of controls.png.
// --exit-after ends the interactive part on its own. Exit 77 when no display can be had.
#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/display/screen_dc.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/png_file.h"
#include "platform/live/sdl_audio.h"
#include "platform/live/sdl_backend.h"
#include "platform/testing/message_spy.h"
#include "platform/testing/user_sim.h"
#include "platform/testing/xvfb_server.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/controls/static_control.h"
#include "platform/ui/controls/tab_control.h"
#include "platform/ui/controls/tool_bar.h"
#include "platform/ui/controls/trackbar.h"
#include "platform/ui/controls/tree_view.h"
#include "platform/ui/controls/up_down.h"
#include "platform/ui/core/message_loop.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/frame/frame_window.h"
#include "platform/ui/providers/live_menu.h"
#include "platform/ui/providers/live_providers.h"
#include "platform/ui/providers/providers.h"
#include "states_scene.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace {

using namespace pf;

constexpr int kExitSkip = 77; // no display: ctest reports the smoke test as skipped

enum : int32_t {
    kIddControls = 500,
    kIddMessage = 501,
    kIddLive = 502,
    kLiveControls = 600,
    kLiveMessage,
    kLiveOpen,
    kLiveSave,
    kLiveFolder,
    kLiveColour,
    kLiveFont,
    kLiveMenu,
    kLiveAnswer,
    kStatic = 10,
    kEdit,
    kEditDisabled,
    kPush,
    kPushDisabled,
    kCheck,
    kCheckDisabled,
    kRadioA,
    kRadioB,
    kGroup,
    kCombo,
    kList,
    kListView,
    kTree,
    kTrack,
    kBuddy,
    kSpin,
    kTab,
    kScroll,
    kRich,
    kNotifyStatic,
    kMessageText,
};

void registerDemoResources()
{
    registerTemplate({kIddControls,
                      "Every control",
                      {560, 380},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"static", kStatic, {10, 12, 80, 28}, 0, "Name:"},
                          {"edit", kEdit, {85, 10, 250, 30}, WS_TABSTOP | WS_BORDER, "focused edit"},
                          {"edit", kEditDisabled, {85, 35, 250, 55}, WS_BORDER | WS_DISABLED, "disabled edit"},
                          {"button", kPush, {260, 10, 350, 34}, WS_TABSTOP | BS_DEFPUSHBUTTON, "Default"},
                          {"button", kPushDisabled, {260, 40, 350, 64}, WS_DISABLED, "Disabled"},
                          {"button", kGroup, {360, 5, 550, 110}, BS_GROUPBOX, "Options"},
                          {"button", kCheck, {370, 25, 540, 41}, WS_TABSTOP | BS_AUTOCHECKBOX, "Checked box"},
                          {"button", kCheckDisabled, {370, 45, 540, 61}, WS_DISABLED | BS_AUTOCHECKBOX, "Disabled box"},
                          {"button", kRadioA, {370, 65, 540, 81}, WS_GROUP | BS_AUTORADIOBUTTON, "Radio, checked"},
                          {"button", kRadioB, {370, 85, 540, 101}, BS_AUTORADIOBUTTON, "Radio"},
                          {"combobox", kCombo, {10, 70, 170, 90}, CBS_DROPDOWNLIST, ""},
                          {"listbox", kList, {180, 70, 350, 150}, LBS_NOTIFY, ""},
                          {"listview",
                           kListView,
                           {10, 160, 270, 270},
                           LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER,
                           ""},
                          {"treeview",
                           kTree,
                           {280, 160, 550, 270},
                           TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_CHECKBOXES | WS_BORDER,
                           ""},
                          {"trackbar", kTrack, {10, 280, 210, 310}, 0, ""},
                          {"edit", kBuddy, {220, 285, 270, 305}, WS_BORDER, "7"},
                          {"updown", kSpin, {270, 285, 286, 305}, UDS_SETBUDDYINT, ""},
                          {"tab", kTab, {300, 280, 550, 370}, 0, ""},
                          {"scrollbar", kScroll, {10, 320, 210, 336}, 0, ""},
                          {"richedit", kRich, {10, 345, 210, 370}, WS_BORDER, "rich edit"},
                          {"static", kNotifyStatic, {220, 345, 290, 361}, SS_NOTIFY, "Click me"},
                      }});
    registerTemplate({kIddMessage,
                      "Designer",
                      {300, 90},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"static", kMessageText, {50, 15, 290, 50}, 0, ""},
                          {"button", IDYES, {40, 58, 120, 82}, WS_TABSTOP | BS_DEFPUSHBUTTON, "Yes"},
                          {"button", IDNO, {130, 58, 210, 82}, WS_TABSTOP, "No"},
                      }});
    registerTemplate({kIddLive,
                      "Vortan live services",
                      {330, 250},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"button", kLiveControls, {10, 10, 160, 34}, WS_TABSTOP, "Every control..."},
                          {"button", kLiveMessage, {170, 10, 320, 34}, WS_TABSTOP, "Message box..."},
                          {"button", kLiveOpen, {10, 42, 160, 66}, WS_TABSTOP, "Open file..."},
                          {"button", kLiveSave, {170, 42, 320, 66}, WS_TABSTOP, "Save file..."},
                          {"button", kLiveFolder, {10, 74, 160, 98}, WS_TABSTOP, "Choose folder..."},
                          {"button", kLiveColour, {170, 74, 320, 98}, WS_TABSTOP, "Colour..."},
                          {"button", kLiveFont, {10, 106, 160, 130}, WS_TABSTOP, "Font..."},
                          {"button", kLiveMenu, {170, 106, 320, 130}, WS_TABSTOP, "Popup menu..."},
                          {"static", -1, {10, 142, 320, 158}, 0, "Right-click anywhere here for a popup menu."},
                          {"static", kLiveAnswer, {10, 166, 320, 200}, 0, "Answers show here."},
                          {"button", IDCANCEL, {240, 216, 320, 240}, WS_TABSTOP, "Close"},
                      }});
    resources().addMenu(128, {
                                 {0, "File", 0, {{57600, "New", 0, {}}, {57603, "Save", 0, {}}}},
                                 {0, "Edit", 0, {{32771, "Delete", 0, {}}}},
                                 {0, "View", 0, {{32780, "Status bar", MF_CHECKED, {}}}},
                             });
    resources().addMenu(164, {{0,
                               "Event",
                               0,
                               {{32790, "Edit event", 0, {}},
                                {32791, "Rename", 0, {}},
                                {32793, "Snap to grid", MF_CHECKED, {}},
                                {32794, "Large icons", MF_CHECKED | MFT_RADIOCHECK, {}},
                                {32795, "Small icons", 0, {}},
                                {0, "Arrange", 0, {{32796, "By name", 0, {}}, {32797, "By time", 0, {}}}},
                                {0, "", MF_SEPARATOR, {}},
                                {32792, "Delete", MF_GRAYED, {}}}}});
    resources().addToolBar(132, {{57600, 0}, {57603, 1}, {0, -1}, {32771, 2}, {32780, 3}});
}

class ControlsDialog : public Dialog {
protected:
    bool onInitDialog() override
    {
        item<Button>(kCheck)->setCheck(BST_CHECKED);
        item<Button>(kCheckDisabled)->setCheck(BST_CHECKED);
        item<Button>(kRadioA)->setCheck(BST_CHECKED);
        auto* combo = item<ComboBox>(kCombo);
        for (const char* t : {"Linear", "Ease in", "Ease out"})
            combo->addString(t);
        combo->setCurSel(1);
        auto* list = item<ListBox>(kList);
        for (const char* t : {"Camera", "Light", "Mesh", "Sound"})
            list->addString(t);
        list->setCurSel(2);
        auto* view = item<ListView>(kListView);
        view->insertColumn(0, "Event", 130);
        view->insertColumn(1, "Actions", 100);
        images = ImageList::create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 0);
        for (uint32_t id : {149u, 226u, 151u})
            images->addIcon(*resources().icon(id, 16));
        view->setImageList(images, LVSIL_SMALL);
        for (int i = 0; i < 3; ++i) {
            view->insertItem(i, "Event " + std::to_string(i + 1), i);
            view->setItemText(i, 1, std::to_string(i * 2));
        }
        view->setItemState(1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        auto* tree = item<TreeView>(kTree);
        const TreeItem root = tree->insertItem(TVI_ROOT, TVI_LAST, "World");
        const TreeItem cam = tree->insertItem(root, TVI_LAST, "Camera");
        tree->insertItem(root, TVI_LAST, "Sphere");
        tree->expand(root, TVE_EXPAND);
        tree->setCheck(cam, true);
        tree->selectItem(cam);
        auto* track = item<Trackbar>(kTrack);
        track->setRange(0, 100);
        track->setTicFreq(10);
        track->setPos(30);
        auto* spin = item<UpDown>(kSpin);
        spin->setBuddy(item<Edit>(kBuddy)->hwnd());
        spin->setRange32(0, 20);
        auto* tab = item<TabControl>(kTab);
        tab->insertItem(0, "Motion");
        tab->insertItem(1, "Sound");
        tab->insertItem(2, "Page");
        item<ScrollBar>(kScroll)->setInfo({0, 100, 20, 40});
        return true;
    }

public:
    ImageListRef images;
};

// A popup menu drawn as the live menus are, its first item lit as under the pointer.
class PopupWindow : public Window {
public:
    std::vector<MenuItem> items;
    LResult handle(const Msg& msg) override
    {
        if (msg.message != WM_PAINT)
            return Window::handle(msg);
        PaintDc dc(*this);
        drawMenuLevel(dc, clientRect(), items, 0);
        return 0;
    }
};

// Leaves the popup open on the screen, so the message box that follows is photographed over it; chooses nothing.
class ShownMenu final : public MenuChooser {
public:
    uint32_t choose(Hwnd, const std::vector<MenuItem>& items, Point point, uint32_t) override
    {
        m_popup = std::make_unique<PopupWindow>();
        m_popup->items = items;
        const int32_t height = menuItemRects(items, 0).back().b + 2 + 2; // items, margin, border
        m_popup->create(
            {"window", "", WS_POPUP | WS_BORDER, 0, Rect::fromXywh(point.x, point.y, 150, height), kNoWindow, 0});
        m_popup->show(SW_SHOWNOACTIVATE);
        ui().pump();
        return 0;
    }
    bool shown() const { return m_popup != nullptr && m_popup->isVisible(); }
    void close() { m_popup.reset(); }

private:
    std::unique_ptr<PopupWindow> m_popup;
};

// A message box drawn as a modal dialog; the demo photographs it before answering.
class PhotographedMessageBox final : public MessageBoxProvider {
public:
    explicit PhotographedMessageBox(std::string path) : m_path(std::move(path)) {}
    int32_t show(const MessageBoxCall& call) override
    {
        Dialog box;
        ui().providers().scriptedModal().onModal(kIddMessage, [&](Dialog& d) {
            d.child(kMessageText)->setText(call.text);
            ui().pump();
            m_written = screen().writePng(m_path);
            d.endDialog(IDYES);
        });
        return box.doModal(kIddMessage, ui().window(call.owner));
    }
    bool written() const { return m_written; }

private:
    std::string m_path;
    bool m_written = false;
};

// The live run's display: the backend the windows are shown on and, with --xvfb, the private server to read back.
struct LiveDisplay {
    SdlBackend* backend = nullptr;
    XvfbServer* server = nullptr;
    bool closeRequested = false; // a window was asked to close: the scripts stop waiting and comparing
};
LiveDisplay g_live;

// Runs the loop until the backend has shown what changed and X has drawn it.
void waitUntilShown()
{
    if (g_live.backend == nullptr)
        return;
    const uint64_t before = g_live.backend->presentedFrameCount();
    for (int i = 0; i < 200 && g_live.backend->presentedFrameCount() == before && !g_live.closeRequested; ++i)
        runLoopStep(ui());
    for (int i = 0; i < 10; ++i)
        runLoopStep(ui());
}

// The window's client area as the X server shows it against the headless composition of the same rectangle.
bool compareWithServer(Window& w, const std::string& path)
{
    waitUntilShown();
    if (g_live.closeRequested)
        return true; // the window may be gone: nothing to compare, and no failure
    const Point origin = w.clientToScreen({0, 0});
    const Rect client = w.clientRect().offsetBy(origin.x, origin.y);
    const std::unique_ptr<Surface32> live = g_live.server->grab(client);
    std::string error;
    if (live->isEmpty() || !writePngFile(path, *live, error))
        return false;
    int64_t differ = 0;
    const std::shared_ptr<Surface32> surface = ui().surfaceOf(w);
    const std::lock_guard lock(surface->mutex());
    const Point offset{client.l - w.screenRect().l, client.t - w.screenRect().t};
    for (int32_t y = 0; y < live->height(); ++y)
        for (int32_t x = 0; x < live->width(); ++x)
            differ += (surface->pixel(offset.x + x, offset.y + y) & 0xFFFFFFu) != live->pixel(x, y) ? 1 : 0;
    std::printf("live equals headless: %s (%lld of %d pixels differ)\n", differ == 0 ? "yes" : "no",
                static_cast<long long>(differ), live->width() * live->height());
    return differ == 0;
}

bool runControls(const std::string& dir, bool trace)
{
    ControlsDialog dialog;
    if (!dialog.create(kIddControls, nullptr))
        return false;
    dialog.setPos(HWND_TOP, Rect::fromXywh(40, 40, 568, 411), SWP_NOSIZE);
    dialog.show(SW_SHOW);
    ui().setFocus(dialog.child(kEdit)->hwnd());
    ui().pump();
    bool written = screen().writePng(dir + "/controls.png");
    if (g_live.server != nullptr && !g_live.closeRequested)
        written = compareWithServer(dialog, dir + "/live-controls.png") && written;
    if (trace) {
        UserSim sim;
        MessageSpy spy;
        spy.onlyWindows({dialog.hwnd()}).onlyMessages({WM_COMMAND, WM_NOTIFY, WM_HSCROLL, WM_VSCROLL});
        spy.probe([&](const Msg& m) {
            if (m.message == WM_COMMAND && m.lParam != 0) {
                const Window* from = ui().window(static_cast<Hwnd>(m.lParam));
                if (const auto* b = dynamic_cast<const Button*>(from))
                    return "check " + std::to_string(b->getCheck());
                if (const auto* c = dynamic_cast<const ComboBox*>(from))
                    return "sel " + std::to_string(c->getCurSel());
                if (const auto* l = dynamic_cast<const ListBox*>(from))
                    return "sel " + std::to_string(l->getCurSel());
                return from != nullptr ? "text \"" + from->text() + "\"" : std::string();
            }
            if (m.message == WM_HSCROLL || m.message == WM_VSCROLL)
                return "code " + std::to_string(loWord(m.wParam)) + " pos " + std::to_string(hiWord(m.wParam));
            return std::string();
        });
        for (const int32_t id : {kStatic, kNotifyStatic, kEdit, kPush, kCheck, kRadioB, kCombo, kList, kListView, kTree,
                                 kTrack, kSpin, kTab, kScroll, kRich}) {
            Window* control = dialog.child(id);
            if (id == kCombo) {
                sim.chooseCombo(*dialog.item<ComboBox>(kCombo), 2);
                continue;
            }
            if (id == kTab) {
                sim.selectTab(*dialog.item<TabControl>(kTab), 1);
                continue;
            }
            sim.click(*control);
            ui().pump();
        }
        std::fputs(spy.format().c_str(), stdout);
    }
    dialog.destroy();
    return written;
}

// The demo's frame: a close request ends the run (see runLive) rather than destroying it under the script.
class DemoFrame final : public FrameWindow {
public:
    LResult handle(const Msg& msg) override { return msg.message == WM_CLOSE ? 0 : FrameWindow::handle(msg); }
};

bool runFrame(const std::string& dir)
{
    DemoFrame frame;
    if (!frame.createFrame("Vortan designer", {0, 0, 900, 640}, 128, WS_VISIBLE | WS_THICKFRAME))
        return false;
    ImageListRef toolImages = ImageList::create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 0);
    for (uint32_t id : {300u, 301u, 302u, 303u})
        toolImages->addIcon(*resources().icon(id, 16));
    frame.createToolBar(132, toolImages);
    frame.createStatusBar({300, 500, -1});
    frame.statusBar()->setText(0, "Ready");
    frame.statusBar()->setText(2, "x 120  y 48");
    // The tool bar's states: the status-bar button checked, Delete disabled, Save under the pointer.
    frame.toolBar()->checkButton(32780, true);
    frame.toolBar()->enableButton(32771, false);
    ui().pump();
    const Rect save = frame.toolBar()->itemRect(frame.toolBar()->commandToIndex(57603));
    UserSim().mouseMove(frame.toolBar()->clientToScreen({save.l + 8, save.t + 8}));
    MdiChild first, second;
    Window firstView, secondView;
    first.createChild(frame, "Event map 1", {10, 10, 420, 330});
    firstView.create({"window", "", WS_CHILD | WS_VISIBLE, 0, first.clientRect(), first.hwnd(), 1});
    first.setView(&firstView);
    second.createChild(frame, "Time line", {200, 120, 640, 460});
    // The time line scrolls both ways: the window's own scroll bars, drawn by the layer.
    secondView.create(
        {"window", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, 0, second.clientRect(), second.hwnd(), 1});
    secondView.setScrollInfo(SB_VERT, {0, 100, 40, 20});
    secondView.setScrollInfo(SB_HORZ, {0, 500, 100, 0});
    second.setView(&secondView);
    ui().pump();

    ShownMenu menu;
    PhotographedMessageBox box(dir + "/frame.png");
    ui().providers().install(static_cast<MenuChooser*>(&menu));
    ui().providers().install(static_cast<MessageBoxProvider*>(&box));
    Menu::load(164).subMenu(0).trackPopup(TPM_RIGHTBUTTON, secondView.clientToScreen({20, 175}), secondView);
    const bool menuShown = menu.shown();
    messageBox(frame.hwnd(), "Save the changes to the project?", "Designer", MB_YESNO | MB_ICONQUESTION);
    menu.close();
    ui().providers().install(static_cast<MenuChooser*>(nullptr));
    ui().providers().install(static_cast<MessageBoxProvider*>(nullptr));
    frame.destroy();
    return menuShown && box.written();
}

// The outline an editor drag shows: drawn and erased with exclusive-or on the screen's overlay.
bool runDrag(const std::string& dir)
{
    Window left, right;
    left.create({"window", "Palette", WS_VISIBLE | WS_CAPTION, 0, {40, 40, 340, 400}, kNoWindow, 0});
    right.create({"window", "Event map", WS_VISIBLE | WS_CAPTION, 0, {380, 40, 900, 400}, kNoWindow, 0});
    ui().pump();
    ScreenDc dc;
    dc.setROP2(R2_XORPEN);
    dc.selectPen(createPen(PS_SOLID, 2, rgb(255, 255, 255)));
    dc.selectBrush(Brush{BS_NULL, 0});
    bool ok = true;
    Rect previous{};
    const int frames = 8;
    for (int i = 0; i <= frames; ++i) {
        const Rect outline = Rect::fromXywh(100 + i * 70, 150 + i * 10, 64, 48);
        if (i > 0)
            dc.rectangle(previous); // erase the last one
        dc.rectangle(outline);
        previous = outline;
        if (i == frames / 2) {
            right.invalidate(); // a repaint underneath in the middle of the drag leaves no trail
            ui().pump();
        }
        char name[32];
        std::snprintf(name, sizeof name, "/drag-%02d.png", i);
        ok = screen().writePng(dir + name) && ok;
    }
    dc.rectangle(previous);
    ok = screen().writePng(dir + "/drag-end.png") && ok;
    const bool clear = screen().isOverlayClear();
    std::printf("overlay clear after the drag: %s\n", clear ? "yes" : "no");
    left.destroy();
    right.destroy();
    return ok && clear;
}

const char* answerName(int32_t answer)
{
    switch (answer) {
    case IDOK:
        return "OK";
    case IDCANCEL:
        return "Cancel";
    case IDYES:
        return "Yes";
    case IDNO:
        return "No";
    default:
        return "?";
    }
}

// The window a person starts from: one button per live service, the answer of the last one shown below them.
class LiveServicesDialog final : public Dialog {
protected:
    LResult handle(const Msg& msg) override
    {
        if (msg.message == WM_COMMAND && hiWord(msg.wParam) == BN_CLICKED && loWord(msg.wParam) != IDCANCEL) {
            openService(loWord(msg.wParam));
            return 0;
        }
        if (msg.message == WM_RBUTTONUP) {
            showMenu(clientToScreen(pointFromLParam(msg.lParam)));
            return 0;
        }
        if (msg.message == WM_TIMER && msg.wParam == kExitTimer) {
            ui().postQuit(0);
            return 0;
        }
        return Dialog::handle(msg);
    }
    void onCancel() override
    {
        endDialog(IDCANCEL);
        ui().postQuit(0);
    }

public:
    static constexpr uint32_t kExitTimer = 99;

private:
    void say(const std::string& text) { child(kLiveAnswer)->setText(text); }

    void showMenu(Point at)
    {
        const uint32_t chosen = Menu::load(164).subMenu(0).trackPopup(TPM_RETURNCMD | TPM_RIGHTBUTTON, at, *this);
        say(chosen == 0 ? "Menu: nothing chosen" : "Menu: command " + std::to_string(chosen));
    }

    void openService(int32_t id)
    {
        switch (id) {
        case kLiveControls:
            m_controls = std::make_unique<ControlsDialog>();
            if (m_controls->create(kIddControls, nullptr))
                m_controls->show(SW_SHOW);
            return;
        case kLiveMessage:
            say(std::string("Message box: ") + answerName(messageBox(hwnd(), "Save the changes to the project?",
                                                                     "Designer", MB_YESNOCANCEL | MB_ICONQUESTION)));
            return;
        case kLiveOpen:
        case kLiveSave: {
            FileDialogRequest request;
            request.save = id == kLiveSave;
            request.owner = hwnd();
            request.filter = "Scenes (*.vtn)|*.vtn|Projects (*.vtp)|*.vtp|All files (*.*)|*.*||";
            request.defaultExtension = "vtn";
            request.flags = request.save ? OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST : OFN_FILEMUSTEXIST;
            const auto paths = getFileName(request);
            say(paths ? "File: " + paths->front() : "File: cancelled");
            return;
        }
        case kLiveFolder: {
            const auto folder = ui().providers().fileDialog().pickFolder(hwnd(), "Project folder", "");
            say(folder ? "Folder: " + *folder : "Folder: cancelled");
            return;
        }
        case kLiveColour: {
            const auto colour = chooseColor({hwnd(), m_colour, CC_RGBINIT, &m_custom});
            m_colour = colour.value_or(m_colour);
            char text[48];
            std::snprintf(text, sizeof text, "Colour: %u, %u, %u", getRValue(m_colour), getGValue(m_colour),
                          getBValue(m_colour));
            say(colour ? text : "Colour: cancelled");
            return;
        }
        case kLiveFont: {
            FontDialogRequest request;
            request.owner = hwnd();
            request.logFont.height = -13;
            std::snprintf(request.logFont.face, sizeof request.logFont.face, "DejaVu Sans");
            const auto font = chooseFont(request);
            say(font ? std::string("Font: ") + font->logFont.face + ", " + std::to_string(font->pointSizeTenths / 10) +
                           " pt"
                     : "Font: cancelled");
            return;
        }
        case kLiveMenu:
            showMenu(child(kLiveMenu)->clientToScreen({0, 24}));
            return;
        default:
            return;
        }
    }

    std::unique_ptr<ControlsDialog> m_controls;
    ColorRef m_colour = rgb(40, 120, 200);
    std::array<ColorRef, 16> m_custom{};
};

// The scripts on the live screen, then the services for a person until the window is closed (or time is up).
int runLive(const std::string& dir, bool trace, bool ownServer, int32_t exitAfterMs)
{
    std::unique_ptr<XvfbServer> server;
    if (ownServer) {
        server = std::make_unique<XvfbServer>();
        std::string error;
        if (!server->start(error)) {
            std::printf("no display: %s\n", error.c_str());
            return kExitSkip;
        }
    }
    DisplayChoice choice = openDisplayBackend();
    if (!choice.backend->isLive()) {
        std::printf("no display: %s\n", choice.reason.c_str());
        return kExitSkip;
    }
    SdlAudio audio;
    if (audio.isOpen())
        setAudioOut(&audio);
    else
        std::printf("no sound: %s\n", audio.openError().c_str());
    bool ok = true;
    bool interrupted = false;
    {
        Ui ui;
        ui.setBackend(choice.backend.get());
        g_live = {dynamic_cast<SdlBackend*>(choice.backend.get()), server.get()};
        // A close request (a close box, or SIGINT or SIGTERM through the live display) ends the run at once, here
        // between two scripts as in the services window below.
        ui.addObserver(&g_live.closeRequested,
                       [](const Msg& m) { g_live.closeRequested = g_live.closeRequested || m.message == WM_CLOSE; });
        const std::function<bool()> steps[] = {
            [&] { return runControls(dir, trace); },
            [&] { return demo::writeStatesScene(dir + "/states.png"); },
            [&] { return runFrame(dir); },
            [&] { return runDrag(dir); },
        };
        for (const auto& step : steps)
            ok = (g_live.closeRequested || step()) && ok;
        ui.removeObserver(&g_live.closeRequested);
        interrupted = g_live.closeRequested; // what a script made of the closing of its window is no failure
        LiveProviders providers;
        providers.install();
        LiveServicesDialog services;
        if (interrupted) {
            std::printf("asked to close: the run ends\n");
        } else if (services.create(kIddLive, nullptr)) {
            services.setPos(HWND_TOP, Rect::fromXywh(60, 60, 338, 281), SWP_NOSIZE);
            services.show(SW_SHOW);
            if (exitAfterMs > 0)
                services.setTimer(LiveServicesDialog::kExitTimer, static_cast<uint32_t>(exitAfterMs));
            std::printf("%s\n", ok ? "scripts done; the services window is open" : "scripts FAILED");
            std::fflush(stdout);
            runMessageLoop(ui);
        } else {
            ok = false;
        }
        g_live = {};
        ui.setBackend(nullptr);
    }
    setAudioOut(nullptr);
    return ok || interrupted ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    bool trace = false;
    bool live = false;
    bool ownServer = false;
    int32_t exitAfterMs = 0;
    bool usage = false;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--trace") {
            trace = true;
        } else if (arg == "--live") {
            live = true;
        } else if (arg == "--xvfb") {
            ownServer = true;
        } else if (arg == "--exit-after" && i + 1 < argc) {
            const std::string_view ms = argv[++i];
            const auto [end, failed] = std::from_chars(ms.data(), ms.data() + ms.size(), exitAfterMs);
            usage = usage || failed != std::errc() || end != ms.data() + ms.size() || exitAfterMs < 1;
        } else if (arg.starts_with('-')) {
            usage = true; // an option it does not know, never a folder to make ("--help")
        } else {
            dir = arg;
        }
    }
    if (dir.empty() || usage) {
        std::fprintf(stderr, "usage: vortan-ui-demo [--trace] [--live [--xvfb] [--exit-after MS]] <output folder>\n");
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    screen().reset();
    registerDemoResources();
    demo::registerStatesResources();
    if (live)
        return runLive(dir, trace, ownServer, exitAfterMs);
    bool ok = true;
    {
        Ui ui;
        ok = runControls(dir, trace) && ok;
        ok = demo::writeStatesScene(dir + "/states.png") && ok;
        ok = runFrame(dir) && ok;
        ok = runDrag(dir) && ok;
    }
    std::printf("%s\n", ok ? "written" : "FAILED");
    return ok ? 0 : 1;
}
