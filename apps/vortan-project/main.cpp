// vortan-project: make a sample project, dump one, read and write one again.
//   vortan-project make-sample OUT.vtp   a project with the sample scene written beside it ("OUT.vtn") and added
//   vortan-project dump FILE.vtp         the header, the project item's records, then a summary of the world part
//   vortan-project roundtrip IN OUT      read IN, write OUT, say whether OUT equals IN byte for byte; a project
//                                        that reads with a part left out is refused
//   vortan-project add-scene IN.vtp SCENE.vtn OUT.vtp   what File > Add Scene File does, the background question
//                                        answered No, written to OUT; a scene that does not read whole is refused
//   vortan-project write-jpeg OUT.jpg W H QUALITY   a gradient picture through the platform's JPEG writer (seeds,
//                                        benchmarks)
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "apps/vortan-project/project_tool.h"
#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/project.h"
#include "engine/core/scene_import.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "engine/resources/resource_report.h"
#include "platform/base/atomic_file.h"
#include "platform/base/file_stamp.h"
#include "platform/base/input_file.h"
#include "platform/gfx/jpeg_file.h"
#include "testsupport/tools/tool_input.h"
#include "testsupport/tools/tool_options.h"
#include "testsupport/world/sample_world.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: vortan-project make-sample OUT.vtp\n"
                         "       vortan-project dump FILE.vtp\n"
                         "       vortan-project roundtrip IN.vtp OUT.vtp\n"
                         "       vortan-project add-scene IN.vtp SCENE.vtn OUT.vtp\n"
                         "       vortan-project write-jpeg OUT.jpg WIDTH HEIGHT QUALITY\n");
    return kProjectToolUsage;
}

int MakeSample(std::span<char* const> args)
{
    if (args.size() != 1)
        return Usage();
    const std::filesystem::path out = args[0];
    const std::string scene = std::filesystem::path(out).replace_extension(".vtn").string();
    const std::unique_ptr<SWworld> sample = worldtest::MakeSampleWorld();
    std::string why;
    if (SaveWorldFile(*sample, WorldFileMode::kScene, scene, &why) != DocumentStatus::kOk)
        return Refuse(scene + ": " + why);
    CVTNDesignerApp app;
    app.NewWorkspace();
    CVTND_Project& project = *app.GetProject();
    if (project.AddSceneFile(scene) == nullptr)
        return Refuse(scene + ": the scene could not be added");
    project.UpdateWorldHeader();
    if (!project.SaveFile(out.string(), app.GetGradientStore()))
        return Refuse(out.string() + ": the project could not be written");
    std::printf("wrote %s with %s added\n", out.string().c_str(), scene.c_str());
    return kProjectToolDone;
}

int Roundtrip(std::span<char* const> args)
{
    if (args.size() != 2)
        return Usage();
    const std::string in = args[0];
    const std::string out = args[1];
    const tooltest::OutputOverInput over(in, out);
    std::vector<uint8_t> original;
    if (const pf::InputFileResult read = pf::readWholeFile(in, original, UINT32_MAX); !read.ok())
        return Refuse(read.message);
    CVTNDesignerApp app; // the project reads through the application's registrations
    CVTND_Project::LoadResult loaded = CVTND_Project::LoadBytes(original, in);
    if (!loaded.ok())
        return Refuse(loaded.message);
    // The designer opens such a project and says what it left out; written again it would be that much less, and
    // over its source, the only copy.
    if (loaded.damagedButOpened)
        return Refuse(loaded.message + "\nnothing was written: the project would be written without it");
    std::vector<uint8_t> written;
    if (!loaded.project->WriteBytes(written, loaded.gradients.get())) {
        std::fprintf(stderr, "vortan-project: %s: the project could not be written again\n", in.c_str());
        return kProjectToolFailed;
    }
    std::string why;
    if (!over.Unchanged(why))
        return Refuse(why);
    const std::string_view bytes(reinterpret_cast<const char*>(written.data()), written.size());
    if (!pf::writeFileAtomically(out, bytes, &why))
        return Refuse(why); // "cannot write OUT: CAUSE"
    std::printf("identical=%s\n", written == original ? "yes" : "no");
    return kProjectToolDone;
}

// What resources report while a scene is added: a record that did not read, a resource left out. Any of them means
// the project would hold less than the scene does.
class AddReports : public ResourceReportSink {
public:
    AddReports() { SetResourceReportSink(this); }
    ~AddReports() override { SetResourceReportSink(nullptr); }
    AddReports(const AddReports&) = delete;
    AddReports& operator=(const AddReports&) = delete;
    void Report(const ResourceReport& report) override { texts.push_back(report.text); }
    std::vector<std::string> texts;
};

bool IsSameFile(const std::string& a, const std::string& b)
{
    const std::optional<pf::FileStamp> first = pf::fileStampOf(a);
    const std::optional<pf::FileStamp> second = pf::fileStampOf(b);
    return first && second && first->SameFile(*second);
}

