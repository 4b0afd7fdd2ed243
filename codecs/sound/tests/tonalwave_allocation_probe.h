#pragma once
// Counts the heap allocations of this test program through the sanitizer's allocation hooks, so that it stands
// beside the replaced operator new of the wave decoder's memory test. Builds without a sanitizer cannot count.
#include <cstdint>

namespace soundtest {

bool CanCountAllocations();  // false without a sanitizer's allocator
void ResetAllocationCount(); // counts from 0
int64_t AllocationCount();   // allocations since the reset, on every thread

// Failing the k-th allocation needs the one replaced operator new of this program (in the wave decoder's memory
// test) to ask here first; until it does, nothing fails and CanFailAllocations() says so.
bool CanFailAllocations();
void FailAllocationNumber(int64_t k); // k-th allocation from now; 0: none

} // namespace soundtest
