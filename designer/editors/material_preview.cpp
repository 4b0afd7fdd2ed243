#include "designer/editors/material_preview.h"

#include <cmath>
#include <numbers>
#include <vector>

#include "designer/editors/preview_sphere.h"
#include "engine/core/bbox.h"
#include "engine/core/camera_node.h"
#include "engine/core/matrix.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/image24.h"
#include "engine/resources/mesh_object.h"
#include "render/render_camera.h"
#include "render/render_surface.h"

namespace {

constexpr float kTinyFloat = 1.1754944e-38f;
constexpr float kLargestFloat = 3.4028235e38f;

struct HiddenState {
    SWgeometry* geometry;
    bool hidden;
    bool visible;
};

// What the render changes of the world and puts back before the lock goes: every drawable's hidden and visible
// bytes, the first geometry's own matrix and the camera object's depth range.
class SavedScene {
public:
    SavedScene(SWrootobject& root, SWcameraobject& lens) : m_lens(lens)
    {
        m_first = root.GetFirstGeometry();
        if (m_first != nullptr)
            m_firstMatrix = m_first->GetMatrix();
        m_depthCentre = lens.GetDepthCentre();
        m_depthRange = lens.GetDepthRange();
        for (CVTN_Container* c = root.GetFirstChild(); c != nullptr; c = c->GetNextInTree(&root))
            if (auto* const geometry = dynamic_cast<SWgeometry*>(c))
                m_hidden.push_back({geometry, geometry->IsHidden(), geometry->IsVisible()});
    }
    ~SavedScene()
    {
        for (const HiddenState& state : m_hidden) {
            state.geometry->SetHidden(state.hidden, false);
            state.geometry->SetVisible(state.visible);
        }
        if (m_first != nullptr)
            m_first->SetMatrix(m_firstMatrix);
        m_lens.SetDepthCentre(m_depthCentre);
        m_lens.SetDepthRange(m_depthRange);
    }
    SavedScene(const SavedScene&) = delete;
    SavedScene& operator=(const SavedScene&) = delete;

    void HideAll()
    {
        for (const HiddenState& state : m_hidden)
            state.geometry->SetHidden(true, true);
    }

private:
    SWcameraobject& m_lens;
    SWgeometry* m_first = nullptr;
    SWmatrix m_firstMatrix;
    float m_depthCentre = 0.0f;
    float m_depthRange = 0.0f;
    std::vector<HiddenState> m_hidden;
};

void SetSphereMaterial(SWmeshobject& sphere, SWmaterial* material)
{
    for (uint32_t p = 0; p < sphere.GetPolygonCount(); ++p)
        sphere.SetPolygonMaterial(p, material);
}

// The camera pose the preview looks from: where the sphere stands (the camera's place in the world) with the
// world's axes, moved back along z until the sphere fills the view. The camera looks along its +z here, so it
// steps back along -z. Computed rather than set on the node: a node's Translate is a pending move that the next
// frame step would fold in for good.
SWmatrix PreviewCameraPose(const SWvector& centre, float fieldOfView)
{
    const float distance = 2.5f * 25.0f / std::tan(fieldOfView / 2.0f);
    return SWmatrix::Translation(centre.x, centre.y, centre.z - distance);
}

// The depth range that holds every geometry's box as seen along the view; false when nothing lies ahead.
bool FitDepthRange(SWrootobject& root, const SWmatrix& pose, float& outNear, float& outFar)
{
    const SWvector eye = pose.GetTranslation();
    SWvector view{pose[2], pose[6], pose[10]};
    const float scale = 1.0f / std::sqrt(view.x * view.x + view.y * view.y + view.z * view.z + kTinyFloat);
    view = {view.x * scale, view.y * scale, view.z * scale};
    float nearest = kLargestFloat, farthest = 0.0f;
    const SWobjectlist* const list = root.GetList(SWobjectlist::Kind::kGeometry);
    for (CVTN_Container* c = list != nullptr ? list->GetFirstChild() : nullptr; c != nullptr;
         c = c->GetNextInTree(list)) {
        const auto* const geometry = dynamic_cast<const SWgeometry*>(c);
        const SWbbox* const box = geometry != nullptr ? geometry->GetBoundingBox() : nullptr;
        if (box == nullptr || !(box->Extents()[0] <= box->Extents()[1]))
            continue;
        SWmatrix render;
        geometry->GetRenderMatrix(render);
        for (const SWvector& corner : box->GetTransformedCorners(render)) {
            const float t = (corner.x - eye.x) * view.x + (corner.y - eye.y) * view.y + (corner.z - eye.z) * view.z;
            farthest = std::fmax(farthest, t);
            nearest = std::fmin(nearest, t);
        }
    }
    if (!(farthest > 0.0f))
        return false;
    outFar = farthest * 1.001f;
    outNear = nearest * 0.95f;
    if (outNear < outFar * 0.0001f)
        outNear = outFar * 0.0001f;
    return true;
}

} // namespace

