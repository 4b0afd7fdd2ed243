#include "codecs/sound/wave_frame_stream.h"

#include <algorithm>

#include "platform/base/endian.h"

namespace sound {

size_t ReadWhole(WaveFrameSource& source, void* buffer, size_t n, bool widen)
{
    auto* const out = static_cast<uint8_t*>(buffer);
    size_t got = 0;
    // A widened read asks for whole samples only, or a last odd byte would be asked for again and again.
    while (got < n && (!widen || n - got >= 2)) {
        size_t count = 0;
        if (!source.Read(out + got, n - got, count, widen) || count == 0)
            break;
        got += count;
    }
    return got;
}

size_t ReadFromMemory(std::span<const uint8_t> bytes, size_t& position, void* buffer, size_t n, bool widen)
{
    auto* const out = static_cast<uint8_t*>(buffer);
    const size_t take = std::min(widen ? n / 2 : n, bytes.size() - position);
    for (size_t i = 0; i < take; ++i) {
        const uint8_t b = bytes[position + i];
        if (widen)
            pf::storeU16le(out + 2 * i, static_cast<uint16_t>(257 * b - 32768));
        else
            out[i] = b;
    }
    position += take;
    return widen ? 2 * take : take;
}

void LoadSamples(const uint8_t* bytes, size_t count, int16_t* out)
{
    for (size_t i = 0; i < count; ++i)
        out[i] = static_cast<int16_t>(pf::loadU16le(bytes + 2 * i));
}

void StoreSamples(const int16_t* samples, size_t count, uint8_t* out)
{
    for (size_t i = 0; i < count; ++i)
        pf::storeU16le(out + 2 * i, static_cast<uint16_t>(samples[i]));
}

MemoryFrameSource::MemoryFrameSource(std::span<const uint8_t> bytes, bool eightBitSamples)
    : m_bytes(bytes), m_eightBit(eightBitSamples)
{
}

bool MemoryFrameSource::Read(void* buffer, size_t n, size_t& outCount, bool widen)
{
    outCount = ReadFromMemory(m_bytes, m_position, buffer, n, widen);
    return outCount > 0;
}

bool MemoryFrameSource::SetHistory(uint32_t /*capacity*/)
{
    return true;
}

bool MemoryFrameSource::StepBack(int64_t n)
{
    if (n > 0 || static_cast<uint64_t>(-n) > m_position)
        return false;
    m_position -= static_cast<size_t>(-n);
    return true;
}

bool VectorFrameSink::Write(const void* data, size_t n)
{
    const auto* const p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + n);
    return true;
}

std::vector<int16_t> VectorFrameSink::Samples() const
{
    std::vector<int16_t> out(bytes.size() / 2);
    LoadSamples(bytes.data(), out.size(), out.data());
    return out;
}

std::vector<uint8_t> SampleBytes(std::span<const int16_t> samples)
{
    std::vector<uint8_t> out(2 * samples.size());
    StoreSamples(samples.data(), samples.size(), out.data());
    return out;
}

} // namespace sound
