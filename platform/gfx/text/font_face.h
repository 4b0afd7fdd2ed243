#pragma once
// A resolved font at one size: metrics and glyph images. Faces are immutable and shared; their glyph lookups are
// thread-safe (the FreeType engine serialises them behind its one lock).
#include "platform/gfx/text/log_font.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pf {

// One glyph's coverage: row-major, `width` bytes a row, 0 = untouched, 255 = fully covered.
struct GlyphImage {
    int32_t left = 0; // from the pen position to the first column
    int32_t top = 0;  // rows above the baseline to the first row
    int32_t width = 0;
    int32_t height = 0;
    int32_t advance = 0; // whole pixels to the next pen position
    std::vector<uint8_t> coverage;
};

// Where underline and strikeout go, in rows relative to the baseline (positive downwards).
struct TextDecorations {
    int32_t underlineTop = 1;
    int32_t underlineThickness = 1;
    int32_t strikeoutTop = -3;
    int32_t strikeoutThickness = 1;
};

class FontFace {
public:
    virtual ~FontFace() = default;

    virtual const TextMetrics& metrics() const = 0;
    virtual TextDecorations decorations() const = 0;
    virtual std::string familyName() const = 0;  // what the engine actually chose
    virtual int32_t characterHeight() const = 0; // tmHeight - tmInternalLeading
    // The glyph for a code point, from a fallback face when this one lacks it; never null. `mono` asks for
    // coverage of only 0 and 255.
    virtual std::shared_ptr<const GlyphImage> glyph(char32_t codePoint, bool mono) const = 0;
};

} // namespace pf
