#pragma once
// The SC36 encoder's analysis: each block of 160 samples becomes the unquantised parameters of one frame (pitch,
// voicing, gain and envelope at the frame's end, pitch and voicing at its middle, and the phases of harmonics 1-8
// at both when the enhancement layer is coded). The analysis looks 145 samples past the frame's end.
#include <array>
#include <cstdint>
#include <memory>

#include "codecs/sound/codec_handle.h"
#include "codecs/sound/speech/sc36/sc36_format.h"
#include "codecs/sound/speech/speech_filters.h"

namespace sound {

class ProbeRegistry;
class SampleHistory;
struct RegistryNode;

inline constexpr int kSc36HistorySamples = 371;

class Sc36Encoder : public CodecPart {
public:
    // Registers "pv", "energy" and the probe "post encode"; null when memory runs out.
    static std::unique_ptr<Sc36Encoder> Create(ProbeRegistry& registry);
    ~Sc36Encoder() override;

    uint32_t Capability() const { return m_capability; }
    void SetCapability(uint32_t word) { m_capability = word; }
    int CurrentLayers() const { return m_currentLayer; }
    void SetCurrentLayers(int word) { m_currentLayer = word; }
    float Energy() const { return m_energy; }       // mean square of the last analysis window
    Sc36Previous& Previous() { return m_previous; } // the last frame's dequantised end values

    // 0, or 1 when the layer words share no bit (nothing is analysed).
    int AnalyseFrame(const int16_t* samples, Sc36FrameParams& out);

private:
    Sc36Encoder() = default;

    struct PulseState {
        std::array<float, 4> x{}, y{};
        float s1 = 0.0f, s2 = 0.0f;
        int index = 0;
        int best = 0;
    };

    float EndPitch(const float* spectrum);
    int PulseOffset(int length);
    float HarmonicAnalysis(const float* re, const float* im, float& pitch, Sc36FrameParams& out, float* outPoly);
    float EndCorrelation(int length, int offset, float pitch) const;
    float CorrectVoicing(float voicing, float correlation, float pitch) const;
    bool ShouldHalve(const float* poly, float gain, float pitch, float voicing);
    void MidFrame(float pitch, float voicing, bool halved, float endCorrelation, Sc36FrameParams& out);
    void ReadHistory(int centreBack, int length, float* out) const; // length samples centred centreBack back

    std::unique_ptr<SampleHistory> m_history;
    HighPassState m_filter;
    float m_lastVoicingThreshold = 0.0f;
    float m_trackedPitch = 100.0f, m_trackedScore = 0.0f;
    float m_referencePitch = 1000.0f, m_referenceScore = 0.0f;
    std::array<float, 13> m_bandHistory{};
    PulseState m_pulse;
    float m_lastEndCorrelation = 0.0f;
    uint32_t m_capability = 1;
    int m_previousLayer = 1, m_currentLayer = 1;
    float m_energy = 0.0f; // registered as "energy"
    float m_pv = 0.0f;     // registered as "pv"
    float m_lastPitch = 100.0f;
    Sc36Previous m_previous;
    RegistryNode* m_postEncode = nullptr; // owned by the handle's registry, which outlives this state
};

} // namespace sound
