#pragma once
// The Tonalwave encoder's state and frame pipeline (IniEncAc): N samples per channel in, one coded frame out. The
// samples join a three-block history; the block before the newest is analysed (the newest is look-ahead): window
// decision, forward transform, LPC envelope and line-spectral frequencies, bandwidth limit, periodic component,
// band-scale envelope and gains, perceptual weights, and the conjugate vector search. Every table is built at open;
// a frame takes its temporaries from the scratch stack and allocates nothing.
//
// Sections of tonalwave_encoder.cpp: open and tables; the frame call; window decision; forward transform.
// tonalwave_encoder_shaping.cpp: envelope, bandwidth, periodic component, band scale, gains, weights, search.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "codecs/sound/Tonalwave/Decode/tonalwave_synthesis.h"
#include "codecs/sound/Tonalwave/Encode/tonalwave_lsp_analysis.h"
#include "codecs/sound/Tonalwave/Encode/tonalwave_vector_search.h"
#include "codecs/sound/Tonalwave/tonalwave_bits.h"
#include "codecs/sound/Tonalwave/tonalwave_frame.h"
#include "codecs/sound/Tonalwave/tonalwave_layout.h"
#include "codecs/sound/Tonalwave/tonalwave_support.h"
#include "codecs/sound/codec_handle.h"

namespace sound {

// Sized from the deepest push of every model and frame kind, with a wide margin.
inline constexpr size_t kTonalwaveEncoderScratchBytes = 160000;

// What the analysis of one frame leaves for inspection and for the training tool.
struct TonalwaveFrameAnalysis {
    int windowCode = 0;
    int fineStructureFlag = 0;
    bool transient = false;    // T of the window decision
    bool mediumWanted = false; // W
};

// Receives each envelope quantiser's target as the encoder chose to code it; the training tool learns the
// codebooks from these. Called during EncodeFrame only while a sink is set.
class TonalwaveTrainingSink {
public:
    virtual ~TonalwaveTrainingSink() = default;
    // target: what the two stages together approximate for the chosen predictor set; weights: the quantiser's;
    // lsp: the frame's frequencies; memory: the prediction memory they were predicted from, when predicted.
    virtual void OnLsp(std::span<const float> target, std::span<const float> weights, const LspChoice& choice,
                       std::span<const float> lsp, std::span<const float> memory, bool predicted) = 0;
    // One split of a band-scale block: the residual of the chosen form, its weights, and the chosen row.
    virtual void OnBandSplit(TonalwaveKind kind, int row, std::span<const float> residual,
                             std::span<const float> weights) = 0;
    // One vector of a conjugate search as the search saw it: weightedTarget is W2 x, weight2 is W2; periodic tells
    // the periodic pair from the main pair of kind.
    virtual void OnConjugateVector(TonalwaveKind kind, bool periodic, const ConjugateChoice& choice,
                                   std::span<const float> weightedTarget, std::span<const float> weight2)
    {
        (void)kind;
        (void)periodic;
        (void)choice;
        (void)weightedTarget;
        (void)weight2;
    }
};

class TonalwaveEncoder : public CodecPart {
public:
    // Null for a set without band edges or codebooks. tables replaces the committed codebooks when given (the
    // stored layout of tonalwave_codebooks.h, of the set's shape). Throws std::bad_alloc.
    static std::unique_ptr<TonalwaveEncoder> Create(const TonalwaveConfiguration& config,
                                                    size_t scratchBytes = kTonalwaveEncoderScratchBytes,
                                                    std::span<const int16_t> tables = {});
    TonalwaveEncoder(const TonalwaveConfiguration& config, size_t scratchBytes, std::span<const int16_t> tables);

    // One frame of C x N interleaved samples; the coded frame goes into the ring at position, which advances.
    // False only when the scratch stack cannot hold the frame's arrays (nothing is written then).
    bool EncodeFrame(std::span<const int16_t> samples, std::span<uint8_t> ring, RingPosition& position);

    // Pins every later window code (0..8) while set; the succession rule is bypassed. For tests only.
    void PinWindowCode(std::optional<int> code) { m_pinnedWindowCode = code; }
    // The training tool's observer; null stops the calls. Not owned.
    void SetTrainingSink(TonalwaveTrainingSink* sink) { m_sink = sink; }

    const TonalwaveLayout& Layout() const { return m_layout; }
    int Channels() const { return m_channels; }
    int FrameSamples() const { return m_frameSamples; }
    const TonalwaveFrameRecord& LastRecord() const { return m_record; }
    const TonalwaveFrameAnalysis& LastAnalysis() const { return m_analysis; }
    std::span<const float> Coefficients() const { return m_spectrum; } // the last frame's transform, C x N
    std::span<const float> QuantisedLsp(int channel) const;            // what the decoder rebuilds
    std::span<const float> InversePower(int channel) const;            // |A|^2 of the last frame, block length
    int BandwidthCode() const { return m_bandwidthCode; }
    size_t ScratchHighWaterBytes() const { return m_scratch.HighWaterBytes(); }
    void ResetScratchHighWater() { m_scratch.ResetHighWater(); }
    size_t MemoryBytes() const;

private:
    struct AttackState {
        std::vector<float> buffer; // L + 1 samples, the newest last
        float envelope1 = 0.0f;    // env of the previous hop, and of the one before
        float envelope2 = 0.0f;
        float raw1 = 0.0f; // e of the previous hop, and of the one before
        float raw2 = 0.0f;
        float coefficient = 0.0f; // the first-order predictor of the previous hop
    };
    struct ChannelState {
        float previousR1 = 0.0f;
        float previousR2 = 0.0f;
        AttackState attack;
        std::array<float, kLspMaxOrder> lspMemory = {}; // the decoder's q
        std::array<float, kLspMaxOrder> lastLsp = {};   // unquantised, for a frame whose search fails
        std::array<float, kLspMaxOrder> quantisedLsp = {};
        std::array<std::vector<float>, kTonalwaveKinds> bandMemory; // r^ of the last block of each kind
        std::vector<float> inversePower;                            // |A|^2 of the last frame
    };
    struct AttackParameters {
        float k1, k2, k3, k4;
        int length, hop, tail, energyLength; // L, H, P, Q
    };
    // The arrays of one frame, all C x N unless said.
    struct FrameArrays {
        float* spectrum;     // X
        float* inversePower; // |A|^2 at every coefficient
        float* envelope;     // L = 1 / |A|^2
        float* flat;         // F
        float* periodic;     // P, the rebuilt periodic component
        float* bands;        // Bk
        float* target;       // x
        float* weights;      // W
        float* gains;        // per channel: the frame gain / 1024, then the block gains / 1024
        float* work;         // 2N + 2 floats
        uint16_t* selection; // N
    };

