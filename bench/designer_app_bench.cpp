// The designer application's own costs on the bundled sample: one frame of the render thread (the world's step and
// the present of an 800 x 600 view through the window device of the headless screen) while the preview runs, and
// publishing the sample (the runtime file and its page, through the atomic writer); and the frame rate a person sees,
// the designer itself on a private X server, as the live presentation benchmark counts frames that reached the screen.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include "designer/app/child_render_view.h"
#include "designer/app/extended_world.h"
#include "designer/app/publish_worker.h"
#include "designer/app/sample_project.h"
#include "designer/app/startup.h"
#include "engine/core/camera_node.h"
#include "engine/core/list.h"
#include "engine/core/root_object.h"
#include "engine/core/window.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/live/sdl_backend.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/testing/xvfb_server.h"
#include "platform/ui/core/message_loop.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"
#include "render/render_drivers.h"

namespace {

constexpr int32_t kWidth = 800;
constexpr int32_t kHeight = 600;

// The sample in a world with one 800 x 600 view, as a 3D view of the designer holds it.
struct SampleView {
    SampleView()
    {
        SWrenderdrivers::Get().Init();
        window.create({"window", "", pf::WS_POPUP | pf::WS_VISIBLE, 0, pf::Rect::fromXywh(0, 0, kWidth, kHeight)});
        const SWworldlock hold(world);
        BuildSampleWorld(world);
        engineWindow = world.AddWindow(std::make_unique<SWwindow>(static_cast<uint32_t>(window.hwnd()), 1u, false));
        for (SWlistnode* node = world.GetCameraList().Tail(); node != nullptr; node = node->Prev())
            if (auto* entry = dynamic_cast<SWcameraentry*>(node); entry != nullptr && entry->node != nullptr) {
                engineWindow->SetCamera(entry->node);
                break;
            }
        if (SWwindowrenderer* renderer = engineWindow->GetRenderer()) {
            renderer->SetSize(kWidth, kHeight);
            renderer->SetBackground(world.GetRootObject()->GetBackground());
        }
        world.SetCurrentView(engineWindow);
    }
    ~SampleView()
    {
        {
            const SWworldlock hold(world);
            world.RemoveWindow(engineWindow);
        }
        window.destroy();
    }

    pf::Ui ui;
    pf::Window window;
    CVTND_ExtendedWorld world;
    SWwindow* engineWindow = nullptr;
};

void SampleFrame(benchmark::State& state)
{
    SampleView view;
    if (view.engineWindow == nullptr || view.engineWindow->GetRenderer() == nullptr) {
        state.SkipWithError("no view");
        return;
    }
    view.world.SetRunning(true);
    for (auto _ : state) {
        const SWworldlock hold(view.world);
        view.world.Invalidate(false); // the cube turns: every frame is a full one
        view.world.RunFrame();
    }
    view.world.SetRunning(false);
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(SampleFrame)->Unit(benchmark::kMillisecond);

void PublishSample(benchmark::State& state)
{
    SampleView view;
    const std::string folder =
        (std::filesystem::temp_directory_path() / ("vortan-publish-bench-" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(folder);
    const CVTND_PublishRequest request{folder + "/sample.vto", true, kWidth, kHeight};
    for (auto _ : state) {
        const CVTND_PublishResult result = PublishWorld(view.world, request, nullptr);
        if (!result.ok) {
            state.SkipWithError(result.message.c_str());
            break;
        }
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(request.path));
    std::filesystem::remove_all(folder);
}
BENCHMARK(PublishSample)->Unit(benchmark::kMillisecond);

// The designer on the sample with its preview running, the 3D view at 800 x 600: one iteration is one frame that
// reached the X server (the 17 ms timer wakes the render thread, which steps, draws and presents through the window
// device; the loop hands it to SDL and X), so the rate is what a person sees, at most the timer's.
void LiveSampleFrameRate(benchmark::State& state)
{
    static pf::XvfbServer* const server = [] {
        auto* started = new pf::XvfbServer(); // lives until the process ends, as SDL does
        std::string error;
        return started->start(error) ? started : nullptr;
    }();
    std::string reason;
    std::unique_ptr<pf::SdlBackend> backend = server != nullptr ? pf::SdlBackend::open(reason) : nullptr;
    if (backend == nullptr) {
        state.SkipWithError("no X server or SDL display");
        return;
    }
    {
        pf::Ui ui;
        ui.setBackend(backend.get());
        const std::string folder =
            (std::filesystem::temp_directory_path() / ("vortan-live-bench-" + std::to_string(::getpid()))).string();
        CVTND_Designer designer;
        CVTND_StartOptions options;
        options.store = std::make_unique<pf::SettingsStore>(nullptr);
        options.developerRun = true;
        options.recoveryPath = folder + "-recovery.vtp";
        CChildRenderView* view = designer.Start(std::move(options)) ? designer.ActiveView() : nullptr;
        if (view == nullptr) {
            state.SkipWithError("the designer did not start");
            return;
        }
        {
            const SWworldlock hold(*designer.GetWorld());
            BuildSampleWorld(*designer.GetWorld());
        }
        view->TakeLastCamera();
        view->RefreshBackground();
        view->move(pf::Rect::fromXywh(0, 0, kWidth, kHeight));
        designer.StartPreview();
        const auto nextFrame = [&] {
            const uint64_t before = backend->presentedFrameCount();
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
            while (backend->presentedFrameCount() == before && std::chrono::steady_clock::now() < until)
                pf::runLoopStep(ui);
            return backend->presentedFrameCount() != before;
        };
        for (int i = 0; i < 10; ++i)
            nextFrame();
        for (auto _ : state)
            if (!nextFrame()) {
                state.SkipWithError("a frame never reached the screen");
                break;
            }
        state.counters["fps"] =
            benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
        designer.Exit();
    }
    backend.reset();
}
BENCHMARK(LiveSampleFrameRate)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
