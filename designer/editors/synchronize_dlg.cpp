#include "designer/editors/synchronize_dlg.h"

#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/engine_interface.h"
#include "designer/app/extended_world.h"
#include "designer/app/project.h"
#include "designer/app/registry.h"
#include "designer/app/startup.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/editor_images.h"
#include "designer/editing/map_object.h"
#include "designer/editors/remove_files_dlg.h"
#include "engine/core/sub_worlds.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/tree_view.h"

namespace {

constexpr int32_t kIdTree = 1000;
constexpr int32_t kIdApplyToAll = 1194;

int32_t RunSynchronize(CVTNDesignerApp& app, const CVTND_ModalRequest& request)
{
    if (app.GetProject() == nullptr)
        return -1;
    CVTND_SynchronizeDlg dialog(*app.GetProject());
    return dialog.doModal(CVTND_SynchronizeDlg::kIdd, request.owner);
}

const CVTND_ModalToolRegistration kSynchronizeTool(ModalTool::kSynchronizeSceneFiles, &RunSynchronize);

} // namespace

bool CVTND_SynchronizeDlg::onInitDialog()
{
    auto* tree = item<pf::TreeView>(kIdTree);
    if (const CVTND_EditorImages* images = GetEditorImages(); images != nullptr && tree != nullptr)
        tree->setImageList(images->List(EditorImageList::kSceneFile), pf::TVSIL_NORMAL);
    if (m_project.GetAddedFiles().GetFirst() == nullptr)
        child(pf::IDOK)->enable(false);
    if (tree != nullptr)
        FillSceneFileTree(*tree, m_project);
    if (auto* all = item<pf::Button>(kIdApplyToAll))
        all->setCheck(m_project.GetApplyToAll() != 0 ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    ShowOptions();
    return true;
}

CVTN_SubWorld* CVTND_SynchronizeDlg::SelectedEntry() const
{
    const auto* tree = item<pf::TreeView>(kIdTree);
    const pf::TreeItem selected = tree != nullptr ? tree->getSelectedItem() : 0;
    return selected != 0 ? reinterpret_cast<CVTN_SubWorld*>(tree->getItemData(selected)) : nullptr;
}

void CVTND_SynchronizeDlg::ShowOptions()
{
    const CVTN_SubWorld* entry = SelectedEntry();
    if (entry == nullptr)
        return;
    for (size_t k = 0; k < kOptionBoxes.size(); ++k)
        if (auto* box = item<pf::Button>(kOptionBoxes[k]))
            box->setCheck(entry->GetOption(static_cast<int>(k)) != 0 ? pf::BST_CHECKED : pf::BST_UNCHECKED);
}

void CVTND_SynchronizeDlg::OptionClicked(size_t option)
{
    std::vector<CVTN_SubWorld*> targets;
    if (m_project.GetApplyToAll() != 0) {
        for (CVTN_SubWorld* e = m_project.GetAddedFiles().GetFirst(); e != nullptr; e = CVTN_SubWorlds::GetNext(e))
            targets.push_back(e);
    } else if (CVTN_SubWorld* selected = SelectedEntry()) {
        targets.push_back(selected);
    }
    SWworldlock lock(m_project.GetWorld());
    for (CVTN_SubWorld* entry : targets)
        entry->SetOption(static_cast<int>(option), entry->GetOption(static_cast<int>(option)) != 0 ? 0 : 1);
}

pf::LResult CVTND_SynchronizeDlg::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_NOTIFY) {
        const auto* header = pf::notifyRecord<const pf::NMHDR>(msg.lParam);
        if (header != nullptr && header->idFrom == kIdTree && header->code == pf::TVN_SELCHANGED) {
            ShowOptions();
            return 0;
        }
    }
    if (msg.message == pf::WM_COMMAND && pf::hiWord(msg.wParam) == pf::BN_CLICKED) {
        const int32_t id = pf::loWord(msg.wParam);
        if (id == kIdApplyToAll) {
            const auto* all = item<pf::Button>(kIdApplyToAll);
            m_project.SetApplyToAll(all != nullptr && all->getCheck() == pf::BST_CHECKED ? 1 : 0);
            return 0;
        }
        for (size_t k = 0; k < kOptionBoxes.size(); ++k)
            if (kOptionBoxes[k] == id) {
                OptionClicked(k);
                return 0;
            }
    }
    return Dialog::handle(msg);
}

void CVTND_SynchronizeDlg::onOK()
{
    CVTNDesignerApp* app = GetDesignerApp();
    auto* tree = item<pf::TreeView>(kIdTree);
    if (tree != nullptr) {
        for (pf::TreeItem i = tree->getChildItem(pf::TVI_ROOT); i != 0; i = tree->getNextSiblingItem(i)) {
            if (!tree->getCheck(i))
                continue;
            auto* entry = reinterpret_cast<CVTN_SubWorld*>(tree->getItemData(i));
            if (app != nullptr)
                app->SetModified();
            m_project.SynchronizeSubWorld(this, entry); // whatever it reports, the next file follows
            if (entry->GetFileName())
                tree->setItemText(i, *entry->GetFileName());
        }
    }
    if (app != nullptr) {
        app->RedrawEventMaps();
        if (CEditorEngine* engine = GetEditorEngine())
            engine->RefreshActionReceptors();
        app->SetModified();
    }
    m_project.GetWorld().Invalidate(false);
    if (CVTND_Designer* designer = CVTND_Designer::Current())
        designer->DrainReports();
}
