#include "engine/resources/particles.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <vector>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/particle_node.h"
#include "engine/resources/tests/world_round_trip.h"
#include "render/format_record.h"
#include "testsupport/resources/queue_target.h"

namespace {

SWmatrix At(float x, float y, float z)
{
    SWmatrix m;
    m[3] = x;
    m[7] = y;
    m[11] = z;
    return m;
}

void Simulate(SWparticles& particles, float seconds, const SWmatrix& emitter)
{
    for (int step = 0; step < static_cast<int>(seconds * 10); ++step)
        particles.Advance(100.0f, emitter);
}

TEST(Particles, DefaultsStartSetAndSetters)
{
    SWparticles particles;
    for (int i = 0; i < SWparticles::kParameterCount; ++i)
        EXPECT_EQ(particles.GetParameter(i), SWparticles::kDefaults[i]) << i;
    EXPECT_EQ(particles.GetParameter(8), 250.0f);
    EXPECT_EQ(particles.GetStartSet().size(), 16u);
    EXPECT_EQ(particles.GetStartSet()[14], 0.0f);
    EXPECT_NE(std::bit_cast<uint32_t>(particles.GetStartSet()[15]), 0u);
    EXPECT_FALSE(particles.IsRunning());

    particles.SetOpacity(1.0f); // unchanged
    EXPECT_EQ(particles.GetChanged(SWparticles::kOpacity), 0);
    particles.SetOpacity(0.5f);
    EXPECT_EQ(particles.GetChanged(SWparticles::kOpacity), 1);
    EXPECT_EQ(particles.GetParameter(SWparticles::kOpacity), 0.5f);
    particles.SetParam3040(1.0f);
    particles.SetParam3040(2.0f);
    EXPECT_EQ(particles.GetParameter(SWparticles::kTimeScale), 2.0f);
    EXPECT_EQ(particles.GetChanged(SWparticles::kTimeScale), 0);
    particles.SetBirthRate(10.0f);
    EXPECT_EQ(particles.GetStartSet()[SWparticles::kBirthRate], 10.0f);
}

TEST(Particles, StartEmitsAtTheBirthRateAndStopLetsThemDie)
{
    SWparticles particles;
    const SWmatrix emitter = At(1.0f, 2.0f, 3.0f);
    Simulate(particles, 1.0f, emitter);
    EXPECT_EQ(particles.GetLiveCount(), 0u); // not started
    particles.Start();
    Simulate(particles, 2.0f, emitter);
    EXPECT_NEAR(particles.GetLiveCount(), 500u, 2u);
    for (const auto& p : particles.GetParticles()) {
        EXPECT_GE(p.position.z, 3.0f); // along the emitter's +Z (the newest have not moved yet)
        EXPECT_NEAR(p.position.x, 1.0f, 0.3f);
    }
    // Steady state: about birth rate x life.
    Simulate(particles, 20.0f, emitter);
    EXPECT_NEAR(static_cast<double>(particles.GetLiveCount()), 250.0 * 14.1, 3.0);
    particles.Stop();
    Simulate(particles, 5.0f, emitter);
    EXPECT_GT(particles.GetLiveCount(), 0u);
    Simulate(particles, 10.0f, emitter);
    EXPECT_EQ(particles.GetLiveCount(), 0u);
}

TEST(Particles, SameSeedSameParticlesAndTheCapHolds)
{
    SWparticles a, b;
    a.SetSeed(77);
    b.SetSeed(77);
    a.SetGravity(9.8f);
    b.SetGravity(9.8f);
    a.Start();
    b.Start();
    Simulate(a, 1.5f, At(0, 0, 0));
    Simulate(b, 1.5f, At(0, 0, 0));
    ASSERT_EQ(a.GetLiveCount(), b.GetLiveCount());
    for (size_t i = 0; i < a.GetParticles().size(); ++i) {
        EXPECT_EQ(a.GetParticles()[i].position.x, b.GetParticles()[i].position.x);
        EXPECT_EQ(a.GetParticles()[i].velocity.z, b.GetParticles()[i].velocity.z);
    }
    SWparticles c;
    c.SetSeed(78);
    c.Start();
    Simulate(c, 1.5f, At(0, 0, 0));
    EXPECT_NE(c.GetParticles()[5].position.x, a.GetParticles()[5].position.x);

    SWparticles flood;
    flood.SetBirthRate(1e9f);
    flood.Start();
    Simulate(flood, 0.5f, At(0, 0, 0));
    EXPECT_EQ(flood.GetLiveCount(), SWparticles::kMaxParticles);
    flood.Advance(1e9f, At(0, 0, 0)); // one advance takes at most 100 ms
    EXPECT_EQ(flood.GetLiveCount(), SWparticles::kMaxParticles);
}

TEST(Particles, ColourPickedByAge)
{
    SWparticles particles;
    std::vector<uint32_t> table(64);
    for (uint32_t i = 0; i < 64; ++i)
        table[i] = i;
    particles.SetColourTable(table.data());
    EXPECT_EQ(particles.ColourOfAge(0.0f), 0u);
    EXPECT_EQ(particles.ColourOfAge(0.5f), 32u);
    EXPECT_EQ(particles.ColourOfAge(0.999f), 63u);
    EXPECT_EQ(particles.ColourOfAge(7.0f), 63u);
    EXPECT_EQ(particles.ColourOfAge(std::nanf("")), 0u);
}

TEST(ParticleNode, DrawQueuesOnlyParticlesWhollyInView)
{
    auto node = std::make_unique<SWparticlenode>();
    SWparticles& particles = node->GetParticles();
    particles.SetSize(0.05f);
    particles.SetSpread(0.3f);
    particles.SetEmissionSpeed(1.0f);
    particles.SetOpacity(0.5f);
    particles.Start();
    // The emitter sits at the left edge of the view: part of the stream leaves it.
    node->SetRenderMatrix(At(-0.45f, 0.0f, -0.5f));
    QueueTarget target(640, 480);
    SWmatrix view; // depth 0 .. -1 seen through x / z and y / z
    SWrenderbatch* batch = target.Queue().NewBatch();
    node->SetWorldTime(0.0f);
    ASSERT_TRUE(node->Draw(target, nullptr, batch, view));
    for (float t = 100.0f; t <= 3000.0f; t += 100.0f) {
        node->SetWorldTime(t);
        target.Queue().Clear();
        batch = target.Queue().NewBatch();
        ASSERT_TRUE(node->Draw(target, nullptr, batch, view));
    }
    const uint32_t live = particles.GetLiveCount();
    ASSERT_GT(live, 500u);
    EXPECT_GT(node->GetQueuedCount(), 0u);
    EXPECT_LT(node->GetQueuedCount(), 2 * live);
    EXPECT_EQ(batch->NodeCount(), node->GetQueuedCount());
    for (const SWprimitivenode* p = batch->FirstNode(); p != batch->EndNode(); p = p->next) {
        EXPECT_EQ(p->format->combineMode, 3);
        EXPECT_EQ(p->format->layerCount, 0);
        EXPECT_EQ(p->format->vertexStride, 6);
        const float* v[3];
        for (int k = 0; k < 3; ++k) {
            const uint32_t* w = p->vertices + k * 6;
            EXPECT_GE(VertexFloat(w, 0), 0.0f);
            EXPECT_LE(VertexFloat(w, 0), 640.0f);
            EXPECT_GE(VertexFloat(w, 1), 0.0f);
            EXPECT_LE(VertexFloat(w, 1), 480.0f);
            EXPECT_EQ(w[4] >> 24, 127u); // opacity 0.5 as vertex alpha
            v[k] = reinterpret_cast<const float*>(w);
        }
        // Clockwise on the screen with y down: the rasteriser's front.
        const float area = (v[2][1] - v[0][1]) * (v[1][0] - v[0][0]) - (v[2][0] - v[0][0]) * (v[1][1] - v[0][1]);
        EXPECT_GT(area, 0.0f);
    }
}

struct CountingGenerator final : SWparametergenerator {
    void MarkChanged() override { ++marked; }
    int marked = 0;
};

TEST(ParticleNode, RecordKeepsSlotBytesAndRefusesDamage)
{
    SWworld world;
    auto owned = std::make_unique<SWparticlenode>();
    SWparticlenode* node = owned.get();
    node->SetName("sparks");
    node->GetParticles().SetGravity(3.5f);
    std::vector<uint32_t> table(64, 0x00112233u);
    table[63] = 0x00ABCDEFu;
    node->GetParticles().SetColourTable(table.data());
    auto generator = std::make_unique<CountingGenerator>();
    CountingGenerator* counted = generator.get();
    node->SetGenerator(3, std::move(generator));
    node->MarkParametersChanged();
    EXPECT_EQ(counted->marked, 1);
    world.GetRootObject()->AddGeometry(std::move(owned));

    // A stored slot of a generator the program cannot read is kept as bytes.
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    ASSERT_TRUE(node->WriteBody(out));
    std::vector<uint8_t> body = buffer.ToVector();
    const uint8_t slot[] = {'P', 'G', 'S', 'L', 6, 0, 0, 0, 5, 'G', 'E', 'N', '!', 9};
    body.insert(body.end(), std::begin(slot), std::end(slot));
    SWchunkstream in(body);
    ASSERT_TRUE(node->ReadBody(in));
    ASSERT_NE(node->GetKeptSlot(5), nullptr);
    EXPECT_EQ(*node->GetKeptSlot(5), (std::vector<uint8_t>{'G', 'E', 'N', '!', 9}));

    const WorldLoadResult loaded = RoundTripWorld(world);
    ASSERT_NE(loaded.world, nullptr);
    auto* read = dynamic_cast<SWparticlenode*>(loaded.world->GetRootObject()->GetFirstGeometry());
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->GetName(), "sparks");
    EXPECT_EQ(read->GetParticles().GetParameter(SWparticles::kGravity), 3.5f);
    EXPECT_EQ(read->GetParticles().GetColourTable()[63], 0x00ABCDEFu);
    ASSERT_NE(read->GetKeptSlot(5), nullptr);
    EXPECT_EQ(*read->GetKeptSlot(5), *node->GetKeptSlot(5));

