#pragma once
// The benchmark programs linked with counting_allocator.cpp replace every form of the global operator new and
// delete with ones that count what is asked for. A figure is the difference of a counter across the work measured.
#include <cstdint>

namespace bench_support {

uint64_t CountedAllocations(); // every new so far, arrays and aligned ones included
int64_t CountedBytes();        // the bytes those news asked for

} // namespace bench_support
