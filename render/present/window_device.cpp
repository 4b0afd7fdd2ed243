#include "render/present/window_device.h"

#include <algorithm>
#include <bit>
#include <optional>
#include <shared_mutex>
#include <span>

#include "platform/base/gdi_constants.h"
#include "platform/base/result.h"
#include "platform/ddraw/ddraw.h"
#include "platform/gfx/dc.h"
#include "platform/gfx/display_mode.h"
#include "platform/sys/com.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"
#include "render/render_surface.h"
#include "render/software/pixel_buffer.h"

using namespace pf; // the DirectDraw-shaped names read as the interfaces they stand for

namespace {

constexpr uint32_t kClipListBytes = 1024;

template <typename T> void ReleaseCom(T*& object)
{
    if (object != nullptr)
        object->Release();
    object = nullptr;
}

// The window's client size and its origin on the screen, or nothing once it is gone. Read under the tree's lock:
// this runs on the render thread while the user-interface thread adds, moves and destroys windows.
struct LiveGeometry {
    pf::Rect client;
    pf::Point origin;
};

std::optional<LiveGeometry> LiveWindow(pf::Hwnd handle)
{
    if (handle == pf::kNoWindow || !pf::hasUi())
        return std::nullopt;
    const std::shared_lock lock(pf::ui().treeLock());
    const pf::Window* window = pf::ui().window(handle);
    if (window == nullptr)
        return std::nullopt;
    return LiveGeometry{window->clientRect(), window->clientToScreen({0, 0})};
}

} // namespace

SWwindowdevice::SWwindowdevice()
{
    pf::LogPalette logical;
    for (int i = 0; i < SWpixelconverter::kCubeColours; ++i) {
        const auto red = static_cast<uint8_t>(SWpixelconverter::CubeLevelValue(i / 36));
        const auto green = static_cast<uint8_t>(SWpixelconverter::CubeLevelValue(i / 6 % 6));
        const auto blue = static_cast<uint8_t>(SWpixelconverter::CubeLevelValue(i % 6));
        m_cubeQuads[i] = {blue, green, red, 0};
        logical.entries.push_back({red, green, blue, 0});
        m_paletteMap[i] = static_cast<uint8_t>(i);
    }
    m_palette = pf::createPalette(logical);
    m_converter.Init(2, 1);
    m_band.resize(1056);
    RefreshPalette();
}

SWwindowdevice::~SWwindowdevice()
{
    ReleaseDirectDraw();
}

SWrendertarget* SWwindowdevice::GetSurface()
{
    return m_target.get();
}

bool SWwindowdevice::AttachSurface(std::unique_ptr<SWrendertarget> target)
{
    SWrendertarget* raw = target.release();
    m_target.reset(dynamic_cast<SWrendersurface*>(raw));
    if (m_target == nullptr)
        delete raw;
    ReleaseDirectDraw();
    Invalidate();
    const uint8_t oldGdi = m_gdiMode;
    m_gdiMode = 1;
    IDirectDraw* first = nullptr;
    if (!pf::succeeded(
            pf::CoCreateInstance(CLSID_DirectDraw, nullptr, 7, IID_IDirectDraw, reinterpret_cast<void**>(&first))) ||
        first == nullptr)
        return true;
    const pf::HResult asked = first->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&m_directDraw));
    first->Release();
    if (!pf::succeeded(asked) || m_directDraw == nullptr || !pf::succeeded(m_directDraw->Initialize(nullptr)) ||
        !pf::succeeded(m_directDraw->SetCooperativeLevel(pf::kNoWindow, DDSCL_NORMAL))) {
        ReleaseCom(m_directDraw);
        return true;
    }
    m_gdiMode = oldGdi;
    return true;
}

bool SWwindowdevice::SetBackground(const SWbackground* background)
{
    if (m_target == nullptr)
        return false;
    m_target->BufferA().SetBackground(background);
    m_target->BufferB().SetBackground(background);
    m_target->BufferC().SetBackground(background);
    return true;
}

