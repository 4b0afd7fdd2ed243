#pragma once
// One flat-coloured triangle at depth 0.5, queued on a surface as a mesh would queue it: clipped against the view,
// then projected. Corners are camera-space x and y, clockwise on the screen.
#include <bit>
#include <cstdint>

#include "render/format_record.h"
#include "render/mesh/clipper.h"
#include "render/render_batch.h"
#include "render/render_surface.h"

inline void QueueFlatTriangle(SWrendersurface& surface, const float (&corners)[3][2], uint32_t colour)
{
    SWrenderbatch* const batch = surface.Queue().NewBatch();
    SWtexturestages* const format = batch->TakeFormatRecord();
    format->colourCount = 2;
    format->firstFloatWord = 6;
    format->vertexStride = 6;
    format->combineMode = 3;
    SWprimitivenode* const node = batch->AllocPrimitives(1);
    uint32_t* const words = batch->TakeWords(18);
    uint8_t codes[3];
    for (int i = 0; i < 3; ++i) {
        uint32_t* const v = words + 6 * i;
        const float x = corners[i][0], y = corners[i][1], z = -0.5f;
        v[0] = std::bit_cast<uint32_t>(x);
        v[1] = std::bit_cast<uint32_t>(y);
        v[2] = std::bit_cast<uint32_t>(z);
        v[3] = 0;
        v[4] = colour;
        v[5] = 0;
        codes[i] = (x < z ? 1 : 0) | (x > -z ? 2 : 0) | (y < z ? 4 : 0) | (y > -z ? 8 : 0);
    }
    node->format = format;
    node->vertices = words;
    batch->AppendPrimitives(node);
    surface.GetClipper()->ClipQueuedTriangle(node, codes, *batch);
    for (int i = 0; i < 3; ++i)
        surface.GetClipper()->Project(words + 6 * i);
}
