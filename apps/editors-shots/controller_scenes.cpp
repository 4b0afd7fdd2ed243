// The controller editor's scenes, each on the running designer over the sample project's world: the editor opened
// through the factory on a controller action of the cube, its controls moved as a user would, then the composed
// screen (<scene>.png) and the 3D view alone after a frame (<scene>-view.png), which shows the pose the preview made.
//
//   controller-rotate     the XYZ page of a rotate action in degrees, the order "ZXZ", the slider at 500
//   controller-scale      the XYZ page of a scale action in percent, with its absolute and relative buttons
//   controller-keyframes  the key-frame play page, the animation chosen and the end bar moved
//   controller-jump       the key-frame jump page
//   controller-vertex     the vertex play page, posed on the cube's mesh
//   controller-target     the track-target page with its target named and found
//   controller-speech     the speech page with its three fields filled
//   controller-no-motion  the host opened on an action that has no motion
#include <memory>
#include <string>

#include "apps/editors-shots/designer_stage.h"
#include "apps/editors-shots/editors_scenes.h"
#include "designer/app/child_render_view.h"
#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/editors/controller_editor.h"
#include "designer/workspace/value_generator.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/behaviour/track_target_motion.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/animation_data.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/resources/mesh.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "engine/resources/speech_data.h"
#include "platform/testing/user_sim.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/controls/trackbar.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr const char* kCube = "cube";
constexpr const char* kFloor = "floor";

// The designer with an event of its own for the controllers.
struct ControllerStage : DesignerStage {
    explicit ControllerStage(EditorsSceneContext& context) : DesignerStage(context)
    {
        if (!started)
            return;
        const SWworldlock hold(*world);
        event = world->AddEventOfType(4);
        event->SetName(std::string("controllers"));
    }

    SWobjectnode* Node(const char* name) const
    {
        return SWobjectnode::FromNode(world->GetRootNode()->FindByName(name));
    }
    // A controller action of kind on the cube.
    SWactionnode* Controller(int32_t kind)
    {
        const SWworldlock hold(*world);
        SWactionkind* catalogued = world->GetActionCategories().FindKind(kind);
        std::unique_ptr<SWactionkind> own;
        if (catalogued == nullptr) { // a kind the catalogue does not list keeps a record of its own
            own = std::make_unique<SWactionkind>();
            own->SetKindId(kind);
        }
        SWactionnode* action = event->CreateAction(catalogued != nullptr ? catalogued : own.get());
        if (action != nullptr && own != nullptr)
            action->TakeOwnKind(std::move(own));
        if (action != nullptr)
            action->AddArgument(kCube, SWdatanode::kString, true);
        if (auto* xyz = action != nullptr ? dynamic_cast<SWxyzmotion*>(action->GetMotion()) : nullptr)
            for (int axis = 0; axis < 3; ++axis) // a second for each axis, so the slider has a course to show
                if (SWgenerator* track = xyz->GetGenerator(axis))
                    track->SetDuration(1000.0f);
        return action;
    }
    // The editor at the screen's right, beside the main frame; its client area is what a live run compares.
    CVTND_ActionControllerDlg* Edit(SWactionnode* action)
    {
        auto* editor = dynamic_cast<CVTND_ActionControllerDlg*>(app->EditObject(CVTND_Object(action), false));
        if (editor == nullptr)
            return nullptr;
        const pf::Rect r = editor->screenRect();
        editor->move(pf::Rect::fromXywh(1280 - static_cast<int32_t>(r.width()) - 8, 40, static_cast<int32_t>(r.width()),
                                        static_cast<int32_t>(r.height())));
        sim.pump();
        context.shown = {editor};
        return editor;
    }
    bool Pictures(const std::string& scene)
    {
        Settle(600); // the still view refines its picture over a few frames; the pose has settled by then
        bool ok = context.WritePicture(scene);
        CChildRenderView* view = designer.ActiveView();
        // Frames drawn through the view's renderer: a still view blends each new frame into its picture, so a few
        // make the pose the whole of it.
        for (int frame = 0; frame < 12; ++frame) {
            const SWworldlock hold(*world);
            world->RunFrame();
        }
        if (view == nullptr || !view->writePng(context.dir + "/" + scene + "-view.png")) {
            if (context.failedWrite.empty())
                context.failedWrite = context.dir + "/" + scene + "-view.png: the picture was not written";
            ok = false;
        }
        return ok;
    }
    SWevent* event = nullptr;
};

pf::Window* PageChild(CVTND_ActionControllerDlg& editor, int32_t id)
{
    return editor.CurrentPage() != nullptr ? editor.CurrentPage()->child(id) : nullptr;
}

