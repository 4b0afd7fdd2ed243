#include "engine/core/sub_world_loader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/tests/world_test_support.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "engine/resources/geometry.h"
#include "engine/resources/sound.h"
#include "testsupport/world/sample_world.h"

namespace {

class SubWorldLoader : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = std::filesystem::temp_directory_path() / ("vortan_sub_" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_folder);
        SWworld level;
        AddObject(level, "crate", AddObject(level, "room"));
        ASSERT_EQ(SaveWorldFile(level, WorldFileMode::kScene, (m_folder / "level2.vtn").string()), DocumentStatus::kOk);
        m_world = std::make_unique<SWworld>();
        AddObject(*m_world, "floor");
        m_entry = m_world->GetSubWorlds().Add("level2");
        m_entry->SetFileName("level2.vtn");
        m_loader = &CVTN_SubWorldLoader::Of(*m_world);
        m_loader->SetBaseFolder(m_folder.string());
    }
    void TearDown() override
    {
        m_world.reset();
        std::filesystem::remove_all(m_folder);
    }
    SWnode* Find(const char* name) const { return m_world->GetRootNode()->FindByName(name); }
    // Completes loads until none is pending; false after 20 s (a busy machine may hold the loading thread up).
    bool CompleteAll()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (m_loader->PendingCount() != 0 && std::chrono::steady_clock::now() < deadline) {
            m_loader->CompletePendingLoads();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return m_loader->PendingCount() == 0;
    }

    std::filesystem::path m_folder;
    std::unique_ptr<SWworld> m_world;
    CVTN_SubWorld* m_entry = nullptr;
    CVTN_SubWorldLoader* m_loader = nullptr;
};

TEST_F(SubWorldLoader, DirectLoadAddsAnInstanceAndUnloadTakesItAllOut)
{
    const std::vector<uint8_t> before = SceneBytes(*m_world);
    CVTN_SubWorldInstance* instance = m_loader->LoadFile(*m_entry, {}, false);
    ASSERT_NE(instance, nullptr);
    EXPECT_TRUE(instance->loaded);
    ASSERT_NE(instance->top, nullptr);
    EXPECT_EQ(instance->top->GetName(), "level2");
    EXPECT_EQ(Find("crate")->GetParentNode(), Find("room"));
    EXPECT_TRUE(Find("room")->IsInSubtreeOf(*instance->top));
    EXPECT_EQ(instance->record.entries.size(), 2u);
    EXPECT_TRUE(m_loader->UnloadSubWorld(*m_entry, instance, false));
    EXPECT_EQ(Find("room"), nullptr);
    EXPECT_EQ(SceneBytes(*m_world), before);
}

TEST_F(SubWorldLoader, RootNameAndTransformApplyOnlyWhenAsked)
{
    SubWorldLoadRequest request;
    request.rootName = "floor";
    request.initialTransform = SWmatrix::Translation(4, 5, 6);
    CVTN_SubWorldInstance* placed = m_loader->LoadFile(*m_entry, request, false);
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(placed->top->GetParentNode(), Find("floor"));
    EXPECT_EQ(placed->top->GetLocalMatrix()[7], 5.0f);
    request.applyRequest = false;
    CVTN_SubWorldInstance* plain = m_loader->LoadFile(*m_entry, request, false);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->top->GetParentNode(), m_world->GetRootNode());
    EXPECT_EQ(plain->top->GetLocalMatrix()[7], 0.0f);
}

// The sample world (every record kind) as a second loadable world of the test's world.
CVTN_SubWorld* AddSampleEntry(SWworld& world, const std::filesystem::path& folder)
{
    EXPECT_EQ(SaveWorldFile(*worldtest::MakeSampleWorld(), WorldFileMode::kScene, (folder / "sample.vtn").string()),
              DocumentStatus::kOk);
    CVTN_SubWorld* entry = world.GetSubWorlds().Add("sample");
    entry->SetFileName("sample.vtn");
    return entry;
}

bool Hidden(const CVTN_SubWorldInstance& instance)
{
    for (SWnode* n = instance.top; n != nullptr; n = n->NextInTree(instance.top)) {
        if (n->GetGeometry() != nullptr && !n->GetGeometry()->IsHidden())
            return false;
    }
    return true;
}

