#include "designer/workspace/object_pickers.h"

#include <functional>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/window_placement.h"
#include "designer/workspace/receptors_texts.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/key_table.h"
#include "engine/core/cursor_list.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/world.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "engine/resources/texture.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/list_box.h"

namespace {

using NodeTest = std::function<bool(const SWnode&)>;

bool IsParticleSystem(const SWnode& node)
{
    const auto* object = dynamic_cast<const SWobjectnode*>(&node);
    return object != nullptr && object->GetKindCode() == 4;
}

NodeTest NodeTestOf(uint8_t kind)
{
    switch (kind) {
    case 1:
        return [](const SWnode& n) { return n.HasKind(SWnode::kKindCamera); };
    case 2:
        return [](const SWnode& n) { return n.HasKind(SWnode::kKindObject) && n.GetGeometry() != nullptr; };
    case 3:
        return [](const SWnode& n) { return n.HasKind(SWnode::kKindMesh); };
    case 10:
        return [](const SWnode& n) {
            return n.HasKind(SWnode::kKindObject) && n.GetGeometry() != nullptr && IsParticleSystem(n);
        };
    case 12:
        return [](const SWnode& n) { return n.HasKind(SWnode::kKindHotspot | SWnode::kKindMesh); };
    default:
        return nullptr;
    }
}

// Each node before its children.
void WalkNodes(const SWnode* node, const NodeTest& test, const std::function<void(const std::string&)>& add)
{
    for (; node != nullptr; node = node->GetNextSiblingNode()) {
        if (test(*node) && node->GetName())
            add(*node->GetName());
        WalkNodes(node->GetFirstChildNode(), test, add);
    }
}

bool IsChosenOnEntry(const ObjectPickRequest* request, const std::string& name)
{
    if (request == nullptr)
        return false;
    for (const SWlistnode* n = request->chosen.Head(); n != nullptr; n = n->Next()) {
        if (static_cast<const mse_node*>(n)->name == name)
            return true;
    }
    return false;
}

// Every object of kind as (shown text, name).
void ForEachObject(SWworld& world, uint8_t kind, const std::function<void(const std::string&, const std::string&)>& add)
{
    const auto same = [&](const std::string& name) { add(name, name); };
    if (const NodeTest test = NodeTestOf(kind)) {
        WalkNodes(world.GetRootNode(), test, same);
        return;
    }
    switch (kind) {
    case 4:
        for (SWsound* s = world.GetSoundList().GetFirst(); s != nullptr; s = world.GetSoundList().GetNext(s))
            add(s->GetName() + " (" + s->GetFileName() + ")", s->GetName());
        break;
    case 5:
        for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e)) {
            if (e->GetName())
                same(*e->GetName());
        }
        break;
    case 6:
        for (const SWkeyentry* k = world.GetKeyTable().GetFirst(); k != nullptr; k = SWkeytable::GetNext(k))
            same(k->GetName());
        break;
    case 7:
        if (const SWexpressionlist* list = SWexpressionlist::Find(world)) {
            for (const SWlistnode* n = list->Entries().Head(); n != nullptr; n = n->Next()) {
                const SWexpression* e = static_cast<const SWexpressionentry*>(n)->GetExpression();
                if (e != nullptr && e->GetName())
                    same(*e->GetName());
            }
        }
        break;
    case 8:
        for (const SWcursor* c = world.GetCursorList().GetFirst(); c != nullptr; c = CursorList::GetNext(c))
            same(c->name);
        break;
    case 9:
        if (const SWrootobject* root = world.GetRootObject()) {
            for (SWtexture* t = root->GetFirstTexture(); t != nullptr; t = SWrootobject::GetNextTexture(t))
                same(t->GetName());
        }
        break;
    case 11:
        for (CVTN_SubWorld* w = world.GetSubWorlds().GetFirst(); w != nullptr; w = CVTN_SubWorlds::GetNext(w)) {
            if (!w->GetName())
                continue;
            const std::string& name = *w->GetName();
            add(w->GetDownloadUrl() ? name + " (" + *w->GetDownloadUrl() + ")" : name, name);
        }
        break;
    default:
        break;
    }
}

int32_t AddItem(pf::ListBox& box, const std::string& text, std::deque<std::string>& names, const std::string& name)
{
    names.push_back(name);
    const int32_t index = box.addString(text);
    if (index >= 0)
        box.setItemData(index, reinterpret_cast<intptr_t>(&names.back()));
    return index;
}

