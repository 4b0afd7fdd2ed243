// The Direct3D 8 stand-in as the renderer's device code meets it: the module's entry point, device creation and
// its failures, state blocks, buffer and texture locks, checked draws, presentation into a window (interlaced
// too), the failure plan and the leak count.
#include "platform/d3d8/direct3d8.h"

#include "platform/base/user_constants.h"
#include "platform/sys/modules.h"
#include "platform/testing/ui_fixture.h"

#include <cstring>

namespace pf {
namespace {

class Direct3D8Test : public UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        clearD3D8CallLog();
        setD3D8FailurePlan({});
        registerDirect3D8StandIn(configFor());
        window = ui().createWindow({"window", "", WS_POPUP | WS_VISIBLE, 0, {100, 100, 100 + kWidth, 100 + kHeight}});
        ui().pump();
        d3d = direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
    }
    void TearDown() override
    {
        if (device != nullptr)
            device->Release();
        d3d->Release();
        EXPECT_EQ(d3d8LiveObjects(), 0);
        setD3D8FailurePlan({});
        unregisterDirect3D8StandIn();
        UiFixture::TearDown();
    }
    virtual Direct3D8Config configFor() const { return {}; }

    HResult createDevice(uint32_t height = kHeight)
    {
        D3DPRESENT_PARAMETERS p;
        p.BackBufferWidth = kWidth;
        p.BackBufferHeight = height;
        p.BackBufferCount = 1;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.Windowed = 1;
        p.EnableAutoDepthStencil = 1;
        p.AutoDepthStencilFormat = D3DFMT_D24X8;
        return d3d->CreateDevice(0, D3DDEVTYPE_HAL, window->hwnd(), D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device);
    }
    IDirect3DVertexBuffer8* vertexBuffer(const std::vector<float>& data)
    {
        IDirect3DVertexBuffer8* vb = nullptr;
        EXPECT_EQ(device->CreateVertexBuffer(static_cast<uint32_t>(data.size() * 4), D3DUSAGE_WRITEONLY, 0,
                                             D3DPOOL_DEFAULT, &vb),
                  D3D_OK);
        uint8_t* bytes = nullptr;
        EXPECT_EQ(vb->Lock(0, 0, &bytes, 0), D3D_OK);
        std::memcpy(bytes, data.data(), data.size() * 4);
        EXPECT_EQ(vb->Unlock(), D3D_OK);
        return vb;
    }
    uint32_t windowPixel(int32_t x, int32_t y)
    {
        const auto surface = ui().surfaceOf(*window);
        const std::lock_guard lock(surface->mutex());
        return surface->pixel(x, y) & 0xFFFFFFu;
    }
    size_t countCalls(const std::string& method)
    {
        size_t n = 0;
        for (const D3D8Call& c : d3d8CallLog())
            n += c.method == method ? 1 : 0;
        return n;
    }

    static constexpr uint32_t kWidth = 8;
    static constexpr uint32_t kHeight = 6;
    Window* window = nullptr;
    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
};

TEST_F(Direct3D8Test, ModuleExportsTheEntryPointWhichTakesOnlySdkVersion120)
{
    const ModuleHandle module = loadLibrary("D3D8.DLL");
    ASSERT_TRUE(module);
    const auto create = reinterpret_cast<Direct3DCreate8Function>(getProcAddress(module, "Direct3DCreate8"));
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(create(119), nullptr);
    IDirect3D8* other = create(120);
    ASSERT_NE(other, nullptr);
    other->Release();
    freeLibrary(module);
    unregisterDirect3D8StandIn();
    EXPECT_FALSE(loadLibrary("d3d8.dll"));
}

