#include "platform/gfx/memory_dc.h"

#include <utility>

namespace pf {

MemoryDc::MemoryDc() : Dc(nullptr, {}, std::nullopt, false), m_bitmap(DibSection::create(1, 1))
{
    if (m_bitmap != nullptr)
        setTarget(&m_bitmap->surface(), {}, std::nullopt);
}

DibSectionRef MemoryDc::select(DibSectionRef bitmap)
{
    if (bitmap == nullptr)
        return nullptr;
    DibSectionRef previous = std::exchange(m_bitmap, std::move(bitmap));
    setTarget(&m_bitmap->surface(), {}, std::nullopt);
    return previous;
}

} // namespace pf
