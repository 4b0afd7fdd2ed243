// The world-level editors: a loadable world's name, file, address and limit, and the world header's texts with its
// statistics refreshed by the second.
#include "designer/app/notification.h"
#include "designer/app/project.h"
#include "designer/editors/details_header_dlg.h"
#include "designer/editors/details_world_dlg.h"
#include "designer/editors/tests/editors_fixture.h"
#include "designer/editors/world_texts.h"
#include "designer/workspace/editor_texts.h"
#include "engine/core/header.h"
#include "engine/core/node.h"
#include "engine/core/sub_worlds.h"
#include "engine/resources/mesh.h"
#include "platform/testing/image_check.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/list_box.h"

namespace editorstest {
namespace {

class WorldDetails : public EditorsFixture {
protected:
    void SetUp() override
    {
        EditorsFixture::SetUp();
        entry = sample->loadedWorld;
        entry->SetDownloadUrl(std::string("http://example.org/level2.vto"));
        editor = Open<CVTND_DetailsWorldDlg>(CVTND_Object(entry));
        ASSERT_NE(editor, nullptr);
    }
    void Type(int32_t id, const char* text) { sim().replaceText(*editor->item<pf::Edit>(id), text); }
    void Close() { sim().click(*editor->item<pf::Button>(pf::IDOK)); }

