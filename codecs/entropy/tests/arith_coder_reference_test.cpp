// The coder against a plain model of the classic coder: the walk down equal counts, the cumulative counts kept one
// per index, and the bit-by-bit renormalisation and bit packing. Random runs of every kind, at alphabets chosen on
// both sides of the coder's internal block sizes and at its extremes, must give the same stream, and the same
// decoding of it, of a cut copy and of copies with changed bytes, down to the status, the count and the position.
#include "codecs/entropy/arith_coder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

enum class Kind { kSignedBytes, kBytes, kWords, kStatic };

struct Decoded {
    ArithStatus status = ArithStatus::kOk;
    size_t values = 0;
    size_t bytes = 0;
    std::vector<uint32_t> symbolValues; // the whole output span, written or not

    bool operator==(const Decoded&) const = default;
};

// The classic coder, written for clarity: one cumulative count per index, one bit at a time.
class ReferenceCoder {
public:
    ReferenceCoder(uint32_t n, bool words) : m_n(n), m_end(n + 1)
    {
        m_bits = words ? 17 : 16;
        m_top = (1u << m_bits) - 1;
        m_quarter = m_top / 4 + 1;
        m_maxTotal = words ? 16300 : 8192;
        m_valueToIndex.resize(n);
        m_indexToValue.resize(n + 2);
        m_count.resize(n + 2);
        m_cumulative.resize(n + 2);
    }

    std::vector<uint8_t> Encode(const std::vector<uint32_t>& symbolValues, bool isStatic)
    {
        StartModel();
        std::vector<uint8_t> out;
        if (isStatic) {
            for (const uint32_t sv : symbolValues)
                m_count[sv + 1] = static_cast<uint16_t>(std::min(m_count[sv + 1] + 1, 0xFFFF));
            Rebuild();
            while (m_cumulative[0] > m_maxTotal)
                Halve();
            for (uint32_t i = 1; i <= m_end; ++i) {
                out.push_back(static_cast<uint8_t>(m_count[i]));
                out.push_back(static_cast<uint8_t>(m_count[i] >> 8));
            }
        }
        m_out = &out;
        m_buffer = 0;
        m_bitsLeft = 8;
        m_pending = 0;
        m_low = 0;
        m_high = m_top;
        for (const uint32_t sv : symbolValues) {
            const uint32_t symbol = m_valueToIndex[sv];
            EncodeSymbol(symbol);
            if (!isStatic)
                Update(symbol);
        }
        EncodeSymbol(m_end);
        ++m_pending;
        PutPlusPending(m_low < m_quarter ? 0 : 1);
        if (m_bitsLeft < 8)
            out.push_back(static_cast<uint8_t>(m_buffer >> m_bitsLeft));
        return out;
    }

    Decoded Decode(const std::vector<uint8_t>& in, size_t capacity, bool isStatic)
    {
        Decoded result;
        result.symbolValues.assign(capacity, 0);
        StartModel();
        m_in = &in;
        m_pos = 0;
        m_inBuffer = 0;
        m_inBitsLeft = 0;
        if (isStatic && !ReadModel(result))
            return result;
        m_low = 0;
        m_high = m_top;
        m_value = 0;
        for (uint32_t i = 0; i < m_bits; ++i)
            m_value = 2 * m_value + TakeBit();
        for (;;) {
            const uint32_t symbol = DecodeSymbol();
            if (symbol == m_end)
                break;
            if (result.values == capacity) {
                result.status = ArithStatus::kOutputFull;
                break;
            }
            result.symbolValues[result.values++] = m_indexToValue[symbol];
            if (!isStatic)
                Update(symbol);
            if (m_pos > in.size() + 4) {
                result.status = ArithStatus::kTruncated;
                break;
            }
        }
        result.bytes = m_pos;
        return result;
    }

private:
    void StartModel()
    {
        for (uint32_t v = 0; v < m_n; ++v) {
            m_valueToIndex[v] = v + 1;
            m_indexToValue[v + 1] = v;
        }
        for (uint32_t i = 0; i <= m_end; ++i)
            m_count[i] = i == 0 ? 0 : 1;
        Rebuild();
    }

    bool ReadModel(Decoded& result)
    {
        const std::vector<uint8_t>& in = *m_in;
        if (in.size() < size_t{m_end} * 2) {
            result.status = ArithStatus::kBadModel;
            return false;
        }
        uint32_t total = 0;
        for (uint32_t i = 1; i <= m_end; ++i, m_pos += 2) {
            m_count[i] = static_cast<uint16_t>(in[m_pos] | (in[m_pos + 1] << 8));
            total += m_count[i];
        }
        result.bytes = m_pos;
        if (total == 0 || total > m_maxTotal) {
            result.status = ArithStatus::kBadModel;
            return false;
        }
        Rebuild();
        return true;
    }

