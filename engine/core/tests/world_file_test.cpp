#include "engine/core/world_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/property.h"
#include "engine/core/camera_node.h"
#include "engine/core/header.h"
#include "engine/core/matrix.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/tests/world_test_support.h"
#include "engine/core/unique_id.h"
#include "engine/core/world.h"
#include "testsupport/world/document_bytes.h"

namespace {

using namespace documenttest;

// A world with a node of every kind the node table writes, cameras, a group, cursors and loadable worlds.
std::unique_ptr<SWworld> SampleWorld()
{
    auto world = std::make_unique<SWworld>();
    world->SetSceneSize(12.5f);
    world->SetPixelSize(640, 480);
    world->SetVerticalFactor(0.75f);
    world->SetStereo(1);
    SWheader& header = world->GetRootObject()->GetHeader();
    header.SetObjectName("sample");
    header.SetAuthor("someone");
    header.SetCounts(1, 2, 3, 4, 5);
    world->GetRootNode()->SetName("root");

    auto* box = new SWobjectnode;
    box->SetName("box");
    box->SetInitialMatrix(SWmatrix::Translation(1, 2, 3));
    box->SetAxisLock(5);
    world->AddNode(box, nullptr);
    auto* child = new SWobjectnode;
    child->SetName("lid");
    child->SetEnabled(false);
    world->AddNode(child, box);
    auto* camera = new SWcameranode;
    camera->SetName("eye");
    world->AddNode(camera, nullptr);
    world->AddCamera(camera);
    auto* group = new SWnode(SWnode::kKindGroup);
    group->SetName("group");
    world->AddNode(group, nullptr);
    group->AddGroupMember(box);
    group->AddGroupMember(camera);
    world->SetArcballNode(box);
    world->SetArcballFlag(1);

    SWcursor* cursor = world->GetCursorList().Add("hand", 77);
    cursor->imageFile = "hand.cur";
    cursor->hotSpotX = 3;
    cursor->hotSpotY = -4;
    CVTN_SubWorld* entry = world->GetSubWorlds().Add("level2");
    entry->SetFileName("level2.vtn");
    entry->SetDownloadUrl("http://example.invalid/level2.vtn");
    entry->SetReferenceLimitFlag(1);
    entry->SetReferenceLimit(3);
    return world;
}

std::vector<uint8_t> Save(SWworld& world, WorldFileMode mode = WorldFileMode::kScene)
{
    std::vector<uint8_t> bytes;
    EXPECT_EQ(WriteWorldFile(world, mode, bytes), DocumentStatus::kOk);
    return bytes;
}

WorldLoadResult Load(std::vector<uint8_t> bytes, SWreadcontext::IdMode mode = SWreadcontext::IdMode::kKeep)
{
    SWdocumentfile file;
    EXPECT_EQ(SWdocumentfile::Parse(std::move(bytes), file), DocumentStatus::kOk);
    SWreadcontext context(mode);
    return ReadWorldFile(file, context);
}

SWnode* Named(SWworld& world, const char* name)
{
    return world.GetRootNode()->FindByName(name);
}

TEST(WorldFileRoundTrip, LoadThenSaveGivesTheSameBytes)
{
    const std::unique_ptr<SWworld> world = SampleWorld();
    for (const WorldFileMode mode : {WorldFileMode::kScene, WorldFileMode::kProject, WorldFileMode::kPublished}) {
        SCOPED_TRACE(static_cast<int>(mode));
        const std::vector<uint8_t> first = Save(*world, mode);
        WorldLoadResult loaded = Load(first);
        ASSERT_EQ(loaded.status, DocumentStatus::kOk);
        EXPECT_TRUE(loaded.skipped.empty());
        EXPECT_EQ(Save(*loaded.world, mode), first);
    }
}

TEST(WorldFileRoundTrip, EveryFieldComesBack)
{
    const std::unique_ptr<SWworld> world = SampleWorld();
    WorldLoadResult loaded = Load(Save(*world));
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    SWworld& back = *loaded.world;
    EXPECT_EQ(back.GetSceneSize(), 12.5f);
    EXPECT_EQ(back.GetPixelWidth(), 640.0f);
    EXPECT_EQ(back.GetVerticalFactor(), 0.75f);
    EXPECT_EQ(back.GetStereo(), 1);
    const SWheader& header = back.GetRootObject()->GetHeader();
    EXPECT_EQ(header.GetObjectName(), "sample");
    EXPECT_EQ(header.GetAuthor(), "someone");
    EXPECT_EQ(header.GetOrganization(), std::nullopt);
    EXPECT_EQ(header.GetPolygonCount(), 5u);

    auto* box = dynamic_cast<SWobjectnode*>(Named(back, "box"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->GetId(), Named(*world, "box")->GetId());
    EXPECT_EQ(box->GetLocalMatrix()[3], 1.0f);
    EXPECT_EQ(box->GetInitialMatrix()[11], 3.0f);
    EXPECT_EQ(box->GetAxisLock(), 5);
    SWnode* lid = Named(back, "lid");
    ASSERT_NE(lid, nullptr);
    EXPECT_EQ(lid->GetParentNode(), box);
    EXPECT_FALSE(lid->IsEnabled());
    EXPECT_EQ(back.GetActiveCamera(), Named(back, "eye"));
    EXPECT_EQ(back.GetArcballNode(), box);
    EXPECT_EQ(back.GetArcballFlag(), 1);
    SWnode* group = Named(back, "group");
    ASSERT_NE(group, nullptr);
    EXPECT_NE(group->FindGroupMember(box), nullptr);
    EXPECT_NE(group->FindGroupMember(Named(back, "eye")), nullptr);

    SWcursor* cursor = back.GetCursorList().FindById(77);
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(cursor->name, "hand");
    EXPECT_EQ(cursor->hotSpotY, -4);
    CVTN_SubWorld* entry = back.GetSubWorlds().FindByName("level2");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->GetFileName(), "level2.vtn");
    EXPECT_EQ(entry->GetReferenceLimit(), 3u);
}

// The world record of a file, rewritten with another version record (or none) and container digits.
std::vector<uint8_t> WithVersion(SWworld& world, const char* digits, std::optional<uint32_t> worldVersion)
{
    SWdocumentfile file;
    EXPECT_EQ(SWdocumentfile::Parse(Save(world), file), DocumentStatus::kOk);
    std::vector<RawRecord> records;
    for (const DocumentRecord& record : file.Records()) {
        RawRecord raw{record.tag, record.parentIndex, record.flags, {record.payload.begin(), record.payload.end()}};
        if (record.tag == MakeTag("WRLD")) {
            raw.payload.erase(raw.payload.begin(), raw.payload.begin() + 12); // "WVER", length 4, 951
            if (worldVersion) {
                std::vector<uint8_t> version;
                PutU32(version, MakeTag("WVER"));
                PutU32(version, 4);
                PutU32(version, *worldVersion);
                raw.payload.insert(raw.payload.begin(), version.begin(), version.end());
            }
        }
        records.push_back(std::move(raw));
    }
    return FileOf(BodyOf(records), true, digits);
}

// A loaded node that saved no variables makes its built-in ones only when the list is first read; until then its
// matrices are its own, a reset goes to them, and saving writes what it wrote before.
TEST(WorldFileRoundTrip, BuiltInVariablesWaitUntilAskedFor)
{
    SWworld world;
    AddObject(world, "plain")->SetInitialMatrix(SWmatrix::Translation(4, 5, 6));
    SWobjectnode* withOwn = AddObject(world, "own");
    withOwn->SetInitialMatrix(SWmatrix::Translation(1, 2, 3));
    auto speed = std::make_unique<SWproperty>(kTypeFloat);
    speed->SetName(std::string("speed"));
    ASSERT_NE(withOwn->AddVariable(std::move(speed)), nullptr);
    const std::vector<uint8_t> first = Save(world);

    WorldLoadResult loaded = Load(first);
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    auto* plain = SWobjectnode::FromNode(Named(*loaded.world, "plain"));
    auto* own = SWobjectnode::FromNode(Named(*loaded.world, "own"));
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(plain->HasDeferredVariables());
    plain->SetLocalMatrix(SWmatrix::Translation(9, 9, 9));
    plain->ResetToInitial();
    EXPECT_EQ(plain->GetLocalMatrix().GetTranslation(), SWvector(4, 5, 6));
    EXPECT_TRUE(plain->HasDeferredVariables());
    EXPECT_EQ(Save(*loaded.world), first);

    // Read from the file, the user's variable comes after the built-ins, as in the world it was saved from.
    std::vector<std::string> names;
    for (const SWproperty* v = own->GetFirstVariable(); v != nullptr; v = SWproperties2::GetNextVariable(v))
        names.push_back(v->GetName().value_or(""));
    EXPECT_EQ(names, (std::vector<std::string>{"Transform", "Position", "Rotation", "speed"}));
    EXPECT_EQ(own->FindVariable("Position")->GetAsVector(), SWvector(1, 2, 3));

    SWproperty* position = plain->FindVariable("Position");
    ASSERT_NE(position, nullptr);
    EXPECT_FALSE(plain->HasDeferredVariables());
    EXPECT_EQ(plain->CountVariables(), 3u);
    EXPECT_EQ(position->GetAsVector(), SWvector(4, 5, 6));
    const TypedValueData previous = plain->GetTransformVariable()->GetPreviousData();
    EXPECT_EQ(SWvector(previous.elements[3], previous.elements[7], previous.elements[11]), SWvector(4, 5, 6));
    EXPECT_EQ(Save(*loaded.world), first); // built-ins are never saved
    position->AssignVector(7, 8, 9);
    EXPECT_EQ(plain->GetLocalMatrix().GetTranslation(), SWvector(7, 8, 9));
    EXPECT_EQ(plain->GetInitialMatrix().GetTranslation(), SWvector(4, 5, 6));
}

// Two threads asking a fresh node for its variables at once see one set of built-ins, made whole.
TEST(WorldFileRoundTrip, BuiltInVariablesAreMadeOnceWhenAskedFromTwoThreads)
{
    for (int round = 0; round < 20; ++round) {
        SWobjectnode node;
        SWproperty* seen[2] = {};
        std::thread other([&] { seen[0] = node.FindVariable("Rotation"); });
        seen[1] = node.FindVariable("Rotation");
        other.join();
        ASSERT_NE(seen[0], nullptr);
        EXPECT_EQ(seen[0], seen[1]);
        EXPECT_EQ(node.CountVariables(), 3u);
    }
}

TEST(WorldFileVersions, TheWorldsOwnVersionWinsOverTheContainers)
{
    const std::unique_ptr<SWworld> world = SampleWorld();
    struct Case {
        const char* digits;
        std::optional<uint32_t> worldVersion;
        uint32_t expected;
        bool newer;
    };
    const Case cases[] = {
        {"0942", 951, 951, false},          // a project file's world is read at 951
        {"0930", std::nullopt, 930, false}, // an older writer's file: the header's digits
        {"0951", 952, 952, true},           // a newer writer's: read and reported
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.digits);
        WorldLoadResult loaded = Load(WithVersion(*world, test.digits, test.worldVersion));
        ASSERT_EQ(loaded.status, DocumentStatus::kOk);
        EXPECT_EQ(loaded.version, test.expected);
        EXPECT_EQ(loaded.world->GetFileVersionNumber(), test.expected);
        EXPECT_EQ(loaded.newer, test.newer);
        EXPECT_NE(Named(*loaded.world, "lid"), nullptr);
    }
}

