#pragma once
// SWparticlenode (tag "PSYS", a geometry object): a particle system with its name, the 14 slots of the value
// generators that drive its parameters while it emits, and the box its emitter stands in. It draws itself: one
// camera-facing quad per particle into the transparent batch, untextured, coloured from the colour table by age
// with the opacity as vertex alpha; a particle with any corner outside the view volume is left out, so nothing
// needs clipping. The system advances to the world's time at each draw.
//
// Generators belong to the behaviour runtime, which installs the codec of their records. A stored slot whose record
// the codec does not know (or every slot, without a codec) is kept as its bytes and written back unchanged, so a
// newer generator survives a save by an older program; a record the codec knows but finds damaged fails the read.
//
// Record "PSYS": "GHDR", "PPAR" (14 f32), "PCOL" (64 u32), then per filled slot "PGSL" (u8 slot, the generator's
// own record).
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "engine/core/bbox.h"
#include "engine/resources/geometry.h"
#include "engine/resources/particles.h"

class SWchunkstream;

// What the particle node asks of the generator in a slot.
class SWparametergenerator {
public:
    virtual ~SWparametergenerator() = default;
    virtual void MarkChanged() = 0; // so that the engine copies its value into the parameter again
};

struct SWparametergeneratorcodec {
    bool (*write)(const SWparametergenerator& generator, SWchunkstream& out) = nullptr; // the generator's record
    std::unique_ptr<SWparametergenerator> (*read)(SWchunkstream& in) = nullptr;         // null: damaged
    bool (*knows)(uint32_t tag) = nullptr; // a record tag read reads; null: every tag
};
void SetParameterGeneratorCodec(const SWparametergeneratorcodec* codec); // not owned; null removes it
const SWparametergeneratorcodec* GetParameterGeneratorCodec();

class SWparticlenode : public SWgeometry {
public:
    static constexpr int kSlotCount = SWparticles::kParameterCount;

    SWparticlenode();
    ~SWparticlenode() override;

    SWparticles& GetParticles() { return m_particles; }
    const SWparticles& GetParticles() const { return m_particles; }

    SWparametergenerator* GetGenerator(int slot) const; // null for an empty slot or one kept as bytes
    void SetGenerator(int slot, std::unique_ptr<SWparametergenerator> generator); // replaces what was there
    const std::vector<uint8_t>* GetKeptSlot(int slot) const; // the bytes of a slot read without a codec
    void MarkParametersChanged();                            // every generator present

    const SWbbox* GetBoundingBox() const override { return &m_emitterBox; }
    void SetEmitterBox(const SWbbox& box) { m_emitterBox = box; }

    // Advances the system to the time SetWorldTime gave (SetParticleWorldTime below), then queues the particles.
    bool Draw(SWrendertarget& target, SWrenderbatch* opaque, SWrenderbatch* transparent, const SWmatrix& view) override;
    void SetWorldTime(float ms) { m_worldTimeMs = ms; }
    uint32_t GetQueuedCount() const { return m_queued; } // the primitives the last draw queued

    // The payload after "GHDR" ("PPAR", "PCOL", "PGSL") and its reader; false: damaged, the node unchanged.
    bool WriteBody(SWchunkstream& out) const;
    bool ReadBody(SWchunkstream& in);

private:
    struct Slot {
        std::unique_ptr<SWparametergenerator> generator;
        std::optional<std::vector<uint8_t>> kept;
    };

    SWparticles m_particles;
    std::array<Slot, kSlotCount> m_slots;
    SWbbox m_emitterBox;
    float m_worldTimeMs = 0.0f;
    uint32_t m_queued = 0;
};

class SWworld;
// Hands the world's current time to every particle node of its geometry list; the frame calls it before drawing.
void SetParticleWorldTime(SWworld& world);
