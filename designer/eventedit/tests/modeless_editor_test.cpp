// The modeless editor pattern: opened through the factory, the open one answered again, closed by a deletion from
// inside the broadcast, receptors given back once, the selected action forgotten when it is deleted, and every
// open editor disabled while a modal run lasts.
#include <functional>
#include <memory>

#include "designer/app/edit_dialog.h"
#include "designer/app/registry.h"
#include "designer/eventedit/tests/eventedit_fixture.h"
#include "designer/workspace/modeless_editor.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/providers/providers.h"

namespace eventedittest {
namespace {

constexpr int32_t kIddTestEditor = 21900;
constexpr int32_t kIdList = 1053;
constexpr int32_t kIdRemove = 1073;
constexpr int32_t kIdDetails = 1074;

int g_deleted = 0; // editors deleted, for the exactly-once checks

class CountedReceptor : public DropReceptor {
public:
    explicit CountedReceptor(int& deleted) : DropReceptor(0xFFFF, 3), m_deleted(deleted) {}
    ~CountedReceptor() override { ++m_deleted; }
    int32_t GetScreenX(pf::Window*) override { return 0; }
    int32_t GetScreenY(pf::Window*) override { return 0; }
    int32_t GetWidth(pf::Window*) override { return 1; }
    int32_t GetHeight(pf::Window*) override { return 1; }

private:
    int& m_deleted;
};

class TestEditor : public CVTND_ModelessEditorDlg {
public:
    TestEditor(const CVTND_EditorRequest& request, uint16_t kind)
        : CVTND_ModelessEditorDlg(kind, request.object, request.record)
    {
    }
    ~TestEditor() override { ++g_deleted; }
    using CVTND_ModelessEditorDlg::AddReceptor;
    using CVTND_ModelessEditorDlg::SelectAction;

protected:
    bool onInitDialog() override
    {
        PrepareActionList(*item<pf::ListView>(kIdList));
        SetSelectionButtons({kIdRemove, kIdDetails});
        EnableSelectionButtons(false);
        return true;
    }
};

template <uint16_t kKind> pf::Window* MakeTestEditor(const CVTND_EditorRequest& request)
{
    return CVTND_ModelessEditorDlg::Open(std::make_unique<TestEditor>(request, kKind), kIddTestEditor, request.parent);
}

class ModelessEditors : public EventEditFixture {
protected:
    void SetUp() override
    {
        EventEditFixture::SetUp();
        pf::registerTemplate({kIddTestEditor,
                              "Test editor",
                              {300, 200},
                              pf::WS_POPUP | pf::WS_CAPTION,
                              {
                                  {"listview", kIdList, {10, 10, 290, 140}, pf::LVS_REPORT, ""},
                                  {"button", kIdRemove, {10, 150, 90, 170}, 0, "Remove"},
                                  {"button", kIdDetails, {100, 150, 180, 170}, 0, "Details"},
                                  {"button", pf::IDOK, {200, 170, 290, 194}, 0, "Close"},
                              }});
        for (const auto& [type, make] : {std::pair{ObjectType::kEvent, &MakeTestEditor<15>},
                                         std::pair{ObjectType::kAction, &MakeTestEditor<16>}}) {
            const uint16_t t = static_cast<uint16_t>(type);
            displaced.push_back({t, CVTND_Registry::ReplaceEditor(t, kAnyActionKind, make)});
        }
        // Sounds stand for a kind without an editor.
        displaced.push_back({8, CVTND_Registry::ReplaceEditor(8, kAnyActionKind, nullptr)});
        g_deleted = 0;
    }
    void TearDown() override
    {
        for (const auto& [type, old] : displaced)
            CVTND_Registry::ReplaceEditor(type, kAnyActionKind, old);
        EventEditFixture::TearDown();
    }
    TestEditor* Open(CVTND_Object object) { return dynamic_cast<TestEditor*>(app->EditObject(object, false)); }

