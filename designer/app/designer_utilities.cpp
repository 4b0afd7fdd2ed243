#include "designer/app/designer_utilities.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "designer/app/designer_app.h"
#include "designer/app/startup.h"
#include "engine/behaviour/events.h"
#include "engine/core/container.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/image32.h"
#include "engine/resources/texture.h"
#include "platform/gfx/jpeg_file.h"
#include "platform/ui/core/window.h"
#include "platform/ui/providers/providers.h"

namespace {

constexpr uint64_t kMaxResampledPixels = SWtexture::kMaxPixels;

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

std::string StemOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name.empty() ? std::string("picture") : name;
}

std::string EnvironmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

bool IsFolder(const std::string& path)
{
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

// The documents folder the desktop names in user-dirs.dirs (XDG_DOCUMENTS_DIR="$HOME/Documents"), else
// ~/Documents, else home; "/" when even home is unknown.
std::string UserDocumentsFolder()
{
    const std::string home = EnvironmentValue("HOME");
    const std::string config = EnvironmentValue("XDG_CONFIG_HOME");
    std::ifstream dirs((!config.empty() ? config : home + "/.config") + "/user-dirs.dirs");
    constexpr std::string_view kEntry = "XDG_DOCUMENTS_DIR=\"";
    for (std::string line; std::getline(dirs, line);) {
        if (!line.starts_with(kEntry) || line.size() < kEntry.size() + 1 || line.back() != '"')
            continue;
        std::string folder = line.substr(kEntry.size(), line.size() - kEntry.size() - 1);
        if (folder.starts_with("$HOME"))
            folder = home + folder.substr(5);
        if (folder.starts_with('/') && IsFolder(folder))
            return folder;
    }
    if (IsFolder(home + "/Documents"))
        return home + "/Documents";
    return IsFolder(home) ? home : std::string("/");
}

uint32_t NextPowerOfTwo(uint32_t side)
{
    uint32_t power = 1;
    while (power < side && power != 0)
        power <<= 1;
    return power;
}

// One channel sample of a row or column: weights per source index for one output index.
struct Tap {
    int32_t first = 0;
    std::vector<double> weights; // they sum to 1
};

// The taps of resampling a line of from samples to to samples: a box over the source span each output covers
// when shrinking, linear between the two nearest source centres when growing.
std::vector<Tap> TapsOf(int32_t from, int32_t to)
{
    std::vector<Tap> taps(static_cast<size_t>(to));
    const double scale = static_cast<double>(from) / to;
    for (int32_t i = 0; i < to; ++i) {
        Tap& tap = taps[static_cast<size_t>(i)];
        if (to < from) {
            const double start = i * scale;
            const double end = (i + 1) * scale;
            tap.first = static_cast<int32_t>(std::floor(start));
            const int32_t last = std::min(from - 1, static_cast<int32_t>(std::ceil(end)) - 1);
            for (int32_t s = tap.first; s <= last; ++s)
                tap.weights.push_back((std::min<double>(end, s + 1) - std::max<double>(start, s)) / scale);
        } else {
            const double at = std::clamp((i + 0.5) * scale - 0.5, 0.0, static_cast<double>(from - 1));
            tap.first = static_cast<int32_t>(std::floor(at));
            const double fraction = at - tap.first;
            tap.weights.push_back(1.0 - fraction);
            if (tap.first + 1 < from)
                tap.weights.push_back(fraction);
        }
    }
    return taps;
}

// Four channel sums over weights totalling total, rounded back into a pixel.
uint32_t Packed(const double* sums, double total)
{
    uint32_t out = 0;
    for (int c = 0; c < 4; ++c) {
        const double value = total > 0 ? sums[c] / total : 0.0;
        out |= static_cast<uint32_t>(std::clamp(std::lround(value), 0L, 255L)) << (8 * c);
    }
    return out;
}

uint32_t Blend(const uint32_t* source, const Tap& tap)
{
    double sums[4] = {0, 0, 0, 0};
    double total = 0;
    for (size_t k = 0; k < tap.weights.size(); ++k) {
        const uint32_t pixel = source[static_cast<size_t>(tap.first) + k];
        const double w = tap.weights[k];
        total += w;
        for (int c = 0; c < 4; ++c)
            sums[c] += w * static_cast<double>(pixel >> (8 * c) & 0xFFu);
    }
    return Packed(sums, total);
}

} // namespace

std::string BrowseStartFolder(const std::string& remembered, const std::string& projectPath)
{
    if (IsFolder(remembered))
        return remembered;
    if (const std::string projectFolder = FolderOf(projectPath); IsFolder(projectFolder))
        return projectFolder;
    return UserDocumentsFolder();
}

std::optional<std::string> BrowseForFile(BrowseCategory category, pf::Window* owner, const std::string& title,
                                         int32_t filterIndex, const std::string& filter, uint32_t extraFlags)
{
    CVTND_EditorSettings* settings = GetDesignerApp() != nullptr ? GetDesignerApp()->GetSettings() : nullptr;
    pf::FileDialogRequest request;
    request.owner = owner != nullptr ? owner->hwnd() : pf::kNoWindow;
    request.title = title;
    request.filter = filter;
    request.filterIndex = filterIndex;
    request.flags = extraFlags;
    const CVTND_Designer* designer = CVTND_Designer::Current();
    request.initialDirectory = BrowseStartFolder(settings != nullptr ? settings->GetDirectory(category) : std::string(),
                                                 designer != nullptr ? designer->GetProjectPath() : std::string());
    const std::optional<std::vector<std::string>> chosen = pf::getFileName(request);
    if (!chosen || chosen->empty())
        return std::nullopt;
    if (settings != nullptr)
        settings->SetDirectory(category, FolderOf(chosen->front()));
    return chosen->front();
}

