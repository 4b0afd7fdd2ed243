#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/editing/event_lookups.h"
#include "designer/eventedit/tests/eventedit_fixture.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/core/cursor_list.h"
#include "engine/core/data_node.h"
#include "engine/core/java_class_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/resources/material.h"
#include "engine/resources/sound.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/image_list.h"
#include "platform/gfx/memory_dc.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/core/ui.h"

namespace eventedittest {
namespace {

using DropRules = EventEditFixture;

std::vector<std::string> TextArguments(const SWactionnode& action)
{
    std::vector<std::string> texts;
    for (SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next())
        texts.emplace_back(static_cast<const SWdatanode*>(n)->GetText() ? static_cast<SWdatanode*>(n)->GetText() : "");
    return texts;
}

std::vector<std::string> Names(const SWlist* list)
{
    std::vector<std::string> names;
    for (SWlistnode* n = list != nullptr ? list->Head() : nullptr; n != nullptr; n = n->Next())
        names.push_back(*static_cast<SWnameentry*>(n)->name);
    return names;
}

TEST_F(DropRules, AnActionKindOnAnEventMakesAnActionPlacedClearAndAnnounced)
{
    MapObject* event = Place(engine->AddEvent(sample->key), 300, 200);
    MapObject* near = Place(engine->AddSound(sample->sound), 364, 200); // the first candidate spot is taken
    DragFromPalette({Item(EdKind::kActionKind, sample->Kind(23))}, {canvas->CentreOf(*event)});
    SWactionnode* made = sample->key->GetFirstAction();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetKindId(), 23);
    EXPECT_TRUE(made->IsTopLevel());
    ASSERT_EQ(made->GetArguments().Count(), 1u);
    EXPECT_EQ(*static_cast<const uint8_t*>(static_cast<SWdatanode*>(made->GetArguments().Head())->GetData(2)), 1);
    MapObject* shown = engine->FindActionObject(made);
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->IsPlaced());
    EXPECT_NE((pf::Point{shown->x, shown->y}), (pf::Point{near->x - 8, near->y + 8}));
    for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o)) {
        if (o != shown && o->IsPlaced()) {
            EXPECT_FALSE(pf::Rect::fromXywh(o->x, o->y, o->width + 1, o->height + 1).contains({shown->x, shown->y}));
        }
    }
    ASSERT_EQ(recorder->Events().size(), 1u);
    const designertest::RecordedEvent& created = recorder->Events()[0];
    EXPECT_EQ(created.code, 1u);
    EXPECT_EQ(created.subject, CVTND_Object(made));
    EXPECT_EQ(created.related[0], CVTND_Object(sample->key));
    EXPECT_TRUE(pf::screen().isOverlayClear());
}

TEST_F(DropRules, AJavaMethodBecomesACallbackNamedByItsClassFile)
{
    MapObject* event = Place(engine->AddEvent(sample->key), 300, 200);
    const struct {
        const char* path;
        const char* className;
    } cases[] = {
        {"applets/Scores.class", "Scores"}, {"C:\\java\\Deep.Name.class", "Deep.Name"}, {".hidden", ".hidden"}};
    for (const auto& c : cases) {
        SWjavaclassnode entry("x", c.path);
        const CVTND_JavaMethod method{"score", &entry};
        DragFromPalette({Item(EdKind::kJavaMethod, const_cast<CVTND_JavaMethod*>(&method))},
                        {canvas->CentreOf(*event)});
        SWactionnode* made = LastAction(*sample->key);
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->GetKindId(), 16);
        EXPECT_EQ(made->GetKind()->GetFirstText(), std::optional<std::string>(c.className));
        EXPECT_EQ(made->GetKind()->GetParameter(), std::optional<std::string>("score"));
    }
}

