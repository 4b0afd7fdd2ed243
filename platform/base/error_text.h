#pragma once
// The system's text for an errno value, safe to call from any thread.
#include <string>

namespace pf {

std::string errorText(int errnoValue); // "No such file or directory"; never empty
} // namespace pf
