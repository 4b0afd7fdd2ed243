#pragma once
// SWarrayblock: one polygon as a loader reads it, a link of a chain that SWmesh::BuildPolygonIndices turns into
// the mesh's polygon table. Indices are not checked here: the build drops polygons that name what does not exist.
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

class SWmaterial;

class SWarrayblock {
public:
    // Copies the indices. textureIndices is ignored unless hasTextureIndices; it then needs one index per corner.
    SWarrayblock(std::span<const uint32_t> vertexIndices, bool hasTextureIndices,
                 std::span<const uint32_t> textureIndices, uint32_t polygonFlags, SWmaterial* material);
    // Adopts the index arrays.
    SWarrayblock(std::vector<uint32_t>&& vertexIndices, bool hasTextureIndices, std::vector<uint32_t>&& textureIndices,
                 uint32_t polygonFlags, SWmaterial* material);
    ~SWarrayblock(); // frees the chain after it, without recursion
    SWarrayblock(const SWarrayblock&) = delete;
    SWarrayblock& operator=(const SWarrayblock&) = delete;

    uint32_t GetCount() const { return static_cast<uint32_t>(m_vertexIndices.size()); } // corners
    bool HasTextureIndices() const { return m_hasTextureIndices; }
    std::span<const uint32_t> GetVertexIndices() const { return m_vertexIndices; }
    std::span<const uint32_t> GetTextureIndices() const { return m_textureIndices; } // empty without
    uint32_t GetPolygonFlags() const { return m_polygonFlags; }
    SWmaterial* GetMaterial() const { return m_material; }
    uint32_t GetSmoothingMask() const { return m_smoothingMask; }
    void SetSmoothingMask(uint32_t mask) { m_smoothingMask = mask; } // 0: faceted, each corner its own normal

    SWarrayblock* GetNext() const { return m_next.get(); }
    // Appends block (owned by the chain from now on) at the chain's end; walks the chain, so a loader that keeps
    // its last block appends to that one. Null is ignored.
    void Append(std::unique_ptr<SWarrayblock> block);
    void FreeChain(); // frees the blocks after this one

private:
    std::vector<uint32_t> m_vertexIndices;
    std::vector<uint32_t> m_textureIndices;
    bool m_hasTextureIndices;
    uint32_t m_polygonFlags;
    SWmaterial* m_material; // the world's, not owned
    uint32_t m_smoothingMask = 1;
    std::unique_ptr<SWarrayblock> m_next;
};

// A chain built in order: each block goes after the last one added, without walking the chain.
class SWarrayblockChain {
public:
    void Add(std::unique_ptr<SWarrayblock> block)
    {
        SWarrayblock* const added = block.get();
        if (m_last == nullptr)
            m_head = std::move(block);
        else
            m_last->Append(std::move(block));
        m_last = added;
    }
    SWarrayblock* Head() const { return m_head.get(); } // null while empty
    std::unique_ptr<SWarrayblock> Release()
    {
        m_last = nullptr;
        return std::move(m_head);
    }

private:
    std::unique_ptr<SWarrayblock> m_head;
    SWarrayblock* m_last = nullptr;
};
