#pragma once
// The font dialog of a run on a display: the families fontconfig knows, a style, a size, underline and strikeout,
// a colour and a sample drawn in the chosen font. It answers the LOGFONT, the colour and the point size x 10, or
// nothing, as the scripted dialog does.
#include "platform/ui/providers/providers.h"

#include <string>
#include <vector>

namespace pf {

inline constexpr int32_t kFontDialogIdd = 0x7F04;
inline constexpr int32_t kFontFamilyListId = 0x7F40;
inline constexpr int32_t kFontStyleListId = 0x7F41;
inline constexpr int32_t kFontSizeComboId = 0x7F42;
inline constexpr int32_t kFontUnderlineId = 0x7F43;
inline constexpr int32_t kFontStrikeOutId = 0x7F44;
inline constexpr int32_t kFontColorComboId = 0x7F45;
inline constexpr int32_t kFontSampleId = 0x7F46;

// The character height in pixels of a point size on the layer's 96-pixel inch, and back in tenths of a point.
int32_t pixelHeightOfPoints(int32_t points);
int32_t pointTenthsOfHeight(int32_t logFontHeight);

class LiveFontDialog final : public FontDialogProvider {
public:
    // The families offered; empty asks fontconfig.
    explicit LiveFontDialog(std::vector<std::string> families = {}) : m_families(std::move(families)) {}
    std::optional<FontChoice> choose(const FontDialogRequest& request) override;

private:
    std::vector<std::string> m_families;
};

} // namespace pf
