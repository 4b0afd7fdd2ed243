#include "designer/workspace/panel_dlg.h"

#include <algorithm>
#include <unordered_set>

#include "designer/app/engine_interface.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/editing/editor_images.h"
#include "designer/editing/editor_objects.h"
#include "designer/workspace/java_dlg.h"
#include "platform/ui/core/ui.h"

// -- CVTND_PanelDlg

CVTND_PanelDlg::~CVTND_PanelDlg()
{
    if (m_registered && m_app.GetPanel(m_role) == this)
        m_app.RegisterPanel(m_role, nullptr);
}

bool CVTND_PanelDlg::CreateIn(pf::Window& parent, const pf::Rect& rect)
{
    if (!create(m_idd, &parent))
        return false;
    move(rect);
    show(pf::SW_SHOW);
    m_app.RegisterPanel(m_role, this);
    m_registered = true;
    Refill();
    post(kMsgPanelRefill); // at start-up the world comes after the panels
    return true;
}

void CVTND_PanelDlg::Refill()
{
    Empty();
    CVTND_ExtendedWorld* world = World();
    if (world == nullptr)
        return;
    // A running preview changes the tree too: a world it loads is merged in on the render thread, which holds the
    // lock for a frame at a time. Unlocked otherwise: a publish holds the lock for as long as it writes, while its
    // progress box lets the panels refill.
    if (!world->IsRunning()) {
        Fill(*world);
        return;
    }
    const SWworldlock hold(*world);
    Fill(*world);
}

bool CVTND_PanelDlg::onInitDialog()
{
    Layout(clientRect());
    return false; // the focus stays where the user left it
}

void CVTND_PanelDlg::postNcDestroy()
{
    if (m_registered && m_app.GetPanel(m_role) == this)
        m_app.RegisterPanel(m_role, nullptr);
    m_registered = false;
}

void CVTND_PanelDlg::Layout(const pf::Rect& client)
{
    if (pf::Window* main = child(kPanelMainControl))
        main->move(client);
}

pf::LResult CVTND_PanelDlg::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case kMsgDesignerNotify: {
        const auto* event = reinterpret_cast<const CVTND_Event*>(msg.lParam);
        if (event == nullptr)
            return 1;
        if (event->Is(EventCode::kWorkspaceClosing)) {
            OnWorkspaceClosing();
            Empty();
            post(kMsgPanelRefill);
        } else {
            OnObjectEvent(*event);
        }
        return 1;
    }
    case kMsgPanelRefill:
        Refill();
        return 0;
    case pf::WM_SIZE:
        Layout(clientRect());
        return pf::Dialog::handle(msg);
    case pf::WM_NOTIFY:
        if (const auto* header = pf::notifyRecord<pf::NMHDR>(msg.lParam))
            OnNotifyRecord(*header, msg.lParam);
        return 0;
    case pf::WM_COMMAND:
        if (pf::hiWord(msg.wParam) == static_cast<uint16_t>(pf::BN_CLICKED) && msg.lParam != 0) {
            OnCommand(pf::loWord(msg.wParam));
            return 0;
        }
        return pf::Dialog::handle(msg);
    default:
        return pf::Dialog::handle(msg);
    }
}

// What a drop receptor reads: the engine makes the palette object's look, the panel says what it carries.
void CVTND_PanelDlg::SetPaletteContent(UIObject& palette, const CVTND_Object& object)
{
    void* content = object.GetObject();
    if (object.IsNodeType()) {
        palette.SetNode(static_cast<SWnode*>(content));
        return;
    }
    switch (static_cast<ObjectType>(object.GetType())) {
    case ObjectType::kEvent:
        palette.SetEvent(static_cast<SWevent*>(content));
        break;
    case ObjectType::kActionKind:
        palette.SetActionType(static_cast<SWactionkind*>(content));
        break;
    case ObjectType::kExpression:
        palette.SetExpression(static_cast<SWexpressionentry*>(content));
        break;
    case ObjectType::kJavaPanelItem:
        palette.SetJavaMethod(&static_cast<const CVTND_JavaMethodItem*>(content)->method);
        break;
    case ObjectType::kSound:
        palette.SetSound(static_cast<SWsound*>(content));
        break;
    case ObjectType::kCursor:
        palette.SetKind1000(static_cast<SWcursor*>(content));
        break;
    case ObjectType::kMaterial:
        palette.SetKind4000(static_cast<SWmaterial*>(content));
        break;
    case ObjectType::kLoadedWorld:
        palette.SetWorld(static_cast<CVTN_SubWorld*>(content));
        break;
    case ObjectType::kProperty:
        palette.SetContent(EdKind::kProperty, content);
        break;
    default:
        break;
    }
}

