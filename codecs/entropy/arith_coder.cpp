#include "codecs/entropy/arith_coder.h"

#include <new>

#include "codecs/entropy/arith_decoder.h"
#include "codecs/entropy/arith_encoder.h"

namespace {

// A sound decoder never reads more than two bytes past what its encoder wrote; beyond this the input is cut.
constexpr size_t kReadAheadSlack = 4;

} // namespace

ArithRun ArithCoder::EncodeSignedBytes(std::vector<uint8_t>& out, std::span<const int8_t> values, uint32_t n)
{
    const int32_t offset = SignedOffset(n);
    return EncodeAdaptive(out, values, n, ArithModel::kByteBits, [offset](int8_t v) { return int32_t{v} + offset; });
}

ArithRun ArithCoder::EncodeBytes(std::vector<uint8_t>& out, std::span<const uint8_t> values, uint32_t n)
{
    return EncodeAdaptive(out, values, n, ArithModel::kByteBits, [](uint8_t v) { return int32_t{v}; });
}

ArithRun ArithCoder::EncodeWords(std::vector<uint8_t>& out, std::span<const int16_t> values, uint32_t n)
{
    const int32_t offset = SignedOffset(n);
    return EncodeAdaptive(out, values, n, ArithModel::kWordBits, [offset](int16_t v) { return int32_t{v} + offset; });
}

ArithRun ArithCoder::EncodeStatic(std::vector<uint8_t>& out, std::span<const int8_t> values, uint32_t n)
{
    if (!m_model.IsReady())
        return {ArithStatus::kOutOfMemory, 0, 0};
    if (!m_model.Init(n, ArithModel::kByteBits))
        return {ArithStatus::kBadAlphabet, 0, 0};
    const int32_t offset = SignedOffset(n);
    std::vector<uint32_t> symbolValues;
    try {
        symbolValues.reserve(values.size());
    } catch (const std::bad_alloc&) {
        return {ArithStatus::kOutOfMemory, 0, 0};
    }
    for (const int8_t v : values) {
        const int32_t sv = int32_t{v} + offset;
        if (sv < 0 || static_cast<uint32_t>(sv) >= n)
            return {ArithStatus::kValueOutOfRange, 0, 0};
        symbolValues.push_back(static_cast<uint32_t>(sv));
    }
    m_model.CountFrequencies(symbolValues);

    const size_t start = out.size();
    try {
        m_model.AppendCounts(out);
        size_t at = 0;
        EncodeSymbols(out, symbolValues.size(), false, [&] { return symbolValues[at++]; });
    } catch (const std::bad_alloc&) {
        out.resize(start);
        return {ArithStatus::kOutOfMemory, 0, 0};
    }
    return {ArithStatus::kOk, out.size() - start, values.size()};
}

ArithRun ArithCoder::DecodeSignedBytes(std::span<const uint8_t> in, std::span<int8_t> out, uint32_t n)
{
    const int32_t offset = SignedOffset(n);
    return DecodeRun(in, out, n, ArithModel::kByteBits, false,
                     [offset](uint32_t sv) { return static_cast<int8_t>(static_cast<int32_t>(sv) - offset); });
}

ArithRun ArithCoder::DecodeBytes(std::span<const uint8_t> in, std::span<uint8_t> out, uint32_t n)
{
    return DecodeRun(in, out, n, ArithModel::kByteBits, false, [](uint32_t sv) { return static_cast<uint8_t>(sv); });
}

ArithRun ArithCoder::DecodeWords(std::span<const uint8_t> in, std::span<int16_t> out, uint32_t n)
{
    const int32_t offset = SignedOffset(n);
    return DecodeRun(in, out, n, ArithModel::kWordBits, false,
                     [offset](uint32_t sv) { return static_cast<int16_t>(static_cast<int32_t>(sv) - offset); });
}

ArithRun ArithCoder::DecodeStatic(std::span<const uint8_t> in, std::span<int8_t> out, uint32_t n)
{
    const int32_t offset = SignedOffset(n);
    return DecodeRun(in, out, n, ArithModel::kByteBits, true,
                     [offset](uint32_t sv) { return static_cast<int8_t>(static_cast<int32_t>(sv) - offset); });
}

// Codes count values from nextValue(), then the end symbol and the flush; an adaptive run updates after each.
template <typename Next>
void ArithCoder::EncodeSymbols(std::vector<uint8_t>& out, size_t count, bool adaptive, Next nextValue)
{
    ArithEncoder encoder(m_model, out);
    for (size_t k = 0; k < count; ++k) {
        const uint32_t symbol = m_model.IndexOf(nextValue());
        encoder.Encode(symbol);
        if (adaptive)
            m_model.Update(symbol);
    }
    encoder.Finish();
}

template <typename Value, typename ToSymbolValue>
ArithRun ArithCoder::EncodeAdaptive(std::vector<uint8_t>& out, std::span<const Value> values, uint32_t n, uint32_t bits,
                                    ToSymbolValue toSymbolValue)
{
    if (!m_model.IsReady())
        return {ArithStatus::kOutOfMemory, 0, 0};
    if (!m_model.Init(n, bits))
        return {ArithStatus::kBadAlphabet, 0, 0};
    for (const Value v : values) {
        const int32_t sv = toSymbolValue(v);
        if (sv < 0 || static_cast<uint32_t>(sv) >= n)
            return {ArithStatus::kValueOutOfRange, 0, 0};
    }
    const size_t start = out.size();
    try {
        m_model.Start();
        size_t at = 0;
        EncodeSymbols(out, values.size(), true, [&] { return static_cast<uint32_t>(toSymbolValue(values[at++])); });
    } catch (const std::bad_alloc&) {
        out.resize(start);
        return {ArithStatus::kOutOfMemory, 0, 0};
    }
    return {ArithStatus::kOk, out.size() - start, values.size()};
}

// The decoder takes a byte when it needs its first bit, so the bytes it has read are its bits rounded up.
template <typename Value, typename FromSymbolValue>
ArithRun ArithCoder::DecodeRun(std::span<const uint8_t> in, std::span<Value> out, uint32_t n, uint32_t bits,
                               bool isStatic, FromSymbolValue fromSymbolValue)
{
    if (!m_model.IsReady())
        return {ArithStatus::kOutOfMemory, 0, 0};
    if (!m_model.Init(n, bits))
        return {ArithStatus::kBadAlphabet, 0, 0};
    size_t pos = 0;
    if (isStatic) {
        if (!m_model.ReadCounts(in, pos))
            return {ArithStatus::kBadModel, pos, 0};
    } else {
        m_model.Start();
    }
    ArithDecoder decoder(m_model, in, pos);
    const uint64_t bitLimit = (uint64_t{in.size()} + kReadAheadSlack - pos) * 8;
    ArithRun run;
    for (;;) {
        const uint32_t symbol = decoder.Decode();
        if (symbol == m_model.EndSymbol())
            break;
        if (run.values == out.size()) {
            run.status = ArithStatus::kOutputFull;
            break;
        }
        out[run.values++] = fromSymbolValue(m_model.ValueOf(symbol));
        if (!isStatic)
            m_model.Update(symbol);
        if (decoder.BitsTaken() > bitLimit) {
            run.status = ArithStatus::kTruncated;
            break;
        }
    }
    run.bytes = pos + static_cast<size_t>((decoder.BitsTaken() + 7) / 8);
    return run;
}