TEST_F(Direct3D8Test, DefaultRuntimePassesEveryCreationGateAndReportsTheAdapter)
{
    D3DCAPS8 caps;
    ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_NE(caps.Caps2 & D3DCAPS2_CANRENDERWINDOWED, 0u);
    EXPECT_EQ(caps.RasterCaps & D3DPRASTERCAPS_WBUFFER, 0u);
    EXPECT_NE(caps.TextureOpCaps & D3DTEXOPCAPS_DOTPRODUCT3, 0u);
    EXPECT_EQ(caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY, 0u);
    EXPECT_GE(caps.MaxTextureWidth, 2048u);
    EXPECT_EQ(caps.MaxSimultaneousTextures, 2u);
    D3DADAPTER_IDENTIFIER8 id;
    ASSERT_EQ(d3d->GetAdapterIdentifier(0, 0, &id), D3D_OK);
    EXPECT_EQ(id.VendorId, 0x10DEu);
    EXPECT_EQ(id.DriverVersion & 0xFFFF, 650);
    D3DDISPLAYMODE mode;
    ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(mode.Width, 1280u);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, mode.Format, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8), D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, mode.Format, 0, D3DRTYPE_TEXTURE, D3DFMT_A4R4G4B4),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(
        d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, mode.Format, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D24X8),
        D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, mode.Format, 1, D3DMULTISAMPLE_4_SAMPLES),
              D3DERR_NOTAVAILABLE);
    ASSERT_EQ(createDevice(), D3D_OK);
}

class Direct3D8OtherAdapterTest : public Direct3D8Test {
protected:
    Direct3D8Config configFor() const override
    {
        Direct3D8Config c;
        c.vendorId = 0x1234;
        c.driverBuild = 649;
        c.displayFormat = D3DFMT_R5G6B5;
        c.caps.RasterCaps = D3DPRASTERCAPS_WBUFFER;
        c.multiSampleTypes.insert(D3DMULTISAMPLE_4_SAMPLES);
        return c;
    }
};

TEST_F(Direct3D8OtherAdapterTest, ConfiguredAdapterAnswersWhatTheOtherGateOutcomesNeed)
{
    D3DADAPTER_IDENTIFIER8 id;
    ASSERT_EQ(d3d->GetAdapterIdentifier(0, 0, &id), D3D_OK);
    EXPECT_EQ(id.VendorId, 0x1234u);
    EXPECT_EQ(id.DriverVersion & 0xFFFF, 649);
    D3DCAPS8 caps;
    ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_NE(caps.RasterCaps & D3DPRASTERCAPS_WBUFFER, 0u);
    EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, 1, D3DMULTISAMPLE_4_SAMPLES), D3D_OK);
    ASSERT_EQ(createDevice(), D3D_OK);
    IDirect3DSurface8* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(back->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_R5G6B5); // an unknown back-buffer format is the display's
    D3DLOCKED_RECT locked;
    ASSERT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_NOSYSLOCK), D3D_OK);
    EXPECT_EQ(locked.Pitch, 16);
    EXPECT_EQ(back->UnlockRect(), D3D_OK);
    back->Release();
}

TEST_F(Direct3D8Test, StateBlockRecordsWithoutApplyingAndApplyReplaysThroughTheSetters)
{
    ASSERT_EQ(createDevice(), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(device->BeginStateBlock(), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS), D3D_OK);
    ASSERT_EQ(device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD), D3D_OK);
    uint32_t token = 0;
    ASSERT_EQ(device->EndStateBlock(&token), D3D_OK);
    EXPECT_EQ(device->ApplyStateBlock(token + 1), D3DERR_INVALIDCALL);

    // Recording changed nothing: a draw now still sees the defaults.
    IDirect3DVertexBuffer8* vb = vertexBuffer({0, 0, 0, 1, 4, 0, 0, 1, 0, 4, 0, 1});
    ASSERT_EQ(device->SetStreamSource(0, vb, 16), D3D_OK);
    ASSERT_EQ(device->SetVertexShader(D3DFVF_XYZRHW), D3D_OK);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    clearD3D8CallLog();
    ASSERT_EQ(device->ApplyStateBlock(token), D3D_OK);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    const std::vector<D3D8Call> log = d3d8CallLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(formatD3D8Call(log[0]), "ApplyStateBlock(" + std::to_string(token) + ") = 0");
    EXPECT_EQ(formatD3D8Call(log[1]), "SetRenderState(23, 8) = 0");
    EXPECT_EQ(formatD3D8Call(log[2]), "SetTextureStageState(1, 1, 7) = 0");
    const std::vector<DrawRecord> draws = d3d8Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].state.renderStates[D3DRS_ZFUNC], D3DCMP_ALWAYS);
    EXPECT_EQ(draws[0].state.stageStates[1][D3DTSS_COLOROP], D3DTOP_ADD);
    EXPECT_EQ(draws[0].vertices.size(), 48u);

    ASSERT_EQ(device->DeleteStateBlock(token), D3D_OK);
    EXPECT_EQ(device->ApplyStateBlock(token), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    ASSERT_EQ(device->SetStreamSource(0, nullptr, 0), D3D_OK);
    vb->Release();
}

