// The preview sphere's scene: sphere-levels, the spheres of subdivision levels 0, 1 and 3 drawn side by side by
// the engine's renderer (flat shading and a tiled texture, so the faces and the mapping show), as a check of the
// subdivision; the picture is written alone and shown in a window for the live comparison.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "apps/editors-shots/editors_scenes.h"
#include "designer/editors/material_preview.h"
#include "designer/editors/preview_sphere.h"
#include "designer/workspace/texture_viewer.h"
#include "designer/workspace/workspace_controls.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/image24.h"
#include "engine/resources/image32.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"
#include "platform/gfx/png_file.h"
#include "platform/gfx/surface32.h"
#include "platform/testing/user_sim.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/dialog/dialog.h"
#include "render/render_drivers.h"
#include "testsupport/world/sample_world.h"

namespace {

constexpr int32_t kIddSphereLevels = 23900;
constexpr std::array<int32_t, 3> kLevels = {0, 1, 3};

// The picture of one level: a world of its own whose preview sphere is that level's, rendered as every preview is.
bool RenderLevel(int32_t level, SWmaterial*& outMaterial, std::vector<uint32_t>& outPixels)
{
    SWworld world;
    worldtest::FillSampleWorld(world);
    world.UpdateNodeTransforms(world.GetRootNode(), 0);
    std::vector<uint32_t> tiles(64 * 64);
    for (size_t i = 0; i < tiles.size(); ++i)
        tiles[i] = ((i % 64) / 8 + (i / 64) / 8) % 2 == 0 ? 0xFF3070E0u : 0xFFF0C040u;
    world.GetRootObject()->AddTexture(SWimage32::SWimage32FromPixels("tiles", 64, 64, tiles.data()));
    auto material = std::make_unique<SWmaterial>("faces");
    material->SetRenderMode(SWmaterial::kModeFlat);
    material->SetAmbientColour(0.3f, 1.0f, 1.0f, 1.0f);
    material->SetDiffuseColour(0.9f, 1.0f, 1.0f, 1.0f);
    material->SetTexture(world.FindTextureByName("tiles"));
    outMaterial = material.get();
    world.GetRootObject()->AddMaterial(std::move(material));
    auto sphere = std::make_unique<SWmeshobject>();
    const CVTND_SphereRequest request{kPreviewSphereRadius, true, level, nullptr, "MaterialSphereMesh",
                                      kPreviewSphereId};
    if (!BuildPreviewSphereMesh(*sphere, request))
        return false;
    AddPreviewSphereToWorld(world, std::move(sphere));
    CVTND_MaterialPreview& preview = CVTND_MaterialPreview::Get();
    if (!preview.Refresh(world, outMaterial))
        return false;
    const SWtexture* image = preview.GetImage();
    outPixels.assign(image->GetPixels(), image->GetPixels() + kPreviewSide * kPreviewSide);
    return true;
}

bool SceneSphereLevels(EditorsSceneContext& context)
{
    RegisterWorkspaceControls(pf::ui());
    SWrenderdrivers::Get().Init();
    const int32_t width = kPreviewSide * static_cast<int32_t>(kLevels.size());
    std::vector<uint32_t> all(static_cast<size_t>(width) * kPreviewSide);
    for (size_t k = 0; k < kLevels.size(); ++k) {
        SWmaterial* material = nullptr;
        std::vector<uint32_t> pixels;
        if (!RenderLevel(kLevels[k], material, pixels))
            return false;
        for (int32_t y = 0; y < kPreviewSide; ++y)
            std::copy_n(pixels.begin() + y * kPreviewSide, kPreviewSide,
                        all.begin() + static_cast<ptrdiff_t>(y) * width + static_cast<ptrdiff_t>(k) * kPreviewSide);
    }
    pf::Surface32 view(all.data(), width, kPreviewSide, static_cast<ptrdiff_t>(width) * 4);
    std::string error;
    const std::string path = context.dir + "/sphere-levels-picture.png";
    if (!pf::writePngFile(path, view, error)) {
        context.failedWrite = path + ": " + error;
        return false;
    }
    std::unique_ptr<SWimage24> shown = SWimage24::SWimage24FromPixels("levels", width, kPreviewSide, all.data());
    pf::registerTemplate({kIddSphereLevels,
                          "Sphere Levels 0, 1 and 3",
                          {width + 12, kPreviewSide + 12},
                          pf::WS_POPUP | pf::WS_CAPTION,
                          {{"CVTND_TextureViewer", 1003, {4, 4, width + 8, kPreviewSide + 8}, 0, ""}}});
    pf::Dialog window;
    if (!window.create(kIddSphereLevels, nullptr))
        return false;
    window.move(pf::Rect::fromXywh(40, 40, width + 20, kPreviewSide + 40));
    if (auto* viewer = window.item<CVTND_TextureViewer>(1003)) {
        viewer->SetFitToWindow(false);
        viewer->SetImage(shown.get());
    }
    window.show(pf::SW_SHOW);
    context.sim.pump();
    context.shown = {&window};
    bool ok = context.WritePicture("sphere-levels");
    ok = context.Finish() && ok;
    context.shown.clear();
    window.destroy();
    return ok;
}

const EditorsSceneRegistration kSphereLevels("sphere-levels", &SceneSphereLevels);

} // namespace
