#include "platform/base/assertion.h"
#include "platform/display/compositor.h"
#include "platform/display/screen.h"
#include "platform/display/screen_dc.h"
#include "platform/gfx/png_file.h"
#include "platform/gfx/surface_dc.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

namespace {

using pf::Rect;

class HeadlessScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_screen.reset();
        m_screen.setSize({64, 48});
        m_screen.setDesktopColor(pf::rgb(0, 0, 0x80));
    }
    void TearDown() override { m_screen.reset(); }

    // A window whose every pixel is `pixel`, alpha included.
    pf::TopLevelView window(pf::Hwnd hwnd, const Rect& rect, uint32_t pixel, bool visible = true)
    {
        auto surface =
            std::make_shared<pf::Surface32>(static_cast<int32_t>(rect.width()), static_cast<int32_t>(rect.height()));
        surface->fill(pixel);
        return {hwnd, rect, surface, visible};
    }

    pf::Screen m_screen;
};

TEST_F(HeadlessScreen, TopmostVisibleWindowWinsAndAlphaIsIgnored)
{
    m_screen.setTopLevels({window(3, {10, 10, 30, 30}, 0xFF00FF00u), // topmost
                           window(2, {20, 5, 50, 25}, 0x12FF0000u),
                           window(1, {0, 0, 64, 48}, 0x000000FFu, false)}); // hidden: absent
    const pf::Compositor compositor(m_screen);
    EXPECT_EQ(compositor.composePixel({15, 15}), 0x0000FF00u);
    EXPECT_EQ(compositor.composePixel({25, 20}), 0x0000FF00u) << "overlap goes to the topmost";
    EXPECT_EQ(compositor.composePixel({35, 20}), 0x00FF0000u);
    EXPECT_EQ(compositor.composePixel({2, 2}), 0x00000080u) << "desktop where no visible window is";
    EXPECT_EQ(compositor.composePixel({30, 10}), 0x00FF0000u) << "rectangles are half-open";
}

TEST_F(HeadlessScreen, ScreenDcXorsTheOverlayAndTwiceLeavesItClear)
{
    m_screen.setTopLevels({window(1, {0, 0, 32, 48}, 0x00102030u)});
    pf::ScreenDc dc(m_screen);
    dc.setROP2(pf::R2_XORPEN);
    dc.selectPen(pf::createPen(pf::PS_DOT, 1, pf::rgb(0xFF, 0x0F, 0x00)));
    dc.selectBrush(pf::Brush{pf::BS_NULL, 0});
    auto outline = [&] {
        dc.rectangle({5, 5, 40, 30});
        dc.moveTo({0, 47});
        dc.lineTo({63, 0});
        dc.drawFocusRect({2, 2, 60, 44});
    };
    outline();
    EXPECT_FALSE(m_screen.isOverlayClear());
    const pf::Compositor during(m_screen);
    EXPECT_EQ(during.composePixel({5, 5}), 0x00102030u ^ 0x00FF0F00u) << "shown = window XOR overlay";
    EXPECT_EQ(during.composePixel({36, 5}), 0x00000080u ^ 0x00FF0F00u) << "over the desktop, a dot of the top edge";
    outline();
    EXPECT_TRUE(m_screen.isOverlayClear());

    dc.setROP2(pf::R2_NOT);
    dc.moveTo({1, 1});
    dc.lineTo({3, 1});
    EXPECT_EQ(pf::Compositor(m_screen).composePixel({1, 1}), 0x00102030u ^ 0x00FFFFFFu) << "R2_NOT inverts";
    dc.patBlt({1, 1, 3, 2}, pf::DSTINVERT);
    EXPECT_TRUE(m_screen.isOverlayClear());
}

// The backend asks at every present, so "clear" is remembered; a drawer that came and went since must still be seen.
TEST_F(HeadlessScreen, AnOutlineLeftByAGoneDcIsSeenAfterTheOverlayWasReadClear)
{
    ASSERT_TRUE(m_screen.isOverlayClear());
    ASSERT_TRUE(m_screen.isOverlayClear());
    {
        pf::ScreenDc dc(m_screen);
        dc.patBlt({4, 4, 9, 9}, pf::DSTINVERT);
    }
    EXPECT_FALSE(m_screen.isOverlayClear());
    pf::ScreenDc(m_screen).patBlt({4, 4, 9, 9}, pf::DSTINVERT);
    EXPECT_TRUE(m_screen.isOverlayClear());
}

int g_refused = 0;
void countRefusal(const pf::AssertionInfo&)
{
    ++g_refused;
}

TEST_F(HeadlessScreen, ScreenDcRefusesOperationsThatAreNotSelfInverse)
{
    const pf::AssertHandler previous = pf::setAssertHandler(countRefusal);
    pf::ScreenDc dc(m_screen);
    g_refused = 0;
    EXPECT_FALSE(dc.lineTo({10, 10})) << "R2_COPYPEN";
    EXPECT_FALSE(dc.fillRect({0, 0, 10, 10}, pf::createSolidBrush(pf::rgb(255, 255, 255))));
    EXPECT_FALSE(dc.patBlt({0, 0, 10, 10}, pf::PATCOPY));
    EXPECT_FALSE(dc.textOut(0, 0, "no"));
    pf::setAssertHandler(previous);
    EXPECT_EQ(g_refused, 4);
    EXPECT_TRUE(m_screen.isOverlayClear());
}

