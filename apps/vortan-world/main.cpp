// vortan-world: build and inspect worlds in memory from the command line.
#include <cstdio>
#include <cstring>
#include <vector>

#include "apps/vortan-world/command_table.h"
#include "platform/base/atomic_file.h"

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
    for (const WorldToolCommand& command : Commands())
        if (std::strcmp(command.name, argv[1]) == 0)
            return command.run(std::span<char* const>(argv + 2, static_cast<size_t>(argc - 2)));
    std::fprintf(stderr, "vortan-world: unknown command \"%s\"\n", argv[1]);
    return PrintUsage();
}
