// Stored mesh streams on arbitrary bytes, read as the mesh object reads its 'MCPS' payload: u32 length and bytes
// for slots 0, 1, 4 and 5 (slot 1 only after a non-empty slot 0, slots 4 and 5 only after a non-empty slot 1),
// attached and decompressed. A result code, or success with index lists that name existing values.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "codecs/geometry/geometry_codec.h"
#include "codecs/geometry/px_result.h"
#include "platform/base/endian.h"

namespace {

bool TakeStream(std::span<const uint8_t>& rest, std::vector<uint8_t>& out)
{
    out.clear();
    if (rest.size() < 4)
        return false;
    const uint32_t length = pf::loadU32le(rest.data());
    rest = rest.subspan(4);
    if (length > rest.size())
        return false;
    out.assign(rest.begin(), rest.begin() + length);
    rest = rest.subspan(length);
    return true;
}

void CheckDecoded(const px::PXModel& model)
{
    for (const px::PXIndexedFaceSet& set : model.Lists()) {
        for (const int32_t index : set.coordIndex)
            if (index < -1 || (index >= 0 && static_cast<uint32_t>(index) >= set.PositionCount()))
                std::abort();
        if (!set.texCoordIndex.empty() && set.texCoordIndex.size() != set.coordIndex.size())
            std::abort();
        for (const int32_t index : set.texCoordIndex)
            if (index < -1 || (index >= 0 && static_cast<size_t>(index) >= set.texCoord.size() / 2))
                std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::span<const uint8_t> rest(data, size);
    px::PXStreamSet streams;
    std::vector<uint8_t> bytes;
    const uint32_t slots[] = {0, 1, 4, 5};
    for (size_t i = 0; i < 4; ++i) {
        if (!TakeStream(rest, bytes))
            break;
        px::PXStream stream;
        stream.Attach(bytes);
        streams.SetSlot(slots[i], std::move(stream));
        if ((i == 0 || i == 1) && bytes.empty())
            break;
    }
    px::PXModel model;
    if (px::DecompressModel(streams, model) == px::PX_OK)
        CheckDecoded(model);
    return 0;
}
