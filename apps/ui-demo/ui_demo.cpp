// vortan-ui-demo [--trace] <output folder>
// Writes controls.png (a dialog with one control of every kind, in normal, focused, checked and disabled states),
// frame.png (a frame with two MDI children, tool bar, status bar, an open popup menu and a modal message box over
// it) and drag-NN.png (an exclusive-or outline dragged across two windows, frame by frame, then erased). With
// --trace it prints what a click on every control sends: window, message, code and the state read in the handler.
#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/display/screen_dc.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/testing/message_spy.h"
#include "platform/testing/user_sim.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/controls/static_control.h"
#include "platform/ui/controls/tab_control.h"
#include "platform/ui/controls/trackbar.h"
#include "platform/ui/controls/tree_view.h"
#include "platform/ui/controls/up_down.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/frame/frame_window.h"
#include "platform/ui/providers/providers.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using namespace pf;

enum : int32_t {
    kIddControls = 500,
    kIddMessage = 501,
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

// A popup menu drawn as a window of its own.
class PopupWindow : public Window {
public:
    std::vector<MenuItem> items;
    LResult handle(const Msg& msg) override
    {
        if (msg.message != WM_PAINT)
            return Window::handle(msg);
        PaintDc dc(*this);
        dc.fillRect(clientRect(), createSolidBrush(getSysColor(COLOR_MENU)));
        dc.setBkMode(TRANSPARENT);
        int32_t y = 2;
        for (const MenuItem& item : items) {
            if ((item.flags & MF_SEPARATOR) != 0) {
                dc.draw3dRect({4, y + 3, clientRect().r - 4, y + 5}, getSysColor(COLOR_BTNSHADOW),
                              getSysColor(COLOR_BTNHIGHLIGHT));
                y += 8;
                continue;
            }
            dc.setTextColor(getSysColor((item.flags & MF_GRAYED) != 0 ? COLOR_GRAYTEXT : COLOR_MENUTEXT));
            dc.textOut(20, y + 3, item.text);
            y += 20;
        }
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
        m_popup->create(
            {"window", "", WS_POPUP | WS_BORDER, 0, Rect::fromXywh(point.x, point.y, 140, 72), kNoWindow, 0});
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

bool runControls(const std::string& dir, bool trace)
{
    ControlsDialog dialog;
    if (!dialog.create(kIddControls, nullptr))
        return false;
    dialog.setPos(HWND_TOP, Rect::fromXywh(40, 40, 568, 411), SWP_NOSIZE);
    dialog.show(SW_SHOW);
    ui().setFocus(dialog.child(kEdit)->hwnd());
    ui().pump();
    const bool written = screen().writePng(dir + "/controls.png");
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

bool runFrame(const std::string& dir)
{
    FrameWindow frame;
    if (!frame.createFrame("Vortan designer", {0, 0, 900, 640}, 128, WS_VISIBLE))
        return false;
    ImageListRef toolImages = ImageList::create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 0);
    for (uint32_t id : {300u, 301u, 302u, 303u})
        toolImages->addIcon(*resources().icon(id, 16));
    frame.createToolBar(132, toolImages);
    frame.createStatusBar({300, 500, -1});
    frame.statusBar()->setText(0, "Ready");
    frame.statusBar()->setText(2, "x 120  y 48");
    MdiChild first, second;
    Window firstView, secondView;
    first.createChild(frame, "Event map 1", {10, 10, 420, 330});
    firstView.create({"window", "", WS_CHILD | WS_VISIBLE, 0, first.clientRect(), first.hwnd(), 1});
    first.setView(&firstView);
    second.createChild(frame, "Time line", {200, 120, 640, 460});
    secondView.create({"window", "", WS_CHILD | WS_VISIBLE, 0, second.clientRect(), second.hwnd(), 1});
    second.setView(&secondView);
    ui().pump();

    ShownMenu menu;
    PhotographedMessageBox box(dir + "/frame.png");
    ui().providers().install(static_cast<MenuChooser*>(&menu));
    ui().providers().install(static_cast<MessageBoxProvider*>(&box));
    Menu::load(164).subMenu(0).trackPopup(TPM_RIGHTBUTTON, secondView.clientToScreen({40, 30}), secondView);
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

} // namespace

int main(int argc, char** argv)
{
    bool trace = false;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--trace")
            trace = true;
        else
            dir = arg;
    }
    if (dir.empty()) {
        std::fprintf(stderr, "usage: vortan-ui-demo [--trace] <output folder>\n");
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    screen().reset();
    registerDemoResources();
    bool ok = true;
    {
        Ui ui;
        ok = runControls(dir, trace) && ok;
        ok = runFrame(dir) && ok;
        ok = runDrag(dir) && ok;
    }
    std::printf("%s\n", ok ? "written" : "FAILED");
    return ok ? 0 : 1;
}
