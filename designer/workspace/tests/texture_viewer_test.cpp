// The texture viewer: fit and 1:1 placement, hot spots at their rectangles and alter-ego rectangles, the skip byte,
// and painting from its own copy of the pixels.
#include "designer/workspace/tests/workspace_fixture.h"
#include "designer/workspace/texture_viewer.h"
#include "engine/core/hotspot.h"
#include "engine/core/world.h"
#include "engine/resources/image32.h"

namespace {

using namespace workspace_test;

constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kBlue = 0xFF0000FFu;
constexpr uint32_t kGrey = 0x808080u; // the viewer's background
constexpr uint32_t kYellow = 0xFFFF00u;
constexpr uint32_t kCyan = 0x00FFFFu;

// A 40 x 20 image, its left half red and its right half blue.
std::unique_ptr<SWimage32> HalfAndHalf(const std::string& name)
{
    std::vector<uint32_t> pixels(40 * 20);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = i % 40 < 20 ? kRed : kBlue;
    return SWimage32::SWimage32FromPixels(name, 40, 20, pixels.data());
}

class TextureViewer : public Controls {
protected:
    void SetUp() override
    {
        Controls::SetUp();
        viewer = &Control<CVTND_TextureViewer>(kViewer);
        viewer->SetWorld(&world);
        image = HalfAndHalf("wall");
    }
    uint32_t At(pf::Point client) { return pf::screenPixel(viewer->clientToScreen(client)); }
    SWhotspot* AddHotspot(const std::string& texture, std::array<float, 4> rect, std::array<float, 4> alterEgo)
    {
        auto* hotspot = new SWhotspot(); // the world's tree owns it
        hotspot->SetTextureName(texture);
        hotspot->SetRect(rect);
        hotspot->SetAlterEgoRect(alterEgo);
        world.AddNode(hotspot, nullptr);
        return hotspot;
    }
    void Repaint()
    {
        viewer->invalidate();
        sim().pump();
    }

    SWworld world;
    std::unique_ptr<SWimage32> image;
    CVTND_TextureViewer* viewer = nullptr;
};

TEST_F(TextureViewer, FitKeepsTheAspectCentredAndOneToOneStartsTopLeft)
{
    viewer->SetImage(image.get());
    sim().pump();
    // The area is 166 x 76: the 40 x 20 image fits at 152 x 76, 7 pixels in from each side.
    const pf::Rect shown = viewer->ImageRect();
    EXPECT_EQ(shown, pf::Rect::fromXywh(2 + 7, 2, 152, 76));
    EXPECT_EQ(At({shown.l + 10, 40}), kRed & 0xFFFFFFu);
    EXPECT_EQ(At({shown.r - 10, 40}), kBlue & 0xFFFFFFu);
    EXPECT_EQ(At({4, 40}), kGrey);
    viewer->SetFitToWindow(false);
    sim().pump();
    EXPECT_EQ(viewer->ImageRect(), pf::Rect::fromXywh(2, 2, 40, 20));
    EXPECT_EQ(At({2, 2}), kRed & 0xFFFFFFu);
    EXPECT_EQ(At({41, 21}), kBlue & 0xFFFFFFu);
    EXPECT_EQ(At({42, 21}), kGrey);
    EXPECT_EQ(At({41, 22}), kGrey);
    EXPECT_EQ(viewer->GetMemberAt40(), image.get());
}

TEST_F(TextureViewer, PaintsItsCopyAfterTheImageIsDeleted)
{
    viewer->SetImage(image.get());
    image.reset();
    Repaint();
    const pf::Rect shown = viewer->ImageRect();
    EXPECT_EQ(At({shown.l + 10, 40}), kRed & 0xFFFFFFu);
    viewer->SetImage(nullptr);
    sim().pump();
    EXPECT_EQ(At({shown.l + 10, 40}), kGrey);
    EXPECT_EQ(viewer->GetMemberAt40(), nullptr);
}

TEST_F(TextureViewer, HotspotsShowAtTheirRectanglesOrAlterEgoRectangles)
{
    viewer->SetFitToWindow(false);
    viewer->SetImage(image.get());
    SWhotspot* door = AddHotspot("wall", {0.25f, 0.5f, 0.5f, 0.25f}, {0.0f, 0.0f, 0.5f, 0.5f});
    AddHotspot("other", {0.0f, 0.0f, 1.0f, 1.0f}, {0.0f, 0.0f, 1.0f, 1.0f});
    sim().pump();
    EXPECT_NE(At({12, 12}), kYellow); // hidden until asked for
    viewer->ShowHotspots(true);
    sim().pump();
    EXPECT_EQ(viewer->HotspotRect(*door, false), pf::Rect::fromXywh(2 + 10, 2 + 10, 20, 5));
    EXPECT_EQ(At({12, 12}), kYellow);
    EXPECT_EQ(At({31, 14}), kYellow);
    EXPECT_NE(At({2, 2}), kYellow); // the hot spot of another texture is not drawn

    // The alter-ego preview shows another texture with the wall's hot spots at their alter-ego rectangles.
    const std::unique_ptr<SWimage32> alter = HalfAndHalf("alter");
    viewer->SetImage(alter.get());
    viewer->SetAlterEgoOwner(image.get());
    sim().pump();
    EXPECT_EQ(At({2, 2}), kCyan);
    EXPECT_EQ(At({21, 11}), kCyan);
    EXPECT_NE(At({12, 12}), kYellow);
}

TEST_F(TextureViewer, SkipByteSkipsOnePaintAndIsCleared)
{
    viewer->SetFitToWindow(false);
    viewer->SetImage(image.get());
    viewer->ShowHotspots(true);
    SWhotspot* door = AddHotspot("wall", {0.25f, 0.5f, 0.5f, 0.25f}, {});
    door->SetSkip(1);
    Repaint();
    EXPECT_NE(At({12, 12}), kYellow);
    EXPECT_EQ(door->GetSkip(), 0);
    Repaint();
    EXPECT_EQ(At({12, 12}), kYellow);
}

TEST_F(TextureViewer, HotspotPictureIsDrawnFromItsBitmap)
{
    viewer->SetFitToWindow(false);
    viewer->SetImage(image.get());
    viewer->ShowHotspots(true);
    SWhotspot* door = AddHotspot("wall", {0.25f, 0.5f, 0.5f, 0.25f}, {});
    const std::vector<uint32_t> green(8 * 8, 0xFF00FF00u);
    door->SetImage(SWimage32::SWimage32FromPixels("crop", 8, 8, green.data()));
    viewer->BuildHotspotBitmap(door);
    sim().pump();
    EXPECT_EQ(At({20, 14}), 0x00FF00u);
    door->SetImage(nullptr);
    viewer->BuildHotspotBitmap(door);
    sim().pump();
    EXPECT_EQ(At({20, 14}), kRed & 0xFFFFFFu); // the wall again
}

} // namespace
