#include "codecs/geometry/colour_coder.h"

#include <algorithm>

#include "codecs/geometry/attribute_walk.h"
#include "codecs/geometry/bit_reader.h"
#include "codecs/geometry/bit_writer.h"
#include "codecs/geometry/integer_coder.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/quantisation.h"
#include "codecs/geometry/run_length.h"
#include "codecs/geometry/stream_header.h"

namespace px {

namespace {

constexpr double kOffset[3] = {0.0, 0.5959, 0.5227};
constexpr double kRange[3] = {0.9999, 1.1918, 1.0453};
constexpr float kOffsetF[3] = {0.0f, 0.5959f, 0.5227f};
constexpr float kRangeF[3] = {0.9999f, 1.1918f, 1.0453f};
constexpr uint32_t kMinZeroRun = 16;

int32_t QuantiseComponent(float value, int component, uint32_t bits)
{
    const double levels = static_cast<double>((1u << bits) - 1);
    const double x = (value + kOffset[component]) / kRange[component] * levels;
    return static_cast<int32_t>(std::clamp<int64_t>(RoundHalfAway(x), INT32_MIN / 4, INT32_MAX / 4));
}

float DequantiseComponent(int32_t q, int component, uint32_t bits)
{
    return static_cast<float>(q) / static_cast<float>((1u << bits) - 1) * kRangeF[component] - kOffsetF[component];
}

// One visit per coded colour: its attribute index and the prediction (none: from the previous colour).
template <typename Restore>
void WalkColours(const MeshGraph& graph, const WedgeLayout* layout, uint32_t valueCount, Restore restore)
{
    std::vector<Quantised<3>> values(valueCount);
    if (!layout) {
        std::vector<uint8_t> coded(graph.nodes.size(), 0);
        const VertexValues<3> lookup{
            [&](uint32_t node) { return coded[node] != 0; },
            [&](uint32_t node) { return values[static_cast<uint32_t>(graph.nodes[node].position)]; },
            false,
        };
        for (const uint32_t v : graph.traversal) {
            if (graph.nodes[v].twin == kNoNode) {
                const uint32_t attribute = static_cast<uint32_t>(graph.nodes[v].position);
                values[attribute] = restore(attribute, NeighbourAverage(graph, v, lookup));
            }
            coded[v] = 1; // copies of a split vertex count as coded too: their colour is their twin's
        }
        return;
    }
    std::vector<uint8_t> coded(valueCount, 0);
    const WedgeValues<3> lookup{
        &layout->corners,
        [&](int32_t a) { return a >= 0 && static_cast<uint32_t>(a) < valueCount && coded[static_cast<uint32_t>(a)]; },
        [&](int32_t a) { return values[static_cast<uint32_t>(a)]; }};
    for (const uint32_t w : layout->firstWedgeOfAttribute) {
        const uint32_t attribute = static_cast<uint32_t>(layout->wedges[w].attribute);
        if (attribute >= valueCount)
            continue;
        values[attribute] = restore(attribute, WedgeAverage(graph, layout->wedges[w], lookup));
        coded[attribute] = 1;
    }
}

} // namespace

ColourBits ColourBitsOf(uint32_t precision)
{
    switch (precision) {
    case 5:
        return {6, 5, 5};
    case 7:
        return {8, 7, 7};
    case 8:
        return {8, 8, 8};
    default:
        return {7, 6, 6};
    }
}

std::array<float, 3> RgbToYiq(const float* rgb)
{
    const double r = rgb[0], g = rgb[1], b = rgb[2];
    return {static_cast<float>(0.2989 * r + 0.5866 * g + 0.1144 * b),
            static_cast<float>(0.5959 * r - 0.2741 * g - 0.3218 * b),
            static_cast<float>(0.2113 * r - 0.5227 * g + 0.3113 * b)};
}

std::array<float, 3> YiqToRgb(const float* yiq)
{
    const float y = yiq[0], i = yiq[1], q = yiq[2];
    std::array<float, 3> rgb = {y + 0.9562f * i + 0.621f * q, y - 0.2717f * i - 0.6485f * q,
                                y - 1.1053f * i + 1.702f * q};
    for (float& c : rgb)
        c = c >= 1.0f ? 1.0f : (c > 0.0f ? c : 0.0f);
    return rgb;
}

int EncodeColours(std::span<const ColourInput> objects, const ColourBits& bits, std::vector<uint8_t>& outStream)
{
    std::vector<DataItem> components[3];
    std::vector<uint32_t> counts;
    for (const ColourInput& object : objects) {
        uint32_t count = 0;
        if (!object.yiq.empty()) {
            Quantised<3> previous{};
            WalkColours(*object.graph, object.layout, static_cast<uint32_t>(object.yiq.size() / 3),
                        [&](uint32_t attribute, const std::optional<Quantised<3>>& predicted) {
                            Quantised<3> colour{};
                            for (int c = 0; c < 3; ++c)
                                colour[c] = QuantiseComponent(object.yiq[3 * attribute + c], c, bits[c]);
                            const Quantised<3> base = predicted ? *predicted : previous;
                            if (!predicted)
                                previous = colour;
                            for (int c = 0; c < 3; ++c)
                                components[c].push_back({colour[c] - base[c], kModeDelta, 0});
                            ++count;
                            return colour;
                        });
        }
        counts.push_back(count);
    }
    BitWriter out(static_cast<uint8_t>(StreamKind::kColours));
    out.PutBits(static_cast<uint32_t>(objects.size()), 16);
    for (const uint32_t count : counts) {
        out.Put32(count);
        if (count > 0)
            for (const uint32_t width : bits)
                out.PutBits(width, 4);
    }
    for (std::vector<DataItem>& component : components) {
        const int result = EncodeZeroRuns(out, component, kMinZeroRun);
        if (result != PX_OK)
            return result;
    }
    outStream = out.Finish();
    return PX_OK;
}

int DecodeColours(std::span<const uint8_t> stream, std::span<const ColourTarget> objects,
                  std::vector<std::vector<float>>& outYiq)
{
    outYiq.clear();
    BitReader in;
    if (const int opened = OpenObjectStream(in, stream, objects.size()); opened != PX_OK)
        return opened;
    std::vector<ColourBits> widths(objects.size(), ColourBits{0, 0, 0});
    size_t total = 0;
    for (size_t o = 0; o < objects.size(); ++o) {
        const uint32_t count = in.GetBits(32);
        if (count != 0 && count != objects[o].count)
            return PX_ERR;
        if (count == 0)
            continue;
        for (uint32_t& width : widths[o]) {
            width = in.GetBits(4);
            if (width < 1)
                return PX_ERR; // one level has no step to divide by
        }
        total += count;
    }
    std::vector<DataItem> components[3];
    for (std::vector<DataItem>& component : components) {
        component.resize(total);
        if (in.Overrun() || DecodeZeroRuns(in, component) != PX_OK)
            return PX_ERR;
    }
    std::vector<std::vector<float>> yiq(objects.size());
    size_t next = 0;
    for (size_t o = 0; o < objects.size(); ++o) {
        if (widths[o][0] == 0)
            continue;
        yiq[o].assign(3 * static_cast<size_t>(objects[o].count), 0.0f);
        Quantised<3> previous{};
        WalkColours(*objects[o].graph, objects[o].layout, objects[o].count,
                    [&](uint32_t attribute, const std::optional<Quantised<3>>& predicted) {
                        const Quantised<3> base = predicted ? *predicted : previous;
                        Quantised<3> colour{};
                        for (int c = 0; c < 3; ++c)
                            colour[c] = static_cast<int32_t>(static_cast<int64_t>(base[c]) + components[c][next].value);
                        ++next;
                        if (!predicted)
                            previous = colour;
                        for (int c = 0; c < 3; ++c)
                            yiq[o][3 * attribute + c] = DequantiseComponent(colour[c], c, widths[o][c]);
                        return colour;
                    });
    }
    outYiq = std::move(yiq);
    return PX_OK;
}

} // namespace px
