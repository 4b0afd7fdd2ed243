// vortan-render scene and mesh: the reference scene, or one mesh in one render mode, drawn through the world's
// frame (BeginFrame, GetViewMatrix, SWrootobject::Render, EndFrame) and written as a PNG, with what was queued,
// clipped and drawn and the milliseconds of each stage.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "apps/vortan-render/command_table.h"
#include "apps/vortan-render/frame_dump.h"
#include "apps/vortan-render/variant_option.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/background.h"
#include "engine/resources/image32.h"
#include "platform/gfx/png_file.h"
#include "render/mesh/clipper.h"
#include "render/mesh/mesh_renderer.h"
#include "render/render_camera.h"
#include "render/render_drivers.h"
#include "render/render_surface.h"
#include "render/software/rasteriser.h"
#include "testsupport/mesh/off_file.h"
#include "testsupport/render/mesh_loading.h"
#include "testsupport/render/reference_scene.h"
#include "testsupport/tools/tool_input.h"

namespace {

using namespace rendertool;
using Clock = std::chrono::steady_clock;

struct FrameOptions {
    std::string out;
    uint32_t width = 640;
    uint32_t height = 480;
    uint32_t frame = 0;
    uint32_t factor = 1;
    std::string mode = "normal";
    float jitterX = 0.0f;
    float jitterY = 0.0f;
    std::string mesh;       // mesh command only
    std::string renderMode; // mesh command only
    bool nearCut = false;   // mesh command only
    float eyeDistance = 0;  // mesh command only: the eye's distance from the mesh's centre; 0 keeps the camera's
    bool scene = false;     // scene command: the processor variants are chosen (--variant or the probe)
    std::optional<std::string> variant; // either command: the processor variants, named
    uint32_t frames = 1; // orbit frames drawn one after another from --frame on (the mesh camera stays put)
    std::string dump;    // the directory each frame's triangles are written to
};

struct FrameTotals {
    double refreshMs = 0.0;
    double queueMs = 0.0;
    double endFrameMs = 0.0;
};

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool ParseSize(const std::string& text, uint32_t& outWidth, uint32_t& outHeight, std::string& outError)
{
    const size_t x = text.find('x');
    if (x == std::string::npos) {
        outError = "--size: expected WxH";
        return false;
    }
    const auto w = ParseNumber(text.substr(0, x), "--size width", 1, 8192, outError);
    const auto h = w ? ParseNumber(text.substr(x + 1), "--size height", 1, 8192, outError) : std::nullopt;
    if (!w || !h)
        return false;
    outWidth = static_cast<uint32_t>(*w);
    outHeight = static_cast<uint32_t>(*h);
    return true;
}

bool ParseJitter(const std::string& text, FrameOptions& out, std::string& outError)
{
    const size_t comma = text.find(',');
    char* end = nullptr;
    const std::string first = text.substr(0, comma);
    const std::string second = comma == std::string::npos ? "" : text.substr(comma + 1);
    out.jitterX = std::strtof(first.c_str(), &end);
    const bool firstOk = !first.empty() && *end == '\0';
    out.jitterY = std::strtof(second.c_str(), &end);
    if (!firstOk || second.empty() || *end != '\0' || !std::isfinite(out.jitterX) || !std::isfinite(out.jitterY) ||
        std::fabs(out.jitterX) > 1.0f || std::fabs(out.jitterY) > 1.0f) {
        outError = "--jitter: expected X,Y within -1..1 pixels";
        return false;
    }
    return true;
}

std::optional<FrameOptions> ParseOptions(std::span<char* const> args, bool meshCommand, std::string& outError)
{
    if (args.empty() || args[0][0] == '-') {
        outError = "expected OUT.png first";
        return std::nullopt;
    }
    FrameOptions options;
    options.out = args[0];
    options.scene = !meshCommand;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string flag = args[i];
        const bool hasValue = i + 1 < args.size();
        if (flag == "--near-cut" && meshCommand) {
            options.nearCut = true;
            continue;
        }
        if (!hasValue) {
            outError = "unknown or incomplete option " + flag;
            return std::nullopt;
        }
        const std::string value = args[++i];
        if (flag == "--size") {
            if (!ParseSize(value, options.width, options.height, outError))
                return std::nullopt;
        } else if (flag == "--frame" && !meshCommand) {
            const auto frame = ParseNumber(value, "--frame", 0, 1000000, outError);
            if (!frame)
                return std::nullopt;
            options.frame = static_cast<uint32_t>(*frame);
        } else if (flag == "--supersample") {
            const auto factor = ParseNumber(value, "--supersample", 1, 2, outError);
            if (!factor)
                return std::nullopt;
            options.factor = static_cast<uint32_t>(*factor);
        } else if (flag == "--mode" && !meshCommand) {
            options.mode = value;
            if (value != "normal" && value != "interlaced" && value != "stereo") {
                outError = "--mode: normal, interlaced or stereo";
                return std::nullopt;
            }
        } else if (flag == "--jitter" && !meshCommand) {
            if (!ParseJitter(value, options, outError))
                return std::nullopt;
        } else if (flag == "--frames") {
            const auto frames = ParseNumber(value, "--frames", 1, 100000, outError);
            if (!frames)
                return std::nullopt;
            options.frames = static_cast<uint32_t>(*frames);
        } else if (flag == "--dump") {
            options.dump = value;
        } else if (flag == "--variant") {
            if (!rendertool::VariantDrivers::IsVariantName(value)) {
                outError = "--variant: plain, mmx, sse or sse2";
                return std::nullopt;
            }
            options.variant = value;
        } else if (flag == "--mesh" && meshCommand) {
            options.mesh = value;
        } else if (flag == "--mode" && meshCommand) {
            options.renderMode = value;
        } else if (flag == "--eye-distance" && meshCommand) {
            // The mesh's bounding radius is 1 and the near plane 0.15: from 1.2 on the eye stays outside the mesh.
            char* end = nullptr;
            const float distance = std::strtof(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(distance >= 1.2f && distance <= 100.0f)) {
                outError = "--eye-distance: expected a distance from 1.2 to 100";
                return std::nullopt;
            }
            options.eyeDistance = distance;
        } else {
            outError = "unknown option " + flag;
            return std::nullopt;
        }
    }
    if ((options.frames > 1 || !options.dump.empty()) && options.mode != "normal") {
        outError = "--frames and --dump draw normal frames only";
        return std::nullopt;
    }
    if (options.nearCut && options.eyeDistance > 0) {
        outError = "--near-cut places its plane for the camera's own distance, not --eye-distance";
        return std::nullopt;
    }
    return options;
}

