// The world's frame step and the preview's start and stop. One frame, under the world's lock that the render thread
// holds around it:
//   1. the world time (ms since the preview last started), then the sub-worlds the loader finished are merged;
//   2. while running, and on the one frame after a stop, the posted records join the dispatch queue;
//   3. while running, raw input reaches the interactive motions, keys their pressed byte, and a press is picked;
//   4. while running, the step record, the due timers and the changed watched variables are queued;
//   5. every motion is stepped (in frame-stepping mode only the particle list, 33.3 ms a frame);
//   6. events are processed while running and on the frame after a stop, after which the run is cleared;
//   7. the running motions are folded into their nodes, top down, and the done ones let go of their holds;
//   8. motions whose nodes are all gone are done, and done motions are purged;
//   9. the sound step: stops, plays, loads, then the sounds that ended are reported;
//  10. tooltips fade, particles learn the time, and each window with a renderer draws the frame.
// Steps 1, 5 and 7 to 10 run whether the preview runs or not: the story board and the sound editor preview while it
// is stopped.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <variant>
#include <vector>

#include "engine/behaviour/channel_motion.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/event_index.h"
#include "engine/behaviour/events.h"
#include "engine/behaviour/frame_step.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/motion_controller.h"
#include "engine/behaviour/navigation_motion.h"
#include "engine/behaviour/particle_motion.h"
#include "engine/behaviour/property.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/bbox.h"
#include "engine/core/camera_node.h"
#include "engine/core/container.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/sub_world_loader.h"
#include "engine/core/typed_value_data.h"
#include "engine/core/window.h"
#include "engine/core/world.h"
#include "engine/resources/particle_node.h"
#include "engine/resources/sound.h"
#include "engine/resources/tooltip.h"
#include "platform/time/timer_caps.h"

