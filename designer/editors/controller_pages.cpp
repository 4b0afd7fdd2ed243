#include "designer/editors/controller_pages.h"

#include <optional>
#include <string>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/world_write_lock.h"
#include "designer/editing/editor_engine.h"
#include "designer/editors/controller_keyframe_pages.h"
#include "designer/editors/controller_texts.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/generator_slot.h"
#include "designer/workspace/movable_target_picker.h"
#include "designer/workspace/value_generator.h"
#include "designer/workspace/workspace_messages.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/speech_motion.h"
#include "engine/behaviour/track_target_motion.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "engine/resources/speech_data.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/dc.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"

namespace {

constexpr int32_t kGroup = 1353;
constexpr int32_t kPicker = 1003;
constexpr uint32_t kKindRotate = SWxyzmotion::kRotate;
constexpr uint32_t kKindScale = SWxyzmotion::kScale;
constexpr int32_t kAxisControls[] = {1004, 1005, 1006};
constexpr int32_t kAxisLabels[] = {1359, 1360, 1361};
constexpr pf::ColorRef kAxisColours[] = {pf::rgb(170, 0, 0), pf::rgb(0, 119, 0), pf::rgb(0, 0, 170)};
constexpr const char* kRotationOrders[] = {"XYZ", "XZY", "YZX", "YXZ", "ZXY", "ZYX", "XYX", "YZY", "ZXZ"};
constexpr const char* kSpeechSoundName = "Mouthworks Sound";

SWnode* FindFromRoot(const std::string& name)
{
    SWworld* world = DesignerWorld();
    SWnode* root = world != nullptr ? world->GetRootNode() : nullptr;
    return root != nullptr ? root->FindByName(name) : nullptr;
}

// The labels' brush, made once and kept for the process: a control may ask for it at any paint.
const pf::Brush& FaceBrush()
{
    static const pf::Brush brush = pf::createSolidBrush(pf::getSysColor(pf::COLOR_BTNFACE));
    return brush;
}

} // namespace

// -- The page base

bool CVTND_ControllerPage::Show(CVTND_ActionControllerDlg& host)
{
    m_host = &host;
    if (!create(m_idd, &host))
        return false;
    show(pf::SW_SHOW);
    return true;
}

bool CVTND_ControllerPage::onInitDialog()
{
    // 5 pixels right of and 50 below the host's corner, between its frame group and its common controls.
    const pf::Rect r = clientRect();
    move(pf::Rect::fromXywh(5, 50, r.r, r.b));
    if (m_host != nullptr)
        m_host->Grow(m_growth);
    Open();
    return false;
}

pf::LResult CVTND_ControllerPage::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case kMsgPoseAt:
        if (msg.lParam != 0)
            PoseAt(*reinterpret_cast<const float*>(msg.lParam));
        return 0;
    case kMsgHostActivated:
        HostActivated(msg.wParam != 0);
        return 0;
    case kMsgDesignerNotify:
        if (msg.lParam != 0)
            Notify(*reinterpret_cast<const CVTND_Event*>(msg.lParam));
        return 0;
    case pf::WM_COMMAND:
        if (Command(pf::loWord(msg.wParam), pf::hiWord(msg.wParam)))
            return 0;
        break;
    default:
        break;
    }
    return pf::Dialog::handle(msg);
}

// -- XYZ

SWxyzmotion* CVTND_ControllerMotionXYZDlg::Xyz() const
{
    return dynamic_cast<SWxyzmotion*>(Motion());
}

void CVTND_ControllerMotionXYZDlg::Open()
{
    CVTND_ActionControllerDlg* host = Host();
    SWxyzmotion* motion = Xyz();
    if (host == nullptr || motion == nullptr)
        return;
    const uint32_t kind = motion->GetType();
    const bool rotate = kind == kKindRotate;
    const bool scale = kind == kKindScale;
    host->setText(ControllerTextOf(rotate ? kIdsRotateTitle : scale ? kIdsScaleTitle : kIdsTranslateTitle));
    child(kGroup)->setText(ControllerTextOf(rotate ? kIdsRotateGroup : scale ? kIdsScaleGroup : kIdsTranslateGroup));
    child(1362)->show(rotate ? pf::SW_SHOW : pf::SW_HIDE);
    child(1002)->show(rotate ? pf::SW_SHOW : pf::SW_HIDE);
    child(1012)->show(scale ? pf::SW_SHOW : pf::SW_HIDE);
    child(1013)->show(scale ? pf::SW_SHOW : pf::SW_HIDE);
    if (rotate) {
        auto* order = item<pf::ComboBox>(1002);
        order->resetContent();
        for (const char* name : kRotationOrders)
            order->addString(name);
        order->setCurSel(motion->GetRotationOrder());
    }
    for (const int32_t id : {1004, 1348}) // the duration is the longest of the axes', the motion's to compute
        if (pf::Window* control = host->child(id))
            control->enable(false);
    for (int axis = 0; axis < 3; ++axis) {
        auto* value = item<CVTND_ValueGenerator>(kAxisControls[axis]);
        if (value == nullptr)
            continue;
        value->Initialize();
        if (rotate)
            value->SetUnit(1);
        else if (scale)
            value->SetUnit(3);
        value->AttachValue(CVTND_GeneratorSlot::ForAxis(*motion, axis));
    }
}

