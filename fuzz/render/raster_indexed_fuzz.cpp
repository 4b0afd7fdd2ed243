// Rasteriser fuzz target, indexed path: any format record, vertex words, indices and stated counts, drawn through
// DrawIndexed into a buffer between canary rows, in frame order and in bands, which must agree.
#include <cstddef>
#include <cstdint>

#include "testsupport/render/raster_fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const rasterfuzz::Outcome outcome = rasterfuzz::DrawIndexedInput({data, size});
    if (!outcome.canariesIntact || !outcome.pathsAgree)
        __builtin_trap();
    return 0;
}
