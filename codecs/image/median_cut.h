#pragma once
// The palette encoder's colour reduction: median cut over a 32 x 64 x 32 histogram of the three pixel bytes
// (5, 6 and 5 bits), then every pixel takes its nearest palette colour (ties to the earlier entry).
#include "codecs/image/colour_transform.h"
#include "codecs/image/raw_stream.h"

namespace cis {

// At most `colours` (1..256) entries; an empty picture gives an empty result.
PalettePicture MedianCutPalette(const PixelView& in, int colours);

} // namespace cis
