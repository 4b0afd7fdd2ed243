// The event map window driven as a user drives it: its structure, event types dragged from its list, selection by
// click, Ctrl and rubber band, double clicks on the clock, context menus and their commands, the Delete key, align
// and space, and scrolling. Each window shows the one map at its own origin.
#include <algorithm>
#include <string>
#include <vector>

#include "designer/app/edit_dialog.h"
#include "designer/app/registry.h"
#include "designer/eventedit/event_edit_dlg.h"
#include "designer/eventedit/expression_editor_dlg.h"
#include "designer/eventedit/tests/event_map_fixture.h"
#include "designer/eventedit/timeline_frame.h"
#include "designer/workspace/receptors_texts.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/gfx/memory_dc.h"
#include "platform/testing/image_check.h"
#include "platform/time/clock.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/controls/status_bar.h"
#include "platform/ui/controls/tool_bar.h"

namespace eventedittest {
namespace {

using namespace EventMapCommand;

class EventMapWindow : public EventMapFixture {
protected:
    static pf::Point ArrowCentre(pf::ScrollBar& bar)
    {
        const pf::Rect r = bar.arrowRect(true);
        return bar.clientToScreen({(r.l + r.r) / 2, (r.t + r.b) / 2});
    }
    size_t EventCount() const
    {
        size_t n = 0;
        for (SWevent* e = sample->world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
            ++n;
        return n;
    }
    bool EventExists(const SWevent* event) const
    {
        for (SWevent* e = sample->world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
            if (e == event)
                return true;
        return false;
    }
    pf::Point Between(const MapObject& a, const MapObject& b) const
    {
        const pf::Point p = Centre(a);
        const pf::Point q = Centre(b);
        return {(p.x + q.x) / 2, (p.y + q.y) / 2};
    }
    uint32_t PenColour(EnginePen pen) const { return pf::pixelFromColorRef(engine->GetPen(pen).color); }
    void RightClickAndChoose(const MapObject& o, uint32_t command)
    {
        sim().expectMenu(command);
        sim().click(Centre(o), pf::InputEvent::Button::kRight);
        sim().pump();
    }
    // The flags a popup showed for an item, the last time one opened.
    uint32_t ShownState(uint32_t id)
    {
        const pf::MenuCall& call = Menus().calls().back();
        for (const pf::MenuItem& item : call.items)
            if (item.id == id)
                return item.flags;
        return 0xFFFFFFFFu;
    }
    bool ShownEnabled(const MapObject& o, uint32_t id)
    {
        const size_t shown = Menus().calls().size();
        RightClickAndChoose(o, 0);
        EXPECT_EQ(Menus().calls().size(), shown + 1) << "no popup for the object";
        return (ShownState(id) & pf::MF_GRAYED) == 0;
    }
    // The one open editor of object, or null.
    pf::Window* EditorOf(const void* object) const
    {
        for (const auto& record : app->GetEditDialogs())
            if (record->object == object)
                return record->dialog;
        return nullptr;
    }
    // The item of a picker list whose text starts with name.
    static int32_t ItemNamed(pf::ListBox& list, const std::string& name)
    {
        for (int32_t i = 0; i < list.getCount(); ++i)
            if (list.getText(i).rfind(name, 0) == 0)
                return i;
        return -1;
    }
    void PickAndAccept(pf::Dialog& d, const std::string& name)
    {
        auto* offered = d.item<pf::ListBox>(PickerControl::kOffered);
        const int32_t index = ItemNamed(*offered, name);
        ASSERT_GE(index, 0) << name;
        sim().selectListItem(*offered, index);
        sim().click(*d.item<pf::Window>(PickerControl::kAdd));
        sim().click(*d.item<pf::Window>(pf::IDOK));
    }
};

TEST_F(EventMapWindow, StructureListStatusToolBarAndTitles)
{
    CChildEventMapView& view = frame->View();
    pf::ListView* list = view.EventList();
    ASSERT_NE(list, nullptr);
    const std::vector<uint32_t> order = {0, 1, 2, 4, 5, 7, 6, 16, 17, 19, 20, 3};
    ASSERT_EQ(list->getItemCount(), 12);
    for (int32_t i = 0; i < 12; ++i) {
        EXPECT_EQ(static_cast<uint32_t>(list->getItemData(i)), order[static_cast<size_t>(i)]);
        EXPECT_EQ(list->getItemImage(i), CEditorEngine::EventTypeIcon(order[static_cast<size_t>(i)]));
    }
    EXPECT_EQ(frame->Status()->paneText(2), "X: 0");
    EXPECT_EQ(frame->Status()->paneText(3), "Y: 0");
    EXPECT_TRUE(frame->Tools()->isButtonChecked(kShowList));
    EXPECT_EQ(pf::screenPixel(OnCanvas(200, 300)), 0xFFFFFFu); // the map's background
    EXPECT_NE(view.child(EventMapControl::kHiddenEdit), nullptr);
    EXPECT_FALSE(view.child(EventMapControl::kHiddenEdit)->isVisible());
    auto* second = dynamic_cast<CChildEventMapFrame*>(app->OpenEventMapWindow());
    ASSERT_NE(second, nullptr);
    EXPECT_NE(frame->text(), second->text());
    EXPECT_EQ(second->text().back(), '2');
}

// Objects the window places itself stand in rows spaced by their drawn width, names included.
TEST_F(EventMapWindow, PlacedObjectsKeepTheirNamesApart)
{
    for (SWevent* event : {sample->click, sample->timer, sample->key})
        EventObject(event);
    for (SWnode* node : {sample->object, sample->mesh})
        engine->AddNode(node);
    canvas->RedrawMap();
    pf::MemoryDc dc;
    dc.selectObject(pf::getStockObject(pf::DEFAULT_GUI_FONT));
    std::vector<std::pair<pf::Point, int32_t>> drawn; // top-left, right edge of icon or name
    for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o)) {
        ASSERT_TRUE(o->IsPlaced());
        const int32_t name = static_cast<int32_t>(dc.getTextExtent(o->ShownLabel(*engine)).cx);
        drawn.push_back({{o->x, o->y}, o->x + std::max(o->width, name)});
    }
    ASSERT_GE(drawn.size(), 5u);
    std::sort(drawn.begin(), drawn.end(), [](const auto& a, const auto& b) {
        return a.first.y != b.first.y ? a.first.y < b.first.y : a.first.x < b.first.x;
    });
    for (size_t i = 1; i < drawn.size(); ++i) {
        if (drawn[i].first.y != drawn[i - 1].first.y)
            continue; // a new row
        EXPECT_GT(drawn[i].first.x, drawn[i - 1].second) << "object " << i << " of its row";
    }
}

// A long name ran under the names beside it and was cut inside a character where the map ended.
TEST_F(EventMapWindow, ALongNameShowsItsFirstCharactersWhole)
{
    std::string name;
    for (int i = 0; i < 40; ++i)
        name += "\u00e9";
    sample->timer->SetName(std::string(name));
    MapObject* object = EventObject(sample->timer);
    EXPECT_EQ(object->ShownLabel(*engine), name.substr(0, 64) + "...");
    sample->timer->SetName(name.substr(0, 64));
    EXPECT_EQ(object->ShownLabel(*engine), name.substr(0, 64)) << "32 characters show whole";
}

// The rows the window places objects in pass over what objects placed otherwise draw, names included: an event of
// a long name put where the rows go on keeps its name clear of the objects placed after it.
TEST_F(EventMapWindow, RowsPassOverObjectsPlacedOtherwise)
{
    canvas->RedrawMap(); // what the window shows from the start is placed
    sample->timer->SetName(std::string("an event put where the rows go on, of a long name"));
    Place(EventObject(sample->timer), engine->placementCursor.x, engine->placementCursor.y);
    for (SWnode* node : {sample->object, sample->mesh, sample->otherObject})
        engine->AddNode(node);
    canvas->RedrawMap();
    pf::MemoryDc dc;
    dc.selectObject(pf::getStockObject(pf::DEFAULT_GUI_FONT));
    std::vector<pf::Rect> drawn;
    for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o)) {
        ASSERT_TRUE(o->IsPlaced());
        const std::string label = o->ShownLabel(*engine);
        const pf::Size name = label.empty() ? pf::Size{} : dc.getTextExtent(label);
        drawn.push_back({o->x, o->y, o->x + std::max(o->width, name.cx), o->y + o->height + name.cy});
    }
    ASSERT_GE(drawn.size(), 4u);
    for (size_t i = 0; i < drawn.size(); ++i)
        for (size_t j = i + 1; j < drawn.size(); ++j)
            EXPECT_FALSE(drawn[i].intersects(drawn[j])) << i << " and " << j;
}

