// The tooltip, particle system and sound editors' scenes: tooltip-editor (the editor beside the 3D view that shows
// the tooltip), tooltip-textures (the composed texture of each case as an RGBA PNG, premultiplied as stored),
// particle-editor (a key selected, its colour in the sliders), particle-test (the 3D view a few frames into a test
// run), sound-editor (the play line at 1.2 s of the clock) and sound-editor-midi.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "apps/editors-shots/designer_stage.h"
#include "apps/editors-shots/editors_scenes.h"
#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/main_frame.h"
#include "designer/editing/picker_receptors.h"
#include "designer/editors/arcball_dlg.h"
#include "designer/editors/designer_tooltip.h"
#include "designer/editors/details_particles_dlg.h"
#include "designer/editors/details_sound_dlg.h"
#include "designer/editors/details_tooltip_dlg.h"
#include "designer/editors/gradient_store.h"
#include "designer/editors/trackball_dlg.h"
#include "designer/workspace/audio_waveform_ctrl.h"
#include "designer/workspace/gradient.h"
#include "designer/workspace/property_drag_source.h"
#include "designer/workspace/value_generator.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/arcball_motion.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/property.h"
#include "engine/core/matrix.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/resources/image32.h"
#include "engine/resources/particle_node.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "platform/base/atomic_file.h"
#include "platform/gfx/png_file.h"
#include "platform/media/riff_wave_writer.h"
#include "platform/testing/user_sim.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/tab_control.h"
#include "platform/ui/controls/trackbar.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr const char* kFace = "DejaVu Sans";

// The objects of these scenes: two tooltips, a particle system with a gradient record, a wave and a MIDI sound.
struct Objects {
    VTND_ToolTip* help = nullptr;
    VTND_ToolTip* note = nullptr;
    SWobjectnode* sparks = nullptr;
    SWsound* chime = nullptr;
    SWsound* tune = nullptr;
};

VTND_ToolTip* MakeTooltip(DesignerStage& stage, const std::string& name, const std::string& text)
{
    VTND_ToolTip* tip = CreateDesignerTooltip(*stage.world, name);
    tip->SetFaceName(kFace);
    tip->charHeight = 14;
    tip->SetText(text);
    tip->ApplyFont();
    tip->Render();
    return tip;
}

SWsound* AddSound(DesignerStage& stage, const std::string& name, const std::string& path)
{
    auto sound = std::make_unique<SWsound>(name);
    sound->SetFileName(path);
    const SWworldlock hold(*stage.world);
    SWsound* added = stage.world->GetSoundList().Add(std::move(sound));
    added->SetWorld(stage.world);
    return added;
}

Objects AddObjects(DesignerStage& stage)
{
    Objects o;
    o.help = MakeTooltip(stage, "help", "Click to open the door");
    o.note = MakeTooltip(stage, "note", "Mind the step\r\nwhen leaving");
    o.note->italic = 1;
    o.note->hMargin = 10;
    o.note->vMargin = 4;
    o.note->backRGB[2] = 120;
    o.note->ApplyFont();
    o.note->Render();
    {
        const SWworldlock hold(*stage.world);
        o.note->SetPosition(40.0f, 30.0f);
        o.note->SetShownPosition(40, 30);
        auto* system = stage.world->GetRootObject()->AddGeometry(std::make_unique<SWparticlenode>());
        o.sparks = new SWobjectnode;
        o.sparks->SetName(std::string("sparks"));
        // Beside the cube (half a side of 1 about the origin), on the side of the view the editor leaves uncovered.
        o.sparks->SetInitialMatrix(SWmatrix::Translation(1.6f, 0.6f, -0.8f));
        auto* particles = static_cast<SWparticlenode*>(system);
        particles->GetParticles().SetSize(0.12f);
        particles->GetParticles().SetEmissionSpeed(1.2f);
        particles->GetParticles().SetLifeTime(900.0f);
        stage.world->AddNode(o.sparks, nullptr);
        o.sparks->SetGeometry(system);
    }
    if (auto* store = dynamic_cast<CVTND_GradientPersinstancy*>(stage.app->GetGradientStore())) {
        CVTND_Gradient control;
        CVTND_GradientFields fields = CVTND_GradientFields::Defaults();
        fields.keyColours[1] = 0x00FF8000u;
        fields.keyColours[3] = 0x002060FFu;
        control.SetFields(fields);
        if (CVTND_GradientPersinstancyNode* record = store->FindOrCreate(*stage.world, o.sparks, true))
            record->StoreFromControl(control);
    }
    // A mono 8-bit 11,025 Hz wave of two seconds: a tone that swells and fades.
    const std::string wave = stage.context.dir + "/chime.wav";
    if (auto writer = pf::RiffWaveWriter::create(wave, pf::WaveFormat::pcm(1, 11025, 8))) {
        std::vector<uint8_t> samples(22050);
        for (size_t i = 0; i < samples.size(); ++i) {
            const double envelope = i < 11025 ? i / 11025.0 : (22050 - i) / 11025.0;
            const int swing = static_cast<int>(120.0 * envelope) + 1;
            samples[i] = static_cast<uint8_t>(128 + (static_cast<int>(i * 37 % (2 * swing)) - swing));
        }
        writer->write(samples);
        writer->finish();
    }
    o.chime = AddSound(stage, "chime", wave);
    const std::string midi = stage.context.dir + "/tune.mid";
    pf::writeFileAtomically(midi, std::string("MThd\0\0\0\6\0\0\0\1\0\x60", 14));
    o.tune = AddSound(stage, "tune", midi);
    return o;
}

