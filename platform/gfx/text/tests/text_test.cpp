#include "platform/gfx/memory_dc.h"
#include "platform/gfx/surface_dc.h"
#include "platform/gfx/text/fixed_font_engine.h"
#include "platform/gfx/text/font.h"
#include "platform/gfx/text/freetype_font_engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <thread>

namespace {

using pf::Rect;

pf::LogFont logFont(const char* face, int32_t height, int32_t weight = pf::FW_NORMAL, bool italic = false)
{
    pf::LogFont request;
    request.height = height;
    request.weight = weight;
    request.italic = italic ? 1 : 0;
    request.charSet = pf::ANSI_CHARSET;
    request.outPrecision = pf::OUT_TT_ONLY_PRECIS;
    std::strncpy(request.face, face, sizeof(request.face) - 1);
    return request;
}

bool haveDejaVu()
{
    const std::optional<std::string> file = pf::matchFontFile("DejaVu Sans", false, false);
    return file && file->find("DejaVu") != std::string::npos;
}

class FreeTypeText : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!haveDejaVu())
            GTEST_SKIP() << "the DejaVu fonts are not installed";
        pf::setFontEngine(&m_engine);
    }
    void TearDown() override { pf::setFontEngine(nullptr); }

    pf::FreeTypeFontEngine m_engine;
};

class FixedText : public ::testing::Test {
protected:
    void SetUp() override { pf::setFontEngine(&m_engine); }
    void TearDown() override { pf::setFontEngine(nullptr); }

    pf::FixedFontEngine m_engine;
};

// ---- metrics

TEST_F(FreeTypeText, CharacterHeightIdentityHoldsForEverySizeAndStyle)
{
    for (const char* face : {"DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono", "Arial"}) {
        for (int32_t height = 6; height <= 72; ++height) {
            for (int style = 0; style < 3; ++style) {
                SCOPED_TRACE(::testing::Message() << face << " " << height << " style " << style);
                const bool bold = style == 1;
                const bool italic = style == 2;
                const pf::FontRef font =
                    pf::createFontIndirect(logFont(face, -height, bold ? pf::FW_BOLD : pf::FW_NORMAL, italic));
                const pf::TextMetrics& m = font->face().metrics();
                ASSERT_EQ(m.tmHeight - m.tmInternalLeading, height);
                ASSERT_GE(m.tmInternalLeading, 0);
                ASSERT_EQ(m.tmHeight, m.tmAscent + m.tmDescent);
                ASSERT_EQ(m.tmWeight, bold ? 700 : 400);
                ASSERT_EQ(m.tmItalic, italic ? 1 : 0);
                if (italic)
                    ASSERT_GT(m.tmOverhang, 0);
                else
                    ASSERT_EQ(m.tmOverhang, 0);
                ASSERT_GT(m.tmAveCharWidth, 0);
                ASSERT_EQ(m.tmPitchAndFamily & (pf::TMPF_VECTOR | pf::TMPF_TRUETYPE),
                          pf::TMPF_VECTOR | pf::TMPF_TRUETYPE);
            }
        }
    }
}

TEST_F(FreeTypeText, PositiveHeightIsTheLargestCellThatFits)
{
    for (int32_t cell = 4; cell <= 80; cell += 3) {
        const pf::FontRef font = pf::createFontIndirect(logFont("DejaVu Sans", cell));
        const pf::TextMetrics& m = font->face().metrics();
        EXPECT_LE(m.tmHeight, cell);
        const int32_t characterHeight = m.tmHeight - m.tmInternalLeading;
        const pf::FontRef bigger = pf::createFontIndirect(logFont("DejaVu Sans", -(characterHeight + 1)));
        EXPECT_GT(bigger->face().metrics().tmHeight, cell) << cell;
    }
}

TEST_F(FreeTypeText, ExtentsAreSumsOfAdvances)
{
    pf::MemoryDc dc;
    std::mt19937 random(5);
    for (int32_t height : {7, 11, 16, 33}) {
        for (const bool italic : {false, true}) {
            dc.selectFont(pf::createFontIndirect(logFont("DejaVu Sans", -height, pf::FW_BOLD, italic)));
            const int32_t cellHeight = dc.getTextMetrics().tmHeight;
            EXPECT_EQ(dc.getTextExtent(""), (pf::Size{0, cellHeight}));
            for (int trial = 0; trial < 20; ++trial) {
                std::string a;
                std::string b;
                for (int i = 0; i < 6; ++i) {
                    a.push_back(static_cast<char>(32 + random() % 95));
                    b.push_back(static_cast<char>(32 + random() % 95));
                }
                const pf::Size whole = dc.getTextExtent(a + b);
                EXPECT_EQ(whole.cx, dc.getTextExtent(a).cx + dc.getTextExtent(b).cx) << a << b;
                EXPECT_EQ(whole.cy, cellHeight);
            }
        }
    }
}

