#pragma once
// The content dialogs of the docking panels. CVTND_PanelDlg is what every panel shares: it registers with the
// application by role while its window lives, follows the designer's notification, refills from the world after a
// rebuild, starts palette drags through the editor engine and opens editors. CVTND_ListPanelDlg lists objects of one
// type in a report list whose texts come by callback from the objects themselves; CVTND_TreePanelDlg keeps a tree
// whose items name entries of the panel.
//
// Items never outlive their objects: a code 9 (the workspace closing) empties every list before the old world goes,
// and a code 2 removes the item while its object still lives. The refill after a rebuild is posted, so it runs once
// the new workspace is in place.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/project_object.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/tree_view.h"
#include "platform/ui/dialog/dialog.h"

class CVTND_Event;
class UIObject;
class CVTND_ExtendedWorld;

inline constexpr uint32_t kMsgPanelRefill = pf::WM_USER + 250; // posted: the panel fills from the current world
inline constexpr int32_t kPanelMainControl = 25100;            // the list or tree of every panel

class CVTND_PanelDlg : public pf::Dialog {
public:
    CVTND_PanelDlg(CVTNDesignerApp& app, PanelRole role, int32_t idd) : m_app(app), m_role(role), m_idd(idd) {}
    ~CVTND_PanelDlg() override;

    // The window inside parent at rect, registered by role and filled from the current world.
    bool CreateIn(pf::Window& parent, const pf::Rect& rect);
    PanelRole GetRole() const { return m_role; }
    void Refill(); // emptied, then filled from the application's world (left empty without one)
    virtual void Empty() = 0;
    // The small object pictures (the scene-graph tree's list of the editor images) and the index there of object
    // icon objectIcon (as the map and palette objects number them); null and -1 without the editor images.
    static pf::ImageListRef SmallObjectImages();
    static int32_t SmallObjectImage(int32_t objectIcon);

protected:
    pf::LResult handle(const pf::Msg& msg) override;
    bool onInitDialog() override;
    void onOK() override {} // Enter and Esc never hide a panel
    void onCancel() override {}
    void postNcDestroy() override;

    virtual void Fill(CVTND_ExtendedWorld& world) = 0;
    virtual void OnObjectEvent(const CVTND_Event& event) = 0; // every code but 9
    virtual void OnWorkspaceClosing() {}                      // code 9, before the lists are emptied
    virtual void OnNotifyRecord(const pf::NMHDR& header, pf::LParam record) { (void)header, (void)record; }
    virtual void OnCommand(int32_t id) { (void)id; }
    virtual void Layout(const pf::Rect& client); // the main control fills the client area

    // The palette object of object made the drag list's only entry, then the drag begun at the cursor; false, with
    // nothing begun, without an engine or a palette type for object.
    bool StartPaletteDrag(const CVTND_Object& object);
    static void SetPaletteContent(UIObject& palette, const CVTND_Object& object);
    void OpenEditor(const CVTND_Object& object); // its editor near the cursor
    CVTND_ExtendedWorld* World() const { return m_app.GetWorld(); }

    CVTNDesignerApp& m_app; // the designer's; outlives every panel

private:
    PanelRole m_role;
    int32_t m_idd;
    bool m_registered = false;
};

// A report list of one object type; item data is the object, texts come by callback while it paints.
class CVTND_ListPanelDlg : public CVTND_PanelDlg {
public:
    CVTND_ListPanelDlg(CVTNDesignerApp& app, PanelRole role, int32_t idd, ObjectType type)
        : CVTND_PanelDlg(app, role, idd), m_type(type)
    {
    }

    pf::ListView* GetList() const { return item<pf::ListView>(kPanelMainControl); }
    int32_t FindItem(const void* object) const;       // -1 when not listed
    bool AddItem(void* object);                       // appended when not listed yet; false when listed or no list
    void AddItems(const std::vector<void*>& objects); // each as AddItem, in time linear in them and the list
    bool RemoveItem(const void* object);              // false when not listed
    std::vector<void*> Items() const;                 // in list order
    void* SelectedObject() const;                     // null without a selection
    void Empty() override;

protected:
    bool onInitDialog() override;
    void OnObjectEvent(const CVTND_Event& event) override;
    void OnNotifyRecord(const pf::NMHDR& header, pf::LParam record) override;

    struct Column {
        const char* heading;
        int32_t width;
    };
    virtual std::vector<Column> Columns() const { return {{"Name", 200}}; }
    virtual std::string ItemText(void* object, int32_t column) const = 0;
    virtual pf::ImageListRef Images() { return SmallObjectImages(); } // the list's small images, once at start
    virtual int32_t ItemImage(void* object) const { return (void)object, SmallObjectImage(m_objectIcon); }
    virtual bool IsDraggable() const { return true; }
    virtual void OnSelection(void* object) { (void)object; }
    CVTND_Object ObjectOf(void* object) const { return CVTND_Object(m_type, object); }

    ObjectType m_type;
    int32_t m_objectIcon = -1; // the object icon of every item; -1: none

private:
    mutable std::string m_text; // the last callback text, alive until the list copies it
};

// A tree whose item data is an index into the panel's entries; entries are objects of any type.
class CVTND_TreePanelDlg : public CVTND_PanelDlg {
public:
    using CVTND_PanelDlg::CVTND_PanelDlg;

    pf::TreeView* GetTree() const { return item<pf::TreeView>(kPanelMainControl); }
    pf::TreeItem FindItem(const void* object) const; // the first item of object; 0 when not listed
    std::vector<pf::TreeItem> ItemsOf(const void* object) const;
    // A new item under parent (pf::TVI_ROOT at the top) for object; 0 when parent is not an item.
    pf::TreeItem InsertEntry(pf::TreeItem parent, const CVTND_Object& object, const std::string& text,
                             int32_t image = -1);
    bool RemoveObject(const void* object); // every item of object, with what lies under them
    CVTND_Object EntryOf(pf::TreeItem item) const;
    CVTND_Object SelectedEntry() const;
    size_t CountItems() const;
    void Empty() override;

protected:
    void UseObjectImages(); // the small object pictures as the tree's images, unless it has some
    void OnNotifyRecord(const pf::NMHDR& header, pf::LParam record) override;
    virtual bool IsDraggable(const CVTND_Object& object) const { return !object.IsEmpty(); }
    virtual void OnSelection(const CVTND_Object& object) { (void)object; }
    virtual void OnDoubleClick(const CVTND_Object& object) { OpenEditor(object); }
    virtual void OnContextMenu(const CVTND_Object& object) { (void)object; }

private:
    std::vector<CVTND_Object> m_entries; // by item data; emptied entries stay, so indices hold
    // The items of each object: a panel of a large world holds tens of thousands, found by object at every change.
    std::unordered_multimap<const void*, pf::TreeItem> m_items;
};
