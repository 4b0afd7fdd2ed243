// The preview a person watches while the machine is busy: the designer on the bundled sample, its preview running
// in an 800 x 600 view on the headless screen, beside N processes that each keep a core busy at normal priority.
// The render thread runs either at idle scheduling (only when nothing else wants a core) or at normal scheduling a
// few nice steps behind the interface; each case counts the frames the thread finished in five seconds and the
// longest wait between two of them. The 17 ms timer paces the frames, so about 58 a second is the most either
// reaches. Run it alone: other work on the machine counts as more busy processes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "designer/app/child_render_view.h"
#include "designer/app/extended_world.h"
#include "designer/app/startup.h"
#include "engine/core/thread_handler.h"
#include "platform/settings/settings_backend.h"
#include "platform/ui/core/ui.h"
#include "testsupport/designer/sample_designer.h"

namespace {

using Clock = std::chrono::steady_clock;
using Priority = CVTN_ThreadHandler::Priority;

constexpr auto kWarmUp = std::chrono::milliseconds(500);
constexpr auto kMeasured = std::chrono::seconds(5);

// count children spinning until they are killed; each starts at the parent's own (normal) priority.
class BusyProcesses {
public:
    explicit BusyProcesses(int64_t count)
    {
        for (int64_t i = 0; i < count; ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                volatile uint64_t spin = 0;
                for (;;)
                    spin = spin + 1;
            }
            if (pid > 0)
                m_pids.push_back(pid);
        }
    }
    ~BusyProcesses()
    {
        for (const pid_t pid : m_pids)
            kill(pid, SIGKILL);
        for (const pid_t pid : m_pids)
            waitpid(pid, nullptr, 0);
    }
    BusyProcesses(const BusyProcesses&) = delete;
    BusyProcesses& operator=(const BusyProcesses&) = delete;

private:
    std::vector<pid_t> m_pids;
};

struct FrameTimes {
    uint64_t frames = 0;
    double seconds = 0;
    double worstGapMs = 0;
};

// Watches the render thread's frame count every millisecond for kMeasured, pumping the interface's messages as its
// loop would.
FrameTimes Watch(pf::Ui& ui, const CVTND_RenderThread& thread)
{
    FrameTimes out;
    const Clock::time_point start = Clock::now();
    Clock::time_point last = start;
    uint64_t seen = thread.FrameCount();
    const uint64_t first = seen;
    while (Clock::now() - start < kMeasured) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ui.pump();
        const uint64_t now = thread.FrameCount();
        const Clock::time_point at = Clock::now();
        if (now != seen) {
            out.worstGapMs = std::max(out.worstGapMs, std::chrono::duration<double, std::milli>(at - last).count());
            last = at;
            seen = now;
        }
    }
    const Clock::time_point end = Clock::now();
    out.worstGapMs = std::max(out.worstGapMs, std::chrono::duration<double, std::milli>(end - last).count());
    out.frames = seen - first;
    out.seconds = std::chrono::duration<double>(end - start).count();
    return out;
}

// Arguments: the busy processes, then 0 for the old idle scheduling or 1 for normal scheduling behind the interface.
void PreviewBesideBusyProcesses(benchmark::State& state)
{
    const Priority priority = state.range(1) == 0 ? Priority::kIdle : Priority::kLow;
    state.SetLabel(priority == Priority::kIdle ? "idle" : "nice +" + std::to_string(CVTN_ThreadHandler::kLowNiceSteps));
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vortan-priority-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    FrameTimes measured;
    for (auto _ : state) {
        pf::Ui ui;
        CVTND_Designer designer;
        CChildRenderView* view =
            designertest::StartOnSampleWorld(designer, folder, priority) ? designer.ActiveView() : nullptr;
        if (view == nullptr) {
            state.SkipWithError("the designer did not start");
            return;
        }
        view->move(pf::Rect::fromXywh(0, 0, 800, 600));
        designer.StartPreview();
        {
            const BusyProcesses busy(state.range(0));
            for (const Clock::time_point until = Clock::now() + kWarmUp; Clock::now() < until;) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                ui.pump();
            }
            measured = Watch(ui, designer.GetRenderThread());
        }
        designer.StopPreview();
        designer.Exit();
    }
    std::filesystem::remove_all(folder);
    state.counters["busy"] = static_cast<double>(state.range(0));
    state.counters["fps"] = static_cast<double>(measured.frames) / measured.seconds;
    state.counters["worst_gap_ms"] = measured.worstGapMs;
}
BENCHMARK(PreviewBesideBusyProcesses)
    ->ArgsProduct({{0, 4, 8}, {0, 1}})
    ->ArgNames({"busy", "normal"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
