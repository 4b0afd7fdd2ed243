#include "render/root_render.h"

#include <span>

#include "engine/core/matrix.h"
#include "engine/core/root_object.h"
#include "engine/resources/geometry.h"
#include "render/render_batch.h"
#include "render/render_target.h"

namespace {

SWlayerdrawer g_layerDrawer = nullptr;

} // namespace

void SetLayerDrawer(SWlayerdrawer drawer)
{
    g_layerDrawer = drawer;
}

bool SWrootobject::Render(SWrendertarget& target)
{
    float elements[16];
    if (!target.GetViewMatrix(elements))
        return false;
    const SWmatrix view(std::span<const float, 16>(elements, 16));
    SWrenderbatch* opaque = target.Queue().NewBatch();
    SWrenderbatch* transparent = target.Queue().NewBatch();
    if (transparent != nullptr) {
        // Reciprocal depths grow toward the eye, so the ascending sum draws blended triangles back to front.
        transparent->SetKind(SWrenderbatch::Kind::kDepthSum);
        transparent->SetTransparent(true);
    }
    if (opaque == nullptr && transparent == nullptr)
        return false;
    if (const SWobjectlist* list = GetList(SWobjectlist::Kind::kGeometry)) {
        for (CVTN_Container* child = list->GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
            auto* geometry = dynamic_cast<SWgeometry*>(child);
            if (geometry != nullptr && !geometry->IsHidden())
                geometry->Draw(target, opaque, transparent, view);
        }
    }
    if (g_layerDrawer != nullptr)
        g_layerDrawer(*this, target);
    return true;
}
