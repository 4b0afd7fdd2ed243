// vortan-d3d8-demo [--interlaced] OUT.png
// Draws the reference scene through the Direct3D 8 stand-in (the recording device and the reference rasteriser),
// presents it into a window of the headless screen, writes that window's client area as OUT.png and prints every
// call the device received. --interlaced presents field by field: the back buffer holds the even rows above the
// odd ones, and each window row comes from its own one-row rectangle, so the picture must be the same.
#include "apps/vortan-d3d8-demo/reference_scene.h"

#include "platform/base/user_constants.h"
#include "platform/d3d8/direct3d8.h"
#include "platform/gfx/png_file.h"
#include "platform/ui/core/ui.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace pf;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitRefused = 3;

struct Options {
    bool interlaced = false;
    std::string out;
};

bool parse(int argc, char** argv, Options& out)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--interlaced") {
            out.interlaced = true;
        } else if (arg.starts_with("-") || !out.out.empty()) { // an option is never the picture's name
            std::fprintf(stderr, "unknown argument \"%s\"\n", arg.c_str());
            return false;
        } else {
            out.out = arg;
        }
    }
    if (out.out.empty()) {
        std::fprintf(stderr, "usage: vortan-d3d8-demo [--interlaced] OUT.png\n");
        return false;
    }
    return true;
}

IDirect3DDevice8* createDevice(IDirect3D8& d3d, Hwnd window)
{
    D3DPRESENT_PARAMETERS p;
    p.BackBufferWidth = kSceneWidth;
    p.BackBufferHeight = kSceneHeight;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = 1;
    p.EnableAutoDepthStencil = 1;
    p.AutoDepthStencilFormat = D3DFMT_D24X8;
    p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    IDirect3DDevice8* device = nullptr;
    if (d3d.CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p,
                         &device) != D3D_OK)
        return nullptr;
    return device;
}

// Rewrites the back buffer as a field renderer leaves it: rows 0, 2, 4, ... on top, then rows 1, 3, 5, ...
bool storeAsFields(IDirect3DDevice8& device)
{
    IDirect3DSurface8* back = nullptr;
    if (device.GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back) != D3D_OK)
        return false;
    D3DLOCKED_RECT locked;
    const bool ok = back->LockRect(&locked, nullptr, 0) == D3D_OK;
    if (ok) {
        const size_t rowBytes = size_t{kSceneWidth} * 4;
        std::vector<uint8_t> frame(rowBytes * kSceneHeight);
        auto* bits = static_cast<uint8_t*>(locked.pBits);
        for (uint32_t y = 0; y < kSceneHeight; ++y)
            std::memcpy(&frame[rowBytes * y], bits + ptrdiff_t{locked.Pitch} * y, rowBytes);
        const uint32_t evenRows = (kSceneHeight + 1) / 2;
        for (uint32_t y = 0; y < kSceneHeight; ++y) {
            const uint32_t stored = y % 2 == 0 ? y / 2 : evenRows + y / 2;
            std::memcpy(bits + ptrdiff_t{locked.Pitch} * stored, &frame[rowBytes * y], rowBytes);
        }
        back->UnlockRect();
    }
    back->Release();
    return ok;
}

bool presentFields(IDirect3DDevice8& device)
{
    const auto evenRows = static_cast<int32_t>((kSceneHeight + 1) / 2);
    const auto width = static_cast<int32_t>(kSceneWidth);
    for (int32_t y = 0; y < static_cast<int32_t>(kSceneHeight); ++y) {
        const int32_t stored = y % 2 == 0 ? y / 2 : evenRows + y / 2;
        const Rect source{0, stored, width, stored + 1};
        const Rect destination{0, y, width, y + 1};
        if (device.Present(&source, &destination, kNoWindow, nullptr) != D3D_OK)
            return false;
    }
    return true;
}

int run(const Options& options)
{
    Ui ui;
    registerDirect3D8StandIn();
    Window* window =
        ui.createWindow({"window",
                         "Direct3D 8 reference scene",
                         WS_POPUP | WS_VISIBLE,
                         0,
                         {40, 40, 40 + static_cast<int32_t>(kSceneWidth), 40 + static_cast<int32_t>(kSceneHeight)}});
    ui.pump();
    IDirect3D8* d3d = direct3DCreate8(D3D_SDK_VERSION);
    IDirect3DDevice8* device = d3d != nullptr && window != nullptr ? createDevice(*d3d, window->hwnd()) : nullptr;
    bool ok = device != nullptr && drawReferenceScene(*device);
    if (ok && options.interlaced)
        ok = storeAsFields(*device) && presentFields(*device);
    else if (ok)
        ok = device->Present(nullptr, nullptr, kNoWindow, nullptr) == D3D_OK;
    if (device != nullptr)
        device->Release();
    if (d3d != nullptr)
        d3d->Release();
    for (const D3D8Call& call : d3d8CallLog())
        std::printf("%s\n", formatD3D8Call(call).c_str());
    const int leaked = d3d8LiveObjects();
    unregisterDirect3D8StandIn();
    if (!ok || leaked != 0) {
        std::fprintf(stderr, "the scene failed (%d objects left alive)\n", leaked);
        return kExitFailed;
    }
    std::string error;
    if (!writePngFile(options.out, *ui.surfaceOf(*window), error)) {
        std::fprintf(stderr, "cannot write %s: %s\n", options.out.c_str(), error.c_str());
        return kExitRefused;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parse(argc, argv, options))
        return kExitUsage;
    return run(options);
}
