#include "designer/editors/controller_keyframe_pages.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/world_write_lock.h"
#include "designer/editors/controller_texts.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/number_text.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/behaviour/vertex_keyframe_motion.h"
#include "engine/core/animation_data.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"
#include "engine/resources/mesh.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/scroll_bar.h"

namespace {

constexpr int32_t kTransitionEdit = 1258;
constexpr int32_t kExtendedEdit = 1206;
constexpr int32_t kStartEdit = 1079;
constexpr int32_t kEndEdit = 1082;
constexpr int32_t kExtendCheck = 1205;
constexpr int32_t kChildrenCheck = 1104;
constexpr int32_t kAnimationCombo = 1257;
constexpr int32_t kResetOrientation = 1188;
constexpr int32_t kResetPosition = 1187;
// The play motion's option bytes (1-based): apply to children, reset position, reset orientation.
constexpr int kOptionChildren = 2;
constexpr int kOptionResetPosition = 4;
constexpr int kOptionResetOrientation = 5;

void SetCheck(pf::Dialog& page, int32_t id, bool on)
{
    if (auto* box = page.item<pf::Button>(id))
        box->setCheck(on ? pf::BST_CHECKED : pf::BST_UNCHECKED);
}

// Local := rest x M, for a node that has its rest transform.
void PoseFromRest(SWobjectnode& node, const SWmatrix& m)
{
    if (node.GetTransformVariable() == nullptr)
        return;
    SWmatrix posed;
    node.GetInitialMatrix().Multiply(posed, m);
    node.SetLocalMatrix(posed);
}

SWmesh* MeshOf(const SWobjectnode& node)
{
    return dynamic_cast<SWmesh*>(node.GetGeometry());
}

template <class Motion> bool ChildrenOption(const SWmotion* motion)
{
    const auto* own = dynamic_cast<const Motion*>(motion);
    return own != nullptr && own->GetOption(kOptionChildren) != 0;
}

// The page's title on the host, whose two buttons no key-frame page uses.
void TitleHost(CVTND_ActionControllerDlg& host, uint32_t title)
{
    host.setText(ControllerTextOf(title));
    for (const int32_t id : {1004, 1348})
        host.child(id)->enable(false);
}

// The entry of the motion's animation, the first when it names none or one no target has (it is renamed to that),
// selected in the combo.
template <class Motion> void ChooseAnimation(pf::Dialog& page, CVTND_ActionControllerDlg& host, Motion& motion)
{
    CVTND_MotionList& list = host.MotionList();
    if (list.First() != nullptr) {
        CVTND_WorldWriteLock lock(motion.GetWorld());
        if (!motion.GetBlockName())
            motion.SetBlockName(list.First()->name);
        host.selectedEntry = list.FindByName(motion.GetBlockName());
        if (host.selectedEntry == nullptr) {
            host.selectedEntry = list.First();
            motion.SetBlockName(host.selectedEntry->name);
        }
    }
    if (auto* combo = page.item<pf::ComboBox>(kAnimationCombo))
        for (int32_t i = 0; i < combo->getCount(); ++i)
            if (combo->getItemData(i) == reinterpret_cast<intptr_t>(host.selectedEntry))
                combo->setCurSel(i);
}

// A node with the animation, alone, from its rest matrix; a node without it is skipped.
template <class Motion, class Prepare> void PoseByMatrix(Motion& motion, SWobjectnode& object, float t, Prepare prepare)
{
    if (!motion.Bind(object))
        return;
    prepare();
    motion.SetTime(t);
    const SWmatrix m = motion.GetMatrix(false);
    motion.Unbind();
    PoseFromRest(object, m);
}

bool g_showingStored = false; // a time field is being given its stored text back: its change is no typing

// A time field's whole text as a finite float of milliseconds, no less than 0, kept by set (under the world's lock);
// false for a text more typing may finish, when nothing changed. A refused text gives way to the time get gave before
// the typing. NaN and infinities once reached the motions from "nan" and "inf", and a time of -1 ms from "-1".
bool TakeTypedTime(pf::Window& page, int32_t id, SWworld* world, const std::function<float()>& get,
                   const std::function<void(float)>& set)
{
    constexpr double kLargest = std::numeric_limits<float>::max();
    pf::Window* field = page.child(id);
    if (g_showingStored || field == nullptr)
        return false;
    const TypedNumber typed = ReadTypedNumber(field->getText(), 0.0, kLargest);
    const auto keep = [world, set](float ms) {
        const CVTND_WorldWriteLock lock(world);
        set(ms);
    };
    if (typed.kind == TypedKind::kNumber) {
        BeginTypedEdit(field, [keep, before = get()] { keep(before); });
        keep(static_cast<float>(typed.value));
        return true;
    }
    RefuseTypedText(
        field, [&get] { return FormatNumberG(get()); }, g_showingStored, 0.0, kLargest);
    return typed.kind == TypedKind::kRefused;
}

} // namespace

