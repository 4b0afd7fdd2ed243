#pragma once
// CStoryBoardTime: the ruler above a story board's track. Its x 0 is the board's track origin; it labels every
// whole second and carries the handle with which the user drags the board's current time. While the handle is
// dragged an exclusive-or line on the ruler follows the mouse and the board moves its own line (and its preview);
// the handle itself moves at the repaint that ends the drag.
#include <cstdint>

#include "platform/gfx/gdi_objects.h"
#include "platform/ui/controls/static_control.h"
#include "platform/ui/core/cursor.h"

class CStoryBoard;

class CStoryBoardTime : public pf::StaticControl {
public:
    void Link(CStoryBoard* board); // the board it follows; it outlives the ruler's use of it
    CStoryBoard* Board() const { return m_board; }
    int32_t HandleX() const; // the current time's x on the ruler
    bool IsDragging() const { return m_drag; }

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Paint();
    void OnMouseMove(pf::Point p);
    void OnLeftDown();
    void OnLeftUp();
    void DrawLine(int32_t x);

    CStoryBoard* m_board = nullptr; // a sibling in the same view, destroyed after the ruler stops using it
    bool m_hover = false;
    bool m_drag = false;
    int32_t m_lineX = -1; // the exclusive-or line drawn last during a drag; -1: none
    pf::Cursor m_handleCursor;
    pf::Pen m_shadowPen;
    pf::Pen m_highlightPen;
};
