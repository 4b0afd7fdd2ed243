// The reference rasteriser over vortan-d3d8-demo's 640 x 480 scene: how long one frame takes to draw through the
// recording device (calls logged, draws checked and copied, pixels rasterised), Present excluded.
#include "apps/vortan-d3d8-demo/reference_scene.h"

#include "platform/base/user_constants.h"
#include "platform/d3d8/direct3d8.h"
#include "platform/ui/core/ui.h"

#include <benchmark/benchmark.h>

namespace {

using namespace pf;

void BM_ReferenceScene(benchmark::State& state)
{
    Ui ui;
    Direct3D8Config config;
    config.rasterise = state.range(0) != 0;
    registerDirect3D8StandIn(config);
    Window* window = ui.createWindow({"window", "", WS_POPUP | WS_VISIBLE, 0, {0, 0, 640, 480}});
    IDirect3D8* d3d = direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS p;
    p.BackBufferWidth = kSceneWidth;
    p.BackBufferHeight = kSceneHeight;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = 1;
    p.EnableAutoDepthStencil = 1;
    p.AutoDepthStencilFormat = D3DFMT_D24X8;
    IDirect3DDevice8* device = nullptr;
    if (d3d == nullptr || window == nullptr ||
        d3d->CreateDevice(0, D3DDEVTYPE_HAL, window->hwnd(), D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device) !=
            D3D_OK) {
        state.SkipWithError("the stand-in gave no device");
        return;
    }
    for (auto _ : state) {
        if (!drawReferenceScene(*device)) {
            state.SkipWithError("the scene failed");
            break;
        }
        clearD3D8CallLog(); // the log would otherwise grow with every frame
    }
    state.SetLabel(config.rasterise ? "rasterised" : "calls only");
    device->Release();
    d3d->Release();
    unregisterDirect3D8StandIn();
}
BENCHMARK(BM_ReferenceScene)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
