#include "engine/behaviour/action_node.h"

SWactionnode::SWactionnode(int32_t kindId) : m_kindId(kindId) {}

SWactionnode::~SWactionnode() = default;

bool SWactionnode::IsDependentOf(uint32_t actionId) const
{
    if (actionId == kUnset)
        return false;
    return m_thenLink == actionId || m_elseLink == actionId || m_queueLink == actionId;
}

SWdatanode* SWactionnode::AddArgument(const void* datum, int type, bool copy)
{
    auto* argument = new SWdatanode();
    if (!argument->SetData(datum, type, copy)) {
        delete argument;
        return nullptr;
    }
    m_arguments.AddTail(argument);
    return argument;
}

void SWactionnode::RemapIds(const std::map<uint32_t, uint32_t>& map)
{
    for (uint32_t* id : {&m_actionId, &m_thenLink, &m_elseLink, &m_queueLink}) {
        const auto found = map.find(*id);
        if (found != map.end())
            *id = found->second;
    }
}
