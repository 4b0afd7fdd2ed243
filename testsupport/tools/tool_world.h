#pragma once
// World files named on a developer tool's command line: checked as any input first (a folder, a device, a FIFO or
// a missing file is refused at once), then loaded, every refusal one line, "cannot read PATH: CAUSE".
#include <string>

#include "engine/core/read_context.h"
#include "engine/core/world_file.h"

namespace tooltest {

// The world of path, ids as mode says; status other than kOk (no world) with outError.
WorldLoadResult LoadToolWorld(const std::string& path, SWreadcontext::IdMode mode, std::string& outError);
// The world of path read to be merged (fresh ids), as ImportWorld reads it.
WorldLoadResult ImportToolWorld(const std::string& path, std::string& outError);

} // namespace tooltest
