// vortan-controls-demo [--trace] [--wav FILE] [--live [--xvfb] [--exit-after MS]] <output folder>
// A dialog with one of each workspace control, bound to a small world made in memory (a turning motion whose axis
// the value editor edits, a waveform and a polynomial generator, a texture with two hot spots, a sound), driven by
// a script as a person would: the dial, the point, the channel slider and its box, a gradient key, the colour and
// font buttons, the value editor and its generator menu, a node and two properties dropped, the sound's markers.
// Writes controls.png (the dialog) and controls-log.txt (every message the controls sent their dialog: message,
// wParam and what lParam pointed to); --trace prints the log too. The sound is FILE, or a generated tone written to
// the output folder as tone.wav.
//
// --live runs the same script in real windows and leaves the dialog open for a reviewer (the colour and font
// buttons then open the live dialogs); closing it ends the run. --xvfb runs on a private X server instead of
// $DISPLAY, also writes live-controls.png, the dialog as the X server shows it, with the line "live equals
// headless: yes" when it equals what the layer composed, and grabs the colour and font dialogs as the buttons open
// them (colour-dialog.png, font-dialog.png). --exit-after ends the interactive part on its own.
// Exit 0 done, 1 failed, 2 usage, 3 a WAV file that cannot be read, 77 no display.
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <numbers>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "designer/workspace/angular_input.h"
#include "designer/workspace/audio_waveform_ctrl.h"
#include "designer/workspace/color_button.h"
#include "designer/workspace/font_button.h"
#include "designer/workspace/generator_slot.h"
#include "designer/workspace/gradient.h"
#include "designer/workspace/in_position_input.h"
#include "designer/workspace/movable_target_picker.h"
#include "designer/workspace/polynomial_ctrl.h"
#include "designer/workspace/property_drag_source.h"
#include "designer/workspace/property_field.h"
#include "designer/workspace/rgb_channel_scroll.h"
#include "designer/workspace/texture_viewer.h"
#include "designer/workspace/value_generator.h"
#include "designer/workspace/wave_envelope.h"
#include "designer/workspace/waveform_ctrl.h"
#include "designer/workspace/workspace_controls.h"
#include "designer/workspace/workspace_messages.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/property.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/hotspot.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"
#include "engine/resources/image32.h"
#include "engine/resources/sound.h"
#include "platform/base/atomic_file.h"
#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/gfx/png_file.h"
#include "platform/live/sdl_audio.h"
#include "platform/live/sdl_backend.h"
#include "platform/media/riff_wave_writer.h"
#include "platform/testing/user_sim.h"
#include "platform/testing/xvfb_server.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/core/message_loop.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/providers/live_color_dialog.h"
#include "platform/ui/providers/live_font_dialog.h"
#include "platform/ui/providers/live_providers.h"
#include "platform/ui/providers/providers.h"

