// The world's background editor: a black background for a project without one, the stretch of procedural pages,
// Test taken back by any close but OK, OK building its definition before the old one goes, every window's renderer
// told, and textures held by name or as a copy of the background's own, never deleted from the world.
#include "designer/editors/details_background_dlg.h"
#include "designer/editors/tests/editors_fixture.h"
#include "engine/behaviour/action_settings.h"
#include "engine/core/window.h"
#include "engine/core/window_renderer.h"
#include "engine/resources/background.h"
#include "engine/resources/image32.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"

namespace editorstest {
namespace {

// The renderer of a window that is not shown: it only remembers the definition it was given last.
class RecordingRenderer : public SWwindowrenderer {
public:
    void SetBackground(SWbackground* background) override { last = background; }
    SWbackground* last = nullptr;
};

class BackgroundDetails : public EditorsFixture {
protected:
    void SetUp() override
    {
        EditorsFixture::SetUp();
        World().AddWindow(std::make_unique<SWwindow>(&renderer));
    }
    using Dlg = CVTND_DetailsBackgroundDlg;
    Dlg* OpenEditor() { return Open<Dlg>(CVTND_Object(ObjectType::kBackground, nullptr)); }
    SWbackground* Stored() { return World().GetRootObject()->GetBackground(); }
    void SetStored(std::unique_ptr<SWbackground> background)
    {
        World().SetBackgroundTexture(background.get());
        World().GetRootObject()->SetBackground(std::move(background));
    }
    void Choose(Dlg& editor, int32_t page) { sim().chooseCombo(*editor.item<pf::ComboBox>(Dlg::kIdKind), page); }
    RecordingRenderer renderer; // outlives the world and its window, which TearDown lets go first
};

TEST_F(BackgroundDetails, AProjectWithoutABackgroundGetsABlackOneEvenWhenCancelled)
{
    World().GetRootObject()->SetBackground(nullptr);
    Dlg* editor = OpenEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(OpenEditor(), editor); // one at a time
    EXPECT_EQ(editor->PageIndex(), 0);
    sim().keyPress(pf::VK_ESCAPE);
    EXPECT_TRUE(app->GetEditDialogs().empty());
    ASSERT_NE(Stored(), nullptr);
    EXPECT_EQ(Stored()->GetColour(), 0u);
    EXPECT_EQ(Stored()->GetTexture(), nullptr);
}

TEST_F(BackgroundDetails, TestIsTakenBackByCancelAndKeptByOkAndEveryRendererFollows)
{
    SetStored(std::make_unique<SWbackground>(0x00336699u));
    SWbackground* before = Stored();
    Dlg* editor = OpenEditor();
    editor->Description()->settings = {1.0f, 0.5f, 0.0f, 1};
    sim().click(*editor->item<pf::Button>(Dlg::kIdTest));
    EXPECT_NE(Stored(), before);
    EXPECT_EQ(renderer.last, Stored()); // a window that is not shown follows too
    sim().keyPress(pf::VK_ESCAPE);
    EXPECT_EQ(Stored(), before); // the very definition from before the test
    EXPECT_EQ(renderer.last, before);

    editor = OpenEditor();
    editor->Description()->settings = {1.0f, 0.5f, 0.0f, 1};
    sim().click(*editor->item<pf::Button>(Dlg::kIdTest));
    sim().click(*editor->item<pf::Button>(pf::IDOK));
    ASSERT_NE(Stored(), nullptr);
    EXPECT_EQ(Stored()->GetColour(), 0x00FF8000u);
    EXPECT_EQ(Stored()->GetChanged(), 1);
    EXPECT_EQ(renderer.last, Stored());
}

TEST_F(BackgroundDetails, AProceduralPageStretchesAndATextureIsStoredAsACopy)
{
    const std::vector<uint32_t> pixels(16 * 16, 0xFF2040A0u);
    SWtexture* bricks = Texture("bricks.png");
    SetStored(SWbackground::SWbackgroundFromTexture(CloneTextureObject(bricks), SWbackground::kModeTile));
    Dlg* editor = OpenEditor();
    EXPECT_EQ(editor->PageIndex(), 1);
    EXPECT_EQ(
        editor->Page()->item<pf::ComboBox>(1002)->getLBText(editor->Page()->item<pf::ComboBox>(1002)->getCurSel()),
        "bricks.png");
    sim().click(*editor->item<pf::Button>(pf::IDOK));
    ASSERT_NE(Stored()->GetTexture(), nullptr);
    EXPECT_NE(Stored()->GetTexture(), bricks); // a copy: later edits of the world's texture leave it alone
    EXPECT_EQ(Stored()->GetTexture()->GetWidth(), bricks->GetWidth());
    EXPECT_TRUE(HoldsTexture(bricks)); // the world's texture survives the editor

    editor = OpenEditor();
    Choose(*editor, 3); // radial
    EXPECT_EQ(editor->Description()->settings.mode, 1u);
    sim().keyPress(pf::VK_ESCAPE);

    // A background whose picture no world texture names: nothing selected, and OK without a change keeps it.
    SetStored(SWbackground::SWbackgroundFromTexture(SWimage32::SWimage32FromPixels("sky", 16, 16, pixels.data()),
                                                    SWbackground::kModeTile));
    editor = OpenEditor();
    EXPECT_EQ(editor->PageIndex(), 1);
    EXPECT_EQ(editor->Page()->item<pf::ComboBox>(1002)->getCurSel(), -1);
    sim().click(*editor->item<pf::Button>(pf::IDOK));
    ASSERT_NE(Stored()->GetTexture(), nullptr);
    EXPECT_EQ(Stored()->GetTexture()->GetName(), "sky");
    EXPECT_EQ(Stored()->GetTexture()->GetPixels()[0], 0xFF2040A0u);
}

TEST_F(BackgroundDetails, APickedTextureReplacedElsewhereIsFoundByName)
{
    Dlg* editor = OpenEditor();
    Choose(*editor, 1);
    auto* names = editor->Page()->item<pf::ComboBox>(1002);
    sim().chooseCombo(*names, names->findExact("wood.png"));
    ASSERT_EQ(editor->Description()->GetTextureName(), std::optional<std::string>("wood.png"));
    // A texture editor's close puts a copy in its place and deletes the old one (ASan: nothing reads it).
    SWtexture* old = Texture("wood.png");
    std::unique_ptr<SWtexture> copy = CloneTextureObject(old);
    SWtexture* replacement = copy.get();
    World().GetRootObject()->AddTexture(std::move(copy));
    old->SetName("0xklib4aubeiubei");
    World().ReplaceTextureReferences(old, replacement, false);
    sim().click(*editor->item<pf::Button>(pf::IDOK));
    ASSERT_NE(Stored()->GetTexture(), nullptr);
    EXPECT_EQ(Stored()->GetTexture()->GetName(), "wood.png");
    EXPECT_TRUE(HoldsTexture(replacement));
}

} // namespace
} // namespace editorstest
