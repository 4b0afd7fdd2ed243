#include "designer/editors/arcball_dlg.h"

#include <array>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "designer/app/designer_app.h"
#include "designer/app/notification.h"
#include "designer/app/registry.h"
#include "designer/app/world_write_lock.h"
#include "designer/editing/picker_receptors.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/tooltip_texts.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/arcball_motion.h"
#include "engine/behaviour/control_channel.h"
#include "engine/core/node.h"
#include "engine/core/world.h"
#include "platform/gfx/dc.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"

namespace {

constexpr int32_t kIdLeft = 1293;
constexpr int32_t kIdRight = 1263;
constexpr int32_t kIdMiddle = 1264;
constexpr int32_t kIdSensitivityX = 1344;
constexpr int32_t kIdKeepRotating = 1187;
constexpr int32_t kIdFriction = 1171;
constexpr int32_t kIdExclusive = 1193;
constexpr int32_t kIdLabelX = 1359;
using frame_controls::kBitActualFrame;
using frame_controls::kBitOwnPivot;
using frame_controls::kIdActualFrame;
using frame_controls::kIdFrame;
using frame_controls::kIdOwnPivot;
constexpr int kFunctionCount = 21;

struct Half {
    uint8_t code;
    bool negate;
};
struct Pair {
    Half a;
    Half b;
};

// The engine's presets, read back once from a motion of our own, so the editor never keeps a second copy.
const std::array<Pair, kFunctionCount>& Functions()
{
    static const std::array<Pair, kFunctionCount> table = [] {
        std::array<Pair, kFunctionCount> out{};
        SWarcballmotion scratch(nullptr);
        for (int f = 0; f < kFunctionCount; ++f) {
            scratch.SetButtonFunction(2, static_cast<uint8_t>(f), 1.0f, 1.0f, 1.0f, false, 0.0f);
            const SWcontrolchannel& a = scratch.GetChannel(0);
            const SWcontrolchannel& b = scratch.GetChannel(1);
            out[static_cast<size_t>(f)] = {{a.GetInputCode(), a.IsInverted()}, {b.GetInputCode(), b.IsInverted()}};
        }
        return out;
    }();
    return table;
}

bool Matches(const SWcontrolchannel& channel, const Half& half)
{
    if (channel.GetInputCode() != half.code)
        return false;
    return half.code == CVTND_ControllerMotionArcballDlg::kFunctionNone || channel.IsInverted() == half.negate;
}

// Button code and first channel of a button combo.
std::pair<uint8_t, int> ButtonOf(int32_t combo)
{
    if (combo == kIdLeft)
        return {2, 0};
    if (combo == kIdMiddle)
        return {4, 2};
    return {1, 4};
}

pf::Window* MakeArcballEditor(const CVTND_EditorRequest& request)
{
    auto* action = static_cast<SWactionnode*>(request.object);
    if (action == nullptr || dynamic_cast<SWarcballmotion*>(action->GetMotion()) == nullptr)
        return nullptr;
    return CVTND_ModelessEditorDlg::Open(std::make_unique<CVTND_ControllerMotionArcballDlg>(action, request.record),
                                         CVTND_ControllerMotionArcballDlg::kIdd, request.parent);
}
const CVTND_EditorRegistration kRegistered(ObjectType::kAction, 45, &MakeArcballEditor);

} // namespace

CVTND_ControllerMotionArcballDlg::CVTND_ControllerMotionArcballDlg(SWactionnode* action, CVTND_EditDialog* record)
    : CVTND_ModelessEditorDlg(static_cast<uint16_t>(ObjectType::kAction), action, record),
      m_motion(dynamic_cast<SWarcballmotion*>(action->GetMotion()))
{
}