TEST_F(Direct3D8Test, DiscardGivesFreshZeroedBytesAndUpdateTextureCopiesSystemMemoryIntoTheDefaultPool)
{
    ASSERT_EQ(createDevice(), D3D_OK);
    IDirect3DVertexBuffer8* vb = vertexBuffer({1, 2, 3, 4});
    uint8_t* bytes = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &bytes, D3DLOCK_DISCARD), D3D_OK);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 16), std::vector<uint8_t>(16, 0));
    EXPECT_EQ(vb->Lock(0, 0, &bytes, 0), D3DERR_INVALIDCALL); // already locked
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Lock(8, 9, &bytes, 0), D3DERR_INVALIDCALL); // past the end
    vb->Release();

    IDirect3DTexture8* staging = nullptr;
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &staging), D3D_OK);
    ASSERT_EQ(device->CreateTexture(4, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(staging->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 16);
    static_cast<uint32_t*>(locked.pBits)[5] = 0x11223344u;
    ASSERT_EQ(staging->UnlockRect(0), D3D_OK);
    EXPECT_EQ(device->UpdateTexture(texture, staging), D3DERR_INVALIDCALL); // the pools the wrong way round
    ASSERT_EQ(device->UpdateTexture(staging, texture), D3D_OK);
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[5], 0x11223344u);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    IDirect3DTexture8* tooWide = nullptr;
    EXPECT_EQ(device->CreateTexture(4096, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &tooWide), D3DERR_INVALIDCALL);
    EXPECT_EQ(tooWide, nullptr);
    staging->Release();
    texture->Release();
}

TEST_F(Direct3D8Test, DrawsAreCheckedBeforeAnyByteIsReadAndRefusedDrawsAreLoggedButNotRecorded)
{
    ASSERT_EQ(createDevice(), D3D_OK);
    IDirect3DVertexBuffer8* vb = vertexBuffer({0, 0, 0, 1, 4, 0, 0, 1, 0, 4, 0, 1});
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(6, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib), D3D_OK);
    uint8_t* bytes = nullptr;
    ASSERT_EQ(ib->Lock(0, 0, &bytes, 0), D3D_OK);
    const uint16_t indices[3] = {0, 1, 3};
    std::memcpy(bytes, indices, 6);
    ASSERT_EQ(ib->Unlock(), D3D_OK);

    ASSERT_EQ(device->SetStreamSource(0, vb, 16), D3D_OK);
    ASSERT_EQ(device->SetVertexShader(D3DFVF_XYZRHW), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL); // outside a scene
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 1), D3DERR_INVALIDCALL);  // one vertex past the end
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL); // needs four
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0xFFFFFFFFu, 0x7FFFFFFFu), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(99, 0, 1), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE), D3D_OK); // 20 bytes on a 16-byte stride
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_NORMAL | 0x1000), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->SetVertexShader(D3DFVF_XYZRHW), D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 1), D3DERR_INVALIDCALL); // no indices
    ASSERT_EQ(device->SetIndices(ib, 0), D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 1), D3DERR_INVALIDCALL); // index 3 >= 3
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 1), D3DERR_INVALIDCALL); // vertex 3 absent
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 1, 1), D3DERR_INVALIDCALL); // 4 indices past
    EXPECT_TRUE(d3d8Draws().empty());
    EXPECT_EQ(countCalls("DrawPrimitive"), 7u);
    EXPECT_EQ(countCalls("DrawIndexedPrimitive"), 4u);
    ASSERT_EQ(device->SetIndices(ib, 0), D3D_OK);
    ASSERT_EQ(ib->Lock(4, 2, &bytes, 0), D3D_OK);
    const uint16_t two = 2;
    std::memcpy(bytes, &two, 2);
    ASSERT_EQ(ib->Unlock(), D3D_OK);
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 1), D3D_OK);
    ASSERT_EQ(d3d8Draws().size(), 1u);
    EXPECT_EQ(d3d8Draws()[0].indices.size(), 6u);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    ASSERT_EQ(device->SetIndices(nullptr, 0), D3D_OK);
    ASSERT_EQ(device->SetStreamSource(0, nullptr, 0), D3D_OK);
    ib->Release();
    vb->Release();
}

