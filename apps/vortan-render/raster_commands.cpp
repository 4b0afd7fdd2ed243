// `vortan-render raster`: the rasteriser's fixed test scene drawn into a square pixel buffer and written as PNG;
// with --list, what each draw of each cell did. `vortan-render fill`: the fill-rate benchmark's two screen triangles
// through one pipeline, written out as a frame dump for the GL peer.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "apps/vortan-render/command_table.h"
#include "apps/vortan-render/frame_dump.h"
#include "apps/vortan-render/variant_option.h"
#include "platform/gfx/png_file.h"
#include "platform/gfx/surface32.h"
#include "render/software/rasteriser.h"
#include "testsupport/render/fill_scene.h"
#include "testsupport/render/raster_scene.h"
#include "testsupport/tools/tool_input.h"

namespace {

using rendertool::kExitDone;
using rendertool::kExitFailed;
using rendertool::kExitRefused;
using rendertool::kExitUsage;
using rendertool::ReportError;

constexpr long long kLeastSize = 16;
constexpr long long kMostSize = 4096;

int RunRaster(std::span<char* const> args)
{
    if (args.empty() || std::string_view(args[0]).starts_with("--"))
        return ReportError(kExitUsage, "raster: expected OUT.png [--size N] [--list] [--variant plain|mmx|sse|sse2]");
    const std::string out = args[0];
    long long size = 256;
    bool isListed = false;
    std::optional<std::string> variant;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--list") {
            isListed = true;
        } else if (arg == "--variant" && i + 1 < args.size()) {
            variant = args[++i];
            if (!rendertool::VariantDrivers::IsVariantName(*variant))
                return ReportError(kExitUsage, "raster: --variant must be plain, mmx, sse or sse2");
        } else if (arg == "--size" && i + 1 < args.size()) {
            std::string error;
            const std::optional<long long> value =
                rendertool::ParseNumber(args[++i], "--size", kLeastSize, kMostSize, error);
            if (!value)
                return ReportError(kExitUsage, error);
            size = *value;
        } else {
            return ReportError(kExitUsage, "raster: unknown argument \"" + std::string(arg) + "\"");
        }
    }
    const auto side = static_cast<int32_t>(size);
    testsupport::RasterTestHost host(side, side);
    if (host.Buffer().Width() != side)
        return ReportError(kExitRefused, "raster: no memory for the picture");
    // The rasteriser chooses its stages once, at creation, from the driver manager's flags.
    rendertool::VariantDrivers drivers;
    drivers.Start(variant);
    drivers.Print();
    SWrasteriser rasteriser;
    if (!rasteriser.Create(&host))
        return ReportError(kExitRefused, "raster: no memory for the rasteriser");
    const testsupport::RasterScene scene(side);
    const std::vector<testsupport::RasterDrawReport> reports = scene.Draw(rasteriser, host);
    bool isExpected = true;
    for (const testsupport::RasterDrawReport& report : reports) {
        isExpected = isExpected && report.pipeline == report.expectedPipeline;
        if (isListed) {
            std::printf("cell=%s draw=%d pipeline=%d blend=%u depth=%s walk=%s pixels=%llu\n", report.cell.c_str(),
                        report.drawIndex, report.pipeline, report.blendMode, report.depthRoutine, report.walk,
                        static_cast<unsigned long long>(report.pixels));
        }
    }
    const SWpixelbuffer& buffer = host.Buffer();
    const pf::Surface32 view(const_cast<uint32_t*>(buffer.Row(0)), buffer.Width(), buffer.Height(),
                             buffer.PitchBytes());
    std::string error;
    if (!pf::writePngFile(out, view, error))
        return ReportError(kExitRefused, tooltest::WriteRefusal(out, error));
    if (!isExpected)
        return ReportError(kExitFailed, "raster: a cell took another pipeline than it was built for");
    return kExitDone;
}

// The configured pipelines, which the fill records reach; another number names no stage program.
constexpr long long kFirstFillPipeline = 24;
constexpr long long kLastFillPipeline = 43;

struct FillOptions {
    std::string directory;
    long long pipeline = 25;
    long long filter = 0;
    long long blend = 0;
    long long width = 640;
    long long height = 480;
    std::optional<std::string> variant;
};