namespace {

using namespace pf;
using namespace workspace_messages;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitRefused = 3;
constexpr int kExitSkip = 77; // no display: ctest reports the smoke test as skipped

enum : int32_t {
    kIddControls = 600,
    kDial = 101,
    kPoint,
    kPicker,
    kColour,
    kFont,
    kViewer,
    kChannel,
    kValue,
    kGradient,
    kWaveform,
    kPolynomial,
    kLine,
    kSound,
    kTestField,
    kCompareField,
};

void RegisterDemoTemplate()
{
    registerTemplate({kIddControls,
                      "Workspace controls",
                      {640, 418},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"static", -1, {10, 6, 90, 22}, 0, "Angle"},
                          {"CVTND_AngularInput", kDial, {10, 24, 90, 104}, 0, ""},
                          {"static", -1, {100, 6, 200, 22}, 0, "Point"},
                          {"CVTND_InPositionInput", kPoint, {100, 24, 200, 104}, 0, ""},
                          {"static", -1, {210, 6, 250, 22}, 0, "Node"},
                          {"CVTND_MovableTargetPicker", kPicker, {210, 24, 250, 64}, 0, ""},
                          {"static", -1, {260, 6, 340, 22}, 0, "Colour"},
                          {"CVTND_ColorButton", kColour, {260, 24, 340, 48}, WS_TABSTOP, ""},
                          {"CVTND_FontButton", kFont, {260, 56, 430, 92}, WS_TABSTOP, "Font"},
                          {"static", -1, {440, 6, 630, 22}, 0, "Texture with hot spots"},
                          {"CVTND_TextureViewer", kViewer, {440, 24, 630, 150}, 0, ""},
                          {"static", -1, {10, 114, 250, 130}, 0, "Red channel"},
                          {"CVTND_RGBChannelScroll", kChannel, {10, 132, 250, 152}, 0, ""},
                          {"static", -1, {260, 114, 430, 130}, 0, "Turn (degrees)"},
                          {"CVTND_ValueGenerator", kValue, {260, 132, 430, 154}, 0, ""},
                          {"static", -1, {10, 160, 290, 176}, 0, "Particle colour"},
                          {"CVTND_Gradient", kGradient, {10, 178, 290, 268}, 0, ""},
                          {"static", -1, {300, 160, 460, 176}, 0, "Waveform"},
                          {"CVTND_WaveformCtrl", kWaveform, {300, 178, 460, 268}, 0, ""},
                          {"static", -1, {470, 160, 630, 176}, 0, "Polynomial"},
                          {"CVTND_PolynomialCtrl", kPolynomial, {470, 178, 630, 268}, 0, ""},
                          {"CVTND_StaticLine", kLine, {10, 276, 630, 278}, 0, ""},
                          {"static", -1, {10, 284, 630, 300}, 0, "Sound: start, end and play position"},
                          {"CVTND_AudioWaveformCtrl", kSound, {10, 302, 630, 378}, 0, ""},
                          {"static", -1, {10, 390, 108, 406}, 0, "Property to test"},
                          {"CVTND_PropertyToTest", kTestField, {110, 386, 370, 408}, WS_BORDER, ""},
                          {"static", -1, {380, 390, 468, 406}, 0, "Compare with"},
                          {"CVTND_PropertyToCompareWith", kCompareField, {470, 386, 630, 408}, WS_BORDER, ""},
                      }});
}

// ---- the world the controls are bound to

struct DemoWorld {
    SWworld world;
    SWxyzmotion turn{&world};
    SWwaveformgenerator wave{&world};
    SWpolynomialgenerator polynomial{&world};
    std::unique_ptr<SWimage32> poster;
    SWobjectnode* lamp = nullptr; // the world's tree owns it
    SWproperty* level = nullptr;  // the lamp's
    std::unique_ptr<SWsound> bell;
    std::unique_ptr<SWproperty> volume; // the bell's, as the properties panel would drag it
};

// A 128 x 96 poster: a diagonal gradient with a darker frame, so placement and scaling are easy to see.
std::unique_ptr<SWimage32> MakePoster()
{
    std::vector<uint32_t> pixels(128 * 96);
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 128; ++x) {
            const bool frame = x < 4 || y < 4 || x >= 124 || y >= 92;
            const auto r = static_cast<uint8_t>(frame ? 40 : 60 + x * 150 / 128);
            const auto g = static_cast<uint8_t>(frame ? 40 : 90 + y * 120 / 96);
            const auto b = static_cast<uint8_t>(frame ? 90 : 200 - (x + y) * 120 / 224);
            pixels[static_cast<size_t>(y * 128 + x)] = makePixel(r, g, b, 255);
        }
    return SWimage32::SWimage32FromPixels("poster", 128, 96, pixels.data());
}

