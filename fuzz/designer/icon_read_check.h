#pragma once
// What every icon reader promises for any bytes: refused with a reason and nothing kept, or a whole picture of its
// stated size whose hot spot lies inside it. Aborts otherwise, so the fuzzer reports the input.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "designer/app/icon_image.h"

using IconReader = bool (*)(std::span<const uint8_t>, CVTND_IconImage&, std::string&);

inline int CheckIconRead(IconReader read, const uint8_t* data, size_t size)
{
    CVTND_IconImage image;
    std::string reason;
    const bool taken = read(std::span(data, size), image, reason);
    const bool whole = image.width > 0 && image.height > 0 && image.width <= CVTND_IconImage::kMaxSide &&
                       image.height <= CVTND_IconImage::kMaxSide &&
                       image.argb.size() == static_cast<size_t>(image.width) * static_cast<size_t>(image.height) &&
                       image.hotSpotX >= 0 && image.hotSpotX < image.width && image.hotSpotY >= 0 &&
                       image.hotSpotY < image.height;
    if (taken ? !whole || !reason.empty() : !image.argb.empty() || reason.empty())
        std::abort();
    return 0;
}