bool SWwindowdevice::BeginFrame()
{
    if (m_target == nullptr)
        return false;
    float x = 0.0f, y = 0.0f;
    m_accumulator.Jitter(m_accumulator.GetStep(), x, y);
    m_target->SetJitter(x, y);
    if (m_gdiMode == 0 && m_primary != nullptr && m_primary->IsLost() != pf::S_OK)
        return false;
    return m_target->BeginFrame();
}

bool SWwindowdevice::EndFrame()
{
    return m_target != nullptr && m_target->EndFrame();
}

bool SWwindowdevice::RefreshBuffers()
{
    if (m_target != nullptr)
        m_target->RefreshBuffers();
    return true;
}

bool SWwindowdevice::SetViewport(int32_t x, int32_t y, uint32_t width, uint32_t height, uint32_t extra)
{
    m_viewX = x;
    m_viewY = y;
    m_viewWidth = width;
    m_viewHeight = height;
    m_viewExtra = extra;
    return true;
}

void SWwindowdevice::FollowCurrentBuffer()
{
    SWpixelbuffer* buffer = m_target != nullptr ? m_target->GetCurrentBuffer() : nullptr;
    m_converter.SetSource(buffer);
    if (buffer != nullptr) {
        buffer->MarkRedrawAll();
        m_target->RefreshBuffers();
    }
}

bool SWwindowdevice::SetSize(uint32_t width, uint32_t height)
{
    if (width == m_width && height == m_height && m_primary != nullptr && m_primary->IsLost() == pf::S_OK)
        return true;
    const bool sized = m_target != nullptr && m_target->Resize(width, height);
    m_width = sized ? width : 0;
    m_height = sized ? height : 0;
    m_accumulator.SetSize(m_width, m_height);
    FollowCurrentBuffer();
    if (m_primary != nullptr && m_primary->IsLost() == pf::DDERR_SURFACELOST && !pf::succeeded(m_primary->Restore()))
        ReleasePrimary();
    if (m_width != 0 && m_height != 0 && m_primary == nullptr && m_directDraw != nullptr)
        CreatePrimary();
    return sized;
}

void SWwindowdevice::CreatePrimary()
{
    DDSURFACEDESC desc;
    desc.dwSize = kDdSurfaceDescSize;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (!pf::succeeded(m_directDraw->CreateSurface(&desc, &m_primary, nullptr)) ||
        !pf::succeeded(m_directDraw->CreateClipper(0, &m_clipper, nullptr)) ||
        !pf::succeeded(m_primary->SetClipper(m_clipper)) || !pf::succeeded(m_clipper->SetHWnd(0, m_window)))
        ReleasePrimary();
}

void SWwindowdevice::ReleasePrimary()
{
    ReleaseCom(m_clipper);
    ReleaseCom(m_primary);
}

void SWwindowdevice::ReleaseDirectDraw()
{
    ReleasePrimary();
    ReleaseCom(m_directDraw);
}

bool SWwindowdevice::SetSupersampling(uint32_t a, uint32_t b)
{
    if (a == m_superX && b == m_superY)
        return true;
    if (m_target == nullptr || !m_target->SetSupersampling(a, b))
        return false;
    m_target->Resize(m_width, m_height);
    m_accumulator.Reset();
    m_superX = a;
    m_superY = b;
    FollowCurrentBuffer();
    return true;
}

void SWwindowdevice::MarkAllForRedraw()
{
    if (m_target != nullptr) {
        m_target->BufferA().MarkRedrawAll();
        m_target->BufferB().MarkRedrawAll();
        m_target->BufferC().MarkRedrawAll();
    }
}

bool SWwindowdevice::Invalidate()
{
    // What the view shows changed: a refinement carried on would keep writing the mean of the frames drawn
    // before the change over every new one.
    m_accumulator.Reset();
    MarkAllForRedraw();
    return true;
}

