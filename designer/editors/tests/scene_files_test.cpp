// The two scene-file dialogs, run as the application's commands run them: the tree of added files, removal after a
// question, the options of one file or of all, and a reload that keeps the dialog open.
#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <system_error>

#include "designer/app/project.h"
#include "designer/app/registry.h"
#include "designer/editors/remove_files_dlg.h"
#include "designer/editors/synchronize_dlg.h"
#include "designer/editors/tests/editors_fixture.h"
#include "designer/editors/world_texts.h"
#include "designer/workspace/list_panels.h"
#include "designer/workspace/manipulate_dlg.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/scene_import.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/world_file.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/tree_view.h"
#include "testsupport/designer/manipulate_pose.h"
#include "testsupport/world/sample_world.h"

namespace editorstest {
namespace {

class SceneFiles : public EditorsFixture {
protected:
    void SetUp() override
    {
        EditorsFixture::SetUp();
        CVTND_Project& project = *app->GetProject();
        first = project.AppendAddedFile(std::string("hall"), {});
        first->SetFileName(std::string("/scenes/hall.vtn"));
        first->SetOption(0, 1);
        project.AppendAddedFile(std::string("unnamed"), {}); // no file name: no item
        second = project.AppendAddedFile(std::string("tower"), {});
        second->SetFileName(std::string("/scenes/tower.vtn"));
    }
    int32_t Run(ModalTool tool, int32_t idd, std::function<void(pf::Dialog&)> script)
    {
        sim().onModal(idd, std::move(script));
        CVTND_ModalRequest request;
        return CVTND_Registry::FindModalTool(tool)(*app, request);
    }
    std::vector<pf::TreeItem> Items(pf::TreeView& tree)
    {
        std::vector<pf::TreeItem> items;
        for (pf::TreeItem i = tree.getChildItem(pf::TVI_ROOT); i != 0; i = tree.getNextSiblingItem(i))
            items.push_back(i);
        return items;
    }
    // The sample written as a scene file in a folder of its own and added to the project, its background declined.
    struct AddedScene {
        std::filesystem::path folder;
        std::string path;
        std::unique_ptr<SWworld> scene;
        CVTN_SubWorld* entry = nullptr;
        // The project's name of the object the file calls `inFile`.
        std::string NameOf(CVTND_Project& project, const std::string& inFile) const
        {
            for (const MergeEntry& e : project.FindAddedFile(entry)->record.entries)
                if (e.kind == MergedKind::kNode && e.nameInFile == inFile)
                    return e.name;
            return {};
        }
    };
    AddedScene AddSampleScene(const std::string& folderName)
    {
        AddedScene added;
        added.folder = artifactPath(folderName + "_" + std::to_string(::getpid()));
        std::filesystem::create_directories(added.folder);
        added.path = (added.folder / "yard.vtn").string();
        added.scene = worldtest::MakeSampleWorld();
        EXPECT_EQ(SaveWorldFile(*added.scene, WorldFileMode::kScene, added.path), DocumentStatus::kOk);
        sim().onModal(519, [&](pf::Dialog& d) { sim().click(*d.item<pf::Button>(pf::IDCANCEL)); });
        added.entry = app->GetProject()->AddSceneFile(added.path);
        return added;
    }
    size_t Entries()
    {
        size_t n = 0;
        for (CVTN_SubWorld* e = app->GetProject()->GetAddedFiles().GetFirst(); e != nullptr;
             e = CVTN_SubWorlds::GetNext(e))
            ++n;
        return n;
    }

