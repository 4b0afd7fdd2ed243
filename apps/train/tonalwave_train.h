#pragma once
#include <span>

// vortan-train tonalwave train ...: the arguments after "tonalwave train".
int RunTonalwaveTrain(std::span<char* const> args);
