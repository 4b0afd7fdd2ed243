// The designer's main window under a window manager, used by the mouse and the keys through XTest: the first-run
// question over it, its child windows opened in front and closed by the View menu, every menu command reached by the
// keys alone, its maximised state kept for the next start, and pictures of the arranged windows, of a box over the
// publish progress and of the sound editor on a small screen.
#include <X11/keysym.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "apps/vortan/tests/designer_desktop.h"
#include "designer/app/child_render_view.h"
#include "designer/app/designer_app.h"
#include "designer/app/editor_settings.h"
#include "designer/app/extended_world.h"
#include "designer/app/main_frame.h"
#include "designer/app/project_object.h"
#include "designer/app/publish_dialogs.h"
#include "designer/app/startup.h"
#include "designer/app/user_dialogs.h"
#include "designer/eventedit/event_map_frame.h"
#include "engine/core/world.h"
#include "engine/core/world_sections.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "platform/base/atomic_file.h"
#include "platform/gfx/png_file.h"
#include "platform/live/tests/live_environment.h"
#include "platform/live/x_window.h"
#include "platform/media/riff_wave_writer.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/testing/message_spy.h"
#include "platform/ui/core/message_loop.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/frame/frame_window.h"
#include "platform/ui/providers/live_providers.h"
#include "testsupport/designer/sample_designer.h"

namespace pf {
namespace {

using namespace std::chrono_literals;

// Every modal box of the designer as a person meets it: once it is on the server with the keyboard, Escape; a scene
// given for its template runs first, in its place.
class EscapingModalDriver final : public ModalDriver {
public:
    explicit EscapingModalDriver(std::function<bool(Dialog&)> hasKeyboard) : m_hasKeyboard(std::move(hasKeyboard)) {}
    std::map<int32_t, std::function<void(Dialog&)>> scenes;
    std::vector<int32_t> seen; // the templates of the boxes run, in order

