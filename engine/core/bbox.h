#pragma once
// Axis-aligned bounding box. The extents are stored in the order min x, max x, min y, max y, min z, max z (the
// order stored files and callers use); an empty box is inside out, min 3.4028235e38 and max -3.4028235e38 on
// every axis, so that the first point added becomes the box.
//
// Corner i has the maximum of x when bit 0 of i is set, of y for bit 1, of z for bit 2 (corner 0 is the minimum,
// corner 7 the maximum).

#include <array>

#include "engine/core/vector.h"

class SWmatrix;

class SWbbox {
public:
    static constexpr float kEmptyMin = 3.4028235e38f;
    static constexpr float kEmptyMax = -3.4028235e38f;

    SWbbox(); // empty
    SWbbox(const SWvector& min, const SWvector& max);

    void Clear();                     // empty again (inside out)
    bool IsEmpty() const;             // some axis has min > max (NaN extents count as empty)
    bool AddPoint(const SWvector& p); // grows to contain p; true when the box changed
    void AddBox(const SWbbox& other); // grows to contain other; an empty other adds nothing

    const std::array<float, 6>& Extents() const { return m_extents; } // min x, max x, min y, max y, min z, max z
    void SetExtents(const std::array<float, 6>& extents) { m_extents = extents; }
    SWvector Min() const { return {m_extents[0], m_extents[2], m_extents[4]}; }
    SWvector Max() const { return {m_extents[1], m_extents[3], m_extents[5]}; }

    void ComputeCorners();                                               // refreshes Corners() from the extents
    const std::array<SWvector, 8>& Corners() const { return m_corners; } // as of the last ComputeCorners

    // The 8 corners of the extents (not of the stored corners, which may be stale) under m, in corner order.
    std::array<SWvector, 8> GetTransformedCorners(const SWmatrix& m) const;
    // The axis-aligned box around the transformed corners; an empty box stays empty (its inside-out extents would
    // otherwise turn into infinities and not-a-numbers).
    SWbbox Transformed(const SWmatrix& m) const;

private:
    std::array<SWvector, 8> CornersOfExtents() const;

    std::array<float, 6> m_extents;
    std::array<SWvector, 8> m_corners{};
};
