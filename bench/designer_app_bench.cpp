// The designer application's own costs on the bundled sample: one frame of the render thread (the world's step and
// the present of an 800 x 600 view through the window device of the headless screen) while the preview runs, and
// publishing the sample (the runtime file and its page, through the atomic writer).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include "designer/app/extended_world.h"
#include "designer/app/publish_worker.h"
#include "designer/app/sample_project.h"
#include "engine/core/camera_node.h"
#include "engine/core/list.h"
#include "engine/core/root_object.h"
#include "engine/core/window.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
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

} // namespace

BENCHMARK_MAIN();
