#pragma once
// The RT24 decoder's state and synthesis: sub-frame interpolation between the previous and the current frame,
// lost-frame comfort noise, a formant post-filter, excitation one pitch period at a time from a 256-point spectrum,
// the interpolated all-pole filter and a writer that hands out blocks of exactly 180 samples. A time-scale factor
// stretches or compresses the output without changing its pitch.
#include <cstdint>
#include <memory>

#include "codecs/sound/codec_handle.h"
#include "codecs/sound/speech/rt24/rt24_format.h"

namespace sound {

class ProbeRegistry;
struct RegistryNode;

inline constexpr float kRt24MinTimeScale = 0.2f;
inline constexpr float kRt24MaxTimeScale = 5.0f;
inline constexpr int kRt24PeriodPoints = 256;

struct FrameLossState {
    uint16_t present = 1; // 1: the next frame is read from the ring
    uint16_t previousPresent = 1;
    float backgroundEnergy = 500.0f;
    float backgroundLsf[kRt24LsfCount] = {};
    uint16_t fadeCounter = 0;
};

struct LpcSynthState {
    float previousLsf[kRt24LsfCount] = {};
    float memory[kRt24LpcOrder] = {};
};

struct PcmDoubleBuffer {
    int16_t buffers[2][kRt24FrameSamples] = {};
    int current = 0;
    int16_t fill = 0;
    uint8_t completed = 0; // 0 none, 1 the first buffer was completed, 2 the second
};

// One set of interpolated parameters.
struct SubFrameParams {
    float pitch = 0.0f;
    float pv = 0.0f;
    float energy = 0.0f;
    float amplitudes[kRt24MaxHarmonics] = {};
    float lsf[kRt24LsfCount] = {};
};

struct SynthFrame {
    SubFrameParams current;
    SubFrameParams previous;              // the sub-frame before; its pitch starts at 50
    uint16_t remaining = 0;               // sub-frames left of the frame
    uint16_t subFrames = 1;               // N
    uint16_t samples = kRt24FrameSamples; // L
    uint16_t blocks = 3;
    float smoothedLsf[kRt24LsfCount] = {};
    int32_t unvoicedRun = 10;
};

struct PeriodSynth {
    // One period of 256 samples; the real inverse transform needs the packed spectrum's two extra floats.
    float period[kRt24PeriodPoints + 2] = {};
    float rate = 0.0f;        // period samples per output sample
    float periodPhase = 0.0f; // in pitch periods, 0..1
    float readPhase = 0.0f;   // in periods of the buffer
    uint32_t random = 1;
    float previousBlockPitch = 50.0f;
};

class Rt24Decoder : public CodecPart {
public:
    static std::unique_ptr<Rt24Decoder> Create(ProbeRegistry& registry); // null when a registration fails

    // One decode call after its checks: reads a frame when one is due, synthesises when the time scale says so.
    void Decode(Rt24Quantiser& quantiser, CodecIO& io);
    void MarkFrameLost() { loss.present = 0; }

    float timeScale = 1.0f;
    uint16_t skipCounter = 0;
    float frameStep = 1.0f;
    uint8_t writeFlag = 1;
    uint8_t needFrame = 1;

    FrameLossState loss;
    LpcSynthState lpc;
    PcmDoubleBuffer output;
    SynthFrame synth;
    SubFrameParams previousFrame; // the frame the sub-frames come from
    HarmonicParams params;        // the frame's dequantised parameters
    PeriodSynth period;

private:
    Rt24Decoder();

    void HandleFrameLoss();
    void Synthesise(int16_t* pcm);
    void InterpolateSubFrame();
    void SmoothUnvoicedLsf();
    void GenerateExcitation(float* excitation);
    void SynthesisePeriod(float* out, int blockSamples, int crossFade, float pitch, const float* amplitudes,
                          const uint8_t* phases, int lines);
    void SynthesiseLpc(const float* currentPoly, float* buffer, int count, float* out);
    void WriteSamples(const float* samples, int count);

    ProbeRegistry* m_registry = nullptr; // the handle's; it outlives this state
    RegistryNode* m_preDecode = nullptr;
    RegistryNode* m_postDecode = nullptr;
};

// The excitation's periodic resampler: count outputs from the 256-sample period at rate, from startPhase (in
// periods), cubic B-spline; the phase after the last output.
float ResamplePeriod(const float* period, int count, float rate, float startPhase, float* out);
// The formant post-filter on the first n amplitudes.
void FormantPostFilter(const float* poly, float pv, float pitch, int n, float* amplitudes);

} // namespace sound
