#include "codecs/image/cis_header.h"

#include <cstring>

#include "codecs/image/band_coder.h"
#include "codecs/image/image_plane.h"
#include "codecs/image/wavelet_transform.h"
#include "platform/base/endian.h"

namespace cis {
namespace {

constexpr char kIdentifier[kIdentifierBytes] = {'C', 'I', 'S', '3', '.', '0', '\n', '\0'};
constexpr size_t kReservedBytes = 7;
constexpr size_t kLevelSizesOffset = 30;

// The raw types code every pixel in runs of the 257-value alphabet. The coder's model never gives one value more
// than (8201 - 257) / 8201 of its total, so a value costs at least 0.0459 bits and a run takes at most about 175
// values per byte, plus about 1,200 for the bytes its decoder may read past the end (measured: a constant picture
// packs 127 to the byte). A raw stream whose data could not hold its pixels is damaged, however large it claims.
constexpr uint64_t kRawMostPixelsPerByte = 256;
constexpr uint64_t kRawRunSlackBytes = 8;

// Only "CIS", the major '3' and the minor '0' identify the stream; the other identifier bytes are not looked at.
bool HasIdentifier(std::span<const uint8_t> bytes)
{
    return bytes[0] == 'C' && bytes[1] == 'I' && bytes[2] == 'S' && bytes[3] == '3' && bytes[5] == '0';
}

bool HasSaneSize(const CisHeader& header)
{
    return header.width >= 1 && header.height >= 1 && uint64_t{header.width} * header.height <= kMaxPixels;
}

// Every wavelet pass must be at least six values long: the deepest level halves the padded sides L - 1 times.
bool PassesAreLongEnough(const CisHeader& header)
{
    const int levels = header.levels;
    return (PaddedSide(header.width, levels) >> (levels - 1)) >= kMinPassLength &&
           (PaddedSide(header.height, levels) >> (levels - 1)) >= kMinPassLength;
}

bool PlaneFieldsAreSane(const CisHeader& header)
{
    if (header.chromaShift[0] != 0)
        return false;
    for (int p = 0; p < header.PlaneCount(); ++p) {
        const size_t i = static_cast<size_t>(p);
        if (header.chromaShift[i] > 1 || (p > 0 && header.chromaShift[i] != header.chromaShift[1]))
            return false;
        if (header.droppedLevels[i] > header.levels - header.chromaShift[i])
            return false;
    }
    // The reversible colour transform has no subsampled form.
    return !(header.IsReversible() && header.chromaShift[header.PlaneCount() - 1] != 0);
}

bool RawDataCanHoldPixels(const CisHeader& header)
{
    return uint64_t{header.width} * header.height <=
           (uint64_t{header.dataBytes} + kRawRunSlackBytes) * kRawMostPixelsPerByte;
}

// A decoder reads each band's header inside its level's bytes, so a level too short for them is damaged.
bool LevelsCanHoldBandHeaders(const CisHeader& header)
{
    for (int k = 0; k <= header.levels; ++k) {
        uint64_t bands = 0;
        for (int p = 0; p < header.PlaneCount(); ++p) {
            const size_t i = static_cast<size_t>(p);
            bands += static_cast<uint64_t>(
                BandCountOfLevel(k, header.levels - header.chromaShift[i], header.droppedLevels[i]));
        }
        if (header.levelBytes[static_cast<size_t>(k)] < bands * kBandHeaderBytes)
            return false;
    }
    return true;
}

// A palette stream's data open with the palette and hold a count for each of the pyramid's chunks.
bool PaletteDataCanHoldChunks(const CisHeader& header)
{
    return header.dataBytes >= 3 * uint64_t(header.PaletteCount()) + 4 * (uint64_t{header.levels} + 1);
}

HeaderStatus ParseRawHeader(CisHeader& out, size_t streamCapacity)
{
    if (out.headerBytes < kMinRawHeaderBytes || out.StreamBytes() > streamCapacity || !HasSaneSize(out))
        return HeaderStatus::kDamaged;
    if (!RawDataCanHoldPixels(out))
        return HeaderStatus::kDamaged;
    if (out.colourFlag > 1 || (out.colourFlag == 1 && out.bitsOrColours != 24 && out.bitsOrColours != 8))
        return HeaderStatus::kDamaged;
    return HeaderStatus::kOk;
}

HeaderStatus ParseCodedHeader(std::span<const uint8_t> bytes, CisHeader& out, size_t streamCapacity)
{
    if (out.headerBytes < kLevelSizesOffset)
        return HeaderStatus::kDamaged;
    out.transform = bytes[25];
    out.levels = bytes[29];
    const bool palette = out.IsPalette();
    if (out.transform != 1 && out.transform != 2 && !palette)
        return HeaderStatus::kDamaged;
    if (bytes[26] != 1 || bytes[27] != 1 || out.colourFlag > 1 || !IsBandCoderKind(out.coderKind))
        return HeaderStatus::kDamaged;
    if (palette ? out.levels > kMaxPaletteDepth : (out.levels < 1 || out.levels > kMaxLevels))
        return HeaderStatus::kDamaged;
    const size_t planesOffset = kLevelSizesOffset + 4 * (size_t{out.levels} + 1);
    const size_t needed = planesOffset + 2 * static_cast<size_t>(out.PlaneCount());
    if (out.headerBytes < needed || out.StreamBytes() > streamCapacity || !HasSaneSize(out))
        return HeaderStatus::kDamaged;
    uint64_t sizes = 0;
    for (int k = 0; k <= out.levels; ++k) {
        const uint32_t size = pf::loadU32le(&bytes[kLevelSizesOffset + 4 * static_cast<size_t>(k)]);
        out.levelBytes[static_cast<size_t>(k)] = size;
        sizes += size;
    }
    for (int p = 0; p < out.PlaneCount(); ++p) {
        out.droppedLevels[static_cast<size_t>(p)] = bytes[planesOffset + 2 * static_cast<size_t>(p)];
        out.chromaShift[static_cast<size_t>(p)] = bytes[planesOffset + 2 * static_cast<size_t>(p) + 1];
    }
    if (sizes > out.dataBytes)
        return HeaderStatus::kDamaged;
    if (!palette && (!PassesAreLongEnough(out) || !PlaneFieldsAreSane(out) || !LevelsCanHoldBandHeaders(out)))
        return HeaderStatus::kDamaged;
    if (palette && !PaletteDataCanHoldChunks(out))
        return HeaderStatus::kDamaged;
    return HeaderStatus::kOk;
}

} // namespace

uint64_t CisHeader::LevelOffset(int k) const
{
    uint64_t offset = 0;
    for (int i = 0; i < k; ++i)
        offset += levelBytes[static_cast<size_t>(i)];
    return offset;
}

size_t HeaderBytesFor(int levels, int planes)
{
    return kLevelSizesOffset + 4 * (static_cast<size_t>(levels) + 1) + 2 * static_cast<size_t>(planes) + kReservedBytes;
}

HeaderStatus ParseHeader(std::span<const uint8_t> received, size_t streamCapacity, CisHeader& out, uint64_t maxPixels)
{
    out = {};
    if (received.size() < kLengthFieldsBytes)
        return HeaderStatus::kNeedMore;
    if (!HasIdentifier(received))
        return HeaderStatus::kDamaged;
    out.headerBytes = pf::loadU16le(&received[8]);
    if (out.headerBytes < kMinRawHeaderBytes || out.headerBytes > streamCapacity)
        return HeaderStatus::kDamaged;
    if (received.size() < out.headerBytes)
        return HeaderStatus::kNeedMore;
    out.dataBytes = pf::loadU32le(&received[10]);
    out.width = pf::loadU16le(&received[16]);
    out.height = pf::loadU16le(&received[18]);
    out.bitsOrColours = received[20];
    out.colourFlag = received[21];
    out.coderKind = received[24];
    const HeaderStatus status =
        out.IsRaw() ? ParseRawHeader(out, streamCapacity) : ParseCodedHeader(received, out, streamCapacity);
    if (status != HeaderStatus::kOk) {
        out = {};
        return status;
    }
    if (uint64_t{out.width} * out.height > maxPixels) {
        const CisHeader claim = out;
        out = {};
        out.width = claim.width;
        out.height = claim.height;
        return HeaderStatus::kTooLarge;
    }
    return HeaderStatus::kOk;
}

std::vector<uint8_t> WriteHeader(const CisHeader& header)
{
    const size_t bytes = header.IsRaw() ? kRawHeaderBytes : HeaderBytesFor(header.levels, header.PlaneCount());
    std::vector<uint8_t> out(bytes, 0);
    std::memcpy(out.data(), kIdentifier, kIdentifierBytes);
    pf::storeU16le(&out[8], static_cast<uint16_t>(bytes));
    pf::storeU32le(&out[10], header.dataBytes);
    pf::storeU16le(&out[16], header.width);
    pf::storeU16le(&out[18], header.height);
    out[20] = header.bitsOrColours;
    out[21] = header.colourFlag;
    out[24] = header.coderKind;
    if (header.IsRaw())
        return out;
    out[25] = header.transform;
    out[26] = out[27] = out[28] = 1;
    out[29] = header.levels;
    for (int k = 0; k <= header.levels; ++k)
        pf::storeU32le(&out[kLevelSizesOffset + 4 * static_cast<size_t>(k)], header.levelBytes[static_cast<size_t>(k)]);
    const size_t planesOffset = kLevelSizesOffset + 4 * (size_t{header.levels} + 1);
    for (int p = 0; p < header.PlaneCount(); ++p) {
        out[planesOffset + 2 * static_cast<size_t>(p)] = header.droppedLevels[static_cast<size_t>(p)];
        out[planesOffset + 2 * static_cast<size_t>(p) + 1] = header.chromaShift[static_cast<size_t>(p)];
    }
    return out;
}

} // namespace cis