// -- What the four pages share

std::vector<SWnode*> CVTND_ControllerKeyframePage::ArgumentNodes() const
{
    std::vector<SWnode*> nodes;
    SWworld* world = DesignerWorld();
    const SWactionnode* action = Host() != nullptr ? Host()->Action() : nullptr;
    SWnode* root = world != nullptr ? world->GetRootNode() : nullptr;
    if (action == nullptr || root == nullptr)
        return nodes;
    for (const SWlistnode* a = action->GetArguments().Head(); a != nullptr; a = a->Next())
        if (const char* name = static_cast<const SWdatanode*>(a)->GetText())
            if (SWnode* found = root->FindByName(name))
                nodes.push_back(found);
    return nodes;
}

void CVTND_ControllerKeyframePage::VisitTargets(const std::function<void(SWobjectnode&)>& visit) const
{
    const bool children = ApplyToChildren();
    for (SWnode* top : ArgumentNodes())
        for (SWnode* n = top; n != nullptr; n = children ? n->NextInTree(top) : nullptr)
            if (SWobjectnode* object = SWobjectnode::FromNode(n))
                visit(*object);
}

void CVTND_ControllerKeyframePage::PoseTargets(const std::function<void(SWobjectnode&)>& pose)
{
    SWworld* world = DesignerWorld();
    if (world == nullptr || Suppressed() || world->IsRunning())
        return;
    Host()->Snapshot().NotePose();
    {
        CVTND_WorldWriteLock lock(world);
        VisitTargets(pose);
    }
    world->Invalidate(false);
}

bool CVTND_ControllerKeyframePage::Suppressed() const
{
    return Host() == nullptr || Host()->Action() == nullptr || Host()->Action()->GetSuppress() != 0;
}

void CVTND_ControllerKeyframePage::FillAnimations()
{
    CVTND_ActionControllerDlg& host = *Host();
    auto* combo = item<pf::ComboBox>(kAnimationCombo);
    if (combo != nullptr)
        combo->resetContent();
    host.MotionList().Clear();
    host.selectedEntry = nullptr;
    for (SWnode* node : ArgumentNodes())
        host.MotionList().AddNodeAnimations(node, ApplyToChildren());
    if (combo == nullptr)
        return;
    // Each entry goes in at the top: the combo shows the list in reverse order.
    for (SWlistnode* n = host.MotionList().Head(); n != nullptr; n = n->Next()) {
        combo->insertString(0, static_cast<CVTND_MotionListNode*>(n)->name);
        combo->setItemData(0, reinterpret_cast<intptr_t>(n));
    }
}

void CVTND_ControllerKeyframePage::SetBar(int32_t bar, int32_t position, int32_t editId)
{
    const int32_t limit = Host()->frameLimit;
    const int32_t shown = std::clamp(position, 0, std::max(0, limit));
    if (auto* scroll = item<pf::ScrollBar>(bar)) {
        scroll->setRange(0, std::max(0, limit));
        scroll->setPosition(shown);
    }
    ShowFrame(editId, shown);
}

