#include "platform/testing/image_check.h"

#include "platform/base/color.h"
#include "platform/display/compositor.h"
#include "platform/display/screen.h"
#include "platform/gfx/png_file.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace pf {

uint32_t screenPixel(Point p)
{
    return Compositor(screen()).composePixel(p) & kPixelRgbMask;
}

std::unique_ptr<Surface32> captureScreen(const Rect& area)
{
    auto out = std::make_unique<Surface32>(static_cast<int32_t>(area.width()), static_cast<int32_t>(area.height()));
    Compositor(screen()).composeRect(area, *out);
    return out;
}

ImageDifference compareSurfaces(const Surface32& a, const Surface32& b, int tolerance)
{
    ImageDifference d;
    if (a.width() != b.width() || a.height() != b.height()) {
        d.sizeMismatch = true;
        return d;
    }
    for (int32_t y = 0; y < a.height(); ++y) {
        for (int32_t x = 0; x < a.width(); ++x) {
            const uint32_t p = a.pixel(x, y);
            const uint32_t q = b.pixel(x, y);
            const int delta = std::max({std::abs(pixelRed(p) - pixelRed(q)), std::abs(pixelGreen(p) - pixelGreen(q)),
                                        std::abs(pixelBlue(p) - pixelBlue(q))});
            d.maxChannelDelta = std::max(d.maxChannelDelta, delta);
            if (delta > tolerance)
                ++d.differing;
        }
    }
    return d;
}

bool matchesGolden(const Surface32& image, const std::string& goldenPath, int tolerance, std::string& outReport)
{
    outReport.clear();
    if (!std::filesystem::exists(goldenPath)) {
        if (!writePngFile(goldenPath, image, outReport))
            return false;
        outReport = "golden written: " + goldenPath;
        return true;
    }
    PngReadOptions options;
    options.pixels = PngPixels::kBgra;
    const std::optional<PngImage> golden = readPngFile(goldenPath, options, outReport);
    if (!golden)
        return false;
    Surface32 expected(golden->width, golden->height);
    for (int32_t y = 0; y < golden->height; ++y)
        for (int32_t x = 0; x < golden->width; ++x) {
            const uint8_t* px = &golden->bytes[(static_cast<size_t>(y) * golden->width + x) * 4];
            expected.setPixel(x, y, makePixel(px[2], px[1], px[0]));
        }
    Surface32 actual(image.width(), image.height());
    for (int32_t y = 0; y < image.height(); ++y)
        for (int32_t x = 0; x < image.width(); ++x)
            actual.setPixel(x, y, image.pixel(x, y) & kPixelRgbMask);
    const ImageDifference d = compareSurfaces(actual, expected, tolerance);
    if (d.sizeMismatch) {
        outReport = "size differs from " + goldenPath;
        return false;
    }
    if (d.differing > 0) {
        outReport = std::to_string(d.differing) + " pixels differ by up to " + std::to_string(d.maxChannelDelta);
        return false;
    }
    return true;
}

} // namespace pf
