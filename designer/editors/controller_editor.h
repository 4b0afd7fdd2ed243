#pragma once
// CVTND_ActionControllerDlg: the one editor of controller actions (kinds 41-44, 47, 50-53 and 59-61). A host for
// what every controller shares (duration, loop or repeat, oscillation, coordinate frame and reference node, the
// preview slider) that embeds one motion page chosen by the kind of the action's motion. Every control writes
// through to the motion at once, under the world's lock; Close is both OK and Cancel. While it is open the slider
// poses the target nodes at the chosen moment, and the node-matrix snapshot puts the nodes back when the host loses
// and regains activation and after it has closed.
//
// Kinds 52, 59 and 61 have no motion: the host opens with no page and its motion controls disabled.
#include <array>
#include <cstdint>
#include <memory>

#include "designer/editors/motion_list.h"
#include "designer/editors/node_matrix_snapshot.h"
#include "designer/workspace/modeless_editor.h"

class CVTND_ControllerPage;
class SWnode;
class SWnodemotion;

inline constexpr uint32_t kMsgPoseAt = pf::WM_USER + 60;         // host to page: lParam a const float* time (ms)
inline constexpr uint32_t kMsgHostActivated = pf::WM_USER + 124; // host to page: wParam the active flag

class CVTND_ActionControllerDlg : public CVTND_ModelessEditorDlg {
public:
    static constexpr int32_t kIdd = 381;
    static constexpr int32_t kPageSlots = 10;
    static constexpr int32_t kSliderRange = 1000;

    CVTND_ActionControllerDlg(SWactionnode* action, CVTND_EditDialog* record);
    ~CVTND_ActionControllerDlg() override;

    SWactionnode* Action() const { return m_action; }
    SWnodemotion* Motion() const; // null for the kinds without one
    void SelectControllerPage();
    void ShowControllerPage(int32_t slot); // slot 4 and slots past 9 show nothing
    CVTND_ControllerPage* CurrentPage() const { return m_current; }
    int32_t PageIndex() const { return m_pageIndex; }
    pf::Window* ControllerPageControlId(int32_t index) const; // the 14 host controls the pages move; null otherwise
    void UpdateControllerPreview(bool skipPose);
    float PreviewTime() const; // duration x slider position / 1000
    void Grow(int32_t pixels); // a page's growth: the host's height and the 14 controls
    void Broadcast();          // code 4, detail 1, with the host as sender
    TKObjectModifierDialog& Snapshot() { return m_snapshot; }
    CVTND_MotionList& MotionList() { return m_motionList; }
    // The key-frame pages' choice, rebuilt each time one opens: the entry of the motion list the motion plays and
    // the largest frame its bars allow.
    CVTND_MotionListNode* selectedEntry = nullptr; // one of MotionList's
    int32_t frameLimit = 0;

protected:
    bool onInitDialog() override;
    pf::LResult handle(const pf::Msg& msg) override;
    void onOK() override { DestroyWindow(); } // write-through: Close keeps what was written
    void OnNotify(const CVTND_Event& event) override;
    void OnClosing() override;
    void postNcDestroy() override;

private:
    bool OnCommand(int32_t id, int32_t code);
    void OnFrameChanged();
    void ShowReference(bool show);
    void ShowReferenceName();
    void ResolveReference();
    void OnNodeDropped(SWnode* node);
    void DisableMotionControls();
    void PoseNodes(float t);
    void WriteOptionFlags(uint32_t flags);
    void FillFrameCombo();
    int32_t SelectedFrame() const;

    SWactionnode* m_action; // the event's; the editor closes when it is announced deleted
    int32_t m_pageIndex = -1;
    std::array<std::unique_ptr<CVTND_ControllerPage>, kPageSlots> m_pages;
    CVTND_ControllerPage* m_current = nullptr; // one of m_pages
    TKObjectModifierDialog m_snapshot;
    CVTND_MotionList m_motionList;
    double m_cachedDuration = 0.0;
    bool m_updating = false; // while the host writes its own fields
    SWworld* m_world;        // the designer's; outlives the editor
};

// What a motion page shares: it finds its host when it opens, places itself and grows the host, and hears the
// host's pose requests, activation changes and notifications.
class CVTND_ControllerPage : public pf::Dialog {
public:
    CVTND_ControllerPage(int32_t idd, int32_t growth) : m_idd(idd), m_growth(growth) {}
    int32_t Idd() const { return m_idd; }
    int32_t Growth() const { return m_growth; }
    bool Show(CVTND_ActionControllerDlg& host); // the window, placed, the host grown
    CVTND_ActionControllerDlg* Host() const { return m_host; }

protected:
    bool onInitDialog() override;
    pf::LResult handle(const pf::Msg& msg) override;
    void onOK() override {}
    void onCancel() override {}
    virtual void Open() {}                    // the page's own opening, after its placement
    virtual void PoseAt(float t) { (void)t; } // WM_USER+60
    virtual void HostActivated(bool active) { (void)active; }
    virtual void Notify(const CVTND_Event& event) { (void)event; }
    virtual bool Command(int32_t id, int32_t code) { return (void)id, (void)code, false; }
    SWnodemotion* Motion() const { return m_host != nullptr ? m_host->Motion() : nullptr; }

private:
    int32_t m_idd;
    int32_t m_growth;
    CVTND_ActionControllerDlg* m_host = nullptr; // the parent, which outlives the page's window
};