TEST(WorldFileVersions, TheBuildNumberWrittenIsOursWhateverWasRead)
{
    const std::unique_ptr<SWworld> world = SampleWorld();
    world->GetRootObject()->GetHeader().SetBuildNumber(3000);
    world->SetBuildNumber(3000);
    WorldLoadResult loaded = Load(Save(*world));
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    EXPECT_EQ(loaded.world->GetBuildNumber(), kCurrentBuildNumber);

    // A file from an old build: its number reaches the world for the conversions, and is not written back.
    loaded.world->GetRootObject()->GetHeader().SetBuildNumber(3000);
    loaded.world->SetBuildNumber(3000);
    WorldLoadResult again = Load(Save(*loaded.world));
    EXPECT_EQ(again.world->GetBuildNumber(), kCurrentBuildNumber);
    EXPECT_EQ(again.world->GetRootObject()->GetHeader().GetBuildNumber(), kCurrentBuildNumber);
}

// The byte limit counts what decoding makes beyond the stored bytes (past their free growth), over the whole world:
// a published world's deflated header counts nearly whole, and a world that needs one byte more than the limit is
// refused whole, a stated size beyond what is left before it is decoded; a scene's stored header counts nothing.
TEST(WorldFileLimits, TheByteLimitCountsWhatDecodingMakes)
{
    const std::unique_ptr<SWworld> world = SampleWorld();
    world->GetRootObject()->GetHeader().SetAuthor(std::string(200000, 'a')); // deflates a thousandfold
    uint64_t neededByScene = 0;
    for (const WorldFileMode mode : {WorldFileMode::kScene, WorldFileMode::kPublished}) {
        SCOPED_TRACE(static_cast<int>(mode));
        SWdocumentfile file;
        ASSERT_EQ(SWdocumentfile::Parse(Save(*world, mode), file), DocumentStatus::kOk);
        SWreadcontext measured(SWreadcontext::IdMode::kKeep);
        ASSERT_EQ(ReadWorldFile(file, measured).status, DocumentStatus::kOk);
        const uint64_t needed = measured.BytesTaken();
        SWreadcontext exact(SWreadcontext::IdMode::kKeep);
        exact.SetLimits({.maxBytes = needed});
        EXPECT_EQ(ReadWorldFile(file, exact).status, DocumentStatus::kOk);
        if (mode == WorldFileMode::kScene) {
            neededByScene = needed;
            continue;
        }
        EXPECT_GT(needed, neededByScene + 150000);
        SWreadcontext tight(SWreadcontext::IdMode::kKeep);
        tight.SetLimits({.maxBytes = needed - 1});
        const WorldLoadResult refused = ReadWorldFile(file, tight);
        EXPECT_EQ(refused.status, DocumentStatus::kOverLimit);
        EXPECT_EQ(refused.world, nullptr);
        EXPECT_NE(refused.message.find("read limits"), std::string::npos);
        SWreadcontext small(SWreadcontext::IdMode::kKeep);
        small.SetLimits({.maxBytes = 10000});
        EXPECT_EQ(ReadWorldFile(file, small).status, DocumentStatus::kOverLimit);
        EXPECT_LE(small.BytesTaken(), 10000u); // the header's growth was never taken
    }
    EXPECT_LT(neededByScene, 200000u) << "a stored header counts nothing";
}

