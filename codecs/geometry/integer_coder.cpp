#include "codecs/geometry/integer_coder.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "codecs/geometry/bit_reader.h"
#include "codecs/geometry/bit_width.h"
#include "codecs/geometry/bit_writer.h"
#include "codecs/geometry/integer_coder_stats.h"
#include "codecs/geometry/px_result.h"

namespace px {

namespace {

// Longest prefix code accepted. A Huffman code deeper than this needs weights beyond any 32-bit count list.
constexpr uint32_t kMaxCodeLength = 62;
constexpr int32_t kEscapeSymbol = -1;
// Selection sizes priced between two neighbours of the coarse grid around its best point.
constexpr size_t kFineSteps = 24;

struct TableEntry {
    int64_t symbol = kEscapeSymbol; // offset from min, or the escape
    uint64_t weight = 0;
    uint32_t length = 0;
    uint64_t code = 0;
};

struct DeltaRange {
    int64_t min = 1;
    int64_t max = 0;
    int64_t range = 0; // max - min + 1; 0 when there is no delta value
};

DeltaRange RangeOf(const std::vector<int32_t>& deltas)
{
    if (deltas.empty())
        return {};
    const auto [lo, hi] = std::minmax_element(deltas.begin(), deltas.end());
    return {*lo, *hi, static_cast<int64_t>(*hi) - *lo + 1};
}

// Every offset that occurs, with its count, most frequent first; equal counts by rising offset so streams are
// deterministic.
std::vector<TableEntry> CountOffsets(std::vector<int32_t> deltas, int64_t min)
{
    std::sort(deltas.begin(), deltas.end());
    std::vector<TableEntry> histogram;
    for (size_t i = 0; i < deltas.size();) {
        size_t j = i;
        while (j < deltas.size() && deltas[j] == deltas[i])
            ++j;
        histogram.push_back({static_cast<int64_t>(deltas[i]) - min, j - i, 0, 0});
        i = j;
    }
    std::stable_sort(histogram.begin(), histogram.end(),
                     [](const TableEntry& a, const TableEntry& b) { return a.weight > b.weight; });
    return histogram;
}

// How many of the most frequent offsets cover the percentage of the values. At least one is taken even when the
// threshold is 0, so the table always holds a code besides the escape.
size_t PercentageCount(const std::vector<TableEntry>& histogram, uint64_t total, uint32_t percent)
{
    const uint64_t threshold = total * percent / 100;
    uint64_t covered = 0;
    size_t taken = 0;
    for (const TableEntry& entry : histogram) {
        if (taken > 0 && covered >= threshold)
            break;
        ++taken;
        covered += entry.weight;
    }
    return taken;
}

// Huffman code lengths by a binary min-heap with the root at index 1. Ties resolve exactly as written here so
// that two encoders of the same list write the same stream.
class CodeHeap {
public:
    explicit CodeHeap(const std::vector<TableEntry>& leaves)
    {
        m_weight.reserve(leaves.size() * 2);
        m_parent.reserve(leaves.size() * 2);
        m_heap.push_back(0); // index 0 unused
        for (const TableEntry& leaf : leaves)
            Push(NewNode(leaf.weight));
    }

    std::vector<uint32_t> Lengths(size_t leafCount)
    {
        while (m_heap.size() > 2) {
            const size_t a = Pop();
            const size_t b = Pop();
            const size_t parent = NewNode(m_weight[a] + m_weight[b]);
            m_parent[a] = m_parent[b] = parent;
            Push(parent);
        }
        std::vector<uint32_t> lengths(leafCount, 0);
        for (size_t leaf = 0; leaf < leafCount; ++leaf)
            for (size_t node = leaf; m_parent[node] != kNoParent; node = m_parent[node])
                ++lengths[leaf];
        return lengths;
    }

private:
    static constexpr size_t kNoParent = SIZE_MAX;