TEST_F(Direct3D8Test, PresentCopiesTheBackBufferIntoTheFocusWindowAndOneRowRectanglesInterlace)
{
    constexpr uint32_t kRows = 5;
    ASSERT_EQ(createDevice(kRows), D3D_OK);
    IDirect3DSurface8* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(back->LockRect(&locked, nullptr, 0), D3D_OK);
    for (uint32_t y = 0; y < kRows; ++y)
        for (uint32_t x = 0; x < kWidth; ++x)
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch)[x] =
                0x100000u * (y + 1) + x;
    ASSERT_EQ(back->UnlockRect(), D3D_OK);
    back->Release();

    const uint32_t below = windowPixel(0, kRows);
    // The even field sits in the top (height + 1) / 2 rows, the odd field below them.
    for (uint32_t y = 0; y < kRows; y += 2) {
        const Rect evenSrc{0, static_cast<int32_t>(y / 2), kWidth, static_cast<int32_t>(y / 2 + 1)};
        const Rect evenDst{0, static_cast<int32_t>(y), kWidth, static_cast<int32_t>(y + 1)};
        ASSERT_EQ(device->Present(&evenSrc, &evenDst, kNoWindow, nullptr), D3D_OK);
        if (y + 1 < kRows) {
            const int32_t odd = static_cast<int32_t>((kRows + 1) / 2 + y / 2);
            const Rect oddSrc{0, odd, kWidth, odd + 1};
            const Rect oddDst{0, static_cast<int32_t>(y + 1), kWidth, static_cast<int32_t>(y + 2)};
            ASSERT_EQ(device->Present(&oddSrc, &oddDst, kNoWindow, nullptr), D3D_OK);
        }
    }
    const uint32_t fromRow[kRows] = {0, 3, 1, 4, 2};
    for (uint32_t y = 0; y < kRows; ++y)
        for (int32_t x = 0; x < static_cast<int32_t>(kWidth); ++x)
            ASSERT_EQ(windowPixel(x, static_cast<int32_t>(y)), 0x100000u * (fromRow[y] + 1) + x) << x << "," << y;
    EXPECT_EQ(windowPixel(0, kRows), below) << "the row below the back buffer is not written";

    // The whole frame goes to a client area of the back buffer's size.
    ASSERT_TRUE(window->setPos(kNoWindow, {100, 100, 100 + kWidth, 100 + kRows}, SWP_NOZORDER));
    ASSERT_EQ(device->Present(nullptr, nullptr, kNoWindow, nullptr), D3D_OK);
    for (uint32_t y = 0; y < kRows; ++y)
        EXPECT_EQ(windowPixel(3, static_cast<int32_t>(y)), 0x100000u * (y + 1) + 3);
    const Rect outside{0, 4, kWidth, 6};
    EXPECT_EQ(device->Present(&outside, nullptr, kNoWindow, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(Direct3D8Test, FailurePlanFailsTheChosenCallsOnceEachWithTheirResults)
{
    setD3D8FailurePlan({{{"CreateDevice", 1, D3DERR_NOTAVAILABLE},
                         {"CreateTexture", 1, D3DERR_OUTOFVIDEOMEMORY},
                         {"CreateTexture", 2, D3DERR_OUTOFVIDEOMEMORY},
                         {"Present", 2, D3DERR_DEVICELOST},
                         {"Clear", 1, D3DERR_INVALIDCALL}}});
    EXPECT_EQ(createDevice(), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device, nullptr);
    ASSERT_EQ(createDevice(), D3D_OK);
    // The texture upload's three attempts: two fail, the third succeeds.
    IDirect3DTexture8* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture), D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture), D3DERR_OUTOFVIDEOMEMORY);
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture), D3D_OK);
    texture->Release();
    EXPECT_EQ(device->Present(nullptr, nullptr, kNoWindow, nullptr), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, kNoWindow, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device->Present(nullptr, nullptr, kNoWindow, nullptr), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    const std::vector<D3D8Call> log = d3d8CallLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(formatD3D8Call(log[log.size() - 2]), "Clear(0, 0, 1, 0, 1, 0) = " + std::to_string(D3DERR_INVALIDCALL));
}