TEST_F(SubWorldLoader, ShowAndHideWalkTheInstancesEitherWay)
{
    CVTN_SubWorld* entry = AddSampleEntry(*m_world, m_folder);
    SubWorldLoadRequest hidden;
    hidden.showAtOnce = false;
    std::vector<CVTN_SubWorldInstance*> instances;
    for (int i = 0; i < 3; ++i)
        instances.push_back(m_loader->LoadFile(*entry, hidden, false));
    ASSERT_NE(instances[2], nullptr);
    for (const CVTN_SubWorldInstance* instance : instances)
        EXPECT_TRUE(instance->hidden && Hidden(*instance));
    EXPECT_TRUE(m_loader->ShowSubWorld(*entry, true, false, false));
    EXPECT_FALSE(instances[0]->hidden || Hidden(*instances[0]));
    EXPECT_TRUE(instances[1]->hidden);
    EXPECT_TRUE(m_loader->ShowSubWorld(*entry, true, false, true)); // backwards: the last one
    EXPECT_FALSE(instances[2]->hidden);
    EXPECT_TRUE(instances[1]->hidden);
    EXPECT_TRUE(m_loader->ShowSubWorld(*entry, false, true, false)); // hide all
    for (const CVTN_SubWorldInstance* instance : instances)
        EXPECT_TRUE(instance->hidden && Hidden(*instance));
    EXPECT_FALSE(m_loader->ShowSubWorld(*entry, false, true, false)); // nothing left to change
}

TEST_F(SubWorldLoader, ImportFlagsChooseTheKindsAndUnloadMayKeepTheResources)
{
    CVTN_SubWorld* entry = AddSampleEntry(*m_world, m_folder);
    SubWorldLoadRequest request;
    request.importFlags = kMergeMeshes | kMergeBones | kMergeSkinData;
    CVTN_SubWorldInstance* instance = m_loader->LoadFile(*entry, request, false);
    ASSERT_NE(instance, nullptr);
    EXPECT_NE(Find("meshnode0"), nullptr);
    EXPECT_NE(Find("bone"), nullptr);
    EXPECT_EQ(Find("front"), nullptr);
    EXPECT_EQ(Find("object1"), nullptr);
    EXPECT_EQ(m_world->GetCameraList().Count(), 0u);
    EXPECT_EQ(m_world->GetSoundList().Count(), 0u);
    EXPECT_NE(m_world->FindTextureByName("bricks.png"), nullptr); // the meshes' materials use it
    // Flag A clear: everything, whatever the flags.
    request.applyRequest = false;
    CVTN_SubWorldInstance* whole = m_loader->LoadFile(*entry, request, false);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(m_world->GetCameraList().Count(), 2u);
    EXPECT_EQ(m_world->GetSoundList().Count(), 1u);
    // Unloading without the resources leaves its sound and textures; with them, the first instance's go.
    EXPECT_TRUE(m_loader->UnloadSubWorld(*entry, whole, false, false));
    EXPECT_EQ(m_world->GetSoundList().Count(), 1u);
    EXPECT_EQ(m_world->GetCameraList().Count(), 0u);
    EXPECT_TRUE(m_loader->UnloadSubWorld(*entry, instance, false, true));
    EXPECT_EQ(Find("meshnode0"), nullptr);
}

TEST_F(SubWorldLoader, ReferenceLimitRefusesOneInstanceTooMany)
{
    m_entry->SetReferenceLimitFlag(1);
    m_entry->SetReferenceLimit(2);
    EXPECT_NE(m_loader->LoadFile(*m_entry, {}, false), nullptr);
    EXPECT_NE(m_loader->LoadFile(*m_entry, {}, false), nullptr);
    EXPECT_EQ(m_loader->LoadFile(*m_entry, {}, false), nullptr);
    EXPECT_EQ(m_loader->Instances(*m_entry).size(), 2u);
}

TEST_F(SubWorldLoader, UnloadWithoutAnInstanceTakesTheLatestOrAll)
{
    CVTN_SubWorldInstance* first = m_loader->LoadFile(*m_entry, {}, false);
    m_loader->LoadFile(*m_entry, {}, false);
    m_loader->LoadFile(*m_entry, {}, false);
    EXPECT_TRUE(m_loader->UnloadSubWorld(*m_entry, nullptr, false));
    ASSERT_EQ(m_loader->Instances(*m_entry).size(), 2u);
    EXPECT_EQ(m_loader->Instances(*m_entry).front(), first);
    EXPECT_TRUE(m_loader->UnloadSubWorld(*m_entry, nullptr, true));
    EXPECT_TRUE(m_loader->Instances(*m_entry).empty());
    EXPECT_EQ(Find("room"), nullptr);
    EXPECT_FALSE(m_loader->UnloadSubWorld(*m_entry, nullptr, true));
}

