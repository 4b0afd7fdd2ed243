#pragma once
// CVTND_PolynomialCtrl: the curve of a polynomial generator over its duration (a second when it has none). Its
// setters change the generator under the world's lock and repaint; without a generator they do nothing. The
// generator belongs to the value it drives, as for CVTND_WaveformCtrl.
#include "platform/ui/controls/control.h"

class SWpolynomialgenerator;

class CVTND_PolynomialCtrl : public pf::Control {
public:
    static constexpr const char* kClassName = "CVTND_PolynomialCtrl";

    void SetGenerator(SWpolynomialgenerator* generator); // null detaches; repaints
    SWpolynomialgenerator* GetGenerator() const { return m_generator; }

    void SetAmplitude(float value);
    void SetShape(float exponent);
    void ToggleInvert(); // the exponent becomes 1 / shape, or back
    void Refresh();      // repaints when a generator is attached

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Paint();

    SWpolynomialgenerator* m_generator = nullptr; // the driven value's; see the class comment
};
