#include "codecs/geometry/mem_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace px {

void PXMemStream::Reserve(uint32_t extraBytes)
{
    const int64_t need = static_cast<int64_t>(m_size) + extraBytes - m_capacity;
    if (need <= 0)
        return;
    const uint64_t grown = m_capacity + (static_cast<uint64_t>(need) / kGrowthBytes + 1) * kGrowthBytes;
    if (grown > UINT32_MAX)
        throw std::bad_alloc(); // a stream's length is stored in 32 bits
    m_buffer.resize(grown);
    m_capacity = static_cast<uint32_t>(grown);
}

void PXMemStream::Write(std::span<const uint8_t> bytes)
{
    if (bytes.empty())
        return;
    if (bytes.size() > UINT32_MAX - m_size)
        throw std::bad_alloc();
    Reserve(static_cast<uint32_t>(bytes.size()));
    std::memcpy(m_buffer.data() + m_size, bytes.data(), bytes.size());
    m_size += static_cast<uint32_t>(bytes.size());
}

void PXMemStream::WriteByte(uint8_t byte)
{
    if (m_size == m_capacity)
        Reserve(1);
    m_buffer[m_size++] = byte;
}

uint32_t PXMemStream::Read(std::span<uint8_t> out)
{
    const uint32_t count = static_cast<uint32_t>(std::min<size_t>(out.size(), m_size - m_readPos));
    if (count > 0)
        std::memcpy(out.data(), m_buffer.data() + m_readPos, count);
    m_readPos += count;
    return count;
}

std::vector<uint8_t> PXMemStream::TakeBytes()
{
    m_buffer.resize(m_size);
    std::vector<uint8_t> bytes = std::move(m_buffer);
    m_buffer = {};
    m_size = m_capacity = m_readPos = 0;
    return bytes;
}

} // namespace px
