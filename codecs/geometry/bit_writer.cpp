#include "codecs/geometry/bit_writer.h"

#include <bit>
#include <cassert>

#include "codecs/geometry/stream_header.h"

namespace px {

BitWriter::BitWriter(uint8_t kind, uint8_t subKind) : m_kind(kind)
{
    WriteStreamHeader(m_stream, kind, subKind);
}

void BitWriter::PutBit(uint32_t bit)
{
    if (m_free == 0) {
        m_stream.WriteByte(m_byte);
        m_byte = 0;
        m_free = 8;
    }
    m_byte = static_cast<uint8_t>((m_byte << 1) | (bit & 1u));
    --m_free;
}

void BitWriter::PutBits(uint32_t value, uint32_t count)
{
    assert(count <= 32 && "a field is at most 32 bits");
    for (uint32_t i = count; i > 0; --i)
        PutBit((value >> (i - 1)) & 1u);
    // A full byte goes out at once, so that a field ending on a byte boundary is in the stream before Finish.
    if (count > 0 && m_free == 0) {
        m_stream.WriteByte(m_byte);
        m_byte = 0;
        m_free = 8;
    }
}

void BitWriter::PutBits64(uint64_t value, uint32_t count)
{
    if (count > 32) {
        PutBits(static_cast<uint32_t>(value >> 32), count - 32);
        count = 32;
    }
    PutBits(static_cast<uint32_t>(value), count);
}

void BitWriter::PutFloat(float value)
{
    Put32(std::bit_cast<uint32_t>(value));
}

uint64_t BitWriter::BitCount() const
{
    return (static_cast<uint64_t>(m_stream.Size()) - kStreamHeaderBytes) * 8 + (8 - m_free);
}

std::vector<uint8_t> BitWriter::Finish()
{
    if (m_free < 8) {
        m_stream.WriteByte(static_cast<uint8_t>(m_byte << m_free));
        m_byte = 0;
        m_free = 8;
    }
    return m_stream.TakeBytes();
}

} // namespace px
