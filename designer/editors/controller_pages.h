#pragma once
// The motion pages of the controller editor: the XYZ page (rotate, translate, scale), the track-target page and the
// lip-sync speech page (the key-frame pages are in controller_keyframe_pages.h). Each is a child dialog of the host
// whose object lives as long as the host and whose window exists while the host shows it.
#include <array>
#include <memory>

#include "designer/editors/controller_editor.h"

class SWxyzmotion;

class CVTND_ControllerMotionXYZDlg : public CVTND_ControllerPage {
public:
    CVTND_ControllerMotionXYZDlg() : CVTND_ControllerPage(382, 130) {}

protected:
    void Open() override;
    bool Command(int32_t id, int32_t code) override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    SWxyzmotion* Xyz() const;
};

class CVTND_ControllerMotionRotationTrackTargetDlg : public CVTND_ControllerPage {
public:
    CVTND_ControllerMotionRotationTrackTargetDlg() : CVTND_ControllerPage(385, 140) {}

protected:
    void Open() override;
    bool Command(int32_t id, int32_t code) override;
    void Notify(const CVTND_Event& event) override;
    pf::LResult handle(const pf::Msg& msg) override;
};

class CVTND_ControllerQJSpeechDlg : public CVTND_ControllerPage {
public:
    CVTND_ControllerQJSpeechDlg() : CVTND_ControllerPage(154, 130) {}

protected:
    void Open() override;
};

// The ten page objects by slot: 0 rotate, 1 translate and 8 scale XYZ, 2 key-frame play, 3 track target, 5 key-frame
// jump, 6 vertex play, 7 vertex jump, 9 speech; slot 4 holds none.
std::array<std::unique_ptr<CVTND_ControllerPage>, CVTND_ActionControllerDlg::kPageSlots> MakeControllerPages();
