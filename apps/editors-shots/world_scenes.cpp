// The world-level editors' and tools' scenes: world-details (a loadable world), header-details (in inches, after
// one tick), scale-centre (a 2 x 1 x 0.5 m node in match mode after typing 4), remove-files and synchronise-files
// (two files checked), loaded-background and loaded-background-warning (a colour and a picture), property-add (the
// float page), property-edit-bound (a cast's page disabled), property-cast-component (a quaternion's components)
// and background-details-<page> (the world's background editor on each of its six pages).
// Each runs on the designer's sample world without a started designer.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "apps/editors-shots/editors_scenes.h"
#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/project.h"
#include "designer/app/registry.h"
#include "designer/editors/details_background_dlg.h"
#include "designer/editors/details_header_dlg.h"
#include "designer/editors/details_world_dlg.h"
#include "designer/editors/loaded_background_dlg.h"
#include "designer/workspace/workspace_controls.h"
#include "engine/behaviour/property.h"
#include "engine/core/mesh_node.h"
#include "engine/core/root_object.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/typed_value_data.h"
#include "engine/resources/background.h"
#include "engine/resources/image32.h"
#include "engine/resources/mesh_object.h"
#include "platform/testing/user_sim.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/tree_view.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/dialog/dialog.h"
#include "testsupport/designer/sample_world.h"

