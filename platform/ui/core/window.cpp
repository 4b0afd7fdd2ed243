#include "platform/ui/core/window.h"

#include "platform/base/assertion.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/frame_control.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/png_file.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

#include <algorithm>

namespace pf {

Window::~Window()
{
    if (m_hwnd == kNoWindow)
        return;
    PF_ASSERT(!m_destroying, "a window object is deleted while its window is being destroyed");
    if (hasUi() && !m_destroying)
        ui().destroyWindow(*this); // overrides are gone by now: the base class answers the messages
}

bool Window::create(const CreateParams& params)
{
    return ui().createWindowObject(*this, params);
}

bool Window::destroy()
{
    return m_hwnd != kNoWindow && ui().destroyWindow(*this);
}

void Window::setText(std::string_view text)
{
    const std::string copy(text);
    send(WM_SETTEXT, 0, reinterpret_cast<LParam>(copy.c_str()));
}

Window* Window::parent() const
{
    return m_parent == kNoWindow ? nullptr : ui().window(m_parent);
}

Window* Window::owner() const
{
    return m_owner == kNoWindow ? nullptr : ui().window(m_owner);
}

Window* Window::topLevel()
{
    Window* t = this;
    while (Window* p = t->parent())
        t = p;
    return t;
}

Window* Window::child(int32_t id) const
{
    for (const Hwnd c : m_children) {
        Window* w = ui().window(c);
        if (w != nullptr && w->m_id == id)
            return w;
    }
    return nullptr;
}

bool Window::isDescendantOf(const Window* ancestor) const
{
    for (const Window* p = parent(); p != nullptr; p = p->parent())
        if (p == ancestor)
            return true;
    return false;
}

Rect Window::clientInsets() const
{
    int32_t edge = 0;
    if ((m_style & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME)) != 0)
        edge = fixedSystemMetric(SM_CXBORDER);
    if ((m_style & (WS_DLGFRAME | WS_THICKFRAME)) != 0)
        edge += fixedSystemMetric(SM_CXDLGFRAME);
    Rect insets{edge, edge, edge, edge};
    if ((m_style & WS_CAPTION) == WS_CAPTION)
        insets.t += fixedSystemMetric(SM_CYCAPTION);
    if ((m_style & WS_VSCROLL) != 0)
        insets.r += fixedSystemMetric(SM_CXVSCROLL);
    if ((m_style & WS_HSCROLL) != 0)
        insets.b += fixedSystemMetric(SM_CXVSCROLL);
    const Rect& extra = m_extraInsets;
    return {insets.l + extra.l, insets.t + extra.t, insets.r + extra.r, insets.b + extra.b};
}

Rect Window::clientRect() const
{
    const Rect insets = clientInsets();
    const int64_t w = std::max<int64_t>(0, m_rect.width() - insets.l - insets.r);
    const int64_t h = std::max<int64_t>(0, m_rect.height() - insets.t - insets.b);
    return {0, 0, static_cast<int32_t>(w), static_cast<int32_t>(h)};
}

Point Window::clientToScreen(Point p) const
{
    const Rect insets = clientInsets();
    Point at{p.x + m_rect.l + insets.l, p.y + m_rect.t + insets.t};
    if (const Window* w = parent())
        return w->clientToScreen(at);
    return at;
}

Point Window::screenToClient(Point p) const
{
    const Point origin = clientToScreen({0, 0});
    return {p.x - origin.x, p.y - origin.y};
}

Rect Window::screenRect() const
{
    const Point origin = parent() != nullptr ? parent()->clientToScreen({m_rect.l, m_rect.t}) : m_rect.topLeft();
    return Rect::fromXywh(origin.x, origin.y, static_cast<int32_t>(m_rect.width()),
                          static_cast<int32_t>(m_rect.height()));
}

void Window::setExtraNonClientInsets(const Rect& insets)
{
    if (hasUi()) {
        const std::unique_lock lock(ui().treeLock());
        m_extraInsets = insets;
    } else {
        m_extraInsets = insets;
    }
    m_ncDirty = true;
}

bool Window::move(const Rect& rect, bool /*repaint*/)
{
    return setPos(HWND_TOP, rect, SWP_NOZORDER);
}

