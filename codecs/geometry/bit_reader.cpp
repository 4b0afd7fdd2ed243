#include "codecs/geometry/bit_reader.h"

#include <bit>
#include <cassert>
#include <cstring>
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

uint32_t BitReader::GetBit()
{
    if (m_bitPos >= m_totalBits) {
        m_overrun = true;
        return 0;
    }
    const uint8_t byte = m_body[m_bitPos >> 3];
    const uint32_t bit = (byte >> (7 - (m_bitPos & 7))) & 1u;
    ++m_bitPos;
    return bit;
}

uint32_t BitReader::GetBits(uint32_t count)
{
    assert(count <= 32 && "a field is at most 32 bits");
    if (count == 0)
        return 0;
    const uint32_t value = static_cast<uint32_t>(PeekWindow() >> (64 - count));
    SkipBits(count);
    return value;
}

uint64_t BitReader::PeekWindow() const
{
    const size_t byte = static_cast<size_t>(m_bitPos >> 3);
    uint64_t word = 0;
    if (m_body.size() >= 8 && byte <= m_body.size() - 8) {
        std::memcpy(&word, m_body.data() + byte, 8);
        if constexpr (std::endian::native == std::endian::little)
            word = __builtin_bswap64(word); // the stream is most significant bit first
    } else {
        for (size_t i = 0; i < 8; ++i)
            word = word << 8 | (byte + i < m_body.size() ? m_body[byte + i] : 0u);
    }
    return word << (m_bitPos & 7);
}

void BitReader::SkipBits(uint64_t count)
{
    if (count > RemainingBits()) {
        m_bitPos = m_totalBits;
        m_overrun = true;
        return;
    }
    m_bitPos += count;
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
