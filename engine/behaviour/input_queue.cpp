#include "engine/behaviour/input_queue.h"

#include "engine/behaviour/key_table.h"

SWinputrecord::SWinputrecord(InputKind kind, uint32_t timeMs, SWinputtarget target)
    : m_kind(kind), m_target(target), m_timeMs(timeMs)
{
}

SWinputrecord* SWinputrecord::SWinputrecordKey(const SWkeyentry& key, bool pressed, uint32_t timeMs)
{
    auto* record = new SWinputrecord(pressed ? InputKind::kKeyPressed : InputKind::kKeyReleased, timeMs, &key);
    if (!key.GetName().empty())
        record->m_dataText = key.GetText();
    return record;
}

SWinputrecord* SWinputrecord::SWinputrecordMouse(uint32_t value, uint8_t button, uint16_t x, uint16_t y, InputKind kind,
                                                 uint32_t timeMs)
{
    auto* record = new SWinputrecord(kind, timeMs, SWmousepoint{button, x, y});
    record->m_secondWord = y;
    record->m_value = value;
    return record;
}

SWinputrecord* SWinputrecord::SWinputrecordTrigger(SWevent* event, std::optional<std::string> dataText, uint32_t timeMs,
                                                   std::optional<std::string> eventName)
{
    auto* record = new SWinputrecord(InputKind::kNamedTrigger, timeMs, event);
    record->m_dataText = std::move(dataText);
    record->m_eventName = std::move(eventName);
    return record;
}

void SWinputqueue::Enter() const
{
    if (m_locked)
        m_lock.Enter();
}

void SWinputqueue::Leave() const
{
    if (m_locked)
        m_lock.Leave();
}

void SWinputqueue::Push(SWinputrecord* record)
{
    if (record == nullptr)
        return;
    Enter();
    m_records.AddTail(record);
    Leave();
}

SWinputrecord* SWinputqueue::Pop()
{
    Enter();
    SWlistnode* first = m_records.Head();
    if (first != nullptr)
        m_records.Remove(first);
    Leave();
    return static_cast<SWinputrecord*>(first);
}

void SWinputqueue::Clear()
{
    Enter();
    m_records.DeleteAll();
    Leave();
}

void SWinputqueue::MoveAll(SWinputqueue& to)
{
    if (&to == this)
        return;
    Enter();
    to.Enter();
    to.m_records.AddChain(m_records);
    to.Leave();
    Leave();
}

size_t SWinputqueue::Count() const
{
    Enter();
    const size_t count = m_records.Count();
    Leave();
    return count;
}
