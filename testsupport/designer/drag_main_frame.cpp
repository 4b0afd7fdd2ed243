#include "testsupport/designer/drag_main_frame.h"

#include "designer/editing/editor_engine.h"
#include "designer/editing/map_object.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/ui.h"

namespace designertest {

pf::LResult DragMainFrame::handle(const pf::Msg& msg)
{
    CEditorEngine* engine = GetEditorEngine();
    switch (msg.message) {
    case kMsgBeginEditorDrag:
        m_dragging = true;
        pf::ui().setCapture(hwnd());
        return 1;
    case pf::WM_MOUSEMOVE:
        if (m_dragging && engine != nullptr)
            engine->DragTo(clientToScreen(pf::pointFromLParam(msg.lParam)));
        return 0;
    case pf::WM_LBUTTONUP:
        if (!m_dragging)
            break;
        m_dragging = false; // before the release, whose capture notice must not cancel a finished drag
        if (engine != nullptr)
            engine->Drop(clientToScreen(pf::pointFromLParam(msg.lParam)));
        pf::ui().releaseCapture();
        return 0;
    case pf::WM_CAPTURECHANGED:
        if (m_dragging && engine != nullptr)
            engine->CancelDrag();
        m_dragging = false;
        return 0;
    default:
        break;
    }
    return pf::FrameWindow::handle(msg);
}

} // namespace designertest
