#pragma once
// Snapshots of surfaces as 8-bit RGB PNG files (byte 3 of each pixel is not written). The file appears complete
// or not at all: it is written beside the target, flushed, then renamed over it.
#include "platform/gfx/surface32.h"

#include <string>

namespace pf {

bool writeSurfacePng(const std::string& path, const Surface32& surface);   // false: empty surface or a failed write

} // namespace pf