void CVTND_ControllerKeyframePage::ShowFrame(int32_t editId, int32_t position)
{
    pf::Window* edit = child(editId);
    const std::string text = std::to_string(position);
    if (edit == nullptr || edit->getText() == text)
        return;
    const bool wasShowing = g_showingStored;
    g_showingStored = true;
    edit->setText(text);
    g_showingStored = wasShowing;
}

void CVTND_ControllerKeyframePage::FrameTyped(int32_t editId, int32_t bar)
{
    pf::Window* field = child(editId);
    auto* scroll = item<pf::ScrollBar>(bar);
    if (g_showingStored || field == nullptr || scroll == nullptr || Host() == nullptr)
        return;
    const double limit = std::max(0, Host()->frameLimit);
    const TypedNumber typed = ReadTypedWholeNumber(field->getText(), 0.0, limit);
    const pf::Hwnd self = hwnd();
    const auto move = [this, self, bar](int32_t position) {
        auto* moved = pf::ui().window(self) == this ? item<pf::ScrollBar>(bar) : nullptr;
        if (moved == nullptr)
            return;
        moved->setPosition(position);
        BarMoved(bar, position);
    };
    if (typed.kind == TypedKind::kNumber) {
        // The bar goes back; the field keeps the refused text, caret and all, for the person to mend: rewritten with
        // the kept frame, the keys after it made another number of it, which was taken.
        BeginTypedEdit(field, [this, self, editId, move, before = scroll->position()] {
            auto* typedInto = pf::ui().window(self) == this ? item<pf::Edit>(editId) : nullptr;
            const std::string text = typedInto != nullptr ? typedInto->getText() : std::string();
            const std::pair<int32_t, int32_t> selection = typedInto != nullptr ? typedInto->getSel() : std::pair{0, 0};
            move(before);
            if (typedInto != nullptr && pf::ui().window(self) == this && typedInto->getText() != text) {
                const bool wasShowing = g_showingStored;
                g_showingStored = true;
                typedInto->setText(text);
                typedInto->setSel(selection.first, selection.second);
                g_showingStored = wasShowing;
            }
        });
        move(static_cast<int32_t>(typed.value));
    } else {
        RefuseTypedText(
            field, [scroll] { return std::to_string(scroll->position()); }, g_showingStored, 0.0, limit, true);
    }
}

void CVTND_ControllerKeyframePage::PoseNow(float t)
{
    Host()->UpdateControllerPreview(true);
    send(kMsgPoseAt, 0, reinterpret_cast<pf::LParam>(&t));
}

// Only a step or a drag of the thumb moves a frame bar; the position stays within 0..limit.
pf::LResult CVTND_ControllerKeyframePage::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_HSCROLL && Host() != nullptr) {
        auto* bar = dynamic_cast<pf::ScrollBar*>(pf::ui().window(static_cast<pf::Hwnd>(msg.lParam)));
        const int32_t code = pf::loWord(msg.wParam);
        if (bar != nullptr && (bar->id() == kStartBar || bar->id() == kEndBar) &&
            (code == pf::SB_LINELEFT || code == pf::SB_LINERIGHT || code == pf::SB_THUMBTRACK)) {
            int32_t position = bar->position();
            position = code == pf::SB_LINELEFT    ? position - 1
                       : code == pf::SB_LINERIGHT ? position + 1
                                                  : static_cast<int32_t>(pf::hiWord(msg.wParam));
            position = std::clamp(position, 0, std::max(0, Host()->frameLimit));
            bar->setPosition(position);
            BarMoved(bar->id(), position);
            return 0;
        }
    }
    return CVTND_ControllerPage::handle(msg);
}

// -- Key-frame play

