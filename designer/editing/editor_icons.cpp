#include "designer/editing/editor_icons.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// [SECTION] Palette: few colours, so that every picture reads as one set.
constexpr uint32_t kInk = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kLight = 0xC8C8C8;
constexpr uint32_t kGrey = 0x909090;
constexpr uint32_t kDark = 0x505050;
constexpr uint32_t kRed = 0xE03030;
constexpr uint32_t kGreen = 0x30B030;
constexpr uint32_t kBlue = 0x3868E0;
constexpr uint32_t kSky = 0x90C8F0;
constexpr uint32_t kYellow = 0xF0D030;
constexpr uint32_t kOrange = 0xF09020;
constexpr uint32_t kBrown = 0xA86830;
constexpr uint32_t kPurple = 0x9048C8;
constexpr uint32_t kTeal = 0x20A0A0;
constexpr uint32_t kOlive = 0x789818;
constexpr uint32_t kNoOutline = 0xFFFFFFFF;

struct P {
    float x;
    float y;
};

// [SECTION] The painter: shapes on a 16-unit grid, sampled at pixel centres, each ringed by a one-pixel outline.
class Painter {
public:
    explicit Painter(int32_t side)
        : m_side(side), m_scale(16.0f / static_cast<float>(side)), m_argb(Count(), 0), m_mask(Count(), 1)
    {
    }

    template <class Inside> void Shape(Inside inside, uint32_t fill, uint32_t outline = kInk)
    {
        std::vector<uint8_t> in(Count(), 0);
        for (int32_t y = 0; y < m_side; ++y)
            for (int32_t x = 0; x < m_side; ++x)
                in[At(x, y)] =
                    inside((static_cast<float>(x) + 0.5f) * m_scale, (static_cast<float>(y) + 0.5f) * m_scale);
        const auto covered = [&](int32_t x, int32_t y) {
            return x >= 0 && y >= 0 && x < m_side && y < m_side && in[At(x, y)] != 0;
        };
        for (int32_t y = 0; y < m_side; ++y)
            for (int32_t x = 0; x < m_side; ++x) {
                if (!covered(x, y))
                    continue;
                const bool edge = !covered(x - 1, y) || !covered(x + 1, y) || !covered(x, y - 1) || !covered(x, y + 1);
                Put(x, y, edge && outline != kNoOutline ? outline : fill);
            }
    }

    void Rect(float x0, float y0, float x1, float y1, uint32_t fill, uint32_t outline = kInk)
    {
        Shape([=](float u, float v) { return u >= x0 && u < x1 && v >= y0 && v < y1; }, fill, outline);
    }

    void Ellipse(float cx, float cy, float rx, float ry, uint32_t fill, uint32_t outline = kInk)
    {
        Shape(
            [=](float u, float v) {
                const float du = (u - cx) / rx;
                const float dv = (v - cy) / ry;
                return du * du + dv * dv <= 1.0f;
            },
            fill, outline);
    }

    void Polygon(const std::vector<P>& points, uint32_t fill, uint32_t outline = kInk)
    {
        Shape([&points](float u, float v) { return InsidePolygon(points, u, v); }, fill, outline);
    }

    // A stroke is all edge, so it takes its own colour throughout.
    void Line(P a, P b, float width, uint32_t colour)
    {
        Shape([=](float u, float v) { return DistanceToSegment(a, b, u, v) <= width * 0.5f; }, colour, kNoOutline);
    }

    // Degrees counter-clockwise from +x with y up, from `from` to `to`.
    void Arc(P c, float radius, float width, float from, float to, uint32_t colour)
    {
        Shape(
            [=](float u, float v) {
                const float d = std::hypot(u - c.x, v - c.y);
                if (std::fabs(d - radius) > width * 0.5f)
                    return false;
                float angle = std::atan2(c.y - v, u - c.x) * 57.29578f;
                if (angle < 0.0f)
                    angle += 360.0f;
                return from <= to ? angle >= from && angle <= to : angle >= from || angle <= to;
            },
            colour, kNoOutline);
    }

    // Greys every drawn pixel and lightens it: the picture of something switched off.
    void Disable()
    {
        for (size_t i = 0; i < m_argb.size(); ++i) {
            if (m_mask[i] != 0)
                continue;
            const uint32_t c = m_argb[i];
            const uint32_t luma = (((c >> 16) & 0xFF) * 77 + ((c >> 8) & 0xFF) * 150 + (c & 0xFF) * 29) >> 8;
            const uint32_t g = 96 + luma * 140 / 255;
            m_argb[i] = 0xFF000000u | (g << 16) | (g << 8) | g;
        }
    }

    pf::IconRef Finish(pf::Point hotSpot = {}) &&
    {
        return pf::Icon::create(m_side, m_side, std::move(m_argb), std::move(m_mask), hotSpot);
    }

private:
    size_t Count() const { return static_cast<size_t>(m_side) * static_cast<size_t>(m_side); }
    size_t At(int32_t x, int32_t y) const { return static_cast<size_t>(y) * static_cast<size_t>(m_side) + x; }
    void Put(int32_t x, int32_t y, uint32_t colour)
    {
        m_argb[At(x, y)] = 0xFF000000u | colour;
        m_mask[At(x, y)] = 0;
    }

