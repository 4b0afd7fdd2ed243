// The Direct3D 8 render device: the background cleared or drawn as quads (stretched, tiled, or an empty image that
// only clears), presentation whole and in fields, a failed presentation that drops the device, the read-back that
// refines frames, the field mode forwarded on change, and the renderer's choices of device.
#include "render/d3d8/d3d8_device.h"

#include <cstring>

#include "engine/resources/background.h"
#include "render/d3d8/tests/d3d8_fixture.h"
#include "render/present/window_device.h"
#include "render/renderer.h"

namespace d3d8test {
namespace {

using namespace pf;

class D3D8Device : public D3D8Fixture {
protected:
    void Release() override
    {
        device.reset();
        background.reset();
        D3D8Fixture::Release();
    }
    pf::Direct3D8Config Config() const override { return config; }
    void MakeDevice(uint32_t width = kWidth, uint32_t height = kHeight)
    {
        device = std::make_unique<SWd3d8device>();
        auto made = std::make_unique<SWd3d8surface>();
        ASSERT_TRUE(made->Init());
        device->AttachSurface(std::move(made));
        device->SetWindow(window->hwnd());
        ASSERT_TRUE(device->SetSize(width, height));
        ASSERT_TRUE(device->HasDevice());
    }
    // Vertex i of draw d: x, y, u, v.
    static std::array<float, 4> QuadVertex(const DrawRecord& draw, int i)
    {
        float f[6];
        std::memcpy(f, draw.vertices.data() + 24 * i, 24);
        return {f[0], f[1], f[4], f[5]};
    }
    uint32_t WindowPixel(int32_t x, int32_t y)
    {
        const auto pixels = ui().surfaceOf(*window);
        const std::lock_guard lock(pixels->mutex());
        return pixels->pixel(x, y) & 0xFFFFFFu;
    }
    void FillRow(uint32_t row, uint32_t colour)
    {
        const D3DRECT rect{0, static_cast<int32_t>(row), kWidth, static_cast<int32_t>(row) + 1};
        ASSERT_EQ(device->Surface()->Device()->Clear(1, &rect, D3DCLEAR_TARGET, colour, 1.0f, 0), D3D_OK);
    }

    pf::Direct3D8Config config;
    std::unique_ptr<SWd3d8device> device;
    std::unique_ptr<SWbackground> background;
};

TEST_F(D3D8Device, WithoutAnImageRenderClearsTargetAndDepthToTheBackgroundColour)
{
    MakeDevice();
    background = std::make_unique<SWbackground>(0x00336699u);
    device->SetBackground(background.get());
    clearD3D8CallLog();
    EXPECT_TRUE(device->RefreshBuffers());
    const auto clears = CallsNamed("Clear");
    ASSERT_EQ(clears.size(), 1u);
    EXPECT_EQ(clears[0].args[2], double(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER));
    EXPECT_EQ(clears[0].args[3], double(0xFF336699u));
    EXPECT_TRUE(device->Present());
    EXPECT_EQ(WindowPixel(5, 5), 0x336699u);
}

TEST_F(D3D8Device, TheDirect3DLayoutFlagStretchesOneQuadOverTheViewport)
{
    MakeDevice();
    background = std::make_unique<SWbackground>(SWimage32::SWimage32FromPixels("sky", 30, 20, nullptr),
                                                SWbackground::kModeStretch);
    background->SetBackgroundFlags(SWbackground::kFlagDirect3DLayout);
    device->SetBackground(background.get());
    clearD3D8CallLog();
    ASSERT_TRUE(device->RefreshBuffers());
    const auto draws = d3d8Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].type, D3DPT_TRIANGLESTRIP);
    EXPECT_EQ(QuadVertex(draws[0], 0), (std::array<float, 4>{-0.5f, -0.5f, 0.0f, 0.0f}));
    EXPECT_EQ(QuadVertex(draws[0], 3), (std::array<float, 4>{kWidth - 0.5f, kHeight - 0.5f, 30.0f / 32, 20.0f / 32}));
    EXPECT_EQ(draws[0].state.renderStates[D3DRS_ZFUNC], D3DCMP_ALWAYS);
    EXPECT_EQ(draws[0].state.stageStates[0][D3DTSS_ADDRESSU], D3DTADDRESS_CLAMP);
    EXPECT_EQ(CountOf("BeginScene"), CountOf("EndScene"));
}

