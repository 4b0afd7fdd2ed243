#include "designer/eventedit/stop_controller_dlg.h"

#include <algorithm>
#include <string>
#include <vector>

#include "designer/app/notification.h"
#include "designer/app/world_write_lock.h"
#include "designer/eventedit/text_action_editors.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/list_box.h"

namespace {

const CVTND_EditorRegistration kStopEditor(ObjectType::kAction, 46, &MakeActionEditor<CVTND_ActionStopControllerDlg>);

// The timed kinds a stop controller interrupts: motions and controllers. Kind 61 is a camera's, never listed.
bool IsStoppableKind(int32_t kind)
{
    return (kind >= 41 && kind <= 45) || kind == 47 || (kind >= 50 && kind <= 53) || kind == 60 ||
           (kind >= 62 && kind <= 64);
}

// The nodes an action's string arguments name, found from the root; names that find nothing are left out.
std::vector<const SWnode*> TargetNodes(const SWactionnode& action, const SWworld& world)
{
    std::vector<const SWnode*> nodes;
    for (const SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next()) {
        const char* name = static_cast<const SWdatanode*>(n)->GetText();
        if (name == nullptr || world.GetRootNode() == nullptr)
            continue;
        if (const SWnode* node = world.GetRootNode()->FindByName(name))
            nodes.push_back(node);
    }
    return nodes;
}

struct Candidate {
    std::string text;
    uint32_t id;
};

std::vector<Candidate> AvailableMotions(const SWactionnode& stop, const SWworld& world)
{
    std::vector<Candidate> found;
    if (stop.IsTargetTrigger())
        return found; // the event's own objects are known only when it fires
    const std::vector<const SWnode*> targets = TargetNodes(stop, world);
    for (const SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e)) {
        for (const SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
            if (!IsStoppableKind(a->GetKindId()) || a->IsTargetTrigger())
                continue;
            bool shared = false;
            for (const SWnode* node : TargetNodes(*a, world))
                shared = shared || std::find(targets.begin(), targets.end(), node) != targets.end();
            const uint32_t id = a->GetActionId();
            const bool listed =
                std::any_of(found.begin(), found.end(), [id](const Candidate& c) { return c.id == id; });
            if (!shared || listed)
                continue;
            const SWactionkind* kind = a->GetKind();
            found.push_back({e->GetName().value_or(std::string()) + "." +
                                 (kind != nullptr && kind->GetName() ? *kind->GetName() : std::string()),
                             id});
        }
    }
    return found;
}

void Append(pf::ListBox& list, const std::string& text, intptr_t data)
{
    list.setItemData(list.addString(text), data);
}

} // namespace

bool CVTND_ActionStopControllerDlg::onInitDialog()
{
    FillLists();
    if (const auto* stop = dynamic_cast<const SWstopmotionsaction*>(Action())) {
        item<pf::Button>(kIdStopAll)->setCheck(stop->all != 0 ? pf::BST_CHECKED : pf::BST_UNCHECKED);
        item<pf::Button>(kIdChildren)->setCheck(stop->subtree != 0 ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    }
    return true;
}

void CVTND_ActionStopControllerDlg::FillLists()
{
    auto* available = item<pf::ListBox>(kIdAvailable);
    auto* interrupt = item<pf::ListBox>(kIdInterrupt);
    available->resetContent();
    interrupt->resetContent();
    const SWworld* world = World();
    if (world == nullptr)
        return;
    for (const Candidate& c : AvailableMotions(*Action(), *world))
        Append(*available, c.text, static_cast<intptr_t>(c.id));
    const auto* stop = dynamic_cast<const SWstopsequencenode*>(Action());
    if (stop == nullptr)
        return;
    // Ids that are not available are not shown; a confirmed non-empty interrupt list drops them.
    for (const uint32_t id : stop->GetIds()) {
        for (int32_t i = 0; i < available->getCount(); ++i) {
            if (static_cast<uint32_t>(available->getItemData(i)) == id) {
                Append(*interrupt, available->getText(i), available->getItemData(i));
                available->deleteString(i);
                break;
            }
        }
    }
}

void CVTND_ActionStopControllerDlg::MoveSelected(int32_t fromId, int32_t toId)
{
    auto* from = item<pf::ListBox>(fromId);
    auto* to = item<pf::ListBox>(toId);
    const std::vector<int32_t> selected = from->getSelItems(); // ascending
    int32_t moved = 0;
    for (const int32_t index : selected) {
        const int32_t at = index - moved++; // every earlier move shifted the rest up by one
        Append(*to, from->getText(at), from->getItemData(at));
        from->deleteString(at);
    }
}

void CVTND_ActionStopControllerDlg::Apply()
{
    auto* stop = dynamic_cast<SWstopmotionsaction*>(Action());
    const auto* interrupt = item<pf::ListBox>(kIdInterrupt);
    if (stop == nullptr || interrupt->getCount() == 0)
        return; // an emptied list keeps the stop list: there is no way to ask for none
    CVTND_WorldWriteLock lock(Action()->GetWorld());
    stop->ClearIds();
    for (int32_t i = 0; i < interrupt->getCount(); ++i)
        stop->AddTarget(static_cast<uint32_t>(interrupt->getItemData(i)));
}

void CVTND_ActionStopControllerDlg::OnNotify(const CVTND_Event& event)
{
    if (event.Is(EventCode::kRenamed) && event.subject.IsType(ObjectType::kEvent))
        FillLists();
}

pf::LResult CVTND_ActionStopControllerDlg::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_COMMAND && pf::hiWord(msg.wParam) == pf::BN_CLICKED) {
        auto* stop = dynamic_cast<SWstopmotionsaction*>(Action());
        switch (pf::loWord(msg.wParam)) {
        case kIdToInterrupt:
            MoveSelected(kIdAvailable, kIdInterrupt);
            return 0;
        case kIdToAvailable:
            MoveSelected(kIdInterrupt, kIdAvailable);
            return 0;
        case kIdStopAll:
            if (stop != nullptr) {
                CVTND_WorldWriteLock lock(Action()->GetWorld());
                stop->all = stop->all != 0 ? 0 : 1;
            }
            return 0;
        case kIdChildren:
            if (stop != nullptr) {
                CVTND_WorldWriteLock lock(Action()->GetWorld());
                stop->subtree = stop->subtree != 0 ? 0 : 1;
            }
            return 0;
        default:
            break;
        }
    }
    return CVTND_ActionEditorDlg::handle(msg);
}
