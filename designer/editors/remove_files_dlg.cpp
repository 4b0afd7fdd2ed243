#include "designer/editors/remove_files_dlg.h"

#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/project.h"
#include "designer/app/registry.h"
#include "designer/editing/editor_images.h"
#include "designer/editors/world_texts.h"
#include "engine/core/sub_worlds.h"
#include "platform/ui/controls/tree_view.h"
#include "platform/ui/providers/providers.h"

namespace {

constexpr int32_t kIdTree = 1000;
constexpr int32_t kIdRemove = 1163;

int32_t RunRemoveFiles(CVTNDesignerApp& app, const CVTND_ModalRequest& request)
{
    if (app.GetProject() == nullptr)
        return -1;
    CVTND_RemoveVTNFilesDlg dialog(*app.GetProject());
    return dialog.doModal(CVTND_RemoveVTNFilesDlg::kIdd, request.owner);
}

const CVTND_ModalToolRegistration kRemoveFilesTool(ModalTool::kRemoveSceneFiles, &RunRemoveFiles);

} // namespace

void FillSceneFileTree(pf::TreeView& tree, CVTND_Project& project)
{
    tree.deleteAllItems();
    const CVTND_EditorImages* images = GetEditorImages();
    const int32_t icon = images != nullptr ? images->SceneFileIndex() : -1;
    const CVTN_SubWorld* first = project.GetAddedFiles().GetFirst();
    for (CVTN_SubWorld* e = project.GetAddedFiles().GetFirst(); e != nullptr; e = CVTN_SubWorlds::GetNext(e)) {
        if (!e->GetFileName())
            continue;
        const pf::TreeItem item =
            tree.insertItem(pf::TVI_ROOT, pf::TVI_LAST, *e->GetFileName(), icon, icon, reinterpret_cast<pf::LParam>(e));
        if (e == first)
            tree.selectItem(item);
    }
}

bool CVTND_RemoveVTNFilesDlg::onInitDialog()
{
    auto* tree = item<pf::TreeView>(kIdTree);
    if (const CVTND_EditorImages* images = GetEditorImages(); images != nullptr && tree != nullptr)
        tree->setImageList(images->List(EditorImageList::kSceneFile), pf::TVSIL_NORMAL);
    if (tree != nullptr)
        FillSceneFileTree(*tree, m_project);
    if (m_project.GetAddedFiles().GetFirst() == nullptr)
        child(kIdRemove)->enable(false);
    return true;
}

pf::LResult CVTND_RemoveVTNFilesDlg::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_COMMAND && pf::loWord(msg.wParam) == kIdRemove &&
        pf::hiWord(msg.wParam) == pf::BN_CLICKED) {
        RemoveChecked();
        return 0;
    }
    return Dialog::handle(msg);
}

void CVTND_RemoveVTNFilesDlg::RemoveChecked()
{
    auto* tree = item<pf::TreeView>(kIdTree);
    if (tree == nullptr)
        return;
    // The entries first: removing one deletes it, and the tree is filled again afterwards.
    std::vector<CVTN_SubWorld*> checked;
    for (pf::TreeItem i = tree->getChildItem(pf::TVI_ROOT); i != 0; i = tree->getNextSiblingItem(i))
        if (tree->getCheck(i))
            checked.push_back(reinterpret_cast<CVTN_SubWorld*>(tree->getItemData(i)));
    if (checked.empty())
        return; // nothing to confirm: a question about no files, answered Yes, marked the project changed
    if (pf::messageBox(hwnd(), WorldTextOf(kIdsRemoveFilesAsk), WorldTextOf(kIdsRemoveFilesCaption),
                       pf::MB_YESNO | pf::MB_ICONEXCLAMATION) != pf::IDYES)
        return;
    CVTNDesignerApp* app = GetDesignerApp();
    if (app != nullptr)
        app->SetModified();
    for (CVTN_SubWorld* entry : checked)
        m_project.RemoveSubWorld(entry);
    FillSceneFileTree(*tree, m_project);
    m_project.GetWorld().Invalidate(false);
    if (app != nullptr)
        app->RedrawEventMaps();
}
