// vortan-render d3d8: the reference scene's world drawn through a window whose renderer asks for the Direct3D 8
// device (device flags 2, or 3 with the window device behind it), against the platform's Direct3D 8 stand-in with
// its reference rasteriser, so that the hardware path's frames can be looked at, traced call by call, failed on
// purpose and compared with the software renderer's.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apps/vortan-render/command_table.h"
#include "apps/vortan-render/window_frame.h"
#include "engine/core/root_object.h"
#include "engine/core/window.h"
#include "engine/core/world.h"
#include "engine/resources/background.h"
#include "platform/base/atomic_file.h"
#include "platform/base/user_constants.h"
#include "platform/d3d8/direct3d8.h"
#include "platform/display/screen.h"
#include "platform/gfx/png_file.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"
#include "render/d3d8/d3d8_device.h"
#include "render/present/window_device.h"
#include "render/present/window_render_side.h"
#include "render/render_drivers.h"
#include "testsupport/render/reference_scene.h"
#include "testsupport/tools/tool_input.h"

namespace {

using rendertool::kExitDone;
using rendertool::kExitFailed;
using rendertool::kExitRefused;
using rendertool::kExitUsage;
using rendertool::ReportError;

struct D3D8Options {
    std::string out;
    int32_t width = 320;
    int32_t height = 240;
    long long frames = 1;
    bool interlaced = false;
    bool antialias = false;
    std::string trace;
    long long vendor = -1;
    long long build = -1;
    std::string failMethod;
    long long failNth = 0;
    uint32_t flags = 2;
    bool compare = false;
};

bool ParseFail(std::string_view text, D3D8Options& options, std::string& error)
{
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) {
        error = "--fail must be METHOD:N, not \"" + std::string(text) + "\"";
        return false;
    }
    const std::string_view method = text.substr(0, colon);
    if (!pf::isD3D8FailableMethod(method)) {
        error = "--fail: the stand-in has no method \"" + std::string(method) + "\" to fail; it fails";
        for (const std::string_view known : pf::d3d8FailableMethods())
            error.append(" ").append(known);
        return false;
    }
    const auto nth = rendertool::ParseNumber(text.substr(colon + 1), "--fail count", 1, 1000000, error);
    if (!nth)
        return false;
    options.failMethod = std::string(text.substr(0, colon));
    options.failNth = *nth;
    return true;
}

// A PCI vendor id, decimal or 0x-prefixed hexadecimal.
std::optional<long long> ParseVendor(std::string_view text, std::string& error)
{
    if (!text.starts_with("0x") && !text.starts_with("0X"))
        return rendertool::ParseNumber(text, "--vendor", 0, 0xFFFF, error);
    unsigned value = 0;
    const std::string_view digits = text.substr(2);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty() || value > 0xFFFF) {
        error = "--vendor must be a number up to 0xFFFF, not \"" + std::string(text) + "\"";
        return std::nullopt;
    }
    return value;
}

int ParseOptions(std::span<char* const> args, D3D8Options& options)
{
    if (args.empty())
        return ReportError(kExitUsage, "d3d8 needs an output path");
    options.out = args[0];
    std::string error;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        bool ok = true;
        if (arg == "--antialias") {
            options.antialias = true;
        } else if (arg == "--compare") {
            options.compare = true;
        } else if (arg == "--size" && hasValue) {
            ok = rendertool::ParseSize(args[++i], 4096, options.width, options.height, error);
        } else if (arg == "--frames" && hasValue) {
            const auto frames = rendertool::ParseNumber(args[++i], "--frames", 1, 1000, error);
            ok = frames.has_value();
            options.frames = frames.value_or(1);
        } else if (arg == "--mode" && hasValue) {
            const std::string_view mode = args[++i];
            if (mode != "normal" && mode != "interlaced")
                return ReportError(kExitUsage, "--mode must be normal or interlaced");
            options.interlaced = mode == "interlaced";
        } else if (arg == "--trace" && hasValue) {
            options.trace = args[++i];
        } else if (arg == "--vendor" && hasValue) {
            const auto vendor = ParseVendor(args[++i], error);
            ok = vendor.has_value();
            options.vendor = vendor.value_or(-1);
        } else if (arg == "--build" && hasValue) {
            const auto build = rendertool::ParseNumber(args[++i], "--build", 0, 0xFFFF, error);
            ok = build.has_value();
            options.build = build.value_or(-1);
        } else if (arg == "--fail" && hasValue) {
            ok = ParseFail(args[++i], options, error);
        } else if (arg == "--flags" && hasValue) {
            const auto flags = rendertool::ParseNumber(args[++i], "--flags", 2, 3, error);
            ok = flags.has_value();
            options.flags = static_cast<uint32_t>(flags.value_or(2));
        } else {
            return ReportError(kExitUsage, "unknown or incomplete argument " + std::string(arg));
        }
        if (!ok)
            return ReportError(kExitUsage, error);
    }
    return kExitDone;
}

