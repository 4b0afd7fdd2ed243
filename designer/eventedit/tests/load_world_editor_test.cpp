// The load-world action's editor: its root picker, Load now with the linked worlds' instances, their fitting and
// stored placement, and the instances let go again whenever they or the editor go.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "designer/app/extended_world.h"
#include "designer/app/node_placement.h"
#include "designer/app/notification.h"
#include "designer/app/project.h"
#include "designer/editing/picker_receptors.h"
#include "designer/eventedit/load_world_dlg.h"
#include "designer/eventedit/tests/eventedit_fixture.h"
#include "designer/workspace/list_panels.h"
#include "designer/workspace/manipulate_dlg.h"
#include "designer/workspace/workspace_controls.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/input_queue.h"
#include "engine/core/bbox.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/sub_world_loader.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "engine/resources/mesh.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/icon.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/core/resources.h"
#include "testsupport/designer/manipulate_pose.h"
#include "testsupport/world/sample_world.h"

namespace eventedittest {
namespace {

using Dlg = CVTND_ActionLoadVTODlg;

void PrepareMeshes(SWnode& root);

class LoadWorldEditor : public EventEditFixture {
protected:
    void SetUp() override
    {
        EventEditFixture::SetUp();
        RegisterWorkspaceControls(ui());
        folder = std::filesystem::path(ownFolder());
        for (const char* name : {"hall", "tower"}) {
            SWworld level;
            auto* node = new SWobjectnode;
            node->SetName(std::string(name) + "-room");
            level.AddNode(node, nullptr);
            ASSERT_EQ(SaveWorldFile(level, WorldFileMode::kScene, (folder / (std::string(name) + ".vtn")).string()),
                      DocumentStatus::kOk);
            CVTN_SubWorld* entry = sample->world.GetSubWorlds().Add(name);
            entry->SetFileName(std::string(name) + ".vtn");
        }
        CVTN_SubWorldLoader::Of(sample->world).SetBaseFolder(folder.string());
        action = dynamic_cast<SWimportvtoactionnode*>(sample->AddAction(*sample->click, 54));
        ASSERT_NE(action, nullptr);
    }
    void Link(const char* name) { action->AddArgument(name, SWdatanode::kString, true); }
    // The sample, meshes and all, written as "meshes.vtn" and linked to the action; the scene's meshes made ready.
    void LinkSampleMeshes()
    {
        ASSERT_EQ(SaveWorldFile(*worldtest::MakeSampleWorld(), WorldFileMode::kScene, (folder / "meshes.vtn").string()),
                  DocumentStatus::kOk);
        sample->world.GetSubWorlds().Add("meshes")->SetFileName("meshes.vtn");
        Link("meshes");
        PrepareMeshes(*sample->world.GetRootNode());
    }
    Dlg* Open() { return dynamic_cast<Dlg*>(app->EditObject(CVTND_Object(static_cast<SWactionnode*>(action)), false)); }
    size_t Instances(const char* name) { return sample->world.GetRootNode()->FindByName(name) != nullptr ? 1 : 0; }
    // The picture on a button, taken off it: the previous one is what BM_SETIMAGE answers.
    static const pf::Icon* TakePicture(pf::Window& button)
    {
        return reinterpret_cast<const pf::Icon*>(button.send(pf::BM_SETIMAGE, pf::IMAGE_ICON, 0));
    }