void BuildWorld(DemoWorld& d)
{
    d.wave.SetShape(SWgenerator::kSine);
    d.wave.SetStartTime(300.0f);
    d.wave.SetStartAmplitude(0.0f);
    d.wave.SetSustainAmplitude(1.0f);
    d.wave.SetDecayTime(500.0f);
    d.wave.SetPeriod(250.0f);
    d.polynomial.SetDuration(1000.0f);
    d.polynomial.SetAmplitude(1.0f);
    d.polynomial.SetShape(2.5f);
    d.poster = MakePoster();
    for (const auto& [name, rect] : {std::pair<const char*, std::array<float, 4>>{"door", {0.1f, 0.45f, 0.25f, 0.45f}},
                                     {"window", {0.55f, 0.15f, 0.35f, 0.3f}}}) {
        auto* hotspot = new SWhotspot(); // the world's tree owns it
        hotspot->SetName(std::string(name));
        hotspot->SetTextureName("poster");
        hotspot->SetRect(rect);
        d.world.AddNode(hotspot, nullptr);
        if (std::string(name) == "window") {
            const std::vector<uint32_t> pane(16 * 16, makePixel(250, 230, 120, 255));
            hotspot->SetImage(SWimage32::SWimage32FromPixels("pane", 16, 16, pane.data()));
        }
    }
    d.lamp = new SWobjectnode(); // the world's tree owns it
    d.lamp->SetName(std::string("lamp"));
    d.world.AddNode(d.lamp, nullptr);
    auto level = std::make_unique<SWproperty>(8);
    level->SetName(std::string("level"));
    d.level = d.lamp->AddVariable(std::move(level));
    d.bell = std::make_unique<SWsound>("bell");
    d.volume = std::make_unique<SWproperty>(8);
    d.volume->SetName(std::string("volume"));
}

// A three-second tone, a falling chirp under a slow swell, 16-bit stereo at 22,050 Hz.
bool WriteTone(const std::string& path)
{
    std::string error;
    auto writer = RiffWaveWriter::create(path, WaveFormat::pcm(2, 22050, 16), &error);
    if (writer == nullptr)
        return false;
    std::vector<uint8_t> bytes;
    const int frames = 3 * 22050;
    bytes.reserve(static_cast<size_t>(frames) * 4);
    double phase = 0.0;
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / frames;
        phase += 2.0 * std::numbers::pi * (880.0 - 600.0 * t) / 22050.0;
        const double level = std::sin(std::numbers::pi * t) * (0.55 + 0.35 * std::sin(9.0 * t));
        for (const double channel : {1.0, 0.7}) {
            const auto sample = static_cast<int16_t>(std::lround(32767.0 * level * channel * std::sin(phase)));
            bytes.push_back(static_cast<uint8_t>(sample));
            bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(sample) >> 8));
        }
    }
    return writer->write(bytes) && writer->finish();
}

// ---- the dialog: hosts the controls, logs what they send, answers the colour and font buttons

std::string FloatText(float v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", static_cast<double>(v));
    return text;
}

class ControlsDialog final : public Dialog {
public:
    explicit ControlsDialog(DemoWorld& world) : m_world(world) {}
    std::vector<std::string> log;
    std::set<uint32_t> seen;

protected:
    bool onInitDialog() override
    {
        const float angle = static_cast<float>(std::numbers::pi / 4);
        item<CVTND_AngularInput>(kDial)->SetAngle(&angle);
        item<CVTND_InPositionInput>(kPoint)->SetPoint(0.3f, 0.6f);
        item<CVTND_ColorButton>(kColour)->SetColor(0.2f, 0.5f, 0.9f, 1.0f);
        LogFont font;
        font.height = -15;
        std::snprintf(font.face, sizeof font.face, "DejaVu Sans");
        item<CVTND_FontButton>(kFont)->SetLogFont(font);
        auto* viewer = item<CVTND_TextureViewer>(kViewer);
        viewer->SetWorld(&m_world.world);
        viewer->SetImage(m_world.poster.get());
        viewer->ShowHotspots(true);
        item<CVTND_RGBChannelScroll>(kChannel)->SetValue(0.5f, 0);
        auto* value = item<CVTND_ValueGenerator>(kValue);
        value->SetUnit(1);
        value->AttachValue(CVTND_GeneratorSlot::ForAxis(m_world.turn, 1));
        item<CVTND_WaveformCtrl>(kWaveform)->SetGenerator(&m_world.wave);
        item<CVTND_PolynomialCtrl>(kPolynomial)->SetGenerator(&m_world.polynomial);
        item<CVTND_MovableTargetPicker>(kPicker)->SetShownItem(generatedIcon(149, 32));
        item<CVTND_MovableTargetPicker>(kPicker)->EnableDrop(); // registers nothing without an editor engine
        return true;
    }

