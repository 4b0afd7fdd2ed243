#include "codecs/geometry/attribute_walk.h"

#include "codecs/geometry/quantisation.h"

namespace px {

namespace {

using walk_detail::Next;
using walk_detail::RoundedAverage;

} // namespace

int32_t AttributeAtCorner(const CornerAttributes& corners, int32_t corner, uint32_t shift)
{
    if (corner < 0 || static_cast<size_t>(corner / 3) >= corners.size())
        return -1;
    const uint32_t c = static_cast<uint32_t>(corner);
    return corners[c / 3][(c % 3 + shift) % 3];
}

int32_t AttributeAtSlot(const MeshGraph& graph, const CornerAttributes& corners, uint32_t v, uint32_t k)
{
    return AttributeAtCorner(corners, graph.Corner(v, k), 0);
}

template <size_t N>
std::optional<Quantised<N>> PredictAtWedge(const MeshGraph& graph, const RingSlots& slots, const Wedge& wedge,
                                           const WedgeValues<N>& values)
{
    const uint32_t v = wedge.vertex;
    const uint32_t valence = graph.nodes[v].valence;
    std::array<double, N> sum{};
    uint32_t terms = 0;
    for (uint32_t i = wedge.first, steps = 0; steps < valence; i = Next(i, valence), ++steps) {
        const int32_t a = graph.Neighbour(v, i);
        const int32_t b = graph.Neighbour(v, Next(i, valence));
        if (!graph.IsDummy(a) && !graph.IsDummy(b)) {
            const int32_t k = slots.Find(static_cast<uint32_t>(b), a);
            const int32_t c =
                k < 0 ? kNoNode
                      : graph.Neighbour(static_cast<uint32_t>(b),
                                        Next(static_cast<uint32_t>(k), graph.nodes[static_cast<uint32_t>(b)].valence));
            if (c != kNoNode && !graph.IsDummy(c)) {
                const int32_t vCorner = graph.Corner(v, i);
                const int32_t bCorner = graph.Corner(static_cast<uint32_t>(b), static_cast<uint32_t>(k));
                const int32_t ta = AttributeAtCorner(*values.corners, vCorner, 1);
                const int32_t tb = AttributeAtCorner(*values.corners, vCorner, 2);
                const int32_t tb2 = AttributeAtCorner(*values.corners, bCorner, 0);
                const int32_t ta2 = AttributeAtCorner(*values.corners, bCorner, 1);
                const int32_t tc = AttributeAtCorner(*values.corners, bCorner, 2);
                if (ta >= 0 && tb >= 0 && tc >= 0 && ta == ta2 && tb == tb2 && values.isCoded(ta) &&
                    values.isCoded(tb) && values.isCoded(tc)) {
                    const Quantised<N> va = values.valueOf(ta);
                    const Quantised<N> vb = values.valueOf(tb);
                    const Quantised<N> vc = values.valueOf(tc);
                    for (size_t d = 0; d < N; ++d)
                        sum[d] += static_cast<double>(vb[d]) + va[d] - vc[d];
                    ++terms;
                }
            }
        }
        if (i == wedge.last)
            break;
    }
    if (terms > 0)
        return RoundedAverage(sum, terms);
    return WedgeAverage(graph, wedge, values);
}

template <size_t N>
std::optional<Quantised<N>> WedgeAverage(const MeshGraph& graph, const Wedge& wedge, const WedgeValues<N>& values)
{
    const uint32_t v = wedge.vertex;
    const uint32_t valence = graph.nodes[v].valence;
    std::array<double, N> sum{};
    uint32_t count = 0;
    for (uint32_t i = wedge.first, steps = 0; steps < valence; i = Next(i, valence), ++steps) {
        const int32_t corner = graph.Corner(v, i);
        for (const uint32_t shift : {1u, 2u}) {
            const int32_t attribute = AttributeAtCorner(*values.corners, corner, shift);
            if (attribute < 0 || !values.isCoded(attribute))
                continue;
            const Quantised<N> value = values.valueOf(attribute);
            for (size_t d = 0; d < N; ++d)
                sum[d] += value[d];
            ++count;
        }
        if (i == wedge.last)
            break;
    }
    if (count == 0)
        return std::nullopt;
    return RoundedAverage(sum, count);
}

template std::optional<Quantised<2>> PredictAtWedge(const MeshGraph&, const RingSlots&, const Wedge&,
                                                    const WedgeValues<2>&);
template std::optional<Quantised<3>> WedgeAverage(const MeshGraph&, const Wedge&, const WedgeValues<3>&);

} // namespace px