// The calls of one frame, counted as the regression figures count them.
struct FrameCalls {
    size_t draws = 0, stateBlocks = 0, stateCalls = 0, locks = 0, uploads = 0, creates = 0;
};

FrameCalls CountCalls(const std::vector<pf::D3D8Call>& calls)
{
    FrameCalls n;
    for (const pf::D3D8Call& call : calls) {
        const std::string& m = call.method;
        n.draws += m == "DrawPrimitive" || m == "DrawIndexedPrimitive";
        n.stateBlocks += m == "ApplyStateBlock";
        n.stateCalls += m == "SetRenderState" || m == "SetTextureStageState" || m == "SetTexture";
        n.locks += m == "VertexBuffer::Lock" || m == "IndexBuffer::Lock";
        n.uploads += m == "UpdateTexture";
        n.creates += m == "CreateVertexBuffer" || m == "CreateIndexBuffer" || m == "CreateTexture";
    }
    return n;
}

// Draws and presents one frame; false when there was nothing to draw into or the presentation failed.
bool DrawFrame(SWworld& world, SWwindowrenderside& side)
{
    return rendertool::DrawWindowFrame(world, side) && side.Present();
}

// A window of the reference scene's world, its renderer asked for the flags.
struct SceneWindow {
    rendertest::ReferenceScene scene;
    pf::Window* window = nullptr;
    SWwindowrenderside* side = nullptr;
};

bool OpenSceneWindow(pf::Ui& ui, const D3D8Options& options, uint32_t flags, int32_t x, SceneWindow& out)
{
    out.scene = rendertest::MakeReferenceScene();
    // The Direct3D layout stretches one quad over the view only when the background asks for it; the reference
    // sky is stretched, so it asks.
    if (SWbackground* sky = out.scene.world->GetRootObject()->GetBackground(); sky != nullptr && sky->GetStretch() != 0)
        sky->SetBackgroundFlags(sky->GetBackgroundFlags() | SWbackground::kFlagDirect3DLayout);
    out.window = ui.createWindow(
        {"window", "", pf::WS_POPUP | pf::WS_VISIBLE, 0, pf::Rect::fromXywh(x, 0, options.width, options.height)});
    if (out.window == nullptr)
        return false;
    ui.pump();
    SWwindow* sceneWindow = out.scene.world->AddWindow(std::make_unique<SWwindow>(out.window->hwnd(), flags, false));
    out.side = dynamic_cast<SWwindowrenderside*>(sceneWindow->GetRenderer());
    if (out.side == nullptr)
        return false;
    if (options.interlaced)
        out.side->Renderer().SetRenderMode(1);
    const bool sized = out.side->SetSize(static_cast<uint32_t>(options.width), static_cast<uint32_t>(options.height));
    out.side->SetBackground(out.scene.world->GetRootObject()->GetBackground());
    out.side->SetAntialiasing(options.antialias);
    return sized;
}

const char* DeviceName(const SWrenderer& renderer)
{
    const SWrenderdevice* primary = renderer.GetPrimary();
    if (primary == nullptr)
        return "none";
    return primary->GetDeviceFlags() == SWrenderdevice::kDirect3D8Device ? "Direct3D8" : "window";
}

int WriteTrace(const std::string& path, const std::vector<pf::D3D8Call>& creation,
               const std::vector<pf::D3D8Call>& frame, long long frameIndex)
{
    std::string text = "# device creation and initial states\n";
    for (const pf::D3D8Call& call : creation)
        text += pf::formatD3D8Call(call) + "\n";
    text += "# frame " + std::to_string(frameIndex) + "\n";
    for (const pf::D3D8Call& call : frame)
        text += pf::formatD3D8Call(call) + "\n";
    std::string error;
    if (!pf::writeFileAtomically(path, text, &error))
        return ReportError(kExitRefused, error);
    return kExitDone;
}

// The peak signal-to-noise ratio over the three colour channels and the share of pixels that differ by more than
// 8 in any channel.
void ComparePixels(const pf::Surface32& a, const pf::Surface32& b, int32_t width, int32_t height)
{
    double squares = 0.0;
    long long differing = 0;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t p = a.pixel(x, y), q = b.pixel(x, y);
            int worst = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                const int d = static_cast<int>(p >> shift & 255) - static_cast<int>(q >> shift & 255);
                squares += double(d) * d;
                worst = std::max(worst, std::abs(d));
            }
            differing += worst > 8;
        }
    const double mse = squares / (3.0 * width * height);
    const double psnr = mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
    std::printf("compare psnr=%.2f differing=%.4f\n", psnr, double(differing) / (double(width) * height));
}

// The same line whether the window got no renderer at all or a renderer without the Direct3D 8 device.
void ReportRefusedCard(const pf::Direct3D8Config& config)
{
    std::printf("card refused: vendor 0x%04X build %u is not one the Direct3D 8 device accepts\n", config.vendorId,
                config.driverBuild & 0xFFFF);
}

