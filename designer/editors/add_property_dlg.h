#pragma once
// CVTND_AddPropertyDlg: the modal dialog in which the user adds typed properties to a node or a sound, casts an
// existing property (a new one bound to it, or to one of its components), or edits a property's type and initial
// value. Its initial-value pages (CVTND_InitPropertyPage, one class for the five layouts) are child dialogs.
//
// Refusals, each with a message and nothing created: an owner without a property list (no selection, a material, a
// render layer), a cast whose list is not its source's (a binding lives inside one list), a duplicate name, a pair
// of types the cast table refuses. Editing keeps what was typed as the initial value, never writes through a
// binding, and keeps the type when no type is chosen.
#include <array>
#include <cstdint>
#include <memory>

#include "designer/app/project_object.h"
#include "designer/app/registry.h"
#include "platform/ui/dialog/dialog.h"

class SWproperties2;
class SWproperty;

// One initial-value page: template 159 (string, integer, float: one edit), 160 (boolean), 161 (vector), 162
// (quaternion) or 163 (matrix, which no type leads to).
class CVTND_InitPropertyPage : public pf::Dialog {
public:
    void ShowDefaults(uint32_t type);                     // what a new property of type starts with
    void Fill(const SWproperty& property, uint32_t type); // from its current value, as type reads it
    void Write(SWproperty& property);                     // into its current value; nothing for a bound property
    // The first number field whose text type cannot keep, 0 when every one holds a number it can; low and high get
    // the numbers that field takes.
    int32_t RefusedField(uint32_t type, double& low, double& high) const;

protected:
    void onOK() override {}
    void onCancel() override {}
};

class CVTND_AddPropertyDlg : public pf::Dialog {
public:
    static constexpr int32_t kIdd = 110;

    // owner: the object whose list takes new properties; property: the cast source or the edited property.
    CVTND_AddPropertyDlg(const CVTND_Object& owner, SWproperty* property, PropertyDialogMode mode);
    ~CVTND_AddPropertyDlg() override;

    CVTND_InitPropertyPage* PageOfType(uint32_t type) const; // null for a type without a page
    CVTND_InitPropertyPage* ShownPage() const { return m_shown; }

    // The cast table: 0 refused, 1 bound, 2 bound to a component the user chooses.
    static int CastRule(uint32_t sourceType, uint32_t newType);

protected:
    bool onInitDialog() override;
    pf::LResult handle(const pf::Msg& msg) override;
    void onOK() override; // Enter: Add, or OK in edit mode

private:
    uint32_t CheckedType() const; // 0 when no radio is checked
    void ShowPage(CVTND_InitPropertyPage* page);
    void CheckType(uint32_t type);
    void Add();
    void ApplyEdit();
    SWproperties2* OwnerList() const;
    int32_t Refuse(uint32_t textId);
    bool RefuseTyped(uint32_t type); // a number the shown page holds that type cannot keep: said, and the page reset

    CVTND_Object m_owner;
    SWproperty* m_property; // the world's: the cast source or the edited property; null to add
    PropertyDialogMode m_mode;
    std::array<std::unique_ptr<CVTND_InitPropertyPage>, 7> m_pages; // bool, matrix, quat, float, vector, int, string
    CVTND_InitPropertyPage* m_shown = nullptr;
};

// The component dialog of a cast: X, Y, Z, and W for a quaternion source. IDOK with the index in outComponent.
int32_t RunCastComponentDialog(pf::Window* owner, bool quaternion, int16_t& outComponent);
