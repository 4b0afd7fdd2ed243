#include "engine/behaviour/event_index.h"

#include <algorithm>

#include "engine/behaviour/event.h"
#include "engine/core/list.h"

namespace {

// Where an event's selectors file it within its group.
enum Selector : uint8_t {
    kNotSelective = 0, // its group is walked whole
    kNever,            // nothing fires it: a key event for a combination, a motion event without names
    kAnyClick,         // without an object list: every click with its button
    kSequenceClick,    // a list followed in order: every click moves the cursor
    kNamedClick,       // the names of its list
    kMotionNamed,      // the names of its list
    kAnyKey,           // without a key list: every key
    kKeyed,            // the keys of its list
};

constexpr size_t kReleased = 0;
constexpr size_t kPressed = 1;

char FoldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Folded(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded)
        c = FoldAscii(c);
    return folded;
}

bool ByOrder(const SWevent* a, const SWevent* b)
{
    return SWeventindex::OrderOf(*a) < SWeventindex::OrderOf(*b);
}

bool EntriesByOrder(const SWeventindex::Entry& a, const SWeventindex::Entry& b)
{
    return a.order < b.order;
}

bool IsSelectiveGroup(EventGroup group)
{
    return group == EventGroup::kClick || group == EventGroup::kMotionFinished || group == EventGroup::kKeyPressed ||
           group == EventGroup::kKeyReleased;
}

} // namespace

EventGroup GroupOfEventType(uint32_t type)
{
    switch (static_cast<EventType>(type)) {
    case EventType::kWorldStart:
        return EventGroup::kStart;
    case EventType::kWorldStop:
        return EventGroup::kStop;
    case EventType::kWorldStep:
        return EventGroup::kStep;
    case EventType::kTimerEvent:
        return EventGroup::kTimer;
    case EventType::kLeftClickObject:
    case EventType::kRightClickObject:
    case EventType::kMiddleClickObject:
        return EventGroup::kClick;
    case EventType::kMotionFinished:
        return EventGroup::kMotionFinished;
    case EventType::kSoundFinished:
        return EventGroup::kSoundFinished;
    case EventType::kPropertyChanged:
        return EventGroup::kPropertyChanged;
    case EventType::kKeyPressed:
        return EventGroup::kKeyPressed;
    case EventType::kKeyReleased:
        return EventGroup::kKeyReleased;
    default:
        return EventGroup::kNone;
    }
}

EventGroup GroupOfRecordKind(uint32_t kind)
{
    switch (kind) {
    case 1:
        return EventGroup::kKeyReleased;
    case 2:
        return EventGroup::kKeyPressed;
    case 6:
        return EventGroup::kClick;
    case 8:
        return EventGroup::kStart;
    case 9:
        return EventGroup::kStop;
    case 10:
        return EventGroup::kStep;
    case 12:
        return EventGroup::kMotionFinished;
    case 13:
        return EventGroup::kSoundFinished;
    case 14:
        return EventGroup::kPropertyChanged;
    default:
        return EventGroup::kNone; // named triggers and timers name their event; the rest fire none
    }
}

size_t SWeventindex::FoldedHash::operator()(std::string_view text) const
{
    uint64_t hash = 0xCBF29CE484222325ull; // FNV-1a over the folded bytes
    for (const char c : text) {
        hash ^= static_cast<uint8_t>(FoldAscii(c));
        hash *= 0x100000001B3ull;
    }
    return static_cast<size_t>(hash);
}

bool SWeventindex::FoldedEqual::operator()(std::string_view a, std::string_view b) const
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

// -- What changed

void SWeventindex::Added(SWevent& event)
{
    if (!m_listed.insert(&event).second)
        return;
    event.m_listedIn = &m_owner;
    event.m_order = ++m_nextOrder;
    File(event);
    AddName(event, event.GetName());
    if (event.GetPendingRequest() != SWevent::kRequestNone)
        m_requests.push_back(&event);
    ++m_changes;
}

void SWeventindex::Removed(SWevent& event)
{
    if (m_listed.erase(&event) == 0)
        return;
    Unfile(event);
    RemoveName(event, event.GetName());
    event.m_listedIn = nullptr;
    ++m_changes;
}

void SWeventindex::SelectorsChanged(SWevent& event)
{
    if (!IsListed(&event))
        return;
    const auto group = static_cast<uint8_t>(GroupOfEventType(event.GetType()));
    if (group == event.m_group && !IsSelectiveGroup(static_cast<EventGroup>(group)))
        return;
    Unfile(event);
    File(event);
    ++m_changes;
}

