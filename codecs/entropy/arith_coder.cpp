#include "codecs/entropy/arith_coder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>

#include "platform/base/endian.h"

// Sections: constants and bit order; runs (public entry points); model; encoder; decoder; run loops.
//
// The stored streams are a format, so speed comes only from how the classic model and coder are computed: the
// counts, their rounding, the halving rule and the tie walk are unchanged, but cumulative counts live in two levels
// that are updated and searched eight lanes at a time, the model's total divides by a multiplication, and the
// renormalisation shifts out all leading bits that low and high share and all pending (underflow) steps at once,
// which is what the bit-by-bit loop does one step at a time.

namespace {

constexpr uint32_t kValueEntries = 16383;
constexpr uint32_t kIndexEntries = 16385;
constexpr uint32_t kIncrement = 10;
constexpr uint32_t kByteBits = 16;
constexpr uint32_t kWordBits = 17;
constexpr uint32_t kByteMaxTotal = 8192;
constexpr uint32_t kWordMaxTotal = 16300;
// A sound decoder never reads more than two bytes past what its encoder wrote; beyond this the input is cut.
constexpr size_t kReadAheadSlack = 4;

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
    return bits == kWordBits ? ArithCoder::kMaxWordAlphabet : ArithCoder::kMaxByteAlphabet;
}

// The stream stores the first coded bit in bit 0 of a byte; the coder works most significant bit first, so bytes
// are mirrored on their way out and in.
constexpr std::array<uint8_t, 256> kMirrored = [] {
    std::array<uint8_t, 256> table{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t m = 0;
        for (uint32_t bit = 0; bit < 8; ++bit)
            m |= ((b >> bit) & 1u) << (7 - bit);
        table[b] = static_cast<uint8_t>(m);
    }
    return table;
}();

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

// Division by the model's total, which every symbol does twice, as a multiplication: with r = ceil(2^63 / total)
// the high half of 2x * r is exactly x / total for every x below 2^31 (the error x * (r * total - 2^63) / 2^63
// stays below 1 / total because total is below 2^14). Every product of a range and a cumulative count is below 2^31.
// Halving comes before the increment, but may leave the total at the maximum when nearly every count is 1: it
// halves the excess of the counts over 1, so with the increment the total settles below n + 1 + 2 x 10, and the
// largest word alphabet (16298) can reach 16319.
constexpr uint32_t kLargestTotal = ArithCoder::kMaxWordAlphabet + 1 + 2 * kIncrement;
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

uint32_t DivideByTotal(uint32_t x, uint64_t reciprocal)
{
    __extension__ using Wide = unsigned __int128;
    return static_cast<uint32_t>((Wide{uint64_t{x} << 1} * reciprocal) >> 64);
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

// count <= 31
uint32_t LowBits(uint32_t count)
{
    return (1u << count) - 1;
}

} // namespace

struct ArithCoder::Encoder {
    uint32_t low = 0;
    uint32_t high = 0;
    uint32_t pending = 0;  // underflow bits owed, written opposite to the next settled bit
    uint64_t bits = 0;     // settled bits not yet stored, the oldest highest; only the low `bitCount` count
    uint32_t bitCount = 0; // below 32 between calls
    std::vector<uint8_t>* out = nullptr; // the run's output, not owned

    // Appends the low `count` bits of value (count <= 32), most significant first.
    void Put(uint32_t value, uint32_t count)
    {
        bits = (bits << count) | value;
        bitCount += count;
        if (bitCount >= 32) {
            bitCount -= 32;
            const auto word = static_cast<uint32_t>(bits >> bitCount);
            const uint8_t bytes[4] = {kMirrored[word >> 24], kMirrored[(word >> 16) & 0xFF],
                                      kMirrored[(word >> 8) & 0xFF], kMirrored[word & 0xFF]};
            out->insert(out->end(), bytes, bytes + 4);
        }
    }

