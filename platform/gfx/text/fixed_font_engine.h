#pragma once
// A font engine without font files, for tests that assert exact pixels and extents: every character advances
// ceil(0.6 h), the ascent is ceil(0.8 h), the descent h - ascent + ceil(h / 8), and a glyph is its cell filled
// with an inset of 1 pixel (the space is blank). h is the character height.
#include "platform/gfx/text/font_engine.h"

namespace pf {

class FixedFontEngine : public FontEngine {
public:
    std::shared_ptr<const FontFace> resolve(const LogFont& request) override;
};

std::shared_ptr<const FontFace> makeFixedFace(const LogFont& request); // also the FreeType engine's last resort

} // namespace pf
