#include "designer/eventedit/text_action_editors.h"

#include <string>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/notification.h"
#include "designer/app/world_write_lock.h"
#include "designer/editing/picker_receptors.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/property_drag_source.h"
#include "designer/workspace/property_field.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/expression.h"
#include "engine/core/data_node.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/providers/providers.h"

namespace {

const CVTND_EditorRegistration kLoadUrl(ObjectType::kAction, 10, &MakeActionEditor<CVTND_ActionLoadUrlDlg>);
const CVTND_EditorRegistration kLoadFile(ObjectType::kAction, 20, &MakeActionEditor<CVTND_ActionLoadVTNDlg>);
const CVTND_EditorRegistration kSendMessage(ObjectType::kAction, 40,
                                            &MakeActionEditor<CVTND_ActionSendMessageToHostDlg>);

} // namespace

const char* ArgumentText(const SWactionnode& action, size_t index)
{
    const SWlistnode* n = action.GetArguments().Head();
    for (size_t i = 0; n != nullptr && i < index; ++i)
        n = n->Next();
    return n != nullptr ? static_cast<const SWdatanode*>(n)->GetText() : nullptr;
}

void ReplaceTextArguments(SWactionnode& action, const std::vector<std::string>& texts)
{
    CVTND_WorldWriteLock lock(action.GetWorld());
    action.GetArguments().DeleteAll();
    for (const std::string& text : texts)
        action.AddArgument(text.c_str(), SWdatanode::kString, true);
}

// -- Load URL and load object file

CVTND_ActionTextArgumentsDlg::CVTND_ActionTextArgumentsDlg(SWactionnode* action, CVTND_EditDialog* record,
                                                           int32_t fields)
    : CVTND_ActionEditorDlg(action, record), m_fields(fields)
{
}

bool CVTND_ActionTextArgumentsDlg::onInitDialog()
{
    const int32_t ids[] = {kIdFirst, kIdSecond};
    for (int32_t i = 0; i < m_fields; ++i) {
        if (const char* text = ArgumentText(*Action(), static_cast<size_t>(i)))
            child(ids[i])->setText(text);
    }
    return true;
}

void CVTND_ActionTextArgumentsDlg::Apply()
{
    std::vector<std::string> texts{FieldText(child(kIdFirst), kMaxTextBytes)};
    if (m_fields > 1)
        texts.push_back(FieldText(child(kIdSecond), kMaxTextBytes));
    ReplaceTextArguments(*Action(), texts);
}

// -- Send message to the host page

CVTND_ActionSendMessageToHostDlg::CVTND_ActionSendMessageToHostDlg(SWactionnode* action, CVTND_EditDialog* record)
    : CVTND_ActionEditorDlg(action, record)
{
    const auto* message = dynamic_cast<const SWhostmessageaction*>(action);
    m_openedWith = message != nullptr ? message->sendVariable : 0;
}

bool CVTND_ActionSendMessageToHostDlg::onInitDialog()
{
    auto receptor = std::make_unique<PropertyControlReceptor>(this);
    receptor->AddOwner(child(kIdText));
    AddReceptor(std::move(receptor));
    if (const char* text = ArgumentText(*Action(), 0))
        child(kIdText)->setText(text);
    item<pf::Button>(kIdIsProperty)->setCheck(m_openedWith != 0 ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    return true;
}

bool CVTND_ActionSendMessageToHostDlg::Validate()
{
    if (item<pf::Button>(kIdIsProperty)->getCheck() != pf::BST_CHECKED)
        return true;
    int code = SWexpression::kCodeOk;
    if (SWexpression::ResolveVariableReference(
            World(), FieldText(child(kIdText), CVTND_ActionTextArgumentsDlg::kMaxTextBytes), code) != nullptr)
        return true;
    return pf::messageBox(hwnd(), EditorTextOf(kIdsNoSuchProperty), EditorTextOf(kIdsWarningCaption),
                          pf::MB_YESNO | pf::MB_ICONEXCLAMATION) == pf::IDYES;
}

void CVTND_ActionSendMessageToHostDlg::Apply()
{
    const bool isProperty = item<pf::Button>(kIdIsProperty)->getCheck() == pf::BST_CHECKED;
    if (auto* message = dynamic_cast<SWhostmessageaction*>(Action())) {
        CVTND_WorldWriteLock lock(Action()->GetWorld());
        message->sendVariable = isProperty ? 1 : 0;
    }
    ReplaceTextArguments(*Action(), {FieldText(child(kIdText), CVTND_ActionTextArgumentsDlg::kMaxTextBytes)});
}

void CVTND_ActionSendMessageToHostDlg::onCancel()
{
    if (auto* message = dynamic_cast<SWhostmessageaction*>(Action())) {
        CVTND_WorldWriteLock lock(Action()->GetWorld());
        message->sendVariable = m_openedWith;
    }
    DestroyWindow();
}

pf::LResult CVTND_ActionSendMessageToHostDlg::handle(const pf::Msg& msg)
{
    if (msg.message == kMsgPropertyDropped) {
        OnPropertyDropped(reinterpret_cast<const SWproperty*>(msg.lParam));
        return 1;
    }
    return CVTND_ActionEditorDlg::handle(msg);
}

void CVTND_ActionSendMessageToHostDlg::OnNotify(const CVTND_Event& event)
{
    // OK stores the box as it reads: left naming the old node, it would undo the rename's own change of the text.
    if (!event.Is(EventCode::kRenamed) || !event.subject.IsNodeType() || !event.firstText || !event.secondText ||
        item<pf::Button>(kIdIsProperty)->getCheck() != pf::BST_CHECKED)
        return;
    const std::string text = FieldText(child(kIdText), CVTND_ActionTextArgumentsDlg::kMaxTextBytes);
    if (const auto renamed = SWexpression::RenameObjectInText(text, "NODE", *event.firstText, *event.secondText))
        child(kIdText)->setText(*renamed);
}

void CVTND_ActionSendMessageToHostDlg::OnPropertyDropped(const SWproperty* property)
{
    if (property != nullptr && item<pf::Button>(kIdIsProperty)->getCheck() == pf::BST_CHECKED) {
        // An owner of another kind has no reference the runtime could resolve: the field keeps its text.
        if (const auto reference = CVTND_PropertyField::ReferenceText(PropertyDragSource, *property))
            child(kIdText)->setText(*reference);
    }
    PropertyDragSource = CVTND_Object();
}
