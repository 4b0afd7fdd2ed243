#include "designer/workspace/tree_panels.h"

#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/editor_images.h"
#include "designer/workspace/list_panels.h"
#include "engine/behaviour/action_kind.h"
#include "engine/core/root_object.h"
#include "engine/core/sub_worlds.h"
#include "engine/resources/material.h"
#include "engine/resources/texture.h"
#include "engine/resources/tooltip.h"

// -- Actions

CVTND_ActionsDlg::CVTND_ActionsDlg(CVTNDesignerApp& app)
    : CVTND_TreePanelDlg(app, PanelRole::kActions, panel_ids::kActions)
{
}

void CVTND_ActionsDlg::Fill(CVTND_ExtendedWorld& world)
{
    pf::TreeView* tree = GetTree();
    const CVTND_EditorImages* images = GetEditorImages();
    if (tree != nullptr && images != nullptr && tree->getImageList(pf::TVSIL_NORMAL) == nullptr)
        tree->setImageList(images->List(EditorImageList::kSmallActions), pf::TVSIL_NORMAL);
    for (const SWactioncategory* category = world.GetActionCategories().GetFirstCategory(); category != nullptr;
         category = static_cast<const SWactioncategory*>(category->Next())) {
        const pf::TreeItem heading = InsertEntry(pf::TVI_ROOT, CVTND_Object(), category->GetName());
        for (SWactionkind* kind = category->GetFirstKind(); kind != nullptr;
             kind = static_cast<SWactionkind*>(kind->Next()))
            if (kind->IsListed())
                InsertEntry(heading, CVTND_Object(ObjectType::kActionKind, kind), kind->GetName().value_or(""),
                            images != nullptr ? CEditorEngine::ActionTypeIcon(kind->GetKindId()) : -1);
        if (tree != nullptr)
            tree->expand(heading, pf::TVE_EXPAND);
    }
}

void CVTND_ActionsDlg::OnObjectEvent(const CVTND_Event&)
{
    // The catalogue is fixed for the life of a world: nothing a notification names changes it.
}

bool CVTND_ActionsDlg::IsDraggable(const CVTND_Object& object) const
{
    return object.IsType(ObjectType::kActionKind);
}

// -- Resources

namespace {
constexpr const char* kHeadings[] = {"Materials", "Textures", "Tooltips", "Loaded worlds"};
}

CVTND_ResourcesDlg::CVTND_ResourcesDlg(CVTNDesignerApp& app)
    : CVTND_TreePanelDlg(app, PanelRole::kResources, panel_ids::kResources)
{
}

void CVTND_ResourcesDlg::Fill(CVTND_ExtendedWorld& world)
{
    UseObjectImages();
    pf::TreeItem headings[4];
    for (size_t i = 0; i < 4; ++i)
        headings[i] = InsertEntry(pf::TVI_ROOT, CVTND_Object(), kHeadings[i]);
    if (const SWrootobject* root = world.GetRootObject()) {
        for (SWmaterial* m = root->GetFirstMaterial(); m != nullptr; m = SWrootobject::GetNextMaterial(m))
            InsertEntry(headings[0], CVTND_Object(m), m->GetName(), SmallObjectImage(9));
        for (SWtexture* t = root->GetFirstTexture(); t != nullptr; t = SWrootobject::GetNextTexture(t)) {
            CVTND_Object object;
            object.InitTexture(t);
            InsertEntry(headings[1], object, t->GetName(), SmallObjectImage(16));
        }
    }
    if (SWtooltips* tooltips = SWtooltips::Find(world))
        for (SWlistnode* node = tooltips->GetList().Head(); node != nullptr; node = node->Next()) {
            auto* tooltip = static_cast<CVTN_ToolTip*>(node);
            CVTND_Object object;
            object.InitTooltip(tooltip);
            InsertEntry(headings[2], object, tooltip->GetName());
        }
    for (CVTN_SubWorld* sub = world.GetSubWorlds().GetFirst(); sub != nullptr; sub = CVTN_SubWorlds::GetNext(sub))
        InsertEntry(headings[3], CVTND_Object(sub), sub->GetName().value_or(sub->GetFileName().value_or("")),
                    SmallObjectImage(12));
    if (pf::TreeView* tree = GetTree())
        for (const pf::TreeItem heading : headings)
            tree->expand(heading, pf::TVE_EXPAND);
}

bool CVTND_ResourcesDlg::Lists(const CVTND_Object& object)
{
    return object.IsType(ObjectType::kMaterial) || object.IsType(ObjectType::kTexture) ||
           object.IsType(ObjectType::kTooltip) || object.IsType(ObjectType::kLoadedWorld);
}

void CVTND_ResourcesDlg::OnObjectEvent(const CVTND_Event& event)
{
    if (!Lists(event.subject))
        return;
    if (event.Is(EventCode::kDeleted))
        RemoveObject(event.subject.GetObject());
    else
        Refill(); // names come from four lists with their own orders: a refill keeps them in the world's order
    // A replaced object is still listed while this notice is sent, and deleted without another once it returns.
    if (event.Is(EventCode::kReplaced))
        RemoveObject(event.subject.GetObject());
}

bool CVTND_ResourcesDlg::IsDraggable(const CVTND_Object& object) const
{
    return object.IsType(ObjectType::kMaterial) || object.IsType(ObjectType::kLoadedWorld);
}