// Every mesh renderer of the world, for its counts.
SWmeshrenderstats CollectStats(SWrootobject& root)
{
    SWmeshrenderstats total;
    const SWobjectlist* list = root.GetList(SWobjectlist::Kind::kGeometry);
    for (CVTN_Container* child = list != nullptr ? list->GetFirstChild() : nullptr; child != nullptr;
         child = child->GetNextSibling()) {
        const auto* mesh = dynamic_cast<const SWmesh*>(child);
        const auto* renderer =
            mesh != nullptr ? dynamic_cast<const SWmeshrendererCommon*>(mesh->GetHeldRenderer()) : nullptr;
        if (renderer == nullptr)
            continue;
        const SWmeshrenderstats& s = renderer->Stats();
        total.triangles += s.triangles;
        total.visible += s.visible;
        total.queued += s.queued;
        total.indexed += s.indexed;
        total.clipped += s.clipped;
        total.clippedAway += s.clippedAway;
    }
    return total;
}

// One frame of the world as the frame step draws it; a dump, when given, sees the refreshed buffer first.
bool DrawFrame(SWworld& world, SWrendersurface& surface, FrameTotals& totals, FrameDump* dump = nullptr)
{
    surface.BeginFrame();
    const Clock::time_point refreshStart = Clock::now();
    surface.RefreshBuffers();
    totals.refreshMs += MsSince(refreshStart);
    if (dump != nullptr)
        dump->BeginFrame(*surface.GetCurrentBuffer());
    const Clock::time_point queueStart = Clock::now();
    const bool queued = world.GetRootObject()->Render(surface);
    totals.queueMs += MsSince(queueStart);
    const Clock::time_point endStart = Clock::now();
    const bool ended = surface.EndFrame();
    totals.endFrameMs += MsSince(endStart);
    if (dump != nullptr)
        dump->AddMeshes(*world.GetRootObject(), surface);
    return queued && ended;
}

