#include "codecs/sound/wave_codec/byte_stream_coder.h"

#include <algorithm>
#include <new>

#include <zlib.h>

#include "codecs/entropy/arith_coder.h"
#include "codecs/sound/wave_codec/wave_codec_format.h"
#include "platform/base/endian.h"

namespace sound {
namespace {

constexpr int kDeflateLevel = 9;
constexpr int kDeflateWindowBits = 15;
constexpr int kDeflateMemoryLevel = 9;

void AppendHeader(std::vector<uint8_t>& out, uint32_t length, uint32_t count, uint32_t method)
{
    uint8_t header[kWaveBlockHeaderBytes];
    pf::storeU32le(header, length);
    pf::storeU32le(header + 4, count);
    pf::storeU32le(header + 8, method);
    out.insert(out.end(), header, header + kWaveBlockHeaderBytes);
}

void AppendBlock(std::vector<uint8_t>& out, std::span<const uint8_t> body, uint32_t count, uint32_t method)
{
    AppendHeader(out, static_cast<uint32_t>(kWaveBlockHeaderBytes + body.size()), count, method);
    out.insert(out.end(), body.begin(), body.end());
}

std::span<const int8_t> AsSigned(std::span<const uint8_t> bytes)
{
    return {reinterpret_cast<const int8_t*>(bytes.data()), bytes.size()};
}

// The arithmetic code of the bytes appended to out; false, with out as it was, when the coder refused them.
bool ArithmeticBytes(std::span<const uint8_t> bytes, ArithCoder& arith, std::vector<uint8_t>& out)
{
    const size_t start = out.size();
    const ArithRun run = arith.EncodeSignedBytes(out, AsSigned(bytes), kByteStreamAlphabet);
    if (run.status == ArithStatus::kOutOfMemory)
        throw std::bad_alloc();
    if (!run.Ok())
        out.resize(start);
    return run.Ok();
}

// Codes both ways and keeps the smaller when it beats the input.
void EncodeSmallest(std::span<const uint8_t> bytes, ArithCoder& arith, std::vector<uint8_t>& out)
{
    std::vector<uint8_t> arithmetic;
    const bool haveArithmetic = ArithmeticBytes(bytes, arith, arithmetic);
    std::vector<uint8_t> deflated;
    const bool haveDeflate = DeflateBytes(bytes, deflated);
    const size_t n = bytes.size();
    const auto count = static_cast<uint32_t>(n);
    const bool deflateFits = haveDeflate && deflated.size() <= n;
    const bool arithmeticFits = haveArithmetic && arithmetic.size() <= n;
    if (deflateFits && (!arithmeticFits || deflated.size() <= arithmetic.size()))
        AppendBlock(out, deflated, count, kWaveModeDeflate);
    else if (arithmeticFits)
        AppendBlock(out, arithmetic, count, kWaveModeArithmetic);
    else
        AppendBlock(out, bytes, count, kWaveModeCopy);
}

bool DecodeArithmetic(std::span<const uint8_t> body, ArithCoder& arith, std::vector<uint8_t>& out)
{
    std::span<int8_t> values(reinterpret_cast<int8_t*>(out.data()), out.size());
    const ArithRun run = arith.DecodeSignedBytes(body, values, kByteStreamAlphabet);
    if (run.status == ArithStatus::kOutOfMemory)
        throw std::bad_alloc();
    return run.Ok() && run.values == out.size();
}

bool CopyBytes(std::span<const uint8_t> body, std::vector<uint8_t>& out)
{
    if (body.size() != out.size())
        return false;
    std::copy(body.begin(), body.end(), out.begin());
    return true;
}

} // namespace

void EncodeByteStream(std::span<const uint8_t> bytes, uint32_t mode, ArithCoder& arith, std::vector<uint8_t>& out)
{
    const auto count = static_cast<uint32_t>(bytes.size());
    if ((mode & kWaveModeArithmetic) != 0) {
        std::vector<uint8_t> arithmetic;
        if (ArithmeticBytes(bytes, arith, arithmetic))
            AppendBlock(out, arithmetic, count, mode);
        else
            AppendBlock(out, bytes, count, kWaveModeCopy); // the coder refused: keep the data rather than lose it
    } else if ((mode & kWaveModeDeflate) != 0) {
        std::vector<uint8_t> deflated;
        if (DeflateBytes(bytes, deflated))
            AppendBlock(out, deflated, count, mode);
        else
            AppendBlock(out, bytes, count, kWaveModeCopy); // zlib refused: keep the data rather than lose it
    } else if ((mode & kWaveModeCopy) != 0) {
        AppendBlock(out, bytes, count, mode);
    } else if ((mode & kWaveModeSmallest) != 0) {
        EncodeSmallest(bytes, arith, out);
    } else {
        AppendHeader(out, kWaveBlockHeaderBytes, count, mode);
    }
}

bool DecodeByteStream(std::span<const uint8_t> block, size_t maxCount, ArithCoder& arith, std::vector<uint8_t>& out)
{
    out.clear();
    if (block.size() < kWaveBlockHeaderBytes || pf::loadU32le(block.data()) != block.size())
        return false;
    const uint32_t count = pf::loadU32le(block.data() + 4);
    const uint32_t method = pf::loadU32le(block.data() + 8);
    if (count > maxCount)
        return false;
    const std::span<const uint8_t> body = block.subspan(kWaveBlockHeaderBytes);
    out.resize(count);
    bool decoded = false;
    if ((method & kWaveModeArithmetic) != 0)
        decoded = DecodeArithmetic(body, arith, out);
    else if ((method & kWaveModeDeflate) != 0)
        decoded = InflateBytes(body, out);
    else if ((method & kWaveModeCopy) != 0)
        decoded = CopyBytes(body, out);
    else
        decoded = count == 0; // a header-only block carries no bytes
    if (!decoded)
        out.clear();
    return decoded;
}

bool DeflateBytes(std::span<const uint8_t> bytes, std::vector<uint8_t>& out)
{
    z_stream stream{};
    if (deflateInit2(&stream, kDeflateLevel, Z_DEFLATED, kDeflateWindowBits, kDeflateMemoryLevel, Z_FILTERED) != Z_OK)
        return false;
    const size_t start = out.size();
    const size_t bound = deflateBound(&stream, static_cast<uLong>(bytes.size()));
    try {
        out.resize(start + bound);
    } catch (const std::bad_alloc&) {
        deflateEnd(&stream);
        throw;
    }
    stream.next_out = out.data() + start;
    stream.avail_out = static_cast<uInt>(bound);
    // The input goes in five slices without flushing; the output is the same as in one piece.
    const size_t slice = (bytes.size() + 4) / 5;
    size_t given = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        if (stream.avail_in == 0 && given < bytes.size()) {
            const size_t take = std::min(slice, bytes.size() - given);
            stream.next_in = const_cast<Bytef*>(bytes.data() + given);
            stream.avail_in = static_cast<uInt>(take);
            given += take;
        }
        status = deflate(&stream, given == bytes.size() ? Z_FINISH : Z_NO_FLUSH);
    }
    const size_t produced = stream.total_out;
    deflateEnd(&stream);
    if (status != Z_STREAM_END) {
        out.resize(start);
        return false;
    }
    out.resize(start + produced);
    return true;
}

