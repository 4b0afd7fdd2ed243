// The handlers that change what is drawn: the camera shown, the background, visibility, filtering, stereo and
// hot-spot labels. Each ends by asking every window to redraw.
#include "engine/behaviour/scene_handlers.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/events.h"
#include "engine/behaviour/handler_world.h"
#include "engine/core/camera_node.h"
#include "engine/core/hotspot.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/window.h"
#include "engine/core/world.h"
#include "engine/resources/background.h"
#include "engine/resources/image24.h"
#include "engine/resources/texture.h"

namespace {

using behaviour_handlers::NamedNode;
using behaviour_handlers::WorldOf;

uint32_t Channel(float value)
{
    const float clamped = value >= 0.0f ? std::min(value, 1.0f) : 0.0f; // NaN reads as 0
    return static_cast<uint32_t>(clamped * 255.0f + 0.5f);
}

// What the last set-background run built: a later run with the same inputs, while the root still shows that
// background, only hands it on again instead of copying the texture once more.
class BuiltBackground : public SWworldpart {
public:
    uint64_t serial = 0;
    uint32_t colour = 0;
    uint32_t mode = 0;
    std::optional<std::string> textureName;
    uint32_t textureStamp = 0;
};

BuiltBackground& BuiltOf(SWworld& world)
{
    if (auto* part = dynamic_cast<BuiltBackground*>(world.GetPart(WorldPart::kBuiltBackground)))
        return *part;
    auto made = std::make_unique<BuiltBackground>();
    BuiltBackground& built = *made;
    world.SetPart(WorldPart::kBuiltBackground, std::move(made));
    return built;
}

std::unique_ptr<SWbackground> BuildBackground(const SWtexture* texture, uint32_t colour, uint32_t mode)
{
    std::unique_ptr<SWbackground> background;
    if (texture != nullptr)
        if (std::unique_ptr<SWimage24> image = SWimage24::SWimage24FromPixels("bgtexture", texture))
            background = SWbackground::SWbackgroundFromTexture(std::move(image), mode);
    if (!background)
        background = std::make_unique<SWbackground>(colour);
    return background;
}

void SelectCamera(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject&)
{
    SWworld* const world = WorldOf(events);
    if (world == nullptr || world->GetWindows().empty())
        return;
    world->GetWindows().front()->SetCamera(dynamic_cast<SWcameranode*>(NamedNode(world, target)));
    world->Invalidate(false);
}

void SetWorldBackground(SWevent*, SWevents* events, const ActionTarget&, const ActionSubject& subject)
{
    DoActionSetBackground(WorldOf(events), dynamic_cast<SWbackgroundaction*>(subject.action));
}

void SetVisibleOn(SWnode& node, void* visible, void*)
{
    if (auto* object = dynamic_cast<SWobjectnode*>(&node))
        object->SetVisible(visible != nullptr);
}

void HideOrShow(SWevents* events, const ActionTarget& target, const ActionSubject& subject, bool visible)
{
    SWworld* const world = WorldOf(events);
    SWnode* const node = NamedNode(world, target);
    const auto* const action = dynamic_cast<const SWvisibilityaction*>(subject.action);
    if (node == nullptr)
        return;
    void* const flag = visible ? node : nullptr; // any non-null pointer means visible
    if (action != nullptr && action->settings.subtree != 0)
        node->VisitTree(SetVisibleOn, flag, nullptr);
    else
        node->Visit(SetVisibleOn, flag, nullptr);
    world->Invalidate(false);
}

void HideObject(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    HideOrShow(events, target, subject, false);
}

void ShowObject(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    HideOrShow(events, target, subject, true);
}

void BilinearFiltering(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject&)
{
    SWworld* const world = WorldOf(events);
    const std::optional<uint8_t> value = target.GetByte();
    if (world == nullptr || !value)
        return;
    world->SetBilinear(*value);
    world->Invalidate(false);
}

void StereoVision(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    SWworld* const world = WorldOf(events);
    DoActionStereoVision(world, NamedNode(world, target), dynamic_cast<const SWstereoaction*>(subject.action));
}

void ToggleHotspotLabel(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    SWworld* const world = WorldOf(events);
    auto* const spot = dynamic_cast<SWhotspot*>(NamedNode(world, target));
    const auto* const action = dynamic_cast<const SWhotspotlabelaction*>(subject.action);
    if (spot == nullptr || action == nullptr)
        return;
    uint8_t state = 0;
    if (action->mode == 1)
        state = 1;
    else if (action->mode == 2)
        state = spot->GetLabelState() != 0 ? 0 : 1;
    if (spot->SetLabelState(state))
        world->Invalidate(false);
}

const bool kRegistered = RegisterActionHandler(5, SelectCamera) && RegisterActionHandler(19, SetWorldBackground) &&
                         RegisterActionHandler(21, HideObject) && RegisterActionHandler(22, ShowObject) &&
                         RegisterActionHandler(23, BilinearFiltering) && RegisterActionHandler(37, StereoVision) &&
                         RegisterActionHandler(58, ToggleHotspotLabel);

} // namespace

uint32_t PackBackgroundColour(float red, float green, float blue)
{
    return Channel(red) << 16 | Channel(green) << 8 | Channel(blue);
}

void DoActionSetBackground(SWworld* world, SWbackgroundaction* action)
{
    if (world == nullptr || action == nullptr || world->GetRootObject() == nullptr)
        return;
    SWrootobject& root = *world->GetRootObject();
    const SWtexture* const texture = action->GetTexture();
    const uint32_t colour = PackBackgroundColour(action->settings.red, action->settings.green, action->settings.blue);
    const uint32_t mode = action->settings.mode;
    BuiltBackground& built = BuiltOf(*world);
    const std::optional<std::string> textureName =
        texture != nullptr ? std::optional<std::string>(texture->GetName()) : std::nullopt;
    const uint32_t stamp = texture != nullptr ? texture->GetStamp() : 0;
    SWbackground* current = root.GetBackground();
    const bool same = current != nullptr && current->GetSerial() == built.serial && built.colour == colour &&
                      built.mode == mode && built.textureName == textureName && built.textureStamp == stamp;
    if (!same) {
        std::unique_ptr<SWbackground> made = BuildBackground(texture, colour, mode);
        made->SetUsed(1);
        made->AddReference();
        built.serial = made->GetSerial();
        built.colour = colour;
        built.mode = mode;
        built.textureName = textureName;
        built.textureStamp = stamp;
        root.SetBackground(std::move(made));
        current = root.GetBackground();
        if (current != nullptr) {
            current->SetUsed(1);
            current->AddReference();
        }
    }
    // Every window with a renderer, shown or not: the background any of them held has just been deleted.
    for (const std::unique_ptr<SWwindow>& window : world->GetWindows())
        if (window->GetRenderer() != nullptr)
            window->GetRenderer()->SetBackground(current);
    world->Invalidate(false);
}

void DoActionStereoVision(SWworld* world, SWnode* target, const SWstereoaction* action)
{
    auto* const camera = dynamic_cast<SWcameranode*>(target);
    if (world == nullptr || camera == nullptr || action == nullptr)
        return;
    camera->SetEye(action->settings.eye);
    camera->SetStereoEye(action->settings.stereoOn != 0);
    if (SWcameraobject* object = camera->GetCameraObject()) {
        object->SetFirstStereoValue(action->settings.separation);
        object->SetStereoValue(action->settings.value2);
    }
    if (action->settings.stereoOn != 0)
        world->SetStereo(1);
    world->Invalidate(false);
}
