#include "engine/behaviour/generator.h"

#include <cmath>

#include "engine/behaviour/expression.h"
#include "engine/behaviour/property.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"

namespace {

constexpr uint32_t kTagWaveform = MakeTag("7451");
constexpr uint32_t kTagAxisTrack = MakeTag("7452");
constexpr uint32_t kTagRandom = MakeTag("7453");
constexpr uint32_t kTagProperty = MakeTag("7454");
constexpr uint32_t kTagPolynomial = MakeTag("7488");
constexpr uint32_t kTagFirst = MakeTag("7450");
constexpr uint32_t kTagSecond = MakeTag("7463");
constexpr uint32_t kTagDelay = MakeTag("GDLY");

constexpr double kTwoPi = 6.28318530718;
constexpr double kWrapTwoPi = 6.2831855; // the angle wraps at the f32 value of 2 pi
constexpr float kPi = 3.1415927f;
constexpr float kHalfPi = 1.5707964f;
constexpr float kTriangleSlope = 0.63661975f;
constexpr float kSawtoothSlope = 0.15915494f;

// Durations from records: not a number and negative lengths are none; an infinite one stays (it never ends).
float ReadDuration(double ms)
{
    return ms >= 0.0 ? static_cast<float>(ms) : 0.0f;
}

float ClampPeriod(float ms)
{
    return ms >= 1.0f ? ms : 1.0f; // also for not a number
}

} // namespace

// -- The base

SWgenerator::SWgenerator(SWworld* world, uint8_t typeCode, float durationMs) : SWmotion(world), m_typeCode(typeCode)
{
    m_durationMs = durationMs;
    m_passesLeft = m_loopCount;
    Start(); // generators run from the start; their owner steps them
}

SWgenerator::~SWgenerator() = default;

void SWgenerator::Reset(bool onPassBoundary)
{
    if (!onPassBoundary)
        m_previous = m_value = m_delta = 0.0f;
    SWmotion::Reset(onPassBoundary);
}

void SWgenerator::Rewind()
{
    SWmotion::Rewind();
    m_previous = m_value = m_delta = 0.0f;
}

void SWgenerator::SetDuration(float ms)
{
    if (m_timed != 0)
        m_durationMs = ms;
}

void SWgenerator::StretchDuration(float ms)
{
    SetDuration(ms);
}

void SWgenerator::SetDelay(float ms)
{
    if (m_timed == 0)
        return;
    m_durationMs += ms;
    m_delay = ms;
}

bool SWgenerator::IsGeneratorTag(uint32_t tag)
{
    return tag == kTagWaveform || tag == kTagAxisTrack || tag == kTagRandom || tag == kTagProperty ||
           tag == kTagPolynomial;
}

bool SWgenerator::Save(SWchunkstream& out) const
{
    SWrecordbuilder outer(out, OuterTag());
    if (!SaveInner(outer.Stream()))
        return false;
    if (m_delay != 0.0f) {
        SWrecordbuilder delay(outer.Stream(), kTagDelay);
        delay.Stream().WriteF32(m_delay);
        if (!delay.Finish())
            return false;
    }
    return outer.Finish();
}

std::unique_ptr<SWgenerator> SWgenerator::Read(SWworld* world, SWchunkstream& in)
{
    const uint32_t tag = in.TakeTag();
    std::unique_ptr<SWgenerator> generator;
    if (tag == kTagWaveform)
        generator = std::make_unique<SWwaveformgenerator>(world);
    else if (tag == kTagAxisTrack)
        generator = std::make_unique<SWaxistrack>(world);
    else if (tag == kTagRandom)
        generator = std::make_unique<SWrandomgenerator>(world);
    else if (tag == kTagProperty)
        generator = std::make_unique<SWpropertygenerator>(world);
    else if (tag == kTagPolynomial)
        generator = std::make_unique<SWpolynomialgenerator>(world);
    if (generator == nullptr) {
        if (tag != kTagEnd)
            in.SkipRecord();
        return nullptr;
    }
    std::unique_ptr<SWchunkstream> payload = in.OpenChild();
    while (payload->PeekTag() != kTagEnd) {
        const uint32_t inner = payload->TakeTag();
        std::unique_ptr<SWchunkstream> body = payload->OpenChild();
        bool good = true;
        if (inner == kTagDelay) {
            float delay = 0.0f;
            good = body->ReadF32(delay);
            if (good)
                generator->LoadedDelay(delay >= 0.0f ? delay : 0.0f);
        } else {
            good = generator->LoadInner(inner, *body);
        }
        if (!good || body->Status() != SWchunkstream::kStatusGood) {
            in.Fail(SWchunkstream::kStatusShortRead);
            return nullptr;
        }
    }
    if (payload->Status() != SWchunkstream::kStatusGood || in.Status() != SWchunkstream::kStatusGood) {
        in.Fail(SWchunkstream::kStatusShortRead);
        return nullptr;
    }
    generator->Reset(false);
    return generator;
}

