// The particle gradient store: records found by node before name, written under their system's name, read back in
// both layouts, bounded against damaged counts, and held by one project only.
#include <cstring>
#include <string>
#include <vector>

#include "designer/app/project_object.h"
#include "designer/app/project_records.h"
#include "designer/editors/tests/tooltip_fixture.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"

namespace tooltiptest {
namespace {

using GradientStore = EditorsFixture;

CVTND_GradientFields Edited()
{
    CVTND_GradientFields f = CVTND_GradientFields::Defaults();
    f.keyColours[1] = 0x00123456u;
    f.selectedKey = 1;
    f.selectedCurvePoint = 2;
    f.curveValues[3] = 0.25f;
    f.colourTable = CVTND_Gradient::ComputeTable(f);
    return f;
}

// A record holding fields, through a control as the editor stores it.
void Fill(CVTND_GradientPersinstancyNode& record, const CVTND_GradientFields& fields)
{
    CVTND_Gradient control;
    ASSERT_TRUE(control.SetFields(fields));
    record.StoreFromControl(control);
}

std::vector<uint8_t> Written(const CVTND_GradientPersinstancyNode& record, const SWworld* world)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        EXPECT_TRUE(record.Write(out, world));
    }
    return buffer.ToVector();
}

// An older list of one record, written where the project item's gradient records go.
bool WriteOldList(CVTND_ProjectWriting&, SWchunkstream& payload)
{
    SWrecordbuilder record(payload, MakeTag("PRW3"));
    record.Stream().WriteU32(1);
    record.Stream().WriteString("sparks");
    record.Stream().WriteBytes(std::vector<uint8_t>(4 * 290, 7));
    return record.Finish();
}

TEST_F(GradientStore, RecordsSurviveWritingUnderTheirSystemsName)
{
    CVTND_GradientPersinstancy* store = Store();
    ASSERT_NE(store, nullptr);
    CVTND_GradientPersinstancyNode* record = store->FindOrCreate(World(), sample->particles, true);
    ASSERT_NE(record, nullptr);
    EXPECT_FALSE(record->IsPresent());
    EXPECT_EQ(Written(*record, &World()), std::vector<uint8_t>{0}); // never filled: the single byte 0
    Fill(*record, Edited());
    sample->particles->SetName(std::string("embers"));
    const std::vector<uint8_t> bytes = Written(*record, &World());
    CVTND_GradientPersinstancyNode back;
    SWchunkstream in{std::span<const uint8_t>(bytes)};
    ASSERT_TRUE(back.Read(in));
    EXPECT_EQ(in.Remaining(), 0u);
    ASSERT_TRUE(back.IsPresent());
    EXPECT_EQ(back.GetStoredName(), std::optional<std::string>("embers"));
    EXPECT_EQ(back.GetFields().keyColours, Edited().keyColours);
    EXPECT_EQ(back.GetFields().selectedKey, 1);
    EXPECT_EQ(back.GetFields().curveValues[3], 0.25f);
    CVTND_Gradient control;
    ASSERT_TRUE(back.LoadIntoControl(control));
    EXPECT_EQ(control.GetFields().colourTable, Edited().colourTable);
}