    size_t NewNode(uint64_t weight)
    {
        m_weight.push_back(weight);
        m_parent.push_back(kNoParent);
        return m_weight.size() - 1;
    }

    void Push(size_t node)
    {
        m_heap.push_back(node);
        for (size_t i = m_heap.size() - 1; i > 1 && m_weight[m_heap[i]] < m_weight[m_heap[i / 2]]; i /= 2)
            std::swap(m_heap[i], m_heap[i / 2]);
    }

    size_t Pop()
    {
        const size_t top = m_heap[1];
        m_heap[1] = m_heap.back();
        m_heap.pop_back();
        const size_t count = m_heap.size() - 1;
        for (size_t i = 1; 2 * i <= count;) {
            size_t child = 2 * i;
            if (child + 1 <= count && !(m_weight[m_heap[child]] < m_weight[m_heap[child + 1]]))
                child = child + 1;
            if (!(m_weight[m_heap[i]] > m_weight[m_heap[child]]))
                break;
            std::swap(m_heap[i], m_heap[child]);
            i = child;
        }
        return top;
    }

    std::vector<uint64_t> m_weight;
    std::vector<size_t> m_parent;
    std::vector<size_t> m_heap;
};

// Code lengths of at most `limit` bits with the fewest code bits for these weights, by package-merge: level by
// level from the deepest, the items of the level below are paired into packages and merged with the leaves, and
// the cheapest 2n - 2 items of the top level say how often each leaf is counted. Needs 2^limit >= n >= 2. Ties go
// to the leaf, and among leaves to the earlier entry, so the lengths are deterministic.
std::vector<uint32_t> LimitedLengths(const std::vector<TableEntry>& leaves, uint32_t limit)
{
    const size_t n = leaves.size();
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return leaves[a].weight < leaves[b].weight; });
    // isLeaf[d] holds level d's merged list (d = 0 the top), leaf or package per item; weights only while merging.
    std::vector<std::vector<uint8_t>> isLeaf(limit);
    std::vector<uint64_t> below;
    std::vector<uint64_t> merged;
    for (uint32_t d = limit; d-- > 0;) {
        merged.clear();
        std::vector<uint8_t>& kinds = isLeaf[d];
        size_t leaf = 0;
        size_t package = 0;
        const size_t packages = below.size() / 2;
        while (leaf < n || package < packages) {
            const uint64_t packed = package < packages ? below[2 * package] + below[2 * package + 1] : UINT64_MAX;
            if (leaf < n && leaves[order[leaf]].weight <= packed) {
                merged.push_back(leaves[order[leaf++]].weight);
                kinds.push_back(1);
            } else {
                merged.push_back(packed);
                kinds.push_back(0);
                ++package;
            }
        }
        std::swap(below, merged);
    }
    std::vector<uint32_t> lengths(n, 0);
    size_t taken = 2 * n - 2;
    for (uint32_t d = 0; d < limit && taken > 0; ++d) {
        size_t leavesTaken = 0;
        for (size_t i = 0; i < taken; ++i)
            leavesTaken += isLeaf[d][i];
        for (size_t i = 0; i < leavesTaken; ++i)
            ++lengths[order[i]];
        taken = 2 * (taken - leavesTaken);
    }
    return lengths;
}

// Canonical codes for entries sorted by rising length: each takes the leftmost free place of its depth.
void AssignCanonicalCodes(std::vector<TableEntry>& table)
{
    uint64_t code = 0;
    for (size_t i = 0; i < table.size(); ++i) {
        if (i > 0)
            code = (code + 1) << (table[i].length - table[i - 1].length);
        table[i].code = code;
    }
}

struct CodeTable {
    std::vector<TableEntry> entries;
    size_t escape = 0;
    uint32_t longest = 0;
};

