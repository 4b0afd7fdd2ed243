// The texture editor and its hot-spot editor: the working copy put in the texture's place on a close after a rebuild,
// its kinds and wavelet quality, the closes that apply nothing, renames, the alter-ego picture, the layout, and hot
// spots added, removed, renamed and given pictures cut from the alter-ego texture.
#include <filesystem>
#include <fstream>

#include "designer/app/notification.h"
#include "designer/app/project.h"
#include "designer/editors/details_hotspots_dlg.h"
#include "designer/editors/details_texture_dlg.h"
#include "designer/editors/material_texts.h"
#include "designer/editors/tests/editors_fixture.h"
#include "designer/eventedit/background_action_dlg.h"
#include "designer/eventedit/color_effect_pages.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/texture_viewer.h"
#include "engine/behaviour/action_settings.h"
#include "engine/core/hotspot.h"
#include "engine/resources/image24.h"
#include "engine/resources/image32.h"
#include "engine/resources/image8.h"
#include "engine/resources/material.h"
#include "engine/resources/palette_image.h"
#include "engine/resources/picture.h"
#include "engine/resources/wavelet_image.h"
#include "platform/gfx/jpeg_file.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/controls/trackbar.h"

namespace editorstest {
namespace {

std::vector<uint32_t> Gradient(int32_t w, int32_t h)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            pixels[static_cast<size_t>(y) * w + x] = 0xFF000000u | (x * 255 / w) << 16 | (y * 255 / h) << 8 | 0x40;
    return pixels;
}

class TextureEditor : public EditorsFixture {
protected:
    CVTND_DetailsTextureDlg* OpenOn(SWtexture* texture)
    {
        auto* editor = Open<CVTND_DetailsTextureDlg>(CVTND_Object(ObjectType::kTexture, texture));
        EXPECT_NE(editor, nullptr);
        return editor;
    }
    SWtexture* AddTexture(std::unique_ptr<SWtexture> texture)
    {
        SWtexture* kept = texture.get();
        World().GetRootObject()->AddTexture(std::move(texture));
        return kept;
    }
    void Close(CVTND_DetailsTextureDlg* editor)
    {
        editor->send(pf::WM_CLOSE);
        sim().pump();
    }
    void ShowHotspotsAndRow(CVTND_DetailsTextureDlg& editor)
    {
        sim().click(*editor.item<pf::Button>(1187));
        sim().click(*editor.item<pf::Button>(1193));
    }
    std::string WriteJpeg(const char* name, int32_t w, int32_t h)
    {
        pf::Surface32 surface(w, h);
        const std::vector<uint32_t> pixels = Gradient(w, h);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                surface.setPixel(x, y, pixels[static_cast<size_t>(y) * w + x]);
        const std::string path = artifactPath(name);
        std::string error;
        EXPECT_TRUE(pf::writeJpegFile(path, surface, 90, error)) << error;
        return path;
    }
};

TEST_F(TextureEditor, ACloseWithoutARebuildLeavesTheTextureAndAChosenKindPutsTheCopyInItsPlace)
{
    SWtexture* bricks = Texture("bricks.png");
    auto* hotspot = dynamic_cast<SWhotspot*>(sample->hotspot);
    ASSERT_EQ(hotspot->GetTexture(), bricks);
    Close(OpenOn(bricks));
    EXPECT_TRUE(app->GetEditDialogs().empty());
    EXPECT_EQ(Texture("bricks.png"), bricks);
    EXPECT_EQ(recorder->Count(7), 0u);

    CVTND_DetailsTextureDlg* editor = OpenOn(bricks);
    sim().chooseCombo(*editor->item<pf::ComboBox>(1002), CVTND_DetailsTextureDlg::kGreyscale);
    Close(editor);
    SWtexture* copy = Texture("bricks.png");
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, bricks);
    EXPECT_FALSE(HoldsTexture(bricks));
    EXPECT_EQ(sample->material->GetTexture(), copy);
    EXPECT_EQ(hotspot->GetTexture(), copy);
    ASSERT_EQ(recorder->Count(7), 1u);
    const auto& replaced = recorder->Events().back();
    EXPECT_EQ(replaced.subject, CVTND_Object(ObjectType::kTexture, bricks));
    EXPECT_EQ(replaced.related[0], CVTND_Object(ObjectType::kTexture, copy));
    EXPECT_EQ(recorder->Count(3), 0u); // the name was not changed
}

