#include "designer/eventedit/condition_editor_dlg.h"

#include <charconv>
#include <cmath>
#include <string>

#include "designer/app/designer_app.h"
#include "designer/app/notification.h"
#include "designer/app/world_write_lock.h"
#include "designer/editing/actions_receptor.h"
#include "designer/editing/display_names.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/picker_receptors.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/number_text.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/expression.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/providers/providers.h"

namespace {

const CVTND_EditorRegistration kConditionEditor(ObjectType::kAction, 25, &MakeActionEditor<CVTND_ActionConditionDlg>);

// The radios in the order OK reads them, a later checked one winning, with the mask each stands for.
constexpr struct {
    int32_t id;
    uint8_t mask;
} kMaskRadios[] = {{CVTND_ActionConditionDlg::kIdEqual, 1},          {CVTND_ActionConditionDlg::kIdNotEqual, 2},
                   {CVTND_ActionConditionDlg::kIdGreater, 4},        {CVTND_ActionConditionDlg::kIdLess, 8},
                   {CVTND_ActionConditionDlg::kIdGreaterOrEqual, 5}, {CVTND_ActionConditionDlg::kIdLessOrEqual, 9},
                   {CVTND_ActionConditionDlg::kIdChangesOnly, 16}};

// A text with each "%s" replaced by the next of names.
std::string Filled(std::string text, std::initializer_list<std::string_view> names)
{
    size_t at = 0;
    for (const std::string_view name : names) {
        at = text.find("%s", at);
        if (at == std::string::npos)
            break;
        text.replace(at, 2, name);
        at += name.size();
    }
    return text;
}

} // namespace

