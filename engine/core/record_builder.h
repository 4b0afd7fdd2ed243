#pragma once
// SWrecordbuilder: writes one nested record. The payload is written into a stream on the builder's own memory
// buffer, so its exact length is known; Finish then emits tag, u32 length and payload into the parent stream.
// A builder that is not finished emits nothing (a writer that fails half-way leaves no half record behind).
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"

#include <cstdint>

class SWrecordbuilder {
public:
    // parent outlives the builder; the payload stream takes the parent's format version.
    SWrecordbuilder(SWchunkstream& parent, uint32_t tag);
    SWrecordbuilder(const SWrecordbuilder&) = delete;
    SWrecordbuilder& operator=(const SWrecordbuilder&) = delete;

    SWchunkstream& Stream() { return m_payload; } // the payload goes here, nested records included
    uint32_t Tag() const { return m_tag; }
    // Emits the record, once. False: the payload or the parent failed (a failed payload emits nothing and marks
    // the parent -1).
    bool Finish();

private:
    bool EmitPayload(); // false: the parent failed

    SWchunkstream& m_parent; // the caller's
    uint32_t m_tag;
    SWbuffer m_buffer; // declared before m_payload, which writes into it
    SWchunkstream m_payload;
    bool m_finished = false;
};
