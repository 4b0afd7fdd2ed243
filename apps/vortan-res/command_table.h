#pragma once
// The command groups of `vortan-res` (filter, wav, mesh) register their commands at start-up.
#include <span>
#include <string>

struct ResToolCommand {
    const char* group;                       // first argument: "filter", "wav", "mesh"
    const char* name;                        // second argument; empty for a group that is its own command
    const char* usage;                       // the arguments after the name, for the help text
    int (*run)(std::span<char* const> args); // args after the name; returns the process exit code
};

// Registers a command for the life of the process; call from a namespace-scope static.
bool RegisterResToolCommand(const ResToolCommand& command);

// Exit codes, as the tool tests check them.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // the work ran and its result did not hold
inline constexpr int kExitUsage = 2;   // the arguments do not form a command
inline constexpr int kExitRefused = 3; // an input refused: missing, damaged, not writable

int ReportToolError(int exitCode, const std::string& message); // "vortan-res: MESSAGE" on stderr; returns exitCode
