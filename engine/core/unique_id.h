#pragma once
// The process-wide id counter. Events, variables and expression entries take their ids from it; ids read from a
// file must raise it, so that an id made later never equals one that was loaded.
#include <cstdint>

uint32_t NextUniqueId();             // increments the counter and returns it; never 0 or
                                     // 0xFFFFFFFF, which stored links use; any thread
void RaiseUniqueIdPast(uint32_t id); // every later NextUniqueId is above id; 0xFFFFFFFF ("unset") is
                                     // ignored; any thread
uint32_t PeekUniqueId();             // the last id handed out or raised to, for tests and diagnostics
