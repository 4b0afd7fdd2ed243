#include "codecs/geometry/topology_stream.h"

#include <algorithm>

#include "codecs/geometry/bit_reader.h"
#include "codecs/geometry/bit_width.h"
#include "codecs/geometry/bit_writer.h"
#include "codecs/geometry/integer_coder.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/run_length.h"
#include "codecs/geometry/stream_header.h"

namespace px {

namespace {

constexpr uint32_t kRunThreshold = 5; // a run of 5 or more adds of one valence is one item and a raw count

struct PackedCommand {
    TopologyCommand command;
    uint32_t count = 1;
};

std::vector<PackedCommand> PackCommands(std::span<const TopologyCommand> commands)
{
    std::vector<PackedCommand> packed;
    for (const TopologyCommand& command : commands) {
        if (command.kind == CommandKind::kAdd && !packed.empty() && packed.back().command.kind == CommandKind::kAdd &&
            packed.back().command.valence == command.valence) {
            ++packed.back().count;
        } else {
            packed.push_back({command, 1});
        }
    }
    return packed;
}

struct RawWidths {
    uint32_t run = 0;
    uint32_t split = 0;
    uint32_t list = 0;
    uint32_t merge = 0;
};

void AppendItems(const std::vector<PackedCommand>& packed, std::vector<DataItem>& items)
{
    for (const PackedCommand& p : packed) {
        const int32_t valence = static_cast<int32_t>(p.command.valence);
        switch (p.command.kind) {
        case CommandKind::kAdd:
            if (p.count >= kRunThreshold)
                items.push_back({2 * valence + 1, kModeDelta, 0});
            else
                items.insert(items.end(), p.count, DataItem{2 * valence, kModeDelta, 0});
            break;
        case CommandKind::kAddDummy:
            items.push_back({-valence, kModeDelta, 0});
            break;
        case CommandKind::kSplit:
            items.push_back({0, kModeDelta, 0});
            break;
        case CommandKind::kMerge:
            items.push_back({1, kModeDelta, 0});
            break;
        }
    }
}

void WriteRawFields(BitWriter& out, const std::vector<PackedCommand>& packed, const RawWidths& widths)
{
    for (const PackedCommand& p : packed) {
        if (p.command.kind == CommandKind::kAdd && p.count >= kRunThreshold) {
            out.PutBits(p.count, widths.run);
        } else if (p.command.kind == CommandKind::kSplit) {
            out.PutBits(p.command.offset, widths.split);
        } else if (p.command.kind == CommandKind::kMerge) {
            out.PutBits(p.command.listIndex, widths.list);
            out.PutBits(p.command.offset, widths.merge);
        }
    }
}

void WriteFaceEdgeCounts(BitWriter& out, std::span<const uint8_t> counts)
{
    std::vector<uint8_t> a;
    std::vector<uint8_t> b;
    for (const uint8_t count : counts) {
        a.push_back(count == 3 ? 0 : 1);
        if (count != 3)
            b.push_back(count == 1 ? 1 : 0);
    }
    EncodeFlagRuns(out, a);
    EncodeFlagRuns(out, b);
}

void WriteIdentificationPairs(BitWriter& out, std::span<const uint32_t> values)
{
    out.Put32(static_cast<uint32_t>(values.size()));
    if (values.empty())
        return;
    const uint64_t largest = std::max<uint64_t>(1, *std::max_element(values.begin(), values.end()));
    const uint32_t width = BitWidth(largest + 1);
    out.PutBits(width, 5);
    for (const uint32_t value : values)
        out.PutBits(value, width);
}

bool WithinLimits(std::span<const ComponentRecord> records)
{
    uint64_t vertices = 0;
    uint64_t slots = 0;
    for (const ComponentRecord& record : records) {
        for (const TopologyCommand& command : record.commands) {
            if (command.kind == CommandKind::kAdd || command.kind == CommandKind::kAddDummy) {
                ++vertices;
                slots += command.valence;
            }
        }
    }
    return records.size() <= kMaxObjects && vertices <= kMaxStreamVertices && slots <= kMaxStreamRingSlots;
}

} // namespace

uint32_t ComponentRecord::VertexCount() const
{
    uint32_t count = 0;
    for (const TopologyCommand& command : commands)
        if (command.kind == CommandKind::kAdd || command.kind == CommandKind::kAddDummy)
            ++count;
    return count;
}

int PackTopology(std::span<const ComponentRecord> records, std::vector<uint8_t>& outStream)
{
    if (!WithinLimits(records))
        return PXERR_INVALIDGEOMETRY;
    std::vector<std::vector<PackedCommand>> packed;
    std::vector<DataItem> items;
    std::vector<uint32_t> itemCounts;
    uint64_t largestRun = 0, largestSplit = 0, largestList = 0, largestMerge = 0;
    for (const ComponentRecord& record : records) {
        packed.push_back(PackCommands(record.commands));
        const size_t before = items.size();
        AppendItems(packed.back(), items);
        itemCounts.push_back(static_cast<uint32_t>(items.size() - before));
        for (const PackedCommand& p : packed.back()) {
            if (p.command.kind == CommandKind::kAdd)
                largestRun = std::max<uint64_t>(largestRun, p.count);
            else if (p.command.kind == CommandKind::kSplit)
                largestSplit = std::max<uint64_t>(largestSplit, p.command.offset);
            else if (p.command.kind == CommandKind::kMerge) {
                largestList = std::max<uint64_t>(largestList, p.command.listIndex);
                largestMerge = std::max<uint64_t>(largestMerge, p.command.offset);
            }
        }
    }
    const RawWidths widths{BitWidth(largestRun + 1), BitWidth(largestSplit + 1), BitWidth(largestList + 1),
                           BitWidth(largestMerge + 1)};
    BitWriter out(static_cast<uint8_t>(StreamKind::kTopology));
    out.PutBits(static_cast<uint32_t>(records.size()), 16);
    for (const uint32_t count : itemCounts)
        out.Put32(count);
    out.PutBits(widths.run, 5);
    out.PutBits(widths.split, 5);
    out.PutBits(widths.list, 5);
    out.PutBits(widths.merge, 5);
    const int result = EncodeIntegerData(out, items);
    if (result != PX_OK)
        return result;
    for (const std::vector<PackedCommand>& p : packed)
        WriteRawFields(out, p, widths);
    for (const ComponentRecord& record : records)
        WriteFaceEdgeCounts(out, record.faceEdgeCounts);
    for (const ComponentRecord& record : records)
        EncodeFlagRuns(out, record.residualFlags);
    for (const ComponentRecord& record : records)
        WriteIdentificationPairs(out, record.identification);
    outStream = out.Finish();
    return PX_OK;
}

namespace {

// Items of one object back into commands; an odd add's count comes later from the raw fields (0 until then).
bool CommandsFromItems(std::span<const DataItem> items, std::vector<PackedCommand>& out)
{
    for (const DataItem& item : items) {
        const int64_t value = item.value;
        PackedCommand p;
        if (value > 1) {
            p.command = {CommandKind::kAdd, static_cast<uint32_t>(value / 2), 0, 0};
            p.count = value % 2 == 0 ? 1 : 0;
        } else if (value < 0) {
            p.command = {CommandKind::kAddDummy, static_cast<uint32_t>(-value), 0, 0};
        } else {
            p.command.kind = value == 0 ? CommandKind::kSplit : CommandKind::kMerge;
        }
        if ((p.command.kind == CommandKind::kAdd || p.command.kind == CommandKind::kAddDummy) && p.command.valence < 2)
            return false;
        out.push_back(p);
    }
    return true;
}

bool ReadCommandFields(BitReader& in, std::vector<PackedCommand>& packed, const RawWidths& widths)
{
    for (PackedCommand& p : packed) {
        if (p.command.kind == CommandKind::kAdd && p.count == 0) {
            p.count = in.GetBits(widths.run);
            if (p.count == 0)
                return false;
        } else if (p.command.kind == CommandKind::kSplit) {
            p.command.offset = in.GetBits(widths.split);
        } else if (p.command.kind == CommandKind::kMerge) {
            p.command.listIndex = in.GetBits(widths.list);
            p.command.offset = in.GetBits(widths.merge);
        }
    }
    return !in.Overrun();
}

// What the expanded commands of all objects claim so far.
struct Claims {
    uint64_t vertices = 0; // regular and dummy
    uint64_t regular = 0;
    uint64_t slots = 0;
    uint64_t merges = 0;
};

// Expands the packed commands while the whole stream stays within the vertex and ring limits. A run of adds
// costs a few bits whatever its length, so every count is checked before anything is expanded. outVertices and
// outSlots: what this object's commands add.
bool ExpandCommands(const std::vector<PackedCommand>& packed, uint64_t maxRegular, Claims& claims,
                    std::vector<TopologyCommand>& out, uint64_t& outVertices, uint64_t& outSlots)
{
    const Claims before = claims;
    uint64_t commands = 0;
    for (const PackedCommand& p : packed) {
        if (p.command.kind == CommandKind::kAdd || p.command.kind == CommandKind::kAddDummy) {
            claims.vertices += p.count;
            if (p.command.kind == CommandKind::kAdd)
                claims.regular += p.count;
            claims.slots += static_cast<uint64_t>(p.count) * p.command.valence;
            if (claims.vertices > kMaxStreamVertices || claims.regular > maxRegular ||
                claims.slots > kMaxStreamRingSlots)
                return false;
        } else if (p.command.kind == CommandKind::kMerge) {
            claims.merges += p.count;
        }
        commands += p.count;
    }
    // A count above one is a run of adds, held to the vertex limit above, so what is reserved is bounded too.
    out.reserve(commands);
    for (const PackedCommand& p : packed)
        out.insert(out.end(), p.count, p.command);
    outVertices = claims.vertices - before.vertices;
    outSlots = claims.slots - before.slots;
    return true;
}

// A closed surface of V vertices and genus g, all faces triangles (a dummy vertex closes each boundary loop),
// has 6 (V - 2 + 2g) ring entries, and every handle costs the traversal one merge. Twice that bound leaves room
// and still keeps a few valences from claiming millions of entries that the decoder would allocate.
bool RingEntriesFitSurfaces(const Claims& claims)
{
    return claims.slots <= 12 * (claims.vertices + 2 * claims.merges);
}

int ReadFaceEdgeCounts(BitReader& in, uint64_t maxFaces, std::vector<uint8_t>& out)
{
    std::vector<uint8_t> a;
    std::vector<uint8_t> b;
    if (DecodeFlagRuns(in, maxFaces, a) != PX_OK || DecodeFlagRuns(in, a.size(), b) != PX_OK)
        return PX_ERR;
    const size_t ones = static_cast<size_t>(std::count(a.begin(), a.end(), 1));
    if (b.size() != ones)
        return PX_ERR;
    out.clear();
    out.reserve(a.size());
    size_t nextB = 0;
    for (const uint8_t flag : a)
        out.push_back(flag == 0 ? 3 : (b[nextB++] == 1 ? 1 : 2));
    return PX_OK;
}

int ReadIdentificationPairs(BitReader& in, uint64_t regularVertices, std::vector<uint32_t>& out)
{
    out.clear();
    const uint32_t count = in.GetBits(32);
    if (in.Overrun() || count == 0)
        return in.Overrun() ? PX_ERR : PX_OK;
    const uint32_t width = in.GetBits(5);
    if (count % 2 != 0 || count > 2 * regularVertices || static_cast<uint64_t>(count) * width > in.RemainingBits())
        return PX_ERR;
    out.resize(count);
    for (uint32_t& value : out)
        value = in.GetBits(width);
    return in.Overrun() ? PX_ERR : PX_OK;
}

} // namespace

int ReadTopology(std::span<const uint8_t> stream, uint64_t maxPositions, std::vector<ComponentRecord>& outRecords)
{
    outRecords.clear();
    BitReader in;
    if (!in.Open(stream))
        return PX_ERR;
    // Every regular vertex is a position, or a twin named by an identification pair of at least two bits.
    const uint64_t maxRegular = std::min(kMaxStreamVertices, maxPositions + in.RemainingBits() / 2);
    const uint32_t objects = in.GetBits(16);
    if (objects == 0 || static_cast<uint64_t>(objects) * 32 > in.RemainingBits())
        return PX_ERR;
    std::vector<uint32_t> itemCounts(objects);
    uint64_t totalItems = 0;
    for (uint32_t& count : itemCounts)
        totalItems += (count = in.GetBits(32));
    RawWidths widths;
    widths.run = in.GetBits(5);
    widths.split = in.GetBits(5);
    widths.list = in.GetBits(5);
    widths.merge = in.GetBits(5);
    if (in.Overrun() || totalItems > in.RemainingBits())
        return PX_ERR; // every coded item takes at least one bit
    std::vector<DataItem> items(totalItems);
    if (DecodeIntegerData(in, items) != PX_OK)
        return PX_ERR;
    std::vector<std::vector<PackedCommand>> packed(objects);
    size_t first = 0;
    for (uint32_t o = 0; o < objects; ++o) {
        if (!CommandsFromItems(std::span(items).subspan(first, itemCounts[o]), packed[o]))
            return PX_ERR;
        first += itemCounts[o];
    }
    items = {};
    std::vector<ComponentRecord> records(objects);
    std::vector<uint64_t> vertices(objects); // regular and dummy, per object
    std::vector<uint64_t> slots(objects);    // ring entries per object
    Claims claims;
    for (uint32_t o = 0; o < objects; ++o) {
        if (!ReadCommandFields(in, packed[o], widths) ||
            !ExpandCommands(packed[o], maxRegular, claims, records[o].commands, vertices[o], slots[o]))
            return PX_ERR;
    }
    if (!RingEntriesFitSurfaces(claims))
        return PX_ERR;
    packed = {};
    for (uint32_t o = 0; o < objects; ++o) {
        // Faces, virtual ones included, are a third of the ring entries.
        if (ReadFaceEdgeCounts(in, slots[o] / 3 + 1, records[o].faceEdgeCounts) != PX_OK)
            return PX_ERR;
    }
    for (uint32_t o = 0; o < objects; ++o) {
        if (DecodeFlagRuns(in, slots[o] / 2 + 1, records[o].residualFlags) != PX_OK)
            return PX_ERR;
    }
    for (uint32_t o = 0; o < objects; ++o) {
        if (ReadIdentificationPairs(in, vertices[o], records[o].identification) != PX_OK)
            return PX_ERR;
    }
    if (in.Overrun())
        return PX_ERR;
    outRecords = std::move(records);
    return PX_OK;
}

} // namespace px
