#pragma once
// Cursors: a system cursor by its id (IDC_ARROW ...) or an icon with a hot spot (a drag cursor).
#include "platform/base/user_constants.h"
#include "platform/gfx/icon.h"

#include <cstdint>

namespace pf {

struct Cursor {
    uint32_t systemId = 0; // 0: no cursor, or the icon below
    IconRef icon;

    bool isNone() const { return systemId == 0 && icon == nullptr; }
    friend bool operator==(const Cursor& a, const Cursor& b) { return a.systemId == b.systemId && a.icon == b.icon; }
};

inline Cursor loadCursor(uint32_t systemId)
{
    return {systemId, nullptr};
}
inline Cursor cursorFromIcon(IconRef icon)
{
    return {0, std::move(icon)};
}

} // namespace pf
