#include "engine/resources/gdi_canvas.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/gfx/text/fixed_font_engine.h"
#include "platform/gfx/text/font_engine.h"

namespace {

class CountingEngine : public pf::FixedFontEngine {
public:
    std::shared_ptr<const pf::FontFace> resolve(const pf::LogFont& request) override
    {
        ++resolved;
        return pf::FixedFontEngine::resolve(request);
    }
    std::atomic<int> resolved{0};
};

class GdiCanvasTest : public ::testing::Test {
protected:
    void SetUp() override { pf::setFontEngine(&m_engine); }
    void TearDown() override { pf::setFontEngine(nullptr); }

    std::vector<uint32_t> Pixels(GdiCanvasImage* image)
    {
        std::vector<uint32_t> out(static_cast<size_t>(image->GetWidth()) * image->GetHeight());
        EXPECT_EQ(GdiCanvas::ReadRows(image, 0, image->GetHeight(), out.data()), image->GetHeight());
        return out;
    }

    // The box of pixels that are not zero: left, top, right, bottom (excluded).
    pf::Rect Inked(GdiCanvasImage* image)
    {
        const std::vector<uint32_t> pixels = Pixels(image);
        pf::Rect box{image->GetWidth(), image->GetHeight(), 0, 0};
        for (int32_t y = 0; y < image->GetHeight(); ++y)
            for (int32_t x = 0; x < image->GetWidth(); ++x)
                if (pixels[static_cast<size_t>(y) * image->GetWidth() + x] != 0) {
                    box.l = std::min(box.l, x);
                    box.t = std::min(box.t, y);
                    box.r = std::max(box.r, x + 1);
                    box.b = std::max(box.b, y + 1);
                }
        return box;
    }

