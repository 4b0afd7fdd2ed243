#include "apps/vortan-trace/world_file_commands.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "apps/vortan-trace/demo_world.h"
#include "apps/vortan-trace/scenario_table.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/document_file.h"
#include "engine/core/read_context.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "platform/time/clock.h"
#include "platform/time/virtual_clock.h"
#include "testsupport/tools/tool_options.h"
#include "testsupport/tools/tool_world.h"

namespace {

constexpr int kRefused = 3;
constexpr long kMostFrames = 1000000;

int Refuse(const std::string& text)
{
    std::fprintf(stderr, "vortan-trace: %s\n", text.c_str());
    return kRefused;
}

int Usage(const std::string& text)
{
    std::fprintf(stderr, "vortan-trace: %s\n", text.c_str());
    return kTraceUsage;
}

int MakeDemo(const std::string& path)
{
    SWworld world;
    AddFrameDemo(world);
    AddSpeechDemo(world);
    std::string error;
    const DocumentStatus status = SaveWorldFile(world, WorldFileMode::kScene, path, &error);
    if (status != DocumentStatus::kOk) // the writer's error names the file and the cause
        return Refuse(error.empty() ? "cannot write " + path + ": " + DocumentStatusText(status) : error);
    std::printf("wrote %s: %zu events\n", path.c_str(), world.CountEvents());
    return kTraceDone;
}

// Loads path and writes it again into out; the world stays in loaded.
int LoadAndWrite(const std::string& path, std::vector<uint8_t>& out, WorldLoadResult& loaded)
{
    std::string error;
    loaded = tooltest::LoadToolWorld(path, SWreadcontext::IdMode::kKeep, error);
    if (loaded.status != DocumentStatus::kOk)
        return Refuse(error);
    if (WriteWorldFile(*loaded.world, WorldFileMode::kScene, out) != DocumentStatus::kOk)
        return Refuse("cannot save the world read from " + path);
    return kTraceDone;
}

int RoundTrip(const std::string& path)
{
    std::vector<uint8_t> first;
    WorldLoadResult loaded;
    if (const int status = LoadAndWrite(path, first, loaded); status != kTraceDone)
        return status;
    SWdocumentfile file;
    if (SWdocumentfile::Parse(first, file) != DocumentStatus::kOk)
        return Refuse("the saved world does not parse");
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    WorldLoadResult again = ReadWorldFile(file, context);
    if (again.status != DocumentStatus::kOk)
        return Refuse("the saved world does not load");
    std::vector<uint8_t> second;
    if (WriteWorldFile(*again.world, WorldFileMode::kScene, second) != DocumentStatus::kOk)
        return Refuse("the reloaded world does not save");
    if (first == second) {
        std::printf("identical: %zu bytes, %zu events\n", first.size(), again.world->CountEvents());
        return kTraceDone;
    }
    // The first record of the second save whose stored bytes differ from the first's.
    SWdocumentfile secondFile;
    SWdocumentfile::Parse(second, secondFile);
    const auto& a = file.Records();
    const auto& b = secondFile.Records();
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (a[i].tag == b[i].tag &&
            std::equal(a[i].payload.begin(), a[i].payload.end(), b[i].payload.begin(), b[i].payload.end()))
            continue;
        char tag[5] = {};
        std::memcpy(tag, &b[i].tag, 4);
        std::printf("different: record %zu (\"%s\") of %zu and %zu records\n", i, tag, a.size(), b.size());
        return 1;
    }
    std::printf("different: %zu and %zu bytes\n", first.size(), second.size());
    return 1;
}

int RunFile(const std::string& path, long frames, const std::string& savePath)
{
    std::string error;
    WorldLoadResult loaded = tooltest::LoadToolWorld(path, SWreadcontext::IdMode::kKeep, error);
    if (loaded.status != DocumentStatus::kOk)
        return Refuse(error);
    SWworld& world = *loaded.world;
    pf::VirtualClock clock(1000);
    pf::setClock(&clock);
    TracePrinter printer;
    DemoRenderer renderer(kDemoViewSize, kDemoViewSize);
    AddDemoWindow(world, renderer);
    world.SetObserver(&printer);
    printer.Note(0, "loaded " + std::to_string(world.CountEvents()) + " events");
    world.SetRunning(true);
    for (long frame = 1; frame <= frames; ++frame) {
        printer.SetFrame(static_cast<int>(frame));
        world.RunFrame();
        clock.advance(33);
    }
    printer.Note(static_cast<int>(frames), "running motions " + std::to_string(TimedActionTable::Of(world).Count()));
    world.SetRunning(false);
    printer.SetFrame(static_cast<int>(frames + 1));
    world.RunFrame();
    world.SetObserver(nullptr);
    pf::setClock(nullptr);
    if (!savePath.empty()) {
        const DocumentStatus saved = SaveWorldFile(world, WorldFileMode::kScene, savePath, &error);
        if (saved != DocumentStatus::kOk) // the writer's error names the file and the cause
            return Refuse(error.empty() ? "cannot write " + savePath + ": " + DocumentStatusText(saved) : error);
    }
    return kTraceDone;
}

} // namespace

bool IsWorldFileCommand(const char* command)
{
    const std::string_view c = command;
    return c == "make-demo" || c == "file" || c == "roundtrip";
}

int RunWorldFileCommand(int argc, char** argv)
{
    std::vector<char*> args(argv, argv + argc);
    if (std::string error; !tooltest::TakeReadLimitOptions(args, error))
        return Usage(error);
    argc = static_cast<int>(args.size());
    argv = args.data();
    const std::string_view command = argv[0];
    if (argc < 2)
        return Usage(std::string(command) + " needs a file");
    const std::string path = argv[1];
    if (tooltest::IsOption(path))
        return Usage("unknown option " + path + " where " + std::string(command) + " takes a file");
    if (command == "make-demo" && argc == 2)
        return MakeDemo(path);
    if (command == "roundtrip" && argc == 2)
        return RoundTrip(path);
    if (command != "file")
        return Usage(std::string(command) + " takes one file");
    long frames = 120;
    std::string savePath;
    for (int i = 2; i < argc; i += 2) {
        const std::string_view option = argv[i];
        if (i + 1 >= argc)
            return Usage(std::string(option) + " needs a value");
        if (option == "--frames") {
            const std::string_view text = argv[i + 1];
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), frames);
            if (error != std::errc() || end != text.data() + text.size() || frames < 0 || frames > kMostFrames)
                return Usage("--frames must be a whole number from 0 to " + std::to_string(kMostFrames) + ", not \"" +
                             std::string(text) + "\"");
        } else if (option == "--save") {
            savePath = argv[i + 1];
        } else {
            return Usage("unknown option " + std::string(option));
        }
    }
    return RunFile(path, frames, savePath);
}
