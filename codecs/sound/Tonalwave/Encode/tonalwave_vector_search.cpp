#include "codecs/sound/Tonalwave/Encode/tonalwave_vector_search.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "codecs/sound/Tonalwave/tonalwave_support.h"

namespace sound {

namespace {

constexpr int kLeastPrunedList = 8;

// Four float lanes: one SSE2 or NEON register where there is one, plain code elsewhere. Each lane multiplies and adds
// exactly as its scalar would, in the same order.
using Lanes = float __attribute__((vector_size(16)));
constexpr int kLanes = 4;

Lanes LoadLanes(const float* from)
{
    Lanes lanes;
    std::memcpy(&lanes, from, sizeof lanes);
    return lanes;
}

void StoreLanes(float* to, Lanes lanes)
{
    std::memcpy(to, &lanes, sizeof lanes);
}

struct HalfScores {
    CandidateList list;
    float sign[kConjugateRows] = {};
};

// c = sum C T and p = sum (0.25 C^2) W2 of every row, each adding its terms in coefficient order.
void SumRows(const float* book, const float* energy, int rowLength, const float* target, const float* weight2,
             int length, float* c, float* p)
{
    for (int e = 0; e < kConjugateRows; ++e) {
        c[e] = 0.0f;
        p[e] = 0.0f;
    }
    for (int j = 0; j < length; ++j) {
        const float t = target[j];
        const float w = weight2[j];
        for (int e = 0; e < kConjugateRows; ++e) {
            const size_t at = static_cast<size_t>(e) * static_cast<size_t>(rowLength) + static_cast<size_t>(j);
            c[e] += book[at] * t;
            p[e] += energy[at] * w;
        }
    }
}

// SumRows over the copy stored by column, sixteen rows at a time through the whole vector: the rows of one
// coefficient are adjacent, so four go in each register, and the sums stay in registers instead of going through
// memory for every coefficient; each still adds in coefficient order, so the scores come out bit for bit the same.
void SumColumns(const float* columns, const float* columnEnergy, const float* target, const float* weight2, int length,
                float* c, float* p)
{
    constexpr int kBlock = 4;
    static_assert(kConjugateRows % (kBlock * kLanes) == 0, "the rows split into whole blocks");
    for (int base = 0; base < kConjugateRows; base += kBlock * kLanes) {
        Lanes sumC[kBlock] = {};
        Lanes sumP[kBlock] = {};
        for (int j = 0; j < length; ++j) {
            const float t = target[j];
            const float w = weight2[j];
            const float* const book = columns + static_cast<size_t>(j) * kConjugateRows + static_cast<size_t>(base);
            const float* const energy =
                columnEnergy + static_cast<size_t>(j) * kConjugateRows + static_cast<size_t>(base);
            for (int k = 0; k < kBlock; ++k) {
                sumC[k] += LoadLanes(book + k * kLanes) * t;
                sumP[k] += LoadLanes(energy + k * kLanes) * w;
            }
        }
        for (int k = 0; k < kBlock; ++k) {
            StoreLanes(c + base + k * kLanes, sumC[k]);
            StoreLanes(p + base + k * kLanes, sumP[k]);
        }
    }
}

// The cross sums x C_A C_B W2 of one A row against B candidates stored by column in groups of four (stride floats a
// coefficient), kBlock groups from first at once so their sums stay in registers; every sum adds in coefficient
// order from zero, as one pair at a time would.
template <int kBlock>
void CrossBlock(const float* rowA, const float* weight2, int length, const float* columns, int stride, int first,
                float* cross)
{
    Lanes sum[kBlock] = {};
    for (int j = 0; j < length; ++j) {
        const float x = rowA[j];
        const float w = weight2[j];
        const float* const column = columns + j * stride + first;
        for (int k = 0; k < kBlock; ++k)
            sum[k] += x * LoadLanes(column + k * kLanes) * w;
    }
    for (int k = 0; k < kBlock; ++k)
        StoreLanes(cross + first + k * kLanes, sum[k]);
}

// CandidateList::Offer of every row in order, for scores without a NaN. Offer then keeps its list in descending
// order, so the entries a newcomer goes behind are exactly those greater than it, and counting them over a list
// padded with -infinity to whole groups of four replaces the scan that stops at the first one not greater.
void OfferAll(const float* score, int capacity, CandidateList& list)
{
    float kept[kConjugateMaxCandidates];
    const int padded = (capacity + 3) / 4 * 4;
    for (int i = 0; i < padded; ++i)
        kept[i] = -std::numeric_limits<float>::infinity();
    int count = 0;
    for (int e = 0; e < kConjugateRows; ++e) {
        const float value = score[e];
        if (count > 0 && !(value > kept[count - 1])) {
            if (count < capacity) {
                list.rows[count] = e;
                kept[count] = value;
                ++count;
            }
            continue;
        }
        int at = 0;
        for (int i = 0; i < padded; ++i)
            at += kept[i] > value ? 1 : 0;
        const int last = std::min(count, capacity - 1);
        int carriedRow = e;
        float carriedScore = value;
        for (int i = at; i <= last; ++i) {
            std::swap(list.rows[i], carriedRow);
            std::swap(kept[i], carriedScore);
        }
        count = std::min(count + 1, capacity);
    }
    for (int i = 0; i < count; ++i)
        list.scores[i] = kept[i];
    list.count = count;
}

// The same list as OfferAll gives, found without offering: true when the rows that could make the list have
// scores all different. Offer's list ends as the capacity greatest scores in descending order, so without ties among
// them (and with the least of them not shared by a row left out) which rows it holds and in which order is settled
// by the scores alone. Every row's group (row modulo capacity) has its greatest score at or above the least of
// those greatest, so at least capacity rows reach that floor; only the rows that do are ranked, each by how many of
// them score more. False, leaving the list alone, when two of them tie.
bool PickDistinct(const float* score, int capacity, CandidateList& list)
{
    static_assert(kConjugateRows == 64, "the rank mask holds one bit per row");
    if (capacity < 1)
        return false;
    float greatest[kConjugateMaxCandidates];
    for (int g = 0; g < capacity; ++g)
        greatest[g] = score[g];
    for (int base = capacity; base < kConjugateRows; base += capacity) {
        const int groups = std::min(capacity, kConjugateRows - base);
        for (int g = 0; g < groups; ++g)
            greatest[g] = score[base + g] > greatest[g] ? score[base + g] : greatest[g];
    }
    float floor = greatest[0];
    for (int g = 1; g < capacity; ++g)
        floor = greatest[g] < floor ? greatest[g] : floor;
    float value[kConjugateRows + 3];
    int row[kConjugateRows];
    int n = 0;
    for (int e = 0; e < kConjugateRows; ++e) {
        value[n] = score[e];
        row[n] = e;
        n += score[e] >= floor ? 1 : 0;
    }
    const int padded = (n + 3) / 4 * 4;
    for (int i = n; i < padded; ++i)
        value[i] = -std::numeric_limits<float>::infinity();
    int rank[kConjugateRows];
    uint64_t seen = 0;
    for (int i = 0; i < n; ++i) {
        const float v = value[i];
        int above = 0;
        for (int f = 0; f < padded; ++f)
            above += value[f] > v ? 1 : 0;
        rank[i] = above;
        seen |= uint64_t{1} << above;
    }
    if (seen != (n == kConjugateRows ? ~uint64_t{0} : (uint64_t{1} << n) - 1))
        return false;
    // The ranks are 0 .. n - 1, each once: every ranked row is placed, without a branch, and those past capacity
    // lie beyond the list's count.
    for (int i = 0; i < n; ++i) {
        list.rows[rank[i]] = row[i];
        list.scores[rank[i]] = value[i];
    }
    list.count = capacity;
    return true;
}

// Signed halves score |c| - p and keep the sign of c; the rows are offered in order.
void Preselect(const float* book, const float* energy, const float* columns, const float* columnEnergy, int rowLength,
               const float* target, const float* weight2, int length, bool isSigned, const ConjugateSearch& search,
               HalfScores& out)
{
    float c[kConjugateRows];
    float p[kConjugateRows];
    if (columns != nullptr && columnEnergy != nullptr)
        SumColumns(columns, columnEnergy, target, weight2, length, c, p);
    else
        SumRows(book, energy, rowLength, target, weight2, length, c, p);
    float score[kConjugateRows];
    int unordered = 0;
    for (int e = 0; e < kConjugateRows; ++e) {
        out.sign[e] = isSigned && c[e] <= 0.0f ? -1.0f : 1.0f;
        score[e] = search.scoreScale * ((isSigned ? std::fabs(c[e]) : c[e]) - p[e]);
        unordered |= score[e] != score[e] ? 1 : 0;
    }
    out.list.count = 0;
    const int capacity = std::min(search.candidates, kConjugateMaxCandidates);
    if (unordered != 0) {
        for (int e = 0; e < kConjugateRows; ++e)
            out.list.Offer(e, score[e], capacity);
        return;
    }
    if (!PickDistinct(score, capacity, out.list))
        OfferAll(score, capacity, out.list);
}

} // namespace

void CandidateList::Offer(int row, float score, int capacity)
{
    if (count > 0 && !(score > scores[count - 1])) {
        if (count < capacity) {
            rows[count] = row;
            scores[count] = score;
            ++count;
        }
        return;
    }
    // Before every entry it equals or exceeds; the last drops off a full list.
    int at = 0;
    while (at < count && score < scores[at])
        ++at;
    // The entries from at on move down one by passing the newcomer along; a short list moves faster so than
    // through a library copy.
    const int last = std::min(count, capacity - 1);
    int carriedRow = row;
    float carriedScore = score;
    for (int i = at; i <= last; ++i) {
        std::swap(rows[i], carriedRow);
        std::swap(scores[i], carriedScore);
    }
    count = std::min(count + 1, capacity);
}

void PruneCandidates(CandidateList& a, CandidateList& b)
{
    if (a.count <= kLeastPrunedList)
        return;
    while (b.count > kLeastPrunedList && a.scores[a.count - 1] > b.scores[b.count - 1])
        --b.count;
    while (a.count > kLeastPrunedList && a.scores[a.count - 1] < b.scores[b.count - 1])
        --a.count;
}

ConjugateChoice SearchConjugatePair(const float* target, const float* weight2, int length, int bits,
                                    const ConjugatePair& books, const ConjugateSearch& search, float* reconstruction)
{
    const int bitsA = (bits + 1) / 2;
    const int bitsB = bits / 2;
    const bool signedA = bitsA >= 7;
    const bool signedB = bitsB >= 7;
    HalfScores a;
    HalfScores b;
    Preselect(books.a, books.energyA, books.columnsA, books.columnEnergyA, books.rowLength, target, weight2, length,
              signedA, search, a);
    Preselect(books.b, books.energyB, books.columnsB, books.columnEnergyB, books.rowLength, target, weight2, length,
              signedB, search, b);
    PruneCandidates(a.list, b.list);
    // The B candidates side by side, coefficient by coefficient, padded with zeros to whole groups of four: each
    // pair's cross sum still adds its terms in coefficient order, while the sums of one A row against up to sixteen
    // B candidates run together in registers. The padding's sums are never read.
    const int countB = b.list.count;
    const int stride = (countB + kLanes - 1) / kLanes * kLanes;
    float columnsOfB[kConjugateRows * kConjugateMaxCandidates];
    for (int j = 0; j < length; ++j)
        for (int ib = countB; ib < stride; ++ib)
            columnsOfB[j * stride + ib] = 0.0f;
    for (int ib = 0; ib < countB; ++ib) {
        const float* const rowB = books.b + static_cast<size_t>(b.list.rows[ib]) * static_cast<size_t>(books.rowLength);
        for (int j = 0; j < length; ++j)
            columnsOfB[j * stride + ib] = rowB[j];
    }
    // The costs of one A row against every B candidate are figured a group at a time, each multiplying and
    // subtracting in the order one pair alone would; the padding's are never read. The first pair of least cost wins.
    float signOfB[kConjugateMaxCandidates];
    for (int ib = 0; ib < stride; ++ib)
        signOfB[ib] = ib < countB ? b.sign[b.list.rows[ib]] : 0.0f;
    int bestIndexA = 0;
    int bestIndexB = 0;
    float bestCost = 0.0f;
    float cross[kConjugateMaxCandidates];
    float cost[kConjugateMaxCandidates];
    for (int ia = 0; ia < a.list.count; ++ia) {
        const int ra = a.list.rows[ia];
        const float* const rowA = books.a + static_cast<size_t>(ra) * static_cast<size_t>(books.rowLength);
        int done = 0;
        for (; stride - done >= 4 * kLanes; done += 4 * kLanes)
            CrossBlock<4>(rowA, weight2, length, columnsOfB, stride, done, cross);
        switch ((stride - done) / kLanes) {
        case 3:
            CrossBlock<3>(rowA, weight2, length, columnsOfB, stride, done, cross);
            break;
        case 2:
            CrossBlock<2>(rowA, weight2, length, columnsOfB, stride, done, cross);
            break;
        case 1:
            CrossBlock<1>(rowA, weight2, length, columnsOfB, stride, done, cross);
            break;
        default:
            break;
        }
        const float scaled = search.scoreScale * 0.5f * a.sign[ra];
        const float scoreA = a.list.scores[ia];
        for (int g = 0; g < stride; g += kLanes)
            StoreLanes(cost + g,
                       scaled * LoadLanes(signOfB + g) * LoadLanes(cross + g) - scoreA - LoadLanes(b.list.scores + g));
        if (ia == 0 && countB > 0)
            bestCost = cost[0];
        for (int ib = 0; ib < countB; ++ib) {
            const bool better = cost[ib] < bestCost;
            bestCost = better ? cost[ib] : bestCost;
            bestIndexA = better ? ia : bestIndexA;
            bestIndexB = better ? ib : bestIndexB;
        }
    }
    const int bestA = a.list.rows[bestIndexA];
    const int bestB = b.list.rows[bestIndexB];
    ConjugateChoice choice;
    choice.indexA = bestA + (a.sign[bestA] < 0.0f ? 64 : 0);
    choice.indexB = bestB + (b.sign[bestB] < 0.0f ? 64 : 0);
    const float halfA = 0.5f * a.sign[bestA];
    const float halfB = 0.5f * b.sign[bestB];
    const float* const rowA = books.a + static_cast<size_t>(bestA) * static_cast<size_t>(books.rowLength);
    const float* const rowB = books.b + static_cast<size_t>(bestB) * static_cast<size_t>(books.rowLength);
    for (int j = 0; j < length; ++j)
        reconstruction[j] = halfA * rowA[j] + halfB * rowB[j];
    return choice;
}

void StoreByColumn(const float* rows, int rowLength, float* columns)
{
    for (int e = 0; e < kConjugateRows; ++e)
        for (int j = 0; j < rowLength; ++j)
            columns[static_cast<size_t>(j) * kConjugateRows + static_cast<size_t>(e)] =
                rows[static_cast<size_t>(e) * static_cast<size_t>(rowLength) + static_cast<size_t>(j)];
}

QuantisedGain QuantiseGain(float g, float largest, float mu, float step, int levels)
{
    const float y = Compress(g, largest, mu);
    QuantisedGain out;
    out.index = std::clamp(static_cast<int>(std::max(y, 0.0f) / step), 0, levels - 1);
    const float dequantised = Expand((static_cast<float>(out.index) + 0.5f) * step, largest, mu);
    out.value = dequantised / 1024.0f;
    out.inverse = 1024.0f / (dequantised + 0.1f);
    return out;
}

int RefineGain(float g, float correlation, float energy, float largest, float mu, float step, int levels)
{
    int best = QuantiseGain(g, largest, mu, step, levels).index;
    auto cost = [&](int k) {
        const float v = Expand((static_cast<float>(k) + 0.5f) * step, largest, mu) / 1024.0f;
        return (energy * v - 2.0f * correlation) * v;
    };
    float bestCost = cost(best);
    const int start = best;
    for (const int k : {start + 1, start - 1}) {
        if (k < 0 || k >= levels)
            continue;
        const float c = cost(k);
        if (c < bestCost) {
            bestCost = c;
            best = k;
        }
    }
    return best;
}

} // namespace sound