// Links run centre to centre in the event pens, the selected ones while the event is selected, which marks what it
// names; a stop queue joins the queue it lists. Every target is found without a search of the world's tree.
TEST_F(EventMapWindow, PaintJoinsLinksInTheirPensWithoutSearchingTheTree)
{
    MapObject* click = EventObject(sample->click);
    MapObject* timer = EventObject(sample->timer);
    for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o))
        Place(o, 2000, 2000);
    MapObject* button = Place(engine->FindNodeObject(sample->hotspot), 300, 100);
    Place(click, 100, 100);
    Place(timer, 100, 500);
    MapObject* stop = Place(engine->FindActionObject(sample->stopQueue), 100, 300);
    MapObject* queue = Place(engine->FindActionObject(sample->queue), 300, 300);
    static_cast<SWstopsequencenode*>(sample->stopQueue)->AddId(sample->queue->GetActionId());
    const uint64_t searches = SWnode::TreeSearchCount();
    canvas->RedrawMap();
    EXPECT_EQ(SWnode::TreeSearchCount(), searches);
    EXPECT_EQ(pf::screenPixel(Between(*click, *button)), PenColour(EnginePen::kEventLink));
    EXPECT_EQ(pf::screenPixel(Between(*stop, *queue)), PenColour(EnginePen::kActionLink));
    EXPECT_EQ(button->marked, 0);
    engine->Selection().Add(click);
    engine->Selection().Add(timer);
    canvas->RedrawMap();
    EXPECT_EQ(pf::screenPixel(Between(*click, *button)), PenColour(EnginePen::kSelectedEventLink));
    EXPECT_EQ(pf::screenPixel(Between(*stop, *queue)), PenColour(EnginePen::kSelectedActionLink));
    EXPECT_EQ(button->marked, 1);
    EXPECT_EQ(SWnode::TreeSearchCount(), searches);
    // A link to an object far below the canvas still shows where it crosses the canvas.
    Place(button, 100, 3000);
    canvas->RedrawMap();
    EXPECT_EQ(pf::screenPixel({Centre(*click).x, Centre(*click).y + 84}), PenColour(EnginePen::kSelectedEventLink));
}

