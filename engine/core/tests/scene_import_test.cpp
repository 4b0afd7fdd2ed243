#include "engine/core/scene_import.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/camera_node.h"
#include "engine/core/mesh_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/tests/world_test_support.h"
#include "engine/core/world.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/particle_node.h"
#include "engine/resources/sound.h"
#include "engine/resources/texture.h"
#include "testsupport/world/sample_world.h"

namespace {

std::unique_ptr<SWworld> FileWorld()
{
    auto world = std::make_unique<SWworld>();
    SWobjectnode* box = AddObject(*world, "box");
    AddObject(*world, "lid", box);
    auto* camera = new SWcameranode;
    camera->SetName("eye");
    world->AddNode(camera, nullptr);
    world->AddCamera(camera);
    world->GetSubWorlds().Add("level2")->SetFileName("level2.vtn");
    return world;
}

std::unique_ptr<SWworld> BaseWorld()
{
    auto world = std::make_unique<SWworld>();
    SWobjectnode* box = AddObject(*world, "box");
    AddObject(*world, "floor");
    world->SetArcballNode(box);
    world->GetSubWorlds().Add("level2");
    return world;
}

class SceneImport : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = (std::filesystem::temp_directory_path() / ("vortan_import_" + std::to_string(::getpid()) + ".vtn"))
                     .string();
        ASSERT_EQ(SaveWorldFile(*FileWorld(), WorldFileMode::kScene, m_path), DocumentStatus::kOk);
    }
    void TearDown() override { std::filesystem::remove(m_path); }

    std::string m_path;
};

TEST_F(SceneImport, ClashingNamesAreRenamedAndRecorded)
{
    const std::unique_ptr<SWworld> base = BaseWorld();
    WorldLoadResult import = ImportWorld(m_path);
    ASSERT_EQ(import.status, DocumentStatus::kOk);
    const MergeRecord record = MergeWorld(*base, *import.world, {}, m_path);
    EXPECT_EQ(record.fileName, m_path);
    ASSERT_EQ(record.entries.size(), 4u);
    const std::vector<std::pair<std::string, std::string>> names = {
        {"box_1", "box"}, {"lid", "lid"}, {"eye", "eye"}, {"level2_1", "level2"}};
    for (size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(record.entries[i].name, names[i].first);
        EXPECT_EQ(record.entries[i].nameInFile, names[i].second);
    }
    SWnode* imported = base->GetRootNode()->FindByName("box_1");
    ASSERT_NE(imported, nullptr);
    EXPECT_EQ(imported->GetId(), record.entries[0].id);
    EXPECT_NE(imported->GetId(), base->GetRootNode()->FindByName("box")->GetId());
    EXPECT_EQ(base->GetActiveCamera(), base->GetRootNode()->FindByName("eye"));
    EXPECT_EQ(import.world->GetRootNode()->GetChildCount(), 0u); // the nodes moved, none were copied
}

TEST_F(SceneImport, InstancesKeepTheirNames)
{
    const std::unique_ptr<SWworld> base = BaseWorld();
    const std::vector<uint8_t> before = SceneBytes(*base);
    WorldLoadResult import = ImportWorld(m_path);
    MergeOptions options;
    options.uniqueNames = false;
    options.parent = base->GetRootNode()->FindByName("floor");
    const MergeRecord record = MergeWorld(*base, *import.world, options, m_path);
    ASSERT_FALSE(record.entries.empty());
    EXPECT_EQ(record.entries[0].name, "box");
    SWnode* floor = base->GetRootNode()->FindByName("floor");
    EXPECT_EQ(floor->GetFirstChildNode()->GetId(), record.entries[0].id);
    // Removal takes the entries that came in, not the base's own of the same name.
    RemoveMerged(*base, record);
    EXPECT_EQ(SceneBytes(*base), before);
}

TEST_F(SceneImport, RemovingTheMergeGivesBackTheWorldAsItWas)
{
    const std::unique_ptr<SWworld> base = BaseWorld();
    const std::vector<uint8_t> before = SceneBytes(*base);
    WorldLoadResult import = ImportWorld(m_path);
    const MergeRecord record = MergeWorld(*base, *import.world, {}, m_path);
    // The base now points at what came in: its arcball is an imported node.
    SWnode* imported = base->GetRootNode()->FindByName("lid");
    ASSERT_NE(imported, nullptr);
    base->SetArcballNode(static_cast<SWobjectnode*>(imported));
    EXPECT_EQ(RemoveMerged(*base, record), record.entries.size());
    EXPECT_EQ(base->GetArcballNode(), nullptr); // dropped before the node went, never left dangling
    EXPECT_EQ(base->GetCameraList().Count(), 0u);
    base->SetArcballNode(static_cast<SWobjectnode*>(base->GetRootNode()->FindByName("box")));
    EXPECT_EQ(SceneBytes(*base), before);
}