// -- Axis track

SWaxistrack::SWaxistrack(SWworld* world, float amount) : SWgenerator(world, kAxisTrack, 0.0f), m_amount(amount) {}

void SWaxistrack::Apply()
{
    if (m_amount == 0.0f)
        return;
    const float a = m_amount;
    const float d = m_durationMs;
    if (m_timed == 0) {
        m_value = m_delta = a;
        return;
    }
    if (!(d > 0.0f)) {
        m_value = m_delta = m_direction * a;
        return;
    }
    const float span = Span();
    const float q = span > 0.0f ? span : 1.0f;
    const float tc = RampTime();
    const bool looping = m_loopForever != 0 || m_loopCount > 1;
    if (looping && m_pingPong == 0) {
        if (m_loopForever == 0) {
            m_value = static_cast<float>(m_loopCount - m_passesLeft) * a + tc * a / q;
        } else {
            // Whole passes counted at once: subtracting one pass at a time stops progressing when the elapsed
            // time is large against the pass, and never ends when the pass is tiny.
            const double elapsed = m_elapsedMs;
            const double passes = std::isfinite(d) ? std::floor(elapsed / d) : 0.0;
            const double e = elapsed - passes * d;
            double value = passes * a;
            value += e >= span ? a : e * a / q;
            m_value = static_cast<float>(value);
        }
    } else {
        m_value = span > 0.0f ? tc * a / span : a;
    }
    Settle();
}

uint32_t SWaxistrack::OuterTag() const
{
    return kTagAxisTrack;
}

bool SWaxistrack::SaveInner(SWchunkstream& out) const
{
    SWrecordbuilder first(out, kTagFirst);
    first.Stream().WriteU32(m_channel);
    first.Stream().WriteF32(m_amount);
    first.Stream().WriteF64(m_durationMs);
    return first.Finish();
}

bool SWaxistrack::LoadInner(uint32_t tag, SWchunkstream& body)
{
    if (tag != kTagFirst)
        return true;
    const uint32_t channel = body.ReadU32();
    const float amount = body.ReadF32();
    const double duration = body.ReadF64();
    if (body.Status() != SWchunkstream::kStatusGood)
        return false;
    m_channel = channel;
    m_amount = amount;
    SetDuration(ReadDuration(duration));
    return true;
}

// -- Polynomial

SWpolynomialgenerator::SWpolynomialgenerator(SWworld* world) : SWgenerator(world, kPolynomial, 1000.0f) {}

void SWpolynomialgenerator::Apply()
{
    // Over no duration the curve stands at its end rather than at 0/0.
    const float u = m_durationMs > 0.0f ? m_localMs / m_durationMs : 1.0f;
    const float exponent = m_invert != 0 ? 1.0f / m_shape : m_shape;
    const float base = m_mirror != 0 ? 1.0f - u : u;
    m_value = std::pow(base, exponent) * m_amplitude + m_offset;
    Settle();
}

uint32_t SWpolynomialgenerator::OuterTag() const
{
    return kTagPolynomial;
}

