#pragma once
// Pens, brushes and the stock objects. Pens and brushes are small immutable values: selecting copies them, so
// deleting or replacing an object while a device context still uses it is harmless. Fonts are shared immutable
// values (text/font.h) because resolving one costs a font lookup.
#include "platform/base/color.h"
#include "platform/base/gdi_constants.h"

#include <memory>
#include <variant>

namespace pf {

class Font;
using FontRef = std::shared_ptr<const Font>;

struct Pen {
    int32_t style = PS_SOLID; // PS_SOLID, PS_DASH, PS_DOT or PS_NULL
    int32_t width = 1;        // 0 draws as 1
    ColorRef color = 0;
    friend bool operator==(const Pen&, const Pen&) = default;
};

struct Brush {
    int32_t style = BS_SOLID; // BS_SOLID or BS_NULL (hollow)
    ColorRef color = 0;
    bool isHollow() const { return style == BS_NULL; }
    friend bool operator==(const Brush&, const Brush&) = default;
};

inline Pen createPen(int32_t style, int32_t width, ColorRef color)
{
    return {style, width, color};
}
inline Brush createSolidBrush(ColorRef color)
{
    return {BS_SOLID, color};
}

// What getStockObject answers and selectObject takes: one of the three kinds, or nothing for an unknown index.
using GdiObject = std::variant<std::monostate, Pen, Brush, FontRef>;

GdiObject getStockObject(int32_t index); // WHITE_BRUSH .. NULL_PEN, DEFAULT_GUI_FONT
ColorRef getSysColor(int32_t index);     // the classic grey scheme; 0 for unknown indices

} // namespace pf