TEST_F(SubWorldLoader, ThreadedLoadMergesOnlyWhenCompleted)
{
    CVTN_SubWorldInstance* instance = m_loader->LoadFile(*m_entry, {}, true);
    ASSERT_NE(instance, nullptr);
    ASSERT_TRUE(CompleteAll());
    EXPECT_TRUE(instance->loaded);
    EXPECT_NE(Find("crate"), nullptr);
    EXPECT_TRUE(Find("crate")->IsInSubtreeOf(*instance->top));
}

TEST_F(SubWorldLoader, AFileThatFailsAddsNothing)
{
    m_entry->SetFileName("missing.vtn");
    const std::vector<uint8_t> before = SceneBytes(*m_world);
    EXPECT_EQ(m_loader->LoadFile(*m_entry, {}, false), nullptr);
    CVTN_SubWorldInstance* threaded = m_loader->LoadFile(*m_entry, {}, true);
    ASSERT_NE(threaded, nullptr);
    ASSERT_TRUE(CompleteAll());
    EXPECT_TRUE(threaded->failed);
    EXPECT_FALSE(threaded->loaded);
    EXPECT_EQ(SceneBytes(*m_world), before);
}

// A FIFO, a folder and a missing file each fail at once, direct or threaded, and say which file and why: a FIFO
// without a writer once blocked the loader for ever. A world larger than the byte limit loads: its stored bytes
// are never counted against it.
TEST_F(SubWorldLoader, WhatCannotLoadFailsAtOnceNamingTheFileAndTheCause)
{
    ASSERT_EQ(::mkfifo((m_folder / "pipe.vtn").c_str(), 0600), 0);
    std::filesystem::create_directory(m_folder / "folder.vtn");
    const std::string base = m_folder.string() + "/";
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"pipe.vtn", base + "pipe.vtn: it is a FIFO, not a file"},
        {"folder.vtn", base + "folder.vtn: it is a folder, not a file"},
        {"missing.vtn", base + "missing.vtn: No such file or directory"},
    };
    m_loader->SetReadLimits({.maxBytes = 40});
    for (const auto& [file, message] : cases) {
        SCOPED_TRACE(file);
        m_entry->SetFileName(file);
        EXPECT_EQ(m_loader->LoadFile(*m_entry, {}, false), nullptr);
        EXPECT_EQ(m_loader->LastError(), message);
        CVTN_SubWorldInstance* threaded = m_loader->LoadFile(*m_entry, {}, true);
        ASSERT_NE(threaded, nullptr);
        ASSERT_TRUE(CompleteAll());
        EXPECT_TRUE(threaded->failed);
        EXPECT_EQ(threaded->message, message);
    }
    m_entry->SetFileName("level2.vtn");
    ASSERT_GT(std::filesystem::file_size(m_folder / "level2.vtn"), 40u);
    EXPECT_NE(m_loader->LoadFile(*m_entry, {}, false), nullptr) << m_loader->LastError();
}

