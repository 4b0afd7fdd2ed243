#include "designer/eventedit/expression_editor_dlg.h"

#include <string>
#include <string_view>

#include "designer/app/designer_app.h"
#include "designer/app/notification.h"
#include "designer/app/registry.h"
#include "designer/app/world_write_lock.h"
#include "designer/editing/picker_receptors.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/property_drag_source.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/property.h"
#include "engine/core/node.h"
#include "engine/core/world.h"
#include "engine/resources/sound.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/core/ui.h"

namespace {

// Through the editor factory, as every editor: its record closes it with the project and lets it hear notices.
CVTND_Object NewExpression(CVTNDesignerApp& app, const CVTND_CreateRequest&)
{
    app.EditObject(CVTND_Object(ObjectType::kExpression, nullptr), false);
    return {}; // nothing exists until the editor's OK adds the entry and announces it
}

const CVTND_EditorRegistration kExpressionEditor(ObjectType::kExpression, kAnyActionKind,
                                                 &CVTND_ExpressionEditorDlg::Make);
const CVTND_ObjectCreatorRegistration kExpressionCreator(ObjectType::kExpression, &NewExpression);

bool IsSceneNodeType(uint16_t type)
{
    switch (static_cast<ObjectType>(type)) {
    case ObjectType::kMeshNode:
    case ObjectType::kCamera:
    case ObjectType::kObjectNode:
    case ObjectType::kNode:
    case ObjectType::kParticleNode:
    case ObjectType::kRoot:
        return true;
    default:
        return false;
    }
}

} // namespace

CVTND_ExpressionEditorDlg::CVTND_ExpressionEditorDlg(SWexpressionentry* entry)
    : CVTND_ModelessEditorDlg(static_cast<uint16_t>(ObjectType::kExpression), entry, nullptr), m_isNew(entry == nullptr)
{
}

CVTND_ExpressionEditorDlg::~CVTND_ExpressionEditorDlg() = default;

pf::Window* CVTND_ExpressionEditorDlg::Make(const CVTND_EditorRequest& request)
{
    // The factory keeps the record and fills in the dialog; the editor unregisters by its own address.
    return Open(std::make_unique<CVTND_ExpressionEditorDlg>(static_cast<SWexpressionentry*>(request.object)), kIdd,
                request.parent);
}

std::string CVTND_ExpressionEditorDlg::ReferenceOf(const CVTND_Object& owner, const SWproperty& property)
{
    const std::string propertyName = property.GetName().value_or(std::string());
    std::string reference;
    if (IsSceneNodeType(owner.GetType()) && owner.GetObject() != nullptr) {
        const auto* node = static_cast<const SWnode*>(owner.GetObject());
        reference = "NODE:" + node->GetName().value_or(std::string()) + "." + propertyName;
    } else if (owner.IsType(ObjectType::kSound) && owner.GetObject() != nullptr) {
        reference = "SOUND:" + static_cast<const SWsound*>(owner.GetObject())->GetName() + "." + propertyName;
    }
    if (reference.size() > kMaxReferenceBytes)
        reference.resize(kMaxReferenceBytes);
    return reference;
}

bool CVTND_ExpressionEditorDlg::onInitDialog()
{
    setText(EditorTextOf(m_isNew ? kIdsNewExpressionTitle : kIdsEditExpressionTitle));
    auto* text = item<pf::RichEdit>(kIdText);
    text->setText("");
    pf::ui().setFocus(text->hwnd());
    if (SWexpressionentry* entry = Entry()) {
        SWexpression* expression = entry->GetExpression();
        const SWworld* world = World();
        if (SWproperty* target = expression->GetTargetVariable(); target != nullptr && world != nullptr) {
            if (const auto name = world->GetQualifiedName(*target))
                child(kIdTarget)->setText(*name);
        }
        if (expression->GetText())
            text->setText(*expression->GetText());
        if (expression->GetName())
            child(kIdName)->setText(*expression->GetName());
    }
    auto receptor = std::make_unique<PropertyControlReceptor>(this);
    receptor->AddOwner(text);
    receptor->AddOwner(child(kIdTarget));
    AddReceptor(std::move(receptor));
    return false; // the focus stays on the text
}

