#pragma once
// CVTND_TrackballDlg: the editor of the extended mouse actions (kinds 62 and 63), the arcball motion channel by
// channel: a tab per mouse button with a page for its horizontal and one for its vertical channel, and a tab of
// the motion's global settings. It writes through, as the arcball editor does: every change goes into the motion at
// once under the world's lock, and OK and Cancel only close.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "designer/workspace/modeless_editor.h"

class SWarcballmotion;
class SWcontrolchannel;

// One channel's page (template 302), a child of the editor.
class CVTND_TrackballButtonDlg : public pf::Dialog {
public:
    static constexpr int32_t kIdd = 302;
    // The controls a None function disables and restores, in the order their states are saved.
    static const std::vector<int32_t>& SavedControls();

    CVTND_TrackballButtonDlg(SWcontrolchannel& channel, bool horizontal);
    SWcontrolchannel& Channel() const { return m_channel; }

protected:
    bool onInitDialog() override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void DisableForNone();
    void FunctionChanged();
    void FrameChanged();
    void EnableFrameControls(bool enabled);
    void NumberTyped(int32_t id);

    SWcontrolchannel& m_channel; // the motion's, which outlives the page
    bool m_horizontal;
    bool m_initialising = false;
    std::vector<bool> m_savedStates; // the enabled states from before None, in SavedControls() order
};

// The motion's global settings (template 312).
class CVTND_TrackballGlobalsDlg : public pf::Dialog {
public:
    static constexpr int32_t kIdd = 312;
    explicit CVTND_TrackballGlobalsDlg(SWarcballmotion& motion) : m_motion(motion) {}

protected:
    bool onInitDialog() override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    SWarcballmotion& m_motion;
};

class CVTND_TrackballDlg : public CVTND_ModelessEditorDlg {
public:
    static constexpr int32_t kIdd = 301;

    CVTND_TrackballDlg(SWactionnode* action, CVTND_EditDialog* record);
    ~CVTND_TrackballDlg() override;

    SWarcballmotion* Motion() const { return m_motion; }
    CVTND_TrackballButtonDlg* Page(int index) const { return m_pages[static_cast<size_t>(index)].get(); }
    CVTND_TrackballGlobalsDlg* Globals() const { return m_globals.get(); }
    void ShowTab(int32_t tab);

protected:
    bool onInitDialog() override;
    void onOK() override { DestroyWindow(); }
    void OnClosing() override;
    pf::LResult handle(const pf::Msg& msg) override;
    void OnNotify(const CVTND_Event& event) override;

private:
    SWarcballmotion* m_motion; // the action's
    std::array<std::unique_ptr<CVTND_TrackballButtonDlg>, 6> m_pages;
    std::unique_ptr<CVTND_TrackballGlobalsDlg> m_globals;
};