    LResult handle(const Msg& msg) override
    {
        if (msg.message == WM_COMMAND && hiWord(msg.wParam) == BN_CLICKED) {
            if (loWord(msg.wParam) == kColour) {
                auto* button = item<CVTND_ColorButton>(kColour);
                const bool chosen = button->ChooseColor(this);
                Log("colour button: " + (chosen ? "chose " + ColourText(button->GetColorRef()) : "cancelled"));
                return 0;
            }
            if (loWord(msg.wParam) == kFont) {
                auto* button = item<CVTND_FontButton>(kFont);
                FontDialogRequest request;
                request.owner = hwnd();
                request.logFont = button->GetLogFont();
                const std::optional<FontChoice> choice = chooseFont(request);
                if (choice)
                    button->SetLogFont(choice->logFont);
                Log(std::string("font button: ") +
                    (choice ? "chose " + std::string(choice->logFont.face) : "cancelled"));
                return 0;
            }
        }
        if (msg.message == WM_COMMAND && hiWord(msg.wParam) == EN_CHANGE &&
            (loWord(msg.wParam) == kTestField || loWord(msg.wParam) == kCompareField)) {
            // The fields take the drop themselves (kPropertyDropped is sent to them); their dialog sees the text.
            Log("property field " + std::to_string(loWord(msg.wParam)) + " shows \"" +
                child(loWord(msg.wParam))->text() + "\"");
            return 0;
        }
        if (msg.message == WM_CLOSE) {
            ui().postQuit(0);
            return 0;
        }
        if (msg.message < WM_USER || msg.message >= WM_USER + 200)
            return Dialog::handle(msg);
        seen.insert(msg.message);
        Log(std::to_string(msg.message) + " " + MessageName(msg.message) + " wParam " + std::to_string(msg.wParam) +
            ": " + ValueBehind(msg));
        return 1;
    }

    void onCancel() override { ui().postQuit(0); }

private:
    static std::string ColourText(ColorRef c)
    {
        return std::to_string(getRValue(c)) + "," + std::to_string(getGValue(c)) + "," + std::to_string(getBValue(c));
    }

    static const char* MessageName(uint32_t message)
    {
        switch (message) {
        case kNodeDropped:
            return "node dropped";
        case kGeneratorReplaced:
            return "generator replaced";
        case kValueTyped:
            return "value typed";
        case kGeneratorChanged:
            return "generator changed";
        case kAngleDragging:
            return "angle dragging";
        case kAngleReleased:
            return "angle released";
        case kPointDragging:
            return "point dragging";
        case kPointReleased:
            return "point released";
        case kGradientChanged:
            return "gradient changed";
        case kGradientKeySelected:
            return "gradient key selected";
        case kChannelDragging:
            return "channel dragging";
        case kChannelChanged:
            return "channel changed";
        default:
            return "?";
        }
    }

