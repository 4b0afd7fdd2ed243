// vortan-train: writes the codecs' generated tables.
//   tonalwave bootstrap --set SET --out FILE   the bootstrap codebooks of a parameter set (8k8, 8k6, 11k10, 22k24)
//   tonalwave train --set SET --corpus DIR [--corpus DIR2 ...] --out FILE [--passes N] [--threads N]
//                                              its codebooks trained on DIR/train/*.wav
//   midi --seed N --out FILE [--seconds S]     a generated MIDI file for the music corpus
//   sc36 bootstrap --out FILE                  the SC36 bootstrap tables
//   sc36 train --corpus DIR --out FILE         the SC36 tables trained on DIR/train/*.wav
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "apps/train/midi_generate.h"
#include "apps/train/sc36_train.h"
#include "apps/train/tonalwave_train.h"
#include "apps/train/train_exit_codes.h"
#include "codecs/sound/Tonalwave/tables/tonalwave_bootstrap.h"
#include "codecs/sound/Tonalwave/tonalwave_parameters.h"
#include "platform/base/atomic_file.h"
#include "testsupport/tools/tool_input.h"
#include "testsupport/tools/tool_options.h"

namespace {

constexpr const char* kUsage = "usage: vortan-train tonalwave bootstrap --set 8k8|8k6|11k10|22k24 --out FILE\n"
                               "       vortan-train tonalwave train --set SET --corpus DIR --out FILE [--passes N]\n"
                               "       vortan-train midi --seed N --out FILE [--seconds S]";

int Report(int code, const std::string& message)
{
    std::fprintf(stderr, "vortan-train: %s\n", message.c_str());
    return code;
}

std::optional<sound::TonalwaveSet> SetOfSuffix(std::string_view suffix)
{
    for (int i = 0; i < sound::kTonalwaveSetCount; ++i) {
        const auto set = static_cast<sound::TonalwaveSet>(i);
        const char* name = sound::TableSuffixOf(set);
        if (name != nullptr && *name != '\0' && suffix == name)
            return set;
    }
    return std::nullopt;
}

// --set SET --out FILE in either order.
int Bootstrap(std::span<char* const> args)
{
    std::optional<sound::TonalwaveSet> set;
    std::string out;
    std::string setWord;
    for (size_t i = 0; i + 1 < args.size(); i += 2) {
        if (std::strcmp(args[i], "--set") == 0) {
            setWord = args[i + 1];
            set = SetOfSuffix(setWord);
        } else if (std::strcmp(args[i], "--out") == 0) {
            out = args[i + 1];
        } else {
            return Report(kExitUsage, kUsage);
        }
    }
    if (args.size() != 4 || out.empty() || setWord.empty())
        return Report(kExitUsage, kUsage);
    if (!set)
        return Report(kExitUsage,
                      "SET must be 8k8, 8k6, 11k10 or 22k24 (the sets with band edges), not \"" + setWord + "\"");
    // The command recorded in the file names the committed path, wherever this run writes.
    const std::string command = std::string("vortan-train tonalwave bootstrap --set ") + setWord +
                                " --out codecs/sound/Tonalwave/tables/tonalwave_tables_" + setWord + ".cpp";
    const std::vector<int16_t> values = sound::BuildBootstrapTables(*set);
    const std::string source = sound::BootstrapTablesSource(*set, values, command);
    std::string error;
    if (!pf::writeFileAtomically(out, source, &error))
        return Report(kExitFailed, tooltest::WriteRefusal(out, error));
    std::printf("%s: %zu values\n", out.c_str(), values.size());
    return kExitDone;
}

} // namespace

int main(int argc, char** argv)
{
    pf::ignoreFileSizeSignal(); // past `ulimit -f` a write fails and is reported; its temporary goes
    const std::span<char* const> args(argv + 1, static_cast<size_t>(argc > 0 ? argc - 1 : 0));
    // Every command is its words, then options each with its value: a value written as an option is none ("--out
    // --help" would write a file of that name).
    const size_t words = !args.empty() && std::strcmp(args[0], "midi") == 0 ? 1 : 2;
    for (size_t i = words + 1; i < args.size(); i += 2)
        if (tooltest::IsOption(args[i]))
            return Report(kExitUsage, std::string(args[i - 1]) + " is missing its value: " + args[i] + " is an option");
    if (args.size() >= 2 && std::strcmp(args[0], "tonalwave") == 0 && std::strcmp(args[1], "bootstrap") == 0)
        return Bootstrap(args.subspan(2));
    if (args.size() >= 2 && std::strcmp(args[0], "tonalwave") == 0 && std::strcmp(args[1], "train") == 0)
        return RunTonalwaveTrain(args.subspan(2));
    if (!args.empty() && std::strcmp(args[0], "midi") == 0)
        return RunMidi(args.subspan(1));
    if (!args.empty() && std::strcmp(args[0], "sc36") == 0)
        return RunSc36Train(args.subspan(1));
    return Report(kExitUsage, std::string(kUsage) + "\n       vortan-train sc36 bootstrap|train ...");
}