// The texture editor names the edited texture aside before it tells of the replacement: a background editor showing
// the texture still follows it to the copy that took its name.
TEST_F(TextureEditor, AnOpenBackgroundEditorFollowsTheTextureTheEditorReplaces)
{
    SWtexture* bricks = Texture("bricks.png");
    auto* action = dynamic_cast<SWbackgroundaction*>(sample->AddAction(*sample->click, 19));
    ASSERT_NE(action, nullptr);
    action->SetTextureName(std::string("bricks.png"));
    auto* background = Open<CVTND_ActionBackgroundDlg>(CVTND_Object(action));
    ASSERT_NE(background, nullptr);
    ASSERT_EQ(background->PageIndex(), 1);
    auto* preview = background->Page()->item<CVTND_TextureViewer>(CVTND_ColorEffectPage::kIdPreview);
    ASSERT_EQ(preview->GetMemberAt40(), bricks);

    CVTND_DetailsTextureDlg* editor = OpenOn(bricks);
    sim().chooseCombo(*editor->item<pf::ComboBox>(1002), CVTND_DetailsTextureDlg::kGreyscale);
    Close(editor);
    SWtexture* copy = Texture("bricks.png");
    ASSERT_NE(copy, bricks);
    EXPECT_EQ(preview->GetMemberAt40(), copy);
    EXPECT_EQ(action->GetTextureName(), std::optional<std::string>("bricks.png"));
    background->DestroyWindow();
}

TEST_F(TextureEditor, KindsOpenOnTheirEntryAndTheCopyIsRebuiltInTheChosenOne)
{
    const std::vector<uint32_t> pixels = Gradient(16, 8);
    SWtexture* palette = AddTexture(std::make_unique<SWimage>("palette", 16, 8, pixels.data()));
    SWtexture* wavelet = AddTexture(std::make_unique<SWwaveletimage>("wavelet", 16, 8, pixels.data(), 60));
    const std::pair<SWtexture*, int32_t> opened[] = {
        {Texture("bricks.png"), 0}, {Texture("wood.png"), 0}, {wavelet, 1}, {palette, 2}, {Texture("bumps.png"), 3}};
    for (const auto& [texture, entry] : opened) {
        SCOPED_TRACE(texture->GetName());
        CVTND_DetailsTextureDlg* editor = OpenOn(texture);
        EXPECT_EQ(editor->item<pf::ComboBox>(1002)->getCurSel(), entry);
        EXPECT_EQ(editor->item<pf::Trackbar>(1352)->isEnabled(), entry == 1);
        editor->destroy();
    }
    // "CI24" chosen as entry 0 becomes "CI32"; greyscale and palette make their kinds.
    CVTND_DetailsTextureDlg* editor = OpenOn(Texture("wood.png"));
    auto* kinds = editor->item<pf::ComboBox>(1002);
    sim().chooseCombo(*kinds, 3);
    EXPECT_NE(dynamic_cast<SWimage8*>(editor->WorkingCopy()), nullptr);
    sim().chooseCombo(*kinds, 0);
    EXPECT_NE(dynamic_cast<SWimage32*>(editor->WorkingCopy()), nullptr);
    EXPECT_EQ(editor->item<CVTND_TextureViewer>(1003)->GetMemberAt40(), editor->WorkingCopy());
    Close(editor);
    EXPECT_NE(dynamic_cast<SWimage32*>(Texture("wood.png")), nullptr);

    // A procedural picture shows as one, and its entry chosen again after another kind keeps it one.
    SWtexture* sky = AddTexture(std::make_unique<SWpicture>("sky", 16, 16, BackgroundGenerator::kChecker));
    editor = OpenOn(sky);
    kinds = editor->item<pf::ComboBox>(1002);
    ASSERT_EQ(kinds->getCurSel(), 4);
    EXPECT_EQ(kinds->getLBText(4), MaterialTextOf(kIdsKindProcedural));
    sim().chooseCombo(*kinds, 0);
    sim().chooseCombo(*kinds, 4);
    Close(editor);
    EXPECT_EQ(Texture("sky"), sky);
}