bool CVTND_ControllerMotionKeyframesDlg::ApplyToChildren() const
{
    return ChildrenOption<SWkeyframemotion>(Motion());
}

void CVTND_ControllerMotionKeyframesDlg::Open()
{
    CVTND_ActionControllerDlg& host = *Host();
    auto* motion = dynamic_cast<SWkeyframemotion*>(Motion());
    TitleHost(host, kIdsKeyFramePlayTitle);
    host.frameLimit = 0;
    if (motion == nullptr)
        return;
    SetCheck(*this, kChildrenCheck, ApplyToChildren());
    SetCheck(*this, kResetOrientation, motion->GetOption(kOptionResetOrientation) != 0);
    SetCheck(*this, kResetPosition, motion->GetOption(kOptionResetPosition) != 0);
    child(kTransitionEdit)->setText(FormatNumberG(motion->GetBlendTime()));
    child(kExtendedEdit)->setText(FormatNumberG(motion->GetExplicitDuration()));
    SetCheck(*this, kExtendCheck, motion->GetUseExplicitDuration());
    FillAnimations();
    ChooseAnimation(*this, host, *motion);
    if (host.selectedEntry != nullptr)
        host.frameLimit = static_cast<int32_t>(std::min<uint32_t>(host.selectedEntry->frameCount, INT32_MAX));
    ClampFrames();
}

// A start past the limit, and an end past it or unset, become the limit; the bars show both.
void CVTND_ControllerMotionKeyframesDlg::ClampFrames()
{
    auto* motion = dynamic_cast<SWkeyframemotion*>(Motion());
    const int32_t limit = Host()->frameLimit;
    {
        CVTND_WorldWriteLock lock(motion->GetWorld());
        if (motion->GetStartFrame() > limit)
            motion->SetStartFrame(limit);
        if (motion->GetEndFrame() > limit || motion->GetEndFrame() < 0)
            motion->SetEndFrame(limit);
    }
    SetBar(kStartBar, motion->GetStartFrame(), kStartEdit);
    SetBar(kEndBar, motion->GetEndFrame(), kEndEdit);
}

bool CVTND_ControllerMotionKeyframesDlg::Command(int32_t id, int32_t code)
{
    auto* motion = dynamic_cast<SWkeyframemotion*>(Motion());
    if (motion == nullptr || !isWindow() || !isVisible())
        return false;
    CVTND_ActionControllerDlg& host = *Host();
    if (code == pf::EN_CHANGE && (id == kTransitionEdit || id == kExtendedEdit)) {
        const bool transition = id == kTransitionEdit;
        if (!TakeTypedTime(
                *this, id, motion->GetWorld(),
                [=] { return transition ? motion->GetBlendTime() : motion->GetExplicitDuration(); },
                [=](float ms) { transition ? motion->SetTransitionTime(ms) : motion->SetExtendedTime(ms); }))
            return true;
        if (transition)
            host.UpdateControllerPreview(false);
        return true;
    }
    if (code == pf::BN_CLICKED &&
        (id == kExtendCheck || id == kChildrenCheck || id == kResetPosition || id == kResetOrientation)) {
        {
            CVTND_WorldWriteLock lock(motion->GetWorld());
            if (id == kExtendCheck)
                motion->SetExtendTime(!motion->GetUseExplicitDuration());
            const int option = id == kChildrenCheck   ? kOptionChildren
                               : id == kResetPosition ? kOptionResetPosition
                                                      : kOptionResetOrientation;
            if (id != kExtendCheck)
                motion->SetOption(option, motion->GetOption(option) != 0 ? 0 : 1);
        }
        if (id == kChildrenCheck) {
            host.Snapshot().ResetNodeMatrices();
            host.UpdateControllerPreview(false);
        }
        return true;
    }
    if (id == kAnimationCombo && code == pf::CBN_SELCHANGE) {
        auto* combo = item<pf::ComboBox>(kAnimationCombo);
        auto* entry = reinterpret_cast<CVTND_MotionListNode*>(combo->getItemData(combo->getCurSel()));
        if (entry == nullptr || entry == host.selectedEntry)
            return true;
        host.selectedEntry = entry;
        {
            CVTND_WorldWriteLock lock(motion->GetWorld());
            motion->SetBlockName(entry->name);
        }
        host.frameLimit = static_cast<int32_t>(std::min<uint32_t>(entry->frameCount, INT32_MAX));
        ClampFrames();
        host.UpdateControllerPreview(false);
        return true;
    }
    if (code == pf::EN_CHANGE && (id == kStartEdit || id == kEndEdit))
        FrameTyped(id, id == kStartEdit ? kStartBar : kEndBar);
    return id == kStartEdit || id == kEndEdit;
}

