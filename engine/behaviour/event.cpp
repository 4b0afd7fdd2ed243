#include "engine/behaviour/event.h"

#include <algorithm>
#include <cfloat>
#include <utility>
#include <vector>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event_index.h"
#include "engine/behaviour/events.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/key_table.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"

namespace {

bool IsObjectListType(uint32_t type)
{
    return type == 5 || type == 6 || type == 7 || type == 16;
}

bool IsClickObjectType(uint32_t type)
{
    return type == 5 || type == 6 || type == 7;
}

} // namespace

SWtaggednamelist::SWtaggednamelist() : m_tag(MakeTag("TXTB")) {}

void SWtaggednamelist::SetTag(uint32_t tag)
{
    if (tag == m_tag)
        return;
    DeleteAll();
    m_tag = tag;
}

void SWtaggednamelist::AddName(std::optional<std::string> name)
{
    AddTail(new SWnameentry(std::move(name)));
}

SWevent::SWevent(uint8_t reArmFlag, uint32_t type) : m_type(type), m_reArm(reArmFlag)
{
    MakeTypeData();
}

SWevent::~SWevent()
{
    if (m_listedIn != nullptr) // deleted while listed, not through the world: its list lets go of it just after
        m_listedIn->Index().Removed(*this);
    m_actions.DeleteAll();
    FreeTypeData();
}

void SWevent::SetWorld(SWevents* world)
{
    m_world = world;
    SWworld* owner = world != nullptr ? world->AsWorld() : nullptr;
    for (SWactionnode* a = GetFirstAction(); a != nullptr; a = GetNextAction(a))
        a->SetWorld(owner);
}

// -- Type data

void SWevent::FreeTypeData()
{
    m_objects.reset();
    m_lastMatched = nullptr;
    m_cursor = nullptr;
    m_sequence = 0;
    m_sounds.reset();
    m_watched = nullptr;
    m_watchedRef.Reset();
    m_watchedName.reset();
    m_secondName.reset();
    m_watchConstant.reset();
    m_watchOptions[0] = m_watchOptions[1] = 1;
    m_keys.reset();
    m_allKeys = 0;
    m_lastPressed = m_lastReleased = m_firstKey = nullptr;
    m_taggedNames.reset();
    m_timerLastMs = 0.0f;
    m_timerIntervalMs = kDefaultTimerIntervalMs;
}

void SWevent::MakeTypeData()
{
    if (m_type == static_cast<uint32_t>(EventType::kSoundFinished))
        m_sounds = std::make_unique<SWlist>();
    else if (m_type == static_cast<uint32_t>(EventType::kLoadFinished))
        m_taggedNames = std::make_unique<SWtaggednamelist>();
}

void SWevent::SetType(uint32_t type)
{
    if (type == m_type)
        return;
    if (IsObjectListType(m_type) && IsObjectListType(type)) {
        m_lastMatched = nullptr;
        m_cursor = nullptr;
        if (!IsClickObjectType(type))
            m_sequence = 0; // only click events keep a sequence
    } else {
        FreeTypeData();
    }
    m_type = type;
    m_timeLineMs = kTimeLineAfterTypeChange;
    MakeTypeData();
    SelectorsChanged();
}

void SWevent::SelectorsChanged()
{
    if (m_listedIn != nullptr)
        m_listedIn->Index().SelectorsChanged(*this);
}

void SWevent::SetName(std::optional<std::string> name)
{
    if (m_name && m_world != nullptr)
        m_world->RenameEventReferences(*m_name, name ? std::string_view(*name) : std::string_view());
    const std::optional<std::string> old = std::exchange(m_name, std::move(name));
    if (m_listedIn != nullptr)
        m_listedIn->Index().Renamed(*this, old);
}

// -- State

void SWevent::RequestActivation(bool on)
{
    m_pendingRequest = on ? kRequestActivate : kRequestDeactivate;
    if (m_listedIn != nullptr)
        m_listedIn->Index().RequestNoted(*this);
}

void SWevent::SetActive(bool on)
{
    m_active = on ? 1 : 0;
    if (on) {
        Rearm(false);
        m_blocked = 0;
    }
}

void SWevent::Rearm(bool force)
{
    const bool startOrStop = m_type == static_cast<uint32_t>(EventType::kWorldStart) ||
                             m_type == static_cast<uint32_t>(EventType::kWorldStop);
    if (!force && startOrStop)
        return;
    if (m_reArm == 1)
        m_blocked = 0;
    if (m_type == static_cast<uint32_t>(EventType::kTimerEvent))
        m_timerLastMs = m_world != nullptr ? m_world->GetCurrentWorldTime() : 0.0f;
}

// -- Timer

void SWevent::SetTimerInterval(float ms)
{
    if (m_type == static_cast<uint32_t>(EventType::kTimerEvent))
        m_timerIntervalMs = ms;
}

float SWevent::GetTimerInterval() const
{
    return m_type == static_cast<uint32_t>(EventType::kTimerEvent) ? m_timerIntervalMs : FLT_MAX;
}

