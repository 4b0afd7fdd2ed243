#pragma once
// The system's text for an errno value, safe to call from any thread, and ours for a path that is not a file.
#include <string>

namespace pf {

std::string errorText(int errnoValue); // "No such file or directory"; never empty
// Why what an st_mode describes cannot be read or replaced as a file: "it is a folder, not a file", ...
const char* notAFileText(unsigned mode);
} // namespace pf