bool CVTND_ControllerMotionXYZDlg::Command(int32_t id, int32_t code)
{
    if (id == 1002 && code == pf::CBN_SELCHANGE) {
        const int32_t order = item<pf::ComboBox>(1002)->getCurSel();
        if (SWxyzmotion* motion = Xyz(); motion != nullptr && order >= 0 && order <= 8) {
            CVTND_WorldWriteLock lock(motion->GetWorld());
            motion->SetRotationOrder(static_cast<uint8_t>(order));
        }
        return true;
    }
    return id == 1012 || id == 1013; // absolute and relative change nothing
}

pf::LResult CVTND_ControllerMotionXYZDlg::handle(const pf::Msg& msg)
{
    CVTND_ActionControllerDlg* host = Host();
    switch (msg.message) {
    case workspace_messages::kValueTyped:
        if (host != nullptr)
            host->UpdateControllerPreview(false);
        return 0;
    case workspace_messages::kGeneratorReplaced:
        if (SWxyzmotion* motion = Xyz()) {
            CVTND_WorldWriteLock lock(motion->GetWorld());
            motion->CopyRepeatSettings(); // the new generator takes the motion's loops
        }
        if (host != nullptr)
            host->UpdateControllerPreview(false);
        return 0;
    case workspace_messages::kGeneratorChanged:
        if (msg.wParam >= 1 && msg.wParam <= 3)
            for (const int32_t id : kAxisControls)
                if (auto* value = item<CVTND_ValueGenerator>(id))
                    value->UpdateText();
        if (host != nullptr)
            host->UpdateControllerPreview(false);
        return 0;
    case pf::WM_CTLCOLORSTATIC: {
        const auto control = static_cast<pf::Hwnd>(msg.lParam);
        for (int axis = 0; axis < 3; ++axis) {
            const pf::Window* label = child(kAxisLabels[axis]);
            pf::Dc* dc = pf::dcFromWParam(msg.wParam);
            if (label == nullptr || label->hwnd() != control || dc == nullptr)
                continue;
            dc->setBkMode(pf::TRANSPARENT);
            dc->setBkColor(pf::getSysColor(pf::COLOR_BTNFACE));
            dc->setTextColor(kAxisColours[axis]);
            return pf::resultFromBrush(&FaceBrush());
        }
        break;
    }
    default:
        break;
    }
    return CVTND_ControllerPage::handle(msg);
}

// -- Track target

