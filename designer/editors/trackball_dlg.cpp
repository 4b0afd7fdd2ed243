#include "designer/editors/trackball_dlg.h"

#include <limits>
#include <string>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/registry.h"
#include "designer/app/world_write_lock.h"
#include "designer/editing/editor_images.h"
#include "designer/editing/picker_receptors.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/tooltip_texts.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/arcball_motion.h"
#include "engine/behaviour/control_channel.h"
#include "engine/core/node.h"
#include "engine/core/world.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/tab_control.h"

namespace {

constexpr int32_t kIdTabs = 1271;
constexpr int32_t kIdTitle = 1117;
constexpr int32_t kIdFunction = 1119;
constexpr int32_t kIdInvert = 1127;
constexpr int32_t kIdSensitivity = 1120;
constexpr int32_t kIdLimits = 1123;
constexpr int32_t kIdMinimum = 1122;
constexpr int32_t kIdMaximum = 1121;
constexpr int32_t kIdMinimumLabel = 1129;
constexpr int32_t kIdMaximumLabel = 1130;
constexpr int32_t kIdKeepMoving = 1126;
constexpr int32_t kIdFriction = 1171;
constexpr int32_t kIdFrictionLabel = 1128;
constexpr int32_t kIdMsLabel = 1355;
using frame_controls::kIdActualFrame;
using frame_controls::kIdFrame;
using frame_controls::kIdOwnPivot;
using frame_controls::kIdPicker;
using frame_controls::kIdTargetName;
constexpr int32_t kIdExclusive = 1141;
constexpr int32_t kIdFollowMovement = 1139;
constexpr int32_t kIdFollowDistance = 1140;
constexpr int32_t kIdTwoButtons = 1142;
constexpr uint8_t kCodeNone = 10;
constexpr uint8_t kCodeScale = 11;
// The function entries: input code and axis image (-1 none).
constexpr std::pair<uint8_t, int32_t> kFunctions[] = {{10, -1}, {0, 0}, {1, 1}, {2, 2},
                                                      {4, 0},   {5, 1}, {6, 2}, {11, 3}};
constexpr float kToDegrees = 57.29578f;
constexpr float kToRadians = 0.017453292f;

pf::Window* MakeTrackballEditor(const CVTND_EditorRequest& request)
{
    auto* action = static_cast<SWactionnode*>(request.object);
    if (action == nullptr || dynamic_cast<SWarcballmotion*>(action->GetMotion()) == nullptr)
        return nullptr;
    return CVTND_ModelessEditorDlg::Open(std::make_unique<CVTND_TrackballDlg>(action, request.record),
                                         CVTND_TrackballDlg::kIdd, request.parent);
}
const CVTND_EditorRegistration kRegistered62(ObjectType::kAction, 62, &MakeTrackballEditor);
const CVTND_EditorRegistration kRegistered63(ObjectType::kAction, 63, &MakeTrackballEditor);

} // namespace

// -- A channel's page

const std::vector<int32_t>& CVTND_TrackballButtonDlg::SavedControls()
{
    static const std::vector<int32_t> ids = {kIdFrame,
                                             kIdPicker,
                                             kIdMaximumLabel,
                                             kIdMinimumLabel,
                                             kIdMsLabel,
                                             kIdFrictionLabel,
                                             kIdInvert,
                                             kIdTargetName,
                                             kIdSensitivity,
                                             kIdMinimum,
                                             kIdMaximum,
                                             kIdFriction,
                                             kIdOwnPivot,
                                             kIdLimits,
                                             kIdActualFrame,
                                             kIdKeepMoving,
                                             kIdTitle,
                                             kIdsTrackballLimitsGroup,
                                             kIdsTrackballSensitivityLabel,
                                             kIdsTrackballFrameGroup,
                                             kIdsTrackballFunctionGroup,
                                             kIdsTrackballReleaseGroup,
                                             kIdsTrackballPercentLabel};
    return ids;
}

CVTND_TrackballButtonDlg::CVTND_TrackballButtonDlg(SWcontrolchannel& channel, bool horizontal)
    : m_channel(channel), m_horizontal(horizontal)
{
}

void CVTND_TrackballButtonDlg::EnableFrameControls(bool enabled)
{
    for (const int32_t id : {kIdFrame, kIdPicker, kIdTargetName, kIdOwnPivot, kIdActualFrame})
        child(id)->enable(enabled);
}

