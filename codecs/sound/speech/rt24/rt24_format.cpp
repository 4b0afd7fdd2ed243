#include "codecs/sound/speech/rt24/rt24_format.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "codecs/sound/speech/harmonic_tools.h"
#include "codecs/sound/speech/linear_prediction.h"
#include "codecs/sound/speech/probe_registry.h"

namespace sound {

namespace {

constexpr float kPitchStep = 0.42745098f;               // 109 / 255, as the encoder divides by it
constexpr double kPitchStepExact = 0.42745098039215684; // as the decoder multiplies by it
constexpr float kSilentEnergy = 1e-7f;
constexpr float kEnergyScale = 0.390625f;
constexpr float kEnergyAmplitude = 0.6671909f;
constexpr float kEnergyBack = 1.4988f;
constexpr float kEnergyBackScale = 2.56f;
constexpr float kLsfTopLimit = 3900.0f;
constexpr float kLsfTop = 3896.0f;
constexpr float kLsfTopSpacing = 40.0f;

// floor(x + 0.5) as an index, with anything beyond the int range (or NaN) kept out of the conversion.
int RoundedIndex(float x)
{
    if (!(x > -1000.0f))
        return -1000;
    if (x > 1000.0f)
        return 1000;
    return static_cast<int>(std::floor(x + 0.5f));
}

} // namespace

bool RegisterHarmonicParams(ProbeRegistry& registry, HarmonicParams& params)
{
    return RegisterArrayParameter(registry, params.amplitudes, kElementKindFloat, kRt24MaxHarmonics, "amplitudes") &&
           RegisterConstant16(registry, kRt24LpcOrder, "lpc order") &&
           RegisterArrayParameter(registry, params.lpc, kElementKindFloat, kRt24LpcOrder, "lpc") &&
           RegisterFieldParameter(registry, &params.pv, kElementKindFloat, "pv") &&
           RegisterFieldParameter(registry, &params.pitch, kElementKindFloat, "pitch") &&
           RegisterFieldParameter(registry, &params.resEnergy, kElementKindFloat, "resEnergy");
}

std::unique_ptr<Rt24Quantiser> Rt24Quantiser::Create(ProbeRegistry& registry)
{
    std::unique_ptr<Rt24Quantiser> quantiser(new (std::nothrow) Rt24Quantiser);
    if (!quantiser)
        return nullptr;
    std::copy(kRt24PvTable, kRt24PvTable + kRt24PvLevels, quantiser->m_pvTable);
    std::copy(kRt24EnergyTable, kRt24EnergyTable + kRt24EnergyLevels, quantiser->m_energyTable);
    for (int k = 0; k < kRt24LsfCount; ++k) {
        quantiser->m_lsfCodebooks[k] = kRt24LsfCodebooks[k];
        quantiser->m_lsfMaxima[k] = kRt24LsfCodebookSizes[k] - 1;
    }
    quantiser->m_registry = &registry;
    quantiser->m_postQuantise = RegisterProbe(registry, "post quan");
    quantiser->m_postDequantise = RegisterProbe(registry, "post unquan");
    if (quantiser->m_postQuantise == nullptr || quantiser->m_postDequantise == nullptr ||
        RegisterConstant16(registry, 125, "max pitch") == nullptr ||
        RegisterConstant16(registry, 16, "min pitch") == nullptr)
        return nullptr;
    return quantiser;
}

void Rt24Quantiser::Quantise(HarmonicParams& params)
{
    PolyToLsf(params.lpcPoly, kRt24LpcOrder, static_cast<float>(kRt24SampleRate), params.lsf);
    QuantiseLsf(params.lsf, indices.lsf);
    DequantiseLsf(indices.lsf, params.lsf);
    LsfToPoly(params.lsf, kRt24LpcOrder, kRt24SamplePeriod, params.lpcPoly);

    indices.pitch = static_cast<uint8_t>(QuantisePitch(params.pitch));
    dequantisedPitch = DequantisePitch(indices.pitch);
    indices.pv = static_cast<uint8_t>(QuantisePv(params.pv));
    params.pv = TableValue(m_pvTable, m_pvLevels, indices.pv);
    indices.energy = static_cast<uint8_t>(QuantiseEnergy(params.resEnergy));
    FireProbe(m_postQuantise);
}

void Rt24Quantiser::Dequantise(HarmonicParams& params)
{
    params.pitch = DequantisePitch(indices.pitch);
    dequantisedPitch = params.pitch;
    params.resEnergy = DequantiseEnergy(indices.energy);
    params.pv = TableValue(m_pvTable, m_pvLevels, indices.pv);
    const int harmonics = std::min(HarmonicCount(params.pitch), kRt24MaxHarmonics);
    const float amplitude = harmonics > 0 ? std::sqrt(2.0f * params.resEnergy / static_cast<float>(harmonics)) : 0.0f;
    for (int k = 0; k < kRt24MaxHarmonics; ++k)
        params.amplitudes[k] = k < harmonics ? amplitude : 0.0f;
    DequantiseLsf(indices.lsf, params.lsf);
    FireProbe(m_postDequantise);
}

int QuantisePitch(float pitch)
{
    int index = RoundedIndex((pitch - kRt24MaxPitch) / -kPitchStep);
    if (index >= kRt24PitchLevels)
        index = std::min(RoundedIndex((2.0f * pitch - kRt24MaxPitch) / -kPitchStep), kRt24PitchLevels - 1);
    return std::max(index, 0);
}

float DequantisePitch(int index)
{
    const auto pitch = static_cast<float>(kRt24MaxPitch - kPitchStepExact * index);
    return std::clamp(pitch, kRt24MinPitch, kRt24MaxPitch);
}

int QuantisePv(float pv)
{
    int index = NearestIndex(pv, kRt24PvTable, kRt24PvLevels);
    if (kRt24PvTable[index] + 0.25f * kRt24PvTable[1] <= pv)
        ++index;
    return std::min(index, kRt24PvLevels - 1);
}

int QuantiseEnergy(float resEnergy)
{
    const float x = resEnergy > 0.0f ? resEnergy : kSilentEnergy;
    const float level = std::log10(std::sqrt(x * kEnergyScale) * kEnergyAmplitude);
    return NearestIndex(level, kRt24EnergyTable, kRt24EnergyLevels);
}

float DequantiseEnergy(int index)
{
    const float amplitude = std::pow(10.0f, TableValue(kRt24EnergyTable, kRt24EnergyLevels, index)) * kEnergyBack;
    return amplitude * amplitude * kEnergyBackScale;
}

void QuantiseLsf(float* lsf, uint8_t* outIndices)
{
    float reconstructed[kRt24LsfCount] = {};
    float previous = 0.0f;
    for (int k = 0; k < kRt24LsfCount; ++k) {
        const float* const codebook = kRt24LsfCodebooks[k];
        const float d = lsf[k] - previous;
        const float next = k + 1 < kRt24LsfCount ? lsf[k + 1] : kRt24LsfTarget;
        int best = 0;
        float bestError = (d - codebook[0]) * (d - codebook[0]);
        for (int j = 1; j < kRt24LsfCodebookSizes[k]; ++j) {
            const float error = (d - codebook[j]) * (d - codebook[j]);
            if (error > bestError)
                break;
            // An entry that would pass the next unquantised value is not taken, and the search goes on.
            if (previous + codebook[j] < next) {
                best = j;
                bestError = error;
            }
        }
        outIndices[k] = static_cast<uint8_t>(best);
        previous += codebook[best];
        reconstructed[k] = previous;
    }
    std::copy(reconstructed, reconstructed + kRt24LsfCount, lsf);
}

void DequantiseLsf(const uint8_t* indices, float* outLsf)
{
    float previous = 0.0f;
    for (int k = 0; k < kRt24LsfCount; ++k) {
        previous += TableValue(kRt24LsfCodebooks[k], kRt24LsfCodebookSizes[k], indices[k]);
        outLsf[k] = previous;
    }
    if (outLsf[kRt24LsfCount - 1] > kLsfTopLimit) {
        outLsf[kRt24LsfCount - 1] = kLsfTop;
        for (int k = kRt24LsfCount - 2; k >= 0 && outLsf[k] > outLsf[k + 1] - kLsfTopSpacing; --k)
            outLsf[k] = outLsf[k + 1] - kLsfTopSpacing;
    }
}

void PackRt24Frame(const Rt24Indices& indices, BitRing& ring)
{
    PackBits(ring, indices.pv, 4);
    PackBits(ring, indices.pitch, 8);
    PackBits(ring, indices.energy, 6);
    for (int k = 0; k < kRt24LsfCount; ++k)
        PackBits(ring, indices.lsf[k], kRt24LsfIndexBits[k]);
    PackBits(ring, 0, 1);
}

Rt24Indices UnpackRt24Frame(BitRing& ring)
{
    Rt24Indices indices;
    UnpackBits(ring, indices.pv, 4);
    UnpackBits(ring, indices.pitch, 8);
    UnpackBits(ring, indices.energy, 6);
    for (int k = 0; k < kRt24LsfCount; ++k)
        UnpackBits(ring, indices.lsf[k], kRt24LsfIndexBits[k]);
    uint8_t spare = 0;
    UnpackBits(ring, spare, 1);
    return indices;
}

} // namespace sound
