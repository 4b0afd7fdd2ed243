// The editor's pictures: the image lists and their counts, the icon rules of palette objects, pickers and map
// objects, the drag cursor, and map objects drawing themselves (icons, pictures, names, selection ellipses).
#include <algorithm>
#include <memory>

#include "designer/app/project_object.h"
#include "designer/editing/editor_icons.h"
#include "designer/editing/editor_images.h"
#include "designer/eventedit/tests/eventedit_fixture.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/node.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/dib.h"
#include "platform/testing/image_check.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

namespace eventedittest {
namespace {

// A canvas that draws the engine's map objects the way the event map does: background, then each object.
class DrawCanvas : public pf::Window {
public:
    DrawCanvas(pf::Window& parent, const pf::Rect& rect)
    {
        pf::CreateParams params;
        params.style = pf::WS_CHILD | pf::WS_VISIBLE;
        params.rect = rect;
        params.parent = parent.hwnd();
        create(params);
    }
    pf::Point scroll;
    std::vector<const MapObject*> highlighted;

protected:
    pf::LResult handle(const pf::Msg& msg) override
    {
        if (msg.message != pf::WM_PAINT)
            return Window::handle(msg);
        pf::PaintDc dc(*this);
        CEditorEngine* engine = GetEditorEngine();
        dc.fillRect(clientRect(), pf::createSolidBrush(pf::rgb(255, 255, 255)));
        for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o)) {
            const bool lit = std::find(highlighted.begin(), highlighted.end(), o) != highlighted.end();
            o->Draw(dc, scroll, lit);
        }
        return 0;
    }
};

class EditorImages : public EventEditFixture {
protected:
    const CVTND_EditorImages& Images() { return *GetEditorImages(); }
    // Icons come out of the lists as copies: the same picture is the same pixels.
    static bool Same(const pf::IconRef& a, const pf::IconRef& b)
    {
        if (a == nullptr || b == nullptr || a->width() != b->width() || a->height() != b->height())
            return false;
        for (int32_t y = 0; y < a->height(); ++y)
            for (int32_t x = 0; x < a->width(); ++x)
                if (a->pixel(x, y) != b->pixel(x, y))
                    return false;
        return true;
    }
    UIObject* Palette(ObjectType type, void* object)
    {
        return engine->MakePaletteObject(CVTND_Object(static_cast<uint16_t>(type), object));
    }
};

TEST_F(EditorImages, ListsHoldTheirCountsAndSizes)
{
    ASSERT_NE(GetEditorImages(), nullptr);
    const int32_t large = pf::fixedSystemMetric(pf::SM_CXICON);
    const int32_t small = pf::fixedSystemMetric(pf::SM_CXSMICON);
    const struct {
        EditorImageList list;
        int32_t count, side;
    } rows[] = {{EditorImageList::kEvents, 12, large},       {EditorImageList::kEventsSecond, 12, large},
                {EditorImageList::kObjects, 20, large},      {EditorImageList::kSmallActions, 45, small},
                {EditorImageList::kLargeActions, 45, large}, {EditorImageList::kObjectsSecond, 20, large},
                {EditorImageList::kTree, 24, small},         {EditorImageList::kSceneFile, 1, small},
                {EditorImageList::kSmallThree, 3, small},    {EditorImageList::kAxes, 4, small},
                {EditorImageList::kSix, 6, large},           {EditorImageList::kMarkers, 9, small}};
    for (const auto& row : rows) {
        const pf::ImageListRef& list = Images().List(row.list);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->count(), row.count);
        EXPECT_EQ(list->imageWidth(), row.side);
    }
    EXPECT_EQ(Images().Bitmaps().size(), 15u);
    EXPECT_EQ(Images().TreeIndices().size(), 24u);
    EXPECT_EQ(Images().SceneFileIndex(), 0);
    EXPECT_EQ(Images().List(EditorImageList::kAxes)->bkColor(), pf::CLR_NONE);
    EXPECT_NE(Images().DragCursor().icon, nullptr);
}