    std::filesystem::path folder;
    SWimportvtoactionnode* action = nullptr;
};

TEST_F(LoadWorldEditor, WithoutALinkedWorldLoadNowShowsNothing)
{
    Dlg* editor = Open();
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->child(Dlg::kIdFit)->isEnabled());
    const pf::Icon* greyed = TakePicture(*editor->child(Dlg::kIdFit)); // Fit and Store show pictures, off as they are
    ASSERT_NE(greyed, nullptr);
    EXPECT_NE(greyed, pf::resources().icon(Dlg::kFitIcon, 16).get());
    EXPECT_NE(TakePicture(*editor->child(Dlg::kIdStore)), nullptr);
    sim().click(*editor->child(Dlg::kIdLoadNow));
    EXPECT_TRUE(editor->ShownInstances().empty());
    EXPECT_TRUE(editor->child(Dlg::kIdLoadNow)->isEnabled());
    EXPECT_FALSE(editor->child(Dlg::kIdStore)->isEnabled());
}

TEST_F(LoadWorldEditor, StoreTakesTheLastInstancesPlacementAndClosingUnloadsThem)
{
    Link("hall");
    Link("tower");
    Link("nowhere");
    Dlg* editor = Open();
    sim().click(*editor->child(Dlg::kIdLoadNow));
    ASSERT_EQ(editor->ShownInstances().size(), 2u);
    EXPECT_EQ(Instances("hall-room") + Instances("tower-room"), 2u);
    EXPECT_TRUE(editor->child(Dlg::kIdStore)->isEnabled());
    EXPECT_FALSE(editor->child(Dlg::kIdLoadNow)->isEnabled());
    EXPECT_EQ(TakePicture(*editor->child(Dlg::kIdFit)), pf::resources().icon(Dlg::kFitIcon, 16).get());
    EXPECT_EQ(TakePicture(*editor->child(Dlg::kIdStore)), pf::resources().icon(Dlg::kStoreIcon, 16).get());

    SWobjectnode* last = editor->ShownInstances().back().instance->top;
    SWmatrix moved = last->GetLocalMatrix();
    moved.SetTranslation(3.0f, 4.0f, 5.0f);
    last->SetInitialMatrix(moved);
    last->SetLocalMatrix(SWmatrix::Translation(9.0f, 9.0f, 9.0f)); // a frame of a preview: not where it rests
    sim().click(*editor->child(Dlg::kIdStore));
    EXPECT_EQ(action->settings.placement, moved);
    EXPECT_EQ(action->settings.spare2, 1u);

    sim().click(*editor->child(Dlg::kIdResetTransform));
    SWmatrix identity;
    identity.SetIdentity();
    EXPECT_EQ(action->settings.placement, identity);
    EXPECT_EQ(action->settings.spare2, 0u);
    EXPECT_EQ(last->GetLocalMatrix(), identity);
    EXPECT_EQ(last->GetInitialMatrix(), identity);

    sim().click(*editor->child(pf::IDOK));
    EXPECT_EQ(Instances("hall-room") + Instances("tower-room"), 0u);
}

TEST_F(LoadWorldEditor, AnInstanceWithoutSizeIsOnlyMovedWhenFitted)
{
    Link("hall");
    Dlg* editor = Open();
    sim().click(*editor->child(Dlg::kIdLoadNow));
    ASSERT_EQ(editor->ShownInstances().size(), 1u);
    sim().click(*editor->child(Dlg::kIdFit));
    const SWmatrix fitted = editor->ShownInstances().front().instance->top->GetLocalMatrix();
    for (int i = 0; i < 16; ++i)
        EXPECT_TRUE(std::isfinite(fitted[i])) << i;
    EXPECT_FLOAT_EQ(fitted[0], 1.0f); // not scaled: it has no radius to scale by
    EXPECT_FLOAT_EQ(fitted[5], 1.0f);
    EXPECT_FLOAT_EQ(fitted[10], 1.0f);
}

TEST_F(LoadWorldEditor, TheRootFollowsDropsAndReset)
{
    Dlg* editor = Open();
    EXPECT_EQ(editor->child(Dlg::kIdRootName)->text(), sample->world.GetRootNode()->GetName().value_or(""));
    editor->send(kMsgNodeDropped, 0, reinterpret_cast<pf::LParam>(sample->object));
    EXPECT_EQ(action->settings.fileName, sample->object->GetName());
    EXPECT_EQ(editor->child(Dlg::kIdRootName)->text(), *sample->object->GetName());
    sim().click(*editor->child(Dlg::kIdResetRoot));
    EXPECT_FALSE(action->settings.fileName.has_value());
}

TEST_F(LoadWorldEditor, AShownWorldDeletedIsUnloadedBeforeItGoes)
{
    Link("hall");
    Dlg* editor = Open();
    sim().click(*editor->child(Dlg::kIdLoadNow));
    ASSERT_EQ(editor->ShownInstances().size(), 1u);
    CVTN_SubWorld* hall = sample->world.GetSubWorlds().FindByName("hall");
    app->Broadcast(CVTND_Event(EventCode::kDeleted, CVTND_Object(hall)));
    EXPECT_TRUE(editor->ShownInstances().empty());
    EXPECT_EQ(Instances("hall-room"), 0u);
}

// A scene file that brought the linked world removed while its instance is shown: the editor unloads it and is back
// where Load now starts, with nothing left for Fit, Store and Reset placement; the world is read beside the scene.
TEST_F(LoadWorldEditor, ASceneRemovedWithTheShownWorldLeavesOnlyLoadNow)
{
    SWworld wing;
    wing.GetSubWorlds().Add("wing")->SetFileName("hall.vtn");
    const std::filesystem::path scene = folder / "wing.vtn";
    ASSERT_EQ(SaveWorldFile(wing, WorldFileMode::kScene, scene.string()), DocumentStatus::kOk);
    CVTN_SubWorldLoader::Of(sample->world).SetBaseFolder("/nonexistent");
    CVTN_SubWorld* added = app->GetProject()->AddSceneFile(scene.string());
    ASSERT_NE(added, nullptr);
    Link("wing");
    Dlg* editor = Open();
    sim().click(*editor->child(Dlg::kIdLoadNow));
    ASSERT_EQ(editor->ShownInstances().size(), 1u);
    ASSERT_TRUE(app->GetProject()->RemoveSubWorld(added));
    EXPECT_TRUE(editor->ShownInstances().empty());
    EXPECT_EQ(Instances("hall-room"), 0u);
    for (const int id : {Dlg::kIdFit, Dlg::kIdStore, Dlg::kIdResetTransform})
        EXPECT_FALSE(editor->child(id)->isEnabled()) << id;
    EXPECT_TRUE(editor->child(Dlg::kIdLoadNow)->isEnabled());
}

// The shown instance's top deleted from the tree while the editor is open: Fit, Store, Reset and closing find no
// top rather than freed memory; the project saves and reads back, the editor reopens, and the preview runs.
TEST_F(LoadWorldEditor, AShownInstanceWhoseTopIsDeletedIsLeftWithoutIt)
{
    Link("hall");
    Dlg* editor = Open();
    sim().click(*editor->child(Dlg::kIdLoadNow));
    ASSERT_EQ(editor->ShownInstances().size(), 1u);
    SWobjectnode* top = editor->ShownInstances().front().instance->top;
    ASSERT_NE(top, nullptr);
    ASSERT_TRUE(app->DeleteObject(CVTND_Object(static_cast<SWnode*>(top)), CVTNDesignerApp::kDeleteFromMenu));
    EXPECT_EQ(editor->ShownInstances().front().instance->top, nullptr);
    for (const int id : {Dlg::kIdFit, Dlg::kIdStore, Dlg::kIdResetTransform, static_cast<int>(pf::IDOK)})
        sim().click(*editor->child(id));
    EXPECT_EQ(Instances("hall-room"), 0u);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(app->GetProject()->WriteBytes(bytes, app->GetGradientStore()));
    ASSERT_TRUE(CVTND_Project::LoadBytes(bytes, "unloaded").ok());
    editor = Open();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->ShownInstances().empty());
    sim().click(*editor->child(pf::IDOK));
    sample->world.SetRunning(true);
    for (int frame = 0; frame < 3; ++frame) {
        SWworldlock lock(sample->world);
        sample->world.RunFrame();
    }
    sample->world.SetRunning(false);
}

