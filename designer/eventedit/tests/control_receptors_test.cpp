// Receptors over whole controls: action lists take actions and kinds through real drags, with the insertion band on
// the item under the pointer; pickers and property fields hear of what was dropped; the scene-graph tree re-parents
// and groups; the empty map shows the pointer's map point. Handles keep a closed dialog from deleting a receptor
// that is no longer its own.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "designer/editing/actions_receptor.h"
#include "designer/editing/display_names.h"
#include "designer/editing/picker_receptors.h"
#include "designer/editing/scenegraph_receptor.h"
#include "designer/eventedit/tests/eventedit_fixture.h"
#include "designer/workspace/modeless_editor.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "platform/testing/message_spy.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/status_bar.h"
#include "platform/ui/controls/tree_view.h"
#include "platform/ui/dialog/dialog.h"

namespace eventedittest {
namespace {

constexpr int32_t kIddListDialog = 20990;
constexpr int32_t kIdList = 1053;
constexpr int32_t kIdTree = 1054;

class ActionListDialog : public pf::Dialog {
public:
    std::vector<pf::Msg> heard;

protected:
    pf::LResult handle(const pf::Msg& msg) override
    {
        if (msg.message == kMsgNodeDropped || msg.message == kMsgPropertyDropped)
            heard.push_back(msg);
        return pf::Dialog::handle(msg);
    }
};

class ControlReceptors : public EventEditFixture {
protected:
    void SetUp() override
    {
        EventEditFixture::SetUp();
        pf::registerTemplate({kIddListDialog,
                              "Actions",
                              {300, 400},
                              pf::WS_POPUP | pf::WS_CAPTION | pf::WS_VISIBLE,
                              {
                                  {"listview", kIdList, {10, 10, 290, 190}, pf::LVS_REPORT, ""},
                                  {"treeview", kIdTree, {10, 200, 290, 390}, 0, ""},
                              }});
        dialog = std::make_unique<ActionListDialog>();
        ASSERT_TRUE(dialog->create(kIddListDialog, nullptr));
        dialog->move(pf::Rect::fromXywh(920, 100, 320, 430));
        list = dialog->item<pf::ListView>(kIdList);
        list->insertColumn(0, "Action", 270);
        sim().pump();
    }
    void TearDown() override
    {
        dialog.reset();
        EventEditFixture::TearDown();
    }

