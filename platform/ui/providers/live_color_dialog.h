#pragma once
// The colour dialog of a run on a display: 16 basic colours, the caller's 16 custom colours, red, green and blue
// trackbars each with an edit, and a preview. An edit takes a whole number from 0 to 255; other text leaves the
// channel as it was before the typing, the dialog saying so, and OK does not take it. It answers the chosen colour
// or nothing, and on OK writes the custom colours back into the caller's array, as the scripted dialog's callers
// expect.
#include "platform/ui/providers/providers.h"

namespace pf {

inline constexpr int32_t kColorDialogIdd = 0x7F03;
inline constexpr int32_t kColorBasicGridId = 0x7F30;
inline constexpr int32_t kColorCustomGridId = 0x7F31;
inline constexpr int32_t kColorAddCustomId = 0x7F32;
inline constexpr int32_t kColorPreviewId = 0x7F33;
inline constexpr int32_t kColorTrackFirstId = 0x7F34; // red, green, blue
inline constexpr int32_t kColorEditFirstId = 0x7F38;  // red, green, blue
inline constexpr int32_t kColorReasonId = 0x7F3B;     // why typed text was not taken; empty otherwise

inline constexpr int32_t kSwatchWidth = 24;
inline constexpr int32_t kSwatchHeight = 20;
inline constexpr int32_t kSwatchGap = 2;
inline constexpr int32_t kSwatchColumns = 8;

const std::array<ColorRef, 16>& basicColors();

class LiveColorDialog final : public ColorDialogProvider {
public:
    std::optional<ColorRef> choose(const ColorDialogRequest& request) override;
};

} // namespace pf
