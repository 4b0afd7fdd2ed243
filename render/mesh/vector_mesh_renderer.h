#pragma once
// Mesh renderer kinds 1 (SWmeshrendererSSE) and 2 (SWmeshrendererSSE2): the frame of kind 0, four vertices or four
// triangles at a time. Each draw group has a packed copy in packs of four: vertex lanes (position and normal) and
// triangle lanes with 16-bit normals and the plane distance scaled alike, so a pack is tested with one dot product.
// The packed plane distance is lowered by 3, which keeps triangles whose true side value is at least -3/32760.
// The packs are the only copy of a group's vertices and triangles these kinds keep: the group's own arrays are
// released once packed, and what else wants them (the Dot3 tangent frames) reads them back from the packs. A group
// whose vertices are the mesh's own positions and normals one for one (a mesh of one material without seams, the
// usual large mesh) has no vertex packs at all: the stage gathers its lanes from the mesh's arrays, which the
// renderer holds until it rebuilds, and likewise its texture coordinates; and where its triangles are the mesh's
// polygons one for one, culling reads their corners from the mesh's 16-bit table rather than from a copy.
//
// The lane arithmetic is written once over a lane type and built twice: with SSE2 intrinsics, and as portable C++
// that rounds alike, which is what other processors run and what the tests hold the intrinsics to.
#include <cstdint>
#include <vector>

#include "render/mesh/aligned_array.h"
#include "render/mesh/mesh_renderer.h"

struct alignas(32) SWvertexpack {
    float x[4], y[4], z[4];
    float nx[4], ny[4], nz[4];
};

struct alignas(8) SWtrianglepack {
    float distance[4];           // d x 32760 - 3
    int16_t nx[4], ny[4], nz[4]; // face normal x 32760, rounded and saturated
};

struct SWpackeddrawgroup {
    SWalignedarray<SWvertexpack> vertices; // empty while the mesh's arrays serve
    SWalignedarray<SWtrianglepack> triangles;
    std::vector<uint16_t> corners;      // three per triangle lane, fillers too; empty while the mesh's own serve
    bool meshCorners = false;           // the triangles are the mesh's polygons one for one, their corners its own
    std::vector<uint32_t> visiblePacks; // one bit per vertex pack, per frame
    SWdrawgroup* group = nullptr;       // not owned
    // The mesh's arrays that stand for the vertex packs (positions and normals, three floats a vertex) and for the
    // group's coordinates (two a vertex); null where the group has its own.
    SWsharedfloats positions;
    SWsharedfloats normals;
    SWsharedfloats coordinates;

    uint32_t VertexPackCount() const { return group != nullptr ? (group->VertexCount() + 3) / 4 : 0; }
};

// A face-normal component as the packs keep it: x 32760 rounded to nearest, saturated to +-32767, NaN as 0.
int16_t PackedNormalComponent(float value);
void PackDrawGroup(SWpackeddrawgroup& packed, SWdrawgroup& group);
void PackTriangles(SWpackeddrawgroup& packed, SWdrawgroup& group);
// Holds view's arrays in place of the group's vertices (and coordinates) where the group's are the same values one
// for one; true when the vertices are held, and then no vertex packs are needed.
bool ShareMeshArrays(SWpackeddrawgroup& packed, SWdrawgroup& group, const SWmeshview& view);

// Lane bit n set when triangle n of the pack faces the eye (its packed side value is not negative); next is the
// pack to fetch ahead, or null.
uint32_t CullMask(const SWtrianglepack& pack, const SWtrianglepack* next, const SWvector& eye, bool portable);
// The vertex stage on the packs whose bit is set in stage.visible (one bit per pack): vertex n of the group at
// position n of out, filler lanes included.
void ShadeVertexPacks(const SWpackeddrawgroup& packed, const SWvertexstage& stage, bool portable, uint32_t* out,
                      uint8_t* outcodes);

class SWmeshrendererSSE : public SWmeshrendererCommon {
public:
    static constexpr int kKind = 1;
    int Kind() const override { return kKind; }

    // Tests run the portable lanes on a processor that has the intrinsics, to compare the two.
    void UsePortableLanes(bool portable) { m_portable = portable; }
    bool PortableLanes() const { return m_portable; }

    virtual uint32_t CullBackFaces(SWpackeddrawgroup& packed, SWindexbuffer*& outIndices);
    virtual void RebuildPackedGroups();

    const SWpackeddrawgroup* PackedGroupOf(const SWdrawgroup& group) const;
    // From the packs once a group has been packed (its own arrays are released then).
    std::span<const float> GroupVertices(const SWdrawgroup& group, std::vector<float>& scratch) const override;
    void GroupCorners(const SWdrawgroup& group, std::vector<uint16_t>& corners) const override;
    std::span<const float> GroupCoordinates(const SWdrawgroup& group) const override;

protected:
    void RebuildGroups() override { RebuildPackedGroups(); }
    uint32_t CullGroup(SWdrawgroup& group, SWindexbuffer*& outIndices) override;
    uint32_t ShadedVertexCount(const SWdrawgroup& group) const override;
    void ShadeGroup(const SWvertexstage& stage, uint32_t* out, uint8_t* outcodes) override;
    bool HandOverShading(SWdirectdrawrecord& record, const SWvertexstage& stage, uint32_t* out) override;

    uint32_t CullPacks(SWpackeddrawgroup& packed, SWindexbuffer*& outIndices);

private:
    SWpackeddrawgroup* Find(const SWdrawgroup& group);
    const uint16_t* MeshCorners(const SWpackeddrawgroup& packed) const; // null when the mesh's table no longer fits

    std::vector<SWpackeddrawgroup> m_packed;
#if defined(__SSE2__)
    bool m_portable = false;
#else
    bool m_portable = true;
#endif
};

// Kind 2 widens the 16-bit normals with SSE2 where kind 1 once took two instruction sets; in this build both use
// the same lanes, so the two give identical results.
class SWmeshrendererSSE2 final : public SWmeshrendererSSE {
public:
    static constexpr int kKind = 2;
    int Kind() const override { return kKind; }
    uint32_t CullBackFaces(SWpackeddrawgroup& packed, SWindexbuffer*& outIndices) override
    {
        return CullPacks(packed, outIndices);
    }
};
