#pragma once
// CVTND_RemoveVTNFilesDlg: the modal dialog that removes checked scene files from the project, with every object
// each one brought into the world, after the user confirms. Also the tree of added files both scene-file dialogs
// show: one root item per entry with a file name, in list order, its item data the entry.
#include <cstdint>

#include "platform/ui/dialog/dialog.h"

namespace pf {
class TreeView;
}
class CVTND_Project;

class CVTND_RemoveVTNFilesDlg : public pf::Dialog {
public:
    static constexpr int32_t kIdd = 517;

    explicit CVTND_RemoveVTNFilesDlg(CVTND_Project& project) : m_project(project) {}

protected:
    bool onInitDialog() override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void RemoveChecked();

    CVTND_Project& m_project; // outlives the modal run
};

// Empties tree and lists project's added files with a file name; the first entry's item is selected when it has
// one. Items show the editor images' scene-file icon when there are editor images.
void FillSceneFileTree(pf::TreeView& tree, CVTND_Project& project);
