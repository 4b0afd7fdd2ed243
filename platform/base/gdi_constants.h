#pragma once
// Drawing numbers kept at the values of the platform the callers were written for: callers pass them by number and
// some are stored with their projects.
#include <cstdint>

namespace pf {

// Mix modes of pens and brushes (ROP2): for code c the result is truth table c - 1 over pen and destination bits.
constexpr int32_t R2_BLACK = 1;
constexpr int32_t R2_NOTMERGEPEN = 2;
constexpr int32_t R2_MASKNOTPEN = 3;
constexpr int32_t R2_NOTCOPYPEN = 4;
constexpr int32_t R2_MASKPENNOT = 5;
constexpr int32_t R2_NOT = 6;
constexpr int32_t R2_XORPEN = 7;
constexpr int32_t R2_NOTMASKPEN = 8;
constexpr int32_t R2_MASKPEN = 9;
constexpr int32_t R2_NOTXORPEN = 10;
constexpr int32_t R2_NOP = 11;
constexpr int32_t R2_MERGENOTPEN = 12;
constexpr int32_t R2_COPYPEN = 13;
constexpr int32_t R2_MERGEPENNOT = 14;
constexpr int32_t R2_MERGEPEN = 15;
constexpr int32_t R2_WHITE = 16;

// Raster operations of blits (ROP3): the high word's low byte is the truth table over pattern, source, destination.
constexpr uint32_t SRCCOPY = 0x00CC0020u;
constexpr uint32_t SRCPAINT = 0x00EE0086u;
constexpr uint32_t SRCAND = 0x008800C6u;
constexpr uint32_t SRCINVERT = 0x00660046u;
constexpr uint32_t PATCOPY = 0x00F00021u;
constexpr uint32_t PATINVERT = 0x005A0049u;
constexpr uint32_t DSTINVERT = 0x00550009u;
constexpr uint32_t BLACKNESS = 0x00000042u;
constexpr uint32_t WHITENESS = 0x00FF0062u;

// Pens and brushes
constexpr int32_t PS_SOLID = 0;
constexpr int32_t PS_DASH = 1;
constexpr int32_t PS_DOT = 2;
constexpr int32_t PS_NULL = 5;
constexpr int32_t BS_SOLID = 0;
constexpr int32_t BS_NULL = 1;
constexpr int32_t BS_HOLLOW = BS_NULL;

// Background modes, polygon fill modes, mapping mode
constexpr int32_t TRANSPARENT = 1;
constexpr int32_t OPAQUE = 2;
constexpr int32_t ALTERNATE = 1;
constexpr int32_t WINDING = 2;
constexpr int32_t MM_TEXT = 1;

// Text alignment: one horizontal and one vertical choice, or-ed
constexpr uint32_t TA_LEFT = 0;
constexpr uint32_t TA_RIGHT = 2;
constexpr uint32_t TA_CENTER = 6;
constexpr uint32_t TA_TOP = 0;
constexpr uint32_t TA_BOTTOM = 8;
constexpr uint32_t TA_BASELINE = 24;

// Fonts
constexpr int32_t FW_DONTCARE = 0;
constexpr int32_t FW_NORMAL = 400;
constexpr int32_t FW_BOLD = 700;
constexpr uint8_t ANSI_CHARSET = 0;
constexpr uint8_t OUT_TT_ONLY_PRECIS = 7;
constexpr uint8_t NONANTIALIASED_QUALITY = 3;
constexpr int32_t LF_FACESIZE = 32;
constexpr uint8_t TMPF_FIXED_PITCH = 1;
constexpr uint8_t TMPF_VECTOR = 2;
constexpr uint8_t TMPF_TRUETYPE = 4;

// Device-independent bitmaps
constexpr uint32_t DIB_RGB_COLORS = 0;
constexpr uint32_t DIB_PAL_COLORS = 1;
constexpr uint32_t BI_RGB = 0;

// Device capabilities: indices, then the raster capability bits
constexpr int32_t HORZRES = 8;
constexpr int32_t VERTRES = 10;
constexpr int32_t BITSPIXEL = 12;
constexpr int32_t PLANES = 14;
constexpr int32_t RASTERCAPS = 38;
constexpr int32_t LOGPIXELSX = 88;
constexpr int32_t LOGPIXELSY = 90;
constexpr int32_t SIZEPALETTE = 104;
constexpr int32_t RC_BITBLT = 0x1;
constexpr int32_t RC_BITMAP64 = 0x8;
constexpr int32_t RC_DI_BITMAP = 0x80;
constexpr int32_t RC_PALETTE = 0x100;
constexpr int32_t RC_DIBTODEV = 0x200;
constexpr int32_t RC_STRETCHBLT = 0x800;

// Palettes
constexpr uint16_t kLogPaletteVersion = 0x300;

// Stock objects
constexpr int32_t WHITE_BRUSH = 0;
constexpr int32_t BLACK_BRUSH = 4;
constexpr int32_t NULL_BRUSH = 5;
constexpr int32_t HOLLOW_BRUSH = NULL_BRUSH;
constexpr int32_t WHITE_PEN = 6;
constexpr int32_t BLACK_PEN = 7;
constexpr int32_t NULL_PEN = 8;
constexpr int32_t DEFAULT_GUI_FONT = 17;

// System colour indices
constexpr int32_t COLOR_SCROLLBAR = 0;
constexpr int32_t COLOR_BACKGROUND = 1;
constexpr int32_t COLOR_ACTIVECAPTION = 2;
constexpr int32_t COLOR_INACTIVECAPTION = 3;
constexpr int32_t COLOR_MENU = 4;
constexpr int32_t COLOR_WINDOW = 5;
constexpr int32_t COLOR_WINDOWFRAME = 6;
constexpr int32_t COLOR_MENUTEXT = 7;
constexpr int32_t COLOR_WINDOWTEXT = 8;
constexpr int32_t COLOR_CAPTIONTEXT = 9;
constexpr int32_t COLOR_ACTIVEBORDER = 10;
constexpr int32_t COLOR_INACTIVEBORDER = 11;
constexpr int32_t COLOR_APPWORKSPACE = 12;
constexpr int32_t COLOR_HIGHLIGHT = 13;
constexpr int32_t COLOR_HIGHLIGHTTEXT = 14;
constexpr int32_t COLOR_BTNFACE = 15;
constexpr int32_t COLOR_BTNSHADOW = 16;
constexpr int32_t COLOR_GRAYTEXT = 17;
constexpr int32_t COLOR_BTNTEXT = 18;
constexpr int32_t COLOR_INACTIVECAPTIONTEXT = 19;
constexpr int32_t COLOR_BTNHIGHLIGHT = 20;
constexpr int32_t COLOR_3DDKSHADOW = 21;
constexpr int32_t COLOR_3DLIGHT = 22;
constexpr int32_t COLOR_INFOTEXT = 23;
constexpr int32_t COLOR_INFOBK = 24;

// Image lists
constexpr uint32_t ILD_NORMAL = 0;
constexpr uint32_t ILD_TRANSPARENT = 1;
constexpr uint32_t ILD_BLEND50 = 4;
constexpr uint32_t ILC_MASK = 1;
constexpr uint32_t ILC_COLOR32 = 0x20;

} // namespace pf