TEST_F(DropRules, AnActionDroppedOnItsOwnEventLeavesItsBranchAndOnAnotherMoves)
{
    MapObject* timer = Place(engine->AddEvent(sample->timer), 100, 100);
    MapObject* key = Place(engine->AddEvent(sample->key), 400, 100);
    MapObject* follower = engine->FindActionObject(sample->thenFollower);
    Place(follower, 200, 300);
    SWactionnode* const before = SWevent::GetNextAction(sample->condition);
    sim().drag(canvas->CentreOf(*follower), canvas->CentreOf(*timer), 3);
    EXPECT_TRUE(sample->thenFollower->IsTopLevel());
    EXPECT_EQ(SWevent::GetNextAction(sample->condition), before);
    EXPECT_EQ(recorder->Count(5), 0u);

    // The queue moves to the key event with its members; the record names both events.
    MapObject* queue = Place(engine->FindActionObject(sample->queue), 260, 300);
    sim().drag(canvas->CentreOf(*queue), canvas->CentreOf(*key), 3);
    EXPECT_EQ(sample->queue->GetEvent(), sample->key);
    EXPECT_EQ(sample->queueMembers[0]->GetEvent(), sample->key);
    ASSERT_EQ(recorder->Count(5), 1u);
    EXPECT_EQ(recorder->Events().back().related[0], CVTND_Object(sample->timer));
    EXPECT_EQ(recorder->Events().back().related[1], CVTND_Object(sample->key));
}

TEST_F(DropRules, NodesAndSoundsToggleInTheEventsNameLists)
{
    MapObject* click = Place(engine->AddEvent(sample->click), 100, 100);
    MapObject* rang = Place(engine->AddEvent(sample->soundDone), 300, 100);
    const size_t names = sample->click->GetObjectList()->Count();
    DragFromPalette({Item(EdKind::kNode, sample->group)}, {canvas->CentreOf(*click)}); // accepted, adds nothing
    EXPECT_EQ(sample->click->GetObjectList()->Count(), names);
    DragFromPalette({Item(EdKind::kNode, sample->mesh)}, {canvas->CentreOf(*click)});
    EXPECT_EQ(sample->click->GetObjectList()->Count(), names + 1);
    EXPECT_NE(engine->FindNodeObject(sample->mesh), nullptr);
    DragFromPalette({Item(EdKind::kNode, sample->mesh)}, {canvas->CentreOf(*click)});
    EXPECT_EQ(sample->click->GetObjectList()->Count(), names);
    EXPECT_NE(engine->FindNodeObject(sample->mesh), nullptr); // auto-remove is off
    // A motion-finished event names object nodes only: a hot spot is refused, an object node toggles in.
    MapObject* moved = Place(engine->AddEvent(sample->motionDone), 500, 100);
    DragFromPalette({Item(EdKind::kNode, sample->hotspot)}, {canvas->CentreOf(*moved)});
    DragFromPalette({Item(EdKind::kNode, sample->otherObject)}, {canvas->CentreOf(*moved)});
    EXPECT_EQ(sample->motionDone->GetObjectList()->Count(), 2u);

    engine->autoRemove = true;
    DragFromPalette({Item(EdKind::kSound, sample->otherSound)}, {canvas->CentreOf(*rang)});
    EXPECT_EQ(Names(sample->soundDone->GetSoundList()), (std::vector<std::string>{"speech", "bell"}));
    ASSERT_NE(engine->FindSoundObject(sample->otherSound), nullptr);
    DragFromPalette({Item(EdKind::kSound, sample->otherSound)}, {canvas->CentreOf(*rang)});
    EXPECT_EQ(Names(sample->soundDone->GetSoundList()), (std::vector<std::string>{"speech"}));
    EXPECT_EQ(engine->FindSoundObject(sample->otherSound), nullptr);
    EXPECT_EQ(recorder->Events().size(), 0u); // name lists are not announced
}

