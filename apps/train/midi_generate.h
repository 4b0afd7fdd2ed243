#pragma once
#include <cstdint>
#include <span>
#include <string>

// The bytes of the standard MIDI file of a seed, about seconds long.
std::string GenerateMidi(uint64_t seed, int seconds);
// vortan-train midi ...: the arguments after "midi".
int RunMidi(std::span<char* const> args);
