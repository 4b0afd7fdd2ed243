#include "codecs/sound/fft_tables.h"

#include <array>
#include <cmath>
#include <mutex>
#include <new>

#include "codecs/sound/fft_kernels.h"

namespace sound {
namespace {

// The table's angles use these two constants; the difference from the true pi lies far below float precision.
constexpr double kPi = 3.14159265359;
constexpr double kTwoPi = 6.28318530718;
constexpr int kSlots = 32;
constexpr size_t kSpareEntries = 4;

struct TableCaches {
    std::mutex lock;
    std::array<std::shared_ptr<const TwiddleTable>, kSlots> twiddles;
    std::array<std::shared_ptr<const BitReversalTable>, kSlots> bitReversals;
    uint64_t built = 0;
};

TableCaches& Caches()
{
    static TableCaches caches; // lives until process exit; every access holds its lock
    return caches;
}

void SetEntry(std::vector<float>& values, size_t entry, double re, double im)
{
    values[2 * entry] = static_cast<float>(re);
    values[2 * entry + 1] = static_cast<float>(im);
}

void FillComplexTwiddles(std::vector<float>& values, int order, size_t m)
{
    if (order > kLargestSplitRadixOrder) {
        for (size_t j = 0; j < m / 2; ++j) {
            const double angle = kTwoPi * static_cast<double>(j) / static_cast<double>(m);
            SetEntry(values, j, std::cos(angle), -std::sin(angle));
        }
        return;
    }
    // Split-radix layout: the twiddles w^q and w^3q of the L-shaped butterflies side by side.
    for (size_t q = 0; q < m / 4; ++q) {
        const double angle = kTwoPi * static_cast<double>(q + 1) / static_cast<double>(m);
        SetEntry(values, 2 * q, std::cos(angle), -std::sin(angle));
        SetEntry(values, 2 * q + 1, std::cos(3 * angle), -std::sin(3 * angle));
    }
}

std::shared_ptr<const TwiddleTable> BuildTwiddleTable(int order)
{
    auto table = std::make_shared<TwiddleTable>();
    const size_t m = size_t{1} << order;
    table->order = order;
    table->values.assign(2 * (3 * m / 2 + kSpareEntries), 0.0f);
    FillComplexTwiddles(table->values, order, m);
    for (size_t j = 0; j < m / 2; ++j) {
        const double split = kPi * static_cast<double>(j + 1) / static_cast<double>(m);
        SetEntry(table->values, m / 2 + j, 0.5 * std::cos(split), 0.5 - 0.5 * std::sin(split));
        const double join = kPi * static_cast<double>(j) / static_cast<double>(m);
        SetEntry(table->values, m + j, std::cos(join), -std::sin(join));
    }
    return table;
}

std::shared_ptr<const BitReversalTable> BuildBitReversalTable(int order)
{
    auto table = std::make_shared<BitReversalTable>();
    const size_t n = size_t{1} << order;
    table->order = order;
    table->partner.resize(n);
    for (size_t i = 0; i < n; ++i) {
        uint32_t reversed = 0;
        for (int bit = 0; bit < order; ++bit)
            reversed |= static_cast<uint32_t>((i >> bit) & 1u) << (order - 1 - bit);
        table->partner[i] = reversed;
    }
    return table;
}

template <typename Table, typename Build>
std::shared_ptr<const Table> CachedTable(std::array<std::shared_ptr<const Table>, kSlots>& slots, int order,
                                         Build build)
{
    if (order < 0 || order > kMaxTransformOrder)
        return nullptr;
    TableCaches& caches = Caches();
    const std::lock_guard<std::mutex> guard(caches.lock);
    std::shared_ptr<const Table>& slot = slots[static_cast<size_t>(order)];
    if (!slot) {
        try {
            slot = build(order);
            ++caches.built;
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    return slot;
}

} // namespace

std::shared_ptr<const TwiddleTable> TwiddleTableOf(int order)
{
    return CachedTable(Caches().twiddles, order, BuildTwiddleTable);
}

std::shared_ptr<const BitReversalTable> BitReversalTableOf(int order)
{
    return CachedTable(Caches().bitReversals, order, BuildBitReversalTable);
}

void FreeTransformTables()
{
    TableCaches& caches = Caches();
    const std::lock_guard<std::mutex> guard(caches.lock);
    for (auto& slot : caches.twiddles)
        slot.reset();
    for (auto& slot : caches.bitReversals)
        slot.reset();
}

uint64_t TransformTablesBuilt()
{
    TableCaches& caches = Caches();
    const std::lock_guard<std::mutex> guard(caches.lock);
    return caches.built;
}

} // namespace sound
