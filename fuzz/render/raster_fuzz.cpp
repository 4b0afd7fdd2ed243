// Rasteriser fuzz target, queue path: any format record and screen triangles of arbitrary floats, drawn through
// DrawPrimitives into a buffer between canary rows, in frame order and in bands, which must agree.
#include <cstddef>
#include <cstdint>

#include "testsupport/render/raster_fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const rasterfuzz::Outcome outcome = rasterfuzz::DrawQueueInput({data, size});
    if (!outcome.canariesIntact || !outcome.pathsAgree)
        __builtin_trap();
    return 0;
}