// A sound action that acts on what fired a sound-finished event joins the sounds the event names, the ones the
// engine put on the map with the event, as it does when a project brings the event; a node action there has no node
// to join, and the engine puts none.
TEST_F(EventMapWindow, ActionsOnTheFinishedSoundsJoinTheSoundsTheEventNames)
{
    SWevent* chimed = sample->world.AddEventOfType(17);
    chimed->AddSoundName(sample->otherSound->GetName());
    SWactionnode* play = sample->AddAction(*chimed, 7);
    SWactionnode* show = sample->AddAction(*chimed, 21);
    for (SWactionnode* action : {play, show})
        action->SetTargetIsTrigger(1);
    const auto count = [&] {
        size_t n = 0;
        for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o))
            ++n;
        return n;
    };
    const size_t before = count();
    MapObject* event = engine->AddEvent(chimed);
    EXPECT_EQ(count(), before + 4); // the event, its two actions and its sound: no node
    for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o))
        Place(o, 2000, 2000);
    MapObject* bell = engine->FindSoundObject(sample->otherSound);
    ASSERT_NE(bell, nullptr);
    Place(event, 100, 100);
    Place(bell, 300, 100);
    MapObject* playing = Place(engine->FindActionObject(play), 100, 300);
    MapObject* showing = Place(engine->FindActionObject(show), 500, 300);
    canvas->RedrawMap();
    EXPECT_EQ(pf::screenPixel(Between(*event, *bell)), PenColour(EnginePen::kEventLink));
    EXPECT_EQ(pf::screenPixel(Between(*playing, *bell)), PenColour(EnginePen::kActionLink));
    EXPECT_EQ(pf::screenPixel(Between(*showing, *bell)), 0xFFFFFFu);
}

// A node dragged onto an action shows its link at once, and a second drop takes it away at once: the map never
// shows a target the action no longer has.
TEST_F(EventMapWindow, ANodeDroppedOnAnActionShowsOrDropsItsLinkAtOnce)
{
    SWactionnode* show = sample->AddAction(*sample->key, 21);
    MapObject* action = Place(engine->AddAction(show), 100, 300);
    MapObject* node = Place(engine->AddNode(sample->otherObject), 400, 300);
    const pf::Point link = Between(*action, *node);
    ASSERT_EQ(pf::screenPixel(link), 0xFFFFFFu);
    sim().drag(Centre(*node), Centre(*action), 3);
    sim().pump();
    ASSERT_EQ(show->GetArguments().Count(), 1u);
    EXPECT_EQ(pf::screenPixel(link), PenColour(EnginePen::kActionLink));
    sim().advance(1000); // the next press is not a double click
    sim().drag(Centre(*node), Centre(*action), 3);
    sim().pump();
    EXPECT_EQ(show->GetArguments().Count(), 0u);
    EXPECT_EQ(pf::screenPixel(link), 0xFFFFFFu);
    EXPECT_TRUE(pf::screen().isOverlayClear());
}

TEST_F(EventMapWindow, NewWindowOwnsTheMapAndClosingLeavesIt)
{
    MapObject* object = Place(engine->AddSound(sample->sound), 50, 50);
    const size_t receptors = engine->CountReceptors();
    auto* second = dynamic_cast<CChildEventMapFrame*>(app->OpenEventMapWindow());
    ASSERT_NE(second, nullptr);
    CVTND_EventMap* other = second->GetEventMap();
    EXPECT_TRUE(object->OwnsWindow(other));
    EXPECT_EQ(engine->CountReceptors(), receptors + 1);
    second->send(pf::WM_CLOSE, 0, 0);
    sim().pump();
    EXPECT_TRUE(engine->HoldsDroppable(object));
    EXPECT_EQ(engine->CountReceptors(), receptors);
}

TEST_F(EventMapWindow, EventTypeDraggedFromTheListMakesAnEventWhereItDrops)
{
    pf::ListView* list = frame->View().EventList();
    const size_t before = EventCount();
    for (const pf::Point to : {OnCanvas(300, 200), OnCanvas(420, 260)}) {
        ASSERT_TRUE(sim().beginListDrag(*list, 3, to)); // "timer", type 4
        sim().mouseMove(to);
        sim().mouseUp(to);
        sim().pump();
        EXPECT_TRUE(pf::screen().isOverlayClear());
        sim().advance(1000); // the next press is not a double click
    }
    ASSERT_EQ(EventCount(), before + 2) << engine->IsDragging();
    std::vector<SWevent*> made;
    for (SWevent* e = sample->world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
        if (e != sample->timer && e->GetType() == 4)
            made.push_back(e);
    ASSERT_EQ(made.size(), 2u);
    EXPECT_NE(made[0]->GetName(), made[1]->GetName());
    const MapObject* first = engine->FindEventObject(made[0]);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->x + first->width / 2, 300);
    EXPECT_EQ(first->y + first->height / 2, 200);
    EXPECT_TRUE(pf::screen().isOverlayClear());

    // A drag that ends over the list itself makes nothing.
    ASSERT_TRUE(sim().beginListDrag(*list, 3, list->clientToScreen({30, 200})));
    sim().mouseUp(list->clientToScreen({30, 200}));
    sim().pump();
    EXPECT_EQ(EventCount(), before + 2);
}

