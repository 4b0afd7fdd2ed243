#include "render/software/raster_pipeline.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "render/format_record.h"
#include "render/software/pixel_buffer.h"
#include "render/software/raster_host.h"

namespace {

// Indexed by a code from the signs of y0 - y2, y1 - y0 and y2 - y1 in bits 1, 2 and 3: top and bottom vertex at
// the code and code + 1; middle vertex and side at the code and code + 1 (side 1: the long edge is on the left).
constexpr int8_t kTopBottom[16] = {0, 0, 0, 2, 1, 0, 1, 2, 2, 1, 0, 1, 2, 0, 0, 0};
constexpr int8_t kMiddleSide[16] = {0, 0, 1, 1, 2, 1, 0, 0, 0, 1, 2, 0, 1, 0, 0, 0};

constexpr double kLeastDepthRatio = 1.0 / 1073741824.0; // 2^-30: a near distance of 0 still separates depths
constexpr int kLeastSubSpan = 16;
constexpr int kLongestSubSpan = 65536;
constexpr double kFlatRatio = 1.0 / 65536.0;
constexpr double kAffineArea = 256.0;

float WordFloat(const uint32_t* vertex, int word)
{
    return std::bit_cast<float>(vertex[word]);
}

// x of an edge from its upper end a to its lower end b at height y: the same numbers from the same two vertices,
// whichever triangle asks, and exact at both ends, so that edges meeting at a vertex agree on a pixel centre there.
class Edge {
public:
    Edge(double xa, double ya, double xb, double yb) : m_xa(xa), m_ya(ya), m_xb(xb), m_yb(yb)
    {
        m_slope = yb > ya ? (xb - xa) / (yb - ya) : 0.0;
    }
    double At(double y) const
    {
        return y - m_ya <= m_yb - y ? m_xa + (y - m_ya) * m_slope : m_xb - (m_yb - y) * m_slope;
    }

private:
    double m_xa, m_ya, m_xb, m_yb;
    double m_slope = 0.0;
};

} // namespace

struct SWrasterpipeline::Triangle {
    const uint32_t* vertices[3] = {};
    double x[3] = {}, y[3] = {}, q[3] = {};
    double area = 0.0;
    int top = 0, middle = 0, bottom = 0;
    bool isLongEdgeLeft = false;
    bool isPerspective = false;
    int subSpan = kLongestSubSpan;
    uint32_t columnMask = 0;

    // Screen-linear weights of vertices 1 and 2 and the depth, at a point.
    double S(double px, double py) const { return ((y[2] - y[0]) * (px - x[0]) - (x[2] - x[0]) * (py - y[0])) / area; }
    double T(double px, double py) const { return ((x[1] - x[0]) * (py - y[0]) - (y[1] - y[0]) * (px - x[0])) / area; }
    double Sx() const { return (y[2] - y[0]) / area; }
    double Tx() const { return -(y[1] - y[0]) / area; }
    double DepthDx() const { return ((y[2] - y[0]) * (q[1] - q[0]) - (y[1] - y[0]) * (q[2] - q[0])) / area; }
    double DepthDy() const { return ((x[1] - x[0]) * (q[2] - q[0]) - (x[2] - x[0]) * (q[1] - q[0])) / area; }
    double Depth(double px, double py) const { return q[0] + (px - x[0]) * DepthDx() + (py - y[0]) * DepthDy(); }

    // Weights along the surface: each screen weight times its vertex's depth term over the depth there.
    void PerspectiveAt(double px, double py, double& s, double& t) const
    {
        s = S(px, py);
        t = T(px, py);
        const double depth = (1.0 - s - t) * q[0] + s * q[1] + t * q[2];
        if (depth != 0.0 && std::isfinite(depth)) {
            s = s * q[1] / depth;
            t = t * q[2] / depth;
        }
    }
};

SWrasterpipeline::SWrasterpipeline(const SWstageroutes* routes, SWrasterstats* stats)
    : m_routes(routes), m_stats(stats), m_program(routes), m_writer(RunPending, this)
{
}

void SWrasterpipeline::SetDepthFlags(bool test, bool write)
{
    m_depthTest = test;
    m_depthWrite = write;
}

void SWrasterpipeline::SetRowWindow(int32_t first, int32_t end)
{
    m_windowFirst = first;
    m_windowEnd = end;
}

