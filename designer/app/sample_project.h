#pragma once
// The sample a new user starts from: a camera, a turning cube with a texture made here and a floor. A world-start
// event turns the cube for ever (rotate XYZ, kind 41); a left click on the cube switches the background to a
// contrasting colour (set background, kind 19).
#include <cstdint>

class SWworld;

inline constexpr uint32_t kSampleBackground = 0x00203050;            // the first background, 0x00RRGGBB
inline constexpr float kSampleClickedColour[3] = {1.0f, 0.6f, 0.1f}; // the one a click on the cube sets

void BuildSampleWorld(SWworld& world);
