#pragma once
// CVTND_PropertiesDlg: the variables of the object the application names for the properties panel (the world's
// root at start), with name, type and current value. Add, Cast and Edit run the registered add-property dialog;
// a drag of a variable records its owner for the field that takes the drop.
#include "designer/app/registry.h"
#include "designer/workspace/panel_dlg.h"

class SWproperties2;
class SWproperty;

class CVTND_PropertiesDlg final : public CVTND_ListPanelDlg {
public:
    explicit CVTND_PropertiesDlg(CVTNDesignerApp& app);

    // The variables of object: a node's, an event's, a sound's or a Java class entry's; null for other types.
    static SWproperties2* VariablesOf(CVTND_ExtendedWorld& world, const CVTND_Object& object);
    static bool CanAddTo(const CVTND_Object& object); // types 1, 2, 3, 4, 8, 14, 17, 18 and 25
    static std::string TypeName(uint32_t type);

    // Each runs the dialog modally and refills; false when it did not run (the rule or the selection refused, or
    // no dialog is registered).
    bool AddProperty();
    bool CastProperty();
    bool EditProperty(); // broadcasts the change afterwards
    SWproperty* SelectedProperty() const { return static_cast<SWproperty*>(SelectedObject()); }

protected:
    void Fill(CVTND_ExtendedWorld& world) override;
    void OnObjectEvent(const CVTND_Event& event) override;
    void OnNotifyRecord(const pf::NMHDR& header, pf::LParam record) override;
    void OnCommand(int32_t id) override;
    void Layout(const pf::Rect& client) override;
    std::vector<Column> Columns() const override { return {{"Name", 110}, {"Type", 60}, {"Value", 120}}; }
    std::string ItemText(void* object, int32_t column) const override;

private:
    bool RunDialog(const CVTND_Object& owner, SWproperty* property, PropertyDialogMode mode);
    CVTND_Object FirstSelected() const; // the selection's first object, else the shown object
};