TEST_F(D3D8Device, TilesOfTheImageSizeAreCutAtTheRightAndBottomEdges)
{
    MakeDevice();
    background = std::make_unique<SWbackground>(SWimage32::SWimage32FromPixels("tile", 30, 20, nullptr),
                                                SWbackground::kModeTile);
    device->SetBackground(background.get());
    clearD3D8CallLog();
    ASSERT_TRUE(device->RefreshBuffers());
    const auto draws = d3d8Draws();
    ASSERT_EQ(draws.size(), 9u); // columns at 0, 30, 60 and rows at 0, 20, 40
    EXPECT_EQ(QuadVertex(draws[1], 0), (std::array<float, 4>{29.5f, -0.5f, 0.0f, 0.0f}));
    // The last tile: 4 x 8 pixels of the image, its coordinates cut in proportion.
    EXPECT_EQ(QuadVertex(draws[8], 0), (std::array<float, 4>{59.5f, 39.5f, 0.0f, 0.0f}));
    EXPECT_EQ(QuadVertex(draws[8], 3), (std::array<float, 4>{63.5f, 47.5f, 4.0f / 32, 8.0f / 32}));
    clearD3D8CallLog();
    ASSERT_TRUE(device->RefreshBuffers()); // the next frame writes over the same quad buffer
    EXPECT_EQ(CountOf("CreateVertexBuffer"), 0u);
    EXPECT_EQ(CountOf("DrawPrimitive"), 9u);
}

TEST_F(D3D8Device, AnEmptyImageOrOneThatCannotBeUploadedClearsInstead)
{
    MakeDevice();
    background = std::make_unique<SWbackground>(std::make_unique<SWimage32>("empty", 0, 0, nullptr), 0);
    background->SetColour(0x00102030u);
    device->SetBackground(background.get());
    clearD3D8CallLog();
    EXPECT_TRUE(device->RefreshBuffers()); // an endless tile loop would never come back
    EXPECT_EQ(CountOf("DrawPrimitive"), 0u);
    EXPECT_EQ(CountOf("Clear"), 1u);

    background->SetTexture(SWimage32::SWimage32FromPixels("big", 30, 20, nullptr));
    setD3D8FailurePlan({{{"UpdateTexture", 1}, {"UpdateTexture", 2}, {"UpdateTexture", 3}}});
    clearD3D8CallLog();
    EXPECT_TRUE(device->RefreshBuffers());
    EXPECT_EQ(CountOf("DrawPrimitive"), 0u);
    EXPECT_EQ(CountOf("Clear"), 1u);
}

TEST_F(D3D8Device, AClientAreaOnePixelWiderThanTheBackBufferGetsNoPresent)
{
    MakeDevice(kWidth - 1, kHeight);
    clearD3D8CallLog();
    EXPECT_FALSE(device->Present());
    EXPECT_EQ(CountOf("Present"), 0u);
    EXPECT_TRUE(device->HasDevice()); // not a failure of the device
    ASSERT_TRUE(device->SetSize(kWidth, kHeight));
    EXPECT_TRUE(device->Present());
}

TEST_F(D3D8Device, AFailedPresentDropsTheDeviceAndTheNextRealSizeMakesANewOne)
{
    MakeDevice();
    FailNext("Present");
    EXPECT_FALSE(device->Present());
    EXPECT_FALSE(device->HasDevice());
    EXPECT_EQ(device->Surface()->Device(), nullptr);
    EXPECT_EQ(device->GetWidth(), 0u);
    EXPECT_FALSE(device->Present());
    ASSERT_TRUE(device->SetSize(kWidth, kHeight));
    EXPECT_TRUE(device->Present());
}

class D3D8DeviceRaster : public D3D8Device {
protected:
    void SetUp() override
    {
        config.rasterise = true;
        D3D8Device::SetUp();
    }
};

TEST_F(D3D8DeviceRaster, InterlacedHeightFiveWeavesTheTwoFieldsIntoTheWindow)
{
    MakeDevice(kWidth, 5);
    ASSERT_TRUE(device->SetRenderMode(1));
    const uint32_t colours[5] = {0x000010, 0x000020, 0x000030, 0x000040, 0x000050};
    for (uint32_t row = 0; row < 5; ++row)
        FillRow(row, 0xFF000000u | colours[row]);
    clearD3D8CallLog();
    ASSERT_TRUE(device->Present());
    EXPECT_EQ(CountOf("Present"), 5u); // one row each
    // Window rows 0, 2, 4 come from back-buffer rows 0, 1, 2; rows 1 and 3 from rows 3 and 4.
    const uint32_t fromRow[5] = {0, 3, 1, 4, 2};
    for (int32_t y = 0; y < 5; ++y)
        EXPECT_EQ(WindowPixel(7, y), colours[fromRow[y]]) << "window row " << y;
}

TEST_F(D3D8DeviceRaster, FieldModeReachesTheSurfaceOnlyWhenItChanges)
{
    MakeDevice();
    ASSERT_TRUE(device->SetRenderMode(1));
    EXPECT_EQ(device->Surface()->GetRenderMode(), 1u);
    device->Surface()->SetRenderMode(0);
    EXPECT_TRUE(device->SetRenderMode(1)); // unchanged for the device: not forwarded
    EXPECT_EQ(device->Surface()->GetRenderMode(), 0u);
    EXPECT_TRUE(device->SetRenderMode(0));
    EXPECT_TRUE(device->SetRenderMode(1));
    EXPECT_EQ(device->Surface()->GetRenderMode(), 1u);
}