    std::string ValueBehind(const Msg& msg) const
    {
        const auto* floats = reinterpret_cast<const float*>(msg.lParam);
        switch (msg.message) {
        case kAngleDragging:
        case kAngleReleased:
            return FloatText(floats[0]) + " rad";
        case kChannelDragging:
        case kChannelChanged:
            return FloatText(floats[0]);
        case kPointDragging:
        case kPointReleased:
            return FloatText(floats[0]) + ", " + FloatText(floats[1]);
        case kNodeDropped:
            return "node " + reinterpret_cast<const SWnode*>(msg.lParam)->GetName().value_or("");
        case kGradientChanged:
        case kGradientKeySelected: {
            const auto* gradient = item<CVTND_Gradient>(kGradient);
            const std::array<uint8_t, 3> rgb = gradient->GetKeyRGB();
            return "selected key " + std::to_string(gradient->GetFields().selectedKey) + " at x " +
                   std::to_string(gradient->HasSelectedKey()
                                      ? gradient->GetFields().keyPositions[gradient->GetFields().selectedKey]
                                      : -1) +
                   ", colour " + std::to_string(rgb[0]) + "," + std::to_string(rgb[1]) + "," + std::to_string(rgb[2]);
        }
        case kGeneratorReplaced:
        case kValueTyped:
        case kGeneratorChanged: {
            const auto* control = reinterpret_cast<const CVTND_ValueGenerator*>(msg.lParam);
            const SWgenerator* generator = control->GetGenerator();
            std::string text = "control " + std::to_string(control->id()) + " shows \"" + control->GetEdit()->text() +
                               "\", generator " + CVTND_ValueGenerator::KindName(generator ? generator->GetType() : 0);
            if (const auto* constant = dynamic_cast<const SWaxistrack*>(generator))
                text += " " + FloatText(constant->GetAmount()) + " rad";
            return text;
        }
        default:
            return std::to_string(msg.lParam);
        }
    }

    void Log(const std::string& line) { log.push_back(line); }

    DemoWorld& m_world;
};

// ---- the live display

struct LiveDisplay {
    SdlBackend* backend = nullptr;
    XvfbServer* server = nullptr;
};
LiveDisplay g_live;

// Runs the loop until the backend has shown what changed and X has drawn it.
void WaitUntilShown()
{
    if (g_live.backend == nullptr)
        return;
    const uint64_t before = g_live.backend->presentedFrameCount();
    for (int i = 0; i < 200 && g_live.backend->presentedFrameCount() == before; ++i)
        runLoopStep(ui());
    for (int i = 0; i < 10; ++i)
        runLoopStep(ui());
}

// The window's client area as the X server shows it, written to path; empty when it cannot be read.
std::unique_ptr<Surface32> GrabClient(Window& w, const std::string& path)
{
    WaitUntilShown();
    const Point origin = w.clientToScreen({0, 0});
    std::unique_ptr<Surface32> live = g_live.server->grab(w.clientRect().offsetBy(origin.x, origin.y));
    std::string error;
    if (live->isEmpty() || !writePngFile(path, *live, error))
        return nullptr;
    return live;
}

// The dialog's client area as the X server shows it against the layer's composition of the same rectangle.
bool CompareWithServer(Window& w, const std::string& path)
{
    const std::unique_ptr<Surface32> live = GrabClient(w, path);
    if (live == nullptr)
        return false;
    int64_t differ = 0;
    const std::shared_ptr<Surface32> surface = ui().surfaceOf(w);
    const std::lock_guard lock(surface->mutex());
    const Point client = w.clientToScreen({0, 0});
    const Point offset{client.x - w.screenRect().l, client.y - w.screenRect().t};
    for (int32_t y = 0; y < live->height(); ++y)
        for (int32_t x = 0; x < live->width(); ++x)
            differ += (surface->pixel(offset.x + x, offset.y + y) & 0xFFFFFFu) != live->pixel(x, y) ? 1 : 0;
    std::printf("live equals headless: %s (%lld of %d pixels differ)\n", differ == 0 ? "yes" : "no",
                static_cast<long long>(differ), live->width() * live->height());
    return differ == 0;
}

