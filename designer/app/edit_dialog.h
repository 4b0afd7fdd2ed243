#pragma once
// CVTND_EditDialog: the record of one open editor in the application's open-editor list. The list owns the record
// (CVTNDesignerApp::EditObject makes it, UnregisterEditDialog deletes it); the record owns neither the object nor
// the dialog. At most one record exists per (kind, object), and one per kind for kinds 24 and 26.
#include <cstdint>

namespace pf {
class Window;
}

class CVTND_EditDialog {
public:
    CVTND_EditDialog() = default;
    virtual ~CVTND_EditDialog() = default;

    uint16_t kind = 0;            // the CVTND_Object type id of the edited object
    void* object = nullptr;       // the world owns it; null while a new object is not made yet
    pf::Window* dialog = nullptr; // the editor deletes itself after its window is gone
    bool onlyItsAction = false;   // an action editor that changes nothing but its action (CVTND_EditorReach)
};
