#include "engine/resources/morph_target_list.h"

const float* FloatRecordArray::GetAt(uint32_t index) const
{
    return index < Count() ? &m_values[static_cast<size_t>(index) * kFloatsPerRecord] : nullptr;
}

void FloatRecordArray::Append(std::span<const float, kFloatsPerRecord> record)
{
    m_values.insert(m_values.end(), record.begin(), record.end());
}

SWmorphtarget* MorphTargetList::Add(std::unique_ptr<SWmorphtarget> target)
{
    if (target == nullptr)
        return nullptr;
    m_targets.push_back(std::move(target));
    return m_targets.back().get();
}

SWmorphtarget* MorphTargetList::FindByName(std::string_view name) const
{
    for (const auto& target : m_targets)
        if (target->name == name)
            return target.get();
    return nullptr;
}
