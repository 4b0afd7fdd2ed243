#pragma once
// What the Direct3D 8 tests share: a headless window, the stand-in registered with a chosen configuration and bound
// by the driver manager, and at tear-down the check that neither the stand-in's objects nor our device textures
// are left alive.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/resources/image32.h"
#include "platform/base/user_constants.h"
#include "platform/d3d8/direct3d8.h"
#include "platform/display/screen.h"
#include "platform/time/virtual_clock.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"
#include "render/d3d8/d3d8_surface.h"
#include "render/render_drivers.h"

namespace d3d8test {

class D3D8Fixture : public ::testing::Test {
protected:
    static constexpr int32_t kWidth = 64;
    static constexpr int32_t kHeight = 48;

    void SetUp() override
    {
        pf::screen().reset();
        m_ui = std::make_unique<pf::Ui>();
        pf::setClock(&m_clock);
        pf::clearD3D8CallLog();
        pf::setD3D8FailurePlan({});
        pf::registerDirect3D8StandIn(Config());
        SWrenderdrivers::Get().Init();
        window = ui().createWindow(
            {"window", "", pf::WS_POPUP | pf::WS_VISIBLE, 0, pf::Rect::fromXywh(0, 0, kWidth, kHeight)});
        ui().pump();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        Release();
        SWrenderdrivers::Get().Shutdown();
        EXPECT_EQ(pf::d3d8LiveObjects(), 0);
        EXPECT_EQ(SWd3d8texture::LiveCount(), 0);
        pf::setD3D8FailurePlan({});
        pf::unregisterDirect3D8StandIn();
        m_ui.reset();
        pf::setClock(nullptr);
        pf::screen().reset();
    }
    // Everything a test made, in an order where sources outlive nothing that reads them.
    virtual void Release()
    {
        surface.reset();
        textures.clear();
    }
    virtual pf::Direct3D8Config Config() const
    {
        pf::Direct3D8Config c;
        c.rasterise = false;
        return c;
    }

    // An initialised surface with a device of the size; null (and a failed expectation) otherwise.
    SWd3d8surface* MakeSurface(uint32_t width = kWidth, uint32_t height = kHeight)
    {
        surface = std::make_unique<SWd3d8surface>();
        surface->SetWindow(window->hwnd());
        EXPECT_TRUE(surface->Init());
        EXPECT_TRUE(surface->Resize(width, height));
        return surface.get();
    }
    SWimage32* MakeTexture(int32_t width, int32_t height, uint32_t seed = 1)
    {
        std::vector<uint32_t> pixels(size_t(width) * size_t(height));
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = 0xFF000000u | (static_cast<uint32_t>(i) * 2654435761u + seed) >> 8;
        textures.push_back(SWimage32::SWimage32FromPixels("t", width, height, pixels.data()));
        return textures.back().get();
    }
    static std::vector<pf::D3D8Call> CallsNamed(const std::string& method)
    {
        std::vector<pf::D3D8Call> found;
        for (const pf::D3D8Call& call : pf::d3d8CallLog())
            if (call.method == method)
                found.push_back(call);
        return found;
    }
    static size_t CountOf(const std::string& method) { return CallsNamed(method).size(); }
    static void FailNext(const std::string& method, uint32_t nth = 1)
    {
        pf::setD3D8FailurePlan({{{method, nth, pf::D3DERR_INVALIDCALL}}});
    }

    pf::Ui& ui() { return *m_ui; }
    pf::VirtualClock& virtualClock() { return m_clock; }

    pf::Window* window = nullptr;
    std::unique_ptr<SWd3d8surface> surface;
    std::vector<std::unique_ptr<SWimage32>> textures;

private:
    std::unique_ptr<pf::Ui> m_ui;
    pf::VirtualClock m_clock{1000000};
};

} // namespace d3d8test
