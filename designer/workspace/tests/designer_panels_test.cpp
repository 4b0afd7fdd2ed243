// The panels in the designer itself, headless, over the sample project's world: the View menu's entries, a bar
// floated, the icon browser a double click on a cursor entry opens, and the 3D view's cursor made from that entry.
// The pictures go to the test artifacts for a person to look at.
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "designer/app/child_render_view.h"
#include "designer/app/extended_world.h"
#include "designer/app/icon_browser_dlg.h"
#include "designer/app/main_frame.h"
#include "designer/app/project_object.h"
#include "designer/app/startup.h"
#include "designer/editors/loaded_background_dlg.h"
#include "designer/editors/remove_files_dlg.h"
#include "designer/editors/synchronize_dlg.h"
#include "designer/workspace/java_dlg.h"
#include "designer/workspace/list_panels.h"
#include "designer/workspace/panels.h"
#include "designer/workspace/scenegraph_dlg.h"
#include "designer/workspace/sizing_bar.h"
#include "designer/workspace/tree_panels.h"
#include "engine/behaviour/event.h"
#include "engine/core/cursor_list.h"
#include "engine/core/hotspot.h"
#include "engine/core/java_class_node.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/world_file.h"
#include "platform/display/compositor.h"
#include "platform/display/screen.h"
#include "platform/gfx/png_file.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/tree_view.h"
#include "testsupport/designer/panel_pictures.h"
#include "testsupport/designer/sample_designer.h"
#include "testsupport/world/sample_world.h"

namespace {

class DesignerPanels : public pf::UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        useFreeType(); // pictures a person reads
        folder = std::filesystem::temp_directory_path() / ("vortan-designer-panels-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        ASSERT_TRUE(designertest::StartOnSampleWorld(designer, folder));
        sim().pump();
    }
    void TearDown() override
    {
        designer.Exit();
        std::filesystem::remove_all(folder);
        UiFixture::TearDown();
    }
    CVTND_SizingBar& Bar(PanelRole role)
    {
        return dynamic_cast<CVTND_SizingBar&>(*designer.GetApp()->GetPanel(role)->parent());
    }

    std::filesystem::path folder;
    designertest::EarlierReportsDropped earlierReports;
    CVTND_Designer designer;
};

// The frame makes its menu bar again whenever the recent files change: the panels' entries must stay, or a hidden
// panel could never be shown again.
TEST_F(DesignerPanels, TheViewEntriesOutliveANewRecentFileList)
{
    CMainFrame& frame = *designer.GetMainFrame();
    const uint32_t java = CVTND_Panels::kFirstViewCommand + 6;
    ASSERT_TRUE(frame.routeCommand(java, 0));
    frame.SetRecentFiles({"/tmp/a.vtp", "/tmp/b.vtp"});
    for (uint32_t i = 0; i < CVTND_Panels::kCount; ++i) {
        const uint32_t state = frame.menu().itemState(CVTND_Panels::kFirstViewCommand + i, 0);
        ASSERT_NE(state, 0xFFFFFFFFu) << CVTND_Panels::BarName(i);
        EXPECT_EQ(state & pf::MF_CHECKED, i == 6 ? 0u : pf::MF_CHECKED) << CVTND_Panels::BarName(i);
    }
    EXPECT_TRUE(frame.routeCommand(java, 0)) << "the hidden panel comes back from the menu";
    EXPECT_EQ(frame.menu().itemState(java, 0) & pf::MF_CHECKED, pf::MF_CHECKED);
}

