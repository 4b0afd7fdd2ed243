// The docking panels on a real X server: long lists scrolled by dragging their thumbs, a bar floated by a double
// click on its caption, the icon browser over a folder of icons, the 3D view's cursor made from a cursor entry and
// the trees walked by keys.
// The pictures go to the test artifacts for a person to look at.
#include <X11/keysym.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "apps/vortan/tests/designer_desktop.h"
#include "designer/app/child_render_view.h"
#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/icon_browser_dlg.h"
#include "designer/app/project_object.h"
#include "designer/app/startup.h"
#include "designer/workspace/list_panels.h"
#include "designer/workspace/manipulate_dlg.h"
#include "designer/workspace/scenegraph_dlg.h"
#include "designer/workspace/sizing_bar.h"
#include "designer/workspace/tree_panels.h"
#include "engine/core/cursor_list.h"
#include "engine/core/object_node.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "platform/display/screen.h"
#include "platform/gfx/png_file.h"
#include "platform/live/tests/live_environment.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/tree_view.h"
#include "testsupport/designer/panel_pictures.h"
#include "testsupport/designer/sample_designer.h"

namespace pf {
namespace {

class PanelsLive : public designertest::SampleDesignerLive {
protected:
    void SetUpLive() override
    {
        StartInFolder("vortan-panels-live");
        std::filesystem::create_directories(folder / "icons");
    }
    template <typename T> T& Panel(PanelRole role) { return *dynamic_cast<T*>(designer.GetApp()->GetPanel(role)); }
    // A panel's content lives in its bar for good, whichever window the bar has now.
    CVTND_SizingBar* Bar(PanelRole role)
    {
        return dynamic_cast<CVTND_SizingBar*>(designer.GetApp()->GetPanel(role)->parent());
    }
    void Shoot(const std::string& name, const Surface32& picture)
    {
        if (const char* artifacts = std::getenv("VORTAN_TEST_ARTIFACTS")) {
            std::string error;
            EXPECT_TRUE(writePngFile(std::string(artifacts) + "/" + name, picture, error)) << error;
        }
    }
    void ShootScreen(const std::string& name) { Shoot(name, *liveServer().grab(screen().workArea())); }
};

// A person presses on the thumb and drags it to the bottom: the list and the tree show their last rows.
TEST_F(PanelsLive, LongListsScrollByDraggingTheirThumbs)
{
    CVTND_ExtendedWorld& world = *designer.GetWorld();
    {
        const SWworldlock hold(world);
        for (int i = 0; i < 300; ++i) {
            world.GetSoundList().Add(std::make_unique<SWsound>("sound " + std::to_string(i)));
            auto* node = new SWobjectnode;
            node->SetName("node " + std::to_string(i));
            world.AddNode(node, nullptr);
        }
    }
    auto& sounds = Panel<CVTND_SoundsDlg>(PanelRole::kSounds);
    auto& graph = Panel<CVTND_ScenegraphDlg>(PanelRole::kSceneGraph);
    sounds.Refill();
    graph.Refill();
    settle(300);
    ShootScreen("panels-live-long-lists.png");
    for (Window* view : {static_cast<Window*>(sounds.GetList()), static_cast<Window*>(graph.GetTree())}) {
        const Rect thumb = view->ownScrollThumbRect(SB_VERT);
        ASSERT_FALSE(thumb.isEmpty());
        const Point grab{view->screenRect().l + (thumb.l + thumb.r) / 2, view->screenRect().t + thumb.t + 3};
        liveServer().moveTo(grab);
        settle(100);
        liveServer().button(1, true);
        for (int step = 1; step <= 6; ++step) {
            liveServer().moveTo({grab.x, grab.y + step * 150});
            settle(60);
        }
        liveServer().button(1, false);
        const bool atEnd = runUntil(
            [&] {
                const ScrollInfo info = view->getScrollInfo(SB_VERT);
                return info.nPos == info.nMax - static_cast<int32_t>(info.nPage) + 1;
            },
            3000);
        EXPECT_TRUE(atEnd) << view->getScrollInfo(SB_VERT).nPos;
    }
    EXPECT_GT(graph.GetTree()->topRow(), 250);
    EXPECT_GT(sounds.GetList()->topIndex(), 290);
    settle(200);
    ShootScreen("panels-live-scrolled.png");
}

// The ten bars docked around the 3D view; one floated by a double click on its caption; the icon browser over a
// folder of icons; the 3D view's cursor made from a cursor entry's icon.
TEST_F(PanelsLive, DockedFloatingIconBrowserAndViewCursor)
{
    SWcursor* entry = nullptr;
    {
        const SWworldlock hold(*designer.GetWorld());
        entry = designer.GetWorld()->GetCursorList().Add("ring cursor", 41);
    }
    designer.GetApp()->AnnounceObject(CVTND_Object(entry));
    for (int role = 0; role < static_cast<int>(PanelRole::kCount); ++role) {
        CVTND_SizingBar* bar = Bar(static_cast<PanelRole>(role));
        ASSERT_NE(bar, nullptr) << role;
        EXPECT_TRUE(bar->isVisible()) << bar->GetTitle();
    }
    settle(200);
    ShootScreen("panels-live-docked.png");

    CVTND_SizingBar& cursors = *Bar(PanelRole::kCursors);
    const Point caption = cursors.clientToScreen({cursors.CaptionRect().l + 30, cursors.CaptionRect().t + 8});
    liveServer().moveTo(caption);
    settle(100);
    liveServer().click(caption);
    liveServer().click(caption);
    ASSERT_TRUE(runUntil([&] { return cursors.GetState().floating && cursors.isVisible(); }));
    EXPECT_EQ(dynamic_cast<CVTND_CursorsDlg&>(cursors.Content()).Items(), std::vector<void*>{entry});
    settle(400);
    ShootScreen("panels-live-floating.png");

    designertest::WriteRingIcons(folder / "icons");
    {
        CVTND_IconBrowserDlg browser(*designer.GetApp(), entry);
        ASSERT_TRUE(browser.create(kIddIconBrowser, nullptr));
        browser.show(SW_SHOW);
        browser.SetFolder((folder / "icons").string());
        ASSERT_TRUE(runUntil([&] { return !browser.IsScanning() && browser.GetFound().size() == 6; }));
        auto* list = browser.item<ListView>(CVTND_IconBrowserDlg::kIdList);
        list->setItemState(2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        settle(400);
        ShootScreen("panels-live-icon-browser.png");
        liveServer().click(browser.child(IDOK)->clientToScreen({5, 5}));
        ASSERT_TRUE(runUntil([&] { return !entry->imageFile.empty(); }));
    }
    EXPECT_EQ(entry->imageFile, (folder / "icons" / "ring2.xpm").string());

    // The render thread asks for the entry's cursor; the view shows it once its message is handled.
    CChildRenderView& view = *designer.ActiveView();
    const Rect client = view.clientRect();
    const Point over = view.clientToScreen({client.l + static_cast<int32_t>(client.width() * 4 / 5),
                                            client.t + static_cast<int32_t>(client.height() / 5)});
    liveServer().moveTo(over);
    settle(200);
    std::thread renderThread([&] {
        const SWworldlock hold(*designer.GetWorld());
        view.SetCursor(entry);
    });
    renderThread.join();
    ASSERT_TRUE(runUntil([&] { return ui().currentCursor().icon != nullptr; }));
    settle(300); // the backend hands the cursor to the server as the loop goes on
    const IconRef icon = ui().currentCursor().icon;
    EXPECT_EQ(icon->hotSpot(), (Point{16, 16}));
    // An X grab leaves the pointer out: the shown cursor is drawn where the server has the pointer.
    std::unique_ptr<Surface32> shot = liveServer().grab(screen().workArea());
    ASSERT_NE(shot, nullptr);
    designertest::DrawPointer(*shot, *icon, liveServer().pointer(), screen().workArea().topLeft());
    Shoot("panels-live-view-cursor.png", *shot);
}

// A person on the keyboard: a click puts the focus in the scene graph, then keys walk it through the X server, open
// and close its root, and the properties and manipulate panels follow each step as they follow a click. The actions
// tree opens a category and goes to its end the same way.
TEST_F(PanelsLive, TreesWalkedByKeysLeadThePanelsAsClicksDo)
{
    auto& graph = Panel<CVTND_ScenegraphDlg>(PanelRole::kSceneGraph);
    auto& manipulate = Panel<CVTND_ManipulateDlg>(PanelRole::kManipulate);
    TreeView& tree = *graph.GetTree();
    const auto clickItem = [&](TreeView& view, TreeItem item) {
        Rect label;
        ASSERT_TRUE(view.getItemRect(item, label, true));
        liveServer().click(view.clientToScreen({label.l + 4, (label.t + label.b) / 2}));
        ASSERT_TRUE(runUntil([&] { return view.getSelectedItem() == item && ui().focus() == view.hwnd(); }));
    };
    const TreeItem root = tree.getChildItem(TVI_ROOT);
    ASSERT_GT(tree.visibleItems().size(), 3u) << "the sample's root opens on its nodes";
    clickItem(tree, tree.visibleItems()[1]);
    // The panels take nodes; the world's root, the top item, is not one, by click or by key.
    const auto step = [&](unsigned long keysym, const std::function<TreeItem()>& expected) {
        const TreeItem target = expected();
        liveServer().tap(keysym);
        const bool followed = runUntil([&] {
            const CVTND_Object entry = graph.EntryOf(tree.getSelectedItem());
            return tree.getSelectedItem() == target &&
                   (target == root || (entry.IsNodeType() && designer.GetApp()->GetPropertiesObject() == entry &&
                                       manipulate.IsSelected(entry.GetObject())));
        });
        EXPECT_TRUE(followed) << "key " << keysym << ": " << tree.getItemText(tree.getSelectedItem());
    };
    const auto row = [&](size_t index) { return [&tree, index] { return tree.visibleItems()[index]; }; };
    step(XK_Down, row(2));
    step(XK_End, [&] { return tree.visibleItems().back(); });
    step(XK_Up, [&] { return tree.visibleItems()[tree.visibleItems().size() - 2]; });
    step(XK_Home, row(0));
    step(XK_Right, row(1));
    step(XK_Left, row(0));
    liveServer().tap(XK_Left);
    EXPECT_TRUE(runUntil([&] { return !tree.isExpanded(root) && tree.visibleItems().size() == 1; }));
    liveServer().tap(XK_Right);
    EXPECT_TRUE(runUntil([&] { return tree.isExpanded(root) && tree.getSelectedItem() == root; }));
    step(XK_Right, row(1));
    settle(200);
    ShootScreen("panels-live-scene-graph-keys.png");

    TreeView& actions = *Panel<CVTND_ActionsDlg>(PanelRole::kActions).GetTree();
    const TreeItem category = actions.getChildItem(TVI_ROOT);
    ASSERT_NE(actions.getChildItem(category), 0u);
    actions.expand(category, TVE_COLLAPSE);
    clickItem(actions, category);
    liveServer().tap(XK_Right);
    ASSERT_TRUE(runUntil([&] { return actions.isExpanded(category); }));
    liveServer().tap(XK_Right);
    EXPECT_TRUE(runUntil([&] { return actions.getSelectedItem() == actions.getChildItem(category); }));
    liveServer().tap(XK_End);
    EXPECT_TRUE(runUntil([&] { return actions.getSelectedItem() == actions.visibleItems().back(); }));
}

} // namespace
} // namespace pf
