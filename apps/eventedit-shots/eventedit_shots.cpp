// vortan-eventedit-shots [--live [--xvfb] [--exit-after MS]] OUTDIR [SCENE...]
//
// Drags on the event map, photographed step by step for a person to look at. A main frame with a palette and a
// map canvas runs on the headless screen, set up as a window test is (virtual clock, silent audio, pinned
// processor) but with the real fonts; each scene drives the mouse as a user would and writes PNGs of the composed
// screen, exclusive-or outlines included. OUTDIR/trace.txt lists every receptor call and every broadcast.
//
// Scenes: drag-move (three selected map objects moved across the map), drag-condition (an action kind held over a
// condition's left half, then its right half, then dropped), and the time-line window's timeline, timeline-zoom,
// timeline-drag and timeline-scrub (testsupport/designer/timeline_shots.h; the scrub dumps what the preview ran into
// the trace), and the editors over the map: event-editor-new, event-editor, timer-dialog, expression-editor,
// condition-editor, queue-editor, stereo-editor, stop-controller-editor, text-flag-editors, background-pages,
// play-sound-editor and load-world-editor
// (testsupport/designer/editor_shots.h). Without scene names all run.
//
// --live runs the same scenes in real windows; --xvfb starts a private X server first, grabs each scene's final
// picture back as live-<scene>.png and prints "live equals headless: yes (N of M pixels differ)". On a reviewer's
// own display, --exit-after keeps each time-line window and editor up that long for a person to use, and the last
// picture after.
//
// Exit 0 done, 1 a scene failed (the overlay not clear after a drag counts), 2 usage, 3 OUTDIR cannot be written,
// 77 no display for --live.
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/notification.h"
#include "designer/eventedit/control_receptor.h"
#include "designer/eventedit/editor_engine.h"
#include "designer/eventedit/map_object.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "platform/base/atomic_file.h"
#include "platform/display/screen.h"
#include "platform/gfx/png_file.h"
#include "platform/live/sdl_audio.h"
#include "platform/live/sdl_backend.h"
#include "platform/media/audio_out.h"
#include "platform/media/null_audio.h"
#include "platform/sys/cpu_probe.h"
#include "platform/sys/scripted_cpu.h"
#include "platform/testing/image_check.h"
#include "platform/testing/user_sim.h"
#include "platform/testing/xvfb_server.h"
#include "platform/time/clock.h"
#include "platform/time/virtual_clock.h"
#include "platform/ui/core/message_loop.h"
#include "platform/ui/core/ui.h"
#include "testsupport/designer/broadcast_recorder.h"
#include "testsupport/designer/drag_frame.h"
#include "testsupport/designer/editor_shots.h"
#include "testsupport/designer/receptors_shots.h"
#include "testsupport/designer/sample_world.h"
#include "testsupport/designer/test_map_canvas.h"
#include "testsupport/designer/test_palette.h"
#include "testsupport/designer/timeline_shots.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitRefused = 3;
constexpr int kExitSkip = 77;
const char* const kScenes[] = {"drag-move",         "drag-condition",         "timeline",          "timeline-zoom",
                               "timeline-drag",     "timeline-scrub",         "event-editor-new",  "event-editor",
                               "timer-dialog",      "expression-editor",      "condition-editor",  "queue-editor",
                               "stereo-editor",     "stop-controller-editor", "text-flag-editors", "background-pages",
                               "play-sound-editor", "load-world-editor"};

struct LiveDisplay {
    pf::SdlBackend* backend = nullptr;
    pf::XvfbServer* server = nullptr;
};
LiveDisplay g_live;
int32_t g_holdMs = 0; // a reviewer's own display: how long each time-line window stays up to be used

// The shared state of a run: the trace, the pictures written, and whether every write succeeded.
struct Run {
    std::string dir;
    std::vector<std::string> trace;
    std::string failedWrite; // the first path that could not be written, with its reason
    bool WritePicture(const pf::UserSim& sim, const std::string& name)
    {
        const std::string path = dir + "/" + name + ".png";
        if (!sim.screenshot(path) && failedWrite.empty())
            failedWrite = path + ": the picture was not written";
        return failedWrite.empty();
    }
};

