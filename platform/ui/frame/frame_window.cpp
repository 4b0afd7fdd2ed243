#include "platform/ui/frame/frame_window.h"

#include <algorithm>

#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/frame_control.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/time/clock.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

namespace pf {

namespace {

constexpr int32_t kMenuItemPadding = 12;
constexpr int32_t kCornerGrip = 12; // along the border from a corner, a press sizes both of its edges

// A caption button: a raised face with its picture in black, a minimise bar, a maximise or restore box, a cross,
// drawn in a square centred on the face so that a small caption still shows each whole.
void drawCaptionButton(Dc& dc, const Rect& r, int32_t picture)
{
    const Rect face = drawPushButtonFrame(dc, r, false, false);
    const Brush black = createSolidBrush(0);
    const auto frameRect = [&](const Rect& box) { dc.draw3dRect(box, 0, 0); };
    const auto faceWidth = static_cast<int32_t>(face.width());
    const auto faceHeight = static_cast<int32_t>(face.height());
    const int32_t side = std::max(4, std::min(faceWidth, faceHeight) - 1);
    const int32_t l = face.l + (faceWidth - side) / 2, t = face.t + (faceHeight - side) / 2;
    const int32_t rr = l + side, b = t + side;
    switch (picture) {
    case 0:
        dc.fillRect({l + 1, b - 2, rr - 1, b}, black);
        break;
    case 1:
        frameRect({l, t, rr, b});
        dc.fillRect({l, t, rr, t + 2}, black);
        break;
    case 2: // restore: two boxes, the back one peeking out
        frameRect({l + 3, t, rr, b - 3});
        dc.fillRect({l, t + 3, rr - 3, b}, createSolidBrush(getSysColor(COLOR_BTNFACE)));
        frameRect({l, t + 3, rr - 3, b});
        dc.fillRect({l, t + 3, rr - 3, t + 4}, black);
        break;
    default:
        for (int32_t i = 0; i + 1 < side; ++i) {
            dc.fillRect(Rect::fromXywh(l + i, t + i, 2, 1), black);
            dc.fillRect(Rect::fromXywh(rr - 2 - i, t + i, 2, 1), black);
        }
        break;
    }
}

int32_t menuItemWidth(const MenuItem& item)
{
    return static_cast<int32_t>(item.text.size()) * 6 + kMenuItemPadding;
}

// The letter after '&', else the title's first letter, upper case.
char mnemonicOf(const std::string& title)
{
    const size_t amp = title.find('&');
    const char c = amp != std::string::npos && amp + 1 < title.size() ? title[amp + 1] : (title.empty() ? 0 : title[0]);
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

bool matchAccelerator(const std::vector<Accelerator>& table, uint8_t vk, uint16_t& outCommand)
{
    const Ui& u = ui();
    const uint8_t held =
        static_cast<uint8_t>((u.getKeyState(VK_SHIFT) < 0 ? FSHIFT : 0) |
                             (u.getKeyState(VK_CONTROL) < 0 ? FCONTROL : 0) | (u.getKeyState(VK_MENU) < 0 ? FALT : 0));
    for (const Accelerator& a : table) {
        if (a.vk == vk && (a.modifiers & (FSHIFT | FCONTROL | FALT)) == held) {
            outCommand = a.command;
            return true;
        }
    }
    return false;
}

// ---- MDI client

MdiChild* MdiClient::activeChild() const
{
    return dynamic_cast<MdiChild*>(ui().window(m_active));
}

std::vector<MdiChild*> MdiClient::childFrames() const
{
    std::vector<MdiChild*> out;
    for (const Hwnd h : children())
        if (auto* c = dynamic_cast<MdiChild*>(ui().window(h)))
            out.push_back(c);
    return out;
}

void MdiClient::activate(MdiChild* child)
{
    MdiChild* old = activeChild();
    if (old == child)
        return;
    const Hwnd oldHwnd = old != nullptr ? old->hwnd() : kNoWindow;
    const Hwnd newHwnd = child != nullptr ? child->hwnd() : kNoWindow;
    m_active = newHwnd;
    if (old != nullptr) {
        old->send(WM_NCACTIVATE, 0, 0);
        if (ui().window(oldHwnd) == old)
            old->onMdiActivate(false, child);
        if (ui().window(oldHwnd) == old)
            old->invalidate(true);
    }
    if (child != nullptr && ui().window(newHwnd) == child) {
        child->setPos(HWND_TOP, {}, SWP_NOMOVE | SWP_NOSIZE);
        child->send(WM_NCACTIVATE, 1, 0);
        if (ui().window(newHwnd) == child)
            child->onMdiActivate(true, ui().window(oldHwnd) == old ? old : nullptr);
        if (ui().window(newHwnd) == child) {
            child->invalidate(true);
            if (Window* view = child->view())
                ui().setFocus(view->hwnd());
        }
    }
}

LResult MdiClient::handle(const Msg& msg)
{
    if (msg.message == WM_SIZE) {
        for (MdiChild* child : childFrames())
            child->fitToClient();
        return 0;
    }
    if (msg.message == WM_ERASEBKGND) {
        if (Dc* dc = dcFromWParam(msg.wParam)) {
            dc->fillRect(clientRect(), createSolidBrush(getSysColor(COLOR_APPWORKSPACE)));
            drawEdge(*dc, clientRect(), EdgeKind::kSunken); // the workspace sits in a well under the bars
        }
        return 1;
    }
    return Window::handle(msg);
}

// ---- frame

bool FrameWindow::createFrame(std::string_view title, const Rect& rect, uint32_t menuId, uint32_t style)
{
    if (menuId != 0) {
        m_menu = Menu::load(menuId);
        m_accelerators = resources().accelerators(menuId);
    }
    setExtraNonClientInsets(m_menu.isNull() ? Rect{} : Rect{0, fixedSystemMetric(SM_CYMENU), 0, 0});
    if (!create({"frame", std::string(title), style | WS_CAPTION | WS_CLIPCHILDREN, 0, rect, kNoWindow, 0}))
        return false;
    auto* client =
        ui().createWindow({"mdiclient", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, clientRect(), hwnd(), 0});
    m_mdiClient = client != nullptr ? client->hwnd() : kNoWindow;
    recalcLayout();
    return true;
}

bool FrameWindow::createToolBar(uint32_t resourceId, ImageListRef images)
{
    auto* bar = dynamic_cast<ToolBar*>(ui().createWindow({"toolbar", "", WS_CHILD | WS_VISIBLE, 0, {}, hwnd(), 0}));
    if (bar == nullptr)
        return false;
    bar->loadToolBar(resourceId);
    bar->setImageList(std::move(images));
    m_toolBar = bar->hwnd();
    recalcLayout();
    return true;
}

bool FrameWindow::createStatusBar(const std::vector<int32_t>& paneEdges)
{
    auto* bar = dynamic_cast<StatusBar*>(ui().createWindow({"statusbar", "", WS_CHILD | WS_VISIBLE, 0, {}, hwnd(), 0}));
    if (bar == nullptr)
        return false;
    bar->setParts(paneEdges);
    m_statusBar = bar->hwnd();
    recalcLayout();
    return true;
}

ToolBar* FrameWindow::toolBar() const
{
    return dynamic_cast<ToolBar*>(ui().window(m_toolBar));
}

StatusBar* FrameWindow::statusBar() const
{
    return dynamic_cast<StatusBar*>(ui().window(m_statusBar));
}

MdiClient* FrameWindow::mdiClient() const
{
    return dynamic_cast<MdiClient*>(ui().window(m_mdiClient));
}

Window* FrameWindow::activeView() const
{
    MdiClient* client = mdiClient();
    MdiChild* child = client != nullptr ? client->activeChild() : nullptr;
    return child != nullptr ? child->view() : nullptr;
}

void FrameWindow::recalcLayout()
{
    Rect area = clientRect();
    if (ToolBar* bar = toolBar()) {
        bar->placeAtTopOf(area);
        area.t += ToolBar::kHeight;
    }
    if (StatusBar* bar = statusBar()) {
        bar->placeAtBottomOf(area);
        area.b -= StatusBar::kHeight;
    }
    if (m_dockSite != nullptr)
        area = m_dockSite->layoutDocked(area);
    if (MdiClient* client = mdiClient())
        client->setPos(HWND_TOP, area, SWP_NOZORDER);
}

Rect FrameWindow::menuItemRect(int32_t position) const
{
    if (m_menu.isNull() || position < 0 || position >= m_menu.itemCount())
        return {};
    const Rect insets = clientInsets();
    int32_t x = insets.l;
    for (int32_t i = 0; i < position; ++i)
        x += menuItemWidth(m_menu.items()[static_cast<size_t>(i)]);
    const int32_t top = insets.t - fixedSystemMetric(SM_CYMENU);
    return {x, top, x + menuItemWidth(m_menu.items()[static_cast<size_t>(position)]), insets.t};
}

bool FrameWindow::openMenu(int32_t position, bool fromKeys)
{
    if (m_menu.subMenu(position).isNull())
        return false;
    const Hwnd self = hwnd();
    const int32_t count = m_menu.itemCount();
    uint32_t chosen = 0;
    for (;;) {
        const Menu popup = m_menu.subMenu(position);
        if (popup.isNull())
            break;
        setMenuBarHot(position, false);
        const Rect item = menuItemRect(position);
        chosen = popup.trackPopup(TPM_RETURNCMD | TPM_MENUBAR | (fromKeys ? TPM_SELECTFIRST : 0),
                                  {windowRect().l + item.l, windowRect().t + item.b}, *this);
        if (ui().window(self) != this)
            return true;
        if (chosen == kMenuBarNext || chosen == kMenuBarPrevious) {
            position = (position + (chosen == kMenuBarNext ? 1 : count - 1)) % count;
            fromKeys = true;
        } else if ((chosen & kMenuBarTitle) != 0) {
            position = static_cast<int32_t>(chosen & 0xFFFF);
            fromKeys = false;
        } else {
            break;
        }
    }
    // Escape from a popup steps back to its selected title; anything else leaves the bar.
    setMenuBarHot(chosen == kMenuBarBack ? position : -1, chosen == kMenuBarBack);
    if (chosen != 0 && !isMenuBarMove(chosen))
        ui().post(self, WM_COMMAND, chosen, 0);
    return true;
}

void FrameWindow::setMenuBarHot(int32_t position, bool selected)
{
    m_barSelected = selected && position >= 0;
    if (position == m_barHot)
        return;
    m_barHot = position;
    invalidateFrame(); // the bar is in the frame
}

int32_t FrameWindow::menuBarTitleAt(Point screen) const
{
    for (int32_t i = 0; i < m_menu.itemCount(); ++i)
        if (menuItemRect(i).contains({screen.x - windowRect().l, screen.y - windowRect().t}))
            return i;
    return -1;
}

int32_t FrameWindow::titleOfMnemonic(uint8_t vk) const
{
    int32_t found = -1;
    for (int32_t i = 0; i < m_menu.itemCount(); ++i)
        if (vk >= '0' && vk <= 'Z' && mnemonicOf(m_menu.items()[static_cast<size_t>(i)].text) == static_cast<char>(vk))
            found = i;
    return found;
}

bool FrameWindow::menuBarKey(const Msg& msg)
{
    if (m_menu.isNull() || m_menu.itemCount() == 0)
        return false;
    const auto vk = static_cast<uint8_t>(msg.wParam);
    const bool repeat = (static_cast<uint32_t>(msg.lParam) & (1u << 30)) != 0;
    if (msg.message == WM_KEYUP) {
        // Alt pressed and let go alone selects the bar, or leaves it.
        const bool alone = vk == VK_MENU && m_altAlone;
        m_altAlone = false;
        if (alone)
            setMenuBarHot(m_barSelected ? -1 : 0, !m_barSelected);
        return alone;
    }
    if (msg.message != WM_KEYDOWN)
        return false;
    m_altAlone = vk == VK_MENU && (repeat ? m_altAlone : true);
    if (vk == VK_MENU)
        return false;
    const int32_t count = m_menu.itemCount();
    const bool alt = ui().getKeyState(VK_MENU) < 0;
    const int32_t byLetter = alt || m_barSelected ? titleOfMnemonic(vk) : -1;
    if (byLetter >= 0)
        return openMenu(byLetter, true);
    if (!m_barSelected) {
        if (vk != VK_F10 || ui().getKeyState(VK_SHIFT) < 0 || ui().getKeyState(VK_CONTROL) < 0)
            return false;
        setMenuBarHot(0, true);
        return true;
    }
    switch (vk) {
    case VK_LEFT:
    case VK_RIGHT:
        setMenuBarHot((m_barHot + (vk == VK_RIGHT ? 1 : count - 1)) % count, true);
        return true;
    case VK_DOWN:
    case VK_UP:
    case VK_RETURN:
        return openMenu(m_barHot, true);
    case VK_ESCAPE:
    case VK_F10:
        setMenuBarHot(-1, false);
        return true;
    default:
        return !alt; // the selected bar takes the keyboard; Alt chords go on to the accelerators
    }
}

void FrameWindow::paintNonClient(Dc& dc)
{
    Window::paintNonClient(dc);
    if (m_menu.isNull())
        return;
    const Rect insets = clientInsets();
    const Rect bar{insets.l, insets.t - fixedSystemMetric(SM_CYMENU),
                   static_cast<int32_t>(windowRect().width()) - insets.r, insets.t};
    dc.fillRect(bar, createSolidBrush(getSysColor(COLOR_MENU)));
    dc.setBkMode(TRANSPARENT);
    for (int32_t i = 0; i < m_menu.itemCount(); ++i) {
        const MenuItem& item = m_menu.items()[static_cast<size_t>(i)];
        const Rect r = menuItemRect(i);
        const bool lit = i == m_barHot;
        if (lit)
            dc.fillRect(r, createSolidBrush(getSysColor(COLOR_HIGHLIGHT)));
        dc.setTextColor(getSysColor(lit ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
        if ((item.flags & (MF_GRAYED | MF_DISABLED)) != 0)
            drawEtchedText(dc, r.l + kMenuItemPadding / 2, r.t + 3, item.text);
        else
            dc.textOut(r.l + kMenuItemPadding / 2, r.t + 3, item.text);
    }
}

bool FrameWindow::handleCommand(uint32_t, uint32_t)
{
    return false;
}

bool FrameWindow::routeCommand(uint32_t id, uint32_t code)
{
    const Hwnd self = hwnd();
    if (Window* view = activeView()) {
        if (view->send(kMsgRouteCommand, makeWParam(static_cast<int32_t>(id), static_cast<int32_t>(code)), 0) != 0)
            return true;
        if (ui().window(self) != this)
            return true;
    }
    MdiClient* client = mdiClient();
    if (MdiChild* child = client != nullptr ? client->activeChild() : nullptr) {
        if (child->handleCommand(id, code))
            return true;
        if (ui().window(self) != this)
            return true;
    }
    if (handleCommand(id, code))
        return true;
    return ui().window(self) == this && m_dockSite != nullptr && m_dockSite->dockCommand(id);
}

namespace {

constexpr WParam kKeyF6 = VK_F1 + 5; // VK_F6

// Where the keys start in a pane: its first shown, enabled control with a tab stop; the pane itself when it has none.
Window* firstTabStopIn(Window& pane)
{
    for (const Hwnd h : pane.children()) {
        Window* w = ui().window(h);
        if (w == nullptr || (w->style() & WS_VISIBLE) == 0 || !w->isEnabled())
            continue;
        if ((w->style() & WS_TABSTOP) != 0)
            return w;
        if (Window* inner = firstTabStopIn(*w); inner != w)
            return inner;
    }
    return &pane;
}

} // namespace

void FrameWindow::focusPane(Window& pane)
{
    if (auto* child = dynamic_cast<MdiChild*>(&pane)) {
        child->activate();
        Window* view = child->view();
        ui().setFocus(view != nullptr ? view->hwnd() : child->hwnd());
        return;
    }
    const Hwnd target = firstTabStopIn(pane)->hwnd();
    if (Window* top = pane.topLevel(); top != nullptr && top->hwnd() != ui().activeWindow())
        ui().activate(top->hwnd()); // a floating panel
    ui().setFocus(target);
}

bool FrameWindow::paneKey(const Msg& msg)
{
    if (msg.message != WM_KEYDOWN || msg.wParam != kKeyF6 || ui().getKeyState(VK_CONTROL) < 0 ||
        ui().getKeyState(VK_MENU) < 0)
        return false;
    std::vector<Window*> panes = m_dockSite != nullptr ? m_dockSite->panes() : std::vector<Window*>{};
    // Then the active child window (an event map, a 3D view); Ctrl+F6 goes round the children. With every child a
    // pane, each F6 from one brought the next to the front, which then came first again: F6 went round the children
    // and never back to the panels.
    if (MdiClient* client = mdiClient(); client != nullptr && client->activeChild() != nullptr)
        panes.push_back(client->activeChild());
    std::erase_if(panes, [](const Window* w) { return w == nullptr || !w->isVisible() || !w->isEnabled(); });
    if (panes.empty())
        return true;
    const Window* focus = ui().window(ui().focus());
    const auto at = std::find_if(panes.begin(), panes.end(), [focus](const Window* pane) {
        return focus != nullptr && (focus == pane || focus->isDescendantOf(pane));
    });
    const bool back = ui().getKeyState(VK_SHIFT) < 0;
    const size_t n = panes.size();
    size_t next = back ? n - 1 : 0;
    if (at != panes.end())
        next = (static_cast<size_t>(at - panes.begin()) + (back ? n - 1 : 1)) % n;
    // The keys go to the pane now: a bar left selected would take them back, lit over a pane that shows the focus.
    setMenuBarHot(-1, false);
    focusPane(*panes[next]);
    return true;
}

bool FrameWindow::translateAccelerator(const Msg& msg)
{
    if (paneKey(msg))
        return true;
    // F10 in a window the frame owns, and Alt+a title's letter in a floating panel of the frame's (one without a
    // caption of its own), select the frame's bar or open its menu, the frame taking the keyboard so that the bar's
    // keys reach it: where no window manager runs, nothing else leads from an editor to the menus. An editor with its
    // own caption keeps its Alt chords.
    Window* from = ui().window(msg.hwnd);
    const auto vk = static_cast<uint8_t>(msg.wParam);
    const bool panel = from != nullptr && (from->topLevel()->style() & WS_CAPTION) != WS_CAPTION;
    const bool barKey = vk == VK_F10 || (panel && ui().getKeyState(VK_MENU) < 0 && titleOfMnemonic(vk) >= 0);
    if (msg.message == WM_KEYDOWN && barKey && from != nullptr && from != this && !from->isDescendantOf(this) &&
        !m_menu.isNull()) {
        ui().activate(hwnd());
        return menuBarKey(msg);
    }
    uint16_t command = 0;
    if (msg.message != WM_KEYDOWN || m_barSelected ||
        !matchAccelerator(m_accelerators, static_cast<uint8_t>(msg.wParam), command))
        return false;
    m_altAlone = false;
    send(WM_COMMAND, makeWParam(command, 1), 0);
    return true;
}

bool FrameWindow::preTranslateMessage(const Msg& msg)
{
    // Ctrl+F4 closes the active child window, Ctrl+Tab and Ctrl+F6 bring the one at the back forward, whole; with
    // Shift the active one goes to the back and the one below it comes forward, so that each undoes the other and
    // both go round every child.
    MdiClient* client = mdiClient();
    MdiChild* active = client != nullptr ? client->activeChild() : nullptr;
    if (msg.message == WM_KEYDOWN && active != nullptr && ui().getKeyState(VK_CONTROL) < 0 &&
        ui().getKeyState(VK_MENU) >= 0) {
        if (msg.wParam == VK_F4) {
            active->post(WM_CLOSE);
            return true;
        }
        if (msg.wParam == VK_TAB || msg.wParam == kKeyF6) {
            const std::vector<MdiChild*> children = client->childFrames(); // bottom to top
            const bool back = ui().getKeyState(VK_SHIFT) < 0;
            if (back && children.size() > 2)
                for (MdiChild* other : children) // each raised in its order leaves the active one at the back
                    if (other != active)
                        other->setPos(HWND_TOP, {}, SWP_NOMOVE | SWP_NOSIZE);
            (children.size() > 1 ? (back ? children[children.size() - 2] : children.front()) : active)->activateWhole();
            return true;
        }
    }
    return translateAccelerator(msg) || menuBarKey(msg);
}

LResult FrameWindow::handle(const Msg& msg)
{
    switch (msg.message) {
    case WM_SIZE:
        recalcLayout();
        return 0;
    case WM_COMMAND:
        if (msg.lParam == 0) {
            routeCommand(loWord(msg.wParam), hiWord(msg.wParam));
            return 0;
        }
        return Window::handle(msg);
    case kMsgNonClientClick:
        for (int32_t i = 0; i < m_menu.itemCount(); ++i)
            if (menuItemRect(i).contains({static_cast<int32_t>(msg.wParam), static_cast<int32_t>(msg.lParam)}))
                return openMenu(i) ? 1 : 0;
        setMenuBarHot(-1, false);
        return 0;
    case kMsgMenuBarHitTest: {
        const int32_t title = menuBarTitleAt({static_cast<int32_t>(msg.wParam), static_cast<int32_t>(msg.lParam)});
        return title >= 0 && title != m_barHot ? title + 1 : 0;
    }
    case kMsgMouseActivate:
        m_altAlone = false;       // Alt held for a click is no press of Alt alone
        setMenuBarHot(-1, false); // a click elsewhere leaves a bar selected from the keyboard
        return 0;
    case WM_ACTIVATE:
        // The keys go to another window: a bar left selected would take them back once this one is active again,
        // lit over a list that shows the focus, and a Down meant for the list opened a menu.
        if (loWord(msg.wParam) == WA_INACTIVE && m_barSelected)
            setMenuBarHot(-1, false);
        return Window::handle(msg);
    default:
        return Window::handle(msg);
    }
}

// ---- MDI child

bool MdiChild::createChild(FrameWindow& frame, std::string_view title, const Rect& rect)
{
    MdiClient* client = frame.mdiClient();
    if (client == nullptr)
        return false;
    if (!create({"mdichild", std::string(title), WS_CHILD | WS_CAPTION | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VISIBLE,
                 0, rect, client->hwnd(), 0}))
        return false;
    keepInClient();
    activate();
    return true;
}

Window* MdiChild::view() const
{
    return ui().window(m_view);
}

void MdiChild::setView(Window* view)
{
    m_view = view != nullptr ? view->hwnd() : kNoWindow;
    if (view != nullptr)
        view->setPos(HWND_TOP, clientRect(), SWP_NOZORDER);
}

Rect MdiChild::captionButtonRect(CaptionButton button) const
{
    const Rect insets = clientInsets();
    const int32_t edge = insets.l;
    const int32_t height = insets.t - edge - 4;
    const int32_t width = height + 2; // as wide as high once the raised edge is drawn
    const int32_t right = static_cast<int32_t>(windowRect().width()) - edge - 2;
    const int32_t x = button == kCloseButton ? right - width : right - width * (3 - button) - 2;
    return Rect::fromXywh(x, edge + 1, width, height);
}

void MdiChild::maximize()
{
    if (m_state == State::kNormal)
        m_restore = windowRect();
    m_state = State::kMaximized;
    fitToClient();
    activate();
}

void MdiChild::minimize()
{
    if (m_state == State::kNormal)
        m_restore = windowRect();
    m_minimizedSlot = isMinimized() ? m_minimizedSlot : freeMinimizedSlot();
    m_state = State::kMinimized;
    fitToClient();
    activateAnotherThanMinimized();
}

void MdiChild::restore()
{
    if (m_state == State::kNormal)
        return;
    m_state = State::kNormal;
    setPos(HWND_TOP, withinClient(m_restore), SWP_NOZORDER);
    invalidateFrame();
}

bool MdiChild::pressFrame(Point p)
{
    const uint32_t now = clock().nowMs();
    for (const CaptionButton button : {kMinimizeButton, kMaximizeButton, kCloseButton}) {
        if (!captionButtonRect(button).contains(p))
            continue;
        if (button == kCloseButton)
            post(WM_CLOSE);
        else if (button == kMinimizeButton && !isMinimized())
            minimize();
        else if (button == kMaximizeButton && !isMaximized())
            maximize();
        else
            restore();
        return true;
    }
    const Rect insets = clientInsets();
    const auto width = static_cast<int32_t>(windowRect().width());
    const auto height = static_cast<int32_t>(windowRect().height());
    const int32_t edge = insets.l;
    uint32_t edges = 0;
    if (m_state == State::kNormal) {
        const bool left = p.x < edge, right = p.x >= width - edge, top = p.y < edge, bottom = p.y >= height - edge;
        const bool across = top || bottom, along = left || right;
        edges = (left || (across && p.x < kCornerGrip) ? 1u : 0u) |
                (right || (across && p.x >= width - kCornerGrip) ? 4u : 0u) |
                (top || (along && p.y < kCornerGrip) ? 2u : 0u) |
                (bottom || (along && p.y >= height - kCornerGrip) ? 8u : 0u);
    }
    const bool onCaption = edges == 0 && p.y < insets.t;
    if (onCaption && m_captionPressed && now - m_lastCaptionPressMs <= kDoubleClickTimeMs) {
        m_captionPressed = false;
        if (m_state != State::kNormal)
            restore();
        else
            maximize();
        return true;
    }
    m_captionPressed = onCaption;
    m_lastCaptionPressMs = now;
    if (edges == 0 && (!onCaption || m_state == State::kMaximized))
        return false;
    m_track = edges != 0 ? Track::kSize : Track::kMove;
    m_sizeEdges = edges;
    m_trackFrom = ui().messagePos();
    m_trackRect = windowRect();
    ui().setCapture(hwnd());
    return true;
}

bool MdiChild::isActive() const
{
    const auto* client = dynamic_cast<const MdiClient*>(parent());
    return client != nullptr && client->m_active == hwnd();
}

void MdiChild::activate()
{
    if (auto* client = dynamic_cast<MdiClient*>(parent()))
        client->activate(this);
}

bool MdiChild::preTranslateMessage(const Msg& msg)
{
    if (msg.message != WM_KEYDOWN || m_accelerators.empty())
        return false;
    uint16_t command = 0;
    if (!matchAccelerator(m_accelerators, static_cast<uint8_t>(msg.wParam), command))
        return false;
    if (Window* frame = topLevel())
        frame->send(WM_COMMAND, makeWParam(command, 1), 0);
    return true;
}

LResult MdiChild::handle(const Msg& msg)
{
    switch (msg.message) {
    case WM_SIZE:
        if (Window* v = view())
            v->setPos(HWND_TOP, clientRect(), SWP_NOZORDER);
        return 0;
    case WM_SETFOCUS:
        if (Window* v = view())
            ui().setFocus(v->hwnd());
        return 0;
    case kMsgMouseActivate:
        activate();
        return 0;
    case kMsgNonClientClick:
        return pressFrame({static_cast<int32_t>(msg.wParam), static_cast<int32_t>(msg.lParam)}) ? 1 : 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
        if (m_track == Track::kNone || ui().capture() != hwnd())
            return Window::handle(msg);
        track(ui().messagePos());
        if (msg.message == WM_LBUTTONUP)
            endTrack();
        return 0;
    case WM_CAPTURECHANGED:
        if (m_track != Track::kNone && static_cast<Hwnd>(msg.lParam) != hwnd())
            endTrack();
        return 0;
    case WM_NCACTIVATE:
        invalidate(true);
        return Window::defaultHandle(msg);
    case WM_DESTROY:
        if (auto* client = dynamic_cast<MdiClient*>(parent()); client != nullptr && client->m_active == hwnd()) {
            client->m_active = kNoWindow;
            const auto others = client->childFrames();
            for (MdiChild* other : others)
                if (other != this) {
                    client->activate(other);
                    break;
                }
        }
        return 0;
    default:
        return Window::handle(msg);
    }
}

void MdiChild::paintNonClient(Dc& dc)
{
    const Rect insets = clientInsets();
    const Rect whole{0, 0, static_cast<int32_t>(windowRect().width()), static_cast<int32_t>(windowRect().height())};
    const bool active = isActive();
    dc.fillRect(whole, createSolidBrush(getSysColor(active ? COLOR_ACTIVEBORDER : COLOR_INACTIVEBORDER)));
    drawEdge(dc, whole, EdgeKind::kRaised);
    const Rect bar{insets.l, insets.l, whole.r - insets.r, insets.t - 1};
    dc.fillRect(bar, createSolidBrush(getSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION)));
    dc.setBkMode(TRANSPARENT);
    dc.setTextColor(getSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
    dc.textOut(bar.l + 4, bar.t + 3, text());
    drawCaptionButton(dc, captionButtonRect(kMinimizeButton), isMinimized() ? 2 : 0);
    drawCaptionButton(dc, captionButtonRect(kMaximizeButton), isMaximized() ? 2 : 1);
    drawCaptionButton(dc, captionButtonRect(kCloseButton), 3);
}

} // namespace pf
