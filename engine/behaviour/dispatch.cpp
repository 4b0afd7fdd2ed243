// The per-frame run of the events: matching input records against events, executing actions, delayed actions,
// activation requests and action sequences. Everything here runs on the render thread under the world's lock.
//
// Sections: the frame step; matching records; firing and executing; delays; sequences; forgetting actions.
#include <algorithm>
#include <cassert>
#include <memory>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_queue_entry.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/behaviour_observer.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/event_index.h"
#include "engine/behaviour/events.h"
#include "engine/behaviour/key_table.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/behaviour/track_target_motion.h"
#include "engine/core/node.h"
#include "engine/core/world.h"
#include "engine/resources/sound_list.h"

namespace {

template <typename T> T TargetAs(const SWinputrecord& record)
{
    const auto* value = std::get_if<T>(&record.GetTarget());
    return value != nullptr ? *value : nullptr;
}

// A missing name matches nothing, on either side.
bool NamesMatch(const std::optional<std::string>& a, const std::optional<std::string>& b)
{
    return a && b && *a == *b;
}

uint32_t ClickMaskOf(uint32_t type)
{
    switch (static_cast<EventType>(type)) {
    case EventType::kLeftClickObject:
        return 2;
    case EventType::kRightClickObject:
        return 1;
    case EventType::kMiddleClickObject:
        return 4;
    default:
        return 0;
    }
}

bool ClearsLastMatchedNode(uint32_t type)
{
    return (type >= 5 && type <= 7) || type == 15 || type == 16;
}

// Kinds whose handler is given the action itself.
bool IsActionSubjectKind(int32_t kind)
{
    switch (kind) {
    case 4:
    case 7:
    case 19:
    case 21:
    case 22:
    case 25:
    case 30:
    case 31:
    case 33:
    case 34:
    case 37:
    case 40:
    case 46:
    case 48:
    case 49:
    case 54:
    case 55:
    case 56:
    case 57:
    case 58:
        return true;
    default:
        return false;
    }
}

bool IsOldControllerKind(int32_t kind)
{
    return kind == 0 || kind == 2 || (kind >= 26 && kind <= 29) || kind == 32;
}

const char* ArgumentText(const SWactionnode& action, size_t index)
{
    const SWlistnode* n = action.GetArguments().Head();
    for (size_t i = 0; n != nullptr && i < index; ++i)
        n = n->Next();
    return n != nullptr ? static_cast<const SWdatanode*>(n)->GetText() : nullptr;
}

} // namespace

// -- The frame step

void SWevents::ProcessEvents()
{
    RunDueDelayedActions();
    while (SWinputrecord* popped = m_dispatch.Pop()) {
        std::unique_ptr<SWinputrecord> record(popped);
        if (record->GetKind() == InputKind::kNamedTrigger && TargetAs<SWevent*>(*record) == nullptr) {
            if (!record->GetEventName())
                continue; // neither target nor name: nothing to fire
            SWevent* const event = FindEvent(*record->GetEventName());
            if (event == nullptr) {
                if (m_observer != nullptr)
                    m_observer->RecordRequeued(*record);
                m_posted.Push(record.release()); // retried next frame
                continue;
            }
            record->SetTarget(event);
        }
        DispatchInputRecord(*record);
    }
    ApplyActivationRequests();
    RunActionQueues();
}

// Only events that asked are looked at, in list order as a walk of the whole list would take them.
void SWevents::ApplyActivationRequests()
{
    assert(m_index.Check(m_events) && "the event index has fallen out of step with the list of events");
    m_index.TakeRequests(m_requesting);
    for (SWevent* e : m_requesting) {
        const uint8_t request = e->GetPendingRequest();
        if (request == SWevent::kRequestNone)
            continue;
        e->ClearPendingRequest();
        e->SetActive(request == SWevent::kRequestActivate);
        if (m_observer != nullptr)
            m_observer->ActivationChanged(*e, e->IsActive());
    }
    m_requesting.clear();
}

// -- Matching records