    CVTN_SubWorld* entry = nullptr;
    CVTND_DetailsWorldDlg* editor = nullptr;
};

TEST_F(WorldDetails, ARenameIsAnnouncedAndShortTextsAreIgnored)
{
    EXPECT_EQ(editor->child(1173)->getText(), "level2");
    EXPECT_EQ(editor->child(1004)->getText(), "http://example.org/level2.vto");
    Type(1173, "level3");
    Type(1004, "x"); // one character: ignored
    Type(1172, "");  // cleared: ignored
    Type(1174, " 12 ");
    Close();
    EXPECT_TRUE(app->GetEditDialogs().empty());
    EXPECT_EQ(entry->GetName(), "level3");
    EXPECT_EQ(entry->GetDownloadUrl(), "http://example.org/level2.vto");
    EXPECT_EQ(entry->GetReferenceLimit(), 12u);
    ASSERT_EQ(recorder->Count(3), 1u);
    EXPECT_EQ(recorder->Events().back().subject, CVTND_Object(entry));
    EXPECT_EQ(recorder->Events().back().secondText, "level3");
}

TEST_F(WorldDetails, AnEmptyOrTakenNameKeepsTheEditorOpenWithNothingWritten)
{
    World().GetSubWorlds().Add(std::string("other"));
    Type(1004, "http://example.org/new.vto");
    Type(1173, "");
    sim().expectMessageBox(pf::IDOK);
    Close();
    EXPECT_EQ(LastBox(), EditorTextOf(kIdsValidName));
    Type(1173, "other");
    sim().expectMessageBox(pf::IDOK);
    Close();
    EXPECT_EQ(LastBox(), EditorTextOf(kIdsUniqueName));
    EXPECT_EQ(app->GetEditDialogs().size(), 1u);
    EXPECT_EQ(entry->GetName(), "level2");
    EXPECT_EQ(entry->GetDownloadUrl(), "http://example.org/level2.vto");
    EXPECT_EQ(recorder->Count(3), 0u);
}

TEST_F(WorldDetails, BrowseAndTheLimitBoxWriteAtOnceEvenWhenCancelled)
{
    const uint8_t flag = entry->GetReferenceLimitFlag();
    EXPECT_EQ(editor->child(1174)->isEnabled(), flag != 0);
    sim().click(*editor->item<pf::Button>(1187));
    EXPECT_EQ(entry->GetReferenceLimitFlag(), flag != 0 ? 0 : 1);
    EXPECT_EQ(editor->child(1174)->isEnabled(), flag == 0);
    sim().expectFile(std::string("/published/level2.vto"));
    sim().click(*editor->item<pf::Button>(1164));
    EXPECT_EQ(entry->GetFileName(), "/published/level2.vto");
    EXPECT_EQ(editor->child(1172)->getText(), "/published/level2.vto");
    sim().keyPress(pf::VK_ESCAPE);
    EXPECT_TRUE(app->GetEditDialogs().empty());
    EXPECT_EQ(entry->GetReferenceLimitFlag(), flag != 0 ? 0 : 1);

    editor = Open<CVTND_DetailsWorldDlg>(CVTND_Object(entry));
    CVTND_Event deleted(EventCode::kDeleted, CVTND_Object(entry));
    app->Broadcast(deleted);
    EXPECT_TRUE(app->GetEditDialogs().empty());
}

TEST(WorldDetailsLimit, ALimitIsAWholeNumberTheWholeTextHolds)
{
    EXPECT_EQ(ReadReferenceLimit("  7"), 7u);
    EXPECT_EQ(ReadReferenceLimit("4294967295"), 4294967295u);
    for (const char* text : {"12 copies", "abc", "-3", "2.5", "99999999999999999999", "", "nan"})
        EXPECT_EQ(ReadReferenceLimit(text), std::nullopt) << text;
}

class HeaderDetails : public EditorsFixture {
protected:
    CVTND_DetailsHeaderDlg* OpenHeader()
    {
        return Open<CVTND_DetailsHeaderDlg>(CVTND_Object(ObjectType::kWorldHeader, nullptr));
    }
};

TEST_F(HeaderDetails, OneAtATimeWithStatisticsThatFollowTheWorldEverySecond)
{
    // The sample's meshes as a loaded scene's are: bounded.
    for (SWnode* n = World().GetRootNode(); n != nullptr; n = n->NextInTree(World().GetRootNode()))
        if (auto* mesh = dynamic_cast<SWmesh*>(n->GetGeometry())) {
            mesh->SetLoaded(true);
            mesh->ComputeBoundingBox();
        }
    app->GetProject()->SetMetrics(2);
    CVTND_Project::AddedFile made;
    made.tools = {"Modeller 3", ""};
    app->GetProject()->AppendAddedFile(std::string("hall"), std::move(made));
    CVTND_DetailsHeaderDlg* editor = OpenHeader();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(OpenHeader(), editor);
    const SWheader& header = World().GetRootObject()->GetHeader();
    EXPECT_EQ(editor->child(1174)->getText(), std::to_string(header.GetMeshCount()));
    EXPECT_EQ(editor->child(1006)->getText(), std::to_string(header.GetPolygonCount()));
    auto* tools = editor->item<pf::ListBox>(1000);
    ASSERT_EQ(tools->getCount(), 1); // the creating tools, the empty one left out
    EXPECT_EQ(tools->getText(0), "Modeller 3");
    const std::string metres = editor->child(1055)->getText();
    ASSERT_NE(metres, "0");

    app->GetProject()->SetMetrics(4); // inches, shown at the next tick
    sim().advance(CVTND_DetailsHeaderDlg::kPeriodMs);
    EXPECT_NEAR(std::stof(editor->child(1055)->getText()), std::stof(metres) * 39.37008f,
                1e-3f * std::stof(metres) * 39.37f);

    // Close writes the texts to the header and the project, and tells nobody.
    sim().replaceText(*editor->item<pf::Edit>(1004), "Tower");
    sim().replaceText(*editor->item<pf::Edit>(1172), "");
    recorder->Clear();
    sim().click(*editor->item<pf::Button>(pf::IDOK));
    EXPECT_TRUE(app->GetEditDialogs().empty());
    EXPECT_EQ(header.GetObjectName(), "Tower");
    EXPECT_EQ(header.GetAuthor(), "");
    EXPECT_EQ(app->GetProject()->GetObjectName(), "Tower");
    EXPECT_TRUE(recorder->Events().empty());
}

TEST_F(HeaderDetails, AWorldWithoutMeshesShowsNoExtentAndTheLabelsKeepTheirColours)
{
    std::vector<SWnode*> meshes;
    for (SWnode* n = World().GetRootNode(); n != nullptr; n = n->NextInTree(World().GetRootNode()))
        if (n->HasKind(SWnode::kKindMesh))
            meshes.push_back(n);
    ASSERT_FALSE(meshes.empty());
    for (SWnode* mesh : meshes)
        if (mesh->GetRoot() == World().GetRootNode())
            World().DeleteNode(mesh);
    CVTND_DetailsHeaderDlg* editor = OpenHeader();
    ASSERT_NE(editor, nullptr);
    for (const int32_t id : {1055, 1056, 1057})
        EXPECT_EQ(editor->child(id)->getText(), "0");
    // The X label's text is red on the dialog's face, whatever lies under it.
    const pf::Window* x = editor->child(1359);
    const auto shot = pf::captureScreen(x->screenRect());
    bool red = false;
    for (int32_t py = 0; py < shot->height(); ++py)
        for (int32_t px = 0; px < shot->width(); ++px)
            red = red || (shot->pixel(px, py) & 0xFFFFFF) == 0xAA0000;
    EXPECT_TRUE(red);
}

} // namespace
} // namespace editorstest
