// The material editor, driven as a person drives it: sliders written when the mouse lets go, colours through the
// colour dialog and the channel sliders, textures and render modes, the texture notices, the preview rendered once
// per change in the world of the moment, the scrolling page and the name applied on close.
#include <cmath>
#include <cstring>

#include "designer/app/notification.h"
#include "designer/app/project.h"
#include "designer/app/render_thread.h"
#include "designer/editors/details_material_dlg.h"
#include "designer/editors/details_texture_dlg.h"
#include "designer/editors/material_preview.h"
#include "designer/editors/material_texts.h"
#include "designer/editors/preview_sphere.h"
#include "designer/editors/tests/editors_fixture.h"
#include "designer/workspace/color_button.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/number_text.h"
#include "designer/workspace/rgb_channel_scroll.h"
#include "designer/workspace/texture_viewer.h"
#include "engine/core/camera_node.h"
#include "engine/core/scene_import.h"
#include "engine/core/sub_worlds.h"
#include "engine/resources/image24.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/controls/trackbar.h"

namespace editorstest {
namespace {

class MaterialEditor : public EditorsFixture {
protected:
    void SetUp() override
    {
        EditorsFixture::SetUp();
        material = sample->material; // "brick": bricks.png and a bump texture
        editor = Open<CVTND_DetailsMaterialDlg>(CVTND_Object(material));
        ASSERT_NE(editor, nullptr);
        // Tall enough that the whole page lies on the screen, so every control can be clicked.
        pf::Rect r = editor->windowRect();
        editor->move(pf::Rect::fromXywh(20, 0, static_cast<int32_t>(r.width()), 1000));
        sim().pump();
    }
    template <typename T> T* Page(int32_t id) { return editor->Page().item<T>(id); }
    std::string Text(int32_t id) { return editor->Page().child(id)->getText(); }
    uint64_t Renders() const { return CVTND_MaterialPreview::Get().GetRenderCount(); }