TEST_F(DropRules, TargetRulesToggleReplaceAndAnnounce)
{
    engine->autoRemove = true;
    SWactionnode* show = sample->AddAction(*sample->key, 21);
    SWactionnode* camera = sample->AddAction(*sample->key, 5);
    SWactionnode* trigger = sample->AddAction(*sample->key, 11);
    SWactionnode* evaluate = sample->AddAction(*sample->key, 35);
    SWactionnode* pointer = sample->AddAction(*sample->key, 39);
    pointer->AddArgument(nullptr, SWdatanode::kInt, true);
    SWactionnode* load = sample->AddAction(*sample->key, 54);
    SWactionnode* paint = sample->AddAction(*sample->key, 59);
    int32_t x = 100;
    const auto place = [&](SWactionnode* a) { return Place(engine->AddAction(a), x += 80, 200); };
    MapObject* showObject = place(show);
    MapObject* cameraObject = place(camera);
    MapObject* triggerObject = place(trigger);
    MapObject* evaluateObject = place(evaluate);
    MapObject* pointerObject = place(pointer);
    MapObject* loadObject = place(load);
    MapObject* paintObject = place(paint);

    DragFromPalette({Item(EdKind::kNode, sample->otherObject)}, {canvas->CentreOf(*showObject)});
    EXPECT_EQ(TextArguments(*show), (std::vector<std::string>{"object1"}));
    ASSERT_NE(engine->FindNodeObject(sample->otherObject), nullptr);
    DragFromPalette({Item(EdKind::kNode, sample->otherObject)}, {canvas->CentreOf(*showObject)});
    EXPECT_TRUE(TextArguments(*show).empty());
    EXPECT_EQ(engine->FindNodeObject(sample->otherObject), nullptr);

    DragFromPalette({Item(EdKind::kNode, sample->camera)}, {canvas->CentreOf(*cameraObject)});
    DragFromPalette({Item(EdKind::kNode, sample->otherCamera)}, {canvas->CentreOf(*cameraObject)});
    EXPECT_EQ(TextArguments(*camera), (std::vector<std::string>{"side"}));

    DragFromPalette({Item(EdKind::kEvent, sample->click)}, {canvas->CentreOf(*triggerObject)});
    EXPECT_EQ(TextArguments(*trigger), (std::vector<std::string>{"clicked"}));
    EXPECT_NE(engine->FindEventObject(sample->click), nullptr);

    for (int pass = 0; pass < 2; ++pass)
        DragFromPalette({Item(EdKind::kExpression, sample->expression)}, {canvas->CentreOf(*evaluateObject)});
    EXPECT_EQ(evaluate->GetArguments().Count(), 0u);

    recorder->Clear();
    const auto held = [pointer] {
        return *static_cast<const int32_t*>(static_cast<SWdatanode*>(pointer->GetArguments().Head())->GetData(3));
    };
    DragFromPalette({Item(EdKind::kCursor, sample->cursor)}, {canvas->CentreOf(*pointerObject)});
    EXPECT_EQ(static_cast<uint32_t>(held()), sample->cursor->id);
    DragFromPalette({Item(EdKind::kCursor, sample->cursor)}, {canvas->CentreOf(*pointerObject)});
    EXPECT_EQ(held(), 0);
    ASSERT_EQ(recorder->Events().size(), 2u);
    EXPECT_EQ(recorder->Events()[1].detail, 5u);

    DragFromPalette({Item(EdKind::kLoadedWorld, sample->loadedWorld)}, {canvas->CentreOf(*loadObject)});
    DragFromPalette({Item(EdKind::kMaterial, sample->material)}, {canvas->CentreOf(*paintObject)});
    EXPECT_EQ(TextArguments(*load), (std::vector<std::string>{"level2"}));
    EXPECT_EQ(TextArguments(*paint), (std::vector<std::string>{sample->material->GetName()}));
    DragFromPalette({Item(EdKind::kLoadedWorld, sample->loadedWorld)}, {canvas->CentreOf(*loadObject)});
    EXPECT_TRUE(TextArguments(*load).empty());
}

