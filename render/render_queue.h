#pragma once
// SWrenderqueue: the triangles of one frame, in batches drawn in the order they were opened. Producers open
// batches and fill them; at the end of the frame the target sorts each batch by its kind, joins every list into
// the first batch's, draws it and clears the queue. Used only by the thread that renders into the owning target.
#include "render/render_batch.h"

class SWrenderqueue {
public:
    SWrenderqueue();
    SWrenderqueue(const SWrenderqueue&) = delete;
    SWrenderqueue& operator=(const SWrenderqueue&) = delete;
    ~SWrenderqueue(); // clears

    SWrenderbatch* NewBatch();   // empty, kind 0, after every batch opened before; null (queue unchanged) when
                                 // there is no memory
    SWrenderbatch* FirstBatch(); // the end marker when there is no batch
    const SWrenderbatch* EndMarker() const { return &m_end; }
    bool IsEnd(const SWrenderbatch* batch) const { return batch == &m_end; }
    bool IsEmpty() const { return m_head.m_nextBatch == &m_end; }

    void Sort();        // every batch by its kind
    void JoinBatches(); // every later batch's list moves, in batch order, to the end of the first batch's
    void Clear();       // frees every batch and all its memory

private:
    SWrenderbatch m_head; // never holds triangles
    SWrenderbatch m_end;
};
