#pragma once
// What the world's resource record files share: nested records, the sub-record walk and reports.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"
#include "engine/resources/compression_scheme.h"

class SWworldwriting;

namespace worldrecords {

using Fill = std::function<bool(SWchunkstream&)>;

inline bool Nested(SWchunkstream& out, uint32_t tag, const Fill& fill)
{
    SWrecordbuilder record(out, tag);
    return fill(record.Stream()) && record.Finish();
}

// Calls fn(tag, child) for every sub-record left in in; stops at the first one that does not frame.
template <typename Fn> void ForEachNested(SWchunkstream& in, Fn&& fn)
{
    while (in.Status() == SWchunkstream::kStatusGood && in.Remaining() >= 8) {
        const uint32_t tag = in.TakeTag();
        const std::unique_ptr<SWchunkstream> child = in.OpenChild();
        if (child->Status() != SWchunkstream::kStatusGood)
            return;
        fn(tag, *child);
    }
}

inline bool Good(const SWchunkstream& s)
{
    return s.Status() == SWchunkstream::kStatusGood;
}

// "A <what> could not be read ..." to the resource report route.
void ReportDamaged(const std::string& what, const std::string& name);

// The object's resource record through the row the mode asks for, its choice left as it was (world_records.h).
// True without writing when its kind has no row yet: the resource is then stored by its other records alone. word
// goes to the row as it is (a mesh row learns so that a node drawing the mesh has vertex frames).
bool WriteSchemeRecord(SWworldwriting& out, SchemeKind kind, SWchunkstream& s, CVTN_Container* object,
                       SWschemechoice& choice, uint32_t word = 0);
// The row of id when it is one of kind; null otherwise (0, unknown, or another kind's).
const SWcompressionscheme* RowOf(uint32_t id, SchemeKind kind);

} // namespace worldrecords
