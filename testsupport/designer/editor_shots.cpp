#include "testsupport/designer/editor_shots.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <thread>
#include <unistd.h>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/eventedit/background_action_dlg.h"
#include "designer/eventedit/condition_editor_dlg.h"
#include "designer/eventedit/event_edit_dlg.h"
#include "designer/eventedit/expression_editor_dlg.h"
#include "designer/eventedit/load_world_dlg.h"
#include "designer/eventedit/play_sound_dlg.h"
#include "designer/eventedit/stop_controller_dlg.h"
#include "designer/workspace/audio_waveform_ctrl.h"
#include "designer/workspace/event_timer_dlg.h"
#include "designer/workspace/workspace_controls.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/property.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/sub_world_loader.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/world_file.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "platform/base/user_constants.h"
#include "platform/media/riff_wave_writer.h"
#include "platform/testing/user_sim.h"
#include "platform/time/virtual_clock.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/dialog/dialog.h"
#include "testsupport/designer/drag_frame.h"
#include "testsupport/designer/sample_world.h"
#include "testsupport/designer/test_map_canvas.h"
#include "testsupport/designer/test_palette.h"

namespace designertest {

namespace {

struct Stage {
    explicit Stage(CVTNDesignerApp& app)
        : sample(app), frame(pf::Rect::fromXywh(40, 40, 820, 520)), palette(frame, pf::Rect::fromXywh(0, 0, 160, 520)),
          canvas(frame, pf::Rect::fromXywh(160, 0, 660, 520))
    {
    }
    SampleWorld sample;
    DragFrame frame;
    TestPalette palette;
    TestMapCanvas canvas;
};

// An editor opened through the factory, moved onto the map at (x, y) of the frame's client area.
pf::Window* OpenOverMap(CVTNDesignerApp& app, Stage& stage, EditorShot& shot, const CVTND_Object& object, pf::Point at)
{
    pf::Window* editor = app.EditObject(object, false);
    if (editor == nullptr)
        return nullptr;
    const pf::Point origin = stage.frame.clientToScreen(at);
    const pf::Rect r = editor->screenRect();
    editor->move(r.offsetBy(origin.x - r.l, origin.y - r.t));
    // A live window manager may hand the focus back to the frame while the editor first paints, leaving its
    // controls clipped away: once the editor is up, it paints again.
    if (shot.waitShown)
        shot.waitShown();
    editor->invalidate(true);
    return editor;
}

bool Finish(pf::Window& editor, const std::string& scene, pf::UserSim& sim, EditorShot& shot)
{
    sim.pump();
    bool ok = shot.picture(scene);
    ok = shot.compareLive(editor, scene) && ok;
    if (shot.hold)
        shot.hold();
    return ok;
}

bool EventEditorNew(CVTNDesignerApp& app, Stage& stage, pf::UserSim& sim, EditorShot& shot)
{
    pf::Window* editor = OpenOverMap(app, stage, shot, CVTND_Object(ObjectType::kEvent, nullptr), {300, 60});
    return editor != nullptr && Finish(*editor, "event-editor-new", sim, shot);
}

bool EventEditor(CVTNDesignerApp& app, Stage& stage, pf::UserSim& sim, EditorShot& shot)
{
    SampleWorld& s = stage.sample;
    SWactionnode* condition = s.AddAction(*s.click, 25);
    SWactionnode* shown = s.AddAction(*s.click, 21);
    shown->SetThenLink(condition->GetActionId());
    s.AddAction(*s.click, 22)->SetElseLink(condition->GetActionId());
    s.AddAction(*s.click, 7);
    auto* editor = dynamic_cast<CVTND_EventEditDlg*>(OpenOverMap(app, stage, shot, CVTND_Object(s.click), {300, 60}));
    if (editor == nullptr)
        return false;
    sim.selectListViewItem(*editor->item<pf::ListView>(CVTND_EventEditDlg::kIdActions), 1);
    const bool selected = editor->SelectedAction() == shown;
    if (!selected && shot.trace != nullptr)
        shot.trace->push_back("the hide action is not the selected one");
    return Finish(*editor, "event-editor", sim, shot) && selected;
}

bool TimerDialog(CVTNDesignerApp&, Stage& stage, pf::UserSim& sim, EditorShot& shot)
{
    SampleWorld& s = stage.sample;
    s.timer->SetTimerInterval(1000.0f);
    sim.mouseMove(stage.frame.clientToScreen({420, 160}));
    bool ok = false;
    sim.onModal(CVTND_EventTimerDlg::kIdd, [&](pf::Dialog& dialog) {
        if (shot.waitShown)
            shot.waitShown();
        ok = dialog.child(CVTND_EventTimerDlg::kIdInterval)->text() == "1000";
        ok = Finish(dialog, "timer-dialog", sim, shot) && ok;
        sim.click(*dialog.child(pf::IDCANCEL));
    });
    EditTimerEventParameters(&stage.frame, *s.timer);
    return ok;
}

bool ExpressionEditor(CVTNDesignerApp& app, Stage& stage, pf::UserSim& sim, EditorShot& shot)
{
    SampleWorld& s = stage.sample;
    auto level = std::make_unique<SWproperty>(kTypeFloat);
    level->SetName(std::string("level"));
    SWproperty* target = s.object->AddVariable(std::move(level));
    SWexpression* expression = s.expression->GetExpression();
    expression->SetText(std::string("NODE:object0.level*2+1"));
    expression->SetTargetText(std::string("NODE:object0.level"));
    expression->SetTargetVariable(target);
    pf::Window* editor = OpenOverMap(app, stage, shot, CVTND_Object(s.expression), {240, 80});
    return editor != nullptr && Finish(*editor, "expression-editor", sim, shot);
}

SWproperty* AddLevel(SWnode& node, const char* name)
{
    auto level = std::make_unique<SWproperty>(kTypeFloat);
    level->SetName(std::string(name));
    return node.AddVariable(std::move(level));
}

SWactionnode* AddNamed(SampleWorld& s, SWevent& event, int32_t kind, const std::string& target)
{
    SWactionnode* action = s.AddAction(event, kind);
    action->AddArgument(target.c_str(), SWdatanode::kString, true);
    return action;
}

bool ConditionEditor(CVTNDesignerApp& app, Stage& stage, pf::UserSim& sim, EditorShot& shot)
{
    SampleWorld& s = stage.sample;
    auto* condition = dynamic_cast<SWconditionaction*>(s.condition);
    if (condition == nullptr)
        return false;
    condition->SetOperand1(AddLevel(*s.object, "level"));
    condition->settings.constant = 2.5f;
    condition->settings.mask = 5;
    pf::Window* editor = OpenOverMap(app, stage, shot, CVTND_Object(s.condition), {160, 40});
    return editor != nullptr && Finish(*editor, "condition-editor", sim, shot);
}

bool QueueEditor(CVTNDesignerApp& app, Stage& stage, pf::UserSim& sim, EditorShot& shot)
{
    SampleWorld& s = stage.sample;
    s.queueMembers.back()->SetWait(1);
    pf::Window* editor = OpenOverMap(app, stage, shot, CVTND_Object(s.queue), {280, 60});
    return editor != nullptr && Finish(*editor, "queue-editor", sim, shot);
}

bool StereoEditor(CVTNDesignerApp& app, Stage& stage, pf::UserSim& sim, EditorShot& shot)
{
    SampleWorld& s = stage.sample;
    SWactionnode* stereo = AddNamed(s, *s.click, 37, s.camera->GetName().value_or(std::string()));
    pf::Window* editor = OpenOverMap(app, stage, shot, CVTND_Object(stereo), {300, 120});
    return editor != nullptr && Finish(*editor, "stereo-editor", sim, shot);
}

bool StopControllerEditor(CVTNDesignerApp& app, Stage& stage, pf::UserSim& sim, EditorShot& shot)
{
    SampleWorld& s = stage.sample;
    const std::string node = s.object->GetName().value_or(std::string());
    std::vector<SWactionnode*> motions;
    for (const int32_t kind : {41, 42, 43, 44})
        motions.push_back(AddNamed(s, *s.timer, kind, node));
    auto* stop = dynamic_cast<SWstopmotionsaction*>(AddNamed(s, *s.click, 46, node));
    if (stop == nullptr)
        return false;
    stop->AddTarget(motions[1]->GetActionId());
    stop->AddTarget(motions[3]->GetActionId());
    pf::Window* editor = OpenOverMap(app, stage, shot, CVTND_Object(stop), {200, 60});
    return editor != nullptr && Finish(*editor, "stop-controller-editor", sim, shot);
}

// The seven small editors one after the other, each photographed and closed again.
bool TextFlagEditors(CVTNDesignerApp& app, Stage& stage, pf::UserSim& sim, EditorShot& shot)
{
    SampleWorld& s = stage.sample;
    bool ok = true;
    for (const int32_t kind : {10, 20, 40, 21, 34, 55, 56}) {
        SWactionnode* action = s.AddAction(*s.click, kind);
        if (kind == 10 || kind == 20)
            action->AddArgument(kind == 10 ? "http://example.org/next.html" : "level2.vto", SWdatanode::kString, true);
        pf::Window* editor = OpenOverMap(app, stage, shot, CVTND_Object(action), {280, 120});
        if (editor == nullptr)
            return false;
        ok = Finish(*editor, "text-flag-" + std::to_string(kind), sim, shot) && ok;
        editor->destroy();
        sim.pump();
    }
    return ok;
}

// The set-background editor on each page in turn, chosen in its combo box as the user does.
bool BackgroundPages(CVTNDesignerApp& app, Stage& stage, pf::UserSim& sim, EditorShot& shot)
{
    static constexpr const char* kPages[] = {"solid", "texture", "linear", "radial", "corners", "checker"};
    SampleWorld& s = stage.sample;
    SWactionnode* action = s.AddAction(*s.click, 19);
    auto* editor =
        dynamic_cast<CVTND_ActionBackgroundDlg*>(OpenOverMap(app, stage, shot, CVTND_Object(action), {200, 60}));
    if (editor == nullptr)
        return false;
    bool ok = true;
    for (int32_t page = 0; page < 6; ++page) {
        sim.chooseCombo(*editor->item<pf::ComboBox>(CVTND_ActionBackgroundDlg::kIdKind), page);
        ok = editor->PageIndex() == page && ok;
        ok = Finish(*editor, std::string("background-") + kPages[page], sim, shot) && ok;
    }
    return ok;
}

// A folder of the scene's own files, gone with the scene.
struct ScratchFolder {
    ScratchFolder()
        : path(std::filesystem::temp_directory_path() / ("vortan-editor-shots-" + std::to_string(::getpid())))
    {
        std::filesystem::create_directories(path);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::filesystem::path path;
};

bool PlaySoundEditor(CVTNDesignerApp& app, Stage& stage, pf::UserSim& sim, EditorShot& shot)
{
    SampleWorld& s = stage.sample;
    ScratchFolder folder;
    const std::string wave = (folder.path / "tone.wav").string();
    auto writer = pf::RiffWaveWriter::create(wave, pf::WaveFormat::pcm(1, 8000, 8));
    if (writer == nullptr)
        return false;
    std::vector<uint8_t> samples(20000); // 2.5 s of a tone that swells and fades, to give the envelope a shape
    for (size_t i = 0; i < samples.size(); ++i) {
        const double swell = std::sin(3.14159265 * static_cast<double>(i) / samples.size());
        samples[i] = static_cast<uint8_t>(128.0 + 120.0 * swell * std::sin(static_cast<double>(i) * 0.3));
    }
    if (!writer->write(samples) || !writer->finish())
        return false;
    s.sound->SetFileName(wave);
    SWactionnode* action = AddNamed(s, *s.click, 7, s.sound->GetName());
    if (auto* play = dynamic_cast<SWsoundaction*>(action)) {
        play->settings.startMs = 400;
        play->settings.endMs = 2100;
    }
    auto* editor = OpenOverMap(app, stage, shot, CVTND_Object(action), {160, 60});
    auto* waveform =
        editor != nullptr
            ? static_cast<pf::Dialog*>(editor)->item<CVTND_AudioWaveformCtrl>(CVTND_ActionPlaySoundDlg::kIdWaveform)
            : nullptr;
    if (waveform == nullptr)
        return false;
    // The envelope is parsed on a thread of its own, which a busy machine may hold up for seconds; the wait is in
    // real time and leaves the clock where it was, so that every run takes the same picture.
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         waveform->IsParsing() && std::chrono::steady_clock::now() < end;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        sim.pump();
    }
    // Play, then the world's sound step starts what it queued; the clock runs until the preview is 1.2 s in, the
    // editor's timer moving the marker with the sound, which is then held so that the picture stands still.
    sim.click(*static_cast<pf::Dialog*>(editor)->child(CVTND_ActionPlaySoundDlg::kIdPlay));
    for (SWsound* sound : s.world.TakeSoundQueues().play)
        s.world.GetSoundList().Play(sound);
    const bool realTime = dynamic_cast<pf::VirtualClock*>(&pf::clock()) == nullptr;
    for (int i = 0; i < 500 && s.sound->GetPlayPosition() < 400 + 1200; ++i) {
        if (realTime)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        sim.advance(10);
    }
    s.sound->Halt();
    sim.advance(10);
    const bool moved = s.sound->GetPlayPosition() >= 400 + 1200 && waveform->MarkerX(2) > waveform->MarkerX(0);
    if (!moved && shot.trace != nullptr)
        shot.trace->push_back("the play marker did not follow the sound");
    const bool ok = Finish(*editor, "play-sound-editor", sim, shot) && moved;
    sim.click(*static_cast<pf::Dialog*>(editor)->child(CVTND_ActionPlaySoundDlg::kIdStop));
    return ok;
}

bool LoadWorldEditor(CVTNDesignerApp& app, Stage& stage, pf::UserSim& sim, EditorShot& shot)
{
    SampleWorld& s = stage.sample;
    ScratchFolder folder;
    SWactionnode* action = s.AddAction(*s.click, 54);
    for (const char* name : {"hall", "tower"}) {
        SWworld level;
        auto* node = new SWobjectnode; // the level's tree owns it
        node->SetName(std::string(name) + "-room");
        level.AddNode(node, nullptr);
        if (SaveWorldFile(level, WorldFileMode::kScene, (folder.path / (std::string(name) + ".vtn")).string()) !=
            DocumentStatus::kOk)
            return false;
        s.world.GetSubWorlds().Add(name)->SetFileName(std::string(name) + ".vtn");
        action->AddArgument(name, SWdatanode::kString, true);
    }
    CVTN_SubWorldLoader::Of(s.world).SetBaseFolder(folder.path.string());
    auto* editor =
        dynamic_cast<CVTND_ActionLoadVTODlg*>(OpenOverMap(app, stage, shot, CVTND_Object(action), {180, 40}));
    if (editor == nullptr)
        return false;
    sim.click(*editor->child(CVTND_ActionLoadVTODlg::kIdLoadNow));
    const bool shown = editor->ShownInstances().size() == 2;
    if (!shown && shot.trace != nullptr)
        shot.trace->push_back("Load now did not show both worlds");
    const bool ok = Finish(*editor, "load-world-editor", sim, shot) && shown;
    editor->destroy(); // the instances go before their files
    return ok;
}

} // namespace

bool IsEditorScene(const std::string& scene)
{
    for (const char* name : kEditorScenes) {
        if (scene == name)
            return true;
    }
    return false;
}

bool RunEditorScene(const std::string& scene, CVTNDesignerApp& app, pf::UserSim& sim, EditorShot& shot)
{
    RegisterWorkspaceControls(pf::ui());
    Stage stage(app);
    sim.pump();
    if (scene == "condition-editor")
        return ConditionEditor(app, stage, sim, shot);
    if (scene == "queue-editor")
        return QueueEditor(app, stage, sim, shot);
    if (scene == "stereo-editor")
        return StereoEditor(app, stage, sim, shot);
    if (scene == "stop-controller-editor")
        return StopControllerEditor(app, stage, sim, shot);
    if (scene == "text-flag-editors")
        return TextFlagEditors(app, stage, sim, shot);
    if (scene == "background-pages")
        return BackgroundPages(app, stage, sim, shot);
    if (scene == "play-sound-editor")
        return PlaySoundEditor(app, stage, sim, shot);
    if (scene == "load-world-editor")
        return LoadWorldEditor(app, stage, sim, shot);
    if (scene == "event-editor-new")
        return EventEditorNew(app, stage, sim, shot);
    if (scene == "event-editor")
        return EventEditor(app, stage, sim, shot);
    if (scene == "timer-dialog")
        return TimerDialog(app, stage, sim, shot);
    return scene == "expression-editor" && ExpressionEditor(app, stage, sim, shot);
}

} // namespace designertest
