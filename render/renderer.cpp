#include "render/renderer.h"

#include "render/render_target.h"

bool SWrenderer::SetBackground(const SWbackground* background)
{
    for (auto& device : m_devices)
        device->SetBackground(background);
    return !m_devices.empty();
}

bool SWrenderer::SetViewport(int32_t x, int32_t y, uint32_t width, uint32_t height, uint32_t extra)
{
    return m_primary != nullptr && m_primary->SetViewport(x, y, width, height, extra);
}

bool SWrenderer::SelectDevice(uint32_t width, uint32_t height)
{
    SWrenderdevice* chosen = nullptr;
    for (auto& device : m_devices) {
        if (chosen == nullptr && (device->GetDeviceFlags() & m_flags) != 0 && device->SetSize(width, height))
            chosen = device.get();
        else
            device->SetSize(0, 0);
    }
    m_primary = chosen;
    if (chosen != nullptr) {
        m_width = width;
        m_height = height;
    }
    return m_primary != nullptr;
}

bool SWrenderer::SetSupersampling(uint32_t x, uint32_t y)
{
    if (m_devices.empty() || x != y)
        return false;
    if (x == m_factor)
        return true;
    m_factor = x;
    // Releasing selects too (a device takes 0 x 0), so the size to come back to is kept aside first.
    const uint32_t width = m_width, height = m_height;
    SelectDevice(0, 0);
    for (auto& device : m_devices)
        device->SetSupersampling(x, y);
    const bool selected = SelectDevice(width, height);
    Invalidate();
    return selected;
}

bool SWrenderer::Present()
{
    return m_primary != nullptr && m_primary->Present();
}

bool SWrenderer::RefreshBuffers()
{
    return m_primary != nullptr && m_primary->RefreshBuffers();
}

bool SWrenderer::Invalidate()
{
    for (auto& device : m_devices)
        device->Invalidate();
    return false;
}

SWrendertarget* SWrenderer::GetSurface()
{
    return m_primary != nullptr ? m_primary->GetSurface() : nullptr;
}

bool SWrenderer::SetCamera(SWrendercamera* camera)
{
    for (auto& device : m_devices)
        device->SetCamera(camera);
    return !m_devices.empty();
}

bool SWrenderer::BeginFrame()
{
    return m_primary != nullptr && m_primary->BeginFrame();
}

bool SWrenderer::EndFrame()
{
    return m_primary != nullptr && m_primary->EndFrame();
}

bool SWrenderer::SetRenderMode(uint32_t mode)
{
    m_renderMode = mode;
    for (auto& device : m_devices)
        device->SetRenderMode(mode);
    return !m_devices.empty();
}

bool SWrenderer::SetPhase(uint32_t phase)
{
    return m_primary != nullptr && m_primary->SetPhase(phase);
}

bool SWrenderer::SetAntialiasing(bool on)
{
    for (auto& device : m_devices)
        device->SetAntialiasing(on);
    return m_primary != nullptr;
}

bool SWrenderer::IsAntialiasingDone()
{
    return m_primary != nullptr && m_primary->IsAntialiasingDone();
}

bool SWrenderer::SetWindow(pf::Hwnd window)
{
    for (auto& device : m_devices)
        device->SetWindow(window);
    return !m_devices.empty();
}

bool SWrenderer::RefreshPalette()
{
    bool any = false;
    for (auto& device : m_devices)
        any = device->RefreshPalette() || any;
    return any;
}

bool SWrenderer::RealizePalette(pf::PaletteRef palette)
{
    bool any = false;
    for (auto& device : m_devices)
        any = device->RealizePalette(palette) || any;
    return any;
}

void SWrenderer::SetGdiMode(bool on)
{
    for (auto& device : m_devices)
        device->SetGdiMode(on);
}

void SWrenderer::AddDevice(std::unique_ptr<SWrenderdevice> device)
{
    if (device == nullptr)
        return;
    m_devices.push_back(std::move(device));
    if (m_devices.size() == 1)
        m_primary = m_devices.front().get();
}

void SWrenderer::SetOwnerWord(uint32_t value)
{
    for (auto& device : m_devices) {
        if (SWrendertarget* target = device->GetSurface())
            target->SetOwnerWord(value);
    }
}
