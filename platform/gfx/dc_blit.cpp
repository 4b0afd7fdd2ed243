// Dc: blits and device-independent bits.
#include "platform/gfx/dc.h"

#include "platform/base/result.h"
#include "platform/gfx/display_mode.h"
#include "platform/gfx/wide_int.h"

#include <algorithm>
#include <mutex>

namespace pf {

namespace {

// A destination rectangle (surface coordinates) and the source pixels it will receive, read before anything is
// written so that a blit within one surface sees the source as it was.
struct PendingRows {
    Rect area;
    std::vector<uint32_t> pixels; // area.width() per row
    std::vector<uint8_t> present; // 0 where the source bitmap has no pixel
};

uint32_t combine(uint32_t rop, uint8_t table, uint32_t pattern, uint32_t source, uint32_t dest)
{
    switch (rop) {
    case SRCCOPY:
        return source;
    case SRCINVERT:
        return source ^ dest;
    case SRCAND:
        return source & dest;
    case SRCPAINT:
        return source | dest;
    default:
        return applyRop3(table, pattern, source, dest);
    }
}

// Locks one surface, or two without deadlock when a blit reads another DC's surface.
class SurfacePairLock {
public:
    SurfacePairLock(Surface32& a, Surface32& b) : m_first(a.mutex(), std::defer_lock)
    {
        if (&a == &b) {
            m_first.lock();
            return;
        }
        m_second = std::unique_lock<std::mutex>(b.mutex(), std::defer_lock);
        std::lock(m_first, m_second);
    }

private:
    std::unique_lock<std::mutex> m_first;
    std::unique_lock<std::mutex> m_second;
};

} // namespace

bool Dc::patBlt(const Rect& r, uint32_t rop)
{
    if (rop3UsesSource(rop) || !admit(RasterUse::kBlit, rop))
        return false;
    const uint32_t pattern = m_state.brush.isHollow() ? 0u : pixelFromColorRef(m_state.brush.color);
    const std::lock_guard lock(m_surface->mutex());
    fillSurfaceRect(logicalToSurfaceRect(r.normalized()), pixelOpForRop3(rop, pattern));
    return true;
}

bool Dc::bitBlt(int32_t x, int32_t y, int32_t width, int32_t height, const Dc& source, int32_t xSrc, int32_t ySrc,
                uint32_t rop)
{
    const Rect destLogical = Rect::fromXywh(x, y, width, height);
    if (!rop3UsesSource(rop))
        return patBlt(destLogical, rop);
    if (!admit(RasterUse::kBlit, rop) || source.m_surface == nullptr)
        return false;
    const Rect dest = logicalToSurfaceRect(destLogical);
    const Point64 sourceOrigin = source.toSurface({xSrc, ySrc});
    return stretchCopy(dest, source, Rect{}, sourceOrigin, rop);
}

bool Dc::stretchBlt(const Rect& dest, const Dc& source, const Rect& src, uint32_t rop)
{
    if (dest.isEmpty() || src.isEmpty())
        return false;
    if (!rop3UsesSource(rop))
        return patBlt(dest, rop);
    if (!admit(RasterUse::kBlit, rop) || source.m_surface == nullptr)
        return false;
    return stretchCopy(logicalToSurfaceRect(dest), source, src, source.toSurface({src.l, src.t}), rop);
}

bool Dc::stretchCopy(const Rect& dest, const Dc& source, const Rect& srcLogical, Point64 srcOrigin, uint32_t rop)
{
    // srcLogical empty: a one-to-one copy; otherwise source pixel = origin + floor((2i + 1) * size / (2 * dest size)).
    const bool scaled = !srcLogical.isEmpty();
    const int64_t destWidth = dest.width();
    const int64_t destHeight = dest.height();
    auto sourceColumn = [&](int64_t i) {
        return srcOrigin.x + (scaled ? clampToInt64(Int128{2 * i + 1} * srcLogical.width() / (2 * destWidth)) : i);
    };
    auto sourceRow = [&](int64_t j) {
        return srcOrigin.y + (scaled ? clampToInt64(Int128{2 * j + 1} * srcLogical.height() / (2 * destHeight)) : j);
    };
    const uint32_t pattern = m_state.brush.isHollow() ? 0u : pixelFromColorRef(m_state.brush.color);
    const uint8_t table = rop3Table(rop);
    const Surface32& from = *source.m_surface;

    const SurfacePairLock lock(*m_surface, *source.m_surface);
    std::vector<PendingRows> pending;
    for (const Rect& clip : m_effectiveClip.rects()) {
        const Rect area = clip.intersected(dest);
        if (area.isEmpty())
            continue;
        PendingRows rows{area, {}, {}};
        rows.pixels.resize(static_cast<size_t>(area.width() * area.height()));
        rows.present.resize(rows.pixels.size());
        size_t k = 0;
        for (int32_t yy = area.t; yy < area.b; ++yy) {
            const int64_t sy = sourceRow(int64_t{yy} - dest.t);
            for (int32_t xx = area.l; xx < area.r; ++xx, ++k) {
                const int64_t sx = sourceColumn(int64_t{xx} - dest.l);
                if (sy < 0 || sy >= from.height() || sx < 0 || sx >= from.width())
                    continue; // outside the source bitmap: the destination keeps its pixel
                rows.pixels[k] = from.pixel(static_cast<int32_t>(sx), static_cast<int32_t>(sy));
                rows.present[k] = 1;
            }
        }
        pending.push_back(std::move(rows));
    }
    for (const PendingRows& rows : pending) {
        size_t k = 0;
        for (int32_t yy = rows.area.t; yy < rows.area.b; ++yy) {
            uint32_t* const row = m_surface->row(yy);
            for (int32_t xx = rows.area.l; xx < rows.area.r; ++xx, ++k)
                if (rows.present[k] != 0)
                    row[xx] = combine(rop, table, pattern, rows.pixels[k], row[xx]);
        }
    }
    return true;
}

int32_t Dc::setDIBitsToDevice(int32_t xDest, int32_t yDest, uint32_t width, uint32_t height, int32_t xSrc, int32_t ySrc,
                              uint32_t startScan, uint32_t lines, std::span<const uint8_t> bits, const BitmapInfo& info,
                              uint32_t colorUse)
{
    if (m_surface == nullptr) {
        setLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const std::optional<DibLayout> layout = dibLayoutOf(info.bmiHeader);
    if (colorUse != DIB_RGB_COLORS || !layout) {
        setLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (int64_t{startScan} >= layout->height)
        return 0;
    const int64_t supplied = std::min<int64_t>(lines, layout->height - startScan);
    if (bits.size() / layout->strideBytes < static_cast<uint64_t>(supplied)) {
        setLastError(ERROR_INVALID_PARAMETER); // the caller's buffer does not hold the rows it announced
        return 0;
    }
    if (!admit(RasterUse::kCopy, 0))
        return 0;
    const size_t tableSize = info.bmiHeader.biClrUsed == 0 ? 256 : std::min<size_t>(info.bmiHeader.biClrUsed, 256);
    const std::span<const RgbQuad> colors = info.bmiColors.first(std::min(tableSize, info.bmiColors.size()));

    const Point64 origin = toSurface({xDest, yDest});
    const Rect reach = m_effectiveClip.bounds();
    const int64_t top = std::max<int64_t>(origin.y, reach.t);
    const int64_t bottom = std::min<int64_t>(origin.y + height, reach.b);
    const int64_t firstColumnX = origin.x - xSrc; // surface x showing DIB column 0
    std::vector<uint32_t> converted;
    const std::lock_guard lock(m_surface->mutex());
    for (int64_t y = top; y < bottom; ++y) {
        const int64_t j = y - origin.y;
        const int64_t scan = layout->topDown ? int64_t{ySrc} + j : int64_t{ySrc} + (int64_t{height} - 1 - j);
        if (scan < startScan || scan >= startScan + supplied)
            continue;
        const uint8_t* const rowBytes = bits.data() + static_cast<size_t>(scan - startScan) * layout->strideBytes;
        const int64_t left = std::max({origin.x, firstColumnX, int64_t{reach.l}});
        const int64_t right = std::min({origin.x + int64_t{width}, firstColumnX + layout->width, int64_t{reach.r}});
        if (left >= right)
            continue;
        converted.resize(static_cast<size_t>(right - left));
        convertDibRow(*layout, rowBytes, left - firstColumnX, converted.size(), colors, converted.data());
        if (m_isDisplay)
            displayMode().emulateRow(converted.data(), converted.size());
        uint32_t* const row = m_surface->row(static_cast<int32_t>(y));
        for (const Rect& clip : m_effectiveClip.rects()) {
            if (clip.t > y || y >= clip.b)
                continue;
            for (int64_t x = std::max<int64_t>(left, clip.l); x < std::min<int64_t>(right, clip.r); ++x)
                row[x] = converted[static_cast<size_t>(x - left)];
        }
    }
    return static_cast<int32_t>(supplied);
}

} // namespace pf
