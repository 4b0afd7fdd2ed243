#pragma once
// The DirectDraw-shaped interfaces the renderer's window presentation is written against: a primary surface at
// the screen's depth, a clipper that gives a window's visible client area, Lock and Unlock, loss and restore.
// Only the methods and values that presentation uses; the structures keep the layout sizes callers state.
#include "platform/base/hwnd.h"
#include "platform/base/rect.h"
#include "platform/sys/com.h"

#include <cstdint>

namespace pf {

// Only identity matters for these: nothing outside this process ever sees them.
inline constexpr Guid CLSID_DirectDraw = {0x56F10001, 0x7A3B, 0x4C1D, {0x9E, 0x21, 0x00, 0x5A, 0xDD, 0x00, 0x00, 0x01}};
inline constexpr Guid IID_IDirectDraw = {0x56F10002, 0x7A3B, 0x4C1D, {0x9E, 0x21, 0x00, 0x5A, 0xDD, 0x00, 0x00, 0x02}};
inline constexpr Guid IID_IDirectDraw2 = {0x56F10003, 0x7A3B, 0x4C1D, {0x9E, 0x21, 0x00, 0x5A, 0xDD, 0x00, 0x00, 0x03}};
inline constexpr Guid IID_IDirectDrawSurface = {
    0x56F10004, 0x7A3B, 0x4C1D, {0x9E, 0x21, 0x00, 0x5A, 0xDD, 0x00, 0x00, 0x04}};
inline constexpr Guid IID_IDirectDrawClipper = {
    0x56F10005, 0x7A3B, 0x4C1D, {0x9E, 0x21, 0x00, 0x5A, 0xDD, 0x00, 0x00, 0x05}};

inline constexpr uint32_t DDSCL_NORMAL = 8;
inline constexpr uint32_t DDSD_CAPS = 1;
inline constexpr uint32_t DDSCAPS_PRIMARYSURFACE = 0x200;
inline constexpr uint32_t DDLOCK_WAIT = 0x1;
inline constexpr uint32_t DDLOCK_WRITEONLY = 0x20;
inline constexpr uint32_t DDPF_RGB = 0x40;
inline constexpr uint32_t DDPF_PALETTEINDEXED8 = 0x20;
inline constexpr uint32_t kDdSurfaceDescSize = 108; // what callers put in dwSize
inline constexpr uint32_t RDH_RECTANGLES = 1;
inline constexpr HResult DDERR_INVALIDPARAMS = E_INVALIDARG;
inline constexpr HResult DDERR_GENERIC = E_FAIL;

struct DDPIXELFORMAT {
    uint32_t dwSize = 32;
    uint32_t dwFlags = 0;
    uint32_t dwFourCC = 0;
    uint32_t dwRGBBitCount = 0;
    uint32_t dwRBitMask = 0;
    uint32_t dwGBitMask = 0;
    uint32_t dwBBitMask = 0;
    uint32_t dwRGBAlphaBitMask = 0;
};

struct DDSCAPS {
    uint32_t dwCaps = 0;
};

struct DDSURFACEDESC {
    uint32_t dwSize = 0;
    uint32_t dwFlags = 0;
    uint32_t dwHeight = 0;
    uint32_t dwWidth = 0;
    int32_t lPitch = 0;
    uint32_t dwBackBufferCount = 0;
    void* lpSurface = nullptr;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS ddsCaps;
};

struct RGNDATAHEADER {
    uint32_t dwSize = 32;
    uint32_t iType = RDH_RECTANGLES;
    uint32_t nCount = 0;
    uint32_t nRgnSize = 0;
    Rect rcBound;
};

struct RGNDATA {
    RGNDATAHEADER rdh;
    Rect Buffer[1]; // nCount rectangles follow the header in the caller's buffer
};
inline constexpr uint32_t kRgnHeaderBytes = sizeof(RGNDATAHEADER);

class IDirectDrawClipper : public IUnknownLike {
public:
    virtual HResult SetHWnd(uint32_t flags, Hwnd hwnd) = 0;
    // The window's visible client area in screen coordinates; DDERR_REGIONTOOSMALL with *size the bytes needed.
    virtual HResult GetClipList(const Rect* clip, RGNDATA* data, uint32_t* size) = 0;
};

class IDirectDrawSurface : public IUnknownLike {
public:
    virtual HResult SetClipper(IDirectDrawClipper* clipper) = 0;
    virtual HResult IsLost() = 0;
    virtual HResult Restore() = 0;
    virtual HResult Lock(const Rect* rect, DDSURFACEDESC* desc, uint32_t flags, void* event) = 0;
    virtual HResult Unlock(void* pointer) = 0; // pixels reach the clipper window's visible client area only
};

class IDirectDraw : public IUnknownLike {};

class IDirectDraw2 : public IDirectDraw {
public:
    virtual HResult Initialize(const Guid* driver) = 0;
    virtual HResult SetCooperativeLevel(Hwnd hwnd, uint32_t flags) = 0;
    virtual HResult CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, IUnknownLike* outer) = 0;
    virtual HResult CreateClipper(uint32_t flags, IDirectDrawClipper** out, IUnknownLike* outer) = 0;
};

} // namespace pf
