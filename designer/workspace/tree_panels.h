#pragma once
// The tree panels besides the scene graph: the action kinds by category, and the world's resources that no other
// panel lists (materials, textures, tooltips and loaded worlds) under one heading each.
#include "designer/workspace/panel_dlg.h"

// The catalogue's categories with their listed kinds, in the catalogue's order; a kind is dragged as a palette
// object of type 20 whose object is the catalogue's kind.
class CVTND_ActionsDlg final : public CVTND_TreePanelDlg {
public:
    explicit CVTND_ActionsDlg(CVTNDesignerApp& app);

protected:
    void Fill(CVTND_ExtendedWorld& world) override;
    void OnObjectEvent(const CVTND_Event& event) override;
    bool IsDraggable(const CVTND_Object& object) const override;
    void OnDoubleClick(const CVTND_Object& object) override { (void)object; } // a kind has no editor
};

// Materials and loaded worlds are dragged (types 6 and 7); textures and tooltips have no content kind a receptor
// could take, so they are not. A double click opens any of the four's editor.
class CVTND_ResourcesDlg final : public CVTND_TreePanelDlg {
public:
    explicit CVTND_ResourcesDlg(CVTNDesignerApp& app);

protected:
    void Fill(CVTND_ExtendedWorld& world) override;
    void OnObjectEvent(const CVTND_Event& event) override;
    bool IsDraggable(const CVTND_Object& object) const override;
    static bool Lists(const CVTND_Object& object);
};
