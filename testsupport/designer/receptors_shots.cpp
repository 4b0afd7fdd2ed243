#include "testsupport/designer/receptors_shots.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/editor_icons.h"
#include "designer/editing/editor_images.h"
#include "designer/editing/map_object.h"
#include "designer/eventedit/event_map_canvas.h"
#include "designer/eventedit/event_map_frame.h"
#include "designer/eventedit/event_map_texts.h"
#include "designer/workspace/object_pickers.h"
#include "designer/workspace/receptors_texts.h"
#include "designer/workspace/rename_dlg.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/core/node.h"
#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/gfx/dib.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/icon.h"
#include "platform/gfx/text/font.h"
#include "platform/testing/image_check.h"
#include "platform/testing/user_sim.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"
#include "testsupport/designer/action_list_shots.h"
#include "testsupport/designer/drag_main_frame.h"
#include "testsupport/designer/sample_world.h"

namespace designertest {
namespace {

struct Stage {
    explicit Stage(CVTNDesignerApp& app) : app(app), sample(app)
    {
        CChildEventMapFrame::RegisterWindowClass(pf::ui());
        frame.createFrame("Vortan", pf::Rect::fromXywh(0, 0, 1100, 760), 0, pf::WS_VISIBLE);
        app.SetMainFrame(&frame);
    }
    ~Stage() { app.SetMainFrame(nullptr); }

    // A new window, large enough for the laid-out map, shown as a person first sees it before anything is drawn on
    // its map.
    CChildEventMapFrame* OpenMap()
    {
        auto* map = dynamic_cast<CChildEventMapFrame*>(app.OpenEventMapWindow());
        if (map != nullptr)
            map->move(pf::Rect::fromXywh(10, 10, 800, 520));
        pf::UserSim().pump();
        return map;
    }
    MapObject* Event(SWevent* event)
    {
        CEditorEngine* engine = GetEditorEngine();
        MapObject* shown = engine->FindEventObject(event);
        return shown != nullptr ? shown : engine->AddEvent(event);
    }