namespace {

struct Match {
    bool fires = false;
    ActionTarget trigger;
};

Match MatchClick(SWevent& event, const SWinputrecord& record)
{
    if ((record.GetSecondWord() & ClickMaskOf(event.GetType())) == 0)
        return {};
    SWnode* const node = TargetAs<SWnode*>(record);
    const std::optional<std::string> noName;
    const std::optional<std::string>& name = node != nullptr ? node->GetName() : noName;
    SWlist* const list = event.GetObjectList();
    if (list == nullptr || list->Count() == 0) { // an emptied list is no list, as after a save and load
        if (node != nullptr)
            event.SetLastMatchedNode(node);
        return {true, name ? ActionTarget::Text(name->c_str()) : ActionTarget()};
    }
    auto* const first = static_cast<SWobjectnameentry*>(list->Head());
    if (event.GetSequenceMode() == 0) {
        for (auto* e = first; e != nullptr; e = static_cast<SWobjectnameentry*>(e->Next()))
            if (NamesMatch(e->name, name)) {
                event.SetLastMatchedNode(node);
                return {true, ActionTarget::Text(name->c_str())};
            }
        return {};
    }
    if (node == nullptr)
        return {}; // the cursor stays where it is
    SWobjectnameentry* const cursor = event.GetSequenceCursor() != nullptr ? event.GetSequenceCursor() : first;
    if (!NamesMatch(cursor->name, name)) {
        event.SetSequenceCursor(first);
        return {};
    }
    if (auto* next = static_cast<SWobjectnameentry*>(cursor->Next())) {
        event.SetSequenceCursor(next);
        return {};
    }
    event.SetSequenceCursor(first);
    event.SetLastMatchedNode(node);
    return {true, ActionTarget::Text(name->c_str())};
}

Match MatchKey(SWevent& event, const SWinputrecord& record)
{
    const SWkeyentry* const key = TargetAs<const SWkeyentry*>(record);
    if (event.GetAllKeysFlag() != 0)
        return {};
    if (SWlist* list = event.GetKeyEntry(); list != nullptr && list->Count() > 0) {
        bool listed = false;
        for (SWlistnode* n = list->Head(); n != nullptr && !listed; n = n->Next())
            listed = key != nullptr && static_cast<SWkeyreference*>(n)->key == key;
        if (!listed)
            return {};
    }
    if (event.GetType() == static_cast<uint32_t>(EventType::kKeyPressed))
        event.SetLastPressedKey(key);
    else
        event.SetLastReleasedKey(key);
    return {true, ActionTarget::Key(key)};
}

bool MatchesMotionFinished(const SWevent& event, SWworld* world, const SWinputrecord& record)
{
    SWlist* const list = event.GetObjectList();
    SWnode* const node = TargetAs<SWnode*>(record);
    if (list == nullptr || world == nullptr || world->GetRootNode() == nullptr || node == nullptr)
        return false;
    for (SWlistnode* n = list->Head(); n != nullptr; n = n->Next()) {
        const auto& name = static_cast<SWobjectnameentry*>(n)->name;
        if (name && world->GetRootNode()->FindByName(*name) == node)
            return true;
    }
    return false;
}

bool MatchesSoundFinished(const SWevent& event, SWworld* world, const SWinputrecord& record)
{
    SWlist* const list = event.GetSoundList();
    SWsound* const sound = TargetAs<SWsound*>(record);
    if (list == nullptr || world == nullptr || sound == nullptr)
        return false;
    for (SWlistnode* n = list->Head(); n != nullptr; n = n->Next()) {
        const auto& name = static_cast<SWnameentry*>(n)->name;
        if (name && world->GetSoundList().FindByName(*name) == sound)
            return true;
    }
    return false;
}

// The event a record fires, by the event's type; state the match keeps (a sequence's cursor, the last node or key,
// the world's start flag) changes as it always did.
Match MatchRecord(SWevent& e, const SWinputrecord& record, uint32_t kind, SWworld* world)
{
    Match match;
    if (!e.IsActive() || e.IsBlocked())
        return match;
    switch (static_cast<EventType>(e.GetType())) {
    case EventType::kWorldStart:
        match.fires = kind == 8 && world != nullptr && world->GetStartFlag() != 0;
        if (match.fires)
            world->SetStartFlag(0);
        break;
    case EventType::kWorldStop:
        match.fires = kind == 9 && world != nullptr && world->GetStopFlag() != 0;
        break;
    case EventType::kWorldStep:
        match.fires = kind == 10;
        break;
    case EventType::kTimerEvent:
        match.fires = kind == 11 && TargetAs<SWevent*>(record) == &e;
        break;
    case EventType::kLeftClickObject:
    case EventType::kRightClickObject:
    case EventType::kMiddleClickObject:
        if (kind == 6)
            match = MatchClick(e, record);
        break;
    case EventType::kMotionFinished:
        match.fires = kind == 12 && MatchesMotionFinished(e, world, record);
        break;
    case EventType::kSoundFinished:
        match.fires = kind == 13 && MatchesSoundFinished(e, world, record);
        break;
    case EventType::kPropertyChanged:
        match.fires =
            kind == 14 && e.GetWatchedVariable() != nullptr && TargetAs<SWproperty*>(record) == e.GetWatchedVariable();
        break;
    case EventType::kKeyPressed:
        if (kind == 2)
            match = MatchKey(e, record);
        break;
    case EventType::kKeyReleased:
        if (kind == 1)
            match = MatchKey(e, record);
        break;
    default:
        break;
    }
    return match;
}

} // namespace