struct Sphere {
    SWvector centre;
    float radius = 0.0f; // the largest half extent
};

// Meshes have a box once prepared, as drawing them does.
void PrepareMeshes(SWnode& root)
{
    for (SWnode* n = &root; n != nullptr; n = n->NextInTree(&root))
        if (auto* mesh = dynamic_cast<SWmesh*>(n->GetGeometry()))
            mesh->Prepare();
}

Sphere SphereOf(const SWbbox& box)
{
    const auto& e = box.Extents();
    return {SWvector((e[0] + e[1]) * 0.5f, (e[2] + e[3]) * 0.5f, (e[4] + e[5]) * 0.5f),
            std::max({e[1] - e[0], e[3] - e[2], e[5] - e[4]}) * 0.5f};
}

// A world with meshes, placed three times too large and off the scene's centre: Fit brings its contents onto the
// centre at the scene's size, and a second Fit finds nothing to change.
TEST_F(LoadWorldEditor, FitCentresAndScalesOntoTheSceneAndAgainChangesNothing)
{
    LinkSampleMeshes();
    const Sphere scene = SphereOf(GetNodeBoundingBox(*sample->world.GetRootNode(), true));
    ASSERT_GT(scene.radius, 0.0f);
    Dlg* editor = Open();
    sim().click(*editor->child(Dlg::kIdLoadNow));
    ASSERT_EQ(editor->ShownInstances().size(), 1u);
    SWobjectnode* top = editor->ShownInstances().front().instance->top;
    PrepareMeshes(*top);
    SWmatrix placed;
    placed.SetIdentity();
    placed[0] = placed[5] = placed[10] = 3.0f;
    placed.SetTranslation(3.0f, 4.0f, 5.0f);
    top->SetLocalMatrix(placed);
    ASSERT_GT(SphereOf(GetNodeBoundingBox(*top, true)).radius, 1.2f * scene.radius);

    sim().click(*editor->child(Dlg::kIdFit));
    const Sphere fitted = SphereOf(GetNodeBoundingBox(*top, true));
    const float near = 1e-3f * scene.radius;
    EXPECT_NEAR(fitted.centre.x, scene.centre.x, near);
    EXPECT_NEAR(fitted.centre.y, scene.centre.y, near);
    EXPECT_NEAR(fitted.centre.z, scene.centre.z, near);
    EXPECT_NEAR(fitted.radius, scene.radius, near);
    const SWmatrix once = top->GetLocalMatrix();
    EXPECT_EQ(top->GetInitialMatrix(), once); // where it rests, as a preview's stop leaves it
    sim().click(*editor->child(Dlg::kIdFit));
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(top->GetLocalMatrix()[i], once[i], 1e-4f * std::max(1.0f, std::fabs(once[i]))) << i;
}

