#pragma once
// The own wave codec's block stream. Every block starts with a 12-byte little-endian header:
//   u32 block length in bytes, header included; u32 sample count (byte count for byte-stream blocks); u32 mode.
// A stream is a run of sample blocks of at most 32768 samples and ends with a block of count 0.
#include <cstdint>

namespace sound {

inline constexpr uint32_t kWaveBlockHeaderBytes = 12;
inline constexpr uint32_t kWaveBlockSamples = 32768; // samples of one block, channels interleaved

// The largest block a decoder accepts. The worst block our encoder can write for 32768 samples is a transform
// block whose run-length bytes (at most 3 per value plus the shift bytes, 98368 bytes) grow by a third under
// arithmetic coding; anything beyond this bound is damage, and refusing it keeps the carried bytes bounded.
inline constexpr uint32_t kWaveMaxBlockBytes = 1u << 20;

// Mode word bits. The low 8 bits carry the quality percent. Sample blocks test 0x2000, 0x4000, 0x8000, 0x1000
// in that order, byte-stream blocks 0x0200, 0x0400, 0x0100, 0x0800; the first bit found set decides.
inline constexpr uint32_t kWaveModeTransform = 0x8000;  // DCT transform block ending in a byte-stream block
inline constexpr uint32_t kWaveModePyramid = 0x4000;    // pyramid block: never written, refused when read
inline constexpr uint32_t kWaveModeDelta = 0x2000;      // first-order differences in an inner block
inline constexpr uint32_t kWaveModeBytePlanes = 0x1000; // high bytes, then low bytes, as two byte streams
inline constexpr uint32_t kWaveModeSmallest = 0x0800;   // byte stream: the smaller of arithmetic and DEFLATE
inline constexpr uint32_t kWaveModeDeflate = 0x0400;    // byte stream: DEFLATE
inline constexpr uint32_t kWaveModeArithmetic = 0x0200; // byte stream: adaptive arithmetic coding
inline constexpr uint32_t kWaveModeCopy = 0x0100;       // byte stream: plain copy
inline constexpr uint32_t kWaveModeQualityMask = 0x00FF;
inline constexpr uint32_t kWaveByteMethods = kWaveModeSmallest | kWaveModeDeflate | kWaveModeArithmetic | kWaveModeCopy;

// What the system writes: transform blocks whose byte stream picks the smallest coding, plus the quality.
inline constexpr uint32_t kWaveSystemMode = 0x9800;

// Results of the encoder and decoder calls.
inline constexpr int kWaveOk = 0;
inline constexpr int kWaveFinished = 17; // the stream's end block was written or decoded
inline constexpr int kWaveFailed = -1;   // see Failure() for the cause

enum class WaveFailure : int {
    kNone = 0,
    kOutOfMemory = 1,   // a buffer could not be allocated
    kDamagedStream = 2, // a block's lengths, counts or coded bytes are inconsistent
    kBadArgument = 3,   // the encoder was given a mode it cannot write
};

// How decoding one block ended. A transform block whose flag is clear is silence, not damage.
enum class BlockOutcome : int {
    kDecoded = 0,
    kSilenced = 1,
    kDamaged = 2,
};

} // namespace sound
