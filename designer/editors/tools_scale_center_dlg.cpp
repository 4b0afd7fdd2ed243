#include "designer/editors/tools_scale_center_dlg.h"

#include <array>
#include <cmath>
#include <string>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/node_placement.h"
#include "designer/app/notification.h"
#include "designer/app/registry.h"
#include "designer/editors/world_texts.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/editor_texts.h"
#include "engine/core/node.h"
#include "engine/core/world.h"
#include "platform/gfx/dc.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/providers/providers.h"

namespace {

constexpr int32_t kIdFit = 1012;
constexpr int32_t kIdMatch = 1013;
constexpr int32_t kIdKeep = 1014;
constexpr std::array<int32_t, 3> kIdSizes = {1004, 1005, 1006};
constexpr int32_t kIdUnit = 1002;
constexpr int32_t kIdProportions = 1188;
constexpr int32_t kIdCentre = 1187;
constexpr int32_t kIdApply = 1163;
constexpr std::array<int32_t, 9> kSizeGroup = {1074, 1075, 1359, 1360, 1361, 1004, 1005, 1006, kIdUnit};
constexpr std::array<const char*, 8> kUnits = {"millimetres", "centimetres", "metres", "kilometres",
                                               "inches",      "feet",        "yards",  "miles"};
constexpr std::array<float, 8> kShown = {1000.0f, 100.0f, 1.0f, 0.001f, 39.37008f, 3.28084f, 1.0936133f, 0.0006213882f};
constexpr std::array<float, 8> kToMetres = {0.001f, 0.01f, 1.0f, 1000.0f, 0.0254f, 0.3048f, 0.9144f, 1609.3f};

bool IsUsableSize(float size)
{
    return std::isfinite(size) && size > 0.0f;
}

int32_t RunScaleCenter(CVTNDesignerApp& app, const CVTND_ModalRequest& request)
{
    SWnode* node = request.subject.IsNodeType() ? static_cast<SWnode*>(request.subject.GetObject()) : nullptr;
    if (node == nullptr && app.GetWorld() != nullptr)
        node = app.GetWorld()->GetRootNode();
    if (node == nullptr)
        return -1;
    CVTND_ToolsScaleCenterDlg dialog(*node);
    const int32_t result = dialog.doModal(CVTND_ToolsScaleCenterDlg::kIdd, request.owner);
    if (result == pf::IDOK) {
        app.SetModified(); // the nodes' rest transforms changed: New, Open and Exit ask before dropping them
        // The panels that show a transform (Manipulate) read it again, or their next Set would put the old one back.
        app.Broadcast(CVTND_Event(EventCode::kChanged, CVTND_Object(node)));
    }
    return result;
}

const CVTND_ModalToolRegistration kScaleCenterTool(ModalTool::kScaleCenter, &RunScaleCenter);

} // namespace

float CVTND_ToolsScaleCenterDlg::ShownPerMetre(int32_t unit)
{
    return unit >= 0 && unit < static_cast<int32_t>(kShown.size()) ? kShown[static_cast<size_t>(unit)] : 1.0f;
}

CVTND_ToolsScaleCenterDlg::CVTND_ToolsScaleCenterDlg(SWnode& node) : m_node(node)
{
    const SWbbox box = GetNodeBoundingBox(node, true);
    if (!box.IsEmpty()) {
        const std::array<float, 6>& e = box.Extents();
        for (size_t k = 0; k < 3; ++k)
            m_measured[k] = std::fabs(e[2 * k + 1] - e[2 * k]);
    }
    m_target = m_measured;
}

