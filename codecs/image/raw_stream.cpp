#include "codecs/image/raw_stream.h"

#include <algorithm>
#include <new>

#include "codecs/entropy/arith_coder.h"
#include "codecs/image/band_coder.h"
#include "platform/base/endian.h"

namespace cis {
namespace {

constexpr uint8_t kMarker[3] = {'c', 'o', 'd'};
constexpr uint8_t kRawKind = 2;
constexpr uint8_t kPaletteBits = 8;
constexpr uint8_t kColourBits = 24;

size_t PixelCount(int width, int height)
{
    return static_cast<size_t>(width) * static_cast<size_t>(height);
}

bool IsEncodableSize(int width, int height)
{
    return width >= 1 && height >= 1 && width <= 0xFFFF && height <= 0xFFFF &&
           uint64_t(PixelCount(width, height)) <= kMaxPixels;
}

std::vector<uint8_t> FinishStream(CisHeader header, const std::vector<uint8_t>& data)
{
    header.dataBytes = static_cast<uint32_t>(data.size());
    std::vector<uint8_t> stream = WriteHeader(header);
    stream.insert(stream.end(), data.begin(), data.end());
    return stream;
}

CisHeader RawHeader(int width, int height, uint8_t bits, uint8_t colourFlag)
{
    CisHeader header;
    header.width = static_cast<uint16_t>(width);
    header.height = static_cast<uint16_t>(height);
    header.bitsOrColours = bits;
    header.colourFlag = colourFlag;
    header.coderKind = kRawKind;
    return header;
}

void AppendPalette(std::vector<uint8_t>& data, const PalettePicture& picture)
{
    data.insert(data.end(), picture.palette.begin(), picture.palette.end());
}

bool IsValidPalettePicture(const PalettePicture& picture)
{
    const int colours = picture.Colours();
    if (!IsEncodableSize(picture.width, picture.height) || colours < 1 || colours > 256 ||
        picture.palette.size() % 3 != 0 || picture.indices.size() != PixelCount(picture.width, picture.height))
        return false;
    return std::all_of(picture.indices.begin(), picture.indices.end(), [colours](uint8_t i) { return i < colours; });
}

// One raw run of exactly `count` values from data at pos; pos moves to where the decoder stopped reading.
bool DecodeExactRun(ArithCoder& coder, std::span<const uint8_t> data, size_t& pos, std::span<uint8_t> out,
                    uint32_t alphabet)
{
    if (pos > data.size())
        return false;
    const ArithRun run = coder.DecodeBytes(data.subspan(pos), out, alphabet);
    pos += run.bytes;
    return run.Ok() && run.values == out.size();
}

// The palette chunks accept the marker only where a whole run can have left it: at the decoder's end position,
// one or two bytes before it (read-ahead), or one byte after it.
bool SkipChunkMarker(std::span<const uint8_t> data, size_t& pos)
{
    static constexpr ptrdiff_t kOffsets[] = {0, -1, -2, 1};
    for (const ptrdiff_t offset : kOffsets) {
        const ptrdiff_t at = static_cast<ptrdiff_t>(pos) + offset;
        if (at >= 0 && static_cast<size_t>(at) + 3 <= data.size() &&
            std::equal(kMarker, kMarker + 3, &data[static_cast<size_t>(at)])) {
            pos = static_cast<size_t>(at) + 3;
            return true;
        }
    }
    return false;
}

} // namespace

std::vector<uint8_t> EncodeRawColour(const PixelView& in)
{
    if (!IsEncodableSize(in.width, in.height) || in.pixels == nullptr)
        return {};
    const size_t count = PixelCount(in.width, in.height);
    std::vector<uint8_t> data;
    std::vector<uint8_t> channel(count);
    ArithCoder coder;
    for (size_t c = 0; c < 3; ++c) {
        for (size_t i = 0; i < count; ++i)
            channel[i] = in.pixels[3 * i + c];
        if (!coder.EncodeBytes(data, channel, kRawAlphabet).Ok())
            return {};
        data.insert(data.end(), kMarker, kMarker + 3);
    }
    return FinishStream(RawHeader(in.width, in.height, kColourBits, 1), data);
}

std::vector<uint8_t> EncodeRawGrey(int width, int height, std::span<const uint8_t> grey)
{
    if (!IsEncodableSize(width, height) || grey.size() != PixelCount(width, height))
        return {};
    std::vector<uint8_t> data;
    ArithCoder coder;
    if (!coder.EncodeBytes(data, grey, kRawAlphabet).Ok())
        return {};
    return FinishStream(RawHeader(width, height, kPaletteBits, 0), data);
}

std::vector<uint8_t> EncodeRawPalette(const PalettePicture& picture)
{
    if (!IsValidPalettePicture(picture))
        return {};
    std::vector<uint8_t> data;
    data.reserve(2 + picture.palette.size());
    data.push_back(static_cast<uint8_t>(picture.Colours()));
    data.push_back(static_cast<uint8_t>(picture.Colours() >> 8));
    AppendPalette(data, picture);
    ArithCoder coder;
    if (!coder.EncodeBytes(data, picture.indices, kRawAlphabet).Ok())
        return {};
    return FinishStream(RawHeader(picture.width, picture.height, kPaletteBits, 1), data);
}

std::vector<uint8_t> EncodePaletteStream(const PalettePicture& picture, int depth)
{
    if (!IsValidPalettePicture(picture) || depth < 0 || depth > kMaxPaletteDepth)
        return {};
    CisHeader header;
    header.width = static_cast<uint16_t>(picture.width);
    header.height = static_cast<uint16_t>(picture.height);
    header.bitsOrColours = static_cast<uint8_t>(picture.Colours() & 0xFF); // 256 is stored as 0
    header.colourFlag = picture.colourOutput ? 1 : 0;
    header.coderKind = static_cast<uint8_t>(CoderKind::kSignedBytes);
    header.transform = static_cast<uint8_t>(TransformType::kPalette);
    header.levels = static_cast<uint8_t>(depth);

    std::vector<uint8_t> indices = picture.indices;
    std::vector<size_t> chunkSizes; // finest remainder first
    int width = picture.width;
    int height = picture.height;
    for (int step = 0; step < depth; ++step) {
        SplitPyramidStep(indices, width, height);
        const int nextWidth = width - width / 2;
        const int nextHeight = height - height / 2;
        chunkSizes.push_back(PixelCount(width, height) - PixelCount(nextWidth, nextHeight));
        width = nextWidth;
        height = nextHeight;
    }
    chunkSizes.push_back(PixelCount(width, height));
    std::reverse(chunkSizes.begin(), chunkSizes.end());

    std::vector<uint8_t> data;
    AppendPalette(data, picture);
    ArithCoder coder;
    size_t offset = 0;
    for (size_t chunk = 0; chunk < chunkSizes.size(); ++chunk) {
        const size_t start = data.size();
        uint8_t count[4];
        pf::storeU32le(count, static_cast<uint32_t>(chunkSizes[chunk]));
        data.insert(data.end(), count, count + 4);
        const std::span<const uint8_t> values(indices.data() + offset, chunkSizes[chunk]);
        if (!coder.EncodeBytes(data, values, static_cast<uint32_t>(picture.Colours())).Ok())
            return {};
        data.insert(data.end(), kMarker, kMarker + 3);
        header.levelBytes[chunk] = static_cast<uint32_t>(data.size() - start);
        offset += chunkSizes[chunk];
    }
    return FinishStream(header, data);
}

bool DecodeRawPixels(const CisHeader& header, std::span<const uint8_t> data, const PixelTarget& out)
{
    if (header.colourFlag == 1 && header.bitsOrColours == kPaletteBits) {
        PalettePicture picture;
        if (!DecodeRawPalette(header, data, picture))
            return false;
        PalettePictureToPixels(picture, out);
        return true;
    }
    const size_t count = PixelCount(header.width, header.height);
    std::vector<uint8_t> channel(count);
    ArithCoder coder;
    size_t pos = 0;
    if (header.colourFlag == 0) {
        if (!DecodeExactRun(coder, data, pos, channel, kRawAlphabet))
            return false;
        for (size_t i = 0; i < count; ++i)
            std::fill_n(out.pixels + i * static_cast<size_t>(out.bytesPerPixel), 3, channel[i]);
    } else {
        for (size_t c = 0; c < 3; ++c) {
            if (!DecodeExactRun(coder, data, pos, channel, kRawAlphabet))
                return false;
            pos = PositionAfterMarker(data, pos);
            for (size_t i = 0; i < count; ++i)
                out.pixels[i * static_cast<size_t>(out.bytesPerPixel) + c] = channel[i];
        }
    }
    if (out.bytesPerPixel == 4) {
        for (size_t i = 0; i < count; ++i)
            out.pixels[4 * i + 3] = 0;
    }
    return true;
}

bool DecodeRawPalette(const CisHeader& header, std::span<const uint8_t> data, PalettePicture& out)
{
    out = {};
    if (data.size() < 2)
        return false;
    const size_t colours = pf::loadU16le(data.data());
    if (colours < 1 || colours > 256 || (data.size() - 2) / 3 < colours)
        return false;
    out.width = header.width;
    out.height = header.height;
    out.palette.assign(data.begin() + 2, data.begin() + 2 + static_cast<ptrdiff_t>(3 * colours));
    out.indices.resize(PixelCount(header.width, header.height));
    ArithCoder coder;
    size_t pos = 2 + 3 * colours;
    if (!DecodeExactRun(coder, data, pos, out.indices, kRawAlphabet) ||
        std::any_of(out.indices.begin(), out.indices.end(), [colours](uint8_t i) { return i >= colours; })) {
        out = {};
        return false;
    }
    return true;
}

bool DecodePaletteStream(const CisHeader& header, std::span<const uint8_t> data, PalettePicture& out)
{
    out = {};
    const size_t colours = static_cast<size_t>(header.PaletteCount());
    const size_t chunkCountBytes = 4 * (size_t{header.levels} + 1);
    if (data.size() < 3 * colours || data.size() - 3 * colours < chunkCountBytes)
        return false; // the palette and every chunk's count must be there before the indices are reserved
    out.width = header.width;
    out.height = header.height;
    out.colourOutput = header.colourFlag != 0;
    out.palette.assign(data.begin(), data.begin() + static_cast<ptrdiff_t>(3 * colours));
    const size_t total = PixelCount(header.width, header.height);
    out.indices.resize(total);
    ArithCoder coder;
    size_t pos = 3 * colours;
    size_t filled = 0;
    for (int chunk = 0; chunk <= header.levels; ++chunk) {
        if (data.size() - pos < 4) {
            out = {};
            return false;
        }
        const size_t count = pf::loadU32le(&data[pos]);
        pos += 4;
        const std::span<uint8_t> target(out.indices.data() + filled, std::min(count, total - filled));
        if (count > total - filled || !DecodeExactRun(coder, data, pos, target, static_cast<uint32_t>(colours)) ||
            !SkipChunkMarker(data, pos)) {
            out = {};
            return false;
        }
        filled += count;
    }
    if (filled != total) {
        out = {};
        return false;
    }
    std::vector<std::pair<int, int>> steps;
    int width = header.width;
    int height = header.height;
    for (int step = 0; step < header.levels; ++step) {
        steps.emplace_back(width, height);
        width -= width / 2;
        height -= height / 2;
    }
    for (auto it = steps.rbegin(); it != steps.rend(); ++it)
        MergePyramidStep(out.indices, it->first, it->second);
    return true;
}

void PalettePictureToPixels(const PalettePicture& picture, const PixelTarget& out)
{
    const size_t count = PixelCount(picture.width, picture.height);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = &picture.palette[3 * size_t{picture.indices[i]}];
        uint8_t* pixel = out.pixels + i * static_cast<size_t>(out.bytesPerPixel);
        if (picture.colourOutput)
            std::copy_n(entry, 3, pixel);
        else
            std::fill_n(pixel, 3, entry[0]);
        if (out.bytesPerPixel == 4)
            pixel[3] = 0;
    }
}

