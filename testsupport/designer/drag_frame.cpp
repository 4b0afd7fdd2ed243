#include "testsupport/designer/drag_frame.h"

#include "designer/app/designer_app.h"
#include "designer/app/engine_interface.h"
#include "designer/editing/editor_engine.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/ui.h"

namespace designertest {
namespace {

CVTND_EngineInterface* Engine()
{
    CVTNDesignerApp* app = GetDesignerApp();
    return app != nullptr ? app->GetEditorEngine() : nullptr;
}

} // namespace

DragFrame::DragFrame(const pf::Rect& screenRect)
{
    pf::CreateParams params;
    params.text = "Vortan";
    params.style = pf::WS_POPUP | pf::WS_VISIBLE;
    params.rect = screenRect;
    create(params);
    if (CVTNDesignerApp* app = GetDesignerApp())
        app->SetMainFrame(this);
}

DragFrame::~DragFrame()
{
    CVTNDesignerApp* app = GetDesignerApp();
    if (app != nullptr && app->GetMainFrame() == this)
        app->SetMainFrame(nullptr);
}

pf::LResult DragFrame::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case kMsgBeginEditorDrag:
        m_dragging = true;
        pf::ui().setCapture(hwnd());
        return 1;
    case pf::WM_MOUSEMOVE:
        if (m_dragging && Engine() != nullptr)
            Engine()->DragTo(clientToScreen(pf::pointFromLParam(msg.lParam)));
        return 0;
    case pf::WM_LBUTTONUP:
        if (!m_dragging)
            break;
        if (Engine() != nullptr)
            Engine()->Drop(clientToScreen(pf::pointFromLParam(msg.lParam)));
        m_dragging = false; // before the release, whose capture notice must not cancel a finished drag
        pf::ui().setCursor(pf::loadCursor(pf::IDC_ARROW));
        pf::ui().releaseCapture();
        return 0;
    case pf::WM_CAPTURECHANGED:
        if (m_dragging) {
            m_dragging = false;
            ++m_cancels;
            if (Engine() != nullptr)
                Engine()->CancelDrag();
        }
        return 0;
    default:
        break;
    }
    return Window::handle(msg);
}

} // namespace designertest
