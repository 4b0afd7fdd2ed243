#pragma once
// Draw groups: a mesh's triangles split by material, each group with its own compact vertex array (so u16 indices
// reach every vertex), texture coordinates, triangle records and the format record that says how the material is
// drawn. SWmeshrenderer owns the groups and rebuilds them when the mesh's geometry stamp moves; the renderer kinds
// derive from it and supply Render.
//
// Layout of a screen vertex (one rule for the set-up and the vertex stage): words 0-3 position and depth term, 4
// and 5 the diffuse and specular colours, then one (u, v) pair per coordinate set n at words 6 + 2n. Which pair a
// set carries follows from the operation of the stage that reads it, so nothing is ever written past the stride.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "engine/resources/mesh.h"
#include "render/format_record.h"
#include "render/mesh/tangent_frames.h"

class SWmaterial;
class SWmatrix;
class SWmesh;
class SWrenderbatch;
class SWrendertarget;
struct SWfacekind;

// Combine modes of the format record that a draw group selects.
inline constexpr uint8_t kCombineNone = 0;
inline constexpr uint8_t kCombinePlain = 3;
inline constexpr uint8_t kCombinePhong = 4;
inline constexpr uint8_t kCombineDot3 = 5;

// Stage operations (layer flags) a draw group writes; bit value 1 selects bilinear filtering.
inline constexpr uint8_t kStageTexture = 0;
inline constexpr uint8_t kStageLighting = 3;
inline constexpr uint8_t kStageReflection = 8;
inline constexpr uint8_t kStageBilinear = 1;

// Format record flags.
inline constexpr uint8_t kFormatAlways = 1;
inline constexpr uint8_t kFormatOpaque = 2;
inline constexpr uint8_t kFormatTextureAlpha = 4;

// Draw flags of a group.
inline constexpr uint32_t kDrawMaterialFlag = 1;
inline constexpr uint32_t kDrawReflection = 2;
inline constexpr uint32_t kDrawShaded = 4; // flat or Gouraud
inline constexpr uint32_t kDrawPhong = 8;
inline constexpr uint32_t kDrawContinuous = 16;
inline constexpr uint32_t kDrawTransparent = 32;
inline constexpr uint32_t kDrawMaterialFlagAgain = 128;
inline constexpr uint32_t kDrawLayerShift = 8;

inline constexpr uint32_t kMostGroupCount = 65530; // a group closes once a count passes it

struct SWgrouptriangle {
    float distance = 0.0f; // face normal . first corner
    float normal[3] = {};
    uint16_t corners[3] = {};
};

// Where the vertex stage writes each pair, in words; -1 when the layout has no such pair.
struct SWvertexlayout {
    int highlightWord = -1;  // the lighting texture's coordinates
    int textureWord = -1;    // the diffuse (or Dot3) texture's
    int reflectionWord = -1; // the environment's
};

struct SWdrawgroup {
    SWmaterial* material = nullptr; // not owned
    std::vector<float> vertices;    // position and normal, six floats each
    std::vector<float> coordinates; // u, v per vertex; empty when the mesh has no texture vertices
    // Filled by culling, one per visible triangle; a vector kind leaves it empty for a group it hands over as an
    // indexed list.
    std::vector<int32_t> primitiveIndices;
    std::vector<SWgrouptriangle> triangles;
    std::vector<SWtangentframe> frames; // three per triangle when drawn as Dot3
    uint32_t drawFlags = 0;
    uint32_t coordinateWords = 0;
    uint32_t reflectionOffset = 0;
    uint32_t distinctCount = 0;
    uint32_t frameStamp = 0xFFFFFFFFu; // the geometry stamp the frames were made for
    uint8_t flat = 0;
    bool dot3 = false;
    uint8_t effectiveMode = 0;
    SWvertexlayout layout;
    SWtexturestages stages;
    std::unique_ptr<SWdrawgroup> next;

    // A renderer kind that keeps the vertices and triangles in a form of its own releases these two arrays once it
    // has its copy (a large mesh would otherwise be held twice over); the counts stay.
    uint32_t releasedVertexCount = 0;
    uint32_t releasedTriangleCount = 0;

    uint32_t VertexCount() const
    {
        return vertices.empty() ? releasedVertexCount : static_cast<uint32_t>(vertices.size() / 6);
    }
    uint32_t TriangleCount() const
    {
        return triangles.empty() ? releasedTriangleCount : static_cast<uint32_t>(triangles.size());
    }
    void ReleaseGeometry(); // frees vertices and triangles, keeping their counts
};

