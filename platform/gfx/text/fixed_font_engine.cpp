#include "platform/gfx/text/fixed_font_engine.h"

#include "platform/base/gdi_constants.h"

#include <algorithm>

namespace pf {

namespace {

int32_t ceilTenths(int32_t h, int32_t tenths)
{
    return (h * tenths + 9) / 10;
}
int32_t descentFor(int32_t h)
{
    return h - ceilTenths(h, 8) + (h + 7) / 8;
}

int32_t characterHeightFor(const LogFont& request)
{
    if (request.height < 0)
        return std::min<int64_t>(-int64_t{request.height}, kMaxCharacterHeight);
    if (request.height == 0)
        return kDefaultCharacterHeight;
    // A cell height: the largest character height whose cell (h + ceil(h / 8)) fits.
    int32_t h = 1;
    while (h < kMaxCharacterHeight && (h + 1) + (h + 8) / 8 <= request.height)
        ++h;
    return h;
}

class FixedFace : public FontFace {
public:
    explicit FixedFace(const LogFont& request) : m_height(characterHeightFor(request))
    {
        const int32_t ascent = ceilTenths(m_height, 8);
        m_metrics.tmAscent = ascent;
        m_metrics.tmDescent = descentFor(m_height);
        m_metrics.tmHeight = ascent + m_metrics.tmDescent;
        m_metrics.tmInternalLeading = m_metrics.tmHeight - m_height;
        m_metrics.tmAveCharWidth = ceilTenths(m_height, 6);
        m_metrics.tmMaxCharWidth = m_metrics.tmAveCharWidth;
        m_metrics.tmWeight = request.weight == 0 ? FW_NORMAL : request.weight;
        m_metrics.tmItalic = request.italic != 0;
        m_metrics.tmUnderlined = request.underline != 0;
        m_metrics.tmStruckOut = request.strikeOut != 0;
        m_metrics.tmOverhang = request.italic != 0 ? (21 * ascent + 50) / 100 : 0;
        m_metrics.tmPitchAndFamily =
            static_cast<uint8_t>(TMPF_VECTOR | TMPF_TRUETYPE | (request.pitchAndFamily & 0xF0));
        m_box = std::make_shared<GlyphImage>(boxGlyph());
        m_blank = std::make_shared<GlyphImage>(GlyphImage{0, 0, 0, 0, m_metrics.tmAveCharWidth, {}});
    }

    const TextMetrics& metrics() const override { return m_metrics; }
    TextDecorations decorations() const override
    {
        return {m_metrics.tmDescent >= 2 ? 1 : 0, 1, -((m_metrics.tmAscent + 2) / 3), 1};
    }
    std::string familyName() const override { return "Fixed"; }
    int32_t characterHeight() const override { return m_height; }
    std::shared_ptr<const GlyphImage> glyph(char32_t codePoint, bool) const override
    {
        return codePoint == U' ' ? m_blank : m_box;
    }

private:
    GlyphImage boxGlyph() const
    {
        GlyphImage g;
        g.advance = m_metrics.tmAveCharWidth;
        g.width = std::max(0, g.advance - 2);
        g.height = std::max(0, m_metrics.tmHeight - 2);
        if (g.width == 0 || g.height == 0)
            g.width = g.height = 0;
        g.left = 1;
        g.top = m_metrics.tmAscent - 1;
        g.coverage.assign(static_cast<size_t>(g.width) * static_cast<size_t>(g.height), 255);
        return g;
    }

    int32_t m_height;
    TextMetrics m_metrics;
    std::shared_ptr<const GlyphImage> m_box;
    std::shared_ptr<const GlyphImage> m_blank;
};

} // namespace

std::shared_ptr<const FontFace> makeFixedFace(const LogFont& request)
{
    return std::make_shared<FixedFace>(request);
}

std::shared_ptr<const FontFace> FixedFontEngine::resolve(const LogFont& request)
{
    return makeFixedFace(request);
}

} // namespace pf
