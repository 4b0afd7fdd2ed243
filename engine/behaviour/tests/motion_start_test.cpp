// Starting, stopping and resetting motions on the nodes actions name, run through the dispatch as a world runs
// them, and the world's current view.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/arcball_motion.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/navigation_motion.h"
#include "engine/behaviour/tests/sized_test_renderer.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/camera_node.h"
#include "engine/core/object_node.h"
#include "engine/core/sub_world_loader.h"
#include "engine/core/window.h"
#include "engine/core/world_file.h"
#include "testsupport/behaviour/frame_driver.h"

namespace {

size_t Running(SWworld& world, uint32_t type)
{
    const auto* list = TimedActionTable::Of(world).GetTypeList(type);
    return list != nullptr ? list->size() : 0;
}

size_t EntriesOf(const SWobjectnode& node)
{
    size_t n = 0;
    for (const SWlistnode* e = node.GetTimedActions(); e != nullptr; e = e->Next())
        ++n;
    return n;
}

size_t FinishedRecords(SWworld& world)
{
    size_t n = 0;
    SWinputqueue& queue = world.GetPostedQueue();
    for (size_t i = queue.Count(); i > 0; --i) {
        SWinputrecord* r = queue.Pop();
        n += r->GetKind() == InputKind::kMotionFinished ? 1 : 0;
        queue.Push(r);
    }
    return n;
}

void Stop(FrameDriver& d, const char* node, uint32_t actionId, uint8_t all)
{
    SWstopmotionsaction stop(46);
    stop.AddTarget(actionId);
    stop.all = all;
    FindActionHandler(46)(nullptr, &d.world, ActionTarget::Text(node), ActionSubject{&stop, nullptr, nullptr});
}

class RecordingRenderer : public SizedTestRenderer {
public:
    void OnCameraNode(SWcameranode* node) override
    {
        ++cameraCalls;
        camera = node;
    }
    int cameraCalls = 0;
    SWcameranode* camera = nullptr;
};

} // namespace

TEST(StopMotions, StoppedMotionsArePurgedWithoutAFinishedRecord)
{
    FrameDriver d;
    auto* box = static_cast<SWobjectnode*>(d.Node("box"));
    SWevent* start = d.Event(0, "start");
    SWactionnode* turn = d.Action(start, 41, "box");
    turn->GetMotion()->SetDuration(100000.0f);
    d.Start();
    d.Frame();
    d.Frame();
    ASSERT_EQ(Running(d.world, 2), 1u);
    ASSERT_EQ(EntriesOf(*box), 1u);
    Stop(d, "box", turn->GetActionId(), 0);
    d.Frame();
    EXPECT_EQ(Running(d.world, 2), 0u); // purged, never stepped again
    EXPECT_EQ(EntriesOf(*box), 0u);
    EXPECT_EQ(FinishedRecords(d.world), 0u);
}

TEST(StopMotions, AllByteStopsEveryStartOfTheActionAndOtherNodesKeepTheirs)
{
    FrameDriver d;
    auto* box = static_cast<SWobjectnode*>(d.Node("box"));
    auto* other = static_cast<SWobjectnode*>(d.Node("other"));
    SWevent* start = d.Event(0, "start");
    SWactionnode* first = d.Action(start, 41, "box");
    SWactionnode* second = d.Action(start, 41, "box");
    SWactionnode* third = d.Action(start, 41, "other");
    for (SWactionnode* a : {first, second, third})
        a->GetMotion()->SetDuration(100000.0f);
    d.Start();
    d.Frame();
    ASSERT_EQ(Running(d.world, 2), 3u);
    Stop(d, "box", first->GetActionId(), 1);
    Stop(d, "box", third->GetActionId(), 1); // not started on box: nothing
    d.Frame();
    EXPECT_EQ(Running(d.world, 2), 2u);
    EXPECT_EQ(EntriesOf(*box), 1u);
    EXPECT_EQ(EntriesOf(*other), 1u);
}

