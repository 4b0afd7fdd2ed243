#include "render/present/window_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "platform/base/user_constants.h"
#include "platform/ddraw/direct_draw.h"
#include "platform/display/screen.h"
#include "platform/gfx/dib.h"
#include "platform/gfx/display_mode.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"
#include "render/format_record.h"
#include "render/mesh/clipper.h"
#include "render/render_camera.h"
#include "render/render_surface.h"
#include "render/software/pixel_buffer.h"
#include "testsupport/render/queued_triangle.h"

namespace {

constexpr int kOrdered[4][4] = {{39, 18, 34, 13}, {7, 28, 2, 23}, {31, 10, 36, 15}, {0, 21, 5, 26}};

// The DIB row the device should have drawn, made independently: cube indices, 5-5-5 dithered, or plain bytes.
void ReferenceDibRow(const uint32_t* pixels, int32_t width, int depth, int32_t row, std::vector<uint8_t>& out)
{
    out.assign(static_cast<size_t>((width * depth / 8 + 3) & ~3), 0);
    for (int32_t x = 0; x < width; ++x) {
        const uint32_t p = pixels[x];
        const uint32_t channels[3] = {p >> 16 & 255, p >> 8 & 255, p & 255};
        if (depth == 8) {
            int index = 0;
            for (uint32_t c : channels)
                index = index * 6 + ((214 * static_cast<int>(c) / 255 + kOrdered[row & 3][x & 3]) & 255) * 6 / 256;
            out[x] = static_cast<uint8_t>(index);
        } else if (depth == 16) {
            const int offsets[4] = {6, 2, 0, 4};
            const int o = offsets[(row & 1) * 2 + (x & 1)];
            uint32_t value = 0;
            for (uint32_t c : channels)
                value = value << 5 | (((c * 248 / 255 + o) & 255) >> 3);
            out[2 * x] = static_cast<uint8_t>(value);
            out[2 * x + 1] = static_cast<uint8_t>(value >> 8);
        } else {
            std::memcpy(&out[static_cast<size_t>(x) * (depth / 8)], &p, static_cast<size_t>(depth / 8));
        }
    }
}

class WindowDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        pf::screen().reset();
        m_ui = std::make_unique<pf::Ui>();
    }
    void TearDown() override
    {
        device.reset();
        m_ui.reset();
        pf::setDirectDrawFaults({});
        pf::unregisterDirectDrawStandIn();
        pf::displayMode().reset();
        pf::screen().reset();
    }
    // A device with a software surface in a visible top-level window of the asked client size.
    void Make(int32_t width, int32_t height, pf::Rect where = {})
    {
        if (where.isEmpty())
            where = pf::Rect::fromXywh(40, 30, width, height);
        window = m_ui->createWindow({"window", "", pf::WS_POPUP | pf::WS_VISIBLE, 0, where});
        ASSERT_NE(window, nullptr);
        m_ui->pump();
        device = std::make_unique<SWwindowdevice>();
        auto surface = std::make_unique<SWrendersurface>();
        ASSERT_TRUE(surface->Init());
        device->AttachSurface(std::move(surface));
        ASSERT_TRUE(device->SetWindow(window->hwnd()));
        ASSERT_TRUE(device->SetSize(static_cast<uint32_t>(width), static_cast<uint32_t>(height)));
    }
    SWpixelbuffer& Frame() { return *static_cast<SWrendersurface*>(device->GetSurface())->GetCurrentBuffer(); }
    void Fill(uint32_t seed)
    {
        std::mt19937 random(seed);
        SWpixelbuffer& frame = Frame();
        for (int32_t y = 0; y < frame.Height(); ++y) {
            for (int32_t x = 0; x < frame.Width(); ++x)
                frame.Row(y)[x] = random() & 0xFFFFFF;
            frame.CurrentMask(y) = ~0u;
        }
    }
    // The client pixels against the reference DIB passed through the platform's own conversion and depth.
    void ExpectShown(int depth)
    {
        SWpixelbuffer& frame = Frame();
        const auto surface = m_ui->surfaceOf(*window);
        pf::BitmapInfoHeader header;
        header.biWidth = frame.Width();
        header.biHeight = -1;
        header.biBitCount = static_cast<uint16_t>(depth);
        const auto layout = pf::dibLayoutOf(header);
        ASSERT_TRUE(layout.has_value());
        std::vector<pf::RgbQuad> cube(216);
        for (int i = 0; i < 216; ++i)
            cube[i] = {static_cast<uint8_t>(i % 6 * 51), static_cast<uint8_t>(i / 6 % 6 * 51),
                       static_cast<uint8_t>(i / 36 * 51), 0};
        std::vector<uint8_t> row;
        std::vector<uint32_t> expected(static_cast<size_t>(frame.Width()));
        const pf::Point origin = window->clientToScreen({0, 0});
        const pf::Point windowOrigin = {window->windowRect().l, window->windowRect().t};
        for (int32_t y = 0; y < frame.Height(); ++y) {
            ReferenceDibRow(frame.Row(y), frame.Width(), depth, y, row);
            pf::convertDibRow(*layout, row.data(), 0, expected.size(), cube, expected.data());
            for (int32_t x = 0; x < frame.Width(); ++x) {
                const uint32_t shown = surface->pixel(x + origin.x - windowOrigin.x, y + origin.y - windowOrigin.y);
                ASSERT_EQ(shown & 0xFFFFFF, pf::displayMode().emulate(expected[x]))
                    << "depth " << depth << " at " << x << "," << y;
            }
        }
    }

    std::unique_ptr<pf::Ui> m_ui;
    pf::Window* window = nullptr;
    std::unique_ptr<SWwindowdevice> device;
};

} // namespace

