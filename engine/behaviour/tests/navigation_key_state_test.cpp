// The navigation state a driven node and its geometry carry: the run and slot-twelve key-state bytes and the two
// geometry values, as the run, slow and slot-twelve keys set and clear them, and as starting a navigation on a
// camera clears them.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/behaviour/key_table.h"
#include "engine/behaviour/navigation_motion.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/camera_node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/geometry.h"
#include "testsupport/behaviour/frame_driver.h"

namespace {

struct Walker {
    Walker()
    {
        auto owned = std::make_unique<SWgeometry>();
        geometry = owned.get();
        world.GetRootObject()->AddGeometry(std::move(owned));
        node->SetGeometry(geometry);
        world.AddNode(node, nullptr);
        motion.SetTarget(node);
        motion.Start();
        motion.Step(0.0f);
    }
    void Fill()
    {
        geometry->SetKeyStateValue(0, 3.0f);
        geometry->SetKeyStateValue(1, -4.0f);
    }
    bool Cleared() const { return geometry->GetKeyStateValue(0) == 0.0f && geometry->GetKeyStateValue(1) == 0.0f; }
    void Down(int code) { motion.KeyDown(world.GetKeyTable().FindKeyByCode(code)); }
    void Up(int code) { motion.KeyUp(world.GetKeyTable().FindKeyByCode(code)); }

    SWworld world;
    SWgeometry* geometry = nullptr;
    SWobjectnode* node = new SWobjectnode();
    SWnavigationmotion motion{&world};
};

} // namespace

TEST(GeometryKeyStateValues, StartAtZeroAndOnlyTwoExist)
{
    SWgeometry g;
    EXPECT_EQ(g.GetKeyStateValue(0), 0.0f);
    EXPECT_EQ(g.GetKeyStateValue(1), 0.0f);
    g.SetKeyStateValue(1, 2.5f);
    g.SetKeyStateValue(2, 9.0f);
    g.SetKeyStateValue(-1, 9.0f);
    EXPECT_EQ(g.GetKeyStateValue(0), 0.0f);
    EXPECT_EQ(g.GetKeyStateValue(1), 2.5f);
    EXPECT_EQ(g.GetKeyStateValue(2), 0.0f);
    EXPECT_EQ(g.GetKeyStateValue(-1), 0.0f);
}

TEST(NavigationKeyState, RunSlowAndSlotTwelveKeysSetTheBytesAndClearTheGeometryValues)
{
    // Run held: the first byte set, the values left; its release clears both.
    Walker run;
    run.Fill();
    run.Down('z');
    EXPECT_EQ(run.node->RunKeyState(), 1);
    EXPECT_FALSE(run.Cleared());
    run.Up('z');
    EXPECT_EQ(run.node->RunKeyState(), 0);
    EXPECT_TRUE(run.Cleared());

    // The slow key clears them as it is pressed; its release touches nothing.
    Walker slow;
    slow.Down('z');
    slow.Fill();
    slow.Down('x');
    EXPECT_EQ(slow.node->RunKeyState(), 0);
    EXPECT_TRUE(slow.Cleared());
    slow.Fill();
    slow.Up('x');
    EXPECT_FALSE(slow.Cleared());

    // Slot twelve holds the second byte and leaves the values alone.
    Walker twelve;
    twelve.Fill();
    twelve.Down('c');
    EXPECT_EQ(twelve.node->SlotTwelveKeyState(), 1);
    twelve.Up('c');
    EXPECT_EQ(twelve.node->SlotTwelveKeyState(), 0);
    EXPECT_FALSE(twelve.Cleared());

    // A driven node without a geometry still gets its bytes.
    Walker bare;
    bare.node->SetGeometry(nullptr);
    bare.Down('z');
    EXPECT_EQ(bare.node->RunKeyState(), 1);
    bare.Up('z');
    EXPECT_EQ(bare.node->RunKeyState(), 0);
}

TEST(NavigationKeyState, StartingANavigationOnACameraClearsItsState)
{
    FrameDriver d;
    auto* camera = new SWcameranode();
    camera->SetName(std::string("cam"));
    auto owned = std::make_unique<SWgeometry>();
    SWgeometry* geometry = owned.get();
    d.world.GetRootObject()->AddGeometry(std::move(owned));
    camera->SetGeometry(geometry);
    d.world.AddNode(camera, nullptr);
    camera->RunKeyState() = 1;
    camera->SlotTwelveKeyState() = 1;
    geometry->SetKeyStateValue(0, 1.5f);
    geometry->SetKeyStateValue(1, 2.5f);
    SWevent* start = d.Event(0, "start");
    d.Action(start, 64, "cam");
    d.Start();
    d.Frame();
    ASSERT_NE(TimedActionTable::Of(d.world).GetTypeList(SWnavigationmotion::kType), nullptr);
    EXPECT_EQ(camera->RunKeyState(), 0);
    EXPECT_EQ(camera->SlotTwelveKeyState(), 0);
    EXPECT_EQ(geometry->GetKeyStateValue(0), 0.0f);
    EXPECT_EQ(geometry->GetKeyStateValue(1), 0.0f);
}
