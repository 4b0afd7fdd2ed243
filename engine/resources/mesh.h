#pragma once
// SWmesh: a polygon mesh as the renderer draws it. Positions (three f32 each), optional texture vertices (u, v), and
// a polygon table of triangles: per triangle three position indices, three corner keys, three texture-vertex indices
// and its face kind (material, flags and smoothing mask). A corner key stands for one position as seen by polygons
// of one smoothing group (mask 0: by one polygon only); vertex normals are kept per corner key, face normals per
// triangle.
//
// The table is kept as parallel arrays, and what most meshes repeat is kept once: the few distinct face kinds in a
// table of their own (and no kind per polygon where there is only one), and texture indices that equal the
// position indices (a texture vertex per position) not at all. A large mesh so costs about a third less than a record
// per triangle would.
//
// Invariant: every triangle names positions, texture vertices, corner keys and a face kind that exist. The build
// drops the polygons that would break it, and replacing the arrays with shorter ones clears a table they no longer
// fit, so the renderer may index with them unchecked.
//
// The loaded byte is set by Prepare once the arrays are complete; the renderer draws nothing until then. Two bytes
// hold Prepare off: "filling" while a loader writes the arrays, "detached" while the mesh is out of the world.
//
// The positions, texture vertices and normals are shared with whoever draws from them (SharedVertices and the like):
// a packed renderer reads them in place rather than keeping copies, and holds the arrays it drew from until it
// rebuilds. The mesh never writes an array someone else holds: its writable accessors copy it first, and new
// normals are a new array, so what a renderer holds stays as it was made.
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/core/bbox.h"
#include "engine/resources/compression_scheme.h"
#include "engine/resources/geometry.h"

class SWarrayblock;
class SWmaterial;
class SWmeshrenderer;

// The renderer a mesh holds is made and deleted by the renderer's code, which the engine does not include.
struct SWmeshrendererdeleter {
    void operator()(SWmeshrenderer* renderer) const;
};
using SWheldmeshrenderer = std::unique_ptr<SWmeshrenderer, SWmeshrendererdeleter>;

// An array of a mesh as a reader keeps it: it stays as it was while the reader holds it.
using SWsharedfloats = std::shared_ptr<const std::vector<float>>;

// Corner indices as a mesh keeps them, three per polygon: in 16 bits where every index of the array fits (a mesh of
// fewer than 65,536 positions, most of them), else in 32. Read by value.
class SWindexview {
public:
    SWindexview() = default;
    SWindexview(std::span<const uint32_t> wide) : m_wide(wide.data()), m_count(wide.size()) {}
    SWindexview(std::span<const uint16_t> narrow) : m_narrow(narrow.data()), m_count(narrow.size()) {}
    SWindexview(const std::vector<uint32_t>& wide) : SWindexview(std::span<const uint32_t>(wide)) {}

    size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    uint32_t operator[](size_t i) const { return m_narrow != nullptr ? m_narrow[i] : m_wide[i]; }
    const void* data() const { return m_narrow != nullptr ? static_cast<const void*>(m_narrow) : m_wide; }
    const uint16_t* Narrow() const { return m_narrow; } // null when held in 32 bits

private:
    const uint32_t* m_wide = nullptr;
    const uint16_t* m_narrow = nullptr;
    size_t m_count = 0;
};

// What a triangle is drawn and grouped with; a mesh keeps each distinct one once.
struct SWfacekind {
    SWmaterial* material;   // the grouping key of the draw groups; the world's, not owned
    uint32_t flags;         // the polygon flags of its array block
    uint32_t smoothingMask; // of the polygon the triangle came from
};

// A polygon's material and flags, as GetPolygons()[p] gives them.
struct SWpolygonentry {
    SWmaterial* material;
    uint32_t flags;
};

// One triangle's indices together, as GetIndexRecord gives them.
struct SWindexrecord {
    uint32_t position[3];
    uint32_t cornerKey[3];
    uint32_t texture[3]; // 0 when the mesh has no texture vertices
};

class SWmesh;