bool SWwindowdevice::SetRenderMode(uint32_t mode)
{
    if (m_target == nullptr)
        return false;
    if (mode == m_renderMode)
        return true;
    m_renderMode = mode;
    if (!m_target->SetRenderMode(mode))
        return false;
    m_target->Resize(m_width, m_height);
    m_converter.SetModes(mode == 1, mode == 2);
    FollowCurrentBuffer();
    return true;
}

bool SWwindowdevice::SetPhase(uint32_t phase)
{
    return m_target != nullptr && m_target->SetPhase(phase);
}

bool SWwindowdevice::SetAntialiasing(bool on)
{
    m_antialiasing = on ? 1 : 0;
    if (!on)
        m_accumulator.Reset();
    return true;
}

void SWwindowdevice::SetGdiMode(bool on)
{
    if (m_gdiMode == 0 && on) {
        m_gdiMode = 1;
        return;
    }
    m_gdiMode = on ? 1 : 0;
    RefreshPalette();
}

bool SWwindowdevice::SetWindow(pf::Hwnd window)
{
    if (window == pf::kNoWindow)
        return false;
    m_window = window;
    m_remembered.reset();
    RefreshPalette();
    return true;
}

bool SWwindowdevice::RefreshPalette()
{
    if (m_gdiMode != 0)
        return true;
    const std::vector<pf::PaletteEntry> system = pf::displayMode().getSystemPaletteEntries(0, 256);
    if (system.size() != 256) // not an 8-bit display: nothing to map onto
        return true;
    uint8_t entries[256 * 4];
    for (size_t i = 0; i < 256; ++i) {
        entries[4 * i] = system[i].red;
        entries[4 * i + 1] = system[i].green;
        entries[4 * i + 2] = system[i].blue;
        entries[4 * i + 3] = system[i].flags;
    }
    m_converter.MapPalette(entries);
    std::copy_n(m_converter.PaletteMap(), SWpixelconverter::kCubeColours, m_paletteMap);
    return true;
}

bool SWwindowdevice::RealizePalette(pf::PaletteRef palette)
{
    if (palette != nullptr)
        m_remembered = palette;
    const pf::PaletteRef chosen = palette != nullptr ? palette : m_palette;
    if (chosen == nullptr || !LiveWindow(m_window))
        return false;
    pf::WindowDc dc(m_window);
    dc.selectPalette(chosen, true);
    dc.realizePalette();
    return true;
}

bool SWwindowdevice::SetDrawDC(pf::Dc* dc)
{
    m_drawDc = dc;
    if (dc != nullptr)
        m_gdiMode = 1;
    return true;
}

uint32_t SWwindowdevice::RowMask(const SWpixelbuffer& buffer, int32_t row) const
{
    const int32_t height = buffer.Height();
    const int32_t index = m_renderMode == 1 ? (row >> 1) + ((row & 1) ? (height + 1) >> 1 : 0) : row;
    return buffer.CurrentMask(index) | buffer.PreviousMask(index);
}

bool SWwindowdevice::GetDirtyRect(int32_t first, int32_t last, pf::Rect& out) const
{
    const SWpixelbuffer* buffer = m_target != nullptr ? m_target->GetCurrentBuffer() : nullptr;
    out = {0, first, 0, last};
    if (buffer == nullptr)
        return false;
    const int32_t height = buffer->Height();
    uint32_t columns = 0;
    int32_t top = -1, bottom = -1;
    for (int32_t r = std::max(first, 0); r <= last && r < height; ++r) {
        const uint32_t mask = RowMask(*buffer, r);
        if (mask == 0)
            continue;
        columns |= mask;
        if (top < 0)
            top = r;
        bottom = r;
    }
    if (columns == 0)
        return false;
    const uint32_t shift = buffer->BlockShift();
    const int64_t right = std::min<int64_t>((int64_t{32} - std::countl_zero(columns)) << shift, buffer->Width());
    out = {std::countr_zero(columns) << shift, top, static_cast<int32_t>(right), bottom + 1}; // r, b excluded
    return true;
}

