#pragma once
// What the fuzz targets of resource records share: the payload an object writes, which every object a reader
// accepts must be able to write, and a look at the size a texture payload's "TXHD" claims before a read is tried.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/container.h"
#include "engine/core/type_tag.h"
#include "engine/resources/texture_header_record.h"

// True when a readable "TXHD" among the payload's sub-records claims more than maxPixels pixels.
inline bool ClaimsMorePixelsThan(std::span<const uint8_t> payload, uint64_t maxPixels)
{
    SWchunkstream in(payload);
    while (in.Remaining() >= 8) {
        const uint32_t tag = in.TakeTag();
        const auto child = in.OpenChild();
        TextureHeader header;
        if (tag == MakeTag("TXHD") && ReadTextureHeader(*child, header) &&
            uint64_t{header.width} * header.height > maxPixels)
            return true;
    }
    return false;
}

// The record payload object writes; aborts, as a fuzz target reports a fault, when the write fails.
inline std::vector<uint8_t> RecordPayloadOf(CVTN_Container& object)
{
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    if (!object.Write(out))
        std::abort();
    return buffer.ToVector();
}
