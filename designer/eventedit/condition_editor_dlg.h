#pragma once
// CVTND_ActionConditionDlg: the editor of a condition test (kind 25): the property tested, what it is compared with
// (another property or a constant), the comparison, whether it fires when the comparison becomes true or whenever
// it is true, and the two lists of actions run when it is true and when it is false, which take drops. OK writes the
// fields; an entry that cannot be used leaves its field as it was, without a message.
//
// The "changes only" comparison (mask 16) never passes the runtime's test, so its radio is offered to no new
// condition: it stays disabled, shows a stored mask 16, and OK with it checked keeps the mask as stored.
#include <cstdint>
#include <optional>
#include <string_view>

#include "designer/workspace/modeless_editor.h"

class CVTND_ActionConditionDlg : public CVTND_ActionEditorDlg {
public:
    static constexpr int32_t kIdd = 189;
    static constexpr int32_t kIdTested = 1151;
    static constexpr int32_t kIdCompareWith = 1152;
    static constexpr int32_t kIdEqual = 1160;
    static constexpr int32_t kIdNotEqual = 1161;
    static constexpr int32_t kIdGreater = 1153;
    static constexpr int32_t kIdLess = 1154;
    static constexpr int32_t kIdGreaterOrEqual = 1155;
    static constexpr int32_t kIdLessOrEqual = 1156;
    static constexpr int32_t kIdChangesOnly = 1157;
    static constexpr int32_t kIdBecomes = 1168;
    static constexpr int32_t kIdWhenever = 1169;
    static constexpr int32_t kIdTrueList = 1162;
    static constexpr int32_t kIdFalseList = 1166;
    static constexpr int32_t kIdRemove = 1163;
    static constexpr int32_t kIdParameters = 1164;
    static constexpr int32_t kIdDetails = 1165;
    static constexpr size_t kMaxTextBytes = 260;
    using CVTND_ActionEditorDlg::CVTND_ActionEditorDlg;

    // The compare-with text as a number: digits and at most one point, after at most one sign; "" is 0. Nullopt: not
    // one whole number ("5-", "1-2", a lone sign or point), or none a float holds.
    static std::optional<float> ParseConstant(std::string_view text);

protected:
    bool onInitDialog() override;
    // The property to test is empty or names one; the compare-with text names one or is a number. Else an error
    // (naming what is missing) and the field shows what is stored.
    bool Validate() override;
    void Apply() override;
    void OnNotify(const CVTND_Event& event) override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void ShowOperands();
    void ShowMask(uint8_t mask);
    void PrepareBranchList(int32_t id, bool trueBranch);
    void RefreshLists();
};