// The record of a removal is sent while the argument still lives: a receiver may read it.
TEST_F(DropRules, ArgumentNoticesNameTheActionItsEventAndTheArgument)
{
    SWactionnode* show = sample->AddAction(*sample->key, 21);
    MapObject* target = Place(engine->AddAction(show), 300, 300);
    DragFromPalette({Item(EdKind::kNode, sample->object)}, {canvas->CentreOf(*target)});
    SWdatanode* argument = static_cast<SWdatanode*>(show->GetArguments().Head());
    std::string textSeen;
    recorder->Clear();
    struct Reader : pf::Window {
        SWdatanode* watched = nullptr;
        std::string* seen = nullptr;
        pf::LResult handle(const pf::Msg& msg) override
        {
            if (msg.message == kMsgDesignerNotify && watched != nullptr)
                *seen = watched->GetText();
            return Window::handle(msg);
        }
    } reader;
    reader.watched = argument;
    reader.seen = &textSeen;
    reader.create({"", "", pf::WS_POPUP, 0, pf::Rect::fromXywh(0, 0, 5, 5)});
    app->RegisterChildFrame(&reader);
    DragFromPalette({Item(EdKind::kNode, sample->object)}, {canvas->CentreOf(*target)});
    app->UnregisterChildFrame(&reader);
    EXPECT_EQ(textSeen, "object0");
    ASSERT_EQ(recorder->Events().size(), 1u);
    const designertest::RecordedEvent& removed = recorder->Events()[0];
    EXPECT_EQ(removed.code, 4u);
    EXPECT_EQ(removed.detail, 3u);
    EXPECT_EQ(removed.subject, CVTND_Object(show));
    EXPECT_EQ(removed.related[0], CVTND_Object(sample->key));
    EXPECT_EQ(removed.related[2].GetObject(), argument);
}

TEST_F(DropRules, ConditionHalvesChooseTheBranchAndTheirOutlinesAlternate)
{
    MapObject* condition =
        Place(engine->FindActionObject(sample->condition) != nullptr ? engine->FindActionObject(sample->condition)
                                                                     : engine->AddAction(sample->condition),
              300, 300);
    condition->width = condition->height = 32;
    canvas->RedrawMap();
    sim().pump();
    // The new actions appear beside it; the condition's own surroundings must come back exactly.
    const pf::Rect around =
        pf::Rect::fromXywh(canvas->MapToScreen({300, 300}).x, canvas->MapToScreen({300, 300}).y, 32, 32)
            .inflatedBy(12, 12);
    const auto before = pf::captureScreen(around);
    const pf::Point left = canvas->MapToScreen({304, 310});
    const pf::Point right = canvas->MapToScreen({328, 310});
    palette->items = {Item(EdKind::kActionKind, sample->Kind(2))};
    sim().mouseDown(palette->clientToScreen({20, 20}));
    sim().mouseMove(left);
    EXPECT_EQ(condition->halfOutline, 1);
    sim().mouseMove(right);
    EXPECT_EQ(condition->halfOutline, 2);
    sim().mouseMove(left);
    sim().mouseMove({left.x + 1, left.y});
    EXPECT_EQ(condition->halfOutline, 1);
    sim().mouseMove(right);
    sim().mouseUp(right);
    EXPECT_TRUE(pf::screen().isOverlayClear());
    EXPECT_EQ(pf::compareSurfaces(*before, *pf::captureScreen(around), 0).differing, 0);
    SWactionnode* made = LastAction(*sample->timer);
    EXPECT_EQ(made->GetThenLink(), sample->condition->GetActionId());
    EXPECT_EQ(made->GetElseLink(), SWactionnode::kUnset);

    DragFromPalette({Item(EdKind::kActionKind, sample->Kind(2))}, {left});
    made = LastAction(*sample->timer);
    EXPECT_EQ(made->GetElseLink(), sample->condition->GetActionId());
    EXPECT_EQ(made->GetThenLink(), SWactionnode::kUnset);
    EXPECT_EQ(pf::compareSurfaces(*before, *pf::captureScreen(around), 0).differing, 0);
}

