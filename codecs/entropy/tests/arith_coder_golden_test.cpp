// The arithmetic coder's streams are a stored format: every run kind at the alphabets its callers use must keep
// producing these exact bytes, decode them back, and treat damaged copies exactly as before. The inputs come from a
// fixed integer generator, so the pinned hashes hold on every platform; a mismatch prints the line to compare.
#include "codecs/entropy/arith_coder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

enum class Kind { kSignedBytes, kBytes, kWords, kStatic };
enum class Shape { kUniform, kSkewed, kBand, kWave, kRamp, kConstant };

struct GoldenCase {
    Kind kind;
    uint32_t n;
    Shape shape;
    uint32_t count;
    uint64_t seed;
    // Pinned results: encoded size and FNV-1a of the stream, the decoder's input position, and one hash over what
    // the decoder made of a cut copy and of a copy with one byte changed (status, values, position, output).
    size_t streamBytes;
    uint64_t streamHash;
    size_t decodedBytes;
    uint64_t damagedHash;
};

class SplitMix {
public:
    explicit SplitMix(uint64_t seed) : m_state(seed) {}
    uint64_t Next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(Next() % bound); }
    bool Chance(uint32_t perMille) { return Below(1000) < perMille; }

private:
    uint64_t m_state;
};

uint64_t Fnv1a(uint64_t hash, const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001B3ull;
    }
    return hash;
}

constexpr uint64_t kFnvBasis = 0xCBF29CE484222325ull;

// A geometric magnitude: each further step is taken with the given chance, so the scale needs no floating point.
int32_t Magnitude(SplitMix& rng, uint32_t continuePerMille, int32_t limit)
{
    int32_t m = 0;
    while (m < limit && rng.Chance(continuePerMille))
        ++m;
    return m;
}

int32_t WithSign(SplitMix& rng, int32_t m)
{
    return (rng.Next() & 1) != 0 ? -m : m;
}

// Symbol values in 0..n-1; signed shapes centre on the run's signed offset, whose neighbourhood they fill.
std::vector<uint32_t> SymbolValues(const GoldenCase& c)
{
    SplitMix rng(c.seed);
    const int32_t centre = c.kind == Kind::kBytes ? static_cast<int32_t>(c.n / 2) : ArithCoder::SignedOffset(c.n);
    const int32_t below = centre;
    const int32_t above = static_cast<int32_t>(c.n) - 1 - centre;
    const int32_t limit = std::min(below, above);
    auto clamp = [&](int32_t v) { return static_cast<uint32_t>(std::clamp(v + centre, 0, int32_t(c.n) - 1)); };
    std::vector<uint32_t> out;
    out.reserve(c.count);
    bool busy = false;
    for (uint32_t i = 0; i < c.count; ++i) {
        switch (c.shape) {
        case Shape::kUniform:
            out.push_back(rng.Below(c.n));
            break;
        case Shape::kSkewed:
            out.push_back(clamp(WithSign(rng, Magnitude(rng, 400, limit))));
            break;
        case Shape::kBand: {
            // Quiet stretches of zeros and tree roots (the top value when n is even) between busy stretches.
            if (i % 64 == 0)
                busy = rng.Chance(300);
            if (busy)
                out.push_back(clamp(WithSign(rng, Magnitude(rng, 750, limit))));
            else if (c.n % 2 == 0 && rng.Chance(80))
                out.push_back(c.n - 1);
            else
                out.push_back(clamp(rng.Chance(940) ? 0 : WithSign(rng, 1)));
            break;
        }
        case Shape::kWave: {
            // Coefficient-major transform output: wide values for the low coefficients, narrow ones later, and
            // now and then a run-length byte with its top bit set.
            const uint32_t position = (i / 256) % 64;
            const uint32_t spread = 980 - position * 12;
            if (rng.Chance(30))
                out.push_back(clamp(-limit + static_cast<int32_t>(rng.Below(16))));
            else
                out.push_back(clamp(WithSign(rng, Magnitude(rng, spread, limit))));
            break;
        }
        case Shape::kRamp:
            out.push_back((i / 97 + (i % 5 == 0 ? 3 : 0)) % c.n);
            break;
        case Shape::kConstant:
            out.push_back(i == c.count / 2 ? 0 : c.n / 3);
            break;
        }
    }
    // What the run's value type carries: n = 257 stores 128 as -128, which is symbol value 0; n = 256 cannot
    // carry its top value in a byte at all, so that one becomes 0.
    for (uint32_t& sv : out) {
        if (c.kind == Kind::kBytes) {
            sv &= 0xFF;
        } else if (c.kind != Kind::kWords) {
            const int32_t wrapped = static_cast<int8_t>(static_cast<int32_t>(sv) - centre) + centre;
            sv = static_cast<uint32_t>(wrapped >= 0 && wrapped < static_cast<int32_t>(c.n) ? wrapped : centre);
        }
    }
    return out;
}

