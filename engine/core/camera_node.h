#pragma once
// Cameras. SWcameraobject is the camera node's geometry object: what the camera sees with (field of view, depth
// range, stereo settings). SWcameranode is the node, with the eye it shows in stereo.
//
// ComputeSurfaceMatrices builds a view and a perspective projection for an off-screen surface. The camera looks
// along its +z axis; the projection maps depth near..far to 0..1 and the image plane at the depth centre, 2 tan(fov/2)
// x centre wide, to -1..1 across.
#include <cstdint>

#include "engine/core/matrix.h"
#include "engine/core/object_node.h"
#include "engine/core/vector.h"
#include "engine/resources/geometry.h"

struct SWsurfacematrices {
    SWmatrix view;       // world to camera: the inverse of the object matrix
    SWmatrix projection; // camera to clip space
    float nearZ = 0.0f;
    float farZ = 0.0f;
};

class SWrendercamera;

class SWcameraobject : public SWgeometry {
public:
    static constexpr float kEyeSeparationPerUnit = 0.06f;

    SWcameraobject();

    float GetFieldOfView() const { return m_fieldOfView; } // radians
    void SetFieldOfView(float radians) { m_fieldOfView = radians; }
    uint8_t GetSubType() const { return m_subType; } // 3 and 4 draw the other camera icon
    void SetSubType(uint8_t subType) { m_subType = subType; }
    uint8_t GetProjectionKind() const { return m_projectionKind; }
    void SetProjectionKind(uint8_t kind) { m_projectionKind = kind; }
    const SWvector& GetDirection() const { return m_direction; }
    void SetDirection(const SWvector& direction) { m_direction = direction; }
    float GetDepthCentre() const { return m_depthCentre; }
    void SetDepthCentre(float distance) { m_depthCentre = distance; }
    float GetDepthRange() const { return m_depthRange; }
    void SetDepthRange(float length) { m_depthRange = length; }
    void SetFirstStereoValue(float value); // also the eye separation: that fraction of 0.06
    float GetFirstStereoValue() const { return m_stereo[0]; }
    void SetStereoValue(float value) { m_stereo[1] = value; }
    float GetStereoValue() const { return m_stereo[1]; }
    float GetEyeSeparation() const { return m_eyeSeparation; }

    // A depth centre at or below 0 (or not a number) is taken as 1.0: the near plane would mean nothing.
    SWsurfacematrices ComputeSurfaceMatrices(const SWmatrix& objectMatrix, float aspect) const;
    // The same view and depth range put into a render camera, which then projects as those matrices do. Defined
    // with the renderer.
    void ComputeSurfaceMatrices(const SWmatrix& objectMatrix, SWrendercamera& camera, float aspect) const;

private:
    float m_fieldOfView = 0.7853982f; // a quarter turn's half
    uint8_t m_subType = 0;
    uint8_t m_projectionKind = 0;
    SWvector m_direction{0.0f, 0.0f, 1.0f};
    float m_depthCentre = 100.0f;
    float m_depthRange = 200.0f;
    float m_stereo[2] = {0.0f, 0.0f};
    float m_eyeSeparation = 0.0f;
};

class SWcameranode : public SWobjectnode {
public:
    explicit SWcameranode(SWcameraobject* camera = nullptr); // camera: the root object's; may be null

    SWcameraobject* GetCameraObject() const;
    float GetFieldOfView() const; // the camera object's; a quarter turn's half without one
    uint8_t GetEye() const { return m_eye; }
    void SetEye(uint8_t eye);   // the configured eye; shown at once while stereo is on
    void SetStereoEye(bool on); // on: the configured eye; off: 0; the previous index is remembered
    uint8_t GetEyeIndex() const { return m_eyeIndex; }
    uint8_t GetPreviousEyeIndex() const { return m_previousEyeIndex; }

private:
    uint8_t m_eye = 1;
    uint8_t m_eyeIndex = 0;
    uint8_t m_previousEyeIndex = 0;
};