SWworld* AppWorld()
{
    CVTNDesignerApp* app = GetDesignerApp();
    return app != nullptr ? app->GetWorld() : nullptr;
}

} // namespace

// -- ObjectPickRequest

ObjectPickRequest::~ObjectPickRequest()
{
    result.DeleteAll();
    chosen.DeleteAll();
}

bool ObjectPickRequest::Run(pf::Window* parent, bool multiple, bool atCursor)
{
    placeAtCursor = atCursor ? 1 : 0;
    if (multiple) {
        CVTND_MultipleSelectDlg dialog(*this, atCursor);
        dialog.doModal(kIddMultipleSelect, parent);
    } else {
        CVTND_SingleSelectDlg dialog(*this, atCursor);
        dialog.doModal(kIddSingleSelect, parent);
    }
    return cancelled == 0;
}

std::vector<std::string> ObjectPickRequest::ResultNames() const
{
    std::vector<std::string> names;
    for (const SWlistnode* n = result.Head(); n != nullptr; n = n->Next())
        names.push_back(static_cast<const mse_node*>(n)->name);
    return names;
}

std::vector<std::string> ObjectPickRequest::ChosenNames() const
{
    std::vector<std::string> names;
    for (const SWlistnode* n = chosen.Head(); n != nullptr; n = n->Next())
        names.push_back(static_cast<const mse_node*>(n)->name);
    return names;
}

void FillObjectPickList(SWworld& world, pf::ListBox& offered, pf::ListBox* chosenBox, const ObjectPickRequest* request,
                        uint8_t kind, std::deque<std::string>& names)
{
    if (chosenBox != nullptr && request != nullptr) {
        for (const SWlistnode* n = request->chosen.Head(); n != nullptr; n = n->Next()) {
            const std::string& name = static_cast<const mse_node*>(n)->name;
            AddItem(*chosenBox, name, names, name);
        }
    }
    ForEachObject(world, kind, [&](const std::string& text, const std::string& name) {
        if (!IsChosenOnEntry(request, name))
            AddItem(offered, text, names, name);
    });
}

// -- CVTND_SingleSelectDlg

CVTND_SingleSelectDlg::CVTND_SingleSelectDlg(ObjectPickRequest& request, bool placeAtCursor)
    : m_request(request), m_placeAtCursor(placeAtCursor)
{
}

bool CVTND_SingleSelectDlg::onInitDialog()
{
    auto* list = item<pf::ListBox>(PickerControl::kOffered);
    if (list != nullptr) {
        list->resetContent();
        if (SWworld* world = AppWorld())
            FillObjectPickList(*world, *list, nullptr, nullptr, m_request.kind, m_names);
    }
    if (m_placeAtCursor)
        PlaceWindowAtCursor(*this);
    return true;
}

void CVTND_SingleSelectDlg::onOK()
{
    const auto* list = item<pf::ListBox>(PickerControl::kOffered);
    const int32_t selected = list != nullptr ? list->getCurSel() : -1;
    if (selected < 0) {
        m_request.cancelled = 1;
        endDialog(pf::IDCANCEL);
        return;
    }
    m_request.result.AddTail(new mse_node(*reinterpret_cast<const std::string*>(list->getItemData(selected))));
    endDialog(pf::IDOK);
}

void CVTND_SingleSelectDlg::onCancel()
{
    m_request.cancelled = 1;
    endDialog(pf::IDCANCEL);
}

// -- CVTND_MultipleSelectDlg

CVTND_MultipleSelectDlg::CVTND_MultipleSelectDlg(ObjectPickRequest& request, bool placeAtCursor)
    : m_request(request), m_placeAtCursor(placeAtCursor)
{
}

bool CVTND_MultipleSelectDlg::onInitDialog()
{
    for (const std::string& name : m_request.ChosenNames())
        m_request.result.AddTail(new mse_node(name));
    auto* offered = item<pf::ListBox>(PickerControl::kOffered);
    auto* chosen = item<pf::ListBox>(PickerControl::kChosen);
    SWworld* world = AppWorld();
    if (offered != nullptr && chosen != nullptr && world != nullptr)
        FillObjectPickList(*world, *offered, chosen, &m_request, m_request.kind, m_names);
    // The box shows the mode the caller preset (an event's sequence flag); each click flips it.
    if (auto* box = item<pf::Button>(PickerControl::kQueueMode)) {
        box->setCheck(m_request.queueMode != 0 ? pf::BST_CHECKED : pf::BST_UNCHECKED);
        box->enable(m_request.offerQueueMode);
    }
    if (m_placeAtCursor)
        PlaceWindowAtCursor(*this);
    return true;
}