TEST_F(D3D8DeviceRaster, ReadBackOfEachLockableFormatRefinesTheFrameInTheBackBuffer)
{
    const struct {
        D3DFORMAT format;
        bool sixteen;
    } cases[] = {{D3DFMT_A8R8G8B8, false}, {D3DFMT_X8R8G8B8, false}, {D3DFMT_R5G6B5, true}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.format);
        config.displayFormat = k.format;
        registerDirect3D8StandIn(config);
        MakeDevice();
        device->SetAntialiasing(true);
        device->Surface()->Clear(0xFF000000u);
        FillRow(3, 0xFFFFFFFFu);
        ASSERT_TRUE(device->Present());
        ASSERT_EQ(device->ReadBackFrame().size(), size_t{kWidth} * kHeight * (k.sixteen ? 2 : 4));
        EXPECT_EQ(device->Is16Bit(), k.sixteen);
        EXPECT_EQ(device->Accumulator().GetStep(), 1);
        // Two more frames with the row black again: the accumulator writes back the mean of all three (it shows
        // the mean of the frames before an odd step), a third of white.
        for (int frame = 0; frame < 2; ++frame) {
            device->Surface()->Clear(0xFF000000u);
            ASSERT_TRUE(device->Present());
        }
        const uint32_t mean = WindowPixel(10, 3);
        EXPECT_GT(mean & 0xFF, 0x40u);
        EXPECT_LT(mean & 0xFF, 0x70u);
        EXPECT_EQ(WindowPixel(10, 2), 0u);
        device.reset();
    }
}

TEST_F(D3D8DeviceRaster, MultisampledLevelsReadNothingBack)
{
    config.multiSampleTypes = {D3DMULTISAMPLE_NONE, D3DMULTISAMPLE_4_SAMPLES};
    registerDirect3D8StandIn(config);
    MakeDevice();
    ASSERT_TRUE(device->SetSupersampling(2, 2));
    ASSERT_TRUE(device->HasDevice());
    EXPECT_EQ(device->Surface()->GetPresentParameters().Flags, 0u);
    device->SetAntialiasing(true);
    clearD3D8CallLog();
    ASSERT_TRUE(device->Present());
    EXPECT_EQ(CountOf("GetBackBuffer"), 0u);
    EXPECT_EQ(device->Accumulator().GetStep(), 0);
}

using D3D8Renderer = D3D8Fixture;

TEST_F(D3D8Renderer, FlagTwoMakesTheDirect3DDevicePrimary)
{
    auto renderer = SWrenderdrivers::Get().CreateRenderer(2);
    ASSERT_NE(renderer, nullptr);
    ASSERT_EQ(renderer->GetDeviceCount(), 1u);
    renderer->SetWindow(window->hwnd());
    ASSERT_TRUE(renderer->SelectDevice(kWidth, kHeight));
    auto* d3d = dynamic_cast<SWd3d8device*>(renderer->GetPrimary());
    ASSERT_NE(d3d, nullptr);
    EXPECT_EQ(renderer->GetSurface()->GetId(), SWd3d8surface::kId);
    EXPECT_TRUE(renderer->RefreshBuffers());
    EXPECT_TRUE(renderer->BeginFrame());
    EXPECT_TRUE(renderer->EndFrame());
    EXPECT_TRUE(renderer->Present());
    renderer.reset();
    EXPECT_EQ(d3d8LiveObjects(), 0);
}

TEST_F(D3D8Renderer, FlagsThreeWithAFailingCreateDeviceFallBackToTheWindowDevice)
{
    auto renderer = SWrenderdrivers::Get().CreateRenderer(3);
    ASSERT_NE(renderer, nullptr);
    ASSERT_EQ(renderer->GetDeviceCount(), 2u);
    renderer->SetWindow(window->hwnd());
    FailNext("CreateDevice");
    ASSERT_TRUE(renderer->SelectDevice(kWidth, kHeight));
    EXPECT_NE(dynamic_cast<SWwindowdevice*>(renderer->GetPrimary()), nullptr);
    auto* d3d = dynamic_cast<SWd3d8device*>(renderer->GetDevice(0));
    ASSERT_NE(d3d, nullptr);
    EXPECT_FALSE(d3d->HasDevice());
    EXPECT_EQ(d3d->GetWidth(), 0u);
    EXPECT_TRUE(renderer->RefreshBuffers());
    EXPECT_TRUE(renderer->BeginFrame());
    EXPECT_TRUE(renderer->EndFrame());
    EXPECT_TRUE(renderer->Present());
}

class D3D8RendererRefused : public D3D8Fixture {
protected:
    pf::Direct3D8Config Config() const override
    {
        pf::Direct3D8Config c;
        c.vendorId = 0x5333;
        return c;
    }
};

TEST_F(D3D8RendererRefused, ACardRefusedAtInitLeavesTheWindowDeviceAlone)
{
    auto renderer = SWrenderdrivers::Get().CreateRenderer(3);
    ASSERT_NE(renderer, nullptr);
    ASSERT_EQ(renderer->GetDeviceCount(), 1u);
    EXPECT_NE(dynamic_cast<SWwindowdevice*>(renderer->GetDevice(0)), nullptr);
    EXPECT_EQ(SWrenderdrivers::Get().CreateRenderer(2), nullptr);
}

} // namespace
} // namespace d3d8test
