#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "designer/app/child_render_view.h"
#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/main_frame.h"
#include "designer/app/render_thread.h"
#include "designer/app/report_sink.h"
#include "designer/app/startup.h"
#include "designer/app/tests/test_windows.h"
#include "engine/core/thread_handler.h"
#include "engine/core/window.h"
#include "engine/resources/resource_report.h"
#include "platform/settings/profile.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/testing/ui_fixture.h"
#include "platform/time/timer_caps.h"
#include "platform/ui/providers/providers.h"
#include "render/render_drivers.h"
#include "testsupport/designer/sample_designer.h"

namespace {

using namespace std::chrono_literals;

// A renderer that throws from BeginFrame, or blocks there until released (or, should a failing test never release
// it, for a minute).
class TrapRenderer final : public SWwindowrenderer {
public:
    enum class Mode { kThrow, kBlock };
    explicit TrapRenderer(Mode mode) : m_mode(mode) {}
    bool BeginFrame() override
    {
        entered = true;
        if (m_mode == Mode::kThrow)
            throw std::runtime_error("trap frame");
        const auto end = std::chrono::steady_clock::now() + 60s;
        while (!released && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(1ms);
        return false;
    }
    std::atomic<bool> entered{false};
    std::atomic<bool> released{false};

private:
    Mode m_mode;
};

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = designertest::kRenderThreadWait)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(1ms);
    return condition();
}

class ApplicationTest : public pf::UiFixture {
protected:
    bool StartDesigner(CVTND_Designer& designer, pf::SettingsStore*& store)
    {
        CVTND_StartOptions options =
            designertest::TestStartOptions(artifactPath("recovery-" + std::to_string(::getpid()) + ".vtp"));
        store = options.store.get();
        return designer.Start(std::move(options));
    }
};

TEST_F(ApplicationTest, StartUpBuildsTheWorkspaceInOrderAndExitUndoesIt)
{
    std::vector<designertest::Received> log;
    pf::SettingsStore* store = nullptr;
    {
        CVTND_Designer designer;
        ASSERT_TRUE(StartDesigner(designer, store));
        // The "Viewer" switches were handed to the driver manager after its Init: written back as 1.
        pf::Profile profile(*store, CVTND_Designer::kProfileKey);
        for (const char* name : {"MMX", "SSE", "SSE2"})
            EXPECT_EQ(profile.getInt("Viewer", name, 0), 1) << name;
        EXPECT_EQ(store->getDword(CVTND_Designer::kViewingKey, "supersampling"), 1u);
        const std::vector<std::string> steps = designer.Steps();
        const auto at = [&](const char* step) { return std::find(steps.begin(), steps.end(), step) - steps.begin(); };
        EXPECT_LT(at("images"), at("world"));
        EXPECT_LT(at("world"), at("render thread"));
        ASSERT_EQ(designer.Views().size(), 1u);
        CVTND_ExtendedWorld* world = designer.GetWorld();
        ASSERT_EQ(world->GetWindows().size(), 1u);
        EXPECT_EQ(world->GetCurrentView(), designer.Views().front()->GetEngineWindow());
        EXPECT_EQ(world->GetHost(), designer.Views().front());
        EXPECT_TRUE(designer.GetRenderThread().IsRunning());
        EXPECT_EQ(pf::activeTimerPeriods(), std::vector<uint32_t>{17});

        // The message pane grows with the frame, the three panes beside it keep their width at the right.
        CMainFrame* frame = designer.GetMainFrame();
        for (const int32_t width : {800, 1400}) {
            frame->setPos(pf::HWND_TOP, {0, 0, width, 700}, pf::SWP_NOZORDER);
            const pf::Rect client = frame->clientRect();
            EXPECT_EQ(frame->statusBar()->paneRect(0).width(), client.width() - 240) << width;
            EXPECT_EQ(frame->statusBar()->paneRect(3).r, client.r) << width;
        }

        // Start and Stop broadcast 11 and 12; a second Start while running does nothing.
        designertest::RecordingWindow tool("tool", log);
        designer.GetApp()->RegisterChildFrame(&tool);
        EXPECT_TRUE(designer.StartPreview());
        EXPECT_FALSE(designer.StartPreview());
        EXPECT_TRUE(designer.StopPreview());
        EXPECT_FALSE(designer.StopPreview());
        designer.GetApp()->UnregisterChildFrame(&tool);

        // A second view, then the first closed: the world answers the remaining one.
        CChildRenderView* second = designer.NewView();
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(world->GetWindows().size(), 2u);
        designer.Views().front()->parent()->destroy();
        EXPECT_EQ(world->GetWindows().size(), 1u);
        EXPECT_EQ(world->GetCurrentView(), second->GetEngineWindow());

        // A new project's windows are numbered afresh, whatever the last one opened. Opened in a small frame, as on
        // a small screen, a map stays inside the client area, caption buttons and all.
        frame->setPos(pf::HWND_TOP, {0, 0, 800, 600}, pf::SWP_NOZORDER);
        ASSERT_NE(designer.GetApp()->OpenEventMapWindow(), nullptr);
        for (pf::MdiChild* child : frame->mdiClient()->childFrames()) {
            const pf::Rect place = child->windowRect();
            const pf::Rect close = child->captionButtonRect(pf::MdiChild::kCloseButton).offsetBy(place.l, place.t);
            EXPECT_TRUE(frame->mdiClient()->clientRect().containsRect(close)) << child->getText();
        }
        ASSERT_TRUE(designer.NewProject());
        std::vector<std::string> titles;
        for (pf::MdiChild* child : designer.GetMainFrame()->mdiClient()->childFrames())
            titles.push_back(child->getText());
        std::sort(titles.begin(), titles.end());
        EXPECT_EQ(titles, (std::vector<std::string>{"3D View 1", "Event Map 1"}));
        designer.Exit();
        EXPECT_TRUE(pf::activeTimerPeriods().empty());
        EXPECT_FALSE(designer.GetRenderThread().IsRunning());
    }
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].code, static_cast<uint32_t>(EventCode::kPreviewStarted));
    EXPECT_EQ(log[1].code, static_cast<uint32_t>(EventCode::kPreviewStopped));
    // The sink is gone: a report is kept again.
    TakeKeptResourceReports();
    ReportResource({"after exit", "Test"});
    EXPECT_EQ(TakeKeptResourceReports().reports.size(), 1u);
}

