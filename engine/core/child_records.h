#pragma once
// The child records of a record, read one by one, for the readers that gather what they find in a struct of their
// own and judge it once the record ends.
#include <cstdint>
#include <memory>

#include "engine/core/chunk_stream.h"

// Calls read(tag, child) for every child record left in in. False at the first child that read refuses or that it
// leaves short; true when in runs out of whole records (a short or damaged in is for the caller to check).
template <typename Read> bool ReadChildRecords(SWchunkstream& in, Read&& read)
{
    while (in.Status() == SWchunkstream::kStatusGood && in.Remaining() >= 8) {
        const uint32_t tag = in.TakeTag();
        const std::unique_ptr<SWchunkstream> child = in.OpenChild();
        if (!read(tag, *child) || child->Status() != SWchunkstream::kStatusGood)
            return false;
    }
    return true;
}
