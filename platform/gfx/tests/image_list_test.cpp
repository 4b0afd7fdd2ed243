// Image lists and icons: masks, alpha, the 50 % blend, overlays and the background colour.
#include "platform/base/gdi_constants.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/icon.h"
#include "platform/gfx/image_list.h"
#include "platform/gfx/memory_dc.h"

#include <gtest/gtest.h>

namespace pf {
namespace {

// A 4 x 4 target filled with one colour.
struct Canvas {
    MemoryDc dc;
    DibSectionRef bits = DibSection::create(4, 4);
    explicit Canvas(ColorRef fill)
    {
        dc.select(bits);
        dc.fillRect({0, 0, 4, 4}, createSolidBrush(fill));
    }
    uint32_t at(int32_t x, int32_t y) const { return bits->surface().pixel(x, y) & kPixelRgbMask; }
};

IconRef twoByTwo(std::vector<uint32_t> argb, std::vector<uint8_t> mask = {})
{
    return Icon::create(2, 2, std::move(argb), std::move(mask));
}

TEST(ImageListDraw, AlphaZeroIsSkippedFullIsCopiedPartialIsBlended)
{
    ImageListRef list = ImageList::create(2, 2, ILC_COLOR32 | ILC_MASK, 1, 0);
    list->addIcon(*twoByTwo(
        {makePixel(255, 0, 0, 255), makePixel(255, 0, 0, 0), makePixel(255, 0, 0, 128), makePixel(0, 0, 255, 255)}));
    Canvas c(rgb(0, 0, 0));
    ASSERT_TRUE(list->draw(c.dc, 0, {0, 0}, ILD_TRANSPARENT));
    EXPECT_EQ(c.at(0, 0), makePixel(255, 0, 0));
    EXPECT_EQ(c.at(1, 0), 0u);
    EXPECT_EQ(c.at(0, 1), makePixel(128, 0, 0));
    EXPECT_EQ(c.at(1, 1), makePixel(0, 0, 255));
}

TEST(ImageListDraw, MaskedPixelsOfAPictureWithoutAlphaShowWhatIsUnder)
{
    ImageListRef list = ImageList::create(2, 2, ILC_COLOR32 | ILC_MASK, 1, 0);
    list->addIcon(*twoByTwo({makePixel(0, 255, 0), makePixel(0, 255, 0), makePixel(0, 255, 0), makePixel(0, 255, 0)},
                            {0, 1, 1, 0}));
    Canvas c(rgb(9, 9, 9));
    list->draw(c.dc, 0, {0, 0}, ILD_TRANSPARENT);
    EXPECT_EQ(c.at(0, 0), makePixel(0, 255, 0));
    EXPECT_EQ(c.at(1, 0), makePixel(9, 9, 9));
}

TEST(ImageListDraw, NormalDrawsTheBackgroundUnlessNone)
{
    ImageListRef list = ImageList::create(2, 2, ILC_COLOR32 | ILC_MASK, 1, 0);
    list->addIcon(*twoByTwo({0, 0, 0, makePixel(1, 2, 3, 255)}, {1, 1, 1, 0}));
    list->setBkColor(rgb(200, 0, 0));
    Canvas c(rgb(0, 0, 0));
    list->draw(c.dc, 0, {0, 0}, ILD_NORMAL);
    EXPECT_EQ(c.at(0, 0), makePixel(200, 0, 0));
    EXPECT_EQ(list->setBkColor(CLR_NONE), rgb(200, 0, 0));
    Canvas d(rgb(0, 0, 0));
    list->draw(d.dc, 0, {0, 0}, ILD_NORMAL);
    EXPECT_EQ(d.at(0, 0), 0u);
}

TEST(ImageListDraw, Blend50MixesHalfTheHighlight)
{
    ImageListRef list = ImageList::create(2, 2, ILC_COLOR32, 1, 0);
    list->addIcon(*twoByTwo({makePixel(255, 255, 255, 255), 0, 0, 0}, {0, 1, 1, 1}));
    Canvas c(rgb(0, 0, 0));
    list->draw(c.dc, 0, {0, 0}, ILD_BLEND50);
    const uint32_t highlight = pixelFromColorRef(getSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(c.at(0, 0), blendPixel(makePixel(255, 255, 255), highlight, 128));
}

TEST(ImageListDraw, OverlayImageDrawsOnTop)
{
    ImageListRef list = ImageList::create(2, 2, ILC_COLOR32 | ILC_MASK, 2, 0);
    list->addIcon(*twoByTwo(
        {makePixel(0, 0, 255, 255), makePixel(0, 0, 255, 255), makePixel(0, 0, 255, 255), makePixel(0, 0, 255, 255)}));
    list->addIcon(*twoByTwo({makePixel(255, 0, 0, 255), 0, 0, 0}, {0, 1, 1, 1}));
    ASSERT_TRUE(list->setOverlayImage(1, 1));
    EXPECT_FALSE(list->setOverlayImage(1, 16));
    Canvas c(rgb(0, 0, 0));
    list->draw(c.dc, 0, {0, 0}, ILD_TRANSPARENT | (1u << 8));
    EXPECT_EQ(c.at(0, 0), makePixel(255, 0, 0));
    EXPECT_EQ(c.at(1, 1), makePixel(0, 0, 255));
}

TEST(ImageListAdd, BitmapStripsAreCutAndBadShapesRefused)
{
    ImageListRef list = ImageList::create(2, 2, ILC_COLOR32 | ILC_MASK, 1, 0);
    DibSectionRef strip = DibSection::create(6, 2);
    EXPECT_EQ(list->add(*strip, nullptr), 0);
    EXPECT_EQ(list->count(), 3);
    DibSectionRef tall = DibSection::create(2, 3);
    EXPECT_EQ(list->add(*tall, nullptr), -1);
    DibSectionRef mask = DibSection::create(4, 2);
    EXPECT_EQ(list->add(*strip, mask.get()), -1);
    EXPECT_FALSE(list->replace(9, *strip, nullptr));
    EXPECT_EQ(list->getIcon(3), nullptr);
    EXPECT_EQ(ImageList::create(0, 16, 0, 0, 0), nullptr);
}

TEST(ImageListIcon, GetIconKeepsPixelsAndMask)
{
    ImageListRef list = ImageList::create(2, 2, ILC_COLOR32 | ILC_MASK, 1, 0);
    list->addIcon(*twoByTwo({makePixel(1, 2, 3), makePixel(4, 5, 6), 0, 0}, {0, 0, 1, 1}));
    IconRef icon = list->getIcon(0);
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->isTransparentAt(0, 0));
    EXPECT_TRUE(icon->isTransparentAt(0, 1));
    EXPECT_EQ(icon->pixel(1, 0) & kPixelRgbMask, makePixel(4, 5, 6));
}

TEST(IconCreate, RefusesSizesAndCountsThatDoNotMatch)
{
    EXPECT_EQ(Icon::create(0, 4, {}, {}), nullptr);
    EXPECT_EQ(Icon::create(Icon::kMaxSide + 1, 1, std::vector<uint32_t>(Icon::kMaxSide + 1), {}), nullptr);
    EXPECT_EQ(Icon::create(2, 2, {1, 2, 3}, {}), nullptr);
    EXPECT_EQ(Icon::create(2, 2, {1, 2, 3, 4}, {0}), nullptr);
    EXPECT_NE(Icon::create(2, 2, {1, 2, 3, 4}, {}), nullptr);
}

TEST(IconGenerated, SameIdSamePictureOtherIdOtherPicture)
{
    const IconRef a = generatedIcon(158, 32);
    const IconRef b = generatedIcon(158, 32);
    const IconRef c = generatedIcon(174, 32);
    int differ = 0;
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 32; ++x) {
            EXPECT_EQ(a->pixel(x, y), b->pixel(x, y));
            differ += a->pixel(x, y) != c->pixel(x, y) ? 1 : 0;
        }
    EXPECT_GT(differ, 0);
}

TEST(IconDraw, BlendsByAlphaWithinTheClip)
{
    Canvas c(rgb(0, 0, 0));
    const IconRef icon = twoByTwo({makePixel(200, 100, 0, 255), makePixel(200, 0, 0, 0), 0, 0});
    c.dc.intersectClipRect({0, 0, 1, 4});
    ASSERT_TRUE(drawIcon(c.dc, {0, 0}, *icon));
    EXPECT_EQ(c.at(0, 0), makePixel(200, 100, 0));
    EXPECT_EQ(c.at(1, 0), 0u);
}

} // namespace
} // namespace pf
