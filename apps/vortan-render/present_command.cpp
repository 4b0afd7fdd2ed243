// vortan-render present: the reference scene's world drawn through a window's own renderer, made as the designer
// makes it, and presented into a window of the headless screen at the asked display depth, through bitmaps or the
// DirectDraw-shaped primary surface; the window's client pixels are written as a PNG. --live shows the same frames in
// a real window through the live display backend; --xvfb does so on a private X server and also writes the window as
// that server shows it, next to OUT.png as OUT.live.png, and says whether it equals the headless picture.
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "apps/vortan-render/command_table.h"
#include "apps/vortan-render/variant_option.h"
#include "apps/vortan-render/window_frame.h"
#include "engine/core/root_object.h"
#include "engine/core/window.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/ddraw/direct_draw.h"
#include "platform/display/screen.h"
#include "platform/gfx/display_mode.h"
#include "platform/gfx/png_file.h"
#include "platform/live/sdl_backend.h"
#include "platform/testing/xvfb_server.h"
#include "platform/ui/core/message_loop.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"
#include "render/present/window_device.h"
#include "render/present/window_render_side.h"
#include "render/render_drivers.h"
#include "render/render_surface.h"
#include "testsupport/render/reference_scene.h"
#include "testsupport/tools/tool_input.h"

namespace {

using rendertool::kExitDone;
using rendertool::kExitFailed;
using rendertool::kExitRefused;
using rendertool::kExitUsage;
using rendertool::ReportError;

struct PresentOptions {
    std::string out;
    int32_t width = 320;
    int32_t height = 240;
    int32_t depth = 0;
    bool five55 = false;
    bool directDraw = false;
    bool antialias = false;
    long long frames = 1;
    bool interlaced = false;
    bool live = false;
    bool ownServer = false; // a private X server, read back after the last frame
    std::optional<std::string> variant;
};

// No live display could be had; ctest counts the run as skipped.
constexpr int kExitNoDisplay = 77;

int ParseOptions(std::span<char* const> args, PresentOptions& options)
{
    if (args.empty())
        return ReportError(kExitUsage, "present needs an output path");
    options.out = args[0];
    std::string error;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--555") {
            options.five55 = true;
        } else if (arg == "--ddraw") {
            options.directDraw = true;
        } else if (arg == "--live") {
            options.live = true;
        } else if (arg == "--xvfb") {
            options.live = true;
            options.ownServer = true;
        } else if (arg == "--variant" && hasValue) {
            if (!rendertool::VariantDrivers::IsVariantName(args[++i]))
                return ReportError(kExitUsage, "--variant: plain, mmx, sse or sse2");
            options.variant = args[i];
        } else if (arg == "--antialias") {
            options.antialias = true;
        } else if (arg == "--size" && hasValue) {
            if (!rendertool::ParseSize(args[++i], 4096, options.width, options.height, error))
                return ReportError(kExitUsage, error);
        } else if (arg == "--depth" && hasValue) {
            const auto depth = rendertool::ParseNumber(args[++i], "--depth", 8, 32, error);
            if (!depth || (*depth != 8 && *depth != 16 && *depth != 24 && *depth != 32))
                return ReportError(kExitUsage, error.empty() ? "--depth must be 8, 16, 24 or 32" : error);
            options.depth = static_cast<int32_t>(*depth);
        } else if (arg == "--frames" && hasValue) {
            const auto frames = rendertool::ParseNumber(args[++i], "--frames", 1, 1000, error);
            if (!frames)
                return ReportError(kExitUsage, error);
            options.frames = *frames;
        } else if (arg == "--mode" && hasValue) {
            const std::string_view mode = args[++i];
            if (mode != "normal" && mode != "interlaced")
                return ReportError(kExitUsage, "--mode must be normal or interlaced");
            options.interlaced = mode == "interlaced";
        } else {
            return ReportError(kExitUsage, "unknown or incomplete argument " + std::string(arg));
        }
    }
    if (options.depth == 0)
        return ReportError(kExitUsage, "present needs --depth 8|16|24|32");
    return kExitDone;
}

