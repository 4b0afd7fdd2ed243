#pragma once
// Comparisons for the maths tests: float results are compared within a tolerance, never bit for bit.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/core/matrix.h"
#include "engine/core/quaternion.h"
#include "engine/core/vector.h"

inline testing::AssertionResult MatricesNear(const SWmatrix& a, const SWmatrix& b, float tolerance = 1e-5f)
{
    for (int i = 0; i < 16; ++i)
        if (!(std::fabs(a[i] - b[i]) <= tolerance))
            return testing::AssertionFailure() << "element " << i << ": " << a[i] << " vs " << b[i];
    return testing::AssertionSuccess();
}

inline testing::AssertionResult VectorsNear(const SWvector& a, const SWvector& b, float tolerance = 1e-5f)
{
    if (std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance && std::fabs(a.z - b.z) <= tolerance)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "(" << a.x << ", " << a.y << ", " << a.z << ") vs (" << b.x << ", " << b.y
                                       << ", " << b.z << ")";
}

// q and -q are the same rotation.
inline testing::AssertionResult SameRotation(const CVTN_Quaternion& a, const CVTN_Quaternion& b,
                                             float tolerance = 1e-5f)
{
    const float sign = a.Dot(b) < 0.0f ? -1.0f : 1.0f;
    if (std::fabs(a.x - sign * b.x) <= tolerance && std::fabs(a.y - sign * b.y) <= tolerance &&
        std::fabs(a.z - sign * b.z) <= tolerance && std::fabs(a.w - sign * b.w) <= tolerance)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "(" << a.x << ", " << a.y << ", " << a.z << ", " << a.w << ") vs (" << b.x
                                       << ", " << b.y << ", " << b.z << ", " << b.w << ")";
}
