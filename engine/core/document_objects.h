#pragma once
// Objects to and from the records of a document. Writing walks a container's tree in pre-order (children of list 0
// by save priority, lower first, equal ones in list order; list 1 holds run-time children and is never written).
// Reading makes each record's object through the tag registry and reads it from a stream limited to its payload;
// a record that cannot become an object is skipped with its descendants and still takes its pre-order index.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/container.h"

class SWdocumentfile;
class SWdocumentwriter;
class SWreadcontext;

inline constexpr uint32_t kMaxObjectDepth = 256; // records nested deeper are skipped with their descendants

struct SkippedRecord {
    uint32_t index = 0;
    uint32_t tag = 0;
    std::string reason;
};

struct DocumentObjects {
    std::vector<std::unique_ptr<CVTN_Container>> tops; // the records of no parent, in file order
    std::vector<SkippedRecord> skipped;                // in file order, descendants of a skipped record included
    // Not empty: the file read on demand changed or could not be read again ("path: cause"); tops is then empty
    // and skipped says nothing, as no record read from it can be trusted to be what was checked.
    std::string failure;
};

// Makes and reads the object of every record of file. context is given to every payload stream; its format
// version, when 0, is set to the header's digits first, and an object may raise it for the records after it.
DocumentObjects ReadDocumentObjects(const SWdocumentfile& file, SWreadcontext& context);

// Appends object and its list-0 descendants; each gets its record index (SetRecordIndex). False: an object's
// Write failed or the writer did (nothing half-written is left in a record, but the writer is then failed).
bool WriteObjectTree(SWdocumentwriter& writer, CVTN_Container& object, uint32_t parentIndex);
