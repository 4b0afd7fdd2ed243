#pragma once
// The behaviour of a world as its file keeps it: the events section ("72ES"), each event's fields, variables and
// actions, every action's settings and, for timed kinds, its motion's own records.
//
// Readers accept the older record revisions still found in files, take version gates from the stream's format
// version and the old-time conversions from the world's build number. A reader that meets damage answers false
// and keeps what it read before it; every count read from a file bounds a loop that stops at the first stream
// error, and nothing is reserved from a count.
#include <cstdint>
#include <optional>

class SWactionnode;
class SWchunkstream;
class SWevent;

// What one read of the events section shares across its events and actions.
struct SWeventsreadstate {
    uint32_t highestActionId = 0;
    bool anyActionId = false;
};

// The four-character tag an action of kindId is written under (its newest form, or "7434" for a full reset),
// none for kinds that are not written.
std::optional<uint32_t> ActionRecordTag(const SWactionnode& action);
// Kind and revision of an action record tag; none for a tag that is not an action record.
struct SWactionrecordform {
    int32_t kind = 0;
    int revision = 0;
};
std::optional<SWactionrecordform> FindActionRecordForm(uint32_t tag);

// One event's payload ("7399", "72PS", "72AS").
bool SaveEventRecord(const SWevent& event, SWchunkstream& out);
bool LoadEventRecord(SWevent& event, SWchunkstream& in, SWeventsreadstate& state);
// The actions sub-stream: each action's record, then its delay record.
bool SaveActionRecords(const SWevent& event, SWchunkstream& out);
bool LoadActionRecords(SWevent& event, SWchunkstream& in, SWeventsreadstate& state);
// Parts A to C of one action; readKind is the kind the record was written as (24 for an old expression action
// read into a kind-35 action).
bool SaveActionBody(const SWactionnode& action, SWchunkstream& out);
bool LoadActionBody(SWactionnode& action, SWchunkstream& in, int32_t readKind, int revision, SWeventsreadstate& state);