bool Window::setPos(Hwnd insertAfter, const Rect& rect, uint32_t flags)
{
    if (m_hwnd == kNoWindow)
        return false;
    const Hwnd self = m_hwnd;
    if ((flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE) && !ui().setWindowRect(*this, rect, flags))
        return false;
    if ((flags & SWP_NOZORDER) == 0 && insertAfter == HWND_TOP && ui().window(self) == this)
        ui().raise(*this);
    if ((flags & SWP_SHOWWINDOW) != 0 && ui().window(self) == this)
        ui().showWindow(*this, (flags & SWP_NOACTIVATE) != 0 ? SW_SHOWNOACTIVATE : SW_SHOW);
    if ((flags & SWP_HIDEWINDOW) != 0 && ui().window(self) == this)
        ui().hideWindow(*this);
    return ui().window(self) == this;
}

void Window::setMinimumSize(int32_t width, int32_t height)
{
    m_minWidth = std::max(width, 0);
    m_minHeight = std::max(height, 0);
    if (m_hwnd != kNoWindow &&
        (static_cast<int32_t>(m_rect.width()) < m_minWidth || static_cast<int32_t>(m_rect.height()) < m_minHeight))
        setPos(HWND_TOP, m_rect, SWP_NOZORDER | SWP_NOMOVE);
    else if (m_hwnd != kNoWindow && m_parent == kNoWindow)
        ui().syncScreen(); // the live window learns its new bound
}

bool Window::show(int32_t cmd)
{
    const bool wasVisible = (m_style & WS_VISIBLE) != 0;
    if (m_hwnd != kNoWindow)
        ui().showWindow(*this, cmd);
    return wasVisible;
}

bool Window::isVisible() const
{
    for (const Window* w = this; w != nullptr; w = w->parent())
        if ((w->m_style & WS_VISIBLE) == 0)
            return false;
    return m_hwnd != kNoWindow;
}

bool Window::enable(bool on)
{
    const bool wasDisabled = !isEnabled();
    if (m_hwnd == kNoWindow || wasDisabled != on)
        return wasDisabled;
    {
        const std::unique_lock lock(ui().treeLock());
        m_style = on ? (m_style & ~WS_DISABLED) : (m_style | WS_DISABLED);
    }
    send(WM_ENABLE, on ? 1 : 0, 0);
    invalidate(true);
    return wasDisabled;
}

void Window::invalidate(bool erase)
{
    ui().invalidate(m_hwnd, nullptr, erase);
}

void Window::invalidate(const Rect& rect, bool erase)
{
    ui().invalidate(m_hwnd, &rect, erase);
}

void Window::validate()
{
    m_update = Region();
    m_erase = false;
}

void Window::update()
{
    ui().update(m_hwnd);
}

bool Window::scrollWindow(int32_t dx, int32_t dy)
{
    if (m_hwnd == kNoWindow)
        return false;
    const Hwnd self = m_hwnd;
    const Rect client = clientRect();
    {
        // Pixels: the client area within what is visible, read whole before any is written.
        const auto surface = ui().surfaceOf(*this);
        const Region visible = ui().visibleRegion(*this, false);
        const Point origin = ui().surfaceOrigin(*this, false);
        if (surface != nullptr) {
            const std::lock_guard lock(surface->mutex());
            const Rect area = client.offsetBy(origin.x, origin.y).intersected(surface->bounds());
            std::vector<uint32_t> copy(static_cast<size_t>(area.width() * area.height()));
            for (int32_t y = area.t; y < area.b; ++y)
                std::copy_n(surface->row(y) + area.l, area.width(), copy.begin() + (y - area.t) * area.width());
            for (int32_t y = area.t; y < area.b; ++y) {
                for (int32_t x = area.l; x < area.r; ++x) {
                    const Point from{x - dx, y - dy};
                    if (area.contains(from) && visible.contains({x, y}) && visible.contains(from))
                        surface->setPixel(
                            x, y, copy[static_cast<size_t>((from.y - area.t) * area.width() + (from.x - area.l))]);
                }
            }
        }
    }
    m_update.offset(dx, dy);
    m_update.intersect(client);
    const std::vector<Hwnd> children = m_children;
    for (const Hwnd c : children)
        if (Window* cw = ui().window(c))
            cw->setPos(HWND_TOP, cw->m_rect.offsetBy(dx, dy), SWP_NOSIZE | SWP_NOZORDER);
    if (ui().window(self) != this)
        return false;
    Region exposed(client);
    exposed.subtract(client.offsetBy(dx, dy));
    for (const Rect& r : exposed.rects())
        invalidate(r, true);
    return true;
}

