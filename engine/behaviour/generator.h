#pragma once
// SWgenerator: one scalar channel over time on a motion's clock: the angle, distance or scale of one axis of an XYZ
// motion, or a parameter of a particle system. A generator runs from its construction; its owner steps it and
// passes its loop settings on, so they cross pass boundaries together. After a step, GetValue is the channel and
// GetDelta its change since the previous evaluation.
//
// The delay is the tail of a pass in which the ramp holds: the ramps run over duration - delay.
//
// Records: one outer record per generator ("7451" waveform, "7452" axis track, "7453" random, "7454" property,
// "7488" polynomial) whose payload is a list of inner records; a generator with a delay writes one more inner
// record "GDLY" (f32 delay) after the others, which older readers skip. Durations read as not-a-number or negative
// become 0 and periods below 1 ms (or not a number) become 1, so no clock and no curve loops without progress.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/behaviour/motion.h"
#include "engine/behaviour/refs.h"

class SWchunkstream;

class SWgenerator : public SWmotion {
public:
    static constexpr uint8_t kSine = 1;
    static constexpr uint8_t kSquare = 2;
    static constexpr uint8_t kTriangle = 3;
    static constexpr uint8_t kSawtoothUp = 4;
    static constexpr uint8_t kSawtoothDown = 5;
    static constexpr uint8_t kAxisTrack = 6;
    static constexpr uint8_t kProperty = 7;
    static constexpr uint8_t kRandom = 8;
    static constexpr uint8_t kPolynomial = 9;

    ~SWgenerator() override;

    void Reset(bool onPassBoundary) override; // off a boundary: value, previous and delta cleared too
    void Rewind() override;
    void SetDuration(float ms) override; // only when timed
    void StretchDuration(float ms) override;

    uint8_t GetType() const { return m_typeCode; }
    float GetValue() const { return m_value; }
    float GetDelta() const { return m_delta; }
    float GetPreviousValue() const { return m_previous; }
    float GetDelay() const { return m_delay; }
    void SetDelay(float ms); // when timed: duration += ms, delay := ms
    uint32_t GetChannel() const { return m_channel; }
    void SetChannel(uint32_t channel) { m_channel = channel; }
    bool IsTimed() const { return m_timed != 0; }
    void SetTimed(bool on) { m_timed = on ? 1 : 0; }

    virtual float GetRangeMin() const = 0;
    virtual float GetRangeMax() const = 0;
    // The whole outer record of this generator; it is read back through Read, which chooses the kind.
    bool Save(SWchunkstream& out) const override;
    // The generator of the outer record at in's position (its tag decides the kind), or null when the tag is not a
    // generator's or the record is damaged; in is then left after the record.
    static std::unique_ptr<SWgenerator> Read(SWworld* world, SWchunkstream& in);
    static bool IsGeneratorTag(uint32_t tag);

protected:
    SWgenerator(SWworld* world, uint8_t typeCode, float durationMs);
    SWgenerator(const SWgenerator&) = default;

    float Span() const { return m_durationMs - m_delay; }                   // the ramp's length
    float RampTime() const { return std::min(m_localMs, Span()); }          // tc: the local time, held after the ramp
    void Settle() { m_delta = m_value - m_previous, m_previous = m_value; } // ends every evaluation
    virtual uint32_t OuterTag() const = 0;
    virtual bool SaveInner(SWchunkstream& out) const = 0; // the kind's inner records
    // One inner record of the kind (its tag already taken, the payload in body); false when it is damaged.
    virtual bool LoadInner(uint32_t tag, SWchunkstream& body) = 0;
    virtual void LoadedDelay(float ms) { m_delay = ms; } // a "GDLY" record was read

    uint8_t m_typeCode;
    float m_previous = 0.0f;
    float m_value = 0.0f;
    float m_delta = 0.0f;
    float m_delay = 0.0f;
    uint32_t m_channel = 0;
    uint8_t m_timed = 1;
};

