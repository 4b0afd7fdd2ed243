#include "engine/core/mesh_node.h"

#include <utility>

#include "engine/core/bbox.h"
#include "engine/resources/mesh_object.h"

SWmeshnode::SWmeshnode(SWmeshobject* mesh) : SWobjectnode(kKindMesh)
{
    SetGeometry(mesh);
}

SWmeshobject* SWmeshnode::GetMeshObject() const
{
    return dynamic_cast<SWmeshobject*>(GetGeometry());
}

void SWmeshnode::UpdateAnimatedVertices()
{
    SWmeshobject* mesh = GetMeshObject();
    if (mesh == nullptr || std::as_const(*mesh).GetBaseVertices() == nullptr)
        return;
    mesh->Refresh();
    mesh->ComputeBoundingBox();
}

const std::array<float, 6>* SWmeshnode::GetGeometryAnimationRange() const
{
    const SWgeometry* geometry = GetGeometry();
    const SWbbox* box = geometry != nullptr ? geometry->GetBoundingBox() : nullptr;
    return box != nullptr ? &box->Extents() : nullptr;
}
