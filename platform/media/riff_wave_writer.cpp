#include "platform/media/riff_wave_writer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <unistd.h>

#include "platform/base/endian.h"

namespace pf {

namespace {

constexpr uint64_t kRiffSizeOffset = 4;
constexpr uint64_t kDataSizeOffset = 40;

std::array<uint8_t, kWaveHeaderBytes> HeaderOf(const WaveFormat& format)
{
    std::array<uint8_t, kWaveHeaderBytes> h{};
    std::memcpy(&h[0], "RIFF", 4); // sizes at 4 and 40 stay 0 until finish()
    std::memcpy(&h[8], "WAVE", 4);
    std::memcpy(&h[12], "fmt ", 4);
    storeU32le(&h[16], kWaveFormatBytes);
    storeU16le(&h[20], format.tag);
    storeU16le(&h[22], format.channels);
    storeU32le(&h[24], format.rate);
    storeU32le(&h[28], format.avgBytesPerSec);
    storeU16le(&h[32], format.blockAlign);
    storeU16le(&h[34], format.bits);
    std::memcpy(&h[36], "data", 4);
    return h;
}

} // namespace

RiffWaveWriter::RiffWaveWriter(int fd) : m_fd(fd)
{
    m_buffer.reserve(kBufferBytes);
}

RiffWaveWriter::~RiffWaveWriter()
{
    finish();
}

std::unique_ptr<RiffWaveWriter> RiffWaveWriter::create(const std::string& path, const WaveFormat& format)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return nullptr;
    std::unique_ptr<RiffWaveWriter> writer;
    try {
        writer.reset(new RiffWaveWriter(fd));
    } catch (const std::bad_alloc&) {
        ::close(fd);
        return nullptr;
    }
    const auto header = HeaderOf(format);
    if (!writer->writeAll(header.data(), header.size())) {
        writer->m_failed = true;
        writer->finish();
        return nullptr;
    }
    return writer;
}

bool RiffWaveWriter::write(const void* p, size_t n)
{
    if (m_finished || m_failed || (n > 0 && p == nullptr))
        return false;
    if (n > kMaxDataBytes - m_dataBytes) {
        m_failed = true; // these bytes will never reach the file, so finish() must say so
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(p);
    size_t left = n;
    while (left > 0) {
        const size_t take = std::min(left, kBufferBytes - m_buffer.size());
        m_buffer.insert(m_buffer.end(), bytes, bytes + take);
        bytes += take;
        left -= take;
        if (m_buffer.size() == kBufferBytes && !flushBuffer())
            return false;
    }
    m_dataBytes += n;
    return true;
}

bool RiffWaveWriter::finish()
{
    if (m_finished)
        return m_finishResult;
    m_finished = true;
    bool ok = !m_failed && flushBuffer();
    const bool odd = (m_dataBytes & 1u) != 0;
    if (ok && odd) {
        const uint8_t pad = 0; // the stated data size stays odd; only the chunk is padded
        ok = writeAll(&pad, 1);
    }
    const uint64_t riffBytes = kWaveHeaderBytes - 8 + m_dataBytes + (odd ? 1 : 0);
    ok = patchSize(kDataSizeOffset, static_cast<uint32_t>(m_dataBytes)) && ok;
    ok = patchSize(kRiffSizeOffset, static_cast<uint32_t>(riffBytes)) && ok;
    ok = ::close(m_fd) == 0 && ok;
    m_fd = -1;
    m_finishResult = ok;
    return ok;
}

void RiffWaveWriter::pretendWritten(uint64_t n)
{
    m_dataBytes += std::min(n, kMaxDataBytes - m_dataBytes);
}

bool RiffWaveWriter::flushBuffer()
{
    const bool ok = writeAll(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    if (!ok)
        m_failed = true;
    return ok;
}

bool RiffWaveWriter::writeAll(const uint8_t* p, size_t n)
{
    while (n > 0) {
        const ssize_t done = ::write(m_fd, p, n);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        p += done;
        n -= static_cast<size_t>(done);
    }
    return true;
}

bool RiffWaveWriter::patchSize(uint64_t offset, uint32_t value)
{
    uint8_t bytes[4];
    storeU32le(bytes, value);
    return ::pwrite(m_fd, bytes, sizeof bytes, static_cast<off_t>(offset)) == static_cast<ssize_t>(sizeof bytes);
}

} // namespace pf
