// A particle node's generator slots in its record: generators written and read back through the behaviour
// runtime's codec, slots kept as bytes by a program without it, unknown generator records kept beside known ones,
// and damaged slot records refused with the node left as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/particle_motion.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/particle_node.h"

namespace {

std::vector<uint8_t> BodyOf(const SWparticlenode& node)
{
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    EXPECT_TRUE(node.WriteBody(out));
    return buffer.ToVector();
}

bool ReadInto(SWparticlenode& node, std::span<const uint8_t> bytes)
{
    SWchunkstream in(bytes);
    return node.ReadBody(in);
}

const SWgenerator* SlotGenerator(const SWparticlenode& node, int slot)
{
    const auto* held = dynamic_cast<const SWparticlegenerator*>(node.GetGenerator(slot));
    return held != nullptr ? held->Get() : nullptr;
}

// Three slots of three kinds, one with a delay (its extra inner record).
void Fill(SWparticlenode& node)
{
    node.GetParticles().SetGravity(-2.0f);
    auto wave = std::make_unique<SWwaveformgenerator>(nullptr);
    wave->SetShape(SWgenerator::kTriangle);
    wave->SetPeriod(250.0f);
    wave->SetSustainAmplitude(4.0f);
    wave->SetOffset(1.5f);
    node.SetGenerator(SWparticles::kGravity, std::make_unique<SWparticlegenerator>(std::move(wave)));
    auto poly = std::make_unique<SWpolynomialgenerator>(nullptr);
    poly->SetAmplitude(0.5f);
    poly->SetOffset(0.25f);
    poly->SetMirror(true);
    poly->SetDelay(40.0f);
    node.SetGenerator(SWparticles::kOpacity, std::make_unique<SWparticlegenerator>(std::move(poly)));
    auto track = std::make_unique<SWaxistrack>(nullptr, 6.0f);
    node.SetGenerator(SWparticles::kTimeScale, std::make_unique<SWparticlegenerator>(std::move(track)));
}

// Puts the installed codec back however a test ends.
struct CodecRemoved {
    CodecRemoved() : saved(GetParameterGeneratorCodec()) { SetParameterGeneratorCodec(nullptr); }
    ~CodecRemoved() { SetParameterGeneratorCodec(saved); }
    const SWparametergeneratorcodec* saved;
};

// The offset of the first "PGSL" record in a body (the records before it are fixed in size).
size_t FirstSlotRecord(const std::vector<uint8_t>& body)
{
    for (size_t i = 0; i + 4 <= body.size(); ++i)
        if (body[i] == 'P' && body[i + 1] == 'G' && body[i + 2] == 'S' && body[i + 3] == 'L')
            return i;
    ADD_FAILURE() << "no slot record";
    return body.size();
}

} // namespace

TEST(ParticleSlotRecords, GeneratorsRoundTripByteForByte)
{
    ASSERT_NE(GetParameterGeneratorCodec(), nullptr);
    SWparticlenode node;
    Fill(node);
    const std::vector<uint8_t> body = BodyOf(node);

    SWparticlenode read;
    ASSERT_TRUE(ReadInto(read, body));
    for (int slot = 0; slot < SWparticlenode::kSlotCount; ++slot) {
        const SWgenerator* a = SlotGenerator(node, slot);
        const SWgenerator* b = SlotGenerator(read, slot);
        ASSERT_EQ(a == nullptr, b == nullptr) << slot;
        EXPECT_EQ(read.GetKeptSlot(slot), nullptr) << slot;
        if (a != nullptr) {
            EXPECT_EQ(b->GetType(), a->GetType()) << slot;
            EXPECT_EQ(b->GetDelay(), a->GetDelay()) << slot;
            EXPECT_EQ(b->GetDuration(), a->GetDuration()) << slot;
            EXPECT_EQ(b->GetRangeMax(), a->GetRangeMax()) << slot;
        }
    }
    const auto* poly = dynamic_cast<const SWpolynomialgenerator*>(SlotGenerator(read, SWparticles::kOpacity));
    ASSERT_NE(poly, nullptr);
    EXPECT_TRUE(poly->GetMirror());
    EXPECT_EQ(poly->GetOffset(), 0.25f);
    EXPECT_EQ(BodyOf(read), body);
}

TEST(ParticleSlotRecords, SlotsKeptAsBytesWithoutTheCodecReadAsGeneratorsWithIt)
{
    SWparticlenode node;
    Fill(node);
    const std::vector<uint8_t> body = BodyOf(node);

    SWparticlenode kept;
    {
        CodecRemoved removed;
        ASSERT_TRUE(ReadInto(kept, body));
        EXPECT_EQ(kept.GetGenerator(SWparticles::kGravity), nullptr);
        ASSERT_NE(kept.GetKeptSlot(SWparticles::kGravity), nullptr);
        EXPECT_EQ(BodyOf(kept), body); // written back unchanged
    }
    // The codec is back: what was kept is written as it came and reads into the generators it holds.
    const std::vector<uint8_t> again = BodyOf(kept);
    EXPECT_EQ(again, body);
    SWparticlenode read;
    ASSERT_TRUE(ReadInto(read, again));
    ASSERT_NE(SlotGenerator(read, SWparticles::kGravity), nullptr);
    EXPECT_EQ(SlotGenerator(read, SWparticles::kGravity)->GetType(), SWgenerator::kTriangle);
    ASSERT_NE(SlotGenerator(read, SWparticles::kTimeScale), nullptr);
    EXPECT_EQ(SlotGenerator(read, SWparticles::kTimeScale)->GetRangeMax(), 6.0f);
}

