#include "engine/resources/mmio_stream.h"

#include <algorithm>
#include <new>

#include "engine/core/chunk_stream.h"
#include "platform/base/atomic_file.h"
#include "platform/media/riff_wave_reader.h"
#include "platform/media/riff_wave_writer.h"

MmioStream::MmioStream(SWchunkstream* stream, bool write, uint8_t& outError) : m_mode(kModeRecord), m_write(write)
{
    m_stream = stream;
    const bool usable = stream != nullptr && stream->IsWriting() == write;
    outError = usable ? 0 : 1;
    if (!usable) {
        m_stream = nullptr;
        m_failed = true;
    }
}

MmioStream::MmioStream(int mode, bool write) : m_mode(mode), m_write(write) {}

MmioStream::~MmioStream()
{
    Close();
}

bool MmioStream::Read(void* buffer, size_t n, size_t& outCount, bool widen)
{
    outCount = 0;
    if (m_write || m_failed || m_closed || buffer == nullptr)
        return false;
    auto* const out = static_cast<uint8_t*>(buffer);
    if (!widen) {
        outCount = FetchRaw(out, n);
        return outCount > 0;
    }
    // The source bytes land in the upper half and widen forwards into the whole: sample i is written at 2i and
    // 2i + 1, never past source byte i, which is already read.
    const size_t want = n / 2;
    uint8_t* const raw = out + want;
    const size_t got = FetchRaw(raw, want);
    for (size_t i = 0; i < got; ++i) {
        const auto sample = static_cast<uint16_t>(257 * static_cast<int32_t>(raw[i]) - 32768);
        out[2 * i] = static_cast<uint8_t>(sample);
        out[2 * i + 1] = static_cast<uint8_t>(sample >> 8);
    }
    outCount = 2 * got;
    return outCount > 0;
}

bool MmioStream::Write(const void* bytes, size_t n)
{
    if (!m_write || m_failed || m_closed || (bytes == nullptr && n > 0))
        return false;
    if (n == 0)
        return true;
    bool written = false;
    switch (m_mode) {
    case kModeRiffWave:
        written = m_writer != nullptr && m_writer->write(bytes, n);
        break;
    case kModeRecord:
        written = m_stream != nullptr && m_stream->WriteBytes(bytes, n);
        break;
    case kModePlainFile:
        written = m_output != nullptr && m_output->write({static_cast<const uint8_t*>(bytes), n});
        break;
    default:
        break;
    }
    if (!written)
        m_failed = true;
    return written;
}

bool MmioStream::SetHistory(uint32_t capacity)
{
    if (m_mode != kModeRecord || m_write || capacity > kMaxHistoryBytes)
        return false;
    try {
        m_history.assign(capacity, 0);
    } catch (const std::bad_alloc&) {
        m_history.clear();
        return false;
    }
    m_delivered = 0;
    m_position = 0;
    return true;
}

size_t MmioStream::HistoryHeld() const
{
    return static_cast<size_t>(std::min<uint64_t>(m_delivered, m_history.size()));
}

bool MmioStream::StepBack(int64_t n)
{
    if (n < 0) {
        const uint64_t back = uint64_t{0} - static_cast<uint64_t>(n);
        const uint64_t oldest = m_delivered - HistoryHeld();
        if (m_position - oldest < back) {
            m_position = oldest;
            return false;
        }
        m_position -= back;
        return true;
    }
    const auto forward = static_cast<uint64_t>(n);
    if (m_delivered - m_position < forward) {
        m_position = m_delivered;
        return false;
    }
    m_position += forward;
    return true;
}

bool MmioStream::Close()
{
    if (m_closed)
        return m_closeResult;
    m_closed = true;
    m_closeResult = CloseDevice() && !m_failed;
    return m_closeResult;
}

bool MmioStream::Write(std::span<const uint8_t> bytes)
{
    return Write(bytes.data(), bytes.size());
}

size_t MmioStream::Read(std::span<uint8_t> out)
{
    size_t count = 0;
    Read(out.data(), out.size(), count, false);
    return count;
}

size_t MmioStream::ReadSource(uint8_t* out, size_t n)
{
    switch (m_mode) {
    case kModeRiffWave:
        return m_reader != nullptr ? m_reader->read(out, n) : 0;
    case kModeRecord: {
        if (m_stream == nullptr)
            return 0;
        // Never ask past the record: a short read marks the stream for good.
        const size_t ask = static_cast<size_t>(std::min<uint64_t>(n, m_stream->Remaining()));
        const size_t got = ask > 0 ? m_stream->ReadBytes(out, ask) : 0;
        if (m_stream->Status() != SWchunkstream::kStatusGood)
            m_failed = true;
        return m_failed ? 0 : got;
    }
    case kModePlainFile: {
        if (m_file == nullptr)
            return 0;
        const size_t got = std::fread(out, 1, n, m_file);
        if (got < n && std::ferror(m_file) != 0)
            m_failed = true;
        return got;
    }
    default:
        return 0;
    }
}

size_t MmioStream::FetchRaw(uint8_t* out, size_t n)
{
    size_t got = 0;
    while (got < n && m_position < m_delivered) // replay what a step back passed over
        out[got++] = m_history[m_position++ % m_history.size()];
    if (got < n) {
        const size_t fresh = ReadSource(out + got, n - got);
        Remember(out + got, fresh);
        got += fresh;
    }
    return got;
}

void MmioStream::Remember(const uint8_t* bytes, size_t n)
{
    if (!m_history.empty())
        for (size_t i = 0; i < n; ++i)
            m_history[(m_delivered + i) % m_history.size()] = bytes[i];
    m_delivered += n;
    m_position = m_delivered;
}

bool MmioStream::CloseDevice()
{
    bool closed = true;
    if (m_writer != nullptr)
        closed = m_writer->finish();
    if (m_output != nullptr)
        closed = m_output->commit();
    if (m_mode == kModeRecord && m_stream != nullptr)
        closed = m_stream->Status() == SWchunkstream::kStatusGood;
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_reader.reset();
    m_stream = nullptr;
    return closed;
}
