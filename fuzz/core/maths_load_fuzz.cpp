// Any bytes loaded as a matrix, a vector and a quaternion in turn: a load succeeds exactly when its words are
// there, and a failed load leaves the value as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine/core/chunk_stream.h"
#include "engine/core/matrix.h"
#include "engine/core/quaternion.h"
#include "engine/core/vector.h"

namespace {

template <typename T> void LoadOne(SWchunkstream& in, size_t words, const T& sentinel)
{
    T value = sentinel;
    const bool enough = in.Remaining() >= 4 * words && in.Status() == 0;
    const bool loaded = value.Load(in);
    if (loaded != enough || (!loaded && !(value == sentinel)) || (!loaded && in.Status() == 0))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SWchunkstream in(std::span<const uint8_t>(data, size));
    LoadOne(in, 16, SWmatrix::Translation(1.0f, 2.0f, 3.0f));
    LoadOne(in, 3, SWvector(4.0f, 5.0f, 6.0f));
    LoadOne(in, 4, CVTN_Quaternion(0.0f, 0.0f, 1.0f, 0.0f));
    return 0;
}
