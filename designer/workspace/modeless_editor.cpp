#include "designer/workspace/modeless_editor.h"

#include <algorithm>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/edit_dialog.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/editing/action_notify.h"
#include "designer/editing/display_names.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/editor_images.h"
#include "designer/editing/map_object.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/pick_operations.h"
#include "designer/workspace/value_generator.h"
#include "engine/behaviour/action_node.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/providers/providers.h"

namespace {

constexpr uint32_t kMsgShowSelectedAction = pf::WM_USER + 1010; // posted by a refill of an action list

// The value controls on window's pages: a property generator's dialog names its node by text.
void ShowRenamedInGenerators(const pf::Window& window)
{
    const std::vector<pf::Hwnd> children = window.children(); // a field's change may reach the page
    for (const pf::Hwnd h : children) {
        pf::Window* child = pf::ui().window(h);
        if (child == nullptr)
            continue;
        if (auto* control = dynamic_cast<CVTND_ValueGenerator*>(child))
            control->ShowRenamed();
        ShowRenamedInGenerators(*child);
    }
}

} // namespace

CVTND_ModelessEditorDlg::CVTND_ModelessEditorDlg(uint16_t kind, void* object, CVTND_EditDialog* record)
    : m_kind(kind), m_object(object), m_record(record)
{
}

CVTND_ModelessEditorDlg::~CVTND_ModelessEditorDlg() = default;

CVTND_ModelessEditorDlg* CVTND_ModelessEditorDlg::Open(std::unique_ptr<CVTND_ModelessEditorDlg> editor, int32_t idd,
                                                       pf::Window* parent)
{
    InstallEditorModalState();
    // The record names the dialog before it initialises, so that an editor that closes while it opens finds its
    // record to unregister.
    if (editor->m_record != nullptr)
        editor->m_record->dialog = editor.get();
    if (!editor->create(idd, parent)) {
        if (editor->m_record != nullptr && !editor->m_closed)
            editor->m_record->dialog = nullptr;
        return nullptr; // the window, if any was made, is gone, and postNcDestroy left the object to us
    }
    editor->m_ownsItself = true;
    return editor.release();
}

void CVTND_ModelessEditorDlg::DestroyWindow()
{
    destroy();
}

void CVTND_ModelessEditorDlg::SetEditedObject(void* object)
{
    m_object = object;
    if (m_record != nullptr)
        m_record->object = object;
}

void CVTND_ModelessEditorDlg::PrepareActionList(pf::ListView& list)
{
    list.deleteAllItems();
    if (list.columnCount() == 0)
        list.insertColumn(0, "Action", static_cast<int32_t>(list.clientRect().width()));
    list.setImageList(EditorSmallActionImages(), pf::LVSIL_SMALL);
    if (std::find(m_actionLists.begin(), m_actionLists.end(), list.hwnd()) == m_actionLists.end())
        m_actionLists.push_back(list.hwnd());
}

DropReceptor* CVTND_ModelessEditorDlg::AddReceptor(std::unique_ptr<DropReceptor> receptor)
{
    CEditorEngine* engine = Engine();
    if (engine == nullptr || receptor == nullptr)
        return nullptr;
    DropReceptor* handed = receptor.release();
    m_receptors.push_back(engine->AddControlReceptor(handed));
    return handed;
}

// By handle, never by address: the engine may have deleted ours and made another at the same address since.
bool CVTND_ModelessEditorDlg::HoldsReceptor(const DropReceptor* receptor) const
{
    const CEditorEngine* engine = Engine();
    if (engine == nullptr || receptor == nullptr)
        return false;
    for (const uint32_t handle : m_receptors) {
        if (engine->FindReceptor(handle) == receptor)
            return true;
    }
    return false;
}

void CVTND_ModelessEditorDlg::SetSelectionButtons(std::vector<int32_t> ids)
{
    m_selectionButtons = std::move(ids);
}

void CVTND_ModelessEditorDlg::SelectAction(SWactionnode* action)
{
    m_selectedAction = action;
}

void CVTND_ModelessEditorDlg::EnableSelectionButtons(bool enabled)
{
    for (const int32_t id : m_selectionButtons) {
        if (pf::Window* button = child(id))
            button->enable(enabled);
    }
}

int32_t CVTND_ModelessEditorDlg::ShowError(uint32_t roleId)
{
    return pf::messageBox(hwnd(), EditorTextOf(roleId), EditorTextOf(kIdsEditorErrorCaption),
                          pf::MB_OK | pf::MB_ICONHAND); // MB_ICONERROR
}

