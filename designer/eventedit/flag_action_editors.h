#pragma once
// The editors of the actions that keep their settings as bytes of their own: hide or show a node (kinds 21 and 22)
// and reset a node (kind 34), written on OK; unload a loaded world (kind 55) and hide or show one (kind 56), written
// at every click, so that OK and Cancel only close.
//
// The two loaded-world kinds keep each byte where the records store it and label it by what the runtime does with
// it: kind 55's second byte says whether the world's resources go too (1012 sets it, 1013 clears it), kind 56's
// first byte shows the world (1012 hides: 0, 1013 shows: 1).
#include <cstdint>

#include "designer/workspace/modeless_editor.h"

class CVTND_ActionHideUnhideDlg : public CVTND_ActionEditorDlg {
public:
    static constexpr int32_t kIdd = 375;
    static constexpr int32_t kIdChildren = 1187;
    using CVTND_ActionEditorDlg::CVTND_ActionEditorDlg;

protected:
    bool onInitDialog() override;
    void Apply() override;
};

class CVTND_ActionResetObjectDlg : public CVTND_ActionEditorDlg {
public:
    static constexpr int32_t kIdd = 300;
    static constexpr int32_t kIdRotation = 1187;
    static constexpr int32_t kIdPosition = 1188;
    static constexpr int32_t kIdChildren = 1193;
    using CVTND_ActionEditorDlg::CVTND_ActionEditorDlg;

protected:
    bool onInitDialog() override;
    void Apply() override;
};

class CVTND_ActionUnloadVTODlg : public CVTND_ActionEditorDlg {
public:
    static constexpr int32_t kIdd = 462;
    static constexpr int32_t kIdAll = 1187;
    static constexpr int32_t kIdResourcesToo = 1012;
    static constexpr int32_t kIdKeepResources = 1013;
    using CVTND_ActionEditorDlg::CVTND_ActionEditorDlg;

protected:
    bool onInitDialog() override;
    pf::LResult handle(const pf::Msg& msg) override;
};

class CVTND_ActionHideUnhideVTODlg : public CVTND_ActionEditorDlg {
public:
    static constexpr int32_t kIdd = 477;
    static constexpr int32_t kIdHide = 1012;
    static constexpr int32_t kIdShow = 1013;
    static constexpr int32_t kIdAll = 1187;
    static constexpr int32_t kIdFirst = 1014;
    static constexpr int32_t kIdLast = 1015;
    using CVTND_ActionEditorDlg::CVTND_ActionEditorDlg;

protected:
    bool onInitDialog() override;
    pf::LResult handle(const pf::Msg& msg) override;
};
