#include "testsupport/render/raster_scene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

#include "render/software/rasteriser.h"
#include "render/software/stage_program.h"

namespace testsupport {

namespace {

constexpr int kGrid = 4;

std::vector<uint32_t> CheckerTexels()
{
    std::vector<uint32_t> texels(64);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            texels[y * 8 + x] = ((x + y) & 1) != 0 ? 0xFFF0D020u : 0x802040A0u;
    return texels;
}

std::vector<uint32_t> RampTexels()
{
    std::vector<uint32_t> texels(256);
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 16; ++x)
            texels[y * 16 + x] = 0xFF000000u | (x * 16) << 16 | (y * 16) << 8 | 0x40;
    return texels;
}

// Normals about a bump in the middle, encoded as 127 (1 - n) per channel as the mesh lighting encodes the light.
std::vector<uint32_t> NormalTexels()
{
    std::vector<uint32_t> texels(256);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const double nx = (x - 7.5) / 10.0, ny = (y - 7.5) / 10.0;
            const double nz = std::sqrt(std::max(0.0, 1.0 - nx * nx - ny * ny));
            auto encode = [](double v) { return static_cast<uint32_t>(std::lround(127.0 * (1.0 - v))); };
            texels[y * 16 + x] = encode(nx) << 16 | encode(ny) << 8 | encode(nz);
        }
    }
    return texels;
}

std::vector<uint32_t> FalloffTexels()
{
    std::vector<uint32_t> texels(32 * 32, 0);
    texels[15 * 32 + 15] = 0xFFE0C080u; // the centre colour
    return texels;
}

std::vector<uint8_t> FalloffBytes()
{
    std::vector<uint8_t> bytes(512);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(255 - std::min<size_t>(255, i)); // brightest at the centre
    return bytes;
}

const char* RoutineName(SWdepthbuffer::Routine routine)
{
    switch (routine) {
    case SWdepthbuffer::Routine::kTestAndWrite:
        return "TestAndWrite";
    case SWdepthbuffer::Routine::kTestOnly:
        return "TestOnly";
    case SWdepthbuffer::Routine::kTestNone:
        break;
    }
    return "TestNone";
}

void AddQuad(RasterDraw& draw, ScreenVertex a, ScreenVertex b, ScreenVertex c, ScreenVertex d) // clockwise a b c d
{
    draw.vertices.insert(draw.vertices.end(), {a, b, c, a, c, d});
}

} // namespace

RasterScene::RasterScene(int32_t size) : m_cellSide(size / kGrid)
{
    const std::vector<uint32_t> checker = CheckerTexels(), ramp = RampTexels(), normals = NormalTexels(),
                                falloff = FalloffTexels();
    m_checker = std::make_unique<SWimage32>("checker", 8, 8, checker.data());
    m_ramp = std::make_unique<SWimage32>("ramp", 16, 16, ramp.data());
    m_normals = std::make_unique<SWimage32>("normals", 16, 16, normals.data());
    m_falloff = std::make_unique<FalloffImage>(falloff.data(), FalloffBytes());
    AddCells();
}

const RasterCell* RasterScene::CellNamed(const std::string& name) const
{
    for (const RasterCell& cell : m_cells)
        if (cell.name == name)
            return &cell;
    return nullptr;
}

RasterCell& RasterScene::NewCell(const std::string& name)
{
    const int index = static_cast<int>(m_cells.size());
    m_cells.push_back({name, index % kGrid, index / kGrid, {}});
    return m_cells.back();
}

ScreenVertex RasterScene::At(const RasterCell& cell, double fx, double fy) const
{
    ScreenVertex v;
    v.x = static_cast<float>((cell.column + 0.0625 + 0.875 * fx) * m_cellSide);
    v.y = static_cast<float>((cell.row + 0.0625 + 0.875 * fy) * m_cellSide);
    return v;
}

