#pragma once
// Transform blocks: the samples cut into sub-blocks of N = 64, each transformed, one shift per coefficient index
// for the whole block, coefficients divided by 2^shift, ordered coefficient by coefficient, run-length coded and
// handed to the byte-stream coder. Body after the 12-byte block header:
//   u32 block flag (1; bit 0 clear decodes as silence), u32 transform size N, i8 window percent (0 = none),
//   then one byte-stream block: N shift bytes (the first absolute, the others differences to the one before)
//   followed by the run-length code of the N x M quantised values.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/sound/wave_codec/wave_codec_format.h"
#include "codecs/sound/wave_codec/wave_transform.h"

class ArithCoder;

namespace sound {

inline constexpr uint32_t kTransformBodyHeaderBytes = 9;
inline constexpr int kLargestStoredShift = 15;   // larger shifts are damage: 2^15 x 32768 still fits 32 bits
inline constexpr int kLargestWindowPercent = 99; // a weight of 1 would divide by zero at the block's edge

class TransformBlockCoder {
public:
    explicit TransformBlockCoder(uint32_t quality) : m_quality(quality) {}

    // Coefficients that did not fit 16 bits after their shift and were clamped, over the coder's life.
    uint64_t ClampedCoefficients() const { return m_clamped; }

    // Appends one transform block of 1 .. 32768 samples; its inner byte stream is coded with mode - 0x8000.
    void Encode(std::span<const int16_t> samples, uint32_t mode, ArithCoder& arith, std::vector<uint8_t>& out);

    // Decodes the transform block that fills `block` into out, which holds exactly the block's sample count.
    BlockOutcome Decode(std::span<const uint8_t> block, ArithCoder& arith, std::span<int16_t> out);

private:
    struct DecodedBody {
        std::vector<int> shifts;     // N absolute shifts
        std::vector<int16_t> values; // N x M quantised values, sub-block after sub-block
    };

    void Quantise(std::span<const int> shifts, uint32_t subBlocks, std::vector<int16_t>& outOrdered);
    bool DecodeBody(std::span<const uint8_t> inner, uint32_t subBlocks, ArithCoder& arith, DecodedBody& out);
    void Synthesise(const DecodedBody& body, float windowWeight, std::span<int16_t> out);

    uint32_t m_quality;
    uint64_t m_clamped = 0;
    WaveTransform m_transform;
    std::vector<float> m_coefficients; // the block's coefficients, sub-block after sub-block
};

} // namespace sound
