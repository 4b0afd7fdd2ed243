#pragma once
// The commands of `vortan-world` register themselves at start-up.
#include <span>

struct WorldToolCommand {
    const char* name;                        // first argument: "demo", "ops", ...
    const char* usage;                       // the arguments after the name, for the help text
    int (*run)(std::span<char* const> args); // args after the name; returns the process exit code
};

inline constexpr int kWorldToolDone = 0;
inline constexpr int kWorldToolUsage = 2;

// Registers a command for the life of the process; call from a namespace-scope static.
bool RegisterWorldToolCommand(const WorldToolCommand& command);