TEST_F(FreeTypeText, FaceNameIsTheRequestedOneAndUnknownFacesFallBack)
{
    pf::MemoryDc dc;
    dc.selectFont(pf::createFontIndirect(logFont("Arial", -12)));
    EXPECT_EQ(dc.getTextFace(), "Arial");
    dc.selectFont(pf::createFontIndirect(logFont("No Such Face At All", -12)));
    EXPECT_EQ(dc.getTextFace(), "No Such Face At All");
    EXPECT_EQ(dc.getTextMetrics().tmHeight - dc.getTextMetrics().tmInternalLeading, 12);
    EXPECT_GT(dc.getTextExtent("Hello").cx, 0);
    pf::LogFont unterminated = logFont("", -12);
    std::memset(unterminated.face, 'x', sizeof(unterminated.face)); // 32 bytes, no terminator
    dc.selectFont(pf::createFontIndirect(unterminated));
    EXPECT_EQ(dc.getTextFace(), std::string(31, 'x'));
    dc.selectFont(pf::createFontIndirect(logFont("", -12)));
    EXPECT_FALSE(dc.getTextFace().empty()) << "no requested name: the family found";
    const pf::FontRef gui = std::get<pf::FontRef>(pf::getStockObject(pf::DEFAULT_GUI_FONT));
    EXPECT_EQ(gui->face().characterHeight(), 11);
}

TEST_F(FreeTypeText, InvalidUtf8MeasuresAndDrawsAsTheReplacementCharacter)
{
    pf::MemoryDc dc;
    dc.select(pf::DibSection::create(60, 30));
    dc.selectFont(pf::createFontIndirect(logFont("DejaVu Sans", -16)));
    EXPECT_EQ(dc.getTextExtent("a\xFF"), dc.getTextExtent("a\xEF\xBF\xBD"));
    dc.setBkMode(pf::TRANSPARENT);
    dc.setTextColor(pf::rgb(255, 255, 255));
    ASSERT_TRUE(dc.textOut(2, 2, "\xC0"));
    int touched = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x)
            touched += dc.getPixel({x, y}) != 0 ? 1 : 0;
    EXPECT_GT(touched, 20) << "the replacement mark is drawn";
}

// ---- drawing

// Draws `text` with the colour `textColor` over `background` into a fresh 80 x 40 bitmap.
std::shared_ptr<pf::DibSection> drawText(const pf::FontRef& font, const char* text, pf::ColorRef textColor,
                                         pf::ColorRef background)
{
    pf::MemoryDc dc;
    auto bitmap = pf::DibSection::create(80, 40);
    dc.select(bitmap);
    dc.fillRect({0, 0, 80, 40}, pf::createSolidBrush(background));
    dc.selectFont(font);
    dc.setBkMode(pf::TRANSPARENT);
    dc.setTextColor(textColor);
    dc.textOut(3, 4, text);
    return bitmap;
}

TEST_F(FreeTypeText, MaskRuleHoldsOnAntiAliasedEdges)
{
    // Black on white: a pixel is background exactly when its green byte is 255, edges included.
    const pf::FontRef font = pf::createFontIndirect(logFont("DejaVu Serif", -20, pf::FW_NORMAL, true));
    const auto mask = drawText(font, "Wavy %", pf::rgb(0, 0, 0), pf::rgb(255, 255, 255));
    const auto coverage = drawText(font, "Wavy %", pf::rgb(255, 255, 255), pf::rgb(0, 0, 0));
    int edges = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 80; ++x) {
            const uint8_t green = pf::pixelGreen(mask->surface().pixel(x, y));
            const bool covered = coverage->surface().pixel(x, y) != 0;
            ASSERT_EQ(green == 255, !covered) << x << "," << y;
            edges += green > 0 && green < 255 ? 1 : 0;
        }
    }
    EXPECT_GT(edges, 10) << "anti-aliased text has grey edges";

    pf::LogFont monoRequest = logFont("DejaVu Serif", -20, pf::FW_NORMAL, true);
    monoRequest.quality = pf::NONANTIALIASED_QUALITY;
    const auto mono = drawText(pf::createFontIndirect(monoRequest), "Wavy %", pf::rgb(0, 0, 0), pf::rgb(255, 255, 255));
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 80; ++x) {
            const uint8_t green = pf::pixelGreen(mono->surface().pixel(x, y));
            ASSERT_TRUE(green == 0 || green == 255);
        }
}