bool SWwindowdevice::Present()
{
    SWpixelbuffer* buffer = m_target != nullptr ? m_target->GetCurrentBuffer() : nullptr;
    m_counters = {};
    if (buffer == nullptr || buffer->Width() <= 0 || buffer->Height() <= 0)
        return false;
    if (m_antialiasing != 0) {
        // The frame's own size, which the accumulator writes over, whatever the output was told.
        m_accumulator.SetFrame(buffer->Row(0), static_cast<uint32_t>(buffer->PitchBytes()), SWaccumulator::kFormat32);
        m_accumulator.SetSize(static_cast<uint32_t>(buffer->Width()), static_cast<uint32_t>(buffer->Height()));
        m_accumulator.Accumulate();
        MarkAllForRedraw();
        m_accumulating = 1;
    } else if (m_accumulating != 0) {
        MarkAllForRedraw();
        m_accumulating = 0;
    }
    m_converter.SetSource(buffer);
    const uint64_t before = m_converter.ConvertedPixels();
    bool presented = false;
    bool fallBack = m_gdiMode != 0 || m_primary == nullptr; // no primary surface: GDI still shows the frame
    if (!fallBack)
        presented = PresentDirectDraw(*buffer, fallBack);
    if (fallBack)
        presented = PresentGdi(*buffer);
    m_counters.pixels = m_converter.ConvertedPixels() - before;
    return presented;
}

bool SWwindowdevice::PresentGdi(SWpixelbuffer& buffer)
{
    std::optional<pf::WindowDc> own;
    pf::Dc* dc = m_drawDc;
    if (dc == nullptr) {
        if (!LiveWindow(m_window))
            return false;
        own.emplace(m_window);
        dc = &*own;
    }
    const int32_t caps = dc->getDeviceCaps(pf::BITSPIXEL);
    const uint32_t depth = caps == 8 || caps == 16 || caps == 24 ? static_cast<uint32_t>(caps) : 32;
    const int32_t width = buffer.Width();
    const int64_t stride = (int64_t{width} * depth / 8 + 3) & ~int64_t{3};
    m_band.resize(static_cast<size_t>(stride * kBandRows));
    m_dibHeader.biWidth = width;
    m_dibHeader.biBitCount = static_cast<uint16_t>(depth);
    m_dibHeader.biClrUsed = depth == 8 ? SWpixelconverter::kCubeColours : 0;
    pf::BitmapInfo info;
    if (depth == 8) {
        info.bmiColors = std::span<const pf::RgbQuad>(m_cubeQuads);
        dc->selectPalette(m_remembered != nullptr ? m_remembered : m_palette, true);
        // The bitmap carries cube indices with the cube as its colour table: never system palette indices.
        m_converter.ClearPaletteMap();
    }
    const bool sixteen = depth == 16;
    for (int32_t top = 0; top < buffer.Height(); top += kBandRows) {
        const int32_t rows = std::min(kBandRows, buffer.Height() - top);
        pf::Rect dirty;
        if (!GetDirtyRect(top, top + rows - 1, dirty))
            continue;
        m_converter.Configure(depth, sixteen ? 0x7C00 : 0xFF0000, sixteen ? 0x03E0 : 0xFF00, sixteen ? 0x1F : 0xFF,
                              m_band.data(), static_cast<int32_t>(stride), 0, -top, width, rows);
        m_converter.Convert(dirty.l, dirty.t, dirty.r - dirty.l, dirty.b - dirty.t);
        m_dibHeader.biHeight = -rows;
        info.bmiHeader = m_dibHeader;
        // The band buffer serves every band, so outside the dirty blocks it holds another band's or an older
        // frame's pixels: only the dirty runs are drawn, rows of the same mask together.
        const std::span<const uint8_t> bits(m_band.data(), static_cast<size_t>(stride * rows));
        const uint32_t shift = buffer.BlockShift();
        int32_t groupTop = dirty.t;
        uint32_t groupMask = RowMask(buffer, dirty.t);
        for (int32_t r = dirty.t + 1; r <= dirty.b; ++r) {
            const uint32_t mask = r < dirty.b ? RowMask(buffer, r) : ~groupMask;
            if (mask == groupMask)
                continue;
            for (uint32_t rest = groupMask; rest != 0;) {
                const int32_t first = std::countr_zero(rest);
                const int32_t ones = std::countr_one(rest >> first);
                rest = ones + first >= 32 ? 0 : rest & (~0u << (first + ones));
                const int32_t left = first << shift;
                const int32_t right = std::min<int32_t>((first + ones) << shift, width);
                if (left < right)
                    dc->setDIBitsToDevice(left, groupTop, static_cast<uint32_t>(right - left),
                                          static_cast<uint32_t>(r - groupTop), left, groupTop - top, 0,
                                          static_cast<uint32_t>(rows), bits, info, pf::DIB_RGB_COLORS);
            }
            groupTop = r;
            groupMask = mask;
        }
        ++m_counters.bands;
    }
    if (depth == 8)
        m_converter.RestorePaletteMap(); // for an 8-bit primary surface, which shows system palette indices
    return true;
}

