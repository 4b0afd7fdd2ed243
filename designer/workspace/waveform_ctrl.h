#pragma once
// CVTND_WaveformCtrl: the curve of a waveform generator over its duration (one period when it has none). The
// setters change the generator through its own setters, under the world's lock, and repaint; without a generator
// they do nothing. The generator belongs to the value it drives; the dialog that shows this control is closed
// before that generator is replaced or deleted.
#include <cstdint>

#include "platform/ui/controls/control.h"

class SWwaveformgenerator;

class CVTND_WaveformCtrl : public pf::Control {
public:
    static constexpr const char* kClassName = "CVTND_WaveformCtrl";

    void SetGenerator(SWwaveformgenerator* generator); // null detaches; repaints
    SWwaveformgenerator* GetGenerator() const { return m_generator; }

    void SetWaveType(int32_t type); // 1 sine .. 5 sawtooth down; other values are ignored
    void SetPeriod(float ms);       // below 1 becomes 1; with lock both periods
    void SetEndPeriod(float ms);
    void SetAttackTime(float ms); // the time setters make the duration again
    void SetAttackAmplitude(float value);
    void SetSustainTime(float ms);
    void SetSustainAmplitude(float value);
    void SetDecayTime(float ms);
    void SetDecayAmplitude(float value);
    void SetPhase(float degrees); // clamped to -180..180
    void SetOffset(float value);
    void Refresh(); // repaints when a generator is attached

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    template <typename Change> void Edit(Change change);
    void Paint();

    SWwaveformgenerator* m_generator = nullptr; // the driven value's; see the class comment
};
