#include "codecs/entropy/arith_model.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "platform/base/endian.h"

// Speed comes only from how the classic model is computed: cumulative counts live in two levels that are updated
// and searched eight lanes at a time, and the total divides by a multiplication.

namespace {

constexpr uint32_t kValueEntries = 16383;
constexpr uint32_t kIndexEntries = 16385;
constexpr uint32_t kIncrement = 10;
constexpr uint32_t kByteMaxTotal = 8192;
constexpr uint32_t kWordMaxTotal = 16300;

// Eight 16-bit lanes: one SSE2 or NEON register where there is one, plain code elsewhere.
using Lanes = int16_t __attribute__((vector_size(16)));
using CountLanes = uint16_t __attribute__((vector_size(16)));
constexpr uint32_t kLanes = 8;

// Blocks of about the square root of the alphabet keep both levels short: 16 indices for the byte alphabets
// (17 blocks for 257 values), up to 128 for the largest word alphabets (129 blocks).
constexpr uint32_t kSmallestBlockShift = 4;
constexpr uint32_t kLargestBlockShift = 7;
constexpr uint32_t kMaxBlocks = 136; // 129 rounded up to whole lanes
constexpr uint32_t kPaddedEntries = kMaxBlocks << kLargestBlockShift;
static_assert((kIndexEntries + (1u << kLargestBlockShift) - 1) >> kLargestBlockShift <= kMaxBlocks);

uint32_t BlockShiftFor(uint32_t indices)
{
    uint32_t shift = kSmallestBlockShift;
    while (shift < kLargestBlockShift && (indices >> (2 * shift)) > 1)
        ++shift;
    return shift;
}

uint32_t MaxAlphabet(uint32_t bits)
{
    return bits == ArithModel::kWordBits ? ArithModel::kMaxWordAlphabet : ArithModel::kMaxByteAlphabet;
}

// kIncrement in the first half, 0 in the second: a window starting k entries before the middle adds kIncrement to
// its first k entries and nothing to the rest, for any k up to a block or up to the block count.
constexpr uint32_t kRowMiddle = kMaxBlocks + kLanes;
constexpr std::array<int16_t, 2 * kRowMiddle> kIncrementRow = [] {
    std::array<int16_t, 2 * kRowMiddle> row{};
    for (uint32_t j = 0; j < kRowMiddle; ++j)
        row[j] = static_cast<int16_t>(kIncrement);
    return row;
}();
static_assert(kRowMiddle >= (1u << kLargestBlockShift) && kRowMiddle >= kMaxBlocks);

// Lane groups start at any 16-bit entry, so they are copied in and out rather than read through a vector pointer,
// which would claim the vector's 16-byte alignment; compilers make the copy one unaligned load or store.
Lanes LoadLanes(const int16_t* at)
{
    Lanes lanes;
    std::memcpy(&lanes, at, sizeof lanes);
    return lanes;
}

void StoreLanes(int16_t* at, Lanes lanes)
{
    std::memcpy(at, &lanes, sizeof lanes);
}

// Lanes hold small counts (at most a few hundred), so adding the two halves and then the four 16-bit fields of
// the sum by one multiplication never carries between fields.
uint32_t SumLanes(Lanes lanes)
{
    uint64_t halves[2];
    std::memcpy(halves, &lanes, sizeof halves);
    return static_cast<uint32_t>(((halves[0] + halves[1]) * 0x0001000100010001ull) >> 48);
}

// Halving comes before the increment, but may leave the total at the maximum when nearly every count is 1: it
// halves the excess of the counts over 1, so with the increment the total settles below n + 1 + 2 x 10, and the
// largest word alphabet (16298) can reach 16319.
constexpr uint32_t kLargestTotal = ArithModel::kMaxWordAlphabet + 1 + 2 * kIncrement;
static_assert(kLargestTotal < (1u << 14) && kLargestTotal >= kWordMaxTotal - 1 + kIncrement);

const std::array<uint64_t, kLargestTotal + 1>& TotalReciprocals()
{
    static const std::array<uint64_t, kLargestTotal + 1> table = [] {
        std::array<uint64_t, kLargestTotal + 1> reciprocals{};
        for (uint64_t total = 1; total <= kLargestTotal; ++total)
            reciprocals[total] = ((uint64_t{1} << 63) - 1) / total + 1;
        return reciprocals;
    }();
    return table;
}

bool AllLanesEqual(const uint16_t* at, uint16_t value)
{
    CountLanes lanes;
    std::memcpy(&lanes, at, sizeof lanes);
    const auto equal = lanes == value;
    uint64_t halves[2];
    std::memcpy(halves, &equal, sizeof halves);
    return (halves[0] & halves[1]) == ~uint64_t{0};
}

} // namespace

