// What the story board reads and sets on a motion: the ready test of every motion class, the preview flag and
// start time that copies never carry, and the camera frame of node motions taken from the current view.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <numbers>
#include <string>

#include "engine/behaviour/arcball_motion.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/behaviour/motion_controller.h"
#include "engine/behaviour/navigation_motion.h"
#include "engine/behaviour/particle_motion.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/behaviour/track_target_motion.h"
#include "engine/behaviour/vertex_keyframe_motion.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/camera_node.h"
#include "engine/core/object_node.h"
#include "engine/core/window.h"
#include "engine/core/world.h"

namespace {

struct Made {
    const char* what;
    std::function<SWmotion*(SWworld*)> make;
    uint32_t ready;
};

SWtracktargetmotion* Aiming(SWworld* world, std::optional<std::string> name)
{
    auto* motion = new SWtracktargetmotion(world);
    motion->SetTargetName(std::move(name));
    return motion;
}

const Made kClasses[] = {
    {"key-frame play", [](SWworld* w) { return new SWkeyframemotion(w); }, 1},
    {"key-frame jump", [](SWworld* w) { return new SWkeyframejumpmotion(w); }, 6},
    {"vertex play", [](SWworld* w) { return new SWvertexkeyframemotion(w, SWvertexkeyframemotion::kPlay); }, 7},
    {"vertex jump", [](SWworld* w) { return new SWvertexkeyframemotion(w, SWvertexkeyframemotion::kJump); }, 8},
    {"rotate", [](SWworld* w) { return new SWxyzmotion(w, SWxyzmotion::kRotate); }, 2},
    {"translate", [](SWworld* w) { return new SWxyzmotion(w, SWxyzmotion::kTranslate); }, 3},
    {"scale", [](SWworld* w) { return new SWxyzmotion(w, SWxyzmotion::kScale); }, 11},
    {"track target with a name", [](SWworld* w) { return Aiming(w, std::string("lamp")); }, 4},
    {"track target without a name", [](SWworld* w) { return Aiming(w, std::nullopt); }, 0},
    {"track target with an empty name", [](SWworld* w) { return Aiming(w, std::string()); }, 0},
    {"arcball", [](SWworld* w) { return new SWarcballmotion(w); }, 5},
    {"particle emission", [](SWworld* w) { return new SWparticlemotion(w); }, 9},
    {"motion controller", [](SWworld* w) { return new SWmotioncontroller(w); }, 12},
    {"navigation", [](SWworld* w) { return new SWnavigationmotion(w); }, 16},
    {"generator", [](SWworld* w) { return new SWpolynomialgenerator(w); }, 0},
};

} // namespace

TEST(MotionBoard, EveryClassAnswersTheReadyTest)
{
    SWworld world;
    for (const Made& m : kClasses) {
        std::unique_ptr<SWmotion> motion(m.make(&world));
        EXPECT_EQ(motion->IsReady(), m.ready) << m.what;
    }
}

TEST(MotionBoard, PreviewFlagAndStartTimeAreKeptButNeverCopied)
{
    SWworld world;
    for (const Made& m : kClasses) {
        std::unique_ptr<SWmotion> motion(m.make(&world));
        EXPECT_EQ(motion->GetPreviewFlag(), 0) << m.what;
        EXPECT_EQ(motion->GetPreviewStartTime(), 0.0f) << m.what;
        motion->SetPreviewFlag(1);
        motion->SetPreviewStartTime(250.0f);
        std::unique_ptr<SWmotion> copy(motion->Clone());
        ASSERT_NE(copy, nullptr) << m.what;
        EXPECT_EQ(copy->GetPreviewFlag(), 0) << m.what;
        EXPECT_EQ(copy->GetPreviewStartTime(), 0.0f) << m.what;
        EXPECT_EQ(copy->IsReady(), m.ready) << m.what; // the kind and the target name travel with the copy
        EXPECT_EQ(motion->GetPreviewFlag(), 1) << m.what;
        EXPECT_EQ(motion->GetPreviewStartTime(), 250.0f) << m.what;
        // The board then sets the copy's own.
        copy->SetPreviewFlag(1);
        copy->SetPreviewStartTime(40.0f);
        motion->SetPreviewFlag(0);
        EXPECT_EQ(copy->GetPreviewFlag(), 1) << m.what;
        EXPECT_EQ(copy->GetPreviewStartTime(), 40.0f) << m.what;
    }
}

namespace {

class Carried : public SWnodemotion {
public:
    explicit Carried(SWworld* world) : SWnodemotion(world, 2) {}
};

void ExpectNear(const SWmatrix& a, const SWmatrix& b, const char* what)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(a[i], b[i], 1e-5f) << what << " element " << i;
}

} // namespace

TEST(NodeMotionFrames, TheCameraFrameIsTheCurrentViewsCamera)
{
    SWworld world;
    // The world file's camera (the camera list's first) sits at the origin unturned; the view's camera is turned a
    // quarter about Z and moved.
    auto* fileCamera = new SWcameranode();
    auto* viewCamera = new SWcameranode();
    SWmatrix placed = SWmatrix::Translation(0.0f, 0.0f, 5.0f);
    placed.PostMultiply(SWmatrix::Rotation(std::numbers::pi_v<float> / 2, 2));
    viewCamera->SetLocalMatrix(placed);
    auto* node = new SWobjectnode();
    world.AddNode(fileCamera, nullptr);
    world.AddNode(viewCamera, nullptr);
    world.AddNode(node, nullptr);
    world.AddCamera(fileCamera);
    world.AddCamera(viewCamera);
    world.UpdateNodeTransforms(world.GetRootNode(), 1);

    const auto movedX = [&]() {
        node->SetLocalMatrix(SWmatrix());
        node->SetWorldMatrix(SWmatrix());
        Carried motion(&world);
        motion.SetOptionFlags(SWnodemotion::kFrameCamera);
        motion.SetIncrement(SWmatrix::Translation(1.0f, 0.0f, 0.0f));
        motion.ApplyToNode(*node);
        return node->GetLocalMatrix();
    };
    const auto captured = [&]() {
        Carried motion(&world);
        motion.SetOptionFlags(SWnodemotion::kFrameCamera | SWnodemotion::kFrameCapture);
        SWtimedactionentry entry(&motion);
        motion.GetReferenceMatrix(*node, entry);
        return entry.frame;
    };

    // No window: the world file's camera, whose frame is the world's.
    EXPECT_NEAR(movedX()[3], 1.0f, 1e-6f);
    EXPECT_EQ(captured(), fileCamera->GetWorldMatrix());

    // A window showing the turned camera made the current view: x along the camera's is y in the world.
    auto owned = std::make_unique<SWwindow>();
    SWwindow* window = world.AddWindow(std::move(owned));
    window->SetCamera(viewCamera);
    world.SetCurrentView(window);
    const SWmatrix moved = movedX();
    EXPECT_NEAR(moved[3], 0.0f, 1e-5f);
    EXPECT_NEAR(moved[7], 1.0f, 1e-5f);
    EXPECT_NEAR(moved[11], 0.0f, 1e-5f);
    ExpectNear(captured(), viewCamera->GetWorldMatrix(), "captured view camera");
}