    // Cut inside the required records, or inside the kept slot once its header is there: refused, the node kept.
    const size_t required = body.size() - sizeof(slot);
    for (size_t cut = 0; cut < body.size(); ++cut) {
        if (cut >= required && cut < required + 8)
            continue; // fewer than a record header's bytes after the last record: nothing more to read
        if (cut == required)
            continue;
        SWchunkstream shortIn(std::span<const uint8_t>(body.data(), cut));
        EXPECT_FALSE(read->ReadBody(shortIn)) << cut;
    }
    std::vector<uint8_t> badSlot = body;
    badSlot[body.size() - sizeof(slot) + 8] = 14;
    SWchunkstream badIn(badSlot);
    EXPECT_FALSE(read->ReadBody(badIn));
    EXPECT_EQ(read->GetParticles().GetParameter(SWparticles::kGravity), 3.5f);
    EXPECT_NE(read->GetKeptSlot(5), nullptr);
}

} // namespace

// A running system moves every frame, whatever its motion reports, so the frame never counts its view as still.
TEST(ParticleNode, RunningSystemKeepsTheViewAnimated)
{
    SWworld world;
    auto* node = static_cast<SWparticlenode*>(world.GetRootObject()->AddGeometry(std::make_unique<SWparticlenode>()));
    world.SetNothingAnimated(1);
    SetParticleWorldTime(world);
    EXPECT_EQ(world.GetNothingAnimated(), 1);
    node->GetParticles().Start();
    SetParticleWorldTime(world);
    EXPECT_EQ(world.GetNothingAnimated(), 0);
}
