#include "designer/editors/controller_editor.h"

#include <charconv>
#include <cmath>
#include <iterator>
#include <string>

#include "designer/app/designer_app.h"
#include "designer/app/notification.h"
#include "designer/app/registry.h"
#include "designer/app/world_write_lock.h"
#include "designer/editing/editor_engine.h"
#include "designer/editors/controller_pages.h"
#include "designer/editors/controller_texts.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/movable_target_picker.h"
#include "designer/workspace/number_text.h"
#include "designer/workspace/workspace_messages.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/motion.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/trackbar.h"
#include "platform/ui/providers/providers.h"

namespace {

constexpr int32_t kClose = 1;
constexpr int32_t kDurationEdit = 1004;
constexpr int32_t kDurationSpin = 1348;
constexpr int32_t kPreviewTimeEdit = 1174; // shows the slider's moment, in ms
constexpr int32_t kRepeatEdit = 1173;
constexpr int32_t kLoopRadio = 1373;
constexpr int32_t kRepeatRadio = 1374;
constexpr int32_t kOscillate = 1188;
constexpr int32_t kOwnPivot = 1369;
constexpr int32_t kActualFrame = 1370;
constexpr int32_t kFrameCombo = 1376;
constexpr int32_t kPicker = 1003;
constexpr int32_t kReferenceName = 1390;
constexpr int32_t kFixedButton = 1375;
constexpr int32_t kSlider = 1352;

constexpr uint32_t kBitOwnPivot = SWnodemotion::kFramePivot;
constexpr uint32_t kBitActualFrame = SWnodemotion::kFrameCapture;
constexpr uint32_t kFrameBits[] = {SWnodemotion::kFrameLocal, SWnodemotion::kFrameParent, SWnodemotion::kFrameWorld,
                                   SWnodemotion::kFrameCamera, SWnodemotion::kFrameTarget};
constexpr const char* kFrameNames[] = {"Own frame", "Parent frame", "World frame", "Camera frame", "Target frame"};
constexpr int32_t kOwnFrame = 0;
constexpr int32_t kTargetFrame = 4;

// The host controls a page moves down, by index; 1187 is not one of the host's and yields none.
constexpr int32_t kPageControlIds[] = {1354, 1004, 1348, 1355, 1187, 1373, 1374, 1173, 1188, 1357, 1352, 1174, 1356, 1};

// Motion kind to page slot; -1: no page.
int32_t SlotOfMotionKind(uint32_t kind)
{
    switch (kind) {
    case 2:
        return 0;
    case 3:
        return 1;
    case 1:
        return 2;
    case 4:
        return 3;
    case 6:
        return 5;
    case 7:
        return 6;
    case 8:
        return 7;
    case 11:
        return 8;
    case 14:
        return 9;
    default:
        return -1;
    }
}

// "%f": six decimals, never in a locale's own digits.
std::string FormatFixed(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string("0.000000");
}

bool IsNodeSubject(const CVTND_Object& subject, bool withGroups)
{
    const uint16_t t = subject.GetType();
    return (t >= 1 && t <= 4) || t == 14 || (withGroups && t == 5);
}

pf::Window* MakeControllerEditor(const CVTND_EditorRequest& request)
{
    auto* action = static_cast<SWactionnode*>(request.object);
    if (action == nullptr)
        return nullptr;
    return CVTND_ModelessEditorDlg::Open(std::make_unique<CVTND_ActionControllerDlg>(action, request.record),
                                         CVTND_ActionControllerDlg::kIdd, request.parent);
}

// Of what a save writes, the controller editor changes only its own action: what its preview poses it puts back as
// it closes.
CVTND_EditorRegistration ControllerEditor(int32_t actionKind)
{
    return {ObjectType::kAction, actionKind, &MakeControllerEditor, CVTND_EditorReach::kItsActionOnly};
}

const CVTND_EditorRegistration kControllerEditors[] = {
    ControllerEditor(41), ControllerEditor(42), ControllerEditor(43), ControllerEditor(44),
    ControllerEditor(47), ControllerEditor(50), ControllerEditor(51), ControllerEditor(52),
    ControllerEditor(53), ControllerEditor(59), ControllerEditor(60), ControllerEditor(61),
};

} // namespace

CVTND_ActionControllerDlg::CVTND_ActionControllerDlg(SWactionnode* action, CVTND_EditDialog* record)
    : CVTND_ModelessEditorDlg(static_cast<uint16_t>(ObjectType::kAction), action, record), m_action(action),
      m_snapshot(World()), m_world(World())
{
    m_pages = MakeControllerPages();
}

