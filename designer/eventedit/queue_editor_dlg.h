#pragma once
// CVTND_ActionSequenceActionsDlg: the editor of a queue action (kind 30). Its list shows the actions whose queue
// link names the queue, with "B" beside each one that blocks the queue until it has finished; actions dropped on the
// list join the queue. The blocking box writes at once; the loop box is stored whenever the editor closes, by Close
// or by Cancel alike.
#include <cstdint>

#include "designer/workspace/modeless_editor.h"

class CVTND_ActionSequenceActionsDlg : public CVTND_ActionEditorDlg {
public:
    static constexpr int32_t kIdd = 207;
    static constexpr int32_t kIdList = 1001;
    static constexpr int32_t kIdBlocking = 1187;
    static constexpr int32_t kIdLoop = 1188;
    static constexpr int32_t kIdRemove = 1163;
    static constexpr int32_t kIdDetails = 1165;
    static constexpr int32_t kIdParameters = 1208;
    using CVTND_ActionEditorDlg::CVTND_ActionEditorDlg;

protected:
    bool onInitDialog() override;
    void Apply() override;
    void onCancel() override; // stores the loop box as Close does
    void OnSelectedActionForgotten() override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Refill();
    void ShowBlocking(); // the second column of every item from its action's wait flag
    void OnBlocking();
    void ClearBlockingBox();
};