bool TypeAxis(ControllerStage& stage, CVTND_ActionControllerDlg& editor, int32_t id, const char* text)
{
    auto* value = dynamic_cast<CVTND_ValueGenerator*>(PageChild(editor, id));
    if (value == nullptr || value->GetEdit() == nullptr)
        return false;
    stage.sim.replaceText(*value->GetEdit(), text);
    return true;
}

void Slide(ControllerStage& stage, CVTND_ActionControllerDlg& editor, int32_t position)
{
    if (auto* slider = editor.item<pf::Trackbar>(1352))
        stage.sim.moveTrackbar(*slider, position);
}

// Clicks a bar's left or right arrow count times.
void StepBar(ControllerStage& stage, pf::Window* window, bool right, int count)
{
    auto* bar = dynamic_cast<pf::ScrollBar*>(window);
    if (bar == nullptr)
        return;
    const pf::Rect arrow = bar->arrowRect(!right);
    for (int i = 0; i < count; ++i)
        stage.sim.click(*bar, {(arrow.l + arrow.r) / 2, (arrow.t + arrow.b) / 2});
}

bool SceneRotate(EditorsSceneContext& context)
{
    ControllerStage stage(context);
    CVTND_ActionControllerDlg* editor = stage.started ? stage.Edit(stage.Controller(41)) : nullptr;
    if (editor == nullptr)
        return stage.Check(false, "the rotate editor opened");
    bool ok = stage.Check(TypeAxis(stage, *editor, 1005, "90"), "90 degrees typed about Y");
    if (auto* order = dynamic_cast<pf::ComboBox*>(PageChild(*editor, 1002)))
        stage.sim.chooseCombo(*order, 8);
    auto* xyz = dynamic_cast<SWxyzmotion*>(editor->Motion());
    ok = stage.Check(xyz != nullptr && xyz->GetRotationOrder() == 8, "the rotation order is ZXZ") && ok;
    Slide(stage, *editor, 500);
    SWobjectnode* cube = stage.Node(kCube);
    ok = stage.Check(cube->GetLocalMatrix() != cube->GetInitialMatrix(), "the slider turned the cube") && ok;
    ok = stage.Pictures("controller-rotate") && ok;
    ok = stage.Check(cube->GetLocalMatrix() != cube->GetInitialMatrix(), "the cube stays turned") && ok;
    return stage.context.Finish() && ok;
}

bool SceneScale(EditorsSceneContext& context)
{
    ControllerStage stage(context);
    CVTND_ActionControllerDlg* editor = stage.started ? stage.Edit(stage.Controller(53)) : nullptr;
    if (editor == nullptr)
        return stage.Check(false, "the scale editor opened");
    bool ok = stage.Check(TypeAxis(stage, *editor, 1004, "150"), "150 percent typed along X");
    ok = stage.Check(PageChild(*editor, 1012) != nullptr && PageChild(*editor, 1012)->isVisible(),
                     "the absolute and relative buttons are shown") &&
         ok;
    Slide(stage, *editor, 1000);
    ok = stage.Pictures("controller-scale") && ok;
    return stage.context.Finish() && ok;
}

// The cube carries "swing": a key a frame, 30 degrees further about Y each, four keys.
void AddSwing(ControllerStage& stage)
{
    const SWworldlock hold(*stage.world);
    SWobjectnode* cube = stage.Node(kCube);
    AnimationTrack& swing = cube->GetAnimationTracks().AddTrack(std::string("swing"));
    for (uint32_t key = 0; key < 4; ++key)
        swing.SetKey(key, SWmatrix::Rotation(0.5235988f * static_cast<float>(key), 1));
}

bool SceneKeyframes(EditorsSceneContext& context, bool jump)
{
    ControllerStage stage(context);
    if (!stage.started)
        return false;
    AddSwing(stage);
    SWactionnode* action = stage.Controller(jump ? 47 : 44);
    if (auto* jumpMotion = dynamic_cast<SWkeyframejumpmotion*>(action->GetMotion()))
        jumpMotion->SetBlockName(std::string("swing")); // the jump page's combo chooses nothing
    CVTND_ActionControllerDlg* editor = stage.Edit(action);
    if (editor == nullptr)
        return stage.Check(false, "the key-frame editor opened");
    bool ok = true;
    if (auto* combo = dynamic_cast<pf::ComboBox*>(PageChild(*editor, 1257))) {
        const int32_t swing = combo->findExact("swing");
        ok = stage.Check(swing >= 0, "the cube's animation is offered") && ok;
        if (swing >= 0 && !jump)
            stage.sim.chooseCombo(*combo, swing);
    }
    // Play: the end one frame back from the limit, to the last key; jump: to frame 2.
    StepBar(stage, PageChild(*editor, 1081), jump, jump ? 2 : 1);
    ok = stage.Pictures(jump ? "controller-jump" : "controller-keyframes") && ok;
    return stage.context.Finish() && ok;
}

