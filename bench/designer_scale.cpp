// designer_scale: the designer's operations on generated projects of several sizes, in wall time, each size in a
// fresh process of its own. Size 1 is 10,080 nodes (65 of them meshes of about 16,000 triangles, textured spheres
// on a grid that fills the camera's view), 500 textures of 64 x 64, 1,000 timer events of two actions each (a turn
// and a visibility change on named nodes), all of it on the event map; the other sizes scale every count. The project
// is made through the designer's own operations: the scene added to a new project, the events added to its world, every
// event placed on the map, the project saved.
//
//   designer_scale [--sizes 0.25,1,4,16] [--folder DIR] [--vortan PATH] [--frames N] [--runs N]
//       one line per operation: "OPERATION: 1x=SECONDS 4x=SECONDS growth=RATIO" (a growth for each step from one
//       size to the next), then the parts of placement and saving as such lines, then the project files read and
//       written beside cat and dd on the same bytes, and the scene file read and written by a fresh process of ours
//       beside cat and dd, each from the disk
//   designer_scale --layout 50000,100000,200000 [...]
//       a project whose event map holds that many entries: read in a fresh process, and opened by the designer
//
// open: `vortan --screenshot` on the saved project (open, the workspace, the first frame), a fresh process; its
// peak resident memory is peak-memory. load: CVTND_Project::LoadFile in a fresh process. save: SaveFile, through the
// atomic writer with its flush; save-serialise: the same document made into one copy in memory (WriteBytes),
// save-write: those bytes through the atomic writer, save-dd: dd conv=fsync of that file. publish: PublishWorld (the
// runtime file and its page). refill: the ten panels emptied and refilled as after an open. running-frame-*: frames
// of the running preview in an 800 x 600 view on a virtual clock of 33 ms per frame with a 1 s timer, so that every
// 30th frame is a timer round; a note gives the same frames in processor time of all the render lanes, which tells
// a frame that had more to do from one whose lanes waited for a core on a busy machine (VORTAN_RENDER_THREADS=1
// draws on one lane). placement: every event put on an empty map as opening a project without a layout
// does (CEditorEngine::AddEvents), a quarter of the events at a time, whose times are printed as well;
// each pass starts after twice the last-level cache (at least 256 MB) has gone through it, as after reading the
// project file; placement-warm without that; placement-first is the first pass. remove-scene: the added scene file
// taken out again (RemoveSubWorld).
// open, load, add-scene, placement, save, publish and refill are the median of --runs runs (5 unless told). The 3D
// views are checked to show the scene: the pixels of the last running frame and of the view in the last open's
// screenshot that are not the background are printed ("note view drawn"), and the bench fails (exit 1) when either
// is under a hundredth of its view.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "designer/app/child_render_view.h"
#include "designer/app/designer_app.h"
#include "designer/app/developer_run.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/project.h"
#include "designer/app/publish_worker.h"
#include "designer/app/startup.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/map_object.h"
#include "designer/workspace/panels.h"
#include "designer/workspace/sizing_bar.h"
#include "designer/workspace/workspace_controls.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/camera_node.h"
#include "engine/core/document_file.h"
#include "engine/core/mesh_node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/window.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "engine/resources/background.h"
#include "engine/resources/image24.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"
#include "platform/display/screen.h"
#include "platform/gfx/surface32.h"
#include "platform/time/clock.h"
#include "platform/time/virtual_clock.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"
#include "platform/ui/frame/frame_window.h"
#include "render/render_drivers.h"
#include "testsupport/designer/scale_project.h"
#include "testsupport/image/png_image.h"
#include "testsupport/mesh/mesh_generators.h"
#include "testsupport/world/sample_world.h"

