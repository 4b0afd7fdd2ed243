#pragma once
// PXMemStream: the growable byte buffer that every geometry-codec stream is built in.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace px {

class PXMemStream {
public:
    static constexpr uint32_t kGrowthBytes = 16384; // capacity grows in whole blocks of this size

    uint32_t Size() const { return m_size; }         // bytes written so far
    uint32_t Capacity() const { return m_capacity; } // bytes reserved, a multiple of kGrowthBytes
    uint32_t ReadPos() const { return m_readPos; }
    std::span<const uint8_t> Bytes() const { return {m_buffer.data(), m_size}; }

    void Write(std::span<const uint8_t> bytes); // may throw std::bad_alloc; entry points catch it
    void WriteByte(uint8_t byte);               // the same for one byte
    uint32_t Read(std::span<uint8_t> out);      // copies min(n, size - readPos) bytes; returns the count
    void Rewind() { m_readPos = 0; }
    std::vector<uint8_t> TakeBytes(); // the written bytes; the stream is empty afterwards

private:
    void Reserve(uint32_t extraBytes);

    std::vector<uint8_t> m_buffer;
    uint32_t m_size = 0;
    uint32_t m_capacity = 0;
    uint32_t m_readPos = 0;
};

} // namespace px
