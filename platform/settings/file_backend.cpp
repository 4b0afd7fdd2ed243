#include "platform/settings/file_backend.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pf {

namespace {

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
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t done = ::write(fd, bytes.data(), bytes.size());
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(done));
    }
    return true;
}

enum class ReadResult { Read, Missing, Failed, TooLarge };

ReadResult ReadWholeFile(const std::string& path, size_t limit, std::string& out)
{
    out.clear();
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return ReadResult::Failed;
    if (static_cast<uint64_t>(info.st_size) > limit)
        return ReadResult::TooLarge;
    char piece[8192];
    for (;;) {
        const ssize_t got = ::read(file.get(), piece, sizeof piece);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return ReadResult::Failed;
        if (got == 0)
            return ReadResult::Read;
        if (out.size() + static_cast<size_t>(got) > limit)
            return ReadResult::TooLarge; // it grew while we read it
        out.append(piece, static_cast<size_t>(got));
    }
}

// So that the rename itself survives a crash; a folder that cannot be opened only loses that guarantee.
void SyncFolder(const std::filesystem::path& folder)
{
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        (void)::fsync(dir.get());
}

// Fills a temporary file beside `path`, flushes it and renames it over `path`; on any failure the temporary
// file goes and `path` is as it was.
template <class Fill> bool ReplaceAtomically(const std::string& path, Fill fill)
{
    const std::filesystem::path target(path);
    std::filesystem::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        return false;
    const std::string pattern = (folder / (target.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    FileDescriptor temp(::mkostemp(name.data(), O_CLOEXEC)); // mode 0600: settings are the user's alone
    if (temp.get() < 0)
        return false;
    const bool written = fill(temp.get()) && ::fsync(temp.get()) == 0;
    const bool closed = temp.close();
    if (!written || !closed || ::rename(name.data(), path.c_str()) != 0) {
        ::unlink(name.data());
        return false;
    }
    SyncFolder(folder);
    return true;
}

enum class CopyResult { Copied, Missing, Failed };

CopyResult CopyFileAtomically(const std::string& from, const std::string& to)
{
    FileDescriptor source(::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (source.get() < 0)
        return errno == ENOENT ? CopyResult::Missing : CopyResult::Failed;
    struct stat info {};
    if (::fstat(source.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return CopyResult::Failed; // a pipe or a device is nothing we can keep a copy of
    const bool copied = ReplaceAtomically(to, [&](int fd) {
        char piece[65536];
        for (;;) {
            const ssize_t got = ::read(source.get(), piece, sizeof piece);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return got == 0;
            if (!WriteAll(fd, std::string_view(piece, static_cast<size_t>(got))))
                return false;
        }
    });
    return copied ? CopyResult::Copied : CopyResult::Failed;
}

} // namespace

FileBackend::FileBackend(std::string path) : m_path(std::move(path)) {}

SettingsLoad FileBackend::load()
{
    std::string text;
    switch (ReadWholeFile(m_path, kMaxFileBytes, text)) {
    case ReadResult::Read:
        return {std::move(text), {}};
    case ReadResult::Missing:
        return {std::nullopt, {}};
    case ReadResult::TooLarge:
        return {std::nullopt, m_path + ": larger than a settings file can be; not read"};
    case ReadResult::Failed:
        break;
    }
    return {std::nullopt, m_path + ": cannot be read"};
}

bool FileBackend::store(const std::string& text, bool keepOriginal)
{
    if (keepOriginal && CopyFileAtomically(m_path, m_path + ".bak") == CopyResult::Failed)
        return false; // what we cannot keep aside, we must not replace
    return writeFileAtomically(m_path, text);
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

bool writeFileAtomically(const std::string& path, std::string_view bytes)
{
    return ReplaceAtomically(path, [&](int fd) { return WriteAll(fd, bytes); });
}

} // namespace pf