// A first start creates every default setting: written as one file, not once per value.
TEST_F(ApplicationTest, AFirstStartWritesTheSettingsOnce)
{
    CVTND_StartOptions options =
        designertest::TestStartOptions(artifactPath("recovery-" + std::to_string(::getpid()) + ".vtp"));
    auto backend = std::make_unique<pf::MemoryBackend>();
    const pf::MemoryBackend* written = backend.get(); // owned by the store
    options.store = std::make_unique<pf::SettingsStore>(std::move(backend));
    CVTND_Designer designer;
    ASSERT_TRUE(designer.Start(std::move(options)));
    EXPECT_EQ(written->storeCount(), 1);
    ASSERT_TRUE(written->text().has_value());
    EXPECT_NE(written->text()->find("supersampling"), std::string::npos);
    designer.Exit();
    EXPECT_LE(written->storeCount(), 2) << "the shutdown's changes are one write more at most";
}

// Settings that cannot be written are said to be lost in one box, however many changes fail after it.
TEST_F(ApplicationTest, AnUnwritableSettingsFileIsToldInOneBox)
{
    CVTND_StartOptions options =
        designertest::TestStartOptions(artifactPath("recovery-" + std::to_string(::getpid()) + ".vtp"));
    auto backend = std::make_unique<pf::MemoryBackend>();
    backend->failWrites(true);
    options.store = std::make_unique<pf::SettingsStore>(std::move(backend));
    pf::SettingsStore* store = options.store.get();
    CVTND_Designer designer;
    ASSERT_TRUE(designer.Start(std::move(options)));
    auto& boxes = ui().providers().scriptedMessageBox();
    for (int i = 0; i < 3; ++i)
        boxes.expect(pf::IDOK);
    designer.ShowSettingsWarnings();
    for (uint32_t i = 0; i < 3; ++i) {
        store->setDword("Software\\Vortan\\Test", "changed", i);
        designer.ShowSettingsWarnings();
    }
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_NE(boxes.calls()[0].text.find("could not be written"), std::string::npos);
    designer.Exit();
}