    CountingEngine m_engine;
};

TEST_F(GdiCanvasTest, AlignmentsPlaceTextAsTheMetricsSay)
{
    const auto image = GdiCanvas::CreateImage(64, 32);
    ASSERT_NE(image, nullptr);
    const auto line = GdiCanvas::CreateTextLine(image.get());
    GdiCanvas::SetColor(line.get(), 255, 128, 0);
    GdiCanvas::SetFont(line.get(), "Arial", GdiCanvas::kBold, 10);
    EXPECT_EQ(GdiCanvas::GetTextFace(line.get()), "Arial");
    const pf::TextMetrics metrics = GdiCanvas::GetTextMetrics(line.get());
    const pf::Size extent = GdiCanvas::GetTextExtent(line.get(), "HI");
    EXPECT_EQ(extent.cx, 12); // two advances of ceil(0.6 x 10)
    EXPECT_EQ(extent.cy, metrics.tmHeight);

    GdiCanvas::SetTextAlign(line.get(), 36); // top left
    ASSERT_TRUE(GdiCanvas::TextOut(line.get(), 5, 3, "HI"));
    pf::Rect box = Inked(image.get());
    EXPECT_GE(box.l, 5);
    EXPECT_LE(box.r, 5 + extent.cx);
    EXPECT_GE(box.t, 3);
    EXPECT_LE(box.b, 3 + metrics.tmHeight);
    EXPECT_EQ(Pixels(image.get())[static_cast<size_t>(box.t) * 64 + box.l], 0x00FF8000u); // byte 3 cleared

    const auto image2 = GdiCanvas::CreateImage(64, 32);
    const auto line2 = GdiCanvas::CreateTextLine(image2.get());
    GdiCanvas::SetColor(line2.get(), 255, 255, 255);
    GdiCanvas::SetFont(line2.get(), "Arial", GdiCanvas::kBold, 10);
    // The default alignment is 33: the baseline at y, so the ink moves up by the ascent.
    ASSERT_TRUE(GdiCanvas::TextOut(line2.get(), 5, 3 + metrics.tmAscent, "HI"));
    EXPECT_EQ(Inked(image2.get()), box);

    EXPECT_EQ(GdiCanvas::PlatformAlign(33), pf::TA_BASELINE | pf::TA_LEFT);
    EXPECT_EQ(GdiCanvas::PlatformAlign(2 | 64), pf::TA_BOTTOM | pf::TA_RIGHT);
    EXPECT_EQ(GdiCanvas::PlatformAlign(16), pf::TA_TOP | pf::TA_CENTER);
}

TEST_F(GdiCanvasTest, FontFlagsAndUnchangedFont)
{
    const auto image = GdiCanvas::CreateImage(8, 8);
    const auto line = GdiCanvas::CreateTextLine(image.get());
    GdiCanvas::SetFont(line.get(), "Serif", GdiCanvas::kBold | GdiCanvas::kItalic | GdiCanvas::kUnderline, 12);
    EXPECT_EQ(GdiCanvas::GetFontFlags(line.get()), 15u);
    const int before = m_engine.resolved;
    GdiCanvas::SetFont(line.get(), "Serif", GdiCanvas::kBold | GdiCanvas::kItalic | GdiCanvas::kUnderline, 12);
    EXPECT_EQ(m_engine.resolved, before);
    GdiCanvas::SetFont(line.get(), "Serif", GdiCanvas::kItalic, 12);
    EXPECT_GT(m_engine.resolved, before);
    EXPECT_EQ(GdiCanvas::GetFontFlags(line.get()), 5u);
    EXPECT_EQ(GdiCanvas::GetTextMetrics(line.get()).tmHeight - GdiCanvas::GetTextMetrics(line.get()).tmInternalLeading,
              12);
}

TEST_F(GdiCanvasTest, ResizeKeepsContentsAndRefusesWhatCannotBeMade)
{
    const auto image = GdiCanvas::CreateImage(4, 4);
    const auto line = GdiCanvas::CreateTextLine(image.get());
    GdiCanvas::SetColor(line.get(), 0, 0, 255);
    ASSERT_TRUE(GdiCanvas::FillRect(line.get(), 0, 0, 4, 4));
    EXPECT_TRUE(GdiCanvas::ResizeImage(image.get(), 4, 4, false)); // same size: nothing to do
    EXPECT_EQ(Pixels(image.get())[15], 0x000000FFu);
    ASSERT_TRUE(GdiCanvas::ResizeImage(image.get(), 6, 2, true));
    std::vector<uint32_t> pixels = Pixels(image.get());
    EXPECT_EQ(pixels[3], 0x000000FFu);
    EXPECT_EQ(pixels[4], 0u);
    EXPECT_EQ(pixels[6 + 3], 0x000000FFu);
    EXPECT_FALSE(GdiCanvas::ResizeImage(image.get(), 1 << 14, 1 << 14, true)); // 2^28 pixels: refused
    EXPECT_FALSE(GdiCanvas::ResizeImage(image.get(), 0, 3, true));
    EXPECT_EQ(image->GetWidth(), 6);
    ASSERT_TRUE(GdiCanvas::ResizeImage(image.get(), 3, 3, false));
    EXPECT_EQ(Pixels(image.get()), std::vector<uint32_t>(9, 0u));
}

TEST_F(GdiCanvasTest, ZeroSizesAndRowsPastTheEndReadNothingOutside)
{
    EXPECT_EQ(GdiCanvas::CreateImage(0, 5), nullptr);
    EXPECT_EQ(GdiCanvas::CreateImage(5, 0), nullptr);
    EXPECT_EQ(GdiCanvas::CreateImage(-1, 5), nullptr);
    GdiCanvas canvas;
    uint32_t buffer[64] = {};
    EXPECT_EQ(canvas.CopyImageTo(nullptr, buffer, 8, 8), 0);
    EXPECT_EQ(GdiCanvas::ReadRows(nullptr, 0, 1, buffer), 0);
    EXPECT_EQ(GdiCanvas::CreateTextLine(nullptr), nullptr);
    EXPECT_FALSE(GdiCanvas::TextOut(nullptr, 0, 0, "x"));
    EXPECT_FALSE(GdiCanvas::ResizeImage(nullptr, 1, 1, true));
    EXPECT_EQ(GdiCanvas::GetFontFlags(nullptr), 0u);

    const auto image = GdiCanvas::CreateImage(4, 3);
    const auto line = GdiCanvas::CreateTextLine(image.get());
    GdiCanvas::SetColor(line.get(), 1, 2, 3);
    GdiCanvas::FillRect(line.get(), 0, 2, 4, 3);
    std::vector<uint32_t> rows(4 * 8, 0xDEADBEEFu);
    EXPECT_EQ(GdiCanvas::ReadRows(image.get(), 1, 100, rows.data()), 2);
    EXPECT_EQ(rows[4], 0x00010203u);
    EXPECT_EQ(rows[8], 0xDEADBEEFu); // nothing written past the rows read
    EXPECT_EQ(GdiCanvas::ReadRows(image.get(), 3, 1, rows.data()), 0);
    EXPECT_EQ(GdiCanvas::ReadRows(image.get(), -1, 2, rows.data()), 0);

    // CopyImageTo bounds rows and columns both ways.
    std::vector<uint32_t> wide(8 * 2, 0xDEADBEEFu);
    EXPECT_EQ(canvas.CopyImageTo(image.get(), wide.data(), 8, 2), 2);
    EXPECT_EQ(wide[3], 0u);
    EXPECT_EQ(wide[4], 0xDEADBEEFu);
    std::vector<uint32_t> narrow(2 * 5, 0xDEADBEEFu);
    EXPECT_EQ(canvas.CopyImageTo(image.get(), narrow.data(), 2, 5), 3);
    EXPECT_EQ(narrow[4], 0x00010203u);
    EXPECT_EQ(narrow[6], 0xDEADBEEFu);
}

TEST_F(GdiCanvasTest, ThreadsDrawOnTwoImagesAndShareOne)
{
    SWworld world;
    GdiCanvas canvas(&world);
    const auto first = GdiCanvas::CreateImage(32, 16);
    const auto second = GdiCanvas::CreateImage(32, 16);
    const auto draw = [&](GdiCanvasImage* image, uint8_t shade) {
        const auto line = GdiCanvas::CreateTextLine(image);
        for (int i = 0; i < 50; ++i) {
            GdiCanvas::SetFont(line.get(), "Sans", static_cast<uint32_t>(i % 2) * 2, 8 + i % 3);
            GdiCanvas::SetColor(line.get(), shade, shade, shade);
            GdiCanvas::FillRect(line.get(), 0, 0, 32, 16);
            GdiCanvas::TextOut(line.get(), 1, 1, "text");
            std::vector<uint32_t> copy(32 * 16);
            canvas.CopyImageTo(image, copy.data(), 32, 16);
        }
    };
    std::thread a(draw, first.get(), 10);
    std::thread b(draw, second.get(), 20);
    std::thread c(draw, first.get(), 30);
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(Pixels(second.get())[0], 0x00141414u);
    const uint32_t corner = Pixels(first.get())[0];
    EXPECT_TRUE(corner == 0x000A0A0Au || corner == 0x001E1E1Eu) << std::hex << corner;
}

} // namespace
