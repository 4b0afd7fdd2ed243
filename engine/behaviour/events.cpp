#include "engine/behaviour/events.h"

#include <cstring>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_queue_entry.h"
#include "engine/behaviour/event.h"
#include "engine/core/data_node.h"
#include "engine/core/unique_id.h"

namespace {

// Display names, set in the order the editor lists the types (motion finished among the first).
constexpr struct {
    uint32_t type;
    const char* name;
} kTypeNames[] = {
    {0, "World start"},
    {1, "World stop"},
    {2, "World step"},
    {3, "Custom event"},
    {4, "Timer"},
    {16, "Motion finished"},
    {5, "Left click on object"},
    {6, "Right click on object"},
    {7, "Middle click on object"},
    {8, "Left click"},
    {9, "Right click"},
    {10, "Middle click"},
    {11, "Left button released"},
    {12, "Right button released"},
    {13, "Middle button released"},
    {14, "Left double click"},
    {15, "Left double click on object"},
    {17, "Sound finished"},
    {18, "Property changed"},
    {19, "Key pressed"},
    {20, "Key released"},
    {21, "Loading finished"},
};

bool IsNamedArgument(const SWlistnode* n, std::string_view name)
{
    const auto* argument = static_cast<const SWdatanode*>(n);
    const char* text = argument->GetText();
    return text != nullptr && std::string_view(text) == name;
}

} // namespace

bool IsEventNamingActionKind(int32_t kindId)
{
    return (kindId >= 11 && kindId <= 15) || kindId == 38;
}

SWevents::SWevents()
{
    for (const auto& entry : kTypeNames)
        SetEventTypeName(entry.type, entry.name);
    for (uint32_t type = 8; type <= 15; ++type)
        SetEventTypeHidden(type, true);
    SetEventTypeHidden(18, true);
    SetEventTypeHidden(21, true);
    BuildActionKinds();
}

SWevents::~SWevents()
{
    DeleteAllEvents();
}

void SWevents::DeleteAllEvents()
{
    m_delayedActions.DeleteAll();
    // Sequences are shared with actions and motions; the list lets go of its references, the last holder frees.
    while (auto* entry = static_cast<SWactionqueueentry*>(m_actionQueues.Head())) {
        m_actionQueues.Remove(entry);
        entry->ReleaseReference();
    }
    m_index.Clear(m_events);
    m_events.DeleteAll();
}

SWevent* SWevents::AddEvent(uint8_t reArmFlag, uint32_t type)
{
    auto* event = new SWevent(reArmFlag, type);
    m_events.AddTail(event);
    event->SetId(NextUniqueId());
    event->SetWorld(this);
    m_index.Added(*event);
    return event;
}

void SWevents::AppendEvent(SWevent* event)
{
    if (event == nullptr)
        return;
    m_events.AddTail(event);
    event->SetWorld(this);
    m_index.Added(*event);
}

bool SWevents::UnlinkEvent(SWevent* event)
{
    if (!m_events.Remove(event))
        return false;
    m_index.Removed(*event);
    return true;
}

bool SWevents::DeleteEvent(SWevent* event)
{
    if (event == nullptr || !m_events.Contains(event))
        return false;
    // Actions name events by name: while another event keeps the name, they name that one and keep it.
    const auto namedAlike = [&](const SWevent* e) { return e != event && e->GetName() == event->GetName(); };
    bool nameStays = false;
    for (const SWevent* e = GetFirstEvent(); e != nullptr && event->GetName() && !nameStays; e = GetNextEvent(e))
        nameStays = namedAlike(e);
    if (event->GetName() && !nameStays) {
        const std::string name = *event->GetName();
        for (SWevent* e = GetFirstEvent(); e != nullptr; e = GetNextEvent(e))
            for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
                if (!IsEventNamingActionKind(a->GetKindId()))
                    continue;
                SWlist& arguments = a->GetArguments();
                for (SWlistnode* n = arguments.Head(); n != nullptr;) {
                    SWlistnode* next = n->Next();
                    if (IsNamedArgument(n, name))
                        arguments.Delete(n);
                    n = next;
                }
            }
    }
    for (SWactionnode* a = event->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
        ForgetAction(a);
    DropRecordsAimedAt(event);
    m_index.Removed(*event);
    m_events.Delete(event);
    RaiseStructureGeneration();
    return true;
}

SWevent* SWevents::GetFirstEvent() const
{
    return static_cast<SWevent*>(m_events.Head());
}

SWevent* SWevents::GetNextEvent(const SWevent* event)
{
    return event != nullptr ? static_cast<SWevent*>(event->Next()) : nullptr;
}

SWevent* SWevents::FindEvent(std::string_view name) const
{
    return m_index.FindByName(name);
}

SWevent* SWevents::FindEventById(uint32_t id) const
{
    for (SWevent* e = GetFirstEvent(); e != nullptr; e = GetNextEvent(e))
        if (e->GetId() == id)
            return e;
    return nullptr;
}

SWactionnode* SWevents::FindActionById(uint32_t actionId) const
{
    for (SWevent* e = GetFirstEvent(); e != nullptr; e = GetNextEvent(e))
        if (SWactionnode* a = e->FindAction(actionId))
            return a;
    return nullptr;
}

void SWevents::RenameEventReferences(std::string_view oldName, std::string_view newName)
{
    const std::string replacement(newName);
    for (SWevent* e = GetFirstEvent(); e != nullptr; e = GetNextEvent(e))
        for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
            if (!IsEventNamingActionKind(a->GetKindId()))
                continue;
            for (SWlistnode* n = a->GetArguments().Head(); n != nullptr; n = n->Next())
                if (IsNamedArgument(n, oldName))
                    static_cast<SWdatanode*>(n)->SetText(replacement.c_str(), true);
        }
}

void SWevents::RenameObjectNames(std::string_view oldName, const std::string& newName)
{
    for (SWevent* e = GetFirstEvent(); e != nullptr; e = GetNextEvent(e))
        e->RenameObjectNames(oldName, newName);
}

void SWevents::ResetEvents()
{
    const float now = GetCurrentWorldTime();
    for (SWevent* e = GetFirstEvent(); e != nullptr; e = GetNextEvent(e)) {
        e->SetActive(e->IsEnabled());
        e->Unblock();
        e->SetTimerLastTime(now);
    }
}

void SWevents::SetEventTypeName(uint32_t type, std::optional<std::string> name)
{
    if (type < kTypes)
        m_typeNames[type] = std::move(name);
}

void SWevents::SetEventTypeHidden(uint32_t type, bool hidden)
{
    if (type < kTypes)
        m_hidden[type] = hidden ? 1 : 0;
}

const char* SWevents::GetEventTypeName(uint32_t type) const
{
    if (type >= kTypes || m_hidden[type] != 0 || !m_typeNames[type])
        return nullptr;
    return m_typeNames[type]->c_str();
}

void SWevents::RaiseActionIdPast(uint32_t id)
{
    if (id != SWactionnode::kUnset && id >= m_nextActionId)
        m_nextActionId = id + 1;
}

uint32_t SWevents::NextRandom()
{
    uint32_t x = m_randomState;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    m_randomState = x;
    return (x >> 8) & 0x7FFF; // the high bits, which are the better mixed
}
