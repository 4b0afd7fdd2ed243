#include "apps/vortan-render/window_frame.h"

#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "render/present/window_render_side.h"

namespace rendertool {

bool DrawWindowFrame(SWworld& world, SWwindowrenderside& side)
{
    side.RefreshBuffers();
    side.SetPhase(0);
    if (!side.BeginFrame())
        return false;
    SWrendertarget* target = side.GetSurface();
    if (target == nullptr)
        return false;
    world.GetRootObject()->Render(*target);
    side.EndFrame();
    return true;
}

} // namespace rendertool