void SplitPyramidStep(std::span<uint8_t> indices, int width, int height)
{
    std::vector<uint8_t> split;
    split.reserve(PixelCount(width, height));
    auto at = [&](int x, int y) {
        return indices[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    };
    for (int y = 0; y < height; y += 2)
        for (int x = 0; x < width; x += 2)
            split.push_back(at(x, y));
    for (int y = 0; y < height; y += 2)
        for (int x = 1; x < width; x += 2)
            split.push_back(at(x, y));
    for (int y = 1; y < height; y += 2)
        for (int x = 0; x < width; ++x)
            split.push_back(at(x, y));
    std::copy(split.begin(), split.end(), indices.begin());
}

void MergePyramidStep(std::span<uint8_t> indices, int width, int height)
{
    std::vector<uint8_t> merged(PixelCount(width, height));
    auto at = [&](int x, int y) -> uint8_t& {
        return merged[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    };
    size_t next = 0;
    for (int y = 0; y < height; y += 2)
        for (int x = 0; x < width; x += 2)
            at(x, y) = indices[next++];
    for (int y = 0; y < height; y += 2)
        for (int x = 1; x < width; x += 2)
            at(x, y) = indices[next++];
    for (int y = 1; y < height; y += 2)
        for (int x = 0; x < width; ++x)
            at(x, y) = indices[next++];
    std::copy(merged.begin(), merged.end(), indices.begin());
}

} // namespace cis
