#include "render/d3d8/d3d8_surface.h"

#include <new>

#include "engine/core/matrix.h"
#include "platform/base/result.h"
#include "platform/d3d8/device_state.h"
#include "platform/time/clock.h"
#include "render/d3d8/d3d8_buffers.h"
#include "render/d3d8/d3d8_drawer.h"
#include "render/mesh/clipper.h"
#include "render/render_camera.h"
#include "render/render_drivers.h"

namespace {

using namespace pf;

const SWrendercamera kDefaultCamera;

constexpr uint32_t kNvidia = 0x10DE;
constexpr uint32_t kAti = 0x1002;
constexpr uint32_t kLeastNvidiaBuild = 650;

constexpr SWd3d8surface::TextureFormat kTriedFormats[] = {
    {D3DFMT_R8G8B8, 8, 8, 8, 0},   {D3DFMT_X8R8G8B8, 8, 8, 8, -8}, {D3DFMT_A8R8G8B8, 8, 8, 8, 8},
    {D3DFMT_R5G6B5, 5, 6, 5, 0},   {D3DFMT_X1R5G5B5, 5, 5, 5, -1}, {D3DFMT_A1R5G5B5, 5, 5, 5, 1},
    {D3DFMT_A4R4G4B4, 4, 4, 4, 4},
};

bool HasAll(uint32_t bits, uint32_t wanted)
{
    return (bits & wanted) == wanted;
}

template <class T> void ReleaseCom(T*& object)
{
    if (object != nullptr)
        object->Release();
    object = nullptr;
}

} // namespace

SWd3d8surface::SWd3d8surface()
{
    m_present.BackBufferCount = 1;
    m_present.SwapEffect = D3DSWAPEFFECT_DISCARD;
    m_present.Windowed = 1;
    m_present.EnableAutoDepthStencil = 1;
    SetTextureOwner(this);
}

SWd3d8surface::~SWd3d8surface()
{
    FreeDirectDraws();
    m_queue.Clear();
    m_drawer.reset();
    SWtexturemanager::Clear();
    ReleaseCachedBuffers();
    ReleaseCom(m_device);
    ReleaseCom(m_direct3D);
}

bool SWd3d8surface::HasRequiredCaps(const D3DCAPS8& c) const
{
    return HasAll(c.Caps2, D3DCAPS2_CANRENDERWINDOWED) && HasAll(c.DevCaps, D3DDEVCAPS_HWRASTERIZATION) &&
           HasAll(c.ZCmpCaps,
                  D3DPCMPCAPS_EQUAL | D3DPCMPCAPS_LESSEQUAL | D3DPCMPCAPS_GREATEREQUAL | D3DPCMPCAPS_ALWAYS) &&
           HasAll(c.ShadeCaps, D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARGOURAUDRGB |
                                   D3DPSHADECAPS_ALPHAGOURAUDBLEND | D3DPSHADECAPS_FOGGOURAUD) &&
           HasAll(c.TextureCaps, D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA) &&
           (c.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) == 0 &&
           HasAll(c.TextureFilterCaps, D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                                           D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR) &&
           HasAll(c.TextureAddressCaps,
                  D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_INDEPENDENTUV) &&
           c.MaxTextureWidth >= kLeastTextureSide && c.MaxTextureHeight >= kLeastTextureSide &&
           HasAll(c.TextureOpCaps,
                  D3DTEXOPCAPS_DISABLE | D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_MODULATE | D3DTEXOPCAPS_ADD) &&
           c.MaxTextureBlendStages >= 2 && c.MaxSimultaneousTextures >= 2;
}

bool SWd3d8surface::Init()
{
    if (m_initialised)
        return true;
    if (m_direct3D == nullptr)
        m_direct3D = SWrenderdrivers::Get().CreateDirect3D(D3D_SDK_VERSION);
    if (m_direct3D == nullptr)
        return false;
    if (!succeeded(m_direct3D->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &m_caps)) || !HasRequiredCaps(m_caps))
        return false;
    m_zBufferMode = (m_caps.RasterCaps & D3DPRASTERCAPS_WBUFFER) != 0 ? D3DZB_USEW : D3DZB_TRUE;
    m_dot3 = (m_caps.TextureOpCaps & D3DTEXOPCAPS_DOTPRODUCT3) != 0;
    m_maxSimultaneousTextures = m_caps.MaxSimultaneousTextures;
    if (GetClipper() == nullptr) {
        std::unique_ptr<SWclipper> clipper(new (std::nothrow) SWclipper);
        if (clipper == nullptr)
            return false;
        SetClipper(std::move(clipper));
    }
    D3DDISPLAYMODE mode;
    if (!succeeded(m_direct3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode)))
        return false;
    BuildFormatList(mode.Format);
    D3DADAPTER_IDENTIFIER8 identifier;
    if (!succeeded(m_direct3D->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &identifier)))
        return false;
    m_driverBuild = static_cast<uint32_t>(identifier.DriverVersion & 0xFFFF);
    const bool accepted =
        identifier.VendorId == kAti || (identifier.VendorId == kNvidia && m_driverBuild >= kLeastNvidiaBuild);
    if (!accepted)
        return false;
    m_initialised = true;
    return true;
}

