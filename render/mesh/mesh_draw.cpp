#include "render/mesh/mesh_draw.h"

#include "engine/resources/mesh.h"
#include "render/mesh/mesh_renderer.h"

void SWmeshrendererdeleter::operator()(SWmeshrenderer* renderer) const
{
    std::default_delete<SWmeshrenderer>()(renderer);
}

bool SWmesh::Draw(SWrendertarget& target, SWrenderbatch* opaque, SWrenderbatch* transparent, const SWmatrix& view)
{
    return DrawMesh(*this, m_renderer, target, opaque, transparent, view);
}

bool DrawMesh(SWmesh& mesh, SWheldmeshrenderer& held, SWrendertarget& target, SWrenderbatch* opaque,
              SWrenderbatch* transparent, const SWmatrix& view)
{
    if (mesh.GetVertexCount() == 0 || mesh.GetPolygonCount() == 0)
        return true;
    SWmeshrenderer* renderer = GetMeshRenderer(target, held);
    if (renderer == nullptr)
        return false;
    renderer->SetMesh(&mesh);
    if (renderer->UpdateFlatFlags())
        mesh.ComputeNormals();
    return renderer->Render(target, opaque, transparent, view);
}
