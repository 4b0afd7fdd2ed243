#pragma once
// The 8-byte header that opens every geometry-codec stream: "PXBin", version 13, kind, sub-kind 0.
#include <cstdint>
#include <optional>
#include <span>

namespace px {

class PXMemStream;

// Stream kinds; each has one slot of the stream set (slot = kind - 1).
enum class StreamKind : uint8_t {
    kPositions = 1,
    kTopology = 2,
    kColours = 3,
    kColourIndex = 4,
    kTexCoords = 5,
    kTexCoordIndex = 6,
    kNormals = 7,
    kNormalIndex = 8,
    kShape = 9,
};

constexpr uint32_t SlotOf(StreamKind kind)
{
    return static_cast<uint32_t>(kind) - 1;
} // its stream-set slot

constexpr uint32_t kStreamHeaderBytes = 8;
constexpr uint8_t kStreamVersion = 13;

struct StreamHeader {
    uint8_t version = 0;
    uint8_t kind = 0;
    uint8_t subKind = 0;
};

void WriteStreamHeader(PXMemStream& stream, uint8_t kind, uint8_t subKind);
// The header of stored bytes; none when fewer than 8 bytes or the magic differs. The version is not judged here.
std::optional<StreamHeader> ReadStreamHeader(std::span<const uint8_t> bytes);
// The kind byte of a stored stream, or 4 (PX_ERR) when its header is not valid.
int StreamKindOf(std::span<const uint8_t> bytes);

} // namespace px
