#include "engine/behaviour/action_node.h"

#include <cmath>

#include "engine/behaviour/action_kind.h"

SWactionnode::SWactionnode(int32_t kindId) : m_kindId(kindId) {}

SWactionnode::~SWactionnode() = default;

void SWactionnode::SetDelay(double ms)
{
    m_delayMs = std::isnan(ms) || ms < 0.0 ? 0.0 : ms;
}

bool SWactionnode::IsDependentOf(uint32_t actionId) const
{
    if (actionId == kUnset)
        return false;
    return m_thenLink == actionId || m_elseLink == actionId || m_queueLink == actionId;
}

bool SWactionnode::IsDependentOf(const SWactionnode& a, const SWactionnode& b)
{
    return a.m_event != nullptr && a.m_event == b.m_event && a.IsDependentOf(b.m_actionId);
}

void SWactionnode::SetKind(SWactionkind* kind)
{
    m_ownKind.reset();
    m_kind = kind;
    if (kind != nullptr)
        m_kindId = kind->GetKindId();
}

void SWactionnode::TakeOwnKind(std::unique_ptr<SWactionkind> kind)
{
    m_ownKind = std::move(kind);
    m_kind = m_ownKind.get();
    if (m_kind != nullptr)
        m_kindId = m_kind->GetKindId();
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

SWactionnode* SWactionnode::Clone() const
{
    auto* copy = new SWactionnode(m_kindId);
    CopyKindTo(*copy);
    return copy;
}

double SWactionnode::GetDuration(int32_t& outPasses, int32_t* outFrames) const
{
    outPasses = 1;
    if (outFrames != nullptr)
        *outFrames = 0;
    return 0.0;
}

void SWactionnode::RemapIds(const std::map<uint32_t, uint32_t>& map)
{
    for (uint32_t* id : {&m_actionId, &m_thenLink, &m_elseLink, &m_queueLink})
        Remap(map, *id);
}

void SWactionnode::CopyKindTo(SWactionnode& other) const
{
    if (m_ownKind != nullptr) {
        auto kind = std::make_unique<SWactionkind>(*m_ownKind);
        other.TakeOwnKind(std::move(kind));
    } else {
        other.m_kind = m_kind;
        other.m_kindId = m_kindId;
    }
}

void SWactionnode::Remap(const std::map<uint32_t, uint32_t>& map, uint32_t& id)
{
    const auto found = map.find(id);
    if (found != map.end())
        id = found->second;
}
