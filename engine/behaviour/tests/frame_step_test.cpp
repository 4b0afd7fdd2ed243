// The world's frame step on a virtual clock: the order in which a frame's records fire, starting and stopping the
// preview, picking, drawing through a window's renderer, the purge of motions whose nodes went, and input posted
// from another thread while frames run.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/behaviour_observer.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/motion_start_handlers.h"
#include "engine/behaviour/property.h"
#include "engine/behaviour/tests/sized_test_renderer.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/camera_node.h"
#include "engine/core/data_node.h"
#include "engine/core/mesh_node.h"
#include "engine/core/root_object.h"
#include "engine/core/typed_value_data.h"
#include "engine/core/window.h"
#include "engine/core/world.h"
#include "engine/resources/image32.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/sound.h"
#include "engine/resources/tooltip.h"
#include "platform/time/clock.h"
#include "platform/time/virtual_clock.h"
#include "testsupport/behaviour/drawn_images.h"
#include "testsupport/behaviour/preview_run.h"
#include "testsupport/behaviour/test_motion.h"
#include "testsupport/resources/queue_target.h"

namespace {

struct Preview : PreviewRun<> {
    SWevent* Event(EventType type, const char* name)
    {
        SWevent* e = world.AddEventOfType(static_cast<uint32_t>(type));
        e->SetName(std::string(name));
        return e;
    }
    SWactionnode* Action(SWevent* e, int32_t kind, const char* argument)
    {
        SWactionnode* a = e->CreateAction(world.GetActionCategories().FindKind(kind));
        a->AddArgument(argument, SWdatanode::kString, true);
        return a;
    }
};

TEST(FrameStep, EachRecordFiresOnTheFrameItsTurnComes)
{
    Preview r;
    r.Event(EventType::kWorldStart, "start");
    r.Event(EventType::kWorldStep, "step");
    r.Event(EventType::kWorldStop, "stop");
    SWevent* timer = r.Event(EventType::kTimerEvent, "timer");
    timer->SetTimerInterval(100.0f);
    r.Action(timer, 11, "poke"); // trigger event
    r.Event(EventType::kCustomEvent, "poke");
    SWevent* never = r.Event(EventType::kTimerEvent, "never");
    never->SetTimerInterval(-1.0f);

    r.world.SetRunning(true);
    for (int i = 0; i < 10; ++i)
        r.Frame();
    r.world.SetRunning(false);
    for (int i = 0; i < 3; ++i)
        r.Frame();

    EXPECT_EQ(r.recorder.FramesOf("start"), std::vector<int>{1});
    EXPECT_EQ(r.recorder.FramesOf("step").size(), 10u);
    EXPECT_EQ(r.recorder.FramesOf("step").front(), 1);
    // Times 0, 33, ... : 132 and 264 are the first at least 100 ms after the last firing.
    EXPECT_EQ(r.recorder.FramesOf("timer"), (std::vector<int>{5, 9}));
    EXPECT_EQ(r.recorder.FramesOf("poke"), (std::vector<int>{6, 10}));
    EXPECT_EQ(r.recorder.FramesOf("stop"), std::vector<int>{11});
    EXPECT_TRUE(r.recorder.FramesOf("never").empty());
}

TEST(FrameStep, ARestartBeginsAfreshWithEveryVariableAtItsInitialValue)
{
    Preview r;
    r.Event(EventType::kWorldStart, "start");
    SWevent* holder = r.Event(EventType::kCustomEvent, "holder");
    auto owned = std::make_unique<SWproperty>(kTypeFloat);
    owned->SetName(std::string("level"));
    owned->SetFloatAll(5.0f);
    SWproperty* eventVariable = holder->AddVariable(std::move(owned));
    auto worldOwned = std::make_unique<SWproperty>(kTypeFloat);
    worldOwned->SetName(std::string("score"));
    worldOwned->SetFloatAll(1.0f);
    SWproperty* worldVariable = r.world.GetVariables().AddVariable(std::move(worldOwned));
    SWevent* delayed = r.Event(EventType::kWorldStep, "tick");
    r.Action(delayed, 11, "holder")->SetDelay(10000.0);

    auto* node = new SWobjectnode();
    r.world.AddNode(node, nullptr);
    TestMotion turning(&r.world, 4, 1.0e6f); // a type that runs one copy per node

    r.world.SetRunning(true);
    r.Frame();
    StartMotionOnNode(*node, r.world, turning);
    r.Frame();
    EXPECT_EQ(TimedActionTable::Of(r.world).Count(), 1u);
    eventVariable->AssignFloat(9.0f);
    worldVariable->AssignFloat(7.0f);
    EXPECT_GT(r.world.GetDelayedActions().Count(), 0u);
    r.world.SetRunning(false);
    r.Frame();
    EXPECT_EQ(r.world.GetDelayedActions().Count(), 0u) << "pending delays go with the run";
    EXPECT_EQ(TimedActionTable::Of(r.world).Count(), 0u) << "and so do the motions it started";
    EXPECT_EQ(node->GetTimedActions(), nullptr);
    EXPECT_FALSE(r.world.IsRunning());

    r.world.SetRunning(true);
    EXPECT_EQ(eventVariable->GetAsFloat(), 5.0f);
    EXPECT_EQ(worldVariable->GetAsFloat(), 1.0f);
    r.Frame();
    EXPECT_EQ(r.recorder.FramesOf("start"), (std::vector<int>{1, 4}));
}

// A watched variable posts a change on the frame after it changes, once per change; not a number, compared by its
// bits, posts once and not again while it stays.
TEST(FrameStep, AWatchedVariablePostsEachChangeOnce)
{
    Preview r;
    auto owned = std::make_unique<SWproperty>(kTypeFloat);
    owned->SetName(std::string("level"));
    SWproperty* level = r.world.GetVariables().AddVariable(std::move(owned));
    SWevent* watch = r.Event(EventType::kPropertyChanged, "changed");
    watch->SetWatchedVariable(level);
    r.world.SetRunning(true);
    r.Frame();
    level->AssignFloat(2.0f);
    r.Frame();
    r.Frame();
    level->AssignFloat(std::nanf(""));
    r.Frame();
    level->AssignFloat(std::nanf(""));
    r.Frame();
    EXPECT_EQ(r.recorder.FramesOf("changed"), (std::vector<int>{2, 4}));
}

// A recording renderer of a given view size.
class RecordingRenderer : public SizedTestRenderer {
public:
    bool SetAntialiasing(bool on) override { return Log(on ? "aa on" : "aa off"); }
    bool IsAntialiasingDone() override
    {
        Log("aa done?");
        return refined;
    }
    bool RefreshBuffers() override { return Log("refresh"); }
    bool SetPhase(uint32_t phase) override { return Log("phase " + std::to_string(phase)); }
    bool BeginFrame() override
    {
        if (surface != nullptr)
            ClearQueue(*surface);
        return Log("begin");
    }
    SWrendertarget* GetSurface() override
    {
        Log("surface");
        return surface;
    }
    bool EndFrame() override { return Log("end"); }
    bool Present() override { return Log("present"); }
    bool Log(std::string call)
    {
        calls.push_back(std::move(call));
        return true;
    }
    std::vector<std::string> calls;
    SWrendertarget* surface = nullptr; // not owned
    bool refined = false;              // what IsAntialiasingDone answers
};

// A tooltip's fade advances once per frame while the preview is stopped, and each frame draws the sprite the fade
// shows (the fader while fading, then the tooltip itself) after the scene; the same root object drawn outside a
// frame step draws no layers.
TEST(FrameStep, TooltipsFadeFrameByFrameAndAreDrawnOverTheScene)
{
    Preview r;
    QueueTarget target(64, 64);
    RecordingRenderer renderer;
    renderer.surface = &target;
    r.world.AddWindow(std::make_unique<SWwindow>(&renderer));
    EnsureTooltipParts(r.world);
    auto* tip = new CVTN_ToolTip(&r.world, "tip");
    SWtooltips::Find(r.world)->GetList().AddTail(tip);
    tip->fadeIn = 100.0;
    tip->fadeOut = 100.0;
    ASSERT_TRUE(tip->SetTextureSize(16, 16));
    uint32_t* pixels = tip->GetTexture()->GetPixelBuffer();
    std::fill(pixels, pixels + tip->GetTexture()->PixelCount(), 0xFFFFFFFFu);
    const SWtexture* const main = tip->GetTexture();
    const SWtexture* const fader = tip->GetFader();
    using Images = std::vector<const SWtexture*>;

    r.Frame(); // time 0: nothing shown
    EXPECT_EQ(DrawnImages(target), Images{});
    EXPECT_EQ(target.flushes, 1);
    tip->Show(false); // fades in from time 0 over 100 ms
    std::vector<uint32_t> alphas;
    for (int i = 0; i < 3; ++i) { // times 33, 66, 99
        r.Frame();
        EXPECT_EQ(DrawnImages(target), Images{fader}) << i;
        alphas.push_back(tip->GetFader()->GetPixels()[0] >> 24);
    }
    EXPECT_NEAR(alphas[0], 84.0, 2.0);
    EXPECT_NEAR(alphas[1], 168.0, 2.0);
    EXPECT_NEAR(alphas[2], 252.0, 2.0);
    r.Frame(); // 132: the fade is over
    EXPECT_EQ(DrawnImages(target), Images{main});
    EXPECT_FALSE(tip->IsFading());

    tip->Hide(false); // fades out from 132
    r.Frame();        // 165
    EXPECT_EQ(DrawnImages(target), Images{fader});
    EXPECT_NEAR(tip->GetFader()->GetPixels()[0] >> 24, 255.0 - 84.0, 2.0);
    r.Frame(); // 198
    r.Frame(); // 231
    EXPECT_EQ(DrawnImages(target), Images{fader});
    r.Frame(); // 264: hidden
    EXPECT_EQ(DrawnImages(target), Images{});
    EXPECT_EQ(target.flushes, 9);

    tip->Show(true);
    ClearQueue(target);
    ASSERT_TRUE(r.world.GetRootObject()->Render(target));
    EXPECT_EQ(DrawnImages(target), Images{});
    EXPECT_EQ(target.flushes, 9);
    r.Frame();
    EXPECT_EQ(DrawnImages(target), Images{main});
}

TEST(FrameStep, EachWindowWithARendererDrawsInOneOrTwoPasses)
{
    Preview r;
    RecordingRenderer renderer;
    r.world.AddWindow(std::make_unique<SWwindow>(&renderer));
    r.world.AddWindow(std::make_unique<SWwindow>(nullptr)); // draws nothing
    r.Frame(); // the first "aa done?" asks whether the frame may leave the matrices
    EXPECT_EQ(renderer.calls, (std::vector<std::string>{"aa done?", "aa on", "aa done?", "refresh", "phase 0", "begin",
                                                        "surface", "end", "present"}));
    renderer.calls.clear();
    r.world.SetRenderMode(2);
    r.Frame();
    EXPECT_EQ(renderer.calls,
              (std::vector<std::string>{"aa done?", "aa on", "aa done?", "refresh", "phase 0", "begin", "surface",
                                        "end", "phase 1", "begin", "surface", "end", "present"}));
}

// A motion that moves its node on every frame.
class MovingMotion : public TestMotion {
public:
    using TestMotion::TestMotion;
    SWmotion* Clone() const override { return new MovingMotion(*this); }
    bool Step(float nowMs) override
    {
        m_changed = 1;
        return TestMotion::Step(nowMs);
    }
};

// A still view is drawn until its refinement is done and then stands as it is; a view something moves in is drawn
// on every frame, refined or not.
TEST(FrameStep, AStillViewStopsDrawingOnceRefinedAndAMovingOneDrawsOn)
{
    Preview r;
    RecordingRenderer renderer;
    r.world.AddWindow(std::make_unique<SWwindow>(&renderer));
    r.Frame();
    EXPECT_EQ(renderer.calls.back(), "present") << "not refined yet";
    renderer.calls.clear();
    renderer.refined = true;
    r.Frame();
    EXPECT_EQ(renderer.calls, (std::vector<std::string>{"aa done?", "aa on", "aa done?"}));

    auto* node = new SWobjectnode();
    r.world.AddNode(node, nullptr);
    MovingMotion moving(&r.world, 4, 1.0e6f);
    r.world.SetRunning(true);
    r.Frame();
    StartMotionOnNode(*node, r.world, moving);
    renderer.calls.clear();
    r.Frame();
    ASSERT_FALSE(renderer.calls.empty());
    EXPECT_EQ(renderer.calls.front(), "aa off");
    EXPECT_EQ(renderer.calls.back(), "present");
}

// A stopped world whose views show their refined picture leaves its matrices until a view has to be drawn again; a
// world without a view folds them at every frame.
TEST(FrameStep, MatricesWaitWhileEveryViewIsRefinedAndFollowTheNextDrawing)
{
    Preview r;
    auto* node = new SWobjectnode();
    r.world.AddNode(node, nullptr);
    const auto movedTo = [&](float x) {
        node->SetLocalMatrix(SWmatrix::Translation(x, 0, 0));
        r.Frame();
        return node->GetWorldMatrix().GetTranslation().x;
    };
    EXPECT_EQ(movedTo(1.0f), 1.0f) << "no view: folded";

    RecordingRenderer renderer;
    r.world.AddWindow(std::make_unique<SWwindow>(&renderer));
    EXPECT_EQ(movedTo(2.0f), 2.0f) << "a view still refining";
    renderer.refined = true;
    EXPECT_EQ(movedTo(3.0f), 2.0f) << "every view refined: nothing is drawn, nothing folded";
    renderer.refined = false; // what an edit's invalidation does
    EXPECT_EQ(movedTo(3.0f), 3.0f);
    EXPECT_EQ(renderer.calls.back(), "present");
}

// Boxes of side 2 at the given depths along the camera's view axis (+z).
SWmeshnode* Box(SWworld& world, float z, const char* name)
{
    auto* mesh = static_cast<SWmeshobject*>(world.GetRootObject()->AddGeometry(std::make_unique<SWmeshobject>()));
    mesh->SetVertices({-1, -1, -1, 1, 1, 1});
    mesh->ComputeBoundingBox();
    mesh->SetLoaded(true);
    auto* node = new SWmeshnode(mesh);
    node->SetName(std::string(name));
    node->SetInitialMatrix(SWmatrix::Translation(0, 0, z));
    world.AddNode(node, nullptr);
    return node;
}

TEST(FrameStep, AClickPicksTheNearestBoxUnderThePointer)
{
    Preview r;
    RecordingRenderer renderer;
    SWwindow* window = r.world.AddWindow(std::make_unique<SWwindow>(&renderer));
    r.world.SetCurrentView(window);
    auto* camera = new SWcameranode();
    r.world.AddNode(camera, nullptr);
    r.world.AddCamera(camera);
    EXPECT_EQ(r.world.PickNode(50, 50), nullptr) << "a view of no size picks nothing";
    renderer.SetSize(100, 100);
    SWnode* far = Box(r.world, 20.0f, "far");
    SWnode* near = Box(r.world, 10.0f, "near");
    r.world.UpdateNodeTransforms(r.world.GetRootNode(), 1);
    EXPECT_EQ(r.world.PickNode(50, 50), near);
    EXPECT_EQ(r.world.PickNode(0, 0), nullptr);
    near->GetGeometry()->SetVisible(false);
    EXPECT_EQ(r.world.PickNode(50, 50), far);

    // Through the frame: a press posts a click on the picked node.
    SWevent* click = r.Event(EventType::kLeftClickObject, "clicked");
    click->AddObjectName(std::string("far"));
    r.world.SetRunning(true);
    r.world.PostInputEvent(InputKind::kMousePressed, SWmousepoint{2, 50, 50});
    r.Frame();
    EXPECT_EQ(r.recorder.FramesOf("clicked"), std::vector<int>{1});
}

TEST(FrameStep, AMotionWhoseNodeIsDeletedIsPurgedAndKeysKeepTheirState)
{
    Preview r;
    auto* node = new SWobjectnode();
    r.world.AddNode(node, nullptr);
    TestMotion motion(&r.world, 4, 10000.0f); // a type that runs one copy per node
    StartMotionOnNode(*node, r.world, motion);
    ASSERT_EQ(TimedActionTable::Of(r.world).Count(), 1u);
    r.world.SetRunning(true);
    r.Frame();
    r.world.DeleteNode(node);
    r.Frame();
    EXPECT_EQ(TimedActionTable::Of(r.world).Count(), 0u);

    const SWkeyentry* key = r.world.GetKeyTable().GetLetter('K');
    r.world.PostKeyDown(*key);
    r.Frame();
    EXPECT_TRUE(key->IsPressed());
    r.world.PostKeyUp(*key);
    r.Frame();
    EXPECT_FALSE(key->IsPressed());
}

// A motion that logs how the frame step moves it: 's' for a step to a time, 't' for a jump to one.
class ClockLog : public SWnodemotion {
public:
    explicit ClockLog(SWworld* world) : SWnodemotion(world, 4) {}
    SWmotion* Clone() const override { return new ClockLog(*this); }
    bool Step(float nowMs) override
    {
        calls.emplace_back('s', nowMs);
        return true;
    }
    void SetTime(float ms) override { calls.emplace_back('t', ms); }
    std::vector<std::pair<char, float>> calls;
};

// A motion the story board previews follows the board's time less its start there (never below 0) through SetTime,
// running or not, and outlives the clearing that starting the preview does; the frame step never moves the board's
// time itself.
TEST(FrameStep, AMotionTheStoryBoardPreviewsFollowsItsTime)
{
    Preview r;
    auto boarded = std::make_unique<ClockLog>(&r.world);
    auto plain = std::make_unique<ClockLog>(&r.world);
    boarded->SetPreviewFlag(1);
    boarded->SetPreviewStartTime(100.0f); // its action's delay on the board
    ClockLog* const board = boarded.get();
    ClockLog* const run = plain.get();
    TimedActionTable::Of(r.world).Add(std::move(boarded));
    TimedActionTable::Of(r.world).Add(std::move(plain));
    using Calls = std::vector<std::pair<char, float>>;

    r.world.SetPreviewTime(250.0f);
    r.Frame(); // world time 0
    r.Frame(); // 33
    r.world.SetPreviewTime(400.0f);
    r.Frame();                     // 66
    r.world.SetPreviewTime(60.0f); // before its start: held at its own time 0
    r.Frame();                     // 99
    EXPECT_EQ(board->calls, (Calls{{'t', 150.0f}, {'t', 150.0f}, {'t', 300.0f}, {'t', 0.0f}}));
    EXPECT_EQ(run->calls, (Calls{{'s', 0.0f}, {'s', 33.0f}, {'s', 66.0f}, {'s', 99.0f}}));
    EXPECT_EQ(r.world.GetPreviewTime(), 60.0f);
    r.world.SetPreviewTime(400.0f);

    r.world.SetRunning(true); // the run's own motions go, the board's stays
    ASSERT_EQ(TimedActionTable::Of(r.world).Count(), 1u);
    board->calls.clear();
    r.Frame();
    EXPECT_EQ(board->calls, (Calls{{'t', 300.0f}}));
    r.world.SetRunning(false);
    r.Frame();
    r.Frame();
    EXPECT_EQ(TimedActionTable::Of(r.world).Count(), 1u);
}

// The sound step: a sound whose file cannot be opened is tried once and leaves the load queue; a play and a stop
// queued for it report its end once.
TEST(FrameStep, QueuedSoundsAreLoadedOncePlayedStoppedAndReportedOnce)
{
    Preview r;
    SWevent* ended = r.Event(EventType::kSoundFinished, "ended");
    ended->AddSoundName(std::string("hum"));
    SWsound* hum = r.world.GetSoundList().Add(std::make_unique<SWsound>("hum"));
    hum->SetFileName("/nonexistent/vortan/hum.wav");
    r.world.SetRunning(true);
    r.world.QueueSoundLoad(hum);
    r.Frame();
    EXPECT_EQ(hum->GetReady(), 0);
    EXPECT_TRUE(r.world.TakeSoundQueues().load.empty()) << "an unreadable file is not tried every frame";
    r.world.QueueSoundPlay(hum);
    r.Frame();
    r.world.QueueSoundStop(hum);
    for (int i = 0; i < 4; ++i)
        r.Frame();
    EXPECT_EQ(r.recorder.FramesOf("ended").size(), 1u);
}

// Another thread posts keys and queues sounds while frames run; the thread sanitizer build checks the locks.
TEST(FrameStep, InputPostedFromAnotherThreadWhileFramesRun)
{
    Preview r;
    r.Event(EventType::kKeyPressed, "keys");
    r.world.SetRunning(true);
    const SWkeyentry* key = r.world.GetKeyTable().GetLetter('A');
    std::atomic<bool> done{false};
    std::thread poster([&] {
        for (int i = 0; i < 200; ++i) {
            r.world.PostKeyDown(*key);
            r.world.PostKeyUp(*key);
            r.world.QueueSoundPlay(nullptr);
        }
        done = true;
    });
    while (!done)
        r.Frame();
    poster.join();
    r.Frame();
    EXPECT_EQ(r.recorder.FramesOf("keys").size(), 200u);
}

} // namespace