    CVTN_SubWorld* first = nullptr;
    CVTN_SubWorld* second = nullptr;
};

TEST_F(SceneFiles, RemovalOfTickedFilesAsksFirstAndTakesThoseOnly)
{
    Run(ModalTool::kRemoveSceneFiles, CVTND_RemoveVTNFilesDlg::kIdd, [&](pf::Dialog& d) {
        auto* tree = d.item<pf::TreeView>(1000);
        std::vector<pf::TreeItem> items = Items(*tree);
        ASSERT_EQ(items.size(), 2u);
        EXPECT_EQ(tree->getItemText(items[0]), "/scenes/hall.vtn");
        EXPECT_EQ(tree->getSelectedItem(), items[0]);
        app->SetModified(0);
        sim().click(*d.item<pf::Button>(1163)); // nothing ticked: nothing to ask about or to change
        EXPECT_TRUE(pf::ui().providers().scriptedMessageBox().calls().empty()) << LastBox();
        EXPECT_EQ(app->IsModified(), 0);
        sim().clickTreeCheck(*tree, items[1]);
        sim().expectMessageBox(pf::IDNO);
        sim().click(*d.item<pf::Button>(1163));
        EXPECT_EQ(LastBox(), WorldTextOf(kIdsRemoveFilesAsk));
        EXPECT_EQ(Entries(), 3u);
        app->SetModified(0);
        sim().expectMessageBox(pf::IDYES);
        sim().click(*d.item<pf::Button>(1163));
        EXPECT_EQ(Entries(), 2u);
        EXPECT_EQ(Items(*tree).size(), 1u);
        EXPECT_EQ(app->IsModified(), 1);
        sim().click(*d.item<pf::Button>(pf::IDOK));
    });
    EXPECT_EQ(app->GetProject()->GetAddedFiles().GetFirst(), first);
}

TEST_F(SceneFiles, AnOptionClickActsOnEveryFileOrOnTheSelectedOne)
{
    ASSERT_EQ(app->GetProject()->GetApplyToAll(), 1);
    Run(ModalTool::kSynchronizeSceneFiles, CVTND_SynchronizeDlg::kIdd, [&](pf::Dialog& d) {
        auto* textures = d.item<pf::Button>(1193);
        EXPECT_EQ(textures->getCheck(), pf::BST_CHECKED); // the selected first file's
        EXPECT_EQ(d.item<pf::Button>(1194)->getCheck(), pf::BST_CHECKED);
        sim().click(*textures);
        EXPECT_EQ(first->GetOption(0), 0); // every file's byte inverted: they still differ
        EXPECT_EQ(second->GetOption(0), 1);

        sim().click(*d.item<pf::Button>(1194));
        EXPECT_EQ(app->GetProject()->GetApplyToAll(), 0);
        auto* tree = d.item<pf::TreeView>(1000);
        sim().clickTreeItem(*tree, Items(*tree)[1]);
        EXPECT_EQ(textures->getCheck(), pf::BST_CHECKED); // the second file's, shown on selection
        sim().click(*d.item<pf::Button>(1189));
        EXPECT_EQ(second->GetOption(5), 1);
        EXPECT_EQ(first->GetOption(5), 0);

        // Synchronise with nothing checked: the project is marked and the dialog stays.
        app->SetModified(0);
        sim().click(*d.item<pf::Button>(pf::IDOK));
        EXPECT_EQ(app->IsModified(), 1);
        EXPECT_FALSE(d.hasEnded());
        sim().click(*d.item<pf::Button>(pf::IDCANCEL));
    });
}

// A checked file is read again from the disk, at once and only it: the node its new version lacks goes, and the
// unchecked files (whose paths lead nowhere) are never tried.
TEST_F(SceneFiles, SynchroniseNowReadsTheCheckedFileAgain)
{
    AddedScene yard = AddSampleScene("scene_files");
    ASSERT_NE(yard.entry, nullptr);
    const std::string button = yard.NameOf(*app->GetProject(), "button"); // beside the sample's own "button"
    ASSERT_NE(World().GetRootNode()->FindByName(button), nullptr);
    ASSERT_TRUE(yard.scene->DeleteNode(yard.scene->GetRootNode()->FindByName("button")));
    ASSERT_EQ(SaveWorldFile(*yard.scene, WorldFileMode::kScene, yard.path), DocumentStatus::kOk);

    const size_t boxes = ui().providers().scriptedMessageBox().calls().size();
    Run(ModalTool::kSynchronizeSceneFiles, CVTND_SynchronizeDlg::kIdd, [&](pf::Dialog& d) {
        auto* tree = d.item<pf::TreeView>(1000);
        std::vector<pf::TreeItem> items = Items(*tree);
        ASSERT_EQ(items.size(), 3u);
        EXPECT_EQ(tree->getItemText(items[2]), yard.path);
        sim().clickTreeCheck(*tree, items[2]);
        sim().click(*d.item<pf::Button>(pf::IDOK));
        EXPECT_EQ(World().GetRootNode()->FindByName(button), nullptr);
        EXPECT_NE(World().GetRootNode()->FindByName("button"), nullptr);
        sim().click(*d.item<pf::Button>(pf::IDCANCEL));
    });
    EXPECT_EQ(ui().providers().scriptedMessageBox().calls().size(), boxes);
    std::filesystem::remove_all(yard.folder);
}

// A synchronisation that takes the file's placements shows them in the manipulate panel at once.
TEST_F(SceneFiles, ASynchronisedPlacementShowsInManipulate)
{
    AddedScene yard = AddSampleScene("scene_moves");
    ASSERT_NE(yard.entry, nullptr);
    SWobjectnode* node =
        SWobjectnode::FromNode(World().GetRootNode()->FindByName(yard.NameOf(*app->GetProject(), "object1")));
    ASSERT_NE(node, nullptr);
    pf::Window host;
    ASSERT_TRUE(host.create({"", "", pf::WS_POPUP | pf::WS_VISIBLE, 0, pf::Rect::fromXywh(600, 300, 280, 280)}));
    auto panel = std::make_unique<CVTND_ManipulateDlg>(*app);
    ASSERT_TRUE(panel->CreateIn(host, pf::Rect::fromXywh(0, 0, 280, 280)));
    panel->SelectNode(CVTND_Object(static_cast<SWnode*>(node)), true);

    SWobjectnode::FromNode(yard.scene->GetRootNode()->FindByName("object1"))
        ->SetInitialMatrix(SWmatrix::Translation(7.0f, 0.0f, 0.0f));
    ASSERT_EQ(SaveWorldFile(*yard.scene, WorldFileMode::kScene, yard.path), DocumentStatus::kOk);
    yard.entry->SetOption(CVTN_SubWorld::kTransforms, 1);
    ASSERT_TRUE(app->GetProject()->SynchronizeSubWorld(nullptr, yard.entry));
    ASSERT_FLOAT_EQ(node->GetInitialMatrix()[3], 7.0f);
    designertest::ExpectShowsPose(*panel, *node);
    panel->destroy();
    std::filesystem::remove_all(yard.folder);
}

TEST_F(SceneFiles, AnEmptyProjectDisablesBothActions)
{
    for (CVTN_SubWorld* e : {first, second})
        app->GetProject()->RemoveSubWorld(e);
    app->GetProject()->RemoveSubWorld(app->GetProject()->GetAddedFiles().GetFirst());
    ASSERT_EQ(Entries(), 0u);
    Run(ModalTool::kRemoveSceneFiles, CVTND_RemoveVTNFilesDlg::kIdd, [&](pf::Dialog& d) {
        EXPECT_FALSE(d.child(1163)->isEnabled());
        d.endDialog(pf::IDOK);
    });
    Run(ModalTool::kSynchronizeSceneFiles, CVTND_SynchronizeDlg::kIdd, [&](pf::Dialog& d) {
        EXPECT_FALSE(d.child(pf::IDOK)->isEnabled());
        d.endDialog(pf::IDCANCEL);
    });
}

} // namespace
} // namespace editorstest