class SWaxistrack : public SWgenerator { // the channel ramps 0..amount over each pass and accumulates across passes
public:
    explicit SWaxistrack(SWworld* world, float amount = 0.0f);
    void Apply() override;
    SWmotion* Clone() const override { return new SWaxistrack(*this); }
    float GetRangeMin() const override { return std::min(0.0f, m_amount); }
    float GetRangeMax() const override { return std::max(0.0f, m_amount); }
    float GetAmount() const { return m_amount; }
    void SetAmount(float amount) { m_amount = amount; }

protected:
    uint32_t OuterTag() const override;
    bool SaveInner(SWchunkstream& out) const override;
    bool LoadInner(uint32_t tag, SWchunkstream& body) override;

private:
    float m_amount;
};

class SWpolynomialgenerator : public SWgenerator { // amplitude * u^shape + offset, u = t / duration
public:
    explicit SWpolynomialgenerator(SWworld* world);
    void Apply() override;
    SWmotion* Clone() const override { return new SWpolynomialgenerator(*this); }
    float GetRangeMin() const override { return m_offset - m_amplitude; }
    float GetRangeMax() const override { return m_offset + m_amplitude; }
    float GetAmplitude() const { return m_amplitude; }
    void SetAmplitude(float v) { m_amplitude = v; }
    float GetShape() const { return m_shape; }
    void SetShape(float v) { m_shape = v; }
    float GetOffset() const { return m_offset; }
    void SetOffset(float v) { m_offset = v; }
    bool GetInvert() const { return m_invert != 0; }
    void SetInvert(bool on) { m_invert = on ? 1 : 0; }
    bool GetMirror() const { return m_mirror != 0; }
    void SetMirror(bool on) { m_mirror = on ? 1 : 0; }

protected:
    uint32_t OuterTag() const override;
    bool SaveInner(SWchunkstream& out) const override;
    bool LoadInner(uint32_t tag, SWchunkstream& body) override;

private:
    float m_amplitude = 0.0f;
    float m_shape = 3.0f;
    float m_offset = 0.0f;
    uint8_t m_invert = 0;
    uint8_t m_mirror = 0;
};

// Types 1 sine, 2 square, 3 triangle, 4 sawtooth up, 5 sawtooth down, shaped by an attack-sustain-decay envelope.
// The gain alias of the scale is GetScale/SetScale; the scale is never saved.
class SWwaveformgenerator : public SWgenerator {
public:
    explicit SWwaveformgenerator(SWworld* world);
    void Apply() override;
    SWmotion* Clone() const override { return new SWwaveformgenerator(*this); }
    void Reset(bool onPassBoundary) override;
    void Rewind() override;
    void SetDuration(float) override {} // the phase times decide it
    void StretchDuration(float ms) override;
    float GetRangeMin() const override;
    float GetRangeMax() const override;

    bool SetShape(uint8_t type); // 1..5 only
    float GetStartTime() const { return m_startTime; }
    float GetSustainTime() const { return m_sustainTime; }
    float GetDecayTime() const { return m_decayTime; }
    void SetStartTime(float ms);
    void SetSustainTime(float ms);
    void SetDecayTime(float ms);
    float GetStartAmplitude() const { return m_startAmplitude; }
    void SetStartAmplitude(float v) { m_startAmplitude = v; }
    float GetSustainAmplitude() const { return m_sustainAmplitude; }
    void SetSustainAmplitude(float v) { m_sustainAmplitude = v; }
    float GetDecayAmplitude() const { return m_decayAmplitude; }
    void SetDecayAmplitude(float v) { m_decayAmplitude = v; }
    float GetScale() const { return m_scale; }
    void SetScale(float v) { m_scale = v; }
    float GetOffset() const { return m_offset; }
    void SetOffset(float v) { m_offset = v; }
    float GetPeriod() const { return m_period; }
    float GetEndPeriod() const { return m_endPeriod; }
    void SetPeriod(float ms);    // below 1 becomes 1; with lock both periods
    void SetEndPeriod(float ms); // the same
    float GetPhase() const { return m_phase; }
    void SetPhase(float degrees); // clamped to [-180, 180]
    bool GetAbsolute() const { return m_absolute != 0; }
    void SetAbsolute(bool on); // on clears positive
    bool GetPositive() const { return m_positive != 0; }
    void SetPositive(bool on); // on clears absolute
    bool GetLock() const { return m_lock != 0; }
    void SetLock(bool on) { m_lock = on ? 1 : 0; }
    bool GetInfinite() const { return m_infinite != 0; }
    void SetInfinite(bool on) { m_infinite = on ? 1 : 0; }

protected:
    uint32_t OuterTag() const override;
    bool SaveInner(SWchunkstream& out) const override;
    bool LoadInner(uint32_t tag, SWchunkstream& body) override;
    void LoadedDelay(float ms) override;

private:
    void UpdateDuration() { m_durationMs = m_delay + m_startTime + m_sustainTime + m_decayTime; }
    float Shape(float theta) const;

