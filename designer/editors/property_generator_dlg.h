#pragma once
// CVTND_PropertyGenerator: the dialog of a value that follows a user property, opened by the value editor control.
// The property is named by typing its reference ("NODE:name.property", "SOUND:name.property") or by dropping a
// property from the Properties panel on the field; radio buttons choose its value or its change since the last
// step. Escape keeps the dialog open; the close button closes it.
#include <cstdint>
#include <memory>
#include <string>

#include "designer/workspace/generator_dialog.h"

class SWproperty;
class SWpropertygenerator;

class CVTND_PropertyGenerator : public CVTND_GeneratorDialog {
public:
    static constexpr int32_t kIdd = 283;
    static constexpr size_t kMaxReference = 1024;

    CVTND_PropertyGenerator(CVTND_ValueGenerator& control, pf::Window* parent);
    static std::unique_ptr<CVTND_GeneratorDialog> Make(CVTND_ValueGenerator& control, pf::Window* parent);

    void SetMode(int32_t) override {}
    void SetTarget(SWgenerator* generator) override;
    uint32_t ReceptorHandle() const { return m_receptor; }

protected:
    bool onInitDialog() override;
    void onOK() override;
    void onCancel() override {}
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Dropped(int32_t control, const SWproperty* property);

    SWpropertygenerator* m_generator; // the control's slot holds it
    uint32_t m_receptor = 0;          // the editor engine's handle of our receptor
};