float SWevent::GetTimerLastTime() const
{
    return m_type == static_cast<uint32_t>(EventType::kTimerEvent) ? m_timerLastMs : FLT_MAX;
}

void SWevent::SetTimerLastTime(float ms)
{
    if (m_type == static_cast<uint32_t>(EventType::kTimerEvent))
        m_timerLastMs = ms;
}

// -- Object list

bool SWevent::HasObjectList() const
{
    return IsObjectListType(m_type);
}

void SWevent::AddObjectName(std::optional<std::string> name)
{
    if (!HasObjectList())
        return;
    if (!m_objects)
        m_objects = std::make_unique<SWlist>();
    m_objects->AddTail(new SWobjectnameentry(std::move(name)));
    SelectorsChanged();
}

SWlist* SWevent::GetObjectList() const
{
    return HasObjectList() ? m_objects.get() : nullptr;
}

void SWevent::ClearObjectList()
{
    if (!HasObjectList())
        return;
    m_objects.reset();
    m_cursor = nullptr;
    m_lastMatched = nullptr;
    SelectorsChanged();
}

bool SWevent::RemoveObjectEntry(SWobjectnameentry* entry)
{
    if (!m_objects || !m_objects->Contains(entry))
        return false;
    if (m_cursor == entry)
        m_cursor = nullptr;
    m_objects->Delete(entry);
    if (m_objects->Empty())
        ClearObjectList();
    SelectorsChanged();
    return true;
}

bool SWevent::RenameObjectNames(std::string_view oldName, const std::string& newName)
{
    bool renamed = false;
    for (SWlistnode* n = m_objects && HasObjectList() ? m_objects->Head() : nullptr; n != nullptr; n = n->Next()) {
        auto* entry = static_cast<SWobjectnameentry*>(n);
        if (entry->name && *entry->name == oldName) {
            entry->name = newName;
            renamed = true;
        }
    }
    if (renamed)
        SelectorsChanged(); // the index files click events under the names they list
    return renamed;
}

void SWevent::SetSequenceMode(uint8_t on)
{
    if (IsClickObjectType(m_type))
        m_sequence = on;
    SelectorsChanged();
}

uint8_t SWevent::GetSequenceMode() const
{
    return IsClickObjectType(m_type) ? m_sequence : 0;
}

// -- Sound list

void SWevent::AddSoundName(std::optional<std::string> name)
{
    if (m_sounds)
        m_sounds->AddTail(new SWnameentry(std::move(name)));
}

bool SWevent::RemoveSoundName(std::string_view name)
{
    if (!m_sounds)
        return false;
    for (SWlistnode* n = m_sounds->Head(); n != nullptr; n = n->Next()) {
        const auto* entry = static_cast<SWnameentry*>(n);
        if (entry->name && *entry->name == name) {
            m_sounds->Delete(n);
            return true;
        }
    }
    return false;
}

void SWevent::ClearSoundList()
{
    if (m_sounds)
        m_sounds->DeleteAll();
}

SWlist* SWevent::GetSoundList() const
{
    return m_sounds.get();
}

// -- Watched variable

SWproperty* SWevent::GetWatchedVariable() const
{
    if (m_type != static_cast<uint32_t>(EventType::kPropertyChanged))
        return nullptr;
    const SWworld* const world = m_world != nullptr ? m_world->AsWorld() : nullptr;
    if (world == nullptr)
        return m_watched;
    if (!m_watchedRef.IsSet() && m_watched != nullptr)
        m_watchedRef = VariableRef(*world, m_watched); // set before the event joined its world
    if (SWproperty* known = m_watchedRef.Get(world))
        return known;
    if (!m_watchedName)
        return nullptr;
    int code = SWexpression::kCodeOk;
    SWproperty* const resolved = SWexpression::ResolveVariableReference(world, *m_watchedName, code);
    if (resolved != nullptr)
        m_watchedRef = VariableRef(*world, resolved);
    return resolved;
}

void SWevent::SetWatchedVariable(SWproperty* variable)
{
    if (m_type != static_cast<uint32_t>(EventType::kPropertyChanged))
        return;
    m_watched = variable;
    const SWworld* const world = m_world != nullptr ? m_world->AsWorld() : nullptr;
    m_watchedRef = world != nullptr ? VariableRef(*world, variable) : VariableRef();
    m_watchedName.reset();
}

void SWevent::SetWatchedVariableName(std::optional<std::string> name)
{
    if (m_type != static_cast<uint32_t>(EventType::kPropertyChanged))
        return;
    m_watched = nullptr;
    m_watchedRef.Reset();
    m_watchedName = std::move(name);
}

uint8_t SWevent::GetWatchOption(int index) const
{
    return index == 0 || index == 1 ? m_watchOptions[index] : 0;
}

void SWevent::SetWatchOption(int index, uint8_t value)
{
    if (index == 0 || index == 1)
        m_watchOptions[index] = value;
}

// -- Key list

bool SWevent::IsKeyType() const
{
    return m_type == static_cast<uint32_t>(EventType::kKeyPressed) ||
           m_type == static_cast<uint32_t>(EventType::kKeyReleased);
}

