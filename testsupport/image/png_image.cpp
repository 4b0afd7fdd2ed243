#include "testsupport/image/png_image.h"

#include <cmath>
#include <cstring>

#include "platform/gfx/png_file.h"

static_assert(testsupport::kDefaultMaxPngPixels == pf::kPngDefaultMaxPixels);

namespace testsupport {

std::optional<BgrImage> ReadPng(const std::string& path, std::string& outError, uint64_t maxPixels)
{
    std::optional<pf::PngImage> png = pf::readPngFile(path, {pf::PngPixels::kBgr, maxPixels}, outError);
    if (!png)
        return std::nullopt;
    return BgrImage{png->width, png->height, std::move(png->bytes)};
}

bool WritePng(const std::string& path, const BgrImage& image, std::string& outError)
{
    const pf::PngImage png{image.width, image.height, pf::PngPixels::kBgr, image.pixels};
    return pf::writePngFile(path, png, outError);
}

BgrImage FromBgr0(const uint8_t* pixels, int width, int height)
{
    BgrImage out{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * static_cast<size_t>(height) * 3)};
    for (size_t i = 0; i < out.pixels.size() / 3; ++i)
        std::memcpy(&out.pixels[3 * i], pixels + 4 * i, 3);
    return out;
}

double PeakSignalToNoise(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    if (a.size() != b.size() || a.empty())
        return 0.0;
    double squared = 0.0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = double(a[i]) - double(b[i]);
        squared += d * d;
    }
    const double mse = squared / static_cast<double>(a.size());
    return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

} // namespace testsupport
