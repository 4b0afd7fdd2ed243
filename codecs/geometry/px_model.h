#pragma once
// The objects that cross the geometry codec's boundary: indexed face sets, the model that holds them with one
// parameter block per object, and the reorder maps the encoder returns. Arrays are plain vectors owned by their
// face set; an empty index list means "indexed like coordIndex".
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/geometry/connectivity_codec.h"

namespace px {

struct PXIndexedFaceSet {
    std::vector<float> coord;        // x, y, z per position
    std::vector<int32_t> coordIndex; // polygons, -1 after each (optional after the last)
    std::vector<float> texCoord;     // u, v per entry
    std::vector<int32_t> texCoordIndex;
    std::vector<float> colour; // red, green, blue in 0..1 per entry
    std::vector<int32_t> colourIndex;
    bool colourPerVertex = true; // colours are coded only when set
    std::vector<float> normal;   // x, y, z per entry
    std::vector<int32_t> normalIndex;
    bool normalPerVertex = true;                // normals are coded only when set
    std::array<uint8_t, 3> shapeFlags{1, 1, 1}; // carried unchanged
    float creaseAngle = 0.0f;                   // radians; carried in 8 bits of pi

    uint32_t PositionCount() const { return static_cast<uint32_t>(coord.size() / 3); }
};

// Parameter words of one object; four have a meaning, the others stay 0.
enum PXParamWord : uint32_t {
    kParamPositionBits = 0,
    kParamColourPrecision = 2,
    kParamTexCoordBits = 4,
    kParamNormalBits = 6,
};

struct PXParams {
    std::array<uint32_t, 10> words{10, 0, 8, 0, 8, 0, 6, 0, 0, 0};
};

class PXModel {
public:
    uint32_t Count() const { return static_cast<uint32_t>(m_lists.size()); }
    std::span<const PXIndexedFaceSet> Lists() const { return m_lists; }
    std::span<PXIndexedFaceSet> Lists() { return m_lists; }
    const PXParams& Params(uint32_t object) const { return m_params[object]; }

    int SetLists(std::vector<PXIndexedFaceSet> lists); // every block back to the defaults; 0, or 5 out of memory
    void SetParam(uint32_t word, uint32_t value);      // in every object's block; a word past 9 is ignored
    void SetParamOf(uint32_t object, uint32_t word, uint32_t value);
    std::vector<PXIndexedFaceSet> TakeLists(); // the model is empty afterwards

private:
    std::vector<PXIndexedFaceSet> m_lists;
    std::vector<PXParams> m_params;
};

// The encoder's second output: per object, the vertex, face and corner maps of the decoded order.
struct PXReorderMaps {
    std::vector<ObjectMaps> objects;
    void FreeAll() { objects.clear(); }
};

} // namespace px
