#pragma once
// What a mesh stores in its scheme record: the plain row "RMES" (kind 4, the default, offered) and the
// geometry-codec row "IMES" (kind 4, offered, not the default).
//
// The payload is 'MRAW' (plain arrays) or 'MCPS' (the geometry codec's streams of slots 0, 1, 4 and 5), then
// 'MMAT' (material names and one name index per triangle) and 'MSMO' (one smoothing mask per triangle), in the
// triangle order of the geometry that precedes them. Any row reads either geometry record.
//
// "RMES" always writes 'MRAW'. "IMES" stores a mesh uncompressed ('MRAW') when its first user setting is 9 or more,
// when the mesh has morph targets or vertex bindings, or its node vertex frames (the codec renumbers vertices, and
// those address them by index),
// and when the codec refuses the geometry (reported with the codec's result name): a published mesh never loses its
// geometry.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/resources/compression_scheme.h"

class SWchunkstream;
class SWmaterial;
class SWmesh;

// Finds the world's material of a stored name; null leaves the polygon without one.
using MeshMaterialLookup = std::function<SWmaterial*(std::string_view name)>;

// The 'MCPS' record of the mesh's triangles at its position and texture-coordinate bits. Answers the codec's
// result (px::PX_OK is 0); nothing is written unless it is 0. outFaceOrder: per stored triangle, the mesh's own.
int WriteMeshCompressed(SWchunkstream& out, const SWmesh& mesh, std::vector<uint32_t>& outFaceOrder);
bool WriteMeshRaw(SWchunkstream& out, const SWmesh& mesh); // the 'MRAW' record
// 'MMAT' and 'MSMO', triangle i of the record being the mesh's faceOrder[i] (empty: the mesh's order).
bool WriteMeshFaces(SWchunkstream& out, const SWmesh& mesh, std::span<const uint32_t> faceOrder);

// A scheme record's payload: 'MRAW' or 'MCPS', 'MMAT', 'MSMO'. False, with the mesh unchanged: damaged, the codec
// failed, no triangle, or a face record not of one entry per triangle.
bool ReadMeshPayload(SWchunkstream& in, SWmesh& mesh, const MeshMaterialLookup& lookup = {});

// While alive, the mesh rows' Read on this thread finds materials through lookup (the world reader's, which has
// read the material list before the geometry). Without one, polygons are read without materials. Scopes nest.
class MeshMaterialLookupScope {
public:
    explicit MeshMaterialLookupScope(MeshMaterialLookup lookup);
    ~MeshMaterialLookupScope();
    MeshMaterialLookupScope(const MeshMaterialLookupScope&) = delete;
    MeshMaterialLookupScope& operator=(const MeshMaterialLookupScope&) = delete;

private:
    MeshMaterialLookup m_lookup;
    const MeshMaterialLookup* m_outer; // the scope this one hides, restored when it ends
};

class SWplainmeshscheme : public SWcompressionscheme {
public:
    SWplainmeshscheme();

    bool Read(SWchunkstream& in, CVTN_Container* object, uint32_t word) const override;   // 'MRAW' or 'MCPS'
    bool Write(SWchunkstream& out, CVTN_Container* object, uint32_t word) const override; // the whole record
    bool Accepts(const CVTN_Container* object) const override;                            // every mesh
};

class SWgeometrycodecscheme : public SWcompressionscheme {
public:
    static constexpr uint32_t kFirstUncompressedSetting = 9;
    // Bit of Write's word: the mesh's node has vertex frames. The mesh does not know its node; the world writer does.
    static constexpr uint32_t kWordNodeHasVertexFrames = 1;

    SWgeometrycodecscheme();

    bool Read(SWchunkstream& in, CVTN_Container* object, uint32_t word) const override;
    bool Write(SWchunkstream& out, CVTN_Container* object, uint32_t word) const override; // the whole record
    bool Accepts(const CVTN_Container* object) const override;                            // every mesh
    std::optional<std::string> Describe(const CVTN_Container* object) const override;     // when stored raw
    // Why a mesh written with word is stored uncompressed, as Write reports it; none when it is compressed.
    std::optional<std::string> DescribeStored(const CVTN_Container* object, uint32_t word) const;

    static bool HasVertexAddressedData(const SWmesh& mesh); // morph targets or vertex bindings
};
