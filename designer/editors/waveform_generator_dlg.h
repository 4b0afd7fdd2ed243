#pragma once
// CVTND_WaveformGenerator: the dialog of a value driven by a waveform generator (sine, square, triangle, sawtooth
// up or down), opened by the value editor control. It edits the generator in place with its curve beside the
// fields and reports each change to the control by change code (1..11). Amplitudes show in the value's units. For a
// colour value absolute is forced on and both sign boxes are disabled, from the opening on.
#include <cstdint>
#include <memory>

#include "designer/workspace/generator_dialog.h"

class CVTND_WaveformCtrl;
class SWwaveformgenerator;

class CVTND_WaveformGenerator : public CVTND_GeneratorDialog {
public:
    static constexpr int32_t kIdd = 379;
    static constexpr int32_t kUnitColour = 2;

    CVTND_WaveformGenerator(CVTND_ValueGenerator& control, pf::Window* parent);
    static std::unique_ptr<CVTND_GeneratorDialog> Make(CVTND_ValueGenerator& control, pf::Window* parent);

    void SetMode(int32_t unit) override;
    void SetTarget(SWgenerator* generator) override;
    SWwaveformgenerator* Generator() const { return m_generator; }

protected:
    bool onInitDialog() override;
    void onOK() override { destroy(); }
    void onCancel() override { destroy(); }
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Refresh();
    void ApplyColourRule();
    void EditChanged(int32_t id);
    void Clicked(int32_t id);
    void EnableDecay(bool enabled);
    CVTND_WaveformCtrl* Curve() const;

    SWwaveformgenerator* m_generator; // the control's slot holds it
    int32_t m_unit;
    bool m_updating = false;
};
