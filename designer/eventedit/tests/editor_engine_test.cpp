#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include "designer/app/editor_settings.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/eventedit/tests/eventedit_fixture.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/cursor_list.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "engine/resources/sound.h"
#include "platform/gfx/memory_dc.h"
#include "platform/settings/file_backend.h"
#include "platform/settings/settings_store.h"

namespace eventedittest {
namespace {

using Engine = EventEditFixture;

bool Overlaps(const MapObject& a, const MapObject& b)
{
    return pf::Rect::fromXywh(a.x, a.y, a.width + 1, a.height + 1)
        .intersects(pf::Rect::fromXywh(b.x, b.y, b.width + 1, b.height + 1));
}

TEST_F(Engine, AddEventBringsWhatItRefersToOnceAndFindsWalkInCreationOrder)
{
    SWactionnode* show = sample->AddAction(*sample->click, 21);
    show->AddArgument("button", SWdatanode::kString, true); // the hot spot, also in the event's object list
    show->AddArgument("nothing by this name", SWdatanode::kString, true);
    SWactionnode* play = sample->AddAction(*sample->soundDone, 7);
    play->SetTargetIsTrigger(1); // plays the sound that finished
    MapObject* click = engine->AddEvent(sample->click);
    engine->AddEvent(sample->soundDone);
    size_t hotspots = 0;
    size_t count = 0;
    for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o)) {
        hotspots += o->GetNode() == sample->hotspot ? 1 : 0;
        ++count;
    }
    EXPECT_EQ(hotspots, 1u);
    EXPECT_EQ(count, 6u); // two events, the hot spot, two actions, the sound
    EXPECT_EQ(engine->FirstMapObject(), click);
    EXPECT_NE(engine->FindSoundObject(sample->sound), nullptr);
    EXPECT_FALSE(engine->FindNodeObject(sample->hotspot)->IsPlaced());
    EXPECT_EQ(engine->AddNode(nullptr), nullptr);
    EXPECT_EQ(engine->FindNodeObject(nullptr), nullptr);

    // Added as a batch, whose nodes are looked up ahead, the events bring the same objects in the same order.
    const auto shown = [&] {
        std::vector<std::pair<uint16_t, void*>> objects;
        for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o))
            objects.emplace_back(o->GetKindWord(), o->GetContent());
        return objects;
    };
    const auto one = shown();
    engine->Clear();
    const std::vector<SWevent*> events = {sample->click, sample->soundDone};
    engine->AddEvents(events);
    EXPECT_EQ(shown(), one);
}

// Finds by content answer the first object of that content in creation order, of the kind asked, and forget a
// deleted object at once, while its content may still be on the map through another.
TEST_F(Engine, FindsByContentFollowAddsAndDeletions)
{
    MapObject* first = engine->AddNode(sample->object);
    MapObject* second = engine->AddNode(sample->object);
    MapObject* event = engine->AddEvent(sample->timer);
    EXPECT_EQ(engine->FindNodeObject(sample->object), first);
    EXPECT_EQ(engine->FindContentObject(sample->timer), event);
    EXPECT_EQ(engine->FindActionObject(reinterpret_cast<SWactionnode*>(sample->object)), nullptr); // kind asked
    engine->RemoveMapObject(first);
    EXPECT_EQ(engine->FindNodeObject(sample->object), second);
    engine->RemoveMapObject(second);
    EXPECT_EQ(engine->FindNodeObject(sample->object), nullptr);
    EXPECT_EQ(engine->FindEventObject(sample->timer), event);
    MapObject* again = engine->AddNode(sample->object);
    EXPECT_EQ(engine->FindNodeObject(sample->object), again);
}

