#include "codecs/image/arith_coder.h"

#include <new>

#include "platform/base/endian.h"

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

uint32_t MaxAlphabet(uint32_t bits)
{
    return bits == kWordBits ? ArithCoder::kMaxWordAlphabet : ArithCoder::kMaxByteAlphabet;
}

} // namespace

ArithCoder::ArithCoder()
{
    try {
        m_valueToIndex.assign(kValueEntries, 0);
        m_indexToValue.assign(kIndexEntries, 0);
        m_count.assign(kIndexEntries, 0);
        m_cumulative.assign(kIndexEntries, 0);
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
        StartEncoding(out);
        for (const uint32_t sv : symbolValues)
            EncodeSymbol(m_valueToIndex[sv]);
        EncodeSymbol(m_endSymbol);
        DoneEncoding();
        DoneOutputBits();
    } catch (const std::bad_alloc&) {
        out.resize(start);
        m_out = nullptr;
        return {ArithStatus::kOutOfMemory, 0, 0};
    }
    m_out = nullptr;
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
    m_top = (1u << bits) - 1;
    m_firstQuarter = m_top / 4 + 1;
    m_half = 2 * m_firstQuarter;
    m_thirdQuarter = 3 * m_firstQuarter;
    m_maxTotal = bits == kWordBits ? kWordMaxTotal : kByteMaxTotal;
    return true;
}

void ArithCoder::StartModel()
{
    for (uint32_t v = 0; v < m_n; ++v) {
        m_valueToIndex[v] = v + 1;
        m_indexToValue[v + 1] = v;
    }
    for (uint32_t i = 0; i <= m_endSymbol; ++i) {
        m_count[i] = 1;
        m_cumulative[i] = m_endSymbol - i;
    }
    m_count[0] = 0;
}

void ArithCoder::CountFrequencies(std::span<const uint32_t> symbolValues)
{
    StartModel();
    for (const uint32_t sv : symbolValues) {
        uint16_t& count = m_count[m_valueToIndex[sv]];
        if (count != 0xFFFF)
            ++count;
    }
    RebuildCumulative();
    while (m_cumulative[0] > m_maxTotal)
        HalveCounts();
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
    m_count[0] = 0;
    if (total == 0 || total > m_maxTotal)
        return false;
    RebuildCumulative();
    return true;
}

void ArithCoder::RebuildCumulative()
{
    uint32_t cumulative = 0;
    for (uint32_t i = m_endSymbol + 1; i-- > 0;) {
        m_cumulative[i] = cumulative;
        cumulative += m_count[i];
    }
}

void ArithCoder::HalveCounts()
{
    uint32_t cumulative = 0;
    for (uint32_t i = m_endSymbol + 1; i-- > 0;) {
        m_count[i] = static_cast<uint16_t>((m_count[i] + 1u) / 2);
        m_cumulative[i] = cumulative;
        cumulative += m_count[i];
    }
}

void ArithCoder::UpdateModel(uint32_t symbol)
{
    if (m_cumulative[0] >= m_maxTotal)
        HalveCounts();
    uint32_t i = symbol;
    while (m_count[i] == m_count[i - 1])
        --i;
    if (i < symbol) {
        const uint32_t valueI = m_indexToValue[i];
        const uint32_t valueSymbol = m_indexToValue[symbol];
        m_indexToValue[i] = valueSymbol;
        m_indexToValue[symbol] = valueI;
        m_valueToIndex[valueI] = symbol;
        m_valueToIndex[valueSymbol] = i;
    }
    m_count[i] = static_cast<uint16_t>(m_count[i] + kIncrement);
    while (i > 0) {
        --i;
        m_cumulative[i] += kIncrement;
    }
}

void ArithCoder::StartEncoding(std::vector<uint8_t>& out)
{
    m_out = &out;
    m_bitBuffer = 0;
    m_bitsLeft = 8;
    m_bitsToFollow = 0;
    m_reg = Registers{0, m_top, 0};
}

void ArithCoder::EncodeSymbol(uint32_t symbol)
{
    const uint32_t range = m_reg.high - m_reg.low + 1;
    const uint32_t total = m_cumulative[0];
    m_reg.high = m_reg.low + range * m_cumulative[symbol - 1] / total - 1;
    m_reg.low = m_reg.low + range * m_cumulative[symbol] / total;
    for (;;) {
        if (m_reg.high < m_half) {
            OutputBitPlusPending(0);
        } else if (m_reg.low >= m_half) {
            OutputBitPlusPending(1);
            m_reg.low -= m_half;
            m_reg.high -= m_half;
        } else if (m_reg.low >= m_firstQuarter && m_reg.high < m_thirdQuarter) {
            ++m_bitsToFollow;
            m_reg.low -= m_firstQuarter;
            m_reg.high -= m_firstQuarter;
        } else {
            break;
        }
        m_reg.low = 2 * m_reg.low;
        m_reg.high = 2 * m_reg.high + 1;
    }
}

