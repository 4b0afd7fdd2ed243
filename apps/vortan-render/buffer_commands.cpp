// `vortan-render background` and `vortan-render stereo-mix`: the pixel buffer's fills and its colour-coded stereo
// mix on pictures, written as PNG for a person to look at and for the tool tests to compare.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apps/vortan-render/command_table.h"
#include "engine/resources/background.h"
#include "engine/resources/image32.h"
#include "platform/gfx/png_file.h"
#include "platform/gfx/surface32.h"
#include "render/software/pixel_buffer.h"
#include "testsupport/image/png_image.h"
#include "testsupport/tools/tool_input.h"

namespace {

using rendertool::kExitDone;
using rendertool::kExitRefused;
using rendertool::kExitUsage;
using rendertool::ReportError;

// A picture as 0x00RRGGBB words, rows top to bottom.
struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
};

std::optional<Picture> ReadPicture(const std::string& path, std::string& outError)
{
    std::optional<testsupport::BgrImage> image = tooltest::ReadPngInput(path, outError, SWpixelbuffer::kMostPixels);
    if (!image)
        return std::nullopt;
    Picture picture{image->width, image->height, {}};
    picture.pixels.resize(static_cast<size_t>(image->width) * static_cast<size_t>(image->height));
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        const uint8_t* bgr = &image->pixels[3 * i];
        picture.pixels[i] = static_cast<uint32_t>(bgr[2]) << 16 | static_cast<uint32_t>(bgr[1]) << 8 | bgr[0];
    }
    return picture;
}

int WriteBuffer(const std::string& path, SWpixelbuffer& buffer)
{
    const pf::Surface32 view(buffer.Row(0), buffer.Width(), buffer.Height(), buffer.PitchBytes());
    std::string error;
    if (!pf::writePngFile(path, view, error))
        return ReportError(kExitRefused, tooltest::WriteRefusal(path, error));
    return kExitDone;
}

int RunStereoMix(std::span<char* const> args)
{
    if (args.size() != 3)
        return ReportError(kExitUsage, "stereo-mix: expected A.png B.png OUT.png");
    std::string error;
    std::optional<Picture> first = ReadPicture(args[0], error);
    if (!first)
        return ReportError(kExitRefused, error);
    std::optional<Picture> second = ReadPicture(args[1], error);
    if (!second)
        return ReportError(kExitRefused, error);
    if (first->width != second->width || first->height != second->height)
        return ReportError(kExitRefused, std::string("stereo-mix: ") + args[0] + " and " + args[1] + " differ in size");
    SWpixelbuffer a, b;
    if (!a.SetSize(first->width, first->height) || !b.SetSize(second->width, second->height))
        return ReportError(kExitRefused, "stereo-mix: no memory for the pictures");
    for (int32_t y = 0; y < a.Height(); ++y) {
        std::copy_n(first->pixels.begin() + static_cast<ptrdiff_t>(y) * a.Width(), a.Width(), a.Row(y));
        std::copy_n(second->pixels.begin() + static_cast<ptrdiff_t>(y) * b.Width(), b.Width(), b.Row(y));
    }
    for (int32_t y = 0; y < a.Height(); ++y)
        a.ApplyColourTable(b, y, true);
    const int result = WriteBuffer(args[2], a);
    if (result == kExitDone)
        std::printf("width=%d height=%d\n", a.Width(), a.Height());
    return result;
}

struct BackgroundArguments {
    std::string output;
    int32_t width = 0;
    int32_t height = 0;
    std::optional<std::string> image;
    bool stretch = false;
    uint32_t repeat = 1;
    uint32_t colour = 0;
};

// A size the pixel buffer can hold: each side within its limit and no more pixels than it takes in all.
bool ParseBufferSize(std::string_view text, int32_t& outWidth, int32_t& outHeight, std::string& outError)
{
    int32_t width = 0;
    int32_t height = 0;
    if (!rendertool::ParseSize(text, SWpixelbuffer::kMostSide, width, height, outError))
        return false;
    if (static_cast<long long>(width) * height > SWpixelbuffer::kMostPixels) {
        outError =
            "--size " + std::string(text) + " is more than " + std::to_string(SWpixelbuffer::kMostPixels) + " pixels";
        return false;
    }
    outWidth = width;
    outHeight = height;
    return true;
}

