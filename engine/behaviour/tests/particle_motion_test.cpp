// Particle emission: the start and stop handlers and the motion that writes each slot's generator value into its
// parameter, with empty slots, other nodes and a node deleted while it emits.
#include <gtest/gtest.h>

#include <memory>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/particle_motion.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"

namespace {

struct Emitter {
    Emitter()
    {
        auto geometry = std::make_unique<SWparticlenode>();
        particles = geometry.get();
        world.GetRootObject()->AddGeometry(std::move(geometry));
        node->SetName(std::string("sparks"));
        node->SetGeometry(particles);
        world.AddNode(node, nullptr);
        plain->SetName(std::string("plain"));
        world.AddNode(plain, nullptr);
    }
    SWgenerator* Fill(int slot, float offset)
    {
        auto g = std::make_unique<SWpolynomialgenerator>(&world);
        g->SetAmplitude(0.0f);
        g->SetOffset(offset);
        SWgenerator* raw = g.get();
        particles->SetGenerator(slot, std::make_unique<SWparticlegenerator>(std::move(g)));
        return raw;
    }
    void Run(uint8_t start, const char* name)
    {
        SWparticleaction action(start != 0 ? 48 : 49);
        FindActionHandler(action.GetKindId())(nullptr, &world, ActionTarget::Text(name),
                                              ActionSubject{&action, nullptr, nullptr});
    }
    size_t Motions()
    {
        const auto* list = TimedActionTable::Of(world).GetTypeList(SWparticlemotion::kType);
        return list != nullptr ? list->size() : 0;
    }
    void StepAll(float ms)
    {
        if (const auto* list = TimedActionTable::Of(world).GetTypeList(SWparticlemotion::kType))
            for (const auto& m : *list)
                m->Step(ms);
        TimedActionTable::Of(world).PurgeDone();
    }
    SWworld world;
    SWparticlenode* particles = nullptr;
    SWobjectnode* node = new SWobjectnode();
    SWobjectnode* plain = new SWobjectnode();
};

} // namespace

TEST(ParticleMotion, EachFilledSlotDrivesItsParameterAndEmptyOnesAreLeft)
{
    Emitter e;
    SWgenerator* gravity = e.Fill(SWparticles::kGravity, 7.5f);
    SWgenerator* opacity = e.Fill(SWparticles::kOpacity, 0.25f);
    SWgenerator* timeScale = e.Fill(SWparticles::kTimeScale, 3.0f);
    const float sizeBefore = e.particles->GetParticles().GetParameter(SWparticles::kSize);
    e.Run(1, "sparks");
    ASSERT_EQ(e.Motions(), 1u);
    EXPECT_TRUE(e.particles->GetParticles().IsRunning());
    e.StepAll(0.0f);
    e.StepAll(40.0f);
    const SWparticles& p = e.particles->GetParticles();
    EXPECT_EQ(p.GetParameter(SWparticles::kGravity), gravity->GetValue());
    EXPECT_EQ(p.GetParameter(SWparticles::kOpacity), opacity->GetValue());
    EXPECT_EQ(p.GetParameter(SWparticles::kTimeScale), timeScale->GetValue());
    EXPECT_NE(p.GetParameter(SWparticles::kGravity), SWparticles::kDefaults[SWparticles::kGravity]);
    EXPECT_EQ(p.GetParameter(SWparticles::kSize), sizeBefore);
}

TEST(ParticleMotion, StopsRemoveOneMotionAndOtherNodesAreIgnored)
{
    Emitter e;
    e.Run(1, "plain");
    e.Run(1, "nothing");
    EXPECT_EQ(e.Motions(), 0u);
    e.Run(0, "sparks"); // no motion running: the system still stops
    EXPECT_FALSE(e.particles->GetParticles().IsRunning());
    e.Run(1, "sparks");
    e.Run(1, "sparks");
    e.Run(0, "sparks");
    EXPECT_EQ(e.Motions(), 1u); // one keeps writing while the system is stopped
    EXPECT_FALSE(e.particles->GetParticles().IsRunning());
}

TEST(ParticleMotion, NodeDeletedWhileEmittingIsNeverWrittenAndTheMotionEnds)
{
    Emitter e;
    e.Fill(SWparticles::kGravity, 9.0f);
    e.Run(1, "sparks");
    e.StepAll(0.0f);
    e.world.DeleteNode(e.node);
    e.StepAll(33.0f);
    EXPECT_EQ(e.Motions(), 0u);
}
