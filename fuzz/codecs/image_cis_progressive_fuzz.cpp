// ImageDecoder fed in chunks: the first byte gives the chunk size, the rest is the stream buffer.
#include <cstddef>
#include <cstdint>
#include <span>

#include "codecs/image/image_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t chunk = size_t{data[0]} + 1;
    const std::span<const uint8_t> stream(data + 1, size - 1);
    // As in the one-shot target: larger claims are refused by the limit, smaller ones decode.
    cis::ImageDecoder decoder(stream, {}, cis::DecodeLimits{uint64_t{1} << 22});
    size_t received = 0;
    int code = cis::ImageDecoder::kNeedData;
    // Every call either consumes a level or asks for data, so the steps are bounded by the chunks and the levels.
    for (int steps = 0; steps < 1000000; ++steps) {
        if (code == cis::ImageDecoder::kNeedData) {
            if (received == stream.size())
                break;
            received = std::min(stream.size(), received + chunk);
            decoder.SetBytesReceived(received);
        }
        code = decoder.DecodeStep();
        if (code == cis::ImageDecoder::kDone || code == cis::ImageDecoder::kFailed)
            break;
    }
    if (code == cis::ImageDecoder::kDone &&
        decoder.Pixels().size() != size_t(decoder.Width()) * size_t(decoder.Height()) * 4)
        __builtin_trap();
    if (decoder.Failure() == cis::DecodeStatus::kTooLarge &&
        uint64_t(decoder.Width()) * uint64_t(decoder.Height()) <= (uint64_t{1} << 22))
        __builtin_trap();
    return 0;
}