// The table for the `selected` most frequent offsets and the escape, whose weight is the number of values left
// out (it may be 0): Huffman lengths, or the best lengths of at most `limit` bits when a limit is given, entries
// by rising length, canonical codes.
int BuildCodeTable(const std::vector<TableEntry>& histogram, size_t selected, uint64_t total, CodeTable& out,
                   uint32_t limit = 0)
{
    std::vector<TableEntry> entries(histogram.begin(), histogram.begin() + static_cast<ptrdiff_t>(selected));
    uint64_t covered = 0;
    for (const TableEntry& entry : entries)
        covered += entry.weight;
    entries.push_back({kEscapeSymbol, total - covered, 0, 0});
    const std::vector<uint32_t> lengths =
        limit == 0 ? CodeHeap(entries).Lengths(entries.size()) : LimitedLengths(entries, limit);
    for (size_t i = 0; i < entries.size(); ++i)
        entries[i].length = lengths[i];
    std::stable_sort(entries.begin(), entries.end(),
                     [](const TableEntry& a, const TableEntry& b) { return a.length < b.length; });
    out.longest = entries.back().length;
    if (out.longest == 0 || out.longest > kMaxCodeLength)
        return PXERR_INVALIDGEOMETRY;
    AssignCanonicalCodes(entries);
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].symbol == kEscapeSymbol)
            out.escape = i;
    out.entries = std::move(entries);
    return PX_OK;
}

// The bits a table costs where tables differ: its entries, the codes of the values in it, the escaped values.
uint64_t VariableBits(const CodeTable& table, uint32_t offsetBits)
{
    uint64_t bits = table.entries.size() * (uint64_t{offsetBits} + table.longest);
    for (const TableEntry& entry : table.entries)
        bits += entry.weight * (entry.length + (entry.symbol == kEscapeSymbol ? uint64_t{offsetBits} : 0));
    return bits;
}

// Prices a selection size in O(size) with the two-queue Huffman construction over weights already in order. Its
// code bits are exact (every Huffman code of the same weights costs the same); its longest length, which sets
// every table entry's width, may differ from the heap's by tie-breaking, so the winner is priced again exactly.
class SelectionPricer {
public:
    SelectionPricer(const std::vector<TableEntry>& histogram, uint64_t total, uint32_t offsetBits)
        : m_histogram(histogram), m_total(total), m_offsetBits(offsetBits)
    {
    }

    uint64_t EstimatedBits(size_t selected)
    {
        uint64_t covered = 0;
        m_leaves.clear();
        for (size_t i = selected; i-- > 0;) {
            m_leaves.push_back(m_histogram[i].weight); // rising, as the histogram falls
            covered += m_histogram[i].weight;
        }
        const uint64_t escaped = m_total - covered;
        m_leaves.insert(std::upper_bound(m_leaves.begin(), m_leaves.end(), escaped), escaped);
        const Huffman code = TwoQueueHuffman();
        return (selected + 1) * (uint64_t{m_offsetBits} + code.longest) + code.bits + escaped * m_offsetBits;
    }

private:
    struct Huffman {
        uint64_t bits = 0;    // code bits of all values: the sum of the inner nodes' weights
        uint32_t longest = 0; // the root's height
    };
    struct Node {
        uint64_t weight = 0;
        uint32_t height = 0;
    };

    // Inner nodes are made in rising weight, so two queues, the leaves and the inner nodes, replace the heap.
    Huffman TwoQueueHuffman()
    {
        m_inner.clear();
        m_inner.reserve(m_leaves.size());
        size_t leaf = 0;
        size_t inner = 0;
        const auto takeSmallest = [&]() -> Node {
            if (leaf < m_leaves.size() && (inner == m_inner.size() || m_leaves[leaf] <= m_inner[inner].weight))
                return {m_leaves[leaf++], 0};
            return m_inner[inner++];
        };
        Huffman code;
        while ((m_leaves.size() - leaf) + (m_inner.size() - inner) > 1) {
            const Node a = takeSmallest();
            const Node b = takeSmallest();
            m_inner.push_back({a.weight + b.weight, 1 + std::max(a.height, b.height)});
            code.bits += a.weight + b.weight;
        }
        code.longest = m_inner.empty() ? 0 : m_inner.back().height;
        return code;
    }

