// The editor engine's drag steps on a large event map: 5,000 map objects and 50 control receptors on a headless
// screen. One DragTo and one Drop of a single palette object over the map, and of a move of 20 selected objects.
// The receptor walk is linear in the receptors; a drag step has a 16 ms frame to fit in.
//
// The event map window: one paint of its canvas over 5,000 map objects joined by 4,000 links, with and without a
// selected event.
//
// The story board: one preview step that starts 100 and 1,000 rotate actions, timed as the world's lock is held
// (the render thread waits that long), and one full paint of a board of 500 rows at the default zoom.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/map_canvas.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/map_object.h"
#include "designer/eventedit/control_receptor.h"
#include "designer/eventedit/event_map_canvas.h"
#include "designer/eventedit/event_map_frame.h"
#include "designer/eventedit/event_story_board.h"
#include "designer/eventedit/story_board_preview.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"
#include "testsupport/designer/drag_main_frame.h"

namespace {

// -- The story board

constexpr int kBoardRows = 500;
constexpr int kTargets = 50;

// An event of rotate actions (kind 41), each on one of 50 object nodes, all starting at 0.
struct RotateEvent {
    explicit RotateEvent(int actions)
    {
        pf::screen().reset();
        ui = std::make_unique<pf::Ui>();
        app = std::make_unique<CVTNDesignerApp>();
        app->NewWorkspace();
        app->MakeEditorEngine();
        SWworld& world = *app->GetWorld();
        for (int i = 0; i < kTargets; ++i) {
            auto* node = new SWobjectnode();
            node->SetName("target" + std::to_string(i));
            world.AddNode(node, nullptr);
        }
        event = world.NewEvent();
        event->SetName(std::string("spins"));
        SWactionkind* rotate = world.GetActionCategories().FindKind(41);
        for (int i = 0; i < actions; ++i) {
            SWactionnode* action = event->CreateAction(rotate);
            const std::string target = "target" + std::to_string(i % kTargets);
            action->AddArgument(target.c_str(), SWdatanode::kString, true);
            action->SetDelay(i * 10.0);
        }
    }
    ~RotateEvent() // before the large map's window system is made: one exists at a time
    {
        app.reset();
        ui.reset();
    }
    SWworld& World() { return *app->GetWorld(); }

