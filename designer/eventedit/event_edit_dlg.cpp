#include "designer/eventedit/event_edit_dlg.h"

#include <string>

#include "designer/app/designer_app.h"
#include "designer/app/designer_utilities.h"
#include "designer/app/edit_dialog.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/registry.h"
#include "designer/app/world_write_lock.h"
#include "designer/editing/actions_receptor.h"
#include "designer/editing/display_names.h"
#include "designer/editing/editor_engine.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/pick_operations.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/core/ui.h"

namespace {

const CVTND_EditorRegistration kEventEditor(ObjectType::kEvent, kAnyActionKind, &CVTND_EventEditDlg::Make);

// The Events panel's list: the first list view among the panel's children.
pf::ListView* EventsPanelList()
{
    CVTNDesignerApp* app = GetDesignerApp();
    pf::Window* panel = app != nullptr ? app->GetPanel(PanelRole::kEvents) : nullptr;
    if (panel == nullptr)
        return nullptr;
    for (const pf::Hwnd child : panel->children()) {
        if (auto* list = dynamic_cast<pf::ListView*>(pf::ui().window(child)))
            return list;
    }
    return nullptr;
}

} // namespace

CVTND_EventEditDlg::CVTND_EventEditDlg(SWevent* event, CVTND_EditDialog* record)
    : CVTND_ModelessEditorDlg(static_cast<uint16_t>(ObjectType::kEvent), event, record)
{
}

pf::Window* CVTND_EventEditDlg::Make(const CVTND_EditorRequest& request)
{
    return Open(std::make_unique<CVTND_EventEditDlg>(static_cast<SWevent*>(request.object), request.record), kIdd,
                request.parent);
}

void CVTND_EventEditDlg::RefillActions()
{
    auto* list = item<pf::ListView>(kIdActions);
    if (list != nullptr && Event() != nullptr)
        FillEventActionList(*Event(), *list);
}

bool CVTND_EventEditDlg::onInitDialog()
{
    FillTypes();
    if (Event() == nullptr)
        MakeNewEvent();
    else
        setText(EditorTextOf(kIdsEditEventTitle));
    SWevent* event = Event();
    if (event == nullptr)
        return true; // no world to make it in: an empty editor that only closes
    if (event->GetName())
        child(kIdName)->setText(*event->GetName());
    ShowFlags();
    auto* types = item<pf::ComboBox>(kIdType);
    int32_t index = 0;
    for (int32_t i = 0; i < types->getCount(); ++i) {
        if (static_cast<uint32_t>(types->getItemData(i)) < event->GetType())
            ++index;
    }
    types->setCurSel(index);
    child(kIdEventParameters)->enable(EventHasParameters(*event));
    auto* list = item<pf::ListView>(kIdActions);
    PrepareActionList(*list);
    auto receptor = std::make_unique<ActionsControlReceptor>(list, event);
    receptor->AddOwner(list);
    AddReceptor(std::move(receptor));
    RefillActions();
    SetSelectionButtons({kIdRemove, kIdActionParameters, kIdDetails});
    EnableSelectionButtons(false);
    return true;
}

void CVTND_EventEditDlg::FillTypes()
{
    auto* types = item<pf::ComboBox>(kIdType);
    types->resetContent();
    const SWworld* world = World();
    if (world != nullptr) {
        for (uint32_t type = 0; type < world->GetEventTypeCount(); ++type) {
            if (const char* name = world->GetEventTypeName(type)) {
                const int32_t at = types->addString(name);
                types->setItemData(at, static_cast<intptr_t>(type));
            }
        }
    }
    types->setCurSel(0);
}

