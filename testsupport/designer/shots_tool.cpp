#include "testsupport/designer/shots_tool.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "platform/base/atomic_file.h"
#include "platform/display/screen.h"
#include "platform/gfx/png_file.h"
#include "platform/live/sdl_audio.h"
#include "platform/live/sdl_backend.h"
#include "platform/media/audio_out.h"
#include "platform/media/null_audio.h"
#include "platform/sys/cpu_probe.h"
#include "platform/sys/scripted_cpu.h"
#include "platform/testing/image_check.h"
#include "platform/testing/user_sim.h"
#include "platform/testing/xvfb_server.h"
#include "platform/time/clock.h"
#include "platform/time/virtual_clock.h"
#include "platform/ui/core/message_loop.h"
#include "platform/ui/core/ui.h"

namespace designertest {
namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitRefused = 3;
constexpr int kExitSkip = 77;

// Generous for two loaded cores; spent only when the server never shows what is composed.
constexpr std::chrono::seconds kSameTimeout(20);
constexpr int kQuietSteps = 3;   // steps in a row with nothing new to show: settled
constexpr int kSettleSteps = 10; // the most steps spent on settling

int Usage(const ShotsTool& tool, const std::string& why)
{
    std::string names;
    for (const std::string& scene : tool.scenes)
        names += " " + scene;
    std::fprintf(stderr, "%s: %s; usage: %s [--live [--xvfb] [--exit-after MS]] OUTDIR [SCENE...]; scenes:%s\n",
                 tool.name, why.c_str(), tool.name, names.c_str());
    return kExitUsage;
}

bool IsScene(const ShotsTool& tool, const std::string& name)
{
    return std::find(tool.scenes.begin(), tool.scenes.end(), name) != tool.scenes.end() ||
           (tool.namedOnly && tool.namedOnly(name));
}

// Set up as a window test is, but with the real fonts.
int RunHeadless(const ShotsTool& tool, ShotsRun& run, const std::vector<std::string>& scenes)
{
    pf::VirtualClock clock(1000000);
    pf::NullAudio audio;
    pf::ScriptedCpu cpu;
    pf::setClock(&clock);
    pf::setAudioOut(&audio);
    pf::setCpuProbe(&cpu);
    int result = kExitFailed;
    {
        pf::Ui ui;
        result = tool.runScenes(run, scenes);
    }
    pf::setCpuProbe(nullptr);
    pf::setAudioOut(nullptr);
    pf::setClock(nullptr);
    return result;
}

int RunLive(const ShotsTool& tool, ShotsRun& run, const std::vector<std::string>& scenes, bool ownServer,
            int32_t exitAfterMs)
{
    std::unique_ptr<pf::XvfbServer> server;
    if (ownServer) {
        server = std::make_unique<pf::XvfbServer>();
        std::string error;
        if (!server->start(error)) {
            std::printf("no display: %s\n", error.c_str());
            return kExitSkip;
        }
    }
    pf::DisplayChoice choice = pf::openDisplayBackend();
    if (!choice.backend->isLive()) {
        std::printf("no display: %s\n", choice.reason.c_str());
        return kExitSkip;
    }
    pf::SdlAudio audio;
    if (audio.isOpen())
        pf::setAudioOut(&audio);
    int result = kExitFailed;
    {
        pf::Ui ui;
        ui.setBackend(choice.backend.get());
        run.backend = dynamic_cast<pf::SdlBackend*>(choice.backend.get());
        run.server = server.get();
        run.holdMs = server == nullptr ? exitAfterMs : 0;
        result = tool.runScenes(run, scenes);
        run.backend = nullptr;
        run.server = nullptr;
        run.holdMs = 0;
        ui.setBackend(nullptr);
    }
    pf::setAudioOut(nullptr);
    return result;
}

// One turn of the loop whose wait for input is at most a frame: what the harness waits for is a condition, polled.
void StepBriefly(pf::SdlBackend& backend)
{
    pf::Ui& ui = pf::ui();
    backend.waitForInput(ui, ui.pendingPostCount() > 0 ? 0 : pf::kBusyLoopWaitMs);
    ui.pump();
    backend.present();
}

} // namespace

bool ShotsRun::WritePicture(const pf::UserSim& sim, const std::string& name)
{
    const std::string path = dir + "/" + name + ".png";
    if (!sim.screenshot(path) && failedWrite.empty())
        failedWrite = path + ": the picture was not written";
    return failedWrite.empty();
}

void ShotsRun::WaitUntilShown() const
{
    if (backend == nullptr)
        return;
    // Each step shows all that is composed by then; what it sets going (posted messages, a repaint on activation,
    // an expose) is shown by the next ones. Settled once a few steps in a row have nothing new to show. A view
    // that draws on its own never rests: it gets a few steps, and a comparison reads the server until it agrees.
    for (int step = 0, quiet = 0; step < kSettleSteps && quiet < kQuietSteps; ++step) {
        const uint64_t frames = backend->presentedFrameCount();
        StepBriefly(*backend);
        quiet = backend->presentedFrameCount() == frames && pf::ui().pendingPostCount() == 0 ? quiet + 1 : 0;
    }
}