// -- The action lists' shared operations

SWactionnode* CVTND_ModelessEditorDlg::ActionOfItem(const pf::ListView& list, int32_t item)
{
    if (item < 0 || item >= list.getItemCount())
        return nullptr;
    return reinterpret_cast<SWactionnode*>(list.getItemData(item));
}

bool CVTND_ModelessEditorDlg::OnActionItemChanged(const pf::ListView& list, const void* change,
                                                  const ActionButtons& buttons)
{
    const auto* item = static_cast<const pf::NMLISTVIEW*>(change);
    if ((item->uNewState & pf::LVIS_SELECTED) == 0 || (item->uOldState & pf::LVIS_SELECTED) != 0)
        return false;
    SWactionnode* action = ActionOfItem(list, item->iItem);
    if (action == nullptr)
        return false;
    SelectAction(action);
    const auto enableButton = [this](int32_t id, bool on) {
        if (pf::Window* button = id != 0 ? child(id) : nullptr)
            button->enable(on);
    };
    enableButton(buttons.remove, true);
    enableButton(buttons.parameters, ActionHasTargets(*action));
    enableButton(buttons.details, ActionHasDetails(*action));
    return true;
}

bool CVTND_ModelessEditorDlg::RemoveSelectedAction()
{
    SWactionnode* action = m_selectedAction;
    CVTNDesignerApp* app = App();
    if (action == nullptr || app == nullptr)
        return true;
    const pf::Hwnd self = hwnd();
    m_selectedAction = nullptr;
    app->DeleteObject(CVTND_Object(action), CVTNDesignerApp::kDeleteFromMenu);
    if (!pf::ui().isWindow(self))
        return false;
    RedrawAfterDeletion();
    if (CEditorEngine* engine = Engine())
        engine->RefreshActionReceptors();
    EnableSelectionButtons(false);
    return true;
}

bool CVTND_ModelessEditorDlg::OpenSelectedDetails()
{
    SWactionnode* action = m_selectedAction;
    CVTNDesignerApp* app = App();
    if (action == nullptr || app == nullptr)
        return true;
    const pf::Hwnd self = hwnd();
    EditActionDetails(action); // a new editor, or the one already open, which comes forward
    const CVTND_EditDialog* record = app->FindEditDialog(static_cast<uint16_t>(ObjectType::kAction), action);
    if (record != nullptr && record->dialog != nullptr) {
        record->dialog->setPos(static_cast<pf::Hwnd>(pf::HWND_TOP), record->dialog->windowRect(),
                               pf::SWP_NOMOVE | pf::SWP_NOSIZE);
        pf::ui().activate(record->dialog->hwnd());
    }
    return pf::ui().isWindow(self);
}

bool CVTND_ModelessEditorDlg::PickSelectedTargets()
{
    return m_selectedAction != nullptr && BuildEventParameterPickList(this, m_selectedAction, nullptr);
}

void CVTND_ModelessEditorDlg::DragActionOut(const pf::ListView& list, int32_t item, bool releaseCaptureFirst)
{
    SWactionnode* action = ActionOfItem(list, item);
    CEditorEngine* engine = Engine();
    if (action == nullptr || engine == nullptr)
        return;
    UIObject* object = engine->MakePaletteObject(CVTND_Object(action));
    if (object == nullptr)
        return;
    object->SetAction(action);
    engine->DragList().clear();
    engine->DragList().push_back(object);
    if (releaseCaptureFirst)
        pf::ui().releaseCapture();
    engine->BeginDrag(pf::ui().messagePos(), nullptr);
}

CVTNDesignerApp* CVTND_ModelessEditorDlg::App()
{
    return GetDesignerApp();
}

CEditorEngine* CVTND_ModelessEditorDlg::Engine()
{
    return GetEditorEngine();
}

SWworld* CVTND_ModelessEditorDlg::World()
{
    CVTNDesignerApp* app = App();
    return app != nullptr ? app->GetWorld() : nullptr;
}

