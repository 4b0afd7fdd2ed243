#include "engine/resources/texture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/core/tag_registry.h"
#include "engine/core/type_tag.h"
#include "engine/resources/image24.h"
#include "engine/resources/image32.h"
#include "engine/resources/image8.h"

namespace {

// Counts what the texture does to it; "deleted" on the last release, as a device texture is.
class FakeDeviceTexture : public SWdevicetexturebase {
public:
    explicit FakeDeviceTexture(uint32_t flag) : flag(flag) {}
    void AddRef() override { ++references; }
    void Release() override
    {
        ++releases;
        --references;
    }
    uint32_t GetFlag() const override { return flag; }
    uint32_t flag;
    int references = 1; // the creator's
    int releases = 0;
};

// Hears kNotifyChanged from textures and counts it.
class ChangeCounter : public CVTN_Container {
public:
    ChangeCounter() { RegisterListener(kNotifyChanged, MakeTag("TXTR")); }
    void Notify(uint32_t code, CVTN_Container* /*sender*/) override { heard += code == kNotifyChanged ? 1 : 0; }
    int heard = 0;
};

const uint32_t kColours[4] = {0x80FF0000u, 0x0000FF00u, 0x120000FFu, 0xFF102030u};

TEST(ImagePixels, EachKindShowsItsWords)
{
    const SWimage32 image32("a", 2, 2, kColours);
    const SWimage24 image24("b", 2, 2, kColours);
    const uint8_t grey[4] = {0, 77, 200, 255};
    const SWimage8 image8("c", 2, 2, grey);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(image32.GetPixels()[i], kColours[i]) << "its own alpha kept";
        EXPECT_EQ(image24.GetPixels()[i], 0xFF000000u | (kColours[i] & 0xFFFFFFu)) << "opaque";
        EXPECT_EQ(image8.GetPixels()[i], 0xFF000000u | grey[i] * 0x010101u);
    }
    EXPECT_EQ(image24.GetCompactPixels(), (std::vector<uint8_t>{0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0x10, 0x20, 0x30}));
    EXPECT_EQ(image8.GetGreyBytes(), (std::vector<uint8_t>{0, 77, 200, 255}));
}

TEST(ImagePixels, GreyOfColourRounds)
{
    EXPECT_EQ(SWpixelimage::GreyOf(0xFFFFFF), 255);
    EXPECT_EQ(SWpixelimage::GreyOf(0xFF0000), (77 * 255 + 128) >> 8);
    EXPECT_EQ(SWpixelimage::GreyOf(0x00FF00), (150 * 255 + 128) >> 8);
    EXPECT_EQ(SWpixelimage::GreyOf(0x0000FF), (29 * 255 + 128) >> 8);
    SWimage8 image("g", 1, 1, nullptr);
    image.GetPixelBuffer()[0] = 0xFF336699u; // a surface drew colour into it
    EXPECT_EQ(image.GetGreyBytes()[0], (77 * 0x33 + 150 * 0x66 + 29 * 0x99 + 128) >> 8);
}

TEST(ImageConstruction, NullPixelsGiveZerosAndBothFromPixelsFormsWork)
{
    const auto blank = SWimage24::SWimage24FromPixels("blank", 3, 1, nullptr);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(blank->GetPixels()[2], 0xFF000000u);
    const SWimage32 source("src", 2, 2, kColours);
    const auto copy = SWimage24::SWimage24FromPixels("copy", &source);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetName(), "copy");
    EXPECT_EQ(copy->GetWidth(), 2);
    EXPECT_EQ(copy->GetPixels()[3], 0xFF102030u);
    EXPECT_EQ(SWimage24::SWimage24FromPixels("none", nullptr), nullptr);
    const SWimage32 invalid("bad", 0, 5, nullptr);
    EXPECT_EQ(SWimage24::SWimage24FromPixels("none", &invalid), nullptr);
}

TEST(ImageConstruction, RefusedSizesGiveInvalidImagesWithoutPixels)
{
    struct Size {
        int64_t width, height;
    };
    const Size refused[] = {{0, 1}, {1, 0}, {-1, 4}, {65537, 1}, {1, 65537}, {65536, 65536}, {8193, 8192}};
    for (const Size& size : refused) {
        SCOPED_TRACE(testing::Message() << size.width << " x " << size.height);
        const SWimage32 image("x", size.width, size.height, nullptr);
        EXPECT_FALSE(image.IsValid());
        EXPECT_EQ(image.GetPixels(), nullptr);
        EXPECT_EQ(image.GetWidth(), 0);
        EXPECT_EQ(SWimage32::SWimage32FromPixels("x", size.width, size.height, nullptr), nullptr);
    }
    EXPECT_TRUE(SWtexture::IsAcceptedSize(65536, 1));
    EXPECT_TRUE(SWtexture::IsAcceptedSize(8192, 8192));
}