TEST(MotionStart, ArcballsClonePerNodeAndAnExclusiveOneEndsTheOthers)
{
    FrameDriver d;
    auto* box = static_cast<SWobjectnode*>(d.Node("box"));
    auto* ball = static_cast<SWobjectnode*>(d.Node("ball"));
    SWevent* start = d.Event(0, "start");
    d.Action(start, 45, "box");
    d.Action(start, 45, "nothing here");
    d.Start();
    d.Frame();
    ASSERT_EQ(Running(d.world, SWarcballmotion::kType), 1u);
    const auto& list = *TimedActionTable::Of(d.world).GetTypeList(SWarcballmotion::kType);
    auto* running = static_cast<SWarcballmotion*>(list.front().get());
    EXPECT_EQ(running->GetDrivenNode(), box);
    EXPECT_EQ(box->FindTimedActionEntry(running)->motion, running);

    SWevent* later = d.Event(3, "later");
    SWactionnode* exclusive = d.Action(later, 63, "ball");
    static_cast<SWarcballmotion*>(exclusive->GetMotion())->SetExclusive(true);
    d.world.ExecuteAction(later, exclusive, {}, std::nullopt, false);
    d.Frame();
    ASSERT_EQ(Running(d.world, SWarcballmotion::kType), 1u);
    EXPECT_EQ(static_cast<SWarcballmotion*>(list.front().get())->GetDrivenNode(), ball);
    EXPECT_EQ(EntriesOf(*box), 0u);
}

TEST(ResetObject, PositionRotationAndCameraReload)
{
    FrameDriver d;
    auto* box = static_cast<SWobjectnode*>(d.Node("box"));
    SWmatrix rest = SWmatrix::Rotation(0.5f, 2);
    rest.SetTranslation(1, 2, 3);
    box->SetInitialMatrix(rest);
    SWmatrix moved = SWmatrix::Rotation(-1.0f, 2);
    moved.SetTranslation(7, 8, 9);
    const auto reset = [&](const char* node, uint8_t position, uint8_t rotation) {
        SWresetaction action(34);
        action.settings = {position, rotation, 0, 0};
        FindActionHandler(34)(nullptr, &d.world, ActionTarget::Text(node), ActionSubject{&action, nullptr, nullptr});
    };
    box->SetLocalMatrix(moved);
    reset("box", 1, 0);
    EXPECT_EQ(box->GetLocalMatrix().GetTranslation(), SWvector(1, 2, 3));
    EXPECT_FLOAT_EQ(box->GetLocalMatrix()[0], moved[0]);
    box->SetLocalMatrix(moved);
    reset("box", 0, 1);
    EXPECT_EQ(box->GetLocalMatrix().GetTranslation(), SWvector(7, 8, 9));
    EXPECT_FLOAT_EQ(box->GetLocalMatrix()[0], rest[0]);
    reset("box", 0, 0);
    EXPECT_EQ(box->GetLocalMatrix().GetTranslation(), SWvector(7, 8, 9));
    reset("box", 1, 1);
    EXPECT_EQ(box->GetLocalMatrix(), rest);
    EXPECT_EQ(box->GetWorldMatrix(), rest); // the matrices are brought up to date at once

    // A camera's rotation reset hands it again to the windows showing it and restarts its navigation.
    auto* camera = new SWcameranode();
    camera->SetName(std::string("cam"));
    d.world.AddNode(camera, nullptr);
    RecordingRenderer renderer;
    d.world.AddWindow(std::make_unique<SWwindow>(&renderer))->SetCamera(camera);
    SWevent* start = d.Event(0, "start");
    d.Action(start, 64, "cam");
    d.Start();
    d.Frame();
    const auto& list = *TimedActionTable::Of(d.world).GetTypeList(SWnavigationmotion::kType);
    auto* walk = static_cast<SWnavigationmotion*>(list.front().get());
    walk->KeyDown(d.world.GetKeyTable().FindKeyByCode('w'));
    ASSERT_NE(walk->GetKeyBits(), 0);
    const int calls = renderer.cameraCalls;
    reset("cam", 0, 1);
    EXPECT_EQ(renderer.cameraCalls, calls + 1);
    EXPECT_EQ(renderer.camera, camera);
    EXPECT_EQ(walk->GetKeyBits(), 0);
}

TEST(CurrentView, NamedWindowWhileListedElseTheFirstAndItsCameraAndSize)
{
    SWworld world;
    EXPECT_EQ(world.GetCurrentView(), nullptr);
    uint32_t w = 1, h = 1;
    world.GetCurrentViewSize(w, h);
    EXPECT_EQ(w + h, 0u);
    auto* listed = new SWcameranode();
    world.AddNode(listed, nullptr);
    world.AddCamera(listed);
    RecordingRenderer first, second;
    SWwindow* one = world.AddWindow(std::make_unique<SWwindow>(&first));
    SWwindow* two = world.AddWindow(std::make_unique<SWwindow>(&second));
    EXPECT_EQ(world.GetCurrentView(), one);
    EXPECT_EQ(world.GetCurrentViewCamera(), listed); // no camera of its own: the camera list's first
    second.SetSize(640, 480);
    world.SetCurrentView(two);
    world.GetCurrentViewSize(w, h);
    EXPECT_EQ(w, 640u);
    EXPECT_EQ(h, 480u);
    auto* own = new SWcameranode();
    world.AddNode(own, nullptr);
    two->SetCamera(own);
    EXPECT_EQ(world.GetCurrentViewCamera(), own);
    SWwindow stranger(&first);
    world.SetCurrentView(&stranger); // not in the list: the first window stands
    EXPECT_EQ(world.GetCurrentView(), one);
}

