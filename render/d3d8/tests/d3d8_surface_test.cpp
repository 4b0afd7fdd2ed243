// The Direct3D 8 surface against the stand-in: which cards qualify, device creation with its formats, flags and
// initial states, the wait before a device is made again, the buffer caches and the format list.
#include "render/d3d8/d3d8_surface.h"

#include <functional>

#include "render/d3d8/d3d8_buffers.h"
#include "render/d3d8/tests/d3d8_fixture.h"

namespace d3d8test {
namespace {

using namespace pf;

class D3D8SurfaceInit : public D3D8Fixture {
protected:
    Direct3D8Config Config() const override { return config; }
    void Reconfigure(const Direct3D8Config& c)
    {
        config = c;
        registerDirect3D8StandIn(c);
    }
    bool InitWith(const Direct3D8Config& c)
    {
        Reconfigure(c);
        surface = std::make_unique<SWd3d8surface>();
        return surface->Init();
    }

    Direct3D8Config config;
};

TEST_F(D3D8SurfaceInit, EachRequiredCapabilityRemovedRefusesTheCard)
{
    const D3DCAPS8 full = Direct3D8Config::defaultCaps();
    const std::vector<std::pair<const char*, std::function<void(D3DCAPS8&)>>> removals = {
        {"windowed", [](D3DCAPS8& c) { c.Caps2 = 0; }},
        {"hardware rasterisation", [](D3DCAPS8& c) { c.DevCaps = 0; }},
        {"z equal", [](D3DCAPS8& c) { c.ZCmpCaps &= ~D3DPCMPCAPS_EQUAL; }},
        {"z less-equal", [](D3DCAPS8& c) { c.ZCmpCaps &= ~D3DPCMPCAPS_LESSEQUAL; }},
        {"z greater-equal", [](D3DCAPS8& c) { c.ZCmpCaps &= ~D3DPCMPCAPS_GREATEREQUAL; }},
        {"z always", [](D3DCAPS8& c) { c.ZCmpCaps &= ~D3DPCMPCAPS_ALWAYS; }},
        {"colour gouraud", [](D3DCAPS8& c) { c.ShadeCaps &= ~D3DPSHADECAPS_COLORGOURAUDRGB; }},
        {"specular gouraud", [](D3DCAPS8& c) { c.ShadeCaps &= ~D3DPSHADECAPS_SPECULARGOURAUDRGB; }},
        {"alpha gouraud", [](D3DCAPS8& c) { c.ShadeCaps &= ~D3DPSHADECAPS_ALPHAGOURAUDBLEND; }},
        {"fog gouraud", [](D3DCAPS8& c) { c.ShadeCaps &= ~D3DPSHADECAPS_FOGGOURAUD; }},
        {"perspective", [](D3DCAPS8& c) { c.TextureCaps &= ~D3DPTEXTURECAPS_PERSPECTIVE; }},
        {"texture alpha", [](D3DCAPS8& c) { c.TextureCaps &= ~D3DPTEXTURECAPS_ALPHA; }},
        {"square only", [](D3DCAPS8& c) { c.TextureCaps |= D3DPTEXTURECAPS_SQUAREONLY; }},
        {"min point", [](D3DCAPS8& c) { c.TextureFilterCaps &= ~D3DPTFILTERCAPS_MINFPOINT; }},
        {"min linear", [](D3DCAPS8& c) { c.TextureFilterCaps &= ~D3DPTFILTERCAPS_MINFLINEAR; }},
        {"mag point", [](D3DCAPS8& c) { c.TextureFilterCaps &= ~D3DPTFILTERCAPS_MAGFPOINT; }},
        {"mag linear", [](D3DCAPS8& c) { c.TextureFilterCaps &= ~D3DPTFILTERCAPS_MAGFLINEAR; }},
        {"wrap", [](D3DCAPS8& c) { c.TextureAddressCaps &= ~D3DPTADDRESSCAPS_WRAP; }},
        {"clamp", [](D3DCAPS8& c) { c.TextureAddressCaps &= ~D3DPTADDRESSCAPS_CLAMP; }},
        {"independent uv", [](D3DCAPS8& c) { c.TextureAddressCaps &= ~D3DPTADDRESSCAPS_INDEPENDENTUV; }},
        {"width 2047", [](D3DCAPS8& c) { c.MaxTextureWidth = 2047; }},
        {"height 2047", [](D3DCAPS8& c) { c.MaxTextureHeight = 2047; }},
        {"disable", [](D3DCAPS8& c) { c.TextureOpCaps &= ~D3DTEXOPCAPS_DISABLE; }},
        {"select", [](D3DCAPS8& c) { c.TextureOpCaps &= ~D3DTEXOPCAPS_SELECTARG1; }},
        {"modulate", [](D3DCAPS8& c) { c.TextureOpCaps &= ~D3DTEXOPCAPS_MODULATE; }},
        {"add", [](D3DCAPS8& c) { c.TextureOpCaps &= ~D3DTEXOPCAPS_ADD; }},
        {"one stage", [](D3DCAPS8& c) { c.MaxTextureBlendStages = 1; }},
        {"one texture", [](D3DCAPS8& c) { c.MaxSimultaneousTextures = 1; }},
    };
    for (const auto& [name, remove] : removals) {
        SCOPED_TRACE(name);
        Direct3D8Config c;
        c.caps = full;
        remove(c.caps);
        EXPECT_FALSE(InitWith(c));
        EXPECT_FALSE(surface->IsInitialised());
    }
    Direct3D8Config c;
    c.caps = full;
    EXPECT_TRUE(InitWith(c)); // the control: nothing removed
}

TEST_F(D3D8SurfaceInit, WBufferingAndDotProductCapsSetTheirModes)
{
    Direct3D8Config c;
    c.caps.RasterCaps |= D3DPRASTERCAPS_WBUFFER;
    c.caps.MaxSimultaneousTextures = 4;
    ASSERT_TRUE(InitWith(c));
    EXPECT_EQ(surface->GetZBufferMode(), D3DZB_USEW);
    EXPECT_TRUE(surface->TakesDot3());
    EXPECT_EQ(surface->GetMaxSimultaneousTextures(), 4u);

    c = {};
    c.caps.TextureOpCaps &= ~D3DTEXOPCAPS_DOTPRODUCT3;
    ASSERT_TRUE(InitWith(c));
    EXPECT_EQ(surface->GetZBufferMode(), D3DZB_TRUE);
    EXPECT_FALSE(surface->TakesDot3());
}

TEST_F(D3D8SurfaceInit, VendorAndDriverBuildDecideTheCard)
{
    const struct {
        uint32_t vendor;
        uint32_t build;
        bool accepted;
    } cases[] = {
        {0x1002, 1, true}, {0x10DE, 650, true}, {0x10DE, 649, false}, {0x8086, 9999, false}, {0x10DE, 0x1FFFF, false},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << k.vendor << " build " << std::dec << k.build);
        Direct3D8Config c;
        c.vendorId = k.vendor;
        c.driverBuild = k.build; // only the low 16 bits reach the card's version: 0x1FFFF reads as build 65535...
        if (k.build == 0x1FFFF)
            c.driverBuild = 0x10000 | 100; // ...so this one reads as build 100
        EXPECT_EQ(InitWith(c), k.accepted);
    }
}

TEST_F(D3D8SurfaceInit, MissingRuntimeOrFailingQueriesRefuseAndASecondInitMayTryAgain)
{
    unregisterDirect3D8StandIn();
    SWrenderdrivers::Get().Shutdown();
    SWrenderdrivers::Get().Init();
    surface = std::make_unique<SWd3d8surface>();
    EXPECT_FALSE(surface->Init()); // no "d3d8.dll": no runtime object

    Reconfigure({});
    SWrenderdrivers::Get().Shutdown();
    SWrenderdrivers::Get().Init();
    for (const char* method : {"GetDeviceCaps", "GetAdapterDisplayMode", "GetAdapterIdentifier"}) {
        SCOPED_TRACE(method);
        surface = std::make_unique<SWd3d8surface>();
        FailNext(method);
        EXPECT_FALSE(surface->Init());
        EXPECT_TRUE(surface->Init()); // a failed first call leaves the surface free to try again
        EXPECT_TRUE(surface->Init());
    }
}

TEST_F(D3D8SurfaceInit, FormatListHoldsWhatTheCardAcceptsInTableOrder)
{
    Direct3D8Config c;
    c.textureFormats = {D3DFMT_A4R4G4B4, D3DFMT_A8R8G8B8, D3DFMT_R8G8B8};
    ASSERT_TRUE(InitWith(c));
    const auto& formats = surface->GetTextureFormats();
    ASSERT_EQ(formats.size(), 3u);
    EXPECT_EQ(formats[0].format, D3DFMT_R8G8B8);
    EXPECT_EQ(formats[1].format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(formats[2].format, D3DFMT_A4R4G4B4);
    EXPECT_EQ(surface->FindFormat(8, 8, 8, 8), D3DFMT_A8R8G8B8);
    EXPECT_EQ(surface->FindFormat(8, 8, 8, 0), D3DFMT_R8G8B8);
    EXPECT_EQ(surface->FindFormat(8, 8, 8, -8), D3DFMT_UNKNOWN); // X8R8G8B8 was not accepted
}

using D3D8SurfaceDevice = D3D8Fixture;

TEST_F(D3D8SurfaceDevice, ZeroSideReleasesTheDeviceAndAnswersTrue)
{
    MakeSurface();
    ASSERT_NE(surface->Device(), nullptr);
    EXPECT_TRUE(surface->Resize(0, kHeight));
    EXPECT_EQ(surface->Device(), nullptr);
    EXPECT_EQ(d3d8LiveObjects(), 1); // the runtime object alone
    EXPECT_FALSE(surface->BeginFrame());
    EXPECT_FALSE(surface->EndFrame());
    EXPECT_TRUE(surface->Clear(0));
    EXPECT_TRUE(surface->ClearDepth());
}

TEST_F(D3D8SurfaceDevice, InitialStatesFollowCreationInTheirOrder)
{
    MakeSurface();
    std::vector<std::string> seen;
    bool afterCreate = false;
    for (const D3D8Call& call : d3d8CallLog()) {
        afterCreate = afterCreate || call.method == "CreateDevice";
        if (afterCreate && call.method != "CreateDevice")
            seen.push_back(formatD3D8Call(call));
    }
    std::vector<std::string> expected = {"SetViewport(1) = 0", "BeginScene() = 0"};
    const std::pair<int, int> states[] = {{26, 1}, {22, 3}, {7, 1}, {30, 1}, {14, 1}, {23, 4},  {19, 2},
                                          {20, 1}, {29, 1}, {8, 3}, {9, 2},  {27, 1}, {136, 0}, {137, 0}};
    for (const auto& [state, value] : states)
        expected.push_back("SetRenderState(" + std::to_string(state) + ", " + std::to_string(value) + ") = 0");
    for (int wrap = 128; wrap <= 135; ++wrap)
        expected.push_back("SetRenderState(" + std::to_string(wrap) + ", 0) = 0");
    for (int stage = 0; stage < 8; ++stage)
        expected.push_back("SetTextureStageState(" + std::to_string(stage) + ", 18, 0) = 0");
    expected.push_back("SetTransform(256, 1) = 0");
    expected.push_back("SetTransform(2, 1) = 0");
    expected.push_back("EndScene() = 0");
    EXPECT_EQ(seen, expected);
    const D3D8Call create = CallsNamed("CreateDevice").at(0);
    EXPECT_EQ(create.args[3], double(D3DCREATE_SOFTWARE_VERTEXPROCESSING));
    EXPECT_EQ(surface->GetPresentParameters().AutoDepthStencilFormat, D3DFMT_D24X8);
    EXPECT_EQ(surface->GetPresentParameters().Flags, D3DPRESENTFLAG_LOCKABLE_BACKBUFFER);
    EXPECT_EQ(surface->GetPresentParameters().MultiSampleType, D3DMULTISAMPLE_NONE);
}

TEST_F(D3D8SurfaceDevice, SecondSizeWaitsOnTheClockBeforeTheOldDeviceGoes)
{
    MakeSurface();
    const uint32_t before = virtualClock().nowMs();
    ASSERT_TRUE(surface->Resize(kWidth, kHeight - 8));
    EXPECT_EQ(virtualClock().nowMs() - before, 100u);
    ASSERT_TRUE(surface->Resize(0, 0));
    EXPECT_EQ(virtualClock().nowMs() - before, 200u);
    ASSERT_TRUE(surface->Resize(kWidth, kHeight)); // no device to let go of: no wait
    EXPECT_EQ(virtualClock().nowMs() - before, 200u);
}

TEST_F(D3D8SurfaceDevice, FailingCreateDeviceLeavesNoDeviceAndDrawingFails)
{
    surface = std::make_unique<SWd3d8surface>();
    surface->SetWindow(window->hwnd());
    ASSERT_TRUE(surface->Init());
    FailNext("CreateDevice");
    EXPECT_FALSE(surface->Resize(kWidth, kHeight));
    EXPECT_EQ(surface->Device(), nullptr);
    EXPECT_EQ(surface->GetDrawer(), nullptr);
    EXPECT_FALSE(surface->BeginFrame());
    EXPECT_FALSE(surface->Draw(nullptr, nullptr, nullptr));
    EXPECT_TRUE(surface->Clear(0x123456));
    EXPECT_EQ(surface->GetScreenVertexBuffer(0, 3), nullptr);
    EXPECT_TRUE(surface->Resize(kWidth, kHeight)); // the next real size makes a device
    EXPECT_NE(surface->Device(), nullptr);
}

class D3D8SurfaceFormats : public D3D8Fixture {
protected:
    Direct3D8Config Config() const override { return config; }
    Direct3D8Config config;
};

TEST_F(D3D8SurfaceFormats, DepthFallsBackToD16AndNoneRefuses)
{
    config.depthFormats = {D3DFMT_D16};
    registerDirect3D8StandIn(config);
    MakeSurface();
    EXPECT_EQ(surface->GetPresentParameters().AutoDepthStencilFormat, D3DFMT_D16);
    config.depthFormats = {};
    registerDirect3D8StandIn(config);
    EXPECT_FALSE(surface->Resize(kWidth, kHeight - 2));
    EXPECT_EQ(surface->Device(), nullptr);
}

TEST_F(D3D8SurfaceFormats, LevelTwoAsksForFourSamplesForBothFormatsAndDropsTheLockableFlag)
{
    config.multiSampleTypes = {D3DMULTISAMPLE_NONE, D3DMULTISAMPLE_4_SAMPLES};
    registerDirect3D8StandIn(config);
    surface = std::make_unique<SWd3d8surface>();
    surface->SetWindow(window->hwnd());
    ASSERT_TRUE(surface->Init());
    ASSERT_TRUE(surface->SetSupersampling(2, 2));
    clearD3D8CallLog();
    ASSERT_TRUE(surface->Resize(kWidth, kHeight));
    const auto checks = CallsNamed("CheckDeviceMultiSampleType");
    ASSERT_EQ(checks.size(), 2u);
    EXPECT_EQ(checks[0].args[2], double(D3DFMT_X8R8G8B8));
    EXPECT_EQ(checks[1].args[2], double(D3DFMT_D24X8));
    EXPECT_EQ(checks[0].args[4], 4.0);
    EXPECT_EQ(surface->GetPresentParameters().Flags, 0u);
    EXPECT_EQ(surface->GetPresentParameters().MultiSampleType, D3DMULTISAMPLE_4_SAMPLES);

    config.multiSampleTypes = {D3DMULTISAMPLE_NONE};
    registerDirect3D8StandIn(config);
    EXPECT_FALSE(surface->Resize(kWidth, kHeight - 2)); // the card cannot take 4 samples
}

using D3D8SurfaceCaches = D3D8Fixture;

TEST_F(D3D8SurfaceCaches, ThreeEntriesRotatePerSetCountAndEachAnswerCarriesAReference)
{
    MakeSurface();
    SWd3d8vertexbuffer* got[4] = {};
    for (auto& b : got)
        b = surface->GetScreenVertexBuffer(1, 10);
    EXPECT_NE(got[0], got[1]);
    EXPECT_NE(got[1], got[2]);
    EXPECT_EQ(got[3], got[0]); // the fourth request is the first entry again
    SWd3d8vertexbuffer* other = surface->GetScreenVertexBuffer(2, 10);
    EXPECT_NE(other, got[1]); // another set count has its own rotation
    EXPECT_EQ(other->GetStrideBytes(), 40u);
    EXPECT_EQ(other->GetFvf(), D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2);
    const auto creates = CallsNamed("CreateVertexBuffer");
    ASSERT_EQ(creates.size(), 4u);
    EXPECT_EQ(creates[0].args[0], 10.0 * 32);
    EXPECT_EQ(creates[0].args[1], double(D3DUSAGE_WRITEONLY | D3DUSAGE_DONOTCLIP | D3DUSAGE_DYNAMIC));
    for (auto* b : got)
        b->Release();
    other->Release();
    EXPECT_EQ(surface->CachedBufferCount(), 4u); // the caches keep theirs
}

TEST_F(D3D8SurfaceCaches, ALargerRequestReleasesEveryCachedBufferFirstAndIndexBuffersGetHeadroom)
{
    MakeSurface();
    SWd3d8indexbuffer* index = surface->GetIndexBuffer(30);
    EXPECT_EQ(index->GetCapacity(), 30u + 1024u);
    for (int i = 0; i < 3; ++i)
        surface->GetScreenVertexBuffer(0, 10)->Release();
    EXPECT_EQ(surface->CachedBufferCount(), 4u);
    // The rotation comes back to the first entry, whose buffer is too small: everything cached goes first.
    SWd3d8vertexbuffer* big = surface->GetScreenVertexBuffer(0, 100);
    EXPECT_EQ(big->GetCapacity(), 100u);
    EXPECT_EQ(surface->CachedBufferCount(), 1u);
    // The index buffer handed out still works: releasing dropped the cache's reference only.
    EXPECT_NE(index->Lock(0), nullptr);
    index->Unlock();
    index->Release();
    big->Release();
}

TEST_F(D3D8SurfaceCaches, AnEntryUnusedForAFrameForgetsItsCapacityAndTheCachesEmpty)
{
    MakeSurface();
    surface->GetScreenVertexBuffer(0, 500)->Release();
    ASSERT_TRUE(surface->BeginFrame());
    surface->GetScreenVertexBuffer(1, 10)->Release(); // entry 0 of set count 0 is not used this frame
    ASSERT_TRUE(surface->EndFrame());
    EXPECT_EQ(surface->CachedBufferCount(), 0u);
    // Its remembered capacity is gone: a small request makes a small buffer again, and a frame that uses every
    // entry holding a buffer keeps them all.
    ASSERT_TRUE(surface->BeginFrame());
    SWd3d8vertexbuffer* again = surface->GetScreenVertexBuffer(0, 10);
    EXPECT_EQ(again->GetCapacity(), 10u);
    again->Release();
    surface->GetScreenVertexBuffer(0, 10)->Release();
    surface->GetScreenVertexBuffer(0, 10)->Release();
    ASSERT_TRUE(surface->EndFrame());
    EXPECT_EQ(surface->CachedBufferCount(), 3u);
}

TEST_F(D3D8SurfaceCaches, SetCountsOutsideTheFourLayoutsGetNoBuffer)
{
    MakeSurface();
    EXPECT_EQ(surface->GetScreenVertexBuffer(4, 10), nullptr);
    EXPECT_EQ(surface->GetWorldVertexBuffer(0xFFFFFFFFu, 10), nullptr);
    EXPECT_EQ(surface->GetVertexScratch(7, 10), nullptr);
    SWd3d8vertexbuffer* world = surface->GetWorldVertexBuffer(3, 5);
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(world->GetStrideBytes(), 44u);
    world->Release();
}

} // namespace
} // namespace d3d8test
