// vortan-editors-shots [--live [--xvfb] [--exit-after MS]] OUTDIR [SCENE...]
//
// The object editors photographed for a person to look at. The designer's sample world runs on the headless screen,
// set up as a window test is (virtual clock, silent audio, pinned processor) but with the real fonts; each scene
// opens its editor through the application's factory, drives it as a user would and writes PNGs of the composed
// screen. OUTDIR/trace.txt lists every broadcast.
//
// Scenes:
//   material-editor        the material editor of a textured material, its page and the preview sphere beside it
//   material-scrolled      the same editor made shorter and scrolled half-way
//   material-preview-only  the 128 x 128 preview alone, at full size, for each render mode 2 to 5
//   texture-editor         the texture editor on a wavelet texture, the quality slider enabled
//   texture-hotspots       the texture editor with its hot-spot editor and alter-ego row, a picture taken
// and the scenes registered from other sources (editors_scenes.h). Without scene names all run.
//
// --live runs the same scenes in real windows; --xvfb starts a private X server first, grabs each scene's final
// picture back as live-<scene>.png and prints "live equals headless: yes (N of M pixels differ)". --exit-after MS
// keeps the last scene's editors up that long on the reviewer's own display, for a person to use.
//
// Exit 0 done, 1 a scene failed, 2 usage, 3 OUTDIR cannot be written, 77 no display for --live.
#include "apps/editors-shots/editors_scenes.h"

#include <memory>
#include <string>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/editors/details_hotspots_dlg.h"
#include "designer/editors/details_material_dlg.h"
#include "designer/editors/details_texture_dlg.h"
#include "designer/editors/material_preview.h"
#include "designer/workspace/workspace_controls.h"
#include "engine/core/hotspot.h"
#include "engine/core/root_object.h"
#include "engine/resources/image24.h"
#include "engine/resources/image32.h"
#include "engine/resources/material.h"
#include "engine/resources/palette_image.h"
#include "engine/resources/wavelet_image.h"
#include "platform/gfx/png_file.h"
#include "platform/testing/user_sim.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/core/ui.h"
#include "render/render_drivers.h"
#include "testsupport/designer/broadcast_recorder.h"
#include "testsupport/designer/sample_world.h"
#include "testsupport/designer/shots_tool.h"

namespace {

const char* const kScenes[] = {"material-editor", "material-scrolled", "material-preview-only", "texture-editor",
                               "texture-hotspots"};

using designertest::ShotsRun;

bool WriteTexture(ShotsRun& run, const SWtexture& texture, const std::string& name)
{
    const std::string path = run.dir + "/" + name + ".png";
    pf::Surface32 view(const_cast<uint32_t*>(texture.GetPixels()), texture.GetWidth(), texture.GetHeight(),
                       static_cast<ptrdiff_t>(texture.GetWidth()) * 4);
    std::string error;
    if (!pf::writePngFile(path, view, error) && run.failedWrite.empty())
        run.failedWrite = path + ": " + error;
    return run.failedWrite.empty();
}

// A picture of w x h: coloured tiles of 8 x 8 with a soft gradient across, so mapping and kinds are visible.
std::vector<uint32_t> TilePicture(int32_t w, int32_t h)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const bool dark = ((x / 8) + (y / 8)) % 2 == 0;
            const uint32_t r = dark ? 40 + 150 * x / w : 230;
            const uint32_t g = dark ? 60 : 200 - 120 * y / h;
            const uint32_t b = dark ? 160 : 60;
            pixels[static_cast<size_t>(y) * w + x] = 0xFF000000u | r << 16 | g << 8 | b;
        }
    return pixels;
}

// What every scene shares: the application with the sample world, a recorder, transforms computed, and the editors'
// own samples: textures of every kind the texture editor offers (generated, sides of powers of two), a textured
// material and two hot spots on one texture.
struct Stage {
    explicit Stage(CVTNDesignerApp& app) : sample(app)
    {
        CVTND_ExtendedWorld& world = *app.GetWorld();
        world.UpdateNodeTransforms(world.GetRootNode(), 0);
        SWrootobject& root = *world.GetRootObject();
        const std::vector<uint32_t> tiles = TilePicture(64, 64);
        root.AddTexture(SWimage32::SWimage32FromPixels("tiles", 64, 64, tiles.data()));
        root.AddTexture(std::make_unique<SWwaveletimage>("tiles-wavelet", 64, 64, tiles.data(), 60));
        root.AddTexture(std::make_unique<SWimage>("tiles-palette", 64, 64, tiles.data()));
        auto textured = std::make_unique<SWmaterial>("tiled");
        textured->SetAmbientColour(0.3f, 1.0f, 1.0f, 1.0f);
        textured->SetDiffuseColour(0.9f, 1.0f, 1.0f, 1.0f);
        textured->SetSpecularColour(0.6f, 1.0f, 1.0f, 1.0f);
        textured->SetSmoothness(20.0f);
        textured->SetTexture(world.FindTextureByName("tiles"));
        tiled = textured.get();
        root.AddMaterial(std::move(textured));
        for (const auto& [name, rect] : {std::pair{"door", std::array<float, 4>{0.125f, 0.25f, 0.25f, 0.5f}},
                                         std::pair{"window", std::array<float, 4>{0.5f, 0.125f, 0.375f, 0.25f}}}) {
            auto* hotspot = new SWhotspot; // the root node owns it once added
            hotspot->SetName(std::string(name));
            hotspot->SetTextureName(std::string("tiles"));
            hotspot->SetRect(rect);
            hotspot->SetAlterEgoRect(rect);
            world.AddNode(hotspot, nullptr);
        }
    }
    designertest::SampleWorld sample;
    SWmaterial* tiled = nullptr; // the world's
    designertest::BroadcastRecorder recorder;
};

