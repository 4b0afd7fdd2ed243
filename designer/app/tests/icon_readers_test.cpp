// The ICO, XBM and XPM readers: small pictures made here at every depth and form, their pixels checked, and damaged
// forms of each refused whole.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "designer/app/icon_image.h"
#include "platform/gfx/png_file.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

void Put16(std::vector<uint8_t>& b, uint32_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A 4 x 2 picture: the top row red, green, blue, white; the bottom row black; the top-right pixel masked off.
constexpr int kW = 4;
constexpr int kH = 2;
constexpr uint32_t kColours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

uint32_t Expected(int x, int y)
{
    if (y == 0 && x == 3)
        return 0; // masked
    return 0xFF000000u | (y == 0 ? kColours[x] : 0);
}

// The bitmap of one entry at bits per pixel, rows bottom first, then the AND mask.
std::vector<uint8_t> BitmapEntry(uint16_t bits)
{
    std::vector<uint8_t> b;
    const uint32_t palette = bits <= 8 ? (1u << bits) : 0;
    Put32(b, 40);
    Put32(b, kW);
    Put32(b, kH * 2);
    Put16(b, 1);
    Put16(b, bits);
    for (int i = 0; i < 6; ++i)
        Put32(b, 0);
    for (uint32_t i = 0; i < palette; ++i) // index 0 black, 1..4 the four colours
        Put32(b, i == 0 ? 0 : (i <= 4 ? kColours[i - 1] : 0x123456));
    const size_t row = ((kW * bits + 31) / 32) * 4;
    for (int y = kH - 1; y >= 0; --y) {
        std::vector<uint8_t> r(row, 0);
        for (int x = 0; x < kW; ++x) {
            const uint32_t rgb = y == 0 ? kColours[x] : 0;
            const uint32_t index = y == 0 ? static_cast<uint32_t>(x + 1) : 0;
            if (bits == 1) {
                r[0] |= static_cast<uint8_t>((index != 0 ? 1 : 0) << (7 - x));
            } else if (bits == 4) {
                r[static_cast<size_t>(x / 2)] |= static_cast<uint8_t>(index << (x % 2 == 0 ? 4 : 0));
            } else if (bits == 8) {
                r[static_cast<size_t>(x)] = static_cast<uint8_t>(index);
            } else {
                const size_t at = static_cast<size_t>(x) * (bits / 8);
                r[at] = static_cast<uint8_t>(rgb), r[at + 1] = static_cast<uint8_t>(rgb >> 8);
                r[at + 2] = static_cast<uint8_t>(rgb >> 16);
                if (bits == 32)
                    r[at + 3] = 0; // no alpha of its own: the mask decides
            }
        }
        b.insert(b.end(), r.begin(), r.end());
    }
    for (int y = kH - 1; y >= 0; --y) {    // AND mask, 4 bytes a row
        b.push_back(y == 0 ? 0x10 : 0x00); // x = 3 of the top row
        b.insert(b.end(), 3, 0);
    }
    return b;
}

std::vector<uint8_t> IcoOf(const std::vector<uint8_t>& entry, uint16_t type = 1, uint16_t hotX = 0, uint16_t hotY = 0,
                           int w = kW, int h = kH)
{
    std::vector<uint8_t> b;
    Put16(b, 0);
    Put16(b, type);
    Put16(b, 1);
    b.push_back(static_cast<uint8_t>(w));
    b.push_back(static_cast<uint8_t>(h));
    b.push_back(0);
    b.push_back(0);
    Put16(b, hotX);
    Put16(b, hotY);
    Put32(b, static_cast<uint32_t>(entry.size()));
    Put32(b, 22);
    b.insert(b.end(), entry.begin(), entry.end());
    return b;
}

void ExpectPicture(const CVTND_IconImage& image, const std::function<uint32_t(int, int)>& expected)
{
    ASSERT_EQ(image.argb.size(), static_cast<size_t>(image.width * image.height));
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            EXPECT_EQ(image.argb[static_cast<size_t>(y * image.width + x)], expected(x, y)) << x << "," << y;
}

TEST(IcoReader, EveryDepthDecodesWithItsMask)
{
    for (const uint16_t bits : {1, 4, 8, 24, 32}) {
        SCOPED_TRACE(bits);
        CVTND_IconImage image;
        std::string reason;
        ASSERT_TRUE(ReadIcoImage(IcoOf(BitmapEntry(bits)), image, reason)) << reason;
        EXPECT_EQ(image.width, kW);
        EXPECT_EQ(image.height, kH);
        if (bits == 1) // two colours: black and red
            ExpectPicture(image,
                          [](int x, int y) { return x == 3 && y == 0 ? 0u : (y == 0 ? 0xFFFF0000u : 0xFF000000u); });
        else
            ExpectPicture(image, Expected);
    }
}

TEST(IcoReader, PngEntryAndCursorHotSpot)
{
    pf::PngImage png;
    png.width = kW;
    png.height = kH;
    png.bytes.resize(kW * kH * 3, 0);
    png.bytes[0] = 0xFF; // the first pixel red
    std::string error;
    const std::optional<std::vector<uint8_t>> encoded = pf::encodePng(png, error);
    ASSERT_TRUE(encoded);
    CVTND_IconImage image;
    std::string reason;
    ASSERT_TRUE(ReadIcoImage(IcoOf(*encoded, 2, 3, 1), image, reason)) << reason;
    EXPECT_EQ(image.argb[0], 0xFFFF0000u);
    EXPECT_EQ(image.argb[1], 0xFF000000u);
    EXPECT_EQ(image.hotSpotX, 3);
    EXPECT_EQ(image.hotSpotY, 1);
    EXPECT_FALSE(ReadIcoImage(IcoOf(*encoded, 1, 0, 0, kW + 1), image, reason)) << "the size disagrees";
    EXPECT_FALSE(ReadIcoImage(IcoOf(*encoded, 2, 4, 0), image, reason)) << "a hot spot outside";
    EXPECT_TRUE(image.argb.empty());
}

TEST(IcoReader, TruncationAndDamageAreRefusedWhole)
{
    const std::vector<uint8_t> good = IcoOf(BitmapEntry(8));
    for (size_t length = 0; length < good.size(); ++length) {
        CVTND_IconImage image;
        std::string reason;
        EXPECT_FALSE(ReadIcoImage(std::span(good.data(), length), image, reason)) << length;
        EXPECT_TRUE(image.argb.empty());
    }
    const std::vector<std::pair<size_t, uint8_t>> damages = {
        {2, 3},          // type
        {4, 0},          // no entries
        {5, 0x40},       // a directory of 16,385 entries
        {17, 0x7F},      // an entry offset beyond the file
        {22 + 14, 16},   // 16 bits a pixel
        {22 + 16, 1},    // compressed
        {22 + 34, 0x01}, // a palette of 65,536 colours in 8 bits
    };
    for (const auto& [at, value] : damages) {
        std::vector<uint8_t> bad = good;
        bad[at] = value;
        CVTND_IconImage image;
        std::string reason;
        EXPECT_FALSE(ReadIcoImage(bad, image, reason)) << at;
        EXPECT_FALSE(reason.empty());
    }
}

const char* kXbm = "#define arrow_width 10\n#define arrow_height 2\n#define arrow_x_hot 9\n#define arrow_y_hot 1\n"
                   "static unsigned char arrow_bits[] = {\n   0x01, 0x02, 0xff, 0x03};\n";

TEST(XbmReader, BitsLeastSignificantFirstWithTheHotSpot)
{
    CVTND_IconImage image;
    std::string reason;
    ASSERT_TRUE(ReadXbmImage(Bytes(kXbm), image, reason)) << reason;
    EXPECT_EQ(image.width, 10);
    EXPECT_EQ(image.hotSpotX, 9);
    EXPECT_EQ(image.hotSpotY, 1);
    ExpectPicture(image, [](int x, int y) { return (y == 0 ? (x == 0 || x == 9) : true) ? 0xFF000000u : 0u; });
    ASSERT_TRUE(
        ReadXbmImage(Bytes("#define a_width 3\n#define a_height 1\nstatic char a_bits[] = { 0x05 };"), image, reason));
    EXPECT_EQ(image.hotSpotX, 0) << "no hot spot defined";
}

TEST(XbmReader, DamagedTextsAreRefused)
{
    const std::string good = kXbm;
    for (size_t length = 0; length < good.size() - 2; ++length) {
        CVTND_IconImage image;
        std::string reason;
        EXPECT_FALSE(ReadXbmImage(Bytes(good.substr(0, length)), image, reason)) << length;
    }
    for (const char* bad : {
             "#define a_width 0\n#define a_height 1\nstatic char a_bits[] = { 0x05 };",
             "#define a_width 300\n#define a_height 1\nstatic char a_bits[] = { 0x05 };",
             "#define a_width 8\n#define a_height 1\nstatic char a_bits[] = { 0x05, 0x06 };",
             "#define a_width 8\n#define a_height 2\nstatic char a_bits[] = { 0x05 };",
             "#define a_width 8\n#define a_height 1\nstatic char a_bits[] = { 0x105 };",
             "#define a_width 8\n#define a_height 1\n#define a_x_hot 8\n#define a_y_hot 0\nstatic char a_bits[] = {1};",
             "#define a_width 8\n#define a_height 1\n#define a_x_hot 1\nstatic char a_bits[] = {1};",
             "#define a_width 8\nstatic char a_bits[] = {1};",
         }) {
        CVTND_IconImage image;
        std::string reason;
        EXPECT_FALSE(ReadXbmImage(Bytes(bad), image, reason)) << bad;
        EXPECT_TRUE(image.argb.empty());
    }
}

const char* kXpm3 = "/* XPM */\nstatic char * demo[] = {\n/* values */\n\"3 2 4 1 1 0\",\n\". c None\",\n"
                    "\"r c #FF0000\",\n\"g c #0f0\",\n\"w c white\",\n\".rg\",\n\"www\"};\n";

TEST(XpmReader, VersionsThreeAndTwoWithTransparencyHexAndNames)
{
    const auto expected = [](int x, int y) {
        if (y == 1)
            return 0xFFFFFFFFu;
        return x == 0 ? 0u : (x == 1 ? 0xFFFF0000u : 0xFF00FF00u);
    };
    CVTND_IconImage image;
    std::string reason;
    ASSERT_TRUE(ReadXpmImage(Bytes(kXpm3), image, reason)) << reason;
    EXPECT_EQ(image.colourCount, 4u);
    EXPECT_EQ(image.hotSpotX, 1);
    ExpectPicture(image, expected);
    const char* xpm2 = "! XPM2\n3 2 4 2\n.. c None\nrr c #FFFF00000000\ngg s green c #00FF00\nww c white\n"
                       "..rrgg\nwwwwww\n";
    ASSERT_TRUE(ReadXpmImage(Bytes(xpm2), image, reason)) << reason;
    ExpectPicture(image, expected);
}

TEST(XpmReader, DamagedTextsAreRefused)
{
    const std::string good = kXpm3;
    for (size_t length = 0; length + 3 < good.size(); ++length) {
        CVTND_IconImage image;
        std::string reason;
        EXPECT_FALSE(ReadXpmImage(Bytes(good.substr(0, length)), image, reason)) << length;
    }
    const std::vector<std::pair<std::string, std::string>> damages = {
        {"\"3 2 4 1 1 0\"", "\"3 2 4 1 3 0\""}, // hot spot outside
        {"\"3 2 4 1 1 0\"", "\"3 2 9 1\""},     // more colours than lines
        {"\"3 2 4 1 1 0\"", "\"3 2 4 5\""},     // five characters a pixel
        {"\"3 2 4 1 1 0\"", "\"300 2 4 1\""},   // too wide
        {"\"g c #0f0\"", "\"g c #0f\""},        // two hex digits
        {"\"g c #0f0\"", "\"g c chartreuse\""}, // a name not in the table
        {"\"g c #0f0\"", "\"g m black\""},      // no c key
        {"\"g c #0f0\"", "\"r c #0f0\""},       // a code twice
        {"\".rg\"", "\".rx\""},                 // a pixel of no colour
        {"\".rg\"", "\".r\""},                  // a short row
    };
    for (const auto& [from, to] : damages) {
        std::string bad = good;
        bad.replace(bad.find(from), from.size(), to);
        CVTND_IconImage image;
        std::string reason;
        EXPECT_FALSE(ReadXpmImage(Bytes(bad), image, reason)) << to;
        EXPECT_TRUE(image.argb.empty());
    }
}

TEST(IconFiles, KindByExtensionAndTheIconKeepsTheHotSpot)
{
    EXPECT_EQ(IconKindOfName("/a/b/Arrow.CUR"), IconFileKind::kIco);
    EXPECT_EQ(IconKindOfName("x.xpm"), IconFileKind::kXpm);
    EXPECT_EQ(IconKindOfName("dir.xbm/file"), IconFileKind::kUnknown);
    CVTND_IconImage image;
    std::string reason;
    ASSERT_TRUE(ReadXbmImage(Bytes(kXbm), image, reason));
    const pf::IconRef icon = image.MakeIcon();
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->hotSpot(), (pf::Point{9, 1}));
    EXPECT_EQ(image.MakeIcon(40, -3)->hotSpot(), (pf::Point{9, 0})) << "clamped into the picture";
    EXPECT_FALSE(ReadIconFile("/nonexistent/icon.ico", image, reason));
    EXPECT_NE(reason.find("/nonexistent/icon.ico"), std::string::npos);
}

} // namespace
