#pragma once
// The own wave codec's decoder: bytes of a block stream in, in pieces of any size, samples of every block
// completed by the call out. Bytes of an incomplete block are carried over to the next call.
//
// Every block is checked before it is decoded: its length lies between the header's 12 bytes and
// kWaveMaxBlockBytes, its sample count is at most 32768, and each inner block, byte count and coded stream agrees
// with it. A block that fails a check stops the decoder: the call returns -1, Output() keeps the samples of the
// blocks before it, and every later call returns -1 too.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "codecs/sound/wave_codec/wave_codec_format.h"

namespace sound {

class WaveBlockCoder;

class WaveDecoder {
public:
    WaveDecoder();
    ~WaveDecoder();
    WaveDecoder(const WaveDecoder&) = delete;
    WaveDecoder& operator=(const WaveDecoder&) = delete;

    int Feed(std::span<const uint8_t> bytes); // 0; 17 once the end block was decoded, by this call or before; -1
    void Release();                           // frees the carried bytes and buffers; the decoder starts afresh

    std::span<const int16_t> Output() const { return m_output; } // the samples of this call's blocks
    uint64_t TotalSamples() const { return m_totalSamples; }
    uint64_t TotalBytes() const { return m_totalBytes; }
    uint64_t SilencedBlocks() const { return m_silencedBlocks; } // transform blocks whose flag said silence
    bool IsFinished() const { return m_finished; }
    WaveFailure Failure() const { return m_failure; }

private:
    struct BlockSpan {
        size_t offset;
        uint32_t length;
        uint32_t count;
    };

    bool FindCompleteBlocks(std::vector<BlockSpan>& outBlocks, size_t& outSamples, size_t& outEnd);
    int DecodeBlocks(const std::vector<BlockSpan>& blocks);
    int Fail(WaveFailure failure);

    std::unique_ptr<WaveBlockCoder> m_coder;
    std::vector<uint8_t> m_pending; // bytes of blocks not yet complete
    std::vector<int16_t> m_output;
    uint64_t m_totalSamples = 0;
    uint64_t m_totalBytes = 0;
    uint64_t m_silencedBlocks = 0;
    bool m_finished = false;
    WaveFailure m_failure = WaveFailure::kNone;
};

} // namespace sound
