#include "engine/resources/particles.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

namespace {

constexpr uint32_t kDefaultSeed = 0x2545F491u;

float Finite(float v, float fallback)
{
    return std::isfinite(v) ? v : fallback;
}

} // namespace

SWparticles::SWparticles() : m_parameters(kDefaults)
{
    std::copy(kDefaults.begin(), kDefaults.end(), m_startSet.begin());
    m_startSet[14] = 0.0f;
    m_startSet[15] = std::bit_cast<float>(kDefaultSeed);
    // A white table: the editor's gradient writes its own.
    m_colours.fill(0x00FFFFFFu);
}

float SWparticles::GetParameter(int index) const
{
    return index >= 0 && index < kParameterCount ? m_parameters[index] : 0.0f;
}

void SWparticles::SetParameter(int index, float value)
{
    if (index < 0 || index >= kParameterCount)
        return;
    m_parameters[index] = value;
    m_startSet[index] = value;
}

void SWparticles::SetOpacity(float value)
{
    if (std::bit_cast<uint32_t>(value) == std::bit_cast<uint32_t>(m_parameters[kOpacity]))
        return;
    SetParameter(kOpacity, value);
    m_changed[kOpacity] = 1;
}

void SWparticles::SetSeed(uint32_t seed)
{
    m_startSet[15] = std::bit_cast<float>(seed != 0 ? seed : kDefaultSeed);
}

void SWparticles::SetColourTable(const uint32_t* colours)
{
    if (colours != nullptr)
        std::copy(colours, colours + kColourCount, m_colours.begin());
}

uint32_t SWparticles::ColourOfAge(float fraction) const
{
    if (!(fraction > 0.0f))
        return m_colours[0];
    const float at = fraction * kColourCount;
    return m_colours[at >= kColourCount - 1 ? kColourCount - 1 : static_cast<size_t>(at)];
}

void SWparticles::Start()
{
    std::copy(m_startSet.begin(), m_startSet.begin() + kParameterCount, m_parameters.begin());
    m_accumulator = Finite(m_startSet[14], 0.0f);
    m_seed = std::bit_cast<uint32_t>(m_startSet[15]);
    if (m_seed == 0)
        m_seed = kDefaultSeed;
    m_running = true;
}

void SWparticles::Stop()
{
    m_running = false;
}

float SWparticles::Random()
{
    m_seed ^= m_seed << 13;
    m_seed ^= m_seed >> 17;
    m_seed ^= m_seed << 5;
    return static_cast<float>(m_seed >> 8) * (1.0f / 16777216.0f);
}

void SWparticles::AdvanceTo(float nowMs, const SWmatrix& emitter)
{
    if (!m_hasTime || !(nowMs >= m_lastMs)) { // the first call, or the clock went back: start from here
        m_hasTime = true;
        m_lastMs = nowMs;
        return;
    }
    const float step = nowMs - m_lastMs;
    m_lastMs = nowMs;
    Advance(step, emitter);
}

void SWparticles::Advance(float ms, const SWmatrix& emitter)
{
    const float scale = Finite(m_parameters[kTimeScale], 1.0f);
    const float dt = std::clamp(Finite(ms, 0.0f), 0.0f, kMostAdvanceMs) * 0.001f * std::max(scale, 0.0f);
    if (dt <= 0.0f)
        return;
    const float gravity = Finite(m_parameters[kGravity], 0.0f);
    const float drag = std::exp(-std::max(Finite(m_parameters[kFriction], 0.0f), 0.0f) * dt);
    // Oldest first, so that the ring can start again at the front once the dead are gone.
    std::rotate(m_particles.begin(), m_particles.begin() + static_cast<ptrdiff_t>(m_oldest), m_particles.end());
    size_t kept = 0;
    for (size_t i = 0; i < m_particles.size(); ++i) {
        Particle p = m_particles[i];
        p.age += dt;
        if (!(p.age < p.life))
            continue;
        p.velocity.z -= gravity * dt;
        p.velocity = p.velocity * drag;
        p.position = p.position + p.velocity * dt;
        m_particles[kept++] = p;
    }
    m_particles.resize(kept);
    m_oldest = 0;

    if (!m_running)
        return;
    const float rate = std::max(Finite(m_parameters[kBirthRate], 0.0f), 0.0f);
    m_accumulator += rate * dt;
    // More births than the cap in one step would only replace each other.
    const float births = std::min(std::floor(m_accumulator), static_cast<float>(kMaxParticles));
    m_accumulator -= std::floor(m_accumulator);
    for (uint32_t i = 0; i < static_cast<uint32_t>(births); ++i)
        Emit(emitter);
}

void SWparticles::Emit(const SWmatrix& emitter)
{
    const float life = Finite(m_parameters[kLifeTime], 0.0f);
    const float spread = std::clamp(Finite(m_parameters[kSpread], 0.0f), 0.0f, 1.0f) * std::numbers::pi_v<float>;
    // Uniform over the cone's cap.
    const float cosTheta = 1.0f - Random() * (1.0f - std::cos(spread));
    const float sinTheta = std::sqrt(std::max(0.0f, 1.0f - cosTheta * cosTheta));
    const float phi = Random() * 2.0f * std::numbers::pi_v<float>;
    const SWvector local(sinTheta * std::cos(phi), sinTheta * std::sin(phi), cosTheta);
    const float range = Finite(m_parameters[kSpeedRange], 0.0f);
    const float speed = Finite(m_parameters[kEmissionSpeed], 0.0f) * (1.0f + range * (2.0f * Random() - 1.0f));

    Particle p;
    p.position = emitter.TransformPoint(SWvector(0.0f, 0.0f, 0.0f));
    SWvector direction = emitter.TransformDirection(local);
    const float length = direction.Length();
    direction = length > 0.0f && std::isfinite(length) ? direction * (1.0f / length) : SWvector(0.0f, 0.0f, 1.0f);
    p.velocity = direction * speed;
    // Across the flight: any unit vector perpendicular to the direction.
    SWvector across = direction.Cross(std::fabs(direction.z) < 0.9f ? SWvector(0, 0, 1) : SWvector(1, 0, 0));
    const float acrossLength = across.Length();
    p.lateral = acrossLength > 0.0f ? across * (1.0f / acrossLength) : SWvector(1, 0, 0);
    p.life = life;
    p.phase = Random() * 2.0f * std::numbers::pi_v<float>;
    if (!(life > 0.0f))
        return; // born dead
    if (m_particles.size() < kMaxParticles) {
        m_particles.push_back(p);
        return;
    }
    m_particles[m_oldest] = p;
    m_oldest = (m_oldest + 1) % kMaxParticles;
}

float SWparticles::AngleOf(const Particle& p) const
{
    const float t = p.life > 0.0f ? std::clamp(p.age / p.life, 0.0f, 1.0f) : 0.0f;
    const float from = m_parameters[kInitialAngle];
    return from + (m_parameters[kDeathAngle] - from) * t;
}

SWvector SWparticles::CentreOf(const Particle& p) const
{
    const float wobble = m_parameters[kWobbleAmplitude] * std::sin(m_parameters[kWobbleRate] * p.age + p.phase);
    return p.position + p.lateral * wobble;
}
