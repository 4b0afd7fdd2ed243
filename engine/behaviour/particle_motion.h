#pragma once
// SWparticlemotion (timed-action type 9): while a particle system emits, each of its 14 parameters follows the
// generator in the matching slot of the particle node. The editor's test run (its "particle emission") is this
// same motion. The node is held by handle and the particle geometry reached through it at every step, so a node
// an editor deletes while it emits is never written to; the motion then ends and the purge takes it.
//
// SWparticlegenerator is what a particle node's slot holds: one behaviour generator. An empty slot leaves its
// parameter as it is.
#include <cstdint>
#include <memory>

#include "engine/behaviour/generator.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/refs.h"
#include "engine/resources/particle_node.h"

class SWparticlegenerator : public SWparametergenerator {
public:
    explicit SWparticlegenerator(std::unique_ptr<SWgenerator> generator) : m_generator(std::move(generator)) {}
    void MarkChanged() override { m_changed = true; }
    SWgenerator* Get() const { return m_generator.get(); }
    bool TakeChanged() // true once after each MarkChanged
    {
        const bool changed = m_changed;
        m_changed = false;
        return changed;
    }

private:
    std::unique_ptr<SWgenerator> m_generator;
    bool m_changed = true;
};

class SWparticlemotion : public SWnodemotion {
public:
    static constexpr uint32_t kType = 9;

    explicit SWparticlemotion(SWworld* world); // free-running
    SWmotion* Clone() const override;          // the node-motion settings; no node

    void SetParticleNode(SWobjectnode* node);    // the object node whose geometry is the particle system
    SWparticlenode* GetParticleGeometry() const; // null when unset, gone, or no longer a particle system

    bool Step(float nowMs) override;          // the 14 generators, then the motion's own clock
    void Apply() override;                    // each slot's value into its parameter
    void Reset(bool onPassBoundary) override; // the generators only; the motion's own clock runs on

private:
    NodeRef m_node;
};

using SWparticleemission = SWparticlemotion; // the particle editor's name for its test run
