#include "designer/app/designer_app.h"

#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

#include "designer/app/extended_world.h"
#include "designer/app/map_canvas.h"
#include "designer/app/registry.h"
#include "designer/app/tests/test_windows.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/hotspot.h"
#include "engine/core/object_node.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/providers/providers.h"

namespace {

using designertest::Received;
using designertest::RecordingWindow;
using designertest::TestEditor;

std::vector<Received>* g_log = nullptr; // the running test's log, for the registered constructors
int g_constructed = 0;

pf::Window* MakeTestEditor(const CVTND_EditorRequest& request)
{
    ++g_constructed;
    auto* editor =
        new TestEditor("editor" + std::to_string(g_constructed), *g_log, request.record->kind, request.object);
    if (request.record->kind == static_cast<uint16_t>(ObjectType::kAction)) {
        auto* action = static_cast<SWactionnode*>(request.object);
        editor->touchWhileClosing = [action] { EXPECT_GE(action->GetKindId(), 0); };
    }
    return editor;
}

pf::Window* MakeNothing(const CVTND_EditorRequest&)
{
    ++g_constructed;
    return nullptr;
}

int g_browserRuns = 0;
int32_t RunBrowser(CVTNDesignerApp&, const CVTND_ModalRequest&)
{
    ++g_browserRuns;
    return pf::IDOK;
}

std::vector<CVTND_Object>* g_dropped = nullptr;
void RecordDropped(CVTNDesignerApp&, const CVTND_Object& object, uint32_t)
{
    if (g_dropped != nullptr)
        g_dropped->push_back(object);
}

// A map canvas whose window records what it gets.
class TestCanvas : public CVTND_MapCanvas {
public:
    explicit TestCanvas(std::vector<Received>& log, std::string name) : window(std::move(name), log) {}
    pf::Window* GetWindow() override { return &window; }
    pf::Point GetScrollOrigin() const override { return origin; }
    void ScrollTo(pf::Point to) override { origin = to; }
    void SetMenuObject(MapObject*) override {}
    void RedrawMap() override { ++redraws; }
    RecordingWindow window;
    pf::Point origin;
    int redraws = 0;
};

class DesignerApp : public pf::UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        g_log = &log;
        g_constructed = 0;
        g_browserRuns = 0;
        app = std::make_unique<CVTNDesignerApp>();
        app->NewWorkspace();
        for (const ObjectType type : {ObjectType::kEvent, ObjectType::kWorldHeader, ObjectType::kBackground,
                                      ObjectType::kHotspot, ObjectType::kMaterial})
            previous.push_back(
                {type, CVTND_Registry::ReplaceEditor(static_cast<uint16_t>(type), kAnyActionKind, &MakeTestEditor)});
        previousAction = CVTND_Registry::ReplaceEditor(16, kAnyActionKind, &MakeTestEditor);
        // The tests' actions are of kind 21, whose own editor would win over the stand-in for any kind.
        previousKind21 = CVTND_Registry::ReplaceEditor(16, 21, nullptr);
        previousBrowser = CVTND_Registry::ReplaceModalTool(ModalTool::kIconBrowser, &RunBrowser);
    }
    void TearDown() override
    {
        for (const auto& [type, constructor] : previous)
            CVTND_Registry::ReplaceEditor(static_cast<uint16_t>(type), kAnyActionKind, constructor);
        CVTND_Registry::ReplaceEditor(16, kAnyActionKind, previousAction);
        CVTND_Registry::ReplaceEditor(16, 21, previousKind21);
        CVTND_Registry::ReplaceModalTool(ModalTool::kIconBrowser, previousBrowser);
        for (const auto& record : std::vector<pf::Window*>(OpenDialogs()))
            static_cast<TestEditor*>(record)->Close();
        app.reset();
        g_log = nullptr;
        UiFixture::TearDown();
    }
    std::vector<pf::Window*> OpenDialogs() const
    {
        std::vector<pf::Window*> dialogs;
        for (const auto& record : app->GetEditDialogs())
            dialogs.push_back(record->dialog);
        return dialogs;
    }
    size_t Count(const std::string& who) const
    {
        return std::count_if(log.begin(), log.end(), [&](const Received& r) { return r.who == who; });
    }
    SWevent* EventWithActions(int count)
    {
        SWevent* event = app->GetWorld()->NewEvent();
        for (int i = 0; i < count; ++i)
            event->CreateAction(app->GetWorld()->GetActionCategories().FindKind(21));
        return event;
    }

    std::vector<Received> log;
    std::unique_ptr<CVTNDesignerApp> app;
    std::vector<std::pair<ObjectType, CVTND_EditorConstructor>> previous;
    CVTND_EditorConstructor previousAction = nullptr;
    CVTND_EditorConstructor previousKind21 = nullptr;
    CVTND_ModalToolRun previousBrowser = nullptr;
};

