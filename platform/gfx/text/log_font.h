#pragma once
// The font request and the metrics answered for it, field for field as the callers read and store them.
#include <cstdint>

namespace pf {

struct LogFont {
    int32_t height = 0; // < 0: character height in pixels; > 0: cell height (tmHeight); 0: a default size
    int32_t width = 0;
    int32_t escapement = 0;
    int32_t orientation = 0;
    int32_t weight = 0; // 0 or 400 normal, >= 600 bold
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strikeOut = 0;
    uint8_t charSet = 0;
    uint8_t outPrecision = 0;
    uint8_t clipPrecision = 0;
    uint8_t quality = 0; // NONANTIALIASED_QUALITY draws without grey edges
    uint8_t pitchAndFamily = 0;
    char face[32] = {}; // zero-terminated, LF_FACESIZE bytes
};

struct TextMetrics {
    int32_t tmHeight = 0; // tmAscent + tmDescent
    int32_t tmAscent = 0;
    int32_t tmDescent = 0;
    int32_t tmInternalLeading = 0; // tmHeight - the character height, so the character height is recoverable
    int32_t tmExternalLeading = 0;
    int32_t tmAveCharWidth = 0;
    int32_t tmMaxCharWidth = 0;
    int32_t tmWeight = 0;
    int32_t tmOverhang = 0; // extra width of slanted glyphs; 0 upright
    uint8_t tmItalic = 0;
    uint8_t tmUnderlined = 0;
    uint8_t tmStruckOut = 0;
    uint8_t tmPitchAndFamily = 0;
};

} // namespace pf
