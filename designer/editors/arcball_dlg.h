#pragma once
// CVTND_ControllerMotionArcballDlg: the editor of a mouse arcball action (kind 45), one combined view of its motion:
// the function of each mouse button, the coordinate frame, the translation sensitivities and the behaviour on
// release. It writes through: every change goes into the motion at once, under the world's lock, and OK and Cancel
// only close. The motion's six channels come in pairs per button (left 0/1, middle 2/3, right 4/5).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "designer/workspace/modeless_editor.h"

class SWarcballmotion;
class SWcontrolchannel;

class CVTND_ControllerMotionArcballDlg : public CVTND_ModelessEditorDlg {
public:
    static constexpr int32_t kIdd = 414;
    static constexpr uint8_t kFunctionNone = 10;

    CVTND_ControllerMotionArcballDlg(SWactionnode* action, CVTND_EditDialog* record);

    SWarcballmotion* Motion() const { return m_motion; }
    // The function a channel pair stands for (0..20), tried in the order 0..9, 11..20; None when nothing matches.
    static uint8_t RecogniseFunction(const SWcontrolchannel& a, const SWcontrolchannel& b);
    static int32_t ComboIndexOf(uint8_t function);      // 0..9 as they are, 11..20 one less, None last (20)
    static uint8_t FunctionOfComboIndex(int32_t index); // the reverse; anything else is None

protected:
    bool onInitDialog() override;
    void onOK() override { DestroyWindow(); } // written through already
    pf::LResult handle(const pf::Msg& msg) override;
    void OnNotify(const CVTND_Event& event) override;

private:
    void ButtonChanged(int32_t combo);
    void FrameChanged();
    void ToggleFlag(uint8_t bit);
    void ToggleKeepRotating();
    // The field's whole text as a finite float; otherwise nullopt, and a refused text gives way to stored.
    std::optional<float> TakeTyped(int32_t id, const std::function<std::string()>& stored);
    void FrictionTyped();
    void SensitivityTyped(int32_t edit);
    void NodeDropped(SWnode* node);
    SWworld* MotionWorld() const;

    SWarcballmotion* m_motion; // the action's
    bool m_initialising = false;
};