TEST_F(Engine, PlacementFindsAFreeSpotOrKeepsTheLastTriedAndAlwaysEnds)
{
    MapObject* anchor = Place(engine->AddEvent(sample->key), 0, 40);
    MapObject* made = engine->AddSound(sample->sound);
    engine->PlaceNear(made, anchor);
    EXPECT_TRUE(made->x >= 0 && made->y >= 0);
    EXPECT_FALSE(Overlaps(*made, *anchor));

    MapObject* wide = Place(engine->AddNode(sample->object), 10, 10);
    wide->width = 2500;
    MapObject* unplaced = engine->AddNode(sample->camera);
    engine->PlaceNear(unplaced, wide);
    EXPECT_FALSE(unplaced->IsPlaced());

    // Round a point far off the map every candidate is negative: the last one tried, a full turn round, stays.
    MapObject* crowded = engine->AddNode(sample->otherCamera);
    crowded->width = 2400;
    engine->PlaceAt(crowded, -10000, -10000);
    EXPECT_NEAR(crowded->x, -10000 + 4800, 2);
    EXPECT_NEAR(crowded->y, -10000, 2);

    // Sizes of 0 or below (a stored picture's) still widen the circle, so the search ends: at the left edge every
    // candidate of a circle that never grew would be negative.
    MapObject* flat = Place(engine->AddNode(sample->mesh), 0, 3000);
    flat->width = 0;
    flat->height = -5;
    MapObject* other = engine->AddNode(sample->group);
    engine->PlaceNear(other, flat);
    EXPECT_TRUE(other->IsPlaced());
    engine->PlaceAt(flat, -50, 100);
    EXPECT_TRUE(flat->IsPlaced());
}

// The overlap test takes the new box whole, not only its corners: a small box inside it, away from them, keeps the
// new object off that place.
TEST_F(Engine, ASmallBoxInsideTheNewOneAwayFromItsCornersCounts)
{
    MapObject* anchor = Place(engine->AddEvent(sample->key), 200, 200);
    MapObject* fresh = engine->AddNode(sample->object);
    engine->PlaceNear(fresh, anchor); // the first candidate: angle 0, two widths out
    const pf::Point first{fresh->x, fresh->y};
    fresh->x = fresh->y = -1;
    MapObject* inside = Place(engine->AddSound(sample->sound), first.x + 8, first.y + 8);
    inside->width = inside->height = 8;
    engine->PlaceNear(fresh, anchor);
    EXPECT_NE((pf::Point{fresh->x, fresh->y}), first);
    EXPECT_FALSE(engine->DrawnBox(*fresh).intersects(engine->DrawnBox(*inside)));
}

TEST_F(Engine, ReferencesDecideWhatRemoveUnusedTakesOff)
{
    SWactionnode* show = sample->AddAction(*sample->key, 21);
    show->AddArgument("object1", SWdatanode::kString, true);
    SWactionnode* evaluate = sample->AddAction(*sample->key, 35);
    evaluate->AddArgument(sample->expression, SWdatanode::kObject, false);
    MapObject* used = engine->AddNode(sample->otherObject);
    MapObject* listed = engine->AddNode(sample->hotspot); // in the click event's object list
    MapObject* unused = engine->AddNode(sample->camera);
    MapObject* expression = engine->AddExpression(sample->expression);
    MapObject* otherExpression = engine->AddExpression(sample->otherExpression);
    MapObject* cursor = engine->AddKind1000(sample->cursor);
    MapObject* material = engine->AddKind4000(sample->material);
    MapObject* event = engine->AddEvent(sample->timer);
    EXPECT_TRUE(engine->IsReferenced(used));
    EXPECT_TRUE(engine->IsReferenced(listed));
    EXPECT_TRUE(engine->IsReferenced(expression));
    EXPECT_FALSE(engine->IsReferenced(unused));
    EXPECT_FALSE(engine->IsReferenced(event));
    engine->Selection().Add(unused);
    engine->RemoveUnused();
    EXPECT_EQ(engine->FindNodeObject(sample->camera), nullptr);
    EXPECT_EQ(engine->FindExpressionObject(sample->otherExpression), nullptr);
    EXPECT_TRUE(engine->Selection().IsEmpty());
    EXPECT_EQ(engine->FindKind1000Object(sample->cursor), cursor);
    EXPECT_EQ(engine->FindKind4000Object(sample->material), material);
    EXPECT_EQ(engine->FindNodeObject(sample->otherObject), used);
    (void)otherExpression;
    // Deleted through the receptor registry, a selected map object still leaves the selection.
    engine->Selection().Add(used);
    engine->DeleteControlReceptor(used);
    EXPECT_TRUE(engine->Selection().IsEmpty());
    EXPECT_EQ(engine->FindNodeObject(sample->otherObject), nullptr);
}

