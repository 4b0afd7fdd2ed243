#include "engine/core/matrix.h"

#include <bit>
#include <cmath>

#include "engine/core/chunk_stream.h"

namespace {

constexpr std::array<float, 16> kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// A matrix that is singular in exact arithmetic often keeps a determinant of rounding size instead of 0. The
// rounding error of the expansion is below about 1e-15 of the same expansion taken over absolute values; a
// determinant under this fraction of it is noise, and its inverse would be noise scaled up.
constexpr double kSingularFraction = 1e-12;

// The 2x2 minors of the top two rows (s) and the bottom two rows (c) from which the determinant and the adjugate
// are built. With Magnitude, every product is taken as an absolute value and the differences become sums.
struct Minors {
    double s[6];
    double c[6];

    template <bool Magnitude> static Minors Of(const std::array<float, 16>& m)
    {
        const auto e = [&m](int r, int c) {
            const double v = m[4 * r + c];
            return Magnitude ? std::fabs(v) : v;
        };
        const auto minor = [&e](int r, int a, int b) {
            const double left = e(r, a) * e(r + 1, b);
            const double right = e(r + 1, a) * e(r, b);
            return Magnitude ? left + right : left - right;
        };
        return {{minor(0, 0, 1), minor(0, 0, 2), minor(0, 0, 3), minor(0, 1, 2), minor(0, 1, 3), minor(0, 2, 3)},
                {minor(2, 0, 1), minor(2, 0, 2), minor(2, 0, 3), minor(2, 1, 2), minor(2, 1, 3), minor(2, 2, 3)}};
    }

    // Laplace expansion along the top two rows; with Magnitude minors, a bound on its rounding error's scale.
    template <bool Magnitude> double Determinant() const
    {
        const double sign = Magnitude ? 1.0 : -1.0;
        return s[0] * c[5] + sign * s[1] * c[4] + s[2] * c[3] + s[3] * c[2] + sign * s[4] * c[1] + s[5] * c[0];
    }
};

bool InRange(int oneBased)
{
    return oneBased >= 1 && oneBased <= 4;
}

// The 3x3 part of a x b; the rest of out is left as it was. out may be a or b.
void MultiplyRotations(const SWmatrix& a, const SWmatrix& b, SWmatrix& out)
{
    float product[9];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            product[3 * r + c] = a[4 * r] * b[c] + a[4 * r + 1] * b[4 + c] + a[4 * r + 2] * b[8 + c];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            out[4 * r + c] = product[3 * r + c];
}

SWmatrix RotationPart(const SWmatrix& m)
{
    SWmatrix r;
    for (int row = 0; row < 3; ++row)
        for (int c = 0; c < 3; ++c)
            r[4 * row + c] = m[4 * row + c];
    return r;
}

} // namespace

SWmatrix::SWmatrix() : m_e(kIdentity) {}

SWmatrix::SWmatrix(std::span<const float, 16> elements)
{
    for (int i = 0; i < 16; ++i)
        m_e[i] = elements[i];
}

SWmatrix SWmatrix::Translation(float x, float y, float z)
{
    SWmatrix m;
    m.SetTranslation(x, y, z);
    return m;
}

SWmatrix SWmatrix::Scaling(float sx, float sy, float sz)
{
    SWmatrix m;
    m[0] = sx;
    m[5] = sy;
    m[10] = sz;
    return m;
}

SWmatrix SWmatrix::Shearing(float e2, float e6)
{
    SWmatrix m;
    m[2] = e2;
    m[6] = e6;
    return m;
}

SWmatrix SWmatrix::Rotation(float angle, int axis)
{
    SWmatrix m;
    m.SetRotation(angle, axis);
    return m;
}

SWmatrix& SWmatrix::SetIdentity()
{
    m_e = kIdentity;
    return *this;
}

SWmatrix& SWmatrix::Multiply(SWmatrix& out, const SWmatrix& other) const
{
    // Into a temporary first: out is often this or other.
    std::array<float, 16> product;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            product[4 * r + c] = m_e[4 * r] * other.m_e[c] + m_e[4 * r + 1] * other.m_e[4 + c] +
                                 m_e[4 * r + 2] * other.m_e[8 + c] + m_e[4 * r + 3] * other.m_e[12 + c];
    out.m_e = product;
    return out;
}

SWmatrix& SWmatrix::PostMultiply(const SWmatrix& other)
{
    return Multiply(*this, other);
}

