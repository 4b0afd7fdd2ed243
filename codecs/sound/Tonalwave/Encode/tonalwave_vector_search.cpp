#include "codecs/sound/Tonalwave/Encode/tonalwave_vector_search.h"

#include <algorithm>
#include <cmath>

#include "codecs/sound/Tonalwave/tonalwave_support.h"

namespace sound {

namespace {

constexpr int kLeastPrunedList = 8;

struct HalfScores {
    CandidateList list;
    float sign[kConjugateRows] = {};
};

// c = sum C T and p = sum (0.25 C^2) W2 per row; signed halves score |c| - p and keep the sign of c.
void Preselect(const float* book, const float* energy, int rowLength, const float* target, const float* weight2,
               int length, bool isSigned, const ConjugateSearch& search, HalfScores& out)
{
    out.list.count = 0;
    for (int e = 0; e < kConjugateRows; ++e) {
        const float* const row = book + static_cast<size_t>(e) * static_cast<size_t>(rowLength);
        const float* const rowEnergy = energy + static_cast<size_t>(e) * static_cast<size_t>(rowLength);
        float c = 0.0f;
        float p = 0.0f;
        for (int j = 0; j < length; ++j) {
            c += row[j] * target[j];
            p += rowEnergy[j] * weight2[j];
        }
        out.sign[e] = isSigned && c <= 0.0f ? -1.0f : 1.0f;
        const float score = search.scoreScale * ((isSigned ? std::fabs(c) : c) - p);
        out.list.Offer(e, score, std::min(search.candidates, kConjugateMaxCandidates));
    }
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
    const int last = std::min(count, capacity - 1);
    for (int i = last; i > at; --i) {
        rows[i] = rows[i - 1];
        scores[i] = scores[i - 1];
    }
    rows[at] = row;
    scores[at] = score;
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
    Preselect(books.a, books.energyA, books.rowLength, target, weight2, length, signedA, search, a);
    Preselect(books.b, books.energyB, books.rowLength, target, weight2, length, signedB, search, b);
    PruneCandidates(a.list, b.list);
    int bestA = a.list.rows[0];
    int bestB = b.list.rows[0];
    float bestCost = 0.0f;
    bool first = true;
    for (int ia = 0; ia < a.list.count; ++ia) {
        const int ra = a.list.rows[ia];
        const float* const rowA = books.a + static_cast<size_t>(ra) * static_cast<size_t>(books.rowLength);
        for (int ib = 0; ib < b.list.count; ++ib) {
            const int rb = b.list.rows[ib];
            const float* const rowB = books.b + static_cast<size_t>(rb) * static_cast<size_t>(books.rowLength);
            float cross = 0.0f;
            for (int j = 0; j < length; ++j)
                cross += rowA[j] * rowB[j] * weight2[j];
            const float cost =
                search.scoreScale * 0.5f * a.sign[ra] * b.sign[rb] * cross - a.list.scores[ia] - b.list.scores[ib];
            if (first || cost < bestCost) {
                first = false;
                bestCost = cost;
                bestA = ra;
                bestB = rb;
            }
        }
    }
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
