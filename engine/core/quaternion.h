#pragma once
// Rotation quaternion, components x, y, z, w (w, the scalar part, last, as stored). The default is the identity
// (0, 0, 0, 1). Rotations follow the right-hand rule, as SWmatrix::SetRotation does.

class SWchunkstream;
class SWmatrix;
class SWvector;

class CVTN_Quaternion {
public:
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;

    constexpr CVTN_Quaternion() = default;
    constexpr CVTN_Quaternion(float qx, float qy, float qz, float qw) : x(qx), y(qy), z(qz), w(qw) {}
    static CVTN_Quaternion FromAxisAngle(const SWvector& axis, float angle); // radians; a zero axis: identity

    bool operator==(const CVTN_Quaternion& other) const = default;

    CVTN_Quaternion& Assign(float qx, float qy, float qz, float qw); // returns this
    CVTN_Quaternion& Assign(const CVTN_Quaternion& other);           // returns this

    // out := this x other (Hamilton product: other's rotation is applied first); out may be this or other.
    CVTN_Quaternion& Multiply(CVTN_Quaternion& out, const CVTN_Quaternion& other) const;
    float Dot(const CVTN_Quaternion& other) const;
    float Norm() const;           // sqrt(x*x + y*y + z*z + w*w)
    CVTN_Quaternion& Normalize(); // to unit length; a zero or non-finite quaternion: identity

    SWmatrix& ToMatrix(SWmatrix& out) const;        // the whole of out: this rotation, no translation; unit assumed
    CVTN_Quaternion& FromMatrix(const SWmatrix& m); // the rotation of m's 3x3 part, its scale divided out, as a unit
                                                    // quaternion with w >= 0; a degenerate part gives the identity
    // From this (t = 0) towards to (t = 1) at constant angular speed, the short way round: when the two lie more
    // than half a turn apart, the path ends at -to, which is the same rotation.
    CVTN_Quaternion Slerp(const CVTN_Quaternion& to, float t) const;

    void Save(SWchunkstream& out) const; // x, y, z, w as u32 words (their bit patterns)
    bool Load(SWchunkstream& in);        // false on a short read or a stream in error; this is then unchanged
};
