// Rasteriser fuzz target, indexed path: any format record, vertex words, indices and stated counts, drawn through
// DrawIndexed into a buffer between canary rows.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/render/raster_fuzz_input.h"
#include "render/software/direct_draw.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    rasterfuzz::Bytes in({data, size});
    rasterfuzz::Host host;
    rasterfuzz::Scene scene;
    rasterfuzz::ReadScene(in, scene, host);
    SWrasteriser rasteriser;
    rasteriser.Create(&host);
    const int32_t vertexCount = static_cast<int16_t>(in.U16());
    const int32_t triangleCount = static_cast<int16_t>(in.U16());
    const uint32_t bufferVertices = in.U8();
    const uint32_t indexCount = in.U8();
    SWsoftvertexbuffer* vertices = SWsoftvertexbuffer::Create(bufferVertices, in.U8() % 9);
    SWsoftindexbuffer* indices = SWsoftindexbuffer::Create(indexCount);
    if (vertices == nullptr || indices == nullptr)
        __builtin_trap();
    for (uint32_t i = 0; i < indexCount; ++i)
        indices->Data()[i] = static_cast<uint16_t>(in.U8() % 64);
    const std::vector<uint32_t> words = rasterfuzz::ReadWords(in, vertices->WordCount());
    std::copy(words.begin(), words.end(), vertices->Data());
    SWdirectdraw record{nullptr, &scene.format, vertices, indices, vertexCount, triangleCount};
    rasteriser.Draw(&record, nullptr);
    vertices->Release();
    indices->Release();
    host.CheckCanaries();
    return 0;
}
