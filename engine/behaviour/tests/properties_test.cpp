// Variable lists: adding, removing with views, and the variable records (round trips, damage, bindings, ids).
#include <gtest/gtest.h>

#include <vector>

#include "engine/behaviour/properties.h"
#include "engine/behaviour/property.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/matrix.h"
#include "engine/core/quaternion.h"
#include "engine/core/read_context.h"
#include "engine/core/record_builder.h"
#include "engine/core/typed_value_text.h"
#include "engine/core/unique_id.h"
#include "engine/core/vector.h"

namespace {

SWproperty* AddNamed(SWproperties2& list, uint32_t type, const char* name)
{
    auto v = std::make_unique<SWproperty>(type);
    v->SetName(std::string(name));
    return list.AddVariable(std::move(v));
}

SWproperty* AddView(SWproperties2& list, uint32_t type, const char* name, SWproperty& target, int16_t index)
{
    auto v = std::make_unique<SWproperty>(type, target, index);
    v->SetName(std::string(name));
    return list.AddVariable(std::move(v));
}

std::vector<uint8_t> Written(const SWproperties2& list)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        EXPECT_TRUE(list.WriteVariables(out));
    }
    return buffer.ToVector();
}

void ReadInto(SWproperties2& list, const std::vector<uint8_t>& bytes)
{
    SWchunkstream in(bytes);
    EXPECT_TRUE(list.ReadVariables(in));
}

// One variable record by hand: tag, then the payload the builder measures.
struct RecordWriter {
    SWbuffer buffer;
    SWchunkstream out{buffer, SWchunkstream::kWrite};

    void OwnInteger(const char* name, int32_t value, uint32_t id)
    {
        SWrecordbuilder record(out, MakeTag("7401"));
        {
            SWrecordbuilder own(record.Stream(), MakeTag("7499"));
            own.Stream().WriteU8(SWproperty::kDefaultFlags);
            own.Stream().WriteString(name);
            own.Stream().WriteString(static_cast<const char*>(nullptr));
            own.Stream().WriteU32(kTypeInteger);
            own.Stream().WriteI32(value);
            own.Finish();
        }
        Id(record.Stream(), id);
        record.Finish();
    }
    void Bound(uint32_t recordTag, uint32_t type, const char* name, const char* target, uint16_t index)
    {
        SWrecordbuilder record(out, recordTag);
        SWrecordbuilder bound(record.Stream(), MakeTag("7497"));
        bound.Stream().WriteU32(type);
        bound.Stream().WriteString(name);
        bound.Stream().WriteString(target);
        bound.Stream().WriteU16(index);
        bound.Finish();
        record.Finish();
    }
    static void Id(SWchunkstream& s, uint32_t id)
    {
        SWrecordbuilder r(s, MakeTag("7498"));
        r.Stream().WriteU32(id);
        r.Finish();
    }
    std::vector<uint8_t> Bytes() { return buffer.ToVector(); }
};

} // namespace

TEST(PropertiesList, AddRefusesATakenNameAndFindsByteForByte)
{
    SWproperties2 list;
    ASSERT_NE(AddNamed(list, kTypeInteger, "speed"), nullptr);
    EXPECT_EQ(AddNamed(list, kTypeFloat, "speed"), nullptr);
    EXPECT_NE(AddNamed(list, kTypeFloat, "Speed"), nullptr);
    EXPECT_EQ(list.CountVariables(), 2u);
    EXPECT_EQ(list.FindVariable("SPEED"), nullptr);
    auto unnamed = std::make_unique<SWproperty>(kTypeInteger);
    EXPECT_NE(list.AddVariable(std::move(unnamed)), nullptr);
    EXPECT_NE(list.AddVariable(std::make_unique<SWproperty>(kTypeInteger)), nullptr); // unnamed never clash
    EXPECT_EQ(list.FindVariable(""), nullptr);
}

TEST(PropertiesList, RemovingATargetRemovesItsViewsFirst)
{
    SWproperties2 list;
    SWproperty* matrix = AddNamed(list, kTypeMatrix, "m");
    SWproperty* position = AddView(list, kTypeVector, "p", *matrix, 0);
    AddView(list, kTypeFloat, "x", *position, 0);
    AddNamed(list, kTypeInteger, "other");
    const uint64_t before = list.GetRemovalCount();
    EXPECT_TRUE(list.RemoveVariable(matrix));
    EXPECT_EQ(list.CountVariables(), 1u);
    EXPECT_NE(list.FindVariable("other"), nullptr);
    EXPECT_EQ(list.GetRemovalCount(), before + 3);
    SWproperty stranger(kTypeInteger);
    EXPECT_FALSE(list.RemoveVariable(&stranger));
}

