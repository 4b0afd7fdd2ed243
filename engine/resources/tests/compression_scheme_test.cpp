#include "engine/resources/compression_scheme.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/container.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/resources/resource_report.h"

namespace {

// An object with a choice of scheme, as sounds and meshes have.
class Resource : public CVTN_Container, public SWschemechoice {
public:
    explicit Resource(SchemeKind kind) : m_kind(kind) {}
    SchemeKind GetSchemeKind() const override { return m_kind; }
    const SWcompressionscheme* GetScheme() const override { return m_scheme; }
    void SetScheme(const SWcompressionscheme* row) override { m_scheme = row; }
    uint32_t value = 0;

private:
    SchemeKind m_kind;
    const SWcompressionscheme* m_scheme = nullptr;
};

// Stores the resource's value as one u32; reads as many u32 as it is told to, answering what it was built to.
class ValueRow : public SWcompressionscheme {
public:
    ValueRow(const char (&id)[5], SchemeKind kind, bool isDefault, bool answer = true, int wordsToRead = 1)
        : SWcompressionscheme({MakeTag(id), kind, true, isDefault, id, std::string("long ") + id, {100, 100}}),
          m_answer(answer), m_wordsToRead(wordsToRead)
    {
    }
    bool Write(SWchunkstream& out, CVTN_Container* object, uint32_t /*word*/) const override
    {
        SWrecordbuilder record(out, GetId());
        record.Stream().WriteU32(static_cast<Resource*>(object)->value);
        record.Stream().WriteU32(0xABCDEF01);
        return record.Finish() && m_answer;
    }
    bool Read(SWchunkstream& in, CVTN_Container* object, uint32_t /*word*/) const override
    {
        for (int i = 0; i < m_wordsToRead; ++i)
            static_cast<Resource*>(object)->value = in.ReadU32();
        return m_answer;
    }

private:
    bool m_answer;
    int m_wordsToRead;
};

TEST(SchemeTableRegistration, RefusesNullSecondIdSecondDefaultAndForeignKinds)
{
    SWcompressionschemes table;
    EXPECT_TRUE(table.Register(std::make_unique<ValueRow>("7499", SchemeKind::kSound, true)));
    EXPECT_TRUE(table.Register(std::make_unique<ValueRow>("7498", SchemeKind::kSound, false)));
    EXPECT_FALSE(table.Register(nullptr));
    EXPECT_FALSE(table.Register(std::make_unique<ValueRow>("7499", SchemeKind::kMesh, false))) << "id taken";
    EXPECT_FALSE(table.Register(std::make_unique<ValueRow>("7497", SchemeKind::kSound, true))) << "second default";
    EXPECT_FALSE(table.Register(std::make_unique<ValueRow>("XXXX", static_cast<SchemeKind>(5), false)));
    EXPECT_TRUE(table.Register(std::make_unique<ValueRow>("IMES", SchemeKind::kMesh, true))) << "a default per kind";
    EXPECT_EQ(table.Count(), 3u);
    EXPECT_EQ(table.FindById(MakeTag("7499"))->GetKind(), SchemeKind::kSound);
    EXPECT_EQ(table.FindById(MakeTag("7497")), nullptr);
    EXPECT_EQ(table.DefaultOf(SchemeKind::kSound)->GetId(), MakeTag("7499"));
    EXPECT_EQ(table.DefaultOf(SchemeKind::kKeyFrames), nullptr);
    const auto offered = table.OfferedRows(SchemeKind::kSound);
    ASSERT_EQ(offered.size(), 2u);
    EXPECT_EQ(offered[0]->GetId(), MakeTag("7499"));
    EXPECT_EQ(offered[1]->GetId(), MakeTag("7498"));
}

TEST(SchemeRowBase, ReadsAndWritesNothingAcceptsAllAndDescribesNothing)
{
    const SWcompressionscheme row({MakeTag("BASE"), SchemeKind::kVertexStreams, false, false, "b", "base", {1, 2}});
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    Resource resource(SchemeKind::kVertexStreams);
    EXPECT_FALSE(row.Write(out, &resource, 0));
    EXPECT_EQ(buffer.Size(), 0u);
    EXPECT_TRUE(row.Accepts(&resource));
    EXPECT_FALSE(row.Describe(&resource).has_value());
    EXPECT_EQ(row.GetParameter(1), 2u);
    EXPECT_EQ(row.GetParameter(2), 0u);
}

TEST(SchemeWriteResource, ObjectWithoutChoiceGetsAndKeepsTheDefault)
{
    SWcompressionschemes table;
    table.Register(std::make_unique<ValueRow>("7499", SchemeKind::kSound, true));
    Resource sound(SchemeKind::kSound);
    sound.value = 42;
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    ASSERT_TRUE(table.WriteResource(1, out, &sound, 0));
    EXPECT_EQ(sound.GetScheme(), table.DefaultOf(SchemeKind::kSound));
    SWchunkstream in(buffer, SWchunkstream::kRead);
    EXPECT_EQ(in.PeekTag(), MakeTag("7499"));
}

TEST(SchemeWriteResource, NoDefaultRowStoresNothingAndFails)
{
    SWcompressionschemes table;
    table.Register(std::make_unique<ValueRow>("7498", SchemeKind::kSound, false));
    Resource sound(SchemeKind::kSound);
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    EXPECT_FALSE(table.WriteResource(1, out, &sound, 0));
    EXPECT_EQ(sound.GetScheme(), nullptr);
    EXPECT_EQ(buffer.Size(), 0u);
}

TEST(SchemeWriteResource, RowFailureKindsOutsideAndObjectsWithoutChoiceFail)
{
    SWcompressionschemes table;
    table.Register(std::make_unique<ValueRow>("7499", SchemeKind::kSound, true, /*answer*/ false));
    Resource sound(SchemeKind::kSound);
    Resource mesh(SchemeKind::kMesh);
    CVTN_Container plain;
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    EXPECT_FALSE(table.WriteResource(1, out, &sound, 0)) << "the row's false comes back";
    EXPECT_FALSE(table.WriteResource(0, out, &sound, 0));
    EXPECT_FALSE(table.WriteResource(5, out, &sound, 0));
    EXPECT_FALSE(table.WriteResource(1, out, &mesh, 0)) << "a mesh is not a sound";
    EXPECT_FALSE(table.WriteResource(1, out, &plain, 0));
    EXPECT_FALSE(table.WriteResource(1, out, nullptr, 0));
}

// A row that refuses every object, saying why.
class RefusingRow : public ValueRow {
public:
    RefusingRow() : ValueRow("7497", SchemeKind::kSound, false) {}
    bool Accepts(const CVTN_Container* /*object*/) const override { return false; }
    std::optional<std::string> Describe(const CVTN_Container* /*object*/) const override { return "too loud"; }
};

TEST(SchemeWriteResource, ModesPickTheRowAndARefusingChoiceFallsBackReported)
{
    SWcompressionschemes table;
    table.Register(std::make_unique<ValueRow>("7499", SchemeKind::kSound, true));
    table.Register(std::make_unique<ValueRow>("7496", SchemeKind::kSound, false));
    table.Register(std::make_unique<RefusingRow>());
    const SWcompressionscheme* const accepting = table.FindById(MakeTag("7496"));
    const SWcompressionscheme* const refusing = table.FindById(MakeTag("7497"));
    Resource sound(SchemeKind::kSound);
    (void)TakeKeptResourceReports();
    auto tagWritten = [&](SchemeWriteMode mode) {
        SWbuffer buffer;
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        EXPECT_TRUE(table.WriteResource(1, out, &sound, 0, mode));
        SWchunkstream in(buffer, SWchunkstream::kRead);
        return in.PeekTag();
    };
    sound.SetScheme(accepting);
    EXPECT_EQ(tagWritten(SchemeWriteMode::kChosen), MakeTag("7496"));
    EXPECT_EQ(tagWritten(SchemeWriteMode::kDefault), MakeTag("7499"));
    EXPECT_EQ(sound.GetScheme(), accepting) << "the choice is kept when the default is used";
    EXPECT_TRUE(TakeKeptResourceReports().reports.empty());

    sound.SetScheme(refusing);
    EXPECT_EQ(table.RowFor(1, &sound, SchemeWriteMode::kChosen), table.DefaultOf(SchemeKind::kSound));
    EXPECT_EQ(tagWritten(SchemeWriteMode::kChosen), MakeTag("7499"));
    EXPECT_EQ(sound.GetScheme(), refusing);
    const KeptResourceReports kept = TakeKeptResourceReports();
    ASSERT_EQ(kept.reports.size(), 1u);
    EXPECT_EQ(kept.reports[0], (ResourceReport{"too loud", "7497"}));
    EXPECT_EQ(tagWritten(SchemeWriteMode::kDefault), MakeTag("7499"));
    EXPECT_TRUE(TakeKeptResourceReports().reports.empty()) << "scene files never use the choice";
}

class SchemeReadResource : public ::testing::Test {
protected:
    // One record of the row's tag holding two words, followed by a marker record.
    void WriteRecords(const char (&tag)[5])
    {
        SWchunkstream out(m_buffer, SWchunkstream::kWrite);
        SWrecordbuilder record(out, MakeTag(tag));
        record.Stream().WriteU32(7);
        record.Stream().WriteU32(8);
        record.Finish();
        SWrecordbuilder marker(out, MakeTag("NEXT"));
        marker.Finish();
    }
    SWbuffer m_buffer;
};

TEST_F(SchemeReadResource, UnknownTagIsLeftUnconsumed)
{
    SWcompressionschemes table;
    WriteRecords("ABCD");
    SWchunkstream in(m_buffer, SWchunkstream::kRead);
    Resource sound(SchemeKind::kSound);
    EXPECT_FALSE(table.ReadResource(MakeTag("ABCD"), in, &sound, 0));
    EXPECT_EQ(in.PeekTag(), MakeTag("ABCD"));
    EXPECT_TRUE(in.SkipRecord());
    EXPECT_EQ(in.PeekTag(), MakeTag("NEXT"));
}

TEST_F(SchemeReadResource, RowThatReadsHalfLeavesTheStreamAfterTheRecord)
{
    SWcompressionschemes table;
    table.Register(std::make_unique<ValueRow>("7499", SchemeKind::kSound, true, true, 1));
    WriteRecords("7499");
    SWchunkstream in(m_buffer, SWchunkstream::kRead);
    Resource sound(SchemeKind::kSound);
    EXPECT_TRUE(table.ReadResource(in.PeekTag(), in, &sound, 0));
    EXPECT_EQ(sound.value, 7u);
    EXPECT_EQ(in.PeekTag(), MakeTag("NEXT"));
}

TEST_F(SchemeReadResource, RowFalseAndRowReadingPastTheRecordFail)
{
    SWcompressionschemes table;
    table.Register(std::make_unique<ValueRow>("7499", SchemeKind::kSound, true, /*answer*/ false));
    table.Register(std::make_unique<ValueRow>("7498", SchemeKind::kSound, false, true, /*wordsToRead*/ 3));
    for (const char* tag : {"7499", "7498"}) {
        SCOPED_TRACE(tag);
        m_buffer.Clear();
        if (tag[3] == '9')
            WriteRecords("7499");
        else
            WriteRecords("7498");
        SWchunkstream in(m_buffer, SWchunkstream::kRead);
        Resource sound(SchemeKind::kSound);
        EXPECT_FALSE(table.ReadResource(in.PeekTag(), in, &sound, 0));
    }
}

} // namespace
