// A voice's format, range and bytes from the input: whatever they say, the reader either refuses or reads exactly
// the frames of its range without leaving the bytes. Input layout (little-endian):
//   0 tag u16, 2 channels u16, 4 rate u32, 8 blockAlign u16, 10 bits u16, 12 from u64, 20 to u64, then the bytes.
#include "platform/base/endian.h"
#include "platform/media/voice_reader.h"

#include <cstdlib>
#include <vector>

namespace {

constexpr size_t kHeaderBytes = 28;

uint64_t loadU64le(const uint8_t* p)
{
    return pf::loadU32le(p) | (uint64_t{pf::loadU32le(p + 4)} << 32);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kHeaderBytes)
        return 0;
    pf::WaveFormat format;
    format.tag = pf::loadU16le(data);
    format.channels = pf::loadU16le(data + 2);
    format.rate = pf::loadU32le(data + 4);
    format.blockAlign = pf::loadU16le(data + 8);
    format.bits = pf::loadU16le(data + 10);
    const uint64_t from = loadU64le(data + 12);
    const uint64_t to = loadU64le(data + 20);
    auto bytes = std::make_shared<const std::vector<uint8_t>>(data + kHeaderBytes, data + size);
    auto reader = pf::VoiceReader::open({format, bytes}, from, to);
    if (!reader)
        return 0;
    const uint64_t expected = to - from;
    if (expected * format.blockAlign > bytes->size())
        std::abort(); // a range the bytes cannot hold was accepted
    std::vector<int16_t> out(64u * reader->channels());
    uint64_t total = 0;
    while (size_t got = reader->read(out.data(), 64))
        total += got;
    if (total != expected)
        std::abort();
    return 0;
}
