#include "render/render_camera.h"

#include <cmath>

#include "engine/core/matrix.h"

namespace {

// The smallest normal float: a zero or parallel vector stays finite instead of dividing by zero.
constexpr float kTiny = 1.1754944e-38f;

SWvector Normalised(const SWvector& v)
{
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z + kTiny);
    return {v.x / length, v.y / length, v.z / length};
}

} // namespace

void SWrendercamera::SetViewport(float windowWidth, float windowHeight)
{
    m_windowWidth = windowWidth;
    m_windowHeight = windowHeight;
}

void SWrendercamera::SetWindowX(float left, float right)
{
    m_windowWidth = right - left;
    m_centreX = (left + right) / 2.0f;
}

void SWrendercamera::SetWindowY(float bottom, float top)
{
    m_windowHeight = top - bottom;
    m_centreY = (bottom + top) / 2.0f;
}

void SWrendercamera::GetWindowX(float& outLeft, float& outRight) const
{
    outLeft = m_centreX - m_windowWidth / 2.0f;
    outRight = m_centreX + m_windowWidth / 2.0f;
}

void SWrendercamera::GetWindowY(float& outBottom, float& outTop) const
{
    outBottom = m_centreY - m_windowHeight / 2.0f;
    outTop = m_centreY + m_windowHeight / 2.0f;
}

void SWrendercamera::RestoreWindow(const Window& window)
{
    m_windowWidth = window.width;
    m_windowHeight = window.height;
    m_centreX = window.centreX;
    m_centreY = window.centreY;
}

void SWrendercamera::BuildViewMatrix(SWmatrix& out) const
{
    const SWmatrix toEye = SWmatrix::Translation(-m_position.x, -m_position.y, -m_position.z);
    const SWvector d = Normalised(m_direction);
    const SWvector s = Normalised(m_up.Cross(d));
    const SWvector u = d.Cross(s);
    SWmatrix turn;
    turn.SetRow(1, s.x, s.y, s.z, 0.0f);
    turn.SetRow(2, u.x, u.y, u.z, 0.0f);
    turn.SetRow(3, d.x, d.y, d.z, 0.0f);
    const SWmatrix toCentre = SWmatrix::Translation(-m_scale.x, -m_scale.y, -m_scale.z);
    const SWmatrix shear = SWmatrix::Shearing((m_centreX - m_scale.x) / m_scale.z, (m_centreY - m_scale.y) / m_scale.z);
    const SWmatrix scale = SWmatrix::Scaling(2.0f * m_scale.z / (m_windowWidth * m_far),
                                             2.0f * m_scale.z / (m_windowHeight * m_far), 1.0f / m_far);
    out = scale;
    out.PostMultiply(shear).PostMultiply(toCentre).PostMultiply(turn).PostMultiply(toEye);
}