TEST_F(FreeTypeText, ConcurrentThreadsRenderTheSameText)
{
    const auto reference =
        drawText(pf::createFontIndirect(logFont("DejaVu Sans", -15)), "Threads 123", pf::rgb(255, 255, 255), 0);
    std::vector<std::thread> threads;
    std::vector<int> mismatches(6, 0);
    for (size_t t = 0; t < mismatches.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 10; ++round) {
                const auto bitmap = drawText(pf::createFontIndirect(logFont("DejaVu Sans", -15)), "Threads 123",
                                             pf::rgb(255, 255, 255), 0);
                for (int y = 0; y < 40; ++y)
                    for (int x = 0; x < 80; ++x)
                        mismatches[t] += bitmap->surface().pixel(x, y) != reference->surface().pixel(x, y) ? 1 : 0;
                // Other sizes and styles in between, so the threads also fill the shared caches at once.
                pf::createFontIndirect(logFont("DejaVu Serif", -9 - static_cast<int32_t>(t), pf::FW_BOLD, true))
                    ->face()
                    .glyph(U'A' + static_cast<char32_t>(round), false);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (const int count : mismatches)
        EXPECT_EQ(count, 0);
}

// ---- exact placement with the fixed font

struct Box {
    int l = 1000, t = 1000, r = -1000, b = -1000;
    void add(int x, int y)
    {
        l = std::min(l, x);
        t = std::min(t, y);
        r = std::max(r, x + 1);
        b = std::max(b, y + 1);
    }
    friend bool operator==(const Box&, const Box&) = default;
};

Box drawnBox(const pf::Surface32& s, uint32_t background)
{
    Box box;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            if (s.pixel(x, y) != background)
                box.add(x, y);
    return box;
}

TEST_F(FixedText, MetricsFollowTheCharacterHeight)
{
    const pf::FontRef font = pf::createFontIndirect(logFont("Anything", -10, pf::FW_NORMAL, true));
    const pf::TextMetrics& m = font->face().metrics();
    EXPECT_EQ(m.tmAscent, 8);
    EXPECT_EQ(m.tmDescent, 4);
    EXPECT_EQ(m.tmHeight, 12);
    EXPECT_EQ(m.tmInternalLeading, 2);
    EXPECT_EQ(m.tmAveCharWidth, 6);
    EXPECT_EQ(m.tmOverhang, 2);
    EXPECT_EQ(pf::createFontIndirect(logFont("Anything", 12))->face().characterHeight(), 10) << "cell height 12";
}

TEST_F(FixedText, AlignmentFlagsPlaceTheTextExactly)
{
    // "ab" at character height 10: two 6-pixel cells, 12 high, ascent 8; glyph boxes inset by 1.
    struct Case {
        uint32_t align;
        int left;
        int top;
    };
    const Case cases[] = {
        {pf::TA_LEFT | pf::TA_TOP, 20, 30},      {pf::TA_RIGHT | pf::TA_TOP, 8, 30},
        {pf::TA_CENTER | pf::TA_TOP, 14, 30},    {pf::TA_LEFT | pf::TA_BOTTOM, 20, 18},
        {pf::TA_LEFT | pf::TA_BASELINE, 20, 22}, {pf::TA_CENTER | pf::TA_BASELINE, 14, 22},
        {pf::TA_RIGHT | pf::TA_BOTTOM, 8, 18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.align);
        pf::MemoryDc dc;
        dc.select(pf::DibSection::create(50, 50));
        dc.selectFont(pf::createFontIndirect(logFont("Fixed", -10)));
        dc.setTextAlign(c.align);
        dc.setBkMode(pf::TRANSPARENT);
        dc.setTextColor(pf::rgb(255, 255, 255));
        dc.textOut(20, 30, "ab");
        EXPECT_EQ(drawnBox(dc.bitmap()->surface(), 0), (Box{c.left + 1, c.top + 1, c.left + 11, c.top + 11}));
        EXPECT_EQ(dc.getPixel({c.left + 5, c.top + 5}), pf::rgb(0, 0, 0)) << "the gap between the two boxes";

        dc.setBkMode(pf::OPAQUE);
        dc.setBkColor(pf::rgb(0, 0, 255));
        dc.textOut(20, 30, "ab");
        EXPECT_EQ(drawnBox(dc.bitmap()->surface(), 0), (Box{c.left, c.top, c.left + 12, c.top + 12}))
            << "an opaque background fills the extent box";
    }
}

TEST_F(FixedText, DecorationsAndClipping)
{
    pf::MemoryDc dc;
    dc.select(pf::DibSection::create(40, 30));
    pf::LogFont request = logFont("Fixed", -10);
    request.underline = 1;
    dc.selectFont(pf::createFontIndirect(request));
    dc.setBkMode(pf::TRANSPARENT);
    dc.setTextColor(pf::rgb(255, 255, 255));
    dc.textOut(2, 2, "a b"); // baseline at 10: the underline row is 11, across all 18 pixels
    for (int x = 2; x < 20; ++x)
        EXPECT_EQ(dc.getPixel({x, 11}), pf::rgb(255, 255, 255)) << x;
    EXPECT_EQ(dc.getPixel({20, 11}), pf::rgb(0, 0, 0));

    pf::MemoryDc clipped;
    clipped.select(pf::DibSection::create(40, 30));
    clipped.selectFont(pf::createFontIndirect(logFont("Fixed", -10)));
    clipped.setTextColor(pf::rgb(255, 255, 255));
    clipped.intersectClipRect({5, 4, 13, 9});
    clipped.textOut(0, 0, "xxxxxxxx");
    EXPECT_EQ(drawnBox(clipped.bitmap()->surface(), 0), (Box{5, 4, 13, 9}));
}

} // namespace
