#include "canvas_fixture.h"

#include "platform/base/result.h"
#include "platform/gfx/display_mode.h"
#include "platform/gfx/memory_dc.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using pf::BitmapInfo;
using pf::BitmapInfoHeader;
using pf::RgbQuad;
using pf::testing::CanvasBuffer;

class DisplayDepth : public ::testing::Test {
protected:
    void TearDown() override { pf::displayMode().reset(); }
};

// A DIB written the long way: a picture of rows from the top, stored bottom-up or top-down.
struct TestDib {
    int width = 0;
    int height = 0;
    int bits = 32;
    bool topDown = false;
    std::vector<std::vector<uint32_t>> picture; // [row from the top][column] = 0x00RRGGBB, or palette index
    std::vector<RgbQuad> colors;
    uint32_t colorsUsed = 0;

    size_t stride() const { return ((static_cast<size_t>(width) * bits + 31) / 32) * 4; }

    std::vector<uint8_t> storedRows() const
    {
        std::vector<uint8_t> out(stride() * static_cast<size_t>(height), 0xEE); // padding bytes are garbage
        for (int memoryRow = 0; memoryRow < height; ++memoryRow) {
            const int pictureRow = topDown ? memoryRow : height - 1 - memoryRow;
            uint8_t* row = out.data() + stride() * static_cast<size_t>(memoryRow);
            for (int x = 0; x < width; ++x) {
                const uint32_t v = picture[static_cast<size_t>(pictureRow)][static_cast<size_t>(x)];
                switch (bits) {
                case 8:
                    row[x] = static_cast<uint8_t>(v);
                    break;
                case 16: {
                    const uint32_t packed = ((v >> 19 & 31) << 10) | ((v >> 11 & 31) << 5) | (v >> 3 & 31);
                    row[2 * x] = static_cast<uint8_t>(packed);
                    row[2 * x + 1] = static_cast<uint8_t>(packed >> 8);
                    break;
                }
                case 24:
                    row[3 * x] = static_cast<uint8_t>(v);
                    row[3 * x + 1] = static_cast<uint8_t>(v >> 8);
                    row[3 * x + 2] = static_cast<uint8_t>(v >> 16);
                    break;
                default:
                    row[4 * x] = static_cast<uint8_t>(v);
                    row[4 * x + 1] = static_cast<uint8_t>(v >> 8);
                    row[4 * x + 2] = static_cast<uint8_t>(v >> 16);
                    row[4 * x + 3] = 0x5A; // the unused byte must not leak into the pixel
                    break;
                }
            }
        }
        return out;
    }

    BitmapInfo info() const
    {
        BitmapInfo out;
        out.bmiHeader.biWidth = width;
        out.bmiHeader.biHeight = topDown ? -height : height;
        out.bmiHeader.biBitCount = static_cast<uint16_t>(bits);
        out.bmiHeader.biClrUsed = colorsUsed;
        out.bmiColors = colors;
        return out;
    }

    // The colour the picture shows at (row from the top, column), as the display will receive it.
    uint32_t shown(int row, int column) const
    {
        const uint32_t v = picture[static_cast<size_t>(row)][static_cast<size_t>(column)];
        if (bits != 8)
            return v;
        const size_t usable = std::min<size_t>(colors.size(), colorsUsed == 0 ? 256 : colorsUsed);
        if (v >= usable)
            return 0;
        return pf::makePixel(colors[v].rgbRed, colors[v].rgbGreen, colors[v].rgbBlue);
    }
};

TestDib randomDib(std::mt19937& random)
{
    TestDib dib;
    const int widths[] = {1, 2, 3, 5, 7, 13};
    const int depths[] = {8, 16, 24, 32};
    dib.width = widths[random() % 6];
    dib.height = 1 + static_cast<int>(random() % 9);
    dib.bits = depths[random() % 4];
    dib.topDown = random() % 2 == 0;
    if (dib.bits == 8) {
        dib.colors.resize(random() % 40);
        for (RgbQuad& q : dib.colors)
            q = {static_cast<uint8_t>(random()), static_cast<uint8_t>(random()), static_cast<uint8_t>(random()), 0};
        dib.colorsUsed = random() % 3 == 0 ? 0 : static_cast<uint32_t>(random() % 48);
    }
    dib.picture.assign(static_cast<size_t>(dib.height), std::vector<uint32_t>(static_cast<size_t>(dib.width)));
    for (auto& row : dib.picture)
        for (uint32_t& v : row)
            v = dib.bits == 8 ? random() % 48 : random() & 0x00FFFFFFu;
    return dib;
}

