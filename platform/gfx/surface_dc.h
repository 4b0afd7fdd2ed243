#pragma once
// A device context on a window surface: device (0, 0) sits at `origin` in the surface and drawing stays inside
// `visible` (surface coordinates). The window tree supplies both for client, whole-window and paint contexts; the
// surface outlives the context because the context shares it. Pixels presented here pass through the display depth.
#include "platform/gfx/dc.h"

#include <memory>

namespace pf {

class SurfaceDc : public Dc {
public:
    SurfaceDc(std::shared_ptr<Surface32> surface, Point origin, const Region& visible);
    explicit SurfaceDc(std::shared_ptr<Surface32> surface); // the whole surface at (0, 0)

    const std::shared_ptr<Surface32>& target() const { return m_target; }

private:
    std::shared_ptr<Surface32> m_target;
};

} // namespace pf
