#pragma once
// The process-wide id counter. Events, variables and expression entries take their ids from it; ids read from a
// file must raise it, so that an id made later never equals one that was loaded.
//
// New ids stay below the range that readers renumber (read_context.h), so a world saved after it made objects
// reads back with the same ids. A kept id from kFirstUnraisedId up is therefore not raised to, which would leave
// few or no ids below that range: it is remembered instead, and new ids step over it. Only after the counter has
// handed out every id below the renumbered range do new ids enter it.
#include <cstdint>

inline constexpr uint32_t kFirstUnraisedId = 0x40000000;

uint32_t NextUniqueId();             // increments the counter and returns it; never 0 or
                                     // 0xFFFFFFFF, which stored links use, nor an id remembered
                                     // by RaiseUniqueIdPast; any thread
void RaiseUniqueIdPast(uint32_t id); // no later NextUniqueId returns id: below kFirstUnraisedId and
                                     // from 0x80000000 up every later one is above it; 0xFFFFFFFF
                                     // ("unset") is ignored; any thread
uint32_t PeekUniqueId();             // the last id handed out or raised to, for tests and diagnostics
