#include "codecs/image/palette_quantiser.h"

#include <algorithm>
#include <new>

namespace cis {
namespace {

constexpr int kSide = 64;
constexpr size_t kCells = size_t{kSide} * kSide * kSide;

// Axis 0 is p2, axis 1 is p1, axis 2 is p0, as in the cell index p2 x 4096 + p1 x 64 + p0.
size_t CellIndex(int c2, int c1, int c0)
{
    return (static_cast<size_t>(c2) * kSide + static_cast<size_t>(c1)) * kSide + static_cast<size_t>(c0);
}

struct Moments {
    uint64_t pixels = 0;
    std::array<uint64_t, 3> sums{}; // cell coordinates weighted by count
    uint64_t squares = 0;           // squared cell coordinates weighted by count

    void Add(const Moments& other)
    {
        pixels += other.pixels;
        for (size_t a = 0; a < 3; ++a)
            sums[a] += other.sums[a];
        squares += other.squares;
    }
    Moments Minus(const Moments& other) const
    {
        Moments rest = *this;
        rest.pixels -= other.pixels;
        for (size_t a = 0; a < 3; ++a)
            rest.sums[a] -= other.sums[a];
        rest.squares -= other.squares;
        return rest;
    }

    // S2 - (sum_1^2 + sum_2^2 + sum_3^2) / N, exactly in 64 bits: each sum is split into q N + r with q <= 63, so
    // the division only sees the remainders' squares, which fit because N stays below 2^31. Never negative: it is
    // N times a variance.
    uint64_t SquaredError() const
    {
        if (pixels == 0)
            return 0;
        uint64_t whole = 0;
        uint64_t remainders = 0;
        for (const uint64_t sum : sums) {
            const uint64_t q = sum / pixels;
            const uint64_t r = sum % pixels;
            whole += q * q * pixels + 2 * q * r;
            remainders += r * r;
        }
        const uint64_t explained = whole + remainders / pixels;
        return squares > explained ? squares - explained : 0;
    }
};

struct Box {
    std::array<int, 3> lo{};
    std::array<int, 3> hi{};
    Moments moments;
    uint64_t key = 0; // squared error

    bool IsSingleCell() const { return lo == hi; }
};

class ColourBoxes {
public:
    explicit ColourBoxes(std::vector<uint32_t>& histogram) : m_histogram(histogram) {}

    // Shrinks the box to its occupied cells and recomputes its moments and key.
    void Shrink(Box& box) const
    {
        Box found;
        found.lo = {kSide, kSide, kSide};
        found.hi = {-1, -1, -1};
        ForEachOccupiedCell(box, [&](const std::array<int, 3>& cell, uint64_t count) {
            for (size_t a = 0; a < 3; ++a) {
                found.lo[a] = std::min(found.lo[a], cell[a]);
                found.hi[a] = std::max(found.hi[a], cell[a]);
            }
            found.moments.Add(CellMoments(cell, count));
        });
        if (found.moments.pixels == 0)
            found.lo = found.hi = box.lo;
        found.key = found.moments.SquaredError();
        box = found;
    }

    // The cut of least summed error: axes p2, p1, p0 in turn, positions from low to high; ties keep the first.
    void Split(Box& box, Box& upper) const
    {
        uint64_t bestCost = UINT64_MAX;
        size_t bestAxis = 0;
        int bestCut = box.lo[0];
        for (size_t axis = 0; axis < 3; ++axis) {
            const std::vector<Moments> slices = Slices(box, axis);
            Moments lower;
            for (int cut = box.lo[axis]; cut < box.hi[axis]; ++cut) {
                lower.Add(slices[static_cast<size_t>(cut - box.lo[axis])]);
                const uint64_t cost = lower.SquaredError() + box.moments.Minus(lower).SquaredError();
                if (cost < bestCost) {
                    bestCost = cost;
                    bestAxis = axis;
                    bestCut = cut;
                }
            }
        }
        upper = box;
        box.hi[bestAxis] = bestCut;
        upper.lo[bestAxis] = bestCut + 1;
        Shrink(box);
        Shrink(upper);
    }

private:
    // visit(cell, count) for every cell of the box that holds pixels, p2 outermost and p0 innermost.
    template <typename Visit> void ForEachOccupiedCell(const Box& box, Visit&& visit) const
    {
        for (int c2 = box.lo[0]; c2 <= box.hi[0]; ++c2) {
            for (int c1 = box.lo[1]; c1 <= box.hi[1]; ++c1) {
                for (int c0 = box.lo[2]; c0 <= box.hi[2]; ++c0) {
                    const uint64_t count = m_histogram[CellIndex(c2, c1, c0)];
                    if (count != 0)
                        visit(std::array<int, 3>{c2, c1, c0}, count);
                }
            }
        }
    }

    static Moments CellMoments(const std::array<int, 3>& cell, uint64_t count)
    {
        Moments m;
        m.pixels = count;
        for (size_t a = 0; a < 3; ++a) {
            const uint64_t c = static_cast<uint64_t>(cell[a]);
            m.sums[a] = count * c;
            m.squares += count * c * c;
        }
        return m;
    }

    std::vector<Moments> Slices(const Box& box, size_t axis) const
    {
        std::vector<Moments> slices(static_cast<size_t>(box.hi[axis] - box.lo[axis] + 1));
        ForEachOccupiedCell(box, [&](const std::array<int, 3>& cell, uint64_t count) {
            slices[static_cast<size_t>(cell[axis] - box.lo[axis])].Add(CellMoments(cell, count));
        });
        return slices;
    }

