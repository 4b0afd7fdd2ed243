// vortan-trace: runs a small built-in world frame by frame on a virtual clock and prints what its behaviour did.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "apps/vortan-trace/expr_command.h"
#include "apps/vortan-trace/gen_command.h"
#include "apps/vortan-trace/scenario_table.h"
#include "apps/vortan-trace/world_file_commands.h"
#include "platform/base/atomic_file.h"
#include "testsupport/behaviour/frame_driver.h"

namespace {

std::vector<TraceScenario>& Scenarios()
{
    static std::vector<TraceScenario> scenarios; // filled by static registrations before main
    return scenarios;
}

const char* const kHelp = R"(usage: vortan-trace list
       vortan-trace run NAME [--frames N] [--dt MS]
       vortan-trace expr TEXT
       vortan-trace gen KIND [name=value ...] [--frames N] [--dt MS] [--seed S]
       vortan-trace make-demo OUT.vtn | file IN.vtn [--frames N] [--save OUT.vtn] | roundtrip IN.vtn
                    (file and roundtrip also take [--max-bytes N] [--max-pixels N]: what reading the world may take)
       vortan-trace --help

Builds the scenario's world, starts it on a virtual clock and runs N frames (the scenario's default when not
given) of MS milliseconds each (default 33), printing one line per happening:

  F<frame> <word> <details>

F0 is before the first frame; a stop is dispatched in a frame of its own after the last one. Words:
  dispatch <record>                      a record taken from the dispatch queue
  requeue <record>                       a named trigger whose event does not exist yet (retried next frame)
  fire <event> by <record>               an event fired, and the record that fired it
  exec #<id> k<kind> target=<t> subject=<s>
                                         an action executed: its id and kind, what it was aimed at, what it acts
                                         with (action, motion, motion-clone, a text, or -)
  skip #<id>                             an action already on its chain of links, or a chain too deep
  delay #<id> <ms>ms                     an action scheduled to run later
  delayed #<id> target=<t> data=<text>   a delayed action run, with the trigger and data text it was given
  active <event> on|off                  an event's activation changed by a request at the end of the step
  seq-start q#<id> [first #<id>]         a sequence (or its next group) started
  seq-wait q#<id> on #<id>               a sequence waiting for the motions of an action
  seq-end q#<id>                         a sequence finished
  host <text1> <text2> data=<text>       the host callback
  note <text>                            the scenario's own remark (input it posts, changes it makes)
Records print as their kind (key-down, key-up, trigger, click, start, stop, step, timer, motion-end, sound-end,
variable) and their target; events by their quoted name; a missing text as "-".

expr compiles TEXT against a demo scene (nodes "lamp" and "box" with the variables label, count, on, level, dir,
turn and pose, box also width and height; a sound "hum" with volume and pitch; a resource "res" with gain) and
prints the result code (0 compiled, 1 syntax, 3 bad prefix, 4 object not found, 5 variable not found or claimed
twice), the tokens (operands with their qualified name or constant, type and value; operators with their level,
"/" 4 before "*" 3 before "-" 2 before "+" 1; parentheses with their nesting level) and the value evaluation
gives with its type. Exits 3 when the text does not compile.

gen steps one value generator every MS milliseconds (default 33) for N frames (default 40) and prints
"t=<ms> value=<v> delta=<d>" per frame, after a line with its duration, delay and range. --seed S (or seed=S)
seeds the world's random source, so a random curve repeats. Kinds and settings:
  all:                                duration delay loop forever pingpong seed
  sine square triangle saw-up saw-down: period end-period lock phase start-time sustain-time decay-time
                                      start-amp sustain-amp (default 1) decay-amp offset scale absolute positive
                                      infinite
  axis:                               amount (default 1)
  polynomial:                         amplitude (default 1) shape offset invert mirror
  random:                             min max
  property:                           ref (a reference into the expr demo scene, e.g. NODE:lamp.level) relative
)";

int Usage()
{
    std::fputs(kHelp, stderr);
    return kTraceUsage;
}

bool ParseCount(const char* text, long low, long high, long& out)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < low || value > high)
        return false;
    out = value;
    return true;
}

int Run(std::span<char* const> args)
{
    if (args.empty())
        return Usage();
    const TraceScenario* scenario = nullptr;
    for (const TraceScenario& s : Scenarios())
        if (std::strcmp(s.name, args[0]) == 0)
            scenario = &s;
    if (scenario == nullptr) {
        std::fprintf(stderr, "vortan-trace: no scenario \"%s\" (vortan-trace list names them)\n", args[0]);
        return kTraceUsage;
    }
    long frames = scenario->defaultFrames;
    long dt = 33;
    for (size_t i = 1; i < args.size(); i += 2) {
        const std::string_view option = args[i];
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "vortan-trace: %s needs a value\n", args[i]);
            return kTraceUsage;
        }
        if (option == "--frames") {
            if (!ParseCount(args[i + 1], 0, 1000000, frames)) {
                std::fprintf(stderr, "vortan-trace: --frames takes a count from 0 to 1000000\n");
                return kTraceUsage;
            }
        } else if (option == "--dt") {
            if (!ParseCount(args[i + 1], 1, 60000, dt)) {
                std::fprintf(stderr, "vortan-trace: --dt takes milliseconds from 1 to 60000\n");
                return kTraceUsage;
            }
        } else {
            std::fprintf(stderr, "vortan-trace: unknown option %s\n", args[i]);
            return kTraceUsage;
        }
    }
    TracePrinter printer;
    return scenario->run(TraceRun{static_cast<int>(frames), static_cast<uint32_t>(dt), printer});
}

} // namespace

bool RegisterTraceScenario(const TraceScenario& scenario)
{
    Scenarios().push_back(scenario);
    return true;
}

void TracePrinter::Note(int frame, const std::string& text)
{
    std::printf("F%d note %s\n", frame, text.c_str());
}

void TracePrinter::Emit(const std::string& line)
{
    std::printf("%s\n", line.c_str());
}

void TraceRun::Frames(FrameDriver& driver, const std::function<void(int frame)>& beforeFrame) const
{
    for (int i = 0; i < frames; ++i) {
        if (beforeFrame)
            beforeFrame(driver.FrameCount() + 1);
        driver.Frame(dtMs);
    }
}

int main(int argc, char** argv)
{
    pf::ignoreFileSizeSignal(); // past `ulimit -f` a write fails and is reported; its temporary goes
    if (argc < 2)
        return Usage();
    const std::string_view command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kHelp, stdout);
        return kTraceDone;
    }
    if (command == "list") {
        std::vector<const TraceScenario*> sorted;
        for (const TraceScenario& s : Scenarios())
            sorted.push_back(&s);
        std::sort(sorted.begin(), sorted.end(),
                  [](const TraceScenario* a, const TraceScenario* b) { return std::strcmp(a->name, b->name) < 0; });
        for (const TraceScenario* s : sorted)
            std::printf("%-12s %s (%d frames)\n", s->name, s->summary, s->defaultFrames);
        return kTraceDone;
    }
    if (command == "expr") {
        if (argc != 3)
            return Usage();
        return RunExprCommand(argv[2]);
    }
    if (command == "gen")
        return RunGenCommand(argc - 2, argv + 2);
    if (IsWorldFileCommand(argv[1]))
        return RunWorldFileCommand(argc - 1, argv + 1);
    if (command == "run")
        return Run(std::span<char* const>(argv + 2, static_cast<size_t>(argc - 2)));
    std::fprintf(stderr, "vortan-trace: unknown command \"%s\"\n", argv[1]);
    return Usage();
}
