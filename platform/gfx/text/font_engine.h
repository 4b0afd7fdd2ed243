#pragma once
// Font engines turn a LogFont into a face. The live engine uses fontconfig and FreeType; tests that assert exact
// pixels or extents install the FixedFontEngine, whose glyphs are boxes.
#include "platform/gfx/text/font_face.h"

#include <memory>

namespace pf {

class FontEngine {
public:
    virtual ~FontEngine() = default;
    virtual std::shared_ptr<const FontFace> resolve(const LogFont& request) = 0; // never null
};

FontEngine& fontEngine();               // the process-wide engine: FreeType unless a test installed another
void setFontEngine(FontEngine* engine); // null restores FreeType; the engine must outlive its use

// The character height a request asks for: -height, or the default for 0; positive heights are converted by
// the engine. Clamped to [1, kMaxCharacterHeight] so a hostile request cannot ask for gigantic glyphs.
constexpr int32_t kDefaultCharacterHeight = 11;
constexpr int32_t kMaxCharacterHeight = 1024;

} // namespace pf