    const std::vector<TableEntry>& m_histogram; // not owned: lives through the pricing
    uint64_t m_total;
    uint32_t m_offsetBits;
    std::vector<uint64_t> m_leaves;
    std::vector<Node> m_inner;
};

// The selection size whose estimate is smallest: priced on a geometric grid of sizes, then finely around the best
// point of the grid. The cost is not convex in the size, but its dips are broad.
size_t CheapestSelectionEstimate(const std::vector<TableEntry>& histogram, uint64_t total, uint32_t offsetBits)
{
    SelectionPricer pricer(histogram, total, offsetBits);
    std::vector<size_t> grid;
    for (size_t size = 1; size < histogram.size(); size = std::max(size + 1, size * 5 / 4))
        grid.push_back(size);
    grid.push_back(histogram.size());
    size_t best = 0;
    uint64_t bestBits = UINT64_MAX;
    for (size_t i = 0; i < grid.size(); ++i) {
        const uint64_t bits = pricer.EstimatedBits(grid[i]);
        if (bits < bestBits) {
            bestBits = bits;
            best = i;
        }
    }
    const size_t lo = grid[best > 0 ? best - 1 : 0];
    const size_t hi = grid[std::min(best + 1, grid.size() - 1)];
    const size_t step = std::max<size_t>(1, (hi - lo) / kFineSteps);
    size_t chosen = grid[best];
    for (size_t size = lo + 1; size < hi; size += step) {
        const uint64_t bits = pricer.EstimatedBits(size);
        if (bits < bestBits) {
            bestBits = bits;
            chosen = size;
        }
    }
    return chosen;
}

// Every entry's length travels in L bits, L being the longest length, so a Huffman code with a few long codes
// makes the whole table wide. From the Huffman code's longest length down, each shorter limit is priced until one
// costs more than the limit above it: the entries narrow by a bit each, the codes grow as the limit bites.
int BuildNarrowestTable(const std::vector<TableEntry>& histogram, size_t selected, uint64_t total, uint32_t offsetBits,
                        CodeTable& out, uint64_t& outBits)
{
    int result = BuildCodeTable(histogram, selected, total, out);
    if (result != PX_OK)
        return result;
    outBits = VariableBits(out, offsetBits);
    uint32_t shortest = 1; // 2^L must hold every entry and the escape
    while ((uint64_t{1} << shortest) < selected + 1)
        ++shortest;
    for (uint32_t limit = out.longest; limit-- > shortest;) {
        CodeTable narrower;
        result = BuildCodeTable(histogram, selected, total, narrower, limit);
        if (result != PX_OK)
            return result;
        const uint64_t bits = VariableBits(narrower, offsetBits);
        if (bits >= outBits)
            break;
        outBits = bits;
        out = std::move(narrower);
    }
    return PX_OK;
}

// The table of fewest bits among a few selection sizes priced exactly: the estimate's choice, and the sizes the
// percentage walk takes at 98 and 100 percent and a single value, so a list never costs more than it did with
// either fixed percentage, nor more than one bit per value beyond its raw offsets. Each size is priced with its
// narrowest worthwhile code lengths.
int BuildCheapestTable(const std::vector<TableEntry>& histogram, uint64_t total, uint32_t offsetBits, CodeTable& out)
{
    const size_t candidates[] = {CheapestSelectionEstimate(histogram, total, offsetBits),
                                 PercentageCount(histogram, total, 98), histogram.size(), 1};
    uint64_t bestBits = UINT64_MAX;
    for (size_t i = 0; i < std::size(candidates); ++i) {
        if (std::find(candidates, candidates + i, candidates[i]) != candidates + i)
            continue;
        CodeTable table;
        uint64_t bits = 0;
        const int result = BuildNarrowestTable(histogram, candidates[i], total, offsetBits, table, bits);
        if (result != PX_OK)
            return result;
        if (bits < bestBits) {
            bestBits = bits;
            out = std::move(table);
        }
    }
    return PX_OK;
}

