#pragma once
// CVTND_ScenegraphDlg: the node hierarchy from the root, a group's members listed again under the group. Selecting
// an item makes its object the application's selection, the manipulate panel's and the properties panel's; its
// context menu scales and centres a node or renames the item's object through the registered tools.
#include <set>

#include "designer/workspace/panel_dlg.h"

class DropReceptor;
class SWhotspot;
class SWnode;

// One entry of the tree, as the item that shows it answers: a node (1), a group's member (2) or a hot spot (7).
class CSGnode {
public:
    enum Kind : uint8_t { kNodeEntry = 1, kGroupMember = 2, kHotspotEntry = 7 };
    CSGnode() = default;
    CSGnode(Kind kind, SWnode* node) : m_kind(kind), m_node(node) {}

    uint8_t GetKind() const { return m_kind; }
    SWnode* GetNode() const { return m_kind == kNodeEntry ? m_node : nullptr; } // null for other kinds
    SWhotspot* GetHotspot() const;                                              // null unless a hot spot
    SWnode* GetMember() const { return m_kind == kGroupMember ? m_node : nullptr; }
    SWnode* Shown() const { return m_node; } // whatever the kind

private:
    uint8_t m_kind = 0;
    SWnode* m_node = nullptr; // the world's
};

class CVTND_ScenegraphDlg final : public CVTND_TreePanelDlg {
public:
    static constexpr uint32_t kCmdScaleCenter = 25150;
    static constexpr uint32_t kCmdRename = 25151;

    explicit CVTND_ScenegraphDlg(CVTNDesignerApp& app);

    CSGnode GetEntry(pf::TreeItem item) const;
    // Inserts node's item under group's item; 0 when the panel does not list group.
    static pf::TreeItem InsertItemUnderHotspot(CVTND_ScenegraphDlg* panel, SWnode* group, SWnode* node);
    // The scale and centre tool, modally, for a node of type 1, 2, 3, 4, 14 or 18; false for other types or when
    // no tool is registered.
    bool ScaleCenter(const CVTND_Object& object);
    bool Rename(const CVTND_Object& object); // the registered rename dialog; false when there is none
    static bool CanScaleCenter(const CVTND_Object& object);

protected:
    void Fill(CVTND_ExtendedWorld& world) override;
    void Empty() override;
    void OnObjectEvent(const CVTND_Event& event) override;
    void OnSelection(const CVTND_Object& object) override;
    void OnContextMenu(const CVTND_Object& object) override;
    void postNcDestroy() override;                               // the receptor goes with the tree it names
    void OnWorkspaceClosing() override { m_receptor = nullptr; } // it goes with the engine, deleted next

private:
    void RegisterReceptor(); // the tree as a drop target of the current editor engine, at a fill, once per engine
    pf::TreeItem InsertSubtree(pf::TreeItem parent, SWnode* top);
    void UpdateTexts(SWnode* node);

    std::set<pf::TreeItem> m_memberItems; // the items that show a group's member
    DropReceptor* m_receptor = nullptr;   // owned by the engine that holds it; compared by address only
};