// 16-bit sources keep five bits a channel: compare those.
uint32_t significant(uint32_t pixel, int bits)
{
    return bits == 16 ? pixel & 0x00F8F8F8u : pixel;
}

TEST_F(DisplayDepth, SetDIBitsMatchesAPlainReferenceOverDepthsOrientationsAndClipping)
{
    std::mt19937 random(11);
    int reached = 0; // destination pixels the DIB should have reached, over all trials
    for (int trial = 0; trial < 1500; ++trial) {
        SCOPED_TRACE(trial);
        const TestDib dib = randomDib(random);
        const std::vector<uint8_t> stored = dib.storedRows();
        std::uniform_int_distribution<int> small(-3, 12);
        const int xDest = small(random);
        const int yDest = small(random);
        // Half the cases draw the whole DIB, as a presentation path does; the others pick every part at random.
        const bool whole = trial % 2 == 0;
        const uint32_t w = whole ? static_cast<uint32_t>(dib.width) : static_cast<uint32_t>(random() % 16);
        const uint32_t h = whole ? static_cast<uint32_t>(dib.height) : static_cast<uint32_t>(random() % 12);
        const int xSrc = whole ? 0 : static_cast<int>(random() % 6) - 2;
        const int ySrc = whole ? 0 : static_cast<int>(random() % 6) - 2;
        const uint32_t startScan = whole ? 0 : static_cast<uint32_t>(random() % (dib.height + 1));
        const uint32_t lines =
            whole ? static_cast<uint32_t>(dib.height) : static_cast<uint32_t>(random() % (dib.height + 2));
        const size_t supplied = std::min<size_t>(lines, dib.height - std::min<size_t>(startScan, dib.height));

        CanvasBuffer canvas(16, 14);
        canvas.fillPattern(static_cast<uint32_t>(trial));
        const std::vector<uint32_t> before = canvas.pixels();
        pf::SurfaceDc dc(canvas.surface());
        const bool clipped = trial % 3 == 0;
        if (clipped)
            dc.intersectClipRect({2, 1, 11, 9});
        const std::span<const uint8_t> bits(stored.data() + dib.stride() * startScan, dib.stride() * supplied);
        const int32_t drawn = dc.setDIBitsToDevice(xDest, yDest, w, h, xSrc, ySrc, startScan, lines, bits, dib.info(),
                                                   pf::DIB_RGB_COLORS);
        ASSERT_EQ(drawn, static_cast<int32_t>(startScan < static_cast<uint32_t>(dib.height) ? supplied : 0));

        for (int y = 0; y < 14; ++y) {
            for (int x = 0; x < 16; ++x) {
                uint32_t expected = before[static_cast<size_t>(y * 16 + x)];
                const int i = x - xDest;
                const int j = y - yDest;
                // The source rectangle's origin is its lower-left corner for bottom-up DIBs, upper-left otherwise.
                const int pictureRow = dib.topDown ? ySrc + j : dib.height - ySrc - static_cast<int>(h) + j;
                const int column = xSrc + i;
                const int memoryRow = dib.topDown ? pictureRow : dib.height - 1 - pictureRow;
                const bool inDest = i >= 0 && j >= 0 && i < static_cast<int>(w) && j < static_cast<int>(h);
                const bool inSource = pictureRow >= 0 && pictureRow < dib.height && column >= 0 && column < dib.width;
                const bool suppliedRow =
                    memoryRow >= static_cast<int>(startScan) && memoryRow < static_cast<int>(startScan + supplied);
                const bool inClip = !clipped || (x >= 2 && x < 11 && y >= 1 && y < 9);
                if (inDest && inSource && suppliedRow && inClip) {
                    expected = dib.shown(pictureRow, column);
                    ++reached;
                }
                ASSERT_EQ(significant(canvas.surface()->pixel(x, y), dib.bits), significant(expected, dib.bits))
                    << x << "," << y << " bits " << dib.bits << (dib.topDown ? " top-down" : " bottom-up");
            }
        }
        ASSERT_TRUE(canvas.canaryIntact());
    }
    EXPECT_GT(reached, 10000) << "the cases must mostly draw something";
}