bool CVTND_PanelDlg::StartPaletteDrag(const CVTND_Object& object)
{
    CVTND_EngineInterface* engine = m_app.GetEditorEngine();
    if (engine == nullptr || object.IsEmpty())
        return false;
    UIObject* palette = engine->MakePaletteObject(object);
    if (palette == nullptr)
        return false;
    SetPaletteContent(*palette, object);
    engine->SetDragObject(palette);
    engine->BeginDrag(pf::ui().cursorPos(), nullptr);
    return true;
}

void CVTND_PanelDlg::OpenEditor(const CVTND_Object& object)
{
    if (!object.IsEmpty())
        m_app.EditObject(object, true);
}

// -- CVTND_ListPanelDlg

pf::ImageListRef CVTND_PanelDlg::SmallObjectImages()
{
    const CVTND_EditorImages* images = GetEditorImages();
    return images != nullptr ? images->List(EditorImageList::kTree) : nullptr;
}

int32_t CVTND_PanelDlg::SmallObjectImage(int32_t objectIcon)
{
    const CVTND_EditorImages* images = GetEditorImages();
    if (images == nullptr || objectIcon < 0 || static_cast<size_t>(objectIcon) >= images->TreeIndices().size())
        return -1;
    return images->TreeIndices()[static_cast<size_t>(objectIcon)];
}

void CVTND_TreePanelDlg::UseObjectImages()
{
    if (pf::TreeView* tree = GetTree(); tree != nullptr && tree->getImageList(pf::TVSIL_NORMAL) == nullptr)
        tree->setImageList(SmallObjectImages(), pf::TVSIL_NORMAL);
}

bool CVTND_ListPanelDlg::onInitDialog()
{
    if (pf::ListView* list = GetList()) {
        list->setImageList(Images(), pf::LVSIL_SMALL);
        int32_t index = 0;
        for (const Column& column : Columns())
            list->insertColumn(index++, column.heading, column.width);
    }
    return CVTND_PanelDlg::onInitDialog();
}

int32_t CVTND_ListPanelDlg::FindItem(const void* object) const
{
    const pf::ListView* list = GetList();
    if (list == nullptr)
        return -1;
    for (int32_t i = 0; i < list->getItemCount(); ++i)
        if (reinterpret_cast<const void*>(list->getItemData(i)) == object)
            return i;
    return -1;
}

bool CVTND_ListPanelDlg::AddItem(void* object)
{
    pf::ListView* list = GetList();
    if (list == nullptr || object == nullptr || FindItem(object) >= 0)
        return false;
    return list->insertCallbackItem(list->getItemCount(), ItemImage(object), reinterpret_cast<pf::LParam>(object)) >= 0;
}

void CVTND_ListPanelDlg::AddItems(const std::vector<void*>& objects)
{
    pf::ListView* list = GetList();
    if (list == nullptr)
        return;
    std::unordered_set<const void*> listed;
    for (int32_t i = 0; i < list->getItemCount(); ++i)
        listed.insert(reinterpret_cast<const void*>(list->getItemData(i)));
    for (void* object : objects)
        if (object != nullptr && listed.insert(object).second)
            list->insertCallbackItem(list->getItemCount(), ItemImage(object), reinterpret_cast<pf::LParam>(object));
}

bool CVTND_ListPanelDlg::RemoveItem(const void* object)
{
    const int32_t index = FindItem(object);
    return index >= 0 && GetList()->deleteItem(index);
}

