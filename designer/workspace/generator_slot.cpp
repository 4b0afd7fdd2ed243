#include "designer/workspace/generator_slot.h"

#include "designer/app/world_write_lock.h"
#include "engine/behaviour/particle_motion.h"
#include "engine/behaviour/xyz_motion.h"

CVTND_GeneratorSlot CVTND_GeneratorSlot::ForAxis(SWxyzmotion& motion, int axis)
{
    CVTND_GeneratorSlot slot;
    if (axis < 0 || axis > 2)
        return slot;
    slot.m_world = motion.GetWorld();
    slot.m_motion = &motion;
    slot.m_index = axis;
    return slot;
}

CVTND_GeneratorSlot CVTND_GeneratorSlot::ForParticle(SWworld* world, SWparticlenode& node, int slot)
{
    CVTND_GeneratorSlot out;
    if (slot < 0 || slot >= SWparticlenode::kSlotCount)
        return out;
    out.m_world = world;
    out.m_particles = &node;
    out.m_index = slot;
    return out;
}

SWgenerator* CVTND_GeneratorSlot::Get() const
{
    if (m_motion != nullptr)
        return m_motion->GetGenerator(m_index);
    if (m_particles == nullptr)
        return nullptr;
    const auto* held = dynamic_cast<const SWparticlegenerator*>(m_particles->GetGenerator(m_index));
    return held == nullptr ? nullptr : held->Get();
}

void CVTND_GeneratorSlot::Empty() const
{
    const CVTND_WorldWriteLock lock(m_world);
    if (m_motion != nullptr)
        m_motion->SetGenerator(nullptr, m_index);
    else if (m_particles != nullptr)
        m_particles->SetGenerator(m_index, nullptr);
}

void CVTND_GeneratorSlot::Replace(std::unique_ptr<SWgenerator> generator) const
{
    const CVTND_WorldWriteLock lock(m_world);
    if (m_motion != nullptr) {
        if (generator != nullptr)
            m_motion->SetGenerator(std::move(generator), m_index);
        return;
    }
    if (m_particles != nullptr)
        m_particles->SetGenerator(
            m_index, generator == nullptr ? nullptr : std::make_unique<SWparticlegenerator>(std::move(generator)));
}
