#pragma once
// CVTND_GeneratorSlot: where an animatable value keeps its generator, for the value editor. The owners keep two
// kinds of slot: an XYZ motion's axis and a particle node's parameter, which the node keeps wrapped in a
// SWparticlegenerator and which may be empty (the parameter then stays as it is). Replace changes the slot under
// the world's lock and deletes what it held there, so the render thread never steps a generator being deleted.
#include <memory>

class SWgenerator;
class SWparticlenode;
class SWworld;
class SWxyzmotion;

class CVTND_GeneratorSlot {
public:
    CVTND_GeneratorSlot() = default; // bound to nothing
    // Axis 0..2 of motion; the motion installs what it is given with its own loop settings. motion outlives us.
    static CVTND_GeneratorSlot ForAxis(SWxyzmotion& motion, int axis);
    // Parameter slot of a particle node of world; both outlive us.
    static CVTND_GeneratorSlot ForParticle(SWworld* world, SWparticlenode& node, int slot);

    bool IsBound() const { return m_motion != nullptr || m_particles != nullptr; }
    SWworld* GetWorld() const { return m_world; }
    SWgenerator* Get() const;                                   // null for an empty slot or none
    void Replace(std::unique_ptr<SWgenerator> generator) const; // null empties a particle slot; ignored unbound
    void Empty() const; // either kind: what a refused typing puts back into a slot it found empty
    bool operator==(const CVTND_GeneratorSlot& other) const = default;

private:
    SWworld* m_world = nullptr;            // the owner's world; may be null for objects made without one
    SWxyzmotion* m_motion = nullptr;       // the value's owner; see the makers
    SWparticlenode* m_particles = nullptr; // the value's owner; see the makers
    int m_index = 0;
};