// Every event a record can fire is of its group, or is the one event it names, so only those are looked at; the
// order of firing is the list's, as a walk of the whole list would have it.
void SWevents::DispatchInputRecord(SWinputrecord& record)
{
    if (m_observer != nullptr)
        m_observer->RecordDispatched(record);
    const uint32_t kind = record.GetKindCode();
    if (kind == 5 || kind == 11) {
        SWevent* const named = TargetAs<SWevent*>(record);
        if (named == nullptr || !m_index.IsListed(named))
            return; // aimed at nothing, or at an event no longer listed
        if (kind == 5)
            FireEvent(*named, record, {}, true);
        else if (const Match match = MatchRecord(*named, record, kind, AsWorld()); match.fires)
            FireEvent(*named, record, match.trigger, false);
        return;
    }
    if (const EventGroup group = GroupOfRecordKind(kind); group != EventGroup::kNone)
        DispatchToGroup(group, record);
}

// The candidates of a group merged in list order; each is matched as the walk of the whole list matched it.
void SWevents::DispatchToGroup(EventGroup group, SWinputrecord& record)
{
    SWworld* const world = AsWorld();
    const uint32_t kind = record.GetKindCode();
    // What selects the candidates, kept apart from the record's target, which an action may delete.
    SWnode* const node = TargetAs<SWnode*>(record);
    const SWkeyentry* const key = TargetAs<const SWkeyentry*>(record);
    const std::optional<std::string> name = node != nullptr ? node->GetName() : std::nullopt;
    const auto select = [&]() {
        switch (group) {
        case EventGroup::kClick:
            return m_index.ClickCandidates(node != nullptr, name);
        case EventGroup::kMotionFinished:
            return m_index.MotionFinishedCandidates(name);
        case EventGroup::kKeyPressed:
        case EventGroup::kKeyReleased:
            return m_index.KeyCandidates(group == EventGroup::kKeyPressed, key);
        default:
            return SWeventindex::Candidates{{&m_index.EventsOf(group)}};
        }
    };
    SWeventindex::Candidates candidates = select();
    size_t at[3] = {};
    for (;;) {
        const SWeventindex::Entry* next = nullptr;
        size_t from = 0;
        for (size_t i = 0; i < 3; ++i) {
            const SWeventindex::Events* list = candidates.lists[i];
            if (list != nullptr && at[i] < list->size() && (next == nullptr || (*list)[at[i]].order < next->order)) {
                next = &(*list)[at[i]];
                from = i;
            }
        }
        if (next == nullptr)
            break;
        ++at[from];
        SWevent* const e = next->event;
        const uint64_t order = next->order;
        const uint64_t changes = m_index.Changes();
        const bool wasLast = e->Next() == nullptr;
        if (const Match match = MatchRecord(*e, record, kind, world); match.fires)
            FireEvent(*e, record, match.trigger, false);
        if (m_index.Changes() == changes)
            continue;
        // Its actions changed the list (a sub-world came or went): the walk goes on from where e stood, and, as a
        // walk of the whole list would, takes nothing appended after e when e was the last.
        if (wasLast)
            break;
        candidates = select();
        for (size_t i = 0; i < 3; ++i)
            at[i] = candidates.lists[i] != nullptr ? SWeventindex::FirstAfter(*candidates.lists[i], order) : 0;
    }
}

// -- Firing and executing

