#pragma once
// A device context on a bitmap in memory, compatible with the display (same capabilities, 96 DPI). A fresh one
// holds a 1 x 1 bitmap until a DIB section is selected; the selected section stays alive while it is selected.
#include "platform/gfx/dc.h"

namespace pf {

class MemoryDc : public Dc {
public:
    MemoryDc();

    DibSectionRef select(DibSectionRef bitmap); // returns the previous one; null is ignored and answers null
    const DibSectionRef& bitmap() const { return m_bitmap; }

private:
    DibSectionRef m_bitmap;
};

} // namespace pf
