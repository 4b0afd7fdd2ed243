#include "platform/ui/frame/frame_window.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

namespace pf {

namespace {

constexpr int32_t kMenuItemPadding = 12;

int32_t menuItemWidth(const MenuItem& item)
{
    return static_cast<int32_t>(item.text.size()) * 6 + kMenuItemPadding;
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

bool FrameWindow::openMenu(int32_t position)
{
    const Menu popup = m_menu.subMenu(position);
    if (popup.isNull())
        return false;
    const Rect item = menuItemRect(position);
    popup.trackPopup(0, {windowRect().l + item.l, windowRect().t + item.b}, *this);
    return true;
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
        dc.setTextColor(getSysColor(COLOR_MENUTEXT));
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

bool FrameWindow::preTranslateMessage(const Msg& msg)
{
    if (msg.message != WM_KEYDOWN)
        return false;
    uint16_t command = 0;
    if (!matchAccelerator(m_accelerators, static_cast<uint8_t>(msg.wParam), command))
        return false;
    send(WM_COMMAND, makeWParam(command, 1), 0);
    return true;
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
        return 0;
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
}

} // namespace pf
