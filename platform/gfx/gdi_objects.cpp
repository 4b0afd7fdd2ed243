#include "platform/gfx/gdi_objects.h"

#include "platform/gfx/text/font.h"

#include <array>

namespace pf {

GdiObject getStockObject(int32_t index)
{
    switch (index) {
    case WHITE_BRUSH:
        return createSolidBrush(rgb(255, 255, 255));
    case BLACK_BRUSH:
        return createSolidBrush(rgb(0, 0, 0));
    case NULL_BRUSH:
        return Brush{BS_NULL, 0};
    case WHITE_PEN:
        return createPen(PS_SOLID, 1, rgb(255, 255, 255));
    case BLACK_PEN:
        return createPen(PS_SOLID, 1, rgb(0, 0, 0));
    case NULL_PEN:
        return createPen(PS_NULL, 1, 0);
    case DEFAULT_GUI_FONT:
        return defaultGuiFont();
    default:
        return std::monostate{};
    }
}

ColorRef getSysColor(int32_t index)
{
    static constexpr std::array<ColorRef, 25> kColors = {
        rgb(192, 192, 192), // COLOR_SCROLLBAR
        rgb(0, 128, 128),   // COLOR_BACKGROUND: the desktop
        rgb(0, 0, 128),     // COLOR_ACTIVECAPTION
        rgb(128, 128, 128), // COLOR_INACTIVECAPTION
        rgb(192, 192, 192), // COLOR_MENU
        rgb(255, 255, 255), // COLOR_WINDOW
        rgb(0, 0, 0),       // COLOR_WINDOWFRAME
        rgb(0, 0, 0),       // COLOR_MENUTEXT
        rgb(0, 0, 0),       // COLOR_WINDOWTEXT
        rgb(255, 255, 255), // COLOR_CAPTIONTEXT
        rgb(192, 192, 192), // COLOR_ACTIVEBORDER
        rgb(192, 192, 192), // COLOR_INACTIVEBORDER
        rgb(128, 128, 128), // COLOR_APPWORKSPACE
        rgb(0, 0, 128),     // COLOR_HIGHLIGHT
        rgb(255, 255, 255), // COLOR_HIGHLIGHTTEXT
        rgb(192, 192, 192), // COLOR_BTNFACE
        rgb(128, 128, 128), // COLOR_BTNSHADOW
        rgb(128, 128, 128), // COLOR_GRAYTEXT
        rgb(0, 0, 0),       // COLOR_BTNTEXT
        rgb(192, 192, 192), // COLOR_INACTIVECAPTIONTEXT
        rgb(255, 255, 255), // COLOR_BTNHIGHLIGHT
        rgb(0, 0, 0),       // COLOR_3DDKSHADOW
        rgb(223, 223, 223), // COLOR_3DLIGHT
        rgb(0, 0, 0),       // COLOR_INFOTEXT
        rgb(255, 255, 225), // COLOR_INFOBK
    };
    if (index < 0 || index >= static_cast<int32_t>(kColors.size()))
        return 0;
    return kColors[static_cast<size_t>(index)];
}

} // namespace pf