void RasterScene::AddCells()
{
    auto colourDraw = [](uint8_t vertexAlpha, int expected) {
        RasterDraw draw;
        SetVertexLayout(draw.format, 2, 0);
        draw.format.combineMode = 3;
        draw.format.vertexAlpha = vertexAlpha;
        draw.expectedPipeline = expected;
        return draw;
    };
    auto textureDraw = [](const SWtexture* image, uint8_t layerFlags, int expected) {
        RasterDraw draw;
        SetVertexLayout(draw.format, 2, 1);
        draw.format.combineMode = 3;
        draw.format.layerCount = 1;
        draw.format.images[0] = image;
        draw.format.layerFlags[0] = layerFlags;
        draw.expectedPipeline = expected;
        return draw;
    };
    auto corners = [&](const RasterCell& cell, uint32_t colour, float u0, float u1) {
        std::array<ScreenVertex, 4> v = {At(cell, 0, 0), At(cell, 1, 0), At(cell, 1, 1), At(cell, 0, 1)};
        const float uv[4][2] = {{u0, 0}, {u1, 0}, {u1, 1}, {u0, 1}};
        for (int i = 0; i < 4; ++i) {
            v[i].colours[0] = colour;
            v[i].uv[0][0] = uv[i][0];
            v[i].uv[0][1] = uv[i][1];
            v[i].uv[1][0] = uv[i][0];
            v[i].uv[1][1] = uv[i][1];
        }
        return v;
    };

    RasterCell& flat = NewCell("flat");
    RasterDraw flatDraw = colourDraw(0, 24);
    auto q = corners(flat, 0x00C04020u, 0, 1);
    AddQuad(flatDraw, q[0], q[1], q[2], q[3]);
    flat.draws.push_back(flatDraw);

    RasterCell& gouraud = NewCell("gouraud");
    RasterDraw gouraudDraw = colourDraw(0, 24);
    q = corners(gouraud, 0, 0, 1);
    q[0].colours[0] = 0xFF0000;
    q[1].colours[0] = 0x00FF00;
    q[2].colours[0] = 0x0000FF;
    q[3].colours[0] = 0xFFFFFF;
    AddQuad(gouraudDraw, q[0], q[1], q[2], q[3]);
    gouraud.draws.push_back(gouraudDraw);

    // Premultiplied colours over the background; the plain stages take vertex 0's alpha for the whole triangle.
    RasterCell& alphas = NewCell("gouraud-alpha");
    RasterDraw alphaDraw = colourDraw(1, 24);
    q = corners(alphas, 0, 0, 1);
    q[0].colours[0] = 0x40400000;
    q[1].colours[0] = 0xC0003F00;
    q[2].colours[0] = 0x0000003F;
    q[3].colours[0] = 0x80202020;
    AddQuad(alphaDraw, q[0], q[1], q[2], q[3]);
    alphas.draws.push_back(alphaDraw);

    const uint8_t kNearest = 0, kBilinear = 1, kFalloff = 2, kAdditive = 8;
    for (const auto& [name, filter] :
         {std::pair{"checker-nearest", kNearest}, std::pair{"checker-bilinear", kBilinear}}) {
        RasterCell& cell = NewCell(name);
        RasterDraw draw = textureDraw(m_checker.get(), filter, 25);
        q = corners(cell, 0xFFFFFF, 0, 1);
        AddQuad(draw, q[0], q[1], q[2], q[3]);
        cell.draws.push_back(draw);
    }

    // Coordinates 0.25 to 0.5 on the left half and 1.25 to 1.5 on the right: the same texels.
    RasterCell& repeat = NewCell("repeat");
    RasterDraw repeatDraw = textureDraw(m_checker.get(), kNearest, 25);
    for (const float base : {0.25f, 1.25f}) {
        const double left = base < 1 ? 0.0 : 0.5;
        std::array<ScreenVertex, 4> v = {At(repeat, left, 0), At(repeat, left + 0.5, 0), At(repeat, left + 0.5, 1),
                                         At(repeat, left, 1)};
        const float uv[4][2] = {{base, 0}, {base + 0.25f, 0}, {base + 0.25f, 1}, {base, 1}};
        for (int i = 0; i < 4; ++i) {
            v[i].colours[0] = 0xFFFFFF;
            v[i].uv[0][0] = uv[i][0];
            v[i].uv[0][1] = uv[i][1];
        }
        AddQuad(repeatDraw, v[0], v[1], v[2], v[3]);
    }
    repeat.draws.push_back(repeatDraw);

    RasterCell& falloff = NewCell("falloff");
    RasterDraw falloffDraw = textureDraw(m_falloff.get(), kFalloff, 25);
    q = corners(falloff, 0xFFFFFF, 0, 1);
    AddQuad(falloffDraw, q[0], q[1], q[2], q[3]);
    falloff.draws.push_back(falloffDraw);

    // A texture added through K0 over the vertex colour, alone (26) and after a modulated layer (27).
    RasterCell& added = NewCell("added-k0");
    RasterDraw addedDraw = textureDraw(m_ramp.get(), kAdditive, 26);
    addedDraw.format.constants[0] = 0x808080;
    q = corners(added, 0x000040, 0, 1);
    AddQuad(addedDraw, q[0], q[1], q[2], q[3]);
    added.draws.push_back(addedDraw);

    RasterCell& twoLayers = NewCell("two-layers");
    RasterDraw twoDraw = textureDraw(m_checker.get(), kNearest, 27);
    SetVertexLayout(twoDraw.format, 2, 2);
    twoDraw.format.layerCount = 2;
    twoDraw.format.images[1] = m_ramp.get();
    twoDraw.format.layerFlags[1] = kAdditive | kBilinear;
    twoDraw.format.constants[0] = 0x606060;
    q = corners(twoLayers, 0xA0A0A0, 0, 1);
    AddQuad(twoDraw, q[0], q[1], q[2], q[3]);
    twoLayers.draws.push_back(twoDraw);

    // Dot3: layer 0 the colour, layer 1 the normals, vertex colour 0 the light (from the viewer, encoded as the
    // normals are); K2 scales the lighting and K1 adds an ambient term.
    RasterCell& dot3 = NewCell("dot3");
    RasterDraw dot3Draw = textureDraw(m_ramp.get(), kNearest, 40);
    SetVertexLayout(dot3Draw.format, 1, 2);
    dot3Draw.format.combineMode = 5;
    dot3Draw.format.layerCount = 2;
    dot3Draw.format.images[1] = m_normals.get();
    dot3Draw.format.coordinateSets[1] = 1;
    dot3Draw.format.constants[1] = 0x101010;
    dot3Draw.format.constants[2] = 0xC0C0C0;
    q = corners(dot3, 0x7F7F00, 0, 1);
    AddQuad(dot3Draw, q[0], q[1], q[2], q[3]);
    dot3.draws.push_back(dot3Draw);

    RasterCell& over = NewCell("translucent-over");
    RasterDraw under = textureDraw(m_checker.get(), kNearest, 25);
    q = corners(over, 0xFFFFFF, 0, 1);
    AddQuad(under, q[0], q[1], q[2], q[3]);
    over.draws.push_back(under);
    RasterDraw glass = colourDraw(1, 24);
    ScreenVertex g0 = At(over, 0.1, 0.1), g1 = At(over, 0.9, 0.3), g2 = At(over, 0.3, 0.9);
    g0.colours[0] = g1.colours[0] = g2.colours[0] = 0x80006000; // half green, premultiplied, alpha 0x80
    glass.vertices = {g0, g1, g2};
    over.draws.push_back(glass);

    RasterCell& crossing = NewCell("crossing");
    for (const auto& [colour, wTop, wBottom] : {std::tuple{0xE04040u, 1.0f, 3.0f}, std::tuple{0x40E040u, 3.0f, 1.0f}}) {
        RasterDraw draw = colourDraw(0, 24);
        draw.format.flags = 3;
        ScreenVertex a = At(crossing, 0.0, 0.0), b = At(crossing, 1.0, 0.5), c = At(crossing, 0.0, 1.0);
        if (colour != 0xE04040u) {
            a = At(crossing, 1.0, 0.0);
            b = At(crossing, 1.0, 1.0);
            c = At(crossing, 0.0, 0.5);
        }
        for (ScreenVertex* v : {&a, &b, &c}) {
            v->colours[0] = colour;
            v->w = wTop + (wBottom - wTop) * static_cast<float>((v->y / m_cellSide) - crossing.row);
        }
        draw.vertices = {a, b, c};
        crossing.draws.push_back(draw);
    }

    // A floor receding from the viewer: w falls from 1 at the bottom to 1/8 at the top.
    RasterCell& floor = NewCell("perspective");
    RasterDraw floorDraw = textureDraw(m_checker.get(), kNearest, 25);
    floorDraw.format.flags = 3;
    q = corners(floor, 0xFFFFFF, 0, 1);
    q[0].x = q[3].x + 0.375f * (q[2].x - q[3].x);
    q[1].x = q[3].x + 0.625f * (q[2].x - q[3].x);
    for (int i = 0; i < 4; ++i) {
        const float w = i < 2 ? 0.125f : 1.0f;
        q[i].w = w;
        q[i].uv[0][0] *= 4;
        q[i].uv[0][1] *= 4;
    }
    AddQuad(floorDraw, q[0], q[1], q[2], q[3]);
    floor.draws.push_back(floorDraw);
}