TEST_F(DropRules, QueuesTakeMembersAndStopQueuesListQueues)
{
    MapObject* queue = Place(engine->AddAction(sample->queue), 200, 300);
    MapObject* stop = Place(engine->AddAction(sample->stopQueue), 400, 300);
    DragFromPalette({Item(EdKind::kActionKind, sample->Kind(2))}, {canvas->CentreOf(*queue)});
    EXPECT_EQ(LastAction(*sample->timer)->GetQueueLink(), sample->queue->GetActionId());

    DragFromPalette({Item(EdKind::kAction, sample->queue)}, {canvas->CentreOf(*stop)});
    auto* list = dynamic_cast<SWstopsequencenode*>(sample->stopQueue);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetIds(), (std::vector<uint32_t>{sample->queue->GetActionId()}));
    DragFromPalette({Item(EdKind::kActionKind, sample->Kind(30))}, {canvas->CentreOf(*stop)});
    SWactionnode* made = LastAction(*sample->timer);
    EXPECT_EQ(made->GetKindId(), 30);
    EXPECT_EQ(list->GetIds().back(), made->GetActionId());
    DragFromPalette({Item(EdKind::kActionKind, sample->Kind(2))}, {canvas->CentreOf(*stop)}); // refused
    EXPECT_EQ(LastAction(*sample->timer), made);
    // The same queue dropped again is taken out of the list.
    DragFromPalette({Item(EdKind::kAction, sample->queue)}, {canvas->CentreOf(*stop)});
    EXPECT_EQ(list->GetIds(), (std::vector<uint32_t>{made->GetActionId()}));
}

// A link walk from the target up to the dropped action means the drop would close a loop.
TEST_F(DropRules, DropsThatWouldCloseALinkCycleAreRefusedWithoutFeedback)
{
    SWactionnode* inner = sample->AddAction(*sample->timer, 25);
    inner->SetThenLink(sample->condition->GetActionId());
    SWactionnode* innerQueue = sample->AddAction(*sample->timer, 30);
    innerQueue->SetQueueLink(sample->queue->GetActionId());
    MapObject* innerObject = Place(engine->AddAction(inner), 300, 300);
    MapObject* queueMember = Place(engine->AddAction(innerQueue), 400, 300);
    MapObject* outer = Place(engine->AddAction(sample->condition), 200, 300);
    canvas->RedrawMap();
    sim().pump();
    const auto before = Shot();
    const auto tryDrop = [&](void* action, MapObject& target) {
        palette->items = {Item(EdKind::kAction, action)};
        sim().mouseDown(palette->clientToScreen({20, 20}));
        sim().mouseMove(canvas->CentreOf(target));
        EXPECT_EQ(target.halfOutline, 0);
        EXPECT_EQ(engine->CurrentReceptor(), nullptr);
        sim().mouseUp(canvas->CentreOf(target));
    };
    tryDrop(sample->condition, *innerObject); // an ancestor
    tryDrop(sample->condition, *outer);       // itself
    tryDrop(sample->queue, *queueMember);     // a queue on its own member
    EXPECT_EQ(sample->condition->GetThenLink(), SWactionnode::kUnset);
    EXPECT_EQ(sample->queue->GetQueueLink(), SWactionnode::kUnset);
    ExpectScreenAsBefore(*before);
}