namespace {

constexpr uint32_t kTypeArcball = 5;
constexpr uint32_t kTypeNavigation = 16;
constexpr uint32_t kTypeController = 12;
constexpr uint32_t kTypeParticles = 9;
constexpr float kSteppedFrameMs = 33.3f;
constexpr uint32_t kTypeCount = 32;

class FrameState : public SWworldpart {
public:
    uint32_t originMs = 0;
    bool haveOrigin = false;
    int32_t lastX = 0;
    int32_t lastY = 0;
    bool havePointer = false;
    uint8_t buttons = 0;                        // held: 1 right, 2 left, 4 middle
    std::map<uint32_t, TypedValueData> watched; // per PropertyChanged event id: the value seen last frame
    float steppedMs = 0.0f;
    std::vector<SWsound*> runSounds; // started through the play queue while running
    uint64_t generation = UINT64_MAX;
};

FrameState& StateOf(SWworld& world)
{
    if (auto* state = dynamic_cast<FrameState*>(world.GetPart(WorldPart::kFrameState)))
        return *state;
    world.SetPart(WorldPart::kFrameState, std::make_unique<FrameState>());
    return static_cast<FrameState&>(*world.GetPart(WorldPart::kFrameState));
}

bool SameValue(const TypedValueData& a, const TypedValueData& b)
{
    // Bit patterns, so a variable that is not a number compares equal to itself and posts once.
    return a.type == b.type && a.integer == b.integer && a.text == b.text &&
           std::memcmp(a.elements.data(), b.elements.data(), sizeof(float) * a.elements.size()) == 0;
}

std::vector<SWnodemotion*> AllMotions(SWworld& world)
{
    std::vector<SWnodemotion*> motions;
    TimedActionTable& table = TimedActionTable::Of(world);
    for (uint32_t type = 0; type < kTypeCount; ++type)
        if (const auto* list = table.GetTypeList(type))
            for (const auto& motion : *list)
                motions.push_back(motion.get());
    return motions;
}

// The story board's preview flag marks the motions it drives by its own time, not the run's.
bool IsWorldTimeDriven(const SWmotion& motion)
{
    return motion.GetPreviewFlag() != 0;
}

void TakeWatchedValues(SWworld& world, FrameState& state)
{
    state.watched.clear();
    for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
        if (e->GetType() == static_cast<uint32_t>(EventType::kPropertyChanged))
            if (const SWproperty* variable = e->GetWatchedVariable())
                state.watched[e->GetId()] = variable->GetCurrentData();
}

// What a run leaves behind goes: the running motions but the controllers (which drop their slots and restart
// their clocks) and the motions the story board drives, pending delays, sequences, mouse-look, and the sounds the run
// started.
void ClearRun(SWworld& world, FrameState& state)
{
    bool mouseLook = false;
    for (SWnodemotion* motion : AllMotions(world))
        if (auto* navigation = dynamic_cast<SWnavigationmotion*>(motion))
            mouseLook = mouseLook || navigation->IsMouseLook();
    world.EndAllMouseLook();
    if (mouseLook)
        world.EndMouseLook();
    for (SWnodemotion* motion : AllMotions(world)) {
        if (motion->GetType() == kTypeController || IsWorldTimeDriven(*motion))
            continue;
        if (auto* particles = dynamic_cast<SWparticlemotion*>(motion))
            if (SWparticlenode* system = particles->GetParticleGeometry())
                system->GetParticles().Stop();
        motion->ReleaseHolds();
        motion->Stop();
        motion->MarkDone();
    }
    TimedActionTable::Of(world).PurgeDone();
    world.RunNodeStartSteps();
    world.ClearDelayedActions();
    for (SWlistnode* n = world.GetActionQueues().Head(); n != nullptr; n = n->Next())
        static_cast<SWactionqueueentry*>(n)->SetFinished();
    for (SWsound* sound : state.runSounds)
        for (SWsound* s = world.GetSoundList().GetFirst(); s != nullptr; s = world.GetSoundList().GetNext(s))
            if (s == sound && s->IsPlaying())
                world.GetSoundList().Stop(s);
    state.runSounds.clear();
}

// Kinds 1, 2, 3, 4 and 7 in order: the interactive motions hear them, keys keep their pressed byte, a press is
// picked into a click record; the mouse records fire no event and go.
void HandleRawInput(SWworld& world, FrameState& state)
{
    std::vector<SWchannelmotion*> pointerMotions;
    std::vector<SWchannelmotion*> keyMotions;
    for (SWnodemotion* motion : AllMotions(world)) {
        if (motion->GetType() != kTypeArcball && motion->GetType() != kTypeNavigation)
            continue;
        auto* channel = dynamic_cast<SWchannelmotion*>(motion);
        if (channel == nullptr || !channel->IsRunning())
            continue;
        if (motion->GetType() == kTypeArcball || motion->GetType() == kTypeNavigation)
            pointerMotions.push_back(channel);
        if (motion->GetType() == kTypeNavigation)
            keyMotions.push_back(channel);
    }
    std::vector<SWinputrecord*> clicks;
    world.GetDispatchQueue().RemoveIf([&](const SWinputrecord& record) {
        const InputKind kind = record.GetKind();
        if (kind == InputKind::kKeyPressed || kind == InputKind::kKeyReleased) {
            const auto* key = std::get_if<const SWkeyentry*>(&record.GetTarget());
            if (key == nullptr || *key == nullptr)
                return false;
            auto* entry = const_cast<SWkeyentry*>(*key);
            entry->SetPressed(kind == InputKind::kKeyPressed);
            for (SWchannelmotion* m : keyMotions) {
                if (kind == InputKind::kKeyPressed)
                    m->KeyDown(entry);
                else
                    m->KeyUp(entry);
            }
            return false;
        }
        if (kind != InputKind::kMousePressed && kind != InputKind::kMouseReleased && kind != InputKind::kMouseMove)
            return false;
        const auto* point = std::get_if<SWmousepoint>(&record.GetTarget());
        if (point == nullptr)
            return true;
        const int32_t x = point->x;
        const int32_t y = point->y;
        if (kind == InputKind::kMousePressed) {
            state.buttons = static_cast<uint8_t>(state.buttons | point->button);
            for (SWchannelmotion* m : pointerMotions)
                m->MouseDown(x, y, state.buttons);
            auto* click = new SWinputrecord(InputKind::kObjectClick, record.GetTimeMs(), world.PickNode(x, y));
            click->SetSecondWord(point->button);
            clicks.push_back(click);
        } else if (kind == InputKind::kMouseReleased) {
            state.buttons = static_cast<uint8_t>(state.buttons & ~point->button);
            for (SWchannelmotion* m : pointerMotions)
                m->MouseUp(x, y, state.buttons);
        } else {
            const int32_t dx = state.havePointer ? x - state.lastX : 0;
            const int32_t dy = state.havePointer ? y - state.lastY : 0;
            for (SWchannelmotion* m : pointerMotions)
                m->MouseMove(&world, dx, dy, state.buttons);
        }
        state.lastX = x;
        state.lastY = y;
        state.havePointer = true;
        return true;
    });
    for (SWinputrecord* click : clicks)
        world.GetDispatchQueue().Push(click);
}

void QueueTimerRecord(SWevent& e, SWinputqueue& queue, uint32_t time, float now)
{
    const float interval = e.GetTimerInterval();
    if (!e.IsActive() || e.IsBlocked() || std::isnan(interval) || interval < 0.0f ||
        now - e.GetTimerLastTime() < interval)
        return;
    e.SetTimerLastTime(now); // restarted at once: one record per interval
    queue.Push(new SWinputrecord(InputKind::kTimer, time, &e));
}

void QueueChangeRecord(SWevent& e, SWinputqueue& queue, uint32_t time, FrameState& state)
{
    SWproperty* const variable = e.GetWatchedVariable();
    if (variable == nullptr)
        return;
    TypedValueData value = variable->GetCurrentData();
    auto seen = state.watched.find(e.GetId());
    if (seen == state.watched.end()) {
        state.watched.emplace(e.GetId(), std::move(value));
        return;
    }
    if (SameValue(seen->second, value))
        return;
    seen->second = std::move(value);
    queue.Push(new SWinputrecord(InputKind::kPropertyChanged, time, variable));
}

// The timers and the watched variables, in the order of the world's list, which is the order their records fire.
void QueueWorldRecords(SWworld& world, FrameState& state, float now)
{
    SWinputqueue& queue = world.GetDispatchQueue();
    const uint32_t time = world.GetFrameTimeMs();
    queue.Push(new SWinputrecord(InputKind::kWorldStep, time));
    const SWeventindex& index = world.GetEventIndex();
    const SWeventindex::Events& timers = index.EventsOf(EventGroup::kTimer);
    const SWeventindex::Events& watchers = index.EventsOf(EventGroup::kPropertyChanged);
    size_t t = 0;
    size_t w = 0;
    while (t < timers.size() || w < watchers.size()) {
        if (w == watchers.size() || (t < timers.size() && timers[t].order < watchers[w].order))
            QueueTimerRecord(*timers[t++].event, queue, time, now);
        else
            QueueChangeRecord(*watchers[w++].event, queue, time, state);
    }
}

void StepMotions(SWworld& world, FrameState& state, float now)
{
    world.SetNothingAnimated(1);
    TimedActionTable& table = TimedActionTable::Of(world);
    std::vector<SWnodemotion*> motions;
    if (world.GetFrameStepping() != 0) {
        state.steppedMs += kSteppedFrameMs;
        if (const auto* list = table.GetTypeList(kTypeParticles))
            for (const auto& motion : *list)
                motions.push_back(motion.get());
        now = state.steppedMs;
    } else {
        motions = AllMotions(world);
    }
    for (SWnodemotion* motion : motions) {
        // A motion the story board previews follows the board's time, which only the board moves, counted from
        // its action's start on the board, so it shows its own course between its start and its end.
        if (IsWorldTimeDriven(*motion))
            motion->SetTime(std::max(0.0f, world.GetPreviewTime() - motion->GetPreviewStartTime()));
        else
            motion->Step(now);
        if (motion->IsRunning() && motion->ChangedThisFrame())
            world.SetNothingAnimated(0);
    }
}

// The frame's walk of the tree, top down: each object node's matrices from its parent's of this frame, its running
// motions folded in, its matrices again (through its controller when it has one), its done motions let go.
void FoldMotions(SWworld& world)
{
    SWnode* const root = world.GetRootNode();
    for (SWnode* n = root; n != nullptr; n = n->NextInTree(root)) {
        SWobjectnode* const object = SWobjectnode::FromNode(n);
        if (object == nullptr)
            continue;
        object->UpdateMatrices(n->GetParentNode());
        bool applied = false;
        for (SWtimedactionentry* e = object->GetTimedActions(); e != nullptr;
             e = static_cast<SWtimedactionentry*>(e->Next())) {
            SWnodemotion* const motion = e->motion;
            if (motion == nullptr)
                continue;
            if (motion->IsRunning()) {
                motion->ApplyToNode(*object);
                applied = true;
            }
            if (motion->IsDone()) {
                motion->ReleaseHolds();
                motion->SetHoldObject(nullptr);
            }
        }
        if (!applied)
            continue;
        if (SWmotioncontroller* controller = object->GetMotionController(&world, false))
            controller->UpdateNodeMatrices();
        else
            object->UpdateMatrices(n->GetParentNode());
    }
}

// Whether this frame can leave the tree's matrices as they are: a stopped world that nothing moves, holding no motion,
// whose views (one at least) all show their refined picture, draws nothing and steps nothing. Walking a large tree's
// matrices at every timer round kept a core busy while nobody moved anything. An edit restarts a view's refinement,
// and the walk with it, before that view is drawn; a world without a view walks as before, for those who read its
// matrices without drawing.
bool MatricesCanWait(SWworld& world)
{
    if (world.IsRunning() || world.GetStopFlag() != 0 || world.GetNothingAnimated() == 0 || world.GetWindows().empty())
        return false;
    TimedActionTable& table = TimedActionTable::Of(world);
    for (uint32_t type = 0; type < kTypeCount; ++type)
        if (const auto* list = table.GetTypeList(type); list != nullptr && !list->empty())
            return false;
    for (const std::unique_ptr<SWwindow>& window : world.GetWindows())
        if (SWwindowrenderer* renderer = window->GetRenderer(); renderer != nullptr && !renderer->IsAntialiasingDone())
            return false;
    return true;
}

// Motions bound to nodes that are all gone are done, with no notification; then every done motion goes.
void Purge(SWworld& world, FrameState& state)
{
    if (state.generation != world.GetStructureGeneration()) {
        state.generation = world.GetStructureGeneration();
        SWnode* const root = world.GetRootNode();
        for (SWnodemotion* motion : AllMotions(world)) {
            if (auto* particles = dynamic_cast<SWparticlemotion*>(motion)) {
                if (particles->GetParticleGeometry() == nullptr && particles->IsRunning())
                    motion->MarkDone();
                continue;
            }
            const std::vector<uint32_t>& bound = motion->GetBoundNodes();
            if (bound.empty() || root == nullptr)
                continue;
            bool any = false;
            for (const uint32_t id : bound)
                any = any || root->FindById(id) != nullptr;
            if (!any) {
                motion->ReleaseHolds();
                motion->MarkDone();
            }
        }
    }
    TimedActionTable::Of(world).PurgeDone();
}

// The queues are taken under their own lock and worked outside it.
void SoundStep(SWworld& world, FrameState& state)
{
    SWworld::SoundQueues queues = world.TakeSoundQueues();
    SWsoundlist& sounds = world.GetSoundList();
    for (SWsound* sound : queues.stop)
        sounds.Stop(sound);
    for (SWsound* sound : queues.play) {
        sounds.Play(sound);
        if (world.IsRunning())
            state.runSounds.push_back(sound);
    }
    // Loading is opening the player; a file that cannot be opened is tried once, not every frame.
    for (SWsound* sound : queues.load)
        if (sound != nullptr && sound->GetSampleRate() != 0)
            sound->SetReady(1);
    sounds.PollAll();
}

thread_local SWworld* t_worldBeingDrawn = nullptr;

// Marks the world as the one this thread draws, for the render layers the root object's render draws after the
// scene; the previous mark comes back when the drawing step ends.
class DrawingScope {
public:
    explicit DrawingScope(SWworld& world) : m_previous(t_worldBeingDrawn) { t_worldBeingDrawn = &world; }
    ~DrawingScope() { t_worldBeingDrawn = m_previous; }
    DrawingScope(const DrawingScope&) = delete;
    DrawingScope& operator=(const DrawingScope&) = delete;

private:
    SWworld* const m_previous;
};

void Draw(SWworld& world)
{
    const DrawingScope scope(world);
    SWrootobject* const root = world.GetRootObject();
    const bool still = world.GetNothingAnimated() != 0;
    for (const std::unique_ptr<SWwindow>& window : world.GetWindows()) {
        SWwindowrenderer* const renderer = window->GetRenderer();
        if (renderer == nullptr)
            continue;
        renderer->SetAntialiasing(still);
        // A still view whose refinement is done shows its final picture already: every frame drawn after it would
        // be averaged away, and on a large world kept the processor busy while nobody moved anything. A change of
        // the view or of what it shows, or an exposure of its window, restarts the refinement.
        if (still && renderer->IsAntialiasingDone())
            continue;
        renderer->RefreshBuffers();
        const uint32_t passes = world.GetRenderMode() == 2 ? 2 : 1;
        for (uint32_t phase = 0; phase < passes; ++phase) {
            renderer->SetPhase(phase);
            renderer->BeginFrame();
            if (root != nullptr)
                root->NotifyListeners(kNotifyBeforeRender);
            if (SWrendertarget* surface = renderer->GetSurface(); surface != nullptr && root != nullptr)
                root->Render(*surface);
            if (root != nullptr)
                root->NotifyListeners(kNotifyAfterRender);
            renderer->EndFrame();
        }
        renderer->Present();
    }
}

// The slab test of a ray against a box; the distance along the ray to where it enters, or none.
std::optional<float> RayHitsBox(const SWvector& origin, const SWvector& dir, const std::array<float, 6>& box)
{
    float near = 0.0f;
    float far = std::numeric_limits<float>::max();
    const float o[3] = {origin.x, origin.y, origin.z};
    const float d[3] = {dir.x, dir.y, dir.z};
    for (int axis = 0; axis < 3; ++axis) {
        const float lo = box[axis * 2];
        const float hi = box[axis * 2 + 1];
        if (std::fabs(d[axis]) < 1e-12f) {
            if (o[axis] < lo || o[axis] > hi)
                return std::nullopt;
            continue;
        }
        float t1 = (lo - o[axis]) / d[axis];
        float t2 = (hi - o[axis]) / d[axis];
        if (t1 > t2)
            std::swap(t1, t2);
        near = std::max(near, t1);
        far = std::min(far, t2);
        if (near > far)
            return std::nullopt;
    }
    return near;
}

} // namespace

