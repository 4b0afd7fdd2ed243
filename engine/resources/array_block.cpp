#include "engine/resources/array_block.h"

#include <utility>

SWarrayblock::SWarrayblock(std::span<const uint32_t> vertexIndices, bool hasTextureIndices,
                           std::span<const uint32_t> textureIndices, uint32_t polygonFlags, SWmaterial* material)
    : m_vertexIndices(vertexIndices.begin(), vertexIndices.end()),
      m_hasTextureIndices(hasTextureIndices && textureIndices.size() == vertexIndices.size()),
      m_polygonFlags(polygonFlags), m_material(material)
{
    if (m_hasTextureIndices)
        m_textureIndices.assign(textureIndices.begin(), textureIndices.end());
}

SWarrayblock::SWarrayblock(std::vector<uint32_t>&& vertexIndices, bool hasTextureIndices,
                           std::vector<uint32_t>&& textureIndices, uint32_t polygonFlags, SWmaterial* material)
    : m_vertexIndices(std::move(vertexIndices)),
      m_hasTextureIndices(hasTextureIndices && textureIndices.size() == m_vertexIndices.size()),
      m_polygonFlags(polygonFlags), m_material(material)
{
    if (m_hasTextureIndices)
        m_textureIndices = std::move(textureIndices);
}

SWarrayblock::~SWarrayblock()
{
    FreeChain();
}

void SWarrayblock::Append(std::unique_ptr<SWarrayblock> block)
{
    if (block == nullptr)
        return;
    SWarrayblock* last = this;
    while (last->m_next != nullptr)
        last = last->m_next.get();
    last->m_next = std::move(block);
}

void SWarrayblock::FreeChain()
{
    // A chain of a million polygons would recurse a million deep through the members' destructors.
    std::unique_ptr<SWarrayblock> next = std::move(m_next);
    while (next != nullptr)
        next = std::move(next->m_next);
}