// The editor at the screen's right, beside the main frame. Its client area is what a live run compares: the 3D
// view keeps refining its picture while the world is still.
void PlaceAtRight(DesignerStage& stage, pf::Window* editor)
{
    if (editor == nullptr)
        return;
    const pf::Rect r = editor->screenRect();
    editor->show(pf::SW_HIDE);
    editor->move(pf::Rect::fromXywh(1280 - r.width() - 8, 60, r.width(), r.height()));
    editor->show(pf::SW_SHOW);
    stage.sim.pump();
    stage.context.shown = {editor};
}

pf::Window* Edit(DesignerStage& stage, const CVTND_Object& object)
{
    pf::Window* editor = stage.app->EditObject(object, false);
    PlaceAtRight(stage, editor);
    return editor;
}

bool SceneTooltipEditor(EditorsSceneContext& context)
{
    DesignerStage stage(context);
    if (!stage.started)
        return false;
    Objects o = AddObjects(stage);
    auto* editor = dynamic_cast<CVTND_DetailsTooltipDlg*>(
        Edit(stage, CVTND_Object(ObjectType::kTooltip, static_cast<CVTN_ToolTip*>(o.note))));
    if (editor == nullptr)
        return stage.Check(false, "the tooltip editor opened");
    stage.sim.typeText(*editor->child(1004), " now");
    stage.sim.replaceText(*editor->child(1172), "16");
    stage.Settle(200);
    bool ok = stage.Check(o.note->IsShown(), "the tooltip is shown while its editor is open");
    ok = stage.Check(o.note->hMargin == 16, "the margin typed reached the tooltip") && ok;
    return stage.Done("tooltip-editor", ok);
}

bool WriteTexture(DesignerStage& stage, const VTND_ToolTip& tip, const std::string& name)
{
    const SWimage32* texture = tip.GetTexture();
    pf::PngImage image;
    image.width = texture->GetWidth();
    image.height = texture->GetHeight();
    image.pixels = pf::PngPixels::kBgra;
    image.bytes.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4);
    for (size_t i = 0; i < texture->PixelCount(); ++i) {
        const uint32_t p = texture->GetPixels()[i];
        for (size_t b = 0; b < 4; ++b)
            image.bytes[i * 4 + b] = static_cast<uint8_t>(p >> (8 * b));
    }
    std::string error;
    const std::string path = stage.context.dir + "/tooltip-texture-" + name + ".png";
    if (!pf::writePngFileWithAlpha(path, image, error)) {
        stage.context.failedWrite = path + ": " + error;
        return false;
    }
    stage.context.trace.push_back("texture " + name + ": " + std::to_string(tip.GetWidth()) + " x " +
                                  std::to_string(tip.GetHeight()) + " in " + std::to_string(image.width) + " x " +
                                  std::to_string(image.height));
    return true;
}