void WriteCodedValues(BitWriter& out, const std::vector<int32_t>& deltas, const DeltaRange& range,
                      const CodeTable& table, uint32_t offsetBits)
{
    // Offsets with a code, sorted for lookup: memory follows the list, never the value range.
    std::vector<std::pair<int64_t, size_t>> lookup;
    for (size_t i = 0; i < table.entries.size(); ++i)
        if (i != table.escape)
            lookup.emplace_back(table.entries[i].symbol, i);
    std::sort(lookup.begin(), lookup.end());
    const TableEntry& escape = table.entries[table.escape];
    for (const int32_t value : deltas) {
        const int64_t offset = static_cast<int64_t>(value) - range.min;
        const auto found = std::lower_bound(lookup.begin(), lookup.end(), std::make_pair(offset, size_t{0}));
        if (found != lookup.end() && found->first == offset) {
            const TableEntry& entry = table.entries[found->second];
            out.PutBits64(entry.code, entry.length);
        } else {
            out.PutBits64(escape.code, escape.length);
            out.PutBits(static_cast<uint32_t>(offset), offsetBits);
        }
    }
}

// Every field's bits as EncodeIntegerData writes them; the escape's weight is the number of escaped values.
IntegerBlockBits BlockBitsOf(std::span<const DataItem> items, const CodeTable& table, uint64_t deltaCount,
                             uint32_t offsetBits)
{
    IntegerBlockBits bits;
    bits.blocks = 1;
    for (const DataItem& item : items)
        if (item.mode == kModeAbsolute)
            bits.absoluteBits += item.width;
    bits.fixedBits = 64;
    if (deltaCount == 0)
        return bits;
    bits.fixedBits += 8 + 32 + 32 + 32;
    bits.deltaValues = deltaCount;
    bits.tableEntries = table.entries.size();
    bits.tableBits = table.entries.size() * (uint64_t{offsetBits} + table.longest);
    for (const TableEntry& entry : table.entries) {
        if (entry.symbol == kEscapeSymbol) {
            bits.escapedValues = entry.weight;
            bits.escapeBits = entry.weight * (entry.length + uint64_t{offsetBits});
        } else {
            bits.codeBits += entry.weight * entry.length;
        }
    }
    return bits;
}

} // namespace

namespace {

// percent: the fixed walk at that percentage; none: the table of fewest bits.
int EncodeBlock(BitWriter& out, std::span<const DataItem> items, std::optional<uint32_t> percent)
{
    std::vector<int32_t> deltas;
    for (const DataItem& item : items) {
        if (item.mode == kModeDelta) {
            deltas.push_back(item.value);
        } else if (item.mode != kModeAbsolute || item.width > 32 ||
                   (item.width < 32 && (static_cast<uint32_t>(item.value) >> item.width) != 0)) {
            return PXERR_INVALIDGEOMETRY;
        }
    }
    const DeltaRange range = RangeOf(deltas);
    const uint32_t offsetBits = BitWidth(static_cast<uint64_t>(range.range) + 1);
    if (offsetBits > 32)
        return PXERR_INVALIDGEOMETRY;
    CodeTable table;
    if (!deltas.empty()) {
        const std::vector<TableEntry> histogram = CountOffsets(deltas, range.min);
        const int result = percent ? BuildCodeTable(histogram, PercentageCount(histogram, deltas.size(), *percent),
                                                    deltas.size(), table)
                                   : BuildCheapestTable(histogram, deltas.size(), offsetBits, table);
        if (result != PX_OK)
            return result;
        if (static_cast<uint64_t>(range.range - 1) >> offsetBits != 0)
            return PXERR_INVALIDGEOMETRY; // the width rule fell short of the offsets: cannot be carried
    }
    for (const DataItem& item : items)
        if (item.mode == kModeAbsolute)
            out.PutBits(static_cast<uint32_t>(item.value), item.width);
    out.Put32(static_cast<uint32_t>(range.min));
    out.Put32(static_cast<uint32_t>(range.max));
    RecordIntegerBlock(out.Kind(), BlockBitsOf(items, table, deltas.size(), offsetBits));
    if (deltas.empty())
        return PX_OK;
    out.PutBits(table.longest, 8);
    out.Put32(static_cast<uint32_t>(table.entries.size()));
    out.Put32(static_cast<uint32_t>(table.escape));
    const uint32_t escapeField = offsetBits == 32 ? UINT32_MAX : (1u << offsetBits) - 1;
    for (const TableEntry& entry : table.entries) {
        out.PutBits(entry.symbol == kEscapeSymbol ? escapeField : static_cast<uint32_t>(entry.symbol), offsetBits);
        out.PutBits64(entry.length, table.longest); // a length travels in L bits, L being the longest length itself
    }
    out.Put32(static_cast<uint32_t>(deltas.size()));
    WriteCodedValues(out, deltas, range, table, offsetBits);
    return PX_OK;
}

} // namespace