    void run(Dialog& dialog) override
    {
        seen.push_back(dialog.templateId());
        const auto until = std::chrono::steady_clock::now() + 20s;
        while (!dialog.hasEnded() && !m_hasKeyboard(dialog) && std::chrono::steady_clock::now() < until)
            runLoopStep(ui());
        if (const auto scene = scenes.find(dialog.templateId()); scene != scenes.end())
            scene->second(dialog);
        else if (!dialog.hasEnded())
            liveServer().tap(XK_Escape);
        m_loop.run(dialog);
    }

private:
    std::function<bool(Dialog&)> m_hasKeyboard;
    LoopModalDriver m_loop;
};

class MainWindowLive : public LiveFixture {
protected:
    MainWindowLive() { withWindowManager = true; }
    void SetUpLive() override
    {
        folder = std::filesystem::temp_directory_path() / ("vortan-main-window-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        providers.install();
        ui().providers().install(&driver);
    }
    void TearDown() override
    {
        if (IsSkipped())
            return LiveFixture::TearDown();
        designer.Exit();
        ui().providers().install(static_cast<ModalDriver*>(nullptr));
        std::filesystem::remove_all(folder);
        LiveFixture::TearDown();
    }
    unsigned long xOf(Hwnd hwnd) { return designertest::XWindowOf(backend(), hwnd); }
    bool isAbove(unsigned long upper, unsigned long lower)
    {
        return designertest::IsStackedAbove(liveServer(), upper, lower);
    }
    bool isActiveOnServer(Hwnd hwnd)
    {
        return xOf(hwnd) != 0 &&
               liveServer().property(0, "_NET_ACTIVE_WINDOW") == std::vector<unsigned long>{xOf(hwnd)};
    }
    bool isMaximizedOnServer(unsigned long xWindow)
    {
        int axes = 0;
        for (const unsigned long atom : liveServer().property(xWindow, "_NET_WM_STATE"))
            axes += liveServer().atomName(atom).starts_with("_NET_WM_STATE_MAXIMIZED_") ? 1 : 0;
        return axes == 2;
    }
    CMainFrame& frame() { return *designer.GetMainFrame(); }
    // The loop runs until the main frame is on the server with the keyboard, as a person finds it after start-up.
    void waitForMainFrame()
    {
        ASSERT_TRUE(
            runUntil([&] { return isActiveOnServer(frame().hwnd()) && ui().activeWindow() == frame().hwnd(); }));
        settle(200);
    }
    // F10, Right to the menu, Down to open it, Down to the entry, Enter: the keys a person without a mouse uses. The
    // keys wait at the server until the loop reads them, the menu's own loop among it.
    void chooseByKeys(int32_t menuIndex, uint32_t command)
    {
        const Menu popup = frame().menu().subMenu(menuIndex);
        int32_t downs = 1;
        for (const MenuItem& item : popup.items()) {
            if (item.id == command)
                break;
            downs += item.isChoosable() ? 1 : 0;
        }
        liveServer().tap(XK_F10);
        for (int32_t i = 0; i < menuIndex; ++i)
            liveServer().tap(XK_Right);
        for (int32_t i = 0; i < downs; ++i)
            liveServer().tap(XK_Down);
        liveServer().tap(XK_Return);
    }
    void saveShot(const Rect& area, const std::string& name)
    {
        const char* artifacts = std::getenv("VORTAN_TEST_ARTIFACTS");
        const std::string dir = artifacts != nullptr ? artifacts : folder.string();
        std::string error;
        const Rect onScreen = area.intersected(Rect::fromXywh(0, 0, screenSize.cx, screenSize.cy)); // else no grab
        EXPECT_TRUE(writePngFile(dir + "/" + name + ".png", *liveServer().grab(onScreen), error)) << error;
    }
    // A person's drag by the real pointer, the loop running between the steps.
    void drag(Point from, Point to)
    {
        liveServer().moveTo(from);
        settle(100);
        liveServer().button(1, true);
        for (int step = 1; step <= 4; ++step) {
            liveServer().moveTo({from.x + (to.x - from.x) * step / 4, from.y + (to.y - from.y) * step / 4});
            settle(60);
        }
        liveServer().button(1, false);
        settle(150);
    }
    MdiChild* eventMapFrame()
    {
        for (MdiChild* child : frame().mdiClient()->childFrames())
            if (dynamic_cast<CChildEventMapFrame*>(child) != nullptr)
                return child;
        return nullptr;
    }
    Point captionPoint(const MdiChild& child)
    {
        const Rect caption = child.captionButtonRect(MdiChild::kMinimizeButton);
        const Rect place = child.windowRect(); // the client area's coordinates
        // Just left of the caption buttons: the part of a caption least often under a cascaded window.
        return frame().mdiClient()->clientToScreen({place.l + caption.l - 20, place.t + (caption.t + caption.b) / 2});
    }
    // The child is the active one and the one a press at its caption's middle reaches.
    bool isInFront(const MdiChild* child)
    {
        const Point onCaption = captionPoint(*child);
        Window* hit = ui().window(ui().windowFromPoint(onCaption));
        return frame().mdiClient()->activeChild() == child && hit != nullptr &&
               (hit == child || hit->isDescendantOf(child));
    }

    std::filesystem::path folder;
    LiveProviders providers;
    EscapingModalDriver driver{[this](Dialog& d) { return isActiveOnServer(d.hwnd()) && ui().focus() != kNoWindow; }};
    CVTND_Designer designer;
};

// The first start asks for the user's name over the main window. The main window, restored and maximised again by
// the window manager and then clicked, keeps the question in front with the keyboard, which takes the name; once it is
// answered, a click on File opens the menu and its keys choose from it.
TEST_F(MainWindowLive, TheFirstRunQuestionStaysAboveTheMaximisedMainWindowAndFileOpensOnceAnswered)
{
    MessageSpy clicks;
    driver.scenes[kIddUserInformation] = [&](Dialog& question) {
        const unsigned long mainX = xOf(frame().hwnd());
        const unsigned long questionX = xOf(question.hwnd());
        EXPECT_EQ(liveServer().property(questionX, "WM_TRANSIENT_FOR"), std::vector<unsigned long>{mainX});
        liveServer().maximize(mainX, false);
        EXPECT_TRUE(runUntil([&] { return !isMaximizedOnServer(mainX); }));
        liveServer().maximize(mainX, true);
        EXPECT_TRUE(runUntil([&] { return isMaximizedOnServer(mainX) && frame().IsMaximized(); }));
        clicks.onlyWindows({frame().mdiClient()->hwnd()}).onlyMessages({WM_LBUTTONDOWN});
        const Rect client = frame().mdiClient()->clientRect();
        const Point away = frame().mdiClient()->clientToScreen({client.r - 30, client.b - 30});
        liveServer().moveTo(away);
        settle(100);
        liveServer().click(away);
        EXPECT_TRUE(runUntil([&] { return isAbove(questionX, mainX) && isActiveOnServer(question.hwnd()); }));
        EXPECT_EQ(clicks.count(WM_LBUTTONDOWN), 0u) << "the waiting main window took a click";
        for (const unsigned long key : {XK_a, XK_d, XK_a, XK_Return})
            liveServer().tap(key);
    };
    CVTND_StartOptions options = designertest::TestStartOptions((folder / "recovery.vtp").string());
    options.developerRun = false;
    ASSERT_TRUE(designer.Start(std::move(options)));
    ASSERT_EQ(driver.seen.size(), 1u) << "the question, and nothing else";
    EXPECT_EQ(designer.GetSettings()->GetString(CVTND_EditorSettings::kUserName), "ada");

    waitForMainFrame();
    MessageSpy commands;
    commands.onlyWindows({frame().hwnd()}).onlyMessages({WM_COMMAND});
    const Rect file = frame().menuItemRect(0);
    const Point onFile{frame().windowRect().l + (file.l + file.r) / 2, frame().windowRect().t + (file.t + file.b) / 2};
    // The keys go once the menu is painted: its own loop runs meanwhile, not the test's.
    bool typed = false;
    MessageSpy menuShown;
    menuShown.onlyMessages({WM_PAINT}).probe([&](const Msg& msg) {
        const Window* w = ui().window(msg.hwnd);
        if (!typed && w != nullptr && w->className() == "popupmenu" && xOf(msg.hwnd) != 0) {
            typed = true;
            for (const unsigned long key : {XK_Down, XK_Down, XK_Return})
                liveServer().tap(key);
        }
        return std::string();
    });
    liveServer().moveTo(onFile);
    settle(100);
    liveServer().click(onFile);
    EXPECT_TRUE(runUntil([&] { return commands.count(WM_COMMAND) == 1 && driver.seen.size() == 2; }));
    EXPECT_EQ(commands.log().empty() ? 0u : loWord(commands.log()[0].wParam), kCmdOpenProject);
    EXPECT_EQ(driver.seen.back(), kFileDialogIdd);
}

// The event map comes up in front of the first 3D view, as every newly opened child does; View > Close 3D View
// closes the front 3D view, never the event map that is active; once no 3D view is left, however the last went,
// the entry is greyed. Once the last event map is closed too, View > New Event Map opens one again.
TEST_F(MainWindowLive, NewChildrenOpenInFrontAndClose3DViewClosesOnlyViews)
{
    ASSERT_TRUE(designertest::StartOnSampleWorld(designer, folder));
    waitForMainFrame();
    MdiChild* map = eventMapFrame();
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(isInFront(map)) << "the event map opened behind";

    chooseByKeys(1, kCmdNewView);
    ASSERT_TRUE(runUntil([&] { return designer.Views().size() == 2; }));
    auto* second = dynamic_cast<MdiChild*>(designer.Views().back()->parent());
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(isInFront(second));

    const Point onMap = captionPoint(*map);
    liveServer().moveTo(onMap);
    settle(100);
    liveServer().click(onMap);
    ASSERT_TRUE(runUntil([&] { return isInFront(map); }));
    chooseByKeys(1, kCmdCloseView);
    ASSERT_TRUE(runUntil([&] { return designer.Views().size() == 1; }));
    EXPECT_EQ(eventMapFrame(), map) << "Close 3D View closed the event map";
    EXPECT_EQ(designer.Views().size(), 1u);
    EXPECT_FALSE(frame().menu().items()[1].popup[1].flags & MF_GRAYED);

    auto* last = dynamic_cast<MdiChild*>(designer.Views().front()->parent());
    last->activate();
    settle(100);
    liveServer().key(XK_Control_L, true);
    liveServer().tap(XK_F4);
    liveServer().key(XK_Control_L, false);
    ASSERT_TRUE(runUntil([&] { return designer.Views().empty(); }));
    EXPECT_TRUE(runUntil([&] { return (frame().menu().items()[1].popup[1].flags & MF_GRAYED) != 0; }))
        << "Close 3D View stays on with no 3D view left";
    EXPECT_EQ(eventMapFrame(), map);

    // With the last event map closed by its keys too, View brings one back.
    map->activate();
    settle(100);
    liveServer().key(XK_Control_L, true);
    liveServer().tap(XK_F4);
    liveServer().key(XK_Control_L, false);
    ASSERT_TRUE(runUntil([&] { return eventMapFrame() == nullptr; }));
    chooseByKeys(1, kCmdNewEventMap);
    ASSERT_TRUE(runUntil([&] { return eventMapFrame() != nullptr; })) << "no way back to a closed event map";
    EXPECT_TRUE(runUntil([&] { return isInFront(eventMapFrame()); }));
}

// Sized down to 200x150 the main window keeps its least size, and the window manager is told it, so that its grips
// stop there too (WM_NORMAL_HINTS: the flags, then the least width and height at 5 and 6).
TEST_F(MainWindowLive, TheMainWindowIsNeverSizedBelowItsMinimum)
{
    ASSERT_TRUE(designertest::StartOnSampleWorld(designer, folder));
    waitForMainFrame();
    const Rect was = frame().windowRect();
    frame().move(Rect::fromXywh(was.l, was.t, 200, 150));
    EXPECT_EQ(frame().windowRect().width(), static_cast<uint32_t>(CMainFrame::kMinimumWidth));
    EXPECT_EQ(frame().windowRect().height(), static_cast<uint32_t>(CMainFrame::kMinimumHeight));
    constexpr unsigned long kMinSizeFlag = 1u << 4;
    std::vector<unsigned long> hints;
    ASSERT_TRUE(runUntil([&] {
        hints = liveServer().property(xOf(frame().hwnd()), "WM_NORMAL_HINTS");
        return hints.size() > 6 && (hints[0] & kMinSizeFlag) != 0;
    })) << "no least size on the server";
    const Rect client = frame().clientRect();
    EXPECT_EQ(hints[5], client.width());
    EXPECT_GE(hints[6], client.height());
}

// The designer as a person starts it, twice, on one settings file. The first start opens at the place the file keeps
// and is maximised by the window manager before the close; the second opens maximised within the screen, and the
// place kept for its restoring is still the first one.
TEST_F(MainWindowLive, TheMaximisedStateIsKeptWithThePlaceForTheNextStart)
{
    const std::filesystem::path settings = folder / "settings.reg";
    ASSERT_TRUE(writeFileAtomically(settings.string(), "[Software\\Brenix\\Vortan\\Editor]\n"
                                                       "\"user name\"=\"Live Test\"\n"
                                                       "[Software\\Brenix\\Vortan\\Main Window]\n"
                                                       "\"Left\"=dword:00000064\n\"Top\"=dword:00000050\n"
                                                       "\"Right\"=dword:00000384\n\"Bottom\"=dword:000002bc\n"
                                                       "\"Maximized\"=dword:00000000\n"));
    const Rect screenArea{0, 0, 1280, 1024};
    for (const bool maximizedBefore : {false, true}) {
        SCOPED_TRACE(maximizedBefore ? "second start" : "first start");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::setenv("DISPLAY", liveServer().display().c_str(), 1);
            ::setenv("VORTAN_SETTINGS_FILE", settings.c_str(), 1);
            ::setenv("SDL_AUDIODRIVER", "disk", 1);
            ::setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
            ::execl(VORTAN_EXECUTABLE, VORTAN_EXECUTABLE, "--exit-after", "30000", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        unsigned long frame = 0;
        const auto shown = [&] {
            frame = frame != 0 ? frame : liveServer().findTopLevel("Vortan - ");
            return frame != 0 && liveServer().property(frame, "_NET_FRAME_EXTENTS").size() == 4 &&
                   isMaximizedOnServer(frame) == maximizedBefore;
        };
        EXPECT_TRUE(runUntil(shown)) << "maximised: " << (frame != 0 && isMaximizedOnServer(frame));
        const Rect outer = frame != 0 ? liveServer().outerRect(frame) : Rect{};
        EXPECT_TRUE(!outer.isEmpty() && screenArea.containsRect(outer))
            << outer.l << "," << outer.t << " " << outer.r << "," << outer.b;
        if (!maximizedBefore) {
            EXPECT_NEAR(outer.width(), 800, 40) << "the kept place";
            liveServer().maximize(frame, true);
            EXPECT_TRUE(runUntil([&] { return isMaximizedOnServer(frame); }));
            settle(300); // the designer learns of it
        }
        if (frame != 0)
            liveServer().askToClose(frame);
        int status = -1;
        EXPECT_TRUE(runUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; }));
        if (status == -1) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    std::ifstream in(settings);
    const std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(kept.find("\"Maximized\"=dword:00000001"), std::string::npos) << kept;
    EXPECT_NE(kept.find("\"Left\"=dword:00000064"), std::string::npos) << kept;
}

// Every command of one menu of the main window chosen by F10, the arrows and Enter alone, in the menu's order: the
// boxes they open are closed again by Escape, File's recent entry opens a project saved first, and File's Exit ends
// the designer last.
class MenuWalkLive : public MainWindowLive, public ::testing::WithParamInterface<int32_t> {};

TEST_P(MenuWalkLive, EveryCommandIsReachedByKeysAlone)
{
    ASSERT_TRUE(designertest::StartOnSampleWorld(designer, folder));
    ASSERT_TRUE(designer.SaveTo((folder / "walk.vtp").string())); // File's recent entry
    waitForMainFrame();
    const int32_t menuIndex = GetParam();
    std::vector<uint32_t> commands;
    for (const MenuItem& item : frame().menu().subMenu(menuIndex).items())
        if (item.id != 0 && !item.isPopup() && !(item.id == kCmdRecentFirst && (item.flags & MF_GRAYED) != 0))
            commands.push_back(item.id);
    ASSERT_FALSE(commands.empty());
    MessageSpy spy;
    spy.onlyWindows({frame().hwnd()}).onlyMessages({WM_COMMAND});
    std::vector<uint32_t> reached;
    for (const uint32_t command : commands) {
        SCOPED_TRACE(command);
        ASSERT_FALSE(designer.HasClosed());
        EXPECT_TRUE(isChoosableCommand(frame().menu().items(), command)) << "greyed at its turn";
        spy.clear();
        const size_t boxes = driver.seen.size();
        chooseByKeys(menuIndex, command);
        EXPECT_TRUE(runUntil([&] { return spy.count(WM_COMMAND) > 0; }));
        for (const SpiedMessage& m : spy.log())
            reached.push_back(loWord(m.wParam));
        settle(100);
        if (command == kCmdOpenProject || command == kCmdSaveAs || command == kCmdPreferences ||
            command == kCmdScaleCenter) {
            EXPECT_GT(driver.seen.size(), boxes) << "no box came up";
        }
        if (command == kCmdExit) {
            EXPECT_TRUE(runUntil([&] { return designer.HasClosed(); }));
        }
    }
    EXPECT_EQ(reached, commands);
}

constexpr const char* kMenuNames[] = {"File", "View", "Preview", "Tools"};
std::string MenuName(const ::testing::TestParamInfo<int32_t>& info)
{
    return kMenuNames[info.param];
}
INSTANTIATE_TEST_SUITE_P(Menus, MenuWalkLive, ::testing::Values(0, 1, 2, 3), MenuName);

// -- Pictures of the windows as a person arranges and meets them, each checked where it matters

// Two 3D views and the event map moved by their captions and sized by their borders with the real pointer: each
// follows the pointer, and the picture shows them as arranged.
TEST_F(MainWindowLive, ChildWindowsArrangedByTheMouse)
{
    ASSERT_TRUE(designertest::StartOnSampleWorld(designer, folder));
    waitForMainFrame();
    liveServer().maximize(xOf(frame().hwnd()), true);
    ASSERT_TRUE(runUntil([&] { return frame().IsMaximized(); }));
    settle(200);
    chooseByKeys(1, kCmdNewView);
    ASSERT_TRUE(runUntil([&] { return designer.Views().size() == 2; }));
    MdiChild* map = eventMapFrame();
    auto* first = dynamic_cast<MdiChild*>(designer.Views().front()->parent());
    auto* second = dynamic_cast<MdiChild*>(designer.Views().back()->parent());
    ASSERT_TRUE(map != nullptr && first != nullptr && second != nullptr);
    const Rect client = frame().mdiClient()->clientRect();
    // The views side by side along the top, the map below them across the client. Each is brought forward by a
    // click on its caption, made no larger than it is to be by its bottom-right corner, moved by its caption, then
    // given its full size: every press lands on a part of it in sight.
    const auto arrange = [&](MdiChild& child, Point topLeft, Size size) {
        const auto leftOfCaption = [&] {
            const Rect place = child.windowRect();
            const Rect caption = child.captionButtonRect(MdiChild::kMinimizeButton);
            return frame().mdiClient()->clientToScreen({place.l + 40, place.t + (caption.t + caption.b) / 2});
        };
        const auto sizeTo = [&](Size want) {
            const Rect now = child.windowRect();
            const Point corner = frame().mdiClient()->clientToScreen({now.r - 3, now.b - 3});
            if (now.width() != want.cx || now.height() != want.cy)
                drag(corner, {corner.x + want.cx - static_cast<int32_t>(now.width()),
                              corner.y + want.cy - static_cast<int32_t>(now.height())});
        };
        liveServer().moveTo(leftOfCaption());
        settle(100);
        liveServer().click(leftOfCaption());
        EXPECT_TRUE(runUntil([&] { return isInFront(&child); })) << child.text();
        const Size smaller{std::min(size.cx, static_cast<int32_t>(child.windowRect().width())),
                           std::min(size.cy, static_cast<int32_t>(child.windowRect().height()))};
        sizeTo(smaller);
        EXPECT_TRUE(runUntil([&] {
            return child.windowRect().width() == smaller.cx && child.windowRect().height() == smaller.cy;
        })) << child.text();
        const Point from = leftOfCaption();
        drag(from, {from.x + topLeft.x - child.windowRect().l, from.y + topLeft.y - child.windowRect().t});
        // A loaded machine may still owe the drag's last moves: the next press is aimed only once they are in.
        EXPECT_TRUE(runUntil([&] { return child.windowRect().topLeft() == topLeft; })) << child.text();
        sizeTo(size);
        const Rect want = Rect::fromXywh(topLeft.x, topLeft.y, size.cx, size.cy);
        EXPECT_TRUE(runUntil([&] { return child.windowRect() == want; })) << child.text();
    };
    const int32_t half = static_cast<int32_t>(client.width() / 2) - 6;
    const int32_t top = static_cast<int32_t>(client.height() / 2) - 6;
    arrange(*second, {half + 8, 4}, {half, top});
    arrange(*first, {4, 4}, {half, top});
    arrange(*map, {4, top + 8}, {static_cast<int32_t>(client.width()) - 8, top});
    saveShot(frame().windowRect(), "main-frame-arranged");
}

// A warning the publish worker reports while the progress box shows belongs to the progress box: it comes up above
// it, both above the main window, takes the click on OK, and the publishing goes on to its end once it is answered.
// No two windows take turns at the top meanwhile, the window manager is left idle afterwards, and a click on File
// opens the menu.
std::atomic<bool> g_warningAnswered{false};
const SWworldsectionhandler* g_realGeometry = nullptr;
bool GeometryWithAWarning(SWworldwriting& out, uint32_t parentIndex)
{
    ReportResource({"cube: the chosen scheme cannot store this mesh; it is stored with the default", "Mesh"});
    while (!g_warningAnswered.load())
        std::this_thread::sleep_for(1ms);
    return g_realGeometry->write(out, parentIndex);
}

// The processor time a process of ours has used, in clock ticks: user and system time from its stat line.
long long ProcessorTicks(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t afterName = line.rfind(')');
    if (afterName == std::string::npos)
        return -1;
    std::istringstream fields(line.substr(afterName + 2));
    std::vector<std::string> field{std::istream_iterator<std::string>(fields), std::istream_iterator<std::string>()};
    // State is the third field of the line, so utime (14th) and stime (15th) are the 12th and 13th after the name.
    return field.size() > 12 ? std::stoll(field[11]) + std::stoll(field[12]) : -1;
}

TEST_F(MainWindowLive, AWarningDuringPublishComesAboveTheProgressBox)
{
    ASSERT_TRUE(designertest::StartOnSampleWorld(designer, folder));
    waitForMainFrame();
    std::vector<unsigned long> activeSeen; // _NET_ACTIVE_WINDOW each time it changed, from the warning on
    const auto noteActive = [&] {
        const std::vector<unsigned long> active = liveServer().property(0, "_NET_ACTIVE_WINDOW");
        const unsigned long now = active.size() == 1 ? active[0] : 0;
        if (activeSeen.empty() || activeSeen.back() != now)
            activeSeen.push_back(now);
    };
    unsigned long waitX = 0;
    driver.scenes[kIddPublishWait] = [](Dialog&) {}; // it ends by itself
    driver.scenes[kMessageBoxIdd] = [&](Dialog& box) {
        for (const Hwnd h : ui().topLevels())
            if (const auto* d = dynamic_cast<const Dialog*>(ui().window(h));
                d != nullptr && d->templateId() == kIddPublishWait) {
                waitX = xOf(h);
                EXPECT_FALSE(d->isEnabled()) << "the progress box takes clicks meant for the warning";
            }
        const unsigned long boxX = xOf(box.hwnd());
        const unsigned long mainX = xOf(frame().hwnd());
        EXPECT_EQ(liveServer().property(boxX, "WM_TRANSIENT_FOR"), std::vector<unsigned long>{waitX});
        EXPECT_TRUE(runUntil([&] {
            noteActive();
            return isAbove(boxX, waitX) && isAbove(waitX, mainX);
        }));
        liveServer().click(frame().mdiClient()->clientToScreen({10, 10})); // the waiting main window, clicked
        EXPECT_TRUE(runUntil([&] {
            noteActive();
            return isAbove(boxX, waitX) && isActiveOnServer(box.hwnd());
        }));
        const auto until = std::chrono::steady_clock::now() + 1s; // long enough to see two windows take turns
        runUntil([&] {
            noteActive();
            return std::chrono::steady_clock::now() > until;
        });
        EXPECT_TRUE(isAbove(boxX, waitX) && isActiveOnServer(box.hwnd()));
        saveShot(liveServer().outerRect(mainX), "publish-warning-above-progress");
        g_warningAnswered = true;
        const Window* ok = box.item<Window>(IDOK);
        ASSERT_NE(ok, nullptr);
        const Rect onOk = ok->screenRect();
        const Point middle{(onOk.l + onOk.r) / 2, (onOk.t + onOk.b) / 2};
        liveServer().moveTo(middle);
        settle(100);
        liveServer().click(middle);
    };
    g_realGeometry = ReplaceWorldSectionHandler(WorldSection::kGeometry, nullptr);
    ASSERT_NE(g_realGeometry, nullptr);
    static const SWworldsectionhandler kWarning = {&GeometryWithAWarning, nullptr, nullptr, nullptr, nullptr};
    ReplaceWorldSectionHandler(WorldSection::kGeometry, &kWarning);
    const bool published = designer.PublishTo((folder / "warned.vto").string(), false);
    ReplaceWorldSectionHandler(WorldSection::kGeometry, g_realGeometry);
    EXPECT_TRUE(published);
    EXPECT_EQ(driver.seen, (std::vector<int32_t>{kIddPublishWait, kMessageBoxIdd}));
    EXPECT_TRUE(runUntil([&] {
        noteActive();
        return isActiveOnServer(frame().hwnd());
    }));
    // Warning, progress box, main window, a step through none or the clicked main window on a loaded machine: more is
    // two windows fighting.
    EXPECT_LE(activeSeen.size(), 8u);

    const pid_t openbox = liveServer().windowManagerPid();
    const long long before = ProcessorTicks(openbox);
    settle(5000);
    const long long used = ProcessorTicks(openbox) - before;
    ASSERT_GE(before, 0);
    EXPECT_LT(used, ::sysconf(_SC_CLK_TCK)) << "openbox used " << used << " ticks in five seconds";
    const std::vector<unsigned long> stacked = liveServer().stacking();
    EXPECT_EQ(std::count(stacked.begin(), stacked.end(), waitX), 0) << "the closed progress box is still shown";

    // The menu's own loop runs while it is open: it is told from there, and closed by Escape.
    bool menuOpened = false;
    MessageSpy menuShown;
    menuShown.onlyMessages({WM_PAINT}).probe([&](const Msg& msg) {
        const Window* w = ui().window(msg.hwnd);
        if (!menuOpened && w != nullptr && w->className() == "popupmenu" && xOf(msg.hwnd) != 0) {
            menuOpened = true;
            liveServer().tap(XK_Escape);
        }
        return std::string();
    });
    const Rect file = frame().menuItemRect(0);
    const Point onFile{frame().windowRect().l + (file.l + file.r) / 2, frame().windowRect().t + (file.t + file.b) / 2};
    liveServer().moveTo(onFile);
    settle(100);
    liveServer().click(onFile);
    EXPECT_TRUE(runUntil([&] { return menuOpened; }));
    settle(200);
}

class SmallScreenLive : public MainWindowLive {
protected:
    SmallScreenLive() { screenSize = {1024, 768}; }
};

// The sound editor of a new sound opens wholly on a 1024x768 screen, its window manager's frame included.
TEST_F(SmallScreenLive, TheSoundEditorOpensWhollyOnTheScreen)
{
    ASSERT_TRUE(designertest::StartOnSampleWorld(designer, folder));
    waitForMainFrame();
    Window* editor = designertest::OpenToneSoundEditor(designer, folder);
    ASSERT_NE(editor, nullptr);
    const Hwnd editorHwnd = editor->hwnd();
    ASSERT_TRUE(runUntil([&] {
        return xOf(editorHwnd) != 0 && liveServer().property(xOf(editorHwnd), "_NET_FRAME_EXTENTS").size() == 4 &&
               isActiveOnServer(editorHwnd);
    }));
    settle(300);
    const Rect outer = liveServer().outerRect(xOf(editorHwnd));
    const Rect screen{0, 0, 1024, 768};
    EXPECT_TRUE(screen.containsRect(outer)) << outer.l << "," << outer.t << " " << outer.r << "," << outer.b;
    saveShot({0, 0, 1024, 768}, "sound-editor-1024x768");
}

} // namespace
} // namespace pf