// The arrays a build reads. The mesh keeps its indices in range, but the build checks them again because it
// indexes its own arrays with them.
struct SWmeshview {
    std::span<const float> positions;          // three per position
    std::span<const float> normals;            // three per corner key
    std::span<const float> textureVertices;    // two per texture vertex; empty when none
    std::span<const float> faceNormals;        // three per polygon; empty: made from the positions as the mesh does
    SWindexview cornerPositions;               // three per polygon
    SWindexview cornerKeys;                    // three per polygon
    SWindexview cornerTextures;                // three per polygon; empty: every texture index is 0
    std::span<const uint32_t> faceKindIndices; // one per polygon, into faceKinds; empty: every polygon has kind 0
    uint32_t polygonCount = 0;                 // when faceKindIndices is empty
    std::span<const SWfacekind> faceKinds;
    uint32_t cornerKeyCount = 0;
    uint32_t stamp = 0;
    // The mesh's arrays that positions, normals and textureVertices view (null for a view not of a mesh): what a
    // renderer keeps to read them after the build.
    SWsharedfloats heldPositions;
    SWsharedfloats heldNormals;
    SWsharedfloats heldTextureVertices;

    static SWmeshview Of(const SWmesh& mesh);
};

// The material rebuilds the set-up asks for: the material's own compositing (BuildTexture and the two Dot3 map
// builders) unless a test installs others; a null entry leaves a stale material with the textures it holds.
struct SWmaterialbuilds {
    void (*buildTexture)(SWmaterial& material) = nullptr;
    void (*buildDot3NormalMap)(SWmaterial& material) = nullptr;
    void (*buildDot3DiffuseMap)(SWmaterial& material) = nullptr;
};
void SetMaterialBuilds(const SWmaterialbuilds& builds);
void RestoreMaterialBuilds(); // the material's own compositing again
const SWmaterialbuilds& GetMaterialBuilds();

// The one answer to "is this group drawn as Dot3", asked by the set-up and by the drawing.
bool IsDot3InForce(bool hasTextureVertices, const SWmaterial& material, const SWrendertarget* target);

// The transparency as the alpha byte: clamped to [0, 1] with NaN as 0, then scaled and truncated.
uint8_t AlphaOfTransparency(float transparency);

// The pairs a format record places, by the rule above.
SWvertexlayout LayoutOf(const SWtexturestages& stages);

class SWmeshrenderer {
public:
    SWmeshrenderer() = default;
    SWmeshrenderer(const SWmeshrenderer&) = delete;
    SWmeshrenderer& operator=(const SWmeshrenderer&) = delete;
    virtual ~SWmeshrenderer();

    virtual int Kind() const = 0;
    // Draws the mesh for this frame into the target's batches or its direct-draw chain; true when at least one
    // group had visible triangles.
    virtual bool Render(SWrendertarget& target, SWrenderbatch* opaque, SWrenderbatch* transparent,
                        const SWmatrix& view) = 0;

    void SetMesh(SWmesh* mesh) { m_mesh = mesh; } // not owned
    SWmesh* GetMesh() const { return m_mesh; }
    void SetTarget(SWrendertarget* target) { m_target = target; } // not owned
    SWrendertarget* GetTarget() const { return m_target; }

    // Replaces the groups with ones built from the mesh (or the view) and answers UpdateFlatFlags.
    bool BuildDrawGroups();
    bool BuildDrawGroups(const SWmeshview& view);
    void SetupDrawGroup(SWdrawgroup& group, const SWmeshview& view);
    // False when the groups are not of the mesh's stamp or there are none; else true when a flat flag changed.
    bool UpdateFlatFlags();
    // A group's vertices (six floats each) and triangle corners (three each) as built, from wherever this kind
    // keeps them; the vertices may be the group's own array or copied into scratch.
    virtual std::span<const float> GroupVertices(const SWdrawgroup& group, std::vector<float>& scratch) const;
    virtual void GroupCorners(const SWdrawgroup& group, std::vector<uint16_t>& corners) const;
    virtual std::span<const float> GroupCoordinates(const SWdrawgroup& group) const { return group.coordinates; }

    SWdrawgroup* FirstGroup() const { return m_groups.get(); }
    uint32_t GroupCount() const;
    uint32_t GroupStamp() const { return m_stamp; }
    uint32_t SkippedPolygons() const { return m_skippedPolygons; } // by the last build: indices out of range

protected:
    SWmesh* m_mesh = nullptr;
    SWrendertarget* m_target = nullptr;
    std::unique_ptr<SWdrawgroup> m_groups; // the last made first
    uint32_t m_stamp = 0xFFFFFFFFu;
    uint32_t m_frameWord = 0xFFFFFFFFu;
    uint32_t m_skippedPolygons = 0;
};
