// vortan-codec: encode, decode and measure with the system's own codecs from the command line.
#include "apps/vortan-codec/command_table.h"
#include "apps/vortan-codec/tool_io.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/base/atomic_file.h"
#include "testsupport/tools/tool_options.h"

namespace {

std::vector<CodecToolCommand>& Commands()
{
    static std::vector<CodecToolCommand> commands; // filled by static registrations before main
    return commands;
}

int PrintUsage()
{
    std::fprintf(stderr, "usage: vortan-codec FAMILY COMMAND ARGS...\n");
    for (const CodecToolCommand& command : Commands())
        std::fprintf(stderr, "  vortan-codec %s %s %s\n", command.family, command.name, command.usage);
    std::fprintf(stderr,
                 "exit codes: %d done, %d failed (the work ran and its result did not hold), %d usage (bad arguments "
                 "or a number out of range), %d refused (an input or output that is missing, a folder, damaged or "
                 "not writable), %d timed out\n",
                 codectool::kExitDone, codectool::kExitFailed, codectool::kExitUsage, codectool::kExitRefused,
                 codectool::kExitTimeout);
    return codectool::kExitUsage;
}

} // namespace

bool RegisterCodecToolCommand(const CodecToolCommand& command)
{
    Commands().push_back(command);
    return true;
}

int main(int argc, char** argv)
{
    pf::ignoreFileSizeSignal(); // past `ulimit -f` a write fails and is reported; its temporary goes
    if (argc < 3)
        return PrintUsage();
    // A command bound to the codec word that follows the name wins over the family's general one.
    const CodecToolCommand* chosen = nullptr;
    for (const CodecToolCommand& command : Commands()) {
        if (std::strcmp(command.family, argv[1]) != 0 || std::strcmp(command.name, argv[2]) != 0)
            continue;
        if (command.word != nullptr) {
            if (argc > 3 && std::strcmp(command.word, argv[3]) == 0) {
                chosen = &command;
                break;
            }
        } else if (chosen == nullptr) {
            chosen = &command;
        }
    }
    if (chosen != nullptr) {
        const std::span<char* const> args(argv + 3, static_cast<size_t>(argc - 3));
        if (const char* option = tooltest::UnknownOption(args, chosen->usage)) {
            std::fprintf(stderr, "vortan-codec: unknown argument \"%s\" (usage: vortan-codec %s %s %s)\n", option,
                         chosen->family, chosen->name, chosen->usage);
            return codectool::kExitUsage;
        }
        return chosen->run(args);
    }
    std::fprintf(stderr, "vortan-codec: unknown command \"%s %s\"\n", argv[1], argv[2]);
    return PrintUsage();
}