TEST_F(TextureEditor, TheWaveletEntryUsesTheLastReleasedQuality)
{
    CVTND_DetailsTextureDlg* editor = OpenOn(Texture("bricks.png"));
    auto* kinds = editor->item<pf::ComboBox>(1002);
    auto* slider = editor->item<pf::Trackbar>(1352);
    EXPECT_FALSE(slider->isEnabled());
    sim().chooseCombo(*kinds, 1);
    auto* wavelet = dynamic_cast<SWwaveletimage*>(editor->WorkingCopy());
    ASSERT_NE(wavelet, nullptr);
    EXPECT_EQ(wavelet->GetQuality(), 99u);
    ASSERT_TRUE(slider->isEnabled());
    sim().moveTrackbar(*slider, 40);
    const int32_t released = slider->getPos();
    EXPECT_EQ(editor->Quality(), released);
    EXPECT_EQ(editor->child(1172)->getText(), std::to_string(released));
    ASSERT_NE(dynamic_cast<SWwaveletimage*>(editor->WorkingCopy()), nullptr);
    EXPECT_EQ(dynamic_cast<SWwaveletimage*>(editor->WorkingCopy())->GetQuality(), static_cast<uint32_t>(released));
    sim().chooseCombo(*kinds, 0);
    EXPECT_FALSE(slider->isEnabled());
    sim().chooseCombo(*kinds, 1);
    EXPECT_EQ(dynamic_cast<SWwaveletimage*>(editor->WorkingCopy())->GetQuality(), static_cast<uint32_t>(released));
    EXPECT_EQ(slider->getPos(), released);
    // Keys set it as the mouse does: the picture is rebuilt, and the closed editor's texture keeps it.
    sim().trackbarKey(*slider, pf::VK_HOME);
    sim().trackbarKey(*slider, pf::VK_RIGHT);
    const int32_t keyed = slider->getRangeMin() + 1;
    EXPECT_EQ(editor->Quality(), keyed);
    EXPECT_EQ(dynamic_cast<SWwaveletimage*>(editor->WorkingCopy())->GetQuality(), static_cast<uint32_t>(keyed));
    Close(editor);
    const auto* stored = dynamic_cast<SWwaveletimage*>(Texture("bricks.png"));
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->GetQuality(), static_cast<uint32_t>(keyed));
    EXPECT_EQ(OpenOn(Texture("bricks.png"))->item<pf::Trackbar>(1352)->getPos(), keyed);
}

TEST_F(TextureEditor, ADeletionOrTheWorkspaceClosingClosesWithoutApplying)
{
    for (const EventCode code : {EventCode::kDeleted, EventCode::kWorkspaceClosing}) {
        SCOPED_TRACE(static_cast<int>(code));
        SWtexture* wood = Texture("wood.png");
        OpenOn(wood);
        recorder->Clear();
        CVTND_Event notice(code,
                           code == EventCode::kDeleted ? CVTND_Object(ObjectType::kTexture, wood) : CVTND_Object());
        app->Broadcast(notice);
        EXPECT_TRUE(app->GetEditDialogs().empty());
        EXPECT_TRUE(HoldsTexture(wood));
        EXPECT_EQ(Texture("wood.png"), wood);
        EXPECT_EQ(recorder->Count(7), 0u);
    }
}

