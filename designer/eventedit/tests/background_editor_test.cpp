// The set-background action's editor, its colour-effect pages and the guard that takes a Test back.
#include <memory>
#include <string>

#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/eventedit/background_action_dlg.h"
#include "designer/eventedit/background_test_guard.h"
#include "designer/eventedit/color_effect_pages.h"
#include "designer/eventedit/tests/eventedit_fixture.h"
#include "designer/workspace/color_button.h"
#include "designer/workspace/texture_viewer.h"
#include "designer/workspace/workspace_controls.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/scene_handlers.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/background.h"
#include "engine/resources/picture.h"
#include "engine/resources/texture.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/trackbar.h"

namespace eventedittest {
namespace {

using Dlg = CVTND_ActionBackgroundDlg;
using Page = CVTND_ColorEffectPage;

class BackgroundEditor : public EventEditFixture {
protected:
    void SetUp() override
    {
        EventEditFixture::SetUp();
        RegisterWorkspaceControls(ui());
        action = dynamic_cast<SWbackgroundaction*>(sample->AddAction(*sample->click, 19));
        ASSERT_NE(action, nullptr);
    }
    Dlg* Open() { return dynamic_cast<Dlg*>(app->EditObject(CVTND_Object(action), false)); }
    void Choose(Dlg& editor, int32_t index)
    {
        ASSERT_TRUE(sim().chooseCombo(*editor.item<pf::ComboBox>(Dlg::kIdKind), index));
    }
    SWpicture* Own() const { return dynamic_cast<SWpicture*>(action->GetOwnPicture()); }
    std::vector<std::string> TextureNames() const
    {
        std::vector<std::string> names;
        for (SWtexture* t = sample->world.GetRootObject()->GetFirstTexture(); t != nullptr;
             t = SWrootobject::GetNextTexture(t))
            names.push_back(t->GetName());
        return names;
    }
    SWbackgroundaction* action = nullptr;
};

TEST_F(BackgroundEditor, TheFirstPageFollowsTheDescriptionAndANameTheWorldLacksIsKept)
{
    action->SetTextureName(std::string("gone.png"));
    Dlg* editor = Open();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->PageIndex(), 1);
    EXPECT_EQ(action->GetTextureName(), std::optional<std::string>("gone.png")); // opening changes nothing
    EXPECT_EQ(editor->Page()->item<pf::ComboBox>(CVTND_CE_TextureDlg::kIdNames)->getCurSel(), -1);
    sim().click(*editor->child(pf::IDOK));