bool CVTND_TrackballButtonDlg::onInitDialog()
{
    if (pf::Window* owner = parent()) {
        const int32_t x = m_horizontal ? 5 : static_cast<int32_t>(clientRect().width()) + 10;
        (void)owner;
        move(pf::Rect::fromXywh(x, 10, screenRect().width(), screenRect().height()));
    }
    child(kIdTitle)->setText(TooltipTextOf(m_horizontal ? kIdsTrackballHorizontal : kIdsTrackballVertical));
    auto* function = item<pf::ComboBox>(kIdFunction);
    if (CVTND_EditorImages* images = GetEditorImages())
        function->setImageList(images->List(EditorImageList::kAxes));
    for (size_t i = 0; i < std::size(kFunctions); ++i) {
        function->addString(TooltipTextOf(kIdsTrackballFunctionFirst + static_cast<uint32_t>(i)));
        function->setItemImage(static_cast<int32_t>(i), kFunctions[i].second);
    }
    const uint8_t code = m_channel.GetInputCode();
    for (size_t i = 0; i < std::size(kFunctions); ++i)
        if (kFunctions[i].first == code)
            function->setCurSel(static_cast<int32_t>(i));
    item<pf::Button>(kIdInvert)->setCheck(m_channel.IsInverted() ? pf::BST_CHECKED : 0);
    m_initialising = true;
    const bool rotation = SWcontrolchannel::IsRotationCode(code);
    child(kIdSensitivity)->setText(FormatReal(m_channel.GetScale() * 100.0));
    child(kIdMinimum)->setText(FormatReal(m_channel.GetMinimum() * (rotation ? kToDegrees : 1.0f)));
    child(kIdMaximum)->setText(FormatReal(m_channel.GetMaximum() * (rotation ? kToDegrees : 1.0f)));
    item<pf::Button>(kIdLimits)->setCheck(m_channel.IsClamped() ? pf::BST_CHECKED : 0);
    for (const int32_t id : {kIdMinimum, kIdMaximum, kIdMinimumLabel, kIdMaximumLabel})
        child(id)->enable(m_channel.IsClamped());
    child(kIdFriction)->setText(FormatReal(m_channel.GetMomentumTime(), "%.0f"));
    item<pf::Button>(kIdKeepMoving)->setCheck(m_channel.HasMomentum() ? pf::BST_CHECKED : 0);
    for (const int32_t id : {kIdFriction, kIdFrictionLabel, kIdMsLabel})
        child(id)->enable(m_channel.HasMomentum());
    m_initialising = false;

    frame_controls::Init(*this, m_channel, DesignerWorld());
    if (code == kCodeNone) {
        DisableForNone();
    } else if (code == kCodeScale) {
        EnableFrameControls(false);
    }
    return true;
}

// None leaves every control but the function disabled; the states from before come back with the next function,
// so a page that opens on None saves them too.
void CVTND_TrackballButtonDlg::DisableForNone()
{
    m_savedStates.clear();
    for (const int32_t id : SavedControls()) {
        pf::Window* w = child(id);
        m_savedStates.push_back(w != nullptr && w->isEnabled());
        if (w != nullptr)
            w->enable(false);
    }
}

void CVTND_TrackballButtonDlg::FunctionChanged()
{
    const int32_t index = item<pf::ComboBox>(kIdFunction)->getCurSel();
    const uint8_t code = index >= 0 && index < static_cast<int32_t>(std::size(kFunctions))
                             ? kFunctions[static_cast<size_t>(index)].first
                             : kCodeNone;
    const uint8_t old = m_channel.GetInputCode();
    {
        const CVTND_WorldWriteLock lock(DesignerWorld());
        if (!m_channel.SetInputCode(code))
            return;
    }
    if (code == kCodeNone) {
        DisableForNone(); // the frame rule below is for the other codes
        return;
    }
    if (old == kCodeNone) {
        const std::vector<int32_t>& ids = SavedControls();
        for (size_t i = 0; i < ids.size() && i < m_savedStates.size(); ++i)
            if (pf::Window* w = child(ids[i]))
                w->enable(m_savedStates[i]);
    }
    EnableFrameControls(code != kCodeScale);
}

void CVTND_TrackballButtonDlg::FrameChanged()
{
    frame_controls::Changed(*this, m_channel, [this](uint8_t flags) {
        const CVTND_WorldWriteLock lock(DesignerWorld());
        m_channel.SetFrameBits(flags);
    });
}

