#include "apps/vortan-render/frame_dump.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <span>
#include <vector>

#include "engine/core/root_object.h"
#include "engine/resources/mesh.h"
#include "engine/resources/texture.h"
#include "platform/base/atomic_file.h"
#include "render/format_record.h"
#include "render/mesh/mesh_renderer.h"
#include "render/render_drivers.h"
#include "render/render_target.h"
#include "render/software/pixel_buffer.h"
#include "render/software/stage_program.h"

namespace rendertool {

namespace {

constexpr uint32_t kDumpVersion = 1;
constexpr uint32_t kMeshDumpVersion = 1;

void PutU32(std::string& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>(value >> shift & 0xFF));
}

void PutU8(std::string& out, uint32_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
}

void PutFloat(std::string& out, float value)
{
    PutU32(out, std::bit_cast<uint32_t>(value));
}

void PutVector(std::string& out, const SWvector& v)
{
    PutFloat(out, v.x);
    PutFloat(out, v.y);
    PutFloat(out, v.z);
}

void PutPixels(std::string& out, const uint32_t* pixels, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        PutU32(out, pixels[i]);
}

std::vector<uint32_t> CopyPixels(const SWpixelbuffer& buffer)
{
    std::vector<uint32_t> pixels;
    pixels.reserve(static_cast<size_t>(buffer.Width()) * static_cast<size_t>(buffer.Height()));
    for (int32_t y = 0; y < buffer.Height(); ++y)
        pixels.insert(pixels.end(), buffer.Row(y), buffer.Row(y) + buffer.Width());
    return pixels;
}

} // namespace

void FrameDump::BeginFrame(const SWpixelbuffer& background)
{
    m_width = background.Width();
    m_height = background.Height();
    m_background = CopyPixels(background);
    m_runs.clear();
    m_textureIds.clear();
    m_textures.clear();
}

void FrameDump::Record(const Run& run, const uint32_t* v0, const uint32_t* v1, const uint32_t* v2)
{
    const bool sameRun = !m_runs.empty() && m_runs.back().run.format == run.format &&
                         m_runs.back().run.pipeline == run.pipeline && m_runs.back().run.depthTest == run.depthTest &&
                         m_runs.back().run.depthWrite == run.depthWrite &&
                         m_runs.back().run.depthScale == run.depthScale;
    if (!sameRun) {
        m_runs.push_back({run, {}});
        for (int layer = 0; layer < kTextureStageCount; ++layer)
            TextureId(run.format->images[layer]);
    }
    const uint32_t stride = run.format->vertexStride;
    std::vector<uint32_t>& words = m_runs.back().words;
    for (const uint32_t* v : {v0, v1, v2})
        words.insert(words.end(), v, v + stride);
}

int32_t FrameDump::TextureId(const SWtexture* texture)
{
    if (texture == nullptr || texture->GetPixels() == nullptr)
        return -1;
    const auto [found, added] = m_textureIds.emplace(texture, static_cast<int32_t>(m_textures.size()));
    if (added)
        m_textures.push_back(texture);
    return found->second;
}

bool FrameDump::EndFrame(const SWpixelbuffer& drawn, uint32_t frame, std::string& outError)
{
    std::string out;
    out.append("VTRF");
    PutU32(out, kDumpVersion);
    PutU32(out, static_cast<uint32_t>(m_width));
    PutU32(out, static_cast<uint32_t>(m_height));
    PutU32(out, frame);
    PutPixels(out, m_background.data(), m_background.size());
    PutU32(out, static_cast<uint32_t>(m_textures.size()));
    for (const SWtexture* texture : m_textures) {
        PutU32(out, texture->GetWidth32());
        PutU32(out, texture->GetHeight32());
        PutPixels(out, texture->GetPixels(), size_t{texture->GetWidth32()} * texture->GetHeight32());
        const std::span<const uint8_t> falloff = texture->GetFalloff();
        PutU32(out, static_cast<uint32_t>(falloff.size()));
        out.append(reinterpret_cast<const char*>(falloff.data()), falloff.size());
    }
    PutU32(out, static_cast<uint32_t>(m_runs.size()));
    for (const DumpRun& dumped : m_runs) {
        const SWtexturestages& format = *dumped.run.format;
        PutRunHeader(out, dumped.run);
        PutU32(out,
               format.vertexStride == 0 ? 0u : static_cast<uint32_t>(dumped.words.size() / (3u * format.vertexStride)));
        PutPixels(out, dumped.words.data(), dumped.words.size());
    }
    const std::vector<uint32_t> ours = CopyPixels(drawn);
    PutPixels(out, ours.data(), ours.size());
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%04u.bin", frame);
    if (!pf::writeFileAtomically(m_directory + name, out, &outError))
        return false;
    if (m_meshes.empty())
        return true;
    std::string meshes;
    meshes.append("VTRM");
    PutU32(meshes, kMeshDumpVersion);
    PutU32(meshes, static_cast<uint32_t>(m_width));
    PutU32(meshes, static_cast<uint32_t>(m_height));
    PutU32(meshes, frame);
    meshes += m_meshes;
    m_meshes.clear();
    std::snprintf(name, sizeof name, "/mesh-%04u.bin", frame);
    return pf::writeFileAtomically(m_directory + name, meshes, &outError);
}