void CVTND_EventEditDlg::MakeNewEvent()
{
    SWworld* world = World();
    auto* types = item<pf::ComboBox>(kIdType);
    if (world == nullptr || types->getCount() == 0)
        return;
    const auto type = static_cast<uint32_t>(types->getItemData(0));
    std::string name;
    MakeUniqueEventName(*world, type, name);
    SWevent* event = nullptr;
    {
        CVTND_WorldWriteLock lock(world);
        event = world->NewEvent();
        event->SetType(type);
        event->SetName(name);
    }
    SetEditedObject(event);
    setText(EditorTextOf(kIdsNewEventTitle));
    if (pf::ListView* panelList = EventsPanelList()) {
        panelList->insertCallbackItem(panelList->getItemCount(), -1, reinterpret_cast<pf::LParam>(event));
        panelList->invalidate();
    }
    if (CEditorEngine* engine = Engine())
        engine->AddEvent(event);
    if (CVTNDesignerApp* app = App())
        app->RedrawEventMaps();
}

void CVTND_EventEditDlg::ShowFlags()
{
    const SWevent* event = Event();
    item<pf::Button>(kIdAutoReset)->setCheck(event->GetFlag() != 0 ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    item<pf::Button>(kIdActive)->setCheck(event->IsEnabled() ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    item<pf::Button>(kIdInactive)->setCheck(event->IsEnabled() ? pf::BST_UNCHECKED : pf::BST_CHECKED);
}

bool CVTND_EventEditDlg::Validate()
{
    m_newName = child(kIdName)->getText();
    if (m_newName.empty()) {
        ShowError(kIdsValidName);
        return false;
    }
    SWevent* event = Event();
    if (event == nullptr || (event->GetName() && *event->GetName() == m_newName))
        return true;
    const std::string oldName = event->GetName().value_or(std::string());
    CVTND_ExtendedWorld* world = App() != nullptr ? App()->GetWorld() : nullptr;
    // The world finds the event itself too, so a change of letter case alone is refused as a duplicate.
    if (world == nullptr || !world->RenameEvent(event, oldName, m_newName)) {
        ShowError(kIdsUniqueName);
        return false;
    }
    m_renamedFrom = oldName;
    return true;
}

void CVTND_EventEditDlg::Apply()
{
    if (!m_renamedFrom)
        return;
    CVTND_Event notice(EventCode::kRenamed, CVTND_Object(Event()));
    notice.SetTexts(*m_renamedFrom, m_newName);
    notice.sender = hwnd();
    m_renamedFrom.reset();
    if (CVTNDesignerApp* app = App()) {
        app->Broadcast(notice);
        app->RedrawEventMaps();
    }
}

void CVTND_EventEditDlg::OnNotify(const CVTND_Event& notice)
{
    if (notice.Is(EventCode::kDeleted) && notice.subject.IsType(ObjectType::kAction)) {
        ForgetListedAction(notice.subject.GetObject());
        return;
    }
    if (Event() == nullptr || !notice.subject.IsType(ObjectType::kEvent) || notice.subject.GetObject() != Event())
        return;
    if (notice.Is(EventCode::kRenamed)) {
        if (notice.sender != hwnd() && notice.secondText)
            child(kIdName)->setText(*notice.secondText);
    } else if (notice.Is(EventCode::kChanged)) {
        if (notice.detail == static_cast<uint32_t>(EventDetail::kAutoResetToggled) ||
            notice.detail == static_cast<uint32_t>(EventDetail::kInitiallyActiveToggled))
            ShowFlags();
    }
}

pf::LResult CVTND_EventEditDlg::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_COMMAND) {
        const int32_t id = pf::loWord(msg.wParam);
        if (id != pf::IDOK && id != pf::IDCANCEL) {
            OnCommand(id, pf::hiWord(msg.wParam));
            return 0;
        }
    } else if (msg.message == pf::WM_NOTIFY) {
        const auto* header = pf::notifyRecord<pf::NMHDR>(msg.lParam);
        if (header != nullptr && header->idFrom == static_cast<uintptr_t>(kIdActions)) {
            const auto* change = pf::notifyRecord<pf::NMLISTVIEW>(msg.lParam);
            if (header->code == pf::LVN_ITEMCHANGED)
                OnItemChanged(change);
            else if (header->code == pf::LVN_BEGINDRAG)
                OnBeginDrag(change->iItem);
        }
    }
    return CVTND_ModelessEditorDlg::handle(msg);
}

