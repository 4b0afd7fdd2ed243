#pragma once
// Trackbars. The position is updated before each message. A thumb drag sends TB_THUMBTRACK for each move that
// changes the position; the release sends TB_THUMBPOSITION, TB_ENDTRACK, then WM_NOTIFY NM_RELEASEDCAPTURE. A click
// on the channel pages (TB_PAGEUP/DOWN), and its release sends TB_ENDTRACK then NM_RELEASEDCAPTURE. Keys send
// their TB_ codes and TB_ENDTRACK on release, without NM_RELEASEDCAPTURE. setPos clamps and never notifies.
// Messages go to the parent as WM_HSCROLL (WM_VSCROLL with TBS_VERT), lParam = the trackbar.
#include "platform/ui/controls/control.h"

namespace pf {

class Trackbar : public Control {
public:
    void setRange(int32_t minPos, int32_t maxPos, bool redraw = true);
    int32_t getRangeMin() const { return m_min; }
    int32_t getRangeMax() const { return m_max; }
    void setPos(int32_t pos);
    int32_t getPos() const { return m_pos; }
    void setTicFreq(int32_t freq);
    void setLineSize(int32_t size) { m_line = size; }
    void setPageSize(int32_t size) { m_page = size; }
    int32_t getLineSize() const { return m_line; }
    int32_t getPageSize() const { return m_page; }
    bool isVertical() const;
    Rect thumbRect() const;               // client coordinates
    Point pointForPos(int32_t pos) const; // the centre of the thumb at that position, client coordinates

protected:
    LResult handle(const Msg& msg) override;

private:
    int32_t posFromPoint(Point p) const;
    void scroll(int32_t code); // sends with the current position
    bool releaseDrag();
    void paint();
    int32_t channelLength() const;

    int32_t m_min = 0;
    int32_t m_max = 100;
    int32_t m_pos = 0;
    int32_t m_line = 1;
    int32_t m_page = 20;
    int32_t m_ticFreq = 1;
    enum class Drag { kNone, kThumb, kChannel } m_drag = Drag::kNone;
    int32_t m_grabOffset = 0;
};

} // namespace pf