bool ParseColour(std::string_view text, uint32_t& outColour, std::string& outError)
{
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.size() != 6 || error != std::errc() || end != text.data() + text.size()) {
        outError = "--colour must be six hexadecimal digits RRGGBB, not \"" + std::string(text) + "\"";
        return false;
    }
    outColour = value;
    return true;
}

std::optional<BackgroundArguments> ParseBackground(std::span<char* const> args, std::string& outError)
{
    BackgroundArguments parsed;
    bool sized = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--size" && hasValue) {
            if (!ParseBufferSize(args[++i], parsed.width, parsed.height, outError))
                return std::nullopt;
            sized = true;
        } else if (arg == "--image" && hasValue) {
            parsed.image = args[++i];
        } else if (arg == "--stretch") {
            parsed.stretch = true;
        } else if (arg == "--repeat" && hasValue) {
            const auto repeat = rendertool::ParseNumber(args[++i], "--repeat", 1, 2, outError);
            if (!repeat)
                return std::nullopt;
            parsed.repeat = static_cast<uint32_t>(*repeat);
        } else if (arg == "--colour" && hasValue) {
            if (!ParseColour(args[++i], parsed.colour, outError))
                return std::nullopt;
        } else if (parsed.output.empty() && !arg.starts_with("--")) {
            parsed.output = arg;
        } else {
            outError = "background: unexpected argument \"" + std::string(arg) + "\"";
            return std::nullopt;
        }
    }
    if (parsed.output.empty() || !sized) {
        outError = "background: expected OUT.png --size WxH";
        return std::nullopt;
    }
    return parsed;
}

int RunBackground(std::span<char* const> args)
{
    std::string error;
    const std::optional<BackgroundArguments> parsed = ParseBackground(args, error);
    if (!parsed)
        return ReportError(kExitUsage, error);
    std::unique_ptr<SWbackground> background;
    if (parsed->image) {
        std::optional<Picture> picture = ReadPicture(*parsed->image, error);
        if (!picture)
            return ReportError(kExitRefused, error);
        std::unique_ptr<SWimage32> image =
            SWimage32::SWimage32FromPixels("background", picture->width, picture->height, picture->pixels.data());
        if (!image)
            return ReportError(kExitRefused, "cannot use " + *parsed->image + " as a background image: too large");
        background = SWbackground::SWbackgroundFromTexture(
            std::move(image), parsed->stretch ? SWbackground::kModeStretch : SWbackground::kModeTile);
        background->SetColour(parsed->colour);
    } else {
        background = std::make_unique<SWbackground>(parsed->colour);
    }
    SWpixelbuffer buffer;
    buffer.SetRowRepeat(parsed->repeat);
    if (!buffer.SetSize(parsed->width, parsed->height))
        return ReportError(kExitRefused, "background: no memory for the buffer");
    buffer.SetBackground(background.get());
    buffer.Refresh(false);
    const int result = WriteBuffer(parsed->output, buffer);
    if (result == kExitDone)
        std::printf("width=%d height=%d fill=%s repeat=%u\n", buffer.Width(), buffer.Height(),
                    buffer.IsImageFill() ? (parsed->stretch ? "stretched-image" : "tiled-image") : "colour",
                    buffer.RowRepeat());
    return result;
}

const bool kBackgroundRegistered = RegisterRenderToolCommand(
    {"background", "OUT.png --size WxH [--image IN.png] [--stretch] [--repeat 1|2] [--colour RRGGBB]", &RunBackground});

const bool kStereoRegistered = RegisterRenderToolCommand({"stereo-mix", "A.png B.png OUT.png", &RunStereoMix});

} // namespace