    float m_startTime = 0.0f;
    float m_startAmplitude = 0.0f;
    float m_sustainTime = 1000.0f;
    float m_sustainAmplitude = 0.0f;
    float m_decayTime = 0.0f;
    float m_decayAmplitude = 0.0f;
    float m_scale = 1.0f;
    float m_offset = 0.0f;
    float m_period = 1000.0f;
    float m_endPeriod = 1000.0f;
    float m_phase = 0.0f;
    uint8_t m_absolute = 0;
    uint8_t m_positive = 0;
    uint8_t m_lock = 1;
    uint8_t m_infinite = 0;
    uint8_t m_sustainReached = 0;
};

// Samples a variable named by a reference ("NODE:lamp.level"); SetReference is SetPropertyName, GetReferenceText its
// text, GetOption/SetOption the relative byte.
class SWpropertygenerator : public SWgenerator {
public:
    explicit SWpropertygenerator(SWworld* world);
    void Apply() override;
    SWmotion* Clone() const override { return new SWpropertygenerator(*this); }
    void Reset(bool onPassBoundary) override;
    float GetRangeMin() const override { return -3.4028235e38f; }
    float GetRangeMax() const override { return 3.4028235e38f; }
    void SetPropertyName(std::optional<std::string> text); // resolved at once
    const std::optional<std::string>& GetPropertyName() const { return m_reference; }
    bool GetRelative() const { return m_relative != 0; }
    void SetRelative(bool on) { m_relative = on ? 1 : 0; }

protected:
    uint32_t OuterTag() const override;
    bool SaveInner(SWchunkstream& out) const override;
    bool LoadInner(uint32_t tag, SWchunkstream& body) override;

private:
    void Sample();

    float m_lastSample = 0.0f;
    float m_currentSample = 0.0f;
    std::optional<std::string> m_reference;
    VariableRef m_resolved; // re-resolved from the text once the variable is gone
    uint8_t m_relative = 0;
    uint8_t m_needsSample = 1;
};

class SWrandomgenerator : public SWgenerator {
public:
    explicit SWrandomgenerator(SWworld* world);
    void Apply() override;
    SWmotion* Clone() const override { return new SWrandomgenerator(*this); }
    void Reset(bool onPassBoundary) override; // a new draw, also on a pass boundary
    float GetRangeMin() const override { return m_minimum; }
    float GetRangeMax() const override { return m_maximum; }
    float GetMinimum() const { return m_minimum; }
    void SetMinimum(float v) { m_minimum = v; }
    float GetMaximum() const { return m_maximum; }
    void SetMaximum(float v) { m_maximum = v; }

protected:
    uint32_t OuterTag() const override;
    bool SaveInner(SWchunkstream& out) const override;
    bool LoadInner(uint32_t tag, SWchunkstream& body) override;

private:
    float Draw();

    float m_drawn = 0.0f;
    uint8_t m_needsDraw = 1;
    float m_minimum = -1.0f;
    float m_maximum = 1.0f;
    uint32_t m_ownRandom = 0x9E3779B9u; // without a world
};
