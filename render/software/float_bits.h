#pragma once
// Float to integer the way the software renderer's fixed-point set-up reads a float: from its bits. An exponent
// field below 119 (magnitude below 1/256) gives 0; from 119 to 181 the value truncated toward zero, formed in 64
// bits; above that (and for infinities and NaN) the value does not fit, and each caller says what it wants.
#include <cstdint>

// Depths and span weights: the nearest representable value, INT32_MAX or INT32_MIN by sign.
int32_t FloatToIntSaturated(float value);
// Texture coordinates: the low 32 bits of the 64-bit value, which are 0 where it no longer fits.
int32_t FloatToIntLowBits(float value);
