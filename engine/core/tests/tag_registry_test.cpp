#include "engine/core/tag_registry.h"
#include "engine/core/type_tag.h"

#include <gtest/gtest.h>

namespace {

// Tags of this test alone: a real tag registered here would clash with its class in the same program.
constexpr uint32_t kTagWorld = MakeTag("tWLD");
constexpr uint32_t kTagCamera = MakeTag("tCAM");
constexpr uint32_t kTagNeverRegistered = MakeTag("7496");

class World : public CVTN_Container {
public:
    World() { AddTypeTag(kTagWorld); }
};

class Camera : public CVTN_Container {
public:
    Camera() { AddTypeTag(kTagCamera); }
};

// Registered the way every persistent class registers: from a namespace-scope object, before main.
const CVTN_TagRegistration kWorldRegistration(kTagWorld, &CreateContainer<World>);
const CVTN_TagRegistration kCameraRegistration(kTagCamera, &CreateContainer<Camera>);
const CVTN_TagRegistration kSecondClaim(kTagWorld, &CreateContainer<Camera>);

TEST(TypeTag, BytesSpellTheTagInOrder)
{
    static_assert(MakeTag("WRLD") == 0x444C5257u); // 'W' in the lowest byte
    static_assert(kTagEnd == 0x20444E45u);
    static_assert(MakeTag("7300") == 0x30303337u);
    EXPECT_EQ(TagText(MakeTag("CMRA")), "CMRA");
    EXPECT_EQ(TagText(0x0A000041u), "A???"); // control and zero bytes are not printed
}

TEST(TagRegistry, StaticRegistrationsAreFoundAndCreateTheirClass)
{
    EXPECT_TRUE(kWorldRegistration.registered);
    EXPECT_TRUE(kCameraRegistration.registered);
    const std::unique_ptr<CVTN_Container> world = CVTN_TagRegistry::Create(kTagWorld);
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(world->GetTag(), kTagWorld);
    const std::unique_ptr<CVTN_Container> camera = CVTN_TagRegistry::Create(kTagCamera);
    ASSERT_NE(camera, nullptr);
    EXPECT_TRUE(camera->IsKindOf(kTagCamera));
}

TEST(TagRegistry, FirstClaimOfATagIsKept)
{
    EXPECT_FALSE(kSecondClaim.registered);
    EXPECT_EQ(CVTN_TagRegistry::Find(kTagWorld), &CreateContainer<World>);
}

TEST(TagRegistry, UnknownTagHasNoCreator)
{
    EXPECT_EQ(CVTN_TagRegistry::Find(kTagNeverRegistered), nullptr);
    EXPECT_EQ(CVTN_TagRegistry::Create(kTagNeverRegistered), nullptr);
    EXPECT_EQ(CVTN_TagRegistry::Find(kTagEnd), nullptr);
}

TEST(TagRegistry, NullCreatorIsRefused)
{
    const size_t before = CVTN_TagRegistry::Count();
    EXPECT_FALSE(CVTN_TagRegistry::Register(MakeTag("NULL"), nullptr));
    EXPECT_EQ(CVTN_TagRegistry::Count(), before);
    EXPECT_EQ(CVTN_TagRegistry::Find(MakeTag("NULL")), nullptr);
}

} // namespace
