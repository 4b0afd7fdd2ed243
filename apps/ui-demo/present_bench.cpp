// Live presentation on a private X server: an 800 x 600 client area presented from another thread through
// setDIBitsToDevice (the render thread's write into the window surface, the loop's copy into SDL's window surface
// and the update to X), frame after frame; and the loop's share alone, the whole client marked changed and shown.
// One iteration is one frame that reached the screen; frames per second is the rate counter.
#include "platform/base/gdi_constants.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/dib.h"
#include "platform/live/sdl_backend.h"
#include "platform/testing/xvfb_server.h"
#include "platform/ui/core/message_loop.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace pf;

constexpr int32_t kWidth = 800;
constexpr int32_t kHeight = 600;

XvfbServer* server()
{
    static XvfbServer* const s = [] {
        auto* started = new XvfbServer(); // lives until the process ends, as SDL does
        std::string error;
        return started->start(error) ? started : nullptr;
    }();
    return s;
}

struct LiveWindow {
    std::unique_ptr<SdlBackend> backend;
    std::unique_ptr<Ui> ui;
    Window* window = nullptr;

    bool open()
    {
        std::string reason;
        if (server() == nullptr || (backend = SdlBackend::open(reason)) == nullptr)
            return false;
        ui = std::make_unique<Ui>();
        ui->setBackend(backend.get());
        window = ui->createWindow({"window", "present", WS_POPUP | WS_VISIBLE, 0, {20, 20, 20 + kWidth, 20 + kHeight}});
        return window != nullptr && waitForFrame(backend->presentedFrameCount());
    }
    ~LiveWindow()
    {
        ui.reset();
        backend.reset();
    }
    bool waitForFrame(uint64_t after)
    {
        for (int i = 0; i < 10000 && backend->presentedFrameCount() == after; ++i)
            runLoopStep(*ui);
        return backend->presentedFrameCount() != after;
    }
};

std::vector<uint8_t> frameBits(uint32_t seed)
{
    std::vector<uint8_t> bits(static_cast<size_t>(kWidth) * kHeight * 4);
    for (size_t i = 0; i < bits.size(); ++i)
        bits[i] = static_cast<uint8_t>(i * 7 + seed);
    return bits;
}

void BM_PresentFromRenderThread(benchmark::State& state)
{
    LiveWindow live;
    if (!live.open()) {
        state.SkipWithError("no X server or SDL display");
        return;
    }
    BitmapInfo info;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biBitCount = 32;
    const std::vector<uint8_t> frames[2] = {frameBits(1), frameBits(2)};
    const Hwnd hwnd = live.window->hwnd();
    std::mutex mutex;
    std::condition_variable wanted;
    uint64_t requested = 0;
    bool stop = false;
    std::thread render([&] {
        uint64_t drawn = 0;
        for (;;) {
            {
                std::unique_lock lock(mutex);
                wanted.wait(lock, [&] { return stop || requested > drawn; });
                if (stop)
                    return;
                drawn = requested;
            }
            WindowDc dc(hwnd);
            dc.setDIBitsToDevice(0, 0, kWidth, kHeight, 0, 0, 0, kHeight, frames[drawn % 2], info, DIB_RGB_COLORS);
        }
    });
    for (auto _ : state) {
        const uint64_t before = live.backend->presentedFrameCount();
        {
            const std::lock_guard lock(mutex);
            ++requested;
        }
        wanted.notify_one();
        if (!live.waitForFrame(before)) {
            state.SkipWithError("a frame never reached the screen");
            break;
        }
    }
    {
        const std::lock_guard lock(mutex);
        stop = true;
    }
    wanted.notify_one();
    render.join();
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PresentFromRenderThread)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PresentWholeClient(benchmark::State& state)
{
    LiveWindow live;
    if (!live.open()) {
        state.SkipWithError("no X server or SDL display");
        return;
    }
    const std::shared_ptr<Surface32> surface = live.ui->surfaceOf(*live.window);
    for (auto _ : state) {
        live.backend->surfaceChanged(surface.get(), surface->bounds());
        live.backend->present();
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PresentWholeClient)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