    static bool InsidePolygon(const std::vector<P>& points, float u, float v)
    {
        bool inside = false;
        for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
            const P& a = points[i];
            const P& b = points[j];
            if ((a.y > v) != (b.y > v) && u < (b.x - a.x) * (v - a.y) / (b.y - a.y) + a.x)
                inside = !inside;
        }
        return inside;
    }

    static float DistanceToSegment(P a, P b, float u, float v)
    {
        const float dx = b.x - a.x;
        const float dy = b.y - a.y;
        const float length2 = dx * dx + dy * dy;
        const float t = length2 > 0.0f ? std::clamp(((u - a.x) * dx + (v - a.y) * dy) / length2, 0.0f, 1.0f) : 0.0f;
        return std::hypot(u - (a.x + t * dx), v - (a.y + t * dy));
    }

    int32_t m_side;
    float m_scale;
    std::vector<uint32_t> m_argb;
    std::vector<uint8_t> m_mask;
};

// [SECTION] Bases: one picture per family of kinds.

void Arrow(Painter& p, P from, P to, float width, uint32_t colour)
{
    const float dx = to.x - from.x;
    const float dy = to.y - from.y;
    const float length = std::hypot(dx, dy);
    const float ux = dx / length;
    const float uy = dy / length;
    const float head = width * 2.2f;
    const P base = {to.x - ux * head, to.y - uy * head};
    p.Line(from, base, width, colour);
    p.Polygon({to,
               {base.x - uy * head * 0.8f, base.y + ux * head * 0.8f},
               {base.x + uy * head * 0.8f, base.y - ux * head * 0.8f}},
              colour, kNoOutline);
}

void Cube(Painter& p)
{
    p.Polygon({{8, 2}, {14, 5}, {8, 8}, {2, 5}}, kSky);
    p.Polygon({{2, 5}, {8, 8}, {8, 14.5f}, {2, 11.5f}}, kBlue);
    p.Polygon({{8, 8}, {14, 5}, {14, 11.5f}, {8, 14.5f}}, 0x284898);
}

void Speaker(Painter& p)
{
    p.Rect(2, 6, 5, 10.5f, kDark);
    p.Polygon({{4.5f, 6}, {9, 2.5f}, {9, 14}, {4.5f, 10.5f}}, kGrey);
    p.Arc({9, 8.25f}, 3.2f, 1.1f, 300, 60, kInk);
    p.Arc({9, 8.25f}, 5.6f, 1.1f, 305, 55, kInk);
}

void Camera(Painter& p)
{
    p.Rect(3, 3.5f, 7, 6, kDark);
    p.Rect(1.5f, 5, 14.5f, 13, kGrey);
    p.Ellipse(8, 9, 3.2f, 3.2f, kInk, kInk);
    p.Ellipse(8, 9, 2.2f, 2.2f, kSky);
    p.Rect(11.5f, 6, 13.5f, 7.5f, kYellow, kNoOutline);
}

void FormulaSheet(Painter& p)
{
    p.Polygon({{3, 1.5f}, {11, 1.5f}, {13.5f, 4}, {13.5f, 14.5f}, {3, 14.5f}}, kWhite);
    p.Line({5, 5}, {9, 5}, 1.2f, kBlue);
    p.Line({7, 3}, {7, 7}, 1.2f, kBlue);
    p.Line({5, 9.5f}, {11.5f, 9.5f}, 1.1f, kRed);
    p.Line({5, 12}, {11.5f, 12}, 1.1f, kRed);
}

void CallbackBox(Painter& p)
{
    p.Rect(2, 6, 10, 14, kOrange);
    p.Arc({9, 6}, 4, 1.4f, 0, 180, kBlue);
    p.Polygon({{3, 6.5f}, {7, 6.5f}, {5, 9.5f}}, kBlue, kNoOutline);
}

void Axes(Painter& p)
{
    Arrow(p, {4, 12}, {15, 12}, 1.4f, kRed);
    Arrow(p, {4, 12}, {4, 1}, 1.4f, kGreen);
    Arrow(p, {4, 12}, {12, 4}, 1.4f, kBlue);
}

void Hierarchy(Painter& p)
{
    p.Line({8, 5}, {8, 8}, 1, kInk);
    p.Line({3.5f, 8}, {12.5f, 8}, 1, kInk);
    p.Line({3.5f, 8}, {3.5f, 10}, 1, kInk);
    p.Line({12.5f, 8}, {12.5f, 10}, 1, kInk);
    p.Rect(5, 1, 11, 6, kYellow);
    p.Rect(1, 10, 7, 15, kSky);
    p.Rect(9, 10, 15, 15, kSky);
}

void Pointer(Painter& p)
{
    p.Polygon({{3, 1}, {3, 13}, {6, 10.5f}, {8.5f, 15}, {10.5f, 14}, {8.2f, 9.5f}, {12, 9.5f}}, kWhite);
}

void Particles(Painter& p)
{
    p.Polygon({{1.5f, 11}, {5, 11}, {5, 15}, {1.5f, 15}}, kDark);
    const P dots[] = {{7, 9}, {9.5f, 6}, {12.5f, 3.5f}, {11.5f, 9}, {6, 4.5f}, {14, 7}, {9, 12}};
    for (const P& d : dots)
        p.Ellipse(d.x, d.y, 1.4f, 1.4f, kOrange);
}