void CVTND_ControllerMotionRotationTrackTargetDlg::Open()
{
    CVTND_ActionControllerDlg* host = Host();
    auto* motion = dynamic_cast<SWtracktargetmotion*>(Motion());
    if (host == nullptr || motion == nullptr)
        return;
    host->setText(ControllerTextOf(kIdsTrackTargetTitle));
    auto* picker = item<CVTND_MovableTargetPicker>(kPicker);
    if (picker != nullptr)
        picker->EnableDrop();
    if (motion->GetTarget() == nullptr && motion->GetTargetName()) {
        SWnode* found = FindFromRoot(*motion->GetTargetName());
        if (SWobjectnode::FromNode(found) != nullptr) {
            CVTND_WorldWriteLock lock(motion->GetWorld());
            motion->SetTarget(found);
        }
    }
    SWnode* target = motion->GetTarget();
    child(1358)->setText(target != nullptr ? target->GetName().value_or(std::string())
                                           : ControllerTextOf(kIdsNoTarget));
    if (picker != nullptr)
        picker->SetShownItem(CEditorEngine::NodeIcon(target));
    const uint16_t aim = motion->GetAimOption();
    for (uint16_t axis = 0; axis < 3; ++axis)
        item<pf::Button>(1012 + axis)->setCheck(aim == axis ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    item<pf::Button>(1385)->setCheck(motion->GetAimAway() ? pf::BST_CHECKED : pf::BST_UNCHECKED);
}

bool CVTND_ControllerMotionRotationTrackTargetDlg::Command(int32_t id, int32_t code)
{
    auto* motion = dynamic_cast<SWtracktargetmotion*>(Motion());
    if (motion == nullptr || code != pf::BN_CLICKED)
        return false;
    CVTND_WorldWriteLock lock(motion->GetWorld());
    if (id >= 1012 && id <= 1014) {
        motion->SetAimOption(static_cast<uint16_t>(id - 1012));
        return true;
    }
    if (id == 1385) {
        motion->SetAimAway(item<pf::Button>(1385)->getCheck() == pf::BST_CHECKED);
        return true;
    }
    return false;
}

void CVTND_ControllerMotionRotationTrackTargetDlg::Notify(const CVTND_Event& event)
{
    const auto* motion = dynamic_cast<const SWtracktargetmotion*>(Motion());
    const uint16_t t = event.subject.GetType();
    const bool isNode = (t >= 1 && t <= 4) || t == 14;
    if (motion != nullptr && event.Is(EventCode::kRenamed) && isNode && event.secondText &&
        event.secondText == motion->GetTargetName())
        child(1358)->setText(*event.secondText);
}

pf::LResult CVTND_ControllerMotionRotationTrackTargetDlg::handle(const pf::Msg& msg)
{
    if (msg.message != workspace_messages::kNodeDropped)
        return CVTND_ControllerPage::handle(msg);
    auto* motion = dynamic_cast<SWtracktargetmotion*>(Motion());
    auto* node = reinterpret_cast<SWnode*>(msg.lParam);
    if (motion == nullptr || node == nullptr)
        return 0;
    {
        CVTND_WorldWriteLock lock(motion->GetWorld());
        motion->SetTargetName(node->GetName());
        motion->SetTarget(node);
    }
    child(1358)->setText(node->GetName().value_or(std::string()));
    if (auto* picker = item<CVTND_MovableTargetPicker>(kPicker))
        picker->SetShownItem(CEditorEngine::NodeIcon(node));
    return 1;
}

// -- Speech

// The world's first speech data, the nodes it names and the fixed speech sound: the page shows what it bound.
void CVTND_ControllerQJSpeechDlg::Open()
{
    auto* motion = dynamic_cast<SWspeechmotion*>(Motion());
    SWworld* world = DesignerWorld();
    SWspeechdata* speech = world != nullptr ? FindSpeechData(world->GetRootObject()) : nullptr;
    if (motion == nullptr || speech == nullptr)
        return;
    child(1004)->setText(speech->GetName());
    SWobjectnode* animated = SWobjectnode::FromNode(FindFromRoot(speech->GetString(1)));
    if (animated != nullptr)
        child(1005)->setText(animated->GetName().value_or(std::string()));
    if (SWnode* second = FindFromRoot(speech->GetString(2)))
        child(1006)->setText(second->GetName().value_or(std::string()));
    SWsound* sound = world->GetSoundList().FindByName(kSpeechSoundName);
    CVTND_WorldWriteLock lock(world);
    if (animated != nullptr)
        motion->SetTargetObject(animated);
    motion->SetSpeechData(speech);
    motion->SetSound(sound);
    motion->SetSoundName(sound != nullptr ? std::optional<std::string>(sound->GetName()) : std::nullopt);
}

std::array<std::unique_ptr<CVTND_ControllerPage>, CVTND_ActionControllerDlg::kPageSlots> MakeControllerPages()
{
    std::array<std::unique_ptr<CVTND_ControllerPage>, CVTND_ActionControllerDlg::kPageSlots> pages;
    pages[0] = std::make_unique<CVTND_ControllerMotionXYZDlg>();
    pages[1] = std::make_unique<CVTND_ControllerMotionXYZDlg>();
    pages[2] = std::make_unique<CVTND_ControllerMotionKeyframesDlg>();
    pages[3] = std::make_unique<CVTND_ControllerMotionRotationTrackTargetDlg>();
    pages[5] = std::make_unique<CVTND_ControllerMotionKeyframesJumptoDlg>();
    pages[6] = std::make_unique<CVTND_ControllerMotionVertexKeyframesDlg>();
    pages[7] = std::make_unique<CVTND_ControllerMotionVertexKeyframesJumptoDlg>();
    pages[8] = std::make_unique<CVTND_ControllerMotionXYZDlg>();
    pages[9] = std::make_unique<CVTND_ControllerQJSpeechDlg>();
    return pages;
}