std::vector<void*> CVTND_ListPanelDlg::Items() const
{
    std::vector<void*> out;
    if (const pf::ListView* list = GetList())
        for (int32_t i = 0; i < list->getItemCount(); ++i)
            out.push_back(reinterpret_cast<void*>(list->getItemData(i)));
    return out;
}

void* CVTND_ListPanelDlg::SelectedObject() const
{
    const pf::ListView* list = GetList();
    const int32_t index = list != nullptr ? list->getNextSelected() : -1;
    return index >= 0 ? reinterpret_cast<void*>(list->getItemData(index)) : nullptr;
}

void CVTND_ListPanelDlg::Empty()
{
    if (pf::ListView* list = GetList())
        list->deleteAllItems();
}

void CVTND_ListPanelDlg::OnObjectEvent(const CVTND_Event& event)
{
    if (!event.subject.IsType(m_type))
        return;
    switch (static_cast<EventCode>(event.code)) {
    case EventCode::kCreated:
        AddItem(event.subject.GetObject());
        break;
    case EventCode::kDeleted:
        RemoveItem(event.subject.GetObject());
        break;
    case EventCode::kReplaced:
        Refill();
        break;
    default: // renamed, changed, moved: the texts come from the objects at the next paint, the picture may change
        if (pf::ListView* list = GetList()) {
            if (const int32_t index = FindItem(event.subject.GetObject()); index >= 0) {
                pf::LVITEM item;
                item.mask = pf::LVIF_IMAGE;
                item.iItem = index;
                item.iImage = ItemImage(event.subject.GetObject());
                list->setItem(item);
            }
            list->invalidate();
        }
        break;
    }
}

void CVTND_ListPanelDlg::OnNotifyRecord(const pf::NMHDR& header, pf::LParam record)
{
    if (header.idFrom != static_cast<uintptr_t>(kPanelMainControl))
        return;
    pf::ListView* list = GetList();
    if (list == nullptr)
        return;
    switch (header.code) {
    case pf::LVN_GETDISPINFO: {
        auto* info = pf::notifyRecord<pf::NMLVDISPINFO>(record);
        void* object = reinterpret_cast<void*>(info->item.lParam);
        m_text = object != nullptr ? ItemText(object, info->item.iSubItem) : std::string();
        info->item.pszText = m_text.data();
        break;
    }
    case pf::LVN_BEGINDRAG: {
        const auto* nm = pf::notifyRecord<pf::NMLISTVIEW>(record);
        if (IsDraggable() && nm->iItem >= 0 && nm->iItem < list->getItemCount())
            StartPaletteDrag(ObjectOf(reinterpret_cast<void*>(list->getItemData(nm->iItem))));
        break;
    }
    case pf::NM_RETURN: // Enter on the selected item, as a double click on it
    case pf::NM_DBLCLK: {
        const auto* nm = pf::notifyRecord<pf::NMLISTVIEW>(record);
        if (nm->iItem >= 0 && nm->iItem < list->getItemCount())
            OpenEditor(ObjectOf(reinterpret_cast<void*>(list->getItemData(nm->iItem))));
        break;
    }
    case pf::LVN_ITEMCHANGED: {
        const auto* nm = pf::notifyRecord<pf::NMLISTVIEW>(record);
        if ((nm->uNewState & pf::LVIS_SELECTED) != 0 && (nm->uOldState & pf::LVIS_SELECTED) == 0)
            OnSelection(reinterpret_cast<void*>(list->getItemData(nm->iItem)));
        break;
    }
    default:
        break;
    }
}

// -- CVTND_TreePanelDlg

// A tree's handles grow with each item it makes: the smallest of an object's items is its first.
pf::TreeItem CVTND_TreePanelDlg::FindItem(const void* object) const
{
    pf::TreeItem first = 0;
    for (auto [it, end] = m_items.equal_range(object); it != end; ++it)
        if (first == 0 || it->second < first)
            first = it->second;
    return first;
}