bool InflateBytes(std::span<const uint8_t> stream, std::span<uint8_t> out)
{
    z_stream inflater{};
    if (inflateInit2(&inflater, kDeflateWindowBits) != Z_OK)
        throw std::bad_alloc(); // zlib fails its set-up only when memory runs out
    uint8_t none = 0;
    inflater.next_out = out.empty() ? &none : out.data();
    inflater.avail_out = static_cast<uInt>(out.size());
    // Input in slices of a tenth; the output can never pass out.size(), whatever the stream claims.
    const size_t slice = std::max<size_t>(1, (stream.size() + 9) / 10);
    size_t given = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        if (inflater.avail_in == 0) {
            if (given == stream.size())
                break; // the stream ended before its end mark
            const size_t take = std::min(slice, stream.size() - given);
            inflater.next_in = const_cast<Bytef*>(stream.data() + given);
            inflater.avail_in = static_cast<uInt>(take);
            given += take;
        }
        status = inflate(&inflater, Z_NO_FLUSH);
        if (status == Z_BUF_ERROR && inflater.avail_out == 0)
            break; // more output than the block's count: damaged
        if (status == Z_BUF_ERROR && inflater.avail_in == 0)
            status = Z_OK;
    }
    const bool complete = status == Z_STREAM_END && inflater.total_out == out.size();
    inflateEnd(&inflater);
    return complete;
}

} // namespace sound
