#include "codecs/sound/Tonalwave/tonalwave_parameters.h"

#include <algorithm>
#include <cmath>

namespace sound {

namespace {

constexpr uint8_t kFrameGainBits = 8;
constexpr uint8_t kBlockGainBits = 5;

// The encoder's own constants of offsets 12 and 48 are its business; the decoder reads neither.
constexpr TonalwaveParameterSet MakeSet(float rate, float bitRate, uint16_t n, uint8_t shortBlocks,
                                        uint8_t mediumBlocks, uint8_t order, std::array<uint8_t, 4> lsp,
                                        std::array<uint8_t, 3> bandIndices, std::array<uint8_t, 3> bandBits,
                                        uint8_t periodBits, uint8_t periodicBits, uint8_t periodicLength,
                                        uint8_t periodicGainBits, std::array<uint16_t, 8> sizes)
{
    return TonalwaveParameterSet{rate,
                                 bitRate,
                                 n,
                                 0.0f,
                                 shortBlocks,
                                 mediumBlocks,
                                 kFrameGainBits,
                                 13000,
                                 kBlockGainBits,
                                 4500.0f,
                                 100.0f,
                                 order,
                                 lsp[0],
                                 lsp[1],
                                 lsp[2],
                                 lsp[3],
                                 bandIndices[0],
                                 bandIndices[1],
                                 bandIndices[2],
                                 bandBits[0],
                                 bandBits[1],
                                 bandBits[2],
                                 periodBits,
                                 0,
                                 periodicBits,
                                 periodicLength,
                                 periodicGainBits,
                                 200,
                                 {16, 16, 16},
                                 sizes};
}

constexpr std::array<TonalwaveParameterSet, kTonalwaveSetCount> kSets = {
    MakeSet(8000, 8000, 512, 8, 2, 12, {1, 5, 3, 3}, {3, 1, 2}, {6, 5, 5}, 8, 28, 20, 6,
            {1088, 1152, 1024, 640, 320, 320, 1280, 504}),
    MakeSet(8000, 6000, 512, 8, 2, 12, {1, 5, 3, 3}, {3, 1, 2}, {6, 5, 5}, 8, 28, 20, 6,
            {1536, 1728, 1408, 640, 320, 320, 1280, 504}),
    MakeSet(11025, 10000, 512, 8, 2, 16, {1, 6, 4, 3}, {3, 1, 2}, {6, 5, 5}, 9, 36, 30, 7,
            {1280, 1344, 1152, 640, 320, 320, 1280, 1312}),
    MakeSet(16000, 16000, 1024, 8, 2, 16, {1, 6, 4, 3}, {3, 1, 2}, {6, 5, 5}, 9, 56, 60, 7,
            {1024, 1024, 960, 640, 320, 320, 1920, 1408}),
    MakeSet(22050, 24000, 1024, 8, 2, 16, {1, 6, 4, 3}, {4, 1, 2}, {6, 6, 6}, 9, 56, 36, 7,
            {960, 960, 896, 512, 640, 640, 1152, 1312}),
    MakeSet(44100, 32000, 2048, 16, 4, 20, {1, 6, 4, 4}, {4, 1, 2}, {6, 6, 6}, 9, 84, 54, 7,
            {1408, 1472, 1344, 640, 640, 640, 1152, 1640}),
    MakeSet(44100, 40000, 2048, 16, 4, 20, {1, 6, 4, 4}, {4, 1, 2}, {6, 6, 6}, 9, 84, 54, 7,
            {1088, 1152, 1088, 640, 640, 640, 1152, 1640}),
    MakeSet(44100, 48000, 2048, 16, 4, 20, {1, 6, 4, 4}, {4, 1, 2}, {6, 6, 6}, 9, 84, 54, 7,
            {896, 960, 896, 640, 640, 640, 1152, 1640}),
};

constexpr const char* kSetNames[kTonalwaveSetCount] = {"8kHz-8kbps",   "8kHz-6kbps",   "11kHz-10kbps", "16kHz-16kbps",
                                                       "22kHz-24kbps", "44kHz-32kbps", "44kHz-40kbps", "44kHz-48kbps"};

struct AcceptedPair {
    uint8_t rateCode;
    uint8_t bitRateCode;
    int sampleRate;
    int bitRateKbps;
    TonalwaveSet set;
    std::array<uint8_t, 2> padMono;
    std::array<uint8_t, 2> padStereo;
};

// The pad field completes some frames to the models' stated bit counts (AC24 1116, ACS48 2232).
constexpr AcceptedPair kAcceptedPairs[] = {
    {0x80, 0x60, 8000, 6, TonalwaveSet::k8k6, {0, 0}, {0, 0}},
    {0x80, 0x80, 8000, 8, TonalwaveSet::k8k8, {0, 0}, {0, 0}},
    {0x11, 0x10, 11025, 10, TonalwaveSet::k11k10, {0, 0}, {0, 0}},
    {0x16, 0x16, 16000, 16, TonalwaveSet::k16k16, {0, 0}, {0, 0}},
    {0x22, 0x24, 22050, 24, TonalwaveSet::k22k24, {2, 0}, {3, 0}},
    {0x22, 0x32, 22050, 24, TonalwaveSet::k22k24, {2, 0}, {3, 0}}, // the same set and rate as 0x22 0x24
    {0x44, 0x32, 44100, 32, TonalwaveSet::k44k32, {2, 0}, {4, 0}},
    {0x44, 0x40, 44100, 40, TonalwaveSet::k44k40, {7, 0}, {8, 5}},
    {0x44, 0x48, 44100, 48, TonalwaveSet::k44k48, {3, 0}, {6, 0}},
};

// Band edges of the sets that have them.
constexpr uint16_t kEdges8Long[] = {7,   15,  22,  30,  38,  46,  54,  62,  70,  79,  88,  98,  108, 119, 130,
                                    142, 154, 168, 183, 199, 217, 236, 257, 281, 308, 338, 373, 413, 459, 512};
constexpr uint16_t kEdges8Short[] = {3, 6, 9, 12, 16, 21, 27, 35, 47, 64};
constexpr uint16_t kEdges8Medium[] = {6,  11, 17, 23,  29,  35,  42,  49,  57,  65,
                                      74, 84, 95, 108, 123, 141, 161, 186, 217, 256};
constexpr uint16_t kEdges11Long[] = {6,   12,  18,  24,  30,  36,  43,  49,  56,  63,  71,  79,  87,  96,  106,
                                     116, 127, 140, 153, 168, 185, 203, 224, 249, 276, 309, 347, 392, 446, 512};
constexpr uint16_t kEdges11Short[] = {2, 5, 7, 10, 13, 17, 23, 31, 43, 64};
constexpr uint16_t kEdges11Medium[] = {4,  9,  13, 18, 23,  28,  34,  39,  46,  53,
                                       61, 70, 80, 92, 107, 124, 146, 174, 209, 256};
constexpr uint16_t kEdges22Long[] = {6,   13,  19,  25,  32,  39,  46,  53,  60,  68,  77,  85,  95,  105, 116, 128,
                                     141, 156, 172, 190, 211, 235, 262, 295, 333, 379, 434, 502, 586, 693, 833, 1024};
constexpr uint16_t kEdges22Short[] = {3, 5, 8, 12, 16, 22, 31, 45, 71, 128};
constexpr uint16_t kEdges22Medium[] = {5,  10, 15,  21,  26,  33,  39,  46,  55,  64,
                                       75, 88, 103, 123, 147, 180, 223, 284, 372, 512};

template <size_t Count> constexpr BandEdges EdgesOf(const uint16_t (&edges)[Count])
{
    return BandEdges{edges, static_cast<int>(Count)};
}

int CeilDiv(int a, int b)
{
    return (a + b - 1) / b;
}

int FrameBudget(const TonalwaveParameterSet& p, int channels)
{
    return static_cast<int>(
        std::floor(static_cast<double>(channels) * p.frameSamples * p.bitRate / p.sampleRate + 0.001));
}

// Band counts of the sets whose edges are not tabled, for the band-scale codebook sizes.
std::array<int, kTonalwaveKinds> BandCountsOf(TonalwaveSet set)
{
    switch (set) {
    case TonalwaveSet::k22k24:
        return {32, 20, 10};
    case TonalwaveSet::k44k32:
    case TonalwaveSet::k44k40:
    case TonalwaveSet::k44k48:
        return {40, 20, 10};
    default:
        return {30, 20, 10};
    }
}

} // namespace

const std::array<TonalwaveParameterSet, kTonalwaveSetCount>& TonalwaveParameterSets()
{
    return kSets;
}

const TonalwaveParameterSet& ParametersOf(TonalwaveSet set)
{
    return kSets[static_cast<size_t>(set)];
}

const char* NameOf(TonalwaveSet set)
{
    return kSetNames[static_cast<size_t>(set)];
}

std::optional<TonalwaveConfiguration> DecodeConfigurationCode(uint32_t code, const char** outReason)
{
    const char* reason = nullptr;
    const uint32_t c = code >> 16;
    const auto rateCode = static_cast<uint8_t>((code >> 8) & 0xFF);
    const auto bitRateCode = static_cast<uint8_t>(code & 0xFF);
    const AcceptedPair* found = nullptr;
    for (const AcceptedPair& pair : kAcceptedPairs) {
        if (pair.rateCode == rateCode && pair.bitRateCode == bitRateCode)
            found = &pair;
    }
    if (c != 1 && c != 3)
        reason = "the channel digit must be 1 (mono) or 3 (stereo)";
    else if (found == nullptr)
        reason = "no parameter set has this sample-rate and bit-rate pair";
    if (outReason != nullptr)
        *outReason = reason;
    if (reason != nullptr)
        return std::nullopt;
    TonalwaveConfiguration config;
    config.code = code;
    config.channels = c == 1 ? 1 : 2;
    config.sampleRate = found->sampleRate;
    config.bitRateKbps = found->bitRateKbps;
    config.set = found->set;
    config.padWidths = config.channels == 1 ? found->padMono : found->padStereo;
    return config;
}

namespace {

// Everything but the row lengths, which need both channel counts.
TonalwaveSizes BudgetOf(TonalwaveSet set, int channels)
{
    const TonalwaveParameterSet& p = ParametersOf(set);
    TonalwaveSizes s;
    s.channels = channels;
    s.frameSamples = p.frameSamples;
    s.mediumLength = p.frameSamples / p.mediumBlocks;
    s.shortLength = p.frameSamples / p.shortBlocks;
    s.frameBits = FrameBudget(p, channels);
    s.headerBits = set == TonalwaveSet::k8k6 ? 4 : 6;
    s.envelopeBits = p.lspSwitchBits + p.lspStage1Bits + p.lspSplits * p.lspStage2Bits;
    const int e = s.envelopeBits;
    const int g = p.frameGainBits;
    s.sideBitsPerChannel[0] =
        e + g + 1 + p.bandIndicesLong * p.bandBitsLong + p.periodBits + p.periodicGainBits + p.periodicBits;
    s.sideBitsPerChannel[1] = e + g + p.mediumBlocks * (1 + p.bandIndicesMedium * p.bandBitsMedium + p.blockGainBits);
    s.sideBitsPerChannel[2] = e + g + p.shortBlocks * (1 + p.bandIndicesShort * p.bandBitsShort + p.blockGainBits);
    s.vectorBits[0] = s.frameBits - channels * s.sideBitsPerChannel[0] - s.headerBits;
    s.vectorBits[1] = s.frameBits - channels * s.sideBitsPerChannel[1] - s.headerBits;
    s.vectorBits[2] = s.frameBits - channels * s.sideBitsPerChannel[2] - 4;
    for (int k = 0; k < kTonalwaveKinds; ++k)
        s.vectorCount[k] = CeilDiv(s.vectorBits[k], 14);
    s.periodicVectorCount = CeilDiv(channels * p.periodicBits, 14);
    s.bandCount = BandCountsOf(set);
    s.blockCount = {1, p.mediumBlocks, p.shortBlocks};
    s.blockLength = {s.frameSamples, s.mediumLength, s.shortLength};
    return s;
}

} // namespace

TonalwaveSizes SizesOf(TonalwaveSet set, int channels, int padBits)
{
    const TonalwaveParameterSet& p = ParametersOf(set);
    TonalwaveSizes s = BudgetOf(set, channels);
    // One codebook serves both channel counts, so its rows are as long as the longer of the two budgets needs.
    {
        const TonalwaveSizes mono = BudgetOf(set, 1);
        const TonalwaveSizes stereo = BudgetOf(set, 2);
        for (int k = 0; k < kTonalwaveKinds; ++k)
            s.rowLength[k] = std::max(CeilDiv(p.frameSamples, mono.vectorCount[k]),
                                      CeilDiv(2 * p.frameSamples, stereo.vectorCount[k]));
        s.periodicRowLength = std::max(CeilDiv(p.periodicLength, mono.periodicVectorCount),
                                       CeilDiv(2 * p.periodicLength, stereo.periodicVectorCount));
    }
    s.padBits = padBits;
    return s;
}

std::array<int, 8> DerivedCodebookSizes(TonalwaveSet set)
{
    const TonalwaveParameterSet& p = ParametersOf(set);
    const TonalwaveSizes s = SizesOf(set, 1);
    const std::array<int, kTonalwaveKinds> bands = BandCountsOf(set);
    const int lspRows = (1 << p.lspStage1Bits) + (1 << p.lspStage2Bits) + 2;
    return {64 * s.rowLength[0],
            64 * s.rowLength[2],
            64 * s.rowLength[1],
            (1 << p.bandBitsLong) * (bands[0] / p.bandIndicesLong),
            (1 << p.bandBitsShort) * (bands[2] / p.bandIndicesShort),
            (1 << p.bandBitsMedium) * (bands[1] / p.bandIndicesMedium),
            128 * s.periodicRowLength,
            lspRows * p.lspOrder};
}

BandEdges BandEdgesOf(TonalwaveSet set, TonalwaveKind kind)
{
    const int k = static_cast<int>(kind);
    switch (set) {
    case TonalwaveSet::k8k8:
    case TonalwaveSet::k8k6:
        return k == 0 ? EdgesOf(kEdges8Long) : k == 1 ? EdgesOf(kEdges8Medium) : EdgesOf(kEdges8Short);
    case TonalwaveSet::k11k10:
        return k == 0 ? EdgesOf(kEdges11Long) : k == 1 ? EdgesOf(kEdges11Medium) : EdgesOf(kEdges11Short);
    case TonalwaveSet::k22k24:
        return k == 0 ? EdgesOf(kEdges22Long) : k == 1 ? EdgesOf(kEdges22Medium) : EdgesOf(kEdges22Short);
    default:
        return {};
    }
}

bool HasBandEdges(TonalwaveSet set)
{
    return BandEdgesOf(set, TonalwaveKind::kLong).count > 0;
}

} // namespace sound
