#include "codecs/sound/wave_codec/transform_block_coder.h"

#include <algorithm>
#include <cmath>

#include "codecs/sound/wave_codec/byte_stream_coder.h"
#include "codecs/sound/wave_codec/run_length_code.h"
#include "codecs/sound/wave_codec/shift_allocation.h"
#include "platform/base/endian.h"

namespace sound {
namespace {

constexpr uint32_t kBlockFlag = 1;
constexpr size_t kFlagOffset = kWaveBlockHeaderBytes;
constexpr size_t kSizeOffset = kWaveBlockHeaderBytes + 4;
constexpr size_t kWindowOffset = kWaveBlockHeaderBytes + 8;
constexpr size_t kInnerOffset = kWaveBlockHeaderBytes + kTransformBodyHeaderBytes;

uint32_t SubBlocksOf(size_t samples, uint32_t n)
{
    return static_cast<uint32_t>((samples + n - 1) / n);
}

int16_t ClampToSample(float value)
{
    const long rounded = std::lround(value);
    return static_cast<int16_t>(std::clamp<long>(rounded, -32768, 32767));
}

// sin^2(pi i / N) w + (1 - w): the window the decoder divides out; never 0 for |w| <= 0.99.
float WindowGain(uint32_t i, uint32_t n, float weight)
{
    const float s = std::sin(static_cast<float>(M_PI) * static_cast<float>(i) / static_cast<float>(n));
    return s * s * weight + (1.0f - weight);
}

} // namespace

void TransformBlockCoder::Encode(std::span<const int16_t> samples, uint32_t mode, ArithCoder& arith,
                                 std::vector<uint8_t>& out)
{
    constexpr uint32_t n = WaveTransform::kSystemSize;
    m_transform.SetSize(n);
    const uint32_t subBlocks = SubBlocksOf(samples.size(), n);
    m_coefficients.assign(static_cast<size_t>(subBlocks) * n, 0.0f);
    float x[n];
    for (uint32_t b = 0; b < subBlocks; ++b) {
        for (uint32_t i = 0; i < n; ++i) {
            const size_t at = static_cast<size_t>(b) * n + i;
            x[i] = at < samples.size() ? static_cast<float>(samples[at]) : 0.0f;
        }
        m_transform.Forward(x, std::span<float>(m_coefficients).subspan(static_cast<size_t>(b) * n, n));
    }
    const std::vector<int> shifts = AllocateShifts(m_coefficients, subBlocks, n, m_quality);
    std::vector<int16_t> ordered;
    Quantise(shifts, subBlocks, ordered);

    std::vector<uint8_t> payload(n);
    for (uint32_t k = 0; k < n; ++k) // differences to the shift before, in byte arithmetic
        payload[k] = static_cast<uint8_t>(k == 0 ? shifts[0] : shifts[k] - shifts[k - 1]);
    RunLengthEncode(ordered, payload);

    const size_t start = out.size();
    out.resize(start + kInnerOffset);
    uint8_t* header = out.data() + start;
    pf::storeU32le(header + 4, static_cast<uint32_t>(samples.size()));
    pf::storeU32le(header + 8, mode);
    pf::storeU32le(header + kFlagOffset, kBlockFlag);
    pf::storeU32le(header + kSizeOffset, n);
    header[kWindowOffset] = 0;
    EncodeByteStream(payload, mode - kWaveModeTransform, arith, out);
    pf::storeU32le(out.data() + start, static_cast<uint32_t>(out.size() - start));
}

void TransformBlockCoder::Quantise(std::span<const int> shifts, uint32_t subBlocks, std::vector<int16_t>& outOrdered)
{
    const auto n = static_cast<uint32_t>(shifts.size());
    outOrdered.resize(static_cast<size_t>(subBlocks) * n);
    for (uint32_t k = 0; k < n; ++k) {
        const float step = std::ldexp(1.0f, shifts[k]);
        for (uint32_t b = 0; b < subBlocks; ++b) {
            long q = std::lround(m_coefficients[static_cast<size_t>(b) * n + k] / step);
            if (q > 32767 || q < -32768) {
                ++m_clamped;
                q = std::clamp<long>(q, -32768, 32767);
            }
            outOrdered[static_cast<size_t>(k) * subBlocks + b] = static_cast<int16_t>(q);
        }
    }
}

BlockOutcome TransformBlockCoder::Decode(std::span<const uint8_t> block, ArithCoder& arith, std::span<int16_t> out)
{
    if (block.size() < kInnerOffset)
        return BlockOutcome::kDamaged;
    if ((pf::loadU32le(block.data() + kFlagOffset) & kBlockFlag) == 0) {
        std::fill(out.begin(), out.end(), int16_t{0});
        return BlockOutcome::kSilenced;
    }
    const uint32_t n = pf::loadU32le(block.data() + kSizeOffset);
    const auto windowPercent = static_cast<int8_t>(block[kWindowOffset]);
    if (!WaveTransform::IsAcceptedSize(n) || windowPercent < -kLargestWindowPercent ||
        windowPercent > kLargestWindowPercent)
        return BlockOutcome::kDamaged;
    m_transform.SetSize(n);
    DecodedBody body;
    if (!DecodeBody(block.subspan(kInnerOffset), SubBlocksOf(out.size(), n), arith, body))
        return BlockOutcome::kDamaged;
    Synthesise(body, static_cast<float>(windowPercent) * 0.01f, out);
    return BlockOutcome::kDecoded;
}

bool TransformBlockCoder::DecodeBody(std::span<const uint8_t> inner, uint32_t subBlocks, ArithCoder& arith,
                                     DecodedBody& out)
{
    const uint32_t n = m_transform.Size();
    const size_t values = static_cast<size_t>(subBlocks) * n;
    std::vector<uint8_t> bytes;
    if (!DecodeByteStream(inner, values * kRunLengthMaxBytesPerValue + n, arith, bytes) || bytes.size() < n)
        return false;
    out.shifts.resize(n);
    uint8_t running = 0;
    for (uint32_t k = 0; k < n; ++k) {
        running = static_cast<uint8_t>(running + bytes[k]);
        if (running > kLargestStoredShift)
            return false;
        out.shifts[k] = running;
    }
    std::vector<int16_t> ordered(values);
    size_t consumed = 0;
    if (!RunLengthDecode(std::span<const uint8_t>(bytes).subspan(n), ordered, consumed))
        return false;
    out.values.resize(values);
    for (uint32_t k = 0; k < n; ++k) {
        for (uint32_t b = 0; b < subBlocks; ++b)
            out.values[static_cast<size_t>(b) * n + k] = ordered[static_cast<size_t>(k) * subBlocks + b];
    }
    return true;
}

void TransformBlockCoder::Synthesise(const DecodedBody& body, float windowWeight, std::span<int16_t> out)
{
    const uint32_t n = m_transform.Size();
    float coefficients[WaveTransform::kLargestSize];
    float x[WaveTransform::kLargestSize];
    for (size_t start = 0; start < out.size(); start += n) {
        for (uint32_t k = 0; k < n; ++k) {
            // A multiplication, not a shift: the value may be negative. |q| 2^15 stays inside 32 bits.
            const int32_t scaled = int32_t{body.values[start + k]} * (int32_t{1} << body.shifts[k]);
            coefficients[k] = static_cast<float>(scaled);
        }
        m_transform.Inverse(std::span<const float>(coefficients, n), std::span<float>(x, n));
        const size_t take = std::min<size_t>(n, out.size() - start);
        for (size_t i = 0; i < take; ++i) {
            const float sample =
                windowWeight != 0.0f ? x[i] / WindowGain(static_cast<uint32_t>(i), n, windowWeight) : x[i];
            out[start + i] = ClampToSample(sample);
        }
    }
}

} // namespace sound