TEST_F(EventMapWindow, ClickCtrlAndRubberBandSelect)
{
    MapObject* a = Place(engine->AddSound(sample->sound), 100, 100);
    MapObject* b = Place(engine->AddSound(sample->otherSound), 200, 100);
    MapObject* c = Place(engine->AddKind1000(sample->cursor), 300, 100);
    sim().click(Centre(*a));
    EXPECT_TRUE(engine->Selection().Contains(a) && engine->Selection().IsSingle());
    sim().keyDown(pf::VK_CONTROL);
    sim().click(Centre(*b));
    sim().click(Centre(*a));
    sim().keyUp(pf::VK_CONTROL);
    EXPECT_TRUE(engine->Selection().Contains(b) && engine->Selection().IsSingle());

    // The band takes only what lies strictly inside: c touches its right edge.
    const auto before = pf::captureScreen(canvas->screenRect());
    sim().mouseDown(OnCanvas(90, 90));
    sim().mouseMove(OnCanvas(200, 150));
    EXPECT_TRUE(canvas->IsBanding());
    sim().mouseMove(OnCanvas(300 + c->width - 1, 150));
    sim().mouseUp(OnCanvas(300 + c->width - 1, 150));
    sim().pump();
    EXPECT_TRUE(engine->Selection().Contains(a));
    EXPECT_TRUE(engine->Selection().Contains(b));
    EXPECT_FALSE(engine->Selection().Contains(c));
    EXPECT_TRUE(pf::screen().isOverlayClear());
}

// The band is drawn by exclusive-or: a click on empty space (a band of no size) and a band repainted under it while
// it shows both leave the map as a repaint draws it.
TEST_F(EventMapWindow, ABandLeavesNoPixelBehindAfterAClickOrARepaint)
{
    const pf::Rect area = canvas->screenRect();
    for (const pf::Point end : {pf::Point{300, 250}, pf::Point{360, 310}}) {
        SCOPED_TRACE(end.x);
        sim().mouseDown(OnCanvas(300, 250));
        sim().mouseMove(OnCanvas(end.x, end.y));
        ASSERT_TRUE(canvas->IsBanding());
        canvas->invalidate();
        sim().pump();
        sim().mouseUp(OnCanvas(end.x, end.y));
        sim().pump();
        const std::unique_ptr<pf::Surface32> shown = pf::captureScreen(area);
        canvas->invalidate();
        sim().pump();
        EXPECT_EQ(pf::compareSurfaces(*shown, *pf::captureScreen(area), 0).differing, 0);
    }
}

// The palette of event types is taller than the window shows: its own scroll bar brings the last label whole into
// view, so no type is left cut at the bottom edge.
TEST_F(EventMapWindow, ThePalettesOwnBarBringsItsLastLabelWholeIntoView)
{
    pf::ListView& palette = *frame->View().EventList();
    const int32_t last = palette.getItemCount() - 1;
    ASSERT_GT(last, 0);
    const pf::Rect bar = palette.ownScrollBarRect(pf::SB_VERT);
    ASSERT_FALSE(bar.isEmpty());
    for (int32_t page = 0; page <= last; ++page)
        sim().click({palette.screenRect().l + (bar.l + bar.r) / 2, palette.screenRect().t + bar.b - 24});
    EXPECT_LE(palette.getItemRect(last, pf::LVIR_BOUNDS).b, palette.clientRect().b);
}

TEST_F(EventMapWindow, SecondPressWithinTheDoubleClickTimeOpensOnce)
{
    int opened = 0;
    static int* counter = nullptr;
    counter = &opened;
    const uint16_t action = static_cast<uint16_t>(ObjectType::kAction);
    const CVTND_EditorConstructor counting = [](const CVTND_EditorRequest&) -> pf::Window* {
        ++*counter;
        return nullptr;
    };
    const auto oldAny = CVTND_Registry::ReplaceEditor(action, kAnyActionKind, counting);
    const auto oldQueue = CVTND_Registry::ReplaceEditor(action, 30, counting);
    MapObject* queue = Place(engine->AddAction(sample->queue), 100, 100);
    MapObject* other = Place(engine->AddSound(sample->sound), 300, 100);
    sim().click(Centre(*queue));
    sim().advance(499);
    sim().click(Centre(*queue));
    EXPECT_EQ(opened, 1);
    sim().advance(1000);
    sim().click(Centre(*queue));
    sim().advance(500);
    sim().click(Centre(*queue));
    EXPECT_EQ(opened, 1);
    sim().advance(1000);
    sim().click(Centre(*other));
    sim().advance(100);
    sim().click(Centre(*queue)); // a second press on another object starts a new count
    EXPECT_EQ(opened, 1);
    CVTND_Registry::ReplaceEditor(action, kAnyActionKind, oldAny);
    CVTND_Registry::ReplaceEditor(action, 30, oldQueue);
}