ArithModel::ArithModel()
{
    try {
        m_valueToIndex.assign(kValueEntries, 0);
        m_indexToValue.assign(kIndexEntries, 0);
        m_count.assign(kPaddedEntries, 0);
        m_innerCumulative.assign(kPaddedEntries, 0);
        m_blockCumulative.assign(kMaxBlocks + kLanes, 0);
        m_raised.assign(kMaxBlocks, 0);
        m_reciprocals = TotalReciprocals().data();
    } catch (const std::bad_alloc&) {
        m_valueToIndex.clear();
    }
}

// The alphabet bound keeps n + 1 below the model's total (counts never halve below 1, so a larger alphabet could
// never be brought under it) and every index inside the tables.
bool ArithModel::Init(uint32_t n, uint32_t bits)
{
    if (n == 0 || n > MaxAlphabet(bits))
        return false;
    m_n = n;
    m_bits = bits;
    m_endSymbol = n + 1;
    m_blockShift = BlockShiftFor(m_endSymbol + 1);
    m_blockSize = 1u << m_blockShift;
    m_blocks = (m_endSymbol >> m_blockShift) + 1;
    m_blockLanes = (m_blocks + kLanes - 1) / kLanes * kLanes;
    m_maxTotal = bits == kWordBits ? kWordMaxTotal : kByteMaxTotal;
    return true;
}

// Indices past the end symbol, up to the end of its block, keep count 0 so that block sums need no bound.
void ArithModel::Start()
{
    for (uint32_t v = 0; v < m_n; ++v) {
        m_valueToIndex[v] = v + 1;
        m_indexToValue[v + 1] = v;
    }
    const uint32_t padded = m_blocks * m_blockSize;
    m_count[0] = 0;
    for (uint32_t i = 1; i < padded; ++i)
        m_count[i] = i <= m_endSymbol ? 1 : 0;
    RebuildCumulative();
}

void ArithModel::CountFrequencies(std::span<const uint32_t> symbolValues)
{
    Start();
    for (const uint32_t sv : symbolValues) {
        uint16_t& count = m_count[m_valueToIndex[sv]];
        if (count != 0xFFFF)
            ++count;
    }
    uint32_t total = 0; // at most 8191 counts of 65535: fits
    for (uint32_t i = 1; i <= m_endSymbol; ++i)
        total += m_count[i];
    while (total > m_maxTotal) {
        total = 0;
        for (uint32_t i = 1; i <= m_endSymbol; ++i) {
            m_count[i] = static_cast<uint16_t>((m_count[i] + 1u) / 2);
            total += m_count[i];
        }
    }
    RebuildCumulative();
}

void ArithModel::AppendCounts(std::vector<uint8_t>& out) const
{
    for (uint32_t i = 1; i <= m_endSymbol; ++i) {
        out.push_back(static_cast<uint8_t>(m_count[i]));
        out.push_back(static_cast<uint8_t>(m_count[i] >> 8));
    }
}

// The stored counts are the encoder's halved counts: their total must lie in 1..8192, or the decoder would divide
// by zero or overflow its 32-bit products.
bool ArithModel::ReadCounts(std::span<const uint8_t> in, size_t& pos)
{
    Start();
    const size_t countBytes = size_t{m_endSymbol} * 2;
    if (in.size() - pos < countBytes)
        return false;
    uint64_t total = 0;
    for (uint32_t i = 1; i <= m_endSymbol; ++i) {
        m_count[i] = pf::loadU16le(&in[pos]);
        total += m_count[i];
        pos += 2;
    }
    if (total == 0 || total > m_maxTotal)
        return false;
    RebuildCumulative();
    return true;
}

// Only indices below the incremented one change their cumulative count: the rest of its block and the blocks
// before it. Each is added as a window onto a row of increments followed by zeros, a few vector adds and no branch.
void ArithModel::Update(uint32_t symbol)
{
    if (m_total >= m_maxTotal)
        HalveCounts();
    const uint32_t i = TieStart(symbol);
    if (i < symbol) {
        const uint32_t valueI = m_indexToValue[i];
        const uint32_t valueSymbol = m_indexToValue[symbol];
        m_indexToValue[i] = valueSymbol;
        m_indexToValue[symbol] = valueI;
        m_valueToIndex[valueI] = symbol;
        m_valueToIndex[valueSymbol] = i;
    }
    m_count[i] = static_cast<uint16_t>(m_count[i] + kIncrement);
    m_total += kIncrement;
    m_totalReciprocal = m_reciprocals[m_total];
    const uint32_t block = i >> m_blockShift;
    m_raised[block] = 1;

    const uint32_t base = block << m_blockShift;
    const int16_t* innerIncrements = kIncrementRow.data() + kRowMiddle - (i - base);
    int16_t* inner = m_innerCumulative.data() + base;
    for (uint32_t j = 0; j < m_blockSize; j += kLanes)
        StoreLanes(inner + j, LoadLanes(inner + j) + LoadLanes(innerIncrements + j));

    // Alphabets of up to 32 blocks (below 510 values) take all their block lanes, with no branch on where the block
    // lies; larger ones stop after the block's own group of lanes, for their mostly small values the first.
    const uint32_t blockLanes = m_blockLanes <= 4 * kLanes ? m_blockLanes : (block / kLanes + 1) * kLanes;
    const int16_t* blockIncrements = kIncrementRow.data() + kRowMiddle - block;
    int16_t* blocks = m_blockCumulative.data();
    for (uint32_t b = 0; b < blockLanes; b += kLanes)
        StoreLanes(blocks + b, LoadLanes(blocks + b) + LoadLanes(blockIncrements + b));
}

