#pragma once
// What the panels' picture tests share, headless and live: icon files a person can tell apart, and the pointer drawn
// into a grab of the screen, which never holds it. Header only, so the live tests need no library of ours for it.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/gfx/icon.h"
#include "platform/gfx/surface32.h"

namespace designertest {

// A 32 x 32 XPM picture: a ring of colour ring round a disc of colour core, its hot spot in the middle.
inline std::string RingXpm(const std::string& ring, const std::string& core)
{
    std::string text = "/* XPM */\nstatic char *ring[] = {\n\"32 32 3 1 16 16\",\n\"  c None\",\n\". c " + ring +
                       "\",\n\"x c " + core + "\",\n";
    for (int y = 0; y < 32; ++y) {
        text += '"';
        for (int x = 0; x < 32; ++x) {
            const int d = (x - 16) * (x - 16) + (y - 16) * (y - 16);
            text += d < 49 ? 'x' : (d < 196 ? '.' : ' ');
        }
        text += y < 31 ? "\",\n" : "\"\n};\n";
    }
    return text;
}

// Six rings of six colours, ring0.xpm to ring5.xpm, in folder.
inline void WriteRingIcons(const std::filesystem::path& folder)
{
    static const char* const kColours[6][2] = {{"#E03020", "#FFE040"}, {"#2060E0", "#FFFFFF"}, {"#20A040", "#C0FFC0"},
                                               {"#A020C0", "#F0B0F0"}, {"#F08000", "#303030"}, {"#00A0A0", "#E0FFFF"}};
    std::filesystem::create_directories(folder);
    for (int i = 0; i < 6; ++i)
        std::ofstream(folder / ("ring" + std::to_string(i) + ".xpm"), std::ios::binary)
            << RingXpm(kColours[i][0], kColours[i][1]);
}

// cursor drawn into shot (screen coordinates from origin) with its hot spot at pointer.
inline void DrawPointer(pf::Surface32& shot, const pf::Icon& cursor, pf::Point pointer, pf::Point origin = {})
{
    for (int32_t y = 0; y < cursor.height(); ++y)
        for (int32_t x = 0; x < cursor.width(); ++x) {
            const int32_t sx = pointer.x - origin.x - cursor.hotSpot().x + x;
            const int32_t sy = pointer.y - origin.y - cursor.hotSpot().y + y;
            if (sx >= 0 && sy >= 0 && sx < shot.width() && sy < shot.height())
                shot.row(sy)[sx] = 0xFF000000u | cursor.composeOver(x, y, shot.pixel(sx, sy) & 0xFFFFFF);
        }
}

} // namespace designertest