int WritePixels(const std::string& path, const uint32_t* pixels, int32_t width, int32_t height, size_t pitchBytes)
{
    const pf::Surface32 view(const_cast<uint32_t*>(pixels), width, height, pitchBytes);
    std::string error;
    if (!pf::writePngFile(path, view, error))
        return ReportError(kExitRefused, tooltest::WriteRefusal(path, error));
    return kExitDone;
}

// A field is drawn into its half of the buffer, rows in order, and the next frame's refresh clears what the last
// frames drew, so each field's rows are taken as soon as it is done: field 0 to the even rows of the picture,
// field 1 to the odd ones.
void TakeField(const SWpixelbuffer& buffer, uint32_t phase, std::vector<uint32_t>& outPicture)
{
    const int32_t width = buffer.Width();
    const int32_t height = buffer.Height();
    const int32_t firstField = (height + 1) / 2;
    outPicture.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int32_t y = static_cast<int32_t>(phase); y < height; y += 2) {
        const int32_t source = phase == 0 ? y / 2 : firstField + y / 2;
        std::copy_n(buffer.Row(source), width, outPicture.begin() + static_cast<ptrdiff_t>(y) * width);
    }
}

void PrintReport(SWrootobject& root, SWrendersurface& surface, const FrameTotals& totals, int frames)
{
    const SWmeshrenderstats stats = CollectStats(root);
    const SWrasterstats& raster = surface.GetRasteriser()->Stats();
    std::printf("triangles=%u visible=%u queued=%u indexed=%u clipped=%u clipped-away=%u fan=%u\n", stats.triangles,
                stats.visible, stats.queued, stats.indexed, stats.clipped, stats.clippedAway,
                surface.GetClipper()->FanTrianglesMade());
    std::printf("drawn=%llu pixels=%llu skipped=%llu\n",
                static_cast<unsigned long long>(raster.affineTriangles + raster.perspectiveTriangles),
                static_cast<unsigned long long>(raster.pixelsDrawn),
                static_cast<unsigned long long>(raster.skippedTriangles));
    std::printf("frames=%d queue-ms=%.3f end-frame-ms=%.3f\n", frames, totals.queueMs, totals.endFrameMs);
    const int workers = surface.GetRasteriser()->Workers();
    std::printf("workers=%d %s\n", workers > 0 ? workers : 1, workers > 0 ? "in bands" : "in frame order");
}

