#include "apps/vortan-codec/tool_io.h"

#include <charconv>
#include <cstdio>

#include "platform/base/atomic_file.h"
#include "platform/base/input_file.h"

namespace codectool {

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, std::string& outError, size_t maxBytes)
{
    std::vector<uint8_t> bytes;
    const pf::InputFileResult read = pf::readWholeFile(path, bytes, maxBytes);
    if (!read.ok()) {
        outError = read.message;
        return std::nullopt;
    }
    return bytes;
}

bool CheckInputFile(const std::string& path, std::string& outError)
{
    const pf::InputFileResult checked = pf::checkInputFile(path);
    if (!checked.ok())
        outError = checked.message;
    return checked.ok();
}

std::unique_ptr<pf::AtomicFile> OpenOutput(const std::string& path, std::string& outError)
{
    return pf::AtomicFile::open(path, outError);
}

bool FinishOutput(pf::AtomicFile& file, std::span<const uint8_t> bytes, std::string& outError)
{
    if (file.write(bytes) && file.commit())
        return true;
    outError = file.error();
    return false;
}

bool WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes, std::string& outError)
{
    const std::unique_ptr<pf::AtomicFile> file = OpenOutput(path, outError);
    return file && FinishOutput(*file, bytes, outError);
}

std::optional<int64_t> ParseNumber(std::string_view text, const NumberRule& rule, std::string& outError)
{
    int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, value);
    if (error == std::errc() && next == end && value >= rule.lowest && value <= rule.highest)
        return value;
    outError = std::string(rule.name) + " must be a whole number from " + std::to_string(rule.lowest) + " to " +
               std::to_string(rule.highest) + ", not \"" + std::string(text) + "\"";
    return std::nullopt;
}

int ReportError(int exitCode, const std::string& message)
{
    std::fprintf(stderr, "vortan-codec: %s\n", message.c_str());
    return exitCode;
}

} // namespace codectool
