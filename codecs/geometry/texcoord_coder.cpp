#include "codecs/geometry/texcoord_coder.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "codecs/geometry/bit_reader.h"
#include "codecs/geometry/bit_writer.h"
#include "codecs/geometry/integer_coder.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/quantisation.h"
#include "codecs/geometry/stream_header.h"

namespace px {

namespace {

struct TexBox {
    float min[2] = {0, 0};
    float extent = 0;
};

// One visit per coded value: the attribute index it stands for, and the prediction from those coded before it.
// `restore` receives both and returns the quantised value.
template <typename Restore>
void WalkTexCoords(const MeshGraph& graph, const WedgeLayout* layout, uint32_t valueCount, Restore restore)
{
    const RingSlots slots(graph);
    std::vector<Quantised<2>> values(valueCount);
    if (!layout) {
        std::vector<uint8_t> coded(graph.nodes.size(), 0);
        const VertexValues<2> lookup{
            [&](uint32_t node) { return coded[node] != 0; },
            [&](uint32_t node) { return values[static_cast<uint32_t>(graph.nodes[node].position)]; },
            false,
        };
        for (const uint32_t v : graph.traversal) {
            if (graph.nodes[v].twin != kNoNode)
                continue;
            const uint32_t attribute = static_cast<uint32_t>(graph.nodes[v].position);
            if (attribute >= valueCount)
                continue;
            values[attribute] = restore(attribute, PredictAtVertex(graph, slots, v, lookup));
            coded[v] = 1;
        }
        return;
    }
    std::vector<uint8_t> coded(valueCount, 0);
    const auto known = [&](int32_t attribute) {
        return attribute >= 0 && static_cast<uint32_t>(attribute) < valueCount &&
               coded[static_cast<uint32_t>(attribute)];
    };
    const WedgeValues<2> lookup{&layout->corners, known,
                                [&](int32_t attribute) { return values[static_cast<uint32_t>(attribute)]; }};
    for (const uint32_t w : layout->firstWedgeOfAttribute) {
        const Wedge& wedge = layout->wedges[w];
        const uint32_t attribute = static_cast<uint32_t>(wedge.attribute);
        if (attribute >= valueCount)
            continue;
        values[attribute] = restore(attribute, PredictAtWedge(graph, slots, wedge, lookup));
        coded[attribute] = 1;
    }
}

struct Record {
    bool residual = false;
    Quantised<2> value{};
};

struct ObjectRecords {
    std::vector<Record> records; // residuals in visiting order, then absolutes in reverse visiting order
    uint32_t residuals = 0;
    TexBox box;
};

ObjectRecords BuildRecords(const TexCoordInput& input, uint32_t bits)
{
    ObjectRecords out;
    if (input.values.empty())
        return out; // an object without texture coordinates
    const uint32_t valueCount = static_cast<uint32_t>(input.values.size() / 2);
    // The box of the values that are coded: the first visit walks them with no predictions used.
    float lo[2] = {FLT_MAX, FLT_MAX};
    float hi[2] = {-FLT_MAX, -FLT_MAX};
    bool any = false;
    WalkTexCoords(*input.graph, input.layout, valueCount, [&](uint32_t attribute, const auto&) {
        for (int axis = 0; axis < 2; ++axis) {
            lo[axis] = std::min(lo[axis], input.values[2 * attribute + axis]);
            hi[axis] = std::max(hi[axis], input.values[2 * attribute + axis]);
        }
        any = true;
        return Quantised<2>{};
    });
    if (any)
        out.box = {{lo[0], lo[1]}, std::max(hi[0] - lo[0], hi[1] - lo[1])};
    const uint64_t scale = QuantisationScale(bits, kTexCoordScaleKnee);
    std::vector<Record> absolutes;
    WalkTexCoords(
        *input.graph, input.layout, valueCount, [&](uint32_t attribute, const std::optional<Quantised<2>>& predicted) {
            Quantised<2> q{};
            for (int axis = 0; axis < 2; ++axis)
                q[axis] = Quantise(input.values[2 * attribute + axis], out.box.min[axis], out.box.extent, scale);
            if (predicted) {
                out.records.push_back({true, {q[0] - (*predicted)[0], q[1] - (*predicted)[1]}});
                ++out.residuals;
            } else {
                absolutes.push_back({false, q});
            }
            return q;
        });
    out.records.insert(out.records.end(), absolutes.rbegin(), absolutes.rend());
    return out;
}

} // namespace

int EncodeTexCoords(std::span<const TexCoordInput> objects, uint32_t bits, std::vector<uint8_t>& outStream)
{
    std::vector<ObjectRecords> perObject;
    for (const TexCoordInput& object : objects) {
        perObject.push_back(BuildRecords(object, bits));
        // Finite values far apart can span more than a float holds: no decoder could place a value in such a box.
        if (!std::isfinite(perObject.back().box.extent))
            return PXERR_INVALIDGEOMETRY;
    }
    BitWriter out(static_cast<uint8_t>(StreamKind::kTexCoords));
    out.PutBits(static_cast<uint32_t>(objects.size()), 16);
    std::vector<DataItem> items;
    for (const ObjectRecords& object : perObject) {
        out.Put32(static_cast<uint32_t>(object.records.size()));
        if (object.records.empty())
            continue;
        out.Put32(object.residuals);
        out.PutBits(bits, 4);
        out.PutFloat(object.box.min[0]);
        out.PutFloat(object.box.min[1]);
        out.PutFloat(object.box.extent);
        for (const Record& record : object.records)
            for (const int32_t value : record.value)
                items.push_back(record.residual ? DataItem{value, kModeDelta, 0}
                                                : DataItem{value, kModeAbsolute, static_cast<uint8_t>(bits)});
    }
    const int result = EncodeIntegerData(out, items);
    if (result != PX_OK)
        return result;
    outStream = out.Finish();
    return PX_OK;
}

int DecodeTexCoords(std::span<const uint8_t> stream, std::span<const TexCoordTarget> objects,
                    std::vector<std::vector<float>>& outValues)
{
    outValues.clear();
    BitReader in;
    if (const int opened = OpenObjectStream(in, stream, objects.size()); opened != PX_OK)
        return opened;
    struct Header {
        uint32_t count = 0;
        uint32_t residuals = 0;
        uint32_t bits = 0;
        TexBox box;
    };
    std::vector<Header> headers(objects.size());
    std::vector<DataItem> items;
    for (size_t o = 0; o < objects.size(); ++o) {
        Header& h = headers[o];
        h.count = in.GetBits(32);
        if (h.count != 0 && h.count != objects[o].count)
            return PX_ERR; // an object has all its values or none
        if (h.count == 0)
            continue;
        h.residuals = in.GetBits(32);
        h.bits = in.GetBits(4);
        h.box.min[0] = in.GetFloat();
        h.box.min[1] = in.GetFloat();
        h.box.extent = in.GetFloat();
        if (in.Overrun() || h.residuals > h.count || h.bits < 1 || !std::isfinite(h.box.min[0]) ||
            !std::isfinite(h.box.min[1]) || !std::isfinite(h.box.extent))
            return PX_ERR;
        for (uint32_t r = 0; r < h.count; ++r)
            for (int axis = 0; axis < 2; ++axis)
                items.push_back(r < h.residuals ? DataItem{0, kModeDelta, 0}
                                                : DataItem{0, kModeAbsolute, static_cast<uint8_t>(h.bits)});
    }
    if (DecodeIntegerData(in, items) != PX_OK)
        return PX_ERR;
    std::vector<std::vector<float>> values(objects.size());
    size_t base = 0;
    for (size_t o = 0; o < objects.size(); ++o) {
        const Header& h = headers[o];
        if (h.count == 0)
            continue; // an object without texture coordinates beside others with them: nothing to walk
        size_t front = 0;
        size_t back = h.count;
        bool consistent = true;
        std::vector<Quantised<2>> quantised(h.count);
        WalkTexCoords(*objects[o].graph, objects[o].layout, h.count,
                      [&](uint32_t attribute, const std::optional<Quantised<2>>& predicted) {
                          Quantised<2> q{};
                          const bool residual = predicted.has_value();
                          if (residual ? front >= h.residuals : back <= h.residuals) {
                              consistent = false;
                              return q;
                          }
                          const size_t record = residual ? front++ : --back;
                          for (int axis = 0; axis < 2; ++axis) {
                              const int64_t item = items[base + 2 * record + static_cast<size_t>(axis)].value;
                              q[axis] = static_cast<int32_t>(residual ? (*predicted)[axis] + item : item);
                          }
                          quantised[attribute] = q;
                          return q;
                      });
        if (!consistent || front != h.residuals || back != h.residuals)
            return PX_ERR;
        base += 2 * static_cast<size_t>(h.count);
        const uint64_t scale = h.count ? QuantisationScale(h.bits, kTexCoordScaleKnee) : 1;
        values[o].resize(2 * static_cast<size_t>(h.count));
        for (size_t a = 0; a < quantised.size(); ++a)
            for (int axis = 0; axis < 2; ++axis)
                values[o][2 * a + axis] = Dequantise(quantised[a][axis], h.box.min[axis], h.box.extent, scale);
    }
    outValues = std::move(values);
    return PX_OK;
}

} // namespace px
