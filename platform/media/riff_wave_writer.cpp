#include "platform/media/riff_wave_writer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

#include "platform/base/atomic_file.h"
#include "platform/base/endian.h"
#include "platform/base/error_text.h"
#include "platform/media/temp_file.h"

namespace pf {

namespace {

constexpr size_t kCopyBytes = 65536;

std::array<uint8_t, kWaveHeaderBytes> HeaderOf(const WaveFormat& format, uint32_t dataBytes, uint32_t riffBytes)
{
    std::array<uint8_t, kWaveHeaderBytes> h{};
    std::memcpy(&h[0], "RIFF", 4);
    storeU32le(&h[4], riffBytes);
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
    storeU32le(&h[40], dataBytes);
    return h;
}

// A file without a name in the temporary folder, or, where the file system cannot make one, a named one removed
// at once; -1 with errno set when neither works.
int OpenScratchFile()
{
    const int fd = ::open(tempDirectory().c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return fd;
    const std::optional<std::string> path = makeTempFile("wav");
    if (!path)
        return -1;
    const int named = ::open(path->c_str(), O_RDWR | O_CLOEXEC);
    const int cause = errno;
    ::unlink(path->c_str());
    errno = cause;
    return named;
}

bool WriteAll(int fd, const uint8_t* p, size_t n)
{
    while (n > 0) {
        const ssize_t done = ::write(fd, p, n);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            if (done == 0)
                errno = EIO;
            return false;
        }
        p += done;
        n -= static_cast<size_t>(done);
    }
    return true;
}

} // namespace

RiffWaveWriter::RiffWaveWriter(std::string path, const WaveFormat& format, std::unique_ptr<AtomicFile> target,
                               int scratchFd)
    : m_path(std::move(path)), m_format(format), m_target(std::move(target)), m_scratchFd(scratchFd)
{
    m_buffer.reserve(kBufferBytes);
}

RiffWaveWriter::~RiffWaveWriter()
{
    if (m_scratchFd >= 0)
        ::close(m_scratchFd);
}

std::unique_ptr<RiffWaveWriter> RiffWaveWriter::create(const std::string& path, const WaveFormat& format,
                                                       std::string* outError)
{
    std::string error;
    std::unique_ptr<RiffWaveWriter> writer;
    try {
        if (!format.isWritable()) {
            error = "cannot write " + path + ": a wave format without channels, with a rate outside 1.." +
                    std::to_string(kMaxWaveRate) + " Hz, or whose byte rate or block size does not fit its field";
        } else if (std::unique_ptr<AtomicFile> target = AtomicFile::open(path, error)) {
            const int scratch = OpenScratchFile();
            if (scratch < 0)
                error = "cannot write " + path + ": scratch file in " + tempDirectory() + ": " + errorText(errno);
            else
                writer.reset(new RiffWaveWriter(path, format, std::move(target), scratch));
        }
    } catch (const std::bad_alloc&) {
        writer.reset();
        error = "cannot write " + path + ": out of memory";
    }
    if (outError != nullptr)
        *outError = writer ? std::string() : error;
    return writer;
}

bool RiffWaveWriter::write(const void* p, size_t n)
{
    if (m_finished || m_failed || (n > 0 && p == nullptr))
        return false;
    if (n > kMaxDataBytes - m_dataBytes)
        return fail("more than " + std::to_string(kMaxDataBytes) + " bytes of data do not fit a wave file");
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
    const bool odd = (m_dataBytes & 1u) != 0;
    const uint64_t riffBytes = kWaveHeaderBytes - 8 + m_dataBytes + (odd ? 1 : 0);
    const auto header = HeaderOf(m_format, static_cast<uint32_t>(m_dataBytes), static_cast<uint32_t>(riffBytes));
    const uint8_t pad = 0; // the stated data size stays odd; only the chunk is padded
    bool ok = !m_failed && flushBuffer() && m_target->write(header) && copyScratchToTarget() &&
              (!odd || m_target->write(std::span(&pad, 1))) && m_target->commit();
    if (!ok && m_error.empty())
        m_error = m_target->error();
    m_target.reset(); // a failed replacement leaves no temporary file behind
    m_finishResult = ok;
    return ok;
}

void RiffWaveWriter::pretendWritten(uint64_t n)
{
    m_dataBytes += std::min(n, kMaxDataBytes - m_dataBytes);
}

bool RiffWaveWriter::flushBuffer()
{
    const bool ok = WriteAll(m_scratchFd, m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return ok || fail("scratch file in " + tempDirectory() + ": " + errorText(errno));
}

bool RiffWaveWriter::fail(const std::string& cause)
{
    m_failed = true;
    if (m_error.empty())
        m_error = "cannot write " + m_path + ": " + cause;
    return false;
}

bool RiffWaveWriter::copyScratchToTarget()
{
    std::vector<uint8_t> chunk(kCopyBytes);
    uint64_t offset = 0;
    while (offset < m_dataBytes) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(chunk.size(), m_dataBytes - offset));
        const ssize_t got = ::pread(m_scratchFd, chunk.data(), want, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return fail("scratch file in " + tempDirectory() + ": " + (got < 0 ? errorText(errno) : "data lost"));
        if (!m_target->write(std::span(chunk).first(static_cast<size_t>(got))))
            return false;
        offset += static_cast<uint64_t>(got);
    }
    return true;
}

} // namespace pf
