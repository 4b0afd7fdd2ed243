#pragma once
// CVTND_ActionBackgroundDlg: the editor of a set-background action (kind 19). A combo box chooses the kind of
// background, whose colour-effect page edits the action in place; Test shows it on the running world. Everything is
// written as it is edited, so OK and Cancel only close; closing takes back what Test showed (the background-test
// guard), since the editor never commits a background to the world.
#include <cstdint>
#include <memory>

#include "designer/eventedit/background_test_guard.h"
#include "designer/eventedit/color_effect_pages.h"
#include "designer/workspace/modeless_editor.h"

class SWbackgroundaction;

class CVTND_ActionBackgroundDlg : public CVTND_ActionEditorDlg {
public:
    static constexpr int32_t kIdd = 510;
    static constexpr int32_t kIdKind = 1002;
    static constexpr int32_t kIdTest = 1164;

    CVTND_ActionBackgroundDlg(SWactionnode* action, CVTND_EditDialog* record);
    ~CVTND_ActionBackgroundDlg() override;

    void ShowPage(int32_t index);
    int32_t PageIndex() const { return m_pageIndex; }
    CVTND_ColorEffectPage* Page() const { return m_page.get(); }
    void OnTest();

protected:
    bool onInitDialog() override;
    void OnNotify(const CVTND_Event& event) override;
    void OnClosing() override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    SWbackgroundaction* Background() const;

    int32_t m_pageIndex = 0;
    std::unique_ptr<CVTND_ColorEffectPage> m_page; // its window is a child of ours
    std::unique_ptr<CVTND_BackgroundTestGuard> m_guard;
};