bool SWpolynomialgenerator::SaveInner(SWchunkstream& out) const
{
    SWrecordbuilder first(out, kTagFirst);
    first.Stream().WriteU32(m_channel);
    first.Stream().WriteF32(m_amplitude);
    first.Stream().WriteF64(m_durationMs);
    first.Stream().WriteU8(m_invert);
    if (!first.Finish())
        return false;
    SWrecordbuilder second(out, kTagSecond);
    second.Stream().WriteU8(m_mirror);
    second.Stream().WriteF32(m_offset);
    second.Stream().WriteF32(m_shape);
    return second.Finish();
}

bool SWpolynomialgenerator::LoadInner(uint32_t tag, SWchunkstream& body)
{
    if (tag == kTagFirst) {
        const uint32_t channel = body.ReadU32();
        const float amplitude = body.ReadF32();
        const double duration = body.ReadF64();
        const uint8_t invert = body.ReadU8();
        if (body.Status() != SWchunkstream::kStatusGood)
            return false;
        m_channel = channel;
        m_amplitude = amplitude;
        SetDuration(ReadDuration(duration));
        m_invert = invert;
    } else if (tag == kTagSecond) {
        const uint8_t mirror = body.ReadU8();
        const float offset = body.ReadF32();
        const float shape = body.ReadF32();
        if (body.Status() != SWchunkstream::kStatusGood)
            return false;
        m_mirror = mirror;
        m_offset = offset;
        m_shape = shape;
    }
    return true;
}

// -- Waveform

SWwaveformgenerator::SWwaveformgenerator(SWworld* world) : SWgenerator(world, kSine, 1000.0f) {}

void SWwaveformgenerator::Reset(bool onPassBoundary)
{
    if (!onPassBoundary)
        m_sustainReached = 0;
    SWgenerator::Reset(onPassBoundary);
}

void SWwaveformgenerator::Rewind()
{
    SWgenerator::Rewind();
    m_sustainReached = 0;
}

void SWwaveformgenerator::StretchDuration(float ms)
{
    if (m_timed == 0)
        return;
    if (ms == 0.0f) {
        m_startTime = m_sustainTime = m_decayTime = 0.0f;
        return;
    }
    const float largest = std::max({m_startTime, m_sustainTime, m_decayTime});
    if (!(largest > 0.0f))
        return;
    for (float* time : {&m_startTime, &m_sustainTime, &m_decayTime})
        if (*time > 0.0f)
            *time = ms * *time / largest;
    UpdateDuration();
}

float SWwaveformgenerator::GetRangeMin() const
{
    if (m_absolute != 0 || m_positive != 0)
        return m_offset * m_scale;
    return (m_offset - std::min({m_startAmplitude, m_sustainAmplitude, m_decayAmplitude})) * m_scale;
}

float SWwaveformgenerator::GetRangeMax() const
{
    return (std::max({m_startAmplitude, m_sustainAmplitude, m_decayAmplitude}) + m_offset) * m_scale;
}

bool SWwaveformgenerator::SetShape(uint8_t type)
{
    if (type < kSine || type > kSawtoothDown)
        return false;
    m_typeCode = type;
    return true;
}

void SWwaveformgenerator::SetStartTime(float ms)
{
    m_startTime = ms;
    UpdateDuration();
}

void SWwaveformgenerator::SetSustainTime(float ms)
{
    m_sustainTime = ms;
    UpdateDuration();
}

void SWwaveformgenerator::SetDecayTime(float ms)
{
    m_decayTime = ms;
    UpdateDuration();
}

void SWwaveformgenerator::SetPeriod(float ms)
{
    m_period = ClampPeriod(ms);
    if (m_lock != 0)
        m_endPeriod = m_period;
}

void SWwaveformgenerator::SetEndPeriod(float ms)
{
    m_endPeriod = ClampPeriod(ms);
    if (m_lock != 0)
        m_period = m_endPeriod;
}

void SWwaveformgenerator::SetPhase(float degrees)
{
    m_phase = std::clamp(degrees, -180.0f, 180.0f);
}

void SWwaveformgenerator::SetAbsolute(bool on)
{
    m_absolute = on ? 1 : 0;
    if (on)
        m_positive = 0;
}

