#include "engine/core/camera_node.h"

#include <cmath>

SWcameraobject::SWcameraobject() = default;

void SWcameraobject::SetFirstStereoValue(float value)
{
    m_stereo[0] = value;
    m_eyeSeparation = value * kEyeSeparationPerUnit;
}

SWsurfacematrices SWcameraobject::ComputeSurfaceMatrices(const SWmatrix& objectMatrix, float aspect) const
{
    SWsurfacematrices out;
    objectMatrix.Invert(out.view);
    const float centre = m_depthCentre > 0.0f ? m_depthCentre : 1.0f; // also catches not-a-number
    const float halfRange = std::fabs(m_depthRange) * 0.5f;
    out.nearZ = std::fmax(centre - halfRange, 1e-6f * centre);
    out.farZ = centre + halfRange;
    if (!(out.farZ > out.nearZ))
        out.farZ = out.nearZ * 2.0f;
    const float halfWidth = std::tan(m_fieldOfView * 0.5f); // the image plane's half width per unit of depth
    const float sx = halfWidth > 0.0f ? 1.0f / halfWidth : 1.0f;
    const float sy = sx * (aspect > 0.0f ? aspect : 1.0f);
    const float depthScale = out.farZ / (out.farZ - out.nearZ);
    SWmatrix& p = out.projection;
    p = SWmatrix();
    p[0] = sx;
    p[5] = sy;
    p[10] = depthScale;
    p[11] = -out.nearZ * depthScale;
    p[14] = 1.0f;
    p[15] = 0.0f;
    return out;
}

SWcameranode::SWcameranode(SWcameraobject* camera) : SWobjectnode(kKindCamera)
{
    SetGeometry(camera);
}

SWcameraobject* SWcameranode::GetCameraObject() const
{
    return dynamic_cast<SWcameraobject*>(GetGeometry());
}

float SWcameranode::GetFieldOfView() const
{
    const SWcameraobject* camera = GetCameraObject();
    return camera != nullptr ? camera->GetFieldOfView() : 0.7853982f;
}

void SWcameranode::SetEye(uint8_t eye)
{
    m_eye = eye;
    if (m_eyeIndex != 0) {
        m_previousEyeIndex = m_eyeIndex;
        m_eyeIndex = eye;
    }
}

void SWcameranode::SetStereoEye(bool on)
{
    m_previousEyeIndex = m_eyeIndex;
    m_eyeIndex = on ? m_eye : 0;
}
