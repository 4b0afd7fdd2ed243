#include "codecs/geometry/px_stream.h"

#include "codecs/geometry/px_result.h"
#include "codecs/geometry/stream_header.h"

namespace px {

int PXStream::Attach(std::vector<uint8_t> bytes)
{
    const int kind = StreamKindOf(bytes);
    if (!ReadStreamHeader(bytes)) {
        m_bytes.clear();
        m_kind = 0;
        return PX_ERR;
    }
    m_bytes = std::move(bytes);
    m_kind = static_cast<uint32_t>(kind);
    return PX_OK;
}

std::vector<uint8_t> PXStream::TakeBytes()
{
    std::vector<uint8_t> bytes = std::move(m_bytes);
    m_bytes.clear();
    m_kind = 0;
    return bytes;
}

void PXStreamSet::SetSlot(uint32_t slot, PXStream stream)
{
    if (slot < kSlotCount)
        m_slots[slot] = std::move(stream);
}

void PXStreamSet::ClearSlot(uint32_t slot)
{
    if (slot < kSlotCount)
        m_slots[slot].reset();
}

const PXStream* PXStreamSet::GetSlot(uint32_t slot) const
{
    return slot < kSlotCount && m_slots[slot] ? &*m_slots[slot] : nullptr;
}

std::optional<std::span<const uint8_t>> PXStreamSet::SlotBytes(uint32_t slot) const
{
    const PXStream* stream = GetSlot(slot);
    if (!stream || stream->GetLength() == 0)
        return std::nullopt; // a failed Attach leaves an empty stream: the same as no stream
    return stream->Bytes();
}

void PXStreamSet::Clear()
{
    for (std::optional<PXStream>& slot : m_slots)
        slot.reset();
}

} // namespace px
