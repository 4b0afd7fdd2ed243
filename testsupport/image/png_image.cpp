#include "testsupport/image/png_image.h"

#include <png.h>

#include <cmath>
#include <cstring>

namespace testsupport {

std::optional<BgrImage> ReadPng(const std::string& path, std::string& outError)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        outError = image.message;
        return std::nullopt;
    }
    image.format = PNG_FORMAT_BGR;
    BgrImage out;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.pixels.resize(PNG_IMAGE_SIZE(image));
    const png_color black = {0, 0, 0};
    if (!png_image_finish_read(&image, &black, out.pixels.data(), 0, nullptr)) {
        outError = image.message;
        png_image_free(&image);
        return std::nullopt;
    }
    return out;
}

bool WritePng(const std::string& path, const BgrImage& image, std::string& outError)
{
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_BGR;
    if (!png_image_write_to_file(&png, path.c_str(), 0, image.pixels.data(), 0, nullptr)) {
        outError = png.message;
        return false;
    }
    return true;
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