TEST(WorldFileIds, LoadedIdsRaiseTheCounterAndDuplicatesGetFreshOnes)
{
    const std::unique_ptr<SWworld> world = SampleWorld();
    const uint32_t high = PeekUniqueId() + 5000;
    Named(*world, "box")->SetId(high);
    Named(*world, "lid")->SetId(high); // two nodes of one id, as a damaged file may hold
    WorldLoadResult loaded = Load(Save(*world));
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    EXPECT_EQ(Named(*loaded.world, "box")->GetId(), high);
    EXPECT_NE(Named(*loaded.world, "lid")->GetId(), high);
    // Below the renumbered range the counter is raised past a loaded id; within it (where the tests before this one
    // in the same process may have taken the counter) the id is stepped over instead.
    const uint32_t next = NextUniqueId();
    EXPECT_NE(next, high);
    if (high < kFirstUnraisedId) {
        EXPECT_GT(next, high);
    }
}

// A read gives some objects fresh ids from the counter (a duplicate, a node stored without an id, an object node's
// built-in variables) before it has seen every id the file stores: none may be one the file stores for another
// object further on, or two objects of the world share it and a saved copy reads back with other ids.
TEST(WorldFileIds, FreshIdsTakenWhileReadingAreNoneTheFileStoresFurtherOn)
{
    SWworld world;
    std::vector<std::pair<uint32_t, uint32_t>> ids; // the id each node is given in the file
    const uint32_t base = PeekUniqueId() + 1000;    // above every id this process made
    auto add = [&](const std::string& name, std::optional<uint32_t> stored) {
        auto* node = new SWobjectnode;
        node->SetName(name);
        world.AddNode(node, nullptr);
        if (stored)
            ids.emplace_back(node->GetId(), *stored);
        return node;
    };
    add("first", base);
    add("again", base); // a duplicate: the second gets a fresh id
    add("none", 0);
    SWobjectnode* own = add("own", base + 60);
    auto speed = std::make_unique<SWproperty>(kTypeFloat);
    speed->SetName(std::string("speed"));
    const uint32_t speedId = own->AddVariable(std::move(speed))->GetId();
    ids.emplace_back(speedId, base + 62);
    for (uint32_t k = 1; k <= 70; ++k)
        if (k != 60 && k != 62)
            add("later" + std::to_string(k), base + k);
    // The events and expressions come after the node table.
    SWexpressionlist& expressions = SWexpressionlist::Of(world);
    for (uint32_t k = 71; k <= 74; ++k) {
        ids.emplace_back(world.AddEvent(1, static_cast<uint32_t>(EventType::kTimerEvent))->GetId(), base + k);
        ids.emplace_back(expressions.Add(std::make_unique<SWexpression>(&world))->GetId(), base + k + 4);
    }

    WorldLoadResult loaded = Load(WithStoredIds(Save(world), ids));
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    SWworld& read = *loaded.world;
    std::set<uint32_t> seen;
    for (SWnode* node = read.GetRootNode(); node != nullptr; node = node->NextInTree(read.GetRootNode())) {
        EXPECT_TRUE(seen.insert(node->GetId()).second) << node->GetName().value_or("") << " " << node->GetId();
        for (const SWproperty* v = node->GetFirstVariable(); v != nullptr; v = SWproperties2::GetNextVariable(v))
            EXPECT_TRUE(seen.insert(v->GetId()).second) << v->GetName().value_or("") << " " << v->GetId();
    }
    for (uint32_t k = 71; k <= 74; ++k) {
        EXPECT_NE(read.FindEventById(base + k), nullptr);
        EXPECT_NE(SWexpressionlist::Of(read).FindById(base + k + 4), nullptr);
        EXPECT_TRUE(seen.insert(base + k).second && seen.insert(base + k + 4).second) << k;
    }
    // Stored ids are kept: files, links and peers name the objects by them.
    EXPECT_EQ(Named(read, "first")->GetId(), base);
    EXPECT_EQ(Named(read, "own")->GetId(), base + 60);
    EXPECT_EQ(Named(read, "own")->FindVariable("speed")->GetId(), base + 62);
    for (uint32_t k : {1u, 2u, 5u, 10u, 61u, 63u, 70u})
        EXPECT_EQ(Named(read, ("later" + std::to_string(k)).c_str())->GetId(), base + k);
    EXPECT_NE(Named(read, "again")->GetId(), base);
    EXPECT_NE(Named(read, "none")->GetId(), 0u);

    const std::vector<uint8_t> first = Save(read);
    WorldLoadResult again = Load(first);
    ASSERT_EQ(again.status, DocumentStatus::kOk);
    EXPECT_EQ(Save(*again.world), first);
}

