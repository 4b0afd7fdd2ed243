// The handlers that reach the host or the sound output: beeps, sounds, requests for a page or a published file,
// the cursor and messages. What the host then does with them is the host's.
#include <algorithm>
#include <optional>
#include <string>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/events.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/handler_world.h"
#include "engine/behaviour/property.h"
#include "engine/core/cursor_list.h"
#include "engine/core/world.h"
#include "engine/resources/sound.h"
#include "platform/media/audio_out.h"

namespace {

constexpr uint32_t kBeepHz = 3000;
constexpr uint32_t kBeepMs = 20;

using behaviour_handlers::WorldOf;

std::optional<std::string> CopyOf(const char* text)
{
    return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

SWsound* NamedSound(SWworld* world, const ActionTarget& target)
{
    const char* const name = target.GetText();
    return world != nullptr && name != nullptr ? world->GetSoundList().FindByName(name) : nullptr;
}

void SystemBeep(SWevent*, SWevents*, const ActionTarget&, const ActionSubject&)
{
    pf::beep(kBeepHz, kBeepMs);
}

// The action's range, loop and repeat count are its play's: the sound's own settings, which are saved, stay.
void PlaySound(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    SWworld* const world = WorldOf(events);
    SWsound* const sound = NamedSound(world, target);
    const auto* const action = dynamic_cast<const SWsoundaction*>(subject.action);
    if (sound == nullptr || action == nullptr)
        return;
    const SWsoundaction::Settings& s = action->settings;
    const uint32_t length = sound->GetLength();
    const uint32_t start = std::min(s.startMs, length); // a start past the end would give an inverted range
    const uint32_t end = s.endMs <= start || s.endMs > length ? length : s.endMs;
    sound->SetPlay({start, end, s.playOption1, s.playOption2});
    world->QueueSoundPlay(sound);
}

void StopSound(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject&)
{
    SWworld* const world = WorldOf(events);
    if (SWsound* sound = NamedSound(world, target))
        world->QueueSoundStop(sound);
}

void LoadUrl(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    SWworld* const world = WorldOf(events);
    if (world == nullptr)
        return;
    world->SetRequestUrl(CopyOf(target.GetText()));
    world->SetRequestTarget(CopyOf(subject.text));
}

void LoadVtoFile(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject&)
{
    SWworld* const world = WorldOf(events);
    if (world != nullptr && target.GetText() != nullptr)
        world->SetRequestFile(CopyOf(target.GetText()));
}

// A null target asks for the default cursor, and so does an id the list does not hold.
void SetMousePointer(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject&)
{
    SWworld* const world = WorldOf(events);
    if (world == nullptr)
        return;
    const std::optional<int32_t> id = target.GetInteger();
    world->SetCursor(id ? world->GetCursorList().FindById(static_cast<uint32_t>(*id)) : nullptr);
}

void SendMessageToHost(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    SWworld* const world = WorldOf(events);
    const char* const text = target.GetText();
    if (world == nullptr || text == nullptr)
        return;
    const auto* const action = dynamic_cast<const SWhostmessageaction*>(subject.action);
    if (action == nullptr || action->sendVariable == 0) {
        world->HostMessage(text);
        return;
    }
    int code = 0;
    if (const SWproperty* variable = SWexpression::ResolveVariableReference(world, text, code))
        world->HostMessage(variable->GetAsString().c_str());
}

const bool kRegistered = RegisterActionHandler(6, SystemBeep) && RegisterActionHandler(7, PlaySound) &&
                         RegisterActionHandler(8, StopSound) && RegisterActionHandler(10, LoadUrl) &&
                         RegisterActionHandler(20, LoadVtoFile) && RegisterActionHandler(39, SetMousePointer) &&
                         RegisterActionHandler(40, SendMessageToHost);

} // namespace
