#include "render/root_render.h"

#include <span>

#include "engine/behaviour/frame_step.h"
#include "engine/core/matrix.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/geometry.h"
#include "engine/resources/render_layer.h"
#include "render/render_batch.h"
#include "render/render_target.h"

namespace {

// A root object drawn outside a frame step (a thumbnail, a test) has no world to take layers from, and one drawn
// inside it belongs to that world only when it is that world's own root object.
bool DrawWorldLayers(SWrootobject& root, SWrendertarget& target)
{
    SWworld* const world = WorldBeingDrawn();
    if (world == nullptr || world->GetRootObject() != &root)
        return false;
    const auto* layer = dynamic_cast<const SWrenderlayer*>(world->GetPart(WorldPart::kTooltipLayer));
    if (layer == nullptr)
        return false;
    layer->RenderItems(target);
    return true;
}

SWlayerdrawer g_layerDrawer = &DrawWorldLayers;

} // namespace

SWlayerdrawer SetLayerDrawer(SWlayerdrawer drawer)
{
    const SWlayerdrawer previous = g_layerDrawer;
    g_layerDrawer = drawer;
    return previous;
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
