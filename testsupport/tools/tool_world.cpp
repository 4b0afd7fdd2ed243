#include "testsupport/tools/tool_world.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/core/document_file.h"
#include "engine/core/scene_import.h"
#include "engine/core/world.h"
#include "testsupport/tools/tool_input.h"

namespace tooltest {

namespace {

constexpr uint64_t kMostLimit = uint64_t{1} << 62;

SWreadlimits& Limits()
{
    static SWreadlimits limits; // set once from the command line, before any world is read
    return limits;
}

bool ParseLimit(const char* option, const char* text, uint64_t& out, std::string& outError)
{
    const std::string_view value = text != nullptr ? text : "";
    uint64_t number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || error != std::errc() || end != value.data() + value.size() || number < 1 ||
        number > kMostLimit) {
        outError = std::string(option) + " must be a whole number from 1 to " + std::to_string(kMostLimit) +
                   (text != nullptr ? ", not \"" + std::string(value) + "\"" : "");
        return false;
    }
    out = number;
    return true;
}

template <typename Load> WorldLoadResult LoadChecked(const std::string& path, std::string& outError, Load load)
{
    if (!CheckInput(path, outError)) {
        WorldLoadResult refused;
        refused.status = DocumentStatus::kCannotRead;
        return refused;
    }
    WorldLoadResult loaded = load();
    if (loaded.status != DocumentStatus::kOk)
        outError = "cannot read " +
                   (loaded.message.empty() ? path + ": " + DocumentStatusText(loaded.status) : loaded.message);
    return loaded;
}

} // namespace

bool TakeReadLimitOptions(std::vector<char*>& args, std::string& outError)
{
    std::vector<char*> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        uint64_t* const field = arg == "--max-bytes"    ? &Limits().maxBytes
                                : arg == "--max-pixels" ? &Limits().maxPixels
                                                        : nullptr;
        if (field == nullptr) {
            rest.push_back(args[i]);
            continue;
        }
        const char* const option = args[i];
        const char* const value = i + 1 < args.size() ? args[++i] : nullptr;
        if (!ParseLimit(option, value, *field, outError))
            return false;
    }
    args = std::move(rest);
    return true;
}

const SWreadlimits& ToolReadLimits()
{
    return Limits();
}

WorldLoadResult LoadToolWorld(const std::string& path, SWreadcontext::IdMode mode, std::string& outError)
{
    return LoadChecked(path, outError, [&] { return LoadWorldFile(path, mode, ToolReadLimits()); });
}

WorldLoadResult ImportToolWorld(const std::string& path, std::string& outError)
{
    return LoadChecked(path, outError, [&] { return ImportWorld(path, ToolReadLimits()); });
}

WorldLoadResult ReadToolWorld(std::vector<uint8_t> bytes, const std::string& path, SWreadcontext::IdMode mode,
                              SWdocumentfile& outFile, std::string& outError)
{
    WorldLoadResult loaded;
    const uint64_t size = bytes.size();
    const std::vector<uint8_t> head(
        bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min<uint64_t>(size, kDocumentHeaderBytes)));
    loaded.status = SWdocumentfile::Parse(std::move(bytes), outFile);
    if (loaded.status != DocumentStatus::kOk) {
        outError = "cannot read " + path + ": " + DocumentStatusCause(loaded.status, head, size);
        return loaded;
    }
    SWreadcontext context(mode);
    context.SetLimits(ToolReadLimits());
    loaded = ReadWorldFile(outFile, context);
    if (loaded.status != DocumentStatus::kOk)
        outError = "cannot read " + path + ": " +
                   (loaded.message.empty() ? std::string(DocumentStatusText(loaded.status)) : loaded.message);
    return loaded;
}

} // namespace tooltest