uint8_t CVTND_ControllerMotionArcballDlg::RecogniseFunction(const SWcontrolchannel& a, const SWcontrolchannel& b)
{
    for (int f = 0; f < kFunctionCount; ++f) {
        if (f == kFunctionNone)
            continue;
        const Pair& pair = Functions()[static_cast<size_t>(f)];
        if (Matches(a, pair.a) && Matches(b, pair.b))
            return static_cast<uint8_t>(f);
    }
    return kFunctionNone;
}

int32_t CVTND_ControllerMotionArcballDlg::ComboIndexOf(uint8_t function)
{
    if (function < kFunctionNone)
        return function;
    if (function > kFunctionNone && function < kFunctionCount)
        return function - 1;
    return kFunctionCount - 1;
}

uint8_t CVTND_ControllerMotionArcballDlg::FunctionOfComboIndex(int32_t index)
{
    if (index >= 0 && index < kFunctionNone)
        return static_cast<uint8_t>(index);
    if (index >= kFunctionNone && index < kFunctionCount - 1)
        return static_cast<uint8_t>(index + 1);
    return kFunctionNone;
}

SWworld* CVTND_ControllerMotionArcballDlg::MotionWorld() const
{
    return World();
}

bool CVTND_ControllerMotionArcballDlg::onInitDialog()
{
    CVTND_ModelessEditorDlg::onInitDialog();
    for (const int32_t id : {kIdLeft, kIdRight, kIdMiddle}) {
        auto* combo = item<pf::ComboBox>(id);
        for (int i = 0; i < kFunctionCount; ++i)
            combo->addString(TooltipTextOf(kIdsArcballFunctionFirst + static_cast<uint32_t>(i)));
        const int first = ButtonOf(id).second;
        combo->setCurSel(ComboIndexOf(RecogniseFunction(m_motion->GetChannel(first), m_motion->GetChannel(first + 1))));
    }
    m_initialising = true;
    float friction = 0.0f;
    bool keepMoving = false;
    bool haveRotation = false;
    for (int c = 0; c < 6; ++c) {
        const SWcontrolchannel& channel = m_motion->GetChannel(c);
        if (!SWcontrolchannel::IsRotationCode(channel.GetInputCode()))
            continue;
        if (!haveRotation)
            friction = channel.GetMomentumTime();
        haveRotation = true;
        keepMoving = keepMoving || channel.HasMomentum();
    }
    child(kIdFriction)->setText(FormatReal(friction));
    item<pf::Button>(kIdKeepRotating)->setCheck(keepMoving ? pf::BST_CHECKED : 0);
    item<pf::Button>(kIdExclusive)->setCheck(m_motion->IsExclusive() ? pf::BST_CHECKED : 0);
    frame_controls::Init(*this, m_motion->GetChannel(0), World());
    for (int axis = 0; axis < 3; ++axis)
        child(kIdSensitivityX + axis)
            ->setText(FormatReal(m_motion->GetAxisSpeeds()[static_cast<size_t>(axis)] * 100.0));
    m_initialising = false;
    return true;
}

void CVTND_ControllerMotionArcballDlg::ButtonChanged(int32_t combo)
{
    const uint8_t button = ButtonOf(combo).first;
    const uint8_t function = FunctionOfComboIndex(item<pf::ComboBox>(combo)->getCurSel());
    // The release behaviour and friction are those before the change, read from the rotation channels.
    bool keepMoving = false;
    std::optional<float> friction;
    for (int c = 0; c < 6; ++c) {
        const SWcontrolchannel& channel = m_motion->GetChannel(c);
        if (!SWcontrolchannel::IsRotationCode(channel.GetInputCode()))
            continue;
        if (!friction)
            friction = channel.GetMomentumTime();
        keepMoving = keepMoving || channel.HasMomentum();
    }
    const std::array<float, 3>& speeds = m_motion->GetAxisSpeeds();
    SWworld* world = World();
    const CVTND_WorldWriteLock lock(world);
    m_motion->SetButtonFunction(button, function, speeds[0], speeds[1], speeds[2], keepMoving, friction.value_or(0.0f));
}