namespace {

using Clock = std::chrono::steady_clock;
using designertest::AddEvents;
using designertest::Counts;
using designertest::CountsFor;
using designertest::FillScene;
using designertest::NodeName;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double Timed(const std::function<void()>& work)
{
    const Clock::time_point start = Clock::now();
    work();
    return Seconds(start);
}

void WriteScene(const Counts& counts, const std::string& path)
{
    SWworld world;
    FillScene(counts, world);
    std::string error;
    if (SaveWorldFile(world, WorldFileMode::kScene, path, &error) != DocumentStatus::kOk) {
        std::fprintf(stderr, "designer_scale: cannot write %s: %s\n", path.c_str(), error.c_str());
        std::exit(1);
    }
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// The pixels of a width x height picture (pixel(x, y) as 0x..RRGGBB) whose colour is not the background's: what
// a view drew of the scene.
long DrawnPixels(int width, int height, uint32_t background, const std::function<uint32_t(int, int)>& pixel)
{
    long drawn = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            drawn += ((pixel(x, y) ^ background) & 0xFFFFFFu) != 0 ? 1 : 0;
    return drawn;
}

uint32_t BackgroundColour(SWworld& world)
{
    const SWbackground* background = world.GetRootObject()->GetBackground();
    return background != nullptr ? background->GetColour() : 0u;
}

// The processor time of every thread of this process, the render lanes' included.
double ProcessorSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Frames {
    double median = 0.0, worst = 0.0;
    // The same frames in processor time: on a machine others share, the wall time's worst frame is often a lane
    // that waited for a core, which this does not count.
    double processorMedian = 0.0, processorWorst = 0.0;
    long drawn = 0; // the last frame's pixels that are not the background
};

// Frames of the running preview in an 800 x 600 view, on a virtual clock.
Frames RunningFrames(CVTND_ExtendedWorld& world, int frames)
{
    SWrenderdrivers::Get().Init();
    // The vector paths the designer's first start switches on: without them the frames timed were the scalar
    // path's, which no designer draws with.
    SWrenderdrivers::Get().SetUseMMX(true);
    SWrenderdrivers::Get().SetUseSSE(true);
    SWrenderdrivers::Get().SetUseSSE2(true);
    pf::Window window;
    window.create({"window", "", pf::WS_POPUP | pf::WS_VISIBLE, 0, pf::Rect::fromXywh(0, 0, 800, 600)});
    SWwindow* view = nullptr;
    {
        const SWworldlock hold(world);
        view = world.AddWindow(std::make_unique<SWwindow>(static_cast<uint32_t>(window.hwnd()), 1u, false));
        if (auto* entry = static_cast<SWcameraentry*>(world.GetCameraList().Head()))
            view->SetCamera(entry->node);
        if (SWwindowrenderer* renderer = view->GetRenderer())
            renderer->SetSize(800, 600);
        world.SetCurrentView(view);
    }
    pf::VirtualClock clock(1000);
    pf::setClock(&clock);
    world.SetRunning(true);
    std::vector<double> times, processor;
    for (int f = 0; f < frames; ++f) {
        const Clock::time_point start = Clock::now();
        const double startProcessor = ProcessorSeconds();
        {
            const SWworldlock hold(world);
            world.Invalidate(false);
            world.RunFrame();
        }
        times.push_back(Seconds(start));
        processor.push_back(ProcessorSeconds() - startProcessor);
        clock.advance(33);
    }
    world.SetRunning(false);
    pf::setClock(nullptr);
    Frames result;
    if (const std::shared_ptr<pf::Surface32> surface = pf::ui().surfaceOf(window)) {
        const std::lock_guard lock(surface->mutex());
        result.drawn = DrawnPixels(surface->width(), surface->height(), BackgroundColour(world),
                                   [&](int x, int y) { return surface->pixel(x, y); });
    }
    {
        const SWworldlock hold(world);
        world.RemoveWindow(view);
    }
    window.destroy();
    // The first frames build what the view keeps; the preview's steady state follows.
    const auto steady = [](std::vector<double>& values, double& median, double& worst) {
        values.erase(values.begin(), values.begin() + std::min<ptrdiff_t>(3, static_cast<ptrdiff_t>(values.size())));
        median = Median(values);
        worst = values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
    };
    steady(times, result.median, result.worst);
    steady(processor, result.processorMedian, result.processorWorst);
    return result;
}

void Report(const char* operation, double value)
{
    std::printf("result %s %.6f\n", operation, value);
    std::fflush(stdout);
}

// The published records' payloads as they were before compression, one after another with their u32 length, for
// a general compressor to be timed on the same bytes.
void KeepPublishedPayloads(const std::string& published, const std::string& out)
{
    std::ifstream in(published, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SWdocumentfile doc;
    if (SWdocumentfile::Parse(std::move(bytes), doc) != DocumentStatus::kOk)
        return;
    std::ofstream kept(out, std::ios::binary);
    uint64_t total = 0, stored = 0;
    std::vector<uint8_t> payload;
    for (const DocumentRecord& record : doc.Records()) {
        if (SWdocumentfile::DecodePayload(record, payload) != PayloadStatus::kOk)
            continue;
        const auto length = static_cast<uint32_t>(payload.size());
        kept.write(reinterpret_cast<const char*>(&length), 4);
        kept.write(reinterpret_cast<const char*>(payload.data()), static_cast<std::streamsize>(payload.size()));
        total += payload.size();
        stored += record.payload.size();
    }
    std::printf("note published records %llu bytes, stored as %llu\n", static_cast<unsigned long long>(total),
                static_cast<unsigned long long>(stored));
}

// dd conv=fsync of one file into another: the system's own time for the bytes we write, beside our writer's.
double CopyWithFsync(const std::string& from, const std::string& to)
{
    const std::string command = "dd if='" + from + "' of='" + to + "' bs=4M conv=fsync status=none";
    const Clock::time_point start = Clock::now();
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "designer_scale: failed: %s\n", command.c_str());
    const double seconds = Seconds(start);
    std::filesystem::remove(to);
    return seconds;
}

// One size, in this process: every operation but the fresh-process ones, whose files it leaves in folder. Short
// operations run runs times and report their median.
int RunSize(double size, const std::string& folder, int frames, int runs)
{
    const Counts counts = CountsFor(size);
    const std::string scene = folder + "/scene.vtn";
    const std::string project = folder + "/project.vtp";
    WriteScene(counts, scene);

    pf::screen().reset();
    pf::Ui ui;
    RegisterWorkspaceControls(ui);
    CVTND_SizingBar::RegisterClass(ui);
    constexpr uint32_t kFrameMenu = 9451;
    pf::resources().addMenu(kFrameMenu, {{0, "File", 0, {{57665, "Exit", 0, {}}}}});
    pf::FrameWindow frame;
    frame.createFrame("Designer", {0, 0, 1280, 1000}, kFrameMenu, pf::WS_VISIBLE);
    CVTNDesignerApp app;
    app.SetMainFrame(&frame);
    app.NewWorkspace();
    app.MakeEditorEngine();
    CEditorEngine* engine = GetEditorEngine();
    CVTND_ExtendedWorld& world = *app.GetWorld();
    if (engine == nullptr) {
        std::fprintf(stderr, "designer_scale: no editor engine\n");
        return 1;
    }
    // Added runs times, taken out again between (untimed) but the last: its median, as the other operations'.
    CVTN_SubWorld* added = nullptr;
    std::vector<double> adds;
    for (int run = 0; run < runs; ++run) {
        if (added != nullptr)
            app.GetProject()->RemoveSubWorld(std::exchange(added, nullptr));
        adds.push_back(Timed([&] { added = app.GetProject()->AddSceneFile(scene); }));
        if (added == nullptr)
            break;
    }
    if (added != nullptr)
        Report("add-scene", Median(adds));
    if (added == nullptr) {
        // A file past what the designer reads: the rest is measured on the same scene made in place.
        std::printf("note the scene file was not added; the scene is made in the project's world\n");
        Report("add-scene", 0.0);
        FillScene(counts, world);
    }
    AddEvents(world, counts);
    // Placement, with each quarter of the events timed apart: equal quarters show a cost per event that does not
    // grow with the events already placed. It runs again on an emptied map, as short operations are measured by
    // their median; the first run (the events and nodes then read for the first time) is reported as well.
    // In use it runs once, right after the project's file has gone through the caches: each timed pass starts
    // after twice the last-level cache has been written (at least 256 MB), so that the 1x project, which would
    // otherwise stay in the caches from one pass to the next where the 4x one does not, is measured as a person
    // meets it. (A server's last-level cache may hold hundreds of megabytes: 256 MB left part of the 1x project in
    // it.) placement-warm is the median of the same passes without that, for comparison.
    std::vector<double> placements;
    std::vector<double> warmPlacements;
    std::vector<double> quarters;
    const long lastLevel = std::max(::sysconf(_SC_LEVEL3_CACHE_SIZE), ::sysconf(_SC_LEVEL2_CACHE_SIZE));
    std::vector<char> flush(
        std::clamp(2 * static_cast<size_t>(std::max(0L, lastLevel)), size_t{256} << 20, size_t{2} << 30));
    const auto placeAll = [&](bool cold) {
        engine->Clear();
        if (cold)
            for (size_t at = 0; at < flush.size(); at += 64)
                flush[at] = static_cast<char>(flush[at] + 1);
        return Timed([&] {
            std::vector<SWevent*> events;
            for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
                events.push_back(e);
            const size_t quarter = std::max<size_t>(1, events.size() / 4);
            for (size_t first = 0; first < events.size(); first += quarter) {
                const Clock::time_point start = Clock::now();
                engine->AddEvents(std::span(events).subspan(first, std::min(quarter, events.size() - first)));
                if (quarters.size() < 4)
                    quarters.push_back(Seconds(start));
            }
        });
    };
    for (int run = 0; run < runs; ++run) {
        placements.push_back(placeAll(true));
        warmPlacements.push_back(placeAll(false));
    }
    Report("placement", Median(placements));
    Report("placement-first", placements.front());
    Report("placement-warm", Median(warmPlacements));
    std::printf("note placement by quarters of the events:");
    for (const double q : quarters)
        std::printf(" %.6f", q);
    std::printf(" s\n");
    size_t placed = 0;
    for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o))
        ++placed;
    std::printf("note map objects %zu\n", placed);

