// vortan-world: build and inspect worlds in memory from the command line.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "apps/vortan-world/command_table.h"
#include "platform/base/atomic_file.h"
#include "testsupport/tools/tool_options.h"
#include "testsupport/tools/tool_world.h"

namespace {

std::vector<WorldToolCommand>& Commands()
{
    static std::vector<WorldToolCommand> commands; // filled by static registrations before main
    return commands;
}

int PrintUsage()
{
    std::fprintf(stderr, "usage: vortan-world COMMAND ARGS...\n");
    for (const WorldToolCommand& command : Commands())
        std::fprintf(stderr, "  vortan-world %s %s\n", command.name, command.usage);
    std::fprintf(stderr,
                 "every command that reads a world also takes %s: what decoding a whole file may make beyond "
                 "its stored bytes and the pixels of any one image (%llu and %llu unless given)\n",
                 tooltest::kReadLimitUsage, static_cast<unsigned long long>(SWreadlimits::kDefaultMaxBytes),
                 static_cast<unsigned long long>(SWreadlimits::kDefaultMaxPixels));
    return kWorldToolUsage;
}

} // namespace

bool RegisterWorldToolCommand(const WorldToolCommand& command)
{
    Commands().push_back(command);
    return true;
}

int main(int argc, char** argv)
{
    pf::ignoreFileSizeSignal(); // past `ulimit -f` a write fails and is reported; its temporary goes
    if (argc < 2)
        return PrintUsage();
    // The read limits stand anywhere after the command and hold for every world it reads.
    std::vector<char*> args(argv + 2, argv + argc);
    std::string error;
    if (!tooltest::TakeReadLimitOptions(args, error)) {
        std::fprintf(stderr, "vortan-world: %s\n", error.c_str());
        return kWorldToolUsage;
    }
    for (const WorldToolCommand& command : Commands()) {
        if (std::strcmp(command.name, argv[1]) != 0)
            continue;
        if (const char* option = tooltest::UnknownOption(args, command.usage)) {
            std::fprintf(stderr, "vortan-world: unknown argument \"%s\" (usage: vortan-world %s %s)\n", option,
                         command.name, command.usage);
            return kWorldToolUsage;
        }
        return command.run(args);
    }
    std::fprintf(stderr, "vortan-world: unknown command \"%s\"\n", argv[1]);
    return PrintUsage();
}
