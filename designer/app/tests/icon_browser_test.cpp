// The icon browser's scan of a folder, its end whenever the dialog goes, its OK on a cursor entry, and the 3D view's
// cursor made from the entry the render thread names.
#include "designer/app/icon_browser_dlg.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>
#include <unistd.h>

#include "designer/app/child_render_view.h"
#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/startup.h"
#include "designer/app/view_cursor.h"
#include "engine/core/cursor_list.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/controls/list_view.h"
#include "testsupport/designer/broadcast_recorder.h"
#include "testsupport/designer/sample_designer.h"

namespace {

std::string Xbm(int hotX)
{
    return "#define i_width 8\n#define i_height 2\n#define i_x_hot " + std::to_string(hotX) +
           "\n#define i_y_hot 1\nstatic char i_bits[] = { 0xff, 0x81 };\n";
}

void WriteText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

class IconFolder : public pf::UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        folder = std::filesystem::temp_directory_path() / ("vortan-icons-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        for (int i = 0; i < 50; ++i) // 50 icons, each hot spot its number modulo 8
            WriteText(folder / ("icon" + std::to_string(100 + i) + ".xbm"), Xbm(i % 8));
        WriteText(folder / "junk.xbm", "not a bitmap");
        WriteText(folder / "notes.txt", Xbm(1));
        std::filesystem::create_directories(folder / "folder.xpm");
        app = std::make_unique<CVTNDesignerApp>();
        app->NewWorkspace();
        cursor = app->GetWorld()->GetCursorList().Add("pointer", 7);
    }
    void TearDown() override
    {
        app.reset();
        std::filesystem::remove_all(folder);
        UiFixture::TearDown();
    }
    void WaitForScan(CVTND_IconBrowserDlg& dialog)
    {
        // The scan runs on its own thread, which a machine busy with other tests may hold up for seconds.
        for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
             dialog.IsScanning() && std::chrono::steady_clock::now() < end;)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        sim().pump();
    }

    std::filesystem::path folder;
    std::unique_ptr<CVTNDesignerApp> app;
    SWcursor* cursor = nullptr;
};

TEST_F(IconFolder, ScanListsEveryIconFileThatReadsAndOkGivesTheEntryItsFile)
{
    CVTND_IconBrowserDlg dialog(*app, cursor);
    ASSERT_TRUE(dialog.create(kIddIconBrowser, nullptr));
    dialog.show(pf::SW_SHOW);
    dialog.SetFolder(folder.string());
    WaitForScan(dialog);
    ASSERT_EQ(dialog.GetFound().size(), 50u) << "junk, other files and folders are not offered";
    EXPECT_EQ(dialog.GetFound().front().fileName, "icon100.xbm");
    auto* list = dialog.item<pf::ListView>(CVTND_IconBrowserDlg::kIdList);
    ASSERT_EQ(list->getItemCount(), 50);
    ASSERT_TRUE(sim().selectListViewItem(*list, 3));
    sim().pump();
    EXPECT_TRUE(dialog.writePng(artifactPath("icon_browser.png"))); // for a reviewer: the list and the preview
    designertest::BroadcastRecorder recorder;
    sim().click(*dialog.child(pf::IDOK));
    EXPECT_EQ(cursor->imageFile, (folder / "icon103.xbm").string());
    EXPECT_EQ(cursor->hotSpotX, 3);
    EXPECT_EQ(cursor->hotSpotY, 1);
    ASSERT_EQ(recorder.Count(static_cast<uint32_t>(EventCode::kChanged)), 1u);
    EXPECT_EQ(recorder.Events()[0].subject, CVTND_Object(cursor));
}

TEST_F(IconFolder, ClosingOrChangingFolderMidScanStopsItAndDropsWhatItPosted)
{
    for (int round = 0; round < 20; ++round) {
        auto dialog = std::make_unique<CVTND_IconBrowserDlg>(*app, cursor);
        ASSERT_TRUE(dialog->create(kIddIconBrowser, nullptr));
        dialog->SetFolder(folder.string());
        if (round % 2 == 0) {
            dialog->SetFolder("/nonexistent-icon-folder");
            WaitForScan(*dialog);
            EXPECT_TRUE(dialog->GetFound().empty()) << "nothing of the first folder is left";
        }
        dialog.reset(); // the scan is stopped and joined before the dialog's memory goes
        sim().pump();   // posts to the dead dialog are dropped
    }
}

TEST_F(IconFolder, ViewCursorIsTheEntrysIconWithItsHotSpotOrTheCross)
{
    EXPECT_EQ(ViewCursorFor(nullptr), pf::loadCursor(pf::IDC_CROSS));
    const CVTND_CursorEntry entry{(folder / "icon105.xbm").string(), 5, 1};
    const pf::Cursor shown = ViewCursorFor(&entry);
    ASSERT_NE(shown.icon, nullptr);
    EXPECT_EQ(shown.icon->hotSpot(), (pf::Point{5, 1}));
    const size_t kept = ViewCursorsKept();
    EXPECT_EQ(ViewCursorFor(&entry), shown) << "read once and kept";
    EXPECT_EQ(ViewCursorsKept(), kept);
    const CVTND_CursorEntry junk{(folder / "junk.xbm").string(), 0, 0};
    EXPECT_EQ(ViewCursorFor(&junk), pf::loadCursor(pf::IDC_CROSS));
}

TEST_F(IconFolder, RenderThreadsSetCursorShowsTheIconAfterThePump)
{
    app.reset(); // one application at a time: the designer makes its own
    CVTND_Designer designer;
    ASSERT_TRUE(designer.Start(
        designertest::TestStartOptions(artifactPath("cursor-recovery-" + std::to_string(::getpid()) + ".vtp"))));
    CChildRenderView* view = designer.ActiveView();
    ASSERT_NE(view, nullptr);
    SWcursor entry("hand", 3);
    entry.imageFile = (folder / "icon102.xbm").string();
    entry.hotSpotX = 2;
    entry.hotSpotY = 1;
    std::thread renderThread([&] {
        const SWworldlock hold(*designer.GetWorld());
        view->SetCursor(&entry);
    });
    renderThread.join();
    sim().pump();
    ASSERT_NE(pf::ui().currentCursor().icon, nullptr);
    EXPECT_EQ(pf::ui().currentCursor().icon->hotSpot(), (pf::Point{2, 1}));
    std::thread again([&] {
        const SWworldlock hold(*designer.GetWorld());
        view->SetCursor(nullptr);
    });
    again.join();
    sim().pump();
    EXPECT_EQ(pf::ui().currentCursor(), pf::loadCursor(pf::IDC_CROSS));
    designer.Exit();
}

} // namespace
