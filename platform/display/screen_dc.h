#pragma once
// The "DISPLAY" device context: screen coordinates, drawing into the screen's exclusive-or overlay. It takes only
// self-inverse operations -- R2_XORPEN, R2_NOT (exclusive-or with white), PATINVERT, DSTINVERT and focus
// rectangles -- because an overlay pixel means "invert the shown colour by this"; anything else fails PF_ASSERT
// and draws nothing.
#include "platform/gfx/dc.h"

#include <memory>

namespace pf {

class Screen;

class ScreenDc : public Dc {
public:
    ScreenDc(); // on the process-wide screen
    explicit ScreenDc(const Screen& screen);
    ~ScreenDc() override;
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;

protected:
    bool permits(RasterUse use, uint32_t code) const override;

private:
    const Screen& m_screen;
    std::shared_ptr<Surface32> m_overlay; // shared with the screen: a resize does not pull it from under us
};

} // namespace pf