bool SceneTooltipTextures(EditorsSceneContext& context)
{
    DesignerStage stage(context);
    if (!stage.started)
        return false;
    VTND_ToolTip* tip = MakeTooltip(stage, "cases", "Align");
    tip->hMargin = 24;
    tip->vMargin = 12;
    bool ok = true;
    for (uint8_t v = 0; v < 3; ++v) {
        for (uint8_t h = 0; h < 3; ++h) {
            tip->hAlign = h;
            tip->vAlign = v;
            tip->Render();
            ok = WriteTexture(stage, *tip, "align-" + std::to_string(h) + std::to_string(v)) && ok;
        }
    }
    tip->hAlign = VTND_ToolTip::kLeft;
    tip->vAlign = VTND_ToolTip::kTop;
    tip->hMargin = 0;
    tip->vMargin = 0;
    tip->italic = 1;
    tip->SetText("Italic text");
    tip->ApplyFont();
    tip->Render();
    ok = WriteTexture(stage, *tip, "italic") && ok;
    tip->italic = 0;
    tip->ApplyFont();
    tip->hMargin = 10;
    tip->vMargin = 4;
    tip->SetText("Margins");
    tip->Render();
    ok = WriteTexture(stage, *tip, "margins-10-4") && ok;
    tip->hMargin = 0;
    tip->vMargin = 0;
    tip->textOpacity = 0xFF000000u;
    tip->backOpacity = 0x80000000u;
    tip->backRGB[0] = 40;
    tip->SetText("Opacity 255 on 128");
    tip->Render();
    ok = WriteTexture(stage, *tip, "opacity-255-128") && ok;
    tip->SetText("First line\nsecond\nand the third");
    tip->Render();
    ok = WriteTexture(stage, *tip, "three-lines") && ok;
    ok = stage.Check(tip->LayOut().size() == 3, "three lines laid out") && ok;
    // The last case in its editor, for a person to compare with its texture.
    Edit(stage, CVTND_Object(ObjectType::kTooltip, static_cast<CVTN_ToolTip*>(tip)));
    stage.Settle(60);
    return stage.Done("tooltip-textures", ok);
}

CVTND_DetailsParticlesDlg* OpenParticles(DesignerStage& stage, const Objects& o)
{
    CVTND_Object object;
    object.InitFromNode(o.sparks);
    return dynamic_cast<CVTND_DetailsParticlesDlg*>(Edit(stage, object));
}

bool SceneParticleEditor(EditorsSceneContext& context)
{
    DesignerStage stage(context);
    if (!stage.started)
        return false;
    const Objects o = AddObjects(stage);
    CVTND_DetailsParticlesDlg* editor = OpenParticles(stage, o);
    if (editor == nullptr)
        return stage.Check(false, "the particle editor opened");
    CVTND_Gradient& gradient = *editor->Gradient();
    stage.sim.click(gradient, {gradient.GetFields().keyPositions[1], gradient.BandRect().b - 2});
    stage.Settle(60);
    bool ok = stage.Check(gradient.GetFields().selectedKey == 1, "key 1 is selected");
    ok = stage.Check(editor->child(1044)->getText() == "255", "its red shows in the edit") && ok;
    return stage.Done("particle-editor", ok);
}

bool SceneParticleTest(EditorsSceneContext& context)
{
    DesignerStage stage(context);
    if (!stage.started)
        return false;
    const Objects o = AddObjects(stage);
    CVTND_DetailsParticlesDlg* editor = OpenParticles(stage, o);
    if (editor == nullptr)
        return stage.Check(false, "the particle editor opened");
    // A key's colour changed, so the system takes the gradient's colours.
    CVTND_Gradient& gradient = *editor->Gradient();
    stage.sim.click(gradient, {gradient.GetFields().keyPositions[0], gradient.BandRect().b - 2});
    stage.sim.moveTrackbar(*editor->item<pf::Trackbar>(1359), 240);
    stage.sim.click(*editor->child(CVTND_DetailsParticlesDlg::kIdStart));
    stage.Settle(400);
    const auto* particles = dynamic_cast<SWparticlenode*>(o.sparks->GetGeometry());
    bool ok = stage.Check(editor->TestRunCount() == 1, "one test emission runs");
    ok = stage.Check(particles->GetParticles().GetLiveCount() > 0, "particles live in the 3D view") && ok;
    return stage.Done("particle-test", ok);
}

