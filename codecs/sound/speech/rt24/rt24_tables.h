#pragma once
// The constant tables of the RT24 format and of its encoder's pitch tracker, single precision as published.
namespace sound {

inline constexpr int kRt24LsfCount = 10;
inline constexpr int kRt24EnergyLevels = 64;
inline constexpr int kRt24PvLevels = 16;
inline constexpr int kRt24PitchLevels = 256;
// Entries of LSF codebook k; its largest index is one less.
inline constexpr int kRt24LsfCodebookSizes[kRt24LsfCount] = {8, 16, 16, 16, 16, 16, 8, 8, 8, 8};
inline constexpr int kRt24LsfIndexBits[kRt24LsfCount] = {3, 4, 4, 4, 4, 4, 3, 3, 3, 3};

extern const float kRt24LsfCodebook0[8];
extern const float kRt24LsfCodebook1[16];
extern const float kRt24LsfCodebook2[16];
extern const float kRt24LsfCodebook3[16];
extern const float kRt24LsfCodebook4[16];
extern const float kRt24LsfCodebook5[16];
extern const float kRt24LsfCodebook6[8];
extern const float kRt24LsfCodebook7[8];
extern const float kRt24LsfCodebook8[8];
extern const float kRt24LsfCodebook9[8];
extern const float* const kRt24LsfCodebooks[kRt24LsfCount];
extern const float kRt24EnergyTable[kRt24EnergyLevels]; // log10 amplitudes, ascending
extern const float kRt24PvTable[kRt24PvLevels];         // 0, 1/15 .. 1

extern const float kRt24TrackerHighPass[9]; // order 4: b0..b4, a1..a4
extern const float kRt24TrackerLowPass[7];  // order 3: b0..b3, a1..a3

} // namespace sound