CVTND_ActionControllerDlg::~CVTND_ActionControllerDlg() = default;

SWnodemotion* CVTND_ActionControllerDlg::Motion() const
{
    return m_action != nullptr ? dynamic_cast<SWnodemotion*>(m_action->GetMotion()) : nullptr;
}

pf::Window* CVTND_ActionControllerDlg::ControllerPageControlId(int32_t index) const
{
    if (index < 0 || index >= static_cast<int32_t>(std::size(kPageControlIds)))
        return nullptr;
    return child(kPageControlIds[index]);
}

// -- Opening

bool CVTND_ActionControllerDlg::onInitDialog()
{
    CVTND_ModelessEditorDlg::onInitDialog();
    m_updating = true;
    m_snapshot.ResetNodeMatrices();
    setText(ControllerTextOf(kIdsControllerTitle));
    SWnodemotion* motion = Motion();
    if (auto* slider = item<pf::Trackbar>(kSlider)) {
        slider->setRange(0, kSliderRange);
        slider->setPos(0);
    }
    FillFrameCombo();
    if (motion == nullptr) {
        DisableMotionControls();
        m_updating = false;
        return true;
    }
    m_cachedDuration = motion->GetDuration();
    child(kDurationEdit)->setText(FormatFixed(m_cachedDuration));
    child(kRepeatEdit)->setText(std::to_string(motion->GetLoopCount()));
    item<pf::Button>(kLoopRadio)->setCheck(motion->IsLoopingForever() ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    item<pf::Button>(kRepeatRadio)->setCheck(motion->IsLoopingForever() ? pf::BST_UNCHECKED : pf::BST_CHECKED);
    item<pf::Button>(kOscillate)->setCheck(motion->IsPingPong() ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    const uint32_t flags = motion->GetOptionFlags();
    int32_t frame = kOwnFrame;
    for (int32_t i = 1; i < 5 && frame == kOwnFrame; ++i)
        if ((flags & kFrameBits[i]) != 0)
            frame = i;
    item<pf::ComboBox>(kFrameCombo)->setCurSel(frame);
    child(kOwnPivot)->enable(frame != kOwnFrame);
    ShowReference(frame == kTargetFrame);
    child(kFixedButton)->show(pf::SW_HIDE);
    item<pf::Button>(kOwnPivot)->setCheck((flags & kBitOwnPivot) != 0 ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    item<pf::Button>(kActualFrame)->setCheck((flags & kBitActualFrame) != 0 ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    auto* picker = item<CVTND_MovableTargetPicker>(kPicker);
    if (picker != nullptr)
        picker->EnableDrop();
    ResolveReference();
    ShowReferenceName();
    if (picker != nullptr)
        picker->SetShownItem(CEditorEngine::NodeIcon(motion->GetTargetNode()));
    m_updating = false;
    SelectControllerPage();
    UpdateControllerPreview(false);
    return true;
}

void CVTND_ActionControllerDlg::FillFrameCombo()
{
    auto* combo = item<pf::ComboBox>(kFrameCombo);
    combo->resetContent();
    for (const char* name : kFrameNames)
        combo->addString(name);
}

// A reference named but not found is looked up from the root; a name that finds no object node is dropped.
void CVTND_ActionControllerDlg::ResolveReference()
{
    SWnodemotion* motion = Motion();
    if (motion == nullptr || motion->GetTargetNode() != nullptr || !motion->GetTargetNodeName())
        return;
    SWnode* root = m_world != nullptr ? m_world->GetRootNode() : nullptr;
    SWnode* found = root != nullptr ? root->FindByName(*motion->GetTargetNodeName()) : nullptr;
    CVTND_WorldWriteLock lock(m_world);
    if (SWobjectnode::FromNode(found) != nullptr) {
        motion->SetTargetNode(found);
    } else {
        motion->SetTargetNode(nullptr);
        motion->SetTargetNodeName(std::nullopt);
    }
}

void CVTND_ActionControllerDlg::DisableMotionControls()
{
    for (const int32_t id : {kDurationEdit, kDurationSpin, kLoopRadio, kRepeatRadio, kRepeatEdit, kOscillate,
                             kFrameCombo, kOwnPivot, kActualFrame, kPicker, kSlider})
        if (pf::Window* control = child(id))
            control->enable(false);
    ShowReference(false);
    child(kFixedButton)->show(pf::SW_HIDE);
}

void CVTND_ActionControllerDlg::ShowReference(bool show)
{
    for (const int32_t id : {kReferenceName, kPicker})
        if (pf::Window* control = child(id))
            control->show(show ? pf::SW_SHOW : pf::SW_HIDE);
    if (!show)
        child(kFixedButton)->show(pf::SW_HIDE);
}

void CVTND_ActionControllerDlg::ShowReferenceName()
{
    SWnodemotion* motion = Motion();
    SWnode* node = motion != nullptr ? motion->GetTargetNode() : nullptr;
    child(kReferenceName)
        ->setText(node != nullptr ? node->GetName().value_or(std::string()) : ControllerTextOf(kIdsNoNode));
}

// -- Pages

void CVTND_ActionControllerDlg::SelectControllerPage()
{
    SWnodemotion* motion = Motion();
    ShowControllerPage(motion != nullptr ? SlotOfMotionKind(motion->GetType() & 0xFF) : -1);
}

void CVTND_ActionControllerDlg::ShowControllerPage(int32_t slot)
{
    if (m_current != nullptr && m_current->isWindow())
        m_current->destroy();
    m_current = nullptr;
    m_pageIndex = slot;
    if (slot < 0 || slot >= kPageSlots || m_pages[static_cast<size_t>(slot)] == nullptr)
        return;
    CVTND_ControllerPage* page = m_pages[static_cast<size_t>(slot)].get();
    if (!page->Show(*this))
        return;
    m_current = page;
    // Tab follows the order of the children: the controls the page moved down come after it again, so that the
    // page is walked where it lies, between the frame group and them, not after Close.
    for (int32_t i = 0; i < static_cast<int32_t>(std::size(kPageControlIds)); ++i)
        if (pf::Window* control = ControllerPageControlId(i))
            control->setPos(pf::HWND_TOP, {}, pf::SWP_NOMOVE | pf::SWP_NOSIZE);
}

void CVTND_ActionControllerDlg::Grow(int32_t pixels)
{
    const pf::Rect r = screenRect();
    move({r.l, r.t, r.r, r.b + pixels});
    for (int32_t i = 0; i < static_cast<int32_t>(std::size(kPageControlIds)); ++i) {
        pf::Window* control = ControllerPageControlId(i);
        if (control == nullptr)
            continue;
        const pf::Rect c = control->windowRect();
        control->move({c.l, c.t + pixels, c.r, c.b + pixels});
    }
}

// -- Preview

float CVTND_ActionControllerDlg::PreviewTime() const
{
    const SWnodemotion* motion = Motion();
    const auto* slider = item<pf::Trackbar>(kSlider);
    if (motion == nullptr || slider == nullptr)
        return 0.0f;
    return motion->GetDuration() * static_cast<float>(slider->getPos()) * 0.001f;
}

void CVTND_ActionControllerDlg::UpdateControllerPreview(bool skipPose)
{
    SWnodemotion* motion = Motion();
    if (motion == nullptr)
        return;
    if (static_cast<double>(motion->GetDuration()) != m_cachedDuration) {
        m_cachedDuration = motion->GetDuration();
        m_updating = true;
        child(kDurationEdit)->setText(FormatFixed(m_cachedDuration));
        m_updating = false;
    }
    float t = PreviewTime();
    if (pf::Window* shown = child(kPreviewTimeEdit))
        shown->setText(FormatNumberG(t));
    if (skipPose || (m_world != nullptr && m_world->IsRunning()))
        return; // a running preview shows the motion itself
    const uint32_t kind = motion->GetType() & 0xFF;
    if (kind == 1 || kind == 6 || kind == 7 || kind == 8) {
        if (m_current != nullptr && m_current->isWindow())
            m_current->send(kMsgPoseAt, 0, reinterpret_cast<pf::LParam>(&t));
        return;
    }
    PoseNodes(t);
}

// The named nodes alone, or every top object node when the action names none, each from its rest matrix: a pose
// depends on t alone, however often the slider moved, and children follow their parents.
void CVTND_ActionControllerDlg::PoseNodes(float t)
{
    SWnodemotion* motion = Motion();
    if (m_world == nullptr || m_world->GetRootNode() == nullptr)
        return;
    // Only a node that moves is posed, and only a move redraws: the pose at 0 as the editor opens is most often the
    // rest, and a redraw restarts the views' refinement, whose frames hold the world a large scene's drawing long.
    bool moved = false;
    {
        CVTND_WorldWriteLock lock(m_world);
        // The XYZ motions step by increments: from an unstepped clock the increment to t is the whole pose at t.
        motion->Reset(false);
        motion->SetTime(t);
        const SWmatrix m = motion->GetMatrix(true);
        if (m_action->GetSuppress() != 0)
            return;
        SWnode* const root = m_world->GetRootNode();
        const auto pose = [this, &m, &moved](SWobjectnode& object) {
            SWmatrix posed;
            object.GetInitialMatrix().Multiply(posed, m);
            if (object.GetLocalMatrix() == posed)
                return;
            m_snapshot.NotePose();
            object.SetLocalMatrix(posed);
            moved = true;
        };
        if (m_action->GetArguments().Count() == 0) {
            for (SWnode* n = root; n != nullptr; n = n->NextInTree(root)) {
                SWobjectnode* object = SWobjectnode::FromNode(n);
                if (object == nullptr || object->GetTransformVariable() == nullptr || n == root)
                    continue;
                bool topmost = true;
                for (SWnode* up = n->GetParentNode(); up != nullptr && up != root && topmost; up = up->GetParentNode())
                    topmost = SWobjectnode::FromNode(up) == nullptr;
                if (topmost)
                    pose(*object);
            }
        } else {
            for (const SWlistnode* a = m_action->GetArguments().Head(); a != nullptr; a = a->Next()) {
                const char* name = static_cast<const SWdatanode*>(a)->GetText();
                SWobjectnode* object = name != nullptr ? SWobjectnode::FromNode(root->FindByName(name)) : nullptr;
                if (object != nullptr && object->GetTransformVariable() != nullptr)
                    pose(*object);
            }
        }
    }
    if (moved)
        m_world->Invalidate(false);
}

void CVTND_ActionControllerDlg::Broadcast()
{
    CVTNDesignerApp* app = App();
    if (app == nullptr || m_action == nullptr)
        return;
    CVTND_Event record(EventCode::kChanged, CVTND_Object(m_action));
    record.detail = static_cast<uint32_t>(EventDetail::kPlaySound); // detail 1: a controller's change
    record.related[0] = CVTND_Object(m_action->GetEvent());
    record.sender = hwnd();
    app->Broadcast(record);
}

// -- Messages

pf::LResult CVTND_ActionControllerDlg::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case pf::WM_COMMAND:
        if (OnCommand(pf::loWord(msg.wParam), pf::hiWord(msg.wParam)))
            return 0;
        break;
    case pf::WM_HSCROLL:
        if (const auto* slider = item<pf::Trackbar>(kSlider);
            slider != nullptr && static_cast<pf::Hwnd>(msg.lParam) == slider->hwnd()) {
            UpdateControllerPreview(false);
            return 0;
        }
        break;
    case workspace_messages::kNodeDropped:
        OnNodeDropped(reinterpret_cast<SWnode*>(msg.lParam));
        return 1;
    case pf::WM_NCACTIVATE: {
        const bool active = msg.wParam != 0;
        if (m_world == nullptr || !m_world->IsRunning())
            m_snapshot.RestoreNodeMatrices(active);
        if (m_current != nullptr && m_current->isWindow())
            m_current->send(kMsgHostActivated, active ? 1 : 0, 0);
        break;
    }
    case kMsgDesignerNotify:
        // The page hears every notice first, and may still be asked to close with the host after.
        if (m_current != nullptr && m_current->isWindow())
            m_current->send(msg.message, msg.wParam, msg.lParam);
        break;
    default:
        break;
    }
    return CVTND_ModelessEditorDlg::handle(msg);
}

bool CVTND_ActionControllerDlg::OnCommand(int32_t id, int32_t code)
{
    SWnodemotion* motion = Motion();
    if (id == kClose && code == pf::BN_CLICKED) {
        DestroyWindow();
        return true;
    }
    if (motion == nullptr || m_updating)
        return false;
    if (id == kRepeatEdit && code == pf::EN_CHANGE) {
        // A count below 1 plays once as 1 does: the field takes from 1 to the largest 32-bit count.
        const TypedNumber typed = ReadTypedWholeNumber(child(kRepeatEdit)->getText(), 1.0, INT32_MAX);
        const auto keep = [motion, world = m_world](int32_t count) {
            CVTND_WorldWriteLock lock(world);
            motion->SetRepeatCount(count);
        };
        if (typed.kind != TypedKind::kNumber) {
            RefuseTypedText(
                child(kRepeatEdit), [motion] { return std::to_string(motion->GetLoopCount()); }, m_updating, 1.0,
                INT32_MAX, true);
            if (typed.kind == TypedKind::kUnfinished)
                return true; // an emptied count, or a sign, is where a new one starts
            Broadcast();
            pf::messageBox(hwnd(), ControllerTextOf(kIdsRepeatRange), EditorTextOf(kIdsEditorErrorCaption),
                           pf::MB_OK | pf::MB_ICONHAND);
            return true;
        }
        BeginTypedEdit(child(kRepeatEdit), [keep, before = motion->GetLoopCount()] { keep(before); });
        keep(static_cast<int32_t>(typed.value));
        Broadcast();
        return true;
    }
    if (id == kDurationEdit && code == pf::EN_CHANGE) {
        Broadcast(); // the duration is the motion's own: this field never writes it
        return true;
    }
    if ((id == kLoopRadio || id == kRepeatRadio) && code == pf::BN_CLICKED) {
        {
            CVTND_WorldWriteLock lock(m_world);
            motion->SetLoop(id == kLoopRadio);
        }
        Broadcast();
        return true;
    }
    if (code == pf::BN_CLICKED && (id == kOscillate || id == kOwnPivot || id == kActualFrame)) {
        CVTND_WorldWriteLock lock(m_world);
        if (id == kOscillate)
            motion->SetOscillate(!motion->IsPingPong());
        else
            motion->SetOptionFlags(motion->GetOptionFlags() ^ (id == kOwnPivot ? kBitOwnPivot : kBitActualFrame));
        return true;
    }
    if (id == kFrameCombo && code == pf::CBN_SELCHANGE) {
        OnFrameChanged();
        return true;
    }
    return false;
}

int32_t CVTND_ActionControllerDlg::SelectedFrame() const
{
    const int32_t selected = item<pf::ComboBox>(kFrameCombo)->getCurSel();
    return selected >= 0 && selected < 5 ? selected : kOwnFrame;
}

void CVTND_ActionControllerDlg::OnFrameChanged()
{
    SWnodemotion* motion = Motion();
    const int32_t frame = SelectedFrame();
    uint32_t kept = motion->GetOptionFlags() & (kBitActualFrame | kBitOwnPivot);
    ShowReference(false);
    if (frame != kOwnFrame) {
        child(kOwnPivot)->enable(true);
        if (item<pf::Button>(kOwnPivot)->getCheck() != pf::BST_CHECKED)
            kept &= ~kBitOwnPivot;
    }
    WriteOptionFlags(kept | kFrameBits[frame]);
    if (frame == kOwnFrame)
        child(kOwnPivot)->enable(false);
    if (frame == kTargetFrame) {
        ShowReference(true);
        ShowReferenceName();
    }
    UpdateControllerPreview(false);
}

void CVTND_ActionControllerDlg::WriteOptionFlags(uint32_t flags)
{
    CVTND_WorldWriteLock lock(m_world);
    Motion()->SetOptionFlags(flags);
}

void CVTND_ActionControllerDlg::OnNodeDropped(SWnode* node)
{
    SWnodemotion* motion = Motion();
    if (motion == nullptr || node == nullptr)
        return;
    {
        CVTND_WorldWriteLock lock(m_world);
        motion->SetTargetNode(node);
        motion->SetTargetNodeName(node->GetName());
    }
    ShowReferenceName();
    if (auto* picker = item<CVTND_MovableTargetPicker>(kPicker))
        picker->SetShownItem(CEditorEngine::NodeIcon(node));
}

void CVTND_ActionControllerDlg::OnNotify(const CVTND_Event& event)
{
    SWnodemotion* motion = Motion();
    if (motion == nullptr || !motion->GetTargetNodeName())
        return;
    const std::string& reference = *motion->GetTargetNodeName();
    if (event.Is(EventCode::kRenamed) && IsNodeSubject(event.subject, false) && event.secondText == reference) {
        child(kReferenceName)->setText(reference);
        return;
    }
    if (event.Is(EventCode::kDeleted) && IsNodeSubject(event.subject, true)) {
        const auto* node = static_cast<const SWnode*>(event.subject.GetObject());
        if (node == nullptr || node->GetName() != reference)
            return;
        {
            CVTND_WorldWriteLock lock(m_world);
            motion->SetTargetNode(nullptr);
            motion->SetTargetNodeName(std::nullopt);
        }
        if (auto* picker = item<CVTND_MovableTargetPicker>(kPicker))
            picker->SetShownItem(nullptr);
        child(kReferenceName)->setText("");
    }
}

// -- Closing

void CVTND_ActionControllerDlg::OnClosing()
{
    if (m_current != nullptr && m_current->isWindow())
        m_current->destroy();
    m_current = nullptr;
    // The pose the slider left is no change of the project's: the nodes are back at rest before the designer asks
    // whether this editor changed anything.
    m_snapshot.ResetNodeMatrices();
}

void CVTND_ActionControllerDlg::postNcDestroy()
{
    // Every node back at rest once the last message is gone; then the base deletes the editor.
    m_snapshot.ResetNodeMatrices();
    CVTND_ModelessEditorDlg::postNcDestroy();
}
