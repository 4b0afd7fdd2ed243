#pragma once
// SWmeshrendererScalar (kind 0): draws one mesh under its node transform for one frame. Per draw group it culls
// the triangles that face away from the eye, shades the vertices the rest use, and then either hands the indexed
// list to the target (an opaque group of a mesh wholly inside the view) or queues one primitive per triangle,
// through the clipper when the mesh crosses the view.
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/matrix.h"
#include "engine/resources/mesh.h"
#include "render/mesh/draw_groups.h"
#include "render/mesh/vertex_shading.h"

class SWindexbuffer;
class SWrenderbatch;
struct SWdirectdrawrecord;
class SWvertexbuffer;
struct SWprimitivenode;

// Where the vertex stage finds a material's composited ramps and constants: the material's own compositing
// output unless a test installs another source; null puts the material's own back.
using SWshadedatasource = bool (*)(const SWmaterial& material, SWshadedata& out);
void SetShadeDataSource(SWshadedatasource source);
bool ShadeDataOfMaterial(const SWmaterial& material, SWshadedata& out); // false while the material is not built

// The order in which a triangle record's corners are handed to the target. A face is in front when it turns
// counter-clockwise about its normal (the mesh's normals are right-handed cross products of its edges), while the
// rasteriser, like the Direct3D 8 device, fills only triangles that are clockwise on the screen. The camera keeps
// the world's handedness on screen, so the corners go over as (0, 2, 1): the kept faces arrive clockwise, and the
// draw groups, tangent frames and normals keep the mesh's own order.
inline constexpr int kHandOverCorners[3] = {0, 2, 1};

struct SWmeshrenderstats {
    uint32_t triangles = 0;     // of the groups looked at
    uint32_t visible = 0;       // kept by culling
    uint32_t queued = 0;        // primitives put in a batch
    uint32_t indexed = 0;       // triangles handed over in direct-draw records
    uint32_t clipped = 0;       // queued triangles that crossed the view and went to the clipper
    uint32_t clippedAway = 0;   // of those, the ones with nothing left inside
    uint32_t undrawnGroups = 0; // groups skipped for want of memory or a record
    uint32_t emptyGroups = 0;   // groups with no visible triangle
};

// The frame of every renderer kind: view-volume test, group rebuild, culling, the vertex stage and the hand-over
// to the target. The kinds differ in how they rebuild, cull and shade, which they supply through the hooks below.
class SWmeshrendererCommon : public SWmeshrenderer {
public:
    // True when at least one group had visible triangles.
    bool Render(SWrendertarget& target, SWrenderbatch* opaque, SWrenderbatch* transparent,
                const SWmatrix& view) override;

    const SWmeshrenderstats& Stats() const { return m_stats; }
    void ResetStats() { m_stats = {}; }
    uint32_t BuildCount() const { return m_builds; } // how often the groups were rebuilt

protected:
    virtual void RebuildGroups() { BuildDrawGroups(); }
    // Fills m_indexList, the group's primitive indices and the locked index scratch; the count kept.
    virtual uint32_t CullGroup(SWdrawgroup& group, SWindexbuffer*& outIndices);
    // The vertices the stage writes (room in the output for this many).
    virtual uint32_t ShadedVertexCount(const SWdrawgroup& group) const { return group.VertexCount(); }
    virtual void ShadeGroup(const SWvertexstage& stage, uint32_t* out, uint8_t* outcodes);
    // Leaves the projected stage of a direct group to the record's vertex work, which the target runs on the
    // threads that draw the record; false when this kind has none or memory ran out (the caller shades).
    virtual bool HandOverShading(SWdirectdrawrecord& /*record*/, const SWvertexstage& /*stage*/, uint32_t* /*out*/)
    {
        return false;
    }

    // Shades the group into words (or hands that over) and appends its record, which takes both references.
    bool DrawIndexed(SWdrawgroup& group, SWvertexbuffer* vertices, SWindexbuffer* indices, uint32_t visible,
                     const SWvertexstage& stage, uint32_t* words);
    bool EmitTriangles(SWdrawgroup& group, const uint32_t* screen, const uint8_t* outcodes, uint32_t visible,
                       uint32_t stride, const SWshadedata& shade);

    SWframelighting m_lighting;
    SWrenderbatch* m_opaque = nullptr;
    SWrenderbatch* m_transparent = nullptr;
    bool m_inside = false;
    // The group being culled is queued: culling lists its corners and its primitive indices for the queue. A group
    // handed over as an indexed list needs only its index buffer, and a vector kind leaves the lists empty.
    bool m_listsWanted = true;
    std::vector<uint32_t> m_visibleBits;
    std::vector<uint16_t> m_indexList;
    std::vector<uint8_t> m_outcodes;
    std::vector<SWprimitivenode*> m_run;
    SWmeshrenderstats m_stats;
    uint32_t m_builds = 0;
    // The target and frame of the last direct-draw record appended; compared, never followed.
    const SWrendertarget* m_recordTarget = nullptr;
    uint32_t m_recordFrame = 0;
};

class SWmeshrendererScalar final : public SWmeshrendererCommon {
public:
    static constexpr int kKind = 0;
    int Kind() const override { return kKind; }
};

// The renderer of the kind the processor features ask for (SSE2 active: 2, SSE: 1, else 0); a held one of that
// kind is kept across frames, one of another kind replaced. Null, with held untouched, when the target cannot draw
// (no clipper).
SWmeshrenderer* GetMeshRenderer(SWrendertarget& target, SWheldmeshrenderer& held);