TEST_F(DisplayDepth, SixteenBitSourcesReachFullIntensityAndBlack)
{
    const uint8_t row[4] = {0xFF, 0x7F, 0x00, 0x00}; // 0x7FFF white, then black
    BitmapInfo info;
    info.bmiHeader.biWidth = 2;
    info.bmiHeader.biHeight = 1;
    info.bmiHeader.biBitCount = 16;
    CanvasBuffer canvas(2, 1);
    pf::SurfaceDc dc(canvas.surface());
    EXPECT_EQ(dc.setDIBitsToDevice(0, 0, 2, 1, 0, 0, 0, 1, row, info, pf::DIB_RGB_COLORS), 1);
    EXPECT_EQ(canvas.surface()->pixel(0, 0), 0x00FFFFFFu);
    EXPECT_EQ(canvas.surface()->pixel(1, 0), 0u);
}

TEST_F(DisplayDepth, BadCallsDrawNothingAndSetLastError)
{
    const std::vector<uint8_t> rows(64, 0x80);
    auto header = [] {
        BitmapInfoHeader h;
        h.biWidth = 4;
        h.biHeight = 4;
        h.biBitCount = 32;
        return h;
    };
    struct Case {
        const char* name;
        BitmapInfoHeader header;
        uint32_t colorUse;
        size_t bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"valid", header(), pf::DIB_RGB_COLORS, 64});
    BitmapInfoHeader h = header();
    h.biBitCount = 4;
    cases.push_back({"4-bit", h, pf::DIB_RGB_COLORS, 64});
    h = header();
    h.biCompression = 3;
    cases.push_back({"bit fields", h, pf::DIB_RGB_COLORS, 64});
    h = header();
    h.biPlanes = 2;
    cases.push_back({"two planes", h, pf::DIB_RGB_COLORS, 64});
    h = header();
    h.biWidth = -4;
    cases.push_back({"negative width", h, pf::DIB_RGB_COLORS, 64});
    h = header();
    h.biHeight = 0;
    cases.push_back({"no rows", h, pf::DIB_RGB_COLORS, 64});
    h = header();
    h.biSize = 12;
    cases.push_back({"short header", h, pf::DIB_RGB_COLORS, 64});
    h = header();
    h.biWidth = INT32_MAX;
    cases.push_back({"huge width", h, pf::DIB_RGB_COLORS, 64});
    cases.push_back({"palette indices", header(), pf::DIB_PAL_COLORS, 64});
    cases.push_back({"one byte short", header(), pf::DIB_RGB_COLORS, 63});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CanvasBuffer canvas(8, 8);
        pf::SurfaceDc dc(canvas.surface());
        BitmapInfo info;
        info.bmiHeader = c.header;
        pf::setLastError(pf::ERROR_SUCCESS);
        const int32_t drawn = dc.setDIBitsToDevice(0, 0, 4, 4, 0, 0, 0, 4,
                                                   std::span<const uint8_t>(rows.data(), c.bytes), info, c.colorUse);
        const bool valid = std::string(c.name) == "valid";
        EXPECT_EQ(drawn, valid ? 4 : 0);
        EXPECT_EQ(pf::lastError(), valid ? pf::ERROR_SUCCESS : pf::ERROR_INVALID_PARAMETER);
        EXPECT_EQ(canvas.surface()->pixel(0, 0), valid ? 0x00808080u : 0u);
    }
    pf::SurfaceDc noSurface(nullptr);
    BitmapInfo info;
    info.bmiHeader = header();
    EXPECT_EQ(noSurface.setDIBitsToDevice(0, 0, 4, 4, 0, 0, 0, 4, rows, info, pf::DIB_RGB_COLORS), 0);
    EXPECT_EQ(pf::lastError(), pf::ERROR_INVALID_HANDLE);
}