int EncodeIntegerData(BitWriter& out, std::span<const DataItem> items)
{
    return EncodeBlock(out, items, std::nullopt);
}

int EncodeIntegerDataByPercentage(BitWriter& out, std::span<const DataItem> items, uint32_t percent)
{
    return EncodeBlock(out, items, percent);
}

namespace {

// Codes up to this long are found by one look-up of the next bits; longer ones by the walk over lengths.
constexpr uint32_t kLookupBits = 10;

// What the next lookupBits bits start with: a code of at most that length, or nothing (length 0) when the code is
// longer. The code's value is kept here, so the common case needs no second look-up; 8 bytes, so the index is a
// shift.
struct LookupEntry {
    int32_t value = 0;   // min + offset; unused for the escape
    uint8_t length = 0;  // 0: a longer code starts here
    bool escape = false; // the escape, whose offset follows raw
};

// A canonical code read back: per length, the first code and the index of its first table entry.
struct CanonicalDecoder {
    std::vector<int64_t> symbols; // per table entry, kEscapeSymbol for the escape
    std::vector<uint64_t> firstCode;
    std::vector<uint32_t> firstIndex;
    std::vector<uint32_t> countAt;
    std::vector<LookupEntry> lookup; // per value of the next lookupBits bits
    uint32_t lookupBits = 0;
    uint32_t longest = 0;
};

// Every code of at most lookupBits bits fills the look-up slots of all bit strings it starts. The table's offsets
// are already checked against the range, so each value lies in [min, max].
void FillLookup(CanonicalDecoder& decoder, const DeltaRange& range)
{
    decoder.lookupBits = std::min(decoder.longest, kLookupBits);
    decoder.lookup.assign(size_t{1} << decoder.lookupBits, LookupEntry{});
    for (uint32_t length = 1; length <= decoder.lookupBits; ++length) {
        const uint32_t spare = decoder.lookupBits - length;
        for (uint32_t k = 0; k < decoder.countAt[length]; ++k) {
            const uint64_t code = decoder.firstCode[length] + k;
            const uint32_t index = decoder.firstIndex[length] + k;
            const int64_t symbol = decoder.symbols[index];
            const bool escape = symbol == kEscapeSymbol;
            const LookupEntry entry{escape ? 0 : static_cast<int32_t>(range.min + symbol), static_cast<uint8_t>(length),
                                    escape};
            std::fill_n(decoder.lookup.begin() + static_cast<ptrdiff_t>(code << spare), size_t{1} << spare, entry);
        }
    }
}

int ReadCodeTable(BitReader& in, const DeltaRange& range, uint32_t offsetBits, CanonicalDecoder& out)
{
    const uint32_t longest = in.GetBits(8);
    const uint32_t count = in.GetBits(32);
    const uint32_t escape = in.GetBits(32);
    if (in.Overrun() || longest == 0 || longest > kMaxCodeLength || count < 2 || escape >= count)
        return PX_ERR;
    if (static_cast<uint64_t>(count) > static_cast<uint64_t>(range.range) + 1 ||
        static_cast<uint64_t>(count) * (offsetBits + longest) > in.RemainingBits())
        return PX_ERR;
    out.longest = longest;
    out.symbols.resize(count);
    out.firstCode.assign(longest + 1, 0);
    out.firstIndex.assign(longest + 1, 0);
    out.countAt.assign(longest + 1, 0);
    uint64_t code = 0;
    uint32_t previous = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t symbol = in.GetBits(offsetBits);
        const uint64_t length64 = in.GetBits64(longest);
        if (length64 == 0 || length64 > longest || length64 < previous)
            return PX_ERR; // lengths rise in a table the encoder wrote
        const uint32_t length = static_cast<uint32_t>(length64);
        if (i != escape && symbol >= static_cast<uint64_t>(range.range))
            return PX_ERR;
        code = i == 0 ? 0 : (code + 1) << (length - previous);
        if (code >> length != 0)
            return PX_ERR; // more codes than the depth holds
        if (out.countAt[length]++ == 0) {
            out.firstCode[length] = code;
            out.firstIndex[length] = i;
        }
        out.symbols[i] = i == escape ? int64_t{kEscapeSymbol} : int64_t{symbol};
        previous = length;
    }
    if (code + 1 != (uint64_t{1} << previous))
        return PX_ERR; // an incomplete tree leaves codes that lead nowhere
    if (in.Overrun())
        return PX_ERR;
    FillLookup(out, range);
    return PX_OK;
}