void CVTND_ControllerMotionArcballDlg::FrameChanged()
{
    frame_controls::Changed(*this, m_motion->GetChannel(0), [this](uint8_t flags) {
        SWworld* world = World();
        const CVTND_WorldWriteLock lock(world);
        for (int c = 0; c < 6; ++c)
            m_motion->GetChannel(c).SetFrameBits(flags);
    });
}

void CVTND_ControllerMotionArcballDlg::ToggleFlag(uint8_t bit)
{
    const uint8_t value = static_cast<uint8_t>(m_motion->GetChannel(0).GetFrameBits() ^ bit) & bit;
    SWworld* world = World();
    const CVTND_WorldWriteLock lock(world);
    for (int c = 0; c < 6; ++c) {
        SWcontrolchannel& channel = m_motion->GetChannel(c);
        channel.SetFrameBits(static_cast<uint8_t>((channel.GetFrameBits() & ~bit) | value));
    }
}

void CVTND_ControllerMotionArcballDlg::ToggleKeepRotating()
{
    bool any = false;
    for (int c = 0; c < 6; ++c) {
        const SWcontrolchannel& channel = m_motion->GetChannel(c);
        any = any || (SWcontrolchannel::IsRotationCode(channel.GetInputCode()) && channel.HasMomentum());
    }
    SWworld* world = World();
    const CVTND_WorldWriteLock lock(world);
    for (int c = 0; c < 6; ++c) {
        SWcontrolchannel& channel = m_motion->GetChannel(c);
        if (SWcontrolchannel::IsRotationCode(channel.GetInputCode()))
            channel.SetMomentum(!any);
    }
}

std::optional<float> CVTND_ControllerMotionArcballDlg::TakeTyped(int32_t id, const std::function<std::string()>& stored)
{
    constexpr double largest = std::numeric_limits<float>::max();
    const TypedNumber typed = ReadTypedNumber(child(id)->getText(), -largest, largest);
    if (typed.kind != TypedKind::kNumber) {
        RefuseTypedText(child(id), stored, m_initialising, -largest, largest);
        return std::nullopt;
    }
    // A field writes into several channels: the typing's first number keeps them all as they were.
    std::array<float, 6> momentum{};
    std::array<float, 6> scale{};
    for (int c = 0; c < 6; ++c) {
        momentum[static_cast<size_t>(c)] = m_motion->GetChannel(c).GetMomentumTime();
        scale[static_cast<size_t>(c)] = m_motion->GetChannel(c).GetScale();
    }
    BeginTypedEdit(child(id),
                   [world = World(), motion = m_motion, speeds = m_motion->GetAxisSpeeds(), momentum, scale] {
                       const CVTND_WorldWriteLock lock(world);
                       for (int c = 0; c < 6; ++c) {
                           motion->GetChannel(c).SetMomentumTime(momentum[static_cast<size_t>(c)]);
                           motion->GetChannel(c).SetScale(scale[static_cast<size_t>(c)]);
                       }
                       for (int axis = 0; axis < 3; ++axis)
                           motion->SetAxisSpeed(axis, speeds[static_cast<size_t>(axis)]);
                   });
    return static_cast<float>(typed.value);
}

void CVTND_ControllerMotionArcballDlg::FrictionTyped()
{
    if (m_initialising)
        return;
    const std::optional<float> typed = TakeTyped(kIdFriction, [this] {
        float stored = 0.0f;
        for (int c = 5; c >= 0; --c) // the first rotation channel's, as the field was filled
            if (SWcontrolchannel::IsRotationCode(m_motion->GetChannel(c).GetInputCode()))
                stored = m_motion->GetChannel(c).GetMomentumTime();
        return FormatReal(stored);
    });
    if (!typed)
        return;
    const float ms = *typed;
    SWworld* world = World();
    const CVTND_WorldWriteLock lock(world);
    for (int c = 0; c < 6; ++c) {
        SWcontrolchannel& channel = m_motion->GetChannel(c);
        if (SWcontrolchannel::IsRotationCode(channel.GetInputCode()))
            channel.SetMomentumTime(ms);
    }
}