    void Rebuild()
    {
        uint32_t sum = 0;
        for (uint32_t i = m_end + 1; i-- > 0;) {
            m_cumulative[i] = sum;
            sum += m_count[i];
        }
    }

    void Halve()
    {
        for (uint16_t& count : m_count)
            count = static_cast<uint16_t>((count + 1) / 2);
        Rebuild();
    }

    void Update(uint32_t symbol)
    {
        if (m_cumulative[0] >= m_maxTotal)
            Halve();
        uint32_t i = symbol;
        while (m_count[i] == m_count[i - 1])
            --i;
        if (i < symbol) {
            std::swap(m_indexToValue[i], m_indexToValue[symbol]);
            m_valueToIndex[m_indexToValue[i]] = i;
            m_valueToIndex[m_indexToValue[symbol]] = symbol;
        }
        m_count[i] = static_cast<uint16_t>(m_count[i] + 10);
        while (i > 0)
            m_cumulative[--i] += 10;
    }

    void Narrow(uint32_t symbol)
    {
        const uint32_t range = m_high - m_low + 1;
        m_high = m_low + range * m_cumulative[symbol - 1] / m_cumulative[0] - 1;
        m_low = m_low + range * m_cumulative[symbol] / m_cumulative[0];
    }

    void EncodeSymbol(uint32_t symbol)
    {
        Narrow(symbol);
        for (;;) {
            if (m_high < 2 * m_quarter) {
                PutPlusPending(0);
            } else if (m_low >= 2 * m_quarter) {
                PutPlusPending(1);
                m_low -= 2 * m_quarter;
                m_high -= 2 * m_quarter;
            } else if (m_low >= m_quarter && m_high < 3 * m_quarter) {
                ++m_pending;
                m_low -= m_quarter;
                m_high -= m_quarter;
            } else {
                return;
            }
            m_low = 2 * m_low;
            m_high = 2 * m_high + 1;
        }
    }

    uint32_t DecodeSymbol()
    {
        const uint32_t range = m_high - m_low + 1;
        const uint32_t target = ((m_value - m_low + 1) * m_cumulative[0] - 1) / range;
        uint32_t symbol = 1;
        while (m_cumulative[symbol] > target)
            ++symbol;
        if (symbol == m_end)
            return symbol;
        Narrow(symbol);
        for (;;) {
            if (m_high < 2 * m_quarter) {
            } else if (m_low >= 2 * m_quarter) {
                m_value -= 2 * m_quarter;
                m_low -= 2 * m_quarter;
                m_high -= 2 * m_quarter;
            } else if (m_low >= m_quarter && m_high < 3 * m_quarter) {
                m_value -= m_quarter;
                m_low -= m_quarter;
                m_high -= m_quarter;
            } else {
                return symbol;
            }
            m_low = 2 * m_low;
            m_high = 2 * m_high + 1;
            m_value = 2 * m_value + TakeBit();
        }
    }

    void PutPlusPending(uint32_t bit)
    {
        PutBit(bit);
        for (; m_pending > 0; --m_pending)
            PutBit(bit ^ 1);
    }

    void PutBit(uint32_t bit)
    {
        m_buffer = (m_buffer >> 1) | (bit << 7);
        if (--m_bitsLeft == 0) {
            m_out->push_back(static_cast<uint8_t>(m_buffer));
            m_bitsLeft = 8;
        }
    }

    uint32_t TakeBit()
    {
        if (m_inBitsLeft == 0) {
            m_inBuffer = m_pos < m_in->size() ? (*m_in)[m_pos] : 0;
            ++m_pos;
            m_inBitsLeft = 8;
        }
        const uint32_t bit = m_inBuffer & 1;
        m_inBuffer >>= 1;
        --m_inBitsLeft;
        return bit;
    }

    uint32_t m_n;
    uint32_t m_end;
    uint32_t m_bits;
    uint32_t m_top;
    uint32_t m_quarter;
    uint32_t m_maxTotal;
    std::vector<uint32_t> m_valueToIndex;
    std::vector<uint32_t> m_indexToValue;
    std::vector<uint16_t> m_count;
    std::vector<uint32_t> m_cumulative;
    uint32_t m_low = 0;
    uint32_t m_high = 0;
    uint32_t m_value = 0;
    uint32_t m_pending = 0;
    uint32_t m_buffer = 0;
    uint32_t m_bitsLeft = 8;
    uint32_t m_inBuffer = 0;
    uint32_t m_inBitsLeft = 0;
    std::vector<uint8_t>* m_out = nullptr;
    const std::vector<uint8_t>* m_in = nullptr;
    size_t m_pos = 0;
};