    const std::vector<std::string> names = TextureNames();
    if (names.size() >= 2) { // the world's second texture is selected and kept
        action->SetTextureName(names[1]);
        editor = Open();
        EXPECT_EQ(editor->Page()->item<pf::ComboBox>(CVTND_CE_TextureDlg::kIdNames)->getCurSel(), 1);
        EXPECT_EQ(action->GetTextureName(), std::optional<std::string>(names[1]));
        Choose(*editor, 0); // solid after texture: the texture is let go, never deleted
        EXPECT_FALSE(action->GetTextureName().has_value());
        EXPECT_EQ(TextureNames(), names);
        sim().click(*editor->child(pf::IDOK));
    }
}

// The texture page follows the world's textures: a new one is listed, a renamed one keeps its place and selection,
// the chosen one replaced is followed to its replacement, and the chosen one deleted gives way to the one before it.
TEST_F(BackgroundEditor, TheTexturePageFollowsCreatedRenamedReplacedAndDeletedTextures)
{
    const std::vector<std::string> names = TextureNames();
    ASSERT_GE(names.size(), 2u);
    action->SetTextureName(names[1]);
    Dlg* editor = Open();
    ASSERT_EQ(editor->PageIndex(), 1);
    auto* list = editor->Page()->item<pf::ComboBox>(CVTND_CE_TextureDlg::kIdNames);
    auto* preview = editor->Page()->item<CVTND_TextureViewer>(Page::kIdPreview);
    CVTND_ExtendedWorld& world = *app->GetWorld();
    SWtexture* const chosen = world.FindTextureByName(names[1]);

    auto added = std::make_unique<SWpicture>("added", 8, 8, BackgroundGenerator::kChecker);
    SWtexture* const fresh = added.get();
    world.GetRootObject()->AddTexture(std::move(added));
    app->Broadcast(CVTND_Event(EventCode::kCreated, CVTND_Object(ObjectType::kTexture, fresh)));
    EXPECT_EQ(list->findStringExact(-1, "added"), static_cast<int32_t>(names.size()));

    ASSERT_TRUE(world.RenameTexture(chosen, names[1], "renamed"));
    CVTND_Event renamed(EventCode::kRenamed, CVTND_Object(ObjectType::kTexture, chosen));
    renamed.SetTexts(names[1], std::string("renamed"));
    app->Broadcast(renamed);
    EXPECT_EQ(list->getLBText(1), "renamed");
    EXPECT_EQ(list->getCurSel(), 1);
    EXPECT_EQ(action->GetTextureName(), std::optional<std::string>("renamed"));

    world.ReplaceTextureReferences(chosen, fresh, false);
    EXPECT_EQ(action->GetTextureName(), std::optional<std::string>("added"));
    EXPECT_EQ(preview->GetMemberAt40(), fresh);

    list->setCurSel(list->findStringExact(-1, "added"));
    app->Broadcast(CVTND_Event(EventCode::kDeleted, CVTND_Object(ObjectType::kTexture, fresh)));
    EXPECT_EQ(list->findStringExact(-1, "added"), -1);
    EXPECT_EQ(action->GetTextureName(), std::optional<std::string>(list->getLBText(list->getCurSel())));
    EXPECT_NE(preview->GetMemberAt40(), fresh);
    sim().click(*editor->child(pf::IDOK));
}

TEST_F(BackgroundEditor, ProceduralPagesKeepTheirPictureUntilAnotherTypeIsChosen)
{
    Dlg* editor = Open();
    Choose(*editor, 2);
    SWpicture* linear = Own();
    ASSERT_NE(linear, nullptr);
    EXPECT_FLOAT_EQ(linear->GetGenerator().parameters[0], 4.712389f); // 270 degrees
    linear->GetGenerator().parameters[0] = 1.0f;
    Choose(*editor, 3);
    EXPECT_EQ(Own()->GetGenerator().type, BackgroundGenerator::kRadial);
    Choose(*editor, 2);
    EXPECT_FLOAT_EQ(Own()->GetGenerator().parameters[0], 4.712389f); // a fresh one
    Own()->GetGenerator().parameters[0] = 1.0f;
    Choose(*editor, 3);
    Choose(*editor, 3); // the same type again keeps the edited picture
    Own()->GetGenerator().parameters[0] = 0.25f;
    sim().click(*editor->child(pf::IDOK));
    editor = Open();
    EXPECT_EQ(editor->PageIndex(), 3);
    EXPECT_FLOAT_EQ(Own()->GetGenerator().parameters[0], 0.25f);
}

TEST_F(BackgroundEditor, PagesWriteTheirPictureAtOnce)
{
    Dlg* editor = Open();
    Choose(*editor, 2);
    Page* page = editor->Page();
    auto* slider = page->item<pf::Trackbar>(Page::kIdSlider);
    ASSERT_NE(slider, nullptr);
    sim().trackbarKey(*slider, pf::VK_END); // a key writes as the mouse does
    EXPECT_FLOAT_EQ(Own()->GetGenerator().middlePosition, 1.0f - static_cast<float>(slider->getPos()) * 0.01f);
    ASSERT_TRUE(sim().moveTrackbar(*slider, 30));
    EXPECT_FLOAT_EQ(Own()->GetGenerator().middlePosition, 0.7f);

    sim().click(*page->child(Page::kIdMiddleOn));
    EXPECT_EQ(Own()->GetGenerator().middleColourOn, 1);
    EXPECT_TRUE(page->child(Page::kIdMiddle)->isEnabled());
    sim().click(*page->child(Page::kIdMiddleOn));
    EXPECT_FALSE(page->child(Page::kIdMiddle)->isEnabled());

    const auto colourB = Own()->GetGenerator().colourB;
    sim().expectColor(std::nullopt);
    sim().click(*page->child(Page::kIdEnd));
    EXPECT_EQ(Own()->GetGenerator().colourB, colourB); // cancelled: nothing
    sim().expectColor(pf::rgb(255, 0, 51));
    sim().click(*page->child(Page::kIdEnd));
    EXPECT_FLOAT_EQ(Own()->GetGenerator().colourB[0], 1.0f);
    EXPECT_FLOAT_EQ(Own()->GetGenerator().colourB[2], 0.2f);

    Choose(*editor, 5); // the checker: typed degrees become radians, the dial turns
    page = editor->Page();
    sim().replaceText(*page->child(Page::kIdFirstText), "45");
    EXPECT_NEAR(Own()->GetGenerator().parameters[2], 0.7853982f, 1e-6f);
    sim().replaceText(*page->child(Page::kIdSecondText), "0.25");
    EXPECT_FLOAT_EQ(Own()->GetGenerator().parameters[0], 0.25f);
}

TEST_F(BackgroundEditor, TestThenCloseLeavesTheWorldsBackgroundAsItWas)
{
    SWrootobject* root = sample->world.GetRootObject();
    for (const bool hadOne : {true, false}) {
        SCOPED_TRACE(hadOne);
        if (hadOne)
            root->SetBackground(std::make_unique<SWbackground>(0x00102030u));
        else
            root->SetBackground(nullptr);
        sample->world.RebuildBackground();
        const SWbackground* definition = root->GetBackground();
        action->settings = {1.0f, 0.0f, 0.0f, 1};
        Dlg* editor = Open();
        Choose(*editor, 0);
        sim().click(*editor->child(Dlg::kIdTest));
        ASSERT_NE(root->GetBackground(), nullptr);
        EXPECT_EQ(root->GetBackground()->GetColour(), 0x00FF0000u); // shown
        sim().keyPress(pf::VK_ESCAPE);                              // Cancel
        EXPECT_TRUE(app->GetEditDialogs().empty());
        EXPECT_EQ(root->GetBackground(), definition); // the project's own, not a copy
        if (hadOne) {
            EXPECT_EQ(root->GetBackground()->GetColour(), 0x00102030u);
            ASSERT_NE(sample->world.GetBackgroundCopy(), nullptr);
            EXPECT_EQ(sample->world.GetBackgroundCopy()->GetColour(), 0x00102030u);
        } else {
            EXPECT_EQ(sample->world.GetBackgroundCopy(), nullptr);
        }
    }
}

TEST(BackgroundTestGuard, CommitKeepsTheTestedDefinitionAndNoTestChangesNothing)
{
    SWworld world;
    world.GetRootObject()->SetBackground(std::make_unique<SWbackground>(0x000000FFu));
    const SWbackground* original = world.GetRootObject()->GetBackground();
    {
        CVTND_BackgroundTestGuard untouched(&world);
    }
    EXPECT_EQ(world.GetRootObject()->GetBackground(), original);
    {
        CVTND_BackgroundTestGuard guard(&world);
        guard.BeforeTest();
        EXPECT_EQ(world.GetRootObject()->GetBackground(), nullptr); // taken out, kept
        world.GetRootObject()->SetBackground(std::make_unique<SWbackground>(0x0000FF00u));
        guard.Commit();
    }
    ASSERT_NE(world.GetRootObject()->GetBackground(), nullptr);
    EXPECT_EQ(world.GetRootObject()->GetBackground()->GetColour(), 0x0000FF00u);
}

TEST_F(BackgroundEditor, DeletingTheActionClosesTheEditor)
{
    Open();
    ASSERT_TRUE(app->DeleteObject(CVTND_Object(static_cast<SWactionnode*>(action)), CVTNDesignerApp::kDeleteFromKey));
    EXPECT_TRUE(app->GetEditDialogs().empty());
}

} // namespace
} // namespace eventedittest
