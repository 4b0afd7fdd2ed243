#include "platform/ddraw/direct_draw.h"

#include "platform/base/region.h"
#include "platform/ddraw/ddraw.h"
#include "platform/display/screen.h"
#include "platform/gfx/display_mode.h"
#include "platform/sys/com_object.h"
#include "platform/ui/core/ui.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <mutex>
#include <vector>

namespace pf {

namespace {

std::atomic<int> g_live{0};
std::atomic<uint64_t> g_lostGeneration{0};
std::mutex g_faultMutex;
DirectDrawFaults g_faults;

DirectDrawFaults faults()
{
    const std::lock_guard lock(g_faultMutex);
    return g_faults;
}

// Counts the stand-in's objects so that tests can see a leaked reference.
template <class Interface> class Counted : public ComObject<Interface> {
public:
    explicit Counted(const Guid& iid) : ComObject<Interface>(iid) { g_live.fetch_add(1); }

protected:
    ~Counted() override { g_live.fetch_sub(1); }
};

struct VisibleClient {
    std::shared_ptr<Surface32> surface;
    Point windowOrigin; // screen position of the surface's (0, 0)
    Region region;      // screen coordinates
};

// The window's client area in screen coordinates without what windows above it cover, and its surface.
VisibleClient visibleClientOf(Hwnd hwnd)
{
    if (!hasUi())
        return {};
    const Rect bounds = screen().bounds();
    Region covered;
    const std::shared_lock lock(ui().treeLock());
    for (const TopLevelView& view : screen().topLevels()) {
        if (!view.visible)
            continue;
        if (view.hwnd == hwnd) {
            const Window* w = ui().window(hwnd);
            if (w == nullptr)
                return {};
            const Point origin = w->clientToScreen({0, 0});
            Region client(w->clientRect().offsetBy(origin.x, origin.y).intersected(bounds));
            client.subtract(covered);
            return {view.surface, view.rect.topLeft(), std::move(client)};
        }
        covered.unite(view.rect);
    }
    return {};
}

struct PixelLayout {
    int32_t depth = 32;
    ChannelMasks masks;
    uint32_t bytesPerPixel = 4;
};

PixelLayout screenLayout()
{
    PixelLayout l;
    l.depth = screen().depth();
    l.bytesPerPixel = static_cast<uint32_t>(l.depth / 8);
    if (l.depth == 16)
        l.masks = screen().masks();
    else if (l.depth != 8)
        l.masks = {0xFF0000u, 0x00FF00u, 0x0000FFu};
    return l;
}

uint32_t expandChannel(uint32_t pixel, uint32_t mask)
{
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const uint32_t max = mask >> shift;
    return ((pixel & mask) >> shift) * 255 / max;
}

class Clipper final : public Counted<IDirectDrawClipper> {
public:
    Clipper() : Counted(IID_IDirectDrawClipper) {}
    HResult SetHWnd(uint32_t, Hwnd hwnd) override
    {
        m_hwnd.store(hwnd);
        return DD_OK;
    }
    HResult GetClipList(const Rect* clip, RGNDATA* data, uint32_t* size) override
    {
        if (size == nullptr)
            return DDERR_INVALIDPARAMS;
        Region region = visibleClientOf(m_hwnd.load()).region;
        if (clip != nullptr)
            region.intersect(*clip);
        const uint64_t needed = kRgnHeaderBytes + uint64_t{sizeof(Rect)} * region.rects().size();
        if (data == nullptr || *size < needed) {
            *size = static_cast<uint32_t>(needed);
            return data == nullptr ? DD_OK : DDERR_REGIONTOOSMALL;
        }
        data->rdh = {};
        data->rdh.nCount = static_cast<uint32_t>(region.rects().size());
        data->rdh.nRgnSize = static_cast<uint32_t>(sizeof(Rect) * region.rects().size());
        data->rdh.rcBound = region.bounds();
        if (!region.rects().empty())
            std::memcpy(data->Buffer, region.rects().data(), sizeof(Rect) * region.rects().size());
        return DD_OK;
    }

