#include "testsupport/designer/timeline_shots.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/eventedit/event_story_board.h"
#include "designer/eventedit/story_board_preview.h"
#include "designer/eventedit/story_board_row.h"
#include "designer/eventedit/story_board_time.h"
#include "designer/eventedit/timeline_frame.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"
#include "platform/display/screen.h"
#include "platform/testing/user_sim.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/frame/frame_window.h"
#include "testsupport/designer/broadcast_recorder.h"
#include "testsupport/designer/sample_world.h"
#include "testsupport/designer/timeline_event.h"

namespace designertest {

namespace {

struct Stage {
    explicit Stage(CVTNDesignerApp& app) : sample(app), timeline(sample)
    {
        frame.createFrame("Vortan", pf::Rect::fromXywh(40, 40, 720, 420), 0, pf::WS_VISIBLE);
        app.SetMainFrame(&frame);
        window = dynamic_cast<CChildEventTimelineFrame*>(app.OpenEventTimeline(timeline.event));
    }
    ~Stage()
    {
        if (window != nullptr && window->isWindow())
            window->destroy();
        if (GetDesignerApp() != nullptr)
            GetDesignerApp()->SetMainFrame(nullptr);
    }
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

    CEventStoryBoard& Board() const { return *window->View().Board(); }
    CStoryBoardTime& Ruler() const { return *window->View().Ruler(); }
    int32_t MiddleOf(const SWactionnode* action) const
    {
        return Board().FindRow(action)->Top() + Board().HalfLineHeight();
    }

