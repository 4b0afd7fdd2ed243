#pragma once
// The families of `vortan-render` register their commands at start-up, each from its own source, so that later
// renderer work adds commands without touching the others.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct RenderToolCommand {
    const char* name;                        // first argument: "probe", "background", ...
    const char* usage;                       // the arguments after the name, for the help text
    int (*run)(std::span<char* const> args); // args after the name; returns the process exit code
};

// Registers a command for the life of the process; call from a namespace-scope static.
bool RegisterRenderToolCommand(const RenderToolCommand& command);

namespace rendertool {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // the work ran and its result did not hold
inline constexpr int kExitUsage = 2;   // the arguments do not form a command, or a number is out of its range
inline constexpr int kExitRefused = 3; // an input or output refused: missing, damaged, not writable, mismatched

// Prints "vortan-render: MESSAGE" as one line on stderr and returns exitCode.
int ReportError(int exitCode, const std::string& message);
// A whole decimal number within [lowest, highest]; nullopt, with outError naming the argument, otherwise.
std::optional<long long> ParseNumber(std::string_view text, const char* name, long long lowest, long long highest,
                                     std::string& outError);
// "WxH", each side a whole number from 1 to mostSide; false, with outError naming the option, otherwise, and the
// outputs left as they were.
bool ParseSize(std::string_view text, long long mostSide, int32_t& outWidth, int32_t& outHeight, std::string& outError);

} // namespace rendertool
