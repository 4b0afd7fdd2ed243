#include "designer/app/recovery.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>

#include "platform/base/atomic_file.h"

namespace {

std::string Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

} // namespace

std::string CVTND_Recovery::DefaultPath()
{
    const std::string settings = Variable("VORTAN_SETTINGS_FILE");
    if (!settings.empty())
        return (std::filesystem::path(settings).parent_path() / "recovery.vtp").string();
    std::string state = Variable("XDG_STATE_HOME");
    if (state.empty() || state.front() != '/') {
        const std::string home = Variable("HOME");
        if (home.empty())
            return {};
        state = home;
        state += "/.local/state";
    }
    state += "/vortan/recovery.vtp";
    return state;
}

CVTND_Recovery::CVTND_Recovery(std::string path) : m_path(path.empty() ? DefaultPath() : std::move(path))
{
    if (m_path.empty())
        return;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(m_path).parent_path(), error);
    TakeOver();
}

bool CVTND_Recovery::TakeOver()
{
    if (IsOwner())
        return true;
    if (m_path.empty())
        return false;
    const std::string lockPath = m_path + ".lock";
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_lockFd = fd;
    // What the designer before left (it ended with unsaved work, or was killed) is not this one's to replace.
    m_earlier = Exists();
    return true;
}

struct CVTND_Recovery::Background {
    std::string origin;
    std::function<bool(std::string& error)> write; // the thread's until done; let go as it ends
    std::thread thread;
    std::atomic<bool> done{false};
    BackgroundWrite result; // the thread's until done

    void Run()
    {
        result.written = write(result.error);
        write = nullptr; // what it held (the document) goes now, not when it is taken
        done.store(true, std::memory_order_release);
    }
};

CVTND_Recovery::~CVTND_Recovery()
{
    TakeBackground(true); // the copy whole, or the old one as it was, before the lock goes
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

void CVTND_Recovery::WriteInBackground(std::function<bool(std::string& error)> write, std::string origin)
{
    TakeBackground(true);
    auto job = std::make_unique<Background>();
    job->origin = std::move(origin);
    job->write = std::move(write);
    Background* const running = job.get();
    try {
        job->thread = std::thread([running] { running->Run(); });
    } catch (const std::system_error&) { // no thread to be had: written now
        running->Run();
    }
    m_background = std::move(job);
}

std::optional<CVTND_Recovery::BackgroundWrite> CVTND_Recovery::TakeBackground(bool wait)
{
    if (m_background == nullptr || (!wait && !m_background->done.load(std::memory_order_acquire)))
        return std::nullopt;
    if (m_background->thread.joinable())
        m_background->thread.join();
    const std::unique_ptr<Background> ended = std::move(m_background);
    if (ended->result.written)
        Written(ended->origin);
    return ended->result;
}

bool CVTND_Recovery::Exists() const
{
    std::error_code error;
    return !m_path.empty() && std::filesystem::exists(m_path, error);
}

void CVTND_Recovery::Delete()
{
    TakeBackground(true); // a copy still being written would come back after the deletion
    if (!IsOwner() || m_earlier)
        return;
    std::error_code error;
    std::filesystem::remove(m_path, error);
    std::filesystem::remove(OriginPath(), error);
    m_originWritten.reset();
}

void CVTND_Recovery::DeleteEarlier()
{
    m_earlier = false;
    Delete();
}

CVTND_Recovery::Origin CVTND_Recovery::ReadOrigin() const
{
    Origin origin;
    std::ifstream in(OriginPath(), std::ios::binary);
    if (in)
        origin.project.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    struct stat status {};
    if (::stat(m_path.c_str(), &status) == 0)
        origin.written = status.st_mtime;
    return origin;
}

bool CVTND_Recovery::BeginWrite(std::string& outError, std::optional<std::string>* movedAside)
{
    TakeBackground(true);
    if (!IsOwner()) {
        outError = "another designer keeps the recovery copy";
        return false;
    }
    if (m_earlier && Exists()) {
        const std::optional<std::string> aside = MoveAside();
        if (!aside) {
            outError = "the copy an earlier run left at " + m_path + " could not be moved aside";
            return false;
        }
        if (movedAside != nullptr)
            *movedAside = aside;
    }
    m_earlier = false;
    return true;
}

void CVTND_Recovery::Written(const std::string& origin)
{
    // The copy is whole before its note; a note that did not follow only leaves the copy unnamed.
    if (m_originWritten == origin)
        return;
    std::string ignored;
    if (pf::writeFileAtomically(OriginPath(), origin, &ignored))
        m_originWritten = origin;
    else
        m_originWritten.reset();
}

std::optional<std::string> CVTND_Recovery::MoveAside()
{
    if (!IsOwner())
        return std::nullopt;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[32] = {};
    if (::localtime_r(&now, &local) == nullptr || std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local) == 0)
        return std::nullopt;
    const std::filesystem::path from(m_path);
    // Appended piece by piece: joined with operator+, this compiler warns of overlapping copies that cannot happen.
    std::string stem = (from.parent_path() / from.stem()).string();
    stem += '-';
    stem += stamp;
    // Two failures within a second get a count after the time rather than overwrite the first.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string to = stem;
        if (attempt != 0) {
            to += '-';
            to += std::to_string(attempt);
        }
        to += from.extension().string();
        std::error_code error;
        if (std::filesystem::exists(to, error))
            continue;
        std::filesystem::rename(from, to, error);
        if (error)
            return std::nullopt;
        std::filesystem::rename(OriginPath(), to + ".origin", error);
        m_originWritten.reset();
        return to;
    }
    return std::nullopt;
}
