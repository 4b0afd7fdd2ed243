#pragma once
// SWevents: the world as the holder of events (SWworld derives from it). It owns the events, the table of the 22
// event types with their display names and hidden flags, the action id counter and the queues the dispatch runs
// on: the posted input queue (locked, filled from any thread), the dispatch queue (the render thread's), the
// delayed actions and the running action sequences.
//
// The structure generation rises whenever an event, action or variable is deleted (and, through the world, a
// node, sound, resource or expression entry), so that references cached by the behaviour runtime know when to
// resolve again.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_target.h"
#include "engine/behaviour/event_index.h"
#include "engine/behaviour/input_queue.h"
#include "engine/core/list.h"

class BehaviourObserver;
class SWactionnode;
class SWactionqueueentry;
class SWchunkstream;
class SWdelayedaction;
class SWevent;
class SWworld;

class SWevents {
public:
    SWevents();
    virtual ~SWevents(); // deletes every event
    SWevents(const SWevents&) = delete;
    SWevents& operator=(const SWevents&) = delete;

    // -- Events
    SWevent* AddEvent(uint8_t reArmFlag, uint32_t type); // appended with a new id; owned here
    SWevent* AddEventOfType(uint32_t type) { return AddEvent(1, type); }
    SWevent* NewEvent() { return AddEvent(1, 0); }
    void AppendEvent(SWevent* event); // taken from a merged world: owned here; its actions follow
    bool UnlinkEvent(SWevent* event); // the caller owns it again
    bool DeleteEvent(SWevent* event); // string arguments naming it leave the event actions, then it is deleted
    SWevent* GetFirstEvent() const;
    static SWevent* GetNextEvent(const SWevent* event);
    size_t CountEvents() const { return m_events.Count(); }
    SWevent* FindEvent(std::string_view name) const; // ignoring ASCII case; the first in list order
    SWevent* FindEventById(uint32_t id) const;
    SWactionnode* FindActionById(uint32_t actionId) const;
    // In every action of the kinds that name events (trigger, re-arm, activate, deactivate, toggle, swap), every
    // string argument equal to oldName becomes newName.
    void RenameEventReferences(std::string_view oldName, std::string_view newName);
    // In every event's object list, every entry naming oldName names newName; the event index follows.
    void RenameObjectNames(std::string_view oldName, const std::string& newName);
    void ResetEvents(); // the world's start: active := enabled, unblocked, timers from the current time
    const SWeventindex& GetEventIndex() const { return m_index; }
    bool CheckEventIndex() const { return m_index.Check(m_events); } // the index agrees with the list

    // -- Records: the "72ES" section of the world's file (behaviour_records.cpp)
    bool SaveEvents(SWchunkstream& out) const;
    // Appends the events read; the first event that fails is dropped and ends the read with false, the events
    // read before it kept. failedEvent: that event described for the user (its place and its name when read).
    bool LoadEvents(SWchunkstream& in, std::string* failedEvent = nullptr);
    static void ReserveStoredIds(SWchunkstream& in); // the events' and their variables' ids LoadEvents would keep
    // Expression arguments read before the expression list held their entries (a file that keeps the events
    // first) wait as the entries' ids; this points them at the entries that exist now.
    void ResolveLoadedReferences();

    // -- Event types
    void SetEventTypeName(uint32_t type, std::optional<std::string> name);
    void SetEventTypeHidden(uint32_t type, bool hidden);
    const char* GetEventTypeName(uint32_t type) const; // null outside 0..21 or for a hidden type
    uint32_t GetEventTypeCount() const { return kTypes; }

    uint32_t NextActionId() { return m_nextActionId++; }
    uint32_t PeekNextActionId() const { return m_nextActionId; }
    void SetNextActionId(uint32_t id) { m_nextActionId = id; }
    void RaiseActionIdPast(uint32_t id); // ids read from a file: later ones never repeat them

    // -- Queues
    SWinputqueue& GetPostedQueue() { return m_posted; }
    SWinputqueue& GetDispatchQueue() { return m_dispatch; }
    SWlist& GetDelayedActions() { return m_delayedActions; } // of the dispatch's delayed entries
    SWlist& GetActionQueues() { return m_actionQueues; }     // of the dispatch's running sequences