TEST_F(Direct3D8Test, BoundObjectsLiveUntilUnboundAndAWholeDeviceLifeLeaksNoReference)
{
    ASSERT_EQ(createDevice(), D3D_OK);
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(2, 2, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &texture), D3D_OK);
    IDirect3DVertexBuffer8* vb = vertexBuffer({0, 0, 0, 1});
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    ASSERT_EQ(device->SetStreamSource(0, vb, 16), D3D_OK);
    ASSERT_EQ(device->BeginStateBlock(), D3D_OK);
    ASSERT_EQ(device->SetTexture(1, texture), D3D_OK);
    uint32_t token = 0;
    ASSERT_EQ(device->EndStateBlock(&token), D3D_OK);
    const int live = d3d8LiveObjects();
    EXPECT_EQ(texture->Release(), 2u); // the device and the state block hold it
    EXPECT_EQ(vb->Release(), 1u);
    EXPECT_EQ(d3d8LiveObjects(), live);
    ASSERT_EQ(device->SetStreamSource(0, nullptr, 0), D3D_OK);
    EXPECT_EQ(d3d8LiveObjects(), live - 1);
    EXPECT_EQ(device->Release(), 0u); // the device lets go of the texture and the state block's copy
    device = nullptr;
    EXPECT_EQ(d3d8LiveObjects(), 1); // the runtime alone; TearDown checks it goes too
}

class Direct3D8FilledTest : public Direct3D8Test {
protected:
    Direct3D8Config configFor() const override
    {
        Direct3D8Config c;
        c.newResourceFill = 0xA5;
        return c;
    }
};

TEST_F(Direct3D8FilledTest, NewTexturesAndBuffersStartWithTheFillByteSoThatUnwrittenBytesShow)
{
    ASSERT_EQ(createDevice(), D3D_OK);
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &texture), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    const auto* texels = static_cast<const uint8_t*>(locked.pBits);
    for (int i = 0; i < 4 * 4; ++i)
        EXPECT_EQ(texels[i], 0xA5) << i;
    texture->UnlockRect(0);
    texture->Release();

    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(16, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &vb), D3D_OK);
    uint8_t* bytes = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &bytes, 0), D3D_OK);
    EXPECT_EQ(bytes[0], 0xA5);
    EXPECT_EQ(bytes[15], 0xA5);
    vb->Unlock();
    ASSERT_EQ(vb->Lock(0, 0, &bytes, D3DLOCK_DISCARD), D3D_OK); // discarding still gives fresh zeroed bytes
    EXPECT_EQ(bytes[15], 0);
    vb->Unlock();
    vb->Release();
}

} // namespace
} // namespace pf
