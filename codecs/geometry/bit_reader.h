#pragma once
// BitReader: reads a stream's body most significant bit first. Bits past the end read as 0 and set a sticky
// overrun mark; a decoder treats any overrun as a damaged stream and checks every count it reads against
// RemainingBits() before it allocates.
#include <cstddef>
#include <cstdint>
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

// Opens an attribute stream, whose body starts with its 16-bit object count: PX_OK, PX_ERR for a damaged stream, or
// PX_EMPTYBITSTREAM when the count is not objectCount (the stream was written for another mesh).
int OpenObjectStream(BitReader& in, std::span<const uint8_t> stream, size_t objectCount);

} // namespace px
