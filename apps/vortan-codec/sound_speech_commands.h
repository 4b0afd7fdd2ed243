#pragma once
// The RT24 forms of `sound encode`, `sound decode` and `sound compare`, for the commands that own those names to
// hand over to when their first argument is "rt24" (or "--speech"). Each takes the arguments after the command's
// name, the codec word first, and returns the process exit code.
#include <span>

bool IsRt24CodecWord(const char* word);
int EncodeRt24Command(std::span<char* const> args);    // rt24 IN.wav OUT.bin
int DecodeRt24Command(std::span<char* const> args);    // rt24 IN.bin OUT.wav [--time-scale X] [--lose LIST]
int CompareSpeechCommand(std::span<char* const> args); // --speech REF.wav TEST.wav