// Fit, Store and Reset placement each show in the manipulate panel at once, and its Set keeps what they made.
TEST_F(LoadWorldEditor, ManipulateShowsThePlacementAfterEachButtonAndItsSetKeepsIt)
{
    LinkSampleMeshes();
    auto panel = std::make_unique<CVTND_ManipulateDlg>(*app);
    ASSERT_TRUE(panel->CreateIn(*frame, pf::Rect::fromXywh(600, 300, 280, 280)));
    sim().pump();
    Dlg* editor = Open();
    sim().click(*editor->child(Dlg::kIdLoadNow));
    ASSERT_EQ(editor->ShownInstances().size(), 1u);
    SWobjectnode* top = editor->ShownInstances().front().instance->top;
    ASSERT_EQ(panel->GetSingleSelection().GetObject(), static_cast<SWnode*>(top));
    PrepareMeshes(*top);
    SWmatrix placed;
    placed.SetIdentity();
    placed[0] = placed[5] = placed[10] = 3.0f;
    placed.SetTranslation(3.0f, 4.0f, 5.0f);
    top->SetLocalMatrix(placed);
    top->SetInitialMatrix(placed);
    panel->ResetSelectedNodes(); // shown as placed
    for (const int32_t button : {Dlg::kIdFit, Dlg::kIdStore, Dlg::kIdResetTransform}) {
        SCOPED_TRACE(button);
        sim().click(*editor->child(button));
        const SWmatrix made = top->GetInitialMatrix();
        designertest::ExpectShowsPose(*panel, *top);
        sim().click(*panel->child(panel_ids::kSet));
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(top->GetInitialMatrix()[i], made[i], 1e-3f * std::max(1.0f, std::fabs(made[i]))) << i;
    }
    EXPECT_NE(top->GetInitialMatrix(), placed);
    sim().click(*editor->child(pf::IDOK));
}