    // Saving, and its parts on the same bytes: the records made into one copy in memory, those bytes through the
    // atomic writer with its fsync, and dd conv=fsync of the file written.
    CVTND_Project& made = *app.GetProject();
    std::vector<double> saves, serialised, written, copied;
    for (int run = 0; run < runs; ++run) {
        saves.push_back(Timed([&] { made.SaveFile(project, app.GetGradientStore()); }));
        std::vector<uint8_t> bytes;
        serialised.push_back(Timed([&] { made.WriteBytes(bytes, app.GetGradientStore()); }));
        written.push_back(Timed([&] { SaveDocumentFile(folder + "/bytes.vtp", bytes); }));
        copied.push_back(CopyWithFsync(folder + "/bytes.vtp", folder + "/copy.vtp"));
    }
    std::filesystem::remove(folder + "/bytes.vtp");
    Report("save", Median(saves));
    Report("save-serialise", Median(serialised));
    Report("save-write", Median(written));
    Report("save-dd", Median(copied));

    const CVTND_PublishRequest request{folder + "/published.vto", true, 800, 600};
    std::vector<double> publishes;
    for (int run = 0; run < runs; ++run)
        publishes.push_back(Timed([&] { PublishWorld(world, request, nullptr); }));
    Report("publish", Median(publishes));
    KeepPublishedPayloads(request.path, folder + "/payloads.bin");
    {
        auto panels = std::make_unique<CVTND_Panels>(app, frame, nullptr);
        ui.pump();
        std::vector<double> refills;
        for (int run = 0; run < runs; ++run)
            refills.push_back(Timed([&] {
                app.Broadcast(CVTND_Event(EventCode::kWorkspaceClosing, CVTND_Object()));
                ui.pump();
            }));
        Report("refill", Median(refills));
        panels.reset();
    }
    const Frames running = RunningFrames(world, frames);
    Report("running-frame-median", running.median);
    Report("running-frame-worst", running.worst);
    Report("running-processor-median", running.processorMedian);
    Report("running-processor-worst", running.processorWorst);
    Report("running-drawn", static_cast<double>(running.drawn));
    Report("background", static_cast<double>(BackgroundColour(world)));
    // Last, as it takes the whole scene away again.
    if (added != nullptr)
        Report("remove-scene", Timed([&] { app.GetProject()->RemoveSubWorld(added); }));
    app.DeleteWorkspace();
    frame.destroy();
    return 0;
}

