#pragma once
// SWtexturestages: the format record that a run of queued triangles shares (one per material or effect). It says
// how the vertices are laid out and which layers, constants and combine mode the rasteriser draws them with.
// Producers take it from a batch's data blocks (SWrenderbatch::TakeFormatRecord) or keep their own, as the mesh
// draw groups do; the nodes that use it only point at it.
#include <cstdint>

class SWtexture;

inline constexpr int kTextureStageCount = 8;

struct SWtexturestages {
    SWtexturestages(); // everything 0; coordinate set n for stage n (stages 1 to 7), stage 0 set 0

    uint8_t vertexStride = 0;   // 32-bit words per vertex
    uint8_t firstFloatWord = 0; // the words from 4 up to it are packed colours
    uint8_t colourCount = 0;
    uint8_t combineMode = 0;
    uint8_t vertexAlpha = 0;
    uint8_t reserved = 0;
    uint8_t flags = 0;
    uint8_t layerCount = 0;
    const SWtexture* images[kTextureStageCount] = {}; // not owned: the scene resources outlive the frame
    uint32_t constants[kTextureStageCount] = {};      // packed 0x00RRGGBB colours
    uint8_t layerFlags[kTextureStageCount] = {};
    int8_t coordinateSets[kTextureStageCount] = {};
    void* cacheLink = nullptr; // the hardware device's cached state for this record; not owned
};