TEST_F(Engine, LinksWithoutStraightLinesGoAcrossThenDown)
{
    pf::MemoryDc dc;
    dc.select(pf::DibSection::create(40, 40));
    dc.fillRect({0, 0, 40, 40}, pf::createSolidBrush(0));
    dc.selectPen(pf::createPen(pf::PS_SOLID, 1, pf::rgb(255, 255, 255)));
    engine->straightLines = false;
    engine->DrawLink(dc, {5, 10}, {30, 10});
    int lit = 0;
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 40; ++x)
            lit += dc.getPixel({x, y}) != 0 ? 1 : 0;
    EXPECT_EQ(lit, 25);
    EXPECT_EQ(dc.currentPosition(), (pf::Point{30, 10}));
    engine->DrawLink(dc, {5, 20}, {30, 35});
    EXPECT_NE(dc.getPixel({30, 20}), 0u); // the corner of an across-then-down link
}

TEST_F(Engine, DeletionDropsMapObjectsAndSelectionBeforeAnythingIsFreed)
{
    SWnode* child = new SWnode(0);
    child->SetName(std::string("child"));
    sample->world.AddNode(child, sample->otherObject);
    engine->AddEvent(sample->timer);
    engine->Selection().Add(engine->FindActionObject(sample->condition));
    engine->Selection().Add(engine->AddNode(sample->otherObject));
    engine->AddNode(child);
    // A paint between the notice and the deletion reads every map object still there.
    size_t paintedDuringNotice = 0;
    struct Painter : pf::Window {
        std::function<void()> onNotice;
        pf::LResult handle(const pf::Msg& msg) override
        {
            if (msg.message == kMsgDesignerNotify && onNotice)
                onNotice();
            return Window::handle(msg);
        }
    } painter;
    painter.onNotice = [&] {
        canvas->RedrawMap();
        ++paintedDuringNotice;
    };
    painter.create({"", "", pf::WS_POPUP, 0, pf::Rect::fromXywh(0, 0, 5, 5)});
    app->RegisterChildFrame(&painter);
    for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o))
        o->x = o->y = 50;
    EXPECT_TRUE(app->DeleteObject(CVTND_Object(sample->timer), CVTNDesignerApp::kDeleteFromMenu));
    EXPECT_TRUE(app->DeleteObject(CVTND_Object(sample->otherObject), CVTNDesignerApp::kDeleteFromKey));
    app->UnregisterChildFrame(&painter);
    EXPECT_GT(paintedDuringNotice, 0u);
    EXPECT_EQ(engine->FirstMapObject(), nullptr);
    EXPECT_TRUE(engine->Selection().IsEmpty());
}