void Sphere(Painter& p, uint32_t colour)
{
    p.Ellipse(8, 8, 6.5f, 6.5f, colour);
    p.Ellipse(6, 5.5f, 2.2f, 1.6f, kWhite, kNoOutline);
}

void Folder(Painter& p)
{
    p.Polygon({{1.5f, 4}, {6, 4}, {7.5f, 5.5f}, {14.5f, 5.5f}, {14.5f, 13.5f}, {1.5f, 13.5f}}, kYellow);
    p.Polygon({{1.5f, 13.5f}, {3.5f, 7.5f}, {15, 7.5f}, {14.5f, 13.5f}}, 0xF8E890);
}

void Globe(Painter& p)
{
    p.Ellipse(8, 8, 6.5f, 6.5f, kSky);
    p.Polygon({{4, 4.5f}, {8, 3.5f}, {8.5f, 7}, {6, 9.5f}, {3.5f, 8}}, kGreen, kNoOutline);
    p.Polygon({{9.5f, 9}, {13, 8.5f}, {12, 12.5f}, {9.5f, 13}}, kGreen, kNoOutline);
    p.Arc({8, 8}, 6.5f, 1, 0, 360, kInk);
}

void Bullseye(Painter& p)
{
    p.Ellipse(8, 8, 6.5f, 6.5f, kWhite);
    p.Ellipse(8, 8, 4.5f, 4.5f, kRed);
    p.Ellipse(8, 8, 2.2f, 2.2f, kWhite);
}

void Checker(Painter& p)
{
    p.Rect(2, 2, 14, 14, kWhite);
    p.Shape(
        [](float u, float v) {
            return u >= 3 && u < 13 && v >= 3 && v < 13 &&
                   ((static_cast<int>((u - 3) / 2.5f) + static_cast<int>((v - 3) / 2.5f)) & 1);
        },
        kPurple, kNoOutline);
}

void Monitor(Painter& p)
{
    p.Rect(5.5f, 11.5f, 10.5f, 14.5f, kGrey);
    p.Rect(1.5f, 2, 14.5f, 12, kGrey);
    p.Rect(3, 3.5f, 13, 10.5f, kBlue);
}

void KeyframeTrack(Painter& p)
{
    p.Rect(1, 6, 15, 10, kLight);
    for (const float x : {3.5f, 8.0f, 12.5f})
        p.Polygon({{x, 4}, {x + 2, 8}, {x, 12}, {x - 2, 8}}, kYellow);
}

void VertexMesh(Painter& p)
{
    p.Polygon({{8, 1.5f}, {14.5f, 13.5f}, {1.5f, 13.5f}}, kSky);
    p.Line({4.75f, 7.5f}, {11.25f, 7.5f}, 1, kInk);
    p.Line({4.75f, 7.5f}, {8, 13.5f}, 1, kInk);
    p.Line({11.25f, 7.5f}, {8, 13.5f}, 1, kInk);
    for (const P& d : {P{8, 2}, P{4.75f, 7.5f}, P{11.25f, 7.5f}, P{2, 13}, P{8, 13.5f}, P{14, 13}})
        p.Ellipse(d.x, d.y, 1.2f, 1.2f, kRed, kNoOutline);
}

void Bolt(Painter& p, float dx = 0)
{
    p.Polygon({{9 + dx, 1}, {3 + dx, 9}, {7 + dx, 9}, {5 + dx, 15}, {12 + dx, 6.5f}, {8 + dx, 6.5f}, {11 + dx, 1}},
              kYellow);
}

void Gear(Painter& p)
{
    p.Shape(
        [](float u, float v) {
            const float d = std::hypot(u - 8, v - 8);
            const float angle = std::atan2(v - 8, u - 8) * 57.29578f + 180.0f;
            const bool tooth = std::fmod(angle + 11.25f, 45.0f) < 22.5f;
            return d >= 2 && (d <= 4.8f || (tooth && d <= 6.8f));
        },
        kGrey);
}

void Bell(Painter& p)
{
    p.Polygon({{8, 1.5f}, {11.5f, 4}, {12, 10}, {14, 12.5f}, {2, 12.5f}, {4, 10}, {4.5f, 4}}, kYellow);
    p.Ellipse(8, 14, 1.6f, 1.3f, kBrown);
}

void Landscape(Painter& p)
{
    p.Rect(1, 2, 15, 14, kSky);
    p.Polygon({{1.5f, 13.5f}, {6, 6}, {9, 10}, {11, 8}, {14.5f, 13.5f}}, kGreen, kNoOutline);
    p.Ellipse(11.5f, 5, 1.6f, 1.6f, kYellow, kNoOutline);
}

void Arcball(Painter& p)
{
    Sphere(p, kSky);
    p.Arc({8, 8}, 4.2f, 1.2f, 200, 110, kBlue);
    p.Polygon({{10.5f, 2.5f}, {13.5f, 5}, {10, 6.5f}}, kBlue, kNoOutline);
}

void Link(Painter& p)
{
    p.Arc({5.5f, 10.5f}, 3, 1.6f, 0, 360, kGrey);
    p.Arc({10.5f, 5.5f}, 3, 1.6f, 0, 360, kGrey);
    p.Line({6.5f, 9.5f}, {9.5f, 6.5f}, 1.4f, kDark);
}

