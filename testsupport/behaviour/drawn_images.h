#pragma once
// What a frame handed a render target, for tests of the world's frame step that cannot see the render queue.
#include <vector>

#include "render/format_record.h"
#include "render/render_batch.h"
#include "render/render_queue.h"
#include "render/render_target.h"

class SWtexture;

// The first image of each non-empty batch queued on the target since its queue was last cleared, in batch order:
// for layer sprites, one per sprite drawn.
inline std::vector<const SWtexture*> DrawnImages(SWrendertarget& target)
{
    std::vector<const SWtexture*> images;
    SWrenderqueue& queue = target.Queue();
    for (SWrenderbatch* b = queue.FirstBatch(); !queue.IsEnd(b); b = b->NextBatch())
        if (b->NodeCount() > 0 && b->FirstNode()->format != nullptr)
            images.push_back(b->FirstNode()->format->images[0]);
    return images;
}

// Empties the target's queue, as a renderer does when its frame begins.
inline void ClearQueue(SWrendertarget& target)
{
    target.Queue().Clear();
}