TEST_F(DesignerApp, BroadcastReachesFramesPanelsEditorsAndMapsInThatOrder)
{
    TestCanvas canvas(log, "map");
    RecordingWindow mapFrame("mapFrame", log);
    RecordingWindow frame("frame", log);
    RecordingWindow panel("panel", log);
    RecordingWindow properties("properties", log);
    app->RegisterChildFrame(&frame);
    app->RegisterChildFrame(&mapFrame, &canvas);
    app->RegisterPanel(PanelRole::kProperties, &properties);
    app->RegisterPanel(PanelRole::kEvents, &panel);
    SWevent* event = app->GetWorld()->NewEvent();
    pf::Window* editor = app->EditObject(CVTND_Object(event), false);
    ASSERT_NE(editor, nullptr);

    const CVTND_Event changed(EventCode::kChanged, CVTND_Object(event));
    app->Broadcast(changed);

    std::vector<std::string> order;
    for (const Received& r : log)
        order.push_back(r.who);
    EXPECT_EQ(order, (std::vector<std::string>{"frame", "mapFrame", "panel", "properties", "editor1", "map"}));
    EXPECT_EQ(app->GetFirstEventMap(), &canvas);
    EXPECT_EQ(app->GetNextEventMap(), nullptr);
}

TEST_F(DesignerApp, ReceiversThatCloseOrOpenWindowsDuringABroadcastAreHandledOnce)
{
    SWevent* doomed = app->GetWorld()->NewEvent();
    SWevent* other = app->GetWorld()->NewEvent();
    RecordingWindow panel("panel", log);
    RecordingWindow lastPanel("lastPanel", log);
    auto canvas = std::make_unique<TestCanvas>(log, "map");
    RecordingWindow mapFrame("mapFrame", log);
    app->RegisterChildFrame(&mapFrame, canvas.get());
    app->RegisterPanel(PanelRole::kEvents, &panel);
    app->RegisterPanel(PanelRole::kProperties, &lastPanel);
    ASSERT_NE(app->EditObject(CVTND_Object(doomed), false), nullptr);
    // A panel opens another editor and closes the event map while the record goes round.
    panel.onNotify = [&](const CVTND_Event&) {
        app->EditObject(CVTND_Object(other), false);
        app->UnregisterChildFrame(&mapFrame);
        canvas.reset();
    };
    const CVTND_Event deleted(EventCode::kDeleted, CVTND_Object(doomed));
    app->Broadcast(deleted);

    EXPECT_EQ(Count("mapFrame"), 1u);
    EXPECT_EQ(Count("panel"), 1u);
    EXPECT_EQ(Count("lastPanel"), 1u);
    EXPECT_EQ(Count("editor1"), 1u); // it closed itself on the notice
    EXPECT_EQ(Count("editor2"), 0u); // opened during the broadcast
    EXPECT_EQ(Count("map"), 0u);     // gone before its turn
    ASSERT_EQ(app->GetEditDialogs().size(), 1u);
    EXPECT_EQ(app->GetEditDialogs().front()->object, other);
}

