#include "designer/eventedit/flag_action_editors.h"

#include "designer/app/world_write_lock.h"
#include "designer/workspace/editor_texts.h"
#include "engine/behaviour/action_settings.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/button.h"

namespace {

const CVTND_EditorRegistration kHide(ObjectType::kAction, 21, &MakeActionEditor<CVTND_ActionHideUnhideDlg>);
const CVTND_EditorRegistration kShow(ObjectType::kAction, 22, &MakeActionEditor<CVTND_ActionHideUnhideDlg>);
const CVTND_EditorRegistration kReset(ObjectType::kAction, 34, &MakeActionEditor<CVTND_ActionResetObjectDlg>);
const CVTND_EditorRegistration kUnloadWorld(ObjectType::kAction, 55, &MakeActionEditor<CVTND_ActionUnloadVTODlg>);
const CVTND_EditorRegistration kShowWorld(ObjectType::kAction, 56, &MakeActionEditor<CVTND_ActionHideUnhideVTODlg>);

void Check(pf::Dialog& dialog, int32_t id, bool on)
{
    if (auto* button = dialog.item<pf::Button>(id))
        button->setCheck(on ? pf::BST_CHECKED : pf::BST_UNCHECKED);
}

uint8_t Checked(const pf::Dialog& dialog, int32_t id)
{
    const auto* button = dialog.item<pf::Button>(id);
    return button != nullptr && button->getCheck() == pf::BST_CHECKED ? 1 : 0;
}

int32_t ClickedButton(const pf::Msg& msg)
{
    return msg.message == pf::WM_COMMAND && pf::hiWord(msg.wParam) == pf::BN_CLICKED ? pf::loWord(msg.wParam) : 0;
}

} // namespace

// -- Hide or show a node

bool CVTND_ActionHideUnhideDlg::onInitDialog()
{
    const auto* visibility = dynamic_cast<const SWvisibilityaction*>(Action());
    const bool hides = visibility != nullptr ? visibility->settings.hide != 0 : Action()->GetKindId() == 21;
    setText(EditorTextOf(hides ? kIdsHideActionTitle : kIdsShowActionTitle));
    Check(*this, kIdChildren, visibility != nullptr && visibility->settings.subtree != 0);
    return true;
}

void CVTND_ActionHideUnhideDlg::Apply()
{
    if (auto* visibility = dynamic_cast<SWvisibilityaction*>(Action())) {
        CVTND_WorldWriteLock lock(Action()->GetWorld());
        visibility->settings.subtree = Checked(*this, kIdChildren);
    }
}

// -- Reset a node

bool CVTND_ActionResetObjectDlg::onInitDialog()
{
    if (const auto* reset = dynamic_cast<const SWresetaction*>(Action())) {
        Check(*this, kIdRotation, reset->settings.rotation != 0);
        Check(*this, kIdPosition, reset->settings.position != 0);
        Check(*this, kIdChildren, reset->settings.subtree != 0);
    }
    return true;
}

void CVTND_ActionResetObjectDlg::Apply()
{
    if (auto* reset = dynamic_cast<SWresetaction*>(Action())) {
        CVTND_WorldWriteLock lock(Action()->GetWorld());
        reset->settings.rotation = Checked(*this, kIdRotation);
        reset->settings.position = Checked(*this, kIdPosition);
        reset->settings.subtree = Checked(*this, kIdChildren);
    }
}

// -- Unload a loaded world

bool CVTND_ActionUnloadVTODlg::onInitDialog()
{
    const auto* unload = dynamic_cast<const SWunloadworldaction*>(Action());
    if (unload == nullptr)
        return true;
    // The resources radios stay enabled with every reference ticked: the runtime unloads the resources as they say
    // then too.
    Check(*this, kIdAll, unload->byte1 != 0);
    Check(*this, kIdResourcesToo, unload->byte2 != 0);
    Check(*this, kIdKeepResources, unload->byte2 == 0);
    return true;
}

pf::LResult CVTND_ActionUnloadVTODlg::handle(const pf::Msg& msg)
{
    const int32_t id = ClickedButton(msg);
    auto* unload = dynamic_cast<SWunloadworldaction*>(Action());
    if (unload != nullptr && (id == kIdAll || id == kIdResourcesToo || id == kIdKeepResources)) {
        CVTND_WorldWriteLock lock(Action()->GetWorld());
        if (id == kIdAll) {
            unload->byte1 = unload->byte1 != 0 ? 0 : 1;
        } else {
            unload->byte2 = id == kIdResourcesToo ? 1 : 0;
        }
        return 0;
    }
    return CVTND_ActionEditorDlg::handle(msg);
}

// -- Hide or show a loaded world

bool CVTND_ActionHideUnhideVTODlg::onInitDialog()
{
    const auto* show = dynamic_cast<const SWshowworldaction*>(Action());
    if (show == nullptr)
        return true;
    Check(*this, kIdHide, show->show == 0);
    Check(*this, kIdShow, show->show != 0);
    Check(*this, kIdAll, show->byte2 != 0);
    child(kIdFirst)->enable(show->byte2 == 0);
    child(kIdLast)->enable(show->byte2 == 0);
    Check(*this, kIdFirst, show->byte3 == 0);
    Check(*this, kIdLast, show->byte3 != 0);
    return true;
}

pf::LResult CVTND_ActionHideUnhideVTODlg::handle(const pf::Msg& msg)
{
    const int32_t id = ClickedButton(msg);
    auto* show = dynamic_cast<SWshowworldaction*>(Action());
    if (show == nullptr || id < kIdHide || (id > kIdLast && id != kIdAll))
        return CVTND_ActionEditorDlg::handle(msg);
    CVTND_WorldWriteLock lock(Action()->GetWorld());
    switch (id) {
    case kIdAll:
        show->byte2 = show->byte2 != 0 ? 0 : 1;
        child(kIdFirst)->enable(show->byte2 == 0);
        child(kIdLast)->enable(show->byte2 == 0);
        break;
    case kIdHide:
    case kIdShow:
        show->show = id == kIdShow ? 1 : 0;
        break;
    default:
        show->byte3 = id == kIdLast ? 1 : 0; // the runtime walks the references backwards from the last
        break;
    }
    return 0;
}