TEST_F(TextureEditor, ARenameOnCloseNamesTheCopyAndARefusedOneKeepsTheEditorOpen)
{
    CVTND_DetailsTextureDlg* editor = OpenOn(Texture("bricks.png"));
    auto* name = editor->item<pf::Edit>(1171);
    for (const char* blank : {"", " "}) {
        sim().replaceText(*name, blank);
        sim().expectMessageBox(pf::IDOK);
        Close(editor);
        EXPECT_EQ(LastBox(), EditorTextOf(kIdsValidName)) << "\"" << blank << "\"";
        ASSERT_EQ(app->GetEditDialogs().size(), 1u);
    }
    sim().replaceText(*name, "wood.png");
    sim().expectMessageBox(pf::IDOK);
    Close(editor);
    EXPECT_EQ(LastBox(), EditorTextOf(kIdsUniqueName));
    ASSERT_EQ(app->GetEditDialogs().size(), 1u);

    sim().replaceText(*name, "stones.png");
    Close(editor);
    EXPECT_TRUE(app->GetEditDialogs().empty());
    EXPECT_EQ(Texture("bricks.png"), nullptr);
    SWtexture* renamed = Texture("stones.png");
    ASSERT_NE(renamed, nullptr);
    EXPECT_EQ(sample->material->GetTexture(), renamed); // the copy, under the new name
    EXPECT_EQ(dynamic_cast<SWhotspot*>(sample->hotspot)->GetTexture(), renamed);
    EXPECT_EQ(recorder->Count(3), 1u);
}

TEST_F(TextureEditor, TheAlterEgoComesFromAJpegOrAWorldTextureAndFollowsAReplacement)
{
    CVTND_DetailsTextureDlg* editor = OpenOn(Texture("bricks.png"));
    EXPECT_FALSE(editor->item<pf::Button>(1193)->isEnabled()); // no alter-ego row without the hot spots
    ShowHotspotsAndRow(*editor);
    ASSERT_TRUE(editor->IsRowShown());
    pf::Window* take = editor->Hotspots()->child(CVTND_DetailsHotspotsDlg::kIdTake);
    EXPECT_FALSE(take->isEnabled());

    const std::string damaged = artifactPath("damaged.jpg");
    std::ofstream(damaged, std::ios::binary) << "\xFF\xD8\xFF\xE0 not a picture";
    sim().expectFile(damaged);
    sim().expectMessageBox(pf::IDOK);
    sim().click(*editor->item<pf::Button>(1163));
    EXPECT_EQ(LastBox(), MaterialTextOf(kIdsJpegUnreadable));
    EXPECT_EQ(editor->AlterEgo(), nullptr);

    const std::string path = WriteJpeg("alter.jpg", 100, 60);
    sim().expectFile(path);
    sim().click(*editor->item<pf::Button>(1163));
    ASSERT_NE(editor->AlterEgo(), nullptr);
    EXPECT_EQ(editor->AlterEgo()->GetName(), "AlterEgoTex");
    EXPECT_EQ(editor->AlterEgo()->GetWidth(), 128);
    EXPECT_EQ(editor->AlterEgo()->GetHeight(), 64);
    EXPECT_EQ(editor->child(1173)->getText(), path);
    EXPECT_EQ(editor->item<CVTND_TextureViewer>(1004)->GetMemberAt40(), editor->AlterEgo());
    EXPECT_TRUE(take->isEnabled());

    auto* list = editor->item<pf::ComboBox>(1302);
    EXPECT_TRUE(sim().chooseCombo(*list, list->findExact("wood.png")));
    EXPECT_EQ(editor->AlterEgo(), Texture("wood.png"));
    std::unique_ptr<SWtexture> clone = CloneTextureObject(Texture("wood.png"));
    CVTND_Event replaced(EventCode::kReplaced, CVTND_Object(ObjectType::kTexture, Texture("wood.png")));
    replaced.related[0] = CVTND_Object(ObjectType::kTexture, clone.get());
    app->Broadcast(replaced);
    EXPECT_EQ(editor->AlterEgo(), clone.get());
    EXPECT_EQ(editor->item<CVTND_TextureViewer>(1004)->GetMemberAt40(), clone.get());
    sim().chooseCombo(*list, 0);
    EXPECT_EQ(editor->AlterEgo(), nullptr);
    EXPECT_FALSE(take->isEnabled());
}

