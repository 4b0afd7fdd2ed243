#pragma once
// CVTND_PolynomialGeneratorDlg: the dialog of a value driven by a polynomial generator, opened by the value editor
// control. It edits the generator in place with its curve beside the fields, and reports each change to the
// control by change code (6 amplitude, offset or mirror; 12 shape). Amplitude and offset show in the value's units.
#include <cstdint>
#include <memory>

#include "designer/workspace/generator_dialog.h"

class CVTND_PolynomialCtrl;
class SWpolynomialgenerator;

class CVTND_PolynomialGeneratorDlg : public CVTND_GeneratorDialog {
public:
    static constexpr int32_t kIdd = 182;

    CVTND_PolynomialGeneratorDlg(CVTND_ValueGenerator& control, pf::Window* parent);
    static std::unique_ptr<CVTND_GeneratorDialog> Make(CVTND_ValueGenerator& control, pf::Window* parent);

    void SetMode(int32_t unit) override;
    void SetTarget(SWgenerator* generator) override;
    SWpolynomialgenerator* Generator() const { return m_generator; }

protected:
    bool onInitDialog() override;
    void onOK() override { destroy(); }
    void onCancel() override { destroy(); }
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Refresh();
    void EditChanged(int32_t id);
    CVTND_PolynomialCtrl* Curve() const;

    SWpolynomialgenerator* m_generator; // the control's slot holds it
    int32_t m_unit;
    bool m_updating = false;
};
