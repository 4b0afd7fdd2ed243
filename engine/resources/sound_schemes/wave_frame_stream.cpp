#include "engine/resources/sound_schemes/wave_frame_stream.h"

#include "engine/resources/mmio_stream.h"

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

MmioFrameStream::MmioFrameStream(MmioStream& stream, uint16_t bitsPerSample)
    : m_stream(stream), m_bitsPerSample(bitsPerSample)
{
}

bool MmioFrameStream::Read(void* buffer, size_t n, size_t& outCount, bool widen)
{
    return m_stream.Read(buffer, n, outCount, widen);
}

bool MmioFrameStream::SetHistory(uint32_t capacity)
{
    return m_stream.SetHistory(capacity);
}

bool MmioFrameStream::StepBack(int64_t n)
{
    return m_stream.StepBack(n);
}

bool MmioFrameStream::HasFailed() const
{
    return m_stream.HasFailed();
}

bool MmioFrameStream::Write(const void* bytes, size_t n)
{
    return m_stream.Write(bytes, n);
}
