#pragma once
// Input records and their queues. Whatever happens to the world (a key, a click, its start, a finished sound or
// motion, a timer) is posted as a record into the world's locked posted queue, from any thread; once per frame
// the frame step moves them into the dispatch queue, which only the render thread touches.
//
// A record's target says what it is aimed at by kind, as a typed reference: never a pointer hidden in a word.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "engine/core/critical_section.h"
#include "engine/core/list.h"

class SWevent;
class SWkeyentry;
class SWnode;
class SWproperty;
class SWsound;

// Kinds of input record; the numbers are the ones events are matched against.
enum class InputKind : uint32_t {
    kKeyReleased = 1,
    kKeyPressed = 2,
    kMouseReleased = 3,
    kMousePressed = 4,
    kNamedTrigger = 5,
    kObjectClick = 6,
    kMouseMove = 7,
    kWorldStart = 8,
    kWorldStop = 9,
    kWorldStep = 10,
    kTimer = 11,
    kMotionFinished = 12,
    kSoundFinished = 13,
    kPropertyChanged = 14,
};

struct SWmousepoint { // mouse-button and move records
    uint8_t button = 0;
    uint16_t x = 0;
    uint16_t y = 0;
};

// None; the key; the event (kinds 5, 11); the picked node or motion's node (6, 12); the sound; the variable; or,
// for mouse records, the button and point.
using SWinputtarget =
    std::variant<std::monostate, const SWkeyentry*, SWevent*, SWnode*, SWsound*, SWproperty*, SWmousepoint>;

class SWinputrecord : public SWlistnode {
public:
    SWinputrecord(InputKind kind, uint32_t timeMs, SWinputtarget target = {});                    // SWinputrecordEvent
    static SWinputrecord* SWinputrecordKey(const SWkeyentry& key, bool pressed, uint32_t timeMs); // caller owns
    static SWinputrecord* SWinputrecordMouse(uint32_t value, uint8_t button, uint16_t x, uint16_t y, InputKind kind,
                                             uint32_t timeMs);
    // Kind 5 aimed at event, or at the event named eventName when event is null.
    static SWinputrecord* SWinputrecordTrigger(SWevent* event, std::optional<std::string> dataText, uint32_t timeMs,
                                               std::optional<std::string> eventName = std::nullopt);

    InputKind GetKind() const { return m_kind; }
    uint32_t GetKindCode() const { return static_cast<uint32_t>(m_kind); }
    const std::optional<std::string>& GetDataText() const { return m_dataText; }
    void SetDataText(std::optional<std::string> text) { m_dataText = std::move(text); }
    const SWinputtarget& GetTarget() const { return m_target; }
    void SetTarget(SWinputtarget target) { m_target = target; }
    uint32_t GetSecondWord() const { return m_secondWord; } // kind 6: the button mask (2 left, 1 right, 4 middle)
    void SetSecondWord(uint32_t word) { m_secondWord = word; }
    const std::optional<std::string>& GetEventName() const { return m_eventName; } // kind 5 without a target
    uint32_t GetValue() const { return m_value; }
    void SetValue(uint32_t value) { m_value = value; }
    uint32_t GetTimeMs() const { return m_timeMs; }

private:
    InputKind m_kind;
    std::optional<std::string> m_dataText;
    SWinputtarget m_target;
    uint32_t m_secondWord = 0;
    std::optional<std::string> m_eventName;
    uint32_t m_value = 0;
    uint32_t m_timeMs;
};

// A queue of records; with its lock byte set every operation runs under the queue's own lock.
class SWinputqueue {
public:
    explicit SWinputqueue(bool locked) : m_locked(locked) {}
    SWinputqueue(const SWinputqueue&) = delete;
    SWinputqueue& operator=(const SWinputqueue&) = delete;

    void Push(SWinputrecord* record); // the queue owns record from now on; null ignored
    SWinputrecord* Pop();             // the first record, unlinked; the caller owns it; null when empty
    void Clear();                     // deletes every record
    // Moves every record to the end of to, in order, leaving this queue empty. Locks this queue, then to.
    void MoveAll(SWinputqueue& to);
    size_t Count() const;
    // Deletes every record whose target is one of the objects the predicate names (a node or sound that goes).
    template <typename Predicate> size_t RemoveIf(Predicate&& aimedAtGone);
    bool IsLocked() const { return m_locked; }

private:
    void Enter() const;
    void Leave() const;

    SWlist m_records; // of SWinputrecord
    mutable CVTN_CriticalSection m_lock;
    const bool m_locked;
};

template <typename Predicate> size_t SWinputqueue::RemoveIf(Predicate&& aimedAtGone)
{
    Enter();
    size_t removed = 0;
    for (SWlistnode* n = m_records.Head(); n != nullptr;) {
        SWlistnode* next = n->Next();
        if (aimedAtGone(static_cast<const SWinputrecord&>(*n))) {
            m_records.Delete(n);
            ++removed;
        }
        n = next;
    }
    Leave();
    return removed;
}
