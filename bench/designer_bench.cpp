// The designer's services: saving and opening the sample project (the sample scene added to a new project), one
// notification to 200 tool windows, resampling a 1000 x 700 picture to 1024 x 1024, and a 1024 x 1024 JPEG read as
// a texture. The counter "file_bytes" is the project file's size.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/designer_utilities.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/project.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "engine/resources/image32.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/jpeg_file.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"
#include "testsupport/world/sample_world.h"

namespace {

std::string ScratchPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("designer_bench_" + std::to_string(getpid()) + "_" + name))
        .string();
}

// A project with the sample scene added, as `vortan-project make-sample` makes it; its bytes.
std::vector<uint8_t> SampleProjectBytes()
{
    const std::string scene = ScratchPath("sample.vtn");
    const std::unique_ptr<SWworld> sample = worldtest::MakeSampleWorld();
    SaveWorldFile(*sample, WorldFileMode::kScene, scene);
    CVTNDesignerApp app;
    app.NewWorkspace();
    app.GetProject()->AddSceneFile(scene);
    std::filesystem::remove(scene);
    std::vector<uint8_t> bytes;
    app.GetProject()->WriteBytes(bytes, app.GetGradientStore());
    return bytes;
}

void BM_SaveSampleProject(benchmark::State& state)
{
    CVTNDesignerApp app;
    CVTND_Project::LoadResult loaded = CVTND_Project::LoadBytes(SampleProjectBytes(), "sample");
    if (!loaded.ok()) {
        state.SkipWithError(loaded.message.c_str());
        return;
    }
    std::vector<uint8_t> bytes;
    for (auto _ : state) {
        loaded.project->WriteBytes(bytes, loaded.gradients.get());
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_SaveSampleProject)->Unit(benchmark::kMicrosecond);

void BM_OpenSampleProject(benchmark::State& state)
{
    CVTNDesignerApp app;
    const std::vector<uint8_t> bytes = SampleProjectBytes();
    for (auto _ : state) {
        CVTND_Project::LoadResult loaded = CVTND_Project::LoadBytes(bytes, "sample");
        if (!loaded.ok()) {
            state.SkipWithError(loaded.message.c_str());
            return;
        }
        benchmark::DoNotOptimize(loaded.project.get());
    }
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_OpenSampleProject)->Unit(benchmark::kMicrosecond);

// A tool window that counts the notifications it is sent.
class CountingWindow : public pf::Window {
public:
    size_t received = 0;

protected:
    pf::LResult handle(const pf::Msg& msg) override
    {
        if (msg.message != kMsgDesignerNotify)
            return Window::handle(msg);
        ++received;
        return 1;
    }
};

void BM_BroadcastTo200Windows(benchmark::State& state)
{
    pf::Ui ui;
    CVTNDesignerApp app;
    std::vector<std::unique_ptr<CountingWindow>> windows;
    for (int i = 0; i < 200; ++i) {
        auto window = std::make_unique<CountingWindow>();
        pf::CreateParams params;
        params.style = pf::WS_POPUP;
        params.rect = pf::Rect::fromXywh(0, 0, 10, 10);
        window->create(params);
        app.RegisterChildFrame(window.get());
        windows.push_back(std::move(window));
    }
    int subject = 0;
    const CVTND_Event changed(EventCode::kChanged, CVTND_Object(ObjectType::kSound, &subject));
    for (auto _ : state)
        app.Broadcast(changed);
    if (windows.front()->received != static_cast<size_t>(state.iterations()))
        state.SkipWithError("a window missed a notification");
    for (const auto& window : windows)
        app.UnregisterChildFrame(window.get());
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * windows.size()));
}
BENCHMARK(BM_BroadcastTo200Windows)->Unit(benchmark::kMicrosecond);

void BM_Resample1000x700To1024x1024(benchmark::State& state)
{
    std::vector<uint32_t> pixels(1000 * 700);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
    for (auto _ : state) {
        std::optional<std::vector<uint32_t>> out = ResampleImage32(pixels, 1000, 700, 1024, 1024);
        benchmark::DoNotOptimize(out->data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 1024 * 1024);
}
BENCHMARK(BM_Resample1000x700To1024x1024)->Unit(benchmark::kMillisecond);

void BM_LoadJpegTexture1024(benchmark::State& state)
{
    const std::string path = ScratchPath("picture.jpg");
    pf::Surface32 surface(1024, 1024);
    for (int32_t y = 0; y < 1024; ++y)
        for (int32_t x = 0; x < 1024; ++x)
            surface.setPixel(x, y,
                             0xFF000000u | static_cast<uint32_t>(x / 4) << 16 | static_cast<uint32_t>(y / 4) << 8);
    std::string error;
    if (!pf::writeJpegFile(path, surface, 85, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    SWworld world;
    for (auto _ : state) {
        std::unique_ptr<SWimage32> texture;
        benchmark::DoNotOptimize(LoadJpegTexture(world, path, false, true, texture));
    }
    std::filesystem::remove(path);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 1024 * 1024);
}
BENCHMARK(BM_LoadJpegTexture1024)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
