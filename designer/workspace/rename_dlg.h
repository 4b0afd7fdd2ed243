#pragma once
// CVTND_RenameDlg: renames one project object. It shows the object's kind and current name, takes a new one and lets
// the world rename the object when no other object of the kind bears that name; a rename is announced to every tool
// window. Ends with 1 when renamed or left unchanged; 0 when cancelled, for kinds it does not rename, and for sounds,
// resources and properties.
#include <cstdint>
#include <optional>
#include <string>

#include "designer/app/project_object.h"
#include "platform/ui/dialog/dialog.h"

class CVTND_RenameDlg : public pf::Dialog {
public:
    CVTND_RenameDlg(CVTND_Object target, pf::Window* parent);

    void SetName(std::optional<std::string> name); // the proposed name; the dialog takes the object's when it opens
    const std::optional<std::string>& Name() const { return m_name; }
    int32_t Run(); // modally, over the parent given at construction

protected:
    bool onInitDialog() override;
    void onOK() override;
    void onCancel() override { endDialog(0); }

private:
    bool TakeCurrentName(); // false: a kind without a row
    bool RenameInWorld(const std::string& oldName, const std::string& newName);

    CVTND_Object m_target;
    pf::Window* m_parent; // the caller's, outliving the modal run
    std::optional<std::string> m_name;
    std::optional<std::string> m_newName;
};

// The kind label's string id for a target type id, or 0 for a type the dialog does not rename.
uint32_t RenameKindText(uint16_t type);