std::optional<float> CVTND_ActionConditionDlg::ParseConstant(std::string_view text)
{
    if (text.empty())
        return 0.0f;
    const size_t start = text[0] == '+' || text[0] == '-' ? 1 : 0;
    // Read in part, "5-" was 5, "1-2" 1, and a lone sign or point 0: a constant nobody typed.
    const std::string_view digits = text.substr(start);
    if (digits.empty() || digits == "." || digits.find_first_not_of("0123456789.") != std::string_view::npos ||
        digits.find('.') != digits.rfind('.'))
        return std::nullopt;
    float value = 0.0f;
    const auto result = std::from_chars(text.data() + (text[0] == '+' ? 1 : 0), text.data() + text.size(), value);
    // Beyond a float, or not read whole: no value the test could compare with.
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool CVTND_ActionConditionDlg::onInitDialog()
{
    const auto* condition = dynamic_cast<const SWconditionaction*>(Action());
    if (condition == nullptr)
        return true;
    item<pf::Button>(kIdBecomes)->setCheck(condition->settings.changedOnly != 0 ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    item<pf::Button>(kIdWhenever)->setCheck(condition->settings.changedOnly != 0 ? pf::BST_UNCHECKED : pf::BST_CHECKED);
    ShowOperands();
    ShowMask(condition->settings.mask);
    child(kIdChangesOnly)->enable(false);
    for (const int32_t id : {kIdTested, kIdCompareWith}) {
        pf::Window* field = child(id);
        if (field == nullptr)
            continue;
        auto receptor = std::make_unique<PropertyControlReceptor>(field); // the field shows the reference
        receptor->AddOwner(field);
        AddReceptor(std::move(receptor));
    }
    PrepareBranchList(kIdTrueList, true);
    PrepareBranchList(kIdFalseList, false);
    RefreshLists();
    SetSelectionButtons({kIdRemove, kIdParameters, kIdDetails});
    EnableSelectionButtons(false);
    if (pf::Window* tested = child(kIdTested))
        pf::ui().setFocus(tested->hwnd());
    return false;
}

void CVTND_ActionConditionDlg::ShowOperands()
{
    const auto* condition = dynamic_cast<const SWconditionaction*>(Action());
    const SWworld* world = World();
    if (condition == nullptr || world == nullptr)
        return;
    pf::Window* tested = child(kIdTested);
    pf::Window* compareWith = child(kIdCompareWith);
    if (tested == nullptr || compareWith == nullptr)
        return; // the workspace's field classes are not registered: a tool without the workspace
    if (const SWproperty* first = condition->GetOperand1())
        tested->setText(world->GetQualifiedName(*first).value_or(std::string()));
    if (const SWproperty* second = condition->GetOperand2())
        compareWith->setText(world->GetQualifiedName(*second).value_or(std::string()));
    if (condition->settings.constant)
        compareWith->setText(FormatNumberPlain(*condition->settings.constant)); // "1.23457e+06" read back refused
}

void CVTND_ActionConditionDlg::ShowMask(uint8_t mask)
{
    for (const auto& radio : kMaskRadios)
        item<pf::Button>(radio.id)->setCheck(pf::BST_UNCHECKED);
    int32_t shown = 0;
    if (mask == 1)
        shown = kIdEqual;
    else if (mask == 2)
        shown = kIdNotEqual;
    else if ((mask & 4) != 0)
        shown = (mask & 1) != 0 ? kIdGreaterOrEqual : kIdGreater;
    else if ((mask & 8) != 0)
        shown = (mask & 1) != 0 ? kIdLessOrEqual : kIdLess;
    else if ((mask & 16) != 0)
        shown = kIdChangesOnly;
    if (shown != 0)
        item<pf::Button>(shown)->setCheck(pf::BST_CHECKED);
}

void CVTND_ActionConditionDlg::PrepareBranchList(int32_t id, bool trueBranch)
{
    auto* list = item<pf::ListView>(id);
    PrepareActionList(*list);
    auto receptor = std::make_unique<ActionsControlReceptor>(list, Action()->GetEvent());
    (trueBranch ? receptor->conditionTrueTarget : receptor->conditionFalseTarget) = Action();
    receptor->AddOwner(list);
    AddReceptor(std::move(receptor));
}

void CVTND_ActionConditionDlg::RefreshLists()
{
    FillFollowerActionList(*Action(), true, false, *item<pf::ListView>(kIdTrueList));
    FillFollowerActionList(*Action(), false, true, *item<pf::ListView>(kIdFalseList));
}

bool CVTND_ActionConditionDlg::Validate()
{
    const auto* condition = dynamic_cast<const SWconditionaction*>(Action());
    pf::Window* field = child(kIdCompareWith);
    if (condition == nullptr || field == nullptr || child(kIdTested) == nullptr)
        return true;
    // A property to test that names nothing was dropped without a word, and OK closed the editor as if it were taken.
    const std::string testedText = FieldText(child(kIdTested), kMaxTextBytes);
    int testedCode = SWexpression::kCodeOk;
    if (!testedText.empty() && (SWexpression::ResolveVariableReference(World(), testedText, testedCode) == nullptr ||
                                testedCode != SWexpression::kCodeOk)) {
        std::string_view object = std::string_view(testedText).substr(0, testedText.find('.'));
        object = object.substr(object.find(':') == std::string_view::npos ? 0 : object.find(':') + 1);
        const std::string_view property = std::string_view(testedText).substr(testedText.find('.') + 1);
        const std::string said = testedCode == SWexpression::kCodeObjectNotFound
                                     ? Filled(EditorTextOf(kIdsTestedNoObject), {object})
                                 : testedCode == SWexpression::kCodeVariableNotFound
                                     ? Filled(EditorTextOf(kIdsTestedNoProperty), {object, property})
                                     : EditorTextOf(kIdsTestedNotObject);
        pf::messageBox(hwnd(), said, EditorTextOf(kIdsEditorErrorCaption), pf::MB_OK | pf::MB_ICONHAND);
        gotoControl(child(kIdTested));
        return false;
    }
    const std::string text = FieldText(field, kMaxTextBytes);
    int code = SWexpression::kCodeOk;
    const SWproperty* compared = SWexpression::ResolveVariableReference(World(), text, code);
    const std::optional<float> constant = ParseConstant(text);
    // A text that is neither was once dropped without a word, and an empty one read as 0.
    const bool nothingStored = condition->GetOperand2() == nullptr && !condition->settings.constant;
    if ((compared != nullptr && code == SWexpression::kCodeOk) ||
        (constant && !text.empty() && std::isfinite(*constant)) || (text.empty() && nothingStored))
        return true;
    field->setText("");
    ShowOperands();
    ShowError(kIdsValidCompareValue); // a value, not a time
    return false;
}

void CVTND_ActionConditionDlg::Apply()
{
    auto* condition = dynamic_cast<SWconditionaction*>(Action());
    SWworld* world = World();
    if (condition == nullptr || child(kIdTested) == nullptr || child(kIdCompareWith) == nullptr)
        return;
    int code = SWexpression::kCodeOk;
    SWproperty* tested =
        SWexpression::ResolveVariableReference(world, FieldText(child(kIdTested), kMaxTextBytes), code);
    const bool testedResolved = tested != nullptr && code == SWexpression::kCodeOk;
    const std::string compareText = FieldText(child(kIdCompareWith), kMaxTextBytes);
    SWproperty* compared = SWexpression::ResolveVariableReference(world, compareText, code);
    const int compareCode = compared != nullptr ? code : (code == SWexpression::kCodeOk ? -1 : code);
    CVTND_WorldWriteLock lock(world);
    if (testedResolved)
        condition->SetOperand1(tested);
    if (compared != nullptr && compareCode == SWexpression::kCodeOk) {
        condition->SetOperand2(compared);
        condition->settings.constant.reset();
    } else if (compareCode != SWexpression::kCodeBadPrefix && compareCode != SWexpression::kCodeVariableNotFound) {
        if (const std::optional<float> constant = ParseConstant(compareText)) {
            condition->settings.constant = *constant;
            condition->SetOperand2(nullptr);
        }
    }
    uint8_t mask = condition->settings.mask;
    for (const auto& radio : kMaskRadios) {
        // A stored "changes only" passes through unchanged: its radio offers nothing new.
        if (radio.id != kIdChangesOnly && item<pf::Button>(radio.id)->getCheck() == pf::BST_CHECKED)
            mask = radio.mask;
    }
    condition->settings.mask = mask;
    condition->settings.changedOnly = item<pf::Button>(kIdBecomes)->getCheck() == pf::BST_CHECKED ? 1 : 0;
}

void CVTND_ActionConditionDlg::OnNotify(const CVTND_Event& event)
{
    const auto* condition = dynamic_cast<const SWconditionaction*>(Action());
    if (condition == nullptr || child(kIdTested) == nullptr || child(kIdCompareWith) == nullptr)
        return;
    // The operands are shown by name: a node renamed while the editor is open would leave OK resolving, or
    // refusing, the old one.
    if (event.Is(EventCode::kRenamed) && event.subject.IsNodeType() && event.firstText && event.secondText) {
        for (const int32_t id : {kIdTested, kIdCompareWith})
            if (const auto text =
                    SWexpression::RenameObjectInText(child(id)->getText(), "NODE", *event.firstText, *event.secondText))
                child(id)->setText(*text);
        return;
    }
    if (!event.Is(EventCode::kDeleted) || !event.subject.IsType(ObjectType::kProperty))
        return;
    // The property still lives while its notice goes round: an operand that is that property goes with it.
    const void* going = event.subject.GetObject();
    if (condition->GetOperand1() == nullptr || condition->GetOperand1() == going)
        child(kIdTested)->setText("");
    if (condition->GetOperand2() == nullptr || condition->GetOperand2() == going)
        child(kIdCompareWith)->setText("");
}

pf::LResult CVTND_ActionConditionDlg::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_NOTIFY) {
        const auto* header = pf::notifyRecord<pf::NMHDR>(msg.lParam);
        auto* list = header != nullptr ? dynamic_cast<pf::ListView*>(pf::ui().window(header->hwndFrom)) : nullptr;
        if (list != nullptr && (list->id() == kIdTrueList || list->id() == kIdFalseList)) {
            if (header->code == pf::LVN_ITEMCHANGED)
                OnActionItemChanged(*list, pf::notifyRecord<pf::NMLISTVIEW>(msg.lParam),
                                    {kIdRemove, kIdParameters, kIdDetails});
            else if (header->code == pf::LVN_BEGINDRAG)
                DragActionOut(*list, pf::notifyRecord<pf::NMLISTVIEW>(msg.lParam)->iItem, true);
        }
    } else if (msg.message == pf::WM_COMMAND && pf::hiWord(msg.wParam) == pf::BN_CLICKED) {
        const int32_t id = pf::loWord(msg.wParam);
        bool acted = false;
        if (id == kIdRemove)
            acted = SelectedAction() != nullptr && RemoveSelectedAction();
        else if (id == kIdDetails)
            acted = SelectedAction() != nullptr && OpenSelectedDetails();
        else if (id == kIdParameters)
            acted = PickSelectedTargets();
        if (id == kIdRemove || id == kIdDetails || id == kIdParameters) {
            if (acted) {
                if (CEditorEngine* engine = Engine())
                    engine->RefreshActionReceptors();
                if (CVTNDesignerApp* app = App())
                    app->RedrawEventMaps();
            }
            return 0;
        }
    }
    return CVTND_ActionEditorDlg::handle(msg);
}