std::vector<pf::TreeItem> CVTND_TreePanelDlg::ItemsOf(const void* object) const
{
    std::vector<pf::TreeItem> out;
    for (auto [it, end] = m_items.equal_range(object); it != end; ++it)
        out.push_back(it->second);
    std::sort(out.begin(), out.end()); // in the order they were made
    return out;
}

pf::TreeItem CVTND_TreePanelDlg::InsertEntry(pf::TreeItem parent, const CVTND_Object& object, const std::string& text,
                                             int32_t image)
{
    pf::TreeView* tree = GetTree();
    if (tree == nullptr)
        return 0;
    const pf::TreeItem item =
        tree->insertItem(parent, pf::TVI_LAST, text, image, image, static_cast<pf::LParam>(m_entries.size()));
    if (item == 0)
        return 0;
    m_entries.push_back(object);
    if (object.GetObject() != nullptr)
        m_items.emplace(object.GetObject(), item);
    return item;
}

bool CVTND_TreePanelDlg::RemoveObject(const void* object)
{
    pf::TreeView* tree = GetTree();
    if (tree == nullptr || object == nullptr || m_items.count(object) == 0)
        return false;
    for (const pf::TreeItem item : ItemsOf(object)) {
        if (!tree->exists(item))
            continue;
        // What lies under the item goes with it: its entries are forgotten first.
        std::vector<pf::TreeItem> stack{item};
        while (!stack.empty()) {
            const pf::TreeItem at = stack.back();
            stack.pop_back();
            const size_t index = static_cast<size_t>(tree->getItemData(at));
            if (index < m_entries.size()) {
                const void* named = m_entries[index].GetObject();
                for (auto [it, end] = m_items.equal_range(named); it != end;)
                    it = it->second == at ? m_items.erase(it) : std::next(it);
                m_entries[index] = CVTND_Object();
            }
            for (pf::TreeItem c = tree->getChildItem(at); c != 0; c = tree->getNextSiblingItem(c))
                stack.push_back(c);
        }
        tree->deleteItem(item);
    }
    return true;
}

CVTND_Object CVTND_TreePanelDlg::EntryOf(pf::TreeItem item) const
{
    const pf::TreeView* tree = GetTree();
    if (tree == nullptr || item == 0 || !tree->exists(item))
        return {};
    const size_t index = static_cast<size_t>(tree->getItemData(item));
    return index < m_entries.size() ? m_entries[index] : CVTND_Object();
}

CVTND_Object CVTND_TreePanelDlg::SelectedEntry() const
{
    const pf::TreeView* tree = GetTree();
    return tree != nullptr ? EntryOf(tree->getSelectedItem()) : CVTND_Object();
}

size_t CVTND_TreePanelDlg::CountItems() const
{
    const pf::TreeView* tree = GetTree();
    return tree != nullptr ? static_cast<size_t>(tree->getCount()) : 0;
}

void CVTND_TreePanelDlg::Empty()
{
    if (pf::TreeView* tree = GetTree())
        tree->deleteAllItems();
    m_entries.clear();
    m_items.clear();
}

void CVTND_TreePanelDlg::OnNotifyRecord(const pf::NMHDR& header, pf::LParam record)
{
    if (header.idFrom != static_cast<uintptr_t>(kPanelMainControl))
        return;
    switch (header.code) {
    case pf::TVN_BEGINDRAG: {
        const CVTND_Object object = EntryOf(pf::notifyRecord<pf::NMTREEVIEW>(record)->itemNew.hItem);
        if (IsDraggable(object))
            StartPaletteDrag(object);
        break;
    }
    case pf::TVN_SELCHANGED:
        OnSelection(EntryOf(pf::notifyRecord<pf::NMTREEVIEW>(record)->itemNew.hItem));
        break;
    case pf::NM_RETURN:
    case pf::NM_DBLCLK:
        OnDoubleClick(SelectedEntry());
        break;
    case pf::NM_RCLICK:
        OnContextMenu(SelectedEntry());
        break;
    default:
        break;
    }
}