TEST_F(DropRules, TheEmptyMapMakesEventsAndPlacesThings)
{
    auto panel = std::make_unique<pf::Window>();
    panel->create({"", "", pf::WS_POPUP, 0, pf::Rect::fromXywh(900, 0, 200, 200)});
    auto* list = dynamic_cast<pf::ListView*>(
        pf::ui().createWindow({"listview", "", pf::WS_CHILD, 0, pf::Rect::fromXywh(0, 0, 200, 200), panel->hwnd()}));
    ASSERT_NE(list, nullptr);
    list->setImageList(pf::ImageList::create(16, 16, pf::ILC_COLOR32, 12, 0), pf::LVSIL_SMALL);
    app->RegisterPanel(PanelRole::kEvents, panel.get());
    const size_t events = sample->world.CountEvents();
    const pf::Point first = canvas->MapToScreen({300, 300});
    const pf::Point second = canvas->MapToScreen({500, 300});
    DragFromPalette({designertest::PaletteItem::EventType(4)}, {first});
    DragFromPalette({designertest::PaletteItem::EventType(4)}, {second});
    DragFromPalette({designertest::PaletteItem::EventType(22)}, {second});
    ASSERT_EQ(sample->world.CountEvents(), events + 2);
    SWevent* a = sample->world.FindEventById(sample->key->GetId() + 1);
    SWevent* b = sample->world.FindEventById(sample->key->GetId() + 2);
    ASSERT_TRUE(a != nullptr && b != nullptr);
    EXPECT_EQ(a->GetType(), 4u);
    EXPECT_NE(*a->GetName(), *b->GetName());
    EXPECT_EQ(*b->GetName(), *a->GetName() + "_1");
    EXPECT_EQ(list->getItemCount(), 2);
    EXPECT_EQ(list->getItemImage(0), CEditorEngine::EventTypeIcon(4)) << "listed with its type's picture";
    const MapObject* shown = engine->FindEventObject(a);
    EXPECT_EQ((pf::Point{shown->x + shown->width / 2, shown->y + shown->height / 2}), (pf::Point{300, 300}));

    DragFromPalette({Item(EdKind::kCursor, sample->cursor)}, {canvas->MapToScreen({300, 450})});
    const MapObject* cursor = engine->FindKind1000Object(sample->cursor);
    ASSERT_NE(cursor, nullptr);
    EXPECT_NE((pf::Point{cursor->x, cursor->y}), (pf::Point{300 - 16, 450 - 16})); // around the point, not on it
    EXPECT_TRUE(cursor->IsPlaced());

    designertest::PaletteItem followed = Item(EdKind::kNode, sample->object);
    followed.followUp = 1;
    DragFromPalette({followed}, {canvas->MapToScreen({500, 450})});
    ASSERT_EQ(canvas->Commands(), (std::vector<uint32_t>{ControlReceptor::kFollowUpCommand}));
    EXPECT_EQ(canvas->MenuObject(), engine->FindNodeObject(sample->object));
    app->RegisterPanel(PanelRole::kEvents, nullptr);
}

// Objects placed around what they join, or around where they are dropped, leave room for their names: twenty nodes
// of long names, named by one event or dropped on one spot, draw no picture or name over another's.
TEST_F(DropRules, PlacedObjectsLeaveRoomForTheirNames)
{
    sample->motionDone->SetName(std::string("Motion finished on object, a long event name"));
    MapObject* event = Place(engine->AddEvent(sample->motionDone), 300, 200);
    std::vector<SWnode*> nodes;
    for (int i = 0; i < 20; ++i) {
        auto* node = new SWobjectnode;
        node->SetName("a node of a rather long name " + std::to_string(i));
        sample->world.AddNode(node, nullptr);
        nodes.push_back(node);
    }
    app->SetModified(0);
    for (size_t i = 0; i < nodes.size(); ++i)
        DragFromPalette({Item(EdKind::kNode, nodes[i])},
                        {i < 10 ? canvas->CentreOf(*event) : canvas->MapToScreen({300, 450})});
    pf::MemoryDc dc;
    dc.selectObject(pf::getStockObject(pf::DEFAULT_GUI_FONT)); // as the map writes the names
    std::vector<std::pair<std::string, pf::Rect>> drawn;
    EXPECT_EQ(app->IsModified(), 1); // the event names them: a change to save
    for (SWnode* node : nodes)
        ASSERT_TRUE(engine->FindNodeObject(node) != nullptr && engine->FindNodeObject(node)->IsPlaced())
            << *node->GetName() << (engine->FindNodeObject(node) != nullptr ? " unplaced" : " not on the map");
    for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o)) {
        if (!o->IsPlaced())
            continue; // what the event names besides, which this map does not draw
        const std::string label = o->ShownLabel(*engine);
        const pf::Size name = label.empty() ? pf::Size{} : dc.getTextExtent(label);
        drawn.emplace_back(label, pf::Rect{o->x, o->y, o->x + std::max(o->width, name.cx), o->y + o->height + name.cy});
    }
    ASSERT_GE(drawn.size(), 21u);
    for (size_t i = 0; i < drawn.size(); ++i)
        for (size_t j = i + 1; j < drawn.size(); ++j)
            EXPECT_FALSE(drawn[i].second.intersects(drawn[j].second)) << drawn[i].first << " and " << drawn[j].first;
}

