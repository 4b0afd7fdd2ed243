#include "engine/core/sub_world_loader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"

namespace {

SWobjectnode* AddObject(SWworld& world, const char* name, SWnode* parent = nullptr)
{
    auto* node = new SWobjectnode; // the tree owns it from AddNode on
    node->SetName(name);
    world.AddNode(node, parent);
    return node;
}

std::vector<uint8_t> Bytes(SWworld& world)
{
    std::vector<uint8_t> bytes;
    EXPECT_EQ(WriteWorldFile(world, WorldFileMode::kScene, bytes), DocumentStatus::kOk);
    return bytes;
}

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
    // Completes loads until none is pending; false after five seconds.
    bool CompleteAll()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
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
    const std::vector<uint8_t> before = Bytes(*m_world);
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
    EXPECT_EQ(Bytes(*m_world), before);
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
    const std::vector<uint8_t> before = Bytes(*m_world);
    EXPECT_EQ(m_loader->LoadFile(*m_entry, {}, false), nullptr);
    CVTN_SubWorldInstance* threaded = m_loader->LoadFile(*m_entry, {}, true);
    ASSERT_NE(threaded, nullptr);
    ASSERT_TRUE(CompleteAll());
    EXPECT_TRUE(threaded->failed);
    EXPECT_FALSE(threaded->loaded);
    EXPECT_EQ(Bytes(*m_world), before);
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

TEST_F(SubWorldLoader, DestroyingTheWorldWhileItLoadsIsSafe)
{
    for (int i = 0; i < 4; ++i)
        ASSERT_NE(m_loader->LoadFile(*m_entry, {}, true), nullptr);
    m_world.reset(); // stops and joins every loader; nothing of theirs may be left to leak
    EXPECT_EQ(m_world, nullptr);
}

} // namespace