void CVTND_ControllerMotionKeyframesDlg::BarMoved(int32_t bar, int32_t position)
{
    auto* motion = dynamic_cast<SWkeyframemotion*>(Motion());
    if (motion == nullptr)
        return;
    {
        CVTND_WorldWriteLock lock(motion->GetWorld());
        if (bar == kStartBar)
            motion->SetStartFrame(position);
        else
            motion->SetEndFrame(position);
    }
    ShowFrame(bar == kStartBar ? kStartEdit : kEndEdit, position);
    PoseNow(bar == kStartBar ? motion->GetBlendTime() : motion->GetDuration());
}

void CVTND_ControllerMotionKeyframesDlg::PoseAt(float t)
{
    if (auto* motion = dynamic_cast<SWkeyframemotion*>(Motion()))
        PoseTargets([&](SWobjectnode& object) { PoseByMatrix(*motion, object, t, [] {}); });
}

// -- Key-frame jump

bool CVTND_ControllerMotionKeyframesJumptoDlg::ApplyToChildren() const
{
    return ChildrenOption<SWkeyframejumpmotion>(Motion());
}

void CVTND_ControllerMotionKeyframesJumptoDlg::Open()
{
    CVTND_ActionControllerDlg& host = *Host();
    auto* motion = dynamic_cast<SWkeyframejumpmotion*>(Motion());
    TitleHost(host, kIdsKeyFrameJumpTitle);
    host.frameLimit = 0;
    if (motion == nullptr)
        return;
    SetCheck(*this, kChildrenCheck, ApplyToChildren());
    child(kTransitionEdit)->setText(FormatNumberG(motion->GetTransitionTime()));
    FillAnimations();
    ChooseAnimation(*this, host, *motion);
    if (host.selectedEntry != nullptr)
        host.frameLimit = std::max(0, host.selectedEntry->keyCount); // a jump goes to a key: keys, not frames
    {
        CVTND_WorldWriteLock lock(motion->GetWorld());
        if (motion->GetFrame() > host.frameLimit)
            motion->SetFrame(host.frameLimit);
    }
    SetBar(kEndBar, motion->GetFrame(), kEndEdit); // a negative frame stays, shown as 0
}

bool CVTND_ControllerMotionKeyframesJumptoDlg::Command(int32_t id, int32_t code)
{
    auto* motion = dynamic_cast<SWkeyframejumpmotion*>(Motion());
    if (motion == nullptr || !isWindow() || !isVisible())
        return false;
    CVTND_ActionControllerDlg& host = *Host();
    if (id == kTransitionEdit && code == pf::EN_CHANGE) {
        if (!TakeTypedTime(
                *this, id, motion->GetWorld(), [=] { return motion->GetTransitionTime(); },
                [=](float ms) { motion->UpdateTargetTransform(ms); }))
            return true;
        host.Snapshot().ResetNodeMatrices();
        host.UpdateControllerPreview(false);
        return true;
    }
    if (id == kChildrenCheck && code == pf::BN_CLICKED) {
        {
            CVTND_WorldWriteLock lock(motion->GetWorld());
            motion->SetOption(kOptionChildren, motion->GetOption(kOptionChildren) != 0 ? 0 : 1);
        }
        host.Snapshot().ResetNodeMatrices();
        host.UpdateControllerPreview(false);
        return true;
    }
    if (id == kEndEdit && code == pf::EN_CHANGE)
        FrameTyped(kEndEdit, kEndBar);
    return id == kAnimationCombo || id == kEndEdit; // the animation stays
}