void Document(Painter& p)
{
    p.Polygon({{3, 1.5f}, {10, 1.5f}, {13, 4.5f}, {13, 14.5f}, {3, 14.5f}}, kWhite);
    for (const float y : {6.0f, 8.5f, 11.0f})
        p.Line({5, y}, {11, y}, 1, kGrey);
}

void Envelope(Painter& p)
{
    p.Rect(1.5f, 4, 14.5f, 12.5f, kWhite);
    p.Line({2, 4.5f}, {8, 9}, 1, kInk);
    p.Line({14, 4.5f}, {8, 9}, 1, kInk);
}

void Eye(Painter& p, bool open)
{
    p.Shape(
        [](float u, float v) {
            const float du = (u - 8) / 7;
            return std::fabs(v - 8) <= 4.2f * (1 - du * du);
        },
        open ? kWhite : kLight);
    if (open) {
        p.Ellipse(8, 8, 2.6f, 2.6f, kBlue);
        p.Ellipse(8, 8, 1.1f, 1.1f, kInk, kNoOutline);
    } else {
        p.Line({1.5f, 8}, {14.5f, 8}, 1.2f, kInk);
        p.Line({2.5f, 14}, {13.5f, 2}, 1.6f, kRed);
    }
}

void Gradient(Painter& p)
{
    p.Rect(2, 2, 14, 14, kWhite);
    p.Shape([](float u, float v) { return u >= 3 && u < 13 && v >= 3 && v < 13 && u + v < 14; }, kYellow, kNoOutline);
    p.Shape([](float u, float v) { return u >= 3 && u < 13 && v >= 3 && v < 13 && u + v >= 14 && u + v < 20; }, kOrange,
            kNoOutline);
    p.Shape([](float u, float v) { return u >= 3 && u < 13 && v >= 3 && v < 13 && u + v >= 20; }, kRed, kNoOutline);
}

void Diamond(Painter& p, uint32_t colour)
{
    p.Polygon({{8, 1}, {15, 8}, {8, 15}, {1, 8}}, colour);
}

void Rotation(Painter& p)
{
    p.Arc({8, 8}, 5, 1.8f, 110, 20, kBlue);
    p.Polygon({{11, 3.5f}, {15, 8.5f}, {9.5f, 8.5f}}, kBlue, kNoOutline);
}

void Translation(Painter& p)
{
    Arrow(p, {8, 8}, {15, 8}, 1.4f, kBlue);
    Arrow(p, {8, 8}, {1, 8}, 1.4f, kBlue);
    Arrow(p, {8, 8}, {8, 1}, 1.4f, kBlue);
    Arrow(p, {8, 8}, {8, 15}, 1.4f, kBlue);
}

void Scaling(Painter& p)
{
    p.Rect(2, 7, 9, 14, kSky);
    Arrow(p, {5.5f, 10.5f}, {14.5f, 1.5f}, 1.4f, kBlue);
}

void QueueList(Painter& p)
{
    for (const float y : {2.0f, 6.5f, 11.0f})
        p.Rect(1.5f, y, 13, y + 3.5f, kSky);
}

void Glasses(Painter& p)
{
    p.Line({1, 6}, {15, 6}, 1.2f, kInk);
    p.Ellipse(4.8f, 9, 3.4f, 3, kRed);
    p.Ellipse(11.2f, 9, 3.4f, 3, kTeal);
}

void Note(Painter& p)
{
    p.Line({10, 2}, {10, 11}, 1.3f, kInk);
    p.Polygon({{10, 1.5f}, {14, 3.5f}, {14, 6}, {10, 4.5f}}, kInk, kNoOutline);
    p.Ellipse(7.5f, 11.5f, 3, 2.2f, kPurple);
}

void Flag(Painter& p)
{
    p.Line({3, 1.5f}, {3, 15}, 1.4f, kBrown);
    p.Polygon({{3.5f, 2}, {14, 4.5f}, {3.5f, 8.5f}}, kGreen);
}

void StopSign(Painter& p)
{
    p.Polygon({{5.5f, 1.5f},
               {10.5f, 1.5f},
               {14.5f, 5.5f},
               {14.5f, 10.5f},
               {10.5f, 14.5f},
               {5.5f, 14.5f},
               {1.5f, 10.5f},
               {1.5f, 5.5f}},
              kRed);
    p.Rect(4, 7, 12, 9, kWhite, kNoOutline);
}

void Clock(Painter& p)
{
    p.Ellipse(8, 8, 6.5f, 6.5f, kWhite);
    p.Line({8, 8}, {8, 3.5f}, 1.2f, kInk);
    p.Line({8, 8}, {11.5f, 8}, 1.2f, kRed);
}

