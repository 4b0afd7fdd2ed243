#pragma once
// What one RT24 frame carries and how: the parameters of a frame, the quantisers of pitch, voicing, energy and the
// ten line spectral frequencies, and the 54-bit frame, least significant bit first:
//   pv index 4 | pitch index 8 | energy index 6 | LSF 0: 3 | LSF 1-5: 4 each | LSF 6-9: 3 each | spare 1 (0)
#include <cstdint>

#include "codecs/sound/codec_handle.h"
#include "codecs/sound/speech/bit_ring.h"
#include "codecs/sound/speech/rt24/rt24_tables.h"

namespace sound {

class ProbeRegistry;
struct RegistryNode;

inline constexpr int kRt24FrameSamples = 180;
inline constexpr int kRt24FrameBits = 54;
inline constexpr int kRt24SampleRate = 8000;
inline constexpr int kRt24LpcOrder = 10;
inline constexpr int kRt24MaxHarmonics = 90;
inline constexpr float kRt24MaxPitch = 125.0f;
inline constexpr float kRt24MinPitch = 16.0f;
inline constexpr float kRt24SamplePeriod = 0.000125f; // seconds, 1 / 8000
inline constexpr float kRt24LsfTarget = 4000.0f;      // Hz: what the last LSF is measured against

// The parameters of one frame, shared by the quantiser, the encoder and the decoder.
struct HarmonicParams {
    float pv = 0.0f;                          // voicing probability 0..1
    float pitch = 0.0f;                       // period in samples
    float resEnergy = 0.0f;                   // residual energy per sample
    float lsf[kRt24LsfCount] = {};            // Hz, ascending
    float amplitudes[kRt24MaxHarmonics] = {}; // harmonic 1 first
    float lpcPoly[kRt24LpcOrder + 1] = {};    // prediction-error polynomial, lpcPoly[0] = 1
    float lpc[kRt24LpcOrder] = {};            // predictor coefficients, -lpcPoly[1..]
};

// "amplitudes", "lpc order", "lpc", "pv", "pitch", "resEnergy"; false when a registration fails.
bool RegisterHarmonicParams(ProbeRegistry& registry, HarmonicParams& params);

struct Rt24Indices {
    uint8_t pv = 0;
    uint8_t pitch = 0;
    uint8_t energy = 0;
    uint8_t lsf[kRt24LsfCount] = {};
};

// The quantiser's state: its tables, the indices of the last frame and its two probes.
class Rt24Quantiser : public CodecPart {
public:
    static std::unique_ptr<Rt24Quantiser> Create(ProbeRegistry& registry); // null when a registration fails

    Rt24Indices indices;
    float dequantisedPitch = 0.0f;

    // Encoder: LSFs from the polynomial, quantised and back; pitch, pv and energy indices; "post quan".
    void Quantise(HarmonicParams& params);
    // Decoder: the parameters of the indices; "post unquan".
    void Dequantise(HarmonicParams& params);

private:
    Rt24Quantiser() = default;

    float m_pvTable[kRt24PvLevels] = {};
    uint16_t m_pvLevels = kRt24PvLevels;
    float m_energyTable[kRt24EnergyLevels] = {};
    const float* m_lsfCodebooks[kRt24LsfCount] = {};
    int32_t m_lsfMaxima[kRt24LsfCount] = {};
    ProbeRegistry* m_registry = nullptr; // the handle's; it outlives this state
    RegistryNode* m_postQuantise = nullptr;
    RegistryNode* m_postDequantise = nullptr;
};

// The single quantisers, as the frame uses them.
int QuantisePitch(float pitch);      // 0 at 125 samples and above, 255 at 16; short periods use their double
float DequantisePitch(int index);    // 125 - index x 109/255, within 16..125
int QuantisePv(float pv);            // the nearest level, one up from a quarter step above it
int QuantiseEnergy(float resEnergy); // of log10 of the scaled amplitude
float DequantiseEnergy(int index);
// Differential search in Hz; lsf is replaced by the reconstruction, the indices written.
void QuantiseLsf(float* lsf, uint8_t* outIndices);
// Running sums of the codebook entries; a top above 3900 Hz ends at 3896 Hz with 40 Hz between the top values.
void DequantiseLsf(const uint8_t* indices, float* outLsf);

void PackRt24Frame(const Rt24Indices& indices, BitRing& ring);
Rt24Indices UnpackRt24Frame(BitRing& ring); // the spare bit is read and ignored

} // namespace sound
