#include "platform/display/png_writer.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace pf {

namespace {

std::vector<uint8_t> rgbRows(const Surface32& surface)
{
    std::vector<uint8_t> out(static_cast<size_t>(surface.width()) * static_cast<size_t>(surface.height()) * 3);
    const std::lock_guard lock(surface.mutex());
    uint8_t* p = out.data();
    for (int32_t y = 0; y < surface.height(); ++y) {
        const uint32_t* row = surface.row(y);
        for (int32_t x = 0; x < surface.width(); ++x) {
            *p++ = static_cast<uint8_t>(row[x] >> 16);
            *p++ = static_cast<uint8_t>(row[x] >> 8);
            *p++ = static_cast<uint8_t>(row[x]);
        }
    }
    return out;
}

} // namespace

bool writeSurfacePng(const std::string& path, const Surface32& surface)
{
    if (surface.isEmpty())
        return false;
    const std::vector<uint8_t> rgb = rgbRows(surface);
    const std::string temporary = path + ".part";
    FILE* const file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr)
        return false;
    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(surface.width());
    image.height = static_cast<png_uint_32>(surface.height());
    image.format = PNG_FORMAT_RGB;
    const bool written = png_image_write_to_stdio(&image, file, 0, rgb.data(), surface.width() * 3, nullptr) != 0;
    png_image_free(&image);
    const bool flushed = std::fflush(file) == 0 && fsync(fileno(file)) == 0;
    const bool closed = std::fclose(file) == 0;
    if (!written || !flushed || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace pf