LResult Window::send(uint32_t message, WParam w, LParam l)
{
    return ui().send(m_hwnd, message, w, l);
}

void Window::post(uint32_t message, WParam w, LParam l)
{
    ui().post(m_hwnd, message, w, l);
}

uint32_t Window::setTimer(uint32_t id, uint32_t periodMs)
{
    return ui().setTimer(m_hwnd, id, periodMs);
}

bool Window::killTimer(uint32_t id)
{
    return ui().killTimer(m_hwnd, id);
}

int32_t Window::setScrollInfo(int32_t bar, const ScrollInfo& info, bool redraw)
{
    if (bar != SB_HORZ && bar != SB_VERT)
        return 0;
    ScrollInfo s = info;
    s.nMax = std::max(s.nMax, s.nMin);
    const int32_t top = s.nPage > 0 ? std::max(s.nMin, s.nMax - static_cast<int32_t>(s.nPage) + 1) : s.nMax;
    s.nPos = std::clamp(s.nPos, s.nMin, top);
    if (s == m_scroll[bar])
        return s.nPos;
    m_scroll[bar] = s;
    if (redraw) {
        m_ncDirty = true;
        invalidate(false);
    }
    return s.nPos;
}

int32_t scrollRequest(WParam wParam, int32_t pos, int32_t page)
{
    switch (loWord(wParam)) {
    case SB_LINEUP:
        return pos - 1;
    case SB_LINEDOWN:
        return pos + 1;
    case SB_PAGEUP:
        return pos - page;
    case SB_PAGEDOWN:
        return pos + page;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        return hiWord(wParam);
    default:
        return pos;
    }
}

int32_t scrollPosAtOffset(const ScrollInfo& info, int64_t offset, int64_t room)
{
    const int64_t travel = std::max<int64_t>(0, int64_t{info.nMax} - info.nMin + 1 - std::max<int64_t>(1, info.nPage));
    const int64_t along = std::clamp<int64_t>(offset, 0, std::max<int64_t>(1, room));
    return static_cast<int32_t>(info.nMin + along * travel / std::max<int64_t>(1, room));
}

ScrollInfo Window::getScrollInfo(int32_t bar) const
{
    return (bar == SB_HORZ || bar == SB_VERT) ? m_scroll[bar] : ScrollInfo{};
}

int32_t Window::setScrollPos(int32_t bar, int32_t pos, bool redraw)
{
    ScrollInfo info = getScrollInfo(bar);
    const int32_t previous = info.nPos;
    info.nPos = pos;
    setScrollInfo(bar, info, redraw);
    return previous;
}

void Window::setScrollRange(int32_t bar, int32_t minPos, int32_t maxPos, bool redraw)
{
    ScrollInfo info = getScrollInfo(bar);
    info.nMin = minPos;
    info.nMax = maxPos;
    setScrollInfo(bar, info, redraw);
}

bool Window::writePng(const std::string& path) const
{
    const auto surface = ui().surfaceOf(*this);
    if (surface == nullptr)
        return false;
    const Point o = ui().surfaceOrigin(*this, true);
    const Rect area =
        Rect::fromXywh(o.x, o.y, static_cast<int32_t>(m_rect.width()), static_cast<int32_t>(m_rect.height()))
            .intersected(surface->bounds());
    Surface32 copy(static_cast<int32_t>(area.width()), static_cast<int32_t>(area.height()));
    {
        const std::lock_guard lock(surface->mutex());
        for (int32_t y = area.t; y < area.b; ++y)
            std::copy_n(surface->row(y) + area.l, area.width(), copy.row(y - area.t));
    }
    std::string error;
    return writePngFile(path, copy, error);
}

LResult Window::handle(const Msg& msg)
{
    return defaultHandle(msg);
}

