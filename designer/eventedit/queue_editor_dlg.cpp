#include "designer/eventedit/queue_editor_dlg.h"

#include "designer/app/designer_app.h"
#include "designer/app/world_write_lock.h"
#include "designer/editing/actions_receptor.h"
#include "designer/editing/display_names.h"
#include "designer/workspace/editor_texts.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/core/ui.h"

namespace {

const CVTND_EditorRegistration kQueueEditor(ObjectType::kAction, 30, &MakeActionEditor<CVTND_ActionSequenceActionsDlg>);

// The list refills itself whenever any editor changes actions; its blocking column follows once it has.
constexpr uint32_t kMsgShowBlocking = pf::WM_USER + 3;

} // namespace

bool CVTND_ActionSequenceActionsDlg::onInitDialog()
{
    auto* list = item<pf::ListView>(kIdList);
    const int32_t width = static_cast<int32_t>(list->clientRect().width());
    list->insertColumn(0, EditorTextOf(kIdsActionColumn), static_cast<int32_t>(width * 0.9));
    list->insertColumn(1, EditorTextOf(kIdsBlockingColumn), static_cast<int32_t>(width * 0.1));
    PrepareActionList(*list); // keeps the two columns, takes the shared images
    const auto* queue = dynamic_cast<const SWqueueaction*>(Action());
    item<pf::Button>(kIdLoop)->setCheck(queue != nullptr && queue->IsLooping() ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    Refill();
    auto receptor = std::make_unique<ActionsControlReceptor>(list, Action()->GetEvent());
    receptor->queueTarget = Action();
    receptor->AddOwner(list);
    AddReceptor(std::move(receptor));
    SetSelectionButtons({kIdRemove, kIdParameters, kIdDetails});
    EnableSelectionButtons(false);
    ClearBlockingBox();
    return true;
}

void CVTND_ActionSequenceActionsDlg::Apply()
{
    if (auto* queue = dynamic_cast<SWqueueaction*>(Action())) {
        CVTND_WorldWriteLock lock(Action()->GetWorld());
        queue->SetLoop(item<pf::Button>(kIdLoop)->getCheck() == pf::BST_CHECKED ? 1 : 0);
    }
}

void CVTND_ActionSequenceActionsDlg::onCancel()
{
    onOK();
}

void CVTND_ActionSequenceActionsDlg::OnSelectedActionForgotten()
{
    ClearBlockingBox();
}

pf::LResult CVTND_ActionSequenceActionsDlg::handle(const pf::Msg& msg)
{
    if (msg.message == kMsgShowBlocking) {
        ShowBlocking();
        return 0;
    }
    if (msg.message == pf::WM_NOTIFY) {
        const auto* header = pf::notifyRecord<pf::NMHDR>(msg.lParam);
        auto* list = item<pf::ListView>(kIdList);
        if (header != nullptr && list != nullptr && header->hwndFrom == list->hwnd()) {
            if (header->code == pf::LVN_ITEMCHANGED) {
                if (OnActionItemChanged(*list, pf::notifyRecord<pf::NMLISTVIEW>(msg.lParam),
                                        {kIdRemove, kIdParameters, kIdDetails})) {
                    child(kIdBlocking)->enable(true);
                    item<pf::Button>(kIdBlocking)
                        ->setCheck(SelectedAction()->IsWaiting() ? pf::BST_CHECKED : pf::BST_UNCHECKED);
                }
            } else if (header->code == pf::LVN_BEGINDRAG) {
                DragActionOut(*list, pf::notifyRecord<pf::NMLISTVIEW>(msg.lParam)->iItem, false);
            } else if (header->code == pf::LVN_DELETEALLITEMS) {
                post(kMsgShowBlocking);
            }
        }
    } else if (msg.message == pf::WM_COMMAND && pf::hiWord(msg.wParam) == pf::BN_CLICKED) {
        switch (pf::loWord(msg.wParam)) {
        case kIdBlocking:
            OnBlocking();
            return 0;
        case kIdRemove:
            if (RemoveSelectedAction())
                ClearBlockingBox();
            return 0;
        case kIdDetails:
            if (OpenSelectedDetails()) {
                Refill();
                if (CVTNDesignerApp* app = App())
                    app->RedrawEventMaps();
            }
            return 0;
        case kIdParameters:
            if (PickSelectedTargets()) {
                Refill();
                if (CVTNDesignerApp* app = App())
                    app->RedrawEventMaps();
            }
            return 0;
        default:
            break;
        }
    }
    return CVTND_ActionEditorDlg::handle(msg);
}

void CVTND_ActionSequenceActionsDlg::Refill()
{
    auto* list = item<pf::ListView>(kIdList);
    FillFollowerActionList(*Action(), false, false, *list);
    ShowBlocking();
}

void CVTND_ActionSequenceActionsDlg::ShowBlocking()
{
    auto* list = item<pf::ListView>(kIdList);
    if (list == nullptr)
        return;
    for (int32_t i = 0; i < list->getItemCount(); ++i) {
        const SWactionnode* action = ActionOfItem(*list, i);
        list->setItemText(i, 1, action != nullptr && action->IsWaiting() ? "B" : "");
    }
    list->invalidate();
}

void CVTND_ActionSequenceActionsDlg::OnBlocking()
{
    SWactionnode* action = SelectedAction();
    if (action == nullptr) {
        item<pf::Button>(kIdBlocking)->setCheck(pf::BST_UNCHECKED);
        return;
    }
    {
        CVTND_WorldWriteLock lock(action->GetWorld());
        action->SetWait(item<pf::Button>(kIdBlocking)->getCheck() == pf::BST_CHECKED ? 1 : 0);
    }
    ShowBlocking();
}

void CVTND_ActionSequenceActionsDlg::ClearBlockingBox()
{
    item<pf::Button>(kIdBlocking)->setCheck(pf::BST_UNCHECKED);
    child(kIdBlocking)->enable(false);
}