TEST_F(GradientStore, NodeMatchesBeforeNameAndTheFirstNameWins)
{
    CVTND_GradientPersinstancy* store = Store();
    const std::string name = *sample->particles->GetName();
    auto first = std::make_unique<CVTND_GradientPersinstancyNode>();
    auto second = std::make_unique<CVTND_GradientPersinstancyNode>();
    for (auto* r : {first.get(), second.get()}) {
        SWbuffer buffer;
        {
            SWchunkstream out(buffer, SWchunkstream::kWrite);
            out.WriteU8(1);
            out.WriteString(name);
            out.WriteBytes(std::vector<uint8_t>(64 * 12 + 32 * 8, 0));
            out.WriteU32(4);
            out.WriteU32(5);
            out.WriteI32(r == first.get() ? 0 : 1);
            out.WriteI32(-1);
            out.WriteU8(1);
            out.WriteI32(0);
        }
        const std::vector<uint8_t> payload = buffer.ToVector();
        SWchunkstream in{std::span<const uint8_t>(payload)};
        ASSERT_TRUE(r->Read(in));
    }
    CVTND_GradientPersinstancyNode* firstRecord = first.get();
    store->Append(first.release());
    store->Append(second.release());
    EXPECT_EQ(store->FindByName(&World(), name), firstRecord);
    EXPECT_EQ(store->FindOrCreate(World(), sample->particles, false), firstRecord);
    // Renamed, the system keeps its record: the node matches first.
    sample->particles->SetName(std::string("renamed"));
    EXPECT_EQ(store->FindOrCreate(World(), sample->particles, false), firstRecord);
    EXPECT_EQ(Written(*firstRecord, &World())[5], 'r');
    // Loading clears the capture the file held.
    CVTND_Gradient control;
    ASSERT_TRUE(firstRecord->LoadIntoControl(control));
    EXPECT_EQ(control.GetFields().mouseCapture, 0);
    // Deleting the node drops its record alone.
    ASSERT_TRUE(app->DeleteObject(CVTND_Object(ObjectType::kParticleNode, sample->particles), 0));
    EXPECT_EQ(store->Count(), 1u);
    EXPECT_NE(store->First(), firstRecord);
}

TEST_F(GradientStore, OlderRecordsReadAsNotPresentAndDamageIsBounded)
{
    CVTND_GradientPersinstancy store;
    // Two older records, then a count that claims far more than the record holds.
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        out.WriteU32(0xFFFFFFFFu);
        for (const char* name : {"one", "two"}) {
            out.WriteString(name);
            out.WriteBytes(std::vector<uint8_t>(4 * 290, 0));
        }
    }
    const std::vector<uint8_t> old = buffer.ToVector();
    SWchunkstream in{std::span<const uint8_t>(old)};
    EXPECT_FALSE(store.ReadOldList(in)); // stops at the end of its record
    ASSERT_EQ(store.Count(), 2u);
    EXPECT_FALSE(store.First()->IsPresent());
    EXPECT_EQ(store.First()->GetStoredName(), std::optional<std::string>("one"));
    EXPECT_EQ(Written(*store.First(), nullptr), std::vector<uint8_t>{0});

    // A filled record, cut at every byte and with counts and selections beyond the control.
    CVTND_GradientPersinstancyNode filled;
    Fill(filled, Edited());
    const std::vector<uint8_t> bytes = Written(filled, &World());
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        CVTND_GradientPersinstancyNode record;
        SWchunkstream part{std::span<const uint8_t>(bytes.data(), cut)};
        EXPECT_FALSE(record.Read(part) && record.IsPresent()) << cut;
        EXPECT_FALSE(record.IsPresent());
    }
    const size_t countsAt = bytes.size() - 4 - 1 - 4 - 4 - 4 - 4;
    const auto patched = [&](size_t at, uint32_t value) {
        std::vector<uint8_t> damaged = bytes;
        std::memcpy(damaged.data() + at, &value, 4);
        CVTND_GradientPersinstancyNode record;
        SWchunkstream part{std::span<const uint8_t>(damaged)};
        const bool read = record.Read(part);
        return read || record.IsPresent();
    };
    EXPECT_FALSE(patched(countsAt, 33));     // curve points
    EXPECT_FALSE(patched(countsAt + 4, 65)); // keys
    EXPECT_FALSE(patched(countsAt + 8, 70)); // selected key
    EXPECT_FALSE(patched(countsAt + 12, 4)); // selected curve point, one past the last
    EXPECT_TRUE(patched(countsAt + 8, 4));
}

// Nine bytes each, a record that is not present holds nothing: kept, a million of them took a gigabyte.
TEST_F(GradientStore, RecordsThatAreNotPresentAreNotKept)
{
    CVTND_GradientPersinstancy store;
    const std::vector<uint8_t> absent = {0};
    for (int i = 0; i < 1000; ++i) {
        SWchunkstream in{std::span<const uint8_t>(absent)};
        EXPECT_TRUE(store.ReadCurrent(in));
    }
    EXPECT_EQ(store.Count(), 0u);
    CVTND_GradientPersinstancyNode filled;
    Fill(filled, Edited());
    const std::vector<uint8_t> present = Written(filled, &World());
    SWchunkstream in{std::span<const uint8_t>(present)};
    EXPECT_TRUE(store.ReadCurrent(in));
    EXPECT_EQ(store.Count(), 1u);
}

