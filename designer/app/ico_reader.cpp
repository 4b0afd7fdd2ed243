// The ICO and CUR reader: the directory, then the largest entry, either a PNG or a device-independent bitmap of 1,
// 4, 8, 24 or 32 bits with its AND mask.
#include <algorithm>
#include <new>
#include <optional>

#include "designer/app/icon_image.h"
#include "platform/base/endian.h"
#include "platform/gfx/png_file.h"

namespace {

constexpr size_t kDirectoryBytes = 6;
constexpr size_t kEntryBytes = 16;
constexpr size_t kInfoHeaderBytes = 40;
constexpr uint8_t kPngMagic[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct Entry {
    int32_t width = 0;
    int32_t height = 0;
    uint16_t hotX = 0; // the planes field of a cursor
    uint16_t hotY = 0; // the bit count field of a cursor
    uint16_t bitCount = 0;
    uint32_t bytes = 0;
    uint32_t offset = 0;
};

bool Fail(std::string& reason, const char* why)
{
    reason = why;
    return false;
}

size_t RowBytes(int32_t width, uint32_t bits)
{
    return ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
}

bool ReadPngEntry(std::span<const uint8_t> data, const Entry& entry, CVTND_IconImage& out, std::string& reason)
{
    pf::PngReadOptions options;
    options.pixels = pf::PngPixels::kBgra;
    options.maxPixels = uint64_t{CVTND_IconImage::kMaxSide} * CVTND_IconImage::kMaxSide;
    std::string error;
    const std::optional<pf::PngImage> png = pf::readPngBytes(data, options, error);
    if (!png)
        return Fail(reason, "a PNG entry does not read");
    if (png->width != entry.width || png->height != entry.height)
        return Fail(reason, "a PNG entry's size differs from its directory entry");
    out.width = png->width;
    out.height = png->height;
    out.argb.resize(static_cast<size_t>(png->width) * static_cast<size_t>(png->height));
    for (size_t i = 0; i < out.argb.size(); ++i)
        out.argb[i] = pf::loadU32le(&png->bytes[i * 4]); // B, G, R, A in memory is 0xAARRGGBB
    return true;
}

bool ReadBitmapEntry(std::span<const uint8_t> data, const Entry& entry, CVTND_IconImage& out, std::string& reason)
{
    if (data.size() < kInfoHeaderBytes || pf::loadU32le(&data[0]) < kInfoHeaderBytes)
        return Fail(reason, "an entry's bitmap header is short");
    const uint32_t headerBytes = pf::loadU32le(&data[0]);
    const auto width = static_cast<int32_t>(pf::loadU32le(&data[4]));
    const auto doubledHeight = static_cast<int32_t>(pf::loadU32le(&data[8]));
    const uint16_t bits = pf::loadU16le(&data[14]);
    const uint32_t compression = pf::loadU32le(&data[16]);
    const uint32_t used = pf::loadU32le(&data[32]);
    // The stored height counts the picture and its mask.
    if (width != entry.width || doubledHeight != 2 * entry.height)
        return Fail(reason, "an entry's bitmap size differs from its directory entry");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return Fail(reason, "an entry's bitmap has an unsupported depth");
    if (compression != 0)
        return Fail(reason, "an entry's bitmap is compressed");
    const uint32_t paletteSize = bits <= 8 ? (used != 0 ? used : (1u << bits)) : 0;
    if (bits <= 8 && paletteSize > (1u << bits))
        return Fail(reason, "an entry's palette is larger than its depth allows");
    const size_t height = static_cast<size_t>(entry.height);
    const size_t xorRow = RowBytes(width, bits);
    const size_t andRow = RowBytes(width, 1);
    if (headerBytes > data.size() || paletteSize > (data.size() - headerBytes) / 4)
        return Fail(reason, "an entry's palette reaches past its data");
    const size_t pixelsAt = headerBytes + size_t{paletteSize} * 4;
    const size_t left = data.size() - pixelsAt;
    if (xorRow * height > left || andRow * height > left - xorRow * height)
        return Fail(reason, "an entry's pixels reach past its data");
    const uint8_t* palette = &data[headerBytes];
    const uint8_t* xorBits = &data[pixelsAt];
    const uint8_t* andBits = xorBits + xorRow * height;

    out.width = width;
    out.height = entry.height;
    out.colourCount = paletteSize;
    out.argb.assign(static_cast<size_t>(width) * height, 0);
    bool anyAlpha = false;
    for (size_t y = 0; y < height; ++y) {
        const uint8_t* row = xorBits + (height - 1 - y) * xorRow; // rows are stored bottom first
        for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
            uint32_t pixel = 0;
            if (bits <= 8) {
                const size_t bit = x * bits;
                const uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                if (index >= paletteSize) {
                    out = {};
                    return Fail(reason, "a pixel names a colour beyond the entry's palette");
                }
                pixel = 0xFF000000u | (pf::loadU32le(&palette[index * 4]) & 0xFFFFFFu);
            } else if (bits == 24) {
                pixel = 0xFF000000u | row[x * 3] | (row[x * 3 + 1] << 8) | (uint32_t{row[x * 3 + 2]} << 16);
            } else {
                pixel = pf::loadU32le(&row[x * 4]);
                anyAlpha = anyAlpha || (pixel >> 24) != 0;
            }
            out.argb[y * static_cast<size_t>(width) + x] = pixel;
        }
    }
    // The AND mask decides where the picture has no alpha of its own; a 32-bit picture with alpha keeps it.
    const bool useMask = bits != 32 || !anyAlpha;
    for (size_t y = 0; y < height && useMask; ++y) {
        const uint8_t* row = andBits + (height - 1 - y) * andRow;
        for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
            uint32_t& pixel = out.argb[y * static_cast<size_t>(width) + x];
            const bool transparent = ((row[x / 8] >> (7 - x % 8)) & 1) != 0;
            pixel = transparent ? 0 : (pixel | 0xFF000000u);
        }
    }
    return true;
}

