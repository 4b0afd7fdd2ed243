#include "engine/core/bbox.h"

#include "engine/core/matrix.h"

SWbbox::SWbbox()
{
    Clear();
}

SWbbox::SWbbox(const SWvector& min, const SWvector& max) : m_extents{min.x, max.x, min.y, max.y, min.z, max.z} {}

void SWbbox::Clear()
{
    m_extents = {kEmptyMin, kEmptyMax, kEmptyMin, kEmptyMax, kEmptyMin, kEmptyMax};
}

bool SWbbox::IsEmpty() const
{
    for (int axis = 0; axis < 3; ++axis)
        if (!(m_extents[2 * axis] <= m_extents[2 * axis + 1]))
            return true;
    return false;
}

bool SWbbox::AddPoint(const SWvector& p)
{
    const float coordinates[3] = {p.x, p.y, p.z};
    bool changed = false;
    for (int axis = 0; axis < 3; ++axis) {
        const float v = coordinates[axis];
        if (v < m_extents[2 * axis]) {
            m_extents[2 * axis] = v;
            changed = true;
        }
        if (v > m_extents[2 * axis + 1]) {
            m_extents[2 * axis + 1] = v;
            changed = true;
        }
    }
    return changed;
}

void SWbbox::AddBox(const SWbbox& other)
{
    if (other.IsEmpty())
        return;
    AddPoint(other.Min());
    AddPoint(other.Max());
}

void SWbbox::ComputeCorners()
{
    m_corners = CornersOfExtents();
}

std::array<SWvector, 8> SWbbox::CornersOfExtents() const
{
    std::array<SWvector, 8> corners;
    for (int i = 0; i < 8; ++i)
        corners[i] = {m_extents[(i & 1) ? 1 : 0], m_extents[(i & 2) ? 3 : 2], m_extents[(i & 4) ? 5 : 4]};
    return corners;
}

std::array<SWvector, 8> SWbbox::GetTransformedCorners(const SWmatrix& m) const
{
    std::array<SWvector, 8> corners = CornersOfExtents();
    for (SWvector& corner : corners)
        corner = m.TransformPoint(corner);
    return corners;
}

SWbbox SWbbox::Transformed(const SWmatrix& m) const
{
    SWbbox result;
    if (IsEmpty())
        return result;
    for (const SWvector& corner : GetTransformedCorners(m))
        result.AddPoint(corner);
    return result;
}