std::vector<RasterDrawReport> RasterScene::Draw(SWrasteriser& rasteriser, RasterTestHost& host,
                                                const std::string& onlyCell) const
{
    host.Clear(kBackground);
    std::vector<RasterDrawReport> reports;
    for (const RasterCell& cell : m_cells) {
        if (!onlyCell.empty() && cell.name != onlyCell)
            continue;
        for (size_t d = 0; d < cell.draws.size(); ++d) {
            const RasterDraw& draw = cell.draws[d];
            const std::vector<uint32_t> words = PackVertices(draw.format, draw.vertices);
            PrimitiveList list;
            for (size_t i = 0; i + 3 <= draw.vertices.size(); i += 3)
                list.Add(&draw.format, words.data() + i * draw.format.vertexStride);
            const SWrasterstats before = rasteriser.Stats();
            rasteriser.DrawPrimitives(list.First());
            const SWrasterstats& after = rasteriser.Stats();
            RasterDrawReport report;
            report.cell = cell.name;
            report.drawIndex = static_cast<int>(d);
            report.pipeline = SWrasteriser::PipelineIndex(draw.format, false);
            report.expectedPipeline = draw.expectedPipeline;
            report.blendMode = BlendModeOf(draw.format);
            report.depthRoutine = RoutineName(host.Buffer().Depth().GetRoutine());
            report.walk = after.perspectiveTriangles > before.perspectiveTriangles ? "perspective"
                          : after.affineTriangles > before.affineTriangles         ? "affine"
                                                                                   : "none";
            report.pixels = after.pixelsDrawn - before.pixelsDrawn;
            reports.push_back(report);
        }
    }
    return reports;
}

} // namespace testsupport