    SWmaterial* material = nullptr;
    CVTND_DetailsMaterialDlg* editor = nullptr;
};

TEST_F(MaterialEditor, SlidersWriteWhenTheMouseOrAKeyLetsGoAndEachChangeRendersOnce)
{
    struct Case {
        int32_t slider, edit, position;
        float (SWmaterial::*get)() const;
        float (*value)(int32_t position);
    };
    const Case cases[] = {
        {1358, 1188, 40, &SWmaterial::GetSmoothness, [](int32_t p) { return static_cast<float>(p); }},
        {1368, 1189, 250, &SWmaterial::GetTransparency, [](int32_t p) { return p * 0.001f; }},
        {1355, 1183, 500, &SWmaterial::GetTextureOpacity, [](int32_t p) { return p * 0.001f; }},
        {1356, 1033, 750, &SWmaterial::GetReflectivity, [](int32_t p) { return p * 0.001f; }},
        {1357, 1185, 750, &SWmaterial::GetBumpAmount, [](int32_t p) { return 2.0f * p * 0.001f - 1.0f; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slider);
        auto* bar = Page<pf::Trackbar>(c.slider);
        const uint64_t before = Renders();
        ASSERT_TRUE(sim().moveTrackbar(*bar, c.position));
        sim().pump();
        const int32_t released = bar->getPos();
        EXPECT_NEAR(released, c.position, 10);
        EXPECT_FLOAT_EQ((material->*c.get)(), c.value(released));
        EXPECT_EQ(Text(c.edit), FormatNumberG((material->*c.get)()));
        EXPECT_EQ(Renders(), before + 1);
        // A key's release writes as the mouse's does.
        sim().trackbarKey(*bar, pf::VK_RIGHT);
        sim().pump();
        EXPECT_EQ(bar->getPos(), released + 1);
        EXPECT_EQ(Text(c.edit), FormatNumberG(c.value(released + 1)));
        EXPECT_FLOAT_EQ((material->*c.get)(), c.value(released + 1));
        EXPECT_EQ(Renders(), before + 2);
    }
}

TEST_F(MaterialEditor, PostsAreNotMergedSoThreeQuickChangesRenderThreeTimes)
{
    const uint64_t before = Renders();
    for (const int32_t radio : {1014, 1015, 1370})
        sim().click(*Page<pf::Button>(radio)); // each click posts; nothing runs them until the pump
    sim().pump();
    EXPECT_EQ(Renders(), before + 3);
    EXPECT_EQ(material->GetRenderMode(), SWmaterial::kModePhong);
    const uint32_t flags = material->GetMaterialFlags();
    sim().click(*Page<pf::Button>(1187));
    EXPECT_EQ(material->GetMaterialFlags(), flags ^ SWmaterial::kFlagBilinear);
}

TEST_F(MaterialEditor, ColoursComeFromTheColourDialogAndTheChannelSliders)
{
    const SWmaterialcolour diffuse = material->GetDiffuseColour();
    sim().expectColor(std::nullopt);
    sim().click(*Page<CVTND_ColorButton>(1164));
    EXPECT_EQ(material->GetDiffuseColour(), diffuse);

    sim().expectColor(pf::rgb(255, 0, 51));
    sim().click(*Page<CVTND_ColorButton>(1164));
    const SWmaterialcolour chosen = material->GetDiffuseColour();
    EXPECT_FLOAT_EQ(chosen.red, 1.0f);
    EXPECT_FLOAT_EQ(chosen.blue, 0.2f);
    EXPECT_FLOAT_EQ(chosen.intensity, diffuse.intensity);
    EXPECT_FLOAT_EQ(Page<CVTND_RGBChannelScroll>(1053)->GetValue(), 1.0f);
    EXPECT_FLOAT_EQ(Page<CVTND_RGBChannelScroll>(1055)->GetValue(), 0.2f);

    // Dragging the ambient green channel shows on the button only; letting go writes it, intensity kept.
    const SWmaterialcolour ambient = material->GetAmbientColour();
    auto* green = Page<CVTND_RGBChannelScroll>(1050);
    const pf::Rect track = green->TrackRect();
    sim().mouseDown(green->clientToScreen({track.l + 1, (track.t + track.b) / 2}));
    sim().mouseMove(green->clientToScreen({track.r - 1, (track.t + track.b) / 2}));
    EXPECT_EQ(material->GetAmbientColour(), ambient);
    EXPECT_FLOAT_EQ(Page<CVTND_ColorButton>(1163)->GetColor()[1], green->GetValue());
    sim().mouseUp(green->clientToScreen({track.r - 1, (track.t + track.b) / 2}));
    EXPECT_FLOAT_EQ(material->GetAmbientColour().green, green->GetValue());
    EXPECT_GT(material->GetAmbientColour().green, 0.9f);
    EXPECT_FLOAT_EQ(material->GetAmbientColour().intensity, ambient.intensity);
}

TEST_F(MaterialEditor, TextureBoxesSetAndClearSlotsByName)
{
    auto* textureBox = Page<pf::ComboBox>(1002);
    ASSERT_EQ(textureBox->getLBText(textureBox->getCurSel()), "bricks.png");
    EXPECT_EQ(Page<CVTND_TextureViewer>(1003)->GetMemberAt40(), Texture("bricks.png"));
    sim().chooseCombo(*textureBox, 0);
    EXPECT_EQ(material->GetTexture(), nullptr);
    EXPECT_EQ(Page<CVTND_TextureViewer>(1003)->GetMemberAt40(), nullptr);

    auto* reflection = Page<pf::ComboBox>(1302);
    sim().chooseCombo(*reflection, reflection->findExact("wood.png"));
    EXPECT_EQ(material->GetReflectionTexture(), Texture("wood.png"));

    // A name the world no longer holds writes nothing.
    Texture("wood.png")->SetName("renamed behind the editor's back");
    sim().pump();
    const uint64_t before = Renders();
    sim().chooseCombo(*textureBox, textureBox->findExact("wood.png"));
    sim().pump();
    EXPECT_EQ(material->GetTexture(), nullptr);
    EXPECT_EQ(Renders(), before);
}

TEST_F(MaterialEditor, ARenderModeOutsideTheButtonsChecksNone)
{
    editor->destroy();
    material->SetStoredRenderMode(7);
    editor = Open<CVTND_DetailsMaterialDlg>(CVTND_Object(material));
    for (const int32_t radio : {1014, 1015, 1369, 1370})
        EXPECT_EQ(Page<pf::Button>(radio)->getCheck(), pf::BST_UNCHECKED) << radio;
    EXPECT_EQ(material->GetRenderMode(), 7u);
}

// Factors a damaged file left: NaN sits at the slider's start, a huge one at its end, a huge negative at its start.
TEST_F(MaterialEditor, FactorsNoPositionHoldsSitAtTheEndsOfTheirSliders)
{
    editor->destroy();
    material->SetSmoothness(std::nanf(""));
    material->SetTransparency(1e30f);
    material->SetBumpAmount(-1e30f);
    material->SetReflectivity(3e9f);
    editor = Open<CVTND_DetailsMaterialDlg>(CVTND_Object(material));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(Page<pf::Trackbar>(1358)->getPos(), 1);
    EXPECT_EQ(Page<pf::Trackbar>(1368)->getPos(), 1000);
    EXPECT_EQ(Page<pf::Trackbar>(1357)->getPos(), 0);
    EXPECT_EQ(Page<pf::Trackbar>(1356)->getPos(), 1000);
    EXPECT_FLOAT_EQ(material->GetTransparency(), 1e30f); // shown, never written back by opening
}

TEST_F(MaterialEditor, TextureNoticesKeepTheBoxesAndViewersInStep)
{
    SWtexture* bricks = Texture("bricks.png");
    CVTND_Event created(EventCode::kCreated, CVTND_Object(ObjectType::kTexture, Texture("wood.png")));
    app->Broadcast(created);
    for (const int32_t box : {1002, 1302, 1264})
        EXPECT_EQ(Page<pf::ComboBox>(box)->getLBText(Page<pf::ComboBox>(box)->getCount() - 1), "wood.png");

    CVTND_Event renamed(EventCode::kRenamed, CVTND_Object(ObjectType::kTexture, bricks));
    renamed.SetTexts(std::string("bricks.png"), std::string("stones.png"));
    app->Broadcast(renamed);
    auto* textureBox = Page<pf::ComboBox>(1002);
    EXPECT_EQ(textureBox->getLBText(textureBox->getCurSel()), "stones.png");
    EXPECT_EQ(textureBox->findExact("bricks.png"), -1);

    // Code 7: the viewer shows the replacement before the old texture goes.
    std::unique_ptr<SWtexture> clone = CloneTextureObject(bricks);
    CVTND_Event replaced(EventCode::kReplaced, CVTND_Object(ObjectType::kTexture, bricks));
    replaced.related[0] = CVTND_Object(ObjectType::kTexture, clone.get());
    app->Broadcast(replaced);
    EXPECT_EQ(Page<CVTND_TextureViewer>(1003)->GetMemberAt40(), clone.get());

    const uint64_t before = Renders();
    CVTND_Event deleted(EventCode::kDeleted, CVTND_Object(ObjectType::kTexture, Texture("bumps.png")));
    app->Broadcast(deleted);
    sim().pump();
    EXPECT_EQ(Page<pf::ComboBox>(1264)->getCurSel(), 0);
    EXPECT_EQ(Page<pf::ComboBox>(1264)->findExact("bumps.png"), -1);
    EXPECT_EQ(Page<CVTND_TextureViewer>(1005)->GetMemberAt40(), nullptr);
    EXPECT_EQ(material->GetBumpTexture(), Texture("bumps.png")); // the world's deletion clears the material
    EXPECT_EQ(Renders(), before + 1);
    Page<CVTND_TextureViewer>(1003)->SetImage(nullptr);
}

TEST_F(MaterialEditor, ThePreviewIsTheMaterialOnTheSphereOfTheWorldOfTheMoment)
{
    const SWtexture* shown = editor->item<CVTND_TextureViewer>(1003)->GetMemberAt40();
    ASSERT_EQ(shown, CVTND_MaterialPreview::Get().GetImage());
    EXPECT_EQ(shown->GetWidth(), kPreviewSide);
    EXPECT_EQ(shown->GetHeight(), kPreviewSide);
    EXPECT_NE(FindPreviewSphere(World(), kPreviewSphereId), nullptr);
    editor->destroy();

    // A new world (New Project) gets its own sphere; nothing of the old one is reached (ASan).
    designertest::SampleWorld second(*app);
    World().UpdateNodeTransforms(World().GetRootNode(), 0);
    EXPECT_EQ(FindPreviewSphere(World(), kPreviewSphereId), nullptr);
    const uint64_t before = Renders();
    editor = Open<CVTND_DetailsMaterialDlg>(CVTND_Object(World().GetRootObject()->GetFirstMaterial()));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(Renders(), before + 1);
    const SWmeshobject* sphere = FindPreviewSphere(World(), kPreviewSphereId);
    ASSERT_NE(sphere, nullptr);
    EXPECT_EQ(sphere->GetPolygons()[0].material, nullptr); // let go after the render

    // Without a camera there is no render and no crash; the picture stays.
    SWcameraobject* lens = World().GetActiveCamera()->GetCameraObject();
    const float fieldOfView = lens->GetFieldOfView();
    lens->SetFieldOfView(0.0f);
    sim().click(*Page<pf::Button>(1014));
    sim().pump();
    EXPECT_EQ(Renders(), before + 1);
    lens->SetFieldOfView(fieldOfView);
}

TEST_F(MaterialEditor, ThePageScrollsWithItsBarWhichHidesWhenTheFrameHoldsThePage)
{
    editor->move(pf::Rect::fromXywh(20, 0, static_cast<int32_t>(editor->windowRect().width()), 520));
    sim().pump();
    auto* bar = editor->item<pf::ScrollBar>(1175);
    ASSERT_TRUE(bar->isVisible());
    pf::Window* name = editor->Page().child(1186);
    const int32_t top = name->windowRect().t;
    const pf::Rect thumb = bar->thumbRect();
    const pf::Point grab = bar->clientToScreen({(thumb.l + thumb.r) / 2, (thumb.t + thumb.b) / 2});
    sim().drag(grab, {grab.x, grab.y + 60}, 3);
    EXPECT_GT(editor->ScrollPosition(), 0);
    EXPECT_EQ(bar->position(), editor->ScrollPosition());
    EXPECT_EQ(name->windowRect().t, top - editor->ScrollPosition());

    // The track pages, the arrows step and the wheel over the page turns it, as any scrolled window does.
    const int32_t dragged = editor->ScrollPosition();
    const pf::Rect track = bar->thumbRect();
    sim().click(bar->clientToScreen({(track.l + track.r) / 2, track.b + 4}));
    const int32_t paged = editor->ScrollPosition();
    EXPECT_GT(paged, dragged);
    const pf::Rect up = bar->arrowRect(true);
    sim().click(bar->clientToScreen({(up.l + up.r) / 2, (up.t + up.b) / 2}));
    EXPECT_LT(editor->ScrollPosition(), paged);
    const int32_t stepped = editor->ScrollPosition();
    sim().wheel(name->clientToScreen({2, 2}), -1);
    EXPECT_GT(editor->ScrollPosition(), stepped);
    EXPECT_EQ(bar->position(), editor->ScrollPosition());
    EXPECT_EQ(name->windowRect().t, top - editor->ScrollPosition());

    editor->move(pf::Rect::fromXywh(20, 0, static_cast<int32_t>(editor->windowRect().width()), 1000));
    EXPECT_FALSE(bar->isVisible());
}

TEST_F(MaterialEditor, TheNameIsAppliedOnCloseAndOnlyThen)
{
    auto* nameBox = Page<pf::Edit>(1186);
    sim().replaceText(*nameBox, "");
    sim().expectMessageBox(pf::IDOK);
    editor->send(pf::WM_CLOSE);
    EXPECT_TRUE(editor->isWindow());
    EXPECT_EQ(LastBox(), EditorTextOf(kIdsValidName));

    sim().replaceText(*nameBox, "wood"); // another material's
    sim().expectMessageBox(pf::IDOK);
    editor->send(pf::WM_CLOSE);
    EXPECT_TRUE(editor->isWindow());
    EXPECT_EQ(LastBox(), EditorTextOf(kIdsUniqueName));
    EXPECT_EQ(material->GetName(), "brick");

    sim().replaceText(*nameBox, "dropped");
    sim().keyPress(pf::VK_ESCAPE);
    EXPECT_TRUE(app->GetEditDialogs().empty());
    EXPECT_EQ(material->GetName(), "brick");

    editor = Open<CVTND_DetailsMaterialDlg>(CVTND_Object(material));
    recorder->Clear();
    sim().replaceText(*Page<pf::Edit>(1186), "clay");
    sim().keyPress(pf::VK_RETURN);
    EXPECT_TRUE(app->GetEditDialogs().empty());
    EXPECT_EQ(material->GetName(), "clay");
    ASSERT_EQ(recorder->Count(3), 1u);
    EXPECT_EQ(recorder->Events().back().firstText, "brick");
    EXPECT_EQ(recorder->Events().back().secondText, "clay");
}

} // namespace
} // namespace editorstest

namespace editorstest {
namespace {

// The render thread steps the world while the user drags sliders, the preview refreshes 60 times and a texture
// editor swaps its copy in: every write of the editors is under the world's lock (ThreadSanitizer's run).
TEST_F(MaterialEditor, TheRenderThreadStepsTheWorldWhileTheEditorsWrite)
{
    // At normal priority and with a minute to end its frame: at idle priority beside busy tests, Stop timed out.
    CVTND_RenderThread thread(std::chrono::seconds(60), CVTN_ThreadHandler::Priority::kNormal);
    ASSERT_TRUE(thread.Start(World()));
    for (int i = 0; i < 60; ++i) {
        editor->send(kMsgRenderPreview);
        World().GetRedrawEvent().Set();
        if (i % 15 == 0)
            sim().moveTrackbar(*Page<pf::Trackbar>(1368), 100 + i);
    }
    auto* textures = Open<CVTND_DetailsTextureDlg>(CVTND_Object(ObjectType::kTexture, Texture("bricks.png")));
    ASSERT_NE(textures, nullptr);
    textures->send(pf::WM_CLOSE);
    World().GetRedrawEvent().Set();
    EXPECT_TRUE(thread.Stop());
    EXPECT_NE(Texture("bricks.png"), nullptr);
    EXPECT_GT(material->GetTransparency(), 0.0f);
}

} // namespace
} // namespace editorstest

namespace editorstest {
namespace {

TEST_F(MaterialEditor, ASavedProjectHoldsNoPreviewSphere)
{
    ASSERT_NE(FindPreviewSphere(World(), kPreviewSphereId), nullptr);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(app->GetProject()->WriteBytes(bytes, app->GetGradientStore()));
    CVTND_Project::LoadResult loaded = CVTND_Project::LoadBytes(std::move(bytes), "saved.vtp");
    ASSERT_TRUE(loaded.ok()) << loaded.message;
    EXPECT_EQ(FindPreviewSphere(*loaded.world, kPreviewSphereId), nullptr);
    EXPECT_NE(FindPreviewSphere(World(), kPreviewSphereId), nullptr); // the open world keeps it
}

} // namespace
} // namespace editorstest

namespace editorstest {
namespace {

// The previewed material goes with the scene file that brought it: the hidden sphere keeps nothing of it, and the
// next preview, of another material, reads nothing freed (ASan).
TEST_F(MaterialEditor, AMaterialRemovedWithItsSceneFileIsNotKeptByTheSphere)
{
    auto owned = std::make_unique<SWmaterial>("imported");
    owned->SetDiffuseColour(1.0f, 0.1f, 0.9f, 0.1f);
    SWmaterial* imported = owned.get();
    World().GetRootObject()->AddMaterial(std::move(owned));
    CVTND_Project::AddedFile data;
    data.record.fileName = "imported.vtn";
    data.record.entries.push_back({MergedKind::kMaterial, 0, "imported", "imported", imported});
    CVTN_SubWorld* entry = app->GetProject()->AppendAddedFile(std::string("imported"), std::move(data));
    editor->destroy();
    editor = Open<CVTND_DetailsMaterialDlg>(CVTND_Object(imported));
    ASSERT_NE(editor, nullptr);
    sim().click(*Page<pf::Button>(1370)); // a change, so the preview renders with it once more
    sim().pump();

    ASSERT_TRUE(app->GetProject()->RemoveSubWorld(entry));
    EXPECT_TRUE(app->GetEditDialogs().empty()); // its editor closed with it
    bool kept = false;
    for (SWmaterial* m = World().GetRootObject()->GetFirstMaterial(); m != nullptr;
         m = SWrootobject::GetNextMaterial(m))
        kept = kept || m == imported;
    EXPECT_FALSE(kept);
    const uint64_t before = Renders();
    editor = Open<CVTND_DetailsMaterialDlg>(CVTND_Object(material));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(Renders(), before + 1);
}

} // namespace
} // namespace editorstest
