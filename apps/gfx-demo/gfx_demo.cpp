// Draws a sample of the platform layer's drawing into one PNG, for a person to look at: text in three faces and
// sizes, lines drawn under exclusive-or once and twice, and one gradient presented at display depths 32, 16 and 8.
// Usage: vortan-gfx-demo [output.png]
#include "platform/display/screen.h"
#include "platform/gfx/surface_dc.h"
#include "platform/gfx/text/font.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int32_t kWidth = 720;
constexpr int32_t kHeight = 420;

pf::FontRef font(const char* face, int32_t characterHeight, int32_t weight, bool italic)
{
    pf::LogFont request;
    request.height = -characterHeight;
    request.weight = weight;
    request.italic = italic ? 1 : 0;
    std::strncpy(request.face, face, sizeof(request.face) - 1);
    return pf::createFontIndirect(request);
}

void label(pf::Dc& dc, int32_t x, int32_t y, const std::string& text)
{
    dc.selectFont(font("DejaVu Sans", 11, pf::FW_NORMAL, false));
    dc.setTextColor(pf::rgb(40, 40, 40));
    dc.textOut(x, y, text);
}

void drawText(pf::Dc& dc)
{
    struct Sample {
        const char* face;
        int32_t height;
        int32_t weight;
        bool italic;
    };
    const Sample samples[] = {{"DejaVu Sans", 12, pf::FW_NORMAL, false},
                              {"DejaVu Serif", 20, pf::FW_BOLD, false},
                              {"DejaVu Sans Mono", 32, pf::FW_NORMAL, true}};
    int32_t y = 10;
    for (const Sample& s : samples) {
        dc.selectFont(font(s.face, s.height, s.weight, s.italic));
        const pf::TextMetrics m = dc.getTextMetrics();
        const std::string text = std::string(s.face) + " " + std::to_string(s.height) + " px: Vortan \xE2\x82\xAC \xFF";
        dc.setTextColor(pf::rgb(0, 0, 0));
        dc.textOut(10, y, text);
        const pf::Size extent = dc.getTextExtent(text);
        dc.selectPen(pf::createPen(pf::PS_DOT, 1, pf::rgb(200, 0, 0)));
        dc.selectBrush(pf::Brush{pf::BS_NULL, 0});
        dc.rectangle({10, y, 10 + extent.cx + m.tmOverhang, y + extent.cy}); // the extent box
        y += m.tmHeight + 6;
    }
}

void drawXorFans(pf::Dc& dc)
{
    const pf::Rect panels[] = {{10, 150, 210, 290}, {220, 150, 420, 290}};
    for (int panel = 0; panel < 2; ++panel) {
        const pf::Rect& r = panels[panel];
        dc.fillRect(r, pf::createSolidBrush(pf::rgb(250, 240, 200)));
        dc.setROP2(pf::R2_XORPEN);
        for (int pass = 0; pass <= panel; ++pass) {
            for (int i = 0; i < 24; ++i) {
                dc.selectPen(pf::createPen(i % 3 == 0 ? pf::PS_DOT : pf::PS_SOLID, 1 + i % 4, pf::rgb(0, 90, 255)));
                dc.moveTo({r.l + 100, r.t + 70});
                dc.lineTo({r.l + i * 9 - 20, i % 2 == 0 ? r.t - 10 : r.b + 10});
            }
            dc.drawFocusRect(r.inflatedBy(-6, -6));
        }
        dc.setROP2(pf::R2_COPYPEN);
        label(dc, r.l, r.b + 2, panel == 0 ? "lines under XOR, once" : "the same, twice: restored");
    }
}

void drawGradients(pf::Dc& dc)
{
    constexpr int32_t kStripWidth = 200;
    constexpr int32_t kStripHeight = 80;
    std::vector<uint8_t> rows(static_cast<size_t>(kStripWidth) * kStripHeight * 4);
    for (int32_t y = 0; y < kStripHeight; ++y)
        for (int32_t x = 0; x < kStripWidth; ++x) {
            uint8_t* p = &rows[static_cast<size_t>((y * kStripWidth + x) * 4)];
            p[0] = static_cast<uint8_t>(255 * y / (kStripHeight - 1)); // blue down
            p[1] = static_cast<uint8_t>(255 * x / (kStripWidth - 1));  // green across
            p[2] = static_cast<uint8_t>(255 - 255 * x / (kStripWidth - 1));
        }
    pf::BitmapInfo info;
    info.bmiHeader.biWidth = kStripWidth;
    info.bmiHeader.biHeight = -kStripHeight;
    info.bmiHeader.biBitCount = 32;

    std::vector<pf::PaletteEntry> cube;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                cube.push_back(
                    {static_cast<uint8_t>(51 * r), static_cast<uint8_t>(51 * g), static_cast<uint8_t>(51 * b), 0});
    const int32_t depths[] = {32, 16, 8};
    for (int i = 0; i < 3; ++i) {
        pf::screen().setDepth(depths[i]);
        if (depths[i] == 8) {
            dc.selectPalette(pf::createPalette({0x300, cube}), true);
            dc.realizePalette();
        }
        const int32_t x = 10 + i * (kStripWidth + 10);
        dc.setDIBitsToDevice(x, 310, kStripWidth, kStripHeight, 0, 0, 0, kStripHeight, rows, info, pf::DIB_RGB_COLORS);
        label(dc, x, 310 + kStripHeight + 2, "gradient at depth " + std::to_string(depths[i]));
    }
    pf::screen().setDepth(32);
}

} // namespace

int main(int argc, char** argv)
{
    // An option is never a file name: "--help" would be drawn into a picture of that name.
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: vortan-gfx-demo [output.png]\n");
        return 2;
    }
    const std::string path = argc > 1 ? argv[1] : "gfx-demo.png";
    pf::Screen& screen = pf::screen();
    screen.setSize({kWidth, kHeight});
    auto surface = std::make_shared<pf::Surface32>(kWidth, kHeight);
    screen.setTopLevels({pf::TopLevelView{1, {0, 0, kWidth, kHeight}, surface, true}});

    pf::SurfaceDc dc(surface);
    dc.fillRect({0, 0, kWidth, kHeight}, pf::createSolidBrush(pf::getSysColor(pf::COLOR_BTNFACE)));
    dc.setBkMode(pf::TRANSPARENT);
    drawText(dc);
    drawXorFans(dc);
    drawGradients(dc);
    if (!screen.writePng(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("wrote %s\n", path.c_str());
    return 0;
}
