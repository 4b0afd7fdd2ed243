#include <string>
#include <vector>

#include "designer/eventedit/tests/eventedit_fixture.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "platform/ui/core/ui.h"

namespace eventedittest {
namespace {

using Tracking = EventEditFixture;

TEST_F(Tracking, TheSmallestPriorityWinsAndTheFirstRegisteredAmongEquals)
{
    std::vector<std::string> log;
    const pf::Rect area = pf::Rect::fromXywh(300, 100, 40, 30);
    auto* first = new LogReceptor("first", area, 3, log);
    auto* second = new LogReceptor("second", area, 3, log);
    auto* ownerless = new LogReceptor("ownerless", area, 0, log);
    first->AddOwner(canvas.get());
    second->AddOwner(canvas.get());
    engine->AddControlReceptor(first);
    engine->AddControlReceptor(second);
    engine->AddControlReceptor(ownerless);
    const struct {
        pf::Point at;
        const DropReceptor* wanted;
    } cases[] = {
        {{300, 100}, first},              // top-left corner
        {{340, 130}, first},              // right and bottom edges belong to it
        {{341, 130}, canvas->Receptor()}, // one past the right edge: the empty map
        {{320, 131}, canvas->Receptor()}, // one past the bottom edge
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.at.x) + "," + std::to_string(c.at.y));
        EXPECT_EQ(engine->FindReceptorAt(canvas.get(), c.at, nullptr, false), c.wanted);
    }
    auto* later = new LogReceptor("later", area, 1, log);
    later->AddOwner(canvas.get());
    engine->AddControlReceptor(later);
    EXPECT_EQ(engine->FindReceptorAt(canvas.get(), {310, 110}, nullptr, false), later);
    EXPECT_EQ(engine->FindReceptorAt(palette.get(), {310, 110}, nullptr, false), nullptr);
}

TEST_F(Tracking, EnterHoverLeaveAndDropComeInOrderAcrossReceptors)
{
    std::vector<std::string> log;
    auto* a = new LogReceptor("a", pf::Rect::fromXywh(300, 100, 40, 40), 1, log);
    auto* b = new LogReceptor("b", pf::Rect::fromXywh(400, 100, 40, 40), 1, log);
    auto* refusing = new LogReceptor("refusing", pf::Rect::fromXywh(500, 100, 40, 40), 1, log);
    refusing->canAccept = false;
    for (LogReceptor* r : {a, b, refusing}) {
        r->AddOwner(canvas.get());
        engine->AddControlReceptor(r);
    }
    DragFromPalette({Item(EdKind::kSound, sample->sound, "speech")},
                    {{310, 110}, {310, 110}, {315, 112}, {410, 110}, {510, 110}, {520, 110}, {420, 120}});
    const std::vector<std::string> wanted = {"a enter", "a hover", "a hover", "a leave", "b enter",       "b hover",
                                             "b leave", "b enter", "b hover", "b leave", "b drop 420,120"};
    EXPECT_EQ(log, wanted);
    EXPECT_EQ(PaletteObjects(), 0u);
    EXPECT_EQ(engine->CurrentReceptor(), nullptr);
}

TEST_F(Tracking, ObjectsThatDisagreeKeepTheCurrentReceptorAndDropNothing)
{
    std::vector<std::string> log;
    auto* r = new LogReceptor("r", pf::Rect::fromXywh(300, 100, 40, 40), 1, log);
    r->AddOwner(canvas.get());
    engine->AddControlReceptor(r);
    // A map object inside r's rectangle: the palette objects find it, while it finds r with itself skipped.
    MapObject* event = Place(engine->AddEvent(sample->key), 160, 110);
    palette->items = {Item(EdKind::kSound, sample->sound), Item(EdKind::kSound, sample->otherSound)};
    sim().mouseDown(palette->clientToScreen({20, 20}));
    sim().mouseMove({305, 105});
    engine->DragList().push_back(event);
    sim().mouseMove({320, 120});
    EXPECT_EQ(engine->CurrentReceptor(), r);
    sim().mouseUp({320, 120});
    const std::vector<std::string> wanted = {"r enter", "r hover", "r leave"};
    EXPECT_EQ(log, wanted);
    EXPECT_EQ(PaletteObjects(), 0u);
}

TEST_F(Tracking, OneDroppableMayFallOnSelectedMapObjectsButAMovedSelectionNever)
{
    MapObject* condition = Place(engine->AddAction(sample->condition), 200, 200);
    MapObject* other = Place(engine->AddAction(sample->queue), 300, 200);
    engine->Selection().Add(condition);
    engine->Selection().Add(other);
    const pf::Point onCondition = canvas->CentreOf(*condition);
    EXPECT_EQ(engine->FindReceptorAt(canvas.get(), onCondition, nullptr, false), condition);
    EXPECT_EQ(engine->FindReceptorAt(canvas.get(), onCondition, nullptr, true), canvas->Receptor());
    // Moving both over one of them: every entry agrees on the empty map.
    sim().drag(canvas->CentreOf(*other), onCondition, 3);
    EXPECT_EQ(sample->condition->GetEvent()->CountActions(), sample->timer->CountActions());
    EXPECT_TRUE(pf::screen().isOverlayClear());
}

