#pragma once
// SWeventindex: where the world finds the events one record can fire without walking its whole list.
//
// - Groups. A record fires only events of its group (a step the step events, a click the click events of three
//   types, a key the key events of one kind, ...); each group is kept in the order of the world's list, so events
//   fire in list order as before.
// - Selectors. Within the click, key and motion-finished groups an event fires only for what its list names, so
//   those groups are split further: click events by the node names they list (plus those without a list, which
//   any click fires, and those that follow a sequence, which every click moves), motion-finished events by name,
//   key events by key (plus those without a list). A record's candidates are at most three such lists, merged in
//   list order; the event's own match still decides, so a candidate that does not fire costs one look.
// - Named events. A record that names its event (a named trigger, a timer) asks whether that event is listed, which
//   the index answers without reading it: a record may outlive an event deleted elsewhere.
// - Names, folded, for the look-up that ignores ASCII case; and the events with an activation request, which wait
//   for the end of the step.
//
// The world's list and what the selectors read change only through SWevents (add, append, unlink, delete) and an
// event's own setters (type, name, object list, sequence mode, keys, request); each tells the index through one
// operation here. Check compares everything with the list and the events, so that a change that bypassed the index
// shows at once in a debug build.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class SWevent;
class SWevents;
class SWkeyentry;
class SWlist;

enum class EventGroup : uint8_t {
    kNone = 0, // custom, hidden and unknown types: fired only by a named trigger
    kStart,
    kStop,
    kStep,
    kTimer,
    kClick, // left, right and middle clicks on objects, which one click record can fire side by side
    kMotionFinished,
    kSoundFinished,
    kPropertyChanged,
    kKeyPressed,
    kKeyReleased,
};
inline constexpr size_t kEventGroupCount = 11;

EventGroup GroupOfEventType(uint32_t type);
EventGroup GroupOfRecordKind(uint32_t kind); // the group a record of kind can fire; kNone: none, or it names one

class SWeventindex {
public:
    struct Entry {
        uint64_t order; // the event's place in the list, kept here so that merging reads no event
        SWevent* event;
    };
    using Events = std::vector<Entry>; // in list order

    // Where one record's candidates are: up to three lists in list order, to be merged.
    struct Candidates {
        const Events* lists[3] = {};
    };

    explicit SWeventindex(SWevents& owner) : m_owner(owner) {}
    SWeventindex(const SWeventindex&) = delete;
    SWeventindex& operator=(const SWeventindex&) = delete;

    // -- What changed (each raises the change count but Renamed and RequestNoted)
    void Added(SWevent& event);            // just linked at the tail of the world's list
    void Removed(SWevent& event);          // unlinked, or about to be deleted while listed; nothing when not listed
    void SelectorsChanged(SWevent& event); // its type, object list, sequence mode, key list or all-keys byte
    void Renamed(SWevent& event, const std::optional<std::string>& oldName);
    void RequestNoted(SWevent& event); // its activation request waits for the end of the step
    void Clear(const SWlist& events);  // every event of the list is about to go

    // -- Queries
    bool IsListed(const SWevent* event) const { return m_listed.count(event) != 0; } // never reads event
    const Events& EventsOf(EventGroup group) const { return m_groups[static_cast<size_t>(group)]; }
    // The click events a click on a node named name can fire (node: whether there is a node at all).
    Candidates ClickCandidates(bool node, const std::optional<std::string>& name) const;
    Candidates MotionFinishedCandidates(const std::optional<std::string>& name) const;
    Candidates KeyCandidates(bool pressed, const SWkeyentry* key) const;
    static uint64_t OrderOf(const SWevent& event);                  // rises along the world's list
    static size_t FirstAfter(const Events& events, uint64_t order); // the place of the first event listed after order
    SWevent* FindByName(std::string_view name) const;               // ignoring ASCII case; the first in list order
    uint64_t Changes() const { return m_changes; }
    // The listed events whose request was noted since the last call, each once, in list order; out is reused.
    void TakeRequests(std::vector<SWevent*>& out);

    // Compares the index with the world's list and its events' selectors; false at the first difference.
    bool Check(const SWlist& events) const;

private:
    struct FoldedHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const;
    };
    struct FoldedEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    // Where an event's selectors put it: what it was filed under, kept to take it out again.
    struct Placement {
        uint8_t selector = 0; // a Selector
        std::vector<std::string> names;
        std::vector<const SWkeyentry*> keys;
        bool operator==(const Placement&) const = default;
    };

    static Placement PlacementOf(const SWevent& event);
    static void Insert(Events& events, SWevent& event); // at its place by order
    static bool Erase(Events& events, const SWevent& event);
    void File(SWevent& event);                           // into its group and under its selectors
    void Unfile(SWevent& event);                         // out of both
    static size_t ListCount(const Placement& placement); // how many selector lists hold the event
    bool CheckSelectors(const SWevent& event, EventGroup group) const;
    bool CheckName(const SWevent& event) const;
    bool CheckTotals(size_t named, size_t selective) const;
    const Events* FindSelectorList(EventGroup group, const Placement& placement, size_t which) const;
    void AddName(SWevent& event, const std::optional<std::string>& name);
    void RemoveName(SWevent& event, const std::optional<std::string>& name);

    SWevents& m_owner; // owns this index and the list it mirrors
    Events m_groups[kEventGroupCount];
    std::unordered_set<const SWevent*> m_listed;
    std::unordered_map<const SWevent*, Placement> m_placements; // events of the selective groups
    Events m_anyClick;
    Events m_sequenceClick;
    std::unordered_map<std::string, Events> m_clickByName; // exact names, as the match compares them
    std::unordered_map<std::string, Events> m_motionByName;
    Events m_anyKey[2]; // released, pressed
    std::unordered_map<const SWkeyentry*, Events> m_byKey[2];
    // Events by name, folded; more than one only where names differ in letter case alone (or repeat).
    std::unordered_map<std::string, Events, FoldedHash, FoldedEqual> m_byName;
    std::vector<SWevent*> m_requests; // may hold events gone since: filtered through m_listed
    uint64_t m_nextOrder = 0;
    uint64_t m_changes = 0;
};
