#pragma once
// SWactionnode: one step an event runs when it fires. This is the part every action kind shares: its event, its
// id within the world, the three links that place it under a condition or in a sequence, its delay, its kind and
// its arguments (typically target names). The kinds with settings of their own derive from it.
//
// Link ids and the action id use all bits set for "unset"; an action whose three links are unset is top-level.
#include <cstdint>
#include <map>
#include <memory>

#include "engine/behaviour/action_queue_entry.h"
#include "engine/core/data_node.h"
#include "engine/core/list.h"

class SWactionkind;
class SWevent;
class SWmotion;
class SWworld;

class SWactionnode : public SWlistnode {
public:
    static constexpr uint32_t kUnset = 0xFFFFFFFFu;
    static constexpr int32_t kHostCallbackKind = 16;

    explicit SWactionnode(int32_t kindId = 0);
    ~SWactionnode() override; // deletes the arguments, and a private kind record

    SWworld* GetWorld() const { return m_world; }
    void SetWorld(SWworld* world) { m_world = world; } // the world owning the event, which outlives the action
    SWevent* GetEvent() const { return m_event; }
    void SetEvent(SWevent* event) { m_event = event; } // the event whose list owns the action
    double GetDelay() const { return m_delayMs; }
    void SetDelay(double ms); // negative or NaN stores 0
    uint32_t GetActionId() const { return m_actionId; }
    void SetActionId(uint32_t id) { m_actionId = id; }
    uint32_t GetThenLink() const { return m_thenLink; }
    uint32_t GetElseLink() const { return m_elseLink; }
    uint32_t GetQueueLink() const { return m_queueLink; }
    void SetThenLink(uint32_t id) { m_thenLink = id; }
    void SetElseLink(uint32_t id) { m_elseLink = id; }
    void SetQueueLink(uint32_t id) { m_queueLink = id; }
    bool IsTopLevel() const { return m_thenLink == kUnset && m_elseLink == kUnset && m_queueLink == kUnset; }
    bool IsDependentOf(uint32_t actionId) const; // one of its three links names actionId
    // Same owning event, and one of a's set links names b.
    static bool IsDependentOf(const SWactionnode& a, const SWactionnode& b);
    bool IsWaiting() const { return m_wait != 0; }
    void SetWait(uint8_t wait) { m_wait = wait; }
    SWactionqueueentry* GetSequenceEntry() const { return m_sequenceEntry.Get(); }
    void SetSequenceEntry(SWactionqueueentry* entry) { m_sequenceEntry = QueueEntryRef(entry); }
    SWactionqueueentry* GetCurrentSequenceEntry() const { return m_currentEntry.Get(); }
    void SetCurrentSequenceEntry(SWactionqueueentry* entry) { m_currentEntry = QueueEntryRef(entry); }
    int32_t GetKindId() const { return m_kindId; }
    SWactionkind* GetKind() const { return m_kind; }
    void SetKind(SWactionkind* kind);                     // a catalogue record, which outlives the action
    void TakeOwnKind(std::unique_ptr<SWactionkind> kind); // a private record (host callbacks)
    bool IsTargetTrigger() const { return m_targetIsTrigger != 0; }
    void SetTargetIsTrigger(uint8_t on) { m_targetIsTrigger = on; }
    uint8_t GetSuppress() const { return m_suppress; }
    void SetSuppress(uint8_t value) { m_suppress = value; }

    SWlist& GetArguments() { return m_arguments; } // of SWdatanode, owned
    const SWlist& GetArguments() const { return m_arguments; }
    SWdatanode* AddArgument(const void* datum, int type, bool copy); // appended; null for an unknown type

    // A new action of the same class with a copy of the class's own settings, not yet in an event; null for the
    // classes that cannot be copied this way. Caller owns.
    virtual SWactionnode* Clone() const;
    // Milliseconds of one pass; outPasses 0 means for ever; outFrames at 30 frames a second.
    virtual double GetDuration(int32_t& outPasses, int32_t* outFrames) const;
    virtual void StretchDuration(double) {} // the set-duration operation; ignored by most kinds
    virtual SWmotion* GetMotion() const { return nullptr; }
    // Renumbers the action id and the three links through map (old id to new); ids the map lacks are kept.
    virtual void RemapIds(const std::map<uint32_t, uint32_t>& map);

protected:
    void CopyKindTo(SWactionnode& other) const; // the kind record, copied when private
    static void Remap(const std::map<uint32_t, uint32_t>& map, uint32_t& id);

private:
    SWworld* m_world = nullptr;
    SWevent* m_event = nullptr;
    double m_delayMs = 0.0;
    uint32_t m_actionId = kUnset;
    uint32_t m_thenLink = kUnset;
    uint32_t m_elseLink = kUnset;
    uint32_t m_queueLink = kUnset;
    uint8_t m_wait = 0;
    QueueEntryRef m_currentEntry;
    QueueEntryRef m_sequenceEntry;
    SWactionkind* m_kind = nullptr; // the catalogue's, or m_ownKind
    std::unique_ptr<SWactionkind> m_ownKind;
    uint8_t m_targetIsTrigger = 0;
    uint8_t m_suppress = 0; // kept for the designer; the runtime never reads it
    int32_t m_kindId;
    SWlist m_arguments;
};
