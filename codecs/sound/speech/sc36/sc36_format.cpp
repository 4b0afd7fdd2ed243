#include "codecs/sound/speech/sc36/sc36_format.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "codecs/sound/speech/bit_ring.h"

namespace sound {

namespace {

constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;
constexpr float kVoicedSetThreshold = 0.8f;

float WrapToPi(float x)
{
    return x - kTwoPi * std::nearbyint(x / kTwoPi);
}

int VoicingSet(float voicingEnd)
{
    return voicingEnd <= kVoicedSetThreshold ? 0 : 1;
}

// The descriptors of one envelope stage: a rotated stage (0-3) or a plain codebook (4-5).
struct StageTables {
    const Sc36RotatedStage* rotated = nullptr;
    const std::array<Sc36Pair, 32>* plain = nullptr;
    const float* predict = nullptr; // 2 x 2s, null for stage 0
};

StageTables StageOf(int stage, int set, const Sc36Tables& tables)
{
    StageTables out;
    if (stage == 0)
        out.rotated = &tables.stage0[static_cast<size_t>(set)];
    else if (stage < kSc36RotatedStages)
        out.rotated = &tables.stages13[static_cast<size_t>(stage - 1)];
    else
        out.plain = &tables.stages45[static_cast<size_t>(stage - kSc36RotatedStages)];
    if (stage > 0)
        out.predict = tables.predict[static_cast<size_t>(set * 5 + stage - 1)].data();
    return out;
}

Sc36Pair Prediction(const float* matrix, const float* quantised, int stage)
{
    Sc36Pair p{0.0f, 0.0f};
    if (matrix == nullptr)
        return p;
    const int n = 2 * stage;
    for (int i = 0; i < n; ++i) {
        p[0] += matrix[i] * quantised[i];
        p[1] += matrix[n + i] * quantised[i];
    }
    return p;
}

float Distance(const Sc36Pair& a, const Sc36Pair& b)
{
    const float dx = a[0] - b[0];
    const float dy = a[1] - b[1];
    return dx * dx + dy * dy;
}

// The first entry of the nearest ones among the first count.
int NearestPair(const Sc36Pair& target, const Sc36Pair* book, int count)
{
    int best = 0;
    float bestDistance = Distance(target, book[0]);
    for (int i = 1; i < count; ++i) {
        const float d = Distance(target, book[i]);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

bool SelectsB(const Sc36RotatedStage& stage, int stageIndex, int first)
{
    const int count = kSc36ListCounts[static_cast<size_t>(stageIndex)];
    for (int i = 0; i < count; ++i)
        if (stage.list[static_cast<size_t>(i)] == first)
            return true;
    return false;
}

const std::array<Sc36Pair, 32>& SecondBook(const Sc36RotatedStage& stage, int stageIndex, int first)
{
    return SelectsB(stage, stageIndex, first) ? stage.secondB : stage.secondA;
}

// C1[i] + R[i] K[j] / |R[i]|^2.
Sc36Pair RotatedReconstruction(const Sc36RotatedStage& stage, int stageIndex, int first, int second)
{
    const Sc36Pair& c = stage.first[static_cast<size_t>(first)];
    const Sc36Pair& r = stage.rotation[static_cast<size_t>(first)];
    const Sc36Pair& k = SecondBook(stage, stageIndex, first)[static_cast<size_t>(second)];
    const float norm = r[0] * r[0] + r[1] * r[1];
    return {c[0] + (r[0] * k[0] - r[1] * k[1]) / norm, c[1] + (r[0] * k[1] + r[1] * k[0]) / norm};
}

// Two candidates in ascending distance; an entry tying a listed one goes before it.
void TwoNearest(const Sc36Pair& target, const std::array<Sc36Pair, 32>& book, int out[2])
{
    float distance[2] = {INFINITY, INFINITY};
    out[0] = out[1] = 0;
    for (int i = 0; i < 32; ++i) {
        const float d = Distance(target, book[static_cast<size_t>(i)]);
        if (d <= distance[0]) {
            distance[1] = distance[0];
            out[1] = out[0];
            distance[0] = d;
            out[0] = i;
        } else if (d <= distance[1]) {
            distance[1] = d;
            out[1] = i;
        }
    }
}

void SearchRotated(const Sc36RotatedStage& stage, int stageIndex, const Sc36Pair& target, uint8_t outIndices[2],
                   Sc36Pair& outReconstruction)
{
    int candidates[2];
    TwoNearest(target, stage.first, candidates);
    const int secondCount = 1 << kSc36SecondBits[static_cast<size_t>(stageIndex)];
    float bestDistortion = INFINITY;
    for (const int i : candidates) {
        const Sc36Pair& c = stage.first[static_cast<size_t>(i)];
        const Sc36Pair& r = stage.rotation[static_cast<size_t>(i)];
        const Sc36Pair e{target[0] - c[0], target[1] - c[1]};
        const Sc36Pair rotated{r[0] * e[0] + r[1] * e[1], r[0] * e[1] - r[1] * e[0]};
        const int j = NearestPair(rotated, SecondBook(stage, stageIndex, i).data(), secondCount);
        const Sc36Pair t = RotatedReconstruction(stage, stageIndex, i, j);
        const float distortion = Distance(target, t);
        if (distortion < bestDistortion) {
            bestDistortion = distortion;
            outIndices[0] = static_cast<uint8_t>(i);
            outIndices[1] = static_cast<uint8_t>(j);
            outReconstruction = t;
        }
    }
}

// The stage's reconstruction t' from its indices.
Sc36Pair StageValue(const StageTables& st, int stage, const std::array<uint8_t, 2>& index)
{
    if (st.rotated != nullptr) {
        const int second = index[1] < (1 << kSc36SecondBits[static_cast<size_t>(stage)]) ? index[1] : 0;
        return RotatedReconstruction(*st.rotated, stage, index[0] < 32 ? index[0] : 0, second);
    }
    return (*st.plain)[index[0] < 32 ? index[0] : 0];
}

// The step from the mid phase to the end phase: 80 samples at the mean fundamental, radians per harmonic number.
float PhaseStep(float pitchMid, float pitchEnd)
{
    return (512.0f / pitchMid + 512.0f / pitchEnd) * 0.49087387f;
}

int PhaseOrderPosition(int value)
{
    for (int i = 0; i < kSc36PhaseCodes; ++i)
        if (kSc36PhaseCodeOrder[static_cast<size_t>(i)] == value)
            return i;
    return 0;
}

uint8_t QuantisePhase(float residual, float endPhase, const Sc36Tables& tables)
{
    int sign = 0;
    int value = 0;
    if (std::fabs(residual) >= kSc36PhaseThreshold) {
        sign = residual < 0.0f ? 1 : 0;
        value = 16 + NearestPair({std::fabs(residual), endPhase}, tables.phase.data(), kSc36PhasePairs);
    } else {
        int u = static_cast<int>(std::floor((endPhase - 0.1927f) * 5.092958f + 0.5f));
        if (u < 0)
            u += 32;
        u = std::clamp(u, 0, 31);
        sign = u % 2;
        value = u / 2;
    }
    return static_cast<uint8_t>(64 * sign + PhaseOrderPosition(value));
}

// Least significant bit first into a 64-bit word, as PackBits lays fields into the ring.
class FieldWriter {
public:
    void Put(uint32_t value, int bits)
    {
        m_word |= (static_cast<uint64_t>(value) & ((uint64_t{1} << bits) - 1)) << m_bit;
        m_bit += bits;
    }
    std::array<uint8_t, kSc36LayerBytes> Bytes() const
    {
        std::array<uint8_t, kSc36LayerBytes> out{};
        for (int i = 0; i < kSc36LayerBytes; ++i)
            out[static_cast<size_t>(i)] = static_cast<uint8_t>(m_word >> (8 * i));
        return out;
    }

private:
    uint64_t m_word = 0;
    int m_bit = 0;
};

class FieldReader {
public:
    explicit FieldReader(std::span<const uint8_t, kSc36LayerBytes> layer)
    {
        for (int i = 0; i < kSc36LayerBytes; ++i)
            m_word |= static_cast<uint64_t>(layer[static_cast<size_t>(i)]) << (8 * i);
    }
    uint8_t Get(int bits)
    {
        const uint64_t value = (m_word >> m_bit) & ((uint64_t{1} << bits) - 1);
        m_bit += bits;
        return static_cast<uint8_t>(value);
    }

private:
    uint64_t m_word = 0;
    int m_bit = 0;
};

} // namespace

uint8_t Sc36QuantisePitch(float pitch)
{
    const float p = std::clamp(pitch, 8.0f, 160.0f);
    const double index = std::nearbyint((5.075173854827881 - std::log(static_cast<double>(p))) * 85.12109375);
    return static_cast<uint8_t>(std::clamp(index, 0.0, 255.0));
}

float Sc36DequantisePitch(uint8_t index)
{
    return std::exp(5.075174f - static_cast<float>(index) * 0.01174797f);
}

float Sc36MidPitch(float previousPitch, float previousVoicing, float pitch, float voicing)
{
    if (0.8f * previousPitch <= pitch && pitch <= 1.25f * previousPitch)
        return 0.5f * (previousPitch + pitch);
    const bool takeThis = previousVoicing <= voicing;
    const float p = takeThis ? pitch : previousPitch;
    const float v = takeThis ? voicing : previousVoicing;
    if (p >= 30.0f || v * p / 2.0f >= 1.0f)
        return p;
    return pitch > previousPitch ? pitch : previousPitch;
}

void QuantiseEnvelope(const float* c, float voicingEnd, const Sc36Tables& tables, Sc36Indices& indices, float* out)
{
    const int set = VoicingSet(voicingEnd);
    const auto& mean = tables.means[static_cast<size_t>(set)];
    float q[kSc36Coefficients] = {};
    for (int s = 0; s < kSc36Stages; ++s) {
        const StageTables st = StageOf(s, set, tables);
        const Sc36Pair p = Prediction(st.predict, q, s);
        const Sc36Pair target{c[2 * s] - mean[static_cast<size_t>(2 * s)] - p[0],
                              c[2 * s + 1] - mean[static_cast<size_t>(2 * s + 1)] - p[1]};
        auto& index = indices.envelope[static_cast<size_t>(s)];
        Sc36Pair t{};
        if (st.rotated != nullptr) {
            SearchRotated(*st.rotated, s, target, index.data(), t);
        } else {
            index = {static_cast<uint8_t>(NearestPair(target, st.plain->data(), 32)), 0};
            t = (*st.plain)[index[0]];
        }
        q[2 * s] = t[0] + p[0];
        q[2 * s + 1] = t[1] + p[1];
    }
    // The stored values come from the decoder's own reconstruction, so both sides hold the same bits.
    DequantiseEnvelope(indices, voicingEnd, tables, out);
}

void DequantiseEnvelope(const Sc36Indices& indices, float voicingEnd, const Sc36Tables& tables, float* out)
{
    const int set = VoicingSet(voicingEnd);
    const auto& mean = tables.means[static_cast<size_t>(set)];
    float q[kSc36Coefficients] = {};
    for (int s = 0; s < kSc36Stages; ++s) {
        const StageTables st = StageOf(s, set, tables);
        const Sc36Pair p = Prediction(st.predict, q, s);
        const Sc36Pair t = StageValue(st, s, indices.envelope[static_cast<size_t>(s)]);
        q[2 * s] = t[0] + p[0];
        q[2 * s + 1] = t[1] + p[1];
    }
    for (int i = 0; i < kSc36Coefficients; ++i)
        out[i] = q[i] + mean[static_cast<size_t>(i)];
}

Sc36Indices QuantiseBase(Sc36FrameParams& params, const Sc36Previous& previous, const Sc36Tables& tables)
{
    Sc36Indices indices;
    indices.pitch = Sc36QuantisePitch(params.pitchEnd);
    indices.gain = static_cast<uint8_t>(NearestIndex(params.gain, tables.gain.data(), kSc36GainLevels));
    const int level = NearestIndex(params.voicingEnd, kSc36VoicingTable.data(), kSc36VoicingLevels);
    const float toLevel = kSc36VoicingTable[static_cast<size_t>(level)] - params.voicingMid;
    const float toPrevious = previous.voicingEnd - params.voicingMid;
    const int flag = toLevel * toLevel < toPrevious * toPrevious ? 1 : 0;
    indices.voicing = static_cast<uint8_t>(level + 8 * flag);
    const float voicingEnd = kSc36VoicingTable[static_cast<size_t>(level)];
    float envelope[kSc36Coefficients];
    QuantiseEnvelope(params.envelopeRaw.data(), voicingEnd, tables, indices, envelope);
    const std::array<float, kSc36Coefficients> raw = params.envelopeRaw;
    const std::array<float, kSc36Harmonics> phaseMid = params.phaseMid;
    const std::array<float, kSc36Harmonics> phaseEnd = params.phaseEnd;
    DequantiseBase(indices, previous, tables, params);
    params.envelopeRaw = raw;
    params.phaseMid = phaseMid;
    params.phaseEnd = phaseEnd;
    return indices;
}

void QuantiseEnhancement(Sc36FrameParams& params, Sc36Indices& indices, const Sc36Tables& tables)
{
    for (int b = 0; b < 2; ++b) {
        const int at = 8 + 2 * b;
        const Sc36Pair delta{params.envelopeRaw[static_cast<size_t>(at)] - params.envelope[static_cast<size_t>(at)],
                             params.envelopeRaw[static_cast<size_t>(at + 1)] -
                                 params.envelope[static_cast<size_t>(at + 1)]};
        indices.refinement[static_cast<size_t>(b)] =
            static_cast<uint8_t>(NearestPair(delta, tables.refinement[static_cast<size_t>(b)].data(), 8));
    }
    const float step = PhaseStep(params.pitchMid, params.pitchEnd);
    for (int k = 1; k <= kSc36Harmonics; ++k) {
        const size_t i = static_cast<size_t>(k - 1);
        const float residual = WrapToPi(params.phaseEnd[i] - params.phaseMid[i] - static_cast<float>(k) * step);
        indices.phase[i] = QuantisePhase(residual, params.phaseEnd[i], tables);
    }
    DequantiseEnhancement(indices, tables, params);
}

void DequantiseBase(const Sc36Indices& indices, const Sc36Previous& previous, const Sc36Tables& tables,
                    Sc36FrameParams& out)
{
    out = {};
    out.pitchEnd = Sc36DequantisePitch(indices.pitch);
    out.gain = TableValue(tables.gain.data(), kSc36GainLevels, indices.gain);
    out.voicingEnd = TableValue(kSc36VoicingTable.data(), kSc36VoicingLevels, indices.voicing & 7);
    out.voicingMid = (indices.voicing & 8) != 0 ? out.voicingEnd : previous.voicingEnd;
    out.pitchMid = Sc36MidPitch(previous.pitchEnd, previous.voicingEnd, out.pitchEnd, out.voicingEnd);
    DequantiseEnvelope(indices, out.voicingEnd, tables, out.envelope.data());
}

void DequantiseEnhancement(const Sc36Indices& indices, const Sc36Tables& tables, Sc36FrameParams& out)
{
    for (int b = 0; b < 2; ++b) {
        const Sc36Pair& delta =
            tables.refinement[static_cast<size_t>(b)][indices.refinement[static_cast<size_t>(b)] & 7];
        out.envelope[static_cast<size_t>(8 + 2 * b)] += delta[0];
        out.envelope[static_cast<size_t>(9 + 2 * b)] += delta[1];
    }
    const float step = PhaseStep(out.pitchMid, out.pitchEnd);
    for (int k = 1; k <= kSc36Harmonics; ++k) {
        const size_t i = static_cast<size_t>(k - 1);
        const int code = indices.phase[i] & 127;
        const int sign = code / 64;
        const int value = kSc36PhaseCodeOrder[static_cast<size_t>(code % 64)];
        float residual = 0.0f;
        float endPhase = 0.0f;
        if (value >= 16) {
            const Sc36Pair& pair = tables.phase[static_cast<size_t>(value - 16)];
            residual = sign == 1 ? -pair[0] : pair[0];
            endPhase = pair[1];
        } else {
            endPhase = static_cast<float>(sign + 2 * value) * 0.19634955f + 0.1927f;
            if (endPhase >= kTwoPi)
                endPhase -= kTwoPi;
        }
        float midPhase = WrapToPi(endPhase - static_cast<float>(k) * step - residual);
        while (midPhase < 0.0f)
            midPhase += kTwoPi;
        out.phaseEnd[i] = endPhase;
        out.phaseMid[i] = midPhase;
    }
}

std::array<uint8_t, kSc36LayerBytes> PackBaseLayer(const Sc36Indices& indices, bool continues)
{
    FieldWriter w;
    w.Put(indices.pitch, 8);
    w.Put(indices.gain, 6);
    w.Put(indices.voicing, 4);
    for (int s = 0; s < kSc36Stages; ++s) {
        w.Put(indices.envelope[static_cast<size_t>(s)][0], 5);
        if (const int bits = kSc36SecondBits[static_cast<size_t>(s)]; bits > 0)
            w.Put(indices.envelope[static_cast<size_t>(s)][1], bits);
    }
    w.Put(0, 1);
    w.Put(continues ? 1 : 0, 1);
    return w.Bytes();
}

std::array<uint8_t, kSc36LayerBytes> PackEnhancementLayer(const Sc36Indices& indices)
{
    FieldWriter w;
    w.Put(indices.refinement[0], 3);
    w.Put(indices.refinement[1], 3);
    for (const uint8_t code : indices.phase)
        w.Put(code, 7);
    w.Put(0, 2);
    return w.Bytes();
}

void UnpackBaseLayer(std::span<const uint8_t, kSc36LayerBytes> layer, Sc36Indices& out)
{
    FieldReader r(layer);
    out.pitch = r.Get(8);
    out.gain = r.Get(6);
    out.voicing = r.Get(4);
    for (int s = 0; s < kSc36Stages; ++s) {
        out.envelope[static_cast<size_t>(s)][0] = r.Get(5);
        const int bits = kSc36SecondBits[static_cast<size_t>(s)];
        out.envelope[static_cast<size_t>(s)][1] = bits > 0 ? r.Get(bits) : 0;
    }
}

void UnpackEnhancementLayer(std::span<const uint8_t, kSc36LayerBytes> layer, Sc36Indices& out)
{
    FieldReader r(layer);
    out.refinement[0] = r.Get(3);
    out.refinement[1] = r.Get(3);
    for (uint8_t& code : out.phase)
        code = r.Get(7);
}

const LayerSizeTable& DefaultLayerSizes()
{
    static const LayerSizeTable table;
    return table;
}

uint32_t LayerMaskBytes(uint32_t mask, const LayerSizeTable& table)
{
    uint32_t bytes = 0;
    for (size_t i = 0; i < table.sizes.size() && table.sizes[i] != 0; ++i)
        if ((mask >> i) & 1u)
            bytes += table.sizes[i];
    return bytes;
}

uint32_t BytesToLayerMask(int32_t bytes, const LayerSizeTable& table)
{
    uint32_t mask = 0;
    for (size_t i = 0; i < table.sizes.size() && table.sizes[i] != 0; ++i) {
        bytes -= table.sizes[i];
        if (bytes < 0)
            break;
        mask = 2 * mask + 1;
    }
    return mask;
}

bool IsPrefixLayerMask(uint32_t mask, const LayerSizeTable& table)
{
    if (mask == 0)
        return false;
    size_t layers = 0;
    while (layers < table.sizes.size() && table.sizes[layers] != 0)
        ++layers;
    if (layers < 32 && (mask >> layers) != 0)
        return false;
    return (mask & (mask + 1)) == 0;
}

bool IsSingleLayerMask(uint32_t mask)
{
    return mask != 0 && (mask & (mask - 1)) == 0;
}

int32_t ScanFrames(std::span<const uint8_t> ring, uint32_t position, uint32_t end, uint32_t frames,
                   const LayerSizeTable& table)
{
    const uint32_t size = static_cast<uint32_t>(ring.size());
    if (size == 0 || position >= size || end >= size || position == end)
        return -1;
    bool ahead = end > position;
    for (uint32_t f = 0; f < frames; ++f) {
        for (size_t i = 0;; ++i) {
            const uint32_t layer = i < table.sizes.size() ? table.sizes[i] : 0;
            if (layer == 0)
                return -2;
            const uint32_t room = size - position;
            if (room <= layer) {
                // Data ahead of us ends before the ring does: a layer that would wrap is not all there. (A frame
                // that ended exactly at the write position also counts as ahead, so stale bytes are never read.)
                if (ahead)
                    return -1;
                position = layer - room;
                ahead = true;
                if (position >= size)
                    return -1; // a layer longer than the whole ring
            } else {
                position += layer;
            }
            if (ahead && position > end)
                return -1;
            const uint8_t last = ring[position == 0 ? size - 1 : position - 1];
            if ((last & 0x80u) == 0)
                break;
            if (i + 1 >= table.sizes.size() || table.sizes[i + 1] == 0)
                return -2;
            if (position == end)
                return -1;
        }
    }
    return static_cast<int32_t>(position);
}

} // namespace sound
