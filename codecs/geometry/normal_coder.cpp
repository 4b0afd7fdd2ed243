#include "codecs/geometry/normal_coder.h"

#include <algorithm>
#include <cmath>

#include "codecs/geometry/bit_reader.h"
#include "codecs/geometry/bit_writer.h"
#include "codecs/geometry/integer_coder.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/quantisation.h"
#include "codecs/geometry/stream_angles.h"
#include "codecs/geometry/stream_header.h"

namespace px {

namespace {

using Vector = std::array<double, 3>;

Vector Cross(const Vector& a, const Vector& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double Dot(const Vector& a, const Vector& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Vector Normalised(const Vector& v)
{
    const double length = std::sqrt(Dot(v, v));
    return length >= 1e-30 ? Vector{v[0] / length, v[1] / length, v[2] / length} : v;
}

struct Frame {
    Vector t1, t2, p;
};

// A prediction of (almost) no length has no direction: the unit z axis stands in on both sides.
Frame FrameOf(const Vector& sum)
{
    Frame frame;
    frame.p = std::sqrt(Dot(sum, sum)) <= 1e-6 ? Vector{0, 0, 1} : Normalised(sum);
    Vector t1 = Cross(frame.p, {0, 0, 1});
    if (Dot(t1, t1) == 0)
        t1 = {1, 0, 0};
    frame.t1 = Normalised(t1);
    frame.t2 = Cross(frame.p, frame.t1);
    return frame;
}

Vector QuantisedOf(const QuantisedPositions& positions, const MeshGraph& graph, int32_t node)
{
    const Quantised<3>& q = positions[static_cast<uint32_t>(graph.nodes[static_cast<uint32_t>(node)].position)];
    return {static_cast<double>(q[0]), static_cast<double>(q[1]), static_cast<double>(q[2])};
}

Vector TriangleNormal(const Vector& q0, const Vector& q1, const Vector& q2)
{
    return Normalised(
        Cross({q1[0] - q0[0], q1[1] - q0[1], q1[2] - q0[2]}, {q2[0] - q0[0], q2[1] - q0[1], q2[2] - q0[2]}));
}

// Sum of the unit normals of v's faces at ring positions first .. last (all of them for a vertex).
Vector PredictNormal(const MeshGraph& graph, const QuantisedPositions& positions, uint32_t v, uint32_t first,
                     uint32_t last, bool whole)
{
    const uint32_t valence = graph.nodes[v].valence;
    const Vector q0 = QuantisedOf(positions, graph, static_cast<int32_t>(v));
    Vector sum{0, 0, 0};
    for (uint32_t i = first, steps = 0; steps < valence; i = (i + 1) % valence, ++steps) {
        const int32_t a = graph.Neighbour(v, i);
        const int32_t b = graph.Neighbour(v, (i + 1) % valence);
        if (!graph.IsDummy(a) && !graph.IsDummy(b)) {
            const Vector n = TriangleNormal(q0, QuantisedOf(positions, graph, a), QuantisedOf(positions, graph, b));
            for (int d = 0; d < 3; ++d)
                sum[d] += n[d];
        }
        if (!whole && i == last)
            break;
    }
    return sum;
}

// One visit per normal value: its attribute index and the frame of its prediction.
template <typename Visit>
void WalkNormals(const MeshGraph& graph, const WedgeLayout* layout, const QuantisedPositions& positions, Visit visit)
{
    if (!layout) {
        for (const uint32_t v : graph.traversal)
            if (graph.nodes[v].twin == kNoNode)
                visit(static_cast<uint32_t>(graph.nodes[v].position),
                      FrameOf(PredictNormal(graph, positions, v, 0, 0, true)));
        return;
    }
    for (const uint32_t w : layout->firstWedgeOfAttribute) {
        const Wedge& wedge = layout->wedges[w];
        visit(static_cast<uint32_t>(wedge.attribute),
              FrameOf(PredictNormal(graph, positions, wedge.vertex, wedge.first, wedge.last, false)));
    }
}

uint32_t NormalToIndex(const NormalCodebook& codebook, const Frame& frame, std::span<const float> normal)
{
    const Vector a = Normalised({normal[0], normal[1], normal[2]});
    if (Dot(a, a) == 0)
        return 0; // a zero normal has no direction: take the prediction itself
    const float x = static_cast<float>(Dot(a, frame.t1));
    const float y = static_cast<float>(Dot(a, frame.t2));
    const float z = static_cast<float>(Dot(a, frame.p));
    const float polar = static_cast<float>(std::acos(std::clamp(static_cast<double>(z), -1.0, 1.0)));
    return codebook.IndexOf(polar, static_cast<float>(std::atan2(y, x)));
}

} // namespace

NormalCodebook::NormalCodebook(uint32_t bits) : m_rows((1u << bits) / 2 + 1)
{
    m_start.reserve(m_rows + 1);
    for (uint32_t r = 0; r < m_rows; ++r) {
        m_start.push_back(m_size);
        const double polar = static_cast<double>(r) / (m_rows - 1) * kStreamPi;
        m_size += std::max<uint32_t>(1, static_cast<uint32_t>(std::sin(polar) * (1u << bits)));
    }
    m_start.push_back(m_size);
}

uint32_t NormalCodebook::IndexOf(float polar, float azimuth) const
{
    const double clamped = std::clamp(static_cast<double>(polar), 0.0, kStreamPi);
    const uint32_t row = static_cast<uint32_t>(RoundHalfAway(clamped / kStreamPi * (m_rows - 1)));
    const uint32_t count = m_start[row + 1] - m_start[row];
    const int64_t column = RoundHalfAway((static_cast<double>(azimuth) + kStreamPi) / kStreamTwoPi * count);
    return m_start[row] + static_cast<uint32_t>(((column % count) + count) % count);
}

std::array<float, 3> NormalCodebook::Point(uint32_t index) const
{
    const auto after = std::upper_bound(m_start.begin(), m_start.end(), index);
    const uint32_t row = static_cast<uint32_t>(after - m_start.begin()) - 1;
    const uint32_t count = m_start[row + 1] - m_start[row];
    const double polar = static_cast<double>(row) / (m_rows - 1) * kStreamPi;
    const double azimuth =
        count <= 1 ? 0.0 : static_cast<double>(index - m_start[row]) / count * kStreamTwoPi - kStreamPi;
    return {static_cast<float>(std::sin(polar) * std::cos(azimuth)),
            static_cast<float>(std::sin(polar) * std::sin(azimuth)), static_cast<float>(std::cos(polar))};
}

int EncodeNormals(std::span<const NormalInput> objects, uint32_t bits, std::vector<uint8_t>& outStream)
{
    const NormalCodebook codebook(bits);
    BitWriter out(static_cast<uint8_t>(StreamKind::kNormals));
    out.PutBits(static_cast<uint32_t>(objects.size()), 16);
    std::vector<DataItem> items;
    for (const NormalInput& object : objects) {
        const size_t before = items.size();
        if (!object.normals.empty()) {
            WalkNormals(*object.graph, object.layout, *object.quantised, [&](uint32_t attribute, const Frame& frame) {
                const uint32_t index = NormalToIndex(codebook, frame, object.normals.subspan(3 * attribute, 3));
                items.push_back({static_cast<int32_t>(index), kModeDelta, 0});
            });
        }
        out.Put32(static_cast<uint32_t>(items.size() - before));
        if (items.size() > before)
            out.PutBits(bits, 5);
    }
    const int result = EncodeIntegerData(out, items);
    if (result != PX_OK)
        return result;
    outStream = out.Finish();
    return PX_OK;
}

int DecodeNormals(std::span<const uint8_t> stream, std::span<const NormalTarget> objects,
                  std::vector<std::vector<float>>& outNormals)
{
    outNormals.clear();
    BitReader in;
    if (const int opened = OpenObjectStream(in, stream, objects.size()); opened != PX_OK)
        return opened;
    std::vector<uint32_t> widths(objects.size(), 0);
    std::vector<DataItem> items;
    for (size_t o = 0; o < objects.size(); ++o) {
        const uint32_t count = in.GetBits(32);
        if (count != 0 && count != objects[o].count)
            return PX_ERR;
        if (count == 0)
            continue;
        widths[o] = in.GetBits(5);
        if (in.Overrun() || widths[o] < 1 || widths[o] > kMaxNormalBits)
            return PX_ERR;
        items.resize(items.size() + count);
    }
    if (DecodeIntegerData(in, items) != PX_OK)
        return PX_ERR;
    std::vector<std::vector<float>> normals(objects.size());
    size_t next = 0;
    for (size_t o = 0; o < objects.size(); ++o) {
        if (widths[o] == 0)
            continue;
        const NormalCodebook codebook(widths[o]);
        std::vector<float>& out = normals[o];
        out.assign(3 * static_cast<size_t>(objects[o].count), 0.0f);
        bool valid = true;
        WalkNormals(
            *objects[o].graph, objects[o].layout, *objects[o].quantised, [&](uint32_t attribute, const Frame& frame) {
                const int32_t index = items[next++].value;
                if (index < 0 || static_cast<uint32_t>(index) >= codebook.Size() || attribute >= objects[o].count) {
                    valid = false;
                    return;
                }
                const std::array<float, 3> point = codebook.Point(static_cast<uint32_t>(index));
                const Vector q = Normalised({point[0], point[1], point[2]});
                for (int d = 0; d < 3; ++d)
                    out[3 * attribute + static_cast<uint32_t>(d)] =
                        static_cast<float>(q[0] * frame.t1[d] + q[1] * frame.t2[d] + q[2] * frame.p[d]);
            });
        if (!valid)
            return PX_ERR;
    }
    outNormals = std::move(normals);
    return PX_OK;
}

} // namespace px
