#pragma once
// Scroll-bar controls (SB_CTL; SBS_VERT stands it up). User actions send WM_HSCROLL or WM_VSCROLL to the parent,
// wParam = code + (pos << 16), lParam = the bar: arrows SB_LINEUP/DOWN, the track SB_PAGEUP/DOWN, a thumb drag
// SB_THUMBTRACK with the dragged position, then SB_THUMBPOSITION and SB_ENDSCROLL on release. The bar does not
// move itself: the parent calls setScrollPos.
#include "platform/ui/controls/control.h"

#include <optional>

namespace pf {

class ScrollBar : public Control {
public:
    int32_t setPosition(int32_t pos, bool redraw = true); // the previous position
    int32_t position() const { return m_info.nPos; }
    // Where the thumb was last dragged to, whole: SB_THUMBTRACK and SB_THUMBPOSITION carry it in 16 bits.
    int32_t trackPosition() const { return m_dragPos; }
    void setRange(int32_t minPos, int32_t maxPos, bool redraw = true);
    void setInfo(const ScrollInfo& info, bool redraw = true);
    const ScrollInfo& scrollInfo() const { return m_info; }
    bool isVertical() const;
    // Where a notification of this bar asks its owner to go: an arrow a line, the track a page (the bar's page, or
    // a tenth of its range), the thumb where it is dragged or dropped, the ends; within the range. None for
    // SB_ENDSCROLL, which moves nothing. Owners that honour only some codes leave the bar dead to the others.
    std::optional<int32_t> requestedPosition(int32_t code, int32_t trackPos, int32_t line = 1) const;
    Rect thumbRect() const;
    Rect arrowRect(bool up) const;

protected:
    LResult handle(const Msg& msg) override;

private:
    void notifyScroll(int32_t code, int32_t pos);
    int32_t posFromPoint(Point p) const;
    void paint();

    ScrollInfo m_info;
    bool m_dragging = false;
    int32_t m_dragPos = 0;
    int32_t m_grab = 0;
    bool m_tracking = false;
    int32_t m_heldArrow = 0;   // the arrow pressed: 1 up or left, 2 down or right; 0 none
    bool m_heldInside = false; // the pointer is still over it, so it shows pushed
};

} // namespace pf