void CVTND_ControllerMotionKeyframesJumptoDlg::BarMoved(int32_t bar, int32_t position)
{
    auto* motion = dynamic_cast<SWkeyframejumpmotion*>(Motion());
    if (motion == nullptr || bar != kEndBar)
        return;
    {
        CVTND_WorldWriteLock lock(motion->GetWorld());
        motion->SetFrame(position);
    }
    ShowFrame(kEndEdit, position);
    Host()->UpdateControllerPreview(false);
}

void CVTND_ControllerMotionKeyframesJumptoDlg::PoseAt(float t)
{
    auto* motion = dynamic_cast<SWkeyframejumpmotion*>(Motion());
    if (motion == nullptr)
        return;
    PoseTargets([&](SWobjectnode& object) {
        PoseByMatrix(*motion, object, t, [&] { motion->UpdateTargetTransform(motion->GetTransitionTime()); });
    });
}

// -- Vertex play and jump

bool CVTND_ControllerMotionVertexKeyframesDlg::ApplyToChildren() const
{
    const auto* motion = dynamic_cast<const SWvertexkeyframemotion*>(Motion());
    return motion != nullptr && motion->GetApplyToChildren();
}

// The largest vertex frame count among the argument nodes themselves that are meshes with a frame table.
int32_t CVTND_ControllerMotionVertexKeyframesDlg::VertexFrameLimit() const
{
    uint32_t largest = 0;
    for (SWnode* node : ArgumentNodes()) {
        const SWobjectnode* object = SWobjectnode::FromNode(node);
        if (object != nullptr && object->HasKind(SWnode::kKindMesh) && object->GetVertexFrameTable() != nullptr)
            largest = std::max(largest, object->GetVertexFrameTable()->GetFrameCount());
    }
    return static_cast<int32_t>(std::min<uint32_t>(largest, INT32_MAX));
}

void CVTND_ControllerMotionVertexKeyframesDlg::Open()
{
    CVTND_ActionControllerDlg& host = *Host();
    auto* motion = dynamic_cast<SWvertexkeyframemotion*>(Motion());
    TitleHost(host, IsJump() ? kIdsVertexJumpTitle : kIdsVertexPlayTitle);
    if (motion == nullptr)
        return;
    host.frameLimit = VertexFrameLimit();
    SetCheck(*this, kChildrenCheck, ApplyToChildren());
    child(kTransitionEdit)->setText(FormatNumberG(motion->GetTimeOffset()));
    if (IsJump()) {
        SetBar(kEndBar, motion->GetStartFrame(), kEndEdit); // the frame to jump to, not clamped
        return;
    }
    child(kExtendedEdit)->setText(FormatNumberG(motion->GetExplicitDuration()));
    SetCheck(*this, kExtendCheck, motion->GetUseExplicitDuration());
    {
        CVTND_WorldWriteLock lock(motion->GetWorld());
        const int32_t limit = host.frameLimit;
        if (motion->GetStartFrame() < 0)
            motion->SetStartFrame(limit);
        if (motion->GetEndFrame() < 0)
            motion->SetEndFrame(limit);
        if (motion->GetEndFrame() > limit)
            motion->SetEndFrame(limit);
        if (motion->GetStartFrame() > limit)
            motion->SetStartFrame(limit);
    }
    SetBar(kStartBar, motion->GetStartFrame(), kStartEdit);
    SetBar(kEndBar, motion->GetEndFrame(), kEndEdit);
}

