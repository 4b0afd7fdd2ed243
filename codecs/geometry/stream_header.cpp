#include "codecs/geometry/stream_header.h"

#include <cstring>

#include "codecs/geometry/mem_stream.h"
#include "codecs/geometry/px_result.h"

namespace px {

namespace {

constexpr uint8_t kMagic[5] = {'P', 'X', 'B', 'i', 'n'};

} // namespace

void WriteStreamHeader(PXMemStream& stream, uint8_t kind, uint8_t subKind)
{
    stream.Write(kMagic);
    const uint8_t rest[3] = {kStreamVersion, kind, subKind};
    stream.Write(rest);
}

std::optional<StreamHeader> ReadStreamHeader(std::span<const uint8_t> bytes)
{
    if (bytes.size() < kStreamHeaderBytes || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return std::nullopt;
    return StreamHeader{bytes[5], bytes[6], bytes[7]};
}

int StreamKindOf(std::span<const uint8_t> bytes)
{
    const std::optional<StreamHeader> header = ReadStreamHeader(bytes);
    return header ? static_cast<int>(header->kind) : static_cast<int>(PX_ERR);
}

} // namespace px