// GetPolygons()[p]: a polygon's material and flags, by value.
class SWpolygontable {
public:
    explicit SWpolygontable(const SWmesh& mesh) : m_mesh(mesh) {}
    SWpolygonentry operator[](uint32_t polygon) const; // the polygon must exist

private:
    const SWmesh& m_mesh;
};

// Triangles given flat, as a mesh's file stores them, for BuildTriangleIndices, which takes the index arrays over.
struct SWtrianglelist {
    std::vector<uint32_t> positions;           // three position indices per triangle
    std::vector<uint32_t> textures;            // three texture indices per triangle; empty: those of the positions
    std::span<const uint32_t> smoothingMasks;  // one per triangle
    std::span<const uint16_t> materialIndices; // one per triangle, into materials; past its end: no material
    std::span<SWmaterial* const> materials;    // the world's, not owned
};

// What BuildPolygonIndices did with a chain.
struct SWpolygonbuild {
    uint32_t polygons = 0;          // blocks in the chain
    uint32_t triangles = 0;         // entries made
    uint32_t droppedShort = 0;      // blocks of fewer than three corners
    uint32_t droppedOutOfRange = 0; // blocks naming a position or texture vertex that does not exist
    uint32_t Dropped() const { return droppedShort + droppedOutOfRange; }
};

class SWmesh : public SWgeometry, public SWschemechoice {
public:
    // Six-bit view-volume codes, as the vertex outcodes have them.
    static constexpr uint8_t kOutLeft = 1, kOutRight = 2, kOutBelow = 4, kOutAbove = 8, kOutNear = 16, kOutFar = 32;
    static constexpr uint32_t kViewNotOutside = 1; // TestViewVolume: not wholly outside one plane
    static constexpr uint32_t kViewInside = 2;     // TestViewVolume: wholly inside

    SWmesh();

    // -- Arrays
    float* GetVertices(); // writable positions: the mesh's own, copied first while shared
    const float* GetVertices() const { return DataOf(m_vertices); }
    uint32_t GetVertexCount() const { return static_cast<uint32_t>(SizeOf(m_vertices) / 3); }
    // Takes the array (three floats per position; a partial last position is dropped). A polygon table the new
    // count no longer fits is cleared, and the mesh is not loaded until prepared again.
    virtual void SetVertices(std::vector<float>&& positions);
    const float* GetTextureVertices() const { return DataOf(m_textureVertices); }
    uint32_t GetTextureVertexCount() const { return static_cast<uint32_t>(SizeOf(m_textureVertices) / 2); }
    // The arrays themselves, for a reader that keeps them past the next change of the mesh; null when empty.
    SWsharedfloats SharedVertices() const { return m_vertices; }
    SWsharedfloats SharedTextureVertices() const { return m_textureVertices; }
    SWsharedfloats SharedNormals() const { return m_normals; }
    void SetTextureVertices(std::vector<float>&& uv); // two floats each; as SetVertices for the table

    SWpolygontable GetPolygons() const { return SWpolygontable(*this); }
    uint32_t GetPolygonCount() const { return m_polygonCount; }
    SWindexrecord GetIndexRecord(uint32_t polygon) const; // the polygon must exist
    // The table's arrays, three entries per polygon: position indices, corner keys, texture indices (the position
    // indices where those serve; empty where every texture index is 0).
    SWindexview GetCornerPositions() const { return ViewOf(m_cornerPositions, m_cornerPositions16); }
    SWindexview GetCornerKeys() const
    {
        return m_keysArePositions ? GetCornerPositions() : ViewOf(m_cornerKeys, m_cornerKeys16);
    }
    SWindexview GetCornerTextures() const;
    // One per polygon, into GetFaceKinds; empty while every polygon has the first kind (a mesh of one material).
    std::span<const uint32_t> GetFaceKindIndices() const { return m_kindOf; }
    uint32_t GetFaceKindIndex(uint32_t polygon) const { return m_kindOf.empty() ? 0 : m_kindOf[polygon]; }
    std::span<const SWfacekind> GetFaceKinds() const { return m_kinds; }
    uint32_t GetSmoothingMask(uint32_t polygon) const; // 0 for a polygon that does not exist
    // Rebuilds the polygon table from the chain: a polygon of n > 3 corners becomes a fan of n - 2 triangles,
    // shorter ones and those naming what does not exist are dropped and counted. Corner keys follow the
    // smoothing masks. The mesh is not loaded until prepared again.
    SWpolygonbuild BuildPolygonIndices(const SWarrayblock* chain);
    // The same table from triangles given flat, each as a chain block of three corners would give it, without a
    // block per triangle; the list's index arrays become the table's. A list whose arrays disagree in length builds
    // nothing (every triangle dropped as short).
    SWpolygonbuild BuildTriangleIndices(SWtrianglelist&& triangles);
    // A material drops the polygon's kept name (below); ignored for a polygon that does not exist. A change of
    // material adds 1 to the geometry stamp.
    void SetPolygonMaterial(uint32_t polygon, SWmaterial* material);

