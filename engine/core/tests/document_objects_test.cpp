#include "engine/core/document_objects.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/core/chunk_stream.h"
#include "engine/core/document_file.h"
#include "engine/core/read_context.h"
#include "engine/core/tag_registry.h"
#include "engine/core/unique_id.h"
#include "testsupport/world/document_bytes.h"

namespace {

using namespace documenttest;

constexpr uint32_t kTagHolder = MakeTag("ZHLD"); // holds any child; payload: u32 value
constexpr uint32_t kTagLeaf = MakeTag("ZLEF");   // holds none; payload: a string
constexpr uint32_t kTagFails = MakeTag("ZFAI");  // never reads
constexpr uint32_t kTagIds = MakeTag("ZIDS");    // payload: own id, referenced id
constexpr uint32_t kTagUnknown = MakeTag("ZUNK");

class Holder : public CVTN_Container {
public:
    Holder() { AddTypeTag(kTagHolder); }
    bool Read(SWchunkstream& in) override
    {
        value = in.ReadU32();
        version = in.FormatVersion();
        if (SWreadcontext* context = in.ReadContext(); context && value == 930)
            context->SetFormatVersion(930); // a world record tells the version of what follows
        return in.Status() == SWchunkstream::kStatusGood;
    }
    bool Write(SWchunkstream& out) override { return out.WriteU32(value); }
    bool AcceptsChild(const CVTN_Container&) const override { return true; }
    uint32_t value = 0;
    uint32_t version = 0;
};

class Leaf : public CVTN_Container {
public:
    Leaf() { AddTypeTag(kTagLeaf); }
    bool Read(SWchunkstream& in) override { return in.ReadString(text); }
    bool Write(SWchunkstream& out) override { return out.WriteString(text); }
    std::string text;
};

class Fails : public CVTN_Container {
public:
    Fails() { AddTypeTag(kTagFails); }
    bool Read(SWchunkstream&) override { return false; }
};

class Ids : public CVTN_Container {
public:
    Ids() { AddTypeTag(kTagIds); }
    bool Read(SWchunkstream& in) override
    {
        id = ReadObjectId(in);
        reference = ReadReferencedId(in);
        return in.Status() == SWchunkstream::kStatusGood;
    }
    uint32_t id = 0;
    uint32_t reference = 0;
};

const CVTN_TagRegistration kHolderRegistration(kTagHolder, &CreateContainer<Holder>);
const CVTN_TagRegistration kLeafRegistration(kTagLeaf, &CreateContainer<Leaf>);
const CVTN_TagRegistration kFailsRegistration(kTagFails, &CreateContainer<Fails>);
const CVTN_TagRegistration kIdsRegistration(kTagIds, &CreateContainer<Ids>);

std::vector<uint8_t> U32(uint32_t value)
{
    std::vector<uint8_t> out;
    PutU32(out, value);
    return out;
}

std::vector<uint8_t> Text(const std::string& text)
{
    std::vector<uint8_t> out;
    PutU32(out, static_cast<uint32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

DocumentObjects ReadBody(const std::vector<RawRecord>& records, SWreadcontext& context, const char* digits = "0951")
{
    SWdocumentfile file;
    EXPECT_EQ(SWdocumentfile::Parse(FileOf(BodyOf(records), true, digits), file), DocumentStatus::kOk);
    return ReadDocumentObjects(file, context);
}

std::vector<uint32_t> SkippedIndices(const DocumentObjects& objects)
{
    std::vector<uint32_t> indices;
    for (const SkippedRecord& skipped : objects.skipped)
        indices.push_back(skipped.index);
    return indices;
}

Leaf* AddLeaf(CVTN_Container& parent, const std::string& text, int priority, int list = 0)
{
    auto* leaf = new Leaf; // the parent owns it from AddChild on
    leaf->text = text;
    leaf->SetSavePriority(priority);
    parent.AddChild(leaf, list);
    return leaf;
}

TEST(DocumentObjectsWrite, ChildrenGoInSavePriorityOrderAndRunTimeOnesStayOut)
{
    Holder root;
    root.value = 7;
    AddLeaf(root, "late", 2);
    AddLeaf(root, "first of equals", 1);
    AddLeaf(root, "run time", 0, 1);
    AddLeaf(root, "second of equals", 1);
    auto* inner = new Holder;
    inner->value = 8;
    inner->SetSavePriority(3);
    root.AddChild(inner);
    AddLeaf(*inner, "grandchild", 0);

    SWdocumentwriter writer({});
    ASSERT_TRUE(WriteObjectTree(writer, root, kDocumentNoParent));
    EXPECT_EQ(inner->GetRecordIndex(), 4u);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(writer.Finish(bytes), DocumentStatus::kOk);

    SWdocumentfile file;
    ASSERT_EQ(SWdocumentfile::Parse(bytes, file), DocumentStatus::kOk);
    const std::vector<uint32_t> parents = {kDocumentNoParent, 0, 0, 0, 0, 4};
    ASSERT_EQ(file.Records().size(), parents.size());
    for (size_t i = 0; i < parents.size(); ++i)
        EXPECT_EQ(file.Records()[i].parentIndex, parents[i]) << i;

    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    const DocumentObjects objects = ReadDocumentObjects(file, context);
    ASSERT_EQ(objects.tops.size(), 1u);
    EXPECT_TRUE(objects.skipped.empty());
    std::vector<std::string> texts;
    for (CVTN_Container* c = objects.tops[0].get(); c != nullptr; c = c->GetNextInTree(objects.tops[0].get())) {
        if (c->IsKindOf(kTagLeaf))
            texts.push_back(static_cast<Leaf*>(c)->text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"first of equals", "second of equals", "late", "grandchild"}));
    EXPECT_EQ(static_cast<Holder*>(objects.tops[0].get())->value, 7u);
}

TEST(DocumentObjectsWrite, SameTreeGivesSameBytes)
{
    std::vector<uint8_t> first;
    std::vector<uint8_t> second;
    for (std::vector<uint8_t>* out : {&first, &second}) {
        Holder root;
        AddLeaf(root, "a", 1);
        AddLeaf(root, "b", 0);
        SWdocumentwriter writer({});
        ASSERT_TRUE(WriteObjectTree(writer, root, kDocumentNoParent));
        ASSERT_EQ(writer.Finish(*out), DocumentStatus::kOk);
    }
    EXPECT_EQ(first, second);
}

// Each case is a small tree with one bad record; the bad one is skipped with its descendants, every other record
// reads and keeps its pre-order index.
TEST(DocumentObjectsRead, BadRecordsAreSkippedWithTheirDescendants)
{
    struct Case {
        const char* name;
        std::vector<RawRecord> records;
        std::vector<uint32_t> skipped;
    };
    const RawRecord top{kTagHolder, kDocumentNoParent, 0, U32(1)};
    const std::vector<Case> cases = {
        {"parent index forward", {top, {kTagLeaf, 2, 0, Text("x")}, {kTagLeaf, 0, 0, Text("y")}}, {1}},
        {"parent index itself", {top, {kTagHolder, 1, 0, U32(2)}, {kTagLeaf, 1, 0, Text("y")}}, {1, 2}},
        {"parent index beyond the count", {top, {kTagLeaf, 99, 0, Text("x")}}, {1}},
        {"unknown tag with two descendants",
         {top,
          {kTagUnknown, 0, 0, {}},
          {kTagHolder, 1, 0, U32(3)},
          {kTagLeaf, 2, 0, Text("z")},
          {kTagLeaf, 0, 0, Text("kept")}},
         {1, 2, 3}},
        {"payload that does not read", {top, {kTagFails, 0, 0, {}}, {kTagLeaf, 1, 0, Text("y")}}, {1, 2}},
        {"payload cut short", {top, {kTagLeaf, 0, 0, {5, 0, 0, 0, 'a'}}}, {1}},
        {"child its parent does not hold", {top, {kTagLeaf, 0, 0, Text("x")}, {kTagLeaf, 1, 0, Text("y")}}, {2}},
        {"unknown compression kind", {top, {kTagLeaf, 0, 7, Text("x")}}, {1}},
        {"compressed size claiming 4 GiB", {top, {kTagLeaf, 0, 2, {0xff, 0xff, 0xff, 0xff, 0x78, 0x9c}}}, {1}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        SWreadcontext context(SWreadcontext::IdMode::kKeep);
        const DocumentObjects objects = ReadBody(test.records, context);
        EXPECT_EQ(SkippedIndices(objects), test.skipped);
        ASSERT_EQ(objects.tops.size(), 1u);
        size_t made = 0;
        for (CVTN_Container* c = objects.tops[0].get(); c; c = c->GetNextInTree(objects.tops[0].get())) {
            EXPECT_EQ(std::count(test.skipped.begin(), test.skipped.end(), c->GetRecordIndex()), 0);
            ++made;
        }
        EXPECT_EQ(made + test.skipped.size(), test.records.size());
        for (const SkippedRecord& skipped : objects.skipped)
            EXPECT_FALSE(skipped.reason.empty());
    }
}

TEST(DocumentObjectsRead, DeepNestingStopsAtTheLimit)
{
    std::vector<RawRecord> chain;
    for (uint32_t i = 0; i < kMaxObjectDepth + 50; ++i)
        chain.push_back({kTagHolder, i == 0 ? kDocumentNoParent : i - 1, 0, U32(i)});
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    const DocumentObjects objects = ReadBody(chain, context);
    ASSERT_EQ(objects.tops.size(), 1u);
    ASSERT_EQ(objects.skipped.size(), 50u); // levels 0 to kMaxObjectDepth - 1 are read
    EXPECT_EQ(objects.skipped.front().index, kMaxObjectDepth);
}

TEST(DocumentObjectsRead, FormatVersionComesFromTheHeaderUntilARecordSetsIt)
{
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    const DocumentObjects objects =
        ReadBody({{kTagHolder, kDocumentNoParent, 0, U32(930)}, {kTagHolder, 0, 0, U32(1)}}, context, "0942");
    ASSERT_EQ(objects.tops.size(), 1u);
    const auto* top = static_cast<const Holder*>(objects.tops[0].get());
    EXPECT_EQ(top->version, 942u);
    EXPECT_EQ(static_cast<const Holder*>(top->GetFirstChild())->version, 930u);
}

TEST(DocumentObjectsRead, IdsOfAWorldAreKeptAndRaiseTheCounter)
{
    const uint32_t stored = PeekUniqueId() + 1000;
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    const DocumentObjects objects = ReadBody({{kTagHolder, kDocumentNoParent, 0, U32(0)},
                                              {kTagIds, 0, 0,
                                               [&] {
                                                   auto b = U32(stored);
                                                   PutU32(b, stored);
                                                   return b;
                                               }()},
                                              {kTagIds, 0, 0,
                                               [&] {
                                                   auto b = U32(stored);
                                                   PutU32(b, stored);
                                                   return b;
                                               }()}},
                                             context);
    ASSERT_TRUE(objects.skipped.empty());
    const auto* first = static_cast<const Ids*>(objects.tops[0]->GetFirstChild());
    const auto* second = static_cast<const Ids*>(first->GetNextSibling());
    EXPECT_EQ(first->id, stored);
    EXPECT_NE(second->id, stored); // a duplicate gets a fresh id
    EXPECT_EQ(second->reference, stored);
    EXPECT_GT(NextUniqueId(), stored);
}

TEST(ReadContext, HighIdsAreMappedNeverRaisedTo)
{
    const uint32_t before = PeekUniqueId();
    for (const auto mode : {SWreadcontext::IdMode::kKeep, SWreadcontext::IdMode::kFresh}) {
        SWreadcontext context(mode);
        const uint32_t reference = context.TakeReferencedId(0xFFFFFFF0);
        const uint32_t own = context.TakeObjectId(0xFFFFFFF0);
        EXPECT_EQ(own, reference); // a reference met first still finds its object
        EXPECT_LT(own, kLowestUnsafeId);
        EXPECT_EQ(context.TakeObjectId(0), 0u);
        EXPECT_EQ(context.TakeObjectId(kIdUnset), kIdUnset);
        EXPECT_EQ(context.TakeReferencedId(kIdUnset), kIdUnset);
    }
    EXPECT_LT(PeekUniqueId(), before + 10);
}

TEST(ReadContext, TwoMergesOfOneFileGiveDisjointIdsThatAgreeWithin)
{
    const std::vector<uint32_t> stored = {5, 6, 7};
    std::vector<uint32_t> firstIds;
    std::vector<uint32_t> secondIds;
    for (std::vector<uint32_t>* ids : {&firstIds, &secondIds}) {
        SWreadcontext context(SWreadcontext::IdMode::kFresh);
        for (const uint32_t id : stored)
            ids->push_back(context.TakeObjectId(id));
        for (size_t i = 0; i < stored.size(); ++i)
            EXPECT_EQ(context.TakeReferencedId(stored[i]), (*ids)[i]);
    }
    for (const uint32_t id : firstIds)
        EXPECT_EQ(std::count(secondIds.begin(), secondIds.end(), id), 0);
}

TEST(ReadContext, WithoutAContextIdsAreKeptAndRaised)
{
    const uint32_t stored = PeekUniqueId() + 500;
    std::vector<uint8_t> bytes = U32(stored);
    PutU32(bytes, 0xFFFFFFF0);
    SWchunkstream in{std::span<const uint8_t>(bytes)};
    EXPECT_EQ(ReadObjectId(in), stored);
    EXPECT_LT(ReadObjectId(in), kLowestUnsafeId);
    EXPECT_GT(PeekUniqueId(), stored);
    EXPECT_LT(PeekUniqueId(), kLowestUnsafeId);
}

// A file read on demand, written over by another program once opened: the record in the changed bytes is not
// skipped while the rest come back as if whole; the read fails, naming the file.
TEST(DocumentObjectsRead, AFileChangedAfterItWasOpenedGivesNoObjects)
{
    const std::vector<uint8_t> file = FileOf(BodyOf({{kTagHolder, kDocumentNoParent, 0, U32(1)},
                                                     {kTagLeaf, 0, 0, Text(std::string(200000, 'x'))},
                                                     {kTagLeaf, 0, 0, Text("after")}}));
    const std::string path =
        (std::filesystem::temp_directory_path() / ("objects_changed_" + std::to_string(::getpid()) + ".vtn")).string();
    ASSERT_EQ(SaveDocumentFile(path, file), DocumentStatus::kOk);
    SWdocumentfile doc;
    ASSERT_EQ(SWdocumentfile::OpenFile(path, doc), DocumentStatus::kOk);
    {
        std::fstream inPlace(path, std::ios::binary | std::ios::in | std::ios::out);
        inPlace.seekp(150000);
        inPlace.put(static_cast<char>(file[150000] ^ 4));
    }
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    const DocumentObjects objects = ReadDocumentObjects(doc, context);
    EXPECT_TRUE(objects.tops.empty());
    EXPECT_EQ(objects.failure, path + ": damaged: the file changed on disk after it was opened");
    EXPECT_EQ(doc.ReadFailure(), PayloadStatus::kChanged);
    std::filesystem::remove(path);
}

} // namespace