bool MakeUniqueEventName(const SWworld& world, uint32_t eventType, std::string& outName)
{
    outName.clear();
    const char* base = world.GetEventTypeName(eventType);
    if (base == nullptr)
        return false;
    std::string name = base;
    for (int suffix = 1; world.FindEvent(name) != nullptr; ++suffix)
        name = std::string(base) + "_" + std::to_string(suffix);
    outName = std::move(name);
    return true;
}

std::optional<std::vector<uint32_t>> ResampleImage32(std::span<const uint32_t> pixels, int32_t width, int32_t height,
                                                     int32_t newWidth, int32_t newHeight)
{
    if (width <= 0 || height <= 0 || newWidth <= 0 || newHeight <= 0)
        return std::nullopt;
    if (pixels.size() != uint64_t{static_cast<uint32_t>(width)} * static_cast<uint32_t>(height) ||
        uint64_t{static_cast<uint32_t>(newWidth)} * static_cast<uint32_t>(newHeight) > kMaxResampledPixels ||
        uint64_t{static_cast<uint32_t>(newWidth)} * static_cast<uint32_t>(height) > kMaxResampledPixels)
        return std::nullopt;
    // Rows first, into newWidth x height; then columns, into newWidth x newHeight.
    const std::vector<Tap> across = TapsOf(width, newWidth);
    std::vector<uint32_t> wide(size_t{static_cast<uint32_t>(newWidth)} * static_cast<uint32_t>(height));
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* row = pixels.data() + size_t{static_cast<uint32_t>(y)} * static_cast<uint32_t>(width);
        for (int32_t x = 0; x < newWidth; ++x)
            wide[size_t{static_cast<uint32_t>(y)} * static_cast<uint32_t>(newWidth) + static_cast<uint32_t>(x)] =
                Blend(row, across[static_cast<size_t>(x)]);
    }
    // Columns a whole row at a time, so each source row is read in order rather than down a column.
    const std::vector<Tap> down = TapsOf(height, newHeight);
    const size_t rowPixels = static_cast<uint32_t>(newWidth);
    std::vector<uint32_t> out(rowPixels * static_cast<uint32_t>(newHeight));
    std::vector<double> sums(rowPixels * 4);
    for (int32_t y = 0; y < newHeight; ++y) {
        const Tap& tap = down[static_cast<size_t>(y)];
        std::fill(sums.begin(), sums.end(), 0.0);
        double total = 0;
        for (size_t k = 0; k < tap.weights.size(); ++k) {
            const uint32_t* row = wide.data() + (static_cast<size_t>(tap.first) + k) * rowPixels;
            const double w = tap.weights[k];
            total += w;
            for (size_t x = 0; x < rowPixels; ++x) {
                for (int c = 0; c < 4; ++c)
                    sums[x * 4 + static_cast<size_t>(c)] += w * static_cast<double>(row[x] >> (8 * c) & 0xFFu);
            }
        }
        uint32_t* target = out.data() + static_cast<size_t>(y) * rowPixels;
        for (size_t x = 0; x < rowPixels; ++x)
            target[x] = Packed(&sums[x * 4], total);
    }
    return out;
}

SWimage32* LoadJpegTexture(SWworld& world, const std::string& path, bool addToWorld, bool powerOfTwo,
                           std::unique_ptr<SWimage32>& outOwned, std::string* outError)
{
    outOwned.reset();
    std::string error;
    pf::JpegReadOptions options;
    options.maxPixels = SWtexture::kMaxPixels;
    std::optional<pf::JpegImage> image = pf::readJpegFile(path, options, error);
    if (!image) {
        if (outError != nullptr)
            *outError = path + ": " + error;
        return nullptr;
    }
    int64_t width = image->width;
    int64_t height = image->height;
    if (powerOfTwo) {
        width = NextPowerOfTwo(static_cast<uint32_t>(width));
        height = NextPowerOfTwo(static_cast<uint32_t>(height));
    }
    if (!SWtexture::IsAcceptedSize(width, height)) {
        if (outError != nullptr)
            *outError = path + ": the picture is too large for a texture";
        return nullptr;
    }
    if (width != image->width || height != image->height) {
        std::optional<std::vector<uint32_t>> resampled = ResampleImage32(
            image->pixels, image->width, image->height, static_cast<int32_t>(width), static_cast<int32_t>(height));
        if (!resampled) {
            if (outError != nullptr)
                *outError = path + ": the picture could not be resampled";
            return nullptr;
        }
        image->pixels = std::move(*resampled);
    }
    SWworldlock lock(world);
    const std::string stem = StemOf(path);
    std::string name = stem;
    for (int suffix = 1; world.FindTextureByName(name) != nullptr; ++suffix)
        name = stem + "_" + std::to_string(suffix);
    std::unique_ptr<SWimage32> texture = SWimage32::SWimage32FromPixels(name, width, height, image->pixels.data());
    if (texture == nullptr) {
        if (outError != nullptr)
            *outError = path + ": out of memory";
        return nullptr;
    }
    SWimage32* made = texture.get();
    made->Notify(kNotifyContentsChanged, nullptr);
    made->Touch();
    if (addToWorld)
        world.GetRootObject()->AddTexture(std::move(texture));
    else
        outOwned = std::move(texture);
    return made;
}