TEST_F(EventMapWindow, EventMenuStatesAndFlips)
{
    MapObject* click = Place(EventObject(sample->click), 400, 300);
    sample->click->SetEnabled(true);
    RightClickAndChoose(*click, kInitiallyActive);
    ASSERT_FALSE(Menus().calls().empty());
    const pf::MenuCall& call = Menus().calls().back();
    const auto stateOf = [&](uint32_t id) {
        for (const pf::MenuItem& item : call.items)
            if (item.id == id)
                return item.flags;
        return 0xFFFFFFFFu;
    };
    EXPECT_NE(stateOf(kInitiallyActive) & pf::MF_CHECKED, 0u);
    EXPECT_EQ(stateOf(kEventParameters) & pf::MF_GRAYED, 0u);
    EXPECT_FALSE(sample->click->IsEnabled());
    ASSERT_GE(recorder->Count(4), 1u);
    EXPECT_EQ(recorder->Events().back().detail, 10u);
    EXPECT_EQ(recorder->Events().back().sender, canvas->hwnd());

    // Collapse twice: the nodes it folded come back; one folded into another event stays.
    MapObject* hotspot = engine->FindNodeObject(sample->hotspot);
    ASSERT_NE(hotspot, nullptr);
    RightClickAndChoose(*click, kCollapseInputs);
    EXPECT_EQ(hotspot->FoldOwner(), click);
    RightClickAndChoose(*click, kCollapseInputs);
    EXPECT_EQ(hotspot->FoldOwner(), nullptr);

    sim().expectMenu(kShowObjectNames);
    sim().click(OnCanvas(40, 200), pf::InputEvent::Button::kRight);
    sim().pump();
    EXPECT_FALSE(engine->showObjectNames);
}

TEST_F(EventMapWindow, RightClickDeleteTakesTheClickedEventNotTheSelection)
{
    MapObject* click = Place(EventObject(sample->click), 400, 300);
    MapObject* timer = Place(EventObject(sample->timer), 100, 300);
    engine->Selection().Add(timer);
    RightClickAndChoose(*click, kDeleteEvent);
    EXPECT_FALSE(EventExists(sample->click));
    EXPECT_TRUE(EventExists(sample->timer));
}

// A queue's members hang on it by its id: left behind when it went, they were hidden from the event (its editor's
// list, its time line, its run), yet stayed drawn on the map. They go with it, and off the map at once.
TEST_F(EventMapWindow, DeletingAQueueTakesItsActionsOffTheEventAndTheMapAtOnce)
{
    Place(EventObject(sample->timer), 100, 300);
    MapObject* member = engine->FindActionObject(sample->queueMembers[0]);
    ASSERT_NE(member, nullptr);
    Place(member, 300, 120);
    const pf::Point centre = Centre(*member);
    const pf::Rect drawn = pf::Rect::fromXywh(centre.x - member->width / 2, centre.y - member->height / 2,
                                              member->width, member->height); // the object goes with the action
    const auto inkAtMember = [&] {
        size_t ink = 0;
        for (int32_t y = drawn.t; y < drawn.b; ++y)
            for (int32_t x = drawn.l; x < drawn.r; ++x)
                ink += pf::screenPixel({x, y}) != 0xFFFFFFu ? 1 : 0;
        return ink;
    };
    ASSERT_GT(inkAtMember(), 0u);
    const size_t actions = sample->timer->CountActions();

    RightClickAndChoose(*engine->FindActionObject(sample->queue), kDeleteAction);
    EXPECT_EQ(sample->timer->CountActions(), actions - 1 - sample->queueMembers.size());
    for (const SWactionnode* gone : sample->queueMembers)
        EXPECT_EQ(engine->FindActionObject(gone), nullptr);
    EXPECT_EQ(inkAtMember(), 0u);
    EXPECT_NE(engine->FindActionObject(sample->stopQueue), nullptr); // no member: it stays
}

TEST_F(EventMapWindow, DeletingAnEventShowsItsFoldedInputsAgain)
{
    MapObject* click = Place(EventObject(sample->click), 400, 300);
    MapObject* hotspot = engine->FindNodeObject(sample->hotspot);
    ASSERT_NE(hotspot, nullptr);
    RightClickAndChoose(*click, kCollapseInputs);
    ASSERT_EQ(hotspot->FoldOwner(), click);
    RightClickAndChoose(*click, kDeleteEvent);
    ASSERT_FALSE(EventExists(sample->click));
    EXPECT_EQ(hotspot->FoldOwner(), nullptr); // drawn again, and saved unfolded
}

TEST_F(EventMapWindow, DeleteKeyOnAnEventWithItsActionTouchesNoFreedMemory)
{
    MapObject* timer = Place(EventObject(sample->timer), 100, 300);
    engine->Selection().Add(timer);
    engine->Selection().Add(engine->FindActionObject(sample->queue));
    Boxes().expect(pf::IDYES);
    sim().click(Centre(*engine->FindActionObject(sample->condition))); // focus to the hidden edit
    engine->Selection().DeleteAll();
    engine->Selection().Add(timer);
    engine->Selection().Add(engine->FindActionObject(sample->queue));
    KeyUpOnCanvas(pf::VK_DELETE);
    EXPECT_FALSE(EventExists(sample->timer));
    EXPECT_EQ(Boxes().calls().size(), 1u);
    EXPECT_EQ(Boxes().calls().back().caption, "Delete");
    EXPECT_EQ(Boxes().calls().back().flags, static_cast<uint32_t>(pf::MB_YESNO | pf::MB_ICONEXCLAMATION));
}

TEST_F(EventMapWindow, DeleteKeyAsksForOneActionAndRemovesUnusedNodesQuietly)
{
    MapObject* used = Place(engine->AddNode(sample->hotspot), 100, 100); // named by the click event
    sim().click(Centre(*used));
    KeyUpOnCanvas(pf::VK_DELETE);
    EXPECT_TRUE(engine->HoldsDroppable(used));
    MapObject* unused = Place(engine->AddNode(sample->particles), 300, 100);
    sim().click(Centre(*unused));
    KeyUpOnCanvas(pf::VK_DELETE);
    EXPECT_EQ(engine->FindNodeObject(sample->particles), nullptr);
    EXPECT_TRUE(Boxes().calls().empty());

    MapObject* action = Place(engine->AddAction(sample->stopQueue), 500, 100);
    sim().click(Centre(*action));
    Boxes().expect(pf::IDNO);
    KeyUpOnCanvas(pf::VK_DELETE);
    EXPECT_EQ(Boxes().calls().size(), 1u);
    EXPECT_NE(engine->FindActionObject(sample->stopQueue), nullptr);
}

