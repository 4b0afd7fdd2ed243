#pragma once
// Icons read from ICO, XBM and XPM files, for the icon browser and the 3D views' cursors. Each reader takes the
// file's bytes as hostile input: sizes are checked against the bytes before anything is allocated, and a file that is
// not wholly consistent is refused with a reason, never turned into a partial picture.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/gfx/icon.h"

enum class IconFileKind : uint8_t { kUnknown, kIco, kXbm, kXpm };

struct CVTND_IconImage {
    static constexpr int32_t kMaxSide = 256; // the largest icon the readers take

    int32_t width = 0;
    int32_t height = 0;
    int32_t hotSpotX = 0; // a cursor's, XBM's x_hot or XPM's hot spot; 0 when the file has none
    int32_t hotSpotY = 0;
    uint32_t colourCount = 0;   // the palette's or the colour table's entries; 0 for direct colour
    std::vector<uint32_t> argb; // rows top first; alpha 0 is transparent

    pf::IconRef MakeIcon() const;                           // null when empty; the hot spot kept
    pf::IconRef MakeIcon(int32_t hotX, int32_t hotY) const; // with another hot spot, clamped into the picture
};

// Each: true with outImage filled, or false with outImage empty and outReason one line.
bool ReadIcoImage(std::span<const uint8_t> bytes, CVTND_IconImage& outImage, std::string& outReason);
bool ReadXbmImage(std::span<const uint8_t> bytes, CVTND_IconImage& outImage, std::string& outReason);
bool ReadXpmImage(std::span<const uint8_t> bytes, CVTND_IconImage& outImage, std::string& outReason);

IconFileKind IconKindOfName(const std::string& path); // by extension, ignoring case: .ico and .cur, .xbm, .xpm
// The file at path, by its extension; false with the reason (the path named) when it cannot be read or is damaged.
bool ReadIconFile(const std::string& path, CVTND_IconImage& outImage, std::string& outReason);
