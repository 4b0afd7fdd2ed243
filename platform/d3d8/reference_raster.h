#pragma once
// The reference rasteriser: the fixed-function subset the renderer's state recipes use, drawn in software so that
// the hardware path can be looked at and checked. Pixel centres lie at whole coordinates, so a quad whose corners
// sit half a pixel before the first and after the last pixel maps texels to pixels one for one; edges follow the
// top-left rule on a 1/256-pixel grid, so triangles that share an edge cover each pixel of it exactly once.
#include "platform/d3d8/device_state.h"

#include <array>
#include <cstdint>
#include <span>

namespace pf {

struct PixelFormatInfo {
    uint32_t bytes = 0; // 0: not a colour format we read or write
    uint32_t alphaMask = 0, redMask = 0, greenMask = 0, blueMask = 0;
};
PixelFormatInfo pixelFormatInfo(D3DFORMAT format);
uint32_t readArgb(const PixelFormatInfo& info, const uint8_t* pixel); // alpha 0xFF where the format has none
void writeArgb(const PixelFormatInfo& info, uint8_t* pixel, uint32_t argb);

struct RasterImage {
    D3DFORMAT format = D3DFMT_X8R8G8B8;
    uint32_t width = 0, height = 0, pitch = 0;
    uint8_t* bits = nullptr; // width x height pixels of the format, rows pitch bytes apart
};

struct RasterTarget {
    RasterImage colour;
    D3DFORMAT depthFormat = D3DFMT_UNKNOWN;
    uint32_t* depth = nullptr; // colour.width x colour.height values quantised to the depth format, or null
};

// A vertex as the stream holds it: a position (x, y, z and rhw for XYZRHW, w = 1 for XYZ) and its attributes.
struct InputVertex {
    std::array<float, 4> position{};
    uint32_t diffuse = 0xFFFFFFFFu;
    uint32_t specular = 0;
    std::array<std::array<float, 2>, kD3DStages> uv{};
};

using BoundTextures = std::array<const RasterImage*, kD3DStages>; // null where a stage has no texture

// Draws the triangles whose corners are given as indices into vertices (three per triangle); fvf tells
// pre-transformed positions from ones that go through the matrices and the viewport.
void drawTriangles(const RasterTarget& target, const D3DDeviceState& state, const BoundTextures& textures, uint32_t fvf,
                   std::span<const InputVertex> vertices, std::span<const uint32_t> corners);

// Fills the viewport's part of each rectangle (none: the whole viewport) in the colour and/or depth buffer.
void clearTarget(const RasterTarget& target, const D3DVIEWPORT8& viewport, std::span<const D3DRECT> rects,
                 uint32_t flags, uint32_t argb, float z);

uint32_t quantiseDepth(D3DFORMAT depthFormat, float z);

} // namespace pf
