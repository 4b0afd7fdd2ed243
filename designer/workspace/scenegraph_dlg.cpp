#include "designer/workspace/scenegraph_dlg.h"

#include <utility>
#include <vector>

#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/registry.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/scenegraph_receptor.h"
#include "designer/workspace/list_panels.h"
#include "designer/workspace/manipulate_dlg.h"
#include "designer/workspace/properties_dlg.h"
#include "engine/core/hotspot.h"
#include "engine/core/node.h"
#include "platform/ui/core/menu.h"
#include "platform/ui/core/ui.h"

namespace {

std::string NodeText(const SWnode& node)
{
    return node.GetName().value_or("(unnamed)");
}

// The node's picture as its map and palette objects show it, at the tree's size.
int32_t NodeImage(const SWnode& node)
{
    return CVTND_PanelDlg::SmallObjectImage(CEditorEngine::MapNodeIcon(node));
}

} // namespace

SWhotspot* CSGnode::GetHotspot() const
{
    return m_kind == kHotspotEntry ? static_cast<SWhotspot*>(m_node) : nullptr;
}

CVTND_ScenegraphDlg::CVTND_ScenegraphDlg(CVTNDesignerApp& app)
    : CVTND_TreePanelDlg(app, PanelRole::kSceneGraph, panel_ids::kSceneGraph)
{
}

CSGnode CVTND_ScenegraphDlg::GetEntry(pf::TreeItem item) const
{
    const CVTND_Object object = EntryOf(item);
    if (!object.IsNodeType())
        return {};
    auto* node = static_cast<SWnode*>(object.GetObject());
    if (m_memberItems.count(item) != 0)
        return {CSGnode::kGroupMember, node};
    return {object.IsType(ObjectType::kHotspot) ? CSGnode::kHotspotEntry : CSGnode::kNodeEntry, node};
}

pf::TreeItem CVTND_ScenegraphDlg::InsertItemUnderHotspot(CVTND_ScenegraphDlg* panel, SWnode* group, SWnode* node)
{
    if (panel == nullptr || group == nullptr || node == nullptr)
        return 0;
    const pf::TreeItem groupItem = panel->FindItem(group);
    if (groupItem == 0 || panel->m_memberItems.count(groupItem) != 0)
        return 0;
    const pf::TreeItem item = panel->InsertEntry(groupItem, CVTND_Object(node), NodeText(*node), NodeImage(*node));
    if (item != 0)
        panel->m_memberItems.insert(item);
    return item;
}

bool CVTND_ScenegraphDlg::CanScaleCenter(const CVTND_Object& object)
{
    switch (static_cast<ObjectType>(object.GetType())) {
    case ObjectType::kMeshNode:
    case ObjectType::kCamera:
    case ObjectType::kObjectNode:
    case ObjectType::kNode:
    case ObjectType::kParticleNode:
    case ObjectType::kRoot:
        return object.GetObject() != nullptr;
    default:
        return false;
    }
}

bool CVTND_ScenegraphDlg::ScaleCenter(const CVTND_Object& object)
{
    const CVTND_ModalToolRun run = CVTND_Registry::FindModalTool(ModalTool::kScaleCenter);
    if (!CanScaleCenter(object) || run == nullptr)
        return false;
    CVTND_ModalRequest request;
    request.owner = this;
    request.subject = object;
    run(m_app, request);
    return true;
}

bool CVTND_ScenegraphDlg::Rename(const CVTND_Object& object)
{
    const CVTND_ModalToolRun run = CVTND_Registry::FindModalTool(ModalTool::kRename);
    if (object.IsEmpty() || run == nullptr)
        return false;
    CVTND_ModalRequest request;
    request.owner = this;
    request.subject = object;
    run(m_app, request);
    return true;
}

void CVTND_ScenegraphDlg::Empty()
{
    CVTND_TreePanelDlg::Empty();
    m_memberItems.clear();
}

// Depth first without recursion: a scene may nest deeper than the stack would like. The nodes of a large scene lie
// far apart in memory, so the next ones are asked of the caches while this one's entry is made: walked one after the
// other, each would wait for memory on its own.
pf::TreeItem CVTND_ScenegraphDlg::InsertSubtree(pf::TreeItem parent, SWnode* top)
{
    std::vector<std::pair<SWnode*, SWnode*>> members; // (group, member), added once every node has its item
    const auto insert = [&](pf::TreeItem under, SWnode* node) {
        const pf::TreeItem item = InsertEntry(under, CVTND_Object(node), NodeText(*node), NodeImage(*node));
        if (item != 0)
            for (SWlistnode* m = node->GetGroupMembers().Head(); m != nullptr; m = m->Next())
                if (SWnode* member = static_cast<SWgroupmember*>(m)->node)
                    members.emplace_back(node, member);
        return item;
    };
    const pf::TreeItem first = insert(parent, top);
    // (an inserted node's item, the next of its child containers to look at)
    std::vector<std::pair<pf::TreeItem, CVTN_Container*>> pending;
    if (first != 0)
        pending.emplace_back(first, top->GetFirstChild());
    while (!pending.empty()) {
        CVTN_Container* const next = pending.back().second;
        if (next == nullptr) {
            pending.pop_back();
            continue;
        }
        pending.back().second = next->GetNextSibling();
        SWnode* node = SWnode::FromContainer(next);
        if (node == nullptr)
            continue;
        __builtin_prefetch(node->GetFirstChild());
        __builtin_prefetch(next->GetNextSibling());
        const pf::TreeItem item = insert(pending.back().first, node);
        if (item != 0)
            pending.emplace_back(item, node->GetFirstChild());
    }
    for (const auto& [group, member] : members)
        InsertItemUnderHotspot(this, group, member);
    return first;
}

