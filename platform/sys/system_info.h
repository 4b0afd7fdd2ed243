#pragma once
// The little the codecs ask of the system about itself.
#include <cstdint>

namespace pf {

struct SystemInfo {
    uint32_t processorType = 0; // a 32-bit processor class number (386, 486, 586) or 0 for none of them
};

SystemInfo getSystemInfo(); // from the installed CPU probe

} // namespace pf
