#pragma once
// The Direct3D-8-shaped interfaces the renderer's hardware path is written against: the runtime object, the
// device, textures, surfaces and vertex and index buffers, with only the methods that path calls, in its argument
// order, and the structures and numbers it names. Numbers are the platform's own; HRESULTs are those of result.h.
#include "platform/base/hwnd.h"
#include "platform/base/rect.h"
#include "platform/sys/com.h"

#include <cstdint>

namespace pf {

using D3DFORMAT = uint32_t;
inline constexpr D3DFORMAT D3DFMT_UNKNOWN = 0;
inline constexpr D3DFORMAT D3DFMT_R8G8B8 = 20;
inline constexpr D3DFORMAT D3DFMT_A8R8G8B8 = 21;
inline constexpr D3DFORMAT D3DFMT_X8R8G8B8 = 22;
inline constexpr D3DFORMAT D3DFMT_R5G6B5 = 23;
inline constexpr D3DFORMAT D3DFMT_X1R5G5B5 = 24;
inline constexpr D3DFORMAT D3DFMT_A1R5G5B5 = 25;
inline constexpr D3DFORMAT D3DFMT_A4R4G4B4 = 26;
inline constexpr D3DFORMAT D3DFMT_D24X8 = 77;
inline constexpr D3DFORMAT D3DFMT_D16 = 80;
inline constexpr D3DFORMAT D3DFMT_INDEX16 = 101;
inline constexpr D3DFORMAT D3DFMT_INDEX32 = 102;

inline constexpr uint32_t D3D_SDK_VERSION = 120;
inline constexpr uint32_t D3DADAPTER_DEFAULT = 0;
inline constexpr uint32_t D3DDEVTYPE_HAL = 1;
inline constexpr uint32_t D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
inline constexpr uint32_t D3DSWAPEFFECT_DISCARD = 1;
inline constexpr uint32_t D3DPRESENTFLAG_LOCKABLE_BACKBUFFER = 1;
inline constexpr uint32_t D3DBACKBUFFER_TYPE_MONO = 0;
inline constexpr uint32_t D3DRTYPE_SURFACE = 1;
inline constexpr uint32_t D3DRTYPE_TEXTURE = 3;
inline constexpr uint32_t D3DMULTISAMPLE_NONE = 0;
inline constexpr uint32_t D3DMULTISAMPLE_4_SAMPLES = 4;

inline constexpr uint32_t D3DFVF_XYZ = 0x2;
inline constexpr uint32_t D3DFVF_XYZRHW = 0x4;
inline constexpr uint32_t D3DFVF_POSITION_MASK = 0xE;
inline constexpr uint32_t D3DFVF_NORMAL = 0x10;
inline constexpr uint32_t D3DFVF_DIFFUSE = 0x40;
inline constexpr uint32_t D3DFVF_SPECULAR = 0x80;
inline constexpr uint32_t D3DFVF_TEXCOUNT_MASK = 0xF00;
inline constexpr uint32_t D3DFVF_TEXCOUNT_SHIFT = 8;
inline constexpr uint32_t D3DFVF_TEX1 = 0x100;
inline constexpr uint32_t D3DFVF_TEX2 = 0x200;

inline constexpr uint32_t D3DUSAGE_RENDERTARGET = 0x1;
inline constexpr uint32_t D3DUSAGE_DEPTHSTENCIL = 0x2;
inline constexpr uint32_t D3DUSAGE_WRITEONLY = 0x8;
inline constexpr uint32_t D3DUSAGE_DONOTCLIP = 0x20;
inline constexpr uint32_t D3DUSAGE_DYNAMIC = 0x200;
inline constexpr uint32_t D3DPOOL_DEFAULT = 0;
inline constexpr uint32_t D3DPOOL_MANAGED = 1;
inline constexpr uint32_t D3DPOOL_SYSTEMMEM = 2;
inline constexpr uint32_t D3DLOCK_READONLY = 0x10;
inline constexpr uint32_t D3DLOCK_NOSYSLOCK = 0x800;
inline constexpr uint32_t D3DLOCK_NOOVERWRITE = 0x1000;
inline constexpr uint32_t D3DLOCK_DISCARD = 0x2000;
inline constexpr uint32_t D3DCLEAR_TARGET = 0x1;
inline constexpr uint32_t D3DCLEAR_ZBUFFER = 0x2;

using D3DRENDERSTATETYPE = uint32_t;
inline constexpr D3DRENDERSTATETYPE D3DRS_ZENABLE = 7;
inline constexpr D3DRENDERSTATETYPE D3DRS_FILLMODE = 8;
inline constexpr D3DRENDERSTATETYPE D3DRS_SHADEMODE = 9;
inline constexpr D3DRENDERSTATETYPE D3DRS_ZWRITEENABLE = 14;
inline constexpr D3DRENDERSTATETYPE D3DRS_SRCBLEND = 19;
inline constexpr D3DRENDERSTATETYPE D3DRS_DESTBLEND = 20;
inline constexpr D3DRENDERSTATETYPE D3DRS_CULLMODE = 22;
inline constexpr D3DRENDERSTATETYPE D3DRS_ZFUNC = 23;
inline constexpr D3DRENDERSTATETYPE D3DRS_DITHERENABLE = 26;
inline constexpr D3DRENDERSTATETYPE D3DRS_ALPHABLENDENABLE = 27;
inline constexpr D3DRENDERSTATETYPE D3DRS_SPECULARENABLE = 29;
inline constexpr D3DRENDERSTATETYPE D3DRS_ZVISIBLE = 30;
inline constexpr D3DRENDERSTATETYPE D3DRS_TEXTUREFACTOR = 60;
inline constexpr D3DRENDERSTATETYPE D3DRS_WRAP0 = 128;
inline constexpr D3DRENDERSTATETYPE D3DRS_WRAP7 = 135;
inline constexpr D3DRENDERSTATETYPE D3DRS_CLIPPING = 136;
inline constexpr D3DRENDERSTATETYPE D3DRS_LIGHTING = 137;
inline constexpr uint32_t kD3DRenderStateCount = 256; // states are numbered below this

using D3DTEXTURESTAGESTATETYPE = uint32_t;
inline constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_COLOROP = 1;
inline constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_COLORARG1 = 2;
inline constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_COLORARG2 = 3;
inline constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ALPHAOP = 4;
inline constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ALPHAARG1 = 5;
inline constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ALPHAARG2 = 6;
inline constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_TEXCOORDINDEX = 11;
inline constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ADDRESSU = 13;
inline constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ADDRESSV = 14;
inline constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_MAGFILTER = 16;
inline constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_MINFILTER = 17;
inline constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_MIPFILTER = 18;
inline constexpr uint32_t kD3DStageStateCount = 32;
inline constexpr uint32_t kD3DStages = 8;

inline constexpr uint32_t D3DTOP_DISABLE = 1;
inline constexpr uint32_t D3DTOP_SELECTARG1 = 2;
inline constexpr uint32_t D3DTOP_SELECTARG2 = 3;
inline constexpr uint32_t D3DTOP_MODULATE = 4;
inline constexpr uint32_t D3DTOP_ADD = 7;
inline constexpr uint32_t D3DTOP_DOTPRODUCT3 = 24;
inline constexpr uint32_t D3DTA_SELECTMASK = 0xF;
inline constexpr uint32_t D3DTA_DIFFUSE = 0;
inline constexpr uint32_t D3DTA_CURRENT = 1;
inline constexpr uint32_t D3DTA_TEXTURE = 2;
inline constexpr uint32_t D3DTA_TFACTOR = 3;
inline constexpr uint32_t D3DTA_SPECULAR = 4;
inline constexpr uint32_t D3DTA_COMPLEMENT = 0x10;
inline constexpr uint32_t D3DTA_ALPHAREPLICATE = 0x20;
inline constexpr uint32_t D3DTEXF_NONE = 0;
inline constexpr uint32_t D3DTEXF_POINT = 1;
inline constexpr uint32_t D3DTEXF_LINEAR = 2;
inline constexpr uint32_t D3DTADDRESS_WRAP = 1;
inline constexpr uint32_t D3DTADDRESS_CLAMP = 3;

inline constexpr uint32_t D3DBLEND_ZERO = 1;
inline constexpr uint32_t D3DBLEND_ONE = 2;
inline constexpr uint32_t D3DBLEND_SRCALPHA = 5;
inline constexpr uint32_t D3DBLEND_INVSRCALPHA = 6;
inline constexpr uint32_t D3DCMP_NEVER = 1;
inline constexpr uint32_t D3DCMP_LESS = 2;
inline constexpr uint32_t D3DCMP_EQUAL = 3;
inline constexpr uint32_t D3DCMP_LESSEQUAL = 4;
inline constexpr uint32_t D3DCMP_GREATER = 5;
inline constexpr uint32_t D3DCMP_NOTEQUAL = 6;
inline constexpr uint32_t D3DCMP_GREATEREQUAL = 7;
inline constexpr uint32_t D3DCMP_ALWAYS = 8;
inline constexpr uint32_t D3DCULL_NONE = 1;
inline constexpr uint32_t D3DCULL_CW = 2;
inline constexpr uint32_t D3DCULL_CCW = 3;
inline constexpr uint32_t D3DZB_FALSE = 0;
inline constexpr uint32_t D3DZB_TRUE = 1;
inline constexpr uint32_t D3DZB_USEW = 2;
inline constexpr uint32_t D3DFILL_SOLID = 3;
inline constexpr uint32_t D3DSHADE_GOURAUD = 2;

using D3DPRIMITIVETYPE = uint32_t;
inline constexpr D3DPRIMITIVETYPE D3DPT_POINTLIST = 1;
inline constexpr D3DPRIMITIVETYPE D3DPT_LINELIST = 2;
inline constexpr D3DPRIMITIVETYPE D3DPT_LINESTRIP = 3;
inline constexpr D3DPRIMITIVETYPE D3DPT_TRIANGLELIST = 4;
inline constexpr D3DPRIMITIVETYPE D3DPT_TRIANGLESTRIP = 5;
inline constexpr D3DPRIMITIVETYPE D3DPT_TRIANGLEFAN = 6;

using D3DTRANSFORMSTATETYPE = uint32_t;
inline constexpr D3DTRANSFORMSTATETYPE D3DTS_VIEW = 2;
inline constexpr D3DTRANSFORMSTATETYPE D3DTS_PROJECTION = 3;
inline constexpr D3DTRANSFORMSTATETYPE D3DTS_WORLD = 256;

// Capability bits that device creation tests.
inline constexpr uint32_t D3DCAPS2_CANRENDERWINDOWED = 0x00080000;
inline constexpr uint32_t D3DDEVCAPS_HWRASTERIZATION = 0x00080000;
inline constexpr uint32_t D3DPRASTERCAPS_WBUFFER = 0x00040000;
inline constexpr uint32_t D3DPCMPCAPS_EQUAL = 0x04;
inline constexpr uint32_t D3DPCMPCAPS_LESSEQUAL = 0x08;
inline constexpr uint32_t D3DPCMPCAPS_GREATEREQUAL = 0x40;
inline constexpr uint32_t D3DPCMPCAPS_ALWAYS = 0x80;
inline constexpr uint32_t D3DPSHADECAPS_COLORGOURAUDRGB = 0x8;
inline constexpr uint32_t D3DPSHADECAPS_SPECULARGOURAUDRGB = 0x200;
inline constexpr uint32_t D3DPSHADECAPS_ALPHAGOURAUDBLEND = 0x4000;
inline constexpr uint32_t D3DPSHADECAPS_FOGGOURAUD = 0x80000;
inline constexpr uint32_t D3DPTEXTURECAPS_PERSPECTIVE = 0x1;
inline constexpr uint32_t D3DPTEXTURECAPS_ALPHA = 0x4;
inline constexpr uint32_t D3DPTEXTURECAPS_SQUAREONLY = 0x20;
inline constexpr uint32_t D3DPTFILTERCAPS_MINFPOINT = 0x100;
inline constexpr uint32_t D3DPTFILTERCAPS_MINFLINEAR = 0x200;
inline constexpr uint32_t D3DPTFILTERCAPS_MAGFPOINT = 0x01000000;
inline constexpr uint32_t D3DPTFILTERCAPS_MAGFLINEAR = 0x02000000;
inline constexpr uint32_t D3DPTADDRESSCAPS_WRAP = 0x1;
inline constexpr uint32_t D3DPTADDRESSCAPS_CLAMP = 0x4;
inline constexpr uint32_t D3DPTADDRESSCAPS_INDEPENDENTUV = 0x10;
inline constexpr uint32_t D3DTEXOPCAPS_DISABLE = 0x1;
inline constexpr uint32_t D3DTEXOPCAPS_SELECTARG1 = 0x2;
inline constexpr uint32_t D3DTEXOPCAPS_SELECTARG2 = 0x4;
inline constexpr uint32_t D3DTEXOPCAPS_MODULATE = 0x8;
inline constexpr uint32_t D3DTEXOPCAPS_ADD = 0x40;
inline constexpr uint32_t D3DTEXOPCAPS_DOTPRODUCT3 = 0x00800000;

// The fields device creation reads.
struct D3DCAPS8 {
    uint32_t DeviceType = 0;
    uint32_t AdapterOrdinal = 0;
    uint32_t Caps = 0;
    uint32_t Caps2 = 0;
    uint32_t DevCaps = 0;
    uint32_t RasterCaps = 0;
    uint32_t ZCmpCaps = 0;
    uint32_t ShadeCaps = 0;
    uint32_t TextureCaps = 0;
    uint32_t TextureFilterCaps = 0;
    uint32_t TextureAddressCaps = 0;
    uint32_t MaxTextureWidth = 0;
    uint32_t MaxTextureHeight = 0;
    uint32_t TextureOpCaps = 0;
    uint32_t MaxTextureBlendStages = 0;
    uint32_t MaxSimultaneousTextures = 0;
};

struct D3DPRESENT_PARAMETERS {
    uint32_t BackBufferWidth = 0;
    uint32_t BackBufferHeight = 0;
    D3DFORMAT BackBufferFormat = D3DFMT_UNKNOWN; // unknown: the display's format
    uint32_t BackBufferCount = 0;
    uint32_t MultiSampleType = D3DMULTISAMPLE_NONE;
    uint32_t SwapEffect = 0;
    Hwnd hDeviceWindow = kNoWindow; // none: the focus window
    int32_t Windowed = 0;
    int32_t EnableAutoDepthStencil = 0;
    D3DFORMAT AutoDepthStencilFormat = D3DFMT_UNKNOWN;
    uint32_t Flags = 0;
    uint32_t FullScreen_RefreshRateInHz = 0;
    uint32_t FullScreen_PresentationInterval = 0;
};

struct D3DVIEWPORT8 {
    uint32_t X = 0;
    uint32_t Y = 0;
    uint32_t Width = 0;
    uint32_t Height = 0;
    float MinZ = 0.0f;
    float MaxZ = 1.0f;
};

struct D3DDISPLAYMODE {
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint32_t RefreshRate = 0;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
};

struct D3DADAPTER_IDENTIFIER8 {
    char Driver[512] = {};
    char Description[512] = {};
    int64_t DriverVersion = 0; // the build number is the low 16 bits
    uint32_t VendorId = 0;
    uint32_t DeviceId = 0;
    uint32_t SubSysId = 0;
    uint32_t Revision = 0;
    Guid DeviceIdentifier;
    uint32_t WHQLLevel = 0;
};

struct D3DLOCKED_RECT {
    int32_t Pitch = 0;
    void* pBits = nullptr;
};

struct D3DSURFACE_DESC {
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    uint32_t Type = D3DRTYPE_SURFACE;
    uint32_t Usage = 0;
    uint32_t Pool = D3DPOOL_DEFAULT;
    uint32_t Size = 0;
    uint32_t MultiSampleType = D3DMULTISAMPLE_NONE;
    uint32_t Width = 0;
    uint32_t Height = 0;
};

struct D3DRECT {
    int32_t x1 = 0;
    int32_t y1 = 0;
    int32_t x2 = 0;
    int32_t y2 = 0;
};

struct D3DMATRIX {
    float m[4][4] = {}; // row-vector order: a point transforms as p * M
};

class IDirect3DSurface8 : public IUnknownLike {
public:
    virtual HResult GetDesc(D3DSURFACE_DESC* desc) = 0;
    virtual HResult LockRect(D3DLOCKED_RECT* locked, const Rect* rect, uint32_t flags) = 0;
    virtual HResult UnlockRect() = 0;
};

class IDirect3DTexture8 : public IUnknownLike {
public:
    virtual HResult GetLevelDesc(uint32_t level, D3DSURFACE_DESC* desc) = 0;
    virtual HResult LockRect(uint32_t level, D3DLOCKED_RECT* locked, const Rect* rect, uint32_t flags) = 0;
    virtual HResult UnlockRect(uint32_t level) = 0;
};

class IDirect3DVertexBuffer8 : public IUnknownLike {
public:
    virtual HResult Lock(uint32_t offset, uint32_t size, uint8_t** data, uint32_t flags) = 0; // size 0: to the end
    virtual HResult Unlock() = 0;
};

class IDirect3DIndexBuffer8 : public IUnknownLike {
public:
    virtual HResult Lock(uint32_t offset, uint32_t size, uint8_t** data, uint32_t flags) = 0; // size 0: to the end
    virtual HResult Unlock() = 0;
};

class IDirect3DDevice8 : public IUnknownLike {
public:
    virtual HResult CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, D3DFORMAT format,
                                  uint32_t pool, IDirect3DTexture8** out) = 0;
    virtual HResult CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                                       IDirect3DVertexBuffer8** out) = 0;
    virtual HResult CreateIndexBuffer(uint32_t length, uint32_t usage, D3DFORMAT format, uint32_t pool,
                                      IDirect3DIndexBuffer8** out) = 0;
    virtual HResult UpdateTexture(IDirect3DTexture8* source, IDirect3DTexture8* destination) = 0;
    virtual HResult GetBackBuffer(uint32_t index, uint32_t type, IDirect3DSurface8** out) = 0;
    // Copies a back-buffer rectangle (null: all of it) to a client-area rectangle (null: the same size at 0, 0).
    virtual HResult Present(const Rect* source, const Rect* destination, Hwnd overrideWindow,
                            const void* dirtyRegion) = 0;
    virtual HResult BeginScene() = 0;
    virtual HResult EndScene() = 0;
    virtual HResult Clear(uint32_t count, const D3DRECT* rects, uint32_t flags, uint32_t color, float z,
                          uint32_t stencil) = 0;
    virtual HResult SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HResult SetViewport(const D3DVIEWPORT8* viewport) = 0;
    virtual HResult SetRenderState(D3DRENDERSTATETYPE state, uint32_t value) = 0;
    virtual HResult BeginStateBlock() = 0;
    virtual HResult EndStateBlock(uint32_t* token) = 0;
    virtual HResult ApplyStateBlock(uint32_t token) = 0;
    virtual HResult DeleteStateBlock(uint32_t token) = 0;
    virtual HResult SetTexture(uint32_t stage, IDirect3DTexture8* texture) = 0;
    virtual HResult SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value) = 0;
    virtual HResult DrawPrimitive(D3DPRIMITIVETYPE type, uint32_t startVertex, uint32_t primitiveCount) = 0;
    virtual HResult DrawIndexedPrimitive(D3DPRIMITIVETYPE type, uint32_t minIndex, uint32_t vertexCount,
                                         uint32_t startIndex, uint32_t primitiveCount) = 0;
    virtual HResult SetVertexShader(uint32_t fvf) = 0;
    virtual HResult SetStreamSource(uint32_t stream, IDirect3DVertexBuffer8* buffer, uint32_t stride) = 0;
    virtual HResult SetIndices(IDirect3DIndexBuffer8* buffer, uint32_t baseVertexIndex) = 0;
};