// Codes longer than a window, which only lists of extreme skew reach, bit by bit.
size_t FindLongCode(BitReader& in, const CanonicalDecoder& decoder, uint32_t& outLength)
{
    uint64_t code = 0;
    for (uint32_t length = 1; length <= decoder.longest; ++length) {
        code = (code << 1) | in.GetBit();
        const uint32_t n = decoder.countAt[length];
        if (n != 0 && code >= decoder.firstCode[length] && code - decoder.firstCode[length] < n) {
            outLength = length;
            return decoder.firstIndex[length] + (code - decoder.firstCode[length]);
        }
    }
    outLength = 0;
    return 0;
}

// The table entry whose code starts the window: the look-up gives a short code's length, else the search starts
// past it. The tree is complete, so every bit string starts with exactly one code.
uint32_t FindCode(const CanonicalDecoder& decoder, uint64_t window, uint32_t& outLength)
{
    const LookupEntry& entry = decoder.lookup[window >> (64 - decoder.lookupBits)];
    const uint32_t shortest = entry.length != 0 ? entry.length : decoder.lookupBits + 1;
    for (uint32_t length = shortest; length <= decoder.longest; ++length) {
        const uint64_t code = window >> (64 - length);
        const uint32_t n = decoder.countAt[length];
        if (n != 0 && code >= decoder.firstCode[length] && code - decoder.firstCode[length] < n) {
            outLength = length;
            return decoder.firstIndex[length] + static_cast<uint32_t>(code - decoder.firstCode[length]);
        }
    }
    outLength = 0;
    return 0;
}

int DecodeCodedValue(BitReader& in, const CanonicalDecoder& decoder, const DeltaRange& range, uint32_t offsetBits,
                     int32_t& out)
{
    uint32_t length = 0;
    size_t index = 0;
    if (decoder.longest <= BitReader::kWindowBits) {
        index = FindCode(decoder, in.PeekWindow(), length);
        in.SkipBits(length);
    } else {
        index = FindLongCode(in, decoder, length);
    }
    if (length == 0)
        return PX_ERR;
    const int64_t symbol = decoder.symbols[index];
    const int64_t offset = symbol == kEscapeSymbol ? static_cast<int64_t>(in.GetBits(offsetBits)) : symbol;
    if (offset >= range.range)
        return PX_ERR;
    out = static_cast<int32_t>(range.min + offset);
    return PX_OK;
}