// Damaged bytes, a cut world and a file that is no world at all fail direct and threaded alike, naming the file and
// a cause, and leave the world as it was; an absolute file name is taken as it stands, not under the base folder.
TEST_F(SubWorldLoader, DamagedWorldsFailNamingTheFileAndAnAbsoluteNameIsTakenAsItIs)
{
    const std::filesystem::path whole = m_folder / "level2.vtn";
    std::vector<char> bytes(std::filesystem::file_size(whole));
    {
        std::ifstream in(whole, std::ios::binary);
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    const auto put = [&](const char* name, std::span<const char> content) {
        std::ofstream(m_folder / name, std::ios::binary)
            .write(content.data(), static_cast<std::streamsize>(content.size()));
    };
    put("cut.vtn", std::span<const char>(bytes).first(bytes.size() / 2));
    std::vector<char> flipped = bytes;
    for (size_t i = 16; i < flipped.size(); i += 7)
        flipped[i] = static_cast<char>(~flipped[i]);
    put("flipped.vtn", flipped);
    put("text.vtn", std::string_view("not a world at all, only a line of text\n"));

    for (const char* file : {"cut.vtn", "flipped.vtn", "text.vtn"}) {
        SCOPED_TRACE(file);
        m_entry->SetFileName(file);
        const std::vector<uint8_t> before = SceneBytes(*m_world);
        const std::string head = m_folder.string() + "/" + file + ": ";
        EXPECT_EQ(m_loader->LoadFile(*m_entry, {}, false), nullptr);
        EXPECT_EQ(m_loader->LastError().rfind(head, 0), 0u) << m_loader->LastError();
        EXPECT_GT(m_loader->LastError().size(), head.size());
        CVTN_SubWorldInstance* threaded = m_loader->LoadFile(*m_entry, {}, true);
        ASSERT_NE(threaded, nullptr);
        ASSERT_TRUE(CompleteAll());
        EXPECT_TRUE(threaded->failed);
        EXPECT_EQ(threaded->message.rfind(head, 0), 0u) << threaded->message;
        EXPECT_GT(threaded->message.size(), head.size());
        EXPECT_EQ(SceneBytes(*m_world), before);
    }

    m_entry->SetFileName(whole.string());
    m_loader->SetBaseFolder((m_folder / "elsewhere").string());
    CVTN_SubWorldInstance* threaded = m_loader->LoadFile(*m_entry, {}, true);
    ASSERT_NE(threaded, nullptr);
    ASSERT_TRUE(CompleteAll());
    EXPECT_TRUE(threaded->loaded);
    EXPECT_NE(Find("crate"), nullptr);
}

TEST_F(SubWorldLoader, UnloadingALoadingInstanceStopsIt)
{
    CVTN_SubWorldInstance* instance = m_loader->LoadFile(*m_entry, {}, true);
    ASSERT_NE(instance, nullptr);
    EXPECT_TRUE(m_loader->UnloadSubWorld(*m_entry, instance, false));
    m_loader->CompletePendingLoads(); // what it may still have queued finds no instance
    EXPECT_EQ(Find("room"), nullptr);
    EXPECT_EQ(m_loader->PendingCount(), 0u);
}

// An instance's top node deleted with its subtree, and its entry removed with the file that brought it: the
// instance reads as having neither, and showing, unloading and completing loads touch neither.
TEST_F(SubWorldLoader, AnInstanceWhoseTopOrEntryWentTouchesNeither)
{
    CVTN_SubWorldInstance* instance = m_loader->LoadFile(*m_entry, {}, false);
    ASSERT_NE(instance, nullptr);
    ASSERT_TRUE(m_world->DeleteNode(instance->top));
    EXPECT_EQ(instance->top, nullptr);
    m_loader->ShowSubWorld(*m_entry, false, true, false);
    EXPECT_TRUE(m_loader->UnloadSubWorld(*m_entry, nullptr, true));

    MergeRecord brought; // as a removed scene file's record names the entry it brought
    brought.entries.push_back({MergedKind::kSubWorld, 0, "level2", "level2"});
    CVTN_SubWorldInstance* loaded = m_loader->LoadFile(*m_entry, {}, false);
    ASSERT_NE(loaded, nullptr);
    ASSERT_NE(m_loader->LoadFile(*m_entry, {}, true), nullptr);
    EXPECT_EQ(RemoveMerged(*m_world, brought), 1u);
    EXPECT_EQ(m_world->GetSubWorlds().Count(), 0u);
    EXPECT_EQ(loaded->entry, nullptr);
    EXPECT_EQ(loaded->top, Find("level2")); // its nodes stay
    EXPECT_TRUE(CompleteAll());
    EXPECT_EQ(m_loader->PendingCount(), 0u);
    m_entry = m_world->GetSubWorlds().Add("level2");
    EXPECT_TRUE(m_loader->Instances(*m_entry).empty());
}

TEST_F(SubWorldLoader, DestroyingTheWorldWhileItLoadsIsSafe)
{
    for (int i = 0; i < 4; ++i)
        ASSERT_NE(m_loader->LoadFile(*m_entry, {}, true), nullptr);
    m_world.reset(); // stops and joins every loader; nothing of theirs may be left to leak
    EXPECT_EQ(m_world, nullptr);
}

} // namespace
