#pragma once
// The Tonalwave decoder's state and frame steps (IniDecAc): one frame record in, N samples per channel out. Good
// frames are dequantised (main vectors, periodic component, band scale, gains, the LSP envelope) into transform
// coefficients and synthesised by inverse transform and overlap-add; lost frames are concealed from the last
// output. Every table is built at open; a frame takes its temporaries from the scratch stack and allocates nothing.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "codecs/sound/Tonalwave/Decode/tonalwave_synthesis.h"
#include "codecs/sound/Tonalwave/tonalwave_codebooks.h"
#include "codecs/sound/Tonalwave/tonalwave_frame.h"
#include "codecs/sound/Tonalwave/tonalwave_layout.h"
#include "codecs/sound/Tonalwave/tonalwave_support.h"
#include "codecs/sound/codec_handle.h"

namespace sound {

// Sized from the deepest push of every model and frame kind, concealment included, with a wide margin.
inline constexpr size_t kTonalwaveDecoderScratchBytes = 138500;

class TonalwaveDecoder : public CodecPart {
public:
    // Null for a set without band edges or codebooks. tables replaces the committed codebooks when given (the
    // stored layout of tonalwave_codebooks.h, of the set's shape, else null). Throws std::bad_alloc.
    static std::unique_ptr<TonalwaveDecoder> Create(const TonalwaveConfiguration& config,
                                                    size_t scratchBytes = kTonalwaveDecoderScratchBytes,
                                                    std::span<const int16_t> tables = {});
    TonalwaveDecoder(const TonalwaveConfiguration& config, size_t scratchBytes,
                     std::span<const int16_t> tables); // Create checks the set and the tables first

    // One frame into C x N floats, channel after channel. False, with out zeroed, only when the scratch stack
    // cannot hold the frame's arrays, which a correctly sized stack never lets happen.
    bool DecodeFrame(const TonalwaveFrameRecord& frame, std::span<float> out);

    // The synthesis of a good frame on given coefficients (C x N, blocks in order), as DecodeFrame's last step:
    // lets a forward transform be checked against the decoder without codebooks in between.
    bool SynthesizeCoefficients(std::span<const float> coefficients, int windowCode, std::span<float> out);

    // The smooth envelope of a block of the kind for P line-spectral frequencies, as a frame evaluates it.
    void EvaluateEnvelope(TonalwaveKind kind, std::span<const float> frequencies, std::span<float> out) const;

    const TonalwaveLayout& Layout() const { return m_layout; }
    int Channels() const { return m_channels; }
    int FrameSamples() const { return m_frameSamples; }
    int LostFrames() const { return m_lostFrames; }           // consecutive lost frames up to now
    int ConcealedFrames() const { return m_concealedFrames; } // concealed since the last good frame
    int LastWindowCode() const { return m_lastWindowCode; }
    std::span<const float> Tail(int channel) const;                        // the overlap carried into the next frame
    std::span<const float> Envelope(int channel) const;                    // the last good frame's smooth envelope
    std::span<const float> Frequencies(int channel) const;                 // its line-spectral frequencies, P of them
    std::span<const float> Coefficients() const { return m_coefficients; } // the last good frame's, C x N
    size_t ScratchHighWaterBytes() const { return m_scratch.HighWaterBytes(); }
    void ResetScratchHighWater() { m_scratch.ResetHighWater(); }
    size_t MemoryBytes() const; // the state and everything it holds

private:
    struct ChannelState {
        std::vector<float> tail;                                     // N
        std::vector<float> lastOutput;                               // N: the previous frame's output, for concealment
        std::vector<float> envelope;                                 // N: the last smooth envelope, kept for inspection
        std::array<std::vector<float>, kTonalwaveKinds> bandMemory;  // cur of the last block of each kind
        std::array<float, kTonalwaveLspStride> lspMemory = {};       // q: the last frame's r
        std::array<float, kTonalwaveLspStride> lastFrequencies = {}; // the last decoded omega
    };

    bool DecodeGoodFrame(const TonalwaveFrameRecord& frame, int windowCode, int lostBefore, std::span<float> out);
    void DequantizeMain(const TonalwaveFrameRecord& frame, TonalwaveKind kind, float* fine) const;
    void DequantizePeriodic(const TonalwaveFrameRecord& frame, float* values, float* spectrum) const;
    void ApplyBandScale(const TonalwaveFrameRecord& frame, TonalwaveKind kind, float* bands);
    void BlockGains(const TonalwaveFrameRecord& frame, TonalwaveKind kind, float* gains) const;
    void SmoothEnvelope(const TonalwaveFrameRecord& frame, int channel, TonalwaveKind kind, int lostBefore,
                        float* envelope);
    void EvaluateSparse(TonalwaveKind kind, const float* twoCos, float* envelope) const;
    float EnvelopeAt(TonalwaveKind kind, int j, const float* twoCos) const;
    void LimitBandwidth(const TonalwaveFrameRecord& frame, TonalwaveKind kind, float* coefficients,
                        uint16_t* work) const;
    bool Synthesize(const float* coefficients, int windowCode, std::span<float> out);
    void FoldTailsAfterLoss(int windowCode);
    bool ConcealFirstLostFrame(std::span<float> out);
    void ConcealLaterLostFrame(std::span<float> out);
    WindowShape ShapeOfCode(int windowCode) const;
    const float* RisingWindowAfter(int windowCode) const;
    const float* RisingWindowBefore(int windowCode) const;

    TonalwaveLayout m_layout;
    int m_channels = 0;
    int m_frameSamples = 0;        // N
    int m_mediumLength = 0;        // M
    int m_shortLength = 0;         // S
    int m_frameOrder = 0;          // log2 N
    bool m_quarterBandCut = false; // the 6-kbit/s set codes three quarters of each block

    // Codebooks as floats.
    std::array<std::array<std::vector<float>, 2>, kTonalwaveKinds> m_main;
    std::array<std::vector<float>, kTonalwaveKinds> m_bandBook;
    std::vector<float> m_periodicBook;
    std::vector<float> m_lspStage1;    // 2^L1 rows of kTonalwaveLspStride
    std::vector<float> m_lspStage2;    // 2^L2 rows
    std::vector<float> m_lspPredictor; // 2 rows
    std::vector<int> m_splitBounds;
    std::array<int, kTonalwaveKinds> m_bandRowLength = {};

    // Windows and transforms.
    std::vector<float> m_longSlope;        // N: sin((n + 0.5) pi / 2N)
    std::vector<float> m_mediumSlope;      // M
    std::vector<float> m_shortSlope;       // S, of which a short slope uses the first S/2
    std::vector<float> m_transitionMedium; // N: zeros, the medium slope, ones
    std::vector<float> m_transitionShort;  // N: zeros, the short slope, ones
    std::array<std::unique_ptr<InverseMdct>, kTonalwaveKinds> m_imdct;
    std::array<std::vector<float>, kTonalwaveKinds> m_envelopeCos; // cos((j + 0.5) pi / L)
    std::array<BandEdges, kTonalwaveKinds> m_bandEdges;
    std::vector<float> m_concealWindow; // H
    int m_concealLength = 0;            // H

    std::vector<ChannelState> m_channelState;
    std::vector<float> m_coefficients;
    int m_lostFrames = 0;
    int m_concealedFrames = 0;
    int m_lastWindowCode = 0;
    int m_lspFrames = -1; // -1 at open; prediction from the second good frame on
    ScratchStack m_scratch;
};

} // namespace sound