    std::vector<std::pair<uint16_t, CVTND_EditorConstructor>> displaced;
};

TEST_F(ModelessEditors, OneEditorPerObjectAndOneForEachNewObject)
{
    TestEditor* first = Open(CVTND_Object(sample->click));
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(Open(CVTND_Object(sample->click)), first);
    EXPECT_EQ(app->GetEditDialogs().size(), 1u);
    EXPECT_EQ(first->Record()->dialog, first);

    TestEditor* newOne = Open(CVTND_Object(ObjectType::kEvent, nullptr));
    TestEditor* newTwo = Open(CVTND_Object(ObjectType::kEvent, nullptr));
    EXPECT_NE(newOne, newTwo);
    EXPECT_EQ(app->GetEditDialogs().size(), 3u);
    EXPECT_EQ(Open(CVTND_Object(ObjectType::kSound, sample->sound)), nullptr); // no editor registered for it
    EXPECT_EQ(app->GetEditDialogs().size(), 3u);

    sim().click(*newTwo->child(pf::IDOK)); // the last opened lies on top
    sim().click(*newOne->child(pf::IDOK));
    EXPECT_EQ(g_deleted, 2);
    EXPECT_EQ(app->GetEditDialogs().size(), 1u);
}

TEST_F(ModelessEditors, DeletingTheObjectClosesItsEditorInsideTheBroadcast)
{
    SWactionnode* action = sample->stopQueue; // a kind no action editor takes
    TestEditor* eventEditor = Open(CVTND_Object(sample->timer));
    TestEditor* actionEditor = Open(CVTND_Object(action));
    ASSERT_NE(actionEditor, nullptr);
    ASSERT_TRUE(app->DeleteObject(CVTND_Object(sample->timer), CVTNDesignerApp::kDeleteFromMenu));
    EXPECT_EQ(g_deleted, 2); // the action's editor and the event's, each once
    EXPECT_TRUE(app->GetEditDialogs().empty());
    (void)eventEditor;
}

TEST_F(ModelessEditors, ReceptorsAreDeletedOnlyWhileTheEngineStillListsThem)
{
    int receptorsDeleted = 0;
    TestEditor* editor = Open(CVTND_Object(sample->click));
    const size_t before = engine->CountReceptors();
    DropReceptor* kept = editor->AddReceptor(std::make_unique<CountedReceptor>(receptorsDeleted));
    DropReceptor* taken = editor->AddReceptor(std::make_unique<CountedReceptor>(receptorsDeleted));
    EXPECT_EQ(engine->CountReceptors(), before + 2);
    engine->DeleteControlReceptor(taken); // the engine let it go first (an engine clear, a deleted target)
    EXPECT_EQ(receptorsDeleted, 1);
    EXPECT_NE(engine->FindReceptor(kept->Handle()), nullptr);
    sim().click(*editor->child(pf::IDOK));
    EXPECT_EQ(receptorsDeleted, 2);
    EXPECT_EQ(engine->CountReceptors(), before);
}

TEST_F(ModelessEditors, ASelectedActionDeletedElsewhereIsForgotten)
{
    TestEditor* editor = Open(CVTND_Object(sample->timer));
    SWactionnode* doomed = sample->queueMembers.front();
    editor->SelectAction(doomed);
    editor->child(kIdRemove)->enable(true);
    editor->child(kIdDetails)->enable(true);
    ASSERT_TRUE(app->DeleteObject(CVTND_Object(doomed), CVTNDesignerApp::kDeleteFromKey));
    EXPECT_EQ(editor->SelectedAction(), nullptr);
    EXPECT_FALSE(editor->child(kIdRemove)->isEnabled());
    EXPECT_FALSE(editor->child(kIdDetails)->isEnabled());
    EXPECT_TRUE(editor->isWindow()); // its own event lives on
}

// A message box that notes whether the editors were disabled while it showed.
class NotingMessageBox : public pf::MessageBoxProvider {
public:
    std::function<bool()> allDisabled;
    bool sawAllDisabled = false;
    int32_t show(const pf::MessageBoxCall&) override
    {
        sawAllDisabled = allDisabled();
        return pf::IDOK;
    }
};

TEST_F(ModelessEditors, EveryOpenEditorIsDisabledWhileAModalRunLasts)
{
    TestEditor* one = Open(CVTND_Object(sample->timer));
    TestEditor* two = Open(CVTND_Object(sample->click));
    const auto allDisabled = [&] { return !one->isEnabled() && !two->isEnabled(); };
    bool disabledMeanwhile = false;
    sim().onModal(kIddTestEditor, [&](pf::Dialog& d) {
        disabledMeanwhile = allDisabled();
        d.endDialog(pf::IDOK);
    });
    pf::Dialog picker;
    picker.doModal(kIddTestEditor, two); // a picker run from one editor
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(one->isEnabled());
    EXPECT_TRUE(two->isEnabled());

    NotingMessageBox box;
    box.allDisabled = allDisabled;
    pf::ui().providers().install(&box);
    pf::messageBox(one->hwnd(), "a box", "caption", pf::MB_OK);
    pf::ui().providers().install(static_cast<pf::MessageBoxProvider*>(nullptr));
    EXPECT_TRUE(box.sawAllDisabled);
    EXPECT_TRUE(one->isEnabled());
    EXPECT_TRUE(two->isEnabled());
}

} // namespace
} // namespace eventedittest