bool HasPublishedExtension(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::ranges::transform(extension, extension.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".vto";
}

// Adds the scene as File > Add Scene File does: it is read once, by the add, and what that read reported decides.
// Empty when the scene came in whole; otherwise why not. Without windows the project asks nobody about the scene's
// background: it keeps its own, as a No would.
std::string AddWholeScene(CVTND_Project& project, const std::string& scene)
{
    CVTN_SubWorld* added = nullptr;
    std::vector<std::string> reports;
    {
        AddReports collected;
        added = project.AddSceneFile(scene);
        reports = std::move(collected.texts);
    }
    if (added == nullptr) {
        // The add shows its cause in a message box, which a tool has not: the scene is read again only to word it.
        const WorldLoadResult again = ImportWorld(scene);
        if (again.status != DocumentStatus::kOk)
            return again.message.empty() ? scene + ": " + DocumentStatusText(again.status) : again.message;
        return scene + ": the scene could not be added";
    }
    std::string text;
    for (const std::string& report : reports)
        text += "\n" + report;
    return text.empty() ? text : scene + ": the scene did not read whole, and nothing was written:" + text;
}

int AddScene(std::span<char* const> args)
{
    if (args.size() != 3)
        return Usage();
    const std::string scene = args[1];
    // The project may be written over itself, as File > Save does; over the scene it adds, the scene would be lost.
    if (IsSameFile(args[2], scene) && !IsSameFile(args[2], args[0]))
        return Refuse(std::string("cannot write ") + args[2] + ": it is the scene being added; name another file");
    if (HasPublishedExtension(scene))
        return Refuse(scene + ": a published file cannot be added to a project; add the scene it was published from");
    if (std::string why; !tooltest::CheckInput(scene, why))
        return Refuse(why);
    CVTNDesignerApp app; // the project reads through the application's registrations
    const tooltest::OutputOverInput over(args[0], args[2]);
    CVTND_Project::LoadResult loaded = CVTND_Project::LoadFile(args[0]);
    if (!loaded.ok())
        return Refuse(loaded.message);
    app.SetWorkspace(std::move(loaded.world), std::move(loaded.project), std::move(loaded.gradients));
    CVTND_Project& project = *app.GetProject();
    if (const std::string refusal = AddWholeScene(project, scene); !refusal.empty())
        return Refuse(refusal);
    project.UpdateWorldHeader();
    if (std::string why; !over.Unchanged(why))
        return Refuse(why);
    if (!project.SaveFile(args[2], app.GetGradientStore()))
        return Refuse(std::string(args[2]) + ": the project could not be written");
    std::printf("wrote %s with %s added\n", args[2], args[1]);
    return kProjectToolDone;
}

int WriteJpeg(std::span<char* const> args)
{
    if (args.size() != 4)
        return Usage();
    int values[3] = {};
    for (int i = 0; i < 3; ++i) {
        const std::string_view text = args[static_cast<size_t>(i) + 1];
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), values[i]);
        if (error != std::errc() || end != text.data() + text.size())
            return Usage();
    }
    if (values[0] <= 0 || values[1] <= 0 || values[0] > 16384 || values[1] > 16384)
        return Refuse("the picture's size must be 1 to 16384 on each side");
    pf::Surface32 surface(values[0], values[1]);
    for (int32_t y = 0; y < values[1]; ++y) {
        for (int32_t x = 0; x < values[0]; ++x) {
            const auto red = static_cast<uint32_t>(x * 255 / std::max(1, values[0] - 1));
            const auto green = static_cast<uint32_t>(y * 255 / std::max(1, values[1] - 1));
            surface.setPixel(x, y, 0xFF000000u | red << 16 | green << 8 | ((x ^ y) & 0xFFu));
        }
    }
    std::string why;
    if (!pf::writeJpegFile(args[0], surface, values[2], why))
        return Refuse(std::string(args[0]) + ": " + why);
    std::printf("wrote %s\n", args[0]);
    return kProjectToolDone;
}

} // namespace

int Refuse(const std::string& message)
{
    std::fprintf(stderr, "vortan-project: %s\n", message.c_str());
    return kProjectToolRefused;
}

int main(int argc, char** argv)
{
    pf::ignoreFileSizeSignal();
    if (argc < 2)
        return Usage();
    const std::span<char* const> args(argv + 2, static_cast<size_t>(argc - 2));
    // No command takes an option: one is never a file name ("--help" would be written as a project of that name).
    for (char* const arg : args) {
        if (tooltest::IsOption(arg)) {
            std::fprintf(stderr, "vortan-project: unknown option %s\n", arg);
            return Usage();
        }
    }
    if (std::strcmp(argv[1], "make-sample") == 0)
        return MakeSample(args);
    if (std::strcmp(argv[1], "dump") == 0)
        return DumpProject(args);
    if (std::strcmp(argv[1], "roundtrip") == 0)
        return Roundtrip(args);
    if (std::strcmp(argv[1], "add-scene") == 0)
        return AddScene(args);
    if (std::strcmp(argv[1], "write-jpeg") == 0)
        return WriteJpeg(args);
    std::fprintf(stderr, "vortan-project: unknown command \"%s\"\n", argv[1]);
    return Usage();
}