TEST_F(TextureEditor, ThePreviewsFollowTheLayoutArithmetic)
{
    CVTND_DetailsTextureDlg* editor = OpenOn(Texture("bricks.png"));
    const pf::Rect fit = editor->child(1188)->windowRect();
    for (const int32_t height : {440, 600}) {
        SCOPED_TRACE(height);
        editor->move(pf::Rect::fromXywh(10, 10, 500, height));
        sim().pump();
        const pf::Rect client = editor->clientRect();
        const int32_t width = static_cast<int32_t>(client.width()) - fit.l - 3;
        EXPECT_EQ(editor->child(1003)->windowRect(),
                  pf::Rect::fromXywh(fit.l, fit.b + 3, width, static_cast<int32_t>(client.height()) - fit.b - 6));
        if (!(editor->Hotspots()->style() & pf::WS_VISIBLE))
            sim().click(*editor->item<pf::Button>(1187));
        sim().click(*editor->item<pf::Button>(1193));
        ASSERT_TRUE(editor->IsRowShown());
        const int32_t hLoad = static_cast<int32_t>(editor->child(1163)->windowRect().height());
        const int32_t hv = (static_cast<int32_t>(client.height()) - hLoad - fit.b - 12) >> 1;
        EXPECT_EQ(editor->child(1003)->windowRect(), pf::Rect::fromXywh(fit.l, fit.b + 3, width, hv));
        EXPECT_EQ(editor->child(1004)->windowRect(),
                  pf::Rect::fromXywh(fit.l, static_cast<int32_t>(client.height()) - hv - 3, width, hv));
        EXPECT_EQ(editor->child(1163)->windowRect().t, fit.b + 3 + hv + 3);
        sim().click(*editor->item<pf::Button>(1193)); // the row hidden again
    }
}

// -- The hot-spot editor

class HotspotEditor : public TextureEditor {
protected:
    void SetUp() override
    {
        TextureEditor::SetUp();
        const std::vector<uint32_t> plate = Gradient(128, 64);
        AddTexture(SWimage32::SWimage32FromPixels("plate", 128, 64, plate.data()));
        const std::vector<uint32_t> big = Gradient(256, 256);
        alterEgo = AddTexture(SWimage32::SWimage32FromPixels("big", 256, 256, big.data()));
        editor = OpenOn(Texture("plate"));
        ShowHotspotsAndRow(*editor);
        hotspots = editor->Hotspots();
        list = hotspots->item<pf::ListBox>(1000);
    }
    SWhotspot* AddHotspot()
    {
        sim().click(*hotspots->item<pf::Button>(1163));
        return editor->SelectedHotspot();
    }
    void UseAlterEgo()
    {
        auto* box = editor->item<pf::ComboBox>(1302);
        sim().chooseCombo(*box, box->findExact("big"));
    }
    SWtexture* alterEgo = nullptr;
    CVTND_DetailsTextureDlg* editor = nullptr;
    CVTND_DetailsHotspotsDlg* hotspots = nullptr;
    pf::ListBox* list = nullptr;
};

TEST_F(HotspotEditor, AddSelectsTheNewHotSpotAndRemoveSelectsTheOneThatTakesItsPlace)
{
    EXPECT_EQ(list->getCount(), 0);
    EXPECT_EQ(hotspots->child(1004)->getText(), "");
    SWhotspot* first = AddHotspot();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetName(), MaterialTextOf(kIdsHotspotRole) + "_1");
    EXPECT_EQ(first->GetTextureName(), "plate");
    EXPECT_EQ(first->GetAlterEgoRect(), first->GetRect());
    EXPECT_EQ(recorder->Count(1), 1u);
    EXPECT_EQ(recorder->Events().back().sender, hotspots->hwnd());
    SWhotspot* second = AddHotspot();
    SWhotspot* third = AddHotspot();
    EXPECT_EQ(list->getCount(), 3);
    EXPECT_EQ(list->getCurSel(), 2);
    EXPECT_EQ(hotspots->child(1175)->getText(), "0.5");

    sim().selectListItem(*list, 1);
    EXPECT_EQ(editor->SelectedHotspot(), second);
    sim().click(*hotspots->item<pf::Button>(1164));
    EXPECT_EQ(World().GetRootNode()->FindByName(MaterialTextOf(kIdsHotspotRole) + "_2"), nullptr);
    EXPECT_EQ(editor->SelectedHotspot(), third); // took its place
    sim().click(*hotspots->item<pf::Button>(1164));
    EXPECT_EQ(editor->SelectedHotspot(), first); // the one before
    EXPECT_EQ(list->getCount(), 1);
}

