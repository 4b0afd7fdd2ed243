#include "render/render_queue.h"

#include <memory>
#include <new>

SWrenderqueue::SWrenderqueue()
{
    m_head.m_nextBatch = &m_end;
    m_end.m_prevBatch = &m_head;
}

SWrenderqueue::~SWrenderqueue()
{
    Clear();
}

SWrenderbatch* SWrenderqueue::NewBatch()
{
    SWrenderbatch* const batch = new (std::nothrow) SWrenderbatch; // owned by the queue until Clear
    if (batch == nullptr)
        return nullptr;
    SWrenderbatch* const last = m_end.m_prevBatch;
    batch->m_prevBatch = last;
    batch->m_nextBatch = &m_end;
    last->m_nextBatch = batch;
    m_end.m_prevBatch = batch;
    return batch;
}

SWrenderbatch* SWrenderqueue::FirstBatch()
{
    return m_head.m_nextBatch;
}

void SWrenderqueue::Sort()
{
    for (SWrenderbatch* batch = m_head.m_nextBatch; batch != &m_end; batch = batch->m_nextBatch)
        batch->Sort();
}

void SWrenderqueue::JoinBatches()
{
    SWrenderbatch* const first = m_head.m_nextBatch;
    if (first == &m_end)
        return;
    for (SWrenderbatch* batch = first->m_nextBatch; batch != &m_end; batch = batch->m_nextBatch)
        first->TakeListOf(*batch);
}

void SWrenderqueue::Clear()
{
    for (SWrenderbatch* batch = m_head.m_nextBatch; batch != &m_end;) {
        SWrenderbatch* const next = batch->m_nextBatch;
        delete batch;
        batch = next;
    }
    m_head.m_nextBatch = &m_end;
    m_end.m_prevBatch = &m_head;
}