void FrameDump::PutRunHeader(std::string& out, const Run& run)
{
    const SWtexturestages& format = *run.format;
    PutU32(out, static_cast<uint32_t>(run.pipeline));
    PutU8(out, run.depthTest ? 1 : 0);
    PutU8(out, run.depthWrite ? 1 : 0);
    PutU8(out, BlendModeOf(format));
    PutU8(out, format.combineMode);
    PutFloat(out, run.depthScale);
    PutU8(out, format.vertexStride);
    PutU8(out, format.firstFloatWord);
    PutU8(out, format.colourCount);
    PutU8(out, format.layerCount);
    for (int layer = 0; layer < kTextureStageCount; ++layer) {
        PutU32(out, format.constants[layer]);
        PutU32(out, static_cast<uint32_t>(TextureId(format.images[layer])));
        PutU8(out, format.layerFlags[layer]);
        PutU8(out, static_cast<uint8_t>(format.coordinateSets[layer]));
        PutU8(out, 0);
        PutU8(out, 0);
    }
}

void FrameDump::AddMeshes(SWrootobject& root, SWrendertarget& target)
{
    m_meshes.clear();
    float elements[16];
    const SWrendercamera* camera = target.GetCamera();
    if (camera == nullptr || !target.GetViewMatrix(elements))
        return;
    const SWmatrix view(std::span<const float, 16>(elements, 16));
    const SWviewport& viewport = target.Viewport();
    PutFloat(m_meshes, viewport.xScale);
    PutFloat(m_meshes, viewport.xOffset);
    PutFloat(m_meshes, viewport.yScale);
    PutFloat(m_meshes, viewport.yOffset);
    PutFloat(m_meshes, target.NearValue());
    PutU32(m_meshes, kAngleTableSize);
    const uint16_t* angles = SWrenderdrivers::AngleTable();
    for (int i = 0; i < kAngleTableSize; ++i)
        PutU8(m_meshes, angles != nullptr ? angles[i] >> 8 : 0u);
    std::string groups;
    uint32_t groupCount = 0;
    const SWobjectlist* list = root.GetList(SWobjectlist::Kind::kGeometry);
    for (CVTN_Container* child = list != nullptr ? list->GetFirstChild() : nullptr; child != nullptr;
         child = child->GetNextSibling()) {
        const auto* mesh = dynamic_cast<const SWmesh*>(child);
        const SWmeshrenderer* renderer = mesh != nullptr ? mesh->GetHeldRenderer() : nullptr;
        if (renderer == nullptr || mesh->IsHidden())
            continue;
        SWmatrix render;
        mesh->GetRenderMatrix(render);
        SWframelighting lighting;
        SetUpFrameLighting(view, render, *camera, lighting);
        for (const SWdrawgroup* group = renderer->FirstGroup(); group != nullptr; group = group->next.get()) {
            // Only the groups whose triangles the rasteriser took this frame: a mesh out of view keeps its groups.
            const auto drawn = std::find_if(m_runs.begin(), m_runs.end(), [group](const DumpRun& dumped) {
                return dumped.run.format == &group->stages;
            });
            if (drawn == m_runs.end() || group->dot3)
                continue;
            ++groupCount;
            PutRunHeader(groups, drawn->run);
            PutU32(groups, group->drawFlags);
            PutU32(groups, static_cast<uint32_t>(group->layout.highlightWord));
            PutU32(groups, static_cast<uint32_t>(group->layout.textureWord));
            PutU32(groups, static_cast<uint32_t>(group->layout.reflectionWord));
            for (int i = 0; i < 12; ++i)
                PutFloat(groups, lighting.combined[i]);
            for (const SWvector* v :
                 {&lighting.lightUnit, &lighting.b1, &lighting.b2, &lighting.eye, &lighting.viewX, &lighting.viewY})
                PutVector(groups, *v);
            SWshadedata shade;
            if (group->material != nullptr)
                ShadeDataOfMaterial(*group->material, shade);
            PutFloat(groups, shade.highlightScale);
            PutFloat(groups, shade.highlightOffset);
            const uint32_t* constants = group->layout.textureWord >= 0 ? shade.textured : shade.untextured;
            PutU32(groups, constants[0]);
            PutU32(groups, constants[1]);
            for (const uint32_t* ramp : {shade.ramp1, shade.ramp2})
                for (int i = 0; i < 256; ++i)
                    PutU32(groups, ramp != nullptr ? ramp[i] : 0u);
            // Through the renderer: a packed kind keeps the vertices and corners in packs or reads the mesh's own.
            const uint32_t vertexCount = group->VertexCount();
            std::vector<float> scratch;
            const std::span<const float> vertices = renderer->GroupVertices(*group, scratch);
            const std::span<const float> coordinates = renderer->GroupCoordinates(*group);
            std::vector<uint16_t> corners;
            renderer->GroupCorners(*group, corners);
            PutU32(groups, vertexCount);
            for (size_t i = 0; i < size_t{vertexCount} * 6; ++i)
                PutFloat(groups, vertices[i]);
            const bool hasCoordinates = coordinates.size() >= size_t{vertexCount} * 2;
            PutU32(groups, hasCoordinates ? vertexCount : 0u);
            for (size_t i = 0; hasCoordinates && i < size_t{vertexCount} * 2; ++i)
                PutFloat(groups, coordinates[i]);
            PutU32(groups, group->TriangleCount());
            for (size_t t = 0; t < corners.size() / 3; ++t)
                for (const int corner : kHandOverCorners)
                    PutU32(groups, corners[t * 3 + corner]);
        }
    }
    PutU32(m_meshes, groupCount);
    m_meshes += groups;
}

} // namespace rendertool
