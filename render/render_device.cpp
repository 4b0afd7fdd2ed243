#include "render/render_device.h"

#include "render/render_target.h"

bool SWrenderdevice::SetSupersampling(uint32_t a, uint32_t b)
{
    SWrendertarget* target = GetSurface();
    return target != nullptr && target->SetSupersampling(a, b);
}

bool SWrenderdevice::SetCamera(SWrendercamera* camera)
{
    SWrendertarget* target = GetSurface();
    return target != nullptr && target->SetCamera(camera);
}