    CVTNDesignerApp& app;
    SampleWorld sample;
    DragMainFrame frame;
};

void Trace(const EditorShot& shot, const std::string& line)
{
    if (shot.trace != nullptr)
        shot.trace->push_back(line);
}

// Events with their actions and targets, placed by hand so that every link can be followed.
void LayOutMap(Stage& stage)
{
    CEditorEngine& engine = *GetEditorEngine();
    const auto at = [](MapObject* o, int32_t x, int32_t y) {
        if (o != nullptr) {
            o->x = x;
            o->y = y;
        }
    };
    at(stage.Event(stage.sample.timer), 60, 60);
    at(engine.FindActionObject(stage.sample.condition), 160, 40);
    at(engine.FindActionObject(stage.sample.thenFollower), 260, 20);
    at(engine.FindActionObject(stage.sample.elseFollower), 260, 90);
    at(engine.FindActionObject(stage.sample.queue), 160, 160);
    int32_t y = 140;
    for (SWactionnode* member : stage.sample.queueMembers) {
        at(engine.FindActionObject(member), 260, y);
        y += 50;
    }
    at(engine.FindActionObject(stage.sample.stopQueue), 60, 220);
    if (auto* stop = dynamic_cast<SWstopsequencenode*>(stage.sample.stopQueue);
        stop != nullptr && stop->GetIds().empty())
        stop->AddId(stage.sample.queue->GetActionId());
    at(stage.Event(stage.sample.click), 380, 60);
    at(engine.FindNodeObject(stage.sample.hotspot), 480, 40);
    at(stage.Event(stage.sample.motionDone), 380, 200);
    at(engine.FindNodeObject(stage.sample.object), 480, 200);
    at(stage.Event(stage.sample.soundDone), 60, 320);
    at(engine.FindSoundObject(stage.sample.sound), 160, 320);
    at(stage.Event(stage.sample.key), 380, 320);
    for (MapObject* o = engine.FirstMapObject(); o != nullptr; o = engine.NextMapObject(o))
        if (!o->IsPlaced())
            at(o, 560, 320);
}

// A new window over the laid-out map, drawn.
CChildEventMapFrame* OpenLaidOutMap(Stage& stage, pf::UserSim& sim)
{
    CChildEventMapFrame* map = stage.OpenMap();
    if (map == nullptr)
        return nullptr;
    LayOutMap(stage);
    stage.app.RedrawEventMaps();
    sim.pump();
    return map;
}

// A modal dialog once it is up: its picture and the live comparison, which waits for the dialog's first frame
// itself (a wait before it would take that frame and leave the comparison waiting for one that never comes).
bool ShootDialog(pf::UserSim& sim, const EditorShot& shot, pf::Dialog& d, const std::string& name)
{
    sim.pump();
    return shot.picture(name) && shot.compareLive(d, name);
}

bool EventMapScene(const std::string& scene, Stage& stage, pf::UserSim& sim, const EditorShot& shot)
{
    CChildEventMapFrame* map = stage.OpenMap();
    if (map == nullptr)
        return false;
    LayOutMap(stage);
    CEditorEngine& engine = *GetEditorEngine();
    engine.Selection().Add(engine.FindEventObject(stage.sample.timer));
    MapObject* folded = engine.FindEventObject(stage.sample.motionDone);
    stage.app.GetEventMapMenu(); // the menus as the window's first right click would load them
    map->GetEventMap()->SetMenuObject(folded);
    map->GetEventMap()->RunCommand(EventMapCommand::kCollapseInputs);
    if (scene == "event-map-elbows") {
        engine.straightLines = false;
        map->send(pf::WM_COMMAND, EventMapCommand::kShowList, 0);
        map->GetEventMap()->ScrollTo({40, 25});
    }
    stage.app.RedrawEventMaps();
    sim.pump();
    Trace(shot, "event map drawn");
    return shot.picture(scene) && shot.compareLive(stage.frame, scene);
}

bool RubberBandScene(Stage& stage, pf::UserSim& sim, const EditorShot& shot)
{
    CChildEventMapFrame* map = OpenLaidOutMap(stage, sim);
    if (map == nullptr)
        return false;
    CVTND_EventMap& canvas = *map->GetEventMap();
    sim.mouseDown(canvas.clientToScreen({140, 10}));
    sim.mouseMove(canvas.clientToScreen({250, 120}));
    sim.mouseMove(canvas.clientToScreen({330, 270}));
    const bool banded = canvas.IsBanding() && GetEditorEngine()->Selection().IsEmpty();
    Trace(shot, banded ? "band drawn, nothing selected yet" : "no band");
    const bool ok = banded && shot.picture("rubber-band") && shot.compareLive(stage.frame, "rubber-band");
    sim.mouseUp(canvas.clientToScreen({330, 270}));
    sim.pump();
    Trace(shot, std::to_string(GetEditorEngine()->Selection().Count()) + " selected by the band");
    return ok && pf::screen().isOverlayClear();
}

bool TwoMapsScene(Stage& stage, pf::UserSim& sim, const EditorShot& shot)
{
    CChildEventMapFrame* first = stage.OpenMap();
    LayOutMap(stage);
    CChildEventMapFrame* second = stage.OpenMap();
    if (first == nullptr || second == nullptr)
        return false;
    first->move(pf::Rect::fromXywh(0, 0, 540, 560));
    second->move(pf::Rect::fromXywh(545, 0, 540, 560));
    first->GetEventMap()->ScrollTo({0, 0});
    second->GetEventMap()->ScrollTo({120, 40});
    stage.app.RedrawEventMaps();
    sim.pump();
    return shot.picture("two-maps") && shot.compareLive(stage.frame, "two-maps");
}

bool RenameScene(Stage& stage, pf::UserSim& sim, const EditorShot& shot)
{
    CChildEventMapFrame* map = OpenLaidOutMap(stage, sim);
    if (map == nullptr)
        return false;
    bool ok = false;
    sim.mouseMove(map->GetEventMap()->clientToScreen({120, 120}));
    sim.onModal(kIddRename, [&](pf::Dialog& d) {
        ok = ShootDialog(sim, shot, d, "rename");
        if (shot.hold)
            shot.hold();
        d.endDialog(0);
    });
    CVTND_RenameDlg dialog(CVTND_Object(stage.sample.timer), map->GetEventMap()->parent());
    dialog.Run();
    return ok;
}

// The canvas of a window shows every content kind, drawn by the map objects themselves.
bool MapObjectsScene(Stage& stage, pf::UserSim& sim, const EditorShot& shot)
{
    CChildEventMapFrame* map = stage.OpenMap();
    if (map == nullptr)
        return false;
    map->move(pf::Rect::fromXywh(10, 10, 1070, 700)); // the rest of the map in view too
    CEditorEngine& engine = *GetEditorEngine();
    std::vector<const MapObject*> laid;
    const auto at = [&laid](MapObject* o, int32_t x, int32_t y) {
        if (o != nullptr) {
            o->x = x + 30;
            o->y = y + 20;
            laid.push_back(o);
        }
        return o;
    };
    // Each event above the things it is joined to, so that no link runs through another picture.
    at(stage.Event(stage.sample.key), 20, 20);
    stage.sample.key->SetEnabled(false);
    at(stage.Event(stage.sample.soundDone), 120, 20);
    at(engine.FindSoundObject(stage.sample.sound), 220, 20);
    at(engine.AddNode(stage.sample.particles), 320, 20);
    SWactionnode* callback = stage.sample.soundDone->CreateHostCallbackAction("Lights", "toggle");
    at(engine.AddNode(stage.sample.camera), 20, 110);
    at(engine.AddAction(callback), 120, 110);
    at(engine.AddSound(stage.sample.otherSound), 220, 110);
    at(engine.AddExpression(stage.sample.expression), 320, 110);
    at(engine.AddKind1000(stage.sample.cursor), 20, 200);
    at(engine.AddKind4000(stage.sample.material), 120, 200);
    at(engine.AddWorld(stage.sample.loadedWorld), 220, 200);
    MapObject* pictured = at(engine.AddNode(stage.sample.screenNode), 320, 200);
    pictured->bitmap = pf::DibSection::create(32, 32);
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 32; ++x)
            pictured->bitmap->surface().setPixel(
                x, y, 0xFF000000u | static_cast<uint32_t>((x * 8) << 16 | (y * 8) << 8 | 0x60));
    pictured->width = pictured->height = 32;
    // The rest of the map (what the window's placement pass put along its top) in rows below, apart enough for
    // their labels.
    const std::vector<const MapObject*> kinds = laid;
    int32_t column = 0;
    for (MapObject* o = engine.FirstMapObject(); o != nullptr; o = engine.NextMapObject(o)) {
        if (std::find(kinds.begin(), kinds.end(), o) == kinds.end()) {
            at(o, 20 + 100 * (column % 5), 290 + 70 * (column / 5));
            ++column;
        }
    }
    engine.Selection().Add(engine.FindNodeObject(stage.sample.camera));
    engine.Selection().Add(engine.FindSoundObject(stage.sample.otherSound)); // primary
    map->GetEventMap()->ScrollTo({30, 20});
    stage.app.RedrawEventMaps();
    sim.pump();
    return shot.picture("map-objects") && shot.compareLive(stage.frame, "map-objects");
}

bool PickersScene(Stage& stage, pf::UserSim& sim, const EditorShot& shot)
{
    bool ok = true;
    sim.mouseMove({200, 150});
    sim.onModal(kIddSingleSelect, [&](pf::Dialog& d) {
        ok = ShootDialog(sim, shot, d, "pickers-single") && ok;
        d.endDialog(pf::IDCANCEL);
    });
    ObjectPickRequest cameras(1);
    cameras.Run(&stage.frame, false, true);
    sim.onModal(kIddMultipleSelect, [&](pf::Dialog& d) {
        ok = ShootDialog(sim, shot, d, "pickers-multiple") && ok;
        d.endDialog(pf::IDCANCEL);
    });
    ObjectPickRequest targets(12);
    targets.AddChosen(*stage.sample.hotspot->GetName());
    targets.AddChosen(*stage.sample.mesh->GetName());
    targets.queueMode = 1;
    targets.Run(&stage.frame, true, true);
    // The keys are more than the list shows: End reaches the last one, the bar's thumb at the bottom.
    sim.onModal(kIddSingleSelect, [&](pf::Dialog& d) {
        auto* list = d.item<pf::ListBox>(PickerControl::kOffered);
        sim.selectListItem(*list, 0);
        sim.keyPress(pf::VK_END);
        ok = list->getTopIndex() > 0 && ShootDialog(sim, shot, d, "pickers-long") && ok;
        if (shot.hold)
            shot.hold();
        d.endDialog(pf::IDCANCEL);
    });
    ObjectPickRequest keys(6);
    keys.Run(&stage.frame, false, true);
    return ok;
}

// Every list of the editor images, a row each, the index under every picture.
class ContactSheet : public pf::Window {
public:
    explicit ContactSheet(pf::Window& parent)
    {
        pf::CreateParams params;
        params.style = pf::WS_CHILD | pf::WS_VISIBLE;
        params.rect = pf::Rect::fromXywh(0, 0, 1090, 700);
        params.parent = parent.hwnd();
        create(params);
    }

protected:
    pf::LResult handle(const pf::Msg& msg) override
    {
        if (msg.message != pf::WM_PAINT)
            return Window::handle(msg);
        pf::PaintDc dc(*this);
        dc.fillRect(clientRect(), pf::createSolidBrush(pf::rgb(255, 255, 255)));
        const CVTND_EditorImages* images = GetEditorImages();
        if (images == nullptr)
            return 0;
        static const char* const kNames[] = {"events",        "events 2",  "objects", "small actions",
                                             "large actions", "objects 2", "tree",    "scene file",
                                             "small three",   "axes",      "six",     "markers"};
        dc.selectObject(pf::getStockObject(pf::DEFAULT_GUI_FONT));
        dc.setBkMode(pf::TRANSPARENT);
        int32_t y = 4;
        for (int32_t list = 0; list < static_cast<int32_t>(EditorImageList::kCount); ++list) {
            const pf::ImageListRef& images_ = images->List(static_cast<EditorImageList>(list));
            dc.textOut(4, y + 8, kNames[list]);
            int32_t x = 90;
            int32_t rowHeight = images_->imageHeight() + 16;
            for (int32_t i = 0; i < images_->count(); ++i) {
                if (x + images_->imageWidth() > 1080) {
                    x = 90;
                    y += rowHeight;
                }
                images_->draw(dc, i, {x, y}, pf::ILD_NORMAL);
                dc.textOut(x, y + images_->imageHeight(), std::to_string(i));
                x += std::max(images_->imageWidth(), 18) + 6;
            }
            y += rowHeight + 2;
        }
        return 0;
    }
};

bool ImagesScene(Stage& stage, pf::UserSim& sim, const EditorShot& shot)
{
    ContactSheet sheet(stage.frame);
    sheet.invalidate(true);
    sim.pump();
    return shot.picture("images") && shot.compareLive(stage.frame, "images");
}

// Every picture once, in list order: the large and the small size side by side, what it shows under them.
class IconSheet : public pf::Window {
public:
    static constexpr int32_t kCell = 104;
    static constexpr int32_t kRow = 76;

