#pragma once
// CVTND_ActionStereoscopicFeaturesDlg: the editor of a stereo vision action (kind 37): the technique and whether
// stereo viewing is on. Every change runs the action on its target camera under the world's lock, so the 3D views
// show it at once. The handler also switches the world's stereo byte on, which the world's file saves, so closing
// puts back what the editor found: stereo off on every camera, the world's byte as it was. Cancel restores the
// enabled byte; a changed technique stays.
#include <cstdint>

#include "designer/workspace/modeless_editor.h"

class SWnode;

class CVTND_ActionStereoscopicFeaturesDlg : public CVTND_ActionEditorDlg {
public:
    static constexpr int32_t kIdd = 305;
    static constexpr int32_t kIdTechnique = 1262;
    static constexpr int32_t kIdEnabled = 1187;

    CVTND_ActionStereoscopicFeaturesDlg(SWactionnode* action, CVTND_EditDialog* record);

protected:
    bool onInitDialog() override;
    void onCancel() override;
    void OnClosing() override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    SWnode* Target() const; // the camera the first argument names, found from the root; null: none
    void Preview();

    uint8_t m_openedEnabled;         // the action's enabled byte at opening, for Cancel
    uint8_t m_openedWorldStereo = 0; // the world's stereo byte at opening, put back on closing
};