// The block from its min and max on, the absolute values already read: passes each delta value, in order, to
// put. deltaCount is the caller's number of delta items, which the block's own count must match.
template <typename Put> int DecodeDeltaValues(BitReader& in, uint64_t deltaCount, Put put)
{
    DeltaRange range;
    range.min = in.GetSigned32();
    range.max = in.GetSigned32();
    if (in.Overrun())
        return PX_ERR;
    if (range.min == 1 && range.max == 0)
        return deltaCount == 0 ? PX_OK : PX_ERR;
    if (range.min > range.max)
        return PX_ERR;
    range.range = range.max - range.min + 1;
    const uint32_t offsetBits = BitWidth(static_cast<uint64_t>(range.range) + 1);
    if (offsetBits > 32)
        return PX_ERR;
    CanonicalDecoder decoder;
    if (ReadCodeTable(in, range, offsetBits, decoder) != PX_OK)
        return PX_ERR;
    if (in.GetBits(32) != deltaCount || deltaCount > in.RemainingBits())
        return PX_ERR;
    // Codes the look-up finds whole are taken from one window of the stream, the bits used added up and skipped
    // when the window runs short: the position does not wait on each code's length in memory. Escapes and long
    // codes go through the reader. Bits past the end read as 0 either way, and skipping past it marks the overrun.
    uint64_t window = in.PeekWindow(); // its bits not yet taken at the top
    uint32_t used = 0;
    const uint32_t lookupShift = 64 - decoder.lookupBits;
    for (uint64_t i = 0; i < deltaCount; ++i) {
        if (used > BitReader::kWindowBits - decoder.lookupBits) {
            in.SkipBits(used);
            window = in.PeekWindow();
            used = 0;
        }
        const LookupEntry entry = decoder.lookup[window >> lookupShift];
        if (entry.length != 0 && !entry.escape) {
            used += entry.length;
            window <<= entry.length;
            put(entry.value);
            continue;
        }
        in.SkipBits(used);
        used = 0;
        int32_t value = 0;
        if (DecodeCodedValue(in, decoder, range, offsetBits, value) != PX_OK)
            return PX_ERR;
        put(value);
        window = in.PeekWindow();
    }
    in.SkipBits(used);
    return in.Overrun() ? PX_ERR : PX_OK;
}

} // namespace

int DecodeIntegerData(BitReader& in, std::span<DataItem> items)
{
    uint64_t deltaCount = 0;
    for (DataItem& item : items) {
        if (item.mode == kModeAbsolute && item.width <= 32)
            item.value = static_cast<int32_t>(in.GetBits(item.width));
        else if (item.mode == kModeDelta)
            ++deltaCount;
        else
            return PX_ERR;
    }
    DataItem* next = items.data();
    return DecodeDeltaValues(in, deltaCount, [&next](int32_t value) {
        while (next->mode != kModeDelta)
            ++next; // the block holds exactly deltaCount delta values, so this stops at a delta item
        (next++)->value = value;
    });
}

int DecodeDeltaData(BitReader& in, uint64_t deltaCount, std::vector<int32_t>& outValues)
{
    outValues.clear();
    // Each code takes at least a bit, so a count the stream cannot hold fails before anything is reserved.
    if (deltaCount > in.RemainingBits())
        return PX_ERR;
    outValues.reserve(deltaCount);
    const int result = DecodeDeltaValues(in, deltaCount, [&outValues](int32_t value) { outValues.push_back(value); });
    if (result != PX_OK)
        outValues.clear();
    return result;
}

} // namespace px
