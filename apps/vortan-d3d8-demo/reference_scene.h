#pragma once
// The reference scene of the Direct3D 8 stand-in: one frame that exercises what the renderer's state recipes
// rely on, drawn through the recording device so that its calls are logged and its pixels can be looked at.
#include "platform/d3d8/d3d8.h"

#include <cstdint>

namespace pf {

inline constexpr uint32_t kSceneWidth = 640;
inline constexpr uint32_t kSceneHeight = 480;

// Draws the scene into the device's back buffer (kSceneWidth x kSceneHeight): a texture copied texel for texel by
// a quad at the half-pixel offset, an additive tiled mesh, a Dot3 quad, depth-tested crossing triangles under a
// perspective camera, and one texture clamped beside the same texture wrapped. False when a call failed.
bool drawReferenceScene(IDirect3DDevice8& device);

} // namespace pf