// The mouse with one button pressed: 0 left, 1 middle, 2 right. The mouse leans away from the pressed side, where
// rays show the click.
void Mouse(Painter& p, int button)
{
    const float cx = 8 + (1 - static_cast<float>(button)) * 1.5f;
    p.Ellipse(cx, 9.5f, 4.8f, 5.8f, kLight);
    const float x0 = cx + (button == 0 ? -5.0f : button == 1 ? -1.2f : 1.2f);
    const float x1 = cx + (button == 0 ? -1.2f : button == 1 ? 1.2f : 5.0f);
    p.Shape(
        [=](float u, float v) {
            const float du = (u - cx) / 4.8f;
            const float dv = (v - 9.5f) / 5.8f;
            return du * du + dv * dv <= 1 && u >= x0 && u < x1 && v < 9;
        },
        kRed);
    p.Line({cx - 4.5f, 9}, {cx + 4.5f, 9}, 1, kInk);
    const float rx = (x0 + x1) / 2 + (button == 0 ? -1.5f : button == 2 ? 1.5f : 0);
    p.Line({rx, 3}, {rx, 0.8f}, 1.2f, kRed);
    p.Line({rx - 2.2f, 3.4f}, {rx - 3.6f, 1.8f}, 1.2f, kRed);
    p.Line({rx + 2.2f, 3.4f}, {rx + 3.6f, 1.8f}, 1.2f, kRed);
}

void Key(Painter& p, bool down)
{
    const float shift = down ? 1.5f : 0;
    p.Rect(1.5f, 2 + shift, 14.5f, 14.5f, down ? kGrey : kWhite);
    p.Rect(3, 3 + shift, 13, 11 + shift * 0.5f, down ? kLight : kWhite);
    Arrow(p, {8, down ? 4.5f : 10.5f}, {8, down ? 10.5f : 4.5f}, 1.6f, down ? kBlue : kGreen);
}

void Star(Painter& p)
{
    std::vector<P> points;
    for (int i = 0; i < 10; ++i) {
        const float angle = -1.5708f + static_cast<float>(i) * 0.6283f;
        const float r = (i & 1) ? 2.8f : 7;
        points.push_back({8 + r * std::cos(angle), 8.5f + r * std::sin(angle)});
    }
    p.Polygon(points, kYellow);
}

void FilmStrip(Painter& p)
{
    p.Rect(2, 1, 14, 15, kDark);
    for (const float y : {2.0f, 5.5f, 9.0f, 12.5f}) {
        p.Rect(2.8f, y, 4.2f, y + 1.5f, kWhite, kNoOutline);
        p.Rect(11.8f, y, 13.2f, y + 1.5f, kWhite, kNoOutline);
    }
    p.Rect(5.5f, 2.5f, 10.5f, 7.5f, kSky, kNoOutline);
    p.Rect(5.5f, 8.5f, 10.5f, 13.5f, kSky, kNoOutline);
}

void Cone(Painter& p)
{
    p.Polygon({{8, 1.5f}, {14, 12}, {2, 12}}, kOrange);
    p.Ellipse(8, 12, 6, 2.5f, kOrange);
}

void Cylinder(Painter& p)
{
    p.Rect(3, 4, 13, 12.5f, kTeal);
    p.Ellipse(8, 12.5f, 5, 2, kTeal);
    p.Ellipse(8, 4, 5, 2, 0x80E0E0);
}

void Torus(Painter& p)
{
    p.Shape(
        [](float u, float v) {
            const float du = (u - 8) / 7;
            const float dv = (v - 8) / 4.5f;
            const float d = du * du + dv * dv;
            return d <= 1 && d >= 0.25f;
        },
        kPurple);
}

void Pin(Painter& p, uint32_t colour, int shape)
{
    p.Line({8, 9}, {8, 15}, 1.4f, kDark);
    switch (shape % 3) {
    case 0:
        p.Ellipse(8, 6, 5.5f, 5.5f, colour);
        break;
    case 1:
        p.Rect(2.5f, 1, 13.5f, 11, colour);
        break;
    default:
        p.Polygon({{8, 0.5f}, {14.5f, 11.5f}, {1.5f, 11.5f}}, colour);
        break;
    }
}

// [SECTION] Badges: the mark that tells apart the kinds of one family.
enum class Badge { kPlay, kStop, kJump, kPlus, kMinus, kCheck, kReset, kSwap, kToggle, kEye, kCross, kTarget };

