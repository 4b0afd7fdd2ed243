#include "render/mesh/mesh_renderer.h"

#include <algorithm>
#include <cstring>

#include "engine/resources/material.h"
#include "engine/resources/mesh.h"
#include "render/mesh/clipper.h"
#include "render/mesh/vector_mesh_renderer.h"
#include "render/render_batch.h"
#include "render/render_drivers.h"
#include "render/render_target.h"
#include "render/software/direct_draw.h"

namespace {

SWshadedatasource g_shadeSource = ShadeDataOfMaterial;

constexpr uint8_t kPlaneBits = 63;

} // namespace

void SetShadeDataSource(SWshadedatasource source)
{
    g_shadeSource = source != nullptr ? source : ShadeDataOfMaterial;
}

bool ShadeDataOfMaterial(const SWmaterial& material, SWshadedata& out)
{
    out = {};
    if (material.IsBuilt() == 0)
        return false;
    out.ramp1 = material.GetRamp1().data();
    out.ramp2 = material.GetRamp2().data();
    out.highlightScale = material.GetHighlightScale();
    out.highlightOffset = material.GetHighlightOffset();
    for (int i = 0; i < 2; ++i) {
        out.untextured[i] = material.GetUntexturedColours()[i];
        out.textured[i] = material.GetTexturedColours()[i];
    }
    return true;
}

SWmeshrenderer* GetMeshRenderer(SWrendertarget& target, SWheldmeshrenderer& held)
{
    if (target.GetClipper() == nullptr)
        return nullptr;
    const SWrenderdrivers* drivers = SWrenderdrivers::Current();
    int wanted = 0;
    if (drivers != nullptr)
        wanted = drivers->UseSSE2() != 0 ? 2 : drivers->UseSSE() != 0 ? 1 : 0;
    if (held == nullptr || held->Kind() != wanted) {
        if (held != nullptr)
            target.FinishDrawing(); // the renderer's groups go with it
        if (wanted == SWmeshrendererSSE2::kKind)
            held = SWheldmeshrenderer(std::make_unique<SWmeshrendererSSE2>().release());
        else if (wanted == SWmeshrendererSSE::kKind)
            held = SWheldmeshrenderer(std::make_unique<SWmeshrendererSSE>().release());
        else
            held = SWheldmeshrenderer(std::make_unique<SWmeshrendererScalar>().release());
    }
    held->SetTarget(&target);
    return held.get();
}

