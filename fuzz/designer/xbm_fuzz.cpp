// Any bytes as an XBM text, held to what every icon reader promises.
#include "fuzz/designer/icon_read_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return CheckIconRead(&ReadXbmImage, data, size);
}