    std::unique_ptr<pf::Ui> ui;
    std::unique_ptr<CVTNDesignerApp> app;
    SWevent* event = nullptr;
};

void BM_PreviewStepStartingRotations(benchmark::State& state)
{
    RotateEvent spins(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto preview = std::make_unique<EDPreview>(spins.event);
        state.ResumeTiming();
        preview->SetTime(1e9); // every start passed: one step starts them all under the lock
        state.PauseTiming();
        state.counters["running"] = static_cast<double>(TimedActionTable::Of(spins.World()).Count());
        preview.reset();
        {
            SWworldlock lock(spins.World());
            spins.World().RunFrame(); // the purge takes what the undo stopped
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PreviewStepStartingRotations)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// The board in a window of its own; every paint draws all 500 rows, most of them clipped away.
class BoardHost : public pf::Window {
public:
    BoardHost()
    {
        pf::CreateParams params;
        params.text = "time line";
        params.style = pf::WS_POPUP | pf::WS_VISIBLE;
        params.rect = pf::Rect::fromXywh(0, 0, 1200, 1000);
        create(params);
    }
};

void BM_PaintBoardOf500Rows(benchmark::State& state)
{
    RotateEvent spins(kBoardRows);
    BoardHost host;
    CEventStoryBoard board;
    pf::CreateParams params;
    params.className = "static";
    params.style = pf::WS_CHILD | pf::WS_VISIBLE | pf::SS_NOTIFY;
    params.rect = pf::Rect::fromXywh(0, 30, 1200, 970);
    params.parent = host.hwnd();
    params.id = 1003;
    board.create(params);
    board.Attach(spins.event);
    for (auto _ : state) {
        board.invalidate(true);
        board.update();
    }
    state.counters["rows"] = static_cast<double>(board.RowCount());
    board.destroy();
}
BENCHMARK(BM_PaintBoardOf500Rows)->Unit(benchmark::kMicrosecond);

// -- The event map window's paint

constexpr int kGroups = 1000; // an event, its two rotate actions and their two nodes: 5,000 map objects

// The designer's main frame with one event map window; a world of 1,000 timer events, each with two rotate actions on
// nodes of their own, all on the map in groups of five, so that 4,000 links join them. The window shows the top left
// of the map; every paint walks all of it.
struct LinkedMap {
    LinkedMap()
    {
        pf::screen().reset();
        ui = std::make_unique<pf::Ui>();
        app = std::make_unique<CVTNDesignerApp>();
        app->NewWorkspace();
        app->MakeEditorEngine();
        frame = std::make_unique<designertest::DragMainFrame>();
        frame->createFrame("Vortan", pf::Rect::fromXywh(0, 0, 1280, 1000), 0, pf::WS_VISIBLE);
        app->SetMainFrame(frame.get());
        auto* map = dynamic_cast<CChildEventMapFrame*>(app->OpenEventMapWindow());
        map->move(pf::Rect::fromXywh(0, 0, 1200, 900));
        canvas = map->GetEventMap();
        SWworld& world = *app->GetWorld();
        CEditorEngine& engine = *GetEditorEngine();
        SWactionkind* rotate = world.GetActionCategories().FindKind(41);
        for (int i = 0; i < kGroups; ++i) {
            SWevent* event = world.NewEvent();
            event->SetType(4);
            event->SetName(std::string("e").append(std::to_string(i)));
            const pf::Point at{20 + i % 25 * 200, 20 + i / 25 * 120};
            for (int k = 0; k < 2; ++k) {
                const std::string name = std::string("n").append(std::to_string(2 * i + k));
                auto* node = new SWobjectnode();
                node->SetName(name);
                world.AddNode(node, nullptr);
                event->CreateAction(rotate)->AddArgument(name.c_str(), SWdatanode::kString, true);
            }
            MapObject* shown = engine.AddEvent(event);
            shown->x = at.x;
            shown->y = at.y;
            int k = 0;
            for (SWactionnode* a = event->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a), ++k) {
                MapObject* action = engine.FindActionObject(a);
                action->x = at.x + 70;
                action->y = at.y + k * 50;
                MapObject* target = engine.FindNodeObject(
                    world.GetRootNode()->FindByName(std::string("n").append(std::to_string(2 * i + k))));
                target->x = at.x + 130;
                target->y = at.y + k * 50;
            }
            if (i == 0)
                first = shown;
        }
        for (MapObject* o = engine.FirstMapObject(); o != nullptr; o = engine.NextMapObject(o))
            ++objects;
    }
    ~LinkedMap()
    {
        GetEditorEngine()->Clear();
        app->SetMainFrame(nullptr);
        frame.reset();
        app.reset();
        ui.reset();
    }

    std::unique_ptr<pf::Ui> ui;
    std::unique_ptr<CVTNDesignerApp> app;
    std::unique_ptr<designertest::DragMainFrame> frame;
    CVTND_EventMap* canvas = nullptr; // owned by the window tree
    MapObject* first = nullptr;       // the first event's
    int objects = 0;
};

// Arg 0: nothing selected; 1: the first event selected, so its links take the selected pens and its objects are
// marked.
void BM_PaintLargeMap(benchmark::State& state)
{
    LinkedMap map;
    if (state.range(0) != 0)
        GetEditorEngine()->Selection().Add(map.first);
    for (auto _ : state)
        map.canvas->RedrawMap();
    state.counters["map objects"] = map.objects;
}
BENCHMARK(BM_PaintLargeMap)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// -- The event map's drags

constexpr int kMapObjects = 5000;
constexpr int kControlReceptors = 50; // the empty map's and 49 others
constexpr int kMoved = 20;

// A canvas that does not paint: the map window's drawing is measured elsewhere.
class QuietCanvas : public pf::Window, public CVTND_MapCanvas {
public:
    QuietCanvas()
    {
        pf::CreateParams params;
        params.text = "event map";
        params.style = pf::WS_POPUP | pf::WS_VISIBLE;
        params.rect = pf::Rect::fromXywh(0, 0, 1200, 1000);
        create(params);
    }
    pf::Window* GetWindow() override { return this; }
    pf::Point GetScrollOrigin() const override { return {}; }
    void ScrollTo(pf::Point) override {}
    void SetMenuObject(MapObject*) override {}
    void RedrawMap() override {}
};

// Another receptor of the window, away from where the drags go, of a control's priority.
class SideReceptor : public DropReceptor {
public:
    explicit SideReceptor(int index) : DropReceptor(0x7FFE, 4), m_top(900 + index) {}
    int32_t GetScreenX(pf::Window*) override { return 1100; }
    int32_t GetScreenY(pf::Window*) override { return m_top; }
    int32_t GetWidth(pf::Window*) override { return 20; }
    int32_t GetHeight(pf::Window*) override { return 1; }

private:
    int32_t m_top;
};

// The map: 5,000 nodes on a grid in the upper part of the window, room below for drops.
struct LargeMap {
    LargeMap()
    {
        pf::screen().reset();
        ui = std::make_unique<pf::Ui>();
        app = std::make_unique<CVTNDesignerApp>();
        app->NewWorkspace();
        app->MakeEditorEngine();
        engine = GetEditorEngine();
        canvas = std::make_unique<QuietCanvas>();
        app->RegisterChildFrame(canvas.get(), canvas.get());
        auto* empty = new ControlReceptor(canvas.get());
        empty->AddOwner(canvas.get());
        engine->AddControlReceptor(empty);
        for (int i = 1; i < kControlReceptors; ++i) {
            auto* side = new SideReceptor(i);
            side->AddOwner(canvas.get());
            engine->AddControlReceptor(side);
        }
        SWworld& world = *app->GetWorld();
        for (int i = 0; i < kMapObjects; ++i) {
            auto* node = new SWnode(SWnode::kKindObject);
            node->SetName(std::string("n").append(std::to_string(i)));
            world.AddNode(node, nullptr);
            MapObject* object = engine->AddNode(node);
            object->x = 10 + (i % 100) * 11;
            object->y = 10 + (i / 100) * 11;
            objects.push_back(object);
        }
        content = world.GetRootNode();
    }
    ~LargeMap()
    {
        engine->Clear();
        app->UnregisterChildFrame(canvas.get());
        canvas.reset();
        app.reset();
        ui.reset();
    }

    void BeginPaletteDrag(pf::Point from)
    {
        auto* item = new UIObject;
        item->SetNode(static_cast<SWnode*>(content));
        item->width = item->height = 32;
        engine->AddDroppable(item);
        engine->DragList().assign(1, item);
        engine->BeginDrag(from, nullptr);
    }

    void BeginMove(pf::Point from)
    {
        engine->Selection().DeleteAll();
        for (int i = 0; i < kMoved; ++i) {
            MapObject* object = objects[static_cast<size_t>(i * 97)];
            object->x = 10 + (i * 97 % 100) * 11;
            object->y = 10 + (i * 97 / 100) * 11;
            object->grabOffset = {0, 0};
            engine->Selection().Add(object);
        }
        engine->DragList().clear();
        engine->BeginDrag(from, canvas.get());
    }

    std::unique_ptr<pf::Ui> ui;
    std::unique_ptr<CVTNDesignerApp> app;
    CEditorEngine* engine = nullptr;
    std::unique_ptr<QuietCanvas> canvas;
    std::vector<MapObject*> objects;
    void* content = nullptr; // the palette object's node: the root, dropped on the empty map
};

LargeMap& Map()
{
    static LargeMap map;
    return map;
}

// Points over the empty part of the map, below the grid; alternating so every step is a move.
constexpr pf::Point kOverA{300, 800};
constexpr pf::Point kOverB{310, 804};

void BM_DragToPaletteObject(benchmark::State& state)
{
    LargeMap& map = Map();
    map.BeginPaletteDrag(kOverA);
    bool flip = false;
    for (auto _ : state) {
        map.engine->DragTo(flip ? kOverA : kOverB);
        flip = !flip;
    }
    map.engine->CancelDrag();
}
BENCHMARK(BM_DragToPaletteObject)->Unit(benchmark::kMicrosecond);

void BM_DropPaletteObject(benchmark::State& state)
{
    LargeMap& map = Map();
    for (auto _ : state) {
        state.PauseTiming();
        map.BeginPaletteDrag(kOverA);
        map.engine->DragTo(kOverB);
        state.ResumeTiming();
        map.engine->Drop(kOverB);
    }
}
BENCHMARK(BM_DropPaletteObject)->Unit(benchmark::kMicrosecond);

void BM_DragToMoveOfTwenty(benchmark::State& state)
{
    LargeMap& map = Map();
    map.BeginMove(kOverA);
    bool flip = false;
    for (auto _ : state) {
        map.engine->DragTo(flip ? kOverA : kOverB);
        flip = !flip;
    }
    map.engine->CancelDrag();
}
BENCHMARK(BM_DragToMoveOfTwenty)->Unit(benchmark::kMicrosecond);

void BM_DropMoveOfTwenty(benchmark::State& state)
{
    LargeMap& map = Map();
    for (auto _ : state) {
        state.PauseTiming();
        map.BeginMove(kOverA);
        map.engine->DragTo(kOverB);
        state.ResumeTiming();
        map.engine->Drop(kOverB);
    }
}
BENCHMARK(BM_DropMoveOfTwenty)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