int RunD3D8(std::span<char* const> args)
{
    D3D8Options options;
    if (const int parsed = ParseOptions(args, options); parsed != kExitDone)
        return parsed;
    pf::Direct3D8Config config;
    config.rasterise = true;
    if (options.vendor >= 0)
        config.vendorId = static_cast<uint32_t>(options.vendor);
    if (options.build >= 0)
        config.driverBuild = static_cast<uint32_t>(options.build);
    pf::registerDirect3D8StandIn(config);
    pf::clearD3D8CallLog();
    pf::setD3D8FailurePlan({});
    if (!options.failMethod.empty())
        pf::setD3D8FailurePlan(
            {{{options.failMethod, static_cast<uint32_t>(options.failNth), pf::D3DERR_INVALIDCALL}}});
    pf::screen().reset();
    pf::screen().setSize({std::max(2 * options.width, 640), std::max(options.height, 480)});
    SWrenderdrivers::Get().Init();
    auto ui = std::make_unique<pf::Ui>();
    int result = kExitDone;
    {
        SceneWindow hardware;
        const bool sized = OpenSceneWindow(*ui, options, options.flags, 0, hardware);
        if (hardware.side == nullptr) {
            ReportRefusedCard(config);
            return ReportError(kExitFailed, "the window got no renderer");
        }
        SWrenderer& renderer = hardware.side->Renderer();
        const SWd3d8device* d3d = nullptr;
        for (size_t i = 0; i < renderer.GetDeviceCount(); ++i)
            if (auto* found = dynamic_cast<const SWd3d8device*>(renderer.GetDevice(i)); found != nullptr)
                d3d = found;
        if (d3d == nullptr)
            ReportRefusedCard(config);
        else if (!d3d->HasDevice())
            std::printf("Direct3D 8 device not created: the renderer passed over it\n");
        std::printf("presenting device: %s\n", DeviceName(renderer));
        if (!sized)
            return ReportError(kExitFailed, "the renderer took no device for that size");
        const std::vector<pf::D3D8Call> creation = pf::d3d8CallLog();
        std::vector<pf::D3D8Call> last;
        const long long frames = options.antialias ? 30 : options.frames;
        long long drawn = 0;
        for (long long frame = 0; frame < frames; ++frame, ++drawn) {
            pf::clearD3D8CallLog();
            rendertest::PlaceReferenceCamera(hardware.side->Camera(),
                                             options.antialias ? 0 : static_cast<uint32_t>(frame));
            const bool presented = DrawFrame(*hardware.scene.world, *hardware.side);
            last = pf::d3d8CallLog();
            const FrameCalls n = CountCalls(last);
            std::printf("frame=%lld device=%s presented=%s draws=%zu state_blocks=%zu state_calls=%zu locks=%zu "
                        "uploads=%zu creates=%zu\n",
                        frame, DeviceName(renderer), presented ? "yes" : "no", n.draws, n.stateBlocks, n.stateCalls,
                        n.locks, n.uploads, n.creates);
            if (!presented)
                result = kExitFailed;
            if (options.antialias && hardware.side->IsAntialiasingDone())
                break;
        }
        if (!options.trace.empty() && result == kExitDone)
            result = WriteTrace(options.trace, creation, last, drawn - 1);
        const auto pixels = ui->surfaceOf(*hardware.window);
        std::string error;
        if (pixels == nullptr || !pf::writePngFile(options.out, *pixels, error))
            result = ReportError(kExitRefused, tooltest::WriteRefusal(options.out, error));
        if (options.compare && result == kExitDone) {
            D3D8Options software = options;
            software.antialias = false;
            SceneWindow reference;
            if (!OpenSceneWindow(*ui, software, SWrenderdevice::kWindowDevice, options.width, reference))
                return ReportError(kExitFailed, "the software window took no device");
            rendertest::PlaceReferenceCamera(reference.side->Camera(),
                                             options.antialias ? 0 : static_cast<uint32_t>(drawn - 1));
            DrawFrame(*reference.scene.world, *reference.side);
            const auto theirs = ui->surfaceOf(*reference.window);
            const std::lock_guard lockA(pixels->mutex());
            const std::lock_guard lockB(theirs->mutex());
            ComparePixels(*pixels, *theirs, options.width, options.height);
        }
    }
    ui.reset();
    SWrenderdrivers::Get().Shutdown();
    pf::setD3D8FailurePlan({});
    pf::unregisterDirect3D8StandIn();
    if (pf::d3d8LiveObjects() != 0) {
        std::printf("leak: %d Direct3D 8 objects alive\n", pf::d3d8LiveObjects());
        result = kExitFailed;
    }
    return result;
}

const bool g_registered = RegisterRenderToolCommand(
    {"d3d8",
     "OUT.png [--size WxH] [--frames N] [--mode normal|interlaced] [--antialias] [--trace LOG] "
     "[--vendor ID --build N] [--fail METHOD:N] [--flags 2|3] [--compare]",
     &RunD3D8});

} // namespace
