#include "engine/behaviour/refs.h"

#include "engine/behaviour/properties.h"
#include "engine/behaviour/property.h"
#include "engine/core/node.h"
#include "engine/core/world.h"

VariableRef::VariableRef(const SWworld& world, SWproperty* variable)
{
    if (variable == nullptr || variable->GetId() == 0)
        return;
    m_id = variable->GetId();
    m_cache = variable;
    m_stamp = world.GetStructureGeneration();
    m_removals = SWproperties2::GetProcessRemovalCount();
}

SWproperty* VariableRef::Get(const SWworld* world) const
{
    if (m_id == 0 || world == nullptr)
        return nullptr;
    const uint64_t generation = world->GetStructureGeneration();
    const uint64_t removals = SWproperties2::GetProcessRemovalCount();
    if (m_stamp != generation || m_removals != removals) {
        m_cache = world->FindVariableById(m_id);
        m_stamp = generation;
        m_removals = removals;
    }
    return m_cache;
}

NodeRef::NodeRef(const SWworld& world, SWnode* node)
{
    if (node == nullptr || node->GetId() == 0)
        return;
    m_id = node->GetId();
    m_cache = node;
    m_stamp = world.GetStructureGeneration();
}

SWnode* NodeRef::Get(const SWworld* world) const
{
    if (m_id == 0 || world == nullptr)
        return nullptr;
    const uint64_t generation = world->GetStructureGeneration();
    if (m_stamp != generation) {
        m_cache = world->GetRootNode() != nullptr ? world->GetRootNode()->FindById(m_id) : nullptr;
        m_stamp = generation;
    }
    return m_cache;
}