void SWevent::AddKey(const SWkeyentry* key)
{
    if (!IsKeyType() || key == nullptr)
        return;
    if (!m_keys)
        m_keys = std::make_unique<SWlist>();
    if (m_firstKey == nullptr)
        m_firstKey = key;
    m_keys->AddTail(new SWkeyreference(key));
    SelectorsChanged();
}

void SWevent::ClearKeyList()
{
    if (!IsKeyType())
        return;
    m_keys.reset();
    m_firstKey = nullptr;
    SelectorsChanged();
}

bool SWevent::RemoveKey(const SWkeyentry* key)
{
    if (!m_keys)
        return false;
    for (SWlistnode* n = m_keys->Head(); n != nullptr; n = n->Next()) {
        if (static_cast<SWkeyreference*>(n)->key == key) {
            m_keys->Delete(n);
            if (m_keys->Empty())
                ClearKeyList();
            else if (m_firstKey == key)
                m_firstKey = static_cast<SWkeyreference*>(m_keys->Head())->key;
            SelectorsChanged();
            return true;
        }
    }
    return false;
}

SWlist* SWevent::GetKeyEntry() const
{
    return IsKeyType() ? m_keys.get() : nullptr;
}

void SWevent::SetAllKeysFlag(uint8_t on)
{
    if (IsKeyType())
        m_allKeys = on;
    SelectorsChanged();
}

uint8_t SWevent::GetAllKeysFlag() const
{
    return IsKeyType() ? m_allKeys : 0;
}

// -- Actions

SWactionnode* SWevent::GetFirstAction() const
{
    return static_cast<SWactionnode*>(m_actions.Head());
}

SWactionnode* SWevent::GetNextAction(const SWactionnode* action)
{
    return action != nullptr ? static_cast<SWactionnode*>(action->Next()) : nullptr;
}

void SWevent::AppendAction(SWactionnode* action)
{
    if (action == nullptr)
        return;
    m_actions.AddTail(action);
    action->SetEvent(this);
    action->SetWorld(m_world != nullptr ? m_world->AsWorld() : nullptr);
}

void SWevent::InsertActionAfter(SWactionnode* action, SWactionnode* after)
{
    if (action == nullptr)
        return;
    m_actions.InsertAfter(m_actions.Contains(after) ? after : nullptr, action);
    action->SetEvent(this);
    action->SetWorld(m_world != nullptr ? m_world->AsWorld() : nullptr);
}

bool SWevent::UnlinkAction(SWactionnode* action)
{
    if (!m_actions.Remove(action))
        return false;
    action->SetEvent(nullptr);
    return true;
}

bool SWevent::RemoveAction(SWactionnode* action)
{
    if (action == nullptr || !m_actions.Contains(action))
        return false;
    if (m_world != nullptr)
        m_world->ForgetAction(action);
    m_actions.Delete(action);
    if (m_world != nullptr)
        m_world->RaiseStructureGeneration();
    return true;
}

SWactionnode* SWevent::FindAction(uint32_t actionId) const
{
    for (SWactionnode* a = GetFirstAction(); a != nullptr; a = GetNextAction(a))
        if (a->GetActionId() == actionId)
            return a;
    return nullptr;
}

void SWevent::MoveActionTree(SWactionnode* action, SWactionnode* after)
{
    if (action == nullptr || action == after)
        return;
    if (SWevent* from = action->GetEvent()) {
        // Dependants (transitively) come along; the moved action itself goes where it is dropped.
        std::vector<SWactionnode*> collected{action};
        for (size_t i = 0; i < collected.size(); ++i)
            for (SWactionnode* a = from->GetFirstAction(); a != nullptr; a = GetNextAction(a))
                if (a->IsDependentOf(collected[i]->GetActionId()) &&
                    std::find(collected.begin(), collected.end(), a) == collected.end())
                    collected.push_back(a);
        for (size_t i = 1; i < collected.size(); ++i) {
            from->UnlinkAction(collected[i]);
            AppendAction(collected[i]);
        }
        from->UnlinkAction(action);
    }
    InsertActionAfter(action, after);
    UnsetStaleLinks();
}

// Every link, not only the first set one: a stale link left behind would hide the action from its event.
void SWevent::UnsetStaleLinks()
{
    for (SWactionnode* a = GetFirstAction(); a != nullptr; a = GetNextAction(a)) {
        if (a->GetThenLink() != SWactionnode::kUnset && FindAction(a->GetThenLink()) == nullptr)
            a->SetThenLink(SWactionnode::kUnset);
        if (a->GetElseLink() != SWactionnode::kUnset && FindAction(a->GetElseLink()) == nullptr)
            a->SetElseLink(SWactionnode::kUnset);
        if (a->GetQueueLink() != SWactionnode::kUnset && FindAction(a->GetQueueLink()) == nullptr)
            a->SetQueueLink(SWactionnode::kUnset);
    }
}

void SWevent::OnVariableRemoved(SWproperty&)
{
    if (m_world != nullptr)
        m_world->RaiseStructureGeneration();
}