uint32_t Below(std::mt19937& rng, uint32_t bound)
{
    return static_cast<uint32_t>(rng() % bound);
}

// Random symbol values of one of a few shapes: uniform, skewed towards the middle, long runs, or a handful.
std::vector<uint32_t> RandomSymbolValues(std::mt19937& rng, uint32_t n, size_t count)
{
    std::vector<uint32_t> values(count);
    const uint32_t shape = Below(rng, 4);
    const uint32_t few[3] = {Below(rng, n), Below(rng, n), Below(rng, n)};
    uint32_t current = Below(rng, n);
    for (uint32_t& v : values) {
        switch (shape) {
        case 0:
            v = Below(rng, n);
            break;
        case 1:
            v = std::min(n - 1, n / 2 + Below(rng, 1 + n / 8) * Below(rng, 2));
            break;
        case 2:
            if (Below(rng, 50) == 0)
                current = Below(rng, n);
            v = current;
            break;
        default:
            v = few[Below(rng, 3)];
            break;
        }
    }
    return values;
}

// What a kind's value type carries: the unsigned kind bytes 0..255, the signed byte kinds -128..127 (n = 256 has
// no byte for its top value).
std::vector<uint32_t> Representable(Kind kind, uint32_t n, std::vector<uint32_t> values)
{
    const int32_t offset = ArithCoder::SignedOffset(n);
    for (uint32_t& v : values) {
        if (kind == Kind::kBytes)
            v &= 0xFF;
        else if (kind != Kind::kWords && static_cast<int32_t>(v) - offset > 127)
            v = static_cast<uint32_t>(offset);
    }
    return values;
}

class Runner {
public:
    Runner(Kind kind, uint32_t n)
        : m_kind(kind), m_n(n), m_offset(kind == Kind::kBytes ? 0 : ArithCoder::SignedOffset(n))
    {
    }

    std::vector<uint8_t> Encode(ArithCoder& coder, const std::vector<uint32_t>& symbolValues) const
    {
        std::vector<uint8_t> out;
        ArithRun run;
        if (m_kind == Kind::kWords) {
            std::vector<int16_t> values;
            for (const uint32_t sv : symbolValues)
                values.push_back(static_cast<int16_t>(static_cast<int32_t>(sv) - m_offset));
            run = coder.EncodeWords(out, values, m_n);
        } else if (m_kind == Kind::kBytes) {
            std::vector<uint8_t> values(symbolValues.begin(), symbolValues.end());
            run = coder.EncodeBytes(out, values, m_n);
        } else {
            std::vector<int8_t> values;
            for (const uint32_t sv : symbolValues)
                values.push_back(static_cast<int8_t>(static_cast<int32_t>(sv) - m_offset));
            run = m_kind == Kind::kStatic ? coder.EncodeStatic(out, values, m_n)
                                          : coder.EncodeSignedBytes(out, values, m_n);
        }
        EXPECT_TRUE(run.Ok());
        EXPECT_EQ(run.bytes, out.size());
        return out;
    }

    Decoded Decode(ArithCoder& coder, const std::vector<uint8_t>& in, size_t capacity) const
    {
        Decoded result;
        ArithRun run;
        if (m_kind == Kind::kWords) {
            std::vector<int16_t> values(capacity, 0);
            run = coder.DecodeWords(in, values, m_n);
            for (const int16_t v : values)
                result.symbolValues.push_back(static_cast<uint32_t>(v + m_offset) & 0xFFFF);
        } else if (m_kind == Kind::kBytes) {
            std::vector<uint8_t> values(capacity, 0);
            run = coder.DecodeBytes(in, values, m_n);
            result.symbolValues.assign(values.begin(), values.end());
        } else {
            std::vector<int8_t> values(capacity, 0);
            run = m_kind == Kind::kStatic ? coder.DecodeStatic(in, values, m_n)
                                          : coder.DecodeSignedBytes(in, values, m_n);
            for (const int8_t v : values)
                result.symbolValues.push_back(static_cast<uint32_t>(v + m_offset) & 0xFF);
        }
        result.status = run.status;
        result.values = run.values;
        result.bytes = run.bytes;
        return result;
    }

