#include "testsupport/designer/walkthrough_shots.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/map_object.h"
#include "designer/eventedit/event_map_canvas.h"
#include "designer/eventedit/event_map_frame.h"
#include "designer/eventedit/event_map_texts.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/testing/user_sim.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/tool_bar.h"
#include "platform/ui/core/ui.h"
#include "testsupport/designer/drag_main_frame.h"
#include "testsupport/designer/sample_world.h"
#include "testsupport/designer/test_palette.h"

namespace designertest {
namespace {

constexpr int32_t kPaletteWidth = 160;
constexpr int32_t kTimerItem = 3;          // "timer" in the window's list of event types
constexpr int32_t kSetBackgroundKind = 19; // the action kind the palette offers

// Takes the frame's left edge for the palette, as the designer's docked panels do.
class PaletteDock : public pf::DockSite {
public:
    explicit PaletteDock(pf::Window& palette) : m_palette(palette) {}
    pf::Rect layoutDocked(const pf::Rect& area) override
    {
        m_palette.move({area.l, area.t, area.l + kPaletteWidth, area.b});
        return {area.l + kPaletteWidth, area.t, area.r, area.b};
    }
    bool dockCommand(uint32_t) override { return false; }

private:
    pf::Window& m_palette; // a child of the frame, which outlives the dock
};

struct Walk {
    Walk(CVTNDesignerApp& app, pf::UserSim& sim, const EditorShot& shot)
        : app(app), sim(sim), shot(shot), sample(app), palette(MakeFrame(frame), pf::Rect::fromXywh(0, 0, 160, 700)),
          dock(palette)
    {
        frame.setDockSite(&dock);
        frame.recalcLayout();
        app.SetMainFrame(&frame);
        palette.items = {PaletteItem{EdKind::kActionKind, sample.Kind(kSetBackgroundKind), 0, "set background"}};
    }
    ~Walk()
    {
        app.SetMainFrame(nullptr);
        frame.setDockSite(nullptr);
    }
    static pf::Window& MakeFrame(DragMainFrame& frame)
    {
        CChildEventMapFrame::RegisterWindowClass(pf::ui());
        frame.createFrame("Vortan", pf::Rect::fromXywh(0, 0, 1100, 760), 0, pf::WS_VISIBLE);
        return frame;
    }