    Hwnd hwnd() const { return m_hwnd.load(); }

private:
    std::atomic<Hwnd> m_hwnd{kNoWindow};
};

class PrimarySurface final : public Counted<IDirectDrawSurface> {
public:
    PrimarySurface() : Counted(IID_IDirectDrawSurface), m_layout(screenLayout()), m_size(screen().size())
    {
        m_pitch = (static_cast<uint64_t>(m_size.cx) * m_layout.bytesPerPixel + 3) & ~uint64_t{3};
        m_pixels.assign(m_pitch * static_cast<uint64_t>(m_size.cy), 0);
        m_generation = g_lostGeneration.load();
    }
    ~PrimarySurface() override
    {
        if (m_clipper != nullptr)
            m_clipper->Release();
    }
    HResult SetClipper(IDirectDrawClipper* clipper) override
    {
        if (clipper != nullptr)
            clipper->AddRef();
        if (m_clipper != nullptr)
            m_clipper->Release();
        m_clipper = clipper;
        return DD_OK;
    }
    HResult IsLost() override { return m_generation != g_lostGeneration.load() ? DDERR_SURFACELOST : DD_OK; }
    HResult Restore() override
    {
        if (faults().failRestore)
            return DDERR_SURFACELOST;
        m_generation = g_lostGeneration.load();
        return DD_OK;
    }
    HResult Lock(const Rect* rect, DDSURFACEDESC* desc, uint32_t, void*) override
    {
        if (desc == nullptr || desc->dwSize != kDdSurfaceDescSize || rect != nullptr)
            return DDERR_INVALIDPARAMS;
        if (IsLost() != DD_OK)
            return DDERR_SURFACELOST;
        if (faults().failLock)
            return DDERR_GENERIC;
        desc->dwWidth = static_cast<uint32_t>(m_size.cx);
        desc->dwHeight = static_cast<uint32_t>(m_size.cy);
        desc->lPitch = static_cast<int32_t>(m_pitch);
        desc->lpSurface = m_pixels.data();
        DDPIXELFORMAT& pf = desc->ddpfPixelFormat;
        pf = {};
        pf.dwFlags = m_layout.depth == 8 ? DDPF_RGB | DDPF_PALETTEINDEXED8 : DDPF_RGB;
        pf.dwRGBBitCount = static_cast<uint32_t>(m_layout.depth);
        pf.dwRBitMask = m_layout.masks.red;
        pf.dwGBitMask = m_layout.masks.green;
        pf.dwBBitMask = m_layout.masks.blue;
        return DD_OK;
    }
    HResult Unlock(void*) override
    {
        if (IsLost() != DD_OK)
            return DDERR_SURFACELOST;
        // Only the clipper's window receives pixels: whatever the caller wrote elsewhere, no other window changes.
        const Hwnd hwnd = m_clipper != nullptr ? static_cast<Clipper*>(m_clipper)->hwnd() : kNoWindow;
        if (const VisibleClient client = visibleClientOf(hwnd); client.surface != nullptr)
            carry(client);
        return DD_OK;
    }

private:
    uint32_t pixelAt(int32_t x, int32_t y, const std::array<PaletteEntry, 256>& palette) const
    {
        const uint8_t* p =
            m_pixels.data() + static_cast<uint64_t>(y) * m_pitch + static_cast<uint64_t>(x) * m_layout.bytesPerPixel;
        if (m_layout.depth == 8) {
            const PaletteEntry& e = palette[p[0]];
            return (uint32_t{e.red} << 16) | (uint32_t{e.green} << 8) | e.blue;
        }
        uint32_t raw = 0;
        for (uint32_t i = 0; i < m_layout.bytesPerPixel; ++i)
            raw |= uint32_t{p[i]} << (8 * i);
        return (expandChannel(raw, m_layout.masks.red) << 16) | (expandChannel(raw, m_layout.masks.green) << 8) |
               expandChannel(raw, m_layout.masks.blue);
    }

    void carry(const VisibleClient& client) const
    {
        const std::array<PaletteEntry, 256> palette = displayMode().systemPalette();
        const Rect primary{0, 0, m_size.cx, m_size.cy};
        Rect touched;
        {
            Surface32& target = *client.surface;
            const std::lock_guard lock(target.mutex());
            for (const Rect& r : client.region.rects()) {
                const Rect inside = r.intersected(primary).intersected(
                    target.bounds().offsetBy(client.windowOrigin.x, client.windowOrigin.y));
                for (int32_t y = inside.t; y < inside.b; ++y)
                    for (int32_t x = inside.l; x < inside.r; ++x)
                        target.setPixel(x - client.windowOrigin.x, y - client.windowOrigin.y,
                                        displayMode().emulate(pixelAt(x, y, palette)));
                touched = touched.boundsWith(inside.offsetBy(-client.windowOrigin.x, -client.windowOrigin.y));
            }
        }
        if (DisplayBackend* backend = presentationBackend(); backend != nullptr && !touched.isEmpty())
            backend->surfaceChanged(client.surface.get(), touched);
    }

    PixelLayout m_layout;
    Size m_size;
    uint64_t m_pitch = 0;
    std::vector<uint8_t> m_pixels;
    uint64_t m_generation = 0;
    IDirectDrawClipper* m_clipper = nullptr; // one reference held
};

class DirectDraw final : public Counted<IDirectDraw2> {
public:
    DirectDraw() : Counted(IID_IDirectDraw2) {}
    HResult QueryInterface(const Guid& iid, void** out) override
    {
        if (out != nullptr && iid == IID_IDirectDraw) {
            *out = static_cast<IDirectDraw*>(this);
            AddRef();
            return S_OK;
        }
        return Counted::QueryInterface(iid, out);
    }
    HResult Initialize(const Guid*) override { return DD_OK; }
    HResult SetCooperativeLevel(Hwnd, uint32_t flags) override
    {
        return flags == DDSCL_NORMAL ? DD_OK : DDERR_INVALIDPARAMS;
    }
    HResult CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, IUnknownLike*) override
    {
        if (out == nullptr)
            return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (desc == nullptr || desc->dwSize != kDdSurfaceDescSize || (desc->dwFlags & DDSD_CAPS) == 0 ||
            (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) == 0)
            return DDERR_INVALIDPARAMS;
        if (faults().failCreateSurface)
            return DDERR_GENERIC;
        *out = new PrimarySurface();
        return DD_OK;
    }
    HResult CreateClipper(uint32_t, IDirectDrawClipper** out, IUnknownLike*) override
    {
        if (out == nullptr)
            return DDERR_INVALIDPARAMS;
        *out = new Clipper();
        return DD_OK;
    }
};

} // namespace

void registerDirectDrawStandIn()
{
    registerComClass(CLSID_DirectDraw, [](const Guid& iid, void** out) {
        auto* object = new DirectDraw();
        const HResult hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    });
}

void unregisterDirectDrawStandIn()
{
    unregisterComClass(CLSID_DirectDraw);
}

void setDirectDrawFaults(const DirectDrawFaults& next)
{
    const std::lock_guard lock(g_faultMutex);
    g_faults = next;
}

void loseDirectDrawSurfaces()
{
    g_lostGeneration.fetch_add(1);
}

int directDrawLiveObjects()
{
    return g_live.load();
}

} // namespace pf
