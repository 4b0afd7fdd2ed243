#pragma once
// SWheader: the world's header object among the root object's children: who made the world and how big it is.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/container.h"

class SWheader : public CVTN_Container {
public:
    const std::optional<std::string>& GetObjectName() const { return m_objectName; }
    const std::optional<std::string>& GetAuthor() const { return m_author; }
    const std::optional<std::string>& GetOrganization() const { return m_organization; }
    void SetObjectName(std::optional<std::string> text) { m_objectName = std::move(text); }
    void SetAuthor(std::optional<std::string> text) { m_author = std::move(text); }
    void SetOrganization(std::optional<std::string> text) { m_organization = std::move(text); }

    uint32_t GetMeshCount() const { return m_meshes; }
    uint32_t GetVertexCount() const { return m_vertices; }
    uint32_t GetMaterialCount() const { return m_materials; }
    uint32_t GetTextureCount() const { return m_textures; }
    uint32_t GetPolygonCount() const { return m_polygons; }
    void SetCounts(uint32_t meshes, uint32_t vertices, uint32_t materials, uint32_t textures, uint32_t polygons);
    uint32_t GetBuildNumber() const { return m_buildNumber; }
    void SetBuildNumber(uint32_t build) { m_buildNumber = build; }
    const std::vector<std::string>& GetCreatingTools() const { return m_tools; }
    void SetCreatingTools(std::vector<std::string> tools) { m_tools = std::move(tools); }

private:
    std::optional<std::string> m_objectName;
    std::optional<std::string> m_author;
    std::optional<std::string> m_organization;
    uint32_t m_meshes = 0;
    uint32_t m_vertices = 0;
    uint32_t m_materials = 0;
    uint32_t m_textures = 0;
    uint32_t m_polygons = 0;
    uint32_t m_buildNumber = 0;
    std::vector<std::string> m_tools; // the programs that made or converted the world
};