void SWwaveformgenerator::SetPositive(bool on)
{
    m_positive = on ? 1 : 0;
    if (on)
        m_absolute = 0;
}

float SWwaveformgenerator::Shape(float theta) const
{
    switch (m_typeCode) {
    case kSine:
        return std::sin(theta);
    case kSquare:
        if (theta == 0.0f || theta == kPi || theta == 2.0f * kPi)
            return 0.0f;
        return theta < kPi ? 1.0f : -1.0f;
    case kTriangle: {
        float sign = 1.0f;
        if (theta > kPi) {
            theta -= kPi;
            sign = -1.0f;
        }
        if (theta == 0.0f || theta == kPi)
            return 0.0f;
        if (theta <= kHalfPi)
            return sign * theta * kTriangleSlope;
        return sign * (1.0f - (theta - kHalfPi) * kTriangleSlope);
    }
    case kSawtoothUp:
        return theta * kSawtoothSlope;
    case kSawtoothDown:
        return 1.0f - theta * kSawtoothSlope;
    default:
        return 0.0f;
    }
}

void SWwaveformgenerator::Apply()
{
    const float span = Span();
    const float tc = RampTime();
    const float s = span > 0.0f ? span : 1.0f;
    const float period = m_endPeriod == m_period ? m_period : (m_endPeriod - m_period) / s * tc + m_period;
    // The angle is brought into [0, 2 pi) in one step: from below too (a negative phase), and without a loop
    // that a huge time or a tiny period would keep running.
    double theta = static_cast<double>(tc) * kTwoPi / period + static_cast<double>(m_phase) * kPi / 180.0;
    theta = std::fmod(theta, kWrapTwoPi);
    if (theta < 0.0)
        theta += kWrapTwoPi;
    if (!(theta >= 0.0 && theta < kWrapTwoPi))
        theta = 0.0;
    float value = Shape(static_cast<float>(theta));
    if (m_absolute != 0)
        value = std::fabs(value);
    else if (m_positive != 0)
        value = std::max(value, 0.0f);

    enum class Phase { kAttack, kSustain, kDecay } phase;
    if (m_infinite != 0 && m_sustainReached != 0)
        phase = Phase::kSustain;
    else if (tc <= m_startTime)
        phase = Phase::kAttack;
    else if (tc <= m_startTime + m_sustainTime)
        phase = Phase::kSustain;
    else
        phase = Phase::kDecay;
    switch (phase) {
    case Phase::kAttack:
        if (m_startTime > 0.0f)
            value *= (m_sustainAmplitude - m_startAmplitude) * tc / m_startTime + m_startAmplitude;
        else
            value *= m_startAmplitude == 0.0f ? m_sustainAmplitude : m_startAmplitude;
        break;
    case Phase::kSustain:
        if (m_infinite != 0)
            m_sustainReached = 1;
        value *= m_sustainAmplitude;
        break;
    case Phase::kDecay:
        if (m_decayTime > 0.0f)
            value *= (m_decayTime - (tc - m_startTime - m_sustainTime)) * (m_sustainAmplitude - m_decayAmplitude) /
                         m_decayTime +
                     m_decayAmplitude;
        else
            value *= m_decayAmplitude == 0.0f ? m_sustainAmplitude : m_decayAmplitude;
        break;
    }
    m_value = (value + m_offset) * m_scale;
    Settle();
}

uint32_t SWwaveformgenerator::OuterTag() const
{
    return kTagWaveform;
}

bool SWwaveformgenerator::SaveInner(SWchunkstream& out) const
{
    SWrecordbuilder first(out, kTagFirst);
    SWchunkstream& s = first.Stream();
    s.WriteU32(m_channel);
    s.WriteU8(m_typeCode);
    s.WriteF64(m_startTime);
    s.WriteF32(m_startAmplitude);
    s.WriteF64(m_sustainTime);
    s.WriteF32(m_sustainAmplitude);
    s.WriteF64(m_decayTime);
    s.WriteF32(m_decayAmplitude);
    s.WriteF32(m_offset);
    s.WriteF32(m_period);
    s.WriteF32(m_endPeriod);
    s.WriteF32(m_phase);
    s.WriteU8(m_absolute);
    s.WriteU8(m_lock);
    if (!first.Finish())
        return false;
    SWrecordbuilder second(out, kTagSecond);
    second.Stream().WriteU8(m_positive);
    second.Stream().WriteU8(m_infinite);
    return second.Finish();
}

