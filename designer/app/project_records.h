#pragma once
// The records of the project item ("2PRJ") that later parts of the designer write and read: the event map's layout
// ("PLAY"), one "PRTT" per tooltip, one "PRW4" per gradient record, and the older "PRW3" list that is only read.
// Each part registers a handler for its tags, from a namespace-scope registration in its own source file:
//
//   ProjectRecordRead ReadLayout(CVTND_ProjectReading& in, uint32_t tag, SWchunkstream& payload);
//   bool WriteLayout(CVTND_ProjectWriting& out, SWchunkstream& payload);  // appends its nested records
//   constexpr CVTND_ProjectRecordHandler kLayout = {&WriteLayout, &ReadLayout};
//   const CVTND_ProjectRecordRegistration kLayoutRegistered(MakeTag("PLAY"), &kLayout);
//
// The project item writes its own records first ("PSET", then one "PADD" per added file), then each tag in the
// order PLAY, PRTT, PRW4, PRW3: through its handler's write, or, for a tag with no handler, the records of that tag
// read with the file, as the bytes they were. A handler registered for several tags writes from one of them only
// (the others' write is null). "PRW4" and "PRW3" records found inside a "PRTT" payload, after its handler read its
// fields, are read as if they stood beside it.
#include <cstdint>
#include <vector>

class CVTND_ExtendedWorld;
class CVTND_GradientStore;
class CVTND_Project;
class SWchunkstream;
class SWreadcontext;

enum class ProjectRecordRead : uint8_t {
    kOk = 0,
    kDamagedOptional = 1, // damaged, and the project can do without it: it opens, and the user is told once
    kDamaged = 2,         // damaged: the project does not open
};

struct CVTND_ProjectWriting {
    const CVTND_Project& project;
    CVTND_ExtendedWorld& world;     // locked by the writer
    CVTND_GradientStore* gradients; // the project's store; null when there is none
};

struct CVTND_ProjectReading {
    CVTND_Project& project;         // the new project being read
    CVTND_ExtendedWorld& world;     // its world, read already
    CVTND_GradientStore* gradients; // its new store; null when no creator is registered
    SWreadcontext& context;         // the world's: ids in the records resolve through ReadReferencedId
};

struct CVTND_ProjectRecordHandler {
    bool (*write)(CVTND_ProjectWriting& out, SWchunkstream& payload) = nullptr; // false: the save fails
    ProjectRecordRead (*read)(CVTND_ProjectReading& in, uint32_t tag, SWchunkstream& payload) = nullptr;
};

// The tags a handler may take, in the order their records are written.
const std::vector<uint32_t>& ProjectRecordTags();
const CVTND_ProjectRecordHandler* FindProjectRecordHandler(uint32_t tag); // null: none registered
// For tests that put a handler in place for a while; answers the one it displaced.
const CVTND_ProjectRecordHandler* ReplaceProjectRecordHandler(uint32_t tag, const CVTND_ProjectRecordHandler* handler);

struct CVTND_ProjectRecordRegistration {
    CVTND_ProjectRecordRegistration(uint32_t tag, const CVTND_ProjectRecordHandler* handler);
    bool registered; // false: not one of ProjectRecordTags(), or the tag already had a handler (which is kept)
};
