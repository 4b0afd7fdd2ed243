#pragma once
// CVTND_ActionStopControllerDlg: the editor of a stop-controller action (kind 46). The available list offers the
// timed actions of every event that name the same nodes as the stop action, "event.kind" each once; the user moves
// entries to the interrupt list and back. Close replaces the stop list by the interrupt list, unless that list is
// empty, when the stop list stays as it was. The two flag boxes write at once, Cancel or not.
#include <cstdint>

#include "designer/workspace/modeless_editor.h"

class CVTND_ActionStopControllerDlg : public CVTND_ActionEditorDlg {
public:
    static constexpr int32_t kIdd = 424;
    static constexpr int32_t kIdAvailable = 1000;
    static constexpr int32_t kIdInterrupt = 1002;
    static constexpr int32_t kIdToInterrupt = 1164; // "-->"
    static constexpr int32_t kIdToAvailable = 1165; // "<--"
    static constexpr int32_t kIdStopAll = 1187;
    static constexpr int32_t kIdChildren = 1193;
    using CVTND_ActionEditorDlg::CVTND_ActionEditorDlg;

protected:
    bool onInitDialog() override;
    void Apply() override;
    void OnNotify(const CVTND_Event& event) override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void FillLists();
    void MoveSelected(int32_t fromId, int32_t toId);
};
