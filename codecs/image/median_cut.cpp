#include "codecs/image/median_cut.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <vector>

namespace cis {
namespace {

constexpr std::array<int, 3> kCells = {32, 64, 32};
constexpr std::array<int, 3> kCellShift = {3, 2, 3};
constexpr std::array<int, 3> kSideWeight = {8, 12, 16};

class Histogram {
public:
    explicit Histogram(const PixelView& in) : m_counts(size_t{32} * 64 * 32, 0)
    {
        const size_t pixels = static_cast<size_t>(in.width) * static_cast<size_t>(in.height);
        for (size_t i = 0; i < pixels; ++i) {
            uint32_t& count =
                m_counts[Index(in.pixels[3 * i] >> 3, in.pixels[3 * i + 1] >> 2, in.pixels[3 * i + 2] >> 3)];
            if (count != UINT32_MAX)
                ++count;
        }
    }

    uint32_t At(int a, int b, int c) const { return m_counts[Index(a, b, c)]; }

private:
    static size_t Index(int a, int b, int c)
    {
        return (static_cast<size_t>(a) * 64 + static_cast<size_t>(b)) * 32 + static_cast<size_t>(c);
    }
    std::vector<uint32_t> m_counts;
};

struct Box {
    std::array<int, 3> lo{};
    std::array<int, 3> hi{};
    uint64_t pixels = 0;

    uint64_t Volume() const
    {
        uint64_t v = 1;
        for (size_t axis = 0; axis < 3; ++axis)
            v *= static_cast<uint64_t>(hi[axis] - lo[axis] + 1);
        return v;
    }
    bool CanSplit() const { return Volume() > 1; }
};

template <typename Visit> void ForEachCell(const Box& box, Visit visit)
{
    for (int a = box.lo[0]; a <= box.hi[0]; ++a)
        for (int b = box.lo[1]; b <= box.hi[1]; ++b)
            for (int c = box.lo[2]; c <= box.hi[2]; ++c)
                visit(a, b, c);
}

// Shrinks the box to its occupied cells and counts its pixels; false when it holds none.
bool ShrinkBox(const Histogram& histogram, Box& box)
{
    Box found;
    found.lo = {INT32_MAX, INT32_MAX, INT32_MAX};
    found.hi = {-1, -1, -1};
    ForEachCell(box, [&](int a, int b, int c) {
        const uint32_t count = histogram.At(a, b, c);
        if (count == 0)
            return;
        const std::array<int, 3> cell = {a, b, c};
        for (size_t axis = 0; axis < 3; ++axis) {
            found.lo[axis] = std::min(found.lo[axis], cell[axis]);
            found.hi[axis] = std::max(found.hi[axis], cell[axis]);
        }
        found.pixels += count;
    });
    if (found.pixels == 0)
        return false;
    box = found;
    return true;
}

size_t ChooseBox(const std::vector<Box>& boxes, bool byPixels)
{
    size_t best = boxes.size();
    for (size_t i = 0; i < boxes.size(); ++i) {
        if (!boxes[i].CanSplit())
            continue;
        const uint64_t key = byPixels ? boxes[i].pixels : boxes[i].Volume();
        if (best == boxes.size() || key > (byPixels ? boxes[best].pixels : boxes[best].Volume()))
            best = i;
    }
    return best;
}

void SplitBox(const Histogram& histogram, std::vector<Box>& boxes, size_t chosen)
{
    Box lower = boxes[chosen];
    size_t axis = 0;
    for (size_t a = 1; a < 3; ++a) {
        if ((lower.hi[a] - lower.lo[a] + 1) * kSideWeight[a] >
            (lower.hi[axis] - lower.lo[axis] + 1) * kSideWeight[axis])
            axis = a;
    }
    Box upper = lower;
    const int middle = (lower.lo[axis] + lower.hi[axis]) / 2;
    lower.hi[axis] = middle;
    upper.lo[axis] = middle + 1;
    ShrinkBox(histogram, lower); // both ends of a shrunk box are occupied, so neither part is empty
    ShrinkBox(histogram, upper);
    boxes[chosen] = lower;
    boxes.push_back(upper);
}

std::array<uint8_t, 3> BoxColour(const Histogram& histogram, const Box& box)
{
    std::array<uint64_t, 3> sums{};
    ForEachCell(box, [&](int a, int b, int c) {
        const uint64_t count = histogram.At(a, b, c);
        const std::array<int, 3> cell = {a, b, c};
        for (size_t axis = 0; axis < 3; ++axis)
            sums[axis] +=
                count * static_cast<uint64_t>((cell[axis] << kCellShift[axis]) + (1 << (kCellShift[axis] - 1)));
    });
    std::array<uint8_t, 3> colour{};
    for (size_t axis = 0; axis < 3; ++axis)
        colour[axis] = static_cast<uint8_t>((sums[axis] + box.pixels / 2) / box.pixels);
    return colour;
}

uint8_t NearestEntry(const std::vector<uint8_t>& palette, const uint8_t* pixel)
{
    uint32_t best = UINT32_MAX;
    uint8_t index = 0;
    for (size_t e = 0; e < palette.size() / 3; ++e) {
        uint32_t distance = 0;
        for (size_t c = 0; c < 3; ++c) {
            const int d = int{pixel[c]} - int{palette[3 * e + c]};
            distance += static_cast<uint32_t>(d * d);
        }
        if (distance < best) {
            best = distance;
            index = static_cast<uint8_t>(e);
        }
    }
    return index;
}

} // namespace

PalettePicture MedianCutPalette(const PixelView& in, int colours)
{
    PalettePicture picture;
    if (in.width < 1 || in.height < 1 || in.pixels == nullptr)
        return picture;
    colours = std::clamp(colours, 1, 256);
    const Histogram histogram(in);
    std::vector<Box> boxes(1);
    boxes[0].hi = {kCells[0] - 1, kCells[1] - 1, kCells[2] - 1};
    ShrinkBox(histogram, boxes[0]);
    while (static_cast<int>(boxes.size()) < colours) {
        const size_t chosen = ChooseBox(boxes, static_cast<int>(boxes.size()) <= colours / 2);
        if (chosen == boxes.size())
            break;
        SplitBox(histogram, boxes, chosen);
    }
    picture.width = in.width;
    picture.height = in.height;
    for (const Box& box : boxes) {
        const std::array<uint8_t, 3> colour = BoxColour(histogram, box);
        picture.palette.insert(picture.palette.end(), colour.begin(), colour.end());
    }
    const size_t pixels = static_cast<size_t>(in.width) * static_cast<size_t>(in.height);
    picture.indices.resize(pixels);
    std::unordered_map<uint32_t, uint8_t> nearest;
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* pixel = in.pixels + 3 * i;
        const uint32_t key = pixel[0] | (uint32_t{pixel[1]} << 8) | (uint32_t{pixel[2]} << 16);
        const auto found = nearest.find(key);
        picture.indices[i] =
            found != nearest.end() ? found->second : (nearest[key] = NearestEntry(picture.palette, pixel));
    }
    return picture;
}

} // namespace cis
