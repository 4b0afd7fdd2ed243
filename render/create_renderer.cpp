#include <atomic>

#include "render/present/window_device.h"
#include "render/render_drivers.h"
#include "render/render_surface.h"
#include "render/renderer.h"

namespace {

std::atomic<SWrenderdrivers::Direct3D8Factory> g_direct3D8Factory{nullptr};

} // namespace

SWrenderdrivers::Direct3D8Factory SWrenderdrivers::SetDirect3D8Factory(Direct3D8Factory factory)
{
    return g_direct3D8Factory.exchange(factory);
}

std::unique_ptr<SWrenderer> SWrenderdrivers::CreateRenderer(uint32_t flags) const
{
    if (m_ready == 0)
        return nullptr;
    auto renderer = std::make_unique<SWrenderer>();
    renderer->SetFlags(flags);
    bool made = false;
    if ((flags & SWrenderdevice::kDirect3D8Device) != 0) {
        std::unique_ptr<SWrenderdevice> device;
        std::unique_ptr<SWrendertarget> surface;
        const Direct3D8Factory factory = g_direct3D8Factory.load();
        if (factory != nullptr && factory(device, surface) && device != nullptr && surface != nullptr &&
            surface->Init()) {
            device->AttachSurface(std::move(surface));
            renderer->AddDevice(std::move(device));
            made = true;
        }
    }
    if ((flags & SWrenderdevice::kWindowDevice) != 0) {
        auto device = std::make_unique<SWwindowdevice>();
        auto surface = std::make_unique<SWrendersurface>();
        surface->Init(); // the device is kept whatever the surface answers
        device->AttachSurface(std::move(surface));
        renderer->AddDevice(std::move(device));
        made = true;
    }
    return made ? std::move(renderer) : nullptr;
}