template <typename Value> std::vector<Value> ToValues(const std::vector<uint32_t>& symbolValues, int32_t offset)
{
    std::vector<Value> values;
    values.reserve(symbolValues.size());
    for (const uint32_t sv : symbolValues)
        values.push_back(static_cast<Value>(static_cast<int32_t>(sv) - offset));
    return values;
}

struct Coded {
    ArithRun encoded;
    std::vector<uint8_t> stream;
};

// Runs the case's kind: encode, decode the whole stream, then decode the two damaged copies.
class KindRunner {
public:
    explicit KindRunner(const GoldenCase& c) : m_case(c) {}

    Coded Encode(ArithCoder& coder, const std::vector<uint32_t>& symbolValues) const
    {
        Coded coded;
        const int32_t offset = m_case.kind == Kind::kBytes ? 0 : ArithCoder::SignedOffset(m_case.n);
        switch (m_case.kind) {
        case Kind::kSignedBytes:
            coded.encoded = coder.EncodeSignedBytes(coded.stream, ToValues<int8_t>(symbolValues, offset), m_case.n);
            break;
        case Kind::kBytes:
            coded.encoded = coder.EncodeBytes(coded.stream, ToValues<uint8_t>(symbolValues, offset), m_case.n);
            break;
        case Kind::kWords:
            coded.encoded = coder.EncodeWords(coded.stream, ToValues<int16_t>(symbolValues, offset), m_case.n);
            break;
        case Kind::kStatic:
            coded.encoded = coder.EncodeStatic(coded.stream, ToValues<int8_t>(symbolValues, offset), m_case.n);
            break;
        }
        return coded;
    }

    // The run and the decoded values as symbol values, so every kind compares alike.
    ArithRun Decode(ArithCoder& coder, std::span<const uint8_t> in, size_t capacity, std::vector<int32_t>& out) const
    {
        const int32_t offset = m_case.kind == Kind::kBytes ? 0 : ArithCoder::SignedOffset(m_case.n);
        out.assign(capacity, 0);
        ArithRun run;
        if (m_case.kind == Kind::kWords) {
            std::vector<int16_t> values(capacity, 0);
            run = coder.DecodeWords(in, values, m_case.n);
            std::transform(values.begin(), values.end(), out.begin(), [&](int16_t v) { return v + offset; });
        } else if (m_case.kind == Kind::kBytes) {
            std::vector<uint8_t> values(capacity, 0);
            run = coder.DecodeBytes(in, values, m_case.n);
            std::copy(values.begin(), values.end(), out.begin());
        } else {
            std::vector<int8_t> values(capacity, 0);
            run = m_case.kind == Kind::kStatic ? coder.DecodeStatic(in, values, m_case.n)
                                               : coder.DecodeSignedBytes(in, values, m_case.n);
            std::transform(values.begin(), values.end(), out.begin(), [&](int8_t v) { return v + offset; });
        }
        return run;
    }

private:
    GoldenCase m_case;
};

uint64_t HashDecode(uint64_t hash, const ArithRun& run, const std::vector<int32_t>& out)
{
    const uint64_t fields[3] = {static_cast<uint64_t>(run.status), run.values, run.bytes};
    hash = Fnv1a(hash, fields, sizeof fields);
    return Fnv1a(hash, out.data(), out.size() * sizeof(int32_t));
}

std::vector<uint8_t> ChangedCopy(const std::vector<uint8_t>& stream)
{
    std::vector<uint8_t> changed = stream;
    if (!changed.empty())
        changed[changed.size() / 3] ^= 0x5A;
    return changed;
}

const char* KindName(Kind kind)
{
    switch (kind) {
    case Kind::kSignedBytes:
        return "Kind::kSignedBytes";
    case Kind::kBytes:
        return "Kind::kBytes";
    case Kind::kWords:
        return "Kind::kWords";
    case Kind::kStatic:
        return "Kind::kStatic";
    }
    return "?";
}