// Every display depth through bitmaps of 32-row bands, on frames whose last band is short; at 8 bits the picture
// keeps the cube's colours once the device's palette is realized, even though the palette was mapped before.
TEST_F(WindowDeviceTest, GdiShowsTheFrameAtEveryDepth)
{
    for (int depth : {8, 16, 24, 32}) {
        for (bool five55 : {false, true}) {
            if (five55 && depth != 16)
                continue;
            pf::screen().reset();
            ASSERT_TRUE(pf::screen().setDepth(depth));
            pf::displayMode().setSixteenBitLayout(five55 ? pf::SixteenBitLayout::kRgb555
                                                         : pf::SixteenBitLayout::kRgb565);
            Make(70, 100);
            if (depth == 8) {
                ASSERT_TRUE(device->RealizePalette(nullptr));
                device->SetGdiMode(true);
            }
            Fill(static_cast<uint32_t>(depth));
            ASSERT_TRUE(device->Present());
            EXPECT_FALSE(device->LastPresent().directDraw);
            EXPECT_EQ(device->LastPresent().bands, 4u);
            EXPECT_EQ(device->LastPresent().pixels, 7000u);
            ExpectShown(depth);
            if (HasFailure())
                return;
        }
    }
}

TEST_F(WindowDeviceTest, OnlyBandsWithDirtyBlocksAreDrawn)
{
    Make(256, 128);
    Fill(3);
    SWpixelbuffer& frame = Frame();
    for (int32_t y = 0; y < frame.Height(); ++y)
        frame.CurrentMask(y) = frame.PreviousMask(y) = y >= 40 && y < 46 ? 0b100 : 0;
    ASSERT_TRUE(device->Present());
    EXPECT_EQ(device->LastPresent().bands, 1u);
    EXPECT_EQ(device->LastPresent().pixels, 6u << frame.BlockShift());
    pf::Rect dirty;
    ASSERT_TRUE(device->GetDirtyRect(32, 63, dirty));
    EXPECT_EQ(dirty.t, 40);
    EXPECT_EQ(dirty.b, 46);
    EXPECT_EQ(dirty.l, 2 << frame.BlockShift());
    EXPECT_FALSE(device->GetDirtyRect(0, 31, dirty));
}

// One band buffer serves every band: after a full frame it holds the last band's rows, and a later frame whose
// dirty blocks are scattered must not draw those rows over the blocks between them.
TEST_F(WindowDeviceTest, BlocksBetweenDirtyOnesKeepWhatTheyShow)
{
    Make(256, 64);
    Fill(5);
    ASSERT_TRUE(device->Present());
    SWpixelbuffer& frame = Frame();
    for (int32_t y = 0; y < frame.Height(); ++y)
        frame.CurrentMask(y) = frame.PreviousMask(y) = y == 3 ? 0b1u : y == 9 ? 0b1000u : 0u;
    ASSERT_TRUE(device->Present());
    EXPECT_EQ(device->LastPresent().bands, 1u);
    ExpectShown(32);
}

namespace {

// A small triangle, clockwise on the screen, at depth 0.5 and `dx` across, queued and clipped in one colour.
void QueueSmallTriangle(SWrendersurface& surface, float dx, uint32_t colour)
{
    const float corners[3][2] = {{dx, 0.05f}, {dx + 0.04f, -0.03f}, {dx - 0.04f, -0.03f}};
    QueueFlatTriangle(surface, corners, colour);
}

} // namespace

