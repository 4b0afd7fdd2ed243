#pragma once
// BandCoder: zero-tree coding of one plane's wavelet bands, level by level, through the arithmetic coder.
//
// Stream of one band: maximum (i16), minimum (i16), limit (u16), one arithmetic run of the band's values, "cod".
// Detail levels k run from 1 (coarsest) to the plane's own level count L'; level 0 is the low-pass band. A zero
// whose finer descendants (down to the last kept level K = L' - dropped) are all zero becomes the root symbol
// limit + 1 and its descendants are left out of the stream; the decoder puts them back as zeros.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/image/band_quantiser.h"
#include "codecs/image/image_plane.h"

class ArithCoder;

namespace cis {

enum class CoderKind : uint8_t {
    kSignedBytes = 1, // adaptive signed bytes (the encoder's choice)
    kRaw = 2,         // raw stream type, not a band coder
    kWords = 3,       // adaptive 16-bit values, stored unscaled
    kStatic = 5,      // signed bytes with a stored static model
    kRefused = 9,     // a raw variant no decoder accepts
};

bool IsBandCoderKind(uint8_t kind); // 1, 3 or 5

// Every band starts with its maximum, minimum and limit, which a decoder must find inside its level's bytes.
constexpr size_t kBandHeaderBytes = 6;

// Bands of one plane in stream level k: the low-pass band at level 0, three detail bands at each kept level.
int BandCountOfLevel(int k, int planeLevels, int droppedLevels);

// Largest band limit a coder kind can carry: byte kinds hold -L..L+1 in a signed byte and the encoder keeps
// -L - 1 = -126 free for the descendant marker; word runs must keep their alphabet under the model's total.
constexpr uint16_t kMaxByteLimitDecoded = 126;
constexpr uint16_t kMaxByteLimitEncoded = 125;
constexpr uint16_t kMaxWordLimit = 8148;

// Where the next band starts after a run that ended at p: the "cod" marker is looked for at p and a few bytes
// around it, within the data only; without a marker the next band starts at p.
size_t PositionAfterMarker(std::span<const uint8_t> data, size_t p);

class BandCoder {
public:
    // The plane is not owned and must outlive the coder; its buffer starts zeroed before decoding, so that a
    // position holds the descendant marker only where a root has put it.
    BandCoder(ImagePlane& plane, int levels, int droppedLevels, CoderKind kind);

    int Levels() const { return m_levels; }
    int KeptLevels() const { return m_levels - m_dropped; }

    // Encoder: after the forward transform, quantise every band (kind 3 keeps the values and takes the band's
    // largest magnitude as its limit) and mark the zero trees. False when a value cannot be carried.
    bool QuantiseAndMark(const PlaneSettings& settings);
    // Appends the bands of level k (none beyond the kept levels). False on a coder failure.
    bool EncodeLevel(std::vector<uint8_t>& out, int k, ArithCoder& coder);

    // Decoder: reads level k's bands from data starting at pos (advanced past them), places the values and
    // inverts the level. False when the data are damaged.
    bool DecodeLevel(std::span<const uint8_t> data, size_t& pos, int k, bool reversible, ArithCoder& coder);

private:
    BandRegion LowPassRegion() const;
    BandRegion DetailRegion(int k, int orientation) const;
    int EntryOf(int k, int orientation) const { return 3 * (m_levels - k) + orientation; }
    int LowPassEntry() const { return 3 * m_levels; }
    uint32_t AlphabetOf(int k, uint16_t limit) const;

    bool HasNonZeroDescendant(int x, int y, int k) const;
    void FillDescendants(int x, int y, int k, int16_t value);
    void MarkZeroTrees();

    bool EncodeBand(std::vector<uint8_t>& out, const BandRegion& band, int entry, uint32_t n, bool skipMarkers,
                    ArithCoder& coder);
    bool DecodeBand(std::span<const uint8_t> data, size_t& pos, const BandRegion& band, int k, ArithCoder& coder);
    bool DecodeValues(std::span<const uint8_t> run, uint32_t n, size_t capacity, ArithCoder& coder, size_t& outBytes);
    bool PlaceValues(const BandRegion& band, int k, const BandHeader& header);

    ImagePlane& m_plane; // not owned
    int m_levels;        // L': the stream's level count less the chroma shift
    int m_dropped;
    CoderKind m_kind;
    int16_t m_marker;
    std::array<BandHeader, kBandEntries> m_headers{}; // encoder: each band's header after quantisation
    std::vector<int32_t> m_scratch;                   // decoded values of one band
    size_t m_scratchCount = 0;
};

} // namespace cis
