// An added scene file synchronised and removed on a running designer while its objects are in use: on the event map,
// in open editors, in the panels, drawn by the 3D view and by a running preview. Nothing may keep pointing into the
// world the file was read into, nor at what the synchronisation or the removal replaced.
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/main_frame.h"
#include "designer/app/project.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/map_object.h"
#include "designer/editors/loaded_background_dlg.h"
#include "designer/editors/remove_files_dlg.h"
#include "designer/editors/synchronize_dlg.h"
#include "designer/workspace/panel_dlg.h"
#include "designer/workspace/scenegraph_dlg.h"
#include "engine/core/animation_data.h"
#include "engine/core/mesh_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/scene_import.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/world_file.h"
#include "engine/resources/background.h"
#include "engine/resources/image24.h"
#include "engine/resources/image32.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/sound.h"
#include "platform/settings/settings_backend.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/tree_view.h"
#include "platform/ui/dialog/dialog.h"
#include "testsupport/designer/sample_designer.h"
#include "testsupport/mesh/mesh_generators.h"
#include "testsupport/world/sample_world.h"

namespace {

SWmaterial* MaterialNamed(SWworld& world, const std::string& name)
{
    for (SWmaterial* m = world.GetRootObject()->GetFirstMaterial(); m; m = SWrootobject::GetNextMaterial(m))
        if (m->GetName() == name)
            return m;
    return nullptr;
}

// The sample scene as another program wrote it again: other meshes (one of a material the file did not have), a
// new picture, a recoloured material, a node moved, one put under another, one gone, another background; with lamp, a
// new node and yet another background.
std::unique_ptr<SWworld> ChangedScene(const worldtest::SampleWorldOptions& options, bool lamp)
{
    std::unique_ptr<SWworld> world = worldtest::MakeSampleWorld(options);
    SWrootobject& root = *world->GetRootObject();
    auto made = std::make_unique<SWmaterial>("stone");
    made->SetDiffuseColour(0.9f, 0.5f, 0.5f, 0.5f);
    SWmaterial* stone = made.get();
    root.AddMaterial(std::move(made));
    SWmaterial* brick = MaterialNamed(*world, "brick");
    MaterialNamed(*world, "wood")->SetDiffuseColour(0.8f, 0.1f, 0.9f, 0.1f);
    const std::vector<uint32_t> pixels(16 * 16, 0xFF00FF00u);
    SWtexture* picture = world->FindTextureByName("bricks.png");
    root.AddTexture(SWimage32::SWimage32FromPixels("bricks.png", 16, 16, pixels.data()));
    SWtexture* fresh = SWrootobject::GetNextTexture(picture);
    while (SWrootobject::GetNextTexture(fresh) != nullptr)
        fresh = SWrootobject::GetNextTexture(fresh);
    world->ReplaceTextureReferences(picture, fresh, false);
    for (const char* name : {"meshnode0", "meshnode1"}) {
        SWnode* node = world->GetRootNode()->FindByName(name);
        SWgeometry* old = node->GetGeometry();
        node->SetGeometry(root.AddGeometry(worldtest::MeshOf(meshtest::MakeSphere(5, 10), name, {stone, brick})));
        old->Detach();
        delete old;
    }
    if (lamp) {
        auto* node = new SWmeshnode;
        node->SetName(std::string("lamp"));
        world->AddNode(node, nullptr);
        node->SetGeometry(root.AddGeometry(worldtest::MeshOf(meshtest::MakeCube(), "lampmesh", {brick, stone})));
    }
    auto* object0 = SWobjectnode::FromNode(world->GetRootNode()->FindByName("object0"));
    object0->SetInitialMatrix(SWmatrix::Translation(4.0f, 1.0f, 2.0f));
    object0->GetAnimationTracks().FindByName(kDefaultAnimationName)->SetKey(5, SWmatrix::Translation(0, 2.0f, 0));
    world->Reparent(SWobjectnode::FromNode(world->GetRootNode()->FindByName("object1")),
                    world->GetRootNode()->FindByName("object2"), false, 1);
    world->DeleteNode(world->GetRootNode()->FindByName("part2"));
    const std::vector<uint32_t> sky(8 * 4, 0xFF804020u);
    root.SetBackground(SWbackground::SWbackgroundFromTexture(
        SWimage24::SWimage24FromPixels(lamp ? "night.png" : "dusk.png", 8, 4, sky.data()), SWbackground::kModeStretch));
    return world;
}

class SceneSync : public pf::UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        ASSERT_TRUE(designertest::StartOnSampleWorld(designer, ownFolder()));
        app = designer.GetApp();
        view = designer.ActiveView();
        view->move(pf::Rect::fromXywh(0, 0, 240, 180));
        for (const PanelRole role : {PanelRole::kSceneGraph, PanelRole::kResources})
            app->GetPanel(role)->post(kMsgPanelRefill);
        if (app->GetFirstEventMap() == nullptr) {
            ASSERT_TRUE(sim().menuCommand(*designer.GetMainFrame(), kCmdNewEventMap));
        }
        sim().pump();
        engine = dynamic_cast<CEditorEngine*>(app->GetEditorEngine());
        ASSERT_NE(engine, nullptr);
        engine->showObjectNames = true;
        scene = (std::filesystem::path(ownFolder()) / "yard.vtn").string();
        options.soundFile = (std::filesystem::path(ownFolder()) / "tone.wav").string();
        ASSERT_TRUE(worldtest::WriteSampleTone(options.soundFile));
        ASSERT_EQ(SaveWorldFile(*worldtest::MakeSampleWorld(options), WorldFileMode::kScene, scene),
                  DocumentStatus::kOk);
        sim().expectFile(scene);
        sim().onModal(CVTND_LoadedBackgroundDlg::kIdd, [](pf::Dialog& d) { d.endDialog(pf::IDCANCEL); });
        ASSERT_TRUE(sim().menuCommand(*designer.GetMainFrame(), kCmdAddSceneFile));
        sim().pump();
        ASSERT_EQ(app->GetProject()->GetAddedFiles().Count(), 1u);
    }
    void TearDown() override
    {
        designer.Exit();
        UiFixture::TearDown();
    }
    CVTND_ExtendedWorld& World() { return *designer.GetWorld(); }
    CVTN_SubWorld* Entry() { return app->GetProject()->GetAddedFiles().GetFirst(); }
    // The project's name of what the file calls nameInFile.
    std::string Merged(MergedKind kind, const std::string& nameInFile)
    {
        for (const MergeEntry& e : app->GetProject()->FindAddedFile(Entry())->record.entries)
            if (e.kind == kind && e.nameInFile == nameInFile)
                return e.name;
        return {};
    }
    SWnode* MergedNode(const std::string& nameInFile)
    {
        return World().GetRootNode()->FindByName(Merged(MergedKind::kNode, nameInFile));
    }
    // Frames drawn after now, each at a tick of the designer's timer; inModal: with no turn of the designer's loop,
    // as behind a modal dialog, each after a redraw asked of the world.
    void WaitFrames(int count = 3, bool inModal = false)
    {
        const auto deadline = std::chrono::steady_clock::now() + designertest::kRenderThreadWait;
        for (int i = 0; i < count; ++i) {
            const uint64_t drawn = designer.GetRenderThread().FrameCount();
            if (inModal)
                World().Invalidate(true);
            else
                sim().advance(17);
            while (designer.GetRenderThread().FrameCount() == drawn && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (!inModal)
            sim().pump();
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
    }
    size_t Materials()
    {
        size_t n = 0;
        for (SWmaterial* m = World().GetRootObject()->GetFirstMaterial(); m; m = SWrootobject::GetNextMaterial(m))
            ++n;
        return n;
    }
    void Place(MapObject* object)
    {
        ASSERT_NE(object, nullptr);
        engine->PlaceAt(object, 40 + 50 * static_cast<int32_t>(placed % 6), 40 + 60 * static_cast<int32_t>(placed / 6));
        ++placed;
    }
    // What the file brought, on the map and in editors: a node, its material, a texture, the sound, a cursor and
    // the loadable world.
    void PutInUse()
    {
        SWnode* node = MergedNode("meshnode0");
        SWmaterial* material = MaterialNamed(World(), Merged(MergedKind::kMaterial, "brick"));
        SWtexture* texture = World().FindTextureByName(Merged(MergedKind::kTexture, "bricks.png"));
        SWsound* sound = World().GetSoundList().FindByName(Merged(MergedKind::kSound, "speech"));
        ASSERT_TRUE(node != nullptr && material != nullptr && texture != nullptr && sound != nullptr);
        SWcursor* cursor = World().GetCursorList().FindByName(Merged(MergedKind::kCursor, "hand"));
        CVTN_SubWorld* loadable = World().GetSubWorlds().FindByName(Merged(MergedKind::kSubWorld, "level2"));
        ASSERT_TRUE(cursor != nullptr && loadable != nullptr);
        Place(engine->AddNode(node));
        Place(engine->AddKind4000(material));
        Place(engine->AddSound(sound));
        Place(engine->AddKind1000(cursor));
        Place(engine->AddWorld(loadable));
        inUse.insert({node, material, texture, sound, cursor, loadable});
        for (const CVTND_Object& object : {CVTND_Object(material), CVTND_Object(sound), CVTND_Object(loadable),
                                           CVTND_Object(ObjectType::kTexture, texture)})
            EXPECT_NE(app->EditObject(object, false), nullptr) << object.GetType();
        // The node selected in the scene graph: the Manipulate and Properties panels show it.
        auto* graph = dynamic_cast<CVTND_ScenegraphDlg*>(app->GetPanel(PanelRole::kSceneGraph));
        graph->post(kMsgPanelRefill);
        sim().pump();
        ASSERT_TRUE(sim().clickTreeItem(*graph->GetTree(), graph->FindItem(node)));
        app->RedrawEventMaps();
        sim().pump();
    }
    // Tools > Synchronise Scene Files with exactly these options of the file's checked; a background the file
    // offers is answered with backgroundAnswer.
    void Synchronise(const std::set<int>& checked, int32_t backgroundAnswer = pf::IDCANCEL)
    {
        if (checked.count(CVTN_SubWorld::kBackground) != 0)
            sim().onModal(CVTND_LoadedBackgroundWarningDlg::kIdd,
                          [backgroundAnswer](pf::Dialog& d) { d.endDialog(backgroundAnswer); });
        sim().onModal(CVTND_SynchronizeDlg::kIdd, [&](pf::Dialog& d) {
            for (size_t k = 0; k < CVTND_SynchronizeDlg::kOptionBoxes.size(); ++k) {
                auto* box = d.item<pf::Button>(CVTND_SynchronizeDlg::kOptionBoxes[k]);
                if ((box->getCheck() == pf::BST_CHECKED) != (checked.count(static_cast<int>(k)) != 0))
                    sim().click(*box);
            }
            auto* tree = d.item<pf::TreeView>(1000);
            sim().clickTreeCheck(*tree, tree->getChildItem(pf::TVI_ROOT));
            sim().click(*d.item<pf::Button>(pf::IDOK));
            WaitFrames(2, true); // the dialog stays open after a synchronisation, and the views draw on behind it
            sim().click(*d.item<pf::Button>(pf::IDCANCEL));
        });
        ASSERT_TRUE(sim().menuCommand(*designer.GetMainFrame(), kCmdSynchronizeSceneFiles));
        sim().pump();
        EXPECT_EQ(ui().providers().scriptedModal().pending(), 0u);
    }
    // Every geometry a node draws, every material a mesh draws with and every texture a material uses is the
    // project's own; every map object's content is still the project's.
    void ExpectNothingForeign()
    {
        const SWworldlock hold(World());
        std::set<const void*> own;
        SWrootobject& root = *World().GetRootObject();
        for (SWmaterial* m = root.GetFirstMaterial(); m; m = SWrootobject::GetNextMaterial(m))
            own.insert(m);
        for (SWtexture* t = root.GetFirstTexture(); t; t = SWrootobject::GetNextTexture(t))
            own.insert(t);
        for (SWgeometry* g = root.GetFirstGeometry(); g; g = dynamic_cast<SWgeometry*>(g->GetNextSibling()))
            own.insert(g);
        int foreign = 0;
        for (SWnode* n = World().GetRootNode(); n != nullptr; n = n->NextInTree(World().GetRootNode()))
            foreign += n->GetGeometry() != nullptr && own.count(n->GetGeometry()) == 0 ? 1 : 0;
        for (SWgeometry* g = root.GetFirstGeometry(); g; g = dynamic_cast<SWgeometry*>(g->GetNextSibling()))
            if (const auto* mesh = dynamic_cast<const SWmesh*>(g))
                for (uint32_t p = 0; p < mesh->GetPolygonCount(); ++p)
                    foreign +=
                        mesh->GetPolygons()[p].material != nullptr && own.count(mesh->GetPolygons()[p].material) == 0
                            ? 1
                            : 0;
        for (SWmaterial* m = root.GetFirstMaterial(); m; m = SWrootobject::GetNextMaterial(m))
            for (const SWtexture* t : {m->GetTexture(), m->GetReflectionTexture(), m->GetBumpTexture()})
                foreign += t != nullptr && own.count(t) == 0 ? 1 : 0;
        EXPECT_EQ(foreign, 0);
    }

    designertest::EarlierReportsDropped earlierReports;
    CVTND_Designer designer;
    CVTNDesignerApp* app = nullptr;
    CChildRenderView* view = nullptr;
    CEditorEngine* engine = nullptr;
    worldtest::SampleWorldOptions options;
    std::string scene;
    size_t placed = 0;
    std::set<const void*> inUse; // what PutInUse put on the map and in editors
};

// Each option alone, then all together with a new node and the removal of what the file lost while a preview runs;
// the file's background is taken each time, the second the project's own, which the preview's stop keeps. The
// project then saves and opens again as it stood.
TEST_F(SceneSync, EveryOptionTakesTheFileAgainAndLeavesNothingOfTheReadWorld)
{
    PutInUse();
    WaitFrames();
    const size_t materials = Materials();
    ASSERT_EQ(SaveWorldFile(*ChangedScene(options, false), WorldFileMode::kScene, scene), DocumentStatus::kOk);
    for (int option = CVTN_SubWorld::kTextures; option <= CVTN_SubWorld::kBackground; ++option) {
        SCOPED_TRACE("option " + std::to_string(option));
        Synchronise({option, CVTN_SubWorld::kKeepRemoved}, pf::IDOK);
        WaitFrames();
        ExpectNothingForeign();
    }
    ASSERT_NE(MergedNode("part2"), nullptr);
    ASSERT_EQ(SaveWorldFile(*ChangedScene(options, true), WorldFileMode::kScene, scene), DocumentStatus::kOk);
    PutInUse();
    ASSERT_TRUE(designer.StartPreview());
    WaitFrames();
    Synchronise({CVTN_SubWorld::kTextures, CVTN_SubWorld::kMaterials, CVTN_SubWorld::kHierarchy,
                 CVTN_SubWorld::kTransforms, CVTN_SubWorld::kMotion, CVTN_SubWorld::kObjects,
                 CVTN_SubWorld::kBackground},
                pf::IDOK);
    WaitFrames();
    ExpectNothingForeign();
    EXPECT_EQ(MergedNode("part2"), nullptr);
    ASSERT_NE(MergedNode("lamp"), nullptr);
    EXPECT_NE(dynamic_cast<CVTND_ScenegraphDlg*>(app->GetPanel(PanelRole::kSceneGraph))->FindItem(MergedNode("lamp")),
              0u);
    EXPECT_EQ(MergedNode("object1")->GetParentNode(), MergedNode("object2"));
    EXPECT_EQ(Materials(), materials + 1); // the new stone; the file's others are drawn with as the project has them
    ASSERT_TRUE(designer.StopPreview());
    WaitFrames();

    const std::string project = (std::filesystem::path(ownFolder()) / "synced.vtp").string();
    ASSERT_TRUE(designer.SaveTo(project));
    ASSERT_TRUE(designer.OpenProjectFile(project, false));
    app = designer.GetApp();
    WaitFrames();
    ExpectNothingForeign();
    ASSERT_NE(MergedNode("lamp"), nullptr);
    EXPECT_EQ(MergedNode("part2"), nullptr);
    const SWmaterial* wood = MaterialNamed(World(), Merged(MergedKind::kMaterial, "wood"));
    ASSERT_NE(wood, nullptr);
    EXPECT_FLOAT_EQ(wood->GetDiffuseColour().green, 0.9f);
    const SWbackground* background = World().GetRootObject()->GetBackground();
    ASSERT_TRUE(background != nullptr && background->GetTexture() != nullptr);
    EXPECT_EQ(background->GetTexture()->GetName(), "night.png");
}

// Removal takes the file's node, material, texture, sound, cursor and loadable world off the map and out of the
// editors before it frees them; the map then draws what is left.
TEST_F(SceneSync, RemovalTakesWhatTheFileBroughtOffTheMapAndOutOfTheEditors)
{
    PutInUse();
    ASSERT_TRUE(designer.StartPreview());
    WaitFrames();
    sim().onModal(CVTND_RemoveVTNFilesDlg::kIdd, [this](pf::Dialog& d) {
        auto* tree = d.item<pf::TreeView>(1000);
        sim().clickTreeCheck(*tree, tree->getChildItem(pf::TVI_ROOT));
        sim().expectMessageBox(pf::IDYES);
        sim().click(*d.child(1163));
        d.endDialog(pf::IDOK);
    });
    ASSERT_TRUE(sim().menuCommand(*designer.GetMainFrame(), kCmdRemoveSceneFiles));
    sim().pump();
    ASSERT_EQ(app->GetProject()->GetAddedFiles().Count(), 0u);
    app->RedrawEventMaps();
    WaitFrames();
    for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o))
        EXPECT_EQ(inUse.count(o->GetContent()), 0u);
    EXPECT_TRUE(app->GetEditDialogs().empty());
    ASSERT_TRUE(designer.StopPreview());
}