TEST(ParticleSlotRecords, AnUnknownGeneratorRecordIsKeptBesideKnownOnes)
{
    SWparticlenode node;
    Fill(node);
    std::vector<uint8_t> body = BodyOf(node);
    // A slot whose record is a generator kind this program does not know, nested as a record of its own.
    const uint8_t unknown[] = {'P', 'G', 'S', 'L', 13, 0, 0, 0, 7, '7', '4', '9', '9', 4, 0, 0, 0, 1, 2, 3, 4};
    body.insert(body.end(), std::begin(unknown), std::end(unknown));

    SWparticlenode read;
    ASSERT_TRUE(ReadInto(read, body));
    EXPECT_NE(SlotGenerator(read, SWparticles::kGravity), nullptr);
    EXPECT_EQ(read.GetGenerator(7), nullptr);
    ASSERT_NE(read.GetKeptSlot(7), nullptr);
    EXPECT_EQ(*read.GetKeptSlot(7), (std::vector<uint8_t>{'7', '4', '9', '9', 4, 0, 0, 0, 1, 2, 3, 4}));
    // Written in slot order, so between the known slots, and whole.
    const std::vector<uint8_t> written = BodyOf(read);
    EXPECT_EQ(written.size(), body.size());
    EXPECT_NE(std::search(written.begin(), written.end(), std::begin(unknown), std::end(unknown)), written.end());
}

TEST(ParticleSlotRecords, DamagedGeneratorSlotsAreRefusedAndTheNodeKept)
{
    SWparticlenode source;
    Fill(source);
    const std::vector<uint8_t> body = BodyOf(source);
    const size_t slotAt = FirstSlotRecord(body);
    ASSERT_LT(slotAt + 9, body.size());
    const uint32_t slotLength = body[slotAt + 4] | body[slotAt + 5] << 8 | body[slotAt + 6] << 16 |
                                static_cast<uint32_t>(body[slotAt + 7]) << 24;
    const size_t generatorAt = slotAt + 9; // after the slot's tag, length and slot byte

    struct Damage {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Damage> cases;
    {
        std::vector<uint8_t> b = body; // the generator claims more than its slot holds
        b[generatorAt + 4] = 0xFF;
        cases.push_back({"generator length past its slot", b});
    }
    {
        std::vector<uint8_t> b = body; // the first inner record claims more than the generator holds
        b[generatorAt + 12] = 0xF0;
        cases.push_back({"inner length past the generator", b});
    }
    {
        // The slot's record grows by four bytes that follow the generator inside it.
        std::vector<uint8_t> b = body;
        const uint32_t longer = slotLength + 4;
        for (int i = 0; i < 4; ++i)
            b[slotAt + 4 + i] = static_cast<uint8_t>(longer >> (8 * i));
        const uint8_t extra[] = {9, 9, 9, 9};
        b.insert(b.begin() + static_cast<std::ptrdiff_t>(slotAt + 8 + slotLength), std::begin(extra), std::end(extra));
        cases.push_back({"bytes after the generator", b});
    }
    // Every cut of the slot record from its slot byte to one byte short of its end.
    for (size_t cut = slotAt + 9; cut < slotAt + 8 + slotLength; ++cut) {
        std::vector<uint8_t> b(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(cut));
        cases.push_back({"cut", b});
    }

    SWparticlenode kept;
    kept.GetParticles().SetGravity(9.0f);
    auto own = std::make_unique<SWaxistrack>(nullptr, 1.0f);
    const SWgenerator* ownRaw = own.get();
    kept.SetGenerator(2, std::make_unique<SWparticlegenerator>(std::move(own)));
    const std::vector<uint8_t> before = BodyOf(kept);
    for (const Damage& d : cases) {
        EXPECT_FALSE(ReadInto(kept, d.bytes)) << d.what << " " << d.bytes.size();
        EXPECT_EQ(SlotGenerator(kept, 2), ownRaw) << d.what;
    }
    EXPECT_EQ(BodyOf(kept), before);
    EXPECT_EQ(kept.GetParticles().GetParameter(SWparticles::kGravity), 9.0f);
}

TEST(ParticleSlotRecords, ReadGeneratorsTakeTheWorldOfTheMotionThatRunsThem)
{
    SWparticlenode source;
    Fill(source);
    const std::vector<uint8_t> body = BodyOf(source);

    SWworld world;
    auto geometry = std::make_unique<SWparticlenode>();
    SWparticlenode* particles = geometry.get();
    ASSERT_TRUE(ReadInto(*particles, body));
    world.GetRootObject()->AddGeometry(std::move(geometry));
    auto* node = new SWobjectnode();
    node->SetName(std::string("sparks"));
    node->SetGeometry(particles);
    world.AddNode(node, nullptr);
    ASSERT_NE(SlotGenerator(*particles, SWparticles::kOpacity), nullptr);
    EXPECT_EQ(SlotGenerator(*particles, SWparticles::kOpacity)->GetWorld(), nullptr);

    SWparticleaction action(48);
    FindActionHandler(action.GetKindId())(nullptr, &world, ActionTarget::Text("sparks"),
                                          ActionSubject{&action, nullptr, nullptr});
    const auto* list = TimedActionTable::Of(world).GetTypeList(SWparticlemotion::kType);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->size(), 1u);
    list->front()->Step(0.0f);
    list->front()->Step(40.0f);
    for (int slot : {SWparticles::kGravity, SWparticles::kOpacity, SWparticles::kTimeScale})
        EXPECT_EQ(SlotGenerator(*particles, slot)->GetWorld(), &world) << slot;
    // The read generators drive their parameters as generators set by hand do.
    EXPECT_EQ(particles->GetParticles().GetParameter(SWparticles::kGravity),
              SlotGenerator(*particles, SWparticles::kGravity)->GetValue());
}
