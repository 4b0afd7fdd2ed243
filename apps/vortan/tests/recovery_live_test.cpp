// The designer's work kept through ends nobody could be asked about: the recovery offer left without an answer, the
// display lost, the main window destroyed, a kill. Each case is its own process with its own server.
#include <X11/keysym.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "apps/vortan/tests/designer_child.h"
#include "designer/app/extended_world.h"
#include "designer/app/project.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/events.h"
#include "engine/core/world.h"
#include "platform/live/sdl_backend.h"
#include "platform/live/tests/live_environment.h"
#include "platform/testing/xvfb_server.h"

namespace pf {
namespace {

using namespace std::chrono_literals;

// The recovery offer left any way but No: Escape, its close box, SIGTERM while it is up, and SIGTERM at the first-run
// question before it ever came. The designer ends with status 0 (a SIGTERM ends those it left running) and the copy
// is there for the next start, untouched.
TEST(DesignerProcess, TheRecoveryOfferLeftAnyWayButNoKeepsTheCopy)
{
    enum class Way { kEscape, kCloseBox, kSignal, kSignalAtFirstRun };
    for (const Way way : {Way::kEscape, Way::kCloseBox, Way::kSignal, Way::kSignalAtFirstRun}) {
        SCOPED_TRACE(static_cast<int>(way));
        DesignerChild designer("offer-kept", way != Way::kSignalAtFirstRun);
        designer.LeaveRecoveryCopy();
        designer.Start();
        if (way == Way::kSignalAtFirstRun) {
            ASSERT_NE(designer.AwaitWindow("User Information"), 0u) << designer.Errors();
        } else {
            ASSERT_NE(designer.AwaitWindow("Vortan - "), 0u) << designer.Errors();
            const unsigned long offer = designer.AwaitFocusedWindow("Vortan", true);
            ASSERT_NE(offer, 0u) << "no recovery offer: " << designer.Errors();
            if (way == Way::kEscape)
                liveServer().tap(XK_Escape);
            else if (way == Way::kCloseBox)
                liveServer().askToClose(offer);
            if (way != Way::kSignal) {
                ASSERT_TRUE(DesignerChild::WaitUntil([&] { return liveServer().findTopLevel("Vortan", true) == 0; }));
                EXPECT_FALSE(designer.Ended()) << designer.Errors();
            }
        }
        designer.Signal(SIGTERM);
        EXPECT_EQ(designer.AwaitExit(), 0) << designer.Errors();
        designer.ExpectNoReport();
        std::ifstream kept(designer.folder / "recovery.vtp", std::ios::binary);
        std::ifstream sample(DesignerChild::SamplePath(), std::ios::binary);
        EXPECT_TRUE(kept.is_open() && std::string(std::istreambuf_iterator<char>(kept), {}) ==
                                          std::string(std::istreambuf_iterator<char>(sample), {}));
    }
}

// A first run ended by SIGTERM during its start-up: as soon as the process has the signal in hand, before any window
// shows, and while the first-run question holds the main window. Either ends it with status 0 as a later one does;
// the second used to close the question only, and the designer ran on with no dialog up.
TEST(DesignerProcess, ASigtermDuringStartUpEndsTheDesignerWithStatusZero)
{
    for (const bool atTheQuestion : {false, true}) {
        SCOPED_TRACE(atTheQuestion ? "at the first-run question" : "before any window");
        DesignerChild designer("start-term", false);
        designer.Start();
        if (atTheQuestion)
            ASSERT_NE(designer.AwaitWindow("User Information"), 0u) << designer.Errors();
        else
            ASSERT_TRUE(DesignerChild::WaitUntil([&] { return designer.Ended() || designer.CatchesTermination(); }));
        designer.Signal(SIGTERM);
        EXPECT_EQ(designer.AwaitExit(), 0) << designer.Errors();
        designer.ExpectNoReport();
    }
}

// An event renamed by keys, then an end nobody could be asked about: the display killed, with and without a preview
// running; the main window destroyed during a preview; kill -9 during a preview. A preview's copy is written as it
// starts, holding the project as made, so the rename is in the copy after each; the line names the copy, and the
// next start after the kill offers it. No report: no thread outlives what it uses. The designer runs on a server of
// the test's own, which the test kills.
TEST(DesignerProcess, ChangedWorkOutlivesALostDisplayADestroyedWindowAndAKill)
{
    const auto holdsTheRename = [](const std::filesystem::path& copy) {
        CVTND_Project::LoadResult read = CVTND_Project::LoadFile(copy.string());
        if (!read.ok())
            return false;
        const SWworldlock hold(*read.world);
        for (const SWevent* e = read.world->GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
            if (e->GetName() == std::optional<std::string>("spin"))
                return true;
        return false;
    };
    enum class End { kDisplay, kDisplayInPreview, kWindowInPreview, kKillInPreview };
    for (const End end : {End::kDisplay, End::kDisplayInPreview, End::kWindowInPreview, End::kKillInPreview}) {
        SCOPED_TRACE(static_cast<int>(end));
        XvfbServer server;
        std::string error;
        ASSERT_TRUE(server.start(error)) << error;
        DesignerChild designer("lost", true, "", &server);
        const std::filesystem::path copy = designer.folder / "recovery.vtp";
        designer.LeaveRecoveryCopy();
        designer.Start();
        designer.OpenTheRecoveryCopy();
        const unsigned long frame = designer.AwaitFocusedWindow("Vortan - ");
        ASSERT_NE(frame, 0u) << designer.Errors();
        // The keys start in the event map: the scene graph comes next, then Events, whose first event Enter edits.
        for (const unsigned long key : {XK_F6, XK_F6, XK_Down, XK_Return})
            server.tap(key);
        ASSERT_NE(designer.AwaitFocusedWindow("Edit Event", true), 0u) << designer.Errors();
        server.key(XK_Control_L, true);
        server.tap(XK_a);
        server.key(XK_Control_L, false);
        for (const char c : std::string("spin"))
            server.tap(static_cast<unsigned char>(c));
        server.tap(XK_Return);
        ASSERT_TRUE(DesignerChild::WaitUntil([&] { return server.findTopLevel("Edit Event", true) == 0; }));
        ASSERT_NE(designer.AwaitFocusedWindow("Vortan - "), 0u) << designer.Errors();
        if (end != End::kDisplay) {
            server.tap(XK_F5);
            ASSERT_TRUE(DesignerChild::WaitUntil([&] { return designer.Ended() || holdsTheRename(copy); }))
                << "no copy as the preview started";
            std::this_thread::sleep_for(300ms); // frames of the preview
        }
        if (end == End::kDisplay || end == End::kDisplayInPreview)
            server.killServer();
        else if (end == End::kWindowInPreview)
            server.destroyWindow(frame);
        else
            designer.Signal(SIGKILL);
        const int status = designer.AwaitExit();
        designer.ExpectNoReport();
        EXPECT_TRUE(holdsTheRename(copy));
        if (end != End::kKillInPreview) {
            EXPECT_EQ(status, kQuitWindowLost) << designer.Errors();
            EXPECT_NE(designer.Errors().find("is in " + copy.string()), std::string::npos) << designer.Errors();
            continue;
        }
        EXPECT_EQ(status, 128 + SIGKILL);
        designer.Start();
        ASSERT_NE(designer.AwaitWindow("Vortan - "), 0u) << designer.Errors();
        EXPECT_NE(designer.AwaitFocusedWindow("Vortan", true), 0u) << "no recovery offer: " << designer.Errors();
        designer.Signal(SIGTERM);
        EXPECT_EQ(designer.AwaitExit(), 0) << designer.Errors();
        EXPECT_TRUE(holdsTheRename(copy));
    }
    ::setenv("DISPLAY", liveServer().display().c_str(), 1);
}

} // namespace
} // namespace pf