void DrawBadge(Painter& p, Badge badge)
{
    constexpr float cx = 11.3f;
    constexpr float cy = 11.3f;
    constexpr float r = 4.4f;
    static constexpr uint32_t kColours[] = {kGreen,  kRed,    kBlue,  kTeal,  kOrange, kOlive,
                                            kYellow, kPurple, kGreen, kWhite, kDark,   kWhite};
    const uint32_t colour = kColours[static_cast<int>(badge)];
    p.Ellipse(cx, cy, r, r, colour);
    switch (badge) {
    case Badge::kPlay:
        p.Polygon({{9.6f, 8.8f}, {9.6f, 13.8f}, {13.8f, 11.3f}}, kWhite, kNoOutline);
        break;
    case Badge::kStop:
        p.Rect(9.3f, 9.3f, 13.3f, 13.3f, kWhite, kNoOutline);
        break;
    case Badge::kJump:
        p.Polygon({{9, 9}, {9, 13.6f}, {12, 11.3f}}, kWhite, kNoOutline);
        p.Rect(12.3f, 9, 13.6f, 13.6f, kWhite, kNoOutline);
        break;
    case Badge::kPlus:
        p.Rect(8.6f, 10.6f, 14, 12, kWhite, kNoOutline);
        p.Rect(10.6f, 8.6f, 12, 14, kWhite, kNoOutline);
        break;
    case Badge::kMinus:
        p.Rect(8.6f, 10.4f, 14, 12.2f, kWhite, kNoOutline);
        break;
    case Badge::kCheck:
        p.Line({9, 11.5f}, {10.8f, 13.3f}, 1.3f, kWhite);
        p.Line({10.8f, 13.3f}, {13.8f, 9}, 1.3f, kWhite);
        break;
    case Badge::kReset:
        p.Arc({cx, cy}, 2.3f, 1.2f, 100, 20, kInk);
        p.Polygon({{12.2f, 7.8f}, {14.6f, 10.6f}, {11.2f, 11}}, kInk, kNoOutline);
        break;
    case Badge::kSwap:
        p.Line({8.8f, 10}, {13.8f, 10}, 1.1f, kWhite);
        p.Line({8.8f, 12.6f}, {13.8f, 12.6f}, 1.1f, kWhite);
        p.Polygon({{13, 8.6f}, {14.8f, 10}, {13, 11.4f}}, kWhite, kNoOutline);
        p.Polygon({{9.6f, 11.2f}, {7.8f, 12.6f}, {9.6f, 14}}, kWhite, kNoOutline);
        break;
    case Badge::kToggle:
        p.Shape([=](float u, float v) { return std::hypot(u - cx, v - cy) < r - 0.8f && u >= cx; }, kRed, kNoOutline);
        break;
    case Badge::kEye:
        p.Ellipse(cx, cy, 2.6f, 1.6f, kBlue, kNoOutline);
        p.Ellipse(cx, cy, 0.9f, 0.9f, kInk, kNoOutline);
        break;
    case Badge::kCross:
        p.Line({9.5f, 9.5f}, {13.1f, 13.1f}, 1.3f, kWhite);
        p.Line({13.1f, 9.5f}, {9.5f, 13.1f}, 1.3f, kWhite);
        break;
    case Badge::kTarget:
        p.Arc({cx, cy}, 2.2f, 1, 0, 360, kRed);
        p.Line({cx, 8}, {cx, 14.6f}, 0.9f, kRed);
        p.Line({8, cy}, {14.6f, cy}, 0.9f, kRed);
        break;
    }
}

// [SECTION] The table: every picture id, what it shows and how it is drawn.
using Draw = void (*)(Painter&);

struct Picture {
    uint32_t id;
    const char* name;
    Draw draw;
    bool disabled;
};

