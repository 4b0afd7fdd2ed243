#include "engine/core/read_context.h"

#include "engine/core/chunk_stream.h"
#include "engine/core/document_file.h"
#include "engine/core/unique_id.h"

namespace {

bool IsReserved(uint32_t id)
{
    return id == kIdNone || id == kIdUnset;
}

// What a kept read does with an object's own id when first seen: ids from kLowestUnsafeId up are made fresh.
void RaiseKept(uint32_t stored)
{
    if (!IsReserved(stored) && stored < kLowestUnsafeId)
        RaiseUniqueIdPast(stored);
}

std::uint64_t FreeGrowthOf(std::uint64_t storedBytes)
{
    constexpr std::uint64_t kFactor = SWreadlimits::kFreeGrowth;
    return storedBytes > UINT64_MAX / kFactor ? UINT64_MAX : storedBytes * kFactor;
}

} // namespace

bool SWreadcontext::TakeBytes(std::uint64_t bytes)
{
    if (m_bytesTaken > m_limits.maxBytes || bytes > m_limits.maxBytes - m_bytesTaken) {
        SetLimitReached();
        return false;
    }
    m_bytesTaken += bytes;
    return true;
}

void SWreadcontext::SetLimitReached(std::string why)
{
    if (m_limitReached)
        return; // the first refusal is the one to tell
    m_limitReached = true;
    m_limitText = why.empty() ? "it decodes to more than the limit of " + std::to_string(m_limits.maxBytes) +
                                    " bytes beyond what it stores"
                              : std::move(why);
}

bool SWreadcontext::TakeImage(uint64_t width, uint64_t height, uint64_t storedBytes)
{
    // Each side of a stored image is a u32, so the product of two that fit cannot wrap.
    if (width > UINT32_MAX || height > UINT32_MAX || width * height > m_limits.maxPixels) {
        SetLimitReached("an image of " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels, more than the limit of " + std::to_string(m_limits.maxPixels));
        return false;
    }
    // Images made from a few bytes (a generated picture, a stream that does not decode) are charged in full, so
    // that many of them in a small file cannot add up to gigabytes.
    const uint64_t pixels = width * height;
    const uint64_t made = CountedGrowth(storedBytes, pixels > UINT64_MAX / 4 ? UINT64_MAX : pixels * 4);
    if (made <= BytesLeft()) {
        m_bytesTaken += made;
        return true;
    }
    SetLimitReached("an image of " + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels takes the images past the limit of " + std::to_string(m_limits.maxBytes) +
                    " bytes beyond what stores them");
    return false;
}

std::uint64_t SWreadcontext::CountedGrowth(std::uint64_t storedBytes, std::uint64_t decodedBytes)
{
    const std::uint64_t free = FreeGrowthOf(storedBytes);
    return decodedBytes > free ? decodedBytes - free : 0;
}

std::uint64_t SWreadcontext::DecodedBytesAllowed(std::uint64_t storedBytes) const
{
    const std::uint64_t free = FreeGrowthOf(storedBytes);
    const std::uint64_t left = BytesLeft();
    return free > UINT64_MAX - left ? UINT64_MAX : free + left;
}

PayloadStatus SWreadcontext::DecodePayload(const SWdocumentfile& file, const DocumentRecord& record,
                                           std::vector<uint8_t>& out)
{
    const uint64_t stored = record.PayloadBytes();
    const PayloadStatus status = file.ReadPayload(record, out, DecodedBytesAllowed(stored));
    if (status == PayloadStatus::kOverLimit ||
        (status == PayloadStatus::kOk && !TakeBytes(CountedGrowth(stored, out.size())))) {
        SetLimitReached();
        out.clear();
        return PayloadStatus::kOverLimit;
    }
    return status;
}

uint32_t SWreadcontext::TakeObjectId(uint32_t stored)
{
    if (IsReserved(stored))
        return stored;
    const bool seen = !m_objectIds.insert(stored).second;
    if (seen)
        return NextUniqueId(); // references already point at the first object of this id
    if (m_mode == IdMode::kFresh || stored >= kLowestUnsafeId)
        return MapFresh(stored);
    RaiseUniqueIdPast(stored);
    return stored;
}

void SWreadcontext::ReserveObjectId(uint32_t stored)
{
    if (m_mode == IdMode::kKeep)
        RaiseKept(stored);
}

uint32_t SWreadcontext::TakeReferencedId(uint32_t stored)
{
    if (IsReserved(stored))
        return stored;
    if (m_mode == IdMode::kFresh || stored >= kLowestUnsafeId)
        return MapFresh(stored);
    return stored;
}

uint32_t SWreadcontext::MapFresh(uint32_t stored)
{
    const auto found = m_map.find(stored);
    if (found != m_map.end())
        return found->second;
    const uint32_t fresh = NextUniqueId();
    m_map.emplace(stored, fresh);
    return fresh;
}

uint32_t ReadObjectId(SWchunkstream& in)
{
    uint32_t stored = 0;
    if (!in.ReadU32(stored))
        return 0;
    if (SWreadcontext* context = in.ReadContext())
        return context->TakeObjectId(stored);
    if (IsReserved(stored))
        return stored;
    if (stored >= kLowestUnsafeId)
        return NextUniqueId();
    RaiseUniqueIdPast(stored);
    return stored;
}

uint32_t ReadReferencedId(SWchunkstream& in)
{
    uint32_t stored = 0;
    if (!in.ReadU32(stored))
        return 0;
    if (SWreadcontext* context = in.ReadContext())
        return context->TakeReferencedId(stored);
    return stored;
}

void ReserveObjectId(SWchunkstream& in)
{
    uint32_t stored = 0;
    if (!in.ReadU32(stored))
        return;
    if (SWreadcontext* context = in.ReadContext())
        context->ReserveObjectId(stored);
    else
        RaiseKept(stored);
}
