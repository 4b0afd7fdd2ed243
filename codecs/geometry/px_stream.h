#pragma once
// PXStream: one compressed stream and the kind its header names; PXStreamSet: the ten slots of one model.
// Slot i holds the stream of kind i + 1; slot 9 is never used.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace px {

class PXStream {
public:
    // Takes the bytes when their 8-byte header is valid (0); otherwise leaves the stream empty and returns 4.
    int Attach(std::vector<uint8_t> bytes);

    uint32_t GetKind() const { return m_kind; }
    uint32_t GetLength() const { return static_cast<uint32_t>(m_bytes.size()); }
    std::span<const uint8_t> Bytes() const { return m_bytes; }
    std::vector<uint8_t> TakeBytes();

private:
    std::vector<uint8_t> m_bytes;
    uint32_t m_kind = 0;
};

class PXStreamSet {
public:
    static constexpr uint32_t kSlotCount = 10;

    void SetSlot(uint32_t slot, PXStream stream); // a slot past 9 is ignored
    void ClearSlot(uint32_t slot);
    const PXStream* GetSlot(uint32_t slot) const; // null when the slot is empty
    // The bytes of a slot, or none when it is empty or holds a stream of length 0.
    std::optional<std::span<const uint8_t>> SlotBytes(uint32_t slot) const;
    void Clear();

private:
    std::array<std::optional<PXStream>, kSlotCount> m_slots;
};

} // namespace px
