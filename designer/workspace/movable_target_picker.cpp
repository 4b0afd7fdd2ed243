#include "designer/workspace/movable_target_picker.h"

#include "designer/app/designer_app.h"
#include "designer/app/engine_interface.h"
#include "designer/workspace/workspace_messages.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

void CVTND_MovableTargetPicker::EnableDrop()
{
    if (m_receptor != 0 || !isWindow())
        return;
    CVTNDesignerApp* app = GetDesignerApp();
    CVTND_EngineInterface* engine = app == nullptr ? nullptr : app->GetEditorEngine();
    if (engine == nullptr)
        return;
    m_receptor = engine->AddControlReceptor(*this, kNodeContent);
    m_engine = m_receptor != 0 ? engine : nullptr;
}

void CVTND_MovableTargetPicker::DisableDrop()
{
    if (m_receptor == 0)
        return;
    // A handle goes back only to the engine that issued it, never to none after the workspace was torn down.
    const CVTNDesignerApp* app = GetDesignerApp();
    if (app != nullptr && app->GetEditorEngine() == m_engine)
        m_engine->RemoveControlReceptor(m_receptor);
    m_receptor = 0;
    m_engine = nullptr;
}

void CVTND_MovableTargetPicker::SetShownItem(pf::IconRef icon)
{
    m_icon = std::move(icon);
    invalidate(true);
    update();
}

pf::LResult CVTND_MovableTargetPicker::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case workspace_messages::kNodeDropped:
        return workspace_messages::SendToParent(*this, msg.message, msg.wParam, msg.lParam);
    case pf::WM_PAINT:
        Paint();
        return 0;
    case pf::WM_ERASEBKGND:
        return 1;
    case pf::WM_DESTROY:
        DisableDrop();
        return pf::Control::handle(msg);
    default:
        return pf::Control::handle(msg);
    }
}

void CVTND_MovableTargetPicker::Paint()
{
    pf::PaintDc dc(*this);
    const pf::Rect area = pf::drawEdge(dc, clientRect(), pf::EdgeKind::kSunken);
    dc.fillRect(area, pf::createSolidBrush(pf::rgb(255, 255, 255)));
    if (pf::ui().focus() == hwnd())
        dc.drawFocusRect(area.inflatedBy(-1, -1));
    if (m_icon == nullptr)
        return;
    dc.intersectClipRect(area);
    pf::drawIcon(dc,
                 {area.l + static_cast<int32_t>((area.width() - m_icon->width()) / 2),
                  area.t + static_cast<int32_t>((area.height() - m_icon->height()) / 2)},
                 *m_icon);
}
