#pragma once
// World files named on a developer tool's command line: checked as any input first (a folder, a device, a FIFO or
// a missing file is refused at once), then loaded within the tool's read limits, every refusal one line, "cannot
// read PATH: CAUSE". The limits are the engine's defaults unless the command line said --max-bytes N (what decoding
// a whole file makes beyond its stored bytes) or --max-pixels N (pixels of any one image).
#include <string>
#include <vector>

#include "engine/core/read_context.h"
#include "engine/core/world_file.h"

namespace tooltest {

inline constexpr const char* kReadLimitUsage = "[--max-bytes N] [--max-pixels N]";

// Takes --max-bytes N and --max-pixels N out of args, wherever they stand, into the tool's read limits; false, with
// outError naming the value and its range, for a value that is no whole number of its range or is missing.
bool TakeReadLimitOptions(std::vector<char*>& args, std::string& outError);
const SWreadlimits& ToolReadLimits();

// The world of path, ids as mode says; status other than kOk (no world) with outError.
WorldLoadResult LoadToolWorld(const std::string& path, SWreadcontext::IdMode mode, std::string& outError);
// The world of path read to be merged (fresh ids), as ImportWorld reads it.
WorldLoadResult ImportToolWorld(const std::string& path, std::string& outError);
// The world of a file held whole already (its bytes as stored, read from path), so that what a command compares or
// writes is what this one read made; outFile keeps the document's records. Refused as LoadToolWorld refuses.
WorldLoadResult ReadToolWorld(std::vector<uint8_t> bytes, const std::string& path, SWreadcontext::IdMode mode,
                              SWdocumentfile& outFile, std::string& outError);

} // namespace tooltest