pf::LResult CVTND_ModelessEditorDlg::handle(const pf::Msg& msg)
{
    if (msg.message == kMsgShowSelectedAction) {
        ShowSelectedAction();
        return 0;
    }
    if (msg.message == pf::WM_NOTIFY && m_selectedAction != nullptr && !m_closed) {
        // The items come back after the emptying: the selection is shown again once the refill is through.
        const auto* header = pf::notifyRecord<pf::NMHDR>(msg.lParam);
        if (header != nullptr && header->code == pf::LVN_DELETEALLITEMS &&
            std::find(m_actionLists.begin(), m_actionLists.end(), header->hwndFrom) != m_actionLists.end())
            post(kMsgShowSelectedAction);
    }
    if (msg.message == kMsgDesignerNotify) {
        const auto* event = reinterpret_cast<const CVTND_Event*>(msg.lParam);
        if (event != nullptr)
            HandleNotification(*event);
        return 1; // nothing of this object may be touched here: the editor may be gone
    }
    if (msg.message == pf::WM_DESTROY)
        Closing();
    return Dialog::handle(msg);
}

bool CVTND_ModelessEditorDlg::HandleNotification(const CVTND_Event& event)
{
    if (event.Is(EventCode::kRenamed))
        ShowRenamedInGenerators(*this);
    if (event.Is(EventCode::kDeleted) && event.subject.IsType(ObjectType::kAction) && m_selectedAction != nullptr &&
        event.subject.GetObject() == m_selectedAction) {
        // The action is freed after this notice; a button left enabled would hand it to the next click.
        m_selectedAction = nullptr;
        EnableSelectionButtons(false);
        OnSelectedActionForgotten();
    }
    if (event.Is(EventCode::kDeleted) && m_object != nullptr && event.subject.GetType() == m_kind &&
        event.subject.GetObject() == m_object) {
        DestroyWindow();
        return true;
    }
    const pf::Hwnd self = hwnd();
    OnNotify(event);
    return !pf::ui().isWindow(self);
}

void CVTND_ModelessEditorDlg::ShowSelectedAction()
{
    SWactionnode* const action = m_selectedAction;
    if (action == nullptr || m_closed)
        return;
    for (const pf::Hwnd h : m_actionLists) {
        auto* list = dynamic_cast<pf::ListView*>(pf::ui().window(h));
        if (list == nullptr)
            continue;
        for (int32_t i = 0; i < list->getItemCount(); ++i) {
            if (ActionOfItem(*list, i) == action && (list->getItemState(i, pf::LVIS_SELECTED) == 0)) {
                list->setItemState(i, pf::LVIS_SELECTED, pf::LVIS_SELECTED);
                return;
            }
        }
    }
}

void CVTND_ModelessEditorDlg::onOK()
{
    if (!Validate())
        return;
    const pf::Hwnd self = hwnd();
    Apply();
    if (pf::ui().isWindow(self))
        DestroyWindow();
}

void CVTND_ModelessEditorDlg::onCancel()
{
    DestroyWindow();
}

void CVTND_ModelessEditorDlg::postNcDestroy()
{
    if (m_ownsItself)
        delete this;
}

void CVTND_ModelessEditorDlg::Closing()
{
    if (m_closed)
        return;
    m_closed = true;
    OnClosing();
    for (const pf::Hwnd h : m_actionLists) {
        if (auto* list = dynamic_cast<pf::ListView*>(pf::ui().window(h))) {
            list->deleteAllItems();
            list->setImageList(nullptr, pf::LVSIL_SMALL);
        }
    }
    m_actionLists.clear();
    if (CEditorEngine* engine = Engine()) {
        for (const uint32_t handle : m_receptors)
            engine->DeleteControlReceptor(engine->FindReceptor(handle));
    }
    m_receptors.clear();
    m_selectedAction = nullptr;
    if (CVTNDesignerApp* app = App())
        app->UnregisterEditDialog(this);
    m_record = nullptr;
}

// -- The modal state

pf::ImageListRef EditorSmallActionImages()
{
    const CVTND_EditorImages* images = GetEditorImages();
    return images != nullptr ? images->List(EditorImageList::kSmallActions) : nullptr;
}

void InstallEditorModalState()
{
    if (!pf::hasUi())
        return;
    pf::ui().setModalStateHandler([](bool modal) {
        CVTNDesignerApp* app = GetDesignerApp();
        if (app == nullptr)
            return;
        // Handles first: an editor may close while another one disables itself.
        std::vector<pf::Hwnd> editors;
        for (const auto& record : app->GetEditDialogs()) {
            if (record->dialog != nullptr)
                editors.push_back(record->dialog->hwnd());
        }
        for (const pf::Hwnd h : editors) {
            auto* editor = dynamic_cast<CVTND_ModelessEditorDlg*>(pf::ui().window(h));
            if (editor == nullptr)
                continue;
            if (modal)
                editor->BeginModalState();
            else
                editor->EndModalState();
        }
    });
}