SWmatrix& SWmatrix::Invert(SWmatrix& out) const
{
    // Adjugate over the determinant, worked in double.
    const Minors m = Minors::Of<false>(m_e);
    const double det = m.Determinant<false>();
    const double scale = Minors::Of<true>(m_e).Determinant<true>();
    if (det == 0.0 || !std::isfinite(det) || std::fabs(det) <= kSingularFraction * scale)
        return out.SetIdentity();

    const auto e = [this](int r, int c) { return static_cast<double>(m_e[4 * r + c]); };
    const double* const s = m.s;
    const double* const c = m.c;
    const double adjugate[16] = {
        e(1, 1) * c[5] - e(1, 2) * c[4] + e(1, 3) * c[3],  -e(0, 1) * c[5] + e(0, 2) * c[4] - e(0, 3) * c[3],
        e(3, 1) * s[5] - e(3, 2) * s[4] + e(3, 3) * s[3],  -e(2, 1) * s[5] + e(2, 2) * s[4] - e(2, 3) * s[3],
        -e(1, 0) * c[5] + e(1, 2) * c[2] - e(1, 3) * c[1], e(0, 0) * c[5] - e(0, 2) * c[2] + e(0, 3) * c[1],
        -e(3, 0) * s[5] + e(3, 2) * s[2] - e(3, 3) * s[1], e(2, 0) * s[5] - e(2, 2) * s[2] + e(2, 3) * s[1],
        e(1, 0) * c[4] - e(1, 1) * c[2] + e(1, 3) * c[0],  -e(0, 0) * c[4] + e(0, 1) * c[2] - e(0, 3) * c[0],
        e(3, 0) * s[4] - e(3, 1) * s[2] + e(3, 3) * s[0],  -e(2, 0) * s[4] + e(2, 1) * s[2] - e(2, 3) * s[0],
        -e(1, 0) * c[3] + e(1, 1) * c[1] - e(1, 2) * c[0], e(0, 0) * c[3] - e(0, 1) * c[1] + e(0, 2) * c[0],
        -e(3, 0) * s[3] + e(3, 1) * s[1] - e(3, 2) * s[0], e(2, 0) * s[3] - e(2, 1) * s[1] + e(2, 2) * s[0],
    };
    // A determinant that is not 0 but tiny still overflows float; such an inverse would poison every product.
    std::array<float, 16> inverse;
    for (int i = 0; i < 16; ++i) {
        const double v = adjugate[i] / det;
        if (!std::isfinite(v) || std::fabs(v) > 3.4028234663852886e38)
            return out.SetIdentity();
        inverse[i] = static_cast<float>(v);
    }
    out.m_e = inverse;
    return out;
}

SWvector SWmatrix::GetTranslation() const
{
    return {m_e[3], m_e[7], m_e[11]};
}

void SWmatrix::SetTranslation(float x, float y, float z)
{
    m_e[3] = x;
    m_e[7] = y;
    m_e[11] = z;
}

void SWmatrix::CopyTranslation(const SWmatrix& from)
{
    SetTranslation(from.m_e[3], from.m_e[7], from.m_e[11]);
}

float SWmatrix::GetElement(int row, int column) const
{
    if (!InRange(row) || !InRange(column))
        return 0.0f;
    return m_e[4 * (row - 1) + (column - 1)];
}

void SWmatrix::SetElement(int row, int column, float value)
{
    if (InRange(row) && InRange(column))
        m_e[4 * (row - 1) + (column - 1)] = value;
}

void SWmatrix::SetRow(int row, float a, float b, float c, float d)
{
    if (!InRange(row))
        return;
    float* const p = &m_e[4 * (row - 1)];
    p[0] = a;
    p[1] = b;
    p[2] = c;
    p[3] = d;
}

void SWmatrix::SetColumn(int column, float a, float b, float c, float d)
{
    if (!InRange(column))
        return;
    m_e[column - 1] = a;
    m_e[4 + column - 1] = b;
    m_e[8 + column - 1] = c;
    m_e[12 + column - 1] = d;
}

SWmatrix& SWmatrix::SetRotation(float angle, int axis)
{
    SetIdentity();
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    // The two axes that turn, in right-hand order: X turns Y towards Z, Y turns Z towards X, Z turns X towards Y.
    int a = 0;
    int b = 0;
    switch (axis) {
    case 0:
        a = 1, b = 2;
        break;
    case 1:
        a = 2, b = 0;
        break;
    case 2:
        a = 0, b = 1;
        break;
    default:
        return *this;
    }
    m_e[5 * a] = c;
    m_e[4 * a + b] = -s;
    m_e[4 * b + a] = s;
    m_e[5 * b] = c;
    return *this;
}

SWvector SWmatrix::TransformPoint(const SWvector& p) const
{
    return TransformDirection(p) + GetTranslation();
}

SWvector SWmatrix::TransformDirection(const SWvector& d) const
{
    return {m_e[0] * d.x + m_e[1] * d.y + m_e[2] * d.z, m_e[4] * d.x + m_e[5] * d.y + m_e[6] * d.z,
            m_e[8] * d.x + m_e[9] * d.y + m_e[10] * d.z};
}

void SWmatrix::CombineSeparate(const SWmatrix& a, const SWmatrix& b, SWmatrix& out)
{
    SWmatrix result;
    MultiplyRotations(a, b, result);
    result.SetTranslation(a.m_e[3] + b.m_e[3], a.m_e[7] + b.m_e[7], a.m_e[11] + b.m_e[11]);
    out = result;
}

SWmatrix SWmatrix::ReexpressInFrame(const SWmatrix& t, const SWmatrix& q)
{
    const SWmatrix qr = RotationPart(q);
    SWmatrix qrInverse;
    qr.Invert(qrInverse);
    SWmatrix result;
    MultiplyRotations(qr, t, result);
    MultiplyRotations(result, qrInverse, result);
    const SWvector moved = q.TransformPoint(t.GetTranslation());
    result.SetTranslation(moved.x, moved.y, moved.z);
    return result;
}

void SWmatrix::Save(SWchunkstream& out) const
{
    for (const float element : m_e)
        out.WriteU32(std::bit_cast<uint32_t>(element));
}

bool SWmatrix::Load(SWchunkstream& in)
{
    // Read whole before storing: a damaged record must not leave a half-zeroed transform behind.
    std::array<float, 16> read;
    for (float& element : read) {
        uint32_t word = 0;
        if (!in.ReadU32(word))
            return false;
        element = std::bit_cast<float>(word);
    }
    m_e = read;
    return true;
}
