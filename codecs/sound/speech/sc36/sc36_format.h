#pragma once
// What an SC36 frame is: a 64-bit base layer (pitch, gain, voicing, a six-stage envelope), optionally followed by a
// 64-bit enhancement layer (an envelope refinement and the phases of harmonics 1-8). The quantisers of each field
// with their dequantisers, one reconstruction shared by encoder and decoder, the packing of the layers, and the
// walk over layered frames in a coded ring.
#include <array>
#include <cstdint>
#include <span>

#include "codecs/sound/speech/sc36/sc36_tables.h"

namespace sound {

inline constexpr int kSc36FrameSamples = 160;
inline constexpr int kSc36SampleRate = 8000;
inline constexpr int kSc36LayerBytes = 8;

struct Sc36FrameParams {
    float pitchMid = 100.0f; // samples at 8000 Hz
    float voicingMid = 0.0f; // 0..1
    std::array<float, kSc36Harmonics> phaseMid{};
    float pitchEnd = 100.0f;
    float voicingEnd = 0.0f;
    std::array<float, kSc36Harmonics> phaseEnd{};       // [0, 2 pi)
    float gain = 0.0f;                                  // half the base-2 logarithm of the prediction-error power
    std::array<float, kSc36Coefficients> envelope{};    // arcsines of the reflection coefficients
    std::array<float, kSc36Coefficients> envelopeRaw{}; // the encoder's copy before quantisation
};

struct Sc36Indices {
    uint8_t pitch = 0;   // 8 bits
    uint8_t gain = 0;    // 6 bits
    uint8_t voicing = 0; // 4 bits: the level index, plus 8 when the mid-frame voicing equals the end voicing
    std::array<std::array<uint8_t, 2>, kSc36Stages> envelope{}; // first and second index per stage
    std::array<uint8_t, 2> refinement{};                        // 3 bits each
    std::array<uint8_t, kSc36Harmonics> phase{};                // 7 bits each
};

// The previous frame's dequantised end values, which the voicing flag and the mid-frame pitch refer to.
struct Sc36Previous {
    float pitchEnd = 100.0f;
    float voicingEnd = 0.0f;
};

uint8_t Sc36QuantisePitch(float pitch);
float Sc36DequantisePitch(uint8_t index);
float Sc36MidPitch(float previousPitch, float previousVoicing, float pitch, float voicing);

// Quantises the base-layer fields of params (mid voicing and envelopeRaw included), then replaces the base-layer
// values of params with what a decoder will hold.
Sc36Indices QuantiseBase(Sc36FrameParams& params, const Sc36Previous& previous, const Sc36Tables& tables);
// The enhancement fields from params' unquantised envelope and phases, after QuantiseBase; params then holds the
// decoder's values for them too.
void QuantiseEnhancement(Sc36FrameParams& params, Sc36Indices& indices, const Sc36Tables& tables);

// The reconstruction both sides run: base-layer values from the indices; phases 0.
void DequantiseBase(const Sc36Indices& indices, const Sc36Previous& previous, const Sc36Tables& tables,
                    Sc36FrameParams& out);
// The refinement and the phases, after DequantiseBase on the same params.
void DequantiseEnhancement(const Sc36Indices& indices, const Sc36Tables& tables, Sc36FrameParams& out);

// The envelope alone, from r = c - mean: the six stages' indices and c'.
void QuantiseEnvelope(const float* c, float voicingEnd, const Sc36Tables& tables, Sc36Indices& indices, float* out);
void DequantiseEnvelope(const Sc36Indices& indices, float voicingEnd, const Sc36Tables& tables, float* out);

// Layers as 8 bytes each, bit 0 the least significant bit of byte 0; the continuation bit is bit 63.
std::array<uint8_t, kSc36LayerBytes> PackBaseLayer(const Sc36Indices& indices, bool continues);
std::array<uint8_t, kSc36LayerBytes> PackEnhancementLayer(const Sc36Indices& indices);
void UnpackBaseLayer(std::span<const uint8_t, kSc36LayerBytes> layer, Sc36Indices& out);
void UnpackEnhancementLayer(std::span<const uint8_t, kSc36LayerBytes> layer, Sc36Indices& out);

// Layer sizes in bytes, ended by 0; the default table is {8, 8, 0}.
struct LayerSizeTable {
    std::array<uint16_t, 8> sizes{8, 8, 0};
};
const LayerSizeTable& DefaultLayerSizes();

uint32_t LayerMaskBytes(uint32_t mask, const LayerSizeTable& table);
uint32_t BytesToLayerMask(int32_t bytes, const LayerSizeTable& table);
bool IsPrefixLayerMask(uint32_t mask, const LayerSizeTable& table);
bool IsSingleLayerMask(uint32_t mask);

// The byte index after `frames` whole frames from position; -1 when the bytes up to end do not hold them, -2 when
// a continuation bit names a layer the table does not have. Equal position and end mean an empty ring.
int32_t ScanFrames(std::span<const uint8_t> ring, uint32_t position, uint32_t end, uint32_t frames,
                   const LayerSizeTable& table);

} // namespace sound
