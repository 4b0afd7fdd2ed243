#include "designer/eventedit/stereo_editor_dlg.h"

#include "designer/app/world_write_lock.h"
#include "designer/eventedit/text_action_editors.h"
#include "designer/workspace/editor_texts.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/scene_handlers.h"
#include "engine/core/camera_node.h"
#include "engine/core/node.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"

namespace {

const CVTND_EditorRegistration kStereoEditor(ObjectType::kAction, 37,
                                             &MakeActionEditor<CVTND_ActionStereoscopicFeaturesDlg>);

SWstereoaction* StereoOf(SWactionnode* action)
{
    return dynamic_cast<SWstereoaction*>(action);
}

} // namespace

CVTND_ActionStereoscopicFeaturesDlg::CVTND_ActionStereoscopicFeaturesDlg(SWactionnode* action, CVTND_EditDialog* record)
    : CVTND_ActionEditorDlg(action, record)
{
    const SWstereoaction* stereo = StereoOf(action);
    m_openedEnabled = stereo != nullptr ? stereo->settings.stereoOn : 0;
    // The render thread's stereo actions write the world's stereo byte under the world's lock.
    if (SWworld* world = action != nullptr ? action->GetWorld() : nullptr) {
        SWworldlock lock(*world);
        m_openedWorldStereo = world->GetStereo();
    }
}

bool CVTND_ActionStereoscopicFeaturesDlg::onInitDialog()
{
    const SWstereoaction* stereo = StereoOf(Action());
    if (stereo == nullptr)
        return true;
    item<pf::Button>(kIdEnabled)->setCheck(stereo->settings.stereoOn != 0 ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    auto* techniques = item<pf::ComboBox>(kIdTechnique);
    techniques->resetContent();
    techniques->insertString(0, EditorTextOf(kIdsInterlaced));
    techniques->insertString(1, EditorTextOf(kIdsColorCoding));
    techniques->setCurSel(stereo->settings.eye == 2 ? 1 : 0);
    Preview();
    return true;
}

SWnode* CVTND_ActionStereoscopicFeaturesDlg::Target() const
{
    const char* name = ArgumentText(*Action(), 0);
    const SWworld* world = Action()->GetWorld();
    if (name == nullptr || world == nullptr || world->GetRootNode() == nullptr)
        return nullptr;
    return world->GetRootNode()->FindByName(name);
}

void CVTND_ActionStereoscopicFeaturesDlg::Preview()
{
    SWnode* target = Target();
    SWworld* world = Action()->GetWorld();
    if (target == nullptr || world == nullptr)
        return;
    SWworldlock lock(*world);
    DoActionStereoVision(world, target, StereoOf(Action()));
}

void CVTND_ActionStereoscopicFeaturesDlg::onCancel()
{
    if (SWstereoaction* stereo = StereoOf(Action())) {
        CVTND_WorldWriteLock lock(Action()->GetWorld());
        stereo->settings.stereoOn = m_openedEnabled;
    }
    DestroyWindow();
}

void CVTND_ActionStereoscopicFeaturesDlg::OnClosing()
{
    SWworld* world = Action()->GetWorld();
    if (world == nullptr)
        return;
    SWworldlock lock(*world);
    for (const SWlistnode* n = world->GetCameraList().Head(); n != nullptr; n = n->Next()) {
        if (SWcameranode* camera = static_cast<const SWcameraentry*>(n)->node)
            camera->SetStereoEye(false);
    }
    // The preview switched the world's byte on, and the world's file saves it: a preview is not a change.
    world->SetStereo(m_openedWorldStereo);
    world->Invalidate(false);
}

pf::LResult CVTND_ActionStereoscopicFeaturesDlg::handle(const pf::Msg& msg)
{
    SWstereoaction* stereo = StereoOf(Action());
    if (msg.message == pf::WM_COMMAND && stereo != nullptr) {
        const int32_t id = pf::loWord(msg.wParam);
        const int32_t code = pf::hiWord(msg.wParam);
        if (id == kIdEnabled && code == pf::BN_CLICKED) {
            {
                CVTND_WorldWriteLock lock(Action()->GetWorld());
                stereo->settings.stereoOn = stereo->settings.stereoOn != 0 ? 0 : 1;
            }
            Preview();
            return 0;
        }
        if (id == kIdTechnique && code == pf::CBN_SELCHANGE) {
            const uint8_t eye = item<pf::ComboBox>(kIdTechnique)->getCurSel() == 1 ? 2 : 1;
            if (Target() != nullptr && eye != stereo->settings.eye) {
                {
                    CVTND_WorldWriteLock lock(Action()->GetWorld());
                    stereo->settings.eye = eye;
                }
                Preview();
            }
            return 0;
        }
    }
    return CVTND_ActionEditorDlg::handle(msg);
}
