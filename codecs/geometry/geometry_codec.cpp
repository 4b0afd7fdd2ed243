#include "codecs/geometry/geometry_codec.h"

// Sections: parameters and shape stream; face sets to the working form; the encode pipeline; the decode
// pipeline; the entry points.
#include <algorithm>
#include <cmath>
#include <exception>
#include <new>
#include <optional>

#include "codecs/geometry/bit_reader.h"
#include "codecs/geometry/bit_writer.h"
#include "codecs/geometry/colour_coder.h"
#include "codecs/geometry/face_set_conversion.h"
#include "codecs/geometry/normal_coder.h"
#include "codecs/geometry/position_coder.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/stream_angles.h"
#include "codecs/geometry/stream_header.h"
#include "codecs/geometry/texcoord_coder.h"
#include "codecs/geometry/topology_coder.h"
#include "codecs/geometry/topology_stream.h"
#include "codecs/geometry/wedge_coder.h"

namespace px {

namespace {

constexpr float kCreasePi = static_cast<float>(kStreamPi); // the encoder divides in single precision

// ---- parameters and shape stream ----

struct CodecParams {
    uint32_t positionBits = 10;
    uint32_t colourPrecision = 8;
    uint32_t texCoordBits = 8;
    uint32_t normalBits = 6;
};

bool ReadParams(const PXParams& block, CodecParams& out)
{
    out.positionBits = block.words[kParamPositionBits];
    out.colourPrecision = block.words[kParamColourPrecision];
    out.texCoordBits = block.words[kParamTexCoordBits];
    out.normalBits = block.words[kParamNormalBits];
    return out.positionBits >= 1 && out.positionBits <= kMaxPositionBits && out.texCoordBits >= 1 &&
           out.texCoordBits <= kMaxTexCoordBits && out.normalBits >= 1 && out.normalBits <= kMaxNormalBits;
}

// Angles above pi would wrap in 8 bits, and a negative one has no code: both are clamped first.
uint32_t CreaseCode(float angle)
{
    const float clamped = std::isnan(angle) ? 0.0f : std::clamp(angle, 0.0f, kCreasePi);
    return static_cast<uint32_t>(clamped / kCreasePi * 255.0f) & 0xFF;
}

std::vector<uint8_t> WriteShapeStream(std::span<const PXIndexedFaceSet> lists)
{
    BitWriter out(static_cast<uint8_t>(StreamKind::kShape));
    out.Put32(static_cast<uint32_t>(lists.size()));
    for (const PXIndexedFaceSet& list : lists) {
        for (const uint8_t flag : list.shapeFlags)
            out.PutBit(flag != 0 ? 1 : 0);
        out.PutBits(CreaseCode(list.creaseAngle), 8);
    }
    return out.Finish();
}

// Entries beyond the decoded face sets are skipped; face sets without an entry keep the defaults.
int ReadShapeStream(std::span<const uint8_t> stream, std::span<PXIndexedFaceSet> lists)
{
    BitReader in;
    if (!in.Open(stream))
        return PX_ERR;
    const uint32_t count = in.GetBits(32);
    const size_t used = std::min<size_t>(count, lists.size());
    for (size_t o = 0; o < used; ++o) {
        for (uint8_t& flag : lists[o].shapeFlags)
            flag = static_cast<uint8_t>(in.GetBit());
        lists[o].creaseAngle = static_cast<float>(in.GetBits(8) / 255.0 * kStreamPi);
    }
    return in.Overrun() ? PX_ERR : PX_OK;
}

// ---- face sets to the working form ----

// One attribute of one object after its checks: values (dims per entry) and the index at every corner.
struct AttributeInput {
    bool present = false;
    bool indexed = false;
    std::vector<float> values;
    CornerAttributes corners; // per triangle; the position index when the attribute has no index list
};

struct PreparedObject {
    TriangleRecord triangles;
    TriangleMap map;
    std::span<const float> positions;
    AttributeInput texCoords;
    AttributeInput colours; // in YIQ
    AttributeInput normals;
};

bool AllFinite(std::span<const float> values)
{
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

int PrepareAttribute(std::span<const float> values, uint32_t dims, std::span<const int32_t> indexList,
                     const PXIndexedFaceSet& faceSet, const PreparedObject& object, AttributeInput& out)
{
    out = AttributeInput();
    const uint32_t count = static_cast<uint32_t>(values.size() / dims);
    if (count == 0)
        return PX_OK;
    out.present = true;
    out.values.assign(values.begin(), values.begin() + static_cast<ptrdiff_t>(count) * dims);
    if (indexList.empty()) {
        if (count != faceSet.PositionCount())
            return PXERR_INVALIDGEOMETRY;
        for (const auto& triangle : object.triangles.vertices)
            out.corners.push_back({static_cast<int32_t>(triangle[0]), static_cast<int32_t>(triangle[1]),
                                   static_cast<int32_t>(triangle[2])});
        return PX_OK;
    }
    // An index list is read at coordIndex's positions: it must reach as far, and name existing values.
    if (indexList.size() < faceSet.coordIndex.size())
        return PXERR_INVALIDGEOMETRY;
    out.indexed = true;
    out.corners = MapTriangleCorners(object.map, indexList);
    for (const auto& triangle : out.corners)
        for (const int32_t index : triangle)
            if (index < 0 || static_cast<uint32_t>(index) >= count)
                return PXERR_INVALIDGEOMETRY;
    return PX_OK;
}

int ConvertFaceSetToMesh(const PXIndexedFaceSet& faceSet, PreparedObject& out)
{
    if (faceSet.PositionCount() < 3 || faceSet.coordIndex.size() < 3)
        return PXERR_INVALIDGEOMETRY;
    const ConnectivityInput input{faceSet.coordIndex, faceSet.PositionCount()};
    int result = PrepareConnectivity(input, out.triangles, out.map);
    if (result != PX_OK)
        return result;
    // A coordinate that is not a finite number cannot be quantised: the face set is refused.
    if (!AllFinite(faceSet.coord) || !AllFinite(faceSet.texCoord) || !AllFinite(faceSet.colour) ||
        !AllFinite(faceSet.normal))
        return PXERR_INVALIDGEOMETRY;
    out.positions = faceSet.coord;
    result = PrepareAttribute(faceSet.texCoord, 2, faceSet.texCoordIndex, faceSet, out, out.texCoords);
    if (result == PX_OK && faceSet.colourPerVertex) {
        std::vector<float> yiq;
        for (size_t c = 0; c + 3 <= faceSet.colour.size(); c += 3) {
            const std::array<float, 3> converted = RgbToYiq(&faceSet.colour[c]);
            yiq.insert(yiq.end(), converted.begin(), converted.end());
        }
        result = PrepareAttribute(yiq, 3, faceSet.colourIndex, faceSet, out, out.colours);
    }
    if (result == PX_OK && faceSet.normalPerVertex)
        result = PrepareAttribute(faceSet.normal, 3, faceSet.normalIndex, faceSet, out, out.normals);
    return result;
}

// ---- the encode pipeline ----

struct EncodedStreams {
    std::vector<uint8_t>& Of(StreamKind kind) { return slot[SlotOf(kind)]; }

    std::vector<uint8_t> slot[PXStreamSet::kSlotCount];
};

// Wedges for one attribute of every object when any object has an index list; objects without the attribute
// get none. sameValue compares two value tuples of the attribute.
int EncodeAttributeWedges(uint8_t kind, std::span<const MeshGraph> graphs, std::span<const PreparedObject> objects,
                          AttributeInput PreparedObject::*attribute, uint32_t dims, std::vector<uint8_t>& outStream,
                          std::vector<WedgeLayout>& outLayouts)
{
    std::vector<PropertyIndexInput> inputs(objects.size());
    for (size_t o = 0; o < objects.size(); ++o) {
        const AttributeInput& input = objects[o].*attribute;
        inputs[o].graph = &graphs[o];
        if (!input.present)
            continue;
        inputs[o].corners = input.corners;
        inputs[o].sameValue = [&input, dims](int32_t a, int32_t b) {
            return std::equal(input.values.begin() + a * dims, input.values.begin() + (a + 1) * dims,
                              input.values.begin() + b * dims);
        };
    }
    return EncodePropertyIndices(kind, inputs, outStream, outLayouts);
}

// Whether any object has the attribute, and its wedges when any object has an index list for it (the index
// stream then goes to its slot). Objects without an index list are coded by wedges too, their attribute indexed
// like coordIndex, so that the decoder never has to tell "no list" from "a list without seams".
struct AttributeStage {
    bool present = false;
    bool wedges = false;
    std::vector<WedgeLayout> layouts;
};

int PrepareAttributeStage(std::span<const MeshGraph> graphs, std::span<const PreparedObject> objects,
                          AttributeInput PreparedObject::*attribute, uint32_t dims, StreamKind indexKind,
                          std::vector<uint8_t>& indexStream, AttributeStage& out)
{
    const auto has = [&](auto predicate) { return std::any_of(objects.begin(), objects.end(), predicate); };
    out.present = has([&](const PreparedObject& o) { return (o.*attribute).present; });
    out.wedges = has([&](const PreparedObject& o) { return (o.*attribute).indexed; });
    if (!out.present || !out.wedges)
        return PX_OK;
    return EncodeAttributeWedges(static_cast<uint8_t>(indexKind), graphs, objects, attribute, dims, indexStream,
                                 out.layouts);
}

const WedgeLayout* LayoutOf(const AttributeStage& stage, size_t o)
{
    return stage.wedges ? &stage.layouts[o] : nullptr;
}

int EncodeTexCoordStage(std::span<const MeshGraph> graphs, std::span<const PreparedObject> objects, uint32_t bits,
                        EncodedStreams& out)
{
    AttributeStage stage;
    int result = PrepareAttributeStage(graphs, objects, &PreparedObject::texCoords, 2, StreamKind::kTexCoordIndex,
                                       out.Of(StreamKind::kTexCoordIndex), stage);
    if (result != PX_OK || !stage.present)
        return result;
    std::vector<TexCoordInput> inputs(objects.size());
    for (size_t o = 0; o < objects.size(); ++o)
        inputs[o] = {&graphs[o], LayoutOf(stage, o), objects[o].texCoords.values};
    return EncodeTexCoords(inputs, bits, out.Of(StreamKind::kTexCoords));
}

int EncodeColourStage(std::span<const MeshGraph> graphs, std::span<const PreparedObject> objects, uint32_t precision,
                      EncodedStreams& out)
{
    AttributeStage stage;
    int result = PrepareAttributeStage(graphs, objects, &PreparedObject::colours, 3, StreamKind::kColourIndex,
                                       out.Of(StreamKind::kColourIndex), stage);
    if (result != PX_OK || !stage.present)
        return result;
    std::vector<ColourInput> inputs(objects.size());
    for (size_t o = 0; o < objects.size(); ++o)
        inputs[o] = {&graphs[o], LayoutOf(stage, o), objects[o].colours.values};
    return EncodeColours(inputs, ColourBitsOf(precision), out.Of(StreamKind::kColours));
}

int EncodeNormalStage(std::span<const MeshGraph> graphs, std::span<const PreparedObject> objects,
                      std::span<const QuantisedPositions> quantised, uint32_t bits, EncodedStreams& out)
{
    AttributeStage stage;
    int result = PrepareAttributeStage(graphs, objects, &PreparedObject::normals, 3, StreamKind::kNormalIndex,
                                       out.Of(StreamKind::kNormalIndex), stage);
    if (result != PX_OK || !stage.present)
        return result;
    std::vector<NormalInput> inputs(objects.size());
    for (size_t o = 0; o < objects.size(); ++o)
        inputs[o] = {&graphs[o], LayoutOf(stage, o), &quantised[o], objects[o].normals.values};
    return EncodeNormals(inputs, bits, out.Of(StreamKind::kNormals));
}

int EncodePipeline(std::span<const PXIndexedFaceSet> lists, const CodecParams& params, EncodedStreams& out,
                   PXReorderMaps* maps)
{
    std::vector<PreparedObject> objects(lists.size());
    for (size_t o = 0; o < lists.size(); ++o) {
        const int result = ConvertFaceSetToMesh(lists[o], objects[o]);
        if (result != PX_OK)
            return result;
    }
    std::vector<TriangleRecord> records;
    for (const PreparedObject& object : objects)
        records.push_back(object.triangles);
    std::vector<MeshGraph> graphs;
    int result = EncodeTopology(records, graphs, out.Of(StreamKind::kTopology));
    if (result != PX_OK)
        return result;
    std::vector<PositionInput> positions;
    for (size_t o = 0; o < objects.size(); ++o)
        positions.push_back({&graphs[o], objects[o].positions});
    std::vector<QuantisedPositions> quantised;
    result = EncodePositions(positions, params.positionBits, out.Of(StreamKind::kPositions), quantised);
    if (result == PX_OK)
        result = EncodeColourStage(graphs, objects, params.colourPrecision, out);
    if (result == PX_OK)
        result = EncodeNormalStage(graphs, objects, quantised, params.normalBits, out);
    if (result == PX_OK)
        result = EncodeTexCoordStage(graphs, objects, params.texCoordBits, out);
    if (result != PX_OK)
        return result;
    out.Of(StreamKind::kShape) = WriteShapeStream(lists);
    if (!maps)
        return PX_OK;
    PXReorderMaps built;
    built.objects.resize(objects.size());
    for (size_t o = 0; o < objects.size(); ++o) {
        result = BuildReorderMaps(graphs[o], objects[o].map, records[o].vertices.size(), built.objects[o]);
        if (result != PX_OK)
            return result;
    }
    *maps = std::move(built);
    return PX_OK;
}

// ---- the decode pipeline ----

std::optional<std::span<const uint8_t>> BytesOf(const PXStreamSet& streams, StreamKind kind)
{
    return streams.SlotBytes(SlotOf(kind));
}

// Every present stream must be of this version and of its slot's kind (slot + 1; the last slot has no kind).
int CheckSlots(const PXStreamSet& streams)
{
    for (uint32_t slot = 0; slot + 1 < PXStreamSet::kSlotCount; ++slot) {
        const std::optional<std::span<const uint8_t>> bytes = streams.SlotBytes(slot);
        if (!bytes)
            continue;
        const std::optional<StreamHeader> header = ReadStreamHeader(*bytes);
        if (!header || header->kind != slot + 1)
            return PX_ERR;
        if (header->version != kStreamVersion)
            return PXERR_VERSIONMISMATCH;
    }
    return PX_OK;
}

struct DecodedAttribute {
    std::vector<std::vector<float>> values; // per object
    std::vector<WedgeLayout> layouts;       // per object when indexed
    bool indexed = false;
};

// Reads an attribute's index stream (when present) and then its values through decodeValues(graphs, layouts,
// counts). An attribute whose stream counts other objects is dropped with its index list.
template <typename DecodeValues>
int DecodeAttributeStage(const PXStreamSet& streams, StreamKind valueKind, StreamKind indexKind,
                         std::span<const DecodedTopology> topology, DecodedAttribute& out, DecodeValues decodeValues)
{
    out = DecodedAttribute();
    const std::optional<std::span<const uint8_t>> values = BytesOf(streams, valueKind);
    if (!values)
        return PX_OK;
    std::vector<const MeshGraph*> graphs;
    std::vector<size_t> triangleCounts;
    for (const DecodedTopology& object : topology) {
        graphs.push_back(&object.graph);
        triangleCounts.push_back(object.triangles.size());
    }
    if (const std::optional<std::span<const uint8_t>> index = BytesOf(streams, indexKind)) {
        const int result = DecodePropertyIndices(*index, graphs, triangleCounts, out.layouts);
        if (result == PX_EMPTYBITSTREAM)
            return PX_OK;
        if (result != PX_OK)
            return result;
        out.indexed = true;
    }
    std::vector<const WedgeLayout*> layouts;
    std::vector<uint32_t> counts;
    for (size_t o = 0; o < topology.size(); ++o) {
        layouts.push_back(out.indexed ? &out.layouts[o] : nullptr);
        counts.push_back(out.indexed ? out.layouts[o].attributeCount : topology[o].vertexCount);
    }
    const int result = decodeValues(*values, graphs, layouts, counts, out.values);
    if (result == PX_EMPTYBITSTREAM) {
        out = DecodedAttribute();
        return PX_OK;
    }
    return result;
}

int DecodeTexCoordStage(const PXStreamSet& streams, std::span<const DecodedTopology> topology, DecodedAttribute& out)
{
    return DecodeAttributeStage(
        streams, StreamKind::kTexCoords, StreamKind::kTexCoordIndex, topology, out,
        [](auto bytes, const auto& graphs, const auto& layouts, const auto& counts, auto& values) {
            std::vector<TexCoordTarget> targets;
            for (size_t o = 0; o < graphs.size(); ++o)
                targets.push_back({graphs[o], layouts[o], counts[o]});
            return DecodeTexCoords(bytes, targets, values);
        });
}

int DecodeColourStage(const PXStreamSet& streams, std::span<const DecodedTopology> topology, DecodedAttribute& out)
{
    return DecodeAttributeStage(
        streams, StreamKind::kColours, StreamKind::kColourIndex, topology, out,
        [](auto bytes, const auto& graphs, const auto& layouts, const auto& counts, auto& values) {
            std::vector<ColourTarget> targets;
            for (size_t o = 0; o < graphs.size(); ++o)
                targets.push_back({graphs[o], layouts[o], counts[o]});
            return DecodeColours(bytes, targets, values);
        });
}

int DecodeNormalStage(const PXStreamSet& streams, std::span<const DecodedTopology> topology,
                      std::span<const QuantisedPositions> quantised, DecodedAttribute& out)
{
    return DecodeAttributeStage(
        streams, StreamKind::kNormals, StreamKind::kNormalIndex, topology, out,
        [&](auto bytes, const auto& graphs, const auto& layouts, const auto& counts, auto& values) {
            std::vector<NormalTarget> targets;
            for (size_t o = 0; o < graphs.size(); ++o)
                targets.push_back({graphs[o], layouts[o], &quantised[o], counts[o]});
            return DecodeNormals(bytes, targets, values);
        });
}

std::vector<int32_t> IndexListOf(const DecodedTopology& object, const WedgeLayout& layout)
{
    std::vector<std::array<uint32_t, 3>> values;
    values.reserve(layout.corners.size());
    for (const auto& triangle : layout.corners)
        values.push_back({static_cast<uint32_t>(triangle[0]), static_cast<uint32_t>(triangle[1]),
                          static_cast<uint32_t>(triangle[2])});
    return IndexListFromCorners(object.cornerList, values);
}

struct DecodedAttributes {
    DecodedAttribute texCoords;
    DecodedAttribute colours;
    DecodedAttribute normals;
};

// Values and index list of one attribute of object o; an object without values gets neither.
void TakeAttribute(const DecodedTopology& object, const DecodedAttribute& attribute, size_t o,
                   std::vector<float>& outValues, std::vector<int32_t>& outIndex)
{
    if (attribute.values.empty() || attribute.values[o].empty())
        return;
    outValues = attribute.values[o];
    if (attribute.indexed)
        outIndex = IndexListOf(object, attribute.layouts[o]);
}

PXIndexedFaceSet ConvertMeshToFaceSet(const DecodedTopology& object, std::vector<float> positions,
                                      const DecodedAttributes& attributes, size_t o)
{
    PXIndexedFaceSet faceSet;
    faceSet.coord = std::move(positions);
    faceSet.coordIndex = IndexListFromCorners(object.cornerList, object.triangles);
    TakeAttribute(object, attributes.texCoords, o, faceSet.texCoord, faceSet.texCoordIndex);
    TakeAttribute(object, attributes.normals, o, faceSet.normal, faceSet.normalIndex);
    TakeAttribute(object, attributes.colours, o, faceSet.colour, faceSet.colourIndex);
    for (size_t c = 0; c + 3 <= faceSet.colour.size(); c += 3) {
        const std::array<float, 3> rgb = YiqToRgb(&faceSet.colour[c]);
        std::copy(rgb.begin(), rgb.end(), faceSet.colour.begin() + static_cast<ptrdiff_t>(c));
    }
    return faceSet;
}

int DecodePipeline(const PXStreamSet& streams, std::vector<PXIndexedFaceSet>& outLists)
{
    const std::optional<std::span<const uint8_t>> positionsStream = BytesOf(streams, StreamKind::kPositions);
    const std::optional<std::span<const uint8_t>> topologyStream = BytesOf(streams, StreamKind::kTopology);
    if (!positionsStream || !topologyStream)
        return PX_EMPTYBITSTREAM;
    int result = CheckSlots(streams);
    if (result != PX_OK)
        return result;
    std::vector<DecodedTopology> topology;
    if (DecodeTopology(*topologyStream, MaxPositionsIn(*positionsStream), topology) != PX_OK)
        return PX_ERR;
    std::vector<const MeshGraph*> graphs;
    std::vector<uint32_t> vertexCounts;
    for (const DecodedTopology& object : topology) {
        graphs.push_back(&object.graph);
        vertexCounts.push_back(object.vertexCount);
    }
    std::vector<std::vector<float>> positions;
    std::vector<QuantisedPositions> quantised;
    if (DecodePositions(*positionsStream, graphs, vertexCounts, positions, quantised) != PX_OK)
        return PX_ERR;
    DecodedAttributes attributes;
    result = DecodeColourStage(streams, topology, attributes.colours);
    if (result == PX_OK)
        result = DecodeNormalStage(streams, topology, quantised, attributes.normals);
    if (result == PX_OK)
        result = DecodeTexCoordStage(streams, topology, attributes.texCoords);
    if (result != PX_OK)
        return result;
    std::vector<PXIndexedFaceSet> lists;
    for (size_t o = 0; o < topology.size(); ++o)
        lists.push_back(ConvertMeshToFaceSet(topology[o], std::move(positions[o]), attributes, o));
    if (const std::optional<std::span<const uint8_t>> shape = BytesOf(streams, StreamKind::kShape))
        if (ReadShapeStream(*shape, lists) != PX_OK)
            return PX_ERR;
    outLists = std::move(lists);
    return PX_OK;
}

} // namespace

// ---- the entry points ----

int CompressModel(const PXModel& model, PXStreamSet& streams, PXReorderMaps* maps)
{
    if (model.Count() == 0)
        return PX_EMPTYLIST;
    CodecParams params;
    if (model.Count() > kMaxObjects || !ReadParams(model.Params(0), params))
        return PXERR_INVALIDPARAMETER;
    try {
        EncodedStreams encoded;
        PXReorderMaps built;
        const int result = EncodePipeline(model.Lists(), params, encoded, maps ? &built : nullptr);
        if (result != PX_OK)
            return result;
        std::vector<PXStream> made(PXStreamSet::kSlotCount);
        for (uint32_t slot = 0; slot + 1 < PXStreamSet::kSlotCount; ++slot)
            if (!encoded.slot[slot].empty() && made[slot].Attach(std::move(encoded.slot[slot])) != PX_OK)
                return PXERR_INVALIDGEOMETRY;
        // A slot this model does not fill is emptied, so no stream of an earlier model stays beside the new ones.
        for (uint32_t slot = 0; slot + 1 < PXStreamSet::kSlotCount; ++slot) {
            const bool required = slot == SlotOf(StreamKind::kPositions) || slot == SlotOf(StreamKind::kTopology);
            if (required || made[slot].GetLength() != 0)
                streams.SetSlot(slot, std::move(made[slot]));
            else
                streams.ClearSlot(slot);
        }
        if (maps)
            *maps = std::move(built);
        return PX_OK;
    } catch (const std::exception&) { // bad_alloc, or length_error for a size no vector holds
        return PXERR_OUTOFMEMORY;
    }
}

int DecompressModel(const PXStreamSet& streams, PXModel& model)
{
    try {
        std::vector<PXIndexedFaceSet> lists;
        const int result = DecodePipeline(streams, lists);
        if (result != PX_OK)
            return result;
        return model.SetLists(std::move(lists));
    } catch (const std::exception&) { // bad_alloc, or length_error for a size no vector holds
        return PXERR_OUTOFMEMORY;
    }
}

} // namespace px