TEST(SubWorldHandlers, LoadUnloadAndShowGoThroughTheLoaderWithTheActionsSettings)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vortan_handlers_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    {
        SWworld level;
        auto* crate = new SWobjectnode();
        crate->SetName(std::string("crate"));
        level.AddNode(crate, nullptr);
        ASSERT_EQ(SaveWorldFile(level, WorldFileMode::kScene, (folder / "level2.vtn").string()), DocumentStatus::kOk);
    }
    SWworld world;
    auto* floor = new SWobjectnode();
    floor->SetName(std::string("floor"));
    world.AddNode(floor, nullptr);
    world.GetSubWorlds().Add("level2")->SetFileName("level2.vtn");
    CVTN_SubWorldLoader& loader = CVTN_SubWorldLoader::Of(world);
    loader.SetBaseFolder(folder.string());
    const auto run = [&](int32_t kind, SWactionnode& action, const char* name) {
        FindActionHandler(kind)(nullptr, &world, ActionTarget::Text(name), ActionSubject{&action, nullptr, nullptr});
    };

    SWimportvtoactionnode load(54);
    load.settings.fileName = std::string("floor"); // the node the instance goes under
    run(54, load, "nothing of that name");
    EXPECT_EQ(world.GetRootNode()->FindByName("crate"), nullptr);
    run(54, load, "level2"); // stopped: read and merged at once
    SWnode* const crate = world.GetRootNode()->FindByName("crate");
    ASSERT_NE(crate, nullptr);
    EXPECT_TRUE(crate->IsInSubtreeOf(*floor));

    SWshowworldaction hide(56);
    hide.show = 0;
    run(56, hide, "level2");
    const std::vector<CVTN_SubWorldInstance*> instances = loader.Instances(*world.GetSubWorlds().FindByName("level2"));
    ASSERT_EQ(instances.size(), 1u);
    EXPECT_TRUE(instances[0]->hidden);

    SWunloadworldaction unload(55);
    run(55, unload, "level2");
    EXPECT_EQ(world.GetRootNode()->FindByName("crate"), nullptr);
    std::filesystem::remove_all(folder);
}

TEST(OldTransformHandlers, StopTranslationFinishesOnlySequencesWaitingOnThatNode)
{
    FrameDriver d;
    d.Node("a");
    d.Node("b");
    std::vector<SWactionnode*> moves;
    for (const char* name : {"a", "b"}) {
        SWevent* event = d.Event(3, name);
        auto* queue = static_cast<SWqueueaction*>(d.Action(event, 30));
        auto* move = static_cast<SWoldtranslationaction*>(d.Action(event, 26, name));
        move->settings.x = 1.0f;
        move->settings.durationMs = 100000;
        move->SetQueueLink(queue->GetActionId());
        move->SetWait(1);
        d.Action(event, 0)->SetQueueLink(queue->GetActionId());
        d.Post(SWinputrecord::SWinputrecordTrigger(event, std::nullopt, 0));
        moves.push_back(move);
    }
    d.Frame();
    d.Frame();
    std::vector<SWactionqueueentry*> entries;
    for (SWlistnode* n = d.world.GetActionQueues().Head(); n != nullptr; n = n->Next())
        entries.push_back(static_cast<SWactionqueueentry*>(n));
    ASSERT_EQ(entries.size(), 2u);
    for (SWactionqueueentry* e : entries) {
        ASSERT_FALSE(e->IsFinished());
        ASSERT_TRUE(e->GetCurrentAction() == moves[0] || e->GetCurrentAction() == moves[1]); // still waiting
    }
    ASSERT_NE(entries[0]->GetCurrentAction(), entries[1]->GetCurrentAction());
    SWactionnode stop(28);
    FindActionHandler(28)(nullptr, &d.world, ActionTarget::Text("a"), ActionSubject{&stop, nullptr, nullptr});
    for (SWactionqueueentry* e : entries)
        EXPECT_EQ(e->IsFinished(), e->GetCurrentAction() == moves[0]);
}
