// vortan-render: the renderer's pieces driven from the command line, for tests and for a person to look at.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <vector>

#include "apps/vortan-render/command_table.h"
#include "platform/base/atomic_file.h"
#include "testsupport/tools/tool_options.h"

namespace {

std::vector<RenderToolCommand>& Commands()
{
    static std::vector<RenderToolCommand> commands; // filled by static registrations before main
    return commands;
}

int PrintUsage()
{
    std::fprintf(stderr, "usage: vortan-render COMMAND ARGS...\n");
    for (const RenderToolCommand& command : Commands())
        std::fprintf(stderr, "  vortan-render %s %s\n", command.name, command.usage);
    std::fprintf(stderr,
                 "exit codes: %d done, %d failed, %d usage, %d refused (an input or output that is missing, "
                 "damaged, mismatched or not writable)\n",
                 rendertool::kExitDone, rendertool::kExitFailed, rendertool::kExitUsage, rendertool::kExitRefused);
    return rendertool::kExitUsage;
}

} // namespace

bool RegisterRenderToolCommand(const RenderToolCommand& command)
{
    Commands().push_back(command);
    return true;
}

namespace rendertool {

int ReportError(int exitCode, const std::string& message)
{
    std::fprintf(stderr, "vortan-render: %s\n", message.c_str());
    return exitCode;
}

std::optional<long long> ParseNumber(std::string_view text, const char* name, long long lowest, long long highest,
                                     std::string& outError)
{
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || value < lowest || value > highest) {
        outError = std::string(name) + " must be a whole number from " + std::to_string(lowest) + " to " +
                   std::to_string(highest) + ", not \"" + std::string(text) + "\"";
        return std::nullopt;
    }
    return value;
}

bool ParseSize(std::string_view text, long long mostSide, int32_t& outWidth, int32_t& outHeight, std::string& outError)
{
    const size_t cross = text.find('x');
    if (cross == std::string_view::npos) {
        outError = "--size must be WxH, not \"" + std::string(text) + "\"";
        return false;
    }
    const auto width = ParseNumber(text.substr(0, cross), "--size width", 1, mostSide, outError);
    const auto height =
        width ? ParseNumber(text.substr(cross + 1), "--size height", 1, mostSide, outError) : std::nullopt;
    if (!width || !height)
        return false;
    outWidth = static_cast<int32_t>(*width);
    outHeight = static_cast<int32_t>(*height);
    return true;
}

} // namespace rendertool

int main(int argc, char** argv)
{
    pf::ignoreFileSizeSignal(); // past `ulimit -f` a write fails and is reported; its temporary goes
    if (argc < 2)
        return PrintUsage();
    for (const RenderToolCommand& command : Commands()) {
        if (std::strcmp(command.name, argv[1]) != 0)
            continue;
        const std::span<char* const> args(argv + 2, static_cast<size_t>(argc - 2));
        if (const char* option = tooltest::UnknownOption(args, command.usage)) {
            std::fprintf(stderr, "vortan-render: unknown argument \"%s\" (usage: vortan-render %s %s)\n", option,
                         command.name, command.usage);
            return rendertool::kExitUsage;
        }
        return command.run(args);
    }
    std::fprintf(stderr, "vortan-render: unknown command \"%s\"\n", argv[1]);
    return PrintUsage();
}
