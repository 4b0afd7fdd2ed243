// vortan-res: the scene resources from the command line: block filters, wave files through the wave streams, and
// OFF meshes through the mesh objects.
#include "apps/vortan-res/command_table.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/resources/resource_report.h"
#include "platform/base/atomic_file.h"
#include "testsupport/tools/tool_options.h"

namespace {

std::vector<ResToolCommand>& Commands()
{
    static std::vector<ResToolCommand> commands; // filled by static registrations before main
    return commands;
}

int PrintUsage()
{
    std::fprintf(stderr, "usage: vortan-res GROUP [COMMAND] ARGS...\n");
    for (const ResToolCommand& command : Commands())
        std::fprintf(stderr, "  vortan-res %s%s%s %s\n", command.group, *command.name ? " " : "", command.name,
                     command.usage);
    std::fprintf(stderr, "exit codes: 0 done, 1 failed, 2 usage, 3 input or output refused\n");
    return kExitUsage;
}

// Resource reports go to stderr as "caption: text".
class StderrReportSink : public ResourceReportSink {
public:
    void Report(const ResourceReport& report) override
    {
        std::fprintf(stderr, "%s: %s\n", report.caption.c_str(), report.text.c_str());
    }
};

} // namespace

bool RegisterResToolCommand(const ResToolCommand& command)
{
    Commands().push_back(command);
    return true;
}

int ReportToolError(int exitCode, const std::string& message)
{
    std::fprintf(stderr, "vortan-res: %s\n", message.c_str());
    return exitCode;
}

int main(int argc, char** argv)
{
    pf::ignoreFileSizeSignal(); // past `ulimit -f` a write fails and is reported; its temporary goes
    StderrReportSink sink;
    SetResourceReportSink(&sink);
    int result = -1;
    if (argc >= 2) {
        for (const ResToolCommand& command : Commands()) {
            if (std::strcmp(command.group, argv[1]) != 0)
                continue;
            const int first = *command.name == '\0' ? 2 : 3;
            if (first == 3 && (argc < 3 || std::strcmp(command.name, argv[2]) != 0))
                continue;
            const std::span<char* const> args(argv + first, static_cast<size_t>(argc - first));
            if (const char* option = tooltest::UnknownOption(args, command.usage)) {
                std::fprintf(stderr, "vortan-res: unknown argument \"%s\" (usage: vortan-res %s %s %s)\n", option,
                             command.group, command.name, command.usage);
                result = kExitUsage;
            } else {
                result = command.run(args);
            }
            break;
        }
    }
    SetResourceReportSink(nullptr);
    return result >= 0 ? result : PrintUsage();
}
