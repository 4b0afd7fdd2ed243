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

// Handed on by blocks, taken as they are where the parent writes memory, so that a payload of many megabytes is
// never copied whole; the buffer is freed either way.
bool SWrecordbuilder::EmitPayload()
{
    return m_parent.WriteBuffer(m_buffer);
}
