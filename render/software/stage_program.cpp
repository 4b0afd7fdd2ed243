#include "render/software/stage_program.h"

#include <algorithm>

#include "render/format_record.h"

namespace {

constexpr uint8_t kResultRegister = 0;
constexpr uint8_t kFirstTextureRegister = 8;
constexpr uint8_t kFirstColourRegister = 16;
constexpr uint8_t kAlphaProductRegister = 23;
constexpr uint8_t kTextureAlphaFlag = 4;
constexpr uint8_t kAdditiveLayerFlag = 8;

} // namespace

uint32_t BlendModeOf(const SWtexturestages& format)
{
    return ((format.flags & kTextureAlphaFlag) != 0 ? 2u : 0u) + (format.vertexAlpha != 0 ? 1u : 0u);
}

bool SWstageprogram::AddStage(StageKind kind, uint8_t a, uint8_t b, uint8_t c, uint8_t d)
{
    const int row = static_cast<int>(kind);
    if (row >= 16 || m_routes == nullptr || m_routes->route[row][0] == nullptr || m_recordCount == kMostStages)
        return false;
    if (m_kindCounts[row] >= kStageInstances)
        return false;
    Record& record = m_records[m_recordCount++];
    record = Record{};
    record.kind = kind;
    record.registers[0] = a;
    record.registers[1] = b;
    record.registers[2] = c;
    record.registers[3] = d;
    record.isTexture = kind == StageKind::kTexture ? 1 : 0;
    record.instance = m_kindCounts[row]++;
    return true;
}

void SWstageprogram::Build(const SWtexturestages& format)
{
    m_callCount = 0;
    m_setupCount = 0;
    if (m_recordCount == 0)
        return;
    const uint32_t blendMode = BlendModeOf(format);
    const int colours = std::min<int>(format.colourCount, kStageInstances);
    for (int i = 0; i < colours; ++i) {
        Record& gouraud = m_prologue[i];
        gouraud = Record{};
        gouraud.kind = StageKind::kGouraud;
        gouraud.registers[0] = static_cast<uint8_t>(kFirstColourRegister + i);
        gouraud.instance = static_cast<uint32_t>(i);
        BindOperands(gouraud, blendMode == 0);
        AppendCall(gouraud, StageKind::kGouraud, format);
    }
    for (int i = 0; i < m_recordCount; ++i) {
        Record& record = m_records[i];
        StageKind row = record.kind;
        if (record.isTexture != 0) {
            const int layer = record.registers[0] & 7;
            row = static_cast<StageKind>(static_cast<int>(StageKind::kNearest) + (format.layerFlags[layer] & 3));
        }
        BindOperands(record, blendMode == 0);
        AppendCall(record, row, format);
    }
    AppendFinalBlend(format, blendMode);
}

void SWstageprogram::RunSetups(const uint32_t* const vertices[3])
{
    for (int i = 0; i < m_setupCount; ++i)
        m_setups[i].routine(*m_setups[i].stage, vertices);
}

void SWstageprogram::RunSpans(const SWspan* spans)
{
    if (m_callCount == 0)
        return;
    while (spans->pixels != nullptr) {
        const SWspan* next = spans;
        for (int i = 0; i < m_callCount; ++i)
            next = m_calls[i].routine(*m_calls[i].stage, spans);
        spans = next;
        ++m_passes;
    }
}

void SWstageprogram::BindOperands(Record& record, bool isFrameBufferMode) const
{
    for (int slot = 0; slot < 4; ++slot) {
        const uint8_t reg = record.registers[slot];
        SWoperand& operand = record.operands[slot];
        // In blend mode 0 a stage naming register 0 writes the frame's own pixels: nothing blends afterwards.
        operand.isFrameBuffer = reg == kFrameBuffer || (isFrameBufferMode && reg == kResultRegister);
        operand.row = reg < kRegisterCount ? m_routes->registerRows[reg] : m_routes->registerRows[0];
    }
}

void SWstageprogram::AppendCall(Record& record, StageKind row, const SWtexturestages& format)
{
    record.stage = m_routes->route[static_cast<int>(row)][record.instance % kStageInstances];
    if (record.stage == nullptr || m_callCount == kMostCalls)
        return;
    SWspanstage::Binding binding;
    binding.operands = record.operands;
    binding.format = &format;
    std::copy_n(record.registers, 4, binding.registers);
    SWspanstage::SetupRoutine setup = nullptr;
    const SWspanstage::SpanRoutine routine = record.stage->GetRoutines(binding, setup);
    m_calls[m_callCount] = {record.stage, routine};
    m_callKinds[m_callCount++] = row;
    if (setup != nullptr)
        m_setups[m_setupCount++] = {record.stage, setup};
}

void SWstageprogram::AppendFinalBlend(const SWtexturestages& format, uint32_t blendMode)
{
    if (blendMode == 0)
        return;
    const uint8_t vertexAlpha = format.combineMode == 5 ? kFirstColourRegister + 1 : kFirstColourRegister;
    uint8_t firstPlainLayer = 0;
    for (int layer = 0; layer < std::min<int>(format.layerCount, kTextureStageCount); ++layer) {
        if ((format.layerFlags[layer] & kAdditiveLayerFlag) == 0) {
            firstPlainLayer = static_cast<uint8_t>(layer);
            break;
        }
    }
    const uint8_t skipped = format.combineMode == 4 ? 1 : format.combineMode == 5 ? 2 : 0;
    const uint8_t textureAlpha = static_cast<uint8_t>(kFirstTextureRegister + firstPlainLayer + skipped);
    uint8_t alphaSource = blendMode == 2 ? textureAlpha : vertexAlpha;
    if (blendMode == 3) {
        Record& product = m_finals[0];
        product = Record{};
        product.kind = StageKind::kAlphaProduct;
        product.registers[0] = kAlphaProductRegister;
        product.registers[1] = vertexAlpha;
        product.registers[2] = textureAlpha;
        BindOperands(product, false);
        AppendCall(product, StageKind::kAlphaProduct, format);
        alphaSource = kAlphaProductRegister;
    }
    Record& blend = m_finals[1];
    blend = Record{};
    blend.kind = StageKind::kFinalBlend;
    blend.registers[0] = kFrameBuffer;
    blend.registers[1] = alphaSource;
    blend.registers[2] = kFrameBuffer;
    blend.registers[3] = kResultRegister;
    BindOperands(blend, false);
    AppendCall(blend, StageKind::kFinalBlend, format);
}
