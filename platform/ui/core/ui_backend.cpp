// Ui: the display backend it reports to, the quit request that ends its loops, and when the next timer is due.
#include "platform/ui/core/ui.h"

#include "platform/base/user_constants.h"
#include "platform/time/clock.h"

#include <algorithm>
#include <cmath>

namespace pf {

namespace {

std::atomic<DisplayBackend*> g_presentation{nullptr};

bool hasClassName(const Window& w, const char* name)
{
    return w.className() == name;
}

TopLevelKind kindOf(const Window& w)
{
    if (hasClassName(w, "tooltip"))
        return TopLevelKind::kTooltip;
    if (hasClassName(w, "popupmenu") || hasClassName(w, "combolist"))
        return TopLevelKind::kPopupMenu;
    const bool popup = (w.style() & WS_POPUP) != 0;
    const bool caption = (w.style() & WS_CAPTION) == WS_CAPTION;
    return popup && !caption ? TopLevelKind::kBorderless : TopLevelKind::kFramed;
}

} // namespace

DisplayBackend& headlessBackend()
{
    static HeadlessBackend backend;
    return backend;
}

DisplayBackend* presentationBackend()
{
    return g_presentation.load(std::memory_order_acquire);
}

void Ui::setBackend(DisplayBackend* backend)
{
    assertUiThread();
    DisplayBackend* const next = backend != nullptr ? backend : &headlessBackend();
    m_backend.store(next);
    g_presentation.store(backend, std::memory_order_release);
    syncBackend();
}

void Ui::syncBackend()
{
    std::vector<TopLevelState> states;
    for (const Hwnd h : m_topLevels) {
        const Window* w = window(h);
        if (w == nullptr)
            continue;
        const auto it = m_surfaces.find(h);
        TopLevelState s;
        s.hwnd = h;
        s.windowRect = w->m_rect;
        const Point origin = w->clientToScreen({0, 0});
        const Rect client = w->clientRect();
        s.shownRect = client.offsetBy(origin.x, origin.y);
        s.shownRect.t -= w->m_extraInsets.t; // the menu bar: without it a live frame has no menus to click
        s.surface = it == m_surfaces.end() ? nullptr : it->second;
        if (Window* owner = window(w->m_owner))
            s.owner = topLevelOf(*owner)->m_hwnd;
        s.visible = (w->m_style & WS_VISIBLE) != 0;
        s.maximized = (w->m_style & WS_MAXIMIZE) != 0;
        s.enabled = w->isEnabled();
        s.kind = kindOf(*w);
        s.resizable = (w->m_style & WS_THICKFRAME) != 0;
        s.minWidth = w->m_minWidth;
        s.minHeight = w->m_minHeight;
        s.title = w->m_text;
        states.push_back(std::move(s));
    }
    m_backend.load()->syncTopLevels(states);
}

void Ui::setCursorPos(Point p)
{
    m_cursorPos = p;
    m_backend.load()->warpPointer(p);
}

void Ui::postQuit(int32_t exitCode)
{
    {
        const std::lock_guard lock(m_quitMutex);
        m_quitCode = exitCode;
    }
    m_backend.load()->wake();
}

std::optional<int32_t> Ui::quitCode() const
{
    const std::lock_guard lock(m_quitMutex);
    return m_quitCode;
}

void Ui::clearQuit()
{
    const std::lock_guard lock(m_quitMutex);
    m_quitCode.reset();
}

int32_t Ui::msUntilNextTimer() const
{
    double earliest = -1;
    for (const auto& [serial, t] : m_timers)
        if (t.clock == nullptr && (earliest < 0 || t.dueAtMs < earliest))
            earliest = t.dueAtMs;
    if (earliest < 0)
        return -1;
    const double wait = std::ceil(earliest - clock().nowMsExact());
    return static_cast<int32_t>(std::clamp(wait, 0.0, 2.0e9));
}

} // namespace pf