void SWeventindex::Renamed(SWevent& event, const std::optional<std::string>& oldName)
{
    if (!IsListed(&event))
        return;
    RemoveName(event, oldName);
    AddName(event, event.GetName());
}

void SWeventindex::RequestNoted(SWevent& event)
{
    if (IsListed(&event))
        m_requests.push_back(&event);
}

void SWeventindex::Clear(const SWlist& events)
{
    for (SWlistnode* n = events.Head(); n != nullptr; n = n->Next())
        static_cast<SWevent*>(n)->m_listedIn = nullptr;
    for (Events& group : m_groups)
        group.clear();
    m_listed.clear();
    m_placements.clear();
    m_anyClick.clear();
    m_sequenceClick.clear();
    m_clickByName.clear();
    m_motionByName.clear();
    for (size_t k = 0; k < 2; ++k) {
        m_anyKey[k].clear();
        m_byKey[k].clear();
    }
    m_byName.clear();
    m_requests.clear();
    ++m_changes;
}

// -- Queries

SWeventindex::Candidates SWeventindex::ClickCandidates(bool node, const std::optional<std::string>& name) const
{
    Candidates candidates;
    candidates.lists[0] = &m_anyClick;
    if (node) // a sequence without a node keeps its cursor, so then it is left alone
        candidates.lists[1] = &m_sequenceClick;
    if (name)
        if (const auto found = m_clickByName.find(*name); found != m_clickByName.end())
            candidates.lists[2] = &found->second;
    return candidates;
}

SWeventindex::Candidates SWeventindex::MotionFinishedCandidates(const std::optional<std::string>& name) const
{
    Candidates candidates;
    if (name)
        if (const auto found = m_motionByName.find(*name); found != m_motionByName.end())
            candidates.lists[0] = &found->second;
    return candidates;
}

SWeventindex::Candidates SWeventindex::KeyCandidates(bool pressed, const SWkeyentry* key) const
{
    const size_t k = pressed ? kPressed : kReleased;
    Candidates candidates;
    candidates.lists[0] = &m_anyKey[k];
    if (key != nullptr)
        if (const auto found = m_byKey[k].find(key); found != m_byKey[k].end())
            candidates.lists[1] = &found->second;
    return candidates;
}

uint64_t SWeventindex::OrderOf(const SWevent& event)
{
    return event.m_order;
}

size_t SWeventindex::FirstAfter(const Events& events, uint64_t order)
{
    const auto at =
        std::partition_point(events.begin(), events.end(), [order](const Entry& e) { return e.order <= order; });
    return static_cast<size_t>(at - events.begin());
}

SWevent* SWeventindex::FindByName(std::string_view name) const
{
    const auto found = m_byName.find(name);
    return found != m_byName.end() && !found->second.empty() ? found->second.front().event : nullptr;
}