bool SceneSoundEditor(EditorsSceneContext& context)
{
    DesignerStage stage(context);
    if (!stage.started)
        return false;
    const Objects o = AddObjects(stage);
    auto* editor = dynamic_cast<CVTND_DetailsSoundDlg*>(Edit(stage, CVTND_Object(o.chime)));
    if (editor == nullptr)
        return stage.Check(false, "the sound editor opened");
    const auto parsed = std::chrono::steady_clock::now() + std::chrono::seconds(20); // a busy machine's delays
    while (editor->Waveform()->IsParsing() && std::chrono::steady_clock::now() < parsed) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        stage.sim.pump();
    }
    stage.sim.click(*editor->child(1050));
    stage.Settle(60); // the frame starts the sound
    // Live, the clock is the real one and a busy machine stretches every step: the picture is taken once the 2 s
    // chime is 1.2 s in, while it still plays, however long the steps took.
    for (int i = 0; i < 1000 && o.chime->IsPlaying() && o.chime->GetPlayPosition() < 1200; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        stage.sim.advance(10);
    }
    bool ok = stage.Check(o.chime->IsPlaying(), "the sound plays");
    ok = stage.Check(editor->Waveform()->DrawnMarkerX(2).has_value(), "the play line is drawn") && ok;
    return stage.Done("sound-editor", ok);
}

bool SceneSoundEditorMidi(EditorsSceneContext& context)
{
    DesignerStage stage(context);
    if (!stage.started)
        return false;
    const Objects o = AddObjects(stage);
    auto* editor = dynamic_cast<CVTND_DetailsSoundDlg*>(Edit(stage, CVTND_Object(o.tune)));
    if (editor == nullptr)
        return stage.Check(false, "the sound editor opened");
    stage.Settle(60);
    bool ok = stage.Check(editor->child(1320)->getText().empty(), "a MIDI sound shows no format");
    return stage.Done("sound-editor-midi", ok);
}

const EditorsSceneRegistration kTooltipEditor("tooltip-editor", &SceneTooltipEditor);
const EditorsSceneRegistration kTooltipTextures("tooltip-textures", &SceneTooltipTextures);
const EditorsSceneRegistration kParticleEditor("particle-editor", &SceneParticleEditor);
const EditorsSceneRegistration kParticleTest("particle-test", &SceneParticleTest);
const EditorsSceneRegistration kSoundEditor("sound-editor", &SceneSoundEditor);
const EditorsSceneRegistration kSoundEditorMidi("sound-editor-midi", &SceneSoundEditorMidi);

// -- The arcball editor and the generator dialogs

SWactionnode* NewArcballAction(DesignerStage& stage)
{
    const SWworldlock hold(*stage.world);
    SWevent* event = stage.world->AddEventOfType(4);
    event->SetName(std::string("arcball timer"));
    SWactionkind* kind = stage.world->GetActionCategories().FindKind(45);
    return kind != nullptr ? event->CreateAction(kind) : nullptr;
}

CVTND_ControllerMotionArcballDlg* OpenArcball(DesignerStage& stage)
{
    SWactionnode* action = NewArcballAction(stage);
    if (action == nullptr)
        return nullptr;
    return dynamic_cast<CVTND_ControllerMotionArcballDlg*>(Edit(stage, CVTND_Object(action)));
}

bool SceneArcballNew(EditorsSceneContext& context)
{
    DesignerStage stage(context);
    if (!stage.started)
        return false;
    CVTND_ControllerMotionArcballDlg* editor = OpenArcball(stage);
    if (editor == nullptr)
        return stage.Check(false, "the arcball editor opened");
    stage.Settle(40);
    bool ok = stage.Check(editor->item<pf::ComboBox>(1293)->getCurSel() == 3, "left rotates XY");
    ok = stage.Check(editor->item<pf::ComboBox>(1376)->getCurSel() == 3, "the camera frame") && ok;
    return stage.Done("arcball-new", ok);
}