namespace {

// Three lines a notch (one for a finer wheel's part of one): to the window's own vertical bar, else to a vertical
// scroll-bar control of it, reported to the window as the control reports its own scrolling; otherwise the parent is
// offered the turn. True when something took it.
bool scrollByWheel(Window& w, const Msg& msg)
{
    const int32_t delta = static_cast<int16_t>(hiWord(msg.wParam));
    const int32_t lines = std::max(1, 3 * (delta < 0 ? -delta : delta) / WHEEL_DELTA);
    const int32_t code = delta > 0 ? SB_LINEUP : SB_LINEDOWN;
    Hwnd bar = kNoWindow;
    bool scrolls = false;
    if ((w.style() & WS_VSCROLL) != 0) {
        const ScrollInfo info = w.getScrollInfo(SB_VERT);
        scrolls = info.nMax > info.nMin;
    }
    for (const Hwnd h : w.children()) {
        const Window* c = scrolls ? nullptr : ui().window(h);
        if (c != nullptr && c->className() == "scrollbar" && (c->style() & SBS_VERT) != 0 && c->isVisible() &&
            c->isEnabled()) {
            bar = h;
            scrolls = true;
        }
    }
    if (!scrolls) {
        Window* parent = w.parent();
        return parent != nullptr && parent->send(WM_MOUSEWHEEL, msg.wParam, msg.lParam) != 0;
    }
    const Hwnd self = w.hwnd();
    for (int32_t i = 0; i < lines && ui().window(self) == &w; ++i)
        w.send(WM_VSCROLL, makeWParam(code, 0), static_cast<LParam>(bar));
    if (ui().window(self) == &w)
        w.send(WM_VSCROLL, makeWParam(SB_ENDSCROLL, 0), static_cast<LParam>(bar));
    return true;
}

} // namespace

