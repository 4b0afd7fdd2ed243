// The ten docking panels over the sample world: following the world through the notification, drags, commands,
// and the bars' places.
#include <algorithm>

#include <gtest/gtest.h>

#include "designer/app/notification.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/editor_images.h"
#include "designer/editing/scenegraph_receptor.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/java_dlg.h"
#include "designer/workspace/list_panels.h"
#include "designer/workspace/manipulate_dlg.h"
#include "designer/workspace/panel_dlg.h"
#include "designer/workspace/properties_dlg.h"
#include "designer/workspace/property_drag_source.h"
#include "designer/workspace/scenegraph_dlg.h"
#include "designer/workspace/tests/panels_fixture.h"
#include "designer/workspace/tree_panels.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/properties.h"
#include "engine/behaviour/property.h"
#include "engine/core/cursor_list.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "platform/ui/controls/tip_window.h"
#include "platform/ui/core/paint_dc.h"
#include "testsupport/designer/broadcast_recorder.h"

namespace panels_test {
namespace {

size_t CountNodes(const SWnode* node)
{
    size_t n = 1;
    for (const SWnode* c = node->GetFirstChildNode(); c != nullptr; c = c->GetNextSiblingNode())
        n += CountNodes(c);
    return n;
}

size_t CountGroupMembers(const SWnode* node)
{
    size_t n = node->GetGroupMembers().Count();
    for (const SWnode* c = node->GetFirstChildNode(); c != nullptr; c = c->GetNextSiblingNode())
        n += CountGroupMembers(c);
    return n;
}

std::vector<void*> WorldEvents(CVTND_ExtendedWorld& world)
{
    std::vector<void*> out;
    for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
        out.push_back(e);
    return out;
}

std::vector<void*> WorldSounds(CVTND_ExtendedWorld& world)
{
    std::vector<void*> out;
    for (SWsound* s = world.GetSoundList().GetFirst(); s != nullptr; s = world.GetSoundList().GetNext(s))
        out.push_back(s);
    return out;
}

// The nodes the tree shows in its own order, top down, each with the node shown above it, group members left out: a
// walk of the world meets the same.
using Placed = std::pair<const SWnode*, const SWnode*>;
void TreeOrder(const CVTND_ScenegraphDlg& graph, pf::TreeItem first, const SWnode* above, std::vector<Placed>& out)
{
    for (pf::TreeItem item = first; item != 0; item = graph.GetTree()->getNextSiblingItem(item)) {
        if (graph.GetEntry(item).GetKind() == CSGnode::kGroupMember)
            continue;
        const SWnode* node = graph.GetEntry(item).Shown();
        out.emplace_back(node, above);
        TreeOrder(graph, graph.GetTree()->getChildItem(item), node, out);
    }
}

class Panels : public PanelsFixture {
protected:
    // Every list panel lists what the world holds, in its order; the scene graph has an item per node and member.
    void ExpectPanelsMatchWorld()
    {
        EXPECT_EQ(Panel<CVTND_EventsDlg>(PanelRole::kEvents).Items(), WorldEvents(World()));
        EXPECT_EQ(Panel<CVTND_SoundsDlg>(PanelRole::kSounds).Items(), WorldSounds(World()));
        EXPECT_EQ(Panel<CVTND_CursorsDlg>(PanelRole::kCursors).Items().size(), World().GetCursorList().Count());
        const SWexpressionlist* expressions = SWexpressionlist::Find(World());
        EXPECT_EQ(Panel<CVTND_ExpressionsDlg>(PanelRole::kExpressions).Items().size(),
                  expressions != nullptr ? expressions->Entries().Count() : 0u);
        const SWnode* root = World().GetRootNode();
        auto& graph = Panel<CVTND_ScenegraphDlg>(PanelRole::kSceneGraph);
        EXPECT_EQ(graph.CountItems(), CountNodes(root) + CountGroupMembers(root));
        std::vector<Placed> shown, walked;
        TreeOrder(graph, graph.GetTree()->getChildItem(pf::TVI_ROOT), nullptr, shown);
        for (const SWnode* n = root; n != nullptr; n = n->NextInTree(root))
            walked.emplace_back(n, n == root ? nullptr : n->GetParentNode());
        EXPECT_EQ(shown, walked);
    }
};

TEST_F(Panels, FillFromTheWorldAndFollowEachCode)
{
    ExpectPanelsMatchWorld();
    // 1: a new event and a new node appear once.
    SWevent* added = World().AddEventOfType(4);
    added->SetName(std::string("added"));
    app->AnnounceObject(CVTND_Object(added));
    auto* node = new SWobjectnode;
    node->SetName(std::string("newcomer"));
    World().AddNode(node, sample->object);
    app->AnnounceObject(CVTND_Object(static_cast<SWnode*>(node)));
    ExpectPanelsMatchWorld();
    auto& graph = Panel<CVTND_ScenegraphDlg>(PanelRole::kSceneGraph);
    const pf::TreeItem item = graph.FindItem(node);
    ASSERT_NE(item, 0u);
    EXPECT_EQ(graph.GetEntry(graph.GetTree()->getParentItem(item)).GetNode(), sample->object);
    // 3: the tree takes the new name; lists read theirs when they paint.
    node->SetName(std::string("renamed"));
    CVTND_Event renamed(EventCode::kRenamed, CVTND_Object(static_cast<SWnode*>(node)));
    renamed.SetTexts("newcomer", "renamed");
    app->Broadcast(renamed);
    EXPECT_EQ(graph.GetTree()->getItemText(item), "renamed");
    EXPECT_EQ(Panel<CVTND_EventsDlg>(PanelRole::kEvents).GetList()->getItemText(5, 0), "added");
    // 5: a node moved under another parent moves in the tree.
    {
        const SWworldlock hold(World());
        ASSERT_TRUE(node->Detach());
        ASSERT_TRUE(sample->otherObject->AddChildNode(node));
    }
    app->Broadcast(CVTND_Event(EventCode::kMoved, CVTND_Object(static_cast<SWnode*>(node))));
    EXPECT_EQ(graph.GetEntry(graph.GetTree()->getParentItem(graph.FindItem(node))).GetNode(), sample->otherObject);
    // 2: announced while alive, then gone.
    std::unique_ptr<SWsound> sound = World().GetSoundList().Remove(sample->otherSound);
    app->Broadcast(CVTND_Event(EventCode::kDeleted, CVTND_Object(sound.get())));
    sound.reset();
    EXPECT_TRUE(app->DeleteObject(CVTND_Object(added), CVTNDesignerApp::kDeleteFromMenu));
    ExpectPanelsMatchWorld();
    sim().pump(); // paints every list: nothing freed is read
}

TEST_F(Panels, EventAppendedDirectlyAndAnnouncedIsListedOnceEitherWay)
{
    auto& events = Panel<CVTND_EventsDlg>(PanelRole::kEvents);
    SWevent* first = World().AddEventOfType(5);
    EXPECT_TRUE(events.AddEvent(first));
    app->AnnounceObject(CVTND_Object(first));
    SWevent* second = World().AddEventOfType(5);
    app->AnnounceObject(CVTND_Object(second));
    EXPECT_FALSE(events.AddEvent(second));
    const std::vector<void*> items = events.Items();
    EXPECT_EQ(std::count(items.begin(), items.end(), first), 1);
    EXPECT_EQ(std::count(items.begin(), items.end(), second), 1);
}

TEST_F(Panels, ANewWorkspaceLeavesNothingStaleAndRefillsAfterwards)
{
    app->Broadcast(CVTND_Event(EventCode::kWorkspaceClosing, CVTND_Object()));
    EXPECT_TRUE(Panel<CVTND_EventsDlg>(PanelRole::kEvents).Items().empty());
    EXPECT_EQ(Panel<CVTND_ScenegraphDlg>(PanelRole::kSceneGraph).CountItems(), 0u);
    EXPECT_EQ(Panel<CVTND_ResourcesDlg>(PanelRole::kResources).CountItems(), 0u);
    app->DeleteEditorEngine();
    sample = std::make_unique<designertest::SampleWorld>(*app); // the old world is deleted here
    app->MakeEditorEngine();
    sim().pump(); // the posted refill, then paints
    ExpectPanelsMatchWorld();
    EXPECT_GT(Panel<CVTND_ActionsDlg>(PanelRole::kActions).CountItems(), 13u);
}

TEST_F(Panels, DragsMakeThePaletteObjectThenBeginWithoutAMap)
{
    auto& events = Panel<CVTND_EventsDlg>(PanelRole::kEvents);
    ASSERT_TRUE(sim().beginListDrag(*events.GetList(), 1, frame.clientToScreen({500, 300})));
    EXPECT_EQ(g_engine->calls, (std::vector<std::string>{"make:15", "set", "begin"}));
    EXPECT_EQ(g_engine->made.back().GetObject(), sample->click);
    EXPECT_EQ(g_engine->palettes.back()->GetEvent(), sample->click) << "the palette object carries the event";
    sim().mouseUp(frame.clientToScreen({500, 300}));

    auto& actions = Panel<CVTND_ActionsDlg>(PanelRole::kActions);
    pf::TreeView& tree = *actions.GetTree();
    const pf::TreeItem kind = tree.getChildItem(tree.getChildItem(pf::TVI_ROOT));
    g_engine->calls.clear();
    ASSERT_TRUE(sim().beginTreeDrag(tree, kind, frame.clientToScreen({500, 300})));
    sim().mouseUp(frame.clientToScreen({500, 300}));
    EXPECT_EQ(g_engine->calls, (std::vector<std::string>{"make:20", "set", "begin"}));
    EXPECT_EQ(g_engine->palettes.back()->GetActionKind(), actions.EntryOf(kind).GetObject());
    EXPECT_NE(g_engine->palettes.back()->GetActionKind(), nullptr);
    g_engine->calls.clear();
    ASSERT_TRUE(sim().beginTreeDrag(tree, tree.getChildItem(pf::TVI_ROOT), frame.clientToScreen({500, 300})));
    sim().mouseUp(frame.clientToScreen({500, 300}));
    EXPECT_TRUE(g_engine->calls.empty()) << "a category heading is not dragged";

    // A variable: its owner is recorded for the field that takes the drop.
    PropertyDragSource = CVTND_Object();
    app->SetPropertiesObject(CVTND_Object(sample->object));
    auto& properties = Panel<CVTND_PropertiesDlg>(PanelRole::kProperties);
    properties.Refill();
    ASSERT_GT(properties.GetList()->getItemCount(), 0);
    g_engine->calls.clear();
    ASSERT_TRUE(sim().beginListDrag(*properties.GetList(), 0, frame.clientToScreen({500, 300})));
    sim().mouseUp(frame.clientToScreen({500, 300}));
    EXPECT_EQ(g_engine->calls.front(), "make:22");
    EXPECT_EQ(g_engine->palettes.back()->GetProperty(),
              reinterpret_cast<SWproperty*>(properties.GetList()->getItemData(0)));
    EXPECT_EQ(PropertyDragSource, CVTND_Object(sample->object));

    // Without an engine nothing starts.
    app->DeleteEditorEngine();
    ASSERT_TRUE(sim().beginListDrag(*events.GetList(), 0, frame.clientToScreen({500, 300})));
    sim().mouseUp(frame.clientToScreen({500, 300}));
}

// The registered modal tools of the tests record what they were asked.
std::vector<CVTND_ModalRequest> g_requests;
int32_t RecordTool(CVTNDesignerApp&, const CVTND_ModalRequest& request)
{
    g_requests.push_back(request);
    return pf::IDOK;
}

class PanelCommands : public Panels {
protected:
    void SetUp() override
    {
        Panels::SetUp();
        g_requests.clear();
        for (const ModalTool tool : {ModalTool::kAddProperty, ModalTool::kRename, ModalTool::kScaleCenter})
            m_old.push_back({tool, CVTND_Registry::ReplaceModalTool(tool, &RecordTool)});
    }
    void TearDown() override
    {
        for (const auto& [tool, run] : m_old)
            CVTND_Registry::ReplaceModalTool(tool, run);
        Panels::TearDown();
    }
    std::vector<std::pair<ModalTool, CVTND_ModalToolRun>> m_old;
};

TEST_F(PanelCommands, PropertiesAddCastAndEditFollowTheirRules)
{
    auto& properties = Panel<CVTND_PropertiesDlg>(PanelRole::kProperties);
    app->GetSelection().Clear();
    app->GetSelection().Add(CVTND_Object(sample->timer)); // type 15 takes no new variable
    EXPECT_FALSE(properties.AddProperty());
    app->GetSelection().Clear();
    app->GetSelection().Add(CVTND_Object(sample->object));
    EXPECT_TRUE(properties.AddProperty());
    ASSERT_EQ(g_requests.size(), 1u);
    EXPECT_EQ(g_requests[0].subject, CVTND_Object(sample->object));
    EXPECT_EQ(g_requests[0].propertyMode, PropertyDialogMode::kAdd);

    app->SetPropertiesObject(CVTND_Object(sample->object));
    properties.Refill();
    EXPECT_FALSE(properties.CastProperty()) << "nothing selected to cast";
    SWproperty* editable = nullptr;
    int32_t index = 0;
    for (void* item : properties.Items()) {
        if ((static_cast<SWproperty*>(item)->GetFlags() & SWproperty::kFlagEditable) != 0) {
            editable = static_cast<SWproperty*>(item);
            break;
        }
        ++index;
    }
    ASSERT_NE(editable, nullptr);
    properties.GetList()->setItemState(index, pf::LVIS_SELECTED, pf::LVIS_SELECTED);
    EXPECT_TRUE(properties.CastProperty());
    EXPECT_EQ(g_requests.back().property, editable);
    EXPECT_EQ(g_requests.back().propertyMode, PropertyDialogMode::kCast);
    {
        designertest::BroadcastRecorder watcher;
        EXPECT_TRUE(properties.EditProperty());
        EXPECT_EQ(g_requests.back().propertyMode, PropertyDialogMode::kEdit);
        EXPECT_EQ(watcher.Count(static_cast<uint32_t>(EventCode::kChanged)), 1u);
    }
    editable->SetFlags(SWproperty::kFlagEditable, false);
    EXPECT_FALSE(properties.EditProperty()) << "a variable without the editable flag is not edited";
}

// The Properties panel's columns take their widest entry where the panel has room: every type reads whole, and a
// value that cannot fit shows whole in the tip while the pointer rests on it.
TEST_F(Panels, PropertiesColumnsShowEachTypeWholeAndACutValueInATip)
{
    app->SetPropertiesObject(CVTND_Object(sample->object));
    auto& properties = Panel<CVTND_PropertiesDlg>(PanelRole::kProperties);
    properties.Refill();
    pf::ListView& list = *properties.GetList();
    ASSERT_GT(list.getItemCount(), 0);
    pf::WindowDc dc(list);
    const auto widthOf = [&](const std::string& text) { return static_cast<int32_t>(dc.getTextExtent(text).cx); };
    for (int32_t i = 0; i < list.getItemCount(); ++i)
        EXPECT_LE(widthOf(list.getItemText(i, 1)) + 4, list.columnWidth(1)) << list.getItemText(i, 1);
    const int32_t valueLeft = list.columnWidth(0) + list.columnWidth(1);
    for (int32_t i = 0; i < list.getItemCount(); ++i) {
        const std::string value = list.getItemText(i, 2);
        const pf::Rect row = list.getItemRect(i, pf::LVIR_BOUNDS);
        sim().mouseMove(list.clientToScreen({valueLeft + 8, (row.t + row.b) / 2}));
        const bool cut = widthOf(value) + 4 > list.columnWidth(2);
        EXPECT_EQ(pf::TipWindow::shownText(), cut ? std::optional<std::string>(value) : std::nullopt) << value;
    }
}

TEST_F(PanelCommands, SceneGraphScalesOnlyNodeTypesAndRenamesTheItemsObject)
{
    auto& graph = Panel<CVTND_ScenegraphDlg>(PanelRole::kSceneGraph);
    EXPECT_TRUE(graph.ScaleCenter(CVTND_Object(sample->mesh)));
    EXPECT_TRUE(graph.ScaleCenter(CVTND_Object(World().GetRootNode())));
    EXPECT_FALSE(graph.ScaleCenter(CVTND_Object(sample->hotspot)));
    EXPECT_FALSE(graph.ScaleCenter(CVTND_Object(sample->group)));
    EXPECT_FALSE(graph.ScaleCenter(CVTND_Object(sample->sound)));
    ASSERT_EQ(g_requests.size(), 2u);
    EXPECT_EQ(g_requests[0].subject, CVTND_Object(sample->mesh));

    g_requests.clear();
    const pf::TreeItem item = graph.FindItem(sample->camera);
    ASSERT_NE(item, 0u);
    sim().expectMenu(CVTND_ScenegraphDlg::kCmdRename);
    pf::Rect label;
    ASSERT_TRUE(graph.GetTree()->getItemRect(item, label, true));
    sim().click(*graph.GetTree(), {label.l + 4, label.t + 4}, pf::UserSim::Button::kRight);
    ASSERT_EQ(g_requests.size(), 1u);
    EXPECT_EQ(g_requests[0].subject, CVTND_Object(sample->camera));
}

TEST_F(Panels, TheTreeIsADropTargetOfTheEditorEngineAfterEveryFill)
{
    app->DeleteEditorEngine();
    CVTND_Registry::ReplaceEngineCreator(m_oldEngine);
    ASSERT_TRUE(app->MakeEditorEngine());
    auto* engine = dynamic_cast<CEditorEngine*>(app->GetEditorEngine());
    ASSERT_NE(engine, nullptr);
    auto& graph = Panel<CVTND_ScenegraphDlg>(PanelRole::kSceneGraph);
    graph.Refill();
    graph.Refill(); // the second fill adds no second receptor
    pf::TreeView& tree = *graph.GetTree();
    pf::Rect label;
    ASSERT_TRUE(tree.getItemRect(graph.FindItem(sample->camera), label, true));
    const pf::Point at = tree.clientToScreen({label.l + 2, label.t + 4});
    DropReceptor* receptor = engine->FindReceptorAt(&tree, at, nullptr, false);
    ASSERT_NE(dynamic_cast<ScenegraphControlReceptor*>(receptor), nullptr);
    size_t count = 0;
    for (SWlistnode* link = engine->Receptors().Head(); link != nullptr; link = link->Next())
        count += dynamic_cast<ScenegraphControlReceptor*>(&static_cast<DropReceptorLink*>(link)->receptor) != nullptr;
    EXPECT_EQ(count, 1u);
    // A rebuild: the closing notice, the engine deleted with the receptor, a new engine, the posted refill. The
    // panel must not touch the receptor that went with the old engine.
    app->Broadcast(CVTND_Event(EventCode::kWorkspaceClosing, CVTND_Object()));
    app->DeleteEditorEngine();
    ASSERT_TRUE(app->MakeEditorEngine());
    sim().pump();
    engine = dynamic_cast<CEditorEngine*>(app->GetEditorEngine());
    ASSERT_TRUE(tree.getItemRect(graph.FindItem(sample->camera), label, true));
    EXPECT_NE(dynamic_cast<ScenegraphControlReceptor*>(
                  engine->FindReceptorAt(&tree, tree.clientToScreen({label.l + 2, label.t + 4}), nullptr, false)),
              nullptr);
    app->DeleteEditorEngine();
    CVTND_Registry::ReplaceEngineCreator(&MakeRecordingEngine);
    app->MakeEditorEngine();
}

// Each panel that both drags and opens: a double click without moving opens the editor and starts no drag, a press
// moved past the drag distance starts the drag and opens nothing.
std::vector<void*> g_edited;
pf::Window* RecordEditor(const CVTND_EditorRequest& request)
{
    g_edited.push_back(request.object);
    return nullptr;
}

TEST_F(Panels, ADoubleClickOpensTheEditorAndOnlyAPressMovedOnDrags)
{
    const pf::Point away = frame.clientToScreen({500, 300});
    const auto check = [&](const CVTND_Object& object, pf::Window& view, pf::Rect label, auto beginDrag) {
        SCOPED_TRACE(object.GetType());
        const auto displaced = CVTND_Registry::ReplaceEditor(object.GetType(), kAnyActionKind, &RecordEditor);
        g_edited.clear();
        g_engine->calls.clear();
        sim().doubleClick(view.clientToScreen({label.l + 4, label.t + 4}));
        EXPECT_EQ(g_edited, std::vector<void*>{object.GetObject()});
        EXPECT_TRUE(g_engine->calls.empty()) << "a double click in place starts no drag";
        g_edited.clear();
        ASSERT_TRUE(beginDrag());
        sim().mouseUp(away);
        EXPECT_EQ(g_engine->calls,
                  (std::vector<std::string>{"make:" + std::to_string(object.GetType()), "set", "begin"}));
        EXPECT_TRUE(g_edited.empty());
        CVTND_Registry::ReplaceEditor(object.GetType(), kAnyActionKind, displaced);
    };
    auto& resources = Panel<CVTND_ResourcesDlg>(PanelRole::kResources);
    auto& graph = Panel<CVTND_ScenegraphDlg>(PanelRole::kSceneGraph);
    for (const auto& [panel, object] :
         {std::pair<CVTND_TreePanelDlg*, CVTND_Object>{&resources, CVTND_Object(sample->material)},
          {&graph, CVTND_Object(sample->mesh)}}) {
        pf::TreeView& tree = *panel->GetTree();
        const pf::TreeItem item = panel->FindItem(object.GetObject());
        pf::Rect label;
        ASSERT_TRUE(tree.getItemRect(item, label, true));
        check(object, tree, label, [&] { return sim().beginTreeDrag(tree, item, away); });
    }
    pf::ListView& events = *Panel<CVTND_EventsDlg>(PanelRole::kEvents).GetList();
    check(CVTND_Object(ObjectType::kEvent, sample->click), events, events.getItemRect(1, pf::LVIR_LABEL),
          [&] { return sim().beginListDrag(events, 1, away); });
}

// F6 and Shift+F6 walk the focus round the shown panels, each taking it at its list or tree; Enter on a panel's
// selected item opens its editor as a double click does, in a list and in a tree.
TEST_F(Panels, F6WalksThePanelsAndEnterOpensTheSelectedItemsEditor)
{
    std::vector<pf::Window*> shown;
    for (size_t i = 0; i < CVTND_Panels::kCount; ++i)
        if (panels->Bar(i).Content().isVisible())
            shown.push_back(&panels->Bar(i).Content());
    ASSERT_GE(shown.size(), 2u);
    const auto focusedPane = [&]() -> const pf::Window* {
        const pf::Window* focus = ui().window(ui().focus());
        for (const pf::Window* pane : shown)
            if (focus != nullptr && focus->isDescendantOf(pane))
                return pane;
        return nullptr;
    };
    constexpr uint8_t kF6 = pf::VK_F1 + 5;
    ui().setFocus(frame.hwnd());
    for (const pf::Window* pane : shown) {
        sim().keyPress(kF6);
        EXPECT_EQ(focusedPane(), pane);
    }
    sim().keyPress(kF6);
    EXPECT_EQ(focusedPane(), shown.front()) << "round the end";
    sim().keyDown(pf::VK_SHIFT);
    sim().keyPress(kF6);
    sim().keyUp(pf::VK_SHIFT);
    EXPECT_EQ(focusedPane(), shown.back());

    auto& resources = Panel<CVTND_ResourcesDlg>(PanelRole::kResources);
    pf::ListView& events = *Panel<CVTND_EventsDlg>(PanelRole::kEvents).GetList();
    const auto displacedEvent =
        CVTND_Registry::ReplaceEditor(static_cast<uint16_t>(ObjectType::kEvent), kAnyActionKind, &RecordEditor);
    const auto displacedMaterial =
        CVTND_Registry::ReplaceEditor(static_cast<uint16_t>(ObjectType::kMaterial), kAnyActionKind, &RecordEditor);
    g_edited.clear();
    ASSERT_TRUE(sim().selectListViewItem(events, 1));
    sim().keyPress(pf::VK_RETURN);
    ASSERT_TRUE(sim().clickTreeItem(*resources.GetTree(), resources.FindItem(sample->material)));
    sim().keyPress(pf::VK_RETURN);
    EXPECT_EQ(g_edited, (std::vector<void*>{sample->click, sample->material}));
    CVTND_Registry::ReplaceEditor(static_cast<uint16_t>(ObjectType::kEvent), kAnyActionKind, displacedEvent);
    CVTND_Registry::ReplaceEditor(static_cast<uint16_t>(ObjectType::kMaterial), kAnyActionKind, displacedMaterial);
}

TEST_F(Panels, GroupMembersAndHotSpotsAnswerTheirKinds)
{
    auto& graph = Panel<CVTND_ScenegraphDlg>(PanelRole::kSceneGraph);
    const pf::TreeItem hotspot = graph.FindItem(sample->hotspot);
    EXPECT_EQ(graph.GetEntry(hotspot).GetKind(), CSGnode::kHotspotEntry);
    EXPECT_NE(graph.GetEntry(hotspot).GetHotspot(), nullptr);
    EXPECT_EQ(graph.GetEntry(hotspot).GetNode(), nullptr);
    const pf::TreeItem member = CVTND_ScenegraphDlg::InsertItemUnderHotspot(&graph, sample->group, sample->otherObject);
    ASSERT_NE(member, 0u);
    EXPECT_EQ(graph.GetTree()->getParentItem(member), graph.FindItem(sample->group));
    EXPECT_EQ(graph.GetEntry(member).GetKind(), CSGnode::kGroupMember);
    EXPECT_EQ(graph.GetEntry(member).GetMember(), sample->otherObject);
    EXPECT_EQ(CVTND_ScenegraphDlg::InsertItemUnderHotspot(nullptr, sample->group, sample->mesh), 0u);
}

// The scene graph and the lists draw the pictures the map and palette objects of the same objects show.
TEST_F(Panels, ListsShowTheEditorPicturesOfTheirObjects)
{
    const CVTND_EditorImages* images = GetEditorImages();
    ASSERT_NE(images, nullptr);
    auto& graph = Panel<CVTND_ScenegraphDlg>(PanelRole::kSceneGraph);
    EXPECT_EQ(graph.GetTree()->getImageList(pf::TVSIL_NORMAL), images->List(EditorImageList::kTree));
    const auto treeImage = [&](size_t objectIcon) { return images->TreeIndices()[objectIcon]; };
    for (const auto& [node, objectIcon] :
         {std::pair{sample->mesh, 0}, std::pair{sample->camera, 2}, std::pair{sample->otherCamera, 17},
          std::pair{sample->group, 10}, std::pair{sample->hotspot, 15}, std::pair{sample->particles, 8},
          std::pair{sample->screenNode, 18}, std::pair{sample->object, 5}}) {
        SCOPED_TRACE(node->GetName().value_or(""));
        EXPECT_EQ(graph.GetTree()->getItemImage(graph.FindItem(node)), treeImage(static_cast<size_t>(objectIcon)));
    }
    // Events by type, at the small size of the same icon resources.
    auto& events = Panel<CVTND_EventsDlg>(PanelRole::kEvents);
    const pf::ImageListRef small = events.GetList()->getImageList(pf::LVSIL_SMALL);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(small->count(), 12);
    EXPECT_EQ(small->imageWidth(), pf::fixedSystemMetric(pf::SM_CXSMICON));
    for (const auto& [event, index] : {std::pair{sample->timer, 2}, std::pair{sample->click, 3},
                                       std::pair{sample->motionDone, 6}, std::pair{sample->key, 8}})
        EXPECT_EQ(events.GetList()->getItemImage(events.FindItem(event)), index) << event->GetType();
    auto& sounds = Panel<CVTND_SoundsDlg>(PanelRole::kSounds);
    EXPECT_EQ(sounds.GetList()->getItemImage(sounds.FindItem(sample->sound)), treeImage(1));
    sim().pump(); // every list paints its pictures
}

TEST_F(Panels, ManipulateKeepsTransformsAndSetsTypedValuesUnderTheLock)
{
    auto& manipulate = Panel<CVTND_ManipulateDlg>(PanelRole::kManipulate);
    auto* node = SWobjectnode::FromNode(sample->object);
    ASSERT_NE(node, nullptr);
    manipulate.SelectNode(CVTND_Object(sample->object), true);
    manipulate.SelectNode(CVTND_Object(sample->hotspot), false); // not a transform node
    EXPECT_EQ(manipulate.GetSingleSelection(), CVTND_Object(sample->object));
    manipulate.SelectNode(CVTND_Object(sample->otherObject), false);
    EXPECT_TRUE(manipulate.GetSingleSelection().IsEmpty());
    manipulate.RemoveNode(CVTND_Object(sample->otherObject));
    ASSERT_EQ(manipulate.GetSingleSelection(), CVTND_Object(sample->object));

    const SWmatrix before = node->GetLocalMatrix();
    for (const auto& [field, text] : std::vector<std::pair<int32_t, const char*>>{
             {0, "1.5"}, {1, "-2"}, {2, "3"}, {3, "0"}, {4, "90"}, {5, "0"}, {6, "2"}, {7, "2"}, {8, "2"}})
        manipulate.child(panel_ids::kFirstValueEdit + field)->setText(text);
    ASSERT_TRUE(manipulate.ApplyTypedValues());
    EXPECT_EQ(node->GetInitialMatrix(), node->GetLocalMatrix()); // the rest pose, which a preview's stop keeps
    const CVTND_Pose pose = PoseOf(node->GetLocalMatrix());
    EXPECT_NEAR(pose.position[0], 1.5f, 1e-4f);
    EXPECT_NEAR(pose.rotationDegrees[1], 90.0f, 1e-2f);
    EXPECT_NEAR(pose.scale[2], 2.0f, 1e-4f);
    // Text no field can keep changes nothing, and every field shows the node's pose again.
    const SWmatrix posed = node->GetLocalMatrix();
    for (const auto& [field, text] : std::vector<std::pair<int32_t, const char*>>{
             {0, "x"}, {0, "12abc"}, {1, "nan"}, {2, "1e40"}, {0, ""}, {6, "-1"}, {7, "inf"}}) {
        SCOPED_TRACE(text);
        manipulate.child(panel_ids::kFirstValueEdit + field)->setText(text);
        EXPECT_FALSE(manipulate.ApplyTypedValues());
        const SWmatrix now = node->GetLocalMatrix();
        EXPECT_EQ(std::vector<float>(now.Data(), now.Data() + 16), std::vector<float>(posed.Data(), posed.Data() + 16));
        EXPECT_EQ(manipulate.child(panel_ids::kFirstValueEdit)->getText(), "1.5");
        EXPECT_EQ(manipulate.child(panel_ids::kFirstValueEdit + field)->getText(),
                  FormatReal(field < 3   ? PoseOf(posed).position[static_cast<size_t>(field)]
                             : field < 6 ? PoseOf(posed).rotationDegrees[static_cast<size_t>(field - 3)]
                                         : PoseOf(posed).scale[static_cast<size_t>(field - 6)],
                             "%.4g"));
    }
    // Reset puts back what was stored at selection; ResetSelectedNodes stores the node's rest matrix afresh.
    ASSERT_TRUE(manipulate.ResetSingle());
    const SWmatrix after = node->GetLocalMatrix();
    EXPECT_EQ(std::vector<float>(after.Data(), after.Data() + 16),
              std::vector<float>(before.Data(), before.Data() + 16));
    node->SetInitialMatrix(SWmatrix::Translation(4, 5, 6));
    manipulate.ResetSelectedNodes();
    node->SetLocalMatrix(SWmatrix()); // a passing frame of a preview
    manipulate.ResetSingle();
    EXPECT_EQ(node->GetLocalMatrix().GetTranslation().x, 4.0f);
    // A pose taken apart into angles gives -0 as often as 0; the fields show 0.
    node->SetInitialMatrix(SWmatrix::Translation(-0.0f, 0, 0));
    node->SetLocalMatrix(node->GetInitialMatrix());
    manipulate.SelectNode(CVTND_Object(sample->object), true);
    for (int32_t field = 0; field < 6; ++field)
        EXPECT_EQ(manipulate.child(panel_ids::kFirstValueEdit + field)->getText(), "0") << field;
    // A deleted node leaves the selection while it still lives.
    app->Broadcast(CVTND_Event(EventCode::kDeleted, CVTND_Object(sample->object)));
    EXPECT_EQ(manipulate.CountSelected(), 0u);
}

TEST_F(Panels, LongListsScrollByDraggingTheirThumbs)
{
    for (int i = 0; i < 300; ++i) {
        World().GetSoundList().Add(std::make_unique<SWsound>("sound " + std::to_string(i)));
        auto* node = new SWobjectnode;
        node->SetName("node " + std::to_string(i));
        World().AddNode(node, nullptr);
    }
    auto& sounds = Panel<CVTND_SoundsDlg>(PanelRole::kSounds);
    auto& graph = Panel<CVTND_ScenegraphDlg>(PanelRole::kSceneGraph);
    sounds.Refill();
    graph.Refill();
    sim().pump();
    for (pf::Window* view : {static_cast<pf::Window*>(sounds.GetList()), static_cast<pf::Window*>(graph.GetTree())}) {
        const pf::Rect thumb = view->ownScrollThumbRect(pf::SB_VERT);
        ASSERT_FALSE(thumb.isEmpty());
        const pf::Point grab{view->screenRect().l + thumb.l + 3, view->screenRect().t + thumb.t + 3};
        sim().drag(grab, {grab.x, grab.y + 2000}, 6);
        sim().pump();
        const pf::ScrollInfo info = view->getScrollInfo(pf::SB_VERT);
        EXPECT_EQ(info.nPos, info.nMax - static_cast<int32_t>(info.nPage) + 1) << "dragged to the end";
    }
    EXPECT_EQ(sounds.GetList()->topIndex(),
              static_cast<int32_t>(WorldSounds(World()).size()) -
                  static_cast<int32_t>(sounds.GetList()->getScrollInfo(pf::SB_VERT).nPage));
    EXPECT_GT(graph.GetTree()->topRow(), 250);
}

TEST(PanelsPose, MatrixRoundTripsThroughPositionRotationAndScale)
{
    for (const CVTND_Pose& pose : {CVTND_Pose{{1, 2, 3}, {10, 20, 30}, {1, 2, 3}},
                                   CVTND_Pose{{-4, 0, 9}, {-170, 45, 179}, {0.5f, 0.5f, 0.5f}}}) {
        const CVTND_Pose back = PoseOf(MatrixOf(pose));
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_NEAR(back.position[i], pose.position[i], 1e-4f);
            EXPECT_NEAR(back.rotationDegrees[i], pose.rotationDegrees[i], 1e-2f);
            EXPECT_NEAR(back.scale[i], pose.scale[i], 1e-4f);
        }
    }
    // The engine's own rotation about Y agrees with ours.
    const CVTND_Pose turned = PoseOf(SWmatrix::Rotation(0.5f, 1));
    EXPECT_NEAR(turned.rotationDegrees[1], 0.5f * 180.0f / 3.14159265f, 1e-2f);
}

} // namespace
} // namespace panels_test
