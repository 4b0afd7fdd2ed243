#include "engine/core/header.h"

void SWheader::SetCounts(uint32_t meshes, uint32_t vertices, uint32_t materials, uint32_t textures, uint32_t polygons)
{
    m_meshes = meshes;
    m_vertices = vertices;
    m_materials = materials;
    m_textures = textures;
    m_polygons = polygons;
}