TEST_F(SceneImport, TwoImportsOfOneFileHaveDisjointIds)
{
    const std::unique_ptr<SWworld> base = BaseWorld();
    WorldLoadResult first = ImportWorld(m_path);
    WorldLoadResult second = ImportWorld(m_path);
    const MergeRecord a = MergeWorld(*base, *first.world, {}, m_path);
    const MergeRecord b = MergeWorld(*base, *second.world, {}, m_path);
    ASSERT_EQ(a.entries.size(), b.entries.size());
    for (size_t i = 0; i < a.entries.size(); ++i) {
        if (a.entries[i].kind == MergedKind::kNode) {
            EXPECT_NE(a.entries[i].id, b.entries[i].id);
        }
    }
    EXPECT_EQ(b.entries[0].name, "box_2");
    EXPECT_EQ(base->GetCameraList().Count(), 2u);
}

TEST_F(SceneImport, AFileThatDoesNotReadBringsNothing)
{
    const WorldLoadResult import = ImportWorld(m_path + ".missing");
    EXPECT_NE(import.status, DocumentStatus::kOk);
    EXPECT_EQ(import.world, nullptr);
}

// The sample world (a record of every kind) saved beside the small file.
class SampleImport : public SceneImport {
protected:
    void SetUp() override
    {
        SceneImport::SetUp();
        m_sample = m_path + ".sample.vtn";
        ASSERT_EQ(SaveWorldFile(*worldtest::MakeSampleWorld(), WorldFileMode::kScene, m_sample), DocumentStatus::kOk);
    }
    void TearDown() override
    {
        std::filesystem::remove(m_sample);
        SceneImport::TearDown();
    }
    std::string m_sample;
};

TEST_F(SampleImport, RemovingAMergeLetsABaseMaterialUsingAnImportedTextureGo)
{
    const std::unique_ptr<SWworld> base = BaseWorld();
    auto own = std::make_unique<SWmaterial>("paint");
    SWmaterial* paint = own.get();
    base->GetRootObject()->AddMaterial(std::move(own));
    const std::vector<uint8_t> before = SceneBytes(*base);
    WorldLoadResult import = ImportWorld(m_sample);
    ASSERT_EQ(import.status, DocumentStatus::kOk);
    const MergeRecord record = MergeWorld(*base, *import.world, {}, m_sample);
    import.world.reset(); // nothing merged may point into the import
    SWtexture* bricks = base->FindTextureByName("bricks.png");
    ASSERT_NE(bricks, nullptr);
    paint->SetTexture(bricks);
    EXPECT_EQ(base->GetSoundList().Count(), 1u);
    SWmeshnode* mesh = dynamic_cast<SWmeshnode*>(base->GetRootNode()->FindByName("meshnode0"));
    ASSERT_NE(mesh, nullptr);
    ASSERT_NE(mesh->GetMeshObject(), nullptr);
    EXPECT_EQ(mesh->GetMeshObject()->GetPolygons()[0].material->GetName(), "brick");
    RemoveMerged(*base, record);
    EXPECT_EQ(paint->GetTexture(), nullptr); // let go before the texture went: no dangling pointer
    paint->SetTexture(nullptr);
    EXPECT_EQ(SceneBytes(*base), before);
}

const MergeEntry* EntryOf(const MergeRecord& record, MergedKind kind, const std::string& nameInFile)
{
    for (const MergeEntry& entry : record.entries) {
        if (entry.kind == kind && entry.nameInFile == nameInFile)
            return &entry;
    }
    return nullptr;
}

struct ResourceCounts {
    size_t textures = 0, materials = 0, sounds = 0;
    bool operator==(const ResourceCounts&) const = default;
};

ResourceCounts CountResources(const SWworld& world)
{
    ResourceCounts counts;
    for (SWtexture* t = world.GetRootObject()->GetFirstTexture(); t; t = SWrootobject::GetNextTexture(t))
        ++counts.textures;
    for (SWmaterial* m = world.GetRootObject()->GetFirstMaterial(); m; m = SWrootobject::GetNextMaterial(m))
        ++counts.materials;
    counts.sounds = world.GetSoundList().Count();
    return counts;
}

ResourceCounts CountResources(const MergeRecord& record)
{
    ResourceCounts counts;
    for (const MergeEntry& entry : record.entries) {
        counts.textures += entry.kind == MergedKind::kTexture ? 1 : 0;
        counts.materials += entry.kind == MergedKind::kMaterial ? 1 : 0;
        counts.sounds += entry.kind == MergedKind::kSound ? 1 : 0;
    }
    return counts;
}

