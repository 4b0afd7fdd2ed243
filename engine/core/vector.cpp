#include "engine/core/vector.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "engine/core/chunk_stream.h"

float SWvector::Dot(const SWvector& other) const
{
    return x * other.x + y * other.y + z * other.z;
}

SWvector SWvector::Cross(const SWvector& other) const
{
    return {y * other.z - z * other.y, z * other.x - x * other.z, x * other.y - y * other.x};
}

float SWvector::Length() const
{
    return std::sqrt(Dot(*this));
}

void SWvector::Save(SWchunkstream& out) const
{
    out.WriteU32(std::bit_cast<uint32_t>(x));
    out.WriteU32(std::bit_cast<uint32_t>(y));
    out.WriteU32(std::bit_cast<uint32_t>(z));
}

bool SWvector::Load(SWchunkstream& in)
{
    uint32_t words[3] = {};
    for (uint32_t& word : words)
        if (!in.ReadU32(word))
            return false;
    x = std::bit_cast<float>(words[0]);
    y = std::bit_cast<float>(words[1]);
    z = std::bit_cast<float>(words[2]);
    return true;
}