int LoadOne(const std::string& path)
{
    CVTNDesignerApp app;
    const Clock::time_point start = Clock::now();
    CVTND_Project::LoadResult loaded = CVTND_Project::LoadFile(path);
    const double seconds = Seconds(start);
    if (!loaded.ok()) {
        std::fprintf(stderr, "designer_scale: %s\n", loaded.message.c_str());
        return 3;
    }
    Report("load", seconds);
    return 0;
}

// A world file as the designer's own reader and writer take it, in this fresh process: loaded, then saved beside
// itself through the atomic writer with its fsync.
int WorldOne(const std::string& path)
{
    std::unique_ptr<SWworld> world;
    Report("world-load", Timed([&] { world = LoadWorldFile(path, SWreadcontext::IdMode::kKeep).world; }));
    if (world == nullptr)
        return 3;
    std::string error;
    DocumentStatus saved = DocumentStatus::kOk;
    Report("world-save", Timed([&] { saved = SaveWorldFile(*world, WorldFileMode::kScene, path + ".saved", &error); }));
    if (saved != DocumentStatus::kOk) {
        std::fprintf(stderr, "designer_scale: %s\n", error.c_str());
        return 3;
    }
    return 0;
}

// Where the designer's 3D view shows on the screen of `vortan --screenshot`: the designer started as that mode
// starts it, on the same settings (none: the default layout), and the largest rectangle of its view's client area
// that no other window covers reported (the event map overlaps the view in the default layout).
int ViewRectOne()
{
    CVTND_DeveloperRunUi run;
    pf::Ui& ui = run.Ui();
    int status = 3;
    {
        CVTND_Designer designer;
        CVTND_StartOptions start;
        start.developerRun = true;
        if (designer.Start(std::move(start))) {
            ui.pump();
            if (const CChildRenderView* view = designer.ActiveView()) {
                // The visible region is in the top-level window's surface; the screenshot is of the screen.
                const pf::Point screen = view->clientToScreen({0, 0});
                const pf::Point surface = ui.surfaceOrigin(*view, false);
                const pf::Region visible = ui.visibleRegion(*view, false);
                pf::Rect largest;
                for (const pf::Rect& band : visible.rects())
                    if (band.width() * band.height() > largest.width() * largest.height())
                        largest = band;
                Report("view-x", largest.l + screen.x - surface.x);
                Report("view-y", largest.t + screen.y - surface.y);
                Report("view-width", static_cast<double>(largest.width()));
                Report("view-height", static_cast<double>(largest.height()));
                status = 0;
            }
            designer.Close();
            designer.Exit();
            ui.clearQuit();
        }
    }
    return status;
}