// A file whose entry asks to be synchronised on load brings its new content each time the project opens, and
// marks the project only when it brought something.
TEST_F(SceneSync, AFileAskingForItIsSynchronisedAsTheProjectOpens)
{
    for (const int option : {CVTN_SubWorld::kMaterials, CVTN_SubWorld::kTransforms, CVTN_SubWorld::kObjects,
                             CVTN_SubWorld::kOnLoad, CVTN_SubWorld::kKeepRemoved})
        Entry()->SetOption(option, 1);
    const std::string project = (std::filesystem::path(ownFolder()) / "onload.vtp").string();
    ASSERT_TRUE(designer.SaveTo(project));
    ASSERT_EQ(SaveWorldFile(*ChangedScene(options, true), WorldFileMode::kScene, scene), DocumentStatus::kOk);
    ASSERT_TRUE(designer.OpenProjectFile(project, false));
    app = designer.GetApp();
    WaitFrames();
    ExpectNothingForeign();
    EXPECT_NE(MergedNode("lamp"), nullptr);
    const SWmaterial* wood = MaterialNamed(World(), Merged(MergedKind::kMaterial, "wood"));
    ASSERT_NE(wood, nullptr);
    EXPECT_FLOAT_EQ(wood->GetDiffuseColour().green, 0.9f);
    EXPECT_FLOAT_EQ(SWobjectnode::FromNode(MergedNode("object0"))->GetLocalMatrix().GetTranslation().x, 4.0f);

    EXPECT_EQ(app->IsModified(), 1) << "the file brought changes";

    // Saved, and opened again on the file as it was merged: nothing changed, so nothing is to be saved. Every such
    // open once marked the project.
    ASSERT_TRUE(designer.SaveTo(project));
    ASSERT_TRUE(designer.OpenProjectFile(project, false));
    app = designer.GetApp();
    WaitFrames();
    EXPECT_NE(MergedNode("lamp"), nullptr);
    EXPECT_EQ(app->IsModified(), 0);

    // Gone since: the box says that this scene's synchronisation failed and the project opened as last saved,
    // naming the file once.
    std::filesystem::remove(scene);
    sim().expectMessageBox(pf::IDOK);
    ASSERT_TRUE(designer.OpenProjectFile(project, false));
    const auto& calls = ui().providers().scriptedMessageBox().calls();
    ASSERT_FALSE(calls.empty());
    const std::string& box = calls.back().text;
    EXPECT_NE(box.find("Synchronising a scene file as the project opened failed"), std::string::npos) << box;
    EXPECT_NE(box.find("The project opened with that scene as it was last saved."), std::string::npos) << box;
    EXPECT_NE(box.find(scene), std::string::npos) << box;
    EXPECT_EQ(box.find(scene), box.rfind(scene)) << box;
    EXPECT_NE(designer.GetApp()->GetProject(), nullptr);
}

} // namespace
