// Topology stream decoding on arbitrary bytes: a result code, or success with indices that name decoded vertices.
// Seeds are topology streams of small meshes, made with `vortan-codec mesh topo MESH.off --save-stream SEED`.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "codecs/geometry/connectivity_codec.h"
#include "codecs/geometry/px_result.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<px::DecodedConnectivity> objects;
    const int result = px::DecodeConnectivity(std::span<const uint8_t>(data, size), objects);
    if (result != px::PX_OK) {
        if (result != px::PX_ERR || !objects.empty())
            std::abort();
        return 0;
    }
    for (const px::DecodedConnectivity& object : objects)
        for (const int32_t index : object.coordIndex)
            if (index < -1 || (index >= 0 && static_cast<uint32_t>(index) >= object.vertexCount))
                std::abort();
    return 0;
}
