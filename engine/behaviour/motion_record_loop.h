#pragma once
// The record loop of the node motions' Load: each child record up to the end tag goes to the motion's reader, and a
// record the reader refuses, or one whose body reads short, fails the whole stream as a short read.
#include <cstdint>
#include <memory>

#include "engine/core/chunk_stream.h"
#include "engine/core/type_tag.h"

// The body of the record whose tag was just taken, handed to read(tag, body). False, with the stream failed, when
// read refused it or the body ran out.
template <class ReadRecord> bool ReadMotionRecord(SWchunkstream& in, uint32_t tag, ReadRecord&& read)
{
    std::unique_ptr<SWchunkstream> body = in.OpenChild();
    if (read(tag, *body) && body->Status() == SWchunkstream::kStatusGood)
        return true;
    in.Fail(SWchunkstream::kStatusShortRead);
    return false;
}

// Every record up to the end tag through ReadMotionRecord; true when all read and the stream is still good.
template <class ReadRecord> bool ReadMotionRecords(SWchunkstream& in, ReadRecord&& read)
{
    while (in.PeekTag() != kTagEnd)
        if (!ReadMotionRecord(in, in.TakeTag(), read))
            return false;
    return in.Status() == SWchunkstream::kStatusGood;
}
