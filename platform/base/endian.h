#pragma once
// Little-endian loads and stores for stored bytes: files and streams never copy structs.
#include <bit>
#include <cstdint>
#include <cstring>

namespace pf {

inline uint16_t loadU16le(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
// Words move as one access, not four: the same code once optimised, and a quarter of the checks in a sanitised
// build, where scrambling and checking large files is most of the time.
inline uint32_t loadU32le(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap32(v);
    return v;
}
inline uint64_t loadU64le(const uint8_t* p)
{
    return static_cast<uint64_t>(loadU32le(p)) | (static_cast<uint64_t>(loadU32le(p + 4)) << 32);
}

inline void storeU16le(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void storeU32le(uint8_t* p, uint32_t v)
{
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap32(v);
    std::memcpy(p, &v, sizeof v);
}
inline void storeU64le(uint8_t* p, uint64_t v)
{
    storeU32le(p, static_cast<uint32_t>(v));
    storeU32le(p + 4, static_cast<uint32_t>(v >> 32));
}

inline uint16_t loadU16be(const uint8_t* p)
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t loadU32be(const uint8_t* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline void storeU16be(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
inline void storeU32be(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// Host and network byte order; the hosts we build for are little-endian.
inline uint16_t hostToNet16(uint16_t v)
{
    return static_cast<uint16_t>((v >> 8) | (v << 8));
}
inline uint32_t hostToNet32(uint32_t v)
{
    return __builtin_bswap32(v);
}
inline uint16_t netToHost16(uint16_t v)
{
    return hostToNet16(v);
}
inline uint32_t netToHost32(uint32_t v)
{
    return hostToNet32(v);
}

} // namespace pf
