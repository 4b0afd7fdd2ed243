#pragma once
// DragMainFrame: the designer's main frame as far as an editor drag needs it, for tests and tools that open MDI
// windows (the event map's) without the designer's own frame: the capture on the engine's word, moves and the left
// release forwarded in screen coordinates, the drag cancelled when the capture is taken away.
#include "platform/ui/frame/frame_window.h"

namespace designertest {

class DragMainFrame : public pf::FrameWindow {
protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    bool m_dragging = false;
};

} // namespace designertest
