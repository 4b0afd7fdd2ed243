#include "engine/behaviour/particle_motion.h"

#include <memory>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/events.h"
#include "engine/behaviour/handler_world.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"

namespace {

constexpr float kRunningTimeScale = 1.0f;

SWgenerator* SlotGenerator(const SWparticlenode& node, int slot)
{
    const auto* held = dynamic_cast<const SWparticlegenerator*>(node.GetGenerator(slot));
    return held != nullptr ? held->Get() : nullptr;
}

} // namespace

SWparticlemotion::SWparticlemotion(SWworld* world) : SWnodemotion(world, kType)
{
    SetFreeRunning(true);
}

SWmotion* SWparticlemotion::Clone() const
{
    auto* copy = new SWparticlemotion(GetWorld());
    CopyTo(*copy);
    copy->SetOptionFlags(GetOptionFlags());
    return copy;
}

void SWparticlemotion::SetParticleNode(SWobjectnode* node)
{
    m_node = node != nullptr && GetWorld() != nullptr ? NodeRef(*GetWorld(), node) : NodeRef();
}

SWparticlenode* SWparticlemotion::GetParticleGeometry() const
{
    const auto* node = dynamic_cast<const SWobjectnode*>(m_node.Get(GetWorld()));
    return node != nullptr && node->GetKindCode() == 4 ? dynamic_cast<SWparticlenode*>(node->GetGeometry()) : nullptr;
}

bool SWparticlemotion::Step(float nowMs)
{
    SWparticlenode* const particles = GetParticleGeometry();
    if (particles == nullptr) {
        if (m_node.IsSet())
            MarkDone(); // its node went: nothing left to drive
        return SWnodemotion::Step(nowMs);
    }
    for (int slot = 0; slot < SWparticlenode::kSlotCount; ++slot)
        if (SWgenerator* g = SlotGenerator(*particles, slot)) {
            g->AdoptWorld(GetWorld());
            g->Step(nowMs);
        }
    return SWnodemotion::Step(nowMs);
}

void SWparticlemotion::Apply()
{
    SWparticlenode* const node = GetParticleGeometry();
    if (node == nullptr)
        return;
    SWparticles& system = node->GetParticles();
    for (int slot = 0; slot < SWparticlenode::kSlotCount; ++slot) {
        const SWgenerator* g = SlotGenerator(*node, slot);
        if (g == nullptr)
            continue;
        const float value = g->GetValue();
        if (slot == SWparticles::kOpacity)
            system.SetOpacity(value);
        else if (slot == SWparticles::kTimeScale)
            system.SetParam3040(value);
        else
            system.SetParameter(slot, value);
    }
}

void SWparticlemotion::Reset(bool onPassBoundary)
{
    if (SWparticlenode* node = GetParticleGeometry())
        for (int slot = 0; slot < SWparticlenode::kSlotCount; ++slot)
            if (SWgenerator* g = SlotGenerator(*node, slot))
                g->Reset(onPassBoundary);
}

namespace {

SWobjectnode* ParticleNodeNamed(SWworld* world, const ActionTarget& target)
{
    auto* const node = dynamic_cast<SWobjectnode*>(behaviour_handlers::NamedNode(world, target));
    if (node == nullptr || node->GetKindCode() != 4 || dynamic_cast<SWparticlenode*>(node->GetGeometry()) == nullptr)
        return nullptr;
    return node;
}

// One handler for both kinds: the action's start byte chooses.
void StartOrStopParticles(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    SWworld* const world = behaviour_handlers::WorldOf(events);
    SWobjectnode* const node = ParticleNodeNamed(world, target);
    const auto* const action = dynamic_cast<const SWparticleaction*>(subject.action);
    if (node == nullptr || action == nullptr)
        return;
    auto* const geometry = static_cast<SWparticlenode*>(node->GetGeometry());
    TimedActionTable& table = TimedActionTable::Of(*world);
    if (action->start != 0) {
        world->Invalidate(false);
        auto motion = std::make_unique<SWparticlemotion>(world);
        motion->SetParticleNode(node);
        SWparticlemotion* const started = motion.get();
        table.Add(std::move(motion));
        started->Start();
        geometry->GetParticles().SetParam3040(kRunningTimeScale);
        geometry->GetParticles().Start();
        return;
    }
    if (const auto* list = table.GetTypeList(SWparticlemotion::kType))
        for (const std::unique_ptr<SWnodemotion>& m : *list)
            if (const auto* p = dynamic_cast<const SWparticlemotion*>(m.get());
                p != nullptr && p->GetParticleGeometry() == geometry) {
                table.Remove(m.get());
                break;
            }
    geometry->GetParticles().Stop();
}

const bool kRegistered =
    RegisterActionHandler(48, StartOrStopParticles) && RegisterActionHandler(49, StartOrStopParticles);

} // namespace