TEST(WorldFileIds, AHugeStoredIdDoesNotWrapTheCounter)
{
    const std::unique_ptr<SWworld> world = SampleWorld();
    std::vector<uint8_t> bytes = Save(*world);
    SWdocumentfile file;
    ASSERT_EQ(SWdocumentfile::Parse(bytes, file), DocumentStatus::kOk);
    // Give "box" the id 0xFFFFFFF0 in the stored node table.
    std::vector<RawRecord> records;
    const uint32_t boxId = Named(*world, "box")->GetId();
    for (const DocumentRecord& record : file.Records()) {
        RawRecord raw{record.tag, record.parentIndex, record.flags, {record.payload.begin(), record.payload.end()}};
        if (record.tag == MakeTag("5PTS"))
            ReplaceStoredId(raw.payload, boxId, 0xFFFFFFF0); // the node, the group, the arcball
        records.push_back(std::move(raw));
    }
    const uint32_t before = PeekUniqueId();
    WorldLoadResult loaded = Load(FileOf(BodyOf(records)));
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    SWnode* box = Named(*loaded.world, "box");
    EXPECT_LT(box->GetId(), kLowestUnsafeId);
    EXPECT_LT(PeekUniqueId(), before + 100);
    EXPECT_EQ(loaded.world->GetArcballNode(), box); // references to it follow the new id
    EXPECT_NE(Named(*loaded.world, "group")->FindGroupMember(box), nullptr);
}

