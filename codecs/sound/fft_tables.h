#pragma once
// Process-wide tables of the transform layer, one of each kind per order, built on first use.
//
// A transform holds a shared reference to the tables it uses for as long as it runs, so freeing the caches while
// another thread is inside a transform is harmless: that transform finishes on its tables and the next one
// rebuilds them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace sound {

inline constexpr int kMaxTransformOrder = 24; // 16M points; the codecs use orders up to 12

// Twiddle table of order k, M = 2^k complex points: 3M/2 complex entries (plus 4 spare zeroed ones), two floats
// each.
//   entries 0 .. M/2-1:     the complex transform's twiddles. Orders up to 10 (split-radix): entry 2q is
//                           exp(-2 pi i (q+1) / M) and entry 2q+1 is exp(-2 pi i 3(q+1) / M). Orders 11 and up:
//                           entry j is exp(-2 pi i j / M).
//   entries M/2 .. M-1:     (0.5 cos t, 0.5 - 0.5 sin t), t = pi (j+1) / M: splitting a half-size transform into
//                           the spectrum of 2M real samples.
//   entries M .. 3M/2-1:    exp(-i pi j / M): joining a real spectrum back into a half-size transform.
struct TwiddleTable {
    int order = 0;
    std::vector<float> values; // interleaved (real, imaginary)

    size_t Points() const { return size_t{1} << order; }
    const float* ComplexTwiddles() const { return values.data(); }
    const float* SplitTwiddles() const { return values.data() + Points(); } // M/2 entries, two floats each
    const float* JoinTwiddles() const { return values.data() + 2 * Points(); }
};

struct BitReversalTable {
    int order = 0;
    std::vector<uint32_t> partner; // partner[i] = i with its order low bits reversed
};

// The table of the order, built when its cache slot is empty; null for an order outside 0..kMaxTransformOrder or
// when memory runs out.
std::shared_ptr<const TwiddleTable> TwiddleTableOf(int order);
std::shared_ptr<const BitReversalTable> BitReversalTableOf(int order);

// Empties both caches; the tables of a transform in progress live until it ends.
void FreeTransformTables();

// How many tables were built since the process started: lets a caller see that freed tables are rebuilt.
uint64_t TransformTablesBuilt();

} // namespace sound
