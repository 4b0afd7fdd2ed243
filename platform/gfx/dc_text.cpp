// Dc: text.
#include "platform/gfx/dc.h"

#include "platform/gfx/text/font.h"
#include "platform/gfx/text/utf8.h"

#include <algorithm>
#include <mutex>

namespace pf {

namespace {

struct PlacedText {
    std::vector<std::shared_ptr<const GlyphImage>> glyphs;
    int64_t width = 0;
};

PlacedText shapeText(const FontFace& face, std::string_view text, bool mono)
{
    PlacedText out;
    for (const char32_t codePoint : decodeUtf8(text)) {
        out.glyphs.push_back(face.glyph(codePoint, mono));
        out.width += out.glyphs.back()->advance;
    }
    return out;
}

// Coverage c mixes the text colour into the pixel: c = 0 leaves it exactly as it was, c = 255 is the text colour.
uint32_t blend(uint32_t dest, uint32_t color, uint32_t coverage)
{
    auto channel = [&](int shift) {
        const uint32_t d = (dest >> shift) & 0xFF;
        const uint32_t t = (color >> shift) & 0xFF;
        return ((t * coverage + d * (255 - coverage) + 127) / 255) << shift;
    };
    return channel(16) | channel(8) | channel(0);
}

} // namespace

TextMetrics Dc::getTextMetrics() const
{
    return font()->face().metrics();
}

Size Dc::getTextExtent(std::string_view text) const
{
    const FontRef selected = font();
    const PlacedText placed = shapeText(selected->face(), text, false);
    return {saturateToInt32(placed.width), selected->face().metrics().tmHeight};
}

std::string Dc::getTextFace() const
{
    const FontRef selected = font();
    const std::string requested = selected->requestedFace();
    return requested.empty() ? selected->face().familyName() : requested;
}

bool Dc::textOut(int32_t x, int32_t y, std::string_view text)
{
    if (!admit(RasterUse::kCopy, 0))
        return false;
    const FontRef selected = font();
    const FontFace& face = selected->face();
    const TextMetrics& metrics = face.metrics();
    const bool mono = selected->logFont().quality == NONANTIALIASED_QUALITY;
    const PlacedText placed = shapeText(face, text, mono); // glyphs first: the font lock is never taken inside ours

    const Point64 anchor = toSurface({x, y});
    int64_t left = anchor.x;
    if ((m_state.textAlign & TA_CENTER) == TA_CENTER)
        left -= placed.width / 2;
    else if ((m_state.textAlign & TA_RIGHT) != 0)
        left -= placed.width;
    int64_t baseline = anchor.y + metrics.tmAscent;
    if ((m_state.textAlign & TA_BASELINE) == TA_BASELINE)
        baseline = anchor.y;
    else if ((m_state.textAlign & TA_BOTTOM) != 0)
        baseline = anchor.y - metrics.tmDescent;

    auto surfaceRect = [](int64_t l, int64_t t, int64_t r, int64_t b) {
        return Rect{saturateToInt32(l), saturateToInt32(t), saturateToInt32(r), saturateToInt32(b)};
    };
    const uint32_t color = pixelFromColorRef(m_state.textColor);
    const std::lock_guard lock(m_surface->mutex());
    if (m_state.bkMode == OPAQUE)
        fillSurfaceRect(
            surfaceRect(left, baseline - metrics.tmAscent, left + placed.width, baseline + metrics.tmDescent),
            PixelOp{0, pixelFromColorRef(m_state.bkColor)});
    int64_t penX = left;
    for (const std::shared_ptr<const GlyphImage>& glyph : placed.glyphs) {
        const int64_t glyphLeft = penX + glyph->left;
        const int64_t glyphTop = baseline - glyph->top;
        for (const Rect& clip : m_effectiveClip.rects()) {
            const Rect part =
                clip.intersected(surfaceRect(glyphLeft, glyphTop, glyphLeft + glyph->width, glyphTop + glyph->height));
            for (int32_t py = part.t; py < part.b; ++py) {
                const uint8_t* const coverage =
                    glyph->coverage.data() + static_cast<size_t>(py - glyphTop) * static_cast<size_t>(glyph->width);
                uint32_t* const row = m_surface->row(py);
                for (int32_t px = part.l; px < part.r; ++px) {
                    const uint8_t c = coverage[px - glyphLeft];
                    if (c != 0)
                        row[px] = blend(row[px], color, c);
                }
            }
        }
        penX += glyph->advance;
    }
    const TextDecorations decorations = face.decorations();
    if (metrics.tmUnderlined != 0)
        fillSurfaceRect(surfaceRect(left, baseline + decorations.underlineTop, left + placed.width,
                                    baseline + decorations.underlineTop + decorations.underlineThickness),
                        PixelOp{0, color});
    if (metrics.tmStruckOut != 0)
        fillSurfaceRect(surfaceRect(left, baseline + decorations.strikeoutTop, left + placed.width,
                                    baseline + decorations.strikeoutTop + decorations.strikeoutThickness),
                        PixelOp{0, color});
    return true;
}

} // namespace pf