void CVTND_ControllerMotionArcballDlg::SensitivityTyped(int32_t edit)
{
    if (m_initialising)
        return;
    const int axis = edit - kIdSensitivityX;
    const std::optional<float> typed = TakeTyped(
        edit, [this, axis] { return FormatReal(m_motion->GetAxisSpeeds()[static_cast<size_t>(axis)] * 100.0); });
    if (!typed)
        return;
    const float speed = *typed * 0.01f;
    SWworld* world = World();
    const CVTND_WorldWriteLock lock(world);
    m_motion->SetAxisSpeed(axis, speed);
    for (int c = 0; c < 6; ++c) {
        SWcontrolchannel& channel = m_motion->GetChannel(c);
        if (channel.GetInputCode() == 4 + axis)
            channel.SetScale(speed);
    }
}

// Every channel takes the node, since the frame flags go into all six.
void CVTND_ControllerMotionArcballDlg::NodeDropped(SWnode* node)
{
    if (node == nullptr)
        return;
    {
        SWworld* world = World();
        const CVTND_WorldWriteLock lock(world);
        for (int c = 0; c < 6; ++c)
            m_motion->GetChannel(c).SetTargetObject(node);
    }
    frame_controls::ShowDropped(*this, *node);
}

void CVTND_ControllerMotionArcballDlg::OnNotify(const CVTND_Event& event)
{
    if (event.Is(EventCode::kRenamed) && event.subject.IsNodeType() && m_motion != nullptr)
        frame_controls::ShowRenamed(*this, m_motion->GetChannel(0));
}

pf::LResult CVTND_ControllerMotionArcballDlg::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case kMsgNodeDropped:
        NodeDropped(reinterpret_cast<SWnode*>(msg.lParam));
        return 1;
    case pf::WM_CTLCOLORSTATIC: {
        // The axis letters in the axes' colours.
        const pf::Window* label = pf::ui().window(static_cast<pf::Hwnd>(msg.lParam));
        pf::Dc* dc = pf::dcFromWParam(msg.wParam);
        const int32_t id = label != nullptr ? label->id() : -1;
        if (dc != nullptr && id >= kIdLabelX && id < kIdLabelX + 3) {
            static constexpr pf::ColorRef kColours[] = {pf::rgb(170, 0, 0), pf::rgb(0, 119, 0), pf::rgb(0, 0, 170)};
            dc->setTextColor(kColours[id - kIdLabelX]);
            return 0;
        }
        break;
    }
    case pf::WM_COMMAND: {
        const int32_t id = pf::loWord(msg.wParam);
        const int32_t code = pf::hiWord(msg.wParam);
        if (code == pf::CBN_SELCHANGE && (id == kIdLeft || id == kIdRight || id == kIdMiddle))
            ButtonChanged(id);
        else if (code == pf::CBN_SELCHANGE && id == kIdFrame)
            FrameChanged();
        else if (code == pf::BN_CLICKED && id == kIdOwnPivot)
            ToggleFlag(kBitOwnPivot);
        else if (code == pf::BN_CLICKED && id == kIdActualFrame)
            ToggleFlag(kBitActualFrame);
        else if (code == pf::BN_CLICKED && id == kIdKeepRotating)
            ToggleKeepRotating();
        else if (code == pf::BN_CLICKED && id == kIdExclusive) {
            SWworld* world = World();
            const CVTND_WorldWriteLock lock(world);
            m_motion->SetExclusive(!m_motion->IsExclusive());
        } else if (code == pf::EN_CHANGE && id == kIdFriction)
            FrictionTyped();
        else if (code == pf::EN_CHANGE && id >= kIdSensitivityX && id < kIdSensitivityX + 3)
            SensitivityTyped(id);
        break;
    }
    default:
        break;
    }
    return CVTND_ModelessEditorDlg::handle(msg);
}
