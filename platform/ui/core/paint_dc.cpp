#include "platform/ui/core/paint_dc.h"

#include "platform/base/user_constants.h"
#include "platform/ui/core/ui.h"

#include <mutex>
#include <shared_mutex>

namespace pf {

namespace {

// A DC needs a surface even when the window has none; an empty region keeps it from drawing.
std::shared_ptr<Surface32> emptySurface()
{
    static const auto surface = std::make_shared<Surface32>(0, 0);
    return surface;
}

} // namespace

WindowDc::Target WindowDc::targetOf(const Window* window, bool nonClient)
{
    if (window == nullptr)
        return {emptySurface(), {}, {}};
    auto surface = ui().surfaceOf(*window);
    if (surface == nullptr)
        return {emptySurface(), {}, {}};
    return {std::move(surface), ui().surfaceOrigin(*window, nonClient), ui().visibleRegion(*window, nonClient)};
}

WindowDc::WindowDc(Target target)
    : SurfaceDc(target.surface, target.origin, target.visible), m_drawable(target.visible.bounds())
{
}

WindowDc::~WindowDc()
{
    if (DisplayBackend* backend = presentationBackend(); backend != nullptr && !m_drawable.isEmpty())
        backend->surfaceChanged(target().get(), m_drawable);
}

WindowDc::Target WindowDc::targetOf(Hwnd hwnd)
{
    if (!hasUi())
        return {emptySurface(), {}, {}};
    // The handle is looked up under the lock: the user-interface thread may be destroying that very window.
    const std::shared_lock lock(ui().treeLock());
    return targetOf(ui().window(hwnd), false);
}

WindowDc::WindowDc(Window& window, bool nonClient) : WindowDc(lockedTargetOf(window, nonClient)) {}

WindowDc::WindowDc(Hwnd hwnd) : WindowDc(targetOf(hwnd)) {}

WindowDc::Target WindowDc::lockedTargetOf(const Window& window, bool nonClient)
{
    const std::shared_lock lock(ui().treeLock());
    return targetOf(&window, nonClient);
}

WindowDc::Target PaintDc::paintTargetOf(Window& window, Region& outPaint)
{
    Target t = lockedTargetOf(window, false);
    Region inSurface = outPaint;
    inSurface.offset(t.origin.x, t.origin.y);
    t.visible.intersect(inSurface);
    return t;
}

PaintDc::PaintDc(Window& window) : PaintDc(window, window.updateRegion()) {}

PaintDc::PaintDc(Window& window, Region paint) : WindowDc(paintTargetOf(window, paint)), m_paintRect(paint.bounds())
{
    const bool erase = window.needsErase();
    window.validate();
    if (erase) {
        m_erased = window.send(WM_ERASEBKGND, wParamFromDc(this), 0) != 0;
    }
}

} // namespace pf