// A project whose map holds entries objects, one per node.
int MakeLayoutProject(int entries, const std::string& path)
{
    pf::screen().reset();
    pf::Ui ui;
    CVTNDesignerApp app;
    app.NewWorkspace();
    app.MakeEditorEngine();
    CEditorEngine* engine = GetEditorEngine();
    CVTND_ExtendedWorld& world = *app.GetWorld();
    SWnode* group = nullptr;
    for (int i = 0; i < entries; ++i) {
        auto* node = new SWobjectnode;
        node->SetName(NodeName(i));
        world.AddNode(node, i % 10 == 0 ? nullptr : group);
        if (i % 10 == 0)
            group = node;
        if (MapObject* object = engine->AddNode(node)) {
            object->x = i % 1000 * 40;
            object->y = i / 1000 * 40;
        }
    }
    return app.GetProject()->SaveFile(path, app.GetGradientStore()) ? 0 : 1;
}

// The pixels of the 3D view in a screenshot of the designer (viewRect as ViewRectOne reports it) that are not the
// background; 0 when the picture or the view cannot be read.
long OpenDrawn(const std::string& png, std::map<std::string, double>& viewRect, uint32_t background)
{
    std::string error;
    const std::optional<testsupport::BgrImage> shot = testsupport::ReadPng(png, error);
    const int left = static_cast<int>(viewRect["view-x"]), top = static_cast<int>(viewRect["view-y"]);
    const int width = static_cast<int>(viewRect["view-width"]), height = static_cast<int>(viewRect["view-height"]);
    if (!shot || width <= 0 || height <= 0 || left < 0 || top < 0 || left + width > shot->width ||
        top + height > shot->height)
        return 0;
    return DrawnPixels(width, height, background, [&](int x, int y) {
        const uint8_t* bgr = &shot->pixels[(static_cast<size_t>(top + y) * shot->width + left + x) * 3];
        return uint32_t{bgr[2]} << 16 | uint32_t{bgr[1]} << 8 | bgr[0];
    });
}

struct Child {
    int status = -1;
    double seconds = 0.0;
    double peakMb = 0.0;
    std::string out;
};

// argv run as a fresh process, its standard output kept; wall time and peak resident memory from the kernel.
Child Run(const std::vector<std::string>& argv, const std::string& folder)
{
    Child child;
    const std::string outPath = folder + "/child.out";
    std::fflush(stdout); // the child must not print what this process has buffered
    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen(outPath.c_str(), "w", stdout);
        setenv("HOME", folder.c_str(), 1); // the designer's settings stay in the scratch folder
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        setenv("XDG_CACHE_HOME", folder.c_str(), 1);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    child.seconds = Seconds(start);
    child.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    child.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    if (FILE* f = std::fopen(outPath.c_str(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, f) != nullptr)
            child.out += line;
        std::fclose(f);
    }
    return child;
}

// The file's pages dropped from the page cache (it has been written back), so that the next reader of it, ours or
// cat or dd, reads it from the disk as the first opening after a start does; false where the system refuses.
bool DropCached(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool dropped = ::fdatasync(fd) == 0 && ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    ::close(fd);
    return dropped;
}

double Shell(const std::string& command)
{
    const Clock::time_point start = Clock::now();
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "designer_scale: failed: %s\n", command.c_str());
    return Seconds(start);
}

std::vector<double> ParseList(const std::string& text)
{
    std::vector<double> values;
    size_t at = 0;
    while (at < text.size()) {
        const size_t comma = text.find(',', at);
        const std::string item = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        values.push_back(item == "1/4" ? 0.25 : std::atof(item.c_str()));
        at = comma == std::string::npos ? text.size() : comma + 1;
    }
    return values;
}

std::string SizeLabel(double size)
{
    if (size == 0.25)
        return "1/4x";
    char text[32];
    std::snprintf(text, sizeof text, "%gx", size);
    return text;
}

