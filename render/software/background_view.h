#pragma once
// What the pixel buffer's fills need of a scene background, read through the background's own getters.
#include <cstdint>

class SWbackground;
class SWtexture;

struct SWbackgroundview {
    uint32_t colour = 0;              // 0x00RRGGBB, the fill when no image is drawn
    const SWtexture* image = nullptr; // not owned; null when the background has no usable image
    const uint32_t* pixels = nullptr; // the image's width x height words, rows top to bottom
    int32_t width = 0;
    int32_t height = 0;
    bool stretch = false; // the image stretches over the buffer instead of tiling at its own size
};

// Null gives colour 0 and no image; an image without pixels or with a side below 1 counts as none.
SWbackgroundview ReadBackgroundView(const SWbackground* background);
// True when the background's version differs from stamp, which then takes it; false for null.
bool BackgroundVersionChanged(const SWbackground* background, uint32_t& stamp);