    // The reference's values in the same form: what the kind's value type makes of each symbol value (a damaged
    // stream may decode values that a byte cannot hold), and the untouched zeros of the output as they read back.
    Decoded AsKindReads(Decoded reference) const
    {
        for (size_t i = 0; i < reference.symbolValues.size(); ++i) {
            uint32_t& v = reference.symbolValues[i];
            const bool written = i < reference.values;
            if (m_kind == Kind::kWords)
                v = (written ? v : static_cast<uint32_t>(m_offset)) & 0xFFFF;
            else
                v = (written ? v : static_cast<uint32_t>(m_offset)) & 0xFF;
        }
        return reference;
    }

private:
    Kind m_kind;
    uint32_t m_n;
    int32_t m_offset;
};

std::string Describe(Kind kind, uint32_t n, size_t count, int trial)
{
    const char* names[] = {"signed bytes", "bytes", "words", "static"};
    return std::string(names[static_cast<int>(kind)]) + " n=" + std::to_string(n) + " count=" + std::to_string(count) +
           " trial=" + std::to_string(trial);
}

void CompareWithReference(ArithCoder& coder, Kind kind, uint32_t n, size_t count, std::mt19937& rng, int trial)
{
    SCOPED_TRACE(Describe(kind, n, count, trial));
    const std::vector<uint32_t> values = Representable(kind, n, RandomSymbolValues(rng, n, count));
    const bool isStatic = kind == Kind::kStatic;
    ReferenceCoder reference(n, kind == Kind::kWords);
    const Runner runner(kind, n);

    const std::vector<uint8_t> expected = reference.Encode(values, isStatic);
    const std::vector<uint8_t> stream = runner.Encode(coder, values);
    ASSERT_EQ(stream, expected);

    std::vector<std::vector<uint8_t>> inputs = {stream};
    inputs.emplace_back(stream.begin(), stream.begin() + Below(rng, static_cast<uint32_t>(stream.size() + 1)));
    for (int changes = 1; changes <= 3; ++changes) {
        std::vector<uint8_t> changed = stream;
        for (int c = 0; c < changes && !changed.empty(); ++c)
            changed[Below(rng, static_cast<uint32_t>(changed.size()))] ^= static_cast<uint8_t>(1 + Below(rng, 255));
        inputs.push_back(changed);
    }
    for (const std::vector<uint8_t>& input : inputs) {
        const size_t capacity = Below(rng, 2) == 0 ? count : count + 1 + Below(rng, 64);
        EXPECT_EQ(runner.Decode(coder, input, capacity),
                  runner.AsKindReads(reference.Decode(input, capacity, isStatic)));
    }
}

// Alphabets around the sizes where the coder changes its internal block size (n + 2 indices of 512, 2048 and
// 8192), its smallest and largest ones, and the sizes its callers use.
TEST(ArithCoderReference, RandomRunsMatchThePlainCoderBitForBit)
{
    const uint32_t byteAlphabets[] = {1, 2, 3, 14, 15, 16, 17, 32, 62, 126, 127, 252, 255, 256, 257};
    const uint32_t wideAlphabets[] = {509, 510, 511, 2045, 2046, 2047, 8189, 8190};
    const uint32_t wordAlphabets[] = {1, 5, 201, 510, 2046, 4001, 8190, 10002, 16297, 16298};
    std::mt19937 rng(2024);
    ArithCoder coder; // one coder for all runs, as callers use it
    int trial = 0;
    for (const Kind kind : {Kind::kSignedBytes, Kind::kStatic}) {
        for (const uint32_t n : byteAlphabets)
            CompareWithReference(coder, kind, n, Below(rng, 3000), rng, trial++);
    }
    for (const uint32_t n : byteAlphabets)
        CompareWithReference(coder, Kind::kBytes, n, Below(rng, 3000), rng, trial++);
    for (const uint32_t n : wideAlphabets)
        CompareWithReference(coder, Kind::kBytes, n, Below(rng, 2000), rng, trial++);
    for (const uint32_t n : wordAlphabets) // the plain coder's walks over large alphabets are slow: shorter runs
        CompareWithReference(coder, Kind::kWords, n, Below(rng, n > 4000 ? 1200 : 2500), rng, trial++);
}

// Long runs: many halvings, and the total's settling near the maximum when most counts of a large alphabet are 1.
TEST(ArithCoderReference, LongRunsAcrossManyHalvingsMatch)
{
    std::mt19937 rng(77);
    ArithCoder coder;
    CompareWithReference(coder, Kind::kSignedBytes, 257, 60000, rng, 0);
    CompareWithReference(coder, Kind::kBytes, 257, 40000, rng, 1);
    CompareWithReference(coder, Kind::kWords, 16298, 2500, rng, 2);
    CompareWithReference(coder, Kind::kWords, 2046, 20000, rng, 3);
    CompareWithReference(coder, Kind::kStatic, 255, 80000, rng, 4);
}

} // namespace