void CVTND_TrackballButtonDlg::NumberTyped(int32_t id)
{
    if (m_initialising)
        return;
    // A limit of a rotation is typed in degrees and kept in radians.
    const bool rotation = SWcontrolchannel::IsRotationCode(m_channel.GetInputCode());
    SWcontrolchannel& channel = m_channel;
    std::function<float()> get;
    std::function<void(float)> set;
    const char* format = "%g";
    if (id == kIdSensitivity) {
        get = [&channel] { return channel.GetScale(); };
        set = [&channel](float v) { channel.SetScale(v); };
    } else if (id == kIdMinimum) {
        get = [&channel] { return channel.GetMinimum(); };
        set = [&channel](float v) { channel.SetMinimum(v); };
    } else if (id == kIdMaximum) {
        get = [&channel] { return channel.GetMaximum(); };
        set = [&channel](float v) { channel.SetMaximum(v); };
    } else if (id == kIdFriction) {
        get = [&channel] { return channel.GetMomentumTime(); };
        set = [&channel](float v) { channel.SetMomentumTime(v); };
        format = "%.0f";
    } else {
        return;
    }
    const bool limit = id == kIdMinimum || id == kIdMaximum;
    const double shownUnit = id == kIdSensitivity ? 100.0 : limit && rotation ? kToDegrees : 1.0;
    const float keptUnit = id == kIdSensitivity ? 0.01f : limit && rotation ? kToRadians : 1.0f;
    const auto keep = [set](float v) {
        const CVTND_WorldWriteLock lock(DesignerWorld());
        set(v);
    };
    constexpr double largest = std::numeric_limits<float>::max();
    const TypedNumber typed = ReadTypedNumber(child(id)->getText(), -largest, largest);
    if (typed.kind != TypedKind::kNumber) {
        RefuseTypedText(
            child(id), [&] { return FormatReal(get() * shownUnit, format); }, m_initialising, -largest, largest);
        return;
    }
    BeginTypedEdit(child(id), [keep, before = get()] { keep(before); });
    keep(static_cast<float>(typed.value) * keptUnit);
}

pf::LResult CVTND_TrackballButtonDlg::handle(const pf::Msg& msg)
{
    if (msg.message == kMsgNodeDropped) {
        auto* node = reinterpret_cast<SWnode*>(msg.lParam);
        if (node != nullptr) {
            {
                const CVTND_WorldWriteLock lock(DesignerWorld());
                m_channel.SetTargetObject(node);
            }
            frame_controls::ShowDropped(*this, *node);
        }
        return 1;
    }
    if (msg.message == pf::WM_COMMAND) {
        const int32_t id = pf::loWord(msg.wParam);
        const int32_t code = pf::hiWord(msg.wParam);
        if (code == pf::CBN_SELCHANGE && id == kIdFunction) {
            FunctionChanged();
        } else if (code == pf::CBN_SELCHANGE && id == kIdFrame) {
            FrameChanged();
        } else if (code == pf::EN_CHANGE) {
            NumberTyped(id);
        } else if (code == pf::BN_CLICKED) {
            const CVTND_WorldWriteLock lock(DesignerWorld());
            if (id == kIdInvert) {
                m_channel.SetInvert(!m_channel.IsInverted());
            } else if (id == kIdLimits) {
                m_channel.SetClamp(!m_channel.IsClamped());
                for (const int32_t control : {kIdMinimum, kIdMaximum, kIdMinimumLabel, kIdMaximumLabel})
                    child(control)->enable(m_channel.IsClamped());
            } else if (id == kIdKeepMoving) {
                m_channel.SetMomentum(!m_channel.HasMomentum());
                for (const int32_t control : {kIdFriction, kIdFrictionLabel, kIdMsLabel})
                    child(control)->enable(m_channel.HasMomentum());
            } else if (id == kIdOwnPivot) {
                m_channel.SetFrameBits(m_channel.GetFrameBits() ^ 0x80);
            } else if (id == kIdActualFrame) {
                m_channel.SetFrameBits(m_channel.GetFrameBits() ^ 0x40);
            }
        }
        return 0;
    }
    return pf::Dialog::handle(msg);
}

// -- The globals page

