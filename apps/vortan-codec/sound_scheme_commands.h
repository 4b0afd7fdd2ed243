#pragma once
// `sound encode` and `sound decode` through a sound scheme row named by its four-digit id (or "raw" for the
// default row), for the general sound commands to hand over to. Each takes the arguments after the command's name,
// the scheme word first, and returns the process exit code.
#include <span>

bool IsSoundSchemeId(const char* word);               // four decimal digits
bool IsSoundSchemeWord(const char* word);             // an id or "raw"
int EncodeThroughScheme(std::span<char* const> args); // ID IN.wav OUT.bin [QUALITY]
int DecodeThroughScheme(std::span<char* const> args); // ID IN.bin OUT.wav