// Cumulative counts never rise with the index, so the first block whose later blocks sum to at most the target
// holds it, and within that block it is found by counting the entries still above. Index 0 is never chosen: the
// target lies below the total.
uint32_t ArithModel::FindSymbol(uint32_t target) const
{
    const auto wanted = static_cast<int16_t>(target);
    const int16_t* blocks = m_blockCumulative.data();
    Lanes above{};
    for (uint32_t b = 0; b < m_blockLanes; b += kLanes)
        above -= LoadLanes(blocks + b) > wanted;
    const uint32_t block = SumLanes(above);
    const auto within = static_cast<int16_t>(wanted - blocks[block]);
    const int16_t* inner = m_innerCumulative.data() + (block << m_blockShift);
    above = Lanes{};
    for (uint32_t j = 0; j < m_blockSize; j += kLanes)
        above -= LoadLanes(inner + j) > within;
    return (block << m_blockShift) + SumLanes(above);
}

// From the counts of indices 0..n+1: both cumulative levels and the total.
void ArithModel::RebuildCumulative()
{
    for (uint32_t b = 0; b < m_blocks; ++b)
        RebuildBlock(b);
    SumBlocks();
}

// Counts of 1 stay 1 and the padding's 0 stays 0, so a block without a larger count is left as it is. Models of
// large alphabets reach the total with few counts above 1 and halve after nearly every symbol; they rebuild a few
// blocks, not thousands of indices.
void ArithModel::HalveCounts()
{
    for (uint32_t b = 0; b < m_blocks; ++b) {
        if (m_raised[b] == 0)
            continue;
        uint16_t* count = m_count.data() + b * m_blockSize;
        for (uint32_t j = 0; j < m_blockSize; ++j)
            count[j] = static_cast<uint16_t>((count[j] + 1u) / 2);
        RebuildBlock(b);
    }
    SumBlocks();
}

void ArithModel::RebuildBlock(uint32_t block)
{
    const uint32_t base = block * m_blockSize;
    const uint16_t* count = m_count.data() + base;
    int16_t* inner = m_innerCumulative.data() + base;
    uint32_t above = 0;
    uint32_t largest = 0;
    for (uint32_t j = m_blockSize; j-- > 0;) {
        inner[j] = static_cast<int16_t>(above);
        above += count[j];
        largest = std::max<uint32_t>(largest, count[j]);
    }
    m_raised[block] = largest > 1 ? 1 : 0;
}

// Blocks past the last keep 0, which no target lies below, so the search and the increments take whole lanes.
void ArithModel::SumBlocks()
{
    std::fill(m_blockCumulative.begin() + m_blocks, m_blockCumulative.end(), int16_t{0});
    uint32_t later = 0;
    for (uint32_t b = m_blocks; b-- > 0;) {
        m_blockCumulative[b] = static_cast<int16_t>(later);
        const uint32_t base = b * m_blockSize;
        later += static_cast<uint32_t>(m_innerCumulative[base]) + m_count[base];
    }
    m_total = later;
    m_totalReciprocal = m_reciprocals[later];
}

// The walk down the run of equal counts is usually a step or none; early in a run of a large alphabet, where most
// counts are still 1, it is long and goes eight counts at a time. count[0] is 0 and every other count at least 1,
// so the walk stops at index 1.
uint32_t ArithModel::TieStart(uint32_t symbol) const
{
    const uint16_t* count = m_count.data();
    const uint16_t equal = count[symbol];
    uint32_t i = symbol;
    if (count[i - 1] != equal)
        return i;
    while (i >= kLanes && AllLanesEqual(count + i - kLanes, equal))
        i -= kLanes;
    while (count[i - 1] == equal)
        --i;
    return i;
}