bool CVTND_ControllerMotionVertexKeyframesDlg::Command(int32_t id, int32_t code)
{
    auto* motion = dynamic_cast<SWvertexkeyframemotion*>(Motion());
    if (motion == nullptr || !isWindow() || !isVisible())
        return false;
    CVTND_ActionControllerDlg& host = *Host();
    if (code == pf::EN_CHANGE && (id == kTransitionEdit || (id == kExtendedEdit && !IsJump()))) {
        const bool offset = id == kTransitionEdit;
        if (!TakeTypedTime(
                *this, id, motion->GetWorld(),
                [=] { return offset ? motion->GetTimeOffset() : motion->GetExplicitDuration(); },
                [=](float ms) { offset ? motion->SetTimeOffset(ms) : motion->SetExplicitDuration(ms); }))
            return true;
        if (offset)
            host.UpdateControllerPreview(false);
        return true;
    }
    if (code == pf::BN_CLICKED && id == kExtendCheck && !IsJump()) {
        CVTND_WorldWriteLock lock(motion->GetWorld());
        motion->SetUseExplicitDuration(!motion->GetUseExplicitDuration());
        return true;
    }
    if (code == pf::BN_CLICKED && id == kChildrenCheck) {
        {
            CVTND_WorldWriteLock lock(motion->GetWorld());
            motion->SetOption(motion->GetApplyToChildren() ? 0 : 1);
        }
        host.Snapshot().ResetNodeMatrices();
        host.UpdateControllerPreview(false);
        return true;
    }
    if (code == pf::EN_CHANGE && (id == kStartEdit || id == kEndEdit))
        FrameTyped(id, id == kStartEdit ? kStartBar : kEndBar);
    return id == kStartEdit || id == kEndEdit;
}

void CVTND_ControllerMotionVertexKeyframesDlg::BarMoved(int32_t bar, int32_t position)
{
    auto* motion = dynamic_cast<SWvertexkeyframemotion*>(Motion());
    if (motion == nullptr)
        return;
    {
        CVTND_WorldWriteLock lock(motion->GetWorld());
        if (bar == kStartBar || IsJump())
            motion->SetStartFrame(position);
        else
            motion->SetEndFrame(position);
    }
    ShowFrame(bar == kStartBar ? kStartEdit : kEndEdit, position);
    PoseNow(bar == kEndBar && !IsJump() ? motion->GetDuration() : motion->GetTimeOffset());
}

// Every mesh with a frame table among the targets: the motion writes its working vertices at t, then lets go.
void CVTND_ControllerMotionVertexKeyframesDlg::PoseAt(float t)
{
    auto* motion = dynamic_cast<SWvertexkeyframemotion*>(Motion());
    if (motion == nullptr)
        return;
    if (IsJump())
        RestoreVertices();
    PoseTargets([&](SWobjectnode& node) {
        if (!motion->Bind(node))
            return;
        if (IsJump())
            motion->Reset(false);
        motion->SetTime(t);
        motion->SetTargetObject(nullptr);
    });
}

void CVTND_ControllerMotionVertexKeyframesDlg::RestoreVertices()
{
    PoseTargets([](SWobjectnode& node) {
        if (SWmesh* mesh = node.HasKind(SWnode::kKindMesh) ? MeshOf(node) : nullptr)
            mesh->Refresh();
    });
}

void CVTND_ControllerMotionVertexKeyframesDlg::HostActivated(bool active)
{
    if (!active) {
        RestoreVertices();
        return;
    }
    if (const SWmotion* motion = Motion())
        PoseAt(motion->GetLocalTime());
}

pf::LResult CVTND_ControllerMotionVertexKeyframesDlg::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_DESTROY)
        RestoreVertices(); // the meshes back at their own vertices before the page goes
    return CVTND_ControllerKeyframePage::handle(msg);
}