void SWd3d8surface::BuildFormatList(D3DFORMAT displayFormat)
{
    m_formats.clear();
    for (const TextureFormat& tried : kTriedFormats)
        if (succeeded(m_direct3D->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, displayFormat, 0,
                                                    D3DRTYPE_TEXTURE, tried.format)))
            m_formats.push_back(tried);
}

D3DFORMAT SWd3d8surface::FindFormat(int red, int green, int blue, int alpha) const
{
    for (const TextureFormat& f : m_formats)
        if (f.red == red && f.green == green && f.blue == blue && f.alpha == alpha)
            return f.format;
    return D3DFMT_UNKNOWN;
}

bool SWd3d8surface::Resize(uint32_t width, uint32_t height)
{
    m_width = width;
    m_height = height;
    SWtexturemanager::Clear();
    ReleaseCachedBuffers();
    m_drawer.reset();
    if (m_device != nullptr) {
        // The driver may still be showing the old device's last frame.
        pf::clock().sleepMs(kRecreateWaitMs);
        ReleaseCom(m_device);
    }
    if (width == 0 || height == 0)
        return true;
    if (!m_initialised || m_direct3D == nullptr || !CreateDevice(width, height)) {
        ReleaseCom(m_device);
        return false;
    }
    auto drawer = std::make_unique<SWd3d8drawer>();
    if (!drawer->Init(*this)) {
        ReleaseCom(m_device);
        return false;
    }
    m_drawer = std::move(drawer);
    return true;
}

bool SWd3d8surface::CreateDevice(uint32_t width, uint32_t height)
{
    D3DDISPLAYMODE mode;
    if (!succeeded(m_direct3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode)))
        return false;
    const D3DFORMAT backFormat = mode.Format;
    D3DFORMAT depth = D3DFMT_UNKNOWN;
    for (const D3DFORMAT candidate : {D3DFMT_D24X8, D3DFMT_D16}) {
        if (succeeded(m_direct3D->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, backFormat,
                                                    D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, candidate)) &&
            succeeded(m_direct3D->CheckDepthStencilMatch(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, backFormat, backFormat,
                                                         candidate))) {
            depth = candidate;
            break;
        }
    }
    if (depth == D3DFMT_UNKNOWN)
        return false;
    const uint32_t samples = m_antialiasLevel == 2 ? D3DMULTISAMPLE_4_SAMPLES : D3DMULTISAMPLE_NONE;
    if (!succeeded(
            m_direct3D->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, backFormat, 1, samples)) ||
        !succeeded(m_direct3D->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, depth, 1, samples)))
        return false;
    m_present.BackBufferWidth = width;
    m_present.BackBufferHeight = height;
    m_present.BackBufferFormat = backFormat;
    m_present.MultiSampleType = samples;
    m_present.AutoDepthStencilFormat = depth;
    m_present.Flags = m_antialiasLevel == 1 ? D3DPRESENTFLAG_LOCKABLE_BACKBUFFER : 0;
    if (!succeeded(m_direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_window,
                                            D3DCREATE_SOFTWARE_VERTEXPROCESSING, &m_present, &m_device)) ||
        m_device == nullptr) {
        m_device = nullptr;
        return false;
    }
    return SetInitialStates();
}

