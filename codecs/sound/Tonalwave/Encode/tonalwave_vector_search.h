#pragma once
// The conjugate two-codebook search: each vector is 0.5 (+-A_a +- B_b), the pair chosen by a weighted squared error
// over a preselection of candidates in each codebook, and the gain quantisers every gain of the frame goes through.
#include <cstdint>

namespace sound {

inline constexpr int kConjugateRows = 64;
inline constexpr int kConjugateMaxCandidates = 64;

struct ConjugatePair {
    const float* a = nullptr; // 64 rows of rowLength
    const float* b = nullptr;
    const float* energyA = nullptr; // 0.25 A^2, same shape
    const float* energyB = nullptr;
    int rowLength = 0;
    // Optional: the same books and energies stored coefficient by coefficient (rowLength groups of 64 floats, one
    // per row), which lets the preselection score every row at once. Null takes the rows above; the choice is the
    // same either way, only slower.
    const float* columnsA = nullptr;
    const float* columnsB = nullptr;
    const float* columnEnergyA = nullptr;
    const float* columnEnergyB = nullptr;
};

// The coefficient-by-coefficient copy of 64 rows of rowLength that ConjugatePair's columns take.
void StoreByColumn(const float* rows, int rowLength, float* columns);

struct ConjugateSearch {
    int candidates = 16;     // K per codebook; 64 takes every row
    float scoreScale = 1.0f; // the periodic component scores 4 |c| - sum C^2 W2
};

struct ConjugateChoice {
    int32_t indexA = 0; // row, plus 64 when signed and negative
    int32_t indexB = 0;
};

// target is W2 x, weight2 is W2, both of the vector's length (at most 64); bits (up to 14) split ceil/floor, a 7-bit
// half carrying a sign. Writes the reconstruction 0.5 (sA A + sB B) to reconstruction.
ConjugateChoice SearchConjugatePair(const float* target, const float* weight2, int length, int bits,
                                    const ConjugatePair& books, const ConjugateSearch& search, float* reconstruction);

// A preselection list: the K best rows by descending score, as the search builds it (exposed for its tests).
struct CandidateList {
    int rows[kConjugateMaxCandidates] = {};
    float scores[kConjugateMaxCandidates] = {};
    int count = 0;
    void Offer(int row, float score, int capacity);
};
// Drops the weaker tails of two lists of more than 8 entries, never below 8.
void PruneCandidates(CandidateList& a, CandidateList& b);

struct QuantisedGain {
    int index = 0;
    float value = 0.0f;   // the dequantised gain / 1024
    float inverse = 0.0f; // 1024 / (dequantised + 0.1)
};
// mu-law index of g on levels steps of step over [0, largest].
QuantisedGain QuantiseGain(float g, float largest, float mu, float step, int levels);
// The index whose gain v (dequantised / 1024) gives the least (E v - 2 C) v among QuantiseGain's and its two
// neighbours; a neighbour wins only when strictly better.
int RefineGain(float g, float correlation, float energy, float largest, float mu, float step, int levels);

} // namespace sound
