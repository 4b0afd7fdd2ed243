#pragma once
// Progress bars ("msctls_progress32"): a sunken well that fills from the left in blocks of the highlight colour as
// the position goes from the range's minimum to its maximum. PBM_SETRANGE32 (wParam min, lParam max) answers the old
// range as MAKELONG(min, max) of its low 16 bits; PBM_SETPOS answers the old position. Positions are clamped to the
// range; a bar notifies nobody.
#include "platform/ui/controls/control.h"

namespace pf {

class ProgressBar : public Control {
public:
    void setRange(int32_t minPos, int32_t maxPos); // maxPos below minPos is taken as minPos
    int32_t getRangeMin() const { return m_min; }
    int32_t getRangeMax() const { return m_max; }
    int32_t setPos(int32_t pos); // answers the old position
    int32_t getPos() const { return m_pos; }
    // How many pixels of the well's inside the bar fills now (what the paint shows).
    int32_t filledWidth() const;

protected:
    LResult handle(const Msg& msg) override;

private:
    void paint();
    Rect inside() const;

    int32_t m_min = 0;
    int32_t m_max = 100;
    int32_t m_pos = 0;
};

} // namespace pf