    SampleWorld sample;
    TimelineEvent timeline;
    BroadcastRecorder recorder;
    pf::FrameWindow frame;
    CChildEventTimelineFrame* window = nullptr; // owned by its window
};

bool ClickExpandBox(Stage& stage, pf::UserSim& sim, const SWactionnode* action)
{
    sim.click(stage.Board().clientToScreen({12, stage.MiddleOf(action)}));
    sim.pump();
    return stage.Board().FindRow(action)->IsExpanded();
}

bool SceneTimeline(Stage& stage, pf::UserSim& sim, TimelineShot& shot)
{
    const bool expanded = ClickExpandBox(stage, sim, stage.timeline.condition);
    const bool queueCollapsed = !stage.Board().FindRow(stage.timeline.queue)->IsExpanded();
    return expanded && queueCollapsed && shot.picture("timeline") && shot.compareLive(stage.frame);
}

bool SceneZoom(Stage& stage, pf::UserSim& sim, TimelineShot& shot)
{
    CChildEventTimelineView& view = stage.window->View();
    sim.replaceText(*view.child(CChildEventTimelineView::kZoomEdit), "200");
    auto* bar = view.item<pf::ScrollBar>(CChildEventTimelineView::kHorizontalBar);
    // 5 % of the time line: position x length / 32767 x scale, at scale 2.
    const int32_t clicks = static_cast<int32_t>(std::lround(0.05 * CChildEventTimelineView::kScrollRange / 2.0));
    const pf::Rect arrow = bar->arrowRect(false);
    const pf::Point right = bar->clientToScreen({(arrow.l + arrow.r) / 2, (arrow.t + arrow.b) / 2});
    for (int32_t i = 0; i < clicks; ++i)
        sim.click(right);
    CEventStoryBoard& board = stage.Board();
    const int32_t y = stage.MiddleOf(stage.timeline.condition);
    sim.mouseMove(board.clientToScreen({board.LabelWidth() + 2, y}));
    sim.mouseDown(board.clientToScreen({board.LabelWidth() + 2, y}));
    sim.mouseMove(board.clientToScreen({130, y}));
    sim.mouseMove(board.clientToScreen({160, y}));
    sim.mouseUp(board.clientToScreen({160, y}));
    sim.pump();
    const double wanted = 0.05 * stage.timeline.event->GetTimeLineLength();
    const bool laidOut =
        board.PixelsPerSecond() == 200 && board.LabelWidth() == 160 && std::abs(board.StartTime() - wanted) < 1.0;
    if (!laidOut && shot.trace != nullptr)
        shot.trace->push_back("zoom " + std::to_string(board.PixelsPerSecond()) + ", label width " +
                              std::to_string(board.LabelWidth()) + ", start " + std::to_string(board.StartTime()));
    return laidOut && shot.picture("timeline-zoom") && shot.compareLive(stage.frame);
}

bool SceneDrag(Stage& stage, pf::UserSim& sim, TimelineShot& shot)
{
    ClickExpandBox(stage, sim, stage.timeline.condition);
    CEventStoryBoard& board = stage.Board();
    const int32_t y = stage.MiddleOf(stage.timeline.sound);
    const double delay = stage.timeline.sound->GetDelay();
    const int32_t from = board.TimeToX(delay);
    sim.mouseMove(board.clientToScreen({from, y}));
    sim.mouseDown(board.clientToScreen({from, y}));
    for (int32_t step = 1; step <= 4; ++step)
        sim.mouseMove(board.clientToScreen({from + 15 * step, y}));
    const bool unmoved = stage.timeline.sound->GetDelay() == delay && board.DraggedMarker() != nullptr;
    bool ok = unmoved && shot.picture("timeline-drag") && shot.compareLive(stage.frame);
    sim.mouseUp(board.clientToScreen({from + 60, y}));
    sim.pump();
    ok = pf::screen().isOverlayClear() && stage.timeline.sound->GetDelay() > delay && ok;
    return ok;
}

void DumpPreview(Stage& stage, std::vector<std::string>& trace)
{
    SWworld& world = stage.sample.world;
    char line[160];
    std::snprintf(line, sizeof line, "preview at %.0f ms; world preview time %.0f ms", stage.Board().CurrentTime(),
                  static_cast<double>(world.GetPreviewTime()));
    trace.push_back(line);
    for (SWactionnode* a = stage.timeline.event->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
        const EDNode* node = stage.Board().Preview()->NodeOf(a);
        std::snprintf(line, sizeof line, "action %u kind %d start %.0f: %s", a->GetActionId(), a->GetKindId(),
                      a->GetDelay(), node != nullptr && node->started != 0 ? "started" : "not started");
        trace.push_back(line);
    }
    SWnode* const root = world.GetRootNode();
    for (SWnode* n = root; n != nullptr; n = n->NextInTree(root)) {
        const SWobjectnode* object = SWobjectnode::FromNode(n);
        for (auto* e = object != nullptr ? object->GetTimedActions() : nullptr; e != nullptr;
             e = static_cast<SWtimedactionentry*>(e->Next())) {
            std::snprintf(line, sizeof line,
                          "node '%s' runs a motion of type %u for action %u, preview %d from %.0f ms",
                          n->GetName().value_or("").c_str(), e->motion->GetType(), e->motion->GetActionId(),
                          e->motion->GetPreviewFlag(), static_cast<double>(e->motion->GetPreviewStartTime()));
            trace.push_back(line);
        }
    }
    std::snprintf(line, sizeof line, "timed-action table: %zu motions", TimedActionTable::Of(world).Count());
    trace.push_back(line);
}

bool SceneScrub(Stage& stage, pf::UserSim& sim, TimelineShot& shot)
{
    CEventStoryBoard& board = stage.Board();
    CStoryBoardTime& ruler = stage.Ruler();
    const int32_t y = ruler.clientRect().b / 2;
    sim.mouseMove(ruler.clientToScreen({ruler.HandleX(), y}));
    sim.mouseDown(ruler.clientToScreen({ruler.HandleX(), y}));
    for (const double t : {400.0, 900.0, 1300.0, 1800.0})
        sim.mouseMove(ruler.clientToScreen({board.TimeToX(t) - board.TrackOrigin(), y}));
    {
        SWworldlock lock(stage.sample.world);
        stage.sample.world.RunFrame();
    }
    if (shot.trace != nullptr)
        DumpPreview(stage, *shot.trace);
    const EDPreview& preview = *board.Preview();
    const bool ran =
        preview.NodeOf(stage.timeline.keyFrame)->started != 0 && preview.NodeOf(stage.timeline.rotate)->started != 0;
    bool ok = ran && shot.picture("timeline-scrub") && shot.compareLive(stage.frame);
    sim.mouseUp(ruler.clientToScreen({board.TimeToX(1800.0) - board.TrackOrigin(), y}));
    sim.pump();
    return ok;
}

} // namespace

bool RunTimelineScene(const std::string& scene, CVTNDesignerApp& app, pf::UserSim& sim, TimelineShot& shot)
{
    Stage stage(app);
    if (stage.window == nullptr)
        return false;
    sim.pump();
    bool ok = false;
    if (scene == "timeline")
        ok = SceneTimeline(stage, sim, shot);
    else if (scene == "timeline-zoom")
        ok = SceneZoom(stage, sim, shot);
    else if (scene == "timeline-drag")
        ok = SceneDrag(stage, sim, shot);
    else if (scene == "timeline-scrub")
        ok = SceneScrub(stage, sim, shot);
    if (shot.hold)
        shot.hold();
    return ok;
}

} // namespace designertest