bool ReadIco(std::span<const uint8_t> bytes, CVTND_IconImage& out, std::string& reason)
{
    if (bytes.size() < kDirectoryBytes)
        return Fail(reason, "too short for an icon directory");
    const uint16_t type = pf::loadU16le(&bytes[2]);
    const uint16_t count = pf::loadU16le(&bytes[4]);
    if (pf::loadU16le(&bytes[0]) != 0 || (type != 1 && type != 2))
        return Fail(reason, "not an icon or cursor file");
    if (count == 0)
        return Fail(reason, "the icon directory is empty");
    if (count > (bytes.size() - kDirectoryBytes) / kEntryBytes)
        return Fail(reason, "the icon directory reaches past the end of the file");
    std::optional<Entry> best;
    for (uint16_t i = 0; i < count; ++i) {
        const uint8_t* e = &bytes[kDirectoryBytes + size_t{i} * kEntryBytes];
        Entry entry;
        entry.width = e[0] == 0 ? 256 : e[0];
        entry.height = e[1] == 0 ? 256 : e[1];
        entry.hotX = pf::loadU16le(&e[4]);
        entry.hotY = pf::loadU16le(&e[6]);
        entry.bitCount = type == 1 ? entry.hotY : 0;
        entry.bytes = pf::loadU32le(&e[8]);
        entry.offset = pf::loadU32le(&e[12]);
        if (entry.offset > bytes.size() || entry.bytes > bytes.size() - entry.offset || entry.bytes == 0)
            return Fail(reason, "an icon entry reaches past the end of the file");
        const int64_t area = int64_t{entry.width} * entry.height;
        if (!best || area > int64_t{best->width} * best->height ||
            (area == int64_t{best->width} * best->height && entry.bitCount > best->bitCount))
            best = entry;
    }
    const std::span<const uint8_t> data = bytes.subspan(best->offset, best->bytes);
    const bool isPng =
        data.size() >= sizeof kPngMagic && std::equal(std::begin(kPngMagic), std::end(kPngMagic), data.begin());
    if (!(isPng ? ReadPngEntry(data, *best, out, reason) : ReadBitmapEntry(data, *best, out, reason)))
        return false;
    if (type == 2) {
        if (best->hotX >= out.width || best->hotY >= out.height) {
            out = {};
            return Fail(reason, "the cursor's hot spot lies outside its picture");
        }
        out.hotSpotX = best->hotX;
        out.hotSpotY = best->hotY;
    }
    return true;
}

} // namespace

bool ReadIcoImage(std::span<const uint8_t> bytes, CVTND_IconImage& outImage, std::string& outReason)
{
    outImage = {};
    outReason.clear();
    try {
        if (ReadIco(bytes, outImage, outReason))
            return true;
    } catch (const std::bad_alloc&) {
        outReason = "out of memory";
    }
    outImage = {};
    return false;
}