bool SWwaveformgenerator::LoadInner(uint32_t tag, SWchunkstream& body)
{
    if (tag == kTagFirst) {
        const uint32_t channel = body.ReadU32();
        const uint8_t type = body.ReadU8();
        const double start = body.ReadF64();
        const float startAmplitude = body.ReadF32();
        const double sustain = body.ReadF64();
        const float sustainAmplitude = body.ReadF32();
        const double decay = body.ReadF64();
        const float decayAmplitude = body.ReadF32();
        const float offset = body.ReadF32();
        const float period = body.ReadF32();
        const float endPeriod = body.ReadF32();
        const float phase = body.ReadF32();
        const uint8_t absolute = body.ReadU8();
        const uint8_t lock = body.ReadU8();
        if (body.Status() != SWchunkstream::kStatusGood)
            return false;
        m_channel = channel;
        m_typeCode = type; // kept as read: an unknown shape gives 0
        m_startTime = ReadDuration(start);
        m_startAmplitude = startAmplitude;
        m_sustainTime = ReadDuration(sustain);
        m_sustainAmplitude = sustainAmplitude;
        m_decayTime = ReadDuration(decay);
        m_decayAmplitude = decayAmplitude;
        m_offset = offset;
        m_period = ClampPeriod(period);
        m_endPeriod = ClampPeriod(endPeriod);
        m_phase = phase == phase ? std::clamp(phase, -180.0f, 180.0f) : 0.0f;
        m_absolute = absolute;
        m_lock = lock;
        UpdateDuration();
    } else if (tag == kTagSecond) {
        const uint8_t positive = body.ReadU8();
        const uint8_t infinite = body.ReadU8();
        if (body.Status() != SWchunkstream::kStatusGood)
            return false;
        m_positive = positive;
        m_infinite = infinite;
    }
    return true;
}

void SWwaveformgenerator::LoadedDelay(float ms)
{
    m_delay = ms;
    UpdateDuration();
}

// -- Property

SWpropertygenerator::SWpropertygenerator(SWworld* world) : SWgenerator(world, kProperty, 0.0f) {}

void SWpropertygenerator::Reset(bool onPassBoundary)
{
    SWgenerator::Reset(onPassBoundary);
    m_previous = 0.0f;
    m_needsSample = 1;
    if (!onPassBoundary) // a fresh start reads as a world just opened does: no reading taken before it counts
        m_lastSample = m_currentSample = 0.0f;
}

void SWpropertygenerator::SetPropertyName(std::optional<std::string> text)
{
    m_reference = std::move(text);
    m_resolved.Reset();
    if (m_world == nullptr || !m_reference)
        return;
    int code = 0;
    if (SWproperty* found = SWexpression::ResolveVariableReference(m_world, *m_reference, code))
        m_resolved = VariableRef(*m_world, found);
}

void SWpropertygenerator::Sample()
{
    m_currentSample = 0.0f;
    SWproperty* variable = m_resolved.Get(m_world);
    if (variable == nullptr && m_world != nullptr && m_reference) {
        int code = 0;
        variable = SWexpression::ResolveVariableReference(m_world, *m_reference, code);
        if (variable != nullptr)
            m_resolved = VariableRef(*m_world, variable);
    }
    if (variable != nullptr)
        m_currentSample = variable->GetAsFloat();
    if (m_relative != 0) {
        const float reading = m_currentSample;
        m_currentSample = reading - m_lastSample;
        m_lastSample = reading;
    }
}

