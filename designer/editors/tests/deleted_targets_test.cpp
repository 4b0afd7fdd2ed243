// A node that a motion's reference frame or an interactive motion's channels name is deleted while no editor is
// open, by each way the designer deletes nodes: the holders read as no node, the project saves and reads back
// without it, the editors open showing no node, and the preview runs.
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "designer/app/project.h"
#include "designer/editors/arcball_dlg.h"
#include "designer/editors/controller_editor.h"
#include "designer/editors/controller_texts.h"
#include "designer/editors/details_hotspots_dlg.h"
#include "designer/editors/details_particles_dlg.h"
#include "designer/editors/details_texture_dlg.h"
#include "designer/editors/tests/editors_fixture.h"
#include "designer/workspace/tooltip_texts.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/arcball_motion.h"
#include "engine/behaviour/event.h"
#include "engine/core/hotspot.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/scene_import.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/world_file.h"
#include "engine/resources/particle_node.h"
#include "engine/resources/texture.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/list_box.h"
#include "testsupport/world/sample_world.h"

namespace editorstest {
namespace {

class DeletedTargets : public EditorsFixture {
protected:
    // A rotation whose reference frame is node, and an arcball whose channels all take node as their frame.
    void Aim(SWnode* node)
    {
        rotate = sample->AddAction(*sample->timer, 41);
        motion = dynamic_cast<SWnodemotion*>(rotate->GetMotion());
        ASSERT_NE(motion, nullptr);
        motion->SetOptionFlags(SWnodemotion::kFrameTarget);
        motion->SetTargetNode(node);
        motion->SetTargetNodeName(node->GetName());
        arcball = sample->AddAction(*sample->timer, 45);
        ball = dynamic_cast<SWarcballmotion*>(arcball->GetMotion());
        ASSERT_NE(ball, nullptr);
        for (int c = 0; c < 6; ++c) {
            ball->GetChannel(c).SetTargetObject(node);
            ball->GetChannel(c).SetFrameBits(SWnodemotion::kFrameTarget);
        }
        ASSERT_EQ(ball->GetChannel(0).GetTargetObject(), node);
    }

    // Saved and read back, then both editors opened and the preview run.
    void ExpectGone(const std::string& name)
    {
        EXPECT_EQ(motion->GetTargetNode(), nullptr);
        for (int c = 0; c < 6; ++c)
            EXPECT_EQ(ball->GetChannel(c).GetTargetObject(), nullptr) << c;

        std::vector<uint8_t> bytes;
        ASSERT_TRUE(app->GetProject()->WriteBytes(bytes, app->GetGradientStore()));
        CVTND_Project::LoadResult reopened = CVTND_Project::LoadBytes(bytes, "deleted");
        ASSERT_TRUE(reopened.ok());
        EXPECT_EQ(reopened.world->GetRootNode()->FindByName(name), nullptr);

        auto* controller = Open<CVTND_ActionControllerDlg>(CVTND_Object(rotate));
        ASSERT_NE(controller, nullptr);
        EXPECT_EQ(controller->child(1390)->getText(), ControllerTextOf(kIdsNoNode));
        EXPECT_FALSE(motion->GetTargetNodeName());
        controller->DestroyWindow();
        auto* arcballEditor = Open<CVTND_ControllerMotionArcballDlg>(CVTND_Object(arcball));
        ASSERT_NE(arcballEditor, nullptr);
        EXPECT_EQ(arcballEditor->child(1390)->getText(), TooltipTextOf(kIdsArcballNoTarget));
        EXPECT_FALSE(ball->GetChannel(0).GetTargetName());
        arcballEditor->DestroyWindow();
        sim().pump();

        World().SetRunning(true);
        World().PostNamedTrigger(sample->timer, std::nullopt);
        for (int frame = 0; frame < 4; ++frame) {
            SWworldlock lock(World());
            World().RunFrame();
        }
        World().SetRunning(false);
    }