std::string Describe(const Droppable* payload)
{
    if (payload == nullptr)
        return "nothing";
    if (const MapObject* object = const_cast<Droppable*>(payload)->AsMapObject())
        return "map object '" + designertest::TestMapCanvas::LabelOf(*object) + "'";
    return "palette object of kind " + std::to_string(payload->GetContentKind());
}

std::string Describe(DropReceptor* receptor)
{
    if (MapObject* object = receptor->AsMapObject())
        return "map object '" + designertest::TestMapCanvas::LabelOf(*object) + "'";
    return dynamic_cast<ControlReceptor*>(receptor) != nullptr ? "the empty map" : "a control";
}

void TraceReceptorCalls(CEditorEngine& engine, Run& run)
{
    engine.receptorObserver = [&run](const ReceptorCall& call) {
        static const char* const kWhat[] = {"enter", "hover", "leave", "drop"};
        std::string line = std::string(kWhat[call.what]) + " " + Describe(call.receptor) + " in '" +
                           (call.window != nullptr ? call.window->text() : std::string("?")) + "'";
        if (call.what != ReceptorCall::kLeave)
            line += " at " + std::to_string(call.at.x) + "," + std::to_string(call.at.y);
        line += " with " + Describe(call.payload);
        if (call.more)
            line += " (more follow)";
        run.trace.push_back(line);
    };
}

// The frame of a scene: palette on the left, the map on the right, a recorder of the broadcasts.
struct Stage {
    explicit Stage(CVTNDesignerApp& app)
        : sample(app), frame(pf::Rect::fromXywh(40, 40, 820, 520)), palette(frame, pf::Rect::fromXywh(0, 0, 160, 520)),
          canvas(frame, pf::Rect::fromXywh(160, 0, 660, 520))
    {
    }
    designertest::SampleWorld sample;
    designertest::BroadcastRecorder recorder;
    designertest::DragFrame frame;
    designertest::TestPalette palette;
    designertest::TestMapCanvas canvas;
};

void WaitUntilShown()
{
    if (g_live.backend == nullptr)
        return;
    const uint64_t before = g_live.backend->presentedFrameCount();
    for (int i = 0; i < 200 && g_live.backend->presentedFrameCount() == before; ++i)
        pf::runLoopStep(pf::ui());
    for (int i = 0; i < 10; ++i)
        pf::runLoopStep(pf::ui());
}

// The frame's client area as the X server shows it, written as live-<scene>.png and compared with the layer's.
bool CompareWithServer(pf::Window& w, Run& run, const std::string& scene)
{
    WaitUntilShown();
    const pf::Point origin = w.clientToScreen({0, 0});
    const pf::Rect area = w.clientRect().offsetBy(origin.x, origin.y);
    const std::unique_ptr<pf::Surface32> live = g_live.server->grab(area);
    std::string error;
    const std::string path = run.dir + "/live-" + scene + ".png";
    if (live->isEmpty() || !pf::writePngFile(path, *live, error)) {
        run.failedWrite = path + ": " + (error.empty() ? std::string("nothing grabbed") : error);
        return false;
    }
    const std::unique_ptr<pf::Surface32> composed = pf::captureScreen(area);
    int64_t differ = 0;
    for (int32_t y = 0; y < live->height(); ++y)
        for (int32_t x = 0; x < live->width(); ++x)
            differ += (composed->pixel(x, y) & 0xFFFFFFu) != (live->pixel(x, y) & 0xFFFFFFu) ? 1 : 0;
    std::printf("live equals headless: %s (%lld of %d pixels differ)\n", differ == 0 ? "yes" : "no",
                static_cast<long long>(differ), live->width() * live->height());
    return differ == 0;
}

bool OverlayClear(Run& run, const char* when)
{
    const bool clear = pf::screen().isOverlayClear();
    if (!clear)
        run.trace.push_back(std::string("overlay NOT clear ") + when);
    return clear;
}

