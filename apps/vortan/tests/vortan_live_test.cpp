// The designer on a real X server: what a person sees after start-up, the preview turning the cube and a click on it
// switching the background, publishing and playing what was published, and the end a signal asks for. Each case is
// its own process with its own server (live_environment.cpp), so nothing of SDL is shared.
#include <X11/keysym.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "apps/vortan/tests/designer_child.h"
#include "apps/vortan/tests/designer_desktop.h"
#include "designer/app/child_render_view.h"
#include "designer/app/designer_app.h"
#include "designer/app/designer_utilities.h"
#include "designer/app/editor_settings.h"
#include "designer/app/extended_world.h"
#include "designer/app/main_frame.h"
#include "designer/app/project.h"
#include "designer/app/publish_dialogs.h"
#include "designer/app/sample_project.h"
#include "designer/app/startup.h"
#include "designer/app/user_dialogs.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/map_object.h"
#include "designer/editors/loaded_background_dlg.h"
#include "designer/eventedit/event_map_canvas.h"
#include "designer/eventedit/event_map_frame.h"
#include "designer/workspace/panels.h"
#include "designer/workspace/sizing_bar.h"
#include "designer/workspace/tree_panels.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/events.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/window.h"
#include "engine/core/window_renderer.h"
#include "engine/core/world_file.h"
#include "engine/core/world_sections.h"
#include "engine/resources/compression_scheme.h"
#include "engine/resources/geometry.h"
#include "engine/resources/material.h"
#include "engine/resources/wavelet_image.h"
#include "platform/base/atomic_file.h"
#include "platform/display/screen.h"
#include "platform/gfx/png_file.h"
#include "platform/live/tests/live_environment.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/testing/image_check.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/progress_bar.h"
#include "platform/ui/controls/tab_control.h"
#include "platform/ui/controls/tool_bar.h"
#include "platform/ui/controls/tree_view.h"
#include "platform/ui/core/message_loop.h"
#include "platform/ui/providers/live_file_dialog.h"
#include "platform/ui/providers/live_providers.h"
#include "testsupport/designer/sample_designer.h"