bool SceneArcballTarget(EditorsSceneContext& context)
{
    DesignerStage stage(context);
    if (!stage.started)
        return false;
    CVTND_ControllerMotionArcballDlg* editor = OpenArcball(stage);
    if (editor == nullptr)
        return stage.Check(false, "the arcball editor opened");
    stage.sim.chooseCombo(*editor->item<pf::ComboBox>(1376), 4);
    SWnode* cube = stage.world->GetRootNode()->FindByName("cube");
    // What the picker's receptor sends when a node is dropped on it.
    editor->send(kMsgNodeDropped, 0, reinterpret_cast<pf::LParam>(cube));
    stage.Settle(40);
    bool ok = stage.Check(editor->Motion()->GetChannel(5).GetTargetObject() == cube, "every channel targets the cube");
    ok = stage.Check(editor->child(1003)->isVisible(), "the picker shows") && ok;
    return stage.Done("arcball-target", ok);
}

// The generator dialog of type over a value editor shown in degrees (a colour's unit with colour): the particle
// editor's wobble made animatable.
CVTND_GeneratorDialog* OpenGenerator(DesignerStage& stage, uint8_t type, CVTND_ValueGenerator::DialogSlot slot,
                                     bool colour = false)
{
    CVTND_DetailsParticlesDlg* editor = OpenParticles(stage, AddObjects(stage));
    auto* value = editor != nullptr ? dynamic_cast<CVTND_ValueGenerator*>(editor->child(1031)) : nullptr;
    if (value != nullptr)
        value->SetAnimated(true);
    stage.sim.pump();
    if (value == nullptr)
        return nullptr;
    if (colour)
        value->SetUnit(2);
    for (int i = 0; i < 2; ++i) {
        stage.sim.expectMenu(CVTND_ValueGenerator::kMenuCommandBase + type);
        stage.sim.click(static_cast<pf::Window&>(*value->GetButton()));
        stage.sim.pump();
    }
    CVTND_GeneratorDialog* dialog = value->GetDialog(slot);
    if (dialog != nullptr) {
        dialog->move(pf::Rect::fromXywh(20, 560, dialog->screenRect().width(), dialog->screenRect().height()));
        stage.sim.pump();
        stage.context.shown = {dialog};
    }
    return dialog;
}

bool ScenePolynomial(EditorsSceneContext& context)
{
    DesignerStage stage(context);
    if (!stage.started)
        return false;
    CVTND_GeneratorDialog* dialog =
        OpenGenerator(stage, SWgenerator::kPolynomial, CVTND_ValueGenerator::DialogSlot::kPolynomial);
    if (dialog == nullptr)
        return stage.Check(false, "the polynomial dialog opened");
    stage.sim.replaceText(*dialog->child(1182), "90");
    stage.sim.replaceText(*dialog->child(1181), "2");
    stage.Settle(40);
    bool ok = stage.Check(dialog->child(1182)->getText() == "90", "the amplitude shows in degrees");
    return stage.Done("polynomial", ok);
}

bool WaveformScene(EditorsSceneContext& context, bool colour)
{
    DesignerStage stage(context);
    if (!stage.started)
        return false;
    CVTND_GeneratorDialog* dialog =
        OpenGenerator(stage, SWgenerator::kSine, CVTND_ValueGenerator::DialogSlot::kWaveform, colour);
    if (dialog == nullptr)
        return stage.Check(false, "the waveform dialog opened");
    bool ok = true;
    if (colour) {
        ok = stage.Check(!dialog->child(1188)->isEnabled() && !dialog->child(1195)->isEnabled(),
                         "both sign boxes are disabled for a colour") &&
             ok;
    } else {
        stage.sim.replaceText(*dialog->child(1176), "45");
        stage.sim.replaceText(*dialog->child(1182), "400");
        stage.sim.click(*dialog->child(1193));
        ok = stage.Check(!dialog->child(1177)->isEnabled(), "infinite greys the decay group") && ok;
    }
    stage.Settle(40);
    return stage.Done(colour ? "waveform-colour" : "waveform", ok);
}

bool SceneWaveform(EditorsSceneContext& context)
{
    return WaveformScene(context, false);
}

bool SceneWaveformColour(EditorsSceneContext& context)
{
    return WaveformScene(context, true);
}

