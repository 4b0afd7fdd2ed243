#pragma once
// The normal stream (kind 7): each normal becomes the index of the nearest point of a codebook of unit
// directions laid out in rows of polar angle around the normal predicted from the quantised positions, so a good
// prediction gives small indices. Visited per vertex in traversal order or per wedge in order of first use.
//
// Layout after the header: G (16); per object n (32) and, when n > 0, the codebook width b (5); then all indices
// of all objects as delta items (integer data, percent 98).
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/geometry/position_coder.h"
#include "codecs/geometry/wedge_coder.h"

namespace px {

constexpr uint32_t kMaxNormalBits = 12;

// The codebook of width b: rows r = 0 .. 2^b / 2 with polar angle r / (rows - 1) * pi and
// max(1, trunc(sin(angle) * 2^b)) points each, azimuths evenly from -pi.
class NormalCodebook {
public:
    explicit NormalCodebook(uint32_t bits);
    uint32_t Size() const { return m_size; }
    uint32_t IndexOf(float polar, float azimuth) const; // nearest row, then nearest point of that row
    std::array<float, 3> Point(uint32_t index) const;   // the unit direction of an index below Size()

private:
    uint32_t m_rows;
    std::vector<uint32_t> m_start; // first index of each row, and the total at the end
    uint32_t m_size = 0;
};

struct NormalInput {
    const MeshGraph* graph = nullptr;              // not owned
    const WedgeLayout* layout = nullptr;           // per wedge when set (not owned)
    const QuantisedPositions* quantised = nullptr; // per input vertex (not owned)
    std::span<const float> normals;                // x, y, z per attribute index; empty: the object has none
};

int EncodeNormals(std::span<const NormalInput> objects, uint32_t bits, std::vector<uint8_t>& outStream);

struct NormalTarget {
    const MeshGraph* graph = nullptr;
    const WedgeLayout* layout = nullptr;
    const QuantisedPositions* quantised = nullptr; // per decoded vertex
    uint32_t count = 0;
};

// 0; PX_ERR; or PX_EMPTYBITSTREAM when the stream's object count differs (the normals are then dropped).
int DecodeNormals(std::span<const uint8_t> stream, std::span<const NormalTarget> objects,
                  std::vector<std::vector<float>>& outNormals);

} // namespace px
