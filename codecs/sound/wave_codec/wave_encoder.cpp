#include "codecs/sound/wave_codec/wave_encoder.h"

#include <algorithm>
#include <new>

#include "codecs/sound/wave_codec/wave_block_coder.h"

namespace sound {
namespace {

constexpr uint32_t kLargestQuality = 100;

} // namespace

WaveEncoder::WaveEncoder() = default;
WaveEncoder::~WaveEncoder() = default;

int WaveEncoder::Init(uint32_t mode, uint32_t quality)
{
    const uint32_t clamped = std::min(quality, kLargestQuality);
    m_mode = (mode & ~kWaveModeQualityMask) | clamped;
    m_output.clear();
    m_totalSamples = 0;
    m_totalBytes = 0;
    m_clampedAtFinish = 0;
    m_finished = false;
    m_failure = WaveFailure::kNone;
    if (!WaveBlockCoder::CanEncodeMode(m_mode))
        return Fail(WaveFailure::kBadArgument);
    try {
        m_coder = std::make_unique<WaveBlockCoder>(clamped);
        m_block.clear();
        m_block.reserve(kWaveBlockSamples);
    } catch (const std::bad_alloc&) {
        m_coder.reset();
        return Fail(WaveFailure::kOutOfMemory);
    }
    return kWaveOk;
}

int WaveEncoder::Feed(std::span<const int16_t> samples)
{
    if (const int state = BeginCall(); state != kWaveOk)
        return state;
    try {
        size_t taken = 0;
        while (taken < samples.size()) {
            const size_t take = std::min(samples.size() - taken, size_t{kWaveBlockSamples} - m_block.size());
            m_block.insert(m_block.end(), samples.begin() + static_cast<long>(taken),
                           samples.begin() + static_cast<long>(taken + take));
            taken += take;
            if (m_block.size() == kWaveBlockSamples) {
                m_coder->Encode(m_block, m_mode, m_output);
                m_block.clear();
            }
        }
    } catch (const std::bad_alloc&) {
        return Fail(WaveFailure::kOutOfMemory);
    }
    m_totalSamples += samples.size();
    m_totalBytes += m_output.size();
    return kWaveOk;
}

int WaveEncoder::Finish()
{
    if (const int state = BeginCall(); state != kWaveOk)
        return state;
    try {
        m_coder->Encode(m_block, m_mode, m_output);
        if (!m_block.empty())
            m_coder->Encode({}, m_mode, m_output); // the end block
    } catch (const std::bad_alloc&) {
        return Fail(WaveFailure::kOutOfMemory);
    }
    m_totalBytes += m_output.size();
    m_clampedAtFinish = m_coder->ClampedCoefficients();
    m_coder.reset();
    m_block = {};
    m_finished = true;
    return kWaveFinished;
}

uint64_t WaveEncoder::ClampedCoefficients() const
{
    return m_coder ? m_coder->ClampedCoefficients() : m_clampedAtFinish;
}

// What Feed and Finish check first: finished, or not initialised (before Init or after a failure). When the call
// may go on, the previous call's output is dropped.
int WaveEncoder::BeginCall()
{
    if (m_finished)
        return kWaveFinished;
    if (!m_coder)
        return Fail(m_failure == WaveFailure::kNone ? WaveFailure::kBadArgument : m_failure);
    m_output.clear();
    return kWaveOk;
}

// A failed encoder stays failed: the samples of the call that failed are neither in a block nor pending.
int WaveEncoder::Fail(WaveFailure failure)
{
    m_failure = failure;
    m_output.clear();
    if (m_coder)
        m_clampedAtFinish = m_coder->ClampedCoefficients();
    m_coder.reset();
    m_block = {};
    return kWaveFailed;
}

} // namespace sound