// With auto-remove on, the map's deletions take off the map what only the deleted action or event named, at once;
// what other events still name stays. Off, everything stays.
TEST_F(EventMapWindow, DeletionsRemoveWhatOnlyTheyNamedWhenAutoRemoveIsOn)
{
    SWactionnode* show = sample->AddAction(*sample->key, 21);
    show->AddArgument("object1", SWdatanode::kString, true);
    MapObject* action = Place(engine->AddAction(show), 100, 300);
    MapObject* node = Place(engine->AddNode(sample->otherObject), 400, 300);
    Place(engine->AddNode(sample->hotspot), 400, 100); // the click event names it
    const pf::Point nodeCentre = Centre(*node);
    ASSERT_NE(pf::screenPixel(nodeCentre), 0xFFFFFFu);
    engine->autoRemove = true;
    RightClickAndChoose(*action, kDeleteAction);
    EXPECT_EQ(sample->key->CountActions(), 0u);
    EXPECT_EQ(engine->FindNodeObject(sample->otherObject), nullptr);
    EXPECT_NE(engine->FindNodeObject(sample->hotspot), nullptr);
    EXPECT_EQ(pf::screenPixel(nodeCentre), 0xFFFFFFu);

    // The Delete key on an event: its own action's node goes with it, unless auto-remove is off.
    for (const bool autoRemove : {false, true}) {
        SWevent* event = sample->world.AddEventOfType(4);
        sample->AddAction(*event, 21)->AddArgument("object1", SWdatanode::kString, true);
        MapObject* shown = Place(engine->AddEvent(event), 100, 100);
        ASSERT_NE(engine->FindNodeObject(sample->otherObject), nullptr);
        engine->autoRemove = autoRemove;
        sim().advance(1000);
        sim().click(Centre(*shown));
        Boxes().expect(pf::IDYES);
        KeyUpOnCanvas(pf::VK_DELETE);
        EXPECT_EQ(engine->FindNodeObject(sample->otherObject) == nullptr, autoRemove);
    }
}

TEST_F(EventMapWindow, RemoveFromMapKeepsEventsOnTheMap)
{
    MapObject* timer = Place(EventObject(sample->timer), 100, 300);
    MapObject* cursor = Place(engine->AddKind1000(sample->cursor), 300, 300);
    engine->Selection().Add(timer);
    engine->Selection().Add(cursor);
    RightClickAndChoose(*cursor, kRemoveFromMap);
    EXPECT_EQ(engine->FindEventObject(sample->timer), timer);
    EXPECT_EQ(engine->FindKind1000Object(sample->cursor), nullptr);
}

TEST_F(EventMapWindow, AlignAndSpace)
{
    MapObject* a = Place(engine->AddSound(sample->sound), 100, 100);
    MapObject* b = Place(engine->AddSound(sample->otherSound), 200, 150);
    MapObject* c = Place(engine->AddKind1000(sample->cursor), 210, 220);
    engine->Selection().Add(a);
    canvas->RunCommand(kAlignX);
    EXPECT_EQ(a->x, 100); // one selected: nothing
    engine->Selection().Add(b);
    engine->Selection().Add(c); // the reference, 10 from its neighbour b
    canvas->RunCommand(kSpaceHorizontally);
    EXPECT_EQ(a->x, 100);
    EXPECT_EQ(b->x, 140);
    EXPECT_EQ(c->x, 180);
    canvas->RunCommand(kAlignY);
    EXPECT_EQ(a->y, 220);
    EXPECT_EQ(b->y, 220);
    canvas->RunCommand(kSpaceVertically); // the reference on its neighbour's coordinate: all stack
    EXPECT_EQ(a->y, 220);
    EXPECT_EQ(c->y, 220);
}

TEST_F(EventMapWindow, ScrollBarsMoveTheOriginWithinTheirRange)
{
    canvas->ScrollTo({40, 25});
    EXPECT_EQ(canvas->GetScrollOrigin(), (pf::Point{40, 25}));
    EXPECT_EQ(frame->View().Bar(false)->position(), 40);
    pf::ScrollBar* vertical = frame->View().Bar(true);
    sim().click(ArrowCentre(*vertical));
    EXPECT_EQ(canvas->GetScrollOrigin().y, 24);
    canvas->ScrollTo({0, 0});
    sim().click(ArrowCentre(*vertical));
    EXPECT_EQ(canvas->GetScrollOrigin().y, 0);
    EXPECT_NE(frame->Status()->paneText(1).find("Y: 0"), std::string::npos);

    auto* second = dynamic_cast<CChildEventMapFrame*>(app->OpenEventMapWindow());
    ASSERT_NE(second, nullptr);
    second->GetEventMap()->ScrollTo({100, 0});
    EXPECT_EQ(canvas->GetScrollOrigin().x, 0);
}