TEST_F(DesignerPanels, AFloatingBarTheIconBrowserOfACursorEntryAndTheViewsCursorFromIt)
{
    SWcursor* entry = nullptr;
    {
        const SWworldlock hold(*designer.GetWorld());
        entry = designer.GetWorld()->GetCursorList().Add("ring cursor", 41);
    }
    designer.GetApp()->AnnounceObject(CVTND_Object(entry));
    sim().pump();
    for (int role = 0; role < static_cast<int>(PanelRole::kCount); ++role)
        EXPECT_TRUE(Bar(static_cast<PanelRole>(role)).isVisible()) << role;
    pf::screen().writePng(artifactPath("panels-docked.png"));

    CVTND_SizingBar& cursors = Bar(PanelRole::kCursors);
    sim().doubleClick(cursors.clientToScreen({cursors.CaptionRect().l + 30, cursors.CaptionRect().t + 8}));
    sim().pump();
    ASSERT_TRUE(cursors.GetState().floating);
    auto& list = dynamic_cast<CVTND_CursorsDlg&>(cursors.Content());
    ASSERT_EQ(list.Items(), std::vector<void*>{entry});
    pf::screen().writePng(artifactPath("panels-floating.png"));

    // A double click on the entry runs the icon browser; the person picks the third ring and OK.
    designertest::WriteRingIcons(folder / "icons");
    bool browsed = false;
    sim().onModal(kIddIconBrowser, [&](pf::Dialog& dialog) {
        auto& browser = dynamic_cast<CVTND_IconBrowserDlg&>(dialog);
        browser.SetFolder((folder / "icons").string());
        for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
             browser.IsScanning() && std::chrono::steady_clock::now() < end;)
            std::this_thread::sleep_for(std::chrono::milliseconds(1)); // the scan thread may wait for a busy machine
        sim().pump();
        ASSERT_EQ(browser.GetFound().size(), 6u);
        ASSERT_TRUE(sim().selectListViewItem(*browser.item<pf::ListView>(CVTND_IconBrowserDlg::kIdList), 2));
        sim().pump();
        pf::screen().writePng(artifactPath("panels-icon-browser.png"));
        browsed = true;
        sim().click(*browser.child(pf::IDOK));
    });
    pf::ListView& rows = *list.GetList();
    const pf::Rect row = rows.getItemRect(0, pf::LVIR_LABEL);
    sim().doubleClick(rows.clientToScreen({row.l + 10, row.t + 5}));
    sim().pump();
    ASSERT_TRUE(browsed);
    EXPECT_EQ(entry->imageFile, (folder / "icons" / "ring2.xpm").string());

    // The render thread names the entry; the view shows its icon once the posted request is handled.
    CChildRenderView& view = *designer.ActiveView();
    const pf::Rect client = view.clientRect();
    const pf::Point over = view.clientToScreen({static_cast<int32_t>(client.width() * 4 / 5), 40});
    sim().mouseMove(over);
    std::thread renderThread([&] {
        const SWworldlock hold(*designer.GetWorld());
        view.SetCursor(entry);
    });
    renderThread.join();
    sim().pump();
    const pf::IconRef icon = pf::ui().currentCursor().icon;
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->hotSpot(), (pf::Point{16, 16}));
    pf::Surface32 shot(pf::screen().size().cx, pf::screen().size().cy);
    pf::Compositor(pf::screen()).composeRect(pf::screen().bounds(), shot);
    designertest::DrawPointer(shot, *icon, over); // the screen's pixels never hold the pointer
    std::string error;
    EXPECT_TRUE(pf::writePngFile(artifactPath("panels-view-cursor.png"), shot, error)) << error;
}