TEST_F(ApplicationTest, AFrameThatThrowsStopsThePreviewWithOneBoxAndTheThreadLivesOn)
{
    TrapRenderer trap(TrapRenderer::Mode::kThrow); // outlives the designer's render thread, even after a failure
    pf::SettingsStore* store = nullptr;
    CVTND_Designer designer;
    ASSERT_TRUE(StartDesigner(designer, store));
    CVTND_ExtendedWorld* world = designer.GetWorld();
    SWwindow* trapped = nullptr;
    {
        const SWworldlock hold(*world);
        trapped = world->AddWindow(std::make_unique<SWwindow>(&trap));
    }
    ui().providers().scriptedMessageBox().expect(pf::IDOK);
    designer.StartPreview();
    // The render thread marks the world faulted before it posts the box: the box is waited for, not the mark.
    ASSERT_TRUE(WaitFor([&] {
        ui().pump();
        return !ui().providers().scriptedMessageBox().calls().empty();
    }));
    ASSERT_TRUE(designer.GetRenderThread().IsFaulted(world));
    ASSERT_EQ(ui().providers().scriptedMessageBox().calls().size(), 1u);
    EXPECT_NE(ui().providers().scriptedMessageBox().calls()[0].text.find("trap frame"), std::string::npos);
    EXPECT_FALSE(world->IsRunning());
    EXPECT_TRUE(designer.GetRenderThread().IsRunning());
    // Not stepped again until Start: more ticks bring no second box.
    const uint64_t frames = designer.GetRenderThread().FrameCount();
    world->GetRedrawEvent().Set();
    ASSERT_TRUE(WaitFor([&] { return designer.GetRenderThread().FrameCount() > frames; }));
    ui().pump();
    EXPECT_EQ(ui().providers().scriptedMessageBox().calls().size(), 1u);
    {
        const SWworldlock hold(*world);
        world->RemoveWindow(trapped);
    }
    designer.Exit();
}

// The scheduling of every thread of the process: policy and nice value by thread id.
std::map<pid_t, std::pair<int, int>> ThreadSchedules()
{
    std::map<pid_t, std::pair<int, int>> out;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        const pid_t tid = std::stoi(entry.path().filename().string());
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
        const int policy = sched_getscheduler(tid);
        if (errno == 0 && policy >= 0)
            out[tid] = {policy, nice};
    }
    return out;
}

// Background work at normal priority must not starve the preview a person watches, nor may the preview crowd out
// the interface: the render thread runs at normal scheduling, a few nice steps behind the interface's thread.
TEST_F(ApplicationTest, TheViewsDrawAtNormalSchedulingBehindTheInterface)
{
    CVTND_Designer designer;
    CVTND_StartOptions options =
        designertest::TestStartOptions(artifactPath("recovery-" + std::to_string(::getpid()) + ".vtp"));
    options.renderPriority = CVTND_StartOptions{}.renderPriority;
    ASSERT_TRUE(designer.Start(std::move(options)));
    const int own = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    const auto behind = std::make_pair(SCHED_OTHER, std::min(own + CVTN_ThreadHandler::kLowNiceSteps, 19));
    std::map<pid_t, std::pair<int, int>> schedules;
    EXPECT_TRUE(WaitFor([&] {
        schedules = ThreadSchedules();
        return std::any_of(schedules.begin(), schedules.end(), [&](const auto& t) { return t.second == behind; });
    }));
    for (const auto& [tid, schedule] : schedules)
        EXPECT_NE(schedule.first, SCHED_IDLE) << "thread " << tid;
    designer.Exit();
}