    // A settled bit, then the pending bits that it resolves.
    void PutWithPending(uint32_t bit)
    {
        Put(bit, 1);
        const uint32_t fill = bit != 0 ? 0u : 0xFFFFFFFFu;
        for (; pending >= 32; pending -= 32)
            Put(fill, 32);
        Put(fill & LowBits(pending), pending);
        pending = 0;
    }

    // The last partial byte keeps its bits at the bottom, the rest 0.
    void Flush()
    {
        for (; bitCount >= 8; bitCount -= 8)
            out->push_back(kMirrored[(bits >> (bitCount - 8)) & 0xFF]);
        if (bitCount > 0)
            out->push_back(kMirrored[(bits << (8 - bitCount)) & 0xFF]);
        bitCount = 0;
    }
};

struct ArithCoder::Decoder {
    uint32_t low = 0;
    uint32_t high = 0;
    uint32_t value = 0;
    uint64_t window = 0; // the next input bits, the oldest highest; `windowBits` of them are real
    uint32_t windowBits = 0;
    uint64_t bitsTaken = 0;      // bits the coder has used, which tells the bytes it has read
    std::span<const uint8_t> in; // the run's input, not owned
    size_t next = 0;             // next byte to load into the window; past the input's end bytes read as 0

    // The next `count` bits (count <= 32), most significant first.
    uint32_t Take(uint32_t count)
    {
        if (windowBits < count)
            Refill();
        const auto taken = static_cast<uint32_t>((window >> 1) >> (63 - count));
        window <<= count;
        windowBits -= count;
        bitsTaken += count;
        return taken;
    }

    void Refill()
    {
        for (; windowBits <= 56; windowBits += 8, ++next) {
            const uint8_t byte = next < in.size() ? in[next] : 0;
            window |= uint64_t{kMirrored[byte]} << (56 - windowBits);
        }
    }
};

ArithCoder::ArithCoder()
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

ArithRun ArithCoder::EncodeSignedBytes(std::vector<uint8_t>& out, std::span<const int8_t> values, uint32_t n)
{
    const int32_t offset = SignedOffset(n);
    return EncodeAdaptive(out, values, n, kByteBits, [offset](int8_t v) { return int32_t{v} + offset; });
}

ArithRun ArithCoder::EncodeBytes(std::vector<uint8_t>& out, std::span<const uint8_t> values, uint32_t n)
{
    return EncodeAdaptive(out, values, n, kByteBits, [](uint8_t v) { return int32_t{v}; });
}

ArithRun ArithCoder::EncodeWords(std::vector<uint8_t>& out, std::span<const int16_t> values, uint32_t n)
{
    const int32_t offset = SignedOffset(n);
    return EncodeAdaptive(out, values, n, kWordBits, [offset](int16_t v) { return int32_t{v} + offset; });
}

ArithRun ArithCoder::EncodeStatic(std::vector<uint8_t>& out, std::span<const int8_t> values, uint32_t n)
{
    if (m_valueToIndex.empty())
        return {ArithStatus::kOutOfMemory, 0, 0};
    if (!Init(n, kByteBits))
        return {ArithStatus::kBadAlphabet, 0, 0};
    const int32_t offset = SignedOffset(n);
    std::vector<uint32_t> symbolValues;
    try {
        symbolValues.reserve(values.size());
    } catch (const std::bad_alloc&) {
        return {ArithStatus::kOutOfMemory, 0, 0};
    }
    for (const int8_t v : values) {
        const int32_t sv = int32_t{v} + offset;
        if (sv < 0 || static_cast<uint32_t>(sv) >= n)
            return {ArithStatus::kValueOutOfRange, 0, 0};
        symbolValues.push_back(static_cast<uint32_t>(sv));
    }
    CountFrequencies(symbolValues);

    const size_t start = out.size();
    try {
        for (uint32_t i = 1; i <= m_endSymbol; ++i) {
            out.push_back(static_cast<uint8_t>(m_count[i]));
            out.push_back(static_cast<uint8_t>(m_count[i] >> 8));
        }
        size_t at = 0;
        EncodeSymbols(out, symbolValues.size(), false, [&] { return symbolValues[at++]; });
    } catch (const std::bad_alloc&) {
        out.resize(start);
        return {ArithStatus::kOutOfMemory, 0, 0};
    }
    return {ArithStatus::kOk, out.size() - start, values.size()};
}