// Instances keep their names, so each removal must take its own textures, materials and sounds, in either order.
TEST_F(SampleImport, RemovingOneInstanceLeavesTheOthersResourcesInUse)
{
    for (const bool secondFirst : {false, true}) {
        SCOPED_TRACE(secondFirst ? "second instance removed first" : "first instance removed first");
        const std::unique_ptr<SWworld> base = BaseWorld();
        const std::vector<uint8_t> before = SceneBytes(*base);
        MergeOptions options;
        options.uniqueNames = false;
        std::vector<MergeRecord> records;
        for (int i = 0; i < 2; ++i) {
            WorldLoadResult import = ImportWorld(m_sample);
            ASSERT_EQ(import.status, DocumentStatus::kOk);
            records.push_back(MergeWorld(*base, *import.world, options, m_sample));
        }
        const MergeRecord& removed = records[secondFirst ? 1 : 0];
        const MergeRecord& kept = records[secondFirst ? 0 : 1];
        RemoveMerged(*base, removed);

        EXPECT_EQ(CountResources(*base), CountResources(kept));
        const MergeEntry* node = EntryOf(kept, MergedKind::kNode, "meshnode0");
        const MergeEntry* material = EntryOf(kept, MergedKind::kMaterial, "brick");
        const MergeEntry* texture = EntryOf(kept, MergedKind::kTexture, "bricks.png");
        ASSERT_TRUE(node && material && texture);
        auto* mesh = dynamic_cast<SWmeshnode*>(base->GetRootNode()->FindById(node->id));
        ASSERT_NE(mesh, nullptr);
        ASSERT_NE(mesh->GetMeshObject(), nullptr);
        const SWmaterial* drawn = mesh->GetMeshObject()->GetPolygons()[0].material;
        EXPECT_EQ(drawn, material->object);
        ASSERT_NE(drawn, nullptr);
        EXPECT_EQ(drawn->GetTexture(), texture->object);
        const MergeEntry* sound = EntryOf(kept, MergedKind::kSound, "speech");
        ASSERT_NE(sound, nullptr);
        EXPECT_EQ(base->GetSoundList().GetFirst(), sound->object);

        RemoveMerged(*base, kept);
        EXPECT_EQ(CountResources(*base), ResourceCounts{});
        EXPECT_EQ(SceneBytes(*base), before);
    }
}

TEST_F(SampleImport, KindsLeftOutStayInTheImportAndTheirChildrenComeAlong)
{
    const std::unique_ptr<SWworld> base = BaseWorld();
    WorldLoadResult import = ImportWorld(m_sample);
    MergeOptions options;
    options.kinds = kMergeAll & ~(kMergeDummies | kMergeCameras | kMergeSounds | kMergeCursors);
    const MergeRecord record = MergeWorld(*base, *import.world, options, m_sample);
    EXPECT_EQ(base->GetRootNode()->FindByName("front"), nullptr);
    EXPECT_EQ(base->GetRootNode()->FindByName("object0"), nullptr);
    EXPECT_NE(base->GetRootNode()->FindByName("meshnode0"), nullptr);
    // The bone below a dummy object joins the merge's parent; the meshes still bind to it.
    SWnode* bone = base->GetRootNode()->FindByName("bone");
    ASSERT_NE(bone, nullptr);
    EXPECT_EQ(bone->GetParentNode(), base->GetRootNode());
    EXPECT_EQ(base->GetSoundList().Count(), 0u);
    EXPECT_EQ(base->GetCursorList().Count(), 0u);
    EXPECT_EQ(base->GetCameraList().Count(), 0u);
    for (const MergeEntry& entry : record.entries)
        EXPECT_NE(entry.kind, MergedKind::kCursor);
    import.world.reset();
    EXPECT_GT(RemoveMerged(*base, record), 0u);
}

