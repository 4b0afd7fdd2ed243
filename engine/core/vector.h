#pragma once
// Three f32 components: a point or a direction, as the caller means it.

class SWchunkstream;

class SWvector {
public:
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr SWvector() = default;
    constexpr SWvector(float vx, float vy, float vz) : x(vx), y(vy), z(vz) {}

    float Dot(const SWvector& other) const;      // x*x' + y*y' + z*z'
    SWvector Cross(const SWvector& other) const; // right-handed
    float Length() const;                        // sqrt(Dot(this))

    SWvector operator+(const SWvector& other) const { return {x + other.x, y + other.y, z + other.z}; }
    SWvector operator-(const SWvector& other) const { return {x - other.x, y - other.y, z - other.z}; }
    SWvector operator*(float s) const { return {x * s, y * s, z * s}; }
    bool operator==(const SWvector& other) const = default;

    void Save(SWchunkstream& out) const; // x, y, z as three u32 words (their bit patterns)
    bool Load(SWchunkstream& in);        // false on a short read or a stream in error; the vector is then unchanged
};
