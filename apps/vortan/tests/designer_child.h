#pragma once
// The designer as a person starts it, in a process of its own on a test's X server: what the tests that end it from
// outside (a signal, a close, a destroyed window, a lost display) share.
#include <X11/keysym.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/base/atomic_file.h"
#include "platform/live/tests/live_environment.h"
#include "platform/testing/xvfb_server.h"

namespace pf {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The designer as a person starts it, on the test's server, in a folder of its own that holds its settings, its
// recovery copy beside them and its error stream; the user known already unless a first run is asked for. Every
// wait has a deadline far beyond what a loaded machine needs: each ends as soon as its condition holds.
class DesignerChild {
public:
    static constexpr auto kDeadline = 60s;

    // `settings` goes on in the settings file after the known user's name. server: the test's own, else the
    // process's.
    DesignerChild(const std::string& name, bool knownUser, const std::string& settings = "",
                  XvfbServer* server = nullptr)
        : m_server(server != nullptr ? server : &liveServer()),
          folder(std::filesystem::temp_directory_path() / ("vortan-live-" + name + "-" + std::to_string(::getpid())))
    {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        if (knownUser) {
            EXPECT_TRUE(
                writeFileAtomically((folder / "settings.reg").string(),
                                    "[Software\\Brenix\\Vortan\\Editor]\n\"user name\"=\"Live Test\"\n" + settings));
        }
    }
    ~DesignerChild()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        std::filesystem::remove_all(folder);
    }
    // A recovery copy left behind by an earlier run: the sample project, offered at start-up.
    void LeaveRecoveryCopy() { std::filesystem::copy_file(SamplePath(), folder / "recovery.vtp"); }
    void Start()
    {
        const std::string settings = (folder / "settings.reg").string();
        const std::string errors = (folder / "stderr.txt").string();
        const std::string home = folder.string();
        m_pid = ::fork();
        ASSERT_GE(m_pid, 0);
        if (m_pid == 0) {
            const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd >= 0)
                ::dup2(fd, 2);
            ::setenv("DISPLAY", Server().display().c_str(), 1);
            ::setenv("HOME", home.c_str(), 1);
            ::setenv("VORTAN_SETTINGS_FILE", settings.c_str(), 1);
            ::setenv("SDL_AUDIODRIVER", "disk", 1);
            ::setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
            ::execl(VORTAN_EXECUTABLE, VORTAN_EXECUTABLE, static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    static bool WaitUntil(const std::function<bool()>& done)
    {
        for (const auto until = Clock::now() + kDeadline; !done(); std::this_thread::sleep_for(20ms))
            if (Clock::now() > until)
                return false;
        return true;
    }
    unsigned long AwaitWindow(const std::string& name, bool wholeName = false)
    {
        unsigned long found = 0;
        WaitUntil([&] { return Ended() || (found = Server().findTopLevel(name, wholeName)) != 0; });
        return found;
    }
    // Keys typed at a window reach it once it has the keyboard: a window is named before it shows, and a window
    // manager hands the focus on a moment after it maps a window or unmaps the one that had it.
    unsigned long AwaitFocusedWindow(const std::string& name, bool wholeName = false)
    {
        const unsigned long found = AwaitWindow(name, wholeName);
        WaitUntil([&] { return Ended() || (found != 0 && Server().focus() == found); });
        // A window manager keeps its own idea of the active window, and acts on it when it takes a key itself.
        WaitUntil([&] {
            return Ended() || Server().property(0, "_NET_SUPPORTING_WM_CHECK").empty() ||
                   Server().property(0, "_NET_ACTIVE_WINDOW") == std::vector<unsigned long>{found};
        });
        return found != 0 && Server().focus() == found ? found : 0;
    }
    // The process has taken SIGTERM in hand (its handler is in), as /proc tells. Until the child runs the designer,
    // a handler of this test program's would pass for the designer's own.
    bool CatchesTermination() const
    {
        std::error_code error;
        if (std::filesystem::read_symlink("/proc/" + std::to_string(m_pid) + "/exe", error) !=
            std::filesystem::canonical(VORTAN_EXECUTABLE, error))
            return false;
        std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with("SigCgt:"))
                return (std::stoull(line.substr(7), nullptr, 16) & (1ull << (SIGTERM - 1))) != 0;
        return false;
    }
    void Signal(int signal) const { ASSERT_EQ(::kill(m_pid, signal), 0); }
    bool Ended()
    {
        if (m_pid > 0 && ::waitpid(m_pid, &m_status, WNOHANG) == m_pid)
            m_pid = 0;
        return m_pid == 0;
    }
    // Its exit status once it ended by itself within the deadline; -1 otherwise (then it is killed).
    int AwaitExit()
    {
        if (!WaitUntil([&] { return Ended(); }))
            return -1;
        return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : 128 + WTERMSIG(m_status);
    }
    std::string Errors() const
    {
        std::ifstream in(folder / "stderr.txt");
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void ExpectNoReport() const
    {
        const std::string errors = Errors();
        EXPECT_EQ(errors.find("runtime error"), std::string::npos) << errors;
        EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
        EXPECT_EQ(errors.find("X Error"), std::string::npos) << errors;
        EXPECT_EQ(errors.find("did not end in time"), std::string::npos) << errors;
    }
    static std::filesystem::path SamplePath()
    {
        return std::filesystem::path(VORTAN_EXECUTABLE).parent_path().parent_path().parent_path() /
               "samples/sample.vtp";
    }
    // The recovery copy offered at start-up taken (Enter answers its default, Yes): the project is modified. The
    // frame is named "Vortan" too until it names its project, which it does before the offer comes.
    void OpenTheRecoveryCopy()
    {
        ASSERT_NE(AwaitWindow("Vortan - "), 0u) << Errors();
        ASSERT_NE(AwaitFocusedWindow("Vortan", true), 0u) << "no recovery offer: " << Errors();
        Server().tap(XK_Return);
        ASSERT_TRUE(WaitUntil([&] { return Ended() || Server().findTopLevel("Vortan", true) == 0; }));
    }

    XvfbServer& Server() const { return *m_server; }

private:
    XvfbServer* m_server;

public:
    const std::filesystem::path folder;

private:
    pid_t m_pid = 0;
    int m_status = 0;
};

} // namespace pf