void SWevents::FireEvent(SWevent& event, const SWinputrecord& record, const ActionTarget& trigger, bool named)
{
    if (m_observer != nullptr)
        m_observer->EventFired(event, record);
    event.Block();
    if (named) {
        if (ClearsLastMatchedNode(event.GetType()))
            event.SetLastMatchedNode(nullptr);
        if (event.GetType() == static_cast<uint32_t>(EventType::kKeyPressed))
            event.SetLastPressedKey(nullptr);
        if (event.GetType() == static_cast<uint32_t>(EventType::kKeyReleased))
            event.SetLastReleasedKey(nullptr);
    }
    for (SWactionnode* a = event.GetFirstAction(); a != nullptr;) {
        SWactionnode* const next = SWevent::GetNextAction(a);
        if (a->IsTopLevel())
            ExecuteAction(&event, a, trigger, record.GetDataText(), true);
        a = next;
    }
    event.Rearm(false);
}

void SWevents::ExecuteAction(SWevent* event, SWactionnode* action, const ActionTarget& trigger,
                             const std::optional<std::string>& dataText, bool allowDelay)
{
    if (action == nullptr)
        return;
    // Links may form cycles (a crafted file, or an edit): an action already running on this chain is not run
    // again, and the chain is bounded so the render thread's stack is too.
    if (std::find(m_chain.begin(), m_chain.end(), action) != m_chain.end() || m_chain.size() >= kMaxChainDepth) {
        if (m_observer != nullptr)
            m_observer->ActionSkipped(*action);
        return;
    }
    if (allowDelay && action->GetDelay() != 0.0) {
        ScheduleDelayedAction(action, trigger, dataText, 0);
        return;
    }
    m_chain.push_back(action);
    if (action->GetKindId() == SWactionnode::kHostCallbackKind) {
        const SWactionkind* const kind = action->GetKind();
        const char* const text1 = kind != nullptr && kind->GetFirstText() ? kind->GetFirstText()->c_str() : nullptr;
        const char* const text2 = kind != nullptr && kind->GetParameter() ? kind->GetParameter()->c_str() : nullptr;
        const char* const data = dataText ? dataText->c_str() : nullptr;
        if (m_observer != nullptr)
            m_observer->HostCall(text1, text2, data);
        if (SWworld* world = AsWorld())
            world->JavaCallback(event, text1, text2, data);
    } else if (action->GetKindId() == 30) {
        if (m_observer != nullptr)
            m_observer->ActionExecuted(*action, {}, ActionSubject{action, nullptr, nullptr});
        auto* const entry = new SWactionqueueentry(action, trigger, dataText);
        entry->AddReference(); // the list's
        m_actionQueues.AddTail(entry);
        if (m_observer != nullptr)
            m_observer->SequenceStarted(*entry, nullptr);
        if (event != nullptr)
            RunGroup(*event, event->GetFirstAction(), action->GetActionId(), *entry);
    } else {
        RunPreStepAndHandler(event, *action, trigger);
        if (action->GetKindId() == 25 && event != nullptr)
            if (auto* test = dynamic_cast<SWconditionaction*>(action)) {
                const bool passed = test->settings.result != 0;
                test->settings.result = 0;
                RunLinked(*event, *action, passed, trigger, dataText);
            }
    }
    m_chain.pop_back();
}