    // A window of its own over the screen's top left: the sheet is larger than the stage's frame.
    IconSheet()
    {
        pf::CreateParams params;
        params.style = pf::WS_POPUP | pf::WS_VISIBLE;
        params.rect = pf::Rect::fromXywh(0, 0, 12 * kCell + 8, 12 * kRow + 8);
        create(params);
    }

protected:
    pf::LResult handle(const pf::Msg& msg) override
    {
        if (msg.message != pf::WM_PAINT)
            return Window::handle(msg);
        pf::PaintDc dc(*this);
        dc.fillRect(clientRect(), pf::createSolidBrush(pf::rgb(212, 208, 200)));
        pf::LogFont request;
        request.height = -10;
        dc.selectFont(pf::createFontIndirect(request));
        dc.setBkMode(pf::TRANSPARENT);
        std::vector<uint32_t> shown;
        int32_t cell = 0;
        for (int32_t list = 0; list < static_cast<int32_t>(EditorImageList::kCount); ++list)
            for (const uint32_t id : CVTND_EditorImages::IdsOf(static_cast<EditorImageList>(list))) {
                if (std::find(shown.begin(), shown.end(), id) != shown.end())
                    continue;
                shown.push_back(id);
                const int32_t x = 4 + (cell % 12) * kCell;
                const int32_t y = 4 + (cell / 12) * kRow;
                ++cell;
                if (const pf::IconRef large = pf::resources().icon(id, 32))
                    pf::drawIcon(dc, {x + 24, y}, *large);
                if (const pf::IconRef small = pf::resources().icon(id, 16))
                    pf::drawIcon(dc, {x + 62, y + 16}, *small);
                WrapName(dc, std::string(EditorIconName(id)), x, y + 34);
            }
        return 0;
    }

private:
    // Word by word into lines of the cell's width, so that no name runs into its neighbour.
    static void WrapName(pf::Dc& dc, const std::string& name, int32_t x, int32_t y)
    {
        std::string line;
        size_t start = 0;
        while (start <= name.size()) {
            const size_t end = std::min(name.find(' ', start), name.size());
            const std::string word = name.substr(start, end - start);
            const std::string longer = line.empty() ? word : line + " " + word;
            if (!line.empty() && dc.getTextExtent(longer).cx > kCell - 6) {
                dc.textOut(x, y, line);
                y += 12;
                line = word;
            } else {
                line = longer;
            }
            start = end + 1;
        }
        dc.textOut(x, y, line);
    }
};

bool IconsScene(pf::UserSim& sim, const EditorShot& shot)
{
    IconSheet sheet;
    sheet.invalidate(true);
    sim.pump();
    return shot.picture("icons") && shot.compareLive(sheet, "icons");
}

} // namespace

bool IsReceptorsScene(const std::string& scene)
{
    for (const char* name : kReceptorsScenes)
        if (scene == name)
            return true;
    return false;
}

bool RunReceptorsScene(const std::string& scene, CVTNDesignerApp& app, pf::UserSim& sim, const EditorShot& shot)
{
    if (scene == kActionListDropScene)
        return RunActionListDropScene(app, sim, shot);
    Stage stage(app);
    sim.pump();
    if (scene == "event-map" || scene == "event-map-elbows")
        return EventMapScene(scene, stage, sim, shot);
    if (scene == "rubber-band")
        return RubberBandScene(stage, sim, shot);
    if (scene == "two-maps")
        return TwoMapsScene(stage, sim, shot);
    if (scene == "rename")
        return RenameScene(stage, sim, shot);
    if (scene == "map-objects")
        return MapObjectsScene(stage, sim, shot);
    if (scene == "pickers")
        return PickersScene(stage, sim, shot);
    if (scene == "icons")
        return IconsScene(sim, shot);
    if (scene == "images")
        return ImagesScene(stage, sim, shot);
    return false;
}

} // namespace designertest
