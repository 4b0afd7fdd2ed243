// The designer on the sample, as a person uses it: what the 3D view shows after an edit, after a scene file is
// added and removed, and what the panels list after the texture editor put its copy in the texture's place.
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/main_frame.h"
#include "designer/app/project.h"
#include "designer/app/snapshot.h"
#include "designer/editors/details_material_dlg.h"
#include "designer/editors/details_texture_dlg.h"
#include "designer/editors/loaded_background_dlg.h"
#include "designer/editors/remove_files_dlg.h"
#include "designer/workspace/list_panels.h"
#include "designer/workspace/manipulate_dlg.h"
#include "designer/workspace/scenegraph_dlg.h"
#include "designer/workspace/tree_panels.h"
#include "engine/core/node.h"
#include "engine/core/root_object.h"
#include "engine/core/window.h"
#include "engine/core/world_file.h"
#include "engine/resources/geometry.h"
#include "engine/resources/material.h"
#include "engine/resources/wavelet_image.h"
#include "platform/settings/settings_backend.h"
#include "platform/testing/image_check.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/tree_view.h"
#include "platform/ui/dialog/dialog.h"
#include "testsupport/designer/sample_designer.h"
#include "testsupport/world/sample_world.h"

namespace {

class ViewsFollow : public pf::UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        ASSERT_TRUE(designertest::StartOnSampleWorld(designer, ownFolder()));
        world = designer.GetWorld();
        view = designer.ActiveView();
        ASSERT_NE(view, nullptr);
        view->move(pf::Rect::fromXywh(0, 0, 320, 240));
        for (const PanelRole role : {PanelRole::kSceneGraph, PanelRole::kResources})
            designer.GetApp()->GetPanel(role)->post(kMsgPanelRefill); // the sample came after the panels' fill
        sim().pump();
    }
    void TearDown() override
    {
        designer.Exit();
        UiFixture::TearDown();
    }
    // Frames drawn after now, each at a tick of the designer's timer; thirty are enough for a still view to have
    // refined itself to its steady picture.
    void WaitFrames(int count = 30)
    {
        const auto deadline = std::chrono::steady_clock::now() + designertest::kRenderThreadWait;
        for (int i = 0; i < count; ++i) {
            const uint64_t drawn = designer.GetRenderThread().FrameCount();
            sim().advance(17);
            while (designer.GetRenderThread().FrameCount() == drawn && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        sim().pump();
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
    }
    std::unique_ptr<pf::Surface32> Picture() const
    {
        const pf::Rect client = view->clientRect();
        const pf::Point origin = view->clientToScreen({0, 0});
        return pf::captureScreen(pf::Rect::fromXywh(origin.x, origin.y, static_cast<int32_t>(client.width()),
                                                    static_cast<int32_t>(client.height())));
    }
    SWnode* Node(const char* name) const { return world->GetRootNode()->FindByName(name); }
    template <typename T> T& Panel(PanelRole role) { return *dynamic_cast<T*>(designer.GetApp()->GetPanel(role)); }
    void DoubleClickResource(const void* object)
    {
        auto& resources = Panel<CVTND_ResourcesDlg>(PanelRole::kResources);
        pf::Rect label;
        ASSERT_TRUE(resources.GetTree()->getItemRect(resources.FindItem(object), label, true));
        sim().doubleClick(resources.GetTree()->clientToScreen({label.l + 4, label.t + 4}));
    }
    template <typename T> T* OpenEditor() const
    {
        const auto& editors = designer.GetApp()->GetEditDialogs();
        return editors.empty() ? nullptr : dynamic_cast<T*>(editors.back()->dialog);
    }
    // Where the view's camera draws node, drawn alone off screen at the picture's size, row by row.
    std::vector<bool> Silhouette(const SWnode* node, const pf::Surface32& picture) const
    {
        const SWworldlock hold(*world);
        std::vector<std::pair<SWgeometry*, bool>> others;
        for (SWnode* n = world->GetRootNode(); n != nullptr; n = n->NextInTree(world->GetRootNode()))
            if (SWgeometry* geometry = n->GetGeometry(); geometry != nullptr && n != node) {
                others.emplace_back(geometry, geometry->IsHidden());
                geometry->SetHidden(true, false);
            }
        std::string error;
        const std::optional<CVTND_Snapshot> shot =
            DrawSnapshot(*world, view->GetEngineWindow()->GetCameraNode(), picture.width(), picture.height(), error);
        for (const auto& [geometry, hidden] : others)
            geometry->SetHidden(hidden, false);
        std::vector<bool> out(static_cast<size_t>(picture.width() * picture.height()));
        for (size_t i = 0; shot && i < out.size(); ++i)
            out[i] = (shot->pixels[i] >> 24) == 0xFF;
        return out;
    }
    // Of the pixels where node alone is drawn, the share the picture does not show in the background's colour.
    double DrawnShare(const pf::Surface32& picture, const SWnode* node) const
    {
        const std::vector<bool> picked = Silhouette(node, picture);
        int count = 0;
        int drawn = 0;
        for (int32_t y = 0; y < picture.height(); ++y)
            for (int32_t x = 0; x < picture.width(); ++x)
                if (picked[static_cast<size_t>(y * picture.width() + x)]) {
                    ++count;
                    drawn += (picture.pixel(x, y) & 0xFFFFFFu) != kSampleBackground ? 1 : 0;
                }
        return count == 0 ? 0.0 : static_cast<double>(drawn) / count;
    }

    designertest::EarlierReportsDropped earlierReports;
    CVTND_Designer designer;
    CVTND_ExtendedWorld* world = nullptr;
    CChildRenderView* view = nullptr;
};

// With the preview stopped, a Set in the Manipulate panel and a colour chosen in the material editor show in the
// view within its next frames, where the still view had refined its earlier picture.
TEST_F(ViewsFollow, EditsShowInTheStillViewAtItsNextFrames)
{
    SWnode* cube = Node("cube");
    ASSERT_NE(cube, nullptr);
    auto& graph = Panel<CVTND_ScenegraphDlg>(PanelRole::kSceneGraph);
    ASSERT_TRUE(sim().clickTreeItem(*graph.GetTree(), graph.FindItem(cube)));
    auto& manipulate = Panel<CVTND_ManipulateDlg>(PanelRole::kManipulate);
    ASSERT_EQ(manipulate.GetSingleSelection().GetObject(), cube);
    WaitFrames();
    const std::unique_ptr<pf::Surface32> before = Picture();
    const std::vector<bool> was = Silhouette(cube, *before);
    sim().replaceText(*manipulate.child(panel_ids::kFirstValueEdit), "1.5");
    sim().click(*manipulate.child(panel_ids::kSet));
    WaitFrames(2);
    const std::unique_ptr<pf::Surface32> moved = Picture();
    EXPECT_TRUE(sim().screenshot(artifactPath("moved.png")));
    const std::vector<bool> now = Silhouette(cube, *moved);
    // The pixels the cube took and those it left both change.
    int took = 0, tookChanged = 0, left = 0, leftChanged = 0;
    for (int32_t y = 0; y < moved->height(); ++y)
        for (int32_t x = 0; x < moved->width(); ++x) {
            const size_t at = static_cast<size_t>(y * moved->width() + x);
            const bool changed = moved->pixel(x, y) != before->pixel(x, y);
            took += now[at] && !was[at] ? 1 : 0;
            tookChanged += now[at] && !was[at] && changed ? 1 : 0;
            left += was[at] && !now[at] ? 1 : 0;
            leftChanged += was[at] && !now[at] && changed ? 1 : 0;
        }
    ASSERT_GT(took, 100);
    ASSERT_GT(left, 100);
    EXPECT_GT(tookChanged, took * 9 / 10);
    EXPECT_GT(leftChanged, left * 9 / 10);
    // A click picks what the view shows there, off its centre too: every pixel of the moved cube picks it.
    int misses = 0;
    {
        const SWworldlock hold(*world);
        for (int32_t y = 0; y < moved->height(); ++y)
            for (int32_t x = 0; x < moved->width(); ++x)
                misses += now[static_cast<size_t>(y * moved->width() + x)] && world->PickNode(x, y) != cube ? 1 : 0;
    }
    EXPECT_LT(misses, took / 100);

    // The floor's diffuse colour, chosen in its material editor.
    SWmaterial* floor = world->GetRootObject()->GetFirstMaterial();
    while (floor != nullptr && floor->GetName() != "floor")
        floor = SWrootobject::GetNextMaterial(floor);
    ASSERT_NE(floor, nullptr);
    DoubleClickResource(floor);
    auto* editor = OpenEditor<CVTND_DetailsMaterialDlg>();
    ASSERT_NE(editor, nullptr);
    WaitFrames();
    const std::unique_ptr<pf::Surface32> green = Picture();
    const pf::Point onFloor{moved->width() / 2, moved->height() - 4};
    sim().expectColor(pf::rgb(255, 0, 0));
    sim().click(*editor->Page().child(1164));
    WaitFrames(2);
    EXPECT_NE(Picture()->pixel(onFloor.x, onFloor.y), green->pixel(onFloor.x, onFloor.y));
}

// The sample scene added beside the sample (the background question answered No) shows the cube and the scene's
// meshes; removing the file brings the first picture back.
TEST_F(ViewsFollow, AnAddedSceneShowsBesideTheCubeAndItsRemovalBringsTheFirstPictureBack)
{
    const std::filesystem::path folder = ownFolder();
    const std::string scene = (folder / "added.vtn").string();
    worldtest::SampleWorldOptions options;
    options.soundFile = (folder / "tone.wav").string();
    ASSERT_TRUE(worldtest::WriteSampleTone(options.soundFile));
    ASSERT_EQ(SaveWorldFile(*worldtest::MakeSampleWorld(options), WorldFileMode::kScene, scene), DocumentStatus::kOk);
    const std::optional<std::string> name = designer.GetApp()->GetProject()->GetObjectName();
    WaitFrames();
    const std::unique_ptr<pf::Surface32> first = Picture();
    ASSERT_GT(DrawnShare(*first, Node("cube")), 0.9);

    sim().expectFile(scene);
    sim().onModal(CVTND_LoadedBackgroundDlg::kIdd, [](pf::Dialog& dialog) { dialog.endDialog(pf::IDCANCEL); });
    ASSERT_TRUE(sim().menuCommand(*designer.GetMainFrame(), kCmdAddSceneFile));
    sim().pump();
    ASSERT_EQ(designer.GetApp()->GetProject()->GetAddedFiles().Count(), 1u);
    WaitFrames();
    const std::unique_ptr<pf::Surface32> added = Picture();
    EXPECT_TRUE(sim().screenshot(artifactPath("added-scene.png")));
    EXPECT_GT(DrawnShare(*added, Node("cube")), 0.9);
    EXPECT_GT(DrawnShare(*added, Node("meshnode0")), 0.5);
    EXPECT_GT(DrawnShare(*added, Node("meshnode1")), 0.5);
    EXPECT_EQ(designer.GetApp()->GetProject()->GetObjectName(), name); // the scene's header names no project

    sim().onModal(CVTND_RemoveVTNFilesDlg::kIdd, [this](pf::Dialog& dialog) {
        auto* tree = dialog.item<pf::TreeView>(1000);
        ASSERT_NE(tree, nullptr);
        sim().clickTreeCheck(*tree, tree->getChildItem(pf::TVI_ROOT));
        sim().expectMessageBox(pf::IDYES);
        sim().click(*dialog.child(1163));
        dialog.endDialog(pf::IDOK);
    });
    ASSERT_TRUE(sim().menuCommand(*designer.GetMainFrame(), kCmdRemoveSceneFiles));
    sim().pump();
    ASSERT_EQ(designer.GetApp()->GetProject()->GetAddedFiles().Count(), 0u);
    WaitFrames();
    const pf::ImageDifference difference = pf::compareSurfaces(*Picture(), *first, 0);
    EXPECT_EQ(difference.differing, 0) << "largest channel difference " << difference.maxChannelDelta;
}

// The texture editor's close, after a kind was chosen, puts its copy in the checker's place: the Resources panel
// then lists the copy alone, under the texture's name, and opens it; a close that changed nothing changes nothing.
TEST_F(ViewsFollow, ATextureSwapLeavesNoGhostInTheResourcesPanel)
{
    SWtexture* checker = world->FindTextureByName("checker");
    ASSERT_NE(checker, nullptr);
    auto& resources = Panel<CVTND_ResourcesDlg>(PanelRole::kResources);
    const size_t items = resources.CountItems();
    DoubleClickResource(checker);
    auto* editor = OpenEditor<CVTND_DetailsTextureDlg>();
    ASSERT_NE(editor, nullptr);
    editor->send(pf::WM_CLOSE);
    sim().pump();
    EXPECT_EQ(world->FindTextureByName("checker"), checker);
    EXPECT_EQ(resources.CountItems(), items);

    DoubleClickResource(checker);
    editor = OpenEditor<CVTND_DetailsTextureDlg>();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(sim().chooseCombo(*editor->item<pf::ComboBox>(1002), CVTND_DetailsTextureDlg::kWavelet));
    editor->send(pf::WM_CLOSE);
    sim().pump();
    SWtexture* copy = world->FindTextureByName("checker");
    ASSERT_NE(dynamic_cast<SWwaveletimage*>(copy), nullptr);
    EXPECT_EQ(world->FindTextureByName(kReplacedTextureName), nullptr);
    EXPECT_EQ(resources.CountItems(), items);
    EXPECT_EQ(resources.FindItem(checker), 0u);
    ASSERT_NE(resources.FindItem(copy), 0u);
    DoubleClickResource(copy);
    editor = OpenEditor<CVTND_DetailsTextureDlg>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->EditedTexture(), copy);
    editor->send(pf::WM_CLOSE);
}

} // namespace
