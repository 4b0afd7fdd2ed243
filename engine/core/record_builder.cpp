#include "engine/core/record_builder.h"

#include <cassert>
#include <cstdint>

SWrecordbuilder::SWrecordbuilder(SWchunkstream& parent, uint32_t tag)
    : m_parent(parent), m_tag(tag), m_payload(m_buffer, SWchunkstream::kWrite)
{
    m_payload.SetFormatVersion(parent.FormatVersion());
}

bool SWrecordbuilder::Finish()
{
    if (m_finished) {
        assert(false && "a record is emitted once");
        return false;
    }
    m_finished = true;
    if (m_payload.Status() != SWchunkstream::kStatusGood || m_buffer.Size() > UINT32_MAX) {
        m_parent.Fail(SWchunkstream::kStatusError);
        m_buffer.Clear();
        return false;
    }
    const bool framed = m_parent.WriteTag(m_tag) && m_parent.WriteU32(static_cast<uint32_t>(m_buffer.Size()));
    if (!framed) {
        m_buffer.Clear();
        return false;
    }
    return EmitPayload();
}

// Block by block, so that a payload of many megabytes is never copied whole; the buffer is freed either way.
bool SWrecordbuilder::EmitPayload()
{
    bool written = true;
    for (size_t i = 0; written && i < m_buffer.BlockCount(); ++i)
        written = m_parent.WriteBytes(m_buffer.Block(i));
    m_buffer.Clear();
    return written;
}
