#pragma once
// CVTND_ValueGenerator: the editor of an animatable value: an edit with a spin and a generator button. The value
// lives in a slot (CVTND_GeneratorSlot) that holds its generator: a constant (an axis track, whose amount the edit
// shows in the display unit), another generator (the edit names its kind), or nothing (an empty particle
// parameter, shown as the value the owner passed for it).
//
// Typing a number stores FromDisplayUnits of it into the constant and sends the parent kValueTyped; typed into an
// empty slot it first puts a constant holding it there (kGeneratorReplaced, then kValueTyped). The generator button
// opens a menu of the generator kinds: another kind builds a generator of that kind in the slot (kGeneratorReplaced);
// the current kind opens its dialog when none is open for it. Both messages carry the control id in wParam and the
// control in lParam; kGeneratorChanged (NotifyParent) carries the change code in wParam.
//
// A generator is never replaced under an open dialog: the dialogs bound to it are destroyed first, then the slot is
// changed and the old generator deleted under the world's lock. Destroying the control destroys its dialogs while
// it still lives.
#include <array>
#include <cstdint>
#include <memory>

#include "designer/workspace/generator_dialog.h"
#include "designer/workspace/generator_slot.h"
#include "platform/ui/controls/control.h"

namespace pf {
class Button;
class Edit;
class UpDown;
} // namespace pf

class CVTND_ValueGenerator : public pf::Control {
public:
    static constexpr const char* kClassName = "CVTND_ValueGenerator";
    static constexpr int32_t kEditId = 1;
    static constexpr int32_t kSpinId = 2;
    static constexpr int32_t kButtonId = 3;
    static constexpr uint32_t kMenuCommandBase = 0x100; // the menu's command for generator type t is base + t

    enum class DialogSlot { kWaveform, kRandom, kPolynomial, kProperty, kCount };

    CVTND_ValueGenerator();
    ~CVTND_ValueGenerator() override;

    // -- Set-up
    void Initialize(); // makes the edit, spin and button; WM_CREATE calls it, a subclassed placeholder calls it
    void AttachValue(const CVTND_GeneratorSlot& slot, float emptyValue = 0.0f); // dialogs of the old value close
    void SetUnit(int32_t unit); // 0 plain, 1 degrees, 2 colour, 3 percent; others read as plain
    int32_t GetUnit() const { return m_unit; }
    void SetAnimated(bool animated); // false: a generator other than a constant becomes a constant of its output
    bool IsAnimated() const { return m_animated; }
    void UpdateText();
    void ShowRenamed(); // an open property dialog shows the reference again, which a rename may have changed

    // -- What the dialogs and owners use
    SWgenerator* GetGenerator() const { return m_slot.Get(); }
    const CVTND_GeneratorSlot& GetSlot() const { return m_slot; }
    CVTND_GeneratorDialog* GetDialog(DialogSlot slot) const;
    void NotifyParent(int32_t code);    // codes 1..3 refresh the text first; then kGeneratorChanged
    bool ChooseGenerator(uint8_t type); // what choosing the menu entry does; false for an unknown type
    std::pair<int32_t, int32_t> SpinRange() const;
    void DialogGone(CVTND_GeneratorDialog& dialog); // the dialog's last call; deletes it

    pf::Edit* GetEdit() const;
    pf::UpDown* GetSpin() const;
    pf::Button* GetButton() const;

    // -- The dialog classes, by generator type (1..5 waveform, 7 property, 8 random, 9 polynomial)
    static bool RegisterDialog(uint8_t type, CVTND_GeneratorDialogConstructor constructor); // false: taken
    static CVTND_GeneratorDialogConstructor ReplaceDialog(uint8_t type, CVTND_GeneratorDialogConstructor c);

    static std::unique_ptr<SWgenerator> MakeGenerator(uint8_t type, SWworld* world, float constant = 0.0f);
    static const char* KindName(uint8_t type); // "Constant", "Sine", ...; "" for unknown types

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    static int SlotOfType(uint8_t type); // -1 for types without a dialog
    void ShowGeneratorMenu();
    void OpenDialog(uint8_t type);
    void ReplaceGenerator(std::unique_ptr<SWgenerator> generator);
    void CloseDialogs();
    void ValueTyped();
    void Step(int32_t delta);
    void Layout();
    void Send(uint32_t message, pf::WParam w);

    CVTND_GeneratorSlot m_slot;
    float m_emptyValue = 0.0f;
    int32_t m_unit = 0;
    bool m_animated = true;
    bool m_updating = false; // set while the control writes its own edit
    std::array<std::unique_ptr<CVTND_GeneratorDialog>, static_cast<size_t>(DialogSlot::kCount)> m_dialogs;
};
