// Ui: invalidation, the paint order and the visible regions that window device contexts draw within.
#include "platform/ui/core/ui.h"

#include "platform/ui/core/paint_dc.h"

namespace pf {

// ---- painting

void Ui::invalidate(Hwnd hwnd, const Rect* rect, bool erase)
{
    Window* w = window(hwnd);
    if (w == nullptr)
        return;
    const Rect client = w->clientRect();
    const Rect area = rect != nullptr ? rect->intersected(client) : client;
    if (area.isEmpty())
        return;
    // A control invalidated at each item a fill adds: once its whole client waits for paint, there is nothing to add.
    const std::vector<Rect>& waiting = w->m_update.rects();
    if (w->m_children.empty() && (w->m_erase || !erase) && waiting.size() == 1 && waiting[0].containsRect(area))
        return;
    invalidateTree(*w, Region(area), erase);
}

void Ui::invalidateTree(Window& w, const Region& clientRegion, bool erase)
{
    w.m_update.unite(clientRegion);
    w.m_erase = w.m_erase || erase;
    for (const Hwnd c : w.m_children) {
        Window* cw = window(c);
        if (cw == nullptr || (cw->m_style & WS_VISIBLE) == 0 || !clientRegion.intersects(cw->m_rect))
            continue;
        const Rect insets = cw->clientInsets();
        if (!insets.isEmpty() || insets.l != 0 || insets.t != 0 || insets.r != 0 || insets.b != 0)
            cw->m_ncDirty = true;
        Region inner = clientRegion;
        inner.offset(-(cw->m_rect.l + insets.l), -(cw->m_rect.t + insets.t));
        inner.intersect(cw->clientRect());
        if (!inner.isEmpty())
            invalidateTree(*cw, inner, erase);
    }
}

void Ui::update(Hwnd hwnd)
{
    assertUiThread();
    if (Window* w = window(hwnd))
        paintTree(*w);
}

void Ui::paintAll()
{
    const std::vector<Hwnd> tops = m_topLevels;
    for (auto it = tops.rbegin(); it != tops.rend(); ++it)
        if (Window* w = window(*it))
            paintTree(*w);
}

void Ui::paintTree(Window& w)
{
    if (!w.isVisible())
        return;
    const Hwnd h = w.m_hwnd;
    paintWindow(w);
    if (window(h) != &w)
        return;
    const std::vector<Hwnd> children = w.m_children;
    for (const Hwnd c : children)
        if (Window* cw = window(c))
            paintTree(*cw);
}

void Ui::paintWindow(Window& w)
{
    const Hwnd h = w.m_hwnd;
    const auto paintFrame = [&w] {
        if (!w.m_ncDirty)
            return;
        w.m_ncDirty = false;
        WindowDc dc(w, true);
        // The frame only: one repainted as its window is activated or deactivated must not wipe the client, nor
        // children of it that are not asked to paint.
        const Rect insets = w.clientInsets();
        Region frame(Rect{0, 0, static_cast<int32_t>(w.m_rect.width()), static_cast<int32_t>(w.m_rect.height())});
        frame.subtract(w.clientRect().offsetBy(insets.l, insets.t));
        dc.selectClipRgn(&frame);
        w.paintNonClient(dc);
    };
    paintFrame();
    if (w.m_update.isEmpty())
        return;
    const Region before = w.m_update;
    send(h, WM_PAINT);
    if (window(h) != &w)
        return;
    // A handler that never began a paint would be asked again forever; the region counts as painted.
    if (w.m_update == before)
        w.validate();
    // A window may hand its own scroll bars their state from its paint, after its frame was drawn.
    paintFrame();
}

Point Ui::surfaceOrigin(const Window& w, bool nonClient) const
{
    const Rect insets = w.clientInsets();
    Point at = nonClient ? Point{0, 0} : Point{insets.l, insets.t};
    if (const Window* p = w.parent()) {
        const Point parentOrigin = surfaceOrigin(*p, false);
        at = {at.x + parentOrigin.x + w.m_rect.l, at.y + parentOrigin.y + w.m_rect.t};
    }
    return at;
}

std::shared_ptr<Surface32> Ui::surfaceOf(const Window& w) const
{
    const Window* t = &w;
    while (const Window* p = t->parent())
        t = p;
    const auto it = m_surfaces.find(t->m_hwnd);
    return it == m_surfaces.end() ? nullptr : it->second;
}

Region Ui::visibleRegion(const Window& w, bool nonClient) const
{
    if (!w.isVisible())
        return {};
    const auto surface = surfaceOf(w);
    if (surface == nullptr)
        return {};
    const Point origin = surfaceOrigin(w, nonClient);
    const Rect own = nonClient ? Rect::fromXywh(origin.x, origin.y, static_cast<int32_t>(w.m_rect.width()),
                                                static_cast<int32_t>(w.m_rect.height()))
                               : w.clientRect().offsetBy(origin.x, origin.y);
    Region region(own.intersected(surface->bounds()));
    const auto windowRectInSurface = [this](const Window& x) {
        const Point o = surfaceOrigin(x, true);
        return Rect::fromXywh(o.x, o.y, static_cast<int32_t>(x.m_rect.width()),
                              static_cast<int32_t>(x.m_rect.height()));
    };
    for (const Window* node = &w; node->parent() != nullptr; node = node->parent()) {
        const Window* p = node->parent();
        const Point po = surfaceOrigin(*p, false);
        region.intersect(p->clientRect().offsetBy(po.x, po.y));
        if ((node->m_style & WS_CLIPSIBLINGS) == 0)
            continue;
        bool above = false;
        for (const Hwnd s : p->m_children) {
            const Window* sw = window(s);
            if (sw == node) {
                above = true;
                continue;
            }
            if (above && sw != nullptr && (sw->m_style & WS_VISIBLE) != 0)
                region.subtract(windowRectInSurface(*sw));
        }
    }
    if ((w.m_style & WS_CLIPCHILDREN) != 0) {
        for (const Hwnd c : w.m_children) {
            const Window* cw = window(c);
            if (cw != nullptr && (cw->m_style & WS_VISIBLE) != 0)
                region.subtract(windowRectInSurface(*cw));
        }
    }
    return region;
}

} // namespace pf