// A map that reaches past the bars' first range widens them until its furthest object can be scrolled into view,
// and a stored origin past that range is restored whole.
TEST_F(EventMapWindow, TheBarsReachTheFurthestObjectOfALargeMap)
{
    pf::ScrollBar* vertical = frame->View().Bar(true);
    canvas->RedrawMap();
    EXPECT_EQ(vertical->scrollInfo().nMax, 5000) << "a small map keeps the first range";
    MapObject* far = Place(EventObject(sample->timer), 40, 20000);
    canvas->RedrawMap();
    const int32_t last = vertical->scrollInfo().nMax;
    EXPECT_GE(last + static_cast<int32_t>(canvas->clientRect().height()), 20000 + far->height);
    canvas->ScrollTo({0, last});
    EXPECT_EQ(canvas->GetScrollOrigin().y, last);
    const CVTND_Rgb paper = engine->Colour(EngineSetting::kMapColour);
    const pf::Point centre = Centre(*far);
    int drawn = 0;
    for (int32_t dy = -8; dy <= 8; ++dy)
        for (int32_t dx = -8; dx <= 8; ++dx)
            drawn += pf::screenPixel({centre.x + dx, centre.y + dy}) !=
                     pf::pixelFromColorRef(pf::rgb(paper.r, paper.g, paper.b));
    EXPECT_GT(drawn, 0) << "the furthest object is drawn where it was scrolled to";
    sim().click(ArrowCentre(*vertical));
    EXPECT_EQ(canvas->GetScrollOrigin().y, last - 1);
    // Past 32767, where a scroll message's 16 bits end, the thumb is dragged to the top and back to the bottom.
    Place(far, 40, 90000);
    const auto thumbCentre = [&] {
        const pf::Rect t = vertical->thumbRect();
        return vertical->clientToScreen({(t.l + t.r) / 2, (t.t + t.b) / 2});
    };
    sim().drag(thumbCentre(), {thumbCentre().x, vertical->clientToScreen({0, -200}).y}, 4);
    EXPECT_EQ(canvas->GetScrollOrigin().y, 0);
    sim().drag(thumbCentre(), {thumbCentre().x, vertical->clientToScreen({0, 5000}).y}, 4);
    EXPECT_GT(canvas->GetScrollOrigin().y, 90000 - static_cast<int32_t>(canvas->clientRect().height()));
    EXPECT_EQ(canvas->GetScrollOrigin().y, vertical->position());

    // The wheel over the map moves it by rows, not by the bars' one-pixel lines, and stops at the top.
    canvas->ScrollTo({0, 1000});
    sim().wheel(OnCanvas(200, 200), -2);
    EXPECT_EQ(canvas->GetScrollOrigin().y, 1096);
    EXPECT_EQ(vertical->position(), 1096);
    sim().wheel(OnCanvas(200, 200), 30);
    EXPECT_EQ(canvas->GetScrollOrigin().y, 0);

    auto* second = dynamic_cast<CChildEventMapFrame*>(app->OpenEventMapWindow());
    ASSERT_NE(second, nullptr);
    second->GetEventMap()->ScrollTo({0, 12000});
    EXPECT_EQ(second->GetEventMap()->GetScrollOrigin().y, 12000);
}

TEST_F(EventMapWindow, ShowingAndHidingTheListMovesTheCanvasBack)
{
    const pf::Rect before = canvas->windowRect();
    frame->send(pf::WM_COMMAND, kShowList, 0);
    EXPECT_FALSE(frame->View().IsListShown());
    EXPECT_FALSE(frame->Tools()->isButtonChecked(kShowList));
    EXPECT_LT(canvas->windowRect().l, before.l);
    canvas->RedrawMap(); // drawn before the view repaints where the list was: the view must not paint over it
    sim().pump();
    EXPECT_EQ(pf::screenPixel(OnCanvas(200, 300)), 0xFFFFFFu);
    frame->send(pf::WM_COMMAND, kShowList, 0);
    EXPECT_EQ(canvas->windowRect(), before);
}

// The event popup's commands that flip, rename, pick and open, each through the menu as a person chooses it.
TEST_F(EventMapWindow, EventCommandsResetRenamePickEditAndOpenTheTimeLine)
{
    CChildEventTimelineFrame::RegisterWindowClass(ui());
    MapObject* rang = Place(EventObject(sample->soundDone), 400, 300);
    const uint8_t reset = sample->soundDone->GetFlag();
    recorder->Clear();
    RightClickAndChoose(*rang, kAutoReset);
    EXPECT_EQ(sample->soundDone->GetFlag(), reset != 0 ? 0 : 1);
    ASSERT_EQ(recorder->Count(4), 1u);
    EXPECT_EQ(recorder->Events().back().detail, 9u);
    RightClickAndChoose(*rang, 0);
    EXPECT_EQ(ShownState(kAutoReset) & pf::MF_CHECKED, reset != 0 ? 0u : pf::MF_CHECKED);

    std::string proposed;
    sim().onModal(kIddRename, [&](pf::Dialog& d) {
        proposed = d.child(RenameControl::kNewName)->text();
        sim().replaceText(*d.child(RenameControl::kNewName), "chimed");
        sim().click(*d.child(pf::IDOK));
    });
    RightClickAndChoose(*rang, kRename);
    EXPECT_EQ(proposed, "rang");
    EXPECT_EQ(sample->soundDone->GetName(), std::optional<std::string>("chimed"));

    // Parameters of a sound-finished event: the bell joins its sounds and the map.
    sim().onModal(kIddMultipleSelect, [&](pf::Dialog& d) { PickAndAccept(d, "bell"); });
    RightClickAndChoose(*rang, kEventParameters);
    ASSERT_NE(sample->soundDone->GetSoundList(), nullptr);
    EXPECT_EQ(sample->soundDone->GetSoundList()->Count(), 2u);
    EXPECT_NE(engine->FindSoundObject(sample->otherSound), nullptr);

    RightClickAndChoose(*rang, kEditEvent);
    auto* editor = dynamic_cast<CVTND_EventEditDlg*>(EditorOf(sample->soundDone));
    ASSERT_NE(editor, nullptr);
    sim().click(*editor->child(pf::IDCANCEL)); // it opened at the mouse, over the event

    RightClickAndChoose(*rang, kEditTimeline);
    size_t timelines = 0;
    for (pf::MdiChild* child : mainFrame->mdiClient()->childFrames())
        if (auto* t = dynamic_cast<CChildEventTimelineFrame*>(child); t != nullptr && t->Event() == sample->soundDone)
            ++timelines;
    EXPECT_EQ(timelines, 1u);
}