    void ConvertInput(std::span<const int16_t> samples);
    void Gather(int channel, int from, int count, float* out) const;
    void DecideWindow();
    void ClassifySignal(float* work, float* cepstrum);
    void DetectAttacks(bool& transient, bool& medium);
    bool Transform(float* spectrum, float* work);
    void ForwardBlock(const float* input, const WindowShape& shape, float* coefficients, float* work) const;
    WindowShape ShapeOfCode(int code) const;
    static void WindowSamples(const float* input, const WindowShape& shape, float* out); // 2L samples

    void AnalyseEnvelope(FrameArrays& arrays);
    void LimitBandwidth(FrameArrays& arrays);
    void AnalysePeriodic(FrameArrays& arrays);
    PeriodicPlacement Placement() const;
    void TabulatePeriodicPositions();
    void BandScaleEnvelope(FrameArrays& arrays);
    void NormaliseGains(FrameArrays& arrays);
    void ComputeWeights(FrameArrays& arrays);
    void QuantiseCoefficients(FrameArrays& arrays);
    bool PredictsBlock(int block) const;

    TonalwaveLayout m_layout;
    int m_channels = 0;
    int m_frameSamples = 0; // N
    int m_frameOrder = 0;   // log2 N
    int m_bandLimitDivisor = 1;
    bool m_quarterBandCut = false;
    AttackParameters m_attack = {};
    float m_attackDecay = 0.0f;
    float m_attackLagFactor = 1.0f;
    int m_periodicCandidates = 8;

    // Codebooks as floats, with the search's energies.
    std::array<std::array<std::vector<float>, 2>, kTonalwaveKinds> m_main;
    std::array<std::array<std::vector<float>, 2>, kTonalwaveKinds> m_mainEnergy;
    std::array<std::vector<float>, kTonalwaveKinds> m_bandBook;
    std::array<int, kTonalwaveKinds> m_bandRowLength = {};
    std::array<BandEdges, kTonalwaveKinds> m_bandEdges;
    std::array<std::vector<float>, 2> m_periodicBook;
    std::array<std::vector<float>, 2> m_periodicEnergy;
    // The same books and energies stored by column, for the search's preselection.
    std::array<std::array<std::vector<float>, 2>, kTonalwaveKinds> m_mainColumns;
    std::array<std::array<std::vector<float>, 2>, kTonalwaveKinds> m_mainEnergyColumns;
    std::array<std::vector<float>, 2> m_periodicColumns;
    std::array<std::vector<float>, 2> m_periodicEnergyColumns;
    // The coefficient of each periodic value (or -1) for every period index, index by index: they depend on the
    // configuration alone.
    std::vector<int16_t> m_periodicPositions;
    std::vector<float> m_lspStage1;
    std::vector<float> m_lspStage2;
    std::vector<float> m_lspPredictor;
    std::vector<int> m_splitBounds;
    std::unique_ptr<LspAnalysis> m_lpc;

    // Windows and transforms.
    std::vector<float> m_longSlope;                            // N
    std::vector<float> m_mediumSlope;                          // M
    std::vector<float> m_shortSlope;                           // S, of which a short slope uses the first S/2
    std::vector<float> m_hamming;                              // 2N, the classifier's window
    std::vector<float> m_attackWindow;                         // L
    std::array<std::vector<float>, kTonalwaveKinds> m_pre;     // exp(-i pi m / L), m < L/2
    std::array<std::vector<float>, kTonalwaveKinds> m_post;    // exp(-i pi (p + 1/4) / L) / sqrt(2L)
    std::array<std::vector<float>, kTonalwaveKinds> m_cosines; // cos((j + 0.5) pi / L)

    std::vector<float> m_history; // three blocks of C x N, oldest first, channels planar within a block
    std::vector<float> m_spectrum;
    std::vector<ChannelState> m_channelState;
    WindowCodeState m_sequencer;
    bool m_transientCarried = false;
    int m_bandwidthCode = 0;
    int m_previousWindowCode = 0;
    int m_lspFrames = -1;
    std::optional<int> m_pinnedWindowCode;
    TonalwaveTrainingSink* m_sink = nullptr;
    TonalwaveFrameRecord m_record;
    TonalwaveFrameAnalysis m_analysis;
    TonalwaveFieldList m_fields;
    ScratchStack m_scratch;
};

} // namespace sound
