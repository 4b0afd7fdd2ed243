// Rasteriser fuzz target, indexed path: any format record, vertex words, indices and stated counts, drawn through
// DrawIndexed into a buffer between canary rows.
#include <cstddef>
#include <cstdint>

#include "testsupport/render/raster_fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!rasterfuzz::DrawIndexedInput({data, size}).canariesIntact)
        __builtin_trap();
    return 0;
}
