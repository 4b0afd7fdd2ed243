#pragma once
// DragFrame: the main frame's side of an editor drag, for tests and tools while the designer's own main frame is
// not there: registered as the application's main frame, it takes the capture when the engine begins a drag,
// forwards moves and the left release in screen coordinates, and cancels the drag when the capture is taken away.
#include "platform/ui/core/window.h"

namespace designertest {

class DragFrame : public pf::Window {
public:
    explicit DragFrame(const pf::Rect& screenRect); // a visible top-level window, made the main frame
    ~DragFrame() override;                          // no longer the main frame

    bool IsDragging() const { return m_dragging; }
    int Cancels() const { return m_cancels; } // drags ended by a lost capture

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    bool m_dragging = false;
    int m_cancels = 0;
};

} // namespace designertest