// The run's window. Asked to close (its close box, or SIGINT or SIGTERM through the live display), it ends the run
// instead of going away under the renderer that draws into it.
class PresentWindow final : public pf::Window {
public:
    pf::LResult handle(const pf::Msg& msg) override
    {
        if (msg.message != pf::WM_CLOSE)
            return Window::handle(msg);
        closeRequested = true;
        return 0;
    }
    bool closeRequested = false;
};

// One frame as the world's frame step draws it; answers the milliseconds Present took, or a negative value, and
// those from BeginFrame to EndFrame in outFrameMs.
double DrawAndPresent(SWworld& world, SWwindowrenderside& side, double& outFrameMs)
{
    const auto begin = std::chrono::steady_clock::now();
    if (!rendertool::DrawWindowFrame(world, side))
        return -1.0;
    const auto start = std::chrono::steady_clock::now();
    outFrameMs = std::chrono::duration<double, std::milli>(start - begin).count();
    side.Present();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Lets the live backend show what the last Present drew: loop steps until it has presented, then a few more so that
// the X server has drawn it too. A request to close ends the wait at once.
void WaitUntilShown(pf::Ui& ui, pf::SdlBackend* backend, const PresentWindow& window)
{
    if (backend == nullptr)
        return;
    const uint64_t before = backend->presentedFrameCount();
    for (int i = 0; i < 200 && backend->presentedFrameCount() == before && !window.closeRequested; ++i)
        pf::runLoopStep(ui);
    for (int i = 0; i < 10 && !window.closeRequested; ++i)
        pf::runLoopStep(ui);
}

std::string LivePathFor(const std::string& out)
{
    const bool png = out.size() > 4 && out.compare(out.size() - 4, 4, ".png") == 0;
    return (png ? out.substr(0, out.size() - 4) : out) + ".live.png";
}

// The window's client area as the private server shows it, written as a PNG and compared with the headless pixels.
int WriteServerPicture(pf::XvfbServer& server, pf::Ui& ui, pf::Window& window, const std::string& path)
{
    const pf::Point origin = window.clientToScreen({0, 0});
    const pf::Rect client = window.clientRect().offsetBy(origin.x, origin.y);
    const std::unique_ptr<pf::Surface32> shown = server.grab(client);
    std::string error;
    if (shown->isEmpty())
        return ReportError(kExitFailed, "the X server gave no picture of the window");
    if (!pf::writePngFile(path, *shown, error))
        return ReportError(kExitRefused, tooltest::WriteRefusal(path, error));
    const std::shared_ptr<pf::Surface32> surface = ui.surfaceOf(window);
    long long differ = 0;
    {
        const std::lock_guard lock(surface->mutex());
        const pf::Point offset{client.l - window.screenRect().l, client.t - window.screenRect().t};
        for (int32_t y = 0; y < shown->height(); ++y)
            for (int32_t x = 0; x < shown->width(); ++x)
                differ += (surface->pixel(offset.x + x, offset.y + y) & 0xFFFFFFu) != shown->pixel(x, y) ? 1 : 0;
    }
    std::printf("live=%s equals_headless=%s differing=%lld of %d\n", path.c_str(), differ == 0 ? "yes" : "no", differ,
                shown->width() * shown->height());
    return differ == 0 ? kExitDone : kExitFailed;
}

int RunPresent(std::span<char* const> args)
{
    PresentOptions options;
    if (const int parsed = ParseOptions(args, options); parsed != kExitDone)
        return parsed;
    std::unique_ptr<pf::XvfbServer> server;
    std::unique_ptr<pf::DisplayBackend> backend;
    if (options.ownServer) {
        server = std::make_unique<pf::XvfbServer>();
        std::string error;
        if (!server->start(error)) {
            std::printf("no display: %s\n", error.c_str());
            return kExitNoDisplay;
        }
    }
    if (options.live) {
        pf::DisplayChoice choice = pf::openDisplayBackend();
        if (!choice.backend->isLive()) {
            std::printf("no display: %s\n", choice.reason.c_str());
            return kExitNoDisplay;
        }
        backend = std::move(choice.backend);
    }
    auto* sdl = dynamic_cast<pf::SdlBackend*>(backend.get());
    if (options.directDraw)
        pf::registerDirectDrawStandIn();
    pf::screen().reset();
    pf::screen().setSize({std::max(options.width, 640), std::max(options.height, 480)});
    pf::screen().setDepth(options.depth);
    pf::displayMode().setSixteenBitLayout(options.five55 ? pf::SixteenBitLayout::kRgb555
                                                         : pf::SixteenBitLayout::kRgb565);
    SWrenderdrivers::Get().Init();
    // The renderer is made through the process's driver manager; the routines read the flags of the one started
    // last, which is this one.
    rendertool::VariantDrivers variants;
    variants.Start(options.variant);
    variants.Print();
    auto ui = std::make_unique<pf::Ui>();
    if (backend != nullptr)
        ui->setBackend(backend.get());
    pf::Window* made = ui->createWindow(
        {"window", "", pf::WS_POPUP | pf::WS_VISIBLE, 0, pf::Rect::fromXywh(0, 0, options.width, options.height)});
    auto* window = made != nullptr
                       ? static_cast<PresentWindow*>(ui->replaceObject(*made, std::make_unique<PresentWindow>()))
                       : nullptr;
    if (window == nullptr)
        return ReportError(kExitFailed, "no window could be made");
    ui->pump();
    int result = kExitDone;
    {
        rendertest::ReferenceScene scene = rendertest::MakeReferenceScene();
        SWwindow* sceneWindow = scene.world->AddWindow(std::make_unique<SWwindow>(window->hwnd(), 1u, false));
        auto* side = dynamic_cast<SWwindowrenderside*>(sceneWindow->GetRenderer());
        if (side == nullptr)
            return ReportError(kExitFailed, "the window got no renderer");
        if (options.interlaced)
            side->Renderer().SetRenderMode(1);
        if (!side->SetSize(static_cast<uint32_t>(options.width), static_cast<uint32_t>(options.height)))
            return ReportError(kExitFailed, "the renderer took no device for that size");
        if (options.depth == 8)
            side->Renderer().RealizePalette(nullptr);
        side->SetBackground(scene.world->GetRootObject()->GetBackground());
        side->SetAntialiasing(options.antialias);
        auto* device = static_cast<SWwindowdevice*>(side->Renderer().GetPrimary());
        const long long frames = options.antialias ? 30 : options.frames;
        for (long long frame = 0; frame < frames; ++frame) {
            rendertest::PlaceReferenceCamera(side->Camera(), options.antialias ? 0 : static_cast<uint32_t>(frame));
            double frameMs = 0.0;
            const double ms = DrawAndPresent(*scene.world, *side, frameMs);
            const SWwindowdevice::Counters& counters = device->LastPresent();
            std::printf("frame=%lld path=%s bands=%u pixels=%llu present_ms=%.3f frame_ms=%.3f\n", frame,
                        counters.directDraw ? "DirectDraw" : "GDI", counters.bands,
                        static_cast<unsigned long long>(counters.pixels), ms, frameMs);
            std::fflush(stdout); // a live run is watched as it goes
            if (ms < 0)
                result = kExitFailed;
            if (sdl != nullptr)
                WaitUntilShown(*ui, sdl, *window);
            if (window->closeRequested) {
                std::printf("closed: the window was asked to close after frame %lld\n", frame);
                break;
            }
            if (options.antialias && side->IsAntialiasingDone())
                break;
        }
        // A run asked to end has drawn no finished picture, so it writes none.
        if (!window->closeRequested) {
            const auto pixels = ui->surfaceOf(*window);
            std::string error;
            if (pixels == nullptr || !pf::writePngFile(options.out, *pixels, error))
                result = ReportError(kExitRefused, tooltest::WriteRefusal(options.out, error));
            if (server != nullptr && result == kExitDone)
                result = WriteServerPicture(*server, *ui, *window, LivePathFor(options.out));
        }
    }
    if (backend != nullptr)
        ui->setBackend(nullptr);
    ui.reset();
    SWrenderdrivers::Get().Shutdown();
    if (options.directDraw)
        pf::unregisterDirectDrawStandIn();
    return result;
}

const bool g_registered =
    RegisterRenderToolCommand({"present",
                               "OUT.png --depth 8|16|24|32 [--size WxH] [--555] [--ddraw] [--antialias] [--frames N] "
                               "[--mode normal|interlaced] [--variant plain|mmx|sse|sse2] [--live [--xvfb]]",
                               &RunPresent});

} // namespace