    ActionsControlReceptor* Cover(SWevent* event)
    {
        auto* receptor = new ActionsControlReceptor(list, event);
        receptor->AddOwner(list);
        handle = engine->AddControlReceptor(receptor);
        receptor->Refill();
        sim().pump();
        return receptor;
    }
    pf::Point ItemPoint(int32_t item, bool lowerHalf)
    {
        const pf::Rect r = list->getItemRect(item, pf::LVIR_BOUNDS);
        return list->clientToScreen({r.l + 20, lowerHalf ? r.b - 2 : r.t + 1});
    }
    std::vector<SWactionnode*> Actions(const SWevent& event)
    {
        std::vector<SWactionnode*> out;
        for (SWactionnode* a = event.GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
            out.push_back(a);
        return out;
    }
    static std::unique_ptr<pf::Surface32> WholeScreen()
    {
        return pf::captureScreen(pf::Rect::fromXywh(0, 0, 1280, 1024));
    }
    void ExpectWholeScreenAsBefore(const pf::Surface32& before)
    {
        EXPECT_TRUE(pf::screen().isOverlayClear());
        EXPECT_EQ(pf::compareSurfaces(before, *WholeScreen(), 0).differing, 0);
    }
    std::vector<std::string> Rows()
    {
        std::vector<std::string> rows;
        for (int32_t i = 0; i < list->getItemCount(); ++i)
            rows.push_back(list->getItemText(i, 0));
        return rows;
    }

    std::unique_ptr<ActionListDialog> dialog;
    pf::ListView* list = nullptr;
    uint32_t handle = 0;
};

TEST_F(ControlReceptors, KindDroppedOnTheUpperHalfOfTheFirstItemGoesFirst)
{
    MapObject* anchor = Place(engine->AddEvent(sample->timer), 300, 300);
    Cover(sample->timer);
    const size_t before = sample->timer->CountActions();
    ASSERT_GE(list->getItemCount(), 1);
    const auto shot = WholeScreen();
    DragFromPalette({Item(EdKind::kActionKind, sample->Kind(23))}, {ItemPoint(0, false), ItemPoint(0, false)});
    ASSERT_EQ(sample->timer->CountActions(), before + 1);
    SWactionnode* made = sample->timer->GetFirstAction();
    EXPECT_EQ(made->GetKindId(), 23);
    ASSERT_EQ(made->GetArguments().Count(), 1u); // a switch starts active
    EXPECT_EQ(*static_cast<const uint8_t*>(static_cast<SWdatanode*>(made->GetArguments().Head())->GetData(2)), 1);
    ASSERT_EQ(recorder->Count(1), 1u);
    EXPECT_EQ(recorder->Events().back().subject.GetObject(), made);
    EXPECT_EQ(reinterpret_cast<SWactionnode*>(list->getItemData(0)), made); // the list refilled
    MapObject* object = engine->FindActionObject(made);
    ASSERT_NE(object, nullptr);
    EXPECT_TRUE(object->IsPlaced());
    EXPECT_LT(std::abs(object->x - anchor->x), 200);
    EXPECT_LT(std::abs(object->y - anchor->y), 200);
    EXPECT_TRUE(pf::screen().isOverlayClear());
    const auto after = WholeScreen();
    EXPECT_GT(pf::compareSurfaces(*shot, *after, 0).differing, 0); // the list shows the new row
}

TEST_F(ControlReceptors, ActionDroppedOnTheLowerHalfGoesRightAfterThatItem)
{
    SWactionnode* first = sample->AddAction(*sample->motionDone, 2);
    sample->AddAction(*sample->motionDone, 3);
    SWactionnode* moved = sample->AddAction(*sample->motionDone, 4);
    Cover(sample->motionDone);
    MapObject* object = Place(engine->AddAction(moved), 50, 50);
    canvas->RedrawMap();
    sim().pump();
    const auto before = Shot();
    const pf::Point start = canvas->clientToScreen({60, 60});
    sim().mouseDown(start);
    const pf::Point target = ItemPoint(0, true);
    sim().mouseMove(target);
    sim().mouseMove({target.x + 1, target.y});
    sim().mouseUp({target.x + 1, target.y});
    sim().pump();
    const auto order = Actions(*sample->motionDone);
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(order[0], first);
    EXPECT_EQ(order[1], moved);
    EXPECT_EQ(engine->FindActionObject(moved), object); // not a second map object
    EXPECT_TRUE(pf::screen().isOverlayClear());
    (void)before;
}

TEST_F(ControlReceptors, BandIsThreeXorRowsAndLeavingRestoresTheList)
{
    Cover(sample->timer);
    ASSERT_GE(list->getItemCount(), 1);
    const auto before = WholeScreen();
    const pf::Rect r = list->getItemRect(0, pf::LVIR_BOUNDS);
    const ActionsControlReceptor::Hit lower = ActionsControlReceptor::HitTestList(list, ItemPoint(0, true));
    EXPECT_EQ(lower.before, 0);
    EXPECT_EQ(lower.band.height(), 3u);
    EXPECT_EQ(lower.band.b, list->clientToScreen({0, r.b}).y);
    const ActionsControlReceptor::Hit upper = ActionsControlReceptor::HitTestList(list, ItemPoint(0, false));
    EXPECT_EQ(upper.before, 1);
    EXPECT_EQ(upper.band.t, list->clientToScreen({0, r.t}).y);
    // Header and empty area hit nothing: the drop then appends.
    EXPECT_EQ(ActionsControlReceptor::HitTestList(list, list->clientToScreen({20, 1})).action, nullptr);

    ActionsControlReceptor::DrawInsertionBand(list, lower.band);
    sim().pump();
    const auto banded = WholeScreen();
    EXPECT_EQ(pf::compareSurfaces(*before, *banded, 0).differing, static_cast<size_t>(3 * lower.band.width()));
    ActionsControlReceptor::DrawInsertionBand(list, lower.band);
    ExpectWholeScreenAsBefore(*before);
}

TEST_F(ControlReceptors, BranchListsSetTheLinkAndRefuseLoops)
{
    ActionsControlReceptor* branch = Cover(sample->timer);
    branch->conditionFalseTarget = sample->condition;
    branch->Refill();
    ASSERT_EQ(Rows().size(), 1u); // the false follower only
    EXPECT_EQ(Rows()[0].rfind('~', 0), 0u);

    // The condition itself, and an action the condition hangs below, would close a loop.
    SWactionnode* above = sample->AddAction(*sample->timer, 30);
    sample->condition->SetQueueLink(above->GetActionId());
    MapObject* aboveObject = engine->AddAction(above);
    EXPECT_FALSE(branch->CanAccept(engine->AddAction(sample->condition)));
    EXPECT_FALSE(branch->CanAccept(aboveObject));
    EXPECT_TRUE(branch->CanAccept(engine->AddAction(sample->thenFollower)));

    branch->OnDrop(list, {}, engine->FindActionObject(sample->thenFollower), false);
    EXPECT_EQ(sample->thenFollower->GetElseLink(), sample->condition->GetActionId());
    EXPECT_EQ(sample->thenFollower->GetThenLink(), SWactionnode::kUnset);
    EXPECT_EQ(sample->thenFollower->GetQueueLink(), SWactionnode::kUnset);
    EXPECT_EQ(Rows().size(), 2u);
    branch->OnDrop(list, {}, aboveObject, false);
    EXPECT_EQ(above->GetElseLink(), SWactionnode::kUnset);
}

TEST_F(ControlReceptors, DeletingAnActionTakesItsBranchListsAndOnlyThose)
{
    auto* trueList = Cover(sample->timer);
    trueList->conditionTrueTarget = sample->condition;
    const uint32_t trueHandle = handle;
    auto* falseList = new ActionsControlReceptor(list, sample->timer);
    falseList->conditionFalseTarget = sample->condition;
    const uint32_t falseHandle = engine->AddControlReceptor(falseList);
    auto* queueList = new ActionsControlReceptor(list, sample->timer);
    queueList->queueTarget = sample->queue;
    const uint32_t queueHandle = engine->AddControlReceptor(queueList);
    auto* secondQueueList = new ActionsControlReceptor(list, sample->timer);
    secondQueueList->queueTarget = sample->queue;
    const uint32_t secondQueueHandle = engine->AddControlReceptor(secondQueueList);

    engine->DeleteActionReceptorsOf(sample->condition);
    EXPECT_EQ(engine->FindReceptor(trueHandle), nullptr);
    EXPECT_EQ(engine->FindReceptor(falseHandle), nullptr);
    EXPECT_NE(engine->FindReceptor(queueHandle), nullptr);
    engine->DeleteActionReceptorsOf(sample->queue); // a queue's match ends the scan
    EXPECT_EQ(engine->FindReceptor(queueHandle), nullptr);
    EXPECT_NE(engine->FindReceptor(secondQueueHandle), nullptr);
}

// A dialog that outlives its receptor must not delete a newer one: handles are never reused.
TEST_F(ControlReceptors, ClosedEditorDeletesNoReceptorItDoesNotOwn)
{
    class Editor : public CVTND_ModelessEditorDlg {
    public:
        Editor() : CVTND_ModelessEditorDlg(16, nullptr, nullptr) {}
        using CVTND_ModelessEditorDlg::AddReceptor;
        using CVTND_ModelessEditorDlg::HoldsReceptor;
    };
    auto* editor = CVTND_ModelessEditorDlg::Open(std::make_unique<Editor>(), kIddListDialog, nullptr);
    ASSERT_NE(editor, nullptr);
    auto* owned = static_cast<Editor*>(editor);
    auto made = std::make_unique<ActionsControlReceptor>(list, sample->timer);
    made->queueTarget = sample->queue;
    DropReceptor* mine = owned->AddReceptor(std::move(made));
    engine->DeleteActionReceptorsOf(sample->queue);
    EXPECT_FALSE(owned->HoldsReceptor(mine));
    // Very likely at the freed address; under ASan a read of the old one would be reported too.
    auto* newcomer = new ActionsControlReceptor(list, sample->timer);
    const uint32_t newcomerHandle = engine->AddControlReceptor(newcomer);
    EXPECT_FALSE(owned->HoldsReceptor(newcomer));
    owned->DestroyWindow();
    sim().pump();
    EXPECT_EQ(engine->FindReceptor(newcomerHandle), newcomer);
}

TEST_F(ControlReceptors, RefreshRefillsEveryOpenActionList)
{
    Cover(sample->motionDone);
    const int32_t before = list->getItemCount();
    sample->AddAction(*sample->motionDone, 2);
    engine->RefreshActionReceptors();
    EXPECT_EQ(list->getItemCount(), before + 1);
}

TEST_F(ControlReceptors, PickersHearOfNodesByFlagAndFieldsOfProperties)
{
    ClickableTargetControlReceptor clickable(dialog.get());
    MovableTargetControlReceptor movable(dialog.get());
    for (SWnode* node : {sample->object, sample->hotspot, sample->group}) {
        MapObject* dropped = engine->AddNode(node);
        clickable.OnDrop(list, {}, dropped, false);
        movable.OnDrop(list, {}, dropped, false);
    }
    ASSERT_EQ(dialog->heard.size(), 3u); // object twice, hot spot once
    EXPECT_EQ(dialog->heard[0].lParam, reinterpret_cast<pf::LParam>(sample->object));
    EXPECT_EQ(dialog->heard[1].lParam, reinterpret_cast<pf::LParam>(sample->object));
    EXPECT_EQ(dialog->heard[2].lParam, reinterpret_cast<pf::LParam>(sample->hotspot));

    dialog->heard.clear();
    PropertyControlReceptor field(dialog.get());
    SWproperty* property = reinterpret_cast<SWproperty*>(sample->object); // only carried, never read
    UIObject item;
    item.SetContent(EdKind::kProperty, property);
    field.OnDrop(list, {}, &item, false);
    field.OnDrop(list, {}, engine->AddNode(sample->mesh), false); // not a palette property
    ASSERT_EQ(dialog->heard.size(), 1u);
    EXPECT_EQ(dialog->heard[0].message, kMsgPropertyDropped);
    EXPECT_EQ(dialog->heard[0].wParam, static_cast<pf::WParam>(kIdList));
}

TEST_F(ControlReceptors, PickerRegisteredThroughTheInterfaceLeavesNothingBehind)
{
    const size_t before = engine->CountReceptors();
    CVTND_EngineInterface& narrow = *engine;
    const uint32_t h = narrow.AddControlReceptor(*list, EdKind::kNode);
    EXPECT_NE(h, 0u);
    EXPECT_NE(dynamic_cast<MovableTargetControlReceptor*>(engine->FindReceptor(h)), nullptr);
    narrow.RemoveControlReceptor(h);
    narrow.RemoveControlReceptor(h);
    EXPECT_EQ(engine->CountReceptors(), before);
}

class SceneGraphReceptor : public ControlReceptors {
protected:
    void SetUp() override
    {
        ControlReceptors::SetUp();
        tree = dialog->item<pf::TreeView>(kIdTree);
        for (SWnode* node : {sample->object, sample->otherObject, sample->group, sample->hotspot, sample->mesh}) {
            const pf::TreeItem item = tree->insertItem(pf::TVI_ROOT, pf::TVI_LAST, *node->GetName());
            tree->setItemData(item, reinterpret_cast<pf::LParam>(node));
            items.push_back(item);
        }
        receptor = std::make_unique<ScenegraphControlReceptor>(
            [this](uintptr_t item) { return reinterpret_cast<SWnode*>(tree->getItemData(item)); },
            [this](SWnode* group, SWnode* node) { inserted.emplace_back(group, node); });
        sim().pump();
    }
    pf::Point LabelPoint(size_t index)
    {
        pf::Rect r;
        tree->getItemRect(items[index], r, true);
        return tree->clientToScreen({r.l + 2, (r.t + r.b) / 2});
    }
    void DropOn(size_t index, SWnode* node)
    {
        MapObject* dragged = engine->FindNodeObject(node) ? engine->FindNodeObject(node) : engine->AddNode(node);
        receptor->OnHover(tree, LabelPoint(index), dragged);
        receptor->OnLeave(tree, dragged);
        receptor->OnDrop(tree, LabelPoint(index), dragged, false);
    }