template <typename T> T* Open(CVTNDesignerApp& app, CVTND_Object object, pf::UserSim& sim)
{
    T* editor = dynamic_cast<T*>(app.EditObject(object, false));
    sim.pump();
    return editor;
}

bool SceneMaterial(CVTNDesignerApp& app, Stage& stage, ShotsRun& run, pf::UserSim& sim, bool scrolled,
                   std::vector<const pf::Window*>& outShown)
{
    auto* editor = Open<CVTND_DetailsMaterialDlg>(app, CVTND_Object(stage.tiled), sim);
    if (editor == nullptr)
        return false;
    const pf::Rect r = editor->windowRect();
    editor->move(pf::Rect::fromXywh(40, 20, static_cast<int32_t>(r.width()), scrolled ? 420 : 960));
    sim.pump();
    if (scrolled) {
        auto* bar = editor->item<pf::ScrollBar>(1175);
        const pf::Rect thumb = bar->thumbRect();
        const pf::Point grab = bar->clientToScreen({(thumb.l + thumb.r) / 2, (thumb.t + thumb.b) / 2});
        const pf::Rect track = bar->clientRect();
        sim.drag(grab, {grab.x, grab.y + static_cast<int32_t>(track.height() / 2 - thumb.height() / 2)}, 4);
        sim.pump();
        run.trace.push_back("scrolled to " + std::to_string(editor->ScrollPosition()));
    }
    outShown = {editor};
    return run.WritePicture(sim, scrolled ? "material-scrolled" : "material-editor");
}

// The tiled material: textured and without a bump texture, whose lighting would take every mode over.
bool ScenePreviewOnly(CVTNDesignerApp& app, Stage& stage, ShotsRun& run, pf::UserSim& sim,
                      std::vector<const pf::Window*>& outShown)
{
    SWmaterial* brick = stage.tiled;
    auto* editor = Open<CVTND_DetailsMaterialDlg>(app, CVTND_Object(brick), sim);
    if (editor == nullptr)
        return false;
    editor->move(pf::Rect::fromXywh(40, 20, static_cast<int32_t>(editor->windowRect().width()), 940));
    sim.pump();
    bool ok = true;
    const int32_t radios[] = {1014, 1015, 1369, 1370};
    for (int32_t mode = 2; mode <= 5; ++mode) {
        sim.click(*editor->Page().item<pf::Button>(radios[mode - 2]));
        sim.pump();
        ok = ok && brick->GetRenderMode() == static_cast<uint32_t>(mode);
        ok = WriteTexture(run, *CVTND_MaterialPreview::Get().GetImage(),
                          "material-preview-mode" + std::to_string(mode)) &&
             ok;
    }
    outShown = {editor};
    return ok;
}

bool SceneTexture(CVTNDesignerApp& app, ShotsRun& run, pf::UserSim& sim, bool hotspots,
                  std::vector<const pf::Window*>& outShown)
{
    CVTND_ExtendedWorld& world = *app.GetWorld();
    SWtexture* texture = world.FindTextureByName(hotspots ? "tiles" : "tiles-wavelet");
    auto* editor = Open<CVTND_DetailsTextureDlg>(app, CVTND_Object(ObjectType::kTexture, texture), sim);
    if (editor == nullptr)
        return false;
    editor->move(pf::Rect::fromXywh(20, 20, 440, hotspots ? 560 : 460));
    sim.pump();
    if (!hotspots) {
        outShown = {editor};
        const bool enabled = editor->child(1352)->isEnabled();
        run.trace.push_back(std::string("quality slider ") + (enabled ? "enabled" : "disabled"));
        return run.WritePicture(sim, "texture-editor") && enabled;
    }
    sim.click(*editor->item<pf::Button>(1188)); // fit to window: the sample textures are small
    sim.click(*editor->item<pf::Button>(1187));
    sim.click(*editor->item<pf::Button>(1193));
    auto* list = editor->item<pf::ComboBox>(1302);
    sim.chooseCombo(*list, list->findExact("tiles-palette"));
    CVTND_DetailsHotspotsDlg* dialog = editor->Hotspots();
    SWhotspot* hotspot = editor->SelectedHotspot();
    if (hotspot == nullptr)
        return false;
    sim.click(*dialog->item<pf::Button>(CVTND_DetailsHotspotsDlg::kIdTake));
    sim.pump();
    run.trace.push_back("took a picture of " + std::to_string(hotspot->GetPictureWidth()) + " x " +
                        std::to_string(hotspot->GetPictureHeight()));
    outShown = {editor, dialog};
    return run.WritePicture(sim, "texture-hotspots") && hotspot->GetImage() != nullptr;
}