    // The sample world saved as a scene file and added to the project; its "button" by the name it took here.
    CVTN_SubWorld* AddScene(std::string& outButton)
    {
        folder = artifactPath("deleted_targets_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        path = (folder / "yard.vtn").string();
        scene = worldtest::MakeSampleWorld();
        if (SaveWorldFile(*scene, WorldFileMode::kScene, path) != DocumentStatus::kOk)
            return nullptr;
        sim().onModal(519, [&](pf::Dialog& d) { sim().click(*d.item<pf::Button>(pf::IDCANCEL)); });
        CVTN_SubWorld* added = app->GetProject()->AddSceneFile(path);
        if (added == nullptr)
            return nullptr;
        for (const MergeEntry& e : app->GetProject()->FindAddedFile(added)->record.entries)
            if (e.kind == MergedKind::kNode && e.nameInFile == "button")
                outButton = e.name;
        return added;
    }

    // The added scene's "button", aimed at; null when the scene could not be added.
    CVTN_SubWorld* AddSceneAndAim(std::string& outButton)
    {
        CVTN_SubWorld* added = AddScene(outButton);
        SWnode* node = added != nullptr ? World().GetRootNode()->FindByName(outButton) : nullptr;
        if (node == nullptr)
            return nullptr;
        Aim(node);
        return added;
    }

    void TearDown() override
    {
        EditorsFixture::TearDown();
        if (!folder.empty())
            std::filesystem::remove_all(folder);
    }

    SWactionnode* rotate = nullptr;
    SWnodemotion* motion = nullptr;
    SWactionnode* arcball = nullptr;
    SWarcballmotion* ball = nullptr;
    std::filesystem::path folder;
    std::string path;
    std::unique_ptr<SWworld> scene;
};

TEST_F(DeletedTargets, DeletedFromTheMenuOrTheHotSpotEditorTheTargetReadsAsNone)
{
    const std::string name = *sample->otherObject->GetName();
    Aim(sample->otherObject);
    ASSERT_TRUE(app->DeleteObject(CVTND_Object(sample->otherObject), CVTNDesignerApp::kDeleteFromMenu));
    ExpectGone(name);

    // The hot spot, selected in its texture's hot-spot editor and removed with its button.
    const std::string spot = *sample->hotspot->GetName();
    Aim(sample->hotspot);
    auto* texture =
        Open<CVTND_DetailsTextureDlg>(CVTND_Object(ObjectType::kTexture, World().FindTextureByName("bricks.png")));
    ASSERT_NE(texture, nullptr);
    sim().click(*texture->item<pf::Button>(1187)); // Hot spots...
    auto* list = texture->Hotspots()->item<pf::ListBox>(1000);
    ASSERT_EQ(list->getCount(), 1);
    sim().selectListItem(*list, 0);
    ASSERT_EQ(static_cast<SWnode*>(texture->SelectedHotspot()), sample->hotspot);
    sim().click(*texture->Hotspots()->item<pf::Button>(1164));
    ASSERT_EQ(World().GetRootNode()->FindByName(spot), nullptr);
    texture->DestroyWindow();
    ExpectGone(spot);
}

TEST_F(DeletedTargets, RemovingTheSceneFileTakesTheTargetAlong)
{
    std::string button;
    CVTN_SubWorld* added = AddSceneAndAim(button);
    ASSERT_NE(added, nullptr);
    ASSERT_TRUE(app->GetProject()->RemoveSubWorld(added));
    ASSERT_EQ(World().GetRootNode()->FindByName(button), nullptr);
    ExpectGone(button);
}

TEST_F(DeletedTargets, SynchronisingAFileTheTargetLeftTakesItAlong)
{
    std::string button;
    CVTN_SubWorld* added = AddSceneAndAim(button);
    ASSERT_NE(added, nullptr);
    ASSERT_TRUE(scene->DeleteNode(scene->GetRootNode()->FindByName("button")));
    ASSERT_EQ(SaveWorldFile(*scene, WorldFileMode::kScene, path), DocumentStatus::kOk);
    ASSERT_TRUE(app->GetProject()->SynchronizeSubWorld(nullptr, added));
    ASSERT_EQ(World().GetRootNode()->FindByName(button), nullptr);
    ExpectGone(button);
}

// A texture of an added scene open in the texture editor, replaced by a synchronisation that takes the file's
// textures: the editor closes as it does for a deleted texture, and the project saves and previews.
TEST_F(DeletedTargets, ATextureReplacedBySynchronisingClosesItsEditor)
{
    std::string button;
    CVTN_SubWorld* added = AddScene(button);
    ASSERT_NE(added, nullptr);
    std::string bricks;
    for (const MergeEntry& e : app->GetProject()->FindAddedFile(added)->record.entries)
        if (e.kind == MergedKind::kTexture && e.nameInFile == "bricks.png")
            bricks = e.name;
    SWtexture* old = World().FindTextureByName(bricks);
    ASSERT_NE(old, nullptr);
    auto* editor = Open<CVTND_DetailsTextureDlg>(CVTND_Object(ObjectType::kTexture, old));
    ASSERT_NE(editor, nullptr);
    sim().chooseCombo(*editor->item<pf::ComboBox>(1002), CVTND_DetailsTextureDlg::kGreyscale); // an edit to apply
    added->SetOption(CVTN_SubWorld::kTextures, 1);
    ASSERT_TRUE(app->GetProject()->SynchronizeSubWorld(nullptr, added));
    SWtexture* fresh = World().FindTextureByName(bricks);
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(app->GetEditDialogs().empty());
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(app->GetProject()->WriteBytes(bytes, app->GetGradientStore()));
    ASSERT_TRUE(CVTND_Project::LoadBytes(bytes, "replaced").ok());
    editor = Open<CVTND_DetailsTextureDlg>(CVTND_Object(ObjectType::kTexture, fresh));
    ASSERT_NE(editor, nullptr);
    editor->DestroyWindow();
    World().SetRunning(true);
    for (int frame = 0; frame < 2; ++frame) {
        SWworldlock lock(World());
        World().RunFrame();
    }
    World().SetRunning(false);
}

// A particle system of an added scene open in its editor, its node's drawing replaced by a synchronisation that
// takes the file's objects: the editor closes while the old system still lives, and the preview runs.
TEST_F(DeletedTargets, AParticleSystemReplacedBySynchronisingClosesItsEditor)
{
    folder = artifactPath("replaced_particles_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    path = (folder / "sparks.vtn").string();
    SWworld file;
    auto* sparks = new SWobjectnode;
    sparks->SetName(std::string("sparks"));
    file.AddNode(sparks, nullptr);
    sparks->SetGeometry(file.GetRootObject()->AddGeometry(std::make_unique<SWparticlenode>()));
    ASSERT_EQ(SaveWorldFile(file, WorldFileMode::kScene, path), DocumentStatus::kOk);
    CVTN_SubWorld* added = app->GetProject()->AddSceneFile(path);
    ASSERT_NE(added, nullptr);
    std::string name;
    for (const MergeEntry& e : app->GetProject()->FindAddedFile(added)->record.entries)
        if (e.kind == MergedKind::kNode && e.nameInFile == "sparks")
            name = e.name;
    SWnode* node = World().GetRootNode()->FindByName(name);
    ASSERT_NE(node, nullptr);
    const SWgeometry* before = node->GetGeometry();
    CVTND_Object object;
    object.InitFromNode(node);
    ASSERT_NE(Open<CVTND_DetailsParticlesDlg>(object), nullptr);
    added->SetOption(CVTN_SubWorld::kObjects, 1);
    ASSERT_TRUE(app->GetProject()->SynchronizeSubWorld(nullptr, added));
    ASSERT_NE(node->GetGeometry(), before);
    EXPECT_TRUE(app->GetEditDialogs().empty());
    auto* reopened = Open<CVTND_DetailsParticlesDlg>(object);
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->Particles(), node->GetGeometry());
    reopened->DestroyWindow();
    World().SetRunning(true);
    for (int frame = 0; frame < 2; ++frame) {
        SWworldlock lock(World());
        World().RunFrame();
    }
    World().SetRunning(false);
}

} // namespace
} // namespace editorstest