namespace {

// Whether engine holds receptor, found among the engine's own: the receptor may have gone with an earlier engine.
bool EngineHolds(const CEditorEngine& engine, const DropReceptor* receptor)
{
    for (SWlistnode* link = engine.Receptors().Head(); link != nullptr; link = link->Next())
        if (DropReceptor& held = static_cast<DropReceptorLink*>(link)->receptor;
            &held == receptor && dynamic_cast<ScenegraphControlReceptor*>(&held) != nullptr)
            return true;
    return false;
}

} // namespace

void CVTND_ScenegraphDlg::RegisterReceptor()
{
    auto* engine = dynamic_cast<CEditorEngine*>(m_app.GetEditorEngine());
    pf::TreeView* tree = GetTree();
    if (engine == nullptr || tree == nullptr)
        return;
    // Ours goes with the tree it names (postNcDestroy) and is forgotten with its engine: one the current engine still
    // holds names this tree and serves every later fill.
    if (m_receptor != nullptr && EngineHolds(*engine, m_receptor))
        return;
    auto* receptor = new ScenegraphControlReceptor(
        [this](uintptr_t item) -> SWnode* {
            const CSGnode entry = GetEntry(static_cast<pf::TreeItem>(item));
            return entry.GetNode() != nullptr ? entry.GetNode() : entry.GetHotspot();
        },
        [this](SWnode* group, SWnode* node) { InsertItemUnderHotspot(this, group, node); });
    receptor->AddOwner(tree);
    engine->AddControlReceptor(receptor);
    m_receptor = receptor;
}

void CVTND_ScenegraphDlg::postNcDestroy()
{
    auto* engine = dynamic_cast<CEditorEngine*>(m_app.GetEditorEngine());
    if (engine != nullptr && m_receptor != nullptr && EngineHolds(*engine, m_receptor))
        engine->DeleteControlReceptor(m_receptor);
    m_receptor = nullptr;
    CVTND_TreePanelDlg::postNcDestroy();
}

void CVTND_ScenegraphDlg::Fill(CVTND_ExtendedWorld& world)
{
    RegisterReceptor();
    UseObjectImages();
    if (SWnode* root = world.GetRootNode()) {
        const pf::TreeItem item = InsertSubtree(pf::TVI_ROOT, root);
        if (pf::TreeView* tree = GetTree(); tree != nullptr && item != 0)
            tree->expand(item, pf::TVE_EXPAND);
    }
}

void CVTND_ScenegraphDlg::UpdateTexts(SWnode* node)
{
    pf::TreeView* tree = GetTree();
    if (tree == nullptr)
        return;
    for (const pf::TreeItem item : ItemsOf(node)) {
        tree->setItemText(item, NodeText(*node));
        tree->setItemImage(item, NodeImage(*node), NodeImage(*node)); // a camera's sub-type or a name may change it
    }
}

void CVTND_ScenegraphDlg::OnObjectEvent(const CVTND_Event& event)
{
    if (!event.subject.IsNodeType())
        return;
    auto* node = static_cast<SWnode*>(event.subject.GetObject());
    switch (static_cast<EventCode>(event.code)) {
    case EventCode::kCreated: {
        if (node == nullptr || FindItem(node) != 0)
            break;
        const pf::TreeItem parent = node->GetParentNode() != nullptr ? FindItem(node->GetParentNode()) : 0;
        if (parent != 0 && m_memberItems.count(parent) == 0)
            InsertSubtree(parent, node);
        else
            Refill();
        break;
    }
    case EventCode::kDeleted:
        RemoveObject(node);
        break;
    case EventCode::kRenamed:
        UpdateTexts(node);
        break;
    case EventCode::kChanged:
        if (node != nullptr && node->HasKind(SWnode::kKindGroup))
            Refill(); // its members may have changed
        else if (node != nullptr)
            UpdateTexts(node);
        break;
    case EventCode::kMoved:
        Refill();
        break;
    default:
        break;
    }
}

void CVTND_ScenegraphDlg::OnSelection(const CVTND_Object& object)
{
    if (!object.IsNodeType())
        return;
    m_app.GetSelection().Clear();
    m_app.GetSelection().Add(object);
    if (auto* manipulate = dynamic_cast<CVTND_ManipulateDlg*>(m_app.GetPanel(PanelRole::kManipulate)))
        manipulate->SelectNode(object, true);
    m_app.SetPropertiesObject(object);
    if (auto* properties = dynamic_cast<CVTND_PropertiesDlg*>(m_app.GetPanel(PanelRole::kProperties)))
        properties->Refill();
}

void CVTND_ScenegraphDlg::OnContextMenu(const CVTND_Object& object)
{
    if (object.IsEmpty())
        return;
    const pf::Menu menu({
        {kCmdScaleCenter, "Scale and Centre...", CanScaleCenter(object) ? 0u : pf::MF_GRAYED, {}},
        {kCmdRename, "Rename...", 0, {}},
    });
    const uint32_t chosen = menu.trackPopup(pf::TPM_RETURNCMD | pf::TPM_RIGHTBUTTON, pf::ui().cursorPos(), *this);
    if (chosen == kCmdScaleCenter)
        ScaleCenter(object);
    else if (chosen == kCmdRename)
        Rename(object);
}