SWworld* WorldBeingDrawn()
{
    return t_worldBeingDrawn;
}

SWnode* SWworld::PickNode(int32_t x, int32_t y)
{
    uint32_t width = 0;
    uint32_t height = 0;
    GetCurrentViewSize(width, height);
    SWcameranode* const camera = GetCurrentViewCamera();
    if (width == 0 || height == 0 || camera == nullptr)
        return nullptr;
    // The ray runs from the eye through the pixel's centre, unprojected through the very matrices the view draws
    // with, so what is picked is what the pixel shows at any size of view. The projection's scales are divided out
    // rather than the whole matrix inverted: a near plane close to the eye leaves that inverse too coarse in floats.
    static const SWcameraobject kDefaultLens;
    const SWcameraobject* const lens = camera->GetCameraObject() != nullptr ? camera->GetCameraObject() : &kDefaultLens;
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    const SWsurfacematrices matrices = lens->ComputeSurfaceMatrices(camera->GetWorldMatrix(), aspect);
    SWmatrix eye;
    matrices.view.Invert(eye);
    // The view shows the camera's +x on its left (the render camera's mapping), as its +y at its top.
    const float ndcX = 1.0f - (2.0f * (static_cast<float>(x) + 0.5f) / static_cast<float>(width));
    const float ndcY = 1.0f - (2.0f * (static_cast<float>(y) + 0.5f) / static_cast<float>(height));
    const SWvector origin = eye.TransformPoint(SWvector(0.0f, 0.0f, 0.0f));
    const SWvector dir =
        eye.TransformDirection(SWvector(ndcX / matrices.projection[0], ndcY / matrices.projection[5], 1.0f));

    SWnode* best = nullptr;
    float bestT = std::numeric_limits<float>::max();
    SWnode* const root = GetRootNode();
    for (SWnode* n = root; n != nullptr; n = n->NextInTree(root)) {
        SWobjectnode* const object = SWobjectnode::FromNode(n);
        SWgeometry* const geometry = n->GetGeometry();
        if (object == nullptr || geometry == nullptr || n == camera || !geometry->IsVisible() || geometry->IsHidden())
            continue;
        const SWbbox* const box = geometry->GetBoundingBox();
        if (box == nullptr || box->IsEmpty())
            continue;
        // The box in world space: the box of its eight corners carried by the node's world matrix.
        SWbbox local = *box;
        local.ComputeCorners();
        SWbbox world;
        for (const SWvector& corner : local.Corners())
            world.AddPoint(object->GetWorldMatrix().TransformPoint(corner));
        if (const std::optional<float> t = RayHitsBox(origin, dir, world.Extents()); t && *t < bestT) {
            bestT = *t;
            best = n;
        }
    }
    return best;
}

