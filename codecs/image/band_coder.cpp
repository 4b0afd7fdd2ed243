#include "codecs/image/band_coder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "codecs/entropy/arith_coder.h"
#include "codecs/image/wavelet_transform.h"
#include "platform/base/endian.h"

namespace cis {
namespace {

constexpr uint8_t kMarker[3] = {'c', 'o', 'd'};
constexpr int16_t kByteMarker = -126;
constexpr int16_t kWordMarker = 16383;

bool IsMarkerAt(std::span<const uint8_t> data, ptrdiff_t at)
{
    return at >= 0 && static_cast<size_t>(at) + 3 <= data.size() &&
           std::memcmp(&data[static_cast<size_t>(at)], kMarker, 3) == 0;
}

void AppendHeader(std::vector<uint8_t>& out, const BandHeader& header)
{
    uint8_t bytes[kBandHeaderBytes];
    pf::storeU16le(bytes, static_cast<uint16_t>(header.maximum));
    pf::storeU16le(bytes + 2, static_cast<uint16_t>(header.minimum));
    pf::storeU16le(bytes + 4, header.limit);
    out.insert(out.end(), bytes, bytes + kBandHeaderBytes);
}

} // namespace

bool IsBandCoderKind(uint8_t kind)
{
    return kind == static_cast<uint8_t>(CoderKind::kSignedBytes) || kind == static_cast<uint8_t>(CoderKind::kWords) ||
           kind == static_cast<uint8_t>(CoderKind::kStatic);
}

int BandCountOfLevel(int k, int planeLevels, int droppedLevels)
{
    if (k == 0)
        return 1;
    return k <= planeLevels - droppedLevels ? 3 : 0;
}

size_t PositionAfterMarker(std::span<const uint8_t> data, size_t p)
{
    const ptrdiff_t at = static_cast<ptrdiff_t>(p);
    static constexpr struct {
        ptrdiff_t markerOffset;
        ptrdiff_t continueOffset;
    } kTries[] = {{0, 3}, {-1, 2}, {-2, 1}, {-3, 0}, {-4, -1}, {1, 4}};
    for (const auto& attempt : kTries) {
        if (IsMarkerAt(data, at + attempt.markerOffset))
            return static_cast<size_t>(at + attempt.continueOffset);
    }
    return p;
}

BandCoder::BandCoder(ImagePlane& plane, int levels, int droppedLevels, CoderKind kind)
    : m_plane(plane), m_levels(levels), m_dropped(droppedLevels), m_kind(kind),
      m_marker(kind == CoderKind::kWords ? kWordMarker : kByteMarker)
{
}

BandRegion BandCoder::LowPassRegion() const
{
    return {0, 0, m_plane.width >> m_levels, m_plane.height >> m_levels};
}

BandRegion BandCoder::DetailRegion(int k, int orientation) const
{
    const int width = m_plane.width >> (m_levels - k + 1);
    const int height = m_plane.height >> (m_levels - k + 1);
    const int x = orientation == 0 ? 0 : width;
    const int y = orientation == 1 ? 0 : height;
    return {x, y, width, height};
}

// The last kept level has no children in the stream, so it needs no root symbol.
uint32_t BandCoder::AlphabetOf(int k, uint16_t limit) const
{
    const bool hasRoots = k >= 1 && k < KeptLevels();
    return 2u * limit + (hasRoots ? 2u : 1u);
}

bool BandCoder::QuantiseAndMark(const PlaneSettings& settings)
{
    const bool words = m_kind == CoderKind::kWords;
    const uint16_t maxLimit = words ? kMaxWordLimit : kMaxByteLimitEncoded;
    auto quantise = [&](const BandRegion& band, int entry) {
        const size_t e = static_cast<size_t>(entry);
        if (!words) {
            const uint16_t limit = std::min(settings.limits[e], maxLimit);
            m_headers[e] = QuantiseBand(m_plane, band, limit, settings.thresholds[e]);
            return true;
        }
        int largest = 0;
        int maximum = -30000;
        int minimum = 30000;
        for (int y = band.y; y < band.y + band.height; ++y) {
            for (int x = band.x; x < band.x + band.width; ++x) {
                const int v = m_plane.At(x, y);
                largest = std::max(largest, std::abs(v));
                maximum = std::max(maximum, v);
                minimum = std::min(minimum, v);
            }
        }
        m_headers[e] = {static_cast<int16_t>(maximum), static_cast<int16_t>(minimum),
                        static_cast<uint16_t>(std::min(largest, int{maxLimit}))};
        return largest <= maxLimit;
    };
    for (int k = m_levels; k >= 1; --k) {
        for (int o = 0; o < 3; ++o) {
            if (!quantise(DetailRegion(k, o), EntryOf(k, o)))
                return false;
        }
    }
    if (!quantise(LowPassRegion(), LowPassEntry()))
        return false;
    MarkZeroTrees();
    return true;
}

bool BandCoder::HasNonZeroDescendant(int x, int y, int k) const
{
    for (int g = 1; k + g <= KeptLevels(); ++g) {
        const int size = 1 << g;
        for (int dy = 0; dy < size; ++dy) {
            const int16_t* row = m_plane.Row((y << g) + dy) + (x << g);
            for (int dx = 0; dx < size; ++dx) {
                if (row[dx] != 0)
                    return true;
            }
        }
    }
    return false;
}

void BandCoder::FillDescendants(int x, int y, int k, int16_t value)
{
    for (int g = 1; k + g <= KeptLevels(); ++g) {
        const int size = 1 << g;
        for (int dy = 0; dy < size; ++dy)
            std::fill_n(m_plane.Row((y << g) + dy) + (x << g), size, value);
    }
}

void BandCoder::MarkZeroTrees()
{
    for (int k = 1; k < KeptLevels(); ++k) {
        for (int o = 0; o < 3; ++o) {
            const BandRegion band = DetailRegion(k, o);
            const int16_t root = static_cast<int16_t>(m_headers[static_cast<size_t>(EntryOf(k, o))].limit + 1);
            for (int y = band.y; y < band.y + band.height; ++y) {
                for (int x = band.x; x < band.x + band.width; ++x) {
                    if (m_plane.At(x, y) != 0 || HasNonZeroDescendant(x, y, k))
                        continue;
                    m_plane.At(x, y) = root;
                    FillDescendants(x, y, k, m_marker);
                }
            }
        }
    }
}

bool BandCoder::EncodeLevel(std::vector<uint8_t>& out, int k, ArithCoder& coder)
{
    if (k > KeptLevels())
        return true;
    if (k == 0) {
        const uint16_t limit = m_headers[static_cast<size_t>(LowPassEntry())].limit;
        return EncodeBand(out, LowPassRegion(), LowPassEntry(), AlphabetOf(0, limit), false, coder);
    }
    for (int o = 0; o < 3; ++o) {
        const int entry = EntryOf(k, o);
        const uint16_t limit = m_headers[static_cast<size_t>(entry)].limit;
        if (!EncodeBand(out, DetailRegion(k, o), entry, AlphabetOf(k, limit), true, coder))
            return false;
    }
    return true;
}

bool BandCoder::EncodeBand(std::vector<uint8_t>& out, const BandRegion& band, int entry, uint32_t n, bool skipMarkers,
                           ArithCoder& coder)
{
    std::vector<int16_t> values;
    values.reserve(static_cast<size_t>(band.width) * static_cast<size_t>(band.height));
    for (int y = band.y; y < band.y + band.height; ++y) {
        const int16_t* row = m_plane.Row(y);
        for (int x = band.x; x < band.x + band.width; ++x) {
            if (!(skipMarkers && row[x] == m_marker))
                values.push_back(row[x]);
        }
    }
    AppendHeader(out, m_headers[static_cast<size_t>(entry)]);
    ArithRun run;
    if (m_kind == CoderKind::kWords) {
        run = coder.EncodeWords(out, values, n);
    } else {
        std::vector<int8_t> bytes(values.size());
        std::transform(values.begin(), values.end(), bytes.begin(), [](int16_t v) { return static_cast<int8_t>(v); });
        run = m_kind == CoderKind::kStatic ? coder.EncodeStatic(out, bytes, n) : coder.EncodeSignedBytes(out, bytes, n);
    }
    out.insert(out.end(), kMarker, kMarker + 3);
    return run.Ok();
}

bool BandCoder::DecodeLevel(std::span<const uint8_t> data, size_t& pos, int k, bool reversible, ArithCoder& coder)
{
    if (k > m_levels)
        return true;
    if (k == 0)
        return DecodeBand(data, pos, LowPassRegion(), 0, coder);
    if (k <= KeptLevels()) {
        for (int o = 0; o < 3; ++o) {
            if (!DecodeBand(data, pos, DetailRegion(k, o), k, coder))
                return false;
        }
    }
    InvertLevel(m_plane, k, m_levels, KeptLevels(), reversible);
    return true;
}

bool BandCoder::DecodeBand(std::span<const uint8_t> data, size_t& pos, const BandRegion& band, int k, ArithCoder& coder)
{
    if (pos > data.size() || data.size() - pos < kBandHeaderBytes)
        return false;
    const BandHeader header{static_cast<int16_t>(pf::loadU16le(&data[pos])),
                            static_cast<int16_t>(pf::loadU16le(&data[pos + 2])), pf::loadU16le(&data[pos + 4])};
    const uint16_t maxLimit = m_kind == CoderKind::kWords ? kMaxWordLimit : kMaxByteLimitDecoded;
    if (header.limit > maxLimit)
        return false;
    const size_t runStart = pos + kBandHeaderBytes;
    const size_t capacity = static_cast<size_t>(band.width) * static_cast<size_t>(band.height);
    size_t runBytes = 0;
    if (!DecodeValues(data.subspan(runStart), AlphabetOf(k, header.limit), capacity, coder, runBytes))
        return false;
    pos = PositionAfterMarker(data, runStart + runBytes);
    return PlaceValues(band, k, header);
}

bool BandCoder::DecodeValues(std::span<const uint8_t> run, uint32_t n, size_t capacity, ArithCoder& coder,
                             size_t& outBytes)
{
    ArithRun result;
    try {
        m_scratch.resize(capacity);
        if (m_kind == CoderKind::kWords) {
            std::vector<int16_t> words(capacity);
            result = coder.DecodeWords(run, words, n);
            std::copy_n(words.begin(), result.values, m_scratch.begin());
        } else {
            std::vector<int8_t> bytes(capacity);
            result = m_kind == CoderKind::kStatic ? coder.DecodeStatic(run, bytes, n)
                                                  : coder.DecodeSignedBytes(run, bytes, n);
            std::copy_n(bytes.begin(), result.values, m_scratch.begin());
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_scratchCount = result.values;
    outBytes = result.bytes;
    return result.Ok();
}

// Every position not already under a coarser root takes the next value; the counts must match exactly, since the
// encoder wrote one value per such position.
bool BandCoder::PlaceValues(const BandRegion& band, int k, const BandHeader& header)
{
    const BandDequantiser dequantiser(header);
    const bool words = m_kind == CoderKind::kWords;
    const int32_t root = int32_t{header.limit} + 1;
    const bool hasRoots = k >= 1 && k < KeptLevels();
    size_t next = 0;
    for (int y = band.y; y < band.y + band.height; ++y) {
        for (int x = band.x; x < band.x + band.width; ++x) {
            int16_t& cell = m_plane.At(x, y);
            if (k >= 1 && cell == m_marker) {
                cell = 0;
                continue;
            }
            if (next == m_scratchCount)
                return false;
            const int32_t q = m_scratch[next++];
            if (hasRoots && q == root) {
                cell = 0;
                FillDescendants(x, y, k, m_marker);
            } else {
                cell = words ? static_cast<int16_t>(q) : dequantiser.Value(q);
            }
        }
    }
    return next == m_scratchCount;
}

} // namespace cis
