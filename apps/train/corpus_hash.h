#pragma once
// The corpus as a training run saw it, for the provenance notes: FNV-1a over each file's name and its samples.
#include <cstdint>
#include <string>
#include <vector>

inline constexpr uint64_t kCorpusHashStart = 0xCBF29CE484222325ull;

inline uint64_t CorpusHash(uint64_t hash, const std::string& name, const std::vector<int16_t>& samples)
{
    const auto mix = [&](uint8_t byte) { hash = (hash ^ byte) * 0x100000001B3ull; };
    for (const char c : name)
        mix(static_cast<uint8_t>(c));
    for (const int16_t s : samples) {
        mix(static_cast<uint8_t>(s & 0xFF));
        mix(static_cast<uint8_t>((s >> 8) & 0xFF));
    }
    return hash;
}