EditorsSceneRun FindRegistered(const std::string& scene)
{
    for (const auto& [name, sceneRun] : RegisteredEditorsScenes())
        if (name == scene)
            return sceneRun;
    return nullptr;
}

// A registered scene: it stands on what it starts itself; the comparison is the tool's.
bool RunRegisteredScene(const std::string& scene, EditorsSceneRun sceneRun, ShotsRun& run)
{
    run.trace.push_back("scene " + scene);
    pf::UserSim sim;
    sim.pump();
    EditorsSceneContext context{run.dir, run.trace, run.failedWrite, sim, {}, false, {}};
    context.live = run.backend != nullptr;
    context.finish = [&context, &run, &scene] {
        bool same = true;
        if (run.server != nullptr && !context.shown.empty())
            same = run.CompareWithServer(context.shown, scene);
        run.Hold();
        return same;
    };
    const bool ok = sceneRun(context);
    run.trace.push_back(std::string("scene ") + scene + (ok ? " done" : " FAILED"));
    return ok;
}

bool RunScene(const std::string& scene, ShotsRun& run, bool last)
{
    if (const EditorsSceneRun registered = FindRegistered(scene))
        return RunRegisteredScene(scene, registered, run);
    CVTNDesignerApp app;
    Stage stage(app);
    run.trace.push_back("scene " + scene);
    pf::UserSim sim;
    sim.pump();
    std::vector<const pf::Window*> shown;
    bool ok = false;
    if (scene == "material-editor" || scene == "material-scrolled")
        ok = SceneMaterial(app, stage, run, sim, scene == "material-scrolled", shown);
    else if (scene == "material-preview-only")
        ok = ScenePreviewOnly(app, stage, run, sim, shown);
    else
        ok = SceneTexture(app, run, sim, scene == "texture-hotspots", shown);
    for (const designertest::RecordedEvent& event : stage.recorder.Events())
        run.trace.push_back(stage.recorder.Describe(event));
    if (run.server != nullptr && !shown.empty())
        ok = run.CompareWithServer(shown, scene) && ok;
    if (last)
        run.Hold(); // a reviewer's own display: the editors stay up, live, for the time asked
    while (!app.GetEditDialogs().empty() && app.GetEditDialogs().front()->dialog != nullptr)
        app.GetEditDialogs().front()->dialog->destroy();
    run.trace.push_back(std::string("scene ") + scene + (ok ? " done" : " FAILED"));
    return ok;
}

int RunScenes(ShotsRun& run, const std::vector<std::string>& scenes)
{
    RegisterWorkspaceControls(pf::ui());
    SWrenderdrivers::Get().Init();
    bool ok = true;
    for (size_t i = 0; i < scenes.size(); ++i)
        ok = RunScene(scenes[i], run, i + 1 == scenes.size()) && ok;
    return run.Finish(ok);
}

} // namespace

std::vector<std::pair<std::string, EditorsSceneRun>>& EditableScenes()
{
    static std::vector<std::pair<std::string, EditorsSceneRun>> scenes;
    return scenes;
}

const std::vector<std::pair<std::string, EditorsSceneRun>>& RegisteredEditorsScenes()
{
    return EditableScenes();
}

EditorsSceneRegistration::EditorsSceneRegistration(const char* name, EditorsSceneRun run)
{
    EditableScenes().emplace_back(name, run);
}

bool EditorsSceneContext::WritePicture(const std::string& name)
{
    const std::string path = dir + "/" + name + ".png";
    if (!sim.screenshot(path) && failedWrite.empty())
        failedWrite = path + ": the picture was not written";
    return failedWrite.empty();
}

int main(int argc, char** argv)
{
    designertest::ShotsTool tool{"vortan-editors-shots", {std::begin(kScenes), std::end(kScenes)}, {}, RunScenes};
    for (const auto& [name, sceneRun] : RegisteredEditorsScenes())
        tool.scenes.push_back(name);
    return designertest::ShotsMain(argc, argv, tool);
}