void SWevents::RunPreStepAndHandler(SWevent* event, SWactionnode& action, const ActionTarget& trigger)
{
    const int32_t kind = action.GetKindId();
    ActionSubject subject;
    SWnodemotion* clone = nullptr;
    if (IsOldControllerKind(kind)) {
        action.SetCurrentSequenceEntry(action.GetSequenceEntry());
        subject.action = &action;
    } else if (IsActionSubjectKind(kind)) {
        subject.action = &action;
    } else if (IsMotionKind(kind)) {
        auto* motion = dynamic_cast<SWnodemotion*>(action.GetMotion());
        if (motion != nullptr && motion->GetType() != 0) {
            motion->SetStartDelay(static_cast<float>(action.GetDelay()));
            SWworld* const world = AsWorld();
            if (motion->GetType() == 4 || RunsTemplate(motion->GetType())) {
                if (motion->GetType() == 4 && world != nullptr && world->GetRootNode() != nullptr) {
                    motion->SetTargetNode(motion->GetTargetNodeName()
                                              ? world->GetRootNode()->FindByName(*motion->GetTargetNodeName())
                                              : nullptr);
                    if (auto* aim = dynamic_cast<SWtracktargetmotion*>(motion))
                        aim->ResolveTarget();
                }
                motion->SetHoldObject(action.GetSequenceEntry());
                subject.motion = motion;
            } else if (world != nullptr) {
                std::unique_ptr<SWnodemotion> copy(dynamic_cast<SWnodemotion*>(motion->Clone()));
                if (copy != nullptr) {
                    clone = copy.get();
                    clone->SetHoldObject(action.GetSequenceEntry());
                    TimedActionTable::Of(*world).Add(std::move(copy));
                    clone->Start();
                    subject.motion = clone;
                }
            }
        }
    }
    const ActionHandler handler = action.GetKind() != nullptr ? action.GetKind()->GetHandler() : nullptr;
    const auto call = [&](const ActionTarget& target, const ActionSubject& with) {
        if (m_observer != nullptr)
            m_observer->ActionExecuted(action, target, with);
        if (handler != nullptr)
            handler(event, this, target, with);
    };
    if (kind == 10) {
        subject.text = ArgumentText(action, 1);
        call(ActionTarget::Text(ArgumentText(action, 0)), subject);
    } else if (action.IsTargetTrigger()) {
        call(trigger, subject);
    } else if (action.GetArguments().Count() == 0) {
        call({}, subject);
    } else {
        for (const SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next())
            call(TargetOfArgument(*static_cast<const SWdatanode*>(n), kind), subject);
    }
    // A clone no handler bound to a node would run unseen for ever; the purge takes it.
    if (clone != nullptr && clone->GetBoundNodes().empty()) {
        clone->ReleaseHolds();
        clone->MarkDone();
    }
}

void SWevents::RunLinked(SWevent& event, SWactionnode& test, bool passed, const ActionTarget& trigger,
                         const std::optional<std::string>& dataText)
{
    const uint32_t id = test.GetActionId();
    for (SWactionnode* a = event.GetFirstAction(); a != nullptr;) {
        SWactionnode* const next = SWevent::GetNextAction(a);
        if ((passed ? a->GetThenLink() : a->GetElseLink()) == id)
            ExecuteAction(&event, a, trigger, dataText, true);
        a = next;
    }
}

// -- Delays

void SWevents::ScheduleDelayedAction(SWactionnode* action, const ActionTarget& trigger,
                                     const std::optional<std::string>& dataText, uint8_t flag)
{
    if (action == nullptr)
        return;
    auto* entry = new SWdelayedaction(action, trigger, dataText, flag);
    if (action->GetDelay() > 0.0) {
        entry->GetTimer().SetPeriod(static_cast<float>(action->GetDelay()));
        entry->GetTimer().Start();
    }
    m_delayedActions.AddTail(entry);
    if (m_observer != nullptr)
        m_observer->DelayScheduled(*action, action->GetDelay());
}

void SWevents::RunDueDelayedActions()
{
    // Due entries leave the list before any runs, so an action that cancels another's entries never frees one
    // this walk still holds; those it cancels are nulled in m_dueNow instead.
    for (SWlistnode* n = m_delayedActions.Head(); n != nullptr;) {
        SWlistnode* const next = n->Next();
        auto* entry = static_cast<SWdelayedaction*>(n);
        if (entry->GetAction()->GetDelay() <= 0.0 || entry->GetTimer().Expired(nullptr)) {
            m_delayedActions.Remove(entry);
            m_dueNow.emplace_back(entry);
        }
        n = next;
    }
    for (size_t i = 0; i < m_dueNow.size(); ++i) {
        if (m_dueNow[i] == nullptr)
            continue;
        const std::unique_ptr<SWdelayedaction> entry = std::move(m_dueNow[i]);
        SWactionnode* const action = entry->GetAction();
        if (m_observer != nullptr)
            m_observer->DelayRun(*action, entry->GetTrigger(), entry->GetDataText());
        ExecuteAction(action->GetEvent(), action, entry->GetTrigger(), entry->GetDataText(), false);
    }
    m_dueNow.clear();
}

void SWevents::ClearDelayedActions()
{
    m_delayedActions.DeleteAll();
    for (auto& entry : m_dueNow)
        entry.reset();
}

size_t SWevents::CancelDelayedAction(const SWactionnode* action)
{
    size_t cancelled = 0;
    for (SWlistnode* n = m_delayedActions.Head(); n != nullptr;) {
        SWlistnode* const next = n->Next();
        if (static_cast<SWdelayedaction*>(n)->GetAction() == action) {
            m_delayedActions.Delete(n);
            ++cancelled;
        }
        n = next;
    }
    for (auto& entry : m_dueNow)
        if (entry != nullptr && entry->GetAction() == action) {
            entry.reset();
            ++cancelled;
        }
    return cancelled;
}