CVTND_MaterialPreview::CVTND_MaterialPreview() = default;
CVTND_MaterialPreview::~CVTND_MaterialPreview() = default;

CVTND_MaterialPreview& CVTND_MaterialPreview::Get()
{
    static CVTND_MaterialPreview preview;
    return preview;
}

SWmeshobject* CVTND_MaterialPreview::FindOrBuildSphere(SWworld& world)
{
    if (SWmeshobject* const found = FindPreviewSphere(world, kPreviewSphereId))
        return found;
    auto sphere = std::make_unique<SWmeshobject>();
    const CVTND_SphereRequest request{kPreviewSphereRadius, true, kPreviewSphereLevel, nullptr, "MaterialSphereMesh",
                                      kPreviewSphereId};
    if (!BuildPreviewSphereMesh(*sphere, request))
        return nullptr;
    return AddPreviewSphereToWorld(world, std::move(sphere));
}

bool CVTND_MaterialPreview::MakeSurface()
{
    if (m_camera == nullptr)
        m_camera = std::make_unique<SWrendercamera>();
    if (m_image == nullptr)
        m_image = SWimage24::SWimage24FromPixels("MaterialRenderSurface", kPreviewSide, kPreviewSide, nullptr);
    if (m_image == nullptr)
        return false;
    if (m_surface != nullptr)
        return m_surface->SetRenderCamera(m_camera.get()) && m_surface->CanDraw();
    auto surface = std::make_unique<SWrendersurface>();
    surface->SetSampling(1, 1);
    surface->SetRenderCamera(m_camera.get());
    m_camera->SetViewport(1.0f, 1.0f);
    if (!surface->Initialize() || !surface->AttachImage(m_image.get()))
        return false;
    m_surface = std::move(surface);
    return true;
}

bool CVTND_MaterialPreview::Refresh(SWworld& world, SWmaterial* material)
{
    SWworldlock lock(world);
    SWcameranode* const cameraNode = world.GetActiveCamera();
    SWcameraobject* const lens = cameraNode != nullptr ? cameraNode->GetCameraObject() : nullptr;
    const float fieldOfView = lens != nullptr ? lens->GetFieldOfView() : 0.0f;
    // A lens of no angle (or a half turn and more) gives no distance to look from: keep the last picture.
    if (lens == nullptr || !(fieldOfView > 0.0f && fieldOfView < std::numbers::pi_v<float>))
        return false;
    if (!MakeSurface())
        return false;
    SWmeshobject* const sphere = FindOrBuildSphere(world);
    if (sphere == nullptr)
        return false;

    SWrootobject& root = *world.GetRootObject();
    SavedScene saved(root, *lens);
    SetSphereMaterial(*sphere, material);
    root.SetGeometryMatrix(SWmatrix());
    SWmatrix sphereMatrix = SWmatrix::Rotation(std::numbers::pi_v<float> / 2.0f, 1);
    const SWvector centre = cameraNode->GetWorldMatrix().GetTranslation();
    sphereMatrix.SetTranslation(centre.x, centre.y, centre.z);
    sphere->SetMatrix(sphereMatrix);
    sphere->SetRenderMatrix(sphereMatrix); // the sphere has no node whose update would make it

    const SWmatrix pose = PreviewCameraPose(centre, fieldOfView);
    float nearZ = 0.0f, farZ = 0.0f;
    if (FitDepthRange(root, pose, nearZ, farZ)) {
        lens->SetDepthCentre((nearZ + farZ) / 2.0f);
        lens->SetDepthRange(farZ - nearZ);
        lens->ComputeSurfaceMatrices(pose, *m_camera, 1.0f);
    }
    saved.HideAll();
    sphere->SetHidden(false, true);
    m_surface->PrepareBuffers();
    m_surface->SelectBuffer(0);
    m_surface->BeginFrame();
    root.Render(*m_surface);
    const bool drawn = m_surface->EndFrame();
    // The sphere lets the material go before the lock does: nothing keeps a material the user may delete next.
    SetSphereMaterial(*sphere, nullptr);
    if (drawn)
        ++m_renders;
    return drawn;
}