TEST_F(DesignerApp, FactoryOpensOneEditorPerObjectAndOnePerKindForHeaderAndBackground)
{
    SWevent* event = app->GetWorld()->NewEvent();
    pf::Window* first = app->EditObject(CVTND_Object(event), true);
    EXPECT_EQ(app->EditObject(CVTND_Object(event), false), first);
    EXPECT_EQ(app->GetEditDialogs().size(), 1u);
    EXPECT_EQ(app->IsModified(), 0); // opening an editor changes nothing

    int headerA = 0;
    int headerB = 0;
    pf::Window* header = app->EditObject(CVTND_Object(ObjectType::kWorldHeader, &headerA), false);
    EXPECT_EQ(app->EditObject(CVTND_Object(ObjectType::kWorldHeader, &headerB), false), header);
    pf::Window* background = app->EditObject(CVTND_Object(ObjectType::kBackground, nullptr), false);
    EXPECT_NE(background, header);
    EXPECT_EQ(app->EditObject(CVTND_Object(ObjectType::kBackground, &headerB), false), background);

    // A new event has no object yet: each request opens its own editor.
    pf::Window* newA = app->EditObject(CVTND_Object(ObjectType::kEvent, nullptr), false);
    pf::Window* newB = app->EditObject(CVTND_Object(ObjectType::kEvent, nullptr), false);
    EXPECT_NE(newA, nullptr);
    EXPECT_NE(newA, newB);
    EXPECT_EQ(app->GetEditDialogs().size(), 5u);
    EXPECT_TRUE(first->isVisible());
}

TEST_F(DesignerApp, FactoryOpensNothingForUnknownKindsAndRunsTheBrowserForCursors)
{
    const size_t constructedBefore = g_constructed;
    int sound = 0;
    const CVTND_EditorConstructor old = CVTND_Registry::ReplaceEditor(8, kAnyActionKind, nullptr);
    EXPECT_EQ(app->EditObject(CVTND_Object(ObjectType::kSound, &sound), false), nullptr);
    CVTND_Registry::ReplaceEditor(8, kAnyActionKind, &MakeNothing);
    EXPECT_EQ(app->EditObject(CVTND_Object(ObjectType::kSound, &sound), false), nullptr);
    CVTND_Registry::ReplaceEditor(8, kAnyActionKind, old);
    EXPECT_TRUE(app->GetEditDialogs().empty());
    EXPECT_EQ(static_cast<size_t>(g_constructed), constructedBefore + 1);

    int cursor = 0;
    EXPECT_EQ(app->EditObject(CVTND_Object(ObjectType::kCursor, &cursor), false), nullptr);
    EXPECT_EQ(g_browserRuns, 1);
    EXPECT_TRUE(app->GetEditDialogs().empty());
}

TEST_F(DesignerApp, FactoryChoosesActionEditorsByKindAndUnregisteringRemovesOnlyItsRecord)
{
    SWevent* event = EventWithActions(2);
    SWactionnode* hide = event->GetFirstAction();
    const CVTND_EditorConstructor byKind = CVTND_Registry::ReplaceEditor(16, 21, &MakeNothing);
    EXPECT_EQ(app->EditObject(CVTND_Object(hide), false), nullptr); // the kind's own entry wins over any kind
    CVTND_Registry::ReplaceEditor(16, 21, byKind);
    pf::Window* editor = app->EditObject(CVTND_Object(hide), false);
    ASSERT_NE(editor, nullptr);
    int unknown = 0;
    app->UnregisterEditDialog(reinterpret_cast<pf::Window*>(&unknown));
    EXPECT_EQ(app->GetEditDialogs().size(), 1u);
    static_cast<TestEditor*>(editor)->Close();
    EXPECT_TRUE(app->GetEditDialogs().empty());
}

