#include "codecs/sound/wave_codec/wave_block_coder.h"

#include <algorithm>
#include <cstring>

#include "codecs/sound/wave_codec/byte_stream_coder.h"
#include "platform/base/endian.h"

namespace sound {
namespace {

struct BlockHeader {
    uint32_t length = 0;
    uint32_t count = 0;
    uint32_t mode = 0;
};

BlockHeader ReadHeader(std::span<const uint8_t> block)
{
    return {pf::loadU32le(block.data()), pf::loadU32le(block.data() + 4), pf::loadU32le(block.data() + 8)};
}

void AppendHeader(std::vector<uint8_t>& out, uint32_t length, uint32_t count, uint32_t mode)
{
    const size_t at = out.size();
    out.resize(at + kWaveBlockHeaderBytes);
    pf::storeU32le(out.data() + at, length);
    pf::storeU32le(out.data() + at + 4, count);
    pf::storeU32le(out.data() + at + 8, mode);
}

void PatchLength(std::vector<uint8_t>& out, size_t start)
{
    pf::storeU32le(out.data() + start, static_cast<uint32_t>(out.size() - start));
}

// The next complete block inside `body`: its stated length is at least a header and fits what is left.
bool NextInnerBlock(std::span<const uint8_t> body, std::span<const uint8_t>& outBlock)
{
    if (body.size() < kWaveBlockHeaderBytes)
        return false;
    const uint32_t length = pf::loadU32le(body.data());
    if (length < kWaveBlockHeaderBytes || length > body.size())
        return false;
    outBlock = body.first(length);
    return true;
}

} // namespace

bool WaveBlockCoder::CanEncodeMode(uint32_t mode)
{
    return (mode & kWaveModePyramid) == 0 && (mode & kWaveByteMethods) != 0;
}

void WaveBlockCoder::Encode(std::span<const int16_t> samples, uint32_t mode, std::vector<uint8_t>& out)
{
    if (samples.empty())
        AppendHeader(out, kWaveBlockHeaderBytes, 0, mode);
    else if ((mode & kWaveModeDelta) != 0)
        EncodeDelta(samples, mode, out);
    else if ((mode & kWaveModeTransform) != 0)
        m_transformCoder.Encode(samples, mode, m_arith, out);
    else if ((mode & kWaveModeBytePlanes) != 0)
        EncodePlanes(samples, mode, out);
    else
        EncodeSampleBytes(samples, mode, out);
}

void WaveBlockCoder::EncodeDelta(std::span<const int16_t> samples, uint32_t mode, std::vector<uint8_t>& out)
{
    std::vector<int16_t> differences(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) { // 16-bit wrap-around, undone exactly by the running sum
        const uint16_t before = i == 0 ? 0 : static_cast<uint16_t>(samples[i - 1]);
        differences[i] = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint16_t>(samples[i]) - before));
    }
    const size_t start = out.size();
    AppendHeader(out, 0, static_cast<uint32_t>(samples.size()), mode);
    Encode(differences, mode - kWaveModeDelta, out);
    PatchLength(out, start);
}

void WaveBlockCoder::EncodePlanes(std::span<const int16_t> samples, uint32_t mode, std::vector<uint8_t>& out)
{
    std::vector<uint8_t> high(samples.size());
    std::vector<uint8_t> low(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        const auto bits = static_cast<uint16_t>(samples[i]);
        high[i] = static_cast<uint8_t>(bits >> 8);
        low[i] = static_cast<uint8_t>(bits);
    }
    const size_t start = out.size();
    AppendHeader(out, 0, static_cast<uint32_t>(samples.size()), mode);
    EncodeByteStream(high, mode, m_arith, out);
    EncodeByteStream(low, mode, m_arith, out);
    PatchLength(out, start);
}

// A block of neither kind codes the first count bytes of the sample buffer, which is half of its samples; the
// system never writes one, and its decoder zero-fills the other half.
void WaveBlockCoder::EncodeSampleBytes(std::span<const int16_t> samples, uint32_t mode, std::vector<uint8_t>& out)
{
    std::vector<uint8_t> bytes(samples.size());
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(static_cast<uint16_t>(samples[i / 2]) >> (8 * (i % 2)));
    const size_t start = out.size();
    AppendHeader(out, 0, static_cast<uint32_t>(samples.size()), mode);
    EncodeByteStream(bytes, mode, m_arith, out);
    PatchLength(out, start);
}

