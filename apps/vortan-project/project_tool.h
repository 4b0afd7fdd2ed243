#pragma once
// What the commands of `vortan-project` share: exit codes and messages.
#include <span>
#include <string>

inline constexpr int kProjectToolDone = 0;
inline constexpr int kProjectToolFailed = 1;
inline constexpr int kProjectToolUsage = 2;
inline constexpr int kProjectToolRefused = 3;

int Refuse(const std::string& message); // one line on stderr; the refusal's exit code
int DumpProject(std::span<char* const> args);
