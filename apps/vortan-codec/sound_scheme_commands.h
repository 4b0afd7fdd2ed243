#pragma once
// `sound encode` and `sound decode` through a sound scheme row named by its four-digit id or its word (raw, wave,
// ac8, ac10, acs20, ac24, acs48, rt24, sc3, sc6, sc3-6), for the sound commands to hand over to. Each takes the
// arguments after the command's name, the scheme word first, and returns the process exit code.
#include <span>

bool IsSoundSchemeId(const char* word);               // four decimal digits
bool IsSoundSchemeWord(const char* word);             // an id or a scheme word
int EncodeThroughScheme(std::span<char* const> args); // SCHEME IN.wav OUT.bin [QUALITY]
int DecodeThroughScheme(std::span<char* const> args); // SCHEME IN.bin OUT.wav