BlockOutcome WaveBlockCoder::Decode(std::span<const uint8_t> block, std::span<int16_t> out)
{
    const BlockOutcome outcome = DecodeInner(block, out, false);
    if (outcome == BlockOutcome::kDamaged)
        std::fill(out.begin(), out.end(), int16_t{0});
    return outcome;
}

BlockOutcome WaveBlockCoder::DecodeInner(std::span<const uint8_t> block, std::span<int16_t> out, bool insideDelta)
{
    if (block.size() < kWaveBlockHeaderBytes)
        return BlockOutcome::kDamaged;
    const BlockHeader header = ReadHeader(block);
    if (header.length != block.size() || header.count != out.size())
        return BlockOutcome::kDamaged;
    if (header.count == 0)
        return BlockOutcome::kDecoded;
    if ((header.mode & kWaveModeDelta) != 0)
        return insideDelta ? BlockOutcome::kDamaged : DecodeDelta(block, out); // one delta level at most
    if ((header.mode & kWaveModePyramid) != 0)
        return BlockOutcome::kDamaged; // never written; its decoding is not defined
    if ((header.mode & kWaveModeTransform) != 0)
        return m_transformCoder.Decode(block, m_arith, out);
    if ((header.mode & kWaveModeBytePlanes) != 0)
        return DecodePlanes(block, out);
    return DecodeSampleBytes(block, out);
}

BlockOutcome WaveBlockCoder::DecodeDelta(std::span<const uint8_t> block, std::span<int16_t> out)
{
    const std::span<const uint8_t> inner = block.subspan(kWaveBlockHeaderBytes);
    std::span<const uint8_t> innerBlock;
    if (!NextInnerBlock(inner, innerBlock) || innerBlock.size() != inner.size())
        return BlockOutcome::kDamaged;
    const BlockOutcome outcome = DecodeInner(innerBlock, out, true);
    if (outcome == BlockOutcome::kDamaged)
        return outcome;
    uint16_t sum = 0;
    for (int16_t& sample : out) {
        sum = static_cast<uint16_t>(sum + static_cast<uint16_t>(sample));
        sample = static_cast<int16_t>(sum);
    }
    return outcome;
}

BlockOutcome WaveBlockCoder::DecodePlanes(std::span<const uint8_t> block, std::span<int16_t> out)
{
    std::span<const uint8_t> body = block.subspan(kWaveBlockHeaderBytes);
    std::span<const uint8_t> highBlock;
    if (!NextInnerBlock(body, highBlock))
        return BlockOutcome::kDamaged;
    std::span<const uint8_t> lowBlock;
    if (!NextInnerBlock(body.subspan(highBlock.size()), lowBlock) || highBlock.size() + lowBlock.size() != body.size())
        return BlockOutcome::kDamaged;
    std::vector<uint8_t> high;
    std::vector<uint8_t> low;
    // Planes of another length than the block's count are damage, not something to join anyway.
    if (!DecodeByteStream(highBlock, out.size(), m_arith, high) || high.size() != out.size() ||
        !DecodeByteStream(lowBlock, out.size(), m_arith, low) || low.size() != out.size())
        return BlockOutcome::kDamaged;
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<int16_t>(static_cast<uint16_t>((high[i] << 8) | low[i]));
    return BlockOutcome::kDecoded;
}

BlockOutcome WaveBlockCoder::DecodeSampleBytes(std::span<const uint8_t> block, std::span<int16_t> out)
{
    std::span<const uint8_t> inner;
    const std::span<const uint8_t> body = block.subspan(kWaveBlockHeaderBytes);
    std::vector<uint8_t> bytes;
    if (!NextInnerBlock(body, inner) || inner.size() != body.size() ||
        !DecodeByteStream(inner, out.size(), m_arith, bytes) || bytes.size() != out.size())
        return BlockOutcome::kDamaged;
    std::fill(out.begin(), out.end(), int16_t{0});
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto shifted = static_cast<uint16_t>(bytes[i] << (8 * (i % 2)));
        out[i / 2] = static_cast<int16_t>(static_cast<uint16_t>(out[i / 2]) | shifted);
    }
    return BlockOutcome::kDecoded;
}

} // namespace sound