ArithRun ArithCoder::DecodeSignedBytes(std::span<const uint8_t> in, std::span<int8_t> out, uint32_t n)
{
    const int32_t offset = SignedOffset(n);
    return DecodeRun(in, out, n, kByteBits, false,
                     [offset](uint32_t sv) { return static_cast<int8_t>(static_cast<int32_t>(sv) - offset); });
}

ArithRun ArithCoder::DecodeBytes(std::span<const uint8_t> in, std::span<uint8_t> out, uint32_t n)
{
    return DecodeRun(in, out, n, kByteBits, false, [](uint32_t sv) { return static_cast<uint8_t>(sv); });
}

ArithRun ArithCoder::DecodeWords(std::span<const uint8_t> in, std::span<int16_t> out, uint32_t n)
{
    const int32_t offset = SignedOffset(n);
    return DecodeRun(in, out, n, kWordBits, false,
                     [offset](uint32_t sv) { return static_cast<int16_t>(static_cast<int32_t>(sv) - offset); });
}

ArithRun ArithCoder::DecodeStatic(std::span<const uint8_t> in, std::span<int8_t> out, uint32_t n)
{
    const int32_t offset = SignedOffset(n);
    return DecodeRun(in, out, n, kByteBits, true,
                     [offset](uint32_t sv) { return static_cast<int8_t>(static_cast<int32_t>(sv) - offset); });
}

// The alphabet bound keeps n + 1 below the model's total (counts never halve below 1, so a larger alphabet could
// never be brought under it) and every index inside the tables.
bool ArithCoder::Init(uint32_t n, uint32_t bits)
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
    m_top = (1u << bits) - 1;
    m_firstQuarter = m_top / 4 + 1;
    m_half = 2 * m_firstQuarter;
    m_thirdQuarter = 3 * m_firstQuarter;
    m_maxTotal = bits == kWordBits ? kWordMaxTotal : kByteMaxTotal;
    return true;
}

// Indices past the end symbol, up to the end of its block, keep count 0 so that block sums need no bound.
void ArithCoder::StartModel()
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

