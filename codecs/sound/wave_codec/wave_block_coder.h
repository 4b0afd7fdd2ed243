#pragma once
// One sample block of the own wave codec, by its mode word: a delta block (first-order differences in an inner
// block), a transform block, a byte-plane block (two byte streams, high bytes first), or a byte stream of the
// sample buffer's first count bytes. The coder owns the arithmetic coder and the transform object that its blocks
// share, so one coder serves a whole stream.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/entropy/arith_coder.h"
#include "codecs/sound/wave_codec/transform_block_coder.h"
#include "codecs/sound/wave_codec/wave_codec_format.h"

namespace sound {

class WaveBlockCoder {
public:
    explicit WaveBlockCoder(uint32_t quality) : m_transformCoder(quality) {}

    static bool CanEncodeMode(uint32_t mode); // false for the pyramid bit or a mode without a byte method

    uint64_t ClampedCoefficients() const { return m_transformCoder.ClampedCoefficients(); }

    // Appends one block of at most 32768 samples (a 12-byte header only for none). Throws std::bad_alloc.
    void Encode(std::span<const int16_t> samples, uint32_t mode, std::vector<uint8_t>& out);

    // Decodes the block that fills `block` exactly into out, which holds exactly its stated sample count.
    // On Damaged, out holds zeros.
    BlockOutcome Decode(std::span<const uint8_t> block, std::span<int16_t> out);

private:
    void EncodeDelta(std::span<const int16_t> samples, uint32_t mode, std::vector<uint8_t>& out);
    void EncodePlanes(std::span<const int16_t> samples, uint32_t mode, std::vector<uint8_t>& out);
    void EncodeSampleBytes(std::span<const int16_t> samples, uint32_t mode, std::vector<uint8_t>& out);

    BlockOutcome DecodeInner(std::span<const uint8_t> block, std::span<int16_t> out, bool insideDelta);
    BlockOutcome DecodeDelta(std::span<const uint8_t> block, std::span<int16_t> out);
    BlockOutcome DecodePlanes(std::span<const uint8_t> block, std::span<int16_t> out);
    BlockOutcome DecodeSampleBytes(std::span<const uint8_t> block, std::span<int16_t> out);

    ArithCoder m_arith;
    TransformBlockCoder m_transformCoder;
};

} // namespace sound