void SWeventindex::TakeRequests(std::vector<SWevent*>& out)
{
    out.clear();
    for (SWevent* event : m_requests)
        if (IsListed(event))
            out.push_back(event);
    m_requests.clear();
    std::sort(out.begin(), out.end(), ByOrder);
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

bool SWeventindex::Check(const SWlist& events) const
{
    if (m_listed.size() != events.Count())
        return false;
    size_t at[kEventGroupCount] = {};
    size_t named = 0;
    size_t selective = 0;
    uint64_t lastOrder = 0;
    for (const SWlistnode* n = events.Head(); n != nullptr; n = n->Next()) {
        const auto* event = static_cast<const SWevent*>(n);
        const EventGroup group = GroupOfEventType(event->GetType());
        const auto g = static_cast<size_t>(group);
        if (!IsListed(event) || event->m_listedIn != &m_owner || event->m_order <= lastOrder || event->m_group != g)
            return false;
        lastOrder = event->m_order;
        if (group != EventGroup::kNone) {
            const Events& members = m_groups[g];
            if (at[g] >= members.size() || members[at[g]].event != event || members[at[g]].order != lastOrder)
                return false; // the group skips it, or holds another here
            ++at[g];
        }
        if (IsSelectiveGroup(group) && !CheckSelectors(*event, group))
            return false;
        if (event->GetName() && !CheckName(*event))
            return false;
        selective += IsSelectiveGroup(group) ? 1 : 0;
        named += event->GetName() ? 1 : 0;
    }
    for (size_t g = 0; g < kEventGroupCount; ++g)
        if (at[g] != m_groups[g].size())
            return false; // the group holds more than the list
    return CheckTotals(named, selective);
}

// Filed under what its lists hold now, in each list it should be in.
bool SWeventindex::CheckSelectors(const SWevent& event, EventGroup group) const
{
    const auto placed = m_placements.find(&event);
    if (placed == m_placements.end() || !(placed->second == PlacementOf(event)))
        return false; // filed under what its lists held before, or not at all
    const Entry wanted{event.m_order, const_cast<SWevent*>(&event)};
    for (size_t i = 0; i < ListCount(placed->second); ++i) {
        const Events* list = FindSelectorList(group, placed->second, i);
        if (list == nullptr)
            return false;
        const auto found = std::lower_bound(list->begin(), list->end(), wanted, EntriesByOrder);
        if (found == list->end() || found->event != &event)
            return false;
    }
    return true;
}

bool SWeventindex::CheckName(const SWevent& event) const
{
    const auto found = m_byName.find(*event.GetName());
    return found != m_byName.end() && std::any_of(found->second.begin(), found->second.end(), [&event](const Entry& e) {
               return e.event == &event && e.order == event.m_order;
           });
}

// Nothing is filed beyond what the listed events account for.
bool SWeventindex::CheckTotals(size_t named, size_t selective) const
{
    size_t indexedNames = 0;
    for (const auto& [name, holders] : m_byName)
        indexedNames += holders.size();
    size_t placedLists = 0;
    for (const auto& [event, placement] : m_placements)
        placedLists += ListCount(placement);
    size_t filed = m_anyClick.size() + m_sequenceClick.size() + m_anyKey[0].size() + m_anyKey[1].size();
    for (const auto* map : {&m_clickByName, &m_motionByName})
        for (const auto& [name, holders] : *map)
            filed += holders.size();
    for (const auto& map : m_byKey)
        for (const auto& [key, holders] : map)
            filed += holders.size();
    return indexedNames == named && m_placements.size() == selective && filed == placedLists;
}

// -- Filing

SWeventindex::Placement SWeventindex::PlacementOf(const SWevent& event)
{
    Placement placement;
    const EventGroup group = GroupOfEventType(event.GetType());
    const auto addName = [&placement](const std::optional<std::string>& name) {
        if (name && std::find(placement.names.begin(), placement.names.end(), *name) == placement.names.end())
            placement.names.push_back(*name);
    };
    if (group == EventGroup::kClick || group == EventGroup::kMotionFinished) {
        const SWlist* const list = event.GetObjectList();
        if (list == nullptr || list->Count() == 0)
            placement.selector = group == EventGroup::kClick ? kAnyClick : kNever;
        else if (group == EventGroup::kClick && event.GetSequenceMode() != 0)
            placement.selector = kSequenceClick;
        else {
            placement.selector = group == EventGroup::kClick ? kNamedClick : kMotionNamed;
            for (const SWlistnode* n = list->Head(); n != nullptr; n = n->Next())
                addName(static_cast<const SWobjectnameentry*>(n)->name);
        }
    } else if (group == EventGroup::kKeyPressed || group == EventGroup::kKeyReleased) {
        const SWlist* const list = event.GetKeyEntry();
        if (event.GetAllKeysFlag() != 0)
            placement.selector = kNever;
        else if (list == nullptr || list->Count() == 0)
            placement.selector = kAnyKey;
        else {
            placement.selector = kKeyed;
            for (const SWlistnode* n = list->Head(); n != nullptr; n = n->Next()) {
                const SWkeyentry* const key = static_cast<const SWkeyreference*>(n)->key;
                if (key != nullptr &&
                    std::find(placement.keys.begin(), placement.keys.end(), key) == placement.keys.end())
                    placement.keys.push_back(key);
            }
        }
    }
    return placement;
}

void SWeventindex::Insert(Events& events, SWevent& event)
{
    const Entry entry{event.m_order, &event};
    // Appending is the common case; a changed event finds its place by order.
    if (events.empty() || events.back().order < entry.order) {
        events.push_back(entry);
        return;
    }
    events.insert(std::lower_bound(events.begin(), events.end(), entry, EntriesByOrder), entry);
}

bool SWeventindex::Erase(Events& events, const SWevent& event)
{
    const Entry entry{event.m_order, const_cast<SWevent*>(&event)};
    const auto at = std::lower_bound(events.begin(), events.end(), entry, EntriesByOrder);
    if (at == events.end() || at->event != &event)
        return false;
    events.erase(at);
    return true;
}

size_t SWeventindex::ListCount(const Placement& placement)
{
    switch (placement.selector) {
    case kNotSelective:
    case kNever:
        return 0;
    case kNamedClick:
    case kMotionNamed:
        return placement.names.size();
    case kKeyed:
        return placement.keys.size();
    default:
        return 1;
    }
}

const SWeventindex::Events* SWeventindex::FindSelectorList(EventGroup group, const Placement& placement,
                                                           size_t which) const
{
    const auto find = [](const auto& map, const auto& key) -> const Events* {
        const auto found = map.find(key);
        return found != map.end() ? &found->second : nullptr;
    };
    const size_t k = group == EventGroup::kKeyPressed ? kPressed : kReleased;
    switch (placement.selector) {
    case kAnyClick:
        return &m_anyClick;
    case kSequenceClick:
        return &m_sequenceClick;
    case kNamedClick:
        return find(m_clickByName, placement.names[which]);
    case kMotionNamed:
        return find(m_motionByName, placement.names[which]);
    case kAnyKey:
        return &m_anyKey[k];
    case kKeyed:
        return find(m_byKey[k], placement.keys[which]);
    default:
        return nullptr;
    }
}

void SWeventindex::File(SWevent& event)
{
    const EventGroup group = GroupOfEventType(event.GetType());
    event.m_group = static_cast<uint8_t>(group);
    if (group == EventGroup::kNone)
        return;
    Insert(m_groups[event.m_group], event);
    if (!IsSelectiveGroup(group))
        return;
    Placement placement = PlacementOf(event);
    const size_t k = group == EventGroup::kKeyPressed ? kPressed : kReleased;
    for (size_t i = 0; i < ListCount(placement); ++i) {
        switch (placement.selector) {
        case kAnyClick:
            Insert(m_anyClick, event);
            break;
        case kSequenceClick:
            Insert(m_sequenceClick, event);
            break;
        case kNamedClick:
            Insert(m_clickByName[placement.names[i]], event);
            break;
        case kMotionNamed:
            Insert(m_motionByName[placement.names[i]], event);
            break;
        case kAnyKey:
            Insert(m_anyKey[k], event);
            break;
        default:
            Insert(m_byKey[k][placement.keys[i]], event);
            break;
        }
    }
    m_placements[&event] = std::move(placement);
}

void SWeventindex::Unfile(SWevent& event)
{
    const auto group = static_cast<EventGroup>(event.m_group); // what it was filed under, whatever its type now
    if (group == EventGroup::kNone)
        return;
    Erase(m_groups[event.m_group], event);
    const auto placed = m_placements.find(&event);
    if (placed == m_placements.end())
        return;
    const Placement& placement = placed->second;
    const size_t k = group == EventGroup::kKeyPressed ? kPressed : kReleased;
    const auto eraseKeyed = [&event](auto& map, const auto& key) {
        if (const auto found = map.find(key); found != map.end()) {
            Erase(found->second, event);
            if (found->second.empty())
                map.erase(found);
        }
    };
    for (size_t i = 0; i < ListCount(placement); ++i) {
        switch (placement.selector) {
        case kAnyClick:
            Erase(m_anyClick, event);
            break;
        case kSequenceClick:
            Erase(m_sequenceClick, event);
            break;
        case kNamedClick:
            eraseKeyed(m_clickByName, placement.names[i]);
            break;
        case kMotionNamed:
            eraseKeyed(m_motionByName, placement.names[i]);
            break;
        case kAnyKey:
            Erase(m_anyKey[k], event);
            break;
        default:
            eraseKeyed(m_byKey[k], placement.keys[i]);
            break;
        }
    }
    m_placements.erase(placed);
}

void SWeventindex::AddName(SWevent& event, const std::optional<std::string>& name)
{
    if (!name)
        return;
    auto found = m_byName.find(*name);
    if (found == m_byName.end())
        found = m_byName.emplace(Folded(*name), Events()).first;
    Insert(found->second, event);
}

void SWeventindex::RemoveName(SWevent& event, const std::optional<std::string>& name)
{
    if (!name)
        return;
    const auto found = m_byName.find(*name);
    if (found == m_byName.end())
        return;
    Erase(found->second, event);
    if (found->second.empty())
        m_byName.erase(found);
}