// Escape and the close box put the hot-spot editor away as a second "Hot spots..." does, the alter-ego row with it,
// and "Hot spots..." brings it back; the texture editor stays.
TEST_F(HotspotEditor, EscapeAndTheCloseBoxHideItAsHotSpotsDoes)
{
    const auto shown = [&] { return (hotspots->style() & pf::WS_VISIBLE) != 0; };
    ASSERT_TRUE(shown());
    sim().click(*list);
    sim().keyPress(pf::VK_ESCAPE);
    EXPECT_FALSE(shown()) << "Escape left the hot spots up";
    EXPECT_FALSE(editor->IsRowShown());
    EXPECT_FALSE(editor->child(1193)->isEnabled());

    sim().click(*editor->item<pf::Button>(1187));
    ASSERT_TRUE(shown());
    hotspots->post(pf::WM_CLOSE); // what the window manager's close box sends
    sim().pump();
    EXPECT_FALSE(shown()) << "the close box left the hot spots up";
    EXPECT_TRUE(pf::ui().window(editor->hwnd()) == editor && editor->isVisible());
    sim().click(*editor->item<pf::Button>(1187));
    EXPECT_TRUE(shown());

    // A name emptied and left by Escape is put back as the window goes: the texture editor then closes at once,
    // without refusing in the name of a window no one sees.
    SWhotspot* spot = AddHotspot();
    const std::optional<std::string> name = spot->GetName();
    sim().replaceText(*hotspots->item<pf::Edit>(1004), "");
    sim().keyPress(pf::VK_ESCAPE);
    EXPECT_FALSE(shown());
    Close(editor);
    EXPECT_TRUE(app->GetEditDialogs().empty()) << "the close was refused";
    EXPECT_EQ(spot->GetName(), name);
}

TEST_F(HotspotEditor, ANameAnotherNodeBearsIsRefusedAndHoldsTheOwnersClose)
{
    SWhotspot* first = AddHotspot();
    AddHotspot();
    sim().selectListItem(*list, 0);
    ASSERT_EQ(editor->SelectedHotspot(), first);
    sim().replaceText(*hotspots->item<pf::Edit>(1004), "front"); // a camera's name
    sim().expectMessageBox(pf::IDOK);
    sim().selectListItem(*list, 1);
    EXPECT_EQ(LastBox(), MaterialTextOf(kIdsHotspotUniqueName));
    EXPECT_EQ(editor->SelectedHotspot(), first);
    EXPECT_EQ(list->getCurSel(), 0);
    EXPECT_EQ(list->getText(0), MaterialTextOf(kIdsHotspotRole) + "_1");
    sim().expectMessageBox(pf::IDOK);
    Close(editor);
    EXPECT_EQ(app->GetEditDialogs().size(), 1u);

    sim().replaceText(*hotspots->item<pf::Edit>(1004), "lamp");
    sim().selectListItem(*list, 1);
    EXPECT_EQ(first->GetName(), "lamp");
    EXPECT_GE(list->findExact("lamp"), 0);

    // Renames and deletions made elsewhere reach the list.
    ASSERT_TRUE(World().RenameNode(first, "lamp", "bulb"));
    CVTND_Event renamed(EventCode::kRenamed, CVTND_Object(static_cast<SWnode*>(first)));
    renamed.SetTexts(std::string("lamp"), std::string("bulb"));
    app->Broadcast(renamed);
    EXPECT_GE(list->findExact("bulb"), 0);
    ASSERT_TRUE(app->DeleteObject(CVTND_Object(static_cast<SWnode*>(first)), CVTNDesignerApp::kDeleteFromKey));
    EXPECT_EQ(list->getCount(), 1);
}