    std::vector<uint32_t>& m_histogram; // owned by the caller
};

// A 1-based binary max-heap of box numbers ordered by key.
class BoxQueue {
public:
    explicit BoxQueue(const std::vector<Box>& boxes) : m_boxes(boxes), m_heap(1) {}

    bool IsEmpty() const { return m_heap.size() == 1; }

    void Push(size_t box)
    {
        m_heap.push_back(box);
        size_t i = m_heap.size() - 1;
        while (i > 1 && Key(m_heap[i / 2]) < Key(m_heap[i])) {
            std::swap(m_heap[i / 2], m_heap[i]);
            i /= 2;
        }
    }

    size_t Pop()
    {
        const size_t top = m_heap[1];
        m_heap[1] = m_heap.back();
        m_heap.pop_back();
        size_t i = 1;
        while (true) {
            size_t largest = i;
            for (const size_t child : {2 * i, 2 * i + 1}) {
                if (child < m_heap.size() && Key(m_heap[child]) > Key(m_heap[largest]))
                    largest = child;
            }
            if (largest == i)
                break;
            std::swap(m_heap[i], m_heap[largest]);
            i = largest;
        }
        return top;
    }

private:
    uint64_t Key(size_t box) const { return m_boxes[box].key; }

    const std::vector<Box>& m_boxes; // the caller's boxes; they may grow while the queue lives
    std::vector<size_t> m_heap;
};

std::vector<Box> SplitBoxes(std::vector<uint32_t>& histogram, int colours)
{
    const ColourBoxes splitter(histogram);
    std::vector<Box> boxes(1);
    boxes.reserve(static_cast<size_t>(colours));
    boxes[0].hi = {kSide - 1, kSide - 1, kSide - 1};
    splitter.Shrink(boxes[0]);
    BoxQueue queue(boxes);
    if (!boxes[0].IsSingleCell())
        queue.Push(0);
    while (!queue.IsEmpty() && static_cast<int>(boxes.size()) < colours) {
        const size_t chosen = queue.Pop();
        Box upper;
        splitter.Split(boxes[chosen], upper);
        boxes.push_back(upper);
        for (const size_t part : {chosen, boxes.size() - 1}) {
            if (!boxes[part].IsSingleCell())
                queue.Push(part);
        }
    }
    return boxes;
}

// Every occupied cell takes the entry nearest its centre (4c + 2 on each axis), strictly nearer to replace an
// earlier entry; only occupied cells are ever looked up.
std::vector<uint8_t> InverseMap(const std::vector<uint32_t>& histogram, const ColourHistogramResult& result)
{
    const size_t entries = static_cast<size_t>(result.colours);
    std::vector<uint32_t> axisDistance(entries * 3 * kSide);
    for (size_t e = 0; e < entries; ++e) {
        for (size_t a = 0; a < 3; ++a) {
            for (int c = 0; c < kSide; ++c) {
                const int d = int{result.palette[3 * e + a]} - (4 * c + 2);
                axisDistance[(e * 3 + a) * kSide + static_cast<size_t>(c)] = static_cast<uint32_t>(d * d);
            }
        }
    }
    std::vector<uint8_t> map(kCells, 0);
    for (size_t cell = 0; cell < kCells; ++cell) {
        if (histogram[cell] == 0)
            continue;
        const size_t c[3] = {cell / (kSide * kSide), (cell / kSide) % kSide, cell % kSide};
        uint32_t best = UINT32_MAX;
        for (size_t e = 0; e < entries; ++e) {
            const uint32_t* d = &axisDistance[e * 3 * kSide];
            const uint32_t distance = d[c[0]] + d[kSide + c[1]] + d[2 * kSide + c[2]];
            if (distance < best) {
                best = distance;
                map[cell] = static_cast<uint8_t>(e);
            }
        }
    }
    return map;
}

} // namespace

std::optional<ColourHistogramResult> BuildColourHistogram(std::span<const uint8_t> pixels, int width, int height,
                                                          int colours)
{
    if (width < 0 || height < 0)
        return std::nullopt;
    const uint64_t count = uint64_t(width) * uint64_t(height);
    if (count >= (uint64_t{1} << 31) || pixels.size() / 3 < count)
        return std::nullopt;
    ColourHistogramResult result;
    if (count == 0)
        return result;
    try {
        std::vector<uint32_t> histogram(kCells, 0);
        for (size_t i = 0; i < count; ++i)
            ++histogram[CellIndex(pixels[3 * i + 2] >> 2, pixels[3 * i + 1] >> 2, pixels[3 * i] >> 2)];
        const std::vector<Box> boxes = SplitBoxes(histogram, std::clamp(colours, 1, 256));
        result.colours = static_cast<int>(boxes.size());
        for (size_t b = 0; b < boxes.size(); ++b) {
            const Moments& m = boxes[b].moments;
            for (size_t a = 0; a < 3; ++a)
                result.palette[3 * b + a] = static_cast<uint8_t>((4 * m.sums[a] + m.pixels / 2) / m.pixels);
        }
        const std::vector<uint8_t> map = InverseMap(histogram, result);
        result.indices.resize(count);
        for (size_t i = 0; i < count; ++i)
            result.indices[i] = map[CellIndex(pixels[3 * i + 2] >> 2, pixels[3 * i + 1] >> 2, pixels[3 * i] >> 2)];
        return result;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace cis
