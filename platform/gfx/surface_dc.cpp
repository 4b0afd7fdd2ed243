#include "platform/gfx/surface_dc.h"

namespace pf {

SurfaceDc::SurfaceDc(std::shared_ptr<Surface32> surface, Point origin, const Region& visible)
    : Dc(surface.get(), origin, visible, true), m_target(std::move(surface))
{
}

SurfaceDc::SurfaceDc(std::shared_ptr<Surface32> surface)
    : Dc(surface.get(), {}, std::nullopt, true), m_target(std::move(surface))
{
}

} // namespace pf
