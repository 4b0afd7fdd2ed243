#include "designer/app/icon_image.h"

#include <algorithm>
#include <cctype>

#include "platform/base/input_file.h"

namespace {

constexpr uint64_t kMaxIconFileBytes = 8u << 20; // far above any icon of 256 x 256 in any of the three forms

} // namespace

pf::IconRef CVTND_IconImage::MakeIcon() const
{
    return MakeIcon(hotSpotX, hotSpotY);
}

pf::IconRef CVTND_IconImage::MakeIcon(int32_t hotX, int32_t hotY) const
{
    if (width <= 0 || height <= 0 || argb.size() != static_cast<size_t>(width) * static_cast<size_t>(height))
        return nullptr;
    std::vector<uint8_t> mask(argb.size());
    for (size_t i = 0; i < argb.size(); ++i)
        mask[i] = (argb[i] >> 24) == 0 ? 1 : 0;
    const pf::Point hot{std::clamp(hotX, 0, width - 1), std::clamp(hotY, 0, height - 1)};
    return pf::Icon::create(width, height, argb, std::move(mask), hot);
}

IconFileKind IconKindOfName(const std::string& path)
{
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return IconFileKind::kUnknown;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "ico" || extension == "cur")
        return IconFileKind::kIco;
    if (extension == "xbm")
        return IconFileKind::kXbm;
    if (extension == "xpm")
        return IconFileKind::kXpm;
    return IconFileKind::kUnknown;
}

bool ReadIconFile(const std::string& path, CVTND_IconImage& outImage, std::string& outReason)
{
    outImage = {};
    const IconFileKind kind = IconKindOfName(path);
    if (kind == IconFileKind::kUnknown) {
        outReason = path + ": not an ICO, XBM or XPM file";
        return false;
    }
    std::vector<uint8_t> bytes;
    const pf::InputFileResult result = pf::readWholeFile(path, bytes, kMaxIconFileBytes);
    if (!result.ok()) {
        outReason = result.message;
        return false;
    }
    bool read = false;
    switch (kind) {
    case IconFileKind::kIco:
        read = ReadIcoImage(bytes, outImage, outReason);
        break;
    case IconFileKind::kXbm:
        read = ReadXbmImage(bytes, outImage, outReason);
        break;
    default:
        read = ReadXpmImage(bytes, outImage, outReason);
        break;
    }
    if (!read)
        outReason = path + ": " + outReason;
    return read;
}