LResult Window::defaultHandle(const Msg& msg)
{
    switch (msg.message) {
    case WM_NCACTIVATE:
        m_ncDirty = true; // the caption's colours follow the activation
        return 1;
    case WM_SETTEXT:
        m_text = msg.lParam != 0 ? reinterpret_cast<const char*>(msg.lParam) : "";
        if ((m_style & WS_CAPTION) == WS_CAPTION)
            m_ncDirty = true;
        invalidate(true);
        // A live screen's window manager draws a top-level window's caption: it learns the new title only here.
        if (m_parent == kNoWindow)
            ui().syncBackend();
        return 1;
    case WM_GETTEXT: {
        if (msg.wParam == 0 || msg.lParam == 0)
            return 0;
        const size_t n = std::min<size_t>(m_text.size(), msg.wParam - 1);
        char* out = reinterpret_cast<char*>(msg.lParam);
        std::copy_n(m_text.data(), n, out);
        out[n] = '\0';
        return static_cast<LResult>(n);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LResult>(m_text.size());
    case WM_SETCURSOR: {
        // The parent is asked first and wins with TRUE; then the class cursor, over the client area only.
        const Hwnd self = m_hwnd;
        if (Window* p = parent(); p != nullptr && p->send(WM_SETCURSOR, msg.wParam, msg.lParam) != 0)
            return 1;
        if (ui().window(self) != this)
            return 1;
        // Only the window under the mouse sets its class cursor; a parent asked about a child leaves it to the child.
        if (static_cast<Hwnd>(msg.wParam) == self && loWord(static_cast<uintptr_t>(msg.lParam)) == HTCLIENT &&
            m_class != nullptr && !m_class->cursor.isNone()) {
            ui().setCursor(m_class->cursor);
            return 1;
        }
        return 0;
    }
    case WM_PAINT: {
        PaintDc dc(*this);
        return 0;
    }
    case WM_ERASEBKGND: {
        Dc* dc = dcFromWParam(msg.wParam);
        if (dc == nullptr || m_class == nullptr || m_class->background < 0)
            return 0;
        dc->fillRect(clientRect(), createSolidBrush(getSysColor(m_class->background)));
        return 1;
    }
    case WM_CLOSE:
        destroy();
        return 0;
    case WM_MOUSEWHEEL:
        return scrollByWheel(*this, msg) ? 1 : 0;
    default:
        return 0;
    }
}

bool Window::reflect(const Msg& /*msg*/, LResult& /*outResult*/)
{
    return false;
}

bool Window::preTranslateMessage(const Msg& /*msg*/)
{
    return false;
}

namespace {

// A window's own scroll bar: the thumb moves between the two arrow buttons as the bar control's does.
ScrollBarLook ownScrollBar(const Rect& bar, bool vertical, const ScrollInfo& s, bool enabled)
{
    ScrollBarLook look{bar, vertical, {}, 0, enabled};
    const Rect first = scrollArrowRect(bar, vertical, true);
    const Rect second = scrollArrowRect(bar, vertical, false);
    const int32_t start = vertical ? first.b : first.r;
    const int32_t length = std::max(0, (vertical ? second.t : second.l) - start);
    const int64_t span = int64_t{s.nMax} - s.nMin + 1;
    const int32_t thumb = std::min(
        length,
        std::max(8, s.nPage > 0 ? static_cast<int32_t>(length * int64_t{s.nPage} / std::max<int64_t>(1, span)) : 16));
    const int32_t at = start + static_cast<int32_t>((length - thumb) * (int64_t{s.nPos} - s.nMin) /
                                                    std::max<int64_t>(1, span - std::max<int64_t>(1, s.nPage)));
    if (length >= 8)
        look.thumb = vertical ? Rect{bar.l, at, bar.r, at + thumb} : Rect{at, bar.t, at + thumb, bar.b};
    return look;
}

} // namespace

Rect Window::ownScrollBarRect(int32_t bar) const
{
    const uint32_t style = bar == SB_VERT ? WS_VSCROLL : (bar == SB_HORZ ? WS_HSCROLL : 0);
    if (style == 0 || (m_style & style) == 0)
        return {};
    const Rect insets = clientInsets();
    const Rect client = clientRect().offsetBy(insets.l, insets.t);
    const int32_t breadth = fixedSystemMetric(SM_CXVSCROLL);
    return bar == SB_VERT ? Rect{client.r, client.t, client.r + breadth, client.b}
                          : Rect{client.l, client.b, client.r, client.b + breadth};
}

Rect Window::ownScrollThumbRect(int32_t bar) const
{
    const Rect r = ownScrollBarRect(bar);
    return r.isEmpty() ? Rect{} : ownScrollBar(r, bar == SB_VERT, m_scroll[bar], isEnabled()).thumb;
}

void Window::paintNonClient(Dc& dc)
{
    const Rect insets = clientInsets();
    const Rect whole{0, 0, static_cast<int32_t>(m_rect.width()), static_cast<int32_t>(m_rect.height())};
    if (insets == Rect{})
        return;
    const bool active = ui().activeWindow() == m_hwnd;
    const bool framed = (m_style & (WS_DLGFRAME | WS_THICKFRAME)) != 0;
    if (framed) {
        // A raised two-pixel edge around a band of the border colour.
        dc.fillRect(whole, createSolidBrush(getSysColor(active ? COLOR_ACTIVEBORDER : COLOR_INACTIVEBORDER)));
        drawEdge(dc, whole, EdgeKind::kRaised);
    } else if ((m_style & WS_BORDER) != 0) {
        // A plain border: one raised ring round a pop-up, one dark line round a child.
        const ColorRef line = getSysColor(COLOR_WINDOWFRAME);
        if (isChild())
            dc.draw3dRect(whole, line, line);
        else
            drawEdge(dc, whole, EdgeKind::kRaisedOuter);
    }
    if ((m_style & WS_CAPTION) == WS_CAPTION) {
        const int32_t edge = insets.l;
        const Rect bar{edge, edge, whole.r - edge, edge + fixedSystemMetric(SM_CYCAPTION) - 1};
        dc.fillRect(bar, createSolidBrush(getSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION)));
        dc.setBkMode(TRANSPARENT);
        dc.setTextColor(getSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
        dc.textOut(bar.l + 4, bar.t + 3, m_text);
    }
    const Rect vertical = ownScrollBarRect(SB_VERT);
    const Rect horizontal = ownScrollBarRect(SB_HORZ);
    if ((m_style & WS_VSCROLL) != 0)
        drawScrollBar(dc, ownScrollBar(vertical, true, m_scroll[SB_VERT], isEnabled()));
    if ((m_style & WS_HSCROLL) != 0)
        drawScrollBar(dc, ownScrollBar(horizontal, false, m_scroll[SB_HORZ], isEnabled()));
    if ((m_style & (WS_VSCROLL | WS_HSCROLL)) == (WS_VSCROLL | WS_HSCROLL))
        dc.fillRect({vertical.l, horizontal.t, vertical.r, horizontal.b}, createSolidBrush(getSysColor(COLOR_BTNFACE)));
}

} // namespace pf
