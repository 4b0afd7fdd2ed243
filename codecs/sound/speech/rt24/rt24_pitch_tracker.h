#pragma once
// The RT24 encoder's time-domain pitch tracker and its speech detector. Each 180-sample frame is whitened,
// decimated to 4000 Hz and correlated in three blocks; a global candidate (with one frame of look-ahead) and a
// candidate tracked from the last lag compete, and the winner is refined around the analysis centre.
#include <cstdint>

namespace sound {

inline constexpr int kTrackerLags = 86; // lags 5..90 at 4000 Hz
inline constexpr int kTrackerMinLag = 5;
inline constexpr int kTrackerMaxLag = 90;
inline constexpr int kTrackerDecimated = 270; // decimated samples kept; the newest 180 are correlated

struct SpeechDetector {
    float lastEnergyDb = 50.0f;
    int32_t frames = 0; // saturates at 5
    float loudFloor = 70.0f;
    float quietFloor = 50.0f;
    int16_t hangOver = 0;
    int16_t unvoicedRun = 0;
    int32_t previousDecision = 1;
    float range = 20.0f;

    struct Result {
        bool speech = false;
        bool voiced = false;
    };
    Result Update(float energy, float ratio); // frame energy (power per sample) and voicing ratio
};

struct SearchRanges {
    int16_t start[kTrackerLags] = {};
    int16_t count[kTrackerLags] = {};
};

struct PitchEstimate {
    float period = 0.0f; // samples at 8000 Hz
    float lag = 0.0f;    // at 4000 Hz, possibly fractional
    float correlation = 0.0f;
    float energy = 0.0f; // power per sample of the high-passed frame
    bool speech = false;
    bool voiced = false;
};

class PitchTracker {
public:
    PitchTracker();

    PitchEstimate Track(const float* frame); // 180 samples, the encoder's high-passed input

    const float* LagWeights() const { return m_lagWeights; }

private:
    void Whiten(const float* in, float* out);
    void Decimate(const float* in);
    void Correlate(float* outNormalised) const;
    int ChooseLag(const float* normalised);
    float RefineLag(int lag);

    float m_highPassState[4] = {};
    float m_lowPassState[3] = {};
    // The decimated signal, newest last. Its older part reaches far enough back for the refinement window, which
    // is centred 135 decimated samples behind the newest.
    float m_decimated[kTrackerDecimated] = {};
    float m_previousCorrelations[kTrackerLags] = {};
    float m_previousLsf[10] = {};
    float m_weightingState[10] = {};
    int32_t m_currentLag = 40;
    int32_t m_previousLag = 40;
    float m_lastCorrelation = -1.0f;
    float m_previousCorrelation = -1.0f;
    float m_window[180] = {};
    float m_lagWeights[kTrackerLags] = {};
    SearchRanges m_wideRanges;   // c = 0.25: candidates
    SearchRanges m_narrowRanges; // c = 0.155: the blocks' lags
    SpeechDetector m_detector;
};

SearchRanges TrackerSearchRanges(float c); // half-width floor((k + 5) c + 0.5) around each lag index k

} // namespace sound
