#include "engine/behaviour/timed_action_table.h"

#include <algorithm>

#include "engine/behaviour/motion.h"

TimedActionTable::~TimedActionTable() = default;

void TimedActionTable::Add(std::unique_ptr<SWnodemotion> motion)
{
    if (motion != nullptr)
        m_lists[motion->GetType()].push_back(std::move(motion));
}

bool TimedActionTable::Remove(SWnodemotion* motion)
{
    if (motion == nullptr)
        return false;
    auto list = m_lists.find(motion->GetType());
    if (list == m_lists.end())
        return false;
    auto& motions = list->second;
    const auto found =
        std::find_if(motions.begin(), motions.end(), [motion](const auto& held) { return held.get() == motion; });
    if (found == motions.end())
        return false;
    motions.erase(found);
    return true;
}

const std::vector<std::unique_ptr<SWnodemotion>>* TimedActionTable::GetTypeList(uint32_t type) const
{
    const auto found = m_lists.find(type);
    return found != m_lists.end() ? &found->second : nullptr;
}

size_t TimedActionTable::PurgeDone()
{
    size_t purged = 0;
    for (auto& [type, motions] : m_lists)
        purged += std::erase_if(motions, [](const auto& motion) { return motion->IsDone(); });
    return purged;
}

size_t TimedActionTable::Count() const
{
    size_t count = 0;
    for (const auto& [type, motions] : m_lists)
        count += motions.size();
    return count;
}

TimedActionTable& TimedActionTable::Of(SWworld& world)
{
    if (auto* table = dynamic_cast<TimedActionTable*>(world.GetPart(WorldPart::kTimedActions)))
        return *table;
    world.SetPart(WorldPart::kTimedActions, std::make_unique<TimedActionTable>());
    return static_cast<TimedActionTable&>(*world.GetPart(WorldPart::kTimedActions));
}