// Clipping and lighting stay off: vertices arrive clipped by our clipper and lit by the mesh renderer.
bool SWd3d8surface::SetInitialStates()
{
    m_d3dViewport = {0, 0, m_width, m_height, 0.0f, 1.0f};
    bool ok = succeeded(m_device->SetViewport(&m_d3dViewport)) && succeeded(m_device->BeginScene());
    const std::pair<D3DRENDERSTATETYPE, uint32_t> states[] = {
        {D3DRS_DITHERENABLE, 1},
        {D3DRS_CULLMODE, D3DCULL_CCW},
        {D3DRS_ZENABLE, m_zBufferMode},
        {D3DRS_ZVISIBLE, 1},
        {D3DRS_ZWRITEENABLE, 1},
        {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
        {D3DRS_SRCBLEND, D3DBLEND_ONE},
        {D3DRS_DESTBLEND, D3DBLEND_ZERO},
        {D3DRS_SPECULARENABLE, 1},
        {D3DRS_FILLMODE, D3DFILL_SOLID},
        {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
        {D3DRS_ALPHABLENDENABLE, 1},
        {D3DRS_CLIPPING, 0},
        {D3DRS_LIGHTING, 0},
    };
    for (const auto& [state, value] : states)
        ok = ok && succeeded(m_device->SetRenderState(state, value));
    for (D3DRENDERSTATETYPE wrap = D3DRS_WRAP0; ok && wrap <= D3DRS_WRAP7; ++wrap)
        ok = succeeded(m_device->SetRenderState(wrap, 0));
    for (uint32_t stage = 0; ok && stage < kD3DStages; ++stage)
        ok = succeeded(m_device->SetTextureStageState(stage, D3DTSS_MIPFILTER, D3DTEXF_NONE));
    const D3DMATRIX identity = identityMatrix();
    ok = ok && succeeded(m_device->SetTransform(D3DTS_WORLD, &identity)) &&
         succeeded(m_device->SetTransform(D3DTS_VIEW, &identity));
    ok = succeeded(m_device->EndScene()) && ok;
    return ok;
}

bool SWd3d8surface::SetSupersampling(uint32_t a, uint32_t b)
{
    if (a != b || a > 2)
        return false;
    m_antialiasLevel = a;
    return true;
}

bool SWd3d8surface::Clear(uint32_t colour)
{
    if (m_device == nullptr)
        return true;
    return succeeded(m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0));
}

bool SWd3d8surface::ClearDepth()
{
    if (m_device == nullptr)
        return true;
    return succeeded(m_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0));
}

bool SWd3d8surface::SetFieldViewport()
{
    const uint32_t half = (m_height + 1) / 2;
    D3DVIEWPORT8 field = m_d3dViewport;
    field.Y = m_field == 0 ? 0 : half;
    field.Height = m_field == 0 ? half : m_height - half;
    return field.Height > 0 && succeeded(m_device->SetViewport(&field));
}

bool SWd3d8surface::BeginFrame()
{
    SWrendertarget::BeginFrame();
    ++m_frame;
    if (m_device == nullptr)
        return false;
    bool ok = true;
    if (m_fieldMode == 1)
        ok = SetFieldViewport();
    ok = succeeded(m_device->BeginScene()) && ok;
    for (auto& rotation : m_screenCaches)
        for (CacheEntry& e : rotation)
            e.usedThisFrame = false;
    for (auto& rotation : m_worldCaches)
        for (CacheEntry& e : rotation)
            e.usedThisFrame = false;
    for (IndexEntry& e : m_indexCache)
        e.usedThisFrame = false;
    EvictStale(m_frame);
    return ok;
}

bool SWd3d8surface::EndFrame()
{
    if (m_device == nullptr) {
        FreeDirectDraws();
        m_queue.Clear();
        return false;
    }
    SWrendertarget::EndFrame();
    bool ok = succeeded(m_device->EndScene());
    if (m_fieldMode == 1)
        ok = succeeded(m_device->SetViewport(&m_d3dViewport)) && ok;
    ForgetUnusedCapacities();
    return ok;
}

bool SWd3d8surface::Draw(const SWdirectdraw* chainB, const SWdirectdraw* chainA, const SWprimitivenode* list)
{
    if (m_drawer == nullptr || m_device == nullptr)
        return false;
    return m_drawer->DrawLists(chainB, chainA, list);
}

bool SWd3d8surface::SetRenderMode(uint32_t mode)
{
    m_fieldMode = mode == 1 ? 1 : 0;
    return mode <= 1;
}

bool SWd3d8surface::SetPhase(uint32_t phase)
{
    if (m_fieldMode == 0)
        return true;
    if (phase > 1)
        return false;
    m_field = phase;
    return true;
}

bool SWd3d8surface::SetWindow(Hwnd window)
{
    m_window = window;
    return window != kNoWindow;
}

