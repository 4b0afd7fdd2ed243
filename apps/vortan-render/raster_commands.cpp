// `vortan-render raster`: the rasteriser's fixed test scene drawn into a square pixel buffer and written as PNG;
// with --list, what each draw of each cell did.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "apps/vortan-render/command_table.h"
#include "apps/vortan-render/variant_option.h"
#include "platform/gfx/png_file.h"
#include "platform/gfx/surface32.h"
#include "render/software/rasteriser.h"
#include "testsupport/render/raster_scene.h"

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
        return ReportError(kExitRefused, "cannot write " + out + ": " + error);
    if (!isExpected)
        return ReportError(kExitFailed, "raster: a cell took another pipeline than it was built for");
    return kExitDone;
}

const bool kRegistered =
    RegisterRenderToolCommand({"raster", "OUT.png [--size N] [--list] [--variant plain|mmx|sse|sse2]", RunRaster});

} // namespace
