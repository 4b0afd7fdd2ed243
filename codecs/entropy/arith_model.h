#pragma once
// ArithModel: the frequency model of one arithmetic-coded run, adaptive or stored (static), that keeps symbols
// sorted by falling count. Symbol indices run 1..n+1, index n + 1 being the end symbol; index 0 is a sentinel
// whose count is 0 and whose cumulative count is the total. The counts, their rounding, the halving rule and the
// tie walk are part of the stored streams; only how they are computed may change.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class ArithModel {
public:
    // Code value widths: byte runs and the static run use 16-bit codes (total 8192), word runs 17-bit codes
    // (total 16300).
    static constexpr uint32_t kByteBits = 16;
    static constexpr uint32_t kWordBits = 17;
    // Largest alphabet of each width: the total must stay above n + 1 because counts never halve below 1.
    static constexpr uint32_t kMaxByteAlphabet = 8190;
    static constexpr uint32_t kMaxWordAlphabet = 16298;

    ArithModel(); // allocates the tables once; a failed allocation leaves the model not ready

    bool IsReady() const { return !m_valueToIndex.empty(); }
    bool Init(uint32_t n, uint32_t bits); // false: n is 0 or above the largest alphabet of that width
    void Start();                         // every count 1: where an adaptive run starts
    void CountFrequencies(std::span<const uint32_t> symbolValues); // a static run's counts, halved to the total
    void AppendCounts(std::vector<uint8_t>& out) const;            // the (n + 1) u16 counts a static run stores
    bool ReadCounts(std::span<const uint8_t> in, size_t& pos);     // false: short, or a total of 0 or too large
    void Update(uint32_t symbol);                                  // after each symbol of an adaptive run

    uint32_t Bits() const { return m_bits; }
    uint32_t EndSymbol() const { return m_endSymbol; }
    uint32_t Total() const { return m_total; }
    uint32_t IndexOf(uint32_t value) const { return m_valueToIndex[value]; }
    uint32_t ValueOf(uint32_t index) const { return m_indexToValue[index]; }
    uint32_t Cumulative(uint32_t index) const;  // sum of the counts of every index above index
    uint32_t FindSymbol(uint32_t target) const; // the first index whose cumulative count is not above target
    uint32_t DivideByTotal(uint32_t x) const;   // x / total for every x below 2^31

private:
    void RebuildCumulative();
    void HalveCounts();
    void RebuildBlock(uint32_t block);        // its inner cumulative counts and raised flag, from its counts
    void SumBlocks();                         // the block level and the total, from the blocks
    uint32_t TieStart(uint32_t symbol) const; // lowest index whose count and all counts up to symbol are equal

    // Cumulative counts are kept in two levels so that an increment touches at most one block of indices and the
    // block sums before it: the cumulative count of index i is m_innerCumulative[i] (counts above i within its
    // block) plus m_blockCumulative of its block (counts of every later block). Both fit 15 bits, the total never
    // passing 16319, and are signed for the vector compares.
    std::vector<uint32_t> m_valueToIndex;    // 16383 entries
    std::vector<uint32_t> m_indexToValue;    // 16385 entries
    std::vector<uint16_t> m_count;           // 16385 entries and zero counts to the end of the last block
    std::vector<int16_t> m_innerCumulative;  // as m_count
    std::vector<int16_t> m_blockCumulative;  // one per block, then zeros to whole groups of lanes
    std::vector<uint8_t> m_raised;           // per block: 1 when it may hold a count above 1
    uint32_t m_total = 0;                    // the cumulative count of index 0
    uint64_t m_totalReciprocal = 0;          // ceil(2^63 / m_total), which divides by it exactly
    const uint64_t* m_reciprocals = nullptr; // the process's table of those, built once and kept

    uint32_t m_n = 0;
    uint32_t m_bits = 0;
    uint32_t m_endSymbol = 0;
    uint32_t m_blockShift = 0; // log2 of the run's block size
    uint32_t m_blockSize = 0;
    uint32_t m_blocks = 0;     // blocks holding indices 0..n+1
    uint32_t m_blockLanes = 0; // m_blocks rounded up to whole groups of lanes
    uint32_t m_maxTotal = 0;
};

// Called for every symbol twice or more, so the coder's files see them whole.
inline uint32_t ArithModel::Cumulative(uint32_t index) const
{
    return static_cast<uint32_t>(m_innerCumulative[index] + m_blockCumulative[index >> m_blockShift]);
}

// With r = ceil(2^63 / total) the high half of 2x * r is exactly x / total for every x below 2^31 (the error
// x * (r * total - 2^63) / 2^63 stays below 1 / total because total is below 2^14). Every product of a coder's range
// and a cumulative count is below 2^31.
inline uint32_t ArithModel::DivideByTotal(uint32_t x) const
{
    __extension__ using Wide = unsigned __int128;
    return static_cast<uint32_t>((Wide{uint64_t{x} << 1} * m_totalReciprocal) >> 64);
}