// As the software surface computes it, with pixel centres on whole coordinates, and the projection handed to the
// device for items drawn with a world matrix.
bool SWd3d8surface::GetViewMatrix(float out[16])
{
    SWrendercamera* const camera = GetCamera();
    const float n = camera != nullptr ? camera->GetNear() : kDefaultCamera.GetNear();
    const float f = camera != nullptr ? camera->GetFar() : kDefaultCamera.GetFar();
    const float w = static_cast<float>(m_width);
    const float h = static_cast<float>(m_height);
    m_viewport.xScale = -0.5f * w;
    m_viewport.xOffset = 0.5f * w - 0.5f;
    m_viewport.yScale = 0.5f * h;
    m_viewport.yOffset = 0.5f * h - 0.5f;
    m_viewport.depthScale = -f / (f - n);
    m_viewport.depthOffset = -n / (f - n);
    if (m_fieldMode == 1) {
        const uint32_t half = (m_height + 1) >> 1;
        if (m_field == 1) {
            m_viewport.yScale = static_cast<float>(m_height - half) * 0.5f;
            m_viewport.yOffset = m_viewport.yScale + static_cast<float>(half) - 0.5f;
        } else {
            m_viewport.yScale = static_cast<float>(half) * 0.5f;
            m_viewport.yOffset = m_viewport.yScale - 0.5f;
        }
    }
    if (m_device != nullptr) {
        D3DMATRIX projection;
        projection.m[0][0] = 1.0f;
        projection.m[1][1] = 1.0f;
        projection.m[2][2] = m_viewport.depthScale;
        projection.m[2][3] = -1.0f;
        projection.m[3][2] = m_viewport.depthOffset;
        m_device->SetTransform(D3DTS_PROJECTION, &projection);
    }
    return FinishViewMatrix(camera, n, f, w, h, out);
}

SWd3d8vertexbuffer* SWd3d8surface::CreateScreenVertexBuffer(uint32_t textureSets, uint32_t vertexCount, bool dynamic)
{
    if (m_device == nullptr || textureSets > kMostTextureSets)
        return nullptr;
    const uint32_t usage = D3DUSAGE_WRITEONLY | D3DUSAGE_DONOTCLIP | (dynamic ? D3DUSAGE_DYNAMIC : 0);
    const uint32_t fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | (textureSets << D3DFVF_TEXCOUNT_SHIFT);
    return SWd3d8vertexbuffer::Create(*m_device, vertexCount, 8 * textureSets + 24, usage, fvf);
}

SWd3d8vertexbuffer* SWd3d8surface::CreateWorldVertexBuffer(uint32_t textureSets, uint32_t vertexCount, bool dynamic)
{
    if (m_device == nullptr || textureSets > kMostTextureSets)
        return nullptr;
    const uint32_t usage = D3DUSAGE_WRITEONLY | (dynamic ? D3DUSAGE_DYNAMIC : 0);
    const uint32_t fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | (textureSets << D3DFVF_TEXCOUNT_SHIFT);
    return SWd3d8vertexbuffer::Create(*m_device, vertexCount, 8 * textureSets + 20, usage, fvf);
}

SWd3d8indexbuffer* SWd3d8surface::CreateD3DIndexBuffer(uint32_t indexCount, bool dynamic)
{
    if (m_device == nullptr)
        return nullptr;
    return SWd3d8indexbuffer::Create(*m_device, indexCount, D3DUSAGE_WRITEONLY | (dynamic ? D3DUSAGE_DYNAMIC : 0));
}

SWvertexbuffer* SWd3d8surface::CreateVertexBuffer(uint32_t coordinateSets, uint32_t vertexCount)
{
    return CreateScreenVertexBuffer(coordinateSets, vertexCount, false);
}

SWindexbuffer* SWd3d8surface::CreateIndexBuffer(uint32_t indexCount)
{
    return CreateD3DIndexBuffer(indexCount, false);
}

SWvertexbuffer* SWd3d8surface::GetVertexScratch(uint32_t coordinateSets, uint32_t vertexCount)
{
    return GetScreenVertexBuffer(coordinateSets, vertexCount);
}

SWindexbuffer* SWd3d8surface::GetIndexScratch(uint32_t indexCount)
{
    return GetIndexBuffer(indexCount);
}

SWd3d8vertexbuffer* SWd3d8surface::FromRotation(std::array<Rotation, kMostTextureSets + 1>& caches,
                                                std::array<uint32_t, kMostTextureSets + 1>& counters, bool world,
                                                uint32_t textureSets, uint32_t minVertices)
{
    if (textureSets > kMostTextureSets || m_device == nullptr)
        return nullptr;
    CacheEntry& entry = caches[textureSets][counters[textureSets]++ % kCacheEntries];
    if (entry.buffer == nullptr || entry.capacity < minVertices) {
        if (entry.buffer != nullptr)
            ReleaseCachedBuffers();
        entry.remembered = std::max(entry.remembered, minVertices);
        entry.buffer = world ? CreateWorldVertexBuffer(textureSets, entry.remembered, true)
                             : CreateScreenVertexBuffer(textureSets, entry.remembered, true);
        entry.capacity = entry.buffer != nullptr ? entry.remembered : 0;
        if (entry.buffer == nullptr)
            return nullptr;
    }
    entry.usedThisFrame = true;
    entry.buffer->AddRef();
    return static_cast<SWd3d8vertexbuffer*>(entry.buffer);
}