// -- Sequences

void SWevents::RunGroup(SWevent& event, SWactionnode* from, uint32_t queueId, SWactionqueueentry& entry)
{
    const QueueEntryRef keep(&entry); // members may stop their own sequence
    for (SWactionnode* a = from; a != nullptr && !entry.IsFinished();) {
        SWactionnode* const next = SWevent::GetNextAction(a);
        if (a->GetQueueLink() == queueId) {
            if (a->IsWaiting()) {
                a->SetSequenceEntry(&entry);
                entry.SetCurrentAction(a);
                if (m_observer != nullptr)
                    m_observer->SequenceWaiting(entry, *a);
                ExecuteAction(&event, a, entry.GetTrigger(), entry.GetDataText(), true);
                return;
            }
            a->SetSequenceEntry(nullptr);
            ExecuteAction(&event, a, entry.GetTrigger(), entry.GetDataText(), true);
        }
        a = next;
    }
}

void SWevents::RunActionQueues()
{
    for (SWlistnode* n = m_actionQueues.Head(); n != nullptr;) {
        const QueueEntryRef entry(static_cast<SWactionqueueentry*>(n));
        if (!entry->IsFinished() && entry->GetWaitCount() == 0) {
            SWactionnode* const queue = entry->GetQueueAction();
            SWevent* const event = queue->GetEvent();
            SWactionnode* found = nullptr;
            if (SWactionnode* current = entry->GetCurrentAction()) {
                for (SWactionnode* a = SWevent::GetNextAction(current); a != nullptr && found == nullptr;
                     a = SWevent::GetNextAction(a))
                    if (a->GetQueueLink() == queue->GetActionId())
                        found = a;
                entry->SetCurrentAction(nullptr);
            }
            if (found != nullptr)
                RunGroup(*event, found, queue->GetActionId(), *entry.Get());
            else if (auto* loop = dynamic_cast<SWqueueaction*>(queue); loop != nullptr && loop->IsLooping()) {
                if (m_observer != nullptr)
                    m_observer->SequenceStarted(*entry.Get(), nullptr);
                RunGroup(*event, event->GetFirstAction(), queue->GetActionId(), *entry.Get());
            } else
                entry->SetFinished();
        }
        n = n->Next();
    }
    for (SWlistnode* n = m_actionQueues.Head(); n != nullptr;) {
        SWlistnode* const next = n->Next();
        auto* entry = static_cast<SWactionqueueentry*>(n);
        if (entry->IsFinished()) {
            if (m_observer != nullptr)
                m_observer->SequenceFinished(*entry);
            m_actionQueues.Remove(entry);
            entry->ReleaseReference();
        }
        n = next;
    }
}

bool SWevents::StopQueue(uint32_t queueActionId)
{
    for (SWlistnode* n = m_actionQueues.Head(); n != nullptr; n = n->Next()) {
        auto* entry = static_cast<SWactionqueueentry*>(n);
        if (!entry->IsFinished() && entry->GetQueueAction()->GetActionId() == queueActionId) {
            entry->SetFinished();
            return true;
        }
    }
    return false;
}

// -- Forgetting actions and events

void SWevents::ForgetAction(const SWactionnode* action)
{
    CancelDelayedAction(action);
    for (SWlistnode* n = m_actionQueues.Head(); n != nullptr; n = n->Next()) {
        auto* entry = static_cast<SWactionqueueentry*>(n);
        if (entry->GetQueueAction() == action || entry->GetCurrentAction() == action) {
            entry->SetCurrentAction(nullptr);
            entry->SetFinished();
        }
    }
}

void SWevents::DropRecordsAimedAt(const SWevent* event)
{
    const auto aimed = [event](const SWinputrecord& record) {
        return (record.GetKind() == InputKind::kNamedTrigger || record.GetKind() == InputKind::kTimer) &&
               std::get_if<SWevent*>(&record.GetTarget()) != nullptr &&
               *std::get_if<SWevent*>(&record.GetTarget()) == event;
    };
    m_posted.RemoveIf(aimed);
    m_dispatch.RemoveIf(aimed);
}
