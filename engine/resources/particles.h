#pragma once
// SWparticles: a particle system's parameters and its simulation; SWparticlenode (particle_node.h) is the geometry
// object that owns one and draws it.
//
// The 14 parameters, in the particle editor's order (angles in radians, lengths in metres, times in seconds):
//   0 wobble rate (rad/s)    1 wobble amplitude      2 initial sprite angle  3 death sprite angle
//   4 speed range (0..1)     5 emission speed (m/s)  6 life time (s)         7 particle size (m)
//   8 birth rate (1/s)       9 gravity (m/s^2)      10 spread (x pi: the cone's half-angle)
//  11 friction (1/s)        12 opacity (0..1)       13 time scale (simulated seconds per world second)
// The life time is read in seconds, although the editor's label says milliseconds: at the default birth rate of
// 250 a second, 14.1 ms would keep fewer than four particles alive, and 14.1 s keeps a steady 3,500.
//
// Simulation: particles leave the emitter's origin along its local +Z within the spread cone, at the emission
// speed varied by the speed range; gravity pulls along the world's -Z; friction slows them by exp(-friction dt);
// they wobble sideways at the wobble rate and amplitude, turn from the initial to the death angle over their life
// and take the colour of the table entry of their age. Deterministic for a seed (xorshift). At most kMaxParticles
// live at once: a new one replaces the oldest, whatever the birth rate.
//
// Start copies the start set (the 14, the emission accumulator and the seed) into the working set and runs; Stop
// ends the emission and lets the live particles finish their lives.
#include <array>
#include <cstdint>
#include <vector>

#include "engine/core/matrix.h"
#include "engine/core/vector.h"

class SWparticles {
public:
    static constexpr int kParameterCount = 14;
    static constexpr int kStartSetCount = 16; // the 14, the emission accumulator, the seed
    static constexpr int kColourCount = 64;
    static constexpr uint32_t kMaxParticles = 16384;
    static constexpr float kMostAdvanceMs = 100.0f;
    static constexpr std::array<float, kParameterCount> kDefaults = {
        1.25664f, 0.0f, 0.0f, 0.261667f, 0.05f, 0.5f, 14.1f, 0.015f, 250.0f, 0.0f, 0.07f, 0.7f, 1.0f, 1.0f};
    enum Parameter {
        kWobbleRate,
        kWobbleAmplitude,
        kInitialAngle,
        kDeathAngle,
        kSpeedRange,
        kEmissionSpeed,
        kLifeTime,
        kSize,
        kBirthRate,
        kGravity,
        kSpread,
        kFriction,
        kOpacity,
        kTimeScale,
    };

    struct Particle {
        SWvector position;
        SWvector velocity;
        SWvector lateral; // the wobble's direction, across the flight
        float age = 0.0f; // seconds
        float life = 0.0f;
        float phase = 0.0f; // of the wobble
    };

    SWparticles();

    // -- Parameters: each setter writes the working value and the start set
    float GetParameter(int index) const; // 0 for an index outside 0..13
    void SetParameter(int index, float value);
    void SetWobbleRate(float v) { SetParameter(kWobbleRate, v); }
    void SetWobbleAmplitude(float v) { SetParameter(kWobbleAmplitude, v); }
    void SetInitialAngle(float v) { SetParameter(kInitialAngle, v); }
    void SetDeathAngle(float v) { SetParameter(kDeathAngle, v); }
    void SetSpeedRange(float v) { SetParameter(kSpeedRange, v); }
    void SetEmissionSpeed(float v) { SetParameter(kEmissionSpeed, v); }
    void SetLifeTime(float v) { SetParameter(kLifeTime, v); }
    void SetSize(float v) { SetParameter(kSize, v); }
    void SetBirthRate(float v) { SetParameter(kBirthRate, v); }
    void SetGravity(float v) { SetParameter(kGravity, v); }
    void SetSpread(float v) { SetParameter(kSpread, v); }
    void SetFriction(float v) { SetParameter(kFriction, v); }
    void SetOpacity(float v); // stores only a different value, then sets that parameter's changed byte
    void SetParam3040(float v) { SetParameter(kTimeScale, v); } // the time scale; the start handler sets 1.0
    uint8_t GetChanged(int index) const { return index >= 0 && index < kParameterCount ? m_changed[index] : 0; }
    void ClearChanged() { m_changed.fill(0); }
    const std::array<float, kStartSetCount>& GetStartSet() const { return m_startSet; }
    void SetSeed(uint32_t seed); // into the start set; 0 becomes a fixed non-zero seed

    void SetColourTable(const uint32_t* colours); // 64 words 0x00RRGGBB; null ignored
    const std::array<uint32_t, kColourCount>& GetColourTable() const { return m_colours; }
    uint32_t ColourOfAge(float fraction) const; // the entry for age / life in [0, 1]

    // -- Running
    void Start();
    void Stop();
    bool IsRunning() const { return m_running; }
    // Advances to world time nowMs (at most kMostAdvanceMs at once; the first call only takes the time) with the
    // emitter placed by the render matrix.
    void AdvanceTo(float nowMs, const SWmatrix& emitter);
    void Advance(float ms, const SWmatrix& emitter); // ms of world time
    uint32_t GetLiveCount() const { return static_cast<uint32_t>(m_particles.size()); }
    const std::vector<Particle>& GetParticles() const { return m_particles; }
    // A particle's sprite angle and its centre with the wobble added.
    float AngleOf(const Particle& p) const;
    SWvector CentreOf(const Particle& p) const;

private:
    float Random(); // uniform in [0, 1)
    void Emit(const SWmatrix& emitter);

    std::array<float, kParameterCount> m_parameters;
    std::array<float, kStartSetCount> m_startSet{};
    std::array<uint8_t, kParameterCount> m_changed{};
    std::array<uint32_t, kColourCount> m_colours;
    float m_accumulator = 0.0f;
    uint32_t m_seed = 0x2545F491u;
    bool m_running = false;
    bool m_hasTime = false;
    float m_lastMs = 0.0f;
    std::vector<Particle> m_particles; // a ring once full: m_oldest is the next to be replaced
    size_t m_oldest = 0;
};
