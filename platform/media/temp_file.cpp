#include "platform/media/temp_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pf {

namespace {

constexpr size_t kPrefixBytes = 3;
constexpr int kAttempts = 64;

// A name differs from every earlier one of this process by the counter, and from other processes' by the seed.
uint32_t NextNameNumber()
{
    static std::atomic<uint32_t> counter{
        static_cast<uint32_t>(::getpid()) * 2654435761u ^
        static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    return counter.fetch_add(0x9E3779B9u); // odd step: no repeat within 2^32 names
}

// A '/' would leave the directory; a NUL would cut the name short.
std::string SafePrefix(std::string_view prefix)
{
    std::string safe(prefix.substr(0, kPrefixBytes));
    for (char& c : safe) {
        if (c == '/' || c == '\0')
            c = '_';
    }
    return safe;
}

} // namespace

std::string tempDirectory()
{
    const char* dir = std::getenv("TMPDIR");
    std::string result = (dir != nullptr && dir[0] != '\0') ? dir : "/tmp";
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

std::optional<std::string> makeTempFile(std::string_view prefix)
{
    const std::string dir = tempDirectory();
    const std::string head = dir + "/" + SafePrefix(prefix);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        char number[9];
        std::snprintf(number, sizeof number, "%08x", NextNameNumber());
        std::string path = head + number + ".tmp";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            const bool ok = ::fchmod(fd, 0600) == 0; // the umask may only narrow it; say it outright
            ::close(fd);
            if (!ok) {
                ::unlink(path.c_str());
                return std::nullopt;
            }
            return path;
        }
        if (errno != EEXIST)
            return std::nullopt; // the directory is missing or not writable: another name will not help
    }
    return std::nullopt;
}

} // namespace pf