// A small triangle moving over a large still background: after the first frame only the bands under its blocks
// of this frame and the last are drawn, about its own pixels are converted, and the window shows the frame.
TEST_F(WindowDeviceTest, SmallMovingTriangleConvertsAboutItsOwnBlocks)
{
    Make(320, 256);
    SWrendercamera camera;
    ASSERT_TRUE(device->SetCamera(&camera));
    auto& surface = *static_cast<SWrendersurface*>(device->GetSurface());
    for (int frame = 0; frame < 6; ++frame) {
        SCOPED_TRACE(frame);
        ASSERT_TRUE(device->RefreshBuffers());
        ASSERT_TRUE(device->BeginFrame());
        float matrix[16];
        ASSERT_TRUE(surface.GetViewMatrix(matrix));
        QueueSmallTriangle(surface, -0.2f + 0.05f * static_cast<float>(frame), 0x00FF8040u);
        ASSERT_TRUE(device->EndFrame());
        ASSERT_TRUE(device->Present());
        int drawn = 0;
        for (int32_t y = 0; y < 256; ++y)
            for (int32_t x = 0; x < 320; ++x)
                drawn += Frame().Row(y)[x] == 0x00FF8040u ? 1 : 0;
        ASSERT_GT(drawn, 50);
        ExpectShown(32);
        if (frame == 0)
            continue;
        EXPECT_LE(device->LastPresent().bands, 2u);
        EXPECT_GE(device->LastPresent().pixels, static_cast<uint64_t>(drawn));
        EXPECT_LT(device->LastPresent().pixels, static_cast<uint64_t>(drawn) * 12);
    }
}

TEST_F(WindowDeviceTest, DirectDrawPresentsThroughThePrimaryAndFallsBackToGdi)
{
    pf::registerDirectDrawStandIn();
    ASSERT_TRUE(pf::screen().setDepth(32));
    Make(64, 80);
    ASSERT_TRUE(device->HasPrimarySurface());
    Fill(9);
    ASSERT_TRUE(device->Present());
    EXPECT_TRUE(device->LastPresent().directDraw);
    ExpectShown(32);

    pf::loseDirectDrawSurfaces(); // a lost surface skips the frame until SetSize restores it
    EXPECT_FALSE(device->BeginFrame());
    EXPECT_TRUE(device->SetSize(64, 80));
    EXPECT_TRUE(device->HasPrimarySurface());

    // No primary surface: the frame still reaches the window, through bitmaps.
    device.reset();
    pf::setDirectDrawFaults({.failCreateSurface = true});
    Make(64, 80, pf::Rect::fromXywh(200, 200, 64, 80));
    EXPECT_FALSE(device->HasPrimarySurface());
    EXPECT_FALSE(device->IsGdiMode());
    Fill(10);
    ASSERT_TRUE(device->Present());
    EXPECT_FALSE(device->LastPresent().directDraw);
    ExpectShown(32);
}

// A window partly off the screen and partly under another: the primary surface's memory outside the screen is never
// written (ASan watches) and the covering window keeps its pixels.
TEST_F(WindowDeviceTest, DirectDrawWritesOnlyTheVisibleClientArea)
{
    pf::registerDirectDrawStandIn();
    pf::screen().setSize({300, 200});
    Make(120, 90, pf::Rect::fromXywh(240, 150, 120, 90));
    pf::Window* cover =
        m_ui->createWindow({"window", "", pf::WS_POPUP | pf::WS_VISIBLE, 0, pf::Rect::fromXywh(230, 140, 30, 30)});
    ASSERT_NE(cover, nullptr);
    m_ui->pump();
    const auto coverSurface = m_ui->surfaceOf(*cover);
    const std::vector<uint32_t> before(coverSurface->row(0), coverSurface->row(0) + 30);
    Fill(4);
    ASSERT_TRUE(device->Present());
    EXPECT_TRUE(device->LastPresent().directDraw);
    EXPECT_LT(device->LastPresent().pixels, 120u * 90u);
    EXPECT_EQ(std::vector<uint32_t>(coverSurface->row(0), coverSurface->row(0) + 30), before);
}

// In interlaced mode the frame holds the even field's rows above the odd field's; the window shows them woven back
// into screen order, across band boundaries, at 32 bits as at 8.
TEST_F(WindowDeviceTest, InterlacedFramesShowTheirRowsInScreenOrder)
{
    for (int depth : {32, 8}) {
        pf::screen().reset();
        ASSERT_TRUE(pf::screen().setDepth(depth));
        Make(40, 100);
        ASSERT_TRUE(device->SetRenderMode(1));
        if (depth == 8) {
            ASSERT_TRUE(device->RealizePalette(nullptr));
            device->SetGdiMode(true);
        }
        SWpixelbuffer& frame = Frame();
        ASSERT_EQ(frame.Height(), 100);
        for (int32_t y = 0; y < 100; ++y) {
            for (int32_t x = 0; x < 40; ++x)
                frame.Row(y)[x] = y < 50 ? 0xFFFFFFu : 0u; // the even field white, the odd one black
            frame.CurrentMask(y) = ~0u;
        }
        ASSERT_TRUE(device->Present());
        const auto surface = m_ui->surfaceOf(*window);
        const pf::Point origin = window->clientToScreen({0, 0});
        const pf::Point at = {origin.x - window->windowRect().l, origin.y - window->windowRect().t};
        for (int32_t y = 0; y < 100; ++y)
            for (int32_t x = 0; x < 40; x += 13)
                ASSERT_EQ(surface->pixel(at.x + x, at.y + y) & 0xFFFFFF, y % 2 == 0 ? 0xFFFFFFu : 0u)
                    << "depth " << depth << " row " << y << " column " << x;
        device.reset();
        window->destroy();
    }
}

