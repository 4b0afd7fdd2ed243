#pragma once
// A window message and the parameter types it carries. Handles, control ids and small numbers travel in the
// parameters as they always have; pointers (NMHDR records, device contexts, brushes) travel in them too, for the
// duration of a synchronous send only.
#include "platform/base/hwnd.h"
#include "platform/base/rect.h"

#include <cstdint>

namespace pf {

class Dc;
struct Brush;

using WParam = uintptr_t;
using LParam = intptr_t;
using LResult = intptr_t;

struct Msg {
    Hwnd hwnd = kNoWindow;
    uint32_t message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
};

constexpr uint16_t loWord(uintptr_t v)
{
    return static_cast<uint16_t>(v & 0xFFFF);
}
constexpr uint16_t hiWord(uintptr_t v)
{
    return static_cast<uint16_t>((v >> 16) & 0xFFFF);
}
constexpr LParam makeLParam(int32_t lo, int32_t hi)
{
    return static_cast<LParam>(static_cast<uint32_t>(static_cast<uint16_t>(lo)) |
                               (static_cast<uint32_t>(static_cast<uint16_t>(hi)) << 16));
}
// Mouse coordinates are signed 16-bit halves: under capture they may lie left of or above the client area.
constexpr Point pointFromLParam(LParam l)
{
    return {static_cast<int16_t>(loWord(static_cast<uintptr_t>(l))),
            static_cast<int16_t>(hiWord(static_cast<uintptr_t>(l)))};
}
constexpr WParam makeWParam(int32_t lo, int32_t hi)
{
    return static_cast<WParam>(static_cast<uint32_t>(makeLParam(lo, hi)));
}

// Device contexts and brushes as message parameters (WM_ERASEBKGND, WM_CTLCOLOR*): the pointer lives as long as
// the send. A handler answering WM_CTLCOLOR* returns a brush it keeps alive itself, or a stock brush.
inline WParam wParamFromDc(Dc* dc)
{
    return reinterpret_cast<WParam>(dc);
}
inline Dc* dcFromWParam(WParam w)
{
    return reinterpret_cast<Dc*>(w);
}
inline LResult resultFromBrush(const Brush* brush)
{
    return reinterpret_cast<LResult>(brush);
}
inline const Brush* brushFromResult(LResult r)
{
    return reinterpret_cast<const Brush*>(r);
}

// Notification records sent with WM_NOTIFY; lParam points to the caller's record for the length of the send.
struct NMHDR {
    Hwnd hwndFrom = kNoWindow;
    uintptr_t idFrom = 0;
    int32_t code = 0;
};

template <typename T> T* notifyRecord(LParam l)
{
    return reinterpret_cast<T*>(l);
}

} // namespace pf