namespace pf {
namespace {

using namespace std::chrono_literals;

// How long a wait for the views' frames may take: a machine running other designer tests (another copy of these, say)
// holds the render thread up for many seconds.
constexpr int kFrameWaitMs = static_cast<int>(designertest::kRenderThreadWait.count());

uint32_t GrabPixel(Point screen)
{
    const std::unique_ptr<Surface32> shot = liveServer().grab(Rect::fromXywh(screen.x, screen.y, 1, 1));
    return shot != nullptr ? shot->pixel(0, 0) & 0xFFFFFF : 0xFFFFFFFF;
}

// The test's server shows the sky a few levels darker than the headless screen does (0x1E2D4C for 0x203050, an
// open question); a colour is "the first background" within 8 levels a channel.
bool IsBackground(uint32_t pixel)
{
    for (const int shift : {0, 8, 16}) {
        const int a = static_cast<int>((pixel >> shift) & 0xFF);
        const int b = static_cast<int>((kSampleBackground >> shift) & 0xFF);
        if (a - b > 8 || b - a > 8)
            return false;
    }
    return true;
}

class DesignerLive : public designertest::SampleDesignerLive {
protected:
    void SetUpLive() override { StartInFolder("vortan-live"); }
    Point ViewPoint(CChildRenderView& view, Point client) { return view.clientToScreen(client); }
    // The real pointer pressed at from, moved past the drag distance and on to to, released there.
    void DragOnServer(Point from, Point to)
    {
        liveServer().moveTo(from);
        settle(100);
        liveServer().button(1, true);
        for (const Point at : {Point{from.x + 10, from.y + 4}, Point{(from.x + to.x) / 2, (from.y + to.y) / 2}, to}) {
            liveServer().moveTo(at);
            settle(100);
        }
        liveServer().button(1, false);
        settle(300);
    }
    void RemakeTheClickByDragging();
    // Every docked panel's caption: the server shows, at the caption rectangle its bar names, what the layer composed
    // there, a caption band with the panel's title written in it. The grabs, one under the other, go to a picture.
    void ExpectPanelCaptionsWhereTheirBarsSay(const CMainFrame& frame)
    {
        std::vector<const CVTND_SizingBar*> bars;
        for (const Hwnd child : frame.children())
            if (const auto* bar = dynamic_cast<const CVTND_SizingBar*>(ui().window(child)); bar && bar->isVisible())
                bars.push_back(bar);
        EXPECT_EQ(bars.size(), CVTND_Panels::kCount);
        Surface32 sheet(400, static_cast<int32_t>(bars.size()) * CVTND_SizingBar::kCaptionHeight);
        for (size_t i = 0; i < bars.size(); ++i) {
            SCOPED_TRACE(bars[i]->GetTitle());
            const Rect caption = bars[i]->CaptionRect().inflatedBy(-1, -1);
            const Point at = bars[i]->clientToScreen({caption.l, caption.t});
            const Rect area = Rect::fromXywh(at.x, at.y, caption.width(), caption.height());
            const std::unique_ptr<Surface32> composed = captureScreen(area);
            std::unique_ptr<Surface32> shown;
            ImageDifference difference;
            runUntil([&] {
                shown = liveServer().grab(area);
                difference = compareSurfaces(*shown, *composed, 12);
                return !difference.sizeMismatch && difference.differing == 0;
            });
            EXPECT_FALSE(difference.sizeMismatch);
            EXPECT_EQ(difference.differing, 0) << "at " << area.l << "," << area.t;
            int written = 0; // the title's pixels: unlike the band's own colour, in the left half
            for (int32_t y = 0; y < composed->height(); ++y)
                for (int32_t x = 0; x < composed->width() / 2; ++x)
                    written += composed->pixel(x, y) != composed->pixel(0, 0) ? 1 : 0;
            EXPECT_GT(written, 15);
            for (int32_t y = 0; !shown->isEmpty() && y < shown->height(); ++y)
                for (int32_t x = 0; x < std::min(shown->width(), sheet.width()); ++x)
                    sheet.setPixel(x, static_cast<int32_t>(i) * CVTND_SizingBar::kCaptionHeight + y,
                                   shown->pixel(x, y));
        }
        if (const char* artifacts = std::getenv("VORTAN_TEST_ARTIFACTS")) {
            std::string error;
            writePngFile(std::string(artifacts) + "/vortan-live-captions.png", sheet, error);
        }
    }
};

void DesignerLive::RemakeTheClickByDragging()
{
    CVTNDesignerApp& app = *designer.GetApp();
    CVTND_ExtendedWorld& world = *designer.GetWorld();
    for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
        if (e->GetType() == static_cast<uint32_t>(EventType::kLeftClickObject)) {
            ASSERT_TRUE(app.DeleteObject(CVTND_Object(e), CVTNDesignerApp::kDeleteFromKey));
            break;
        }
    auto* canvas = dynamic_cast<CVTND_EventMap*>(app.GetFirstEventMap());
    ASSERT_NE(canvas, nullptr) << "the event map window is open";
    auto* view = dynamic_cast<CChildEventMapView*>(canvas->parent());
    ASSERT_NE(view, nullptr);
    pf::ListView& types = *view->EventList();
    const int32_t leftClick = 4; // the list's order: 0, 1, 2, 4, 5, ...
    ASSERT_EQ(types.getItemData(leftClick), static_cast<LParam>(EventType::kLeftClickObject));
    const Rect icon = types.getItemRect(leftClick, LVIR_ICON);
    const Point drop = canvas->clientToScreen({260, 200});
    DragOnServer(types.clientToScreen({(icon.l + icon.r) / 2, (icon.t + icon.b) / 2}), drop);
    SWevent* clicked = nullptr;
    for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
        if (e->GetType() == static_cast<uint32_t>(EventType::kLeftClickObject))
            clicked = e;
    ASSERT_NE(clicked, nullptr) << "no event where the type was dropped";
    {
        const SWworldlock hold(world);
        clicked->AddObjectName(std::string("cube"));
    }

    auto* actions = dynamic_cast<CVTND_ActionsDlg*>(app.GetPanel(PanelRole::kActions));
    ASSERT_NE(actions, nullptr);
    TreeView& tree = *actions->GetTree();
    const SWactionkind* background = world.GetActionCategories().FindKind(19);
    TreeItem kind{};
    for (TreeItem c = tree.getChildItem(TVI_ROOT); c != TreeItem{} && kind == TreeItem{};
         c = tree.getNextSiblingItem(c))
        for (TreeItem k = tree.getChildItem(c); k != TreeItem{}; k = tree.getNextSiblingItem(k))
            if (actions->EntryOf(k).GetObject() == background)
                kind = k;
    Rect label;
    ASSERT_TRUE(tree.getItemRect(kind, label, true)) << "the set-background kind is folded away";
    // Scrolled into sight as the panel's scroll bar would, when the panel is too short to show it.
    while (label.b > tree.clientRect().b && tree.scrollLines(1))
        ASSERT_TRUE(tree.getItemRect(kind, label, true));
    settle(100);
    const MapObject* shown = GetEditorEngine()->FindEventObject(clicked);
    ASSERT_NE(shown, nullptr);
    const Point scroll = canvas->GetScrollOrigin();
    DragOnServer(
        tree.clientToScreen({(label.l + label.r) / 2, (label.t + label.b) / 2}),
        canvas->clientToScreen({shown->x + shown->width / 2 - scroll.x, shown->y + shown->height / 2 - scroll.y}));
    auto* action = dynamic_cast<SWbackgroundaction*>(clicked->GetFirstAction());
    ASSERT_NE(action, nullptr) << "no action where the kind was dropped";
    ASSERT_NE(GetEditorEngine()->FindActionObject(action), nullptr);
    const SWworldlock hold(world);
    action->settings.red = kSampleClickedColour[0];
    action->settings.green = kSampleClickedColour[1];
    action->settings.blue = kSampleClickedColour[2];
    action->settings.mode = 1;
}

// The frame on the work area; the view's corners show the first background and its middle the cube; Start turns
// the cube (two grabs differ inside it and agree in the corners); a click on it switches the background; the
// published file plays in a player whose click switches its own background too.
TEST_F(DesignerLive, TheSampleTurnsAClickSwitchesTheBackgroundAndThePublishedWorldPlays)
{
    CChildRenderView& view = *designer.ActiveView();
    const Rect client = view.clientRect();
    const Point corner = ViewPoint(view, {3, 3});
    const Point middle =
        ViewPoint(view, {static_cast<int32_t>(client.width() / 2), static_cast<int32_t>(client.height() / 2)});
    const bool shown = runUntil([&] { return IsBackground(GrabPixel(corner)); }, kFrameWaitMs);
    if (const char* artifacts = std::getenv("VORTAN_TEST_ARTIFACTS")) {
        std::string error;
        writePngFile(std::string(artifacts) + "/vortan-live-start.png", *liveServer().grab(screen().workArea()), error);
    }
    ASSERT_TRUE(shown) << std::hex << GrabPixel(corner) << std::dec << " at " << corner.x << "," << corner.y;
    EXPECT_FALSE(IsBackground(GrabPixel(middle)));
    EXPECT_EQ(designer.GetMainFrame()->windowRect(), screen().workArea());
    ExpectPanelCaptionsWhereTheirBarsSay(*designer.GetMainFrame());

    // The click on the cube made as a person makes it: the sample's own goes, "left click on object" is dragged from
    // the event map's list onto the map and "set background" from the actions panel onto the new event.
    RemakeTheClickByDragging();
    if (HasFailure())
        return;
    // The 3D view in front of the event map again, as a click on its caption brings it.
    Window& viewFrame = *view.parent();
    liveServer().click(viewFrame.clientToScreen({40, -viewFrame.clientInsets().t / 2}));
    settle(300);

    // Published before the preview changes the world's background.
    const std::string published = (folder / "sample.vto").string();
    ASSERT_TRUE(designer.PublishTo(published, false));

    ASSERT_TRUE(designer.StartPreview());
    settle(300);
    // Two grabs at least 500 ms apart differ inside the cube (the render thread runs behind the rest, so a busy
    // machine may take longer to show the next frame).
    const Rect box = Rect::fromXywh(middle.x - 40, middle.y - 40, 80, 80);
    const std::unique_ptr<Surface32> a = liveServer().grab(box);
    ASSERT_NE(a, nullptr);
    runUntil([] { return false; }, 500);
    int differing = 0;
    runUntil([&] {
        const std::unique_ptr<Surface32> b = liveServer().grab(box);
        differing = 0;
        for (int32_t y = 0; b != nullptr && y < 80; ++y)
            for (int32_t x = 0; x < 80; ++x)
                differing += (a->pixel(x, y) & 0xFFFFFF) != (b->pixel(x, y) & 0xFFFFFF) ? 1 : 0;
        return differing > 100;
    });
    EXPECT_GT(differing, 100) << "the cube turns";
    EXPECT_TRUE(IsBackground(GrabPixel(corner)));

    // A person moves onto the cube, then clicks.
    liveServer().moveTo(middle);
    settle(200);
    liveServer().click(middle);
    ASSERT_TRUE(runUntil([&] { return !IsBackground(GrabPixel(corner)); }));
    if (const char* artifacts = std::getenv("VORTAN_TEST_ARTIFACTS")) {
        std::string error;
        writePngFile(std::string(artifacts) + "/vortan-live-clicked.png", *liveServer().grab(screen().workArea()),
                     error);
    }

    CChildRenderFrame* player = designer.OpenPublishedFile(published);
    ASSERT_NE(player, nullptr);
    CChildRenderView& played = player->View();
    const Point playerCorner = ViewPoint(played, {3, 3});
    const Rect playerClient = played.clientRect();
    const Point playerMiddle = ViewPoint(
        played, {static_cast<int32_t>(playerClient.width() / 2), static_cast<int32_t>(playerClient.height() / 2)});
    ASSERT_TRUE(runUntil([&] { return IsBackground(GrabPixel(playerCorner)); }))
        << "the published world starts from the first background";
    liveServer().moveTo(playerMiddle);
    settle(200);
    liveServer().click(playerMiddle);
    ASSERT_TRUE(runUntil([&] { return !IsBackground(GrabPixel(playerCorner)); }));
}

// -- The designer in a process of its own, ended from outside: by a signal at any moment, by the window manager's or
// the keyboard's close, or by another program destroying its window

// Ended from outside once it is up, by SIGTERM or by the window manager's close (WM_DELETE_WINDOW to the main frame):
// with nothing unsaved either ends it by itself with status 0, every thread ended in time (no box says otherwise,
// which would hold the process up).
// SIGHUP (the terminal it was started from closed) is taken as SIGTERM is.
TEST(DesignerProcess, SigtermAndTheWindowManagersCloseEndTheDesignerWithStatusZero)
{
    for (const int signal : {SIGTERM, SIGHUP, 0}) {
        const std::string name = signal == SIGTERM ? "sigterm" : signal == SIGHUP ? "sighup" : "close";
        SCOPED_TRACE(name);
        DesignerChild designer("term", true);
        designer.Start();
        const unsigned long frame = designer.AwaitWindow("Vortan - ");
        ASSERT_NE(frame, 0u) << "the main frame never showed: " << designer.Errors();
        const auto sent = Clock::now();
        if (signal != 0)
            designer.Signal(signal);
        else
            liveServer().askToClose(frame);
        EXPECT_EQ(designer.AwaitExit(), 0) << designer.Errors();
        designer.ExpectNoReport();
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent);
        RecordProperty(name + "_exit_ms", static_cast<int>(took.count()));
    }
}

// Alt+F4 at the main window, with and without a window manager (which takes the key itself and asks the window to
// close), is File > Exit: with changes the save question comes; No ends the designer with status 0 and drops the
// recovery copy, as a person answering it wants.
TEST(DesignerProcess, AltF4AsksAboutChangesAndEndsTheDesignerAsFileExitDoes)
{
    for (const bool windowManager : {false, true}) {
        SCOPED_TRACE(windowManager ? "openbox" : "no window manager");
        if (windowManager) {
            std::string error;
            ASSERT_TRUE(liveServer().startWindowManager(error)) << error;
        }
        DesignerChild designer("alt-f4", true);
        designer.LeaveRecoveryCopy();
        designer.Start();
        designer.OpenTheRecoveryCopy();
        ASSERT_NE(designer.AwaitFocusedWindow("Vortan - "), 0u) << designer.Errors();
        liveServer().key(XK_Alt_L, true);
        liveServer().tap(XK_F4);
        liveServer().key(XK_Alt_L, false);
        ASSERT_NE(designer.AwaitFocusedWindow("Vortan", true), 0u) << "no save question: " << designer.Errors();
        liveServer().tap(XK_Tab); // from Yes to No
        liveServer().tap(XK_space);
        EXPECT_EQ(designer.AwaitExit(), 0) << designer.Errors();
        designer.ExpectNoReport();
        EXPECT_FALSE(std::filesystem::exists(designer.folder / "recovery.vtp"));
        if (windowManager)
            liveServer().stopWindowManager();
    }
}

// Alt+F opens File at the main window without a window manager as with one, wherever in the frame the keys land
// (a panel's page held them and the bar never saw them) and from a floating panel; Up and Return there choose Exit.
// Alt is held a moment after the F, as a person holds it: the menu taking the server's keyboard as it showed made
// SDL press the held Alt again, which closed the menu.
TEST(DesignerProcess, AltFOpensTheFileMenuWithoutAWindowManager)
{
    const std::string floatingEvents =
        "[Software\\Brenix\\Vortan\\Events-SCBar-1]\n\"Side\"=dword:00000000\n"
        "\"Size\"=dword:000000dc\n\"Visible\"=dword:00000001\n\"Floating\"=dword:00000001\n"
        "\"FloatX\"=dword:00000190\n\"FloatY\"=dword:00000190\n\"FloatW\"=dword:000000dc\n"
        "\"FloatH\"=dword:00000118\n";
    // With the Events panel floating, the second F6 reaches it (the scene graph comes first).
    for (const auto& [panes, floating] : {std::pair{0, false}, std::pair{2, false}, std::pair{2, true}}) {
        SCOPED_TRACE("F6 pressed " + std::to_string(panes) + " times" + (floating ? ", Events floating" : ""));
        DesignerChild designer("alt-f", true, floating ? floatingEvents : "");
        designer.LeaveRecoveryCopy();
        designer.Start();
        designer.OpenTheRecoveryCopy();
        // The recovery question hands the keyboard back to the main window, not to the panel floating above it.
        ASSERT_NE(designer.AwaitFocusedWindow("Vortan - "), 0u) << designer.Errors();
        for (int i = 0; i < panes; ++i)
            liveServer().tap(XK_F6);
        std::this_thread::sleep_for(300ms);
        liveServer().key(XK_Alt_L, true);
        liveServer().tap(XK_f);
        std::this_thread::sleep_for(300ms);
        liveServer().key(XK_Alt_L, false);
        std::this_thread::sleep_for(500ms);
        liveServer().tap(XK_Up);
        liveServer().tap(XK_Return);
        ASSERT_NE(designer.AwaitFocusedWindow("Vortan", true), 0u) << "no save question: " << designer.Errors();
        liveServer().tap(XK_Tab); // from Yes to No
        liveServer().tap(XK_space);
        EXPECT_EQ(designer.AwaitExit(), 0) << designer.Errors();
        designer.ExpectNoReport();
    }
}

// A day's work by keys alone from a first start, without a window manager: the first-run question answered, the
// sample opened by Ctrl+O; F6 reaches the Events panel, where Enter opens the first event's editor and its name is
// typed; F6 reaches Resources, where Enter opens the cube's material, whose ambient red is reached by Tab on the
// editor's page and typed; Ctrl+S saves, and File > Publish, its file dialog and the publish dialog take Return. The
// saved project and the published world, read back, hold both changes.
TEST(DesignerProcess, ADaysWorkByKeysAloneIsSavedAndPublished)
{
    DesignerChild designer("keys", false);
    const std::filesystem::path project = designer.folder / "work.vtp";
    const std::filesystem::path published = designer.folder / "work.vto";
    std::filesystem::copy_file(DesignerChild::SamplePath(), project);
    const auto type = [](const std::string& text) {
        for (const char c : text)
            liveServer().tap(static_cast<unsigned char>(c)); // lower case, digits, '/', '.' and '-' are their keysyms
    };
    const auto chord = [](unsigned long modifier, unsigned long key, std::chrono::milliseconds held = 0ms) {
        liveServer().key(modifier, true);
        liveServer().tap(key);
        std::this_thread::sleep_for(held);
        liveServer().key(modifier, false);
    };
    const auto awaitGone = [&](const std::string& name) {
        return DesignerChild::WaitUntil([&] { return liveServer().findTopLevel(name, true) == 0; });
    };
    designer.Start();
    ASSERT_NE(designer.AwaitFocusedWindow("User Information", true), 0u) << designer.Errors();
    type("key user");
    liveServer().tap(XK_Return);
    ASSERT_NE(designer.AwaitFocusedWindow("Vortan - "), 0u) << designer.Errors();
    chord(XK_Control_L, XK_o);
    ASSERT_NE(designer.AwaitFocusedWindow("Open Project", true), 0u) << designer.Errors();
    type(project.string());
    liveServer().tap(XK_Return);
    ASSERT_NE(designer.AwaitFocusedWindow("Vortan - work.vtp", true), 0u) << designer.Errors();

    // The keys start in the event map, the active child window: the scene graph comes next, then Events.
    for (const unsigned long key : {XK_F6, XK_F6, XK_Down, XK_Return})
        liveServer().tap(key);
    ASSERT_NE(designer.AwaitFocusedWindow("Edit Event", true), 0u) << designer.Errors();
    chord(XK_Control_L, XK_a);
    type("spin");
    liveServer().tap(XK_Return);
    ASSERT_TRUE(awaitGone("Edit Event"));
    for (int i = 0; i < 8; ++i) // on past Actions, Properties, Manipulate, Expressions, Java, Sounds and Cursors
        liveServer().tap(XK_F6);
    for (const unsigned long key : {XK_Down, XK_Down, XK_Return}) // Materials, then its first, the cube's
        liveServer().tap(key);
    ASSERT_NE(designer.AwaitFocusedWindow("Material", true), 0u) << designer.Errors();
    liveServer().tap(XK_Tab); // from the name to the ambient colour's button
    liveServer().tap(XK_Tab); // and its red
    type("128");
    liveServer().tap(XK_Escape);
    ASSERT_TRUE(awaitGone("Material"));

    const auto before = std::filesystem::last_write_time(project);
    chord(XK_Control_L, XK_s);
    ASSERT_TRUE(DesignerChild::WaitUntil([&] { return std::filesystem::last_write_time(project) != before; }));
    chord(XK_Alt_L, XK_f, 200ms);
    for (int i = 0; i < 6; ++i) // from New Project down to Publish
        liveServer().tap(XK_Down);
    liveServer().tap(XK_Return);
    const unsigned long files = designer.AwaitFocusedWindow("Publish", true);
    ASSERT_NE(files, 0u) << designer.Errors();
    liveServer().tap(XK_Return); // the name offered, the project's own
    ASSERT_TRUE(DesignerChild::WaitUntil([&] {
        const unsigned long shown = liveServer().findTopLevel("Publish", true);
        return shown != 0 && shown != files && liveServer().focus() == shown;
    }));
    liveServer().tap(XK_Return);
    ASSERT_TRUE(DesignerChild::WaitUntil([&] { return std::filesystem::exists(published); }));
    ASSERT_TRUE(awaitGone("Publish"));
    designer.Signal(SIGTERM); // nothing unsaved: no question
    EXPECT_EQ(designer.AwaitExit(), 0) << designer.Errors();
    designer.ExpectNoReport();

    const auto expectTheChanges = [](SWworld& world) {
        const SWworldlock hold(world);
        bool spin = false;
        for (const SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
            spin = spin || e->GetName() == std::optional<std::string>("spin");
        EXPECT_TRUE(spin) << "the event renamed";
        const SWmaterial* cube = world.GetRootObject()->GetFirstMaterial();
        while (cube != nullptr && cube->GetName() != "cube")
            cube = SWrootobject::GetNextMaterial(cube);
        ASSERT_NE(cube, nullptr);
        EXPECT_NEAR(cube->GetAmbientColour().red, 128.0f / 255.0f, 0.5f / 255.0f);
        EXPECT_EQ(cube->GetAmbientColour().green, 1.0f);
    };
    CVTND_Project::LoadResult saved = CVTND_Project::LoadFile(project.string());
    ASSERT_TRUE(saved.ok()) << saved.message;
    {
        SCOPED_TRACE("saved");
        expectTheChanges(*saved.world);
    }
    WorldLoadResult played = LoadWorldFile(published.string(), SWreadcontext::IdMode::kKeep);
    ASSERT_EQ(played.status, DocumentStatus::kOk) << played.message;
    SCOPED_TRACE("published");
    expectTheChanges(*played.world);
}

// Another program destroys the main window on the server (xdotool windowclose). Nobody can be asked about the
// changes any more: the designer writes them to its recovery copy, says so and where, and ends with status 4, with
// no X error and no report from threads outliving the statics.
TEST(DesignerProcess, TheMainWindowDestroyedByAnotherProgramEndsTheDesignerKeepingItsWork)
{
    DesignerChild designer("destroyed", true);
    designer.LeaveRecoveryCopy();
    designer.Start();
    designer.OpenTheRecoveryCopy();
    const unsigned long frame = designer.AwaitWindow("Vortan - ");
    ASSERT_NE(frame, 0u) << designer.Errors();
    const std::filesystem::path copy = designer.folder / "recovery.vtp";
    const auto before = std::filesystem::last_write_time(copy);
    liveServer().destroyWindow(frame);
    EXPECT_EQ(designer.AwaitExit(), kQuitWindowLost) << designer.Errors();
    designer.ExpectNoReport();
    EXPECT_NE(designer.Errors().find("destroyed by another program"), std::string::npos) << designer.Errors();
    EXPECT_NE(designer.Errors().find(copy.string()), std::string::npos) << designer.Errors();
    ASSERT_TRUE(std::filesystem::exists(copy));
    EXPECT_GT(std::filesystem::last_write_time(copy), before) << "written again as the designer ended";
    EXPECT_GT(std::filesystem::file_size(copy), 0u);
}

// -- Every window and dialog of the designer, as the X server shows it and as the layer composed it

// The meshes held until released, so the wait dialog can be seen with its bar part way.
std::atomic<bool> g_writeSection{false};
const SWworldsectionhandler* g_realSection = nullptr;
const std::thread::id g_uiThread = std::this_thread::get_id(); // the tests' loops run on the main thread
bool HeldSection(SWworldwriting& out, uint32_t parentIndex)
{
    // Only the publish worker waits: a recovery copy the user-interface thread writes meanwhile goes through.
    while (!g_writeSection.load() && std::this_thread::get_id() != g_uiThread)
        std::this_thread::sleep_for(1ms);
    return g_realSection->write(out, parentIndex);
}

// Runs each modal dialog as the live loop does, first handing it, once it is up, to the scene for its template.
class SceneModalDriver final : public ModalDriver {
public:
    std::map<int32_t, std::deque<std::function<void(Dialog&)>>> scenes;
    void run(Dialog& dialog) override
    {
        auto found = scenes.find(dialog.templateId());
        if (found != scenes.end() && !found->second.empty()) {
            const std::function<void(Dialog&)> scene = std::move(found->second.front());
            found->second.pop_front();
            const auto shown = std::chrono::steady_clock::now() + 300ms; // painted and presented
            while (std::chrono::steady_clock::now() < shown && !dialog.hasEnded())
                runLoopStep(ui());
            scene(dialog);
        }
        if (!dialog.hasEnded())
            m_loop.run(dialog);
    }

private:
    LoopModalDriver m_loop;
};

class DesignerWindowsLive : public LiveFixture {
protected:
    // The window's client area as the server shows it (it shows no frames of ours) must be what the layer composed
    // there. The grab goes to live-NAME.png (whole: the window's rectangle, for the main frame's menu and tool bar)
    // and the layer's whole window, frame included, to NAME.png.
    void Shot(const Window& window, const std::string& name, bool whole = false)
    {
        const Point at = window.clientToScreen({0, 0});
        const Rect client = Rect::fromXywh(at.x, at.y, window.clientRect().width(), window.clientRect().height());
        ImageDifference difference;
        const bool same = runUntil([&] {
            const std::unique_ptr<Surface32> composed = captureScreen(client);
            difference = compareSurfaces(*liveServer().grab(client), *composed, 12);
            return !difference.sizeMismatch && difference.differing == 0 && !IsOneColour(*composed);
        });
        EXPECT_TRUE(same) << name << ": " << difference.differing << " pixels differ";
        const char* artifacts = std::getenv("VORTAN_TEST_ARTIFACTS");
        const std::string dir = artifacts != nullptr ? artifacts : std::filesystem::temp_directory_path().string();
        std::string error;
        EXPECT_TRUE(writePngFile(dir + "/live-" + name + ".png",
                                 *liveServer().grab(whole ? window.windowRect() : client), error))
            << error;
        EXPECT_TRUE(window.writePng(dir + "/" + name + ".png"));
        shots.push_back(name);
    }
    static bool IsOneColour(const Surface32& image)
    {
        for (int32_t y = 0; y < image.height(); ++y)
            for (int32_t x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != image.pixel(0, 0))
                    return false;
        return true;
    }
    void Press(const Window& dialog, int32_t id) { ui().post(dialog.hwnd(), WM_COMMAND, static_cast<uint32_t>(id)); }

    std::vector<std::string> shots;
};

// The first run on a recovery copy left behind: the user-information dialog, the recovery offer (Yes opens the
// copy), the frame with a second 3D view, the preferences, each tab of the publish dialog, the wait dialog with its
// bar part way, the player of the published file, and the box a damaged project gives.
TEST_F(DesignerWindowsLive, EveryWindowAndDialogAsTheServerShowsIt)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vortan-live-windows-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path sample =
        std::filesystem::path(VORTAN_EXECUTABLE).parent_path().parent_path().parent_path() / "samples/sample.vtp";
    std::filesystem::copy_file(sample, folder / "recovery.vtp");
    ASSERT_TRUE(writeFileAtomically((folder / "damaged.vtp").string(), "VTNF0942 and nothing that holds"));

    LiveProviders providers;
    providers.install();
    SceneModalDriver driver;
    ui().providers().install(&driver);
    driver.scenes[kIddUserInformation].push_back([&](Dialog& d) {
        Shot(d, "user-information");
        Press(d, IDCANCEL);
    });
    driver.scenes[kMessageBoxIdd].push_back([&](Dialog& d) {
        Shot(d, "recovery-offer");
        Press(d, IDYES);
    });
    CVTND_Designer designer;
    CVTND_StartOptions options;
    options.store = std::make_unique<SettingsStore>(nullptr);
    options.recoveryPath = (folder / "recovery.vtp").string();
    options.renderPriority = CVTN_ThreadHandler::Priority::kNormal; // frames come beside other busy tests
    options.joinTimeout = designertest::kRenderThreadWait;
    ASSERT_TRUE(designer.Start(std::move(options)));
    EXPECT_TRUE(designer.GetApp()->IsModified()) << "the copy opened";

    ASSERT_NE(designer.NewView(), nullptr);
    ASSERT_EQ(designer.Views().size(), 2u);
    Shot(*designer.GetMainFrame(), "main-frame-two-views", true);

    driver.scenes[kIddPreferences].push_back([&](Dialog& d) {
        Shot(d, "preferences");
        Press(d, IDCANCEL);
    });
    designer.Preferences();

    driver.scenes[kIddPublish].push_back([&](Dialog& d) {
        auto* tabs = d.item<TabControl>(kIdcPublishTabs);
        for (int32_t tab = 0; tab < 5; ++tab) {
            const Rect item = tabs->getItemRect(tab);
            liveServer().click(tabs->clientToScreen({(item.l + item.r) / 2, (item.t + item.b) / 2}));
            EXPECT_TRUE(runUntil([&] { return tabs->getCurSel() == tab; }));
            Shot(d, "publish-dialog-tab-" + std::to_string(tab));
        }
        Press(d, IDOK);
    });
    driver.scenes[kIddPublishWait].push_back([&](Dialog& d) {
        EXPECT_TRUE(runUntil([&] { return d.item<ProgressBar>(kIdcWaitBar)->getPos() > 0; }));
        Shot(d, "publish-wait-dialog");
        g_writeSection = true;
    });
    g_realSection = ReplaceWorldSectionHandler(WorldSection::kGeometry, nullptr);
    ASSERT_NE(g_realSection, nullptr);
    static const SWworldsectionhandler kHeld = {&HeldSection, nullptr, nullptr, nullptr, nullptr};
    ReplaceWorldSectionHandler(WorldSection::kGeometry, &kHeld);
    const std::string published = (folder / "sample.vto").string();
    const bool publishedOk = designer.PublishTo(published, true);
    ReplaceWorldSectionHandler(WorldSection::kGeometry, g_realSection);
    ASSERT_TRUE(publishedOk);

    CChildRenderFrame* player = designer.OpenPublishedFile(published);
    ASSERT_NE(player, nullptr);
    settle(300);
    EXPECT_TRUE(designer.StopPreview()) << "the player stops, so its picture holds still";
    Shot(*designer.GetMainFrame(), "player-frame", true);

    driver.scenes[kMessageBoxIdd].push_back([&](Dialog& d) {
        Shot(d, "damaged-file-error");
        Press(d, IDOK);
    });
    EXPECT_FALSE(designer.OpenProjectFile((folder / "damaged.vtp").string(), false));

    EXPECT_EQ(shots.size(), 12u) << ::testing::PrintToString(shots);
    designer.Exit();
    ui().providers().install(static_cast<ModalDriver*>(nullptr));
    std::filesystem::remove_all(folder);
}

// -- The whole road on the server: a scene added through the menu and the file dialog, an event made as the event
// map's commands make it, the preview clicked, the world published and played

// The sample's camera, cube (with its checker picture) and floor, without its events.
void WriteRoundTripScene(const std::string& path)
{
    CVTND_ExtendedWorld world;
    const SWworldlock hold(world);
    BuildSampleWorld(world);
    while (SWevent* event = world.GetFirstEvent())
        world.DeleteEvent(event);
    ASSERT_EQ(SaveWorldFile(world, WorldFileMode::kScene, path), DocumentStatus::kOk);
}

// The cube's picture made a wavelet-coded checker (its loss happens once, when it is made).
void UseWaveletTexture(SWworld& world)
{
    const SWworldlock hold(world);
    std::vector<uint32_t> pixels(128 * 128);
    for (int32_t y = 0; y < 128; ++y)
        for (int32_t x = 0; x < 128; ++x)
            pixels[static_cast<size_t>(y) * 128 + x] = ((x / 32 + y / 32) % 2) != 0 ? 0xFFF2CC4Du : 0xFF3373D9u;
    auto wavelet = std::make_unique<SWwaveletimage>("checker-wavelet", 128, 128, pixels.data(), 60);
    SWwaveletimage* placed = wavelet.get();
    world.GetRootObject()->AddTexture(std::move(wavelet));
    world.ReplaceTextureReferences(world.FindTextureByName("checker"), placed, true);
}

double Psnr(const Surface32& a, const Surface32& b)
{
    double sum = 0.0;
    for (int32_t y = 0; y < a.height(); ++y)
        for (int32_t x = 0; x < a.width(); ++x)
            for (const int shift : {0, 8, 16}) {
                const double d = static_cast<double>((a.pixel(x, y) >> shift) & 0xFF) -
                                 static_cast<double>((b.pixel(x, y) >> shift) & 0xFF);
                sum += d * d;
            }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

class DesignerRoundTripLive : public DesignerWindowsLive {
protected:
    void TypeText(const std::string& text)
    {
        for (const char c : text)
            liveServer().tap(static_cast<unsigned char>(c)); // printable Latin-1 keysyms are the characters
    }
    // File menu entry number `entry` (0 the first), by the keys a person uses once the menu is open.
    void FileMenu(CVTND_Designer& designer, int entry)
    {
        const Rect item = designer.GetMainFrame()->menuItemRect(0);
        const Rect frame = designer.GetMainFrame()->windowRect();
        const Point file{frame.l + (item.l + item.r) / 2, frame.t + (item.t + item.b) / 2};
        liveServer().moveTo(file); // SDL gives a press to the window the pointer entered first
        settle(200);
        liveServer().click(file);
        for (int i = 0; i <= entry; ++i)
            liveServer().tap(XK_Down);
        liveServer().tap(XK_Return);
    }
    // The view's client area from the server, once a click on its middle has switched its background.
    std::unique_ptr<Surface32> ClickAndGrab(CChildRenderView& view)
    {
        const Rect client = view.clientRect();
        const Point middle =
            view.clientToScreen({static_cast<int32_t>(client.width() / 2), static_cast<int32_t>(client.height() / 2)});
        const Point corner = view.clientToScreen({3, 3});
        const Rect area = Rect::fromXywh(view.clientToScreen({0, 0}).x, view.clientToScreen({0, 0}).y, client.width(),
                                         client.height());
        liveServer().moveTo(middle);
        settle(200);
        liveServer().click(middle);
        EXPECT_TRUE(runUntil([&] { return !IsBackground(GrabPixel(corner)); }, kFrameWaitMs))
            << "the click switched it";
        // A still view is refined over several jittered frames: grabs are comparable only once that has settled.
        EXPECT_TRUE(runUntil(
            [&] {
                const SWworldlock hold(view.GetWorld());
                SWwindow* window = view.GetEngineWindow();
                return window != nullptr && window->GetRenderer() != nullptr &&
                       window->GetRenderer()->IsAntialiasingDone();
            },
            kFrameWaitMs))
            << "the view settled";
        settle(300);
        return liveServer().grab(area);
    }
};

// Grab A is the project's preview after the click; B the published world's player after the same click: with the
// default rows B equals A, and with a compressed mesh row and a wavelet texture it is close (each PSNR recorded).
TEST_F(DesignerRoundTripLive, AnAddedSceneWithAClickEventPublishesAndPlaysAsItPreviewed)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vortan-live-road-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    WriteRoundTripScene((folder / "scene.vtn").string());

    LiveProviders providers;
    providers.install();
    SceneModalDriver driver;
    ui().providers().install(&driver);
    auto store = std::make_unique<SettingsStore>(nullptr);
    store->setString(CVTND_EditorSettings::kKey, "user name", "Live Test");
    CVTND_Designer designer;
    CVTND_StartOptions options;
    options.store = std::move(store);
    options.recoveryPath = (folder / "recovery.vtp").string();
    options.renderPriority = CVTN_ThreadHandler::Priority::kNormal; // frames come beside other busy tests
    options.joinTimeout = designertest::kRenderThreadWait;
    ASSERT_TRUE(designer.Start(std::move(options)));
    designer.GetSettings()->SetDirectory(BrowseCategory::kScenes, folder.string());
    designer.GetSettings()->SetDirectory(BrowseCategory::kPublished, folder.string());
    const auto typeAndEnter = [&](const std::string& name) {
        return [this, name](Dialog&) {
            TypeText(name);
            liveServer().tap(XK_Return);
        };
    };

    driver.scenes[kFileDialogIdd].push_back(typeAndEnter("scene.vtn"));
    driver.scenes[CVTND_LoadedBackgroundDlg::kIdd].push_back([&](Dialog& d) { Press(d, IDOK); });
    FileMenu(designer, 4); // Add Scene File, and the live file dialog
    ASSERT_TRUE(runUntil([&] { return designer.GetWorld()->FindTextureByName("checker") != nullptr; }, kFrameWaitMs));
    SWworld& world = *designer.GetWorld();
    {
        const SWworldlock hold(world);
        SWevent* event = world.NewEvent();
        event->SetType(static_cast<uint32_t>(EventType::kLeftClickObject));
        std::string name;
        ASSERT_TRUE(MakeUniqueEventName(world, event->GetType(), name));
        event->SetName(name);
        event->AddObjectName(std::string("cube"));
        auto* background =
            dynamic_cast<SWbackgroundaction*>(event->CreateAction(world.GetActionCategories().FindKind(19)));
        ASSERT_NE(background, nullptr);
        background->settings.red = kSampleClickedColour[0];
        background->settings.green = kSampleClickedColour[1];
        background->settings.blue = kSampleClickedColour[2];
    }
    CChildRenderView& view = *designer.ActiveView();
    ToolBar& tools = *designer.GetMainFrame()->toolBar();
    const Rect startButton = tools.itemRect(tools.commandToIndex(kCmdStart));
    const Point start =
        tools.clientToScreen({(startButton.l + startButton.r) / 2, (startButton.t + startButton.b) / 2});
    liveServer().moveTo(start);
    settle(200);
    liveServer().click(start);
    ASSERT_TRUE(runUntil([&] { return designer.IsPreviewRunning(); }));
    const std::unique_ptr<Surface32> a = ClickAndGrab(view);

    const auto publishAndPlay = [&](const std::string& name) -> std::unique_ptr<Surface32> {
        std::vector<int32_t> positions;
        driver.scenes[kFileDialogIdd].push_back(typeAndEnter(name));
        driver.scenes[kIddPublish].push_back([&](Dialog& d) { Press(d, IDOK); });
        driver.scenes[kIddPublishWait].push_back([&](Dialog& d) {
            runUntil([&] {
                const int32_t at = d.item<ProgressBar>(kIdcWaitBar)->getPos();
                if (at > 0 && (positions.empty() || positions.back() != at))
                    positions.push_back(at);
                g_writeSection = !positions.empty();
                return d.hasEnded();
            });
        });
        g_writeSection = false;
        g_realSection = ReplaceWorldSectionHandler(WorldSection::kGeometry, nullptr);
        static const SWworldsectionhandler kHeld = {&HeldSection, nullptr, nullptr, nullptr, nullptr};
        ReplaceWorldSectionHandler(WorldSection::kGeometry, &kHeld);
        ui().post(designer.GetMainFrame()->hwnd(), WM_COMMAND, kCmdPublish); // the File menu's command
        const bool written = runUntil([&] { return std::filesystem::exists(folder / name); }, kFrameWaitMs);
        ReplaceWorldSectionHandler(WorldSection::kGeometry, g_realSection);
        EXPECT_TRUE(written) << name;
        EXPECT_GE(positions.size(), 2u) << "the bar moves: " << ::testing::PrintToString(positions);
        driver.scenes[kFileDialogIdd].push_back(typeAndEnter(name));
        const size_t before = designer.Players().size();
        ui().post(designer.GetMainFrame()->hwnd(), WM_COMMAND, kCmdOpenPublished);
        if (!runUntil([&] { return designer.Players().size() > before; }, kFrameWaitMs))
            return nullptr;
        CChildRenderView& played = designer.Players().back()->View();
        EXPECT_EQ(played.clientRect(), view.clientRect());
        settle(300);
        std::unique_ptr<Surface32> b = ClickAndGrab(played);
        designer.Players().back()->destroy();
        settle(100);
        return b;
    };
    const std::unique_ptr<Surface32> b = publishAndPlay("plain.vto");
    ASSERT_NE(b, nullptr);
    // The default rows lose nothing: the player shows, pixel for pixel, what the preview showed.
    const ImageDifference same = compareSurfaces(*a, *b, 0);
    ASSERT_FALSE(same.sizeMismatch);
    EXPECT_EQ(same.differing, 0);
    const double plainPsnr = Psnr(*a, *b);
    RecordProperty("default_rows_differing_pixels", static_cast<int>(same.differing));
    RecordProperty("default_rows_psnr_db_x100", static_cast<int>(plainPsnr * 100));

    UseWaveletTexture(world);
    {
        const SWworldlock hold(world);
        SWnode* cube = nullptr;
        for (SWnode* n = world.GetRootNode(); n != nullptr; n = n->NextInTree(world.GetRootNode()))
            if (n->GetName() && *n->GetName() == "cube")
                cube = n;
        ASSERT_NE(cube, nullptr);
        auto* choice = dynamic_cast<SWschemechoice*>(SWobjectnode::FromNode(cube)->GetGeometry());
        ASSERT_NE(choice, nullptr);
        choice->SetScheme(SWcompressionschemes::Table().OfferedRows(SchemeKind::kMesh).back());
    }
    static_cast<MdiChild*>(view.parent())->activate(); // the project's view in front again
    liveServer().moveTo(start);
    settle(200);
    liveServer().click(start);
    ASSERT_TRUE(runUntil([&] { return designer.IsPreviewRunning(); }));
    const std::unique_ptr<Surface32> wavelet = ClickAndGrab(view);
    const std::unique_ptr<Surface32> compressed = publishAndPlay("compressed.vto");
    ASSERT_NE(compressed, nullptr);
    const double psnr = Psnr(*wavelet, *compressed);
    EXPECT_GT(psnr, 30.0);
    RecordProperty("compressed_mesh_wavelet_psnr_db_x100", static_cast<int>(psnr * 100));
    if (const char* artifacts = std::getenv("VORTAN_TEST_ARTIFACTS")) {
        std::string error;
        writePngFile(std::string(artifacts) + "/live-road-a-preview.png", *a, error);
        writePngFile(std::string(artifacts) + "/live-road-b-player.png", *b, error);
        writePngFile(std::string(artifacts) + "/live-road-a-wavelet-preview.png", *wavelet, error);
        writePngFile(std::string(artifacts) + "/live-road-b-compressed.png", *compressed, error);
    }
    designer.Exit();
    ui().providers().install(static_cast<ModalDriver*>(nullptr));
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace pf