bool ScenePropertyGenerator(EditorsSceneContext& context)
{
    DesignerStage stage(context);
    if (!stage.started)
        return false;
    CVTND_GeneratorDialog* dialog =
        OpenGenerator(stage, SWgenerator::kProperty, CVTND_ValueGenerator::DialogSlot::kProperty);
    if (dialog == nullptr)
        return stage.Check(false, "the property dialog opened");
    SWnode* cube = stage.world->GetRootNode()->FindByName("cube");
    auto speed = std::make_unique<SWproperty>(8);
    speed->SetName(std::string("speed"));
    SWproperty* property = nullptr;
    {
        const SWworldlock hold(*stage.world);
        property = cube->AddVariable(std::move(speed));
    }
    // What the Properties panel and the field's receptor do with a property dragged onto the field.
    PropertyDragSource.InitFromNode(cube);
    dialog->send(kMsgPropertyDropped, 1004, reinterpret_cast<pf::LParam>(property));
    stage.Settle(40);
    bool ok = stage.Check(dialog->child(1004)->getText() == "NODE:cube.speed", "the dropped property is named");
    return stage.Done("property-generator", ok);
}

const EditorsSceneRegistration kArcballNew("arcball-new", &SceneArcballNew);
const EditorsSceneRegistration kArcballTarget("arcball-target", &SceneArcballTarget);
const EditorsSceneRegistration kPolynomial("polynomial", &ScenePolynomial);
const EditorsSceneRegistration kWaveform("waveform", &SceneWaveform);
const EditorsSceneRegistration kWaveformColour("waveform-colour", &SceneWaveformColour);
const EditorsSceneRegistration kPropertyGenerator("property-generator", &ScenePropertyGenerator);

// -- The trackball editor, tab by tab

bool TrackballScene(EditorsSceneContext& context, int32_t tab, bool none, const char* picture)
{
    DesignerStage stage(context);
    if (!stage.started)
        return false;
    SWactionnode* action = nullptr;
    {
        const SWworldlock hold(*stage.world);
        SWevent* event = stage.world->AddEventOfType(4);
        event->SetName(std::string("trackball timer"));
        SWactionkind* kind = stage.world->GetActionCategories().FindKind(63);
        action = kind != nullptr ? event->CreateAction(kind) : nullptr;
    }
    auto* editor = action != nullptr ? dynamic_cast<CVTND_TrackballDlg*>(Edit(stage, CVTND_Object(action))) : nullptr;
    if (editor == nullptr)
        return stage.Check(false, "the trackball editor opened");
    stage.sim.selectTab(*editor->item<pf::TabControl>(1271), tab);
    bool ok = true;
    if (none) {
        stage.sim.chooseCombo(*editor->Page(2)->item<pf::ComboBox>(1119), 0);
        ok = stage.Check(!editor->Page(2)->child(1376)->isEnabled(), "None greys the page's frame") && ok;
    }
    stage.Settle(40);
    return stage.Done(picture, ok);
}

bool SceneTrackballLeft(EditorsSceneContext& context)
{
    return TrackballScene(context, 0, false, "trackball-left");
}
bool SceneTrackballMiddle(EditorsSceneContext& context)
{
    return TrackballScene(context, 1, false, "trackball-middle");
}
bool SceneTrackballRight(EditorsSceneContext& context)
{
    return TrackballScene(context, 2, false, "trackball-right");
}
bool SceneTrackballGlobal(EditorsSceneContext& context)
{
    return TrackballScene(context, 3, false, "trackball-global");
}
bool SceneTrackballNone(EditorsSceneContext& context)
{
    return TrackballScene(context, 1, true, "trackball-none");
}

const EditorsSceneRegistration kTrackballLeft("trackball-left", &SceneTrackballLeft);
const EditorsSceneRegistration kTrackballMiddle("trackball-middle", &SceneTrackballMiddle);
const EditorsSceneRegistration kTrackballRight("trackball-right", &SceneTrackballRight);
const EditorsSceneRegistration kTrackballGlobal("trackball-global", &SceneTrackballGlobal);
const EditorsSceneRegistration kTrackballNone("trackball-none", &SceneTrackballNone);

} // namespace
