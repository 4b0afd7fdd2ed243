#include "designer/app/node_placement.h"

#include <cmath>
#include <limits>

#include "designer/app/designer_app.h"
#include "engine/core/camera_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/window.h"
#include "engine/core/world.h"
#include "engine/resources/geometry.h"

namespace {

void AddGeometryBox(const SWnode& node, SWbbox& out)
{
    const SWgeometry* geometry = node.GetGeometry();
    const SWbbox* own = geometry != nullptr ? geometry->GetBoundingBox() : nullptr;
    if (own == nullptr || own->IsEmpty())
        return;
    SWmatrix toWorld = ComputeNodeToWorldMatrix(node);
    toWorld.PostMultiply(geometry->GetMatrix());
    out.AddBox(own->Transformed(toWorld));
}

// A node's own matrix changed as a rest transform: pre (parent frame) or post (own frame) by change.
void Transform(SWobjectnode& node, const SWmatrix& change, bool inParentFrame)
{
    SWmatrix local = node.GetInitialMatrix();
    if (inParentFrame) {
        SWmatrix moved;
        change.Multiply(moved, local);
        local = moved;
    } else {
        local.PostMultiply(change);
    }
    node.SetInitialMatrix(local);
}

// Applies change to node when it can be transformed, else to each of its children in node's frame.
void ApplyToNodeOrChildren(SWnode& node, const SWmatrix& ownFrame, const SWmatrix& parentFrame)
{
    if (auto* object = dynamic_cast<SWobjectnode*>(&node)) {
        Transform(*object, ownFrame, false);
        return;
    }
    for (SWnode* child = node.GetFirstChildNode(); child != nullptr; child = child->GetNextSiblingNode()) {
        if (auto* object = dynamic_cast<SWobjectnode*>(child))
            Transform(*object, parentFrame, true);
    }
}

void Refresh(SWworld& world, SWnode& node)
{
    world.UpdateNodeTransforms(&node, 1);
    world.Invalidate(false);
}

bool IsUsableFactor(float factor)
{
    return std::isfinite(factor) && factor > 0.0f;
}

// How wide, in the world's units, the current view's camera sees at its lens's depth centre: the image plane,
// 2 tan(fov/2) x centre across, as its projection takes it. 0 without a camera to ask.
float SeenWidth(const SWworld& world)
{
    const SWwindow* view = world.GetCurrentView();
    const SWcameranode* camera = view != nullptr ? view->GetCameraNode() : nullptr;
    const SWcameraobject* lens = camera != nullptr ? camera->GetCameraObject() : nullptr;
    if (lens == nullptr)
        return 0.0f;
    const float centre = lens->GetDepthCentre() > 0.0f ? lens->GetDepthCentre() : 1.0f;
    const float width = 2.0f * std::tan(lens->GetFieldOfView() / 2.0f) * centre;
    return IsUsableFactor(width) ? width : 0.0f;
}

} // namespace

SWbbox GetNodeBoundingBox(const SWnode& node, bool subtree)
{
    SWbbox box;
    AddGeometryBox(node, box);
    for (const SWnode* n = subtree ? node.NextInTree(&node) : nullptr; n != nullptr; n = n->NextInTree(&node))
        AddGeometryBox(*n, box);
    return box;
}

bool CenterNode(SWnode& node)
{
    SWworld* world = node.GetWorld();
    if (world == nullptr)
        return false;
    SWworldlock lock(*world);
    const SWbbox box = GetNodeBoundingBox(node);
    if (box.IsEmpty())
        return false;
    const SWvector low = box.Min();
    const SWvector high = box.Max();
    const SWmatrix shift = SWmatrix::Translation(-(low.x + high.x) / 2, -(low.y + high.y) / 2, -(low.z + high.z) / 2);
    if (auto* object = dynamic_cast<SWobjectnode*>(&node)) {
        // The shift is in world coordinates: carried into the parent's frame, it moves the node in place.
        const SWmatrix parentToWorld =
            node.GetParentNode() != nullptr ? ComputeNodeToWorldMatrix(*node.GetParentNode()) : SWmatrix();
        SWmatrix worldToParent;
        parentToWorld.Invert(worldToParent);
        SWmatrix change;
        worldToParent.Multiply(change, shift);
        change.PostMultiply(parentToWorld);
        Transform(*object, change, true);
    } else {
        ApplyToNodeOrChildren(node, shift, shift);
    }
    Refresh(*world, node);
    return true;
}

bool ScaleNode(SWnode& node, float factorX, float factorY, float factorZ)
{
    SWworld* world = node.GetWorld();
    if (world == nullptr || !IsUsableFactor(factorX) || !IsUsableFactor(factorY) || !IsUsableFactor(factorZ))
        return false;
    SWworldlock lock(*world);
    const SWmatrix scale = SWmatrix::Scaling(factorX, factorY, factorZ);
    ApplyToNodeOrChildren(node, scale, scale);
    Refresh(*world, node);
    return true;
}

bool ScaleNodeToFit(SWnode& node, float targetSize)
{
    // The view's own width is pixels, not the world's units: a scene fitted to it grew past the camera's depth
    // range and vanished. What the camera sees is the size to fit.
    if (!(targetSize > 0.0f) && node.GetWorld() != nullptr)
        targetSize = SeenWidth(*node.GetWorld());
    if (!(targetSize > 0.0f)) {
        const CVTNDesignerApp* app = GetDesignerApp();
        targetSize = app != nullptr ? app->GetReferenceSize() : 0.0f;
    }
    if (!IsUsableFactor(targetSize))
        return false;
    const SWbbox box = GetNodeBoundingBox(node);
    if (box.IsEmpty())
        return false;
    float factor = std::numeric_limits<float>::infinity();
    const auto& extents = box.Extents();
    for (int axis = 0; axis < 3; ++axis) {
        const float extent = extents[2 * axis + 1] - extents[2 * axis];
        if (std::isfinite(extent) && extent > 0.0f)
            factor = std::min(factor, targetSize / extent);
    }
    if (!IsUsableFactor(factor))
        return false; // no axis has a size: nothing to fit
    return ScaleNode(node, factor, factor, factor);
}
