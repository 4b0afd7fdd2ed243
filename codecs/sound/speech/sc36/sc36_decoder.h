#pragma once
// The SC36 decoder's state and synthesis: loss bookkeeping, the time axis of 80-sample blocks over the previous
// end, mid and end parameter sets, and each block as one period of harmonics and noise read at the block's pitch.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "codecs/sound/codec_handle.h"
#include "codecs/sound/speech/sc36/sc36_format.h"

namespace sound {

inline constexpr int kSc36BlockSamples = 80;
inline constexpr int kSc36SpectrumPoints = 65;
// Up to 159 samples wait after a call and a call adds up to two blocks of 80.
inline constexpr int kSc36OutputCapacity = 320;

struct Sc36LossState {
    int present = 1; // 0 after Sc36MarkFrameLost, for every call that plays the frame
    int previousPresent = 1;
    float backgroundGain = 0.0f;
    std::array<float, kSc36Coefficients> storedEnvelope{};
};

class Sc36Decoder : public CodecPart {
public:
    static std::unique_ptr<Sc36Decoder> Create(bool enhanced); // null when memory runs out

    Sc36LossState& Loss() { return m_loss; }
    std::vector<uint8_t>& FrameBytes() { return m_frameBytes; } // 64 or 32 bytes: the frame being decoded
    bool IsFrameNeeded() const { return m_frameNeeded; }
    uint32_t Capability() const { return m_capability; }
    int CurrentLayers() const { return m_currentLayer; }
    void SetCurrentLayers(int word) { m_currentLayer = word; }
    int EffectiveLayers() const { return m_effectiveLayer; } // the last block's
    Sc36Previous PreviousEnd() const { return {m_prevEnd.pitchEnd, m_prevEnd.voicingEnd}; }
    float RequestedTimeScale() const { return m_requestedScale; }
    void RequestTimeScale(float factor) { m_requestedScale = factor; }
    void RequestDiscontinuity(uint32_t value) { m_discontinuityRequest = value; }
    void RequestRepeat() { m_repeatRequest = true; }
    // The component amplitudes' sum of the last block, before the sum limit and after it.
    float LastAmplitudeSum() const { return m_lastAmplitudeSum; }

    // One decode call after the frame's fields were read: frame is null when the frame is absent (lost). Writes
    // 160 samples or none into out and returns the count.
    uint16_t DecodeCall(const Sc36FrameParams* frame, int16_t* out);

private:
    Sc36Decoder() = default;

    struct ParameterSet {
        float pitch = 100.0f;
        float voicing = 0.0f;
        std::array<float, kSc36Harmonics> phases{};
    };
    struct Spectra {
        std::array<float, kSc36SpectrumPoints> amplitude{}; // log2
        std::array<float, kSc36SpectrumPoints> phase{};
    };
    struct BlockRequest {
        ParameterSet set;
        float ratio = 0.0f;
        bool enhanced = false;
        bool reset = false;
    };

    void StartFrame();
    Sc36FrameParams BookLoss(const Sc36FrameParams* frame);
    void EnvelopeSpectra(const Sc36FrameParams& frame, Spectra& out) const;
    void RunBlockSlot();
    void FinishFrame();
    void SynthesiseBlock(const BlockRequest& request);
    void TrackPhase(const BlockRequest& request, float f0, int harmonics, const float* amplitude, float* phase);

    Sc36LossState m_loss;
    std::vector<uint8_t> m_frameBytes;
    float m_phi = 0.0f, m_psi = 0.0f, m_kappaPsi = 0.0f, m_kappaPhi = 0.0f, m_f0Previous = 5.0f;
    std::array<float, kSc36BlockSamples> m_tail{};
    std::array<float, kSc36OutputCapacity> m_output{};
    int m_waiting = 0;
    uint32_t m_capability = 1;
    int m_previousLayer = 1, m_currentLayer = 1, m_effectiveLayer = 1;
    uint32_t m_seed = 1;
    Spectra m_previousSpectra, m_currentSpectra;
    float m_previousMidPitch = 100.0f;
    Sc36FrameParams m_prevEnd; // only the end pitch, voicing and phases are used
    Sc36FrameParams m_current; // the frame being played
    float m_requestedScale = 1.0f, m_scale = 1.0f;
    bool m_frameNeeded = true;
    float m_accumulator = 80.0f;
    uint32_t m_discontinuityRequest = 0, m_discontinuityLatched = 0;
    bool m_repeatRequest = false;
    int m_repeatCount = 0;
    bool m_reset = false;
    float m_extraPhase = 0.0f;
    std::array<int, 3> m_uses{1, 0, 0}; // previous end, mid, end sets
    int m_previousMidUses = 1;
    float m_lastAmplitudeSum = 0.0f;
    std::array<float, kSc36Harmonics> m_residual{}; // the coded phases' distance from the fitted line
};

} // namespace sound