TEST(PropertiesRecords, EveryTypeRoundTripsWithItsIdAndViews)
{
    SWproperties2 list;
    const char* texts[] = {"hello", "-17", "1", "2.5", "1,2,3", "0,0.7071,0,0.7071", "1,0,0,4,0,1,0,5,0,0,1,6,0,0,0,1"};
    const uint32_t types[] = {kTypeString, kTypeInteger,    kTypeBoolean, kTypeFloat,
                              kTypeVector, kTypeQuaternion, kTypeMatrix};
    for (size_t i = 0; i < 7; ++i) {
        SWproperty* v = AddNamed(list, types[i], std::string("v").append(std::to_string(i)).c_str());
        v->SetAllFromData(ParseTypedValueText(texts[i], types[i]));
    }
    AddView(list, kTypeVector, "where", *list.FindVariable("v6"), 0);
    SWproperty* hidden = AddNamed(list, kTypeInteger, "unsaved");
    hidden->SetFlags(SWproperty::kFlagSaved, false);

    SWproperties2 copy;
    ReadInto(copy, Written(list));
    ASSERT_EQ(copy.CountVariables(), 8u);
    for (size_t i = 0; i < 7; ++i) {
        const std::string name = std::string("v").append(std::to_string(i));
        const SWproperty* a = list.FindVariable(name);
        const SWproperty* b = copy.FindVariable(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->GetType(), a->GetType());
        EXPECT_EQ(TypedValueText(b->GetInitialData()), TypedValueText(a->GetInitialData())) << name;
        EXPECT_EQ(b->GetId(), a->GetId()); // ids are unique to the list, so the read ones are kept
    }
    const SWproperty* where = copy.FindVariable("where");
    ASSERT_NE(where, nullptr);
    EXPECT_EQ(where->GetTarget(), copy.FindVariable("v6"));
    EXPECT_EQ(where->GetAsVector(), SWvector(4, 5, 6));
    EXPECT_EQ(copy.FindVariable("unsaved"), nullptr);
}

TEST(PropertiesRecords, AViewWhoseTargetIsMissingDisappears)
{
    RecordWriter w;
    w.Bound(MakeTag("7404"), kTypeVector, "p", "nowhere", 0);
    SWproperties2 list;
    ReadInto(list, w.Bytes());
    EXPECT_EQ(list.CountVariables(), 0u);
}

TEST(PropertiesRecords, SelfBindingsAndLoopsAreRefusedAndAHugeIndexIsHarmless)
{
    RecordWriter w;
    w.OwnInteger("n", 3, 0);
    w.Bound(MakeTag("7401"), kTypeInteger, "self", "self", 0);
    w.Bound(MakeTag("7401"), kTypeInteger, "a", "b", 0);
    w.Bound(MakeTag("7401"), kTypeInteger, "b", "a", 0);
    w.Bound(MakeTag("7401"), kTypeInteger, "far", "n", 65535);
    w.Bound(MakeTag("7401"), 3, "oddtype", "n", 0);
    SWproperties2 list;
    ReadInto(list, w.Bytes());
    EXPECT_EQ(list.FindVariable("self"), nullptr);
    EXPECT_EQ(list.FindVariable("a"), nullptr);
    EXPECT_EQ(list.FindVariable("b"), nullptr);
    EXPECT_EQ(list.FindVariable("oddtype"), nullptr);
    SWproperty* far = list.FindVariable("far");
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(far->GetIndex(), -1); // 65535 read as a signed index
    EXPECT_FALSE(far->HasChanged());
    far->AssignInt(9);
    EXPECT_EQ(list.FindVariable("n")->GetAsInt(), 9);
    // Written back as read.
    SWproperties2 again;
    ReadInto(again, Written(list));
    EXPECT_EQ(again.FindVariable("far")->GetIndex(), -1);
}

TEST(PropertiesRecords, AReadNameReplacesAPlainVariableButNotAViewedOne)
{
    SWproperties2 list;
    SWproperty* plain = AddNamed(list, kTypeInteger, "plain");
    plain->SetAllFromData(TypedValueData::OfInteger(1));
    SWproperty* viewed = AddNamed(list, kTypeMatrix, "viewed");
    AddView(list, kTypeInteger, "view", *viewed, 3);
    SWproperty* builtIn = AddNamed(list, kTypeInteger, "builtin");
    builtIn->SetFlags(SWproperty::kFlagBuiltIn, true);

    RecordWriter w;
    w.OwnInteger("plain", 5, 0);
    w.OwnInteger("viewed", 7, 0);
    w.OwnInteger("builtin", 8, 0);
    ReadInto(list, w.Bytes());
    EXPECT_EQ(list.FindVariable("plain")->GetAsInt(), 5);
    EXPECT_EQ(list.FindVariable("viewed"), viewed); // kept: "view" still reads it
    EXPECT_EQ(list.FindVariable("view")->GetTarget(), viewed);
    EXPECT_EQ(viewed->GetType(), kTypeMatrix);
    EXPECT_EQ(viewed->GetAsMatrix()[0], 7.0f); // the read value went into its copies
    EXPECT_EQ(list.FindVariable("builtin"), builtIn);
    EXPECT_EQ(builtIn->GetAsInt(), 8);
    EXPECT_EQ(list.CountVariables(), 4u);
}

