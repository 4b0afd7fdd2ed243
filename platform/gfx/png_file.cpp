#include "platform/gfx/png_file.h"

#include <cstring>
#include <limits>
#include <new>

#include <png.h>

#include "platform/base/atomic_file.h"
#include "platform/base/input_file.h"

namespace pf {

namespace {

// Deflate's largest expansion: a 258-byte match costs at least two bits. The compressed rows of a PNG can never be
// more than its whole length, so this bounds the pixels a PNG of a given length can really hold.
constexpr uint64_t kMaxInflateRatio = 1032;

// libpng's simplified interface checks each buffer against 32 bits and takes the row length as a signed 32-bit
// value; larger pictures are refused here before the buffer exists, not by libpng after it.
constexpr uint64_t kMaxLibpngBufferBytes = std::numeric_limits<png_uint_32>::max();
constexpr uint64_t kMaxLibpngRowBytes = std::numeric_limits<png_int_32>::max();

// Frees libpng's state on every exit; png_image_free does nothing once libpng has freed it itself.
class PngImageState {
public:
    PngImageState()
    {
        std::memset(&m_image, 0, sizeof m_image);
        m_image.version = PNG_IMAGE_VERSION;
    }
    PngImageState(const PngImageState&) = delete;
    PngImageState& operator=(const PngImageState&) = delete;
    ~PngImageState() { png_image_free(&m_image); }

