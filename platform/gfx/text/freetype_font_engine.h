#pragma once
// The live font engine: fontconfig picks the file (family, bold from weight 600, italic), falling back to
// "sans-serif"; FreeType renders at pixel size = character height and synthesises bold or oblique when the file
// lacks the style. Every FreeType and fontconfig call and the glyph caches sit behind one process-wide lock,
// because tooltip text is drawn on the render thread while the interface thread draws its own.
#include "platform/gfx/text/font_engine.h"

#include <optional>
#include <string>
#include <vector>

namespace pf {

class FreeTypeFontEngine : public FontEngine {
public:
    std::shared_ptr<const FontFace> resolve(const LogFont& request) override; // the fixed face if no font loads
};

// The file fontconfig chooses for a family and style, for tests and diagnostics; nullopt when nothing matches.
std::optional<std::string> matchFontFile(const std::string& family, bool bold, bool italic);
// The families fontconfig knows, sorted; empty when it cannot start.
std::vector<std::string> fontFamilies();

} // namespace pf
