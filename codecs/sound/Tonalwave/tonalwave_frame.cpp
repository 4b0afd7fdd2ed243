#include "codecs/sound/Tonalwave/tonalwave_frame.h"

#include <algorithm>
#include <cassert>

namespace sound {

namespace {

// Every field of a frame of the kind in stored order: visit(member, width). Writer, reader and the width lists
// all walk here, so they cannot disagree. Fields of width 0 are not stored and are skipped.
template <typename Record, typename Visit>
void WalkFields(Record& r, const TonalwaveLayout& layout, TonalwaveKind kind, Visit&& visit)
{
    const TonalwaveParameterSet& p = ParametersOf(layout.config.set);
    const TonalwaveSizes& s = layout.sizes;
    const int k = static_cast<int>(kind);
    const int channels = s.channels;
    auto field = [&visit](auto& member, int width) {
        if (width > 0)
            visit(member, width);
    };
    field(r.windowCode, 4);
    if (layout.HasBandwidthCode(kind))
        field(r.bandwidthCode, 2);
    const TonalwaveVectorSet& vectors = layout.vectors[static_cast<size_t>(k)];
    for (int i = 0; i < vectors.Count(); ++i) {
        const int width = vectors.widths[static_cast<size_t>(i)];
        field(r.vqIndexA[static_cast<size_t>(i)], (width + 1) / 2);
        field(r.vqIndexB[static_cast<size_t>(i)], width / 2);
    }
    const int blocks = s.blockCount[static_cast<size_t>(k)];
    const int bandIndices = kind == TonalwaveKind::kLong     ? p.bandIndicesLong
                            : kind == TonalwaveKind::kMedium ? p.bandIndicesMedium
                                                             : p.bandIndicesShort;
    const int bandBits = kind == TonalwaveKind::kLong     ? p.bandBitsLong
                         : kind == TonalwaveKind::kMedium ? p.bandBitsMedium
                                                          : p.bandBitsShort;
    for (int c = 0; c < channels; ++c)
        for (int b = 0; b < blocks; ++b)
            for (int e = 0; e < bandIndices; ++e)
                field(r.bandScaleIndex[c][b][e], bandBits);
    for (int c = 0; c < channels; ++c)
        for (int b = 0; b < blocks; ++b)
            field(r.bandScalePredFlag[c][b], 1);
    for (int c = 0; c < channels; ++c) {
        field(r.gainIndex[c][0], p.frameGainBits);
        if (kind != TonalwaveKind::kLong)
            for (int b = 0; b < blocks; ++b)
                field(r.gainIndex[c][1 + b], p.blockGainBits);
    }
    for (int c = 0; c < channels; ++c) {
        field(r.envelopeIndex[c][0], p.lspSwitchBits);
        field(r.envelopeIndex[c][1], p.lspStage1Bits);
        for (int split = 0; split < p.lspSplits; ++split)
            field(r.envelopeIndex[c][2 + split], p.lspStage2Bits);
    }
    if (kind == TonalwaveKind::kLong) {
        for (int i = 0; i < layout.periodic.Count(); ++i) {
            const int width = layout.periodic.widths[static_cast<size_t>(i)];
            field(r.periodicVqA[static_cast<size_t>(i)], (width + 1) / 2);
            field(r.periodicVqB[static_cast<size_t>(i)], width / 2);
        }
        for (int c = 0; c < channels; ++c) {
            field(r.periodIndex[c], p.periodBits);
            field(r.periodicGainIndex[c], p.periodicGainBits);
        }
    }
    int32_t pad = 0; // written as zeros, read and dropped
    for (const uint8_t width : layout.config.padWidths) {
        field(pad, width);
        pad = 0;
    }
}

TonalwaveKind KindOfListHead(uint16_t windowCode)
{
    if (windowCode == 2)
        return TonalwaveKind::kShort;
    if (windowCode == 4 || windowCode == 7 || windowCode == 8)
        return TonalwaveKind::kMedium;
    return TonalwaveKind::kLong;
}

} // namespace

void FillFieldWidths(TonalwaveLayout& layout)
{
    for (int k = 0; k < kTonalwaveKinds; ++k) {
        std::vector<uint8_t>& widths = layout.fieldWidths[static_cast<size_t>(k)];
        widths.clear();
        int total = 0;
        TonalwaveFrameRecord probe;
        WalkFields(probe, layout, static_cast<TonalwaveKind>(k), [&](int32_t&, int width) {
            widths.push_back(static_cast<uint8_t>(width));
            total += width;
        });
        assert(widths.size() <= static_cast<size_t>(kMaxFrameFields) && "a field list holds up to 700 fields");
        layout.fieldBits[static_cast<size_t>(k)] = total;
    }
}

void BuildFieldList(const TonalwaveFrameRecord& record, const TonalwaveLayout& layout, TonalwaveFieldList& out)
{
    out.count = 0;
    const TonalwaveKind kind = KindOfListHead(static_cast<uint16_t>(record.windowCode));
    WalkFields(record, layout, kind, [&out](const int32_t& member, int) {
        if (out.count < kMaxFrameFields)
            out.values[static_cast<size_t>(out.count++)] = static_cast<uint16_t>(member);
    });
}

void WriteFieldList(std::span<uint8_t> ring, RingPosition& position, std::span<const uint16_t> list,
                    const TonalwaveLayout& layout)
{
    if (list.empty())
        return;
    const auto kind = static_cast<size_t>(KindOfListHead(list[0]));
    const std::vector<uint8_t>& widths = layout.fieldWidths[kind];
    const size_t count = std::min(widths.size(), list.size());
    for (size_t i = 0; i < count; ++i)
        WriteBits(ring, position, list[i], widths[i]);
}

void ReadFrame(std::span<const uint8_t> ring, RingPosition& position, const TonalwaveLayout& layout,
               TonalwaveFrameRecord& out)
{
    const auto code = static_cast<int32_t>(ReadBits(ring, position, 4));
    out.windowCode = code;
    out.bandwidthCode = 0;
    if (code == kTonalwaveLostWindowCode)
        return;
    if (code > 8)
        out.windowCode = 2; // 9..14 carry nothing of their own: a short frame
    const TonalwaveKind kind = KindOfWindowCode(out.windowCode);
    out.blockKind = static_cast<int32_t>(kind);
    bool first = true;
    WalkFields(out, layout, kind, [&](int32_t& member, int width) {
        if (first) { // the window code, read above
            first = false;
            return;
        }
        member = static_cast<int32_t>(ReadBits(ring, position, width));
    });
    // The stereo 44.1-kHz sets have no bandwidth limit, whatever the field says.
    const TonalwaveSet set = layout.config.set;
    if (layout.config.channels == 2 &&
        (set == TonalwaveSet::k44k32 || set == TonalwaveSet::k44k40 || set == TonalwaveSet::k44k48))
        out.bandwidthCode = 0;
}

} // namespace sound