// Photographs the colour and font dialogs as the X server shows them, then cancels them; every other modal run
// goes to the live loop.
class PhotographingDriver final : public ModalDriver {
public:
    explicit PhotographingDriver(std::string dir) : m_dir(std::move(dir)) {}
    void run(Dialog& dialog) override
    {
        const int32_t idd = dialog.templateId();
        if (idd != kColorDialogIdd && idd != kFontDialogIdd) {
            m_loop.run(dialog);
            return;
        }
        const std::string name = idd == kColorDialogIdd ? "colour-dialog.png" : "font-dialog.png";
        if (GrabClient(dialog, m_dir + "/" + name) != nullptr)
            photographed.push_back(name);
        dialog.endDialog(IDCANCEL);
    }
    std::vector<std::string> photographed;

private:
    std::string m_dir;
    LoopModalDriver m_loop;
};

// ---- the script

bool WaitForEnvelope(CVTND_AudioWaveformCtrl& sound)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (sound.IsParsing() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ui().pump();
    }
    ui().pump();
    return !sound.IsParsing();
}

// What a person does with each control, through the simulated mouse and keyboard wherever one could.
bool RunScript(ControlsDialog& dialog, DemoWorld& world, const std::string& wavPath)
{
    UserSim sim;
    const auto at = [&](int32_t id, Point client) { return dialog.child(id)->clientToScreen(client); };

    auto* sound = dialog.item<CVTND_AudioWaveformCtrl>(kSound);
    sound->SetSound(wavPath);

    sim.drag(at(kDial, {75, 40}), at(kDial, {12, 14}), 4);    // from 0 rad round to about 3 pi / 4
    sim.drag(at(kPoint, {20, 60}), at(kPoint, {140, 20}), 3); // past the right edge: x clamps to 1

    auto* channel = dialog.item<CVTND_RGBChannelScroll>(kChannel);
    sim.drag(at(kChannel, {20, 10}), at(kChannel, {150, 10}), 3);
    sim.replaceText(*channel->GetEdit(), "300"); // the last 0 is refused: the drag's value comes back, no byte wraps

    auto* gradient = dialog.item<CVTND_Gradient>(kGradient);
    const int32_t keyX = gradient->GetFields().keyPositions[3];
    const int32_t keyY = gradient->BandRect().b + 4;
    sim.click(at(kGradient, {keyX, keyY}));
    sim.drag(at(kGradient, {keyX, keyY}), at(kGradient, {keyX - 40, keyY}), 2);
    gradient->SetKeyColor(0.1f, 0.6f, 1.0f);

    sim.expectColor(rgb(230, 120, 40));
    sim.click(*dialog.child(kColour));
    FontChoice font;
    font.logFont.height = -17;
    font.logFont.weight = 700;
    std::snprintf(font.logFont.face, sizeof font.logFont.face, "DejaVu Serif");
    font.pointSizeTenths = 130;
    sim.expectFont(font);
    sim.click(*dialog.child(kFont));

    auto* value = dialog.item<CVTND_ValueGenerator>(kValue);
    sim.replaceText(*value->GetEdit(), "45");
    sim.expectMenu(CVTND_ValueGenerator::kMenuCommandBase + SWgenerator::kSine);
    sim.click(*value->GetButton());
    value->NotifyParent(9); // as its waveform dialog reports a new period
    sim.expectMenu(CVTND_ValueGenerator::kMenuCommandBase + SWgenerator::kAxisTrack);
    sim.click(*value->GetButton());
    sim.replaceText(*value->GetEdit(), "90");

    auto* curve = dialog.item<CVTND_WaveformCtrl>(kWaveform);
    curve->SetWaveType(3);
    curve->SetPeriod(200.0f);
    dialog.item<CVTND_PolynomialCtrl>(kPolynomial)->ToggleInvert();

    // What the editor engine's receptors would send on a drop.
    dialog.child(kPicker)->send(kNodeDropped, 0, reinterpret_cast<LParam>(world.lamp));
    PropertyDragSource = CVTND_Object(ObjectType::kObjectNode, world.lamp);
    dialog.child(kTestField)->send(kPropertyDropped, kTestField, reinterpret_cast<LParam>(world.level));
    PropertyDragSource = CVTND_Object(ObjectType::kSound, world.bell.get());
    dialog.child(kCompareField)->send(kPropertyDropped, kCompareField, reinterpret_cast<LParam>(world.volume.get()));

    if (!WaitForEnvelope(*sound) || sound->GetEnvelope().IsEmpty())
        return false;
    const auto count = static_cast<int64_t>(sound->GetSampleCount());
    sound->SetMarkerMask(CVTND_AudioWaveformCtrl::kMarkerStart | CVTND_AudioWaveformCtrl::kMarkerEnd |
                         CVTND_AudioWaveformCtrl::kMarkerPlay);
    ui().pump();
    sound->SetStartMarker(count / 10);
    sound->SetEndMarker(count * 8 / 10);
    for (int i = 0; i <= 50; ++i) // playing from the start marker
        sound->SetPlayPosition(count / 10 + (count * 35 / 100) * i / 50);

    ui().setFocus(dialog.child(kDial)->hwnd()); // no caret blinks in the picture
    ui().pump();
    return true;
}