    // Stored material names that found no material, by polygon: written back as read, bound once one of the name
    // exists. Only polygons without a material have one; a new polygon table starts without any.
    const std::map<uint32_t, std::string>& GetUnresolvedMaterialNames() const { return m_unresolvedMaterials; }
    void SetUnresolvedMaterialName(uint32_t polygon, std::string name); // ignored past the table or with a material

    // -- Normals and bounds
    uint32_t GetCornerKeyCount() const { return m_cornerKeyCount; }
    const float* GetNormals() const { return DataOf(m_normals); } // 3 per corner key
    uint32_t GetGeometryStamp() const { return m_geometryStamp; }
    // A face normal from two edges of the triangle at a, b, c (corners in order), normalised; a face of no area has
    // the zero normal. Made when asked, not kept: a large mesh has as many faces as it has corners' positions.
    static void FaceNormalOf(const float* a, const float* b, const float* c, float out[3]);
    void GetFaceNormal(uint32_t polygon, float out[3]) const; // the polygon must exist
    // Corner-key normals as the normalised sum of their faces' normals; a key whose faces all have no area gets the
    // zero normal. Adds 1 to the geometry stamp.
    void ComputeNormals();
    void UpdateNormals(); // with vertices and polygons: ComputeNormals, then tells listeners kNotifyChanged
    void ComputeBoundingBox();
    const SWbbox* GetBoundingBox() const override; // null while not loaded
    const SWbbox& GetComputedBoundingBox() const { return m_box; }

    // -- Loading
    bool IsLoaded() const { return m_loaded != 0; }
    void SetLoaded(bool loaded) { m_loaded = loaded ? 1 : 0; }
    // With complete arrays and neither holding byte set: normals, bounds, the loaded byte and one kNotifyChanged to
    // the listeners. A call made while it runs (from a listener) returns at once.
    virtual void Prepare();
    bool IsFilling() const { return m_filling != 0; }
    void SetFilling(bool filling) { m_filling = filling ? 1 : 0; }
    bool IsDetached() const { return m_detached != 0; }
    void SetDetached(bool detached) { m_detached = detached ? 1 : 0; }
    bool IsPending() const { return m_pending != 0; }
    void SetPending(bool pending) { m_pending = pending ? 1 : 0; }
    virtual void Refresh() {} // brings the working arrays up to date; a plain mesh has nothing to refresh

    // Bit kViewNotOutside when the bounding box under rows 0-2 of combined is not wholly outside one plane of the
    // view volume, kViewInside when it is wholly inside; 0 for a mesh that is not loaded or has no vertices.
    virtual uint32_t TestViewVolume(const SWmatrix& combined, float nearZ) const;
    static uint8_t OutcodeOf(float x, float y, float z, float nearZ); // the six view-volume bits of one point

    // -- Geometry-codec settings
    // The first setting clamped to 0..8 is stored plus 10 (position bits), the second clamped to 0..6 plus 6
    // (texture-coordinate bits).
    void SetGeometryCodecParameters(uint8_t flag, uint32_t first, uint32_t second);
    uint8_t GetGeometryCodecFlag() const { return m_codecFlag; }
    uint32_t GetPositionBits() const { return m_positionBits; }
    uint32_t GetTextureCoordinateBits() const { return m_textureBits; }
    uint32_t GetUserPositionSetting() const { return m_userPositionSetting; }
    uint32_t GetUserTextureSetting() const { return m_userTextureSetting; }
    void SetUserSettings(uint32_t position, uint32_t texture);

