#pragma once
// CVTND_DetailsMaterialDlg: the details editor of one material (editor kind 6), a frame holding the 128 x 128
// preview of the material on the preview sphere and, beside a scroll bar of its own (1175), the page with every
// control of the material. The page writes each change at once and posts kMsgRenderPreview, which renders the
// preview again; only the name waits for the close box (or Enter, which does the same), where a refused name keeps
// the editor open. Escape closes without renaming.
#include <cstdint>
#include <memory>

#include "designer/editors/material_child_dlg.h"
#include "designer/workspace/modeless_editor.h"

struct CVTND_EditorRequest;
class SWmaterial;

class CVTND_DetailsMaterialDlg : public CVTND_ModelessEditorDlg {
public:
    static constexpr int32_t kIdd = 500;

    explicit CVTND_DetailsMaterialDlg(const CVTND_EditorRequest& request);
    ~CVTND_DetailsMaterialDlg() override;

    CVTND_MaterialChildDlg& Page() { return m_page; }
    int32_t ScrollPosition() const { return m_scrollPos; }
    void RefreshPreview(); // the material on the sphere, rendered, copied into the preview control

protected:
    bool onInitDialog() override;
    void onOK() override; // Enter: what the close box does
    void OnNotify(const CVTND_Event& event) override;
    pf::LResult handle(const pf::Msg& msg) override;
    void showControl(pf::Window& control) override; // a control of the page reached by Tab scrolls into view

private:
    void CloseWithName();
    void Scroll(int32_t position);
    void Resized();

    SWmaterial* m_material;
    CVTND_MaterialChildDlg m_page; // a child window of the frame, destroyed with it
    int32_t m_scrollPos = 0;
    int32_t m_pageHeight = 0;
    int32_t m_clientHeight = 0;
    int32_t m_barHeight = 0;
};
