#pragma once
// Separable integer lifting transforms of a plane over its levels. Level i of the forward transform works on the
// top-left (width >> i) x (height >> i) region and leaves four quadrants: low-pass top-left (the next level's
// input), orientation 0 bottom-left, 1 top-right, 2 bottom-right. Every pass must be at least 6 values long and
// even; callers guarantee it (the stream reader refuses level counts that break it).
//
// The lossy transform keeps the low band on the odd samples and doubles it in the row pass, so after i levels the
// low-pass values are the level-shifted pixels times 2^i. The reversible transform keeps the low band on the even
// samples and is inverted exactly, modulo 16 bits.
#include "codecs/image/image_plane.h"

namespace cis {

constexpr int kMinPassLength = 6;

void ForwardLossyTransform(ImagePlane& plane, int levels);
void ForwardReversibleTransform(ImagePlane& plane, int levels);

// Inverts decoder level k (1 = coarsest) of a plane of `levels` levels, on the top-left
// (width >> (levels - k)) x (height >> (levels - k)) region: with its details when k <= keptLevels, else by
// interpolation of the low band alone.
void InvertLevel(ImagePlane& plane, int k, int levels, int keptLevels, bool reversible);

} // namespace cis