// Every kind of message the controls send their dialog reached it, and the property fields took their drops.
bool EveryControlReported(const ControlsDialog& dialog)
{
    const std::set<uint32_t> expected = {kNodeDropped,     kGeneratorReplaced,   kValueTyped,      kGeneratorChanged,
                                         kAngleDragging,   kAngleReleased,       kPointDragging,   kPointReleased,
                                         kGradientChanged, kGradientKeySelected, kChannelDragging, kChannelChanged};
    bool all = dialog.child(kTestField)->text() == "NODE:lamp.level" &&
               dialog.child(kCompareField)->text() == "SOUND:bell.volume";
    for (const uint32_t m : expected)
        all = all && dialog.seen.count(m) != 0;
    std::printf("every control reported: %s\n", all ? "yes" : "no");
    return all;
}

bool WriteLog(const ControlsDialog& dialog, const std::string& path, bool trace)
{
    std::string text;
    for (const std::string& line : dialog.log)
        text += line + "\n";
    if (trace)
        std::fputs(text.c_str(), stdout);
    return writeFileAtomically(path, text);
}

// One pass: the dialog made, scripted, photographed and logged; live passes then leave it open.
int RunPass(const std::string& dir, const std::string& wavPath, bool trace, int32_t exitAfterMs)
{
    DemoWorld world;
    BuildWorld(world);
    ControlsDialog dialog(world);
    if (!dialog.create(kIddControls, nullptr))
        return kExitFailed;
    dialog.setPos(HWND_TOP, Rect::fromXywh(40, 40, 0, 0), SWP_NOSIZE);
    dialog.show(SW_SHOW);
    ui().pump();
    bool ok = RunScript(dialog, world, wavPath);
    ok = EveryControlReported(dialog) && ok;
    ok = dialog.writePng(dir + "/controls.png") && ok;
    if (g_live.server != nullptr)
        ok = CompareWithServer(dialog, dir + "/live-controls.png") && ok;
    ok = WriteLog(dialog, dir + "/controls-log.txt", trace) && ok;
    if (g_live.backend != nullptr) {
        LiveProviders providers;
        providers.install();
        PhotographingDriver photographer(dir);
        if (g_live.server != nullptr) {
            // The buttons open the live dialogs; each is photographed as the X server shows it.
            ui().providers().install(static_cast<ModalDriver*>(&photographer));
            UserSim sim;
            sim.click(*dialog.child(kColour));
            sim.click(*dialog.child(kFont));
            ui().providers().install(static_cast<ModalDriver*>(&providers.modal));
            for (const std::string& name : photographer.photographed)
                std::printf("photographed %s\n", name.c_str());
            ok = photographer.photographed.size() == 2 && ok;
        }
        std::printf("%s\n", ok ? "script done; the dialog is open" : "script FAILED");
        std::fflush(stdout);
        if (exitAfterMs > 0)
            ui().setTimer(dialog.hwnd(), 99, static_cast<uint32_t>(exitAfterMs));
        ui().addObserver(&dialog, [](const Msg& m) {
            if (m.message == WM_TIMER && m.wParam == 99)
                ui().postQuit(0);
        });
        runMessageLoop(ui());
        ui().removeObserver(&dialog);
        ui().providers().install(static_cast<ModalDriver*>(nullptr));
        ui().providers().install(static_cast<MessageBoxProvider*>(nullptr));
        ui().providers().install(static_cast<MenuChooser*>(nullptr));
        ui().providers().install(static_cast<FileDialogProvider*>(nullptr));
        ui().providers().install(static_cast<ColorDialogProvider*>(nullptr));
        ui().providers().install(static_cast<FontDialogProvider*>(nullptr));
    }
    dialog.destroy();
    return ok ? 0 : kExitFailed;
}