TEST(PropertiesRecords, ReadIdsRaiseTheCounterAndDuplicatesGetFreshOnes)
{
    const uint32_t high = PeekUniqueId() + 1000;
    RecordWriter w;
    w.OwnInteger("a", 1, high);
    w.OwnInteger("b", 2, high);
    w.OwnInteger("c", 3, 0);
    SWproperties2 list;
    ReadInto(list, w.Bytes());
    EXPECT_EQ(list.FindVariable("a")->GetId(), high);
    EXPECT_GT(list.FindVariable("b")->GetId(), high);
    EXPECT_NE(list.FindVariable("c")->GetId(), 0u);
    EXPECT_GT(NextUniqueId(), high);
    EXPECT_EQ(list.FindVariableById(high), list.FindVariable("a"));
}

// Variables of a file go through its read context like every stored id: kept when it is opened (a second holder's
// copy of an id is a duplicate), all fresh when it is read to merge, never kept from 0x80000000 up.
TEST(PropertiesRecords, ReadIdsFollowTheReadContextsPolicy)
{
    const uint32_t stored = PeekUniqueId() + 1000;
    RecordWriter w;
    w.OwnInteger("a", 1, stored);
    w.OwnInteger("huge", 2, 0xFFFFFFF0u);
    const std::vector<uint8_t> bytes = w.Bytes();
    const auto read = [&](SWproperties2& list, SWreadcontext& context) {
        SWchunkstream in(bytes);
        in.SetReadContext(&context);
        EXPECT_TRUE(list.ReadVariables(in));
    };

    SWreadcontext opening(SWreadcontext::IdMode::kKeep);
    SWproperties2 first;
    SWproperties2 second;
    read(first, opening);
    read(second, opening);
    EXPECT_EQ(first.FindVariable("a")->GetId(), stored);
    EXPECT_NE(second.FindVariable("a")->GetId(), stored);
    EXPECT_LT(first.FindVariable("huge")->GetId(), kLowestUnsafeId);
    EXPECT_GT(PeekUniqueId(), stored);
    EXPECT_LT(PeekUniqueId(), kLowestUnsafeId);

    SWreadcontext merging(SWreadcontext::IdMode::kFresh);
    SWproperties2 merged;
    read(merged, merging);
    const uint32_t mergedId = merged.FindVariable("a")->GetId();
    EXPECT_NE(mergedId, stored);
    EXPECT_NE(mergedId, second.FindVariable("a")->GetId());
    EXPECT_LT(merged.FindVariable("huge")->GetId(), kLowestUnsafeId);
}

TEST(PropertiesRecords, DamagedRecordsKeepWhatWasReadAndUnknownTagsAreSkipped)
{
    RecordWriter w;
    {
        SWrecordbuilder junk(w.out, MakeTag("ABCD"));
        junk.Stream().WriteU32(99);
        junk.Finish();
    }
    w.OwnInteger("good", 4, 0);
    std::vector<uint8_t> bytes = w.Bytes();
    const std::vector<uint8_t> whole = bytes;
    // Each case cuts the good record short at a different point: inside the name, the value, the id.
    for (size_t cut : {size_t{12}, size_t{24}, size_t{30}}) {
        SCOPED_TRACE(cut);
        std::vector<uint8_t> damaged(whole.begin(), whole.end() - static_cast<long>(cut));
        SWproperties2 list;
        ReadInto(list, damaged);
        EXPECT_LE(list.CountVariables(), 1u);
    }
    SWproperties2 list;
    ReadInto(list, whole);
    ASSERT_NE(list.FindVariable("good"), nullptr);
    EXPECT_EQ(list.FindVariable("good")->GetAsInt(), 4);

    // A sub-record that claims more than its record holds: Load fails, the variable keeps what it had.
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        out.WriteU32(MakeTag("7403"));
        out.WriteU32(12);
        out.WriteU32(MakeTag("7499"));
        out.WriteU32(1000);
        out.WriteU32(0);
    }
    SWproperties2 damaged;
    ReadInto(damaged, buffer.ToVector());
    EXPECT_EQ(damaged.CountVariables(), 1u);
    EXPECT_EQ(damaged.GetFirstVariable()->GetType(), kTypeFloat);
}

TEST(PropertyLoad, ShortSubRecordAnswersFalse)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        SWrecordbuilder own(out, MakeTag("7499"));
        own.Stream().WriteU8(14);
        own.Stream().WriteString("x");
        own.Stream().WriteString(static_cast<const char*>(nullptr));
        own.Stream().WriteU32(kTypeVector);
        own.Stream().WriteF32(1.0f); // two of the three components missing
        own.Finish();
    }
    const std::vector<uint8_t> bytes = buffer.ToVector();
    SWchunkstream in(bytes);
    SWproperty v(kTypeVector);
    EXPECT_FALSE(v.Load(in));
    EXPECT_EQ(v.GetName(), std::optional<std::string>("x"));
}
