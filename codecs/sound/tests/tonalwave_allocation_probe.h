#pragma once
// Counts the heap allocations of this test program and fails a chosen one. The program's one replaced operator new
// (in the wave decoder's memory test) asks here before every allocation, so counting and failing work in every
// build, with or without a sanitizer.
#include <cstdint>

// clang's ThreadSanitizer runtime defines the allocation functions itself and cannot share them with a program's own:
// there nothing is counted or failed, and the tests that need it skip.
#if defined(__clang__)
#if __has_feature(thread_sanitizer)
#define SOUNDTEST_REPLACES_NEW 0
#endif
#endif
#ifndef SOUNDTEST_REPLACES_NEW
#define SOUNDTEST_REPLACES_NEW 1
#endif

namespace soundtest {

bool CanCountAllocations();  // true: the replaced operator new reports here
void ResetAllocationCount(); // counts from 0, with no failure pending
int64_t AllocationCount();   // allocations since the reset, on every thread, the failed one included

bool CanFailAllocations();
void FailAllocationNumber(int64_t k); // the k-th allocation from now fails once; 0: none

// For the replaced operator new only: counts one allocation and answers whether it must fail.
bool CountAllocationAndAskFailure();

} // namespace soundtest