// Six map objects, three of them selected, moved across the map one mouse step at a time.
bool SceneDragMove(Stage& stage, CEditorEngine& engine, Run& run, pf::UserSim& sim)
{
    designertest::SampleWorld& s = stage.sample;
    MapObject* objects[] = {engine.AddEvent(s.key),   engine.AddNode(s.object),           engine.AddNode(s.camera),
                            engine.AddSound(s.sound), engine.AddExpression(s.expression), engine.AddKind1000(s.cursor)};
    const pf::Point at[] = {{60, 60}, {200, 70}, {120, 180}, {300, 200}, {80, 320}, {260, 340}};
    for (size_t i = 0; i < std::size(objects); ++i) {
        objects[i]->x = at[i].x;
        objects[i]->y = at[i].y;
    }
    for (MapObject* o : {objects[1], objects[2], objects[3]})
        engine.Selection().Add(o);
    stage.canvas.RedrawMap();
    sim.pump();
    bool ok = run.WritePicture(sim, "drag-move-0-start");
    const pf::Point from = stage.canvas.CentreOf(*objects[2]);
    sim.mouseDown(from);
    ok = run.WritePicture(sim, "drag-move-1-pressed") && ok;
    for (int step = 1; step <= 4; ++step) {
        sim.mouseMove({from.x + 55 * step, from.y + 18 * step});
        ok = run.WritePicture(sim, "drag-move-" + std::to_string(step + 1) + "-step") && ok;
    }
    sim.mouseUp({from.x + 220, from.y + 72});
    sim.pump();
    ok = run.WritePicture(sim, "drag-move-6-dropped") && ok;
    ok = OverlayClear(run, "after drag-move") && ok;
    const bool moved = objects[2]->x == at[2].x + 220 && objects[2]->y == at[2].y + 72;
    if (!moved)
        run.trace.push_back("the moved objects did not land at their outlines");
    return ok && moved;
}