    // -- Drawing
    // True without drawing when there are no vertices or polygons; false when the target gives no renderer; else
    // the held renderer (replaced when the target wants another kind) draws the mesh.
    bool Draw(SWrendertarget& target, SWrenderbatch* opaque, SWrenderbatch* transparent, const SWmatrix& view) override;
    SWmeshrenderer* GetHeldRenderer() const { return m_renderer.get(); } // null until drawn

    SchemeKind GetSchemeKind() const override { return SchemeKind::kMesh; }
    const SWcompressionscheme* GetScheme() const override { return m_scheme; }
    void SetScheme(const SWcompressionscheme* row) override { m_scheme = row; }

protected:
    std::vector<float>& WorkingVertices(); // the positions, the mesh's own (copied first while shared)
    std::shared_ptr<std::vector<float>> VerticesArray() const { return m_vertices; }
    void ShareVertices(std::shared_ptr<std::vector<float>> positions); // of the current count
    void ClearTableUnlessFits();                                       // keeps the invariant after an array changed

private:
    // Where a triangle's texture indices are.
    enum class TextureIndices : uint8_t { kZero, kPositions, kOwn };

    template <typename ForEachPolygon> SWpolygonbuild BuildFrom(uint64_t triangles, ForEachPolygon&& forEach);
    void ClearTable();
    uint32_t KindOf(const SWfacekind& kind); // an equal kind among the last made, else a new one

    using Shared = std::shared_ptr<std::vector<float>>;
    static const float* DataOf(const Shared& array) { return array && !array->empty() ? array->data() : nullptr; }
    static size_t SizeOf(const Shared& array) { return array ? array->size() : 0; }

    Shared m_vertices;
    Shared m_textureVertices;
    static SWindexview ViewOf(const std::vector<uint32_t>& wide, const std::vector<uint16_t>& narrow)
    {
        return narrow.empty() ? SWindexview(wide) : SWindexview(std::span<const uint16_t>(narrow));
    }
    // Each index array in 32 bits while a table is built, then in the 16 bits of its ...16 twin where it fits.
    void NarrowIndices();
    std::vector<uint32_t> m_cornerPositions; // three per polygon
    std::vector<uint32_t> m_cornerKeys;      // three per polygon, unless m_keysArePositions
    std::vector<uint32_t> m_cornerTextures;  // three per polygon, only while m_textureIndices is kOwn
    std::vector<uint16_t> m_cornerPositions16;
    std::vector<uint16_t> m_cornerKeys16;
    std::vector<uint16_t> m_cornerTextures16;
    std::vector<uint32_t> m_kindOf; // per polygon, into m_kinds; not kept while all are 0
    uint32_t m_polygonCount = 0;
    std::vector<SWfacekind> m_kinds;
    TextureIndices m_textureIndices = TextureIndices::kZero;
    std::map<uint32_t, std::string> m_unresolvedMaterials;
    uint32_t m_cornerKeyCount = 0;
    // Every position has one key (a mesh of one smoothing group, the usual case): the keys are numbered as the
    // positions and m_cornerKeys is not kept, which saves a fifth of a large mesh.
    bool m_keysArePositions = false;
    Shared m_normals;
    uint32_t m_geometryStamp = 0;
    SWbbox m_box;
    uint8_t m_loaded = 0;
    uint8_t m_busy = 0;
    uint8_t m_filling = 0;
    uint8_t m_detached = 0;
    uint8_t m_pending = 0;
    uint8_t m_codecFlag = 0;
    uint32_t m_positionBits = 10;
    uint32_t m_textureBits = 6;
    uint32_t m_userPositionSetting = 4;
    uint32_t m_userTextureSetting = 4;
    const SWcompressionscheme* m_scheme = nullptr; // a row of the scheme table; null: the kind's default
    SWheldmeshrenderer m_renderer;                 // made by the first Draw, kept while its kind is wanted
};

inline SWpolygonentry SWpolygontable::operator[](uint32_t polygon) const
{
    const SWfacekind& kind = m_mesh.GetFaceKinds()[m_mesh.GetFaceKindIndex(polygon)];
    return {kind.material, kind.flags};
}