TEST_F(DisplayDepth, SixteenBitDisplayKeepsTheTopBitsOfEachChannel)
{
    for (const pf::SixteenBitLayout layout : {pf::SixteenBitLayout::kRgb565, pf::SixteenBitLayout::kRgb555}) {
        pf::displayMode().setDepth(16);
        pf::displayMode().setSixteenBitLayout(layout);
        const int greenBits = layout == pf::SixteenBitLayout::kRgb565 ? 6 : 5;
        EXPECT_EQ(pf::displayMode().masks().green, layout == pf::SixteenBitLayout::kRgb565 ? 0x07E0u : 0x03E0u);
        for (uint32_t v = 0; v < 256; ++v) {
            const uint32_t pixel = pf::makePixel(static_cast<uint8_t>(v), static_cast<uint8_t>(255 - v),
                                                 static_cast<uint8_t>(v * 7), 0x99);
            const uint32_t shown = pf::displayMode().emulate(pixel);
            EXPECT_EQ(pf::pixelRed(shown) >> 3, pf::pixelRed(pixel) >> 3);
            EXPECT_EQ(pf::pixelGreen(shown) >> (8 - greenBits), pf::pixelGreen(pixel) >> (8 - greenBits));
            EXPECT_EQ(pf::pixelBlue(shown) >> 3, pf::pixelBlue(pixel) >> 3);
            EXPECT_EQ(pf::pixelAlpha(shown), 0);
            EXPECT_EQ(pf::displayMode().emulate(shown), shown) << "a shown colour is shown unchanged";
        }
        EXPECT_EQ(pf::displayMode().emulate(0x00FFFFFFu), 0x00FFFFFFu);
    }
}

// The cube of levels 0, 51, ..., 255 that an 8-bit presentation path realises.
std::vector<pf::PaletteEntry> colourCube()
{
    std::vector<pf::PaletteEntry> cube;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                cube.push_back(
                    {static_cast<uint8_t>(51 * r), static_cast<uint8_t>(51 * g), static_cast<uint8_t>(51 * b), 0});
    return cube;
}

TEST_F(DisplayDepth, RealizingAPaletteLoadsTheSystemPaletteBetweenTheStaticColours)
{
    CanvasBuffer canvas(4, 4);
    pf::SurfaceDc dc(canvas.surface());
    const pf::PaletteRef cube = pf::createPalette({0x300, colourCube()});
    ASSERT_NE(cube, nullptr);
    dc.selectPalette(cube, true);
    EXPECT_EQ(dc.realizePalette(), 0u) << "nothing to realise on a 32-bit display";
    EXPECT_TRUE(pf::displayMode().getSystemPaletteEntries(0, 256).empty());

    pf::displayMode().setDepth(8);
    EXPECT_EQ(dc.getDeviceCaps(pf::BITSPIXEL), 8);
    EXPECT_NE(dc.getDeviceCaps(pf::RASTERCAPS) & pf::RC_PALETTE, 0);
    EXPECT_EQ(dc.getDeviceCaps(pf::SIZEPALETTE), 256);
    const auto staticLow = pf::displayMode().getSystemPaletteEntries(0, 10);
    const auto staticHigh = pf::displayMode().getSystemPaletteEntries(246, 10);
    EXPECT_EQ(dc.realizePalette(), 216u);
    const auto system = pf::displayMode().getSystemPaletteEntries(0, 256);
    ASSERT_EQ(system.size(), 256u);
    EXPECT_EQ(std::vector(system.begin(), system.begin() + 10), staticLow);
    EXPECT_EQ(std::vector(system.begin() + 10, system.begin() + 226), colourCube());
    EXPECT_EQ(std::vector(system.begin() + 246, system.end()), staticHigh);
    EXPECT_EQ(staticHigh.back(), (pf::PaletteEntry{255, 255, 255, 0}));
    EXPECT_EQ(pf::displayMode().getSystemPaletteEntries(250, 100).size(), 6u);

    EXPECT_EQ(pf::createPalette({0x200, colourCube()}), nullptr);
    EXPECT_EQ(pf::createPalette({0x300, {}}), nullptr);
    EXPECT_EQ(pf::createPalette({0x300, std::vector<pf::PaletteEntry>(257)}), nullptr);
}

