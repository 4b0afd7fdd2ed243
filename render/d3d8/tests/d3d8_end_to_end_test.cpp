// The reference scene through a window whose renderer asks for the Direct3D 8 device: the frames reach the window,
// the reference rasteriser's picture stays within a bound of the software renderer's picture of the same frame
// (measured: PSNR 52.9 dB, 0.1 % of pixels off by more than 8, at 320 x 240), and nothing of the stand-in is left
// once the world is gone.
#include <cmath>

#include "engine/core/root_object.h"
#include "engine/core/window.h"
#include "engine/core/world.h"
#include "engine/resources/background.h"
#include "render/d3d8/d3d8_device.h"
#include "render/d3d8/tests/d3d8_fixture.h"
#include "render/present/window_render_side.h"
#include "testsupport/render/reference_scene.h"

namespace d3d8test {
namespace {

class D3D8EndToEnd : public D3D8Fixture {
protected:
    static constexpr int32_t kSceneWidth = 320;
    static constexpr int32_t kSceneHeight = 240;

    void Release() override
    {
        hardware = {};
        software = {};
        D3D8Fixture::Release();
    }
    pf::Direct3D8Config Config() const override { return {}; } // the reference rasteriser draws

    struct Scene {
        rendertest::ReferenceScene scene;
        pf::Window* window = nullptr;
        SWwindowrenderside* side = nullptr;
    };

    void Open(Scene& out, uint32_t flags, int32_t x)
    {
        out.window = ui().createWindow(
            {"window", "", pf::WS_POPUP | pf::WS_VISIBLE, 0, pf::Rect::fromXywh(x, 0, kSceneWidth, kSceneHeight)});
        ASSERT_NE(out.window, nullptr);
        ui().pump();
        out.scene = rendertest::MakeReferenceScene();
        SWbackground* sky = out.scene.world->GetRootObject()->GetBackground();
        ASSERT_NE(sky, nullptr);
        sky->SetBackgroundFlags(SWbackground::kFlagDirect3DLayout); // stretched, as the software path draws it
        SWwindow* w = out.scene.world->AddWindow(std::make_unique<SWwindow>(out.window->hwnd(), flags, false));
        out.side = dynamic_cast<SWwindowrenderside*>(w->GetRenderer());
        ASSERT_NE(out.side, nullptr);
        ASSERT_TRUE(out.side->SetSize(kSceneWidth, kSceneHeight));
        out.side->SetBackground(sky);
    }
    static bool DrawFrame(Scene& s, uint32_t frame)
    {
        rendertest::PlaceReferenceCamera(s.side->Camera(), frame);
        s.side->RefreshBuffers();
        s.side->SetPhase(0);
        if (!s.side->BeginFrame() || s.side->GetSurface() == nullptr)
            return false;
        s.scene.world->GetRootObject()->Render(*s.side->GetSurface());
        s.side->EndFrame();
        return s.side->Present();
    }

    Scene hardware;
    Scene software;
};

TEST_F(D3D8EndToEnd, ReferenceSceneFramesReachTheWindowWithinTheBoundOfTheSoftwareRenderer)
{
    Open(hardware, SWrenderdevice::kDirect3D8Device, 0);
    if (HasFatalFailure())
        return;
    ASSERT_NE(dynamic_cast<SWd3d8device*>(hardware.side->Renderer().GetPrimary()), nullptr);
    Open(software, SWrenderdevice::kWindowDevice, kSceneWidth);
    if (HasFatalFailure())
        return;
    for (uint32_t frame = 0; frame < 2; ++frame) {
        SCOPED_TRACE(frame);
        pf::clearD3D8CallLog();
        ASSERT_TRUE(DrawFrame(hardware, frame));
        EXPECT_GT(CountOf("DrawIndexedPrimitive"), 0u);
        EXPECT_EQ(CountOf("Present"), 1u);
        ASSERT_TRUE(DrawFrame(software, frame));
        const auto ours = ui().surfaceOf(*hardware.window);
        const auto theirs = ui().surfaceOf(*software.window);
        const std::lock_guard lockA(ours->mutex());
        const std::lock_guard lockB(theirs->mutex());
        double squares = 0.0;
        long long differing = 0;
        for (int32_t y = 0; y < kSceneHeight; ++y)
            for (int32_t x = 0; x < kSceneWidth; ++x) {
                int worst = 0;
                for (int shift = 0; shift < 24; shift += 8) {
                    const int d = int(ours->pixel(x, y) >> shift & 255) - int(theirs->pixel(x, y) >> shift & 255);
                    squares += double(d) * d;
                    worst = std::max(worst, std::abs(d));
                }
                differing += worst > 8;
            }
        const double pixels = double(kSceneWidth) * kSceneHeight;
        const double psnr = 10.0 * std::log10(255.0 * 255.0 / std::max(squares / (3 * pixels), 1e-9));
        EXPECT_GE(psnr, 40.0);
        EXPECT_LE(double(differing) / pixels, 0.01);
    }
}

} // namespace
} // namespace d3d8test
