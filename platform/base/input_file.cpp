#include "platform/base/input_file.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/base/error_text.h"

namespace pf {

namespace {

constexpr size_t kReadBlockBytes = size_t{1} << 16;

InputFileResult Refusal(const std::string& path, InputFileStatus status, int errnoValue, std::string cause)
{
    InputFileResult result;
    result.status = status;
    result.errnoValue = errnoValue;
    result.cause = std::move(cause);
    result.message = "cannot read " + path + ": " + result.cause;
    return result;
}

InputFileResult SystemRefusal(const std::string& path, int errnoValue)
{
    const InputFileStatus status =
        errnoValue == ENOENT || errnoValue == ENOTDIR ? InputFileStatus::kMissing : InputFileStatus::kCannotRead;
    return Refusal(path, status, errnoValue, errorText(errnoValue));
}

InputFileResult TooLarge(const std::string& path, uint64_t maxBytes)
{
    return Refusal(path, InputFileStatus::kTooLarge, 0,
                   "it is larger than the limit of " + std::to_string(maxBytes) + " bytes");
}

// What stat says of the path (links followed) or of the open file, as a refusal or as ok.
InputFileResult Examine(const std::string& path, const struct stat& info, uint64_t maxBytes)
{
    if (!S_ISREG(info.st_mode))
        return Refusal(path, InputFileStatus::kNotAFile, 0, notAFileText(info.st_mode));
    if (static_cast<uint64_t>(info.st_size) > maxBytes)
        return TooLarge(path, maxBytes);
    return {};
}

} // namespace

std::unique_ptr<InputFile> InputFile::open(const std::string& path, InputFileResult& outResult, uint64_t maxBytes)
{
    // Looked at before it is opened: opening some devices does something, and a FIFO is never ours to open.
    outResult = checkInputFile(path, maxBytes);
    if (!outResult.ok())
        return nullptr;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        outResult = SystemRefusal(path, errno);
        return nullptr;
    }
    std::unique_ptr<InputFile> file(new InputFile(path, fd, 0));
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        outResult = SystemRefusal(path, errno);
        return nullptr;
    }
    outResult = Examine(path, info, maxBytes); // the path may have changed since it was looked at
    if (!outResult.ok())
        return nullptr;
    // A regular file ignores O_NONBLOCK; clearing it keeps a reader of this descriptor from ever seeing EAGAIN.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    file->m_sizeBytes = static_cast<uint64_t>(info.st_size);
    return file;
}

InputFile::InputFile(std::string path, int fd, uint64_t sizeBytes)
    : m_path(std::move(path)), m_fd(fd), m_sizeBytes(sizeBytes)
{
}

InputFile::~InputFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

ptrdiff_t InputFile::read(std::span<uint8_t> bytes, InputFileResult& outResult)
{
    for (;;) {
        const ssize_t got = ::read(m_fd, bytes.data(), bytes.size());
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            outResult = SystemRefusal(m_path, errno);
            return -1;
        }
    }
}

ptrdiff_t InputFile::readAt(uint64_t offset, std::span<uint8_t> bytes, InputFileResult& outResult)
{
    for (;;) {
        const ssize_t got = ::pread(m_fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            outResult = SystemRefusal(m_path, errno);
            return -1;
        }
    }
}

InputFileResult readWholeFile(const std::string& path, std::vector<uint8_t>& outBytes, uint64_t maxBytes)
{
    outBytes.clear();
    InputFileResult result;
    const std::unique_ptr<InputFile> file = InputFile::open(path, result, maxBytes);
    if (!file)
        return result;
    try {
        // The stated size is only a first guess (a file in /proc states 0): reading goes on to the end or the limit.
        outBytes.reserve(static_cast<size_t>(file->sizeBytes()));
        std::vector<uint8_t> block(kReadBlockBytes);
        for (;;) {
            const ptrdiff_t got = file->read(block, result);
            if (got < 0)
                break;
            if (got == 0)
                return result;
            if (static_cast<uint64_t>(got) > maxBytes - outBytes.size()) {
                result = TooLarge(path, maxBytes); // it grew while being read
                break;
            }
            outBytes.insert(outBytes.end(), block.begin(), block.begin() + got);
        }
    } catch (const std::bad_alloc&) {
        result = Refusal(path, InputFileStatus::kOutOfMemory, ENOMEM, errorText(ENOMEM));
    }
    outBytes.clear();
    outBytes.shrink_to_fit();
    return result;
}

InputFileResult checkInputFile(const std::string& path, uint64_t maxBytes)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return SystemRefusal(path, errno);
    InputFileResult result = Examine(path, info, maxBytes);
    if (result.ok() && ::access(path.c_str(), R_OK) != 0)
        result = SystemRefusal(path, errno);
    return result;
}

} // namespace pf