// clang-format off
const GoldenCase kCases[] = {
    // The own wave codec's byte streams and the band coder's signed-byte kind.
    {Kind::kSignedBytes, 257, Shape::kWave, 40000, 1, 20042, 0xF4540EB6A5A2685Eull, 20042, 0xBBDDF71375853723ull},
    {Kind::kSignedBytes, 257, Shape::kUniform, 20000, 2, 20509, 0xF0AF995D550884FEull, 20509, 0xB9EF4C1C7B2310CBull},
    {Kind::kSignedBytes, 257, Shape::kSkewed, 20000, 3, 5286, 0x70BFC86E44ABB375ull, 5286, 0x060DA6156EC8AE34ull},
    {Kind::kSignedBytes, 257, Shape::kRamp, 30000, 4, 16302, 0x0C4A214FE17965ABull, 16302, 0x3E40E061D788AB87ull},
    {Kind::kSignedBytes, 257, Shape::kWave, 1, 5, 3, 0x0A7E331BEDEEE8D5ull, 3, 0xFF89D9B9BA2BCB95ull},
    {Kind::kSignedBytes, 257, Shape::kWave, 0, 6, 2, 0x08328607B4EB6C87ull, 2, 0x44987A47D02AA790ull},
    {Kind::kSignedBytes, 252, Shape::kBand, 30000, 7, 8204, 0x771A15BE577085DFull, 8204, 0x987BDA45C727D15Dull},
    {Kind::kSignedBytes, 251, Shape::kSkewed, 8000, 8, 2062, 0x8BC2EEE5E048D5DEull, 2062, 0xC2FCC5B080BB6CBAull},
    {Kind::kSignedBytes, 18, Shape::kBand, 30000, 9, 8280, 0xC838EF69B5A9CA94ull, 8280, 0x8237D6ACF8B5BD8Eull},
    {Kind::kSignedBytes, 3, Shape::kSkewed, 20000, 10, 3436, 0x868BCDB40AE5A88Aull, 3436, 0xDE207761EEA271FDull},
    {Kind::kSignedBytes, 1, Shape::kConstant, 5000, 11, 3, 0x1C414E1BF81E2CC1ull, 3, 0x2C5F87211FD367AFull},
    {Kind::kSignedBytes, 2, Shape::kUniform, 5000, 12, 629, 0xEB5CB9A1B96C7949ull, 629, 0x20604D5D2CCD33ECull},
    {Kind::kSignedBytes, 255, Shape::kWave, 20000, 13, 10421, 0x01479B54F3EDE0CFull, 10421, 0xD4ADDA60BC29FFA8ull},
    {Kind::kSignedBytes, 256, Shape::kUniform, 10000, 14, 10274, 0x998D390F4E4F392Aull, 10274, 0x1D1E1FC7D16255C1ull},
    // Raw and palette runs: bytes of a 257-symbol alphabet.
    {Kind::kBytes, 257, Shape::kUniform, 30000, 20, 30729, 0xE3CA5314367C6EC7ull, 30729, 0x3DE4883EF208279Aull},
    {Kind::kBytes, 257, Shape::kWave, 30000, 21, 14597, 0xBF160B710C0C23EAull, 14597, 0x36547CA36F73F60Cull},
    {Kind::kBytes, 257, Shape::kSkewed, 30000, 22, 7807, 0xBCD3B07D26C0F992ull, 7807, 0xE17D5189289B5F58ull},
    {Kind::kBytes, 257, Shape::kRamp, 30000, 23, 16302, 0x0C4A214FE17965ABull, 16302, 0x5DAEE11AE45AC287ull},
    {Kind::kBytes, 257, Shape::kConstant, 20000, 24, 177, 0x12B111FFA738E673ull, 177, 0x138DF74440DCA1A4ull},
    {Kind::kBytes, 16, Shape::kUniform, 10000, 25, 5022, 0x0349C53A50522924ull, 5022, 0x9887CC6818128CCAull},
    {Kind::kBytes, 8190, Shape::kUniform, 5000, 26, 8107, 0x29B3000CBD06E1B8ull, 8107, 0x68787C9E6C36BD86ull},
    // The band coder's 17-bit word kind, up to its largest limit and the coder's largest alphabet.
    {Kind::kWords, 10002, Shape::kUniform, 20000, 30, 34010, 0xA12D6A509F059975ull, 34010, 0x5E767CBE641D96F2ull},
    {Kind::kWords, 10002, Shape::kSkewed, 20000, 31, 9285, 0x720438C96DC860EFull, 9285, 0xF3A400475E623BF7ull},
    {Kind::kWords, 10002, Shape::kBand, 30000, 32, 14155, 0xBBEB7751B736C8ADull, 14155, 0x72311989034E8212ull},
    {Kind::kWords, 16298, Shape::kWave, 20000, 33, 31925, 0xCBA8DEAD5F6200AFull, 31925, 0x3F17F6B3CA3A8A6Full},
    {Kind::kWords, 16298, Shape::kRamp, 20000, 34, 27276, 0x924A36EBBC5C8768ull, 27276, 0xF1FCB4F69CCD713Eull},
    {Kind::kWords, 16297, Shape::kBand, 20000, 35, 27840, 0xD4D072FD20432970ull, 27840, 0xE40442A5FB0681D5ull},
    {Kind::kWords, 2001, Shape::kWave, 40000, 36, 21415, 0x1514AFCCC1232FC0ull, 21415, 0x31ECCE338D76F4B0ull},
    {Kind::kWords, 514, Shape::kBand, 30000, 37, 7897, 0x329A7CFF344F4A72ull, 7897, 0xE1F79EEE17825DE0ull},
    {Kind::kWords, 201, Shape::kSkewed, 30000, 38, 7705, 0x1ACCEDABFC13B195ull, 7705, 0x7C889595B942FCD8ull},
    {Kind::kWords, 3, Shape::kBand, 10000, 39, 1407, 0x3F928B0CB5DDFE57ull, 1407, 0xED5F5B8F64F21C2Full},
    {Kind::kWords, 1, Shape::kConstant, 100, 40, 2, 0x09163A07B5ACE3A8ull, 3, 0xA3F950224534EBB6ull},
    {Kind::kWords, 5, Shape::kUniform, 0, 41, 1, 0xAF63C54C8601C577ull, 3, 0xD93167CEB1D85117ull},
    // The band coder's static kind, including a count that saturates.
    {Kind::kStatic, 255, Shape::kWave, 20000, 50, 11814, 0xA90A82648BACEA81ull, 11814, 0xE85F5BF21BBE032Bull},
    {Kind::kStatic, 252, Shape::kBand, 20000, 51, 6442, 0xDC7466D66A994579ull, 6442, 0xF65487ECA33C3483ull},
    {Kind::kStatic, 33, Shape::kSkewed, 20000, 52, 5131, 0x4B5E8BDA12B8E18Cull, 5131, 0xE4344CEB4069FB65ull},
    {Kind::kStatic, 21, Shape::kConstant, 70000, 53, 112, 0x6F06793DB76249FCull, 112, 0xD99A00C0182317E8ull},
    {Kind::kStatic, 3, Shape::kUniform, 1, 54, 9, 0x4B8C16957459A9A9ull, 11, 0xA53777B69B9A058Dull},
    {Kind::kStatic, 257, Shape::kUniform, 10000, 55, 10494, 0xA76837A31F9EABC5ull, 10494, 0xE57EE71A684C4345ull},
};
// clang-format on