TEST_F(GradientStore, AProjectKeepsItsOwnRecords)
{
    CVTND_GradientPersinstancyNode* record = Store()->FindOrCreate(World(), sample->particles, true);
    Fill(*record, Edited());
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(app->GetProject()->WriteBytes(bytes, app->GetGradientStore()));
    CVTND_Project::LoadResult loaded = CVTND_Project::LoadBytes(bytes, "first");
    ASSERT_TRUE(loaded.ok()) << loaded.message;
    auto* store = dynamic_cast<CVTND_GradientPersinstancy*>(loaded.gradients.get());
    ASSERT_NE(store, nullptr);
    ASSERT_EQ(store->Count(), 1u);
    SWnode* node = loaded.world->GetRootNode()->FindByName(*sample->particles->GetName());
    CVTND_GradientPersinstancyNode* found = store->FindOrCreate(*loaded.world, node, false);
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(found->IsPresent());
    EXPECT_EQ(found->GetFields().keyColours[1], 0x00123456u);

    // A project with an older list opens with that record not present, written back as a single 0 byte.
    const CVTND_ProjectRecordHandler* real = FindProjectRecordHandler(MakeTag("PRW4"));
    const CVTND_ProjectRecordHandler old{&WriteOldList, nullptr};
    ReplaceProjectRecordHandler(MakeTag("PRW4"), &old);
    std::vector<uint8_t> oldBytes;
    const bool written = app->GetProject()->WriteBytes(oldBytes, app->GetGradientStore());
    ReplaceProjectRecordHandler(MakeTag("PRW4"), real);
    ASSERT_TRUE(written);
    CVTND_Project::LoadResult withOld = CVTND_Project::LoadBytes(oldBytes, "old");
    ASSERT_TRUE(withOld.ok()) << withOld.message;
    EXPECT_FALSE(withOld.damagedButOpened);
    auto* oldStore = dynamic_cast<CVTND_GradientPersinstancy*>(withOld.gradients.get());
    ASSERT_EQ(oldStore->Count(), 1u);
    EXPECT_FALSE(oldStore->First()->IsPresent());
    CVTND_Gradient control;
    EXPECT_FALSE(oldStore->First()->LoadIntoControl(control));

    // A new workspace starts empty and its save holds none of the old records.
    app->NewWorkspace();
    ASSERT_NE(Store(), nullptr);
    EXPECT_EQ(Store()->Count(), 0u);
    std::vector<uint8_t> fresh;
    ASSERT_TRUE(app->GetProject()->WriteBytes(fresh, app->GetGradientStore()));
    CVTND_Project::LoadResult reopened = CVTND_Project::LoadBytes(fresh, "fresh");
    ASSERT_TRUE(reopened.ok());
    EXPECT_EQ(dynamic_cast<CVTND_GradientPersinstancy*>(reopened.gradients.get())->Count(), 0u);
}

TEST_F(GradientStore, ARecordWhoseNodeWentWritesItsKeptName)
{
    CVTND_GradientPersinstancyNode* record = Store()->FindOrCreate(World(), sample->particles, true);
    Fill(*record, Edited());
    const std::string name = *sample->particles->GetName();
    // The node leaves the tree without any dropper.
    {
        const SWworldlock lock(World());
        ASSERT_TRUE(World().DeleteNode(sample->particles));
    }
    EXPECT_EQ(record->ResolveNode(&World()), nullptr);
    const std::vector<uint8_t> bytes = Written(*record, &World());
    CVTND_GradientPersinstancyNode back;
    SWchunkstream in{std::span<const uint8_t>(bytes)};
    ASSERT_TRUE(back.Read(in));
    EXPECT_EQ(back.GetStoredName(), std::optional<std::string>(name));
}

} // namespace
} // namespace tooltiptest