void PrintRow(const std::string& operation, const std::vector<std::string>& labels, const std::vector<double>& values,
              const char* format)
{
    std::string line = operation + ":";
    char text[64];
    for (size_t i = 0; i < values.size(); ++i) {
        std::snprintf(text, sizeof text, format, values[i]);
        line += " " + labels[i] + "=" + text;
    }
    line += " growth=";
    for (size_t i = 1; i < values.size(); ++i) {
        std::snprintf(text, sizeof text, "%s%.2f", i > 1 ? "," : "",
                      values[i - 1] > 0 ? values[i] / values[i - 1] : 0.0);
        line += text;
    }
    std::printf("%s\n", line.c_str());
}

std::map<std::string, double> Results(const std::string& out)
{
    std::map<std::string, double> results;
    size_t at = 0;
    while ((at = out.find("result ", at)) != std::string::npos) {
        const size_t name = at + 7;
        const size_t space = out.find(' ', name);
        results[out.substr(name, space - name)] = std::atof(out.c_str() + space + 1);
        at = space;
    }
    return results;
}

std::string SelfPath()
{
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

double FileMb(const std::string& path)
{
    std::error_code error;
    const auto bytes = std::filesystem::file_size(path, error);
    return error ? 0.0 : static_cast<double>(bytes) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<double> sizes = {0.25, 1, 4, 16};
    std::vector<double> layouts;
    std::string folder =
        (std::filesystem::temp_directory_path() / ("designer_scale_" + std::to_string(getpid()))).string();
    std::string vortan =
        (std::filesystem::path(SelfPath()).parent_path().parent_path() / "apps" / "vortan" / "vortan").string();
    int frames = 93;
    int runs = 5;
    std::optional<double> one;
    std::optional<int> layoutOne;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool value = i + 1 < argc;
        if (arg == "--sizes" && value)
            sizes = ParseList(argv[++i]);
        else if (arg == "--layout" && value)
            layouts = ParseList(argv[++i]);
        else if (arg == "--folder" && value)
            folder = argv[++i];
        else if (arg == "--vortan" && value)
            vortan = argv[++i];
        else if (arg == "--frames" && value)
            frames = std::max(4, std::atoi(argv[++i]));
        else if (arg == "--runs" && value)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--one" && value)
            one = std::atof(argv[++i]);
        else if (arg == "--layout-one" && value)
            layoutOne = std::atoi(argv[++i]);
        else if (arg == "--load-one" && value)
            return LoadOne(argv[++i]);
        else if (arg == "--world-one" && value)
            return WorldOne(argv[++i]);
        else if (arg == "--view-rect-one")
            return ViewRectOne();
        else {
            std::fprintf(stderr, "usage: designer_scale [--sizes 0.25,1,4,16] [--layout N,...] [--folder DIR] "
                                 "[--vortan PATH] [--frames N] [--runs N]\n");
            return 2;
        }
    }
    std::filesystem::create_directories(folder);
    if (one)
        return RunSize(*one, folder, frames, runs);
    if (layoutOne)
        return MakeLayoutProject(*layoutOne, folder + "/layout.vtp");

    const std::string self = SelfPath();
    const std::vector<std::string> operations = {"open",
                                                 "load",
                                                 "add-scene",
                                                 "placement",
                                                 "save",
                                                 "publish",
                                                 "refill",
                                                 "running-frame-median",
                                                 "running-frame-worst"};
    // What the rows above are made of: the first placement, and saving's parts on the same bytes; and the scene file
    // taken out of the project again.
    const std::vector<std::string> parts = {"placement-first", "placement-warm", "save-serialise",
                                            "save-write",      "save-dd",        "remove-scene"};
    std::vector<std::string> labels;
    std::map<std::string, std::vector<double>> table;
    std::vector<std::string> files;
    // Every size's views must show the scene, or the frames timed drew nothing worth timing.
    std::vector<std::string> blank;
    std::map<std::string, double> viewRect;
    if (layouts.empty()) {
        const std::string sub = folder + "/view";
        std::filesystem::create_directories(sub);
        viewRect = Results(Run({self, "--view-rect-one"}, sub).out);
        std::filesystem::remove_all(sub);
    }
    for (const double size : layouts.empty() ? sizes : std::vector<double>{}) {
        const std::string sub = folder + "/" + SizeLabel(size);
        std::filesystem::create_directories(sub);
        labels.push_back(SizeLabel(size));
        char sizeText[32];
        std::snprintf(sizeText, sizeof sizeText, "%g", size);
        const Child made = Run({self, "--one", sizeText, "--folder", sub, "--frames", std::to_string(frames), "--runs",
                                std::to_string(runs)},
                               sub);
        std::map<std::string, double> results = Results(made.out);
        const std::string project = sub + "/project.vtp";
        // The fresh-process operations by their median too; a failed run counts as 0, which the row shows.
        Child loaded, opened;
        std::vector<double> loads, opens;
        for (int run = 0; run < runs; ++run) {
            loaded = Run({self, "--load-one", project}, sub);
            loads.push_back(loaded.status == 0 ? Results(loaded.out)["load"] : 0.0);
            const Child open = Run({vortan, "--screenshot", sub + "/screen.png", "--frames", "1", project}, sub);
            opens.push_back(open.status == 0 ? open.seconds : 0.0);
            if (run == 0 || open.status != 0 || open.peakMb > opened.peakMb)
                opened = open;
        }
        results["load"] = Median(loads);
        results["open"] = Median(opens);
        const long runningDrawn = std::lround(results["running-drawn"]);
        const long openDrawn = OpenDrawn(sub + "/screen.png", viewRect, static_cast<uint32_t>(results["background"]));
        const long openArea = std::lround(viewRect["view-width"] * viewRect["view-height"]);
        char drawnLine[300];
        std::snprintf(drawnLine, sizeof drawnLine,
                      "note view drawn %s: running frames %ld of 800 x 600 pixels (%.1f %%), open %ld of %.0f x %.0f "
                      "(%.1f %%)",
                      SizeLabel(size).c_str(), runningDrawn, 100.0 * static_cast<double>(runningDrawn) / 480000.0,
                      openDrawn, viewRect["view-width"], viewRect["view-height"],
                      openArea > 0 ? 100.0 * static_cast<double>(openDrawn) / static_cast<double>(openArea) : 0.0);
        files.push_back(drawnLine);
        char processorLine[300];
        std::snprintf(processorLine, sizeof processorLine,
                      "note running frames %s: wall median %.4f s, worst %.4f s (%.2fx); processor time of all lanes "
                      "median %.4f s, worst %.4f s (%.2fx)",
                      SizeLabel(size).c_str(), results["running-frame-median"], results["running-frame-worst"],
                      results["running-frame-median"] > 0
                          ? results["running-frame-worst"] / results["running-frame-median"]
                          : 0.0,
                      results["running-processor-median"], results["running-processor-worst"],
                      results["running-processor-median"] > 0
                          ? results["running-processor-worst"] / results["running-processor-median"]
                          : 0.0);
        files.push_back(processorLine);
        // A hundredth of the view: the smallest size's spheres cover several times that.
        if (runningDrawn * 100 < 480000 || openArea == 0 || openDrawn * 100 < openArea)
            blank.push_back(SizeLabel(size));
        table["peak-memory"].push_back(opened.peakMb);
        for (const std::string& op : operations)
            table[op].push_back(results[op]);
        for (const std::string& part : parts)
            table[part].push_back(results[part]);
        const std::string payloads = sub + "/payloads.bin";
        const double pigz = Shell("pigz -6 -p 8 -c '" + payloads + "' > '" + sub + "/payloads.gz'");
        char compare[400];
        std::snprintf(compare, sizeof compare,
                      "publish %s: %.3f s for a %.1f MB project (%.1f MB/s), %.1f MB of records, %.1f MB file; "
                      "pigz -6 -p 8 (the level ours uses) on the same records %.3f s (%.1f MB/s), %.1f MB",
                      SizeLabel(size).c_str(), results["publish"], FileMb(project),
                      results["publish"] > 0 ? FileMb(project) / results["publish"] : 0.0, FileMb(payloads),
                      FileMb(sub + "/published.vto"), pigz, pigz > 0 ? FileMb(payloads) / pigz : 0.0,
                      FileMb(sub + "/payloads.gz"));
        files.push_back(compare);
        const auto cat = [&](const std::string& path) {
            DropCached(path);
            return Shell("cat '" + path + "' > /dev/null");
        };
        const auto dd = [&](const std::string& path) {
            DropCached(path);
            return CopyWithFsync(path, sub + "/copy");
        };
        // The scene file the project was made from: our reader and writer in a fresh process, cat and dd, each
        // reading the file from the disk.
        const std::string scene = sub + "/scene.vtn";
        DropCached(scene);
        const Child world = Run({self, "--world-one", scene}, sub);
        std::filesystem::remove(scene + ".saved");
        std::map<std::string, double> worldResults = Results(world.out);
        const double worldCat = cat(scene), worldDd = dd(scene);
        char worldLine[400];
        std::snprintf(worldLine, sizeof worldLine,
                      "world file %s: %.1f MB; load %.3f s (%.1f MB/s), save %.3f s (%.1f MB/s, with fsync), in a "
                      "fresh process, peak %.0f MB; cat %.3f s (%.1f MB/s), dd conv=fsync %.3f s (%.1f MB/s)%s",
                      SizeLabel(size).c_str(), FileMb(scene), worldResults["world-load"],
                      worldResults["world-load"] > 0 ? FileMb(scene) / worldResults["world-load"] : 0.0,
                      worldResults["world-save"],
                      worldResults["world-save"] > 0 ? FileMb(scene) / worldResults["world-save"] : 0.0, world.peakMb,
                      worldCat, worldCat > 0 ? FileMb(scene) / worldCat : 0.0, worldDd,
                      worldDd > 0 ? FileMb(scene) / worldDd : 0.0, world.status == 0 ? "" : " (the load failed)");
        files.push_back(worldLine);
        if (const size_t at = made.out.find("note placement "); at != std::string::npos)
            files.push_back(SizeLabel(size) + " " + made.out.substr(at + 5, made.out.find('\n', at) - at - 5));
        // The project as the rows above have it: read from the page cache, as a second opening does.
        const double projectCat = Shell("cat '" + project + "' > /dev/null");
        const double projectDd = CopyWithFsync(project, sub + "/copy");
        const size_t mapped = made.out.find("note map objects ");
        char line[400];
        std::snprintf(line, sizeof line,
                      "file %s: %.1f MB, %ld map objects; load %.3f s (fresh process, peak %.0f MB), save %.3f s (with "
                      "fsync), cat %.3f s, dd conv=fsync %.3f s; open exit %d, peak %.0f MB (%.1fx the file)",
                      SizeLabel(size).c_str(), FileMb(project),
                      mapped == std::string::npos ? 0L : std::atol(made.out.c_str() + mapped + 17), results["load"],
                      loaded.peakMb, results["save"], projectCat, projectDd, opened.status, opened.peakMb,
                      FileMb(project) > 0 ? opened.peakMb / FileMb(project) : 0.0);
        files.push_back(line);
        if (made.status != 0 || loaded.status != 0)
            files.push_back("  (size " + SizeLabel(size) + ": a step failed: " + std::to_string(made.status) + "/" +
                            std::to_string(loaded.status) + ")");
        std::filesystem::remove_all(sub);
    }
    for (const std::string& op : operations)
        if (!labels.empty())
            PrintRow(op, labels, table[op], "%.4f");
    if (!labels.empty())
        PrintRow("peak-memory", labels, table["peak-memory"], "%.0f");
    for (const std::string& part : parts)
        if (!labels.empty())
            PrintRow(part, labels, table[part], "%.4f");
    for (const std::string& line : files)
        std::printf("%s\n", line.c_str());

    std::vector<std::string> layoutLabels;
    std::vector<double> layoutLoad, layoutOpen;
    for (const double entries : layouts) {
        const std::string sub = folder + "/layout" + std::to_string(static_cast<int>(entries));
        std::filesystem::create_directories(sub);
        Run({self, "--layout-one", std::to_string(static_cast<int>(entries)), "--folder", sub}, sub);
        const std::string project = sub + "/layout.vtp";
        layoutLabels.push_back(std::to_string(static_cast<int>(entries)));
        layoutLoad.push_back(Results(Run({self, "--load-one", project}, sub).out)["load"]);
        const Child opened = Run({vortan, "--screenshot", sub + "/screen.png", "--frames", "1", project}, sub);
        layoutOpen.push_back(opened.status == 0 ? opened.seconds : 0.0);
        std::printf("note layout %d entries: %.1f MB\n", static_cast<int>(entries), FileMb(project));
        std::filesystem::remove_all(sub);
    }
    if (!layoutLabels.empty()) {
        PrintRow("layout-load", layoutLabels, layoutLoad, "%.3f");
        PrintRow("layout-open", layoutLabels, layoutOpen, "%.3f");
    }
    std::filesystem::remove_all(folder);
    if (!blank.empty()) {
        std::string sizesText;
        for (const std::string& label : blank)
            sizesText += (sizesText.empty() ? "" : ", ") + label;
        std::fprintf(stderr,
                     "designer_scale: FAILED: the 3D view drew (almost) nothing of the scene, or the designer's view "
                     "was not found, at %s (see the \"note view drawn\" lines): the times above may be of frames "
                     "that show nothing\n",
                     sizesText.c_str());
        return 1;
    }
    return 0;
}