bool CVTND_ExpressionEditorDlg::Validate()
{
    SWworld* world = World();
    m_compiled.reset();
    m_text = item<pf::RichEdit>(kIdText)->getText();
    if (m_text.empty()) {
        ShowError(kIdsEmptyExpression);
        return false;
    }
    int code = SWexpression::kCodeOk;
    m_compiled = SWexpression::CompileExpression(world, m_text, code);
    if (m_compiled == nullptr) {
        if (code != SWexpression::kCodeOk)
            ShowError(kIdsCannotInterpret);
        return false;
    }
    m_target = child(kIdTarget)->getText();
    if (m_target.size() > kMaxReferenceBytes)
        m_target.resize(kMaxReferenceBytes);
    if (m_target.size() < 2) {
        ShowError(kIdsEmptyExpression);
        m_compiled.reset();
        return false;
    }
    m_resolved = SWexpression::ResolveVariableReference(world, m_target, code);
    if (m_resolved == nullptr || code != SWexpression::kCodeOk) {
        ShowError(kIdsTargetNotFound);
        m_compiled.reset();
        return false;
    }
    m_name = child(kIdName)->getText();
    if (m_name.empty()) {
        ShowError(kIdsValidName);
        m_compiled.reset();
        return false;
    }
    const SWexpressionlist* list = world != nullptr ? SWexpressionlist::Find(*world) : nullptr;
    const SWexpressionentry* named = list != nullptr ? list->FindByName(m_name) : nullptr;
    if (named != nullptr && named != Entry()) {
        ShowError(kIdsUniqueName);
        m_compiled.reset();
        return false;
    }
    return true;
}

void CVTND_ExpressionEditorDlg::Apply()
{
    SWworld* world = World();
    CVTNDesignerApp* app = App();
    if (world == nullptr || app == nullptr)
        return;
    if (SWexpressionentry* entry = Entry()) {
        // The entry keeps its expression, which recompiles from the new text at its next use: every reference to
        // either stays good. The compiled copy only proved the text.
        m_compiled.reset();
        {
            CVTND_WorldWriteLock lock(world);
            SWexpression* expression = entry->GetExpression();
            expression->SetText(m_text);
            expression->SetTargetText(m_target);
            expression->SetTargetVariable(m_resolved);
            expression->SetName(m_name);
        }
        app->Broadcast(CVTND_Event(EventCode::kReplaced, CVTND_Object(entry)));
        return;
    }
    m_compiled->SetText(m_text);
    m_compiled->SetTargetText(m_target);
    m_compiled->SetTargetVariable(m_resolved);
    m_compiled->SetName(m_name);
    SWexpressionentry* added = nullptr;
    {
        CVTND_WorldWriteLock lock(world);
        added = SWexpressionlist::Of(*world).Add(std::move(m_compiled));
    }
    if (added != nullptr)
        app->AnnounceObject(CVTND_Object(added));
}

void CVTND_ExpressionEditorDlg::OnNotify(const CVTND_Event& event)
{
    // A node renamed while the editor is open: its text and target follow, as the stored ones do, so OK neither
    // refuses them nor takes the old name back.
    if (event.Is(EventCode::kRenamed) && event.subject.IsNodeType() && event.firstText && event.secondText) {
        const auto renamed = [&](std::string_view text) {
            return SWexpression::RenameObjectInText(text, "NODE", *event.firstText, *event.secondText);
        };
        if (const auto text = renamed(item<pf::RichEdit>(kIdText)->getText()))
            item<pf::RichEdit>(kIdText)->setText(*text);
        if (const auto target = renamed(child(kIdTarget)->getText()))
            child(kIdTarget)->setText(*target);
        return;
    }
    SWexpressionentry* entry = Entry();
    if (entry == nullptr || !event.subject.IsType(ObjectType::kExpression) || event.subject.GetObject() != entry)
        return;
    if (event.Is(EventCode::kRenamed)) {
        if (event.secondText)
            child(kIdName)->setText(*event.secondText);
    } else if (event.Is(EventCode::kChanged)) {
        SWexpression* expression = entry->GetExpression();
        item<pf::RichEdit>(kIdText)->setText(expression->GetText().value_or(std::string()));
        if (expression->GetTargetVariable() == nullptr)
            child(kIdTarget)->setText("");
    }
}

pf::LResult CVTND_ExpressionEditorDlg::handle(const pf::Msg& msg)
{
    if (msg.message == kMsgPropertyDropped) {
        OnPropertyDropped(static_cast<int32_t>(msg.wParam), reinterpret_cast<const SWproperty*>(msg.lParam));
        return 1;
    }
    return CVTND_ModelessEditorDlg::handle(msg);
}

void CVTND_ExpressionEditorDlg::OnPropertyDropped(int32_t controlId, const SWproperty* property)
{
    CVTNDesignerApp* app = App();
    if (property == nullptr || app == nullptr)
        return;
    const std::string reference = ReferenceOf(app->GetPropertiesObject(), *property);
    if (reference.empty())
        return;
    if (controlId == kIdText)
        item<pf::RichEdit>(kIdText)->replaceSel(reference); // a user edit: one step of the text's undo
    else if (controlId == kIdTarget)
        child(kIdTarget)->setText(reference);
}