const std::string& CVTND_MultipleSelectDlg::NameOf(const pf::ListBox& box, int32_t index) const
{
    return *reinterpret_cast<const std::string*>(box.getItemData(index));
}

int32_t CVTND_MultipleSelectDlg::AddName(pf::ListBox& box, const std::string& name)
{
    return AddItem(box, name, m_names, name);
}

void CVTND_MultipleSelectDlg::Add()
{
    auto* offered = item<pf::ListBox>(PickerControl::kOffered);
    auto* chosen = item<pf::ListBox>(PickerControl::kChosen);
    if (offered == nullptr || chosen == nullptr)
        return;
    int32_t deleted = 0;
    for (const int32_t selected : offered->getSelItems()) {
        const int32_t index = selected - deleted;
        const std::string name = NameOf(*offered, index);
        m_request.result.AddTail(new mse_node(name));
        AddName(*chosen, name);
        if (m_request.queueMode == 0) {
            offered->deleteString(index);
            ++deleted;
        }
    }
}

void CVTND_MultipleSelectDlg::Remove()
{
    auto* offered = item<pf::ListBox>(PickerControl::kOffered);
    auto* chosen = item<pf::ListBox>(PickerControl::kChosen);
    if (offered == nullptr || chosen == nullptr)
        return;
    int32_t deleted = 0;
    for (const int32_t selected : chosen->getSelItems()) {
        const int32_t index = selected - deleted;
        const std::string name = NameOf(*chosen, index);
        for (SWlistnode* n = m_request.result.Head(); n != nullptr; n = n->Next()) {
            if (static_cast<mse_node*>(n)->name == name) {
                m_request.result.Delete(n);
                break;
            }
        }
        chosen->deleteString(index);
        ++deleted;
        if (m_request.queueMode == 0)
            AddName(*offered, name);
    }
}

void CVTND_MultipleSelectDlg::ToggleQueueMode()
{
    auto* offered = item<pf::ListBox>(PickerControl::kOffered);
    auto* chosen = item<pf::ListBox>(PickerControl::kChosen);
    if (m_request.queueMode == 0) {
        m_request.queueMode = 1;
        if (offered != nullptr && chosen != nullptr) {
            for (int32_t i = 0; i < chosen->getCount(); ++i) {
                const std::string name = NameOf(*chosen, i);
                AddName(*offered, name);
            }
        }
    } else {
        m_request.queueMode = 0;
    }
    if (auto* box = item<pf::Button>(PickerControl::kQueueMode))
        box->setCheck(m_request.queueMode != 0 ? pf::BST_CHECKED : pf::BST_UNCHECKED);
}

pf::LResult CVTND_MultipleSelectDlg::handle(const pf::Msg& msg)
{
    // A double click moves the item it selected across, as >> and << do.
    if (msg.message == pf::WM_COMMAND && pf::hiWord(msg.wParam) == pf::LBN_DBLCLK) {
        const int32_t id = pf::loWord(msg.wParam);
        if (id == PickerControl::kOffered)
            Add();
        else if (id == PickerControl::kChosen)
            Remove();
        return 0;
    }
    if (msg.message == pf::WM_COMMAND && (msg.wParam >> 16) == pf::BN_CLICKED) {
        switch (static_cast<int32_t>(msg.wParam & 0xFFFF)) {
        case PickerControl::kAdd:
            Add();
            return 0;
        case PickerControl::kRemove:
            Remove();
            return 0;
        case PickerControl::kQueueMode:
            ToggleQueueMode();
            return 0;
        default:
            break;
        }
    }
    return pf::Dialog::handle(msg);
}

void CVTND_MultipleSelectDlg::onOK()
{
    endDialog(pf::IDOK);
}

void CVTND_MultipleSelectDlg::onCancel()
{
    m_request.cancelled = 1;
    endDialog(pf::IDCANCEL);
}