int RunLive(const std::string& dir, const std::string& wavPath, bool trace, bool ownServer, int32_t exitAfterMs)
{
    std::unique_ptr<XvfbServer> server;
    if (ownServer) {
        server = std::make_unique<XvfbServer>();
        std::string error;
        if (!server->start(error)) {
            std::printf("no display: %s\n", error.c_str());
            return kExitSkip;
        }
    }
    DisplayChoice choice = openDisplayBackend();
    if (!choice.backend->isLive()) {
        std::printf("no display: %s\n", choice.reason.c_str());
        return kExitSkip;
    }
    SdlAudio audio;
    if (audio.isOpen())
        setAudioOut(&audio);
    int result = kExitFailed;
    {
        Ui ui;
        ui.setBackend(choice.backend.get());
        RegisterWorkspaceControls(ui);
        g_live = {dynamic_cast<SdlBackend*>(choice.backend.get()), server.get()};
        result = RunPass(dir, wavPath, trace, exitAfterMs);
        g_live = {};
        ui.setBackend(nullptr);
    }
    setAudioOut(nullptr);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    bool trace = false;
    bool live = false;
    bool ownServer = false;
    int32_t exitAfterMs = 0;
    bool usage = false;
    std::string dir;
    std::string wavPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--trace") {
            trace = true;
        } else if (arg == "--live") {
            live = true;
        } else if (arg == "--xvfb") {
            ownServer = true;
        } else if (arg == "--wav" && i + 1 < argc) {
            wavPath = argv[++i];
        } else if (arg == "--exit-after" && i + 1 < argc) {
            const std::string_view ms = argv[++i];
            const auto [end, failed] = std::from_chars(ms.data(), ms.data() + ms.size(), exitAfterMs);
            usage = usage || failed != std::errc() || end != ms.data() + ms.size() || exitAfterMs < 1;
        } else if (!arg.empty() && arg[0] != '-' && dir.empty()) {
            dir = arg;
        } else {
            usage = true;
        }
    }
    if (dir.empty() || usage || ((ownServer || exitAfterMs > 0) && !live)) {
        std::fprintf(stderr, "usage: vortan-controls-demo [--trace] [--wav FILE] [--live [--xvfb] [--exit-after MS]] "
                             "<output folder>\n");
        return kExitUsage;
    }
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (!wavPath.empty()) {
        CVTND_WaveEnvelope check;
        if (!CVTND_WaveEnvelope::Parse(wavPath, std::stop_token(), check)) {
            std::fprintf(stderr, "vortan-controls-demo: %s: not a WAV file the waveform control can draw\n",
                         wavPath.c_str());
            return kExitRefused;
        }
    } else {
        wavPath = dir + "/tone.wav";
        if (!WriteTone(wavPath)) {
            std::fprintf(stderr, "vortan-controls-demo: cannot write %s\n", wavPath.c_str());
            return kExitFailed;
        }
    }
    screen().reset();
    RegisterDemoTemplate();
    if (live)
        return RunLive(dir, wavPath, trace, ownServer, exitAfterMs);
    int result = kExitFailed;
    {
        Ui ui;
        RegisterWorkspaceControls(ui);
        result = RunPass(dir, wavPath, trace, 0);
    }
    std::printf("%s\n", result == 0 ? "written" : "FAILED");
    return result;
}