// Draws the world's frame in the chosen mode and writes it. The caller places the camera through placeCamera.
int DrawAndWrite(SWworld& world, const FrameOptions& options, const SWbackground* background,
                 void (*placeCamera)(SWrendercamera&, const FrameOptions&, float))
{
    rendertool::VariantDrivers variants;
    SWhostdrivers plainDrivers;
    const bool chooseVariants = options.scene || options.variant.has_value();
    if (chooseVariants) {
        variants.Start(options.variant);
        variants.Print();
    } else {
        plainDrivers.Init();
    }
    SWrendercamera camera;
    SWrendersurface surface;
    if (!surface.Init())
        return ReportError(kExitFailed, "the surface could not be made");
    surface.SetCamera(&camera);
    surface.SetSupersampling(options.factor, options.factor);
    surface.SetJitter(options.jitterX, options.jitterY);
    surface.BufferA().SetBackground(background);
    surface.BufferB().SetBackground(background);
    // A single normal frame goes straight into an attached image; the other modes keep the surface's buffers.
    SWimage32 image("frame", options.width, options.height, nullptr);
    const bool attached = options.mode == "normal" && options.factor == 1;
    if (attached ? !surface.AttachImage(&image) : !surface.Resize(options.width, options.height))
        return ReportError(kExitFailed, "the surface could not take the size");

    FrameTotals totals;
    std::vector<uint32_t> interlaced;
    int frames = 0;
    bool drawn = true;
    if (options.mode == "normal") {
        std::unique_ptr<FrameDump> dump = options.dump.empty() ? nullptr : std::make_unique<FrameDump>(options.dump);
        surface.GetRasteriser()->SetRecorder(dump.get());
        FrameOptions orbit = options;
        std::vector<uint32_t> readBack;
        for (uint32_t i = 0; i < options.frames; ++i, ++orbit.frame) {
            const FrameTotals before = totals;
            const uint64_t rasterBefore = surface.GetRasteriser()->Stats().drawNanoseconds;
            placeCamera(camera, orbit, 0.0f);
            drawn = DrawFrame(world, surface, totals, dump.get()) && drawn;
            if (options.frames > 1) {
                // The read-back a presenting caller would make: the whole 32-bit frame copied out.
                const Clock::time_point copyStart = Clock::now();
                const SWpixelbuffer& drawnFrame = *surface.GetCurrentBuffer();
                readBack.resize(static_cast<size_t>(drawnFrame.Width()) * static_cast<size_t>(drawnFrame.Height()));
                for (int32_t y = 0; y < drawnFrame.Height(); ++y)
                    std::copy_n(drawnFrame.Row(y), drawnFrame.Width(),
                                readBack.begin() + static_cast<ptrdiff_t>(y) * drawnFrame.Width());
                const double copyMs = MsSince(copyStart);
                // The rasteriser draws the indexed records as the meshes hand them over and the queue at EndFrame;
                // raster-ms is its share of both.
                const uint64_t rasterNs = surface.GetRasteriser()->Stats().drawNanoseconds - rasterBefore;
                std::printf("frame=%u refresh-ms=%.3f queue-ms=%.3f end-frame-ms=%.3f raster-ms=%.3f copy-ms=%.3f\n",
                            orbit.frame, totals.refreshMs - before.refreshMs, totals.queueMs - before.queueMs,
                            totals.endFrameMs - before.endFrameMs, static_cast<double>(rasterNs) / 1e6, copyMs);
            }
            std::string error;
            if (dump != nullptr && !dump->EndFrame(*surface.GetCurrentBuffer(), orbit.frame, error))
                return ReportError(kExitRefused, "--dump: " + error);
        }
        surface.GetRasteriser()->SetRecorder(nullptr);
        frames = static_cast<int>(options.frames);
    } else if (options.mode == "interlaced") {
        surface.SetRenderMode(1);
        placeCamera(camera, options, 0.0f);
        for (uint32_t phase = 0; phase < 2; ++phase) {
            surface.SetPhase(phase);
            drawn = DrawFrame(world, surface, totals) && drawn;
            TakeField(*surface.GetCurrentBuffer(), phase, interlaced);
        }
        frames = 2;
    } else {
        surface.SetRenderMode(2);
        for (uint32_t phase = 0; phase < 2; ++phase) {
            surface.SetPhase(phase);
            placeCamera(camera, options, phase == 0 ? -0.03f : 0.03f);
            drawn = DrawFrame(world, surface, totals) && drawn;
        }
        frames = 2;
    }
    PrintReport(*world.GetRootObject(), surface, totals, frames);
    if (!chooseVariants)
        plainDrivers.Shutdown();
    if (!drawn)
        return ReportError(kExitFailed, "the frame was not drawn");
    if (attached)
        return WritePixels(options.out, image.GetPixels(), image.GetWidth(), image.GetHeight(),
                           static_cast<size_t>(image.GetWidth()) * 4);
    if (options.mode == "interlaced") {
        const SWpixelbuffer& shown = *surface.GetCurrentBuffer();
        return WritePixels(options.out, interlaced.data(), shown.Width(), shown.Height(), shown.PitchBytes());
    }
    const SWpixelbuffer& shown = options.mode == "stereo" ? surface.BufferA() : *surface.GetCurrentBuffer();
    return WritePixels(options.out, shown.Row(0), shown.Width(), shown.Height(), shown.PitchBytes());
}

