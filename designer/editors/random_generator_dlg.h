#pragma once
// CVTND_RandomGeneratorDlg: the dialog of a value driven by a random generator, opened by the value editor control.
// It edits the generator's lowest and highest value in place, in the value's units, and reports each change to the
// control (change code 6).
#include <cstdint>
#include <memory>

#include "designer/workspace/generator_dialog.h"

class SWrandomgenerator;

class CVTND_RandomGeneratorDlg : public CVTND_GeneratorDialog {
public:
    static constexpr int32_t kIdd = 187;
    static constexpr int32_t kIdLowest = 1004;
    static constexpr int32_t kIdHighest = 1005;

    CVTND_RandomGeneratorDlg(CVTND_ValueGenerator& control, pf::Window* parent);
    static std::unique_ptr<CVTND_GeneratorDialog> Make(CVTND_ValueGenerator& control, pf::Window* parent);

    void SetMode(int32_t unit) override;
    void SetTarget(SWgenerator* generator) override;

protected:
    bool onInitDialog() override;
    void onOK() override { destroy(); }
    void onCancel() override { destroy(); }
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Refresh();

    SWrandomgenerator* m_generator; // the control's slot holds it
    int32_t m_unit;
    bool m_updating = false;
};
