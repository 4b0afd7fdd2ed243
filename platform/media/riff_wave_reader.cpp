#include "platform/media/riff_wave_reader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/base/endian.h"

namespace pf {

class RiffWaveReader::Source {
public:
    virtual ~Source() = default;
    virtual uint64_t sizeBytes() const = 0;
    virtual size_t readAt(uint64_t offset, uint8_t* dst, size_t n) = 0; // fewer than n at the end or on error
};

namespace {

constexpr size_t kChunkHeaderBytes = 8;
constexpr size_t kExtensibleFormatBytes = 40; // 16 plain + cbSize + valid bits + channel mask + sub-format GUID
constexpr uint16_t kExtensibleExtraBytes = 22;

// Bytes 4..15 of the sub-format GUID that every extensible sub-format shares; bytes 0..3 hold the plain tag.
constexpr std::array<uint8_t, 12> kSubFormatGuidTail = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                                        0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool HasId(const uint8_t* p, const char (&id)[5])
{
    return std::memcmp(p, id, 4) == 0;
}

class FileSource final : public RiffWaveReader::Source {
public:
    FileSource(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    ~FileSource() override { ::close(m_fd); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    uint64_t sizeBytes() const override { return m_size; }
    size_t readAt(uint64_t offset, uint8_t* dst, size_t n) override
    {
        size_t done = 0;
        while (done < n) {
            const ssize_t got = ::pread(m_fd, dst + done, n - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break; // end of file (it may have shrunk since we opened it) or a read error
            done += static_cast<size_t>(got);
        }
        return done;
    }

private:
    int m_fd;
    uint64_t m_size;
};

class MemorySource final : public RiffWaveReader::Source {
public:
    explicit MemorySource(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    uint64_t sizeBytes() const override { return m_bytes.size(); }
    size_t readAt(uint64_t offset, uint8_t* dst, size_t n) override
    {
        if (offset >= m_bytes.size())
            return 0;
        const size_t take = static_cast<size_t>(std::min<uint64_t>(n, m_bytes.size() - offset));
        std::memcpy(dst, m_bytes.data() + offset, take);
        return take;
    }

private:
    std::vector<uint8_t> m_bytes;
};

std::unique_ptr<RiffWaveReader::Source> OpenFileSource(const std::string& path)
{
    // Non-blocking, so that a named pipe given as a wave file is refused below instead of waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    const bool statted = ::fstat(fd, &info) == 0;
    if (!statted || !S_ISREG(info.st_mode)) {
        const int cause = !statted ? errno : (S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
        ::close(fd);
        errno = cause; // the caller's message names it
        return nullptr;
    }
    return std::make_unique<FileSource>(fd, static_cast<uint64_t>(info.st_size));
}

uint16_t SubFormatTagOf(const uint8_t* fmt)
{
    if (loadU16le(fmt) != WAVE_FORMAT_EXTENSIBLE || loadU16le(fmt + 16) < kExtensibleExtraBytes)
        return 0;
    const uint32_t code = loadU32le(fmt + 24);
    if (code > 0xFFFF || !std::equal(kSubFormatGuidTail.begin(), kSubFormatGuidTail.end(), fmt + 28))
        return 0;
    return static_cast<uint16_t>(code);
}

} // namespace

RiffWaveReader::RiffWaveReader(std::unique_ptr<Source> source) : m_source(std::move(source)) {}

RiffWaveReader::~RiffWaveReader() = default;

// Both ways of opening end alike: no reader unless its chunks scan cleanly, and running out of memory on the way
// reads as a file that cannot be opened.
template <typename MakeSource>
std::unique_ptr<RiffWaveReader> RiffWaveReader::openWith(MakeSource makeSource, WaveError* err)
{
    WaveError result = WaveError::kCannotOpen;
    std::unique_ptr<RiffWaveReader> reader;
    try {
        if (auto source = makeSource()) {
            reader.reset(new RiffWaveReader(std::move(source)));
            result = reader->scanChunks();
        }
    } catch (const std::bad_alloc&) {
        result = WaveError::kCannotOpen;
    }
    if (result != WaveError::kNone)
        reader.reset();
    if (err)
        *err = result;
    return reader;
}

std::unique_ptr<RiffWaveReader> RiffWaveReader::open(const std::string& path, WaveError* err)
{
    return openWith([&] { return OpenFileSource(path); }, err);
}

std::unique_ptr<RiffWaveReader> RiffWaveReader::fromBytes(std::vector<uint8_t> file, WaveError* err)
{
    return openWith([&] { return std::make_unique<MemorySource>(std::move(file)); }, err);
}

// Walks the chunks after the 12-byte header until both "fmt " and "data" are known. The RIFF size is not
// believed: files in the wild state it wrongly, and the file's own length bounds the walk anyway.
WaveError RiffWaveReader::scanChunks()
{
    const uint64_t end = m_source->sizeBytes();
    uint8_t header[12];
    if (m_source->readAt(0, header, sizeof header) != sizeof header || !HasId(header, "RIFF") ||
        !HasId(header + 8, "WAVE"))
        return WaveError::kNotRiffWave;

    bool haveFormat = false;
    bool haveData = false;
    uint64_t offset = sizeof header;
    while (offset <= end && end - offset >= kChunkHeaderBytes && !(haveFormat && haveData)) {
        uint8_t chunk[kChunkHeaderBytes];
        if (m_source->readAt(offset, chunk, sizeof chunk) != sizeof chunk)
            break;
        const uint32_t size = loadU32le(chunk + 4);
        const uint64_t body = offset + kChunkHeaderBytes;
        if (HasId(chunk, "fmt ") && !haveFormat) {
            uint8_t fmt[kExtensibleFormatBytes] = {};
            const size_t want = size >= kExtensibleFormatBytes ? kExtensibleFormatBytes : kWaveFormatBytes;
            if (size < kWaveFormatBytes || m_source->readAt(body, fmt, want) != want)
                return WaveError::kShortFormat;
            m_format = {loadU16le(fmt),     loadU16le(fmt + 2),  loadU32le(fmt + 4),
                        loadU32le(fmt + 8), loadU16le(fmt + 12), loadU16le(fmt + 14)};
            if (want == kExtensibleFormatBytes)
                m_subFormatTag = SubFormatTagOf(fmt);
            haveFormat = true;
        } else if (HasId(chunk, "data") && !haveData) {
            m_dataOffset = body;
            m_dataBytes = static_cast<uint32_t>(std::min<uint64_t>(size, end - body));
            haveData = true;
        }
        offset = body + size + (size & 1u); // odd chunks carry one pad byte; 64-bit, so no wrap
    }
    if (!haveFormat)
        return WaveError::kMissingFormat;
    if (!haveData)
        return WaveError::kMissingData;
    // No reader of ours can play or code such a sound, and a rate of 0 divides by zero wherever a length is timed.
    if (m_format.channels == 0 || m_format.rate == 0 || m_format.rate > kMaxWaveRate)
        return WaveError::kUnsupportedFormat;
    return WaveError::kNone;
}

size_t RiffWaveReader::read(void* dst, size_t n)
{
    if (dst == nullptr || m_consumed >= m_dataBytes)
        return 0;
    const size_t take = static_cast<size_t>(std::min<uint64_t>(n, m_dataBytes - m_consumed));
    const size_t got = m_source->readAt(m_dataOffset + m_consumed, static_cast<uint8_t*>(dst), take);
    m_consumed += got;
    return got;
}

} // namespace pf
