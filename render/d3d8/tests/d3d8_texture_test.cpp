// Device textures: validation with retries and evictions, the reference held by the manager and by the source
// texture, padding of a non-power-of-two image, failures of the upload that leak nothing and write nothing, a
// texture that cannot be evicted by its own upload, and the eviction of the least recently used and stale ones.
#include "render/d3d8/d3d8_texture.h"

#include <cstring>

#include "render/d3d8/tests/d3d8_fixture.h"

namespace d3d8test {
namespace {

using namespace pf;

// Counts uploads and fails the first n of them.
class CountingTexture final : public SWdevicetexture {
public:
    CountingTexture(const SWtexture* source, int failures, int& frees, int& deletions)
        : SWdevicetexture(source), m_failures(failures), m_frees(frees), m_deletions(deletions)
    {
    }
    int uploads = 0;

protected:
    ~CountingTexture() override { ++m_deletions; }
    bool Upload() override { return ++uploads > m_failures; }
    void FreeMemory() override { ++m_frees; }

private:
    int m_failures;
    int& m_frees;
    int& m_deletions;
};

using D3D8DeviceTexture = D3D8Fixture;

TEST_F(D3D8DeviceTexture, FirstValidateUploadsEvenAtStampZeroAndAgainOnlyWhenTheStampMoves)
{
    SWimage32* image = MakeTexture(4, 4);
    ASSERT_EQ(image->GetStamp(), 0u);
    int frees = 0, deletions = 0;
    auto* texture = new CountingTexture(image, 0, frees, deletions);
    texture->AddRef();
    EXPECT_TRUE(texture->Validate());
    EXPECT_TRUE(texture->Validate());
    EXPECT_EQ(texture->uploads, 1);
    image->Touch();
    EXPECT_TRUE(texture->Validate());
    EXPECT_EQ(texture->uploads, 2);
    EXPECT_EQ(texture->GetBuiltFor(), image->GetStamp());
    texture->Release(); // a count of 1 deletes
    EXPECT_EQ(deletions, 1);
}

TEST_F(D3D8DeviceTexture, TwoFailuresThenSuccessFreeMemoryTwiceAndThreeFailuresAnswerFalse)
{
    SWimage32* image = MakeTexture(4, 4);
    int frees = 0, deletions = 0;
    auto* third = new CountingTexture(image, 2, frees, deletions);
    third->AddRef();
    EXPECT_TRUE(third->Validate());
    EXPECT_EQ(third->uploads, 3);
    EXPECT_EQ(frees, 2);
    third->Release();

    frees = 0;
    auto* never = new CountingTexture(image, 3, frees, deletions);
    never->AddRef();
    EXPECT_FALSE(never->Validate());
    EXPECT_EQ(never->uploads, 3);
    EXPECT_EQ(frees, 2);
    EXPECT_EQ(never->GetBuiltFor(), SWdevicetexture::kNeverBuilt);
    never->Release();
    EXPECT_EQ(deletions, 2);
}

class D3D8TextureUpload : public D3D8Fixture {
protected:
    Direct3D8Config Config() const override
    {
        Direct3D8Config c;
        c.rasterise = false;
        c.newResourceFill = 0xA5; // what the upload never writes shows
        return c;
    }
    // The texels of the device copy, locked where it lies.
    static std::vector<uint32_t> TexelsOf(SWd3d8texture& copy)
    {
        D3DLOCKED_RECT locked;
        std::vector<uint32_t> texels;
        const uint32_t w = copy.GetPaddedWidth(), h = copy.GetPaddedHeight();
        if (copy.GetInterface()->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK)
            return texels;
        texels.resize(size_t{w} * h);
        for (uint32_t y = 0; y < h; ++y)
            std::memcpy(&texels[size_t{y} * w], static_cast<uint8_t*>(locked.pBits) + size_t{y} * locked.Pitch, w * 4);
        copy.GetInterface()->UnlockRect(0);
        return texels;
    }
};

TEST_F(D3D8TextureUpload, ImageOfThreeHundredByTwoHundredIsPaddedWithZeroColumnsAndRows)
{
    MakeSurface();
    SWimage32* image = MakeTexture(300, 200);
    SWd3d8texture* copy = surface->DeviceTextureFor(image);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetPaddedWidth(), 512u);
    EXPECT_EQ(copy->GetPaddedHeight(), 256u);
    EXPECT_FALSE(copy->IsExact());
    const std::vector<uint32_t> texels = TexelsOf(*copy);
    ASSERT_EQ(texels.size(), 512u * 256u);
    const uint32_t* pixels = image->GetPixels();
    size_t wrong = 0;
    for (uint32_t y = 0; y < 256; ++y)
        for (uint32_t x = 0; x < 512; ++x) {
            const uint32_t expected = (x < 300 && y < 200) ? pixels[y * 300 + x] : 0u;
            wrong += texels[y * 512 + x] != expected ? 1 : 0;
        }
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(copy->GetReferenceCount(), 2); // the manager's and the texture's
}

TEST_F(D3D8TextureUpload, FailedStagingTextureOrLockFailsTheUploadLeakingAndWritingNothing)
{
    MakeSurface();
    for (const auto& [method, nth] :
         std::vector<std::pair<std::string, uint32_t>>{{"CreateTexture", 2}, {"LockRect", 1}}) {
        SCOPED_TRACE(method);
        SWimage32* image = MakeTexture(8, 8);
        const int liveBefore = d3d8LiveObjects();
        // Every attempt fails at that call; the later attempts find the default-pool texture made and only make
        // a staging one, so the failing calls are consecutive.
        setD3D8FailurePlan({{{method, nth, D3DERR_INVALIDCALL},
                             {method, nth + 1, D3DERR_INVALIDCALL},
                             {method, nth + 2, D3DERR_INVALIDCALL}}});
        clearD3D8CallLog();
        EXPECT_EQ(surface->DeviceTextureFor(image), nullptr);
        EXPECT_EQ(CountOf("UpdateTexture"), 0u);
        EXPECT_EQ(CountOf("UnlockRect"), 0u);
        // Only the default-pool texture made by the first attempt is left, held by the copy in the manager.
        EXPECT_EQ(d3d8LiveObjects(), liveBefore + 1);
        setD3D8FailurePlan({});
        surface->Resize(0, 0); // evicts every copy
        EXPECT_EQ(d3d8LiveObjects(), 1);
        MakeSurface();
    }
}

TEST_F(D3D8TextureUpload, FirstUploadFailingWithNoOtherTextureNeitherEvictsNorFreesItself)
{
    MakeSurface();
    SWimage32* image = MakeTexture(16, 16);
    setD3D8FailurePlan(
        {{{"UpdateTexture", 1, D3DERR_OUTOFVIDEOMEMORY}, {"UpdateTexture", 2, D3DERR_OUTOFVIDEOMEMORY}}});
    SWd3d8texture* copy = surface->DeviceTextureFor(image);
    ASSERT_NE(copy, nullptr); // the third attempt succeeds on the same, still listed copy
    EXPECT_EQ(surface->EvictionCount(), 0u);
    EXPECT_EQ(surface->TextureCount(), 1u);
    EXPECT_EQ(CountOf("UpdateTexture"), 3u);
    EXPECT_EQ(copy->GetFlag(), 1u);
}

TEST_F(D3D8TextureUpload, FailuresEvictTheOtherTexturesOldestFirst)
{
    MakeSurface();
    SWimage32* a = MakeTexture(4, 4, 1);
    SWimage32* b = MakeTexture(4, 4, 2);
    SWimage32* c = MakeTexture(4, 4, 3);
    ASSERT_NE(surface->DeviceTextureFor(a), nullptr);
    surface->BeginFrame();
    ASSERT_NE(surface->DeviceTextureFor(b), nullptr);
    surface->EndFrame();
    setD3D8FailurePlan(
        {{{"UpdateTexture", 1, D3DERR_OUTOFVIDEOMEMORY}, {"UpdateTexture", 2, D3DERR_OUTOFVIDEOMEMORY}}});
    surface->BeginFrame();
    ASSERT_NE(surface->DeviceTextureFor(c), nullptr); // true after two evictions
    surface->EndFrame();
    EXPECT_EQ(surface->EvictionCount(), 2u);
    EXPECT_EQ(surface->TextureCount(), 1u);
    EXPECT_EQ(a->GetImage(), nullptr); // the evicted copies are gone from their textures too
    EXPECT_EQ(b->GetImage(), nullptr);
    EXPECT_NE(c->GetImage(), nullptr);
}

TEST_F(D3D8TextureUpload, EvictOldestPicksTheLeastRecentlyUsedAndStaleOnesGoAtBeginFrame)
{
    MakeSurface();
    SWimage32* a = MakeTexture(4, 4, 1);
    SWimage32* b = MakeTexture(4, 4, 2);
    surface->BeginFrame();
    surface->DeviceTextureFor(b);
    surface->EndFrame();
    surface->BeginFrame();
    surface->DeviceTextureFor(a);
    surface->EndFrame();
    EXPECT_TRUE(surface->EvictOldest());
    EXPECT_EQ(b->GetImage(), nullptr);
    EXPECT_NE(a->GetImage(), nullptr);

    for (uint32_t i = 0; i < SWtexturemanager::kStaleFrames; ++i) {
        surface->BeginFrame();
        surface->EndFrame();
    }
    EXPECT_EQ(surface->TextureCount(), 1u); // used 1000 frames ago: not stale yet
    surface->BeginFrame();
    surface->EndFrame();
    EXPECT_EQ(surface->TextureCount(), 0u);
    EXPECT_EQ(a->GetImage(), nullptr);
}

TEST_F(D3D8TextureUpload, TextureDeletedWhileItsCopyWaitsLeavesNothingBehind)
{
    MakeSurface();
    SWimage32* image = MakeTexture(4, 4);
    ASSERT_NE(surface->DeviceTextureFor(image), nullptr);
    textures.clear(); // the copy lives on in the manager, never reading its source again
    EXPECT_EQ(SWd3d8texture::LiveCount(), 1);
    surface->BeginFrame();
    surface->EndFrame();
    surface.reset();
    EXPECT_EQ(SWd3d8texture::LiveCount(), 0);
}

} // namespace
} // namespace d3d8test