TEST(ArithCoderGolden, EveryRunKindKeepsItsStreamAndDecodesBack)
{
    ArithCoder coder; // one coder for every run, as its callers use it
    for (const GoldenCase& c : kCases) {
        const KindRunner runner(c);
        const std::vector<uint32_t> symbolValues = SymbolValues(c);
        const Coded coded = runner.Encode(coder, symbolValues);
        const std::string line = std::string("{") + KindName(c.kind) + ", " + std::to_string(c.n) + ", shape " +
                                 std::to_string(static_cast<int>(c.shape)) + ", " + std::to_string(c.count) + ", " +
                                 std::to_string(c.seed);
        SCOPED_TRACE(line);
        ASSERT_TRUE(coded.encoded.Ok());
        ASSERT_EQ(coded.encoded.bytes, coded.stream.size());

        std::vector<int32_t> decoded;
        const ArithRun whole = runner.Decode(coder, coded.stream, symbolValues.size(), decoded);
        ASSERT_EQ(whole.status, ArithStatus::kOk);
        ASSERT_EQ(whole.values, symbolValues.size());
        EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), symbolValues.begin(),
                               [](int32_t d, uint32_t s) { return d == static_cast<int32_t>(s); }));

        const size_t capacity = symbolValues.size() + 16;
        const std::vector<uint8_t> cut(coded.stream.begin(), coded.stream.begin() + coded.stream.size() / 2);
        const std::vector<uint8_t> changed = ChangedCopy(coded.stream);
        std::vector<int32_t> damaged;
        const ArithRun cutRun = runner.Decode(coder, cut, capacity, damaged);
        uint64_t damagedHash = HashDecode(kFnvBasis, cutRun, damaged);
        const ArithRun changedRun = runner.Decode(coder, changed, capacity, damaged);
        damagedHash = HashDecode(damagedHash, changedRun, damaged);

        const uint64_t streamHash = Fnv1a(kFnvBasis, coded.stream.data(), coded.stream.size());
        char pinned[160];
        std::snprintf(pinned, sizeof pinned, "%zu, 0x%016llXull, %zu, 0x%016llXull", coded.stream.size(),
                      static_cast<unsigned long long>(streamHash), whole.bytes,
                      static_cast<unsigned long long>(damagedHash));
        SCOPED_TRACE(std::string("actual: ") + pinned);
        EXPECT_EQ(coded.stream.size(), c.streamBytes);
        EXPECT_EQ(streamHash, c.streamHash);
        EXPECT_EQ(whole.bytes, c.decodedBytes);
        EXPECT_EQ(damagedHash, c.damagedHash);
    }
}

} // namespace