TEST_F(Engine, FreshSettingsGiveTheDefaultsAndAChangedColourRemakesItsPen)
{
    const std::string path = artifactPath("eventedit-settings.reg");
    std::remove(path.c_str());
    pf::SettingsStore store(std::make_unique<pf::FileBackend>(path));
    CVTND_EditorSettings settings(store);
    canvas.reset();
    frame.reset();
    app.reset();
    app = std::make_unique<CVTNDesignerApp>(&settings);
    app->NewWorkspace();
    ASSERT_TRUE(app->MakeEditorEngine());
    engine = GetEditorEngine();
    EXPECT_TRUE(engine->showEventNames && engine->showObjectNames && engine->straightLines && engine->autoPanning);
    EXPECT_FALSE(engine->autoRemove);
    EXPECT_EQ(engine->Colour(EngineSetting::kSelectedEventColour), (CVTND_Rgb{0, 170, 0}));
    EXPECT_EQ(engine->Colour(EngineSetting::kSelectedActionColour), (CVTND_Rgb{238, 238, 0}));
    EXPECT_EQ(store.getBinary(CVTND_EditorSettings::kKey, "event map event color"),
              (std::vector<uint8_t>{221, 221, 221}));

    std::array<uint32_t, static_cast<size_t>(EnginePen::kCount)> made{};
    for (size_t i = 0; i < made.size(); ++i)
        made[i] = engine->PenGeneration(static_cast<EnginePen>(i));
    ASSERT_TRUE(settings.SetColour(EngineSetting::kActionColour, 0x112233));
    ASSERT_TRUE(settings.SetFlag(EngineSetting::kAutoRemove, true));
    engine->SettingChanged(EngineSetting::kActionColour);
    engine->SettingChanged(EngineSetting::kAutoRemove);
    EXPECT_TRUE(engine->autoRemove);
    for (size_t i = 0; i < made.size(); ++i) {
        const auto pen = static_cast<EnginePen>(i);
        EXPECT_EQ(engine->PenGeneration(pen), made[i] + (pen == EnginePen::kActionLink ? 1u : 0u));
    }
    EXPECT_EQ(engine->GetPen(EnginePen::kActionLink).color, pf::rgb(0x11, 0x22, 0x33));
    app.reset();
}

// The render thread walks events, actions, arguments and links under the world's lock while drops change them.
TEST_F(Engine, DropsAndTheRenderThreadShareTheWorldUnderItsLock)
{
    SWactionnode* target = sample->AddAction(*sample->key, 21);
    MapObject* show = Place(engine->AddAction(target), 450, 200);
    MapObject* queue = Place(engine->AddAction(sample->queue), 600, 200);
    std::atomic<bool> stop{false};
    size_t walked = 0;
    std::thread render([&] {
        size_t seen = 0;
        while (!stop.load()) {
            {
                SWworldlock lock(sample->world);
                for (SWevent* e = sample->world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
                    for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
                        seen += a->GetArguments().Count() + (a->IsTopLevel() ? 1 : 0);
            }
            std::this_thread::yield();
        }
        walked = seen;
    });
    // 500 drops: arguments toggled on an action, and every fifth drop a new action hung on a queue.
    for (int i = 0; i < 100; ++i) {
        for (int toggle = 0; toggle < 4; ++toggle)
            DragFromPalette({Item(EdKind::kNode, sample->object)}, {canvas->CentreOf(*show)});
        DragFromPalette({Item(EdKind::kActionKind, sample->Kind(2))}, {canvas->CentreOf(*queue)});
    }
    stop = true;
    render.join();
    EXPECT_GT(walked, 0u);
    EXPECT_EQ(sample->timer->CountActions(), 107u);
    EXPECT_TRUE(target->GetArguments().Empty()); // an even number of toggles
}

} // namespace
} // namespace eventedittest

namespace eventedittest {
namespace {

TEST_F(Engine, SelectionClicksToggleMakePrimaryOrStartOver)
{
    MapObject* a = engine->AddNode(sample->object);
    MapObject* b = engine->AddNode(sample->camera);
    MapObject* c = engine->AddSound(sample->sound);
    const int redraws = canvas->Redraws();
    a->Select(canvas.get(), {}, false, false);
    b->Select(canvas.get(), {}, true, false); // Ctrl adds
    c->Select(canvas.get(), {}, false, true); // Shift adds an unselected one
    a->Select(canvas.get(), {}, false, true); // Shift makes a selected one primary
    EXPECT_EQ(engine->Selection().Last()->object, a);
    EXPECT_EQ(engine->Selection().Count(), 3u);
    b->Select(canvas.get(), {}, true, false); // Ctrl takes it out
    EXPECT_FALSE(engine->Selection().Contains(b));
    c->Select(canvas.get(), {}, false, false);
    EXPECT_TRUE(engine->Selection().IsSingle());
    EXPECT_EQ(canvas->Redraws(), redraws + 6);
}

} // namespace
} // namespace eventedittest