TEST_F(EditorImages, IconIndexRulesAtTheirEdges)
{
    for (const uint32_t type : {8u, 11u, 15u, 18u, 21u, 200u})
        EXPECT_EQ(CEditorEngine::EventTypeIcon(type), 0) << type;
    EXPECT_EQ(CEditorEngine::EventTypeIcon(2), 11);
    EXPECT_EQ(CEditorEngine::EventTypeIcon(20), 9);
    for (const int32_t kind : {9, 17, 18, 33, 36, 52, 57, 58, 59, 60, 65, 200})
        EXPECT_EQ(CEditorEngine::ActionTypeIcon(kind), 5) << kind;
    EXPECT_EQ(CEditorEngine::ActionTypeIcon(61), 44);
    EXPECT_EQ(CEditorEngine::NodeIcon(nullptr), nullptr);
    EXPECT_EQ(CEditorEngine::NodeIcon(sample->group), nullptr); // groups have no picker picture
    EXPECT_TRUE(Same(CEditorEngine::NodeIcon(sample->otherCamera), Images().ObjectIcon(17)));
    EXPECT_TRUE(Same(CEditorEngine::NodeIcon(sample->camera), Images().ObjectIcon(2)));
    EXPECT_TRUE(Same(CEditorEngine::NodeIcon(sample->particles), Images().ObjectIcon(8)));
    EXPECT_TRUE(Same(CEditorEngine::NodeIcon(sample->screenNode), Images().ObjectIcon(18)));
    EXPECT_TRUE(Same(CEditorEngine::NodeIcon(sample->hotspot), Images().ObjectIcon(15)));
    // The map's own rule: a group's map object does show its icon.
    EXPECT_EQ(engine->AddNode(sample->group)->iconIndex, 10);
}

TEST_F(EditorImages, PaletteObjectsByType)
{
    const int32_t large = pf::fixedSystemMetric(pf::SM_CXICON);
    const int32_t small = pf::fixedSystemMetric(pf::SM_CXSMICON);
    for (const uint16_t type : {uint16_t{0}, uint16_t{23}, uint16_t{99}}) {
        const size_t before = engine->CountDroppables();
        EXPECT_EQ(engine->MakePaletteObject(CVTND_Object(type, sample->object)), nullptr);
        EXPECT_EQ(engine->CountDroppables(), before);
    }
    UIObject* tooltip = Palette(ObjectType::kTooltip, nullptr);
    ASSERT_NE(tooltip, nullptr);
    EXPECT_EQ(tooltip->imageList, EdImageList::kNone);
    EXPECT_EQ(tooltip->width, 0);
    SWactionkind hostCallback;
    hostCallback.SetKindId(16);
    UIObject* callback = Palette(ObjectType::kActionKind, &hostCallback);
    EXPECT_EQ(callback->imageList, EdImageList::kObjects);
    EXPECT_EQ(callback->iconIndex, 4);
    EXPECT_EQ(callback->width, large);
    UIObject* kind = Palette(ObjectType::kActionKind, sample->Kind(23));
    EXPECT_EQ(kind->imageList, EdImageList::kSmallActions);
    EXPECT_EQ(kind->cursorImageList, EdImageList::kLargeActions);
    EXPECT_EQ(kind->iconIndex, 16);
    EXPECT_EQ(kind->width, small);
    EXPECT_EQ(Palette(ObjectType::kCamera, sample->otherCamera)->iconIndex, 17);
    EXPECT_EQ(Palette(ObjectType::kObjectNode, sample->screenNode)->iconIndex, 18);
    EXPECT_EQ(Palette(ObjectType::kObjectNode, sample->object)->iconIndex, 5);
    UIObject* type = Palette(ObjectType::kEventType, reinterpret_cast<void*>(uintptr_t{17}));
    EXPECT_EQ(type->imageList, EdImageList::kEvents);
    EXPECT_EQ(type->iconIndex, 7);
    EXPECT_EQ(Palette(ObjectType::kEvent, sample->timer)->iconIndex, 2);
    EXPECT_EQ(Palette(ObjectType::kProperty, nullptr)->iconIndex, 16);
}

// The pictures a person tells kinds apart by: within a list no two look alike, each leaves its corners to what is
// under it, and the same id draws the same picture every time.
TEST_F(EditorImages, EveryPictureOfAListIsItsOwnAndStable)
{
    const auto differing = [](const pf::Icon& a, const pf::Icon& b) {
        int32_t count = 0;
        for (int32_t y = 0; y < a.height(); ++y)
            for (int32_t x = 0; x < a.width(); ++x)
                count += a.isTransparentAt(x, y) != b.isTransparentAt(x, y) ||
                         (!a.isTransparentAt(x, y) && a.pixel(x, y) != b.pixel(x, y));
        return count;
    };
    for (int32_t list = 0; list < static_cast<int32_t>(EditorImageList::kCount); ++list) {
        std::vector<uint32_t> ids = CVTND_EditorImages::IdsOf(static_cast<EditorImageList>(list));
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end()); // the tree names some pictures twice
        for (const int32_t side : {16, 32}) {
            std::vector<pf::IconRef> icons;
            for (const uint32_t id : ids) {
                pf::IconRef icon = DrawEditorIcon(id, side);
                ASSERT_NE(icon, nullptr) << id;
                EXPECT_FALSE(EditorIconName(id).empty()) << id;
                for (const pf::Point corner :
                     {pf::Point{0, 0}, pf::Point{side - 1, 0}, pf::Point{0, side - 1}, pf::Point{side - 1, side - 1}})
                    EXPECT_TRUE(icon->isTransparentAt(corner.x, corner.y)) << id << " at " << side;
                EXPECT_EQ(differing(*icon, *DrawEditorIcon(id, side)), 0) << id;
                icons.push_back(std::move(icon));
            }
            for (size_t i = 0; i < icons.size(); ++i)
                for (size_t j = i + 1; j < icons.size(); ++j)
                    EXPECT_GE(differing(*icons[i], *icons[j]), side * side / 10)
                        << EditorIconName(ids[i]) << " and " << EditorIconName(ids[j]) << " at " << side;
        }
    }
    // What the lists hold is our drawing, not the layer's generated stand-in.
    EXPECT_EQ(differing(*Images().ObjectIcon(2), *DrawEditorIcon(229, 32)), 0);
}