    pf::TreeView* tree = nullptr;
    std::vector<pf::TreeItem> items;
    std::unique_ptr<ScenegraphControlReceptor> receptor;
    std::vector<std::pair<SWnode*, SWnode*>> inserted;
};

TEST_F(SceneGraphReceptor, HoverBandsTheLabelAndErasesIt)
{
    const auto before = WholeScreen();
    receptor->OnHover(tree, LabelPoint(2), nullptr);
    EXPECT_TRUE(receptor->highlightShown);
    EXPECT_EQ(receptor->hoveredItem, items[2]);
    sim().pump();
    EXPECT_GT(pf::compareSurfaces(*before, *WholeScreen(), 0).differing, 0);
    receptor->OnLeave(tree, nullptr);
    ExpectWholeScreenAsBefore(*before);
}

TEST_F(SceneGraphReceptor, EdgesScrollTheTree)
{
    pf::MessageSpy spy;
    spy.onlyWindows({tree->hwnd()}).onlyMessages({pf::WM_VSCROLL, pf::WM_HSCROLL});
    receptor->OnHover(tree, tree->clientToScreen({50, 2}), nullptr);
    receptor->OnHover(tree, tree->clientToScreen({50, static_cast<int32_t>(tree->clientRect().b) - 2}), nullptr);
    receptor->OnHover(tree, tree->clientToScreen({3, 60}), nullptr);
    std::vector<pf::WParam> vertical;
    for (const pf::SpiedMessage& m : spy.log()) {
        if (m.message == pf::WM_VSCROLL)
            vertical.push_back(m.wParam);
    }
    ASSERT_EQ(vertical.size(), 2u);
    EXPECT_EQ(vertical[0], static_cast<pf::WParam>(pf::SB_LINEUP));
    EXPECT_EQ(vertical[1], static_cast<pf::WParam>(pf::SB_LINEDOWN));
    EXPECT_EQ(spy.count(pf::WM_HSCROLL), 1u);
    receptor->OnLeave(tree, nullptr);
}

TEST_F(SceneGraphReceptor, NodeDroppedOnANodeIsReparentedAfterTheBroadcast)
{
    SWnode* oldParent = sample->otherObject->GetParentNode();
    DropOn(0, sample->otherObject);
    EXPECT_EQ(sample->otherObject->GetParentNode(), sample->object);
    ASSERT_EQ(recorder->Count(5), 1u);
    const designertest::RecordedEvent& moved = recorder->Events().back();
    EXPECT_EQ(moved.subject.GetObject(), sample->otherObject);
    EXPECT_EQ(moved.related[0].GetObject(), oldParent);
    EXPECT_EQ(moved.related[1].GetObject(), sample->object);
    // Back onto its own descendant: refused.
    DropOn(1, sample->object);
    EXPECT_EQ(sample->object->GetParentNode(), oldParent);
}

TEST_F(SceneGraphReceptor, GroupTakesAMemberOnceAndRefusals)
{
    DropOn(2, sample->mesh);
    DropOn(2, sample->mesh);
    EXPECT_NE(sample->group->FindGroupMember(sample->mesh), nullptr);
    ASSERT_EQ(inserted.size(), 1u);
    EXPECT_TRUE(tree->isExpanded(items[2]));
    const size_t broadcasts = recorder->Events().size();
    DropOn(0, sample->group);  // a group is never dragged in
    DropOn(3, sample->object); // a hot spot takes nothing
    EXPECT_EQ(recorder->Events().size(), broadcasts);
}

TEST_F(ControlReceptors, EmptyMapHoverShowsTheMapPointInTheFrameStatusBar)
{
    // The canvas's frame two parents up: a frame with a status bar holding a child holding the canvas.
    pf::Window outer;
    pf::CreateParams params;
    params.style = pf::WS_POPUP | pf::WS_VISIBLE;
    params.rect = pf::Rect::fromXywh(100, 650, 400, 300);
    ASSERT_TRUE(outer.create(params));
    pf::StatusBar status;
    pf::CreateParams bar;
    bar.className = "statusbar";
    bar.style = pf::WS_CHILD | pf::WS_VISIBLE;
    bar.parent = outer.hwnd();
    ASSERT_TRUE(status.create(bar));
    status.setParts({50, 100, 150, -1});
    pf::Window middle;
    pf::CreateParams mid;
    mid.style = pf::WS_CHILD | pf::WS_VISIBLE;
    mid.rect = pf::Rect::fromXywh(0, 0, 400, 250);
    mid.parent = outer.hwnd();
    ASSERT_TRUE(middle.create(mid));
    pf::Window map;
    mid.parent = middle.hwnd();
    ASSERT_TRUE(map.create(mid));
    ControlReceptor empty(&map);
    empty.OnHover(&map, map.clientToScreen({30, 40}), nullptr);
    EXPECT_EQ(status.paneText(2), "X: 30");
    EXPECT_EQ(status.paneText(3), "Y: 40");
}

} // namespace
} // namespace eventedittest
