#include "codecs/image/image_codec.h"

#include <algorithm>
#include <new>
#include <utility>

#include "codecs/entropy/arith_coder.h"
#include "codecs/image/band_quantiser.h"
#include "codecs/image/cis_header.h"
#include "codecs/image/colour_transform.h"
#include "codecs/image/median_cut.h"
#include "codecs/image/wavelet_planes.h"
#include "codecs/image/wavelet_transform.h"

namespace cis {
namespace {

bool IsEncodableInput(int width, int height, std::span<const uint8_t> pixels)
{
    if (width < 1 || height < 1 || width > 0xFFFF || height > 0xFFFF)
        return false;
    const uint64_t count = uint64_t(width) * uint64_t(height);
    return count <= kMaxPixels && pixels.size() >= count * 3;
}

bool AreValidOptions(int width, int height, const WaveletOptions& options)
{
    const int levels = options.levels;
    if (levels < 1 || levels > LevelCountForSize(width, height) || options.chromaShift < 0 || options.chromaShift > 1)
        return false;
    if (options.coderKind != CoderKind::kSignedBytes && options.coderKind != CoderKind::kWords &&
        options.coderKind != CoderKind::kStatic)
        return false;
    if (options.reversible && options.chromaShift != 0)
        return false;
    for (int p = 0; p < 3; ++p) {
        const int shift = p == 0 ? 0 : options.chromaShift;
        const int dropped = options.droppedLevels[static_cast<size_t>(p)];
        if (dropped < 0 || dropped > levels - shift)
            return false;
    }
    return true;
}

void ColourTransform(const PixelView& in, const WaveletOptions& options, std::array<ImagePlane, 3>& planes)
{
    if (options.grey)
        ForwardGreyPlane(in, planes[0]);
    else if (options.reversible)
        ForwardReversibleColour(in, planes[0], planes[1], planes[2]);
    else if (options.chromaShift != 0)
        ForwardColourTransformSubsampled(in, planes[0], planes[1], planes[2]);
    else
        ForwardColourTransform(in, planes[0], planes[1], planes[2]);
}

std::vector<uint8_t> EncodeWaveletChecked(const PixelView& in, const WaveletOptions& options)
{
    const int levels = options.levels;
    const int planeCount = options.grey ? 1 : 3;
    const int paddedWidth = PaddedSide(in.width, levels);
    const int paddedHeight = PaddedSide(in.height, levels);
    std::array<ImagePlane, 3> planes;
    CisHeader header;
    for (int p = 0; p < planeCount; ++p) {
        const size_t i = static_cast<size_t>(p);
        header.chromaShift[i] = static_cast<uint8_t>(p == 0 ? 0 : options.chromaShift);
        header.droppedLevels[i] = static_cast<uint8_t>(options.droppedLevels[i]);
        planes[i].width = paddedWidth >> header.chromaShift[i];
        planes[i].height = paddedHeight >> header.chromaShift[i];
        planes[i].values.assign(static_cast<size_t>(planes[i].width) * static_cast<size_t>(planes[i].height), 0);
    }
    ColourTransform(in, options, planes);

    const EncoderSettings settings = SettingsFromQuality(options.quality, levels);
    std::vector<BandCoder> coders;
    for (int p = 0; p < planeCount; ++p) {
        const size_t i = static_cast<size_t>(p);
        const int planeLevels = levels - header.chromaShift[i];
        if (options.reversible)
            ForwardReversibleTransform(planes[i], planeLevels);
        else
            ForwardLossyTransform(planes[i], planeLevels);
        coders.emplace_back(planes[i], planeLevels, header.droppedLevels[i], options.coderKind);
        if (!coders.back().QuantiseAndMark(settings.planes[i]))
            return {};
    }

    std::vector<uint8_t> data;
    ArithCoder coder;
    for (int k = 0; k <= levels; ++k) {
        const size_t start = data.size();
        for (BandCoder& bands : coders) {
            if (!bands.EncodeLevel(data, k, coder))
                return {};
        }
        header.levelBytes[static_cast<size_t>(k)] = static_cast<uint32_t>(data.size() - start);
    }
    if (data.size() > UINT32_MAX)
        return {};
    header.dataBytes = static_cast<uint32_t>(data.size());
    header.width = static_cast<uint16_t>(in.width);
    header.height = static_cast<uint16_t>(in.height);
    header.bitsOrColours = options.grey ? 8 : 24;
    header.colourFlag = options.grey ? 0 : 1;
    header.coderKind = static_cast<uint8_t>(options.coderKind);
    header.transform = static_cast<uint8_t>(options.reversible ? TransformType::kReversible : TransformType::kWavelet);
    header.levels = static_cast<uint8_t>(levels);
    std::vector<uint8_t> stream = WriteHeader(header);
    stream.insert(stream.end(), data.begin(), data.end());
    return stream;
}

std::optional<CisHeader> ParseWholeStream(std::span<const uint8_t> stream, const DecodeLimits& limits)
{
    CisHeader header;
    if (ParseHeader(stream, stream.size(), header, limits.maxPixels) != HeaderStatus::kOk)
        return std::nullopt;
    return header;
}

} // namespace

int LevelCountForSize(int width, int height)
{
    static constexpr struct {
        int side;
        int levels;
    } kRule[] = {{100, 5}, {45, 4}, {23, 3}, {12, 2}, {7, 1}};
    for (const auto& rule : kRule) {
        if (width >= rule.side && height >= rule.side)
            return rule.levels;
    }
    return 0;
}

std::vector<uint8_t> EncodeImage(int width, int height, std::span<const uint8_t> pixels, int quality)
{
    if (!IsEncodableInput(width, height, pixels))
        return {};
    try {
        const PixelView in{pixels.data(), width, height};
        const int levels = LevelCountForSize(width, height);
        quality = std::clamp(quality, 0, 100);
        if (levels == 0 || quality == 100)
            return EncodeRawColour(in);
        WaveletOptions options;
        options.quality = quality;
        options.levels = levels;
        return EncodeWaveletChecked(in, options);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

std::vector<uint8_t> EncodeWaveletImage(int width, int height, std::span<const uint8_t> pixels,
                                        const WaveletOptions& options)
{
    WaveletOptions checked = options;
    if (checked.levels == 0)
        checked.levels = LevelCountForSize(width, height);
    checked.quality = std::clamp(checked.quality, 0, 99);
    if (!IsEncodableInput(width, height, pixels) || !AreValidOptions(width, height, checked))
        return {};
    try {
        return EncodeWaveletChecked(PixelView{pixels.data(), width, height}, checked);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

std::vector<uint8_t> EncodePaletteImage(int width, int height, std::span<const uint8_t> pixels, int colours)
{
    if (!IsEncodableInput(width, height, pixels))
        return {};
    try {
        const PalettePicture picture = MedianCutPalette(PixelView{pixels.data(), width, height}, colours);
        return EncodePaletteStream(picture, LevelCountForSize(width, height));
    } catch (const std::bad_alloc&) {
        return {};
    }
}

bool DecodeStreamPixels(const CisHeader& header, std::span<const uint8_t> codedData, const PixelTarget& out)
{
    if (header.IsRaw())
        return DecodeRawPixels(header, codedData, out);
    if (header.IsPalette()) {
        PalettePicture picture;
        if (!DecodePaletteStream(header, codedData, picture))
            return false;
        PalettePictureToPixels(picture, out);
        return true;
    }
    WaveletPlanes planes;
    planes.Allocate(header);
    ArithCoder coder;
    for (int k = 0; k <= header.levels; ++k) {
        if (!planes.DecodeLevel(header, codedData, k, coder))
            return false;
    }
    planes.ToPixels(header, out);
    return true;
}

std::optional<DecodedImage> DecodeImage(std::span<const uint8_t> stream, const DecodeLimits& limits)
{
    DecodedImage image;
    if (DecodeImageChecked(stream, limits, image) != DecodeStatus::kOk)
        return std::nullopt;
    return image;
}

DecodeStatus DecodeImageChecked(std::span<const uint8_t> stream, const DecodeLimits& limits, DecodedImage& out)
{
    out = {};
    CisHeader header;
    switch (ParseHeader(stream, stream.size(), header, limits.maxPixels)) {
    case HeaderStatus::kOk:
        break;
    case HeaderStatus::kTooLarge:
        out.width = header.width;
        out.height = header.height;
        return DecodeStatus::kTooLarge;
    case HeaderStatus::kNeedMore:
    case HeaderStatus::kDamaged:
        return DecodeStatus::kDamaged;
    }
    try {
        DecodedImage image;
        image.width = header.width;
        image.height = header.height;
        image.pixels.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3);
        const PixelTarget target{image.pixels.data(), image.width, image.height, 3};
        if (!DecodeStreamPixels(header, stream.subspan(header.headerBytes, header.dataBytes), target))
            return DecodeStatus::kDamaged;
        out = std::move(image);
        return DecodeStatus::kOk;
    } catch (const std::bad_alloc&) {
        return DecodeStatus::kOutOfMemory;
    }
}

std::optional<PalettePicture> DecodePalettePicture(std::span<const uint8_t> stream, const DecodeLimits& limits)
{
    const std::optional<CisHeader> header = ParseWholeStream(stream, limits);
    if (!header)
        return std::nullopt;
    try {
        const std::span<const uint8_t> data = stream.subspan(header->headerBytes, header->dataBytes);
        PalettePicture picture;
        const bool isRawPalette = header->IsRaw() && header->colourFlag == 1 && header->bitsOrColours == 8;
        if (isRawPalette ? DecodeRawPalette(*header, data, picture)
                         : (header->IsPalette() && DecodePaletteStream(*header, data, picture)))
            return picture;
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace cis