TEST_F(WindowDeviceTest, DestroyedWindowPresentsNothing)
{
    Make(32, 32);
    Fill(1);
    window->destroy();
    EXPECT_FALSE(device->Present());
    EXPECT_EQ(device->LastPresent().pixels, 0u);
}

// Ten accumulated frames, then antialiasing off: the step starts again and the next Present redraws everything once.
TEST_F(WindowDeviceTest, AntialiasingOffResetsAndInvalidatesOnce)
{
    Make(48, 40);
    ASSERT_TRUE(device->SetAntialiasing(true));
    for (int frame = 0; frame < 10; ++frame) {
        Fill(5);
        ASSERT_TRUE(device->Present());
    }
    EXPECT_EQ(device->Accumulator().GetStep(), 10);
    EXPECT_FALSE(device->IsAntialiasingDone());
    ASSERT_TRUE(device->SetAntialiasing(false));
    EXPECT_EQ(device->Accumulator().GetStep(), 0);
    device->RefreshBuffers(); // clears the redraw flags the accumulating frames left
    ASSERT_FALSE(Frame().IsRedrawAll());
    ASSERT_TRUE(device->Present());
    EXPECT_TRUE(Frame().IsRedrawAll());
    device->RefreshBuffers();
    ASSERT_TRUE(device->Present());
    EXPECT_FALSE(Frame().IsRedrawAll());
}

// A still view refined to its end, then its content changes (a texture edited, say) and the world asks for a full
// redraw: the next frames show the new content, not the mean of the frames drawn before the change.
TEST_F(WindowDeviceTest, InvalidateStartsTheRefinementAgainFromTheNewContent)
{
    Make(48, 40);
    ASSERT_TRUE(device->SetAntialiasing(true));
    const auto fillWith = [&](uint32_t colour) {
        SWpixelbuffer& frame = Frame();
        for (int32_t y = 0; y < frame.Height(); ++y) {
            std::fill(frame.Row(y), frame.Row(y) + frame.Width(), colour);
            frame.CurrentMask(y) = ~0u;
        }
    };
    for (int frame = 0; frame < SWaccumulator::kLastStep + 3; ++frame) {
        fillWith(0x204060);
        ASSERT_TRUE(device->Present());
    }
    ASSERT_TRUE(device->IsAntialiasingDone());
    ASSERT_TRUE(device->Invalidate());
    EXPECT_FALSE(device->IsAntialiasingDone());
    for (int frame = 0; frame < 4; ++frame) {
        fillWith(0xC08020);
        ASSERT_TRUE(device->Present());
        for (int32_t y = 0; y < Frame().Height(); y += 13)
            for (int32_t x = 0; x < Frame().Width(); x += 7)
                ASSERT_EQ(Frame().Row(y)[x] & 0xFFFFFF, 0xC08020u) << "frame " << frame << " at " << x << "," << y;
    }
}

// The render thread runs frames while the window's thread resizes and refreshes the palette, each holding the one
// lock that stands for the world's; the sanitizers watch the shared state.
TEST_F(WindowDeviceTest, FramesAndWindowChangesShareTheWorldLock)
{
    Make(96, 64);
    std::recursive_mutex worldLock;
    std::atomic<bool> stop{false};
    std::thread render([&] {
        for (int frame = 0; frame < 60; ++frame) {
            std::lock_guard<std::recursive_mutex> hold(worldLock);
            device->RefreshBuffers();
            if (device->BeginFrame()) {
                device->EndFrame();
                device->Present();
            }
        }
        stop = true;
    });
    uint32_t width = 96;
    while (!stop) {
        std::lock_guard<std::recursive_mutex> hold(worldLock);
        width = width == 96 ? 80 : 96;
        EXPECT_TRUE(device->SetSize(width, 64));
        device->RefreshPalette();
    }
    render.join();
    EXPECT_TRUE(device->SetSize(96, 64));
    Fill(2);
    ASSERT_TRUE(device->Present());
    ExpectShown(32);
}