TEST(RenderThread, AFrameBlockedPastTheJoinTimeOutIsLeftRunningAndReported)
{
    std::vector<std::string> stuck;
    CVTN_ThreadHandler::SetStuckReporter([&](const std::string& name) { stuck.push_back(name); });
    auto world = std::make_unique<SWworld>();
    auto trap = std::make_unique<TrapRenderer>(TrapRenderer::Mode::kBlock);
    world->AddWindow(std::make_unique<SWwindow>(trap.get()));
    {
        CVTND_RenderThread thread(50ms);
        ASSERT_TRUE(thread.Start(*world));
        world->GetRedrawEvent().Set();
        ASSERT_TRUE(WaitFor([&] { return trap->entered.load(); }));
        EXPECT_FALSE(thread.Stop());
    }
    EXPECT_EQ(stuck, std::vector<std::string>{"render thread"});
    CVTN_ThreadHandler::SetStuckReporter({});
    // As the designer does, everything the detached thread may touch stays alive until the process ends; the thread
    // itself ends once its frame does.
    trap->released = true;
    static auto* keptWorlds = new std::vector<std::unique_ptr<SWworld>>();     // never destroyed, not even at exit
    static auto* keptTraps = new std::vector<std::unique_ptr<TrapRenderer>>(); // (reachable: no leak reported)
    keptWorlds->push_back(std::move(world));
    keptTraps->push_back(std::move(trap));
}

// Frames longer than the timer's period, one after another: each time this thread wants the world's lock it gets
// it within a frame or so, not after as many frames as the system's lock happens to give the render thread.
TEST(RenderThread, AThreadWaitingForTheWorldGetsItBetweenBackToBackFrames)
{
    class SlowRenderer final : public SWwindowrenderer {
    public:
        explicit SlowRenderer(SWworld& world) : m_world(world) {}
        bool BeginFrame() override
        {
            m_world.GetRedrawEvent().Set(); // the timer fired while the frame ran
            std::this_thread::sleep_for(5ms);
            return false;
        }

    private:
        SWworld& m_world;
    };
    auto world = std::make_unique<SWworld>();
    SlowRenderer slow(*world);
    world->AddWindow(std::make_unique<SWwindow>(&slow));
    CVTND_RenderThread thread;
    ASSERT_TRUE(thread.Start(*world));
    world->GetRedrawEvent().Set();
    ASSERT_TRUE(WaitFor([&] { return thread.FrameCount() >= 3; }));
    uint64_t mostFrames = 0;
    for (int turn = 0; turn < 30; ++turn) {
        const uint64_t before = thread.FrameCount();
        {
            const SWworldlock hold(*world);
            mostFrames = std::max(mostFrames, thread.FrameCount() - before);
        }
        std::this_thread::sleep_for(1ms); // as the user-interface thread does between messages
    }
    EXPECT_TRUE(thread.Stop());
    EXPECT_LE(mostFrames, 3u); // the frame running when it asked, and one that a preemption may let through
}

TEST_F(ApplicationTest, ReportsWaitForTheFrameAndShowInOneBox)
{
    CVTND_ReportSink sink;
    for (int i = 0; i < 25; ++i)
        sink.Report({"report " + std::to_string(i), i == 0 ? "First caption" : "Other"});
    EXPECT_EQ(sink.Pending(), 25u);
    std::string text;
    std::string caption;
    ASSERT_TRUE(sink.TakeBox(text, caption));
    EXPECT_EQ(caption, "First caption");
    EXPECT_NE(text.find("report 19"), std::string::npos);
    EXPECT_EQ(text.find("report 20"), std::string::npos);
    EXPECT_NE(text.find("and 5 more"), std::string::npos);
    EXPECT_FALSE(sink.TakeBox(text, caption));

    // From a worker before and after the target is set: one message, one box with both.
    pf::Window target;
    target.create({"window", "", pf::WS_POPUP, 0, pf::Rect::fromXywh(0, 0, 10, 10)});
    std::thread([&] { sink.Report({"early", "Vortan"}); }).join();
    EXPECT_EQ(ui().pendingPostCount(), 0u);
    sink.SetTarget(&ui(), target.hwnd());
    std::thread([&] { sink.Report({"late", "Vortan"}); }).join();
    EXPECT_EQ(ui().pendingPostCount(), 1u);
    ui().providers().scriptedMessageBox().expect(pf::IDOK);
    sink.Drain(target.hwnd());
    ASSERT_EQ(ui().providers().scriptedMessageBox().calls().size(), 1u);
    EXPECT_EQ(ui().providers().scriptedMessageBox().calls()[0].text, "early\nlate");
}

} // namespace