namespace {

// The application over the sample world, with a crate of 2 x 1 x 0.5 m, a project of three added files (one
// without a file name) and a loadable world with an address.
struct WorldStage {
    WorldStage() : sample(app)
    {
        RegisterWorkspaceControls(pf::ui());
        CVTND_ExtendedWorld& world = *app.GetWorld();
        auto mesh = std::make_unique<SWmeshobject>();
        std::vector<float> corners;
        for (int i = 0; i < 8; ++i)
            for (const float half :
                 {(i & 1) != 0 ? 1.0f : -1.0f, (i & 2) != 0 ? 0.5f : -0.5f, (i & 4) != 0 ? 0.25f : -0.25f})
                corners.push_back(half);
        mesh->SetVertices(std::move(corners));
        mesh->SetLoaded(true);
        mesh->ComputeBoundingBox();
        crate = new SWmeshnode; // the root node owns it once added
        crate->SetName(std::string("crate"));
        world.AddNode(crate, nullptr);
        crate->SetGeometry(world.GetRootObject()->AddGeometry(std::move(mesh)));
        world.UpdateNodeTransforms(world.GetRootNode(), 0);
        CVTND_Project& project = *app.GetProject();
        for (const char* name : {"hall", "unnamed", "tower"}) {
            CVTN_SubWorld* entry = project.AppendAddedFile(std::string(name), {});
            if (std::string(name) != "unnamed")
                entry->SetFileName("/scenes/" + std::string(name) + ".vtn");
        }
        sample.loadedWorld->SetDownloadUrl(std::string("http://example.org/level2.vto"));
        sample.loadedWorld->SetFileName(std::string("/published/level2.vto"));
    }
    CVTNDesignerApp app;
    designertest::SampleWorld sample;
    SWnode* crate = nullptr;
};

// Runs a modal tool; script drives it inside its run, with the dialog shown, before it is photographed.
bool ShootModal(EditorsSceneContext& context, const std::string& scene, int32_t idd, ModalTool tool,
                CVTND_ModalRequest request, CVTNDesignerApp& app, std::function<void(pf::Dialog&)> script)
{
    bool ok = false;
    context.sim.onModal(idd, [&](pf::Dialog& d) {
        context.sim.pump();
        script(d);
        context.sim.pump();
        context.shown = {&d};
        ok = context.WritePicture(scene);
        ok = context.Finish() && ok;
        context.shown.clear();
        d.endDialog(pf::IDCANCEL);
    });
    CVTND_Registry::FindModalTool(tool)(app, request);
    return ok;
}

void Type(pf::UserSim& sim, pf::Dialog& d, int32_t id, const char* text)
{
    if (auto* edit = d.item<pf::Edit>(id))
        sim.replaceText(*edit, text);
}

bool SceneWorldDetails(EditorsSceneContext& context)
{
    WorldStage stage;
    pf::Window* editor = stage.app.EditObject(CVTND_Object(stage.sample.loadedWorld), false);
    if (editor == nullptr)
        return false;
    context.sim.pump();
    context.shown = {editor};
    bool ok = context.WritePicture("world-details");
    ok = context.Finish() && ok;
    editor->destroy();
    return ok;
}

bool SceneHeaderDetails(EditorsSceneContext& context)
{
    WorldStage stage;
    stage.app.GetProject()->SetMetrics(4);
    stage.app.GetProject()->SetAuthor("A. Builder");
    auto* editor = dynamic_cast<CVTND_DetailsHeaderDlg*>(
        stage.app.EditObject(CVTND_Object(ObjectType::kWorldHeader, nullptr), false));
    if (editor == nullptr)
        return false;
    editor->send(pf::WM_TIMER, CVTND_DetailsHeaderDlg::kTimerId); // one tick, as the second's timer gives it
    context.sim.pump();
    context.shown = {editor};
    context.trace.push_back("header extents " + editor->child(1055)->getText() + " x " +
                            editor->child(1056)->getText() + " x " + editor->child(1057)->getText() + " in");
    bool ok = context.WritePicture("header-details");
    ok = context.Finish() && ok;
    editor->destroy();
    return ok;
}

bool SceneScaleCentre(EditorsSceneContext& context)
{
    WorldStage stage;
    CVTND_ModalRequest request;
    request.subject.InitFromNode(stage.crate);
    return ShootModal(context, "scale-centre", 279, ModalTool::kScaleCenter, request, stage.app, [&](pf::Dialog& d) {
        context.sim.click(*d.item<pf::Button>(1013));
        Type(context.sim, d, 1004, "4");
        context.trace.push_back("scale-centre shows " + d.child(1005)->getText() + " and " + d.child(1006)->getText());
    });
}

bool SceneSceneFiles(EditorsSceneContext& context, bool synchronise)
{
    WorldStage stage;
    const ModalTool tool = synchronise ? ModalTool::kSynchronizeSceneFiles : ModalTool::kRemoveSceneFiles;
    return ShootModal(context, synchronise ? "synchronise-files" : "remove-files", synchronise ? 496 : 517, tool, {},
                      stage.app, [&](pf::Dialog& d) {
                          auto* tree = d.item<pf::TreeView>(1000);
                          for (pf::TreeItem i = tree->getChildItem(pf::TVI_ROOT); i != 0;
                               i = tree->getNextSiblingItem(i))
                              context.sim.clickTreeCheck(*tree, i);
                      });
}

bool SceneLoadedBackground(EditorsSceneContext& context, bool warning)
{
    WorldStage stage;
    std::vector<uint32_t> pixels(64 * 64);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0xFF000000u | static_cast<uint32_t>((i % 64) * 4) << 16 | static_cast<uint32_t>((i / 64) * 4);
    const SWbackground colour(0x00FF8000u);
    const SWbackground picture(SWimage32::SWimage32FromPixels("sky", 64, 64, pixels.data()), SWbackground::kModeTile);
    CVTND_ModalRequest request;
    request.background = warning ? &picture : &colour;
    return ShootModal(context, warning ? "loaded-background-warning" : "loaded-background",
                      warning ? CVTND_LoadedBackgroundWarningDlg::kIdd : CVTND_LoadedBackgroundDlg::kIdd,
                      warning ? ModalTool::kLoadedBackgroundWarning : ModalTool::kLoadedBackground, request, stage.app,
                      [](pf::Dialog&) {});
}

bool ScenePropertyAdd(EditorsSceneContext& context)
{
    WorldStage stage;
    CVTND_ModalRequest request;
    request.subject = CVTND_Object(stage.sample.object);
    return ShootModal(context, "property-add", 110, ModalTool::kAddProperty, request, stage.app,
                      [&](pf::Dialog& d) { Type(context.sim, d, 1028, "speed"); });
}

// The edit mode on a bound property (its page disabled), and the component dialog of a quaternion's cast.
bool ScenePropertyEditBound(EditorsSceneContext& context)
{
    WorldStage stage;
    SWnode* node = stage.sample.object;
    SWproperty* source = node->AddVariable(std::make_unique<SWproperty>(kTypeFloat));
    source->SetName(std::string("level"));
    source->AssignFloat(2.5f);
    SWproperty* bound = node->AddVariable(std::make_unique<SWproperty>(kTypeInteger, *source, 0));
    bound->SetName(std::string("whole level"));
    CVTND_ModalRequest request;
    request.subject = CVTND_Object(node);
    request.property = bound;
    request.propertyMode = PropertyDialogMode::kEdit;
    return ShootModal(context, "property-edit-bound", 110, ModalTool::kAddProperty, request, stage.app,
                      [](pf::Dialog&) {});
}

bool ScenePropertyCastComponent(EditorsSceneContext& context)
{
    WorldStage stage;
    SWnode* node = stage.sample.object;
    SWproperty* turn = node->AddVariable(std::make_unique<SWproperty>(kTypeQuaternion));
    turn->SetName(std::string("turn"));
    CVTND_ModalRequest request;
    request.subject = CVTND_Object(node);
    request.property = turn;
    request.propertyMode = PropertyDialogMode::kCast;
    bool ok = false;
    context.sim.onModal(110, [&](pf::Dialog& d) {
        Type(context.sim, d, 1028, "spin");
        context.sim.onModal(193, [&](pf::Dialog& component) {
            context.sim.pump();
            context.shown = {&component};
            ok = context.WritePicture("property-cast-component");
            ok = context.Finish() && ok;
            context.shown.clear();
            component.endDialog(pf::IDCANCEL);
        });
        context.sim.click(*d.item<pf::Button>(1026)); // float from a quaternion: which component?
        d.endDialog(pf::IDCANCEL);
    });
    CVTND_Registry::FindModalTool(ModalTool::kAddProperty)(stage.app, request);
    return ok;
}

// The world's background editor on one of its six pages.
bool SceneBackgroundDetails(EditorsSceneContext& context, int32_t page, const char* name)
{
    WorldStage stage;
    auto* editor = dynamic_cast<CVTND_DetailsBackgroundDlg*>(
        stage.app.EditObject(CVTND_Object(ObjectType::kBackground, nullptr), false));
    if (editor == nullptr)
        return false;
    context.sim.chooseCombo(*editor->item<pf::ComboBox>(CVTND_DetailsBackgroundDlg::kIdKind), page);
    context.sim.pump();
    context.shown = {editor};
    bool ok = context.WritePicture(std::string("background-details-") + name) && editor->PageIndex() == page;
    ok = context.Finish() && ok;
    context.shown.clear();
    editor->destroy();
    return ok;
}

template <int32_t kPage> bool SceneBackgroundPage(EditorsSceneContext& context)
{
    static constexpr const char* kNames[] = {"solid", "texture", "linear", "radial", "corner", "checker"};
    return SceneBackgroundDetails(context, kPage, kNames[kPage]);
}

const EditorsSceneRegistration kWorldDetails("world-details", &SceneWorldDetails);
const EditorsSceneRegistration kHeaderDetails("header-details", &SceneHeaderDetails);
const EditorsSceneRegistration kScaleCentre("scale-centre", &SceneScaleCentre);
const EditorsSceneRegistration kRemoveFiles("remove-files",
                                            [](EditorsSceneContext& c) { return SceneSceneFiles(c, false); });
const EditorsSceneRegistration kSynchroniseFiles("synchronise-files",
                                                 [](EditorsSceneContext& c) { return SceneSceneFiles(c, true); });
const EditorsSceneRegistration kLoadedBackground("loaded-background", [](EditorsSceneContext& c) {
    return SceneLoadedBackground(c, false);
});
const EditorsSceneRegistration kLoadedBackgroundWarning("loaded-background-warning", [](EditorsSceneContext& c) {
    return SceneLoadedBackground(c, true);
});
const EditorsSceneRegistration kPropertyAdd("property-add", &ScenePropertyAdd);
const EditorsSceneRegistration kPropertyEditBound("property-edit-bound", &ScenePropertyEditBound);
const EditorsSceneRegistration kPropertyCastComponent("property-cast-component", &ScenePropertyCastComponent);
const EditorsSceneRegistration kBackgroundSolid("background-details-solid", &SceneBackgroundPage<0>);
const EditorsSceneRegistration kBackgroundTexture("background-details-texture", &SceneBackgroundPage<1>);
const EditorsSceneRegistration kBackgroundLinear("background-details-linear", &SceneBackgroundPage<2>);
const EditorsSceneRegistration kBackgroundRadial("background-details-radial", &SceneBackgroundPage<3>);
const EditorsSceneRegistration kBackgroundCorner("background-details-corner", &SceneBackgroundPage<4>);
const EditorsSceneRegistration kBackgroundChecker("background-details-checker", &SceneBackgroundPage<5>);

} // namespace
