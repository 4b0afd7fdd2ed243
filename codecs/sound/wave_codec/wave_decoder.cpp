#include "codecs/sound/wave_codec/wave_decoder.h"

#include <new>

#include "codecs/sound/wave_codec/wave_block_coder.h"
#include "platform/base/endian.h"

namespace sound {
namespace {

// The decoder reads the stored mode of every block; the quality it was made with plays no part in decoding.
constexpr uint32_t kDecoderQuality = 100;

} // namespace

WaveDecoder::WaveDecoder() = default;
WaveDecoder::~WaveDecoder() = default;

void WaveDecoder::Release()
{
    m_coder.reset();
    m_pending = {};
    m_output = {};
    m_totalSamples = 0;
    m_totalBytes = 0;
    m_silencedBlocks = 0;
    m_finished = false;
    m_failure = WaveFailure::kNone;
}

int WaveDecoder::Feed(std::span<const uint8_t> bytes)
{
    m_output.clear();
    if (m_failure != WaveFailure::kNone)
        return kWaveFailed;
    if (m_finished)
        return kWaveFinished;
    try {
        if (!m_coder)
            m_coder = std::make_unique<WaveBlockCoder>(kDecoderQuality);
        m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
        std::vector<BlockSpan> blocks;
        size_t samples = 0;
        size_t end = 0;
        const bool headersValid = FindCompleteBlocks(blocks, samples, end);
        if (DecodeBlocks(blocks) == kWaveFailed)
            return kWaveFailed;
        if (!headersValid) {
            m_totalSamples += m_output.size();
            return Fail(WaveFailure::kDamagedStream);
        }
        // Bytes after the end block belong to no block and are dropped with it.
        m_pending.erase(m_pending.begin(), m_finished ? m_pending.end() : m_pending.begin() + static_cast<long>(end));
    } catch (const std::bad_alloc&) {
        return Fail(WaveFailure::kOutOfMemory);
    }
    m_totalBytes += bytes.size();
    m_totalSamples += m_output.size();
    return m_finished ? kWaveFinished : kWaveOk;
}

// The blocks that lie whole in the carried bytes, up to and including an end block; false when a header that
// cannot belong to a valid block follows them, so that a damaged length never makes the decoder wait for bytes.
bool WaveDecoder::FindCompleteBlocks(std::vector<BlockSpan>& outBlocks, size_t& outSamples, size_t& outEnd)
{
    size_t at = 0;
    outSamples = 0;
    while (m_pending.size() - at >= kWaveBlockHeaderBytes) {
        const uint32_t length = pf::loadU32le(&m_pending[at]);
        const uint32_t count = pf::loadU32le(&m_pending[at + 4]);
        if (length < kWaveBlockHeaderBytes || length > kWaveMaxBlockBytes || count > kWaveBlockSamples)
            return false;
        if (length > m_pending.size() - at)
            break;
        outBlocks.push_back({at, length, count});
        outSamples += count; // at most 32768 per block of at least 12 bytes: cannot overflow
        at += length;
        if (count == 0)
            break;
    }
    outEnd = at;
    return true;
}

// The output grows block by block as each is decoded, never by what the headers claim ahead: a run of 12-byte
// headers each claiming 32768 samples would otherwise reserve 64 KB per 12 input bytes before the first is refused.
int WaveDecoder::DecodeBlocks(const std::vector<BlockSpan>& blocks)
{
    m_output.clear();
    size_t written = 0;
    for (const BlockSpan& block : blocks) {
        if (block.count == 0) {
            m_finished = true;
            break;
        }
        m_output.resize(written + block.count);
        const std::span<const uint8_t> bytes(&m_pending[block.offset], block.length);
        const std::span<int16_t> out(&m_output[written], block.count);
        const BlockOutcome outcome = m_coder->Decode(bytes, out);
        if (outcome == BlockOutcome::kDamaged) {
            m_output.resize(written);
            m_totalSamples += written;
            return Fail(WaveFailure::kDamagedStream);
        }
        if (outcome == BlockOutcome::kSilenced)
            ++m_silencedBlocks;
        written += block.count;
    }
    return kWaveOk;
}

int WaveDecoder::Fail(WaveFailure failure)
{
    m_failure = failure;
    m_pending = {};
    if (failure != WaveFailure::kDamagedStream)
        m_output.clear();
    return kWaveFailed;
}

} // namespace sound