    // -- Action kinds
    const SWactioncategories& GetActionCategories() const { return m_catalogue; }
    void BuildActionKinds() { m_catalogue.Build(); } // at construction; again after late handler registrations

    // -- Dispatch (render thread, under the world's lock)
    void ProcessEvents(); // delayed actions, the dispatch queue, activation requests, then sequences
    void DispatchInputRecord(SWinputrecord& record);
    void ExecuteAction(SWevent* event, SWactionnode* action, const ActionTarget& trigger,
                       const std::optional<std::string>& dataText, bool allowDelay);
    void ScheduleDelayedAction(SWactionnode* action, const ActionTarget& trigger,
                               const std::optional<std::string>& dataText, uint8_t flag);
    void RunDueDelayedActions();
    void RunActionQueues();
    void ClearDelayedActions();
    size_t CancelDelayedAction(const SWactionnode* action); // every pending entry of action; the count
    // Before an action goes: its delayed entries are cancelled and the sequences it runs or waits in finish.
    void ForgetAction(const SWactionnode* action);
    bool StopQueue(uint32_t queueActionId); // the first running sequence of that queue action finishes
    void SetObserver(BehaviourObserver* observer) { m_observer = observer; } // null: none; not owned
    BehaviourObserver* GetObserver() const { return m_observer; }

    uint64_t GetStructureGeneration() const { return m_structureGeneration.load(std::memory_order_relaxed); }
    void RaiseStructureGeneration() { m_structureGeneration.fetch_add(1, std::memory_order_relaxed); }

    // The runtime's random source (random generators): integers 0..32767, uniform; a small generator of our own,
    // never the C library's shared one, so a world seeded alike draws alike. Render thread only.
    uint32_t NextRandom();
    void SeedRandom(uint32_t seed) { m_randomState = seed != 0 ? seed : kDefaultRandomSeed; }

    virtual SWworld* AsWorld() { return nullptr; }             // the world these events belong to, when there is one
    virtual float GetCurrentWorldTime() const { return 0.0f; } // ms; timers restart from it

protected:
    // Every event with its actions, and the delayed entries and sequences that refer to them. The world calls it
    // first in its destructor, so that the motions its actions own still find the whole world as they go.
    void DeleteAllEvents();

private:
    friend class SWevent; // tells the index of its changes
    static constexpr uint32_t kTypes = 22;

    SWeventindex& Index() { return m_index; }
    void DispatchToGroup(EventGroup group, SWinputrecord& record);
    void ApplyActivationRequests();

    void FireEvent(SWevent& event, const SWinputrecord& record, const ActionTarget& trigger, bool named);
    void RunGroup(SWevent& event, SWactionnode* from, uint32_t queueId, SWactionqueueentry& entry);
    void RunLinked(SWevent& event, SWactionnode& test, bool passed, const ActionTarget& trigger,
                   const std::optional<std::string>& dataText);
    void RunPreStepAndHandler(SWevent* event, SWactionnode& action, const ActionTarget& trigger);
    void FinishEntry(SWactionqueueentry& entry);
    void DropRecordsAimedAt(const SWevent* event);

    static constexpr int kMaxChainDepth = 64;
    static constexpr uint32_t kDefaultRandomSeed = 0x2545F491u;

    SWlist m_events;             // of SWevent
    SWeventindex m_index{*this}; // follows m_events
    std::array<std::optional<std::string>, kTypes> m_typeNames;
    std::array<uint8_t, kTypes> m_hidden{};
    uint32_t m_nextActionId = 0;
    SWlist m_delayedActions;
    SWinputqueue m_posted{true};
    SWinputqueue m_dispatch{false};
    SWlist m_actionQueues;
    std::atomic<uint64_t> m_structureGeneration{0};
    SWactioncategories m_catalogue;
    BehaviourObserver* m_observer = nullptr;                // the tool's or a test's; outlives its installation
    std::vector<std::unique_ptr<SWdelayedaction>> m_dueNow; // taken from the list for this frame's run
    std::vector<const SWactionnode*> m_chain;               // the actions now executing, innermost last
    std::vector<SWevent*> m_requesting;                     // this step's activation requests, reused
    uint32_t m_randomState = kDefaultRandomSeed;            // xorshift32; never 0
};

// The kinds of action whose string arguments name events.
bool IsEventNamingActionKind(int32_t kindId);