// A scene added by File > Add Scene File, and a new version of it read by Tools > Synchronise, shows at once in each
// panel that lists what it brought: its cursors, Java classes, events and loaded worlds.
TEST_F(DesignerPanels, WhatAnAddedOrSynchronisedSceneBringsIsListedAtOnce)
{
    CMainFrame& frame = *designer.GetMainFrame();
    CVTND_ExtendedWorld& world = *designer.GetWorld();
    const auto& cursors = dynamic_cast<CVTND_CursorsDlg&>(*designer.GetApp()->GetPanel(PanelRole::kCursors));
    const auto& java = dynamic_cast<CVTND_JavaDlg&>(*designer.GetApp()->GetPanel(PanelRole::kJava));
    const auto& events = dynamic_cast<CVTND_EventsDlg&>(*designer.GetApp()->GetPanel(PanelRole::kEvents));
    const auto& resources = dynamic_cast<CVTND_ResourcesDlg&>(*designer.GetApp()->GetPanel(PanelRole::kResources));
    const auto expectAllListed = [&] {
        EXPECT_EQ(cursors.Items().size(), world.GetCursorList().Count());
        for (SWcursor* c = world.GetCursorList().GetFirst(); c != nullptr; c = CursorList::GetNext(c))
            EXPECT_GE(cursors.FindItem(c), 0) << c->name;
        for (SWlistnode* entry = world.GetJavaClasses().Head(); entry != nullptr; entry = entry->Next())
            EXPECT_NE(java.FindItem(entry), 0u) << static_cast<SWjavaclassnode*>(entry)->GetName().value_or("");
        for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
            EXPECT_GE(events.FindItem(e), 0) << e->GetName().value_or("");
        for (CVTN_SubWorld* w = world.GetSubWorlds().GetFirst(); w != nullptr; w = CVTN_SubWorlds::GetNext(w))
            EXPECT_NE(resources.FindItem(w), 0u) << w->GetName().value_or("");
    };
    const std::string path = (folder / "yard.vtn").string();
    worldtest::SampleWorldOptions options;
    options.soundFile = (folder / "tone.wav").string();
    ASSERT_TRUE(worldtest::WriteSampleTone(options.soundFile));
    std::unique_ptr<SWworld> scene = worldtest::MakeSampleWorld(options);
    scene->AddEventOfType(5)->SetName(std::string("yard clicked"));
    ASSERT_EQ(SaveWorldFile(*scene, WorldFileMode::kScene, path), DocumentStatus::kOk);
    sim().onModal(CVTND_LoadedBackgroundDlg::kIdd,
                  [&](pf::Dialog& d) { sim().click(*d.item<pf::Button>(pf::IDCANCEL)); });
    sim().expectFile(path);
    const size_t cursorsBefore = world.GetCursorList().Count();
    ASSERT_TRUE(sim().menuCommand(frame, kCmdAddSceneFile));
    sim().pump();
    ASSERT_GT(world.GetCursorList().Count(), cursorsBefore) << "the scene was not added";
    ASSERT_NE(world.GetJavaClasses().Head(), nullptr);
    expectAllListed();
    // Its class file is not beside it: the status bar says so, naming where it looked.
    const auto namesTheScenesFolder = [&] {
        return frame.statusBar()->paneText(0).find(folder.string()) != std::string::npos;
    };
    EXPECT_TRUE(namesTheScenesFolder()) << frame.statusBar()->paneText(0);

    // Its next version brings a node, which Synchronise with "Objects" takes over.
    auto* gate = new SWhotspot;
    gate->SetName("gate");
    ASSERT_TRUE(scene->AddNode(gate, nullptr));
    ASSERT_EQ(SaveWorldFile(*scene, WorldFileMode::kScene, path), DocumentStatus::kOk);
    sim().onModal(CVTND_SynchronizeDlg::kIdd, [&](pf::Dialog& d) {
        auto* tree = d.item<pf::TreeView>(1000);
        pf::TreeItem yard = 0;
        for (pf::TreeItem i = tree->getChildItem(pf::TVI_ROOT); i != 0; i = tree->getNextSiblingItem(i))
            yard = tree->getItemText(i) == path ? i : yard;
        ASSERT_NE(yard, 0u);
        sim().clickTreeItem(*tree, yard);
        if (d.item<pf::Button>(1189)->getCheck() != pf::BST_CHECKED)
            sim().click(*d.item<pf::Button>(1189));
        sim().clickTreeCheck(*tree, yard);
        sim().click(*d.item<pf::Button>(pf::IDOK));
        sim().click(*d.item<pf::Button>(pf::IDCANCEL));
    });
    ASSERT_TRUE(sim().menuCommand(frame, kCmdSynchronizeSceneFiles));
    sim().pump();
    SWnode* taken = world.GetRootNode()->FindByName("gate");
    ASSERT_NE(taken, nullptr) << "the new version was not read";
    const auto& graph = dynamic_cast<CVTND_ScenegraphDlg&>(*designer.GetApp()->GetPanel(PanelRole::kSceneGraph));
    EXPECT_NE(graph.FindItem(taken), 0u);
    expectAllListed();

    // Tools > Remove Scene Files takes all of it again, off every panel at once.
    const void* javaClass = world.GetJavaClasses().Tail(); // compared, never followed
    sim().onModal(CVTND_RemoveVTNFilesDlg::kIdd, [this](pf::Dialog& d) {
        auto* tree = d.item<pf::TreeView>(1000);
        sim().clickTreeCheck(*tree, tree->getChildItem(pf::TVI_ROOT));
        sim().expectMessageBox(pf::IDYES);
        sim().click(*d.child(1163));
        d.endDialog(pf::IDOK);
    });
    ASSERT_TRUE(sim().menuCommand(frame, kCmdRemoveSceneFiles));
    sim().pump();
    ASSERT_EQ(world.GetRootNode()->FindByName("gate"), nullptr) << "the scene was not removed";
    EXPECT_EQ(graph.FindItem(taken), 0u);
    EXPECT_EQ(java.FindItem(javaClass), 0u);
    expectAllListed();
    EXPECT_FALSE(namesTheScenesFolder()) << "the note outlived its class: " << frame.statusBar()->paneText(0);
}

} // namespace