void CVTND_EventEditDlg::OnCommand(int32_t id, int32_t code)
{
    if (Event() == nullptr)
        return;
    if (id == kIdType) {
        if (code == pf::CBN_SELCHANGE)
            OnTypeChanged();
        return;
    }
    if (code != pf::BN_CLICKED)
        return;
    switch (id) {
    case kIdAutoReset:
        OnAutoReset();
        break;
    case kIdActive:
        OnInitialState(true);
        break;
    case kIdInactive:
        OnInitialState(false);
        break;
    case kIdEventParameters:
        OnEventParameters();
        break;
    case kIdDetails:
        OnDetails();
        break;
    case kIdActionParameters:
        OnActionParameters();
        break;
    case kIdRemove:
        OnRemove();
        break;
    default:
        break;
    }
}

void CVTND_EventEditDlg::OnTypeChanged()
{
    auto* types = item<pf::ComboBox>(kIdType);
    const int32_t selected = types->getCurSel();
    if (selected < 0)
        return;
    const auto type = static_cast<uint32_t>(types->getItemData(selected));
    {
        CVTND_WorldWriteLock lock(World());
        Event()->SetType(type);
    }
    if (CEditorEngine* engine = Engine())
        engine->UpdateEventIcon(Event());
    if (CVTNDesignerApp* app = App())
        app->RedrawEventMaps();
    child(kIdEventParameters)->enable(EventHasParameters(*Event()));
    RepaintEventsPanel();
}

void CVTND_EventEditDlg::OnAutoReset()
{
    // The box toggles itself before it reports the click; the byte is inverted, not read from the box, and a
    // notice of the map's toggle shows the byte again, so the two agree after any mix of both.
    CVTND_WorldWriteLock lock(World());
    Event()->SetFlag(Event()->GetFlag() != 0 ? 0 : 1);
}

void CVTND_EventEditDlg::OnInitialState(bool active)
{
    if (Event()->IsEnabled() == active)
        return;
    {
        CVTND_WorldWriteLock lock(World());
        Event()->SetEnabled(active);
    }
    if (CVTNDesignerApp* app = App())
        app->RedrawEventMaps();
}

void CVTND_EventEditDlg::OnEventParameters()
{
    auto* types = item<pf::ComboBox>(kIdType);
    const int32_t selected = types->getCurSel();
    const uint32_t type = selected >= 0 ? static_cast<uint32_t>(types->getItemData(selected)) : Event()->GetType();
    EditEventParameters(this, Event(), type, true); // redraws the maps
}

void CVTND_EventEditDlg::OnDetails()
{
    if (SelectedAction() == nullptr || !OpenSelectedDetails())
        return;
    RefillActions();
    if (CVTNDesignerApp* app = App())
        app->RedrawEventMaps();
}

void CVTND_EventEditDlg::OnActionParameters()
{
    if (!PickSelectedTargets())
        return;
    RefillActions();
    if (CVTNDesignerApp* app = App())
        app->RedrawEventMaps();
}

void CVTND_EventEditDlg::OnRemove()
{
    if (SelectedAction() != nullptr && RemoveSelectedAction())
        RefillActions();
}

void CVTND_EventEditDlg::OnItemChanged(const void* change)
{
    OnActionItemChanged(*item<pf::ListView>(kIdActions), change, {kIdRemove, kIdActionParameters, kIdDetails});
}

void CVTND_EventEditDlg::OnBeginDrag(int32_t item)
{
    DragActionOut(*this->item<pf::ListView>(kIdActions), item, false);
}

void CVTND_EventEditDlg::ForgetListedAction(const void* action)
{
    // The action is freed once the notice is through; its item must not hand it to the next click.
    auto* list = item<pf::ListView>(kIdActions);
    for (int32_t i = list->getItemCount() - 1; i >= 0; --i) {
        if (reinterpret_cast<const void*>(list->getItemData(i)) == action)
            list->deleteItem(i);
    }
}

void CVTND_EventEditDlg::RepaintEventsPanel()
{
    if (pf::ListView* list = EventsPanelList())
        list->invalidate();
}
