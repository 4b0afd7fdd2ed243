#pragma once
// ArithCoder: a multi-symbol integer arithmetic coder with an adaptive (or stored static) frequency model that
// keeps symbols sorted by falling count. One object serves many runs; every run starts a fresh model for the
// alphabet it is given, so nothing carries over between runs. The runs are built from the model (arith_model.h),
// the encoder (arith_encoder.h) and the decoder (arith_decoder.h); users need only this header.
//
// Stream layout of a run: adaptive runs hold only the coded bits (least significant bit of each byte first),
// ending with the end symbol and the flush; a static run stores its (n + 1) u16 little-endian counts first.
//
// Decoders are bounded on both sides: bytes past the end of the input read as 0, a run that has read well past
// its input without meeting the end symbol fails as truncated, and a run holding more values than the output can
// take fails instead of writing further.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/entropy/arith_model.h"

enum class ArithStatus : int {
    kOk = 0,
    kBadAlphabet = 1,     // n is 0 or too large for the run's tables and totals (argument or damaged header)
    kValueOutOfRange = 2, // an encoder input lies outside the alphabet (caller's fault)
    kOutputFull = 3,      // the stream holds more values than the output span can take (damaged stream)
    kTruncated = 4,       // the input ended before the end symbol (damaged or cut stream)
    kBadModel = 5,        // a static run's stored counts sum to 0 or above the model's total (damaged stream)
    kOutOfMemory = 6,     // the coder's tables could not be allocated
};

struct ArithRun {
    ArithStatus status = ArithStatus::kOk;
    size_t bytes = 0;  // encoders: bytes appended; decoders: input position after the last byte read; for a
                       // whole run at most two bytes past the encoder's last byte (the decoder reads ahead, and
                       // bytes past the input's end read as 0), for a cut run at most eight past the input's end
    size_t values = 0; // values coded or written

    bool Ok() const { return status == ArithStatus::kOk; }
};

class ArithCoder {
public:
    ArithCoder() = default; // the model allocates its tables once; a failed allocation makes every run kOutOfMemory

    // Largest alphabet of each run kind: the model's total must stay above n + 1 because counts never halve
    // below 1. Byte runs and the static run use 16-bit codes (total 8192), word runs 17-bit codes (total 16300).
    static constexpr uint32_t kMaxByteAlphabet = ArithModel::kMaxByteAlphabet;
    static constexpr uint32_t kMaxWordAlphabet = ArithModel::kMaxWordAlphabet;

    // Signed runs map value v to v + offset, offset = n / 2, less 1 when n is even: n = 255 codes -127..127,
    // n = 256 codes -127..128, n = 257 codes -128..128. Encoders append to out.
    ArithRun EncodeSignedBytes(std::vector<uint8_t>& out, std::span<const int8_t> values, uint32_t n);
    ArithRun EncodeBytes(std::vector<uint8_t>& out, std::span<const uint8_t> values, uint32_t n); // 0..n-1
    ArithRun EncodeWords(std::vector<uint8_t>& out, std::span<const int16_t> values, uint32_t n);
    ArithRun EncodeStatic(std::vector<uint8_t>& out, std::span<const int8_t> values, uint32_t n);

    // Decoders write at most out.size() values; a signed value of n = 257 that is 128 wraps to -128 in a byte.
    ArithRun DecodeSignedBytes(std::span<const uint8_t> in, std::span<int8_t> out, uint32_t n);
    ArithRun DecodeBytes(std::span<const uint8_t> in, std::span<uint8_t> out, uint32_t n);
    ArithRun DecodeWords(std::span<const uint8_t> in, std::span<int16_t> out, uint32_t n);
    ArithRun DecodeStatic(std::span<const uint8_t> in, std::span<int8_t> out, uint32_t n);

    static int32_t SignedOffset(uint32_t n) { return static_cast<int32_t>(n / 2) - ((n % 2 == 0) ? 1 : 0); }

private:
    template <typename Next> void EncodeSymbols(std::vector<uint8_t>& out, size_t count, bool adaptive, Next nextValue);
    template <typename Value, typename ToSymbolValue>
    ArithRun EncodeAdaptive(std::vector<uint8_t>& out, std::span<const Value> values, uint32_t n, uint32_t bits,
                            ToSymbolValue toSymbolValue);
    template <typename Value, typename FromSymbolValue>
    ArithRun DecodeRun(std::span<const uint8_t> in, std::span<Value> out, uint32_t n, uint32_t bits, bool isStatic,
                       FromSymbolValue fromSymbolValue);

    ArithModel m_model;
};
