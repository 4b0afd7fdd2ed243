#pragma once
// vortan-train's process exit codes, alike for every command; the tool tests tell a refusal by kExitRefused, so that
// a sanitizer's own exit code can never pass for one.

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // the work ran and its result did not hold
inline constexpr int kExitUsage = 2;   // the arguments do not form a command, or a number is out of its range
inline constexpr int kExitRefused = 3; // an input or output refused: missing, damaged, not writable