// Action popup: Parameters picks the action's targets and shows them, Details opens its editor; the object popup's
// Details opens the content's editor. Each item is offered only where it acts.
TEST_F(EventMapWindow, ActionAndObjectPopupsOfferWhatActsAndRunIt)
{
    SWactionnode* show = sample->AddAction(*sample->key, 21);
    MapObject* action = Place(engine->AddAction(show), 100, 300);
    EXPECT_TRUE(ShownEnabled(*action, kActionParameters));
    EXPECT_TRUE(ShownEnabled(*action, kActionDetails));
    const std::string meshName = *sample->mesh->GetName();
    sim().onModal(kIddMultipleSelect, [&](pf::Dialog& d) { PickAndAccept(d, meshName); });
    RightClickAndChoose(*action, kActionParameters);
    ASSERT_EQ(show->GetArguments().Count(), 1u);
    EXPECT_EQ(static_cast<SWdatanode*>(show->GetArguments().Head())->GetText(), meshName);
    EXPECT_NE(engine->FindNodeObject(sample->mesh), nullptr);
    RightClickAndChoose(*action, kActionDetails);
    pf::Window* details = EditorOf(show);
    ASSERT_NE(details, nullptr);
    sim().click(*details->child(pf::IDOK)); // it opened at the mouse, over the map

    MapObject* queue = Place(engine->AddAction(sample->queue), 200, 300);    // no targets, a details editor
    MapObject* stop = Place(engine->AddAction(sample->stopQueue), 300, 300); // targets, no details
    EXPECT_FALSE(ShownEnabled(*queue, kActionParameters));
    EXPECT_TRUE(ShownEnabled(*queue, kActionDetails));
    EXPECT_TRUE(ShownEnabled(*stop, kActionParameters));
    EXPECT_FALSE(ShownEnabled(*stop, kActionDetails));
    for (const int32_t kind : {0, 2, 17, 18, 23, 26, 36, 57, 64}) { // targets or none, but no editor
        MapObject* bare = Place(engine->AddAction(sample->AddAction(*sample->key, kind)), 400, 300);
        EXPECT_FALSE(ShownEnabled(*bare, kActionDetails)) << kind;
        Place(bare, 4000, 4000); // out of the next one's way
    }

    MapObject* mesh = Place(engine->FindNodeObject(sample->mesh), 100, 100); // the show action names it now
    MapObject* sparks = Place(engine->AddNode(sample->particles), 200, 100);
    MapObject* half = Place(engine->AddExpression(sample->otherExpression), 300, 100);
    EXPECT_TRUE(ShownEnabled(*mesh, kGetIcon));
    EXPECT_FALSE(ShownEnabled(*mesh, kObjectDetails));
    EXPECT_FALSE(ShownEnabled(*mesh, kRemoveFromMap));
    EXPECT_FALSE(ShownEnabled(*sparks, kGetIcon));
    EXPECT_TRUE(ShownEnabled(*sparks, kObjectDetails));
    EXPECT_TRUE(ShownEnabled(*sparks, kRemoveFromMap));
    EXPECT_FALSE(ShownEnabled(*half, kGetIcon));
    EXPECT_TRUE(ShownEnabled(*half, kObjectDetails));
    RightClickAndChoose(*half, kObjectDetails);
    EXPECT_NE(dynamic_cast<CVTND_ExpressionEditorDlg*>(EditorOf(sample->otherExpression)), nullptr);
}

// The empty map's "show event names" hides and shows the names under the events.
TEST_F(EventMapWindow, ShowEventNamesHidesAndShowsTheNames)
{
    MapObject* rang = Place(EventObject(sample->soundDone), 300, 300);
    canvas->RedrawMap();
    const pf::Point below = canvas->clientToScreen(
        {rang->x - canvas->GetScrollOrigin().x, rang->y + rang->height - canvas->GetScrollOrigin().y});
    const pf::Rect label = pf::Rect::fromXywh(below.x, below.y, 60, 16);
    const auto named = pf::captureScreen(label);
    for (const bool shown : {false, true}) {
        sim().expectMenu(kShowEventNames);
        sim().click(OnCanvas(40, 200), pf::InputEvent::Button::kRight);
        sim().pump();
        EXPECT_EQ(engine->showEventNames, shown);
        EXPECT_EQ(ShownState(kShowEventNames) & pf::MF_CHECKED, shown ? 0u : pf::MF_CHECKED); // as it was
        EXPECT_EQ(pf::compareSurfaces(*named, *pf::captureScreen(label), 0).differing == 0, shown);
    }
}

} // namespace
} // namespace eventedittest