const Picture kPictures[] = {
    // Events, and their second picture for an event switched off in the editor.
    {342, "world started", [](Painter& p) { Flag(p); }, false},
    {149, "world stopped", [](Painter& p) { StopSign(p); }, false},
    {226, "timer", [](Painter& p) { Clock(p); }, false},
    {151, "left click on object", [](Painter& p) { Mouse(p, 0); }, false},
    {233, "middle click on object", [](Painter& p) { Mouse(p, 1); }, false},
    {234, "right click on object", [](Painter& p) { Mouse(p, 2); }, false},
    {140, "motion finished",
     [](Painter& p) {
         Rotation(p);
         DrawBadge(p, Badge::kCheck);
     },
     false},
    {178, "sound finished",
     [](Painter& p) {
         Note(p);
         DrawBadge(p, Badge::kCheck);
     },
     false},
    {199, "key pressed", [](Painter& p) { Key(p, true); }, false},
    {201, "key released", [](Painter& p) { Key(p, false); }, false},
    {297, "custom event", [](Painter& p) { Star(p); }, false},
    {301, "every frame step", [](Painter& p) { FilmStrip(p); }, false},
    {171, "timer, off", [](Painter& p) { Clock(p); }, true},
    {152, "left click on object, off", [](Painter& p) { Mouse(p, 0); }, true},
    {257, "middle click on object, off", [](Painter& p) { Mouse(p, 1); }, true},
    {258, "right click on object, off", [](Painter& p) { Mouse(p, 2); }, true},
    {165, "motion finished, off",
     [](Painter& p) {
         Rotation(p);
         DrawBadge(p, Badge::kCheck);
     },
     true},
    {179, "sound finished, off",
     [](Painter& p) {
         Note(p);
         DrawBadge(p, Badge::kCheck);
     },
     true},
    {200, "key pressed, off", [](Painter& p) { Key(p, true); }, true},
    {202, "key released, off", [](Painter& p) { Key(p, false); }, true},
    {298, "custom event, off", [](Painter& p) { Star(p); }, true},
    {303, "every frame step, off", [](Painter& p) { FilmStrip(p); }, true},
    // Objects.
    {158, "mesh", [](Painter& p) { Cube(p); }, false},
    {174, "sound", [](Painter& p) { Speaker(p); }, false},
    {229, "camera", [](Painter& p) { Camera(p); }, false},
    {272, "expression", [](Painter& p) { FormulaSheet(p); }, false},
    {287, "Java callback", [](Painter& p) { CallbackBox(p); }, false},
    {295, "transform node", [](Painter& p) { Axes(p); }, false},
    {294, "root", [](Painter& p) { Hierarchy(p); }, false},
    {426, "cursor", [](Painter& p) { Pointer(p); }, false},
    {429, "particle system", [](Painter& p) { Particles(p); }, false},
    {445, "material", [](Painter& p) { Sphere(p, kRed); }, false},
    {450, "group", [](Painter& p) { Folder(p); }, false},
    {458, "unassigned object (diamond)", [](Painter& p) { Diamond(p, kGreen); }, false},
    {466, "loaded world", [](Painter& p) { Globe(p); }, false},
    {468, "unassigned object (cone)", [](Painter& p) { Cone(p); }, false},
    {473, "unassigned object (cylinder)", [](Painter& p) { Cylinder(p); }, false},
    {523, "hot spot", [](Painter& p) { Bullseye(p); }, false},
    {147, "texture", [](Painter& p) { Checker(p); }, false},
    {205, "targeted camera",
     [](Painter& p) {
         Camera(p);
         DrawBadge(p, Badge::kTarget);
     },
     false},
    {207, "screen", [](Painter& p) { Monitor(p); }, false},
    {284, "unassigned object (ring)", [](Painter& p) { Torus(p); }, false},
    // Actions; 158 (the mesh) also opens the action list.
    {142, "animation play",
     [](Painter& p) {
         KeyframeTrack(p);
         DrawBadge(p, Badge::kPlay);
     },
     false},
    {143, "animation stop, stop motions",
     [](Painter& p) {
         KeyframeTrack(p);
         DrawBadge(p, Badge::kStop);
     },
     false},
    {144, "activate event",
     [](Painter& p) {
         Bolt(p);
         DrawBadge(p, Badge::kPlus);
     },
     false},
    {145, "deactivate event",
     [](Painter& p) {
         Bolt(p);
         DrawBadge(p, Badge::kMinus);
     },
     false},
    {146, "other action", [](Painter& p) { Gear(p); }, false},
    {159, "play sound",
     [](Painter& p) {
         Speaker(p);
         DrawBadge(p, Badge::kPlay);
     },
     false},
    {160, "stop sound",
     [](Painter& p) {
         Speaker(p);
         DrawBadge(p, Badge::kStop);
     },
     false},
    {161, "select camera",
     [](Painter& p) {
         Camera(p);
         DrawBadge(p, Badge::kCheck);
     },
     false},
    {162, "animation jump to",
     [](Painter& p) {
         KeyframeTrack(p);
         DrawBadge(p, Badge::kJump);
     },
     false},
    {163, "set background", [](Painter& p) { Landscape(p); }, false},
    {166, "mouse interaction", [](Painter& p) { Arcball(p); }, false},
    {168, "load URL", [](Painter& p) { Link(p); }, false},
    {169, "load published world",
     [](Painter& p) {
         Document(p);
         DrawBadge(p, Badge::kPlay);
     },
     false},
    {172, "hide object", [](Painter& p) { Eye(p, false); }, false},
    {173, "show object", [](Painter& p) { Eye(p, true); }, false},
    {183, "bilinear filtering", [](Painter& p) { Gradient(p); }, false},
    {190, "condition test",
     [](Painter& p) {
         Diamond(p, kYellow);
         p.Ellipse(8, 8, 1.6f, 1.6f, kInk);
     },
     false},
    {191, "execute expression",
     [](Painter& p) {
         FormulaSheet(p);
         DrawBadge(p, Badge::kPlay);
     },
     false},
    {208, "rotation", [](Painter& p) { Rotation(p); }, false},
    {209, "translation", [](Painter& p) { Translation(p); }, false},
    {211, "queue actions",
     [](Painter& p) {
         QueueList(p);
         DrawBadge(p, Badge::kPlay);
     },
     false},
    {212, "stop queued actions",
     [](Painter& p) {
         QueueList(p);
         DrawBadge(p, Badge::kStop);
     },
     false},
    {220, "Java callback action",
     [](Painter& p) {
         CallbackBox(p);
         DrawBadge(p, Badge::kPlay);
     },
     false},
    {251, "unassigned action",
     [](Painter& p) {
         Gear(p);
         DrawBadge(p, Badge::kJump);
     },
     false},
    {253, "stop rotation",
     [](Painter& p) {
         Rotation(p);
         DrawBadge(p, Badge::kStop);
     },
     false},
    {254, "stop translation",
     [](Painter& p) {
         Translation(p);
         DrawBadge(p, Badge::kStop);
     },
     false},
    {274, "system beep", [](Painter& p) { Bell(p); }, false},
    {273, "reset object",
     [](Painter& p) {
         Cube(p);
         DrawBadge(p, Badge::kReset);
     },
     false},
    {276, "toggle event activation",
     [](Painter& p) {
         Bolt(p);
         DrawBadge(p, Badge::kToggle);
     },
     false},
    {275, "trigger event",
     [](Painter& p) {
         Bolt(p);
         DrawBadge(p, Badge::kPlay);
     },
     false},
    {277, "reset event",
     [](Painter& p) {
         Bolt(p);
         DrawBadge(p, Badge::kReset);
     },
     false},
    {304, "stereo vision", [](Painter& p) { Glasses(p); }, false},
    {337, "swap two events' activation",
     [](Painter& p) {
         Bolt(p, -2);
         DrawBadge(p, Badge::kSwap);
     },
     false},
    {355, "set mouse pointer",
     [](Painter& p) {
         Pointer(p);
         DrawBadge(p, Badge::kSwap);
     },
     false},
    {377, "send message to the host", [](Painter& p) { Envelope(p); }, false},
    {440, "node animation play",
     [](Painter& p) {
         VertexMesh(p);
         DrawBadge(p, Badge::kPlay);
     },
     false},
    {438, "node animation jump to",
     [](Painter& p) {
         VertexMesh(p);
         DrawBadge(p, Badge::kJump);
     },
     false},
    {441, "start particle emission",
     [](Painter& p) {
         Particles(p);
         DrawBadge(p, Badge::kPlay);
     },
     false},
    {442, "stop particle emission",
     [](Painter& p) {
         Particles(p);
         DrawBadge(p, Badge::kStop);
     },
     false},
    {463, "load world",
     [](Painter& p) {
         Globe(p);
         DrawBadge(p, Badge::kPlus);
     },
     false},
    {464, "unload world",
     [](Painter& p) {
         Globe(p);
         DrawBadge(p, Badge::kMinus);
     },
     false},
    {467, "scale", [](Painter& p) { Scaling(p); }, false},
    {476, "hide/show world",
     [](Painter& p) {
         Globe(p);
         DrawBadge(p, Badge::kEye);
     },
     false},
    {188, "action without a catalogue entry",
     [](Painter& p) {
         Gear(p);
         DrawBadge(p, Badge::kCross);
     },
     false},
    // The scene-file list, the trackball's axes and the tree's overlay mark, the spare small and six-icon lists.
    {498, "scene file",
     [](Painter& p) {
         Document(p);
         Cube(p);
     },
     false},
    {305, "X axis",
     [](Painter& p) {
         Arrow(p, {1.5f, 8}, {15, 8}, 2.2f, kRed);
     },
     false},
    {306, "Y axis",
     [](Painter& p) {
         Arrow(p, {8, 15}, {8, 1}, 2.2f, kGreen);
     },
     false},
    {307, "Z axis",
     [](Painter& p) {
         Arrow(p, {13.5f, 2.5f}, {2, 14}, 2.2f, kBlue);
     },
     false},
    {356, "scale mark",
     [](Painter& p) {
         p.Rect(1, 9, 6, 14.5f, kWhite);
         Arrow(p, {3, 12}, {7.5f, 7.5f}, 1.2f, kInk);
     },
     false},
    {296, "unassigned small (dot)", [](Painter& p) { p.Ellipse(8, 8, 4, 4, kGreen); }, false},
    {299, "unassigned small (triangle)",
     [](Painter& p) {
         p.Polygon({{8, 3}, {13, 13}, {3, 13}}, kYellow);
     },
     false},
    {300, "unassigned small (square)", [](Painter& p) { p.Rect(3.5f, 3.5f, 12.5f, 12.5f, kBlue); }, false},
    {359, "unassigned (sphere)", [](Painter& p) { Sphere(p, kGreen); }, false},
    {373, "unassigned (cone)", [](Painter& p) { Cone(p); }, false},
    {371, "unassigned (cylinder)", [](Painter& p) { Cylinder(p); }, false},
    {372, "unassigned (ring)", [](Painter& p) { Torus(p); }, false},
    {374, "unassigned (diamond)", [](Painter& p) { Diamond(p, kPurple); }, false},
    {358, "unassigned (cube)", [](Painter& p) { Cube(p); }, false},
    // Markers: a pin each, told apart by colour and head.
    {362, "marker 1", [](Painter& p) { Pin(p, kRed, 0); }, false},
    {363, "marker 2", [](Painter& p) { Pin(p, kGreen, 1); }, false},
    {364, "marker 3", [](Painter& p) { Pin(p, kBlue, 2); }, false},
    {365, "marker 4", [](Painter& p) { Pin(p, kYellow, 0); }, false},
    {366, "marker 5", [](Painter& p) { Pin(p, kPurple, 1); }, false},
    {367, "marker 6", [](Painter& p) { Pin(p, kOrange, 2); }, false},
    {368, "marker 7", [](Painter& p) { Pin(p, kTeal, 0); }, false},
    {369, "marker 8", [](Painter& p) { Pin(p, kWhite, 1); }, false},
    {370, "marker 9", [](Painter& p) { Pin(p, kBrown, 2); }, false},
};

const Picture* Find(uint32_t id)
{
    for (const Picture& picture : kPictures)
        if (picture.id == id)
            return &picture;
    return nullptr;
}

} // namespace

pf::IconRef DrawEditorIcon(uint32_t id, int32_t side)
{
    const Picture* picture = Find(id);
    if (picture == nullptr || side < 8 || side > pf::Icon::kMaxSide)
        return nullptr;
    Painter painter(side);
    picture->draw(painter);
    if (picture->disabled)
        painter.Disable();
    return std::move(painter).Finish();
}

std::string_view EditorIconName(uint32_t id)
{
    const Picture* picture = Find(id);
    return picture != nullptr ? picture->name : std::string_view();
}

pf::IconRef DrawDragCursorPicture()
{
    Painter painter(32);
    painter.Rect(6, 6, 14, 14, kWhite);
    painter.Rect(3.5f, 3.5f, 11.5f, 11.5f, kWhite);
    painter.Polygon({{0.6f, 0.6f}, {0.6f, 7}, {2.2f, 5.5f}, {3.4f, 8}, {4.6f, 7.4f}, {3.4f, 5}, {5.6f, 5}}, kWhite);
    return std::move(painter).Finish({1, 1});
}
