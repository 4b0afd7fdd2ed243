#include "codecs/sound/Tonalwave/tonalwave_codebooks.h"

namespace sound {

TonalwaveTableShape ShapeOf(TonalwaveSet set)
{
    const TonalwaveParameterSet& p = ParametersOf(set);
    TonalwaveTableShape shape;
    // The size list names long, short, medium; the shape is indexed by kind: long, medium, short.
    shape.mainSize = {p.codebookSizes[0], p.codebookSizes[2], p.codebookSizes[1]};
    shape.bandSize = {p.codebookSizes[3], p.codebookSizes[5], p.codebookSizes[4]};
    size_t at = 0;
    for (const int kind : {0, 2, 1}) {
        shape.mainOffset[static_cast<size_t>(kind)] = at;
        at += 2 * shape.mainSize[static_cast<size_t>(kind)];
    }
    for (const int kind : {0, 2, 1}) {
        shape.bandOffset[static_cast<size_t>(kind)] = at;
        at += shape.bandSize[static_cast<size_t>(kind)];
    }
    shape.periodicSize = p.codebookSizes[6];
    shape.periodicOffset = at;
    at += shape.periodicSize;
    shape.lspOrder = p.lspOrder;
    shape.lspStage1Rows = 1 << p.lspStage1Bits;
    shape.lspStage2Rows = 1 << p.lspStage2Bits;
    shape.lspOffset = at;
    at += static_cast<size_t>(shape.lspStage1Rows + shape.lspStage2Rows + 2) * static_cast<size_t>(p.lspOrder);
    shape.total = at;
    return shape;
}

std::span<const int16_t> StoredTablesOf(TonalwaveSet set)
{
    switch (set) {
    case TonalwaveSet::k8k8:
        return StoredTables8k8();
    case TonalwaveSet::k8k6:
        return StoredTables8k6();
    case TonalwaveSet::k11k10:
        return StoredTables11k10();
    case TonalwaveSet::k22k24:
        return StoredTables22k24();
    default:
        return {};
    }
}

bool HasStoredTables(TonalwaveSet set)
{
    return !StoredTablesOf(set).empty();
}

} // namespace sound
