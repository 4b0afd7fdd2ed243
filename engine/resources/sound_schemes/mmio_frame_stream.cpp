#include "engine/resources/sound_schemes/mmio_frame_stream.h"

#include "engine/resources/mmio_stream.h"

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
