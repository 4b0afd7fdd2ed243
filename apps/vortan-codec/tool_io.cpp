#include "apps/vortan-codec/tool_io.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/base/atomic_file.h"

namespace codectool {

namespace {

constexpr size_t kReadBlockBytes = 1 << 16;

std::string CannotRead(const std::string& path, const std::string& cause)
{
    return "cannot read " + path + ": " + cause;
}

std::string CannotRead(const std::string& path, int errnoValue)
{
    return CannotRead(path, std::strerror(errnoValue));
}

// Only regular files are read: a FIFO or a device could block or never end, and a folder has no bytes.
std::string NonFileCause(mode_t mode)
{
    return S_ISDIR(mode) ? "it is a folder, not a file" : "it is not a regular file";
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int Get() const { return m_fd; }

private:
    int m_fd;
};

std::string TooLarge(const std::string& path, size_t maxBytes)
{
    return CannotRead(path, "it is larger than the " + std::to_string(maxBytes) + "-byte limit");
}

} // namespace

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, std::string& outError, size_t maxBytes)
{
    // Non-blocking, so that a FIFO at the path is refused below instead of waiting for a writer.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (file.Get() < 0 || ::fstat(file.Get(), &info) != 0) {
        outError = CannotRead(path, errno);
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        outError = CannotRead(path, NonFileCause(info.st_mode));
        return std::nullopt;
    }
    if (static_cast<uint64_t>(info.st_size) > maxBytes) {
        outError = TooLarge(path, maxBytes);
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(info.st_size));
    uint8_t block[kReadBlockBytes];
    for (;;) {
        const ssize_t got = ::read(file.Get(), block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            outError = CannotRead(path, errno);
            return std::nullopt;
        }
        if (got == 0)
            return bytes;
        if (static_cast<size_t>(got) > maxBytes - bytes.size()) { // the file grew while being read
            outError = TooLarge(path, maxBytes);
            return std::nullopt;
        }
        bytes.insert(bytes.end(), block, block + got);
    }
}

bool CheckInputFile(const std::string& path, std::string& outError)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        outError = CannotRead(path, errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        outError = CannotRead(path, NonFileCause(info.st_mode));
        return false;
    }
    if (::access(path.c_str(), R_OK) != 0) {
        outError = CannotRead(path, errno);
        return false;
    }
    return true;
}

std::unique_ptr<pf::AtomicFile> OpenOutput(const std::string& path, std::string& outError)
{
    return pf::AtomicFile::open(path, outError);
}

bool FinishOutput(pf::AtomicFile& file, std::span<const uint8_t> bytes, std::string& outError)
{
    if (file.write(bytes) && file.commit())
        return true;
    outError = file.error();
    return false;
}

bool WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes, std::string& outError)
{
    const std::unique_ptr<pf::AtomicFile> file = OpenOutput(path, outError);
    return file && FinishOutput(*file, bytes, outError);
}

std::optional<int64_t> ParseNumber(std::string_view text, const NumberRule& rule, std::string& outError)
{
    int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, value);
    if (error == std::errc() && next == end && value >= rule.lowest && value <= rule.highest)
        return value;
    outError = std::string(rule.name) + " must be a whole number from " + std::to_string(rule.lowest) + " to " +
               std::to_string(rule.highest) + ", not \"" + std::string(text) + "\"";
    return std::nullopt;
}

int ReportError(int exitCode, const std::string& message)
{
    std::fprintf(stderr, "vortan-codec: %s\n", message.c_str());
    return exitCode;
}

} // namespace codectool
