// vortan-ddraw-demo OUT_FOLDER
// Presents a gradient through the DirectDraw stand-in at depths 8, 16, 24 and 32 into a framed window that sits
// partly off the left edge of the screen, with a second window over part of its client area, and writes the
// composed screen of each depth as ddraw-<depth>.png. The gradient is written over the whole primary surface, as a
// caller that converts the whole frame would: only the visible client area may take it, so the occluder and the
// desktop must come out untouched, which the demo checks and prints.
#include "platform/base/user_constants.h"
#include "platform/ddraw/ddraw.h"
#include "platform/ddraw/direct_draw.h"
#include "platform/display/screen.h"
#include "platform/gfx/display_mode.h"
#include "platform/ui/core/ui.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

namespace {

using namespace pf;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitRefused = 3;
constexpr Size kScreenSize{640, 480};
constexpr Rect kTargetRect{-60, 40, 420, 400};
constexpr Rect kOccluderRect{180, 160, 340, 280};
constexpr uint32_t kOccluderColour = 0x00A5A5A5u;

uint32_t gradientAt(int32_t x, int32_t y)
{
    const auto red = static_cast<uint32_t>(x * 255 / (kScreenSize.cx - 1));
    const auto green = static_cast<uint32_t>(y * 255 / (kScreenSize.cy - 1));
    const uint32_t blue = 255 - (red + green) / 2;
    return (red << 16) | (green << 8) | blue;
}

// A 0x00RRGGBB colour placed in the channel masks the surface described.
uint32_t packMasked(uint32_t rgb, const DDPIXELFORMAT& format)
{
    const auto place = [](uint32_t value8, uint32_t mask) {
        if (mask == 0)
            return 0u;
        const int bits = std::popcount(mask);
        const int shift = std::countr_zero(mask);
        return ((value8 >> (8 - bits)) << shift) & mask;
    };
    return place((rgb >> 16) & 0xFF, format.dwRBitMask) | place((rgb >> 8) & 0xFF, format.dwGBitMask) |
           place(rgb & 0xFF, format.dwBBitMask);
}

class NearestEntry {
public:
    uint8_t operator()(uint32_t rgb)
    {
        const uint32_t key = rgb & 0xF8F8F8u;
        const auto it = m_cache.find(key);
        if (it != m_cache.end())
            return it->second;
        const auto palette = displayMode().systemPalette();
        uint8_t best = 0;
        int32_t bestDistance = INT32_MAX;
        for (size_t i = 0; i < palette.size(); ++i) {
            const int32_t dr = palette[i].red - static_cast<int32_t>((key >> 16) & 0xFF);
            const int32_t dg = palette[i].green - static_cast<int32_t>((key >> 8) & 0xFF);
            const int32_t db = palette[i].blue - static_cast<int32_t>(key & 0xFF);
            const int32_t distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = static_cast<uint8_t>(i);
            }
        }
        m_cache[key] = best;
        return best;
    }

private:
    std::map<uint32_t, uint8_t> m_cache;
};

void writeGradient(const DDSURFACEDESC& desc)
{
    NearestEntry nearest;
    const uint32_t bytes = desc.ddpfPixelFormat.dwRGBBitCount / 8;
    for (uint32_t y = 0; y < desc.dwHeight; ++y) {
        auto* row = static_cast<uint8_t*>(desc.lpSurface) + ptrdiff_t{desc.lPitch} * y;
        for (uint32_t x = 0; x < desc.dwWidth; ++x) {
            const uint32_t rgb = gradientAt(static_cast<int32_t>(x), static_cast<int32_t>(y));
            const uint32_t pixel = bytes == 1 ? nearest(rgb) : packMasked(rgb, desc.ddpfPixelFormat);
            std::memcpy(row + size_t{x} * bytes, &pixel, bytes); // little-endian: the low bytes are the pixel
        }
    }
}

struct DepthResult {
    bool presented = false;
    int64_t clientPixels = 0;  // pixels of the target that took the gradient
    int64_t touchedCanary = 0; // pixels outside the visible client area that changed: must stay 0
};