TEST_F(HeadlessScreen, PngReadBackEqualsTheComposedScreen)
{
    m_screen.setTopLevels({window(1, {8, 4, 40, 30}, 0x00C0C0C0u), window(2, {20, 20, 70, 60}, 0x80336699u)});
    pf::SurfaceDc painter(m_screen.topLevels()[0].surface);
    painter.setTextColor(pf::rgb(0, 0, 0));
    painter.setBkMode(pf::TRANSPARENT);
    painter.textOut(2, 2, "Vortan");
    pf::ScreenDc dc(m_screen);
    dc.setROP2(pf::R2_XORPEN);
    dc.selectPen(pf::createPen(pf::PS_SOLID, 3, pf::rgb(0, 255, 255)));
    dc.moveTo({0, 0});
    dc.lineTo({63, 47});

    const std::string path =
        (std::filesystem::temp_directory_path() / ("pf_display_screen_test_" + std::to_string(::getpid()) + ".png"))
            .string();
    ASSERT_TRUE(m_screen.writePng(path));
    std::string error;
    const std::optional<pf::PngImage> png = pf::readPngFile(path, {}, error);
    std::filesystem::remove(path);
    ASSERT_TRUE(png) << error;
    ASSERT_EQ(png->width, 64);
    ASSERT_EQ(png->height, 48);
    const std::vector<uint8_t>& rgb = png->bytes;
    const pf::Compositor compositor(m_screen);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const uint32_t expected = compositor.composePixel({x, y});
            const uint8_t* p = &rgb[static_cast<size_t>((y * 64 + x) * 3)];
            ASSERT_EQ(pf::makePixel(p[0], p[1], p[2]), expected) << x << "," << y;
        }
}

TEST_F(HeadlessScreen, PngToAnUnwritablePlaceFailsCleanly)
{
    EXPECT_FALSE(m_screen.writePng("/nonexistent-directory/for/sure/screen.png"));
    const std::string emptyPath =
        (std::filesystem::temp_directory_path() / ("pf_empty_" + std::to_string(::getpid()) + ".png")).string();
    pf::Surface32 empty(0, 0);
    std::string error;
    EXPECT_FALSE(pf::writePngFile(emptyPath, empty, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(emptyPath));
}

TEST_F(HeadlessScreen, PresentingPaintingAndComposingRunTogether)
{
    // The render thread presents frames into a window while the interface thread paints a band of it and the
    // compositor reads it; every call locks the surface, so each composed pixel is one writer's whole pixel.
    pf::TopLevelView view = window(1, {0, 0, 64, 48}, 0);
    m_screen.setTopLevels({view});
    std::atomic<bool> stop{false};
    std::thread render([&] {
        pf::SurfaceDc dc(view.surface, {0, 0}, pf::Region(Rect{0, 0, 64, 48}));
        std::vector<uint8_t> frame(64 * 48 * 4);
        pf::BitmapInfo info;
        info.bmiHeader.biWidth = 64;
        info.bmiHeader.biHeight = -48;
        info.bmiHeader.biBitCount = 32;
        for (uint8_t shade = 0; !stop; ++shade) {
            for (size_t i = 0; i < frame.size(); i += 4)
                frame[i] = frame[i + 1] = frame[i + 2] = shade;
            dc.setDIBitsToDevice(0, 0, 64, 48, 0, 0, 0, 48, frame, info, pf::DIB_RGB_COLORS);
        }
    });
    std::thread paint([&] {
        pf::SurfaceDc dc(view.surface);
        for (int i = 0; !stop; ++i)
            dc.fillRect({0, 40, 64, 48}, pf::createSolidBrush(pf::rgb(255, static_cast<uint8_t>(i), 0)));
    });
    pf::Surface32 composed(64, 48);
    for (int i = 0; i < 200; ++i) {
        pf::Compositor(m_screen).composeRect({0, 0, 64, 48}, composed);
        const uint32_t p = composed.pixel(10, 10);
        ASSERT_EQ(pf::pixelRed(p), pf::pixelBlue(p)) << "a grey frame pixel, never half of one";
    }
    stop = true;
    render.join();
    paint.join();
}

} // namespace

namespace {

TEST_F(HeadlessScreen, WorkAreaIsClippedToTheScreenAndANewSizeRestoresIt)
{
    EXPECT_EQ(m_screen.workArea(), m_screen.bounds());
    m_screen.setWorkArea({0, 8, 100, 40}); // a panel on top, a claim past the right edge
    EXPECT_EQ(m_screen.workArea(), (Rect{0, 8, 64, 40}));
    m_screen.setWorkArea({200, 0, 300, 10}); // off the screen: the whole screen again
    EXPECT_EQ(m_screen.workArea(), m_screen.bounds());
    m_screen.setWorkArea({0, 0, 64, 40});
    m_screen.setSize({32, 24});
    EXPECT_EQ(m_screen.workArea(), (Rect{0, 0, 32, 24}));
}

} // namespace