bool SWrasterpipeline::Prepare()
{
    m_ready = false;
    m_pixels = m_host != nullptr ? m_host->CurrentPixelBuffer() : nullptr;
    if (m_format == nullptr || m_program.IsEmpty() || m_pixels == nullptr || m_pixels->Width() < 1 ||
        m_pixels->Height() < 1)
        return false;
    // Every vertex word a stage reads must lie within the stride: x, y, z, w and the interpolated colours.
    if (m_format->vertexStride < 4 + std::min<int>(m_format->colourCount, kStageInstances))
        return false;
    m_program.Build(*m_format);
    if (m_depthView != nullptr && !m_depthView->ShareValuesOf(m_pixels->Depth()))
        return false;
    const double ratio = static_cast<double>(m_host->NearDistance()) / static_cast<double>(m_host->FarDistance());
    const double kept = std::isfinite(ratio) ? std::clamp(ratio, kLeastDepthRatio, 1.0) : kLeastDepthRatio;
    m_depthScale = static_cast<float>(1073741824.0 * kept);
    m_depth = m_depthView != nullptr ? m_depthView : &m_pixels->Depth();
    SWdepthbuffer& depth = *m_depth;
    depth.SetRoutine(!m_depthTest   ? SWdepthbuffer::Routine::kTestNone
                     : m_depthWrite ? SWdepthbuffer::Routine::kTestAndWrite
                                    : SWdepthbuffer::Routine::kTestOnly);
    m_ready = true;
    return true;
}

void SWrasterpipeline::DrawTriangle(const uint32_t* v0, const uint32_t* v1, const uint32_t* v2)
{
    m_lastWalk = Walk::kNone;
    if (!m_ready)
        return;
    Triangle tri;
    tri.vertices[0] = v0;
    tri.vertices[1] = v1;
    tri.vertices[2] = v2;
    float depthTerms[3];
    for (int i = 0; i < 3; ++i) {
        const float x = WordFloat(tri.vertices[i], 0);
        const float y = WordFloat(tri.vertices[i], 1);
        const float w = WordFloat(tri.vertices[i], 3);
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(w)) {
            ++m_stats->skippedTriangles;
            return;
        }
        tri.x[i] = x;
        tri.y[i] = y;
        depthTerms[i] = w * m_depthScale;
        tri.q[i] = depthTerms[i];
    }
    const int code =
        (tri.y[0] - tri.y[2] < 0 ? 2 : 0) | (tri.y[1] - tri.y[0] < 0 ? 4 : 0) | (tri.y[2] - tri.y[1] < 0 ? 8 : 0);
    tri.top = kTopBottom[code];
    tri.bottom = kTopBottom[code + 1];
    tri.middle = kMiddleSide[code];
    tri.isLongEdgeLeft = kMiddleSide[code + 1] != 0;
    // Clockwise on the screen (y down) is the front; the other winding and no area draw nothing.
    tri.area = (tri.y[2] - tri.y[0]) * (tri.x[1] - tri.x[0]) - (tri.x[2] - tri.x[0]) * (tri.y[1] - tri.y[0]);
    if (!(tri.area > 0.0) || !std::isfinite(tri.area))
        return;

    const double xMin = std::min({tri.x[0], tri.x[1], tri.x[2]});
    const double xMax = std::max({tri.x[0], tri.x[1], tri.x[2]});
    const int64_t width = m_pixels->Width();
    const int64_t firstColumn = FloorWithin(xMin + 0.5, 0, width);
    const int64_t endColumn = FloorWithin(xMax + 0.5, 0, width);
    if (endColumn - firstColumn < 1)
        return;
    const uint32_t shift = m_pixels->BlockShift();
    const uint32_t firstBlock = static_cast<uint32_t>(firstColumn >> shift);
    const uint32_t lastBlock = static_cast<uint32_t>((endColumn - 1) >> shift);
    tri.columnMask = (lastBlock >= 31 ? ~0u : (2u << lastBlock) - 1) & ~((1u << firstBlock) - 1);

    const bool isFlat = std::bit_cast<uint32_t>(depthTerms[1]) == std::bit_cast<uint32_t>(depthTerms[0]) &&
                        std::bit_cast<uint32_t>(depthTerms[2]) == std::bit_cast<uint32_t>(depthTerms[0]);
    const double height = tri.y[tri.bottom] - tri.y[tri.top];
    tri.isPerspective = !isFlat && std::fabs(height * (xMax - xMin)) > kAffineArea;
    if (tri.isPerspective) {
        // The middle vertex against the point of the long edge at its height: how fast depth bends the weights.
        const Edge longEdge(tri.x[tri.top], tri.y[tri.top], tri.x[tri.bottom], tri.y[tri.bottom]);
        const double ym = tri.y[tri.middle];
        const double ratio = tri.Depth(longEdge.At(ym), ym) / tri.q[tri.middle];
        tri.subSpan = kLeastSubSpan;
        if (ratio > 0.0 && std::isfinite(ratio)) {
            const double e = std::fabs(1.0 - 2.0 / (std::sqrt(ratio) + 1.0));
            tri.subSpan =
                e <= kFlatRatio ? kLongestSubSpan : static_cast<int>(std::clamp(std::floor(1.0 / e), 16.0, 65536.0));
        }
        m_subSpanLength = tri.subSpan;
    }
    m_lastWalk = tri.isPerspective ? Walk::kPerspective : Walk::kAffine;
    const SWrasterrows rows = RowsCovered(tri.y[tri.top], tri.y[tri.bottom], m_pixels->Height());
    const int32_t home = rows.Home(m_pixels->Height());
    if (home >= m_windowFirst && home < m_windowEnd)
        ++(tri.isPerspective ? m_stats->perspectiveTriangles : m_stats->affineTriangles);
    const SWrasterrows walked{std::max(rows.first, m_windowFirst), std::min(rows.end, m_windowEnd)};
    if (walked.first >= walked.end)
        return;

    m_depth->SetColumnMask(tri.columnMask);
    m_program.RunSetups(tri.vertices);
    WalkRows(tri, walked);
    m_writer.Finish();
}

