#pragma once
// The Tonalwave parameter sets, the configuration codes that select them, and the sizes of a frame derived from a
// set and a channel count. Everything here is arithmetic on constants; the frame layout built from it is
// tonalwave_layout.h.
#include <array>
#include <cstdint>
#include <optional>

namespace sound {

// The stored 72-byte parameter record, field by field.
struct TonalwaveParameterSet {
    float sampleRate;           // Hz
    float bitRate;              // bit/s per channel
    uint16_t frameSamples;      // N
    float encoderFactor;        // not used by the decoder
    uint8_t shortBlocks;        // B_s
    uint8_t mediumBlocks;       // B_m
    uint8_t frameGainBits;      // G
    uint32_t frameGainMax;      // 13000
    uint8_t blockGainBits;      // g
    float blockGainMax;         // 4500
    float gainMu;               // 100
    uint8_t lspOrder;           // P
    uint8_t lspSwitchBits;      // L0
    uint8_t lspStage1Bits;      // L1
    uint8_t lspStage2Bits;      // L2
    uint8_t lspSplits;          // K2
    uint8_t bandIndicesLong;    // E_l
    uint8_t bandIndicesShort;   // E_s
    uint8_t bandIndicesMedium;  // E_m
    uint8_t bandBitsLong;       // W_l
    uint8_t bandBitsShort;      // W_s
    uint8_t bandBitsMedium;     // W_m
    uint8_t periodBits;         // T
    uint8_t encoderPeriodParam; // 18, 3 or 8
    uint8_t periodicBits;       // Q, per channel
    uint8_t periodicLength;     // R, per channel
    uint8_t periodicGainBits;   // U
    uint8_t periodicParam;      // 200
    std::array<uint8_t, 3> encoderParams;
    std::array<uint16_t, 8> codebookSizes; // floats: main long, short, medium (each per codebook of the pair),
                                           // band-scale long, short, medium, periodic pair, LSP (not read)
};

// Index into TonalwaveParameterSets(); the order is the table's.
enum class TonalwaveSet : uint8_t {
    k8k8 = 0,   // 8 kHz, 8 kbit/s (AC8)
    k8k6 = 1,   // 8 kHz, 6 kbit/s
    k11k10 = 2, // 11 kHz, 10 kbit/s (AC10, ACS20)
    k16k16 = 3, // 16 kHz, 16 kbit/s
    k22k24 = 4, // 22 kHz, 24 kbit/s (AC24, ACS48)
    k44k32 = 5,
    k44k40 = 6,
    k44k48 = 7,
};
inline constexpr int kTonalwaveSetCount = 8;

const std::array<TonalwaveParameterSet, kTonalwaveSetCount>& TonalwaveParameterSets();
const TonalwaveParameterSet& ParametersOf(TonalwaveSet set);
const char* NameOf(TonalwaveSet set); // "8kHz-8kbps" ...

// A configuration code C RR BB read as hexadecimal digits.
struct TonalwaveConfiguration {
    uint32_t code = 0;
    int channels = 0;    // C: 1 or 3 in the code, 1 or 2 here
    int sampleRate = 0;  // Hz, from RR
    int bitRateKbps = 0; // per channel, as the set has it (0x12232 gives 24)
    TonalwaveSet set = TonalwaveSet::k8k8;
    std::array<uint8_t, 2> padWidths = {}; // the pad field or fields; 0 = absent
};

// nullopt for a code outside the nine accepted pairs or with C other than 1 and 3; why, in outReason, when given.
std::optional<TonalwaveConfiguration> DecodeConfigurationCode(uint32_t code, const char** outReason = nullptr);

// Block kinds of a frame; stored nowhere, but their order is the field lists' order.
enum class TonalwaveKind : uint8_t {
    kLong = 0,
    kMedium = 1,
    kShort = 2,
};
inline constexpr int kTonalwaveKinds = 3;

// Sizes that follow from a set and a channel count.
struct TonalwaveSizes {
    int channels = 0;
    int frameSamples = 0;                                     // N
    int mediumLength = 0;                                     // M = N / B_m
    int shortLength = 0;                                      // S = N / B_s
    int frameBits = 0;                                        // F
    int headerBits = 0;                                       // H of long and medium frames; short frames have 4
    int envelopeBits = 0;                                     // E = L0 + L1 + K2 L2
    std::array<int, kTonalwaveKinds> sideBitsPerChannel = {}; // Z_l; medium and short side bits per channel
    std::array<int, kTonalwaveKinds> vectorBits = {};         // V
    std::array<int, kTonalwaveKinds> vectorCount = {};        // n
    std::array<int, kTonalwaveKinds> rowLength = {};          // D: the larger of the mono and stereo budgets
    int periodicVectorCount = 0;                              // n_p
    int periodicRowLength = 0;                                // the larger of mono and stereo
    int padBits = 0;                                          // total of the pad fields
    std::array<int, kTonalwaveKinds> bandCount = {};          // 0 for a set without band edges
    std::array<int, kTonalwaveKinds> blockCount = {};         // 1, B_m, B_s
    std::array<int, kTonalwaveKinds> blockLength = {};        // N, M, S
    int FrameBitsWithPad() const { return frameBits + padBits; }
};

TonalwaveSizes SizesOf(TonalwaveSet set, int channels, int padBits = 0);

// The eight sizes of the stored codebooks of a set, derived from its sizes; they equal the set's list except for
// the 16-kHz LSP size, which the sets' table states loosely.
std::array<int, 8> DerivedCodebookSizes(TonalwaveSet set);

// Band edges (upper limit of each band, in coefficients of one block) of the kind; empty for the sets without them.
struct BandEdges {
    const uint16_t* edges = nullptr;
    int count = 0;
};
BandEdges BandEdgesOf(TonalwaveSet set, TonalwaveKind kind);
bool HasBandEdges(TonalwaveSet set);

} // namespace sound
