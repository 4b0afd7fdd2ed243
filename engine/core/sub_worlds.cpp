#include "engine/core/sub_worlds.h"

void CVTN_SubWorld::SetOption(int option, uint8_t value)
{
    if (option >= 0 && option < 9)
        m_options[static_cast<size_t>(option)] = value;
}

CVTN_SubWorld* CVTN_SubWorlds::Add(std::optional<std::string> name)
{
    auto* entry = new CVTN_SubWorld(std::move(name));
    m_entries.AddTail(entry);
    return entry;
}

CVTN_SubWorld* CVTN_SubWorlds::GetNext(const CVTN_SubWorld* entry)
{
    return entry != nullptr ? static_cast<CVTN_SubWorld*>(entry->Next()) : nullptr;
}

CVTN_SubWorld* CVTN_SubWorlds::FindByName(std::string_view name) const
{
    for (CVTN_SubWorld* e = GetFirst(); e != nullptr; e = GetNext(e))
        if (e->GetName() && *e->GetName() == name)
            return e;
    return nullptr;
}

bool CVTN_SubWorlds::Remove(CVTN_SubWorld* entry)
{
    return m_entries.Delete(entry);
}