void ArithCoder::CountFrequencies(std::span<const uint32_t> symbolValues)
{
    StartModel();
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

// The stored counts are the encoder's halved counts: their total must lie in 1..8192, or the decoder would divide
// by zero or overflow its 32-bit products.
bool ArithCoder::ReadModel(std::span<const uint8_t> in, size_t& pos)
{
    StartModel();
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

// From the counts of indices 0..n+1: both cumulative levels and the total.
void ArithCoder::RebuildCumulative()
{
    for (uint32_t b = 0; b < m_blocks; ++b)
        RebuildBlock(b);
    SumBlocks();
}

// Counts of 1 stay 1 and the padding's 0 stays 0, so a block without a larger count is left as it is. Models of
// large alphabets reach the total with few counts above 1 and halve after nearly every symbol; they rebuild a few
// blocks, not thousands of indices.
void ArithCoder::HalveCounts()
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

void ArithCoder::RebuildBlock(uint32_t block)
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
void ArithCoder::SumBlocks()
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

// Only indices below the incremented one change their cumulative count: the rest of its block and the blocks
// before it. Each is added as a window onto a row of increments followed by zeros, a few vector adds and no branch.
void ArithCoder::UpdateModel(uint32_t symbol)
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

uint32_t ArithCoder::Cumulative(uint32_t index) const
{
    return static_cast<uint32_t>(m_innerCumulative[index] + m_blockCumulative[index >> m_blockShift]);
}

// The walk down the run of equal counts is usually a step or none; early in a run of a large alphabet, where most
// counts are still 1, it is long and goes eight counts at a time. count[0] is 0 and every other count at least 1,
// so the walk stops at index 1.
uint32_t ArithCoder::TieStart(uint32_t symbol) const
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

// The first index whose cumulative count is not above the target. Cumulative counts never rise with the index,
// so the first block whose later blocks sum to at most the target holds it, and within that block it is found by
// counting the entries still above. Index 0 is never chosen: the target lies below the total.
uint32_t ArithCoder::FindSymbol(uint32_t target) const
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

// After narrowing, low and high first shed the leading bits they share (each settles one output bit), then the
// underflow steps: while low is 01... and high 10..., the second bit of both is dropped and one bit is owed. Both
// are counted from the bits at once; the effect on low, high and the output is that of the steps taken singly.
void ArithCoder::EncodeSymbol(Encoder& encoder, uint32_t symbol) const
{
    const uint32_t width = m_bits;
    const uint32_t range = encoder.high - encoder.low + 1;
    uint32_t high = encoder.low + DivideByTotal(range * Cumulative(symbol - 1), m_totalReciprocal) - 1;
    uint32_t low = encoder.low + DivideByTotal(range * Cumulative(symbol), m_totalReciprocal);

    const uint32_t shared = width - static_cast<uint32_t>(std::bit_width(low ^ high));
    if (shared != 0) {
        const uint32_t settled = low >> (width - shared);
        if (encoder.pending != 0) {
            encoder.PutWithPending(settled >> (shared - 1));
            encoder.Put(settled & LowBits(shared - 1), shared - 1);
        } else {
            encoder.Put(settled, shared);
        }
        low = (low << shared) & m_top;
        high = ((high << shared) | LowBits(shared)) & m_top;
    }
    // A 0 in `straddle` marks a step that underflows: low has a 1 there and high a 0. The shifted-in bits (0 in low,
    // 1 in high) never do, hence the 1 at the bottom.
    const uint32_t straddle = ((((low ^ m_top) | high) << 1) | 1) & m_top;
    const uint32_t underflows = width - static_cast<uint32_t>(std::bit_width(straddle));
    encoder.pending += underflows;
    encoder.low = (low << underflows) & (m_top >> 1);
    encoder.high = ((high << underflows) & m_top) | m_half | LowBits(underflows);
}

uint32_t ArithCoder::DecodeSymbol(Decoder& decoder) const
{
    const uint32_t width = m_bits;
    const uint32_t range = decoder.high - decoder.low + 1;
    const uint32_t target = ((decoder.value - decoder.low + 1) * m_total - 1) / range;
    // Quantised bands are mostly one value, which the model keeps at index 1: one compare finds it, and for the
    // flatter byte streams of sound the branch is as well predicted the other way.
    const uint32_t symbol = Cumulative(1) <= target ? 1 : FindSymbol(target);
    if (symbol == m_endSymbol)
        return symbol;
    uint32_t high = decoder.low + DivideByTotal(range * Cumulative(symbol - 1), m_totalReciprocal) - 1;
    uint32_t low = decoder.low + DivideByTotal(range * Cumulative(symbol), m_totalReciprocal);
    uint32_t value = decoder.value;

    // As in the encoder; value lies between low and high, so it shares their leading bits and, in the underflow
    // steps, the bit dropped from it is the one dropped from them.
    const uint32_t shared = width - static_cast<uint32_t>(std::bit_width(low ^ high));
    if (shared != 0) {
        value = ((value << shared) & m_top) | decoder.Take(shared);
        low = (low << shared) & m_top;
        high = ((high << shared) | LowBits(shared)) & m_top;
    }
    const uint32_t straddle = ((((low ^ m_top) | high) << 1) | 1) & m_top;
    const uint32_t underflows = width - static_cast<uint32_t>(std::bit_width(straddle));
    if (underflows != 0) {
        value = (value & m_half) | ((value << underflows) & (m_top >> 1)) | decoder.Take(underflows);
        low = (low << underflows) & (m_top >> 1);
        high = ((high << underflows) & m_top) | m_half | LowBits(underflows);
    }
    decoder.low = low;
    decoder.high = high;
    decoder.value = value;
    return symbol;
}

// Codes count values from nextValue(), then the end symbol and the flush; an adaptive run updates after each.
template <typename Next>
void ArithCoder::EncodeSymbols(std::vector<uint8_t>& out, size_t count, bool adaptive, Next nextValue)
{
    Encoder encoder;
    encoder.high = m_top;
    encoder.out = &out;
    for (size_t k = 0; k < count; ++k) {
        const uint32_t symbol = m_valueToIndex[nextValue()];
        EncodeSymbol(encoder, symbol);
        if (adaptive)
            UpdateModel(symbol);
    }
    EncodeSymbol(encoder, m_endSymbol);
    ++encoder.pending;
    encoder.PutWithPending(encoder.low < m_firstQuarter ? 0 : 1);
    encoder.Flush();
}

template <typename Value, typename ToSymbolValue>
ArithRun ArithCoder::EncodeAdaptive(std::vector<uint8_t>& out, std::span<const Value> values, uint32_t n, uint32_t bits,
                                    ToSymbolValue toSymbolValue)
{
    if (m_valueToIndex.empty())
        return {ArithStatus::kOutOfMemory, 0, 0};
    if (!Init(n, bits))
        return {ArithStatus::kBadAlphabet, 0, 0};
    for (const Value v : values) {
        const int32_t sv = toSymbolValue(v);
        if (sv < 0 || static_cast<uint32_t>(sv) >= n)
            return {ArithStatus::kValueOutOfRange, 0, 0};
    }
    const size_t start = out.size();
    try {
        StartModel();
        size_t at = 0;
        EncodeSymbols(out, values.size(), true, [&] { return static_cast<uint32_t>(toSymbolValue(values[at++])); });
    } catch (const std::bad_alloc&) {
        out.resize(start);
        return {ArithStatus::kOutOfMemory, 0, 0};
    }
    return {ArithStatus::kOk, out.size() - start, values.size()};
}

// The decoder takes a byte when it needs its first bit, so the bytes it has read are its bits rounded up.
template <typename Value, typename FromSymbolValue>
ArithRun ArithCoder::DecodeRun(std::span<const uint8_t> in, std::span<Value> out, uint32_t n, uint32_t bits,
                               bool isStatic, FromSymbolValue fromSymbolValue)
{
    if (m_valueToIndex.empty())
        return {ArithStatus::kOutOfMemory, 0, 0};
    if (!Init(n, bits))
        return {ArithStatus::kBadAlphabet, 0, 0};
    size_t pos = 0;
    if (isStatic) {
        if (!ReadModel(in, pos))
            return {ArithStatus::kBadModel, pos, 0};
    } else {
        StartModel();
    }
    Decoder decoder;
    decoder.in = in;
    decoder.next = pos;
    decoder.high = m_top;
    decoder.value = decoder.Take(m_bits);
    const uint64_t bitLimit = (uint64_t{in.size()} + kReadAheadSlack - pos) * 8;
    ArithRun run;
    for (;;) {
        const uint32_t symbol = DecodeSymbol(decoder);
        if (symbol == m_endSymbol)
            break;
        if (run.values == out.size()) {
            run.status = ArithStatus::kOutputFull;
            break;
        }
        out[run.values++] = fromSymbolValue(m_indexToValue[symbol]);
        if (!isStatic)
            UpdateModel(symbol);
        if (decoder.bitsTaken > bitLimit) {
            run.status = ArithStatus::kTruncated;
            break;
        }
    }
    run.bytes = pos + static_cast<size_t>((decoder.bitsTaken + 7) / 8);
    return run;
}
