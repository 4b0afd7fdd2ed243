#pragma once
// CVTND_SynchronizeDlg: the modal dialog that sets, per added scene file, what is taken over again from it, and
// reloads the checked files into the world. An option click inverts that option of every file when the project
// applies options to all (check box 1194, which turns that on and off), else of the selected file only. The dialog
// stays open after a reload; reports of damaged resources read again are shown once the reload is over.
#include <array>
#include <cstdint>

#include "platform/ui/dialog/dialog.h"

class CVTND_Project;
class CVTN_SubWorld;

class CVTND_SynchronizeDlg : public pf::Dialog {
public:
    static constexpr int32_t kIdd = 496;
    // The check boxes of the nine options, in the entry's option order.
    static constexpr std::array<int32_t, 9> kOptionBoxes = {1193, 1191, 1188, 1187, 1426, 1189, 1195, 1428, 1196};

    explicit CVTND_SynchronizeDlg(CVTND_Project& project) : m_project(project) {}

protected:
    bool onInitDialog() override;
    pf::LResult handle(const pf::Msg& msg) override;
    void onOK() override; // synchronise now; the dialog stays open

private:
    CVTN_SubWorld* SelectedEntry() const;
    void ShowOptions();
    void OptionClicked(size_t option);

    CVTND_Project& m_project; // outlives the modal run
};
