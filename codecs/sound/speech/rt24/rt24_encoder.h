#pragma once
// The RT24 encoder's analysis: per frame of 180 samples the pitch period, the voicing probability, the residual
// energy and the prediction polynomial. The analysis window is centred 270 samples behind the newest input, so a
// coded frame describes older speech than the frame just handed in.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "codecs/sound/codec_handle.h"
#include "codecs/sound/speech/rt24/rt24_format.h"
#include "codecs/sound/speech/rt24/rt24_pitch_tracker.h"
#include "codecs/sound/speech/sample_history.h"
#include "codecs/sound/speech/speech_filters.h"

namespace sound {

class ProbeRegistry;
struct RegistryNode;

inline constexpr int kRt24SpectrumBins = 256;
inline constexpr int kRt24WindowShapeEntries = 1036;

struct VoicingState {
    int16_t voiced[kRt24MaxHarmonics] = {};
    float smoothedEnergy = 1000000.0f;
    float previousPv = 0.0f; // of the spectral voicing
};

class Rt24Encoder : public CodecPart {
public:
    static std::unique_ptr<Rt24Encoder> Create(ProbeRegistry& registry); // null when memory or a registration fails

    void Analyse(const int16_t* pcm); // one frame of 180 samples into params

    HarmonicParams params;
    uint16_t windowLength = 221;
    float autocorrelation[kRt24LpcOrder + 1] = {}; // scaled by 1/L; [0] is the "energy" parameter
    float mismatch[kRt24MaxHarmonics] = {};
    VoicingState voicing;

private:
    Rt24Encoder() = default;

    float RefinePitch(float period);
    float SpectralVoicing(float period, bool speech);

    std::unique_ptr<SampleHistory> m_history;
    HighPassState m_highPass;
    PitchTracker m_tracker;
    float m_re[kRt24SpectrumBins] = {};
    float m_im[kRt24SpectrumBins] = {};
    float m_power[kRt24SpectrumBins] = {};
    std::vector<float> m_windows[3]; // Kaiser half windows of 221, 241 and 261 points
    float m_lastPitch = 0.0f;
    float m_previousFinalPv = 0.0f;
    ProbeRegistry* m_registry = nullptr; // the handle's; it outlives this state
    RegistryNode* m_postEncode = nullptr;
    RegistryNode* m_postResidualAmplitudes = nullptr; // registered for callers; nothing fires it
};

// The magnitude of the Kaiser window's (beta 6) spectrum, 1 at entry 0, one bin of a 221-point window's 512-point
// spectrum every 32 entries; first null at entry 161.
const std::array<float, kRt24WindowShapeEntries>& Rt24WindowShape();

// The harmonic-fit cost of a period over bands 3..64 of the 256-bin complex spectrum of an L-point window.
float HarmonicFitCost(float period, const float* re, const float* im, int windowLength);
// Per harmonic (below min(HarmonicCount, 90)): band error over band power; count written.
int HarmonicMismatch(float period, const float* re, const float* im, const float* power, int windowLength, float* out);

} // namespace sound
