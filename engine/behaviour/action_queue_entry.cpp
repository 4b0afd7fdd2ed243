#include "engine/behaviour/action_queue_entry.h"

#include <cassert>

QueueEntryRef::QueueEntryRef(SWactionqueueentry* entry) : m_entry(entry)
{
    if (m_entry != nullptr)
        m_entry->AddReference();
}

QueueEntryRef& QueueEntryRef::operator=(const QueueEntryRef& other)
{
    if (other.m_entry != nullptr)
        other.m_entry->AddReference();
    SWactionqueueentry* const old = m_entry;
    m_entry = other.m_entry;
    if (old != nullptr)
        old->ReleaseReference();
    return *this;
}

QueueEntryRef::~QueueEntryRef()
{
    if (m_entry != nullptr)
        m_entry->ReleaseReference();
}

SWactionqueueentry::SWactionqueueentry(SWactionnode* queueAction, ActionTarget trigger,
                                       std::optional<std::string> dataText)
    : m_dataText(std::move(dataText)), m_queueAction(queueAction), m_trigger(std::move(trigger))
{
}

SWactionqueueentry::~SWactionqueueentry() = default;

void SWactionqueueentry::ReleaseReference()
{
    assert(m_references > 0 && "a queue entry released more often than referenced");
    if (m_references > 0 && --m_references == 0) {
        assert(!IsLinked() && "a queue entry leaves its list before its last reference goes");
        delete this;
    }
}

void SWactionqueueentry::AddWait()
{
    if (!IsFinished())
        ++m_waitCount;
}

void SWactionqueueentry::DecreaseClamped(uint32_t count)
{
    if (IsFinished())
        return;
    m_waitCount = count >= m_waitCount ? 0 : m_waitCount - count;
}
