// Rasteriser fuzz target, queue path: any format record and screen triangles of arbitrary floats, drawn through
// DrawPrimitives into a buffer between canary rows.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/render/raster_fuzz_input.h"
#include "render/render_batch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    rasterfuzz::Bytes in({data, size});
    rasterfuzz::Host host;
    rasterfuzz::Scene scene;
    rasterfuzz::ReadScene(in, scene, host);
    SWrasteriser rasteriser;
    rasteriser.Create(&host);
    const std::vector<uint32_t> words = rasterfuzz::ReadWords(in, rasterfuzz::kMostVertexWords);
    const size_t stride = scene.format.vertexStride;
    std::vector<SWprimitivenode> nodes;
    for (size_t first = 0; stride > 0 && first + 3 * stride <= words.size(); first += 3 * stride) {
        SWprimitivenode node;
        node.format = &scene.format;
        node.vertices = words.data() + first;
        nodes.push_back(node);
    }
    nodes.push_back(SWprimitivenode{});
    for (size_t i = 0; i + 1 < nodes.size(); ++i)
        nodes[i].next = &nodes[i + 1];
    rasteriser.DrawPrimitives(nodes.data());
    host.CheckCanaries();
    return 0;
}