// Load now loads as the action will run: the kinds ticked, and the loaded world's start events only when asked.
TEST_F(LoadWorldEditor, LoadNowTakesTheImportFlagsAndTheStartEventByte)
{
    std::unique_ptr<SWworld> level = worldtest::MakeSampleWorld();
    level->AddEventOfType(static_cast<uint32_t>(EventType::kWorldStart))->SetName(std::string("level starts"));
    level->GetRootNode()->FindByName("meshnode0")->SetName(std::string("level-mesh")); // names the scene lacks
    level->GetRootNode()->FindByName("object1")->SetName(std::string("level-object"));
    ASSERT_EQ(SaveWorldFile(*level, WorldFileMode::kScene, (folder / "meshes.vtn").string()), DocumentStatus::kOk);
    sample->world.GetSubWorlds().Add("meshes")->SetFileName("meshes.vtn");
    Link("meshes");
    SWinputqueue& posted = sample->world.GetPostedQueue();
    Dlg* editor = Open();
    sim().click(*editor->child(1187)); // Meshes off; "Run its start event" is on
    const size_t before = posted.Count();
    sim().click(*editor->child(Dlg::kIdLoadNow));
    ASSERT_EQ(editor->ShownInstances().size(), 1u);
    EXPECT_EQ(Instances("level-mesh"), 0u);
    EXPECT_EQ(Instances("level-object"), 1u);
    EXPECT_EQ(posted.Count(), before + 1);
    sim().click(*editor->child(pf::IDOK));

    editor = Open();
    sim().click(*editor->child(1187));
    sim().click(*editor->child(Dlg::kIdStartEvent));
    const size_t again = posted.Count();
    sim().click(*editor->child(Dlg::kIdLoadNow));
    EXPECT_EQ(Instances("level-mesh"), 1u);
    EXPECT_EQ(posted.Count(), again);
    sim().click(*editor->child(pf::IDOK));
}

// The import and start boxes store their bit or byte at every click.
TEST_F(LoadWorldEditor, ImportAndStartBoxesStoreAtEveryClick)
{
    Dlg* editor = Open();
    ASSERT_EQ(action->settings.index, -1); // everything imported
    for (const int32_t id : {1187, 1196, 1433})
        sim().click(*editor->child(id));
    EXPECT_EQ(static_cast<uint32_t>(action->settings.index), ~((1u << 0) | (1u << 5) | (1u << 13)));
    sim().click(*editor->child(1196));
    EXPECT_EQ(static_cast<uint32_t>(action->settings.index), ~((1u << 0) | (1u << 13)));
    sim().click(*editor->child(Dlg::kIdStartEvent));
    sim().click(*editor->child(Dlg::kIdJavaStart));
    EXPECT_EQ(action->settings.byte1, 0);
    EXPECT_EQ(action->settings.byte2, 0);
    sim().click(*editor->child(pf::IDOK));
    editor = Open(); // shown as stored
    EXPECT_EQ(editor->item<pf::Button>(1187)->getCheck(), pf::BST_UNCHECKED);
    EXPECT_EQ(editor->item<pf::Button>(1196)->getCheck(), pf::BST_CHECKED);
    EXPECT_EQ(editor->item<pf::Button>(Dlg::kIdStartEvent)->getCheck(), pf::BST_UNCHECKED);
}

// The manipulate panel takes the shown instances while the editor has them and gets the application's selection
// back when it closes.
TEST_F(LoadWorldEditor, TheManipulatePanelHoldsTheShownInstancesUntilClose)
{
    auto panel = std::make_unique<CVTND_ManipulateDlg>(*app);
    ASSERT_TRUE(panel->CreateIn(*frame, pf::Rect::fromXywh(600, 300, 280, 280)));
    sim().pump(); // its first refill
    app->GetSelection().Add(CVTND_Object(sample->object));
    panel->SelectNode(CVTND_Object(sample->object), true);
    Link("hall");
    Link("tower");
    Dlg* editor = Open();
    sim().click(*editor->child(Dlg::kIdLoadNow));
    ASSERT_EQ(editor->ShownInstances().size(), 2u);
    SWobjectnode* hall = editor->ShownInstances()[0].instance->top;
    SWobjectnode* tower = editor->ShownInstances()[1].instance->top;
    EXPECT_TRUE(panel->IsSelected(static_cast<SWnode*>(hall)));
    EXPECT_TRUE(panel->IsSelected(static_cast<SWnode*>(tower)));
    EXPECT_EQ(sample->world.GetArcballNode(), tower);
    sim().click(*editor->child(pf::IDOK));
    EXPECT_EQ(panel->CountSelected(), 1u);
    EXPECT_EQ(panel->GetSingleSelection().GetObject(), sample->object);
}

} // namespace
} // namespace eventedittest
