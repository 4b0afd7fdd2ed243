#pragma once
// Result values the callers test: COM-style HRESULTs (negative = failure) and the per-thread last-error number of
// calls that answer 0 or false.
#include <cstdint>

namespace pf {

using HResult = int32_t;

constexpr HResult hresult(uint32_t bits)
{
    return static_cast<HResult>(bits);
}
constexpr bool succeeded(HResult hr)
{
    return hr >= 0;
}
constexpr bool failed(HResult hr)
{
    return hr < 0;
}

// COM
constexpr HResult S_OK = 0;
constexpr HResult S_FALSE = 1;
constexpr HResult E_NOINTERFACE = hresult(0x80004002u);
constexpr HResult E_POINTER = hresult(0x80004003u);
constexpr HResult E_FAIL = hresult(0x80004005u);
constexpr HResult E_INVALIDARG = hresult(0x80070057u);
constexpr HResult E_OUTOFMEMORY = hresult(0x8007000Eu);
constexpr HResult E_UNEXPECTED = hresult(0x8000FFFFu);
constexpr HResult REGDB_E_CLASSNOTREG = hresult(0x80040154u);

// DirectDraw
constexpr HResult DD_OK = 0;
constexpr HResult DDERR_SURFACELOST = hresult(0x887601C2u);
constexpr HResult DDERR_REGIONTOOSMALL = hresult(0x8876019Au);

// Direct3D 8
constexpr HResult D3D_OK = 0;
constexpr HResult D3DERR_NOTAVAILABLE = hresult(0x8876086Au);
constexpr HResult D3DERR_DEVICELOST = hresult(0x88760868u);
constexpr HResult D3DERR_INVALIDCALL = hresult(0x8876086Cu);
constexpr HResult D3DERR_OUTOFVIDEOMEMORY = hresult(0x8876017Cu);

// Last-error numbers the layer sets.
constexpr uint32_t ERROR_SUCCESS = 0;
constexpr uint32_t ERROR_INVALID_HANDLE = 6;
constexpr uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr uint32_t ERROR_INVALID_PARAMETER = 87;

uint32_t lastError();             // of the calling thread; 0 until something sets it
void setLastError(uint32_t code); // of the calling thread only

} // namespace pf
