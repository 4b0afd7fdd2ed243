#include "codecs/sound/Tonalwave/tonalwave_codebooks.h"

#include "codecs/sound/Tonalwave/tonalwave_support.h"

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

std::span<const int16_t> TablesToOpen(TonalwaveSet set, std::span<const int16_t> given)
{
    if (!HasBandEdges(set))
        return {};
    const std::span<const int16_t> tables = given.empty() ? StoredTablesOf(set) : given;
    return tables.size() == ShapeOf(set).total ? tables : std::span<const int16_t>();
}

TonalwaveCodebooks ConvertCodebooks(TonalwaveSet set, std::span<const int16_t> tables)
{
    const TonalwaveParameterSet& p = ParametersOf(set);
    const TonalwaveTableShape shape = ShapeOf(set);
    TonalwaveCodebooks books;
    for (size_t k = 0; k < kTonalwaveKinds; ++k) {
        for (size_t half = 0; half < 2; ++half) {
            books.main[k][half].resize(shape.mainSize[k]);
            ConvertCodebook(tables.subspan(shape.mainOffset[k] + half * shape.mainSize[k], shape.mainSize[k]), false,
                            books.main[k][half]);
        }
        books.band[k].resize(shape.bandSize[k]);
        ConvertCodebook(tables.subspan(shape.bandOffset[k], shape.bandSize[k]), true, books.band[k]);
        books.bandEdges[k] = BandEdgesOf(set, static_cast<TonalwaveKind>(k));
    }
    books.bandRowLength = {books.bandEdges[0].count / p.bandIndicesLong, books.bandEdges[1].count / p.bandIndicesMedium,
                           books.bandEdges[2].count / p.bandIndicesShort};
    books.periodic.resize(shape.periodicSize);
    ConvertCodebook(tables.subspan(shape.periodicOffset, shape.periodicSize), true, books.periodic);

    const auto order = static_cast<size_t>(shape.lspOrder);
    auto copyRows = [&](size_t from, int rows, std::vector<float>& out) {
        out.assign(static_cast<size_t>(rows) * kTonalwaveLspStride, 0.0f);
        for (int row = 0; row < rows; ++row)
            ConvertCodebook(tables.subspan(from + static_cast<size_t>(row) * order, order), true,
                            std::span<float>(out).subspan(static_cast<size_t>(row) * kTonalwaveLspStride, order));
    };
    copyRows(shape.lspOffset, shape.lspStage1Rows, books.lspStage1);
    copyRows(shape.lspOffset + static_cast<size_t>(shape.lspStage1Rows) * order, shape.lspStage2Rows, books.lspStage2);
    copyRows(shape.lspOffset + static_cast<size_t>(shape.lspStage1Rows + shape.lspStage2Rows) * order, 2,
             books.lspPredictor);
    books.splitBounds = SplitBoundaries(p.lspSplits, p.lspOrder);
    return books;
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