bool SWmeshrendererCommon::Render(SWrendertarget& target, SWrenderbatch* opaque, SWrenderbatch* transparent,
                                  const SWmatrix& view)
{
    m_target = &target;
    m_opaque = opaque;
    m_transparent = transparent;
    if (m_mesh == nullptr || m_mesh->IsHidden())
        return false;
    if (!m_mesh->IsLoaded()) {
        m_mesh->Prepare();
        return false;
    }
    const SWrendercamera* camera = target.GetCamera();
    if (camera == nullptr || target.GetClipper() == nullptr)
        return false;
    SWmatrix render;
    m_mesh->GetRenderMatrix(render);
    SWmatrix combined;
    view.Multiply(combined, render);
    const float nearValue = target.NearValue();
    const uint32_t test = m_mesh->TestViewVolume(combined, nearValue);
    if ((test & SWmesh::kViewNotOutside) == 0)
        return false;
    m_inside = (test & SWmesh::kViewInside) != 0;
    if (m_stamp != m_mesh->GetGeometryStamp()) {
        // Records this renderer handed over earlier in the frame may still wait to be drawn: their format records
        // are the groups', and their vertex work shades from the groups.
        if (m_recordTarget == &target && m_recordFrame == target.GetFrameCount())
            target.FinishDrawing();
        RebuildGroups();
        ++m_builds;
    }
    SetUpFrameLighting(view, render, *camera, m_lighting);
    const SWmeshview meshView = SWmeshview::Of(*m_mesh);

    bool drewAny = false;
    for (SWdrawgroup* group = m_groups.get(); group != nullptr; group = group->next.get()) {
        SetupDrawGroup(*group, meshView);
        m_stats.triangles += group->TriangleCount();
        const uint32_t stride = group->stages.vertexStride;
        const bool isTransparent = (group->drawFlags & kDrawTransparent) != 0;
        const bool direct = m_inside && !isTransparent && target.TakesIndexedBuffers() && !group->dot3 && stride >= 6 &&
                            (stride - 6) % 2 == 0;
        m_listsWanted = !direct;
        SWindexbuffer* indices = nullptr;
        const uint32_t visible = CullGroup(*group, indices);
        if (visible == 0) {
            if (indices != nullptr)
                indices->Release();
            ++m_stats.emptyGroups;
            continue;
        }
        drewAny = true;
        SWshadedata shade;
        if (group->material != nullptr)
            g_shadeSource(*group->material, shade);
        const uint32_t vertexCount = ShadedVertexCount(*group);
        SWvertexstage stage;
        stage.group = group;
        stage.lighting = &m_lighting;
        stage.shade = &shade;
        stage.visible = m_visibleBits;
        stage.nearValue = nearValue;
        stage.stride = stride;
        if (direct) {
            SWvertexbuffer* vertices = target.GetVertexScratch((stride - 6) / 2, vertexCount);
            void* words = vertices != nullptr ? vertices->Lock(0) : nullptr;
            if (words == nullptr) {
                if (vertices != nullptr)
                    vertices->Release();
                indices->Release();
                ++m_stats.undrawnGroups;
                continue;
            }
            stage.viewport = &target.Viewport();
            DrawIndexed(*group, vertices, indices, visible, stage, static_cast<uint32_t*>(words));
            continue;
        }
        indices->Release();
        const size_t bytes = size_t{stride} * vertexCount * sizeof(uint32_t);
        auto* screen =
            bytes <= 0xFFFFFFFFu ? static_cast<uint32_t*>(target.GetScratch(static_cast<uint32_t>(bytes), 0)) : nullptr;
        if (screen == nullptr) {
            ++m_stats.undrawnGroups;
            continue;
        }
        if (m_inside) {
            stage.viewport = &target.Viewport();
            ShadeGroup(stage, screen, nullptr);
            EmitTriangles(*group, screen, nullptr, visible, stride, shade);
        } else {
            m_outcodes.assign(vertexCount, 0);
            ShadeGroup(stage, screen, m_outcodes.data());
            EmitTriangles(*group, screen, m_outcodes.data(), visible, stride, shade);
        }
    }
    return drewAny;
}

uint32_t SWmeshrendererCommon::CullGroup(SWdrawgroup& group, SWindexbuffer*& outIndices)
{
    const uint32_t vertexCount = group.VertexCount();
    m_visibleBits.assign(vertexCount / 32 + 1, 0);
    m_indexList.clear();
    group.primitiveIndices.clear();
    const uint32_t triangleCount = group.TriangleCount();
    outIndices = triangleCount > 0 ? m_target->GetIndexScratch(triangleCount * 3) : nullptr;
    auto* out = outIndices != nullptr ? static_cast<uint16_t*>(outIndices->Lock(0)) : nullptr;
    if (out == nullptr) {
        if (outIndices != nullptr)
            outIndices->Release();
        outIndices = nullptr;
        return 0;
    }
    const SWvector& eye = m_lighting.eye;
    uint32_t visible = 0;
    for (uint32_t t = 0; t < triangleCount; ++t) {
        const SWgrouptriangle& triangle = group.triangles[t];
        const float side =
            eye.x * triangle.normal[0] + eye.y * triangle.normal[1] + eye.z * triangle.normal[2] - triangle.distance;
        // The eye on the plane keeps the triangle; a non-finite face is never drawn.
        if (!(side >= 0.0f))
            continue;
        for (int c = 0; c < 3; ++c) {
            const uint16_t corner = triangle.corners[kHandOverCorners[c]];
            out[visible * 3 + c] = corner;
            m_indexList.push_back(corner);
            m_visibleBits[corner / 32] |= 1u << (corner % 32);
        }
        group.primitiveIndices.push_back(static_cast<int32_t>(t));
        ++visible;
    }
    outIndices->Unlock();
    m_stats.visible += visible;
    return visible;
}

void SWmeshrendererCommon::ShadeGroup(const SWvertexstage& stage, uint32_t* out, uint8_t* outcodes)
{
    ShadeVertices(stage, out, outcodes);
}