TEST_F(HotspotEditor, TakeCutsAPictureOfPowersOfTwoWhoseRestIsZero)
{
    SWhotspot* hotspot = AddHotspot();
    hotspot->SetRect({0.0f, 0.0f, 100.0f / 128.0f, 60.0f / 64.0f});
    hotspot->SetAlterEgoRect({0.0f, 0.0f, 0.5f, 0.5f});
    sim().click(*hotspots->item<pf::Button>(1165)); // no alter ego yet: nothing
    EXPECT_EQ(hotspot->GetImage(), nullptr);
    UseAlterEgo();
    sim().click(*hotspots->item<pf::Button>(1165));
    const SWtexture* picture = hotspot->GetImage();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->GetName(), "crop");
    EXPECT_EQ(picture->GetWidth(), 128);
    EXPECT_EQ(picture->GetHeight(), 64);
    EXPECT_EQ(hotspot->GetPictureWidth(), 100);
    EXPECT_EQ(hotspot->GetPictureHeight(), 60);
    const uint32_t* px = picture->GetPixels();
    EXPECT_NE(px[0] & 0xFFFFFF, 0u); // the cut
    EXPECT_EQ(px[0] & 0xFFFFFF, alterEgo->GetPixels()[0] & 0xFFFFFF);
    EXPECT_EQ(px[100] & 0xFFFFFF, 0u);      // right of it
    EXPECT_EQ(px[60 * 128] & 0xFFFFFF, 0u); // below it
    EXPECT_EQ(hotspots->item<CVTND_TextureViewer>(1003)->GetMemberAt40(), picture);

    // The shown size survives a saved and reopened project.
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(app->GetProject()->WriteBytes(bytes, app->GetGradientStore()));
    CVTND_Project::LoadResult loaded = CVTND_Project::LoadBytes(std::move(bytes), "saved.vtp");
    ASSERT_TRUE(loaded.ok()) << loaded.message;
    auto* reopened = dynamic_cast<SWhotspot*>(loaded.world->GetRootNode()->FindByName(*hotspot->GetName()));
    ASSERT_NE(reopened, nullptr);
    ASSERT_NE(reopened->GetImage(), nullptr);
    EXPECT_EQ(reopened->GetPictureWidth(), 100);
    EXPECT_EQ(reopened->GetPictureHeight(), 60);

    sim().click(*hotspots->item<pf::Button>(1208));
    EXPECT_EQ(hotspot->GetImage(), nullptr);
    EXPECT_EQ(hotspots->item<CVTND_TextureViewer>(1003)->GetMemberAt40(), nullptr);
}

TEST_F(HotspotEditor, ACutReachingOutsideTheAlterEgoIsClampedAndAnEmptyOneTakesNothing)
{
    SWhotspot* hotspot = AddHotspot();
    UseAlterEgo();
    hotspot->SetAlterEgoRect({0.75f, -0.25f, 0.5f, 0.5f}); // half outside, right and above (ASan)
    sim().click(*hotspots->item<pf::Button>(1165));
    ASSERT_NE(hotspot->GetImage(), nullptr);
    EXPECT_EQ(hotspot->GetPictureWidth(), 64);
    hotspot->SetImage(nullptr);
    for (const std::array<float, 4>& rect :
         {std::array<float, 4>{0.2f, 0.2f, 0.0f, 0.5f}, std::array<float, 4>{1.0f, 0.2f, 0.5f, 0.5f}}) {
        hotspot->SetAlterEgoRect(rect);
        sim().click(*hotspots->item<pf::Button>(1165));
        EXPECT_EQ(hotspot->GetImage(), nullptr);
    }
}

} // namespace
} // namespace editorstest
