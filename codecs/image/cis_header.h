#pragma once
// The "CIS3.0" stream header (all fields little-endian):
//   0  8  "CIS3.0\n\0"             16 2  width                   24 1  coder kind (1, 3, 5; 2 raw; 9 refused)
//   8  2  header length H          18 2  height                  25 1  transform (1, 2, 100 palette)
//   10 4  coded data length D      20 1  bits per pixel, or      26 3  1, 1, 1
//   14 2  0                              palette count (0 = 256) 29 1  level count L (palette: pyramid depth)
//                                  21 1  colour flag             30    4 x (L + 1) level sizes
//                                  22 2  0, 0                    then  per plane: dropped levels, chroma shift
//                                                                then  7 reserved bytes
// A raw stream stops after byte 24; its header is 60 bytes and bytes 25..59 are written as 0 and never read.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace cis {

constexpr size_t kIdentifierBytes = 8;
constexpr size_t kLengthFieldsBytes = 10; // enough to learn H
constexpr size_t kRawHeaderBytes = 60;
constexpr size_t kMinRawHeaderBytes = 25;
constexpr uint64_t kMaxPixels = uint64_t{1} << 28;        // the format's ceiling: encoders never write more
constexpr uint64_t kDefaultMaxPixels = uint64_t{1} << 26; // decoders' default: 64 M pixels
constexpr int kMaxPaletteDepth = 16;

enum class TransformType : uint8_t {
    kWavelet = 1,
    kReversible = 2,
    kPalette = 100,
};

struct CisHeader {
    uint16_t headerBytes = 0; // H: the coded data start here
    uint32_t dataBytes = 0;   // D
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t bitsOrColours = 0;             // byte 20
    uint8_t colourFlag = 0;                // byte 21: 1 three planes (colour), 0 one plane (grey)
    uint8_t coderKind = 0;                 // byte 24
    uint8_t transform = 0;                 // byte 25 (0 in raw streams)
    uint8_t levels = 0;                    // byte 29
    std::array<uint32_t, 32> levelBytes{}; // levels + 1 used
    std::array<uint8_t, 3> droppedLevels{};
    std::array<uint8_t, 3> chromaShift{};

    int PlaneCount() const { return colourFlag != 0 ? 3 : 1; }
    bool IsRaw() const { return coderKind == 2; }
    bool IsPalette() const { return !IsRaw() && transform == static_cast<uint8_t>(TransformType::kPalette); }
    bool IsReversible() const { return !IsRaw() && transform == static_cast<uint8_t>(TransformType::kReversible); }
    // Drawn level by level while it arrives: the lossy wavelet type only.
    bool IsProgressive() const { return !IsRaw() && transform == static_cast<uint8_t>(TransformType::kWavelet); }
    int PaletteCount() const { return bitsOrColours == 0 ? 256 : bitsOrColours; }
    uint64_t StreamBytes() const { return uint64_t{headerBytes} + dataBytes; }
    uint64_t LevelOffset(int k) const; // from the start of the coded data
};

size_t HeaderBytesFor(int levels, int planes); // 30 + 4 (L + 1) + 2 planes + 7

// What a decoder may be made to allocate. A picture of more pixels is refused before anything is allocated for it;
// the decoders reserve about 10 to 12 bytes per pixel, so the default lets a stream of a few hundred bytes take
// several hundred megabytes (a blank picture is that small legitimately). Values above kMaxPixels act as kMaxPixels.
struct DecodeLimits {
    uint64_t maxPixels = kDefaultMaxPixels;
};

// Why a decoder gave up; every failure leaves the outputs empty.
enum class DecodeStatus {
    kOk = 0,
    kDamaged = 1,        // not a stream of a supported type, or damaged or cut
    kTooLarge = 2,       // a sound header whose width x height exceeds DecodeLimits::maxPixels
    kOutOfMemory = 3,    // an allocation within the limit failed
    kOutputTooSmall = 4, // the caller's output cannot hold the picture (caller's fault)
};

enum class HeaderStatus {
    kOk = 0,
    kNeedMore = 1, // fewer bytes than the header length have arrived
    kDamaged = 2,  // identifier, a field or a length that no decoder accepts
    kTooLarge = 3, // every check passed, but the picture has more pixels than the caller allows
};

// Reads and checks the header from the first bytes of a stream whose full length (H + D) may be at most
// `streamCapacity`. Every size a decoder later relies on is checked here, against the stream's length and the
// stated data length, so that a decoder allocates only for a header that the data could fill. On kTooLarge, out
// keeps the stated width and height (for the caller's message) and nothing else; on other failures out is empty.
HeaderStatus ParseHeader(std::span<const uint8_t> received, size_t streamCapacity, CisHeader& out,
                         uint64_t maxPixels = kDefaultMaxPixels);

// The header bytes of the fields; raw streams get 60 bytes, others HeaderBytesFor(levels, planes).
std::vector<uint8_t> WriteHeader(const CisHeader& header);

} // namespace cis