bool SWmeshrendererCommon::DrawIndexed(SWdrawgroup& group, SWvertexbuffer* vertices, SWindexbuffer* indices,
                                       uint32_t visible, const SWvertexstage& stage, uint32_t* words)
{
    SWdirectdrawrecord* record = m_target->NewDirectDrawRecord();
    if (record != nullptr) {
        m_recordTarget = m_target;
        m_recordFrame = m_target->GetFrameCount();
        if (!(m_target->TakesVertexWork() && HandOverShading(*record, stage, words)))
            ShadeGroup(stage, words, nullptr);
    }
    vertices->Unlock();
    if (record == nullptr) {
        // No record: the frame goes on without this group, and the buffers go back to the target.
        vertices->Release();
        indices->Release();
        ++m_stats.undrawnGroups;
        return false;
    }
    record->vertices = vertices;
    record->indices = indices;
    record->draw.format = &group.stages;
    record->draw.vertices = dynamic_cast<const SWsoftvertexbuffer*>(vertices);
    record->draw.indices = dynamic_cast<const SWsoftindexbuffer*>(indices);
    record->draw.vertexCount = static_cast<int32_t>(group.VertexCount());
    record->draw.triangleCount = static_cast<int32_t>(visible);
    m_stats.indexed += visible;
    m_target->Flush();
    return true;
}

bool SWmeshrendererCommon::EmitTriangles(SWdrawgroup& group, const uint32_t* screen, const uint8_t* outcodes,
                                         uint32_t visible, uint32_t stride, const SWshadedata& shade)
{
    SWrenderbatch* batch = (group.drawFlags & kDrawTransparent) != 0 ? m_transparent : m_opaque;
    if (batch == nullptr)
        return false;
    SWprimitivenode* chain = batch->AllocPrimitives(visible);
    uint32_t* words = chain != nullptr ? batch->TakeWords(visible * 3 * stride) : nullptr;
    if (words == nullptr) {
        ++m_stats.undrawnGroups; // the nodes stay unused in the batch's block until the queue is cleared
        return false;
    }
    m_run.clear();
    for (SWprimitivenode* node = chain; node != nullptr && m_run.size() < visible; node = node->next)
        m_run.push_back(node);
    const bool dot3 = group.dot3 && group.frames.size() == size_t{group.TriangleCount()} * 3;
    for (uint32_t k = 0; k < m_run.size(); ++k) {
        SWprimitivenode* node = m_run[k];
        uint32_t* out = words + size_t{k} * 3 * stride;
        node->format = &group.stages;
        node->vertices = out;
        for (int c = 0; c < 3; ++c) {
            const uint16_t corner = m_indexList[size_t{k} * 3 + c];
            uint32_t* vertex = out + static_cast<size_t>(c) * stride;
            std::memcpy(vertex, screen + size_t{corner} * stride, stride * sizeof(uint32_t));
            if (dot3) {
                // Filler triangles of a short pack number past the last real one and repeat it.
                const uint32_t triangle =
                    std::min(static_cast<uint32_t>(group.primitiveIndices[k]), group.TriangleCount() - 1);
                const uint32_t light =
                    Dot3Colour(group.frames[size_t{triangle} * 3 + kHandOverCorners[c]], m_lighting.lightUnit);
                vertex[5] = (vertex[4] & 0xFF000000u) | (shade.untextured[1] & 0x00FFFFFFu);
                vertex[4] = light;
            }
        }
    }
    batch->AppendPrimitives(chain);
    m_stats.queued += static_cast<uint32_t>(m_run.size());
    if (outcodes == nullptr)
        return true;
    SWclipper* clipper = m_target->GetClipper();
    for (uint32_t k = 0; k < m_run.size(); ++k) {
        SWprimitivenode* node = m_run[k];
        uint8_t codes[3];
        for (int c = 0; c < 3; ++c)
            codes[c] = outcodes[m_indexList[size_t{k} * 3 + c]];
        const uint8_t orCode = (codes[0] | codes[1] | codes[2]) & kPlaneBits;
        m_stats.clipped += orCode != 0 ? 1 : 0;
        if (orCode != 0 && !clipper->ClipPolygon(node, codes, orCode, *batch)) {
            batch->Unlink(node);
            ++m_stats.clippedAway;
            continue;
        }
        uint32_t* out = words + size_t{k} * 3 * stride;
        for (int c = 0; c < 3; ++c)
            clipper->Project(out + static_cast<size_t>(c) * stride);
    }
    return true;
}