TEST_F(EditorImages, DragCursorIsTheIconMovedToItsHotSpot)
{
    MapObject* object = Place(engine->AddSound(sample->sound), 10, 10);
    object->grabOffset = {7, 9};
    pf::ui().setCursorPos({300, 300});
    object->ShowDragCursor();
    const pf::IconRef icon = Images().List(EditorImageList::kObjects)->getIcon(1);
    ASSERT_NE(pf::ui().currentCursor().icon, nullptr);
    EXPECT_EQ(pf::ui().currentCursor().icon->pixel(10, 10), icon->pixel(10, 10));
    EXPECT_EQ(pf::ui().cursorPos(), (pf::Point{300 - 7 + icon->hotSpot().x, 300 - 9 + icon->hotSpot().y}));
    EXPECT_EQ(object->grabOffset, icon->hotSpot());

    UIObject* kind = Palette(ObjectType::kActionKind, sample->Kind(2));
    kind->ShowDragCursor();
    EXPECT_EQ(pf::ui().currentCursor().icon->width(), pf::fixedSystemMetric(pf::SM_CXICON)); // the large list
}

class MapDrawing : public EditorImages {
protected:
    void SetUp() override
    {
        EditorImages::SetUp();
        drawing = std::make_unique<DrawCanvas>(*frame, pf::Rect::fromXywh(150, 0, 750, 600));
    }
    void TearDown() override
    {
        drawing.reset();
        EditorImages::TearDown();
    }
    uint32_t At(int32_t x, int32_t y)
    {
        drawing->invalidate();
        drawing->update();
        return pf::screenPixel(drawing->clientToScreen({x, y}));
    }
    std::unique_ptr<DrawCanvas> drawing;
};

TEST_F(MapDrawing, SelectionEllipsesPrimaryAndSecondary)
{
    MapObject* first = Place(engine->AddSound(sample->sound), 100, 100);
    MapObject* second = Place(engine->AddSound(sample->otherSound), 300, 100);
    engine->showObjectNames = false;
    engine->Selection().Add(first);
    engine->Selection().Add(second);
    // The ellipse's left extreme sits 5 pixels left of the box, half way down.
    EXPECT_EQ(At(100 - 5 + 1, 100 + first->height / 2), 0xFF8080u);
    EXPECT_EQ(At(300 - 5 + 1, 100 + second->height / 2), 0xFF3333u);
}

TEST_F(MapDrawing, DisabledEventsHighlightsNamesPicturesAndScroll)
{
    MapObject* event = Place(engine->AddEvent(sample->key), 40, 40);
    const int32_t middle = event->width / 2; // inside the picture, whose corners are clear
    const uint32_t enabled = At(40 + middle, 40 + middle);
    sample->key->SetEnabled(false);
    EXPECT_NE(At(40 + middle, 40 + middle), enabled); // the second set
    sample->key->SetEnabled(true);
    drawing->highlighted = {event};
    EXPECT_NE(At(40 + middle, 40 + middle), enabled); // blended
    drawing->highlighted.clear();

    // Names below the icon only with their setting on; actions other than callbacks have none.
    const auto rowHasText = [&](int32_t left, int32_t y) {
        for (int32_t x = left; x < left + 40; ++x)
            if (At(x, y) != 0xFFFFFFu)
                return true;
        return false;
    };
    engine->showEventNames = false;
    EXPECT_FALSE(rowHasText(40, 40 + event->height + 6));
    engine->showEventNames = true;
    EXPECT_TRUE(rowHasText(40, 40 + event->height + 6));
    MapObject* action = Place(engine->AddAction(sample->queue), 200, 40);
    EXPECT_FALSE(rowHasText(200, 40 + action->height + 6));

    MapObject* pictured = Place(engine->AddNode(sample->object), 400, 300);
    pictured->bitmap = pf::DibSection::create(32, 32);
    pictured->bitmap->surface().fill(0xFF123456);
    EXPECT_EQ(At(400 + 3, 300 + 3), 0x123456u);
    drawing->scroll = {100, 50};
    EXPECT_EQ(At(300 + 3, 250 + 3), 0x123456u);
}

} // namespace
} // namespace eventedittest