    // The step's picture and its live comparison; a step that did not do what it should is traced and fails.
    bool Step(bool done, const std::string& name, const std::string& what)
    {
        if (shot.trace != nullptr)
            shot.trace->push_back(name + (done ? ": " : ": NOT ") + what);
        sim.pump();
        const bool clear = pf::screen().isOverlayClear();
        if (!clear && shot.trace != nullptr)
            shot.trace->push_back("overlay NOT clear after " + name);
        const bool shown = shot.picture(name) && shot.compareLive(frame, name);
        sim.advance(1000); // the next press starts a new click, not a double click
        return done && clear && shown;
    }
    pf::Point Centre(const MapObject& o) const
    {
        const pf::Point scroll = canvas->GetScrollOrigin();
        return canvas->clientToScreen({o.x + o.width / 2 - scroll.x, o.y + o.height / 2 - scroll.y});
    }
    SWevent* NewestTimer() const
    {
        SWevent* newest = nullptr;
        for (SWevent* e = sample.world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
            if (e != sample.timer && e->GetType() == 4)
                newest = e;
        return newest;
    }

    CVTNDesignerApp& app;
    pf::UserSim& sim;
    const EditorShot& shot;
    SampleWorld sample;
    DragMainFrame frame;
    TestPalette palette;
    PaletteDock dock;
    CChildEventMapFrame* map = nullptr; // owned by its window
    CVTND_EventMap* canvas = nullptr;
};

bool DragTimerOntoTheMap(Walk& w, SWevent*& outEvent)
{
    pf::ListView* list = w.map->View().EventList();
    const pf::Point to = w.canvas->clientToScreen({140, 90});
    if (list == nullptr || list->getItemData(kTimerItem) != 4 || !w.sim.beginListDrag(*list, kTimerItem, to))
        return false;
    w.sim.mouseMove(to);
    w.sim.mouseUp(to);
    outEvent = w.NewestTimer();
    const MapObject* shown = outEvent != nullptr ? GetEditorEngine()->FindEventObject(outEvent) : nullptr;
    return shown != nullptr && w.Centre(*shown) == to;
}

bool DropActionKindOnTheEvent(Walk& w, SWevent& event, SWactionnode*& outAction)
{
    w.sim.mouseDown(w.palette.clientToScreen({20, 14}));
    const pf::Point to = w.Centre(*GetEditorEngine()->FindEventObject(&event));
    w.sim.mouseMove({to.x - 30, to.y - 20});
    w.sim.mouseMove(to);
    w.sim.mouseUp(to);
    outAction = event.GetFirstAction();
    return outAction != nullptr && SWevent::GetNextAction(outAction) == nullptr &&
           outAction->GetKindId() == kSetBackgroundKind && GetEditorEngine()->FindActionObject(outAction) != nullptr;
}

bool BandAroundBoth(Walk& w, const MapObject& event, const MapObject& action)
{
    const int32_t l = std::min(event.x, action.x) - 30;
    const int32_t t = std::min(event.y, action.y) - 30;
    const int32_t r = std::max(event.x + event.width, action.x + action.width) + 30;
    const int32_t b = std::max(event.y + event.height, action.y + action.height) + 30;
    w.sim.mouseDown(w.canvas->clientToScreen({l, t}));
    w.sim.mouseMove(w.canvas->clientToScreen({(l + r) / 2, (t + b) / 2}));
    w.sim.mouseMove(w.canvas->clientToScreen({r, b}));
    w.sim.mouseUp(w.canvas->clientToScreen({r, b}));
    const CEditorSelection& selection = GetEditorEngine()->Selection();
    return selection.Count() == 2 && selection.Contains(&event) && selection.Contains(&action);
}

bool AlignByTheToolBar(Walk& w, const MapObject& event, const MapObject& action)
{
    pf::ToolBar* tools = w.map->Tools();
    const int32_t index = tools != nullptr ? tools->commandToIndex(EventMapCommand::kAlignY) : -1;
    if (index < 0)
        return false;
    const pf::Rect r = tools->itemRect(index);
    w.sim.click(tools->clientToScreen({(r.l + r.r) / 2, (r.t + r.b) / 2}));
    return event.y == action.y;
}

bool DeleteByItsMenu(Walk& w, SWevent& event, MapObject& action)
{
    w.sim.expectMenu(EventMapCommand::kDeleteAction);
    w.sim.click(w.Centre(action), pf::InputEvent::Button::kRight);
    w.sim.pump();
    return event.GetFirstAction() == nullptr && GetEditorEngine()->FindEventObject(&event) != nullptr;
}

} // namespace

bool RunWalkthroughScene(CVTNDesignerApp& app, pf::UserSim& sim, const EditorShot& shot)
{
    Walk w(app, sim, shot);
    w.map = dynamic_cast<CChildEventMapFrame*>(app.OpenEventMapWindow());
    if (w.map == nullptr)
        return false;
    w.map->move(pf::Rect::fromXywh(10, 10, 760, 520));
    w.canvas = w.map->GetEventMap();
    // The sample's objects in rows below the free corner where the walk happens, apart enough for their labels.
    int32_t placed = 0;
    for (MapObject* o = GetEditorEngine()->FirstMapObject(); o != nullptr; o = GetEditorEngine()->NextMapObject(o)) {
        o->x = 20 + placed % 7 * 80;
        o->y = 250 + placed / 7 * 70;
        ++placed;
    }
    app.RedrawEventMaps();
    sim.pump();
    SWevent* event = nullptr;
    SWactionnode* action = nullptr;
    bool ok = w.Step(DragTimerOntoTheMap(w, event), "walkthrough-1-event", "a timer event where the drag ended");
    if (!ok || event == nullptr)
        return false;
    ok = w.Step(DropActionKindOnTheEvent(w, *event, action), "walkthrough-2-action", "its action beside it");
    CEditorEngine& engine = *GetEditorEngine();
    MapObject* eventObject = engine.FindEventObject(event);
    MapObject* actionObject = action != nullptr ? engine.FindActionObject(action) : nullptr;
    if (!ok || actionObject == nullptr)
        return false;
    ok = w.Step(BandAroundBoth(w, *eventObject, *actionObject), "walkthrough-3-band", "both selected by the band");
    ok = w.Step(AlignByTheToolBar(w, *eventObject, *actionObject), "walkthrough-4-aligned", "both tops on one line") &&
         ok;
    ok = w.Step(DeleteByItsMenu(w, *event, *actionObject), "walkthrough-5-deleted", "the event without its action") &&
         ok;
    return ok;
}

} // namespace designertest
