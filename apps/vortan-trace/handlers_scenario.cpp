// The action handlers as a world runs them. Its start event plays an older animation on a node with a synthetic
// track, starts an XYZ rotation, plays a sound, hides a lamp with its bulb, sets a colour background, tests a
// condition whose then-link runs an expression, sets the pointer, sends a message and starts particles; a custom
// event triggered at frame 40 stops the rotation and resets the spinner. The world is a host of its own, so every
// host call is printed, with each frame's sound queues, beeps and requests and the node matrices that changed.
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "apps/vortan-trace/scenario_table.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/property.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/animation_data.h"
#include "engine/core/node_names.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/typed_value_data.h"
#include "engine/core/world.h"
#include "engine/resources/background.h"
#include "engine/resources/mesh.h"
#include "engine/resources/particle_node.h"
#include "engine/resources/sound.h"
#include "platform/media/audio_out.h"
#include "platform/media/null_audio.h"

namespace {

class HostWorld : public SWworld {
public:
    explicit HostWorld(TracePrinter& out) : m_out(out) {}
    void SetCursor(const SWcursor* cursor) override
    {
        m_out.Note(frame, cursor != nullptr ? "host SetCursor \"" + cursor->name + "\"" : "host SetCursor default");
    }
    void HostMessage(const char* text) override
    {
        m_out.Note(frame, std::string("host HostMessage \"") + (text != nullptr ? text : "") + "\"");
    }
    int frame = 0;

private:
    TracePrinter& m_out;
};

std::string Text(const char* format, double a, double b = 0, double c = 0)
{
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

SWactionnode* Add(SWworld& world, SWevent* event, int32_t kind, const char* argument)
{
    SWactionnode* action = event->CreateAction(world.GetActionCategories().FindKind(kind));
    if (argument != nullptr)
        action->AddArgument(argument, SWdatanode::kString, true);
    return action;
}

SWobjectnode* AddObject(SWworld& world, const char* name, SWnode* parent)
{
    auto* node = new SWobjectnode();
    node->SetName(std::string(name));
    world.AddNode(node, parent);
    return node;
}

// The world's frame: posted input, a step record, the dispatch, then every motion stepped, folded and purged.
void Frame(HostWorld& world, TracePrinter& out, int frame, uint32_t dtMs)
{
    world.frame = frame;
    out.SetFrame(frame);
    const float now = world.GetCurrentWorldTime();
    world.GetPostedQueue().MoveAll(world.GetDispatchQueue());
    world.GetDispatchQueue().Push(new SWinputrecord(InputKind::kWorldStep, world.GetFrameTimeMs()));
    world.ProcessEvents();
    TimedActionTable& table = TimedActionTable::Of(world);
    for (uint32_t type = 0; type < 20; ++type)
        if (const auto* list = table.GetTypeList(type))
            for (const auto& motion : *list) {
                motion->Step(now);
                if (motion->IsRunning())
                    for (const uint32_t id : motion->GetBoundNodes())
                        if (auto* node = dynamic_cast<SWobjectnode*>(world.GetRootNode()->FindById(id)))
                            motion->ApplyToNode(*node);
            }
    table.PurgeDone();
    world.UpdateNodeTransforms(world.GetRootNode(), 0);
    world.SetCurrentWorldTime(now + static_cast<float>(dtMs));
}

// What the frame left for the host: queued sounds, beeps, requests, and the changed local matrices.
void Report(HostWorld& world, TracePrinter& out, int frame, pf::NullAudio& audio, std::map<std::string, SWmatrix>& last)
{
    const SWworld::SoundQueues queued = world.TakeSoundQueues();
    for (const SWsound* s : queued.play)
        out.Note(frame, "sound queued to play \"" + s->GetName() + "\"" +
                            Text(" range %.0f..%.0f ms", s->GetPlay().startMs, s->GetPlay().endMs));
    for (const SWsound* s : queued.stop)
        out.Note(frame, "sound queued to stop \"" + s->GetName() + "\"");
    for (const pf::NullAudio::Beep& b : audio.beeps())
        out.Note(frame, Text("beep %.0f Hz %.0f ms", b.hz, b.ms));
    audio.clear();
    for (SWnode* n = world.GetRootNode(); n != nullptr; n = n->NextInTree(world.GetRootNode())) {
        const auto* node = dynamic_cast<const SWobjectnode*>(n);
        if (node == nullptr || !node->GetName())
            continue;
        const SWmatrix m = node->GetLocalMatrix();
        const SWmatrix a = node->GetAnimationMatrix();
        SWmatrix shown;
        m.Multiply(shown, a);
        auto [at, fresh] = last.try_emplace(*node->GetName(), shown);
        if (!fresh && at->second == shown)
            continue;
        at->second = shown;
        out.Note(frame,
                 "matrix " + *node->GetName() + Text(" x=%.3f y=%.3f", shown[3], shown[7]) +
                     Text(" turn=%.1f deg", std::atan2(double{shown[4]}, double{shown[0]}) * 180.0 / 3.14159265));
    }
}

int RunHandlersScenario(const TraceRun& run)
{
    pf::NullAudio audio;
    pf::setAudioOut(&audio);
    HostWorld world(run.out);
    world.SetObserver(&run.out);
    std::vector<std::unique_ptr<SWmesh>> meshes;

    SWobjectnode* walker = AddObject(world, "walker", nullptr);
    AnimationTrack& track = walker->GetAnimationTracks().AddTrack(std::string(kDefaultAnimationName));
    for (uint32_t f = 0; f < 6; ++f)
        track.SetKey(f, SWmatrix::Translation(0.5f * static_cast<float>(f), 0.0f, 0.0f));
    walker->SetHasKeyFrameMatrices(1);
    SWobjectnode* spinner = AddObject(world, "spinner", nullptr);
    SWobjectnode* lamp = AddObject(world, "lamp", nullptr);
    SWobjectnode* bulb = AddObject(world, "bulb", lamp);
    for (SWobjectnode* n : {lamp, bulb}) {
        meshes.push_back(std::make_unique<SWmesh>());
        n->SetGeometry(meshes.back().get());
    }
    auto* sparkGeometry =
        static_cast<SWparticlenode*>(world.GetRootObject()->AddGeometry(std::make_unique<SWparticlenode>()));
    AddObject(world, "sparks", nullptr)->SetGeometry(sparkGeometry);
    auto sound = std::make_unique<SWsound>();
    sound->SetName("ping");
    world.GetSoundList().Add(std::move(sound));
    world.GetCursorList().Add("hand", 3);
    auto score = std::make_unique<SWproperty>(kTypeFloat);
    score->SetName(std::string("score"));
    SWproperty* scoreVariable = spinner->AddVariable(std::move(score));
    scoreVariable->SetFloatAll(2.0f);
    auto expression = std::make_unique<SWexpression>(&world);
    expression->SetText(std::string("spinner.score*10"));
    expression->SetTargetText(std::string("spinner.score"));
    SWexpressionentry* entry = SWexpressionlist::Of(world).Add(std::move(expression));

    SWevent* start = world.AddEventOfType(static_cast<uint32_t>(EventType::kWorldStart));
    start->SetName(std::string("start"));
    auto* play = static_cast<SWoldanimationaction*>(Add(world, start, 2, "walker"));
    play->settings.endFrame = 5;
    play->settings.loopForever = 1;
    SWactionnode* rotate = Add(world, start, 41, "spinner");
    auto* turn = static_cast<SWxyzmotion*>(rotate->GetMotion());
    turn->SetGenerator(std::make_unique<SWaxistrack>(&world, 3.14159265f), 2); // half a turn about Z
    turn->SetDuration(3000.0f);
    Add(world, start, 6, nullptr);
    Add(world, start, 7, "ping");
    static_cast<SWvisibilityaction*>(Add(world, start, 21, "lamp"))->settings.subtree = 1;
    static_cast<SWbackgroundaction*>(Add(world, start, 19, nullptr))->settings = {1.0f, 0.5f, 0.0f, 1};
    auto* test = static_cast<SWconditionaction*>(Add(world, start, 25, nullptr));
    test->SetOperand1(scoreVariable);
    test->settings.constant = 1.0f;
    test->settings.mask = 4; // greater
    SWactionnode* compute = Add(world, start, 35, nullptr);
    compute->AddArgument(entry, SWdatanode::kObject, false);
    compute->SetThenLink(test->GetActionId());
    Add(world, start, 6, nullptr)->SetElseLink(test->GetActionId());
    SWactionnode* pointer = Add(world, start, 39, nullptr);
    static_cast<SWdatanode*>(pointer->GetArguments().Head())->SetInt(3);
    Add(world, start, 40, "hello, host");
    Add(world, start, 48, "sparks");
    Add(world, start, 10, "http://example.invalid/next")->AddArgument("_top", SWdatanode::kString, true);

    SWevent* later = world.AddEventOfType(static_cast<uint32_t>(EventType::kCustomEvent));
    later->SetName(std::string("later"));
    static_cast<SWstopmotionsaction*>(Add(world, later, 46, "spinner"))->AddTarget(rotate->GetActionId());
    auto* reset = static_cast<SWresetaction*>(Add(world, later, 34, "spinner"));
    reset->settings = {1, 1, 0, 0};
    Add(world, later, 22, "lamp");

    world.Start();
    world.SetStartFlag(1);
    world.GetDispatchQueue().Push(new SWinputrecord(InputKind::kWorldStart, world.GetFrameTimeMs()));
    std::map<std::string, SWmatrix> last;
    for (int frame = 1; frame <= run.frames; ++frame) {
        if (frame == 40)
            world.PostNamedTrigger(later, std::nullopt);
        Frame(world, run.out, frame, run.dtMs);
        Report(world, run.out, frame, audio, last);
        if (frame == 1) {
            const SWbackground* b = world.GetRootObject()->GetBackground();
            char colour[32];
            std::snprintf(colour, sizeof colour, "background colour 0x%06X", b != nullptr ? b->GetColour() : 0u);
            run.out.Note(frame, colour);
            run.out.Note(frame, std::string("lamp hidden ") + (lamp->GetGeometry()->IsHidden() ? "1" : "0") +
                                    ", bulb hidden " + (bulb->GetGeometry()->IsHidden() ? "1" : "0"));
            run.out.Note(frame, "spinner.score = " + Text("%.1f", scoreVariable->GetAsFloat()));
            run.out.Note(frame,
                         std::string("sparks emitting ") + (sparkGeometry->GetParticles().IsRunning() ? "1" : "0"));
            run.out.Note(frame, "request url \"" + world.GetRequestUrl().value_or("") + "\" target \"" +
                                    world.GetRequestTarget().value_or("") + "\"");
        }
        if (frame == 41)
            run.out.Note(frame, std::string("lamp hidden ") + (lamp->GetGeometry()->IsHidden() ? "1" : "0") +
                                    Text(", running motions %.0f", TimedActionTable::Of(world).Count()));
    }
    world.SetObserver(nullptr);
    pf::setAudioOut(nullptr);
    return kTraceDone;
}

const bool kHandlers = RegisterTraceScenario(
    {"handlers", "a world start running each kind of handler, then a stop of motions and a reset at frame 40", 44,
     RunHandlersScenario});

} // namespace