bool SceneKeyframePlay(EditorsSceneContext& context)
{
    return SceneKeyframes(context, false);
}

bool SceneKeyframeJump(EditorsSceneContext& context)
{
    return SceneKeyframes(context, true);
}

// Ten vertex frames that swell the cube's mesh by 5 % a frame.
void AddVertexFrames(ControllerStage& stage)
{
    const SWworldlock hold(*stage.world);
    SWobjectnode* cube = stage.Node(kCube);
    auto* mesh = dynamic_cast<SWmesh*>(cube->GetGeometry());
    if (mesh == nullptr || mesh->GetVertexCount() == 0)
        return;
    auto table = std::make_unique<VertexFrameTable>();
    const uint32_t vertices = static_cast<uint32_t>(mesh->GetVertexCount());
    if (!table->Allocate(10, vertices))
        return;
    const float* base = mesh->GetVertices();
    for (uint32_t frame = 0; frame < 10; ++frame) {
        const std::span<float> out = table->GetFrameVertices(frame);
        for (size_t i = 0; i < out.size() && base != nullptr; ++i)
            out[i] = base[i] * (1.0f + 0.05f * static_cast<float>(frame));
    }
    table->SetReady(true);
    cube->SetVertexFrameTable(std::move(table));
}

bool SceneVertex(EditorsSceneContext& context)
{
    ControllerStage stage(context);
    if (!stage.started)
        return false;
    AddVertexFrames(stage);
    CVTND_ActionControllerDlg* editor = stage.Edit(stage.Controller(50));
    if (editor == nullptr)
        return stage.Check(false, "the vertex editor opened");
    bool ok = stage.Check(editor->frameLimit == 10, "the frame limit is the cube's vertex frame count");
    StepBar(stage, PageChild(*editor, 1081), false, 1);
    ok = stage.Pictures("controller-vertex") && ok;
    return stage.context.Finish() && ok;
}

bool SceneTarget(EditorsSceneContext& context)
{
    ControllerStage stage(context);
    if (!stage.started)
        return false;
    SWactionnode* action = stage.Controller(42);
    if (auto* aim = action != nullptr ? dynamic_cast<SWtracktargetmotion*>(action->GetMotion()) : nullptr)
        aim->SetTargetName(std::string(kFloor));
    CVTND_ActionControllerDlg* editor = stage.Edit(action);
    if (editor == nullptr)
        return stage.Check(false, "the track-target editor opened");
    bool ok = stage.Check(PageChild(*editor, 1358) != nullptr && PageChild(*editor, 1358)->getText() == kFloor,
                          "the target is found and named");
    ok = stage.Pictures("controller-target") && ok;
    return stage.context.Finish() && ok;
}

bool SceneSpeech(EditorsSceneContext& context)
{
    ControllerStage stage(context);
    if (!stage.started)
        return false;
    {
        const SWworldlock hold(*stage.world);
        auto* script = new SWspeechdata("greeting");
        script->SetString(1, kCube);
        script->SetString(2, kFloor);
        stage.world->GetRootObject()->AddChild(script);
        auto sound = std::make_unique<SWsound>("Mouthworks Sound");
        stage.world->GetSoundList().Add(std::move(sound))->SetWorld(stage.world);
    }
    CVTND_ActionControllerDlg* editor = stage.Edit(stage.Controller(60));
    if (editor == nullptr)
        return stage.Check(false, "the speech editor opened");
    bool ok = stage.Check(PageChild(*editor, 1004) != nullptr && PageChild(*editor, 1004)->getText() == "greeting",
                          "the script is named");
    ok = stage.Pictures("controller-speech") && ok;
    return stage.context.Finish() && ok;
}

bool SceneNoMotion(EditorsSceneContext& context)
{
    ControllerStage stage(context);
    CVTND_ActionControllerDlg* editor = stage.started ? stage.Edit(stage.Controller(52)) : nullptr;
    if (editor == nullptr)
        return stage.Check(false, "the host opened on a kind without a motion");
    bool ok = stage.Check(editor->CurrentPage() == nullptr && !editor->child(1352)->isEnabled(),
                          "no page, the slider disabled");
    ok = stage.Pictures("controller-no-motion") && ok;
    return stage.context.Finish() && ok;
}

const EditorsSceneRegistration kScenes[] = {
    {"controller-rotate", &SceneRotate},          {"controller-scale", &SceneScale},
    {"controller-keyframes", &SceneKeyframePlay}, {"controller-jump", &SceneKeyframeJump},
    {"controller-vertex", &SceneVertex},          {"controller-target", &SceneTarget},
    {"controller-speech", &SceneSpeech},          {"controller-no-motion", &SceneNoMotion},
};

} // namespace