SWd3d8vertexbuffer* SWd3d8surface::GetScreenVertexBuffer(uint32_t textureSets, uint32_t minVertices)
{
    return FromRotation(m_screenCaches, m_screenRotation, false, textureSets, minVertices);
}

SWd3d8vertexbuffer* SWd3d8surface::GetWorldVertexBuffer(uint32_t textureSets, uint32_t minVertices)
{
    return FromRotation(m_worldCaches, m_worldRotation, true, textureSets, minVertices);
}

SWd3d8indexbuffer* SWd3d8surface::GetIndexBuffer(uint32_t minIndices)
{
    if (m_device == nullptr)
        return nullptr;
    IndexEntry& entry = m_indexCache[m_indexRotation++ % kCacheEntries];
    if (entry.buffer == nullptr || entry.capacity < minIndices) {
        if (entry.buffer != nullptr)
            ReleaseCachedBuffers();
        if (minIndices > 0xFFFFFFFFu - kIndexHeadroom)
            return nullptr;
        entry.remembered = std::max(entry.remembered, minIndices + kIndexHeadroom);
        entry.buffer = CreateD3DIndexBuffer(entry.remembered, true);
        entry.capacity = entry.buffer != nullptr ? entry.remembered : 0;
        if (entry.buffer == nullptr)
            return nullptr;
    }
    entry.usedThisFrame = true;
    entry.buffer->AddRef();
    return entry.buffer;
}

// Releasing drops the caches' references only: a buffer handed out this frame lives on through its holder's.
void SWd3d8surface::ReleaseCachedBuffers()
{
    for (auto* caches : {&m_screenCaches, &m_worldCaches})
        for (Rotation& rotation : *caches)
            for (CacheEntry& e : rotation) {
                if (e.buffer != nullptr)
                    e.buffer->Release();
                e.buffer = nullptr;
                e.capacity = 0;
            }
    for (IndexEntry& e : m_indexCache) {
        if (e.buffer != nullptr)
            e.buffer->Release();
        e.buffer = nullptr;
        e.capacity = 0;
    }
}

void SWd3d8surface::ForgetUnusedCapacities()
{
    bool any = false;
    for (auto* caches : {&m_screenCaches, &m_worldCaches})
        for (Rotation& rotation : *caches)
            for (CacheEntry& e : rotation)
                if (e.buffer != nullptr && !e.usedThisFrame) {
                    e.remembered = 0;
                    any = true;
                }
    for (IndexEntry& e : m_indexCache)
        if (e.buffer != nullptr && !e.usedThisFrame) {
            e.remembered = 0;
            any = true;
        }
    if (any)
        ReleaseCachedBuffers();
}

size_t SWd3d8surface::CachedBufferCount() const
{
    size_t count = 0;
    for (const auto* caches : {&m_screenCaches, &m_worldCaches})
        for (const Rotation& rotation : *caches)
            for (const CacheEntry& e : rotation)
                count += e.buffer != nullptr ? 1 : 0;
    for (const IndexEntry& e : m_indexCache)
        count += e.buffer != nullptr ? 1 : 0;
    return count;
}

IDirect3DDevice8* SWd3d8surface::GetDevice() const
{
    if (m_device != nullptr)
        m_device->AddRef();
    return m_device;
}

SWd3d8texture* SWd3d8surface::DeviceTextureFor(const SWtexture* texture)
{
    if (texture == nullptr || m_device == nullptr || !texture->IsValid())
        return nullptr;
    // The texture's link to its copy is the renderer's state, not the image's, so a drawn texture may change it.
    auto* source = const_cast<SWtexture*>(texture);
    auto* copy = dynamic_cast<SWd3d8texture*>(source->GetImage());
    if (copy == nullptr || copy->GetManager() != this)
        copy = CreateTexture(*source);
    if (copy == nullptr)
        return nullptr;
    // Stamped first, so that an upload asking for room never finds this copy the oldest.
    copy->SetLastUsed(m_frame);
    return copy->Validate() ? copy : nullptr;
}

IDirect3DTexture8* SWd3d8surface::TextureFor(const SWtexture* texture)
{
    SWd3d8texture* copy = DeviceTextureFor(texture);
    return copy != nullptr ? copy->GetInterface() : nullptr;
}
