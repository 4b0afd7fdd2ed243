#include "engine/core/quaternion.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "engine/core/chunk_stream.h"
#include "engine/core/matrix.h"
#include "engine/core/vector.h"

namespace {

// Below this angle between the two ends, sin(angle) is too small to divide by; a normalised straight line between
// them is indistinguishable from the arc.
constexpr float kNearlyParallel = 0.9995f;

} // namespace

CVTN_Quaternion CVTN_Quaternion::FromAxisAngle(const SWvector& axis, float angle)
{
    const float length = axis.Length();
    if (!(length > 0.0f) || !std::isfinite(length))
        return {};
    const float s = std::sin(angle * 0.5f) / length;
    return {axis.x * s, axis.y * s, axis.z * s, std::cos(angle * 0.5f)};
}

CVTN_Quaternion& CVTN_Quaternion::Assign(float qx, float qy, float qz, float qw)
{
    x = qx;
    y = qy;
    z = qz;
    w = qw;
    return *this;
}

CVTN_Quaternion& CVTN_Quaternion::Assign(const CVTN_Quaternion& other)
{
    return *this = other;
}

CVTN_Quaternion& CVTN_Quaternion::Multiply(CVTN_Quaternion& out, const CVTN_Quaternion& other) const
{
    const CVTN_Quaternion a = *this;
    const CVTN_Quaternion b = other;
    out.x = a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y;
    out.y = a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z;
    out.z = a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x;
    out.w = a.w * b.w - (a.x * b.x + a.y * b.y + a.z * b.z);
    return out;
}

float CVTN_Quaternion::Dot(const CVTN_Quaternion& other) const
{
    return x * other.x + y * other.y + z * other.z + w * other.w;
}

float CVTN_Quaternion::Norm() const
{
    return std::sqrt(Dot(*this));
}

CVTN_Quaternion& CVTN_Quaternion::Normalize()
{
    const float norm = Norm();
    if (!(norm > 0.0f) || !std::isfinite(norm))
        return Assign(0.0f, 0.0f, 0.0f, 1.0f);
    return Assign(x / norm, y / norm, z / norm, w / norm);
}

SWmatrix& CVTN_Quaternion::ToMatrix(SWmatrix& out) const
{
    const float xx = x * x, yy = y * y, zz = z * z;
    const float xy = x * y, xz = x * z, yz = y * z;
    const float wx = w * x, wy = w * y, wz = w * z;
    out.SetIdentity();
    out.SetRow(1, 1.0f - 2.0f * (yy + zz), 2.0f * (xy - wz), 2.0f * (xz + wy), 0.0f);
    out.SetRow(2, 2.0f * (xy + wz), 1.0f - 2.0f * (xx + zz), 2.0f * (yz - wx), 0.0f);
    out.SetRow(3, 2.0f * (xz - wy), 2.0f * (yz + wx), 1.0f - 2.0f * (xx + yy), 0.0f);
    return out;
}

CVTN_Quaternion& CVTN_Quaternion::FromMatrix(const SWmatrix& m)
{
    // A node's matrix often carries scale; the rotation is what is left with unit columns.
    double r[3][3];
    for (int c = 0; c < 3; ++c) {
        const double a = m[c], b = m[4 + c], d = m[8 + c];
        const double length = std::sqrt(a * a + b * b + d * d);
        if (!(length > 0.0) || !std::isfinite(length))
            return Assign(0.0f, 0.0f, 0.0f, 1.0f);
        r[0][c] = a / length;
        r[1][c] = b / length;
        r[2][c] = d / length;
    }
    // Divide by the largest of the four candidates, so that a half turn (trace -1) stays accurate.
    const double trace = r[0][0] + r[1][1] + r[2][2];
    double q[4]; // x, y, z, w
    if (trace > 0.0) {
        const double s = 2.0 * std::sqrt(trace + 1.0);
        q[3] = 0.25 * s;
        q[0] = (r[2][1] - r[1][2]) / s;
        q[1] = (r[0][2] - r[2][0]) / s;
        q[2] = (r[1][0] - r[0][1]) / s;
    } else if (r[0][0] >= r[1][1] && r[0][0] >= r[2][2]) {
        const double s = 2.0 * std::sqrt(std::max(0.0, 1.0 + r[0][0] - r[1][1] - r[2][2]));
        q[0] = 0.25 * s;
        q[1] = (r[0][1] + r[1][0]) / s;
        q[2] = (r[0][2] + r[2][0]) / s;
        q[3] = (r[2][1] - r[1][2]) / s;
    } else if (r[1][1] >= r[2][2]) {
        const double s = 2.0 * std::sqrt(std::max(0.0, 1.0 + r[1][1] - r[0][0] - r[2][2]));
        q[1] = 0.25 * s;
        q[0] = (r[0][1] + r[1][0]) / s;
        q[2] = (r[1][2] + r[2][1]) / s;
        q[3] = (r[0][2] - r[2][0]) / s;
    } else {
        const double s = 2.0 * std::sqrt(std::max(0.0, 1.0 + r[2][2] - r[0][0] - r[1][1]));
        q[2] = 0.25 * s;
        q[0] = (r[0][2] + r[2][0]) / s;
        q[1] = (r[1][2] + r[2][1]) / s;
        q[3] = (r[1][0] - r[0][1]) / s;
    }
    const double sign = q[3] < 0.0 ? -1.0 : 1.0;
    Assign(static_cast<float>(sign * q[0]), static_cast<float>(sign * q[1]), static_cast<float>(sign * q[2]),
           static_cast<float>(sign * q[3]));
    return Normalize();
}

CVTN_Quaternion CVTN_Quaternion::Slerp(const CVTN_Quaternion& to, float t) const
{
    float cosAngle = Dot(to);
    CVTN_Quaternion end = to;
    if (cosAngle < 0.0f) {
        cosAngle = -cosAngle;
        end = {-to.x, -to.y, -to.z, -to.w};
    }
    float from = 1.0f - t;
    float towards = t;
    if (cosAngle <= kNearlyParallel) {
        const float angle = std::acos(std::min(cosAngle, 1.0f));
        const float sinAngle = std::sin(angle);
        from = std::sin((1.0f - t) * angle) / sinAngle;
        towards = std::sin(t * angle) / sinAngle;
    }
    CVTN_Quaternion result(from * x + towards * end.x, from * y + towards * end.y, from * z + towards * end.z,
                           from * w + towards * end.w);
    if (cosAngle > kNearlyParallel)
        result.Normalize();
    return result;
}

void CVTN_Quaternion::Save(SWchunkstream& out) const
{
    for (const float component : {x, y, z, w})
        out.WriteU32(std::bit_cast<uint32_t>(component));
}

bool CVTN_Quaternion::Load(SWchunkstream& in)
{
    uint32_t words[4] = {};
    for (uint32_t& word : words)
        if (!in.ReadU32(word))
            return false;
    Assign(std::bit_cast<float>(words[0]), std::bit_cast<float>(words[1]), std::bit_cast<float>(words[2]),
           std::bit_cast<float>(words[3]));
    return true;
}
