// A world a click loads shows at once, on a real X server: in the project's preview and in its published world the
// view is drawn again when the world merges, though nothing else in it moves.
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "apps/vortan/tests/designer_desktop.h"
#include "designer/app/child_render_view.h"
#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/sample_project.h"
#include "designer/app/startup.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/events.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/window.h"
#include "engine/core/window_renderer.h"
#include "engine/core/world_file.h"
#include "platform/live/tests/live_environment.h"
#include "platform/settings/settings_backend.h"
#include "platform/testing/image_check.h"
#include "testsupport/designer/sample_designer.h"

namespace pf {
namespace {

constexpr int kFrameWaitMs = static_cast<int>(designertest::kRenderThreadWait.count());

class LoadedWorldLive : public designertest::SampleDesignerLive {
protected:
    void SetUpLive() override { StartInFolder("vortan-live-load"); }
    // The sample's cube, twice as large and still, in a file of its own; the sample itself still too, its one event
    // a click on the cube that loads that file.
    void MakeTheClickLoadAWorld()
    {
        SWworld room;
        BuildSampleWorld(room);
        while (SWevent* event = room.GetFirstEvent())
            room.DeleteEvent(event);
        auto* cube = SWobjectnode::FromNode(room.GetRootNode()->FindByName("cube"));
        ASSERT_NE(cube, nullptr);
        SWmatrix larger;
        cube->GetInitialMatrix().Multiply(larger, SWmatrix::Scaling(2.0f, 2.0f, 2.0f));
        cube->SetInitialMatrix(larger);
        cube->SetLocalMatrix(larger);
        const std::string file = (folder / "room.vtn").string();
        ASSERT_EQ(SaveWorldFile(room, WorldFileMode::kScene, file), DocumentStatus::kOk);
        SWworld& world = *designer.GetWorld();
        const SWworldlock hold(world);
        // As a person deletes them: the panels that list them by now let go of them first.
        while (SWevent* event = world.GetFirstEvent())
            ASSERT_TRUE(designer.GetApp()->DeleteObject(CVTND_Object(event), CVTNDesignerApp::kDeleteFromMenu));
        world.GetSubWorlds().Add(std::string("room"))->SetFileName(file);
        SWevent* click = world.AddEventOfType(static_cast<uint32_t>(EventType::kLeftClickObject));
        click->SetName(std::string("load"));
        click->AddObjectName(std::string("cube"));
        auto* load =
            dynamic_cast<SWimportvtoactionnode*>(click->CreateAction(world.GetActionCategories().FindKind(54)));
        ASSERT_NE(load, nullptr);
        load->settings.byte1 = 0;
        load->AddArgument("room", SWdatanode::kString, true);
    }
    // The view once its refinement settled, as the server shows it.
    std::unique_ptr<Surface32> Settled(CChildRenderView& view)
    {
        EXPECT_TRUE(runUntil(
            [&] {
                const SWworldlock hold(view.GetWorld());
                SWwindow* window = view.GetEngineWindow();
                return window != nullptr && window->GetRenderer() != nullptr &&
                       window->GetRenderer()->IsAntialiasingDone();
            },
            kFrameWaitMs));
        settle(300);
        const Rect client = view.clientRect();
        const Point origin = view.clientToScreen({0, 0});
        return liveServer().grab(Rect::fromXywh(origin.x, origin.y, client.width(), client.height()));
    }
    // A click in the middle of the still view loads the larger cube: the view shows it without anything else drawing
    // it again.
    void ExpectTheClickShowsTheLoadedWorld(CChildRenderView& view)
    {
        const std::unique_ptr<Surface32> before = Settled(view);
        ASSERT_NE(before, nullptr);
        const Rect client = view.clientRect();
        const Point middle =
            view.clientToScreen({static_cast<int32_t>(client.width() / 2), static_cast<int32_t>(client.height() / 2)});
        liveServer().moveTo(middle);
        settle(200);
        liveServer().click(middle);
        ASSERT_TRUE(runUntil(
            [&] {
                const SWworldlock hold(view.GetWorld());
                return view.GetWorld().GetRootNode()->FindByName("room") != nullptr;
            },
            kFrameWaitMs))
            << "the world merged";
        const Point origin = view.clientToScreen({0, 0});
        int64_t differing = 0;
        EXPECT_TRUE(runUntil(
            [&] {
                const std::unique_ptr<Surface32> now =
                    liveServer().grab(Rect::fromXywh(origin.x, origin.y, client.width(), client.height()));
                differing = now != nullptr ? compareSurfaces(*before, *now, 8).differing : 0;
                return differing > static_cast<int64_t>(client.width() * client.height() / 50);
            },
            10000))
            << "the larger cube shows: " << differing << " pixels changed";
    }
};

TEST_F(LoadedWorldLive, AWorldAClickLoadsShowsAtOnceInThePreviewAndInThePublishedWorld)
{
    MakeTheClickLoadAWorld();
    if (HasFatalFailure())
        return;
    const std::string published = (folder / "load.vto").string();
    ASSERT_TRUE(designer.PublishTo(published, false));
    CChildRenderView& view = *designer.ActiveView();
    ASSERT_TRUE(designer.StartPreview());
    ExpectTheClickShowsTheLoadedWorld(view);
    ASSERT_TRUE(designer.StopPreview());

    CChildRenderFrame* player = designer.OpenPublishedFile(published);
    ASSERT_NE(player, nullptr);
    ExpectTheClickShowsTheLoadedWorld(player->View());
}

} // namespace
} // namespace pf
