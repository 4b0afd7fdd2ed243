#pragma once
// CVTND_DetailsTooltipDlg: the details editor of a designer tooltip (kind 11). Every field but the name is written
// into the tooltip at once and the tooltip, shown in the 3D view while the editor is open, is rendered again: each
// change posts a render request (WM_USER+3) that renders once when handled, so a fast typist gets one render per
// character. The name changes on OK only. A tooltip an added scene file brought has no text of its own: the editor
// opens nothing for it.
#include <cstdint>
#include <optional>
#include <string>

#include "designer/workspace/modeless_editor.h"

class CVTN_ToolTip;
class VTND_ToolTip;

class CVTND_DetailsTooltipDlg : public CVTND_ModelessEditorDlg {
public:
    static constexpr int32_t kIdd = 457;
    static constexpr uint32_t kMsgRender = 0x400 + 3; // WM_USER+3

    CVTND_DetailsTooltipDlg(VTND_ToolTip* tooltip, CVTND_EditDialog* record);

    VTND_ToolTip* Tooltip() const { return m_tooltip; }
    uint32_t RenderCount() const { return m_renders; }

protected:
    bool onInitDialog() override;
    bool Validate() override;
    void Apply() override;
    void OnNotify(const CVTND_Event& event) override;
    void OnClosing() override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void RequestRender() { post(kMsgRender); }
    void Render();
    void OnEditChanged(int32_t id);
    void OnClicked(int32_t id);
    void OnScroll(int32_t code, int32_t trackPos, pf::Window* bar);
    void ChooseColour(int32_t button);
    void ChooseFont();
    void SetAtCursor(bool atCursor);
    void AddNode(SWnode* node);
    void PickNodes(); // the multiple picker of hot spots and mesh nodes
    // The field's number when it is one it takes; otherwise nullopt, and a refused text gives way to StoredText.
    std::optional<double> TakeTyped(int32_t id);
    std::string StoredText(int32_t id) const; // what the field shows of the tooltip

    VTND_ToolTip* m_tooltip;                  // the world's
    std::optional<std::string> m_renamedFrom; // set by a rename that Apply announces
    uint32_t m_renders = 0;
    bool m_updating = false; // set while the editor writes its own fields
};
