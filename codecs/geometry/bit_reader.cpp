#include "codecs/geometry/bit_reader.h"

#include <bit>
#include <optional>

#include "codecs/geometry/px_result.h"
#include "codecs/geometry/stream_header.h"

namespace px {

bool BitReader::Open(std::span<const uint8_t> stream)
{
    *this = BitReader();
    const std::optional<StreamHeader> header = ReadStreamHeader(stream);
    if (!header)
        return false;
    m_version = header->version;
    m_kind = header->kind;
    m_body = stream.subspan(kStreamHeaderBytes);
    m_totalBits = static_cast<uint64_t>(m_body.size()) * 8;
    return true;
}

uint64_t BitReader::GetBits64(uint32_t count)
{
    if (count <= 32)
        return GetBits(count);
    const uint64_t high = GetBits(count - 32);
    return (high << 32) | GetBits(32);
}

float BitReader::GetFloat()
{
    return std::bit_cast<float>(GetBits(32));
}

int OpenObjectStream(BitReader& in, std::span<const uint8_t> stream, size_t objectCount)
{
    if (!in.Open(stream))
        return PX_ERR;
    if (in.GetBits(16) != objectCount)
        return in.Overrun() ? PX_ERR : PX_EMPTYBITSTREAM;
    return PX_OK;
}

} // namespace px