class IDirect3D8 : public IUnknownLike {
public:
    virtual HResult GetAdapterDisplayMode(uint32_t adapter, D3DDISPLAYMODE* mode) = 0;
    virtual HResult GetAdapterIdentifier(uint32_t adapter, uint32_t flags, D3DADAPTER_IDENTIFIER8* identifier) = 0;
    virtual HResult CheckDeviceFormat(uint32_t adapter, uint32_t deviceType, D3DFORMAT adapterFormat, uint32_t usage,
                                      uint32_t resourceType, D3DFORMAT checkFormat) = 0;
    virtual HResult CheckDepthStencilMatch(uint32_t adapter, uint32_t deviceType, D3DFORMAT adapterFormat,
                                           D3DFORMAT renderTargetFormat, D3DFORMAT depthFormat) = 0;
    virtual HResult CheckDeviceMultiSampleType(uint32_t adapter, uint32_t deviceType, D3DFORMAT format,
                                               int32_t windowed, uint32_t type) = 0;
    virtual HResult GetDeviceCaps(uint32_t adapter, uint32_t deviceType, D3DCAPS8* caps) = 0;
    virtual HResult CreateDevice(uint32_t adapter, uint32_t deviceType, Hwnd focusWindow, uint32_t behaviorFlags,
                                 D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice8** out) = 0;
};

// The entry point the module "d3d8.dll" exports as "Direct3DCreate8": null unless sdkVersion is D3D_SDK_VERSION.
using Direct3DCreate8Function = IDirect3D8* (*)(uint32_t sdkVersion);

} // namespace pf
