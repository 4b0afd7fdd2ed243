#include "engine/behaviour/action_ref.h"

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/events.h"

ActionRef::ActionRef(const SWevents* world, SWactionnode* action)
{
    if (action == nullptr)
        return;
    m_set = true;
    m_id = action->GetActionId();
    m_cache = action;
    m_stamp = world != nullptr ? world->GetStructureGeneration() : UINT64_MAX;
}

SWactionnode* ActionRef::Get(const SWevents* world) const
{
    if (!m_set)
        return nullptr;
    if (m_id == SWactionnode::kUnset || world == nullptr)
        return m_cache;
    const uint64_t generation = world->GetStructureGeneration();
    if (m_stamp != generation) {
        m_cache = world->FindActionById(m_id);
        m_stamp = generation;
    }
    return m_cache;
}
