#include "platform/settings/file_backend.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/base/atomic_file.h"

namespace pf {

namespace {

constexpr unsigned kSettingsFileMode = 0600; // settings are the user's alone

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

enum class ReadResult { kRead, kMissing, kFailed, kTooLarge };

ReadResult ReadWholeFile(const std::string& path, size_t limit, std::string& out)
{
    out.clear();
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0)
        return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return ReadResult::kFailed;
    if (static_cast<uint64_t>(info.st_size) > limit)
        return ReadResult::kTooLarge;
    char piece[8192];
    for (;;) {
        const ssize_t got = ::read(file.get(), piece, sizeof piece);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return ReadResult::kFailed;
        if (got == 0)
            return ReadResult::kRead;
        if (out.size() + static_cast<size_t>(got) > limit)
            return ReadResult::kTooLarge; // it grew while we read it
        out.append(piece, static_cast<size_t>(got));
    }
}

enum class CopyResult { kCopied, kMissing, kFailed };

CopyResult CopyFileAtomically(const std::string& from, const std::string& to)
{
    FileDescriptor source(::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (source.get() < 0)
        return errno == ENOENT ? CopyResult::kMissing : CopyResult::kFailed;
    struct stat info {};
    if (::fstat(source.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return CopyResult::kFailed; // a pipe or a device is nothing we can keep a copy of
    std::string error;
    const std::unique_ptr<AtomicFile> copy = AtomicFile::open(to, error, kSettingsFileMode);
    if (!copy)
        return CopyResult::kFailed;
    uint8_t piece[65536];
    for (;;) {
        const ssize_t got = ::read(source.get(), piece, sizeof piece);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return CopyResult::kFailed;
        if (got == 0)
            break;
        if (!copy->write(std::span(piece, static_cast<size_t>(got))))
            return CopyResult::kFailed;
    }
    return copy->commit() ? CopyResult::kCopied : CopyResult::kFailed;
}

} // namespace

FileBackend::FileBackend(std::string path) : m_path(std::move(path)) {}

SettingsLoad FileBackend::load()
{
    std::string text;
    switch (ReadWholeFile(m_path, kMaxFileBytes, text)) {
    case ReadResult::kRead:
        return {std::move(text), {}};
    case ReadResult::kMissing:
        return {std::nullopt, {}};
    case ReadResult::kTooLarge:
        return {std::nullopt, m_path + ": larger than a settings file can be; not read"};
    case ReadResult::kFailed:
        break;
    }
    return {std::nullopt, m_path + ": cannot be read"};
}

bool FileBackend::store(const std::string& text, bool keepOriginal)
{
    if (keepOriginal && CopyFileAtomically(m_path, m_path + ".bak") == CopyResult::kFailed)
        return false; // what we cannot keep aside, we must not replace
    const std::filesystem::path folder = std::filesystem::path(m_path).parent_path();
    std::error_code ignored;
    if (!folder.empty())
        std::filesystem::create_directories(folder, ignored); // a failure shows in the write that follows
    return writeFileAtomically(m_path, text, nullptr, kSettingsFileMode);
}

std::optional<std::string> defaultSettingsPath()
{
    const auto variable = [](const char* name) -> std::optional<std::string> {
        const char* const value = std::getenv(name);
        if (value == nullptr || value[0] == '\0')
            return std::nullopt;
        return std::string(value);
    };
    if (auto path = variable("VORTAN_SETTINGS_FILE"))
        return path;
    std::optional<std::string> config = variable("XDG_CONFIG_HOME");
    if (!config || config->front() != '/') { // a relative value is to be ignored, as if unset
        const auto home = variable("HOME");
        if (!home)
            return std::nullopt;
        config = *home + "/.config";
    }
    return *config + "/vortan/settings.reg";
}

} // namespace pf