TEST_F(DisplayDepth, EightBitDisplayShowsTheNearestSystemColour)
{
    pf::displayMode().setDepth(8);
    const std::vector<pf::PaletteEntry> cube = colourCube();
    pf::displayMode().realizePalette(cube);
    const auto system = pf::displayMode().systemPalette();
    std::mt19937 random(3);
    for (int i = 0; i < 500; ++i) {
        const uint32_t pixel = random() & 0x00FFFFFFu;
        const uint32_t shown = pf::displayMode().emulate(pixel);
        auto distance = [&](uint32_t colour) {
            const int dr = pf::pixelRed(colour) - pf::pixelRed(pixel);
            const int dg = pf::pixelGreen(colour) - pf::pixelGreen(pixel);
            const int db = pf::pixelBlue(colour) - pf::pixelBlue(pixel);
            return dr * dr + dg * dg + db * db;
        };
        bool isEntry = false;
        for (const pf::PaletteEntry& e : system) {
            const uint32_t colour = pf::makePixel(e.red, e.green, e.blue);
            isEntry = isEntry || colour == shown;
            ASSERT_LE(distance(shown), distance(colour));
        }
        ASSERT_TRUE(isEntry);
    }

    // An 8-bit DIB of cube indices with the cube as its colour table shows the cube colours exactly.
    std::vector<RgbQuad> table;
    for (const pf::PaletteEntry& e : cube)
        table.push_back({e.blue, e.green, e.red, 0});
    BitmapInfo info;
    info.bmiHeader.biWidth = 216;
    info.bmiHeader.biHeight = -1;
    info.bmiHeader.biBitCount = 8;
    info.bmiColors = table;
    std::vector<uint8_t> row(216);
    for (size_t i = 0; i < row.size(); ++i)
        row[i] = static_cast<uint8_t>(i);
    CanvasBuffer canvas(216, 1);
    pf::SurfaceDc dc(canvas.surface());
    ASSERT_EQ(dc.setDIBitsToDevice(0, 0, 216, 1, 0, 0, 0, 1, row, info, pf::DIB_RGB_COLORS), 1);
    for (int x = 0; x < 216; ++x)
        EXPECT_EQ(canvas.surface()->pixel(x, 0), pf::makePixel(cube[x].red, cube[x].green, cube[x].blue));

    // A memory DC is not the display: its bitmap keeps the full colour.
    pf::MemoryDc memory;
    memory.select(pf::DibSection::create(2, 1));
    const uint8_t twoPixels[8] = {1, 2, 3, 0, 4, 5, 6, 0};
    info.bmiHeader.biWidth = 2;
    info.bmiHeader.biBitCount = 32;
    ASSERT_EQ(memory.setDIBitsToDevice(0, 0, 2, 1, 0, 0, 0, 1, twoPixels, info, pf::DIB_RGB_COLORS), 1);
    EXPECT_EQ(memory.getPixel({0, 0}), pf::rgb(3, 2, 1));
}

TEST_F(DisplayDepth, DeviceCapsFollowTheDisplay)
{
    pf::displayMode().setSize({800, 600});
    CanvasBuffer canvas(2, 2);
    pf::SurfaceDc dc(canvas.surface());
    for (const int32_t depth : {8, 16, 24, 32}) {
        ASSERT_TRUE(pf::displayMode().setDepth(depth));
        EXPECT_EQ(dc.getDeviceCaps(pf::BITSPIXEL), depth);
        EXPECT_EQ(dc.getDeviceCaps(pf::RASTERCAPS) & pf::RC_PALETTE, depth == 8 ? pf::RC_PALETTE : 0);
    }
    EXPECT_FALSE(pf::displayMode().setDepth(15));
    EXPECT_EQ(dc.getDeviceCaps(pf::HORZRES), 800);
    EXPECT_EQ(dc.getDeviceCaps(pf::VERTRES), 600);
    EXPECT_EQ(dc.getDeviceCaps(pf::LOGPIXELSY), 96);
    EXPECT_EQ(dc.getDeviceCaps(9999), 0);
}

} // namespace
