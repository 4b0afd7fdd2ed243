#pragma once
// What a world load left out, said to the person in the file's name and each record's: a record that did not
// decompress is skipped before any object could report it, so every load in the designer (a project, a scene file
// added or synchronised, a published world) words its skipped list through here.
#include <string>
#include <vector>

#include "engine/core/document_objects.h"

// "PATH: N records could not be read and were left out:" and one line per record ("record 12 "7403": CAUSE"), the
// records inside a skipped one counted with it; empty when nothing was skipped.
std::string SkippedRecordsText(const std::string& path, const std::vector<SkippedRecord>& skipped);
// The same as a resource report, which the designer shows when the operation that loaded ends; nothing when none.
void ReportSkippedRecords(const std::string& path, const std::vector<SkippedRecord>& skipped);
