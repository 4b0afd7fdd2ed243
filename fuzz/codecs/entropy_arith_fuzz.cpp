// ArithCoder: byte 0 picks the run kind, bytes 1-2 the alphabet; the rest is decoded with a bounded output, then
// read as values, encoded and decoded again, which must give them back exactly.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/entropy/arith_coder.h"

namespace {

constexpr size_t kOutputCapacity = 4096;

template <typename Value>
void CheckRoundTrip(ArithCoder& coder, const std::vector<Value>& values, uint32_t n,
                    ArithRun (ArithCoder::*encode)(std::vector<uint8_t>&, std::span<const Value>, uint32_t),
                    ArithRun (ArithCoder::*decode)(std::span<const uint8_t>, std::span<Value>, uint32_t))
{
    std::vector<uint8_t> stream;
    if (!(coder.*encode)(stream, values, n).Ok())
        __builtin_trap();
    std::vector<Value> back(values.size());
    const ArithRun run = (coder.*decode)(stream, back, n);
    if (!run.Ok() || run.values != values.size() || back != values)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const int kind = data[0] % 4;
    const uint32_t limit = kind == 2 ? ArithCoder::kMaxWordAlphabet : 300;
    const uint32_t n = 1 + (uint32_t(data[1] | (data[2] << 8)) % (limit + 20)); // a few past the bound too
    const std::span<const uint8_t> rest(data + 3, size - 3);
    ArithCoder coder;

    std::vector<int8_t> bytes(kOutputCapacity);
    std::vector<uint8_t> unsignedBytes(kOutputCapacity);
    std::vector<int16_t> words(kOutputCapacity);
    ArithRun run;
    switch (kind) {
    case 0:
        run = coder.DecodeSignedBytes(rest, bytes, n);
        break;
    case 1:
        run = coder.DecodeBytes(rest, unsignedBytes, n);
        break;
    case 2:
        run = coder.DecodeWords(rest, words, n);
        break;
    default:
        run = coder.DecodeStatic(rest, bytes, n);
        break;
    }
    if (run.values > kOutputCapacity || run.bytes > rest.size() + 8)
        __builtin_trap();

    if (kind == 2 ? n > ArithCoder::kMaxWordAlphabet : n > ArithCoder::kMaxByteAlphabet)
        return 0;
    const int32_t offset = ArithCoder::SignedOffset(n);
    std::vector<int8_t> signedValues;
    std::vector<uint8_t> plainValues;
    std::vector<int16_t> wordValues;
    for (const uint8_t b : rest) {
        const int32_t v = static_cast<int32_t>(b % std::min<uint32_t>(n, 256)) - offset;
        if (v >= -128 && v <= 127)
            signedValues.push_back(static_cast<int8_t>(v));
        plainValues.push_back(static_cast<uint8_t>(b % std::min<uint32_t>(n, 256)));
        wordValues.push_back(static_cast<int16_t>(static_cast<int32_t>((b * 97u) % n) - offset));
    }
    switch (kind) {
    case 0:
        CheckRoundTrip(coder, signedValues, n, &ArithCoder::EncodeSignedBytes, &ArithCoder::DecodeSignedBytes);
        break;
    case 1:
        CheckRoundTrip(coder, plainValues, n, &ArithCoder::EncodeBytes, &ArithCoder::DecodeBytes);
        break;
    case 2:
        CheckRoundTrip(coder, wordValues, n, &ArithCoder::EncodeWords, &ArithCoder::DecodeWords);
        break;
    default:
        CheckRoundTrip(coder, signedValues, n, &ArithCoder::EncodeStatic, &ArithCoder::DecodeStatic);
        break;
    }
    return 0;
}
