#include "render/software/rasteriser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "render/software/direct_draw.h"
#include "render/software/span_writer.h"
#include "testsupport/render/raster_host.h"

namespace {

using testsupport::PackVertices;
using testsupport::PrimitiveList;
using testsupport::RasterTestHost;
using testsupport::ScreenVertex;

struct Point {
    double x;
    double y;
};
using Tri = std::array<Point, 3>;

// Pipeline 24 with vertex alpha: colour 1 + 0 blended over the frame with alpha 0 adds 1 per hit.
SWtexturestages CountingFormat()
{
    SWtexturestages format;
    testsupport::SetVertexLayout(format, 2, 0);
    format.combineMode = 3;
    format.vertexAlpha = 1;
    return format;
}

class CountingDraw {
public:
    explicit CountingDraw(int32_t width = 96, int32_t height = 80) : host(width, height)
    {
        rasteriser.Create(&host);
        format = CountingFormat();
    }

    // Clockwise triangles as given; each is drawn through the queue path.
    void Draw(const std::vector<Tri>& tris, float w = 1.0f)
    {
        std::vector<ScreenVertex> vertices;
        for (const Tri& tri : tris) {
            for (const Point& p : tri) {
                ScreenVertex v;
                v.x = static_cast<float>(p.x);
                v.y = static_cast<float>(p.y);
                v.w = w;
                v.colours[0] = 1;
                vertices.push_back(v);
            }
        }
        words = PackVertices(format, vertices);
        PrimitiveList list;
        for (size_t i = 0; i < tris.size(); ++i)
            list.Add(&format, words.data() + 3 * i * format.vertexStride);
        rasteriser.DrawPrimitives(list.First());
    }
    uint32_t At(int32_t x, int32_t y) const { return host.Pixel(x, y); }
    std::vector<int32_t> RowsDrawn()
    {
        std::vector<int32_t> rows;
        for (int32_t y = 0; y < host.Buffer().Height(); ++y) {
            for (int32_t x = 0; x < host.Buffer().Width(); ++x) {
                if (At(x, y) != 0) {
                    rows.push_back(y);
                    break;
                }
            }
        }
        return rows;
    }
    uint64_t TotalHits()
    {
        uint64_t sum = 0;
        for (int32_t y = 0; y < host.Buffer().Height(); ++y)
            for (int32_t x = 0; x < host.Buffer().Width(); ++x)
                sum += At(x, y);
        return sum;
    }