TEST_F(Tracking, AMoveDrawsOutlinesThatFollowAndDropsAtTheirCorners)
{
    MapObject* a = Place(engine->AddNode(sample->object), 100, 100);
    MapObject* b = Place(engine->AddNode(sample->camera), 200, 140);
    MapObject* c = Place(engine->AddSound(sample->sound), 160, 260);
    for (MapObject* o : {a, b, c})
        engine->Selection().Add(o);
    canvas->RedrawMap();
    const pf::Point start = canvas->CentreOf(*b);
    const pf::Point cornerB = canvas->MapToScreen({b->x, b->y});
    sim().mouseDown(start);
    ASSERT_TRUE(frame->IsDragging());
    EXPECT_FALSE(pf::screen().isOverlayClear());
    EXPECT_EQ(engine->Selection().Find(b)->outline, cornerB);
    sim().mouseMove({start.x + 30, start.y + 7});
    sim().mouseMove({start.x + 60, start.y + 20});
    EXPECT_EQ(engine->Selection().Find(b)->outline, (pf::Point{cornerB.x + 60, cornerB.y + 20}));
    // The overlay holds the outline's pen where the moved outline runs, not where it started.
    const auto overlay = pf::screen().overlay();
    EXPECT_NE(overlay->pixel(cornerB.x + 60 + 10, cornerB.y + 20), 0u);
    EXPECT_EQ(overlay->pixel(cornerB.x + 10, cornerB.y), 0u);
    sim().mouseUp({start.x + 60, start.y + 20});
    EXPECT_TRUE(pf::screen().isOverlayClear());
    EXPECT_EQ((pf::Point{a->x, a->y}), (pf::Point{160, 120}));
    EXPECT_EQ((pf::Point{b->x, b->y}), (pf::Point{260, 160}));
    EXPECT_EQ((pf::Point{c->x, c->y}), (pf::Point{220, 280}));
    EXPECT_FALSE(frame->IsDragging());
}

// Every way a drag can end leaves the screen exactly as it was and no palette object behind.
TEST_F(Tracking, EveryEndOfADragLeavesTheScreenCleanAndTheReceptorLeft)
{
    std::vector<std::string> log;
    auto* r = new LogReceptor("r", pf::Rect::fromXywh(300, 100, 40, 40), 1, log);
    r->AddOwner(canvas.get());
    engine->AddControlReceptor(r);
    MapObject* condition = Place(engine->AddAction(sample->condition), 400, 300);
    MapObject* node = Place(engine->AddNode(sample->object), 200, 300);
    MapObject* sound = Place(engine->AddSound(sample->sound), 260, 300);
    canvas->RedrawMap();
    sim().pump();
    const auto before = Shot();

    SCOPED_TRACE("released outside every window");
    DragFromPalette({Item(EdKind::kActionKind, sample->Kind(2))}, {canvas->CentreOf(*condition), {1100, 900}});
    ExpectScreenAsBefore(*before);
    EXPECT_EQ(condition->halfOutline, 0);
    EXPECT_EQ(PaletteObjects(), 0u);

    SCOPED_TRACE("released over a window without receptors");
    DragFromPalette({Item(EdKind::kSound, sample->sound)}, {{310, 110}, {40, 300}});
    EXPECT_EQ(log.back(), "r leave");
    ExpectScreenAsBefore(*before);

    SCOPED_TRACE("a selection moved, released where its entries disagree");
    engine->Selection().Add(node);
    engine->Selection().Add(sound);
    canvas->RedrawMap();
    sim().pump();
    const auto selected = Shot();
    sim().drag(canvas->CentreOf(*node), {1100, 900}, 4);
    ExpectScreenAsBefore(*selected);
    EXPECT_EQ(node->x, 200);

    SCOPED_TRACE("a refused receptor");
    engine->Selection().DeleteAll();
    canvas->RedrawMap();
    sim().pump();
    r->canAccept = false;
    log.clear();
    DragFromPalette({Item(EdKind::kSound, sample->sound)}, {{310, 110}, {320, 120}});
    EXPECT_TRUE(log.empty());
    ExpectScreenAsBefore(*before);

    SCOPED_TRACE("the capture taken mid-drag");
    palette->items = {Item(EdKind::kActionKind, sample->Kind(2))};
    sim().mouseDown(palette->clientToScreen({20, 20}));
    sim().mouseMove(canvas->CentreOf(*condition));
    EXPECT_NE(condition->halfOutline, 0);
    pf::ui().setCapture(palette->hwnd());
    pf::ui().releaseCapture();
    EXPECT_EQ(frame->Cancels(), 1);
    EXPECT_EQ(condition->halfOutline, 0);
    EXPECT_FALSE(engine->IsDragging());
    ExpectScreenAsBefore(*before);
    EXPECT_EQ(PaletteObjects(), 0u);
    EXPECT_EQ(sample->timer->CountActions(), 7u);
}

} // namespace
} // namespace eventedittest