bool CVTND_TrackballGlobalsDlg::onInitDialog()
{
    move(pf::Rect::fromXywh(5, 10, screenRect().width(), screenRect().height()));
    item<pf::Button>(kIdExclusive)->setCheck(m_motion.IsExclusive() ? pf::BST_CHECKED : 0);
    item<pf::Button>(kIdFollowDistance)->setCheck(m_motion.IsCentred() ? pf::BST_CHECKED : 0);
    item<pf::Button>(kIdFollowMovement)->setCheck(m_motion.IsCentred() ? 0 : pf::BST_CHECKED);
    item<pf::Button>(kIdTwoButtons)->setCheck(m_motion.IsTwoButtonMiddle() ? pf::BST_CHECKED : 0);
    return true;
}

pf::LResult CVTND_TrackballGlobalsDlg::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_COMMAND && pf::hiWord(msg.wParam) == pf::BN_CLICKED) {
        const int32_t id = pf::loWord(msg.wParam);
        const CVTND_WorldWriteLock lock(DesignerWorld());
        if (id == kIdExclusive)
            m_motion.SetExclusive(!m_motion.IsExclusive());
        else if (id == kIdFollowMovement)
            m_motion.SetCentred(false);
        else if (id == kIdFollowDistance)
            m_motion.SetCentred(true);
        else if (id == kIdTwoButtons)
            m_motion.SetTwoButtonMiddle(!m_motion.IsTwoButtonMiddle());
        return 0;
    }
    return pf::Dialog::handle(msg);
}

// -- The editor

CVTND_TrackballDlg::CVTND_TrackballDlg(SWactionnode* action, CVTND_EditDialog* record)
    : CVTND_ModelessEditorDlg(static_cast<uint16_t>(ObjectType::kAction), action, record),
      m_motion(dynamic_cast<SWarcballmotion*>(action->GetMotion()))
{
    for (int i = 0; i < 6; ++i)
        m_pages[static_cast<size_t>(i)] =
            std::make_unique<CVTND_TrackballButtonDlg>(m_motion->GetChannel(i), i % 2 == 0);
    m_globals = std::make_unique<CVTND_TrackballGlobalsDlg>(*m_motion);
}

CVTND_TrackballDlg::~CVTND_TrackballDlg() = default;

bool CVTND_TrackballDlg::onInitDialog()
{
    CVTND_ModelessEditorDlg::onInitDialog();
    auto* tabs = item<pf::TabControl>(kIdTabs);
    for (uint32_t i = 0; i < 4; ++i)
        tabs->insertItem(static_cast<int32_t>(i), TooltipTextOf(kIdsTrackballTabFirst + i));
    for (const auto& page : m_pages)
        page->create(CVTND_TrackballButtonDlg::kIdd, this);
    m_globals->create(CVTND_TrackballGlobalsDlg::kIdd, this);
    tabs->setCurSel(0);
    ShowTab(0);
    return true;
}

void CVTND_TrackballDlg::ShowTab(int32_t tab)
{
    for (int i = 0; i < 6; ++i) {
        if (m_pages[static_cast<size_t>(i)]->isWindow())
            m_pages[static_cast<size_t>(i)]->show(i / 2 == tab ? pf::SW_SHOW : pf::SW_HIDE);
    }
    if (m_globals->isWindow())
        m_globals->show(tab == 3 ? pf::SW_SHOW : pf::SW_HIDE);
}

void CVTND_TrackballDlg::OnClosing()
{
    for (const auto& page : m_pages)
        if (page->isWindow())
            page->destroy();
    if (m_globals->isWindow())
        m_globals->destroy();
}

void CVTND_TrackballDlg::OnNotify(const CVTND_Event& event)
{
    if (!event.Is(EventCode::kRenamed) || !event.subject.IsNodeType())
        return;
    for (const auto& page : m_pages)
        if (page != nullptr && page->isWindow())
            frame_controls::ShowRenamed(*page, page->Channel());
}

pf::LResult CVTND_TrackballDlg::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_NOTIFY) {
        const auto* header = pf::notifyRecord<pf::NMHDR>(msg.lParam);
        if (header != nullptr && header->idFrom == kIdTabs && header->code == pf::TCN_SELCHANGE) {
            ShowTab(item<pf::TabControl>(kIdTabs)->getCurSel());
            return 0;
        }
    }
    return CVTND_ModelessEditorDlg::handle(msg);
}