bool SWwindowdevice::PresentDirectDraw(SWpixelbuffer& buffer, bool& fallBackToGdi)
{
    const std::optional<LiveGeometry> window = LiveWindow(m_window);
    if (!window)
        return false;
    const pf::Rect client = window->client;
    if (client.isEmpty() || static_cast<uint32_t>(client.r - client.l) != m_width ||
        static_cast<uint32_t>(client.b - client.t) != m_height)
        return false;
    const pf::Point origin = window->origin;
    const pf::Rect screenClient = pf::Rect::fromXywh(origin.x, origin.y, client.r, client.b);
    alignas(RGNDATA) uint8_t clipBytes[kClipListBytes];
    auto* clip = reinterpret_cast<RGNDATA*>(clipBytes);
    uint32_t clipSize = kClipListBytes;
    const pf::HResult listed = m_clipper->GetClipList(nullptr, clip, &clipSize);
    if (listed == pf::DDERR_REGIONTOOSMALL) {
        fallBackToGdi = true;
        return false;
    }
    if (!pf::succeeded(listed))
        return false;
    const uint32_t count = std::min<uint32_t>(clip->rdh.nCount, (kClipListBytes - kRgnHeaderBytes) / sizeof(pf::Rect));
    const pf::Rect* rects = clip->Buffer;
    if (count != 1 || !(rects[0] == screenClient))
        MarkAllForRedraw();
    m_counters.directDraw = true;
    for (int32_t top = 0; top < buffer.Height(); top += kBandRows) {
        const int32_t rows = std::min(kBandRows, buffer.Height() - top);
        pf::Rect dirty;
        if (!GetDirtyRect(top, top + rows - 1, dirty))
            continue;
        DDSURFACEDESC desc;
        desc.dwSize = kDdSurfaceDescSize;
        if (!pf::succeeded(m_primary->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr)))
            return false;
        if ((desc.ddpfPixelFormat.dwFlags & DDPF_RGB) != 0 && desc.lpSurface != nullptr) {
            const pf::DDPIXELFORMAT& format = desc.ddpfPixelFormat;
            m_converter.Configure(format.dwRGBBitCount, format.dwRBitMask, format.dwGBitMask, format.dwBBitMask,
                                  static_cast<uint8_t*>(desc.lpSurface), desc.lPitch, origin.x, origin.y,
                                  static_cast<int32_t>(desc.dwWidth), static_cast<int32_t>(desc.dwHeight));
            // Only inside the visible parts of the client area; the converter keeps to the surface's bounds.
            for (uint32_t i = 0; i < count; ++i) {
                const pf::Rect local = {rects[i].l - origin.x, rects[i].t - origin.y, rects[i].r - origin.x,
                                        rects[i].b - origin.y};
                const pf::Rect part = local.intersected(dirty);
                if (!part.isEmpty())
                    m_converter.Convert(part.l, part.t, part.r - part.l, part.b - part.t);
            }
        }
        m_primary->Unlock(desc.lpSurface);
        ++m_counters.bands;
    }
    return true;
}
