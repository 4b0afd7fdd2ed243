#pragma once
// CVTND_GeneratorDialog: what the value editor asks of the generator dialogs it opens (the waveform, random,
// polynomial and property generator dialogs, which register their constructors with it by generator type). A
// dialog lives in one slot of the control that opened it; when its window is gone it gives itself back to the
// control, which deletes it, so a closed dialog never lingers and the next request opens a new one.
#include <cstdint>
#include <memory>

#include "platform/ui/dialog/dialog.h"

class CVTND_ValueGenerator;
class SWgenerator;

class CVTND_GeneratorDialog : public pf::Dialog {
public:
    explicit CVTND_GeneratorDialog(CVTND_ValueGenerator& control) : m_control(&control) {}

    virtual void SetMode(int32_t unit) = 0;             // the value's display unit
    virtual void SetTarget(SWgenerator* generator) = 0; // the generator edited from now on
    CVTND_ValueGenerator& GetControl() const { return *m_control; }

protected:
    void postNcDestroy() override; // gives this dialog back to its control, which deletes it: the last call

private:
    CVTND_ValueGenerator* m_control; // outlives us: its destruction destroys its dialogs first
};

// Makes the dialog for control with the given parent window, its window created (hidden or shown); null: none.
using CVTND_GeneratorDialogConstructor = std::unique_ptr<CVTND_GeneratorDialog> (*)(CVTND_ValueGenerator& control,
                                                                                    pf::Window* parent);