    RasterTestHost host;
    SWrasteriser rasteriser;
    SWtexturestages format;
    std::vector<uint32_t> words;
};

double Area(const Tri& t)
{
    return (t[2].y - t[0].y) * (t[1].x - t[0].x) - (t[2].x - t[0].x) * (t[1].y - t[0].y);
}

Tri Clockwise(Tri t)
{
    if (Area(t) < 0)
        std::swap(t[1], t[2]);
    return t;
}

TEST(RasterCoverage, RowRulesAtTheTopAndBottom)
{
    struct Case {
        double top, bottom;
        std::vector<int32_t> rows;
    } cases[] = {
        {2.4, 9.0, {2, 3, 4, 5, 6, 7, 8}},
        {2.6, 9.0, {3, 4, 5, 6, 7, 8}},
        {2.2, 2.5, {2}},
        {2.6, 3.4, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.top);
        CountingDraw draw;
        draw.Draw({Clockwise({Point{10, c.top}, Point{60, c.bottom}, Point{0, c.bottom}})});
        EXPECT_EQ(draw.RowsDrawn(), c.rows);
    }
}

TEST(RasterCoverage, ThinZeroAndNegativeAreasDrawNothingATinyPositiveOneDraws)
{
    CountingDraw draw;
    draw.Draw({{Point{10.6, 2}, Point{11.4, 20}, Point{10.7, 20}}}); // less than a pixel wide, no centre inside
    draw.Draw({{Point{10, 10}, Point{20, 20}, Point{30, 30}}});      // no area
    draw.Draw({{Point{10, 10}, Point{10, 30}, Point{30, 10}}});      // the other winding
    EXPECT_EQ(draw.TotalHits(), 0u);
    draw.Draw({Clockwise({Point{40.4, 40.4}, Point{40.6, 40.4}, Point{40.5, 40.6}})});
    EXPECT_EQ(draw.TotalHits(), 1u);
    EXPECT_EQ(draw.At(40, 40), 1u);
}

// Random tilings of a rectangle: every pixel whose centre lies in (x0, x1] x (y0, y1] is hit exactly once.
std::vector<Tri> JitteredGrid(std::mt19937& random, Point lo, Point hi, int nx, int ny)
{
    std::uniform_real_distribution<double> jitter(-0.24, 0.24);
    std::vector<std::vector<Point>> grid(nx + 1, std::vector<Point>(ny + 1));
    const double cw = (hi.x - lo.x) / nx, ch = (hi.y - lo.y) / ny;
    auto snap = [&](double v) {
        switch (random() % 4) {
        case 0:
            return std::round(v * 2) / 2; // on half-pixel positions
        case 1:
            return std::floor(v) + 0.5; // through pixel centres
        default:
            return v;
        }
    };
    for (int i = 0; i <= nx; ++i) {
        for (int j = 0; j <= ny; ++j) {
            double x = lo.x + i * cw, y = lo.y + j * ch;
            if (i != 0 && i != nx)
                x = snap(x + jitter(random) * cw);
            if (j != 0 && j != ny)
                y = snap(y + jitter(random) * ch);
            grid[i][j] = {x, y};
        }
    }
    std::vector<Tri> tris;
    for (int i = 0; i < nx; ++i) {
        for (int j = 0; j < ny; ++j) {
            const Point a = grid[i][j], b = grid[i + 1][j], c = grid[i + 1][j + 1], d = grid[i][j + 1];
            // Both diagonals give clockwise triangles while the quad is convex; a folded one is no tiling.
            if (random() % 2 == 0) {
                tris.push_back({a, b, c});
                tris.push_back({a, c, d});
            } else {
                tris.push_back({a, b, d});
                tris.push_back({b, c, d});
            }
        }
    }
    return tris;
}

// A fan from one inner point to many points of the border: long thin slivers.
std::vector<Tri> BorderFan(std::mt19937& random, Point lo, Point hi, int perSide)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Point> border;
    const Point corners[4] = {lo, {hi.x, lo.y}, hi, {lo.x, hi.y}};
    for (int side = 0; side < 4; ++side) {
        const Point a = corners[side], b = corners[(side + 1) % 4];
        std::vector<double> ts{0.0};
        for (int k = 0; k < perSide; ++k)
            ts.push_back(unit(random));
        std::sort(ts.begin(), ts.end());
        for (double t : ts)
            border.push_back({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
    }
    const Point centre{lo.x + (hi.x - lo.x) * (0.2 + 0.6 * unit(random)),
                       lo.y + (hi.y - lo.y) * (0.2 + 0.6 * unit(random))};
    std::vector<Tri> tris;
    for (size_t k = 0; k < border.size(); ++k) {
        const Tri t{centre, border[k], border[(k + 1) % border.size()]};
        if (Area(t) != 0)
            tris.push_back(Clockwise(t));
    }
    return tris;
}

void ExpectExactCover(CountingDraw& draw, Point lo, Point hi)
{
    int wrong = 0;
    for (int32_t y = 0; y < draw.host.Buffer().Height(); ++y) {
        for (int32_t x = 0; x < draw.host.Buffer().Width(); ++x) {
            const double cx = x + 0.5, cy = y + 0.5;
            const uint32_t expected = cx > lo.x && cx <= hi.x && cy > lo.y && cy <= hi.y ? 1 : 0;
            if (draw.At(x, y) != expected && ++wrong <= 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " hit " << draw.At(x, y) << " times";
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(RasterCoverage, RandomTilingsHitEveryPixelOfTheRectangleOnce)
{
    std::mt19937 random(2024);
    std::uniform_real_distribution<double> corner(3.0, 20.0);
    int tilings = 0;
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        Point lo{corner(random), corner(random)};
        Point hi{lo.x + 20 + corner(random) * 3, lo.y + 15 + corner(random) * 2.5};
        if (round % 3 == 0) {
            lo = {std::round(lo.x) + 0.5, std::round(lo.y) + 0.5}; // edges through pixel centres
            hi = {std::round(hi.x) + 0.5, std::round(hi.y)};
        }
        const std::vector<Tri> tris = round % 2 == 0 ? JitteredGrid(random, lo, hi, 2 + round % 7, 1 + round % 5)
                                                     : BorderFan(random, lo, hi, 3 + round % 11);
        if (std::any_of(tris.begin(), tris.end(), [](const Tri& t) { return Area(t) <= 0; }))
            continue;
        ++tilings;
        CountingDraw draw;
        draw.Draw(tris);
        ExpectExactCover(draw, lo, hi);
    }
    EXPECT_GT(tilings, 150);
}

TEST(RasterCoverage, TilingsInPerspectiveCoverTheSameWay)
{
    std::mt19937 random(99);
    const Point lo{4.25, 3.5}, hi{90.5, 76.75};
    CountingDraw draw;
    std::vector<Tri> tris = JitteredGrid(random, lo, hi, 3, 2);
    std::vector<ScreenVertex> vertices;
    for (const Tri& tri : tris) {
        for (const Point& p : tri) {
            ScreenVertex v;
            v.x = static_cast<float>(p.x);
            v.y = static_cast<float>(p.y);
            v.w = static_cast<float>(1.0 + p.y / 10.0); // depth varies: large triangles take the perspective walk
            v.colours[0] = 1;
            vertices.push_back(v);
        }
    }
    const std::vector<uint32_t> words = PackVertices(draw.format, vertices);
    PrimitiveList list;
    for (size_t i = 0; i < tris.size(); ++i)
        list.Add(&draw.format, words.data() + 3 * i * draw.format.vertexStride);
    draw.rasteriser.DrawPrimitives(list.First());
    EXPECT_GT(draw.rasteriser.Stats().perspectiveTriangles, 0u);
    ExpectExactCover(draw, lo, hi);
}

TEST(PipelineIndex, ModesAndLayersOfBothPaths)
{
    SWtexturestages format;
    struct Case {
        uint8_t mode, layers, flags1, flags2;
        int primitives, indexed;
    } cases[] = {
        {3, 0, 0, 0, 24, 24},
        {3, 1, 0, 0, 25, 25},
        {3, 2, 0, 0, 27, 27},
        {3, 3, 0, 0, 27, 27},
        {4, 1, 0, 0, 32, 32},
        {4, 2, 0, 0, 33, 33},
        {4, 2, 8, 0, 34, 34},
        {4, 3, 0, 0, 35, 35},
        {5, 2, 0, 0, 40, 40},
        {5, 3, 0, 0, 41, 41},
        {5, 4, 0, 0, 43, 43},
        // Mode 5 with one free layer: the queue path reads layer 2, the indexed path layer 0.
        {5, 3, 0, 8, 42, 41},
        {5, 1, 0, 0, -1, -1}, // fewer layers than the mode's fixed stages
        {40, 0, 0, 0, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int{c.mode} << " " << int{c.layers});
        format.combineMode = c.mode;
        format.layerCount = c.layers;
        format.layerFlags[0] = 0;
        format.layerFlags[1] = c.flags1;
        format.layerFlags[2] = c.flags2;
        EXPECT_EQ(SWrasteriser::PipelineIndex(format, false), c.primitives);
        EXPECT_EQ(SWrasteriser::PipelineIndex(format, true), c.indexed);
    }
    format.combineMode = 3;
    format.layerCount = 1;
    format.layerFlags[0] = 8;
    EXPECT_EQ(SWrasteriser::PipelineIndex(format, false), 26);
}

TEST(PipelineIndex, UnconfiguredAndOutOfRangeIndicesSkipTheTriangle)
{
    CountingDraw draw;
    for (int index = 0; index < kPipelineCount; ++index) {
        const bool configured =
            (index >= 24 && index <= 27) || (index >= 32 && index <= 35) || (index >= 40 && index <= 43);
        EXPECT_EQ(draw.rasteriser.IsConfigured(index), configured) << index;
    }
    draw.format.combineMode = 2; // index 16: no program
    draw.Draw({Clockwise({Point{10, 10}, Point{50, 10}, Point{10, 50}})});
    draw.format.combineMode = 200; // past the 255 pipelines
    draw.Draw({Clockwise({Point{10, 10}, Point{50, 10}, Point{10, 50}})});
    EXPECT_EQ(draw.TotalHits(), 0u);
    EXPECT_EQ(draw.rasteriser.Stats().skippedTriangles, 2u);
}

TEST(PipelineStages, LayerFilterBitsChooseTheTextureStage)
{
    RasterTestHost host(8, 8);
    SWrasteriser rasteriser;
    rasteriser.Create(&host);
    SWtexturestages format;
    testsupport::SetVertexLayout(format, 2, 1);
    format.combineMode = 3;
    format.layerCount = 1;
    for (uint8_t filter = 0; filter < 4; ++filter) {
        format.layerFlags[0] = filter;
        SWrasterpipeline* pipeline = rasteriser.Pipeline(25);
        pipeline->SetFormat(&format);
        ASSERT_TRUE(pipeline->Prepare());
        const SWstageprogram& program = pipeline->Program();
        ASSERT_EQ(program.CallCount(), 4); // two Gouraud colours, the texture, the multiply-add
        const StageKind expected[] = {StageKind::kNearest, StageKind::kFiltered, StageKind::kFalloff,
                                      StageKind::kFalloffAlso};
        EXPECT_EQ(program.CallKind(2), expected[filter]);
    }
    // Each blend mode's final stages.
    format.layerFlags[0] = 0;
    const int finals[] = {0, 1, 1, 2};
    for (int mode = 0; mode < 4; ++mode) {
        format.vertexAlpha = mode & 1;
        format.flags = (mode & 2) != 0 ? 4 : 0;
        SWrasterpipeline* pipeline = rasteriser.Pipeline(25);
        pipeline->SetFormat(&format);
        ASSERT_TRUE(pipeline->Prepare());
        EXPECT_EQ(pipeline->Program().CallCount(), 4 + finals[mode]) << mode;
    }
}

TEST(SpanWriter, RunsAreCutIntoRecordsOf32AndHandedOverWhenFull)
{
    struct Seen {
        std::vector<std::vector<int32_t>> lists;
    } seen;
    auto flush = [](void* context, const SWspan* spans) {
        std::vector<int32_t> counts;
        for (; spans->pixels != nullptr; ++spans)
            counts.push_back(spans->count);
        static_cast<Seen*>(context)->lists.push_back(counts);
    };
    SWspanwriter writer(flush, &seen);
    std::vector<uint32_t> row(8192);
    writer.AddRun(row.data(), 70, {});
    EXPECT_EQ(writer.PendingCount(), 3);
    writer.Finish();
    ASSERT_EQ(seen.lists.size(), 1u);
    EXPECT_EQ(seen.lists[0], (std::vector<int32_t>{32, 32, 6}));

    // Exactly 128 records hand over at once and leave nothing for the end.
    seen.lists.clear();
    writer.AddRun(row.data(), 128 * 32, {});
    EXPECT_EQ(seen.lists.size(), 1u);
    EXPECT_EQ(seen.lists[0].size(), 128u);
    writer.Finish();
    EXPECT_EQ(seen.lists.size(), 1u);
    writer.AddRun(row.data(), 129 * 32 + 1, {});
    writer.Finish();
    ASSERT_EQ(seen.lists.size(), 3u);
    EXPECT_EQ(seen.lists[2], (std::vector<int32_t>{32, 1}));
}

TEST(SpanWriter, WeightsOfLaterRecordsAdvanceBy32Steps)
{
    std::vector<SWspan> records;
    auto flush = [](void* context, const SWspan* spans) {
        for (; spans->pixels != nullptr; ++spans)
            static_cast<std::vector<SWspan>*>(context)->push_back(*spans);
    };
    SWspanwriter writer(flush, &records);
    std::vector<uint32_t> row(100);
    writer.AddRun(row.data() + 3, 40, {0.25, 0.125, 1.0 / 128, -1.0 / 1024});
    writer.Finish();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].pixels, row.data() + 35);
    EXPECT_EQ(records[1].weights, SWspanwriter::PackWeights(0.25 + 0.25, 0.125 - 1.0 / 32));
    EXPECT_EQ(records[0].steps, records[1].steps);
}

TEST(StageProgram, PassesMergeAdjacentSpansAndNeverPass256Pixels)
{
    RasterTestHost host(400, 2);
    SWrasteriser rasteriser;
    rasteriser.Create(&host);
    SWtexturestages format = CountingFormat();
    SWrasterpipeline* pipeline = rasteriser.Pipeline(24);
    pipeline->SetFormat(&format);
    ASSERT_TRUE(pipeline->Prepare());
    std::vector<uint32_t> v(6 * 3, 0);
    v[4] = v[10] = v[16] = 1;
    const uint32_t* vertices[3] = {v.data(), v.data() + 6, v.data() + 12};
    pipeline->Program().RunSetups(vertices);
    // Runs of 200 and 100 pixels, each as records of at most 32.
    std::vector<SWspan> spans;
    uint32_t* row = host.Buffer().Row(0);
    for (int first : {0, 250}) {
        const int count = first == 0 ? 200 : 100;
        for (int done = 0; done < count; done += 32)
            spans.push_back({row + first + done, std::min(32, count - done), 0, 0});
    }
    spans.push_back(SWspan{});
    const uint64_t before = pipeline->Program().PassCount();
    pipeline->Program().RunSpans(spans.data());
    EXPECT_EQ(pipeline->Program().PassCount() - before, 2u);
    for (int x = 0; x < 400; ++x)
        EXPECT_EQ(row[x], (x < 200 || (x >= 250 && x < 350)) ? 1u : 0u) << x;
    const SWspan sentinel{};
    pipeline->Program().RunSpans(&sentinel);
    EXPECT_EQ(pipeline->Program().PassCount() - before, 2u);
}

TEST(RasteriserDraw, SentinelAloneDrawsNothing)
{
    CountingDraw draw;
    PrimitiveList list;
    draw.rasteriser.DrawPrimitives(list.First());
    draw.rasteriser.Draw(nullptr, list.First());
    EXPECT_EQ(draw.TotalHits(), 0u);
    EXPECT_EQ(draw.rasteriser.Stats().affineTriangles + draw.rasteriser.Stats().skippedTriangles, 0u);
}

// Translucent triangles drawn indexed never write depth; the queue path writes it when the record says so.
TEST(RasteriserDraw, IndexedTranslucentTrianglesNeverWriteDepth)
{
    for (const bool isIndexed : {true, false}) {
        SCOPED_TRACE(isIndexed);
        RasterTestHost host(32, 32);
        SWrasteriser rasteriser;
        rasteriser.Create(&host);
        SWtexturestages near = CountingFormat();
        near.flags = 3; // test and write
        SWtexturestages far = CountingFormat();
        far.vertexAlpha = 0;
        far.flags = 3;
        auto vertices = [](float w, uint32_t colour) {
            std::vector<ScreenVertex> v(3);
            v[0] = {2, 2, w, {colour, 0}, {}};
            v[1] = {30, 2, w, {colour, 0}, {}};
            v[2] = {2, 30, w, {colour, 0}, {}};
            return v;
        };
        const std::vector<uint32_t> nearWords = PackVertices(near, vertices(2.0f, 1));
        const std::vector<uint32_t> farWords = PackVertices(far, vertices(1.0f, 0x20));
        if (isIndexed) {
            SWsoftvertexbuffer* vb = SWsoftvertexbuffer::Create(3, 0);
            SWsoftindexbuffer* ib = SWsoftindexbuffer::Create(3);
            ASSERT_TRUE(vb != nullptr && ib != nullptr);
            std::copy(nearWords.begin(), nearWords.end(), vb->Data());
            ib->Data()[1] = 1;
            ib->Data()[2] = 2;
            SWdirectdraw record{nullptr, &near, vb, ib, 3, 1};
            rasteriser.DrawIndexed(record);
            vb->Release();
            ib->Release();
        } else {
            PrimitiveList list;
            list.Add(&near, nearWords.data());
            rasteriser.DrawPrimitives(list.First());
        }
        PrimitiveList list;
        list.Add(&far, farWords.data());
        rasteriser.DrawPrimitives(list.First());
        EXPECT_EQ(host.Pixel(5, 5), isIndexed ? 0x20u : 1u);
    }
}

TEST(RasteriserDraw, IndexedRecordsRefuseIndicesAndCountsPastTheirBuffers)
{
    RasterTestHost host(32, 32);
    SWrasteriser rasteriser;
    rasteriser.Create(&host);
    SWtexturestages format = CountingFormat();
    std::vector<ScreenVertex> v(3);
    v[0] = {2, 2, 1, {1, 0}, {}};
    v[1] = {30, 2, 1, {1, 0}, {}};
    v[2] = {2, 30, 1, {1, 0}, {}};
    const std::vector<uint32_t> words = PackVertices(format, v);
    SWsoftvertexbuffer* vb = SWsoftvertexbuffer::Create(3, 0);
    SWsoftindexbuffer* ib = SWsoftindexbuffer::Create(6);
    std::copy(words.begin(), words.end(), vb->Data());
    const uint16_t indices[6] = {0, 1, 2, 0, 1, 3}; // the second names a vertex past the count
    std::copy(indices, indices + 6, ib->Data());
    rasteriser.DrawIndexed({nullptr, &format, vb, ib, 3, 2});
    EXPECT_EQ(rasteriser.Stats().skippedTriangles, 1u);
    rasteriser.DrawIndexed({nullptr, &format, vb, ib, 1000, 1000}); // counts past both buffers
    EXPECT_EQ(rasteriser.Stats().skippedTriangles, 1u + 1u + 998u);
    rasteriser.DrawIndexed({nullptr, &format, vb, ib, 3, 0});
    rasteriser.DrawIndexed({nullptr, &format, nullptr, ib, 3, 1});
    EXPECT_EQ(host.Pixel(5, 5), 2u); // one triangle from each of the first two records
    vb->Release();
    ib->Release();
}

TEST(RasterRobustness, FarAwayAndNonFiniteVerticesWriteNothingOutsideTheBuffer)
{
    constexpr int32_t kWidth = 40, kHeight = 30, kMargin = 64;
    std::vector<uint32_t> memory(static_cast<size_t>(kWidth) * (kHeight + 2 * kMargin), 0xC0FFEEu);
    uint32_t* inside = memory.data() + static_cast<ptrdiff_t>(kMargin) * kWidth;
    RasterTestHost host(1, 1);
    ASSERT_TRUE(host.Buffer().AttachPixels(inside, kWidth, kHeight));
    std::fill(inside, inside + kWidth * kHeight, 0u);
    SWrasteriser rasteriser;
    rasteriser.Create(&host);
    SWtexturestages format = CountingFormat();
    const float huge = std::ldexp(1.0f, 40);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<std::array<float, 6>> tris = {
        {-huge, -huge, 2 * huge, -huge, -huge, 2 * huge},
        {-huge, 10, huge, 10.5f, 20, 11},
        {-5, -5, 45, -5, -5, 35},
        {39.9f, -1e30f, 1e30f, 29.9f, 39.9f, 29.9f},
        {nan, 1, 20, 1, 1, 20},
        {1, 1, inf, 1, 1, 20},
        {1, 1, 20, 1, 1, -inf},
    };
    std::vector<ScreenVertex> vertices;
    for (const auto& t : tris) {
        for (int k = 0; k < 3; ++k) {
            ScreenVertex v;
            v.x = t[2 * k];
            v.y = t[2 * k + 1];
            v.colours[0] = 1;
            vertices.push_back(v);
        }
    }
    const std::vector<uint32_t> words = PackVertices(format, vertices);
    PrimitiveList list;
    for (size_t i = 0; i < tris.size(); ++i)
        list.Add(&format, words.data() + 3 * i * format.vertexStride);
    rasteriser.DrawPrimitives(list.First());
    EXPECT_EQ(rasteriser.Stats().skippedTriangles, 3u);
    for (size_t i = 0; i < memory.size(); ++i) {
        const bool isInside =
            i >= static_cast<size_t>(kMargin) * kWidth && i < static_cast<size_t>(kMargin + kHeight) * kWidth;
        if (!isInside) {
            ASSERT_EQ(memory[i], 0xC0FFEEu) << i;
        }
    }
    EXPECT_EQ(host.Pixel(0, 0), 2u); // the first covers the whole buffer, the third its top left
    EXPECT_EQ(host.Pixel(kWidth - 1, kHeight - 1), 1u);
}

// The right-edge and bottom rules admit the pixel whose centre is the corner (10.5, 10.5): there the corner's
// weight is exactly 1.0, which must stay the largest weight and not wrap to -1.0. Whichever place the white corner
// takes in the vertex order, the pixel is white.
TEST(RasterRobustness, AWeightOfExactlyOneGivesTheVertexColour)
{
    const std::array<Point, 3> corners = {Point{0.5, 0.5}, Point{10.5, 10.5}, Point{0.5, 10.5}};
    SWtexturestages format;
    testsupport::SetVertexLayout(format, 2, 0);
    format.combineMode = 3;
    for (int rotation = 0; rotation < 3; ++rotation) {
        RasterTestHost host(16, 16);
        SWrasteriser rasteriser;
        rasteriser.Create(&host);
        std::vector<ScreenVertex> vertices(3);
        for (int i = 0; i < 3; ++i) {
            const Point& p = corners[static_cast<size_t>((i + rotation) % 3)];
            vertices[static_cast<size_t>(i)].x = static_cast<float>(p.x);
            vertices[static_cast<size_t>(i)].y = static_cast<float>(p.y);
            vertices[static_cast<size_t>(i)].colours[0] = p.x > 10.0 ? 0xFFFFFFu : 0x000000u;
        }
        const std::vector<uint32_t> words = PackVertices(format, vertices);
        PrimitiveList list;
        list.Add(&format, words.data());
        host.Clear(0x123456);
        rasteriser.DrawPrimitives(list.First());
        ASSERT_NE(host.Pixel(10, 10), 0x123456u) << "rotation " << rotation << ": the corner pixel is not drawn";
        for (int c = 0; c < 3; ++c)
            EXPECT_GE(host.Pixel(10, 10) >> (8 * c) & 0xFF, 254u) << "rotation " << rotation << " channel " << c;
        // Pixel centre (5.5, 10.5) lies half way along the bottom edge: the white corner weighs a half.
        EXPECT_NEAR(static_cast<double>(host.Pixel(5, 10) & 0xFF), 127.5, 2.0) << "rotation " << rotation;
    }
}

TEST(RasterRobustness, NearDistanceZeroStillDrawsWithTheDepthTest)
{
    CountingDraw draw;
    draw.host.SetDepthRange(0.0f, 100.0f);
    draw.format.vertexAlpha = 0;
    draw.format.flags = 3;
    draw.Draw({Clockwise({Point{10, 10}, Point{50, 10}, Point{10, 50}})});
    EXPECT_EQ(draw.At(12, 12), 1u);
    EXPECT_GT(draw.rasteriser.Pipeline(24)->DepthScale(), 0.0f);

    // Far beyond 2^30 near distances: the scale stops at its least value and far geometry still draws.
    CountingDraw deep;
    deep.host.SetDepthRange(1e-6f, 1e6f);
    deep.format.vertexAlpha = 0;
    deep.format.flags = 3;
    deep.Draw({Clockwise({Point{10, 10}, Point{50, 10}, Point{10, 50}})}, 1.0f);
    EXPECT_EQ(deep.At(12, 12), 1u);
    EXPECT_EQ(deep.rasteriser.Pipeline(24)->DepthScale(), 1.0f);
}

TEST(RasterWalk, EqualDepthTermsWalkAffinelyWhateverTheSize)
{
    CountingDraw draw(200, 200);
    draw.rasteriser.SetWorkers(0); // the walk is read from this rasteriser's own pipeline, which only then draws
    draw.Draw({Clockwise({Point{0, 0}, Point{200, 0}, Point{0, 200}})}, 3.0f);
    EXPECT_EQ(draw.rasteriser.Pipeline(24)->LastWalk(), SWrasterpipeline::Walk::kAffine);
    EXPECT_EQ(draw.rasteriser.Stats().perspectiveTriangles, 0u);
    EXPECT_EQ(draw.rasteriser.Stats().pixelsDrawn, 200u * 201u / 2u - 0u);
}

} // namespace

// The recorder sees each triangle a pipeline draws, in order, with the flags that pipeline draws it with: the
// indexed path's translucent record without depth writes, the queue path's with them; triangles that are skipped
// (a bad index, an unconfigured pipeline) are never seen.
TEST(RasteriserDraw, RecorderSeesExactlyTheDrawnTrianglesWithTheirFlags)
{
    struct Seen {
        int pipeline;
        bool depthWrite;
        float x1;
    };
    class Recorder final : public SWtrianglerecorder {
    public:
        std::vector<Seen> seen;
        void Record(const Run& run, const uint32_t*, const uint32_t* v1, const uint32_t*) override
        {
            float x = 0;
            std::memcpy(&x, v1, 4);
            seen.push_back({run.pipeline, run.depthWrite, x});
        }
    };
    RasterTestHost host(32, 32);
    SWrasteriser rasteriser;
    rasteriser.Create(&host);
    Recorder recorder;
    rasteriser.SetRecorder(&recorder);
    SWtexturestages format = CountingFormat();
    format.flags = 3;
    std::vector<ScreenVertex> v(4);
    v[0] = {2, 2, 1, {1, 0}, {}};
    v[1] = {30, 2, 1, {1, 0}, {}};
    v[2] = {2, 30, 1, {1, 0}, {}};
    v[3] = {20, 2, 1, {1, 0}, {}};
    const std::vector<uint32_t> words = PackVertices(format, v);
    SWsoftvertexbuffer* vb = SWsoftvertexbuffer::Create(4, 0);
    SWsoftindexbuffer* ib = SWsoftindexbuffer::Create(9);
    ASSERT_TRUE(vb != nullptr && ib != nullptr);
    std::copy(words.begin(), words.end(), vb->Data());
    const uint16_t indices[9] = {0, 1, 2, 0, 7, 2, 0, 3, 2}; // the second names a vertex past the count
    std::copy(indices, indices + 9, ib->Data());
    rasteriser.DrawIndexed({nullptr, &format, vb, ib, 4, 3});
    SWtexturestages unconfigured = format;
    unconfigured.combineMode = 7;
    PrimitiveList list;
    list.Add(&unconfigured, words.data());
    list.Add(&format, words.data());
    rasteriser.DrawPrimitives(list.First());
    rasteriser.SetRecorder(nullptr);
    rasteriser.DrawPrimitives(list.First());
    vb->Release();
    ib->Release();

    const int pipeline = SWrasteriser::PipelineIndex(format, false);
    ASSERT_EQ(recorder.seen.size(), 3u);
    EXPECT_EQ(recorder.seen[0].pipeline, SWrasteriser::PipelineIndex(format, true));
    EXPECT_FALSE(recorder.seen[0].depthWrite);
    EXPECT_EQ(recorder.seen[0].x1, 30.0f);
    EXPECT_EQ(recorder.seen[1].x1, 20.0f);
    EXPECT_EQ(recorder.seen[2].pipeline, pipeline);
    EXPECT_TRUE(recorder.seen[2].depthWrite);
    EXPECT_EQ(rasteriser.Stats().skippedTriangles, 1u + 2u);
}
