// The Direct3D 8 pair that CreateRenderer makes for device flag 2, installed when the library is loaded. Without a
// registered "d3d8.dll" the surface's Init fails and the renderer keeps only the window device, if asked for.
#include "render/d3d8/d3d8_device.h"
#include "render/d3d8/d3d8_surface.h"
#include "render/render_drivers.h"

namespace {

bool MakeDirect3D8Pair(std::unique_ptr<SWrenderdevice>& outDevice, std::unique_ptr<SWrendertarget>& outSurface)
{
    outDevice = std::make_unique<SWd3d8device>();
    outSurface = std::make_unique<SWd3d8surface>();
    return true;
}

const bool g_installed = (SWrenderdrivers::SetDirect3D8Factory(&MakeDirect3D8Pair), true);

} // namespace