bool ShotsRun::CompareWithServer(const std::vector<const pf::Window*>& windows, const std::string& scene)
{
    WaitUntilShown();
    // The server may still be taking in the last frame (a loaded machine): it is read again, the loop turning,
    // until it shows what is composed or the time is up; the last reading is the one written and judged.
    const auto deadline = std::chrono::steady_clock::now() + kSameTimeout;
    std::vector<std::unique_ptr<pf::Surface32>> lives(windows.size());
    int64_t differ = 0;
    int64_t total = 0;
    for (;;) {
        differ = 0;
        total = 0;
        for (size_t i = 0; i < windows.size(); ++i) {
            const pf::Point origin = windows[i]->clientToScreen({0, 0});
            const pf::Rect area = windows[i]->clientRect().offsetBy(origin.x, origin.y);
            lives[i] = server->grab(area);
            const pf::Surface32& live = *lives[i];
            const std::unique_ptr<pf::Surface32> composed = pf::captureScreen(area);
            for (int32_t y = 0; y < live.height(); ++y)
                for (int32_t x = 0; x < live.width(); ++x)
                    differ += (composed->pixel(x, y) & 0xFFFFFFu) != (live.pixel(x, y) & 0xFFFFFFu) ? 1 : 0;
            total += static_cast<int64_t>(live.width()) * live.height();
        }
        if (differ == 0 || std::chrono::steady_clock::now() >= deadline)
            break;
        StepBriefly(*backend);
    }
    for (size_t i = 0; i < windows.size(); ++i) {
        std::string error;
        const std::string path =
            dir + "/live-" + scene + (i == 0 ? std::string() : std::string("-").append(std::to_string(i))) + ".png";
        if (lives[i]->isEmpty() || !pf::writePngFile(path, *lives[i], error)) {
            failedWrite = path + ": " + (error.empty() ? std::string("nothing grabbed") : error);
            return false;
        }
    }
    std::printf("live equals headless: %s (%lld of %lld pixels differ)\n", differ == 0 ? "yes" : "no",
                static_cast<long long>(differ), static_cast<long long>(total));
    return differ == 0;
}

void ShotsRun::Hold(bool stopOnQuit) const
{
    if (holdMs <= 0)
        return;
    const uint32_t until = pf::clock().nowMs() + static_cast<uint32_t>(holdMs);
    while (pf::clock().nowMs() < until && !(stopOnQuit && pf::ui().quitCode()))
        pf::runLoopStep(pf::ui());
}

int ShotsRun::Finish(bool ok)
{
    std::string text;
    for (const std::string& line : trace)
        text += line + "\n";
    if (failedWrite.empty() && !pf::writeFileAtomically(dir + "/trace.txt", text))
        failedWrite = dir + "/trace.txt: the file was not written";
    if (!failedWrite.empty()) {
        std::fprintf(stderr, "%s: cannot write %s\n", tool, failedWrite.c_str());
        return kExitRefused;
    }
    return ok ? 0 : kExitFailed;
}

int ShotsMain(int argc, char** argv, const ShotsTool& tool)
{
    bool live = false;
    bool ownServer = false;
    int32_t exitAfterMs = 0;
    ShotsRun run;
    run.tool = tool.name;
    std::vector<std::string> scenes;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--live") {
            live = true;
        } else if (arg == "--xvfb") {
            ownServer = true;
        } else if (arg == "--exit-after" && i + 1 < argc) {
            const std::string_view ms = argv[++i];
            const auto [end, failed] = std::from_chars(ms.data(), ms.data() + ms.size(), exitAfterMs);
            if (failed != std::errc() || end != ms.data() + ms.size() || exitAfterMs < 1)
                return Usage(tool, "--exit-after takes a positive number of milliseconds");
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage(tool, "unknown option " + arg);
        } else if (run.dir.empty()) {
            run.dir = arg;
        } else if (IsScene(tool, arg)) {
            scenes.push_back(arg);
        } else {
            return Usage(tool, "unknown scene " + arg);
        }
    }
    if (run.dir.empty())
        return Usage(tool, "no OUTDIR");
    if ((ownServer || exitAfterMs > 0) && !live)
        return Usage(tool, "--xvfb and --exit-after go with --live");
    if (scenes.empty())
        scenes = tool.scenes;
    std::error_code error;
    std::filesystem::create_directories(run.dir, error);
    if (error || !std::filesystem::is_directory(run.dir)) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", tool.name, run.dir.c_str(),
                     error ? error.message().c_str() : "not a folder");
        return kExitRefused;
    }
    pf::screen().reset();
    const int result = live ? RunLive(tool, run, scenes, ownServer, exitAfterMs) : RunHeadless(tool, run, scenes);
    if (result == 0)
        std::printf("written\n");
    return result;
}

} // namespace designertest