// An action kind from the palette over a condition: its left half, its right half, then dropped there.
bool SceneDragCondition(Stage& stage, CEditorEngine& engine, Run& run, pf::UserSim& sim)
{
    designertest::SampleWorld& s = stage.sample;
    MapObject* event = engine.AddEvent(s.timer);
    event->x = 60;
    event->y = 60;
    MapObject* condition = engine.FindActionObject(s.condition);
    condition->width = condition->height = 48; // large enough to see both halves
    condition->x = 260;
    condition->y = 200;
    // The event's other actions in a row below it, apart enough for their labels.
    int32_t column = 0;
    for (MapObject* o = engine.FirstMapObject(); o != nullptr; o = engine.NextMapObject(o)) {
        if (!o->IsPlaced()) {
            o->x = 60 + 90 * column++;
            o->y = 130;
        }
    }
    stage.canvas.RedrawMap();
    stage.palette.items = {designertest::PaletteItem{EdKind::kActionKind, s.Kind(2), 0, "play animation"}};
    stage.palette.invalidate();
    sim.pump();
    bool ok = run.WritePicture(sim, "drag-condition-0-start");
    sim.mouseDown(stage.palette.clientToScreen({20, 14}));
    const pf::Point left = stage.canvas.MapToScreen({condition->x + 8, condition->y + 24});
    const pf::Point right = stage.canvas.MapToScreen({condition->x + 40, condition->y + 24});
    sim.mouseMove(left);
    ok = run.WritePicture(sim, "drag-condition-1-left-half") && ok;
    sim.mouseMove(right);
    ok = run.WritePicture(sim, "drag-condition-2-right-half") && ok;
    sim.mouseUp(right);
    sim.pump();
    ok = run.WritePicture(sim, "drag-condition-3-dropped") && ok;
    ok = OverlayClear(run, "after drag-condition") && ok;
    SWactionnode* made = nullptr;
    for (SWactionnode* a = s.timer->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
        made = a;
    const bool onTrue = made != nullptr && made->GetThenLink() == s.condition->GetActionId();
    if (!onTrue)
        run.trace.push_back("the new action is not on the condition's true branch");
    return ok && onTrue;
}

bool RunTimeline(const std::string& scene, Run& run)
{
    CVTNDesignerApp app;
    if (!app.MakeEditorEngine())
        return false;
    run.trace.push_back("scene " + scene);
    pf::UserSim sim;
    designertest::TimelineShot shot;
    shot.picture = [&](const std::string& name) { return run.WritePicture(sim, name); };
    shot.compareLive = [&](pf::Window& window) {
        return g_live.server == nullptr || CompareWithServer(window, run, scene);
    };
    shot.trace = &run.trace;
    if (g_holdMs > 0)
        shot.hold = [] {
            const uint32_t until = pf::clock().nowMs() + static_cast<uint32_t>(g_holdMs);
            while (pf::clock().nowMs() < until && !pf::ui().quitCode())
                pf::runLoopStep(pf::ui());
        };
    const bool ok = designertest::RunTimelineScene(scene, app, sim, shot);
    run.trace.push_back(std::string("scene ") + scene + (ok ? " done" : " FAILED"));
    return ok;
}

bool RunEditors(const std::string& scene, Run& run)
{
    CVTNDesignerApp app;
    if (!app.MakeEditorEngine())
        return false;
    run.trace.push_back("scene " + scene);
    pf::UserSim sim;
    designertest::EditorShot shot;
    shot.picture = [&](const std::string& name) { return run.WritePicture(sim, name); };
    shot.compareLive = [&](pf::Window& window, const std::string& name) {
        return g_live.server == nullptr || CompareWithServer(window, run, name);
    };
    shot.waitShown = [] { WaitUntilShown(); };
    shot.trace = &run.trace;
    if (g_holdMs > 0)
        shot.hold = [] {
            const uint32_t until = pf::clock().nowMs() + static_cast<uint32_t>(g_holdMs);
            while (pf::clock().nowMs() < until && !pf::ui().quitCode())
                pf::runLoopStep(pf::ui());
        };
    const bool ok = designertest::IsReceptorsScene(scene) ? designertest::RunReceptorsScene(scene, app, sim, shot)
                                                          : designertest::RunEditorScene(scene, app, sim, shot);
    run.trace.push_back(std::string("scene ") + scene + (ok ? " done" : " FAILED"));
    return ok;
}

bool RunScene(const std::string& scene, Run& run)
{
    if (scene.rfind("timeline", 0) == 0)
        return RunTimeline(scene, run);
    if (designertest::IsEditorScene(scene) || designertest::IsReceptorsScene(scene))
        return RunEditors(scene, run);
    CVTNDesignerApp app;
    if (!app.MakeEditorEngine())
        return false;
    CEditorEngine* engine = GetEditorEngine();
    Stage stage(app);
    TraceReceptorCalls(*engine, run);
    stage.recorder.Clear();
    run.trace.push_back("scene " + scene);
    pf::UserSim sim;
    sim.pump();
    bool ok =
        scene == "drag-move" ? SceneDragMove(stage, *engine, run, sim) : SceneDragCondition(stage, *engine, run, sim);
    for (const designertest::RecordedEvent& event : stage.recorder.Events())
        run.trace.push_back(stage.recorder.Describe(event));
    if (g_live.server != nullptr)
        ok = CompareWithServer(stage.frame, run, scene) && ok;
    engine->receptorObserver = nullptr;
    run.trace.push_back(std::string("scene ") + scene + (ok ? " done" : " FAILED"));
    return ok;
}

// Every scene asked for, then the trace; the exit code of the run.
int RunScenes(Run& run, const std::vector<std::string>& scenes)
{
    bool ok = true;
    for (const std::string& scene : scenes)
        ok = RunScene(scene, run) && ok;
    std::string text;
    for (const std::string& line : run.trace)
        text += line + "\n";
    if (run.failedWrite.empty() && !pf::writeFileAtomically(run.dir + "/trace.txt", text))
        run.failedWrite = run.dir + "/trace.txt: the file was not written";
    if (!run.failedWrite.empty()) {
        std::fprintf(stderr, "vortan-eventedit-shots: cannot write %s\n", run.failedWrite.c_str());
        return kExitRefused;
    }
    return ok ? 0 : kExitFailed;
}

// The headless run, set up as a window test is, but with the real fonts.
int RunHeadless(Run& run, const std::vector<std::string>& scenes)
{
    pf::VirtualClock clock(1000000);
    pf::NullAudio audio;
    pf::ScriptedCpu cpu;
    pf::setClock(&clock);
    pf::setAudioOut(&audio);
    pf::setCpuProbe(&cpu);
    int result = kExitFailed;
    {
        pf::Ui ui;
        result = RunScenes(run, scenes);
    }
    pf::setCpuProbe(nullptr);
    pf::setAudioOut(nullptr);
    pf::setClock(nullptr);
    return result;
}

int RunLive(Run& run, const std::vector<std::string>& scenes, bool ownServer, int32_t exitAfterMs)
{
    std::unique_ptr<pf::XvfbServer> server;
    if (ownServer) {
        server = std::make_unique<pf::XvfbServer>();
        std::string error;
        if (!server->start(error)) {
            std::printf("no display: %s\n", error.c_str());
            return kExitSkip;
        }
    }
    pf::DisplayChoice choice = pf::openDisplayBackend();
    if (!choice.backend->isLive()) {
        std::printf("no display: %s\n", choice.reason.c_str());
        return kExitSkip;
    }
    pf::SdlAudio audio;
    if (audio.isOpen())
        pf::setAudioOut(&audio);
    int result = kExitFailed;
    {
        pf::Ui ui;
        ui.setBackend(choice.backend.get());
        g_live = {dynamic_cast<pf::SdlBackend*>(choice.backend.get()), server.get()};
        g_holdMs = server == nullptr ? exitAfterMs : 0;
        result = RunScenes(run, scenes);
        if (exitAfterMs > 0 && server == nullptr) {
            // A reviewer's own display: the last picture stays up for the time asked.
            const uint32_t until = pf::clock().nowMs() + static_cast<uint32_t>(exitAfterMs);
            while (pf::clock().nowMs() < until)
                pf::runLoopStep(ui);
        }
        g_live = {};
        ui.setBackend(nullptr);
    }
    pf::setAudioOut(nullptr);
    return result;
}

// The event map's scenes (testsupport/designer/receptors_shots.h: event-map, event-map-elbows, rubber-band,
// two-maps, rename, map-objects, pickers, images) run when named; a run without names leaves them out.
bool IsScene(const std::string& name)
{
    for (const char* scene : kScenes)
        if (name == scene)
            return true;
    return designertest::IsReceptorsScene(name);
}

int Usage(const char* why)
{
    std::fprintf(
        stderr,
        "vortan-eventedit-shots: %s; usage: vortan-eventedit-shots [--live [--xvfb] [--exit-after MS]] "
        "OUTDIR [SCENE...]; scenes: drag-move drag-condition timeline timeline-zoom timeline-drag "
        "timeline-scrub event-editor-new event-editor timer-dialog expression-editor condition-editor "
        "queue-editor stereo-editor stop-controller-editor text-flag-editors background-pages play-sound-editor "
        "load-world-editor\n",
        why);
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv)
{
    bool live = false;
    bool ownServer = false;
    int32_t exitAfterMs = 0;
    Run run;
    std::vector<std::string> scenes;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--live") {
            live = true;
        } else if (arg == "--xvfb") {
            ownServer = true;
        } else if (arg == "--exit-after" && i + 1 < argc) {
            const std::string_view ms = argv[++i];
            const auto [end, failed] = std::from_chars(ms.data(), ms.data() + ms.size(), exitAfterMs);
            if (failed != std::errc() || end != ms.data() + ms.size() || exitAfterMs < 1)
                return Usage("--exit-after takes a positive number of milliseconds");
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage(("unknown option " + arg).c_str());
        } else if (run.dir.empty()) {
            run.dir = arg;
        } else if (IsScene(arg)) {
            scenes.push_back(arg);
        } else {
            return Usage(("unknown scene " + arg).c_str());
        }
    }
    if (run.dir.empty())
        return Usage("no OUTDIR");
    if ((ownServer || exitAfterMs > 0) && !live)
        return Usage("--xvfb and --exit-after go with --live");
    if (scenes.empty())
        scenes.assign(std::begin(kScenes), std::end(kScenes));
    std::error_code error;
    std::filesystem::create_directories(run.dir, error);
    if (error || !std::filesystem::is_directory(run.dir)) {
        std::fprintf(stderr, "vortan-eventedit-shots: cannot write %s: %s\n", run.dir.c_str(),
                     error ? error.message().c_str() : "not a folder");
        return kExitRefused;
    }
    pf::screen().reset();
    const int result = live ? RunLive(run, scenes, ownServer, exitAfterMs) : RunHeadless(run, scenes);
    if (result == 0)
        std::printf("written\n");
    return result;
}