    png_image& image() { return m_image; }

private:
    png_image m_image;
};

png_uint_32 libpngFormatOf(PngPixels pixels)
{
    switch (pixels) {
    case PngPixels::kBgr:
        return PNG_FORMAT_BGR;
    case PngPixels::kBgra:
        return PNG_FORMAT_BGRA;
    case PngPixels::kRgb:
        break;
    }
    return PNG_FORMAT_RGB;
}

// The fewest bits one pixel can take in the file's rows: palette and grey pixels may be a single bit, colour ones
// are at least three samples; 16-bit files store 16-bit samples. Alpha is not counted, as a transparency chunk
// also raises the flag.
uint64_t leastStoredBitsPerPixel(png_uint_32 fileFormat)
{
    if ((fileFormat & PNG_FORMAT_FLAG_COLORMAP) != 0)
        return 1;
    const bool deep = (fileFormat & PNG_FORMAT_FLAG_LINEAR) != 0;
    if ((fileFormat & PNG_FORMAT_FLAG_COLOR) == 0)
        return deep ? 16 : 1;
    return deep ? 48 : 24;
}

std::string sizeText(uint64_t width, uint64_t height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

// Every claim of the header checked before the pixels are allocated; an empty string when the claim may be read.
std::string refusalOfClaim(const png_image& image, uint64_t inputBytes, const PngReadOptions& options)
{
    const uint64_t width = image.width;
    const uint64_t height = image.height;
    const uint64_t pixels = width * height; // libpng caps each side at 2^31 - 1: no wrap
    if (pixels > options.maxPixels)
        return "the PNG claims " + sizeText(width, height) + " pixels, more than the limit of " +
               std::to_string(options.maxPixels);
    const uint64_t rowBytes = width * pngBytesPerPixel(options.pixels);
    if (rowBytes > kMaxLibpngRowBytes || rowBytes * height > kMaxLibpngBufferBytes)
        return "the PNG claims " + sizeText(width, height) + " pixels, more than the PNG library can decode";
    const uint64_t leastStoredBytes = pixels * leastStoredBitsPerPixel(image.format) / 8;
    if (leastStoredBytes / kMaxInflateRatio > inputBytes)
        return "the PNG claims " + sizeText(width, height) + " pixels, more than its " + std::to_string(inputBytes) +
               " bytes can hold: damaged or truncated";
    return {};
}

// Decodes the pixels of a PNG whose header libpng has read; inputBytes is the length of the whole PNG.
std::optional<PngImage> finishRead(png_image& image, uint64_t inputBytes, const PngReadOptions& options,
                                   std::string& outError)
{
    if (std::string refusal = refusalOfClaim(image, inputBytes, options); !refusal.empty()) {
        outError = std::move(refusal);
        return std::nullopt;
    }
    PngImage out;
    out.width = static_cast<int32_t>(image.width);
    out.height = static_cast<int32_t>(image.height);
    out.pixels = options.pixels;
    const size_t rowBytes = static_cast<size_t>(image.width) * pngBytesPerPixel(options.pixels);
    try {
        out.bytes.resize(rowBytes * image.height);
    } catch (const std::bad_alloc&) {
        outError = "out of memory for " + sizeText(image.width, image.height) + " pixels";
        return std::nullopt;
    }
    image.format = libpngFormatOf(options.pixels);
    const png_color black = {0, 0, 0};
    const png_const_colorp background = options.pixels == PngPixels::kBgra ? nullptr : &black;
    if (png_image_finish_read(&image, background, out.bytes.data(), static_cast<png_int_32>(rowBytes), nullptr) == 0) {
        outError = std::string("damaged PNG: ") + image.message;
        return std::nullopt;
    }
    return out;
}

// The picture as tightly packed 3-byte RGB rows, whatever its form; the encoder takes no alpha.
std::vector<uint8_t> rgbBytesOf(const PngImage& image)
{
    if (image.pixels == PngPixels::kRgb)
        return image.bytes;
    const size_t stride = pngBytesPerPixel(image.pixels);
    std::vector<uint8_t> rgb(image.bytes.size() / stride * 3);
    for (size_t from = 0, to = 0; to < rgb.size(); from += stride, to += 3) {
        rgb[to] = image.bytes[from + 2];
        rgb[to + 1] = image.bytes[from + 1];
        rgb[to + 2] = image.bytes[from];
    }
    return rgb;
}

// An upper bound of the encoded length, in 64 bits: libpng's own macro wraps at 32.
size_t encodedBytesAtMost(uint64_t width, uint64_t height, uint64_t channels)
{
    const uint64_t filtered = height * (1 + width * channels);
    const uint64_t deflated = filtered + (filtered + 7) / 8 + (filtered + 63) / 64 + 11;
    const uint64_t chunkHeaders = 12 * (deflated / PNG_ZBUF_SIZE + 1);
    return static_cast<size_t>(8 + 25 + 16 + 44 + 12 + chunkHeaders + deflated);
}

std::string encodeRefusal(const PngImage& image)
{
    if (image.width <= 0 || image.height <= 0)
        return "the picture is empty";
    const uint64_t pixels = uint64_t(image.width) * uint64_t(image.height);
    if (image.bytes.size() != pixels * pngBytesPerPixel(image.pixels))
        return "the picture's bytes do not match its size";
    if (uint64_t(image.width) * 3 > kMaxLibpngRowBytes || pixels * 3 > kMaxLibpngBufferBytes)
        return "the picture is too large for the PNG library";
    return {};
}

} // namespace

size_t pngBytesPerPixel(PngPixels pixels)
{
    return pixels == PngPixels::kBgra ? 4 : 3;
}

std::optional<PngImage> readPngFile(const std::string& path, const PngReadOptions& options, std::string& outError)
{
    std::vector<uint8_t> bytes;
    if (const InputFileResult read = readWholeFile(path, bytes); !read.ok()) {
        outError = read.cause;
        return std::nullopt;
    }
    return readPngBytes(bytes, options, outError);
}

std::optional<PngImage> readPngBytes(std::span<const uint8_t> png, const PngReadOptions& options, std::string& outError)
{
    PngImageState state;
    if (png_image_begin_read_from_memory(&state.image(), png.data(), png.size()) == 0) {
        outError = std::string("not a PNG file, or damaged: ") + state.image().message;
        return std::nullopt;
    }
    return finishRead(state.image(), png.size(), options, outError);
}

namespace {

// alpha: the kBgra bytes go out as they stand, as an 8-bit RGBA PNG; otherwise as 8-bit RGB.
std::optional<std::vector<uint8_t>> encode(const PngImage& image, bool alpha, std::string& outError)
{
    if (std::string refusal = encodeRefusal(image); !refusal.empty()) {
        outError = std::move(refusal);
        return std::nullopt;
    }
    if (alpha && image.pixels != PngPixels::kBgra) {
        outError = "the picture has no alpha to write";
        return std::nullopt;
    }
    if (alpha && (uint64_t(image.width) * 4 > kMaxLibpngRowBytes ||
                  uint64_t(image.width) * uint64_t(image.height) * 4 > kMaxLibpngBufferBytes)) {
        outError = "the picture is too large for the PNG library";
        return std::nullopt;
    }
    try {
        const std::vector<uint8_t> rgb = alpha ? std::vector<uint8_t>() : rgbBytesOf(image);
        std::vector<uint8_t> out(encodedBytesAtMost(uint64_t(image.width), uint64_t(image.height), alpha ? 4 : 3));
        PngImageState state;
        png_image& png = state.image();
        png.width = static_cast<png_uint_32>(image.width);
        png.height = static_cast<png_uint_32>(image.height);
        png.format = alpha ? PNG_FORMAT_BGRA : PNG_FORMAT_RGB;
        const uint8_t* const source = alpha ? image.bytes.data() : rgb.data();
        png_alloc_size_t written = out.size();
        int done = png_image_write_to_memory(&png, out.data(), &written, 0, source, 0, nullptr);
        if (done == 0 && written > out.size()) { // the bound was short: libpng says what it needs
            out.resize(written);
            done = png_image_write_to_memory(&png, out.data(), &written, 0, source, 0, nullptr);
        }
        if (done == 0) {
            outError = std::string("cannot encode the PNG: ") + png.message;
            return std::nullopt;
        }
        out.resize(written);
        return out;
    } catch (const std::bad_alloc&) {
        outError = "out of memory for " + sizeText(uint64_t(image.width), uint64_t(image.height)) + " pixels";
        return std::nullopt;
    }
}

} // namespace

std::optional<std::vector<uint8_t>> encodePng(const PngImage& image, std::string& outError)
{
    return encode(image, false, outError);
}

std::optional<std::vector<uint8_t>> encodePngWithAlpha(const PngImage& image, std::string& outError)
{
    return encode(image, true, outError);
}

namespace {

bool writeEncoded(const std::string& path, const std::optional<std::vector<uint8_t>>& png, std::string& outError)
{
    if (!png)
        return false;
    const std::string_view bytes(reinterpret_cast<const char*>(png->data()), png->size());
    return writeFileAtomically(path, bytes, &outError);
}

} // namespace

bool writePngFile(const std::string& path, const PngImage& image, std::string& outError)
{
    return writeEncoded(path, encodePng(image, outError), outError);
}

bool writePngFileWithAlpha(const std::string& path, const PngImage& image, std::string& outError)
{
    return writeEncoded(path, encodePngWithAlpha(image, outError), outError);
}

bool writePngFile(const std::string& path, const Surface32& surface, std::string& outError)
{
    PngImage image;
    image.width = surface.width();
    image.height = surface.height();
    image.pixels = PngPixels::kBgra;
    if (surface.isEmpty()) {
        outError = "the picture is empty";
        return false;
    }
    try {
        image.bytes.resize(size_t(image.width) * size_t(image.height) * 4);
    } catch (const std::bad_alloc&) {
        outError = "out of memory for " + sizeText(uint64_t(image.width), uint64_t(image.height)) + " pixels";
        return false;
    }
    {
        const std::lock_guard lock(surface.mutex());
        const size_t rowBytes = size_t(image.width) * 4;
        for (int32_t y = 0; y < image.height; ++y)
            std::memcpy(image.bytes.data() + rowBytes * size_t(y), surface.row(y), rowBytes);
    }
    return writePngFile(path, image, outError);
}

} // namespace pf