void SWrasterpipeline::RunPending(void* context, const SWspan* spans)
{
    static_cast<SWrasterpipeline*>(context)->m_program.RunSpans(spans);
}

void SWrasterpipeline::WalkRows(const Triangle& tri, const SWrasterrows& rows)
{
    const int64_t height = m_pixels->Height();
    const int64_t width = m_pixels->Width();
    const double yTop = tri.y[tri.top], yMiddle = tri.y[tri.middle], yBottom = tri.y[tri.bottom];
    const Edge longEdge(tri.x[tri.top], yTop, tri.x[tri.bottom], yBottom);
    const Edge upper(tri.x[tri.top], yTop, tri.x[tri.middle], yMiddle);
    const Edge lower(tri.x[tri.middle], yMiddle, tri.x[tri.bottom], yBottom);
    // Rows whose centre lies in (yTop, yMiddle] take the upper short edge, those in (yMiddle, yBottom] the lower.
    const int64_t middleRow = FloorWithin(yMiddle + 0.5, 0, height);
    for (int64_t row = rows.first; row < rows.end; ++row) {
        const double centre = static_cast<double>(row) + 0.5;
        const double shortX = row < middleRow ? upper.At(centre) : lower.At(centre);
        const double longX = longEdge.At(centre);
        const double xLeft = tri.isLongEdgeLeft ? longX : shortX;
        const double xRight = tri.isLongEdgeLeft ? shortX : longX;
        const int64_t first = FloorWithin(xLeft + 0.5, 0, width);
        const int64_t end = FloorWithin(xRight + 0.5, 0, width);
        if (end - first < 1)
            continue;
        SWdepthbuffer& depth = *m_depth;
        const double startDepth = tri.Depth(static_cast<double>(first) + 0.5, centre);
        depth.Span() = {static_cast<float>(startDepth), static_cast<float>(tri.DepthDx()), static_cast<int32_t>(first),
                        static_cast<int32_t>(end - first), static_cast<int32_t>(row)};
        if (!depth.Test())
            continue;
        m_pixels->CurrentMask(static_cast<int32_t>(row)) |= tri.columnMask;
        EmitRow(tri, static_cast<int32_t>(row), xLeft, xRight, static_cast<int32_t>(first),
                m_pixels->Row(static_cast<int32_t>(row)));
    }
}

void SWrasterpipeline::EmitRow(const Triangle& tri, int32_t row, double xLeft, double xRight, int32_t first,
                               uint32_t* pixels)
{
    const double centre = row + 0.5;
    // Short perspective rows: weights exact at the two edge points, linear between them.
    double sLeft = 0.0, tLeft = 0.0, sStep = 0.0, tStep = 0.0;
    const int32_t rowCount = m_depth->Span().count;
    const bool isLinearRow = tri.isPerspective && rowCount <= tri.subSpan;
    if (isLinearRow) {
        double sRight, tRight;
        tri.PerspectiveAt(xLeft, centre, sLeft, tLeft);
        tri.PerspectiveAt(xRight, centre, sRight, tRight);
        const double span = xRight - xLeft;
        sStep = span > 0.0 ? (sRight - sLeft) / span : 0.0;
        tStep = span > 0.0 ? (tRight - tLeft) / span : 0.0;
    }
    int32_t pixel = first;
    for (const int32_t* run = m_depth->RunList(); *run != 0; ++run) {
        const int32_t count = *run > 0 ? *run : -*run;
        if (*run > 0) {
            m_stats->pixelsDrawn += static_cast<uint64_t>(count);
            if (!tri.isPerspective) {
                const double px = pixel + 0.5;
                m_writer.AddRun(pixels + pixel, count, {tri.S(px, centre), tri.T(px, centre), tri.Sx(), tri.Tx()});
            } else if (isLinearRow) {
                const double dx = pixel + 0.5 - xLeft;
                m_writer.AddRun(pixels + pixel, count, {sLeft + dx * sStep, tLeft + dx * tStep, sStep, tStep});
            } else {
                // Each sub-span's end is the next one's start, worked from the same numbers: asked once.
                double s0, t0, s1, t1;
                tri.PerspectiveAt(pixel + 0.5, centre, s0, t0);
                for (int32_t done = 0; done < count; done += tri.subSpan) {
                    const int32_t stretch = std::min(tri.subSpan, count - done);
                    tri.PerspectiveAt(pixel + done + tri.subSpan + 0.5, centre, s1, t1);
                    m_writer.AddRun(pixels + pixel + done, stretch,
                                    {s0, t0, (s1 - s0) / tri.subSpan, (t1 - t0) / tri.subSpan});
                    s0 = s1;
                    t0 = t1;
                }
            }
        }
        pixel += count;
    }
}
