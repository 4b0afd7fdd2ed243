#include "platform/base/atomic_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/base/error_text.h"

namespace pf {

namespace {

constexpr int kMaxLinkHops = 40;          // as the kernel's own limit on a chain of symbolic links
constexpr size_t kMaxTempStemBytes = 200; // leaves room for the marks and the random part in a 255-byte name

std::string CannotWrite(const std::string& path, const std::string& cause)
{
    return "cannot write " + path + ": " + cause;
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A relative link target is read from the link's own folder, not from ours.
std::string JoinLinkTarget(const std::string& linkPath, const std::string& target)
{
    if (!target.empty() && target.front() == '/')
        return target;
    const size_t slash = linkPath.rfind('/');
    return slash == std::string::npos ? target : linkPath.substr(0, slash + 1) + target;
}

constexpr const char* kReadOnlyText = "the file is read-only";

struct Destination {
    std::string path;    // symbolic links followed
    bool exists = false; // a regular file is there now
    struct stat info {}; // of that file, when it exists
    std::string refusal; // why it cannot be replaced; empty when it can
};

Destination ResolveDestination(const std::string& path)
{
    Destination out;
    out.path = path;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        if (::lstat(out.path.c_str(), &out.info) != 0) {
            if (errno != ENOENT)
                out.refusal = errorText(errno);
            return out; // missing: a new file, if its folder takes one
        }
        if (S_ISREG(out.info.st_mode)) {
            out.exists = true;
            return out;
        }
        if (!S_ISLNK(out.info.st_mode)) {
            out.refusal = notAFileText(out.info.st_mode);
            return out;
        }
        std::vector<char> target(PATH_MAX + 1);
        const ssize_t length = ::readlink(out.path.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<size_t>(length) >= target.size()) {
            out.refusal = errorText(length < 0 ? errno : ENAMETOOLONG);
            return out;
        }
        out.path = JoinLinkTarget(out.path, std::string(target.data(), static_cast<size_t>(length)));
    }
    out.refusal = errorText(ELOOP);
    return out;
}

// So that the rename itself survives a crash; a folder that cannot be opened only loses that guarantee.
void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

// Temporaries a killed writer left beside the target (".NAME.XXXXXX"): each writer holds a lock on its own while
// it lives, so one whose lock can be taken has no writer; one younger than a minute is left alone, its writer
// perhaps between making it and locking it.
void RemoveStaleTemporaries(const std::string& folder, const std::string& stem)
{
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return;
    const std::string prefix = "." + stem + ".";
    const time_t oldest = ::time(nullptr) - 60;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix) ||
            !std::all_of(name.end() - 6, name.end(),
                         [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
            continue;
        const std::string path = folder + "/" + std::string(name);
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_mtime < oldest &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.c_str());
        ::close(fd);
    }
    ::closedir(dir);
}

} // namespace

std::unique_ptr<AtomicFile> AtomicFile::open(const std::string& path, std::string& outError, unsigned newFileMode)
{
    outError.clear();
    const Destination destination = ResolveDestination(path);
    if (!destination.refusal.empty()) {
        outError = CannotWrite(path, destination.refusal);
        return nullptr;
    }
    // The rename needs only the folder: a file its owner made read-only would be replaced without a word, so the
    // owner's own bit decides, whoever writes (root passes every permission check).
    if (destination.exists && (destination.info.st_mode & S_IWUSR) == 0) {
        outError = CannotWrite(path, kReadOnlyText);
        return nullptr;
    }
    const std::string stem = NameOf(destination.path).substr(0, kMaxTempStemBytes);
    RemoveStaleTemporaries(FolderOf(destination.path), stem);
    std::string tempPath = FolderOf(destination.path) + "/." + stem + ".XXXXXX";
    const int fd = ::mkostemp(tempPath.data(), O_CLOEXEC);
    if (fd < 0) {
        outError = CannotWrite(path, errorText(errno));
        return nullptr;
    }
    (void)::flock(fd, LOCK_EX | LOCK_NB); // ours until it is renamed or we end: see RemoveStaleTemporaries
    std::unique_ptr<AtomicFile> file(new AtomicFile(path, destination.path, std::move(tempPath), fd));
    if (destination.exists && (destination.info.st_uid != ::geteuid() || destination.info.st_gid != ::getegid()))
        (void)::fchown(fd, destination.info.st_uid, destination.info.st_gid); // only a privileged writer can
    const mode_t mode = destination.exists ? destination.info.st_mode & 07777 : newFileMode & 07777;
    if (::fchmod(fd, mode) != 0) {
        file->fail(errno);
        outError = file->error();
        return nullptr;
    }
    return file;
}

bool isReadOnlyTarget(const std::string& path)
{
    const Destination destination = ResolveDestination(path);
    return destination.refusal.empty() && destination.exists && (destination.info.st_mode & S_IWUSR) == 0;
}

AtomicFile::AtomicFile(std::string shownPath, std::string targetPath, std::string tempPath, int fd)
    : m_shownPath(std::move(shownPath)), m_targetPath(std::move(targetPath)), m_tempPath(std::move(tempPath)), m_fd(fd)
{
}

AtomicFile::~AtomicFile()
{
    if (!m_committed)
        discardTemporary();
}

bool AtomicFile::write(std::span<const uint8_t> bytes)
{
    if (m_fd < 0 || !m_error.empty())
        return false;
    // In pieces, each sent on its way to the disk once written: the commit's fsync then finds most of a large file
    // on the disk already, and the dirty pages of one large write never pile up to where the system throttles the
    // writer. Where the system cannot start the write-back early, the fsync does it all, as before.
    constexpr size_t kPieceBytes = size_t{8} << 20;
    while (!bytes.empty()) {
        const ssize_t done = ::write(m_fd, bytes.data(), std::min(bytes.size(), kPieceBytes));
        if (done > 0) {
            (void)::sync_file_range(m_fd, m_written, done, SYNC_FILE_RANGE_WRITE);
            m_written += done;
        }
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return fail(done < 0 ? errno : EIO);
        bytes = bytes.subspan(static_cast<size_t>(done));
    }
    return true;
}

bool AtomicFile::commit()
{
    if (m_committed)
        return true;
    if (m_fd < 0 || !m_error.empty())
        return fail(EBADF);
    if (::fsync(m_fd) != 0)
        return fail(errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) // a network file system may report a failed write only here
        return fail(errno);
    if (::rename(m_tempPath.c_str(), m_targetPath.c_str()) != 0)
        return fail(errno);
    m_committed = true;
    m_tempPath.clear();
    SyncFolder(FolderOf(m_targetPath));
    return true;
}

bool AtomicFile::fail(int errnoValue)
{
    if (m_error.empty())
        m_error = CannotWrite(m_shownPath, errorText(errnoValue));
    discardTemporary();
    return false;
}

void AtomicFile::discardTemporary()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* outError, unsigned newFileMode)
{
    std::string error;
    std::unique_ptr<AtomicFile> file = AtomicFile::open(path, error, newFileMode);
    const bool written =
        file && file->write(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) && file->commit();
    if (file && !written)
        error = file->error();
    if (outError != nullptr)
        *outError = written ? std::string() : error;
    return written;
}

void ignoreFileSizeSignal()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace pf
