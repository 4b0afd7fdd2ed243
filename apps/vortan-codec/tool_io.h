#pragma once
// What every vortan-codec command shares: its exit codes, whole-file reads with a ceiling, writes that replace a
// file all at once or not at all, and numbers from arguments. Every error is one line that names the file or the
// argument and the cause, ready for ReportError.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/input_file.h"

namespace pf {
class AtomicFile;
}

namespace codectool {

// The process exit codes; the usage text lists them, and the tool tests check refusals against kExitRefused so that
// a sanitizer's own exit code can never pass for one.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // the work ran and its result did not hold (a failed check, a codec error)
inline constexpr int kExitUsage = 2;   // the arguments do not form a command, or a number is out of its range
inline constexpr int kExitRefused = 3; // an input or output refused: missing, a folder, damaged, not writable
inline constexpr int kExitTimeout = 4; // a command with a time bound ran out of time

// Inputs are held whole in memory; none of ours comes near this.
inline constexpr size_t kMaxInputBytes = pf::kMaxInputFileBytes;

// The whole of a regular file; nullopt, with outError, for a missing, unreadable or oversized file or a non-file.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, std::string& outError,
                                                  size_t maxBytes = kMaxInputBytes);

// For readers that open the path themselves: false, with outError, when it is not a readable regular file.
bool CheckInputFile(const std::string& path, std::string& outError);

// An output opened before the work, so that one that cannot be written is refused before the work is spent:
// null, with outError, for a folder that is missing or not writable or a path that is no regular file. Nothing
// appears at path until FinishOutput.
std::unique_ptr<pf::AtomicFile> OpenOutput(const std::string& path, std::string& outError);
// Writes bytes and replaces the file; false, with outError, leaves what was at the path untouched.
bool FinishOutput(pf::AtomicFile& file, std::span<const uint8_t> bytes, std::string& outError);

// Both at once: the file at path (a link is followed) replaced by bytes, or left untouched.
// A new file gets mode 0644; a replaced one keeps its mode.
bool WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes, std::string& outError);

// An argument that must be a whole number: decimal digits with an optional '-', read without the locale.
struct NumberRule {
    const char* name; // as the usage text spells it: "QUALITY", "--pos-bits"
    int64_t lowest;
    int64_t highest;
};
// The value; nullopt, with outError naming the argument and its range, for anything else.
std::optional<int64_t> ParseNumber(std::string_view text, const NumberRule& rule, std::string& outError);

// Prints "vortan-codec: MESSAGE" as one line on stderr and returns exitCode, so that `return ReportError(...)` reads.
int ReportError(int exitCode, const std::string& message);

} // namespace codectool
