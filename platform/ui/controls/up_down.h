#pragma once
// Spin buttons. With a buddy and UDS_SETBUDDYINT, setPos writes the buddy's text (its EN_CHANGE follows). A click
// reads the buddy's integer (text that is no integer keeps the position), sends UDN_DELTAPOS (non-zero cancels),
// clamps or wraps, writes the buddy ("%d"), sends WM_VSCROLL (WM_HSCROLL with UDS_HORZ) SB_THUMBPOSITION, and
// SB_ENDSCROLL on release.
#include "platform/ui/controls/control.h"

namespace pf {

struct NMUPDOWN {
    NMHDR hdr;
    int32_t iPos = 0;
    int32_t iDelta = 0;
};

class UpDown : public Control {
public:
    Hwnd setBuddy(Hwnd buddy); // the previous buddy; UDS_ALIGNRIGHT places the control at its right
    Hwnd getBuddy() const { return m_buddy; }
    void setRange32(int32_t lower, int32_t upper);
    std::pair<int32_t, int32_t> getRange32() const { return {m_lower, m_upper}; }
    int32_t setPos(int32_t pos); // the previous position
    int32_t getPos() const { return m_pos; }
    void step(int32_t delta);      // what a click on an arrow does (up: +1 as the range runs)
    Rect arrowRect(bool up) const; // client coordinates

protected:
    LResult handle(const Msg& msg) override;

private:
    void writeBuddy();
    void readBuddy();
    void paint();

    Hwnd m_buddy = kNoWindow;
    int32_t m_lower = 0;
    int32_t m_upper = 100;
    int32_t m_pos = 0;
    bool m_pressed = false;
    bool m_pressedUp = false;
};

} // namespace pf