TEST_F(SampleImport, ResynchroniseAppliesEachOptionToAChangedFile)
{
    const std::unique_ptr<SWworld> base = BaseWorld();
    WorldLoadResult import = ImportWorld(m_sample);
    MergeRecord record = MergeWorld(*base, *import.world, {}, m_sample);
    import.world.reset();
    // The file changes: a texture's pixels, a transform, a node gone, a node new.
    const std::unique_ptr<SWworld> changed = worldtest::MakeSampleWorld();
    changed->FindTextureByName("wood.png")->GetPixelBuffer()[0] = 0xFF345678u; // opaque: a 24-bit kind
    static_cast<SWobjectnode*>(changed->GetRootNode()->FindByName("object1"))
        ->SetInitialMatrix(SWmatrix::Translation(9, 9, 9));
    changed->DeleteNode(changed->GetRootNode()->FindByName("object2"));
    AddObject(*changed, "newcomer");
    ASSERT_EQ(SaveWorldFile(*changed, WorldFileMode::kScene, m_sample), DocumentStatus::kOk);
    WorldLoadResult again = ImportWorld(m_sample);
    ResyncOptions options;
    options.textures = true;
    options.transforms = true;
    options.objects = true;
    EXPECT_GT(Resynchronise(*base, *again.world, record, options), 0u);
    again.world.reset();
    SWnode* root = base->GetRootNode();
    EXPECT_EQ(base->FindTextureByName("wood.png")->GetPixels()[0], 0xFF345678u);
    EXPECT_EQ(static_cast<SWobjectnode*>(root->FindByName("object1"))->GetLocalMatrix(),
              SWmatrix::Translation(9, 9, 9));
    EXPECT_NE(root->FindByName("newcomer"), nullptr);
    EXPECT_EQ(root->FindByName("object2"), nullptr); // removed: keep-removed was clear
    // The record follows: removing it takes the newcomer too and leaves the base's nodes.
    RemoveMerged(*base, record);
    EXPECT_EQ(root->FindByName("newcomer"), nullptr);
    EXPECT_NE(root->FindByName("box"), nullptr);
}

} // namespace

TEST(SceneImportKinds, ParticleSystemsFollowTheirOwnKindBit)
{
    // An import holding a particle system's node beside a plain object node.
    const auto makeImport = []() {
        auto import = std::make_unique<SWworld>();
        auto particles = std::make_unique<SWparticlenode>();
        SWobjectnode* sparks = AddObject(*import, "sparks");
        sparks->SetGeometry(particles.get());
        import->GetRootObject()->AddGeometry(std::move(particles));
        AddObject(*import, "plain");
        return import;
    };
    struct Case {
        uint32_t kinds;
        bool sparks;
        bool plain;
    };
    const Case cases[] = {
        {kMergeParticles, true, false},
        {kMergeDummies, false, true},
        {kMergeAll & ~kMergeParticles, false, true},
        {kMergeAll, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kinds);
        SWworld base;
        const std::unique_ptr<SWworld> import = makeImport();
        MergeOptions options;
        options.kinds = c.kinds;
        MergeWorld(base, *import, options, "particles.vtn");
        EXPECT_EQ(base.GetRootNode()->FindByName("sparks") != nullptr, c.sparks);
        EXPECT_EQ(base.GetRootNode()->FindByName("plain") != nullptr, c.plain);
    }
}

namespace {

// Names are given as they always were: the first free of name, name_1, name_2, ... in the target; nodes of one
// subtree keep sharing a name, since the subtree joins the target only once all of it is named. Each name costs a
// look-up or two instead of a search of the target's tree for every suffix tried.
TEST(SceneImportNames, UniqueNamesKeepTheirSuffixesAndSearchNoTree)
{
    std::vector<uint64_t> searches;
    for (const int extra : {0, 40}) {
        SWworld target;
        for (const char* name : {"a", "a_1", "b"})
            AddObject(target, name);
        target.GetCursorList().Add("hand", 1);
        target.GetSubWorlds().Add("level");
        SWworld import;
        SWobjectnode* first = AddObject(import, "a");
        AddObject(import, "b", first);
        AddObject(import, "b", first);
        for (const char* name : {"a", "a_2", "a", "c"})
            AddObject(import, name);
        for (int i = 0; i < extra; ++i)
            AddObject(import, "a");
        for (int i = 0; i < 2; ++i) {
            import.GetCursorList().Add("hand", 10 + i);
            import.GetSubWorlds().Add("level");
        }
        const uint64_t before = SWnode::TreeSearchCount();
        const MergeRecord record = MergeWorld(target, import, {}, "names.vtn");
        searches.push_back(SWnode::TreeSearchCount() - before);
        std::vector<std::string> names;
        for (const MergeEntry& entry : record.entries) {
            if (entry.kind != MergedKind::kNode || names.size() < 7)
                names.push_back(entry.name);
        }
        EXPECT_EQ(names, (std::vector<std::string>{"a_2", "b_1", "b_1", "a_3", "a_2_1", "a_4", "c", "hand_1", "hand_2",
                                                   "level_1", "level_2"}));
        if (extra != 0) {
            EXPECT_EQ(record.entries[6 + extra].name, "a_" + std::to_string(4 + extra));
        }
    }
    EXPECT_EQ(searches[1], searches[0]);
}

} // namespace