TEST_F(DropRules, SeveralItemsOnOneEventRedrawTheMapsOnceAfterTheLast)
{
    MapObject* event = Place(engine->AddEvent(sample->key), 300, 200);
    const int before = canvas->Redraws();
    DragFromPalette({Item(EdKind::kActionKind, sample->Kind(2)), Item(EdKind::kActionKind, sample->Kind(3)),
                     Item(EdKind::kActionKind, sample->Kind(4))},
                    {canvas->CentreOf(*event)});
    EXPECT_EQ(sample->key->CountActions(), 3u);
    EXPECT_EQ(canvas->Redraws(), before + 1);
    EXPECT_EQ(recorder->Count(1), 3u);
    EXPECT_EQ(PaletteObjects(), 0u);
}

// Every drop that changes what the maps show redraws each of them once, however many things it drops; a drop that
// changes nothing redraws nothing and leaves the screen as it was.
TEST_F(DropRules, TargetDropsRedrawEveryMapOnceAndNoChangeNone)
{
    designertest::TestMapCanvas other(*frame, pf::Rect::fromXywh(0, 500, 150, 100));
    sim().pump();
    SWactionnode* show = sample->AddAction(*sample->key, 21);
    MapObject* target = Place(engine->AddAction(show), 300, 200);
    const auto redraws = [&] { return std::pair{canvas->Redraws(), other.Redraws()}; };
    auto before = redraws();
    DragFromPalette({Item(EdKind::kNode, sample->otherObject)}, {canvas->CentreOf(*target)});
    EXPECT_EQ(TextArguments(*show), (std::vector<std::string>{"object1"}));
    EXPECT_EQ(redraws(), std::pair(before.first + 1, before.second + 1));

    // Three at once, the last of them already there (so taken out): one redraw, after the last.
    before = redraws();
    DragFromPalette({Item(EdKind::kNode, sample->object), Item(EdKind::kNode, sample->mesh),
                     Item(EdKind::kNode, sample->otherObject)},
                    {canvas->CentreOf(*target)});
    EXPECT_EQ(TextArguments(*show), (std::vector<std::string>{"object0", *sample->mesh->GetName()}));
    EXPECT_EQ(redraws(), std::pair(before.first + 1, before.second + 1));

    // Two selected map objects moved onto the action together.
    MapObject* a = Place(engine->FindNodeObject(sample->object), 100, 400);
    MapObject* b = Place(engine->FindNodeObject(sample->mesh), 200, 400);
    engine->Selection().DeleteAll();
    engine->Selection().Add(a);
    engine->Selection().Add(b);
    canvas->RedrawMap();
    before = redraws();
    sim().drag(canvas->CentreOf(*b), canvas->CentreOf(*target), 3);
    EXPECT_TRUE(TextArguments(*show).empty());
    EXPECT_EQ(redraws(), std::pair(before.first + 1, before.second + 1));

    // Two names into an event's list at once.
    MapObject* click = Place(engine->AddEvent(sample->click), 400, 300);
    const size_t names = sample->click->GetObjectList()->Count();
    before = redraws();
    DragFromPalette({Item(EdKind::kNode, sample->mesh), Item(EdKind::kNode, sample->hotspot)},
                    {canvas->CentreOf(*click)});
    EXPECT_EQ(sample->click->GetObjectList()->Count(), names); // the mesh in, the button out
    EXPECT_EQ(redraws(), std::pair(before.first + 1, before.second + 1));

    MapObject* bell = Place(engine->AddSound(sample->otherSound), 500, 200);
    canvas->RedrawMap();
    sim().pump();
    const auto shot = Shot();
    before = redraws();
    DragFromPalette({Item(EdKind::kSound, sample->otherSound)}, {canvas->CentreOf(*bell)}); // taken, changes nothing
    EXPECT_EQ(redraws(), before);
    ExpectScreenAsBefore(*shot);
}

} // namespace
} // namespace eventedittest
