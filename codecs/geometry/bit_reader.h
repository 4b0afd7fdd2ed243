#pragma once
// BitReader: reads a stream's body most significant bit first. Bits past the end read as 0 and set a sticky
// overrun mark; a decoder treats any overrun as a damaged stream and checks every count it reads against
// RemainingBits() before it allocates.
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace px {

class BitReader {
public:
    static constexpr uint32_t kWindowBits = 57; // a 64-bit load less the 7 bits the position may sit into a byte

    BitReader() = default;
    // Checks the 8-byte header and positions the reader after it; false (and an empty reader) when not valid.
    bool Open(std::span<const uint8_t> stream);

    uint32_t GetBit();
    uint32_t GetBits(uint32_t count);   // count 0..32; 0 returns 0
    uint64_t GetBits64(uint32_t count); // count 0..64
    // The next kWindowBits bits at the top of the word, without reading them; bits past the end are 0.
    uint64_t PeekWindow() const;
    void SkipBits(uint64_t count); // past the end it stops there and marks the overrun
    int32_t GetSigned32() { return static_cast<int32_t>(GetBits(32)); }
    float GetFloat();

    uint8_t Version() const { return m_version; }
    uint8_t Kind() const { return m_kind; }
    uint64_t RemainingBits() const { return m_totalBits > m_bitPos ? m_totalBits - m_bitPos : 0; }
    bool Overrun() const { return m_overrun; } // a read went past the end of the stream

private:
    std::span<const uint8_t> m_body; // not owned: the caller's stream outlives the reader
    uint64_t m_bitPos = 0;
    uint64_t m_totalBits = 0;
    uint8_t m_version = 0;
    uint8_t m_kind = 0;
    bool m_overrun = false;
};

// The field readers are defined here so that a decoder's per-code loop inlines them: a call per code cost more
// than the load and shift they do.
inline uint32_t BitReader::GetBit()
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

inline uint32_t BitReader::GetBits(uint32_t count)
{
    assert(count <= 32 && "a field is at most 32 bits");
    if (count == 0)
        return 0;
    const uint32_t value = static_cast<uint32_t>(PeekWindow() >> (64 - count));
    SkipBits(count);
    return value;
}

inline uint64_t BitReader::PeekWindow() const
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

inline void BitReader::SkipBits(uint64_t count)
{
    if (count > RemainingBits()) {
        m_bitPos = m_totalBits;
        m_overrun = true;
        return;
    }
    m_bitPos += count;
}

// Opens an attribute stream, whose body starts with its 16-bit object count: PX_OK, PX_ERR for a damaged stream, or
// PX_EMPTYBITSTREAM when the count is not objectCount (the stream was written for another mesh).
int OpenObjectStream(BitReader& in, std::span<const uint8_t> stream, size_t objectCount);

} // namespace px