TEST(TextureStamp, TouchSkipsNeverBuiltAndTellsListenersOnce)
{
    SWimage32 image("t", 1, 1, nullptr);
    ChangeCounter counter;
    image.Touch();
    EXPECT_EQ(image.GetStamp(), 1u);
    EXPECT_EQ(counter.heard, 1);
    image.SetStamp(SWtexture::kStampNeverBuilt - 1);
    image.Touch();
    EXPECT_EQ(image.GetStamp(), 0u) << "0xFFFFFFFF means never built to a device texture";
    EXPECT_EQ(counter.heard, 2);
}

TEST(TextureNotify, ContentsChangedGivesOneChangedNotice)
{
    SWimage24 image("n", 1, 1, nullptr);
    ChangeCounter counter;
    image.Notify(kNotifyContentsChanged, nullptr);
    EXPECT_EQ(counter.heard, 1);
}

TEST(TextureDevice, InvalidDeviceTextureIsReleasedOnceAndNullAnswered)
{
    FakeDeviceTexture device(1);
    {
        SWimage32 image("d", 1, 1, nullptr);
        image.SetDeviceTexture(&device);
        EXPECT_EQ(device.references, 2);
        EXPECT_EQ(image.GetImage(), &device);
        device.flag = 0;
        EXPECT_EQ(image.GetImage(), nullptr);
        EXPECT_EQ(device.releases, 1);
        EXPECT_EQ(image.GetImage(), nullptr);
        EXPECT_EQ(device.releases, 1);
    }
    EXPECT_EQ(device.references, 1);
}

TEST(TextureDevice, ReplacingAndDyingReleaseTheHeldReference)
{
    FakeDeviceTexture first(1), second(1);
    {
        SWimage8 image("d", 1, 1, nullptr);
        image.SetDeviceTexture(&first);
        image.SetDeviceTexture(&second);
        EXPECT_EQ(first.references, 1);
        EXPECT_EQ(second.references, 2);
    }
    EXPECT_EQ(second.references, 1);
}

TEST(TextureFalloff, NoImageKindDeclaresOne)
{
    const SWimage32 a("a", 1, 1, nullptr);
    const SWimage24 b("b", 1, 1, nullptr);
    const SWimage8 c("c", 1, 1, nullptr);
    EXPECT_TRUE(a.GetFalloff().empty());
    EXPECT_TRUE(b.GetFalloff().empty());
    EXPECT_TRUE(c.GetFalloff().empty());
}

TEST(TextureClone, SameKindNameSizeAndPixels)
{
    SWimage32 a("a", 2, 2, kColours);
    SWimage24 b("b", 2, 2, kColours);
    SWimage8 c("c", 2, 2, nullptr);
    c.GetPixelBuffer()[1] = 0xFF123456u;
    for (SWtexture* texture : std::initializer_list<SWtexture*>{&a, &b, &c}) {
        SCOPED_TRACE(texture->GetName());
        const std::unique_ptr<SWtexture> copy = CloneTextureObject(texture);
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->GetTag(), texture->GetTag());
        EXPECT_EQ(copy->GetName(), texture->GetName());
        EXPECT_EQ(copy->GetWidth(), texture->GetWidth());
        EXPECT_EQ(copy->GetHeight(), texture->GetHeight());
        EXPECT_TRUE(std::equal(copy->GetPixels(), copy->GetPixels() + 4, texture->GetPixels()));
        EXPECT_NE(copy->GetPixels(), texture->GetPixels());
    }
    EXPECT_EQ(CloneTextureObject(nullptr), nullptr);
}

TEST(TextureRegistry, ImageKindsAreMadeFromTheirTags)
{
    for (const char* tag : {"CI32", "CI24", "CIG8"}) {
        SCOPED_TRACE(tag);
        uint32_t value = 0;
        std::memcpy(&value, tag, 4);
        const std::unique_ptr<CVTN_Container> made = CVTN_TagRegistry::Create(value);
        ASSERT_NE(made, nullptr);
        EXPECT_TRUE(made->IsKindOf(MakeTag("TXTR")));
        EXPECT_EQ(made->GetTag(), value);
    }
}

} // namespace
