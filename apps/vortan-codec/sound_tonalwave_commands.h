#pragma once
// The Tonalwave side of `vortan-codec sound encode` and `sound decode`: the codec words it takes and the command
// itself, for the codec-word table of the sound commands.
#include <span>

// True for ac8, ac10, acs20, ac24 and acs48.
bool IsTonalwaveCodecWord(const char* word);

// sound encode MODEL IN.wav OUT.bin [--trace]: args start with MODEL.
int EncodeTonalwaveCommand(std::span<char* const> args);

// sound decode MODEL IN.bin OUT.wav [--lose LIST]: args start with MODEL.
int DecodeTonalwaveCommand(std::span<char* const> args);
