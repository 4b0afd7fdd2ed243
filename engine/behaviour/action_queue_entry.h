#pragma once
// SWactionqueueentry: one running sequence of a QueueActions action. It counts the holds of the motions started
// for its waiting member and advances when the count is back to 0.
//
// Entries are shared: the events' sequence list holds one reference, and so do every action field and every
// motion hold that names the entry. A finished entry leaves the list at once and is freed when its last holder
// lets go, so a motion still running when its sequence is stopped writes into a live entry, never a freed one.
//
// SWdelayedaction: an action waiting for its delay to pass, with the trigger and data text of its firing.
#include <cstdint>
#include <optional>
#include <string>

#include "engine/behaviour/action_target.h"
#include "engine/behaviour/timer.h"
#include "engine/core/list.h"

class SWactionnode;
class SWactionqueueentry;

// A counted reference to an entry; null allowed.
class QueueEntryRef {
public:
    QueueEntryRef() = default;
    explicit QueueEntryRef(SWactionqueueentry* entry);
    QueueEntryRef(const QueueEntryRef& other) : QueueEntryRef(other.m_entry) {}
    QueueEntryRef& operator=(const QueueEntryRef& other);
    ~QueueEntryRef();

    SWactionqueueentry* Get() const { return m_entry; }
    SWactionqueueentry* operator->() const { return m_entry; }
    explicit operator bool() const { return m_entry != nullptr; }
    void Reset() { *this = QueueEntryRef(); }

private:
    SWactionqueueentry* m_entry = nullptr;
};

class SWactionqueueentry : public SWlistnode {
public:
    SWactionqueueentry(SWactionnode* queueAction, ActionTarget trigger, std::optional<std::string> dataText);
    ~SWactionqueueentry() override;

    void AddReference() { ++m_references; }
    void ReleaseReference(); // the last one deletes the entry, which must no longer be in a list

    uint32_t GetWaitCount() const { return m_waitCount; }
    void AddWait(); // nothing once finished
    void DecreaseClamped(uint32_t count);
    bool IsFinished() const { return m_finished != 0; }
    void SetFinished() { m_finished = 1; }
    SWactionnode* GetQueueAction() const { return m_queueAction; }
    SWactionnode* GetCurrentAction() const { return m_currentAction; }
    void SetCurrentAction(SWactionnode* action) { m_currentAction = action; }
    const ActionTarget& GetTrigger() const { return m_trigger; }
    const std::optional<std::string>& GetDataText() const { return m_dataText; }
    uint32_t GetReferenceCount() const { return m_references; }

private:
    uint32_t m_waitCount = 0;
    std::optional<std::string> m_dataText;
    SWactionnode* m_queueAction;             // an action of the world; finishing the entry precedes its removal
    SWactionnode* m_currentAction = nullptr; // the same
    uint8_t m_finished = 0;
    ActionTarget m_trigger;
    uint32_t m_references = 0;
};

class SWdelayedaction : public SWlistnode {
public:
    SWdelayedaction(SWactionnode* action, ActionTarget trigger, std::optional<std::string> dataText, uint8_t flag)
        : m_dataText(std::move(dataText)), m_action(action), m_trigger(std::move(trigger)), m_flag(flag)
    {
    }

    SWactionnode* GetAction() const { return m_action; }
    const ActionTarget& GetTrigger() const { return m_trigger; }
    const std::optional<std::string>& GetDataText() const { return m_dataText; }
    SWtimer& GetTimer() { return m_timer; }
    uint8_t GetFlag() const { return m_flag; }

private:
    std::optional<std::string> m_dataText;
    SWactionnode* m_action; // an action of the world; removing it cancels this entry first
    SWtimer m_timer;
    ActionTarget m_trigger;
    uint8_t m_flag;
};
