#include "platform/live/tests/live_environment.h"

#include "platform/base/user_constants.h"
#include "platform/time/clock.h"
#include "platform/ui/core/message_loop.h"

#include <chrono>
#include <string>

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
    SetUpLive();
}

void LiveFixture::TearDown()
{
    m_ui.reset();
    m_backend.reset();
}

bool LiveFixture::runUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        runLoopStep(*m_ui);
    }
    return true;
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