void ArithCoder::DoneEncoding()
{
    ++m_bitsToFollow;
    OutputBitPlusPending(m_reg.low < m_firstQuarter ? 0 : 1);
}

void ArithCoder::OutputBitPlusPending(uint32_t bit)
{
    OutputBit(bit);
    for (; m_bitsToFollow > 0; --m_bitsToFollow)
        OutputBit(bit ^ 1);
}

void ArithCoder::OutputBit(uint32_t bit)
{
    m_bitBuffer >>= 1;
    if (bit != 0)
        m_bitBuffer |= 0x80;
    if (--m_bitsLeft == 0) {
        m_out->push_back(static_cast<uint8_t>(m_bitBuffer));
        m_bitsLeft = 8;
    }
}

void ArithCoder::DoneOutputBits()
{
    if (m_bitsLeft < 8)
        m_out->push_back(static_cast<uint8_t>(m_bitBuffer >> m_bitsLeft));
}

void ArithCoder::StartDecoding(std::span<const uint8_t> in, size_t pos)
{
    m_in = in;
    m_inPos = pos;
    m_bitBuffer = 0;
    m_bitsLeft = 0;
    m_reg = Registers{0, m_top, 0};
    for (uint32_t i = 0; i < m_bits; ++i)
        m_reg.value = 2 * m_reg.value + InputBit();
}

// The first index whose cumulative count is not above the target. The model keeps indices sorted by falling count,
// so skewed data find it within the first few; the cumulative counts fall strictly, so beyond those a binary
// search finds the same index. Index 0 is never chosen: the target lies below the total.
uint32_t ArithCoder::FindSymbol(uint32_t target) const
{
    constexpr uint32_t kLinearSteps = 8;
    uint32_t symbol = 1;
    for (; symbol <= m_endSymbol && symbol <= kLinearSteps; ++symbol) {
        if (m_cumulative[symbol] <= target)
            return symbol;
    }
    uint32_t lo = symbol;      // cumulative[lo - 1] > target
    uint32_t hi = m_endSymbol; // cumulative[end] = 0 <= target
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (m_cumulative[mid] <= target)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

uint32_t ArithCoder::DecodeSymbol()
{
    const uint32_t range = m_reg.high - m_reg.low + 1;
    const uint32_t total = m_cumulative[0];
    const uint32_t target = ((m_reg.value - m_reg.low + 1) * total - 1) / range;
    const uint32_t symbol = FindSymbol(target);
    if (symbol == m_endSymbol)
        return symbol;
    m_reg.high = m_reg.low + range * m_cumulative[symbol - 1] / total - 1;
    m_reg.low = m_reg.low + range * m_cumulative[symbol] / total;
    for (;;) {
        if (m_reg.high < m_half) {
        } else if (m_reg.low >= m_half) {
            m_reg.value -= m_half;
            m_reg.low -= m_half;
            m_reg.high -= m_half;
        } else if (m_reg.low >= m_firstQuarter && m_reg.high < m_thirdQuarter) {
            m_reg.value -= m_firstQuarter;
            m_reg.low -= m_firstQuarter;
            m_reg.high -= m_firstQuarter;
        } else {
            break;
        }
        m_reg.low = 2 * m_reg.low;
        m_reg.high = 2 * m_reg.high + 1;
        m_reg.value = 2 * m_reg.value + InputBit();
    }
    return symbol;
}

uint32_t ArithCoder::InputBit()
{
    if (m_bitsLeft == 0) {
        m_bitBuffer = m_inPos < m_in.size() ? m_in[m_inPos] : 0;
        ++m_inPos;
        m_bitsLeft = 8;
    }
    const uint32_t bit = m_bitBuffer & 1;
    m_bitBuffer >>= 1;
    --m_bitsLeft;
    return bit;
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
        StartEncoding(out);
        for (const Value v : values) {
            const uint32_t symbol = m_valueToIndex[static_cast<uint32_t>(toSymbolValue(v))];
            EncodeSymbol(symbol);
            UpdateModel(symbol);
        }
        EncodeSymbol(m_endSymbol);
        DoneEncoding();
        DoneOutputBits();
    } catch (const std::bad_alloc&) {
        out.resize(start);
        m_out = nullptr;
        return {ArithStatus::kOutOfMemory, 0, 0};
    }
    m_out = nullptr;
    return {ArithStatus::kOk, out.size() - start, values.size()};
}

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
    StartDecoding(in, pos);
    ArithRun run;
    for (;;) {
        const uint32_t symbol = DecodeSymbol();
        if (symbol == m_endSymbol)
            break;
        if (run.values == out.size()) {
            run.status = ArithStatus::kOutputFull;
            break;
        }
        out[run.values++] = fromSymbolValue(m_indexToValue[symbol]);
        if (!isStatic)
            UpdateModel(symbol);
        if (m_inPos > in.size() + kReadAheadSlack) {
            run.status = ArithStatus::kTruncated;
            break;
        }
    }
    run.bytes = m_inPos;
    m_in = {};
    return run;
}