DepthResult presentAtDepth(IDirectDraw2& dd, int32_t depth)
{
    DepthResult result;
    screen().setDepth(depth);
    Window* target = ui().createWindow({"window", "DirectDraw", WS_VISIBLE | WS_CAPTION | WS_BORDER, 0, kTargetRect});
    Window* occluder = ui().createWindow({"window", "", WS_POPUP | WS_VISIBLE, 0, kOccluderRect});
    if (target == nullptr || occluder == nullptr)
        return result;
    ui().pump();
    ui().surfaceOf(*occluder)->fill(kOccluderColour);
    ui().surfaceOf(*target)->fill(kOccluderColour); // the frame and whatever the gradient must not reach
    IDirectDrawSurface* primary = nullptr;
    IDirectDrawClipper* clipper = nullptr;
    DDSURFACEDESC create;
    create.dwSize = kDdSurfaceDescSize;
    create.dwFlags = DDSD_CAPS;
    create.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    DDSURFACEDESC locked;
    locked.dwSize = kDdSurfaceDescSize;
    if (dd.CreateSurface(&create, &primary, nullptr) == DD_OK && dd.CreateClipper(0, &clipper, nullptr) == DD_OK &&
        clipper->SetHWnd(0, target->hwnd()) == DD_OK && primary->SetClipper(clipper) == DD_OK &&
        primary->Lock(nullptr, &locked, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) == DD_OK) {
        writeGradient(locked);
        result.presented = primary->Unlock(nullptr) == DD_OK;
    }
    if (clipper != nullptr)
        clipper->Release();
    if (primary != nullptr)
        primary->Release();
    const auto surface = ui().surfaceOf(*target);
    const Point origin = target->clientToScreen({0, 0});
    const Rect client = target->clientRect().offsetBy(origin.x, origin.y);
    for (int32_t y = 0; y < surface->height(); ++y)
        for (int32_t x = 0; x < surface->width(); ++x) {
            const Point p{x + kTargetRect.l, y + kTargetRect.t};
            const bool visible = client.contains(p) && p.x >= 0 && !kOccluderRect.contains(p);
            const bool canary = (surface->pixel(x, y) & 0xFFFFFFu) == kOccluderColour;
            result.clientPixels += visible && !canary ? 1 : 0;
            result.touchedCanary += !visible && !canary ? 1 : 0;
        }
    const auto other = ui().surfaceOf(*occluder);
    for (int32_t y = 0; y < other->height(); ++y)
        for (int32_t x = 0; x < other->width(); ++x)
            result.touchedCanary += (other->pixel(x, y) & 0xFFFFFFu) != kOccluderColour ? 1 : 0;
    ui().pump();
    return result;
}

int run(const std::string& folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder)) {
        std::fprintf(stderr, "cannot write %s\n", folder.c_str());
        return kExitRefused;
    }
    screen().reset();
    screen().setSize(kScreenSize);
    Ui ui;
    registerDirectDrawStandIn();
    IDirectDraw* dd1 = nullptr;
    IDirectDraw2* dd = nullptr;
    bool ok = CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_ALL, IID_IDirectDraw,
                               reinterpret_cast<void**>(&dd1)) == S_OK &&
              dd1->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&dd)) == S_OK &&
              dd->Initialize(nullptr) == DD_OK && dd->SetCooperativeLevel(kNoWindow, DDSCL_NORMAL) == DD_OK;
    bool written = true;
    for (const int32_t depth : {8, 16, 24, 32}) {
        if (!ok)
            break;
        const DepthResult r = presentAtDepth(*dd, depth);
        const std::string path = folder + "/ddraw-" + std::to_string(depth) + ".png";
        written = screen().writePng(path) && written;
        std::printf("depth %d: presented %s, client pixels %lld, pixels changed outside the visible client area %lld\n",
                    depth, r.presented ? "yes" : "no", static_cast<long long>(r.clientPixels),
                    static_cast<long long>(r.touchedCanary));
        ok = r.presented && r.clientPixels > 0 && r.touchedCanary == 0;
        for (const Hwnd h : ui.topLevels())
            if (Window* w = ui.window(h))
                w->destroy();
    }
    if (dd != nullptr)
        dd->Release();
    if (dd1 != nullptr)
        dd1->Release();
    const int leaked = directDrawLiveObjects();
    unregisterDirectDrawStandIn();
    if (!written) {
        std::fprintf(stderr, "cannot write %s\n", folder.c_str());
        return kExitRefused;
    }
    if (!ok || leaked != 0) {
        std::fprintf(stderr, "presentation failed (%d objects left alive)\n", leaked);
        return kExitFailed;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || argv[1][0] == '-') { // an option is never the folder's name
        std::fprintf(stderr, "usage: vortan-ddraw-demo OUT_FOLDER\n");
        return kExitUsage;
    }
    return run(argv[1]);
}
