#pragma once
// Device contexts: drawing state plus a target surface. Sections: state and selection; clipping; lines and shapes;
// blits and device-independent bits; device capabilities and palettes; text. The kinds differ only in their target:
// MemoryDc draws into a selected DIB section, SurfaceDc into a window surface at an origin and within a visible
// region, the screen's DC into the screen's exclusive-or overlay.
//
// Coordinates: logical -> device by the viewport origin (MM_TEXT only), device -> surface by the DC's origin.
// Clip regions are kept in device coordinates. Nothing is ever written outside clip ∩ visible ∩ surface, whatever
// the coordinates; rasterisers solve for the visible part instead of stepping towards it, so huge coordinates cost
// nothing. Every drawing call holds its surface's lock; a DC itself belongs to one thread at a time.
#include "platform/base/color.h"
#include "platform/base/region.h"
#include "platform/gfx/dib.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/palette.h"
#include "platform/gfx/raster_op.h"
#include "platform/gfx/span_sink.h"
#include "platform/gfx/text/log_font.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pf {

// Region complexity answered by clipping calls.
constexpr int32_t kRegionError = 0;
constexpr int32_t NULLREGION = 1;
constexpr int32_t SIMPLEREGION = 2;
constexpr int32_t COMPLEXREGION = 3;
constexpr ColorRef CLR_INVALID = 0xFFFFFFFFu;

class Dc {
public:
    virtual ~Dc();
    Dc(const Dc&) = delete;
    Dc& operator=(const Dc&) = delete;

    bool isValid() const { return m_surface != nullptr; }

    // ---- state and selection (saveDc/restoreDc keep all of it, the clip region included)
    Pen selectPen(const Pen& pen); // returns the previous pen
    Brush selectBrush(const Brush& brush);
    FontRef selectFont(FontRef font);                // null selects the default GUI font
    GdiObject selectObject(const GdiObject& object); // the previous object of the same kind; monostate: nothing
    const Pen& pen() const { return m_state.pen; }
    const Brush& brush() const { return m_state.brush; }
    FontRef font() const;                  // the default GUI font until one is selected
    ColorRef setTextColor(ColorRef color); // each setter returns the previous value
    ColorRef textColor() const { return m_state.textColor; }
    ColorRef setBkColor(ColorRef color);
    ColorRef bkColor() const { return m_state.bkColor; }
    int32_t setBkMode(int32_t mode); // TRANSPARENT or OPAQUE; 0 and no change otherwise
    int32_t bkMode() const { return m_state.bkMode; }
    uint32_t setTextAlign(uint32_t align);
    uint32_t textAlign() const { return m_state.textAlign; }
    int32_t setROP2(int32_t rop2); // 1..16; 0 and no change otherwise
    int32_t rop2() const { return m_state.rop2; }
    int32_t setPolyFillMode(int32_t mode); // ALTERNATE or WINDING; 0 and no change otherwise
    int32_t polyFillMode() const { return m_state.polyFillMode; }
    Point moveTo(Point p); // returns the previous current position
    Point currentPosition() const { return m_state.currentPosition; }
    Point setViewportOrg(Point origin);
    Point viewportOrg() const { return m_state.viewportOrg; }
    int32_t saveDc();              // the new save depth, from 1
    bool restoreDc(int32_t level); // level > 0: that depth; < 0: relative (-1 = the last save)

    // ---- clipping
    int32_t intersectClipRect(const Rect& logical);
    int32_t selectClipRgn(const Region* device); // null removes the clip region; the region is copied
    Rect getClipBox() const;                     // logical bounds of what drawing can reach

    // ---- lines and shapes: pen and brush mixed with the destination by ROP2
    bool lineTo(Point p);                             // p itself is not drawn; p becomes the current position
    bool polyline(std::span<const Point> points);     // every joint once, the last point not drawn
    bool polygon(std::span<const Point> points);      // fill by the fill mode, then the closed outline
    bool rectangle(const Rect& r);                    // outline inside [l, r-1] x [t, b-1], brush inside it
    bool ellipse(const Rect& r);                      // inscribed in the half-open box
    bool fillRect(const Rect& r, const Brush& brush); // [l, r) x [t, b), ignores ROP2; hollow brushes draw nothing
    void draw3dRect(const Rect& r, ColorRef topLeft, ColorRef bottomRight);
    bool drawFocusRect(const Rect& r);          // dotted, inverted: drawing it again removes it
    ColorRef setPixel(Point p, ColorRef color); // the colour set, or CLR_INVALID outside the clip
    ColorRef getPixel(Point p) const;           // CLR_INVALID outside the clip