int ParseFillOptions(std::span<char* const> args, FillOptions& out)
{
    if (args.empty() || std::string_view(args[0]).starts_with("--"))
        return ReportError(kExitUsage, "fill: expected DIR first");
    out.directory = args[0];
    for (size_t i = 1; i + 1 < args.size(); i += 2) {
        const std::string_view arg = args[i];
        std::string error;
        std::optional<long long> value;
        if (arg == "--variant") {
            if (!rendertool::VariantDrivers::IsVariantName(args[i + 1]))
                return ReportError(kExitUsage, "fill: --variant must be plain, mmx, sse or sse2");
            out.variant = args[i + 1];
            continue;
        }
        long long* field = arg == "--pipeline" ? &out.pipeline
                           : arg == "--filter" ? &out.filter
                           : arg == "--blend"  ? &out.blend
                           : arg == "--width"  ? &out.width
                           : arg == "--height" ? &out.height
                                               : nullptr;
        const bool isSize = arg == "--width" || arg == "--height";
        if (field == nullptr)
            return ReportError(kExitUsage, "fill: unknown argument \"" + std::string(arg) + "\"");
        const bool isPipeline = arg == "--pipeline";
        value = rendertool::ParseNumber(args[i + 1], std::string(arg).c_str(),
                                        isSize       ? kLeastSize
                                        : isPipeline ? kFirstFillPipeline
                                                     : 0,
                                        isSize       ? kMostSize
                                        : isPipeline ? kLastFillPipeline
                                                     : 3,
                                        error);
        if (!value)
            return ReportError(kExitUsage, error);
        *field = *value;
    }
    if (args.size() % 2 == 0)
        return ReportError(kExitUsage, "fill: an option lacks its value");
    if (out.filter > 2)
        return ReportError(kExitUsage, "fill: --filter must be 0 (nearest), 1 (bilinear) or 2 (falloff)");
    return kExitDone;
}

int RunFill(std::span<char* const> args)
{
    FillOptions options;
    if (const int parsed = ParseFillOptions(args, options); parsed != kExitDone)
        return parsed;
    const auto width = static_cast<int32_t>(options.width);
    const auto height = static_cast<int32_t>(options.height);
    testsupport::RasterTestHost host(width, height);
    if (host.Buffer().Width() != width)
        return ReportError(kExitRefused, "fill: no memory for the picture");
    host.Clear(0);
    rendertool::VariantDrivers drivers;
    drivers.Start(options.variant);
    drivers.Print();
    SWrasteriser rasteriser;
    if (!rasteriser.Create(&host))
        return ReportError(kExitRefused, "fill: no memory for the rasteriser");
    const int pipeline = static_cast<int>(options.pipeline);
    const SWtexturestages format =
        testsupport::FillFormat(pipeline, static_cast<uint8_t>(options.filter), static_cast<int>(options.blend));
    // The benchmark's records reach only the configured pipelines; another number makes a record of another one.
    if (SWrasteriser::PipelineIndex(format, false) != pipeline || !rasteriser.IsConfigured(pipeline))
        return ReportError(kExitUsage, "fill: pipeline " + std::to_string(pipeline) + " has no stage program");
    const std::vector<uint32_t> words = testsupport::PackVertices(format, testsupport::FillTriangles(width, height));
    testsupport::PrimitiveList list;
    list.Add(&format, words.data());
    list.Add(&format, words.data() + 3 * format.vertexStride);
    rendertool::FrameDump dump(options.directory);
    dump.BeginFrame(host.Buffer());
    rasteriser.SetRecorder(&dump);
    rasteriser.DrawPrimitives(list.First());
    rasteriser.SetRecorder(nullptr);
    std::string error;
    if (!dump.EndFrame(host.Buffer(), 0, error))
        return ReportError(kExitRefused, "fill: " + error);
    std::printf("pipeline=%d pixels=%llu\n", pipeline, static_cast<unsigned long long>(rasteriser.Stats().pixelsDrawn));
    return kExitDone;
}

const bool kRegistered =
    RegisterRenderToolCommand({"raster", "OUT.png [--size N] [--list] [--variant plain|mmx|sse|sse2]", RunRaster});
const bool kFillRegistered = RegisterRenderToolCommand(
    {"fill",
     "DIR [--pipeline 24..43] [--filter 0|1|2] [--blend 0..3] [--width W] [--height H] [--variant plain|mmx|sse|sse2]",
     RunFill});

} // namespace
