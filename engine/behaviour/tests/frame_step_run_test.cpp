// The world's frame step around a run: a sub-world the loader thread finished takes part in the frame that merges
// it, and the pointer a navigation's mouse-look took is given back once when the preview stops.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/behaviour/behaviour_observer.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/navigation_motion.h"
#include "engine/behaviour/tests/looking_world.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/object_node.h"
#include "engine/core/sub_world_loader.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "platform/time/clock.h"
#include "platform/time/virtual_clock.h"
#include "testsupport/behaviour/preview_run.h"

namespace {

struct Preview : PreviewRun<LookingWorld> {
    SWnavigationmotion* Navigation()
    {
        auto* node = new SWobjectnode();
        world.AddNode(node, nullptr);
        auto motion = std::make_unique<SWnavigationmotion>(&world);
        motion->SetTarget(node);
        motion->Start();
        SWnavigationmotion* running = motion.get();
        TimedActionTable::Of(world).Add(std::move(motion));
        return running;
    }
};

// The sub-world's own step event fires on the very frame that merges it: the merge comes before the frame's
// records are queued and dispatched.
TEST(FrameStepRun, ASubWorldTheLoaderFinishedTakesPartInTheFrameThatMergesIt)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vortan_frame_sub_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    {
        SWworld level;
        auto* room = new SWobjectnode();
        room->SetName(std::string("room"));
        level.AddNode(room, nullptr);
        level.AddEventOfType(static_cast<uint32_t>(EventType::kWorldStep))->SetName(std::string("level step"));
        ASSERT_EQ(SaveWorldFile(level, WorldFileMode::kScene, (folder / "level2.vtn").string()), DocumentStatus::kOk);
    }
    Preview r;
    r.world.AddEventOfType(static_cast<uint32_t>(EventType::kWorldStep))->SetName(std::string("step"));
    CVTN_SubWorld* entry = r.world.GetSubWorlds().Add("level2");
    entry->SetFileName("level2.vtn");
    CVTN_SubWorldLoader& loader = CVTN_SubWorldLoader::Of(r.world);
    loader.SetBaseFolder(folder.string());
    r.world.SetRunning(true);
    r.Frame();
    CVTN_SubWorldInstance* instance = loader.LoadFile(*entry, {}, true);
    ASSERT_NE(instance, nullptr);
    int mergedOn = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20); // a busy machine's loader
    while (!instance->loaded && !instance->failed && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        r.Frame();
        if (instance->loaded)
            mergedOn = r.recorder.frame;
    }
    ASSERT_TRUE(instance->loaded);
    ASSERT_NE(r.world.GetRootNode()->FindByName("room"), nullptr);
    r.Frame();
    const std::vector<int> levelSteps = r.recorder.FramesOf("level step");
    ASSERT_FALSE(levelSteps.empty());
    EXPECT_EQ(levelSteps.front(), mergedOn);
    EXPECT_EQ(levelSteps.size(), 2u);
    EXPECT_EQ(r.recorder.FramesOf("step").size(), static_cast<size_t>(r.recorder.frame));
    r.world.SetRunning(false);
    r.Frame();
    std::filesystem::remove_all(folder);
}

// Mouse-look taken during a run is ended in every navigation when the preview stops, and the host gets the pointer
// back once, on the frame after the stop; a run without mouse-look never calls the host.
TEST(FrameStepRun, StoppingThePreviewGivesThePointerBackOnceAfterMouseLook)
{
    Preview r;
    r.world.SetRunning(true);
    r.Frame();
    SWnavigationmotion* first = r.Navigation();
    SWnavigationmotion* second = r.Navigation();
    first->MouseDown(0, 0, SWchannelmotion::kButtonRight);
    ASSERT_TRUE(first->IsMouseLook());
    ASSERT_FALSE(second->IsMouseLook());
    EXPECT_EQ(r.world.begins, 1);
    r.Frame();
    EXPECT_EQ(r.world.ends, 0) << "mouse-look goes on while the run does";
    r.world.SetRunning(false);
    EXPECT_EQ(r.world.ends, 0) << "given back by the frame after the stop";
    r.Frame();
    EXPECT_EQ(r.world.ends, 1);
    r.Frame();
    EXPECT_EQ(r.world.ends, 1);

    // A second run whose navigation never looks.
    r.world.SetRunning(true);
    EXPECT_EQ(r.world.ends, 1);
    r.Frame();
    r.Navigation();
    r.Frame();
    r.world.SetRunning(false);
    r.Frame();
    r.Frame();
    EXPECT_EQ(r.world.ends, 1);
    EXPECT_EQ(r.world.begins, 1);
}

} // namespace
