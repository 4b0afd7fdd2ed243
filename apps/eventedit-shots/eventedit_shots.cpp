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
// (testsupport/designer/editor_shots.h), and the event map window's: event-map, event-map-elbows, rubber-band,
// two-maps and rename (testsupport/designer/receptors_shots.h) and walkthrough, a person's first steps on the map
// with a picture after each (testsupport/designer/walkthrough_shots.h). Without scene names all run.
//
// --live runs the same scenes in real windows; --xvfb starts a private X server first, grabs each scene's final
// picture back as live-<scene>.png and prints "live equals headless: yes (N of M pixels differ)". On a reviewer's
// own display, --exit-after keeps each time-line window and editor up that long for a person to use, and the last
// picture after.
//
// Exit 0 done, 1 a scene failed (the overlay not clear after a drag counts), 2 usage, 3 OUTDIR cannot be written,
// 77 no display for --live.
#include <string>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/notification.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/map_object.h"
#include "designer/eventedit/control_receptor.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "platform/display/screen.h"
#include "platform/testing/user_sim.h"
#include "testsupport/designer/broadcast_recorder.h"
#include "testsupport/designer/drag_frame.h"
#include "testsupport/designer/editor_shots.h"
#include "testsupport/designer/receptors_shots.h"
#include "testsupport/designer/sample_world.h"
#include "testsupport/designer/shots_tool.h"
#include "testsupport/designer/test_map_canvas.h"
#include "testsupport/designer/test_palette.h"
#include "testsupport/designer/timeline_shots.h"
#include "testsupport/designer/walkthrough_shots.h"

namespace {

const char* const kScenes[] = {"drag-move",         "drag-condition",         "timeline",          "timeline-zoom",
                               "timeline-drag",     "timeline-scrub",         "event-editor-new",  "event-editor",
                               "timer-dialog",      "expression-editor",      "condition-editor",  "queue-editor",
                               "stereo-editor",     "stop-controller-editor", "text-flag-editors", "background-pages",
                               "play-sound-editor", "load-world-editor"};
// The event map window's own scenes, run after those.
const char* const kEventMapScenes[] = {"event-map", "event-map-elbows", "rubber-band",
                                       "two-maps",  "rename",           designertest::kWalkthroughScene};

using designertest::ShotsRun;

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

void TraceReceptorCalls(CEditorEngine& engine, ShotsRun& run)
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

bool OverlayClear(ShotsRun& run, const char* when)
{
    const bool clear = pf::screen().isOverlayClear();
    if (!clear)
        run.trace.push_back(std::string("overlay NOT clear ") + when);
    return clear;
}

// Six map objects, three of them selected, moved across the map one mouse step at a time.
bool SceneDragMove(Stage& stage, CEditorEngine& engine, ShotsRun& run, pf::UserSim& sim)
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
bool SceneDragCondition(Stage& stage, CEditorEngine& engine, ShotsRun& run, pf::UserSim& sim)
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

// A scene of testsupport/designer: its shot writes through the run (the pictures, the trace, a reviewer's time);
// drive adds the live comparison and runs it.
template <typename Shot, typename Drive> bool RunShot(const std::string& scene, ShotsRun& run, const Drive& drive)
{
    CVTNDesignerApp app;
    if (!app.MakeEditorEngine())
        return false;
    run.trace.push_back("scene " + scene);
    pf::UserSim sim;
    Shot shot;
    shot.picture = [&](const std::string& name) { return run.WritePicture(sim, name); };
    shot.trace = &run.trace;
    if (run.holdMs > 0)
        shot.hold = [&run] { run.Hold(true); };
    const bool ok = drive(app, sim, shot);
    run.trace.push_back(std::string("scene ") + scene + (ok ? " done" : " FAILED"));
    return ok;
}

bool RunScene(const std::string& scene, ShotsRun& run)
{
    if (scene.rfind("timeline", 0) == 0)
        return RunShot<designertest::TimelineShot>(
            scene, run, [&](CVTNDesignerApp& app, pf::UserSim& sim, designertest::TimelineShot& shot) {
                shot.compareLive = [&](pf::Window& window) {
                    return run.server == nullptr || run.CompareWithServer({&window}, scene);
                };
                return designertest::RunTimelineScene(scene, app, sim, shot);
            });
    if (designertest::IsEditorScene(scene) || designertest::IsReceptorsScene(scene) ||
        scene == designertest::kWalkthroughScene)
        return RunShot<designertest::EditorShot>(
            scene, run, [&](CVTNDesignerApp& app, pf::UserSim& sim, designertest::EditorShot& shot) {
                shot.compareLive = [&](pf::Window& window, const std::string& name) {
                    return run.server == nullptr || run.CompareWithServer({&window}, name);
                };
                shot.waitShown = [&run] { run.WaitUntilShown(); };
                if (scene == designertest::kWalkthroughScene)
                    return designertest::RunWalkthroughScene(app, sim, shot);
                return designertest::IsReceptorsScene(scene) ? designertest::RunReceptorsScene(scene, app, sim, shot)
                                                             : designertest::RunEditorScene(scene, app, sim, shot);
            });
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
    if (run.server != nullptr)
        ok = run.CompareWithServer({&stage.frame}, scene) && ok;
    engine->receptorObserver = nullptr;
    run.trace.push_back(std::string("scene ") + scene + (ok ? " done" : " FAILED"));
    return ok;
}

// Every scene asked for, then the trace; the exit code of the run.
int RunScenes(ShotsRun& run, const std::vector<std::string>& scenes)
{
    bool ok = true;
    for (const std::string& scene : scenes)
        ok = RunScene(scene, run) && ok;
    const int result = run.Finish(ok);
    run.Hold(); // a reviewer's own display: the last picture stays up for the time asked
    return result;
}

} // namespace

// The map's other scenes (testsupport/designer/receptors_shots.h: map-objects, pickers, images) run when named; a
// run without names leaves them out.
int main(int argc, char** argv)
{
    std::vector<std::string> scenes(std::begin(kScenes), std::end(kScenes));
    scenes.insert(scenes.end(), std::begin(kEventMapScenes), std::end(kEventMapScenes));
    const designertest::ShotsTool tool{"vortan-eventedit-shots", scenes, designertest::IsReceptorsScene, RunScenes};
    return designertest::ShotsMain(argc, argv, tool);
}
