#include "platform/live/tests/live_environment.h"

#include "platform/base/user_constants.h"
#include "platform/time/clock.h"
#include "platform/ui/core/message_loop.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace pf {

namespace {

XvfbServer* g_server = nullptr;
bool g_sdlOpened = false;
bool g_serverHasWindowManager = false;
Size g_serverSize{1280, 1024};

class LiveEnvironment final : public ::testing::Environment {
public:
    void SetUp() override
    {
        g_server = new XvfbServer();
        std::string error;
        ASSERT_TRUE(g_server->start(error)) << error;
    }
    void TearDown() override
    {
        delete g_server;
        g_server = nullptr;
    }
};

const auto* const g_registered = ::testing::AddGlobalTestEnvironment(new LiveEnvironment());

// runUntil's bound holds only while the loop's steps come back to it: a step that opens a modal run (a menu, a
// question) stays inside for as long as that run lasts, and a failing test waited there for ever. Once the
// outermost wait is this far past its bound, a thread of its own ends every running loop as a quit does.
constexpr auto kHeldLoopGrace = std::chrono::seconds(10);
constexpr int32_t kHeldLoopQuit = 124;

class LoopWatch {
public:
    static LoopWatch& instance()
    {
        static auto* watch = new LoopWatch(); // its thread waits on it until the process ends
        return *watch;
    }
    void arm(Ui& ui, std::chrono::steady_clock::time_point end)
    {
        const std::lock_guard lock(m_mutex);
        m_ui = &ui;
        m_end = end + kHeldLoopGrace;
        m_fired = false;
        m_changed.notify_one();
    }
    // True when the watch ended the loops; the Ui is not touched after this returns.
    bool disarm()
    {
        const std::lock_guard lock(m_mutex);
        m_ui = nullptr;
        return std::exchange(m_fired, false);
    }
    bool hasFired() const { return m_firedNow.load(); }
    void clearFired() { m_firedNow = false; }

private:
    LoopWatch()
    {
        std::thread([this] { watch(); }).detach();
    }
    void watch()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (m_ui == nullptr || m_fired) {
                m_changed.wait(lock);
                continue;
            }
            m_changed.wait_until(lock, m_end);
            if (m_ui != nullptr && !m_fired && std::chrono::steady_clock::now() >= m_end) {
                m_fired = true;
                m_firedNow = true;
                m_ui->postQuit(kHeldLoopQuit); // under the lock: the Ui outlives the call
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    Ui* m_ui = nullptr; // armed while set
    std::chrono::steady_clock::time_point m_end;
    bool m_fired = false;
    std::atomic<bool> m_firedNow{false}; // read by the dispatch that names what was open
};

// What held the loop: the window in front (a menu is never the active one) and how many dialogs ran.
std::string describeHeldLoop(const Ui& ui)
{
    const auto name = [&](Hwnd hwnd) {
        const Window* w = ui.window(hwnd);
        return w != nullptr ? "'" + w->text() + "' (" + w->className() + ")" : std::string("none");
    };
    const std::vector<Hwnd> tops = ui.topLevels();
    return "the window in front " + name(tops.empty() ? kNoWindow : tops.front()) + ", the active one " +
           name(ui.activeWindow()) + ", " + std::to_string(ui.modalDepth()) + " modal dialog(s) running";
}

} // namespace

XvfbServer& liveServer()
{
    return *g_server;
}

void LiveFixture::SetUp()
{
    ASSERT_NE(g_server, nullptr);
    std::string reason;
    if (withWindowManager != g_serverHasWindowManager || screenSize != g_serverSize) {
        // SDL keeps the server it first opened on until the process ends; ctest gives every test a process.
        if (g_sdlOpened)
            GTEST_SKIP() << "needs an X server unlike the one SDL holds from an earlier test: run it alone";
        delete g_server;
        g_server = new XvfbServer();
        ASSERT_TRUE(g_server->start(reason, screenSize)) << reason;
        if (withWindowManager) {
            ASSERT_TRUE(g_server->startWindowManager(reason)) << reason;
        }
        g_serverHasWindowManager = withWindowManager;
        g_serverSize = screenSize;
    }
    m_backend = SdlBackend::open(reason);
    ASSERT_NE(m_backend, nullptr) << reason;
    g_sdlOpened = true;
    m_ui = std::make_unique<Ui>();
    m_ui->setBackend(m_backend.get());
    // The first message dispatched once a held loop is ended names what held it, before the runs unwind.
    m_ui->addObserver(&m_heldBy, [this](const Msg&) {
        if (m_heldBy.empty() && LoopWatch::instance().hasFired())
            m_heldBy = describeHeldLoop(*m_ui);
    });
    SetUpLive();
}

void LiveFixture::TearDown()
{
    if (m_ui != nullptr)
        m_ui->removeObserver(&m_heldBy);
    m_ui.reset();
    m_backend.reset();
}

bool LiveFixture::runUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const bool outermost = m_waitDepth++ == 0;
    if (outermost)
        LoopWatch::instance().arm(*m_ui, end);
    bool met = true;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            met = false;
            break;
        }
        runLoopStep(*m_ui);
    }
    --m_waitDepth;
    if (!outermost || !LoopWatch::instance().disarm())
        return met;
    // The quit was the watch's, not the program's: the test goes on with its loops as they were.
    m_ui->clearQuit();
    LoopWatch::instance().clearFired();
    ADD_FAILURE() << "a step of the loop held it " << timeoutMs << " ms and "
                  << std::chrono::duration_cast<std::chrono::seconds>(kHeldLoopGrace).count()
                  << " s more; ended by a quit with " << (m_heldBy.empty() ? "nothing dispatched" : m_heldBy);
    m_heldBy.clear();
    return false;
}

void LiveFixture::settle(int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    runUntil([&] { return std::chrono::steady_clock::now() > end; }, ms + 1000);
}

void LiveFixture::pressAndMove(Point from, Point to)
{
    g_server->moveTo(from);
    settle(100);
    g_server->button(1, true);
    settle(100);
    for (int step = 1; step <= 4; ++step) {
        g_server->moveTo({from.x + (to.x - from.x) * step / 4, from.y + (to.y - from.y) * step / 4});
        settle(60);
    }
}

Window* LiveFixture::createTopLevel(const Rect& rect, uint32_t style)
{
    Window* top = m_ui->createWindow({"window", "live test", style, 0, rect});
    if (top != nullptr)
        top->show(SW_SHOW);
    return top;
}

} // namespace pf