TEST(WorldFileIds, TwoMergeReadsOfOneFileHaveDisjointIdsThatAgreeWithin)
{
    const std::unique_ptr<SWworld> world = SampleWorld();
    const std::vector<uint8_t> bytes = Save(*world);
    WorldLoadResult first = Load(bytes, SWreadcontext::IdMode::kFresh);
    WorldLoadResult second = Load(bytes, SWreadcontext::IdMode::kFresh);
    for (const char* name : {"box", "lid", "eye", "group"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(Named(*first.world, name)->GetId(), Named(*second.world, name)->GetId());
        EXPECT_NE(Named(*first.world, name)->GetId(), Named(*world, name)->GetId());
    }
    for (WorldLoadResult* loaded : {&first, &second}) {
        SWworld& w = *loaded->world;
        EXPECT_EQ(w.GetArcballNode(), Named(w, "box"));
        EXPECT_EQ(w.GetActiveCamera(), Named(w, "eye"));
        EXPECT_NE(Named(w, "group")->FindGroupMember(Named(w, "box")), nullptr);
    }
}

// The stream root of a saved world with its node table ("NODT") repeated copies times, as a hostile file may hold it.
std::vector<uint8_t> WithNodeTableRepeated(const std::vector<uint8_t>& saved, int copies)
{
    SWdocumentfile file;
    EXPECT_EQ(SWdocumentfile::Parse(saved, file), DocumentStatus::kOk);
    std::vector<RawRecord> records;
    for (const DocumentRecord& record : file.Records()) {
        RawRecord raw{record.tag, record.parentIndex, record.flags, {record.payload.begin(), record.payload.end()}};
        if (record.tag == MakeTag("5PTS")) {
            std::vector<uint8_t> grown;
            for (size_t at = 0; at + 8 <= raw.payload.size();) {
                const size_t length = pf::loadU32le(&raw.payload[at + 4]);
                const auto begin = raw.payload.begin() + static_cast<ptrdiff_t>(at);
                const auto end = begin + static_cast<ptrdiff_t>(8 + length);
                const bool table = pf::loadU32le(&raw.payload[at]) == MakeTag("NODT");
                for (int i = 0; i < (table ? copies : 1); ++i)
                    grown.insert(grown.end(), begin, end);
                at += 8 + length;
            }
            raw.payload = std::move(grown);
        }
        records.push_back(std::move(raw));
    }
    return FileOf(BodyOf(records));
}

// References (group members, cameras, the arcball) resolve through the reader's index of the nodes read: searching
// the tree for each, and again for every group after each node table, made a load quadratic in its nodes.
TEST(WorldFileScale, ReferencesResolveWithoutSearchingTheTreeForEach)
{
    const std::unique_ptr<SWworld> world = SampleWorld();
    std::vector<SWnode*> nodes;
    for (int i = 0; i < 30; ++i)
        nodes.push_back(AddObject(*world, std::string("n").append(std::to_string(i)).c_str()));
    for (int g = 0; g < 10; ++g) {
        auto* group = new SWnode(SWnode::kKindGroup);
        group->SetName("grp" + std::to_string(g));
        world->AddNode(group, nullptr);
        for (SWnode* n : nodes)
            group->AddGroupMember(n);
    }
    const std::vector<uint8_t> saved = Save(*world);
    std::vector<uint64_t> searches;
    for (const int copies : {1, 2, 8}) {
        SCOPED_TRACE(copies);
        const uint64_t before = SWnode::TreeSearchCount();
        WorldLoadResult loaded = Load(WithNodeTableRepeated(saved, copies));
        searches.push_back(SWnode::TreeSearchCount() - before);
        ASSERT_EQ(loaded.status, DocumentStatus::kOk);
        SWworld& w = *loaded.world;
        size_t groups = 0;
        for (SWnode* n = w.GetRootNode(); n != nullptr; n = n->NextInTree(w.GetRootNode())) {
            if (n->HasKind(SWnode::kKindGroup) && n->GetName().value_or("").starts_with("grp")) {
                ++groups;
                EXPECT_EQ(n->GetGroupMembers().Count(), 30u); // every copy's group names the first copy's nodes
                EXPECT_EQ(static_cast<SWgroupmember*>(n->GetGroupMembers().Head())->node, Named(w, "n0"));
            }
        }
        EXPECT_EQ(groups, 10u * copies);
        EXPECT_EQ(w.GetArcballNode(), Named(w, "box"));
        EXPECT_EQ(w.GetActiveCamera(), Named(w, "eye"));
    }
    EXPECT_EQ(searches[1], searches[0]);
    EXPECT_EQ(searches[2], searches[0]);
}

TEST(WorldFileDamaged, ANodeWhoseParentIsNotEarlierIsDroppedWithItsSubtree)
{
    const std::unique_ptr<SWworld> world = SampleWorld();
    SWdocumentfile file;
    ASSERT_EQ(SWdocumentfile::Parse(Save(*world), file), DocumentStatus::kOk);
    std::vector<RawRecord> records;
    for (const DocumentRecord& record : file.Records()) {
        RawRecord raw{record.tag, record.parentIndex, record.flags, {record.payload.begin(), record.payload.end()}};
        if (record.tag == MakeTag("5PTS")) {
            // The box's NHDR is the second SNOD; its parent position (0, the root) is made forward (9).
            const uint32_t boxId = Named(*world, "box")->GetId();
            for (size_t i = 0; i + 16 <= raw.payload.size(); ++i) {
                if (pf::loadU32le(&raw.payload[i]) == MakeTag("NHDR") && pf::loadU32le(&raw.payload[i + 8]) == boxId)
                    pf::storeU32le(&raw.payload[i + 12], 9);
            }
        }
        records.push_back(std::move(raw));
    }
    WorldLoadResult loaded = Load(FileOf(BodyOf(records)));
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    EXPECT_EQ(Named(*loaded.world, "box"), nullptr);
    EXPECT_EQ(Named(*loaded.world, "lid"), nullptr);
    EXPECT_NE(Named(*loaded.world, "eye"), nullptr);
    EXPECT_EQ(loaded.world->GetArcballNode(), nullptr);
}

std::vector<uint8_t> BytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A file written over in place or cut by another program after it was opened, before its records were read: the
// load fails naming the file, where it once left out the node table and answered ok; nothing is written to it.
TEST(WorldFileDamaged, AFileChangedAfterItWasOpenedFailsTheLoad)
{
    const std::unique_ptr<SWworld> world = SampleWorld();
    for (int i = 0; i < 2000; ++i)
        AddObject(*world, std::string("n").append(std::to_string(i)).c_str()); // the node table past the first slice
    const std::vector<uint8_t> saved = Save(*world);
    SWdocumentfile parsed;
    ASSERT_EQ(SWdocumentfile::Parse(saved, parsed), DocumentStatus::kOk);
    const auto table = std::ranges::find(parsed.Records(), MakeTag("5PTS"), &DocumentRecord::tag);
    ASSERT_NE(table, parsed.Records().end());
    ASSERT_GT(table->PayloadBytes(), 2 * kDocumentSliceBytes);
    const std::string path =
        (std::filesystem::temp_directory_path() / ("world_changed_" + std::to_string(::getpid()) + ".vtn")).string();
    const struct {
        const char* what;
        std::function<void()> change;
    } changes[] = {
        {"a byte flipped",
         [&] {
             std::fstream inPlace(path, std::ios::binary | std::ios::in | std::ios::out);
             inPlace.seekp(static_cast<std::streamoff>(table->PayloadOffset() + table->PayloadBytes() - 100));
             inPlace.put(static_cast<char>(saved[table->PayloadOffset() + table->PayloadBytes() - 100] ^ 0x20));
         }},
        {"cut", [&] { std::filesystem::resize_file(path, table->PayloadOffset() + kDocumentSliceBytes); }},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.what);
        ASSERT_EQ(SaveDocumentFile(path, saved), DocumentStatus::kOk);
        std::vector<uint8_t> changed;
        // The world is made once the file has been checked, before any record is read from it.
        WorldLoadResult loaded = LoadWorldFile(path, SWreadcontext::IdMode::kKeep, SWreadlimits::Defaults(), [&] {
            change.change();
            changed = BytesOf(path);
            return std::make_unique<SWworld>();
        });
        EXPECT_NE(loaded.status, DocumentStatus::kOk);
        EXPECT_EQ(loaded.world, nullptr);
        EXPECT_EQ(loaded.message.rfind(path + ": ", 0), 0u) << loaded.message;
        EXPECT_NE(loaded.message.find("changed on disk"), std::string::npos) << loaded.message;
        EXPECT_EQ(BytesOf(path), changed);
    }
    std::filesystem::remove(path);
}

TEST(WorldFileDamaged, AFileWithoutAWorldLoadsNothing)
{
    WorldLoadResult loaded = Load(FileOf(BodyOf({{MakeTag("TEST"), kDocumentNoParent, 0, {}}})));
    EXPECT_NE(loaded.status, DocumentStatus::kOk);
    EXPECT_EQ(loaded.world, nullptr);
}

} // namespace
