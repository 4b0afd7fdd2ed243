// The handlers of the kinds that act only on events and sequences. Each finds its event by the target's name;
// a target of another kind (a key entry handed on as the trigger) names no event.
#include <memory>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/events.h"
#include "engine/behaviour/property.h"
#include "engine/core/typed_value_data.h"
#include "engine/core/world.h"

namespace {

SWevent* NamedEvent(SWevents* world, const ActionTarget& target)
{
    const char* const name = target.GetText();
    return world != nullptr && name != nullptr ? world->FindEvent(name) : nullptr;
}

// Runs in the next frame step, through the posted queue; an event never triggers itself.
void TriggerEvent(SWevent* event, SWevents* world, const ActionTarget& target, const ActionSubject&)
{
    SWevent* const named = NamedEvent(world, target);
    if (named == nullptr || named == event)
        return;
    SWworld* const owner = world->AsWorld();
    const uint32_t now = owner != nullptr ? owner->GetFrameTimeMs() : 0;
    world->GetPostedQueue().Push(SWinputrecord::SWinputrecordTrigger(named, std::nullopt, now));
}

void RearmEvent(SWevent*, SWevents* world, const ActionTarget& target, const ActionSubject&)
{
    if (SWevent* named = NamedEvent(world, target))
        named->Rearm(false);
}

void ActivateEvent(SWevent*, SWevents* world, const ActionTarget& target, const ActionSubject&)
{
    if (SWevent* named = NamedEvent(world, target))
        named->RequestActivation(true);
}

void DeactivateEvent(SWevent*, SWevents* world, const ActionTarget& target, const ActionSubject&)
{
    if (SWevent* named = NamedEvent(world, target))
        named->RequestActivation(false);
}

void ToggleEventActivation(SWevent*, SWevents* world, const ActionTarget& target, const ActionSubject&)
{
    if (SWevent* named = NamedEvent(world, target))
        named->SetActive(!named->IsActive());
}

void SwapEventActivation(SWevent* event, SWevents* world, const ActionTarget& target, const ActionSubject&)
{
    SWevent* const named = NamedEvent(world, target);
    if (named == nullptr || event == nullptr)
        return;
    const bool mine = event->IsActive();
    event->SetActive(named->IsActive());
    named->SetActive(mine);
}

void ConditionTest(SWevent*, SWevents*, const ActionTarget&, const ActionSubject& subject)
{
    auto* const test = dynamic_cast<SWconditionaction*>(subject.action);
    if (test == nullptr)
        return;
    SWproperty* const left = test->GetOperand1();
    if (left == nullptr || (test->settings.changedOnly != 0 && !left->HasChanged()))
        return;
    SWproperty* right = test->GetOperand2();
    std::unique_ptr<SWproperty> constant;
    if (right == nullptr) {
        if (!test->settings.constant)
            return;
        constant = std::make_unique<SWproperty>(kTypeFloat);
        constant->SetFloatAll(*test->settings.constant);
        right = constant.get();
    }
    if ((left->Compare(*right) & test->settings.mask) != 0)
        test->settings.result = 1;
}

void QueueActions(SWevent*, SWevents*, const ActionTarget&, const ActionSubject&) {}

void StopQueue(SWevent*, SWevents* world, const ActionTarget&, const ActionSubject& subject)
{
    auto* const stop = dynamic_cast<SWstopqueueaction*>(subject.action);
    if (stop == nullptr || world == nullptr)
        return;
    for (const uint32_t id : stop->GetIds())
        world->StopQueue(id);
}

const bool kRegistered = RegisterActionHandler(11, TriggerEvent) && RegisterActionHandler(12, RearmEvent) &&
                         RegisterActionHandler(13, ActivateEvent) && RegisterActionHandler(14, DeactivateEvent) &&
                         RegisterActionHandler(15, ToggleEventActivation) && RegisterActionHandler(25, ConditionTest) &&
                         RegisterActionHandler(30, QueueActions) && RegisterActionHandler(31, StopQueue) &&
                         RegisterActionHandler(38, SwapEventActivation);

} // namespace