void SWworld::SetRunning(bool on)
{
    SWworldlock lock(*this);
    FrameState& state = StateOf(*this);
    if (on) {
        ClearRun(*this, state);
        for (SWevent* e = GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e)) {
            e->SetSequenceCursor(nullptr);
            e->SetLastMatchedNode(nullptr);
            e->SetLastPressedKey(nullptr);
            e->SetLastReleasedKey(nullptr);
            // The saved world starts events' and its own variables from their initial values: so does a rerun.
            e->ResetToInitial();
        }
        GetVariables().ResetToInitial();
        state.originMs = pf::timeGetTime();
        state.haveOrigin = true;
        state.buttons = 0;
        state.havePointer = false;
        state.steppedMs = 0.0f;
        SetCurrentWorldTime(0.0f);
        SetStartFlag(1);
        SetStopFlag(0);
        SetRunningFlag(false);
        ResolveLoadedReferences();
        Start();
        TakeWatchedValues(*this, state);
        PostInputEvent(InputKind::kWorldStart);
    } else {
        if (!IsRunning())
            return;
        SetStartFlag(0);
        SetStopFlag(1);
        SetRunningFlag(false);
        PostInputEvent(InputKind::kWorldStop);
    }
}

void SWworld::RunFrame()
{
    SWworldlock lock(*this);
    FrameState& state = StateOf(*this);
    const uint32_t nowMs = pf::timeGetTime();
    if (!state.haveOrigin) {
        state.originMs = nowMs;
        state.haveOrigin = true;
    }
    const float now = static_cast<float>(nowMs - state.originMs);
    SetCurrentWorldTime(now);
    CVTN_SubWorldLoader::Of(*this).CompletePendingLoads();

    const bool running = IsRunning();
    const bool afterStop = GetStopFlag() != 0;
    if (running || afterStop)
        GetPostedQueue().MoveAll(GetDispatchQueue());
    if (running) {
        HandleRawInput(*this, state);
        QueueWorldRecords(*this, state, now);
    }
    StepMotions(*this, state, now);
    if (running || afterStop)
        ProcessEvents();
    if (afterStop) {
        ClearRun(*this, state);
        SetStopFlag(0);
    }
    if (!MatricesCanWait(*this))
        FoldMotions(*this);
    Purge(*this, state);
    SoundStep(*this, state);
    StepTooltips(*this);
    SetParticleWorldTime(*this);
    Draw(*this);
}