bool CVTND_ToolsScaleCenterDlg::onInitDialog()
{
    if (auto* units = item<pf::ComboBox>(kIdUnit)) {
        for (const char* unit : kUnits)
            units->addString(unit);
        units->setCurSel(m_unit);
    }
    m_updating = true;
    for (size_t k = 0; k < 3; ++k) {
        m_shown[k] = m_target[k] * ShownPerMetre(m_unit);
        child(kIdSizes[k])->setText(FormatReal(m_shown[k]));
    }
    m_updating = false;
    if (auto* keep = item<pf::Button>(kIdProportions))
        keep->setCheck(m_keepProportions ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    SetMode(m_mode);
    if (auto* centre = item<pf::Button>(kIdCentre))
        centre->setCheck(m_centre ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    return true;
}

void CVTND_ToolsScaleCenterDlg::SetMode(Mode mode)
{
    m_mode = mode;
    const std::array<std::pair<int32_t, Mode>, 3> radios = {
        {{kIdFit, Mode::kFit}, {kIdMatch, Mode::kMatch}, {kIdKeep, Mode::kKeep}}};
    for (const auto& [id, m] : radios)
        if (auto* radio = item<pf::Button>(id))
            radio->setCheck(m == mode ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    EnableSizeGroup(mode == Mode::kMatch);
}

void CVTND_ToolsScaleCenterDlg::EnableSizeGroup(bool enabled)
{
    for (const int32_t id : kSizeGroup)
        if (Window* w = child(id))
            w->enable(enabled);
    if (Window* keep = child(kIdProportions))
        keep->enable(enabled);
}

void CVTND_ToolsScaleCenterDlg::ShowSize(size_t axis)
{
    m_updating = true;
    ShowStoredText(child(kIdSizes[axis]), FormatReal(m_shown[axis]));
    m_updating = false;
}

// The other two sizes follow the typed one in the measured proportions, in the unit shown.
void CVTND_ToolsScaleCenterDlg::SizeTyped(int32_t axis)
{
    const auto a = static_cast<size_t>(axis);
    const TypedNumber typed = ReadTypedNumber(child(kIdSizes[a])->getText(), 0.0, kLargestSize);
    if (typed.kind != TypedKind::kNumber) {
        RefuseTypedText(
            child(kIdSizes[a]), [this, a] { return FormatReal(m_shown[a]); }, m_updating, 0.0, kLargestSize);
        return;
    }
    // The others follow each number typed: the typing's first one keeps all three as they were shown.
    std::array<std::string, 3> texts;
    for (size_t k = 0; k < 3; ++k)
        texts[k] = child(kIdSizes[k])->getText();
    BeginTypedEdit(child(kIdSizes[a]), [this, a, before = m_shown, texts] {
        m_shown = before;
        m_updating = true;
        for (size_t k = 0; k < 3; ++k)
            if (k != a)
                child(kIdSizes[k])->setText(texts[k]);
        m_updating = false;
    });
    m_shown[a] = typed.value;
    if (!(m_measured[a] > 0.0f))
        return; // nothing measured to take a proportion from
    const double ratio = typed.value / m_measured[a];
    std::array<double, 3> sizes = m_shown;
    for (size_t k = 0; k < 3; ++k) {
        sizes[k] = k == a ? typed.value : m_measured[k] * ratio;
        if (!(sizes[k] <= kLargestSize))
            return; // the others cannot follow so far: they keep their sizes
    }
    m_shown = sizes;
    m_updating = true;
    for (size_t k = 0; k < 3; ++k)
        if (k != a)
            child(kIdSizes[k])->setText(FormatReal(m_shown[k], "%f"));
    m_updating = false;
}

pf::LResult CVTND_ToolsScaleCenterDlg::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_COMMAND) {
        const int32_t id = pf::loWord(msg.wParam);
        const int32_t code = pf::hiWord(msg.wParam);
        if (code == pf::BN_CLICKED && (id == kIdFit || id == kIdMatch || id == kIdKeep)) {
            SetMode(id == kIdFit ? Mode::kFit : id == kIdMatch ? Mode::kMatch : Mode::kKeep);
            return 0;
        }
        if (code == pf::BN_CLICKED && id == kIdProportions) {
            m_keepProportions = !m_keepProportions;
            return 0;
        }
        if (code == pf::BN_CLICKED && id == kIdApply) {
            onOK();
            return 0;
        }
        for (size_t k = 0; k < 3; ++k)
            if (code == pf::EN_CHANGE && id == kIdSizes[k] && !m_updating && m_keepProportions) {
                SizeTyped(static_cast<int32_t>(k));
                return 0;
            }
    }
    if (msg.message == pf::WM_CTLCOLORSTATIC) {
        const pf::Window* label = pf::ui().window(static_cast<pf::Hwnd>(msg.lParam));
        const int32_t id = label != nullptr ? label->id() : 0;
        if (id >= 1359 && id <= 1361) {
            static const pf::Brush kWindow = pf::createSolidBrush(pf::getSysColor(pf::COLOR_WINDOW));
            static constexpr pf::ColorRef kColours[] = {pf::rgb(170, 0, 0), pf::rgb(0, 119, 0), pf::rgb(0, 0, 170)};
            if (pf::Dc* dc = pf::dcFromWParam(msg.wParam)) {
                dc->setBkColor(pf::getSysColor(pf::COLOR_WINDOW));
                dc->setTextColor(kColours[id - 1359]);
            }
            return pf::resultFromBrush(&kWindow);
        }
    }
    return Dialog::handle(msg);
}

void CVTND_ToolsScaleCenterDlg::onOK()
{
    if (Apply())
        endDialog(pf::IDOK);
}

bool CVTND_ToolsScaleCenterDlg::Apply()
{
    const auto* units = item<pf::ComboBox>(kIdUnit);
    m_unit = units != nullptr && units->getCurSel() >= 0 ? units->getCurSel() : 2;
    const auto* centre = item<pf::Button>(kIdCentre);
    m_centre = centre != nullptr && centre->getCheck() == pf::BST_CHECKED;
    if (m_mode == Mode::kMatch) {
        // An axis of no extent (a flat node) keeps factor 1 whatever its target; every other needs a size. Text
        // once read as 0, and "1e40" as infinite metres.
        const SWbbox box = GetNodeBoundingBox(m_node, true);
        std::array<float, 3> factors = {1.0f, 1.0f, 1.0f};
        for (size_t k = 0; k < 3; ++k) {
            const float extent = box.IsEmpty() ? 0.0f : std::fabs(box.Extents()[2 * k + 1] - box.Extents()[2 * k]);
            const TypedNumber typed = ReadTypedNumber(child(kIdSizes[k])->getText(), 0.0, kLargestSize);
            const auto metres = static_cast<float>(typed.value * kToMetres[static_cast<size_t>(m_unit)]);
            if (typed.kind != TypedKind::kNumber || (IsUsableSize(extent) && !IsUsableSize(metres))) {
                ShowSize(k);
                pf::messageBox(hwnd(), WorldTextOf(kIdsScaleTarget), EditorTextOf(kIdsEditorErrorCaption),
                               pf::MB_OK | pf::MB_ICONHAND);
                gotoControl(child(kIdSizes[k]));
                return false;
            }
            m_shown[k] = typed.value;
            m_target[k] = metres;
            if (IsUsableSize(extent))
                factors[k] = m_target[k] / extent;
        }
        ScaleNode(m_node, factors[0], factors[1], factors[2]);
    } else if (m_mode == Mode::kFit) {
        ScaleNodeToFit(m_node, -1.0f);
    }
    if (m_centre)
        CenterNode(m_node);
    return true;
}