void PlaceOrbitCamera(SWrendercamera& camera, const FrameOptions& options, float eyeShift)
{
    rendertest::PlaceReferenceCamera(camera, options.frame, eyeShift);
}

int RunScene(std::span<char* const> args)
{
    std::string error;
    const std::optional<FrameOptions> options = ParseOptions(args, false, error);
    if (!options)
        return ReportError(kExitUsage, "scene: " + error);
    rendertest::ReferenceScene scene = rendertest::MakeReferenceScene();
    return DrawAndWrite(*scene.world, *options, scene.world->GetRootObject()->GetBackground(), &PlaceOrbitCamera);
}

// -- mesh

void PlaceMeshCameraFor(SWrendercamera& camera, const FrameOptions& options, float)
{
    rendertest::PlaceMeshCamera(camera, options.nearCut);
    // The eye sits one unit behind the position along the (unit) direction, so the same view from nearer or further.
    if (options.eyeDistance > 0) {
        const SWvector& d = camera.GetDirection();
        const float along = options.eyeDistance - 1.0f;
        camera.SetPosition(d.x * along, d.y * along, d.z * along);
    }
}

int RunMesh(std::span<char* const> args)
{
    std::string error;
    std::optional<FrameOptions> options = ParseOptions(args, true, error);
    if (!options)
        return ReportError(kExitUsage, "mesh: " + error);
    const std::string& mode = options->renderMode;
    if (options->mesh.empty() ||
        (mode != "continuous" && mode != "flat" && mode != "gouraud" && mode != "phong" && mode != "dot3"))
        return ReportError(kExitUsage, "mesh: expected --mesh cube|sphere|torus|FILE.off and --mode "
                                       "continuous|flat|gouraud|phong|dot3");
    std::optional<rendertest::TexturedMesh> shape = rendertest::MakeNamedMesh(options->mesh);
    if (!shape) {
        const std::optional<meshtest::OffMesh> off = tooltest::ReadOffInput(options->mesh, error);
        if (!off)
            return ReportError(kExitRefused, "mesh: " + error);
        shape = rendertest::FromOff(*off);
        if (!rendertest::NormaliseToUnitRadius(*shape))
            return ReportError(kExitRefused, "mesh: " + options->mesh + ": the mesh has no extent");
    }
    std::optional<rendertest::ReferenceScene> scene = rendertest::MakeMeshScene(*shape, mode);
    if (!scene)
        return ReportError(kExitUsage, "mesh: unknown mode " + mode);
    return DrawAndWrite(*scene->world, *options, scene->world->GetRootObject()->GetBackground(), &PlaceMeshCameraFor);
}

const bool kSceneRegistered = RegisterRenderToolCommand(
    {"scene",
     "OUT.png [--size WxH] [--frame N] [--supersample 2] [--mode normal|interlaced|stereo] [--jitter X,Y] "
     "[--variant plain|mmx|sse|sse2] [--frames N] [--dump DIR]",
     &RunScene});
const bool kMeshRegistered = RegisterRenderToolCommand(
    {"mesh",
     "OUT.png --mesh cube|sphere|torus|FILE.off --mode continuous|flat|gouraud|phong|dot3 [--near-cut] "
     "[--size WxH] [--supersample 2] [--eye-distance D] [--variant plain|mmx|sse|sse2] [--frames N] "
     "[--dump DIR]",
     &RunMesh});

} // namespace