// Every editor of the event and of its actions closes, reading its object, before anything is freed; the actions
// are announced before their event and the selection forgets all of them.
TEST_F(DesignerApp, DeletingAnEventClosesEveryEditorWhileTheObjectsLive)
{
    SWevent* event = EventWithActions(3);
    std::vector<CVTND_Object> dropped;
    g_dropped = &dropped;
    CVTND_Registry::AddReferenceDropper(&RecordDropped);
    for (SWactionnode* a = event->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
        ASSERT_NE(app->EditObject(CVTND_Object(a), false), nullptr);
        app->GetSelection().Add(CVTND_Object(a));
    }
    ASSERT_NE(app->EditObject(CVTND_Object(event), false), nullptr);
    app->GetSelection().Add(CVTND_Object(event));
    app->SetPropertiesObject(CVTND_Object(event));
    const SWactionnode* firstAction = event->GetFirstAction();

    EXPECT_TRUE(app->DeleteObject(CVTND_Object(event), CVTNDesignerApp::kDeleteFromMenu));
    CVTND_Registry::RemoveReferenceDropper(&RecordDropped);
    g_dropped = nullptr;

    EXPECT_TRUE(app->GetEditDialogs().empty());
    EXPECT_EQ(app->GetSelectionCount(), 0u);
    EXPECT_TRUE(app->GetPropertiesObject().IsEmpty());
    EXPECT_EQ(app->GetWorld()->CountEvents(), 0u);
    ASSERT_EQ(dropped.size(), 4u);
    EXPECT_EQ(dropped.front().GetObject(), firstAction);
    EXPECT_TRUE(dropped.back().IsType(ObjectType::kEvent));
    std::vector<uint16_t> deletedTypes;
    for (const Received& r : log) {
        if (r.code == static_cast<uint32_t>(EventCode::kDeleted) && r.who == "editor1")
            deletedTypes.push_back(r.subject.GetType());
    }
    EXPECT_EQ(deletedTypes, (std::vector<uint16_t>{16}));
}

TEST_F(DesignerApp, DeletingANodeTakesItsSubtreeChildrenFirstAndRefusesTheRoot)
{
    CVTND_ExtendedWorld& world = *app->GetWorld();
    auto* parent = new SWobjectnode();
    parent->SetName("parent");
    world.AddNode(parent, nullptr);
    auto* spot = new SWhotspot();
    spot->SetName("spot");
    world.AddNode(spot, parent);
    ASSERT_NE(app->EditObject(CVTND_Object(static_cast<SWnode*>(spot)), false), nullptr);
    static_cast<TestEditor*>(app->GetEditDialogs().front()->dialog)->touchWhileClosing = [spot] {
        EXPECT_EQ(spot->GetName(), std::optional<std::string>("spot"));
    };
    RecordingWindow panel("panel", log);
    app->RegisterPanel(PanelRole::kSceneGraph, &panel);

    EXPECT_FALSE(app->DeleteObject(CVTND_Object(world.GetRootNode()), 0));
    EXPECT_FALSE(app->DeleteObject(CVTND_Object(ObjectType::kSound, parent), 0));
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(app->DeleteObject(CVTND_Object(static_cast<SWnode*>(parent)), CVTNDesignerApp::kDeleteFromKey));

    std::vector<uint16_t> panelSaw;
    for (const Received& r : log) {
        if (r.who == "panel")
            panelSaw.push_back(r.subject.GetType());
    }
    EXPECT_EQ(panelSaw, (std::vector<uint16_t>{13, 3}));
    EXPECT_TRUE(app->GetEditDialogs().empty());
    EXPECT_EQ(world.GetRootNode()->FindByName("parent"), nullptr);
}

TEST_F(DesignerApp, EventMapWalkSkipsFramesUnregisteredDuringIt)
{
    TestCanvas a(log, "a");
    TestCanvas b(log, "b");
    TestCanvas c(log, "c");
    RecordingWindow fa("fa", log);
    RecordingWindow fb("fb", log);
    RecordingWindow plain("plain", log);
    RecordingWindow fc("fc", log);
    app->RegisterChildFrame(&fa, &a);
    app->RegisterChildFrame(&fb, &b);
    app->RegisterChildFrame(&plain);
    app->RegisterChildFrame(&fc, &c);
    EXPECT_EQ(app->GetFirstEventMap(), &a);
    app->UnregisterChildFrame(&fb);
    EXPECT_EQ(app->GetNextEventMap(), &c);
    EXPECT_EQ(app->GetNextEventMap(), nullptr);
    EXPECT_EQ(app->GetFirstEventMap(), &a); // a new walk starts again
    app->RedrawEventMaps();
    EXPECT_EQ(a.redraws + b.redraws + c.redraws, 2);
    EXPECT_EQ(app->OpenEventMapWindow(), nullptr); // no frame class registered
}

} // namespace
