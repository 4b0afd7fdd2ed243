#pragma once
// Angles in the stream format: the crease angle's 8 bits and the normal codebook's rows and columns are fractions
// of this pi, not of the full-precision constant. Coding with another value moves codes at their boundaries.
namespace px {

constexpr double kStreamPi = 3.141592653;
constexpr double kStreamTwoPi = 2.0 * kStreamPi; // exact: doubling a double rounds nothing

} // namespace px