    // ---- blits (all four bytes of a pixel; the pattern is the selected brush) and device-independent bits
    bool patBlt(const Rect& r, uint32_t rop); // operations that read no source
    bool bitBlt(int32_t x, int32_t y, int32_t width, int32_t height, const Dc& source, int32_t xSrc, int32_t ySrc,
                uint32_t rop);
    bool stretchBlt(const Rect& dest, const Dc& source, const Rect& src, uint32_t rop); // nearest neighbour
    // Rows of a DIB to the device. `bits` holds `lines` stored rows starting at scan line `startScan` (scan 0 is the
    // first row in memory: the bottom row of a bottom-up DIB, the top row of a top-down one). The source rectangle
    // (xSrc, ySrc, width, height) is measured from the first scan line, so for a bottom-up DIB ySrc counts from
    // the bottom; destination row yDest + j shows the source row height - 1 - j above ySrc (bottom-up) or j below
    // it (top-down). Rows outside the supplied scan lines are left alone. On a display surface pixels pass through
    // the display depth. Returns the scan lines supplied that lie in the DIB, or 0 with lastError() set for a DC
    // without a surface (ERROR_INVALID_HANDLE), or a header, colour use or bit count it cannot take, or too few bits
    // for the lines (ERROR_INVALID_PARAMETER).
    int32_t setDIBitsToDevice(int32_t xDest, int32_t yDest, uint32_t width, uint32_t height, int32_t xSrc, int32_t ySrc,
                              uint32_t startScan, uint32_t lines, std::span<const uint8_t> bits, const BitmapInfo& info,
                              uint32_t colorUse);

    // ---- device capabilities and palettes
    int32_t getDeviceCaps(int32_t index) const; // the display's, for every kind of DC; 0 for unknown indices
    PaletteRef selectPalette(PaletteRef palette, bool forceBackground);
    uint32_t realizePalette(); // entries placed in the system palette (depth 8 only)

    // ---- text
    TextMetrics getTextMetrics() const;
    Size getTextExtent(std::string_view text) const; // sum of advances (no kerning) x tmHeight
    std::string getTextFace() const;                 // the face name as requested
    bool textOut(int32_t x, int32_t y, std::string_view text);

protected:
    // What a drawing call asks of its target; the screen's overlay takes exclusive-or operations only.
    enum class RasterUse { kMix, kBlit, kCopy, kFocusRect };

    Dc(Surface32* surface, Point origin, std::optional<Region> visible, bool isDisplay);
    // Retargets the DC; `visible` is in surface coordinates (nullopt: the whole surface); the clip region stays.
    void setTarget(Surface32* surface, Point origin, std::optional<Region> visible);
    virtual bool permits(RasterUse use, uint32_t code) const; // true for every use unless a kind restricts it

private:
    struct State {
        Pen pen;
        Brush brush{BS_SOLID, rgb(255, 255, 255)};
        mutable FontRef font; // resolved on first use: most device contexts never draw text
        ColorRef textColor = rgb(0, 0, 0);
        ColorRef bkColor = rgb(255, 255, 255);
        int32_t bkMode = OPAQUE;
        uint32_t textAlign = TA_LEFT | TA_TOP;
        int32_t rop2 = R2_COPYPEN;
        int32_t polyFillMode = ALTERNATE;
        Point currentPosition;
        Point viewportOrg;
        std::optional<Region> clip; // device coordinates
        PaletteRef palette;
        bool paletteInBackground = false;
    };

    bool admit(RasterUse use, uint32_t code) const;
    Point64 toSurface(Point logical) const;
    Rect logicalToSurfaceRect(const Rect& logical) const; // saturated to 32 bits
    void refreshEffectiveClip();
    RasterBounds clipBounds() const;
    std::optional<PixelOp> penOp() const;   // nullopt: the pen draws nothing (PS_NULL, R2_NOP)
    std::optional<PixelOp> brushOp() const; // nullopt: hollow brush or R2_NOP
    std::vector<Point64> toSurface(std::span<const Point> logical) const;
    void strokePath(std::span<const Point64> points, bool closed, const PixelOp& op); // caller holds the lock
    void strokeRectangleOutline(const Rect& box, const PixelOp& op);                  // box in surface coordinates
    void fillSurfaceRect(const Rect& surfaceRect, const PixelOp& op);                 // caller holds the lock
    bool stretchCopy(const Rect& dest, const Dc& source, const Rect& srcLogical, Point64 srcOrigin, uint32_t rop);

    Surface32* m_surface = nullptr;  // owned by the DC kind, which keeps it alive while it is selected
    Point m_origin;                  // surface position of device (0, 0)
    std::optional<Region> m_visible; // surface coordinates; nullopt: the whole surface
    bool m_isDisplay = false;        // pixels presented here pass through the display depth
    State m_state;
    std::vector<State> m_saved;
    Region m_effectiveClip; // surface coordinates: clip ∩ visible ∩ surface
};

} // namespace pf
