#pragma once
// CVTND_JavaDlg: the world's Java class entries, each with the methods its class file declares; a method is dragged
// as a palette object of type 21 whose object is the panel's method item. A class file that cannot be read leaves
// its class without methods and says why in the status bar, until the entry goes (its scene file removed, say).
#include <memory>
#include <string>
#include <vector>

#include "designer/editing/editor_objects.h"
#include "designer/workspace/panel_dlg.h"

class SWjavaclassnode;

// A method as the Java panel lists it: alive while the panel lists it. A drag carries its method record, the
// method's name with its class entry, which holds the class file's path.
struct CVTND_JavaMethodItem {
    CVTND_JavaMethod method;
    std::string descriptor;
    std::string classPath; // the class file the method was read from
};

class CVTND_JavaDlg final : public CVTND_TreePanelDlg {
public:
    explicit CVTND_JavaDlg(CVTNDesignerApp& app);
    void Empty() override;
    const std::string& LastNote() const { return m_note; } // the last status-bar note; empty when none

protected:
    void Fill(CVTND_ExtendedWorld& world) override;
    void OnObjectEvent(const CVTND_Event& event) override;
    bool IsDraggable(const CVTND_Object& object) const override;

private:
    void AddEntry(SWjavaclassnode* entry);
    void TakeNoteBack(); // the bar shows again what it showed before the note, unless something else replaced it

    std::vector<std::unique_ptr<CVTND_JavaMethodItem>> m_methods;
    std::string m_note;
    std::string m_noteBefore;                 // what the bar showed when the note came
    const SWjavaclassnode* m_noted = nullptr; // the entry the note is about; compared, never followed
};