void SWpropertygenerator::Apply()
{
    if (m_timed == 0) {
        Sample();
        m_value = m_delta = m_currentSample;
        return;
    }
    if (!(m_durationMs > 0.0f)) {
        Sample();
        m_value = m_delta = m_currentSample * m_direction;
        return;
    }
    if (m_needsSample != 0) {
        Sample();
        m_needsSample = 0;
    }
    const float span = Span();
    m_value = span > 0.0f ? RampTime() * m_currentSample / span : m_currentSample;
    Settle();
}

uint32_t SWpropertygenerator::OuterTag() const
{
    return kTagProperty;
}

bool SWpropertygenerator::SaveInner(SWchunkstream& out) const
{
    SWrecordbuilder first(out, kTagFirst);
    first.Stream().WriteU32(m_channel);
    first.Stream().WriteString(m_reference);
    first.Stream().WriteF32(m_durationMs);
    first.Stream().WriteU8(m_relative != 0 ? 1 : 0);
    return first.Finish();
}

bool SWpropertygenerator::LoadInner(uint32_t tag, SWchunkstream& body)
{
    if (tag != kTagFirst)
        return true;
    const uint32_t channel = body.ReadU32();
    std::optional<std::string> reference;
    body.ReadString(reference);
    const float duration = body.ReadF32();
    const uint8_t relative = body.ReadU8();
    if (body.Status() != SWchunkstream::kStatusGood)
        return false;
    m_channel = channel;
    m_durationMs = ReadDuration(duration);
    m_relative = relative != 0 ? 1 : 0;
    SetPropertyName(std::move(reference));
    return true;
}

// -- Random

SWrandomgenerator::SWrandomgenerator(SWworld* world) : SWgenerator(world, kRandom, 0.0f) {}

void SWrandomgenerator::Reset(bool onPassBoundary)
{
    SWgenerator::Reset(onPassBoundary);
    m_previous = 0.0f;
    m_needsDraw = 1;
}

float SWrandomgenerator::Draw()
{
    if (m_minimum == m_maximum)
        return m_minimum;
    uint32_t r = 0;
    if (m_world != nullptr) {
        r = m_world->NextRandom();
    } else {
        m_ownRandom ^= m_ownRandom << 13;
        m_ownRandom ^= m_ownRandom >> 17;
        m_ownRandom ^= m_ownRandom << 5;
        r = (m_ownRandom >> 8) & 0x7FFF;
    }
    return std::fabs(m_maximum - m_minimum) * static_cast<float>(r) * 3.051851e-5f + std::min(m_minimum, m_maximum);
}

void SWrandomgenerator::Apply()
{
    if (!(m_durationMs > 0.0f) || m_timed == 0) {
        m_drawn = Draw();
        m_value = m_delta = m_drawn * m_direction;
        return;
    }
    if (m_needsDraw != 0) {
        m_drawn = Draw();
        m_needsDraw = 0;
    }
    const float span = Span();
    m_value = span > 0.0f ? RampTime() * m_drawn / span : m_drawn;
    Settle();
}

uint32_t SWrandomgenerator::OuterTag() const
{
    return kTagRandom;
}

bool SWrandomgenerator::SaveInner(SWchunkstream& out) const
{
    SWrecordbuilder second(out, kTagSecond);
    second.Stream().WriteU32(m_channel);
    second.Stream().WriteF32(m_minimum);
    second.Stream().WriteF32(m_maximum);
    second.Stream().WriteF32(m_durationMs);
    return second.Finish();
}

bool SWrandomgenerator::LoadInner(uint32_t tag, SWchunkstream& body)
{
    if (tag != kTagSecond && tag != kTagFirst)
        return true;
    const uint32_t channel = body.ReadU32();
    const float first = body.ReadF32();
    const float second = tag == kTagSecond ? body.ReadF32() : 0.0f;
    const float duration = body.ReadF32();
    if (body.Status() != SWchunkstream::kStatusGood)
        return false;
    m_channel = channel;
    if (tag == kTagSecond) {
        m_minimum = first;
        m_maximum = second;
    } else { // the older record keeps a range about 0
        m_minimum = -0.5f * first;
        m_maximum = 0.5f * first;
    }
    m_durationMs = ReadDuration(duration);
    return true;
}
