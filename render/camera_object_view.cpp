// The render-camera half of SWcameraobject::ComputeSurfaceMatrices: the world model's view and depth range put
// into an SWrendercamera, so that an off-screen surface draws what the camera object sees.
#include <cmath>

#include "engine/core/camera_node.h"
#include "render/render_camera.h"

namespace {

SWvector Normalised(const SWvector& v)
{
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return length > 0.0f ? SWvector{v.x / length, v.y / length, v.z / length} : v;
}

} // namespace

// The camera object looks along its +z with +y up; the render camera looks along minus its direction with
// up x direction to the right, so it is given the object's -z and +y. In the world's right-handed frame the
// object's +x then lies on the viewer's left: a point at clip x / w = c lands at W (1 - c) / 2 on the screen, and
// one at clip y / w = c at H (1 - c) / 2. The projection centre sits one unit in front of the position, on the eye.
void SWcameraobject::ComputeSurfaceMatrices(const SWmatrix& objectMatrix, SWrendercamera& camera, float aspect) const
{
    const SWsurfacematrices matrices = ComputeSurfaceMatrices(objectMatrix, aspect);
    const SWvector eye{objectMatrix[3], objectMatrix[7], objectMatrix[11]};
    const SWvector up = Normalised({objectMatrix[1], objectMatrix[5], objectMatrix[9]});
    const SWvector forward = Normalised({objectMatrix[2], objectMatrix[6], objectMatrix[10]});
    camera.SetDirection(-forward.x, -forward.y, -forward.z);
    camera.SetUp(up.x, up.y, up.z);
    camera.SetPosition(eye.x + forward.x, eye.y + forward.y, eye.z + forward.z);
    camera.SetScale(0.0f, 0.0f, 1.0f);
    // The window at unit distance spans 2 / (the projection's x and y factors), so both project alike.
    const float xFactor = matrices.projection[0];
    const float yFactor = matrices.projection[5];
    camera.SetViewport(2.0f / xFactor, 2.0f / yFactor);
    camera.SetWindowX(-1.0f / xFactor, 1.0f / xFactor);
    camera.SetWindowY(-1.0f / yFactor, 1.0f / yFactor);
    camera.SetNearPlane(matrices.nearZ);
    camera.SetFarPlane(matrices.farZ);
}
