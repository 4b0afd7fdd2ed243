#include "engine/core/cursor_list.h"

SWcursor* CursorList::Add(std::string name, uint32_t id)
{
    auto* cursor = new SWcursor(std::move(name), id);
    m_cursors.AddTail(cursor);
    return cursor;
}

SWcursor* CursorList::GetNext(const SWcursor* cursor)
{
    return cursor != nullptr ? static_cast<SWcursor*>(cursor->Next()) : nullptr;
}

SWcursor* CursorList::FindById(uint32_t id) const
{
    for (SWcursor* c = GetFirst(); c != nullptr; c = GetNext(c))
        if (c->id == id)
            return c;
    return nullptr;
}

SWcursor* CursorList::FindByName(std::string_view name) const
{
    for (SWcursor* c = GetFirst(); c != nullptr; c = GetNext(c))
        if (c->name == name)
            return c;
    return nullptr;
}

bool CursorList::Remove(SWcursor* cursor)
{
    if (cursor == nullptr || !m_cursors.Contains(cursor))
        return false;
    m_cursors.Remove(cursor);
    delete cursor;
    return true;
}
