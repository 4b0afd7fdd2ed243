#pragma once
// SWrendercamera: the viewing parameters of a render target, and the matrix that takes world points into clip
// space (camera space over the far distance: the far plane at z = -1, the view volume |x|, |y| <= -z).
#include "engine/core/vector.h"

class SWmatrix;

class SWrendercamera {
public:
    SWrendercamera() = default; // at the origin, looking along +z, up +y, window 1.0 x 0.75, near 0.15, far 50

    void SetPosition(float x, float y, float z) { m_position = {x, y, z}; }
    void SetDirection(float x, float y, float z) { m_direction = {x, y, z}; }
    void SetUp(float x, float y, float z) { m_up = {x, y, z}; }
    void SetScale(float x, float y, float z) { m_scale = {x, y, z}; } // the projection centre; z its distance
    void SetNearPlane(float nearDistance) { m_near = nearDistance; }
    void SetFarPlane(float farDistance) { m_far = farDistance; }
    void SetViewport(float windowWidth, float windowHeight);
    void SetWindowX(float left, float right);
    void SetWindowY(float bottom, float top);

    const SWvector& GetPosition() const { return m_position; }
    const SWvector& GetDirection() const { return m_direction; }
    const SWvector& GetUp() const { return m_up; }
    const SWvector& GetScale() const { return m_scale; }
    float GetNear() const { return m_near; }
    float GetFar() const { return m_far; }
    float GetWindowWidth() const { return m_windowWidth; }
    float GetWindowHeight() const { return m_windowHeight; }
    void GetWindowX(float& outLeft, float& outRight) const;
    void GetWindowY(float& outBottom, float& outTop) const;

    // S . H . T2 . R . T1: translate the eye to the origin, turn the direction onto z, move the projection
    // centre, shear the window centre onto the axis and scale the window onto the view volume.
    void BuildViewMatrix(SWmatrix& out) const;

    // The stored window fields, saved and put back around a jittered build so that nothing is recomputed.
    struct Window {
        float width, height, centreX, centreY;
    };
    Window GetWindow() const { return {m_windowWidth, m_windowHeight, m_centreX, m_centreY}; }
    void RestoreWindow(const Window& window);

private:
    SWvector m_position{0.0f, 0.0f, 0.0f};
    SWvector m_direction{0.0f, 0.0f, 1.0f};
    SWvector m_up{0.0f, 1.0f, 0.0f};
    SWvector m_scale{0.0f, 0.0f, 1.0f};
    float m_near = 0.15f;
    float m_far = 50.0f;
    float m_windowWidth = 1.0f;
    float m_windowHeight = 0.75f;
    float m_centreX = 0.0f;
    float m_centreY = 0.0f;
};
